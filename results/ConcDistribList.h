// How the hits of a concordance window spread over the text: buckets over equal parts of the lines of one
// file or of every file of a language, or one bucket per file; the texts the distribution window shows
// for them; and the text reports. Qt-free: the window only reads these results.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

class TConcordItems;

// One bucket of a distribution.
struct TDistribItem {
    int32_t Percent = 0;  // the upper percent of the step; 0 in a file bucket
    int32_t EndLine = 0;  // the last line of the bucket, counted from 1 over the files in scope
    int32_t Hits = 0;
    // Where the bucket ends in the files of the scope taken one after another: the cumulated sizes of the
    // files before plus the offset of the line after the bucket. 64 bits, as a corpus passes 2 GiB.
    int64_t EndPos = 0;
};
// The buckets in order; a list owns its items.
using TDistribList = std::vector<TDistribItem>;

// ---- Steps and scopes ---------------------------------------------------------------------------------

// Step index -> percent; the step combo lists them as "2%" ... "50%".
inline constexpr std::array<int32_t, 7> DistribSteps{2, 5, 10, 20, 25, 33, 50};
inline constexpr int DefaultDistribStep = 1;
inline constexpr int StepCount = int(DistribSteps.size());

// Scope values: a file index (0 and above, the same in every language) or one of these.
inline constexpr int ScopeAll = -2;
inline constexpr int ScopeFiles = -1;

// The step index a text of TotalLines lines is cut with: 2 lines force 50 %, 3 lines 33 %, 4 lines 25 %
// unless 50 % is chosen, 5 lines 20 %; otherwise StepIndex itself.
int EffectiveStepIndex(int64_t TotalLines, int StepIndex);
// The scope a new window starts with: one bucket per file when language 0 has two files or more, else
// all files.
int DefaultDistribScope(int Language0FileCount);
// The scope after the owner's hits changed: a file index no longer below language 0's file count
// becomes "All".
int RefreshedDistribScope(int Scope, int Language0FileCount);
// The scope combo's items: "All", "Files distribution", then each name without its folder. The combo
// index minus 2 is the scope.
std::vector<std::string> DistribScopeItems(const std::vector<std::string>& FileNames);
// The name of a path without its folder.
std::string NameWithoutFolder(const std::string& Path);

// ---- Building --------------------------------------------------------------------------------------

// One file of a language as the position distribution sees it.
struct TDistribFile {
    std::span<const int32_t> LineStarts;  // ascending byte offsets, the first line's first; empty: 0 lines
    int64_t Size = -1;                    // bytes; negative or 2147483647: unknown
};
// One row of a hit list as the distributions see it.
struct TDistribHit {
    int32_t FileIndex = -1;
    int32_t HitStart = 0;
    bool Filled = false;  // the row holds a hit of its own language
};

// The position distribution of Hits over Files: over file Scope alone, or over all files one after
// another when Scope is ScopeAll, cut at StepIndex (see EffectiveStepIndex). No lines: no bucket. One
// line: one bucket of 100 %. Counted are the filled hits of a file of the list (of file Scope when one
// is chosen); each goes to the first bucket that ends after its position. A file of unknown size is
// taken to end right after its last line start; a hit beyond a file's end counts at that end.
TDistribList BuildPositionDistribution(std::span<const TDistribFile> Files, int Scope, int StepIndex,
                                       std::span<const TDistribHit> Hits);
// One bucket per file, in file order, counting the filled hits of each; rows whose file index is not a
// file of the list are ignored.
TDistribList BuildFileDistribution(int FileCount, std::span<const TDistribHit> Hits);

// The rows of a hit list.
std::vector<TDistribHit> DistribHits(const TConcordItems& Hits);
// The files of corpus language Language: its line-start lists (an empty slot, never computed or dropped,
// counts as no lines) and the sizes of its streams. None for a language that does not exist. The spans
// borrow the language's lists: use the result before the corpus changes.
std::vector<TDistribFile> DistribFiles(int Language);
// The distributions of a corpus language's hits (see above); File is a file index or ScopeAll.
TDistribList BuildPositionDistribution(int Language, int File, int StepIndex, const TConcordItems& Hits);
TDistribList BuildFileDistribution(int Language, const TConcordItems& Hits);

// ---- What the chart shows -----------------------------------------------------------------------------

enum class TDistribAxis { Files, Percent, Lines };

// The vertical axis's title: "Files", "Percent" or "Lines".
std::string DistribAxisTitle(TDistribAxis Axis);
// The label of each bucket of List: Files: FileNames[i] without its folder ("" past the names); Percent:
// "previous percent - percent", the first from 0; Lines: "previous end line + 1 - end line", the first
// from 1.
std::vector<std::string> DistribBarLabels(const TDistribList& List, TDistribAxis Axis,
                                          const std::vector<std::string>& FileNames);
// One language's range under a category of the chart: Language -1 when the range is every language's.
struct TDistribRange {
    int Language = -1;
    std::string Text;
    bool operator==(const TDistribRange&) const = default;
};
// The ranges of the chart's categories, one entry per bucket index up to the longest of Lists (one list
// per language, in language order; nullptr reads as empty). Files: the name of the first language that
// has the bucket (FileNames[language]), for every language. Percent and Lines: the label of that bucket
// (DistribBarLabels) once, for every language, when the languages that have it agree; else each of those
// languages with its own label, in language order, so that every language's bar stands under its own
// range.
std::vector<std::vector<TDistribRange>> DistribCategoryRanges(
    const std::vector<const TDistribList*>& Lists, TDistribAxis Axis,
    const std::vector<std::vector<std::string>>& FileNames);
// The mark beside a bar: "%d (%.2f%%)" of Hits and its share of Total; "0 (0%)" when Total is 0.
std::string DistribMarkText(int64_t Hits, int64_t Total);
// The sum of the hits of List.
int64_t DistribTotal(const TDistribList& List);

// ---- Reports ------------------------------------------------------------------------------------------

// One column group of a report: a language's name, its list and (file report) its file paths.
struct TDistribColumn {
    std::string LanguageName;
    const TDistribList* List = nullptr;  // borrowed; nullptr reads as empty
    std::vector<std::string> FileNames;
};

// The position report: "   " and each name cut to 15 and right-aligned in 15; "  %" and "     Line  Hits"
// per language; dashes as long as the first line; then one row per percent that ends a bucket of some
// column, ascending: the percent in 3, then per column its bucket that ends at that percent, end line in
// 9 and hits in 6, or 15 blanks when it has none. So every bucket of every column is written once, also
// where a short text forced a language to a larger step. Lines end in CR LF. A number never loses
// digits: it widens its field.
void WritePositionDistribution(std::ostream& Out, const std::vector<TDistribColumn>& Columns);
// The file report: per language its name cut to 30 and centred in 30 (an odd blank goes right) and
// "   "; "File name                  Hits   " per language; dashes as long as the second line; then one
// row per bucket index of the longest list: per column the name without folder of its file of the same
// index cut or padded to 20, the hits right-aligned in 11 and "   ", or 34 blanks when it has none.
void WriteFileDistribution(std::ostream& Out, const std::vector<TDistribColumn>& Columns);
// Write the report into FileName through a temporary file beside it renamed over it, so a failure
// leaves the old file whole. Raise EIniFileError with the reason when the file cannot be written.
void SavePositionDistribution(const std::string& FileName, const std::vector<TDistribColumn>& Columns);
void SaveFileDistribution(const std::string& FileName, const std::vector<TDistribColumn>& Columns);
