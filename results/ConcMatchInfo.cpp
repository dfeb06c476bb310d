#include "results/ConcMatchInfo.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "results/ConcHitInfo.h"

TMatchInfoForm::TMatchInfoForm(const TConcordItem& Item, QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("Info");
    resize(430, 312);
    THitInfoTexts Info;
    try {
        Info = HitInfoTexts(Item);
    } catch (const std::exception& E) {
        ShowError(E.what());
        Info = THitInfoTexts{"N/A", "N/A", "N/A", "N/A", "N/A", "N/A", {}};
    }
    auto* Position = new QGroupBox(" Position Information ", this);
    auto* Form = new QFormLayout(Position);
    FileValue = new QLabel(QString::fromStdString(Info.File), Position);
    AbsoluteLineValue = new QLabel(QString::fromStdString(Info.AbsoluteLine), Position);
    SegmentValue = new QLabel(QString::fromStdString(Info.Segment), Position);
    PageValue = new QLabel(QString::fromStdString(Info.Page), Position);
    LineValue = new QLabel(QString::fromStdString(Info.Line), Position);
    Form->addRow("File:", FileValue);
    Form->addRow("Absolute Line:", AbsoluteLineValue);
    Form->addRow("Segment:", SegmentValue);
    Form->addRow("Page:", PageValue);
    Form->addRow("Line:", LineValue);

    auto* Match = new QGroupBox(" Match ", this);
    auto* MatchLayout = new QVBoxLayout(Match);
    MatchLabel = new QLabel(LangToQString(Info.Match, Item.Language), Match);
    MatchLabel->setFont(LanguageFont(Item.Language, HiliteFont));
    // The hit reads here as it does in the lines: in the highlight font's colour too.
    if (Item.Language >= 0 && Item.Language < MaxLanguages && LanguageConfigs[size_t(Item.Language)]) {
        QPalette Palette = MatchLabel->palette();
        Palette.setColor(QPalette::WindowText,
                         ColorRefToQColor(LanguageConfigs[size_t(Item.Language)]->Fonts[HiliteFont].Color));
        MatchLabel->setPalette(Palette);
    }
    MatchLayout->addWidget(MatchLabel);

    TagsGroup = new QGroupBox(" Tracked Tags ", this);
    // The list shows the values of the normal tags tracked at the hit.
    TagsGroup->setTitle(" Normal Tags ");
    auto* TagsLayout = new QVBoxLayout(TagsGroup);
    TagsList = new QTreeWidget(TagsGroup);
    TagsList->setColumnCount(2);
    TagsList->setHeaderLabels({"Name", "Value"});
    TagsList->setRootIsDecorated(false);
    TagsList->setColumnWidth(0, 100);
    for (const auto& [Name, Value] : Info.Tags)
        TagsList->addTopLevelItem(
            new QTreeWidgetItem({QString::fromStdString(Name), LangToQString(Value, Item.Language)}));
    TagsLayout->addWidget(TagsList);

    CloseBtn = new QPushButton("Close", this);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Position);
    Layout->addWidget(Match);
    Layout->addWidget(TagsGroup, 1);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(CloseBtn);
    Layout->addLayout(Buttons);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void ShowMatchInfo(const TConcordItem& Item) {
    if (!HitHasContext(Item)) return;
    TMatchInfoForm Form(Item, QApplication::activeWindow());
    Form.exec();
}
