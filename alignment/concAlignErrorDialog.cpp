#include "alignment/concAlignErrorDialog.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "alignment/ConcAligner.h"

namespace {

QString FromUtf8(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

constexpr int ClientWidth = 360;
constexpr int ClientHeight = 140;
constexpr int ButtonTop = 106;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int MessageLeft = 8;
constexpr int MessageWidth = 344;

}  // namespace

TAlignErrorButtons LayoutAlignErrorButtons(int Caption1Width, int Caption2Width, int Width, int Button1Left,
                                           int Button2Left, int MessageRight) {
    const int Needed = std::max(Caption1Width, Caption2Width) + 8;
    if (Needed <= Width) return {Width, Button1Left, Button2Left};
    TAlignErrorButtons Result;
    Result.Width = Needed;
    Result.Button2Left = MessageRight - Needed;
    Result.Button1Left = Result.Button2Left - 4 - Needed;
    return Result;
}

void CenterOnScreen(QWidget* Form) {
    QScreen* Screen = Form->screen() ? Form->screen() : QGuiApplication::primaryScreen();
    if (!Screen) return;
    const QRect Area = Screen->availableGeometry();
    Form->move(Area.x() + (Area.width() - Form->width()) / 2,
               Area.y() + (Area.height() - Form->height()) / 2);
}

TAlignErrorForm::TAlignErrorForm(const std::string& FileName1, const std::string& FileName2,
                                 const std::string& Message, const std::string& Caption2,
                                 const std::string& Caption1, QWidget* Parent)
    : QDialog(Parent) {
    setWindowTitle("Error");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint);
    setFixedSize(ClientWidth, ClientHeight);
    FileLabel1 = new QLabel(FromUtf8(FileName1), this);
    FileLabel1->setObjectName("FileLabel1");
    FileLabel1->setGeometry(MessageLeft, 8, MessageWidth, 16);
    FileLabel2 = new QLabel(FromUtf8(FileName2), this);
    FileLabel2->setObjectName("FileLabel2");
    FileLabel2->setGeometry(MessageLeft, 26, MessageWidth, 16);
    MessageLabel = new QLabel(FromUtf8(Message), this);
    MessageLabel->setObjectName("MessageLabel");
    MessageLabel->setWordWrap(true);
    MessageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MessageLabel->setGeometry(MessageLeft, 50, MessageWidth, 48);
    Button1 = new QPushButton(FromUtf8(Caption1), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(FromUtf8(Caption2), this);
    Button2->setObjectName("Button2");

    const int MessageRight = MessageLeft + MessageWidth;
    const QFontMetrics Metrics(Button1->font());
    const TAlignErrorButtons Place = LayoutAlignErrorButtons(
        Metrics.horizontalAdvance(Button1->text()), Metrics.horizontalAdvance(Button2->text()), ButtonWidth,
        MessageRight - 2 * ButtonWidth - 4, MessageRight - ButtonWidth, MessageRight);
    Button1->setGeometry(Place.Button1Left, ButtonTop, Place.Width, ButtonHeight);
    Button2->setGeometry(Place.Button2Left, ButtonTop, Place.Width, ButtonHeight);
    connect(Button1, &QPushButton::clicked, this, [this] { done(1); });
    connect(Button2, &QPushButton::clicked, this, [this] { done(2); });
    Button1->setFocus();
    CenterOnScreen(this);
}

void TAlignErrorForm::reject() {}

int ExecuteAlignErrorForm(const std::string& FileName1, const std::string& FileName2,
                          const std::string& Message, const std::string& Caption2,
                          const std::string& Caption1) {
    TAlignErrorForm Form(FileName1, FileName2, Message, Caption2, Caption1, QApplication::activeWindow());
    // The aligners run under the wait cursor; the question wants the arrow.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int Result = Form.exec();
    QGuiApplication::restoreOverrideCursor();
    return Result == 1 || Result == 2 ? Result : 0;
}

void RegisterAlignErrorDialog() {
    SetAlignErrorDialog(ExecuteAlignErrorForm);
}
