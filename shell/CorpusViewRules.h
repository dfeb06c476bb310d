// The corpus viewers' rules, apart from their windows: what the file chooser lists and enables, how a
// view follows files removed or exchanged under it, and how the parallel view shares its width.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The text of a row for a language without that file.
inline constexpr const char* NotAvailableText = "N/A";

// The chooser's lists: one column per language of Files (each language's file names in load order),
// each as long as the longest; a name loses its folder unless FullPath, a missing file reads "N/A".
std::vector<std::vector<std::string>> ParaFilesColumns(const std::vector<std::vector<std::string>>& Files,
                                                       bool FullPath);
// "&Show": Row (-1: none selected) exists in every language.
bool ParaFilesShowEnabled(const std::vector<int>& FileCounts, int Row);
// "&Alignment": Show is enabled and the first language has segment indexes with some other language for
// Row, as HasIndexes (Language1, Language2, File) tells: only those pairs can be chosen.
bool ParaFilesAlignmentEnabled(const std::vector<int>& FileCounts, int Row,
                               const std::function<bool(int, int, int)>& HasIndexes);

// What a view showing file Shown does when file Removed of its language goes.
enum class TDropAction { None, Close, Lower };
TDropAction DropFileAction(int Shown, int Removed);
// The index of the file shown at Shown after files I and J were exchanged.
int ExchangedFileIndex(int Shown, int I, int J);

// Equal column widths: (ClientWidth - Handle x (Columns - 1)) div Columns each, never below 0.
std::vector<int> EqualColumnWidths(int ClientWidth, int Columns, int Handle);
// Where synchronised scrolling puts a column of Count lines when another's top line is Top: the same
// line, or the column's last when it has fewer; -1 when it has none.
int SyncedTopIndex(int Top, int Count);
