// The editor's edits on the indexes: random runs of edits against the invariants a file's indexes keep
// (order, lengths as byte distances, every unit in one row of one section), undo of all of them back to
// the original bytes, the automatic paragraph alignment up to the end of a file, the undo limit and
// the rollback of an edit that fails half-way.
#include <gtest/gtest.h>

#include <random>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcAligner.h"
#include "engine/ConcStreamUtils.h"

namespace {

// A file's three indexes, sentences tiling paragraphs tiling sections tiling [0, size): every entry's
// length is its byte distance, as for text without tags.
struct TFile {
    TAlignIndex Sections, Paragraphs, Sentences;
    TAlignBoxSide Side() { return {&Sections, &Paragraphs, &Sentences}; }
};

// Shape: per section, per paragraph, the sentence lengths.
using TShape = std::vector<std::vector<std::vector<int>>>;

void Build(TFile& F, const TShape& Shape) {
    int32_t Pos = 0;
    for (const auto& Section : Shape) {
        const int32_t S0 = Pos;
        for (const auto& Paragraph : Section) {
            const int32_t P0 = Pos;
            for (int L : Paragraph) {
                F.Sentences.Add(Pos, Pos + L, L);
                Pos += L;
            }
            F.Paragraphs.Add(P0, Pos, Pos - P0);
        }
        F.Sections.Add(S0, Pos, Pos - S0);
    }
}

TShape RandomShape(std::mt19937& Rng, int Sections, int MaxParagraphs) {
    TShape Shape(static_cast<size_t>(Sections));
    for (auto& S : Shape) {
        S.resize(size_t(std::uniform_int_distribution<int>(1, MaxParagraphs)(Rng)));
        for (auto& P : S) {
            P.resize(size_t(std::uniform_int_distribution<int>(1, 4)(Rng)));
            for (int& L : P) L = std::uniform_int_distribution<int>(2, 60)(Rng);
        }
    }
    return Shape;
}

std::string Bytes(const TAlignIndex& Index) {
    TMemoryStream Stream;
    Index.SaveToStream(Stream);
    return Stream.Bytes();
}

std::string Bytes(TFile& F) {
    return Bytes(F.Sections) + Bytes(F.Paragraphs) + Bytes(F.Sentences);
}

// What every edit keeps: each index ordered; each entry's length its byte distance (0 for an empty
// unit); the non-empty entries of each index tiling the file; every large unit in exactly one row of
// one section, every sentence in exactly one row.
void ExpectSound(TFile& F, int32_t FileSize) {
    for (TAlignIndex* Index : {&F.Sections, &F.Paragraphs, &F.Sentences}) {
        ASSERT_TRUE(Index->IsOrdered());
        int32_t Pos = 0;
        for (int32_t K = 0; K < Index->Count(); ++K) {
            const TSegment S = Index->GetItem(K);
            ASSERT_EQ(S.Length, std::max(0, S.End - S.Start)) << K;
            if (S.Length == 0) continue;
            ASSERT_EQ(S.Start, Pos) << K;
            Pos = S.End;
        }
        ASSERT_EQ(Pos, FileSize);
    }
    std::vector<int> SeenLarge(size_t(F.Paragraphs.Count())), SeenSmall(size_t(F.Sentences.Count()));
    for (int32_t S = 0; S < F.Sections.Count(); ++S)
        for (const TAlignBoxRow& Row : BuildAlignBoxRows(F.Side(), S)) {
            ++SeenLarge[size_t(Row.Large)];
            for (int32_t K = Row.FirstSmall; K <= Row.LastSmall; ++K) ++SeenSmall[size_t(K)];
        }
    for (int32_t K = 0; K < F.Paragraphs.Count(); ++K) ASSERT_EQ(SeenLarge[size_t(K)], 1) << "large " << K;
    for (int32_t K = 0; K < F.Sentences.Count(); ++K) ASSERT_EQ(SeenSmall[size_t(K)], 1) << "small " << K;
}

int32_t FileSize(const TFile& F) {
    return F.Sections.GetItem(F.Sections.Count() - 1).End;
}

// A caret on a random row of side S: on a random byte of its unit, or without a position.
TAlignCaret RandomCaret(std::mt19937& Rng, const TAlignEditor& E, int S) {
    const TUnitRun Run = E.LargeRun(S);
    if (Run.Count() <= 0) return {};
    TAlignCaret C;
    C.Row = std::uniform_int_distribution<int32_t>(0, Run.Count() - 1)(Rng);
    const TSegment U = E.Side(S).Large->GetItem(Run.First + C.Row);
    if (U.End > U.Start && Rng() % 4 != 0)
        C.Pos = std::uniform_int_distribution<int32_t>(U.Start, U.End - 1)(Rng);
    return C;
}

class AlignBoxModelTest : public testing::Test {
protected:
    TFile Src, Tgt;
    TAlignEditor Editor;
};

TEST_F(AlignBoxModelTest, RandomEditsKeepTheIndexesSoundAndUndoRestoresEveryByte) {
    std::mt19937 Rng(4711);
    for (int Round = 0; Round < 40; ++Round) {
        Src = {};
        Tgt = {};
        Build(Src, RandomShape(Rng, 3, 6));
        Build(Tgt, RandomShape(Rng, 3, 6));
        const std::string Original = Bytes(Src) + Bytes(Tgt);
        // The undo list belongs to one section: a change of section empties it.
        Editor.Reset(Src.Side(), Tgt.Side(), int32_t(Rng() % 3), 0);
        int Done = 0;
        for (int Step = 0; Step < 120; ++Step) {
            const int S = int(Rng() % 2);
            const TAlignCaret C = RandomCaret(Rng, Editor, S);
            const bool Small = Rng() % 2;
            bool Changed = false;
            switch (Rng() % 8) {
                case 0:
                    Changed = Editor.Split(S, Small, C, 0);
                    break;
                case 1:
                    Changed = Editor.Merge(S, Small, Rng() % 2, C, 0);
                    break;
                case 2:
                    Changed = Editor.InsertEmpty(S, C, 0);
                    break;
                case 3:
                    Changed = Editor.SplitSection(S, C, 0);
                    break;
                case 4:
                    Changed = Rng() % 3 == 0 && Editor.MergeSectionWithNext(S, C, 0);
                    break;
                case 5:
                    Changed = Editor.AlignParagraphsAutomatically(0) == TAlignEditor::aaAligned;
                    break;
                case 6:
                    Changed = Editor.Split(S, false, C, 0);
                    break;
                default:
                    Changed = Editor.Merge(S, false, true, C, 0);
                    break;
            }
            Done += Changed;
            ExpectSound(Src, FileSize(Src));
            ExpectSound(Tgt, FileSize(Tgt));
            if (HasFatalFailure()) return;
        }
        ASSERT_EQ(Editor.UndoCount(), size_t(Done));
        while (Editor.CanUndo()) ASSERT_TRUE(Editor.Undo());
        ASSERT_EQ(Bytes(Src) + Bytes(Tgt), Original) << "round " << Round;
    }
}

TEST_F(AlignBoxModelTest, AutoAlignLeavesEqualParagraphCountsAndUndoesExactly) {
    // One side has paragraphs the other lacks at the start, in the middle and after the last one of the
    // section, in the file's last section and in one followed by another.
    std::mt19937 Rng(99);
    for (int Round = 0; Round < 60; ++Round) {
        Src = {};
        Tgt = {};
        Build(Src, RandomShape(Rng, 2, 9));
        Build(Tgt, RandomShape(Rng, 2, 9));
        const std::string Original = Bytes(Src) + Bytes(Tgt);
        for (int32_t Section : {0, 1}) {
            Editor.Reset(Src.Side(), Tgt.Side(), Section, 0);
            ASSERT_EQ(Editor.AlignParagraphsAutomatically(0), TAlignEditor::aaAligned);
            EXPECT_EQ(Editor.LargeRun(0).Count(), Editor.LargeRun(1).Count()) << Round << "/" << Section;
            EXPECT_EQ(BuildAlignBoxRows(Src.Side(), Section).size(),
                      BuildAlignBoxRows(Tgt.Side(), Section).size());
            ExpectSound(Src, FileSize(Src));
            ExpectSound(Tgt, FileSize(Tgt));
            ASSERT_TRUE(Editor.Undo());
            EXPECT_EQ(Bytes(Src) + Bytes(Tgt), Original);
        }
    }
}

TEST_F(AlignBoxModelTest, EmptyParagraphsAtASectionsEdgesAreShownAndCountedThere) {
    Build(Src, {{{5}, {6}}, {{7}, {8}}});
    Build(Tgt, {{{5}, {6}}, {{7}, {8}}});
    Editor.Reset(Src.Side(), Tgt.Side(), 1, 0);
    // Inserted before the section's first paragraph, which starts where the section before ends.
    ASSERT_TRUE(Editor.InsertEmpty(0, {-1, 0}, 0));
    EXPECT_EQ(BuildAlignBoxRows(Src.Side(), 1).size(), 3u);
    EXPECT_EQ(BuildAlignBoxRows(Src.Side(), 0).size(), 2u);
    // The target's first section gets one after its last paragraph from the automatic alignment, as
    // does its last section, after which the file ends.
    Src = {};
    Tgt = {};
    Build(Src, {{{50}, {60}, {300}}, {{50}, {60}, {300}}});
    Build(Tgt, {{{50}, {60}}, {{50}, {60}}});
    for (int32_t Section : {0, 1}) {
        Editor.Reset(Src.Side(), Tgt.Side(), Section, 0);
        ASSERT_EQ(Editor.AlignParagraphsAutomatically(0), TAlignEditor::aaAligned);
        EXPECT_EQ(BuildAlignBoxRows(Tgt.Side(), Section).size(), 3u);
        const TSegment Empty = Tgt.Paragraphs.GetItem(Editor.LargeRun(1).Last);
        EXPECT_EQ(Empty.Length, 0);
        EXPECT_EQ(Empty.Start, Tgt.Sections.GetItem(Section).End);
    }
    EXPECT_EQ(BuildAlignBoxRows(Tgt.Side(), 0).size(), 3u);
    ExpectSound(Src, FileSize(Src));
    ExpectSound(Tgt, FileSize(Tgt));
}

TEST_F(AlignBoxModelTest, SplitsNeedACaretInsideAndMergesStayInTheirUnit) {
    Build(Src, {{{5, 6}, {7}}});
    Build(Tgt, {{{5}}});
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    const std::string Original = Bytes(Src);
    // On a sentence's first byte there is nothing to split in the sentences; the paragraph splits there.
    EXPECT_FALSE(Editor.Split(0, true, {5, 0}, 0));
    EXPECT_FALSE(Editor.CanSplit(0, false, {0, 0}));
    ASSERT_TRUE(Editor.Split(0, false, {5, 0}, 0));
    EXPECT_EQ(Src.Sentences.Count(), 3);
    EXPECT_EQ(Src.Paragraphs.GetItem(0), (TSegment{0, 5, 5}));
    EXPECT_EQ(Src.Paragraphs.GetItem(1), (TSegment{5, 11, 6}));
    ASSERT_TRUE(Editor.Undo());
    EXPECT_EQ(Bytes(Src), Original);
    // The paragraph's last sentence has no next one in the paragraph; the first has no previous one.
    EXPECT_FALSE(Editor.CanMerge(0, true, true, {6, 0}));
    EXPECT_FALSE(Editor.CanMerge(0, true, false, {1, 0}));
    EXPECT_FALSE(Editor.Merge(0, true, true, {6, 0}, 0));
    EXPECT_TRUE(Editor.CanMerge(0, false, true, {-1, 0}));
    EXPECT_FALSE(Editor.CanMerge(0, false, true, {-1, 1}));
    // A sentence split inside a paragraph split keeps byte distances, and one undo takes back both.
    ASSERT_TRUE(Editor.Split(0, false, {8, 0}, 0));
    EXPECT_EQ(Src.Sentences.GetItem(1), (TSegment{5, 8, 3}));
    EXPECT_EQ(Src.Paragraphs.Count(), 3);
    ASSERT_TRUE(Editor.Undo());
    EXPECT_EQ(Bytes(Src), Original);
}

TEST_F(AlignBoxModelTest, TheUndoListKeepsTheLast16385EditsAndEmptiesOnANewSection) {
    Build(Src, {{{3}}, {{3}}});
    Build(Tgt, {{{3}}});
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    // Inserting and removing the same empty paragraph over and over.
    for (size_t K = 0; K < TAlignEditor::UndoLimit + 1; ++K) {
        if (K % 2 == 0)
            ASSERT_TRUE(Editor.InsertEmpty(0, {-1, 0}, 0));
        else
            ASSERT_TRUE(Editor.Merge(0, false, true, {-1, 0}, 0));
    }
    EXPECT_EQ(Editor.UndoCount(), TAlignEditor::UndoLimit);
    Editor.Reset(Src.Side(), Tgt.Side(), 1, 0);
    EXPECT_FALSE(Editor.CanUndo());
}

TEST_F(AlignBoxModelTest, AFailingUndoLeavesTheIndexesAndTheRecordAsTheyWere) {
    Build(Src, {{{5, 6}, {7}}});
    Build(Tgt, {{{5}}});
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    ASSERT_TRUE(Editor.Split(0, false, {8, 0}, 0));
    // Something else shortened the sentence index behind the editor's back: the large half of the undo
    // succeeds, the small half runs out of the index, and the large half must go back.
    Src.Sentences.Delete(3);
    Src.Sentences.Delete(2);
    Src.Sentences.Delete(1);
    const std::string Before = Bytes(Src);
    EXPECT_THROW(Editor.Undo(), std::exception);
    EXPECT_EQ(Bytes(Src), Before);
    EXPECT_EQ(Editor.UndoCount(), 1u);
}

TEST_F(AlignBoxModelTest, TooManyParagraphsChangeNothing) {
    TShape Big(1);
    Big[0].assign(800, {4});
    Build(Src, Big);
    Build(Tgt, Big);
    Editor.Reset(Src.Side(), Tgt.Side(), 0, 0);
    const std::string Original = Bytes(Src) + Bytes(Tgt);
    EXPECT_EQ(Editor.AlignParagraphsAutomatically(0), TAlignEditor::aaTooMany);
    EXPECT_EQ(Bytes(Src) + Bytes(Tgt), Original);
    EXPECT_FALSE(Editor.CanUndo());
}

}  // namespace
