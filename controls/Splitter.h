// A panel divided between two panes by a 3-pixel bar the user drags. Unlike QSplitter it keeps the bar
// as a percentage, knows five ways of placing it after a resize, and can be used without panes: a
// vertical splitter without any pane is a thin strip that moves itself inside its parent.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QSize>
#include <functional>

class QRubberBand;

enum TSplitterKind { skVertical, skHorizontal };
enum TSplitterMode { smKeepAsIs, smKeepEqual, smKeepProportional, smLockLeft, smLockRight };

// ---- Placement rules (no widgets) --------------------------------------------------------------------

inline constexpr int SplitterBarSize = 3;

// The bar's offset (left for a vertical splitter, top for a horizontal one) at Percent of a splitter
// Width x Height: (extent - 3) / (100 / Percent) rounded half to even; 0 when Percent is 0.
int PlaceSplitterBar(TSplitterKind Kind, int Width, int Height, int Percent);

// Where the bar goes when the splitter changes from LastSize to NewSize in Mode, the bar standing at
// BarPos. A proportional splitter that had no extent yet places the bar at Percent.
int SplitterBarAfterResize(TSplitterMode Mode, TSplitterKind Kind, int BarPos, QSize LastSize, QSize NewSize,
                           int Percent);

// The two pane rectangles around a bar at BarPos in a splitter of Size.
struct TSplitterPanes {
    QRect LeftUp;
    QRect RightDown;
};
TSplitterPanes ArrangeSplitterPanes(TSplitterKind Kind, int BarPos, QSize Size);

// ---- The panel ---------------------------------------------------------------------------------------

class TCommonSplitter : public QFrame {
    Q_OBJECT
public:
    explicit TCommonSplitter(QWidget* Parent = nullptr);

    int SplitterPos() const { return FSplitterPos; }
    // Accepts 0..100 only, and only 50 in smKeepEqual; places the bar and arranges the panes.
    void SetSplitterPos(int Percent);
    bool SplitterVisible() const;
    void SetSplitterVisible(bool Visible);
    TSplitterKind Kind() const { return FKind; }
    // Changes the bar's cursor, places the bar at SplitterPos and arranges the panes.
    void SetKind(TSplitterKind Kind);
    TSplitterMode Mode() const { return FMode; }
    // smKeepEqual forces the position to 50; the panes are arranged as after a resize.
    void SetMode(TSplitterMode Mode);
    QWidget* LeftUpControl() const { return FLeftUp; }
    QWidget* RightDownControl() const { return FRightDown; }
    // A pane must be a child of the splitter and differ from the other pane; anything else is ignored.
    // A pane that is destroyed reads back as nullptr.
    void SetLeftUpControl(QWidget* Control);
    void SetRightDownControl(QWidget* Control);
    // Called after every arrangement (resize, drag, property change).
    std::function<void()> OnSplit;

    // The bar's offset inside the splitter (x for vertical, y for horizontal).
    int BarPos() const;
    QFrame* Bar() const { return FBar; }
    bool Dragging() const { return FDragging; }

protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void PlaceBar(int Pos);
    void Arrange();
    void ApplyCursor();
    void UpdateFocusProxy();
    QRect DragLimits() const;
    QPoint ClampDrag(QPoint Global) const;
    void ShowDragLine(QPoint Global);

    QFrame* FBar;
    QRubberBand* FDragLine = nullptr;
    int FSplitterPos = 50;
    TSplitterKind FKind = skVertical;
    TSplitterMode FMode = smKeepAsIs;
    QPointer<QWidget> FLeftUp;
    QPointer<QWidget> FRightDown;
    bool FDragging = false;
    QPoint FDragPos;
    QSize FLastSize{0, 0};
    bool FSized = false;
};
