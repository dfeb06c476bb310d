// The corpus road through the real main window: the first activation's loading dialog answered through
// the file dialog hook, the conversion, the corpus pass, the alignment, a search from the menu into a
// concordance window, and unloading.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "controls/FileDialogs.h"
#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcLangs.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "results/ConcSearchQuery.h"
#include "results/ConcTessivor.h"
#include "shell/ConcMain.h"
#include "shell/ConcParaLoad.h"
#include "tests/shell/gui/ModalAnswers.h"
#include "tests/support/TestSupport.h"

namespace {

void Settle() {
    for (int I = 0; I < 5; ++I) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

class CorpusRoadTest : public testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        std::filesystem::remove(std::string(std::getenv("TESSIVOR_CONFIG_DIR")) + "/" + IniFileName);
        LoadInstalledLanguagesFrom({1033, 1036, 1031});
    }
    void TearDown() override {
        Form.reset();
        Settle();
        SetFileDialog(nullptr);
        FreeInstalledLanguages();
        ResetGlobalsForTest();
    }

    TTempDir Dir;
    TScriptedBackend Script;
    std::unique_ptr<TConcMainForm> Form;
};

}  // namespace

TEST_F(CorpusRoadTest, ANewCorpusIsLoadedProcessedAlignedAndUnloaded) {
    const std::vector<std::string> Files = {
        Dir.Write("en.txt", "The cat sleeps.\nThe dog runs.\nBirds sing in summer.\n"),
        Dir.Write("fr.txt", "Le chat dort.\nLe chien court.\nLes oiseaux chantent en \xE9t\xE9.\n"),
        Dir.Write("de.txt",
                  "Die Katze schl\xC3\xA4"
                  "ft.\nDer Hund l\xC3\xA4uft.\nV\xC3\xB6gel singen im Sommer.\n")};
    const std::vector<std::string> Names = {LanguageNameOfLCID(1033), LanguageNameOfLCID(1036),
                                            LanguageNameOfLCID(1031)};
    bool DialogSeen = false;
    WhenModal<TParaLoadForm>([&](TParaLoadForm* Dialog) {
        DialogSeen = true;
        EXPECT_TRUE(Dialog->Model().NewCorpus());
        FillLoadDialog(Dialog, Names, Files);
        Dialog->Panel(2).FileList->item(0)->setSelected(true);
        Dialog->Panel(2).Utf8Check->click();
        Dialog->AlignFormatBox->setCurrentIndex(1);  // one segment per line
        Dialog->OkBtn->click();
    });

    InitConfigUnit();
    Form = std::make_unique<TConcMainForm>();
    Form->show();
    for (int I = 0; I < 100 && !Form->Activated(); ++I) Settle();
    Settle();
    ASSERT_TRUE(DialogSeen);
    EXPECT_TRUE(Script.Messages.empty()) << Script.Texts().front();

    // Loaded: three languages, each with its file; the UTF-8 file is read through its 8-bit copy.
    ASSERT_EQ(LanguagesCount, 3);
    for (int L = 0; L < 3; ++L) {
        ASSERT_EQ(LanguageConfigs[size_t(L)]->Files.size(), 1u) << L;
        EXPECT_EQ(LanguageConfigs[size_t(L)]->GetLanguageName(), Names[size_t(L)]);
    }
    const TCorpusFileRecord& German = LanguageConfigs[2]->Files[0].Object;
    EXPECT_TRUE(German.Converted);
    const std::string Copy = German.CopyName;
    EXPECT_EQ(ReadWholeFile(Copy),
              "Die Katze schl\xE4"
              "ft.\nDer Hund l\xE4uft.\nV\xF6gel singen im Sommer.\n");
    EXPECT_EQ(CommonConfig->AlignFormat, 1);

    // Processed: word counts in panel 1; aligned line by line with both targets.
    EXPECT_EQ(LanguageConfigs[0]->GetWordCount(), 10);
    EXPECT_EQ(LanguageConfigs[2]->GetWordCount(), 10);
    EXPECT_EQ(Form->LanguagePanel()->text(), "10 / 11 / 10");
    EXPECT_EQ(Form->HintPanel()->text(), " 1 parallel file loaded");
    EXPECT_TRUE(CorpusAligned());
    for (TDoubleAlignIndexes* Pairs : {Align12.get(), Align13.get()}) {
        ASSERT_NE(Pairs, nullptr);
        ASSERT_EQ(Pairs->Count(), 1);
        const TDoubleAlignIndex* Pair = Pairs->GetItem(0);
        ASSERT_NE(Pair, nullptr);
        EXPECT_EQ(Pair->Side1.Count(), Pair->Side2.Count());
        EXPECT_GE(Pair->Side1.Count(), 3);
    }
    Form->UpdateActions();
    EXPECT_TRUE(Form->UnloadCorpusAction->isEnabled());
    EXPECT_TRUE(Form->SearchOptionsAction->isEnabled());
    EXPECT_FALSE(Form->AlignCorpusAction->isEnabled()) << "aligned already";

    // Searched from the menu: the hit in its line, beside the aligned lines of both translations.
    CommonConfig->FrequencyOfHits = 1;
    Form->UpdateActions();
    ASSERT_TRUE(Form->SearchAction->isEnabled());
    WhenModal<TSearchQueryForm>([](TSearchQueryForm* Query) {
        Query->PatternBox->setEditText("dog");
        Query->OkBtn->click();
    });
    Form->SearchAction->trigger();
    Settle();
    ASSERT_EQ(Form->MdiArea()->subWindowList().size(), 1);
    auto* Concordance = qobject_cast<TTessivorForm*>(Form->MdiArea()->subWindowList().front()->widget());
    ASSERT_NE(Concordance, nullptr);
    EXPECT_EQ(Concordance->StatusPanel(0)->text(), "1 match");
    ASSERT_EQ(Concordance->Lists[2]->Count(), 1);
    EXPECT_NE(Concordance->Adapters[0]->Get(0).find("dog"), std::string::npos);
    EXPECT_EQ(Concordance->Adapters[1]->Get(0), "Le chien court.");
    EXPECT_EQ(Concordance->Adapters[2]->Get(0), "Der Hund l\xE4uft.");
    Form->MdiArea()->setActiveSubWindow(Form->MdiArea()->subWindowList().front());
    Form->UpdateActions();
    EXPECT_TRUE(Form->CollocateFrequencyDataMenu->menuAction()->isEnabled())
        << "a concordance window is active";

    // Unloaded: nothing registered, no word list, the copy gone, the languages and their settings kept.
    Form->UnloadCorpusAction->trigger();
    Settle();
    EXPECT_EQ(LanguagesCount, 3);
    for (int L = 0; L < 3; ++L) {
        const TConcordConfig& C = *LanguageConfigs[size_t(L)];
        EXPECT_TRUE(C.Files.empty() && C.Streams.empty() && C.Readers.empty()) << L;
        EXPECT_EQ(C.LineStarts.Count() + C.PageStarts.Count() + C.FileTags.Count() +
                      C.SectionIndexes.Count() + C.ParagraphIndexes.Count() + C.SentenceIndexes.Count(),
                  0)
            << L;
        EXPECT_EQ(C.GetLanguageName(), Names[size_t(L)]);
        EXPECT_FALSE(C.FreqList) << "the word list of files no longer loaded, language " << L;
    }
    EXPECT_FALSE(Align12 || Align13 || Align14);
    EXPECT_FALSE(std::filesystem::exists(Copy));
    EXPECT_EQ(Form->HintPanel()->text(), " No files added");
    EXPECT_TRUE(Form->MdiArea()->subWindowList().empty());
    EXPECT_EQ(Form->LanguagePanel()->text(), "");
    EXPECT_EQ(WaitCount, 0);
    Form->UpdateActions();
    EXPECT_FALSE(Form->UnloadCorpusAction->isEnabled());

    // Load Corpus File(s) on the current corpus brings the files back, processed and aligned again.
    WhenModal<TParaLoadForm>([&](TParaLoadForm* Dialog) {
        EXPECT_FALSE(Dialog->Model().NewCorpus());
        ASSERT_EQ(Dialog->PanelCount(), 3);
        for (int Language = 0; Language < 3; ++Language) {
            SetFileDialog([&, Language](const TFileDialogRequest&) {
                return std::vector<std::string>{Files[size_t(Language)]};
            });
            Dialog->Panel(Language).AddBtn->click();
        }
        Dialog->OkBtn->click();
    });
    Form->LoadCorpusFileAction->trigger();
    Settle();
    EXPECT_TRUE(CorpusAligned());
    ASSERT_TRUE(Align13 && Align13->Count() == 1 && Align13->GetItem(0));
    EXPECT_EQ(Form->LanguagePanel()->text(), "10 / 11 / 10");
    EXPECT_FALSE(LanguageConfigs[2]->Files.at(0).Object.Converted) << "added again without its mark";
}
