// Saving and printing word lists: one row writer walks the grids of a word-list window and either writes
// tab-separated lines to a file or lays them out on printed pages with a header, page numbers and a
// footer, a column per language. How lines are built, cut into language groups and placed on pages is
// Qt-free and stands first; the file and the printer come after.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "results/ConcFreqOutOptions.h"
#include "results/ConcWordList.h"

// ---- Lines, Qt-free ------------------------------------------------------------------------------------

// One grid to write: its language and its rows (borrowed).
struct TOutGrid {
    int Language = 0;
    const TWordListItems* Items = nullptr;
};

// The grid rows to write, the header row included: the most rows of any grid, cut to MaxLines + 1 when
// MaxLines is above 0.
int32_t OutputRowCount(const std::vector<TOutGrid>& Grids, int32_t MaxLines);
// Row's line: per grid, its cells "Count", "Pct" (IncludeFrequencies only) and "Word" as the grid shows
// them, a tab before every cell but the line's first, then the byte Language + 1 closing the grid's group.
// A grid without that row gives empty cells (so every line has the same columns), or nothing when it is
// the last grid.
std::string BuildOutputLine(const std::vector<TOutGrid>& Grids, int32_t Row, bool IncludeFrequencies);
// Line without the bytes 0 .. LanguageCount (the group markers).
std::string StripMarkers(std::string_view Line, int LanguageCount);

// A language's part of a built line.
struct TMarkedGroup {
    int Language = 0;
    std::string Text;
};
// Line cut at its group markers (bytes 1 .. LanguageCount), each group with the language its marker names;
// text after the last marker is dropped.
std::vector<TMarkedGroup> SplitMarkedLine(std::string_view Line, int LanguageCount);

// The whole file: for a single grid, Title, " (%d words)" with WordCount, and an empty line; then every
// data row as StripMarkers gives it. Lines end in CR LF.
std::string WordListFileText(const std::string& Title, const std::vector<TOutGrid>& Grids,
                             const TFreqOutOptions& Options, int LanguageCount, int64_t WordCount);

// ---- Page layout, Qt-free ----------------------------------------------------------------------------

// Where things go on a page, in device pixels from the printable area's corner.
struct TPrintGeometry {
    int Gap = 0;
    int Top = 0;
    int Left = 0;
    int Right = 0;
    int Width = 0;
    int ColumnWidth = 0;
    int Bottom = 0;  // lines end above it; the footer sits a gap below
};
// The page of a printer whose paper and unprintable margins are Margins (fields as TPrinterMargins), at
// Dpi pixels per inch, for a footer FooterHeight high and Columns language columns: a 2 mm gap, the top
// edge at 5 mm or the top margin, the left edge at 25 mm or the left margin, the right edge 5 mm inside
// the printable width.
TPrintGeometry PrintGeometry(int PageWidth, int PageHeight, int LeftMargin, int TopMargin, int RightMargin,
                             int BottomMargin, int Dpi, int FooterHeight, int Columns);

// The flow of lines down the pages of one print job.
class TPageFlow {
public:
    TPageFlow(const TPrintGeometry& Geometry, int HeaderHeight)
        : FGeometry(Geometry), FHeader(HeaderHeight) {}
    // Begins the next page (the first is 1): Y goes below the header and its rule.
    void NewPage();
    // Whether a line Height high must go to a new page: it would pass the bottom limit, and the page
    // already holds a line (a line taller than a page is printed alone on one, cut by the limit).
    bool NeedsNewPage(int Height) const;
    // The line just placed at Y takes Height.
    void Advance(int Height) {
        FY += Height;
        FLines++;
    }
    int Page() const { return FPage; }
    int Y() const { return FY; }
    // Where the header row's text goes, and the rule under it.
    int HeaderY() const { return FGeometry.Top; }
    int RuleY() const { return FGeometry.Top + FHeader + FGeometry.Gap; }

private:
    TPrintGeometry FGeometry;
    int FHeader;
    int FPage = 0;
    int FY = 0;
    int FLines = 0;
};

// ---- Files and the printer ---------------------------------------------------------------------------

// The list title of a word-list window's mode: "Corpus Frequency List", "Alphabetical Word List" or
// "Advanced Collocation".
std::string WordListTitle(TWordListMode Mode);

// Writes WordListFileText (the word count of the single grid's language) to FileName, replacing it as a
// whole so that a failure keeps the old file; SavingWordList is set meanwhile. A failure shows "Unable to
// create file "%s"." and returns false.
bool SaveWordList(const std::string& FileName, const std::string& Title, const std::vector<TOutGrid>& Grids,
                  const TFreqOutOptions& Options);

// Prints the rows of Grids on the shared printer, as it is set up, under the job title and page header
// "%s: %s" of Title and the language's name (or "All"), with "Printing..." showing the rows done and
// offering Cancel, which ends the document after the current row; PrintingWordList is set meanwhile.
// Pumps events after each row: StillThere must answer false once the grids are gone, which also ends the
// document. False when the printer could not be opened (BeginSharedPrint tells the user what to do, and
// the printer is ready for the next job).
bool PrintWordList(const std::string& Title, const std::vector<TOutGrid>& Grids,
                   const TFreqOutOptions& Options, const std::function<bool()>& StillThere);
