// The "Settings" dialog of the start/stop-tag alignment format: the start tag, the stop tag and the
// attribute whose value identifies a segment.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

// Stores the three texts, trimmed, into the "Start", "Stop" and "Attrib" options of CommonConfig.
void StoreStartStopSettings(const std::string& Start, const std::string& Stop, const std::string& Attribute);

class TStartStopSegSettingsForm : public QDialog {
    Q_OBJECT
public:
    // "Settings", the edits filled from the options; "&Ok" only while the start tag is not blank.
    explicit TStartStopSegSettingsForm(QWidget* Parent = nullptr);

    QLineEdit* TagStartEdit;
    QLineEdit* TagStopEdit;
    QLineEdit* AttributeEdit;
    QPushButton* OkButton;
    QPushButton* CancelButton;
};

// Runs the dialog; on "&Ok" stores the trimmed texts and returns true, else false with nothing stored.
bool EditStartStopSegSettings();

// The load dialog's settings button of the alignment format: mode 2 runs the delimiter-tag dialog, mode 3
// this one; the result is theirs. Any other mode has no settings: false.
bool ShowSegmentAlignSettings(int Mode);
