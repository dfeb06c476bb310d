#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "controls/ConcFormUtils.h"
#include "controls/FileDialogs.h"
#include "controls/InpQuery.h"
#include "engine/ConcFreqList.h"
#include "results/ConcFreqOptions.h"
#include "results/ConcFreqOutOptions.h"
#include "results/ConcHotWordsOptions.h"
#include "results/ConcStopList.h"
#include "results/ConcWordListForm.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

using dialogchecks::ClickThroughWindow;
using dialogchecks::OnModal;

class WordListTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(1);
        for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
        AddFile(0, "en.txt", "the cat and the dog and the bird\r\n");
        AddFile(1, "fr.txt", "le chat et le chien\r\n");
        Area.resize(900, 600);
        Area.show();
        // Broadcasts reach the area's windows as the main window delivers them: last to first, each one
        // still open.
        Messenger.OnBroadcast = [this](int Msg, intptr_t WParam, intptr_t LParam) {
            const QList<QMdiSubWindow*> Subs = Area.subWindowList();
            for (auto It = Subs.rbegin(); It != Subs.rend(); ++It) {
                auto* Form = qobject_cast<TAppMessageForm*>((*It)->widget());
                if (Form && !Form->IsClosing()) Form->HandleAppMessage(Msg, WParam, LParam);
            }
        };
    }
    void TearDown() override {
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
        SetFileDialog(nullptr);
        TCorpusTest::TearDown();
    }
    std::vector<std::string> Column(const TWordListGrid& Grid, int Col) {
        std::vector<std::string> Texts;
        for (int Row = 1; Row <= Grid.Items().Count(); ++Row) Texts.push_back(Grid.GetCellText(Col, Row));
        return Texts;
    }
    int OpenLists() {
        QApplication::processEvents();
        int Count = 0;
        for (QMdiSubWindow* Sub : Area.subWindowList())
            if (qobject_cast<TWordListForm*>(Sub->widget()) && Sub->isVisible()) ++Count;
        return Count;
    }

    QMdiArea Area;
    TRecordingMessenger Messenger;
};

}  // namespace

TEST_F(WordListTest, CorpusListsOpenOncePerLanguageAndOrderAndCloseWhenTheSettingsChange) {
    FrequencyConfigs[0].MaximumLines = 2;
    TWordListForm* Freq = ShowWordList(&Area, 0, false);
    ASSERT_NE(Freq, nullptr);
    EXPECT_EQ(Freq->windowTitle(), "Corpus Frequency List - English (United States)");
    TWordListGrid* Grid = Freq->Grid(0);
    ASSERT_NE(Grid, nullptr);
    EXPECT_EQ(Freq->Grid(1), nullptr);
    EXPECT_EQ(Column(*Grid, 2), (std::vector<std::string>{"the", "and"}));  // two lines at most
    EXPECT_EQ(Column(*Grid, 1), (std::vector<std::string>{"37.5000%", "25.0000%"}));
    EXPECT_EQ(Grid->model()->headerData(1, Qt::Horizontal).toString(), "Pct");
    EXPECT_EQ(Grid->model()->index(0, 2).data().toString(), "the");

    FrequencyConfigs[0].MaximumLines = 0;
    TWordListForm* Alpha = ShowWordList(&Area, 0, true);
    ASSERT_NE(Alpha, Freq);
    EXPECT_EQ(Column(*Alpha->Grid(0), 2), (std::vector<std::string>{"and", "bird", "cat", "dog", "the"}));
    EXPECT_EQ(ShowWordList(&Area, 0, true), Alpha);  // brought to the front, not made again
    EXPECT_EQ(Area.activeSubWindow()->widget(), Alpha);
    Messenger.Entries.clear();
    EXPECT_EQ(ShowWordList(&Area, 0, false), Freq);
    QApplication::processEvents();
    // Activating a word list clears the status text that another window left.
    const auto Posts = std::count_if(Messenger.Entries.begin(), Messenger.Entries.end(), [](const auto& E) {
        return E.Kind == TRecordingMessenger::rkPost && E.Text.empty();
    });
    EXPECT_GE(Posts, 1);

    TWordListForm* All = ShowWordList(&Area, -1, false);
    EXPECT_EQ(All->windowTitle(), "Corpus Frequency List - All");
    ASSERT_NE(All->Grid(1), nullptr);
    EXPECT_EQ(All->Label(1)->text(), "English (United States)");
    EXPECT_EQ(Column(*All->Grid(1), 2).front(), "le");
    EXPECT_EQ(OpenLists(), 3);

    // The settings of language 1 change: its list and the all-languages list go, language 0's stay.
    BroadcastToChildren(CM_FREQSETTINGSCHANGED, 1, 0);
    EXPECT_EQ(OpenLists(), 2);
    EXPECT_TRUE(All->IsClosing());
    // Receiving the message twice (as the options dialog sends it) does no harm.
    BroadcastToChildren(CM_FREQSETTINGSCHANGED, 0, 1);
    BroadcastToChildren(CM_FREQSETTINGSCHANGED, 0, 1);
    EXPECT_EQ(OpenLists(), 0);
}

TEST_F(WordListTest, CollocationListsKeepEveryEntryAndLiveWithTheirOwner) {
    auto* Owner = new QWidget;
    TFreqList List(0);
    List.AddWord("the", 9);
    List.AddWord("rare", 1);
    List.SortByFrequency();
    FrequencyConfigs[0].MinimumFrequency = 5;
    TWordListForm* Form = TWordListForm::CreateForList(&Area, Owner, 0, TWordListMode::AdvancedCollocation);
    Form->AddFreqList(0, 10, 0, List);
    Form->SetCaptions("Advanced Collocation", {});
    EXPECT_EQ(Column(*Form->Grid(0), 2), (std::vector<std::string>{"the", "rare"}));

    BroadcastToChildren(CM_FREQSETTINGSCHANGED, 0, 1);  // not a corpus list
    BroadcastToChildren(CM_COLLOCSETTINGSCHANGED, 0, 3);
    BroadcastToChildren(CM_COLLOCDATADROPPED, reinterpret_cast<intptr_t>(&Area), 0);  // another owner
    EXPECT_EQ(OpenLists(), 1);
    delete Owner;
    EXPECT_EQ(OpenLists(), 0);

    auto* Second = new QWidget;
    TWordListForm::CreateForList(&Area, Second, 0, TWordListMode::AdvancedCollocation);
    BroadcastToChildren(CM_COLLOCSETTINGSCHANGED, 0, 4);
    EXPECT_EQ(OpenLists(), 0);
    TWordListForm::CreateForList(&Area, Second, -1, TWordListMode::AdvancedCollocation);
    BroadcastToChildren(CM_COLLOCDATADROPPED, reinterpret_cast<intptr_t>(Second), 1);
    EXPECT_EQ(OpenLists(), 0);
    delete Second;
}

TEST_F(WordListTest, GridShowsFocusFontsAndCopiesListViews) {
    TWordListForm* All = ShowWordList(&Area, -1, false);
    ASSERT_NE(All, nullptr);
    QApplication::setActiveWindow(&Area);
    ClickThroughWindow(All->Grid(1)->viewport());
    EXPECT_EQ(All->FocusedLanguage(), 1);
    // The two grids share the width; each fills the height below the label panel.
    EXPECT_EQ(All->Grid(1)->x(), All->width() / 2);
    EXPECT_EQ(All->Grid(0)->y(), All->TopPanel()->height());

    TFontSpec Big = LanguageConfigs[1]->Fonts[FrequencyFont];
    Big.Size = 20;
    SetFontDialog([&](TFontSpec& F) {
        F = Big;
        return true;
    });
    const int Before = All->Grid(1)->verticalHeader()->defaultSectionSize();
    All->ChangeFontAction()->trigger();
    EXPECT_GT(All->Grid(1)->verticalHeader()->defaultSectionSize(), Before);
    EXPECT_EQ(All->Grid(0)->verticalHeader()->defaultSectionSize(), Before);
    SetFontDialog(nullptr);

    QTreeWidget Tree;
    Tree.setColumnCount(3);
    Tree.setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (int I = 0; I < 300; ++I)
        new QTreeWidgetItem(&Tree, {"", QString::number(I), I == 1 ? "" : "w" + QString::number(I)});
    Tree.show();
    Tree.setCurrentItem(Tree.topLevelItem(1));
    CopyListToClipboard(&Tree);
    const QString All300 = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(All300.startsWith("0\tw0\r\n1\t\r\n2\tw2\r\n"));
    EXPECT_EQ(All300.count("\r\n"), 300);
    ClearListWithProgress("Collocates", &Tree);
    EXPECT_EQ(Tree.topLevelItemCount(), 0);
}

// Every count and share is shown whole: a count of millions or a share of ten percent and more must not
// lose its first digits at the cell's edge, in the grid's own font and in a larger one.
TEST_F(WordListTest, NumberColumnsShowTheirWidestNumbersWhole) {
    TWordListGrid Grid(0);
    Grid.resize(420, 300);
    Grid.AddItem(12345678, "the", 100.0);
    Grid.AddItem(7, "of", 23.6842);
    Grid.ItemsChanged();
    Grid.show();
    for (const int PointSize : {0, 18}) {
        if (PointSize) {
            QFont Big = Grid.font();
            Big.setPointSize(PointSize);
            Grid.SetGridFont(Big);
        }
        // As the cell lays its text out, padding included.
        for (int Row = 0; Row < 2; ++Row)
            for (int Col = 0; Col < 2; ++Col) {
                const QModelIndex Cell = Grid.model()->index(Row, Col);
                QStyleOptionViewItem Option;
                Option.initFrom(Grid.viewport());
                Option.rect = Grid.visualRect(Cell);
                Option.font = Grid.font();
                Option.features = QStyleOptionViewItem::HasDisplay;
                Option.text = Cell.data().toString();
                const QRect Text = Grid.style()->subElementRect(QStyle::SE_ItemViewItemText, &Option, &Grid);
                EXPECT_LE(QFontMetrics(Grid.font()).horizontalAdvance(Option.text), Text.width())
                    << Option.text.toStdString() << " at " << PointSize;
            }
    }
    // A list of short counts gives the room back.
    const int Wide = Grid.columnWidth(0);
    Grid.ClearItems();
    Grid.AddItem(3, "a", 1.5);
    Grid.ItemsChanged();
    EXPECT_LT(Grid.columnWidth(0), Wide);
}

TEST_F(WordListTest, OptionsApplyOnlyWhenAcceptedAndTellTheWindows) {
    LanguageConfigs[0]->StopList.SetWords({"the"});
    LanguageConfigs[0]->StopList.SetActive(false);
    TRecordingMessenger Recorder;
    {
        TFreqConfigForm Form(0, false);
        Form.show();
        EXPECT_FALSE(Form.MaxFreqLabel->isEnabled());
        ClickThroughWindow(Form.ContentWordsRadio);  // the list has words: no editor
        ClickThroughWindow(Form.IgnoreCaseCheck);
        Form.MaxFreqUpDown->setValue(40);
        EXPECT_TRUE(Form.MaxFreqLabel->isEnabled());
        // Another language shown and back: the first one's edits are kept in the dialog only.
        Form.LanguageCombo->setCurrentIndex(1);
        emit Form.LanguageCombo->activated(1);
        EXPECT_FALSE(Form.IgnoreCaseCheck->isChecked());
        emit Form.LanguageCombo->activated(0);
        EXPECT_TRUE(Form.IgnoreCaseCheck->isChecked());
        Backend.Answers = {mrNo};
        ClickThroughWindow(Form.CancelBtn);
        EXPECT_EQ(Form.result(), QDialog::Rejected);
    }
    // Declined: neither the record nor the stop list's activation changed, and nobody was told.
    EXPECT_FALSE(FrequencyConfigs[0].IgnoreCase);
    EXPECT_FALSE(LanguageConfigs[0]->StopList.Active);
    EXPECT_TRUE(Recorder.Messages().empty());
    ASSERT_EQ(Backend.Texts().size(), 1u);

    TFreqConfigForm Form(0, true);
    Form.show();
    EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
    EXPECT_FALSE(Form.LanguageCombo->isEnabled());
    ClickThroughWindow(Form.ContentWordsRadio);
    Form.MaxLinesEdit->setText("2000000");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_TRUE(LanguageConfigs[0]->StopList.Active);
    EXPECT_EQ(FrequencyConfigs[0].MaximumLines, 950000);
    EXPECT_FALSE(FrequencyConfigs[0].CountAllWords);
    // The stop list filters the counted list, which stays: only the dialog's own messages go.
    EXPECT_EQ(Recorder.Messages(), (std::vector<int>{CM_FREQSETTINGSCHANGED, CM_FREQSETTINGSCHANGED,
                                                     CM_COLLOCSETTINGSCHANGED, CM_COLLOCSETTINGSCHANGED}));

    // Nothing changed: OK closes as cancelled and says nothing.
    Recorder.Entries.clear();
    TFreqConfigForm Same(0, false);
    Same.show();
    ClickThroughWindow(Same.OkBtn);
    EXPECT_EQ(Same.result(), QDialog::Rejected);
    EXPECT_TRUE(Recorder.Messages().empty());
}

TEST_F(WordListTest, StopListEditorAddsOnceSavesLoadsAndKeepsEditedWords) {
    TStopList List(0);
    List.SetWords({"The"});
    {
        TStopListForm Form(0, List);
        Form.show();
        EXPECT_EQ(Form.windowTitle(), "View Stop List - English (United States)");
        EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
        EXPECT_FALSE(Form.RemoveBtn->isEnabled());
        EXPECT_TRUE(Form.ClearBtn->isEnabled());
        OnModal<TInputQueryForm>([](TInputQueryForm* F) {
            F->EditBox->setText("a, b a the");
            ClickThroughWindow(F->OkBtn);
        });
        ClickThroughWindow(Form.AddBtn);
        EXPECT_EQ(Form.Words(), (std::vector<std::string>{"a", "b", "The"}));  // "the" is "The"

        // A save to a name without extension gets ".TXT"; the folder is remembered.
        SetFileDialog([&](const TFileDialogRequest& R) {
            EXPECT_EQ(R.Title, "Save Stop List");
            return std::vector<std::string>{Dir.File("stop")};
        });
        ClickThroughWindow(Form.SaveBtn);
        EXPECT_EQ(ReadWholeFile(Dir.File("stop.TXT")), "a\r\nb\r\nThe\r\n");
        EXPECT_EQ(Form.FileLabel->text(), "stop.TXT");
        EXPECT_EQ(LanguageConfigs[0]->StopListPath, Dir.Path().string());

        // Changed after the save: OK keeps the words in the preferences, not with the stale file.
        Form.WordsList->setCurrentRow(0);
        EXPECT_TRUE(Form.RemoveBtn->isEnabled());
        ClickThroughWindow(Form.RemoveBtn);
        ClickThroughWindow(Form.OkBtn);
        EXPECT_EQ(Form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(List.Words(), (std::vector<std::string>{"b", "The"}));
    EXPECT_EQ(List.FileName, "");
    EXPECT_TRUE(List.Active);

    // Loading keeps the file's words as they are, and the file while the words stay unchanged.
    const std::string File = Dir.Write("words.txt", "the\r\nThe\n\n  of \r");
    {
        TStopListForm Form(0, List);
        Form.show();
        SetFileDialog([&](const TFileDialogRequest&) { return std::vector<std::string>{File}; });
        ClickThroughWindow(Form.LoadBtn);
        EXPECT_EQ(Form.Words().size(), 3u);
        ClickThroughWindow(Form.OkBtn);
    }
    EXPECT_EQ(List.FileName, File);
    EXPECT_EQ(List.Words().size(), 3u);

    // A failed save names the file and forgets it; Cancel with changes asks, No leaves the list.
    {
        TStopListForm Form(0, List);
        Form.show();
        SetFileDialog(
            [&](const TFileDialogRequest&) { return std::vector<std::string>{"/nonexistent/x/stop"}; });
        Form.ClearBtn->setEnabled(true);
        Backend.Answers = {mrOk};
        ClickThroughWindow(Form.ClearBtn);
        EXPECT_TRUE(Form.Words().empty());
        EXPECT_FALSE(Form.ClearBtn->isEnabled());
        ClickThroughWindow(Form.SaveBtn);
        EXPECT_EQ(Backend.Texts().back(), "Unable to save to file \r\n/nonexistent/x/stop.TXT");
        EXPECT_EQ(Form.FileName(), "");
        Backend.Answers = {mrNo};
        ClickThroughWindow(Form.CancelBtn);
        EXPECT_EQ(Form.result(), QDialog::Rejected);
    }
    EXPECT_EQ(List.Words().size(), 3u);
}

TEST_F(WordListTest, OutputOptionsNameOneLanguageOrOfferAll) {
    TFreqOutOptions One{1, 40000, true};
    int SetUps = 0;
    TConcFreqOutForm Form(
        "Frequency - Print Options", [&] { ++SetUps; }, One);
    Form.show();
    EXPECT_EQ(Form.LanguageCombo, nullptr);
    EXPECT_EQ(Form.LanguageLabel->text(), "Language: English (United States)");
    ASSERT_NE(Form.PrinterBtn, nullptr);
    ClickThroughWindow(Form.PrinterBtn);
    EXPECT_EQ(SetUps, 1);
    const TFreqOutOptions Got = Form.Options();
    EXPECT_EQ(Got.Language, 1);
    EXPECT_EQ(Got.MaxLines, 32767);
    EXPECT_TRUE(Got.IncludeFrequencies);

    TFreqOutOptions Options{-1, 10, false};
    OnModal<TConcFreqOutForm>([](TConcFreqOutForm* F) {
        EXPECT_EQ(F->PrinterBtn, nullptr);
        EXPECT_EQ(dialogchecks::MnemonicClashes(F), std::vector<std::string>{});
        EXPECT_EQ(F->LanguageCombo->currentText(), "All");
        F->LanguageCombo->setCurrentIndex(2);
        ClickThroughWindow(F->IncludeFreqCheck);
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_TRUE(ShowFreqOutOptions("Frequency - Save as File Options", nullptr, Options));
    EXPECT_EQ(Options.Language, 1);
    EXPECT_EQ(Options.MaxLines, 10);
    EXPECT_TRUE(Options.IncludeFrequencies);
}

// Every number field takes digits (a threshold also the decimal point) and beeps at anything else; a
// digit that would pass a field's range is not taken. Thresholds show as short numbers, and one left as
// shown keeps its exact value.
TEST_F(WordListTest, NumberFieldsTakeDigitsAndBeepAtAnythingElse) {
    int Beeps = 0;
    SetBeepHook([&Beeps] { ++Beeps; });
    auto Type = [](QWidget* Field, const char* Keys) {
        if (auto* Box = qobject_cast<QSpinBox*>(Field)) Box->selectAll();
        if (auto* Edit = qobject_cast<QLineEdit*>(Field)) Edit->clear();
        QTest::keyClicks(Field, Keys);
    };
    {
        TFreqConfigForm Form(0, false);
        Form.show();
        for (QWidget* Field : std::initializer_list<QWidget*>{Form.MinFreqUpDown, Form.MaxFreqUpDown,
                                                              Form.MaxLinesEdit, Form.HighlightUpDown}) {
            Beeps = 0;
            Type(Field, "1a2-");
            EXPECT_EQ(Beeps, 2) << Field->metaObject()->className();
        }
        EXPECT_EQ(Form.MinFreqUpDown->value(), 12);
        EXPECT_EQ(Form.MaxLinesEdit->text(), "12");
    }
    {
        TFreqOutOptions Options{0, 10, false};
        TConcFreqOutForm Form("Frequency - Save as File Options", {}, Options);
        Form.show();
        Beeps = 0;
        // At most 32767 lines: the digit that would pass it is not taken.
        Type(Form.MaxLinesUpDown, "4x0000");
        EXPECT_EQ(Beeps, 1);
        EXPECT_EQ(Form.Options().MaxLines, 4000);
        Type(Form.MaxLinesUpDown, "32767");
        EXPECT_EQ(Form.Options().MaxLines, 32767);
    }
    const THotWordsOptions Options{0.1 + 0.2, true, 2.0 / 3.0, 0.0001};
    {
        THotWordsOptionsForm Form(0, hoHotWords, {{5, 10}, 4}, Options);
        Form.show();
        EXPECT_EQ(Form.RankThresholdEdit->text(), "0.3");
        EXPECT_EQ(Form.ParadigmThresholdEdit->text(), "0.666667");
        Beeps = 0;
        Type(Form.MaxCandidatesEdit, "2.0");
        Type(Form.ParadigmRankThresholdEdit, "0,5e");
        EXPECT_EQ(Beeps, 3);
        EXPECT_EQ(Form.MaxCandidatesEdit->value(), 20);
        EXPECT_EQ(Form.ParadigmRankThresholdEdit->text(), "05");
        ClickThroughWindow(Form.OkBtn);
        ASSERT_EQ(Form.result(), QDialog::Accepted);
        // The thresholds left as shown are the very values given, not their rounding.
        EXPECT_EQ(Form.Options(), (THotWordsOptions{0.1 + 0.2, true, 2.0 / 3.0, 5}));
    }
    {
        THotWordsOptionsForm Form(0, hoHotWords, {{5, 10}, 4}, Options);
        Form.show();
        ClickThroughWindow(Form.OkBtn);
        EXPECT_EQ(Form.result(), QDialog::Rejected);  // nothing changed
    }
    SetBeepHook(nullptr);
}

// "Content words only" with an empty stop list opens the editor; "&Clear" empties a list only when the
// user confirms.
TEST_F(WordListTest, ContentWordsOpenTheEditorAndClearingAsksFirst) {
    LanguageConfigs[0]->StopList.SetWords({});
    bool Edited = false;
    OnModal<TStopListForm>([&Edited](TStopListForm* F) {
        Edited = true;
        ClickThroughWindow(F->CancelBtn);
    });
    TFreqConfigForm Form(0, false);
    Form.show();
    ClickThroughWindow(Form.AllWordsRadio);
    ClickThroughWindow(Form.ContentWordsRadio);
    EXPECT_TRUE(Edited);

    TStopList List(0);
    List.SetWords({"a", "b"});
    TStopListForm Editor(0, List);
    Editor.show();
    Backend.Answers = {mrCancel};
    ClickThroughWindow(Editor.ClearBtn);
    EXPECT_EQ(Editor.Words().size(), 2u);
    ASSERT_FALSE(Backend.Texts().empty());
    EXPECT_EQ(Backend.Texts().back(), "Remove all words from stop list?");
    Backend.Answers = {mrOk};
    ClickThroughWindow(Editor.ClearBtn);
    EXPECT_TRUE(Editor.Words().empty());
}
