#include "engine/UTF8_to_ASCII.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcLangs.h"
#include "engine/ConcStreamUtils.h"
#include "engine/ConcUtils.h"
#include "engine/ContentSum.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t BlockSize = 1024;
constexpr int32_t LookAhead = 10;
// Decoded text is handed to the code-page converter in batches, and the window is pumped once per
// batch: per 1 KB block both would cost more than the conversion itself.
constexpr int32_t BlocksPerBatch = 64;

// The bits a sequence of N bytes carries (index N), and the largest value a sequence of N - 1 bytes
// can carry: a value at or below it is an overlong encoding.
constexpr uint32_t ValueMask[7] = {0, 0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF, 0x7FFFFFFF};
constexpr uint32_t ShorterMax[7] = {0, 0, 0x7F, 0x7FF, 0xFFFF, 0x1FFFFF, 0x3FFFFFF};

std::string Hex(const char* Format, uint32_t Value) {
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, Format, Value);
    return Buffer;
}

// The bytes of a sequence as "$XX" each: raw bytes of a broken sequence are no text a message can show.
[[noreturn]] void RaiseSequence(const std::string& Bytes, const char* Prefix) {
    std::string Shown;
    for (char B : Bytes) Shown += Hex("$%2.2X", uint8_t(B));
    throw EConvertError(std::string(Prefix) + "\"" + Shown + "\"");
}

// The length of the sequence a lead byte 11xxxxxx starts: 1 plus the 1 bits that follow the leading 11.
int SequenceLength(uint8_t Lead) {
    int N = 1;
    for (uint8_t Mask = 0x40; Mask != 0 && (Lead & Mask) != 0; Mask >>= 1) ++N;
    return N;
}

void AppendValue(uint32_t Value, std::u16string& Text) {
    if (Value < 0xD800 || (Value >= 0xE000 && Value <= 0xFFFD)) {
        Text.push_back(static_cast<char16_t>(Value));
    } else if (Value <= 0xFFFF) {
        throw EConvertError(Hex("Invalid UCS-4 character $%8.8X", Value));
    } else if (Value <= 0x10FFFF) {
        Text.push_back(static_cast<char16_t>(0xD800 + ((Value - 0x10000) >> 10)));
        Text.push_back(static_cast<char16_t>(0xDC00 | (Value & 0x3FF)));
    } else {
        throw EConvertError(Hex("Cannot convert $%8.8X to UTF-16", Value));
    }
}

// Deletes a file on scope exit unless released; a failed conversion never leaves a half copy behind.
class TRemoveOnFailure {
public:
    explicit TRemoveOnFailure(std::string Path) : FPath(std::move(Path)) {}
    ~TRemoveOnFailure() {
        if (FArmed) RemoveQuietly(FPath);
    }
    void Release() { FArmed = false; }
    static void RemoveQuietly(const std::string& Path) {
        std::error_code Ignored;
        if (!Path.empty()) fs::remove(Path, Ignored);
    }

private:
    std::string FPath;
    bool FArmed = true;
};

// A gauge maximum for a file size, and the divisor that keeps positions in an int.
int GaugeScale(int64_t Size) {
    return Size > INT_MAX ? static_cast<int>(Size / INT_MAX + 1) : 1;
}

TConcordConfig& LanguageConfig(int32_t Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[Language])
        throw EConcError("Language " + std::to_string(Language) + " does not exist.");
    return *LanguageConfigs[Language];
}

int FindFile(const TConcordConfig& Config, const std::string& Name) {
    return Config.IndexOfFile(Name);
}

// The shared stream of a corpus file's path. Its reader is made when a window first reads the file
// through it (FileReader): a reader holds a block of the file, which for a corpus of many thousand files
// would cost hundreds of megabytes and a read per file before anything is shown.
std::unique_ptr<TFileSynchroStream> OpenCorpusPath(const std::string& Path) {
    return std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite);
}

void NoteCopyMade(const std::string& Copy);

// Frees the six index slots of file F: they were computed from other bytes.
void FreeFileIndexes(TConcordConfig& Config, int32_t F) {
    Config.PageStarts.SetItem(F, nullptr);
    Config.LineStarts.SetItem(F, nullptr);
    Config.FileTags.SetItem(F, nullptr);
    Config.SectionIndexes.SetItem(F, nullptr);
    Config.ParagraphIndexes.SetItem(F, nullptr);
    Config.SentenceIndexes.SetItem(F, nullptr);
}

// The state of the conversions of one load (TConversionRun): once one found no room, the rest are not
// tried.
struct TRunState {
    int Depth = 0;
    bool OutOfRoom = false;
};

TRunState& Run() {
    static TRunState State;
    return State;
}

// The UTF-8 file's time and size as its copy is made, taken before it is read: a change while it is
// converted makes them older than the copy, never newer, so the copy is then found out of date.
void NoteSource(TCorpusFileRecord& Record, const std::string& FileName) {
    std::error_code Error;
    const uintmax_t Size = fs::file_size(FileName, Error);
    Record.SourceSize = Error ? -1 : static_cast<int64_t>(Size);
    Record.SourceAge = Error ? -1 : platform::FileAge(FileName);
}

bool IsLackOfRoom(int Error) {
    return Error == ENOSPC || Error == EDQUOT || Error == EFBIG;
}

// Makes the 8-bit copy of FileName for Language under the "Converting..." window. Returns the copy's
// path, or "" when the conversion was cancelled or failed (a failure is shown; nothing is left).
// After a copy found no room in this run, "" at once and silently. Record's SourceSum receives the
// content sum of the UTF-8 file as it was converted.
std::string MakeConvertedCopy(const std::string& FileName, int32_t Language, TCorpusFileRecord& Record) {
    if (Run().OutOfRoom) return {};
    // Said before anything is written: a copy of a file that cannot be read would be refused afterwards.
    try {
        CheckCorpusFileSize(FileName);
    } catch (const EConcError& E) {
        ShowError(E.what());
        return {};
    }
    const std::string CopyName = MakeAsciiCopyName(FileName, WorkspaceFileName);
    if (CopyName.empty()) {
        ShowError("Can't create a converted copy of " + FileName + ".");
        return {};
    }
    std::unique_ptr<TProgressForm> Progress = ShowProgressForm(5, "Converting...", FileName, 0, 0, "");
    try {
        const int CodePage = LocaleCodePage(LanguageConfig(Language).LocaleId);
        if (!ConvertUTF8File(FileName, CopyName, CodePage, Progress.get(), &Record.SourceSum)) return {};
        NoteCopyMade(CopyName);
    } catch (const std::exception& E) {
        Progress.reset();
        const auto* File = dynamic_cast<const EFileError*>(&E);
        if (!File || !IsLackOfRoom(File->Error)) {
            ShowError(E.what());
            return {};
        }
        // Every later copy would meet the same full disk: one message, and the load converts no more.
        ShowError(std::string(E.what()) + "\n" + NoRoomForCopiesText);
        Run().OutOfRoom = Run().Depth > 0;
        return {};
    }
    return CopyName;
}

}  // namespace

void UTF8Decode(const uint8_t* Bytes, int32_t Length, std::u16string& Text, TStream& Source) {
    Text.reserve(Text.size() + static_cast<size_t>(std::max(Length, 0)) + 1);
    int32_t I = 0;
    while (I < Length) {
        const uint8_t Lead = Bytes[I];
        if (Lead < 0x80) {
            Text.push_back(Lead);
            ++I;
            continue;
        }
        if ((Lead & 0xC0) == 0x80) throw EConvertError(Hex("Invalid UTF-8 sequence %2.2X", Lead));

        const int N = SequenceLength(Lead);
        std::string Sequence(1, static_cast<char>(Lead));
        uint32_t Value = Lead;
        // Bytes of the sequence come from the block, then from the look-ahead read from Source.
        const uint8_t* From = Bytes;
        int32_t FromLength = Length;
        int32_t J = I + 1;
        uint8_t Ahead[LookAhead] = {};
        int64_t AheadRead = -1;
        for (int K = 1; K < N; ++K) {
            if (J >= FromLength && AheadRead < 0) {
                AheadRead = Source.Read(Ahead, LookAhead);
                From = Ahead;
                FromLength = LookAhead;
                J = 0;
            }
            // A file that ends inside a character: the bytes it holds are the broken sequence.
            if (From == Ahead && J >= AheadRead) RaiseSequence(Sequence, "Invalid UTF-8 sequence ");
            const uint8_t C = J < FromLength ? From[J] : 0;
            ++J;
            Sequence.push_back(static_cast<char>(C));
            if ((C & 0xC0) != 0x80) throw EConvertError(Hex("Invalid UTF-8 sequence $%2.2X", C));
            Value = (Value << 6) | (C & 0x3F);
        }
        if (N > 6) RaiseSequence(Sequence, "Invalid UTF-8 sequence ");
        Value &= ValueMask[N];
        if (Value <= ShorterMax[N]) RaiseSequence(Sequence, "Invalid UTF-8 encoding ");
        AppendValue(Value, Text);

        if (AheadRead >= 0) {
            // The sequence ended inside the look-ahead: what it did not use belongs to the next block.
            const int64_t Unused = std::max<int64_t>(AheadRead - J, 0);
            if (Unused > 0) Source.Seek(-Unused, soCurrent);
            return;
        }
        I = J;
    }
}

void SkipBOM(TStream& Source) {
    uint8_t Head[3] = {};
    const int64_t Got = Source.Read(Head, 3);
    if (Got != 3 || Head[0] != 0xEF || Head[1] != 0xBB || Head[2] != 0xBF) Source.SetPosition(0);
}

TConversionRun::TConversionRun() {
    if (Run().Depth++ == 0) Run().OutOfRoom = false;
}

TConversionRun::~TConversionRun() {
    if (--Run().Depth == 0) Run().OutOfRoom = false;
}

std::string WriteFailureText(const std::string& FileName, int Error) {
    return "Unable to write file: " + FileName + ". " + std::strerror(Error ? Error : EIO) + ".";
}

namespace {

// The UTF-8 file as the conversion reads it, every byte read in order also going into a content sum
// (the decoder reads ahead and steps back; what it reads again is taken once).
class TSummedSource : public TStream {
public:
    explicit TSummedSource(TStream& File) : FFile(File) {}
    int64_t Read(void* Buffer, int64_t Count) override {
        const int64_t At = FFile.GetPosition();
        const int64_t Got = FFile.Read(Buffer, Count);
        FSum.AddAt(At, Buffer, Got);
        return Got;
    }
    int64_t Write(const void*, int64_t) override { return 0; }
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FFile.Seek(Offset, Origin); }
    int64_t GetSize() const override { return FFile.GetSize(); }
    const TContentSum& Sum() const { return FSum; }

private:
    TStream& FFile;
    TContentSum FSum;
};

}  // namespace

bool ConvertUTF8File(const std::string& SourceName, const std::string& DestName, int CodePage,
                     TProgressForm* Progress, std::optional<uint64_t>* SourceSum) {
    std::error_code Error;
    if (!fs::is_regular_file(SourceName, Error)) {
        ShowError("The source file dose not exists!");
        return false;
    }
    if (!platform::IsValidCodePage(CodePage)) {
        char Text[64];
        std::snprintf(Text, sizeof Text, "Invaid CodePage '%d'", CodePage);
        ShowError(Text);
        return false;
    }

    TFileStream SourceFile(SourceName, fmOpenRead | fmShareDenyWrite);
    TSummedSource Source(SourceFile);
    const int64_t Size = Source.GetSize();
    const int Scale = GaugeScale(Size);
    if (Progress) {
        Progress->SetCaption("Processing UTF-8 File");
        Progress->SetText("File Progress");
        Progress->SetRange(0, static_cast<int>(Size / Scale));
        Progress->SetProgress(0);
        ShowUnlessMinimized(Progress);
    }

    TRemoveOnFailure::RemoveQuietly(DestName);
    TRemoveOnFailure Cleanup(DestName);
    TFileStream Dest(DestName, fmCreate);
    SkipBOM(Source);

    uint8_t Block[BlockSize];
    std::u16string Text;
    std::string Bytes;
    int Blocks = 0;
    auto Flush = [&] {
        Bytes = platform::Utf16ToCodePageNearest(CodePage, Text);
        Text.clear();
        if (!Bytes.empty() && Dest.Write(Bytes.data(), static_cast<int64_t>(Bytes.size())) !=
                                  static_cast<int64_t>(Bytes.size()))
            throw EFileError(WriteFailureText(DestName, Dest.WriteError()), Dest.WriteError());
    };
    while (Source.GetPosition() < Size) {
        const int64_t At = Source.GetPosition();
        const int64_t Got = Source.Read(Block, BlockSize);
        if (Got <= 0) break;
        try {
            UTF8Decode(Block, static_cast<int32_t>(Got), Text, Source);
        } catch (const EConvertError& E) {
            // Which file, and about where, so that the user can mend it.
            throw EConvertError(std::string(E.what()) + " in \"" + SourceName + "\" (bytes " +
                                std::to_string(At) + " to " + std::to_string(At + Got) + ").");
        }
        if (++Blocks % BlocksPerBatch != 0) continue;
        if (Progress) {
            Progress->SetProgress(static_cast<int>(Source.GetPosition() / Scale));
            ProcessMessages();
            if (Progress->Tag == 1) return false;
        }
        Flush();
    }
    Flush();
    if (!Dest.Flush()) throw EFileError(WriteFailureText(DestName, Dest.WriteError()), Dest.WriteError());
    if (Progress) Progress->SetProgress(static_cast<int>(Size / Scale));
    Cleanup.Release();
    if (SourceSum) {
        *SourceSum = std::nullopt;
        if (Source.Sum().Length() == Size) *SourceSum = Source.Sum().Value();
    }
    return true;
}

namespace {

struct TCopyRegistry {
    std::unordered_set<std::string> Made;
    std::unordered_map<std::string, std::vector<std::string>> ByWorkspace;
    std::unordered_set<std::string> Reserved;
};

// Never destroyed: the language configurations, globals of another unit, consult it when they free
// their files, which may happen while the process ends and after this unit's statics are gone.
TCopyRegistry& Copies() {
    static TCopyRegistry* const Registry = new TCopyRegistry;
    return *Registry;
}

bool IsCopyOfRegisteredFile(const std::string& Name) {
    for (const auto& Config : LanguageConfigs)
        if (Config)
            for (const auto& File : Config->Files)
                if (File.Object.Converted && File.Object.CopyName == Name) return true;
    return false;
}

bool CopyNameTaken(const std::string& Name) {
    std::error_code Error;
    return fs::exists(Name, Error) || Copies().Reserved.count(Name) || IsCopyOfRegisteredFile(Name);
}

}  // namespace

namespace {
void NoteCopyMade(const std::string& Copy) {
    Copies().Made.insert(Copy);
}
}  // namespace

bool IsTemporaryCopy(const std::string& Copy) {
    if (TempDir.empty() || Copy.empty()) return false;
    std::string Parent = fs::path(Copy).parent_path().string();
    std::string Temp = TempDir;
    while (Temp.size() > 1 && Temp.back() == '/') Temp.pop_back();
    return Parent == Temp;
}

void RecordWorkspaceCopies(const std::string& Workspace, std::vector<std::string> Named, bool DeleteDropped) {
    std::vector<std::string> Before = std::exchange(Copies().ByWorkspace[Workspace], std::move(Named));
    if (!DeleteDropped) return;
    for (const std::string& Old : Before)
        if (!IsRecordedCopy(Old) && !IsCopyOfRegisteredFile(Old)) {
            TRemoveOnFailure::RemoveQuietly(Old);
            Copies().Made.erase(Old);
        }
}

bool IsRecordedCopy(const std::string& Copy) {
    for (const auto& [Workspace, Named] : Copies().ByWorkspace)
        if (std::find(Named.begin(), Named.end(), Copy) != Named.end()) return true;
    return false;
}

void ReserveCopyNames(std::vector<std::string> Names) {
    Copies().Reserved = {Names.begin(), Names.end()};
}

void DiscardCopy(const std::string& Copy) {
    if (Copy.empty() || IsRecordedCopy(Copy)) return;
    if (!Copies().Made.count(Copy) && !IsTemporaryCopy(Copy)) return;
    TRemoveOnFailure::RemoveQuietly(Copy);
    Copies().Made.erase(Copy);
}

std::string MakeAsciiCopyName(const std::string& SourceName, const std::string& WorkspaceFileName) {
    std::string Folder;
    if (!WorkspaceFileName.empty()) {
        const fs::path Workspace(WorkspaceFileName);
        const fs::path Dir = Workspace.parent_path() / Workspace.stem();
        std::error_code Error;
        fs::create_directories(Dir, Error);
        Folder = Dir.string();
    } else {
        Folder = TempDir;
    }
    if (Folder.empty()) return {};
    if (Folder.back() != '/') Folder += '/';

    const fs::path Source(SourceName);
    const std::string Stem = Source.stem().string();
    const std::string Ext = Source.extension().string();
    std::string Name = Folder + Stem + "_ASCII" + Ext;
    for (int K = 1; CopyNameTaken(Name); ++K) Name = Folder + Stem + "_ASCII_" + std::to_string(K) + Ext;
    return Name;
}

bool ConvertCorpusFile(const std::string& FileName, const std::string& CopyName, bool IsUTF8,
                       int32_t Language) {
    try {
        TConcordConfig& Config = LanguageConfig(Language);
        const int Existing = FindFile(Config, FileName);
        if (Existing >= 0) {
            SendToMainForm(CM_OPENCORPUSVIEW, Language, Existing);
            return false;
        }
        std::string Path = CopyName.empty() ? FileName : CopyName;
        const bool MadeCopy = IsUTF8 && CopyName.empty();
        TNamedItem<TCorpusFileRecord> Entry;
        if (MadeCopy) {
            NoteSource(Entry.Object, FileName);
            Path = MakeConvertedCopy(FileName, Language, Entry.Object);
            if (Path.empty()) return false;
        }
        TRemoveOnFailure Cleanup(MadeCopy ? Path : std::string());
        std::unique_ptr<TFileSynchroStream> Opened = OpenCorpusPath(Path);

        Entry.Name = FileName;
        Entry.Object.Converted = IsUTF8;
        Entry.Object.CopyName = Path;
        Config.AddFile(std::move(Entry), std::move(Opened), nullptr);
        Cleanup.Release();
        SendToMainForm(CM_FILEADDED, Language, 0);
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& E) {
        ShowError(E.what());
        return false;
    }
}

bool SetFileConverted(int32_t Language, int32_t FileIndex, bool Converted) {
    TConcordConfig& Config = LanguageConfig(Language);
    if (FileIndex < 0 || static_cast<size_t>(FileIndex) >= Config.Files.size())
        throw std::out_of_range("File index out of range");
    TNamedItem<TCorpusFileRecord>& File = Config.Files[static_cast<size_t>(FileIndex)];
    if (File.Object.Converted == Converted) return true;

    std::string Path = File.Name;
    TCorpusFileRecord Source;
    if (Converted) {
        NoteSource(Source, File.Name);
        Path = MakeConvertedCopy(File.Name, Language, Source);
        if (Path.empty()) return false;
    }
    TRemoveOnFailure Cleanup(Converted ? Path : std::string());
    std::unique_ptr<TFileSynchroStream> Opened;
    try {
        Opened = OpenCorpusPath(Path);
    } catch (const std::exception& E) {
        ShowError(E.what());
        return false;
    }
    Cleanup.Release();

    const size_t I = static_cast<size_t>(FileIndex);
    // The reader reads through the stream, so it goes first; the next one is made on the new stream.
    Config.Readers[I].reset();
    Config.Streams[I] = std::move(Opened);
    if (!Converted && File.Object.CopyName != File.Name) DiscardCopy(File.Object.CopyName);
    File.Object.Converted = Converted;
    File.Object.CopyName = Path;
    File.Object.SourceAge = Source.SourceAge;
    File.Object.SourceSize = Source.SourceSize;
    File.Object.SourceSum = Source.SourceSum;
    FreeFileIndexes(Config, FileIndex);
    return true;
}

std::string ChangedFileText(const std::string& FileName) {
    return "The file \"" + FileName +
           "\" has changed since it was processed and is left out of this search. File > \"Scan Corpus\" "
           "processes it again.";
}

std::string ChangedFilesText(const std::vector<std::string>& FileNames) {
    if (FileNames.size() == 1) return ChangedFileText(FileNames.front());
    // A checkout or a sync touches thousands of files: one box names a few and counts the rest.
    std::string Names;
    for (size_t I = 0; I < FileNames.size() && I < ChangedFilesNamed; ++I)
        Names += (I > 0 ? ", \"" : "\"") + FileNames[I] + "\"";
    if (FileNames.size() > ChangedFilesNamed)
        Names += " and " + std::to_string(FileNames.size() - ChangedFilesNamed) + " more";
    return std::to_string(FileNames.size()) +
           " files have changed since they were processed and are left out of this search: " + Names +
           ". File > \"Scan Corpus\" processes them again.";
}

int ReopenChangedCorpusFiles() {
    int Reopened = 0;
    for (int32_t L = 0; L < LanguagesCount && L < MaxLanguages; ++L) {
        if (!LanguageConfigs[L]) continue;
        TConcordConfig& Config = *LanguageConfigs[L];
        for (size_t I = 0; I < Config.Files.size(); ++I) {
            if (!Config.Streams[I] || !Config.Streams[I]->ChangedSinceOpened()) continue;
            const int32_t F = static_cast<int32_t>(I);
            SendToMainForm(CM_FILEREMOVED, L, F);
            std::unique_ptr<TFileSynchroStream> Opened;
            try {
                Opened = OpenCorpusPath(Config.Files[I].Object.CopyName);
            } catch (const std::exception& E) {
                ShowError(E.what());
                continue;
            }
            // The reader reads through the stream, so it goes first; the next one is made on the new one.
            Config.Readers[I].reset();
            Config.Streams[I] = std::move(Opened);
            FreeFileIndexes(Config, F);
            Config.FreqList.reset();
            for (auto& Each : Config.Files) Each.Object.WordCount = 0;
            ClearFileAlignment(L, F);
            ++Reopened;
        }
    }
    return Reopened;
}

void ExchangeCorpusFiles(int32_t Language, int32_t I, int32_t J) {
    LanguageConfig(Language).ExchangeFiles(I, J);
    TFilePair Pair{I, J};
    SendToMainForm(CM_FILESEXCHANGED, Language, reinterpret_cast<intptr_t>(&Pair));
}

namespace {

struct TLoadChanges {
    bool Removed = false;
    bool Switched = false;
    bool Added = false;
    bool Exchanged = false;
};

void RemoveAndSwitch(int32_t Language, const std::vector<TNewCorpusFile>& NewFiles, TLoadChanges& Changes) {
    TConcordConfig& Config = LanguageConfig(Language);
    // The first entry of each name, as a search of the list from its start would find it.
    std::unordered_map<std::string_view, const TNewCorpusFile*> Listing;
    Listing.reserve(NewFiles.size());
    for (const TNewCorpusFile& F : NewFiles) Listing.emplace(F.Name, &F);
    for (int I = static_cast<int>(Config.Files.size()) - 1; I >= 0; --I) {
        const TNamedItem<TCorpusFileRecord>& File = Config.Files[static_cast<size_t>(I)];
        const auto Found = Listing.find(File.Name);
        const TNewCorpusFile* Listed = Found == Listing.end() ? nullptr : Found->second;
        if (!Listed) {
            SendToMainForm(CM_FILEREMOVED, Language, I);
            LanguageConfig(Language).RemoveFile(I);
            Changes.Removed = true;
        } else if (Listed->IsUTF8 != File.Object.Converted) {
            // Windows drop their references to the file before its stream and indexes go.
            SendToMainForm(CM_FILEREMOVED, Language, I);
            if (SetFileConverted(Language, I, Listed->IsUTF8)) Changes.Switched = true;
        }
    }
}

// Puts the registered files in the order of NewFiles; a listed file that is not registered (its
// registration failed) has no place in that order.
void ReorderFiles(int32_t Language, const std::vector<TNewCorpusFile>& NewFiles, TLoadChanges& Changes) {
    TConcordConfig& Config = LanguageConfig(Language);
    std::unordered_map<std::string, int> Target;
    for (const TNewCorpusFile& F : NewFiles)
        if (FindFile(Config, F.Name) >= 0 && !Target.count(F.Name))
            Target.emplace(F.Name, int(Target.size()));
    for (int K = 0; K < static_cast<int>(Config.Files.size()); ++K) {
        for (;;) {
            const auto It = Target.find(Config.Files[static_cast<size_t>(K)].Name);
            if (It == Target.end() || It->second == K) break;
            ExchangeCorpusFiles(Language, K, It->second);
            Changes.Exchanged = true;
        }
    }
}

}  // namespace

void LoadLanguageFiles(int32_t Language, bool RealignRequested, bool FormatChanged,
                       const std::string& LanguageName, uint32_t LCID,
                       const std::vector<TNewCorpusFile>& NewFiles, bool ForceRealign) {
    TConversionRun Conversions;
    std::string Name = LanguageName;
    if (LCID == 0) {
        LCID = 1033;
        Name = LanguageNameOfLCID(1033);
    }
    const bool LocaleChanged = LanguageConfig(Language).LocaleId != LCID;
    if (LocaleChanged) {
        ClearScannedInfo(Language, true, true, true, true, true, true);
        FreeAllAlignments();
    }
    LanguageConfig(Language).SetLanguage(LCID, Name);

    TLoadChanges Changes;
    RemoveAndSwitch(Language, NewFiles, Changes);
    for (const TNewCorpusFile& F : NewFiles)
        if (FindFile(LanguageConfig(Language), F.Name) < 0 &&
            ConvertCorpusFile(F.Name, "", F.IsUTF8, Language))
            Changes.Added = true;
    ReorderFiles(Language, NewFiles, Changes);

    if (!LocaleChanged) {
        const bool Converted = Changes.Switched;
        const bool AnyChange = Changes.Removed || Changes.Added || Changes.Exchanged || Changes.Switched;
        ClearScannedInfo(Language, Converted, Converted, FormatChanged || Converted,
                         AnyChange || FormatChanged || Converted, Converted, Converted);
        if (RealignRequested || ForceRealign || Changes.Exchanged || Changes.Removed || Changes.Switched)
            FreeAllAlignments();
    }
    // Segments cut with the old format would survive the next pass, which only builds what is missing.
    if (FormatChanged) {
        ClearSegmentIndexes(Language);
        ClearFileAlignment(Language, -1);
    }
}
