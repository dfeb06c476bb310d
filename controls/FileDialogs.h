// The open and save file dialogs, Qt-free: every window asks for file names through
// ExecuteFileDialog, which forwards to the registered dialog (the program registers the real one,
// tests answer with their own), so no test ever blocks on a real dialog.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct TFileDialogRequest {
    bool Save = false;             // a save dialog, else an open dialog
    bool MultiSelect = false;      // open dialogs: several files may be chosen
    bool ConfirmOverwrite = true;  // save dialogs: ask before replacing an existing file
    std::string Title;
    std::string Folder;    // the folder it starts in ("" = the current one)
    std::string FileName;  // the name it proposes
    // Filters in Qt's form, ";;"-separated: "Text Files (*.txt);;All Files (*)".
    std::string Filter;
    int FilterIndex = 0;        // the filter selected at first
    std::string DefaultSuffix;  // added to a name typed without one ("" = none)
};

// Answers a request with the chosen paths (UTF-8), or none when the user cancelled.
using TFileDialogFunc = std::function<std::vector<std::string>(const TFileDialogRequest&)>;

// Registers the dialog; an empty function restores the default, which answers every request with none.
void SetFileDialog(TFileDialogFunc Dialog);
// The chosen paths; none when cancelled or when no dialog is registered.
std::vector<std::string> ExecuteFileDialog(const TFileDialogRequest& Request);
