#include "controls/Stamps.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include "platform/Paths.h"

QString TimeStampText(const std::string& FileName, TTimeStampDisplayType Display) {
    if (Display == dtNumber) {
        const int32_t Packed = platform::FileAge(FileName);
        return Packed == -1 ? QString() : QString::number(Packed);
    }
    const QFileInfo Info(QString::fromStdString(FileName));
    if (!Info.exists()) return {};
    return QLocale::system().toString(Info.lastModified(), QLocale::ShortFormat);
}

TTimeStamp::TTimeStamp(QWidget* Parent) : QLabel(Parent) {
    SetDisplay(dtString);
}

void TTimeStamp::SetDisplay(TTimeStampDisplayType Display) {
    FDisplay = Display;
    setText(TimeStampText(QCoreApplication::applicationFilePath().toStdString(), Display));
}
