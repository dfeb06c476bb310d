#include "alignment/ConcParaAligners.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_set>

#include "alignment/ConcAligner.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTags.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"
#include "ui/Msg.h"

namespace {

constexpr int32_t TagReadBytes = 128;
// The identifier of an inserted empty entry: it matches no tag's identifier.
const std::string InsertedId = " ";

// One side as it is built: entries in order, and with an identifier attribute the identifier of each
// entry's start tag plus one final empty one.
struct TSideBuild {
    const TMarkupSide* In = nullptr;
    std::vector<TSegment> Entries;
    std::vector<std::string> Ids;
};

std::unique_ptr<TDoubleAlignIndexes>& PairListOf(int Language) {
    static std::unique_ptr<TDoubleAlignIndexes>* const Lists[] = {&Align12, &Align13, &Align14};
    return *Lists[Language - 1];
}

int FileCount(int Language) {
    return LanguageConfigs[Language] ? static_cast<int>(LanguageConfigs[Language]->Files.size()) : 0;
}

// Entries are handed over in order; equal starts keep their order, since an index adds after equals.
void Transfer(const std::vector<TSegment>& Entries, TAlignIndex& Side) {
    for (const TSegment& S : Entries) Side.Add(S.Start, S.End, S.Length);
}

// Both sides end with as many entries: the longer side loses trailing entries that cover no text of its
// file (fillers past its end, inserted empties) while it is longer, then the shorter side is padded
// with empty entries at its file's end.
void Equalize(TSideBuild& A, TSideBuild& B) {
    auto Trim = [](TSideBuild& Longer, size_t Other) {
        while (Longer.Entries.size() > Other) {
            const TSegment& Last = Longer.Entries.back();
            if (Last.Start < Longer.In->Size && Last.End >= Last.Start) break;
            Longer.Entries.pop_back();
        }
    };
    Trim(A, B.Entries.size());
    Trim(B, A.Entries.size());
    auto Pad = [](TSideBuild& Shorter, size_t Other) {
        while (Shorter.Entries.size() < Other)
            Shorter.Entries.push_back({Shorter.In->Size, Shorter.In->Size - 1, 0});
    };
    Pad(A, B.Entries.size());
    Pad(B, A.Entries.size());
}

// ---- Start and stop tags ----

std::string IdOf(const TSideBuild& Side, size_t X) {
    return X < Side.Ids.size() ? Side.Ids[X] : std::string();
}

// Count empty entries at X (clamped to the end, where they append), each {s, s - 1, 0} with s the start
// of the entry that was at X or the file's size past the end; the identifier list gets InsertedId.
void InsertEmpties(TSideBuild& Side, size_t X, size_t Count) {
    const int32_t S = X < Side.Entries.size() ? Side.Entries[X].Start : Side.In->Size;
    const size_t At = std::min(X, Side.Entries.size());
    Side.Entries.insert(Side.Entries.begin() + static_cast<std::ptrdiff_t>(At), Count, TSegment{S, S - 1, 0});
    const size_t IdAt = std::min(X, Side.Ids.size());
    Side.Ids.insert(Side.Ids.begin() + static_cast<std::ptrdiff_t>(IdAt), Count, InsertedId);
}

// Pairs segments by their identifiers: where they differ, the nearer match among the next five of the
// other side decides which side gets empty entries.
void Resynchronise(TSideBuild& Src, TSideBuild& Tgt) {
    constexpr size_t LookAhead = 5;
    size_t i = 0, j = 0;
    while (i < Src.Entries.size() || j < Tgt.Entries.size()) {
        const std::string SrcId = IdOf(Src, i), TgtId = IdOf(Tgt, j);
        if (SrcId == TgtId) {
            ++i, ++j;
            continue;
        }
        size_t k = j + 1;
        while (k <= j + LookAhead && IdOf(Tgt, k) != SrcId) ++k;
        if (k <= j + LookAhead) {
            InsertEmpties(Src, i, k - j);
            i += (k - j) + 1;
            j = k + 1;
            continue;
        }
        size_t m = i + 1;
        while (m <= i + LookAhead && IdOf(Src, m) != TgtId) ++m;
        if (m <= i + LookAhead) {
            InsertEmpties(Tgt, j, m - i);
            j += (m - i) + 1;
            i = m + 1;
            continue;
        }
        InsertEmpties(Tgt, j, 1);
        InsertEmpties(Src, i + 1, 1);
        i += 2;
        j += 2;
    }
}

// Moves NextStop on to the first stop at or after Position (the file's size past the last stop).
void AdvanceStop(const TMarkupSide& In, size_t& StopIndex, int32_t& NextStop, int32_t Position) {
    const size_t Stops = In.Stops ? In.Stops->size() : 0;
    while (Position > NextStop) {
        ++StopIndex;
        NextStop = StopIndex < Stops ? (*In.Stops)[StopIndex] : In.Size;
    }
}

// The n segments of one side, each from just after its start tag to the first stop tag after it or the
// next start tag, whichever comes first; fillers {size, size, 0} past its own start tags.
void CutByStartTags(TSideBuild& Side, size_t n, TTag* Parser, const std::string& Attribute) {
    const TMarkupSide& In = *Side.In;
    const std::vector<int32_t>& Starts = *In.Starts;
    auto OpenSegment = [&](size_t i) {
        if (i >= Starts.size() || Starts[i] >= In.Size) {
            if (Parser) Side.Ids.emplace_back();
            return In.Size;
        }
        const int32_t Start = SkipTag(*In.Stream, Starts[i], Parser) + 1;
        if (Parser) Side.Ids.push_back(Parser->GetAttribute(Attribute));
        return Start;
    };
    int32_t SegStart = OpenSegment(0);
    size_t StopIndex = 0;
    int32_t NextStop = In.Stops && !In.Stops->empty() ? (*In.Stops)[0] : In.Size;
    AdvanceStop(In, StopIndex, NextStop, SegStart);
    for (size_t i = 1; i <= n; ++i) {
        const int32_t NextStart = i < Starts.size() ? Starts[i] : In.Size;
        int32_t SegEnd = NextStart;
        if (NextStart > NextStop) {
            SegEnd = NextStop;
            AdvanceStop(In, StopIndex, NextStop, NextStart);
        }
        Side.Entries.push_back({SegStart, SegEnd, 0});
        SegStart = OpenSegment(i);
    }
}

const std::vector<int32_t>* ValuesOf(const TTagsCollection* Tags, const std::string& Option) {
    if (!Tags) return nullptr;
    const TIntegerList* List = Tags->GetValues(StripTagDelimiters(Option));
    return List ? &List->Values() : nullptr;
}

TConcordConfig& LanguageAt(int Language) {
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[Language])
        throw std::out_of_range("No such language");
    return *LanguageConfigs[Language];
}

// The inputs of file File of a language for the markup aligners.
TMarkupSide SideOf(int Language, int File) {
    TConcordConfig& C = LanguageAt(Language);
    if (File < 0 || File >= static_cast<int>(C.Files.size())) throw std::out_of_range("No such file");
    TMarkupSide Side;
    Side.Stream = C.Streams.at(static_cast<size_t>(File)).get();
    if (!Side.Stream) throw std::logic_error("The file has no stream");
    Side.Size = Side.Stream->GetSize();
    auto SlotOf = [File](auto& Slots) { return File < Slots.Count() ? Slots.GetItem(File) : nullptr; };
    if (const TIntegerList* Lines = SlotOf(C.LineStarts)) Side.LineStarts = &Lines->Values();
    const TTagsCollection* Tags = SlotOf(C.FileTags);
    const TCommonConcordConfig& O = *CommonConfig;
    Side.Delimiters = ValuesOf(Tags, O.AlignDelimiter);
    Side.Starts = ValuesOf(Tags, O.AlignStart);
    Side.Stops = ValuesOf(Tags, O.AlignStop);
    return Side;
}

// ---- What the run tells ----

// The files of a run whose markers are missing or do not pair up; every entry a line of the message.
struct TMarkerReport {
    std::vector<std::string> Unmarked, Uneven;
    std::unordered_set<std::string> Named;  // the lines of Unmarked
};

std::string NameOf(int Language, int File) {
    const std::string& Path = LanguageAt(Language).Files.at(static_cast<size_t>(File)).Name;
    return Path.substr(Path.rfind('/') + 1);
}

// The units the markers of Side give: its lines (a line break that ends the file opens no line), its
// delimiter tags or its start tags.
size_t MarkerCount(int Mode, const TMarkupSide& Side) {
    if (Mode == afNewLine) {
        if (!Side.LineStarts) return Side.Size > 0 ? 1 : 0;
        return static_cast<size_t>(std::count_if(Side.LineStarts->begin(), Side.LineStarts->end(),
                                                 [&](int32_t Start) { return Start < Side.Size; }));
    }
    const std::vector<int32_t>* Markers = Mode == afDelimiter ? Side.Delimiters : Side.Starts;
    return Markers ? Markers->size() : 0;
}

void NoteMarkers(int Mode, int Language, int File, TMarkerReport& Report) {
    const size_t Source = MarkerCount(Mode, SideOf(0, File)),
                 Target = MarkerCount(Mode, SideOf(Language, File));
    const std::string SourceLine = NameOf(0, File) + " (" + LanguageAt(0).GetLanguageName() + ")";
    const std::string TargetLine =
        NameOf(Language, File) + " (" + LanguageAt(Language).GetLanguageName() + ")";
    // A source file without markers lacks them for every language: it is named once.
    auto Unmarked = [&](const std::string& Line) {
        if (Report.Named.insert(Line).second) Report.Unmarked.push_back(Line);
    };
    if (Mode != afNewLine && (Source == 0 || Target == 0)) {
        if (Source == 0) Unmarked(SourceLine);
        if (Target == 0) Unmarked(TargetLine);
    } else if (Source != Target) {
        Report.Uneven.push_back(NameOf(0, File) + " " + std::to_string(Source) + " / " +
                                NameOf(Language, File) + " " + std::to_string(Target) + " (" +
                                LanguageAt(0).GetLanguageName() + " / " +
                                LanguageAt(Language).GetLanguageName() + ")");
    }
}

// At most MaxListed lines of a list, then how many more there are.
void AppendList(std::string& Text, const std::vector<std::string>& Lines) {
    constexpr size_t MaxListed = 10;
    for (size_t I = 0; I < Lines.size() && I < MaxListed; ++I) Text += "\r\n    " + Lines[I];
    if (Lines.size() > MaxListed)
        Text += "\r\n    ... and " + std::to_string(Lines.size() - MaxListed) + " more";
}

std::string MarkerReportText(int Mode, const TMarkerReport& Report) {
    const std::string Markers =
        Mode == afNewLine ? std::string("lines")
                          : "\"" +
                                StripTagDelimiters(Mode == afDelimiter ? CommonConfig->AlignDelimiter
                                                                       : CommonConfig->AlignStart) +
                                "\" tags";
    std::string Text = std::string("Alignment by markup (") + AlignFormatNames[Mode] + "): the " + Markers +
                       " of some files do not pair up.";
    if (!Report.Unmarked.empty()) {
        Text += "\r\nFiles without " + Markers + " (each is aligned whole with its translation):";
        AppendList(Text, Report.Unmarked);
    }
    if (!Report.Uneven.empty()) {
        Text += "\r\nFile pairs with different numbers of " + Markers +
                " (the shorter side is filled up with empty units):";
        AppendList(Text, Report.Uneven);
    }
    return Text;
}

}  // namespace

int32_t SkipTag(TSynchroStream& Stream, int32_t Position, TTag* Parser) {
    char Buffer[TagReadBytes + 1];
    int32_t At = Position;
    const int32_t Read = Stream.ReadAt(Buffer, TagReadBytes, At);
    Buffer[Read] = 0;
    const size_t End = FindValueEnd(Buffer);
    const bool Found = End < static_cast<size_t>(Read) && Buffer[End] != 0;
    if (Parser) Parser->Parse(std::string_view(Buffer, End));
    return Found ? Position + static_cast<int32_t>(End) : Position;
}

void AlignByLines(const TMarkupSide& Source, const TMarkupSide& Target, TDoubleAlignIndex& Pair) {
    static const std::vector<int32_t> WholeFile{0};
    const std::vector<int32_t>& SrcLines = Source.LineStarts ? *Source.LineStarts : WholeFile;
    const std::vector<int32_t>& TgtLines = Target.LineStarts ? *Target.LineStarts : WholeFile;
    const size_t n = std::max(SrcLines.size(), TgtLines.size());
    auto Line = [](const std::vector<int32_t>& Lines, int32_t Size, size_t i) {
        if (i >= Lines.size()) return TSegment{Size, Size - 1, 0};
        return TSegment{Lines[i], (i + 1 < Lines.size() ? Lines[i + 1] : Size) - 1, 0};
    };
    for (size_t i = 0; i < n; ++i) {
        const TSegment S = Line(SrcLines, Source.Size, i), T = Line(TgtLines, Target.Size, i);
        Pair.Side1.Add(S.Start, S.End, 0);
        Pair.Side2.Add(T.Start, T.End, 0);
    }
}

void AlignByDelimiterTag(const TMarkupSide& Source, const TMarkupSide& Target, TDoubleAlignIndex& Pair) {
    auto Missing = [](const TMarkupSide& S) { return !S.Delimiters || S.Delimiters->empty(); };
    if (Missing(Source) || Missing(Target)) {
        Pair.Side1.Add(0, Source.Size - 1, 0);
        Pair.Side2.Add(0, Target.Size - 1, 0);
        return;
    }
    const size_t n = std::max(Source.Delimiters->size(), Target.Delimiters->size());
    auto Cut = [n](const TMarkupSide& In, TAlignIndex& Side) {
        const std::vector<int32_t>& P = *In.Delimiters;
        int32_t Start = 0;
        for (size_t i = 0; i <= n; ++i) {
            const bool Tagged = i < P.size();
            Side.Add(Start, Tagged ? P[i] : In.Size - 1, 0);
            Start = Tagged ? SkipTag(*In.Stream, P[i], nullptr) + 1 : In.Size;
        }
    };
    Cut(Source, Pair.Side1);
    Cut(Target, Pair.Side2);
}

void AlignByStartStopTags(const TMarkupSide& Source, const TMarkupSide& Target, const std::string& Attribute,
                          TDoubleAlignIndex& Pair) {
    auto Missing = [](const TMarkupSide& S) { return !S.Starts || S.Starts->empty(); };
    if (Missing(Source) || Missing(Target)) {
        Pair.Side1.Add(0, Source.Size, 0);
        Pair.Side2.Add(0, Target.Size, 0);
        return;
    }
    std::unique_ptr<TTag> Parser;
    if (!Attribute.empty())
        Parser = std::make_unique<TTag>(CommonConfig->TagStart, "", CommonConfig->TagStop);
    const size_t n = std::max(Source.Starts->size(), Target.Starts->size());
    TSideBuild Src{&Source, {}, {}}, Tgt{&Target, {}, {}};
    CutByStartTags(Src, n, Parser.get(), Attribute);
    CutByStartTags(Tgt, n, Parser.get(), Attribute);
    if (Parser) {
        Resynchronise(Src, Tgt);
        Equalize(Src, Tgt);
    }
    Transfer(Src.Entries, Pair.Side1);
    Transfer(Tgt.Entries, Pair.Side2);
}

std::unique_ptr<TDoubleAlignIndex> AlignFilePair(int Mode, int Language, int File) {
    const TMarkupSide Source = SideOf(0, File);
    const TMarkupSide Target = SideOf(Language, File);
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    switch (Mode) {
        case afNewLine:
            AlignByLines(Source, Target, *Pair);
            break;
        case afDelimiter:
            AlignByDelimiterTag(Source, Target, *Pair);
            break;
        case afStartStopTags:
            AlignByStartStopTags(Source, Target, CommonConfig->AlignAttrib, *Pair);
            break;
        default:
            break;
    }
    // A corpus of thousands of small files would otherwise keep a block of each side a file.
    Pair->ShrinkToFit();
    return Pair;
}

void AlignByMarkup(int Mode, int Language, int File) {
    const int First = Language < 1 ? 1 : Language;
    const int Last = Language < 1 ? LanguagesCount - 1 : Language;
    TMarkerReport Report;
    for (int k = First; k <= std::min(Last, MaxLanguages - 1); ++k) {
        if (k >= LanguagesCount || !LanguageConfigs[k]) continue;
        TDoubleAlignIndexes* Pairs = PairListOf(k).get();
        if (!Pairs) continue;
        const int Files = FileCount(0);
        auto AlignFile = [&](int f) {
            if (f >= Pairs->Count() || Pairs->GetItem(f)) return;
            Pairs->SetItem(f, AlignFilePair(Mode, k, f));
            if (Mode >= afNewLine && Mode <= afStartStopTags) NoteMarkers(Mode, k, f, Report);
        };
        if (File < 0) {
            if (Files == 0) continue;
            // Files of different counts cannot be paired by their markup: the user must hear why nothing
            // of this language can be searched.
            if (!CheckFileCounts(0, k)) continue;
            for (int f = 0; f < Files; ++f) AlignFile(f);
        } else if (File < Files && File < FileCount(k)) {
            AlignFile(File);
        }
    }
    // Whole files as one unit, or pairs padded at their end, would otherwise pass for an alignment.
    if (!Report.Unmarked.empty() || !Report.Uneven.empty()) ShowWarning(MarkerReportText(Mode, Report));
}

void EnsureAlignIndexLists() {
    const int Files = FileCount(0);
    for (int k = 1; k < MaxLanguages; ++k) {
        std::unique_ptr<TDoubleAlignIndexes>& Pairs = PairListOf(k);
        if (!Pairs) Pairs = std::make_unique<TDoubleAlignIndexes>();
        while (Pairs->Count() < Files) Pairs->Add(nullptr);
    }
}

// Windows may hold the pairs, so they hear of it before anything is freed.
void ClearAlignments(int Language, int File) {
    if (Language < 1 && File < 0)
        FreeAllAlignments();
    else
        ClearFileAlignment(Language < 1 ? 0 : Language, File);
}

void RunAlignment(bool Clear, int Language, int File) {
    TWaitScope Wait;
    if (Clear) ClearAlignments(Language, File);
    EnsureAlignIndexLists();
    const uint8_t Format = CommonConfig ? CommonConfig->AlignFormat : 0;
    if (Format != afNotAligned)
        AlignByMarkup(Format, Language, File);
    else
        AlignCorpus();
}

void RegisterAlignmentRun() {
    SetCorpusAlignmentRun([] { RunAlignment(false, -1, -1); });
}
