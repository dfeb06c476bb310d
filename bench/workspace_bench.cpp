// Measures what a workspace saves: processes and aligns a two-language corpus, saves it as a
// workspace, frees it and opens the workspace again, and prints the time of each step and how much
// faster the reopening is than the processing and aligning it replaces.
//
//   workspace_bench FOLDER [MEGABYTES]
//
// The corpus is FOLDER/source.txt and FOLDER/target.txt; when they are missing they are generated with
// "corpus_bench --generate-pair" (beside this program) at MEGABYTES per language (100 when not given):
// tagged headings, paragraphs and sentences, the target's sentences in another vocabulary. The
// workspace is FOLDER/Bench.TWS with its Bench.BIN. It also times the check for unsaved changes that exit,
// Unload Corpus and opening another workspace run first (saving and opening include taking that state). The preferences are read from and written to a
// fresh folder, never the user's.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "alignment/ConcParaAligners.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "shell/ConcWorkspace.h"
#include "shell/WorkspaceChanges.h"

namespace fs = std::filesystem;

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point Start) {
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

[[noreturn]] void Fail(const std::string& Problem) {
    std::fprintf(stderr, "workspace_bench: %s\n", Problem.c_str());
    std::exit(1);
}

void GenerateWhenMissing(const fs::path& Source, const fs::path& Target, int Megabytes) {
    if (fs::exists(Source) && fs::exists(Target)) return;
    const fs::path Generator = fs::read_symlink("/proc/self/exe").parent_path() / "corpus_bench";
    const std::string Command = "'" + Generator.string() + "' --generate-pair '" + Source.string() + "' '" +
                                Target.string() + "' " + std::to_string(Megabytes);
    std::printf("generating %d MB per language with corpus_bench\n", Megabytes);
    if (std::system(Command.c_str()) != 0) Fail("could not generate the corpus");
}

// The generated corpus marks headings, paragraphs and sentences with tags.
void Configure(TConcordConfig& Config) {
    Config.HeadingFormat = 0;
    Config.HStart = "<h>";
    Config.HStop = "</h>";
    Config.ParagraphFormat = 0;
    Config.PStart = "<p>";
    Config.PStop = "</p>";
    Config.SentenceFormat = 0;
    Config.SStart = "<s>";
    Config.SStop = "</s>";
}

int32_t Count(const TIntegerList* List) {
    return List ? List->Count() : -1;
}

// What must come back from the workspace: word counts, sentence counts and the aligned pairs.
std::string Summary() {
    std::string Text;
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        Text += "language " + std::to_string(L) + ": " + std::to_string(Config.GetWordCount()) + " words, " +
                std::to_string(Count(Config.SentenceIndexes.GetItem(0))) + " sentences, " +
                std::to_string(Config.FreqList ? Config.FreqList->Count() : -1) + " distinct words\n";
    }
    const TDoubleAlignIndex* Pairs = Align12 ? Align12->GetItem(0) : nullptr;
    Text += "aligned pairs: " + std::to_string(Pairs ? Pairs->Side1.Count() : -1) + "\n";
    return Text;
}

}  // namespace

int main(int Argc, char** Argv) {
    if (Argc < 2 || Argc > 3) {
        std::fprintf(stderr, "usage: workspace_bench FOLDER [MEGABYTES]\n");
        return 2;
    }
    const fs::path Folder = fs::absolute(Argv[1]);
    const int Megabytes = Argc == 3 ? std::atoi(Argv[2]) : 100;
    fs::create_directories(Folder);
    const fs::path Source = Folder / "source.txt", Target = Folder / "target.txt";
    GenerateWhenMissing(Source, Target, Megabytes);
    const fs::path Config = Folder / "config";
    fs::create_directories(Config);
    setenv("TESSIVOR_CONFIG_DIR", Config.c_str(), 1);

    LoadInstalledLanguages();
    InitConfigUnit();
    CommonConfig->TagStart = '<';
    CommonConfig->TagStop = '>';
    CommonConfig->AlignFormat = 0;
    KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = true;
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguagesCount = 2;

    const auto Processing = TClock::now();
    for (int L = 0; L < 2; ++L) {
        Configure(*LanguageConfigs[size_t(L)]);
        LoadLanguageFiles(L, false, false, "English (United States)", 1033,
                          {{(L == 0 ? Source : Target).string()}}, false);
        if (LanguageConfigs[size_t(L)]->Files.size() != 1) Fail("could not register the corpus files");
    }
    if (!ProcessCorpus()) Fail("the corpus pass did not complete");
    const double ProcessSeconds = SecondsSince(Processing);
    const auto Aligning = TClock::now();
    RunAlignment(false, -1, -1);
    const double AlignSeconds = SecondsSince(Aligning);
    if (!CorpusAligned()) Fail("the corpus is not aligned");
    const std::string Before = Summary();

    const std::string Workspace = (Folder / "Bench.TWS").string();
    const auto Saving = TClock::now();
    if (!SaveWorkspace(Workspace)) Fail("could not save the workspace");
    const double SaveSeconds = SecondsSince(Saving);

    FreeLanguageConfigs();
    const auto Opening = TClock::now();
    if (!LoadWorkspace(Workspace)) Fail("could not open the workspace");
    const double OpenSeconds = SecondsSince(Opening);
    if (CorpusNeedsProcessing() || !CorpusAligned()) Fail("the reopened corpus needs processing or aligning");
    if (Summary() != Before) Fail("the reopened corpus differs:\n" + Before + "---\n" + Summary());
    const auto Checking = TClock::now();
    if (WorkspaceChanged()) Fail("the reopened workspace counts as changed");
    const double CheckSeconds = SecondsSince(Checking);

    const double Corpus = double(fs::file_size(Source) + fs::file_size(Target)) / (1024.0 * 1024.0);
    const double Data = double(fs::file_size(WorkspaceBinName(Workspace))) / (1024.0 * 1024.0);
    std::printf("%s", Before.c_str());
    std::printf("corpus: %.1f MB in two languages; workspace data file: %.1f MB\n", Corpus, Data);
    std::printf("processing: %.2f s, aligning: %.2f s, together: %.2f s\n", ProcessSeconds, AlignSeconds,
                ProcessSeconds + AlignSeconds);
    std::printf("saving the workspace: %.2f s\n", SaveSeconds);
    std::printf("reopening the workspace: %.2f s (%.1fx faster than processing and aligning)\n", OpenSeconds,
                OpenSeconds > 0 ? (ProcessSeconds + AlignSeconds) / OpenSeconds : 0.0);
    std::printf("checking for unsaved changes: %.2f s\n", CheckSeconds);
    return 0;
}
