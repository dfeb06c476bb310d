// The corpus aligner on segment indexes built directly from shapes: the count checks with each answer,
// the limits, empty files and paragraphs, and the invariants of every stored pair on random corpora.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "alignment/AlignBoxModel.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"
#include "tests/alignment/AlignTestSupport.h"

namespace {

// Sections of paragraphs of sentence lengths. A paragraph given as {} holds text but no sentence.
using TShape = std::vector<std::vector<std::vector<int>>>;

struct TAsked {
    std::string File1, File2, Message, Caption2, Caption1;
    bool operator==(const TAsked&) const = default;
};

class CorpusAlignerTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        InitConfigUnit();
        SetAlignErrorDialog([this](const std::string& F1, const std::string& F2, const std::string& M,
                                   const std::string& C2, const std::string& C1) {
            Asked.push_back({F1, F2, M, C2, C1});
            if (Answers.empty()) return 0;
            const int A = Answers.front();
            Answers.pop_front();
            return A;
        });
        AlignViewHooks.OpenAlignmentView = [this](int Level, int L1, int L2, int P, int S, int F) {
            Opened.push_back({Level, L1, L2, P, S, F});
        };
    }
    void TearDown() override {
        SetAlignErrorDialog(nullptr);
        AlignViewHooks = {};
        ResetGlobalsForTest();
    }

    // Registers a file of language L whose indexes follow Shape: sentences one byte apart, a paragraph
    // from its first sentence's start to its last one's end, a section likewise.
    int AddFile(int L, const TShape& Shape) {
        TConcordConfig& C = *LanguageConfigs[L];
        auto Sections = std::make_unique<TAlignIndex>(), Paragraphs = std::make_unique<TAlignIndex>(),
             Sentences = std::make_unique<TAlignIndex>();
        int32_t Pos = 0;
        for (const auto& Section : Shape) {
            const int32_t SectionStart = Pos;
            int32_t SectionLength = 0;
            for (const auto& Paragraph : Section) {
                const int32_t ParagraphStart = Pos;
                int32_t Length = 0;
                if (Paragraph.empty()) {
                    Length = 5;
                    Pos += 5;
                }
                for (const int S : Paragraph) {
                    Sentences->Add(Pos, Pos + S, S);
                    Pos += S + 1;
                    Length += S;
                }
                Paragraphs->Add(ParagraphStart, Pos - (Paragraph.empty() ? 0 : 1), Length);
                SectionLength += Length;
                Pos += 2;
            }
            Sections->Add(SectionStart, Pos - 2, SectionLength);
            Pos += 3;
        }
        TNamedItem<TCorpusFileRecord> Entry;
        Entry.Name = "L" + std::to_string(L) + "F" + std::to_string(C.Files.size());
        C.Files.push_back(Entry);
        C.SectionIndexes.Add(std::move(Sections));
        C.ParagraphIndexes.Add(std::move(Paragraphs));
        C.SentenceIndexes.Add(std::move(Sentences));
        return static_cast<int>(C.Files.size()) - 1;
    }

    static TDoubleAlignIndex* PairOf(int Target, int File) {
        TDoubleAlignIndexes* Lists[] = {Align12.get(), Align13.get(), Align14.get()};
        TDoubleAlignIndexes* L = Lists[Target - 1];
        return L && File < L->Count() ? L->GetItem(File) : nullptr;
    }
    static int Sections(int L, int F) { return LanguageConfigs[L]->SectionIndexes.GetItem(F)->Count(); }

    TScriptedBackend Backend;
    std::vector<TAsked> Asked;
    std::deque<int> Answers;
    std::vector<std::array<int, 6>> Opened;
};

const TShape TwoSections{{{40, 50}, {60}}, {{70}}};
const TShape ThreeSections{{{40, 50}}, {{60}}, {{70}}};

}  // namespace

TEST_F(CorpusAlignerTest, DifferentFileCountsOnlyTellTheUser) {
    MakeLanguages(2);
    for (int f = 0; f < 3; ++f) AddFile(0, TwoSections);
    for (int f = 0; f < 4; ++f) AddFile(1, ThreeSections);
    AlignCorpus();
    EXPECT_EQ(
        Backend.Texts(),
        (std::vector<std::string>{"The number of files for English and German is different.\r\nThe automatic "
                                  "alignment is not possible."}));
    EXPECT_TRUE(Asked.empty());
    ASSERT_TRUE(Align12);
    EXPECT_EQ(Align12->Count(), 3);
    EXPECT_FALSE(PairOf(1, 0));
}

TEST_F(CorpusAlignerTest, SectionMismatchAnswers) {
    // Ignore Sections merges both files for good and the whole files are then aligned.
    MakeLanguages(2);
    AddFile(0, TwoSections);
    AddFile(1, ThreeSections);
    Answers = {2};
    AlignCorpus();
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], (TAsked{"L0F0", "L1F0", "Different number of sections.", "Ignore Sections", "Fix"}));
    EXPECT_EQ(Sections(0, 0), 1);
    EXPECT_EQ(Sections(1, 0), 1);
    EXPECT_EQ(LanguageConfigs[0]->SectionIndexes.GetItem(0)->GetItem(0).Length, 220);
    ASSERT_TRUE(PairOf(1, 0));
    EXPECT_EQ(PairOf(1, 0)->Side1.Count(), 4);
    EXPECT_TRUE(Opened.empty());

    // Fix opens the view at the last common section; any other answer just stops. Nothing changes.
    for (int Answer : {1, 0}) {
        ResetGlobalsForTest();
        InitConfigUnit();
        MakeLanguages(2);
        AddFile(0, TwoSections);
        AddFile(1, ThreeSections);
        Asked.clear();
        Opened.clear();
        Answers = {Answer};
        AlignCorpus();
        EXPECT_EQ(Asked.size(), 1u);
        EXPECT_EQ(Sections(0, 0), 2);
        EXPECT_EQ(Sections(1, 0), 3);
        EXPECT_FALSE(PairOf(1, 0));
        if (Answer == 1)
            EXPECT_EQ(Opened, (std::vector<std::array<int, 6>>{{AlignViewParagraphLevel, 0, 1, 0, 1, 0}}));
        else
            EXPECT_TRUE(Opened.empty());
    }

    // Without the view, Fix says so and the run stops as on Cancel.
    AlignViewHooks = {};
    Answers = {1};
    AlignCorpus();
    EXPECT_EQ(Backend.Texts(), (std::vector<std::string>{AlignViewMissingText}));
    EXPECT_FALSE(PairOf(1, 0));
}

TEST_F(CorpusAlignerTest, ParagraphMismatchNamesTheSectionAndOpensAtTheLastCommonParagraph) {
    MakeLanguages(2);
    AddFile(0, {{{10}}, {{10}, {20}, {30}, {40}}});
    AddFile(1, {{{10}}, {{10}, {20}, {30}}});
    Answers = {1};
    AlignCorpus();
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0].Message, "Different number of paragraphs in section 2.");
    EXPECT_EQ(Asked[0].Caption2, "Cancel");
    EXPECT_EQ(Asked[0].Caption1, "Fix");
    // Four paragraphs against three: the view opens on the third, the last both sides have.
    EXPECT_EQ(Opened, (std::vector<std::array<int, 6>>{{AlignViewParagraphLevel, 0, 1, 2, 1, 0}}));
    EXPECT_FALSE(PairOf(1, 0));
    // Cancel, or a dialog closed otherwise, stops the run without opening anything.
    for (int Answer : {2, 0}) {
        Answers = {Answer};
        AlignCorpus();
        EXPECT_EQ(Opened.size(), 1u);
        EXPECT_FALSE(PairOf(1, 0));
    }
    EXPECT_EQ(Asked.size(), 3u);
}

TEST_F(CorpusAlignerTest, TooManySentencesAboveTheProductLimit) {
    MakeLanguages(2);
    const std::vector<int> S800(800, 50), S641(641, 50), S640(640, 50);
    AddFile(0, {{{10}}, {{10}, S800}});
    AddFile(1, {{{10}}, {{10}, S641}});
    Answers = {2};
    AlignCorpus();
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], (TAsked{"L0F0", "L1F0",
                                "Too many sentences in section 2, paragraph 2. Please split the paragraphs.",
                                "Cancel", "Fix"}));
    EXPECT_FALSE(PairOf(1, 0));
    EXPECT_TRUE(Opened.empty());
    Answers = {1};
    AlignCorpus();
    EXPECT_EQ(Opened, (std::vector<std::array<int, 6>>{{AlignViewParagraphLevel, 0, 1, 1, 1, 0}}));
    Asked.clear();

    LanguageConfigs[1]->SentenceIndexes.Clear();
    LanguageConfigs[1]->ParagraphIndexes.Clear();
    LanguageConfigs[1]->SectionIndexes.Clear();
    LanguageConfigs[1]->Files.clear();
    AddFile(1, {{{10}}, {{10}, S640}});
    AlignCorpus();
    EXPECT_TRUE(Asked.empty());
    ASSERT_TRUE(PairOf(1, 0));
    EXPECT_EQ(PairOf(1, 0)->Side1.Count(), PairOf(1, 0)->Side2.Count());
}

TEST_F(CorpusAlignerTest, EmptyFilesAndParagraphsWithoutSentences) {
    MakeLanguages(2);
    AddFile(0, {});
    AddFile(1, {});
    AddFile(0, {{{}, {30, 40}}});
    AddFile(1, {{{25, 25}, {}}});
    AlignCorpus();
    EXPECT_TRUE(Asked.empty());
    ASSERT_TRUE(PairOf(1, 0));
    EXPECT_EQ(PairOf(1, 0)->Side1.Count(), 0);
    EXPECT_EQ(PairOf(1, 0)->Side2.Count(), 0);
    // A paragraph without sentences pairs whole with the other paragraph.
    const TDoubleAlignIndex& P = *PairOf(1, 1);
    ASSERT_EQ(P.Side1.Count(), 2);
    ASSERT_EQ(P.Side2.Count(), 2);
    EXPECT_EQ(P.Side1.GetItem(0), LanguageConfigs[0]->ParagraphIndexes.GetItem(1)->GetItem(0));
    EXPECT_EQ(P.Side2.GetItem(0), LanguageConfigs[1]->ParagraphIndexes.GetItem(1)->GetItem(0));
    EXPECT_EQ(P.Side1.GetItem(1), LanguageConfigs[0]->ParagraphIndexes.GetItem(1)->GetItem(1));
    EXPECT_EQ(P.Side2.GetItem(1), LanguageConfigs[1]->ParagraphIndexes.GetItem(1)->GetItem(1));
}

TEST_F(CorpusAlignerTest, AFileEmptyOnOneSideOnlyIsAMismatchThatIgnoringCannotMend) {
    MakeLanguages(2);
    AddFile(0, {});
    AddFile(1, TwoSections);
    AddFile(0, TwoSections);
    AddFile(1, TwoSections);
    Answers = {2};
    AlignCorpus();
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], (TAsked{"L0F0", "L1F0", "Different number of sections.", "Cancel", "Fix"}));
    EXPECT_EQ(Sections(1, 0), 2);
    EXPECT_FALSE(PairOf(1, 0));
    EXPECT_FALSE(PairOf(1, 1));
}

TEST_F(CorpusAlignerTest, OnlyFilesWaitingForAlignmentAreAligned) {
    MakeLanguages(3);
    for (int f = 0; f < 2; ++f)
        for (int L = 0; L < 3; ++L) AddFile(L, TwoSections);
    EnsureAlignIndexLists();
    for (int f = 0; f < 2; ++f) Align12->SetItem(f, std::make_unique<TDoubleAlignIndex>());
    Align13->SetItem(0, std::make_unique<TDoubleAlignIndex>());
    AlignCorpus();
    EXPECT_EQ(PairOf(1, 0)->Side1.Count(), 0);  // kept as it was
    EXPECT_EQ(PairOf(2, 0)->Side1.Count(), 0);
    ASSERT_TRUE(PairOf(2, 1));
    EXPECT_EQ(PairOf(2, 1)->Side1.Count(), 4);
    EXPECT_TRUE(Asked.empty());
}

// Every stored pair, on random corpora with the same sections and paragraphs on both sides: the sides
// have as many entries; entries follow the text; within each paragraph pair the non-empty entries of a
// side are its sentences in order, one or two at a time, and never reach into another paragraph.
TEST_F(CorpusAlignerTest, StoredPairsCoverEverySentenceOnceInOrder) {
    std::mt19937 Rng(1207);
    for (int Trial = 0; Trial < 150; ++Trial) {
        ResetGlobalsForTest();
        InitConfigUnit();
        const int Langs = 2 + Trial % 3;
        MakeLanguages(Langs);
        const int Files = 1 + static_cast<int>(Rng() % 3);
        for (int f = 0; f < Files; ++f) {
            const size_t SectionCount = Rng() % 3;
            std::vector<size_t> Paras(SectionCount);
            for (auto& P : Paras) P = 1 + Rng() % 3;
            for (int L = 0; L < Langs; ++L) {
                TShape Shape(SectionCount);
                for (size_t s = 0; s < SectionCount; ++s) {
                    Shape[s].resize(Paras[s]);
                    for (auto& Para : Shape[s]) {
                        Para.resize(Rng() % 7);
                        for (int& Len : Para) Len = 1 + static_cast<int>(Rng() % (Trial % 2 ? 30 : 300));
                    }
                }
                AddFile(L, Shape);
            }
        }
        AlignCorpus();
        ASSERT_TRUE(Asked.empty());
        for (int k = 1; k < Langs; ++k) {
            for (int f = 0; f < Files; ++f) {
                const TDoubleAlignIndex* Pair = PairOf(k, f);
                ASSERT_TRUE(Pair);
                ASSERT_EQ(Pair->Side1.Count(), Pair->Side2.Count());
                // A stored pair keeps no room it will not fill (thousands of files keep thousands).
                for (const TAlignIndex* Side : {&Pair->Side1, &Pair->Side2})
                    ASSERT_EQ(Side->RecordCapacity(), Side->Count());
                // Entry e of both sides comes from the same paragraph pair (both files number their
                // paragraphs alike); an empty entry belongs to the paragraph it sits in or ends.
                const TAlignIndex& Paras1 = *LanguageConfigs[0]->ParagraphIndexes.GetItem(f);
                const TAlignIndex& Paras2 = *LanguageConfigs[k]->ParagraphIndexes.GetItem(f);
                for (int32_t e = 0; e < Pair->Side1.Count(); ++e)
                    ASSERT_EQ(Paras1.IndexBefore(Pair->Side1.GetItem(e).Start + 1),
                              Paras2.IndexBefore(Pair->Side2.GetItem(e).Start + 1))
                        << "trial " << Trial << " entry " << e;
                for (auto [Side, L] : {std::pair{&Pair->Side1, 0}, std::pair{&Pair->Side2, k}}) {
                    const TAlignIndex& Sents = *LanguageConfigs[L]->SentenceIndexes.GetItem(f);
                    const TAlignIndex& Paras = *LanguageConfigs[L]->ParagraphIndexes.GetItem(f);
                    int32_t Next = 0, PrevStart = -1;
                    for (int32_t e = 0; e < Side->Count(); ++e) {
                        const TSegment E = Side->GetItem(e);
                        ASSERT_GE(E.Start, PrevStart);
                        PrevStart = E.Start;
                        if (E.End == E.Start) continue;  // an empty entry
                        const TSegment Para = Paras.GetItem(Paras.SegmentOf(E.Start));
                        ASSERT_LE(E.End, Para.End);
                        if (E == Para) {  // a paragraph paired whole, with the sentences in it
                            while (Next < Sents.Count() && Sents.GetItem(Next).Start < Para.End) ++Next;
                            continue;
                        }
                        ASSERT_LT(Next, Sents.Count());
                        const TSegment A = Sents.GetItem(Next);
                        ASSERT_EQ(E.Start, A.Start);
                        if (E.End == A.End) {
                            ++Next;
                            continue;
                        }
                        ASSERT_LT(Next + 1, Sents.Count());
                        ASSERT_EQ(E.End, Sents.GetItem(Next + 1).End);
                        ASSERT_EQ(E.Length, A.Length + Sents.GetItem(Next + 1).Length);
                        Next += 2;
                    }
                    ASSERT_EQ(Next, Sents.Count()) << "trial " << Trial;
                }
            }
        }
    }
}

TEST_F(CorpusAlignerTest, FixOpensTheEditorWhereAutomaticParagraphAlignmentRepairsTheCorpus) {
    MakeLanguages(2);
    AddFile(0, {{{10}}, {{10}, {20}, {30}, {400}}});
    AddFile(1, {{{10}}, {{10}, {20}, {30}}});
    // "Fix" opens the editor on the pair; its automatic paragraph alignment balances the section.
    AlignViewHooks.OpenAlignmentView = [this](int Level, int L1, int L2, int P, int S, int F) {
        Opened.push_back({Level, L1, L2, P, S, F});
        auto SideOf = [F](int L) {
            TConcordConfig& C = *LanguageConfigs[L];
            return TAlignBoxSide{C.SectionIndexes.GetItem(F), C.ParagraphIndexes.GetItem(F),
                                 C.SentenceIndexes.GetItem(F)};
        };
        TAlignEditor Editor;
        Editor.Reset(SideOf(L1), SideOf(L2), S, 0);
        ASSERT_EQ(Editor.AlignParagraphsAutomatically(0), TAlignEditor::aaAligned);
        EXPECT_EQ(Editor.LargeRun(0).Count(), Editor.LargeRun(1).Count());
    };
    Answers = {1};
    AlignCorpus();
    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], (std::array<int, 6>{AlignViewParagraphLevel, 0, 1, 2, 1, 0}));
    EXPECT_FALSE(PairOf(1, 0));
    // The next run finds equal counts and aligns the file, the empty paragraph pairing whole.
    AlignCorpus();
    EXPECT_EQ(Asked.size(), 1u);
    ASSERT_TRUE(PairOf(1, 0));
    EXPECT_EQ(PairOf(1, 0)->Side1.Count(), PairOf(1, 0)->Side2.Count());
}
