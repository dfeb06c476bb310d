// Advanced collocation: counts, over every hit of a concordance window, the word sequences at chosen
// context positions, or every run of N consecutive positions through the hit, and lists them most
// frequent first in a word-list window. The counting is Qt-free and stands below the command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConcSortKeys.h"

class QMdiArea;
class TConcordItems;
class TFreqList;
class TItemTexts;
class TTessivorForm;
class TWordListForm;

// What is counted: with Span, the SpanLength (2..5) positions of every run that holds the hit; else the
// positions of TableIndexes (indexes of the collocation key table, 0 = "4L" .. 4 = "Search term" .. 8 =
// "4R"), ascending.
struct TAdvCollocChoice {
    bool Span = false;
    int SpanLength = 2;
    std::vector<int> TableIndexes;
};

// The choice of Record (span flag and length, the length cut to 2..5) and of Columns (their keys as table
// indexes, ascending, without the "None" key and repeats).
TAdvCollocChoice AdvCollocChoice(const TAdvancedSortColOptions& Record, const TAdvancedSortColItems& Columns);
// "Span N", or the display names of the chosen positions joined by ", ".
std::string AdvCollocChoiceText(const TAdvCollocChoice& Choice);

// The sequences one hit adds, in this order, each of words joined by single blanks:
// - span: for each run of SpanLength consecutive table indexes that holds the hit (index 4), from the run
//   that starts at the hit down to the one that ends at it, its words; a run with a missing word adds
//   nothing;
// - columns: the words of the chosen positions that have one, " ..." going before a word (and its blank)
//   whose position does not directly follow the previous chosen position in the table (whether or not
//   that one had a word); nothing when no chosen position has a word.
std::vector<std::string> ItemSequences(const TItemTexts& Texts, const TAdvCollocChoice& Choice);

// Counts the sequences of every hit of Lists into one new list per entry of Lists (of that list's
// language, so words fold case as its frequency settings say), each sorted by frequency. Tick is asked,
// with the number of hits counted so far over all lists, after every 512th hit; when it answers false the
// counting stops, Counted is left empty and the result is false. Tick may pump events but must answer
// false if that freed any of Lists.
bool CountSequences(const std::vector<const TConcordItems*>& Lists, const TAdvCollocChoice& Choice,
                    std::vector<std::unique_ptr<TFreqList>>& Counted,
                    const std::function<bool(int32_t)>& Tick);

// "Advanced &Collocation" after its order dialog: for Window's hits of Language (-1: every language of
// the window), brings the window's open advanced collocation of that language to the front (restored to
// its normal size, whatever positions it counted), or counts what the language's collocation record
// (CommonConfig's for -1) and Columns choose and opens a word list of the sequences in Area. Returns that
// window; nullptr when nothing is chosen, Window is busy, the user cancelled the counting, or Window went
// meanwhile. Window is busy while its hits are counted.
TWordListForm* ShowAdvancedCollocation(QMdiArea* Area, TTessivorForm* Window, int Language,
                                       TAdvancedSortColItems Columns);
