#include "results/ConcParaSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcTextProcess.h"
#include "results/ConcQueryRules.h"
#include "results/ConcSearchQuery.h"

TParaSearchForm::TParaSearchForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Parallel Search");
    LanguagesCombo = new QComboBox(this);
    for (int N = 2; N <= std::max(LanguagesCount, 2); ++N) LanguagesCombo->addItem(QString::number(N));
    auto* Label = new QLabel("&Parallel Languages:", this);
    Label->setBuddy(LanguagesCombo);
    OkBtn = new QPushButton("OK", this);
    OkBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);

    auto* Layout = new QVBoxLayout(this);
    auto* Top = new QHBoxLayout;
    Top->addWidget(Label);
    Top->addWidget(LanguagesCombo, 1);
    Layout->addLayout(Top);
    auto* Bevel = new QFrame(this);
    Bevel->setFrameShape(QFrame::HLine);
    Bevel->setFrameShadow(QFrame::Sunken);
    Layout->addWidget(Bevel);
    FRowsLayout = new QVBoxLayout;
    FRowsLayout->setSpacing(4);
    Layout->addLayout(FRowsLayout);
    auto* Bottom = new QHBoxLayout;
    Bottom->addStretch();
    Bottom->addWidget(OkBtn);
    Bottom->addWidget(CancelBtn);
    Layout->addLayout(Bottom);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    // A fixed-size layout overrides the dialog's own minimum width; a strut in the layout holds the
    // 397-pixel client width, so the rows' query labels get room.
    Layout->addStrut(397 - Layout->contentsMargins().left() - Layout->contentsMargins().right());

    connect(LanguagesCombo, &QComboBox::currentIndexChanged, this,
            [this](int Index) { SetRowCount(Index + 2); });
    connect(OkBtn, &QPushButton::clicked, this, &TParaSearchForm::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    SetRowCount(2);
    FRows.front()->LanguageList->setFocus();
}

void TParaSearchForm::SetRowCount(int Count) {
    while (RowCount() > Count) {
        delete FRows.back()->Box;
        FRows.pop_back();
    }
    std::vector<std::string> Names;
    AddLanguageNames(Names);
    while (RowCount() < Count) {
        const int I = RowCount();
        auto R = std::make_unique<TRow>();
        R->Query = std::make_unique<TConcSearchRec>();
        R->Query->Language = I;
        R->Box = new QWidget(this);
        auto* Grid = new QGridLayout(R->Box);
        Grid->setContentsMargins(0, 0, 0, 0);
        R->LanguageList = new QComboBox(R->Box);
        for (const std::string& N : Names) R->LanguageList->addItem(QString::fromStdString(N));
        R->LanguageList->setCurrentIndex(I);
        R->NotCheck = new QCheckBox("Not", R->Box);
        R->NotCheck->setVisible(I >= 1);
        R->PatternBtn = new QPushButton("Pattern...", R->Box);
        R->PatternBtn->setFixedWidth(60);
        R->QueryLabel = new QLabel(R->Box);
        R->ParametersLabel = new QLabel(R->Box);
        auto* Bevel = new QFrame(R->Box);
        Bevel->setFrameShape(QFrame::HLine);
        Bevel->setFrameShadow(QFrame::Sunken);
        Grid->addWidget(new QLabel("Language:", R->Box), 0, 0);
        Grid->addWidget(R->LanguageList, 0, 1, 1, 3);
        Grid->addWidget(R->NotCheck, 1, 0);
        Grid->addWidget(R->PatternBtn, 1, 1);
        Grid->addWidget(R->QueryLabel, 1, 2, 1, 2);
        Grid->addWidget(R->ParametersLabel, 2, 0, 1, 4);
        Grid->addWidget(Bevel, 3, 0, 1, 4);
        Grid->setColumnStretch(3, 1);
        FRowsLayout->addWidget(R->Box);
        connect(R->LanguageList, &QComboBox::activated, this, [this, I](int L) { RowLanguageChanged(I, L); });
        connect(R->PatternBtn, &QPushButton::clicked, this, [this, I] { EditPattern(I); });
        FRows.push_back(std::move(R));
        RefreshLabels(*FRows.back());
    }
    UpdateTabOrder();
}

void TParaSearchForm::UpdateTabOrder() {
    QWidget* Previous = LanguagesCombo;
    for (const auto& R : FRows) {
        for (QWidget* W : std::initializer_list<QWidget*>{R->LanguageList, R->NotCheck, R->PatternBtn}) {
            setTabOrder(Previous, W);
            Previous = W;
        }
    }
    setTabOrder(Previous, OkBtn);
    setTabOrder(OkBtn, CancelBtn);
}

void TParaSearchForm::RefreshLabels(TRow& R) {
    const QString Text = LangToQString(ParallelRowQueryText(*R.Query), R.Query->Language);
    R.QueryLabel->setFont(LanguageFont(R.Query->Language, SystemFont));
    R.QueryLabel->setText(
        R.QueryLabel->fontMetrics().elidedText(Text, Qt::ElideRight, std::max(R.QueryLabel->width(), 200)));
    R.QueryLabel->setToolTip(Text);
    R.ParametersLabel->setText(QString::fromStdString(ParallelRowParameters(*R.Query)));
}

void TParaSearchForm::RowLanguageChanged(int Index, int Language) {
    TRow& R = Row(Index);
    if (Language == R.Query->Language) return;
    R.Query->Language = Language;
    R.Query->Names.clear();
    R.Query->Patterns.clear();
    RefreshLabels(R);
}

void TParaSearchForm::EditPattern(int Index) {
    TRow& R = Row(Index);
    std::unique_ptr<TConcSearchRec> Result =
        ShowSearchQuery(true, -1, false, R.Query.get(), R.Query->Language, true);
    if (!Result) return;
    R.Query->Assign(*Result);
    RefreshLabels(R);
}

std::vector<std::unique_ptr<TConcSearchRec>> TParaSearchForm::Queries() const {
    std::vector<std::unique_ptr<TConcSearchRec>> Copies;
    for (size_t I = 0; I < FRows.size(); ++I) {
        Copies.push_back(TConcSearchRec::CreateCopy(*FRows[I]->Query));
        Copies.back()->Not = I > 0 && FRows[I]->NotCheck->isChecked();
    }
    return Copies;
}

void TParaSearchForm::accept() {
    std::vector<const TConcSearchRec*> Rows;
    for (const auto& R : FRows) Rows.push_back(R->Query.get());
    const TParallelCheck Check = CheckParallelRows(Rows);
    if (Check.Row >= 0) {
        ShowError(Check.Message);
        TRow& R = Row(Check.Row);
        (Check.LanguageList ? static_cast<QWidget*>(R.LanguageList) : static_cast<QWidget*>(R.PatternBtn))
            ->setFocus();
        return;
    }
    QDialog::accept();
}

bool ShowParallelSearch(std::vector<std::unique_ptr<TConcSearchRec>>& Queries) {
    TParaSearchForm Form(QApplication::activeWindow());
    if (Form.exec() != QDialog::Accepted) return false;
    Queries = Form.Queries();
    return true;
}
