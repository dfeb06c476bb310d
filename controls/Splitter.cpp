#include "controls/Splitter.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

namespace {

int Extent(TSplitterKind Kind, QSize Size) {
    return Kind == skVertical ? Size.width() : Size.height();
}

// Half to even, as every rounding of the program's layouts.
int RoundEven(double V) {
    return static_cast<int>(std::nearbyint(V));
}

constexpr int DragMargin = 20;

}  // namespace

int PlaceSplitterBar(TSplitterKind Kind, int Width, int Height, int Percent) {
    // A position of 0 percent must not divide by zero for either kind.
    if (Percent <= 0) return 0;
    const int Room = (Kind == skVertical ? Width : Height) - SplitterBarSize;
    return RoundEven(Room / (100.0 / Percent));
}

int SplitterBarAfterResize(TSplitterMode Mode, TSplitterKind Kind, int BarPos, QSize LastSize, QSize NewSize,
                           int Percent) {
    const int Old = Extent(Kind, LastSize), New = Extent(Kind, NewSize);
    switch (Mode) {
        case smKeepAsIs:
            return PlaceSplitterBar(Kind, NewSize.width(), NewSize.height(), Percent);
        case smKeepEqual:
            return PlaceSplitterBar(Kind, NewSize.width(), NewSize.height(), 50);
        case smKeepProportional: {
            // A splitter that had no extent yet (created at run time) has no proportion to keep.
            const int P = Old <= 0 ? Percent : RoundEven(BarPos / (Old / 100.0));
            return PlaceSplitterBar(Kind, NewSize.width(), NewSize.height(), std::clamp(P, 0, 100));
        }
        case smLockLeft:
            return BarPos > New ? New - SplitterBarSize : BarPos;
        case smLockRight:
            return std::max(0, BarPos + New - Old);
    }
    return BarPos;
}

TSplitterPanes ArrangeSplitterPanes(TSplitterKind Kind, int BarPos, QSize Size) {
    if (Kind == skVertical) {
        const int Right = BarPos + SplitterBarSize;
        return {QRect(0, 0, BarPos, Size.height()), QRect(Right, 0, Size.width() - Right, Size.height())};
    }
    const int Below = BarPos + SplitterBarSize;
    return {QRect(0, 0, Size.width(), BarPos), QRect(0, Below, Size.width(), Size.height() - Below)};
}

TCommonSplitter::TCommonSplitter(QWidget* Parent) : QFrame(Parent) {
    FBar = new QFrame(this);
    FBar->setFrameStyle(QFrame::Panel | QFrame::Raised);
    FBar->setLineWidth(1);
    FBar->installEventFilter(this);
    ApplyCursor();
    PlaceBar(0);
}

void TCommonSplitter::SetSplitterPos(int Percent) {
    if (Percent < 0 || Percent > 100 || (FMode == smKeepEqual && Percent != 50)) return;
    FSplitterPos = Percent;
    PlaceBar(PlaceSplitterBar(FKind, width(), height(), Percent));
    Arrange();
}

bool TCommonSplitter::SplitterVisible() const {
    return !FBar->isHidden();
}

void TCommonSplitter::SetSplitterVisible(bool Visible) {
    FBar->setVisible(Visible);
}

void TCommonSplitter::SetKind(TSplitterKind Kind) {
    if (Kind == FKind) return;
    FKind = Kind;
    ApplyCursor();
    PlaceBar(PlaceSplitterBar(FKind, width(), height(), FSplitterPos));
    Arrange();
}

void TCommonSplitter::SetMode(TSplitterMode Mode) {
    FMode = Mode;
    if (Mode == smKeepEqual) FSplitterPos = 50;
    PlaceBar(SplitterBarAfterResize(FMode, FKind, BarPos(), FLastSize, size(), FSplitterPos));
    Arrange();
}

void TCommonSplitter::SetLeftUpControl(QWidget* Control) {
    if (Control && (Control->parentWidget() != this || Control == FRightDown)) return;
    FLeftUp = Control;
    UpdateFocusProxy();
    Arrange();
}

void TCommonSplitter::SetRightDownControl(QWidget* Control) {
    if (Control && (Control->parentWidget() != this || Control == FLeftUp)) return;
    FRightDown = Control;
    UpdateFocusProxy();
    Arrange();
}

int TCommonSplitter::BarPos() const {
    return FKind == skVertical ? FBar->x() : FBar->y();
}

void TCommonSplitter::PlaceBar(int Pos) {
    if (FKind == skVertical)
        FBar->setGeometry(Pos, 0, SplitterBarSize, height());
    else
        FBar->setGeometry(0, Pos, width(), SplitterBarSize);
}

void TCommonSplitter::Arrange() {
    if (FLeftUp && FLeftUp->parentWidget() != this) FLeftUp = nullptr;
    if (FRightDown && FRightDown->parentWidget() != this) FRightDown = nullptr;
    if (!FLeftUp && !FRightDown && FKind == skVertical && parentWidget()) {
        // Without panes the strip itself is what the user moves.
        const int Shift = BarPos();
        if (Shift != 0) move(x() + Shift, y());
        PlaceBar(0);
    } else {
        const TSplitterPanes Panes = ArrangeSplitterPanes(FKind, BarPos(), size());
        if (FLeftUp) FLeftUp->setGeometry(Panes.LeftUp);
        if (FRightDown) FRightDown->setGeometry(Panes.RightDown);
    }
    if (OnSplit) OnSplit();
}

void TCommonSplitter::ApplyCursor() {
    FBar->setCursor(FKind == skVertical ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void TCommonSplitter::UpdateFocusProxy() {
    if (FLeftUp && FLeftUp->focusPolicy() != Qt::NoFocus)
        setFocusProxy(FLeftUp);
    else if (FRightDown && FRightDown->focusPolicy() != Qt::NoFocus)
        setFocusProxy(FRightDown);
    else
        setFocusProxy(nullptr);
}

void TCommonSplitter::resizeEvent(QResizeEvent* Event) {
    QFrame::resizeEvent(Event);
    // The first size a splitter gets places the bar at its percentage whatever the mode.
    const int Pos = FSized ? SplitterBarAfterResize(FMode, FKind, BarPos(), FLastSize, size(), FSplitterPos)
                           : PlaceSplitterBar(FKind, width(), height(), FSplitterPos);
    FSized = true;
    PlaceBar(Pos);
    FLastSize = size();
    Arrange();
}

// The rectangle, in global coordinates, inside which the drag line may stand: the splitter itself, or
// for a strip without panes its parent less a margin on both sides.
QRect TCommonSplitter::DragLimits() const {
    if (FLeftUp || FRightDown || !parentWidget()) return QRect(mapToGlobal(QPoint(0, 0)), size());
    const QWidget* P = parentWidget();
    const QRect Client = P->contentsRect().adjusted(DragMargin, 0, -DragMargin, 0);
    return QRect(P->mapToGlobal(Client.topLeft()), Client.size());
}

QPoint TCommonSplitter::ClampDrag(QPoint Global) const {
    const QRect R = DragLimits();
    return QPoint(std::clamp(Global.x(), R.left(), std::max(R.left(), R.right())),
                  std::clamp(Global.y(), R.top(), std::max(R.top(), R.bottom())));
}

void TCommonSplitter::ShowDragLine(QPoint Global) {
    if (!FDragLine) FDragLine = new QRubberBand(QRubberBand::Line, parentWidget() ? parentWidget() : this);
    QWidget* Host = FDragLine->parentWidget();
    const QPoint At = Host->mapFromGlobal(Global);
    const QPoint Origin = mapTo(Host, QPoint(0, 0));
    if (FKind == skVertical)
        FDragLine->setGeometry(At.x(), Origin.y(), SplitterBarSize, height());
    else
        FDragLine->setGeometry(Origin.x(), At.y(), width(), SplitterBarSize);
    FDragLine->show();
    FDragLine->raise();
}

bool TCommonSplitter::eventFilter(QObject* Watched, QEvent* Event) {
    const QEvent::Type Type = Event->type();
    if (Watched != FBar ||
        (Type != QEvent::MouseButtonPress && Type != QEvent::MouseMove && Type != QEvent::MouseButtonRelease))
        return QFrame::eventFilter(Watched, Event);
    auto* Mouse = static_cast<QMouseEvent*>(Event);
    switch (Type) {
        case QEvent::MouseButtonPress:
            if (Mouse->button() != Qt::LeftButton) break;
            FDragging = true;
            FDragPos = ClampDrag(Mouse->globalPosition().toPoint());
            ShowDragLine(FDragPos);
            return true;
        case QEvent::MouseMove:
            if (!FDragging) break;
            FDragPos = ClampDrag(Mouse->globalPosition().toPoint());
            ShowDragLine(FDragPos);
            return true;
        case QEvent::MouseButtonRelease: {
            if (!FDragging || Mouse->button() != Qt::LeftButton) break;
            FDragging = false;
            if (FDragLine) FDragLine->hide();
            const QPoint At = mapFromGlobal(ClampDrag(Mouse->globalPosition().toPoint()));
            PlaceBar(FKind == skVertical ? At.x() : At.y());
            Arrange();
            return true;
        }
        default:
            break;
    }
    return QFrame::eventFilter(Watched, Event);
}
