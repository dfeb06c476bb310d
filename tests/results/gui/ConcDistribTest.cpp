// The query description in captioned labels: texts, the options row's layout and the panels' heights.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTextDocument>

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>
#include <memory>

#include "engine/ConcConfig.h"
#include "results/ConcDistrib.h"

namespace {

class ShowQueryOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        InitConfigUnit();
        LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
        LanguagesCount = 1;
        Window = std::make_unique<QWidget>();
        Labels.OptionsPanel = Panel(20);
        Labels.PaddingPanel = Panel(20);
        Labels.HeadingPanel = Panel(54);
        Labels.ContextPanel = Panel(19);
        for (auto* pairs : {&Labels.OptionCaptions, &Labels.OptionValues}) {
            for (QLabel*& l : *pairs) l = new QLabel(Labels.OptionsPanel);
        }
        for (size_t i = 0; i < 2; ++i) {
            Labels.PaddingCaptions[i] = new QLabel(Labels.PaddingPanel);
            Labels.PaddingValues[i] = new QLabel(Labels.PaddingPanel);
            Labels.ContextCaptions[i] = new QLabel(Labels.ContextPanel);
            Labels.ContextValues[i] = new QLabel(Labels.ContextPanel);
        }
        for (size_t i = 0; i < 5; ++i) {
            Labels.HeadingCaptions[i] = new QLabel(Labels.HeadingPanel);
            Labels.HeadingValues[i] = new QLabel(Labels.HeadingPanel);
        }
        Window->show();
    }
    void TearDown() override {
        Window.reset();
        ResetGlobalsForTest();
    }
    QWidget* Panel(int Height) {
        auto* panel = new QWidget(Window.get());
        panel->resize(392, Height);
        return panel;
    }

    std::unique_ptr<QWidget> Window;
    TQueryOptionsLabels Labels;
};

TEST_F(ShowQueryOptionsTest, PlainQueryShowsTheOptionsRowOnly) {
    TConcSearchRec q;
    q.FrequencyOfHits = 7;
    EXPECT_EQ(ShowQueryOptions(q, Labels), 0);
    QStringList values;
    for (QLabel* l : Labels.OptionValues) values << l->text();
    EXPECT_EQ(values, (QStringList{"Text", "ON", "7", "OFF"}));
    EXPECT_EQ(Labels.OptionCaptions[2]->text(), "Freq. of hits:");
    EXPECT_FALSE(Labels.PaddingPanel->isVisible() || Labels.HeadingPanel->isVisible() ||
                 Labels.ContextPanel->isVisible());
    // Left to right: caption, 5 pixels, value, 5 pixels, next caption.
    for (size_t i = 0; i < 4; ++i) {
        QLabel* caption = Labels.OptionCaptions[i];
        QLabel* value = Labels.OptionValues[i];
        EXPECT_EQ(value->x(),
                  caption->x() + QFontMetrics(caption->font()).horizontalAdvance(caption->text()) + 5);
        if (i > 0) {
            QLabel* previous = Labels.OptionValues[i - 1];
            EXPECT_EQ(caption->x(), previous->x() + previous->width() + 5);
        }
    }
}

TEST_F(ShowQueryOptionsTest, PanelsFollowTheFlags) {
    TConcSearchRec q;
    q.Syntax = 1;
    q.Flags = sfMatchCase | sfSkipEqual | sfContext;
    q.SkippingChars = "-\xE9";
    q.LeftContext = "left";
    EXPECT_EQ(ShowQueryOptions(q, Labels), 20 + 19);
    EXPECT_EQ(Labels.OptionValues[0]->text(), "Regex");
    EXPECT_EQ(Labels.OptionValues[1]->text(), "OFF");
    EXPECT_EQ(Labels.PaddingValues[0]->text(), QString::fromUtf8("-\u00e9")) << "shown through the code page";
    EXPECT_EQ(Labels.ContextValues[0]->text(), "left");
    EXPECT_TRUE(Labels.ContextPanel->isVisible());
    EXPECT_FALSE(Labels.HeadingPanel->isVisible());
}

}  // namespace

// ---- The distribution window --------------------------------------------------------------------------

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QGraphicsTextItem>
#include <QHorizontalBarSeries>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "controls/FileDialogs.h"
#include "controls/PrintDialogs.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcUtils.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/support/DialogChecks.h"
#include "tests/support/PdfText.h"

namespace {

using dialogchecks::ClickThroughWindow;

// Picks the combo's item Index as a user does: a click gives it the focus (its list opens and is
// closed again), the arrow keys walk to the item.
void ChooseInCombo(QComboBox* Combo, int Index) {
    ClickThroughWindow(Combo);
    if (QWidget* popup = QApplication::activePopupWidget()) QTest::keyClick(popup, Qt::Key_Escape);
    while (Combo->currentIndex() < Index) QTest::keyClick(Combo, Qt::Key_Down);
    while (Combo->currentIndex() > Index) QTest::keyClick(Combo, Qt::Key_Up);
}

class DistributionWindowTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        // English: a.txt of four lines, b.txt of two; German: c.txt of two lines, d.txt of one.
        AddLines(0, "a.txt", "one\ntwo\nthree\nfour", {0, 4, 8, 14});
        AddLines(0, "b.txt", "five\nsix", {0, 5});
        AddLines(1, "c.txt", "eins\nzwei", {0, 5});
        AddLines(1, "d.txt", "drei", {0});
        Lang(1).SetLanguage(1031, "German (Standard)");
        for (int L = 0; L < 2; ++L) Lists[size_t(L)] = std::make_unique<TConcordItems>(L);
        // English hits on lines 1, 2 and 3 of a.txt and line 1 of b.txt, and a row without a hit.
        for (auto [file, start] : {std::pair{0, 0}, {0, 4}, {0, 9}, {1, 0}}) AddRow(0, file, start, true);
        AddRow(0, 0, 14, false);
        // German: one hit in each file, the others rows without a hit of their own.
        for (auto [file, start, filled] :
             {std::tuple{0, 5, true}, {0, 0, false}, {1, 0, true}, {1, 0, false}})
            AddRow(1, file, start, filled);
        Query.Names = {"one"};
        Query.FrequencyOfHits = 1;
    }

    void TearDown() override {
        SetFileDialog(nullptr);
        SetPrintDialog(nullptr);
        TCorpusTest::TearDown();
    }

    void AddLines(int L, const std::string& Name, const std::string& Text, std::vector<int32_t> Starts) {
        const int file = AddFile(L, Name, Text);
        auto lines = std::make_unique<TIntegerList>();
        for (int32_t start : Starts) lines->Add(start);
        Lang(L).LineStarts.SetItem(file, std::move(lines));
    }

    void AddRow(int L, int File, int32_t Start, bool Filled) {
        auto item = std::make_unique<TConcordItem>(L);
        item->FileIndex = File;
        item->HitStart = Start;
        if (Filled) item->Texts.Set(0, "hit");
        item->Sequence = Lists[size_t(L)]->Count();
        Lists[size_t(L)]->Add(std::move(item));
    }

    std::unique_ptr<TDistributionForm> Open() {
        auto form = std::make_unique<TDistributionForm>(0, TDistribHitLists{Lists[0].get(), Lists[1].get()},
                                                        TDistribQueries{&Query, nullptr});
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    // Four languages with long names, three of them given here besides the German of the corpus.
    void NameFourLanguages() {
        Lang(0).SetLanguage(1033, "English (United States)");
        Lang(2).SetLanguage(11274, "Spanish (Argentina)");
        Lang(3).SetLanguage(1046, "Portuguese (Brazilian)");
    }

    // The window of four languages' Hits, opened in Area sized as the MDI area of a screen of Screen's size.
    TDistributionForm* ShowOnScreen(QMdiArea& Area, const QSize Screen, const TDistribHitLists& Hits) {
        Area.resize(Screen - QSize(0, 70));
        Area.show();
        return ShowDistribution(&Area, 0, Hits, TDistribQueries{&Query, nullptr, nullptr, nullptr});
    }

    // A category's label as read: its lines (one per language with a range of its own, behind the
    // square of that language's colour), each without the square, joined by " / ".
    static QString Plain(const QString& Label) {
        QTextDocument Document;
        Document.setHtml(Label);
        QStringList Lines = Document.toPlainText().split(QRegularExpression("[\\n\\x{2028}\\x{2029}]"));
        for (QString& Line : Lines) Line = Line.remove(QChar(0x25A0)).trimmed().replace(QChar(0xA0), ' ');
        return Lines.join(" / ");
    }
    static QStringList Categories(const TDistributionForm& Form) {
        QStringList Labels;
        for (const QString& Label : Form.CategoryAxis->categories()) Labels << Plain(Label);
        return Labels;
    }
    static QList<qreal> Values(const TDistributionForm& Form, int Set) {
        QBarSet* set = Form.Series->barSets().at(Set);
        QList<qreal> values;
        for (int i = 0; i < set->count(); ++i) values << set->at(i);
        return values;
    }

    std::array<std::unique_ptr<TConcordItems>, 2> Lists;
    TConcSearchRec Query;
};

}  // namespace

TEST_F(DistributionWindowTest, ChartShowsTheCountsOfEveryLanguageAndFollowsTheControls) {
    auto form = Open();
    EXPECT_EQ(form->windowTitle(), "Distribution");
    EXPECT_EQ(dialogchecks::MnemonicClashes(form.get()), std::vector<std::string>{});
    EXPECT_EQ(form->HitsValue->text(), "5");
    EXPECT_EQ(form->PatternValue->text(), "one");
    // Two files: one bar per file, the first at the top; the step controls have nothing to do.
    EXPECT_EQ(form->ScopeCombo->currentText(), "Files distribution");
    EXPECT_FALSE(form->StepCombo->isEnabled() || form->PercentCheck->isEnabled() ||
                 form->StepLabel->isEnabled());
    ASSERT_EQ(form->Series->count(), 2);
    EXPECT_EQ(form->Series->barSets().at(1)->label(), "German (Standard)");
    EXPECT_EQ(form->CategoryAxis->titleText(), "Files");
    // Categories count from the bottom.
    EXPECT_EQ(Categories(*form), (QStringList{"b.txt", "a.txt"}));
    EXPECT_EQ(Values(*form, 0), (QList<qreal>{1, 3}));
    EXPECT_EQ(Values(*form, 1), (QList<qreal>{1, 1}));
    EXPECT_EQ(form->MarkText(0, 0), "3 (75.00%)");
    EXPECT_EQ(form->MarkText(1, 1), "1 (50.00%)");

    // All files at 50 %: English has six lines (buckets end at lines 3 and 6), German three, which
    // forces 33 % on it: three buckets, so the chart has three categories.
    ChooseInCombo(form->ScopeCombo, 0);
    EXPECT_EQ(form->Scope(), ScopeAll);
    EXPECT_TRUE(form->StepCombo->isEnabled() && form->PercentCheck->isEnabled());
    ChooseInCombo(form->StepCombo, 6);
    EXPECT_EQ(form->StepIndex(), 6);
    EXPECT_EQ(form->CategoryAxis->titleText(), "Percent");
    // Each language's bars stand under its own range: German's three buckets are thirds.
    EXPECT_EQ(Categories(*form), (QStringList{"0 - 50 / 0 - 33", "50 - 100 / 33 - 66", "66 - 99"}));
    EXPECT_EQ(Values(*form, 0), (QList<qreal>{3, 1, 0}));
    EXPECT_EQ(Values(*form, 1), (QList<qreal>{0, 1, 1}));
    EXPECT_EQ(form->MarkText(1, 2), "1 (50.00%)");

    ClickThroughWindow(form->PercentCheck);
    EXPECT_EQ(form->CategoryAxis->titleText(), "Lines");
    EXPECT_EQ(Categories(*form), (QStringList{"1 - 3 / 1 - 1", "4 - 6 / 2 - 2", "3 - 3"}));

    ClickThroughWindow(form->LabelsCheck);
    EXPECT_EQ(form->MarkText(0, 0), "");
    ClickThroughWindow(form->LabelsCheck);
    EXPECT_EQ(form->MarkText(0, 0), "3 (75.00%)");
}

// One file of ten English lines and its twenty German lines, at several steps, in lines and in percent:
// under every category each language's bar carries its own range, and counts the hits of that range.
TEST_F(DistributionWindowTest, EachLanguagesBarsCarryItsOwnRanges) {
    const std::array<int, 2> lineCount{10, 20};
    const std::array<std::vector<int>, 2> hitLines{std::vector<int>{1, 7, 10},
                                                   std::vector<int>{2, 3, 15, 20}};
    for (int L = 0; L < 2; ++L) {
        std::string text;
        std::vector<int32_t> starts;
        for (int i = 0; i < lineCount[size_t(L)]; ++i) {
            starts.push_back(int32_t(text.size()));
            text += "w\n";
        }
        AddLines(L, L == 0 ? "e.txt" : "g.txt", text, starts);
        for (int line : hitLines[size_t(L)]) AddRow(L, 2, starts[size_t(line - 1)], true);
    }
    auto form = Open();
    ChooseInCombo(form->ScopeCombo, 4);
    ASSERT_EQ(form->Scope(), 2);
    for (int stepIndex : {1, 3, 5, 6}) {
        ChooseInCombo(form->StepCombo, stepIndex);
        for (bool percent : {true, false}) {
            if (form->PercentCheck->isChecked() != percent) ClickThroughWindow(form->PercentCheck);
            SCOPED_TRACE(std::to_string(stepIndex) + (percent ? " percent" : " lines"));
            const int step = DistribSteps[size_t(stepIndex)];
            const int buckets = 100 / step;
            const QStringList categories = Categories(*form);
            ASSERT_EQ(categories.size(), buckets);
            for (int L = 0; L < 2; ++L) {
                const auto end = [&](int j) {
                    return int(std::nearbyint(double(j) * lineCount[size_t(L)] / buckets));
                };
                const QList<qreal> values = Values(*form, L);
                for (int i = 0; i < buckets; ++i) {
                    const QString own = percent ? QString("%1 - %2").arg(i * step).arg((i + 1) * step)
                                                : QString("%1 - %2").arg(end(i) + 1).arg(end(i + 1));
                    const QStringList parts = categories[i].split(" / ");
                    EXPECT_EQ(parts.size() == 1 ? parts[0] : parts.value(L), own) << "language " << L;
                    const auto inside =
                        std::count_if(hitLines[size_t(L)].begin(), hitLines[size_t(L)].end(),
                                      [&](int line) { return line > end(i) && line <= end(i + 1); });
                    EXPECT_EQ(values.value(i), qreal(inside)) << "language " << L << " bucket " << i;
                }
            }
        }
    }
}

// Fifty steps of two languages in a window of 640 x 480: every bar keeps room for its mark (the chart
// grows and scrolls instead of squeezing them into one another), and printing leaves it as it was.
TEST_F(DistributionWindowTest, ManyStepsKeepEveryMarkApartAndInSight) {
    std::string text;
    std::vector<int32_t> starts;
    for (int i = 0; i < 100; ++i) {
        starts.push_back(int32_t(text.size()));
        text += "line\n";
    }
    AddLines(0, "long.txt", text, starts);
    AddLines(1, "lang.txt", text, starts);
    for (int L = 0; L < 2; ++L)
        for (int i = 0; i < 100; i += 3) AddRow(L, 2, starts[size_t(i)], true);
    auto form = Open();
    form->resize(640, 480);
    ChooseInCombo(form->ScopeCombo, 4);
    ChooseInCombo(form->StepCombo, 0);
    QApplication::processEvents();
    ASSERT_EQ(form->CategoryAxis->count(), 50);
    const auto marks = [&form] {
        std::vector<QRectF> shown;
        for (QGraphicsItem* item : form->Chart->childItems())
            if (auto* mark = qgraphicsitem_cast<QGraphicsSimpleTextItem*>(item); mark && mark->isVisible())
                shown.push_back(mark->sceneBoundingRect());
        return shown;
    };
    const auto overlaps = [](const std::vector<QRectF>& shown) {
        int count = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            for (size_t j = 0; j < i; ++j) count += shown[i].intersects(shown[j]);
        return count;
    };
    const std::vector<QRectF> before = marks();
    EXPECT_EQ(before.size(), 100u);
    EXPECT_EQ(overlaps(before), 0);
    EXPECT_GT(form->ChartView->height(), form->ChartScroll->viewport()->height());
    // The chart opens scrolled to the text's start: the steps count up from its foot.
    const auto inSight = [&form](int Category) {
        const QPointF at = form->Chart->mapToPosition(QPointF(0, Category), form->Series);
        const QPoint shown =
            form->ChartView->mapTo(form->ChartScroll->viewport(), form->ChartView->mapFromScene(at));
        return form->ChartScroll->viewport()->rect().contains(shown);
    };
    EXPECT_TRUE(inSight(0));
    EXPECT_FALSE(inSight(49));

    SetPrintDialog([&](QPrinter& Printer) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(Dir.File("chart.pdf")));
        return true;
    });
    ClickThroughWindow(form->PrintBtn);
    EXPECT_EQ(ReadWholeFile(Dir.File("chart.pdf")).substr(0, 5), "%PDF-");
    EXPECT_EQ(marks(), before);
}

TEST_F(DistributionWindowTest, RefreshDropsAVanishedFileAndClosingIsAnnounced) {
    TRecordingMessenger messenger;
    auto form = Open();
    ChooseInCombo(form->ScopeCombo, 3);
    EXPECT_EQ(form->Scope(), 1);
    EXPECT_EQ(Values(*form, 0), (QList<qreal>{1, 0}));  // two lines of b.txt at 50 %, the hit on the first

    // The owner drops b.txt and its row, then tells the window.
    Lang(0).RemoveFile(1);
    Lists[0]->Delete(3);
    form->HandleAppMessage(CM_DISTRIBREFRESH, 0, 0);
    EXPECT_EQ(form->Scope(), ScopeAll);
    EXPECT_EQ(form->ScopeCombo->count(), 3);
    EXPECT_EQ(form->ScopeCombo->currentText(), "All");
    EXPECT_EQ(form->HitsValue->text(), "4");
    EXPECT_EQ(DistribTotal(form->List(0)), 3);

    const intptr_t self = reinterpret_cast<intptr_t>(form.get());
    form.reset();
    ASSERT_FALSE(messenger.Entries.empty());
    const auto& last = messenger.Entries.back();
    EXPECT_EQ(last.Kind, TRecordingMessenger::rkBroadcast);
    EXPECT_EQ(last.Msg, CM_DISTRIBCLOSED);
    EXPECT_EQ(last.WParam, self);
}

TEST_F(DistributionWindowTest, TheOwnerFreeingTheWindowTakesItsFrameAlong) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    QPointer<TDistributionForm> form =
        ShowDistribution(&area, 0, {Lists[0].get(), Lists[1].get()}, {&Query, nullptr});
    ASSERT_EQ(area.subWindowList().size(), 1);
    form->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(area.subWindowList().isEmpty());
    // Closed by the user, the frame frees the window.
    form = ShowDistribution(&area, 0, {Lists[0].get(), Lists[1].get()}, {&Query, nullptr});
    area.subWindowList().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
}

TEST_F(DistributionWindowTest, SavesTheReportAndPrintsThroughTheDialog) {
    auto form = Open();
    std::string chosen = Dir.File("hits.txt");
    TFileDialogRequest asked;
    SetFileDialog([&](const TFileDialogRequest& Request) {
        asked = Request;
        return std::vector<std::string>{chosen};
    });
    ClickThroughWindow(form->SaveBtn);
    EXPECT_EQ(asked.Title, "Select where to save hits distribution");
    EXPECT_EQ(asked.DefaultSuffix, "txt");
    EXPECT_EQ(ReadWholeFile(chosen),
              "   English (United States)             German (Standard)          \r\n"
              "File name                  Hits   File name                  Hits   \r\n"
              "--------------------------------------------------------------------\r\n"
              "a.txt                         3   c.txt                         1   \r\n"
              "b.txt                         1   d.txt                         1   \r\n");
    chosen = Dir.File("missing/hits.txt");
    ClickThroughWindow(form->SaveBtn);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_EQ(Backend.Messages[0].Type, mtCustom);
    EXPECT_NE(Backend.Messages[0].Text.find(chosen), std::string::npos);

    // Printing goes to a PDF file; the page is landscape (portrait at 2 %) only for the job.
    QPrinter& printer = SharedPrinter();
    printer.setPageOrientation(QPageLayout::Portrait);
    std::vector<QPageLayout::Orientation> orientations;
    const std::string pdf = Dir.File("hits.pdf");
    SetPrintDialog([&](QPrinter& Printer) {
        orientations.push_back(Printer.pageLayout().orientation());
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(pdf));
        return true;
    });
    ClickThroughWindow(form->PrintBtn);
    const std::string landscape = ReadWholeFile(pdf);
    EXPECT_EQ(landscape.substr(0, 5), "%PDF-");
    double width = 0, height = 0;
    const size_t box = landscape.find("/MediaBox [");
    ASSERT_NE(box, std::string::npos);
    ASSERT_EQ(std::sscanf(landscape.c_str() + box, "/MediaBox [0 0 %lf %lf", &width, &height), 2);
    EXPECT_GT(width, height);
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Portrait);
    ChooseInCombo(form->ScopeCombo, 0);
    ChooseInCombo(form->StepCombo, 0);
    ClickThroughWindow(form->PrintBtn);
    EXPECT_EQ(orientations, (std::vector{QPageLayout::Landscape, QPageLayout::Portrait}));
    // Cancelled: nothing is printed.
    std::filesystem::remove(pdf);
    SetPrintDialog([](QPrinter&) { return false; });
    ClickThroughWindow(form->PrintBtn);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

// The chart's Print fails without a usable printer, says where to choose one, and the next Print, to the
// PDF file chosen then, works.
TEST_F(DistributionWindowTest, AFailedPrintLeavesThePrinterReadyForTheNext) {
    auto form = Open();
    SharedPrinter().setOutputFormat(QPrinter::PdfFormat);
    SharedPrinter().setOutputFileName(QString());
    SetPrintDialog([](QPrinter&) { return true; });
    ClickThroughWindow(form->PrintBtn);
    ASSERT_EQ(Backend.Messages.size(), 1u);
    EXPECT_NE(Backend.Messages[0].Text.find("Print Setup"), std::string::npos) << Backend.Messages[0].Text;
    const std::string pdf = Dir.File("second.pdf");
    SetPrintDialog([&](QPrinter& Printer) {
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(QString::fromStdString(pdf));
        return true;
    });
    ClickThroughWindow(form->PrintBtn);
    EXPECT_EQ(Backend.Messages.size(), 1u);
    const std::vector<std::string> texts = pdftext::PdfTexts(ReadWholeFile(pdf));
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], "Hits Distribution");
}

// Four languages with long names: the window opens wide enough for the legend to name each one whole,
// in an MDI area of 1024 x 768 as in one of 1280 x 1024.
TEST_F(DistributionWindowTest, TheLegendNamesEveryLanguageWhole) {
    AddLines(2, "e.txt", "uno\ndos", {0, 4});
    AddLines(3, "f.txt", "um\ndois", {0, 3});
    NameFourLanguages();
    std::array<std::unique_ptr<TConcordItems>, 2> More{std::make_unique<TConcordItems>(2),
                                                       std::make_unique<TConcordItems>(3)};
    for (const QSize Screen : {QSize(1024, 768), QSize(1280, 1024)}) {
        QMdiArea Area;
        TDistributionForm* Form =
            ShowOnScreen(Area, Screen, {Lists[0].get(), Lists[1].get(), More[0].get(), More[1].get()});
        ASSERT_NE(Form, nullptr);
        QApplication::processEvents();
        QStringList Shown;
        for (QGraphicsItem* Item : Form->Chart->scene()->items())
            if (auto* Text = dynamic_cast<QGraphicsTextItem*>(Item); Text && Text->isVisible())
                Shown << Text->toPlainText();
        for (int L = 0; L < 4; ++L)
            EXPECT_TRUE(Shown.contains(QString::fromStdString(Lang(L).GetLanguageName())))
                << L << " " << Shown.join(" | ").toStdString();
        EXPECT_LE(Form->parentWidget()->geometry().right(), Area.viewport()->width());
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
    }
}

// Four languages of different lengths (914, 1,065, 907 and 1,245 lines) at every step, in windows of the
// size of a 1024 x 768 and of a 1280 x 1024 screen: under each category every language's range is drawn
// whole on a line of its own, behind a square of its own bars' colour, which the legend names.
TEST_F(DistributionWindowTest, EveryLanguagesRangeIsDrawnWholeAndTiedToItsLanguage) {
    const std::array<int, 4> LineCount{914, 1065, 907, 1245};
    std::array<std::unique_ptr<TConcordItems>, 4> Hits;
    // The chart shows the file of one index in every language: the third.
    for (int L = 2; L < 4; ++L)
        for (int F = 0; F < 2; ++F)
            AddLines(L, "short" + std::to_string(L) + std::to_string(F) + ".txt", "x", {0});
    for (int L = 0; L < 4; ++L) {
        std::string Text;
        std::vector<int32_t> Starts;
        for (int I = 0; I < LineCount[size_t(L)]; ++I) {
            Starts.push_back(int32_t(Text.size()));
            Text += "w\n";
        }
        AddLines(L, "long" + std::to_string(L) + ".txt", Text, Starts);
        Hits[size_t(L)] = std::make_unique<TConcordItems>(L);
    }
    NameFourLanguages();
    const int FileScope = 2;
    for (const QSize Screen : {QSize(1024, 768), QSize(1280, 1024)}) {
        QMdiArea Area;
        TDistributionForm* Form =
            ShowOnScreen(Area, Screen, {Hits[0].get(), Hits[1].get(), Hits[2].get(), Hits[3].get()});
        ASSERT_NE(Form, nullptr);
        ChooseInCombo(Form->ScopeCombo, FileScope + 2);
        if (Form->PercentCheck->isChecked()) ClickThroughWindow(Form->PercentCheck);
        for (int StepIndex : {1, 3, 6}) {
            ChooseInCombo(Form->StepCombo, StepIndex);
            QApplication::processEvents();
            SCOPED_TRACE(std::to_string(Screen.width()) + " step " + std::to_string(StepIndex));
            // What the chart draws: the label items of the category axis, each as its lines.
            QStringList Drawn;
            QStringList DrawnHtml;
            for (QGraphicsItem* Item : Form->Chart->scene()->items())
                if (auto* Text = dynamic_cast<QGraphicsTextItem*>(Item);
                    Text && Text->isVisible() && Text->toPlainText().contains(QChar(0x25A0))) {
                    Drawn << Plain(Text->toHtml());
                    DrawnHtml << Text->toHtml();
                }
            const int Buckets = 100 / DistribSteps[size_t(StepIndex)];
            ASSERT_EQ(Drawn.size(), Buckets);
            for (int I = 0; I < Buckets; ++I) {
                QStringList Own;
                for (int L = 0; L < 4; ++L) {
                    const auto End = [&](int J) {
                        return int(std::nearbyint(double(J) * LineCount[size_t(L)] / Buckets));
                    };
                    Own << QString("%1 - %2").arg(End(I) + 1).arg(End(I + 1));
                }
                const QString Expected = Own.join(" / ");
                EXPECT_TRUE(Drawn.contains(Expected))
                    << Expected.toStdString() << " among " << Drawn.join(" | ").toStdString();
            }
            for (const QString& Label : Drawn) EXPECT_FALSE(Label.contains("...")) << Label.toStdString();
            // Each line's square has its language's colour, in language order.
            for (const QString& Html : DrawnHtml) {
                int At = 0;
                for (int L = 0; L < 4; ++L) {
                    const QColor Colour = Form->Series->barSets().at(L)->color();
                    const int Found = Html.indexOf(
                        QRegularExpression(QString("color:%1[^>]*>\\x{25A0}").arg(Colour.name())), At);
                    EXPECT_GE(Found, At) << "language " << L << " in " << Html.toStdString();
                    At = std::max(Found, At);
                }
            }
        }
        for (QMdiSubWindow* Sub : Area.subWindowList()) delete Sub;
    }
}
