#include "results/ConcDistrib.h"

#include <QFontMetrics>
#include <QLabel>
#include <QWidget>

#include "engine/ConcConfig.h"
#include "engine/ConcQueryDesc.h"
#include "engine/ConcTextProcess.h"
#include "platform/Nls.h"

namespace {

constexpr int LabelGap = 5;

QString ValueText(const std::string& Value, int32_t Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) {
        return QString::fromLatin1(Value.data(), static_cast<qsizetype>(Value.size()));
    }
    const std::u16string text = platform::CodePageToUtf16(LangCodePage(Language), Value);
    return QString::fromStdU16String(text);
}

template <size_t N>
void Fill(const std::vector<TQueryDescItem>& Items, int32_t Language, std::array<QLabel*, N>& Captions,
          std::array<QLabel*, N>& Values) {
    for (size_t i = 0; i < N && i < Items.size(); ++i) {
        if (Captions[i] != nullptr) Captions[i]->setText(QString::fromLatin1(Items[i].Caption));
        if (Values[i] != nullptr) Values[i]->setText(ValueText(Items[i].Value, Language));
    }
}

int TextWidth(const QLabel* Label) {
    return QFontMetrics(Label->font()).horizontalAdvance(Label->text());
}

int ShowPanel(QWidget* Panel, bool Visible) {
    if (Panel == nullptr) return 0;
    Panel->setVisible(Visible);
    return Visible ? Panel->height() : 0;
}

}  // namespace

int ShowQueryOptions(const TConcSearchRec& Query, TQueryOptionsLabels& Labels) {
    const TQueryDescription d = DescribeQuery(Query);
    Fill(d.Options, d.Language, Labels.OptionCaptions, Labels.OptionValues);
    Fill(d.Padding, d.Language, Labels.PaddingCaptions, Labels.PaddingValues);
    Fill(d.Heading, d.Language, Labels.HeadingCaptions, Labels.HeadingValues);
    Fill(d.Context, d.Language, Labels.ContextCaptions, Labels.ContextValues);
    int x = -1;
    for (size_t i = 0; i < Labels.OptionCaptions.size(); ++i) {
        QLabel* caption = Labels.OptionCaptions[i];
        QLabel* value = Labels.OptionValues[i];
        if (caption == nullptr || value == nullptr) continue;
        if (x >= 0) caption->move(x, caption->y());
        caption->resize(TextWidth(caption), caption->height());
        value->move(caption->x() + caption->width() + LabelGap, value->y());
        value->resize(TextWidth(value), value->height());
        x = value->x() + value->width() + LabelGap;
    }
    return ShowPanel(Labels.PaddingPanel, d.PaddingVisible) +
           ShowPanel(Labels.HeadingPanel, d.HeadingVisible) +
           ShowPanel(Labels.ContextPanel, d.ContextVisible);
}
