#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <thread>

#include "controls/StringsView.h"
#include "platform/Nls.h"
#include "tests/support/TestSupport.h"

namespace {

// Items made up on demand, counting how many were asked for.
class TCountingStrings : public TStrings {
public:
    explicit TCountingStrings(int Count, std::string Prefix = "item ")
        : FCount(Count), FPrefix(std::move(Prefix)) {}
    int GetCount() const override { return FCount.load(); }
    std::string Get(int Index) const override {
        ++Gets;
        return FPrefix + std::to_string(Index);
    }
    void Clear() override { FCount = 0; }
    void Delete(int) override { --FCount; }
    void Insert(int, const std::string&) override { ++FCount; }
    void SetCount(int Count) { FCount = Count; }
    mutable std::atomic<int> Gets{0};

private:
    std::atomic<int> FCount;
    std::string FPrefix;
};

// A view of 300 x 200 pixels over List, shown, with every event logged.
struct TViewFixture {
    TStringsView View;
    std::vector<std::string> Log;
    explicit TViewFixture(TStrings* List, bool Multi = true, bool Extended = true) {
        View.resize(300, 200);
        View.SetMultiSelect(Multi);
        View.SetExtendedSelect(Extended);
        View.OnItemSelection = [this](TStringsView&, bool S, int I) {
            Log.push_back((S ? "+" : "-") + std::to_string(I));
        };
        View.OnItemChanged = [this](TStringsView& V) {
            Log.push_back("changed " + std::to_string(V.ItemIndex()));
        };
        View.OnTopIndexChanged = [this](TStringsView& V) {
            Log.push_back("top " + std::to_string(V.TopIndex()));
        };
        View.show();
        View.SetStrings(List);
        QApplication::processEvents();
        Log.clear();
    }
    QPoint PointOf(int Index) const { return View.ItemRect(Index).center(); }
    std::vector<std::string> Take() { return std::exchange(Log, {}); }
};

using TLog = std::vector<std::string>;

}  // namespace

TEST(StringsViewWidget, AsksOnlyForTheItemsOnScreenHoweverLongTheList) {
    TCountingStrings List(10'000'000);
    TViewFixture F(&List);
    const int Screen = F.View.VisibleLines() + 3;
    EXPECT_EQ(F.View.ItemIndex(), 0);
    EXPECT_TRUE(F.View.IsSelected(0));
    List.Gets = 0;
    F.View.SetTopIndex(5'000'000);
    F.View.grab();
    EXPECT_LE(List.Gets.load(), 2 * Screen);
    EXPECT_EQ(F.View.TopIndex(), 5'000'000);
    // End focuses the last item and shows it; paging down from the top moves the focus a screen.
    List.Gets = 0;
    QTest::keyClick(&F.View, Qt::Key_End);
    EXPECT_EQ(F.View.ItemIndex(), 9'999'999);
    EXPECT_LE(F.View.TopIndex(), 9'999'999);
    EXPECT_GE(F.View.BottomIndex(), 9'999'999);
    EXPECT_LE(List.Gets.load(), 4 * Screen);
    QTest::keyClick(&F.View, Qt::Key_Home);
    QTest::keyClick(&F.View, Qt::Key_PageDown);
    EXPECT_EQ(F.View.ItemIndex(), F.View.VisibleLines());
    EXPECT_LE(F.View.TopIndex(), F.View.ItemIndex());
    EXPECT_GE(F.View.BottomIndex(), F.View.ItemIndex());
    EXPECT_TRUE(F.View.BottomComplete() || F.View.BottomIndex() > F.View.ItemIndex());
}

// Reaching the end by End or by paging shows a full last screen with the last item at its bottom, not the
// last item alone at the top of an empty pane; so does a view without selection, whose keys move the top.
TEST(StringsViewWidget, TheEndShowsAFullLastScreen) {
    TCountingStrings List(100);
    TViewFixture F(&List);
    const auto ExpectFullLastScreen = [&F](const char* How) {
        EXPECT_EQ(F.View.BottomIndex(), 99) << How;
        EXPECT_TRUE(F.View.BottomComplete()) << How;
        EXPECT_EQ(F.View.TopIndex(), 100 - F.View.viewport()->height() / F.View.LineHeight()) << How;
    };
    QTest::keyClick(&F.View, Qt::Key_End);
    EXPECT_EQ(F.View.ItemIndex(), 99);
    ExpectFullLastScreen("End");
    const int LastTop = F.View.TopIndex();
    QTest::keyClick(&F.View, Qt::Key_Home);
    while (F.View.ItemIndex() < 99) QTest::keyClick(&F.View, Qt::Key_PageDown);
    ExpectFullLastScreen("Page Down");
    EXPECT_EQ(F.View.TopIndex(), LastTop);

    F.View.SetEnableSelect(false);
    F.View.SetTopIndex(0);
    for (int I = 0; I < 20; ++I) QTest::keyClick(&F.View, Qt::Key_PageDown);
    ExpectFullLastScreen("Page Down without selection");
    EXPECT_EQ(F.View.TopIndex(), LastTop);
    F.View.SetTopIndex(0);
    QTest::keyClick(&F.View, Qt::Key_End);
    ExpectFullLastScreen("End without selection");
}

// Shift+F10 and the Menu key open the popup at the current line, brought into view first; a keyboard
// popup the window system sends at the mouse pointer is moved there too. The owner reads viewport
// coordinates, as for a right click.
TEST(StringsViewWidget, KeyboardPopupOpensAtTheCurrentLine) {
    TCountingStrings List(100);
    TViewFixture F(&List);
    std::vector<QPoint> Asked;
    F.View.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&F.View, &QWidget::customContextMenuRequested,
                     [&Asked](const QPoint& P) { Asked.push_back(P); });
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, {}, F.PointOf(3));
    QTest::keyClick(&F.View, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked.back().y(), F.View.ItemRect(3).top() + F.View.LineHeight());
    EXPECT_TRUE(F.View.viewport()->rect().contains(Asked.back()));

    F.View.SetTopIndex(60);
    QTest::keyClick(&F.View, Qt::Key_Menu);
    ASSERT_EQ(Asked.size(), 2u);
    EXPECT_EQ(F.View.TopIndex(), 3);
    EXPECT_EQ(Asked.back().y(), F.View.ItemRect(3).top() + F.View.LineHeight());

    QTest::keyClick(&F.View, Qt::Key_Down);
    QContextMenuEvent AtPointer(QContextMenuEvent::Keyboard, QPoint(5, 190),
                                F.View.mapToGlobal(QPoint(5, 190)));
    QApplication::sendEvent(&F.View, &AtPointer);
    ASSERT_EQ(Asked.size(), 3u);
    EXPECT_EQ(Asked.back().y(), F.View.ItemRect(4).top() + F.View.LineHeight());
    // F10 alone is no popup key.
    QTest::keyClick(&F.View, Qt::Key_F10);
    EXPECT_EQ(Asked.size(), 3u);
}

TEST(StringsViewWidget, MouseSelectionReportsToTheOwnerInOrder) {
    TCountingStrings List(100);
    TViewFixture F(&List);
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, {}, F.PointOf(2));
    EXPECT_EQ(F.Take(), (TLog{"-0", "+2", "changed 2"}));
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, Qt::ShiftModifier, F.PointOf(5));
    EXPECT_EQ(F.Take(), (TLog{"-2", "+5", "+4", "+3", "+2", "changed 5"}));
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, Qt::ControlModifier, F.PointOf(4));
    EXPECT_EQ(F.Take(), (TLog{"-4", "changed 4"}));
    EXPECT_EQ(F.View.SelectedItems(), (std::vector<int32_t>{5, 3, 2}));
    // A press on 4 selects it alone; dragging down to 7 extends from there.
    QTest::mousePress(F.View.viewport(), Qt::LeftButton, {}, F.PointOf(4));
    F.Take();
    QMouseEvent Move(QEvent::MouseMove, F.PointOf(7), F.View.viewport()->mapToGlobal(F.PointOf(7)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(F.View.viewport(), &Move);
    QTest::mouseRelease(F.View.viewport(), Qt::LeftButton, {}, F.PointOf(7));
    EXPECT_EQ(F.View.SelectedItems(), (std::vector<int32_t>{7, 6, 5, 4}));
    EXPECT_EQ(F.View.ItemIndex(), 7);
    EXPECT_EQ(F.View.SelAnchor(), 4);
    // Clearing reports each item in selection order.
    F.Take();
    F.View.ClearSelection();
    EXPECT_EQ(F.Take(), (TLog{"-7", "-6", "-5", "-4"}));
}

TEST(StringsViewWidget, SingleSelectionAndAViewLowerThanALine) {
    TCountingStrings List(100);
    TViewFixture F(&List, false, false);
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, {}, F.PointOf(0));
    EXPECT_EQ(F.Take(), TLog{});
    QTest::keyClick(&F.View, Qt::Key_Down);
    EXPECT_EQ(F.Take(), (TLog{"-0", "+1", "changed 1"}));
    F.View.resize(300, F.View.height() - F.View.viewport()->height() + F.View.LineHeight() - 1);
    QApplication::processEvents();
    QTest::keyClick(&F.View, Qt::Key_Down);
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, {}, QPoint(50, 2));
    EXPECT_EQ(F.View.ItemIndex(), 1);
    EXPECT_EQ(F.Take(), TLog{});
}

TEST(StringsViewWidget, WheelAndScrollBarMoveTheTopByItems) {
    TCountingStrings List(100'000);
    TViewFixture F(&List);
    QWheelEvent Down(QPointF(50, 50), F.View.viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(F.View.viewport(), &Down);
    EXPECT_EQ(F.View.TopIndex(), 1);
    EXPECT_EQ(F.Take(), (TLog{"top 1"}));
    QScrollBar* V = F.View.verticalScrollBar();
    EXPECT_LE(V->maximum(), 32767);
    V->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(F.View.TopIndex(), 99'999);
    V->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(F.View.TopIndex(), 0);
    V->setSliderPosition(V->maximum());  // dragging the thumb to its end
    EXPECT_EQ(F.View.TopIndex(), 99'999);
    V->setSliderPosition(1);
    EXPECT_EQ(F.View.TopIndex(), 0);
    // The focused item stays selected while the view scrolls away from it.
    EXPECT_EQ(F.View.ItemIndex(), 0);
}

TEST(StringsViewWidget, CtrlPageKeysScrollSidewaysOnlyWithAHorizontalBar) {
    TCountingStrings List(50, std::string(200, '0'));
    TViewFixture F(&List);
    F.View.grab();  // painting measures the widest line
    ASSERT_TRUE(F.View.HasHorzBar());
    EXPECT_GT(F.View.MaxChars(), F.View.VisibleChars());
    QTest::keyClick(&F.View, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(F.View.HorzScroll(), F.View.VisibleChars() / 2);
    EXPECT_EQ(F.View.ItemIndex(), 0);
    QTest::keyClick(&F.View, Qt::Key_Right);
    EXPECT_EQ(F.View.HorzScroll(), F.View.VisibleChars() / 2 + 1);
    QTest::keyClick(&F.View, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(F.View.HorzScroll(), 0);
    // Centred: no horizontal bar, so Ctrl+PgDn pages the focus and the arrows sideways do nothing.
    F.View.SetAlignment(svaCenter);
    EXPECT_FALSE(F.View.HasHorzBar());
    QTest::keyClick(&F.View, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(F.View.HorzScroll(), 0);
    EXPECT_EQ(F.View.ItemIndex(), F.View.VisibleLines());
}

TEST(StringsViewWidget, MetricsOnlyGrowAndLabelWidthNeedsRoom) {
    TCountingStrings List(10);
    TViewFixture F(&List);
    QFont Big = F.View.font();
    Big.setPointSize(30);
    F.View.setFont(Big);
    const int Tall = F.View.LineHeight();
    QFont Small = Big;
    Small.setPointSize(6);
    F.View.setFont(Small);
    EXPECT_EQ(F.View.LineHeight(), Tall);
    F.View.SetShowLabels(true);
    EXPECT_FALSE(F.View.SetLabelWidth(F.View.viewport()->width()));
    EXPECT_FALSE(F.View.SetLabelWidth(0));
    EXPECT_TRUE(F.View.SetLabelWidth(40));
    EXPECT_FALSE(F.View.SetLabelWidth(40));
    EXPECT_EQ(F.View.ItemRect(0).left(), 42);
}

TEST(StringsViewWidget, ItemsAddedOnAWorkerThreadReachTheViewQueued) {
    TCountingStrings List(0);
    TViewFixture F(&List, false, false);
    EXPECT_EQ(F.View.BottomIndex(), -1);
    std::thread Worker([&] {
        for (int K = 1; K <= 50; ++K) {
            List.SetCount(K);
            F.View.ItemsChanged();
        }
    });
    Worker.join();
    QApplication::processEvents();
    EXPECT_EQ(F.View.BottomIndex(), std::min(49, F.View.VisibleLines()));
    EXPECT_EQ(F.View.verticalScrollBar()->maximum(), 49);
    // Lines removed: the top follows the list's end.
    F.View.SetTopIndex(40);
    List.SetCount(10);
    F.View.ItemsChanged();
    EXPECT_EQ(F.View.TopIndex(), 9);
}

TEST(StringsViewWidget, PaintsTheAnchorRunInItsColourAtTheCentreAndLabelsInTheirColumn) {
    TCountingStrings List(20);
    TStringsView View;
    View.resize(400, 200);
    View.SetEnableSelect(false);
    View.SetAlignment(svaCenter);
    View.OnFormatItem = [](TStringsView&, int Index, std::string& Text, TSVFormatArray& Format,
                           TSVLabelInfo& Label) {
        Text = std::string(size_t(Index % 5), 'a') + "left HIT right";
        TSVFormatInfo Hit;
        Hit.Start = int32_t(Text.find("HIT")) + 1;
        Hit.Length = 3;
        Hit.Anchor = 1;
        Hit.Font.Colour = 0x0000FF;  // red as COLORREF
        Format.push_back(Hit);
        Label.Text = std::to_string(Index + 1);
        Label.Font.Colour = 0xFF0000;  // blue
    };
    View.show();
    View.SetStrings(&List);
    View.SetShowLabels(true);
    ASSERT_TRUE(View.SetLabelWidth(40));
    const QImage Image = View.viewport()->grab().toImage();
    const int TextLeft = 42, Middle = TextLeft + (View.viewport()->width() - TextLeft) / 2;
    for (int Index : {0, 3}) {
        const QRect R = View.ItemRect(Index);
        int FirstRed = -1, FirstBlue = -1;
        for (int X = 0; X < Image.width(); ++X)
            for (int Y = R.top(); Y <= R.bottom(); ++Y) {
                const QColor C = Image.pixelColor(X, Y);
                if (FirstRed < 0 && C.red() > 200 && C.green() < 80 && C.blue() < 80) FirstRed = X;
                if (FirstBlue < 0 && C.blue() > 200 && C.red() < 80 && C.green() < 80) FirstBlue = X;
            }
        EXPECT_NEAR(FirstRed, Middle, 3) << "item " << Index;
        EXPECT_GE(FirstBlue, 0);
        EXPECT_LT(FirstBlue, 38);
    }
    // The separator of the label column runs down to the bottom.
    EXPECT_EQ(Image.pixel(38, Image.height() - 2), View.palette().color(QPalette::Mid).rgb());
}

TEST(StringsViewWidget, SelectedItemsArePaintedInTheSelectionColours) {
    TCountingStrings List(20);
    TViewFixture F(&List);
    F.View.setFocus();
    QApplication::processEvents();
    QTest::mouseClick(F.View.viewport(), Qt::LeftButton, Qt::ShiftModifier, F.PointOf(2));
    const QImage Image = F.View.viewport()->grab().toImage();
    const QPoint Inside(F.View.ItemRect(1).right() - 3, F.View.ItemRect(1).center().y());
    const QPoint Outside(F.View.ItemRect(5).right() - 3, F.View.ItemRect(5).center().y());
    EXPECT_NE(Image.pixelColor(Inside), Image.pixelColor(Outside));
    EXPECT_EQ(Image.pixelColor(Outside), F.View.palette().color(QPalette::Base));
}

// A popup menu opened on the view borrows the keyboard focus: that is neither leaving nor entering the
// view (the concordance window would blank the status line for every right click). Moving the focus
// to another control is.
TEST(StringsView, PopupMenuDoesNotLeaveTheView) {
    QWidget Window;
    auto* Layout = new QVBoxLayout(&Window);
    auto* View = new TStringsView;
    auto* Other = new QLineEdit;
    Layout->addWidget(View);
    Layout->addWidget(Other);
    std::vector<std::string> Log;
    View->OnEnter = [&Log](TStringsView&) { Log.push_back("enter"); };
    View->OnExit = [&Log](TStringsView&) { Log.push_back("exit"); };
    Window.show();
    QApplication::setActiveWindow(&Window);
    View->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(View->hasFocus());
    EXPECT_EQ(Log, std::vector<std::string>{"enter"});
    Log.clear();

    QMenu Menu;
    Menu.addAction("Display Info...");
    Menu.popup(View->mapToGlobal(QPoint(10, 10)));
    QApplication::processEvents();
    Menu.close();
    QApplication::processEvents();
    EXPECT_TRUE(Log.empty()) << Log.front();

    Other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(Log, std::vector<std::string>{"exit"});
}

// A wrapped line measures each character once per font and keeps the result: it is cut where measuring
// every character of it in its run's font cuts it, in the view's font and in a larger bold run, for
// characters of the code page's lower half and for those (the euro sign) beyond Latin-1.
TEST(StringsViewWidget, AWrappedLineIsCutAsMeasuringEachCharacterCutsIt) {
    std::string Long;
    for (int K = 0; Long.size() < 6000; ++K) Long += K % 5 == 0 ? "\x80uro-translation " : "word ";
    TCountingStrings List(20);
    TViewFixture F(&List);
    TSVFormatArray Runs(1);
    Runs[0].Start = 2000;
    Runs[0].Length = 2500;
    Runs[0].Font.Size = 20;
    Runs[0].Font.Style = 1;  // bold
    F.View.OnFormatItem = [&](TStringsView&, int Index, std::string& Text, TSVFormatArray& Format,
                              TSVLabelInfo&) {
        Text = Index == 1 ? Long : "item " + std::to_string(Index);
        if (Index == 1) Format = Runs;
    };
    TSVStringsArray Drawn;
    int DrawnWidth = 0;
    F.View.OnDrawItem = [&](TStringsView&, QPainter&, const QRect& Rect, int, int, const TSVFormatArray&,
                            int Index, int, const TSVStringsArray& Lines, const TSVDrawState&) {
        if (Index != 1) return;
        Drawn = Lines;
        DrawnWidth = Rect.width();
    };
    F.View.SetWordWrap(true);
    F.View.viewport()->repaint();
    ASSERT_GT(Drawn.size(), 20u);
    QFont Bold = F.View.font();
    Bold.setPointSize(20);
    Bold.setBold(true);
    const QFontMetrics Plain(F.View.font()), Large(Bold);
    const TSVMeasureFunc EachCharacter = [&](std::string_view Char, const TSVFontInfo* Font) -> TSVExtent {
        const QFontMetrics& M = Font ? Large : Plain;
        return {M.horizontalAdvance(
                    QString::fromStdU16String(platform::CodePageToUtf16(F.View.CodePage(), Char))),
                M.height()};
    };
    const TSVWrapResult Expected =
        SVWrapText(Long, Runs, DrawnWidth, F.View.LineHeight(), nullptr, EachCharacter);
    EXPECT_EQ(Drawn, Expected.Lines);
}

// An unwrapped line far longer than the view draws only what reaches the screen: at its start it shows
// as the same line cut short to a screenful does, and scrolled sideways far into it, text still fills
// the view from edge to edge.
TEST(StringsViewWidget, ALongUnwrappedLineShowsTheScreenfulItReaches) {
    std::string Long;
    for (int K = 0; Long.size() < 200'000; ++K) Long += "w" + std::to_string(K) + " ";
    TCountingStrings List(3);
    TStringsView View;
    View.resize(400, 120);
    View.SetEnableSelect(false);
    size_t Bytes = Long.size();
    View.OnFormatItem = [&](TStringsView&, int Index, std::string& Text, TSVFormatArray&, TSVLabelInfo&) {
        Text = Index == 1 ? Long.substr(0, Bytes) : "item";
    };
    View.show();
    View.SetStrings(&List);
    View.viewport()->repaint();
    const QImage Whole = View.viewport()->grab().toImage();
    Bytes = 300;
    View.UpdateView();
    EXPECT_EQ(Whole, View.viewport()->grab().toImage());

    Bytes = Long.size();
    View.UpdateView();
    View.viewport()->repaint();
    View.horizontalScrollBar()->setSliderPosition(20'000);
    ASSERT_EQ(View.horizontalScrollBar()->value(), 20'000);
    const QImage Far = View.viewport()->grab().toImage();
    const QRect Row = View.ItemRect(1);
    auto Inked = [&](int From, int To) {
        for (int X = From; X < To; ++X)
            for (int Y = Row.top(); Y <= Row.bottom(); ++Y)
                if (Far.pixelColor(X, Y).lightness() < 100) return true;
        return false;
    };
    const int W = Far.width();
    EXPECT_TRUE(Inked(0, 20));
    EXPECT_TRUE(Inked(W / 2 - 10, W / 2 + 10));
    EXPECT_TRUE(Inked(W - 20, W));
}
