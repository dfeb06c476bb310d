#include "controls/ConcFormUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "engine/ConcErrors.h"
#include "engine/ConcUtils.h"
#include "platform/IniFiles.h"
#include "ui/Msg.h"

// ---------------------------------------------------------------------------------------------------
// Windows that receive application messages

// The mark follows the outcome of the close, so no window has to remember to set it.
bool TAppMessageForm::event(QEvent* Event) {
    const bool handled = QWidget::event(Event);
    if (Event->type() == QEvent::Close && Event->isAccepted()) MarkClosing();
    return handled;
}

namespace {

QString ToQString(const std::string& Text) {
    return QString::fromStdString(Text);
}

// Windows' system colour indexes that the preferences may hold, as palette roles.
QPalette::ColorRole SystemColorRole(int Index) {
    switch (Index) {
        case 5:
            return QPalette::Base;  // COLOR_WINDOW
        case 13:
            return QPalette::Highlight;  // COLOR_HIGHLIGHT
        case 14:
            return QPalette::HighlightedText;  // COLOR_HIGHLIGHTTEXT
        case 15:
            return QPalette::Button;  // COLOR_BTNFACE
        case 17:
            return QPalette::PlaceholderText;  // COLOR_GRAYTEXT
        case 18:
            return QPalette::ButtonText;  // COLOR_BTNTEXT
        case 23:
            return QPalette::ToolTipText;  // COLOR_INFOTEXT
        case 24:
            return QPalette::ToolTipBase;  // COLOR_INFOBK
        default:
            return QPalette::WindowText;  // COLOR_WINDOWTEXT and the rest
    }
}

// The font with the name of its family's style that has its weight, slant and width. Qt's font chooser
// selects a style by name; without one it falls back to the first style of its list, which may be
// an oblique or condensed one, and OK would then return that.
QFont WithStyleName(QFont Font) {
    const QString family = Font.family();
    const int size = Font.pointSize() > 0 ? Font.pointSize() : 12;
    const bool italic = Font.style() != QFont::StyleNormal;
    QString best;
    int bestDistance = INT_MAX;
    for (const QString& style : QFontDatabase::styles(family)) {
        const QFont candidate = QFontDatabase::font(family, style, size);
        const int stretch = candidate.stretch() == 0 ? 100 : candidate.stretch();
        const int distance = (candidate.italic() != italic ? 100000 : 0) +
                             std::abs(int(candidate.weight()) - int(Font.weight())) * 10 +
                             std::abs(stretch - 100);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = style;
        }
    }
    if (!best.isEmpty()) Font.setStyleName(best);
    return Font;
}

// The sixteen colours of the font dialog, in the order Windows lists them.
struct TBasicColor {
    const char* Name;
    TColor Color;
};
constexpr TBasicColor BasicColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x000080},  {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},   {"Purple", 0x800080},  {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0x0000FF},     {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00},  {"White", 0xFFFFFF},
};

class TNumericKeyFilter : public QObject {
public:
    TNumericKeyFilter(QObject* Parent, bool AllowDecimal) : QObject(Parent), FAllowDecimal(AllowDecimal) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() != QEvent::KeyPress) return QObject::eventFilter(Watched, Event);
        const QString text = static_cast<QKeyEvent*>(Event)->text();
        if (text.isEmpty()) return false;  // navigation and modifier keys carry no character
        const QList<uint> codes = text.toUcs4();
        const QString decimal = QLocale().decimalPoint();
        const char32_t separator = decimal.isEmpty() ? U'.' : decimal.toUcs4().value(0);
        for (uint code : codes)
            if (FilterNumericKey(code, FAllowDecimal, separator) == 0) {
                Beep();
                return true;
            }
        return false;
    }

private:
    bool FAllowDecimal;
};

// The widget that carries a form's placement: an MDI child's sub-window, else the form itself.
QWidget* PlacedWidget(QWidget* Form) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(Form->parentWidget())) return sub;
    return Form;
}

bool NormalState(Qt::WindowStates State) {
    return !(State & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

const char* const NormalFrameProperty = "tessivorNormalFrame";

// Remembers a window's frame position and size while it is in its normal state. A maximised frame
// may lose its borders, so the normal frame's position cannot be worked out from it afterwards.
// Found again by its name: without Q_OBJECT, findChild<TNormalFrameTracker*> would take any child.
class TNormalFrameTracker : public QObject {
public:
    static constexpr const char* Name = "tessivorNormalFrameTracker";

    explicit TNormalFrameTracker(QWidget* Window) : QObject(Window) {
        setObjectName(Name);
        Window->installEventFilter(this);
    }

    static void InstallOnce(QWidget* Window) {
        if (!Window->findChild<QObject*>(Name, Qt::FindDirectChildrenOnly)) new TNormalFrameTracker(Window);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        const QEvent::Type type = Event->type();
        if (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) {
            auto* window = static_cast<QWidget*>(Watched);
            // frameGeometry asks the window system for the frame's current margins.
            if (NormalState(window->windowState()))
                window->setProperty(NormalFrameProperty,
                                    QRect(window->frameGeometry().topLeft(), window->size()));
        }
        return false;
    }
};

// The frame rectangle (frame position, widget size) a form has when it is neither minimised nor
// maximised. Qt keeps a window's normal client bounds while it is maximised.
QRect NormalBounds(QWidget* Widget) {
    if (!Widget->isWindow() || NormalState(Widget->windowState()))
        return QRect(Widget->pos(), Widget->size());
    const QVariant tracked = Widget->property(NormalFrameProperty);
    if (tracked.isValid()) return tracked.toRect();
    const QRect normal = Widget->normalGeometry();
    if (normal.isEmpty()) return QRect(Widget->pos(), Widget->size());
    return QRect(normal.topLeft() - (Widget->geometry().topLeft() - Widget->pos()), normal.size());
}

// Where a form may be placed: the screens' usable areas, or a child's MDI area.
std::vector<QRect> PlacementAreas(QWidget* Placed) {
    std::vector<QRect> areas;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(Placed)) {
        if (QMdiArea* area = sub->mdiArea()) {
            const QRect rect = area->viewport()->rect();
            if (!rect.isEmpty()) areas.push_back(rect);
        }
        return areas;
    }
    for (QScreen* screen : QGuiApplication::screens()) areas.push_back(screen->availableGeometry());
    return areas;
}

int StateNumber(Qt::WindowStates State) {
    if (State & Qt::WindowMaximized) return 2;
    if (State & Qt::WindowMinimized) return 1;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Colours and fonts

QColor ColorRefToQColor(TColor Color) {
    if (Color < 0) return QApplication::palette().color(SystemColorRole(Color & 0xFF));
    return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}

TColor QColorToColorRef(const QColor& Color) {
    return static_cast<TColor>(Color.red() | (Color.green() << 8) | (Color.blue() << 16));
}

QFont FontSpecToQFont(const TFontSpec& Spec) {
    QFont font(ToQString(Spec.Name));
    if (Spec.Size > 0) font.setPointSize(Spec.Size);
    font.setBold((Spec.Style & fsBold) != 0);
    font.setItalic((Spec.Style & fsItalic) != 0);
    font.setUnderline((Spec.Style & fsUnderline) != 0);
    font.setStrikeOut((Spec.Style & fsStrikeOut) != 0);
    return font;
}

void AssignQFont(TFontSpec& Spec, const QFont& Font) {
    Spec.Name = Font.family().toStdString();
    if (Font.pointSize() > 0) Spec.Size = Font.pointSize();
    Spec.Style = (Font.bold() ? fsBold : 0) | (Font.italic() ? fsItalic : 0) |
                 (Font.underline() ? fsUnderline : 0) | (Font.strikeOut() ? fsStrikeOut : 0);
}

// ---------------------------------------------------------------------------------------------------
// Option-dialog helpers

QComboBox* NewHistoryCombo(QWidget* Parent) {
    auto* Box = new QComboBox(Parent);
    Box->setEditable(true);
    Box->setInsertPolicy(QComboBox::NoInsert);
    Box->setCompleter(nullptr);
    return Box;
}

void AddToComboHistory(QComboBox* Combo) {
    std::vector<std::string> items;
    items.reserve(Combo->count());
    for (int i = 0; i < Combo->count(); ++i) items.push_back(Combo->itemText(i).toStdString());
    std::string text = Combo->currentText().toStdString();
    const size_t oldCount = items.size();
    const int select = AddToHistory(items, text);
    Combo->setEditText(ToQString(text));
    if (select < 0) return;
    if (items.size() > oldCount)
        Combo->insertItem(0, ToQString(items[0]));
    else
        for (size_t i = 0; i < items.size(); ++i) Combo->setItemText(int(i), ToQString(items[i]));
    Combo->setCurrentIndex(select);
}

int32_t ClampEditValue(QLineEdit* Edit, int32_t Default, int32_t Minimum, int32_t Maximum) {
    const int32_t value = ClampedEditValue(Edit->text().toStdString(), Default, Minimum, Maximum);
    Edit->setText(QString::number(value));
    return value;
}

int32_t ClampEditToUpDown(QLineEdit* Edit, QSpinBox* UpDown) {
    const int32_t value = ClampEditValue(Edit, UpDown->value(), UpDown->minimum(), UpDown->maximum());
    UpDown->setValue(value);
    return value;
}

int32_t ClampEditToUpDown(QSpinBox* UpDown) {
    const int32_t value = ClampedEditValue(UpDown->cleanText().toStdString(), UpDown->value(),
                                           UpDown->minimum(), UpDown->maximum());
    UpDown->setValue(value);
    return value;
}

void RequireEditText(QLineEdit* Edit, const std::string& Msg) {
    if (!IsBlankText(Edit->text().toStdString())) return;
    ShowError(Msg);
    Edit->setFocus();
    Abort();
}

namespace {
std::function<void()>& BeepHook() {
    static std::function<void()> Hook;
    return Hook;
}
}  // namespace

void Beep() {
    if (BeepHook())
        BeepHook()();
    else
        QApplication::beep();
}

void SetBeepHook(std::function<void()> Hook) {
    BeepHook() = std::move(Hook);
}

void InstallNumericKeyFilter(QWidget* Edit, bool AllowDecimal) {
    Edit->installEventFilter(new TNumericKeyFilter(Edit, AllowDecimal));
}

void CenterOnControl(QWidget* Control, const QWidget* Other) {
    Control->move(Control->x(), CenteredTop(Other->y(), Other->height(), Control->height()));
}

namespace {
const QString ModifiedMark = QStringLiteral("[*]");
}  // namespace

QString LiteralWindowTitle(const QString& Text) {
    QString Escaped = Text;
    return Escaped.replace(ModifiedMark, ModifiedMark + ModifiedMark);
}

void SetLiteralWindowTitle(QWidget* Window, const QString& Text) {
    Window->setWindowTitle(LiteralWindowTitle(Text));
}

void SetLiteralWindowTitle(QWidget* Window, const std::string& Utf8Text) {
    SetLiteralWindowTitle(Window, QString::fromStdString(Utf8Text));
}

QString ShownWindowTitle(const QWidget* Window) {
    // As the toolkit shows a title without the modified mark: of each run of marks an odd one goes, then
    // each pair stands for one.
    const QString Title = Window->windowTitle();
    QString Shown;
    qsizetype At = 0;
    while (At < Title.size()) {
        const qsizetype Next = Title.indexOf(ModifiedMark, At);
        if (Next < 0) {
            Shown += Title.mid(At);
            break;
        }
        Shown += Title.mid(At, Next - At);
        qsizetype Run = 0;
        for (At = Next; Title.mid(At, ModifiedMark.size()) == ModifiedMark; At += ModifiedMark.size()) ++Run;
        for (qsizetype I = 0; I < Run / 2; ++I) Shown += ModifiedMark;
    }
    return Shown;
}

QString LiteralMenuText(const QString& Text) {
    QString Escaped = Text;
    return Escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void FitWidthToTitle(QWidget* Window) {
    // The window manager draws the title in a font of its own; the window's font and room for the icon
    // and three buttons are near enough.
    Window->setMinimumWidth(QFontMetrics(Window->font()).horizontalAdvance(ShownWindowTitle(Window)) + 160);
}

void SetTabOrders(QWidget*& Previous, std::initializer_list<QWidget*> Controls) {
    for (QWidget* control : Controls) {
        if (Previous) QWidget::setTabOrder(Previous, control);
        Previous = control;
    }
}

// ---------------------------------------------------------------------------------------------------
// The program's icon

QIcon ProgramIcon() {
    QIcon Icon;
    for (const int Size : {16, 24, 32, 48, 64}) {
        QPixmap Pixmap(Size, Size);
        Pixmap.fill(Qt::transparent);
        QPainter Painter(&Pixmap);
        Painter.setRenderHint(QPainter::Antialiasing);
        Painter.scale(Size / 32.0, Size / 32.0);
        Painter.setPen(QPen(QColor(0x1F, 0x3A, 0x7A), 1.5));
        Painter.setBrush(Qt::white);
        for (const int Left : {2, 17}) {
            Painter.drawRect(QRectF(Left + 0.75, 3.75, 12.5, 24.5));
            Painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 1.5));
            for (int Y = 9; Y <= 24; Y += 5)
                Painter.drawLine(QPointF(Left + 3.5, Y), QPointF(Left + 10.5, Y));
            Painter.setPen(QPen(QColor(0x1F, 0x3A, 0x7A), 1.5));
        }
        Painter.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2.5));
        Painter.drawLine(QPointF(5, 16.5), QPointF(27, 16.5));
        Painter.end();
        Icon.addPixmap(Pixmap);
    }
    return Icon;
}

// ---------------------------------------------------------------------------------------------------
// MDI children

namespace {

// The child opened last that is still in sight in its normal state: the one a new child cascades from.
QMdiSubWindow* LastPlacedChild(const QMdiArea* Area, const QMdiSubWindow* Except) {
    const QList<QMdiSubWindow*> Children = Area->subWindowList(QMdiArea::CreationOrder);
    for (auto It = Children.rbegin(); It != Children.rend(); ++It)
        if (*It != Except && (*It)->isVisible() && !(*It)->isMinimized() && !(*It)->isMaximized()) return *It;
    return nullptr;
}

}  // namespace

QWidget* RaiseMdiChild(QMdiArea* Area, const std::function<bool(QWidget* Form)>& Matches) {
    if (!Area) return nullptr;
    for (QMdiSubWindow* Sub : Area->subWindowList()) {
        QWidget* Form = Sub->widget();
        const auto* Receiver = dynamic_cast<const TAppMessageReceiver*>(Form);
        if (!Form || (Receiver && Receiver->IsClosing()) || !Matches(Form)) continue;
        Sub->show();
        Area->setActiveSubWindow(Sub);
        Sub->showNormal();
        return Form;
    }
    return nullptr;
}

QRect NextCascadeRect(const QRect* Previous, const QSize& Size, const QSize& AreaSize, int Step,
                      const QSize& LeastSize) {
    QPoint At = Previous ? Previous->topLeft() + QPoint(Step, Step) : QPoint(0, 0);
    const QSize Least = LeastSize.boundedTo(AreaSize);
    if (At.x() < 0 || At.y() < 0 || At.x() + Least.width() > AreaSize.width() ||
        At.y() + Least.height() > AreaSize.height())
        At = QPoint(0, 0);
    return QRect(At, Size.boundedTo(AreaSize - QSize(At.x(), At.y())));
}

int MdiCascadeStep(const QMdiArea* Area) {
    for (const QMdiSubWindow* Sub : Area->subWindowList())
        if (Sub->widget()) return std::max(Sub->widget()->mapTo(Sub, QPoint(0, 0)).y(), 1);
    return 24;
}

QMdiSubWindow* ShowMdiChild(QMdiArea* Area, QWidget* Form) {
    if (!Area) {
        Form->setAttribute(Qt::WA_DeleteOnClose);
        Form->show();
        return nullptr;
    }
    const bool Sized = Form->testAttribute(Qt::WA_Resized);
    const QSize Wanted = Form->size();
    QMdiSubWindow* Sub = Area->addSubWindow(Form);
    Sub->setAttribute(Qt::WA_DeleteOnClose);
    Sub->show();
    // While the children are maximised the area maximises the new one before it is laid out, and would
    // later restore it to that bare size. It is placed in its normal state first, then maximised again,
    // all before the area paints.
    const bool Maximized = Sub->isMaximized();
    if (Maximized) Sub->showNormal();
    const QSize Room = Area->viewport()->size();
    if (Sized) {
        // The frame is what the sub-window adds around the form once it has laid the form out.
        const QSize Frame = Sub->size() - Form->size();
        Sub->resize((Wanted + Frame).boundedTo(Room).expandedTo(Sub->minimumSizeHint()));
    }
    // The area would put every new child where it overlaps least for its first, smaller size: in
    // practice the top-left corner, hiding the window opened before it.
    const QMdiSubWindow* Previous = LastPlacedChild(Area, Sub);
    const QRect PreviousRect = Previous ? Previous->geometry() : QRect();
    // A new window keeps its whole size: where it does not fit one step on, it starts again at the corner.
    Sub->setGeometry(NextCascadeRect(Previous ? &PreviousRect : nullptr, Sub->size(), Room,
                                     MdiCascadeStep(Area), Sub->size()));
    if (Maximized) Sub->showMaximized();
    return Sub;
}

int MdiCaptionWidth(const QMdiSubWindow* Sub) {
    const QStyle* Style = Sub->style();
    QStyleOptionTitleBar Bar;
    Bar.initFrom(Sub);
    Bar.subControls = QStyle::SC_All;
    Bar.titleBarFlags = Sub->windowFlags();
    Bar.titleBarState = int(Sub->windowState());
    Bar.icon = Sub->windowIcon();
    Bar.text = ShownWindowTitle(Sub);
    const int Border = Style->styleHint(QStyle::SH_TitleBar_NoBorder, &Bar, Sub) ? 0 : 4;
    const int BarHeight = Style->pixelMetric(QStyle::PM_TitleBarHeight, &Bar, Sub);
    // The sub-window paints its bar inside its border, as high as the style's title bar.
    Bar.rect = QRect(Border, Border, Sub->width() - 2 * Border, BarHeight);
    const int Label = Style->subControlRect(QStyle::CC_TitleBar, &Bar, QStyle::SC_TitleBarLabel, Sub).width();
    // The sub-window draws its caption in this font, and the usual styles embolden it and keep a margin
    // of 14 pixels inside the label: measured in the plain font the caption would still be cut.
    QFont Font = QApplication::font("QMdiSubWindowTitleBar");
    Font.setBold(true);
    constexpr int LabelMargin = 16;
    return Sub->width() - Label + QFontMetrics(Font).horizontalAdvance(Bar.text) + LabelMargin;
}

void WidenMdiChild(QMdiSubWindow* Sub, int Width) {
    const QMdiArea* Area = Sub->mdiArea();
    if (!Area || Sub->isMaximized() || Sub->isMinimized()) return;
    const int Room = Area->viewport()->width();
    Width = std::min(Width, Room);
    if (Sub->width() >= Width) return;
    QRect Frame = Sub->geometry();
    Frame.setWidth(Width);
    if (Frame.right() >= Room) Frame.moveRight(Room - 1);
    if (Frame.left() < 0) Frame.moveLeft(0);
    Sub->setGeometry(Frame);
}

void CascadeMdiChildren(QMdiArea* Area) {
    const QSize Room = Area->viewport()->size();
    const int Step = MdiCascadeStep(Area);
    QRect Previous;
    bool First = true;
    for (QMdiSubWindow* Sub : Area->subWindowList(QMdiArea::StackingOrder)) {
        if (!Sub->isVisible() || Sub->isMinimized()) continue;
        if (Sub->isMaximized()) Sub->showNormal();
        const QSize Least = (Sub->size() / 2).expandedTo(Sub->minimumSizeHint());
        Previous = NextCascadeRect(First ? nullptr : &Previous, Sub->size(), Room, Step, Least);
        Sub->setGeometry(Previous);
        First = false;
    }
}

// ---------------------------------------------------------------------------------------------------
// Window placement

QRect FitPlacement(const QRect& Stored, const std::vector<QRect>& Areas, const QSize& MinSize) {
    if (Stored.width() < std::max(MinSize.width(), 1) || Stored.height() < std::max(MinSize.height(), 1))
        return QRect();
    const QRect* best = nullptr;
    int64_t bestShare = 0;
    for (const QRect& area : Areas) {
        const QRect common = area.intersected(Stored);
        const int64_t share = common.isEmpty() ? 0 : int64_t(common.width()) * common.height();
        if (share > bestShare) {
            bestShare = share;
            best = &area;
        }
    }
    if (!best) return QRect();
    QRect fitted(Stored.topLeft(), Stored.size().boundedTo(best->size()));
    fitted.moveLeft(std::clamp(fitted.left(), best->left(), best->right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), best->top(), best->bottom() + 1 - fitted.height()));
    return fitted;
}

void SaveFormPlacement(const std::string& IniFileName, const std::string& Section, QWidget* Form,
                       bool SkipState) {
    if (IniFileName.empty()) return;
    QWidget* placed = PlacedWidget(Form);
    TIniFile ini(IniFileName);
    if (!SkipState) ini.WriteInteger(Section, "WindowState", StateNumber(placed->windowState()));
    const QRect r = NormalBounds(placed);
    ini.WriteInteger(Section, "Left", r.x());
    ini.WriteInteger(Section, "Top", r.y());
    ini.WriteInteger(Section, "Height", r.height());
    ini.WriteInteger(Section, "Width", r.width());
    ini.UpdateFile();
}

void LoadFormPlacement(const std::string& IniFileName, const std::string& Section, QWidget* Form,
                       bool SkipState) {
    if (IniFileName.empty()) return;
    QWidget* placed = PlacedWidget(Form);
    if (placed->isWindow()) TNormalFrameTracker::InstallOnce(placed);
    const TIniFile ini(IniFileName);
    bool stored = true;
    for (const char* key : {"Left", "Top", "Height", "Width"})
        stored = stored && ini.ValueExists(Section, key);
    if (stored) {
        const QRect wanted(ini.ReadInteger(Section, "Left", 0), ini.ReadInteger(Section, "Top", 0),
                           ini.ReadInteger(Section, "Width", 0), ini.ReadInteger(Section, "Height", 0));
        const QRect fitted = FitPlacement(wanted, PlacementAreas(placed), placed->minimumSizeHint());
        if (!fitted.isNull()) {
            // move places the frame of a window, resize its client area.
            placed->move(fitted.topLeft());
            placed->resize(fitted.size());
            // A window that starts maximised has no normal frame yet: this is the one it restores to.
            if (placed->isWindow()) placed->setProperty(NormalFrameProperty, fitted);
        }
    }
    if (SkipState) return;
    const int state = ini.ReadInteger(Section, "WindowState", StateNumber(placed->windowState()));
    Qt::WindowStates states = placed->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == 2) states |= Qt::WindowMaximized;
    placed->setWindowState(states);
}

// ---------------------------------------------------------------------------------------------------
// Eliding label

void TElidingLabel::SetFullText(const QString& Text) {
    FFullText = Text;
    Elide();
}

namespace {

// The indent a label puts before its text: a framed label without an indent of its own indents by half an
// "x".
int EffectiveIndent(const QLabel* Label) {
    if (Label->indent() >= 0) return Label->indent();
    return Label->frameWidth() > 0 ? Label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
}

}  // namespace

// Room kept free beside the text, so that a cut text never runs into the next panel's.
int TElidingLabel::Padding() const {
    return fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 2;
}

int TElidingLabel::TextWidth(const QString& Text) const {
    const QMargins M = contentsMargins();
    // The text's own width rounded up: a panel given the rounded advance still had its last letter cut.
    const int Advance = int(std::ceil(QFontMetricsF(font()).horizontalAdvance(Text)));
    return Advance + M.left() + M.right() + 2 * margin() + EffectiveIndent(this) + 2 * frameWidth() +
           Padding();
}

QSize TElidingLabel::sizeHint() const {
    return QSize(FullTextWidth(), QLabel::sizeHint().height());
}

QSize TElidingLabel::minimumSizeHint() const {
    const int Text = fontMetrics().horizontalAdvance(QString(QChar(0x2026)));
    return QSize(FullTextWidth() - fontMetrics().horizontalAdvance(FFullText) + Text,
                 QLabel::minimumSizeHint().height());
}

void TElidingLabel::resizeEvent(QResizeEvent* Event) {
    QLabel::resizeEvent(Event);
    Elide();
}

void TElidingLabel::showEvent(QShowEvent* Event) {
    QLabel::showEvent(Event);
    Elide();
}

void TElidingLabel::Elide() {
    // A label not yet shown has no width of its own to cut the text to.
    if (!isVisible()) {
        setText(FFullText);
        setToolTip(QString());
        return;
    }
    const int Room = contentsRect().width() - 2 * margin() - EffectiveIndent(this) - Padding();
    const QString Shown = fontMetrics().elidedText(FFullText, Qt::ElideRight, std::max(Room, 0));
    setText(Shown);
    setToolTip(Shown == FFullText ? QString() : FFullText);
}

// ---------------------------------------------------------------------------------------------------
// The font dialog

TConfigFontDialog::TConfigFontDialog(const TFontSpec& Font, QWidget* Parent)
    : QDialog(Parent), FOriginal(Font) {
    setWindowTitle("Font");
    FFontChooser = new QFontDialog(WithStyleName(FontSpecToQFont(Font)), this);
    FFontChooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    FShown = FFontChooser->currentFont();
    FFontChooser->setWindowFlags(Qt::Widget);
    // Embedded, the chooser is still a dialog of its own: Escape or Return in it would only close the
    // chooser, leaving an empty window, and its size grip would sit in the middle of this one.
    FFontChooser->setSizeGripEnabled(false);
    connect(FFontChooser, &QDialog::finished, this, [this](int Result) {
        FFontChooser->show();
        done(Result == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected);
    });
    FColorBox = new QComboBox(this);
    for (const TBasicColor& c : BasicColors) {
        QPixmap swatch(16, 12);
        swatch.fill(ColorRefToQColor(c.Color));
        FColorBox->addItem(QIcon(swatch), c.Name, int(c.Color));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FFontChooser);
    auto* colorLabel = new QLabel("&Color:", this);
    colorLabel->setBuddy(FColorBox);
    layout->addWidget(colorLabel);
    layout->addWidget(FColorBox);
    layout->addWidget(buttons);
    SelectColor(Font.Color);
}

void TConfigFontDialog::SelectColor(TColor Color) {
    const QColor wanted = ColorRefToQColor(Color);
    for (int i = 0; i < FColorBox->count(); ++i) {
        if (ColorRefToQColor(FColorBox->itemData(i).toInt()) == wanted) {
            FColorBox->setCurrentIndex(i);
            return;
        }
    }
    QPixmap swatch(16, 12);
    swatch.fill(wanted);
    FColorBox->addItem(QIcon(swatch), "Custom", int(Color));
    FColorBox->setCurrentIndex(FColorBox->count() - 1);
}

TFontSpec TConfigFontDialog::SelectedFont() const {
    TFontSpec font = FOriginal;
    // The chooser shows a family that is not installed as another one; untouched, the font stays.
    if (FFontChooser->currentFont() != FShown) AssignQFont(font, FFontChooser->currentFont());
    const TColor chosen = FColorBox->currentData().toInt();
    // A system colour stays one unless the user picked a different colour.
    if (ColorRefToQColor(chosen) != ColorRefToQColor(FOriginal.Color)) font.Color = chosen;
    return font;
}

void RegisterConfigFontDialog() {
    SetFontDialog([](TFontSpec& Font) {
        TConfigFontDialog dialog(Font, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted) return false;
        Font = dialog.SelectedFont();
        return true;
    });
}

void CloseAskingToApply(QDialog& Dialog, bool Changed, const std::function<void()>& Apply) {
    if (Changed) {
        const int Answer = ConfirmApplyChanges();
        if (Answer == mrCancel) return;
        if (Answer == mrYes) {
            Apply();
            return;
        }
    }
    Dialog.QDialog::reject();
}

QHBoxLayout* NewOkCancelRow(QWidget* Dialog, QPushButton*& Ok, QPushButton*& Cancel) {
    Ok = new QPushButton("OK", Dialog);
    Ok->setDefault(true);
    Cancel = new QPushButton("Cancel", Dialog);
    auto* Row = new QHBoxLayout;
    Row->addStretch();
    Row->addWidget(Ok);
    Row->addWidget(Cancel);
    return Row;
}
