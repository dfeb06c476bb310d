// The file, lines, page, hit text and tracked-tag values of one concordance line.
#pragma once

#include <QDialog>

#include "engine/ConcSearchItems.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class TMatchInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TMatchInfoForm(const TConcordItem& Item, QWidget* Parent = nullptr);

    QLabel* FileValue;
    QLabel* AbsoluteLineValue;
    QLabel* SegmentValue;
    QLabel* PageValue;
    QLabel* LineValue;
    QLabel* MatchLabel;
    QGroupBox* TagsGroup;
    QTreeWidget* TagsList;
    QPushButton* CloseBtn;
};

// Shows the information of Item modally. A line without text to show (its file missing in its language,
// or no hit and no aligned passage) shows nothing: there is no offset to tell about.
void ShowMatchInfo(const TConcordItem& Item);
