#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "alignment/ConcAlignChoose.h"
#include "alignment/ConcAligner.h"
#include "alignment/alignDelSegsSettings.h"
#include "alignment/alignSegStartStopSettings.h"
#include "alignment/concAlignErrorDialog.h"
#include "alignment/concAlignMarkersConfig.h"
#include "engine/ConcConfig.h"
#include "tests/alignment/AlignTestSupport.h"
#include "tests/support/ConfigTestSupport.h"
#include "tests/support/DialogChecks.h"

namespace {

using dialogchecks::OnModal;

QLineEdit* RowEditor(QListWidget* List) {
    return List->viewport()->findChild<QLineEdit*>();
}

void Key(QWidget* W, Qt::Key K) {
    QTest::keyClick(W, K);
}

using AlignDialogs = TFreshConfigTest;

}  // namespace

TEST_F(AlignDialogs, ErrorDialogAnswersOnlyWithItsButtons) {
    OnModal<TAlignErrorForm>([](TAlignErrorForm* F) {
        EXPECT_EQ(F->windowTitle(), "Error");
        EXPECT_EQ(F->FileLabel1->text(), "a.txt");
        EXPECT_EQ(F->FileLabel2->text(), "b.txt");
        EXPECT_EQ(F->MessageLabel->text(), "Different number of sections.");
        EXPECT_EQ(F->Button1->text(), "Fix");
        EXPECT_EQ(F->Button2->text(), "Ignore Sections");
        EXPECT_FALSE(F->windowFlags() & Qt::WindowCloseButtonHint);
        // The longer caption decides the width of both buttons; the second ends where the message does.
        const int Needed = F->Button2->fontMetrics().horizontalAdvance("Ignore Sections") + 8;
        EXPECT_EQ(F->Button1->width(), F->Button2->width());
        EXPECT_EQ(F->Button1->width(), std::max(75, Needed));
        EXPECT_EQ(F->Button2->geometry().right(), F->MessageLabel->geometry().right());
        EXPECT_EQ(F->Button1->geometry().right() + 1 + 4, F->Button2->x());
        Key(F, Qt::Key_Escape);
        F->close();
        EXPECT_TRUE(F->isVisible());
        QTest::mouseClick(F->Button1, Qt::LeftButton);
    });
    EXPECT_EQ(
        ExecuteAlignErrorForm("a.txt", "b.txt", "Different number of sections.", "Ignore Sections", "Fix"),
        1);
    OnModal<TAlignErrorForm>([](TAlignErrorForm* F) { QTest::mouseClick(F->Button2, Qt::LeftButton); });
    EXPECT_EQ(ExecuteAlignErrorForm("a", "b", "m", "Cancel", "Fix"), 2);
    // Registered, it is what the aligners ask through.
    RegisterAlignErrorDialog();
    OnModal<TAlignErrorForm>([](TAlignErrorForm* F) {
        EXPECT_EQ(F->Button1->width(), 75);
        QTest::mouseClick(F->Button2, Qt::LeftButton);
    });
    EXPECT_EQ(ShowAlignError("a", "b", "m", "Cancel", "Fix"), 2);
    SetAlignErrorDialog(nullptr);
}

TEST_F(AlignDialogs, MarkersDialogEditsEachLanguageAndStoresOnOkOnly) {
    MakeLanguages(3);
    LanguageConfigs[1]->Markers = {"<p>", "<div>"};
    LanguageConfigs[2]->HiliteNumbers = true;
    OnModal<TAlignMarkersConfigForm>([](TAlignMarkersConfigForm* F) {
        EXPECT_EQ(F->windowTitle(), "Alignment Markers Settings");
        ASSERT_EQ(F->Groups.size(), 3u);
        EXPECT_EQ(F->Groups[1].LangGroupBox->title(), " German ");
        EXPECT_EQ(F->Groups[2].HiliteCB->objectName(), "HiliteCB3");
        EXPECT_TRUE(F->Groups[2].HiliteCB->isChecked());
        EXPECT_EQ(F->Groups[1].LangGroupBox->x(), F->Groups[0].LangGroupBox->geometry().right() + 1 + 2);
        EXPECT_EQ(F->width(), F->Groups[2].LangGroupBox->geometry().right() + 1 + 2);
        EXPECT_EQ(F->CancelButton->geometry().right(), F->Groups[2].LangGroupBox->geometry().right());
        EXPECT_EQ(F->Groups[1].MarkersList->count(), 2);
        auto& G = F->Groups[0];
        EXPECT_FALSE(G.RemoveButton->isEnabled());
        // Focus moves as on a screen only in the active window.
        QApplication::setActiveWindow(F);
        // Add opens an editor on a new row; Enter ends the edit instead of pressing OK.
        QTest::mouseClick(G.AddButton, Qt::LeftButton);
        EXPECT_FALSE(F->OkButton->isDefault());
        QLineEdit* Editor = RowEditor(G.MarkersList);
        ASSERT_NE(Editor, nullptr);
        QTest::keyClicks(Editor, "  <seg> ");
        Key(Editor, Qt::Key_Return);
        QApplication::processEvents();  // the delegate closes its editor through a queued call
        EXPECT_TRUE(F->isVisible());
        EXPECT_TRUE(F->OkButton->isDefault());
        EXPECT_TRUE(G.RemoveButton->isEnabled());
        // A row left blank is not stored.
        QTest::mouseClick(G.AddButton, Qt::LeftButton);
        ASSERT_NE(RowEditor(G.MarkersList), nullptr);
        QTest::keyClicks(RowEditor(G.MarkersList), "   ");
        Key(RowEditor(G.MarkersList), Qt::Key_Return);
        QApplication::processEvents();
        // Remove takes the selected row of its own list only.
        auto& G2 = F->Groups[1];
        G2.MarkersList->setCurrentRow(0);
        EXPECT_TRUE(G2.RemoveButton->isEnabled());
        QTest::mouseClick(G2.RemoveButton, Qt::LeftButton);
        EXPECT_EQ(G2.MarkersList->count(), 1);
        G.HiliteCB->setChecked(true);
        QTest::mouseClick(F->OkButton, Qt::LeftButton);
    });
    EXPECT_TRUE(ShowAlignMarkersConfig());
    EXPECT_EQ(LanguageConfigs[0]->Markers, (std::vector<std::string>{"<seg>"}));
    EXPECT_TRUE(LanguageConfigs[0]->HiliteNumbers);
    EXPECT_EQ(LanguageConfigs[1]->Markers, (std::vector<std::string>{"<div>"}));

    for (Qt::Key Close : {Qt::Key_Escape, Qt::Key_unknown}) {
        OnModal<TAlignMarkersConfigForm>([Close](TAlignMarkersConfigForm* F) {
            F->Groups[0].HiliteCB->setChecked(false);
            F->Groups[0].MarkersList->clear();
            if (Close == Qt::Key_Escape)
                Key(F, Qt::Key_Escape);
            else
                QTest::mouseClick(F->CancelButton, Qt::LeftButton);
        });
        EXPECT_FALSE(ShowAlignMarkersConfig());
        EXPECT_EQ(LanguageConfigs[0]->Markers, (std::vector<std::string>{"<seg>"}));
        EXPECT_TRUE(LanguageConfigs[0]->HiliteNumbers);
    }
}

TEST_F(AlignDialogs, ChooserReturnsTheChosenPairAndNothingWithoutARow) {
    MakeLanguages(3);
    for (int k = 0; k < 3; ++k) GiveSegmentIndexes(k, 0);
    int L1 = -5, L2 = -5;
    OnModal<TAlignmentChooseForm>([](TAlignmentChooseForm* F) {
        EXPECT_EQ(F->windowTitle(), "Choose Alignment View");
        ASSERT_EQ(F->AlignmentsList->count(), 2);
        EXPECT_EQ(F->AlignmentsList->item(1)->text(), "English <-> French");
        EXPECT_EQ(F->AlignmentsList->currentRow(), 0);
        EXPECT_TRUE(F->OkButton->isEnabled());
        F->AlignmentsList->setCurrentRow(1);
        QTest::mouseClick(F->OkButton, Qt::LeftButton);
    });
    EXPECT_TRUE(ChooseAlignmentPair(0, L1, L2));
    EXPECT_EQ(L1, 0);
    EXPECT_EQ(L2, 2);

    OnModal<TAlignmentChooseForm>([](TAlignmentChooseForm* F) {
        QListWidget* L = F->AlignmentsList;
        const QPoint Row0 = L->visualItemRect(L->item(0)).center();
        QTest::mouseClick(L->viewport(), Qt::LeftButton, {}, Row0);
        QTest::mouseDClick(L->viewport(), Qt::LeftButton, {}, Row0);
    });
    EXPECT_TRUE(ChooseAlignmentPair(0, L1, L2));
    EXPECT_EQ(L2, 1);

    for (Qt::Key Close : {Qt::Key_Escape, Qt::Key_unknown}) {
        L1 = L2 = -5;
        OnModal<TAlignmentChooseForm>([Close](TAlignmentChooseForm* F) {
            if (Close == Qt::Key_Escape)
                Key(F->AlignmentsList, Qt::Key_Escape);
            else
                QTest::mouseClick(F->CancelButton, Qt::LeftButton);
        });
        EXPECT_FALSE(ChooseAlignmentPair(0, L1, L2));
        EXPECT_EQ(L2, -5);
    }

    // A file no pair has indexes for: no row, OK disabled, Enter and a double click on the empty list
    // choose nothing.
    OnModal<TAlignmentChooseForm>([](TAlignmentChooseForm* F) {
        EXPECT_EQ(F->AlignmentsList->count(), 0);
        EXPECT_FALSE(F->OkButton->isEnabled());
        Key(F->AlignmentsList, Qt::Key_Return);
        QTest::mouseDClick(F->AlignmentsList->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        EXPECT_TRUE(F->isVisible());
        QTest::mouseClick(F->OkButton, Qt::LeftButton);
        EXPECT_TRUE(F->isVisible());
        QTest::mouseClick(F->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(ChooseAlignmentPair(3, L1, L2));
    EXPECT_EQ(L2, -5);
}

TEST_F(AlignDialogs, DelimiterSettingsNeedATagAndRefuseBlanks) {
    CommonConfig->AlignDelimiter = "   ";
    OnModal<TDelSegsSettingsForm>([](TDelSegsSettingsForm* F) {
        EXPECT_EQ(F->windowTitle(), "Settings");
        EXPECT_FALSE(F->OkButton->isEnabled());
        F->DelimiterEdit->clear();
        QTest::keyClicks(F->DelimiterEdit, "b r\t");
        EXPECT_EQ(F->DelimiterEdit->text(), "br");
        EXPECT_TRUE(F->OkButton->isEnabled());
        Key(F->DelimiterEdit, Qt::Key_Return);
    });
    EXPECT_TRUE(EditDelSegsSettings());
    EXPECT_EQ(CommonConfig->AlignDelimiter, "br");

    OnModal<TDelSegsSettingsForm>([](TDelSegsSettingsForm* F) {
        EXPECT_EQ(F->DelimiterEdit->text(), "br");
        QTest::keyClicks(F->DelimiterEdit, "x");
        Key(F->DelimiterEdit, Qt::Key_Escape);
    });
    EXPECT_FALSE(EditDelSegsSettings());
    OnModal<TDelSegsSettingsForm>([](TDelSegsSettingsForm* F) {
        QTest::keyClicks(F->DelimiterEdit, "y");
        QTest::mouseClick(F->CancelButton, Qt::LeftButton);
    });
    EXPECT_FALSE(EditDelSegsSettings());
    EXPECT_EQ(CommonConfig->AlignDelimiter, "br");
}

TEST_F(AlignDialogs, StartStopSettingsNeedAStartTag) {
    CommonConfig->AlignStart = "seg";
    CommonConfig->AlignStop = "/seg";
    CommonConfig->AlignAttrib = "";
    OnModal<TStartStopSegSettingsForm>([](TStartStopSegSettingsForm* F) {
        EXPECT_EQ(F->TagStopEdit->text(), "/seg");
        EXPECT_TRUE(F->OkButton->isEnabled());
        F->TagStartEdit->clear();
        EXPECT_FALSE(F->OkButton->isEnabled());
        QTest::keyClicks(F->TagStartEdit, "   ");
        EXPECT_FALSE(F->OkButton->isEnabled());
        QTest::keyClicks(F->TagStartEdit, "s");
        QTest::keyClicks(F->AttributeEdit, "id ");
        QTest::mouseClick(F->OkButton, Qt::LeftButton);
    });
    EXPECT_TRUE(EditStartStopSegSettings());
    EXPECT_EQ(CommonConfig->AlignStart, "s");
    EXPECT_EQ(CommonConfig->AlignStop, "/seg");
    EXPECT_EQ(CommonConfig->AlignAttrib, "id");

    for (Qt::Key Close : {Qt::Key_Escape, Qt::Key_unknown}) {
        OnModal<TStartStopSegSettingsForm>([Close](TStartStopSegSettingsForm* F) {
            F->TagStopEdit->setText("other");
            if (Close == Qt::Key_Escape)
                Key(F->TagStopEdit, Qt::Key_Escape);
            else
                QTest::mouseClick(F->CancelButton, Qt::LeftButton);
        });
        EXPECT_FALSE(EditStartStopSegSettings());
        EXPECT_EQ(CommonConfig->AlignStop, "/seg");
    }
}

TEST_F(AlignDialogs, SegmentSettingsOfTheAlignFormat) {
    EXPECT_FALSE(ShowSegmentAlignSettings(0));
    EXPECT_FALSE(ShowSegmentAlignSettings(1));
    OnModal<TDelSegsSettingsForm>(
        [](TDelSegsSettingsForm* F) { QTest::mouseClick(F->OkButton, Qt::LeftButton); });
    CommonConfig->AlignDelimiter = "d";
    EXPECT_TRUE(ShowSegmentAlignSettings(2));
    OnModal<TStartStopSegSettingsForm>(
        [](TStartStopSegSettingsForm* F) { QTest::mouseClick(F->CancelButton, Qt::LeftButton); });
    EXPECT_FALSE(ShowSegmentAlignSettings(3));
}
