#include "controls/MessageForm.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct TButtonText {
    const char* Name;
    const char* Caption;
};

const TButtonText kButtonTexts[MsgButtonCount] = {{"Yes", "&Yes"},
                                                  {"No", "&No"},
                                                  {"OK", "OK"},
                                                  {"Cancel", "Cancel"},
                                                  {"Abort", "&Abort"},
                                                  {"Retry", "&Retry"},
                                                  {"Ignore", "&Ignore"},
                                                  {"All", "&All"},
                                                  {"Not to All", "&Not to All"},
                                                  {"Yes to All", "&Yes to All"},
                                                  {"Help", "&Help"}};

const int kIconSize = 32;

// The dialog units of the old platform were computed with MulDiv, which rounds; truncating instead would
// shrink every margin by up to a pixel and change the layout.
int RoundedMulDiv(int Number, int Numerator, int Denominator) {
    if (Denominator == 0) return 0;
    const int64_t product = int64_t(Number) * Numerator;
    const int64_t magnitude =
        (std::llabs(product) * 2 + std::llabs(Denominator)) / (2 * std::llabs(Denominator));
    return int((product < 0) != (Denominator < 0) ? -magnitude : magnitude);
}

QRect ScreenRect() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry();
    return QRect(0, 0, 640, 480);
}

bool HasButton(TMsgDlgButtons Buttons, TMsgDlgBtn Which) {
    return (Buttons & MsgButton(Which)) != 0;
}

// Average character size as the old dialogs measured it: the 52 ASCII letters, width divided by 52.
QSize AverageCharSize(const QFontMetrics& Metrics) {
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return QSize(Metrics.horizontalAdvance(letters) / 52, Metrics.height());
}

// Messages are written with "\r\n" line breaks, and some of the engine's with a bare "\r"; both
// break the line as they did in the old dialogs.
QString MessageText(const std::string& Text) {
    QString text = QString::fromUtf8(Text.data(), qsizetype(Text.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QStyle::StandardPixmap IconOf(TMsgDlgType Type) {
    switch (Type) {
        case mtWarning:
            return QStyle::SP_MessageBoxWarning;
        case mtError:
            return QStyle::SP_MessageBoxCritical;
        case mtInformation:
            return QStyle::SP_MessageBoxInformation;
        default:
            return QStyle::SP_MessageBoxQuestion;
    }
}

// The upper-case letter after the "&" of a caption, or a null character.
QChar MnemonicOf(const QString& Caption) {
    const int amp = Caption.indexOf(QLatin1Char('&'));
    return amp >= 0 && amp + 1 < Caption.size() ? Caption.at(amp + 1).toUpper() : QChar();
}

bool TypeHasIcon(TMsgDlgType Type) {
    return Type >= mtWarning && Type <= mtConfirmation;
}

// Pushes the arrow over any override cursor (the wait cursor of a long operation) and pops it again,
// even when the dialog's event loop lets an exception through.
class TArrowCursor {
public:
    TArrowCursor() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
    ~TArrowCursor() { QGuiApplication::restoreOverrideCursor(); }
    TArrowCursor(const TArrowCursor&) = delete;
    TArrowCursor& operator=(const TArrowCursor&) = delete;
};

}  // namespace

TMessageLayout ComputeMessageLayout(QSize AvgChar, QSize Text, bool HasIcon, int ButtonCount,
                                    QSize MinButton) {
    TMessageLayout l;
    const int w = AvgChar.width(), h = AvgChar.height();
    l.HorzMargin = RoundedMulDiv(8, w, 4);
    l.VertMargin = RoundedMulDiv(8, h, 8);
    l.HorzSpacing = RoundedMulDiv(10, w, 4);
    l.VertSpacing = RoundedMulDiv(10, h, 8);
    l.ButtonWidth = std::max(RoundedMulDiv(50, w, 4), MinButton.width());
    l.ButtonHeight = std::max(RoundedMulDiv(14, h, 8), MinButton.height());
    l.ButtonSpacing = RoundedMulDiv(4, w, 4);

    l.TextSize = Text;
    l.IconTextSize = Text;
    if (HasIcon) {
        l.IconTextSize.rwidth() += l.HorzSpacing + kIconSize;
        l.IconTextSize.setHeight(std::max(Text.height(), kIconSize));
    }
    l.TextLeft = l.HorzMargin + (HasIcon ? kIconSize + l.HorzSpacing : 0);

    l.ButtonGroupWidth =
        ButtonCount > 0 ? ButtonCount * l.ButtonWidth + (ButtonCount - 1) * l.ButtonSpacing : 0;
    l.ClientSize = QSize(std::max(l.IconTextSize.width(), l.ButtonGroupWidth) + 2 * l.HorzMargin,
                         l.IconTextSize.height() + l.ButtonHeight + l.VertSpacing + 2 * l.VertMargin);
    l.ButtonsTop = l.IconTextSize.height() + l.VertMargin + l.VertSpacing;
    l.ButtonsLeft = (l.ClientSize.width() - l.ButtonGroupWidth) / 2;
    return l;
}

QString MessageTypeCaption(TMsgDlgType Type) {
    switch (Type) {
        case mtWarning:
            return QStringLiteral("Warning");
        case mtError:
            return QStringLiteral("Error");
        case mtInformation:
            return QStringLiteral("Information");
        case mtConfirmation:
            return QStringLiteral("Confirm");
        default:
            return QCoreApplication::applicationName();
    }
}

const char* MessageButtonName(TMsgDlgBtn Button) {
    return kButtonTexts[Button].Name;
}

const char* MessageButtonCaption(TMsgDlgBtn Button) {
    return kButtonTexts[Button].Caption;
}

// No stay-on-top: the dialog belongs to the window it was parented to and stays above that one only.
// Progress windows are never active, so a message during a long operation is parented to a window
// below them and, being shown later, is stacked above them.
TMessageForm::TMessageForm(QWidget* Parent) : QDialog(Parent) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
}

void TMessageForm::keyPressEvent(QKeyEvent* Event) {
    if (Event->matches(QKeySequence::Copy)) {
        QGuiApplication::clipboard()->setText(FMessage ? FMessage->text() : QString());
        return;
    }
    const Qt::KeyboardModifiers mods = Event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const QString text = Event->text();
    if ((mods == Qt::NoModifier || mods == Qt::AltModifier) && text.size() == 1 &&
        text.at(0).isLetterOrNumber()) {
        std::vector<QPushButton*> matching;
        for (QPushButton* button : FButtons)
            if (button && MnemonicOf(button->text()) == text.at(0).toUpper()) matching.push_back(button);
        if (matching.size() == 1) {
            matching.front()->click();
            return;
        }
        if (matching.size() > 1) {
            auto focused = std::find(matching.begin(), matching.end(), focusWidget());
            const size_t next =
                focused == matching.end() ? 0 : size_t(focused - matching.begin() + 1) % matching.size();
            matching[next]->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
    QDialog::keyPressEvent(Event);
}

void TMessageForm::AddButton(TMsgDlgBtn Which) {
    auto* button = new QPushButton(QString::fromLatin1(MessageButtonCaption(Which)), this);
    button->setObjectName(QString::fromLatin1(MessageButtonName(Which)));
    const int result = ModalResultOf(Which);
    // The help button has no result: it must not close the dialog, and there is no help to open.
    if (result != mrNone) {
        FClosable = true;
        connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
    }
    FButtons[Which] = button;
}

QPushButton* TMessageForm::FocusTarget(TMsgDlgBtn Requested, TMsgDlgBtn Default) const {
    if (Requested >= 0 && Requested < MsgButtonCount && FButtons[Requested]) return FButtons[Requested];
    if (Default != mbHelp) return FButtons[Default];
    for (QPushButton* button : FButtons)
        if (button) return button;
    return nullptr;
}

void TMessageForm::reject() {
    if (FCancel != mbHelp)
        FButtons[FCancel]->click();
    else if (!FClosable)
        done(mrNone);
}

std::unique_ptr<TMessageForm> BuildMessageForm(const TMessageRequest& Request, QWidget* Parent) {
    auto form = std::make_unique<TMessageForm>(Parent);
    const QFontMetrics metrics(form->font());
    const QRect screen = ScreenRect();
    const bool hasIcon = TypeHasIcon(Request.Type);

    const QString text = MessageText(Request.Text);
    const QSize textSize =
        metrics.boundingRect(QRect(0, 0, screen.width() / 2, 0), Qt::AlignLeft | Qt::TextWordWrap, text)
            .size();

    int buttonCount = 0;
    QSize minButton;
    for (int b = 0; b < MsgButtonCount; ++b) {
        if (!HasButton(Request.Buttons, TMsgDlgBtn(b))) continue;
        form->AddButton(TMsgDlgBtn(b));
        minButton = minButton.expandedTo(form->FButtons[b]->sizeHint());
        ++buttonCount;
    }
    const TMessageLayout layout =
        ComputeMessageLayout(AverageCharSize(metrics), textSize, hasIcon, buttonCount, minButton);
    form->FLayout = layout;

    form->setWindowTitle(MessageTypeCaption(Request.Type));
    if (hasIcon) {
        form->FImage = new QLabel(form.get());
        form->FImage->setObjectName(QStringLiteral("Image"));
        form->FImage->setPixmap(
            form->style()->standardIcon(IconOf(Request.Type)).pixmap(kIconSize, kIconSize));
        form->FImage->setGeometry(layout.HorzMargin, layout.VertMargin, kIconSize, kIconSize);
    }
    form->FMessage = new QLabel(form.get());
    form->FMessage->setObjectName(QStringLiteral("Message"));
    form->FMessage->setTextFormat(Qt::PlainText);
    form->FMessage->setWordWrap(true);
    form->FMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    form->FMessage->setText(text);
    form->FMessage->setGeometry(QRect(QPoint(layout.TextLeft, layout.VertMargin), layout.TextSize));

    int x = layout.ButtonsLeft;
    for (QPushButton* button : form->FButtons) {
        if (!button) continue;
        button->setGeometry(x, layout.ButtonsTop, layout.ButtonWidth, layout.ButtonHeight);
        x += layout.ButtonWidth + layout.ButtonSpacing;
    }

    form->FDefault = DefaultButtonOf(Request.Buttons);
    if (form->FDefault != mbHelp) form->FButtons[form->FDefault]->setDefault(true);
    form->FCancel = CancelButtonOf(Request.Buttons);
    if (QPushButton* focus = form->FocusTarget(Request.FocusButton, form->FDefault)) focus->setFocus();

    form->setFixedSize(layout.ClientSize);
    QPoint pos(screen.x() + (screen.width() - layout.ClientSize.width()) / 2,
               screen.y() + (screen.height() - layout.ClientSize.height()) / 2);
    if (Request.X >= 0) pos.setX(Request.X);
    if (Request.Y >= 0) pos.setY(Request.Y);
    form->move(pos);
    return form;
}

int ExecuteMessageForm(const TMessageRequest& Request, QWidget* Parent) {
    if (!Parent) Parent = QApplication::activeWindow();
    std::unique_ptr<TMessageForm> form = BuildMessageForm(Request, Parent);
    // A parent that goes while the dialog shows takes the dialog with it.
    QPointer<TMessageForm> alive(form.get());
    TArrowCursor arrow;
    const int result = form->exec();
    if (!alive) form.release();
    return result;
}
