// The binary encoding of every computed index kept in a workspace's ".BIN": three little-endian
// primitives (Int32, Boolean as Int32, String as count + bytes) and the self-skipping container block
// {EndOffset, Version, ElementCount, elements}, over a small stream abstraction with a file and a
// memory implementation.
//
// Nothing read from a stream is trusted: counts are clamped to the bytes that remain, a negative
// count reads as none, and a block whose end offset cannot be right is skipped as unknown, so a
// damaged or hostile file never makes a reader allocate more than the file holds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SynStream.h"
#include "platform/Owned.h"

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

// Creates a new file or empties an existing one, for reading and writing. The other modes are the
// open modes of the shared file stream (fmOpenRead, fmOpenWrite, fmOpenReadWrite; share bits ignored).
constexpr uint16_t fmCreate = 0xFF00;

// A stream over a file on disk.
class TFileStream : public TStream {
public:
    // Opens FileName; raises EConcError ("Cannot open file ..." / "Cannot create file ...") on failure.
    TFileStream(const std::string& FileName, uint16_t Mode);
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
    const std::string& FileName() const { return FFileName; }

private:
    enum class TLastOp { None, Read, Write };
    void SwitchTo(TLastOp Op);

    std::string FFileName;
    std::FILE* FFile = nullptr;
    int64_t FPosition = 0;
    int64_t FSize = 0;
    TLastOp FLastOp = TLastOp::None;
    bool FWriteFailed = false;
};

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
    // The end offset lies where a block starting at Start can end: [Start + 8, stream size].
    bool EndValid = false;
};

// Reads a block's end offset and version at the stream's position.
TBlockHead ReadBlockHead(TStream& Stream);
// Leaves the block: at its end offset when that is valid, at the end of the stream otherwise.
void SkipBlock(TStream& Stream, const TBlockHead& Head);

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

// Writes per-file slots (an empty slot is an index not computed) as one container block at the
// stream's position; Codec writes each slot.
template <class T, class Codec = TOptionalElementCodec<T>>
void SaveSlots(const std::vector<TOwned<T>>& Slots, TStream& Stream) {
    const int64_t Start = BeginBlock(Stream);
    WriteStreamInteger(Stream, static_cast<int32_t>(Slots.size()));
    for (const auto& Item : Slots) Codec::Save(Stream, Item.get());
    EndBlock(Stream, Start);
}

// Replaces Slots with the container block at the stream's position (Codec reads each slot) and leaves
// the stream at the block's end. Returns false, after showing "Unknown index version." once, for a
// block of another version or with an impossible end offset (the stream is then left at its end);
// Slots are then empty. A slot count beyond the block is cut to the slots that start inside it.
template <class T, class Codec = TOptionalElementCodec<T>>
bool LoadSlots(std::vector<TOwned<T>>& Slots, TStream& Stream) {
    Slots.clear();
    const TBlockHead Head = ReadBlockHead(Stream);
    const bool Known = Head.Version == IndexBlockVersion && Head.EndValid;
    if (Known) {
        const int32_t Declared = ReadStreamInteger(Stream);
        // Every slot takes at least one Int32.
        const int32_t Count = ClampCount(Declared, Head.EndOffset - Stream.GetPosition(), 4);
        Slots.reserve(static_cast<size_t>(Count));
        for (int32_t I = 0; I < Count && Stream.GetPosition() < Head.EndOffset; ++I)
            Slots.push_back(Codec::Load(Stream));
    } else {
        ReportUnknownIndexVersion();
    }
    SkipBlock(Stream, Head);
    return Known;
}
