#include "shell/ParaLoadModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

class ParaLoadModelTest : public TCorpusTest {
protected:
    TConcordConfig& L0() { return *LanguageConfigs[0]; }
};

TParaLoadFiles Named(std::initializer_list<const char*> Names) {
    TParaLoadFiles Files;
    for (const char* Name : Names) Files.push_back({Name, -1, {}});
    return Files;
}

std::string Order(const TParaLoadFiles& Files) {
    std::string Text;
    for (const TParaLoadFile& F : Files) Text += F.Name;
    return Text;
}

// The drop rule spelled out: the moved files in their order, inserted before the target's position
// among the files that stay (at the end when dropped below the last file).
std::string OracleDrop(const std::string& Names, const std::vector<int>& Selected, int Target) {
    if (Names.size() < 2 || Selected.empty() || Target < 0 || Target > int(Names.size())) return Names;
    if (std::count(Selected.begin(), Selected.end(), Target)) return Names;
    std::string Moved, Before, After;
    for (int I = 0; I < int(Names.size()); ++I) {
        const bool Sel = std::count(Selected.begin(), Selected.end(), I) > 0;
        (Sel ? Moved : (I < Target ? Before : After)) += Names[size_t(I)];
    }
    return Before + Moved + After;
}

}  // namespace

TEST(ParaLoadRules, DroppingASelectionMatchesTheRuleSpelledOut) {
    std::mt19937 Random(7);
    for (int Round = 0; Round < 3000; ++Round) {
        const int Count = int(Random() % 7);
        std::string Names;
        TParaLoadFiles Files;
        for (int I = 0; I < Count; ++I) {
            Names += char('a' + I);
            Files.push_back({std::string(1, char('a' + I)), I, {}});
            Files.back().Record.WordCount = I;
        }
        std::vector<int> Selected;
        for (int I = 0; I < Count; ++I)
            if (Random() % 3 == 0) Selected.push_back(I);
        const int Target = Count == 0 ? 0 : int(Random() % (Count + 1));
        const std::vector<int> NewSelection = DropSelection(Files, Selected, Target);
        const std::string Expected = OracleDrop(Names, Selected, Target);
        ASSERT_EQ(Order(Files), Expected) << Names << " target " << Target;
        // Name, configured index and record travel together; the selection follows the moved files.
        for (const TParaLoadFile& F : Files) {
            ASSERT_EQ(F.ConfiguredIndex, F.Name[0] - 'a');
            ASSERT_EQ(F.Record.WordCount, F.ConfiguredIndex);
        }
        ASSERT_EQ(NewSelection.size(), Selected.size());
        for (size_t I = 0; I < Selected.size(); ++I)
            ASSERT_EQ(Files[size_t(NewSelection[I])].Name[0], Names[size_t(Selected[I])]);
    }
}

TEST(ParaLoadRules, Utf8BoxFollowsTheSelectionAndAClickMarksItWhole) {
    TParaLoadFiles Files = Named({"a", "b", "c", "d"});
    Files[1].Record.Converted = true;
    EXPECT_EQ(Utf8State(Files, {}), TCheckState::Unchecked);
    EXPECT_EQ(Utf8State(Files, {0, 2}), TCheckState::Unchecked);
    EXPECT_EQ(Utf8State(Files, {1}), TCheckState::Checked);
    const std::vector<int> Three{0, 1, 2};
    EXPECT_EQ(Utf8State(Files, Three), TCheckState::Grayed);
    const TCheckState Next = NextUtf8State(TCheckState::Grayed);
    EXPECT_EQ(Next, TCheckState::Checked);
    MarkSelectionUtf8(Files, Three, Next == TCheckState::Checked);
    EXPECT_EQ(Utf8State(Files, Three), TCheckState::Checked);
    EXPECT_FALSE(Files[3].Record.Converted);
    EXPECT_EQ(NextUtf8State(TCheckState::Checked), TCheckState::Unchecked);
    EXPECT_EQ(NextUtf8State(TCheckState::Unchecked), TCheckState::Checked);
}

TEST_F(ParaLoadModelTest, SnapshotComparesOnlyTheTextsItsFormatsUse) {
    L0().HeadingFormat = 3;
    L0().ParagraphFormat = 4;
    L0().SentenceFormat = 1;
    L0().SentenceExceptions = {"etc", "vs"};
    const TSavedConcordConfig Saved(0);
    L0().HPattern = "^Chapter";  // no heading format uses it
    L0().PStop = "</p>";         // paragraph format 4 compares PStart only
    L0().SStart = "<s>";         // automatic sentences compare the options
    EXPECT_FALSE(Saved.Differs());
    L0().PStart = "<p>";
    EXPECT_TRUE(Saved.Differs());
    L0().PStart = "";
    L0().SentenceExceptions = {"etc"};
    EXPECT_TRUE(Saved.Differs());
    L0().SentenceExceptions = {"etc", "vs"};
    L0().includeTrailingQuotes = true;
    EXPECT_TRUE(Saved.Differs());
    L0().HeadingFormat = 1;
    Saved.Restore();
    EXPECT_FALSE(Saved.Differs());
    EXPECT_EQ(L0().HeadingFormat, 3);
    EXPECT_FALSE(L0().includeTrailingQuotes);
    EXPECT_EQ(L0().SStart, "");
    EXPECT_EQ(L0().HPattern, "");

    L0().HeadingFormat = 0;
    L0().SentenceFormat = 0;
    const TSavedConcordConfig Markers(0);
    L0().HStop = "</h1>";
    EXPECT_TRUE(Markers.Differs());
    L0().HStop = "";
    L0().SentDelimiters = ";";  // sentence options count only for automatic sentences
    EXPECT_FALSE(Markers.Differs());
    L0().SStop = "</s> ";  // texts compare exactly
    EXPECT_TRUE(Markers.Differs());
    LanguageConfigs[0].reset();
    EXPECT_FALSE(Markers.Differs());
    Markers.Restore();  // nothing to restore into
}

TEST_F(ParaLoadModelTest, TextFormatStoresTrimmedTextsOfTheChosenFormatsOnly) {
    L0().HeadingFormat = 0;
    L0().HStart = "<h>";
    L0().PStart = "<p>";
    L0().PStop = "</p>";
    TTextFormatEdits E;
    E.HeadingFormat = 0;
    E.HStart = "  <h>\t";
    E.HStop = "";
    E.ParagraphFormat = 0;
    E.PStart = "<p>";
    E.PStop = "</p>";
    E.SentenceFormat = 1;
    E.SStart = "ignored";
    EXPECT_TRUE(ApplyTextFormat(L0(), E, false));  // the sentence format changed
    EXPECT_EQ(L0().SentenceFormat, 1);
    EXPECT_EQ(L0().SStart, "");
    EXPECT_FALSE(ApplyTextFormat(L0(), E, false)) << "blanks around a stored value are no change";
    EXPECT_EQ(L0().HStart, "<h>");

    E.ParagraphFormat = 3;  // Indented keeps the markers
    E.PStart = "x";
    EXPECT_TRUE(ApplyTextFormat(L0(), E, false));
    EXPECT_EQ(L0().ParagraphFormat, 3);
    EXPECT_EQ(L0().PStart, "<p>");

    E.HeadingFormat = 2;  // the regular expression page's edit goes to HPattern
    E.HPattern = " \\d+ ";
    EXPECT_TRUE(ApplyTextFormat(L0(), E, false));
    EXPECT_EQ(L0().HPattern, "\\d+");

    // Aligned: headings and paragraphs keep everything.
    E.HeadingFormat = 0;
    E.ParagraphFormat = 0;
    E.SentenceFormat = 0;
    E.SStart = " <s> ";
    EXPECT_TRUE(ApplyTextFormat(L0(), E, true));
    EXPECT_EQ(L0().HeadingFormat, 2);
    EXPECT_EQ(L0().ParagraphFormat, 3);
    EXPECT_EQ(L0().SStart, "<s>");

    // A stored format without an entry in its list stays unless an entry is picked; nothing outside
    // the lists is ever stored.
    L0().HeadingFormat = 3;
    L0().SentenceFormat = 2;
    TTextFormatEdits None;
    None.ParagraphFormat = 3;
    EXPECT_FALSE(ApplyTextFormat(L0(), None, false));
    EXPECT_EQ(L0().HeadingFormat, 3);
    EXPECT_EQ(L0().SentenceFormat, 2);
    None.HeadingFormat = 7;
    None.SentenceFormat = 255;
    EXPECT_FALSE(ApplyTextFormat(L0(), None, false));
    EXPECT_EQ(L0().HeadingFormat, 3);
    EXPECT_EQ(L0().SentenceFormat, 2);
}

TEST_F(ParaLoadModelTest, AddingFilesAsksWarnsAndSkipsByTheListsRule) {
    std::vector<TParaLoadFiles> Lists{Named({"/c/a.txt"}), Named({"/c/b.txt"})};
    const std::vector<std::string> Names{"English", "French"};
    auto IsText = [](const std::string& Name) { return Name.find(".bin") == std::string::npos; };
    // a.txt again: silent; A.txt: another file here; b.txt: French has it; x.bin: asked, No ends it all.
    Backend.Answers = {mrOk, mrNo};
    const std::vector<int> Added =
        AddChosenFiles(Lists, Names, 0, {"/c/a.txt", "/c/A.txt", "/c/b.txt", "/c/x.bin", "/c/y.txt"}, IsText);
    EXPECT_EQ(Added, (std::vector<int>{1}));
    EXPECT_EQ(Order(Lists[0]), "/c/a.txt/c/A.txt");
    EXPECT_EQ(Lists[0][1].ConfiguredIndex, -1);
    EXPECT_EQ(Backend.Texts(),
              (std::vector<std::string>{"File \"/c/b.txt\" already exists into French corpus.",
                                        "\"/c/x.bin\" does not seem to be a text file. Open anyway?"}));
    EXPECT_EQ(Backend.Messages[0].Type, mtWarning);
    Backend.Answers = {mrYes};
    EXPECT_EQ(AddChosenFiles(Lists, Names, 1, {"/c/x.bin", "/c/y.txt"}, IsText), (std::vector<int>{1, 2}));
    // An empty file is asked about as a binary one is: Yes adds it, No ends the Add.
    auto IsEmpty = [](const std::string& Name) { return Name.find("empty") != std::string::npos; };
    Backend.Messages.clear();
    Backend.Answers = {mrYes, mrNo};
    EXPECT_EQ(AddChosenFiles(Lists, Names, 0, {"/c/empty1.txt", "/c/z.txt", "/c/empty2.txt", "/c/w.txt"},
                             IsText, IsEmpty),
              (std::vector<int>{2, 3}));
    EXPECT_EQ(Backend.Texts(), (std::vector<std::string>{"\"/c/empty1.txt\" is empty. Open anyway?",
                                                         "\"/c/empty2.txt\" is empty. Open anyway?"}));
    EXPECT_EQ(FolderOf("/c/d/y.txt"), "/c/d/");
    EXPECT_EQ(FolderOf("y.txt"), "");
}

TEST_F(ParaLoadModelTest, FilesChangeByMarkRemovalAdditionOrPosition) {
    AddFile(0, "a.txt", "A");
    AddFile(0, "b.txt", "B");
    const TParaLoadFiles Configured = ConfiguredFiles(L0());
    EXPECT_FALSE(FilesChanged(Configured, L0()));
    TParaLoadFiles Files = Configured;
    Files[1].Record.Converted = true;
    EXPECT_TRUE(FilesChanged(Files, L0()));
    Files = Configured;
    Files.pop_back();
    EXPECT_TRUE(FilesChanged(Files, L0()));
    Files = Configured;
    Files.push_back({"c.txt", -1, {}});
    EXPECT_TRUE(FilesChanged(Files, L0()));
    Files = Configured;
    std::swap(Files[0], Files[1]);
    EXPECT_TRUE(FilesChanged(Files, L0()));
    RemoveSelection(Files, {1, 0, 1});
    EXPECT_TRUE(Files.empty());
}

TEST_F(ParaLoadModelTest, AFontReachesEveryDisplayFontInTheAnnouncedOrder) {
    for (int I = 0; I < ConfigFontCount; ++I) {
        L0().Fonts[size_t(I)] = {"Old", -(10 + I), fsItalic, TColor(I), 0};
    }
    TRecordingMessenger Messenger;
    std::vector<std::string> SeenAtBroadcast;
    Messenger.OnBroadcast = [&](int, intptr_t, intptr_t Font) {
        SeenAtBroadcast.push_back(L0().Fonts[size_t(Font)].Name);
    };
    const TFontSpec Chosen{"Serif", 14, fsBold, clRed, 238};
    ApplyLanguageFont(0, Chosen);
    std::vector<intptr_t> Order;
    for (const auto& E : Messenger.Entries) {
        EXPECT_EQ(E.Msg, CM_FONTCHANGED);
        EXPECT_EQ(E.WParam, 0);
        Order.push_back(E.LParam);
    }
    EXPECT_EQ(Order, (std::vector<intptr_t>{0, 1, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(SeenAtBroadcast.front(), "Old") << "the first announcement comes before any change";
    EXPECT_EQ(L0().Fonts[SystemFont], Chosen);
    EXPECT_EQ(L0().Fonts[NormalFont], Chosen);
    for (int I : {1, 3, 4, 5, 6, 7, 8}) {
        const TFontSpec& F = L0().Fonts[size_t(I)];
        EXPECT_EQ(F, (TFontSpec{"Serif", 10 + I, fsItalic, TColor(I), 238})) << I;
    }
}

TEST_F(ParaLoadModelTest, LanguageCountCopiesTheLastLanguageAndRemovesFromTheEnd) {
    L0().SentDelimiters = ";";
    L0().Fonts[CorpusFont].Name = "Mono";
    FrequencyConfigs[0].MinimumFrequency = 5;
    TRecordingMessenger Messenger;
    SetCorpusLanguageCount(3, false, {});
    ASSERT_EQ(LanguagesCount, 3);
    for (int L : {1, 2}) {
        EXPECT_EQ(LanguageConfigs[size_t(L)]->SentDelimiters, ";");
        EXPECT_EQ(LanguageConfigs[size_t(L)]->Fonts[CorpusFont].Name, "Mono");
        EXPECT_EQ(LanguageConfigs[size_t(L)]->LocaleId, 0u) << "undefined until chosen";
        EXPECT_EQ(FrequencyConfigs[size_t(L)].MinimumFrequency, 5);
    }
    EXPECT_EQ(L0().LocaleId, 1033u) << "not a new corpus: language 0 keeps its language";
    AddFile(2, "c.txt", "C");
    Align13 = std::make_unique<TDoubleAlignIndexes>();
    Align13->Add(nullptr);
    SetCorpusLanguageCount(2, false, {});
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_FALSE(LanguageConfigs[2]);
    EXPECT_FALSE(Align13) << "its pairs with language 0 go with it";
    EXPECT_NE(std::find(Messenger.Messages().begin(), Messenger.Messages().end(), CM_REMOVELANGUAGE),
              Messenger.Messages().end());

    L0().SetLanguage(1036, "French (France)");
    SetCorpusLanguageCount(2, true, {});
    EXPECT_EQ(L0().LocaleId, platform::UserDefaultLangId()) << "a new corpus resets language 0 every time";
}

TEST_F(ParaLoadModelTest, PanelsKeepTheirEditsAndEveryPanelHasItsSnapshot) {
    AddFile(0, "a.txt", "A");
    Lang(1);
    TParaLoadModel Model(false);
    EXPECT_EQ(Model.SetLanguageCount(2), 0);
    EXPECT_FALSE(Model.ChangesPending());
    Model.Panel(0).Files.clear();
    EXPECT_TRUE(Model.ChangesPending());
    EXPECT_EQ(Model.SetLanguageCount(3), 2);
    EXPECT_TRUE(Model.Panel(0).Files.empty()) << "raising the count keeps the open panels' edits";
    EXPECT_EQ(Model.Panel(2).LCID, 0u);
    EXPECT_TRUE(Model.HasUndefinedPanel());
    EXPECT_TRUE(Model.HasUndefinedConfiguration());
    // The added language's text format is compared and restored like the others.
    LanguageConfigs[2]->SentenceFormat = 1;
    EXPECT_TRUE(Model.Panel(2).Snapshot->Differs());
    EXPECT_TRUE(Model.ChangesPending(true));
    Model.RestoreSnapshots();
    EXPECT_EQ(LanguageConfigs[2]->SentenceFormat, 0);

    std::vector<int> Removed;
    Model.SetLanguageCount(2, [&](int L) { Removed.push_back(L); });
    EXPECT_EQ(Removed, std::vector<int>{2});
    EXPECT_EQ(Model.PanelCount(), 2);
    EXPECT_TRUE(Model.Panel(0).Files.empty());

    // A chosen language counts as a change; an unchosen one does not.
    Model.Panel(0).Files = ConfiguredFiles(L0());
    EXPECT_FALSE(Model.ChangesPending());
    Model.Panel(1).LCID = 1036;
    EXPECT_TRUE(Model.ChangesPending());
    Model.Panel(1).LCID = 1033;
    Model.Panel(1).Font.Size = 12;
    Model.AlignFormat = 3;
    EXPECT_TRUE(Model.AlignFormatChanged());
    Model.ApplyChanges();
    EXPECT_EQ(CommonConfig->AlignFormat, 3);
    EXPECT_EQ(LanguageConfigs[1]->Fonts[NormalFont].Size, 12);
    EXPECT_FALSE(Model.ChangesPending());
}

TEST_F(ParaLoadModelTest, OkHandsEachListToTheLoaderWithItsMarksAndLanguage) {
    const std::string A = Dir.Write("a.txt", "one two three");
    const std::string B = Dir.Write("b.txt", "\xC3\xA9t\xC3\xA9 deux");
    TParaLoadModel Model(true);
    Model.SetLanguageCount(2);
    ASSERT_EQ(LanguagesCount, 2);
    Model.Panel(0).Files = {{A, -1, {}}};
    Model.Panel(1).Files = {{B, -1, {}}};
    Model.Panel(1).Files[0].Record.Converted = true;
    Model.Panel(1).LCID = 1036;
    Model.Panel(1).Name = "French (France)";
    Model.ApplyChanges();
    Model.HandOverFiles();
    ASSERT_EQ(LanguageConfigs[0]->Files.size(), 1u);
    ASSERT_EQ(LanguageConfigs[1]->Files.size(), 1u);
    EXPECT_EQ(LanguageConfigs[1]->Files[0].Name, B);
    EXPECT_TRUE(LanguageConfigs[1]->Files[0].Object.Converted);
    EXPECT_EQ(ReadWholeFile(LanguageConfigs[1]->Files[0].Object.CopyName), "\xE9t\xE9 deux");
    EXPECT_EQ(LanguageConfigs[1]->LocaleId, 1036u);
    EXPECT_EQ(LanguageConfigs[1]->LanguageName, "French (France)");
}
