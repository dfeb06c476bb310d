// Measures the corpus pass: registers the given files per language, runs the pass over every language
// and prints, per file, what it built and, per language, the time it took. Each language is timed on
// its own by running ProcessLanguage for it, the same loop over the languages that ProcessCorpus runs.
//
//   corpus_bench [format flags] [--align] [--align-out FILE] --lang LCID file... [--lang LCID file...]
//   corpus_bench --generate FILE MEGABYTES [--wordtags]
//   corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]
//   corpus_bench --generate-pair SOURCE TARGET MEGABYTES
//   corpus_bench --generate-verses TAGGED PLAIN MEGABYTES
//   corpus_bench [flags] --lang LCID file... --search QUERY [--syntax N] [--lang-index L] [--hits-out FILE]
//                [--repeat N]
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
// index, hit start, hit end (byte offsets, end exclusive). --repeat N runs the search and grep N times
// in turns and prints last the median time of each and their ratio.
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
// one in 25 split in two and one in 25 merged with the next. --generate-verses writes verse-sized
// sentences of English-like text in <s> and <p> tags, and the same text without tags (its paragraphs
// parted by empty lines): search TAGGED with --paragraph 0 --sentence 0 and PLAIN with --paragraph 2
// --sentence 1 (before its --lang) for the same paragraphs. Its words to search for, frequent to missing:
// lord, zerubbabel, kedemoth, telephone (see support/VerseCorpus.h).
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
#include "bench/support/CorpusSetup.h"
#include "bench/support/VerseCorpus.h"
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

void Usage(const char* Problem) {
    std::fprintf(stderr, "corpus_bench: %s\n", Problem);
    std::fprintf(stderr,
                 "usage: corpus_bench [format flags] [--align] [--align-out FILE] --lang LCID file...\n"
                 "                    [--lang LCID file...]\n"
                 "       corpus_bench --generate FILE MEGABYTES [--wordtags]\n"
                 "       corpus_bench --generate-dir FOLDER COUNT MINKB MAXKB [--wordtags]\n"
                 "       corpus_bench --generate-pair SOURCE TARGET MEGABYTES\n"
                 "       corpus_bench --generate-verses TAGGED PLAIN MEGABYTES\n"
                 "Each language is timed alone: ProcessLanguage runs for it, the same per-language\n"
                 "loop that ProcessCorpus runs. See the source's head for the format flags.\n");
    std::exit(2);
}

namespace {

// The time of the single search, once it ran.
double SingleSeconds = 0;

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

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    const size_t Middle = Values.size() / 2;
    return Values.size() % 2 == 1 ? Values[Middle] : (Values[Middle - 1] + Values[Middle]) / 2;
}

int RunSearch(TSearchArgs& Args, const std::vector<std::string>& Files) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> Out(nullptr, &std::fclose);
    if (!Args.HitsOut.empty()) {
        Out.reset(std::fopen(Args.HitsOut.c_str(), "w"));
        if (!Out) Usage("cannot write the hits file");
    }
    int64_t Bytes = 0;
    for (const auto& Stream : LanguageConfigs[static_cast<size_t>(Args.Language)]->Streams)
        Bytes += Stream->GetSize();
    const double Megabytes = static_cast<double>(Bytes) / (1024.0 * 1024.0);
    // The machine may be busy with other work: the search and grep take turns, and the medians of
    // the runs are set side by side.
    std::vector<double> SearchTimes, GrepTimes;
    for (int Round = 0; Round < Args.Repeat; ++Round) {
        TEngineRun Run;
        const bool Ran = RunEngineSearch(Args, Run, [&](const TConcordItem& Item) {
            if (Out) std::fprintf(Out.get(), "%d %d %d\n", Item.FileIndex, Item.HitStart, Item.HitEnd);
        });
        if (!Ran) return 1;
        Out.reset();
        SearchTimes.push_back(Run.Seconds);
        std::printf("search [%s] syntax %d, language %d: %lld hits in %.3f s, %.1f MB/s\n",
                    Args.Query.c_str(), Args.Syntax, Args.Language, static_cast<long long>(Run.Hits),
                    Run.Seconds, Run.Seconds > 0 ? Megabytes / Run.Seconds : 0.0);
        double GrepSeconds = 0;
        const int64_t GrepLines = GrepCount(Args.Query, Files, GrepSeconds);
        if (GrepLines >= 0) {
            GrepTimes.push_back(GrepSeconds);
            std::printf("grep -c -w -i: %lld lines in %.3f s, %.1f MB/s; search time / grep time = %.2f\n",
                        static_cast<long long>(GrepLines), GrepSeconds,
                        GrepSeconds > 0 ? Megabytes / GrepSeconds : 0.0,
                        GrepSeconds > 0 ? Run.Seconds / GrepSeconds : 0.0);
        }
    }
    SingleSeconds = Median(SearchTimes);
    if (Args.Repeat > 1 && !GrepTimes.empty()) {
        const double SearchMedian = Median(SearchTimes);
        const double GrepMedian = Median(GrepTimes);
        std::printf("median of %d runs: search %.3f s, grep %.3f s, search time / grep time = %.2f\n",
                    Args.Repeat, SearchMedian, GrepMedian, GrepMedian > 0 ? SearchMedian / GrepMedian : 0.0);
    }
    return 0;
}

int RunParallelSearch(const TSearchArgs& Args) {
    TEngineRun Kept;
    int64_t Tried = 0;
    RunEngineParallelSearch(Args, Kept, Tried);
    std::printf(
        "parallel search, %zu other queries: %lld of %lld hits kept in %.3f s; parallel time / single "
        "search time = %.2f\n",
        Args.Para.size(), static_cast<long long>(Kept.Hits), static_cast<long long>(Tried), Kept.Seconds,
        SingleSeconds > 0 ? Kept.Seconds / SingleSeconds : 0.0);
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
    if (Argc == 5 && std::strcmp(Argv[1], "--generate-verses") == 0) {
        if (!WriteVerseCorpus(Argv[2], Argv[3], std::atoll(Argv[4])))
            Usage("cannot write the generated corpus");
        return 0;
    }
    TCorpusArgs Args;
    ParseCorpusArgs(Argc, Argv, Args);
    try {
        if (BuildCorpus(Args) != 0) return 1;
        if (!Args.Search.Query.empty()) {
            const auto& Files = Args.Languages[static_cast<size_t>(Args.Search.Language)].Files;
            int Code = RunSearch(Args.Search, Files);
            if (Code == 0 && !Args.Search.Para.empty()) Code = RunParallelSearch(Args.Search);
            if (Code != 0) return Code;
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "corpus_bench: %s\n", E.what());
        return 1;
    }
    FinalizeConfigUnit();
    return 0;
}
