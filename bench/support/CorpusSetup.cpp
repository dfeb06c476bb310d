#include "bench/support/CorpusSetup.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <map>

#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "engine/BStream.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcSearch.h"
#include "engine/ConcTags.h"
#include "engine/RegExp3.h"
#include "engine/SynStream.h"
#include "results/ConcParaSearchThread.h"

void ConfigureFormat(TConcordConfig& Config, const TFormatOptions& F) {
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

namespace {

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

// Aligns language K with language 0 and reports it; writes the pairs to Out when given. The time of the
// alignment is added to Spent.
bool AlignAndReport(int K, uint8_t Format, std::FILE* Out, double& Spent) {
    using TClock = std::chrono::steady_clock;
    const auto Start = TClock::now();
    bool Ok = true;
    if (Format == afNotAligned)
        Ok = CheckFileCounts(0, K) && CheckSectionCounts(0, K) && CheckParagraphCounts(K) &&
             AlignLanguageSentences(K);
    else
        RunAlignment(false, K, -1);
    const double Seconds = std::chrono::duration<double>(TClock::now() - Start).count();
    Spent += Seconds;
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

}  // namespace

const char* Value(int& I, int Argc, char** Argv) {
    if (I + 1 >= Argc) Usage("a flag lacks its value");
    return Argv[++I];
}

namespace {

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

void ParseCorpusArgs(int Argc, char** Argv, TCorpusArgs& Args,
                     const std::function<bool(int& I, int Argc, char** Argv)>& Extra) {
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
    for (int I = 1; I < Argc; ++I) {
        const std::string Arg = Argv[I];
        if (Arg == "--lang") {
            Args.Languages.push_back(
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
            Args.Align = true;
        } else if (Arg == "--align-out") {
            Args.Align = true;
            Args.AlignOut = Value(I, Argc, Argv);
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
            Args.Search.Query = Value(I, Argc, Argv);
        } else if (Arg == "--syntax") {
            Args.Search.Syntax = static_cast<uint8_t>(std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--lang-index") {
            Args.Search.Language = std::atoi(Value(I, Argc, Argv));
        } else if (Arg == "--hits-out") {
            Args.Search.HitsOut = Value(I, Argc, Argv);
        } else if (Arg == "--repeat") {
            Args.Search.Repeat = std::max(1, std::atoi(Value(I, Argc, Argv)));
        } else if (Arg == "--para" || Arg == "--para-not") {
            TParaArgs Para;
            Para.Not = Arg == "--para-not";
            Para.Language = std::atoi(Value(I, Argc, Argv));
            Para.Query = Value(I, Argc, Argv);
            Args.Search.Para.push_back(Para);
        } else if (Extra && Extra(I, Argc, Argv)) {
            continue;
        } else if (!Arg.empty() && Arg[0] != '-' && !Args.Languages.empty()) {
            Args.Languages.back().Files.push_back(Arg);
        } else {
            Usage(("unexpected argument " + Arg).c_str());
        }
    }
    if (Args.Languages.empty() || Args.Languages.size() > static_cast<size_t>(MaxLanguages))
        Usage("give one to four languages");
    if (Args.Search.Language < 0 || static_cast<size_t>(Args.Search.Language) >= Args.Languages.size())
        Usage("--lang-index names no language");
}

int BuildCorpus(const TCorpusArgs& Args, double* Seconds) {
    using TClock = std::chrono::steady_clock;
    const TCommonConcordConfig& Common = *CommonConfig;
    double Spent = 0;
    const auto Registering = TClock::now();
    LanguagesCount = static_cast<int32_t>(Args.Languages.size());
    for (size_t L = 0; L < Args.Languages.size(); ++L) {
        if (!LanguageConfigs[L])
            LanguageConfigs[L] = std::make_unique<TConcordConfig>(static_cast<int32_t>(L));
        TConcordConfig& Config = *LanguageConfigs[L];
        Config.SetLanguage(Args.Languages[L].Lcid, LanguageNameOfLCID(Args.Languages[L].Lcid));
        ConfigureFormat(Config, Args.Languages[L].Format);
        for (const std::string& File : Args.Languages[L].Files) Register(Config, File);
    }
    Spent += std::chrono::duration<double>(TClock::now() - Registering).count();
    const auto Finish = [&](int Code) {
        if (Seconds) *Seconds = Spent;
        return Code;
    };
    for (size_t L = 0; L < Args.Languages.size(); ++L) {
        const auto Start = TClock::now();
        const int Code = ProcessLanguage(static_cast<int>(L));
        const double Pass = std::chrono::duration<double>(TClock::now() - Start).count();
        Spent += Pass;
        if (Code != 0) {
            std::fprintf(stderr, "language %zu was cancelled\n", L);
            return Finish(1);
        }
        Report(*LanguageConfigs[L], static_cast<int>(L), Pass);
    }
    if (!Args.Align) return Finish(0);
    std::FILE* Out = nullptr;
    if (!Args.AlignOut.empty() && !(Out = std::fopen(Args.AlignOut.c_str(), "w")))
        Usage("cannot write the pairs");
    const auto Aligning = TClock::now();
    EnsureAlignIndexLists();
    Spent += std::chrono::duration<double>(TClock::now() - Aligning).count();
    bool Ok = true;
    for (int K = 1; K < LanguagesCount && Ok; ++K) Ok = AlignAndReport(K, Common.AlignFormat, Out, Spent);
    if (Out) std::fclose(Out);
    if (!Ok) {
        std::fprintf(stderr, "the alignment stopped at a count check\n");
        return Finish(1);
    }
    return Finish(0);
}

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
        Side.ShrinkToFit();
    }
}

std::unique_ptr<TConcSearchRec> MakeQuery(int Language, uint8_t Syntax, const std::string& Text) {
    auto Query = std::make_unique<TConcSearchRec>();
    Query->Language = Language;
    Query->Syntax = Syntax;
    Query->Names = {Text};
    Query->Patterns = {Text};
    return Query;
}

bool RunEngineSearch(const TSearchArgs& Args, TEngineRun& Run,
                     const std::function<void(const TConcordItem& Item)>& OnHit) {
    TCommonConcordConfig& Common = *CommonConfig;
    Common.IgnoreCase = true;
    Common.FrequencyOfHits = 1;
    InitRegExpCharTables(Args.Language);
    EnsureUnits(Args.Language);
    const std::unique_ptr<TConcSearchRec> Query = MakeQuery(Args.Language, Args.Syntax, Args.Query);
    TSearch Search;
    uint8_t Stage = 0;
    std::string Error;
    Search.Prepare(*Query, Stage, Error);
    if (Stage != 0) {
        std::fprintf(stderr, "the query does not compile: %s\n", Error.c_str());
        return false;
    }
    Run.Hits = 0;
    const HitFn Hit = [&](std::unique_ptr<TConcordItem> Item) {
        ++Run.Hits;
        if (OnHit) OnHit(*Item);
    };
    const auto Start = std::chrono::steady_clock::now();
    Search.Execute(true, 0, Hit, {}, 0);
    Run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    return true;
}

void RunEngineParallelSearch(const TSearchArgs& Args, TEngineRun& Kept, int64_t& Tried) {
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
    Kept.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Failure) std::rethrow_exception(Failure);
    Kept.Hits = Lists[static_cast<size_t>(Args.Language)]->Count();
    Tried = Threads.Stepped;
}
