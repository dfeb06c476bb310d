// How the searches of a concordance window fill its lists, without the window: the primary hit's row,
// the aligned row of each other language, the hits found inside an aligned passage (the earliest shown,
// the others kept as sub-items), and the ranges a search within the current lines visits.
//
// Main thread only: lines are rebuilt through the language configuration's readers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"

class TAlignIndex;

class TBufStream;
class TSearch;

// One item list per language of a window; nullptr where a language has none.
using TItemLists = std::array<std::unique_ptr<TConcordItems>, MaxLanguages>;
// Rows a search within the current lines skips (borrowed items of the searched list).
using TRowExclusions = std::unordered_set<const TConcordItem*>;

// Appends the primary Hit to Primary with its Sequence := the list's count; returns its row.
int32_t AddHitRow(TConcordItems& Primary, std::unique_ptr<TConcordItem> Hit);

// Appends to List the row of List's language for the primary Hit of PrimaryLanguage and returns it
// (owned by the list): the hit's file when the language has that file, else -1; the hit's aligned
// passage mapped to the language, or (-1, -1, 0) when the file is -1, the hit is not aligned, the
// mapping gives nothing or an empty stretch, or the alignment cannot map it. Never raises for a
// missing or empty alignment.
TConcordItem& AddAlignedRow(TConcordItems& List, int32_t PrimaryLanguage, const TConcordItem& Hit);

// One hit, added to every list in step: the primary list takes Hit (AddHitRow), every other language of
// the window, 0 .. LanguageCount - 1, its aligned row (as AddAlignedRow makes it), and then FillRow (when
// given) completes each of those rows. The rows are made before any list takes one, and when anything
// raises (memory running out) every row added is taken back before the exception goes on: the lists never
// fall out of step.
void AddRowsInStep(TItemLists& Lists, int32_t LanguageCount, int32_t Primary,
                   std::unique_ptr<TConcordItem> Hit,
                   const std::function<void(int32_t Language, TConcordItem& Row)>& FillRow);

// One hit of a single search: AddRowsInStep without rows to complete.
void AddSearchHit(TItemLists& Lists, int32_t LanguageCount, int32_t Primary,
                  std::unique_ptr<TConcordItem> Hit);

// Puts Hit, found inside Row's passage, into Row of List and frees it. An empty row takes the hit's
// words and offsets, state 1, and sets both flags of List. A filled row keeps its earliest hit in
// view: a later hit becomes a sub-item (Flag clear); an earlier one takes the row's place (SwapHit, the
// old hit a sub-item flagged when the row's state was 2, the row's state 1). Sub-items stay in file
// order; List's query-hits flag is set. Syntax is the syntax of the search that found the hit. Reader,
// when given, reads Row's file for a swap (it is moved and classified); otherwise the language
// configuration's reader of the file is used. Raises what reading raises.
void AddSecondaryHit(TConcordItems& List, std::unique_ptr<TConcordItem> Hit, TConcordItem& Row,
                     TBufStream* Reader, uint8_t Syntax);

// Inserts Sub into SubItems after every sub-item that does not start after it.
void InsertInFileOrder(TSubItems& SubItems, const TTessivorSubItem& Sub);

// Exchanges Row's hit offsets with Sub's, then reads the nine words around the row's new hit again
// through Reader, limited to the row's aligned passage when it has one.
// Reader's range is the whole file afterwards. Raises what reading raises.
void SwapHit(TConcordItem& Row, TTessivorSubItem& Sub, TBufStream& Reader, uint8_t Syntax);

// The range callback of a search within the current lines of one list: it names, file by file, the
// aligned unit of each row of that file in the list's (possibly sorted) order, and remembers the row.
class TRowRangeCursor {
public:
    // Over List (borrowed), whose rows belong to Language. Exclusions (borrowed, may be nullptr) are
    // rows to skip.
    TRowRangeCursor(const TConcordItems& List, int32_t Language, const TRowExclusions* Exclusions)
        : FList(List), FLanguage(Language), FExclusions(Exclusions) {}

    // The next alignment-index entry of file File to search, Row := the row it belongs to; -1 when the
    // file has no further one. A row's entries are those of its whole aligned passage, in file order:
    // from the entry that holds its aligned start to the last that starts before its aligned end. With
    // Distinct an entry is named once per file: its flag in the file's alignment index is set when it is
    // named (the search clears the flags before it asks for a file). Rows of excluded items, without an
    // aligned passage, or whose start no entry holds are passed over.
    int32_t NextRowRange(int32_t File, int32_t& Row, bool Distinct);

    // The passage of the row being searched (an entry may reach beyond it).
    int32_t PassageStart = 0, PassageEnd = 0;
    // The row whose passage is being searched; -1 before the first.
    int32_t CurrentRow = -1;
    int32_t CurrentFile = -1;

private:
    int32_t NextRowOfFile(int32_t From) const;
    int32_t NextEntryOfRow(TAlignIndex& Units, bool Distinct);

    // The entries of the current row's passage still to name.
    int32_t FNextEntry = 0, FLastEntry = -1;

    const TConcordItems& FList;
    int32_t FLanguage;
    const TRowExclusions* FExclusions;
};

// One reader per file of a language (nullptr for a file without an open stream), owned.
using TReaderList = std::vector<std::unique_ptr<TBufStream>>;
// A reader over each file's shared stream, configured for Language. Raises std::out_of_range for a
// language that does not exist.
TReaderList OpenReaders(int32_t Language);

// A search within the current lines of List: runs the prepared Search over the aligned unit of each row
// of List (rows in Exclusions skipped) and puts every hit into the row whose unit it was found in
// (AddSecondaryHit, swaps read through Readers). The other arguments go to TSearch::Execute, the number
// of ranges being the list's count. Returns the number of rows that took a hit. Raises what the search
// raises; the hits put so far stay.
int32_t SearchWithinRows(TSearch& Search, TConcordItems& List, const TRowExclusions* Exclusions,
                         TReaderList& Readers, bool IsThread, int32_t MaxHits);

// The name an appended query shows: the old query's first name, " / ", the new one.
std::string AppendedQueryName(const std::string& OldName, const std::string& NewName);
// Gives New's first pattern name the appended form with Old's first name (a missing name counts as "").
void JoinAppendedQuery(TConcSearchRec& New, const TConcSearchRec& Old);
