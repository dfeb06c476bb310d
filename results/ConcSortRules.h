// The rules of the advanced sort and collocation order dialog, without widgets: the customised order
// string ("4l-1l, 0, 1r") and the checks of the three keys, so that the dialog only copies between its
// controls and these records. Qt-free.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/ConcSortKeys.h"

// Why an order was refused: the text to show (empty: refused without a message) and, for a customised
// string, the offset of the item at fault (its first byte after leading blanks, counted from 0).
struct TSortOrderError {
    std::string Message;
    int Position = 0;
};

// Parses a customised order typed in the dialog of Table (the sort or the collocation variant) into
// Items, which is emptied first. Items are cut at "," and "-" and trimmed of blanks; upper case reads
// as lower case. In the sort variant a position or search-term token followed by "r" ("1lr", "0r") is
// reversed. "a-b" adds the table's entries after a up to and including b, walking the table in either
// direction; every entry of a range takes a's reverse flag, and a range from an entry to itself adds
// nothing. A key may occur once; in the collocation variant every key must come later in the table
// than the one before it. Returns false with Error filled (and Items holding what was read before the
// fault) on the first item that breaks a rule; an empty text is refused without a message.
bool ParseCustomisedOrder(TSortKeyTable Table, std::string_view Text, TAdvancedSortColItems& Items,
                          TSortOrderError& Error);

// The three key boxes of the dialog: the code each combo shows and whether its "Reverse" box is
// checked (the box only counts where it is enabled, for keys 0..8).
using TSortKeyBoxes = std::array<TAdvancedSortColItem, 3>;

// Whether a key's "Reverse" box applies: the position keys and the search term (codes 0..8).
bool SortKeyReversible(uint8_t Code);

// Checks the three keys when no customised order is used and builds Items from them (the unused key
// skNone left out). In the collocation variant a span must have been chosen when Span is set ("Please
// select the span number."), and the used keys must follow each other in table order. Used keys must
// differ ("Duplicated sort item." / "Duplicated collocation item."), and at least one must be used unless
// a span is counted ("Please select a sort item." / "Please select a collocation item.": otherwise OK
// would close the dialog to do nothing). The sort variant's items carry the
// boxes' reverse flags, so that the boxes take effect; the collocation columns are never reversed.
// Returns false with Error.Message set (Items emptied) when a check fails.
bool CheckSortKeys(TSortKeyTable Table, const TSortKeyBoxes& Keys, bool Span, bool SpanChosen,
                   TAdvancedSortColItems& Items, TSortOrderError& Error);

// Sort variant: the chosen order sorts by the tracked tag (key 12) but no tracked tag is selected.
// Only the order in use counts: Items when the customised order is checked, else the three keys.
bool TrackedTagMissing(const TAdvancedSortColItems& Items, bool HasSelectedTag);

// The span length a stored record shows: 2..5, a length below 2 showing 2.
int ShownSpanLength(int32_t Stored);

inline constexpr const char* SpanNotChosenText = "Please select the span number.";
inline constexpr const char* TrackedTagMissingText = "Please select a tracked tag.";
