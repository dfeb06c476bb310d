// A concordance window of "the" over a small English-French corpus written here (six lines, each line
// one aligned unit), shown in an MDI area of a main window as the program shows its children. German and
// Spanish translations make a corpus of three or four languages when a test asks for them.
// Header-only: only the window test programs, which link Qt, include it.
#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <array>
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
    static inline const std::vector<std::string> GermanLines = {"die Katze sass", "der Hund lief",
                                                                "die Katze lief", "ein Vogel flog",
                                                                "der Hund sass",  "ein Fuchs lief"};
    static inline const std::vector<std::string> SpanishLines = {"el gato sentado",  "el perro corre",
                                                                 "el gato corre",    "un pajaro vuela",
                                                                 "el perro sentado", "un zorro corre"};

    // Writes and aligns the corpus of the first Languages languages (2 to 4), shows the main window at
    // Size and opens the concordance window of Query (Concordance stays null when it does not open, which
    // the caller's assertion reports). Lines replaces the English lines when given (as many as the
    // others).
    void OpenConcordance(QSize Size, int Languages = 2, const std::string& Query = "the",
                         const std::vector<std::string>& Lines = {}) {
        CommonConfig->FrequencyOfHits = 1;
        const char* Names[4] = {"English", "French", "German", "Spanish"};
        for (int L = 0; L < Languages; ++L) Lang(L).LanguageName = Names[L];
        WriteLineAlignedFiles(Languages, Lines.empty() ? EnglishLines : Lines);
        Main.setCentralWidget(Area);
        Main.resize(Size);
        Main.show();
        auto Record = std::make_unique<TConcSearchRec>();
        Record->Names = Record->Patterns = {Query};
        Concordance = NewConcordanceWindow(Area, std::move(Record));
    }

    // Gives every file its line starts, as the corpus pass would, so that status texts name lines.
    void IndexLines() {
        for (int L = 0; L < LanguagesCount; ++L) {
            auto Starts = std::make_unique<TIntegerList>();
            for (const auto& [Start, End] : FUnits[size_t(L)]) Starts->Add(Start);
            Lang(L).LineStarts.SetItem(0, std::move(Starts));
        }
    }

    void TearDown() override {
        for (QMdiSubWindow* Sub : Area->subWindowList()) delete Sub;
        TCorpusTest::TearDown();
    }

    QMainWindow Main;
    QMdiArea* Area = new QMdiArea;
    QPointer<TTessivorForm> Concordance;

private:
    void WriteLineAlignedFiles(int Languages, const std::vector<std::string>& First) {
        const std::vector<std::string>* Texts[4] = {&First, &FrenchLines, &GermanLines, &SpanishLines};
        const char* Files[4] = {"en.txt", "fr.txt", "de.txt", "es.txt"};
        for (int L = 0; L < Languages; ++L) {
            std::string Text;
            for (const std::string& Line : *Texts[L]) {
                const auto Start = int32_t(Text.size());
                Text += Line + "\n";
                FUnits[size_t(L)].push_back({Start, int32_t(Text.size())});
            }
            AddFile(L, Files[L], Text);
        }
        std::unique_ptr<TDoubleAlignIndexes>* Aligns[3] = {&Align12, &Align13, &Align14};
        for (int L = 1; L < Languages; ++L) {
            auto Pair = std::make_unique<TDoubleAlignIndex>();
            for (size_t I = 0; I < FUnits[0].size(); ++I) {
                Pair->Side1.Add(FUnits[0][I].first, FUnits[0][I].second, 0);
                Pair->Side2.Add(FUnits[size_t(L)][I].first, FUnits[size_t(L)][I].second, 0);
            }
            *Aligns[L - 1] = std::make_unique<TDoubleAlignIndexes>();
            (*Aligns[L - 1])->Add(std::move(Pair));
        }
    }

    // Each language's units (its lines with their line feed): start and end.
    std::array<std::vector<std::pair<int32_t, int32_t>>, 4> FUnits;
};
