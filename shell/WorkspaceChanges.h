// Whether the open workspace still holds what the user works on: the corpus and its settings as they
// stood when the workspace was opened or last saved, against how they stand now. The commands that end
// a workspace (exit, unload, loading corpus files, opening another workspace) ask before its changes are
// lost. Qt-free; main thread only.
#pragma once

#include <string>

// Takes the corpus and its settings as they stand now as what the workspace FileName holds: run when
// it was opened or saved. The alignment corrections made by hand so far are held by it from now on.
void NoteWorkspaceSaved(const std::string& FileName);
// No workspace is open any more (its corpus was unloaded, or an open failed): nothing counts as changed,
// and the corrections made on the corpus that went are gone with it.
void ForgetWorkspaceState();
// Whether the corpus (its files, everything computed for them, the alignments) or a setting the
// workspace keeps differs from what the open workspace (WorkspaceFileName) held when it was opened or
// last saved. False while no workspace is open or nothing was noted for it. The query histories do not count:
// every search adds to them.
bool WorkspaceChanged();

// Whether the corpus, which still has files, holds edits of the alignment editor that were not taken
// back, made since a workspace last took it in (opened or saved) or since the last corpus went. While no
// workspace holds the corpus nothing else keeps them: the corpus named in the preferences is computed
// afresh at every start.
bool UnsavedHandCorrections();

// "Save changes to the workspace <name>?", the name being FileName without its folder.
std::string SaveChangesQuestion(const std::string& FileName);
// The question before corrections that no workspace holds are lost.
extern const char* const SaveCorrectionsQuestion;
