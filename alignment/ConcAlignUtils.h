// Drawing helpers of the alignment windows (the Sections window and the alignment editor): the
// language's display font, text wrapped to a pixel width, and wrapped text drawn with a caret cell,
// highlighted digits and highlighted alignment markers. The rules themselves (wrapping with a given
// measure, where markers and digits stand) need no display.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ConcConfig.h"

class QFontMetrics;
class QPainter;

// ---- Rules -------------------------------------------------------------------------------------------

// How many leading bytes of Text fit a width (the caller's measure).
using TFitCount = std::function<int(std::string_view Text)>;

// Text cut into lines: control bytes become blanks; while text is left, n = FitCount (rest) + 1; a rest
// of at most n bytes is the last line; otherwise the line ends going back from the n-th byte (counted
// from 1) first over bytes of NonWord, then over bytes outside it, at the byte reached, or at the n-th
// when that leaves nothing. A line may thus be one byte wider than the width.
std::vector<std::string> WrapLines(std::string Text, const TFitCount& FitCount, const TCharSet& NonWord);

// A run of bytes of a line: first byte, byte count.
using TByteSpan = std::pair<int, int>;

// The occurrences of the markers in Line worth highlighting: compared through LowerMap (applied to
// both), each preceded and followed by a byte of NonWord or by the line's edge in the original line.
// Every occurrence found is blanked in the search copy before searching on, so that none is found twice.
std::vector<TByteSpan> FindMarkerSpans(std::string_view Line, const std::vector<std::string>& Markers,
                                       const std::array<uint8_t, 256>& LowerMap, const TCharSet& NonWord);

// ---- Fonts and drawing -------------------------------------------------------------------------------

// The font the alignment windows show a language in: its display font number 1 (the corpus font).
QFont AlignLanguageFont(int Language);
// The language's text colour in that font.
TColor AlignLanguageColor(int Language);
// Height of one line of text: the font's height plus its external leading.
int LanguageLineHeight(const QFontMetrics& Metrics);
int LanguageLineHeight(int Language);
void FillRectColor(QPainter& Painter, const QRect& Rect, TColor Color);
// Text of Language wrapped to Width pixels in its font (WrapLines with the font's measure; a double-byte
// character is never cut in two by the measure).
std::vector<std::string> WrapTextToWidth(const std::string& Text, int Width, int Language);

// One wrapped line with the rectangle in which it was last drawn (or laid out).
struct TSegLine {
    std::string Text;
    QRect Rect;
};

// Draws Lines of Language from line FirstLine on, one per line height, into Rect filled with
// Background, until Rect's bottom. CaretOffset counts bytes from the start of Lines[0] (-1: no caret);
// the caret's byte (two for a lead byte) is drawn white on red and its rectangle goes to CaretRect. An
// empty line is drawn as one blank. With the language's HiliteNumbers on, digits other than the caret
// are drawn with the colours swapped, as are the language's markers (FindMarkerSpans). Each line drawn
// gets its rectangle; LastLine receives the index of the last line drawn (FirstLine - 1 when none).
// Painter nullptr lays out only. Returns the height used.
int DrawSegmentText(QPainter* Painter, const QRect& Rect, TColor TextColor, int Language, int& LastLine,
                    QRect& CaretRect, std::vector<TSegLine>& Lines, int CaretOffset, int FirstLine,
                    TColor Background);
