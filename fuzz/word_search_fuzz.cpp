// The word search's first-word scan over tagged text against a reading of each range by the rules of
// tags and words. Each input becomes a text of words (the term in its cases, words that hold its bytes,
// others), tags with and without attributes, stray tag starts and stops, 0 bytes and line breaks; a few
// input bytes stand for long runs of words without tags, so tags near the 1,024-byte limit, ranges
// longer than the reader's window and texts of several windows are common. Its first byte chooses the
// tag settings ("<" closed by ">" or by a blank or line break, or no tags), whether ">" ends a word,
// the term, its case rule and whether the text is searched whole or in ranges cut anywhere. Every match
// of the search (its first word byte and end) must be the term's word exactly where the reading finds
// it, and no match may be missing.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcSearch.h"
#include "engine/SynStream.h"

namespace {

[[noreturn]] void Fail() {
    __builtin_trap();
}

void Check(bool Condition) {
    if (!Condition) Fail();
}

const char* const Pieces[] = {"ab",
                              "zerub",
                              "Zerub",
                              "ZERUB",
                              "zerubx",
                              "xzerub",
                              "b",
                              " ",
                              " ",
                              " ",
                              "\r\n",
                              ",",
                              ".",
                              "<s>",
                              "</s>",
                              "<p>",
                              "</p>",
                              "<",
                              ">",
                              "<s n=\"zerub\">",
                              "" /* a 0 byte */,
                              "Ba",
                              "ab ba",
                              "a>b",
                              "<pb/>"};

std::string MakeText(const uint8_t* Data, size_t Size) {
    constexpr size_t Count = sizeof(Pieces) / sizeof(Pieces[0]);
    std::string Text;
    for (size_t I = 0; I < Size; ++I) {
        const uint8_t B = Data[I];
        if (B >= 248) {
            for (int K = (B - 247) * 40; K > 0; --K) Text += K % 7 == 0 ? "ab, " : "ba ";
        } else if (B % Count == 20) {
            Text += '\0';
        } else {
            Text += Pieces[B % Count];
        }
    }
    return Text;
}

struct TSetUp {
    TSetUp() {
        InitConfigUnit();
        TCommonConcordConfig& C = *CommonConfig;
        C.WildCard0orMore = '*';
        C.WildCard0or1 = '%';
        C.WildCardExactly1 = '?';
        C.WildCardMatchWords = '@';
        LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static TSetUp Once;
    if (Size < 2) return 0;
    const uint8_t Options = Data[0];
    const int TagMode = Options % 3;  // 0 "<...>", 1 "<" closed by a blank or line break, 2 no tags
    const bool StopIsWordByte = (Options >> 2) & 1;
    const char* const Terms[] = {"zerub", "ab", "Ba", "b"};
    const std::string Term = Terms[(Options >> 3) & 3];
    const bool MatchCase = (Options >> 5) & 1;
    const bool Cut = (Options >> 6) & 1;
    TCommonConcordConfig& C = *CommonConfig;
    C.TagStart = TagMode == 2 ? 0 : '<';
    C.TagStop = TagMode == 1 ? '#' : '>';
    std::string NonWord(DefaultNonWordChars);
    if (StopIsWordByte) NonWord.erase(std::remove(NonWord.begin(), NonWord.end(), '>'), NonWord.end());
    LanguageConfigs[0]->NonWordChars = NonWord;

    const std::string Raw = MakeText(Data + 1, Size - 1);
    std::string Text = Raw;
    std::replace(Text.begin(), Text.end(), '\0', ' ');  // the reader reads a 0 byte as a blank
    const auto Length = static_cast<int32_t>(Text.size());
    if (Length == 0) return 0;

    auto Context = std::make_unique<TSearchContext>(0, Term, 0, TCharSet(), MatchCase);
    const TCharSet& Delimiters = Context->DelimiterSet;
    auto IsStop = [&](char B) { return TagMode == 1 ? B == ' ' || B == '\r' || B == '\n' : B == '>'; };
    auto Opens = [&](int32_t At) {
        if (TagMode == 2 || Text[static_cast<size_t>(At)] != '<') return false;
        for (int32_t K = At + 1; K < std::min(Length, At + TBufStream::MaxTagLength); ++K)
            if (IsStop(Text[static_cast<size_t>(K)])) return true;
        return false;
    };
    auto Fold = [&](std::string Word) {
        if (!MatchCase)
            for (char& B : Word)
                B = static_cast<char>(LanguageConfigs[0]->LowerCaseMap[static_cast<uint8_t>(B)]);
        return Word;
    };
    const std::string Wanted = Fold(Term);

    // The ranges: the whole text, or pieces cut where the input's bytes say.
    std::vector<std::pair<int32_t, int32_t>> Ranges;
    if (!Cut) {
        Ranges.push_back({0, Length});
    } else {
        int32_t At = 0;
        for (size_t I = 1; At < Length; ++I) {
            const int32_t Step = 1 + static_cast<int32_t>(Data[I % Size]) * 37 % 5000;
            Ranges.push_back({At, std::min(Length, At + Step)});
            At += Step;
        }
    }

    TMemorySynchroStream Stream(Raw);
    TBufStream Searched(Stream, 0);
    TBufStream Report(Stream, 0);
    ConfigureBufStream(Searched);
    ConfigureBufStream(Report);
    for (const auto& [From, To] : Ranges) {
        std::vector<std::pair<int32_t, int32_t>> Expected;
        for (int32_t I = From; I < To;) {
            if (Opens(I)) {
                ++I;
                while (I < To && !IsStop(Text[static_cast<size_t>(I)])) ++I;
                if (I < To) ++I;
                continue;
            }
            if (Delimiters[static_cast<uint8_t>(Text[static_cast<size_t>(I)])]) {
                ++I;
                continue;
            }
            const int32_t Start = I;
            while (I < To && !Delimiters[static_cast<uint8_t>(Text[static_cast<size_t>(I)])] && !Opens(I))
                ++I;
            if (Fold(Text.substr(static_cast<size_t>(Start), static_cast<size_t>(I - Start))) == Wanted)
                Expected.push_back({Start, I});
        }
        std::vector<std::pair<int32_t, int32_t>> Found;
        Searched.SetRange(From, To);
        while (Found.size() <= Expected.size() && Context->SearchRange(Searched, false)) {
            Report.SetRange(Context->MatchStart, Length);
            const int32_t Start = Context->FirstWordByte(Report, Context->MatchStart);
            Found.push_back({Start, Context->MatchEnd - (Context->MatchEndAfterDelimiter ? 1 : 0)});
        }
        Check(Found == Expected);
    }
    return 0;
}
