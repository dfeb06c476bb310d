// Sort keys of concordance lines and collocation columns: the key codes, the two key tables with their
// display names and customised-order tokens, the options record and the item of a customised order.
//
// The display names are what the preferences file stores; the tokens are what the user types in a
// customised order ("4l-1l, 0, 1r"). Qt-free: the options dialog and the sorting share it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Key codes (one byte).
enum : uint8_t {
    skSearchTerm = 0,  // the hit itself
    sk4L = 1,          // 1..4: the 4th .. 1st word left of the hit
    sk3L = 2,
    sk2L = 3,
    sk1L = 4,
    sk1R = 5,  // 5..8: the 1st .. 4th word right of the hit
    sk2R = 6,
    sk3R = 7,
    sk4R = 8,
    skOriginalOrder = 9,  // the order in which the hits were found
    skNone = 10,          // unsorted / no column; also every unused key of a record
    skDefined = 11,       // the line's assigned letter
    skTrackedTag = 12,    // the value of the record's tracked tag
};

// Which key table: the concordance sort (13 keys) or the collocation columns (10 keys).
enum class TSortKeyTable { Sort, Collocation };

struct TSortKeyEntry {
    uint8_t Code;
    std::string_view DisplayName;
    std::string_view Token;  // empty: the key cannot be named in a customised order
};

// The tables in their display order.
extern const std::array<TSortKeyEntry, 13> SortKeyTable;
extern const std::array<TSortKeyEntry, 10> CollocationKeyTable;

// The entries of a table, in display order.
const TSortKeyEntry* SortKeyEntries(TSortKeyTable Table);
int SortKeyCount(TSortKeyTable Table);

// The index of Code in the table, -1 when the table lacks it.
int SortKeyIndex(TSortKeyTable Table, uint8_t Code);
// The code at Index; raises std::out_of_range when Index is outside the table.
uint8_t SortKeyCode(TSortKeyTable Table, int Index);
// The display name of Code; empty when the table lacks it.
std::string SortKeyDisplayName(TSortKeyTable Table, uint8_t Code);
// The code whose display name equals Name exactly (case-sensitive); skNone when none does.
uint8_t SortKeyFromDisplayName(TSortKeyTable Table, std::string_view Name);

// One key of a sort or one column of an advanced collocation.
struct TAdvancedSortColItem {
    uint8_t Key = skSearchTerm;
    bool Reverse = false;

    bool operator==(const TAdvancedSortColItem&) const = default;
};

// An ordered list of items; it owns them by value.
using TAdvancedSortColItems = std::vector<TAdvancedSortColItem>;

// How the lines of a concordance, or the columns of an advanced collocation, are ordered.
// A value-initialised record is all zero (every key the search term), as a new language holds it until
// the preferences are read; InitSortColOptions gives the "nothing chosen" record.
struct TAdvancedSortColOptions {
    std::array<TAdvancedSortColItem, 3> Keys{};  // first, second, third
    bool Customised = false;                     // the customised order string replaces the three keys
    std::string CustomisedText;                  // the customised order as the user typed it
    std::string TrackedTag;                      // name of the tracked tag that key 12 sorts by
    int32_t ShowFirst = 0;                       // collocation: entries to show, 0..1000, 0 = all
    bool Span = false;                           // collocation: use a span of positions instead of keys
    int32_t SpanLength = 0;                      // collocation: the span, 2..5

    bool operator==(const TAdvancedSortColOptions&) const = default;
};

// Zero-fills the record and sets its three keys to skNone.
void InitSortColOptions(TAdvancedSortColOptions& Options);
