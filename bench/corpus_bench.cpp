// Measures the corpus pass: registers the given files per language, runs the pass over every language
// and prints, per file, what it built and, per language, the time it took. Each language is timed on
// its own by running ProcessLanguage for it, the same loop over the languages that ProcessCorpus runs.
//
//   corpus_bench [format flags] [--align] [--align-out FILE] --lang LCID file... [--lang LCID file...]
//   corpus_bench --generate FILE MEGABYTES [--wordtags]
//   corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]
//   corpus_bench --generate-pair SOURCE TARGET MEGABYTES
//   corpus_bench [flags] --lang LCID file... --search QUERY [--syntax N] [--lang-index L] [--hits-out FILE]
//                [--para L QUERY]... [--para-not L QUERY]...
//
// Format flags of a language apply to every language given after them:
//   --heading N (0 tags, 1 pattern, 2 regular expression, 3 none)   --hstart M --hstop M --hpattern P
//   --paragraph N (0 tags, 1 each line, 2 empty line, 3 indented)     --pstart M --pstop M
//   --sentence N (0 tags, 1 automatic, other: paragraph breaks only)  --sstart M --sstop M
//   --enders CHARS (sentence-end characters)   --exceptions WORD,WORD... (no sentence end after them)
//   --abbr (abbreviation rules on)   --quotes (trailing quotes end a sentence)
// Options of the whole corpus, wherever they stand:
//   --alignformat N (0..3) --delimiter M --astart M --astop M --aattrib NAME
//   --pages SEPARATOR   --tags START STOP
//   --wordtag N (0 none, 1 after a separator, 2 opened and closed)   --wtagsep C   --wtagstarts S,S...
//   --wtagstop C
//
// --search runs QUERY (syntax 0 text, 1 regular expression, 2 tag; ignoring case) over language L (0)
// after the corpus pass (and the alignment), as a search thread runs it (no window), and prints the hits, the
// time and the speed, then runs "grep -c -w -i QUERY" over the same files for comparison. A file without
// aligned units (no aligner has run) is searched by its paragraphs. --hits-out writes one line per hit: file
// index, hit start, hit end (byte offsets, end exclusive).
//
// --para and --para-not add a query for language L: after the single search, the parallel search runs
// with the --search query as its primary query and one thread per --para language, which keeps a hit
// when the aligned unit of that language matches its query (--para-not: does not match); it prints the
// hits kept, the time, and the time against that of the single search.
//
// --generate writes a tagged corpus of about that many megabytes: sections with headings, paragraph
// and sentence tags, page separators, CR LF lines; with --wordtags every word carries a word tag after
// "_" (for --wordtag 1 --wtagsep _). --generate-dir writes COUNT such files named 001.txt, 002.txt, ...
// into FOLDER (which must exist), each of a random size between MINKB and MAXKB kilobytes, all of one
// vocabulary. --generate-pair writes two such files of the same sections and
// paragraphs, the target's sentences in another vocabulary, each about as long as its source sentence,
// one in 25 split in two and one in 25 merged with the next.
//
// --align: after the pass, aligns every target language with language 0 by the alignment format and
// prints per language the file pairs, the beads by shape (units of the source - units of the target),
// the time and the units (sentences, or markup segments, of both sides) aligned per second. Under format
// 0 each language runs the corpus aligner's four passes on its own. --align-out FILE (implies --align)
// writes every aligned pair as a line: language, file index, source start, source end, target start,
// target end (byte offsets, ends exclusive), separated by tabs.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "bench/BenchRandom.h"
#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcSearch.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTags.h"
#include "engine/RegExp3.h"
#include "engine/SynStream.h"
#include "results/ConcParaSearchThread.h"

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
                 "usage: corpus_bench [format flags] [--align] [--align-out FILE] --lang LCID file...\n"
                 "                    [--lang LCID file...]\n"
                 "       corpus_bench --generate FILE MEGABYTES [--wordtags]\n"
                 "       corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]\n"
                 "       corpus_bench --generate-pair SOURCE TARGET MEGABYTES\n"
                 "Each language is timed alone: ProcessLanguage runs for it, the same per-language\n"
                 "loop that ProcessCorpus runs. See the source's head for the format flags.\n");
    std::exit(2);
}

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

std::vector<std::string> MakeWords(TRandom& Random, const char* Letters) {
    std::vector<std::string> Words;
    for (int I = 0; I < 5000; ++I) {
        std::string Word;
        const uint32_t Length = 1 + Random.Next(6) + Random.Next(6);
        for (uint32_t K = 0; K < Length; ++K) Word += Letters[Random.Next(K == 0 ? 26 : 12)];
        Words.push_back(Word);
    }
    return Words;
}

std::string Sentence(TRandom& Random, const std::vector<std::string>& Words, uint32_t Count) {
    std::string S = "<s>";
    for (uint32_t W = 0; W < Count; ++W) {
        if (W > 0) S += " ";
        S += Words[Random.Next(static_cast<uint32_t>(Words.size()))];
    }
    return S + ".</s> ";
}

void GeneratePair(const std::string& SourcePath, const std::string& TargetPath, int64_t Megabytes) {
    TRandom Structure(7), SourceWords(11), TargetWords(13), Choice(17);
    const std::vector<std::string> VocabularyA = MakeWords(SourceWords, "etaoinshrdlucmfwypvbgkjqxz");
    const std::vector<std::string> VocabularyB = MakeWords(TargetWords, "eainrstuldhgcmobfkwzpvjyxq");
    std::ofstream Source(SourcePath, std::ios::binary), Target(TargetPath, std::ios::binary);
    if (!Source || !Target) Usage("cannot write the generated corpus");
    const int64_t Bytes = Megabytes * 1024 * 1024;
    int64_t Written = 0;
    int Chapter = 0;
    std::string A, B;
    while (Written < Bytes) {
        A = B = "<h>Chapter " + std::to_string(++Chapter) + "</h>\r\n";
        const uint32_t Paragraphs = 2 + Structure.Next(6);
        for (uint32_t P = 0; P < Paragraphs; ++P) {
            A += "<p>";
            B += "<p>";
            const uint32_t Sentences = 1 + Structure.Next(12);
            for (uint32_t S = 0; S < Sentences; ++S) {
                const uint32_t Count = 3 + Structure.Next(25);
                A += Sentence(SourceWords, VocabularyA, Count);
                // The translation: about as many words, give or take a tenth.
                uint32_t TargetCount = Count + Choice.Next(Count / 5 + 1) - Count / 10;
                const uint32_t Way = Choice.Next(25);
                if (Way == 0 && TargetCount >= 6) {
                    const uint32_t First = TargetCount / 2;
                    B += Sentence(TargetWords, VocabularyB, First);
                    B += Sentence(TargetWords, VocabularyB, TargetCount - First);
                    continue;
                }
                if (Way == 1 && S + 1 < Sentences) {
                    const uint32_t Next = 3 + Structure.Next(25);
                    A += Sentence(SourceWords, VocabularyA, Next);
                    TargetCount += Next;
                    ++S;
                }
                B += Sentence(TargetWords, VocabularyB, TargetCount);
            }
            A += "</p>\r\n";
            B += "</p>\r\n";
        }
        Source.write(A.data(), static_cast<std::streamsize>(A.size()));
        Target.write(B.data(), static_cast<std::streamsize>(B.size()));
        Written += static_cast<int64_t>(A.size());
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

// How many units of a side an aligned entry takes: the sentences that start inside it when the length
// aligner made it (Sentences given), else 1 for a markup segment that covers text of its file.
int UnitsOf(const TSegment& E, const TAlignIndex* Sentences, int32_t Size) {
    if (!Sentences) return E.End >= E.Start && E.Start < Size ? 1 : 0;
    if (E.End <= E.Start) return 0;
    return Sentences->IndexBefore(E.End) - Sentences->SegmentOf(E.Start) + 1;
}

// The exclusive end of an aligned entry: markup entries keep their last byte.
int32_t ExclusiveEnd(const TSegment& E, int32_t Size, bool Markup) {
    if (!Markup) return E.End;
    return std::max(E.Start, std::min(E.End + 1, Size));
}

// Aligns language K with language 0 and reports it; writes the pairs to Out when given.
bool AlignAndReport(int K, uint8_t Format, std::FILE* Out) {
    using TClock = std::chrono::steady_clock;
    const auto Start = TClock::now();
    bool Ok = true;
    if (Format == afNotAligned)
        Ok = CheckFileCounts(0, K) && CheckSectionCounts(0, K) && CheckParagraphCounts(K) &&
             AlignLanguageSentences(K);
    else
        RunAlignment(false, K, -1);
    const double Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
    TDoubleAlignIndexes* Lists[] = {Align12.get(), Align13.get(), Align14.get()};
    const TDoubleAlignIndexes& Pairs = *Lists[K - 1];
    const bool Markup = Format != afNotAligned;
    std::map<std::pair<int, int>, int64_t> Shapes;
    int Aligned = 0;
    int64_t Units = 0;
    for (int32_t F = 0; F < Pairs.Count(); ++F) {
        const TDoubleAlignIndex* Pair = Pairs.GetItem(F);
        if (!Pair) continue;
        ++Aligned;
        const int32_t Size1 = LanguageConfigs[0]->Streams[static_cast<size_t>(F)]->GetSize();
        const int32_t Size2 = LanguageConfigs[K]->Streams[static_cast<size_t>(F)]->GetSize();
        const TAlignIndex* S1 = Markup ? nullptr : LanguageConfigs[0]->SentenceIndexes.GetItem(F);
        const TAlignIndex* S2 = Markup ? nullptr : LanguageConfigs[K]->SentenceIndexes.GetItem(F);
        for (int32_t E = 0; E < Pair->Side1.Count(); ++E) {
            const TSegment A = Pair->Side1.GetItem(E), B = Pair->Side2.GetItem(E);
            const int UA = UnitsOf(A, S1, Size1), UB = UnitsOf(B, S2, Size2);
            ++Shapes[{UA, UB}];
            Units += UA + UB;
            if (Out)
                std::fprintf(Out, "%d\t%d\t%d\t%d\t%d\t%d\n", K, F, A.Start, ExclusiveEnd(A, Size1, Markup),
                             B.Start, ExclusiveEnd(B, Size2, Markup));
        }
    }
    std::printf("align language %d (%s, %s): %d of %d file pairs, %.3f s, %.0f units/s\n  beads:", K,
                LanguageConfigs[K]->LanguageName.c_str(), AlignFormatNames[Format], Aligned, Pairs.Count(),
                Seconds, Seconds > 0 ? static_cast<double>(Units) / Seconds : 0.0);
    for (const auto& [Shape, Count] : Shapes)
        std::printf(" %d-%d: %lld", Shape.first, Shape.second, static_cast<long long>(Count));
    std::printf("\n");
    return Ok;
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

struct TParaArgs {
    int Language = 0;
    std::string Query;
    bool Not = false;
};

struct TSearchArgs {
    std::string Query;
    uint8_t Syntax = 0;
    int Language = 0;
    std::string HitsOut;
    std::vector<TParaArgs> Para;
    double Seconds = 0;  // of the single search, once it ran
};

// The language's side of each file's alignment with language 0; a file that has none gets its
// paragraphs as units.
void EnsureUnits(int Language) {
    TConcordConfig& Config = *LanguageConfigs[static_cast<size_t>(Language)];
    std::unique_ptr<TDoubleAlignIndexes>* Pairs[4] = {&Align12, &Align12, &Align13, &Align14};
    std::unique_ptr<TDoubleAlignIndexes>& List = *Pairs[Language];
    if (!List) List = std::make_unique<TDoubleAlignIndexes>();
    for (size_t F = 0; F < Config.Files.size(); ++F) {
        if (GetAlignIndex(Language, static_cast<int32_t>(F)) != nullptr) continue;
        while (List->Count() <= static_cast<int32_t>(F)) List->Add(nullptr);
        if (!List->GetItem(static_cast<int32_t>(F)))
            List->SetItem(static_cast<int32_t>(F), std::make_unique<TDoubleAlignIndex>());
        TDoubleAlignIndex& Pair = *List->GetItem(static_cast<int32_t>(F));
        TAlignIndex& Side = Language == 0 ? Pair.Side1 : Pair.Side2;
        const TAlignIndex* Paragraphs = Config.ParagraphIndexes.GetItem(static_cast<int32_t>(F));
        for (int32_t I = 0; Paragraphs && I < Paragraphs->Count(); ++I) {
            const TSegment S = Paragraphs->GetItem(I);
            Side.Add(S.Start, S.End, S.Length);
        }
    }
}

std::string ShellQuoted(const std::string& Text) {
    std::string Quoted = "'";
    for (char C : Text) Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Quoted + "'";
}

// Runs grep over the files and returns the sum of its counts (-1 when it could not run).
int64_t GrepCount(const std::string& Query, const std::vector<std::string>& Files, double& Seconds) {
    std::string Command = "grep -c -w -i -- " + ShellQuoted(Query);
    for (const std::string& File : Files) Command += " " + ShellQuoted(File);
    const auto Start = std::chrono::steady_clock::now();
    FILE* Pipe = popen(Command.c_str(), "r");
    if (!Pipe) return -1;
    int64_t Count = 0;
    char Line[4096];
    while (std::fgets(Line, sizeof Line, Pipe)) {
        const char* Colon = std::strrchr(Line, ':');
        Count += std::atoll(Colon ? Colon + 1 : Line);
    }
    pclose(Pipe);
    Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    return Count;
}

std::unique_ptr<TConcSearchRec> MakeQuery(int Language, uint8_t Syntax, const std::string& Text) {
    auto Query = std::make_unique<TConcSearchRec>();
    Query->Language = Language;
    Query->Syntax = Syntax;
    Query->Names = {Text};
    Query->Patterns = {Text};
    return Query;
}

int RunParallelSearch(const TSearchArgs& Args) {
    std::array<std::unique_ptr<TConcSearchRec>, MaxLanguages> Records;
    Records[static_cast<size_t>(Args.Language)] = MakeQuery(Args.Language, Args.Syntax, Args.Query);
    for (const TParaArgs& P : Args.Para) {
        if (P.Language < 0 || P.Language >= LanguagesCount || P.Language == Args.Language)
            Usage("--para names no other language");
        EnsureUnits(P.Language);
        Records[static_cast<size_t>(P.Language)] = MakeQuery(P.Language, Args.Syntax, P.Query);
        Records[static_cast<size_t>(P.Language)]->Not = P.Not;
    }
    TItemLists Lists;
    for (int L = 0; L < LanguagesCount; ++L)
        Lists[static_cast<size_t>(L)] = std::make_unique<TConcordItems>(L);
    TSearch Search;
    uint8_t Stage = 0;
    std::string Error;
    Search.Prepare(*Records[static_cast<size_t>(Args.Language)], Stage, Error);
    const auto Start = std::chrono::steady_clock::now();
    TParallelSearch Threads(Args.Language, LanguagesCount, Records);
    const std::exception_ptr Failure = RunParallelRows(Search, Threads, Lists, true, 0, {}, {});
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Failure) std::rethrow_exception(Failure);
    std::printf(
        "parallel search, %zu other queries: %d of %d hits kept in %.3f s; parallel time / single "
        "search time = %.2f\n",
        Args.Para.size(), Lists[static_cast<size_t>(Args.Language)]->Count(), Search.ReportedCount, Seconds,
        Args.Seconds > 0 ? Seconds / Args.Seconds : 0.0);
    return 0;
}

int RunSearch(TSearchArgs& Args, const std::vector<std::string>& Files) {
    if (Args.Language < 0 || Args.Language >= LanguagesCount) Usage("--lang-index names no language");
    TCommonConcordConfig& Common = *CommonConfig;
    Common.IgnoreCase = true;
    Common.FrequencyOfHits = 1;
    InitRegExpCharTables(Args.Language);
    EnsureUnits(Args.Language);
    TConcSearchRec Query;
    Query.Language = Args.Language;
    Query.Syntax = Args.Syntax;
    Query.Names = {Args.Query};
    Query.Patterns = {Args.Query};
    TSearch Search;
    uint8_t Stage = 0;
    std::string Error;
    Search.Prepare(Query, Stage, Error);
    if (Stage != 0) {
        std::fprintf(stderr, "corpus_bench: the query does not compile: %s\n", Error.c_str());
        return 1;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> Out(nullptr, &std::fclose);
    if (!Args.HitsOut.empty()) {
        Out.reset(std::fopen(Args.HitsOut.c_str(), "w"));
        if (!Out) Usage("cannot write the hits file");
    }
    int64_t Hits = 0;
    const HitFn OnHit = [&](std::unique_ptr<TConcordItem> Item) {
        ++Hits;
        if (Out) std::fprintf(Out.get(), "%d %d %d\n", Item->FileIndex, Item->HitStart, Item->HitEnd);
    };
    const auto Start = std::chrono::steady_clock::now();
    Search.Execute(true, 0, OnHit, {}, 0);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    Args.Seconds = Seconds;
    int64_t Bytes = 0;
    for (const auto& Stream : LanguageConfigs[static_cast<size_t>(Args.Language)]->Streams)
        Bytes += Stream->GetSize();
    const double Megabytes = static_cast<double>(Bytes) / (1024.0 * 1024.0);
    std::printf("search [%s] syntax %d, language %d: %lld hits in %.3f s, %.1f MB/s\n", Args.Query.c_str(),
                Args.Syntax, Args.Language, static_cast<long long>(Hits), Seconds,
                Seconds > 0 ? Megabytes / Seconds : 0.0);
    double GrepSeconds = 0;
    const int64_t GrepLines = GrepCount(Args.Query, Files, GrepSeconds);
    if (GrepLines >= 0) {
        std::printf("grep -c -w -i: %lld lines in %.3f s, %.1f MB/s; search time / grep time = %.2f\n",
                    static_cast<long long>(GrepLines), GrepSeconds,
                    GrepSeconds > 0 ? Megabytes / GrepSeconds : 0.0,
                    GrepSeconds > 0 ? Seconds / GrepSeconds : 0.0);
    }
    return 0;
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
    if (Argc == 5 && std::strcmp(Argv[1], "--generate-pair") == 0) {
        GeneratePair(Argv[2], Argv[3], std::atoll(Argv[4]));
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
    TSearchArgs SearchArgs;
    bool Align = false;
    std::string AlignOut;
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
            Align = true;
        } else if (Arg == "--align-out") {
            Align = true;
            AlignOut = Value(I, Argc, Argv);
        } else if (Arg == "--alignformat") {
            Common.AlignFormat = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)) & 3);
        } else if (Arg == "--aattrib") {
            Common.AlignAttrib = Value(I, Argc, Argv);
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
        } else if (Arg == "--search") {
            SearchArgs.Query = Value(I, Argc, Argv);
        } else if (Arg == "--syntax") {
            SearchArgs.Syntax = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--lang-index") {
            SearchArgs.Language = std::atoi(Value(I, Argc, Argv));
        } else if (Arg == "--hits-out") {
            SearchArgs.HitsOut = Value(I, Argc, Argv);
        } else if (Arg == "--para" || Arg == "--para-not") {
            TParaArgs Para;
            Para.Not = Arg == "--para-not";
            Para.Language = std::atoi(Value(I, Argc, Argv));
            Para.Query = Value(I, Argc, Argv);
            SearchArgs.Para.push_back(Para);
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
        if (Align) {
            std::FILE* Out = nullptr;
            if (!AlignOut.empty() && !(Out = std::fopen(AlignOut.c_str(), "w")))
                Usage("cannot write the pairs");
            EnsureAlignIndexLists();
            bool Ok = true;
            for (int K = 1; K < LanguagesCount && Ok; ++K) Ok = AlignAndReport(K, Common.AlignFormat, Out);
            if (Out) std::fclose(Out);
            if (!Ok) {
                std::fprintf(stderr, "corpus_bench: the alignment stopped at a count check\n");
                return 1;
            }
        }
        if (!SearchArgs.Query.empty()) {
            if (SearchArgs.Language < 0 || static_cast<size_t>(SearchArgs.Language) >= Languages.size())
                Usage("--lang-index names no language");
            int Code = RunSearch(SearchArgs, Languages[static_cast<size_t>(SearchArgs.Language)].Files);
            if (Code == 0 && !SearchArgs.Para.empty()) Code = RunParallelSearch(SearchArgs);
            if (Code != 0) return Code;
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "corpus_bench: %s\n", E.what());
        return 1;
    }
    FinalizeConfigUnit();
    return 0;
}
