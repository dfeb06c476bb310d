// "Special Tags Settings": how word tags are written in the corpus (embedded in the word after a
// delimiter character, or outside it between a start and a stop) and the meta-tags searches may use.
#pragma once

#include <QDialog>

#include "shell/TagSettingsRules.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;

class TPOSTagsConfigForm : public QDialog {
    Q_OBJECT
public:
    explicit TPOSTagsConfigForm(QWidget* Parent = nullptr);

    QCheckBox* EmbeddedCheck;
    QCheckBox* OutsideCheck;
    QGroupBox* DelimiterGroup;
    QLineEdit* DelimiterEdit;
    QGroupBox* OutsideGroup;
    QCheckBox* BeforeCheck;
    QListWidget* StartList;
    QPushButton* AddStartBtn;
    QPushButton* RemoveStartBtn;
    QLineEdit* StopEdit;
    QTreeWidget* MetaList;
    QPushButton* AddMetaBtn;
    QPushButton* EditMetaBtn;
    QPushButton* RemoveMetaBtn;
    QPushButton* OkBtn;
    QPushButton* CancelBtn;

    uint8_t Mode() const { return FMode; }
    // What the controls hold now (texts untrimmed).
    TSpecialTagsEdits Edits() const;
    // Set when the dialog closed with OK after a change of a word-tag setting.
    bool WordTagsWereChanged = false;

    void accept() override;
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void SetMode(uint8_t Mode);
    void AddStart();
    void EditStartRow(int Row);
    void AddMetaTag();
    void EditMetaTagRow();
    void UpdateButtons();
    void FitColumns();
    std::vector<std::string> MetaNames() const;

    uint8_t FMode = 0;
};

// Shows "Special Tags Settings" modally. True when it closed with OK and a word-tag setting changed (a
// change of the meta-tags alone is stored but answers false: it invalidates nothing).
bool ConfigureSpecialTags();
