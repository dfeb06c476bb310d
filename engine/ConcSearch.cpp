// Search execution: the files, aligned units, heading texts and context ranges a query is run over,
// sentence mode, frequency and maximum of hits, progress, and the hit items.
#include "engine/ConcSearch.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcQueryDesc.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

namespace {

constexpr int32_t HitTextLimit = 60;
constexpr const char* Ellipsis = " ... ";

bool IsLineBreak(char C) {
    return C == '\r' || C == '\n';
}

THeadMarker PrepareMarker(const std::string& Marker) {
    THeadMarker m;
    m.Text = Marker;
    for (char& c : m.Text) {
        if (c == '#') c = ' ';
    }
    m.Length = static_cast<int32_t>(m.Text.size());
    if (!m.Text.empty() && m.Text.back() == ' ') {
        m.Text.pop_back();
        m.TrailingBlank = true;
    }
    return m;
}

// Clears the flags of an alignment index when a file's search ends, however it ends.
class TFlagsGuard {
public:
    explicit TFlagsGuard(TAlignIndex* Index) : FIndex(Index) {
        if (FIndex != nullptr) FIndex->ClearFlags();
    }
    ~TFlagsGuard() {
        if (FIndex != nullptr) FIndex->ClearFlags();
    }
    TFlagsGuard(const TFlagsGuard&) = delete;
    TFlagsGuard& operator=(const TFlagsGuard&) = delete;

private:
    TAlignIndex* FIndex;
};

}  // namespace

struct TSearch::TFileRun {
    int32_t File = 0;
    int32_t FileSize = 0;
    std::unique_ptr<TBufStream> Search;
    // Hits are reported through a second reader, so reporting never moves the search reader.
    std::unique_ptr<TBufStream> Report;
    const TAlignIndex* Sentences = nullptr;
    // With heading search: the texts under matching headings, located over the whole file, in order.
    std::vector<std::pair<int32_t, int32_t>> HeadingTexts;
};

TSearch::TSearch() = default;
TSearch::~TSearch() = default;

// ---------------------------------------------------------------------------------------------------
// Preparation

std::unique_ptr<TSearchContext> TSearch::MakeContext(const std::string& Pattern) {
    auto context =
        std::make_unique<TSearchContext>(Query->Language, Pattern, Query->Syntax, SkipSet, MatchCase);
    context->Owner = this;
    return context;
}

void TSearch::Prepare(const TConcSearchRec& Source, uint8_t& Stage, std::string& ErrorText) {
    Stage = 0;
    Query = TConcSearchRec::CreateCopy(Source);
    Query->FrequencyOfHits = CommonConfig ? CommonConfig->FrequencyOfHits : 0;
    // The search drops hits by the option, not by the query's flag: the copy, which describes the
    // search in its progress window, says so.
    const bool sentenceMode = CommonConfig && CommonConfig->SentenceMode;
    Query->Flags =
        static_cast<uint8_t>(sentenceMode ? Query->Flags | sfSentenceMode : Query->Flags & ~sfSentenceMode);
    const int32_t language = Query->Language;
    if (language < 0 || language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(language)]) {
        throw std::out_of_range("No configuration for language " + std::to_string(language) + ".");
    }
    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(language)];
    MatchCase = (Query->Flags & sfMatchCase) != 0;
    SkipSet.reset();
    if (Query->Flags & sfSkipEqual) {
        for (char c : Query->SkippingChars) {
            SkipSet.set(static_cast<uint8_t>(MatchCase ? c : LangLowerChar(c, language)));
        }
        Query->EqualChars = config.EqualChars;
    } else {
        Query->EqualChars.clear();
    }
    HeadingContext.reset();
    LeftContext.reset();
    RightContext.reset();
    Contexts.clear();
    try {
        HeadingSearch = (Query->Flags & sfHeading) != 0;
        if (HeadingSearch) {
            // Markers are looked for as typed, as the segmentation finds them: case counts.
            HeadStart = PrepareMarker(Query->HeadStartMarker);
            HeadStop = PrepareMarker(Query->HeadStopMarker);
            TextStart = PrepareMarker(Query->TextStartMarker);
            TextStop = PrepareMarker(Query->TextStopMarker);
            Stage = 3;
            HeadingContext = MakeContext(Query->HeadingPattern);
        }
        ContextSearch = (Query->Flags & sfContext) != 0;
        if (ContextSearch) {
            Stage = 1;
            LeftContext = MakeContext(Query->LeftContext);
            RightPatternLength = static_cast<int32_t>(Query->RightContext.size());
            Stage = 2;
            if (RightPatternLength != 0) RightContext = MakeContext(Query->RightContext);
        }
        Stage = 4;
        for (size_t i = 0; i < Query->Patterns.size(); ++i) {
            Contexts.push_back(MakeContext(Query->Patterns[i]));
            if (i < Query->Names.size()) Contexts.back()->Caption = Query->Names[i];
        }
        Stage = 0;
    } catch (const ERegExp& e) {
        ErrorText = e.what();
    }
}

// ---------------------------------------------------------------------------------------------------
// Progress

void TSearch::UpdateProgress(int32_t Position, bool Force) {
    if (ProgressWindow == nullptr) return;
    if (RangeMode) {
        // Every range forces an update: only the clock keeps the gauge from repainting per range.
        if (GaugeDue(false)) {
            ShowFileScanned();
            ProgressWindow->SetProgress(RangesDone);
        }
        return;
    }
    if (++GaugeCounter >= 1024 || Force) {
        GaugeCounter = 0;
        if (GaugeDue(Force)) ShowGauges(Position);
    }
    if (SpeedOff || ++SpeedCounter < 1024) return;
    SpeedCounter = 0;
    const auto now = SearchTick();
    if (now - LastTick <= std::chrono::milliseconds(500)) return;
    LastTick = now;
    const double seconds = std::chrono::duration<double>(now - StartTick).count();
    if (seconds <= 0) return;
    char text[64];
    std::snprintf(text, sizeof text, "%d words/sec",
                  static_cast<int>(std::nearbyint(WordsScanned / seconds)));
    ProgressWindow->SetLabel(dlSpecial, text);
}

// Moving a gauge repaints it at once: the gauges follow the search by the clock, not by its counters.
bool TSearch::GaugeDue(bool Force) {
    const auto now = SearchTick();
    if (!Force && now - GaugeTick < SearchGaugeInterval) return false;
    GaugeTick = now;
    return true;
}

void TSearch::ShowGauges(int32_t Position) {
    ShowFileScanned();
    ProgressWindow->SetSubProgress(Position);
    if (!OverallFrozen) {
        OverallProgress += Position - LastPosition;
        LastPosition = Position;
        ProgressWindow->SetProgress(static_cast<int>(OverallProgress));
    }
}

// The name and size of the file being searched, once the window shows another file's.
void TSearch::ShowFileScanned() {
    if (FFileShown == FFile || FFile < 0) return;
    FFileShown = FFile;
    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(Query->Language)];
    const std::string name = std::filesystem::path(config.Files[static_cast<size_t>(FFile)].Name).filename();
    char text[300];
    std::snprintf(text, sizeof text, "Scanning %s...", name.c_str());
    ProgressWindow->SetLabel(dlSubProgress, text);
    if (!RangeMode) ProgressWindow->SetSubRange(0, FFileSize);
}

// The whole file counts towards the overall gauge, whether or not the gauges are due to show it.
void TSearch::FileDone(int32_t FileSize) {
    if (!OverallFrozen) {
        OverallProgress += FileSize - LastPosition;
        LastPosition = FileSize;
    }
    if (GaugeDue(false)) ShowGauges(FileSize);
}

bool TSearch::MarkerProgress(int32_t Position) {
    if (Position >= 0) UpdateProgress(Position, false);
    if (StopRequested.load(std::memory_order_relaxed)) Cancelled = true;
    CheckSearchCancel(ProgressWindow, Cancelled);
    return Cancelled;
}

void TSearch::SetAction(const char* Text) {
    if (Text == FActionShown) return;
    FActionShown = Text;
    if (Reach != nullptr) Reach->Action.store(Text, std::memory_order_release);
    if (ProgressWindow != nullptr) ProgressWindow->SetLabel(dlAction, Text);
}

void TSearch::SetCaption(const char* Text) {
    FCaptionShown = std::string::npos;
    if (Reach != nullptr) Reach->Caption.store(Text, std::memory_order_release);
    if (ProgressWindow != nullptr) ProgressWindow->SetCaption(Text);
}

void TSearch::SetPatternCaption(size_t Context) {
    if (Context == FCaptionShown || Context >= FCaptions.size()) return;
    FCaptionShown = Context;
    if (Reach != nullptr) Reach->Caption.store(FCaptions[Context].c_str(), std::memory_order_release);
    if (ProgressWindow != nullptr) ProgressWindow->SetCaption(FCaptions[Context]);
}

std::unique_ptr<TDoubleProgressForm> TSearch::OpenProgressWindow(int32_t RangeTotal) const {
    if (!Query) throw std::logic_error("The search was not prepared.");
    auto window = std::make_unique<TDoubleProgressForm>();
    ShowQueryDescription(*window, DescribeQuery(*Query));
    window->SetDetailsButtonVisible(true);
    window->SetLabel(dlProgress, "Progress through entire corpus:");
    window->SetLabel(dlSpecial, "");
    if (RangeTotal != 0) {
        window->SetLabel(dlProgress, "Progress through search result:");
        window->SetRange(0, RangeTotal);
        window->SetSubGaugeVisible(false);
    } else {
        window->SetRange(0, TotalCorpusSize(Query->Language));
    }
    ShowUnlessMinimized(window.get());
    return window;
}

void TSearch::ShowReach(TDoubleProgressForm& Window, const TSearchReach& Reach,
                        TSearchReachShown& Shown) const {
    if (const char* caption = Reach.Caption.load(std::memory_order_acquire); caption != Shown.Caption) {
        Shown.Caption = caption;
        if (caption != nullptr) Window.SetCaption(caption);
    }
    if (const char* action = Reach.Action.load(std::memory_order_acquire); action != Shown.Action) {
        Shown.Action = action;
        if (action != nullptr) Window.SetLabel(dlAction, action);
    }
    const int32_t file = Reach.File.load(std::memory_order_relaxed);
    if (file < 0 || !Query) return;
    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(Query->Language)];
    if (file != Shown.File && static_cast<size_t>(file) < config.Files.size()) {
        Shown.File = file;
        const std::string name =
            std::filesystem::path(config.Files[static_cast<size_t>(file)].Name).filename().string();
        char text[300];
        std::snprintf(text, sizeof text, "Scanning %s...", name.c_str());
        Window.SetLabel(dlSubProgress, text);
        Window.SetSubRange(0, Reach.FileSize.load(std::memory_order_relaxed));
    }
    Window.SetSubProgress(Reach.Position.load(std::memory_order_relaxed));
    Window.SetProgress(static_cast<int>(Reach.Overall.load(std::memory_order_relaxed)));
}

// ---------------------------------------------------------------------------------------------------
// Execution

void TSearch::Execute(bool IsThread, int32_t MaxHits, const HitFn& OnHit, const RangeFn& OnRange,
                      int32_t RangeTotal) {
    if (!Query) throw std::logic_error("The search was not prepared.");
    FIsThread = IsThread;
    FMaxHits = MaxHits;
    FOnHit = &OnHit;
    FOnRange = OnRange ? &OnRange : nullptr;
    RangeMode = RangeTotal != 0;
    RangesDone = 0;
    const int32_t language = Query->Language;

    std::unique_ptr<TDoubleProgressForm> window;
    std::optional<TWaitScope> wait;
    if (!IsThread) {
        wait.emplace();
        window = OpenProgressWindow(RangeTotal);
    }
    ProgressWindow = window.get();
    struct TWindowReset {
        TSearch& Search;
        ~TWindowReset() { Search.ProgressWindow = nullptr; }
    } windowReset{*this};
    assert(!IsThread || ProgressWindow == nullptr);

    Cancelled = false;
    OverallProgress = 0;
    WordsScanned = 0;
    FoundCount = 0;
    ReportedCount = 0;
    ChangedFiles.clear();
    FBytesBefore = 0;
    FActionShown = nullptr;
    FCaptionShown = std::string::npos;
    if (!IsThread || Reach != nullptr) {
        FCaptions.clear();
        for (const auto& context : Contexts)
            FCaptions.push_back("Searching for [" + context->Caption + "]...");
    }
    if (!IsThread) {
        ResetSearchCancelCounter();
        GaugeCounter = 0;
        GaugeTick = {};
        SpeedCounter = 0;
        FFile = FFileShown = -1;
    }
    // A regular expression being matched stops within about 100 ms once StopRequested is set.
    const TRegExpControlScope control({&StopRequested, RegExpDefaultStepLimit});
    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(language)];
    for (size_t file = 0; file < config.Files.size() && !Cancelled; ++file) {
        SearchFile(static_cast<int32_t>(file));
    }
    // One box for all the files left out, however many a checkout touched.
    if (!IsThread && !ChangedFiles.empty()) ShowWarning(ChangedFilesText(ChangedFileNames()));
}

std::vector<std::string> TSearch::ChangedFileNames() const {
    std::vector<std::string> Names;
    if (!Query) return Names;
    const TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(Query->Language)];
    for (const int32_t File : ChangedFiles) Names.push_back(config.Files[static_cast<size_t>(File)].Name);
    return Names;
}

void TSearch::SearchFile(int32_t File) {
    const int32_t language = Query->Language;
    TConcordConfig& config = *LanguageConfigs[static_cast<size_t>(language)];
    OverallFrozen = false;
    SpeedOff = false;
    LastPosition = 0;
    TSynchroStream* stream = config.Streams[static_cast<size_t>(File)].get();
    if (stream == nullptr) return;
    // The indexes were computed from the file as it was opened; read against other bytes they point
    // nowhere.
    if (stream->ChangedSinceOpened()) {
        ChangedFiles.push_back(File);
        return;
    }
    for (TSearchContext* context : {HeadingContext.get(), LeftContext.get(), RightContext.get()})
        if (context != nullptr) context->ForgetFile();
    for (const auto& context : Contexts) context->ForgetFile();
    TFileRun run;
    run.File = File;
    run.Search = std::make_unique<TBufStream>(*stream, language);
    ConfigureBufStream(*run.Search);
    run.Report = std::make_unique<TBufStream>(*stream, language);
    ConfigureBufStream(*run.Report);
    run.FileSize = run.Search->RangeEnd();
    run.Sentences = config.SentenceIndexes.GetItem(File);
    FFile = File;
    FFileSize = run.FileSize;
    if (Reach != nullptr) {
        Reach->Position.store(0, std::memory_order_relaxed);
        Reach->FileSize.store(run.FileSize, std::memory_order_relaxed);
        Reach->File.store(File, std::memory_order_relaxed);
        Reach->Overall.store(FBytesBefore, std::memory_order_relaxed);
    }
    if (ProgressWindow != nullptr && GaugeDue(false)) {
        ShowFileScanned();
        if (!RangeMode) ProgressWindow->SetSubProgress(0);
    }
    TAlignIndex* index = GetAlignIndex(language, File);
    // A heading and its text need not share an aligned unit (sentence units never hold both).
    if (HeadingSearch && index != nullptr) {
        OverallFrozen = true;
        LocateHeadingTexts(run, 0, run.FileSize);
        OverallFrozen = false;
    }
    {
        // Range callbacks mark the entries they have named; the marks are cleared before and after.
        const TFlagsGuard flags(index);
        if (index != nullptr && FOnRange != nullptr) {
            int32_t cookie = 0;
            while (!Cancelled) {
                ClipStart = 0;
                ClipEnd = INT32_MAX;
                const int32_t entry = (*FOnRange)(File, cookie, false);
                if (entry < 0) break;
                ++RangesDone;
                UpdateProgress(0, true);
                if (entry < index->Count()) SearchEntry(run, *index, entry);
            }
        } else if (index != nullptr) {
            for (int32_t entry = 0; entry < index->Count() && !Cancelled; ++entry) {
                entry = PassKnownClear(run, *index, entry);
                if (entry < index->Count()) SearchEntry(run, *index, entry);
            }
        }
    }
    if (ProgressWindow != nullptr && !RangeMode) FileDone(run.FileSize);
    FBytesBefore += run.FileSize;
    if (Reach != nullptr) Reach->Overall.store(FBytesBefore, std::memory_order_relaxed);
}

// An aligned unit is searched up to and including its End byte (markup alignments store the last
// byte), but never into the next unit of the file nor past the file's end. A unit with nothing to
// search gives an end at or before its start.
std::pair<int32_t, int32_t> TSearch::UnitBytes(const TFileRun& Run, const TAlignIndex& Index,
                                               int32_t Entry) const {
    const TSegment unit = Index.GetItem(Entry);
    if (unit.End < unit.Start) return {0, 0};
    int32_t end = OffsetWithin(unit.End, 1, 0, Run.FileSize);
    if (Entry + 1 < Index.Count()) {
        const int32_t next = Index.GetItem(Entry + 1).Start;
        if (next >= unit.Start) end = std::min(end, next);
    }
    const int32_t start = std::max(unit.Start, ClipStart);
    if (ClipEnd < unit.End) end = std::min(end, ClipEnd);
    return {start, end};
}

// With a unit per line most units hold none of the first term's bytes, and the scan of an earlier unit
// has already seen that: a run of such units is passed over at once, without the calls that would each
// find as much. The first unit from Entry on that has to be searched, or the count. As for KnownClear,
// a progress window has each unit searched.
int32_t TSearch::PassKnownClear(const TFileRun& Run, const TAlignIndex& Index, int32_t Entry) {
    TSearchContext::TClearStretch clear;
    if (HeadingSearch || ContextSearch || ProgressWindow != nullptr || Contexts.size() != 1 ||
        !Contexts[0]->ClearStretch(Run.Search->Source(), clear))
        return Entry;
    const int32_t count = Index.Count();
    int32_t entry = Entry;
    int32_t passed = -1;
    // A unit ends at the latest where the next one starts: while the starts rise and stay inside the
    // stretch, the units' ends need not be read (the index's larger part, which streaming through
    // cost more than the rest of the search).
    if (clear.From <= clear.To) {
        const int32_t* starts = Index.Values().data();
        for (; entry + 1 < count && starts[entry] >= clear.From && starts[entry + 1] >= starts[entry] &&
               starts[entry + 1] - clear.Length < clear.To;
             ++entry)
            passed = starts[entry];
    }
    for (; entry < count; ++entry) {
        const auto [start, end] = UnitBytes(Run, Index, entry);
        if (end <= start) continue;
        if (!clear.Holds(start, end)) break;
        passed = start;
    }
    if (passed >= 0 && Reach != nullptr) {
        Reach->Position.store(passed, std::memory_order_relaxed);
        Reach->Overall.store(FBytesBefore + passed, std::memory_order_relaxed);
    }
    if (StopRequested.load(std::memory_order_relaxed)) Cancelled = true;
    return entry;
}

void TSearch::SearchEntry(TFileRun& Run, const TAlignIndex& Index, int32_t Entry) {
    const auto [start, end] = UnitBytes(Run, Index, Entry);
    if (end <= start) return;
    if (Reach != nullptr) {
        Reach->Position.store(start, std::memory_order_relaxed);
        Reach->Overall.store(FBytesBefore + start, std::memory_order_relaxed);
    }
    if (!HeadingSearch) {
        if (KnownClear(Run, start, end)) {
            if (StopRequested.load(std::memory_order_relaxed)) Cancelled = true;
            return;
        }
        SearchText(Run, start, end);
        return;
    }
    const auto& texts = Run.HeadingTexts;
    auto text =
        std::lower_bound(texts.begin(), texts.end(), start,
                         [](const std::pair<int32_t, int32_t>& T, int32_t P) { return T.second <= P; });
    for (; text != texts.end() && text->first < end && !Cancelled; ++text) {
        const int32_t from = std::max(text->first, start);
        const int32_t to = std::min(text->second, end);
        if (from >= to) continue;
        UpdateProgress(from, false);
        SearchText(Run, from, to);
    }
}

void TSearch::LocateHeadingTexts(TFileRun& Run, int32_t Start, int32_t End) {
    Run.HeadingTexts.clear();
    TBufStream& reader = *Run.Search;
    const TSearchCallback progress = [this](int32_t Position, bool& Stop) {
        Stop = MarkerProgress(Position);
    };
    SetCaption("Locating header and text");
    int32_t from = Start;
    while (!Cancelled && from < End) {
        SetAction("Locating header start...");
        reader.SetRange(from, End);
        const int32_t head = reader.FindText(HeadStart.Text, HeadStart.TrailingBlank, progress);
        if (head < 0 || head + HeadStart.Length > End) return;
        const int32_t headText = head + HeadStart.Length;
        OverallFrozen = true;
        SetAction("Locating header end...");
        // From after the start marker, so that a stop marker equal to it does not find the start.
        reader.SetPosition(headText);
        const int32_t stop = reader.FindText(HeadStop.Text, HeadStop.TrailingBlank, progress);
        if (stop < 0 || stop + HeadStop.Length > End) return;
        reader.SetRange(headText, stop);
        SetAction("Searching header pattern...");
        SpeedOff = false;
        WordsScanned = 0;
        StartTick = LastTick = SearchTick();
        const bool headingMatched = HeadingContext->SearchRange(reader, false);
        SpeedOff = true;
        const int32_t afterStop = std::min(stop + HeadStop.Length, End);
        UpdateProgress(afterStop, false);
        if (Cancelled) return;
        reader.SetRange(afterStop, End);
        if (!headingMatched) {
            from = afterStop;
            continue;
        }
        SetAction("Locating text range/next header...");
        const TMarkersFound found = reader.FindMarkers({TextStart.Text, TextStart.TrailingBlank},
                                                       {TextStop.Text, TextStop.TrailingBlank},
                                                       {HeadStart.Text, HeadStart.TrailingBlank}, progress);
        if (Cancelled) return;
        if (found.StartFound < 0) {
            if (found.OtherFound < 0 || found.OtherFound + HeadStart.Length > End) return;
            from = found.OtherFound;
            continue;
        }
        const int32_t textStart = std::min(found.StartFound + TextStart.Length, found.StopFound);
        const int32_t next = found.OtherFound >= 0 ? found.OtherFound : found.StopFound + TextStop.Length;
        UpdateProgress(textStart, false);
        if (textStart < found.StopFound) Run.HeadingTexts.push_back({textStart, found.StopFound});
        from = next;
    }
}

void TSearch::SearchText(TFileRun& Run, int32_t Start, int32_t End) {
    WordsScanned = 0;
    // Only the speed text reads the ticks; a search thread saves the clock per unit.
    if (ProgressWindow != nullptr) StartTick = LastTick = SearchTick();
    if (!ContextSearch) {
        SearchContextRange(Run, Start, End);
        return;
    }
    TBufStream& reader = *Run.Search;
    int32_t from = Start;
    while (!Cancelled && from < End) {
        OverallFrozen = false;
        SpeedOff = false;
        SetCaption("Locating contexts");
        SetAction("Searching left context...");
        reader.SetRange(from, End);
        if (!LeftContext->SearchRange(reader, true)) return;
        const int32_t rangeStart = LeftContext->MatchEnd;
        int32_t rangeEnd = End;
        int32_t resume = End;
        if (RightContext) {
            OverallFrozen = true;
            SetAction("Searching right context...");
            if (!RightContext->SearchRange(reader, true)) return;
            rangeEnd = RightContext->MatchStart;
            resume = RightContext->MatchEnd;
        }
        UpdateProgress(rangeStart, false);
        if (rangeEnd > rangeStart) SearchContextRange(Run, rangeStart, rangeEnd);
        from = resume;
    }
}

// Whether every pattern's scan already saw that [Start, End) holds none of its first term's bytes (the
// units of several patterns, whose scans learn apart, are passed over one by one). A progress window
// counts the words of every unit, so it still has each unit searched.
bool TSearch::KnownClear(const TFileRun& Run, int32_t Start, int32_t End) const {
    if (ContextSearch || ProgressWindow != nullptr || Contexts.empty()) return false;
    const TSynchroStream& source = Run.Search->Source();
    TSearchContext::TClearStretch clear;
    for (const auto& context : Contexts)
        if (!context->ClearStretch(source, clear) || !clear.Holds(Start, End)) return false;
    return true;
}

void TSearch::SearchContextRange(TFileRun& Run, int32_t Start, int32_t End) {
    OverallFrozen = false;
    SpeedOff = false;
    SetAction("Searching...");
    TBufStream& reader = *Run.Search;
    for (size_t c = 0; c < Contexts.size(); ++c) {
        TSearchContext* context = Contexts[c].get();
        if (Cancelled) return;
        SetPatternCaption(c);
        if (ProgressWindow != nullptr) CheckSearchCancel(ProgressWindow, Cancelled);
        reader.SetRange(Start, End);
        while (!Cancelled && context->SearchRange(reader, true)) {
            HandleMatch(Run, *context);
            context->Reader = &reader;
        }
    }
}

// ---------------------------------------------------------------------------------------------------
// Hits

// Where the match of Context begins and ends as a hit: its start moves over the delimiters and tags to
// its first word (with word tags before their words, in the tag syntax, to that word's tag), its end
// back off the delimiter that ended the last word.
void TSearch::HandleMatch(TFileRun& Run, TSearchContext& Context) {
    TBufStream& reader = *Run.Report;
    Context.Reader = &reader;
    int32_t start = Context.MatchStart;
    int32_t end = Context.MatchEnd;
    reader.SetRange(start, Run.FileSize);
    // A regular expression's hit is its match, whatever it holds.
    if (Query->Syntax != 1 && CommonConfig->WordTag != 0) {
        const int32_t first = Context.FirstTaggedWordByte(reader, start);
        if (first >= 0) start = first;
    } else if (Query->Syntax != 1) {
        const int32_t first = Context.FirstWordByte(reader, start);
        if (first >= 0) start = first;
        if (Context.MatchEndAfterDelimiter) --end;
    }
    if (end <= start) return;
    if (CommonConfig->SentenceMode && !InOneSentence(Run, start, end)) return;
    ++FoundCount;
    const int32_t frequency = FrequencyByCaller ? 1 : std::max(1, Query->FrequencyOfHits);
    if (FoundCount % frequency == 0) {
        try {
            ReportHit(Run, Context, start, end);
            // Compared only after a hit is reported, so a maximum of 0 never stops the search.
            if (++ReportedCount == FMaxHits) Cancelled = true;
        } catch (const EAbort&) {
            --FoundCount;
        }
    }
}

// The sentence of the hit's first byte against the sentence of its last byte.
bool TSearch::InOneSentence(const TFileRun& Run, int32_t Start, int32_t End) const {
    if (Run.Sentences == nullptr || Run.Sentences->Count() == 0) return true;
    return Run.Sentences->SegmentOf(Start) == Run.Sentences->IndexBefore(End);
}

void TSearch::ReportHit(TFileRun& Run, TSearchContext& Context, int32_t Start, int32_t End) {
    auto item = std::make_unique<TConcordItem>(Query->Language);
    item->FileIndex = Run.File;
    item->HitStart = Start;
    item->HitEnd = End;
    item->HitState = 1;
    BuildKwicLine(*Run.Report, Start, End, *item, Query->Syntax);
    item->FindAlignedRange();
    (*FOnHit)(std::move(item));
}

namespace {

// The raw bytes of [From, To) with each run of line breaks as one blank, at most Limit of them.
std::string FlatText(TBufStream& Reader, int32_t From, int32_t To, size_t Limit) {
    std::string text;
    Reader.SetPosition(From);
    bool inBreak = false;
    for (int32_t at = From; at < To && text.size() < Limit; ++at) {
        const char c = Reader.ReadByte();
        if (c == 0) break;
        if (IsLineBreak(c)) {
            if (!inBreak) text += ' ';
            inBreak = true;
            continue;
        }
        inBreak = false;
        text += c;
    }
    return text;
}

void SetSlot(TConcordItem& Item, int Slot, std::string_view Word, const TBufStream& Reader) {
    Item.Texts.Set(Slot, Word);
    Item.WordStarts[static_cast<size_t>(Slot)] = Reader.WordStart();
    Item.WordEnds[static_cast<size_t>(Slot)] = Reader.WordEnd();
}

// The four words before Start into slots 4 to 1. Read from a stretch that begins at Bound (-1: the
// stretch holds all that may be read), true only when every word lies after Bound, so that a wider
// stretch reads the same.
bool ReadLeftWords(TBufStream& Reader, int32_t Start, TConcordItem& Item, int32_t Bound) {
    Reader.SetPosition(Start);
    for (int slot = 4; slot >= 1; --slot) {
        const std::string_view word = Reader.PrevWord();
        if (word.empty()) return Bound < 0;
        if (Reader.WordStart() <= Bound) return false;
        SetSlot(Item, slot, word, Reader);
    }
    return true;
}

// The four words after End into slots 5 to 8; Bound as for ReadLeftWords, where the stretch ends.
bool ReadRightWords(TBufStream& Reader, int32_t End, TConcordItem& Item, int32_t Bound) {
    Reader.SetPosition(End);
    for (int slot = 5; slot <= 8; ++slot) {
        const std::string_view word = Reader.NextWord();
        if (word.empty()) return Bound < 0;
        if (Bound >= 0 && Reader.WordEnd() >= Bound) return false;
        SetSlot(Item, slot, word, Reader);
    }
    return true;
}

// Most hits find their four words a side within a few dozen bytes: only those are classified when a
// narrower stretch gives its bytes the classes the whole one would. Without word tags in a single-byte
// code page it does: a tag is open at a byte exactly when a tag start lies before it whose first tag stop
// lies at or after that byte and less than a tag's longest extent after the start, and every classified
// stretch looks back that far.
constexpr int32_t KwicNear = 64;

bool ReadNearWords(TBufStream& Reader, int32_t Start, int32_t End, TConcordItem& Item, int32_t LeftFrom,
                   int32_t RightTo, TCharType& First) {
    if (Reader.Tags().WordTagMode != 0 || Reader.DoubleByte()) return false;
    const int32_t nearFrom = std::max(LeftFrom, Start - KwicNear);
    const int32_t nearTo = RightTo - End > KwicNear ? End + KwicNear : RightTo;
    if (nearFrom == LeftFrom && nearTo == RightTo) return false;
    Reader.ValidateBuffer(nearFrom, nearTo);
    const bool done = ReadLeftWords(Reader, Start, Item, nearFrom > LeftFrom ? nearFrom : -1) &&
                      ReadRightWords(Reader, End, Item, nearTo < RightTo ? nearTo : -1);
    if (!done) {
        for (int slot = 1; slot < ItemSlotCount; ++slot) {
            Item.Texts.Reset(slot);
            Item.WordStarts[static_cast<size_t>(slot)] = Item.WordEnds[static_cast<size_t>(slot)] = 0;
        }
        return false;
    }
    Reader.SetPosition(Start);
    Reader.NextChar(First);
    return true;
}

}  // namespace

// Both context sides are read from one classified stretch when the hit is short: classifying is the
// dearest part of reporting a hit.
void BuildKwicLine(TBufStream& Reader, int32_t Start, int32_t End, TConcordItem& Item, uint8_t Syntax) {
    const int32_t fileSize = Reader.GetSourceSize();
    const int32_t leftFrom = OffsetWithin(Start, -255, 0, fileSize);
    const int32_t rightTo = OffsetWithin(End, 255, 0, fileSize);
    const bool together = rightTo - leftFrom <= TBufStream::BufferSize;
    TCharType first = ctNone;
    if (!together || !ReadNearWords(Reader, Start, End, Item, leftFrom, rightTo, first)) {
        Reader.ValidateBuffer(leftFrom, together ? rightTo : std::min(Start + 1, fileSize));
        ReadLeftWords(Reader, Start, Item, -1);
        Reader.SetPosition(Start);
        Reader.NextChar(first);
        if (!together) Reader.ValidateBuffer(std::max(0, End - 512), rightTo);
        ReadRightWords(Reader, End, Item, -1);
    }

    Reader.SetRange(Start, End);
    Reader.SetTagState(first);
    std::string hit;
    if (Syntax == 1) {
        if (End - Start > HitTextLimit) {
            hit = FlatText(Reader, Start, End, 27) + Ellipsis + FlatText(Reader, End - 28, End, 28);
        } else {
            hit = FlatText(Reader, Start, End, HitTextLimit);
        }
    } else {
        std::string last;
        size_t joined = 0;
        for (std::string_view word = Reader.NextWord(); !word.empty(); word = Reader.NextWord()) {
            if (hit.size() < static_cast<size_t>(HitTextLimit)) {
                if (!hit.empty()) hit += ' ';
                hit += word;
            }
            joined += (joined > 0 ? 1 : 0) + word.size();
            last.assign(word);
        }
        if (hit.size() > static_cast<size_t>(HitTextLimit)) hit.resize(HitTextLimit);
        if (joined > static_cast<size_t>(HitTextLimit)) {
            const int32_t at = HitTextLimit - static_cast<int32_t>(last.size()) - 6;
            if (at > 0) hit = hit.substr(0, static_cast<size_t>(at)) + Ellipsis + last;
        }
    }
    Item.Texts.Set(0, hit);
}
