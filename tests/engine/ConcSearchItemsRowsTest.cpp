// Rows of another language kept as bare passages: whatever is done to a list, every row reads back
// what a plain model of the rows holds, through RowInfo and through GetItem alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/ConcSearchItems.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

struct TModelRow {
    int32_t Sequence = 0, FileIndex = -1, AlignedStart = -1, AlignedEnd = -1, AlignedLength = 0;
    uint8_t Letter = NoLetter, HitState = 0;
    std::string Word;  // slot 5; empty = the row has no hit
    int32_t HitStart = 0;
};

std::unique_ptr<TConcordItem> MakeRow(const TModelRow& M) {
    auto Item = std::make_unique<TConcordItem>(0);
    Item->Sequence = M.Sequence;
    Item->FileIndex = M.FileIndex;
    Item->AlignedStart = M.AlignedStart;
    Item->AlignedEnd = M.AlignedEnd;
    Item->AlignedLength = M.AlignedLength;
    Item->Letter = M.Letter;
    if (!M.Word.empty()) {
        Item->Texts.Set(0, "hit");
        Item->Texts.Set(5, M.Word);
        Item->HitStart = M.HitStart;
        Item->HitEnd = M.HitStart + 3;
        Item->HitState = M.HitState;
        Item->EditSubItems() = {{M.HitStart + 10, M.HitStart + 12, true}};
    }
    return Item;
}

void ExpectRows(TConcordItems& List, const std::vector<TModelRow>& Model, bool AsItems, int Step) {
    ASSERT_EQ(List.Count(), int32_t(Model.size())) << Step;
    for (int32_t R = 0; R < List.Count(); ++R) {
        const TModelRow& M = Model[size_t(R)];
        const TRowInfo I = List.RowInfo(R);
        ASSERT_EQ(std::tie(I.Sequence, I.FileIndex, I.AlignedStart, I.AlignedEnd, I.AlignedLength, I.Letter,
                           I.HitState, I.HitStart),
                  std::tie(M.Sequence, M.FileIndex, M.AlignedStart, M.AlignedEnd, M.AlignedLength, M.Letter,
                           M.HitState, M.HitStart))
            << "step " << Step << " row " << R;
        ASSERT_EQ(I.Filled, !M.Word.empty()) << "step " << Step << " row " << R;
        if (!AsItems) continue;
        const TConcordItem& Item = *List.GetItem(R);
        ASSERT_EQ(std::tie(Item.Sequence, Item.FileIndex, Item.AlignedStart, Item.AlignedEnd,
                           Item.AlignedLength, Item.Letter, Item.HitState, Item.HitStart, Item.Language),
                  std::tie(M.Sequence, M.FileIndex, M.AlignedStart, M.AlignedEnd, M.AlignedLength, M.Letter,
                           M.HitState, M.HitStart, List.Language))
            << "step " << Step << " row " << R;
        ASSERT_EQ(std::string(Item.Texts[5]), M.Word) << "step " << Step << " row " << R;
        if (M.Word.empty()) {
            ASSERT_EQ(Item.FindLine(), -1);
        }
        ASSERT_EQ(Item.SubItems().size(), M.Word.empty() ? 0u : 1u);
    }
}

class ItemRowsTest : public TCorpusTest {};

TEST_F(ItemRowsTest, PassageRowsReadBackAsTheModelThroughSortsDeletesAndChanges) {
    std::mt19937 Random(59);
    const std::vector<std::string> Words{"ant", "bee", "cat", "dog"};
    auto NewRow = [&](int32_t Sequence) {
        TModelRow M;
        M.Sequence = Sequence;
        M.FileIndex = int32_t(Random() % 4) - 1;
        if (Random() % 4) {
            M.AlignedStart = int32_t(Random() % 1000);
            M.AlignedEnd = M.AlignedStart + int32_t(Random() % 50);
            M.AlignedLength = M.AlignedEnd - M.AlignedStart;
        }
        if (Random() % 5 == 0) M.Letter = uint8_t('A' + Random() % 3);
        if (Random() % 3 == 0) {
            M.Word = Words[Random() % Words.size()];
            M.HitStart = int32_t(Random() % 500);
            M.HitState = uint8_t(1 + Random() % 2);
        }
        return M;
    };
    // The last rounds hold thousands of rows, so that a large delete leaves the list to shrink.
    for (int Round = 0; Round < 24; ++Round) {
        TConcordItems List(0);
        std::vector<TModelRow> Model;
        const bool Large = Round >= 20;
        const int Rows = Large ? 9000 + int(Random() % 3000) : 20 + int(Random() % 60);
        // Sequence numbers stay distinct, so that sorting on them gives one order.
        auto Append = [&](int N) {
            int32_t Next = 0;
            for (const TModelRow& M : Model) Next = std::max(Next, M.Sequence + 1);
            for (int R = 0; R < N; ++R) {
                Model.push_back(NewRow(Next++));
                List.Add(MakeRow(Model.back()));
            }
        };
        Append(Rows);
        for (int Step = 0; Step < 40; ++Step) {
            switch (Random() % 9) {
                case 0: {
                    // Word, then letter, then sequence: a total order the quicksort must reach.
                    TAdvancedSortColOptions Spec;
                    InitSortColOptions(Spec);
                    Spec.Keys = {{{5, false}, {skDefined, false}, {skOriginalOrder, false}}};
                    List.SortBy(Spec, nullptr, nullptr);
                    std::sort(Model.begin(), Model.end(), [](const TModelRow& A, const TModelRow& B) {
                        if (A.Word.empty() != B.Word.empty()) return B.Word.empty();
                        return std::tie(A.Word, A.Letter, A.Sequence) <
                               std::tie(B.Word, B.Letter, B.Sequence);
                    });
                    break;
                }
                case 1: {
                    std::vector<bool> Drop(Model.size());
                    std::vector<int32_t> Gone;
                    for (size_t R = 0; R < Model.size(); ++R)
                        if ((Drop[R] = Random() % 6 == 0)) Gone.push_back(Model[R].Sequence);
                    std::sort(Gone.begin(), Gone.end());
                    TGoneSequences GoneBits;
                    for (const int32_t Sequence : Gone) GoneBits.Add(Sequence);
                    List.DeleteRows(Drop);
                    List.CloseSequenceGaps(GoneBits);
                    std::vector<TModelRow> Kept;
                    for (size_t R = 0; R < Model.size(); ++R)
                        if (!Drop[R]) Kept.push_back(Model[R]);
                    for (TModelRow& M : Kept)
                        M.Sequence -=
                            int32_t(std::lower_bound(Gone.begin(), Gone.end(), M.Sequence) - Gone.begin());
                    Model = Kept;
                    break;
                }
                case 2:
                    if (!Model.empty()) {
                        const size_t R = Random() % Model.size();
                        Model[R].Letter = Random() % 2 ? NoLetter : uint8_t('a' + Random() % 3);
                        List.SetLetter(int32_t(R), Model[R].Letter);
                        const size_t F = Random() % Model.size();
                        Model[F].FileIndex = int32_t(Random() % 4) - 1;
                        List.SetFileIndex(int32_t(F), Model[F].FileIndex);
                    }
                    break;
                case 3:
                    if (Model.size() > 1) {
                        const size_t I = Random() % Model.size(), J = Random() % Model.size();
                        List.Exchange(int32_t(I), int32_t(J));
                        std::swap(Model[I], Model[J]);
                    }
                    break;
                case 4:
                    // A row asked for as an item stays one, with all it held.
                    if (!Model.empty()) List.GetItem(int32_t(Random() % Model.size()));
                    break;
                case 5:
                    // New rows take the room of rows deleted before.
                    Append(1 + int(Random() % (Large ? 3000 : 10)));
                    break;
                case 6:
                    if (!Model.empty()) {
                        const size_t R = Random() % Model.size();
                        List.Delete(int32_t(R));
                        Model.erase(Model.begin() + ptrdiff_t(R));
                    }
                    break;
                case 7:
                    if (!Model.empty()) {
                        List.DropLastRow();
                        Model.pop_back();
                    }
                    break;
                default: {
                    // Most rows go at once: the rows left move into less room.
                    std::vector<bool> Drop(Model.size());
                    std::vector<TModelRow> Kept;
                    for (size_t R = 0; R < Model.size(); ++R)
                        if (!(Drop[R] = Random() % 8 != 0)) Kept.push_back(Model[R]);
                    List.DeleteRows(Drop);
                    Model = Kept;
                }
            }
            ExpectRows(List, Model, false, Step);
            if (HasFatalFailure()) return;
        }
        ExpectRows(List, Model, true, 99);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
