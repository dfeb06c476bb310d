// Whether the open workspace still holds what the user works on: the corpus and its settings as they
// stood when the workspace was opened or last saved, against how they stand now. The commands that end
// a workspace (exit, unload, loading corpus files, opening another workspace) ask before its changes are
// lost. Qt-free; main thread only.
#pragma once

#include <string>

// Takes the corpus and its settings as they stand now as what the workspace FileName holds: run when
// it was opened or saved.
void NoteWorkspaceSaved(const std::string& FileName);
// No workspace is open any more (its corpus was unloaded, or an open failed): nothing counts as changed.
void ForgetWorkspaceState();
// Whether the corpus (its files, everything computed for them, the alignments) or a setting the
// workspace keeps differs from what the open workspace (WorkspaceFileName) held when it was opened or
// last saved. False while no workspace is open or nothing was noted for it. The query histories do not count:
// every search adds to them.
bool WorkspaceChanged();

// Asked before hand corrections of the alignment that no workspace holds are given up.
inline constexpr const char* UnsavedCorrectionsQuestion =
    "The alignment corrections you made are not saved in any workspace and will be lost. Save the corpus "
    "as a workspace first?";

// "Save changes to the workspace <name>?", the name being FileName without its folder.
std::string SaveChangesQuestion(const std::string& FileName);
