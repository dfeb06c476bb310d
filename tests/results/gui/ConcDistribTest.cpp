// The query description in captioned labels: texts, the options row's layout and the panels' heights.
#include <gtest/gtest.h>

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
