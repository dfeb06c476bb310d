// The collocation window, advanced collocation and word-list printing over a search of a small
// two-language corpus written here, shown in an MDI area as the main window shows them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <random>

#include "controls/FileDialogs.h"
#include "controls/PrintDialogs.h"
#include "controls/ScriptedBackend.h"
#include "results/ConcAdvCollocation.h"
#include "results/ConcCollocation.h"
#include "results/ConcFreqOutOptions.h"
#include "results/ConcTessivor.h"
#include "results/ConcWordListForm.h"
#include "tests/support/ConcordanceTestSupport.h"
#include "tests/support/DialogChecks.h"
#include "tests/support/PdfText.h"
#include "tests/support/TestSupport.h"
#include "ui/ConcProgress.h"

namespace {

using dialogchecks::ClickThroughWindow;

class CollocationTest : public TConcordanceWindowTest {
protected:
    void SetUp() override {
        TConcordanceWindowTest::SetUp();
        for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
        OpenConcordance({1000, 700});
        ASSERT_NE(Concordance, nullptr);
        Messenger.OnBroadcast = [this](int Msg, intptr_t WParam, intptr_t LParam) {
            const QList<QMdiSubWindow*> Subs = Area->subWindowList();
            for (auto It = Subs.rbegin(); It != Subs.rend(); ++It) {
                auto* Form = qobject_cast<TAppMessageForm*>((*It)->widget());
                if (Form && !Form->IsClosing()) Form->HandleAppMessage(Msg, WParam, LParam);
            }
        };
    }
    void TearDown() override {
        // A sub-window being deleted is no longer one when its form broadcasts from its destructor.
        Messenger.OnBroadcast = nullptr;
        SetPrintDialog(nullptr);
        SetPrintSetupDialog(nullptr);
        SetFileDialog(nullptr);
        TConcordanceWindowTest::TearDown();
    }
    void ActivateConcordance() {
        Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
    }
    // The count and word of every row at the position whose word column is Col.
    static std::vector<std::string> Column(QTreeWidget* List, int Col) {
        std::vector<std::string> Cells;
        for (int R = 0; R < List->topLevelItemCount(); ++R)
            Cells.push_back((List->topLevelItem(R)->text(Col - 1) + " " + List->topLevelItem(R)->text(Col))
                                .toStdString());
        return Cells;
    }
    bool Open(QWidget* Form) {
        QApplication::processEvents();
        for (QMdiSubWindow* Sub : Area->subWindowList())
            if (Sub->widget() == Form && Sub->isVisible()) return true;
        return false;
    }

    TRecordingMessenger Messenger;
};

}  // namespace

TEST_F(CollocationTest, CollocatesByPositionFollowTheirConcordanceWindowAndSettings) {
    FrequencyConfigs[0].MaximumLines = 3;
    ActivateConcordance();
    TCollocationForm* Form = ShowCollocation(Area, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Form->windowTitle(), "Frequency Statistics - English - [the]");
    QTreeWidget* List = Form->List(0);
    ASSERT_NE(List, nullptr);
    ASSERT_EQ(List->columnCount(), 12);  // span 2: 2-Left .. 2-Right
    EXPECT_EQ(List->headerItem()->text(8), "1-Right");
    EXPECT_TRUE(List->isColumnHidden(6));
    // At most MaximumLines rows; equal counts by word.
    EXPECT_EQ(Column(List, 8), (std::vector<std::string>{"2 cat", "2 dog", "1 bird"}));
    EXPECT_EQ(Column(List, 11), (std::vector<std::string>{"3 ran", "2 sat", "1 flew"}));
    EXPECT_GT(List->columnWidth(8), 0);
    EXPECT_LE(List->geometry().right(), Form->width());

    // Copying with no row selected copies the whole list, not nothing.
    QApplication::clipboard()->clear();
    List->clearSelection();
    Form->CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text().count("\r\n"), 3);

    // Copying: one selected row copies every row, the never-seen cells included.
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {},
                      List->visualItemRect(List->topLevelItem(0)).center());
    Form->CopyToClipboard();
    const QString Copied = QApplication::clipboard()->text();
    EXPECT_EQ(Copied.count("\r\n"), 3);
    EXPECT_TRUE(Copied.contains("\t\t2\tcat\t\t3\tran\r\n")) << Copied.toStdString();

    // Asked again it comes to the front; another language or another concordance window is another one.
    ActivateConcordance();
    EXPECT_EQ(ShowCollocation(Area, 0), Form);
    EXPECT_EQ(Area->activeSubWindow()->widget(), Form);
    ActivateConcordance();
    TCollocationForm* Both = ShowCollocation(Area, -1);
    ASSERT_NE(Both, nullptr);
    ASSERT_NE(Both, Form);
    EXPECT_EQ(Both->windowTitle(), "Frequency Statistics - All");
    EXPECT_FALSE(Both->Stacked());
    ASSERT_NE(Both->Label(1), nullptr);
    EXPECT_TRUE(Both->Label(1)->text().startsWith("French - ["));
    ASSERT_NE(Both->List(1), nullptr);
    EXPECT_EQ(Column(Both->List(0), 8), Column(List, 8));

    // Maximum lines and highlighting leave the windows; a span change of French closes the window of all
    // languages only; the concordance window's going closes both.
    for (int Kind : {1, 3}) BroadcastToChildren(CM_COLLOCSETTINGSCHANGED, 0, Kind);
    BroadcastToChildren(CM_COLLOCSETTINGSCHANGED, 1, 2);
    EXPECT_TRUE(Open(Form));
    EXPECT_FALSE(Open(Both));
    BroadcastToChildren(CM_CONCORDCLOSED, reinterpret_cast<intptr_t>(Form), 0);
    EXPECT_TRUE(Open(Form));
    delete Concordance.data();
    EXPECT_FALSE(Open(Form));
}

namespace {

// Per context position of the span, how often each word stands there in the lines List holds now.
std::map<int, std::map<std::string, int>> CountedByHand(const TConcordItems& List, int Lo, int Hi) {
    std::map<int, std::map<std::string, int>> Counts;
    for (int32_t Row = 0; Row < List.Count(); ++Row) {
        const TConcordItem* Item = List.FindItem(Row);
        if (!Item || !Item->IsFilled()) continue;
        for (int P = Lo; P <= Hi; ++P)
            if (Item->Texts.Has(P)) ++Counts[P][std::string(Item->Texts[P])];
    }
    return Counts;
}

// The same as the collocation window lists them.
std::map<int, std::map<std::string, int>> CountedByWindow(QTreeWidget* Tree, int Lo, int Hi) {
    std::map<int, std::map<std::string, int>> Counts;
    for (int R = 0; R < Tree->topLevelItemCount(); ++R)
        for (int P = Lo; P <= Hi; ++P) {
            const QString Word = Tree->topLevelItem(R)->text(3 * (P - Lo) + 2);
            if (!Word.isEmpty())
                Counts[P][Word.toStdString()] = Tree->topLevelItem(R)->text(3 * (P - Lo) + 1).toInt();
        }
    return Counts;
}

}  // namespace

// Deleted lines, a search within the lines of a pane and shading turned off or on between them: every
// count the collocation window shows afterwards is that of the lines the concordance window shows.
TEST_F(CollocationTest, CollocateCountsAreThoseOfTheLinesShownAfterDeletesAndSearchesWithin) {
    std::mt19937 Random(67);
    auto Check = [&](const char* After) {
        ActivateConcordance();
        TCollocationForm* Form = ShowCollocation(Area, -1);
        ASSERT_NE(Form, nullptr) << After;
        for (int L = 0; L < 2; ++L)
            EXPECT_EQ(CountedByWindow(Form->List(L), 3, 6),
                      CountedByHand(*Concordance->Lists[size_t(L)], 3, 6))
                << After << ", language " << L;
    };
    const char* Queries[] = {"chat", "le", "court", "un"};
    for (int Round = 0; Round < 4; ++Round) {
        Check("before the round");
        // A line chosen in the French pane (two in the second round) goes with Ctrl+D.
        TStringsView& French = *Concordance->Views[1];
        const int Rows = Concordance->Lists[1]->Count();
        ASSERT_GT(Rows, 1);
        const int First = int(Random() % Rows);
        QApplication::setActiveWindow(&Main);
        Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
        QTest::mouseClick(French.viewport(), Qt::LeftButton, {}, French.ItemRect(First).center());
        if (Round == 1) {
            const int Second = (First + 1) % Rows;
            QTest::mouseClick(French.viewport(), Qt::LeftButton, Qt::ControlModifier,
                              French.ItemRect(Second).center());
        }
        QTest::keyClick(&French, Qt::Key_D, Qt::ControlModifier);
        ASSERT_LT(Concordance->Lists[1]->Count(), Rows);
        Check("a delete");
        auto Query = std::make_unique<TConcSearchRec>();
        Query->Language = 1;
        Query->Names = Query->Patterns = {Queries[Round]};
        Concordance->SearchWithinLines(1, std::move(Query));
        Check("a search within the French lines");
        // Shading of the English lines off in one round, back on in the next.
        Concordance->HighlightCollocates[0] = Round % 2 == 1;
        Concordance->Lists[0]->SetHighlightCollocates(Round % 2 == 1);
    }
}

TEST_F(CollocationTest, SpansAboveTwelveStackAndACancelledBuildShowsNothing) {
    FrequencyConfigs[0].CollocateSpan = 3;
    FrequencyConfigs[1].CollocateSpan = 4;
    TScriptedBackend Backend;
    Backend.OnProcessMessages = [] {
        if (ProgressForm && ProgressForm->Caption() == "Creating list...") ProgressForm->Tag = 1;
    };
    ActivateConcordance();
    EXPECT_EQ(ShowCollocation(Area, -1), nullptr);
    QApplication::processEvents();
    EXPECT_EQ(Area->subWindowList().size(), 1);
    EXPECT_TRUE(Backend.Texts().empty());

    Backend.OnProcessMessages = nullptr;
    ActivateConcordance();
    TCollocationForm* Form = ShowCollocation(Area, -1);
    ASSERT_NE(Form, nullptr);
    EXPECT_TRUE(Form->Stacked());
    EXPECT_EQ(Form->List(0)->columnCount(), 18);
    EXPECT_EQ(Form->List(1)->columnCount(), 24);
    EXPECT_LT(Form->List(0)->geometry().bottom(), Form->List(1)->geometry().top());
    Form->parentWidget()->resize(700, 500);
    QApplication::processEvents();
    EXPECT_NEAR(Form->List(1)->geometry().bottom(), Form->height(), 4);
}

// "Creating list..." pumps events while it counts the concordance window's hits into that window's
// collocate lists. A click on a line and Ctrl+D there, or the line's popup (whose "C&lear Hot Words"
// frees the lists too), must wait until the count is done, not free what is being counted.
TEST_F(CollocationTest, TheConcordanceWindowWaitsWhileItsHitsAreCounted) {
    TStringsView& English = *Concordance->Views[0];
    TStringsView& French = *Concordance->Views[1];
    // A left click on Row of View at its point of the main window, as the window's hit-testing finds it.
    const auto ClickLine = [this](TStringsView& View, int Row) {
        QApplication::setActiveWindow(&Main);
        const QPoint At = View.viewport()->mapTo(&Main, View.ItemRect(Row).center());
        QWidget* Hit = Main.childAt(At);
        ASSERT_TRUE(Hit == View.viewport() || View.isAncestorOf(Hit));
        QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(&Main, At));
    };
    bool PopupOpened = false;
    int Tries = 0;
    TScriptedBackend Backend;
    Backend.OnProcessMessages = [&] {
        if (!ProgressForm || ProgressForm->Caption() != "Creating list...") return;
        ++Tries;
        // The new window is dragged into a corner, out of the way of the lines.
        for (QMdiSubWindow* Sub : Area->subWindowList())
            if (Sub->widget() != Concordance) Sub->move(Area->width() - 30, Area->height() - 30);
        ClickLine(English, 1);
        QTest::keyClick(&English, Qt::Key_D, Qt::ControlModifier);
        ClickLine(French, 2);
        QTimer::singleShot(0, [&PopupOpened] {
            if (QWidget* Popup = QApplication::activePopupWidget()) {
                PopupOpened = true;
                Popup->close();
            }
        });
        QTest::keyClick(&French, Qt::Key_F10, Qt::ShiftModifier);
    };
    // The search counted the collocates of span 2 for the shading; span 3 has to be counted now.
    FrequencyConfigs[0].CollocateSpan = 3;
    ActivateConcordance();
    TCollocationForm* Form = ShowCollocation(Area, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_GT(Tries, 0);
    EXPECT_FALSE(PopupOpened);
    EXPECT_EQ(Concordance->Lists[0]->Count(), 6);
    EXPECT_EQ(Column(Form->List(0), 11), (std::vector<std::string>{"2 cat", "2 dog", "1 bird", "1 fox"}));

    // Once the counts are done the same keys delete the line, and the lists counted from it go.
    Backend.OnProcessMessages = nullptr;
    const QPointer<TCollocationForm> Collocates(Form);
    ClickLine(English, 1);
    QTest::keyClick(&English, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Concordance->Lists[0]->Count(), 5);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Collocates.isNull() || !Open(Collocates));
}

// Keys pressed while the counting does not pump reach the program only when it next does: one such
// Ctrl+D, waiting in the queue as the count ends, is dropped (the status bar says why), every line and the
// finished list stay, and the list comes to the front although the user clicked the lines meanwhile.
TEST_F(CollocationTest, ACtrlDQueuedDuringTheCountIsDroppedAndTheListComesToTheFront) {
    TStringsView& English = *Concordance->Views[0];
    int Queued = 0;
    TScriptedBackend Backend;
    Backend.OnProcessMessages = [&] {
        if (!ProgressForm || ProgressForm->Caption() != "Creating list..." || Queued > 0) return;
        ++Queued;
        // The user clicks line 2 of the concordance window, then presses Ctrl+D.
        QApplication::setActiveWindow(&Main);
        ActivateConcordance();
        const QPoint At = English.viewport()->mapTo(&Main, English.ItemRect(1).center());
        QWidget* Hit = Main.childAt(At);
        ASSERT_TRUE(Hit == English.viewport() || English.isAncestorOf(Hit));
        QTest::mouseClick(Hit, Qt::LeftButton, {}, Hit->mapFrom(&Main, At));
        QTimer::singleShot(0, &English,
                           [&English] { QTest::keyClick(&English, Qt::Key_D, Qt::ControlModifier); });
    };
    FrequencyConfigs[0].CollocateSpan = 3;
    ActivateConcordance();
    TCollocationForm* Form = ShowCollocation(Area, 0);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Queued, 1);
    const QPointer<TCollocationForm> Collocates(Form);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Concordance->Lists[0]->Count(), 6);
    EXPECT_EQ(Concordance->Lists[1]->Count(), 6);
    ASSERT_TRUE(Collocates && Open(Collocates));
    EXPECT_EQ(Area->activeSubWindow(), Collocates->parentWidget());
    bool SaidBusy = false;
    for (const auto& E : Messenger.Entries)
        SaidBusy |= E.Kind == TRecordingMessenger::rkPost && E.Text == WindowBusyText;
    EXPECT_TRUE(SaidBusy);
}

// Closing the concordance window while its hits are counted stops the count (no list opens) and closes
// the window once the count has stopped.
TEST_F(CollocationTest, ClosingTheWindowDuringTheCountStopsTheCountAndCloses) {
    TScriptedBackend Backend;
    bool Refused = false;
    Backend.OnProcessMessages = [&] {
        if (!ProgressForm || ProgressForm->Caption() != "Creating list..." || Refused) return;
        // The close box: the window cannot go while the count reads its lines, but asks it to stop.
        Refused = !qobject_cast<QMdiSubWindow*>(Concordance->parentWidget())->close();
    };
    FrequencyConfigs[0].CollocateSpan = 3;
    ActivateConcordance();
    EXPECT_EQ(ShowCollocation(Area, 0), nullptr);
    EXPECT_TRUE(Refused);
    for (int I = 0; I < 3 && Concordance; ++I) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_TRUE(Concordance.isNull());
    for (QMdiSubWindow* Sub : Area->subWindowList())
        EXPECT_FALSE(qobject_cast<TCollocationForm*>(Sub->widget()));
}

TEST_F(CollocationTest, AdvancedCollocationCountsSequencesIntoAWordList) {
    TAdvancedSortColOptions& Record = LanguageConfigs[0]->CollocationSort;
    InitSortColOptions(Record);
    Record.Span = true;
    Record.SpanLength = 2;
    TWordListForm* List = ShowAdvancedCollocation(Area, Concordance, 0, {});
    ASSERT_NE(List, nullptr);
    EXPECT_EQ(List->Mode(), TWordListMode::AdvancedCollocation);
    EXPECT_EQ(List->windowTitle(), "Advanced Collocation - English - [the] - Span 2");
    const TWordListItems& Items = List->Grid(0)->Items();
    ASSERT_GE(Items.Count(), 4);
    // Both windows of every hit, the left word reaching into the line before; equal counts by word.
    std::vector<std::string> Top;
    for (int Row = 1; Row <= 4; ++Row)
        Top.push_back(Items.GetCellText(0, Row) + " " + Items.GetCellText(2, Row));
    EXPECT_EQ(Top, (std::vector<std::string>{"2 ran the", "2 sat the", "2 the cat", "2 the dog"}));
    // Percentages of what was counted.
    int Total = 0;
    for (int32_t I = 0; I < Items.Count(); ++I) Total += Items.ItemCount(I);
    EXPECT_DOUBLE_EQ(Items.Percentage(0), 200.0 / Total);

    // The open list comes to the front whatever is chosen now.
    EXPECT_EQ(ShowAdvancedCollocation(Area, Concordance, 0, {{sk1R, false}}), List);
    // Nothing chosen, nothing opened.
    Record.Span = false;
    EXPECT_EQ(ShowAdvancedCollocation(Area, Concordance, 1, {}), nullptr);
    LanguageConfigs[1]->CollocationSort = Record;
    TWordListForm* Columns = ShowAdvancedCollocation(Area, Concordance, 1, {{sk1R, false}});
    ASSERT_NE(Columns, nullptr);
    EXPECT_EQ(Columns->windowTitle().toStdString(), "Advanced Collocation - French - [N/A] - 1R");
}

// Printing goes to a PDF file through the options dialog's "Printer..."; while it runs the window
// refuses to close and a closing message waits for the job's end.
TEST_F(CollocationTest, PrintingAWordListToPdfSurvivesCloseRequests) {
    TTempDir Dir;
    const std::string Pdf = Dir.File("list.pdf");
    int Dialogs = 0;
    // Printing itself asks nothing more: the printer is as "Printer..." set it up.
    SetPrintDialog([](QPrinter&) {
        ADD_FAILURE() << "the print dialog opened";
        return false;
    });
    SetPrintSetupDialog([&](QPrinter& Printer) {
        ++Dialogs;
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        return true;
    });
    FrequencyConfigs[0].MaximumLines = 0;
    TWordListForm* List = ShowWordList(Area, 0, false);
    ASSERT_NE(List, nullptr);
    QMdiSubWindow* Sub = qobject_cast<QMdiSubWindow*>(List->parentWidget());
    const QPointer<TWordListForm> Alive(List);
    TScriptedBackend Backend;
    int Pumps = 0;
    Backend.OnProcessMessages = [&] {
        ++Pumps;
        // Cancel stops after the row just printed and still ends the document.
        if (Pumps == 3 && ProgressForm && ProgressForm->Caption() == "Printing...") ProgressForm->Tag = 1;
        if (Pumps != 2) return;
        EXPECT_TRUE(PrintingWordList);
        EXPECT_FALSE(Sub->close());
        BroadcastToChildren(CM_FREQSETTINGSCHANGED, 0, 1);
        QApplication::processEvents();
        EXPECT_TRUE(Alive);
    };
    QTimer::singleShot(0, [] {
        auto* Options = qobject_cast<TConcFreqOutForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Options, nullptr);
        EXPECT_EQ(Options->windowTitle(), "Frequency - Print Options");
        ASSERT_NE(Options->PrinterBtn, nullptr);
        ClickThroughWindow(Options->PrinterBtn);
        ClickThroughWindow(Options->OkBtn);
    });
    List->PrintLists();
    EXPECT_EQ(Dialogs, 1);
    EXPECT_EQ(Pumps, 3);
    // The job and its page header are named by the list and its language.
    EXPECT_EQ(SharedPrinter().docName().toStdString(), "Corpus Frequency List: English");
    EXPECT_FALSE(PrintingWordList);
    const std::string Bytes = ReadWholeFile(Pdf);
    EXPECT_EQ(Bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(Bytes.find("/Type /Page"), std::string::npos);
    // The page shows the same name in its header, its number, and who printed it.
    const std::vector<std::string> Texts = pdftext::PdfTexts(Bytes);
    ASSERT_GE(Texts.size(), 3u);
    EXPECT_EQ(Texts[0], "Corpus Frequency List: English");
    EXPECT_EQ(Texts[1], "Page 1");
    EXPECT_EQ(Texts[2].rfind("Printed by Tessivor on ", 0), 0u) << Texts[2];
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Alive);
}

// Without a printer the first print fails and says where to choose one; the failed job leaves the printer
// free, so that a PDF file chosen in Print Setup then takes the next print of the same session.
TEST_F(CollocationTest, AFailedPrintTellsWhatToDoAndTheNextPrintToAPdfFileWorks) {
    TTempDir Dir;
    const std::string Pdf = Dir.File("again.pdf");
    // As the toolkit sets up a machine without printers: a PDF file, with no name yet.
    SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    SharedPrinter().setOutputFileName(QString());
    SetPrintSetupDialog([&](QPrinter& Printer) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        return !Printer.outputFileName().isEmpty();
    });
    TWordListForm* List = ShowWordList(Area, 0, false);
    ASSERT_NE(List, nullptr);
    TScriptedBackend Backend;
    const auto PrintThroughOptions = [List](bool ChoosePrinter) {
        QTimer::singleShot(0, [ChoosePrinter] {
            auto* Options = qobject_cast<TConcFreqOutForm*>(QApplication::activeModalWidget());
            ASSERT_NE(Options, nullptr);
            if (ChoosePrinter) ClickThroughWindow(Options->PrinterBtn);
            ClickThroughWindow(Options->OkBtn);
        });
        List->PrintLists();
    };
    PrintThroughOptions(false);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_EQ(Backend.Messages[0].Type, mtError);
    EXPECT_EQ(Backend.Messages[0].Text.rfind("Unable to print.", 0), 0u);
    EXPECT_NE(Backend.Messages[0].Text.find("Print Setup"), std::string::npos) << Backend.Messages[0].Text;
    EXPECT_NE(Backend.Messages[0].Text.find("PDF"), std::string::npos) << Backend.Messages[0].Text;
    EXPECT_FALSE(PrintingWordList);
    EXPECT_NE(SharedPrinter().printerState(), QPrinter::Active);

    PrintThroughOptions(true);
    EXPECT_EQ(Backend.Messages.size(), 1u);
    EXPECT_EQ(SharedPrinter().outputFileName().toStdString(), Pdf);
    const std::vector<std::string> Texts = pdftext::PdfTexts(ReadWholeFile(Pdf));
    ASSERT_GE(Texts.size(), 3u);
    EXPECT_EQ(Texts[0], "Corpus Frequency List: English");
    EXPECT_EQ(Texts[1], "Page 1");
}

// Saving every language of a corpus list: the options, then the file dialog in the remembered folder,
// which then remembers the folder chosen; the last language's missing rows add nothing.
TEST_F(CollocationTest, SavingAWordListOfAllLanguagesThroughItsDialogs) {
    TTempDir Dir;
    std::filesystem::create_directory(Dir.File("out"));
    ConcordancePath = Dir.Path().string();
    TFileDialogRequest Asked;
    SetFileDialog([&](const TFileDialogRequest& Request) {
        Asked = Request;
        return std::vector<std::string>{Dir.File("out/list.txt")};
    });
    FrequencyConfigs[0].MaximumLines = 0;
    FrequencyConfigs[1].MaximumLines = 2;
    TWordListForm* List = ShowWordList(Area, -1, true);
    ASSERT_NE(List, nullptr);
    QTimer::singleShot(0, [] {
        auto* Options = qobject_cast<TConcFreqOutForm*>(QApplication::activeModalWidget());
        ASSERT_NE(Options, nullptr);
        EXPECT_EQ(Options->windowTitle(), "Frequency - Save as File Options");
        EXPECT_EQ(Options->PrinterBtn, nullptr);
        ClickThroughWindow(Options->OkBtn);
    });
    List->SaveToFile();
    EXPECT_EQ(Asked.Title, "Select file name to save to");
    EXPECT_EQ(Asked.Folder, Dir.Path().string());
    EXPECT_EQ(Asked.DefaultSuffix, "txt");
    EXPECT_EQ(ConcordancePath, Dir.File("out"));
    EXPECT_FALSE(SavingWordList);
    EXPECT_EQ(ReadWholeFile(Dir.File("out/list.txt")),
              "1\tbird\t2\tassis\r\n"
              "2\tcat\t2\tchat\r\n"
              "2\tdog\r\n"
              "1\tflew\r\n"
              "1\tfox\r\n"
              "3\tran\r\n"
              "2\tsat\r\n"
              "6\tthe\r\n");
}

namespace {

class LongContextTest : public TConcordanceWindowTest {};

}  // namespace

// The four words left of a hit are read however long they are: here they start 55 bytes before it.
TEST_F(LongContextTest, TheFourthWordLeftOfAHitIsCountedAmongTheCollocates) {
    for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 4, 5, false, false, true};
    OpenConcordance({1000, 700}, 2, "continued",
                    std::vector<std::string>(6,
                                             "extraordinarily complicated international negotiations "
                                             "continued"));
    ASSERT_NE(Concordance, nullptr);
    Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
    TCollocationForm* Form = ShowCollocation(Area, 0);
    ASSERT_NE(Form, nullptr);
    QTreeWidget* List = Form->List(0);
    ASSERT_EQ(List->headerItem()->text(2), "4-Left");
    ASSERT_GE(List->topLevelItemCount(), 1);
    EXPECT_EQ((List->topLevelItem(0)->text(1) + " " + List->topLevelItem(0)->text(2)).toStdString(),
              "6 extraordinarily");
    EXPECT_EQ(List->topLevelItem(0)->text(11).toStdString(), "negotiations");
}

namespace {

class StackedSizeTest : public TConcordanceWindowTest, public ::testing::WithParamInterface<QSize> {};

}  // namespace

// Four languages stack their collocates; each list opens with more than three rows in sight and its
// "2-Left" caption whole, on a screen of 1280 x 1024 and of 1024 x 768.
TEST_P(StackedSizeTest, StackedListsOpenWithSeveralRowsInSight) {
    for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
    OpenConcordance(GetParam(), 4);
    ASSERT_NE(Concordance, nullptr);
    Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
    TCollocationForm* Form = ShowCollocation(Area, -1);
    ASSERT_NE(Form, nullptr);
    ASSERT_TRUE(Form->Stacked());
    QApplication::processEvents();
    // Only the language searched has collocates; the others' lists are as tall and in the same font.
    ASSERT_GT(Form->List(0)->topLevelItemCount(), 0);
    const int Row = Form->List(0)->visualItemRect(Form->List(0)->topLevelItem(0)).height();
    for (int L = 0; L < 4; ++L) {
        QTreeWidget* List = Form->List(L);
        ASSERT_NE(List, nullptr);
        EXPECT_GT(List->viewport()->height() / std::max(Row, 1), 3) << L;
        EXPECT_GE(List->columnWidth(2), QFontMetrics(List->header()->font()).horizontalAdvance("2-Left"))
            << L;
    }
    EXPECT_LE(Form->parentWidget()->geometry().bottom(), Area->viewport()->height());
}

INSTANTIATE_TEST_SUITE_P(Screens, StackedSizeTest, ::testing::Values(QSize(1280, 1024), QSize(1024, 768)));

namespace {

class WordListSizeTest : public TConcordanceWindowTest, public ::testing::WithParamInterface<QSize> {
protected:
    // Form's sub-window lies inside the area, its title bar shows the caption whole (as the sub-window
    // elides it in its font, and as the style draws it, bold within a 14-pixel margin), every label stays
    // over its grid (whole, or with WholeLabels false, cut with its text as tip), and every header section of
    // every grid shows its text whole inside the grid's viewport.
    void ExpectReadable(TWordListForm* Form, bool WholeLabels = true) {
        ASSERT_NE(Form, nullptr);
        QApplication::processEvents();
        auto* Sub = qobject_cast<QMdiSubWindow*>(Form->parentWidget());
        ASSERT_NE(Sub, nullptr);
        const QString Title = Form->windowTitle();
        EXPECT_TRUE(QRect(QPoint(0, 0), Area->viewport()->size()).contains(Sub->geometry()))
            << Title.toStdString();
        // The bar as the sub-window lays it out: inside a border of 4 pixels where the style draws one.
        QStyleOptionTitleBar Bar;
        Bar.initFrom(Sub);
        Bar.subControls = QStyle::SC_All;
        Bar.titleBarFlags = Sub->windowFlags();
        Bar.titleBarState = int(Sub->windowState());
        Bar.text = Title;
        const QStyle* Style = Sub->style();
        const int Border = Style->styleHint(QStyle::SH_TitleBar_NoBorder, &Bar, Sub) ? 0 : 4;
        Bar.rect = QRect(Border, Border, Sub->width() - 2 * Border,
                         Style->pixelMetric(QStyle::PM_TitleBarHeight, &Bar, Sub));
        const int Label =
            Style->subControlRect(QStyle::CC_TitleBar, &Bar, QStyle::SC_TitleBarLabel, Sub).width();
        QFont Font = QApplication::font("QMdiSubWindowTitleBar");
        EXPECT_EQ(QFontMetrics(Font).elidedText(Title, Qt::ElideRight, Label).toStdString(),
                  Title.toStdString());
        Font.setBold(true);
        EXPECT_EQ(QFontMetrics(Font).elidedText(Title, Qt::ElideRight, Label - 14).toStdString(),
                  Title.toStdString());
        for (int L = 0; L < MaxLanguages; ++L) {
            TWordListGrid* Grid = Form->Grid(L);
            if (!Grid) continue;
            if (const QLabel* Label = Form->Label(L)) {
                // Within its grid; whole unless told otherwise, else its whole text is its tip.
                EXPECT_LE(Label->geometry().right(), Grid->geometry().right()) << Title.toStdString() << L;
                EXPECT_GE(Label->width(), Label->sizeHint().width()) << Title.toStdString() << " " << L;
                if (WholeLabels) {
                    EXPECT_TRUE(Label->toolTip().isEmpty()) << Label->text().toStdString();
                } else if (!Label->toolTip().isEmpty()) {
                    EXPECT_TRUE(Label->toolTip().startsWith(Label->text().chopped(1)));
                }
            }
            const QHeaderView* Header = Grid->horizontalHeader();
            for (int Col = 0; Col < 3; ++Col) {
                EXPECT_GE(Header->sectionSize(Col), Header->sectionSizeHint(Col))
                    << Title.toStdString() << " " << L << " " << Col;
                EXPECT_LE(Header->sectionViewportPosition(Col) + Header->sectionSize(Col),
                          Grid->viewport()->width())
                    << Title.toStdString() << " " << L << " " << Col;
            }
        }
    }
};

}  // namespace

// A new word list, of one language in a large font, of every language, and of an advanced collocation
// of one language and of all, opens wide enough for its caption and its column headers on a screen of 1280 x
// 1024 and of 1024 x 768.
TEST_P(WordListSizeTest, NewWordListsShowTheirCaptionAndHeadersWhole) {
    for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
    OpenConcordance(GetParam(), 4);
    ASSERT_NE(Concordance, nullptr);
    Lang(0).LanguageName = "English (United States)";
    LanguageConfigs[0]->Fonts[FrequencyFont].Size = 16;
    ExpectReadable(ShowWordList(Area, 0, false));
    LanguageConfigs[0]->Fonts[FrequencyFont].Size = 8;
    ExpectReadable(ShowWordList(Area, -1, true));
    TAdvancedSortColOptions& Record = LanguageConfigs[1]->CollocationSort;
    InitSortColOptions(Record);
    ExpectReadable(
        ShowAdvancedCollocation(Area, Concordance, 1, {{sk2L, false}, {sk1L, false}, {sk1R, false}}));
    InitSortColOptions(CommonConfig->CollocationSort);
    // Each label names its language twice: four of them may not all fit.
    ExpectReadable(ShowAdvancedCollocation(Area, Concordance, -1, {{sk1L, false}, {sk1R, false}}), false);
}

INSTANTIATE_TEST_SUITE_P(Screens, WordListSizeTest, ::testing::Values(QSize(1280, 1024), QSize(1024, 768)));

namespace {

class CollocationSizeTest : public TConcordanceWindowTest, public ::testing::WithParamInterface<QSize> {};

}  // namespace

// Long words around the hits: the collocation window of one language and of both opens wide enough for
// the counts and words of its rows, on a screen of 1280 x 1024 and of 1024 x 768.
TEST_P(CollocationSizeTest, CollocatesShowWhole) {
    for (TFrequencyConfig& F : FrequencyConfigs) F = {1, 0, 100, 2, 5, false, false, true};
    // French, one word on each side, leaves room beside English for its long words.
    FrequencyConfigs[1].CollocateSpan = 1;
    OpenConcordance(
        GetParam(), 2, "continued",
        {"complicated diplomatic negotiations continued", "the parliament's counterproposals continued",
         "the cat continued", "a dog continued", "one bird continued", "the fox continued"});
    ASSERT_NE(Concordance, nullptr);
    for (int Language : {0, -1}) {
        Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(Concordance->parentWidget()));
        TCollocationForm* Form = ShowCollocation(Area, Language);
        ASSERT_NE(Form, nullptr);
        QApplication::processEvents();
        QTreeWidget* List = Form->List(0);
        ASSERT_GE(List->topLevelItemCount(), 2);
        const QFontMetrics Metrics(List->font());
        const int Padding = 2 * (List->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List) + 1);
        for (int Row = 0; Row < List->topLevelItemCount(); ++Row)
            for (int Col = 1; Col < List->columnCount(); Col += 3)
                for (int C : {Col, Col + 1})
                    EXPECT_LE(Metrics.horizontalAdvance(List->topLevelItem(Row)->text(C)) + Padding,
                              List->columnWidth(C))
                        << Language << " " << List->topLevelItem(Row)->text(C).toStdString();
        EXPECT_LE(Form->parentWidget()->geometry().right(), Area->viewport()->width());
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, CollocationSizeTest,
                         ::testing::Values(QSize(1280, 1024), QSize(1024, 768)));
