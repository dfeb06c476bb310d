#include "engine/ConcStreamUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ConcErrors.h"
#include "ui/Msg.h"

int64_t TStream::Remaining() {
    const int64_t Left = GetSize() - GetPosition();
    return Left > 0 ? Left : 0;
}

// ---- TBoundedStream ----

int64_t TBoundedStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    const int64_t Allowed = std::max<int64_t>(0, FLimit - FBase.GetPosition());
    if (Count > Allowed) {
        FOverran = true;
        Count = Allowed;
    }
    return Count > 0 ? FBase.Read(Buffer, Count) : 0;
}

int64_t TBoundedStream::Write(const void*, int64_t) {
    return 0;
}

// ---- TMemoryStream ----

TMemoryStream::TMemoryStream(std::string_view Bytes) : FData(Bytes.begin(), Bytes.end()) {}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
    const int64_t Size = GetSize();
    if (Count <= 0 || FPosition >= Size) return 0;
    const int64_t N = std::min(Count, Size - FPosition);
    std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(N));
    FPosition += N;
    return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    const int64_t End = FPosition + Count;
    if (End > GetSize()) FData.resize(static_cast<size_t>(End));
    std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = End;
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t Base = 0;
    if (Origin == soCurrent) Base = FPosition;
    if (Origin == soEnd) Base = GetSize();
    FPosition = std::max<int64_t>(0, Base + Offset);
    return FPosition;
}

// ---- TFileStream ----

namespace {

std::string FileErrorText(const char* What, const std::string& FileName, int Error) {
    return std::string(What) + " \"" + FileName + "\". " + std::strerror(Error);
}

}  // namespace

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) : FFileName(FileName) {
    const bool Create = (Mode & fmCreate) == fmCreate;
    const bool ReadOnly = !Create && (Mode & 3) == fmOpenRead;
    const char* What = Create ? "Cannot create file" : "Cannot open file";
    // Without O_NONBLOCK, opening a FIFO waits for its other end for ever; the file type is checked on
    // the open descriptor before anything is read or written.
    const int Flags =
        (ReadOnly ? O_RDONLY : O_RDWR) | (Create ? O_CREAT | O_TRUNC : 0) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const int Fd = ::open(FileName.c_str(), Flags, 0666);
    if (Fd < 0) {
        const int OpenError = errno;
        throw EFileError(FileErrorText(What, FileName, OpenError), OpenError);
    }
    struct stat Info;
    int Error = 0;
    if (fstat(Fd, &Info) != 0)
        Error = errno;
    else if (!S_ISREG(Info.st_mode))
        Error = S_ISDIR(Info.st_mode) ? EISDIR : EINVAL;
    else if (const int Now = ::fcntl(Fd, F_GETFL); Now < 0 || ::fcntl(Fd, F_SETFL, Now & ~O_NONBLOCK) < 0)
        Error = errno;
    if (Error == 0) {
        FFile = ::fdopen(Fd, Create ? "w+b" : ReadOnly ? "rb" : "r+b");
        if (!FFile) Error = errno;
    }
    if (Error != 0) {
        ::close(Fd);
        throw EFileError(FileErrorText(What, FileName, Error), Error);
    }
    FSize = Info.st_size;
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

// stdio needs a seek between a read and a write on the same file; re-seeking to our own position
// keeps both sides in step.
void TFileStream::SwitchTo(TLastOp Op) {
    if (FLastOp != Op && FLastOp != TLastOp::None) fseeko(FFile, FPosition, SEEK_SET);
    FLastOp = Op;
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
    if (Count <= 0 || FPosition >= FSize) return 0;
    SwitchTo(TLastOp::Read);
    const size_t N = std::fread(Buffer, 1, static_cast<size_t>(std::min(Count, FSize - FPosition)), FFile);
    FPosition += static_cast<int64_t>(N);
    return static_cast<int64_t>(N);
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
    if (Count <= 0) return 0;
    if (const int Error = FileStepFailure(TFileStep::Write, FFileName)) {
        errno = Error;
        NoteWriteFailure();
        return 0;
    }
    SwitchTo(TLastOp::Write);
    const size_t N = std::fwrite(Buffer, 1, static_cast<size_t>(Count), FFile);
    if (static_cast<int64_t>(N) != Count) NoteWriteFailure();
    FPosition += static_cast<int64_t>(N);
    FSize = std::max(FSize, FPosition);
    return static_cast<int64_t>(N);
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
    int64_t Base = 0;
    if (Origin == soCurrent) Base = FPosition;
    if (Origin == soEnd) Base = FSize;
    const int64_t Target = std::max<int64_t>(0, Base + Offset);
    if (Target != FPosition && fseeko(FFile, Target, SEEK_SET) == 0) {
        FPosition = Target;
        FLastOp = TLastOp::None;
    }
    return FPosition;
}

void TFileStream::NoteWriteFailure() {
    if (!FWriteFailed) FWriteError = errno ? errno : EIO;
    FWriteFailed = true;
}

bool TFileStream::Flush() {
    if (std::fflush(FFile) != 0) NoteWriteFailure();
    return !FWriteFailed;
}

bool TFileStream::Sync() {
    if (!Flush()) return false;
    if (const int Error = FileStepFailure(TFileStep::Sync, FFileName)) {
        errno = Error;
        NoteWriteFailure();
    } else if (::fsync(::fileno(FFile)) != 0) {
        NoteWriteFailure();
    }
    return !FWriteFailed;
}

// ---- The steps of replacing a file ----

namespace {

TFileStepHook& StepHook() {
    static TFileStepHook Hook;
    return Hook;
}

}  // namespace

TFileStepHook SetFileStepHook(TFileStepHook Hook) {
    return std::exchange(StepHook(), std::move(Hook));
}

int FileStepFailure(TFileStep Step, const std::string& Path) {
    return StepHook() ? StepHook()(Step, Path) : 0;
}

int RenameFile(const std::string& From, const std::string& To) {
    if (const int Error = FileStepFailure(TFileStep::Rename, From)) return Error;
    return ::rename(From.c_str(), To.c_str()) == 0 ? 0 : errno;
}

int LinkFile(const std::string& From, const std::string& To) {
    if (const int Error = FileStepFailure(TFileStep::Link, From)) return Error;
    return ::link(From.c_str(), To.c_str()) == 0 ? 0 : errno;
}

int RemoveFile(const std::string& Path) {
    if (const int Error = FileStepFailure(TFileStep::Remove, Path)) return Error;
    return ::unlink(Path.c_str()) == 0 ? 0 : errno;
}

int SyncFolder(const std::string& Folder) {
    if (const int Error = FileStepFailure(TFileStep::Sync, Folder)) return Error;
    const int Fd = ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (Fd < 0) return errno;
    const int Error = ::fsync(Fd) == 0 ? 0 : errno;
    ::close(Fd);
    return Error;
}

// ---- Primitives ----

namespace {

void PutInt32(uint8_t* Out, int32_t Value) {
    const auto U = static_cast<uint32_t>(Value);
    Out[0] = static_cast<uint8_t>(U);
    Out[1] = static_cast<uint8_t>(U >> 8);
    Out[2] = static_cast<uint8_t>(U >> 16);
    Out[3] = static_cast<uint8_t>(U >> 24);
}

int32_t GetInt32(const uint8_t* In) {
    const uint32_t U = static_cast<uint32_t>(In[0]) | static_cast<uint32_t>(In[1]) << 8 |
                       static_cast<uint32_t>(In[2]) << 16 | static_cast<uint32_t>(In[3]) << 24;
    return static_cast<int32_t>(U);
}

constexpr size_t ChunkValues = 4096;

}  // namespace

void WriteStreamInteger(TStream& Stream, int32_t Value) {
    uint8_t Bytes[4];
    PutInt32(Bytes, Value);
    Stream.Write(Bytes, 4);
}

void WriteStreamBoolean(TStream& Stream, bool Value) {
    WriteStreamInteger(Stream, Value ? 1 : 0);
}

void WriteStreamString(TStream& Stream, std::string_view Value) {
    WriteStreamInteger(Stream, static_cast<int32_t>(Value.size()));
    Stream.Write(Value.data(), static_cast<int64_t>(Value.size()));
}

void WriteStreamIntegers(TStream& Stream, const int32_t* Values, size_t Count) {
    uint8_t Chunk[ChunkValues * 4];
    while (Count > 0) {
        const size_t N = std::min(Count, ChunkValues);
        for (size_t I = 0; I < N; ++I) PutInt32(Chunk + 4 * I, Values[I]);
        Stream.Write(Chunk, static_cast<int64_t>(4 * N));
        Values += N;
        Count -= N;
    }
}

int32_t ReadStreamInteger(TStream& Stream) {
    uint8_t Bytes[4] = {0, 0, 0, 0};
    Stream.Read(Bytes, 4);
    return GetInt32(Bytes);
}

bool ReadStreamBoolean(TStream& Stream) {
    return ReadStreamInteger(Stream) != 0;
}

std::string ReadStreamString(TStream& Stream) {
    const int32_t Count = ClampCount(ReadStreamInteger(Stream), Stream.Remaining(), 1);
    std::string Value(static_cast<size_t>(Count), '\0');
    Value.resize(static_cast<size_t>(Stream.Read(Value.data(), Count)));
    return Value;
}

size_t ReadStreamIntegers(TStream& Stream, int32_t* Values, size_t Count) {
    uint8_t Chunk[ChunkValues * 4];
    size_t Done = 0;
    while (Done < Count) {
        const size_t Want = std::min(Count - Done, ChunkValues);
        const size_t Got = static_cast<size_t>(Stream.Read(Chunk, static_cast<int64_t>(4 * Want))) / 4;
        for (size_t I = 0; I < Got; ++I) Values[Done + I] = GetInt32(Chunk + 4 * I);
        Done += Got;
        if (Got < Want) break;
    }
    return Done;
}

namespace {

// Eight tables let the loop take eight bytes per step: a data file of hundreds of megabytes is checked
// on every open.
struct TCrcTables {
    uint32_t T[8][256];
    TCrcTables() {
        for (uint32_t I = 0; I < 256; ++I) {
            uint32_t C = I;
            for (int K = 0; K < 8; ++K) C = (C & 1) ? 0xEDB88320u ^ (C >> 1) : C >> 1;
            T[0][I] = C;
        }
        for (uint32_t I = 0; I < 256; ++I)
            for (int K = 1; K < 8; ++K) T[K][I] = (T[K - 1][I] >> 8) ^ T[0][T[K - 1][I] & 0xFF];
    }
};

const TCrcTables& CrcTables() {
    static const TCrcTables Tables;
    return Tables;
}

}  // namespace

uint32_t Crc32(const void* Data, size_t Size, uint32_t Crc) {
    const auto& T = CrcTables().T;
    const auto* P = static_cast<const uint8_t*>(Data);
    uint32_t C = ~Crc;
    for (; Size >= 8; Size -= 8, P += 8) {
        const uint32_t Low =
            C ^ (uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24);
        C = T[7][Low & 0xFF] ^ T[6][(Low >> 8) & 0xFF] ^ T[5][(Low >> 16) & 0xFF] ^ T[4][Low >> 24] ^
            T[3][P[4]] ^ T[2][P[5]] ^ T[1][P[6]] ^ T[0][P[7]];
    }
    for (; Size > 0; --Size, ++P) C = T[0][(C ^ *P) & 0xFF] ^ (C >> 8);
    return ~C;
}

uint32_t StreamCrc32(TStream& Stream, int64_t From, int64_t To) {
    const int64_t Resume = Stream.GetPosition();
    std::vector<uint8_t> Chunk(1 << 16);
    uint32_t Crc = 0;
    Stream.SetPosition(From);
    for (int64_t Left = To - From; Left > 0;) {
        const int64_t Got = Stream.Read(Chunk.data(), std::min<int64_t>(Left, int64_t(Chunk.size())));
        if (Got <= 0) break;
        Crc = Crc32(Chunk.data(), size_t(Got), Crc);
        Left -= Got;
    }
    Stream.SetPosition(Resume);
    return Crc;
}

int32_t ClampCount(int32_t Count, int64_t MaxBytes, int64_t MinElementBytes) {
    if (Count <= 0 || MaxBytes <= 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(Count, MaxBytes / MinElementBytes));
}

// ---- Blocks ----

int64_t BeginBlock(TStream& Stream, int32_t Version) {
    const int64_t Start = Stream.GetPosition();
    WriteStreamInteger(Stream, 0);
    WriteStreamInteger(Stream, Version);
    return Start;
}

// The offset after the block rather than the stream's size: the same when blocks are appended, and
// still right should a block ever be written in the middle of a stream.
void EndBlock(TStream& Stream, int64_t Start) {
    const int64_t End = Stream.GetPosition();
    if (End > std::numeric_limits<int32_t>::max())
        throw EConcError("The index data are too large for the workspace file.");
    Stream.SetPosition(Start);
    WriteStreamInteger(Stream, static_cast<int32_t>(End));
    Stream.SetPosition(End);
}

TBlockHead ReadBlockHead(TStream& Stream) {
    TBlockHead Head;
    Head.Start = Stream.GetPosition();
    Head.Complete = Stream.Remaining() >= 8;
    Head.EndOffset = ReadStreamInteger(Stream);
    Head.Version = ReadStreamInteger(Stream);
    Head.EndValid = Head.Complete && Head.EndOffset >= Head.Start + 8 && Head.EndOffset <= Stream.GetSize();
    return Head;
}

namespace {

// Whether the Int32 at Offset is an end offset that a block starting there could have.
bool EndOffsetAt(TStream& Stream, int64_t Offset, int64_t MinimumLength) {
    Stream.SetPosition(Offset);
    if (Stream.Remaining() < 8) return false;
    const int64_t End = ReadStreamInteger(Stream);
    return End >= Offset + MinimumLength && End <= Stream.GetSize();
}

// A block head at Offset: a valid end offset, the index version, and after the block either the end of
// the stream or another valid head (whatever its version: the frequency list has its own). The second
// head makes a stray 65536 among a list's values very unlikely to pass for a block.
bool PlausibleBlockAt(TStream& Stream, int64_t Offset) {
    if (!EndOffsetAt(Stream, Offset, 12)) return false;
    Stream.SetPosition(Offset);
    const int64_t End = ReadStreamInteger(Stream);
    if (ReadStreamInteger(Stream) != IndexBlockVersion) return false;
    return End == Stream.GetSize() || EndOffsetAt(Stream, End, 8);
}

}  // namespace

int64_t FindNextBlockHead(TStream& Stream, int64_t From) {
    const int64_t Resume = Stream.GetPosition();
    const int64_t Size = Stream.GetSize();
    constexpr int64_t ChunkBytes = 65536;
    std::vector<uint8_t> Chunk(static_cast<size_t>(ChunkBytes + 8));
    int64_t Found = Size;
    // Chunks overlap by 8 bytes so that a head across a seam is seen.
    for (int64_t Base = std::max<int64_t>(From, 0); Base + 8 <= Size && Found == Size; Base += ChunkBytes) {
        Stream.SetPosition(Base);
        const int64_t Got = Stream.Read(Chunk.data(), ChunkBytes + 8);
        for (int64_t I = 0; I + 8 <= Got && I < ChunkBytes; ++I) {
            const uint8_t* V = Chunk.data() + I + 4;
            if (V[0] != 0 || V[1] != 0 || V[2] != 1 || V[3] != 0) continue;
            if (PlausibleBlockAt(Stream, Base + I)) {
                Found = Base + I;
                break;
            }
        }
    }
    Stream.SetPosition(Resume);
    return Found;
}

void SkipBlock(TStream& Stream, const TBlockHead& Head) {
    if (Head.EndValid)
        Stream.SetPosition(Head.EndOffset);
    else
        Stream.Seek(0, soEnd);
}

void ReportUnknownIndexVersion() {
    ShowError(UnknownIndexVersionText);
}

void ReportDamagedBlock(TStream& Stream) {
    if (Stream.DamageReported) return;
    Stream.DamageReported = true;
    ShowError(DamagedIndexDataText);
}
