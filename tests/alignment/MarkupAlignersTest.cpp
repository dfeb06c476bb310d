// The markup aligners on texts held in memory, and alignment runs over corpora written to disk.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "alignment/ConcAligner.h"
#include "alignment/ConcParaAligners.h"
#include "engine/ConcTags.h"
#include "engine/ConcUtils.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/ConfigTestSupport.h"

namespace {

// Where Needle occurs in Text.
std::vector<int32_t> Positions(const std::string& Text, const std::string& Needle) {
    std::vector<int32_t> P;
    for (size_t At = Text.find(Needle); At != std::string::npos; At = Text.find(Needle, At + 1))
        P.push_back(static_cast<int32_t>(At));
    return P;
}

std::vector<int32_t> LineStarts(const std::string& Text) {
    std::vector<int32_t> Starts{0};
    for (size_t i = 0; i < Text.size(); ++i)
        if (Text[i] == '\n') Starts.push_back(static_cast<int32_t>(i + 1));
    return Starts;
}

std::vector<TSegment> Entries(const TAlignIndex& Side) {
    std::vector<TSegment> E;
    for (int32_t i = 0; i < Side.Count(); ++i) E.push_back(Side.GetItem(i));
    return E;
}

// One side's text with its tag positions.
struct TText {
    explicit TText(std::string Bytes) : Text(std::move(Bytes)), Stream(Text) {
        Side.Stream = &Stream;
        Side.Size = static_cast<int32_t>(Text.size());
    }
    TText& Lines() {
        LineList = LineStarts(Text);
        Side.LineStarts = &LineList;
        return *this;
    }
    TText& Delimiter(const std::string& Tag) {
        DelimiterList = Positions(Text, Tag);
        Side.Delimiters = &DelimiterList;
        return *this;
    }
    TText& StartStop(const std::string& Start, const std::string& Stop) {
        StartList = Positions(Text, Start);
        StopList = Positions(Text, Stop);
        Side.Starts = &StartList;
        Side.Stops = StopList.empty() ? nullptr : &StopList;
        return *this;
    }
    std::string Text;
    TMemorySynchroStream Stream;
    TMarkupSide Side;
    std::vector<int32_t> LineList, DelimiterList, StartList, StopList;
};

class MarkupTest : public TFreshConfigTest {
protected:
    void SetUp() override {
        TFreshConfigTest::SetUp();
        CommonConfig->TagStart = '<';
        CommonConfig->TagStop = '>';
    }
};

using S = TSegment;

}  // namespace

TEST_F(MarkupTest, LinesPadTheShorterSideAtItsEnd) {
    TText A("a\nb\nc"), B("1\n2\n3\n4\n5");
    TDoubleAlignIndex Pair;
    AlignByLines(A.Lines().Side, B.Lines().Side, Pair);
    EXPECT_EQ(Entries(Pair.Side1), (std::vector<S>{{0, 1, 0}, {2, 3, 0}, {4, 4, 0}, {5, 4, 0}, {5, 4, 0}}));
    EXPECT_EQ(Entries(Pair.Side2), (std::vector<S>{{0, 1, 0}, {2, 3, 0}, {4, 5, 0}, {6, 7, 0}, {8, 8, 0}}));
}

TEST_F(MarkupTest, DelimiterTagCutsAfterEachTagAndPads) {
    TText A("aa<d>bb<d>cc"), B("x<d>y<d>z<d>w");
    TDoubleAlignIndex Pair;
    AlignByDelimiterTag(A.Delimiter("<d>").Side, B.Delimiter("<d>").Side, Pair);
    EXPECT_EQ(Entries(Pair.Side1), (std::vector<S>{{0, 2, 0}, {5, 7, 0}, {10, 11, 0}, {12, 11, 0}}));
    EXPECT_EQ(Entries(Pair.Side2), (std::vector<S>{{0, 1, 0}, {4, 5, 0}, {8, 9, 0}, {12, 12, 0}}));

    TText C("no tags here");
    TDoubleAlignIndex Whole;
    AlignByDelimiterTag(A.Side, C.Delimiter("<d>").Side, Whole);
    EXPECT_EQ(Entries(Whole.Side1), (std::vector<S>{{0, 11, 0}}));
    EXPECT_EQ(Entries(Whole.Side2), (std::vector<S>{{0, 11, 0}}));
}

TEST_F(MarkupTest, SkipTagFindsTheTagsEnd) {
    TText T("ab<seg id=1 x>rest\t<" + std::string(200, 'a'));
    EXPECT_EQ(SkipTag(T.Stream, 2, nullptr), 13);
    CommonConfig->TagStop = '#';
    TTag Parser('<', "", '#');
    EXPECT_EQ(SkipTag(T.Stream, 2, &Parser), 6);  // the first blank
    EXPECT_EQ(Parser.Name, "seg");
    EXPECT_EQ(SkipTag(T.Stream, 14, nullptr), 18);  // a tab
    EXPECT_EQ(SkipTag(T.Stream, 19, nullptr), 19);  // no end within 128 bytes
    TText Short("<a");
    EXPECT_EQ(SkipTag(Short.Stream, 0, nullptr), 0);
}

TEST_F(MarkupTest, StartStopTagsWithoutIdentifiers) {
    // No stop tag: each segment runs to the next start tag, the last one to the end of the file.
    TText A("<s>A<s>BB"), B("<s>X</s>junk<s>Y</s><s>Z");
    TDoubleAlignIndex Pair;
    AlignByStartStopTags(A.StartStop("<s>", "</s>").Side, B.StartStop("<s>", "</s>").Side, "", Pair);
    EXPECT_EQ(Entries(Pair.Side1), (std::vector<S>{{3, 4, 0}, {7, 9, 0}, {9, 9, 0}}));
    EXPECT_EQ(Entries(Pair.Side2), (std::vector<S>{{3, 4, 0}, {15, 16, 0}, {23, 24, 0}}));

    TText C("plain");
    TDoubleAlignIndex Whole;
    AlignByStartStopTags(A.Side, C.StartStop("<s>", "</s>").Side, "", Whole);
    EXPECT_EQ(Entries(Whole.Side1), (std::vector<S>{{0, 9, 0}}));
    EXPECT_EQ(Entries(Whole.Side2), (std::vector<S>{{0, 5, 0}}));
}

TEST_F(MarkupTest, IdentifiersResynchroniseWithEmptyEntries) {
    TText A("<s id=1>A</s><s id=2>B</s><s id=3>C</s>"), B("<s id=1>X</s><s id=3>Z</s>");
    TDoubleAlignIndex Pair;
    AlignByStartStopTags(A.StartStop("<s ", "</s>").Side, B.StartStop("<s ", "</s>").Side, "id", Pair);
    EXPECT_EQ(Entries(Pair.Side1), (std::vector<S>{{8, 9, 0}, {21, 22, 0}, {34, 35, 0}}));
    // The target's segment 3 moves down one; an empty entry faces the source's segment 2.
    EXPECT_EQ(Entries(Pair.Side2), (std::vector<S>{{8, 9, 0}, {21, 20, 0}, {21, 22, 0}}));
}

// Random identifier patterns, with identifiers missing, added, repeated and without the attribute:
// both sides end equal, and each side keeps its own segments in order, with only inserted empty
// entries and dropped trailing fillers between them and the plain cut.
TEST_F(MarkupTest, ResynchronisedSidesAreEqualAndKeepTheirSegments) {
    std::mt19937 Rng(42);
    auto MakeText = [&Rng](int Count) {
        std::string T = Rng() % 2 ? "lead " : "";
        for (int i = 0; i < Count; ++i) {
            const int Id = static_cast<int>(Rng() % 9);
            T += Id == 8 ? "<s>" : "<s id=" + std::to_string(Id) + ">";
            T += std::string(1 + Rng() % 5, 'w');
            if (Rng() % 3) T += "</s>";
            if (Rng() % 4 == 0) T += " gap ";
        }
        return T;
    };
    for (int Trial = 0; Trial < 3000; ++Trial) {
        TText A(MakeText(static_cast<int>(Rng() % 12))), B(MakeText(static_cast<int>(Rng() % 12)));
        A.StartStop("<s", "</s>");
        B.StartStop("<s", "</s>");
        TDoubleAlignIndex Synced, Plain;
        AlignByStartStopTags(A.Side, B.Side, "id", Synced);
        AlignByStartStopTags(A.Side, B.Side, "", Plain);
        ASSERT_EQ(Synced.Side1.Count(), Synced.Side2.Count()) << A.Text << " | " << B.Text;
        for (auto [Got, Cut, Size] : {std::tuple{&Synced.Side1, &Plain.Side1, A.Side.Size},
                                      std::tuple{&Synced.Side2, &Plain.Side2, B.Side.Size}}) {
            std::vector<S> Kept;
            for (const S& E : Entries(*Got))
                if (E.End != E.Start - 1) Kept.push_back(E);
            std::vector<S> Expected = Entries(*Cut);
            while (Expected.size() > Kept.size() && Expected.back().Start == Size) Expected.pop_back();
            ASSERT_EQ(Kept, Expected) << A.Text << " | " << B.Text;
        }
    }
}

// ---- Alignment runs over corpora on disk ----

namespace {

class AlignmentRunTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        SetAlignErrorDialog([this](const std::string&, const std::string&, const std::string& M,
                                   const std::string&, const std::string&) {
            Asked.push_back(M);
            return 0;
        });
    }
    void TearDown() override {
        SetAlignErrorDialog(nullptr);
        TCorpusTest::TearDown();
    }
    void Formats(int Languages) {
        for (int L = 0; L < Languages; ++L) {
            Lang(L).HeadingFormat = 3;
            Lang(L).ParagraphFormat = 2;
            Lang(L).SentenceFormat = 1;
        }
    }
    std::vector<std::string> Asked;
};

}  // namespace

TEST_F(AlignmentRunTest, LengthAlignmentUnderTheWaitCursorEnablesSearch) {
    Formats(3);
    CommonConfig->AlignFormat = afNotAligned;
    AddFile(0, "a0.txt", "One two three. Four five.\r\n\r\nSix seven eight nine.");
    AddFile(1, "a1.txt", "Eins zwei drei. Vier fuenf.\r\n\r\nSechs sieben acht neun.");
    AddFile(2, "a2.txt", "Un deux trois. Quatre cinq.\r\n\r\nSix sept huit neuf.");
    AddFile(0, "b0.txt", "");
    AddFile(1, "b1.txt", " \r\n ");
    AddFile(2, "b2.txt", "");
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_FALSE(CorpusAligned());
    TRecordingMessenger Recorder;
    RunAlignment(false, -1, -1);
    EXPECT_TRUE(Asked.empty());
    EXPECT_TRUE(CorpusAligned());
    EXPECT_EQ(Align12->GetItem(0)->Side1.Count(), 3);
    EXPECT_EQ(Align13->GetItem(0)->Side2.Count(), 3);
    EXPECT_EQ(Align12->GetItem(1)->Side1.Count(), 0);  // both files without text
    ASSERT_FALSE(Recorder.Entries.empty());
    EXPECT_EQ(Recorder.Entries.front().Kind, TRecordingMessenger::rkCursor);
    EXPECT_TRUE(Recorder.Entries.front().Waiting);
    EXPECT_FALSE(Recorder.Entries.back().Waiting);

    // Clearing tells the windows first, then the run fills every slot again.
    Recorder.Entries.clear();
    RunAlignment(true, -1, -1);
    EXPECT_EQ(Recorder.Messages(), (std::vector<int>{CM_ALIGNMENTDROPPED}));
    EXPECT_EQ(Recorder.Entries[1].WParam, -1);
    EXPECT_TRUE(CorpusAligned());
    RunAlignment(true, 2, 0);
    EXPECT_EQ(Recorder.Entries.back().Kind, TRecordingMessenger::rkCursor);
    EXPECT_TRUE(Align13->GetItem(0));
}

TEST_F(AlignmentRunTest, EachMarkupFormatAlignsEveryFilePair) {
    Formats(2);
    AddFile(0, "a.txt", "l1\nl2 <d> x\n<seg id=a>one</seg><seg id=b>two</seg>");
    AddFile(1, "b.txt", "m1\nm2\nm3 <d> y <d>\n<seg id=b>zwei</seg>");
    ASSERT_TRUE(ProcessCorpus());
    CommonConfig->AlignDelimiter = "<d>";
    CommonConfig->AlignStart = "seg";
    CommonConfig->AlignStop = "</seg>";
    CommonConfig->AlignAttrib = "id";
    const std::vector<std::pair<uint8_t, int32_t>> Expected{
        {afNewLine, 4}, {afDelimiter, 3}, {afStartStopTags, 2}};
    for (auto [Format, Count] : Expected) {
        CommonConfig->AlignFormat = Format;
        RunAlignment(true, -1, -1);
        ASSERT_TRUE(Align12->GetItem(0)) << int(Format);
        EXPECT_EQ(Align12->GetItem(0)->Side1.Count(), Count) << int(Format);
        EXPECT_EQ(Align12->GetItem(0)->Side2.Count(), Count) << int(Format);
        EXPECT_EQ(Align12->GetItem(0)->Side1.Capacity(), Count) << int(Format);
        EXPECT_EQ(Align12->GetItem(0)->Side2.RecordCapacity(), Count) << int(Format);
        EXPECT_TRUE(CorpusAligned());
    }
    EXPECT_TRUE(Asked.empty());
    // Each run says once that the counts differ.
    const std::string Languages = " (English (United States) / English (United States))";
    EXPECT_EQ(
        Backend.Texts(),
        (std::vector<std::string>{
            "Alignment by markup (New line delimiter): the lines of some files do not pair up.\r\n"
            "File pairs with different numbers of lines (the shorter side is filled up with empty "
            "units):\r\n    a.txt 3 / b.txt 4" +
                Languages,
            "Alignment by markup (Delimiter): the \"d\" tags of some files do not pair up.\r\nFile pairs "
            "with different numbers of \"d\" tags (the shorter side is filled up with empty units):\r\n"
            "    a.txt 1 / b.txt 2" +
                Languages,
            "Alignment by markup (Start/stop tags): the \"seg\" tags of some files do not pair up.\r\nFile "
            "pairs with different numbers of \"seg\" tags (the shorter side is filled up with empty "
            "units):\r\n    a.txt 2 / b.txt 1" +
                Languages}));
    for (const TMessageRequest& M : Backend.Messages) EXPECT_EQ(M.Type, mtWarning);
}

// Start and stop tags missing from some files made each of them one unit, and pairs of different counts
// were padded, without a word: after the run one message names them all, with both counts; a long list
// is cut after ten lines. Files whose markers pair up are not named, nor is a file that ends in a line
// break counted a line more.
TEST_F(AlignmentRunTest, MarkupNamesFilesWithoutMarkersAndUnevenPairsOnceAfterTheRun) {
    Formats(3);
    LanguageConfigs[1]->SetLanguage(1034, "Spanish (Traditional Sort)");
    LanguageConfigs[2]->SetLanguage(1036, "French (France)");
    CommonConfig->AlignFormat = afStartStopTags;
    CommonConfig->AlignStart = "<s>";
    CommonConfig->AlignStop = "</s>";
    AddFile(0, "job.txt", "<s>a</s><s>b</s><s>c</s>");
    AddFile(1, "job-es.txt", "<s>a</s><s>b</s>");
    AddFile(2, "job-fr.txt", "<s>a</s><s>b</s><s>c</s>");
    AddFile(0, "ruth.txt", "no tags at all");
    AddFile(1, "ruth-es.txt", "<s>x</s>");
    AddFile(2, "ruth-fr.txt", "none here either");
    AddFile(0, "amos.txt", "<s>a</s><s>b</s>");
    AddFile(1, "amos-es.txt", "<s>a</s><s>b</s>");
    AddFile(2, "amos-fr.txt", "<s>a</s><s>b</s>");
    ASSERT_TRUE(ProcessCorpus());
    Backend.Messages.clear();
    RunAlignment(true, -1, -1);
    EXPECT_EQ(Backend.Texts(),
              std::vector<std::string>{
                  "Alignment by markup (Start/stop tags): the \"s\" tags of some files do not pair up.\r\n"
                  "Files without \"s\" tags (each is aligned whole with its translation):\r\n"
                  "    ruth.txt (English (United States))\r\n"
                  "    ruth-fr.txt (French (France))\r\n"
                  "File pairs with different numbers of \"s\" tags (the shorter side is filled up with empty "
                  "units):\r\n"
                  "    job.txt 3 / job-es.txt 2 (English (United States) / Spanish (Traditional Sort))"});
    EXPECT_EQ(Align12->GetItem(1)->Side1.Count(), 1) << "the whole file, as before";
    EXPECT_EQ(Align12->GetItem(0)->Side2.Count(), 3);
    // A run over the pairs already aligned has nothing to say.
    Backend.Messages.clear();
    RunAlignment(false, -1, -1);
    EXPECT_TRUE(Backend.Messages.empty());

    // Lines: twelve uneven pairs, ten of them named.
    ResetGlobalsForTest();
    SetUp();
    Formats(2);
    CommonConfig->AlignFormat = afNewLine;
    for (int F = 0; F < 12; ++F) {
        AddFile(0, "s" + std::to_string(F) + ".txt", "one\r\ntwo\r\n");
        AddFile(1, "t" + std::to_string(F) + ".txt", F == 0 ? "uno\r\ndos" : "uno\r\ndos\r\ntres");
    }
    ASSERT_TRUE(ProcessCorpus());
    Backend.Messages.clear();
    RunAlignment(true, -1, -1);
    ASSERT_EQ(Backend.Texts().size(), 1u);
    const std::string Text = Backend.Texts()[0];
    EXPECT_EQ(Text.find("s0.txt"), std::string::npos) << "two lines each";
    EXPECT_NE(Text.find("    s1.txt 2 / t1.txt 3 (English (United States) / English (United States))\r\n"),
              std::string::npos);
    EXPECT_NE(Text.find("s10.txt 2 / t10.txt 3"), std::string::npos);
    EXPECT_EQ(Text.find("s11.txt"), std::string::npos);
    EXPECT_EQ(Text.substr(Text.size() - 18), "    ... and 1 more");
}

TEST_F(AlignmentRunTest, MarkupPassesOverLanguagesWithOtherFileCountsAndEndsTheWaitOnErrors) {
    Formats(2);
    CommonConfig->AlignFormat = afNewLine;
    AddFile(0, "a.txt", "a\nb");
    AddFile(0, "c.txt", "c");
    AddFile(1, "b.txt", "x\ny");
    ASSERT_TRUE(ProcessCorpus());
    LanguageConfigs[1]->SetLanguage(1031, "German (Germany)");
    RunAlignment(false, -1, -1);
    EXPECT_EQ(Align12->Count(), 2);
    EXPECT_FALSE(Align12->GetItem(0));
    // Nothing of language 1 can be searched: the user hears why, once per run.
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"The number of files for English (United States) and "
                                                        "German (Germany) is different.\r\nThe automatic "
                                                        "alignment is not possible."});
    Backend.Messages.clear();
    // One file asked for by number is aligned when both languages have it.
    RunAlignment(false, 1, 0);
    EXPECT_TRUE(Align12->GetItem(0));

    LanguageConfigs[0]->Streams[1].reset();
    AddFile(1, "d.txt", "z");
    EXPECT_THROW(RunAlignment(false, -1, -1), std::logic_error);
    EXPECT_EQ(WaitCount, 0);
}
