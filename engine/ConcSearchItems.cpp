#include "engine/ConcSearchItems.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "engine/ConcCorpus.h"
#include "engine/ConcErrors.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/SynStream.h"
#include "platform/Nls.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

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

// Below this many rows freed, a delete leaves the list's storage as it is: shrinking copies what stays.
constexpr size_t MinRowsToShrink = 4096;

// What a passage row holds, copied between it, an item and a row's information (fields of one name).
template <typename TFrom, typename TTo>
void CopyPassageFields(const TFrom& From, TTo& To) {
    To.Sequence = From.Sequence;
    To.FileIndex = From.FileIndex;
    To.AlignedStart = From.AlignedStart;
    To.AlignedEnd = From.AlignedEnd;
    To.AlignedLength = From.AlignedLength;
    To.Letter = From.Letter;
}

}  // namespace

// ---- Item texts ------------------------------------------------------------------------------------

TItemTexts::TItemTexts(const TItemTexts& Source) {
    if (!Source.FBlock) return;
    const size_t Bytes = Source.BlockBytes();
    FBlock = std::unique_ptr<char[]>(new char[Bytes]);
    std::memcpy(FBlock.get(), Source.FBlock.get(), Bytes);
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

void TItemTexts::Replace(int I, std::string_view Text, bool Present) {
    if (I < 0 || I >= ItemSlotCount) throw std::out_of_range("Item slot " + std::to_string(I));
    const auto Slot = static_cast<size_t>(I);
    std::array<uint16_t, ItemSlotCount> Ends{};
    uint16_t Flags = 0;
    if (FBlock) {
        for (int K = 0; K < ItemSlotCount; ++K)
            Ends[static_cast<size_t>(K)] = static_cast<uint16_t>(EndOf(K));
        Flags = static_cast<uint16_t>(this->Bits() & ~WideBit);
    }
    const size_t From = Slot == 0 ? 0 : Ends[Slot - 1];
    const size_t OldLength = Ends[Slot] - From;
    const size_t Total = Ends.back() - OldLength + Text.size();
    if (Total > UINT16_MAX) throw std::length_error("The texts of a concordance item are too long.");
    Flags = Present ? static_cast<uint16_t>(Flags | (1u << I)) : static_cast<uint16_t>(Flags & ~(1u << I));
    if (Flags == 0) {
        // Only present texts keep a block: an item with none allocates nothing.
        FBlock.reset();
        return;
    }

    const bool Wide = Total > UINT8_MAX;
    // Left uninitialised: the header and every byte of text are written below.
    std::unique_ptr<char[]> Block(new char[HeaderBytes(Wide) + Total]);
    char* To = Block.get() + HeaderBytes(Wide);
    const char* Old = FBlock ? Chars() : nullptr;
    if (From) std::memcpy(To, Old, From);
    if (!Text.empty()) std::memcpy(To + From, Text.data(), Text.size());
    const size_t Tail = Ends.back() - Ends[Slot];
    if (Tail) std::memcpy(To + From + Text.size(), Old + Ends[Slot], Tail);

    const auto Shift = static_cast<int>(Text.size()) - static_cast<int>(OldLength);
    for (size_t K = Slot; K < Ends.size(); ++K) Ends[K] = static_cast<uint16_t>(Ends[K] + Shift);
    if (Wide) Flags |= WideBit;
    auto* Header = reinterpret_cast<uint8_t*>(Block.get());
    Header[0] = static_cast<uint8_t>(Flags);
    Header[1] = static_cast<uint8_t>(Flags >> 8);
    for (size_t K = 0; K < Ends.size(); ++K) {
        if (Wide) {
            Header[BitsBytes + 2 * K] = static_cast<uint8_t>(Ends[K]);
            Header[BitsBytes + 2 * K + 1] = static_cast<uint8_t>(Ends[K] >> 8);
        } else {
            Header[BitsBytes + K] = static_cast<uint8_t>(Ends[K]);
        }
    }
    FBlock = std::move(Block);
}

// ---- The item --------------------------------------------------------------------------------------

TConcordItem::TConcordItem(int32_t Language) : Language(Language) {
    CollocRanks.fill(0);
}

const TItemExtras& TConcordItem::NoExtras() {
    static const TItemExtras None;
    return None;
}

TItemExtras& TConcordItem::Extras() {
    if (!FExtras) FExtras = std::make_unique<TItemExtras>();
    return *FExtras;
}

void TConcordItem::DropEmptyExtras() {
    if (FExtras && !FExtras->SortString && FExtras->Runs.empty() && FExtras->SubItems.empty())
        FExtras.reset();
}

void TConcordItem::SetSortString(std::string Value) {
    Extras().SortString = std::make_unique<std::string>(std::move(Value));
}

void TConcordItem::ResetSortString() {
    if (!FExtras) return;
    FExtras->SortString.reset();
    DropEmptyExtras();
}

void TConcordItem::ClearRuns() {
    if (!FExtras) return;
    FExtras->Runs.clear();
    DropEmptyExtras();
}

void TConcordItem::ClearSubItems() {
    if (!FExtras) return;
    FExtras->SubItems.clear();
    DropEmptyExtras();
}

void TConcordItem::ClearTexts() {
    Texts.Clear();
    WordStarts.fill(0);
    WordEnds.fill(0);
    CollocRanks.fill(0);
}

int32_t TConcordItem::FindLine() const {
    if (!IsFilled()) return -1;
    const TConcordConfig& Config = LangConfig(Language);
    CheckFile(Config, Language, FileIndex);
    const TIntegerList* Lines = Config.LineStarts.GetItem(FileIndex);
    return Lines ? Lines->IndexOfFloor(HitStart) : -1;
}

void TConcordItem::FindAlignedRange() {
    const TAlignIndex* Units = GetAlignIndex(Language, FileIndex);
    if (!Units || Units->Count() == 0) {
        AlignedStart = AlignedEnd = -1;
        return;
    }
    // A search reads a unit up to and including the byte at its End (a markup unit's last byte, or the
    // byte after a length-based unit), so the last unit starting at or before the hit holds its first
    // byte unless the hit starts past that End. An empty hit still belongs to the unit of its start.
    const int32_t Floor = Units->IndexOfFloor(HitStart);
    const int32_t Last = Units->IndexBefore(std::max(HitEnd, HitStart + 1));
    int32_t First = std::max(Floor, 0);
    if (Floor >= 0 && HitStart > Units->GetItem(Floor).End) ++First;
    First = std::min(First, Last);
    int32_t Ignored = 0;
    Units->GetItem(Last, Ignored, AlignedEnd, Ignored);
    Units->GetItem(First, AlignedStart, Ignored, Ignored);
    int64_t Sum = 0;
    for (int32_t K = First; K <= Last; ++K) Sum += Units->GetItem(K).Length;
    AlignedLength = static_cast<int32_t>(
        std::clamp<int64_t>(Sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
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
        int32_t At = Pos;
        char C = 0;
        if (FSource.ReadAt(&C, 1, At) != 1) return Pos;
        if (!IsTrailByte(LeadByteRunBefore(FSource, Pos, *FLeadBytes), static_cast<unsigned char>(C)))
            return Pos;
        return Up ? Pos + 1 : Pos - 1;
    }

private:
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
    bool FollowsCR(int32_t Offset) const;
    void ReadContextText(int32_t From, int32_t To, TSideText& Out);
    void ReadClippedText(int32_t From, int32_t To, const TClip& Clip, TSideText& Out);
    int32_t PassageEnd() const;
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

// Whether the byte before Offset is a carriage return.
bool TLineBuilder::FollowsCR(int32_t Offset) const {
    char Previous = 0;
    int32_t Position = Offset - 1;
    return Offset > 0 && R.Source().ReadAt(&Previous, 1, Position) == 1 && Previous == '\r';
}

// Where the aligned passage's text ends. Passages read [AlignedStart, AlignedEnd), which leaves out the
// line break or tag that ends a unit of the markup alignments (their End is the unit's last byte). The
// last unit of a file without a closing line break ends on the file's last byte, which is text: the
// search reads it as part of the unit, and so does the passage.
int32_t TLineBuilder::PassageEnd() const {
    const int32_t End = std::min(A.AlignedEnd, FFileSize);
    if (End != FFileSize - 1 || End < 0) return End;
    char Last = 0;
    int32_t Position = End;
    if (R.Source().ReadAt(&Last, 1, Position) != 1 || Last == '\n' || Last == '\r') return End;
    return FFileSize;
}

// Keeps the characters of the visible classes of [From, To); any run of line breaks becomes one
// blank, a tab a blank. A line feed that opens the text is dropped when it ends a CR LF pair whose CR
// lies before the text (a Lines context starts there); a line feed of its own still separates the
// text from what precedes it.
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
            if (AfterCR || (Out.Text.size() == Begin && FollowsCR(Offset))) continue;
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
    const int32_t Limit = OffsetWithin(S, -int64_t(ContextWindow), 0, S);
    if (A.ContextType == ctxCharacters)
        return FChars.Align(OffsetWithin(S, -int64_t(A.Size), Limit, S), true);
    return FChars.Align(WalkBack(S, Limit), true);
}

int32_t TLineBuilder::FindContextEnd(int32_t E) {
    const int32_t Limit = OffsetWithin(E, ContextWindow, E, FFileSize);
    if (A.ContextType == ctxCharacters) return FChars.Align(OffsetWithin(E, A.Size, E, Limit), false);
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
    // Slot 0 is the hit itself, never a collocate.
    for (int P = std::max<int>(A.PosLo, 1); P <= A.PosHi && P < ItemSlotCount; ++P) {
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
            ReadClippedText(A.AlignedStart, PassageEnd(), PassageClip, Passage);
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
            ReadClippedText(E, PassageEnd(), SideClip, Right);
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
    Ranges.reserve(Item.SubItems().size() + 1);
    Ranges.push_back({Item.HitStart, Item.HitEnd});
    for (const TTessivorSubItem& Sub : Item.SubItems()) Ranges.push_back({Sub.HitStart, Sub.HitEnd});

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
    const int64_t Reach = 512 * int64_t(BigContextSize);
    const int32_t Size = Reader.GetSourceSize();
    const int32_t From = Chars.Align(OffsetWithin(HitStart, -Reach - 512, 0, Size), true);
    const int32_t KeepFrom = Chars.Align(OffsetWithin(HitStart, -Reach, 0, Size), true);
    const int32_t To = Chars.Align(OffsetWithin(HitEnd, Reach, 0, Size), false);

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
    PostStatusText(ItemStatusText(Language, Item));
}

std::string ItemStatusText(int32_t Language, const TConcordItem* Item) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)])
        return "";
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
    return Text;
}

// ---- Item lists --------------------------------------------------------------------------------------

TConcordItems::TConcordItems(int32_t Language) : Language(Language) {
    Display.ContextSizes = NewListContextSizes();
    if (Language >= 0 && Language < MaxLanguages && LanguageConfigs[static_cast<size_t>(Language)])
        HitColour = LanguageConfigs[static_cast<size_t>(Language)]->Fonts[HiliteFont].Color;
}

// Counts the collocates of queued rows in the order they were queued. A search adds a row every few
// microseconds at most, and counting a row waits on four or more lists that the search has pushed out of
// the cache in between: done on the search's own thread it was a sixth of a search for a frequent word.
// The search does not read the counts, so it goes on while they are made; whoever reads a row or a list
// waits for them (Settle), which during a search happens when the panes repaint.
class TConcordItems::TCollocWorker {
public:
    // False when no thread could be started: the caller then counts rows itself.
    bool Start() {
        try {
            FThread = std::thread([this] { Run(); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }
    ~TCollocWorker() {
        {
            const std::lock_guard Lock(FMutex);
            FStop = true;
        }
        FWork.notify_one();
        if (FThread.joinable()) FThread.join();
    }

    // Fill(Row) fills the row queued; one that raises queues nothing.
    template <typename TFill>
    void Queue(const TFill& Fill) {
        bool Wake;
        {
            const std::lock_guard Lock(FMutex);
            FQueue.Add(Fill);
            Wake = FQueue.Count >= WakeRows;
        }
        ++FQueued;
        // Waking the thread for every row would cost more than the counting: it is woken for a batch.
        if (Wake) FWork.notify_one();
        // Nobody may read the rows for a long time (a hidden window): the queue is kept short all the same.
        if (FQueued - FDone.load(std::memory_order_relaxed) > MaxBacklog) Settle();
    }

    bool Idle() const { return FDone.load(std::memory_order_acquire) == FQueued; }

    // After Settle: fresh lists count every row again, whatever failed before.
    void ForgetFailure() {
        const std::lock_guard Lock(FMutex);
        FFailed = false;
    }

    void Settle() {
        if (Idle()) return;
        std::unique_lock Lock(FMutex);
        FFlush = true;
        FWork.notify_one();
        FIdle.wait(Lock, [this] { return FDone.load(std::memory_order_relaxed) == FQueued; });
        FFlush = false;
    }

private:
    static constexpr size_t WakeRows = 256;
    static constexpr size_t MaxBacklog = 8192;

    void Run() {
        TQueuedRows Batch;
        std::unique_lock Lock(FMutex);
        while (true) {
            FWork.wait(Lock,
                       [this] { return FStop || FQueue.Count >= WakeRows || (FFlush && FQueue.Count > 0); });
            if (FStop) return;
            std::swap(Batch, FQueue);
            Lock.unlock();
            CountRows(Batch, FFailed);
            const size_t Counted = Batch.Count;
            Batch.Count = 0;
            Lock.lock();
            FDone.fetch_add(Counted, std::memory_order_release);
            FIdle.notify_all();
        }
    }

    std::mutex FMutex;
    std::condition_variable FWork;
    std::condition_variable FIdle;
    TQueuedRows FQueue;   // under FMutex
    bool FStop = false;   // under FMutex
    bool FFlush = false;  // under FMutex
    size_t FQueued = 0;   // main thread
    std::atomic<size_t> FDone{0};
    bool FFailed = false;  // worker thread, or under FMutex while the worker is idle
    std::thread FThread;
};

TConcordItems::~TConcordItems() = default;

void TConcordItems::SettleCollocates() const {
    if (FWorker) FWorker->Settle();
    if (FDeferred.Count > 0) {
        CountRows(FDeferred, FDeferredFailed);
        FDeferred.Count = 0;
    }
}

void TConcordItems::SetDeferCollocates(bool On) {
    SettleCollocates();
    FDefer = On;
    if (!On) FDeferred = TQueuedRows{};
}

void TConcordItems::CountDeferredCollocates() {
    SettleCollocates();
}

void TConcordItems::CountRows(TQueuedRows& Rows, bool& Failed) {
    for (size_t I = 0; I < Rows.Count; ++I) {
        TQueuedRow& Row = Rows.Rows[I];
        if (Failed) {
            LeaveRowUnranked(Row);
            continue;
        }
        try {
            CountAndRankRow(Row);
        } catch (...) {
            // Out of memory: this row and the later ones go unshaded rather than wrongly shaded.
            Failed = true;
            LeaveRowUnranked(Row);
        }
    }
}

void TConcordItems::CheckRow(int32_t I) const {
    if (I < 0 || I >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(I) + ")");
}

// ---- Rows --------------------------------------------------------------------------------------------

void TConcordItems::TRow::FreeItem(TConcordItem* Owned) {
    delete Owned;
}

uint32_t TConcordItems::TPassages::Add(const TPassageRow& Row) {
    Reserve();
    uint32_t Entry;
    if (FFree != NoEntry) {
        Entry = FFree;
        FFree = static_cast<uint32_t>((*this)[Entry].Sequence);
        --FFreeCount;
    } else {
        Entry = FMade++;
    }
    (*this)[Entry] = Row;
    return Entry;
}

void TConcordItems::TPassages::AddBlock() {
    if (FMade >= NoEntry - BlockSize) throw std::length_error("Too many passage rows.");
    FBlocks.push_back(std::make_unique<TPassageRow[]>(BlockSize));
}

void TConcordItems::TPassages::Free(uint32_t Entry) {
    (*this)[Entry].Sequence = static_cast<int32_t>(FFree);
    FFree = Entry;
    ++FFreeCount;
}

void TConcordItems::FreePassage(const TRow& Row) const {
    if (Row.IsPassage()) FPassages.Free(Row.PassageEntry());
}

void TConcordItems::CompactPassages() {
    TPassages Fresh;
    for (TRow& Row : FRows)
        if (Row.IsPassage()) Row = TRow::OfPassage(Fresh.Add(FPassages[Row.PassageEntry()]));
    FPassages = std::move(Fresh);
}

std::unique_ptr<TConcordItem> TConcordItems::TRow::TakeItem() {
    if (FBits & PassageBit) return nullptr;
    return std::unique_ptr<TConcordItem>(reinterpret_cast<TConcordItem*>(std::exchange(FBits, 0)));
}

bool TConcordItems::IsPassageOnly(const TConcordItem& Item, int32_t Language) {
    // One pass that the compiler can widen, rather than a test and a branch per value.
    const auto Zero = [](const auto& Values) {
        std::remove_cvref_t<decltype(*Values.begin())> Any = 0;
        for (const auto V : Values) Any |= V;
        return Any == 0;
    };
    return Item.Language == Language && Item.Texts.Empty() && Item.HitState == 0 && Item.HitStart == 0 &&
           Item.HitEnd == 0 && !Item.SortString() && Item.Runs().empty() && Item.SubItems().empty() &&
           Zero(Item.WordStarts) && Zero(Item.WordEnds) && Zero(Item.CollocRanks);
}

TConcordItem& TConcordItems::ItemAt(size_t I) const {
    TRow& Row = FRows[I];
    if (TConcordItem* Item = Row.Item()) return *Item;
    const TPassageRow& Passage = *PassageOf(Row);
    auto Item = std::make_unique<TConcordItem>(Language);
    CopyPassageFields(Passage, *Item);
    TConcordItem& Made = *Item;
    FreePassage(Row);
    Row = TRow(std::move(Item));
    return Made;
}

TConcordItem* TConcordItems::GetItem(int32_t I) const {
    SettleCollocates();
    CheckRow(I);
    return &ItemAt(static_cast<size_t>(I));
}

TConcordItem* TConcordItems::FindItem(int32_t I) const {
    SettleCollocates();
    CheckRow(I);
    return FRows[static_cast<size_t>(I)].Item();
}

TRowInfo TConcordItems::RowInfo(int32_t I) const {
    CheckRow(I);
    const TRow& Row = FRows[static_cast<size_t>(I)];
    TRowInfo Info;
    if (const TPassageRow* Passage = PassageOf(Row)) {
        CopyPassageFields(*Passage, Info);
        return Info;
    }
    // The collocate worker writes only an item's ranks, which these are not.
    const TConcordItem& Item = *Row.Item();
    CopyPassageFields(Item, Info);
    Info.HitStart = Item.HitStart;
    Info.HitState = Item.HitState;
    Info.Filled = Item.IsFilled();
    return Info;
}

void TConcordItems::SetLetter(int32_t I, uint8_t Letter) {
    CheckRow(I);
    TRow& Row = FRows[static_cast<size_t>(I)];
    if (TPassageRow* Passage = PassageOf(Row))
        Passage->Letter = Letter;
    else
        Row.Item()->Letter = Letter;
}

void TConcordItems::SetFileIndex(int32_t I, int32_t FileIndex) {
    CheckRow(I);
    TRow& Row = FRows[static_cast<size_t>(I)];
    if (TPassageRow* Passage = PassageOf(Row))
        Passage->FileIndex = FileIndex;
    else
        Row.Item()->FileIndex = FileIndex;
}

std::unique_ptr<TConcordItem> TConcordItems::Put(int32_t I, std::unique_ptr<TConcordItem> Item) {
    SettleCollocates();
    CheckRow(I);
    ItemAt(static_cast<size_t>(I));
    TRow Row(std::move(Item));
    std::swap(FRows[static_cast<size_t>(I)], Row);
    return Row.TakeItem();
}

void TConcordItems::Delete(int32_t I) {
    SettleCollocates();
    CheckRow(I);
    FreePassage(FRows[static_cast<size_t>(I)]);
    FRows.erase(FRows.begin() + I);
}

void TConcordItems::Exchange(int32_t I, int32_t J) {
    SettleCollocates();
    CheckRow(I);
    CheckRow(J);
    std::swap(FRows[static_cast<size_t>(I)], FRows[static_cast<size_t>(J)]);
}

int32_t TConcordItems::Add(std::unique_ptr<TConcordItem> Item) {
    if (IsPassageOnly(*Item, Language)) {
        TPassageRow Passage;
        CopyPassageFields(*Item, Passage);
        return AddPassageRow(Passage);
    }
    TConcordItem& Added = *Item;
    FRows.emplace_back(std::move(Item));
    if (HighlightCollocates) QueueCollocates(Added);
    return Count() - 1;
}

int32_t TConcordItems::AddPassage(int32_t FileIndex, int32_t AlignedStart, int32_t AlignedEnd) {
    TPassageRow Passage;
    Passage.Sequence = Count();
    Passage.FileIndex = FileIndex;
    Passage.AlignedStart = AlignedStart;
    Passage.AlignedEnd = AlignedEnd;
    Passage.AlignedLength = AlignedEnd - AlignedStart;
    return AddPassageRow(Passage);
}

int32_t TConcordItems::AddPassageRow(const TPassageRow& Passage) {
    const uint32_t Entry = FPassages.Add(Passage);
    try {
        FRows.push_back(TRow::OfPassage(Entry));
    } catch (...) {
        FPassages.Free(Entry);
        throw;
    }
    return Count() - 1;
}

void TConcordItems::ReserveRow() {
    if (FRows.size() == FRows.capacity()) FRows.reserve(std::max<size_t>(64, FRows.capacity() * 2));
    FPassages.Reserve();
}

void TConcordItems::DropLastRow() noexcept {
    try {
        SettleCollocates();
    } catch (...) {
        // Waiting cannot fail short of the process's end; the row is then left in place, not freed
        // under the worker.
        return;
    }
    if (FRows.empty()) return;
    FreePassage(FRows.back());
    FRows.pop_back();
}

int32_t TConcordItems::DeleteRows(const std::vector<bool>& Drop) {
    SettleCollocates();
    const size_t Rows = FRows.size();
    size_t Kept = 0;
    for (size_t R = 0; R < Rows; ++R) {
        if (R < Drop.size() && Drop[R]) continue;
        if (Kept != R) std::swap(FRows[Kept], FRows[R]);
        ++Kept;
    }
    // The dropped rows are all at the end now, where freeing them moves nothing.
    for (size_t R = Kept; R < Rows; ++R) FreePassage(FRows[R]);
    FRows.resize(Kept);
    // What most rows held goes back: the row array shrinks, and the passage rows left move together
    // (into no more room than the dropped ones freed).
    if (FRows.capacity() > 2 * Kept + MinRowsToShrink) FRows.shrink_to_fit();
    if (FPassages.Freed() > FPassages.Live() + MinRowsToShrink) CompactPassages();
    return static_cast<int32_t>(Rows - Kept);
}

void TGoneSequences::Add(int32_t Sequence) {
    if (Sequence < 0) return;
    const auto Word = static_cast<size_t>(Sequence) / 64;
    if (Word >= FBits.size()) FBits.resize(Word + 1);
    const uint64_t Bit = uint64_t(1) << (Sequence % 64);
    if (FBits[Word] & Bit) return;
    FBits[Word] |= Bit;
    ++FTotal;
    FCounted = false;
}

int32_t TGoneSequences::Below(int32_t Sequence) const {
    if (Sequence <= 0 || FTotal == 0) return 0;
    if (!FCounted) {
        FBefore.resize(FBits.size());
        int32_t Count = 0;
        for (size_t W = 0; W < FBits.size(); ++W) {
            FBefore[W] = Count;
            Count += std::popcount(FBits[W]);
        }
        FCounted = true;
    }
    const auto Word = static_cast<size_t>(Sequence) / 64;
    if (Word >= FBits.size()) return FTotal;
    const uint64_t Lower = (uint64_t(1) << (Sequence % 64)) - 1;
    return FBefore[Word] + std::popcount(FBits[Word] & Lower);
}

void TConcordItems::CloseSequenceGaps(const TGoneSequences& Gone) {
    SettleCollocates();
    if (Gone.Empty()) return;
    for (TRow& Row : FRows) {
        TPassageRow* Passage = PassageOf(Row);
        int32_t& Sequence = Passage ? Passage->Sequence : Row.Item()->Sequence;
        Sequence -= Gone.Below(Sequence);
    }
}

std::string TConcordItems::GetLineText(int32_t I) {
    try {
        SettleCollocates();
        CheckRow(I);
        TConcordItem& Item = ItemAt(static_cast<size_t>(I));
        TLineShading Shading;
        Shading.HitColour = HitColour;
        Shading.CollocColour = CollocColour;
        if (HighlightCollocates) {
            Shading.PosLo = PosLo;
            Shading.PosHi = PosHi;
            // A cancelled build leaves no lists: the lines then go unshaded.
            const TFreqList* Top = CollocList(PosLo);
            Shading.TopCount = Top ? Top->TopLimit() : 0;
        }
        const TCharTypes Visible =
            VisibleCharTypes(Display.SuppressNormalTags, Display.SuppressPOSTags, Display.SuppressWords);
        TSVFormatArray& Runs = Item.EditRuns().Edit();
        std::string Line = BuildDisplayLine(Item, Display, Shading, Visible, Runs);
        ConcealRuns(Line, Runs, Display.ConcealHits, Display.ConcealCollocates);
        return Line;
    } catch (const EFileOpenError& E) {
        // A removed or replaced file: the line says so rather than blaming memory.
        return E.what();
    } catch (...) {
        return LineFailedText;
    }
}

// ---- Sorting -----------------------------------------------------------------------------------------

// The comparison of one sort, with everything it reads from the configuration looked up once.
//
// Comparing items means reading words from two heap blocks per item. So that most comparisons read
// neither, the sort works on entries that hold, for each of the first keys, the first eight bytes of
// the key's word as the comparison sees them (mapped, skipping characters left out, from the end for
// Reverse) packed big-endian into one number. Unequal numbers order as the words do, since words hold
// no 0 byte; equal ones decide only when both words are complete in them. Otherwise, and for missing
// words, the items themselves are compared, so the result is that of the key rules in every case.
struct TConcordItems::TSorter {
    static constexpr size_t CachedKeys = 3;
    static constexpr uint8_t Present = 1;   // the entry holds the key's value
    static constexpr uint8_t Complete = 2;  // ... all of it

    struct TEntry {
        std::array<uint64_t, CachedKeys> Prefix{};
        std::array<uint8_t, CachedKeys> Flags{};
        // The row: an item, or a passage row (no texts, no tracked-tag value).
        const TConcordItem* Item = nullptr;
        const TPassageRow* Passage = nullptr;

        int32_t Sequence() const { return Item ? Item->Sequence : Passage->Sequence; }
        uint8_t Letter() const { return Item ? Item->Letter : Passage->Letter; }
        const std::string* SortString() const { return Item ? Item->SortString() : nullptr; }
        bool HasText(int Slot) const { return Item && Item->Texts.Has(Slot); }
        std::string_view Text(int Slot) const { return Item->Texts[Slot]; }
    };

    TAdvancedSortColItems Keys;
    const uint8_t* Map = nullptr;    // the case map when case is ignored, else the identity
    const TCharSet* Skip = nullptr;  // skipping characters left out of words, or none
    std::array<uint8_t, 256> Identity{};
    TCharSet SkipSet;
    std::vector<TEntry> Entries;  // parallel to the list's rows while the sort runs

    const TConcordItems& Owner;

    explicit TSorter(const TConcordItems& List) : Owner(List) {
        for (int C = 0; C < 256; ++C) Identity[static_cast<size_t>(C)] = static_cast<uint8_t>(C);
        Map = Identity.data();
        const TConcordConfig& Config = LangConfig(List.Language);
        if (CommonConfig && CommonConfig->IgnoreCase) Map = Config.LowerCaseMap.data();
        if (CommonConfig && CommonConfig->UseSkipEqualChars && !Config.SkippingChars.empty()) {
            SkipSet = CharSetOf(Config.SkippingChars);
            Skip = &SkipSet;
        }
        if (!List.AdvancedKeys.empty()) {
            Keys = List.AdvancedKeys;
        } else {
            for (const TAdvancedSortColItem& Key : List.SortKeys)
                if (Key.Key != skNone) Keys.push_back(Key);
        }
        Entries.resize(List.FRows.size());
        for (size_t I = 0; I < Entries.size(); ++I) Entries[I] = MakeEntry(List.FRows[I]);
    }

    bool Skipped(char C, const TCharSet* SkipSet) const {
        return SkipSet && (*SkipSet)[static_cast<unsigned char>(C)];
    }

    // The first eight bytes of W as compared, and whether nothing else of it is compared.
    uint64_t WordPrefix(std::string_view W, bool Reverse, const TCharSet* SkipSet, uint8_t& Flags) const {
        uint64_t Prefix = 0;
        int Taken = 0;
        size_t Rest = W.size();
        for (size_t K = 0; K < W.size(); ++K, --Rest) {
            const char C = Reverse ? W[W.size() - 1 - K] : W[K];
            if (Skipped(C, SkipSet)) continue;
            if (Taken == 8) break;
            Prefix |= static_cast<uint64_t>(Map[static_cast<unsigned char>(C)]) << (56 - 8 * Taken++);
        }
        Flags = Rest == 0 ? Present | Complete : Present;
        return Prefix;
    }

    TEntry MakeEntry(const TRow& Row) const {
        TEntry Entry;
        Entry.Item = Row.Item();
        Entry.Passage = Owner.PassageOf(Row);
        for (size_t K = 0; K < std::min(CachedKeys, Keys.size()); ++K) {
            const TAdvancedSortColItem& Key = Keys[K];
            uint8_t& Flags = Entry.Flags[K];
            uint64_t& Prefix = Entry.Prefix[K];
            switch (Key.Key) {
                case skOriginalOrder:
                    Prefix = static_cast<uint64_t>(static_cast<int64_t>(Entry.Sequence()) - INT32_MIN);
                    Flags = Present | Complete;
                    break;
                case skDefined:
                    Prefix = Entry.Letter();
                    Flags = Present | Complete;
                    break;
                case skNone:
                    Flags = Present | Complete;
                    break;
                case skTrackedTag:
                    if (const std::string* Value = Entry.SortString())
                        Prefix = WordPrefix(*Value, false, nullptr, Flags);
                    break;
                default:
                    if (Entry.HasText(Key.Key))
                        Prefix = WordPrefix(Entry.Text(Key.Key), Key.Reverse, Skip, Flags);
            }
        }
        return Entry;
    }

    // Byte order through Map from the first byte; a word that is the start of the other comes first.
    int Forward(std::string_view A, std::string_view B, const TCharSet* SkipSet) const {
        size_t I = 0, J = 0;
        for (;;) {
            while (I < A.size() && Skipped(A[I], SkipSet)) ++I;
            while (J < B.size() && Skipped(B[J], SkipSet)) ++J;
            const int CA = I < A.size() ? Map[static_cast<unsigned char>(A[I])] : -1;
            const int CB = J < B.size() ? Map[static_cast<unsigned char>(B[J])] : -1;
            if (CA != CB) return CA < CB ? -1 : 1;
            if (CA < 0) return 0;
            ++I;
            ++J;
        }
    }

    // The same from the last byte; a word that is the end of the other comes first.
    int Backward(std::string_view A, std::string_view B) const {
        size_t I = A.size(), J = B.size();
        for (;;) {
            while (I > 0 && Skipped(A[I - 1], Skip)) --I;
            while (J > 0 && Skipped(B[J - 1], Skip)) --J;
            if (I == 0 || J == 0) return I == J ? 0 : (I > 0 ? 1 : -1);
            const int CA = Map[static_cast<unsigned char>(A[--I])];
            const int CB = Map[static_cast<unsigned char>(B[--J])];
            if (CA != CB) return CA < CB ? -1 : 1;
        }
    }

    static int Order(int32_t A, int32_t B) { return A < B ? -1 : (A > B ? 1 : 0); }

    int CompareKey(const TEntry& A, const TEntry& B, const TAdvancedSortColItem& Key) const {
        switch (Key.Key) {
            case skOriginalOrder:
                return Order(A.Sequence(), B.Sequence());
            case skDefined:
                return Order(A.Letter(), B.Letter());
            case skTrackedTag: {
                const std::string *ValueA = A.SortString(), *ValueB = B.SortString();
                if (ValueA && ValueB) return Forward(*ValueA, *ValueB, nullptr);
                return Order(ValueA != nullptr, ValueB != nullptr);
            }
            case skNone:
                return 0;
            default: {
                const int Slot = Key.Key;
                const bool HasA = A.HasText(Slot), HasB = B.HasText(Slot);
                if (HasA && HasB)
                    return Key.Reverse ? Backward(A.Text(Slot), B.Text(Slot))
                                       : Forward(A.Text(Slot), B.Text(Slot), Skip);
                return Order(HasB, HasA);
            }
        }
    }

    int Compare(const TEntry& A, const TEntry& B) const {
        for (size_t K = 0; K < Keys.size(); ++K) {
            if (K < CachedKeys && (A.Flags[K] & B.Flags[K] & Present)) {
                if (A.Prefix[K] != B.Prefix[K]) return A.Prefix[K] < B.Prefix[K] ? -1 : 1;
                if (A.Flags[K] & B.Flags[K] & Complete) continue;
            }
            if (const int Result = CompareKey(A, B, Keys[K])) return Result;
        }
        return 0;
    }
};

// Hoare's quicksort with the middle item as pivot. The smaller part is sorted first by recursion and
// the larger one by the loop, which keeps the stack shallow; the parts are disjoint, so the order in
// which they are sorted changes neither the result nor the exchanges made within each.
void TConcordItems::QuickSort(TSorter& Sorter, int32_t L, int32_t R) {
    std::vector<TSorter::TEntry>& Entries = Sorter.Entries;
    auto Entry = [&Entries](int32_t K) -> const TSorter::TEntry& { return Entries[static_cast<size_t>(K)]; };
    while (L < R) {
        int32_t I = L, J = R;
        const TSorter::TEntry Pivot = Entry(L + (R - L) / 2);
        do {
            while (Sorter.Compare(Entry(I), Pivot) < 0) ++I;
            while (Sorter.Compare(Entry(J), Pivot) > 0) --J;
            if (I <= J) {
                if (OnSwap) OnSwap(I, J);
                std::swap(FRows[static_cast<size_t>(I)], FRows[static_cast<size_t>(J)]);
                std::swap(Entries[static_cast<size_t>(I)], Entries[static_cast<size_t>(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (J - L < R - I) {
            if (L < J) QuickSort(Sorter, L, J);
            L = I;
        } else {
            if (I < R) QuickSort(Sorter, I, R);
            R = J;
        }
    }
}

void TConcordItems::SortBy(const TAdvancedSortColOptions& Spec, const TAdvancedSortColItems* Advanced,
                           TSwapEvent Swap) {
    SettleCollocates();
    if (Count() < 2) return;
    SortKeys = Spec.Keys;
    AdvancedKeys = Advanced ? *Advanced : TAdvancedSortColItems();
    OnSwap = std::move(Swap);

    auto IsTag = [](const TAdvancedSortColItem& Key) { return Key.Key == skTrackedTag; };
    const bool TagKey = std::any_of(SortKeys.begin(), SortKeys.end(), IsTag) ||
                        std::any_of(AdvancedKeys.begin(), AdvancedKeys.end(), IsTag);
    if (TagKey && !Spec.TrackedTag.empty()) {
        const auto Found = std::find_if(WatchedTags.begin(), WatchedTags.end(),
                                        [&](const TWatchedTag& Tag) { return Tag.Name == Spec.TrackedTag; });
        const int32_t Index =
            Found == WatchedTags.end() ? -1 : static_cast<int32_t>(Found - WatchedTags.begin());
        if (Index != TrackedTagIndex) {
            // Values of another tag must not stay behind to be sorted on.
            if (Index < 0) {
                ClearSortStrings();
            } else {
                TrackedTagIndex = Index;
                FillSortStrings();
            }
        }
    }
    TSorter Sorter(*this);
    QuickSort(Sorter, 0, Count() - 1);
}

void TConcordItems::ClearSortStrings() {
    SettleCollocates();
    for (TRow& Row : FRows)
        if (TConcordItem* Item = Row.Item()) Item->ResetSortString();
    TrackedTagIndex = -1;
}

void TConcordItems::FillSortStrings() {
    SettleCollocates();
    if (TrackedTagIndex < 0) return;
    for (size_t I = 0; I < FRows.size(); ++I) {
        TConcordItem* Item = FRows[I].Item();
        if (!Item && PassageOf(FRows[I])->FileIndex < 0) continue;
        if (Item && Item->FileIndex < 0) {
            Item->ResetSortString();
            continue;
        }
        // A passage row of a file has a value too: it becomes an item to hold it.
        Item = &ItemAt(I);
        Item->SetSortString(GetTrackedTagValue(Language, Item->FileIndex, Item->HitStart, TrackedTagIndex));
    }
}

// ---- Collocates --------------------------------------------------------------------------------------

TFreqList* TConcordItems::CollocList(int Position) const {
    SettleCollocates();
    return ListAt(Position);
}

TFreqList* TConcordItems::ListAt(int Position) const {
    if (Position < 1 || Position > CollocatePositionCount) return nullptr;
    return FCollocLists[static_cast<size_t>(Position - 1)].get();
}

void TConcordItems::SetHighlightCollocates(bool On) {
    SettleCollocates();
    if (On == HighlightCollocates) return;
    const TFrequencyConfig& Frequency = FrequencyConfigs.at(static_cast<size_t>(Language));
    const int Span = std::clamp(Frequency.CollocateSpan, 1, 4);
    const auto Lo = static_cast<uint8_t>(5 - Span);
    const auto Hi = static_cast<uint8_t>(4 + Span);
    HighlightCollocates = On;
    if (!On) return;
    if (CollocateListsReady(Lo, Hi)) {
        for (int P = Lo; P <= Hi; ++P) CollocList(P)->SetTopLimit(Frequency.CollocHighLightTop);
        RankAllCollocates();
    } else {
        // Whoever shows a list sorts it first, and a search that turns shading on goes on counting into
        // the lists at once: sorting them here would only cost the search their buckets.
        BuildLists(Lo, Hi, nullptr, false);
    }
}

void TConcordItems::InitCollocateLists(uint8_t Lo, uint8_t Hi) {
    SettleCollocates();
    FDeferredFailed = false;
    if (FWorker) FWorker->ForgetFailure();
    if (Lo < 1 || Hi > CollocatePositionCount || Lo > Hi)
        throw std::out_of_range("Collocate positions " + std::to_string(Lo) + ".." + std::to_string(Hi));
    PosLo = Lo;
    PosHi = Hi;
    const int32_t Top =
        HighlightCollocates ? FrequencyConfigs.at(static_cast<size_t>(Language)).CollocHighLightTop : 0;
    for (int P = Lo; P <= Hi; ++P) {
        std::unique_ptr<TFreqList>& List = FCollocLists[static_cast<size_t>(P - 1)];
        if (List)
            List->Clear();
        else
            List = std::make_unique<TFreqList>(Language);
        List->SetTopLimit(Top);
    }
}

void TConcordItems::BuildCollocateLists(uint8_t Lo, uint8_t Hi, TProgressForm* Progress) {
    BuildLists(Lo, Hi, Progress, true);
}

void TConcordItems::BuildLists(uint8_t Lo, uint8_t Hi, TProgressForm* Progress, bool Sorted) {
    try {
        InitCollocateLists(Lo, Hi);
        const int Start = Progress ? Progress->Progress() : 0;
        for (int32_t I = 0; I < Count(); ++I) {
            if (Progress && I % 256 == 0) {
                Progress->SetProgress(Start + I);
                ProcessMessages();
                if (Progress->Tag != 0) Abort();
            }
            // A passage row has no words to count.
            if (const TConcordItem* Item = FRows[static_cast<size_t>(I)].Item()) CountItemCollocates(*Item);
        }
        if (Progress) Progress->SetProgress(Start + Count() - 1);
        RankAllCollocates();
        if (Sorted)
            for (int P = Lo; P <= Hi; ++P) CollocList(P)->SortByFrequency();
    } catch (const EAbort&) {
        FreeCollocateLists();
    } catch (const std::exception& E) {
        FreeCollocateLists();
        ShowError(E.what());
    }
}

bool TConcordItems::CollocateListsReady(uint8_t Lo, uint8_t Hi) const {
    SettleCollocates();
    if (Lo != PosLo || Hi != PosHi) return false;
    for (int P = Lo; P <= Hi; ++P)
        if (!CollocList(P)) return false;
    return true;
}

void TConcordItems::CountItemCollocates(const TConcordItem& Item) {
    SettleCollocates();
    const TStopList& Stop = LangConfig(Language).StopList;
    for (int P = PosLo; P <= PosHi; ++P) {
        TFreqList* List = CollocList(P);
        if (!List || !Item.Texts.Has(P)) continue;
        const std::string_view Word = Item.Texts[P];
        if (!Stop.IsStopWord(Word)) List->AddWord(Word);
    }
}

uint8_t TConcordItems::CollocateRank(const TFreqList& List, const TFreqItem* Found) {
    if (!Found || Found->Frequency <= 1) return Unranked;
    const int32_t Index = List.TopIndexOf(Found->Frequency);
    return Index >= 0 ? static_cast<uint8_t>(Index) : Unranked;
}

void TConcordItems::RankItemCollocates(TConcordItem& Item) const {
    SettleCollocates();
    for (int P = PosLo; P <= PosHi; ++P) {
        const TFreqList* List = CollocList(P);
        if (!List || !Item.Texts.Has(P)) continue;
        const std::string_view Word = Item.Texts[P];
        const TFreqItem* Found =
            List->FindWord(List->IgnoreCase() ? LangLowerCase(Word, Language) : std::string(Word));
        Item.CollocRanks[static_cast<size_t>(P)] = CollocateRank(*List, Found);
    }
}

void TConcordItems::QueueCollocates(TConcordItem& Item) {
    bool Any = false;
    for (int P = PosLo; P <= PosHi && !Any; ++P) Any = ListAt(P) && Item.Texts.Has(P);
    if (!Any) return;
    const auto Fill = [&](TQueuedRow& Row) { FillQueuedRow(Item, Row); };
    if (FDefer) {
        if (FDeferred.Count >= DeferredRowsMax) SettleCollocates();
        FDeferred.Add(Fill);
        return;
    }
    if (!FWorker) {
        auto Worker = std::make_unique<TCollocWorker>();
        if (Worker->Start()) FWorker = std::move(Worker);
    }
    if (FWorker) {
        FWorker->Queue(Fill);
    } else {
        TQueuedRows Now;
        Now.Add(Fill);
        CountRows(Now, FDeferredFailed);
    }
}

void TConcordItems::FillQueuedRow(TConcordItem& Item, TQueuedRow& Row) const {
    Row.Item = &Item;
    Row.Count = 0;
    const TConcordConfig& Config = LangConfig(Language);
    const uint8_t* Fold = Config.LowerCaseMap.data();
    for (int P = PosLo; P <= PosHi; ++P) {
        TFreqList* List = ListAt(P);
        if (!List || !Item.Texts.Has(P)) continue;
        const std::string_view Word = Item.Texts[P];
        const size_t At = Row.Count;
        Row.Positions[At] = static_cast<uint8_t>(P);
        Row.Lists[At] = List;
        Row.Stop[At] = Config.StopList.IsStopWord(Word);
        std::string& Key = Row.Keys[At];
        if (List->IgnoreCase()) {
            // Folded as it is copied: one pass over the word.
            Key.resize(Word.size());
            char* Out = Key.data();
            for (size_t I = 0; I < Word.size(); ++I)
                Out[I] = static_cast<char>(Fold[static_cast<uint8_t>(Word[I])]);
        } else {
            Key.assign(Word);
        }
        Row.Count = At + 1;
    }
}

// CountItemCollocates then RankItemCollocates, as one pass per step over the row's positions: the
// lists are large and seldom in the cache, and the row would otherwise wait for memory twice per
// position, one position after another.
void TConcordItems::CountAndRankRow(TQueuedRow& Row) {
    const size_t Count = Row.Count;
    std::array<TFreqItem*, CollocatePositionCount> Found;
    std::array<TFreqList::TKey, CollocatePositionCount> Keys;
    // Every fetch that does not depend on another is started before the first wait.
    for (size_t I = 0; I < Count; ++I) Row.Lists[I]->PrefetchHead();
    for (size_t I = 0; I < Count; ++I) {
        Keys[I] = TFreqList::KeyOf(Row.Keys[I]);
        Row.Lists[I]->PrefetchWord(Keys[I]);
    }
    for (size_t I = 0; I < Count; ++I) {
        Found[I] = Row.Lists[I]->FindWord(Keys[I]);
        if (Found[I])
            __builtin_prefetch(Found[I], 1);
        else
            Row.Lists[I]->PrefetchNewWord(Keys[I]);
    }
    for (size_t I = 0; I < Count; ++I) {
        if (Row.Stop[I]) continue;
        if (Found[I])
            Row.Lists[I]->CountItem(*Found[I], 1);
        else
            Found[I] = Row.Lists[I]->AddNewWord(Keys[I]);
    }
    for (size_t I = 0; I < Count; ++I)
        Row.Item->CollocRanks[Row.Positions[I]] = CollocateRank(*Row.Lists[I], Found[I]);
}

void TConcordItems::LeaveRowUnranked(TQueuedRow& Row) {
    for (size_t I = 0; I < Row.Count; ++I) Row.Item->CollocRanks[Row.Positions[I]] = Unranked;
}

void TConcordItems::RankAllCollocates() {
    SettleCollocates();
    for (TRow& Row : FRows)
        if (TConcordItem* Item = Row.Item()) RankItemCollocates(*Item);
}

void TConcordItems::FreeCollocateLists() {
    SettleCollocates();
    for (auto& List : FCollocLists) List.reset();
}

// ---- The lists as strings ----------------------------------------------------------------------------

void TConcordStrings::Clear() {
    throw EConcError("\"Clear\" is unsupported method for TConcordStrings");
}

void TConcordStrings::Insert(int, const std::string&) {
    throw EConcError("\"Insert\" is unsupported method for TConcordStrings");
}

std::string TTessivorordStrings::GetTranslationText(int Index) const {
    // A passage row is read as it is: showing it must not make it an item.
    const TRowInfo Item = FItems.RowInfo(Index);
    if (Item.Filled) return FItems.GetLineText(Index);
    if (Item.AlignedStart < 0 || Item.AlignedEnd < 0) return "N/A";
    try {
        TBufStream& Reader = FileReader(Language, Item.FileIndex);
        ConfigureBufStream(Reader);
        Reader.ResetTagState();
        const TConcordDisplay& Display = FItems.Display;
        // The view takes the item's runs for the row: a passage has none, and must not wipe them.
        TSVFormatArray Scratch;
        TLineBuildArgs Args;
        Args.Language = Language;
        Args.Reader = &Reader;
        Args.FileIndex = Item.FileIndex;
        Args.AlignedEnd = Item.AlignedEnd;
        Args.AlignedStart = Item.AlignedStart;
        Args.HitColour = FItems.HitColour;
        Args.Runs = &Scratch;
        Args.VisibleTypes =
            VisibleCharTypes(Display.SuppressNormalTags, Display.SuppressPOSTags, Display.SuppressWords);
        Args.ContextType = ctxSegment;
        return BuildConcordLine(Args);
    } catch (const EFileOpenError& E) {
        return E.what();
    } catch (...) {
        return LineFailedText;
    }
}
