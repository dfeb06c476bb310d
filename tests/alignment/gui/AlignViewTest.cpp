// The alignment windows on a processed corpus: opening both from the corpus aligner's "Fix", the
// Sections window driving the view by mouse and keyboard, edits from the popup with their undo, the
// question before an alignment is destroyed, scrolling keys, and the messages that renumber or close.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <filesystem>
#include <random>

#include "alignment/ConcAlignView.h"
#include "alignment/ConcAligner.h"
#include "alignment/ConcSectionAlign.h"
#include "controls/LangText.h"
#include "controls/Splitter.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// Delivers broadcasts to the MDI children as the main window does, and tells the client size.
class TAreaMessenger : public TRecordingMessenger {
public:
    explicit TAreaMessenger(QMdiArea& Area) {
        OnBroadcast = [&Area](int Msg, intptr_t WParam, intptr_t LParam) {
            for (QMdiSubWindow* Sub : Area.subWindowList(QMdiArea::StackingOrder))
                if (auto* R = dynamic_cast<TAppMessageReceiver*>(Sub->widget()); R && !R->IsClosing())
                    R->HandleAppMessage(Msg, WParam, LParam);
        };
        OnSend = [&Area](int Msg, intptr_t, intptr_t) -> intptr_t {
            return Msg == CM_GETCLIENTSIZE ? (intptr_t(Area.width()) << 16) | Area.height() : 0;
        };
    }
};

std::string Bytes(const TAlignIndex* Index) {
    TMemoryStream Stream;
    Index->SaveToStream(Stream);
    return Stream.Bytes();
}

// One paragraph per line; the sections are cut by hand after the corpus pass, by paragraph counts.
std::string Paragraphs(const std::string& Word, int Count) {
    std::string Text;
    for (int K = 0; K < Count; ++K)
        Text += Word + " number " + std::to_string(K + 1) + " opens. It closes " + Word + " " +
                std::to_string(K + 1) + ".\n";
    return Text;
}

// Words and blanks, no sentence end and no line break, Bytes bytes in all.
std::string LongLine(size_t Bytes) {
    static const char* const Words[] = {"the", "corpus", "aligned", "sentence", "of", "translation", "a"};
    std::mt19937 Rng(3);
    std::string Text;
    while (Text.size() < Bytes) (Text += Words[Rng() % 7]) += ' ';
    Text.resize(Bytes);
    return Text;
}

class AlignViewTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        Area.resize(900, 640);
        Area.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Area));
        RegisterAlignmentView(&Area);
    }
    void TearDown() override {
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
        AlignViewHooks = {};
        SetAlignWindowsArea(nullptr);
        TCorpusTest::TearDown();
    }

    // Two languages, English and German, with one file each, one paragraph per line, processed.
    void MakeFilePair(const std::string& Source, const std::string& Target) {
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& C = Lang(L);
            C.HeadingFormat = 3;
            C.ParagraphFormat = 1;
            C.SentenceFormat = 1;
            File = AddFile(L, L == 0 ? "Source.txt" : "Target.txt", L == 0 ? Source : Target);
        }
        LanguageConfigs[1]->SetLanguage(1033, "German");
        LanguageConfigs[0]->SetLanguage(1033, "English");
        ASSERT_TRUE(ProcessCorpus());
    }

    // Two languages with one file each, Shape1 and Shape2 paragraphs per section.
    void MakeCorpus(const std::vector<int>& Shape1, const std::vector<int>& Shape2) {
        int Total[2] = {0, 0};
        for (int P : Shape1) Total[0] += P;
        for (int P : Shape2) Total[1] += P;
        MakeFilePair(Paragraphs("alpha", Total[0]), Paragraphs("beta", Total[1]));
        if (HasFatalFailure()) return;
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& C = *LanguageConfigs[L];
            const TAlignIndex& Paras = *C.ParagraphIndexes.GetItem(File);
            auto Sections = std::make_unique<TAlignIndex>();
            int32_t First = 0;
            for (int P : L == 0 ? Shape1 : Shape2) {
                const TSegment A = Paras.GetItem(First), B = Paras.GetItem(First + P - 1);
                int32_t Length = 0;
                for (int32_t K = First; K < First + P; ++K) Length += Paras.GetItem(K).Length;
                Sections->Add(A.Start, B.End, Length);
                First += P;
            }
            C.SectionIndexes.SetItem(File, std::move(Sections));
        }
    }

    void CloseWindows() {
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

    TAlignViewForm* View() const { return AlignViewForm(); }
    TAlignBox* Box() const { return View()->Box(); }
    TAlignIndex* Paras(int L) const { return LanguageConfigs[L]->ParagraphIndexes.GetItem(0); }
    TAlignIndex* Sents(int L) const { return LanguageConfigs[L]->SentenceIndexes.GetItem(0); }

    // Presses the left button at Point of the box's viewport, found through the area's hit-testing.
    void ClickInBox(QPoint Point, Qt::MouseButton Button = Qt::LeftButton) {
        QWidget* Top = Area.window();
        const QPoint At = Box()->viewport()->mapTo(Top, Point);
        QWidget* Hit = Top->childAt(At);
        ASSERT_EQ(Hit, Box()->viewport()) << "something lies over the box at that point";
        QTest::mouseClick(Hit, Button, {}, Hit->mapFrom(Top, At));
    }
    // A point on the K-th byte-sized cell of the first line of Row in pane Side, as last painted.
    QPoint PointInRow(int Side, int Row, int Dx) {
        QApplication::processEvents();
        Box()->viewport()->repaint();
        const QRect R = Box()->RowRect(Row);
        return QPoint(Box()->PaneRect(Side).left() + Dx, R.top() + 3);
    }
    // Runs a popup command as opened over Point.
    void Popup(QPoint Point, const char* Item) {
        QMenu* Menu = View()->PreparePopup(Point);
        QAction* A = View()->PopupAction(Item);
        ASSERT_NE(A, nullptr);
        ASSERT_TRUE(Menu->actions().contains(A));
        ASSERT_TRUE(A->isEnabled()) << Item;
        A->trigger();
    }

    QMdiArea Area;
    int File = 0;
};

}  // namespace

TEST_F(AlignViewTest, FixOpensBothWindowsAndAutoAlignRepairsTheCorpus) {
    MakeCorpus({2, 4}, {2, 3});
    TAreaMessenger Messenger(Area);
    SetAlignErrorDialog([](auto&&...) { return 1; });  // "Fix"
    AlignCorpus();
    SetAlignErrorDialog(nullptr);
    ASSERT_NE(View(), nullptr);
    ASSERT_NE(SectionsAlignForm(), nullptr);
    EXPECT_TRUE(AlignmentWindowsOpen());
    EXPECT_EQ(View()->windowTitle(), "Alignment English - German (Source.txt - Target.txt): Paragraphs");
    EXPECT_EQ(View()->Section(), 1);
    EXPECT_EQ(Box()->TopRow(), 2);  // the last paragraph both sides have
    EXPECT_EQ(Box()->RowCount(), 4);
    EXPECT_EQ(SectionsAlignForm()->CurrentSection(), 1);
    EXPECT_EQ(SectionsAlignForm()->Sections()->count(), 2);

    Popup(PointInRow(0, 2, 3), "ParaAutoAlignItem");
    EXPECT_EQ(Box()->RowCount(0), Box()->RowCount(1));
    ASSERT_TRUE(AlignViewHooks.FileAligned);
    AlignCorpus();
    ASSERT_TRUE(Align12 && Align12->GetItem(0));
    // The view showing the file switched to its aligned sentences.
    EXPECT_EQ(View()->ViewMode(), 1);
    EXPECT_TRUE(View()->AlignedSentencesAction()->isChecked());
    EXPECT_EQ(View()->windowTitle(), "Alignment English - German (Source.txt - Target.txt): Segments");
    EXPECT_FALSE(View()->PopupAction("SplitSectItem")->isVisible());
}

TEST_F(AlignViewTest, TheSectionsWindowDrivesTheViewByKeyboardAndMouse) {
    MakeCorpus({2, 2, 1}, {2, 3});
    TAreaMessenger Messenger(Area);
    OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
    TConcSectionsAlignForm* Sections = SectionsAlignForm();
    ASSERT_NE(Sections, nullptr);
    EXPECT_EQ(Sections->Sections()->count(), 3);
    EXPECT_EQ(Sections->LanguageLabel(0)->text(), "Language: English");
    EXPECT_EQ(Sections->FileLabel(1)->text(), "File: target.txt");
    // A click on the panel shows the whole path, another the name again.
    QTest::mouseClick(Sections->FileLabel(1), Qt::LeftButton);
    EXPECT_TRUE(Sections->FileLabel(1)->text().endsWith("/target.txt"));
    EXPECT_GT(Sections->FileLabel(1)->text().size(), QString("File: target.txt").size());
    QTest::mouseClick(Sections->LanguagePanel(1), Qt::LeftButton);
    EXPECT_EQ(Sections->FileLabel(1)->text(), "File: target.txt");

    // The keyboard moves the selection, and the view follows.
    Sections->Sections()->setFocus();
    QTest::keyClick(Sections->Sections()->viewport(), Qt::Key_Down);
    EXPECT_EQ(View()->Section(), 1);
    EXPECT_EQ(Box()->RowCount(), 3);
    // The third section exists only on the left: the view closes, and a section both have opens it again.
    QTest::keyClick(Sections->Sections()->viewport(), Qt::Key_Down);
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(View(), nullptr);
    const QRect Row0 = Sections->Sections()->visualItemRect(Sections->Sections()->item(0));
    QTest::mouseDClick(Sections->Sections()->viewport(), Qt::LeftButton, {}, Row0.center());
    ASSERT_NE(View(), nullptr);
    EXPECT_EQ(View()->Section(), 0);
    // Closing the Sections window closes the view.
    Sections->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_FALSE(AlignmentWindowsOpen());
}

TEST_F(AlignViewTest, PopupEditsWithUndoAndTheQuestionBeforeAnAlignmentIsLost) {
    MakeCorpus({3}, {3});
    TAreaMessenger Messenger(Area);
    AlignCorpus();
    ASSERT_TRUE(Align12->GetItem(0));
    OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
    ASSERT_NE(View(), nullptr);
    // Opened at row 0 the Sections window lies over the view; the user brings the view forward.
    Area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(View()->parentWidget()));
    EXPECT_TRUE(View()->AlignedSentencesAction()->isEnabled());
    const std::string Before = Bytes(Paras(0)) + Bytes(Sents(0));
    // The caret on the "t" of "It", the second sentence of the first paragraph, on the row's second line.
    const std::string First = "alpha number 1 opens. It";
    const QPoint OnIt = PointInRow(0, 0, QFontMetrics(AlignLanguageFont(0)).horizontalAdvance("I") + 1) +
                        QPoint(0, LanguageLineHeight(0));
    ClickInBox(OnIt);
    EXPECT_EQ(Box()->Caret(0).Row, 0);
    EXPECT_EQ(Box()->Caret(0).Pos, int32_t(First.size()) - 1);
    // Splitting the paragraph asks first: No leaves everything, Yes drops the alignment.
    Backend.Answers = {mrNo};
    Popup(OnIt, "LargeSplitItem");
    EXPECT_EQ(Bytes(Paras(0)) + Bytes(Sents(0)), Before);
    Backend.Answers = {mrYes};
    Popup(OnIt, "LargeSplitItem");
    EXPECT_EQ(Backend.Messages.size(), 2u);
    EXPECT_FALSE(Align12->GetItem(0));
    EXPECT_FALSE(View()->AlignedSentencesAction()->isEnabled());
    EXPECT_EQ(Box()->RowCount(0), 4);
    EXPECT_EQ(Paras(0)->Count(), 4);
    // The next edit does not ask again; Ctrl+Z takes both back, byte for byte.
    Popup(PointInRow(0, 2, 3), "InsertEmptyItem");
    EXPECT_EQ(Backend.Messages.size(), 2u);
    EXPECT_EQ(Box()->RowCount(0), 5);
    Box()->setFocus();
    QTest::keyClick(Box(), Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(Box(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Bytes(Paras(0)) + Bytes(Sents(0)), Before);
    EXPECT_FALSE(View()->PopupAction("UndoItem")->isEnabled());
    // Captions name the units of the mode; over neither pane nothing but Undo and the automatic
    // alignment applies.
    QMenu* Menu = View()->PreparePopup(QPoint(1, 1));
    EXPECT_EQ(View()->PopupLanguage(), -1);
    EXPECT_EQ(View()->PopupAction("SmallSplitItem")->text(), "Split Sentence");
    EXPECT_EQ(View()->PopupAction("LargeMergePrevItem")->text(), "Merge with Previous Paragraph");
    EXPECT_EQ(View()->PopupAction("InsertEmptyItem")->text(), "Insert Empty Paragraph");
    EXPECT_FALSE(View()->PopupAction("LargeSplitItem")->isEnabled());
    (void)Menu;
}

TEST_F(AlignViewTest, KeysScrollTheRowsAndTheSplitterKeepsItsShare) {
    MakeCorpus({60}, {60});
    TAreaMessenger Messenger(Area);
    OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
    ASSERT_NE(View(), nullptr);
    Box()->setFocus();
    Box()->viewport()->repaint();
    EXPECT_EQ(Box()->TopRow(), 0);
    QTest::keyClick(Box(), Qt::Key_Down);
    EXPECT_TRUE(Box()->TopRow() == 1 || Box()->TopLine() == 1);
    EXPECT_TRUE(Box()->hasFocus());  // the arrows stay with the box
    QTest::keyClick(Box(), Qt::Key_End);
    Box()->viewport()->repaint();
    EXPECT_EQ(Box()->LastRowDrawn(), 59);
    const int EndTop = Box()->TopRow();
    QTest::keyClick(Box(), Qt::Key_Down);
    EXPECT_EQ(Box()->TopRow(), EndTop);  // the last row is drawn to its end already
    QTest::keyClick(Box(), Qt::Key_Home);
    Box()->viewport()->repaint();
    const int LastOnFirstPage = Box()->LastRowDrawn();
    EXPECT_EQ(Box()->verticalScrollBar()->value(), 0);
    QTest::keyClick(Box(), Qt::Key_PageDown);
    EXPECT_EQ(Box()->TopRow(), LastOnFirstPage);
    // The scroll bar follows the text position at the top.
    EXPECT_EQ(Box()->verticalScrollBar()->value(), Paras(0)->GetItem(LastOnFirstPage).Start);
    QTest::keyClick(Box(), Qt::Key_PageUp);
    EXPECT_LT(Box()->TopRow(), LastOnFirstPage);
    // Dragging the thumb to a paragraph's text shows that paragraph at the top.
    Box()->verticalScrollBar()->setSliderPosition(Paras(0)->GetItem(30).Start + 2);
    EXPECT_EQ(Box()->TopRow(), 30);
    // Wider, the splitter keeps its share of the width.
    const double Share = double(Box()->Splitter()->x()) / Box()->viewport()->width();
    QWidget* Frame = View()->parentWidget();
    Frame->resize(Frame->width() + 200, Frame->height());
    QApplication::processEvents();
    EXPECT_NEAR(double(Box()->Splitter()->x()) / Box()->viewport()->width(), Share, 0.02);
}

TEST_F(AlignViewTest, MessagesRenumberOrCloseTheWindows) {
    // Two other files come first in both languages; the windows show the third.
    for (int L = 0; L < 2; ++L)
        for (int F = 0; F < 2; ++F) AddFile(L, "other" + std::to_string(F) + ".txt", Paragraphs("gamma", 2));
    MakeCorpus({2}, {2});
    TAreaMessenger Messenger(Area);
    OpenAlignmentWindows(1, 0, 1, 0, 0, 2);
    ASSERT_NE(View(), nullptr);
    EXPECT_EQ(View()->windowTitle(), "Alignment English - German (Source.txt - Target.txt): Paragraphs");
    const int Rows = Box()->RowCount();
    // The first file goes from both languages: one lower index, the same text.
    for (int L = 0; L < 2; ++L) {
        LanguageConfigs[L]->RemoveFile(0);
        BroadcastToChildren(CM_DROPFILE, L, 0);
    }
    EXPECT_EQ(View()->File(), 1);
    EXPECT_EQ(SectionsAlignForm()->File(), 1);
    // Two files change places in the source language.
    for (int L = 0; L < 2; ++L) LanguageConfigs[L]->ExchangeFiles(0, 1);
    TFilePair Pair{0, 1};
    BroadcastToChildren(CM_FILESEXCHANGED, 0, reinterpret_cast<intptr_t>(&Pair));
    EXPECT_EQ(View()->File(), 0);
    Box()->Reload(-1);
    Box()->viewport()->repaint();
    EXPECT_EQ(Box()->RowCount(), Rows);
    EXPECT_EQ(View()->windowTitle(), "Alignment English - German (Source.txt - Target.txt): Paragraphs");
    // Other languages' segment indexes going do not matter; these languages' do.
    BroadcastToChildren(CM_SEGMENTINDEXDROPPED, 2, 0);
    EXPECT_TRUE(View() && !View()->Closing());
    BroadcastToChildren(CM_SEGMENTINDEXDROPPED, 1, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    EXPECT_FALSE(AlignmentWindowsOpen());
}

namespace {

// The viewport painted over Old, as the window system keeps a widget that paints all of itself: only
// what the paint covers changes.
QImage RepaintedOver(QWidget* Viewport, const QImage& Old) {
    QImage Image = Old;
    Viewport->render(&Image, QPoint(), QRegion(), QWidget::DrawChildren);
    return Image;
}

// The pixels of Rect in Image that are not Colour.
int PixelsOtherThan(const QImage& Image, const QRect& Rect, QColor Colour) {
    int Count = 0;
    for (int Y = Rect.top(); Y <= Rect.bottom(); ++Y)
        for (int X = Rect.left(); X <= Rect.right(); ++X)
            if (Image.pixelColor(X, Y) != Colour) ++Count;
    return Count;
}

}  // namespace

// An empty row is painted whole: after "Insert Empty Paragraph" nothing of the text that stood there
// before shows through, and the rows the edit touched stay in view, at the top of the section as
// anywhere else.
TEST_F(AlignViewTest, InsertedRowsArePaintedWholeAndStayInView) {
    MakeCorpus({12}, {12});
    TAreaMessenger Messenger(Area);
    OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
    ASSERT_NE(View(), nullptr);
    Area.setActiveSubWindow(qobject_cast<QMdiSubWindow*>(View()->parentWidget()));
    QWidget* Viewport = Box()->viewport();
    const QColor Base = Viewport->palette().color(QPalette::Base);

    // At the section's first row: the new empty row opens there and is shown, blank.
    const QPoint OnFirst = PointInRow(0, 0, 3);
    ClickInBox(OnFirst);
    const QImage Before = Viewport->grab().toImage();
    ASSERT_GT(PixelsOtherThan(Before, Box()->RowRect(0) & Box()->PaneRect(0), Base), 0);
    Popup(OnFirst, "InsertEmptyItem");
    EXPECT_EQ(Box()->TopRow(), 0);
    EXPECT_EQ(Box()->TopLine(), 0);
    EXPECT_EQ(Box()->Caret(0).Row, 1);
    const QImage After = RepaintedOver(Viewport, Before);
    QRect Empty = Box()->RowRect(0) & Box()->PaneRect(0);
    ASSERT_FALSE(Empty.isEmpty());
    Empty.setBottom(Empty.bottom() - 1);  // the line under the row
    EXPECT_EQ(PixelsOtherThan(After, Empty, Base), 0);
    EXPECT_EQ(Paras(0)->GetItem(0).Length, 0);

    // At the top row further down: the view keeps that row at the top, with the new row in it.
    Box()->setFocus();
    for (int K = 0; K < 40 && Box()->TopRow() < 3; ++K) QTest::keyClick(Box(), Qt::Key_Down);
    ASSERT_EQ(Box()->TopLine(), 0);
    const int Top = Box()->TopRow();
    const QPoint OnTop = PointInRow(1, Top, 3);
    ClickInBox(OnTop);
    Popup(OnTop, "InsertEmptyItem");
    EXPECT_EQ(Box()->TopRow(), Top);
    EXPECT_EQ(Box()->Caret(1).Row, Top + 1);
    Viewport->repaint();
    EXPECT_FALSE(Box()->RowRect(Box()->Caret(1).Row).isNull());
}

// The first alignment windows, frames and all, fit the window area side by side: the view's last row
// and scroll arrow are not hidden under the area's edge, and the Sections window does not lie over the
// view's first column. In an area too narrow for both, they still stay inside it.
TEST_F(AlignViewTest, TheFirstWindowsStandSideBySideInsideTheArea) {
    std::filesystem::remove(GetIniFileName());  // no placement of earlier windows
    MakeCorpus({3}, {3});
    TAreaMessenger Messenger(Area);
    Messenger.OnSend = [this](int Msg, intptr_t, intptr_t) -> intptr_t {
        const QSize Room = Area.viewport()->size();
        return Msg == CM_GETCLIENTSIZE ? (intptr_t(Room.width()) << 16) | Room.height() : 0;
    };
    for (int Width : {900, 260}) {
        Area.resize(Width, 640);
        QApplication::processEvents();
        OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
        ASSERT_NE(View(), nullptr);
        ASSERT_NE(SectionsAlignForm(), nullptr);
        const QRect ViewFrame = View()->parentWidget()->geometry();
        const QRect SectionsFrame = SectionsAlignForm()->parentWidget()->geometry();
        const QRect Room(QPoint(0, 0), Area.viewport()->size());
        EXPECT_TRUE(Room.contains(ViewFrame)) << Width << ": " << ViewFrame.right() << " " << Room.right();
        EXPECT_TRUE(Room.contains(SectionsFrame)) << Width;
        if (Width == 900) {
            EXPECT_FALSE(ViewFrame.intersects(SectionsFrame));
            EXPECT_LT(SectionsFrame.right(), ViewFrame.left());
            // The row of the first section is clicked through the area, where the view does not cover it.
            QListWidget* List = SectionsAlignForm()->Sections();
            const QPoint At = List->viewport()->mapTo(Area.window(), QPoint(3, 3));
            EXPECT_EQ(Area.window()->childAt(At), List->viewport());
        }
        CloseWindows();
    }
}

// No pixel of the view is left to what was there before it painted: the splitter's strip, wider than
// its bar, is filled too, so that nothing painted there before the splitter moved shows beside the bar.
TEST_F(AlignViewTest, EveryPixelOfTheViewIsPaintedAfterTheSplitterMoved) {
    MakeCorpus({12}, {12});
    TAreaMessenger Messenger(Area);
    OpenAlignmentWindows(1, 0, 1, 0, 0, 0);
    ASSERT_NE(View(), nullptr);
    QWidget* Frame = View()->parentWidget();
    Frame->resize(Frame->width() - 90, Frame->height());
    QApplication::processEvents();
    QWidget* Viewport = Box()->viewport();
    QImage Stale(Viewport->size(), QImage::Format_RGB32);
    Stale.fill(QColor(0x12, 0x34, 0x56));
    const QImage Painted = RepaintedOver(Viewport, Stale);
    EXPECT_EQ(PixelsOtherThan(Painted, Painted.rect(), QColor(0x12, 0x34, 0x56)),
              Painted.width() * Painted.height());
}

// The wrap's measure of a line, started from the widths of single characters, cuts every line where a
// plain search of the longest prefix that fits cuts it, for a one-byte and a double-byte language.
TEST_F(AlignViewTest, LinesAreCutWhereTheLongestFittingPrefixEnds) {
    Lang(1).SetLanguage(1041, "Japanese");
    std::mt19937 Rng(9);
    for (int Language = 0; Language < 2; ++Language) {
        const QFontMetrics Metrics(AlignLanguageFont(Language));
        const platform::TCodePageTables& Tables = platform::CodePageTables(LanguageCodePage(Language));
        ASSERT_EQ(Tables.DoubleByte, Language == 1);
        for (int Round = 0; Round < 60; ++Round) {
            std::string Text;
            const int Length = int(Rng() % 300);
            for (int K = 0; K < Length; ++K) {
                const int Kind = int(Rng() % 10);
                if (Kind < 2) {
                    Text += ' ';
                } else if (Language == 1 && Kind < 4) {
                    Text += char(0x82);  // a double-byte hiragana
                    Text += char(0xA0 + Rng() % 0x40);
                } else {
                    Text += "aWi.1m,lA"[Rng() % 9];
                }
            }
            const int Width = 1 + int(Rng() % 220);
            // The longest prefix that fits, ending on a character boundary, found by trying each.
            const TFitCount Plain = [&](std::string_view Rest) {
                int Best = 0;
                for (size_t N = 0; N < Rest.size();) {
                    N +=
                        Tables.DoubleByte && Tables.LeadByte[uint8_t(Rest[N])] && N + 1 < Rest.size() ? 2 : 1;
                    if (Metrics.horizontalAdvance(LangToQString(Rest.substr(0, N), Language)) > Width) break;
                    Best = int(N);
                }
                return Best;
            };
            ASSERT_EQ(WrapTextToWidth(Text, Width, Language),
                      WrapLines(Text, Plain, AlignNonWordSet(Language)))
                << Language << " " << Width << " " << Text;
        }
    }
}

// A unit of 200 KB on one line: in both modes both windows open, paint and take a click in each pane and
// in the Sections window while measuring about as much text as they show; the view's lines are those of
// the whole unit wrapped at once, and the thumb at the unit's end shows its last line at the top.
TEST_F(AlignViewTest, ALongUnitIsWrappedOnlyAsFarAsItIsShown) {
    // The source's first paragraph is the long line; then both files have short ones.
    const std::string Long = LongLine(200 * 1024);
    MakeFilePair(Long + "\n" + Paragraphs("alpha", 5), Paragraphs("beta", 6));
    TAreaMessenger Messenger(Area);
    const int32_t Start = Paras(0)->GetItem(0).Start;
    for (uint8_t Mode = 0; Mode < 2; ++Mode) {
        if (Mode == 1) {
            AlignCorpus();
            ASSERT_TRUE(Align12 && Align12->GetItem(File));
        }
        const int64_t Before = AlignTextMeasured();
        OpenAlignmentWindows(Mode == 0 ? 1 : 0, 0, 1, 0, 0, File);
        ASSERT_NE(View(), nullptr);
        ASSERT_EQ(View()->ViewMode(), Mode);
        QListWidget* List = SectionsAlignForm()->Sections();
        QApplication::processEvents();
        Box()->viewport()->repaint();
        List->viewport()->repaint();
        // On the third line of the long unit, at its first byte; then in the other pane and on the
        // Sections window's row.
        const int Lh = LanguageLineHeight(0);
        ClickInBox(QPoint(Box()->PaneRect(0).left() + 1, Box()->RowRect(0).top() + 2 * Lh + Lh / 2));
        ClickInBox(Box()->PaneRect(1).topLeft() + QPoint(3, 3));
        const QPoint OnRow =
            List->viewport()->mapTo(Area.window(), List->visualItemRect(List->item(0)).center());
        ASSERT_EQ(Area.window()->childAt(OnRow), List->viewport());
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {},
                          List->viewport()->mapFrom(Area.window(), OnRow));
        List->viewport()->repaint();
        Box()->viewport()->repaint();
        const int64_t Measured = AlignTextMeasured() - Before;
        // What the two windows can show at once, in characters of average width.
        const QFontMetrics Metrics(AlignLanguageFont(0));
        const int64_t Screen = (int64_t(Box()->viewport()->width()) * Box()->viewport()->height() +
                                int64_t(List->viewport()->width()) * List->viewport()->height()) /
                               (std::max(1, Metrics.averageCharWidth()) * Lh);
        EXPECT_LE(Measured, 20 * Screen) << "mode " << int(Mode);

        const std::vector<std::string> Lines = WrapTextToWidth(Long, Box()->PaneRect(0).width() - 1, 0);
        ASSERT_GT(Lines.size(), 100u);
        EXPECT_EQ(Box()->Caret(0).Row, 0);
        EXPECT_EQ(Box()->Caret(0).Pos, Start + int32_t(Lines[0].size() + Lines[1].size()));
        EXPECT_EQ(Box()->Caret(1).Row, 0);
        EXPECT_EQ(SectionsAlignForm()->CurrentSection(), 0);
        Box()->verticalScrollBar()->setSliderPosition(Start + int32_t(Long.size()) - 1);
        EXPECT_EQ(Box()->TopRow(), 0);
        EXPECT_EQ(Box()->TopLine(), int(Lines.size()) - 1);
        CloseWindows();
    }
}
