#include "results/ConcOptionRules.h"

#include <gtest/gtest.h>

#include "engine/ConcFreqList.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class OptionRulesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        CommonConfig->MaximumHits = 500;
        CommonConfig->FrequencyOfHits = 1;
        CommonConfig->ContextSizes = {40, 8, 3, 1, 1};
        CommonConfig->MatchWordsLo = 2;
        CommonConfig->MatchWordsHi = 5;
        CommonConfig->TagSearchSeparator = '&';
        CommonConfig->UseSkipEqualChars = true;
    }
    TConcordConfig& L0() { return Lang(0); }
    TRecordingMessenger Messenger;
};

}  // namespace

TEST_F(OptionRulesTest, SearchOptionsStoreWhatWasEditedClampedToTheControlsRanges) {
    TSearchOptionsEdits E = ReadSearchOptions(0);
    E.MaxHits = "0";
    E.FrequencyOfHits = "99999";
    E.ContextType = 1;
    E.ContextSize = "77";
    E.WildCard0or1.clear();
    E.TagSeparator.clear();
    E.WordSkipLo = "9";
    E.WordSkipHi = "9";
    E.SkippingChars = "-";
    E.EqualChars = "e=\xE9";
    E.DelimiterHistory = {".,"};
    ASSERT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::Stored);
    const TCommonConcordConfig& C = *CommonConfig;
    EXPECT_EQ(C.MaximumHits, 1);
    EXPECT_EQ(C.FrequencyOfHits, 16000);
    EXPECT_EQ(C.ContextType, 1);
    EXPECT_EQ(C.ContextSizes[1], 40);
    EXPECT_EQ(C.ContextSizes[0], 40);  // only the chosen type's size
    EXPECT_EQ(C.WildCard0or1, '\0');
    EXPECT_EQ(C.TagSearchSeparator, '&');  // an empty separator is not stored
    EXPECT_EQ(C.MatchWordsLo, 9);
    EXPECT_EQ(L0().SkippingChars, "-");
    EXPECT_TRUE(CharsEqual('e', '\xE9', 0));
    EXPECT_EQ(L0().DelimiterHistory, std::vector<std::string>{".,"});

    // A maximum that is no number keeps the current one.
    E.MaxHits = "many";
    ASSERT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::Stored);
    EXPECT_EQ(CommonConfig->MaximumHits, 1);
}

TEST_F(OptionRulesTest, RefusalsRestoreTheEqualCharactersAndStoreNothing) {
    L0().EqualChars = "a=b";
    ASSERT_TRUE(ParseEqualChars(0));
    TSearchOptionsEdits E = ReadSearchOptions(0);
    E.MaxHits = "42";

    E.EqualChars = "a=";
    EXPECT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::BadEqualChars);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"Wrong \"equal characters\" syntax."});
    EXPECT_EQ(L0().EqualChars, "a=b");
    EXPECT_TRUE(CharsEqual('a', 'b', 0));

    E.EqualChars = "c=d";
    E.Delimiters = L0().NonWordChars + "_";
    Backend.Answers = {mrNo};
    EXPECT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::DelimitersKept);
    EXPECT_EQ(L0().EqualChars, "a=b");
    EXPECT_TRUE(CharsEqual('a', 'b', 0));
    EXPECT_FALSE(CharsEqual('c', 'd', 0));
    EXPECT_EQ(CommonConfig->MaximumHits, 500);
    EXPECT_EQ(L0().NonWordChars.find('_'), std::string::npos);
}

// A special character that is a letter or digit, one character in two wildcard roles, and a word-skip
// range read backwards are refused before anything is stored, each with a message naming its field.
TEST_F(OptionRulesTest, SpecialCharactersAndWordSkipRangesThatWouldChangeEverySearchAreRefused) {
    const TSearchOptionsEdits Start = ReadSearchOptions(0);
    struct TCase {
        std::string TSearchOptionsEdits::*Edit;
        std::string Value;
        TSearchOptionsResult Result;
        std::string Named;
    };
    const TCase Cases[] = {
        {&TSearchOptionsEdits::WildCard0orMore, "e", TSearchOptionsResult::Bad0orMore, "\"0 or more\""},
        {&TSearchOptionsEdits::WildCardExactly1, "7", TSearchOptionsResult::BadExactly1, "\"exactly 1\""},
        {&TSearchOptionsEdits::WordSkipChar, "\xE9", TSearchOptionsResult::BadWordSkipChar, "\"word skip\""},
        {&TSearchOptionsEdits::TagSeparator, "x", TSearchOptionsResult::BadTagSeparator,
         "\"tag search separator\""},
        {&TSearchOptionsEdits::WildCard0or1, "*", TSearchOptionsResult::Bad0or1,
         "\"0 or more\" and the \"0 or 1\""},
        {&TSearchOptionsEdits::WildCardExactly1, "@", TSearchOptionsResult::BadExactly1,
         "\"word skip\" and the \"exactly 1\""},
        {&TSearchOptionsEdits::WordSkipLo, "6", TSearchOptionsResult::BadWordSkipRange,
         "between 6 and 5 words"},
    };
    for (const TCase& Case : Cases) {
        TSearchOptionsEdits E = Start;
        E.MaxHits = "42";
        E.Delimiters = L0().NonWordChars + "_";
        E.*Case.Edit = Case.Value;
        Backend.Messages.clear();
        EXPECT_EQ(ApplySearchOptions(0, E), Case.Result) << Case.Value;
        ASSERT_EQ(Backend.Messages.size(), 1u) << "no question about the delimiters first";
        EXPECT_NE(Backend.Messages[0].Text.find(Case.Named), std::string::npos) << Backend.Messages[0].Text;
        EXPECT_EQ(CommonConfig->MaximumHits, 500);
        EXPECT_EQ(CommonConfig->WildCard0orMore, '*');
    }
    // Swapped characters, an empty one and an equal range are fine.
    TSearchOptionsEdits E = Start;
    E.WildCard0orMore = "%";
    E.WildCard0or1 = "*";
    E.WildCardExactly1.clear();
    E.WordSkipLo = E.WordSkipHi = "3";
    ASSERT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::Stored);
    EXPECT_EQ(CommonConfig->WildCard0orMore, '%');
    EXPECT_EQ(CommonConfig->MatchWordsLo, 3);
    EXPECT_EQ(CommonConfig->MatchWordsHi, 3);
}

TEST_F(OptionRulesTest, NewDelimitersDropTheFrequencyListAfterSayingSoAndLoseTheWordTagDelimiter) {
    L0().FreqList = MakeOwned<TFreqList>(0);
    CommonConfig->WordTag = 1;
    CommonConfig->wTagDelimiter = '_';
    TSearchOptionsEdits E = ReadSearchOptions(0);
    E.Delimiters = "_.,_";
    Backend.Answers = {mrYes};
    bool ListAliveAtMessage = false;
    Messenger.OnBroadcast = [&](int Msg, intptr_t, intptr_t) {
        if (Msg == CM_FREQSETTINGSCHANGED) ListAliveAtMessage = bool(L0().FreqList);
    };
    ASSERT_EQ(ApplySearchOptions(0, E), TSearchOptionsResult::Stored);
    EXPECT_TRUE(ListAliveAtMessage);
    EXPECT_FALSE(L0().FreqList);
    EXPECT_EQ(L0().NonWordChars, ".,_");  // the first occurrence only
    ASSERT_EQ(Backend.Messages.size(), 2u);
    EXPECT_EQ(Backend.Messages[1].Text,
              "\"_\" is tag delimiter and can't be a word delimiter.\rSymbol will be deleted from word "
              "delimiters.");
}

TEST_F(OptionRulesTest, RevertFillsTheDefaultsButKeepsFrequencyAndSizes) {
    TSearchOptionsEdits E = ReadSearchOptions(0);
    E.FrequencyOfHits = "7";
    E.ContextSize = "30";
    E.Delimiters = "x";
    RevertSearchOptions(E, 0);
    EXPECT_EQ(E.Delimiters, DefaultWordDelimiters(LanguageConfigs[0]->LocaleId));
    EXPECT_EQ(E.Delimiters.substr(0, 25), DefaultNonWordChars);
    EXPECT_EQ(E.MaxHits, "500");
    EXPECT_EQ(E.FrequencyOfHits, "7");
    EXPECT_EQ(E.ContextSize, "30");
    EXPECT_EQ(E.WordSkipChar + E.WordSkipLo + E.WordSkipHi, "@25");
}

TEST_F(OptionRulesTest, ExceptionWordsAreNormalisedAlikeWhenTypedAndWhenLoaded) {
    std::vector<std::string> Words;
    EXPECT_EQ(AddExceptionWord(Words, "  Dr. ", 0), 0);
    EXPECT_EQ(AddExceptionWord(Words, "dr", 0), -1);
    EXPECT_EQ(AddExceptionWord(Words, "   ", 0), -1);
    EXPECT_EQ(Words, std::vector<std::string>{"dr"});
    EXPECT_EQ(NormalizeExceptionWord("Etc..", 0), "etc.");  // one dot only

    EXPECT_EQ(ParseExceptionFile("Dr.\r\nMr.\rmrs\n\nDR\r\n\r\nSt.", 0),
              (std::vector<std::string>{"dr", "mr", "mrs", "st"}));
    EXPECT_EQ(FormatExceptionFile({"dr", "mr"}), "dr\r\nmr\r\n");
    EXPECT_EQ(WithDefaultExtension("/a/words", "TXT"), "/a/words.TXT");
    EXPECT_EQ(WithDefaultExtension("/a.b/words", "TXT"), "/a.b/words.TXT");
    EXPECT_EQ(WithDefaultExtension("/a/words.lst", "TXT"), "/a/words.lst");
}

TEST_F(OptionRulesTest, HeadingNamesAndHeadingContextChoices) {
    auto& H = L0().Headings;
    H.push_back({"Chapter", {"<h1>", "</h1>", "<p>", "</p>"}});
    H.push_back({"Part", {"<h2>", "</h2>", "<t>", "</t>"}});
    EXPECT_TRUE(HeadingNameTaken(H, "CHAPTER", 1, 0));
    EXPECT_FALSE(HeadingNameTaken(H, " chapter ", 0, 0));  // the edited entry itself
    EXPECT_FALSE(HeadingEditComplete({"n", "a", " ", "b", "c"}));
    EXPECT_TRUE(HeadingEditComplete({"n", "a", "x", "b", "c"}));
    EXPECT_EQ(InitialHeadingDefinition(H, "Part"), 1);
    EXPECT_EQ(InitialHeadingDefinition(H, "gone"), 0);
    EXPECT_EQ(InitialHeadingDefinition({}, "Part"), -1);

    TConcSearchRec Q;
    THeadingContextChoice Choice{true, " war ", 1, true, " a ", "b"};
    EXPECT_TRUE(ApplyHeadingContext(Q, Choice, H));
    EXPECT_EQ(Q.Flags & (sfHeading | sfContext), sfHeading | sfContext);
    EXPECT_EQ(Q.HeadingPattern, "war");
    EXPECT_EQ(Q.HeadStartMarker + Q.HeadStopMarker + Q.TextStartMarker + Q.TextStopMarker,
              "<h2></h2><t></t>");
    EXPECT_EQ(Q.LeftContext, "a");

    // Heading search without a selected definition is no heading search; unchecked boxes clear all.
    Choice.Definition = -1;
    Choice.ContextSearch = false;
    EXPECT_FALSE(ApplyHeadingContext(Q, Choice, H));
    EXPECT_EQ(Q.Flags & (sfHeading | sfContext), 0);
    EXPECT_TRUE(Q.HeadingPattern.empty() && Q.HeadStartMarker.empty() && Q.LeftContext.empty());
}

TEST(ContextLimitsTest, TableAndControls) {
    EXPECT_EQ(ContextSizeLimits(0).Maximum, 1000);
    EXPECT_EQ(ContextSizeLimits(0).Increment, 10);
    EXPECT_EQ(ContextSizeLimits(1).Maximum, 40);
    EXPECT_EQ(ContextSizeLimits(3).Minimum, 1);
    EXPECT_TRUE(ContextControlsFor(2).ShowSize);
    EXPECT_TRUE(ContextControlsFor(3).ShowSentenceOptions && !ContextControlsFor(3).ShowSize);
    EXPECT_FALSE(ContextControlsFor(4).ShowSentenceOptions || ContextControlsFor(4).ShowSize);
}
