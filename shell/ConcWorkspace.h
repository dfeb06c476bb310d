// Workspaces: a loaded corpus saved as a settings file (".TWS", the layout of the preferences file)
// and a companion ".BIN" with everything computed from the corpus files, so that reopening needs no
// processing. Qt-free; the main window's commands and dialogs are in ConcWorkOptions and
// ConcRecentWorkspaces.
//
// The .BIN: "CONCORDS", the trailer's offset, the version 0x00010001 (0x00010000 is read too), the
// language count; per language "FILES" (name relative to the workspace's folder when it lies under
// it, word count, DOS file age, converted flag and copy name) and, as the Keep options say, "LINES",
// "PAGES", "TAGS", "FREQUENCY", "HEADINGS", "PARAGRAPHS", "SENTENCES" with their blocks; the trailer
// holds "ALIGN12", "ALIGN13", "ALIGN14" with their pairs, and ends with the seal (WorkspaceSeal.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t WorkspaceVersion = 0x00010001;
constexpr int32_t WorkspaceVersionWithoutCopies = 0x00010000;

// FileName with its extension replaced by ".BIN".
std::string WorkspaceBinName(const std::string& FileName);
// The folder of FileName with a trailing "/".
std::string WorkspaceFolder(const std::string& FileName);

// Saves the loaded corpus as the workspace FileName: puts the converted copies kept in the temporary
// folder beside the workspace (a copy that is gone is converted again from its UTF-8 file), then writes
// the .TWS and the .BIN to hidden files beside them, puts both on the disk and renames them over the old
// pair (through symbolic links: the files they point to are replaced). Whatever fails, the previous
// workspace stays as it was and everything the save wrote goes (its files and the copies it placed; the
// files go on reading their old copies); a process killed at any point leaves the old pair or the new one,
// which the next open or save completes or puts back, and the waiting files that dead processes
// left beside the pair are removed. Errors are shown, naming the file the user knows and what stopped it
// (a disk or a file size limit without room says so); returns whether both files were written. An empty
// name, or one WorkspaceNameProblem refuses, saves nothing and returns false.
// The .BIN ends with a seal (WorkspaceSeal.h): the checksum of every block, the locale of every language
// and the time, size and content sum of every corpus file and copy; the .TWS ends with "WorkspaceEnd",
// which ties it to that seal. A sum is the one a corpus pass or the open took of the bytes the data were
// computed from; a file without one (opened from a workspace that kept none) is read for it, and only
// while it is still the file its stream opened (same time and size), so a file edited meanwhile is never
// sealed with its new text's sum.
bool SaveWorkspace(const std::string& FileName);

// Why the workspace may not be saved as FileName, or "": its data file would be the settings file itself
// ("Bible.BIN"), or the data file of that name ("Bible.BIN" for "Bible.v2") belongs, as its seal says, to
// another settings file beside it ("Bible.TWS"), whose data and corrections the save would destroy.
std::string WorkspaceNameProblem(const std::string& FileName);

// Opens the workspace FileName into the configuration (the caller has closed the windows and freed the
// languages): first a pair that a killed save left half replaced is completed or put back, then the .TWS
// settings, then the corpus files (a missing file is reported and left out, a file
// that cannot be registered counts as missing, a file whose stored copy is gone, is not named as one
// of its copies or is not the copy saved (another time or size) is converted again, so that no other
// file is ever read or deleted as a copy) and the stored data of each; data of files changed since
// saving (another time, an hour either way forgiven, or another size) are dropped, with the alignment
// of the pairs they take part in (every other pair keeps its alignment; the pairs are named in one
// message, ChangedAlignmentText). A file (or copy) whose time alone differs is not changed when the seal
// keeps its content sum and its bytes, read then, have that sum: a project copied without its file
// times opens without a word and computes nothing again (the seal keeps the old times until the next
// save; the workspace does not count as changed for it). A file whose stored place is gone and that is
// found in the workspace's folder by its last name part is taken only when its time, or else its content
// sum, and (where the seal keeps it) its size are the ones saved and no other entry names it; otherwise
// it is reported as not found.
// Damage is never used and always said, in one message naming the workspace and each piece of data
// computed again (DamagedWorkspaceText): a block whose checksum fails, data that cannot belong to their
// file (positions or a word count beyond its size), a seal record of a file holding a time or size no
// save writes, a data file not saved with these settings (ForeignDataText: it keeps nothing); a
// settings file cut short or changed is reported, and the workspace keeps the languages (their number
// and each one's locale, when this system can use it) its data were computed for; when the two files
// list different corpus files, a data file that its seal vouches for is kept whole, otherwise a
// settings list that is whole, otherwise the files both list, and the files concerned are named
// (DisagreeingListsText); an alignment lost for any reason but a changed file names its files
// (LostAlignmentText). A data file of an older program (no seal) is read in order and its reading ends
// at a language section that disagrees with the settings' list.
// WorkspaceFileName is FileName on success. On failure (the .BIN missing or unreadable, not a
// workspace, of an unknown version, cut short, or listing more languages than the settings define) the
// reason is shown, no corpus file stays registered, no alignment stays, WorkspaceFileName is empty and
// nothing is written to either file. Returns whether the workspace was opened.
bool LoadWorkspace(const std::string& FileName);

// The first line of the one message LoadWorkspace shows when the workspace FileName is damaged; each
// line after it names data that will be computed again, such as ForeignDataText or DamagedSealText.
std::string DamagedWorkspaceText(const std::string& FileName);

// What LoadWorkspace says: in the damage message, that the data file is whole but was not saved with
// the settings file beside it, or that its seal is damaged (all its data are computed again); the
// start of the list of corpus files the two files disagree about; the start of the list of pairs of
// files whose stored alignment could not be used (never said for a file changed since saving); the
// start of the list of pairs whose alignment is computed again because a file changed since saving.
inline constexpr const char* ForeignDataText =
    "The data file was not saved with this settings file: everything stored for the corpus.";
inline constexpr const char* DamagedSealText = "The seal of the data file: everything stored for the corpus.";
inline constexpr const char* DisagreeingListsText =
    "The settings file and the data file of the workspace list different corpus files:";
inline constexpr const char* LostAlignmentText =
    "The stored alignment of these files could not be used and will be computed again:";
inline constexpr const char* ChangedAlignmentText =
    "These files changed since the workspace was saved. The alignment of each pair will be computed again:";

// Set by LoadWorkspace when the opened workspace's data or settings file was damaged (the damage was
// reported once and the damaged data are computed again).
extern bool WorkspaceDamaged;
// Set by LoadWorkspace when the workspace opened with data missing (damage, a file not found, files the
// two files disagree about, an alignment lost), so
// that saving it over itself makes a loss permanent; cleared by a successful SaveWorkspace under the
// same name. The main window asks before such a save.
extern bool WorkspaceIncomplete;

// The question asked before a workspace that opened with data missing is saved over itself.
std::string IncompleteWorkspaceQuestion(const std::string& FileName);

// The full name of a stored file name: relative names (not starting with "/" or "\" and without a
// drive colon second) are taken from Folder; when no file of that name exists, Folder and the stored
// name's last component (after the last "/", "\" or ":").
std::string ResolveWorkspacePath(const std::string& Stored, const std::string& Folder);

// Two packed DOS file times match when equal or exactly one hour (0x800) apart; an unknown time (-1)
// matches nothing.
bool FileTimeMatches(int32_t Current, int32_t Stored);

// For each language and each file listed in the .BIN (StoredAges[L][i] is file i's stored age): a file
// that is gone (empty name) or changed since saving has its lines, pages, tags and segments freed, its
// copy made again, the language's frequency list and word counts dropped and the alignment of its pairs
// dropped (CM_ALIGNMENTDROPPED first; a file that is gone drops the pairs from its place on, since the
// files after it move up); then the entries of missing files are removed.
void DropStaleFileData(const std::array<std::vector<int32_t>, 4>& StoredAges);
