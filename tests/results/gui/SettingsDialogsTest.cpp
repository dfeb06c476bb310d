#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "controls/FileDialogs.h"
#include "controls/InpQuery.h"
#include "results/ConcContextType.h"
#include "results/ConcHeadingContext.h"
#include "results/ConcHeadingEdit.h"
#include "results/ConcHeadings.h"
#include "results/ConcSearchOptions.h"
#include "results/ConcSentExceptions.h"
#include "results/ConcSentOptions.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

using dialogchecks::ClickThroughWindow;
using dialogchecks::OnModal;

class SettingsDialogsTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(0);
        CommonConfig->MaximumHits = 500;
        CommonConfig->FrequencyOfHits = 1;
        CommonConfig->ContextSizes = {40, 8, 3, 1, 1};
        CommonConfig->MatchWordsLo = 2;
        CommonConfig->MatchWordsHi = 5;
        CommonConfig->TagSearchSeparator = '&';
    }
    void TearDown() override {
        SetFileDialog(nullptr);
        TCorpusTest::TearDown();
    }
    TConcordConfig& L0() { return *LanguageConfigs[0]; }
};

}  // namespace

TEST_F(SettingsDialogsTest, SentenceOptionsStoreOnOkOnly) {
    L0().SentDelimiters = ".!?";
    {
        TSentenceOptionsForm Form(0);
        Form.show();
        Form.DelimitersEdit->setText(". ; !");
        Form.SmartAbbrCheck->setChecked(true);
        EXPECT_FALSE(Form.ExceptionsBtn->isEnabled());  // exceptions only without smart detection
        QTest::keyClick(&Form, Qt::Key_Escape);
        EXPECT_EQ(L0().SentDelimiters, ".!?");
        EXPECT_FALSE(L0().SmartAbbrDetect);
    }
    TSentenceOptionsForm Form(0);
    Form.show();
    EXPECT_TRUE(Form.ExceptionsBtn->isEnabled());
    Form.DelimitersEdit->setText(". ; !");
    Form.TrailingQuotesCheck->setChecked(true);
    Form.OkBtn->click();
    EXPECT_EQ(L0().SentDelimiters, ".;!");
    EXPECT_TRUE(L0().includeTrailingQuotes);
}

TEST_F(SettingsDialogsTest, ExceptionsAreAddedLoadedAndSavedNormalised) {
    TSentenceExceptionsForm Form(0);
    Form.show();
    EXPECT_FALSE(Form.SaveBtn->isEnabled());
    OnModal<TInputQueryForm>([](TInputQueryForm* F) {
        F->EditBox->setText("  Dr. ");
        F->OkBtn->click();
    });
    Form.AddBtn->click();
    EXPECT_EQ(Form.Words(), std::vector<std::string>{"dr"});
    EXPECT_TRUE(Form.SaveBtn->isEnabled());

    // Loading replaces the list with the file's lines, normalised as typed words.
    const std::string File = Dir.Write("abbr.txt", "Mr.\r\nETC\rdr.\n\nmr\n");
    SetFileDialog([&](const TFileDialogRequest& R) {
        EXPECT_EQ(R.Title, "Load New Sentence Delimiters Exceptions");
        return std::vector<std::string>{File};
    });
    Form.LoadBtn->click();
    EXPECT_EQ(Form.Words(), (std::vector<std::string>{"dr", "etc", "mr"}));  // sorted without case
    EXPECT_EQ(Form.FileLabel->text(), "abbr.txt");
    // A list without extension loads as chosen; a name typed without one finds the ".TXT" file.
    Dir.Write("plain", "Jr.\n");
    Dir.Write("typed.TXT", "Sr.\n");
    for (const auto& [Name, Word] : {std::pair{"plain", "jr"}, std::pair{"typed", "sr"}}) {
        SetFileDialog([&, Name = std::string(Name)](const TFileDialogRequest& R) {
            EXPECT_TRUE(R.DefaultSuffix.empty());
            return std::vector<std::string>{Dir.File(Name)};
        });
        Form.LoadBtn->click();
        EXPECT_EQ(Form.Words(), std::vector<std::string>{Word}) << Name;
    }
    SetFileDialog([&](const TFileDialogRequest&) { return std::vector<std::string>{File}; });
    Form.LoadBtn->click();

    // Saving under a new name without extension: ".TXT" is added (clear the current file first).
    Backend.Answers = {mrYes};
    Form.ClearBtn->click();
    EXPECT_TRUE(Form.Words().empty());
    OnModal<TInputQueryForm>([](TInputQueryForm* F) {
        F->EditBox->setText("Prof.");
        F->OkBtn->click();
    });
    Form.AddBtn->click();
    SetFileDialog([&](const TFileDialogRequest& R) {
        EXPECT_TRUE(R.Save);
        return std::vector<std::string>{Dir.File("saved")};
    });
    Form.SaveBtn->click();
    EXPECT_EQ(ReadWholeFile(Dir.File("saved.TXT")), "prof\r\n");
    EXPECT_EQ(L0().SentDelimitersPath, Dir.Path().string());

    Form.OkBtn->click();
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(L0().SentenceExceptions, std::vector<std::string>{"prof"});
}

TEST_F(SettingsDialogsTest, ExceptionsCloseRule) {
    L0().SentenceExceptions = {"dr"};
    {
        TSentenceExceptionsForm Form(0);
        Form.show();
        Form.OkBtn->click();  // nothing changed: closes as cancelled
        EXPECT_EQ(Form.result(), QDialog::Rejected);
    }
    TSentenceExceptionsForm Form(0);
    Form.show();
    Form.WordsList->setCurrentRow(0);
    Form.RemoveBtn->click();
    Backend.Answers = {mrCancel, mrNo};
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_TRUE(Form.isVisible());  // Cancel: stays open with its edits
    EXPECT_TRUE(Form.Words().empty());
    Form.CancelBtn->click();  // No: closes without applying
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(L0().SentenceExceptions, std::vector<std::string>{"dr"});
    EXPECT_EQ(Backend.Texts().back(), "You have made changes. Apply them now?");
}

TEST_F(SettingsDialogsTest, HeadingDefinitionsChangeAtOnceAndNamesStayDistinct) {
    THeadingsForm Form(0);
    Form.show();
    EXPECT_FALSE(Form.EditBtn->isEnabled());
    OnModal<THeadingEditForm>([](THeadingEditForm* F) {
        EXPECT_EQ(F->windowTitle(), "New Heading");
        EXPECT_FALSE(F->OkBtn->isEnabled());
        F->SetTexts({"Chapter", "<h1>", "</h1>", "<p>", "</p>"});
        EXPECT_TRUE(F->OkBtn->isEnabled());
        F->OkBtn->click();
    });
    Form.AddBtn->click();
    ASSERT_EQ(L0().Headings.size(), 1u);
    EXPECT_EQ(L0().Headings[0].Object.TextStop, "</p>");

    OnModal<THeadingEditForm>([](THeadingEditForm* F) {
        F->SetTexts({"Part", "<h2>", "</h2>", "<t>", "</t>"});
        F->OkBtn->click();
    });
    Form.AddBtn->click();
    ASSERT_EQ(L0().Headings.size(), 2u);

    // Renaming "Part" to another definition's name in other letters is refused.
    Form.HeadingsList->setCurrentRow(1);
    OnModal<THeadingEditForm>([](THeadingEditForm* F) {
        EXPECT_EQ(F->windowTitle(), "Edit Heading");
        EXPECT_EQ(F->HeadStartEdit->text(), "<h2>");
        F->NameEdit->setText("CHAPTER");
        F->OkBtn->click();
        EXPECT_TRUE(F->isVisible());
        F->CancelBtn->click();
    });
    Form.EditBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "Heading with name \"CHAPTER\" already exists.");
    EXPECT_EQ(L0().Headings[1].Name, "Part");

    Backend.Answers = {mrYes};
    Form.HeadingsList->setCurrentRow(0);
    Form.RemoveBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "Remove \"Chapter\"?");
    ASSERT_EQ(L0().Headings.size(), 1u);
    EXPECT_EQ(L0().Headings[0].Name, "Part");
}

TEST_F(SettingsDialogsTest, HeadingContextSearchIsWrittenByEveryWayOfClosing) {
    L0().Headings.push_back({"Chapter", {"<h1>", "</h1>", "<p>", "</p>"}});
    L0().Headings.push_back({"Part", {"<h2>", "</h2>", "<t>", "</t>"}});
    L0().LastHeading = "Part";
    TConcSearchRec Query;
    {
        THeadingContextForm Form(Query, 0, 1);
        Form.show();
        EXPECT_EQ(Form.HeadingCombo->currentIndex(), 1);  // the definition used last
        EXPECT_FALSE(Form.HeadingPattern->isEnabled());
        Form.HeadingCheck->setChecked(true);
        EXPECT_TRUE(Form.HeadingPattern->isEnabled());
        Form.HeadingPattern->setEditText("War");
        Form.HeadingCombo->setCurrentIndex(0);
        Form.ContextCheck->setChecked(true);
        Form.LeftPattern->setEditText(" peace ");
        QApplication::setActiveWindow(&Form);
        Form.HeadingPattern->lineEdit()->setFocus();  // the box with the focus enters its history
        QTest::keyClick(&Form, Qt::Key_Escape);       // Close is also the cancel button: it applies
    }
    EXPECT_EQ(Query.Flags & (sfHeading | sfContext), sfHeading | sfContext);
    EXPECT_EQ(Query.HeadingPattern, "War");
    EXPECT_EQ(Query.HeadStartMarker, "<h1>");
    EXPECT_EQ(Query.LeftContext, "peace");
    EXPECT_EQ(L0().LastHeading, "Chapter");
    ASSERT_FALSE(L0().HeadingHistory[1].empty());
    EXPECT_EQ(L0().HeadingHistory[1].front(), "War");

    // Without definitions the heading condition cannot stay on.
    L0().Headings.clear();
    THeadingContextForm Form(Query, 0, 1);
    Form.show();
    EXPECT_FALSE(Form.HeadingCheck->isEnabled());
    EXPECT_FALSE(Form.HeadingCheck->isChecked());
    EXPECT_TRUE(Form.ContextCheck->isChecked());
    Form.ContextCheck->setChecked(false);
    Form.CloseBtn->click();
    EXPECT_EQ(Query.Flags & (sfHeading | sfContext), 0);
    EXPECT_TRUE(Query.HeadStartMarker.empty() && Query.LeftContext.empty());
}

TEST_F(SettingsDialogsTest, ContextOptionsShowTheControlsOfTheTypeAndStoreItsSizeOnOk) {
    TContextSettings Settings;
    Settings.ContextType = 1;
    Settings.ConcealHits = true;
    TContextTypeForm Form(0, Settings);
    Form.show();
    EXPECT_EQ(Form.ContextSizeUpDown->value(), 8);
    Form.ContextTypeCombo->setCurrentIndex(3);
    EXPECT_FALSE(Form.ContextSizeUpDown->isVisible());
    EXPECT_TRUE(Form.OptionsBtn->isVisible());
    Form.ContextTypeCombo->setCurrentIndex(4);
    EXPECT_FALSE(Form.OptionsBtn->isVisible() || Form.SizeLabel->isVisible());
    Form.ContextTypeCombo->setCurrentIndex(0);
    EXPECT_EQ(Form.ContextSizeUpDown->maximum(), 1000);
    EXPECT_EQ(Form.ContextSizeUpDown->singleStep(), 10);
    Form.ContextSizeUpDown->setValue(120);
    Form.OkBtn->click();
    EXPECT_EQ(Form.Settings().ContextType, 0);
    EXPECT_EQ(Form.Settings().ContextSizes[0], 120);
    EXPECT_EQ(Form.Settings().ContextSizes[1], 8);
    EXPECT_TRUE(Form.Settings().ConcealHits);
}

TEST_F(SettingsDialogsTest, SearchOptionsStoreOnOkAndRefuseBadEqualCharacters) {
    {
        TSearchOptionsForm Form(true, 0);
        Form.show();
        EXPECT_FALSE(Form.LanguageBox->isEnabled());
        EXPECT_EQ(Form.MaxSearchHitsEdit->text(), "500");
        QTest::keyClicks(Form.MaxSearchHitsEdit, "x7");  // letters cannot be typed
        EXPECT_EQ(Form.MaxSearchHitsEdit->text(), "5007");
        QTest::keyClick(&Form, Qt::Key_Escape);
        EXPECT_EQ(CommonConfig->MaximumHits, 500);
    }
    TSearchOptionsForm Form(false, 0);
    Form.show();
    Form.ContextTypeCombo->setCurrentIndex(3);
    EXPECT_TRUE(Form.FullSentOpts->isVisible());
    EXPECT_FALSE(Form.ContextSizeUpDown->isVisible());
    Form.ContextTypeCombo->setCurrentIndex(1);
    Form.ContextSizeUpDown->setValue(12);
    Form.MaxSearchHitsEdit->setText("0");
    Form.Char0orMore->setText("+");
    Form.EqualCombo->setEditText("a=");
    Form.OkBtn->click();
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Backend.Texts().back(), "Wrong \"equal characters\" syntax.");
    EXPECT_EQ(CommonConfig->MaximumHits, 500);

    Form.EqualCombo->setEditText("a=b");
    Form.OkBtn->click();
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(CommonConfig->MaximumHits, 1);
    EXPECT_EQ(CommonConfig->ContextType, 1);
    EXPECT_EQ(CommonConfig->ContextSizes[1], 12);
    EXPECT_EQ(CommonConfig->WildCard0orMore, '+');
    EXPECT_EQ(L0().EqualChars, "a=b");
}

// A letter as a wildcard and a word-skip range read backwards keep the dialog open with the field in
// question focused, and store nothing.
TEST_F(SettingsDialogsTest, SearchOptionsRefuseSpecialCharactersThatWouldChangeEverySearch) {
    TSearchOptionsForm Form(false, 0);
    Form.show();
    QApplication::setActiveWindow(&Form);
    Form.MaxSearchHitsEdit->setText("7");
    Form.Char0orMore->setText("e");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_NE(Backend.Texts().back().find("\"0 or more\""), std::string::npos) << Backend.Texts().back();
    EXPECT_EQ(QApplication::focusWidget(), Form.Char0orMore);
    EXPECT_EQ(CommonConfig->WildCard0orMore, '*');

    Form.Char0orMore->setText("*");
    Form.WordMatchLoEdit->setValue(6);
    Form.WordMatchHiEdit->setValue(4);
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_NE(Backend.Texts().back().find("between 6 and 4 words"), std::string::npos);
    EXPECT_EQ(CommonConfig->MaximumHits, 500);

    Form.WordMatchHiEdit->setValue(6);
    ClickThroughWindow(Form.OkBtn);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(CommonConfig->MaximumHits, 7);
    EXPECT_EQ(CommonConfig->MatchWordsLo, 6);
    EXPECT_EQ(CommonConfig->MatchWordsHi, 6);
}

TEST_F(SettingsDialogsTest, RevertFillsTheControlsOnly) {
    L0().NonWordChars = ".,";
    CommonConfig->WildCard0orMore = '+';
    TSearchOptionsForm Form(false, 0);
    Form.show();
    Form.RevertBtn->click();
    EXPECT_EQ(Form.Char0orMore->text(), "*");
    // The language's defaults: the 25 of every language and the punctuation its code page holds.
    const std::string Defaults = DefaultWordDelimiters(L0().LocaleId);
    EXPECT_GT(Defaults.size(), DefaultNonWordChars.size());
    EXPECT_EQ(Form.DelimitersCombo->currentText().size(), static_cast<int>(Defaults.size()));
    EXPECT_TRUE(Form.DelimitersCombo->currentText().startsWith(
        QString::fromLatin1(DefaultNonWordChars.data(), int(DefaultNonWordChars.size()))));
    EXPECT_EQ(CommonConfig->WildCard0orMore, '+');
    EXPECT_EQ(L0().NonWordChars, ".,");
}
