#include "engine/ConcSearchItems.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "controls/ConcProgress.h"
#include "engine/ConcErrors.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"

namespace {

TConcordConfig& LangConfig(int32_t L) {
    if (L < 0 || L >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(L)])
        throw std::out_of_range("No configuration for language " + std::to_string(L));
    return *LanguageConfigs[static_cast<size_t>(L)];
}

void CheckFile(const TConcordConfig& Config, int32_t L, int32_t File) {
    if (File < 0 || static_cast<size_t>(File) >= Config.Files.size())
        throw std::out_of_range("No file " + std::to_string(File) + " in language " + std::to_string(L));
}

}  // namespace

// ---- Item texts ------------------------------------------------------------------------------------

TItemTexts::TItemTexts(const TItemTexts& Source) : FEnds(Source.FEnds), FPresent(Source.FPresent) {
    const uint16_t Total = FEnds.back();
    if (Source.FPool) {
        FPool = std::make_unique<char[]>(Total);
        std::memcpy(FPool.get(), Source.FPool.get(), Total);
    }
}

TItemTexts& TItemTexts::operator=(const TItemTexts& Source) {
    if (this != &Source) *this = TItemTexts(Source);
    return *this;
}

void TItemTexts::Set(int I, std::string_view Text) {
    Replace(I, Text, true);
}

void TItemTexts::Reset(int I) {
    if (Has(I)) Replace(I, {}, false);
}

void TItemTexts::Clear() {
    FPool.reset();
    FEnds.fill(0);
    FPresent = 0;
}

void TItemTexts::Replace(int I, std::string_view Text, bool Present) {
    if (I < 0 || I >= ItemSlotCount) throw std::out_of_range("Item slot " + std::to_string(I));
    const auto Slot = static_cast<size_t>(I);
    const size_t From = Slot == 0 ? 0 : FEnds[Slot - 1];
    const size_t OldLength = FEnds[Slot] - From;
    const size_t Total = FEnds.back() - OldLength + Text.size();
    if (Total > UINT16_MAX) throw std::length_error("The texts of a concordance item are too long.");

    std::unique_ptr<char[]> Pool = Total ? std::make_unique<char[]>(Total) : nullptr;
    if (From) std::memcpy(Pool.get(), FPool.get(), From);
    if (!Text.empty()) std::memcpy(Pool.get() + From, Text.data(), Text.size());
    const size_t Tail = FEnds.back() - FEnds[Slot];
    if (Tail) std::memcpy(Pool.get() + From + Text.size(), FPool.get() + FEnds[Slot], Tail);
    FPool = std::move(Pool);

    const auto Shift = static_cast<int>(Text.size()) - static_cast<int>(OldLength);
    for (size_t K = Slot; K < FEnds.size(); ++K) FEnds[K] = static_cast<uint16_t>(FEnds[K] + Shift);
    if (Present)
        FPresent = static_cast<uint16_t>(FPresent | (1u << I));
    else
        FPresent = static_cast<uint16_t>(FPresent & ~(1u << I));
}

// ---- The item --------------------------------------------------------------------------------------

TConcordItem::TConcordItem(int32_t Language) : Language(Language) {
    CollocRanks.fill(0);
}

void TConcordItem::ClearTexts() {
    Texts.Clear();
    WordStarts.fill(0);
    WordEnds.fill(0);
    CollocRanks.fill(0);
    LineIndex = -1;
}

int32_t TConcordItem::FindLine() {
    if (!IsFilled()) return LineIndex;
    const TConcordConfig& Config = LangConfig(Language);
    CheckFile(Config, Language, FileIndex);
    const TIntegerList* Lines = Config.LineStarts.GetItem(FileIndex);
    LineIndex = Lines ? Lines->IndexOfFloor(HitStart) : -1;
    return LineIndex;
}

void TConcordItem::FindAlignedRange() {
    const TAlignIndex* Units = GetAlignIndex(Language, FileIndex);
    if (!Units || Units->Count() == 0) {
        AlignedStart = AlignedEnd = -1;
        return;
    }
    // An empty hit still belongs to the unit that holds its start.
    Units->GetRange(HitStart, std::max(HitEnd, HitStart + 1), AlignedStart, AlignedEnd, AlignedLength);
}

// ---- Building lines --------------------------------------------------------------------------------

namespace {

constexpr const char* Ellipsis = " ... ";
constexpr const char* LeadingDots = "... ";
constexpr const char* TrailingDots = " ...";

// A stretch of text as a line shows it, with the file offset of each character (-1 for characters
// the line adds).
struct TSideText {
    std::string Text;
    std::vector<int32_t> Offsets;

    void AddSeparator() {
        Text += Ellipsis;
        Offsets.insert(Offsets.end(), std::strlen(Ellipsis), -1);
    }
};

// Limits of a clipped reading: a stretch longer than Max shows its first Head and last Tail bytes.
struct TClip {
    int32_t Head, Tail, Max;
};
constexpr TClip HitClip{27, 28, 60};
constexpr TClip SideClip{317, 318, 640};
constexpr TClip PassageClip{634, 636, 1280};

TSVFontInfo FontInfo(const TFontSpec& Font, TColor Colour) {
    TSVFontInfo Info;
    Info.Name = Font.Name;
    Info.Style = Font.Style;
    Info.Colour = Colour;
    Info.Size = Font.Size;
    return Info;
}

// Character boundaries of a double-byte code page. Trail bytes may look like lead bytes, so the start
// of a character is found from the run of lead-byte values just before a position: the byte before
// that run ends a character, and the run pairs up from there.
class TCharBoundaries {
public:
    TCharBoundaries(int32_t Language, TSynchroStream& Source) : FSource(Source), FSize(Source.GetSize()) {
        const platform::TCodePageTables& Tables = platform::CodePageTables(LangCodePage(Language));
        if (std::find(Tables.LeadByte.begin(), Tables.LeadByte.end(), true) != Tables.LeadByte.end())
            FLeadBytes = &Tables.LeadByte;
    }

    // Pos when a character starts there; otherwise the start of the next character (Up) or of the one
    // Pos lies in.
    int32_t Align(int32_t Pos, bool Up) const {
        if (!FLeadBytes || Pos <= 0 || Pos >= FSize) return Pos;
        if (LeadRunBefore(Pos) % 2 == 0) return Pos;
        return Up ? Pos + 1 : Pos - 1;
    }

private:
    int32_t LeadRunBefore(int32_t Pos) const {
        int32_t Run = 0;
        char Buffer[256];
        for (int32_t To = Pos; To > 0;) {
            const int32_t Count = std::min<int32_t>(To, sizeof Buffer);
            int32_t From = To - Count;
            if (FSource.ReadAt(Buffer, Count, From) != Count) return Run;
            for (int32_t I = Count - 1; I >= 0; --I) {
                if (!(*FLeadBytes)[static_cast<unsigned char>(Buffer[I])]) return Run;
                ++Run;
            }
            To -= Count;
        }
        return Run;
    }

    TSynchroStream& FSource;
    int32_t FSize;
    const std::array<bool, 256>* FLeadBytes = nullptr;
};

class TLineBuilder {
public:
    explicit TLineBuilder(const TLineBuildArgs& Args)
        : A(Args),
          R(*Args.Reader),
          FConfig(LangConfig(Args.Language)),
          FFileSize(Args.Reader->GetSourceSize()),
          FChars(Args.Language, Args.Reader->Source()),
          FRuns(*Args.Runs) {}

    std::string Build();

private:
    void ReadContextText(int32_t From, int32_t To, TSideText& Out);
    void ReadClippedText(int32_t From, int32_t To, const TClip& Clip, TSideText& Out);
    int32_t FindContextStart(int32_t S);
    int32_t FindContextEnd(int32_t E);
    int32_t WalkBack(int32_t S, int32_t Limit);
    int32_t WalkForward(int32_t E, int32_t Limit);
    bool Counts(TCharType Previous, TCharType Current) const;
    void ReadSentenceSides(int32_t S, int32_t E, TSideText& Left, TSideText& Right);
    void AddFormatRuns(const TSideText& Side, int32_t Base, bool SubHits);
    int SlotOf(int32_t Offset) const;
    int SubHitOf(int32_t Offset) const;
    TColor ShadeCollocateColour(int Rank) const;

    const TLineBuildArgs& A;
    TBufStream& R;
    const TConcordConfig& FConfig;
    int32_t FFileSize;
    TCharBoundaries FChars;
    TSVFormatArray& FRuns;
    bool FShade = false;
    std::array<double, 3> FStep{};
};

// Keeps the characters of the visible classes of [From, To); any run of line breaks becomes one
// blank (a line feed that opens the text is dropped), a tab a blank.
void TLineBuilder::ReadContextText(int32_t From, int32_t To, TSideText& Out) {
    if (To <= From) return;
    R.ValidateBuffer(From, To);
    R.SetPosition(From);
    const size_t Begin = Out.Text.size();
    TCharType Type = ctNone;
    while (R.GetPosition() < To) {
        const int32_t Offset = R.GetPosition();
        char C = R.NextChar(Type);
        if (C == 0) break;
        if (!A.VisibleTypes[Type]) continue;
        const bool AfterCR = Out.Text.size() > Begin && Out.Text.back() == '\r';
        if (C == '\n') {
            if (Out.Text.size() == Begin || AfterCR) continue;
            C = '\r';
        } else if (C == '\r') {
            if (AfterCR) continue;
        } else if (C == '\t') {
            C = ' ';
        }
        Out.Text += C;
        Out.Offsets.push_back(Offset);
    }
    std::replace(Out.Text.begin() + static_cast<std::ptrdiff_t>(Begin), Out.Text.end(), '\r', ' ');
}

void TLineBuilder::ReadClippedText(int32_t From, int32_t To, const TClip& Clip, TSideText& Out) {
    if (To - From <= Clip.Max) {
        ReadContextText(From, To, Out);
        return;
    }
    ReadContextText(From, FChars.Align(From + Clip.Head, false), Out);
    Out.AddSeparator();
    ReadContextText(FChars.Align(To - Clip.Tail, true), To, Out);
}

// Words: a word is passed where a word character meets another class; Lines: at each line break.
bool TLineBuilder::Counts(TCharType Previous, TCharType Current) const {
    if (A.ContextType == ctxWords) return Previous == ctWord && Current != ctWord;
    return Current == ctNewLine;
}

// Walks back from S until Size words or line breaks are passed, or to Limit, and returns the start of
// the context: the first character after the one that stopped the walk (0 stays 0).
int32_t TLineBuilder::WalkBack(int32_t S, int32_t Limit) {
    R.ValidateBuffer(Limit, S);
    R.SetPosition(S);
    TCharType Previous = ctNone;
    TCharType Type = ctNone;
    int32_t Passed = 0;
    while (R.PrevChar(Type) != 0) {
        if (Counts(Previous, Type) && ++Passed >= A.Size) break;
        Previous = Type;
    }
    const int32_t Position = R.GetPosition();
    return Position == 0 ? 0 : Position + 1;
}

// Walks forward from E until Size words or line breaks are passed, or to Limit, and returns the end of
// the context: just after the character that closed the last one.
int32_t TLineBuilder::WalkForward(int32_t E, int32_t Limit) {
    R.ValidateBuffer(E, Limit);
    R.SetPosition(E);
    TCharType Previous = ctNone;
    TCharType Type = ctNone;
    int32_t Passed = 0;
    while (R.GetPosition() < Limit && R.NextChar(Type) != 0) {
        if (Counts(Previous, Type) && ++Passed >= A.Size) break;
        Previous = Type;
    }
    return R.GetPosition();
}

// A Characters context never reaches beyond the window either, so that a side keeps within it.
int32_t TLineBuilder::FindContextStart(int32_t S) {
    const int32_t Limit = std::max(S - ContextWindow, 0);
    if (A.ContextType == ctxCharacters) return FChars.Align(std::max(S - A.Size, Limit), true);
    return FChars.Align(WalkBack(S, Limit), true);
}

int32_t TLineBuilder::FindContextEnd(int32_t E) {
    const int32_t Limit = std::min(E + ContextWindow, FFileSize);
    if (A.ContextType == ctxCharacters) return FChars.Align(std::min(E + A.Size, Limit), false);
    return FChars.Align(WalkForward(E, Limit), false);
}

// The sentence holding the hit start; a side longer than the window is clipped like a segment's.
void TLineBuilder::ReadSentenceSides(int32_t S, int32_t E, TSideText& Left, TSideText& Right) {
    CheckFile(FConfig, A.Language, A.FileIndex);
    const TAlignIndex* Sentences = FConfig.SentenceIndexes.GetItem(A.FileIndex);
    const int32_t I = Sentences ? Sentences->IndexOfFloor(S) : -1;
    if (I < 0) return;
    const TSegment Sentence = Sentences->GetItem(I);
    ReadClippedText(Sentence.Start, S, SideClip, Left);
    ReadClippedText(E, std::min(Sentence.End, FFileSize), SideClip, Right);
}

int TLineBuilder::SlotOf(int32_t Offset) const {
    const TConcordItem& Item = *A.Item;
    for (int P = A.PosLo; P <= A.PosHi && P < ItemSlotCount; ++P) {
        const auto Slot = static_cast<size_t>(P);
        if (Item.Texts.Has(P) && Item.WordStarts[Slot] <= Offset && Offset < Item.WordEnds[Slot]) return P;
    }
    return NoCollocatePosition;
}

int TLineBuilder::SubHitOf(int32_t Offset) const {
    const TItemRanges& Ranges = *A.Ranges;
    for (size_t K = 1; K < Ranges.size(); ++K)
        if (Ranges[K].Start <= Offset && Offset < Ranges[K].End) return static_cast<int>(K);
    return -1;
}

TColor TLineBuilder::ShadeCollocateColour(int Rank) const {
    uint32_t Colour = 0;
    for (int C = 0; C < 3; ++C) {
        const int Channel = (A.CollocColour >> (8 * C)) & 0xFF;
        const auto Shaded = static_cast<uint8_t>(Channel - static_cast<int>(std::nearbyint(Rank * FStep[C])));
        Colour |= static_cast<uint32_t>(Shaded) << (8 * C);
    }
    return static_cast<TColor>(Colour);
}

// The runs of one side, Base being the line position of its first character. A run covers exactly the
// characters of a collocate word, or of a sub-hit, that the side shows; only one run is open at a time.
void TLineBuilder::AddFormatRuns(const TSideText& Side, int32_t Base, bool SubHits) {
    int Slot = NoCollocatePosition;
    int SubHit = -1;
    bool Open = false;
    int32_t OpenedAt = 0;
    TSVFontInfo Font;
    auto Close = [&](int32_t At) {
        if (!Open) return;
        TSVFormatInfo Run;
        Run.Start = Base + OpenedAt;
        Run.Length = At - OpenedAt;
        Run.Font = Font;
        FRuns.push_back(std::move(Run));
        Open = false;
    };
    auto OpenRun = [&](int32_t At, TSVFontInfo RunFont) {
        Open = true;
        OpenedAt = At;
        Font = std::move(RunFont);
    };
    const auto Count = static_cast<int32_t>(Side.Offsets.size());
    for (int32_t I = 0; I < Count; ++I) {
        const int32_t Offset = Side.Offsets[static_cast<size_t>(I)];
        if (FShade) {
            const int NewSlot = Offset < 0 ? NoCollocatePosition : SlotOf(Offset);
            if (NewSlot != Slot) {
                Close(I);
                Slot = NewSlot;
                const uint8_t Rank = Slot == NoCollocatePosition ? Unranked : A.Item->CollocRanks[Slot];
                if (Rank < 128)
                    OpenRun(I, FontInfo(FConfig.Fonts[CollocatesFont], ShadeCollocateColour(Rank)));
            }
        }
        if (SubHits) {
            const int NewSubHit = Offset < 0 ? -1 : SubHitOf(Offset);
            if (NewSubHit != SubHit) {
                if (Slot == NoCollocatePosition) Close(I);
                SubHit = NewSubHit;
                if (SubHit >= 0 && !Open) OpenRun(I, FontInfo(FConfig.Fonts[HotWordsFont], SubHitColour));
            }
        }
    }
    Close(Count);
}

std::string TLineBuilder::Build() {
    FRuns.clear();
    const TItemRanges NoRanges;
    const TItemRanges& Ranges = A.Ranges ? *A.Ranges : NoRanges;
    const bool Aligned = A.AlignedStart >= 0 && A.AlignedEnd >= 0;
    if (Ranges.empty()) {
        TSideText Passage;
        if (A.ContextType == ctxSegment && Aligned)
            ReadClippedText(A.AlignedStart, std::min(A.AlignedEnd, FFileSize), PassageClip, Passage);
        return std::move(Passage.Text);
    }

    const bool NoContext = A.ContextType < ctxSentence && A.Size == 0;
    // Without a top count no rank can be shaded.
    FShade = A.PosLo != NoCollocatePosition && A.PosHi != NoCollocatePosition && A.TopCount > 0 && A.Item;
    if (FShade)
        for (int C = 0; C < 3; ++C) {
            const int Channel = (A.CollocColour >> (8 * C)) & 0xFF;
            FStep[static_cast<size_t>(C)] = (Channel - Channel / 10) / static_cast<double>(A.TopCount);
        }

    const int32_t S = Ranges[0].Start;
    const int32_t E = std::min(Ranges[0].End, FFileSize);
    TSideText Left, Right, Hit;
    if (A.ContextType == ctxSegment) {
        if (Aligned) {
            ReadClippedText(A.AlignedStart, S, SideClip, Left);
            ReadClippedText(E, std::min(A.AlignedEnd, FFileSize), SideClip, Right);
        }
    } else if (A.ContextType == ctxSentence) {
        ReadSentenceSides(S, E, Left, Right);
    } else if (!NoContext) {
        const int32_t From = FindContextStart(S);
        const int32_t To = FindContextEnd(E);
        ReadContextText(From, S, Left);
        ReadContextText(E, To, Right);
    }
    ReadClippedText(S, E, HitClip, Hit);

    const bool Kwic = A.ContextType < ctxLines;
    const bool Dots = Kwic && !NoContext;
    std::string Line;
    Line.reserve(Left.Text.size() + Hit.Text.size() + Right.Text.size() + 8);
    if (Dots) Line += LeadingDots;
    Line += Left.Text;
    Line += Hit.Text;
    Line += Right.Text;
    if (Dots) Line += TrailingDots;

    int32_t Base = Dots ? static_cast<int32_t>(std::strlen(LeadingDots)) + 1 : 1;
    if (FShade) AddFormatRuns(Left, Base, false);
    Base += static_cast<int32_t>(Left.Text.size());
    TSVFormatInfo HitRun;
    HitRun.Start = Base;
    HitRun.Length = static_cast<int32_t>(Hit.Text.size());
    HitRun.Anchor = Kwic ? 1 : 0;
    HitRun.IsHit = 1;
    HitRun.Font = FontInfo(FConfig.Fonts[HiliteFont], A.HitColour);
    FRuns.push_back(std::move(HitRun));
    Base += static_cast<int32_t>(Hit.Text.size());
    if (Ranges.size() > 1 || FShade) AddFormatRuns(Right, Base, true);
    return Line;
}

}  // namespace

std::string BuildConcordLine(const TLineBuildArgs& Args) {
    if (!Args.Reader || !Args.Runs) throw std::invalid_argument("BuildConcordLine needs a reader and runs.");
    return TLineBuilder(Args).Build();
}

TBufStream& FileReader(int32_t Language, int32_t FileIndex) {
    TConcordConfig& Config = LangConfig(Language);
    CheckFile(Config, Language, FileIndex);
    const auto File = static_cast<size_t>(FileIndex);
    std::unique_ptr<TBufStream>& Reader = Config.Readers.at(File);
    if (!Reader) {
        TSynchroStream* Stream = File < Config.Streams.size() ? Config.Streams[File].get() : nullptr;
        if (!Stream || !Stream->IsOpen()) throw EConcError("The corpus file is not open.");
        Reader = std::make_unique<TBufStream>(*Stream, Language);
    }
    return *Reader;
}

std::string BuildItemLine(const TConcordItem& Item, uint8_t ContextType, int32_t Size,
                          const TLineShading& Shading, const TCharTypes& VisibleTypes, TSVFormatArray& Runs) {
    TItemRanges Ranges;
    Ranges.reserve(Item.SubItems.size() + 1);
    Ranges.push_back({Item.HitStart, Item.HitEnd});
    for (const TTessivorSubItem& Sub : Item.SubItems) Ranges.push_back({Sub.HitStart, Sub.HitEnd});

    TBufStream& Reader = FileReader(Item.Language, Item.FileIndex);
    ConfigureBufStream(Reader);
    Reader.ResetTagState();

    TLineBuildArgs Args;
    Args.Language = Item.Language;
    Args.Item = &Item;
    Args.Reader = &Reader;
    Args.FileIndex = Item.FileIndex;
    Args.AlignedEnd = Item.AlignedEnd;
    Args.AlignedStart = Item.AlignedStart;
    Args.HitColour = Shading.HitColour;
    Args.CollocColour = Shading.CollocColour;
    Args.TopCount = Shading.TopCount;
    Args.PosHi = Shading.PosHi;
    Args.PosLo = Shading.PosLo;
    Args.Runs = &Runs;
    Args.VisibleTypes = VisibleTypes;
    Args.Size = Size;
    Args.ContextType = ContextType;
    Args.Ranges = &Ranges;
    return BuildConcordLine(Args);
}

std::string BuildDisplayLine(const TConcordItem& Item, const TConcordDisplay& Display,
                             const TLineShading& Shading, const TCharTypes& VisibleTypes,
                             TSVFormatArray& Runs) {
    const int32_t Size =
        Display.ContextType < Display.ContextSizes.size() ? Display.ContextSizes[Display.ContextType] : 0;
    return BuildItemLine(Item, Display.ContextType, Size, Shading, VisibleTypes, Runs);
}

void ConcealRuns(std::string& Line, const TSVFormatArray& Runs, bool ConcealHits, bool ConcealCollocates) {
    for (const TSVFormatInfo& Run : Runs) {
        const bool Conceal = Run.IsHit ? ConcealHits : ConcealCollocates && Run.Font.Colour != SubHitColour;
        if (!Conceal) continue;
        const auto From = static_cast<size_t>(std::max(Run.Start - 1, 0));
        const auto To = std::min(Line.size(), static_cast<size_t>(std::max(Run.Start - 1 + Run.Length, 0)));
        if (From < To)
            std::fill(Line.begin() + static_cast<std::ptrdiff_t>(From),
                      Line.begin() + static_cast<std::ptrdiff_t>(To), '-');
    }
}

std::string ReadContextWindow(int32_t Language, TBufStream& Reader, int32_t HitStart,
                              const TCharTypes& VisibleTypes, int32_t HitEnd, TSVFormatArray& Runs) {
    const TConcordConfig& Config = LangConfig(Language);
    const TCharBoundaries Chars(Language, Reader.Source());
    const int32_t Reach = 512 * BigContextSize;
    const int32_t Size = Reader.GetSourceSize();
    const int32_t From = Chars.Align(std::max(HitStart - Reach - 512, 0), true);
    const int32_t KeepFrom = Chars.Align(std::max(HitStart - Reach, 0), true);
    const int32_t To = Chars.Align(std::min(HitEnd + Reach, Size), false);

    std::string Text;
    int32_t HitFirst = -1;
    int32_t HitLast = -1;
    Reader.SetRange(From, To);
    TCharType Type = ctNone;
    while (Reader.GetPosition() < To) {
        const int32_t Offset = Reader.GetPosition();
        const char C = Reader.NextChar(Type);
        if (C == 0) break;
        if (Offset < KeepFrom || !VisibleTypes[Type]) continue;
        if (HitFirst < 0 && Offset >= HitStart) HitFirst = static_cast<int32_t>(Text.size());
        if (HitLast < 0 && Offset >= HitEnd) HitLast = static_cast<int32_t>(Text.size());
        Text += C;
    }
    if (HitFirst < 0) HitFirst = 0;
    if (HitLast < 0) HitLast = static_cast<int32_t>(Text.size());

    Runs.clear();
    TSVFormatInfo Run;
    Run.Start = HitFirst + 1;
    Run.Length = std::max(HitLast - HitFirst, 0);
    Run.IsHit = 1;
    Run.Font = FontInfo(Config.Fonts[HiliteFont], Config.Fonts[HiliteFont].Color);
    Runs.push_back(std::move(Run));
    return Text;
}

void PostItemStatusText(int32_t Language, const TConcordItem* Item) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) return;
    const TConcordConfig& Config = *LanguageConfigs[static_cast<size_t>(Language)];
    std::string Text = Config.GetLanguageName();
    if (Item && Item->FileIndex >= 0 && static_cast<size_t>(Item->FileIndex) < Config.Files.size()) {
        std::string FileName = std::filesystem::path(Config.Files[static_cast<size_t>(Item->FileIndex)].Name)
                                   .filename()
                                   .string();
        const TIntegerList* Lines = Config.LineStarts.GetItem(Item->FileIndex);
        if (Item->IsFilled() && Lines)
            FileName += ", line: " + std::to_string(Lines->IndexOfFloor(Item->HitStart) + 1);
        Text += " - " + FileName;
    }
    PostStatusText(Text);
}
