// A concordance window of 100,000 hits in three languages, over a corpus written to a temporary
// folder: opening it (panes built, shown, painted), paging down the primary pane with the other panes
// following, selecting to the end with Shift, and resizing. Each must stay far below a visible pause.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "engine/ConcConfig.h"
#include "engine/SynStream.h"
#include "results/ConcTessivor.h"

namespace {

constexpr int Hits = 100'000;
constexpr int Languages = 3;

std::string LineOf(int I) {
    return "some words before w" + std::to_string(I) + " hit" + std::to_string(I) +
           " and some words after it\n";
}

// One file per language of Hits lines, registered as the corpus loader registers files.
class TCorpus {
public:
    TCorpus() : FDir(std::filesystem::temp_directory_path() / "tessivor_window_bench") {
        std::filesystem::create_directories(FDir);
        InitConfigUnit();
        for (int L = 0; L < Languages; ++L) {
            if (!LanguageConfigs[size_t(L)]) LanguageConfigs[size_t(L)] = std::make_unique<TConcordConfig>(L);
            TConcordConfig& C = *LanguageConfigs[size_t(L)];
            C.SetLanguage(1033, "English (United States)");
            const std::string Path = (FDir / ("l" + std::to_string(L) + ".txt")).string();
            std::ofstream Out(Path, std::ios::binary);
            for (int I = 0; I < Hits; ++I) {
                Offsets[size_t(L)].push_back(int32_t(Out.tellp()));
                Out << LineOf(I);
            }
            Out.close();
            TNamedItem<TCorpusFileRecord> Entry;
            Entry.Name = Path;
            Entry.Object.CopyName = Path;
            C.Streams.push_back(std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite));
            C.Readers.emplace_back();
            C.Files.push_back(std::move(Entry));
            C.LineStarts.Add(nullptr);
            C.PageStarts.Add(nullptr);
            C.FileTags.Add(nullptr);
            C.SectionIndexes.Add(nullptr);
            C.ParagraphIndexes.Add(nullptr);
            C.SentenceIndexes.Add(nullptr);
        }
        LanguagesCount = Languages;
        CommonConfig->ContextType = ctxWords;
    }
    ~TCorpus() {
        ResetGlobalsForTest();
        std::filesystem::remove_all(FDir);
    }

    // A window over every hit, shown at 900 x 700.
    TTessivorForm* OpenWindow() {
        auto* Form = new TTessivorForm;
        Form->LanguageCount = Languages;
        Form->QueryText = "hit*";
        for (int L = 0; L < Languages; ++L) {
            TConcordItems& List = *Form->Lists[size_t(L)];
            List.Display.ContextType = ctxWords;
            for (int I = 0; I < Hits; ++I) {
                auto Item = std::make_unique<TConcordItem>(L);
                const std::string Hit = "hit" + std::to_string(I);
                Item->FileIndex = 0;
                Item->HitStart = Offsets[size_t(L)][size_t(I)] + int32_t(LineOf(I).find(Hit));
                Item->HitEnd = Item->HitStart + int32_t(Hit.size());
                Item->Texts.Set(0, Hit);
                Item->HitState = 1;
                Item->Sequence = I;
                List.Add(std::move(Item));
            }
        }
        Form->BuildPanels();
        Form->resize(900, 700);
        Form->show();
        Form->UpdateMatchCount();
        QApplication::processEvents();
        return Form;
    }

private:
    std::filesystem::path FDir;
    std::array<std::vector<int32_t>, Languages> Offsets;
};

TCorpus* Corpus = nullptr;

void Paint(TTessivorForm& Form) {
    for (int L = 0; L < Languages; ++L) Form.Views[size_t(L)]->viewport()->repaint();
}

void BM_OpenWindow(benchmark::State& State) {
    for (auto _ : State) {
        TTessivorForm* Form = Corpus->OpenWindow();
        Paint(*Form);
        State.PauseTiming();
        delete Form;
        State.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

// One Page Down in the primary pane: every pane follows and repaints.
void BM_PageDownAllPanes(benchmark::State& State) {
    TTessivorForm* Form = Corpus->OpenWindow();
    for (auto _ : State) {
        QTest::keyClick(Form->PrimaryView, Qt::Key_PageDown);
        Paint(*Form);
    }
    delete Form;
}
BENCHMARK(BM_PageDownAllPanes)->Unit(benchmark::kMillisecond);

// Shift+End from the first line: 100,000 lines selected in every pane.
void BM_SelectAllToTheEnd(benchmark::State& State) {
    TTessivorForm* Form = Corpus->OpenWindow();
    for (auto _ : State) {
        QTest::keyClick(Form->PrimaryView, Qt::Key_Home);
        QTest::keyClick(Form->PrimaryView, Qt::Key_End, Qt::ShiftModifier);
        Paint(*Form);
    }
    delete Form;
}
BENCHMARK(BM_SelectAllToTheEnd)->Unit(benchmark::kMillisecond);

void BM_Resize(benchmark::State& State) {
    TTessivorForm* Form = Corpus->OpenWindow();
    int Step = 0;
    for (auto _ : State) {
        Form->resize(700 + (Step++ % 2) * 200, 600);
        QApplication::processEvents();
        Paint(*Form);
    }
    delete Form;
}
BENCHMARK(BM_Resize)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    benchmark::Initialize(&argc, argv);
    TCorpus TheCorpus;
    Corpus = &TheCorpus;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
