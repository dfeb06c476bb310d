#include "shell/concTxtCfgDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "results/ConcSentOptions.h"
#include "shell/ParaLoadModel.h"

namespace {

const char* const MarkersFormat = "HTML/SGML Markers";

// A page with a "Start tag:" and a "Stop tag:" edit.
QWidget* MarkersPage(QLineEdit*& Start, QLineEdit*& Stop, QWidget* Parent) {
    auto* Page = new QWidget(Parent);
    auto* Form = new QFormLayout(Page);
    Form->setContentsMargins(0, 0, 0, 0);
    Start = new QLineEdit(Page);
    Stop = new QLineEdit(Page);
    Form->addRow("Start tag:", Start);
    Form->addRow("Stop tag:", Stop);
    return Page;
}

QWidget* EditPage(const char* Caption, QLineEdit*& Edit, QWidget* Parent) {
    auto* Page = new QWidget(Parent);
    auto* Form = new QFormLayout(Page);
    Form->setContentsMargins(0, 0, 0, 0);
    Edit = new QLineEdit(Page);
    Form->addRow(Caption, Edit);
    return Page;
}

// A group with its list of formats to the left and the page of the chosen format to the right. The
// pages are added by the caller; the last page is the empty one shown for a format without its own.
QGroupBox* FormatGroup(const char* Title, QComboBox*& Box, QStackedWidget*& Pages, QWidget* Parent) {
    auto* Group = new QGroupBox(Title, Parent);
    auto* Row = new QHBoxLayout(Group);
    Box = new QComboBox(Group);
    Pages = new QStackedWidget(Group);
    Row->addWidget(Box, 0, Qt::AlignTop);
    Row->addWidget(Pages, 1);
    return Group;
}

// The page an entry of a list shows; entries beyond PageOf (and none) show the last, empty page.
void FollowFormat(QComboBox* Box, QStackedWidget* Pages, std::vector<int> PageOf) {
    auto Show = [Box, Pages, PageOf] {
        const int Entry = Box->currentIndex();
        Pages->setCurrentIndex(Entry >= 0 && Entry < int(PageOf.size()) ? PageOf[size_t(Entry)]
                                                                        : Pages->count() - 1);
    };
    QObject::connect(Box, &QComboBox::currentIndexChanged, Pages, Show);
    Show();
}

// A stored format the list has an entry for is selected; one it has none for leaves it without a
// selection, so that OK keeps it.
void SelectFormat(QComboBox* Box, int Format) {
    Box->setCurrentIndex(Format < Box->count() ? Format : -1);
}

}  // namespace

TTxtFmtConfigDialog::TTxtFmtConfigDialog(int Language, bool Aligned, QWidget* Parent)
    : QDialog(Parent), FLanguage(Language), FAligned(Aligned) {
    setWindowTitle("Text format");
    const TConcordConfig& Config = *LanguageConfigs.at(size_t(Language));
    FSentDelimiters = Config.SentDelimiters;
    FSmartAbbrDetect = Config.SmartAbbrDetect;
    FTrailingQuotes = Config.includeTrailingQuotes;
    FSentenceExceptions = Config.SentenceExceptions;

    HeadingsGroup = FormatGroup(" Headings ", HeadingFormatBox, HeadingPages, this);
    HeadingFormatBox->addItems({MarkersFormat, "Pattern", "Regular expression"});
    HeadingPages->addWidget(MarkersPage(HStartEdit, HStopEdit, HeadingPages));
    HeadingPages->addWidget(EditPage("Pattern:", HPatternEdit, HeadingPages));
    HeadingPages->addWidget(EditPage("RegExp:", HRegExpEdit, HeadingPages));
    HeadingPages->addWidget(new QWidget(HeadingPages));
    FollowFormat(HeadingFormatBox, HeadingPages, {0, 1, 2});

    ParagraphsGroup = FormatGroup(" Paragraphs ", ParagraphFormatBox, ParagraphPages, this);
    ParagraphFormatBox->addItems(
        {MarkersFormat, "New Line delimited", "Two New Lines delimited", "Indented"});
    ParagraphPages->addWidget(MarkersPage(PStartEdit, PStopEdit, ParagraphPages));
    ParagraphPages->addWidget(new QWidget(ParagraphPages));
    FollowFormat(ParagraphFormatBox, ParagraphPages, {0});

    SentencesGroup = FormatGroup(" Sentences ", SentenceFormatBox, SentencePages, this);
    SentenceFormatBox->addItems({MarkersFormat, "Automatic recognition"});
    SentencePages->addWidget(MarkersPage(SStartEdit, SStopEdit, SentencePages));
    auto* OptionsPage = new QWidget(SentencePages);
    OptionsBtn = new QPushButton("&Options", OptionsPage);
    (new QHBoxLayout(OptionsPage))->addWidget(OptionsBtn, 0, Qt::AlignLeft | Qt::AlignTop);
    SentencePages->addWidget(OptionsPage);
    SentencePages->addWidget(new QWidget(SentencePages));
    FollowFormat(SentenceFormatBox, SentencePages, {0, 1});

    auto* Buttons = NewOkCancelRow(this, OkBtn, CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(HeadingsGroup);
    Layout->addWidget(ParagraphsGroup);
    Layout->addWidget(SentencesGroup);
    Layout->addLayout(Buttons);
    Layout->setSizeConstraint(QLayout::SetFixedSize);

    ShowStored();
    const QFont Font = LanguageFont(Language, SystemFont);
    for (QLineEdit* Edit :
         {HStartEdit, HStopEdit, HPatternEdit, HRegExpEdit, PStartEdit, PStopEdit, SStartEdit, SStopEdit})
        Edit->setFont(Font);

    connect(OptionsBtn, &QPushButton::clicked, this, [this] { ShowSentenceOptions(FLanguage); });
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TTxtFmtConfigDialog::ShowStored() {
    const TConcordConfig& C = *LanguageConfigs.at(size_t(FLanguage));
    // Alignment by markup fixes headings and paragraphs: their groups go and the dialog shrinks.
    if (FAligned) {
        HeadingsGroup->hide();
        ParagraphsGroup->hide();
    } else {
        SelectFormat(HeadingFormatBox, C.HeadingFormat);
        if (C.HeadingFormat == 0) {
            HStartEdit->setText(LangToQString(C.HStart, FLanguage));
            HStopEdit->setText(LangToQString(C.HStop, FLanguage));
        } else if (C.HeadingFormat == 1) {
            HPatternEdit->setText(LangToQString(C.HPattern, FLanguage));
        } else if (C.HeadingFormat == 2) {
            HRegExpEdit->setText(LangToQString(C.HPattern, FLanguage));
        }
        SelectFormat(ParagraphFormatBox, C.ParagraphFormat);
        if (C.ParagraphFormat == 0) {
            PStartEdit->setText(LangToQString(C.PStart, FLanguage));
            PStopEdit->setText(LangToQString(C.PStop, FLanguage));
        }
    }
    SelectFormat(SentenceFormatBox, C.SentenceFormat);
    if (C.SentenceFormat == 0) {
        SStartEdit->setText(LangToQString(C.SStart, FLanguage));
        SStopEdit->setText(LangToQString(C.SStop, FLanguage));
    }
    adjustSize();
}

bool TTxtFmtConfigDialog::ReadEdit(QLineEdit* Edit, std::string& Bytes) {
    if (QStringToLang(Edit->text(), FLanguage, Bytes)) return true;
    ShowError(UnmappableTextMessage);
    Edit->setFocus();
    return false;
}

void TTxtFmtConfigDialog::accept() {
    TTextFormatEdits Edits;
    Edits.HeadingFormat = HeadingFormatBox->currentIndex();
    Edits.ParagraphFormat = ParagraphFormatBox->currentIndex();
    Edits.SentenceFormat = SentenceFormatBox->currentIndex();
    QLineEdit* Pattern = Edits.HeadingFormat == 2 ? HRegExpEdit : HPatternEdit;
    if (!ReadEdit(HStartEdit, Edits.HStart) || !ReadEdit(HStopEdit, Edits.HStop) ||
        !ReadEdit(Pattern, Edits.HPattern) || !ReadEdit(PStartEdit, Edits.PStart) ||
        !ReadEdit(PStopEdit, Edits.PStop) || !ReadEdit(SStartEdit, Edits.SStart) ||
        !ReadEdit(SStopEdit, Edits.SStop))
        return;
    TConcordConfig* Config = LanguageConfigs.at(size_t(FLanguage)).get();
    if (Config) FChanged = ApplyTextFormat(*Config, Edits, FAligned);
    QDialog::accept();
}

void TTxtFmtConfigDialog::reject() {
    TConcordConfig* Config = LanguageConfigs.at(size_t(FLanguage)).get();
    if (!FClosingByBox && Config) {
        Config->SentDelimiters = FSentDelimiters;
        Config->SmartAbbrDetect = FSmartAbbrDetect;
        // Every sentence option goes back: the options dialog stores all of them at once.
        Config->includeTrailingQuotes = FTrailingQuotes;
        Config->SentenceExceptions = FSentenceExceptions;
    }
    QDialog::reject();
}

void TTxtFmtConfigDialog::closeEvent(QCloseEvent* Event) {
    FClosingByBox = true;
    QDialog::closeEvent(Event);
    FClosingByBox = false;
}

bool EditTextFormat(int Language, bool Aligned, int Left, int Top) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[size_t(Language)]) return false;
    TTxtFmtConfigDialog Form(Language, Aligned, QApplication::activeWindow());
    Form.move(Left, Top);
    return Form.exec() == QDialog::Accepted && Form.Changed();
}
