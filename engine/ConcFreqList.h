// Word-frequency lists: the corpus list of a language (counted by the corpus pass, kept in workspaces
// as the block "FREQUENCY"), the word lists of search results (with the position of every occurrence)
// and the collocate lists of a concordance.
//
// Words live in a fixed table of 16384 buckets. The table size and the hash are part of the stored
// form: items are written bucket by bucket and the display order refers to them as
// (slot shl 14) or bucket, so neither may ever change. One thread at a time: the main thread, or the
// thread of a concordance list that counts its collocates while the main thread searches.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConcStreamUtils.h"

class TProgressForm;

// Where one occurrence of a word of a result list was found: the file, the aligned segment that held
// it (as the file's aligned segment index has it) and the word's own offsets (end exclusive).
struct TFreqItemPos {
    int32_t File = 0;
    int32_t SegmentStart = 0;
    int32_t SegmentEnd = 0;
    int32_t SegmentLength = 0;
    int32_t WordStart = 0;
    int32_t WordEnd = 0;

    bool operator==(const TFreqItemPos&) const = default;
};

using TFreqItemPositions = std::vector<TFreqItemPos>;

// One distinct word of a list with its count.
class TFreqItem {
public:
    std::string Word;  // lower-cased when the list folds case
    int32_t Frequency = 0;
    // Hot-word fields: set by the hot-word ranking, only copied here, never saved. The flags sit beside
    // the frequency, where they fill what would be padding: a list may hold a million items.
    bool ParadigmLinked = false;
    bool Chosen = false;
    double Score = 0;
    double OwnScore = 0;
    // Every occurrence, for lists that keep positions; nullptr for lists that do not.
    std::unique_ptr<TFreqItemPositions> Positions;

    TFreqItem() = default;
    TFreqItem(std::string Word, int32_t Frequency) : Word(std::move(Word)), Frequency(Frequency) {}

    // A new item with Source's word, frequency and hot-word fields, and, when Source has positions,
    // its first Frequency positions (fewer when it holds fewer). The caller owns the result.
    static std::unique_ptr<TFreqItem> CreateCopy(const TFreqItem& Source);
    // Reads Int32 length, the word's bytes and Int32 frequency at the stream's position. A negative
    // length reads as an empty word and a length beyond the remaining bytes is cut to them.
    static std::unique_ptr<TFreqItem> CreateFromStream(TStream& Stream);
    // Writes the word's length, its bytes and the frequency.
    void SaveToStream(TStream& Stream) const;
};

// The bucket of a word: the one-at-a-time hash of its bytes (32-bit unsigned arithmetic) and 0x3FFF.
// Words never hold a 0 byte (the reader reads one as a blank), so all bytes of Word are hashed.
int32_t HashWord(std::string_view Word);

// Which sort made the current display order. A list just created, cleared or loaded, and a list
// counted since its last sort, is None, so it is sorted before it is shown.
enum class TFreqSort : uint8_t { None, ByFrequency, Alphabetical };

// One entry of the top-frequency table: a frequency and how many words have it.
struct TTopEntry {
    int32_t Frequency = 0;
    int32_t WordCount = 0;
    bool operator==(const TTopEntry&) const = default;
};

class TFreqList {
public:
    static constexpr int32_t BucketCount = 16384;
    static constexpr int32_t BucketMask = 0x3FFF;
    static constexpr int32_t SlotShift = 14;
    static constexpr int32_t MaxTopLimit = 32;
    static constexpr int32_t StreamVersion = 0x00010000;

    // An empty list of Language. Its case rule is FrequencyConfigs[Language].IgnoreCase at this moment
    // (no folding for a language outside 0..3): a list never mixes folded and unfolded words.
    explicit TFreqList(int32_t Language);
    ~TFreqList();
    TFreqList(const TFreqList&) = delete;
    TFreqList& operator=(const TFreqList&) = delete;

    int32_t Language() const { return FLanguage; }
    bool IgnoreCase() const { return FIgnoreCase; }

    // The number of distinct words.
    int32_t Count() const {
        return static_cast<int32_t>(FOrder.size() + FPending.size() + (FItemCount - FPlaced));
    }
    // The item at display position I, still owned by the list. Raises std::out_of_range for I outside
    // [0, Count).
    TFreqItem* GetItem(int32_t I) const;
    // The display order: one reference (slot shl 14) or bucket per item. Before any sort it ascends;
    // a word added after a sort is placed as an ordered insert would place it. The reference stays
    // valid until the list next changes.
    const std::vector<int32_t>& Order() const;
    // The item a reference names; nullptr when no item has that reference.
    TFreqItem* ItemOfReference(int32_t Reference) const;

    // The item whose word equals Key, or nullptr. Key must be in stored form (lower-cased through the
    // language's case map when the list folds case).
    TFreqItem* FindWord(std::string_view Key) const;

    // A word in stored form with its hash, worked out once for the several steps of counting it during
    // a search: prefetching, finding, and adding it when it is new.
    struct TKey {
        std::string_view Word;
        uint32_t Hash = 0;
    };
    static TKey KeyOf(std::string_view StoredWord);
    TFreqItem* FindWord(const TKey& Key) const;
    // Asks the processor to fetch what FindWord(Key) and the counting of a new Key read first, so that
    // the lookups of several lists wait for memory together rather than one after another. Changes
    // nothing.
    void PrefetchWord(const TKey& Key) const;
    // Asks the processor to fetch the list's own fields, which PrefetchWord reads; changes nothing.
    void PrefetchHead() const;
    // After FindWord(Key) found nothing: asks the processor to fetch what counting Key as a new word
    // writes, which PrefetchWord could not know yet. Changes nothing.
    void PrefetchNewWord(const TKey& Key) const;
    // Counts Count (at least 1) occurrences of Key, which FindWord(Key) has just not found: a new item
    // with Frequency Count, still owned by the list.
    TFreqItem* AddNewWord(const TKey& Key, int32_t Count = 1);
    // Counts Count (at least 1) occurrences of Word (folded first when the list folds case): the item's
    // Frequency grows by Count, or a new item with Frequency Count is made. Returns the item, still
    // owned by the list.
    TFreqItem* AddWord(std::string_view Word, int32_t Count = 1);
    // Counts Count more occurrences of Item, an item of this list handed out by AddWord while Stamp had
    // its present value (the caller checks that), as AddWord of its word would.
    void CountItem(TFreqItem& Item, int32_t Count);
    // A value that no other list and no other state of this list has had in this process: it changes
    // whenever items may have been freed (Clear, DeleteItem, LoadFromStream), so that a caller that
    // keeps item pointers can tell whether they still hold.
    uint64_t Stamp() const { return FStamp; }
    // AddWord, then Pos appended to the item's positions (made on first use).
    TFreqItem* AddWordWithPos(std::string_view Word, const TFreqItemPos& Pos);
    // Frees the item at display position I and removes it from the display order; later items of its
    // bucket move down one slot and their references are renumbered. Raises std::out_of_range for I
    // outside [0, Count).
    void DeleteItem(int32_t I);
    // Frees every item; the list is empty and unsorted. The top limit is kept.
    void Clear();

    // Display order by Frequency descending, then word ascending under the case rule.
    void SortByFrequency();
    // Display order by word ascending under the case rule (byte order through the lower-case map, not
    // the locale's collation), then Frequency descending.
    void SortAlphabetically();
    TFreqSort SortState() const { return FSortState; }
    bool SortedAlphabetically() const { return FSortState == TFreqSort::Alphabetical; }

    // Tracks the N highest distinct frequencies (N cut to 0..32; 0 tracks nothing).
    void SetTopLimit(int32_t N);
    int32_t TopLimit() const { return FTopLimit; }
    // Entries in use: TopLimit, or fewer when the list has fewer distinct frequencies.
    int32_t TopCount() const;
    // Entry I of the top table (0 = the highest frequency). Raises std::out_of_range for I outside
    // [0, TopCount).
    TTopEntry Top(int32_t I) const;
    // The index of Frequency in the top table, or -1.
    int32_t TopIndexOf(int32_t Frequency) const;
    // Counts the frequencies of all items again.
    void RebuildTop();

    // Writes the block "FREQUENCY": EndOffset (back-patched), version, bucket count, per bucket its item
    // count and items, then the display order as Int32 count and references. Raises EConcError when the
    // block ends beyond the 32-bit offsets of the format.
    void SaveToStream(TStream& Stream) const;
    // Clears the list and reads a block written by SaveToStream; returns true only when the list was
    // read, and in every case leaves the stream after the block. Another version shows "Unknown
    // frequency list version.", another bucket count "Different hash table size in frequency list."; a
    // block whose end offset is impossible (or the stream ends in its head) is reported once per stream
    // as damaged (DamagedIndexDataText) and the stream is left at the next block that can be found; a
    // block whose contents cannot be right (an item outside its bucket, a count or reference out of
    // range) is rejected without a message. A rejected list is left empty.
    bool LoadFromStream(TStream& Stream);

private:
    // Items are named by their number (the order they were made in, from 0) rather than by pointer
    // wherever the list keeps many references to them: a collocate list of a search may meet a new
    // word at every hit, and each word is referred to from its bucket and from two to four index slots.
    using TItemNumber = uint32_t;
    static constexpr TItemNumber NoItem = UINT32_MAX;

    struct TEntry {
        uint32_t Hash;  // the word's hash in the word index
        TItemNumber Item;
    };
    using TBucket = std::vector<TEntry>;

    // Open addressing over every item, so that finding a word costs one probe of a flat table rather
    // than a walk through its bucket's separately allocated entries. The slot holds the word's first
    // eight bytes (the rest 0): a word holds no 0 byte, so for a word shorter than eight bytes they are
    // the whole word and a lookup decides without reading the item, and the lookups of several lists
    // wait for their items together instead of one after another.
    struct TIndexSlot {
        uint32_t Hash = 0;
        TItemNumber Item = NoItem;
        uint64_t Head = 0;
    };
    static TIndexSlot SlotOf(uint32_t Hash, TItemNumber Number, const TFreqItem& Item);

    TFreqItem* Find(std::string_view Key, uint32_t Hash) const;
    TFreqItem* CountWord(std::string_view Key, int32_t Count);
    TFreqItem* CountNewWord(std::string_view Key, uint32_t Hash, int32_t Count);
    void IndexItem(uint32_t Hash, TItemNumber Number, const TFreqItem& Item);
    void PlaceInIndex(const TIndexSlot& Slot);
    void GrowIndex();
    void RebuildIndex();
    void PlaceNewWords() const;
    void FlushPending() const;
    void SortOrder(bool Alphabetical);
    void TopChanged(int32_t OldFrequency, int32_t NewFrequency);
    size_t FrequencyPlace(int32_t Frequency, size_t End) const;
    bool ReadBuckets(TStream& Stream, int64_t EndOffset);
    bool ReadOrder(TStream& Stream, int64_t EndOffset);
    int32_t ItemTotal() const;
    // A new empty item and its number.
    TFreqItem& NewItem(TItemNumber& Number);
    // The item of Number (below FItemCount).
    TFreqItem& ItemAt(TItemNumber Number) const;

    int32_t FLanguage;
    bool FIgnoreCase;
    // Allocated when the first word is placed in its bucket, so that the many small lists of a
    // concordance stay cheap, and the lists a search counts into cost no buckets until they are shown.
    mutable std::unique_ptr<std::array<TBucket, BucketCount>> FBuckets;
    // The items, made a block at a time: the lists of a search meet a new word at most hits, and one
    // allocation per word, scattered over the heap, cost more than the counting. Blocks double from 16
    // to 1024 items, then stay at 1024, so that an item's number gives its block. A deleted item is
    // emptied and its room kept until the list is cleared.
    std::vector<std::unique_ptr<TFreqItem[]>> FItemBlocks;
    TItemNumber FItemCount = 0;
    // The display order (a plain array, since the sorts rearrange it in place), and references of new
    // words not yet placed in it: they are placed, as one ordered insert each would place them, when
    // the order is next read, which turns the counting of a corpus from one insert per new word into
    // one merge.
    mutable std::vector<int32_t> FOrder;
    mutable std::vector<int32_t> FPending;
    // Items from this number on are new words not yet in their buckets. The bucket of a word is a cold
    // cache line or two, and the lists of a search meet a new word at most hits: the buckets are
    // filled, in the order the words came, when they are next read.
    mutable TItemNumber FPlaced = 0;
    TFreqSort FSortState = TFreqSort::None;
    int32_t FTopLimit = 0;
    // Every distinct frequency with its number of words, highest first; complete while TopLimit > 0,
    // empty otherwise. A flat array: a count moves a word from one frequency to the next, which is
    // nearly always an update in place, and ranking reads the first entries.
    std::vector<TTopEntry> FFrequencies;
    std::string FKey;                // scratch space for a folded word
    std::vector<TIndexSlot> FIndex;  // empty, or a power of two of slots at most half full
    uint64_t FStamp;
    int32_t FIndexed = 0;
};

// Frees List's items when List is assigned.
void ClearFreqList(TFreqList* List);

// False when Item's Frequency is below the language's MinimumFrequency, or MaximumFrequency is not 0
// and the Frequency is above it, or the word is in the language's stop list; true otherwise.
bool FreqItemPasses(int32_t Language, const TFreqItem& Item);

// The segment source of BuildFreqList: the index of the next segment of file FileIndex's aligned
// segment index to count, or -1 when the file is done. ProgressPosition receives the gauge position;
// DistinctUnits asks for each segment once (BuildFreqList always asks so).
using TNextSegmentFunc =
    std::function<int32_t(int32_t FileIndex, int32_t& ProgressPosition, bool DistinctUnits)>;

// Counts the words of the segments NextSegment names, file by file over the files of Language, into a
// new list (with every occurrence's position when KeepPositions), sorted alphabetically or by
// frequency. Progress is the caller's progress form (its gauge is reset to 0..MaxProgress) or nullptr
// to open one. Returns the list, owned by the caller, or nullptr when the user cancelled. The flags of
// each file's aligned segment index are clear before the file is asked for and after it, also when
// the build is cancelled or fails. Raises what reading and NextSegment raise (EConcError for a segment
// outside the file's index), and std::out_of_range for a language that does not exist.
std::unique_ptr<TFreqList> BuildFreqList(int32_t Language, bool Alphabetical, bool KeepPositions,
                                         TProgressForm* Progress, int32_t MaxProgress,
                                         const TNextSegmentFunc& NextSegment);

inline constexpr const char* UnknownFreqListVersionText = "Unknown frequency list version.";
inline constexpr const char* FreqListHashSizeText = "Different hash table size in frequency list.";
