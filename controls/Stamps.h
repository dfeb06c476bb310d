// TTimeStamp: a label that shows the date and time of the program's own file, as the user's short
// date and time or as the packed DOS number.
#pragma once

#include <QLabel>
#include <string>

enum TTimeStampDisplayType { dtString, dtNumber };

// The label's text for a file: its modification time in the system locale's short date and time
// format (dtString), or that time packed the DOS way as a decimal number (dtNumber); "" when the file
// cannot be examined.
QString TimeStampText(const std::string& FileName, TTimeStampDisplayType Display);

class TTimeStamp : public QLabel {
public:
    explicit TTimeStamp(QWidget* Parent = nullptr);

    TTimeStampDisplayType Display() const { return FDisplay; }
    // Shows the running program file's time in that form.
    void SetDisplay(TTimeStampDisplayType Display);

private:
    TTimeStampDisplayType FDisplay = dtString;
};
