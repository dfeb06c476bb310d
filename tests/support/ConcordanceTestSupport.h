// A concordance window of "the" over a small English-French corpus written here (six lines, each line
// one aligned unit), shown in an MDI area of a main window as the program shows its children.
// Header-only: only the window test programs, which link Qt, include it.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"

class TConcordanceWindowTest : public TCorpusTest {
protected:
    static inline const std::vector<std::string> EnglishLines = {
        "the cat sat", "the dog ran", "the cat ran", "the bird flew", "the dog sat", "the fox ran"};
    static inline const std::vector<std::string> FrenchLines = {"le chat assis",  "le chien court",
                                                                "le chat court",  "un oiseau vole",
                                                                "le chien assis", "un renard court"};

    // Writes and aligns the corpus, shows the main window at Size and opens the concordance window
    // (Concordance stays null when it does not open, which the caller's assertion reports).
    void OpenConcordance(QSize Size) {
        CommonConfig->FrequencyOfHits = 1;
        Lang(0).LanguageName = "English";
        Lang(1).LanguageName = "French";
        WriteLineAlignedFiles();
        Main.setCentralWidget(Area);
        Main.resize(Size);
        Main.show();
        auto Query = std::make_unique<TConcSearchRec>();
        Query->Names = Query->Patterns = {"the"};
        Concordance = NewConcordanceWindow(Area, std::move(Query));
    }

    void TearDown() override {
        for (QMdiSubWindow* Sub : Area->subWindowList()) delete Sub;
        TCorpusTest::TearDown();
    }

    QMainWindow Main;
    QMdiArea* Area = new QMdiArea;
    QPointer<TTessivorForm> Concordance;

private:
    void WriteLineAlignedFiles() {
        std::vector<std::string> Texts(2);
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (size_t I = 0; I < EnglishLines.size(); ++I) {
            for (int L = 0; L < 2; ++L) {
                const std::string& Line = (L == 0 ? EnglishLines : FrenchLines)[I];
                const auto Start = int32_t(Texts[size_t(L)].size());
                Texts[size_t(L)] += Line + "\n";
                (L == 0 ? Pair->Side1 : Pair->Side2).Add(Start, Start + int32_t(Line.size()) + 1, 0);
            }
        }
        AddFile(0, "en.txt", Texts[0]);
        AddFile(1, "fr.txt", Texts[1]);
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        Align12->Add(std::move(Pair));
    }
};
