#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "engine/ConcCorpus.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "shell/ConcPOSEdit.h"
#include "shell/ConcPOSTags.h"
#include "shell/ConcTagConfig.h"
#include "shell/ConcTagEdit.h"
#include "shell/TagSettingsRules.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

// Clicks where the user would: at the widget's centre (or Offset within it), through the window's own
// hit-testing, so that a control lying over another is caught.
void ClickThroughWindow(QWidget* Target, QPoint Offset = {-1, -1}) {
    QWidget* Window = Target->window();
    // A check box answers only on its box and caption, which sit at its left end.
    if (Offset.x() < 0 && qobject_cast<QCheckBox*>(Target)) Offset = QPoint(8, Target->height() / 2);
    const QPoint At = Target->mapTo(Window, Offset.x() < 0 ? Target->rect().center() : Offset);
    QWidget* Hit = Window->childAt(At);
    ASSERT_TRUE(Hit == Target || Target->isAncestorOf(Hit)) << "something lies over the control";
    QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(Window, At));
}

void TypeInto(QLineEdit* Edit, const QString& Text) {
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClick(Edit, Qt::Key_Delete);
    QTest::keyClicks(Edit, Text);
}

// Runs Action on the next modal dialog of type T (opened by what the caller does next).
template <class T>
void WhenModal(std::function<void(T*)> Action) {
    QTimer::singleShot(0, [Action] {
        auto* Form = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_TRUE(Form);
        Action(Form);
        if (Form->isVisible()) Form->done(QDialog::Rejected);
    });
}

class TagSettingsTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        CommonConfig->PageSeparator = "#page";
        for (int L = 0; L < 2; ++L)
            AddFile(L, "t" + std::to_string(L) + ".txt",
                    "<p>One line.</p>\r\n#page\r\n<p>Two words here.</p>\r\n");
        ASSERT_TRUE(ProcessCorpus());
        ClearWatchedTags();
        AddWatchedTag(TWatchedTag("p", "<p", ">"));
        AddWatchedTag(TWatchedTag("s", "<s", ""));
    }

    TScriptedBackend Script;
};

// ---- Rules ----------------------------------------------------------------------------------------

TEST(TagSettingsRules, ChangesCompareTheTextsAsTypedAndTrackedTagsRowByRow) {
    TCommonConcordConfig C;
    C.TagStart = '<';
    C.TagStop = '>';
    std::vector<TWatchedTag> Tags{TWatchedTag("p", "<p", ">")};
    TTagSettingsEdits E = CurrentTagSettings(C, Tags);
    EXPECT_FALSE(CompareTagSettings(E, C, Tags).Any);
    E.TagStart = " <";  // stored the same after trimming, yet a change of the delimiters
    TTagSettingsChanges Ch = CompareTagSettings(E, C, Tags);
    EXPECT_TRUE(Ch.Delimiters && Ch.Any && !Ch.PageDelimiter);
    E = CurrentTagSettings(C, Tags);
    E.Rows[0].TagStop = ">>";
    Ch = CompareTagSettings(E, C, Tags);
    EXPECT_TRUE(Ch.Any && !Ch.Delimiters && !Ch.PageDelimiter);

    // Names equal without regard to case would share one section of the preferences file.
    EXPECT_EQ(CheckTrackedTag("P", "<P", ">", false, Tags, -1), TTrackedTagCheck::DuplicateName);
    EXPECT_EQ(CheckTrackedTag("P", "<P", ">", false, Tags, 0), TTrackedTagCheck::Ok);
    EXPECT_EQ(CheckTrackedTag("q", "<q", " ", false, Tags, -1), TTrackedTagCheck::EmptyStop);
    EXPECT_EQ(CheckTrackedTag("q", "<q", "", true, Tags, -1), TTrackedTagCheck::Ok);
}

TEST(TagSettingsRules, StartsAndBeforeCountOnlyOutsideWordsAndMetaTagsRoundTrip) {
    TCommonConcordConfig C;
    C.WordTag = 1;
    C.wTagDelimiter = '_';
    C.wTagStop = '>';
    C.wTagStarts = {"<"};
    TSpecialTagsEdits E = CurrentSpecialTags(C);
    E.Starts = {"[", "{"};
    E.Before = true;
    EXPECT_FALSE(WordTagsChanged(E, C));  // the outside-word settings do not apply in mode 1
    E.Mode = 2;
    EXPECT_TRUE(WordTagsChanged(E, C));
    E = CurrentSpecialTags(C);
    E.Delimiter = " _ ";
    EXPECT_FALSE(WordTagsChanged(E, C));

    E.MetaTags = {{" NOUN ", "NN, NNS,, NNP "}};
    EXPECT_TRUE(MetaTagsChanged(E, C));
    EXPECT_FALSE(WordTagsChanged(E, C));
    ApplySpecialTags(E, C);
    ASSERT_EQ(C.MetaTags.size(), 1u);
    EXPECT_EQ(C.MetaTags[0].Name, "NOUN");
    EXPECT_EQ(C.MetaTags[0].Object, (std::vector<std::string>{"NN", "NNS", "NNP"}));
    EXPECT_EQ(CurrentSpecialTags(C).MetaTags[0].Contents, "NN, NNS, NNP");
    EXPECT_EQ(CheckMetaTag("noun", "X", {"NOUN"}, -1), TMetaTagCheck::DuplicateName);
    EXPECT_EQ(CheckMetaTag("noun", " ", {"NOUN"}, 0), TMetaTagCheck::EmptyContents);
}

// ---- What each change drops ------------------------------------------------------------------------

TEST_F(TagSettingsTest, EachChangeDropsExactlyWhatItInvalidatesAnnouncedFirst) {
    TRecordingMessenger Recorder;
    const TTagSettingsEdits Before = CurrentTagSettings(*CommonConfig, WatchedTags);
    // Tracked tags and display options only: nothing dropped, nothing asked.
    EXPECT_FALSE(DropAfterTagSettings(false, false, Before, true));
    EXPECT_TRUE(Recorder.Entries.empty());
    EXPECT_TRUE(Script.Messages.empty());

    // Without a corpus nothing was read with the old settings: nothing is asked or dropped, and the new
    // ones stay.
    CommonConfig->TagStart = '[';
    CommonConfig->PageSeparator = "#newpage";
    EXPECT_FALSE(DropAfterTagSettings(true, true, Before, false));
    EXPECT_TRUE(Script.Messages.empty());
    EXPECT_TRUE(Recorder.Entries.empty());
    EXPECT_EQ(CommonConfig->TagStart, '[');
    CommonConfig->TagStart = '<';

    // The page delimiter alone changes no reading of the text: nothing is asked; the page lists go (each
    // announced) to be counted again, nothing else.
    EXPECT_TRUE(DropAfterTagSettings(false, true, Before, true));
    EXPECT_TRUE(Script.Messages.empty());
    EXPECT_EQ(CommonConfig->PageSeparator, "#newpage");
    EXPECT_EQ(Recorder.Messages(), (std::vector<int>{CM_PAGEINDEXDROPPED, CM_PAGEINDEXDROPPED}));
    for (int L = 0; L < 2; ++L) {
        EXPECT_FALSE(LanguageConfigs[L]->PageStarts.GetItem(0));
        EXPECT_TRUE(LanguageConfigs[L]->FreqList);
        EXPECT_TRUE(LanguageConfigs[L]->SentenceIndexes.GetItem(0));
        EXPECT_TRUE(LanguageConfigs[L]->LineStarts.GetItem(0));
    }
    ASSERT_TRUE(ProcessCorpus());

    // New tag characters with other changes, and No: the corpus keeps its indexes and the characters it
    // was read with; every other change stays stored.
    const TTagSettingsEdits Read = CurrentTagSettings(*CommonConfig, WatchedTags);
    CommonConfig->TagStart = '[';
    CommonConfig->ShowLines = !Read.ShowLines;
    WatchedTags.pop_back();
    Recorder.Entries.clear();
    Script.Answers = {mrNo};
    EXPECT_FALSE(DropAfterTagSettings(true, false, Read, true));
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{TagSettingsScanQuestion()});
    EXPECT_TRUE(Recorder.Entries.empty());
    EXPECT_EQ(CommonConfig->TagStart, '<');
    EXPECT_EQ(CommonConfig->ShowLines, !Read.ShowLines);
    EXPECT_EQ(WatchedTags.size(), 1u);
    for (int L = 0; L < 2; ++L) {
        EXPECT_TRUE(LanguageConfigs[L]->SentenceIndexes.GetItem(0));
        EXPECT_TRUE(LanguageConfigs[L]->PageStarts.GetItem(0));
    }
    // No with a new page delimiter too: the pages are still counted again, at the characters kept.
    CommonConfig->TagStart = '[';
    CommonConfig->PageSeparator = "#page";
    Script.Messages.clear();
    Script.Answers = {mrNo};
    EXPECT_TRUE(DropAfterTagSettings(true, true, Read, true));
    EXPECT_EQ(CommonConfig->TagStart, '<');
    EXPECT_EQ(CommonConfig->PageSeparator, "#page");
    for (int L = 0; L < 2; ++L) {
        EXPECT_FALSE(LanguageConfigs[L]->PageStarts.GetItem(0));
        EXPECT_TRUE(LanguageConfigs[L]->SentenceIndexes.GetItem(0));
    }
    ASSERT_TRUE(ProcessCorpus());

    // Word tags: every corpus frequency list, nothing else, and no scan offered.
    Recorder.Entries.clear();
    Script.Messages.clear();
    DropAfterSpecialTags();
    for (int Msg : Recorder.Messages()) EXPECT_EQ(Msg, CM_FREQSETTINGSCHANGED);
    EXPECT_FALSE(Recorder.Messages().empty());
    EXPECT_TRUE(Script.Messages.empty());
    for (int L = 0; L < 2; ++L) {
        EXPECT_FALSE(LanguageConfigs[L]->FreqList);
        EXPECT_TRUE(LanguageConfigs[L]->SentenceIndexes.GetItem(0));
    }

    // The tag delimiters: the question says what scanning replaces; Yes drops everything processing built.
    EXPECT_NE(TagSettingsScanQuestion().find("alignment corrections made by hand"), std::string::npos);
    CommonConfig->TagStart = '[';
    Script.Answers = {mrYes};
    EXPECT_TRUE(DropAfterTagSettings(true, false, Before, true));
    EXPECT_EQ(CommonConfig->TagStart, '[');
    for (int L = 0; L < 2; ++L) {
        EXPECT_FALSE(LanguageConfigs[L]->SentenceIndexes.GetItem(0));
        EXPECT_FALSE(LanguageConfigs[L]->FileTags.GetItem(0));
    }
}

// ---- "Tags Settings" ------------------------------------------------------------------------------

TEST_F(TagSettingsTest, TagsSettingsChecksTheDelimitersAndStoresExactlyWhatWasEdited) {
    TTagConfigForm Form;
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    EXPECT_TRUE(dialogchecks::MnemonicClashes(&Form).empty());
    EXPECT_FALSE(Form.EditBtn->isEnabled());
    ASSERT_EQ(Form.TagList->topLevelItemCount(), 2);
    EXPECT_EQ(Form.TagList->topLevelItem(1)->text(1), "<s");

    // Relative lines go with page numbers.
    if (!Form.ShowPagesCheck->isChecked()) ClickThroughWindow(Form.ShowPagesCheck);
    ClickThroughWindow(Form.RelativeLinesCheck);
    EXPECT_TRUE(Form.RelativeLinesCheck->isChecked());
    ClickThroughWindow(Form.ShowPagesCheck);
    EXPECT_FALSE(Form.RelativeLinesCheck->isEnabled());
    EXPECT_FALSE(Form.RelativeLinesCheck->isChecked());

    const QRect Row = Form.TagList->visualItemRect(Form.TagList->topLevelItem(0));
    ClickThroughWindow(Form.TagList->viewport(), Row.center());
    EXPECT_TRUE(Form.EditBtn->isEnabled() && Form.RemoveBtn->isEnabled());
    Script.Answers = {mrYes};
    ClickThroughWindow(Form.RemoveBtn);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Are you sure want to delete \"p\" tag?"});
    EXPECT_EQ(Form.TagList->topLevelItemCount(), 1);

    TypeInto(Form.TagStartEdit, " [ ");
    TypeInto(Form.TagStopEdit, " ");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());  // an empty stop beeps and keeps the dialog
    EXPECT_EQ(QApplication::focusWidget(), Form.TagStopEdit);
    TypeInto(Form.TagStopEdit, "]");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_TRUE(Form.Applied.Delimiters);
    EXPECT_FALSE(Form.Applied.PageDelimiter);
    EXPECT_EQ(CommonConfig->TagStart, '[');
    EXPECT_EQ(CommonConfig->TagStop, ']');
    EXPECT_EQ(CommonConfig->PageSeparator, "#page");
    EXPECT_FALSE(CommonConfig->RelativeLines);
    ASSERT_EQ(WatchedTags.size(), 1u);
    EXPECT_EQ(WatchedTags[0].Name, "s");
    EXPECT_TRUE(WatchedTags[0].NoStop);
}

TEST_F(TagSettingsTest, OkWithoutChangesClosesAsCancelledAndCancelWithChangesAsksFirst) {
    bool Delimiters = true, Page = true;
    WhenModal<TTagConfigForm>([](TTagConfigForm* Form) { ClickThroughWindow(Form->OkBtn); });
    EXPECT_FALSE(ConfigureTags(Delimiters, Page));
    EXPECT_TRUE(Delimiters && Page);  // untouched

    WhenModal<TTagConfigForm>([this](TTagConfigForm* Form) {
        TypeInto(Form->PageDelimiterEdit, "@@");
        Script.Answers = {mrYes};
        ClickThroughWindow(Form->CancelBtn);
    });
    EXPECT_TRUE(ConfigureTags(Delimiters, Page));
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"You have made changes. Apply them now?"});
    EXPECT_FALSE(Delimiters);
    EXPECT_TRUE(Page);
    EXPECT_EQ(CommonConfig->PageSeparator, "@@");
}

TEST_F(TagSettingsTest, ATrackedTagWithoutStopOpensInCocoaFormatAndNamesMayNotRepeat) {
    TTagEditForm Form(false, "s", "<s", "", WatchedTags, 1);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    EXPECT_TRUE(dialogchecks::MnemonicClashes(&Form).empty());
    EXPECT_TRUE(Form.CocoaCheck->isChecked());
    EXPECT_EQ(Form.StartLabel->text(), QString("&Tag:"));
    EXPECT_FALSE(Form.StopEdit->isEnabled());
    ClickThroughWindow(Form.CocoaCheck);
    EXPECT_EQ(Form.StartLabel->text(), QString("&Tag Start:"));
    EXPECT_TRUE(Form.StopEdit->isEnabled());

    TypeInto(Form.NameEdit, "P");
    TypeInto(Form.StopEdit, ">");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"There are already defined tag with name \"P\"."});
    TypeInto(Form.NameEdit, "  sent ");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.Name(), "sent");
    EXPECT_EQ(Form.Stop(), ">");
}

// ---- "Special Tags Settings" ----------------------------------------------------------------------

TEST_F(TagSettingsTest, OutsideWordTagsNeedEveryStartAndAStopAndOnlyTheyCountAsAChange) {
    CommonConfig->WordTag = 0;
    CommonConfig->wTagStop = 0;
    TPOSTagsConfigForm Form;
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    EXPECT_TRUE(dialogchecks::MnemonicClashes(&Form).empty());
    // The meta-tag columns share the list's width.
    EXPECT_GE(Form.MetaList->columnWidth(0) + Form.MetaList->columnWidth(1),
              Form.MetaList->viewport()->width() - Form.style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    EXPECT_GE(Form.MetaList->columnWidth(0), Form.MetaList->viewport()->width() / 4);
    EXPECT_FALSE(Form.DelimiterGroup->isEnabled() || Form.OutsideGroup->isEnabled());
    ClickThroughWindow(Form.EmbeddedCheck);
    EXPECT_TRUE(Form.DelimiterGroup->isEnabled());
    ClickThroughWindow(Form.OutsideCheck);
    EXPECT_FALSE(Form.EmbeddedCheck->isChecked());
    EXPECT_EQ(Form.Mode(), 2);
    EXPECT_TRUE(Form.OutsideGroup->isEnabled() && !Form.DelimiterGroup->isEnabled());

    ClickThroughWindow(Form.AddStartBtn);
    ASSERT_EQ(Form.StartList->count(), 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);  // leaves the new row empty
    TypeInto(Form.StopEdit, ">");
    ClickThroughWindow(Form.OkBtn);
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Empty \"Tag Start\"."});
    // The empty row is put into editing; Enter there ends the edit, not the dialog.
    auto* Editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_TRUE(Editor);
    ASSERT_TRUE(Form.StartList->isAncestorOf(Editor));
    QTest::keyClicks(Editor, "[");
    QTest::keyClick(Editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the list takes an edit in once its editor has closed
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Form.StartList->item(0)->text(), "[");

    ClickThroughWindow(Form.OkBtn);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_TRUE(Form.WordTagsWereChanged);
    EXPECT_EQ(CommonConfig->WordTag, 2);
    EXPECT_EQ(CommonConfig->wTagStarts, std::vector<std::string>{"["});
    EXPECT_EQ(CommonConfig->wTagStop, '>');
}

TEST_F(TagSettingsTest, MetaTagsAreStoredWithoutDroppingAnythingAndTheirNamesMayNotRepeat) {
    CommonConfig->MetaTags.push_back({"NOUN", {"NN", "NNS"}});
    WhenModal<TPOSTagsConfigForm>([this](TPOSTagsConfigForm* Form) {
        WhenModal<TPOSTageEditForm>([this](TPOSTageEditForm* Edit) {
            EXPECT_EQ(Edit->windowTitle(), "Add New Meta-Tag");
            TypeInto(Edit->NameEdit, "noun");
            TypeInto(Edit->ContentsEdit, "VB, VBD");
            ClickThroughWindow(Edit->OkBtn);
            EXPECT_TRUE(Edit->isVisible());
            TypeInto(Edit->NameEdit, "VERB");
            ClickThroughWindow(Edit->OkBtn);
            EXPECT_FALSE(Edit->isVisible());
        });
        ClickThroughWindow(Form->AddMetaBtn);
        ASSERT_EQ(Form->MetaList->topLevelItemCount(), 2);
        ClickThroughWindow(Form->OkBtn);
    });
    EXPECT_FALSE(ConfigureSpecialTags());
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Meta-Tag with name \"noun\" already exists."});
    ASSERT_EQ(CommonConfig->MetaTags.size(), 2u);
    EXPECT_EQ(CommonConfig->MetaTags[1].Name, "VERB");
    EXPECT_EQ(CommonConfig->MetaTags[1].Object, (std::vector<std::string>{"VB", "VBD"}));
    EXPECT_TRUE(LanguageConfigs[0]->FreqList);
}

}  // namespace
