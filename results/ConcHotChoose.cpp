#include "results/ConcHotChoose.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "results/ConcHotWordsOptions.h"

namespace {

constexpr int RankColumn = 1;
constexpr int WordColumn = 2;
constexpr int RankWidth = 60;

QString RankText(double Score) {
    QLocale Locale;
    Locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return Locale.toString(Score, 'f', 2);
}


}  // namespace

TChooseHotWordsForm::TChooseHotWordsForm(THotChooseModel& Model, QWidget* Parent)
    : QDialog(Parent), FModel(Model) {
    const bool HotWords = Model.Mode() == hcHotWords;
    setWindowTitle(QString::fromStdString((HotWords ? "Hot Words" : "Translations") + std::string(" - ") +
                                          LanguageNameOf(Model.Language())));
    FitWidthToTitle(this);
    WordsList = new QTreeWidget(this);
    WordsList->setColumnCount(3);
    WordsList->setHeaderLabels({"", "Rank", "Word"});
    WordsList->hideColumn(0);
    WordsList->setColumnWidth(RankColumn, RankWidth);
    WordsList->headerItem()->setTextAlignment(RankColumn, Qt::AlignRight | Qt::AlignVCenter);
    WordsList->setRootIsDecorated(false);
    WordsList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    WordsList->setSelectionBehavior(QAbstractItemView::SelectRows);
    WordsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    WordsList->setFont(LanguageFont(Model.Language(), NormalFont));
    WordsList->header()->setSectionsMovable(false);
    WordsList->setMinimumSize(260, 300);
    ChooseLabel =
        new QLabel(HotWords ? "Choose &hot words to highlight:" : "Choose &translations to highlight:", this);
    ChooseLabel->setBuddy(WordsList);

    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    OptionsBtn = new QPushButton("Options...", this);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(OptionsBtn);
    Buttons->addStretch();
    Buttons->addWidget(OkBtn);
    Buttons->addWidget(CancelBtn);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(ChooseLabel);
    Layout->addWidget(WordsList, 1);
    Layout->addLayout(Buttons);

    ShowEntries();
    connect(OkBtn, &QPushButton::clicked, this, &TChooseHotWordsForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(OptionsBtn, &QPushButton::clicked, this, &TChooseHotWordsForm::ShowOptions);
}

void TChooseHotWordsForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    const int ScrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, WordsList);
    WordsList->setColumnWidth(
        WordColumn,
        std::max(RankWidth, WordsList->width() - 2 * WordsList->frameWidth() - RankWidth - ScrollBar));
}

void TChooseHotWordsForm::ShowEntries() {
    WordsList->clear();
    const THotWordCandidates& Entries = FModel.Entries();
    for (size_t I = 0; I < Entries.size(); ++I) {
        const TFreqItem& Item = *Entries[I];
        auto* Row = new QTreeWidgetItem(WordsList);
        Row->setData(0, Qt::UserRole, qulonglong(I));
        Row->setText(RankColumn, RankText(Item.Score));
        Row->setTextAlignment(RankColumn, Qt::AlignRight | Qt::AlignVCenter);
        Row->setText(WordColumn, LangToQString(Item.Word, FModel.Language()));
        if (Item.ParadigmLinked)
            for (int Column = 0; Column < 3; ++Column) Row->setForeground(Column, Qt::red);
        Row->setSelected(Item.Chosen);
    }
}

void TChooseHotWordsForm::ShowOptions() {
    const int Mode = FModel.Mode() == hcHotWords ? hoHotWords : hoTranslations;
    if (!ShowHotWordsOptions(FModel.Language(), FModel.Config(), FModel.Options(), Mode,
                             FModel.TranslationPasses()))
        return;
    FModel.OptionsAccepted();
    ShowEntries();
}

void TChooseHotWordsForm::accept() {
    std::vector<bool> Selected(FModel.Entries().size(), false);
    for (int I = 0; I < WordsList->topLevelItemCount(); ++I) {
        const QTreeWidgetItem* Row = WordsList->topLevelItem(I);
        if (Row->isSelected()) Selected[size_t(Row->data(0, Qt::UserRole).toULongLong())] = true;
    }
    if (FModel.Confirm(Selected))
        QDialog::accept();
    else
        QDialog::reject();
}

bool ChooseHotWords(int Language, int32_t HitCount, std::unique_ptr<TFreqList>& LocalList,
                    bool& TranslationOptionsChanged, int Mode, int32_t& TranslationPasses,
                    THotWordsOptions& Options, THotWordsConfig& Config, TFreqList& Chosen,
                    TLocalListBuilder Builder) {
    THotChooseModel Model(Language, Mode, HitCount, LocalList, TranslationOptionsChanged, TranslationPasses,
                          Options, Config, Chosen, std::move(Builder));
    if (!Model.Load()) return Chosen.Count() > 0;
    TChooseHotWordsForm Form(Model, QApplication::activeWindow());
    return Form.exec() == QDialog::Accepted;
}
