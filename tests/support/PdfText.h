// The texts of a PDF file that this program printed, read back so that a test sees what the pages show:
// each text object (BT ... ET) gives one text, glyph by glyph through its font's ToUnicode map. Enough
// for the PDF files Qt writes (Type0 fonts with Identity-H encoding, one "<glyph> Tj" per glyph), not a
// general reader. Header-only: only the window test programs, which link Qt, include it.
#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtEndian>
#include <map>
#include <string>
#include <vector>

namespace pdftext {

struct TPdfObject {
    QString Dict;
    QByteArray Stream;  // decoded
};

// The glyph-to-text map of a ToUnicode CMap: its bfchar and bfrange entries.
inline std::map<uint32_t, QString> ParseCMap(const QString& CMap) {
    std::map<uint32_t, QString> Map;
    auto Text = [](const QString& Hex) {
        QString T;
        for (qsizetype I = 0; I + 4 <= Hex.size(); I += 4)
            T += QChar(char16_t(Hex.mid(I, 4).toUInt(nullptr, 16)));
        return T;
    };
    static const QRegularExpression Char(R"(<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*$)");
    static const QRegularExpression Range(
        R"(^<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*(\[[^\]]*\]|<[0-9A-Fa-f]+>))");
    static const QRegularExpression Hex(R"(<([0-9A-Fa-f]+)>)");
    bool InRange = false, InChar = false;
    for (const QString& Raw : CMap.split('\n')) {
        const QString Line = Raw.trimmed();
        if (Line.endsWith("beginbfrange")) InRange = true;
        if (Line.endsWith("beginbfchar")) InChar = true;
        if (Line == "endbfrange") InRange = false;
        if (Line == "endbfchar") InChar = false;
        if (InChar) {
            if (const auto M = Char.match(Line); M.hasMatch())
                Map[M.captured(1).toUInt(nullptr, 16)] = Text(M.captured(2));
        } else if (InRange) {
            const auto M = Range.match(Line);
            if (!M.hasMatch()) continue;
            const uint32_t Low = M.captured(1).toUInt(nullptr, 16), High = M.captured(2).toUInt(nullptr, 16);
            const QString Target = M.captured(3);
            if (Target.startsWith('[')) {
                uint32_t Code = Low;
                for (auto It = Hex.globalMatch(Target); It.hasNext() && Code <= High; ++Code)
                    Map[Code] = Text(It.next().captured(1));
            } else {
                const uint32_t First = Target.mid(1, Target.size() - 2).toUInt(nullptr, 16);
                for (uint32_t Code = Low; Code <= High; ++Code)
                    Map[Code] = QString(QChar(char16_t(First + Code - Low)));
            }
        }
    }
    return Map;
}

// The texts drawn, in order; tabs read as blanks.
inline std::vector<std::string> PdfTexts(const std::string& File) {
    const QByteArray Pdf = QByteArray::fromStdString(File);
    std::map<int, TPdfObject> Objects;
    static const QRegularExpression ObjectStart(R"((?:^|\n)(\d+) 0 obj)");
    for (auto It = ObjectStart.globalMatch(QString::fromLatin1(Pdf)); It.hasNext();) {
        const auto M = It.next();
        const qsizetype From = M.capturedEnd(), To = Pdf.indexOf("endobj", From);
        const QByteArray Body = Pdf.mid(From, To - From);
        TPdfObject Object;
        const qsizetype Stream = Body.indexOf("stream");
        Object.Dict = QString::fromLatin1(Stream < 0 ? Body : Body.left(Stream));
        if (Stream >= 0) {
            qsizetype Start = Stream + 6;
            if (Body[Start] == '\r') ++Start;
            if (Body[Start] == '\n') ++Start;
            QByteArray Data = Body.mid(Start, Body.lastIndexOf("endstream") - Start);
            if (Object.Dict.contains("/FlateDecode")) {
                // qUncompress wants the size first; it grows its buffer when the guess is short.
                QByteArray Sized(4, '\0');
                qToBigEndian<quint32>(quint32(Data.size() * 8), Sized.data());
                Data = qUncompress(Sized + Data);
            }
            Object.Stream = Data;
        }
        Objects[M.captured(1).toInt()] = Object;
    }
    std::map<QString, std::map<uint32_t, QString>> Fonts;
    static const QRegularExpression FontRef(R"(/(F\d+) (\d+) 0 R)");
    static const QRegularExpression ToUnicode(R"(/ToUnicode (\d+) 0 R)");
    for (const auto& [Number, Object] : Objects)
        for (auto It = FontRef.globalMatch(Object.Dict); It.hasNext();) {
            const auto M = It.next();
            const auto Font = Objects.find(M.captured(2).toInt());
            if (Font == Objects.end()) continue;
            if (const auto U = ToUnicode.match(Font->second.Dict); U.hasMatch())
                Fonts[M.captured(1)] = ParseCMap(QString::fromLatin1(Objects[U.captured(1).toInt()].Stream));
        }
    std::vector<std::string> Texts;
    static const QRegularExpression Token(R"(/(F\d+) [\d.]+ Tf|<([0-9A-Fa-f]+)> Tj|\bBT\b|\bET\b)");
    for (const auto& [Number, Object] : Objects) {
        if (Object.Dict.contains("/Type /Font") || !Object.Stream.contains("BT")) continue;
        const std::map<uint32_t, QString>* Font = nullptr;
        QString Text;
        for (auto It = Token.globalMatch(QString::fromLatin1(Object.Stream)); It.hasNext();) {
            const auto M = It.next();
            if (M.captured(0) == "BT")
                Text.clear();
            else if (M.captured(0) == "ET")
                Texts.push_back(Text.replace('\t', ' ').toStdString());
            else if (!M.captured(1).isEmpty())
                Font = Fonts.count(M.captured(1)) ? &Fonts[M.captured(1)] : nullptr;
            else if (Font)
                for (qsizetype I = 0; I + 4 <= M.captured(2).size(); I += 4) {
                    const auto Glyph = Font->find(M.captured(2).mid(I, 4).toUInt(nullptr, 16));
                    if (Glyph != Font->end()) Text += Glyph->second;
                }
        }
    }
    return Texts;
}

}  // namespace pdftext
