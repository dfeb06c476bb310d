// Measures the corpus pass: registers the given files per language, runs the pass over every language
// and prints, per file, what it built and, per language, the time it took. Each language is timed on
// its own by running ProcessLanguage for it, the same loop over the languages that ProcessCorpus runs.
//
//   corpus_bench [format flags] --lang LCID file... [--lang LCID file...]
//   corpus_bench --generate FILE MEGABYTES [--wordtags]
//   corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]
//
// Format flags of a language apply to every language given after them:
//   --heading N (0 tags, 1 pattern, 2 regular expression, 3 none)   --hstart M --hstop M --hpattern P
//   --paragraph N (0 tags, 1 each line, 2 empty line, 3 indented)     --pstart M --pstop M
//   --sentence N (0 tags, 1 automatic, other: paragraph breaks only)  --sstart M --sstop M
//   --enders CHARS (sentence-end characters)   --exceptions WORD,WORD... (no sentence end after them)
//   --abbr (abbreviation rules on)   --quotes (trailing quotes end a sentence)
// Options of the whole corpus, wherever they stand:
//   --align N (0..3) --delimiter M --astart M --astop M   --pages SEPARATOR   --tags START STOP
//   --wordtag N (0 none, 1 after a separator, 2 opened and closed)   --wtagsep C   --wtagstarts S,S...
//   --wtagstop C
//
// --generate writes a tagged corpus of about that many megabytes: sections with headings, paragraph
// and sentence tags, page separators, CR LF lines; with --wordtags every word carries a word tag after
// "_" (for --wordtag 1 --wtagsep _). --generate-dir writes COUNT such files named 001.txt, 002.txt, ...
// into FOLDER (which must exist), each of a random size between MINKB and MAXKB kilobytes.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcTags.h"
#include "engine/SynStream.h"

namespace {

struct TFormatOptions {
    uint8_t Heading = 0, Paragraph = 0, Sentence = 0;
    std::string HStart = "<h>", HStop = "</h>", HPattern;
    std::string PStart = "<p>", PStop = "</p>";
    std::string SStart = "<s>", SStop = "</s>";
    std::string SentDelimiters{DefaultSentDelimiters};
    std::vector<std::string> Exceptions;
    bool Abbreviations = false, TrailingQuotes = false;
};

struct TLanguageArgs {
    uint32_t Lcid = 0;
    TFormatOptions Format;
    std::vector<std::string> Files;
};

[[noreturn]] void Usage(const char* Problem) {
    std::fprintf(stderr, "corpus_bench: %s\n", Problem);
    std::fprintf(stderr,
                 "usage: corpus_bench [format flags] --lang LCID file... [--lang LCID file...]\n"
                 "       corpus_bench --generate FILE MEGABYTES [--wordtags]\n"
                 "       corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]\n"
                 "Each language is timed alone: ProcessLanguage runs for it, the same per-language\n"
                 "loop that ProcessCorpus runs. See the source's head for the format flags.\n");
    std::exit(2);
}

class TRandom {
public:
    explicit TRandom(uint64_t Seed) : FState(Seed) {}
    uint32_t Next(uint32_t Bound) {
        FState = FState * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(FState >> 33) % Bound;
    }

private:
    uint64_t FState;
};

// The files of one corpus share their vocabulary; Seed varies only the text made of it.
void Generate(const std::string& Path, int64_t Bytes, bool WordTags, uint64_t Seed = 20261207) {
    TRandom Random(20261207);
    static const char* const Letters = "etaoinshrdlucmfwypvbgkjqxz";
    std::vector<std::string> Words;
    for (int I = 0; I < 5000; ++I) {
        std::string Word;
        const uint32_t Length = 1 + Random.Next(6) + Random.Next(6);
        for (uint32_t K = 0; K < Length; ++K) Word += Letters[Random.Next(K == 0 ? 26 : 12)];
        if (Random.Next(8) == 0) Word[0] = static_cast<char>(Word[0] - 'a' + 'A');
        if (WordTags) Word += Random.Next(3) == 0 ? "_NN" : Random.Next(2) == 0 ? "_VB" : "_JJ";
        Words.push_back(Word);
    }
    if (Seed != 20261207) Random = TRandom(Seed);
    std::ofstream Out(Path, std::ios::binary);
    if (!Out) Usage("cannot write the generated corpus");
    const int64_t Target = Bytes;
    int64_t Written = 0;
    int Chapter = 0;
    std::string Chunk;
    while (Written < Target) {
        Chunk.clear();
        Chunk += "<h>Chapter " + std::to_string(++Chapter) + "</h>\r\n";
        if (Chapter % 3 == 0) Chunk += "<pb>\r\n";
        const uint32_t Paragraphs = 2 + Random.Next(6);
        for (uint32_t P = 0; P < Paragraphs; ++P) {
            Chunk += "<p>";
            const uint32_t Sentences = 1 + Random.Next(6);
            for (uint32_t S = 0; S < Sentences; ++S) {
                Chunk += "<s>";
                const uint32_t Count = 3 + Random.Next(25);
                for (uint32_t W = 0; W < Count; ++W) {
                    if (W > 0) Chunk += Random.Next(14) == 0 ? "\r\n" : " ";
                    Chunk += Words[Random.Next(static_cast<uint32_t>(Words.size()))];
                    if (Random.Next(12) == 0) Chunk += ",";
                }
                Chunk += Random.Next(5) == 0 ? "?" : ".";
                Chunk += "</s> ";
            }
            Chunk += "</p>\r\n";
        }
        Out.write(Chunk.data(), static_cast<std::streamsize>(Chunk.size()));
        Written += static_cast<int64_t>(Chunk.size());
    }
}

void Configure(TConcordConfig& Config, const TFormatOptions& F) {
    Config.HeadingFormat = F.Heading;
    Config.HStart = F.HStart;
    Config.HStop = F.HStop;
    Config.HPattern = F.HPattern;
    Config.ParagraphFormat = F.Paragraph;
    Config.PStart = F.PStart;
    Config.PStop = F.PStop;
    Config.SentenceFormat = F.Sentence;
    Config.SStart = F.SStart;
    Config.SStop = F.SStop;
    Config.SentDelimiters = F.SentDelimiters;
    // Kept lower-cased, as the preferences keep them: words are compared lower-cased.
    Config.SentenceExceptions.clear();
    for (std::string Word : F.Exceptions) {
        for (char& C : Word) C = static_cast<char>(Config.LowerCaseMap[static_cast<uint8_t>(C)]);
        Config.SentenceExceptions.push_back(Word);
    }
    Config.SmartAbbrDetect = F.Abbreviations;
    Config.includeTrailingQuotes = F.TrailingQuotes;
}

template <class T, class Codec>
void AddEmptySlot(TSlotList<T, Codec>& Slots) {
    Slots.Add(nullptr);
}

template <class T, class Codec>
const T* SlotOf(const TSlotList<T, Codec>& Slots, size_t I) {
    return Slots.GetItem(static_cast<int32_t>(I));
}

void Register(TConcordConfig& Config, const std::string& FileName) {
    TNamedItem<TCorpusFileRecord> Entry;
    Entry.Name = FileName;
    Entry.Object.CopyName = FileName;
    Config.Streams.push_back(std::make_unique<TFileSynchroStream>(FileName, fmOpenRead | fmShareDenyWrite));
    Config.Readers.emplace_back();
    Config.Files.push_back(std::move(Entry));
    AddEmptySlot(Config.LineStarts);
    AddEmptySlot(Config.PageStarts);
    AddEmptySlot(Config.FileTags);
    AddEmptySlot(Config.SectionIndexes);
    AddEmptySlot(Config.ParagraphIndexes);
    AddEmptySlot(Config.SentenceIndexes);
}

int32_t CountOf(const TIntegerList* List) {
    return List ? List->Count() : 0;
}

void Report(const TConcordConfig& Config, int Language, double Seconds) {
    int64_t Bytes = 0;
    for (size_t I = 0; I < Config.Files.size(); ++I) {
        const int32_t Size = Config.Streams[I]->GetSize();
        Bytes += Size;
        std::printf(
            "  %s: %d bytes, %d sections, %d paragraphs, %d sentences, %d words, %d lines, %d pages\n",
            Config.Files[I].Name.c_str(), Size, CountOf(SlotOf(Config.SectionIndexes, I)),
            CountOf(SlotOf(Config.ParagraphIndexes, I)), CountOf(SlotOf(Config.SentenceIndexes, I)),
            Config.Files[I].Object.WordCount, CountOf(SlotOf(Config.LineStarts, I)),
            CountOf(SlotOf(Config.PageStarts, I)));
    }
    const double Megabytes = static_cast<double>(Bytes) / (1024.0 * 1024.0);
    std::printf("language %d (%s): %.1f MB in %.3f s, %.1f MB/s, %d distinct words\n", Language,
                Config.LanguageName.c_str(), Megabytes, Seconds, Seconds > 0 ? Megabytes / Seconds : 0.0,
                Config.FreqList ? Config.FreqList->Count() : 0);
}

const char* Value(int& I, int Argc, char** Argv) {
    if (I + 1 >= Argc) Usage("a flag lacks its value");
    return Argv[++I];
}

// The one character of a flag's value.
char CharValue(int& I, int Argc, char** Argv) {
    const char* Text = Value(I, Argc, Argv);
    if (std::strlen(Text) != 1) Usage("a flag wants one character");
    return Text[0];
}

std::vector<std::string> ListValue(int& I, int Argc, char** Argv) {
    std::vector<std::string> Items;
    const std::string Text = Value(I, Argc, Argv);
    size_t Start = 0;
    while (Start <= Text.size()) {
        const size_t Comma = std::min(Text.find(',', Start), Text.size());
        if (Comma > Start) Items.push_back(Text.substr(Start, Comma - Start));
        Start = Comma + 1;
    }
    return Items;
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc >= 4 && std::strcmp(Argv[1], "--generate") == 0) {
        const bool WordTags = Argc == 5 && std::strcmp(Argv[4], "--wordtags") == 0;
        if (Argc > 4 && !WordTags) Usage("--generate takes FILE MEGABYTES [--wordtags]");
        Generate(Argv[2], std::atoll(Argv[3]) * 1024 * 1024, WordTags);
        return 0;
    }
    if (Argc >= 6 && std::strcmp(Argv[1], "--generate-dir") == 0) {
        const bool WordTags = Argc == 7 && std::strcmp(Argv[6], "--wordtags") == 0;
        if (Argc > 6 && !WordTags) Usage("--generate-dir takes FOLDER COUNT MINKB MAXKB [--wordtags]");
        const int Count = std::atoi(Argv[3]);
        const int64_t MinKB = std::atoll(Argv[4]);
        const int64_t MaxKB = std::max<int64_t>(std::atoll(Argv[5]), MinKB);
        TRandom Sizes(1207);
        for (int I = 1; I <= Count; ++I) {
            char Name[16];
            std::snprintf(Name, sizeof Name, "%03d.txt", I);
            const int64_t KB = MinKB + Sizes.Next(static_cast<uint32_t>(MaxKB - MinKB + 1));
            Generate(std::string(Argv[2]) + "/" + Name, KB * 1024, WordTags,
                     20261207 + static_cast<uint64_t>(I));
        }
        return 0;
    }
    InitConfigUnit();
    TCommonConcordConfig& Common = *CommonConfig;
    Common.TagStart = '<';
    Common.TagStop = '>';
    Common.WildCard0orMore = '*';
    Common.WildCard0or1 = '%';
    Common.WildCardExactly1 = '?';
    Common.WildCardMatchWords = '@';
    Common.PageSeparator = "<pb>";

    TFormatOptions Format;
    std::vector<TLanguageArgs> Languages;
    for (int I = 1; I < Argc; ++I) {
        const std::string Arg = Argv[I];
        if (Arg == "--lang") {
            Languages.push_back(
                {static_cast<uint32_t>(std::strtoul(Value(I, Argc, Argv), nullptr, 0)), Format, {}});
        } else if (Arg == "--heading") {
            Format.Heading = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--hstart") {
            Format.HStart = Value(I, Argc, Argv);
        } else if (Arg == "--hstop") {
            Format.HStop = Value(I, Argc, Argv);
        } else if (Arg == "--hpattern") {
            Format.HPattern = Value(I, Argc, Argv);
        } else if (Arg == "--paragraph") {
            Format.Paragraph = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--pstart") {
            Format.PStart = Value(I, Argc, Argv);
        } else if (Arg == "--pstop") {
            Format.PStop = Value(I, Argc, Argv);
        } else if (Arg == "--sentence") {
            Format.Sentence = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--sstart") {
            Format.SStart = Value(I, Argc, Argv);
        } else if (Arg == "--sstop") {
            Format.SStop = Value(I, Argc, Argv);
        } else if (Arg == "--enders") {
            Format.SentDelimiters = Value(I, Argc, Argv);
        } else if (Arg == "--exceptions") {
            Format.Exceptions = ListValue(I, Argc, Argv);
        } else if (Arg == "--abbr") {
            Format.Abbreviations = true;
        } else if (Arg == "--quotes") {
            Format.TrailingQuotes = true;
        } else if (Arg == "--align") {
            Common.AlignFormat = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--delimiter") {
            Common.AlignDelimiter = Value(I, Argc, Argv);
        } else if (Arg == "--astart") {
            Common.AlignStart = Value(I, Argc, Argv);
        } else if (Arg == "--astop") {
            Common.AlignStop = Value(I, Argc, Argv);
        } else if (Arg == "--pages") {
            Common.PageSeparator = Value(I, Argc, Argv);
        } else if (Arg == "--tags") {
            Common.TagStart = CharValue(I, Argc, Argv);
            Common.TagStop = CharValue(I, Argc, Argv);
        } else if (Arg == "--wordtag") {
            Common.WordTag = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--wtagsep") {
            Common.wTagDelimiter = CharValue(I, Argc, Argv);
        } else if (Arg == "--wtagstarts") {
            Common.wTagStarts = ListValue(I, Argc, Argv);
        } else if (Arg == "--wtagstop") {
            Common.wTagStop = CharValue(I, Argc, Argv);
        } else if (!Arg.empty() && Arg[0] != '-' && !Languages.empty()) {
            Languages.back().Files.push_back(Arg);
        } else {
            Usage(("unexpected argument " + Arg).c_str());
        }
    }
    if (Languages.empty() || Languages.size() > static_cast<size_t>(MaxLanguages))
        Usage("give one to four languages");

    try {
        LanguagesCount = static_cast<int32_t>(Languages.size());
        for (size_t L = 0; L < Languages.size(); ++L) {
            if (!LanguageConfigs[L])
                LanguageConfigs[L] = std::make_unique<TConcordConfig>(static_cast<int32_t>(L));
            TConcordConfig& Config = *LanguageConfigs[L];
            Config.SetLanguage(Languages[L].Lcid, LanguageNameOfLCID(Languages[L].Lcid));
            Configure(Config, Languages[L].Format);
            for (const std::string& File : Languages[L].Files) Register(Config, File);
        }
        using TClock = std::chrono::steady_clock;
        for (size_t L = 0; L < Languages.size(); ++L) {
            const auto Start = TClock::now();
            const int Code = ProcessLanguage(static_cast<int>(L));
            const double Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
            if (Code != 0) {
                std::fprintf(stderr, "corpus_bench: language %zu was cancelled\n", L);
                return 1;
            }
            Report(*LanguageConfigs[L], static_cast<int>(L), Seconds);
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "corpus_bench: %s\n", E.what());
        return 1;
    }
    FinalizeConfigUnit();
    return 0;
}
