// UTF-8 corpus files and the registration of corpus files with a language.
//
// The whole engine reads bytes of a language's 8-bit code page, so a UTF-8 file is converted once
// into an 8-bit copy and the copy is what the language opens. This unit holds the decoder, the file
// conversion, the naming of copies, and the registration that keeps a language's nine per-file lists
// (Files, Streams, Readers and the six index slots) parallel while files are added, switched between
// the file and its copy, exchanged and removed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConcErrors.h"

class TStream;
class TProgressForm;

// A decoding error; the text is one of the decoder's six messages.
class EConvertError : public EConcError {
public:
    using EConcError::EConcError;
};

// Decodes Length bytes at Bytes and appends the UTF-16 units to Text. A sequence that runs past the
// block is completed from Source (up to 10 more bytes; bytes beyond its end read as 0), and Source is
// then moved back so that the bytes not used are read with the next block; decoding of the block
// ends with that sequence. Raises EConvertError for a malformed sequence, an overlong encoding, a
// surrogate or non-character (U+FFFE, U+FFFF) and a value beyond U+10FFFF.
void UTF8Decode(const uint8_t* Bytes, int32_t Length, std::u16string& Text, TStream& Source);

// Reads 3 bytes; when they are not the UTF-8 byte-order mark, Source goes back to its start.
void SkipBOM(TStream& Source);

// "Unable to write file: <FileName>. <the system's reason>." for the error number Error.
std::string WriteFailureText(const std::string& FileName, int Error);

// Said after the reason when a converted copy finds no room on the disk.
inline constexpr const char* NoRoomForCopiesText = "The UTF-8 files not converted yet are not loaded.";

// The conversions of one load of the corpus (every language's files), while one of these lives: when
// one finds no room for its copy (a full disk, a quota, a file size limit), that is said once, with the
// reason and NoRoomForCopiesText, and every later conversion fails without trying and without a word.
// Runs nest; the outermost one ends the state.
class TConversionRun {
public:
    TConversionRun();
    ~TConversionRun();
    TConversionRun(const TConversionRun&) = delete;
    TConversionRun& operator=(const TConversionRun&) = delete;
};

// Converts the UTF-8 file SourceName into DestName in CodePage (a character the code page lacks becomes
// its nearest one there, platform::Utf16ToCodePageNearest, and only without one "?"). With Progress, shows
// the file's progress on it and stops when its Tag is 1. A missing source or an invalid code page is reported
// with ShowError and makes no copy. Returns true when the copy is complete; after a cancel the copy is
// deleted and the result is false. Raises EConvertError for bad UTF-8, EFileError when a file cannot be
// opened or written (a write failure's text is WriteFailureText) and EConcError otherwise; the partial
// copy is deleted first. SourceSum, when given, receives on success the content sum (ContentSum.h) of
// the UTF-8 file's bytes as they were read, none when the file changed size while it was read.
bool ConvertUTF8File(const std::string& SourceName, const std::string& DestName, int CodePage,
                     TProgressForm* Progress, std::optional<uint64_t>* SourceSum = nullptr);

// The name for the 8-bit copy of SourceName: in the folder named after the workspace (beside
// WorkspaceFileName, created when missing) when one is given, else in the temporary folder; the first
// of "<name>_ASCII<ext>", "<name>_ASCII_1<ext>", ... that does not exist, is not the copy of a
// registered file and is not reserved (ReserveCopyNames), so that no two files ever share a copy.
std::string MakeAsciiCopyName(const std::string& SourceName, const std::string& WorkspaceFileName);

// ---- Which copies may be deleted ---------------------------------------------------------------------
// A copy is deleted only when nothing will read it again: this run made it (or it lies in the
// temporary folder itself, where no workspace keeps copies) and no workspace saved or opened in this
// run names it. All of this is main-thread state.

// Whether Copy lies directly in the temporary folder (TempDir), where copies wait for a workspace.
bool IsTemporaryCopy(const std::string& Copy);
// Notes Copies as the copies the workspace Workspace names from now on (on disk: after opening it, what
// its data file names; after saving it, what its files read). With DeleteDropped, the copies it named
// before and names no more are deleted when no registered file reads them and no other workspace names
// them: nothing would ever read them again.
void RecordWorkspaceCopies(const std::string& Workspace, std::vector<std::string> Copies, bool DeleteDropped);
// Whether a workspace saved or opened in this run names Copy.
bool IsRecordedCopy(const std::string& Copy);
// Names MakeAsciiCopyName must not hand out (the copies a workspace being opened names); replaces the
// previous reservation. An empty list ends it.
void ReserveCopyNames(std::vector<std::string> Names);
// Deletes Copy when this run made it or it is a temporary copy, and no workspace names it.
void DiscardCopy(const std::string& Copy);

// Registers FileName with Language: converts it first when IsUTF8 and no CopyName is given (under a
// "Converting..." progress window), opens its shared stream on CopyName (or the file), adds its record,
// an empty reader slot (FileReader makes the reader when the file is first read through it) and six
// empty index slots, and sends CM_FILEADDED. A file already registered is not added:
// CM_OPENCORPUSVIEW (Language, its index) is sent instead. Errors are shown with ShowError; a cancelled
// conversion registers nothing silently, and so does one after a copy found no room in the same
// TConversionRun. Returns whether the file was added.
bool ConvertCorpusFile(const std::string& FileName, const std::string& CopyName, bool IsUTF8,
                       int32_t Language);

// Switches file FileIndex of Language between reading the file itself and reading an 8-bit copy. The
// new copy and stream are made first and swapped in only when both succeeded; then the old reader and
// stream are freed (the reader slot stays empty until the file is read through it), the old copy is deleted
// when going back to the file, and the six index slots are freed. On failure nothing changes and the error is
// shown. Returns whether it switched (true too when Converted already matches and nothing had to be done).
bool SetFileConverted(int32_t Language, int32_t FileIndex, bool Converted);

// The warning for a corpus file whose text changed since it was processed (a search leaves it out).
std::string ChangedFileText(const std::string& FileName);
// The one warning for every corpus file a search left out because its text changed: ChangedFileText
// for one file; for several, how many, the first ChangedFilesNamed of their names and the same advice.
std::string ChangedFilesText(const std::vector<std::string>& FileNames);
inline constexpr size_t ChangedFilesNamed = 5;

// For every registered file whose text changed on disk since its stream was opened: the windows are
// told (CM_FILEREMOVED), a new stream is opened on it and its reader dropped, its six index slots and its
// pairs are freed, and its language's frequency list and word counts are dropped, so that the next corpus
// pass processes it again. A file that cannot be opened again is reported and keeps its old stream.
// Returns how many files were opened again.
int ReopenChangedCorpusFiles();

// Exchanges files I and J in every per-file list of Language and sends CM_FILESEXCHANGED with the pair.
void ExchangeCorpusFiles(int32_t Language, int32_t I, int32_t J);

// One file of the corpus loading dialog's list.
struct TNewCorpusFile {
    std::string Name;
    bool IsUTF8 = false;
};

// Applies the loading dialog's list to Language: a new locale (LCID 0 is US English) drops all its
// computed data and alignments first; files no longer listed are removed (CM_FILEREMOVED first); files
// whose UTF-8 mark changed are switched (CM_FILEREMOVED first); new files are registered; the files
// are put in the list's order (files that failed to register are left out of that order); then the
// segment indexes, frequency lists and alignments that the changes invalidate are dropped. Its
// conversions are one TConversionRun (or part of the caller's). A changed
// text format drops the language's segment indexes and alignment pairs too, so the next pass cuts the
// files with the new format.
void LoadLanguageFiles(int32_t Language, bool RealignRequested, bool FormatChanged,
                       const std::string& LanguageName, uint32_t LCID,
                       const std::vector<TNewCorpusFile>& NewFiles, bool ForceRealign);
