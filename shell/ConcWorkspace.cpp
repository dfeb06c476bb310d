#include "shell/ConcWorkspace.h"

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/IniFiles.h"
#include "platform/Paths.h"
#include "shell/WorkspaceChanges.h"

namespace fs = std::filesystem;

bool WorkspaceDamaged = false;
bool WorkspaceIncomplete = false;

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
    for (int L = 0; L < LanguagesCount; ++L) {
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            TCorpusFileRecord& Record = Config.Files[I].Object;
            // Only copies waiting in the temporary folder move; a copy a workspace names stays where it is.
            if (!Record.Converted || !IsTemporaryCopy(Record.CopyName) || IsRecordedCopy(Record.CopyName))
                continue;
            const std::string NewName = MakeAsciiCopyName(Config.Files[I].Name, FileName);
            std::error_code Error;
            if (NewName.empty() ||
                !fs::copy_file(Record.CopyName, NewName, fs::copy_options::overwrite_existing, Error)) {
                ShowError("Can't save the ASCII converted file.");
                return false;
            }
            if (Config.Streams[I]) Config.Streams[I]->Reopen(NewName);
            const std::string OldName = Record.CopyName;
            Record.CopyName = NewName;
            DiscardCopy(OldName);
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

// ---- The file list of the settings file --------------------------------------------------------------
// The .TWS lists each language's files too, so that a damaged .BIN can neither hide a file nor make
// the reader take thousands of names out of a flipped count.

std::string FileListSection(int L) {
    return LanguageSection("CorpusFiles", L);
}

void WriteFileLists(const std::string& TwsName, const std::string& Folder) {
    TIniFile Ini(TwsName);
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const std::string Section = FileListSection(L);
        Ini.WriteInteger(Section, "Count", static_cast<int>(Config.Files.size()));
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            Ini.WriteString(Section, "File" + std::to_string(I), StoredName(Config.Files[I].Name, Folder));
            Ini.WriteBool(Section, "UTF8" + std::to_string(I), Config.Files[I].Object.Converted);
        }
    }
    Ini.UpdateFile();
}

// ---- Loading ---------------------------------------------------------------------------------------

class EWorkspaceRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TStoredFile {
    std::string Stored;  // as the workspace names it
    int32_t Words = 0;
    int32_t Age = -1;  // -1: unknown, so whatever was computed for it is computed again
    bool Converted = false;
    std::string StoredCopy;
};

// What the .BIN holds for one language, read in full before anything is registered.
struct TStoredLanguage {
    bool Whole = false;  // its section was read to its end and agrees with the settings' file list
    std::vector<TStoredFile> Files;
    TIntegerLists Lines, Pages;
    TTagsCollections Tags;
    std::unique_ptr<TFreqList> Freq;
    TAlignIndexes Sections, Paragraphs, Sentences;
};

struct TStoredWorkspace {
    std::array<std::optional<std::vector<TStoredFile>>, 4> Listed;  // the settings' file lists
    std::array<TStoredLanguage, 4> Languages;
    std::array<std::unique_ptr<TDoubleAlignIndexes>, 3> Pairs;
};

void ReadFileLists(const std::string& TwsName, TStoredWorkspace& W) {
    TIniFile Ini(TwsName);
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        const std::string Section = FileListSection(L);
        const int Count = Ini.ReadInteger(Section, "Count", -1);
        if (Count < 0) continue;  // written before the list was kept
        std::vector<TStoredFile>& Files = W.Listed[size_t(L)].emplace();
        for (int I = 0; I < Count && Ini.ValueExists(Section, "File" + std::to_string(I)); ++I) {
            TStoredFile F;
            F.Stored = Ini.ReadString(Section, "File" + std::to_string(I), "");
            F.Converted = Ini.ReadBool(Section, "UTF8" + std::to_string(I), false);
            Files.push_back(std::move(F));
        }
    }
}

struct TReader {
    TStream& S;
    int32_t Version = 0;
    int64_t Trailer = 0;
    std::string Tag;

    // The sections end at the trailer: a tag there, or one that runs into it, is no section's tag.
    void NextTag() {
        Tag.clear();
        if (S.GetPosition() >= Trailer) return;
        Tag = ReadStreamString(S);
        if (S.GetPosition() > Trailer) Tag = "\x01";
    }
};

// Reads the "FILES" record; false when it cannot be right (a count beyond what the settings list or
// the bytes left allow, or names other than the settings list's).
bool ReadFiles(TReader& R, const std::optional<std::vector<TStoredFile>>& Listed, TStoredLanguage& Out) {
    const int32_t Declared = ReadStreamInteger(R.S);
    const int32_t Count = ClampCount(Declared, R.Trailer - R.S.GetPosition(), 12);
    if (Count != Declared || (Listed && size_t(Count) != Listed->size())) return false;
    for (int32_t I = 0; I < Count; ++I) {
        TStoredFile F;
        F.Stored = ReadStreamString(R.S);
        F.Words = ReadStreamInteger(R.S);
        F.Age = ReadStreamInteger(R.S);
        if (R.Version == WorkspaceVersion) {
            F.Converted = ReadStreamBoolean(R.S);
            if (F.Converted) F.StoredCopy = ReadStreamString(R.S);
        }
        if (R.S.GetPosition() > R.Trailer) return false;
        if (Listed &&
            (F.Stored != (*Listed)[size_t(I)].Stored || F.Converted != (*Listed)[size_t(I)].Converted))
            return false;
        Out.Files.push_back(std::move(F));
    }
    return true;
}

// Reads one language section; false when the section cannot be trusted.
bool ReadLanguage(TReader& R, int L, const std::optional<std::vector<TStoredFile>>& Listed,
                  TStoredLanguage& Out) {
    if (R.Tag != "FILES" || !ReadFiles(R, Listed, Out)) return false;
    R.NextTag();
    const size_t Files = Out.Files.size();
    bool Whole = true;
    auto Block = [&](const char* Name, auto& List) {
        if (R.Tag != Name) return;
        // A list that does not hold one slot per file cannot say which file a slot belongs to.
        if (!List.LoadFromStream(R.S) || size_t(List.Count()) != Files) {
            if (size_t(List.Count()) != Files) ReportDamagedBlock(R.S);
            List.Clear();
        }
        R.NextTag();
    };
    Block("LINES", Out.Lines);
    Block("PAGES", Out.Pages);
    Block("TAGS", Out.Tags);
    if (R.Tag == "FREQUENCY") {
        auto List = std::make_unique<TFreqList>(L);
        if (List->LoadFromStream(R.S)) Out.Freq = std::move(List);
        R.NextTag();
    }
    Block("HEADINGS", Out.Sections);
    Block("PARAGRAPHS", Out.Paragraphs);
    Block("SENTENCES", Out.Sentences);
    // What follows a language is the next language's files or the end of the sections.
    if (!R.Tag.empty() && R.Tag != "FILES") Whole = false;
    return Whole;
}

void ReadTrailer(TReader& R, TStoredWorkspace& W) {
    R.S.SetPosition(R.Trailer);
    for (;;) {
        if (R.S.Remaining() <= 0) return;
        const std::string Tag = ReadStreamString(R.S);
        int K = -1;
        bool Discard = false;
        for (int I = 0; I < 3; ++I) {
            if (Tag == AlignTags[I]) K = I;
            if (Tag == ParaAlignTags[I]) K = I, Discard = true;
        }
        // An unknown tag's block cannot be told apart from what follows it: the trailer ends there.
        if (K < 0) {
            ReportDamagedBlock(R.S);
            return;
        }
        auto Pairs = std::make_unique<TDoubleAlignIndexes>();
        Pairs->LoadFromStream(R.S);
        if (!Discard) W.Pairs[size_t(K)] = std::move(Pairs);
    }
}

void ReadBin(const std::string& BinName, TStoredWorkspace& W) {
    std::unique_ptr<TFileStream> File;
    try {
        File = std::make_unique<TFileStream>(BinName, fmOpenRead | fmShareDenyWrite);
    } catch (const std::exception& E) {
        ShowInfo(E.what());
        throw EWorkspaceRefused("");
    }
    TReader R{*File, 0, 0, {}};
    if (ReadStreamString(R.S) != Header)
        throw EWorkspaceRefused(BinName + " is not the data file of a workspace.");
    const int32_t Trailer = ReadStreamInteger(R.S);
    R.Version = ReadStreamInteger(R.S);
    if (R.Version != WorkspaceVersion && R.Version != WorkspaceVersionWithoutCopies)
        throw EWorkspaceRefused("Unknown file version.");
    if (Trailer < SectionsStart || Trailer > R.S.GetSize())
        throw EWorkspaceRefused("The workspace's data file is cut short.");
    R.Trailer = Trailer;
    const int32_t Languages = ReadStreamInteger(R.S);
    if (Languages < 0 || Languages > LanguagesCount)
        throw EWorkspaceRefused("The workspace's data file lists languages its settings do not define.");
    R.NextTag();
    bool Whole = true;
    for (int L = 0; L < Languages && Whole; ++L) {
        TStoredLanguage& Language = W.Languages[size_t(L)];
        Whole = ReadLanguage(R, L, W.Listed[size_t(L)], Language);
        Language.Whole = Whole;
    }
    // Fewer languages than the settings define, or sections that do not end where the trailer starts.
    if (!Whole || Languages < LanguagesCount || !R.Tag.empty() || R.S.GetPosition() != Trailer)
        ReportDamagedBlock(R.S);
    for (int L = 0; L < LanguagesCount && L < 4; ++L) W.Languages[size_t(L)].Whole &= Whole;
    ReadTrailer(R, W);
    WorkspaceDamaged = R.S.DamageReported;
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

// Registers the files of the workspace and says in one message which could not be found.
class TRegistration {
public:
    TRegistration(const std::string& Folder, std::array<std::vector<int32_t>, 4>& Ages)
        : FFolder(Folder), FAges(Ages) {}

    void Language(int L, const std::vector<TStoredFile>& Files) {
        for (const TStoredFile& F : Files) File(L, F);
    }

    // One message however many files are gone: a damaged list must not raise a box per name.
    void ReportMissing() const {
        if (FMissing.empty()) return;
        constexpr size_t Shown = 10;
        std::string Text;
        for (size_t I = 0; I < FMissing.size() && I < Shown; ++I)
            Text += (I ? "\n" : "") + ("File \"" + FMissing[I] + "\" not found.");
        if (FMissing.size() > Shown)
            Text += "\n(" + std::to_string(FMissing.size() - Shown) + " more files not found.)";
        ShowError(Text);
    }
    bool AnyMissing() const { return !FMissing.empty(); }
    const std::vector<std::string>& Fresh() const { return FFresh; }
    const std::vector<std::string>& Outdated() const { return FOutdated; }

private:
    void File(int L, const TStoredFile& F) {
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const size_t Before = Config.Files.size();
        const std::string Name = F.Stored.empty() ? std::string() : ResolveWorkspacePath(F.Stored, FFolder);
        std::error_code Error;
        if (Name.empty() || !fs::is_regular_file(Name, Error)) {
            FMissing.push_back(F.Stored);
        } else {
            const std::string Copy =
                F.StoredCopy.empty() ? std::string() : ResolveWorkspacePath(F.StoredCopy, FFolder);
            // A file changed since saving gets a new copy at once (its stored one was made from the old
            // text); so does one whose copy is gone, is not named as one of its copies, or is already
            // read by another file.
            const bool Changed = !FileTimeMatches(platform::FileAge(Name), F.Age);
            const bool Own = F.Converted && IsCopyNameOf(Copy, Name) && fs::is_regular_file(Copy, Error) &&
                             FClaimed.insert(Copy).second;
            const bool Usable = Own && !Changed;
            // The copy of a changed file holds its old text: nothing will read it again.
            if (Own && Changed) FOutdated.push_back(Copy);
            ConvertCorpusFile(Name, Usable ? Copy : std::string(), F.Converted, L);
            if (Config.Files.size() > Before && F.Converted && !Usable)
                FFresh.push_back(Config.Files.back().Object.CopyName);
        }
        if (Config.Files.size() == Before) {
            if (!Name.empty() && std::find(FMissing.begin(), FMissing.end(), F.Stored) == FMissing.end())
                FMissing.push_back(F.Stored);
            Config.AddFile({}, nullptr, nullptr);
        }
        Config.Files.back().Object.WordCount = F.Words;
        FAges[size_t(L)].push_back(F.Age);
    }

    const std::string& FFolder;
    std::array<std::vector<int32_t>, 4>& FAges;
    std::vector<std::string> FMissing;
    std::unordered_set<std::string> FClaimed;
    std::vector<std::string> FFresh;
    std::vector<std::string> FOutdated;
};

// Moves one language's stored lists into its configuration, slot by slot.
template <class List>
void TakeSlots(List& From, List& To) {
    for (int32_t I = 0; I < From.Count() && I < To.Count(); ++I) To.SetItem(I, From.SetItem(I, nullptr));
}

void InstallLanguage(int L, TStoredLanguage& Stored) {
    TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    TakeSlots(Stored.Lines, Config.LineStarts);
    TakeSlots(Stored.Pages, Config.PageStarts);
    TakeSlots(Stored.Tags, Config.FileTags);
    if (Stored.Freq) Config.FreqList = std::move(Stored.Freq);
    TakeSlots(Stored.Sections, Config.SectionIndexes);
    TakeSlots(Stored.Paragraphs, Config.ParagraphIndexes);
    TakeSlots(Stored.Sentences, Config.SentenceIndexes);
}

// A pair list belongs to the languages it pairs only when both were read whole and it has one slot per
// file of each.
void InstallPairs(TStoredWorkspace& W, TStream* DamageSink) {
    for (int K = 0; K < 3; ++K) {
        std::unique_ptr<TDoubleAlignIndexes>& Pairs = W.Pairs[size_t(K)];
        if (!Pairs) continue;
        // The aligner keeps pair lists for languages not in use; they pair no file and stay as saved.
        if (K + 1 >= LanguagesCount) {
            *AlignSlot(K) = std::move(Pairs);
            continue;
        }
        const TStoredLanguage &Source = W.Languages[0], &Target = W.Languages[size_t(K + 1)];
        const bool Fits = Source.Whole && Target.Whole && size_t(Pairs->Count()) == Source.Files.size() &&
                          size_t(Pairs->Count()) == Target.Files.size();
        if (!Fits) {
            if (Source.Whole && Target.Whole && DamageSink) ReportDamagedBlock(*DamageSink);
            continue;
        }
        *AlignSlot(K) = std::move(Pairs);
    }
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

void DropFileData(int L, size_t I, const std::vector<std::string>& Fresh) {
    TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    const int32_t F = static_cast<int32_t>(I);
    Config.LineStarts.SetItem(F, nullptr);
    Config.PageStarts.SetItem(F, nullptr);
    Config.FileTags.SetItem(F, nullptr);
    TNamedItem<TCorpusFileRecord>& File = Config.Files[I];
    const bool FreshCopy = std::find(Fresh.begin(), Fresh.end(), File.Object.CopyName) != Fresh.end();
    if (!File.Name.empty() && File.Object.Converted && !FreshCopy) {
        // The copy was made from the file as it was; the file gets a new one, read from then on.
        const std::string OldCopy = File.Object.CopyName;
        File.Object.Converted = false;
        if (SetFileConverted(L, F, true))
            DiscardCopy(OldCopy);
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

void DropStale(const std::array<std::vector<int32_t>, 4>& StoredAges, const std::vector<std::string>& Fresh) {
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const std::vector<int32_t>& Ages = StoredAges[size_t(L)];
        for (size_t I = 0; I < Ages.size() && I < Config.Files.size(); ++I) {
            const std::string& Name = Config.Files[I].Name;
            if (!Name.empty() && FileTimeMatches(platform::FileAge(Name), Ages[I])) continue;
            DropFileData(L, I, Fresh);
        }
        for (int I = static_cast<int>(Config.Files.size()) - 1; I >= 0; --I)
            if (Config.Files[size_t(I)].Name.empty()) Config.RemoveFile(I);
    }
}

// The copies the opened workspace names, as its files now read them.
std::vector<std::string> RegisteredCopies() {
    std::vector<std::string> Named;
    for (int L = 0; L < LanguagesCount; ++L)
        for (const auto& File : LanguageConfigs[size_t(L)]->Files)
            if (File.Object.Converted) Named.push_back(File.Object.CopyName);
    return Named;
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
        WriteFileLists(PendingTws, WorkspaceFolder(FileName));
        WriteBin(PendingBin, WorkspaceFolder(FileName));
        fs::rename(PendingBin, BinName);
        fs::rename(PendingTws, FileName);
    } catch (const std::exception& E) {
        RemoveQuietly(PendingTws);
        RemoveQuietly(PendingBin);
        ShowError(E.what());
        return false;
    }
    // Copies the previous save named and this one does not are read by nothing any more.
    RecordWorkspaceCopies(FileName, RegisteredCopies(), true);
    if (FileName == WorkspaceFileName) WorkspaceIncomplete = false;
    NoteWorkspaceSaved(FileName);
    return true;
}

bool LoadWorkspace(const std::string& FileName) {
    TWaitScope Wait;
    const std::string Folder = WorkspaceFolder(FileName);
    LoadWorkspacePrefs(FileName);
    WorkspaceFileName = FileName;
    WorkspaceDamaged = false;
    WorkspaceIncomplete = false;
    TStoredWorkspace Stored;
    try {
        ReadFileLists(FileName, Stored);
        ReadBin(WorkspaceBinName(FileName), Stored);
    } catch (const EWorkspaceRefused& E) {
        if (*E.what()) ShowError(E.what());
        DropLoadedCorpus();
        WorkspaceFileName.clear();
        return false;
    } catch (const std::exception& E) {  // the settings file could not be read again
        ShowError(E.what());
        DropLoadedCorpus();
        WorkspaceFileName.clear();
        return false;
    }
    // No new copy may take a name that a stored file's copy still has.
    std::vector<std::string> StoredCopies;
    for (const TStoredLanguage& Language : Stored.Languages)
        for (const TStoredFile& F : Language.Files)
            if (F.Converted && !F.StoredCopy.empty())
                StoredCopies.push_back(ResolveWorkspacePath(F.StoredCopy, Folder));
    ReserveCopyNames(StoredCopies);
    std::array<std::vector<int32_t>, 4> Ages;
    TRegistration Registration(Folder, Ages);
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        TStoredLanguage& Language = Stored.Languages[size_t(L)];
        if (!Language.Whole && Stored.Listed[size_t(L)]) {
            // The data file's record cannot be trusted: the files come from the settings, to be processed.
            Registration.Language(L, *Stored.Listed[size_t(L)]);
            continue;
        }
        Registration.Language(L, Language.Files);
        if (Language.Whole) InstallLanguage(L, Language);
    }
    ReserveCopyNames({});
    TMemoryStream Sink;
    Sink.DamageReported = WorkspaceDamaged;
    InstallPairs(Stored, &Sink);
    WorkspaceDamaged = Sink.DamageReported;
    Registration.ReportMissing();
    DropStale(Ages, Registration.Fresh());
    // A language whose section was not read whole keeps nothing computed: it is processed again.
    for (int L = 0; L < LanguagesCount && L < 4; ++L)
        if (!Stored.Languages[size_t(L)].Whole) ClearFileAlignment(L, -1);
    for (const std::string& Copy : Registration.Outdated()) {
        RemoveQuietly(Copy);
        std::erase(StoredCopies, Copy);
    }
    RecordWorkspaceCopies(FileName, StoredCopies, false);
    WorkspaceIncomplete = WorkspaceDamaged || Registration.AnyMissing();
    NoteWorkspaceSaved(FileName);
    return true;
}

std::string IncompleteWorkspaceQuestion(const std::string& FileName) {
    return "The workspace \"" + FileName +
           "\" was opened with data missing. Saving it now replaces what it held for good. Save it anyway?";
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

namespace {

// A packed DOS date-time as seconds of a calendar without time zones or daylight-saving time.
int64_t DosCalendarSeconds(int32_t Packed) {
    const auto V = static_cast<uint32_t>(Packed);
    std::tm T{};
    T.tm_year = static_cast<int>(V >> 25) + 80;
    T.tm_mon = static_cast<int>((V >> 21) & 0x0F) - 1;
    T.tm_mday = static_cast<int>((V >> 16) & 0x1F);
    T.tm_hour = static_cast<int>((V >> 11) & 0x1F);
    T.tm_min = static_cast<int>((V >> 5) & 0x3F);
    T.tm_sec = static_cast<int>(V & 0x1F) * 2;
    return static_cast<int64_t>(timegm(&T));
}

}  // namespace

bool FileTimeMatches(int32_t Current, int32_t Stored) {
    if (Current == -1 || Stored == -1) return false;
    if (Current == Stored) return true;
    // An hour either way is a change of daylight-saving time or of time zone since saving, also when
    // it moves the time across midnight, where the packed values differ in their date as well.
    const int64_t Difference = DosCalendarSeconds(Current) - DosCalendarSeconds(Stored);
    return Difference == 3600 || Difference == -3600;
}

void DropStaleFileData(const std::array<std::vector<int32_t>, 4>& StoredAges) {
    DropStale(StoredAges, {});
}
