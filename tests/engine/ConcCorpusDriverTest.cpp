// The corpus pass over languages (what is rebuilt, what a cancel or an error leaves behind) and the
// lookups of hit locations and tracked-tag values.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ConcFreqList.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class DriverTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0).SentenceFormat = 1;
        Lang(0).ParagraphFormat = 2;
    }

    // Whether file I of language L has each of its six indexes.
    static std::vector<bool> Present(int L, int I) {
        const TConcordConfig& C = *LanguageConfigs[L];
        return {C.LineStarts.GetItem(I) != nullptr,       C.PageStarts.GetItem(I) != nullptr,
                C.FileTags.GetItem(I) != nullptr,         C.SectionIndexes.GetItem(I) != nullptr,
                C.ParagraphIndexes.GetItem(I) != nullptr, C.SentenceIndexes.GetItem(I) != nullptr};
    }

    // Sets the cancel code of the progress window while it shows the file Name of the temporary folder.
    void CancelAt(const std::string& Name, int Code) {
        Backend.OnProcessMessages = [=, Path = Dir.File(Name)] {
            if (ProgressForm && ProgressForm->Text() == Path) ProgressForm->Tag = Code;
        };
    }
};

const std::vector<bool> All(6, true);
const std::vector<bool> None(6, false);

TEST_F(DriverTest, NothingIsProcessedTwice) {
    AddFile(0, "a.txt", "One two. Three");
    AddFile(1, "b.txt", "Four");
    EXPECT_TRUE(CorpusNeedsProcessing());
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Object.WordCount, 3);
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Object.WordCount, 1);
    EXPECT_EQ(LanguageConfigs[0]->FreqList->SortState(), TFreqSort::ByFrequency);

    const int Calls = Backend.ProcessMessagesCalls;
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(Backend.ProcessMessagesCalls, Calls);
}

TEST_F(DriverTest, AMissingSentenceIndexRebuildsOnlyTheSegments) {
    AddFile(0, "a.txt", "One two. Three");
    ASSERT_TRUE(ProcessCorpus());
    TConcordConfig& C = *LanguageConfigs[0];
    // Marks that a rebuilt list would lose.
    C.LineStarts.GetItem(0)->Add(99);
    C.SectionIndexes.GetItem(0)->Add(90, 95, 5);
    C.Files[0].Object.WordCount = 999;
    const TFreqList* Words = C.FreqList.get();
    C.SentenceIndexes.SetItem(0, nullptr);
    EXPECT_TRUE(CorpusNeedsProcessing());

    TRecordingMessenger Messages;
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(Messages.Messages(), (std::vector<int>{CM_SEGMENTINDEXDROPPED, CM_ALIGNMENTDROPPED}));
    EXPECT_EQ(Values(C.LineStarts.GetItem(0)), (std::vector<int32_t>{0, 99}));
    EXPECT_EQ(SegmentTexts(C.SectionIndexes.GetItem(0), "One two. Three"),
              std::vector<std::string>{"One two. Three"});
    EXPECT_EQ(SegmentTexts(C.SentenceIndexes.GetItem(0), "One two. Three"),
              (std::vector<std::string>{"One two.", "Three"}));
    // The frequency list existed, so the words were not counted again.
    EXPECT_EQ(C.FreqList.get(), Words);
    EXPECT_EQ(C.Files[0].Object.WordCount, 999);
}

TEST_F(DriverTest, RebuiltSegmentsDropTheFilesAlignmentPairs) {
    AddFile(0, "a.txt", "One. Two.");
    AddFile(0, "b.txt", "Three.");
    AddFile(1, "c.txt", "Un. Deux.");
    AddFile(1, "d.txt", "Trois.");
    ASSERT_TRUE(ProcessCorpus());
    Align12 = std::make_unique<TDoubleAlignIndexes>();
    Align12->Add(std::make_unique<TDoubleAlignIndex>());
    Align12->Add(std::make_unique<TDoubleAlignIndex>());
    const TDoubleAlignIndex* Kept = Align12->GetItem(1);
    LanguageConfigs[1]->ParagraphIndexes.SetItem(0, nullptr);

    TRecordingMessenger Messages;
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(Messages.Messages(), (std::vector<int>{CM_SEGMENTINDEXDROPPED, CM_ALIGNMENTDROPPED}));
    EXPECT_EQ(Messages.Entries[0].WParam, 1);
    EXPECT_EQ(Messages.Entries[1].WParam, 1);
    ASSERT_TRUE(Align12);
    EXPECT_EQ(Align12->GetItem(0), nullptr);
    EXPECT_EQ(Align12->GetItem(1), Kept);
    EXPECT_EQ(Present(1, 0), All);
}

TEST_F(DriverTest, AMissingFrequencyListRecountsEveryFileAndBuildsNothingElse) {
    AddFile(0, "a.txt", "a b a");
    AddFile(0, "b.txt", "c a");
    ASSERT_TRUE(ProcessCorpus());
    TConcordConfig& C = *LanguageConfigs[0];
    C.LineStarts.GetItem(1)->Add(77);
    C.FreqList.reset();
    C.Files[0].Object.WordCount = 0;
    ASSERT_TRUE(ProcessCorpus());
    ASSERT_TRUE(C.FreqList);
    EXPECT_EQ(C.FreqList->FindWord("a")->Frequency, 3);
    EXPECT_EQ(C.Files[0].Object.WordCount, 3);
    EXPECT_EQ(C.Files[1].Object.WordCount, 2);
    EXPECT_EQ(Values(C.LineStarts.GetItem(1)), (std::vector<int32_t>{0, 77}));
}

TEST_F(DriverTest, CancelOnTheSecondFileUndoesItAndStopsTheCorpus) {
    AddFile(0, "a.txt", "First file.");
    AddFile(0, "b.txt", "Second file.");
    AddFile(1, "c.txt", "Other language.");
    CancelAt("b.txt", 1);
    EXPECT_FALSE(ProcessCorpus());
    EXPECT_EQ(Present(0, 0), All);
    EXPECT_EQ(Present(0, 1), None);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_EQ(LanguageConfigs[0]->Files[1].Object.WordCount, 0);
    // The first file's count went with the list it was counted into: no partial total.
    EXPECT_EQ(LanguageConfigs[0]->Files[0].Object.WordCount, 0);
    // The next language was not started.
    EXPECT_EQ(Present(1, 0), None);
    EXPECT_FALSE(LanguageConfigs[1]->FreqList);

    CancelAt("b.txt", 2);
    EXPECT_EQ(ProcessLanguage(0), 2);

    Backend.OnProcessMessages = nullptr;
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_EQ(LanguageConfigs[0]->Files[1].Object.WordCount, 2);
}

// Thousands of small files: one window for a language's pass rather than one a file, and messages pumped
// by the clock rather than a hundred times a file; a cancel seen at a pump still stops the pass and
// undoes the file it came in.
TEST_F(DriverTest, ManySmallFilesShareOneWindowAndAPumpPacedByTheClock) {
    SetPassPumpInterval(20);
    struct TWaits : IWaitCursor {
        int Began = 0;
        void SetWaiting(bool Waiting) override { Began += Waiting; }
    } Waits;
    SetWaitCursor(&Waits);
    constexpr int Files = 600;
    for (int I = 0; I < Files; ++I)
        AddFile(I % 2, "f" + std::to_string(I) + ".txt",
                "<b>" + std::string(300 + I, 'a') + ".</b> word " + std::to_string(I));
    ASSERT_TRUE(ProcessCorpus());
    SetWaitCursor(nullptr);
    EXPECT_EQ(Backend.ViewsCreated, 2);
    // A wait refreshes the state of every command, which looks at every file: once a language.
    EXPECT_EQ(Waits.Began, 2);
    EXPECT_LT(Backend.ProcessMessagesCalls, Files / 4);
    EXPECT_EQ(ProgressForm, nullptr);
    for (int L = 0; L < 2; ++L)
        for (int I = 0; I < Files / 2; ++I) {
            ASSERT_EQ(Present(L, I), All);
            // A finished file keeps no room its lists will not fill.
            const TConcordConfig& C = *LanguageConfigs[L];
            const std::vector<const TIntegerList*> Lists{
                C.LineStarts.GetItem(I), C.PageStarts.GetItem(I), C.SectionIndexes.GetItem(I),
                C.ParagraphIndexes.GetItem(I), C.SentenceIndexes.GetItem(I)};
            for (const TIntegerList* List : Lists) ASSERT_EQ(List->Capacity(), List->Count());
            ASSERT_EQ(C.SentenceIndexes.GetItem(I)->RecordCapacity(), C.SentenceIndexes.GetItem(I)->Count());
            ASSERT_FALSE(C.FileTags.GetItem(I)->Entries().empty());
            for (const auto& [Name, Offsets] : C.FileTags.GetItem(I)->Entries())
                ASSERT_EQ(Offsets.Capacity(), Offsets.Count());
        }
    ASSERT_NE(LanguageConfigs[1]->FreqList->FindWord("word"), nullptr);
    EXPECT_EQ(LanguageConfigs[1]->FreqList->FindWord("word")->Frequency, Files / 2);

    // The first pump of a new pass comes at once, whenever the last one was.
    LanguageConfigs[0]->FreqList.reset();
    for (int I = 0; I < Files / 2; ++I) LanguageConfigs[0]->SentenceIndexes.SetItem(I, nullptr);
    std::string Stopped;
    Backend.OnProcessMessages = [&] {
        if (!ProgressForm || !Stopped.empty()) return;
        Stopped = ProgressForm->Text();
        ProgressForm->Tag = 1;
    };
    EXPECT_FALSE(ProcessCorpus());
    EXPECT_EQ(Stopped, LanguageConfigs[0]->Files[0].Name);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    for (int I = 0; I < Files / 2; ++I) EXPECT_EQ(LanguageConfigs[0]->SentenceIndexes.GetItem(I), nullptr);
    Backend.OnProcessMessages = nullptr;
    ASSERT_TRUE(ProcessCorpus());
    ASSERT_NE(LanguageConfigs[0]->FreqList->FindWord("word"), nullptr);
    EXPECT_EQ(LanguageConfigs[0]->FreqList->FindWord("word")->Frequency, Files / 2);
}

// The shared window's gauge runs over the bytes of every file the pass reads: at each step it stands
// between the bytes of the files before the one it shows and those up to that file's end, it never goes
// back, and it ends near the total. Files that need no reading count for nothing.
TEST_F(DriverTest, TheGaugeOfAPassRunsOverAllTheFilesItReads) {
    std::mt19937 Random(69);
    std::map<std::string, std::pair<int64_t, int64_t>> Span;  // path -> bytes before it, bytes up to its end
    const auto AddFiles = [&](int Count) {
        int64_t Total = 0;
        Span.clear();
        for (int I = 0; I < Count; ++I) {
            std::string Text;
            const int Words = 20 + int(Random() % 400);
            for (int W = 0; W < Words; ++W) Text += (W % 9 == 8 ? "end. " : "word ");
            const int F = AddFile(0, "g" + std::to_string(I) + ".txt", Text);
            Span[LanguageConfigs[0]->Files[size_t(F)].Name] = {Total, Total + int64_t(Text.size())};
            Total += int64_t(Text.size());
        }
        return Total;
    };
    struct TStep {
        std::string Text;
        int Progress, Max;
    };
    std::vector<TStep> Steps;
    Backend.OnProcessMessages = [&] {
        if (ProgressForm)
            Steps.push_back({ProgressForm->Text(), ProgressForm->Progress(), ProgressForm->Max()});
    };
    const auto Check = [&](int64_t Total) {
        ASSERT_FALSE(Steps.empty());
        int Last = 0;
        for (const TStep& Step : Steps) {
            ASSERT_EQ(Step.Max, Total);
            ASSERT_TRUE(Span.count(Step.Text)) << Step.Text;
            EXPECT_GE(Step.Progress, Span[Step.Text].first) << Step.Text;
            EXPECT_LE(Step.Progress, Span[Step.Text].second) << Step.Text;
            EXPECT_GE(Step.Progress, Last);
            Last = Step.Progress;
        }
        EXPECT_GE(Last, Total * 9 / 10);
    };
    const int64_t Total = AddFiles(40);
    ASSERT_TRUE(ProcessCorpus());
    Check(Total);

    // Only the files that lack an index are read again, and only they make up the gauge.
    Steps.clear();
    TConcordConfig& C = *LanguageConfigs[0];
    int64_t Again = 0;
    std::map<std::string, std::pair<int64_t, int64_t>> Reread;
    for (int I = 5; I < 40; I += 7) {
        C.LineStarts.SetItem(I, nullptr);
        const int64_t Size = C.Streams[size_t(I)]->GetSize();
        Reread[C.Files[size_t(I)].Name] = {Again, Again + Size};
        Again += Size;
    }
    Span = Reread;
    ASSERT_TRUE(ProcessCorpus());
    Check(Again);
}

TEST_F(DriverTest, CancelFreesOnlyWhatThisRunCreated) {
    AddFile(0, "a.txt", "First.");
    AddFile(0, "b.txt", "Second.");
    ASSERT_TRUE(ProcessCorpus());
    TConcordConfig& C = *LanguageConfigs[0];
    C.FileTags.SetItem(1, nullptr);
    const TIntegerList* Lines = C.LineStarts.GetItem(1);
    CancelAt("b.txt", 1);
    EXPECT_FALSE(ProcessCorpus());
    EXPECT_EQ(Present(0, 1), (std::vector<bool>{true, true, false, true, true, true}));
    EXPECT_EQ(C.LineStarts.GetItem(1), Lines);
    // The frequency list was not built by this run, so it stays.
    EXPECT_TRUE(C.FreqList);
}

TEST_F(DriverTest, AnErrorDuringAFileUndoesItAsACancelDoes) {
    AddFile(0, "a.txt", "First file.");
    AddFile(0, "b.txt", "Second file.");
    Backend.OnProcessMessages = [Path = Dir.File("b.txt")] {
        if (ProgressForm && ProgressForm->Text() == Path) throw std::runtime_error("read error");
    };
    EXPECT_THROW(ProcessCorpus(), std::runtime_error);
    EXPECT_EQ(Present(0, 0), All);
    EXPECT_EQ(Present(0, 1), None);
    EXPECT_FALSE(LanguageConfigs[0]->FreqList);
    EXPECT_TRUE(CorpusNeedsProcessing());
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(ProgressForm, nullptr);
}

// Words counted before a file's pass raised are not counted into the next pass's list.
TEST_F(DriverTest, AnErrorHalfWayThroughAFileLeavesNoCountBehind) {
    std::string Text;
    for (int I = 0; I < 100; ++I) Text += "second word ";
    AddFile(0, "a.txt", "First file.");
    AddFile(0, "b.txt", Text);
    int Calls = 0;
    Backend.OnProcessMessages = [&, Path = Dir.File("b.txt")] {
        if (ProgressForm && ProgressForm->Text() == Path && ++Calls == 50)
            throw std::runtime_error("read error");
    };
    EXPECT_THROW(ProcessCorpus(), std::runtime_error);
    Backend.OnProcessMessages = nullptr;
    ASSERT_TRUE(ProcessCorpus());
    const TFreqItem* Second = LanguageConfigs[0]->FreqList->FindWord("second");
    ASSERT_NE(Second, nullptr);
    EXPECT_EQ(Second->Frequency, 100);
    EXPECT_EQ(LanguageConfigs[0]->FreqList->FindWord("First")->Frequency, 1);
}

TEST_F(DriverTest, AnInvalidHeadingExpressionLeavesTheFileUnprocessed) {
    TConcordConfig& L = Lang(0);
    L.HeadingFormat = 2;
    L.HPattern = "(chapter";
    AddFile(0, "a.txt", "Text.");
    EXPECT_THROW(ProcessCorpus(), ERegExp);
    EXPECT_EQ(Present(0, 0), None);
    EXPECT_FALSE(L.FreqList);
    // Nothing was read, so no progress window was shown.
    EXPECT_EQ(Backend.ProcessMessagesCalls, 0);

    L.HPattern = "(chapter)";
    EXPECT_TRUE(ProcessCorpus());
}

TEST_F(DriverTest, AnInvalidMarkerIsReportedAlsoWhenOnlyTagsAreRebuilt) {
    TConcordConfig& L = Lang(0);
    L.ParagraphFormat = 0;
    L.PStart = "<p>";
    AddFile(0, "a.txt", "<p>Text.");
    ASSERT_TRUE(ProcessCorpus());
    const TAlignIndex* Sentences = L.SentenceIndexes.GetItem(0);
    // A marker whose expression is too big to compile.
    std::string TooBig;
    for (int I = 0; I < 20000; ++I) TooBig += "%d";
    L.PStop = TooBig;
    L.FileTags.SetItem(0, nullptr);
    EXPECT_THROW(ProcessCorpus(), ERegExp);
    EXPECT_EQ(Present(0, 0), (std::vector<bool>{true, true, false, true, true, true}));
    EXPECT_EQ(L.SentenceIndexes.GetItem(0), Sentences);
    EXPECT_TRUE(L.FreqList);

    L.PStop = "</p>";
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_FALSE(CorpusNeedsProcessing());
}

TEST_F(DriverTest, NoLanguageNeedsNothing) {
    LanguagesCount = 0;
    EXPECT_FALSE(CorpusNeedsProcessing());
    EXPECT_TRUE(ProcessCorpus());
}

TEST_F(DriverTest, LinesAndPagesOfAnOffset) {
    AddFile(0, "a.txt", "ab\ncd\nef");
    CommonConfig->PageSeparator = "<pb>";
    AddFile(0, "b.txt", "l1\nl2\n<pb>l3\nl4");
    ASSERT_TRUE(ProcessCorpus());
    CommonConfig->PageSeparator.clear();
    THitLocation At = GetHitLocation(0, 0, 0);
    EXPECT_EQ(At.Line, 1);
    EXPECT_EQ(GetHitLocation(0, 0, 5).Line, 2);
    EXPECT_EQ(GetHitLocation(0, 0, 6).Line, 3);
    // No page separator: no pages, even though the file has page starts.
    EXPECT_EQ(At.Page, -1);
    EXPECT_EQ(At.LineInPage, -1);
    EXPECT_FALSE(At.TagValues.has_value());

    CommonConfig->PageSeparator = "<pb>";
    At = GetHitLocation(0, 1, 14);
    EXPECT_EQ(At.Line, 4);
    EXPECT_EQ(At.Page, 2);
    EXPECT_EQ(At.LineInPage, 2);
    At = GetHitLocation(0, 1, 1);
    EXPECT_EQ(At.Page, 1);
    EXPECT_EQ(At.LineInPage, 1);

    LanguageConfigs[0]->LineStarts.SetItem(1, nullptr);
    At = GetHitLocation(0, 1, 14);
    EXPECT_EQ(At.Line, -1);
    EXPECT_EQ(At.Page, 2);
    EXPECT_EQ(At.LineInPage, -1);
    EXPECT_THROW(GetHitLocation(0, 2, 0), std::out_of_range);
    EXPECT_THROW(GetHitLocation(3, 0, 0), std::out_of_range);
}

TEST_F(DriverTest, APageStartingInsideALineCountsThatLineAsItsFirst) {
    CommonConfig->PageSeparator = "<pb>";
    AddFile(0, "a.txt", "l1\nab<pb>cd\nef\n<pb>gh");
    ASSERT_TRUE(ProcessCorpus());
    EXPECT_EQ(Values(LanguageConfigs[0]->PageStarts.GetItem(0)), (std::vector<int32_t>{0, 5, 15}));
    const struct {
        int32_t Offset, Line, Page, LineInPage;
    } Cases[] = {{4, 2, 1, 2}, {9, 2, 2, 1}, {13, 3, 2, 2}, {15, 4, 3, 1}, {19, 4, 3, 1}};
    for (const auto& Case : Cases) {
        const THitLocation At = GetHitLocation(0, 0, Case.Offset);
        EXPECT_EQ(At.Line, Case.Line) << Case.Offset;
        EXPECT_EQ(At.Page, Case.Page) << Case.Offset;
        EXPECT_EQ(At.LineInPage, Case.LineInPage) << Case.Offset;
    }
}

TEST_F(DriverTest, TrackedTagValues) {
    const std::string Text = "intro <div n=\"1\">\r\nA <div\r\n\tn=\"2\">B <title>The\r\nEnd</title> C";
    AddFile(0, "a.txt", Text);
    ASSERT_TRUE(ProcessCorpus());
    WatchedTags = {TWatchedTag("<div>", "", ""), TWatchedTag("<div>", "<title>", "</title>"),
                   TWatchedTag("<div>", "<none>", "x")};
    const int32_t AtA = static_cast<int32_t>(Text.find('A'));
    const int32_t AtEnd = static_cast<int32_t>(Text.size()) - 1;

    THitLocation At = GetHitLocation(0, 0, 0);
    ASSERT_TRUE(At.TagValues.has_value());
    EXPECT_EQ(*At.TagValues, (std::vector<std::string>{"N/A", "N/A", "N/A"}));

    // The whole tag with its delimiters; a line break becomes a blank and a tab goes.
    EXPECT_EQ(GetTrackedTagValue(0, 0, AtA, 0), "<div n=\"1\">");
    EXPECT_EQ(GetTrackedTagValue(0, 0, AtEnd, 0), "<div n=\"2\">");
    // With a stop marker the value runs to the end of the first tag that begins with the start marker.
    EXPECT_EQ(GetTrackedTagValue(0, 0, AtEnd, 1), "<div n=\"2\">B <title>");
    // Without such a tag it runs over everything read.
    EXPECT_EQ(GetTrackedTagValue(0, 0, AtEnd, 2), "<div n=\"2\">B <title>The End</title> C");
    EXPECT_THROW(GetTrackedTagValue(0, 0, 0, 3), std::out_of_range);

    LanguageConfigs[0]->FileTags.SetItem(0, nullptr);
    EXPECT_EQ(*GetHitLocation(0, 0, AtEnd).TagValues, (std::vector<std::string>{"N/A", "N/A", "N/A"}));
    EXPECT_EQ(GetTrackedTagValue(0, 0, AtEnd, 0), "");
}

TEST_F(DriverTest, TrackedTagValueReadsAtMost128BytesAndReadsANulByteAsABlank) {
    AddFile(0, "a.txt", "<a " + std::string(200, 'x') + ">");
    AddFile(0, "b.txt", std::string("<a>xy\0zz", 8));
    ASSERT_TRUE(ProcessCorpus());
    TConcordConfig& C = *LanguageConfigs[0];
    const TWatchedTag Open("<a>", "", "");
    EXPECT_EQ(TagValueAt(Open, *C.FileTags.GetItem(0), *C.Streams[0], 500), "<a " + std::string(125, 'x'));
    const TWatchedTag Closed("<a>", "<b>", "</b>");
    EXPECT_EQ(TagValueAt(Closed, *C.FileTags.GetItem(1), *C.Streams[1], 5), "<a>xy zz");
}

TEST_F(DriverTest, HashTagStopEndsTagsAtBlanks) {
    CommonConfig->TagStop = '#';
    AddFile(0, "a.txt", "<p id=5 rest");
    ASSERT_TRUE(ProcessCorpus());
    TConcordConfig& C = *LanguageConfigs[0];
    // The blank that ends the tag is part of the value without a stop marker, and not with one.
    EXPECT_EQ(TagValueAt(TWatchedTag("p", "", ""), *C.FileTags.GetItem(0), *C.Streams[0], 4), "<p ");
    EXPECT_EQ(TagValueAt(TWatchedTag("p", "p", "q"), *C.FileTags.GetItem(0), *C.Streams[0], 4), "<p");

    EXPECT_EQ(FindValueEnd("ab\tc d"), 2u);
    CommonConfig->TagStop = '>';
    EXPECT_EQ(FindValueEnd("ab c>d"), 4u);
    EXPECT_EQ(FindValueEnd("abc"), 3u);
}

TEST_F(DriverTest, LocaleCodePages) {
    EXPECT_EQ(LocaleCodePage(0x0419), 1251);
    EXPECT_EQ(LocaleCodePage(0x0411), 932);
    EXPECT_EQ(LocaleCodePage(0x0409), 1252);
    EXPECT_EQ(LocaleCodePage(0x7777), platform::SystemCodePage());
}

}  // namespace

// The corpus frequency lists against a plain count: files of two languages sharing words of every
// length, counted, dropped and counted again, and a language whose list folds case; every word's
// frequency and each file's word count must be those of splitting the text at its delimiters.
TEST_F(DriverTest, FrequencyListsAgreeWithAPlainCountAcrossFilesLanguagesAndRebuilds) {
    std::mt19937 Random(15);
    std::vector<std::string> Vocabulary;
    for (int I = 0; I < 300; ++I) {
        std::string Word;
        const int Length = 1 + static_cast<int>(Random() % 20);
        for (int K = 0; K < Length; ++K)
            Word += static_cast<char>((Random() % 7 == 0 ? 'A' : 'a') + Random() % 26);
        Vocabulary.push_back(Word);
    }
    const char* const Separators[] = {" ", ", ", ".\n", "  ", "\r\n"};
    std::map<std::string, int32_t> Expected[2];
    std::vector<int32_t> Counts[2];
    for (int L = 0; L < 2; ++L) {
        for (int F = 0; F < 4; ++F) {
            std::string Text;
            const int Words = 1 + static_cast<int>(Random() % 3000);
            for (int W = 0; W < Words; ++W) {
                const std::string& Word = Vocabulary[Random() % (L == 0 ? 300 : 150)];
                Text += Word + Separators[Random() % 5];
                ++Expected[L][L == 1 ? LangLowerCase(Word, 0) : Word];
            }
            AddFile(L, "f" + std::to_string(L) + std::to_string(F) + ".txt", Text);
            Counts[L].push_back(Words);
        }
    }
    FrequencyConfigs[1].IgnoreCase = true;
    for (int Round = 0; Round < 2; ++Round) {
        ASSERT_TRUE(ProcessCorpus());
        for (int L = 0; L < 2; ++L) {
            const TFreqList& List = *LanguageConfigs[L]->FreqList;
            ASSERT_EQ(List.Count(), static_cast<int32_t>(Expected[L].size())) << L;
            for (const auto& [Word, Frequency] : Expected[L]) {
                const TFreqItem* Item = List.FindWord(Word);
                ASSERT_NE(Item, nullptr) << Word;
                EXPECT_EQ(Item->Frequency, Frequency) << Word;
            }
            for (size_t F = 0; F < Counts[L].size(); ++F)
                EXPECT_EQ(LanguageConfigs[L]->Files[F].Object.WordCount, Counts[L][F]);
        }
        DropCorpusFreqLists(0, 1);
    }
}
