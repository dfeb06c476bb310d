#include "controls/ProgressForm.h"

#include "controls/ConcFormUtils.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace {

QString FromUtf8(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption) {
    auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
    button->setObjectName(QString::fromLatin1(Name));
    return button;
}

}  // namespace

void ShowGauge(QProgressBar* Bar, int Min, int Max, int Progress) {
    if (Max <= Min) {
        Bar->setRange(0, 1);
        Bar->setValue(0);
        return;
    }
    Bar->setRange(Min, Max);
    Bar->setValue(std::clamp(Progress, Min, Max));
}

Qt::WindowFlags ProgressWindowFlags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
}

void PrepareProgressWindow(QDialog* Window, QWidget* Owner) {
    Window->setModal(false);
    Window->setAttribute(Qt::WA_ShowWithoutActivating);
    if (!Owner || !Owner->window()->windowHandle()) return;
    Window->winId();  // the native window, to which the owner is given
    Window->windowHandle()->setTransientParent(Owner->window()->windowHandle());
}

// A window manager minimises a transient with its owner, and Qt then holds the window minimised: shown
// again as it is, it would come back as an icon only.
void ShowProgressWindow(QDialog* Window) {
    if (Window->isMinimized()) Window->setWindowState(Window->windowState() & ~Qt::WindowMinimized);
    Window->show();
    Window->raise();
}

void SetElidedText(QLabel* Label, const QString& Text) {
    const QFontMetrics metrics = Label->fontMetrics();
    const int width = Label->width();
    QString shown = metrics.elidedText(Text, Qt::ElideMiddle, width);
    // A path loses the middle of its folders before any of its file name.
    const int slash = Text.lastIndexOf(QLatin1Char('/'));
    if (shown != Text && slash > 0) {
        const QString name = Text.mid(slash);
        const int room = width - metrics.horizontalAdvance(name);
        const QString folder = metrics.elidedText(Text.left(slash), Qt::ElideMiddle, room);
        if (room > 0 && !folder.isEmpty() && folder != QString(QChar(0x2026))) shown = folder + name;
    }
    Label->setText(shown);
    Label->setToolTip(shown == Text ? QString() : Text);
}

QSize ButtonSize(QPushButton* Button, QSize Least) {
    return Button->sizeHint().expandedTo(Least);
}

void CentreOnScreen(QWidget* Window, QSize Size) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    Window->move(area.x() + (area.width() - Size.width()) / 2,
                 area.y() + (area.height() - Size.height()) / 2);
}

TProgressWindow::TProgressWindow(TProgressForm& Form, QWidget* Owner)
    : QDialog(nullptr, ProgressWindowFlags()), FForm(Form) {
    PrepareProgressWindow(this, Owner);

    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setTextFormat(Qt::PlainText);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setAlignment(Qt::AlignCenter);

    Cancel1Btn = MakeButton(this, "Cancel1Btn", "Cancel");
    CancelAllBtn = MakeButton(this, "CancelAllBtn", "Cancel All");
    CancelBtn = MakeButton(this, "CancelBtn", "Cancel");
    connect(Cancel1Btn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });
    connect(CancelAllBtn, &QPushButton::clicked, this, [this] { FForm.CancelAllClicked(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });

    SpecialText = new QLabel(this);
    SpecialText->setObjectName(QStringLiteral("SpecialText"));
    SpecialText->setTextFormat(Qt::PlainText);
    SpecialText->hide();

    LayOut();
    CentreOnScreen(this, size());
    Changed();
}

// The places of the old fixed layout, grown where the font or a caption needs more room: the label's
// line, the gauge below it, and the buttons centred below that.
void TProgressWindow::LayOut() {
    const int line = std::max(16, fontMetrics().height());
    const QSize least(75, 25);
    const QSize cancel = ButtonSize(CancelBtn, least).expandedTo(ButtonSize(Cancel1Btn, least));
    const QSize cancelAll = ButtonSize(CancelAllBtn, least);
    const int buttonHeight = std::max(cancel.height(), cancelAll.height());
    const int pairWidth = cancel.width() + 9 + cancelAll.width();
    const int width = std::max(378, pairWidth + 16);

    const int barTop = 8 + line + 4;
    const int buttonsTop = barTop + 21 + 7;
    ProgressLabel->setGeometry(8, 8, width - 17, line);
    ProgressBar->setGeometry(16, barTop, width - 25, 21);
    const int pairLeft = (width - pairWidth) / 2;
    Cancel1Btn->setGeometry(pairLeft, buttonsTop, cancel.width(), buttonHeight);
    CancelAllBtn->setGeometry(pairLeft + cancel.width() + 9, buttonsTop, cancelAll.width(), buttonHeight);
    CancelBtn->setGeometry((width - cancel.width()) / 2, buttonsTop, cancel.width(), buttonHeight);
    SpecialText->setGeometry(8, buttonsTop + 7, 141, line);
    setFixedSize(width, buttonsTop + buttonHeight + 3);
}

void TProgressWindow::Changed() {
    SetLiteralWindowTitle(this, FromUtf8(FForm.Caption()));
    SetElidedText(ProgressLabel, FromUtf8(FForm.Text()));
    SpecialText->setText(FromUtf8(FForm.Special()));
    ShowGauge(ProgressBar, FForm.Min(), FForm.Max(), FForm.Progress());
    Cancel1Btn->setVisible(FForm.Cancel1Visible());
    CancelAllBtn->setVisible(FForm.CancelAllVisible());
    CancelBtn->setVisible(FForm.CancelVisible());
}

void TProgressWindow::ShowWindow() {
    ShowProgressWindow(this);
}

void TProgressWindow::HideWindow() {
    hide();
}

void TProgressWindow::reject() {
    for (QPushButton* button : {Cancel1Btn, CancelAllBtn, CancelBtn}) {
        if (!button->isHidden()) {
            button->click();
            return;
        }
    }
}

void TProgressWindow::closeEvent(QCloseEvent* Event) {
    Event->ignore();
    reject();
}
