// The length-based aligner: two runs of text units (the sentences of a paragraph pair, the paragraphs
// of a section pair) are grouped into beads of 1-1, 1-0, 0-1, 2-1, 1-2 and 2-2 units by their lengths
// alone, with the Gale-Church dynamic programme. Pure computation, Qt-free, any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

class TAlignIndex;
class TDoubleAlignIndex;

// The largest product of the two unit counts that callers hand to the aligner; above it they refuse
// with their own message, since time and memory grow with the product.
inline constexpr int64_t kMaxAlignProduct = 512000;

// Raised (as EConcError) for a bead of no known shape; the programme never builds one.
inline constexpr const char* InvalidAlignmentText = "Invalid alignment.";

// The cost of matching a source text of Len1 bytes with a target text of Len2 bytes: 0 when both are 0,
// else -100 ln(2 (1 - P(z))) rounded half to even, P the normal distribution by Abramowitz and Stegun
// 26.2.17, and 2500 where that probability comes out as 0. Lengths must not be negative.
int32_t MatchCost(int32_t Len1, int32_t Len2);

// The cost of one bead from the lengths of its units (0 for a unit the bead lacks): X1, X2 source,
// Y1, Y2 target. The kind of bead follows from which lengths are 0: a 1-1 bead with a side of length 0
// costs as a deletion or insertion (+450), one second unit adds 230, two second units 440.
int32_t BeadCost(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// One bead: unit numbers counted from 0 within each run, -1 for a unit the bead lacks.
struct TBead {
    int32_t X1 = -1, Y1 = -1, X2 = -1, Y2 = -1;
    bool operator==(const TBead&) const = default;
};

using TBeadCostFunction = int32_t (*)(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// The dynamic programme over the unit lengths Source and Target with the given bead cost: the beads
// of the cheapest path, from the end of the texts back to their start. Among equal costs the earlier
// move wins in the order 1-1, 1-0, 0-1, 2-1, 1-2, 2-2. Memory grows with (M + 1)(N + 1) bytes.
std::vector<TBead> ComputeBeads(std::span<const int32_t> Source, std::span<const int32_t> Target,
                                TBeadCostFunction Cost);

// Per bead in text order, how many source units (Source[k]) and target units (Target[k]) it takes
// (0, 1 or 2); each array adds up to its side's unit count.
struct TBeadCounts {
    std::vector<int32_t> Source;
    std::vector<int32_t> Target;
    int32_t Count() const { return static_cast<int32_t>(Source.size()); }
};

// Aligns two runs of unit lengths with BeadCost. Callers keep Source.size() * Target.size() within
// kMaxAlignProduct. Raises EConcError InvalidAlignmentText should the back-trace ever leave a cell
// without a move (it cannot).
TBeadCounts AlignLengths(std::span<const int32_t> Source, std::span<const int32_t> Target);

// AlignLengths over the Length components of the M entries of Source from SourceFirst on and the N
// entries of Target from TargetFirst on. Raises EConcError "Index is out of bounds." when a run
// reaches outside its index.
TBeadCounts AlignByLength(const TAlignIndex& Source, int32_t SourceFirst, int32_t M,
                          const TAlignIndex& Target, int32_t TargetFirst, int32_t N);

// ---- Questions to the user ----------------------------------------------------------------------------

// The alignment error dialog (alignment/concAlignErrorDialog registers the real one, tests their own).
using TAlignErrorFunc =
    std::function<int(const std::string& FileName1, const std::string& FileName2, const std::string& Message,
                      const std::string& Caption2, const std::string& Caption1)>;
// Registers the dialog; an empty function restores the headless answer.
void SetAlignErrorDialog(TAlignErrorFunc Dialog);
// Shows FileName1, FileName2 and Message with two buttons, the first captioned Caption1, the second
// Caption2 (note the order). Returns 1 for the first button, 2 for the second, 0 when the dialog was
// closed some other way. Without a registered dialog the question goes to stderr and the answer is 0.
int ShowAlignError(const std::string& FileName1, const std::string& FileName2, const std::string& Message,
                   const std::string& Caption2, const std::string& Caption1);

// ---- The corpus aligner --------------------------------------------------------------------------------
//
// Aligns the sentences of every target language (1 .. LanguagesCount - 1) with language 0 within
// paragraph pairs, after checking that files, sections and paragraphs pair up. Results go into the
// target's pair list (Align12, Align13, Align14), one TDoubleAlignIndex per file; only empty slots are
// filled. Entries of these pairs have exclusive ends; an empty entry is {s, s, 0}. Main thread only.

// The level at which "Fix" opens the alignment view: its paragraph mode.
inline constexpr int AlignViewParagraphLevel = 1;

// The alignment view's entry points, filled by the view when the main window starts (tests fill their
// own): the aligner stays free of widgets, so that it builds and is tested without a display.
struct TAlignViewHooks {
    // Opens the alignment windows of File for the two languages at Section and Paragraph (from 0
    // within the section), in paragraph mode when Level is not 0.
    std::function<void(int Level, int SourceLanguage, int TargetLanguage, int Paragraph, int Section,
                       int File)>
        OpenAlignmentView;
    // File of TargetLanguage has just been aligned: a view showing it switches to aligned sentences.
    std::function<void(int TargetLanguage, int File)> FileAligned;
};
extern TAlignViewHooks AlignViewHooks;

inline constexpr const char* AlignViewMissingText = "The Alignment View is not available.";

// "Fix": OpenAlignmentView through the hook; without one, shows AlignViewMissingText with ShowError.
void OpenAlignmentView(int Level, int SourceLanguage, int TargetLanguage, int Paragraph, int Section,
                       int File);

// Makes sure the pair lists exist with a slot per source file (EnsureAlignIndexLists), then runs four
// passes, each over the target languages in order, and stops at the first that fails: file counts,
// section counts, paragraph counts, sentence alignment. Failures have told the user already. Raises what
// the index accessors raise ("Index is out of bounds.") and InvalidAlignmentText; the file pair being
// built is then not stored.
void AlignCorpus();
// Whether the two languages have the same number of files; otherwise shows "The number of files for %s
// and %s is different.\r\nThe automatic alignment is not possible." and returns false.
bool CheckFileCounts(int Source, int Target);
// For every file (aligned ones included): whether the section counts agree. A difference is put to the
// user with ShowAlignError ("Different number of sections."): "Ignore Sections" merges the sections of
// both files (MergeAllSections) and the check goes on; "Fix" opens the alignment view at the last common
// section and fails; any other answer fails. When one side has no section at all merging cannot help,
// so the buttons are "Cancel" and "Fix". Files whose indexes are missing are passed over.
bool CheckSectionCounts(int Source, int Target);
// For every file not yet aligned with Target, section by section: whether the paragraph counts agree;
// otherwise ShowAlignError ("Different number of paragraphs in section N.", "Cancel", "Fix"), "Fix"
// opening the view there, and false.
bool CheckParagraphCounts(int Target);
// Aligns every file not yet aligned with Target and stores its pair; false at the first file that fails
// (the user was told, or a section's paragraph counts differ), its slot staying empty.
bool AlignLanguageSentences(int Target);
// Replaces all entries of a section index by one {first start, last end, sum of lengths}; an empty index
// stays empty.
void MergeAllSections(TAlignIndex& Index);
// The sentences of source paragraph SourceParagraph and target paragraph TargetParagraph (entries of
// the file's paragraph indexes) appended to Pair, one entry per side per bead. A paragraph without
// sentence, or without text, pairs whole with the other. Above kMaxAlignProduct sentence pairs the user
// is told ("Too many sentences in section S, paragraph P. Please split the paragraphs.", numbers from 1,
// ParagraphInSection from 0) with "Cancel" and "Fix", and the result is false.
bool AlignSentencesInParagraph(int Target, int File, TDoubleAlignIndex& Pair, int ParagraphInSection,
                               int Section, int TargetParagraph, int SourceParagraph);
