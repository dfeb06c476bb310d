#include "engine/ConcCorpus.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <tuple>

#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTags.h"
#include "engine/ConcUtils.h"

namespace {

using TMessage = std::tuple<int, intptr_t, intptr_t>;

// Two languages of three files, every index computed, and all three alignments.
class InvalidationTest : public testing::Test {
protected:
    void SetUp() override {
        InitConfigUnit();
        LanguagesCount = 2;
        LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& Config = *LanguageConfigs[L];
            Config.FreqList = MakeOwned<TFreqList>(L);
            for (int F = 0; F < 3; ++F) {
                Config.Files.push_back({"f" + std::to_string(F), TCorpusFileRecord{false, 10 + F, ""}});
                Config.PageStarts.Add(std::make_unique<TIntegerList>());
                Config.FileTags.Add(std::make_unique<TTagsCollection>());
                for (TAlignIndexes* Indexes :
                     {&Config.SectionIndexes, &Config.ParagraphIndexes, &Config.SentenceIndexes})
                    Indexes->Add(std::make_unique<TAlignIndex>());
            }
        }
        for (auto* Pairs : {&Align12, &Align13, &Align14}) {
            *Pairs = std::make_unique<TDoubleAlignIndexes>();
            for (int F = 0; F < 3; ++F) (*Pairs)->Add(std::make_unique<TDoubleAlignIndex>());
        }
    }
    void TearDown() override { ResetGlobalsForTest(); }

    static std::vector<TMessage> Sent(const TRecordingMessenger& Recorder) {
        std::vector<TMessage> Result;
        for (const auto& E : Recorder.Entries) Result.emplace_back(E.Msg, E.WParam, E.LParam);
        return Result;
    }

    static bool SegmentsPresent(int L) {
        const TConcordConfig& Config = *LanguageConfigs[L];
        return Config.SectionIndexes.GetItem(0) && Config.ParagraphIndexes.GetItem(2) &&
               Config.SentenceIndexes.GetItem(1);
    }
    // How many of language L's section, paragraph and sentence slots hold an index (9 when all do).
    static int SegmentSlotsFilled(int L) {
        const TConcordConfig& Config = *LanguageConfigs[L];
        int Filled = 0;
        for (const TAlignIndexes* Indexes :
             {&Config.SectionIndexes, &Config.ParagraphIndexes, &Config.SentenceIndexes})
            for (int32_t F = 0; F < Indexes->Count(); ++F) Filled += Indexes->GetItem(F) != nullptr;
        return Filled;
    }
    static int PairListsPresent() { return bool(Align12) + bool(Align13) + bool(Align14); }

    // Clear must announce each file of every language with Message while that file's slot of Slots is
    // still filled, and have emptied the slot of the file announced before.
    template <class TSlots>
    void ExpectAnnouncedFileByFile(void (*Clear)(), int Message, TSlots TConcordConfig::*Slots) {
        std::vector<TMessage> Seen;
        Recorder.OnBroadcast = [&](int Msg, intptr_t L, intptr_t F) {
            const TSlots& List = (*LanguageConfigs[L]).*Slots;
            EXPECT_TRUE(List.GetItem(static_cast<int32_t>(F))) << L << "," << F;
            if (F > 0) {
                EXPECT_FALSE(List.GetItem(static_cast<int32_t>(F - 1))) << L << "," << F;
            }
            Seen.emplace_back(Msg, L, F);
        };
        Clear();
        const int M = Message;
        EXPECT_EQ(Seen,
                  (std::vector<TMessage>{{M, 0, 0}, {M, 0, 1}, {M, 0, 2}, {M, 1, 0}, {M, 1, 1}, {M, 1, 2}}));
        for (int L = 0; L < 2; ++L) {
            const TSlots& List = (*LanguageConfigs[L]).*Slots;
            EXPECT_EQ(List.Count(), 3);
            for (int32_t F = 0; F < 3; ++F) EXPECT_FALSE(List.GetItem(F)) << L << "," << F;
        }
        Recorder.OnBroadcast = nullptr;
    }

    TRecordingMessenger Recorder;
};

}  // namespace

TEST_F(InvalidationTest, PageListsAndTagIndexesAreAnnouncedFileByFileBeforeTheyGo) {
    ExpectAnnouncedFileByFile(ClearPageLists, CM_PAGEINDEXDROPPED, &TConcordConfig::PageStarts);
    ExpectAnnouncedFileByFile(ClearFileTagLists, CM_TAGINDEXDROPPED, &TConcordConfig::FileTags);
}

TEST_F(InvalidationTest, SegmentIndexesAreAnnouncedOnceWhileEverySlotIsFilled) {
    std::vector<int> FilledAtMessage;
    Recorder.OnBroadcast = [&](int, intptr_t L, intptr_t) {
        FilledAtMessage.push_back(SegmentSlotsFilled(int(L)));
    };
    ClearSegmentIndexes(1);
    EXPECT_EQ(Sent(Recorder), std::vector<TMessage>{TMessage(CM_SEGMENTINDEXDROPPED, 1, 0)});
    EXPECT_EQ(FilledAtMessage, std::vector<int>{9});
    EXPECT_EQ(SegmentSlotsFilled(1), 0);
    EXPECT_EQ(LanguageConfigs[1]->SentenceIndexes.Count(), 3);
    EXPECT_EQ(SegmentSlotsFilled(0), 9);
}

// Segments go first, announced while present; the alignment built on them is announced next, while its
// pairs still exist.
TEST_F(InvalidationTest, SegmentsThenTheirAlignmentGoLanguageByLanguage) {
    struct TSeen {
        TMessage Message;
        int SegmentsFilled;
        int PairLists;
        bool operator==(const TSeen&) const = default;
    };
    std::vector<TSeen> Seen;
    Recorder.OnBroadcast = [&](int Msg, intptr_t L, intptr_t F) {
        Seen.push_back({TMessage(Msg, L, F), SegmentSlotsFilled(int(L)), PairListsPresent()});
    };
    for (int L = 0; L < 2; ++L) {
        LanguageConfigs[L]->HeadingFormat = 1;
        LanguageConfigs[L]->ParagraphFormat = 1;
        LanguageConfigs[L]->SentenceFormat = 2;
    }
    LanguageConfigs[1]->ParagraphFormat = 0;  // language 1 cuts paragraphs by tags
    ClearTagBasedSegments(0, 1);
    EXPECT_EQ(Seen, (std::vector<TSeen>{{TMessage(CM_SEGMENTINDEXDROPPED, 1, 0), 9, 3},
                                        {TMessage(CM_ALIGNMENTDROPPED, 1, 0), 0, 3}}));
    EXPECT_FALSE(Align12);
    EXPECT_TRUE(Align13 && Align14);
    EXPECT_EQ(SegmentSlotsFilled(0), 9);

    Seen.clear();
    LanguageConfigs[0]->SentenceFormat = 1;  // language 0 finds its sentences automatically
    ClearAutoSentenceSegments(0, 1);
    EXPECT_EQ(Seen, (std::vector<TSeen>{{TMessage(CM_SEGMENTINDEXDROPPED, 0, 0), 9, 2},
                                        {TMessage(CM_ALIGNMENTDROPPED, 0, 0), 0, 2}}));
    EXPECT_FALSE(Align13 || Align14);
}

TEST_F(InvalidationTest, CorpusFrequencyListGoesAfterChildrenAndMainWindowHeard) {
    Recorder.OnBroadcast = [](int, intptr_t L, intptr_t) { EXPECT_TRUE(LanguageConfigs[L]->FreqList); };
    Recorder.OnSend = [](int, intptr_t L, intptr_t) -> intptr_t {
        EXPECT_TRUE(LanguageConfigs[L]->FreqList);
        EXPECT_EQ(LanguageConfigs[L]->GetWordCount(), 33);
        return 0;
    };
    DropCorpusFreqList(1);
    ASSERT_EQ(Recorder.Entries.size(), 2u);
    EXPECT_EQ(Recorder.Entries[0].Kind, TRecordingMessenger::rkBroadcast);
    EXPECT_EQ(Recorder.Entries[1].Kind, TRecordingMessenger::rkSend);
    EXPECT_EQ(Sent(Recorder)[1], TMessage(CM_FREQSETTINGSCHANGED, 1, 1));
    EXPECT_FALSE(LanguageConfigs[1]->FreqList);
    EXPECT_EQ(LanguageConfigs[1]->GetWordCount(), 0);
    EXPECT_TRUE(LanguageConfigs[0]->FreqList);
}

// A change of the tag characters changes every segment's length (tag bytes are left out whatever the
// format), so every segment index and every alignment built on them goes, announced first.
TEST_F(InvalidationTest, AllDropsEveryLanguagesDataWhateverTheLanguageArgument) {
    LanguageConfigs[0]->ParagraphFormat = 1;
    LanguageConfigs[0]->HeadingFormat = 3;
    LanguageConfigs[0]->SentenceFormat = 1;  // nothing by tags: its segments go all the same
    ClearScannedInfo(1, true, false, false, false, false, false);
    for (int L = 0; L < 2; ++L) {
        EXPECT_FALSE(LanguageConfigs[L]->FreqList);
        EXPECT_FALSE(LanguageConfigs[L]->PageStarts.GetItem(1));
        EXPECT_FALSE(SegmentsPresent(L));
    }
    EXPECT_FALSE(Align12 || Align13 || Align14);
    const std::vector<TMessage> Messages = Sent(Recorder);
    for (const TMessage& M : {TMessage(CM_SEGMENTINDEXDROPPED, 0, 0), TMessage(CM_SEGMENTINDEXDROPPED, 1, 0)})
        EXPECT_NE(std::find(Messages.begin(), Messages.end(), M), Messages.end());
}

// Alignment formats 2 and 3 cut paragraphs by tags whatever the language's own formats say.
TEST_F(InvalidationTest, TagBasedSegmentsAreJudgedByTheFormatsInForce) {
    for (int L = 0; L < 2; ++L) {
        LanguageConfigs[L]->HeadingFormat = 1;
        LanguageConfigs[L]->ParagraphFormat = 1;
        LanguageConfigs[L]->SentenceFormat = 2;
    }
    CommonConfig->AlignFormat = 1;
    ClearTagBasedSegments(0, 1);
    EXPECT_TRUE(SegmentsPresent(0) && SegmentsPresent(1));
    CommonConfig->AlignFormat = 2;
    ClearTagBasedSegments(0, 1);
    EXPECT_FALSE(SegmentsPresent(0) || SegmentsPresent(1));
    EXPECT_FALSE(Align12 || Align13 || Align14);
}

TEST_F(InvalidationTest, FrequencyFlagsAndAutomaticSentencesFollowTheLanguageArgument) {
    LanguageConfigs[0]->SentenceFormat = 1;
    LanguageConfigs[1]->SentenceFormat = 1;
    ClearScannedInfo(1, false, false, false, false, true, true);
    EXPECT_TRUE(LanguageConfigs[0]->FreqList);
    EXPECT_FALSE(LanguageConfigs[1]->FreqList);
    EXPECT_TRUE(SegmentsPresent(0));
    EXPECT_FALSE(SegmentsPresent(1));

    Recorder.Entries.clear();
    ClearScannedInfo(-1, false, false, false, true, false, true);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_FALSE(SegmentsPresent(0));
    EXPECT_FALSE(Align14);
}

TEST_F(InvalidationTest, FileAlignmentOfOneLanguageOrOfAll) {
    Recorder.OnBroadcast = [](int Msg, intptr_t, intptr_t) {
        if (Msg == CM_ALIGNMENTDROPPED) {
            EXPECT_TRUE(Align13->GetItem(0));
        }
    };
    ClearFileAlignment(2, 0);
    EXPECT_EQ(Sent(Recorder), std::vector<TMessage>{TMessage(CM_ALIGNMENTDROPPED, 2, 0)});
    EXPECT_FALSE(Align13->GetItem(0));
    EXPECT_TRUE(Align13->GetItem(1));
    EXPECT_TRUE(Align12->GetItem(0));
    EXPECT_TRUE(Align14->GetItem(0));
    Recorder.OnBroadcast = nullptr;

    ClearFileAlignment(3, 7);  // a file added after the alignment has no pair
    EXPECT_EQ(Align14->Count(), 3);
    ClearFileAlignment(0, -1);
    EXPECT_FALSE(Align12);
    EXPECT_FALSE(Align13);
    EXPECT_FALSE(Align14);
    ClearFileAlignment(1, 0);  // no list left: only the message
    EXPECT_EQ(Sent(Recorder).back(), TMessage(CM_ALIGNMENTDROPPED, 1, 0));
}

TEST_F(InvalidationTest, FreeAllAlignmentsAnnouncesItFirst) {
    Recorder.OnBroadcast = [](int, intptr_t, intptr_t) { EXPECT_TRUE(Align12 && Align13 && Align14); };
    FreeAllAlignments();
    EXPECT_EQ(Sent(Recorder), std::vector<TMessage>{TMessage(CM_ALIGNMENTDROPPED, -1, 0)});
    EXPECT_FALSE(Align12 || Align13 || Align14);
}
