#include "alignment/ConcSectionAlign.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QVBoxLayout>
#include <filesystem>

#include "alignment/ConcAlignUtils.h"
#include "engine/ConcIndex.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"

namespace {

QPointer<QMdiArea> WindowsArea;
QPointer<TConcSectionsAlignForm> TheForm;

constexpr const char* PlacementSection = "SectionsAlignWindow";
constexpr int PreviewLines = 3;

const TConcordConfig* ConfigOf(int Language) {
    return Language >= 0 && Language < MaxLanguages ? LanguageConfigs[size_t(Language)].get() : nullptr;
}

TAlignIndex* SlotOf(const TAlignIndexes& Indexes, int File) {
    return File >= 0 && File < Indexes.Count() ? Indexes.GetItem(File) : nullptr;
}

int SectionCount(int Language, int File) {
    const TConcordConfig* C = ConfigOf(Language);
    const TAlignIndex* S = C ? SlotOf(C->SectionIndexes, File) : nullptr;
    return S ? S->Count() : 0;
}

std::string LowerCaseUtf8(const std::string& Name) {
    return QString::fromStdString(Name).toLower().toStdString();
}

// Draws one row of the list: the two languages' preview lines in their halves, the middle column
// between them and a line under the row.
class TSectionRowDelegate : public QStyledItemDelegate {
public:
    explicit TSectionRowDelegate(TConcSectionsAlignForm* Form) : QStyledItemDelegate(Form), FForm(Form) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        const QRect R = Option.rect;
        const QRect Middle = FForm->MiddleColumn();
        const bool Selected = Option.state & QStyle::State_Selected;
        const QPalette& P = Option.palette;
        const TColor Back =
            QColorToColorRef(Selected ? P.color(QPalette::Highlight) : P.color(QPalette::Base));
        const TColor Fore =
            QColorToColorRef(Selected ? P.color(QPalette::HighlightedText) : P.color(QPalette::Text));
        const QRect Halves[2] = {
            QRect(R.left(), R.top(), Middle.left() - R.left(), R.height() - 1),
            QRect(Middle.right() + 1, R.top(), R.right() - Middle.right(), R.height() - 1)};
        for (int Side = 0; Side < 2; ++Side) {
            const int Language = Side == 0 ? FForm->Language1() : FForm->Language2();
            std::vector<TSegLine> Lines;
            if (!FForm->Closing())
                for (std::string& L :
                     SectionPreviewLines(Language, FForm->File(), Index.row(), Halves[Side].width()))
                    Lines.push_back({std::move(L), {}});
            int Last = 0;
            QRect Caret;
            DrawSegmentText(Painter, Halves[Side], Fore, Language, Last, Caret, Lines, -1, 0, Back);
        }
        Painter->setPen(Qt::black);
        Painter->drawLine(R.left(), R.bottom(), R.right(), R.bottom());
        const QRect Column(Middle.left(), R.top(), Middle.width(), R.height());
        Painter->fillRect(Column, P.color(QPalette::Window));
        Painter->setPen(P.color(QPalette::Light));
        Painter->drawLine(Column.right() - 1, Column.top(), Column.right() - 1, Column.bottom());
        Painter->setPen(P.color(QPalette::Dark));
        Painter->drawLine(Column.right(), Column.top(), Column.right(), Column.bottom());
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {FForm->width(), FForm->RowHeight()};
    }

private:
    TConcSectionsAlignForm* FForm;
};

}  // namespace

void SetAlignWindowsArea(QMdiArea* Area) {
    WindowsArea = Area;
}

QMdiArea* AlignWindowsArea() {
    return WindowsArea;
}

TAlignWindowsPlacement PlaceAlignWindows(QSize Room, int SectionsMinWidth, int ViewMinWidth) {
    constexpr int Gap = 4;
    const int Width = Room.width(), Height = std::max(1, Room.height() - 2 * Gap);
    const int Usable = std::max(0, Width - 3 * Gap);
    const int SectionsWidth =
        std::max(Usable * 2 / 5, std::min(SectionsMinWidth, std::max(1, Width - 2 * Gap)));
    const int ViewWidth =
        std::max(Usable - SectionsWidth, std::min(ViewMinWidth, std::max(1, Width - 2 * Gap)));
    const int ViewLeft = std::max(Gap, std::min(2 * Gap + SectionsWidth, Width - Gap - ViewWidth));
    return {QRect(Gap, Gap, SectionsWidth, Height), QRect(ViewLeft, Gap, ViewWidth, Height)};
}

QSize AlignWindowsRoom() {
    const intptr_t Client = SendToMainForm(CM_GETCLIENTSIZE, 0, 0);
    const int W = int((Client >> 16) & 0xFFFF), H = int(Client & 0xFFFF);
    return W > 0 && H > 0 ? QSize(W, H) : QSize();
}

std::vector<std::string> SectionPreviewLines(int Language, int File, int Section, int Width) {
    std::vector<std::string> Lines;
    const TConcordConfig* C = ConfigOf(Language);
    if (!C) return Lines;
    const TAlignIndex* Sections = SlotOf(C->SectionIndexes, File);
    const TAlignIndex* Paragraphs = SlotOf(C->ParagraphIndexes, File);
    if (!Sections || !Paragraphs || Section < 0 || Section >= Sections->Count()) return Lines;
    try {
        TBufStream& Reader = FileReader(Language, File);
        ConfigureBufStream(Reader);
        TSuppressFlags Flags;
        Flags.HideTags = Flags.HidePOSTags = true;
        TWidthFitter Fitter(AlignLanguageFont(Language), Width, Language);
        const TCharSet NonWord = AlignNonWordSet(Language);
        const TUnitRun Run = UnitsOfSection(*Paragraphs, Sections->GetItem(Section));
        for (int32_t K = Run.First; K <= Run.Last && int(Lines.size()) < PreviewLines; ++K) {
            const TSegment P = Paragraphs->GetItem(K);
            if (P.Start >= P.End) continue;
            // Only what three lines take is read and measured, however long the paragraph.
            TLineWrapper Wrapper([&](std::string_view Rest) { return Fitter(Rest); }, NonWord);
            int32_t ReadTo = P.Start;
            for (int32_t Piece = 1024; int(Lines.size()) < PreviewLines;) {
                std::string Line;
                if (Wrapper.Next(Line)) {
                    Lines.push_back(std::move(Line));
                } else if (Wrapper.AtEnd()) {
                    break;
                } else {
                    FeedVisibleText(Wrapper, Reader, ReadTo, P.End, Flags, Piece);
                    Piece = std::min(Piece * 2, 1 << 20);
                }
            }
        }
    } catch (const std::exception&) {
        // A file whose stream is gone shows no text; the window closes on the message that follows.
    }
    return Lines;
}

TConcSectionsAlignForm::TConcSectionsAlignForm(int Language1, int Language2, int File,
                                               TSectionsCallback Callback, QWidget* Parent)
    : TAppMessageForm(Parent), FLanguage{Language1, Language2}, FFile(File), FCallback(std::move(Callback)) {
    setWindowTitle("Sections");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    auto* Header = new QWidget(this);
    for (int Side = 0; Side < 2; ++Side) {
        FPanel[Side] = new QFrame(Header);
        static_cast<QFrame*>(FPanel[Side])->setFrameStyle(QFrame::Panel | QFrame::Raised);
        auto* PanelLayout = new QVBoxLayout(FPanel[Side]);
        PanelLayout->setContentsMargins(4, 2, 4, 2);
        PanelLayout->setSpacing(1);
        FLanguageLabel[Side] = new QLabel(FPanel[Side]);
        FFileLabel[Side] = new QLabel(FPanel[Side]);
        FFileLabel[Side]->setTextFormat(Qt::PlainText);
        PanelLayout->addWidget(FLanguageLabel[Side]);
        PanelLayout->addWidget(FFileLabel[Side]);
        for (QWidget* W : {FPanel[Side], static_cast<QWidget*>(FLanguageLabel[Side]),
                           static_cast<QWidget*>(FFileLabel[Side])})
            W->installEventFilter(this);
    }
    Header->setFixedHeight(FPanel[0]->sizeHint().height());
    Layout->addWidget(Header);
    FList = new QListWidget(this);
    FList->setObjectName("lsbSections");
    FList->setUniformItemSizes(true);
    FList->setItemDelegate(new TSectionRowDelegate(this));
    FList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Layout->addWidget(FList);
    // The keyboard moves the selection as the mouse does, and both drive the Alignment View.
    connect(FList, &QListWidget::currentRowChanged, this, [this](int) {
        if (FCallback) FCallback(srSelected);
    });
    connect(FList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) {
        if (FCallback) FCallback(srDoubleClicked);
    });
    SetLabels();
    RefreshCounts();

    const QSize Room = AlignWindowsRoom();
    resize(Room.isEmpty() ? QSize(480, 360) : PlaceAlignWindows(Room, 0, 0).Sections.size());
}

TConcSectionsAlignForm::~TConcSectionsAlignForm() {
    FClosing = true;
    TSectionsCallback Callback = std::move(FCallback);
    if (Callback) Callback(srDestroyed);
}

int TConcSectionsAlignForm::CurrentSection() const {
    return FList->currentRow();
}

void TConcSectionsAlignForm::SetCurrentSection(int Section) {
    const QSignalBlocker Quiet(FList);
    FList->setCurrentRow(Section);
    FList->viewport()->update();
}

void TConcSectionsAlignForm::RefreshCounts() {
    const int Rows = std::max(SectionCount(FLanguage[0], FFile), SectionCount(FLanguage[1], FFile));
    const QSignalBlocker Quiet(FList);
    while (FList->count() > Rows) delete FList->takeItem(FList->count() - 1);
    while (FList->count() < Rows) FList->addItem("???");
    FList->viewport()->update();
}

int TConcSectionsAlignForm::RowHeight() const {
    return 3 * std::max(LanguageLineHeight(FLanguage[0]), LanguageLineHeight(FLanguage[1])) + 4;
}

QRect TConcSectionsAlignForm::MiddleColumn() const {
    const int X = FList->viewport()->width() / 2 - 2;
    return QRect(X, 0, 4, FList->viewport()->height());
}

void TConcSectionsAlignForm::SetLabels() {
    for (int Side = 0; Side < 2; ++Side) {
        const TConcordConfig* C = ConfigOf(FLanguage[Side]);
        const std::string Name = C ? C->GetLanguageName() : std::string();
        FLanguageLabel[Side]->setText(QString::fromStdString("Language: " + Name));
        std::string File;
        if (C && FFile >= 0 && FFile < int(C->Files.size())) {
            File = C->Files[size_t(FFile)].Name;
            if (!FShowFullPath) File = std::filesystem::path(File).filename().string();
        }
        FFileLabel[Side]->setText(QString::fromStdString("File: " + LowerCaseUtf8(File)));
    }
}

void TConcSectionsAlignForm::ArrangeColumns() {
    const QRect Middle = MiddleColumn();
    QWidget* Header = FPanel[0]->parentWidget();
    const int Left = FList->viewport()->mapTo(this, QPoint(Middle.left() + 4, 0)).x();
    FPanel[0]->setGeometry(0, 0, Left, Header->height());
    FPanel[1]->setGeometry(Left, 0, Header->width() - Left, Header->height());
    FList->viewport()->update();
}

void TConcSectionsAlignForm::resizeEvent(QResizeEvent* Event) {
    TAppMessageForm::resizeEvent(Event);
    ArrangeColumns();
}

bool TConcSectionsAlignForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::MouseButtonPress) {
        FShowFullPath = !FShowFullPath;
        SetLabels();
        return true;
    }
    return TAppMessageForm::eventFilter(Watched, Event);
}

void TConcSectionsAlignForm::closeEvent(QCloseEvent* Event) {
    try {
        SaveFormPlacement(GetIniFileName(), PlacementSection, this, true);
    } catch (const std::exception&) {
        // The placement is a convenience: a preferences file that cannot be written keeps the old one.
    }
    TAppMessageForm::closeEvent(Event);
}

void TConcSectionsAlignForm::CloseForGood() {
    if (FClosing) return;
    FClosing = true;
    if (auto* Sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        Sub->close();
    else
        close();
}

intptr_t TConcSectionsAlignForm::HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) {
    switch (Msg) {
        case CM_FILESEXCHANGED: {
            // The source language's files decide the index, as in the Alignment View.
            const auto* Pair = reinterpret_cast<const TFilePair*>(LParam);
            if (WParam != FLanguage[0]) break;
            if (Pair && FFile == Pair->First)
                FFile = Pair->Second;
            else if (Pair && FFile == Pair->Second)
                FFile = Pair->First;
            SetLabels();
            FList->viewport()->update();
            break;
        }
        case CM_DROPFILE:
            if (WParam != FLanguage[0] && WParam != FLanguage[1]) break;
            if (LParam == FFile)
                CloseForGood();
            else if (LParam < FFile && WParam == FLanguage[0])
                --FFile;
            break;
        case CM_FONTCHANGED:
            if (LParam == CorpusFont) {
                FList->doItemsLayout();
                FList->viewport()->update();
            }
            break;
        case CM_ALIGNMENTDROPPED:
        case CM_SEGMENTINDEXDROPPED:
            CloseForGood();
            break;
        case CM_MARKERSCHANGED:
            FList->viewport()->update();
            break;
        default:
            break;
    }
    return 0;
}

TConcSectionsAlignForm* SectionsAlignForm() {
    return TheForm;
}

TConcSectionsAlignForm* ShowSectionsAlignForm(int Language1, int Language2, int File,
                                              TSectionsCallback Callback, int Section) {
    if (TheForm && TheForm->File() == File && TheForm->Language1() == Language1 &&
        TheForm->Language2() == Language2) {
        TheForm->SetCallback(std::move(Callback));
        TheForm->SetCurrentSection(Section);
        QWidget* Frame = TheForm->parentWidget() ? TheForm->parentWidget() : TheForm.data();
        Frame->showNormal();
        Frame->raise();
        if (WindowsArea)
            if (auto* Sub = qobject_cast<QMdiSubWindow*>(Frame)) WindowsArea->setActiveSubWindow(Sub);
        return TheForm;
    }
    if (TheForm) {
        // The old window goes without calling back: its successor takes over the pair of windows.
        TheForm->SetCallback(nullptr);
        QWidget* Frame = TheForm->parentWidget() ? TheForm->parentWidget() : TheForm.data();
        delete Frame;
    }
    auto* Form = new TConcSectionsAlignForm(Language1, Language2, File, std::move(Callback));
    TheForm = Form;
    // Selected before it shows: a list that gets the focus without a current row selects its first.
    Form->SetCurrentSection(Section);
    QMdiSubWindow* Sub = ShowMdiChild(WindowsArea, Form);
    QWidget* Frame = Sub ? static_cast<QWidget*>(Sub) : Form;
    // Beside the Alignment View rather than over its first column; the outer size counts, frame and all.
    if (const QSize Room = AlignWindowsRoom(); !Room.isEmpty())
        Frame->setGeometry(PlaceAlignWindows(Room, Frame->minimumSizeHint().width(), 0).Sections);
    else
        Frame->move(4, 4);
    try {
        LoadFormPlacement(GetIniFileName(), PlacementSection, Form, true);
    } catch (const std::exception&) {
        // An unreadable preferences file leaves the default placement.
    }
    Form->SetCurrentSection(Section);
    return Form;
}
