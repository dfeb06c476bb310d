#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "engine/ConcUtils.h"
#include "results/ConcAdvancedSort.h"
#include "results/ConcHotChoose.h"
#include "results/ConcHotWordsOptions.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

using dialogchecks::ClickThroughWindow;
using dialogchecks::OnModal;

void ClickRow(QTreeWidget* List, int Row, Qt::KeyboardModifiers Modifiers = {}) {
    const QRect R = List->visualItemRect(List->topLevelItem(Row));
    QWidget* Top = List->window();
    const QPoint InTop = List->viewport()->mapTo(Top, R.center());
    QWidget* Hit = Top->childAt(InTop);
    ASSERT_EQ(Hit, List->viewport());
    QTest::mouseClick(Hit, Qt::LeftButton, Modifiers, R.center());
}

class HotWordsDialogsTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Lang(1);
        AddWatchedTag({"Speaker", "<sp>", "</sp>"});
        AddWatchedTag({"Scene", "<sc>", ""});
    }
    TRecordingMessenger Messenger;
};

TEST_F(HotWordsDialogsTest, SortVariantShowsTheRecordAndSortsByTheBoxes) {
    TAdvancedSortColOptions Options;
    InitSortColOptions(Options);
    Options.Keys = {{{sk1L, true}, {skTrackedTag, false}, {skNone, false}}};
    Options.TrackedTag = "Scene";
    TAdvancedSortColForm Form(0, false, Options);
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Advanced Sort - English (United States)");
    EXPECT_TRUE(Form.SortPanel->isVisible());
    EXPECT_FALSE(Form.CollocationPanel->isVisible());
    EXPECT_EQ(Form.CustomisedCheck->text(), "Customised Sort:");
    EXPECT_EQ(Form.KeyCombos[1]->currentText(), "Tracked tag");
    EXPECT_TRUE(Form.ReverseChecks[0]->isChecked());
    EXPECT_TRUE(Form.ReverseChecks[0]->isEnabled());
    EXPECT_FALSE(Form.ReverseChecks[1]->isEnabled());  // only positions reverse
    EXPECT_FALSE(Form.CustomisedEdit->isEnabled());
    ASSERT_EQ(Form.TagsGrid->rowCount(), 2);
    EXPECT_EQ(Form.TagsGrid->item(0, 1)->text(), "<sp>");
    EXPECT_EQ(Form.TagsGrid->selectedItems().value(0)->row(), 1);

    Form.KeyCombos[1]->setCurrentIndex(SortKeyIndex(TSortKeyTable::Sort, skSearchTerm));
    EXPECT_TRUE(Form.ReverseChecks[1]->isEnabled());
    ClickThroughWindow(Form.ReverseChecks[1]);
    ClickThroughWindow(Form.OkBtn);
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    // The boxes' reverse flags reach the items, so that the sort honours them.
    EXPECT_EQ(Form.Items(), (TAdvancedSortColItems{{sk1L, true}, {skSearchTerm, true}}));
    EXPECT_EQ(Form.Options().Keys[1], (TAdvancedSortColItem{skSearchTerm, true}));
    EXPECT_EQ(Form.Options().TrackedTag, "Scene");
    EXPECT_TRUE(Backend.Messages.empty());
}

TEST_F(HotWordsDialogsTest, SortVariantRefusesAMissingTagAndBadCustomisedOrders) {
    TAdvancedSortColOptions Options;
    InitSortColOptions(Options);
    Options.Keys[0].Key = skTrackedTag;
    TAdvancedSortColForm Form(0, false, Options);
    Form.show();
    EXPECT_TRUE(Form.TagsGrid->selectedItems().isEmpty());
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"Please select a tracked tag."});

    // With the customised order checked, only its items count: the key boxes' tag is not asked for.
    ClickThroughWindow(Form.CustomisedCheck);
    EXPECT_FALSE(Form.KeyGroups[0]->isEnabled());
    EXPECT_TRUE(Form.CustomisedEdit->isEnabled());
    ClickThroughWindow(Form.CustomisedEdit);
    QTest::keyClicks(Form.CustomisedEdit, "4l,,1r");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Backend.Texts().back(), "Unknown item in Customised Sort.");
    EXPECT_EQ(Form.CustomisedEdit->cursorPosition(), 3);
    Form.CustomisedEdit->setText("1lr-3l");
    ClickThroughWindow(Form.OkBtn);
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Items(), (TAdvancedSortColItems{{sk1L, true}, {sk2L, true}, {sk3L, true}}));
    EXPECT_TRUE(Form.Options().Customised);
    EXPECT_EQ(Form.Options().CustomisedText, "1lr-3l");
    EXPECT_EQ(Form.Options().TrackedTag, "");
    EXPECT_EQ(Backend.Messages.size(), 2u);
}

TEST_F(HotWordsDialogsTest, CollocationVariantSpanAndCustomisedExcludeEachOther) {
    TAdvancedSortColOptions Options;
    InitSortColOptions(Options);
    Options.Keys = {{{sk2R, true}, {skDefined, false}, {sk1L, false}}};  // 11: no collocation key
    Options.ShowFirst = 25;
    TAdvancedSortColForm Form(-1, true, Options);
    Form.show();
    EXPECT_EQ(Form.windowTitle(), "Advanced Collocation - All");
    EXPECT_FALSE(Form.SortPanel->isVisible());
    EXPECT_FALSE(Form.ReverseChecks[0]->isVisible());
    EXPECT_EQ(Form.CustomisedCheck->text(), "Customised Collocation:");
    EXPECT_EQ(Form.KeyCombos[1]->currentText(), "None");
    EXPECT_EQ(Form.SpanCombo->currentText(), "2");  // a stored length of 0 shows 2
    EXPECT_FALSE(Form.SpanCombo->isEnabled());
    EXPECT_EQ(Form.ShowFirstEdit->value(), 25);

    ClickThroughWindow(Form.OkBtn);  // 2R before 1L: columns go left to right
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{"Invalid order in Customised Collocation."});

    ClickThroughWindow(Form.CustomisedCheck);
    ClickThroughWindow(Form.SpanCheck);
    EXPECT_FALSE(Form.CustomisedCheck->isChecked());
    EXPECT_FALSE(Form.CustomisedEdit->isEnabled());
    EXPECT_FALSE(Form.KeyGroups[2]->isEnabled());
    EXPECT_TRUE(Form.SpanCombo->isEnabled());
    ClickThroughWindow(Form.CustomisedCheck);
    EXPECT_FALSE(Form.SpanCheck->isChecked());
    ClickThroughWindow(Form.SpanCheck);
    Form.SpanCombo->setCurrentIndex(2);
    Form.KeyCombos[0]->setCurrentIndex(SortKeyIndex(TSortKeyTable::Collocation, sk4L));
    ClickThroughWindow(Form.ShowFirstEdit);
    QTest::keyClick(Form.ShowFirstEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Form.ShowFirstEdit, "5000");  // the last digit would leave 0..1000
    ClickThroughWindow(Form.OkBtn);
    ASSERT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_TRUE(Form.Options().Span);
    EXPECT_EQ(Form.Options().SpanLength, 4);
    EXPECT_EQ(Form.Options().ShowFirst, 500);
    EXPECT_EQ(Form.Items(), (TAdvancedSortColItems{{sk4L}, {sk1L}}));
}

// OK with every key "None" would close the dialog to sort or count nothing: it says why and stays open.
TEST_F(HotWordsDialogsTest, OkWithEveryKeyNoneSaysWhy) {
    TAdvancedSortColOptions Options;
    InitSortColOptions(Options);
    for (bool Collocation : {false, true}) {
        TAdvancedSortColForm Form(0, Collocation, Options);
        Form.show();
        const TSortKeyTable Table = Collocation ? TSortKeyTable::Collocation : TSortKeyTable::Sort;
        for (QComboBox* Combo : Form.KeyCombos) ASSERT_EQ(Combo->currentIndex(), SortKeyIndex(Table, skNone));
        ClickThroughWindow(Form.OkBtn);
        EXPECT_TRUE(Form.isVisible());
        ASSERT_FALSE(Backend.Texts().empty());
        EXPECT_EQ(Backend.Texts().back(),
                  Collocation ? "Please select a collocation item." : "Please select a sort item.");
        if (!Collocation) continue;
        // A span needs no key.
        ClickThroughWindow(Form.SpanCheck);
        ClickThroughWindow(Form.OkBtn);
        EXPECT_EQ(Form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Backend.Messages.size(), 2u);
}

TEST_F(HotWordsDialogsTest, ExecuteAdvancedSortCopiesBackOnlyOnOk) {
    TAdvancedSortColOptions Options;
    InitSortColOptions(Options);
    TAdvancedSortColItems Items{{sk4R}};
    OnModal<TAdvancedSortColForm>([](TAdvancedSortColForm* F) {
        F->KeyCombos[0]->setCurrentIndex(0);
        ClickThroughWindow(F->CancelBtn);
    });
    EXPECT_FALSE(ExecuteAdvancedSort(1, false, Options, Items));
    EXPECT_EQ(Options.Keys[0].Key, skNone);
    EXPECT_EQ(Items, (TAdvancedSortColItems{{sk4R}}));
    OnModal<TAdvancedSortColForm>([](TAdvancedSortColForm* F) {
        F->KeyCombos[0]->setCurrentIndex(0);
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_TRUE(ExecuteAdvancedSort(1, false, Options, Items));
    EXPECT_EQ(Options.Keys[0].Key, sk4L);
    EXPECT_EQ(Items, (TAdvancedSortColItems{{sk4L}}));
}

TEST_F(HotWordsDialogsTest, KeyboardUsersMeetOneLetterPerControlAndTabInReadingOrder) {
    TAdvancedSortColOptions Sort;
    InitSortColOptions(Sort);
    for (bool Collocation : {false, true}) {
        TAdvancedSortColForm Form(0, Collocation, Sort);
        Form.show();
        EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
    }
    THotWordsOptionsForm Form(0, hoHotWords, {{5, 10}, 4}, {0.001, true, 0.6, 0.0001});
    Form.show();
    EXPECT_EQ(dialogchecks::MnemonicClashes(&Form), std::vector<std::string>{});
    Form.MinHitsEdit->setFocus();
    const std::vector<QWidget*> Visits = dialogchecks::TabVisits(&Form);
    EXPECT_EQ(Visits.size(), 9u);
    EXPECT_EQ(dialogchecks::ReadingOrderBreak(&Form, Visits), "");
}

// ---- Hot-words options ---------------------------------------------------------------------------------

TEST_F(HotWordsDialogsTest, OptionsLayoutsByMode) {
    const THotWordsGlobals Globals{{5, 10}, 4};
    const THotWordsOptions Options{0.001, false, 0.6, 0.0001};
    int Heights[3] = {};
    for (int Mode : {hoTranslations, hoHotWords, hoTranslationsOnly}) {
        THotWordsOptionsForm Form(1, Mode, Globals, Options);
        Form.show();
        Heights[Mode] = Form.height();
        EXPECT_EQ(Form.windowTitle(), Mode == hoHotWords ? "Hot Words Options" : "Translations Options");
        EXPECT_EQ(Form.HotWordsPage->isVisible(), Mode == hoHotWords);
        EXPECT_EQ(Form.TranslationsPage->isVisible(), Mode != hoHotWords);
        EXPECT_EQ(Form.LanguageGroup->isVisible(), Mode != hoTranslationsOnly);
        EXPECT_EQ(Form.SetDefaultCheck->isVisible(), Mode != hoTranslationsOnly);
        EXPECT_EQ(Form.Bevel->isVisible(), Mode != hoTranslationsOnly);
        EXPECT_EQ(Form.LanguageGroup->title(), " Language Options - English (United States) ");
        EXPECT_EQ(Form.RankThresholdEdit->text(), "0.001");
        EXPECT_EQ(Form.ParadigmRankThresholdEdit->text(), "0.0001");
        EXPECT_EQ(Form.TranslationPassesEdit->value(), 4);
        EXPECT_EQ(Form.TranslationPassesEdit->maximum(), 30);
    }
    EXPECT_LT(Heights[hoTranslations], Heights[hoHotWords]);
    EXPECT_LT(Heights[hoTranslationsOnly], Heights[hoTranslations]);
}

TEST_F(HotWordsDialogsTest, OptionsReadTheEditsAndCloseByTheirChanges) {
    const THotWordsGlobals Globals{{5, 10}, 4};
    const THotWordsOptions Options{0.001, false, 0.6, 0.0001};
    {
        THotWordsOptionsForm Form(0, hoHotWords, Globals, Options);
        Form.show();
        EXPECT_FALSE(Form.ParadigmThresholdEdit->isEnabled());
        ClickThroughWindow(Form.ParadigmCheck);
        EXPECT_TRUE(Form.ParadigmThresholdEdit->isEnabled());
        ClickThroughWindow(Form.ParadigmCheck);
        Form.RankThresholdEdit->clear();
        ClickThroughWindow(Form.RankThresholdEdit);
        QTest::keyClicks(Form.RankThresholdEdit, "2x.5-");  // letters and signs never reach the edit
        EXPECT_EQ(Form.RankThresholdEdit->text(), "2.5");
        Form.ParadigmThresholdEdit->setText("much");  // not a number: the old value stays
        ClickThroughWindow(Form.OkBtn);
        ASSERT_EQ(Form.result(), QDialog::Accepted);
        EXPECT_EQ(Form.Options(), (THotWordsOptions{2.5, false, 0.6, 0.0001}));
    }
    {
        THotWordsOptionsForm Form(0, hoHotWords, Globals, Options);
        Form.show();
        ClickThroughWindow(Form.OkBtn);  // nothing changed: as cancelled
        EXPECT_EQ(Form.result(), QDialog::Rejected);
    }
    {
        THotWordsOptionsForm Form(0, hoTranslationsOnly, Globals, Options);
        Form.show();
        ClickThroughWindow(Form.OkBtn);  // without language options OK always counts
        EXPECT_EQ(Form.result(), QDialog::Accepted);
    }
    THotWordsOptionsForm Form(0, hoTranslations, Globals, Options);
    Form.show();
    Form.TranslationPassesEdit->setValue(9);
    Backend.Answers = {mrCancel, mrNo};
    ClickThroughWindow(Form.CancelBtn);
    EXPECT_TRUE(Form.isVisible());
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_EQ(Form.result(), QDialog::Rejected);
    EXPECT_EQ(Form.Globals().TranslationPasses, 4);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>(2, "You have made changes. Apply them now?"));
    EXPECT_TRUE(Messenger.Entries.empty());
}

TEST_F(HotWordsDialogsTest, SetAsDefaultAsksAndClearsHotWordsEverywhere) {
    HotWordsConfig = {5, 10};
    THotWordsConfig Config{5, 10};
    THotWordsOptions Options{0.001, false, 0.6, 0.0001};
    int32_t Passes = 4;
    OnModal<THotWordsOptionsForm>([](THotWordsOptionsForm* F) {
        ClickThroughWindow(F->SetDefaultCheck);
        ClickThroughWindow(F->OkBtn);  // nothing changed: nothing asked, nothing applied
    });
    EXPECT_FALSE(ShowHotWordsOptions(1, Config, Options, hoHotWords, Passes));
    EXPECT_TRUE(Backend.Messages.empty());

    Backend.Answers = {mrNo, mrYes};
    OnModal<THotWordsOptionsForm>([this](THotWordsOptionsForm* F) {
        ClickThroughWindow(F->SetDefaultCheck);
        F->MinHitsEdit->setValue(3);
        ClickThroughWindow(F->OkBtn);
        EXPECT_TRUE(F->isVisible());  // No: stays open with the edits, nothing applied
        EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 5);
        EXPECT_TRUE(Messenger.Entries.empty());
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_TRUE(ShowHotWordsOptions(1, Config, Options, hoHotWords, Passes));
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>(2, SetAsDefaultQuestion));
    EXPECT_EQ(Config.MinHitsForHotWords, 3);
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 3);
    EXPECT_EQ(LanguageHotWordsOptions(1), Options);
    ASSERT_EQ(Messenger.Entries.size(), 2u);  // a global count changed: both languages
    EXPECT_EQ(Messenger.Entries[1].Msg, CM_CLEARHOTWORDS);
    EXPECT_EQ(Messenger.Entries[1].WParam, 1);
}

// ---- The chooser ---------------------------------------------------------------------------------------

class HotChooserTest : public HotWordsDialogsTest {
protected:
    void SetUp() override {
        HotWordsDialogsTest::SetUp();
        Lang(1).FreqList = std::make_unique<TFreqList>(1);
        // Ten distinct words against five in the hits' contexts: a word is offered when more than half
        // of its uses lie there.
        for (const auto& [Word, Count] : {std::pair{"der", 90},
                                          {"haus", 3},
                                          {"hause", 3},
                                          {"katze", 2},
                                          {"fluss", 8},
                                          {"und", 50},
                                          {"die", 80},
                                          {"ein", 40},
                                          {"ist", 30},
                                          {"mit", 20}})
            Lang(1).FreqList->AddWord(Word, Count);
        Chosen = std::make_unique<TFreqList>(1);
    }

    std::unique_ptr<TFreqList> Local() const {
        auto List = std::make_unique<TFreqList>(1);
        for (const auto& [Word, Count] :
             {std::pair{"der", 2}, {"haus", 3}, {"hause", 2}, {"katze", 1}, {"fluss", 1}})
            List->AddWord(Word, Count);
        List->SortAlphabetically();
        return List;
    }

    bool Choose(int Mode, int32_t Hits) {
        return ChooseHotWords(1, Hits, Cached, OptionsChanged, Mode, Passes, Options, Config, *Chosen,
                              [this](int) { return Local(); });
    }

    std::vector<QString> Column(const QTreeWidget* List, int Column) {
        std::vector<QString> Texts;
        for (int I = 0; I < List->topLevelItemCount(); ++I)
            Texts.push_back(List->topLevelItem(I)->text(Column));
        return Texts;
    }

    std::unique_ptr<TFreqList> Cached;
    bool OptionsChanged = false;
    int32_t Passes = 4;
    THotWordsOptions Options{0.001, false, 0.6, 0.0001};
    THotWordsConfig Config{5, 10};
    std::unique_ptr<TFreqList> Chosen;
};

TEST_F(HotChooserTest, TooFewHitsOpensEmptySoThatOptionsCanRankAgain) {
    OnModal<TChooseHotWordsForm>([this](TChooseHotWordsForm* F) {
        EXPECT_EQ(F->windowTitle(), "Hot Words - English (United States)");
        // Wide enough that the title bar shows the language whole.
        EXPECT_FALSE(dialogchecks::TitleCut(F));
        EXPECT_EQ(F->ChooseLabel->text(), "Choose &hot words to highlight:");
        EXPECT_EQ(F->WordsList->topLevelItemCount(), 0);
        OnModal<THotWordsOptionsForm>([](THotWordsOptionsForm* O) {
            EXPECT_EQ(O->windowTitle(), "Hot Words Options");
            O->MinHitsEdit->setValue(2);
            O->MaxCandidatesEdit->setValue(2);
            ClickThroughWindow(O->OkBtn);
        });
        ClickThroughWindow(F->OptionsBtn);
        // haus (3 of 3 uses) above hause (2 of 3); katze (1 of 2) and fluss (1 of 8) are not offered.
        EXPECT_EQ(Column(F->WordsList, 2), (std::vector<QString>{"haus", "hause"}));
        EXPECT_EQ(Column(F->WordsList, 1), (std::vector<QString>{"0.71", "0.10"}));
        EXPECT_TRUE(F->WordsList->selectedItems().isEmpty());
        ClickRow(F->WordsList, 1);
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_TRUE(Choose(hcHotWords, 3));
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{NotEnoughMatchesText});
    EXPECT_EQ(Config.MinHitsForHotWords, 2);          // the window's copy
    EXPECT_EQ(HotWordsConfig.MinHitsForHotWords, 0);  // not the defaults
    ASSERT_EQ(Chosen->Count(), 1);
    EXPECT_EQ(Chosen->GetItem(0)->Word, "hause");
}

TEST_F(HotChooserTest, ChosenWordsShowSelectedAndAnUnchangedChoiceIsNoChoice) {
    Config.MinHitsForHotWords = 1;
    Options.ParadigmOption = true;
    Options.ParadigmRankThreshold = 0;
    Chosen->AddWord("hause");
    OnModal<TChooseHotWordsForm>([this](TChooseHotWordsForm* F) {
        // Linked forms (8/13 alike) add up their scores and are drawn in red.
        EXPECT_EQ(Column(F->WordsList, 2), (std::vector<QString>{"haus", "hause"}));
        EXPECT_EQ(Column(F->WordsList, 1), (std::vector<QString>{"0.80", "0.80"}));
        EXPECT_EQ(F->WordsList->topLevelItem(0)->foreground(2).color(), QColor(Qt::red));
        EXPECT_FALSE(F->WordsList->topLevelItem(0)->isSelected());
        EXPECT_TRUE(F->WordsList->topLevelItem(1)->isSelected());
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_FALSE(Choose(hcHotWords, 1));
    ASSERT_EQ(Chosen->Count(), 1);
    OnModal<TChooseHotWordsForm>([](TChooseHotWordsForm* F) {
        ClickRow(F->WordsList, 0, Qt::ControlModifier);
        ClickThroughWindow(F->CancelBtn);
    });
    EXPECT_FALSE(Choose(hcHotWords, 1));
    EXPECT_EQ(Chosen->Count(), 1);  // Cancel keeps the choice
    OnModal<TChooseHotWordsForm>([](TChooseHotWordsForm* F) {
        ClickRow(F->WordsList, 0, Qt::ControlModifier);
        ClickThroughWindow(F->OkBtn);
    });
    EXPECT_TRUE(Choose(hcHotWords, 1));
    EXPECT_EQ(Chosen->Count(), 2);
}

TEST_F(HotChooserTest, TranslationsWithoutCandidatesDoNotOpen) {
    Chosen->AddWord("haus");
    bool Built = false;
    EXPECT_TRUE(ChooseHotWords(1, 0, Cached, OptionsChanged, hcTranslations, Passes, Options, Config, *Chosen,
                               [&](int) {
                                   Built = true;
                                   return std::make_unique<TFreqList>(1);
                               }));
    EXPECT_TRUE(Built);
    EXPECT_TRUE(Backend.Messages.empty());
}

}  // namespace
