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
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "controls/StringsViewModel.h"
#include "engine/BStream.h"
#include "engine/ConcConfig.h"

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
// texts live in one allocation of at most 65535 bytes.
class TItemTexts {
public:
    TItemTexts() = default;
    TItemTexts(const TItemTexts& Source);
    TItemTexts& operator=(const TItemTexts& Source);
    TItemTexts(TItemTexts&&) noexcept = default;
    TItemTexts& operator=(TItemTexts&&) noexcept = default;

    // Whether slot I (0..8) holds a text.
    bool Has(int I) const { return (FPresent >> I) & 1u; }
    // The text of slot I; empty when the slot holds none. The view holds until the texts next change.
    std::string_view operator[](int I) const {
        const uint16_t From = I == 0 ? 0 : FEnds[static_cast<size_t>(I) - 1];
        return {FPool.get() + From, static_cast<size_t>(FEnds[static_cast<size_t>(I)] - From)};
    }
    // Stores Text in slot I. Raises std::length_error when all texts together would pass 65535 bytes.
    void Set(int I, std::string_view Text);
    // Makes slot I missing.
    void Reset(int I);
    // Makes every slot missing and gives the allocation back.
    void Clear();

private:
    void Replace(int I, std::string_view Text, bool Present);

    std::unique_ptr<char[]> FPool;
    std::array<uint16_t, ItemSlotCount> FEnds{};  // end of each slot's text in the pool
    uint16_t FPresent = 0;                        // bit I: slot I holds a text
};

// A further hit of the same language inside an item's aligned passage.
struct TTessivorSubItem {
    int32_t HitStart = 0;
    int32_t HitEnd = 0;  // exclusive
    bool Flag = false;   // the hit came from hot words or translations

    bool operator==(const TTessivorSubItem&) const = default;
};

// One hit of a search in one language. Offsets are byte offsets into the corpus file as it is read.
class TConcordItem {
public:
    // An empty item of Language: no texts, no file (-1), no letter, unknown line, not aligned, no hit.
    explicit TConcordItem(int32_t Language);

    // Fields are grouped by size so that an item takes 208 bytes.
    TItemTexts Texts;
    std::array<int32_t, ItemSlotCount> WordStarts{};  // file offset of each slot's word
    std::array<int32_t, ItemSlotCount> WordEnds{};    // just past each slot's word
    // Rank of each slot's word among the collocates of its position (0 = most frequent).
    std::array<uint8_t, ItemSlotCount> CollocRanks;
    uint8_t Letter = NoLetter;
    // 0 = the row has no hit of its own; 1 = a hit of a query; 2 = a hit of hot words or translations.
    uint8_t HitState = 0;
    int32_t Language;
    int32_t Sequence = 0;  // the index the item had when it was added to its list
    int32_t FileIndex = -1;
    int32_t HitStart = 0;
    int32_t HitEnd = 0;      // exclusive
    int32_t LineIndex = -1;  // 0-based line holding HitStart; -1 = unknown
    int32_t AlignedStart = -1;
    int32_t AlignedEnd = -1;  // -1 / -1 = not aligned
    int32_t AlignedLength = 0;
    // The value of the tracked tag at the hit, cached for sorting; nullptr when none is cached.
    std::unique_ptr<std::string> SortString;
    // The runs of the line last built for the item; empty until a line is built.
    TSVFormatArray Runs;
    std::vector<TTessivorSubItem> SubItems;  // in file order after the hit

    // Makes every text missing, zeroes the word offsets and ranks (0), LineIndex := -1.
    void ClearTexts();
    void ClearSubItems() { SubItems.clear(); }
    // Whether the item holds a hit text (slot 0).
    bool IsFilled() const { return Texts.Has(0); }
    // For a filled item: LineIndex := the index of the last line start at or before HitStart in the line
    // starts of its file (-1 when the file has none). Returns LineIndex.
    int32_t FindLine();
    // Looks the hit [HitStart, HitEnd) up in the aligned units of its file: AlignedStart, AlignedEnd and
    // AlignedLength cover the units from the one holding HitStart to the one holding the hit's last
    // byte. Without an alignment index, or with an empty one: AlignedStart = AlignedEnd = -1. Raises
    // EConcError "Index is out of bounds." when the hit ends before the first unit.
    void FindAlignedRange();
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

// Posts the status text of an item: the language name; with an item of a file, "<language> - <file
// name>"; when the item holds its texts and the file its line starts, "<language> - <file name>, line:
// <n>" (1-based). Nothing is posted for a language that does not exist.
void PostItemStatusText(int32_t Language, const TConcordItem* Item);
