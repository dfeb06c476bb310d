// The binary encoding of every computed index kept in a workspace's ".BIN": three little-endian
// primitives (Int32, Boolean as Int32, String as count + bytes) and the self-skipping container block
// {EndOffset, Version, ElementCount, elements}, over a small stream abstraction with a file and a
// memory implementation.
//
// Nothing read from a stream is trusted: counts are clamped to the bytes that remain, a negative
// count reads as none, an element is read only within its block, and a block whose end offset cannot
// be right is reported once per file as damaged while the blocks after it are still found, so a
// damaged or hostile file never makes a reader allocate more than the file holds nor lose more than
// the damaged block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ConcErrors.h"
#include "engine/SynStream.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// A byte stream with a position. Reads past the end give fewer bytes (none at or after the end);
// a write at the position overwrites and extends.
class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to Count bytes at the position into Buffer and advances past them; returns how many.
    virtual int64_t Read(void* Buffer, int64_t Count) = 0;
    // Writes Count bytes at the position and advances past them; returns how many were written.
    virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
    // Moves the position and returns it. A target before the start moves to 0; past the end is allowed.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
    virtual int64_t GetSize() const = 0;

    int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(int64_t Position) { Seek(Position, soBeginning); }
    // Bytes between the position and the end; 0 when the position is at or past the end.
    int64_t Remaining();

    // Set once a damaged block of this stream has been reported, so that a file is reported once.
    bool DamageReported = false;

    // An element being read found itself damaged (it declares more than the stream holds, or its
    // parts disagree). A view that reads one block's elements then treats the element as overrun.
    virtual void MarkElementDamaged() {}
};

// A read-only view of another stream that hands out no byte at or beyond Limit: one block's elements
// are read through it, so an element that claims more than its block holds cannot swallow the next
// block. Its size is the base stream's, so counts are still clamped to what the file holds; a read cut
// at Limit is remembered (Overran), and the element that asked for it is not to be trusted.
class TBoundedStream : public TStream {
public:
    // Base is borrowed and must outlive the view; positions are the base's own.
    TBoundedStream(TStream& Base, int64_t Limit) : FBase(Base), FLimit(Limit) {}

    int64_t Read(void* Buffer, int64_t Count) override;
    // The view is read-only: writes nothing and returns 0.
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override { return FBase.Seek(Offset, Origin); }
    int64_t GetSize() const override { return FBase.GetSize(); }

    void MarkElementDamaged() override { FOverran = true; }
    // Whether a read since the last ResetOverrun asked for bytes at or beyond Limit, or an element
    // marked itself damaged.
    bool Overran() const { return FOverran; }
    void ResetOverrun() { FOverran = false; }

private:
    TStream& FBase;
    int64_t FLimit;
    bool FOverran = false;
};

// A stream over a growable byte array.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    // A stream holding a copy of Bytes, positioned at 0.
    explicit TMemoryStream(std::string_view Bytes);

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t GetSize() const override { return static_cast<int64_t>(FData.size()); }

    const std::vector<uint8_t>& Data() const { return FData; }
    std::string Bytes() const { return std::string(FData.begin(), FData.end()); }

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// Open modes of a file: the shared file-mode constants (fmOpenRead, fmOpenReadWrite, sharing bits) of
// SynStream.h, or fmCreate for a new or emptied file opened for reading and writing.
using TFileMode = uint16_t;
constexpr TFileMode fmCreate = 0xFF00;

// A file that could not be opened or created; Error is the system's error number (ENOSPC, EACCES, ...).
class EFileError : public EConcError {
public:
    EFileError(const std::string& Message, int Error) : EConcError(Message), Error(Error) {}
    int Error;
};

// A stream over a file on disk.
class TFileStream : public TStream {
public:
    // Opens FileName; raises EFileError ("Cannot open file ..." / "Cannot create file ...") on failure.
    TFileStream(const std::string& FileName, TFileMode Mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t GetSize() const override { return FSize; }

    // Pushes buffered bytes to the file. False when this or any earlier write failed, so that a
    // caller saving a file the user cares about never reports a short file as saved.
    bool Flush();
    // Flush, then has the system put the file's bytes on the disk (fsync), so that a file renamed over
    // another afterwards is never found empty after a power cut. False as Flush, or when that failed.
    bool Sync();
    // The system's error number of the first failed write or flush (ENOSPC for a full disk); 0 when
    // none failed.
    int WriteError() const { return FWriteError; }
    const std::string& FileName() const { return FFileName; }

private:
    enum class TLastOp { None, Read, Write };
    void SwitchTo(TLastOp Op);
    void NoteWriteFailure();

    std::string FFileName;
    std::FILE* FFile = nullptr;
    int64_t FPosition = 0;
    int64_t FSize = 0;
    TLastOp FLastOp = TLastOp::None;
    bool FWriteFailed = false;
    int FWriteError = 0;
};

// ---- The steps of replacing a file ----------------------------------------------------------------
// Files the user cares about are written beside their place, synced and renamed over it. Each step goes
// through here, so that a test can make any one of them fail (or stop the process at it) and check that
// the old file or the new one is whole afterwards.

enum class TFileStep { Write, Sync, Rename, Link, Remove };

// Called before each step with the file it writes, syncs, renames (its source), links (its source) or
// removes: returns 0 to let the step run, or the system error number it fails with. Main thread only.
using TFileStepHook = std::function<int(TFileStep Step, const std::string& Path)>;
// Installs Hook for every later step (an empty one: none); returns the one it replaces.
TFileStepHook SetFileStepHook(TFileStepHook Hook);
// Runs the installed hook for a step; 0 when none is installed or it lets the step run.
int FileStepFailure(TFileStep Step, const std::string& Path);

// rename(From, To); returns 0 or the system's error number.
int RenameFile(const std::string& From, const std::string& To);
// A second name To for the file From (a hard link); returns 0 or the system's error number.
int LinkFile(const std::string& From, const std::string& To);
// Removes the file Path; returns 0 or the system's error number.
int RemoveFile(const std::string& Path);
// Has the system put Folder's entries (names just renamed into it) on the disk; returns 0 or the error.
int SyncFolder(const std::string& Folder);

// ---- Primitives (little-endian, written byte by byte whatever the host's order) ----

// A short write is not detected here; see TFileStream::Flush.
void WriteStreamInteger(TStream& Stream, int32_t Value);
void WriteStreamBoolean(TStream& Stream, bool Value);
void WriteStreamString(TStream& Stream, std::string_view Value);
// Count values as consecutive Int32, encoded in chunks rather than one call per value.
void WriteStreamIntegers(TStream& Stream, const int32_t* Values, size_t Count);

// Reads 4 bytes into a value that starts at 0: at the end of the stream the result is 0, and a 1-3
// byte tail gives the partial value.
int32_t ReadStreamInteger(TStream& Stream);
// Any non-zero Int32 is true.
bool ReadStreamBoolean(TStream& Stream);
// A negative count reads as an empty string; a count beyond the remaining bytes is cut to them.
std::string ReadStreamString(TStream& Stream);
// Reads up to Count Int32 values into Values; returns how many whole values were read.
size_t ReadStreamIntegers(TStream& Stream, int32_t* Values, size_t Count);

// The CRC-32 (the polynomial of zip and PNG) of Size bytes at Data, continuing from Crc (0 to start).
uint32_t Crc32(const void* Data, size_t Size, uint32_t Crc = 0);
// The CRC-32 of the stream's bytes in [From, To) (fewer when the stream ends first); the position is
// left where it was.
uint32_t StreamCrc32(TStream& Stream, int64_t From, int64_t To);

// An element count read from a stream, made safe to allocate for: negative gives 0, and no more
// elements than MaxBytes could hold at MinElementBytes each.
int32_t ClampCount(int32_t Count, int64_t MaxBytes, int64_t MinElementBytes);

// ---- Versioned container blocks ----

constexpr int32_t IndexBlockVersion = 0x00010000;
// Written in place of an element that a slot does not hold.
constexpr int32_t NoElement = -1;
// The text shown when a block's version (or its end offset) is not one this program writes.
inline constexpr const char* UnknownIndexVersionText = "Unknown index version.";

// Starts a block at the stream's position: a placeholder for the end offset, then Version.
// Returns the block's start, to hand to EndBlock.
int64_t BeginBlock(TStream& Stream, int32_t Version = IndexBlockVersion);
// Writes the offset after the block into its placeholder and returns to that offset. Raises
// EConcError when the offset does not fit the Int32 field, rather than writing a wrong one.
void EndBlock(TStream& Stream, int64_t Start);

struct TBlockHead {
    int64_t Start = 0;
    int64_t EndOffset = 0;
    int32_t Version = 0;
    // Both fields were there to read (the stream did not end first).
    bool Complete = false;
    // The end offset lies where a block starting at Start can end: [Start + 8, stream size].
    bool EndValid = false;
};

// Reads a block's end offset and version at the stream's position.
TBlockHead ReadBlockHead(TStream& Stream);
// Leaves the block: at its end offset when that is valid, at the end of the stream otherwise.
void SkipBlock(TStream& Stream, const TBlockHead& Head);
// The offset of the first place at or after From where a block plausibly begins: a valid end offset
// followed by the index block version, whose end is the stream's end or another valid block head.
// The stream's size when there is none. The stream's position is left where it was.
int64_t FindNextBlockHead(TStream& Stream, int64_t From);

// Reads one optional element: NoElement (or any negative count) gives nullptr, anything else is
// read back by the element itself from where its count starts.
template <class T>
std::unique_ptr<T> LoadOptionalElement(TStream& Stream) {
    const int64_t Start = Stream.GetPosition();
    if (ReadStreamInteger(Stream) < 0) return nullptr;
    Stream.SetPosition(Start);
    auto Item = std::make_unique<T>();
    Item->LoadFromStream(Stream);
    return Item;
}

// Writes NoElement for nullptr, otherwise the element's own encoding.
template <class T>
void SaveOptionalElement(TStream& Stream, const T* Item) {
    if (Item)
        Item->SaveToStream(Stream);
    else
        WriteStreamInteger(Stream, NoElement);
}

// How a slot of type T is written and read: NoElement or the element's own encoding, which starts
// with a non-negative Int32.
template <class T>
struct TOptionalElementCodec {
    static void Save(TStream& Stream, const T* Item) { SaveOptionalElement(Stream, Item); }
    static std::unique_ptr<T> Load(TStream& Stream) { return LoadOptionalElement<T>(Stream); }
};

// Shows "Unknown index version." with the message dialog.
void ReportUnknownIndexVersion();
// The text shown, once per file, when a block of index data is damaged (its end offset is impossible
// or the file ends inside it).
inline constexpr const char* DamagedIndexDataText =
    "The index data of the workspace are damaged. The damaged indexes will be computed again.";
// Shows DamagedIndexDataText with the message dialog unless it was shown for this stream already.
void ReportDamagedBlock(TStream& Stream);

// An owning list with one optional element per corpus file; an empty slot is nullptr. Saved and
// loaded as one container block whose slots Codec writes and reads.
template <class T, class Codec = TOptionalElementCodec<T>>
class TSlotList {
public:
    TSlotList() = default;
    virtual ~TSlotList() = default;
    TSlotList(const TSlotList&) = delete;
    TSlotList& operator=(const TSlotList&) = delete;

    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
    // The element of slot I (nullptr for an empty slot), still owned by the list.
    // Raises std::out_of_range for I outside [0, Count).
    T* GetItem(int32_t I) const { return FItems[CheckIndex(I)].get(); }
    // Puts Item into slot I and hands the element it replaces back to the caller.
    // Raises std::out_of_range for I outside [0, Count).
    std::unique_ptr<T> SetItem(int32_t I, std::unique_ptr<T> Item) {
        return std::exchange(FItems[CheckIndex(I)], std::move(Item));
    }
    // Appends a slot (Item may be nullptr) and returns its index.
    int32_t Add(std::unique_ptr<T> Item) {
        FItems.push_back(std::move(Item));
        return Count() - 1;
    }
    // Frees the element of slot I and removes the slot; later slots move down one index.
    // Raises std::out_of_range for I outside [0, Count).
    void Delete(int32_t I) { FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(CheckIndex(I))); }
    // Swaps slots I and J. Raises std::out_of_range for either outside [0, Count).
    void Exchange(int32_t I, int32_t J) { std::swap(FItems[CheckIndex(I)], FItems[CheckIndex(J)]); }
    // Deletes every slot, from the last to the first.
    void Clear() {
        while (!FItems.empty()) FItems.pop_back();
    }

    // Writes the list as one container block at the stream's position.
    void SaveToStream(TStream& Stream) const {
        const int64_t Start = BeginBlock(Stream);
        WriteStreamInteger(Stream, Count());
        for (const auto& Item : FItems) Codec::Save(Stream, Item.get());
        EndBlock(Stream, Start);
    }

    // Replaces the list with the block at the stream's position. Each element is read within its block;
    // one that claims more than the block holds or marks itself damaged leaves its slot empty (it is
    // computed again), and so does one that Codec rejects. Returns true when the elements were read, and
    // leaves the stream at the block's end. A block of another version is skipped after "Unknown index
    // version." (false). A damaged block (an impossible end offset, or the stream ends in its head) is
    // reported once per stream with DamagedIndexDataText; its elements are read up to the next block that can
    // be found (true) when its version is known, and the stream is left at that block either way.
    bool LoadFromStream(TStream& Stream) {
        Clear();
        const TBlockHead Head = ReadBlockHead(Stream);
        const bool Known = Head.Version == IndexBlockVersion;
        if (!Head.Complete || !Head.EndValid) ReportDamagedBlock(Stream);
        if (!Head.Complete) {
            Stream.Seek(0, soEnd);
            return false;
        }
        if (!Known) {
            if (Head.EndValid) ReportUnknownIndexVersion();
            Stream.SetPosition(Head.EndValid ? Head.EndOffset : FindNextBlockHead(Stream, Head.Start + 1));
            return false;
        }
        const int64_t End = Head.EndValid ? Head.EndOffset : FindNextBlockHead(Stream, Head.Start + 8);
        LoadSlots(Stream, End);
        Stream.SetPosition(End);
        return true;
    }

private:
    // Reads the slot count and the slots that start before End, each through a view that stops at End.
    void LoadSlots(TStream& Stream, int64_t End) {
        TBoundedStream View(Stream, End);
        const int32_t Declared = ReadStreamInteger(View);
        // Every slot takes at least one Int32, and a slot must start inside the block.
        const int32_t Slots = ClampCount(Declared, End - Stream.GetPosition(), 4);
        FItems.reserve(static_cast<size_t>(Slots));
        for (int32_t I = 0; I < Slots && Stream.GetPosition() < End; ++I) {
            View.ResetOverrun();
            std::unique_ptr<T> Item = Codec::Load(View);
            FItems.push_back(View.Overran() ? nullptr : std::move(Item));
        }
    }

    size_t CheckIndex(int32_t I) const {
        if (I < 0 || I >= Count()) throw std::out_of_range("List index out of bounds");
        return static_cast<size_t>(I);
    }

    std::vector<std::unique_ptr<T>> FItems;
};
