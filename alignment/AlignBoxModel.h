// The edits of the alignment editor on the corpus's own indexes, without any window: the rows of a
// section, splitting and merging sentences and large units (paragraphs or aligned segments), inserting
// empty ones, splitting and merging sections, aligning a section's paragraphs by length, and the undo
// of each. Every edit is all or nothing: its new entries are worked out before the first index changes,
// and should anything raise on the way the indexes go back to what they were, so the corpus's own
// indexes are never left half-edited. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConcIndex.h"

// The indexes one side of the editor shows and edits (borrowed from the corpus). Large is the file's
// paragraph index in the paragraph mode, that side's half of the file pair's alignment in the
// aligned-sentences mode; Small is the file's sentence index.
struct TAlignBoxSide {
    TAlignIndex* Sections = nullptr;
    TAlignIndex* Large = nullptr;
    TAlignIndex* Small = nullptr;
    bool Complete() const { return Sections && Large && Small; }
};

// One row of one pane: a large unit and the small units shown in it (LastSmall < FirstSmall: none).
struct TAlignBoxRow {
    int32_t Large = 0;
    int32_t FirstSmall = 0;
    int32_t LastSmall = -1;
};

// The rows of Side in section Section: its large units (UnitsOfSection), each with the small units
// from the first one at the section's first large unit on that start before the unit's end. None when
// the side lacks an index or the section.
std::vector<TAlignBoxRow> BuildAlignBoxRows(const TAlignBoxSide& Side, int32_t Section);

enum TAlignEditOp : uint8_t {
    aeSplitSection = 0,
    aeMergeSection = 1,
    aeSplitLarge = 2,
    aeSplitSmall = 3,
    aeMergeLarge = 4,
    aeMergeSmall = 5,
    aeInsertEmpty = 6,
    aeAutoAlign = 7
};

// Where the user stands on one side: the caret's text position (-1 none) and row (-1 none).
struct TAlignCaret {
    int32_t Pos = -1;
    int32_t Row = -1;
};

// What one side did in one bead of an automatic alignment: 0 units (an empty unit was inserted), 1
// (kept), 2 (A and B were merged into one).
struct TBeadHalf {
    int32_t Units = 1;
    TSegment A, B;
};

// One edit as it can be undone, with where the user stood before it.
struct TAlignUndo {
    uint8_t Mode = 0;
    int32_t Side = 0;  // 0 source, 1 target
    int32_t TopPos = 0;
    TAlignCaret Caret;
    TAlignEditOp Op = aeSplitSmall;
    int32_t First = -1;
    int32_t Second = -1;
    TSegment A, B;
    std::vector<std::array<TBeadHalf, 2>> Beads;  // source half, target half
};

// Raised text when a section's paragraphs are too many for the length aligner.
inline constexpr const char* TooManyParagraphsText = "Too many paragraphs. Please split current sections.";

class TAlignEditor {
public:
    // The most undo records kept: a new record beyond it frees the oldest.
    static constexpr size_t UndoLimit = 16385;

    TAlignEditor() = default;
    // Shows Section of the two sides in Mode (0 paragraphs, 1 aligned sentences); the undo list empties.
    void Reset(const TAlignBoxSide& Source, const TAlignBoxSide& Target, int32_t Section, uint8_t Mode);
    // Takes other indexes for the same text (a file renumbered); the undo list stays.
    void SetSides(const TAlignBoxSide& Source, const TAlignBoxSide& Target);

    const TAlignBoxSide& Side(int S) const { return FSides[size_t(S)]; }
    int32_t Section() const { return FSection; }
    uint8_t Mode() const { return FMode; }
    // The current section of side S, when that side has it.
    std::optional<TSegment> SectionOf(int S) const;
    // The large units of the current section on side S (empty run without the section).
    TUnitRun LargeRun(int S) const;
    // The large unit of row Row on side S, or -1 when the side has no such row.
    int32_t LargeOfRow(int S, int32_t Row) const;

    // ---- Queries for the popup menu ----
    // The caret position lies strictly inside an entry of the small (or large) index of side S.
    bool CanSplit(int S, bool Small, const TAlignCaret& Caret) const;
    // Small: the caret's sentence has a neighbour in that direction inside the same large unit. Large:
    // the caret row has a neighbour row in that direction within the section.
    bool CanMerge(int S, bool Small, bool Next, const TAlignCaret& Caret) const;
    // The caret row is a row of side S.
    bool CanInsertEmpty(int S, const TAlignCaret& Caret) const;
    // The caret position is set and its row is 1 or more.
    bool CanSplitSection(int S, const TAlignCaret& Caret) const;
    // The current section is not the last of side S.
    bool CanMergeSection(int S) const;
    bool CanUndo() const { return !FUndo.empty(); }
    size_t UndoCount() const { return FUndo.size(); }

    // ---- Edits: true when the indexes changed and the edit can be undone; false leaves all as it was.
    // TopPos and Caret are where the user stands, kept for Undo. Raise only what an index raises for
    // inconsistent data, after putting every index back.
    bool Split(int S, bool Small, const TAlignCaret& Caret, int32_t TopPos);
    bool Merge(int S, bool Small, bool Next, const TAlignCaret& Caret, int32_t TopPos);
    // Inserts an empty large unit before the caret row's unit.
    bool InsertEmpty(int S, const TAlignCaret& Caret, int32_t TopPos);
    bool SplitSection(int S, const TAlignCaret& Caret, int32_t TopPos);
    bool MergeSectionWithNext(int S, const TAlignCaret& Caret, int32_t TopPos);
    enum TAutoAlign { aaAligned, aaTooMany, aaNothing };
    // Pairs the section's paragraphs of both sides by length: empty paragraphs where a side has none
    // for the other's, two paragraphs merged where one faces two; afterwards both sides count the same
    // paragraphs in the section. aaTooMany (nothing changed) when M * N exceeds kMaxAlignProduct,
    // aaNothing without the section on both sides or in the aligned-sentences mode.
    TAutoAlign AlignParagraphsAutomatically(int32_t TopPos);
    // Reverses the last edit and returns its record (the caller restores the view from it); nothing
    // without a record.
    std::optional<TAlignUndo> Undo();

private:
    bool Push(TAlignUndo&& Record);
    TAlignUndo NewRecord(int S, TAlignEditOp Op, const TAlignCaret& Caret, int32_t TopPos) const;
    int32_t SmallHolding(int S, int32_t Pos) const;

    std::array<TAlignBoxSide, 2> FSides;
    int32_t FSection = 0;
    uint8_t FMode = 0;
    std::deque<TAlignUndo> FUndo;
};

// ---- The corpus side of the Alignment View ------------------------------------------------------------

// The alignment of File between Language1 and Language2, held in the target language's pair list
// (Align12, Align13, Align14) when one of the two is language 0; nullptr otherwise or when that list
// does not exist or lacks it. Owned by the list.
TDoubleAlignIndex* FilePairAlignment(int Language1, int Language2, int File);
// Empties that slot and frees the alignment; nothing when there is none.
void DropFilePairAlignment(int Language1, int Language2, int File);
// The file pair is aligned: its alignment exists with entries on both sides, and both files' sentence
// indexes have entries.
bool FilePairAligned(int Language1, int Language2, int File);
// The indexes the editor shows for Language's side of the pair with Other in Mode: sections, sentences
// and, as large units, paragraphs (mode 0) or this language's half of the pair's alignment (mode 1).
// Missing indexes stay nullptr.
TAlignBoxSide AlignBoxSideOf(int Language, int Other, int File, uint8_t Mode);

// ---- Rules of the Alignment View's menus and caption ---------------------------------------------------

// Which popup commands apply, for the pane of side Side (-1: the popup opened on neither pane).
struct TAlignPopupStates {
    bool SmallSplit = false, SmallMergeNext = false, SmallMergePrev = false;
    bool LargeSplit = false, LargeMergeNext = false, LargeMergePrev = false;
    bool InsertEmpty = false, SplitSection = false, MergeSection = false, AutoAlign = false, Undo = false;
};
TAlignPopupStates ComputeAlignPopupStates(const TAlignEditor& Editor, int Side, const TAlignCaret& Caret);

// "Sentence" for the small units; "Paragraph" (mode 0) or "Segment" (mode 1) for the large ones.
const char* SmallUnitName();
const char* LargeUnitName(uint8_t Mode);
// Format with its one "%s" replaced by Name.
std::string FormatWithName(const char* Format, const std::string& Name);
// "Alignment %s - %s (%s - %s): %ss" with the two language names, the two file names without folders
// and the large unit name.
std::string AlignViewCaption(const std::string& Language1, const std::string& Language2,
                             const std::string& File1, const std::string& File2, uint8_t Mode);
