// What the commands of a concordance window do to its lines, without the window: sorting every pane
// in step, the marks of queries and of hot words or translations in a language's rows, the words of
// the rows' passages, and the enabled and checked state of the commands.
//
// Main thread only: rows are read again through readers of the language's files.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConcSearchItems.h"
#include "engine/ConcSortKeys.h"
#include "results/ConcHotWordsRules.h"
#include "results/ConcSearchRows.h"

class TFreqList;
class TProgressForm;

// ---- Sorting ---------------------------------------------------------------------------------------

// The first keys of the sort menu, in menu order, with their captions as a first key and as a second.
struct TSortMenuKey {
    uint8_t Key;
    const char* FirstCaption;
    const char* SecondCaption;
};
inline constexpr std::array<TSortMenuKey, 5> SortMenuKeys{{{sk2L, "&2nd Left", "&2nd Left"},
                                                           {sk1L, "1st &Left", "&1st Left"},
                                                           {skSearchTerm, "&Search Term", "&Search Term"},
                                                           {sk1R, "1st &Right", "1&st Right"},
                                                           {sk2R, "2&nd Right", "2n&d Right"}}};

// A record sorting by First then Second: the third key none, nothing reversed.
TAdvancedSortColOptions TwoKeySort(uint8_t First, uint8_t Second);
// Whether A and B give the same order of the same lines: equal keys and reverse flags, no key sorting
// by letters (they may have changed since), and for a tracked-tag key the same tag name.
bool SameSortOrder(const TAdvancedSortColOptions& A, const TAdvancedSortColOptions& B);
// Whether sorting Language's lines by Record must run: always with an advanced key list, and otherwise
// unless the window's lines are already in that order of that language (SortedLanguage, Current).
bool SortNeeded(int32_t Language, const TAdvancedSortColOptions& Record, bool Advanced,
                int32_t SortedLanguage, const TAdvancedSortColOptions& Current);
// Sorts the list of Language by Record, or by Keys when it holds any, and makes every other list of
// languages 0 .. LanguageCount - 1 the same exchanges, so that row i of every list stays one hit.
// Raises what the sort raises; the lists are still in step then.
void SortInStep(TItemLists& Lists, int32_t LanguageCount, int32_t Language,
                const TAdvancedSortColOptions& Record, const TAdvancedSortColItems* Keys);

// ---- Marks in a language's rows ----------------------------------------------------------------------

// The origins of a row's hits (TConcordItem::HitState).
enum TMarkOrigin : uint8_t { moQuery = 1, moHotWords = 2 };

// Whether some row of List holds a hit of its own.
bool RowsHoldHits(const TConcordItems& List);

// Removes from List's rows the hits of Origin: the sub-items of that origin go, and a row whose own hit
// is of that origin gives it up; its earliest remaining sub-item (all of the other origin) then becomes
// its hit, read again through Readers (one per file of List's language; the configuration's reader
// for a missing one) with the search syntax RemainingSyntax, and the row takes the other origin. A row
// left without hits has no texts, no runs and HitStart = HitEnd = 0. Raises what reading raises.
void ClearMarks(TConcordItems& List, TMarkOrigin Origin, TReaderList& Readers, uint8_t RemainingSyntax);

// The rows of a list by the aligned units their passages cover, so that an occurrence counted in one
// unit finds every row whose passage holds that unit.
class TPassageRows {
public:
    // Over the rows of List (whose language's alignment index names the units) as they are now.
    explicit TPassageRows(const TConcordItems& List);
    // The rows whose passage in file File covers the unit that starts at UnitStart, in list order.
    const std::vector<int32_t>& RowsOf(int32_t File, int32_t UnitStart) const;

private:
    std::map<std::pair<int32_t, int32_t>, std::vector<int32_t>> FRows;  // (file, unit start) -> rows
};

// The number of positions of all words of List.
int32_t PositionCount(const TFreqList& List);

// Called after each position: false stops the work.
using TStepFunc = std::function<bool()>;

// Marks every position of Chosen's words in the rows of List that hold its unit (TPassageRows): a row
// without a hit takes the word as its hit (state moHotWords); a row with one keeps the earlier of the
// two as its hit and the later as a sub-item, flagged when what it holds came from hot words; an
// occurrence a row already holds, as its hit or a sub-item, is left alone. A row that takes the word
// as its hit is read again through Readers (as ClearMarks) and looks its line up. Sets List.RowsFilled
// when a row matched. Step follows every position; returns false when Step stopped the work (what was
// marked stays). Raises what reading raises.
bool ApplyHotWordPositions(TConcordItems& List, const TFreqList& Chosen, TReaderList& Readers,
                           const TStepFunc& Step);

// A file of the corpus was dropped: the positions of Chosen's words in File go, those in later files
// move down one file, and a word left without positions goes. Returns whether a word is left.
bool DropChosenFile(TFreqList& Chosen, int32_t File);

// The words of the passages of List's rows (rows in Exclusions skipped), each aligned unit counted once,
// with their positions, sorted by frequency. Progress: as BuildFreqList's (its gauge counts rows).
// Returns the list (the caller owns it), or nullptr when the user cancelled. Raises as BuildFreqList.
std::unique_ptr<TFreqList> BuildRowWordList(const TConcordItems& List, const TRowExclusions* Exclusions,
                                            TProgressForm* Progress);

// The translations of List's passages, one word a pass for at most Passes passes (a greedy cover): each
// pass counts the words of the passages of the rows no earlier word covers (BuildRowWordList), ranks
// them against Reference with Options (RankKeywordCandidates) and keeps the best, by score, when it
// reaches Options.RankFunctionThreshold; every row holding one of its positions is then covered. The
// passes end early when no word is left, none ranks, or the best falls short. Progress shows
// "Translation %d" and its gauge counts rows. Returns the words kept (with their positions and scores;
// the caller owns the list), or nullptr when the user cancelled. Raises what counting raises.
std::unique_ptr<TFreqList> BuildTranslationList(const TConcordItems& List, const TFreqList& Reference,
                                                const THotWordsOptions& Options, int32_t Passes,
                                                TProgressForm& Progress);

// ---- The commands' states ----------------------------------------------------------------------------

// What the commands of the language they act on depend on.
struct TCommandInputs {
    bool Primary = false;      // the language is the window's primary one
    int32_t PrimaryCount = 0;  // lines of the primary list
    bool RowsFilled = false;   // the language's list
    bool QueryHitsPresent = false;
    bool HotWordsShown = false;
    bool WordWrap = false;
    bool HighlightCollocates = false;  // the window's option for the language
    bool ListHighlighting = false;     // the list shades its collocates now
    TConcordDisplay Display;           // the list's suppress flags
    bool ShowLineNumbers = false;
    bool ItemFilled = false;    // the focused line holds a hit
    uint8_t Letter = NoLetter;  // the focused line's letter
};

struct TCommandStates {
    bool HotWordsFontEnabled = false;
    bool ContextTypeEnabled = false;
    bool KwicEnabled = false;
    bool SortMenuVisible = false;
    std::string KwicCaption;
    bool WordWrapChecked = false;
    bool HighlightChecked = false;
    // By suppress option: 0 normal tags, 1 words, 2 special tags.
    std::array<bool, 3> SuppressChecked{};
    bool LineNumbersChecked = false;
    bool HotWordsChecked = false;
    // The popup: search-within, hot words and translations exist for the other languages only.
    bool SecondaryEntriesVisible = false;
    bool ClearQueryEnabled = false;
    bool ClearHotWordsEnabled = false;
    bool DisplayInfoEnabled = false;
    uint8_t CheckedLetter = NoLetter;
};

TCommandStates ComputeCommandStates(const TCommandInputs& In);
