// The corpus pass over every language, and the lookups of where an offset lies: line, page and the
// tracked tags in force there.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTags.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"
#include "ui/ConcProgress.h"

namespace {

constexpr const char* NotAvailable = "N/A";
// A tracked tag's value is read from this many bytes at the tag.
constexpr int32_t TagValueWindow = 128;

template <class T>
T* SlotOf(const std::vector<std::unique_ptr<T>>& Slots, size_t I) {
    return I < Slots.size() ? Slots[I].get() : nullptr;
}

template <class T, class Codec>
T* SlotOf(const TSlotList<T, Codec>& Slots, size_t I) {
    return static_cast<int32_t>(I) < Slots.Count() ? Slots.GetItem(static_cast<int32_t>(I)) : nullptr;
}

template <class T, class Codec>
void FillSlot(TSlotList<T, Codec>& Slots, size_t I, std::unique_ptr<T> Item) {
    Slots.SetItem(static_cast<int32_t>(I), std::move(Item));
}

template <class T, class Codec>
void EmptySlot(TSlotList<T, Codec>& Slots, size_t I) {
    if (static_cast<int32_t>(I) < Slots.Count()) Slots.SetItem(static_cast<int32_t>(I), nullptr);
}

TConcordConfig& LanguageAt(int Language) {
    if (Language < 0 || Language >= MaxLanguages || Language >= LanguagesCount || !LanguageConfigs[Language])
        throw std::out_of_range("Language does not exist");
    return *LanguageConfigs[Language];
}

size_t FileAt(const TConcordConfig& Config, int FileIndex) {
    if (FileIndex < 0 || static_cast<size_t>(FileIndex) >= Config.Files.size())
        throw std::out_of_range("File does not exist");
    return static_cast<size_t>(FileIndex);
}

// What a file lacks. The three segment indexes are built together, so they count as one.
struct TMissing {
    bool Lines = false;
    bool Pages = false;
    bool Tags = false;
    bool Segments = false;

    bool Any() const { return Lines || Pages || Tags || Segments; }
};

TMissing MissingOf(const TConcordConfig& Config, size_t I) {
    TMissing M;
    M.Lines = !SlotOf(Config.LineStarts, I);
    M.Pages = !SlotOf(Config.PageStarts, I);
    M.Tags = !SlotOf(Config.FileTags, I);
    M.Segments = !SlotOf(Config.SectionIndexes, I) || !SlotOf(Config.ParagraphIndexes, I) ||
                 !SlotOf(Config.SentenceIndexes, I);
    return M;
}

// Frees the segment indexes that survive of a file whose set is incomplete; open windows are told first,
// since they may hold references into them. The file's alignment pairs count segments of the old
// indexes, which the rebuilt ones need not match, so they go too.
void DropPartialSegments(TConcordConfig& Config, int Language, size_t I) {
    const bool Survivor = SlotOf(Config.SectionIndexes, I) || SlotOf(Config.ParagraphIndexes, I) ||
                          SlotOf(Config.SentenceIndexes, I);
    if (!Survivor) return;
    BroadcastToChildren(CM_SEGMENTINDEXDROPPED, Language, 0);
    EmptySlot(Config.SectionIndexes, I);
    EmptySlot(Config.ParagraphIndexes, I);
    EmptySlot(Config.SentenceIndexes, I);
    ClearFileAlignment(Language, static_cast<int32_t>(I));
}

void CreateMissing(TConcordConfig& Config, size_t I, const TMissing& M) {
    if (M.Lines) FillSlot(Config.LineStarts, I, std::make_unique<TIntegerList>());
    if (M.Pages) FillSlot(Config.PageStarts, I, std::make_unique<TIntegerList>());
    if (M.Tags) FillSlot(Config.FileTags, I, std::make_unique<TTagsCollection>());
    if (M.Segments) {
        FillSlot(Config.SectionIndexes, I, std::make_unique<TAlignIndex>());
        FillSlot(Config.ParagraphIndexes, I, std::make_unique<TAlignIndex>());
        FillSlot(Config.SentenceIndexes, I, std::make_unique<TAlignIndex>());
    }
}

// Takes back what this run created for a file it did not finish, and a frequency list it began, so
// that the next run processes the file again.
void UndoFile(TConcordConfig& Config, size_t I, const TMissing& M, bool BuildingFreqList) {
    if (M.Lines) EmptySlot(Config.LineStarts, I);
    if (M.Pages) EmptySlot(Config.PageStarts, I);
    if (M.Tags) EmptySlot(Config.FileTags, I);
    if (M.Segments) {
        EmptySlot(Config.SectionIndexes, I);
        EmptySlot(Config.ParagraphIndexes, I);
        EmptySlot(Config.SentenceIndexes, I);
    }
    // The counts of the files before this one came from the list being dropped.
    if (BuildingFreqList) {
        Config.FreqList.reset();
        for (auto& File : Config.Files) File.Object.WordCount = 0;
    }
}

// What a language's pass keeps open from its first file that needs reading to its end: a wait and a
// window a file would cost more than reading a small file does (the wait refreshes every command's
// state, which looks at every file).
// Its gauge runs over the bytes of every file the pass reads.
struct TPassScope {
    std::unique_ptr<TWaitScope> Wait;
    std::unique_ptr<TProgressForm> Window;
    TPassGauge Gauge;
};

bool NeedsReading(const TConcordConfig& Config, size_t I, bool BuildingFreqList) {
    return BuildingFreqList || MissingOf(Config, I).Any();
}

int64_t FileSize(const TConcordConfig& Config, size_t I) {
    const TSynchroStream* Stream = SlotOf(Config.Streams, I);
    return Stream ? Stream->GetSize() : 0;
}

int ProcessOneFile(TConcordConfig& Config, int Language, size_t I, bool BuildingFreqList, TPassScope& Scope) {
    const TMissing M = MissingOf(Config, I);
    if (M.Segments) DropPartialSegments(Config, Language, I);
    if (!M.Any() && !BuildingFreqList) return 0;

    TProcessFileFlags Flags;
    Flags.BuildLines = M.Lines;
    Flags.BuildPages = M.Pages;
    Flags.BuildTags = M.Tags;
    Flags.BuildSegments = M.Segments;
    Flags.CountWords = BuildingFreqList;
    int32_t WordCount = 0;
    int Code = 0;
    try {
        CreateMissing(Config, I, M);
        if (!Scope.Window) {
            Scope.Wait = std::make_unique<TWaitScope>();
            Scope.Window = std::make_unique<TProgressForm>();
        }
        Code = ProcessFile(Language, static_cast<int>(I), Flags, WordCount, Scope.Window.get(), Scope.Gauge);
        Scope.Gauge.Before += FileSize(Config, I);
    } catch (...) {
        UndoFile(Config, I, M, BuildingFreqList);
        throw;
    }
    if (Code != 0) {
        UndoFile(Config, I, M, BuildingFreqList);
        return Code;
    }
    if (BuildingFreqList) Config.Files[I].Object.WordCount = WordCount;
    return 0;
}

}  // namespace

// ---- The corpus pass --------------------------------------------------------------------------------------

bool CorpusNeedsProcessing() {
    const int Count = std::clamp(LanguagesCount, 0, MaxLanguages);
    for (int L = 0; L < Count; ++L) {
        const TConcordConfig* Config = LanguageConfigs[L].get();
        if (!Config) continue;
        if (!Config->FreqList) return true;
        for (size_t I = 0; I < Config->Files.size(); ++I)
            if (MissingOf(*Config, I).Any()) return true;
    }
    return false;
}

bool CorpusSegmentsMissing() {
    const int Count = std::clamp(LanguagesCount, 0, MaxLanguages);
    for (int L = 0; L < Count; ++L) {
        const TConcordConfig* Config = LanguageConfigs[L].get();
        if (!Config) continue;
        for (size_t I = 0; I < Config->Files.size(); ++I)
            if (MissingOf(*Config, I).Segments) return true;
    }
    return false;
}

int ProcessLanguage(int Language) {
    if (Language < 0 || Language >= std::min(LanguagesCount, MaxLanguages) || !LanguageConfigs[Language])
        return 0;
    TConcordConfig& Config = *LanguageConfigs[Language];
    const bool BuildingFreqList = !Config.FreqList;
    if (BuildingFreqList) Config.FreqList = TOwned<TFreqList>(std::make_unique<TFreqList>(Language));
    TPassScope Scope;
    for (size_t I = 0; I < Config.Files.size(); ++I)
        if (NeedsReading(Config, I, BuildingFreqList)) Scope.Gauge.Total += FileSize(Config, I);
    for (size_t I = 0; I < Config.Files.size(); ++I)
        if (const int Code = ProcessOneFile(Config, Language, I, BuildingFreqList, Scope)) return Code;
    if (BuildingFreqList) Config.FreqList->SortByFrequency();
    return 0;
}

bool ProcessCorpus() {
    const int Count = std::clamp(LanguagesCount, 0, MaxLanguages);
    for (int L = 0; L < Count; ++L)
        if (ProcessLanguage(L) != 0) return false;
    return true;
}

// ---- Hit locations
// ------------------------------------------------------------------------------------------

THitLocation GetHitLocation(int Language, int FileIndex, int32_t Offset) {
    const TConcordConfig& Config = LanguageAt(Language);
    const size_t I = FileAt(Config, FileIndex);
    THitLocation Where;
    const TIntegerList* Lines = SlotOf(Config.LineStarts, I);
    const TIntegerList* Pages = SlotOf(Config.PageStarts, I);
    if (Lines) Where.Line = Lines->IndexOfFloor(Offset) + 1;
    if (Pages && CommonConfig && !CommonConfig->PageSeparator.empty()) {
        const int32_t Page = Pages->IndexOfFloor(Offset);
        Where.Page = Page + 1;
        // An offset before the first page start lies on no page, so it has no line within one.
        if (Lines && Page >= 0) Where.LineInPage = Where.Line - (Lines->IndexOfFloor((*Pages)[Page]) + 1) + 1;
    }
    if (!WatchedTags.empty()) {
        const TTagsCollection* Tags = SlotOf(Config.FileTags, I);
        TSynchroStream* Stream = SlotOf(Config.Streams, I);
        std::vector<std::string> Values;
        Values.reserve(WatchedTags.size());
        for (const TWatchedTag& Tag : WatchedTags)
            Values.push_back(Tags && Stream ? TagValueAt(Tag, *Tags, *Stream, Offset) : NotAvailable);
        Where.TagValues = std::move(Values);
    }
    return Where;
}

std::string GetTrackedTagValue(int Language, int FileIndex, int32_t Offset, int TagIndex) {
    const TConcordConfig& Config = LanguageAt(Language);
    const size_t I = FileAt(Config, FileIndex);
    if (TagIndex < 0 || static_cast<size_t>(TagIndex) >= WatchedTags.size())
        throw std::out_of_range("Tracked tag does not exist");
    const TTagsCollection* Tags = SlotOf(Config.FileTags, I);
    TSynchroStream* Stream = SlotOf(Config.Streams, I);
    if (!Tags || !Stream) return std::string();
    return TagValueAt(WatchedTags[static_cast<size_t>(TagIndex)], *Tags, *Stream, Offset);
}

std::string TagValueAt(const TWatchedTag& Tag, const TTagsCollection& Collection, TSynchroStream& Stream,
                       int32_t Offset) {
    const int32_t P = Collection.FindValue(StripTagDelimiters(Tag.Name), Offset);
    if (P < 0) return NotAvailable;
    std::array<char, TagValueWindow + 1> T{};
    int32_t Position = P;
    const int32_t Read = Stream.ReadAt(T.data(), TagValueWindow, Position);
    BlankZeroBytes(T.data(), Read);  // as the reader reads them
    T[static_cast<size_t>(std::max(Read, 0))] = 0;
    const char* Text = T.data();
    const size_t Length = std::strlen(Text);

    size_t Cut = Length;
    if (Tag.NoStop) {
        // The tag that begins the text: its end character is part of the value.
        if (Length > 0) {
            Cut = 1 + FindValueEnd(Text + 1);
            if (Text[Cut] != 0) ++Cut;
        }
    } else {
        std::string Start;
        if (CommonConfig && CommonConfig->TagStart) Start += CommonConfig->TagStart;
        Start += StripTagDelimiters(Tag.TagStart);
        const char* Found = Start.empty() ? nullptr : std::strstr(Text, Start.c_str());
        if (Found) {
            Cut = static_cast<size_t>(Found - Text) + FindValueEnd(Found);
            const char End = Text[Cut];
            if (End != 0 && End != '\t' && End != '\n' && End != '\r' && End != ' ') ++Cut;
        }
    }
    std::string Value(Text, Cut);
    FlattenLineBreaks(Value);
    return Value;
}

size_t FindValueEnd(const char* Text) {
    const char Stop = CommonConfig ? CommonConfig->TagStop : 0;
    size_t I = 0;
    for (; Text[I] != 0; ++I) {
        const char C = Text[I];
        if (Stop == '#' ? (C == '\t' || C == '\n' || C == '\r' || C == ' ') : C == Stop) break;
    }
    return I;
}

int LocaleCodePage(uint32_t LCID) {
    return platform::AnsiCodePage(LCID);
}
