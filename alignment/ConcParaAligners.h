// Alignment runs and the markup aligners: the one entry through which alignments are (re)built after a
// corpus pass, and the aligners that cut both files of a pair by line starts, by a delimiter tag or by
// start and stop tags (re-synchronised by an identifier attribute when one is set).
//
// Markup entries carry an inclusive last byte ({start, end, 0}: an empty entry has end = start - 1) and
// a length of 0; the corpus aligner's entries have exclusive ends. Both sides of every pair end with the
// same number of entries. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TDoubleAlignIndex;
class TSynchroStream;
class TTag;

// The alignment formats of the "Format" option, as the load dialog lists them.
enum TAlignFormat : uint8_t { afNotAligned = 0, afNewLine = 1, afDelimiter = 2, afStartStopTags = 3 };
inline constexpr const char* AlignFormatNames[4] = {"Not aligned", "New line delimiter", "Delimiter",
                                                    "Start/stop tags"};

// Under the wait cursor (ended also when an exception passes): ClearAlignments (Language, File) when
// Clear, then EnsureAlignIndexLists, then AlignByMarkup (format, Language, File) when the "Format" option
// is not 0, else AlignCorpus (all languages and files). Language < 1 means every target language, File
// < 0 every file; only empty slots are aligned. Exceptions of the streams and index accessors pass on.
void RunAlignment(bool Clear, int Language, int File);
// Frees alignments after telling the windows (CM_ALIGNMENTDROPPED): Language < 1 every target language,
// File < 0 every file. Every pair list of the languages concerned stays as it is otherwise.
void ClearAlignments(int Language, int File);
// Creates Align12, Align13 and Align14 where missing and gives each at least one slot per file of
// language 0 (none without language 0).
void EnsureAlignIndexLists();
// Mode 1 lines, 2 delimiter tag, 3 start/stop tags. Language < 1: languages 1 .. LanguagesCount - 1,
// otherwise that one; File < 0: every file whose slot is empty, provided both languages have the same
// number of files (otherwise the language is passed over after the file-count message of
// CheckFileCounts) and language 0 has files (otherwise nothing happens); File >= 0:
// that file when its slot is empty and both languages have it. The pair lists must exist.
// After the run, one warning names the files it aligned that hold no marker (modes 2 and 3: such a pair
// is one unit a side) and the pairs whose marker counts differ, with both counts (lines for mode 1, a
// line break ending the file opening none): "Alignment by markup (<format name>): the <markers> of some
// files do not pair up.", then "Files without <markers> (each is aligned whole with its translation):"
// and "File pairs with different numbers of <markers> (the shorter side is filled up with empty units):",
// each followed by at most ten lines ("name (language)", "name count / name count (language /
// language)") and "... and N more"; <markers> is "lines" or the tag's name in quotes and "tags".
void AlignByMarkup(int Mode, int Language, int File);
// A new pair for file File of language 0 and Language, filled by mode 1, 2 or 3 (empty for any other
// mode); owned by the caller. Raises std::out_of_range for a language or file that does not exist,
// std::logic_error when a file's stream is missing; stream errors pass on.
std::unique_ptr<TDoubleAlignIndex> AlignFilePair(int Mode, int Language, int File);

// The position of the end of the tag at Position of Stream: the first TagStop character of the options
// (for "#", the first tab, line feed, carriage return or blank) among the up to 128 bytes there, or
// Position itself when none is among them. With a Parser, the text from Position up to that character
// is parsed into it (all the bytes read when none was found).
int32_t SkipTag(TSynchroStream& Stream, int32_t Position, TTag* Parser);

// The markup aligners on their inputs, for one side each: file sizes, line starts (0 and the position
// after every line break), the positions of the tags. They append to the pair's sides.
struct TMarkupSide {
    TSynchroStream* Stream = nullptr;  // read by SkipTag
    int32_t Size = 0;
    const std::vector<int32_t>* LineStarts = nullptr;  // mode 1; nullptr: the whole file is one line
    const std::vector<int32_t>* Delimiters = nullptr;  // mode 2; nullptr or empty: the tag is missing
    const std::vector<int32_t>* Starts = nullptr;      // mode 3
    const std::vector<int32_t>* Stops = nullptr;       // mode 3; may be missing
};
void AlignByLines(const TMarkupSide& Source, const TMarkupSide& Target, TDoubleAlignIndex& Pair);
void AlignByDelimiterTag(const TMarkupSide& Source, const TMarkupSide& Target, TDoubleAlignIndex& Pair);
// Attribute empty: no re-synchronisation. Identifiers compare exactly.
void AlignByStartStopTags(const TMarkupSide& Source, const TMarkupSide& Target, const std::string& Attribute,
                          TDoubleAlignIndex& Pair);

// Registers RunAlignment (no clearing, every language and file) as the alignment run that follows a
// corpus pass made on demand (GetCorpusFreqList). The program calls it at start-up.
void RegisterAlignmentRun();
