// The "Alignment Markers Settings" dialog: per corpus language, whether numbers are highlighted in the
// alignment view and the list of alignment markers, one group box per language side by side.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;

class TConcordConfig;

// What OK stores into a language: HiliteNumbers, and the rows as its marker list in order, each
// trimmed of blanks and control characters and left out when nothing remains.
void StoreAlignMarkers(TConcordConfig& Config, bool HiliteNumbers, const std::vector<std::string>& Rows);

class TAlignMarkersConfigForm : public QDialog {
    Q_OBJECT
public:
    // One group per language 0 .. LanguagesCount - 1, filled from the languages' settings.
    explicit TAlignMarkersConfigForm(QWidget* Parent = nullptr);

    // The controls of language k (k from 0), named as their group with the number k + 1.
    struct TLanguageGroup {
        int Language;
        QGroupBox* LangGroupBox;
        QCheckBox* HiliteCB;
        QListWidget* MarkersList;
        QPushButton* AddButton;
        QPushButton* RemoveButton;
    };
    std::vector<TLanguageGroup> Groups;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // Stores every group's settings into its language (StoreAlignMarkers).
    void StoreSettings() const;

private:
    TLanguageGroup CreateGroup(int Language, int Left);
    void AddRow(const TLanguageGroup& Group);
    void RemoveRow(const TLanguageGroup& Group);
    void UpdateRemove(const TLanguageGroup& Group);
};

// Runs the dialog; on "&OK" stores the settings into the languages and returns true. The caller tells
// the windows (CM_MARKERSCHANGED).
bool ShowAlignMarkersConfig();
