#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "controls/zynWideList.h"
#include "engine/ConcConfig.h"
#include "shell/ConcRecentWorkspaces.h"
#include "shell/ConcWorkOptions.h"
#include "tests/support/ConfigTestSupport.h"

namespace {

using WorkspaceDialogsTest = TFreshConfigTest;

}  // namespace

TEST_F(WorkspaceDialogsTest, OptionsShowThePreferencesOrAllForANewNameAndStoreOnOkOnly) {
    KeepLinesPages = false;
    KeepWatchedTags = true;
    KeepFrequency = false;
    KeepSegmentIndexes = true;
    {
        TWkSpaceOptionsForm Form(false);
        Form.show();
        EXPECT_FALSE(Form.LinesPagesCheck->isChecked());
        EXPECT_TRUE(Form.TagsCheck->isChecked());
        Form.FrequencyCheck->setChecked(true);
        QTest::keyClick(&Form, Qt::Key_Escape);
        EXPECT_FALSE(KeepFrequency);
    }
    TWkSpaceOptionsForm Form(true);
    Form.show();
    for (QCheckBox* Box : {Form.LinesPagesCheck, Form.TagsCheck, Form.FrequencyCheck, Form.SegmentsCheck})
        EXPECT_TRUE(Box->isChecked());
    Form.SegmentsCheck->setChecked(false);
    Form.OkBtn->click();
    EXPECT_TRUE(KeepLinesPages && KeepWatchedTags && KeepFrequency);
    EXPECT_FALSE(KeepSegmentIndexes);
}

TEST_F(WorkspaceDialogsTest, RecentListLeavesOutTheOpenWorkspaceAndShowsBareOrFullNames) {
    RecentWorkspaces = {"/w/one.TWS", "/w/open.TWS", "/x/two.TWS"};
    WorkspaceFileName = "/w/open.TWS";
    TRecentWorkspacesForm Form;
    Form.show();
    ASSERT_EQ(Form.WorkspacesList->count(), 2);
    EXPECT_EQ(Form.WorkspacesList->item(0)->text(), "one.TWS");
    EXPECT_EQ(Form.WorkspacesList->item(1)->text(), "two.TWS");
    EXPECT_EQ(Form.Selected(), "/w/one.TWS");
    Form.FullPathCheck->click();
    EXPECT_EQ(Form.WorkspacesList->item(1)->text(), "/x/two.TWS");
    Form.WorkspacesList->setCurrentRow(1);
    EXPECT_EQ(Form.Selected(), "/x/two.TWS");
    // A double click on a row is OK.
    const QRect Row = Form.WorkspacesList->visualItemRect(Form.WorkspacesList->item(1));
    QTest::mousePress(Form.WorkspacesList->viewport(), Qt::LeftButton, {}, Row.center());
    QTest::mouseDClick(Form.WorkspacesList->viewport(), Qt::LeftButton, {}, Row.center());
    EXPECT_EQ(Form.result(), QDialog::Accepted);
}
