// The Qt side of the application services: the base of the windows that receive application messages,
// the helpers of the option dialogs on real widgets, window placements, the conversion of model fonts
// and colours into Qt's, and the font dialog with a colour choice that ChooseConfigFont opens. The
// rules themselves live Qt-free in engine/ConcUtils.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcUtils.h"

class QComboBox;
class QFontDialog;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSpinBox;

// ---- Windows that receive application messages -------------------------------------------------------

// The base of every child window that receives application messages. Once a close of the window is
// accepted, by whatever closeEvent the window has, it is marked closing, and broadcasts pass it by for
// the time it still exists (a closed sub-window is destroyed later).
class TAppMessageForm : public QWidget, public TAppMessageReceiver {
    Q_OBJECT
public:
    explicit TAppMessageForm(QWidget* Parent = nullptr) : QWidget(Parent) {}

    // A menu of the window that the main window shows in its menu bar while the window is active,
    // placed among the main menus by its group index (the main window's own: File 0, Search 2,
    // Frequency 3, Window 6, Info 7).
    struct TMergedMenu {
        int GroupIndex;
        QMenu* Menu;
    };
    // The window's merged menus (owned by the window); none by default.
    virtual std::vector<TMergedMenu> MergedMenus() const { return {}; }

protected:
    bool event(QEvent* Event) override;
};

// ---- Colours and fonts -------------------------------------------------------------------------------

// A COLORREF (0x00BBGGRR) as a colour; a system colour (negative) as the matching role of the
// application's palette.
QColor ColorRefToQColor(TColor Color);
// The COLORREF of an opaque colour.
TColor QColorToColorRef(const QColor& Color);
// The font a model font stands for: family, point size and style; colour and character set are not
// part of a QFont.
QFont FontSpecToQFont(const TFontSpec& Spec);
// Copies family, point size and style of Font into Spec; colour and character set stay.
void AssignQFont(TFontSpec& Spec, const QFont& Font);

// ---- Option-dialog helpers ---------------------------------------------------------------------------

// The history rule of AddToHistory on a combo box: the trimmed text is written back and, when it is
// not empty, moved to the top of the drop-down list, which is then selected.
void AddToComboHistory(QComboBox* Combo);
// A new editable combo box whose drop-down list holds a history (owned by Parent). It never completes
// what is typed from the history: "lord" would become an older "lord god" and Enter would search that.
QComboBox* NewHistoryCombo(QWidget* Parent);
// Clamps the edit's number to Minimum..Maximum (as ClampedEditValue) and writes it back. Returns it.
int32_t ClampEditValue(QLineEdit* Edit, int32_t Default, int32_t Minimum, int32_t Maximum);
// ClampEditValue with the up-down's position as default and its range as limits; the up-down takes
// the result as its position. The second form clamps a spin box's own text.
int32_t ClampEditToUpDown(QLineEdit* Edit, QSpinBox* UpDown);
int32_t ClampEditToUpDown(QSpinBox* UpDown);
// When the edit holds nothing but blanks and control characters: shows Msg in the error box, gives
// the edit the focus and raises EAbort, which ends the current operation silently.
void RequireEditText(QLineEdit* Edit, const std::string& Msg);
// Makes Edit drop every typed key that FilterNumericKey swallows (digits, the locale's decimal
// separator when AllowDecimal, the blank and control keys pass), with a beep. The filter belongs to Edit.
void InstallNumericKeyFilter(QWidget* Edit, bool AllowDecimal);
// The warning beep of a refused key; tests register a hook that counts the beeps instead (an empty one
// restores the beep).
void Beep();
void SetBeepHook(std::function<void()> Hook);
// Moves Control vertically so that it sits centred beside Other (same parent).
void CenterOnControl(QWidget* Control, const QWidget* Other);
// Window titles that show their text as it is: the toolkit reads "[*]" in a title as the place of its
// modified-document mark and drops it, so that a title holding a query "*" in brackets lost its query.
// The toolkit's own escape: every "[*]" of Text written twice.
QString LiteralWindowTitle(const QString& Text);
// Sets Window's title to Text as it is (LiteralWindowTitle).
void SetLiteralWindowTitle(QWidget* Window, const QString& Text);
void SetLiteralWindowTitle(QWidget* Window, const std::string& Utf8Text);
// The title as Window shows it (what a title set with SetLiteralWindowTitle was given), for texts that
// repeat it: menu entries, progress texts, measurements.
QString ShownWindowTitle(const QWidget* Window);
// Text as a menu entry shows it as it is: an "&" would otherwise underline the next character.
QString LiteralMenuText(const QString& Text);

// Makes Window (a top-level dialog whose title is set) at least as wide as its title in its own font
// and the title bar's icon and buttons, so that the window manager does not cut the title.
void FitWidthToTitle(QWidget* Window);
// Puts Controls into the tab chain one after the other, following Previous (nullptr: the first one
// starts the chain), and leaves Previous at the last of them.
void SetTabOrders(QWidget*& Previous, std::initializer_list<QWidget*> Controls);

// The program's icon, drawn at the usual sizes: two pages of text side by side with one aligned line
// marked across both. Windows without an icon of their own show a toolkit's logo instead.
QIcon ProgramIcon();

class QHBoxLayout;
class QPushButton;
// The row of a dialog's "OK" (the default button) and "Cancel", at the right; the buttons belong to Dialog,
// the row to the layout the caller adds it to.
QHBoxLayout* NewOkCancelRow(QWidget* Dialog, QPushButton*& Ok, QPushButton*& Cancel);

// The settings dialogs' rule for closing other than with OK: without Changed the dialog closes as
// cancelled; otherwise "You have made changes. Apply them now?": Yes runs Apply (the OK path, which may
// keep the dialog open after a failed check), No closes as cancelled, Cancel keeps the dialog open.
void CloseAskingToApply(QDialog& Dialog, bool Changed, const std::function<void()>& Apply);

// ---- MDI children ------------------------------------------------------------------------------------

// Shows Form as a child of Area in a new sub-window that is freed when it closes, and returns that
// sub-window (owned by Area). A form that was given a size keeps it, as far as the area's viewport
// allows; a sub-window otherwise takes only its contents' size hint. The sub-window goes one cascade
// step below and to the right of the child opened last (NextCascadeRect), wholly inside the viewport.
// While the active child is maximized the new one opens maximized too, with that size and place kept for
// when it is restored. Without an area the form is shown as a top-level window, freed when it closes, and the
// result is null.
QMdiSubWindow* ShowMdiChild(QMdiArea* Area, QWidget* Form);

// The first child of Area whose form Matches (forms already closing never match), its sub-window shown,
// activated and restored to its normal size; nullptr when none matches or there is no area.
QWidget* RaiseMdiChild(QMdiArea* Area, const std::function<bool(QWidget* Form)>& Matches);

// Where a cascaded window of Size goes after one at Previous (nullptr: it is the first) in an area of
// AreaSize: Step pixels right of and below Previous, keeping its size where it fits and cut to the room
// left below and to the right where it does not; back at the area's top-left corner when that room is
// narrower or lower than LeastSize.
QRect NextCascadeRect(const QRect* Previous, const QSize& Size, const QSize& AreaSize, int Step,
                      const QSize& LeastSize);
// The cascade step of Area's children: a sub-window's title bar and frame above its contents, so that
// each window's caption stays in sight below the next; a fixed 24 pixels without children.
int MdiCascadeStep(const QMdiArea* Area);
// The width at which Sub's title bar shows its caption whole: the bar as the style lays it out (icon and
// buttons) and the caption as the style draws it (bold, inside a margin of its label).
int MdiCaptionWidth(const QMdiSubWindow* Sub);
// Widens Sub to Width as far as its area's viewport allows, moving it left where it would stand past the
// viewport's right edge. Nothing for a sub-window already that wide, maximised or minimised, or outside
// an area.
void WidenMdiChild(QMdiSubWindow* Sub, int Width);
// "Cascade": the visible children that are not minimised, from the bottom of the stack to the top,
// restored when maximised and placed by NextCascadeRect, each keeping its size where it fits and at
// least half of it (the area's own cascade would shrink every window to its contents' size hint).
void CascadeMdiChildren(QMdiArea* Area);

// ---- Window placement --------------------------------------------------------------------------------

// Left and Top are the position of the window's frame (an MDI child's sub-window, in the MDI area's
// coordinates); Width and Height its size as QWidget::size gives it.

// Where a stored placement may put a window: the rectangle kept on the usable area of the area that
// holds the most of it, shrunk to that area when larger and moved inside it. Null when it cannot be
// used (no area holds any of it, or it is smaller than MinSize): the window keeps its default placement.
QRect FitPlacement(const QRect& Stored, const std::vector<QRect>& Areas, const QSize& MinSize);

// Form's placement in the INI file IniFileName. Unless SkipState, WindowState (0 normal, 1 minimised,
// 2 maximised) is written; then Left, Top, Height and Width of the bounds the form has when it is
// neither minimised nor maximised. Nothing happens when IniFileName is empty. Raises EIniFileError.
void SaveFormPlacement(const std::string& IniFileName, const std::string& Section, QWidget* Form,
                       bool SkipState);
// Applies the stored Left, Top, Height and Width when all four are stored and FitPlacement accepts them
// on the screens' usable areas (a child: its MDI area); otherwise the form keeps its placement and a
// top-level window is placed by the window manager. Then, unless SkipState, the stored WindowState (a
// minimised state restores as normal, since a window that starts minimised shows nothing). Raises
// EIniFileError.
void LoadFormPlacement(const std::string& IniFileName, const std::string& Section, QWidget* Form,
                       bool SkipState);

// ---- The font dialog ---------------------------------------------------------------------------------

// The common font dialog with the colour choice that Qt's own lacks: a font chooser above a list of
// the sixteen basic colours. The character set of the font is kept as it came.
// A label that shows as much of its text as its width allows: cut at the right with an ellipsis when
// the whole text does not fit, the whole text then in its tooltip (no tooltip while it fits). Status
// panels use it so that a long text never runs under the next panel.
class TElidingLabel : public QLabel {
    Q_OBJECT
public:
    // Shows its text as plain text: a text that starts like markup is shown as typed.
    explicit TElidingLabel(QWidget* Parent = nullptr) : QLabel(Parent) { setTextFormat(Qt::PlainText); }
    // Replaces the whole text and shows it at the current width.
    void SetFullText(const QString& Text);
    const QString& FullText() const { return FFullText; }
    // The width the whole text needs, frame and margins included.
    int FullTextWidth() const { return TextWidth(FFullText); }
    // The width Text would need as the label's text.
    int TextWidth(const QString& Text) const;
    // The whole text's width; the label may shrink down to an ellipsis.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    int Padding() const;
    void Elide();
    QString FFullText;
};

class TConfigFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TConfigFontDialog(const TFontSpec& Font, QWidget* Parent = nullptr);
    // The font as chosen so far; the colour is the one given unless another was picked.
    TFontSpec SelectedFont() const;
    // Selects Color in the colour list (added as "Custom" when it is none of the sixteen).
    void SelectColor(TColor Color);
    QFontDialog* FontChooser() const { return FFontChooser; }
    QComboBox* ColorBox() const { return FColorBox; }

private:
    TFontSpec FOriginal;
    QFont FShown;  // what the chooser showed at first
    QFontDialog* FFontChooser;
    QComboBox* FColorBox;
};

// Registers TConfigFontDialog as the dialog of ChooseConfigFont, modal over the active window.
void RegisterConfigFontDialog();
