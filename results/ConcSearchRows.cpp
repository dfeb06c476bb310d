#include "results/ConcSearchRows.h"

#include <algorithm>
#include <array>

#include "engine/BStream.h"
#include "engine/ConcErrors.h"
#include "engine/ConcIndex.h"
#include "engine/ConcSearch.h"

int32_t AddHitRow(TConcordItems& Primary, std::unique_ptr<TConcordItem> Hit) {
    Hit->Sequence = Primary.Count();
    return Primary.Add(std::move(Hit));
}

namespace {

bool LanguageHasFile(int32_t Language, int32_t File) {
    if (Language < 0 || Language >= MaxLanguages || File < 0) return false;
    const auto& Config = LanguageConfigs[static_cast<size_t>(Language)];
    return Config && static_cast<size_t>(File) < Config->Files.size();
}

// The hit's passage in Language, or nothing. A hit before the first unit or an empty side of a pair
// only leaves its row without a passage: one odd alignment must not end the whole search.
std::optional<TAlignedRange> MappedPassage(int32_t PrimaryLanguage, int32_t Language,
                                           const TConcordItem& Hit) {
    if (Hit.AlignedStart < 0) return std::nullopt;
    try {
        std::optional<TAlignedRange> Range =
            MapAlignedRange(PrimaryLanguage, Language, Hit.FileIndex, Hit.AlignedStart, Hit.AlignedEnd);
        if (!Range || Range->Start < 0 || Range->Start > Range->End) return std::nullopt;
        return Range;
    } catch (const EConcError&) {
        return std::nullopt;
    }
}

void TakeHit(TConcordItem& Row, TConcordItem& Hit) {
    Row.Texts = std::move(Hit.Texts);
    Row.WordStarts = Hit.WordStarts;
    Row.WordEnds = Hit.WordEnds;
    Row.HitStart = Hit.HitStart;
    Row.HitEnd = Hit.HitEnd;
    Row.HitState = 1;
}

}  // namespace

void InsertInFileOrder(TSubItems& Items, const TTessivorSubItem& Sub) {
    std::vector<TTessivorSubItem>& SubItems = Items.Edit();
    const auto At = std::upper_bound(
        SubItems.begin(), SubItems.end(), Sub,
        [](const TTessivorSubItem& A, const TTessivorSubItem& B) { return A.HitStart < B.HitStart; });
    SubItems.insert(At, Sub);
}

namespace {

// The file and aligned passage of the row of Language that goes with Hit.
struct TAlignedPlace {
    int32_t FileIndex = -1;
    int32_t Start = -1;
    int32_t End = -1;
};

TAlignedPlace AlignedPlace(int32_t Language, int32_t PrimaryLanguage, const TConcordItem& Hit) {
    TAlignedPlace Place;
    if (!LanguageHasFile(Language, Hit.FileIndex)) return Place;
    Place.FileIndex = Hit.FileIndex;
    if (const std::optional<TAlignedRange> Passage = MappedPassage(PrimaryLanguage, Language, Hit)) {
        Place.Start = Passage->Start;
        Place.End = Passage->End;
    }
    return Place;
}

}  // namespace

std::unique_ptr<TConcordItem> NewAlignedRow(const TConcordItems& List, int32_t PrimaryLanguage,
                                            const TConcordItem& Hit) {
    auto Row = std::make_unique<TConcordItem>(List.Language);
    const TAlignedPlace Place = AlignedPlace(List.Language, PrimaryLanguage, Hit);
    Row->FileIndex = Place.FileIndex;
    Row->AlignedStart = Place.Start;
    Row->AlignedEnd = Place.End;
    Row->AlignedLength = Place.End - Place.Start;
    Row->Sequence = List.Count();
    return Row;
}

TConcordItem& AddAlignedRow(TConcordItems& List, int32_t PrimaryLanguage, const TConcordItem& Hit) {
    return *List.GetItem(List.Add(NewAlignedRow(List, PrimaryLanguage, Hit)));
}

void AddRowsInStep(TItemLists& Lists, int32_t LanguageCount, int32_t Primary,
                   std::unique_ptr<TConcordItem> Hit,
                   const std::function<void(int32_t Language, TConcordItem& Row)>& FillRow) {
    // Everything that may fail is made first; then each list takes its row, or none does. The other
    // languages' rows name only their passages, and are stored as such without an item made first.
    std::array<TAlignedPlace, MaxLanguages> Places;
    for (int32_t L = 0; L < LanguageCount; ++L)
        if (L != Primary) Places[size_t(L)] = AlignedPlace(Lists[size_t(L)]->Language, Primary, *Hit);
    for (int32_t L = 0; L < LanguageCount; ++L) Lists[size_t(L)]->ReserveRow();
    std::array<bool, MaxLanguages> Added{};
    try {
        AddHitRow(*Lists[size_t(Primary)], std::move(Hit));
        Added[size_t(Primary)] = true;
        for (int32_t L = 0; L < LanguageCount; ++L) {
            if (L == Primary) continue;
            const TAlignedPlace& Place = Places[size_t(L)];
            Lists[size_t(L)]->AddPassage(Place.FileIndex, Place.Start, Place.End);
            Added[size_t(L)] = true;
        }
        if (FillRow)
            for (int32_t L = 0; L < LanguageCount; ++L)
                if (L != Primary) FillRow(L, *Lists[size_t(L)]->GetItem(Lists[size_t(L)]->Count() - 1));
    } catch (...) {
        for (int32_t L = 0; L < LanguageCount; ++L)
            if (Added[size_t(L)]) Lists[size_t(L)]->DropLastRow();
        throw;
    }
}

void AddSearchHit(TItemLists& Lists, int32_t LanguageCount, int32_t Primary,
                  std::unique_ptr<TConcordItem> Hit) {
    AddRowsInStep(Lists, LanguageCount, Primary, std::move(Hit), {});
}

void AddSecondaryHit(TConcordItems& List, std::unique_ptr<TConcordItem> Hit, TConcordItem& Row,
                     TBufStream* Reader, uint8_t Syntax) {
    if (!Row.IsFilled()) {
        TakeHit(Row, *Hit);
        List.RowsFilled = true;
        List.QueryHitsPresent = true;
        return;
    }
    TTessivorSubItem Sub{Hit->HitStart, Hit->HitEnd, false};
    if (Sub.HitStart < Row.HitStart) {
        const bool WasMarked = Row.HitState == 2;
        Row.ClearTexts();
        SwapHit(Row, Sub, Reader ? *Reader : FileReader(Row.Language, Row.FileIndex), Syntax);
        Sub.Flag = WasMarked;
        Row.HitState = 1;
    }
    InsertInFileOrder(Row.EditSubItems(), Sub);
    List.QueryHitsPresent = true;
}

void SwapHit(TConcordItem& Row, TTessivorSubItem& Sub, TBufStream& Reader, uint8_t Syntax) {
    std::swap(Row.HitStart, Sub.HitStart);
    std::swap(Row.HitEnd, Sub.HitEnd);
    const int32_t FileSize = Reader.GetSourceSize();
    // Words of the neighbouring units are no context of a passage's hit.
    if (Row.AlignedStart >= 0 && Row.AlignedStart <= Row.AlignedEnd) {
        Reader.SetRange(Row.AlignedStart, std::min(FileSize, std::max(Row.AlignedEnd, Row.HitEnd)));
    }
    BuildKwicLine(Reader, Row.HitStart, std::min(Row.HitEnd, FileSize), Row, Syntax);
    Reader.SetRange(0, FileSize);
}

int32_t TRowRangeCursor::NextRowOfFile(int32_t From) const {
    for (int32_t I = From; I < FList.Count(); ++I) {
        if (FList.RowInfo(I).FileIndex == CurrentFile) return I;
    }
    return FList.Count();
}

int32_t TRowRangeCursor::NextEntryOfRow(TAlignIndex& Units, bool Distinct) {
    while (FNextEntry <= FLastEntry) {
        const int32_t Entry = FNextEntry++;
        if (Distinct) {
            if (Units.GetFlag(Entry)) continue;
            Units.SetFlag(Entry, true);
        }
        return Entry;
    }
    return -1;
}

int32_t TRowRangeCursor::NextRowRange(int32_t File, int32_t& Row, bool Distinct) {
    TAlignIndex* Units = GetAlignIndex(FLanguage, File);
    if (File != CurrentFile) {
        CurrentFile = File;
        CurrentRow = NextRowOfFile(0);
        FNextEntry = 0;
        FLastEntry = -1;
    } else if (Units != nullptr) {
        const int32_t Entry = NextEntryOfRow(*Units, Distinct);
        if (Entry >= 0) {
            Row = CurrentRow;
            return Entry;
        }
        CurrentRow = NextRowOfFile(CurrentRow + 1);
    } else {
        CurrentRow = NextRowOfFile(CurrentRow + 1);
    }
    for (; CurrentRow < FList.Count(); CurrentRow = NextRowOfFile(CurrentRow + 1)) {
        // Rows are read as they are: a search within the lines makes items only of rows it puts hits in.
        const TRowInfo Item = FList.RowInfo(CurrentRow);
        if (FExclusions && FExclusions->count(FList.FindItem(CurrentRow))) continue;
        if (Item.AlignedStart < 0 || Item.AlignedStart > Item.AlignedEnd || !Units) continue;
        const int32_t First = Units->SegmentOf(Item.AlignedStart);
        if (First < 0 || First >= Units->Count()) continue;
        FNextEntry = First;
        FLastEntry = std::max(First, std::min(Units->IndexBefore(Item.AlignedEnd), Units->Count() - 1));
        PassageStart = Item.AlignedStart;
        PassageEnd = Item.AlignedEnd;
        const int32_t Entry = NextEntryOfRow(*Units, Distinct);
        if (Entry < 0) continue;
        Row = CurrentRow;
        return Entry;
    }
    Row = CurrentRow;
    return -1;
}

TReaderList OpenReaders(int32_t Language) {
    TConcordConfig& Config = *LanguageConfigs.at(static_cast<size_t>(Language));
    TReaderList Readers;
    for (const auto& Stream : Config.Streams) {
        std::unique_ptr<TBufStream> Reader;
        if (Stream) {
            Reader = std::make_unique<TBufStream>(*Stream, Language);
            ConfigureBufStream(*Reader);
        }
        Readers.push_back(std::move(Reader));
    }
    return Readers;
}

int32_t SearchWithinRows(TSearch& Search, TConcordItems& List, const TRowExclusions* Exclusions,
                         TReaderList& Readers, bool IsThread, int32_t MaxHits) {
    TRowRangeCursor Cursor(List, List.Language, Exclusions);
    const uint8_t Syntax = Search.Query ? Search.Query->Syntax : 0;
    std::vector<bool> Matched(static_cast<size_t>(List.Count()));
    int32_t Rows = 0;
    Search.Execute(
        IsThread, MaxHits,
        [&](std::unique_ptr<TConcordItem> Hit) {
            TConcordItem& Row = *List.GetItem(Cursor.CurrentRow);
            if (!Matched[static_cast<size_t>(Cursor.CurrentRow)]) {
                Matched[static_cast<size_t>(Cursor.CurrentRow)] = true;
                ++Rows;
            }
            const size_t File = static_cast<size_t>(Row.FileIndex);
            TBufStream* Reader = File < Readers.size() ? Readers[File].get() : nullptr;
            AddSecondaryHit(List, std::move(Hit), Row, Reader, Syntax);
        },
        [&](int32_t File, int32_t& Row, bool Distinct) {
            const int32_t Entry = Cursor.NextRowRange(File, Row, Distinct);
            Search.ClipStart = Cursor.PassageStart;
            Search.ClipEnd = Cursor.PassageEnd;
            return Entry;
        },
        List.Count());
    return Rows;
}

std::string AppendedQueryName(const std::string& OldName, const std::string& NewName) {
    return OldName + " / " + NewName;
}

void JoinAppendedQuery(TConcSearchRec& New, const TConcSearchRec& Old) {
    const std::string OldName = Old.Names.empty() ? std::string() : Old.Names.front();
    if (New.Names.empty()) New.Names.emplace_back();
    New.Names.front() = AppendedQueryName(OldName, New.Names.front());
}
