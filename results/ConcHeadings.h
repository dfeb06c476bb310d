// The heading definitions of one language. Changes take effect at once; the dialog only closes.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

class THeadingsForm : public QDialog {
    Q_OBJECT
public:
    explicit THeadingsForm(int Language, QWidget* Parent = nullptr);

    QListWidget* HeadingsList;
    QPushButton* AddBtn;
    QPushButton* EditBtn;
    QPushButton* RemoveBtn;
    QPushButton* CloseBtn;

    void AddHeading();
    void EditHeading();
    void RemoveHeading();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Fill();
    void UpdateButtons();
    int FLanguage;
};

// Shows Language's heading definitions modally; nothing for a language that does not exist.
void ShowHeadingsConfig(int Language);
