// Drawing helpers of the alignment windows (the Sections window and the alignment editor): the
// language's display font, text wrapped to a pixel width, and wrapped text drawn with a caret cell,
// highlighted digits and highlighted alignment markers. The rules themselves (wrapping with a given
// measure, where markers and digits stand) need no display.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"

class QPainter;
class TBufStream;

// ---- Rules -------------------------------------------------------------------------------------------

// How many leading bytes of Text fit a width (the caller's measure).
using TFitCount = std::function<int(std::string_view Text)>;

// Text cut into lines: control bytes become blanks; while text is left, n = FitCount (rest) + 1; a rest
// of at most n bytes is the last line; otherwise the line ends going back from the n-th byte (counted
// from 1) first over bytes of NonWord, then over bytes outside it, at the byte reached, or at the n-th
// when that leaves nothing. A line may thus be one byte wider than the width. MaxLines stops after that
// many lines (the first lines of a longer text).
std::vector<std::string> WrapLines(std::string Text, const TFitCount& FitCount, const TCharSet& NonWord,
                                   size_t MaxLines = SIZE_MAX);

// The lines of WrapLines one at a time, from text that may be fed in pieces: whoever shows only the first
// lines of a long text reads and measures no more than those lines take. FitCount is asked about the
// text not yet in a line only (never more than was fed) and must stay valid while the wrapper lives.
class TLineWrapper {
public:
    TLineWrapper(TFitCount FitCount, const TCharSet& NonWord);
    // Appends More to the text; Last says nothing follows it.
    void Feed(std::string_view More, bool Last);
    // Cuts the next line into Line: true. False when every byte is in a line (AtEnd) or when the next
    // line might reach past what was fed (NeedsText).
    bool Next(std::string& Line);
    bool AtEnd() const { return FLast && FPos == FText.size(); }
    bool NeedsText() const { return !FLast; }

private:
    TFitCount FFitCount;
    TCharSet FNonWord;
    std::string FText;
    size_t FPos = 0;
    bool FLast = false;
};

// A run of bytes of a line: first byte, byte count.
using TByteSpan = std::pair<int, int>;

// The occurrences of the markers in Line worth highlighting: compared through LowerMap (applied to
// both), each preceded and followed by a byte of NonWord or by the line's edge in the original line.
// Every occurrence found is blanked in the search copy before searching on, so that none is found twice.
std::vector<TByteSpan> FindMarkerSpans(std::string_view Line, const std::vector<std::string>& Markers,
                                       const std::array<uint8_t, 256>& LowerMap, const TCharSet& NonWord);

// ---- Fonts and drawing -------------------------------------------------------------------------------

// The bytes at which the alignment windows end a line: the language's non-word set, or the control
// bytes and the blank when the language has none.
TCharSet AlignNonWordSet(int Language);
// The font the alignment windows show a language in: its display font number 1 (the corpus font).
QFont AlignLanguageFont(int Language);
// The language's text colour in that font.
TColor AlignLanguageColor(int Language);
// Height of one line of text: the font's height plus its external leading.
int LanguageLineHeight(const QFontMetrics& Metrics);
int LanguageLineHeight(int Language);
void FillRectColor(QPainter& Painter, const QRect& Rect, TColor Color);
// How many leading bytes of a text of Language fit Width pixels in Font (the largest prefix whose
// width is at most Width), never ending between a lead byte and its trail byte. Its cost follows the
// bytes that fit, not the length of the text.
class TWidthFitter {
public:
    TWidthFitter(const QFont& Font, int Width, int Language);
    int operator()(std::string_view Text);

private:
    // The width of the character starting at Text[0] of Bytes bytes, remembered per character.
    double CharWidth(std::string_view Text, size_t Bytes);

    QFontMetrics FMetrics;
    int FWidth;
    int FLanguage;
    std::array<double, 256> FByteWidth;
};

// Text of Language wrapped to Width pixels in its font (WrapLines with TWidthFitter's measure), at most
// MaxLines lines.
std::vector<std::string> WrapTextToWidth(const std::string& Text, int Width, int Language,
                                         size_t MaxLines = SIZE_MAX);

// Feeds Wrapper the visible text (ReadVisibleText with Flags) of the next Piece bytes of [From, End) of
// Reader and moves From past them; the piece that reaches End tells the wrapper that nothing follows.
// Raises what the reader raises, leaving From and the wrapper as they were.
void FeedVisibleText(TLineWrapper& Wrapper, TBufStream& Reader, int32_t& From, int32_t End,
                     const TSuppressFlags& Flags, int32_t Piece);

// The width of Text in Metrics. The alignment windows measure text through it only, so that the amount
// they measure can be told.
int AlignTextWidth(const QFontMetrics& Metrics, const QString& Text);
// The UTF-16 units measured by AlignTextWidth since the program started: the layout work of the
// alignment windows, which a row showing a screenful of a long unit keeps near that screenful.
int64_t AlignTextMeasured();

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
