#include "shell/ConcWorkspace.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>
#include <unordered_set>

#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcLangs.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "engine/ContentSum.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/IniFiles.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "shell/WorkspaceChanges.h"
#include "shell/WorkspaceSeal.h"
#include "ui/Msg.h"

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

// A converted copy that a save puts beside the workspace: where the file read it, and where it goes.
struct TCopyMove {
    int L = 0;
    size_t I = 0;
    std::string From, To;
};

// Why a file could not be written, as the user can act on it ("No space left on device").
// A disk or a file size limit without room says so.
std::string SystemReason(int Error) {
    if (Error == ENOSPC || Error == EDQUOT || Error == EFBIG)
        return std::string("there is no room left for it (") + std::strerror(Error) + ")";
    return std::strerror(Error ? Error : EIO);
}

// Copies From to To and puts the copy on the disk, since the workspace saved next names it; returns 0 or
// the system's error number.
int CopySynced(const std::string& From, const std::string& To) {
    try {
        TFileStream In(From, fmOpenRead);
        TFileStream Out(To, fmCreate);
        std::vector<char> Buffer(size_t(1) << 20);
        for (int64_t N; (N = In.Read(Buffer.data(), int64_t(Buffer.size()))) > 0;)
            if (Out.Write(Buffer.data(), N) != N) break;
        return Out.Sync() ? 0 : Out.WriteError();
    } catch (const EFileError& E) {
        return E.Error;
    }
}

// The copies a failed save made go again, and the folder it made for them when nothing else is in it.
void RemoveCopies(const std::vector<TCopyMove>& Moves, const std::string& MadeFolder) {
    for (const TCopyMove& Move : Moves) RemoveQuietly(Move.To);
    std::error_code Ignored;
    if (!MadeFolder.empty() && fs::is_empty(MadeFolder, Ignored)) fs::remove(MadeFolder, Ignored);
}

// Puts one waiting copy at Move.To: copied when it is still there, otherwise converted again from its
// UTF-8 file. Returns "" or why it failed.
std::string PlaceCopy(const TConcordConfig& Config, const TCopyMove& Move) {
    std::error_code Error;
    if (fs::is_regular_file(Move.From, Error)) {
        const int Failure = CopySynced(Move.From, Move.To);
        if (Failure == 0) return {};
        RemoveQuietly(Move.To);
        return SystemReason(Failure);
    }
    const std::string& Source = Config.Files[Move.I].Name;
    if (!fs::is_regular_file(Source, Error))
        return "its copy \"" + Move.From + "\" and its UTF-8 file \"" + Source + "\" are both gone";
    try {
        if (ConvertUTF8File(Source, Move.To, LocaleCodePage(Config.LocaleId), nullptr)) return {};
        return "its copy \"" + Move.From + "\" is gone and could not be made again";
    } catch (const EFileError& E) {
        return SystemReason(E.Error);
    } catch (const std::exception& E) {
        return E.what();
    }
}

// Puts the converted files still waiting in the temporary folder beside the workspace. The files go on
// reading their old copies until the save has succeeded (CommitCopies); on failure the copies made so
// far are removed, the error names the file and why, and false is returned.
bool PlaceConvertedCopies(const std::string& FileName, std::vector<TCopyMove>& Moves,
                          std::string& MadeFolder) {
    const std::string CopyFolder = (fs::path(FileName).parent_path() / fs::path(FileName).stem()).string();
    std::error_code Error;
    const bool FolderExisted = fs::exists(CopyFolder, Error);
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            const TCorpusFileRecord& Record = Config.Files[I].Object;
            // Only copies waiting in the temporary folder move; a copy a workspace names stays where it is.
            if (!Record.Converted || !IsTemporaryCopy(Record.CopyName) || IsRecordedCopy(Record.CopyName))
                continue;
            TCopyMove Move{L, I, Record.CopyName, MakeAsciiCopyName(Config.Files[I].Name, FileName)};
            if (!FolderExisted && fs::exists(CopyFolder, Error)) MadeFolder = CopyFolder;
            const std::string Failure =
                Move.To.empty() ? "no name for its copy is free" : PlaceCopy(Config, Move);
            if (!Failure.empty()) {
                RemoveCopies(Moves, MadeFolder);
                Moves.clear();
                ShowError("Can't save the ASCII converted file.\nThe copy of \"" + Config.Files[I].Name +
                          "\" could not be saved: " + Failure + ".");
                return false;
            }
            Moves.push_back(std::move(Move));
        }
    }
    return true;
}

// The saved workspace names the new copies: the files read them from now on.
void CommitCopies(const std::vector<TCopyMove>& Moves) {
    for (const TCopyMove& Move : Moves) {
        TConcordConfig& Config = *LanguageConfigs[size_t(Move.L)];
        if (Config.Streams[Move.I]) Config.Streams[Move.I]->Reopen(Move.To);
        DiscardCopy(Move.From);
    }
}

void NameCopies(const std::vector<TCopyMove>& Moves, bool New) {
    for (const TCopyMove& Move : Moves)
        LanguageConfigs[size_t(Move.L)]->Files[Move.I].Object.CopyName = New ? Move.To : Move.From;
}

int64_t FileSizeOrUnknown(const std::string& Name) {
    std::error_code Error;
    const uintmax_t Size = fs::file_size(Name, Error);
    return Error ? -1 : static_cast<int64_t>(Size);
}

// The packed DOS time of a file time in nanoseconds.
int32_t DosAgeAt(int64_t Ns) {
    return platform::DosDateTime(Ns / 1000000000 - (Ns % 1000000000 < 0 ? 1 : 0));
}

// The time and size of the text a file's data were computed from: those of the file when its stream was
// opened, or for a converted file those of its UTF-8 file when the copy was made. A file changed since
// then (in another editor, while the workspace is open) is thus saved as changed, and its data are
// computed again when the workspace is opened, instead of being taken for the new text's.
TSealedFile SealedFileOf(const TConcordConfig& Config, size_t I) {
    const TNamedItem<TCorpusFileRecord>& File = Config.Files[I];
    TSealedFile Out;
    const TFileSynchroStream* Stream = I < Config.Streams.size() ? Config.Streams[I].get() : nullptr;
    if (File.Object.Converted) {
        Out.Age = File.Object.SourceAge;
        Out.Size = File.Object.SourceSize;
        // A copy that came with the file (not made here): the UTF-8 file as it is now, unless it is newer
        // than the copy, which then cannot have been made from it.
        struct stat Source {};
        if (Out.Age == -1 && Stream && ::stat(File.Name.c_str(), &Source) == 0 &&
            int64_t(Source.st_mtim.tv_sec) <= Stream->ModifiedWhenOpened() / 1000000000) {
            Out.Age = platform::FileAge(File.Name);
            Out.Size = static_cast<int64_t>(Source.st_size);
        }
    } else if (Stream) {
        Out.Age = DosAgeAt(Stream->ModifiedWhenOpened());
        Out.Size = Stream->GetSize();
    } else {
        Out.Age = platform::FileAge(File.Name);
        Out.Size = FileSizeOrUnknown(File.Name);
    }
    if (File.Object.Converted) {
        Out.CopyAge = platform::FileAge(File.Object.CopyName);
        Out.CopySize = FileSizeOrUnknown(File.Object.CopyName);
    }
    return Out;
}

// The content sum of the bytes Stream reads: the one it knows (a corpus pass or the workspace opened
// left it), or else that of its file read now, while the file is still the one the stream opened (its
// time and size unchanged), so that the sum stands for the text the data were computed from.
std::optional<uint64_t> StreamSum(TFileSynchroStream& Stream) {
    if (!Stream.ContentSum()) {
        int64_t Modified = 0;
        const std::optional<uint64_t> Sum = FileContentSum(Stream.FileName(), Stream.GetSize(), &Modified);
        if (Sum && Modified == Stream.ModifiedWhenOpened()) Stream.SetContentSum(Sum);
    }
    return Stream.ContentSum();
}

// The content sum of a converted file's UTF-8 file as its copy was made: the one taken then, or else that
// of the file read now, while its time and size are still those taken then.
std::optional<uint64_t> SourceSum(TNamedItem<TCorpusFileRecord>& File) {
    TCorpusFileRecord& Record = File.Object;
    if (!Record.SourceSum && Record.SourceAge != -1 && Record.SourceSize >= 0) {
        int64_t Modified = 0;
        const std::optional<uint64_t> Sum = FileContentSum(File.Name, Record.SourceSize, &Modified);
        if (Sum && DosAgeAt(Modified) == Record.SourceAge) Record.SourceSum = Sum;
    }
    return Record.SourceSum;
}

// Adds to Out, the sealed record of file I, the content sums of the file and its copy where their
// times and sizes are known: a sum is sealed only beside the time and size it goes with.
void SealSums(TConcordConfig& Config, size_t I, TSealedFile& Out) {
    TNamedItem<TCorpusFileRecord>& File = Config.Files[I];
    TFileSynchroStream* Stream = I < Config.Streams.size() ? Config.Streams[I].get() : nullptr;
    const std::optional<uint64_t> Read = Stream ? StreamSum(*Stream) : std::nullopt;
    std::optional<uint64_t> Own = File.Object.Converted ? SourceSum(File) : Read;
    std::optional<uint64_t> Copy = File.Object.Converted ? Read : std::nullopt;
    if (Out.Age == -1 || Out.Size < 0) Own.reset();
    if (Out.CopyAge == -1 || Out.CopySize < 0) Copy.reset();
    Out.SetSums(Own, Copy);
}

// Writes the data file and notes the stretch each tag with its block takes, for the seal.
class TBinWriter {
public:
    explicit TBinWriter(TStream& S) : FS(S) {}

    template <class Body>
    void Range(const std::string& Name, Body Write) {
        const int64_t Start = FS.GetPosition();
        Write();
        FRanges.push_back({Name, Start, FS.GetPosition() - Start, 0});
    }
    template <class List>
    void Block(const char* Tag, const std::string& Name, const List& Items) {
        Range(Name, [&] {
            WriteStreamString(FS, Tag);
            Items.SaveToStream(FS);
        });
    }
    // Takes the checksums once everything is written (the header's trailer offset is patched last).
    std::vector<TSealedRange> Ranges() {
        for (TSealedRange& R : FRanges) R.Crc = StreamCrc32(FS, R.Offset, R.Offset + R.Length);
        return FRanges;
    }
    TStream& FS;

private:
    std::vector<TSealedRange> FRanges;
};

void WriteFiles(TStream& S, const TConcordConfig& Config, const std::string& Folder) {
    WriteStreamString(S, "FILES");
    WriteStreamInteger(S, static_cast<int32_t>(Config.Files.size()));
    for (size_t I = 0; I < Config.Files.size(); ++I) {
        const auto& File = Config.Files[I];
        WriteStreamString(S, StoredName(File.Name, Folder));
        WriteStreamInteger(S, File.Object.WordCount);
        WriteStreamInteger(S, SealedFileOf(Config, I).Age);
        WriteStreamBoolean(S, File.Object.Converted);
        if (File.Object.Converted) WriteStreamString(S, StoredName(File.Object.CopyName, Folder));
    }
}

void WriteLanguage(TBinWriter& W, int L, const std::string& Folder) {
    const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    W.Range(SealedBlockName("FILES", L), [&] { WriteFiles(W.FS, Config, Folder); });
    if (KeepLinesPages) {
        W.Block("LINES", SealedBlockName("LINES", L), Config.LineStarts);
        W.Block("PAGES", SealedBlockName("PAGES", L), Config.PageStarts);
    }
    if (KeepWatchedTags) W.Block("TAGS", SealedBlockName("TAGS", L), Config.FileTags);
    if (KeepFrequency && Config.FreqList)
        W.Block("FREQUENCY", SealedBlockName("FREQUENCY", L), *Config.FreqList);
    if (KeepSegmentIndexes) {
        W.Block("HEADINGS", SealedBlockName("HEADINGS", L), Config.SectionIndexes);
        W.Block("PARAGRAPHS", SealedBlockName("PARAGRAPHS", L), Config.ParagraphIndexes);
        W.Block("SENTENCES", SealedBlockName("SENTENCES", L), Config.SentenceIndexes);
    }
}

TWorkspaceSeal SealOfCorpus(uint32_t SettingsCrc) {
    TWorkspaceSeal Seal;
    Seal.SettingsCrc = SettingsCrc;
    for (int L = 0; L < LanguagesCount; ++L) {
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        TSealedLanguage& Language = Seal.Languages.emplace_back();
        Language.LocaleId = Config.LocaleId;
        Language.LanguageName = Config.LanguageName;
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            Language.Files.push_back(SealedFileOf(Config, I));
            SealSums(Config, I, Language.Files.back());
        }
    }
    return Seal;
}

// Why a file could not be written, said so that the user can act on it: a disk or limit without room
// is named as such, a missing folder by its name.
std::string SaveFailureText(const std::string& Target, int Error) {
    std::string Reason = Error == ENOENT
                             ? "the folder \"" + fs::path(Target).parent_path().string() + "\" does not exist"
                             : SystemReason(Error);
    Reason[0] = char(std::toupper(static_cast<unsigned char>(Reason[0])));
    return "Unable to write file: " + Target + ". " + Reason + ".";
}

[[noreturn]] void RaiseWriteFailure(const std::string& Target, int Error) {
    throw EConcError(SaveFailureText(Target, Error));
}

// Writes the data file to Pending (Target is the name the user knows it by), puts it on the disk and
// returns its seal's checksum.
uint32_t WriteBin(const std::string& Pending, const std::string& Target, const std::string& Folder,
                  uint32_t SettingsCrc) {
    std::unique_ptr<TFileStream> File;
    try {
        File = std::make_unique<TFileStream>(Pending, fmCreate);
    } catch (const EFileError& E) {
        RaiseWriteFailure(Target, E.Error);
    }
    TStream& S = *File;
    TBinWriter W(S);
    W.Range("HEAD", [&] {
        WriteStreamString(S, Header);
        WriteStreamInteger(S, 0);
        WriteStreamInteger(S, WorkspaceVersion);
        WriteStreamInteger(S, LanguagesCount);
    });
    for (int L = 0; L < LanguagesCount; ++L) WriteLanguage(W, L, Folder);
    const int64_t Trailer = S.GetSize();
    S.SetPosition(12);
    WriteStreamInteger(S, static_cast<int32_t>(Trailer));
    S.Seek(0, soEnd);
    if (KeepSegmentIndexes)
        for (int K = 0; K < 3; ++K)
            if (const auto& Pairs = *AlignSlot(K)) W.Block(AlignTags[K], AlignTags[K], *Pairs);
    TWorkspaceSeal Seal = SealOfCorpus(SettingsCrc);
    Seal.Ranges = W.Ranges();
    const uint32_t Crc = WriteSeal(S, Seal);
    if (!File->Sync()) RaiseWriteFailure(Target, File->WriteError());
    return Crc;
}

// Writes Text to Pending and puts it on the disk; a failure names Target and says why.
void WriteText(const std::string& Pending, const std::string& Target, const std::string& Text) {
    try {
        TFileStream File(Pending, fmCreate);
        File.Write(Text.data(), static_cast<int64_t>(Text.size()));
        if (!File.Sync()) RaiseWriteFailure(Target, File.WriteError());
    } catch (const EFileError& E) {
        RaiseWriteFailure(Target, E.Error);
    }
}

// ---- The pair on disk --------------------------------------------------------------------------------
// A save writes both files beside their places ("saving" files), syncs them, keeps a second name for the
// old data file ("replaced"), renames the new data file and then the new settings file into place, and
// only then lets the old data file go. Killed between the two renames, the disk holds the new data file
// with the old settings file, the new settings file still waiting and the old data file kept: the seal
// that ties the two files of a pair tells the next open or save which pair to complete or to put back.

// The two files of a workspace: the names the user knows, and the files they stand for (symbolic links
// followed, so that a save replaces the file a link points to and the link stays).
struct TPairFiles {
    std::string Tws, Bin;
    std::string TwsTarget, BinTarget;
};

TPairFiles PairFiles(const std::string& FileName) {
    TPairFiles P{FileName, WorkspaceBinName(FileName), FileName, WorkspaceBinName(FileName)};
    P.TwsTarget = ReplaceTarget(P.Tws);
    P.BinTarget = ReplaceTarget(P.Bin);
    return P;
}

// The part of a waiting file's name that says whose it is: the target's own name, or for a name that
// would leave no room for the rest, its start and a checksum of the whole.
std::string PendingStem(const std::string& Target) {
    constexpr size_t Longest = 200;
    const std::string Name = fs::path(Target).filename().string();
    if (Name.size() <= Longest) return Name;
    char Sum[16];
    std::snprintf(Sum, sizeof Sum, "~%08X", Crc32(Name.data(), Name.size()));
    return Name.substr(0, Longest - 9) + Sum;
}

// A hidden file beside Target of the process Owner: ".<name>.saving-<pid>" or ".<name>.replaced-<pid>".
std::string PendingName(const std::string& Target, const char* Kind, pid_t Owner = getpid()) {
    return (fs::path(Target).parent_path() /
            ("." + PendingStem(Target) + "." + Kind + "-" + std::to_string(Owner)))
        .string();
}

// Whether the process that left a waiting file is gone (or is this one, which is not saving now).
bool OwnerGone(pid_t Owner) {
    return Owner == getpid() || (::kill(Owner, 0) != 0 && errno == ESRCH);
}

// The waiting files of Kind beside Target that no running save owns.
std::vector<std::string> LeftPending(const std::string& Target, const char* Kind) {
    std::vector<std::string> Found;
    const std::string Prefix = "." + PendingStem(Target) + "." + Kind + "-";
    std::error_code Error;
    fs::path Folder = fs::path(Target).parent_path();
    if (Folder.empty()) Folder = ".";
    for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) {
        const std::string Name = It->path().filename().string();
        if (Name.size() <= Prefix.size() || Name.compare(0, Prefix.size(), Prefix) != 0) continue;
        const std::string Pid = Name.substr(Prefix.size());
        if (Pid.size() > 9 || Pid.find_first_not_of("0123456789") != std::string::npos) continue;
        if (OwnerGone(static_cast<pid_t>(std::stol(Pid)))) Found.push_back(It->path().string());
    }
    return Found;
}

// The checksum of the whole seal that ends the data file Path; none when it has none.
std::optional<uint32_t> DataSeal(const std::string& Path) {
    try {
        TFileStream File(Path, fmOpenRead);
        const TReadSeal Seal = ReadSeal(File);
        if (Seal.State == TSealState::Whole) return Seal.Crc;
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// The checksum of the seal the settings file Path was saved with; none when it does not end as saved.
std::optional<uint32_t> SettingsSeal(const std::string& Path) {
    const TSettingsEnd End = ReadSettingsEnd(Path);
    return End.Present ? std::optional<uint32_t>(End.SealCrc) : std::nullopt;
}

void SyncFolders(const TPairFiles& P) {
    const std::string Tws = fs::path(P.TwsTarget).parent_path().string();
    const std::string Bin = fs::path(P.BinTarget).parent_path().string();
    SyncFolder(Tws);
    if (Bin != Tws) SyncFolder(Bin);
}

// A save that was killed (or whose undoing failed) left its waiting files: a new settings file that
// belongs to the data file in place completes the new pair; otherwise the kept old data file that
// belongs to the settings file in place puts the old pair back. What is left of such saves goes.
void FinishInterruptedSave(const TPairFiles& P) {
    std::vector<std::string> NewTws = LeftPending(P.TwsTarget, "saving");
    std::vector<std::string> Left = LeftPending(P.BinTarget, "saving");
    std::vector<std::string> OldBin = LeftPending(P.BinTarget, "replaced");
    if (NewTws.empty() && Left.empty() && OldBin.empty()) return;
    const std::optional<uint32_t> Tws = SettingsSeal(P.TwsTarget);
    const std::optional<uint32_t> Bin = DataSeal(P.BinTarget);
    if (!Tws || !Bin || *Tws != *Bin) {
        bool Whole = false;
        for (const std::string& Name : NewTws)
            if (!Whole && Bin && SettingsSeal(Name) == Bin) Whole = RenameFile(Name, P.TwsTarget) == 0;
        for (const std::string& Name : OldBin)
            if (!Whole && Tws && DataSeal(Name) == Tws) Whole = RenameFile(Name, P.BinTarget) == 0;
        if (Whole) SyncFolders(P);
    }
    Left.insert(Left.end(), NewTws.begin(), NewTws.end());
    Left.insert(Left.end(), OldBin.begin(), OldBin.end());
    for (const std::string& Name : Left) RemoveFile(Name);
}

// Puts the written pair (NewTws, NewBin) in place of the old one. A failure puts the old pair back and
// raises, naming the file the user knows.
void CommitPair(const TPairFiles& P, const std::string& NewTws, const std::string& NewBin) {
    const std::string OldBin = PendingName(P.BinTarget, "replaced");
    std::error_code Ignored;
    const bool Kept = fs::exists(fs::symlink_status(P.BinTarget, Ignored));
    // A second name where the file system has them; otherwise the old file moves aside for a moment.
    const bool Linked = Kept && LinkFile(P.BinTarget, OldBin) == 0;
    if (Kept && !Linked)
        if (const int Error = RenameFile(P.BinTarget, OldBin)) RaiseWriteFailure(P.Bin, Error);
    if (const int Error = RenameFile(NewBin, P.BinTarget)) {
        if (Linked)
            RemoveFile(OldBin);
        else if (Kept)
            RenameFile(OldBin, P.BinTarget);
        RaiseWriteFailure(P.Bin, Error);
    }
    if (const int Error = RenameFile(NewTws, P.TwsTarget)) {
        // Should the old data file not come back, it stays kept: the next open or save puts it back.
        if (Kept)
            RenameFile(OldBin, P.BinTarget);
        else
            RemoveFile(P.BinTarget);
        RaiseWriteFailure(P.Tws, Error);
    }
    SyncFolders(P);
    if (Kept) RemoveFile(OldBin);
}

// ---- The file list of the settings file --------------------------------------------------------------
// The .TWS lists each language's files too, so that a damaged .BIN can neither hide a file nor make
// the reader take thousands of names out of a flipped count.

std::string FileListSection(int L) {
    return LanguageSection("CorpusFiles", L);
}

void WriteFileLists(TIniFile& Ini, const std::string& Folder) {
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const std::string Section = FileListSection(L);
        Ini.WriteInteger(Section, "Count", static_cast<int>(Config.Files.size()));
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            Ini.WriteString(Section, "File" + std::to_string(I), StoredName(Config.Files[I].Name, Folder));
            Ini.WriteBool(Section, "UTF8" + std::to_string(I), Config.Files[I].Object.Converted);
        }
        // Whether the data file holds the language's alignment: a data file that cannot be read still
        // lets the open say which alignments were lost.
        if (L > 0 && L < 4) Ini.WriteBool(Section, "Aligned", KeepSegmentIndexes && *AlignSlot(L - 1));
    }
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
    TSealedFile Sealed;        // sizes and the copy's time when the data file has a seal
    bool SealDamaged = false;  // the seal's record of it holds a value no save writes: nothing in it is used
};

bool SameFile(const TStoredFile& A, const TStoredFile& B) {
    return A.Stored == B.Stored && A.Converted == B.Converted;
}

// What the .BIN holds for one language, read in full before anything is registered.
struct TStoredLanguage {
    bool FilesRead = false;  // its "FILES" record was read
    bool Whole = false;      // its data may be used: read to their end and, with a seal, intact
    std::vector<TStoredFile> Files;
    TIntegerLists Lines, Pages;
    TTagsCollections Tags;
    std::unique_ptr<TFreqList> Freq;
    TAlignIndexes Sections, Paragraphs, Sentences;
};

// How far the data file can be relied on.
enum class TTrust {
    Legacy,  // saved before seals: read as far as it holds together
    Sealed,  // its seal is whole and belongs to the settings: every intact block is exactly as saved
    None,    // damaged or not saved with these settings: only the file names may be compared
};

struct TStoredWorkspace {
    std::array<std::optional<std::vector<TStoredFile>>, 4> Listed;  // the settings' file lists
    std::array<bool, 4> ListedWhole{};                              // every listed entry was there
    std::array<bool, 4> ListedAligned{};  // the settings say the data file holds the language's pairs
    std::array<TStoredLanguage, 4> Languages;
    std::array<std::unique_ptr<TDoubleAlignIndexes>, 3> Pairs;
    // The pairs the data file held (or, its block damaged, may have held) per file; empty: none saved.
    std::array<std::vector<bool>, 3> SavedPairs;
    std::array<bool, 3> PairsSaved{};
    TTrust Trust = TTrust::Legacy;
    TReadSeal Seal;
    bool SettingsDamaged = false;  // the settings file was cut short or changed since saving
    // Languages whose data were computed for a locale this system cannot use: they are computed again.
    std::array<bool, 4> LocaleLost{};
    // What was found damaged, one line each, said in one message once the open knows all of it.
    std::vector<std::string> Damage;

    void Damaged(const std::string& What) {
        if (std::find(Damage.begin(), Damage.end(), What) == Damage.end()) Damage.push_back(What);
    }
};

// "Language 2 (German (Germany))", as the damage and settings messages name a language; "language 2
// (...)" inside a sentence.
std::string LanguageLabel(int L, bool Capital = true) {
    std::string Label = (Capital ? "Language " : "language ") + std::to_string(L + 1);
    if (L < 4 && LanguageConfigs[size_t(L)] && !LanguageConfigs[size_t(L)]->LanguageName.empty())
        Label += " (" + LanguageConfigs[size_t(L)]->LanguageName + ")";
    return Label;
}

// The data a language's block holds, as the damage message names them.
std::string BlockData(const std::string& Tag) {
    static const std::pair<const char*, const char*> Names[] = {
        {"LINES", "the line numbers of its files"}, {"PAGES", "the page numbers of its files"},
        {"TAGS", "the tags of its files"},          {"FREQUENCY", "its frequency list"},
        {"HEADINGS", "the headings of its files"},  {"PARAGRAPHS", "the paragraphs of its files"},
        {"SENTENCES", "the sentences of its files"}};
    for (const auto& [Name, Data] : Names)
        if (Tag == Name) return Data;
    return Tag;
}

std::string AlignmentData(int K) {
    return "The alignment of " + LanguageLabel(K + 1, false) + " with " + LanguageLabel(0, false);
}

// Whether a block's head at the stream's position can be right (its end offset lies after it, inside
// the file), as the block readers judge it; the position is left where it was.
bool BlockHeadSound(TStream& S) {
    const int64_t At = S.GetPosition();
    const TBlockHead Head = ReadBlockHead(S);
    S.SetPosition(At);
    return Head.Complete && Head.EndValid;
}

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
        W.ListedWhole[size_t(L)] = Files.size() == size_t(Count);
        W.ListedAligned[size_t(L)] = Ini.ReadBool(Section, "Aligned", false);
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

// Reads the "FILES" record; false when it cannot be right (a count beyond what the bytes left allow,
// or a record that runs past the sections).
bool ReadFiles(TReader& R, TStoredLanguage& Out) {
    const int32_t Declared = ReadStreamInteger(R.S);
    const int32_t Count = ClampCount(Declared, R.Trailer - R.S.GetPosition(), 12);
    if (Count != Declared) return false;
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
        Out.Files.push_back(std::move(F));
    }
    Out.FilesRead = true;
    return true;
}

// Whether the files read agree with the settings' list (when it is whole: a cut list says nothing).
bool AgreesWithList(const TStoredLanguage& Language, const TStoredWorkspace& W, int L) {
    const auto& Listed = W.Listed[size_t(L)];
    if (!Listed || !W.ListedWhole[size_t(L)]) return true;
    return std::equal(Language.Files.begin(), Language.Files.end(), Listed->begin(), Listed->end(), SameFile);
}

// Loads one block into List; false (and the list emptied) when its head is damaged or it does not hold
// one slot per file.
template <class List>
bool LoadSlots(TStream& S, List& Items, size_t Files) {
    const bool Sound = BlockHeadSound(S);
    if (Items.LoadFromStream(S) && Sound && size_t(Items.Count()) == Files) return true;
    Items.Clear();
    return false;
}

// False when the list's head is damaged or the list cannot be read.
bool LoadFreq(TStream& S, int L, TStoredLanguage& Out) {
    const bool Sound = BlockHeadSound(S);
    auto List = std::make_unique<TFreqList>(L);
    if (!List->LoadFromStream(S)) return false;
    Out.Freq = std::move(List);
    return Sound;
}

// Reads one language section of a data file without a seal, in order; false when it cannot be trusted.
bool ReadLanguage(TReader& R, int L, TStoredWorkspace& W, TStoredLanguage& Out) {
    if (R.Tag != "FILES" || !ReadFiles(R, Out) || !AgreesWithList(Out, W, L)) return false;
    R.NextTag();
    const size_t Files = Out.Files.size();
    auto Block = [&](const char* Name, auto& List) {
        if (R.Tag != Name) return;
        if (!LoadSlots(R.S, List, Files)) W.Damaged(LanguageLabel(L) + ": " + BlockData(Name) + ".");
        R.NextTag();
    };
    Block("LINES", Out.Lines);
    Block("PAGES", Out.Pages);
    Block("TAGS", Out.Tags);
    if (R.Tag == "FREQUENCY") {
        if (!BlockHeadSound(R.S)) W.Damaged(LanguageLabel(L) + ": " + BlockData("FREQUENCY") + ".");
        LoadFreq(R.S, L, Out);
        R.NextTag();
    }
    Block("HEADINGS", Out.Sections);
    Block("PARAGRAPHS", Out.Paragraphs);
    Block("SENTENCES", Out.Sentences);
    // What follows a language is the next language's files or the end of the sections.
    return R.Tag.empty() || R.Tag == "FILES";
}

void ReadTrailer(TReader& R, TStoredWorkspace& W) {
    R.S.SetPosition(R.Trailer);
    bool Damaged = false;
    while (R.S.Remaining() > 0) {
        const std::string Tag = ReadStreamString(R.S);
        int K = -1;
        bool Discard = false;
        for (int I = 0; I < 3; ++I) {
            if (Tag == AlignTags[I]) K = I;
            if (Tag == ParaAlignTags[I]) K = I, Discard = true;
        }
        // An unknown tag's block cannot be told apart from what follows it: the trailer ends there.
        if (K < 0) {
            Damaged = true;
            break;
        }
        auto Pairs = std::make_unique<TDoubleAlignIndexes>();
        if (!BlockHeadSound(R.S)) Damaged = true;
        Pairs->LoadFromStream(R.S);
        if (Discard) continue;
        // A tag read twice was another tag once: neither list can be told to be the right one.
        if (W.PairsSaved[size_t(K)]) {
            Damaged = true;
            W.Pairs[size_t(K)].reset();
            continue;
        }
        W.PairsSaved[size_t(K)] = true;
        W.Pairs[size_t(K)] = std::move(Pairs);
    }
    if (!Damaged) return;
    W.Damaged("The alignments at the end of the data file.");
    // A damaged trailer may have held the pairs of every language in use.
    for (int K = 0; K < 3 && K + 1 < LanguagesCount; ++K) W.PairsSaved[size_t(K)] = true;
}

// The data file of an older save, read in order: a language section that disagrees with the settings'
// list, or that does not end where the next begins, ends the reading (where the next section starts can
// no longer be known) and it and every language after it keep no data.
void ReadInOrder(TReader& R, int32_t Languages, TStoredWorkspace& W) {
    R.S.SetPosition(SectionsStart);
    R.NextTag();
    bool Whole = true;
    int Read = 0;
    for (; Read < Languages && Whole; ++Read) {
        TStoredLanguage& Language = W.Languages[size_t(Read)];
        Whole = ReadLanguage(R, Read, W, Language);
        Language.Whole = Whole;
    }
    if (!Whole)
        W.Damaged(LanguageLabel(Read - 1) +
                  " and every language after it: everything stored for their files.");
    else if (Languages < LanguagesCount)
        W.Damaged(LanguageLabel(Languages) +
                  " and every language after it: the data file does not hold them.");
    else if (!R.Tag.empty() || R.S.GetPosition() != R.Trailer)
        W.Damaged("The end of the last language's data: everything stored for the corpus.");
    for (int L = 0; L < LanguagesCount && L < 4; ++L) W.Languages[size_t(L)].Whole &= Whole;
    ReadTrailer(R, W);
}

// Positions S after Tag at the start of Range; false when the range does not begin with that tag.
bool EnterRange(TStream& S, const TSealedRange& Range, const std::string& Tag) {
    S.SetPosition(Range.Offset);
    return ReadStreamString(S) == Tag;
}

// A sealed data file: every block is found through its range, so a damaged one is left out (reported
// once) and the blocks after it are still read.
void ReadSealed(TReader& R, const TWorkspaceSeal& Seal, TStoredWorkspace& W) {
    TStream& S = R.S;
    const TSealedRange* Head = Seal.Find("HEAD");
    if (!Head || !RangeIntact(S, *Head)) W.Damaged("The head of the data file.");
    for (size_t L = 0; L < Seal.Languages.size(); ++L) {
        TStoredLanguage& Language = W.Languages[L];
        const TSealedRange* Files = Seal.Find(SealedBlockName("FILES", int(L)));
        if (!Files || !RangeIntact(S, *Files) || !EnterRange(S, *Files, "FILES") || !ReadFiles(R, Language) ||
            S.GetPosition() != Files->Offset + Files->Length ||
            Language.Files.size() != Seal.Languages[L].Files.size()) {
            W.Damaged(LanguageLabel(int(L)) + ": the list of its files and everything stored for them.");
            Language.Files.clear();
            Language.FilesRead = false;
            continue;
        }
        for (size_t I = 0; I < Language.Files.size(); ++I) {
            TStoredFile& F = Language.Files[I];
            F.Sealed = Seal.Languages[L].Files[I];
            // A time or size no save writes: the file is not taken for the one saved, so its data go.
            F.SealDamaged = !SealedFilePlausible(F.Sealed);
            if (F.SealDamaged) W.Damaged("File \"" + F.Stored + "\": its record in the data file's seal.");
        }
        Language.Whole = !W.LocaleLost[L];
        const size_t Count = Language.Files.size();
        // Loads the block of Tag when its range is intact; anything less is reported and Drop leaves
        // nothing of it.
        auto Block = [&](const char* Tag, auto Load, auto Drop) {
            const TSealedRange* Range = Seal.Find(SealedBlockName(Tag, int(L)));
            if (!Range) return;
            if (RangeIntact(S, *Range) && EnterRange(S, *Range, Tag) && Load() &&
                S.GetPosition() == Range->Offset + Range->Length)
                return;
            W.Damaged(LanguageLabel(int(L)) + ": " + BlockData(Tag) + ".");
            Drop();
        };
        auto Slots = [&](const char* Tag, auto& List) {
            Block(
                Tag, [&] { return LoadSlots(S, List, Count); }, [&] { List.Clear(); });
        };
        Slots("LINES", Language.Lines);
        Slots("PAGES", Language.Pages);
        Slots("TAGS", Language.Tags);
        Block(
            "FREQUENCY", [&] { return LoadFreq(S, int(L), Language); }, [&] { Language.Freq.reset(); });
        Slots("HEADINGS", Language.Sections);
        Slots("PARAGRAPHS", Language.Paragraphs);
        Slots("SENTENCES", Language.Sentences);
    }
    for (int K = 0; K < 3; ++K) {
        const TSealedRange* Range = Seal.Find(AlignTags[K]);
        if (!Range) continue;
        W.PairsSaved[size_t(K)] = true;
        auto Pairs = std::make_unique<TDoubleAlignIndexes>();
        if (RangeIntact(S, *Range) && EnterRange(S, *Range, AlignTags[K]) && BlockHeadSound(S) &&
            Pairs->LoadFromStream(S) && S.GetPosition() == Range->Offset + Range->Length)
            W.Pairs[size_t(K)] = std::move(Pairs);
        else
            W.Damaged(AlignmentData(K) + ".");
    }
}

// Decides how far the data file can be relied on, from its seal and the end of the settings file.
void Judge(TStream& S, const TSettingsEnd& End, TStoredWorkspace& W) {
    W.Seal = ReadSeal(S);
    if (W.Seal.State == TSealState::Whole) {
        if (End.Present && End.SealCrc != W.Seal.Crc) {
            W.Damaged(ForeignDataText);
            W.Trust = TTrust::None;
            return;
        }
        W.Trust = TTrust::Sealed;
        W.SettingsDamaged = !End.Present || End.BodyCrc != W.Seal.Seal.SettingsCrc;
        return;
    }
    // A settings file that ends as saved belongs to a sealed data file: without one, the data file lost it.
    if (W.Seal.State == TSealState::Damaged || End.Present) {
        W.Damaged(DamagedSealText);
        W.Trust = TTrust::None;
        return;
    }
    W.Trust = TTrust::Legacy;
}

// With the settings damaged, the languages are those the data were computed for: the settings file may
// have lost a language, added one or give one the user's default locale. A sealed locale this system
// cannot use is not installed: the language keeps the settings' one and its data are computed again.
// Returns what was put right, for the report.
std::vector<std::string> KeepSealedLanguages(TStoredWorkspace& W) {
    const TWorkspaceSeal& Seal = W.Seal.Seal;
    std::vector<std::string> Kept;
    const int Count = static_cast<int>(std::min<size_t>(Seal.Languages.size(), 4));
    if (Count > 0 && Count != LanguagesCount)
        Kept.push_back("The settings file defines " + std::to_string(LanguagesCount) +
                       " languages; the workspace was saved with " + std::to_string(Count) + ".");
    for (int L = 0; L < Count; ++L) {
        const TSealedLanguage& Sealed = Seal.Languages[size_t(L)];
        std::unique_ptr<TConcordConfig>& Config = LanguageConfigs[size_t(L)];
        const bool Lost = !Config;
        if (Lost) Config = std::make_unique<TConcordConfig>(L);
        if (Config->LocaleId == Sealed.LocaleId && L < LanguagesCount) continue;
        if (!platform::IsUsableLocale(Sealed.LocaleId)) {
            // A language the settings lost gets the user's language, as the settings reader gives it.
            if (Lost)
                Config->SetLanguage(platform::UserDefaultLangId(),
                                    LanguageNameOfLCID(platform::UserDefaultLangId()));
            W.LocaleLost[size_t(L)] = true;
            Kept.push_back(LanguageLabel(L) +
                           ": its data were computed for a language this system cannot use (" +
                           std::to_string(Sealed.LocaleId) + "); they will be computed again.");
            continue;
        }
        const std::string Name =
            Sealed.LanguageName.empty() ? LanguageNameOfLCID(Sealed.LocaleId) : Sealed.LanguageName;
        Config->SetLanguage(Sealed.LocaleId, Name);
        Kept.push_back("Language " + std::to_string(L + 1) + " is " + Name +
                       ", the language its data were computed for.");
    }
    if (Count > 0) {
        for (int L = Count; L < 4; ++L) LanguageConfigs[size_t(L)].reset();
        LanguagesCount = Count;
    }
    return Kept;
}

void ReadBin(const std::string& BinName, const TSettingsEnd& End, TStoredWorkspace& W,
             std::vector<std::string>& SettingsNotes) {
    std::unique_ptr<TFileStream> File;
    try {
        File = std::make_unique<TFileStream>(BinName, fmOpenRead | fmShareDenyWrite);
    } catch (const std::exception& E) {
        ShowInfo(E.what());
        throw EWorkspaceRefused("");
    }
    // Damage is named in one message at the end of the open (TStoredWorkspace::Damage), not block by block.
    File->DamageReported = true;
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
    Judge(R.S, End, W);
    if (W.Trust == TTrust::Sealed && W.SettingsDamaged) SettingsNotes = KeepSealedLanguages(W);
    if (Languages < 0 || Languages > LanguagesCount)
        throw EWorkspaceRefused("The workspace's data file lists languages its settings do not define.");
    if (W.Trust == TTrust::Sealed) {
        ReadSealed(R, W.Seal.Seal, W);
    } else {
        const size_t Said = W.Damage.size();
        ReadInOrder(R, Languages, W);
        // Nothing of a data file that cannot be relied on is used; its names only say what it listed, and
        // the settings say which alignments it held.
        if (W.Trust == TTrust::None) {
            W.Damage.resize(Said);
            for (TStoredLanguage& Language : W.Languages) Language.Whole = false;
            for (auto& Pairs : W.Pairs) Pairs.reset();
            for (int K = 0; K < 3; ++K) W.PairsSaved[size_t(K)] |= W.ListedAligned[size_t(K + 1)];
        }
    }
    for (int K = 0; K < 3; ++K) {
        W.SavedPairs[size_t(K)].clear();
        if (!W.PairsSaved[size_t(K)]) continue;
        // A pair list that could not be read may have paired every file.
        const size_t Files = std::max(W.Languages[0].Files.size(), W.Listed[0] ? W.Listed[0]->size() : 0);
        W.SavedPairs[size_t(K)].assign(Files, true);
        if (const auto& Pairs = W.Pairs[size_t(K)])
            for (size_t I = 0; I < Files; ++I)
                W.SavedPairs[size_t(K)][I] = int32_t(I) < Pairs->Count() && Pairs->GetItem(int32_t(I));
    }
}

// The files each language gets, when the data file's record and the settings' list disagree: a record
// the seal vouches for, or one that a cut list cannot contradict, is kept whole; otherwise the settings'
// list. A data file that is relied on for nothing gives no name. Every file one of them lists and the
// other does not is named.
class TListChoice {
public:
    // Chooses language L's files; clears the language's Whole when its stored data do not go with them.
    const std::vector<TStoredFile>& Choose(int L, TStoredWorkspace& W) {
        FLanguage = L;
        TStoredLanguage& Language = W.Languages[size_t(L)];
        const auto& Listed = W.Listed[size_t(L)];
        const bool Read = Language.FilesRead && W.Trust != TTrust::None;
        const bool ListWhole = Listed && W.ListedWhole[size_t(L)];
        if (!Listed ||
            (Read && (W.Trust == TTrust::Sealed || !ListWhole || AgreesWithList(Language, W, L)))) {
            if (Listed) {
                Note(Language.Files, *Listed, "not listed by the settings file");
                Note(*Listed, Language.Files, "left out: the data file does not list it");
            }
            if (!Read) Language.Whole = false;
            return Language.Files;
        }
        Language.Whole = false;
        if (Language.FilesRead) {
            Note(Language.Files, *Listed, "left out: the settings file does not list it");
            Note(*Listed, Language.Files, "not listed by the data file");
        }
        return *Listed;
    }

    // One message for every file the two files of the workspace disagree about.
    void Report() const {
        if (FNotes.empty()) return;
        std::string Text = DisagreeingListsText;
        for (size_t I = 0; I < FNotes.size() && I < 10; ++I) Text += "\n" + FNotes[I];
        if (FNotes.size() > 10) Text += "\n(" + std::to_string(FNotes.size() - 10) + " more files.)";
        ShowError(Text);
    }
    bool Any() const { return !FNotes.empty(); }

private:
    // Names each file of From that Kept does not hold.
    void Note(const std::vector<TStoredFile>& From, const std::vector<TStoredFile>& Kept, const char* Why) {
        for (const TStoredFile& F : From)
            if (std::none_of(Kept.begin(), Kept.end(), [&](const TStoredFile& G) { return SameFile(F, G); }))
                FNotes.push_back("Language " + std::to_string(FLanguage + 1) + ", file \"" + F.Stored +
                                 "\": " + Why + ".");
    }

    std::vector<std::string> FNotes;
    int FLanguage = 0;
};

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

// How a file stands against what was saved of it.
struct TFileCheck {
    bool Changed = true;
    // Unchanged by its content though its time differs: the file's time (in nanoseconds) while it was
    // summed.
    std::optional<int64_t> SummedAt;
};

// A file changed since saving: its time (an hour either way forgiven) or, where the seal keeps it, its
// size differs. A file whose time alone differs (a project copied without keeping file times) is
// unchanged when the seal keeps the sum of its content and its bytes now have that sum: a wrong sum
// only ever makes a file count as changed.
TFileCheck CheckFile(const std::string& Name, int32_t Age, int64_t Size, std::optional<uint64_t> Sum) {
    TFileCheck Check;
    if (Size >= 0 && FileSizeOrUnknown(Name) != Size) return Check;
    Check.Changed = !FileTimeMatches(platform::FileAge(Name), Age);
    if (!Check.Changed || !Sum || Age == -1 || Size < 0) return Check;
    int64_t Modified = 0;
    if (FileContentSum(Name, Size, &Modified) != Sum) return Check;
    Check.Changed = false;
    Check.SummedAt = Modified;
    return Check;
}

bool FileChanged(const std::string& Name, int32_t Age, int64_t Size) {
    return CheckFile(Name, Age, Size, std::nullopt).Changed;
}

// The stream of a file found to be the one saved takes the sealed sum of its bytes, so that the next
// save need not read them. False when the file the stream opened is not the one summed (it was written
// in between), which then counts as changed.
bool TakeSealedSum(TFileSynchroStream& Stream, const TFileCheck& Check, std::optional<uint64_t> Sum) {
    if (Check.SummedAt && *Check.SummedAt != Stream.ModifiedWhenOpened()) return false;
    Stream.SetContentSum(Sum);
    return true;
}

// ResolveWorkspacePath, and whether the name was found only as the folder's file of its last name part.
std::string ResolveStoredPath(const std::string& Stored, const std::string& Folder, bool& ByLastPart) {
    const bool Relative =
        !Stored.empty() && Stored[0] != '/' && Stored[0] != '\\' && !(Stored.size() >= 2 && Stored[1] == ':');
    const std::string Result = Relative ? Folder + Stored : Stored;
    std::error_code Error;
    ByLastPart = !fs::exists(Result, Error);
    if (!ByLastPart) return Result;
    const size_t Cut = Stored.find_last_of("/\\:");
    return Folder + (Cut == std::string::npos ? Stored : Stored.substr(Cut + 1));
}

// Registers the files of the workspace and says in one message which could not be found.
class TRegistration {
public:
    TRegistration(const std::string& Folder, std::array<std::vector<char>, 4>& Changed)
        : FFolder(Folder), FChanged(Changed) {}

    // The files of every language, before any is registered: a file that one of them names where it
    // is can never be another's stand-in found by its last name part.
    void Expect(const std::vector<TStoredFile>& Files) {
        for (const TStoredFile& F : Files) {
            bool ByLastPart = false;
            const std::string Name =
                F.Stored.empty() ? std::string() : ResolveStoredPath(F.Stored, FFolder, ByLastPart);
            if (!Name.empty() && !ByLastPart) FNamed.insert(Name);
        }
    }

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
    // The files known to have changed since saving (their stored time or size is known and differs),
    // as against files whose stored time is unknown.
    const std::array<std::vector<char>, 4>& KnownChanged() const { return FKnownChanged; }
    const std::vector<std::string>& Fresh() const { return FFresh; }
    const std::vector<std::string>& Outdated() const { return FOutdated; }

private:
    // A file found only under the workspace's folder by its last name part (its stored place is gone)
    // is taken only when it is the file saved: its time and, where the seal keeps it, its size agree,
    // and no other entry of the workspace names it or took it. A parallel corpus uses the same names in
    // every language: a moved workspace must never read one language's text as another's.
    bool StandsIn(const std::string& Name, const TStoredFile& F) const {
        return !FNamed.count(Name) && !FTaken.count(Name) &&
               !(F.SealDamaged ? FileChanged(Name, F.Age, -1)
                               : CheckFile(Name, F.Age, F.Sealed.Size, F.Sealed.FileSum()).Changed);
    }

    void File(int L, const TStoredFile& F) {
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const size_t Before = Config.Files.size();
        bool ByLastPart = false;
        const std::string Name =
            F.Stored.empty() ? std::string() : ResolveStoredPath(F.Stored, FFolder, ByLastPart);
        std::error_code Error;
        bool Changed = true;
        if (Name.empty() || !fs::is_regular_file(Name, Error) || (ByLastPart && !StandsIn(Name, F))) {
            FMissing.push_back(F.Stored);
        } else {
            bool CopyByLastPart = false;
            const std::string Copy = F.StoredCopy.empty()
                                         ? std::string()
                                         : ResolveStoredPath(F.StoredCopy, FFolder, CopyByLastPart);
            const bool Sealed = F.Sealed.CopySize >= 0 && !F.SealDamaged;
            // A file changed since saving gets a new copy at once (its stored one was made from the old
            // text); so does one whose copy is gone, is not named as one of its copies, is already read by
            // another file, or is not the copy that was saved (another time or size, its content sum
            // differing too), and one whose copy was found only by its last name part where no seal can
            // tell it is the copy saved.
            const std::optional<uint64_t> Sum = F.SealDamaged ? std::nullopt : F.Sealed.FileSum();
            const TFileCheck Check = CheckFile(Name, F.Age, F.Sealed.Size, Sum);
            Changed = F.SealDamaged || Check.Changed;
            const bool Own = F.Converted && IsCopyNameOf(Copy, Name) && fs::is_regular_file(Copy, Error) &&
                             (Sealed || !CopyByLastPart) && FClaimed.insert(Copy).second;
            TFileCheck CopyCheck{false, std::nullopt};
            if (Sealed && Own && !Changed)
                CopyCheck = CheckFile(Copy, F.Sealed.CopyAge, F.Sealed.CopySize, F.Sealed.CopyFileSum());
            const bool SavedCopy = !CopyCheck.Changed;
            FTaken.insert(Name);
            const bool Usable = Own && !Changed && SavedCopy;
            // The copy of a changed file holds its old text, and one that is not the copy saved holds who
            // knows what: nothing will read either again. A copy made anew from an unchanged file is the
            // one the data were computed from, so they stay.
            if (Own && (Changed || !SavedCopy)) FOutdated.push_back(Copy);
            ConvertCorpusFile(Name, Usable ? Copy : std::string(), F.Converted, L);
            // The file read is the one saved: its stream takes the sum of the bytes it reads.
            if (Config.Files.size() > Before && !Changed && (!F.Converted || Usable))
                Changed = !TakeSealedSum(*Config.Streams.back(), F.Converted ? CopyCheck : Check,
                                         F.Converted ? F.Sealed.CopyFileSum() : Sum);
            // A copy kept stands for the UTF-8 file as it was saved, which it still is (at its time now,
            // when only its content told).
            if (Usable && Config.Files.size() > Before) {
                TCorpusFileRecord& Record = Config.Files.back().Object;
                Record.SourceAge = Check.SummedAt ? DosAgeAt(*Check.SummedAt) : F.Age;
                Record.SourceSize = F.Sealed.Size;
                Record.SourceSum = Sum;
            }
            if (Config.Files.size() > Before && F.Converted && !Usable)
                FFresh.push_back(Config.Files.back().Object.CopyName);
        }
        if (Config.Files.size() == Before) {
            if (!Name.empty() && std::find(FMissing.begin(), FMissing.end(), F.Stored) == FMissing.end())
                FMissing.push_back(F.Stored);
            Config.AddFile({}, nullptr, nullptr);
        }
        Config.Files.back().Object.WordCount = F.Words;
        FChanged[size_t(L)].push_back(Changed);
        FKnownChanged[size_t(L)].push_back(Changed && F.Age != -1 && !F.SealDamaged &&
                                           !Config.Files.back().Name.empty());
    }

    const std::string& FFolder;
    std::unordered_set<std::string> FNamed;  // what the stored names resolve to without the fallback
    std::unordered_set<std::string> FTaken;  // the files registered so far
    std::array<std::vector<char>, 4>& FChanged;
    std::array<std::vector<char>, 4> FKnownChanged;
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

// A pair list belongs to the languages it pairs only when both were read whole. It keeps a slot for
// every file of language 0 (a language still being built has fewer files, and the slots of files it
// lacks are empty); a pair for a file that either language does not have cannot be right.
void InstallPairs(TStoredWorkspace& W) {
    for (int K = 0; K < 3; ++K) {
        std::unique_ptr<TDoubleAlignIndexes>& Pairs = W.Pairs[size_t(K)];
        if (!Pairs) continue;
        // The aligner keeps pair lists for languages not in use; they pair no file and stay as saved.
        if (K + 1 >= LanguagesCount) {
            *AlignSlot(K) = std::move(Pairs);
            continue;
        }
        const TStoredLanguage &Source = W.Languages[0], &Target = W.Languages[size_t(K + 1)];
        if (!Source.Whole || !Target.Whole) continue;
        const int32_t Sources = int32_t(Source.Files.size()), Targets = int32_t(Target.Files.size());
        bool Fits = true;
        for (int32_t I = std::min(Sources, Targets); I < Pairs->Count(); ++I)
            Fits &= Pairs->GetItem(I) == nullptr;
        if (!Fits) {
            W.Damaged(AlignmentData(K) + ": it pairs files the languages do not have.");
            continue;
        }
        while (Pairs->Count() > Sources) Pairs->Delete(Pairs->Count() - 1);
        while (Pairs->Count() < Sources) Pairs->Add(nullptr);
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

// ---- Data that cannot belong to their file ------------------------------------------------------------

bool WithinSize(const TIntegerList* List, int64_t Size) {
    return !List || List->Count() == 0 || (List->Values().front() >= 0 && List->Values().back() <= Size);
}

bool SegmentsWithin(const TAlignIndex* Segments, int64_t Size) {
    if (!Segments) return true;
    for (int32_t I = 0; I < Segments->Count(); ++I) {
        const TSegment S = Segments->GetItem(I);
        // An End below Start is valid (the markup aligners and the editor make such segments).
        if (S.Start < 0 || S.Start > Size || S.End > Size) return false;
    }
    return true;
}

// Whether everything stored for file I of language L lies inside the text it is read from, and its word
// count is one a text of that size can have.
bool DataFitFile(int L, int32_t I) {
    const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
    const auto& File = Config.Files[size_t(I)];
    if (File.Name.empty()) return true;
    const int64_t Size = FileSizeOrUnknown(File.Object.Converted ? File.Object.CopyName : File.Name);
    if (Size < 0) return true;
    if (File.Object.WordCount < 0 || File.Object.WordCount > Size) return false;
    if (!WithinSize(Config.LineStarts.GetItem(I), Size) || !WithinSize(Config.PageStarts.GetItem(I), Size))
        return false;
    if (const TTagsCollection* Tags = Config.FileTags.GetItem(I))
        for (const auto& Entry : Tags->Entries())
            if (!WithinSize(&Entry.second, Size)) return false;
    if (!SegmentsWithin(Config.SectionIndexes.GetItem(I), Size) ||
        !SegmentsWithin(Config.ParagraphIndexes.GetItem(I), Size) ||
        !SegmentsWithin(Config.SentenceIndexes.GetItem(I), Size))
        return false;
    for (int K = 0; K < 3; ++K) {
        const auto& Pairs = *AlignSlot(K);
        if (!Pairs || (L != 0 && L != K + 1) || I >= Pairs->Count() || !Pairs->GetItem(I)) continue;
        const TDoubleAlignIndex& Pair = *Pairs->GetItem(I);
        if (!SegmentsWithin(L == 0 ? &Pair.Side1 : &Pair.Side2, Size)) return false;
    }
    return true;
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
    // The alignment of a pair of files depends on those two files alone: the other pairs stay.
    ClearFileAlignment(L, F);
}

// A file that is gone leaves its language: every later file of it moves up one place, so from its place
// on no pair of the lists it takes part in pairs the files it was computed for.
void DropPairsFrom(int L, int32_t I) {
    ClearFileAlignment(L, I);
    for (int K = 0; K < 3; ++K) {
        const auto& Pairs = *AlignSlot(K);
        if (!Pairs || (L != 0 && L != K + 1)) continue;
        for (int32_t J = I; J < Pairs->Count(); ++J) Pairs->SetItem(J, nullptr);
    }
}

// Drops the data of every file Changed says changed and of every file that is gone.
void DropChanged(const std::array<std::vector<char>, 4>& Changed, const std::vector<std::string>& Fresh) {
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        const std::vector<char>& Flags = Changed[size_t(L)];
        for (size_t I = 0; I < Flags.size() && I < Config.Files.size(); ++I) {
            if (Config.Files[I].Name.empty()) DropPairsFrom(L, int32_t(I));
            if (Config.Files[I].Name.empty() || Flags[I]) DropFileData(L, I, Fresh);
        }
    }
}

// Removes the entries of files that were not found; the pair lists keep a slot for each file of
// language 0 (the slots of removed files were emptied from their place on).
void RemoveMissing() {
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        if (!LanguageConfigs[size_t(L)]) continue;
        TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        for (int I = static_cast<int>(Config.Files.size()) - 1; I >= 0; --I)
            if (Config.Files[size_t(I)].Name.empty()) Config.RemoveFile(I);
    }
    const int32_t Sources =
        LanguagesCount > 0 && LanguageConfigs[0] ? int32_t(LanguageConfigs[0]->Files.size()) : 0;
    for (int K = 0; K < 3; ++K)
        if (const auto& Pairs = *AlignSlot(K))
            while (Pairs->Count() > Sources && !Pairs->GetItem(Pairs->Count() - 1))
                Pairs->Delete(Pairs->Count() - 1);
}

// The copies the opened workspace names, as its files now read them.
std::vector<std::string> RegisteredCopies() {
    std::vector<std::string> Named;
    for (int L = 0; L < LanguagesCount; ++L)
        for (const auto& File : LanguageConfigs[size_t(L)]->Files)
            if (File.Object.Converted) Named.push_back(File.Object.CopyName);
    return Named;
}

// Names the pairs of files whose stored alignment did not survive the open: those of a file changed
// since saving in one message (their alignment is rightly computed again), every other in another. A
// pair with a file that is gone is left out (the file was named as not found). Called before such files
// are removed, so that file I of every language is still the I-th stored file.
class TLostAlignments {
public:
    void Note(const TStoredWorkspace& W, const std::array<std::vector<char>, 4>& Changed) {
        auto ChangedAt = [&](int L, size_t I) {
            return I < Changed[size_t(L)].size() && Changed[size_t(L)][I];
        };
        for (int K = 0; K < 3 && K + 1 < LanguagesCount; ++K) {
            const std::vector<bool>& Saved = W.SavedPairs[size_t(K)];
            const auto& Now = *AlignSlot(K);
            const TConcordConfig &Source = *LanguageConfigs[0], &Target = *LanguageConfigs[size_t(K + 1)];
            for (size_t I = 0; I < Saved.size(); ++I) {
                if (!Saved[I] || (Now && int32_t(I) < Now->Count() && Now->GetItem(int32_t(I)))) continue;
                const std::string A = I < Source.Files.size() ? Source.Files[I].Name : std::string();
                const std::string B = I < Target.Files.size() ? Target.Files[I].Name : std::string();
                if (A.empty() || B.empty()) continue;
                (ChangedAt(0, I) || ChangedAt(K + 1, I) ? FChanged : FLost)
                    .push_back("\"" + A + "\" with \"" + B + "\"");
            }
        }
    }
    void Report() const {
        Say(ChangedAlignmentText, FChanged, ShowInfo);
        Say(LostAlignmentText, FLost, ShowError);
    }
    // Whether an alignment was lost for another reason than a changed file.
    bool Any() const { return !FLost.empty(); }

private:
    static void Say(const char* Head, const std::vector<std::string>& Pairs,
                    int (*Show)(const std::string&)) {
        if (Pairs.empty()) return;
        std::string Text = Head;
        for (size_t I = 0; I < Pairs.size() && I < 10; ++I) Text += "\n" + Pairs[I];
        if (Pairs.size() > 10) Text += "\n(" + std::to_string(Pairs.size() - 10) + " more pairs of files.)";
        Show(Text);
    }

    std::vector<std::string> FChanged, FLost;
};

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
    if (const std::string Problem = WorkspaceNameProblem(FileName); !Problem.empty()) {
        ShowError(Problem);
        return false;
    }
    TPairFiles Pair;
    try {
        Pair = PairFiles(FileName);
    } catch (const std::exception& E) {
        ShowError(E.what());
        return false;
    }
    FinishInterruptedSave(Pair);
    std::vector<TCopyMove> Moves;
    std::string MadeFolder;
    if (!PlaceConvertedCopies(FileName, Moves, MadeFolder)) return false;
    const std::string Folder = WorkspaceFolder(FileName);
    const std::string PendingTws = PendingName(Pair.TwsTarget, "saving");
    const std::string PendingBin = PendingName(Pair.BinTarget, "saving");
    NameCopies(Moves, true);
    try {
        TIniFile Ini(PendingTws, TIniFile::TOpenMode::StartEmpty);
        SaveGeneralPrefs(Ini);
        WriteFileLists(Ini, Folder);
        const std::string Settings = Ini.Content();
        const uint32_t Seal = WriteBin(PendingBin, Pair.Bin, Folder, Crc32(Settings.data(), Settings.size()));
        WriteText(PendingTws, FileName, Settings + SettingsEndText(Seal));
        CommitPair(Pair, PendingTws, PendingBin);
    } catch (const std::exception& E) {
        // Nothing of a failed save stays: neither its files nor the copies it placed.
        RemoveQuietly(PendingTws);
        RemoveQuietly(PendingBin);
        NameCopies(Moves, false);
        RemoveCopies(Moves, MadeFolder);
        ShowError(E.what());
        return false;
    }
    CommitCopies(Moves);
    // Copies the previous save named and this one does not are read by nothing any more.
    RecordWorkspaceCopies(FileName, RegisteredCopies(), true);
    if (FileName == WorkspaceFileName) WorkspaceIncomplete = false;
    NoteWorkspaceSaved(FileName);
    return true;
}

std::string WorkspaceNameProblem(const std::string& FileName) {
    const std::string Bin = WorkspaceBinName(FileName);
    std::error_code Error;
    if (Bin == FileName || (fs::exists(FileName, Error) && fs::equivalent(FileName, Bin, Error)))
        return "The workspace cannot be saved as \"" + FileName +
               "\": its data file would be the settings file itself. Please choose a name with another "
               "extension, such as \"" +
               fs::path(FileName).replace_extension(".TWS").string() + "\".";
    const std::optional<uint32_t> Seal = DataSeal(Bin);
    if (!Seal || SettingsSeal(FileName) == Seal) return {};
    // Another settings file of the same name but for its extension may be the one the data file was
    // saved with: its data and corrections would be lost.
    const fs::path Stem = fs::path(FileName).stem();
    fs::path Folder = fs::path(FileName).parent_path();
    if (Folder.empty()) Folder = ".";
    for (fs::directory_iterator It(Folder, Error), End; !Error && It != End; It.increment(Error)) {
        const fs::path& Other = It->path();
        if (Other.stem() != Stem || Other.string() == FileName ||
            Other.filename() == fs::path(Bin).filename())
            continue;
        if (SettingsSeal(Other.string()) == Seal)
            return "The data file \"" + Bin + "\" belongs to the workspace \"" + Other.string() +
                   "\". Saving the workspace as \"" + FileName +
                   "\" would replace it. Please choose another name.";
    }
    return {};
}

namespace {

// The settings file was cut short or changed since the workspace was saved: said once, with what the
// languages were put back to.
void ReportDamagedSettings(const std::string& FileName, const std::vector<std::string>& Notes) {
    std::string Text = "The settings file \"" + FileName +
                       "\" of the workspace was cut short or changed since it was saved. Settings it lost "
                       "have their default values; the corpus data are kept as saved.";
    for (const std::string& Note : Notes) Text += "\n" + Note;
    ShowError(Text);
}

// Reads both files of the workspace into Stored; raises EWorkspaceRefused when it cannot be opened.
void ReadWorkspace(const std::string& FileName, TStoredWorkspace& Stored) {
    const TSettingsEnd End = ReadSettingsEnd(FileName);
    ReadFileLists(FileName, Stored);
    std::vector<std::string> Notes;
    ReadBin(WorkspaceBinName(FileName), End, Stored, Notes);
    if (Stored.SettingsDamaged) ReportDamagedSettings(FileName, Notes);
}

// One message for everything found damaged: the workspace and each piece of data computed again.
void ReportDamagedWorkspace(const std::string& FileName, const std::vector<std::string>& Damage) {
    constexpr size_t Shown = 12;
    std::string Text = DamagedWorkspaceText(FileName);
    for (size_t I = 0; I < Damage.size() && I < Shown; ++I) Text += "\n" + Damage[I];
    if (Damage.size() > Shown) Text += "\n(" + std::to_string(Damage.size() - Shown) + " more.)";
    ShowError(Text);
}

}  // namespace

bool LoadWorkspace(const std::string& FileName) {
    TWaitScope Wait;
    try {
        FinishInterruptedSave(PairFiles(FileName));
    } catch (const std::exception&) {  // a link that cannot be followed: the open says what it finds
    }
    const std::string Folder = WorkspaceFolder(FileName);
    LoadWorkspacePrefs(FileName);
    WorkspaceFileName = FileName;
    WorkspaceDamaged = false;
    WorkspaceIncomplete = false;
    TStoredWorkspace Stored;
    try {
        ReadWorkspace(FileName, Stored);
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
    std::array<std::vector<char>, 4> Changed;
    TRegistration Registration(Folder, Changed);
    TListChoice Lists;
    std::array<const std::vector<TStoredFile>*, 4> Chosen{};
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        Chosen[size_t(L)] = &Lists.Choose(L, Stored);
        Registration.Expect(*Chosen[size_t(L)]);
    }
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        TStoredLanguage& Language = Stored.Languages[size_t(L)];
        Registration.Language(L, *Chosen[size_t(L)]);
        if (Language.Whole) InstallLanguage(L, Language);
    }
    ReserveCopyNames({});
    InstallPairs(Stored);
    // Data that cannot belong to the text they index are damage, however well they were stored (the data
    // of a changed file go anyway).
    std::vector<std::pair<int, size_t>> Unfit;
    for (int L = 0; L < LanguagesCount && L < 4; ++L)
        for (size_t I = 0; I < LanguageConfigs[size_t(L)]->Files.size() && I < Changed[size_t(L)].size(); ++I)
            if (!Changed[size_t(L)][I] && !DataFitFile(L, int32_t(I))) {
                Unfit.emplace_back(L, I);
                Stored.Damaged("File \"" + LanguageConfigs[size_t(L)]->Files[I].Name +
                               "\": its stored data do not fit it.");
            }
    for (const auto& [L, I] : Unfit) DropFileData(L, I, Registration.Fresh());
    if (!Stored.Damage.empty()) ReportDamagedWorkspace(FileName, Stored.Damage);
    WorkspaceDamaged = Stored.SettingsDamaged || !Stored.Damage.empty();
    Lists.Report();
    Registration.ReportMissing();
    DropChanged(Changed, Registration.Fresh());
    // A language whose data could not be used keeps nothing computed: it is processed again.
    for (int L = 0; L < LanguagesCount && L < 4; ++L)
        if (!Stored.Languages[size_t(L)].Whole) ClearFileAlignment(L, -1);
    TLostAlignments Lost;
    Lost.Note(Stored, Registration.KnownChanged());
    Lost.Report();
    RemoveMissing();
    for (const std::string& Copy : Registration.Outdated()) {
        RemoveQuietly(Copy);
        std::erase(StoredCopies, Copy);
    }
    RecordWorkspaceCopies(FileName, StoredCopies, false);
    WorkspaceIncomplete = WorkspaceDamaged || Registration.AnyMissing() || Lists.Any() || Lost.Any();
    NoteWorkspaceSaved(FileName);
    return true;
}

std::string DamagedWorkspaceText(const std::string& FileName) {
    return "The workspace \"" + FileName + "\" is damaged. These data of it will be computed again:";
}

std::string IncompleteWorkspaceQuestion(const std::string& FileName) {
    return "The workspace \"" + FileName +
           "\" was opened with data missing. Saving it now replaces what it held for good. Save it anyway?";
}

std::string ResolveWorkspacePath(const std::string& Stored, const std::string& Folder) {
    bool ByLastPart = false;
    return ResolveStoredPath(Stored, Folder, ByLastPart);
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
    std::array<std::vector<char>, 4> Changed;
    for (int L = 0; L < LanguagesCount && L < 4; ++L) {
        const TConcordConfig& Config = *LanguageConfigs[size_t(L)];
        for (size_t I = 0; I < StoredAges[size_t(L)].size() && I < Config.Files.size(); ++I)
            Changed[size_t(L)].push_back(FileChanged(Config.Files[I].Name, StoredAges[size_t(L)][I], -1));
    }
    DropChanged(Changed, {});
    RemoveMissing();
}
