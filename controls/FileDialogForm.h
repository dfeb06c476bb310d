// The real file dialogs behind ExecuteFileDialog.
#pragma once

#include <QStringList>

#include "controls/FileDialogs.h"

class QWidget;

// Runs Request as a modal QFileDialog over Parent and returns the chosen paths.
QStringList RunFileDialog(const TFileDialogRequest& Request, QWidget* Parent);
// Registers RunFileDialog, over the application's active window, as the program's file dialog.
void RegisterFileDialog();
