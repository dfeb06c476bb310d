#include "results/ConcQueryRules.h"

#include <gtest/gtest.h>

#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class QueryRulesTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0);
        CommonConfig->TagSearchSeparator = '&';
    }
};

}  // namespace

TEST_F(QueryRulesTest, CaptionsAndExamplesFollowTheLayoutAndTheSpecialCharacters) {
    EXPECT_EQ(QueryCaption(false, false, false), "Text Search");
    EXPECT_EQ(QueryCaption(true, false, false), "Advanced Search");
    EXPECT_EQ(QueryCaption(false, true, false), "Text Search Query");
    EXPECT_EQ(QueryCaption(true, false, true), "Advanced Parallel Search");
    EXPECT_EQ(QueryExamples(0), "e.g. \"colo%r\", \"a * of\", \"thr?w\", \"made @ mind\"");
    CommonConfig->WildCard0orMore = '+';
    CommonConfig->WildCardMatchWords = '#';
    CommonConfig->TagSearchSeparator = '_';
    EXPECT_EQ(QueryExamples(0), "e.g. \"colo%r\", \"a + of\", \"thr?w\", \"made # mind\"");
    EXPECT_EQ(QueryExamples(2), "e.g. \"computer_ _NNS\", \"run_VBN _N\"");
    // Characters swapped among the wildcards and the word skip each keep their own place.
    CommonConfig->WildCard0orMore = '%';
    CommonConfig->WildCard0or1 = '*';
    CommonConfig->WildCardExactly1 = '@';
    CommonConfig->WildCardMatchWords = '?';
    EXPECT_EQ(QueryExamples(0), "e.g. \"colo*r\", \"a % of\", \"thr@w\", \"made ? mind\"");
}

TEST_F(QueryRulesTest, HeadingAndContextConditionsNeedTheirPatterns) {
    TConcSearchRec Q;
    Q.Flags = sfHeading | sfContext;
    Q.HeadingPattern = "intro";
    Q.LeftContext = "start";
    EXPECT_EQ(CheckQueryConditions(Q, 0).Focus, 0) << "an empty right context runs to the text's end";
    Q.LeftContext.clear();
    const TConditionCheck Left = CheckQueryConditions(Q, 0);
    EXPECT_EQ(Left.Focus, 2);
    EXPECT_NE(Left.Message.find("\"Left:\""), std::string::npos) << Left.Message;
    Q.HeadingPattern.clear();
    const TConditionCheck Heading = CheckQueryConditions(Q, 0);
    EXPECT_EQ(Heading.Focus, 1);
    EXPECT_NE(Heading.Message.find("heading pattern"), std::string::npos) << Heading.Message;
    Q.Flags = 0;
    EXPECT_EQ(CheckQueryConditions(Q, 0).Focus, 0) << "conditions switched off are not checked";
    Q.Flags = sfContext;
    Q.LeftContext = "a,b";
    Q.RightContext = "c";
    EXPECT_EQ(CheckQueryConditions(Q, 0).Focus, 2) << "a delimiter in the pattern is still refused";
}

TEST_F(QueryRulesTest, PatternChecksInTheirOrder) {
    // Delimiters, each named once in the order of the delimiter list.
    TPatternCheck C = ValidatePattern("a,b;c,", "search term", 0, 0, false);
    EXPECT_EQ(C.Verdict, TPatternVerdict::Fail);
    EXPECT_EQ(C.Message, "The following characters in the search term are invalid:\r\n,;");
    // In tag syntax the separator, itself a delimiter, passes (even twice).
    EXPECT_EQ(ValidatePattern("cat&NN dog&VB", "search term", 2, 0, false).Verdict, TPatternVerdict::Pass);
    EXPECT_EQ(ValidatePattern("cat&NN", "search term", 0, 0, false).Verdict, TPatternVerdict::Fail);
    // A tag may hold the language's delimiters (a tagset's "PRP$"); a word may not.
    EXPECT_EQ(ValidatePattern("his&PRP$ &WP$ *&,", "search term", 2, 0, false).Verdict,
              TPatternVerdict::Pass);
    C = ValidatePattern("his$&PRP$ x", "search term", 2, 0, false);
    EXPECT_EQ(C.Verdict, TPatternVerdict::Fail);
    EXPECT_EQ(C.Message, "The following characters in the search term are invalid:\r\n$");
    // The word-skip character at either end.
    C = ValidatePattern("the @", "left context pattern", 0, 0, false);
    EXPECT_EQ(C.Message, "You cannot begin or end a left context pattern with @");
    EXPECT_EQ(ValidatePattern("a @ b", "search term", 0, 0, false).Verdict, TPatternVerdict::Pass);
    // Skipping characters only ask, and only with the flag.
    C = ValidatePattern("co-op", "search term", 0, 0, true);
    EXPECT_EQ(C.Verdict, TPatternVerdict::Ask);
    EXPECT_EQ(C.Message, "There are skipping characters in the search term:\r\n-\r\nContinue anyway?");
    EXPECT_EQ(ValidatePattern("co-op", "search term", 0, 0, false).Verdict, TPatternVerdict::Pass);
    // A regular expression must compile; delimiters are fine there.
    EXPECT_EQ(ValidatePattern("colou?r, (a|b)", "search term", 1, 0, false).Verdict, TPatternVerdict::Pass);
    C = ValidatePattern("(ab", "search term", 1, 0, false);
    EXPECT_EQ(C.Verdict, TPatternVerdict::Fail);
    EXPECT_FALSE(C.Message.empty());
}

TEST_F(QueryRulesTest, DoubleWordSkipIsRefusedOutsideRegularExpressions) {
    EXPECT_EQ(DoubleWordSkipError("a @@ b", 0), "You cannot specify @@ in the search term.");
    EXPECT_EQ(DoubleWordSkipError("a @@ b", 2), "You cannot specify @@ in the search term.");
    EXPECT_EQ(DoubleWordSkipError("a @@ b", 1), "");
    EXPECT_EQ(DoubleWordSkipError("a @ b", 0), "");
    CommonConfig->WildCardMatchWords = 0;  // no word-skip character: nothing to refuse
    EXPECT_EQ(DoubleWordSkipError(std::string("a \0\0 b", 6), 0), "");
}

TEST_F(QueryRulesTest, FlagsAppendOnlyWhenPossibleAndUncheckedConditionsAreCleared) {
    TConcSearchRec Q;
    Q.Flags = sfHeading | sfContext;
    Q.HeadingPattern = "war";
    Q.HeadStartMarker = "<h1>";
    Q.LeftContext = "x";
    SetQueryFlags(Q, true, true, true, false, true, true);
    EXPECT_EQ(Q.Flags, sfHeading | sfContext | sfSentenceMode | sfSkipEqual);
    SetQueryFlags(Q, false, false, true, true, false, false);
    EXPECT_EQ(Q.Flags, sfMatchCase | sfAppend);
    EXPECT_TRUE(Q.HeadingPattern.empty() && Q.HeadStartMarker.empty() && Q.LeftContext.empty());
    EXPECT_TRUE(AppendPossible(1, 1));
    EXPECT_FALSE(AppendPossible(0, 1));
    EXPECT_FALSE(AppendPossible(-1, 0));
}

TEST_F(QueryRulesTest, ParallelRowsNeedDistinctLanguagesThenPatterns) {
    TConcSearchRec A, B, C;
    A.Language = 0;
    B.Language = 1;
    C.Language = 0;
    A.Names = {"x"};
    TParallelCheck Check = CheckParallelRows({&A, &B, &C});
    EXPECT_EQ(Check.Row, 2);
    EXPECT_TRUE(Check.LanguageList);
    EXPECT_EQ(Check.Message, "This language must be different.");
    C.Language = 2;
    Check = CheckParallelRows({&A, &B, &C});
    EXPECT_EQ(Check.Row, 1);
    EXPECT_FALSE(Check.LanguageList);
    EXPECT_EQ(Check.Message, "Empty search term.");
    B.Names = C.Names = {"y"};
    EXPECT_EQ(CheckParallelRows({&A, &B, &C}).Row, -1);
    EXPECT_EQ(ParallelRowQueryText(TConcSearchRec()), "N/A");
    EXPECT_EQ(ParallelRowParameters(TConcSearchRec()), "Search parameters N/A");
    EXPECT_EQ(ParallelRowParameters(A).rfind("Syntax: ", 0), 0u);
}
