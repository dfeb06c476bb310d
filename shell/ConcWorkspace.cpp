#include "shell/ConcWorkspace.h"

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "controls/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Header = "CONCORDS";
constexpr int64_t SectionsStart = 24;
constexpr const char* AlignTags[3] = {"ALIGN12", "ALIGN13", "ALIGN14"};
constexpr const char* ParaAlignTags[3] = {"PARAALIGN12", "PARAALIGN13", "PARAALIGN14"};

std::unique_ptr<TDoubleAlignIndexes>* AlignSlot(int K) {
    return K == 0 ? &Align12 : K == 1 ? &Align13 : &Align14;
}

bool StartsWith(const std::string& S, const std::string& Prefix) {
    return !Prefix.empty() && S.compare(0, Prefix.size(), Prefix) == 0;
}

// A stored name: relative to the workspace's folder when it lies below it.
std::string StoredName(const std::string& Name, const std::string& Folder) {
    return StartsWith(Name, Folder) ? Name.substr(Folder.size()) : Name;
}

void RemoveQuietly(const std::string& Path) {
    std::error_code Ignored;
    if (!Path.empty()) fs::remove(Path, Ignored);
}

// ---- Saving ----------------------------------------------------------------------------------------

// Copies the converted files still in the temporary folder beside the workspace and reads them there.
bool MoveConvertedCopies(const std::string& FileName) {
    const std::string Temp = platform::WithTrailingSlash(TempDir);
    for (int L = 0; L < LanguagesCount; ++L) {
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            TCorpusFileRecord& Record = Config.Files[I].Object;
            if (!Record.Converted || !StartsWith(Record.CopyName, Temp)) continue;
            const std::string NewName = MakeAsciiCopyName(Config.Files[I].Name, FileName);
            std::error_code Error;
            if (NewName.empty() ||
                !fs::copy_file(Record.CopyName, NewName, fs::copy_options::overwrite_existing, Error)) {
                ShowError("Can't save the ASCII converted file.");
                return false;
            }
            if (Config.Streams[I]) Config.Streams[I]->Reopen(NewName);
            RemoveQuietly(Record.CopyName);
            Record.CopyName = NewName;
        }
    }
    return true;
}

void WriteFiles(TStream& S, const TConcordConfig& Config, const std::string& Folder) {
    WriteStreamString(S, "FILES");
    WriteStreamInteger(S, static_cast<int32_t>(Config.Files.size()));
    for (const auto& File : Config.Files) {
        WriteStreamString(S, StoredName(File.Name, Folder));
        WriteStreamInteger(S, File.Object.WordCount);
        WriteStreamInteger(S, platform::FileAge(File.Name));
        WriteStreamBoolean(S, File.Object.Converted);
        if (File.Object.Converted) WriteStreamString(S, StoredName(File.Object.CopyName, Folder));
    }
}

void WriteLanguage(TStream& S, const TConcordConfig& Config, const std::string& Folder) {
    WriteFiles(S, Config, Folder);
    if (KeepLinesPages) {
        WriteStreamString(S, "LINES");
        Config.LineStarts.SaveToStream(S);
        WriteStreamString(S, "PAGES");
        Config.PageStarts.SaveToStream(S);
    }
    if (KeepWatchedTags) {
        WriteStreamString(S, "TAGS");
        Config.FileTags.SaveToStream(S);
    }
    if (KeepFrequency && Config.FreqList) {
        WriteStreamString(S, "FREQUENCY");
        Config.FreqList->SaveToStream(S);
    }
    if (KeepSegmentIndexes) {
        WriteStreamString(S, "HEADINGS");
        Config.SectionIndexes.SaveToStream(S);
        WriteStreamString(S, "PARAGRAPHS");
        Config.ParagraphIndexes.SaveToStream(S);
        WriteStreamString(S, "SENTENCES");
        Config.SentenceIndexes.SaveToStream(S);
    }
}

void WriteBin(const std::string& BinName, const std::string& Folder) {
    TFileStream S(BinName, fmCreate);
    WriteStreamString(S, Header);
    WriteStreamInteger(S, 0);
    WriteStreamInteger(S, WorkspaceVersion);
    WriteStreamInteger(S, LanguagesCount);
    for (int L = 0; L < LanguagesCount; ++L) WriteLanguage(S, *LanguageConfigs[size_t(L)], Folder);
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, static_cast<int32_t>(Trailer));
    S.Seek(0, soEnd);
    if (KeepSegmentIndexes)
        for (int K = 0; K < 3; ++K)
            if (const auto& Pairs = *AlignSlot(K)) {
                WriteStreamString(S, AlignTags[K]);
                Pairs->SaveToStream(S);
            }
    if (!S.Flush()) throw EConcError("Unable to write file: " + BinName + ".");
}

// A name beside Target for a file being written, unique to this process.
std::string PendingName(const std::string& Target) {
    return Target + ".saving-" + std::to_string(getpid());
}

// ---- Loading ---------------------------------------------------------------------------------------

class EWorkspaceRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TReader {
    TStream& S;
    int32_t Version = 0;
    std::string Folder;
    std::string Tag;

    void NextTag() {
        if (S.Remaining() <= 0) {
            Tag.clear();
            return;
        }
        Tag = ReadStreamString(S);
    }
};

// The per-file lists of a language hold one slot per file, whatever a damaged block held.
template <class List>
void FitToFiles(List& L, size_t Files) {
    while (size_t(L.Count()) < Files) L.Add(nullptr);
    while (size_t(L.Count()) > Files) L.Delete(L.Count() - 1);
}

// An entry that keeps the per-file lists in step for a file that could not be registered.
void AddEmptyEntry(TConcordConfig& Config) {
    Config.AddFile({}, nullptr, nullptr);
}

// Whether Copy is named as MakeAsciiCopyName names the copies of File ("<stem>_ASCII<ext>" or
// "<stem>_ASCII_<k><ext>", in any folder). The copy of a changed file is deleted, so a stored name that
// is anything else (the file itself, some other file) must never be taken for a copy.
bool IsCopyNameOf(const std::string& Copy, const std::string& File) {
    const fs::path CopyPath(Copy), FilePath(File);
    if (CopyPath.extension() != FilePath.extension()) return false;
    const std::string Stem = CopyPath.stem().string();
    const std::string Prefix = FilePath.stem().string() + "_ASCII";
    if (Stem.compare(0, Prefix.size(), Prefix) != 0) return false;
    const std::string Number = Stem.substr(Prefix.size());
    return Number.empty() || (Number.size() > 1 && Number[0] == '_' &&
                              Number.find_first_not_of("0123456789", 1) == std::string::npos);
}

void RegisterStoredFile(int L, const std::string& Stored, const std::string& Name, const std::string& Copy,
                        bool Converted) {
    TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    const size_t Before = Config.Files.size();
    std::error_code Error;
    if (!fs::exists(Name, Error)) {
        ShowError("File \"" + Stored + "\" not found.");
    } else {
        // A copy that is gone, or a name that is not one of the file's copies, is made again from the file.
        const std::string UsableCopy =
            Converted && IsCopyNameOf(Copy, Name) && fs::exists(Copy, Error) ? Copy : std::string();
        ConvertCorpusFile(Name, UsableCopy, Converted, L);
    }
    if (Config.Files.size() == Before) AddEmptyEntry(Config);
}

void ReadFiles(TReader& R, int L, std::vector<int32_t>& Ages) {
    const int32_t Count = ClampCount(ReadStreamInteger(R.S), R.S.Remaining(), 12);
    for (int32_t I = 0; I < Count; ++I) {
        const std::string Stored = ReadStreamString(R.S);
        const int32_t Words = ReadStreamInteger(R.S);
        const int32_t Age = ReadStreamInteger(R.S);
        bool Converted = false;
        std::string StoredCopy;
        if (R.Version == WorkspaceVersion) {
            Converted = ReadStreamBoolean(R.S);
            if (Converted) StoredCopy = ReadStreamString(R.S);
        }
        const std::string Name = ResolveWorkspacePath(Stored, R.Folder);
        const std::string Copy =
            StoredCopy.empty() ? std::string() : ResolveWorkspacePath(StoredCopy, R.Folder);
        RegisterStoredFile(L, Stored, Name, Copy, Converted);
        LanguageConfigs[size_t(L)]->Files.back().Object.WordCount = Words;
        Ages.push_back(Age);
    }
}

void ReadLanguage(TReader& R, int L, std::vector<int32_t>& Ages) {
    TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    if (R.Tag == "FILES") {
        ReadFiles(R, L, Ages);
        R.NextTag();
    }
    const size_t Files = Config.Files.size();
    auto Block = [&](const char* Name, auto& List) {
        if (R.Tag != Name) return;
        List.LoadFromStream(R.S);
        FitToFiles(List, Files);
        R.NextTag();
    };
    Block("LINES", Config.LineStarts);
    Block("PAGES", Config.PageStarts);
    Block("TAGS", Config.FileTags);
    if (R.Tag == "FREQUENCY") {
        Config.FreqList.reset();
        auto List = std::make_unique<TFreqList>(L);
        if (List->LoadFromStream(R.S)) Config.FreqList = std::move(List);
        R.NextTag();
    }
    Block("HEADINGS", Config.SectionIndexes);
    Block("PARAGRAPHS", Config.ParagraphIndexes);
    Block("SENTENCES", Config.SentenceIndexes);
}

void ReadTrailer(TReader& R) {
    for (R.NextTag(); !R.Tag.empty(); R.NextTag()) {
        int K = -1;
        bool Discard = false;
        for (int I = 0; I < 3; ++I) {
            if (R.Tag == AlignTags[I]) K = I;
            if (R.Tag == ParaAlignTags[I]) K = I, Discard = true;
        }
        // An unknown tag's block cannot be told apart from what follows it: the trailer ends there.
        if (K < 0) return;
        if (Discard) {
            TDoubleAlignIndexes Ignored;
            Ignored.LoadFromStream(R.S);
            continue;
        }
        std::unique_ptr<TDoubleAlignIndexes>& Slot = *AlignSlot(K);
        if (!Slot) Slot = std::make_unique<TDoubleAlignIndexes>();
        Slot->LoadFromStream(R.S);
    }
}

void ReadBin(const std::string& BinName, const std::string& Folder,
             std::array<std::vector<int32_t>, 4>& Ages) {
    std::unique_ptr<TFileStream> File;
    try {
        File = std::make_unique<TFileStream>(BinName, fmOpenRead | fmShareDenyWrite);
    } catch (const std::exception& E) {
        ShowInfo(E.what());
        throw EWorkspaceRefused("");
    }
    TReader R{*File, 0, Folder, {}};
    R.Folder = Folder;
    if (ReadStreamString(R.S) != Header)
        throw EWorkspaceRefused(BinName + " is not the data file of a workspace.");
    const int32_t Trailer = ReadStreamInteger(R.S);
    R.Version = ReadStreamInteger(R.S);
    if (R.Version != WorkspaceVersion && R.Version != WorkspaceVersionWithoutCopies)
        throw EWorkspaceRefused("Unknown file version.");
    if (Trailer < SectionsStart || Trailer > R.S.GetSize())
        throw EWorkspaceRefused("The workspace's data file is cut short.");
    const int32_t Languages = ReadStreamInteger(R.S);
    if (Languages < 0 || Languages > LanguagesCount)
        throw EWorkspaceRefused("The workspace's data file lists languages its settings do not define.");
    R.NextTag();
    for (int L = 0; L < Languages; ++L) ReadLanguage(R, L, Ages[size_t(L)]);
    R.S.SetPosition(Trailer);
    ReadTrailer(R);
}

// Nothing of a workspace that could not be read stays registered.
void DropLoadedCorpus() {
    for (int L = 0; L < LanguagesCount; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        while (!Config.Files.empty()) Config.RemoveFile(static_cast<int>(Config.Files.size()) - 1);
        Config.FreqList.reset();
    }
    Align12.reset();
    Align13.reset();
    Align14.reset();
}

// ---- Stale data ------------------------------------------------------------------------------------

void DropFileData(int L, size_t I) {
    TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    const int32_t F = static_cast<int32_t>(I);
    Config.LineStarts.SetItem(F, nullptr);
    Config.PageStarts.SetItem(F, nullptr);
    Config.FileTags.SetItem(F, nullptr);
    TNamedItem<TCorpusFileRecord>& File = Config.Files[I];
    if (!File.Name.empty() && File.Object.Converted) {
        // The copy was made from the file as it was; the file gets a new one, read from then on.
        const std::string OldCopy = File.Object.CopyName;
        File.Object.Converted = false;
        if (SetFileConverted(L, F, true))
            RemoveQuietly(OldCopy);
        else
            File.Object.Converted = true;
    }
    Config.FreqList.reset();
    for (auto& Each : Config.Files) Each.Object.WordCount = 0;
    Config.SectionIndexes.SetItem(F, nullptr);
    Config.ParagraphIndexes.SetItem(F, nullptr);
    Config.SentenceIndexes.SetItem(F, nullptr);
    ClearFileAlignment(L, -1);
}

}  // namespace

std::string WorkspaceBinName(const std::string& FileName) {
    return fs::path(FileName).replace_extension(".BIN").string();
}

std::string WorkspaceFolder(const std::string& FileName) {
    return platform::WithTrailingSlash(fs::path(FileName).parent_path().string());
}

bool SaveWorkspace(const std::string& FileName) {
    if (FileName.empty()) return false;
    TWaitScope Wait;
    if (!MoveConvertedCopies(FileName)) return false;
    const std::string BinName = WorkspaceBinName(FileName);
    const std::string PendingTws = PendingName(FileName);
    const std::string PendingBin = PendingName(BinName);
    try {
        if (!SaveWorkspacePrefs(PendingTws)) {
            RemoveQuietly(PendingTws);
            return false;
        }
        WriteBin(PendingBin, WorkspaceFolder(FileName));
        fs::rename(PendingBin, BinName);
        fs::rename(PendingTws, FileName);
    } catch (const std::exception& E) {
        RemoveQuietly(PendingTws);
        RemoveQuietly(PendingBin);
        ShowError(E.what());
        return false;
    }
    return true;
}

bool LoadWorkspace(const std::string& FileName) {
    TWaitScope Wait;
    const std::string Folder = WorkspaceFolder(FileName);
    std::array<std::vector<int32_t>, 4> Ages;
    LoadWorkspacePrefs(FileName);
    WorkspaceFileName = FileName;
    try {
        ReadBin(WorkspaceBinName(FileName), Folder, Ages);
    } catch (const EWorkspaceRefused& E) {
        if (*E.what()) ShowError(E.what());
        DropLoadedCorpus();
        WorkspaceFileName.clear();
        return false;
    }
    DropStaleFileData(Ages);
    return true;
}

std::string ResolveWorkspacePath(const std::string& Stored, const std::string& Folder) {
    const bool Relative =
        !Stored.empty() && Stored[0] != '/' && Stored[0] != '\\' && !(Stored.size() >= 2 && Stored[1] == ':');
    std::string Result = Relative ? Folder + Stored : Stored;
    std::error_code Error;
    if (!fs::exists(Result, Error)) {
        const size_t Cut = Stored.find_last_of("/\\:");
        Result = Folder + (Cut == std::string::npos ? Stored : Stored.substr(Cut + 1));
    }
    return Result;
}

bool FileTimeMatches(int32_t Current, int32_t Stored) {
    if (Current == -1 || Stored == -1) return false;
    const int64_t Difference = int64_t(Current) - int64_t(Stored);
    return Difference == 0 || Difference == 0x800 || Difference == -0x800;
}

void DropStaleFileData(const std::array<std::vector<int32_t>, 4>& StoredAges) {
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const std::vector<int32_t>& Ages = StoredAges[size_t(L)];
        for (size_t I = 0; I < Ages.size() && I < Config.Files.size(); ++I) {
            const std::string& Name = Config.Files[I].Name;
            if (!Name.empty() && FileTimeMatches(platform::FileAge(Name), Ages[I])) continue;
            DropFileData(L, I);
        }
        for (int I = static_cast<int>(Config.Files.size()) - 1; I >= 0; --I)
            if (Config.Files[size_t(I)].Name.empty()) Config.RemoveFile(I);
    }
}
