#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "results/ConcAdvancedSort.h"
#include "results/ConcContextType.h"
#include "results/ConcHeadingContext.h"
#include "results/ConcHeadingEdit.h"
#include "results/ConcHeadings.h"
#include "results/ConcParaSearch.h"
#include "results/ConcSearchOptions.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcSentExceptions.h"
#include "results/ConcSentOptions.h"
#include "results/ConcStopList.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

class QueryDialogsTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        AddFile(0, "en.txt", "The house by the river.\n");
        AddFile(1, "de.txt", "Das Haus am Fluss.\n");
        CommonConfig->FrequencyOfHits = 3;
        CommonConfig->TagSearchSeparator = '&';
    }
};

}  // namespace

TEST_F(QueryDialogsTest, SimpleQueryIsATextSearchWithTheDefaultsAndRemembersItsLanguage) {
    CommonConfig->RegularExpressions = true;
    CommonConfig->IgnoreCase = true;
    TSearchQueryForm Form(false, -1, false, nullptr, 1, false);
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Text Search");
    EXPECT_TRUE(Form.TextRadio->isChecked());  // whatever the default syntax
    EXPECT_FALSE(Form.SyntaxGroup->isVisible());
    EXPECT_FALSE(Form.AppendCheck->isEnabled());
    Form.PatternBox->setEditText("  Haus ");
    Form.OkBtn->click();
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    const TConcSearchRec& Q = Form.Query();
    EXPECT_EQ(Q.Language, 1);
    EXPECT_EQ(Q.Syntax, 0);
    EXPECT_EQ(Q.Names, std::vector<std::string>{"Haus"});
    EXPECT_EQ(Q.Patterns, std::vector<std::string>{"Haus"});
    EXPECT_EQ(Q.Flags & sfMatchCase, 0);
    EXPECT_EQ(Q.FrequencyOfHits, 3);
    EXPECT_EQ(CommonConfig->LastUsedLanguage, 1);
    EXPECT_FALSE(CommonConfig->RegularExpressions);
    EXPECT_EQ(LanguageConfigs[1]->SearchHistory[0].front(), "Haus");
}

TEST_F(QueryDialogsTest, AdvancedLayoutReachesTheRecordAndChecksRefuseBadTerms) {
    TSearchQueryForm Form(true, 0, false, nullptr, 0, false);
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Advanced Search");
    EXPECT_FALSE(Form.LayoutBtn->isVisible());
    EXPECT_TRUE(Form.AppendCheck->isEnabled());

    Form.PatternBox->setEditText("house,");
    Form.OkBtn->click();
    EXPECT_EQ(Form.result(), 0);
    EXPECT_EQ(Backend.Texts().back(), "The following characters in the search term are invalid:\r\n,");

    Form.PatternBox->setEditText("house @@ river");
    Form.OkBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "You cannot specify @@ in the search term.");

    Form.TagRadio->click();
    Form.PatternBox->setEditText("house&NN");
    Form.OkBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "You cannot use \"Tag Search\". Define \"Special Tags\" first.");

    // Regular expressions accept what text syntax refuses.
    Form.RegExpRadio->click();
    EXPECT_EQ(Form.ExamplesLabel->text().left(5), "e.g. ");
    Form.PatternBox->setEditText("house @@ (river|sea),");
    Form.IgnoreCaseCheck->setChecked(false);
    Form.SentenceModeCheck->setChecked(true);
    Form.AppendCheck->setChecked(true);
    Form.OkBtn->click();
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Query().Syntax, 1);
    EXPECT_EQ(Form.Query().Flags, sfMatchCase | sfSentenceMode | sfAppend);
}

TEST_F(QueryDialogsTest, SkippingCharactersAskAndNoKeepsTheDialogOpen) {
    TSearchQueryForm Form(true, -1, false, nullptr, 0, false);
    Form.show();
    Form.SkipEqualCheck->setChecked(true);
    Form.PatternBox->setEditText("co-op");
    Backend.Answers = {mrNo, mrYes};
    Form.OkBtn->click();
    EXPECT_EQ(Form.result(), 0);
    EXPECT_EQ(Backend.Texts().back(),
              "There are skipping characters in the search term:\r\n-\r\nContinue anyway?");
    Form.OkBtn->click();
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Query().SkippingChars, LanguageConfigs[0]->SkippingChars);
}

TEST_F(QueryDialogsTest, NoCorpusAndEmptyTerm) {
    Lang(2);
    TSearchQueryForm Form(true, -1, false, nullptr, 2, false);
    Form.show();
    Form.PatternBox->setEditText("word");
    Form.OkBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "You must have loaded corpora for this language.");
    TSearchQueryForm Other(true, -1, false, nullptr, 0, false);
    Other.show();
    const size_t Shown = Backend.Messages.size();
    Other.PatternBox->setEditText("   ");
    Other.OkBtn->click();
    EXPECT_EQ(Other.result(), 0);
    EXPECT_EQ(Backend.Messages.size(), Shown);  // an empty term stops silently
}

TEST_F(QueryDialogsTest, HistoriesFollowSyntaxAndLanguageAndAreWrittenOnOkOnly) {
    LanguageConfigs[0]->SearchHistory[0] = {"text0"};
    LanguageConfigs[0]->SearchHistory[1] = {"regex0"};
    LanguageConfigs[1]->SearchHistory[0] = {"text1"};
    {
        TSearchQueryForm Form(true, -1, false, nullptr, 0, false);
        Form.show();
        Form.TextRadio->click();
        EXPECT_EQ(Form.PatternBox->currentText(), "text0");
        Form.RegExpRadio->click();
        EXPECT_EQ(Form.PatternBox->currentText(), "regex0");
        Form.TextRadio->click();
        Form.LanguageBox->setCurrentIndex(1);
        emit Form.LanguageBox->activated(1);
        EXPECT_EQ(Form.PatternBox->currentText(), "text1");
        Form.PatternBox->setEditText("Fluss");
        Form.CancelBtn->click();
    }
    EXPECT_EQ(LanguageConfigs[1]->SearchHistory[0], std::vector<std::string>{"text1"});
}

TEST_F(QueryDialogsTest, UncheckedConditionsDoNotReachTheRecord) {
    TConcSearchRec Initial;
    Initial.Language = 0;
    Initial.Names = {"house"};
    Initial.Flags = sfHeading;
    Initial.HeadingPattern = "Chapter";
    TSearchQueryForm Form(true, -1, false, &Initial, 0, true);
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Advanced Parallel Search");
    EXPECT_EQ(Form.PatternBox->currentText(), "house");
    EXPECT_TRUE(Form.HeadingsContextsCheck->isChecked());
    Form.HeadingsContextsCheck->setChecked(false);
    Form.OkBtn->click();
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Query().Flags & (sfHeading | sfContext), 0);
    EXPECT_TRUE(Form.Query().HeadingPattern.empty());
    EXPECT_EQ(CommonConfig->LastUsedLanguage, 0);  // a parallel row does not change it
}

TEST_F(QueryDialogsTest, ParallelRowsAreCheckedAndReturnedWithNot) {
    Lang(2);
    TParaSearchForm Form;
    Form.show();
    EXPECT_EQ(Form.width(), 397);                // a fixed-size layout once overrode the client width
    EXPECT_EQ(Form.LanguagesCombo->count(), 2);  // "2", "3"
    ASSERT_EQ(Form.RowCount(), 2);
    EXPECT_EQ(Form.Row(0).QueryLabel->text(), "N/A");
    EXPECT_EQ(Form.Row(1).ParametersLabel->text(), "Search parameters N/A");
    EXPECT_FALSE(Form.Row(0).NotCheck->isVisible());

    Form.OkBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "Empty search term.");

    // The pattern dialog answered by the test fills row 0.
    QTimer::singleShot(0, [] {
        auto* Query = qobject_cast<TSearchQueryForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Query, nullptr);
        EXPECT_EQ(Query->windowTitle(), "Advanced Parallel Search");
        Query->PatternBox->setEditText("house");
        Query->OkBtn->click();
    });
    Form.Row(0).PatternBtn->click();
    EXPECT_EQ(Form.Row(0).QueryLabel->toolTip(), "house");
    Form.Row(1).Query->Names = {"Haus"};
    Form.Row(1).NotCheck->setChecked(true);

    Form.LanguagesCombo->setCurrentIndex(1);
    ASSERT_EQ(Form.RowCount(), 3);
    Form.Row(2).LanguageList->setCurrentIndex(1);
    emit Form.Row(2).LanguageList->activated(1);
    Form.OkBtn->click();
    EXPECT_EQ(Backend.Texts().back(), "This language must be different.");
    Form.LanguagesCombo->setCurrentIndex(0);
    EXPECT_EQ(Form.RowCount(), 2);

    Form.OkBtn->click();
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    const auto Queries = Form.Queries();
    ASSERT_EQ(Queries.size(), 2u);
    EXPECT_FALSE(Queries[0]->Not);
    EXPECT_TRUE(Queries[1]->Not);
    EXPECT_EQ(Queries[0]->Names, std::vector<std::string>{"house"});
}

// The simple layout is placed before the dialog shows: it must then sit in the middle of the screen,
// not at its left edge; switching layouts later re-centres it vertically only.
TEST_F(QueryDialogsTest, SimpleDialogOpensInTheMiddleOfTheScreen) {
    TSearchQueryForm Form(false, -1, false, nullptr, 0, false);
    Form.show();
    const QRect Area = Form.screen()->availableGeometry();
    const QRect Frame = Form.frameGeometry();
    EXPECT_LE(std::abs(Frame.center().x() - Area.center().x()), 2) << Frame.x() << " of " << Area.width();
    EXPECT_LE(std::abs(Frame.center().y() - Area.center().y()), 2);
    Form.move(Area.left() + 10, Form.y());
    Form.LayoutBtn->click();
    EXPECT_EQ(Form.frameGeometry().x(), Area.left() + 10);
    EXPECT_LE(std::abs(Form.frameGeometry().center().y() - Area.center().y()), 2);
}

// A history box never completes what is typed: "lord" once showed an older "lord god", and Enter
// searched that. Every enabled history box of the query, heading and options dialogs keeps the typed text.
TEST_F(QueryDialogsTest, TypingIntoAHistoryBoxKeepsWhatWasTyped) {
    const auto TypeLord = [](QComboBox* Box) {
        if (Box->findText("lord god") < 0) Box->addItem("lord god");
        Box->setEditText("");
        Box->lineEdit()->setFocus();
        QTest::keyClicks(Box->lineEdit(), "lord");
        return Box->currentText().toStdString();
    };
    LanguageConfigs[0]->SearchHistory[0] = {"lord god"};
    TSearchQueryForm Form(false, 0, false, nullptr, 0, false);
    Form.show();
    QApplication::setActiveWindow(&Form);
    EXPECT_EQ(TypeLord(Form.PatternBox), "lord");
    QTest::keyClick(Form.PatternBox->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Query().Names, std::vector<std::string>{"lord"});

    LanguageConfigs[0]->Headings.push_back({"Chapter", {"<h1>", "</h1>", "<p>", "</p>"}});
    TConcSearchRec Query;
    THeadingContextForm Heading(Query, 0, 0);
    TSearchOptionsForm Options(false, 0);
    for (QDialog* Dialog : std::initializer_list<QDialog*>{&Heading, &Options}) {
        Dialog->show();
        QApplication::setActiveWindow(Dialog);
        for (QCheckBox* Check : Dialog->findChildren<QCheckBox*>()) Check->setChecked(true);
        int Boxes = 0;
        for (QComboBox* Box : Dialog->findChildren<QComboBox*>()) {
            if (!Box->isEditable() || !Box->isEnabled()) continue;
            ++Boxes;
            EXPECT_EQ(TypeLord(Box), "lord") << Dialog->windowTitle().toStdString();
        }
        EXPECT_GE(Boxes, 2) << Dialog->windowTitle().toStdString();
    }
}

// An accelerator shared by two controls only moves the focus between them: every letter is unique in
// each query and settings dialog, in every layout.
TEST_F(QueryDialogsTest, AcceleratorsAreUniqueInEveryDialog) {
    using dialogchecks::MnemonicClashes;
    using TClashes = std::vector<std::string>;
    LanguageConfigs[0]->Headings.push_back({"Chapter", {"<h1>", "</h1>", "<p>", "</p>"}});
    TSearchQueryForm Advanced(true, -1, false, nullptr, 0, false);
    Advanced.show();
    EXPECT_EQ(MnemonicClashes(&Advanced), TClashes{});
    TSearchQueryForm Simple(false, -1, false, nullptr, 0, false);
    Simple.show();
    EXPECT_EQ(MnemonicClashes(&Simple), TClashes{});
    Simple.LayoutBtn->click();
    EXPECT_EQ(MnemonicClashes(&Simple), TClashes{});
    TParaSearchForm Parallel;
    Parallel.show();
    EXPECT_EQ(MnemonicClashes(&Parallel), TClashes{});
    TConcSearchRec Query;
    THeadingContextForm Heading(Query, 0, 0);
    Heading.show();
    EXPECT_EQ(MnemonicClashes(&Heading), TClashes{});
    TSearchOptionsForm Options(false, 0);
    Options.show();
    EXPECT_EQ(MnemonicClashes(&Options), TClashes{});
    TSentenceExceptionsForm Exceptions(0);
    Exceptions.show();
    EXPECT_EQ(MnemonicClashes(&Exceptions), TClashes{});
    TSentenceOptionsForm Sentences(0);
    Sentences.show();
    EXPECT_EQ(MnemonicClashes(&Sentences), TClashes{});
    THeadingsForm Headings(0);
    Headings.show();
    EXPECT_EQ(MnemonicClashes(&Headings), TClashes{});
    TContextSettings Settings;
    for (int Type = 0; Type < 5; ++Type) {
        TContextTypeForm ContextType(0, Settings);
        ContextType.show();
        ContextType.ContextTypeCombo->setCurrentIndex(Type);
        EXPECT_EQ(MnemonicClashes(&ContextType), TClashes{}) << Type;
    }
}

// Every query and settings dialog is wide enough for its title, which the window manager would
// otherwise cut ("Context Options" showed as "Conte...tions").
TEST_F(QueryDialogsTest, EveryDialogShowsItsTitleWhole) {
    LanguageConfigs[0]->SetLanguage(1031, "German (Standard)");
    std::vector<std::unique_ptr<QWidget>> Dialogs;
    Dialogs.push_back(std::make_unique<TSearchQueryForm>(true, -1, false, nullptr, 0, false));
    Dialogs.push_back(std::make_unique<TSearchQueryForm>(false, -1, false, nullptr, 0, false));
    Dialogs.push_back(std::make_unique<TParaSearchForm>());
    TConcSearchRec Query;
    Dialogs.push_back(std::make_unique<THeadingContextForm>(Query, 0, 0));
    Dialogs.push_back(std::make_unique<TSearchOptionsForm>(false, 0));
    Dialogs.push_back(std::make_unique<TSentenceExceptionsForm>(0));
    Dialogs.push_back(std::make_unique<TSentenceOptionsForm>(0));
    Dialogs.push_back(std::make_unique<THeadingsForm>(0));
    Dialogs.push_back(std::make_unique<THeadingEditForm>(false, -1, LanguageConfigs[0]->Headings, 0));
    Dialogs.push_back(std::make_unique<TContextTypeForm>(0, TContextSettings{}));
    TAdvancedSortColOptions Order;
    InitSortColOptions(Order);
    Dialogs.push_back(std::make_unique<TAdvancedSortColForm>(0, false, Order));
    Dialogs.push_back(std::make_unique<TAdvancedSortColForm>(0, true, Order));
    Dialogs.push_back(std::make_unique<TStopListForm>(0, LanguageConfigs[0]->StopList));
    std::vector<std::string> Cut;
    for (const auto& Dialog : Dialogs) {
        Dialog->show();
        if (dialogchecks::TitleCut(Dialog.get())) Cut.push_back(Dialog->windowTitle().toStdString());
    }
    EXPECT_EQ(Cut, std::vector<std::string>{});
}

// Tab follows the reading order: in "Headings/Contexts Search" it once went from the heading check box
// down to the pattern and back up to the definition box.
TEST_F(QueryDialogsTest, TabReadsTheHeadingDialogInOrder) {
    LanguageConfigs[0]->Headings.push_back({"Chapter", {"<h1>", "</h1>", "<p>", "</p>"}});
    TConcSearchRec Query;
    Query.Flags = sfHeading | sfContext;
    THeadingContextForm Form(Query, 0, 0);
    Form.show();
    Form.HeadingCheck->setFocus();
    const std::vector<QWidget*> Visits = dialogchecks::TabVisits(&Form);
    EXPECT_EQ(Visits.size(), 8u);
    EXPECT_EQ(dialogchecks::ReadingOrderBreak(&Form, Visits), "");
}
