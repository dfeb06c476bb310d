#include "results/ConcLineCommands.h"

#include <algorithm>

#include "ui/ConcProgress.h"
#include "engine/BStream.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"

// ---- Sorting ---------------------------------------------------------------------------------------

TAdvancedSortColOptions TwoKeySort(uint8_t First, uint8_t Second) {
    TAdvancedSortColOptions Record;
    InitSortColOptions(Record);
    Record.Keys[0].Key = First;
    Record.Keys[1].Key = Second;
    return Record;
}

bool SameSortOrder(const TAdvancedSortColOptions& A, const TAdvancedSortColOptions& B) {
    bool TagKey = false;
    for (size_t K = 0; K < A.Keys.size(); ++K) {
        if (A.Keys[K] != B.Keys[K] || A.Keys[K].Key == skDefined) return false;
        TagKey |= A.Keys[K].Key == skTrackedTag;
    }
    return !TagKey || A.TrackedTag == B.TrackedTag;
}

bool SortNeeded(int32_t Language, const TAdvancedSortColOptions& Record, bool Advanced,
                int32_t SortedLanguage, const TAdvancedSortColOptions& Current) {
    // The same keys in another pane give another order: that pane's words decide it.
    return Advanced || Language != SortedLanguage || !SameSortOrder(Record, Current);
}

void SortInStep(TItemLists& Lists, int32_t LanguageCount, int32_t Language,
                const TAdvancedSortColOptions& Record, const TAdvancedSortColItems* Keys) {
    TConcordItems& Sorted = *Lists.at(static_cast<size_t>(Language));
    // The list keeps its swap event; ours refers to this call's arguments and must not outlive it.
    struct TForgetSwap {
        TConcordItems& List;
        ~TForgetSwap() { List.OnSwap = nullptr; }
    } Forget{Sorted};
    const bool Advanced = Keys && !Keys->empty();
    Sorted.SortBy(Record, Advanced ? Keys : nullptr, [&Lists, LanguageCount, Language](int32_t I, int32_t J) {
        for (int32_t L = 0; L < LanguageCount; ++L) {
            if (L != Language && Lists[static_cast<size_t>(L)]) Lists[static_cast<size_t>(L)]->Exchange(I, J);
        }
    });
}

// ---- Marks -----------------------------------------------------------------------------------------

namespace {

TBufStream& ReaderOf(TReaderList& Readers, const TConcordItem& Row) {
    const auto File = static_cast<size_t>(Row.FileIndex);
    if (File < Readers.size() && Readers[File]) return *Readers[File];
    return FileReader(Row.Language, Row.FileIndex);
}

// Row takes the occurrence Sub as its hit, its words read again; Sub receives what the row held.
void TakeAsHit(TConcordItem& Row, TTessivorSubItem& Sub, TReaderList& Readers, uint8_t Syntax) {
    Row.ClearTexts();
    Row.ClearRuns();
    SwapHit(Row, Sub, ReaderOf(Readers, Row), Syntax);
}

bool HoldsOccurrence(const TConcordItem& Row, const TFreqItemPos& Pos) {
    if (Row.HitState != 0 && Row.HitStart == Pos.WordStart && Row.HitEnd == Pos.WordEnd) return true;
    return std::any_of(Row.SubItems().begin(), Row.SubItems().end(), [&Pos](const TTessivorSubItem& Sub) {
        return Sub.HitStart == Pos.WordStart && Sub.HitEnd == Pos.WordEnd;
    });
}

void MarkOccurrence(TConcordItem& Row, const TFreqItemPos& Pos, TReaderList& Readers) {
    if (HoldsOccurrence(Row, Pos)) return;
    // Hot words are words: their text is read as a plain search's hit would be.
    constexpr uint8_t WordSyntax = 0;
    TTessivorSubItem Sub{Pos.WordStart, Pos.WordEnd, true};
    if (Row.HitState == 0) {
        TakeAsHit(Row, Sub, Readers, WordSyntax);
        Row.HitState = moHotWords;
        return;
    }
    // The row shows the earliest hit of its passage.
    if (Sub.HitStart < Row.HitStart) {
        const bool HeldHotWord = Row.HitState == moHotWords;
        TakeAsHit(Row, Sub, Readers, WordSyntax);
        Sub.Flag = HeldHotWord;
        Row.HitState = moHotWords;
    }
    InsertInFileOrder(Row.EditSubItems(), Sub);
}

}  // namespace

bool RowsHoldHits(const TConcordItems& List) {
    for (int32_t R = 0; R < List.Count(); ++R)
        if (List.RowInfo(R).HitState != 0) return true;
    return false;
}

void ClearMarks(TConcordItems& List, TMarkOrigin Origin, TReaderList& Readers, uint8_t RemainingSyntax) {
    const bool FlagOfOrigin = Origin == moHotWords;
    for (int32_t R = 0; R < List.Count(); ++R) {
        if (List.RowInfo(R).HitState == 0) continue;
        TConcordItem& Row = *List.GetItem(R);
        if (!Row.SubItems().empty())
            Row.EditSubItems().EraseIf(
                [FlagOfOrigin](const TTessivorSubItem& Sub) { return Sub.Flag == FlagOfOrigin; });
        if (Row.HitState != Origin) continue;
        Row.HitState = 0;
        Row.ClearTexts();
        Row.ClearRuns();
        if (Row.SubItems().empty()) {
            Row.HitStart = Row.HitEnd = 0;
            continue;
        }
        TSubItems& SubItems = Row.EditSubItems();
        const auto Earliest = std::min_element(
            SubItems.begin(), SubItems.end(),
            [](const TTessivorSubItem& A, const TTessivorSubItem& B) { return A.HitStart < B.HitStart; });
        TTessivorSubItem Next = *Earliest;
        SubItems.erase(Earliest);
        TakeAsHit(Row, Next, Readers, RemainingSyntax);
        Row.HitState = Origin == moQuery ? moHotWords : moQuery;
    }
}

TPassageRows::TPassageRows(const TConcordItems& List) {
    for (int32_t R = 0; R < List.Count(); ++R) {
        const TRowInfo Row = List.RowInfo(R);
        if (Row.FileIndex < 0 || Row.AlignedStart < 0 || Row.AlignedStart > Row.AlignedEnd) continue;
        const TAlignIndex* Units = GetAlignIndex(List.Language, Row.FileIndex);
        if (!Units || Units->Count() == 0) continue;
        // A passage is whole units: from the one holding its start to the last starting before its end.
        const int32_t First = Units->SegmentOf(Row.AlignedStart);
        if (First < 0 || First >= Units->Count()) continue;
        const int32_t Last =
            std::max(First, std::min(Units->IndexBefore(Row.AlignedEnd), Units->Count() - 1));
        for (int32_t U = First; U <= Last; ++U) FRows[{Row.FileIndex, Units->GetItem(U).Start}].push_back(R);
    }
}

const std::vector<int32_t>& TPassageRows::RowsOf(int32_t File, int32_t UnitStart) const {
    static const std::vector<int32_t> None;
    const auto Found = FRows.find({File, UnitStart});
    return Found == FRows.end() ? None : Found->second;
}

int32_t PositionCount(const TFreqList& List) {
    int32_t Total = 0;
    for (int32_t I = 0; I < List.Count(); ++I)
        if (const TFreqItem* Item = List.GetItem(I); Item->Positions)
            Total += static_cast<int32_t>(Item->Positions->size());
    return Total;
}

bool ApplyHotWordPositions(TConcordItems& List, const TFreqList& Chosen, TReaderList& Readers,
                           const TStepFunc& Step) {
    // Step may let the user change the chosen words meanwhile: the positions are taken first.
    std::vector<TFreqItemPos> Positions;
    for (int32_t I = 0; I < Chosen.Count(); ++I)
        if (const TFreqItem* Item = Chosen.GetItem(I); Item->Positions)
            Positions.insert(Positions.end(), Item->Positions->begin(), Item->Positions->end());
    const TPassageRows Rows(List);
    for (const TFreqItemPos& Pos : Positions) {
        for (const int32_t R : Rows.RowsOf(Pos.File, Pos.SegmentStart)) {
            if (R >= List.Count()) continue;
            List.RowsFilled = true;
            MarkOccurrence(*List.GetItem(R), Pos, Readers);
        }
        if (Step && !Step()) return false;
    }
    return true;
}

bool DropChosenFile(TFreqList& Chosen, int32_t File) {
    for (int32_t I = Chosen.Count() - 1; I >= 0; --I) {
        TFreqItem& Item = *Chosen.GetItem(I);
        if (Item.Positions) {
            TFreqItemPositions& Positions = *Item.Positions;
            const size_t Before = Positions.size();
            std::erase_if(Positions, [File](const TFreqItemPos& Pos) { return Pos.File == File; });
            for (TFreqItemPos& Pos : Positions)
                if (Pos.File > File) --Pos.File;
            Item.Frequency -= static_cast<int32_t>(Before - Positions.size());
        }
        if (!Item.Positions || Item.Positions->empty()) Chosen.DeleteItem(I);
    }
    return Chosen.Count() > 0;
}

std::unique_ptr<TFreqList> BuildRowWordList(const TConcordItems& List, const TRowExclusions* Exclusions,
                                            TProgressForm* Progress) {
    TRowRangeCursor Cursor(List, List.Language, Exclusions);
    return BuildFreqList(List.Language, false, true, Progress, List.Count(),
                         [&Cursor](int32_t File, int32_t& Position, bool Distinct) {
                             int32_t Row = -1;
                             const int32_t Unit = Cursor.NextRowRange(File, Row, Distinct);
                             Position = Row;
                             return Unit;
                         });
}

std::unique_ptr<TFreqList> BuildTranslationList(const TConcordItems& List, const TFreqList& Reference,
                                                const THotWordsOptions& Options, int32_t Passes,
                                                TProgressForm& Progress) {
    auto Result = std::make_unique<TFreqList>(List.Language);
    const TPassageRows Rows(List);
    TRowExclusions Covered;
    for (int32_t Pass = 1; Pass <= Passes; ++Pass) {
        Progress.SetText("Translation " + std::to_string(Pass));
        const std::unique_ptr<TFreqList> Local = BuildRowWordList(List, &Covered, &Progress);
        if (!Local) return nullptr;
        if (Local->Count() == 0) break;
        THotWordCandidates Candidates;
        RankKeywordCandidates(List.Language, Reference, *Local, Options, Candidates);
        if (Candidates.empty()) break;
        SortByScore(Candidates);
        const TFreqItem& Best = *Candidates.front();
        if (Best.Score < Options.RankFunctionThreshold) break;
        AddFreqItemCopy(*Result, Best);
        if (!Best.Positions) continue;
        for (const TFreqItemPos& Pos : *Best.Positions)
            for (const int32_t R : Rows.RowsOf(Pos.File, Pos.SegmentStart)) Covered.insert(List.GetItem(R));
    }
    return Result;
}

// ---- States ----------------------------------------------------------------------------------------

TCommandStates ComputeCommandStates(const TCommandInputs& In) {
    TCommandStates S;
    const bool Lines = (In.Primary && In.PrimaryCount > 0) || In.RowsFilled;
    S.HotWordsFontEnabled = !In.Primary;
    S.ContextTypeEnabled = S.KwicEnabled = S.SortMenuVisible = Lines;
    S.KwicCaption = In.ListHighlighting ? "&KWIC/Highlight" : "&KWIC";
    S.WordWrapChecked = In.WordWrap;
    S.HighlightChecked = In.HighlightCollocates;
    S.SuppressChecked = {In.Display.SuppressNormalTags, In.Display.SuppressWords, In.Display.SuppressPOSTags};
    S.LineNumbersChecked = In.ShowLineNumbers;
    S.HotWordsChecked = In.HotWordsShown;
    S.SecondaryEntriesVisible = !In.Primary;
    S.ClearQueryEnabled = !In.Primary && In.QueryHitsPresent;
    S.ClearHotWordsEnabled = !In.Primary && In.HotWordsShown;
    S.DisplayInfoEnabled = In.ItemFilled;
    S.CheckedLetter = In.Letter;
    return S;
}
