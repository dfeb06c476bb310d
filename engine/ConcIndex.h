// The per-file index containers of the corpus: sorted offset lists (line starts, page starts, the
// positions of one tag), segment lists (sections, paragraphs, sentences) and aligned pairs of segment
// lists, with their per-file slot lists saved as versioned blocks of the workspace.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcStreamUtils.h"

// The text raised by every segment accessor for an index outside the list.
inline constexpr const char* IndexOutOfBoundsText = "Index is out of bounds.";

// A list of Int32 file offsets kept in ascending order (except where InsertAt places a value by
// index). Duplicates are allowed. Adding grows the storage in whole blocks of 8192 entries, by at least
// half its size at a time so that long runs of appends stay linear; a list read from a stream holds
// exactly the entries read, so that a workspace of many small lists costs what its file holds.
class TIntegerList {
public:
    static constexpr int32_t BlockEntries = 8192;

    TIntegerList() = default;
    virtual ~TIntegerList() = default;
    TIntegerList(const TIntegerList&) = default;
    TIntegerList(TIntegerList&&) = default;

    // Element encoding: Int32 Count, then Count Int32 values.
    virtual void SaveToStream(TStream& Stream) const;
    // Replaces the contents with an element read at the stream's position; a negative count reads as
    // none and a count beyond the remaining bytes is cut to them.
    virtual void LoadFromStream(TStream& Stream);
    // Empties the list and gives its storage back.
    virtual void Clear();

    int32_t Count() const { return static_cast<int32_t>(FValues.size()); }
    // Entries the storage holds without growing: a multiple of BlockEntries once Add or Grow has grown
    // it, the count read for a list just loaded.
    int32_t Capacity() const { return static_cast<int32_t>(FValues.capacity()); }
    // Entry I, unchecked: I must lie in [0, Count).
    int32_t operator[](int32_t I) const { return FValues[static_cast<size_t>(I)]; }
    const std::vector<int32_t>& Values() const { return FValues; }

    // Makes room for N entries, rounded up to whole blocks.
    void Grow(int32_t N);
    // Gives back the room beyond Count: a list that is complete (a file's pass has ended) keeps no block
    // it will not fill, which on a corpus of thousands of small files is most of its memory.
    void ShrinkToFit();
    // True when an entry equals V, with Index on the first such entry; otherwise false with Index on
    // the first entry above V (Count when none).
    bool Find(int32_t V, int32_t& Index) const;
    // The last entry at or below V (the last of equal ones); -1 when V is below every entry.
    int32_t IndexOfFloor(int32_t V) const;
    // Inserts V after the entries equal to it and returns its index. Appending in order costs no search.
    int32_t Add(int32_t V);
    // For 0 <= Index < Count inserts V at Index whatever the order, otherwise Add (V); returns the
    // index of the new entry. Raises std::out_of_range for a negative Index.
    int32_t InsertAt(int32_t V, int32_t Index);
    // Removes entry Index; an Index outside [0, Count) does nothing.
    void Delete(int32_t Index);
    // Whether the values never decrease, as every lookup and Add assume.
    bool IsOrdered() const;

protected:
    // Assignment only between lists of the same kind: through a base reference it would replace the
    // values of a derived list and leave its per-entry records stale.
    TIntegerList& operator=(const TIntegerList&) = default;
    TIntegerList& operator=(TIntegerList&&) = default;

    // Derived lists that keep a record per entry keep it parallel to the values through these.
    virtual void SlotInserted(int32_t Index) {}
    virtual void SlotDeleted(int32_t Index) {}
    virtual void SlotsReserved(int32_t Capacity) {}
    virtual void SlotsShrunk() {}

    // Inserts V at Index (0 <= Index <= Count) and tells the derived list.
    void InsertValue(int32_t Index, int32_t V);
    // Makes room for exactly N entries in an empty list (loading knows its count).
    void ReserveExactly(int32_t N);

private:
    std::vector<int32_t> FValues;
};

// One entry of a segment list.
struct TSegment {
    int32_t Start = 0;
    int32_t End = 0;  // exclusive; the markup aligners also store End below Start
    int32_t Length = 0;
    bool operator==(const TSegment&) const = default;
};

// Segments of one file (sections, paragraphs or sentences): entry i starts at the value i, ordered by
// start, and carries its End, measured Length and a Flag that the searches set and clear (not saved).
class TAlignIndex : public TIntegerList {
public:
    TAlignIndex() = default;
    TAlignIndex(const TAlignIndex&) = default;
    TAlignIndex(TAlignIndex&&) = default;
    TAlignIndex& operator=(const TAlignIndex&) = default;
    TAlignIndex& operator=(TAlignIndex&&) = default;

    // Element encoding: Int32 Count, then Start, End, Length per entry.
    void SaveToStream(TStream& Stream) const override;
    // Replaces the contents with an element read at the stream's position; every Flag is clear.
    void LoadFromStream(TStream& Stream) override;
    void Clear() override;

    // Segment I. Raises EConcError "Index is out of bounds." for I outside [0, Count).
    void GetItem(int32_t I, int32_t& Start, int32_t& End, int32_t& Length) const;
    // Inline: a search over units of one line each asks for two segments per line.
    TSegment GetItem(int32_t I) const {
        const size_t K = Checked(I);
        return {Values()[K], FRecs[K].End, FRecs[K].Length};
    }
    bool GetFlag(int32_t I) const;
    void SetFlag(int32_t I, bool B);
    void ClearFlags();
    // Records the storage holds without growing; it follows Capacity.
    int32_t RecordCapacity() const { return static_cast<int32_t>(FRecs.capacity()); }

    // Adds a segment after those with the same start; returns its index.
    int32_t Add(int32_t Start, int32_t End, int32_t Length);
    // Inserts a segment at Index whatever the order (the alignment editor keeps the order itself);
    // an Index at or beyond Count appends in order. Returns the index of the new segment.
    int32_t Insert(int32_t Index, int32_t Start, int32_t End, int32_t Length);

    // The segment whose [Start, End) holds P; for P in a gap the next segment (Count when none);
    // 0 for P before the first segment. With equal starts the last of them is taken.
    int32_t SegmentOf(int32_t P) const;
    // The last segment that starts strictly before P; -1 when none.
    int32_t IndexBefore(int32_t P) const;
    // The whole segments around [From, To): Start of SegmentOf (From), End of IndexBefore (To) and the
    // sum of the Lengths between them (0 when the second lies before the first).
    // Raises EConcError "Index is out of bounds." when either index falls outside the list.
    void GetRange(int32_t From, int32_t To, int32_t& Start, int32_t& End, int32_t& Length) const;

protected:
    void SlotInserted(int32_t Index) override;
    void SlotDeleted(int32_t Index) override;
    void SlotsReserved(int32_t Capacity) override;
    void SlotsShrunk() override;

private:
    struct TSegRec {
        int32_t End = 0;
        int32_t Length = 0;
        uint8_t Flag = 0;
    };
    size_t Checked(int32_t I) const {
        if (I < 0 || I >= Count()) [[unlikely]]
            ThrowOutOfBounds();
        return static_cast<size_t>(I);
    }
    [[noreturn]] static void ThrowOutOfBounds();

    std::vector<TSegRec> FRecs;
    // No Flag is set while this is false: every search of a file clears the flags before and after,
    // and most searches set none, so clearing a million units' flags is skipped.
    bool FAnyFlag = false;
};

// ---- The units of a section ----
//
// An empty unit ({x, x, 0}) lying where one section ends and the next begins cannot tell by its start
// alone to which of the two it belongs. The editor therefore writes an empty unit that opens a section
// (one inserted before the section's first unit) as {x, x - 1, 0}, an opening empty unit, and every other
// empty unit as {x, x, 0}: at a shared boundary the plain ones close the earlier section and the opening
// ones open the later one.

// Whether Segment is an empty unit that opens the section starting at its Start.
inline bool IsOpeningEmptyUnit(const TSegment& Segment) {
    return Segment.Length == 0 && Segment.End < Segment.Start;
}
// The empty unit the editor writes at X; Opening when X is the start of the unit's section.
inline TSegment EmptyUnitAt(int32_t X, bool Opening) {
    return {X, Opening ? X - 1 : X, 0};
}

// A run of entries First..Last of a segment list (Last < First when the run is empty).
struct TUnitRun {
    int32_t First = 0;
    int32_t Last = -1;
    int32_t Count() const { return Last - First + 1; }
    bool operator==(const TUnitRun&) const = default;
};

// The entries of Units (paragraphs, sentences or aligned segments of one file) that belong to Section:
// those starting inside [Section.Start, Section.End) and a unit straddling Section.Start, plus the
// empty units at its edges as described above (an opening empty unit at Section.Start belongs to it, a
// plain empty unit at Section.Start to the section before; a plain empty unit at Section.End belongs to
// it). Every caller that counts, lists or aligns the units of a section asks this one function.
TUnitRun UnitsOfSection(const TAlignIndex& Units, const TSegment& Section);

// The alignment of one source file (Side1) with one target file (Side2): entry i of one side is
// aligned with entry i of the other.
class TDoubleAlignIndex {
public:
    TAlignIndex Side1;
    TAlignIndex Side2;

    // Maps the source range [From, To) to the target stretch from the start of the pair holding From
    // to the end of the pair holding To - 1. Raises EConcError "Index is out of bounds." when From lies
    // before the first source segment or the target side is empty.
    void MapToTarget(int32_t From, int32_t To, int32_t& TargetStart, int32_t& TargetEnd) const;
    // The same from the target side to the source side.
    void MapToSource(int32_t From, int32_t To, int32_t& SourceStart, int32_t& SourceEnd) const;
    // Both sides give back the room beyond their counts (an aligner has finished the file).
    void ShrinkToFit() {
        Side1.ShrinkToFit();
        Side2.ShrinkToFit();
    }
};

// Offset lists, segment lists and tag collections are read back only when their values never decrease:
// lookups and Add search them by halves, so an unordered list read from a damaged file leaves its slot
// empty.
template <class T>
struct TOrderedListCodec {
    static void Save(TStream& Stream, const T* Item) { SaveOptionalElement(Stream, Item); }
    static std::unique_ptr<T> Load(TStream& Stream) {
        std::unique_ptr<T> Item = LoadOptionalElement<T>(Stream);
        if (Item && !Item->IsOrdered()) Item.reset();
        return Item;
    }
};

// One line-start or page-start list per corpus file of a language.
class TIntegerLists : public TSlotList<TIntegerList, TOrderedListCodec<TIntegerList>> {};

// One section, paragraph or sentence index per corpus file of a language.
class TAlignIndexes : public TSlotList<TAlignIndex, TOrderedListCodec<TAlignIndex>> {};

// A pair is saved as two optional halves, Side1 then Side2 (an empty slot is two NoElement values);
// a pair read back with either half missing, with the starts of a half out of order, or with a half
// cut short (reported as damage) leaves its slot empty. Halves of different lengths are read as they
// are: the alignment editor makes them.
struct TDoubleAlignCodec {
    static void Save(TStream& Stream, const TDoubleAlignIndex* Item);
    static std::unique_ptr<TDoubleAlignIndex> Load(TStream& Stream);
};

// One alignment pair per file index (language 0 against one target language).
class TDoubleAlignIndexes : public TSlotList<TDoubleAlignIndex, TDoubleAlignCodec> {};

// ---- Segment length ----

// The length stored with every section, paragraph and sentence: the bytes of [Start, End) outside tags
// and word tags, the line feed of a CR LF pair not counted. TextBytes receives the count of word and
// delimiter bytes (a segment without any is never stored). The file is classified from Start outside
// any tag with the reader's settings, whatever the reader's range, mode and position, which stay as
// they were; afterwards its tag state is set from ResumeClass (the class of the byte before its
// position). An End at or below Start measures 0.
int32_t MeasureSegment(TBufStream& Reader, int32_t Start, int32_t End, TCharType ResumeClass,
                       int32_t& TextBytes);

// ---- Alignment lookup through Align12, Align13 and Align14 ----

// The aligned units of a file in one language: language 0 is Side1 of the file's pair in Align12,
// language 1, 2, 3 Side2 of its pair in Align12, Align13, Align14. nullptr (owned by the pair list
// otherwise) when the language is outside 0..3, the pair list does not exist or the file has no pair.
TAlignIndex* GetAlignIndex(int32_t Language, int32_t File);

struct TAlignedRange {
    int32_t Start = 0;
    int32_t End = 0;
};

// Where [Start, End) of file File in language From lies in language To: 0 to k maps through the target
// side of the file's pair for k, k to 0 through its source side, j to k through the source language.
// No range for 0 to 0, a language outside 0..3, or a missing pair list or pair (callers then take
// their no-alignment path). Raises EConcError "Index is out of bounds." when Start lies before the
// first segment of the side mapped from, or the side mapped to is empty.
std::optional<TAlignedRange> MapAlignedRange(int32_t From, int32_t To, int32_t File, int32_t Start,
                                             int32_t End);
