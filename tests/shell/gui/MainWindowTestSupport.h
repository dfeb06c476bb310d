// The real main window over a corpus the test builds, for the tests that drive workspaces and corpora
// through the window's own commands.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "controls/FileDialogs.h"
#include "engine/ConcPrefs.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/Paths.h"
#include "shell/ConcMain.h"
#include "shell/ConcWorkOptions.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "tests/shell/gui/ModalAnswers.h"

class TMainWindowTest : public TCorpusTest {
protected:
    // Fresh preferences and a new window, which reads them as it is made: the corpus comes after. The file
    // dialog answers from FileAnswers. A test may start over with TearDown and SetUp, so nothing of the
    // round before stays.
    void SetUp() override {
        TCorpusTest::SetUp();
        Backend.Messages.clear();
        Backend.Answers.clear();
        Requests.clear();
        FileAnswers.clear();
        TempDir = platform::TempDir();
        std::filesystem::remove(std::string(std::getenv("TESSIVOR_CONFIG_DIR")) + "/" + IniFileName);
        Form = std::make_unique<TConcMainForm>();
        SetFileDialog([this](const TFileDialogRequest& Request) {
            Requests.push_back(Request);
            std::vector<std::string> Answer;
            if (!FileAnswers.empty()) {
                if (!FileAnswers.front().empty()) Answer.push_back(FileAnswers.front());
                FileAnswers.pop_front();
            }
            return Answer;
        });
    }

    void TearDown() override {
        Form.reset();
        SetFileDialog(nullptr);
        TCorpusTest::TearDown();
    }

    // Two languages of one file each, three lines of one or two sentences, read with headings, paragraphs
    // and sentences as the alignment tests expect, then processed and aligned as the program does it.
    void AlignThreeLinePair() {
        for (int L = 0; L < 2; ++L) {
            TConcordConfig& C = Lang(L);
            C.HeadingFormat = 3;
            C.ParagraphFormat = 1;
            C.SentenceFormat = 1;
            AddFile(L, L == 0 ? "en.txt" : "de.txt",
                    L == 0 ? "The house stands. It is old.\nThe river runs.\nA dog barks.\n"
                           : "Das Haus steht. Es ist alt.\nDer Fluss fliesst.\nEin Hund bellt.\n");
        }
        ASSERT_TRUE(ProcessCorpus());
        RunAlignment(false, -1, -1);
    }

    // Writes Texts[L][F] to corpus/L-F.txt and loads each language's files as "Load Corpus Files" does,
    // the files of Utf8 read through an 8-bit copy.
    void LoadLanguages(const std::vector<std::vector<std::string>>& Texts,
                       const std::vector<std::pair<size_t, size_t>>& Utf8 = {}) {
        std::filesystem::create_directories(Dir.Path() / "corpus");
        for (size_t L = 0; L < Texts.size(); ++L) {
            Lang(int(L));
            std::vector<TNewCorpusFile> New;
            for (size_t F = 0; F < Texts[L].size(); ++F)
                New.push_back(
                    {Dir.Write("corpus/" + std::to_string(L) + "-" + std::to_string(F) + ".txt", Texts[L][F]),
                     std::find(Utf8.begin(), Utf8.end(), std::pair(L, F)) != Utf8.end()});
            LoadLanguageFiles(int(L), false, false, "English (United States)", 1033, New, false);
        }
    }

    // Save Workspace As's options dialog answered with OK once it is up.
    static void AcceptWorkspaceOptions() {
        WhenModal<TWkSpaceOptionsForm>(
            [](TWkSpaceOptionsForm* Options) { QTest::mouseClick(Options->OkBtn, Qt::LeftButton); });
    }

    // An action as the user finds it: in the state the idle handler gives it, triggered when enabled.
    void Trigger(QAction* Action) {
        Form->UpdateActions();
        ASSERT_TRUE(Action->isEnabled()) << Action->text().toStdString();
        Action->trigger();
        QApplication::processEvents();
    }

    size_t FileCount() const { return LanguageConfigs[0]->Files.size(); }

    std::unique_ptr<TConcMainForm> Form;
    std::vector<TFileDialogRequest> Requests;
    std::deque<std::string> FileAnswers;  // "" cancels
};
