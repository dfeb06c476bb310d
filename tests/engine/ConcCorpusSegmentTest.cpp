// The pass over one file: sentence ends, paragraph and heading formats, tags, pages, lines and words.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcFreqList.h"
#include "engine/RegExp3.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

using Strings = std::vector<std::string>;

class SegmentTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        TConcordConfig& C = Lang(0);
        C.HeadingFormat = 3;
        C.ParagraphFormat = 2;
        C.SentenceFormat = 2;
    }

    // Runs the corpus pass over Text as the only file of language 0.
    void Run(const std::string& Text) {
        FText = Text;
        AddFile(0, "text.txt", Text);
        ASSERT_TRUE(ProcessCorpus());
    }

    const TConcordConfig& C() { return *LanguageConfigs[0]; }
    Strings Sentences() { return SegmentTexts(C().SentenceIndexes.GetItem(0), FText); }
    Strings Paragraphs() { return SegmentTexts(C().ParagraphIndexes.GetItem(0), FText); }
    Strings Sections() { return SegmentTexts(C().SectionIndexes.GetItem(0), FText); }
    std::vector<int32_t> LineStarts() { return Values(C().LineStarts.GetItem(0)); }
    std::vector<int32_t> PageStarts() { return Values(C().PageStarts.GetItem(0)); }
    const TTagsCollection& Tags() { return *C().FileTags.GetItem(0); }
    int32_t Frequency(const std::string& Word) {
        const TFreqItem* Item = C().FreqList->FindWord(Word);
        return Item ? Item->Frequency : 0;
    }

    std::string FText;
};

// The quotation marks, inverted marks, dashes and ellipsis of Spanish and French text are no part of the
// words they touch in a new language, while apostrophes and hyphens are: the counts by hand.
TEST_F(SegmentTest, ANewLanguageCountsSpanishAndFrenchWordsWithoutTheirPunctuation) {
    struct TCase {
        uint32_t Locale;
        const char* Name;
        std::string Text;
        int32_t Words;
        std::vector<std::pair<std::string, int32_t>> Frequencies;
    };
    const std::string cest = std::string("C\x92") + "est", nest = std::string("n\x92") + "est-ce";
    const std::vector<TCase> cases = {
        // Qué dices preguntó él Ya voy Sí dijo qué bien
        {3082,
         "Spanish (Spain)",
         "\xBFQu\xE9 dices? \x97pregunt\xF3 \xE9l\x97. \xA1Ya voy!\x85 \xABS\xED\xBB, dijo: \x93qu\xE9 "
         "bien\x94.",
         10,
         {{"qu\xE9", 1},
          {"Qu\xE9", 1},
          {"\xBFQu\xE9", 0},
          {"pregunt\xF3", 1},
          {"\xE9l", 1},
          {"Ya", 1},
          {"S\xED", 1},
          {"\x85", 0}}},
        // Bonjour dit-il C'est l'été n'est-ce pas Oui répondit-elle
        {1036,
         "French (France)",
         "\xAB Bonjour \xBB, dit-il\x85 " + cest + " l\x92\xE9t\xE9 \x96 " + nest +
             " pas ? \x93Oui\x94 \x97 r\xE9pondit-elle.",
         8,
         {{"Bonjour", 1},
          {"dit-il", 1},
          {cest, 1},
          {nest, 1},
          {"l\x92\xE9t\xE9", 1},
          {"Oui", 1},
          {"\xAB", 0}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ResetGlobalsForTest();
        SetUp();
        LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
        TConcordConfig& L = *LanguageConfigs[0];
        L.SetLanguage(c.Locale, c.Name);
        L.HeadingFormat = 3;
        L.ParagraphFormat = 2;
        L.SentenceFormat = 2;
        EXPECT_EQ(L.NonWordChars, DefaultWordDelimiters(c.Locale));
        Run(c.Text);
        EXPECT_EQ(C().Files[0].Object.WordCount, c.Words);
        for (const auto& [word, count] : c.Frequencies) EXPECT_EQ(Frequency(word), count) << word;
    }
}

TEST_F(SegmentTest, AutomaticSentencesEndAfterTheDelimiterAndStartAtTheNextNonBlank) {
    Lang(0).SentenceFormat = 1;
    Run("It was late.  He left");
    EXPECT_EQ(Sentences(), (Strings{"It was late.", "He left"}));
    EXPECT_EQ(Lengths(C().SentenceIndexes.GetItem(0)), (std::vector<int32_t>{12, 7}));
    // The blanks between the sentences belong to neither, so the paragraph's length is the sum.
    EXPECT_EQ(Paragraphs(), (Strings{"It was late.  He left"}));
    EXPECT_EQ(Lengths(C().ParagraphIndexes.GetItem(0)), (std::vector<int32_t>{19}));
    EXPECT_EQ(Lengths(C().SectionIndexes.GetItem(0)), (std::vector<int32_t>{19}));
}

TEST_F(SegmentTest, AbbreviationRules) {
    TConcordConfig& L = Lang(0);
    L.SentenceFormat = 1;
    L.SmartAbbrDetect = true;
    Run("Mr. Smith came. 3. Then e. coli grew. Sept. 5 was the end. Next");
    EXPECT_EQ(Sentences(),
              (Strings{"Mr. Smith came.", "3. Then e. coli grew.", "Sept.", "5 was the end.", "Next"}));

    for (const char* W : {"Mr.", "3.", "e.", ".", "Dr.", "1999."}) EXPECT_TRUE(IsAbbreviation(0, W)) << W;
    for (const char* W : {"Sept.", "end.", "", "Mr", "A1.", "123456789012345678901."})
        EXPECT_FALSE(IsAbbreviation(0, W)) << W;
    L.SmartAbbrDetect = false;
    EXPECT_FALSE(IsAbbreviation(0, "Mr."));
}

TEST_F(SegmentTest, SentenceExceptionsApplyOnlyWithoutAbbreviationRules) {
    TConcordConfig& L = Lang(0);
    L.SentenceFormat = 1;
    L.SentenceExceptions = {"etc", "vs"};
    Run("apples Etc. and pears etc. Done");
    EXPECT_EQ(Sentences(), (Strings{"apples Etc. and pears etc. Done"}));
    EXPECT_TRUE(IsSentenceException(0, "ETC."));
    EXPECT_FALSE(IsSentenceException(0, "etc"));
    EXPECT_FALSE(IsSentenceException(0, "pears."));
    L.SmartAbbrDetect = true;
    EXPECT_FALSE(IsSentenceException(0, "etc."));
    EXPECT_TRUE(IsSentenceDelimiter(0, '!'));
    EXPECT_FALSE(IsSentenceDelimiter(0, ','));
}

TEST_F(SegmentTest, TrailingQuotesBelongToTheSentenceAndAreNoWord) {
    Lang(0).SentenceFormat = 1;
    Lang(0).includeTrailingQuotes = true;
    Run("He said \"Go.\" Then 'ok.' Fine");
    EXPECT_EQ(Sentences(), (Strings{"He said \"Go.\"", "Then 'ok.'", "Fine"}));
    // The apostrophe after "ok." is a word byte; taken with the sentence end it makes no word.
    EXPECT_EQ(C().Files[0].Object.WordCount, 6);
    EXPECT_EQ(Frequency("'ok"), 1);
    EXPECT_EQ(Frequency("'"), 0);
}

TEST_F(SegmentTest, WithoutTrailingQuotesTheQuoteStartsTheNextSentence) {
    Lang(0).SentenceFormat = 1;
    Run("He said \"Go.\" Then");
    EXPECT_EQ(Sentences(), (Strings{"He said \"Go.", "\" Then"}));
}

TEST_F(SegmentTest, AbbreviationsFollowTheLanguagesCodePage) {
    TConcordConfig& L = Lang(0);
    L.SetLanguage(0x0419, "Russian");
    L.SmartAbbrDetect = true;
    // In windows-1251 0xB8 is a lower-case letter, 0xA8 and 0xDF upper-case ones; in windows-1252 the
    // first two are symbols and the last a lower-case letter, so none of these would pass there.
    for (const char* W : {"\xB8.", "\xA8\xE6.", "\xDF\xEA.", "\xC3\xEE\xE4."})
        EXPECT_TRUE(IsAbbreviation(0, W)) << W;
    // Four letters and the full stop: too long for the capitalised rule.
    EXPECT_FALSE(IsAbbreviation(0, "\xC3\xEE\xE4\xE0."));
    EXPECT_FALSE(IsAbbreviation(0, "\xE3\xEE\xE4."));
    L.SentenceFormat = 1;
    Run("\xDF\xEA. \xE4\xE0. \xCD\xE5\xF2");
    EXPECT_EQ(Sentences(), (Strings{"\xDF\xEA. \xE4\xE0.", "\xCD\xE5\xF2"}));

    L.SmartAbbrDetect = false;
    L.SentenceExceptions = {"\xF1\xEC"};
    EXPECT_TRUE(IsSentenceException(0, "\xD1\xCC."));

    L.SetLanguage(1033, "English (United States)");
    L.SmartAbbrDetect = true;
    for (const char* W : {"\xB8.", "\xA8\xE6.", "\xDF\xEA."}) EXPECT_FALSE(IsAbbreviation(0, W)) << W;
}

TEST_F(SegmentTest, UnitsWithoutWordOrPunctuationAreDropped) {
    Lang(0).SentenceFormat = 1;
    Run("  \r\n \n\n");
    EXPECT_TRUE(Sentences().empty());
    EXPECT_TRUE(Paragraphs().empty());
    EXPECT_TRUE(Sections().empty());
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 4, 6, 7}));
}

TEST_F(SegmentTest, PunctuationOnlyParagraphIsKept) {
    Run("...\n\n!?");
    EXPECT_EQ(Paragraphs(), (Strings{"...\n", "!?"}));
}

TEST_F(SegmentTest, EmptyLineParagraphs) {
    Run("A\n\nB");
    EXPECT_EQ(Paragraphs(), (Strings{"A\n", "B"}));
}

TEST_F(SegmentTest, EmptyLineParagraphsFromSeveralLineBreaks) {
    // A run of line breaks makes one break, and the next paragraph begins after the run; a line of
    // blanks and tabs is an empty line too.
    Run("A\n\n\nB\n\n\n\nC\n \t\nD");
    EXPECT_EQ(Paragraphs(), (Strings{"A\n", "B\n", "C\n", "D"}));
}

TEST_F(SegmentTest, EmptyLineParagraphsWithCrLf) {
    // The paragraph ends after the first line break's carriage return; its line feed belongs to none.
    Run("A\r\n\r\nB");
    EXPECT_EQ(Paragraphs(), (Strings{"A\r", "B"}));
}

TEST_F(SegmentTest, SentencesOfTheParagraphFormatAreWholeParagraphs) {
    // Any sentence format other than tags and automatic: a sentence per kept paragraph, nothing finer.
    for (const uint8_t Format : {2, 7}) {
        Lang(0).SentenceFormat = Format;
        FText = "One. Two!\n\n  \n\nThree? <s>Four";
        const int File = AddFile(0, "s" + std::to_string(Format) + ".txt", FText);
        ASSERT_TRUE(ProcessCorpus());
        const TConcordConfig& L = C();
        EXPECT_EQ(SegmentTexts(L.SentenceIndexes.GetItem(File), FText),
                  SegmentTexts(L.ParagraphIndexes.GetItem(File), FText));
        EXPECT_EQ(SegmentTexts(L.SentenceIndexes.GetItem(File), FText),
                  (Strings{"One. Two!\n", "Three? <s>Four"}));
        EXPECT_EQ(Lengths(L.SentenceIndexes.GetItem(File)), Lengths(L.ParagraphIndexes.GetItem(File)));
    }
}

TEST_F(SegmentTest, LineParagraphsAndLineStartsAgreeForCrLfAndLf) {
    Lang(0).ParagraphFormat = 1;
    Run("one\r\ntwo\r\nthree");
    EXPECT_EQ(Paragraphs(), (Strings{"one\r\n", "two\r\n", "three"}));
    EXPECT_EQ(Lengths(C().ParagraphIndexes.GetItem(0)), (std::vector<int32_t>{4, 4, 5}));
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 5, 10}));

    AddFile(0, "lf.txt", "one\ntwo\nthree");
    AddFile(0, "cr.txt", "one\rtwo");
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(Lengths(C().ParagraphIndexes.GetItem(1)), (std::vector<int32_t>{4, 4, 5}));
    EXPECT_EQ(Values(C().LineStarts.GetItem(1)), (std::vector<int32_t>{0, 4, 8}));
    EXPECT_EQ(Values(C().LineStarts.GetItem(2)), (std::vector<int32_t>{0, 4}));
}

TEST_F(SegmentTest, IndentedLineParagraphs) {
    Lang(0).ParagraphFormat = 3;
    Run("first\n  second\nmore\n\tthird");
    EXPECT_EQ(Paragraphs(), (Strings{"first\n", "second\nmore\n", "third"}));
}

TEST_F(SegmentTest, IndentedLineParagraphsWithCrLf) {
    Lang(0).ParagraphFormat = 3;
    Run("first\r\n  second\r\nmore\r\n\tthird");
    EXPECT_EQ(Paragraphs(), (Strings{"first\r\n", "second\r\nmore\r\n", "third"}));
    EXPECT_EQ(Lengths(C().ParagraphIndexes.GetItem(0)), (std::vector<int32_t>{6, 12, 5}));
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 7, 17, 23}));
}

TEST_F(SegmentTest, ParagraphAndSentenceTags) {
    TConcordConfig& L = Lang(0);
    L.ParagraphFormat = 0;
    L.PStart = "<p>";
    L.PStop = "</p>";
    L.SentenceFormat = 0;
    L.SStart = "<s>";
    L.SStop = "</s>";
    Run("<p><s>One two.</s><s>Three</s></p>\n<p id=\"2\"><s>Four</s></p>");
    EXPECT_EQ(Sentences(), (Strings{"One two.", "Three", "Four"}));
    EXPECT_EQ(Lengths(C().SentenceIndexes.GetItem(0)), (std::vector<int32_t>{8, 5, 4}));
    EXPECT_EQ(Paragraphs(), (Strings{"<s>One two.</s><s>Three</s>", "<s>Four</s>"}));
    EXPECT_EQ(Lengths(C().ParagraphIndexes.GetItem(0)), (std::vector<int32_t>{13, 4}));
    EXPECT_EQ(Lengths(C().SectionIndexes.GetItem(0)), (std::vector<int32_t>{17}));

    EXPECT_EQ(Tags().FindValue("p", 40), 35);
    EXPECT_EQ(Tags().FindValue("s", 44), 18);
    EXPECT_EQ(Tags().FindValue("/s", 60), 52);
    // A tag that ends the file is recorded too.
    EXPECT_EQ(Tags().FindValue("/p", 60), 56);
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 35}));
}

TEST_F(SegmentTest, HeadingTagsCutSections) {
    Lang(0).HeadingFormat = 0;
    Lang(0).HStart = "<H>";
    Lang(0).HStop = "</H>";
    Run("<H>Title</H> text one. <H>Second</H> more");
    EXPECT_EQ(Sections(), (Strings{"Title", " text one. ", "Second", " more"}));
    EXPECT_EQ(Lengths(C().SectionIndexes.GetItem(0)), (std::vector<int32_t>{5, 11, 6, 5}));
}

TEST_F(SegmentTest, HeadingTagsAreNotLettersAtAParagraphStart) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 0;
    L.HStart = "<H>";
    L.HStop = "</H>";
    L.ParagraphFormat = 1;
    Run("Heading text\n<H>Real</H>\nbody");
    EXPECT_EQ(Sections(), (Strings{"Heading text\n", "Real", "\nbody"}));
}

TEST_F(SegmentTest, HeadingPatternWithNumber) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.HPattern = "Chapter %d";
    L.ParagraphFormat = 1;
    // The first paragraph of a file is never checked, and a heading must start the paragraph.
    Run("Chapter 1\nIntro\nChapter 12\nText one\nText two\nChapter x\nEnd");
    EXPECT_EQ(Sections(),
              (Strings{"Chapter 1\nIntro\n", "Chapter 12\n", "Text one\nText two\nChapter x\nEnd"}));
}

TEST_F(SegmentTest, HeadingPatternFollowsTheSearchCaseOption) {
    CommonConfig->IgnoreCase = true;
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.HPattern = "Chapter %r";
    L.ParagraphFormat = 1;
    Run("Intro\nCHAPTER IV\nText");
    EXPECT_EQ(Sections(), (Strings{"Intro\n", "CHAPTER IV\n", "Text"}));
}

TEST_F(SegmentTest, PlainHeadingPattern) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.HPattern = "CHAPTER";
    L.ParagraphFormat = 1;
    Run("Intro\nCHAPTER ONE\nText\nA CHAPTER\nMore");
    EXPECT_EQ(Sections(), (Strings{"Intro\n", "CHAPTER ONE\n", "Text\nA CHAPTER\nMore"}));
}

TEST_F(SegmentTest, EmptyOrOverlongHeadingPatternFindsNothing) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.ParagraphFormat = 1;
    L.HPattern = "";
    Run("a\nb\nc");
    EXPECT_EQ(Sections().size(), 1u);

    L.HPattern = std::string(33, 'x');
    AddFile(0, "long.txt", "a\n" + std::string(40, 'x') + "\nb");
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(C().SectionIndexes.GetItem(1)->Count(), 1);
}

TEST_F(SegmentTest, HeadingPatternsAtTagParagraphs) {
    TConcordConfig& L = Lang(0);
    L.ParagraphFormat = 0;
    L.PStart = "<p>";
    L.PStop = "</p>";
    const std::string Text = "<p>Intro</p>\n<p>Chapter 2</p>\n<p>Text one</p>\n<p>Chapter x</p>";
    int File = 0;
    for (const auto& [Format, Pattern] : {std::pair<uint8_t, std::string>{1, "Chapter %d"},
                                          std::pair<uint8_t, std::string>{2, "Chapter [0-9]+"}}) {
        L.HeadingFormat = Format;
        L.HPattern = Pattern;
        AddFile(0, std::to_string(File) + ".txt", Text);
        ASSERT_TRUE(ProcessCorpus());
        // The heading is checked right after each paragraph tag; the heading paragraph's own section
        // ends where the next paragraph opens, after its stop tag.
        EXPECT_EQ(SegmentTexts(C().SectionIndexes.GetItem(File), Text),
                  (Strings{"<p>Intro</p>\n<p>", "Chapter 2</p>", "\n<p>Text one</p>\n<p>Chapter x</p>"}))
            << Pattern;
        EXPECT_EQ(Lengths(C().SectionIndexes.GetItem(File)), (std::vector<int32_t>{5, 9, 17})) << Pattern;
        ++File;
    }
}

TEST_F(SegmentTest, HeadingRegularExpressionMustMatchAtTheParagraphStart) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 2;
    L.HPattern = "[0-9]+\\.";
    L.ParagraphFormat = 1;
    Run("Intro\n12. Title\nText x 3. y\nEnd");
    EXPECT_EQ(Sections(), (Strings{"Intro\n", "12. Title\n", "Text x 3. y\nEnd"}));
}

// The sample's end is not the end of the paragraph: $ there needs a line feed after it.
TEST_F(SegmentTest, HeadingSampleEndIsNotALineEnd) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 2;
    L.HPattern = "^[A-Z ]+$";
    L.ParagraphFormat = 1;
    const std::string Capitals = "THE HOUSE BY THE RIVER AND THE MILL";  // 35 bytes
    Run("Intro\n" + Capitals + " was old\nCHAPTER ONE\nText\n" + Capitals.substr(0, 32) + "\nEnd");
    EXPECT_EQ(Sections(), (Strings{"Intro\n" + Capitals + " was old\n", "CHAPTER ONE\n", "Text\n",
                                   Capitals.substr(0, 32) + "\n", "End"}));
}

TEST_F(SegmentTest, PagesAndTagPositions) {
    CommonConfig->PageSeparator = "<pb>";
    Run("one<pb>two <PB> three<pb>");
    // Page separators compare with case; tag names do not.
    EXPECT_EQ(PageStarts(), (std::vector<int32_t>{0, 3, 21}));
    const TIntegerList* Offsets = Tags().GetValues("pb");
    ASSERT_NE(Offsets, nullptr);
    EXPECT_EQ(Offsets->Values(), (std::vector<int32_t>{3, 11, 21}));
}

TEST_F(SegmentTest, LongTagIsRecordedAndCutAtItsFirstByte) {
    Lang(0).ParagraphFormat = 0;
    Lang(0).PStart = "<p>";
    Run("one<p " + std::string(300, 'a') + ">two");
    EXPECT_EQ(Paragraphs(), (Strings{"one", "two"}));
    EXPECT_EQ(Tags().FindValue("p", 1000), 3);
}

TEST_F(SegmentTest, AlignmentFormatOneCutsEveryLineAndNoHeadings) {
    CommonConfig->AlignFormat = 1;
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 0;
    L.HStart = "<H>";
    L.HStop = "</H>";
    L.ParagraphFormat = 0;
    L.PStart = "<p>";
    Run("<H>T</H>\nline <p>two\nline three");
    EXPECT_EQ(Paragraphs(), (Strings{"<H>T</H>\n", "line <p>two\n", "line three"}));
    EXPECT_EQ(Sections().size(), 1u);
}

TEST_F(SegmentTest, AlignmentDelimiterIsTheOnlyMarkerAndEmptyMarkersMatchNothing) {
    CommonConfig->AlignFormat = 2;
    CommonConfig->AlignDelimiter = "<seg>";
    Lang(0).PStart = "<x>";
    Run("a<seg>b<seg>c< b >d<>e<x>f");
    EXPECT_EQ(Paragraphs(), (Strings{"a", "b", "c< b >d<>e<x>f"}));
}

TEST_F(SegmentTest, AlignmentStartAndStopMarkersWithNumbers) {
    CommonConfig->AlignFormat = 3;
    CommonConfig->AlignStart = "<u%d>";
    CommonConfig->AlignStop = "</u%d>";
    Run("<u1>x</u1> <u2>y<u3a>z</u2>");
    EXPECT_EQ(Paragraphs(), (Strings{"x", "y<u3a>z"}));
}

TEST_F(SegmentTest, MarkersBecomeExpressionsOnlyWithNumberOrRomanPlaceholders) {
    bool HasPattern = false;
    EXPECT_EQ(MarkerToRegExp("seg%d", HasPattern), "seg\\d+");
    EXPECT_TRUE(HasPattern);
    EXPECT_EQ(MarkerToRegExp("%r. (x)", HasPattern), "[IVXLivxl]+\\. \\(x\\)");
    EXPECT_EQ(MarkerToRegExp("$()*+,.?[\\]^{|}%d", HasPattern),
              "\\$\\(\\)\\*\\+\\,\\.\\?\\[\\\\\\]\\^\\{\\|\\}\\d+");
    EXPECT_EQ(MarkerToRegExp("50% a%x (", HasPattern), "50% a%x (");
    EXPECT_FALSE(HasPattern);

    TCompiledMarker Seg = CompileMarker("<seg%d>", 0);
    ASSERT_NE(Seg.RegExp, nullptr);
    EXPECT_TRUE(MarkerMatches("seg12", Seg));
    EXPECT_FALSE(MarkerMatches("seg", Seg));
    EXPECT_FALSE(MarkerMatches("seg12a", Seg));
    EXPECT_FALSE(MarkerMatches("xseg1", Seg));
    TCompiledMarker Plain = CompileMarker("<p>", 0);
    EXPECT_EQ(Plain.RegExp, nullptr);
    EXPECT_TRUE(MarkerMatches("p", Plain));
    EXPECT_FALSE(MarkerMatches("P", Plain));
    TCompiledMarker Empty = CompileMarker("<>", 0);
    EXPECT_FALSE(MarkerMatches("", Empty));
}

TEST_F(SegmentTest, WordsAreCountedIntoTheFrequencyList) {
    Run("The cat, the CAT.\n" + std::string(300, 'w') + " end");
    EXPECT_EQ(C().Files[0].Object.WordCount, 6);
    EXPECT_EQ(Frequency("The"), 1);
    EXPECT_EQ(Frequency("the"), 1);
    EXPECT_EQ(Frequency(std::string(255, 'w')), 1);
    // The last byte of the file ends a word.
    EXPECT_EQ(Frequency("end"), 1);
}

// In code page 932 the trail bytes of 表 and ソ are "\\", of ー "[", of ダ "_": word ends and the
// word-tag separator on their own. The pass reads each character whole.
TEST_F(SegmentTest, DoubleByteWordsAreNotCutAtTrailBytesThatLookLikeDelimiters) {
    const std::string Hyoji = "\x95\x5C\x8E\xA6";
    const std::string Coffee = "\x83\x52\x81\x5B\x83\x71\x81\x5B";
    const std::string Soft = "\x83\x5C\x83\x74\x83\x67";
    const std::string Da = "\x83\x5F";
    CommonConfig->WordTag = 1;
    CommonConfig->wTagDelimiter = '_';
    TConcordConfig& L = Lang(0);
    L.SetLanguage(1041, "Japanese");
    L.SentenceFormat = 1;
    const std::string First = Hyoji + "_N [" + Coffee + "] " + Da + " " + Soft + "_V .";
    const std::string Second = Soft + ".";
    Run(First + " " + Second);
    EXPECT_EQ(C().Files[0].Object.WordCount, 5);
    EXPECT_EQ(Frequency(Hyoji), 1);
    EXPECT_EQ(Frequency(Coffee), 1);
    EXPECT_EQ(Frequency(Da), 1);
    EXPECT_EQ(Frequency(Soft), 2);
    EXPECT_EQ(Sentences(), (Strings{First, Second}));
    // Every byte counts but those of the two word tags.
    EXPECT_EQ(
        Lengths(C().SentenceIndexes.GetItem(0)),
        (std::vector<int32_t>{static_cast<int32_t>(First.size()) - 4, static_cast<int32_t>(Second.size())}));
}

TEST_F(SegmentTest, FoldedFrequencyList) {
    FrequencyConfigs[0].IgnoreCase = true;
    Run("The cat, the CAT.");
    EXPECT_EQ(Frequency("the"), 2);
    EXPECT_EQ(Frequency("cat"), 2);
}

TEST_F(SegmentTest, ProgressWindowNamesTheFileAndItsSize) {
    std::string Caption, Text;
    int Max = 0;
    Backend.OnProcessMessages = [&] {
        Caption = ProgressForm->Caption();
        Text = ProgressForm->Text();
        Max = ProgressForm->Max();
    };
    Run(std::string(1000, 'x'));
    EXPECT_EQ(Caption, "Processing corpus");
    // The name as the corpus registered it, folder included.
    EXPECT_EQ(Text, C().Files[0].Name);
    EXPECT_EQ(Text, Dir.File("text.txt"));
    EXPECT_EQ(Max, 1000);
    // A step of every hundredth of the file.
    EXPECT_GE(Backend.ProcessMessagesCalls, 100);
    EXPECT_LE(Backend.ProcessMessagesCalls, 101);
    EXPECT_EQ(ProgressForm, nullptr);
}

// Random texts under every format: each unit's length is what the segment measure reads from the file,
// units hold text, do not overlap, and paragraphs and sections sum their sentences.
TEST_F(SegmentTest, UnitLengthsAgreeWithTheSegmentMeasure) {
    const Strings Pieces = {"ab",  "c",    " ",   "  ",   "\r\n",  "\n", "\r",  ".",    "!",  "\"",  "'",
                            "<p>", "</p>", "<s>", "</s>", "<x y>", "\t", "<H>", "</H>", "Mr", "<pb>"};
    std::mt19937 Random(7);
    CommonConfig->PageSeparator = "<pb>";
    TConcordConfig& L = Lang(0);
    L.PStart = "<p>";
    L.PStop = "</p>";
    L.SStart = "<s>";
    L.SStop = "</s>";
    L.HStart = "<H>";
    L.HStop = "</H>";
    L.HPattern = "Mr";
    std::vector<std::string> Texts;
    for (int Round = 0; Round < 48; ++Round) {
        std::string Text;
        const int Count = 1 + static_cast<int>(Random() % 120);
        for (int K = 0; K < Count; ++K) Text += Pieces[Random() % Pieces.size()];
        Texts.push_back(Text);
        AddFile(0, std::to_string(Round) + ".txt", Text);
    }
    for (int Round = 0; Round < 48; ++Round) {
        L.HeadingFormat = static_cast<uint8_t>(Round % 4);
        L.ParagraphFormat = static_cast<uint8_t>((Round / 4) % 4);
        L.SentenceFormat = static_cast<uint8_t>((Round / 16) % 3);
        L.includeTrailingQuotes = Round % 2 == 0;
        L.SmartAbbrDetect = Round % 3 == 0;
        L.SentenceIndexes.SetItem(Round, nullptr);
        ASSERT_TRUE(ProcessCorpus());

        const std::string& Text = Texts[static_cast<size_t>(Round)];
        TBufStream Reader(*L.Streams[static_cast<size_t>(Round)], 0);
        ConfigureBufStream(Reader);
        const TAlignIndex& Sentences = *L.SentenceIndexes.GetItem(Round);
        int32_t PreviousEnd = 0;
        for (int32_t I = 0; I < Sentences.Count(); ++I) {
            const TSegment S = Sentences.GetItem(I);
            int32_t TextBytes = 0;
            EXPECT_EQ(S.Length, MeasureSegment(Reader, S.Start, S.End, ctNone, TextBytes)) << Text;
            EXPECT_GT(TextBytes, 0) << Text;
            EXPECT_GE(S.Start, PreviousEnd) << Text;
            PreviousEnd = S.End;
        }
        for (const TAlignIndex* Units :
             {L.ParagraphIndexes.GetItem(Round), L.SectionIndexes.GetItem(Round)}) {
            PreviousEnd = 0;
            for (int32_t I = 0; I < Units->Count(); ++I) {
                const TSegment U = Units->GetItem(I);
                int32_t Sum = 0;
                for (int32_t J = 0; J < Sentences.Count(); ++J) {
                    const TSegment S = Sentences.GetItem(J);
                    if (S.Start >= U.Start && S.End <= U.End) Sum += S.Length;
                }
                EXPECT_EQ(U.Length, Sum) << Text;
                EXPECT_GT(U.Length, 0) << Text;
                EXPECT_GE(U.Start, PreviousEnd) << Text;
                PreviousEnd = U.End;
            }
        }
    }
}

}  // namespace

// Line starts follow every raw line break, inside tags too (a CR LF pair once), as the views count them.
TEST_F(SegmentTest, LineBreaksInsideTagsStartLines) {
    Run("a <x\ny>\nb <x\r\ny>\r\nc");
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 5, 8, 14, 18}));
    CommonConfig->TagStop = '#';  // the tag ends at its line break, which belongs to it
    LanguageConfigs[0]->LineStarts.SetItem(0, nullptr);
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(LineStarts(), (std::vector<int32_t>{0, 5, 8, 14, 18}));
}

// Two or more blank lines before a heading: the paragraph, and the heading check, begin after them.
TEST_F(SegmentTest, HeadingsAfterSeveralEmptyLines) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.HPattern = "Chapter %d";
    Run("Intro.\n\n \nChapter 1\n\nText one.\n\nChapter 2\n\n\n\nText two.");
    EXPECT_EQ(Sections(),
              (Strings{"Intro.\n\n \n", "Chapter 1\n\n", "Text one.\n\n", "Chapter 2\n\n\n\n", "Text two."}));
}

TEST_F(SegmentTest, ARunOfSentenceEndsEndsOneSentence) {
    Lang(0).SentenceFormat = 1;
    Run("Wait... What?! (Selah.) Done");
    EXPECT_EQ(Sentences(), (Strings{"Wait...", "What?!", "(Selah.)", "Done"}));
}

// Plain text with a stray tag start and a 0 byte: neither hides the text after it.
TEST_F(SegmentTest, AStrayTagStartAndAZeroByteHideNothing) {
    Lang(0).SentenceFormat = 1;
    const char Text[] = "x < y here.\n\nPara\0two.\n\nPara three.";
    Run(std::string(Text, sizeof Text - 1));
    EXPECT_EQ(C().Files[0].Object.WordCount, 7);
    EXPECT_EQ(LineStarts().size(), 5u);
    EXPECT_EQ(Paragraphs().size(), 3u);
    EXPECT_EQ(Frequency("two"), 1);
}

// A file several times the reader's window, with headings after runs of empty lines (some of blanks),
// CR LF and LF lines and multi-line tags: every heading is found whatever window it falls in, and the
// line starts are those of the raw text.
TEST_F(SegmentTest, HeadingsAndLinesAcrossManyWindows) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 1;
    L.HPattern = "Chapter %d";
    std::mt19937 Random(15);
    auto Pick = [&](int N) { return static_cast<int>(Random() % static_cast<unsigned>(N)); };
    const char* const Breaks[] = {"\n", "\r\n"};
    const char* const EmptyLines[] = {"", " ", "\t ", "  "};
    std::string Text = "Opening words.";
    std::vector<int32_t> Expected{0};
    for (int Chapter = 1; Text.size() < 5 * TBufStream::BufferSize; ++Chapter) {
        const std::string Break = Breaks[Pick(2)];
        Text += Break;
        for (int E = Pick(3) + 1; E > 0; --E) Text += std::string(EmptyLines[Pick(4)]) + Breaks[Pick(2)];
        Expected.push_back(static_cast<int32_t>(Text.size()));
        Text +=
            "Chapter " + std::to_string(Chapter) + Breaks[Pick(2)] + EmptyLines[Pick(4)] + Breaks[Pick(2)];
        Expected.push_back(static_cast<int32_t>(Text.size()));
        for (int Line = Pick(40) + 1; Line > 0; --Line) {
            Text += Pick(5) == 0 ? "some <tag\r\nspanning=\"two lines\"> text" : "plain words in a line";
            if (Line > 1) Text += Breaks[Pick(2)];
        }
    }
    Run(Text);
    std::vector<int32_t> Starts;
    for (int32_t I = 0; I < C().SectionIndexes.GetItem(0)->Count(); ++I)
        Starts.push_back(C().SectionIndexes.GetItem(0)->GetItem(I).Start);
    EXPECT_EQ(Starts, Expected);
    std::vector<int32_t> RawStarts{0};
    for (size_t I = 0; I < Text.size(); ++I)
        if (Text[I] == '\n' || (Text[I] == '\r' && Text[I + 1] != '\n')) RawStarts.push_back(int32_t(I + 1));
    EXPECT_EQ(LineStarts(), RawStarts);
}
