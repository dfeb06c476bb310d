// Concordance items: one hit of a search with the words around it, where it lies in the corpus and
// the aligned passage that covers it; and everything that turns an item into a display line with
// formatting runs, built on demand from the corpus file through the language's classifying reader.
//
// An item is kept small, since a search may hold millions of them: its nine word texts share one
// allocation, the tracked-tag value and the runs exist only once asked for, and the display line is
// never stored. Lines are built on the main thread only (they use the per-file readers of the
// language configuration).
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "ui/StringsViewModel.h"

// ---- Context types ---------------------------------------------------------------------------------

// What the context of a line is measured in; the size of each type is set per item list.
enum TContextType : uint8_t { ctxCharacters = 0, ctxWords, ctxLines, ctxSentence, ctxSegment };
inline constexpr const char* ContextTypeNames[5] = {"Characters", "Words", "Lines", "Sentence", "Segment"};

// A collocate position range of 10 means: no collocate shading.
constexpr uint8_t NoCollocatePosition = 10;
// Colour of the runs of further hits inside an aligned passage.
constexpr TColor SubHitColour = 0x800000;
// How far (bytes) the context of a line reaches on each side, and the most characters a side shows.
constexpr int32_t ContextWindow = 640;

// ---- The item --------------------------------------------------------------------------------------

// Item slots: 0 the hit; 1, 2, 3, 4 the 4th, 3rd, 2nd, 1st word left of it; 5, 6, 7, 8 the 1st, 2nd,
// 3rd, 4th word right of it.
constexpr int ItemSlotCount = 9;
constexpr uint8_t Unranked = 255;  // CollocRanks: the word is not among the top collocates
constexpr uint8_t NoLetter = 255;  // Letter: none assigned

// The nine texts of an item. A missing text differs from an empty one (missing words sort last). All
// texts live in one allocation of at most 65535 bytes of text, headed by which are present and where
// each text ends (one byte each while all texts together take at most 255 bytes, as nearly all do, two
// otherwise), so that an item without texts (a passage row) holds only a null pointer.
class TItemTexts {
public:
    TItemTexts() = default;
    TItemTexts(const TItemTexts& Source);
    TItemTexts& operator=(const TItemTexts& Source);
    TItemTexts(TItemTexts&&) noexcept = default;
    TItemTexts& operator=(TItemTexts&&) noexcept = default;

    // Whether slot I (0..8) holds a text.
    bool Has(int I) const { return FBlock && (Bits() >> I) & 1u; }
    // The text of slot I; empty when the slot holds none. The view holds until the texts next change.
    std::string_view operator[](int I) const {
        if (!FBlock) return {};
        const size_t From = I == 0 ? 0 : EndOf(I - 1);
        return {Chars() + From, EndOf(I) - From};
    }
    // Stores Text in slot I. Raises std::length_error when all texts together would pass 65535 bytes.
    void Set(int I, std::string_view Text);
    // Makes slot I missing.
    void Reset(int I);
    // Makes every slot missing and gives the allocation back.
    void Clear() { FBlock.reset(); }
    // Whether no slot holds a text (and nothing is allocated).
    bool Empty() const { return !FBlock; }

private:
    // The block: two bytes of present bits (WideBit set when the ends take two bytes each), the end of
    // each slot's text (ItemSlotCount entries, one or two bytes, little-endian), then the texts.
    static constexpr uint16_t WideBit = 0x8000;
    static constexpr size_t BitsBytes = 2;
    uint16_t Bits() const {
        return static_cast<uint16_t>(static_cast<uint8_t>(FBlock[0]) | static_cast<uint8_t>(FBlock[1]) << 8);
    }
    bool Wide() const { return (Bits() & WideBit) != 0; }
    size_t EndOf(int I) const {
        const auto* Ends = reinterpret_cast<const uint8_t*>(FBlock.get() + BitsBytes);
        if (!Wide()) return Ends[I];
        return static_cast<size_t>(Ends[2 * I] | Ends[2 * I + 1] << 8);
    }
    static size_t HeaderBytes(bool Wide) { return BitsBytes + (Wide ? 2 : 1) * ItemSlotCount; }
    const char* Chars() const { return FBlock.get() + HeaderBytes(Wide()); }
    size_t BlockBytes() const { return HeaderBytes(Wide()) + EndOf(ItemSlotCount - 1); }
    void Replace(int I, std::string_view Text, bool Present);

    std::unique_ptr<char[]> FBlock;
};

// A further hit of the same language inside an item's aligned passage.
struct TTessivorSubItem {
    int32_t HitStart = 0;
    int32_t HitEnd = 0;  // exclusive
    bool Flag = false;   // the hit came from hot words or translations

    bool operator==(const TTessivorSubItem&) const = default;
};

// A vector that few items fill (sub-items, runs): an item without one holds only a null pointer;
// otherwise it reads and changes like the vector it keeps.
template <typename T>
class TRareVector {
public:
    using value_type = T;
    using Vector = std::vector<T>;
    using iterator = typename Vector::iterator;
    using const_iterator = typename Vector::const_iterator;

    TRareVector() = default;
    TRareVector(TRareVector&&) noexcept = default;
    TRareVector& operator=(TRareVector&&) noexcept = default;
    // Takes Items (none: nothing is kept).
    TRareVector& operator=(Vector Items) {
        F = Items.empty() ? nullptr : std::make_unique<Vector>(std::move(Items));
        return *this;
    }

    size_t size() const { return F ? F->size() : 0; }
    bool empty() const { return !F || F->empty(); }
    const_iterator begin() const { return Items().begin(); }
    const_iterator end() const { return Items().end(); }
    iterator begin() { return F ? F->begin() : iterator(); }
    iterator end() { return F ? F->end() : iterator(); }
    const T& operator[](size_t I) const { return (*F)[I]; }
    const T& front() const { return F->front(); }
    const T& back() const { return F->back(); }
    void clear() { F.reset(); }
    // Removes the element at It (an iterator of this vector); returns the one after it.
    iterator erase(const_iterator It) { return F->erase(It); }
    // Removes every element for which Drop holds; returns how many went.
    template <typename TPred>
    size_t EraseIf(TPred Drop) {
        const size_t Gone = F ? std::erase_if(*F, Drop) : 0;
        if (F && F->empty()) F.reset();
        return Gone;
    }
    // The vector to change, made when there is none.
    Vector& Edit() {
        if (!F) F = std::make_unique<Vector>();
        return *F;
    }
    // The elements as a vector (an empty one when there are none).
    const Vector& Items() const {
        static const Vector None;
        return F ? *F : None;
    }
    operator const Vector&() const { return Items(); }

    friend bool operator==(const TRareVector& A, const TRareVector& B) { return A.Items() == B.Items(); }
    friend bool operator==(const TRareVector& A, const Vector& B) { return A.Items() == B; }

private:
    std::unique_ptr<Vector> F;
};

// The sub-items of an item, in file order after its hit.
using TSubItems = TRareVector<TTessivorSubItem>;
// The runs of the line last built for an item.
using TItemRuns = TRareVector<TSVFormatInfo>;

// What few items hold: the tracked-tag value, the runs of a drawn line and further hits. They share
// one record outside the item, so that an item without any of them holds only a null pointer.
struct TItemExtras {
    std::unique_ptr<std::string> SortString;
    TItemRuns Runs;
    TSubItems SubItems;
};

// The file offsets of the words of an item's context slots, 1..8, indexed by slot; the hit's own (slot 0)
// are the item's HitStart and HitEnd.
class TWordOffsets {
public:
    int32_t& operator[](size_t Slot) {
        assert(Slot >= 1 && Slot < ItemSlotCount);
        return F[Slot - 1];
    }
    int32_t operator[](size_t Slot) const {
        assert(Slot >= 1 && Slot < ItemSlotCount);
        return F[Slot - 1];
    }
    void fill(int32_t Value) { F.fill(Value); }
    auto begin() const { return F.begin(); }
    auto end() const { return F.end(); }
    bool operator==(const TWordOffsets&) const = default;

private:
    std::array<int32_t, ItemSlotCount - 1> F{};
};

// One hit of a search in one language. Offsets are byte offsets into the corpus file as it is read.
class TConcordItem {
public:
    // An empty item of Language (0..MaxLanguages - 1): no texts, no file (-1), no letter, not aligned,
    // no hit.
    explicit TConcordItem(int32_t Language);

    // Fields are grouped by size so that an item takes 120 bytes, which the allocator serves in 128: a
    // search may hold millions of them.
    TItemTexts Texts;
    TWordOffsets WordStarts;  // file offset of each context slot's word
    TWordOffsets WordEnds;    // just past each context slot's word
    // Rank of each slot's word among the collocates of its position (0 = most frequent).
    std::array<uint8_t, ItemSlotCount> CollocRanks;
    uint8_t Letter = NoLetter;
    // 0 = the row has no hit of its own; 1 = a hit of a query; 2 = a hit of hot words or translations.
    uint8_t HitState = 0;
    int8_t Language;
    int32_t Sequence = 0;  // the index the item had when it was added to its list
    int32_t FileIndex = -1;
    int32_t HitStart = 0;
    int32_t HitEnd = 0;  // exclusive
    int32_t AlignedStart = -1;
    int32_t AlignedEnd = -1;  // -1 / -1 = not aligned
    int32_t AlignedLength = 0;

    // The value of the tracked tag at the hit, cached for sorting; nullptr when none is cached. The
    // pointer holds until the value next changes.
    const std::string* SortString() const { return FExtras ? FExtras->SortString.get() : nullptr; }
    void SetSortString(std::string Value);
    void ResetSortString();
    // The runs of the line last built for the item; empty until a line is built.
    const TItemRuns& Runs() const { return FExtras ? FExtras->Runs : NoExtras().Runs; }
    // The runs to change (the item's extra record is made when there is none).
    TItemRuns& EditRuns() { return Extras().Runs; }
    void ClearRuns();
    // The sub-items, in file order after the hit.
    const TSubItems& SubItems() const { return FExtras ? FExtras->SubItems : NoExtras().SubItems; }
    // The sub-items to change (the item's extra record is made when there is none).
    TSubItems& EditSubItems() { return Extras().SubItems; }
    void ClearSubItems();

    // Makes every text missing, zeroes the word offsets and ranks (0).
    void ClearTexts();
    // Whether the item holds a hit text (slot 0).
    bool IsFilled() const { return Texts.Has(0); }
    // For a filled item: the 0-based line holding HitStart, the index of the last line start at or before
    // it in the line starts of its file (-1 when the file has none). -1 for an item not filled. Looked up
    // when asked rather than kept: nothing reads it for most hits. Raises std::out_of_range for a filled
    // item of a language or file that does not exist.
    int32_t FindLine() const;
    // Looks the hit [HitStart, HitEnd) up in the aligned units of its file: AlignedStart, AlignedEnd and
    // AlignedLength cover the units from the one holding HitStart to the one holding the hit's last
    // byte, a unit holding the byte at its End as a search reads it (so the last byte of a markup unit,
    // whose End is inclusive, stays in that unit). Without an alignment index, or with an empty one:
    // AlignedStart = AlignedEnd = -1. Raises EConcError "Index is out of bounds." when the hit ends
    // before the first unit.
    void FindAlignedRange();

private:
    static const TItemExtras& NoExtras();
    TItemExtras& Extras();
    // Gives the extra record back once it holds nothing.
    void DropEmptyExtras();

    std::unique_ptr<TItemExtras> FExtras;
};

// ---- Building lines --------------------------------------------------------------------------------

// One highlighted stretch [Start, End) of a line: entry 0 is the hit, further entries its sub-items.
struct TItemRange {
    int32_t Start = 0;
    int32_t End = 0;
};
using TItemRanges = std::vector<TItemRange>;

// Everything BuildConcordLine reads. Colours are COLORREF values.
struct TLineBuildArgs {
    int32_t Language = 0;
    // The item whose word slots, offsets and collocate ranks shade the context; borrowed.
    const TConcordItem* Item = nullptr;
    // The reader of the item's file, configured with the tag options and its tag state cleared; borrowed.
    TBufStream* Reader = nullptr;
    int32_t FileIndex = -1;
    int32_t AlignedEnd = -1;
    int32_t AlignedStart = -1;
    TColor HitColour = 0;
    TColor CollocColour = 0;
    // The top limit of the collocate lists: rank r of TopCount shades with about a tenth of the colour.
    int32_t TopCount = 0;
    uint8_t PosHi = NoCollocatePosition;
    uint8_t PosLo = NoCollocatePosition;  // positions PosLo..PosHi (1..8) are shaded
    TSVFormatArray* Runs = nullptr;       // filled with the line's runs; borrowed
    TCharTypes VisibleTypes;              // the classes shown
    int32_t Size = 0;                     // the context size in units of ContextType
    uint8_t ContextType = ctxSegment;
    const TItemRanges* Ranges = nullptr;  // borrowed; empty or nullptr = no hit
};

// The display line of a hit with its context, and its runs (Start counting characters from 1): "... "
// (Characters and Words, with context), the left context, the hit (more than 60 bytes show their first
// 27 and last 28 joined by " ... "), the right context, " ..." (as the first). Line breaks show as one
// blank, a tab as a blank. The context reaches at most 640 bytes from the hit, and a side of a sentence
// or segment longer than 640 bytes shows its first 317 and last 318 joined by " ... ". Runs: collocates
// of the left side (when shaded), the hit (Anchor set for Characters and Words, IsHit set, the
// language's hilite font in HitColour), collocates and sub-hits of the right side.
// Segment type without a hit: the aligned passage (more than 1280 bytes show their first 634 and last
// 636), no runs. A double-byte character is never cut. Raises std::out_of_range for a language or file
// that does not exist, and what reading raises.
std::string BuildConcordLine(const TLineBuildArgs& Args);

// The display settings of an item list.
struct TConcordDisplay {
    uint8_t ContextType = ctxSegment;
    std::array<int32_t, 5> ContextSizes{DefaultContextSizes[0], DefaultContextSizes[1],
                                        DefaultContextSizes[2], DefaultContextSizes[3],
                                        DefaultContextSizes[4]};
    bool ConcealHits = false;
    bool ConcealCollocates = false;
    bool SuppressNormalTags = false;
    bool SuppressPOSTags = false;
    bool SuppressWords = false;
};

// How a line is coloured: hit colour, collocate colour and its top count, collocate positions.
struct TLineShading {
    TColor HitColour = 0;
    TColor CollocColour = 0;
    int32_t TopCount = 0;
    uint8_t PosLo = NoCollocatePosition;
    uint8_t PosHi = NoCollocatePosition;
};

// The reader of file FileIndex of Language, made over the file's stream when its slot is still empty.
// The configuration owns it. Raises std::out_of_range for a language or file that does not exist and
// EConcError when the file has no open stream.
TBufStream& FileReader(int32_t Language, int32_t FileIndex);

// The line of Item in ContextType with Size: its hit and sub-items highlighted, read through the
// language's reader of the item's file configured with the global tag options. Runs receive the runs.
// Raises as BuildConcordLine.
std::string BuildItemLine(const TConcordItem& Item, uint8_t ContextType, int32_t Size,
                          const TLineShading& Shading, const TCharTypes& VisibleTypes, TSVFormatArray& Runs);
// BuildItemLine with the context type of Display and the size of that type.
std::string BuildDisplayLine(const TConcordItem& Item, const TConcordDisplay& Display,
                             const TLineShading& Shading, const TCharTypes& VisibleTypes,
                             TSVFormatArray& Runs);

// Hides text a line's runs cover: every character of the hit's run (IsHit) becomes "-" with ConcealHits,
// every character of another run except a sub-hit's (colour SubHitColour) with ConcealCollocates. Runs
// reaching past the line are cut at its end.
void ConcealRuns(std::string& Line, const TSVFormatArray& Runs, bool ConcealHits, bool ConcealCollocates);

// The text of the larger-context window: the visible characters from BigContextSize x 512 bytes before
// the hit to as many after it, line breaks unchanged. Reader (configured with the tag options) reads
// from 512 bytes earlier so that a tag open there is recognised. Runs receive one run for the hit
// (language's hilite font, IsHit set). Raises std::out_of_range for a language that does not exist.
std::string ReadContextWindow(int32_t Language, TBufStream& Reader, int32_t HitStart,
                              const TCharTypes& VisibleTypes, int32_t HitEnd, TSVFormatArray& Runs);

// The status text of an item: the language name; with an item of a file, "<language> - <file name>";
// when the item holds its texts and the file its line starts, "<language> - <file name>, line: <n>"
// (1-based). "" for a language that does not exist.
std::string ItemStatusText(int32_t Language, const TConcordItem* Item);
// Posts ItemStatusText; nothing is posted for a language that does not exist.
void PostItemStatusText(int32_t Language, const TConcordItem* Item);

// ---- Item lists --------------------------------------------------------------------------------------

class TFreqItem;
class TFreqList;
class TProgressForm;

// Told before every exchange the sort makes (also of a row with itself), so that the lists of the other
// languages can make the same exchange and keep their rows in step.
using TSwapEvent = std::function<void(int32_t I, int32_t J)>;

// The line shown for a row whose line could not be built.
inline constexpr const char* LineFailedText = "<out of memory>";
constexpr int CollocatePositionCount = 8;  // context positions 1..8 = item slots 1..8

// The sequence numbers of rows that went, one bit per number (with a count per 64 numbers), so that
// closing the gaps a delete of millions of rows left needs a bit per row rather than a number.
class TGoneSequences {
public:
    // Marks Sequence gone; a negative one is passed over.
    void Add(int32_t Sequence);
    bool Empty() const { return FTotal == 0; }
    // How many of the numbers marked are below Sequence.
    int32_t Below(int32_t Sequence) const;

private:
    std::vector<uint64_t> FBits;
    // Numbers marked before each word of FBits; counted when first asked after a change.
    mutable std::vector<int32_t> FBefore;
    mutable bool FCounted = false;
    int32_t FTotal = 0;
};

// What a row holds, read without making a passage row an item (see TConcordItems::GetItem).
struct TRowInfo {
    int32_t Sequence = 0;
    int32_t FileIndex = -1;
    int32_t HitStart = 0;
    int32_t AlignedStart = -1;
    int32_t AlignedEnd = -1;
    int32_t AlignedLength = 0;
    uint8_t Letter = NoLetter;
    uint8_t HitState = 0;
    bool Filled = false;  // the row holds a hit text (IsFilled)
};

// The items of one language of a concordance window, in display order; row i of every language's list
// belongs to the same hit. Owns its items and its collocate lists. Callers pass row indexes in
// [0, Count); an index outside raises std::out_of_range. Main thread only: the collocates of rows added
// while highlighting is on are counted on a thread of the list's own, and every member that hands out
// or reads a row or a collocate list first waits until the rows added so far are counted.
//
// A row of another language than the search's mostly names only the aligned passage of a hit. Such a
// row (an added item that holds nothing but its sequence, file, aligned passage and letter) is kept in
// a few bytes rather than as an item; GetItem makes it an item again, for good, the first time it is
// asked for. Code that visits every row reads RowInfo and FindItem instead, which never do.
class TConcordItems {
public:
    // An empty list of Language: Segment context, the context sizes of the options (NewListContextSizes),
    // yellow collocates, the hit colour of the language's hilite font (black when the language does not
    // exist), no sort keys.
    explicit TConcordItems(int32_t Language);
    ~TConcordItems();
    TConcordItems(const TConcordItems&) = delete;
    TConcordItems& operator=(const TConcordItems&) = delete;

    int32_t Count() const { return static_cast<int32_t>(FRows.size()); }
    // Row I as an item, still owned by the list; a passage row becomes one and stays one.
    TConcordItem* GetItem(int32_t I) const;
    // Row I's item, or nullptr while row I is a passage row (which nobody holds a pointer to).
    TConcordItem* FindItem(int32_t I) const;
    // What row I holds.
    TRowInfo RowInfo(int32_t I) const;
    void SetLetter(int32_t I, uint8_t Letter);
    void SetFileIndex(int32_t I, int32_t FileIndex);
    // Puts Item at row I and hands the item that was there back to the caller.
    std::unique_ptr<TConcordItem> Put(int32_t I, std::unique_ptr<TConcordItem> Item);
    // Frees row I and closes the gap.
    void Delete(int32_t I);
    void Exchange(int32_t I, int32_t J);
    // Appends Item (the caller has set its Sequence to Count) and returns its row. With collocate
    // highlighting on, the item's collocates are counted and ranked as if at once (rows are counted in
    // the order they were added); earlier rows keep their ranks. The words counted are those the item
    // holds now.
    int32_t Add(std::unique_ptr<TConcordItem> Item);
    // Appends the row that Add of a new item of the list's language would make when only its file and
    // aligned passage [AlignedStart, AlignedEnd) are set (Sequence is Count, the length End - Start), and
    // returns it. After ReserveRow it cannot fail.
    int32_t AddPassage(int32_t FileIndex, int32_t AlignedStart, int32_t AlignedEnd);
    // Makes room for one more row, so that the next Add cannot fail for the list's own storage.
    void ReserveRow();
    // Frees the last row (taking back an Add of rows that must be added together). Never raises.
    void DropLastRow() noexcept;
    // Frees every row I for which Drop[I] holds (rows beyond Drop stay); the others keep their order.
    // Needs no more memory than it frees; when most rows went, the list's own storage shrinks to what
    // is left. Returns how many rows went.
    int32_t DeleteRows(const std::vector<bool>& Drop);
    // Lowers every row's Sequence by the number of sequence numbers of Gone below it, so that the
    // sequence numbers stay dense after the rows of those numbers went.
    void CloseSequenceGaps(const TGoneSequences& Gone);

    // The display line of row I (its runs go to the item's Runs): the context of the display record,
    // collocates shaded while highlighting is on, hits and collocates concealed as the record says.
    // Never raises: a line that cannot be built is LineFailedText, or the text of the EFileOpenError
    // when its file could not be opened again.
    std::string GetLineText(int32_t I);

    // Sorts the rows by the three keys of Spec, or by AdvancedKeys when it holds any (kept as a copy),
    // calling OnSwap before every exchange. Key codes are those of ConcSortKeys: 0..8 the word slots (a
    // missing word last; Reverse compares from the last letter), 9 the Sequence, 11 the Letter, 12 the
    // tracked-tag value (a missing value first); keys 9, 11 and 12 ignore Reverse, key 10 is skipped.
    // Words compare by unsigned bytes, through the language's lower-case map when the search options
    // ignore case, without the language's skipping characters when the options use them. Equal rows
    // end in an order that depends only on the input. With key 12 the values of the tracked tag named
    // in Spec are cached first (none when no tracked tag has that name). A list of fewer than two rows
    // is left alone, keys included. Raises what reading tag values raises.
    void SortBy(const TAdvancedSortColOptions& Spec, const TAdvancedSortColItems* AdvancedKeys,
                TSwapEvent OnSwap);
    // Drops every item's SortString; TrackedTagIndex := -1.
    void ClearSortStrings();
    // With TrackedTagIndex >= 0: every item of a file gets the value of that tracked tag at its hit.
    void FillSortStrings();

    // Turns collocate shading on or off. On: over the span of the language's frequency settings
    // (positions 5 - span .. 4 + span), with lists already built for it their top limits are set and
    // every row ranked again, otherwise the lists are built. Off keeps lists and ranks.
    void SetHighlightCollocates(bool On);
    // PosLo := Lo, PosHi := Hi (1..8); the lists of those positions are emptied or made, their top
    // limit the language's CollocHighLightTop while highlighting is on, else 0.
    void InitCollocateLists(uint8_t Lo, uint8_t Hi);
    // Counts and ranks every row into fresh lists Lo..Hi, sorted by frequency. With Progress its gauge
    // moves every 256 rows and its cancel code stops the build. A cancelled or failed build frees all
    // lists (a failure other than the cancel is shown with ShowError); it never raises.
    void BuildCollocateLists(uint8_t Lo, uint8_t Hi, TProgressForm* Progress);
    // Whether lists for exactly Lo..Hi exist.
    bool CollocateListsReady(uint8_t Lo, uint8_t Hi) const;
    // Adds Item's words at positions PosLo..PosHi (not stop words) to their lists.
    void CountItemCollocates(const TConcordItem& Item);
    // Item's CollocRanks at PosLo..PosHi: the word's place among the top frequencies of its list, or
    // Unranked for a word seen once, not counted or not among the top.
    void RankItemCollocates(TConcordItem& Item) const;
    void RankAllCollocates();
    void FreeCollocateLists();
    // The collocate list of Position (1..8), or nullptr.
    TFreqList* CollocList(int Position) const;
    // While on, the collocates of added rows are not counted on the list's own thread but wait for
    // CountDeferredCollocates (or for any member that reads rows or lists): a caller that spends its time
    // waiting for other threads counts them while it waits. At most DeferredRowsMax rows wait: the add
    // that would pass them counts those waiting first. Turning it off counts the rows waiting and gives
    // back the room they took.
    void SetDeferCollocates(bool On);
    void CountDeferredCollocates();
    // A waiting row takes more room than its item: a search's batch of many thousand hits would
    // otherwise hold several megabytes for its rows' words.
    static constexpr size_t DeferredRowsMax = 1024;

    std::array<TAdvancedSortColItem, 3> SortKeys{{{skNone, false}, {skNone, false}, {skNone, false}}};
    TAdvancedSortColItems AdvancedKeys;
    int32_t TrackedTagIndex = -1;  // in WatchedTags; -1 = no values cached
    TSwapEvent OnSwap;
    uint8_t PosLo = NoCollocatePosition;
    uint8_t PosHi = NoCollocatePosition;
    bool HighlightCollocates = false;
    TColor CollocColour = 0x00FFFF;
    TColor HitColour = 0;
    TConcordDisplay Display;
    int32_t Language;
    bool RowsFilled = false;        // set and read by the concordance window
    bool QueryHitsPresent = false;  // set and read by the concordance window

private:
    struct TSorter;
    void QuickSort(TSorter& Sorter, int32_t L, int32_t R);
    void CheckRow(int32_t I) const;
    static uint8_t CollocateRank(const TFreqList& List, const TFreqItem* Found);

    // Everything counting a row's collocates reads, taken when the row is added: the worker touches
    // nothing else but the lists and the row's ranks.
    // Only the positions counted are listed, first to last: a row has a few of the eight.
    struct TQueuedRow {
        TConcordItem* Item = nullptr;
        size_t Count = 0;  // positions counted
        std::array<uint8_t, CollocatePositionCount> Positions{};
        std::array<TFreqList*, CollocatePositionCount> Lists{};
        std::array<bool, CollocatePositionCount> Stop{};
        std::array<std::string, CollocatePositionCount> Keys;  // folded as the lists store words
    };
    // Queued rows, reused in place: a row's words keep their room from one batch to the next.
    struct TQueuedRows {
        std::vector<TQueuedRow> Rows;
        size_t Count = 0;
        // Fills the next row with Fill(Row); a fill that raises queues nothing.
        template <typename TFill>
        void Add(const TFill& Fill) {
            if (Count == Rows.size()) Rows.emplace_back();
            Fill(Rows[Count]);
            ++Count;
        }
    };
    class TCollocWorker;
    void BuildLists(uint8_t Lo, uint8_t Hi, TProgressForm* Progress, bool Sorted);
    void QueueCollocates(TConcordItem& Item);
    void FillQueuedRow(TConcordItem& Item, TQueuedRow& Row) const;
    static void CountAndRankRow(TQueuedRow& Row);
    static void LeaveRowUnranked(TQueuedRow& Row);
    static void CountRows(TQueuedRows& Rows, bool& Failed);
    void SettleCollocates() const;
    TFreqList* ListAt(int Position) const;

    // A row naming only an aligned passage of its file; the rest is as a new item has it.
    struct TPassageRow {
        int32_t Sequence = 0;
        int32_t FileIndex = -1;
        int32_t AlignedStart = -1;
        int32_t AlignedEnd = -1;
        int32_t AlignedLength = 0;
        uint8_t Letter = NoLetter;
    };
    // The passage rows, kept in blocks of the list's own rather than in an allocation each (which
    // would cost a third more). An entry freed is linked into a chain of free entries through its
    // Sequence and taken again first.
    class TPassages {
    public:
        // Stores Row and returns its entry. Raises std::bad_alloc when a new block cannot be had.
        uint32_t Add(const TPassageRow& Row);
        // Makes room for one more entry, so that the next Add cannot fail.
        void Reserve() {
            if (FFree == NoEntry && FMade >= FBlocks.size() * BlockSize) AddBlock();
        }
        void Free(uint32_t Entry);
        TPassageRow& operator[](uint32_t Entry) const {
            return FBlocks[Entry >> BlockShift][Entry & (BlockSize - 1)];
        }
        // Entries in use, and entries freed and not taken again.
        size_t Live() const { return FMade - FFreeCount; }
        size_t Freed() const { return FFreeCount; }

    private:
        static constexpr uint32_t BlockShift = 12;
        static constexpr uint32_t BlockSize = uint32_t(1) << BlockShift;
        static constexpr uint32_t NoEntry = UINT32_MAX;
        std::vector<std::unique_ptr<TPassageRow[]>> FBlocks;
        uint32_t FMade = 0;  // entries ever handed out, in use or freed
        uint32_t FFree = NoEntry;
        uint32_t FFreeCount = 0;
        void AddBlock();
    };
    // One owned row: an item, or a passage row (its entry shifted left, tagged with the low bit).
    class TRow {
    public:
        TRow() = default;
        explicit TRow(std::unique_ptr<TConcordItem> Item)
            : FBits(reinterpret_cast<uintptr_t>(Item.release())) {}
        static TRow OfPassage(uint32_t Entry) {
            TRow Row;
            Row.FBits = static_cast<uintptr_t>(Entry) << 1 | PassageBit;
            return Row;
        }
        TRow(TRow&& Other) noexcept : FBits(std::exchange(Other.FBits, 0)) {}
        TRow& operator=(TRow&& Other) noexcept {
            std::swap(FBits, Other.FBits);
            return *this;
        }
        // Frees an item; a passage row's entry is the list's to free.
        ~TRow() {
            // Rows moved from and passage rows, most of those a list destroys, own no item.
            if (TConcordItem* Owned = Item()) FreeItem(Owned);
        }
        TConcordItem* Item() const {
            return FBits & PassageBit ? nullptr : reinterpret_cast<TConcordItem*>(FBits);
        }
        bool IsPassage() const { return (FBits & PassageBit) != 0; }
        uint32_t PassageEntry() const { return static_cast<uint32_t>(FBits >> 1); }
        // Hands the item over (nullptr for a passage row, which stays).
        std::unique_ptr<TConcordItem> TakeItem();

    private:
        static void FreeItem(TConcordItem* Owned);
        static constexpr uintptr_t PassageBit = 1;
        uintptr_t FBits = 0;
    };
    static bool IsPassageOnly(const TConcordItem& Item, int32_t Language);
    int32_t AddPassageRow(const TPassageRow& Passage);
    // Row I as an item, made from its passage row when it is one.
    TConcordItem& ItemAt(size_t I) const;
    // The passage row of Row, or nullptr when it is an item.
    TPassageRow* PassageOf(const TRow& Row) const {
        return Row.IsPassage() ? &FPassages[Row.PassageEntry()] : nullptr;
    }
    // Frees the passage entry of Row when it has one (before the row itself goes).
    void FreePassage(const TRow& Row) const;
    // After a large delete: the passage rows move into fresh blocks in row order, the old ones go.
    void CompactPassages();

    mutable std::vector<TRow> FRows;
    mutable TPassages FPassages;
    std::array<std::unique_ptr<TFreqList>, CollocatePositionCount> FCollocLists;
    bool FDefer = false;
    mutable TQueuedRows FDeferred;
    mutable bool FDeferredFailed = false;
    // Made with the first row it counts; stopped before the rows and the lists are freed.
    std::unique_ptr<TCollocWorker> FWorker;
};

// ---- The lists as strings ----------------------------------------------------------------------------

// The rows of the primary language's list for a string-list view. The list is borrowed.
class TConcordStrings : public TStrings {
public:
    explicit TConcordStrings(TConcordItems& Items) : FItems(Items) {}

    int GetCount() const override { return FItems.Count(); }
    // GetLineText of row Index.
    std::string Get(int Index) const override { return FItems.GetLineText(Index); }
    // Raises EConcError: the rows come only from searches.
    void Clear() override;
    // Frees row Index.
    void Delete(int Index) override { FItems.Delete(Index); }
    // Raises EConcError.
    void Insert(int Index, const std::string& S) override;

protected:
    TConcordItems& FItems;
};

// The rows of another language's list: a row's own hit line, else its aligned passage, else "N/A".
class TTessivorordStrings : public TConcordStrings {
public:
    TTessivorordStrings(TConcordItems& Items, int32_t Language)
        : TConcordStrings(Items), Language(Language) {}

    std::string Get(int Index) const override { return GetTranslationText(Index); }
    // A filled row: its line (GetLineText). A row with an aligned range: the passage, line breaks as
    // single blanks, more than 1280 bytes clipped to the first 634 and last 636; the item's runs are
    // left as they are; LineFailedText when it cannot be read (the EFileOpenError's text when its file
    // could not be opened again). Otherwise "N/A".
    std::string GetTranslationText(int Index) const;

    int32_t Language;
};
