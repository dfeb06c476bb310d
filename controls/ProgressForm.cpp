#include "controls/ProgressForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

namespace {

QString FromUtf8(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const char* Caption, QRect Geometry) {
    auto* button = new QPushButton(QString::fromLatin1(Caption), Parent);
    button->setObjectName(QString::fromLatin1(Name));
    button->setGeometry(Geometry);
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
    return Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
           Qt::MSWindowsFixedSizeDialogHint;
}

void CentreOnScreen(QWidget* Window, QSize Size) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->geometry();
    Window->move(area.x() + (area.width() - Size.width()) / 2,
                 area.y() + (area.height() - Size.height()) / 2);
}

TProgressWindow::TProgressWindow(TProgressForm& Form) : QDialog(nullptr, ProgressWindowFlags()), FForm(Form) {
    setModal(false);
    const QSize client(378, 84);
    setFixedSize(client);

    ProgressLabel = new QLabel(this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setTextFormat(Qt::PlainText);
    ProgressLabel->setGeometry(8, 8, 361, 16);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(16, 28, 353, 21);
    ProgressBar->setAlignment(Qt::AlignCenter);
    QPalette palette = ProgressBar->palette();
    palette.setColor(QPalette::Highlight, Qt::blue);
    ProgressBar->setPalette(palette);

    Cancel1Btn = MakeButton(this, "Cancel1Btn", "Cancel", QRect(108, 56, 75, 25));
    CancelAllBtn = MakeButton(this, "CancelAllBtn", "Cancel All", QRect(192, 56, 75, 25));
    CancelBtn = MakeButton(this, "CancelBtn", "Cancel", QRect(152, 56, 75, 25));
    connect(Cancel1Btn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });
    connect(CancelAllBtn, &QPushButton::clicked, this, [this] { FForm.CancelAllClicked(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { FForm.CancelClicked(); });

    SpecialText = new QLabel(this);
    SpecialText->setObjectName(QStringLiteral("SpecialText"));
    SpecialText->setTextFormat(Qt::PlainText);
    SpecialText->setGeometry(8, 63, 141, 14);
    SpecialText->hide();

    CentreOnScreen(this, client);
    Changed();
}

void TProgressWindow::Changed() {
    setWindowTitle(FromUtf8(FForm.Caption()));
    ProgressLabel->setText(FromUtf8(FForm.Text()));
    SpecialText->setText(FromUtf8(FForm.Special()));
    ShowGauge(ProgressBar, FForm.Min(), FForm.Max(), FForm.Progress());
    Cancel1Btn->setVisible(FForm.Cancel1Visible());
    CancelAllBtn->setVisible(FForm.CancelAllVisible());
    CancelBtn->setVisible(FForm.CancelVisible());
}

void TProgressWindow::ShowWindow() {
    show();
    raise();
    activateWindow();
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
    if (FForm.CanClose()) FForm.Hide();
}
