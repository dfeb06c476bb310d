#include "alignment/ConcAlignUtils.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <atomic>

#include "controls/ConcFormUtils.h"
#include "controls/LangText.h"
#include "engine/BStream.h"
#include "platform/Nls.h"

namespace {

constexpr TColor CaretTextColor = 0xFFFFFF;
constexpr TColor CaretBackColor = 0x0000FF;

bool InSet(const TCharSet& Set, char C) {
    return Set.test(static_cast<uint8_t>(C));
}

const platform::TCodePageTables& TablesOf(int Language) {
    return platform::CodePageTables(LanguageCodePage(Language));
}

std::atomic<int64_t> Measured{0};

const TConcordConfig* ConfigOf(int Language) {
    return Language >= 0 && Language < MaxLanguages ? LanguageConfigs[size_t(Language)].get() : nullptr;
}

}  // namespace

TLineWrapper::TLineWrapper(TFitCount FitCount, const TCharSet& NonWord)
    : FFitCount(std::move(FitCount)), FNonWord(NonWord) {}

void TLineWrapper::Feed(std::string_view More, bool Last) {
    // The lines cut so far are dropped from the front once they are most of what is kept.
    if (FPos > 4096 && FPos * 2 > FText.size()) {
        FText.erase(0, FPos);
        FPos = 0;
    }
    const size_t From = FText.size();
    FText.append(More);
    for (size_t K = From; K < FText.size(); ++K)
        if (uint8_t(FText[K]) < 32) FText[K] = ' ';
    FLast = Last;
}

bool TLineWrapper::Next(std::string& Line) {
    const std::string_view Rest = std::string_view(FText).substr(FPos);
    if (Rest.empty()) return false;
    const int N = FFitCount(Rest) + 1;
    if (int(Rest.size()) <= N) {
        // Whether this is the last line or only looks so for want of text, the rest of the text decides.
        if (!FLast) return false;
        Line.assign(Rest);
        FPos = FText.size();
        return true;
    }
    // Positions count from 1: byte P is Rest[P - 1].
    int P = N;
    while (P >= 1 && InSet(FNonWord, Rest[size_t(P - 1)])) --P;
    while (P >= 1 && !InSet(FNonWord, Rest[size_t(P - 1)])) --P;
    if (P < 1) P = N;
    Line.assign(Rest.substr(0, size_t(P)));
    FPos += size_t(P);
    return true;
}

std::vector<std::string> WrapLines(std::string Text, const TFitCount& FitCount, const TCharSet& NonWord,
                                   size_t MaxLines) {
    TLineWrapper Wrapper(FitCount, NonWord);
    Wrapper.Feed(Text, true);
    std::vector<std::string> Lines;
    for (std::string Line; Lines.size() < MaxLines && Wrapper.Next(Line);) Lines.push_back(std::move(Line));
    return Lines;
}

std::vector<TByteSpan> FindMarkerSpans(std::string_view Line, const std::vector<std::string>& Markers,
                                       const std::array<uint8_t, 256>& LowerMap, const TCharSet& NonWord) {
    std::string Lower(Line);
    for (char& C : Lower) C = char(LowerMap[uint8_t(C)]);
    std::vector<TByteSpan> Spans;
    for (const std::string& Marker : Markers) {
        if (Marker.empty()) continue;
        std::string Key(Marker);
        for (char& C : Key) C = char(LowerMap[uint8_t(C)]);
        std::string Search(Lower);
        for (size_t At = Search.find(Key); At != std::string::npos; At = Search.find(Key, At + 1)) {
            const size_t End = At + Key.size();
            // The neighbours are judged in the line as it is, not in the copy with earlier finds blanked.
            const bool Before = At == 0 || InSet(NonWord, Line[At - 1]);
            const bool After = End >= Line.size() || InSet(NonWord, Line[End]);
            if (Before && After) Spans.emplace_back(int(At), int(Key.size()));
            std::fill(Search.begin() + long(At), Search.begin() + long(End), ' ');
        }
    }
    return Spans;
}

TCharSet AlignNonWordSet(int Language) {
    try {
        return NonWordCharSet(Language);
    } catch (const std::exception&) {
        TCharSet Blanks;
        for (int C = 0; C <= 32; ++C) Blanks.set(size_t(C));
        return Blanks;
    }
}

QFont AlignLanguageFont(int Language) {
    return LanguageFont(Language, CorpusFont);
}

TColor AlignLanguageColor(int Language) {
    const TConcordConfig* C = ConfigOf(Language);
    return C ? C->Fonts[CorpusFont].Color : 0;
}

int LanguageLineHeight(const QFontMetrics& Metrics) {
    return Metrics.height() + std::max(0, Metrics.leading());
}

int LanguageLineHeight(int Language) {
    return LanguageLineHeight(QFontMetrics(AlignLanguageFont(Language)));
}

void FillRectColor(QPainter& Painter, const QRect& Rect, TColor Color) {
    Painter.fillRect(Rect, ColorRefToQColor(Color));
}

int AlignTextWidth(const QFontMetrics& Metrics, const QString& Text) {
    Measured.fetch_add(Text.size(), std::memory_order_relaxed);
    return Metrics.horizontalAdvance(Text);
}

int64_t AlignTextMeasured() {
    return Measured.load(std::memory_order_relaxed);
}

TWidthFitter::TWidthFitter(const QFont& Font, int Width, int Language)
    : FMetrics(Font), FWidth(Width), FLanguage(Language) {
    FByteWidth.fill(-1);
}

double TWidthFitter::CharWidth(std::string_view Text, size_t Bytes) {
    if (Bytes == 1 && FByteWidth[uint8_t(Text[0])] >= 0) return FByteWidth[uint8_t(Text[0])];
    const double W = AlignTextWidth(FMetrics, LangToQString(Text.substr(0, Bytes), FLanguage));
    if (Bytes == 1) FByteWidth[uint8_t(Text[0])] = W;
    return W;
}

int TWidthFitter::operator()(std::string_view Text) {
    const platform::TCodePageTables& Tables = TablesOf(FLanguage);
    auto StepAt = [&](size_t K) {
        return Tables.DoubleByte && Tables.LeadByte[uint8_t(Text[K])] && K + 1 < Text.size() ? 2 : 1;
    };
    // A first guess from the widths of single characters, which kerning and shaping make only nearly
    // right; the measure of whole prefixes around it decides.
    size_t Guess = 0;
    for (double X = 0; Guess < Text.size();) {
        const size_t Step = size_t(StepAt(Guess));
        X += CharWidth(Text.substr(Guess), Step);
        if (X > FWidth) break;
        Guess += Step;
    }
    auto Fits = [&](size_t N) {
        return AlignTextWidth(FMetrics, LangToQString(Text.substr(0, N), FLanguage)) <= FWidth;
    };
    // Fits(Lo) holds and Fits(Hi) does not; Text.size() + 1 stands for "no longer prefix".
    size_t Lo = 0, Hi = Text.size() + 1;
    if (Guess == 0 || Fits(Guess)) {
        Lo = Guess;
        for (size_t Step = 1; Lo + Step < Hi; Step *= 2) {
            if (!Fits(Lo + Step)) {
                Hi = Lo + Step;
                break;
            }
            Lo += Step;
        }
    } else {
        Hi = Guess;
        for (size_t Step = 1; Hi > Lo + Step; Step *= 2) {
            if (Fits(Hi - Step)) {
                Lo = Hi - Step;
                break;
            }
            Hi -= Step;
        }
    }
    while (Hi - Lo > 1) {
        const size_t Mid = Lo + (Hi - Lo) / 2;
        (Fits(Mid) ? Lo : Hi) = Mid;
    }
    // Step back to a character boundary.
    size_t K = 0;
    while (K < Lo && K + size_t(StepAt(K)) <= Lo) K += size_t(StepAt(K));
    return int(K);
}

void FeedVisibleText(TLineWrapper& Wrapper, TBufStream& Reader, int32_t& From, int32_t End,
                     const TSuppressFlags& Flags, int32_t Piece) {
    const int32_t To = End - From > Piece ? From + Piece : End;
    std::string Text;
    ReadVisibleText(Reader, From, To, Text, Flags);
    Wrapper.Feed(Text, To >= End);
    From = To;
}

std::vector<std::string> WrapTextToWidth(const std::string& Text, int Width, int Language, size_t MaxLines) {
    TWidthFitter Fitter(AlignLanguageFont(Language), Width, Language);
    return WrapLines(
        Text, [&](std::string_view Rest) { return Fitter(Rest); }, AlignNonWordSet(Language), MaxLines);
}

int DrawSegmentText(QPainter* Painter, const QRect& Rect, TColor TextColor, int Language, int& LastLine,
                    QRect& CaretRect, std::vector<TSegLine>& Lines, int CaretOffset, int FirstLine,
                    TColor Background) {
    const QFont Font = AlignLanguageFont(Language);
    const QFontMetrics Metrics(Font);
    const int LineHeight = LanguageLineHeight(Metrics);
    const TConcordConfig* Config = ConfigOf(Language);
    const platform::TCodePageTables& Tables = TablesOf(Language);
    const QColor Fore = ColorRefToQColor(TextColor), Back = ColorRefToQColor(Background);
    if (Painter) {
        Painter->fillRect(Rect, Back);
        Painter->setFont(Font);
    }
    int Offset = 0;
    for (int K = 0; K < FirstLine && K < int(Lines.size()); ++K) Offset += int(Lines[size_t(K)].Text.size());
    LastLine = FirstLine - 1;
    int Y = Rect.top();
    for (int K = std::max(0, FirstLine); K < int(Lines.size()) && Y < Rect.bottom(); ++K) {
        TSegLine& L = Lines[size_t(K)];
        const std::string& T = L.Text;
        L.Rect = QRect(Rect.left(), Y, Rect.width(), LineHeight);
        auto XAt = [&](size_t Bytes) {
            return Rect.left() +
                   AlignTextWidth(Metrics, LangToQString(std::string_view(T).substr(0, Bytes), Language));
        };
        // Swaps the colours of Span, or draws it in the given ones.
        auto DrawSpan = [&](size_t From, size_t Count, const QColor& F, const QColor& B) {
            const int X0 = XAt(From), X1 = XAt(From + Count);
            Painter->fillRect(QRect(X0, Y, X1 - X0, LineHeight), B);
            Painter->setPen(F);
            Painter->drawText(QPoint(X0, Y + Metrics.ascent()),
                              LangToQString(std::string_view(T).substr(From, Count), Language));
        };
        int CaretAt = -1, CaretLen = 0;
        if (CaretOffset >= Offset && CaretOffset < Offset + int(T.size())) {
            CaretAt = CaretOffset - Offset;
            CaretLen = Tables.DoubleByte && Tables.LeadByte[uint8_t(T[size_t(CaretAt)])] &&
                               CaretAt + 1 < int(T.size())
                           ? 2
                           : 1;
            CaretRect = QRect(XAt(size_t(CaretAt)), Y, XAt(size_t(CaretAt + CaretLen)) - XAt(size_t(CaretAt)),
                              LineHeight);
        }
        if (Painter) {
            Painter->save();
            Painter->setClipRect(Rect.intersected(L.Rect));
            Painter->setPen(Fore);
            Painter->drawText(QPoint(Rect.left(), Y + Metrics.ascent()),
                              T.empty() ? QString(" ") : LangToQString(T, Language));
            auto OffCaret = [&](int At) { return CaretAt < 0 || At < CaretAt || At >= CaretAt + CaretLen; };
            if (Config && Config->HiliteNumbers)
                for (size_t B = 0; B < T.size(); ++B)
                    if (T[B] >= '0' && T[B] <= '9' && OffCaret(int(B))) DrawSpan(B, 1, Back, Fore);
            if (Config && !Config->Markers.empty())
                for (const auto& [From, Count] :
                     FindMarkerSpans(T, Config->Markers, Tables.LowerCase, AlignNonWordSet(Language))) {
                    // The caret cell keeps its own colours: the marker is drawn around it.
                    const int CutFrom = CaretAt < 0 ? From + Count : std::clamp(CaretAt, From, From + Count);
                    const int CutTo =
                        CaretAt < 0 ? From + Count : std::clamp(CaretAt + CaretLen, From, From + Count);
                    if (CutFrom > From) DrawSpan(size_t(From), size_t(CutFrom - From), Back, Fore);
                    if (From + Count > CutTo)
                        DrawSpan(size_t(CutTo), size_t(From + Count - CutTo), Back, Fore);
                }
            if (CaretAt >= 0)
                DrawSpan(size_t(CaretAt), size_t(CaretLen), ColorRefToQColor(CaretTextColor),
                         ColorRefToQColor(CaretBackColor));
            Painter->restore();
        }
        Offset += int(T.size());
        LastLine = K;
        Y += LineHeight;
    }
    return Y - Rect.top();
}
