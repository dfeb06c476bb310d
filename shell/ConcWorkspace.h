// Workspaces: a loaded corpus saved as a settings file (".TWS", the layout of the preferences file)
// and a companion ".BIN" with everything computed from the corpus files, so that reopening needs no
// processing. Qt-free; the main window's commands and dialogs are in ConcWorkOptions and
// ConcRecentWorkspaces.
//
// The .BIN: "CONCORDS", the trailer's offset, the version 0x00010001 (0x00010000 is read too), the
// language count; per language "FILES" (name relative to the workspace's folder when it lies under
// it, word count, DOS file age, converted flag and copy name) and, as the Keep options say, "LINES",
// "PAGES", "TAGS", "FREQUENCY", "HEADINGS", "PARAGRAPHS", "SENTENCES" with their blocks; the trailer
// holds "ALIGN12", "ALIGN13", "ALIGN14" with their pairs.
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

// Saves the loaded corpus as the workspace FileName: moves the converted copies kept in the temporary
// folder beside the workspace (reopening their streams there), then writes the .TWS and the .BIN to
// temporary files beside them and renames both over the old pair only when both are complete, so a
// failed save leaves the previous workspace as it was. Errors are shown; returns whether both files
// were written. An empty name saves nothing and returns false.
bool SaveWorkspace(const std::string& FileName);

// Opens the workspace FileName into the configuration (the caller has closed the windows and freed the
// languages): the .TWS settings, then the corpus files (a missing file is reported and left out, a file
// that cannot be registered counts as missing, a file whose stored copy is gone or is not named as one
// of its copies is converted again, so that no other file is ever read or deleted as a copy)
// and the stored data of each; data of files changed since saving are dropped (DropStaleFileData).
// WorkspaceFileName is FileName on success. On failure (the .BIN missing or unreadable, not a
// workspace, of an unknown version, cut short, or listing more languages than the settings define) the
// reason is shown, no corpus file stays registered, no alignment stays, WorkspaceFileName is empty and
// nothing is written to either file. Returns whether the workspace was opened.
bool LoadWorkspace(const std::string& FileName);

// Set by LoadWorkspace when the opened workspace's data file was damaged (the damage was reported once
// and the damaged data are computed again).
extern bool WorkspaceDamaged;
// Set by LoadWorkspace when the workspace opened with data missing (damage, or a file not found), so
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
// copy made again, the language's frequency list and word counts dropped and the language's alignment
// dropped (CM_ALIGNMENTDROPPED first); then the entries of missing files are removed.
void DropStaleFileData(const std::array<std::vector<int32_t>, 4>& StoredAges);
