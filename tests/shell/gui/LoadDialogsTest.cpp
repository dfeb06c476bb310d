#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>

#include "controls/FileDialogs.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "results/ConcSentOptions.h"
#include "shell/ConcParaLoad.h"
#include "shell/concTxtCfgDialog.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

using dialogchecks::OnModal;

QStringList Items(const QListWidget* List) {
    QStringList Texts;
    for (int I = 0; I < List->count(); ++I) Texts << List->item(I)->text();
    return Texts;
}

void Select(QListWidget* List, std::initializer_list<int> Rows) {
    List->clearSelection();
    for (int Row : Rows) List->item(Row)->setSelected(true);
}

// Picks entry Name of a language box as the user does.
void ChooseLanguage(QComboBox* Box, const std::string& Name) {
    const int Entry = Box->findText(QString::fromStdString(Name));
    ASSERT_GE(Entry, 0) << Name;
    Box->setCurrentIndex(Entry);
    emit Box->activated(Entry);
}

class LoadDialogsTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        LoadInstalledLanguagesFrom({1033, 1036, 1031});
        SetProgramTerminator([this] { ++Terminated; });
    }
    void TearDown() override {
        SetFileDialog(nullptr);
        SetFontDialog(nullptr);
        SetProgramTerminator(nullptr);
        FreeInstalledLanguages();
        TCorpusTest::TearDown();
    }
    TConcordConfig& L(int I) { return *LanguageConfigs[size_t(I)]; }

    // A loaded corpus of two languages with files a, b (language 0) and c (language 1).
    void LoadedCorpus() {
        Lang(1).SetLanguage(1036, LanguageNameOfLCID(1036));
        AddFile(0, "a.txt", "A");
        AddFile(0, "b.txt", "B");
        AddFile(1, "c.txt", "C");
    }

    int Terminated = 0;
};

}  // namespace

// ---- Text format -----------------------------------------------------------------------------------------

TEST_F(LoadDialogsTest, TextFormatShowsTheStoredFormatsAndStoresTheShownPages) {
    L(0).HeadingFormat = 1;
    L(0).HPattern = "Chapter";
    L(0).ParagraphFormat = 0;
    L(0).PStart = "<p>";
    L(0).SentenceFormat = 1;
    TTxtFmtConfigDialog Form(0, false);
    Form.show();
    EXPECT_EQ(Form.HeadingFormatBox->currentText(), "Pattern");
    EXPECT_EQ(Form.HPatternEdit->text(), "Chapter");
    EXPECT_TRUE(Form.HPatternEdit->isVisible());
    EXPECT_TRUE(Form.HRegExpEdit->text().isEmpty()) << "only the shown format's page is filled";
    EXPECT_EQ(Form.PStartEdit->text(), "<p>");
    EXPECT_TRUE(Form.OptionsBtn->isVisible());
    Form.HeadingFormatBox->setCurrentIndex(2);
    EXPECT_TRUE(Form.HRegExpEdit->isVisible());
    Form.ParagraphFormatBox->setCurrentIndex(3);
    Form.PStartEdit->setText("ignored");
    Form.OkBtn->click();
    EXPECT_TRUE(Form.Changed());
    EXPECT_EQ(L(0).HeadingFormat, 2);
    EXPECT_EQ(L(0).HPattern, "") << "switching to the regular expression stores its (empty) edit";
    EXPECT_EQ(L(0).ParagraphFormat, 3);
    EXPECT_EQ(L(0).PStart, "<p>");
}

TEST_F(LoadDialogsTest, TextFormatOfAnAlignedCorpusShowsOnlySentences) {
    L(0).HeadingFormat = 3;
    TTxtFmtConfigDialog Whole(0, false);
    Whole.show();
    EXPECT_EQ(Whole.HeadingFormatBox->currentIndex(), -1) << "none has no entry";
    TTxtFmtConfigDialog Form(0, true);
    Form.show();
    EXPECT_FALSE(Form.HeadingsGroup->isVisible());
    EXPECT_FALSE(Form.ParagraphsGroup->isVisible());
    EXPECT_LT(Form.height(), Whole.height());
    Form.SentenceFormatBox->setCurrentIndex(0);
    Form.SStartEdit->setText("  <s> ");
    Form.OkBtn->click();
    EXPECT_EQ(L(0).SStart, "<s>");
    EXPECT_EQ(L(0).HeadingFormat, 3);
    TTxtFmtConfigDialog Again(0, false);
    Again.show();
    Again.OkBtn->click();
    EXPECT_FALSE(Again.Changed());
    EXPECT_EQ(L(0).HeadingFormat, 3) << "a format without an entry is kept";
}

TEST_F(LoadDialogsTest, TextFormatCancelRestoresTheSentenceOptionsButTheCloseBoxDoesNot) {
    L(0).SentenceFormat = 1;
    L(0).SentDelimiters = ".";
    for (int Way = 0; Way < 3; ++Way) {
        TTxtFmtConfigDialog Form(0, false);
        Form.show();
        OnModal<TSentenceOptionsForm>([](TSentenceOptionsForm* Options) {
            Options->DelimitersEdit->setText("!?");
            Options->SmartAbbrCheck->setChecked(true);
            Options->OkBtn->click();
        });
        Form.OptionsBtn->click();
        EXPECT_EQ(L(0).SentDelimiters, "!?");
        if (Way == 0) Form.CancelBtn->click();
        if (Way == 1) QTest::keyClick(&Form, Qt::Key_Escape);
        if (Way == 2) Form.close();
        EXPECT_FALSE(Form.isVisible());
        EXPECT_EQ(L(0).SentDelimiters, Way == 2 ? "!?" : ".") << Way;
        EXPECT_EQ(L(0).SmartAbbrDetect, Way == 2) << Way;
        L(0).SentDelimiters = ".";
        L(0).SmartAbbrDetect = false;
    }
    OnModal<TTxtFmtConfigDialog>([](TTxtFmtConfigDialog* Form) {
        EXPECT_EQ(Form->pos(), QPoint(40, 50));
        Form->SentenceFormatBox->setCurrentIndex(0);
        Form->OkBtn->click();
    });
    EXPECT_TRUE(EditTextFormat(0, false, 40, 50));
    OnModal<TTxtFmtConfigDialog>([](TTxtFmtConfigDialog* Form) { Form->OkBtn->click(); });
    EXPECT_FALSE(EditTextFormat(0, false, 40, 50)) << "OK without a change";
}

// ---- Load Corpus Files -----------------------------------------------------------------------------------

TEST_F(LoadDialogsTest, ANewCorpusOpensWithTwoPanelsEachShowingItsLanguage) {
    LanguagesCount = 1;
    TParaLoadForm Form(true);
    Form.show();
    ASSERT_EQ(Form.PanelCount(), 2);
    EXPECT_EQ(LanguagesCount, 2);
    EXPECT_EQ(Form.CountBox->currentText(), "2");
    // Panels of 160 pixels, or as wide as the longest language name needs, 4 pixels apart.
    const int PanelWidth = Form.Panel(0).Panel->width();
    EXPECT_GE(PanelWidth, 160);
    EXPECT_EQ(Form.width(), 2 * PanelWidth + 12);
    EXPECT_EQ(Form.height(), 312);
    EXPECT_EQ(Form.Panel(1).Panel->x(), PanelWidth + 8);
    EXPECT_EQ(L(0).LocaleId, platform::UserDefaultLangId());
    EXPECT_EQ(Form.Model().Panel(1).LCID, 1033u) << "the language shown is the panel's";
    EXPECT_EQ(L(1).LocaleId, 0u);
    EXPECT_EQ(Form.Panel(1).LanguageBox->currentText(), "English (United States)");
    EXPECT_EQ(Form.Panel(0).LanguageBox->count(), 3 + 4);
    EXPECT_EQ(Form.Panel(0).LanguageBox->itemText(3), "Additional 1");
    EXPECT_EQ(Form.focusWidget(), Form.Panel(0).FileList);
    EXPECT_FALSE(Form.RemoveBtn->isEnabled());
    EXPECT_FALSE(Form.ShowBtn->isEnabled());
    EXPECT_FALSE(Form.Panel(0).Utf8Check->isEnabled());
    for (int Format = 0; Format < 4; ++Format) {
        Form.AlignFormatBox->setCurrentIndex(Format);
        EXPECT_EQ(Form.AlignOptionsBtn->isEnabled(), Format >= 2) << Format;
    }
    Form.AlignFormatBox->setCurrentIndex(0);

    // Every panel shows a language, so Cancel never says there are undefined ones; the count the dialog
    // gave the new corpus is no change of the user's either.
    ChooseLanguage(Form.Panel(1).LanguageBox, LanguageNameOfLCID(1031));
    EXPECT_EQ(Form.Model().Panel(1).LCID, 1031u);
    EXPECT_EQ(L(1).LocaleId, 0u) << "the configuration learns it on OK";
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_TRUE(Backend.Messages.empty()) << Backend.Texts().front();
    EXPECT_EQ(LanguagesCount, 1) << "Cancel gives back the count the dialog opened with";

    Backend.Messages.clear();
    TParaLoadForm Again(true);
    Again.show();
    Again.close();
    EXPECT_FALSE(Again.isVisible());
    EXPECT_TRUE(Backend.Messages.empty());
    EXPECT_EQ(Terminated, 0);
}

// The dialog opens in the middle of the screen (it used to open against the top edge); a change of the
// language count later centres it across again and leaves its height on the screen as it is.
TEST_F(LoadDialogsTest, TheDialogOpensInTheMiddleOfTheScreen) {
    TParaLoadForm Form(true);
    Form.show();
    const QRect Area = Form.screen()->availableGeometry();
    EXPECT_LE(std::abs(Form.frameGeometry().center().x() - Area.center().x()), 2);
    EXPECT_LE(std::abs(Form.frameGeometry().center().y() - Area.center().y()), 2) << Form.y();
    Form.move(Form.x(), Area.top() + 20);
    Form.SetLanguageCount(3);
    EXPECT_EQ(Form.y(), Area.top() + 20);
    EXPECT_LE(std::abs(Form.frameGeometry().center().x() - Area.center().x()), 2);
}

TEST_F(LoadDialogsTest, AddingRemovingMarkingAndShowingFiles) {
    LoadedCorpus();
    const std::string D = Dir.Write("d.txt", "D"), E = Dir.Write("sub/e.txt", "E");
    const std::string Bin = Dir.Write("f.bin", std::string("\x01\x02\x03\x04\x05\x06", 6));
    L(0).CorpusPath = "/nowhere/";
    TFileDialogRequest Asked;
    SetFileDialog([&](const TFileDialogRequest& R) {
        Asked = R;
        return std::vector<std::string>{E, D, Bin, Dir.File("c.txt")};
    });
    TRecordingMessenger Messenger;
    TParaLoadForm Form(false);
    Form.show();
    QListWidget* List = Form.Panel(0).FileList;
    EXPECT_EQ(Items(List), QStringList({"a.txt", "b.txt"}));
    Backend.Answers = {mrNo};
    QTest::mouseClick(Form.Panel(0).AddBtn, Qt::LeftButton);
    EXPECT_EQ(Asked.Title, "Select File(s) to Open");
    EXPECT_EQ(Asked.Filter, "Text Files (*.txt);;All Files (*)");
    EXPECT_EQ(Asked.FilterIndex, 1);
    EXPECT_EQ(Asked.DefaultSuffix, "txt");
    EXPECT_TRUE(Asked.MultiSelect);
    EXPECT_EQ(Asked.Folder, "/nowhere/");
    EXPECT_EQ(L(0).CorpusPath, Dir.File("sub/")) << "the folder of the first chosen file, at once";
    EXPECT_EQ(Items(List), QStringList({"a.txt", "b.txt", "e.txt", "d.txt"}))
        << "stopped at the refused file";
    Form.FullPathCheck->click();
    EXPECT_EQ(List->item(2)->text().toStdString(), E);
    Form.FullPathCheck->click();

    // The UTF-8 box of a mixed selection is grayed; a click marks them all.
    Select(List, {2});
    EXPECT_TRUE(Form.Panel(0).Utf8Check->isEnabled());
    QTest::mouseClick(Form.Panel(0).Utf8Check, Qt::LeftButton);
    EXPECT_TRUE(Form.Model().Panel(0).Files[2].Record.Converted);
    Select(List, {1, 2, 3});
    EXPECT_EQ(Form.Panel(0).Utf8Check->checkState(), Qt::PartiallyChecked);
    QTest::mouseClick(Form.Panel(0).Utf8Check, Qt::LeftButton);
    EXPECT_EQ(Form.Panel(0).Utf8Check->checkState(), Qt::Checked);
    for (int I : {1, 2, 3}) EXPECT_TRUE(Form.Model().Panel(0).Files[size_t(I)].Record.Converted) << I;

    // Drops move the selection; on a selected file nothing moves.
    Select(List, {0, 2});
    Form.DropOnRow(0, 2);
    EXPECT_EQ(Items(List), QStringList({"a.txt", "b.txt", "e.txt", "d.txt"}));
    Form.DropOnRow(0, 4);
    EXPECT_EQ(Items(List), QStringList({"b.txt", "d.txt", "a.txt", "e.txt"}));
    EXPECT_EQ(Form.SelectedRows(0), (std::vector<int>{2, 3}));
    EXPECT_EQ(Form.Model().Panel(0).Files[2].ConfiguredIndex, 0);

    // Show opens only configured files, by their configured index; Remove works on every list.
    Select(Form.Panel(1).FileList, {0});
    EXPECT_TRUE(Form.ShowBtn->isEnabled());
    QTest::mouseClick(Form.ShowBtn, Qt::LeftButton);
    std::vector<std::pair<intptr_t, intptr_t>> Opened;
    for (const auto& M : Messenger.Entries)
        if (M.Msg == CM_OPENCORPUSVIEW) Opened.emplace_back(M.WParam, M.LParam);
    EXPECT_EQ(Opened, (std::vector<std::pair<intptr_t, intptr_t>>{{0, 0}, {1, 0}}));
    QTest::mouseClick(Form.RemoveBtn, Qt::LeftButton);
    EXPECT_EQ(Items(List), QStringList({"b.txt", "d.txt"}));
    EXPECT_EQ(Form.Panel(1).FileList->count(), 0);
    EXPECT_FALSE(Form.RemoveBtn->isEnabled());
    EXPECT_EQ(L(0).Files.size(), 2u) << "nothing reaches the corpus before OK";
}

TEST_F(LoadDialogsTest, EveryWayOfClosingWithoutOkAsksFirstAndRestoresOnlyOnClosing) {
    LoadedCorpus();
    L(0).SentenceFormat = 0;
    L(0).SStart = "<s>";
    enum { CancelButton, Escape, CloseBox };
    for (int Way : {CancelButton, Escape, CloseBox}) {
        SCOPED_TRACE(Way);
        // Without changes: no question.
        {
            Backend.Messages.clear();
            TParaLoadForm Form(false);
            Form.show();
            L(0).SStart = "<sent>";  // a text-format edit alone is undone without a question
            if (Way == CancelButton) Form.CancelBtn->click();
            if (Way == Escape) QTest::keyClick(&Form, Qt::Key_Escape);
            if (Way == CloseBox) Form.close();
            EXPECT_FALSE(Form.isVisible());
            EXPECT_TRUE(Backend.Messages.empty());
            EXPECT_EQ(L(0).SStart, "<s>");
        }
        for (int Answer : {mrCancel, mrNo, mrYes}) {
            SCOPED_TRACE(Answer);
            Backend.Messages.clear();
            CommonConfig->AlignFormat = 0;
            TParaLoadForm Form(false);
            Form.show();
            Form.AlignFormatBox->setCurrentIndex(1);
            L(0).SStart = "<sent>";
            Backend.Answers = {Answer};
            if (Way == CancelButton) Form.CancelBtn->click();
            if (Way == Escape) QTest::keyClick(&Form, Qt::Key_Escape);
            if (Way == CloseBox) Form.close();
            EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"You have made changes. Apply them now?"});
            EXPECT_EQ(Form.isVisible(), Answer == mrCancel);
            // No puts back only when it closes; Yes applies what OK applies and keeps the edit.
            EXPECT_EQ(L(0).SStart, Answer == mrNo ? "<s>" : "<sent>");
            EXPECT_EQ(CommonConfig->AlignFormat, Answer == mrYes ? 1 : 0);
            EXPECT_EQ(Form.result(), Answer == mrYes ? QDialog::Accepted : QDialog::Rejected);
            L(0).SStart = "<s>";
        }
    }
    EXPECT_EQ(L(0).Files.size(), 2u);
}

TEST_F(LoadDialogsTest, LanguagesAddedAndRemovedWhileOpen) {
    LoadedCorpus();
    TRecordingMessenger Messenger;
    {
        TParaLoadForm Form(false);
        Form.show();
        Select(Form.Panel(0).FileList, {1});
        Form.SetLanguageCount(4);
        EXPECT_EQ(Form.width(), 4 * Form.Panel(0).Panel->width() + 20);
        EXPECT_EQ(Form.SelectedRows(0), std::vector<int>{1}) << "open panels keep their state";
        EXPECT_EQ(L(3).LocaleId, 0u);
        // The new language's text format is edited through its Format button, and undone on Cancel.
        OnModal<TTxtFmtConfigDialog>([](TTxtFmtConfigDialog* F) {
            F->SentenceFormatBox->setCurrentIndex(1);
            F->OkBtn->click();
        });
        Form.Panel(3).FormatBtn->click();
        EXPECT_EQ(L(3).SentenceFormat, 1);
        Form.CountBox->setCurrentIndex(1);
        emit Form.CountBox->activated(1);  // down to 3: language 3 goes at once
        EXPECT_EQ(Form.PanelCount(), 3);
        EXPECT_FALSE(LanguageConfigs[3]);
        Backend.Answers = {mrNo};
        Form.CancelBtn->click();
        EXPECT_FALSE(Form.isVisible());
    }
    EXPECT_EQ(LanguagesCount, 2) << "the undefined new language went back with the count";
    EXPECT_EQ(L(0).Files.size(), 2u);

    // Lowering a loaded corpus's count sets that language aside: Cancel gives it back whole, OK removes it.
    Lang(2).SetLanguage(1031, LanguageNameOfLCID(1031));
    AddFile(2, "g.txt", "G");
    for (bool Ok : {false, true}) {
        SCOPED_TRACE(Ok);
        Messenger.Entries.clear();
        TParaLoadForm Form(false);
        Form.show();
        ASSERT_EQ(Form.PanelCount(), 3);
        Form.SetLanguageCount(2);
        EXPECT_TRUE(Messenger.Messages().empty());
        Backend.Answers = {mrNo};
        (Ok ? Form.OkBtn : Form.CancelBtn)->click();
        if (!Ok) {
            EXPECT_EQ(LanguagesCount, 3);
            ASSERT_TRUE(LanguageConfigs[2]);
            EXPECT_EQ(L(2).Files.size(), 1u);
            EXPECT_EQ(L(2).LocaleId, 1031u);
        } else {
            EXPECT_EQ(Messenger.Messages(), (std::vector<int>{CM_ALIGNMENTDROPPED, CM_REMOVELANGUAGE}));
            EXPECT_EQ(LanguagesCount, 2);
            EXPECT_FALSE(LanguageConfigs[2]);
        }
    }
}

TEST_F(LoadDialogsTest, OkAppliesFontsAndHandsTheListsToTheLoader) {
    LoadedCorpus();
    const std::string D = Dir.Write("d.txt", "\xC3\xA9t\xC3\xA9");
    SetFileDialog([&](const TFileDialogRequest&) { return std::vector<std::string>{D}; });
    SetFontDialog([](TFontSpec& Font) {
        Font.Name = "Serif";
        Font.Size = 15;
        return true;
    });
    OnModal<TParaLoadForm>([](TParaLoadForm* Form) {
        Form->Panel(1).FontBtn->click();
        EXPECT_EQ(Form->Panel(1).FontLabel->text(), "Serif");
        EXPECT_EQ(Form->Panel(1).FontLabel->font().pointSize(), 15);
        Form->Panel(1).AddBtn->click();
        Select(Form->Panel(1).FileList, {1});
        Form->Panel(1).Utf8Check->click();
        Select(Form->Panel(1).FileList, {});
        Select(Form->Panel(0).FileList, {0});
        Form->RemoveBtn->click();
        Form->OkBtn->click();
    });
    EXPECT_TRUE(LoadCorpusFiles(false));
    EXPECT_EQ(L(1).Fonts[SystemFont].Name, "Serif");
    EXPECT_EQ(L(1).Fonts[CorpusFont].Name, "Serif");
    ASSERT_EQ(L(0).Files.size(), 1u);
    EXPECT_EQ(L(0).Files[0].Name, Dir.File("b.txt"));
    ASSERT_EQ(L(1).Files.size(), 2u);
    EXPECT_EQ(L(1).Files[1].Name, D);
    EXPECT_TRUE(L(1).Files[1].Object.Converted);
    EXPECT_EQ(L(1).Streams.size(), 2u);

    OnModal<TParaLoadForm>([](TParaLoadForm* Form) { Form->CancelBtn->click(); });
    EXPECT_FALSE(LoadCorpusFiles(false));
}

// What a keyboard user meets in "Load Corpus Files": every accelerator letter is unique with two or four
// panels; Tab reads each panel top to bottom ("Format..." and "UTF-8" once came after Cancel), then the
// controls below the panels; and the language boxes are wide enough for the longest language name.
TEST_F(LoadDialogsTest, KeyboardOrderAcceleratorsAndLanguageBoxWidths) {
    LoadInstalledLanguagesFrom({1033, 1036, 0x1C0A});
    TParaLoadForm Form(true);
    Form.show();
    EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
    Form.SetLanguageCount(4);
    EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
    Form.SetLanguageCount(2);

    for (int L = 0; L < Form.PanelCount(); ++L) {
        QComboBox* Box = Form.Panel(L).LanguageBox;
        EXPECT_GE(Box->width(), Box->sizeHint().width()) << "the longest name fits";
        EXPECT_GE(Box->width(), 160);
        EXPECT_TRUE(Form.rect().contains(QRect(Box->mapTo(&Form, QPoint(0, 0)), Box->size())));
    }
    EXPECT_LE(Form.Panel(0).Panel->geometry().right(), Form.Panel(1).Panel->x());

    // Every control takes part, all enabled here: files selected in both lists.
    Form.Panel(0).FileList->setFocus();
    Form.CountBox->setFocus();
    const std::vector<QWidget*> Visits = dialogchecks::TabVisits(&Form);
    std::vector<QWidget*> Expected{Form.CountBox};
    for (int L = 0; L < Form.PanelCount(); ++L) {
        const TParaLoadPanel& P = Form.Panel(L);
        for (QWidget* W : std::initializer_list<QWidget*>{P.LanguageBox, P.FontBtn, P.FormatBtn, P.Utf8Check,
                                                          P.FileList, P.AddBtn})
            if (W->isEnabled()) Expected.push_back(W);
    }
    for (QWidget* W : std::initializer_list<QWidget*>{Form.ShowBtn, Form.RemoveBtn, Form.FullPathCheck,
                                                      Form.AlignFormatBox, Form.AlignOptionsBtn, Form.OkBtn,
                                                      Form.CancelBtn})
        if (W->isEnabled()) Expected.push_back(W);
    EXPECT_EQ(Visits, Expected);
}

// ---- What a user meets in Load Corpus Files ---------------------------------------------------------------

// "&Show" and "&Remove" share the last panel's row: clicked where they are seen, with two to four panels.
TEST_F(LoadDialogsTest, ShowAndRemoveTakeTheClicksWhereTheyAreSeen) {
    LoadedCorpus();
    TRecordingMessenger Messenger;
    TParaLoadForm Form(false);
    Form.show();
    for (int Count : {2, 3, 4}) {
        SCOPED_TRACE(Count);
        Form.SetLanguageCount(Count);
        Select(Form.Panel(1).FileList, {0});
        Messenger.Entries.clear();
        dialogchecks::ClickThroughWindow(Form.ShowBtn);
        EXPECT_EQ(Messenger.Messages(), std::vector<int>{CM_OPENCORPUSVIEW});
    }
    Select(Form.Panel(0).FileList, {1});
    dialogchecks::ClickThroughWindow(Form.RemoveBtn);
    EXPECT_EQ(Items(Form.Panel(0).FileList), QStringList({"a.txt"}));
}

// A list refilled with a selected file whose shown name is about as wide as the list once made its
// scroll bar come and go without end. Names from well inside to well beyond the list's width, shown as
// the user switches full path names on and off; the last one can be scrolled to its end.
TEST_F(LoadDialogsTest, RefillingAListWithAFileAsWideAsItKeepsTheDialogAlive) {
    LoadedCorpus();
    std::string Chosen;
    SetFileDialog([&](const TFileDialogRequest&) { return std::vector<std::string>{Chosen}; });
    TParaLoadForm Form(false);
    Form.show();
    TParaLoadFileList* List = Form.Panel(1).FileList;
    const int Path = List->fontMetrics().horizontalAdvance(QString::fromStdString(Dir.File("")));
    const int Wanted = List->viewport()->width() - Path;
    for (int Extra = -40; Extra <= 40; Extra += 2) {
        std::string Name;
        while (List->fontMetrics().horizontalAdvance(QString::fromStdString(Name + "w.txt")) < Wanted + Extra)
            Name += "w";
        Chosen = Dir.Write(Name + "w.txt", "W");
        dialogchecks::ClickThroughWindow(Form.Panel(1).AddBtn);
        Select(List, {List->count() - 1});
        for (int Click = 0; Click < 3; ++Click) {
            dialogchecks::ClickThroughWindow(Form.FullPathCheck);
            QApplication::processEvents();
        }
        ASSERT_TRUE(Form.FullPathCheck->isChecked());
        QScrollBar* Bar = List->horizontalScrollBar();
        EXPECT_GE(Bar->maximum() + List->viewport()->width(), List->MaxExtent() - 2) << Extra;
        Select(List, {List->count() - 1});
        dialogchecks::ClickThroughWindow(Form.RemoveBtn);
        dialogchecks::ClickThroughWindow(Form.FullPathCheck);
    }
}

// "You have made changes. Apply them now?" answered Yes applies what OK applies: the file lists too.
TEST_F(LoadDialogsTest, YesToApplyingChangesHandsTheFileListsOnAsOkDoes) {
    LoadedCorpus();
    const std::string D = Dir.Write("d.txt", "D");
    SetFileDialog([&](const TFileDialogRequest&) { return std::vector<std::string>{D}; });
    OnModal<TParaLoadForm>([this](TParaLoadForm* Form) {
        Select(Form->Panel(0).FileList, {0});
        dialogchecks::ClickThroughWindow(Form->RemoveBtn);
        dialogchecks::ClickThroughWindow(Form->Panel(1).AddBtn);
        Backend.Answers = {mrYes};
        dialogchecks::ClickThroughWindow(Form->CancelBtn);
    });
    EXPECT_TRUE(LoadCorpusFiles(false));
    ASSERT_EQ(L(0).Files.size(), 1u);
    EXPECT_EQ(L(0).Files[0].Name, Dir.File("b.txt"));
    ASSERT_EQ(L(1).Files.size(), 2u);
    EXPECT_EQ(L(1).Files[1].Name, D);
}

// The text format dialog's Cancel puts back every sentence option its options dialog stored.
TEST_F(LoadDialogsTest, TextFormatCancelPutsBackTrailingQuotesAndExceptionWords) {
    L(0).SentenceFormat = 1;
    L(0).SentenceExceptions = {"etc"};
    TTxtFmtConfigDialog Form(0, false);
    Form.show();
    OnModal<TSentenceOptionsForm>([this](TSentenceOptionsForm* Options) {
        Options->TrailingQuotesCheck->setChecked(true);
        L(0).SentenceExceptions = {"etc", "cf"};  // as the exception-words dialog stores them
        Options->OkBtn->click();
    });
    Form.OptionsBtn->click();
    ASSERT_TRUE(L(0).includeTrailingQuotes);
    dialogchecks::ClickThroughWindow(Form.CancelBtn);
    EXPECT_FALSE(L(0).includeTrailingQuotes);
    EXPECT_EQ(L(0).SentenceExceptions, std::vector<std::string>{"etc"});
}
