#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <filesystem>

#include "controls/ConcFormUtils.h"
#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "shell/ConcMain.h"

namespace {

// A child with a "&Display" menu of group 4 and a "S&ort" menu of group 5, and one without commands.
class TMenuChild : public TAppMessageForm {
public:
    TMenuChild() {
        Display = new QMenu("&Display", this);
        Display->addAction("Word &Wrap");
        Sort = new QMenu("S&ort", this);
        Sort->addAction("&Sort...");
        Empty = new QMenu("&Empty", this);
    }
    std::vector<TMergedMenu> MergedMenus() const override { return {{5, Sort}, {4, Display}, {4, Empty}}; }
    intptr_t HandleAppMessage(int, intptr_t, intptr_t) override { return 0; }
    QMenu* Display;
    QMenu* Sort;
    QMenu* Empty;
};

QStringList BarTitles(QMainWindow& W) {
    QStringList Titles;
    for (QAction* A : W.menuBar()->actions())
        if (A->isVisible()) Titles << A->text();
    return Titles;
}

}  // namespace

TEST(MenuMergeTest, TheActiveChildsMenusStandBeforeTheWindowMenuInGroupOrder) {
    ResetGlobalsForTest();
    TScriptedBackend Script;
    InitConfigUnit();
    {
        TConcMainForm Form;
        Form.show();
        auto* Child = new TMenuChild;
        QMdiSubWindow* Sub = Form.MdiArea()->addSubWindow(Child);
        Sub->show();
        Form.MdiArea()->setActiveSubWindow(Sub);
        const QStringList Titles = BarTitles(Form);
        const qsizetype Display = Titles.indexOf("&Display");
        ASSERT_GE(Display, 0);
        EXPECT_EQ(Titles.indexOf("S&ort"), Display + 1);
        EXPECT_EQ(Titles.indexOf("&Window"), Display + 2);
        EXPECT_EQ(Titles.indexOf("&Empty"), -1);  // no commands yet: not shown

        // Closing the child takes its menus away.
        Sub->close();
        delete Sub;
        Form.MdiArea()->setActiveSubWindow(nullptr);
        EXPECT_EQ(BarTitles(Form).indexOf("&Display"), -1);
    }
    ResetGlobalsForTest();
}
