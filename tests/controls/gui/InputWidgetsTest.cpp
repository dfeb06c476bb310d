#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "controls/InpQuery.h"
#include "controls/ScriptedBackend.h"
#include "controls/zynWideList.h"
#include "engine/ConcConfig.h"
#include "tests/support/ConfigTestSupport.h"

namespace {

// Runs Action on the modal dialog that the next exec() opens.
void OnNextModal(std::function<void(TInputQueryForm*)> Action) {
    QTimer::singleShot(0, [Action] {
        auto* Form = qobject_cast<TInputQueryForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Form, nullptr);
        Action(Form);
    });
}

class InputQueryTest : public TFreshConfigTest {
protected:
    void SetUp() override {
        TFreshConfigTest::SetUp();
        LanguageConfigs[0]->SetLanguage(1049, "Russian");  // code page 1251
    }
    TScriptedBackend Backend;
};

}  // namespace

TEST_F(InputQueryTest, OkReturnsTheTypedTextInTheCodePageAndCancelKeepsTheValue) {
    std::string Value = "old";
    OnNextModal([](TInputQueryForm* F) {
        EXPECT_TRUE(F->EditBox->text().isEmpty());  // the value is not shown
        EXPECT_EQ(F->windowTitle(), "Add to List");
        F->EditBox->setText(QString::fromUtf8("Жизнь"));
        QTest::keyClick(F->EditBox, Qt::Key_Return);
    });
    ASSERT_TRUE(InputQueryDialog("Add to List", "Enter word to add:", TFontSpec(), Value, 0));
    EXPECT_EQ(Value, "\xC6\xE8\xE7\xED\xFC");

    OnNextModal([](TInputQueryForm* F) {
        QTest::keyClicks(F->EditBox, "new");
        QTest::keyClick(F->EditBox, Qt::Key_Escape);
    });
    EXPECT_FALSE(InputQueryDialog("Add to List", "Enter word to add:", TFontSpec(), Value, 0));
    EXPECT_EQ(Value, "\xC6\xE8\xE7\xED\xFC");
}

TEST_F(InputQueryTest, TextTheCodePageCannotHoldIsRefusedAndThePromptStays) {
    std::string Value = "old";
    OnNextModal([](TInputQueryForm* F) {
        F->EditBox->setText(QString::fromUtf8("日本"));
        F->OkBtn->click();
        // Refused: the prompt is still there; the user cancels it.
        OnNextModal([](TInputQueryForm* Again) { Again->CancelBtn->click(); });
    });
    EXPECT_FALSE(InputQueryDialog("Add to List", "Enter word to add:", TFontSpec(), Value, 0));
    EXPECT_EQ(Value, "old");
    EXPECT_EQ(Backend.Messages.size(), 1u);
}

// A language font larger than the dialog's: the edit is as tall as its font needs, and the bevel and the
// buttons move down below it inside the dialog instead of covering it.
TEST_F(InputQueryTest, ALargeLanguageFontGetsAnEditTallEnoughForIt) {
    TFontSpec Large;
    Large.Size = 20;
    TInputQueryForm Form("Add to List", "Enter word to add:", Large);
    Form.show();
    EXPECT_EQ(Form.EditBox->font().pointSize(), 20);
    EXPECT_GE(Form.EditBox->height(), Form.EditBox->sizeHint().height());
    EXPECT_GE(Form.EditBox->height(), QFontMetrics(Form.EditBox->font()).height() + 4);
    for (QPushButton* Button : {Form.OkBtn, Form.CancelBtn}) {
        EXPECT_GT(Button->y(), Form.EditBox->geometry().bottom());
        EXPECT_TRUE(Form.rect().contains(Button->geometry()));
    }
    // The dialog's own font keeps the standard size.
    TInputQueryForm Plain("Add to List", "Enter word to add:", TFontSpec());
    EXPECT_EQ(Plain.size(), QSize(327, 86));
}

TEST(WideListTest, ExtentFollowsTheWidestItem) {
    TzynWideListBox List;
    List.resize(80, 100);
    List.AddItem("short");
    List.AddItem("a much longer item of this list");
    List.AddItem("medium item");
    const int Widest = List.ItemWidth("a much longer item of this list");
    EXPECT_EQ(List.MaxExtent(), Widest);
    EXPECT_GT(Widest, List.fontMetrics().horizontalAdvance("a much longer item of this list"));  // the "x"

    List.DeleteItem(0);  // narrower: nothing changes
    EXPECT_EQ(List.MaxExtent(), Widest);
    List.InsertItem(0, "a much longer item of this list");  // a second item exactly as wide
    List.DeleteItem(0);  // counts as the widest: measured again, the other one remains
    EXPECT_EQ(List.MaxExtent(), Widest);
    List.DeleteItem(0);
    EXPECT_EQ(List.MaxExtent(), List.ItemWidth("medium item"));
    List.ResetContent();
    EXPECT_EQ(List.MaxExtent(), 0);
    EXPECT_EQ(List.count(), 0);
}
