// The classifying reader against a plain model: random texts of words, tags, word tags, stray tag
// starts, 0 bytes and mixed line breaks, read whole and in random ranges, forwards, backwards, word by
// word and by search. The model classifies the whole text byte by byte in one pass, with no window, so
// every difference is a fault of the reader's windows, refills, look-ahead or ranges. In code page 932
// the model pairs the text in one pass from its start and classifies each trail byte as a copy of its
// lead byte, so a reader that cuts a character or loses the pairing at a seam or range start differs.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/BStream.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"

namespace {

[[noreturn]] void Fail() {
    __builtin_trap();
}

void Check(bool Condition) {
    if (!Condition) Fail();
}

class TRandom {
public:
    explicit TRandom(uint64_t Seed) : FState(Seed | 1) {}
    uint32_t Next(uint32_t Bound) {
        FState ^= FState << 13;
        FState ^= FState >> 7;
        FState ^= FState << 17;
        return Bound == 0 ? 0 : static_cast<uint32_t>(FState % Bound);
    }

private:
    uint64_t FState;
};

// The text: most input bytes pick a character of a small alphabet rich in markup; a few stand for a
// long run of letters, so tags near the 1024-byte limit and texts of several windows are common. A
// double-byte text adds lead bytes (0x81, 0x83, 0x95), a high byte that is none (0xA0), and runs of
// lead bytes, whose pairing only a look far back decides.
std::string MakeText(const uint8_t* Data, size_t Size, bool DoubleByte) {
    static const char Alphabet[] = "ab ab\n\r\t<>_[].#\0x";
    static const char DoubleByteAlphabet[] = "ab ab\n\r\t<>_[].#\0x\x81\x83\x95\xA0\x81\\@{";
    const char* Letters = DoubleByte ? DoubleByteAlphabet : Alphabet;
    const size_t Count = DoubleByte ? sizeof(DoubleByteAlphabet) - 1 : sizeof(Alphabet) - 1;
    std::string Text;
    for (size_t I = 0; I < Size; ++I) {
        const uint8_t B = Data[I];
        if (B >= 248)
            Text.append(static_cast<size_t>(B - 247) * 150, DoubleByte && (B & 1) ? '\x81' : 'a');
        else
            Text += Letters[B % Count];
    }
    return Text;
}

// Text with each trail byte, found by one pass from the start, replaced by its lead byte.
std::string PairedText(const std::string& Text, int CodePage) {
    std::string Result = Text;
    if (CodePage == 0) return Result;
    const auto& Leads = platform::CodePageTables(CodePage).LeadByte;
    for (size_t I = 0; I + 1 < Text.size(); ++I) {
        const auto C = static_cast<unsigned char>(Text[I]);
        const auto Next = static_cast<unsigned char>(Text[I + 1]);
        if (Leads[C] && Next >= FirstTrailByte) {
            Result[I + 1] = Text[I];
            ++I;
        }
    }
    return Result;
}

TBufStreamTags MakeTags(uint8_t Choice) {
    TBufStreamTags Tags;
    Tags.TagStart = (Choice & 1) ? '[' : '<';
    Tags.TagStop = (Choice & 2) ? '#' : ((Choice & 1) ? ']' : '>');
    Tags.WordTagMode = static_cast<uint8_t>((Choice >> 2) % 3);
    Tags.POSSeparator = '_';
    Tags.POSTagStarts = {(Choice & 1) ? "<" : "["};
    Tags.POSTagStop = (Choice & 1) ? '>' : ']';
    return Tags;
}

class TModel {
public:
    TModel(const std::string& Raw, const TBufStreamTags& Tags, const TCharSet& WordEnd, int CodePage)
        : FTags(Tags), FWordEnd(WordEnd) {
        FText = Raw;
        std::replace(FText.begin(), FText.end(), '\0', ' ');
        FClassText = PairedText(FText, CodePage);
        FTagStop = Closing(Tags.TagStop);
        FPOSStop = Closing(Tags.POSTagStop);
    }

    const std::string& Text() const { return FText; }
    int32_t Size() const { return static_cast<int32_t>(FText.size()); }

    // The classes of [From, To) when classification starts outside any tag at Begin <= From.
    std::vector<TCharType> Classes(int32_t Begin, int32_t From, int32_t To) const {
        std::vector<TCharType> Result;
        bool InTag = false;
        bool InPOS = false;
        for (int32_t I = Begin; I < To; ++I) {
            const TCharType T = ClassOf(I, InTag, InPOS);
            if (I >= From) Result.push_back(T);
        }
        return Result;
    }

private:
    static TCharSet Closing(char C) {
        TCharSet Set;
        if (C == '#') {
            Set.set('\n').set('\r').set(' ');
        } else {
            Set.set(static_cast<unsigned char>(C));
        }
        return Set;
    }

    // The byte that decides the class at I.
    unsigned char At(int32_t I) const {
        return static_cast<unsigned char>(FClassText[static_cast<size_t>(I)]);
    }

    bool TagEndFollows(int32_t I) const {
        const int32_t Last = std::min(Size(), I + TBufStream::MaxTagLength);
        for (int32_t J = I + 1; J < Last; ++J)
            if (FTagStop[At(J)]) return true;
        return false;
    }

    TCharType Delimiter(int32_t I) const {
        const unsigned char C = At(I);
        if (C == ' ') return ctWhiteSpace;
        if (C == '\r') return ctNewLine;
        if (C == '\n') return I > 0 && At(I - 1) == '\r' ? ctWhiteSpace : ctNewLine;
        return ctDelimiter;
    }

    TCharType OpenTag(int32_t I, bool& InTag) const {
        InTag = TagEndFollows(I);
        return InTag ? ctTag : ctDelimiter;
    }

    TCharType ClassOf(int32_t I, bool& InTag, bool& InPOS) const {
        const unsigned char C = At(I);
        const bool TagStart = C == static_cast<unsigned char>(FTags.TagStart);
        if (InPOS) {
            if (FTags.WordTagMode == 1) {
                if (TagStart) {
                    InPOS = false;
                    return OpenTag(I, InTag);
                }
                // A blank, a line break, another control byte or the tag stop ends it; a word end
                // does not.
                if (C > ' ' && (FTags.TagStop == '#' || C != static_cast<unsigned char>(FTags.TagStop)))
                    return ctPOSTag;
                InPOS = false;
                return Delimiter(I);
            }
            if (FPOSStop[C]) InPOS = false;
            return ctPOSTag;
        }
        if (InTag) {
            if (FTagStop[C]) InTag = false;
            return ctTag;
        }
        if ((FTags.WordTagMode == 1 && C == static_cast<unsigned char>(FTags.POSSeparator)) ||
            (FTags.WordTagMode == 2 && C == static_cast<unsigned char>(FTags.POSTagStarts[0][0]))) {
            InPOS = true;
            return ctPOSTag;
        }
        if (TagStart) return OpenTag(I, InTag);
        return FWordEnd[C] ? Delimiter(I) : ctWord;
    }

    std::string FText;
    std::string FClassText;
    TBufStreamTags FTags;
    TCharSet FWordEnd;
    TCharSet FTagStop;
    TCharSet FPOSStop;
};

struct TWord {
    std::string Text;
    int32_t Start;
    int32_t End;
};

// The words of a classified range: runs of word bytes, less one that began before the range.
std::vector<TWord> ModelWords(const TModel& M, const std::vector<TCharType>& Classes, int32_t From,
                              bool StartsInWord) {
    std::vector<TWord> Words;
    const auto N = static_cast<int32_t>(Classes.size());
    for (int32_t I = 0; I < N;) {
        if (Classes[static_cast<size_t>(I)] != ctWord) {
            ++I;
            continue;
        }
        int32_t J = I;
        while (J < N && Classes[static_cast<size_t>(J)] == ctWord) ++J;
        if (!(I == 0 && StartsInWord)) {
            const auto Length = static_cast<size_t>(std::min(J - I, TBufStream::MaxWordLength));
            Words.push_back({M.Text().substr(static_cast<size_t>(From + I), Length), From + I, From + J});
        }
        I = J;
    }
    return Words;
}

// With Runs, the rest of a word or of a tag is taken now and then by ReadWordRun and ReadTagRun, as
// the corpus pass takes it: every byte they take must be one NextChar would have handed out with the
// same class, and reading goes on in step.
void CheckSequentialRange(TBufStream& Reader, const TModel& M, int32_t From, int32_t To, TRandom* Runs) {
    Reader.SetRange(From, To);
    Reader.SetPosition(From > 0 ? From - 1 : 0);  // before the range: held to its start
    Check(Reader.GetPosition() == From);
    const std::vector<TCharType> Expected = M.Classes(From, From, To);
    char Taken[TBufStream::BufferSize];
    for (int32_t I = From; I < To; ++I) {
        TCharType T = ctNone;
        const char C = Reader.NextChar(T);
        Check(C == M.Text()[static_cast<size_t>(I)] && T == Expected[static_cast<size_t>(I - From)]);
        if (!Runs || (T != ctWord && T != ctTag && T != ctPOSTag) || Runs->Next(2) == 0) continue;
        auto Room = static_cast<int32_t>(Runs->Next(12));
        const auto MaxRun = static_cast<int32_t>(Runs->Next(40));
        int32_t Run = 0;
        if (T == ctWord) {
            Run = Reader.ReadWordRun(Taken, Room, MaxRun);
        } else if (T == ctTag) {
            Run = Reader.ReadTagRun(Taken, Room, MaxRun);
        } else {
            Run = Reader.ReadWordTagRun(MaxRun);
            Room = 0;
        }
        Check(Run <= MaxRun && I + Run < To);
        for (int32_t K = 0; K < Run; ++K) {
            const auto At = static_cast<size_t>(I + 1 + K);
            Check(Expected[At - static_cast<size_t>(From)] == T && (K >= Room || Taken[K] == M.Text()[At]));
        }
        I += Run;
        Check(Reader.GetPosition() == I + 1);
    }
    TCharType T = ctNone;
    Check(Reader.NextChar(T) == 0);
    for (int32_t I = To - 1; I >= From && I >= To - 300; --I)
        Check(Reader.ReadPrevByte() == M.Text()[size_t(I)]);
}

void CheckClassifiedRange(TBufStream& Reader, const TModel& M, int32_t From, int32_t To) {
    Reader.ValidateBuffer(From, To);
    const int32_t Begin = std::max(0, From - TBufStream::MaxTagLength);
    const std::vector<TCharType> Lead = M.Classes(Begin, Begin, From);
    const std::vector<TCharType> Expected = M.Classes(Begin, From, To);
    const std::vector<TCharType>& Stored = Reader.CharTypes();
    for (size_t I = 0; I < Expected.size(); ++I) Check(Stored[I] == Expected[I]);

    const bool StartsInWord =
        !Lead.empty() && Lead.back() == ctWord && !Expected.empty() && Expected.front() == ctWord;
    const std::vector<TWord> Words = ModelWords(M, Expected, From, StartsInWord);
    Reader.SetPosition(From);
    for (const TWord& W : Words) {
        Check(Reader.NextWord() == W.Text && Reader.WordStart() == W.Start && Reader.WordEnd() == W.End);
    }
    Check(Reader.NextWord().empty());
    Reader.SetPosition(To);
    for (auto W = Words.rbegin(); W != Words.rend(); ++W)
        Check(Reader.PrevWord() == W->Text && Reader.WordStart() == W->Start && Reader.WordEnd() == W->End);
    Check(Reader.PrevWord().empty());

    Reader.SetPosition(To);
    for (int32_t I = To - 1; I >= From; --I) {
        TCharType T = ctNone;
        Check(Reader.PrevChar(T) == M.Text()[static_cast<size_t>(I)] &&
              T == Expected[static_cast<size_t>(I - From)]);
    }
}

bool EndsAtBlank(char C) {
    return C == '\n' || C == '\r' || C == ' ';
}

void CheckFindText(TBufStream& Reader, const TModel& M, int32_t From, int32_t To, const std::string& Pattern,
                   bool MustEndAtBlank) {
    const auto Length = static_cast<int32_t>(Pattern.size());
    int32_t Expected = -1;
    const int32_t Needed = Length + (MustEndAtBlank ? 1 : 0);
    for (int32_t P = From; P + Needed <= To && Expected < 0; ++P) {
        if (M.Text().compare(static_cast<size_t>(P), Pattern.size(), Pattern) != 0) continue;
        if (MustEndAtBlank && !EndsAtBlank(Pattern.back()) && !EndsAtBlank(M.Text()[size_t(P + Length)]))
            continue;
        Expected = P;
    }
    Reader.SetRange(From, To);
    Check(Reader.FindText(Pattern, MustEndAtBlank) == Expected);
    if (Expected >= 0) Check(Reader.GetPosition() == Expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size < 2) return 0;
    const TBufStreamTags Tags = MakeTags(Data[0]);
    const std::string Delimiters = (Data[1] & 1) ? ".,;" : ".,;:!#$^&()[]{}<>+=/\\|`~\"";
    const int CodePage = (Data[1] & 2) ? 932 : 0;
    const std::string Raw = MakeText(Data + 2, Size - 2, CodePage != 0);
    const TCharSet WordEnd = NonWordCharSet(Delimiters, "*%?@");
    const TModel M(Raw, Tags, WordEnd, CodePage);
    TMemorySynchroStream Stream(Raw);
    TBufStream Reader(Stream, 0, WordEnd, CodePage);
    Reader.Configure(Tags);

    const int32_t N = M.Size();
    CheckSequentialRange(Reader, M, 0, N, nullptr);
    uint64_t Seed = 1469598103934665603ULL;
    for (size_t I = 0; I < Size; ++I) Seed = (Seed ^ Data[I]) * 1099511628211ULL;
    TRandom Random(Seed);
    for (int Round = 0; Round < 8 && N > 0; ++Round) {
        const auto From = static_cast<int32_t>(Random.Next(static_cast<uint32_t>(N)));
        const auto To = From + static_cast<int32_t>(Random.Next(static_cast<uint32_t>(N - From) + 1));
        CheckSequentialRange(Reader, M, From, To, &Random);
        CheckClassifiedRange(Reader, M, From, std::min(To, From + TBufStream::BufferSize));
        const auto At = static_cast<int32_t>(Random.Next(static_cast<uint32_t>(N)));
        const auto Length = 1 + static_cast<int32_t>(Random.Next(std::min<uint32_t>(8, uint32_t(N - At))));
        CheckFindText(Reader, M, From, To,
                      M.Text().substr(static_cast<size_t>(At), static_cast<size_t>(Length)),
                      Random.Next(2) == 1);
    }
    return 0;
}
