// The workspace reader (LoadWorkspace) on an arbitrary ".BIN" beside fixed settings and corpus files.
// Two settings files share the fixture: "Work.TWS" as saved with the seed (its end ties it to that data
// file) and "Old.TWS", the same settings as a program before seals wrote them. An input whose length
// differs from the seed's by an even number of bytes is opened as Work's data file, any other as Old's.
//
// Whatever is read, nothing crashes, every language's per-file lists stay in step, no file of the
// fixture is lost or changed (the data file included), an open either reports damage once or gives back
// every file the settings list, and an open that fails says why and keeps no corpus file, no alignment
// and no current workspace.
// Beside Work.TWS, the property that matters: nothing is ever kept that was not saved (every slot, pair,
// frequency list and word count is empty or exactly as saved), and an open that reports nothing at all
// holds exactly the values that were saved. The fixture (two languages, one file read through an 8-bit
// copy, processed and paired sentence by sentence) is saved once as a workspace whose data file is the
// first seed; the second is that file without its seal, as a program before seals wrote it.
// An input whose bytes hold an odd number of odd bytes opens the fixture as a copy of the project that
// did not keep file times (every corpus file and copy a day later), so that inputs of every length meet
// both: there the content sums of the seal decide what is kept, under the same properties.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Paths.h"
#include "shell/ConcWorkspace.h"
#include "tests/shell/WorkspaceTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Out;
    Out << In.rdbuf();
    return Out.str();
}

void WriteAll(const fs::path& Path, const std::string& Bytes) {
    fs::create_directories(Path.parent_path());
    std::ofstream(Path, std::ios::binary | std::ios::trunc) << Bytes;
}

// Sentence i of language 0 with sentence i of language 1, file by file.
std::unique_ptr<TDoubleAlignIndexes> SentencePairs() {
    auto Pairs = std::make_unique<TDoubleAlignIndexes>();
    for (size_t F = 0; F < LanguageConfigs[0]->Files.size(); ++F) {
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        const TAlignIndex* A = LanguageConfigs[0]->SentenceIndexes.GetItem(int32_t(F));
        const TAlignIndex* B = LanguageConfigs[1]->SentenceIndexes.GetItem(int32_t(F));
        for (int32_t I = 0; A && B && I < std::min(A->Count(), B->Count()); ++I) {
            Pair->Side1.Add(A->GetItem(I).Start, A->GetItem(I).End, A->GetItem(I).Length);
            Pair->Side2.Add(B->GetItem(I).Start, B->GetItem(I).End, B->GetItem(I).Length);
        }
        Pairs->Add(std::move(Pair));
    }
    return Pairs;
}

// Counts the damage reports and the boxes of one open.
class TCountingMessages : public IMessageBackend {
public:
    TCountingMessages() { SetMessageBackend(this); }
    int Show(const TMessageRequest& Request) override {
        ++Boxes;
        if (Request.Text.rfind("The workspace \"", 0) == 0 &&
            Request.Text.find("\" is damaged.") != std::string::npos)
            ++DamageReports;
        return mrOk;
    }
    int Boxes = 0;
    int DamageReports = 0;
};

TCountingMessages& Messages() {
    static TCountingMessages Counting;
    return Counting;
}

struct TFixture {
    fs::path Folder;
    std::string Workspace;     // saved with the seed, and tied to it
    std::string OldWorkspace;  // the same settings without their end
    std::string Seed;
    std::map<std::string, std::string> Saved;  // DataPieces () of the saved corpus
    std::map<fs::path, std::string> Kept;      // every file the reader must leave in place, with its bytes
    std::vector<std::vector<std::string>> Listed;  // each language's files, as the settings list them
};

bool IsDataFile(const TFixture& F, const fs::path& Path) {
    return Path == fs::path(WorkspaceBinName(F.Workspace)) ||
           Path == fs::path(WorkspaceBinName(F.OldWorkspace));
}

// Files of the fixture's folder, the private config and temporary folders left out.
std::vector<fs::path> FixtureFiles(const TFixture& F) {
    std::vector<fs::path> Files;
    for (auto It = fs::recursive_directory_iterator(F.Folder); It != fs::recursive_directory_iterator();
         ++It) {
        const std::string Name = It->path().filename().string();
        if (It.depth() == 0 && It->is_directory() && (Name == "config" || Name == "tmp")) {
            It.disable_recursion_pending();
            continue;
        }
        if (It->is_regular_file()) Files.push_back(It->path());
    }
    return Files;
}

// One time for every file of the fixture, so that every run saves the same data file and the inputs
// of one run still belong to the settings of the next.
fs::file_time_type FixtureTime() {
    using namespace std::chrono;
    // In the middle of a two-second step of the DOS time, whatever the two clocks' readings differ by.
    const auto Target = sys_days{year{2020} / 1 / 1} + hours{12} + seconds{1};
    return fs::file_time_type::clock::now() +
           duration_cast<fs::file_time_type::duration>(Target - system_clock::now());
}

// Builds the corpus and saves it as F's workspace.
bool SaveFixture(const TFixture& F) {
    InitConfigUnit();
    LanguageConfigs[1] = std::make_unique<TConcordConfig>(1);
    LanguagesCount = 2;
    const char* Texts[2][2] = {{"<p>The house stands.</p>\n<p>The river runs. It is wide.</p>\n",
                                "A dog barks. A cat sleeps.\n\nThe end.\n"},
                               {"<p>Das Haus steht.</p>\n<p>Der Fluss flie\xC3\x9Ft. Er ist breit.</p>\n",
                                "Ein Hund bellt. Eine Katze schl\xC3\xA4"
                                "ft.\n\nDas Ende.\n"}};
    for (int L = 0; L < 2; ++L) {
        LoadLanguageFiles(L, false, false, "English (United States)", 1033, {}, false);
        for (int I = 0; I < 2; ++I) {
            const fs::path Path = F.Folder / ("corpus" + std::to_string(L) + std::to_string(I) + ".txt");
            WriteAll(Path, Texts[L][I]);
            fs::last_write_time(Path, FixtureTime());
            // The copy lies beside the workspace from the start, so every name the seed stores is a bare
            // name inside the fixture.
            std::string Copy;
            if (L == 1 && I == 0) {
                Copy = (F.Folder / "corpus10_ASCII.txt").string();
                if (!ConvertUTF8File(Path.string(), Copy, LocaleCodePage(1033), nullptr)) std::abort();
                fs::last_write_time(Copy, FixtureTime());
            }
            if (!ConvertCorpusFile(Path.string(), Copy, !Copy.empty(), L)) std::abort();
        }
    }
    if (!ProcessCorpus()) std::abort();
    Align12 = SentencePairs();
    KeepLinesPages = KeepWatchedTags = KeepFrequency = KeepSegmentIndexes = true;
    return SaveWorkspace(F.Workspace);
}

TFixture MakeFixture() {
    TFixture F;
    std::string Template = (fs::temp_directory_path() / "tessivor-workspace-fuzz-XXXXXX").string();
    if (!mkdtemp(Template.data())) std::abort();
    F.Folder = Template;
    // A run that ends normally leaves nothing behind; after a crash the folder stays for a look.
    static const fs::path Remove = F.Folder;
    std::atexit([] {
        std::error_code Ignored;
        fs::remove_all(Remove, Ignored);
    });
    fs::create_directories(F.Folder / "config");
    fs::create_directories(F.Folder / "tmp");
    setenv("TESSIVOR_CONFIG_DIR", (F.Folder / "config").c_str(), 1);
    setenv("TMPDIR", (F.Folder / "tmp").c_str(), 1);

    LoadInstalledLanguages();
    F.Workspace = (F.Folder / "Work.TWS").string();
    F.OldWorkspace = (F.Folder / "Old.TWS").string();
    if (!SaveFixture(F)) std::abort();
    F.Seed = ReadAll(WorkspaceBinName(F.Workspace));
    const std::string Settings = ReadAll(F.Workspace);
    WriteAll(F.OldWorkspace, Settings.substr(0, Settings.rfind("[WorkspaceEnd]")));
    FreeLanguageConfigs();
    if (!LoadWorkspace(F.Workspace) || LanguageConfigs[1]->Files.size() != 2 ||
        LanguageConfigs[1]->Files[0].Object.CopyName != (F.Folder / "corpus10_ASCII.txt").string() ||
        CorpusNeedsProcessing() || Messages().Boxes != 0) {
        std::fprintf(stderr, "the seed workspace does not open whole\n");
        std::abort();
    }
    F.Saved = DataPieces();
    for (const fs::path& Path : FixtureFiles(F))
        if (!IsDataFile(F, Path)) F.Kept[Path] = ReadAll(Path);
    for (int L = 0; L < LanguagesCount; ++L) {
        F.Listed.emplace_back();
        for (const auto& File : LanguageConfigs[size_t(L)]->Files) F.Listed.back().push_back(File.Name);
    }
    FreeLanguageConfigs();
    return F;
}

TFixture& Fixture() {
    Messages();
    static TFixture F = MakeFixture();
    return F;
}

// An open that did not report damage gives back every file of every language the settings list, and
// pairs whose sides are ordered (their lengths may differ: the editor makes such pairs); a damaged one
// says so once and asks nothing more of the user.
void CheckNothingSilentlyLost(const std::vector<std::vector<std::string>>& Listed) {
    const TCountingMessages& M = Messages();
    if (M.DamageReports > 1 || M.Boxes > 32) __builtin_trap();
    for (const auto* Pairs : {&Align12, &Align13, &Align14})
        for (int32_t I = 0; *Pairs && I < (*Pairs)->Count(); ++I)
            if (const TDoubleAlignIndex* Pair = (*Pairs)->GetItem(I))
                if (!Pair->Side1.IsOrdered() || !Pair->Side2.IsOrdered()) __builtin_trap();
    if (M.DamageReports == 1) return;
    if (LanguagesCount != int(Listed.size())) __builtin_trap();
    for (size_t L = 0; L < Listed.size(); ++L) {
        const TConcordConfig& Config = *LanguageConfigs[L];
        if (Config.Files.size() != Listed[L].size()) __builtin_trap();
        for (size_t I = 0; I < Listed[L].size(); ++I)
            if (Config.Files[I].Name != Listed[L][I]) __builtin_trap();
    }
}

// Beside the settings saved with the seed, whatever is kept was saved, and an open without a word
// holds all of it.
void CheckNothingSilentlyUsed(const std::map<std::string, std::string>& Saved) {
    const std::map<std::string, std::string> Now = DataPieces();
    if (!FirstForeignPiece(Saved, Now).empty()) __builtin_trap();
    if (Messages().Boxes == 0 && Now != Saved) __builtin_trap();
}

// Every corpus file and copy of the fixture at Time.
void SetCorpusTimes(const TFixture& F, fs::file_time_type Time) {
    for (const auto& Entry : F.Kept)
        if (Entry.first.extension() == ".txt") fs::last_write_time(Entry.first, Time);
}

bool IsCopy(const fs::path& Path) {
    return Path.filename().string().find("_ASCII") != std::string::npos;
}

// The copies a run made go; the stored copy, which a changed file's stored age rightly deletes, comes
// back (a copy made again holds the same bytes); any other fixture file removed or changed is a finding,
// and so is a data file that is not the input any more.
void CheckAndRestore(const TFixture& F, const fs::path& DataFile, std::string_view Input) {
    for (const auto& [Path, Bytes] : F.Kept) {
        if (IsCopy(Path) && !fs::exists(Path)) {
            WriteAll(Path, Bytes);
        } else if (!fs::exists(Path) || ReadAll(Path) != Bytes) {
            __builtin_trap();
        }
    }
    if (ReadAll(DataFile) != Input) __builtin_trap();
    for (const fs::path& Path : FixtureFiles(F))
        if (!F.Kept.count(Path) && !IsDataFile(F, Path)) fs::remove(Path);
}

// A workspace that could not be opened says why and leaves nothing of it behind: no corpus file in any
// language, no alignment, and no current workspace.
void CheckRefusal() {
    if (Messages().Boxes == 0 || !WorkspaceFileName.empty()) __builtin_trap();
    for (const auto& Config : LanguageConfigs)
        if (Config && !Config->Files.empty()) __builtin_trap();
    for (const auto* Pairs : {&Align12, &Align13, &Align14})
        if (*Pairs && (*Pairs)->Count() > 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    const TFixture& F = Fixture();
    // The saved data file seeds the first corpus folder given.
    for (int I = 1; I < *Argc; ++I) {
        const std::string Arg = (*Argv)[I];
        if (Arg.empty() || Arg[0] == '-' || !fs::is_directory(Arg)) continue;
        if (fs::is_empty(Arg)) {
            WriteAll(fs::path(Arg) / "seed.bin", F.Seed);
            TMemoryStream Seed(F.Seed);
            Seed.SetPosition(int64_t(F.Seed.size()) - 8);
            WriteAll(fs::path(Arg) / "seed-unsealed.bin", F.Seed.substr(0, size_t(ReadStreamInteger(Seed))));
        }
        break;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const TFixture& F = Fixture();
    const bool Tied = (Size - F.Seed.size()) % 2 == 0;
    // A stored name with a "/" may be absolute or climb out of the fixture, and one with a drive colon
    // is taken from the working folder: the reader would open (and, for a changed file, convert) files
    // of the machine it runs on. Without both every name resolves inside the fixture. Beside the settings
    // saved with the seed no name is taken from a data file whose checksums are not the saved ones, so
    // every input is welcome there (the seed's own seal may well hold such bytes).
    if (!Tied && (std::memchr(Data, '/', Size) || std::memchr(Data, ':', Size))) return -1;
    const std::string& Workspace = Tied ? F.Workspace : F.OldWorkspace;
    const std::string_view Input(reinterpret_cast<const char*>(Data), Size);
    WriteAll(WorkspaceBinName(Workspace), std::string(Input));
    uint8_t Odd = 0;
    for (size_t I = 0; I < Size; ++I) Odd ^= Data[I] & 1;
    const bool CopiedWithoutTimes = Odd != 0;
    if (CopiedWithoutTimes) SetCorpusTimes(F, FixtureTime() + std::chrono::hours(26));
    FreeLanguageConfigs();
    Messages().Boxes = Messages().DamageReports = 0;
    const bool Opened = LoadWorkspace(Workspace);
    for (int L = 0; L < LanguagesCount; ++L)
        if (!LanguageConfigs[size_t(L)] || !LanguageConfigs[size_t(L)]->FileListsConsistent())
            __builtin_trap();
    if (Opened) CheckNothingSilentlyLost(F.Listed);
    if (Opened && Tied) CheckNothingSilentlyUsed(F.Saved);
    if (!Opened) CheckRefusal();
    CorpusNeedsProcessing();
    CheckAndRestore(F, WorkspaceBinName(Workspace), Input);
    // A copy made again, or put back, has the fixture's time too, as the next input expects.
    SetCorpusTimes(F, FixtureTime());
    return 0;
}
