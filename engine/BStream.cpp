#include "engine/BStream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"
#include "engine/ConcTextProcess.h"
#include "engine/ContentSum.h"
#include "platform/Nls.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char kLF = 10;
constexpr unsigned char kCR = 13;
constexpr unsigned char kBlank = 32;

bool IsLineEndOrBlank(unsigned char C) {
    return C == kLF || C == kCR || C == kBlank;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Construction and settings

TBufStream::TBufStream(TSynchroStream& Source, int Language, const TCharSet& WordEndSet, int CodePage)
    : FSource(Source), FLanguage(Language), FBuffer(new char[BufferSize + 1]), FWordEndSet(WordEndSet) {
    FBuffer[0] = 0;
    if (CodePage != 0) {
        const platform::TCodePageTables& tables = platform::CodePageTables(CodePage);
        if (tables.DoubleByte) {
            FLeadBytes = &tables.LeadByte;
            FDoubleByte = true;
        }
    }
    UpdateSlowNext();
    FRangeEnd = FSource.GetSize();
    RebuildClassTable();
    FWindowOffset = 0;
    FillBuffer(0);
}

TBufStream::TBufStream(TSynchroStream& Source, int Language)
    : TBufStream(Source, Language, NonWordCharSet(Language), LangCodePage(Language)) {}

void TBufStream::Configure(const TBufStreamTags& Tags) {
    FTags.TagStart = Tags.TagStart;
    FTags.WordTagMode = Tags.WordTagMode;
    FTags.POSSeparator = Tags.POSSeparator;
    SetTagStop(Tags.TagStop);
    SetPOSTagStop(Tags.POSTagStop);
    SetPOSTagStarts(Tags.POSTagStarts);
}

void TBufStream::SetTagStart(char C) {
    FTags.TagStart = C;
    RebuildClassTable();
}

TCharSet TBufStream::ClosingSet(char C) {
    TCharSet set;
    if (C == '#') {
        set.set(kLF).set(kCR).set(kBlank);
    } else {
        set.set(static_cast<unsigned char>(C));
    }
    return set;
}

void TBufStream::SetTagStop(char C) {
    FTags.TagStop = C;
    FTagStopSet = ClosingSet(C);
    RememberTagBytes();
}

// The bytes a lead-in looks back for; what was learnt of the file under other settings is forgotten.
void TBufStream::RememberTagBytes() {
    FTagByteCount = 0;
    auto add = [this](char C) {
        if (std::find(FTagBytes, FTagBytes + FTagByteCount, C) == FTagBytes + FTagByteCount)
            FTagBytes[FTagByteCount++] = C;
    };
    if (FTags.TagStart != 0) add(FTags.TagStart);
    for (int c = 0; c < 256; ++c)
        if (FTagStopSet[static_cast<size_t>(c)]) add(static_cast<char>(c));
    FQuietFrom = FQuietTo = 0;
}

void TBufStream::SetWordTagMode(uint8_t Mode) {
    FTags.WordTagMode = Mode;
    RebuildClassTable();
}

void TBufStream::SetPOSTagStarts(const std::vector<std::string>& List) {
    FTags.POSTagStarts = List;
    FPOSStartChars.reset();
    for (const std::string& start : List) {
        if (!start.empty()) FPOSStartChars.set(static_cast<unsigned char>(start[0]));
    }
    RebuildClassTable();
}

void TBufStream::SetPOSTagStop(char C) {
    FTags.POSTagStop = C;
    FPOSTagStopSet = ClosingSet(C);
}

void TBufStream::SetPOSSeparator(char C) {
    FTags.POSSeparator = C;
    RebuildClassTable();
}

// ---------------------------------------------------------------------------------------------------
// Classification

TCharType TBufStream::ClassifyDelimiter(unsigned char P, unsigned char C) {
    if (C == kBlank) return ctWhiteSpace;
    if (C == kCR) return ctNewLine;
    // A CR LF pair is one line break, counted on the CR.
    if (C == kLF) return P == kCR ? ctWhiteSpace : ctNewLine;
    return ctDelimiter;
}

uint8_t TBufStream::FallbackCode(unsigned char C) const {
    if (FTags.TagStart != 0 && C == static_cast<unsigned char>(FTags.TagStart)) return ckTagStart;
    if (!FWordEndSet[C]) return ctWord;
    // Only the line feed depends on the byte before it.
    if (C == kLF) return ckLF;
    return ClassifyDelimiter(0, C);
}

// The table folds the fixed order of the rules outside tags (mode-1 separator, mode-2 start string,
// tag start, word end, word) into one lookup per byte.
void TBufStream::RebuildClassTable() {
    const auto separator = static_cast<unsigned char>(FTags.POSSeparator);
    for (int c = 0; c < 256; ++c) {
        if (FTags.WordTagMode == 1 && separator != 0 && c == separator) {
            FClass[c] = ckSeparator;
        } else if (FTags.WordTagMode == 2 && FPOSStartChars[c]) {
            FClass[c] = ckPOSStart;
        } else {
            FClass[c] = FallbackCode(static_cast<unsigned char>(c));
        }
    }
    RememberTagBytes();
}

template <class TMatch, class TTagEnd>
TCharType TBufStream::Classify(unsigned char C, unsigned char P, TTagState& State, TMatch&& MatchStart,
                               TTagEnd&& TagEndFollows) {
    if (State.InPOSTag) {
        if (FTags.WordTagMode == 1) {
            // "word_NN</s>": the tag start ends a word tag and opens a tag even when the language does
            // not count it among its word ends, so the tag is still seen.
            if (FTags.TagStart != 0 && C == static_cast<unsigned char>(FTags.TagStart)) {
                State.InPOSTag = false;
                State.InTag = TagEndFollows();
                return State.InTag ? ctTag : ctDelimiter;
            }
            if (!EndsWordTag(C)) return ctPOSTag;
            State.InPOSTag = false;
            return ClassifyDelimiter(P, C);
        }
        if (State.PendingPOSBytes > 0) {
            --State.PendingPOSBytes;
            return ctPOSTag;
        }
        if (FPOSTagStopSet[C]) State.InPOSTag = false;
        return ctPOSTag;
    }
    if (State.InTag) {
        if (FTagStopSet[C]) State.InTag = false;
        return ctTag;
    }
    uint8_t code = FClass[C];
    if (code == ckPOSStart) {
        int32_t length = MatchStart();
        if (length > 0) {
            FPOSStartLength = length;
            State.InPOSTag = true;
            State.PendingPOSBytes = length - 1;
            return ctPOSTag;
        }
        code = FallbackCode(C);
    }
    switch (code) {
        case ckLF:
            return ClassifyDelimiter(P, C);
        case ckTagStart:
            State.InTag = TagEndFollows();
            return State.InTag ? ctTag : ctDelimiter;
        case ckSeparator:
            State.InPOSTag = true;
            return ctPOSTag;
        default:
            return static_cast<TCharType>(code);
    }
}

template <class TMatch, class TTagEnd>
TCharType TBufStream::ClassifyPaired(unsigned char C, unsigned char P, TTagState& State, TMatch&& MatchStart,
                                     TTagEnd&& TagEndFollows) {
    if (State.Trail != ctNone) {
        const TCharType lead = State.Trail;
        State.Trail = ctNone;
        if (C >= FirstTrailByte) {
            // A start string that ends on a lead byte has its trail byte still to come.
            if (State.PendingPOSBytes > 0) --State.PendingPOSBytes;
            return lead;
        }
    }
    const TCharType type = Classify(C, P, State, MatchStart, TagEndFollows);
    if ((*FLeadBytes)[C]) State.Trail = type;
    return type;
}

TCharType TBufStream::LeadClass(unsigned char Lead, TTagState State) {
    State.Trail = ctNone;
    return Classify(
        Lead, 0, State, [] { return 0; }, [] { return false; });
}

TCharType TBufStream::ClassifyAtCursor(unsigned char C) {
    const unsigned char previous = FCurrent > 0 ? static_cast<unsigned char>(FBuffer[FCurrent - 1]) : 0;
    return Classify(
        C, previous, FTagState, [this] { return MatchPOSTagStart(); },
        [this] {
            return TagEndWithin(FBuffer.get() + FCurrent, FCount - FCurrent, FWindowOffset + FCurrent);
        });
}

// Text holds the tag-start byte at file offset At and Available bytes from it on; the file is read
// past them when the tag's longest extent does not fit.
bool TBufStream::TagEndWithin(const char* Text, int32_t Available, int32_t At) {
    if (FDoubleByte) return PairedTagEndWithin(Text, Available, At);
    const int32_t inText = std::min(Available, MaxTagLength);
    for (int32_t i = 1; i < inText; ++i)
        if (FTagStopSet[static_cast<unsigned char>(Text[i])]) return true;
    if (Available >= MaxTagLength) return false;
    const int32_t more = MaxTagLength - std::max(Available, 1);
    int32_t position = At + std::max(Available, 1);
    FLookAhead.resize(static_cast<size_t>(MaxTagLength));
    const int32_t got = FSource.ReadAt(FLookAhead.data(), more, position);
    for (int32_t i = 0; i < got; ++i)
        if (FTagStopSet[static_cast<unsigned char>(BlankIfZero(FLookAhead[static_cast<size_t>(i)]))])
            return true;
    return false;
}

// The bytes of the tag are gathered first so that they pair up in one pass: a trail byte that looks
// like the closing byte ("]" in 0x815D) closes nothing.
bool TBufStream::PairedTagEndWithin(const char* Text, int32_t Available, int32_t At) {
    const int32_t inText = std::max(std::min(Available, MaxTagLength), 1);
    FLookAhead.assign(Text, Text + inText);
    if (inText < MaxTagLength) {
        int32_t position = At + inText;
        FLookAhead.resize(static_cast<size_t>(MaxTagLength));
        const int32_t got = FSource.ReadAt(FLookAhead.data() + inText, MaxTagLength - inText, position);
        FLookAhead.resize(static_cast<size_t>(inText + std::max(got, 0)));
    }
    bool trail = false;
    for (size_t i = 1; i < FLookAhead.size(); ++i) {
        const auto c = static_cast<unsigned char>(BlankIfZero(FLookAhead[i]));
        if (trail && c >= FirstTrailByte) {
            trail = false;
            continue;
        }
        if (FTagStopSet[c]) return true;
        trail = (*FLeadBytes)[c];
    }
    return false;
}

int32_t TBufStream::MatchPOSTagStartIn(const char* Text, int32_t Available) const {
    for (const std::string& start : FTags.POSTagStarts) {
        const auto length = static_cast<int32_t>(start.size());
        if (length > 0 && length <= Available && std::memcmp(Text, start.data(), start.size()) == 0) {
            return length;
        }
    }
    return 0;
}

int32_t TBufStream::MatchPOSTagStart() {
    for (const std::string& start : FTags.POSTagStarts) {
        const auto length = static_cast<int32_t>(start.size());
        if (length == 0 || !EnsureAvailable(length)) continue;
        if (std::memcmp(FBuffer.get() + FCurrent, start.data(), start.size()) == 0) return length;
    }
    return 0;
}

// The tag state decides the class a trail byte under the cursor takes from its lead byte, so in a
// double-byte code page the pairing is found afresh after a change of it.
void TBufStream::ResetTagState() {
    FTagState = TTagState();
    FTrailUnknown = FDoubleByte;
}

void TBufStream::SetTagState(TCharType T) {
    FTagState = TTagState();
    FTagState.InTag = T == ctTag;
    FTagState.InPOSTag = T == ctPOSTag;
    FTrailUnknown = FDoubleByte;
}

bool TBufStream::TrailByteAt(int32_t Offset) {
    if (Offset <= 0) return false;
    const int32_t index = Offset - FWindowOffset;
    if (FWindowOffset < 0 || index <= 0 || index >= FCount) {
        int32_t position = Offset;
        char c = 0;
        if (FSource.ReadAt(&c, 1, position) != 1) return false;
        return IsTrailByte(LeadByteRunBefore(FSource, Offset, *FLeadBytes), static_cast<unsigned char>(c));
    }
    // Counted in the window as far as it goes: the run is nearly always short.
    int32_t run = 0;
    int32_t i = index - 1;
    while (i >= 0 && (*FLeadBytes)[static_cast<unsigned char>(FBuffer[i])]) {
        ++run;
        --i;
    }
    if (i < 0 && FWindowOffset > 0) run += LeadByteRunBefore(FSource, FWindowOffset, *FLeadBytes);
    return IsTrailByte(run, static_cast<unsigned char>(FBuffer[index]));
}

void TBufStream::ResolveTrail() {
    FTrailUnknown = false;
    FTagState.Trail = ctNone;
    const int32_t position = GetPosition();
    if (!TrailByteAt(position)) return;
    // The lead byte is in the window or just before it.
    const int32_t index = position - 1 - FWindowOffset;
    char lead = 0;
    if (index >= 0) {
        lead = FBuffer[index];
    } else {
        int32_t at = position - 1;
        FSource.ReadAt(&lead, 1, at);
    }
    FTagState.Trail = LeadClass(static_cast<unsigned char>(BlankIfZero(lead)), FTagState);
}

// ---------------------------------------------------------------------------------------------------
// Window management

void TBufStream::UpdateLimit() {
    if (FWindowOffset < 0) {
        FLimit = 0;
        return;
    }
    const int64_t toRangeEnd = static_cast<int64_t>(FRangeEnd) - FWindowOffset;
    FLimit = static_cast<int32_t>(std::clamp<int64_t>(toRangeEnd, 0, FCount));
}

// The window's first Kept bytes are valid; reads behind them up to the window's size (past the range
// end too, up to the file end) and stores the 0 terminator.
void TBufStream::FillBuffer(int32_t Kept) {
    FReadPosition = FWindowOffset + Kept;
    // The window is filled past the range's end: searches limit the reader to one short range after
    // another, and the next range then usually lies in the window already.
    const auto amount = BufferSize - Kept;
    int32_t got = 0;
    if (amount > 0) got = FSource.ReadAt(FBuffer.get() + Kept, amount, FReadPosition);
    if (FSum) FSum->AddAt(FWindowOffset + Kept, FBuffer.get() + Kept, got);
    BlankZeroBytes(FBuffer.get() + Kept, got);
    FAtFileEnd = got < amount;
    FCount = Kept + got;
    FBuffer[FCount] = 0;
    UpdateLimit();
}

void TBufStream::SumContent(TContentSum* Sum) {
    FSum = Sum;
    // The window in place had its 0 bytes blanked: the sum takes the file's own bytes.
    if (FSum && FWindowOffset >= 0) FillBuffer(0);
}

void TBufStream::SetPosition(int32_t Offset) {
    if (Offset < 0) {
        FWindowOffset = -1;
        FCurrent = 0;
        FCount = 0;
        FBuffer[0] = 0;
        UpdateLimit();
        return;
    }
    FTrailUnknown = FDoubleByte;
    // Nothing before the range is handed out, forwards or backwards.
    Offset = std::max(Offset, FRangeStart);
    if (FWindowOffset >= 0 && Offset >= FWindowOffset && Offset - FWindowOffset <= FCount) {
        FCurrent = Offset - FWindowOffset;
        return;
    }
    FWindowOffset = std::max(0, Offset - KeepBehind);
    FCurrent = Offset - FWindowOffset;
    FillBuffer(0);
}

void TBufStream::SetRange(int32_t Start, int32_t Stop) {
    FRangeStart = Start;
    FRangeEnd = Stop;
    FClassified = false;
    UpdateSlowNext();
    FCharTypes.clear();
    ResetTagState();
    UpdateLimit();
    SetPosition(Start);
}

// Makes N bytes from the cursor available. When they are not in the window it moves on: up to 256
// bytes in front of the cursor (fewer when N needs the room) and everything unread go to the front,
// and the window is filled behind them; the cursor keeps its place in the text.
bool TBufStream::EnsureAvailable(int32_t N) {
    if (FWindowOffset < 0 || N < 0) return false;
    if (static_cast<int64_t>(FWindowOffset) + FCurrent + N > FRangeEnd) return false;
    if (FCurrent + N <= FLimit) return true;
    if (N > BufferSize || FAtFileEnd || FCurrent > FCount) return false;
    const int32_t keep = std::min({KeepBehind, FCurrent, BufferSize - N});
    const int32_t front = FCurrent - keep;
    if (front > 0) {
        std::memmove(FBuffer.get(), FBuffer.get() + front, static_cast<size_t>(FCount - front));
        FWindowOffset += front;
        FCount -= front;
        FCurrent = keep;
    }
    FillBuffer(FCount);
    return FCurrent + N <= FLimit;
}

// ---------------------------------------------------------------------------------------------------
// Reading

char TBufStream::ReadPrevByte() {
    if (FWindowOffset < 0) return 0;
    FTrailUnknown = FDoubleByte;
    const int32_t target = GetPosition() - 1;
    if (target < FRangeStart || target >= FRangeEnd) return 0;
    if (target < FWindowOffset || target >= FWindowOffset + FCount) {
        SetPosition(target);
        if (target >= FWindowOffset + FCount) return 0;
    } else {
        FCurrent = target - FWindowOffset;
    }
    return FBuffer[FCurrent];
}

char TBufStream::NextClassifiedChar(TCharType& T) {
    const int64_t index = static_cast<int64_t>(GetPosition()) - FRangeStart;
    if (FWindowOffset < 0 || index < 0 || index >= static_cast<int64_t>(FCharTypes.size())) {
        T = ctDelimiter;
        return 0;
    }
    const char c = ReadByte();
    T = c == 0 ? ctDelimiter : FCharTypes[static_cast<size_t>(index)];
    return c;
}

char TBufStream::NextSlowChar(TCharType& T) {
    return FClassified ? NextClassifiedChar(T) : NextPairedChar(T);
}

char TBufStream::NextPairedChar(TCharType& T) {
    if (FCurrent >= FLimit && !EnsureAvailable(1)) {
        T = ctNone;
        return 0;
    }
    const auto c = static_cast<unsigned char>(FBuffer[FCurrent]);
    if (c == 0) {
        T = ctNone;
        return 0;
    }
    if (FTrailUnknown) ResolveTrail();
    const unsigned char previous = FCurrent > 0 ? static_cast<unsigned char>(FBuffer[FCurrent - 1]) : 0;
    T = ClassifyPaired(
        c, previous, FTagState, [this] { return MatchPOSTagStart(); },
        [this] { return TagEndWithin(FBuffer.get() + FCurrent, FCount - FCurrent, GetPosition()); });
    ++FCurrent;
    return static_cast<char>(c);
}

char TBufStream::PrevChar(TCharType& T) {
    if (!FClassified) {
        T = ctNone;
        return 0;
    }
    const char c = ReadPrevByte();
    const int64_t index = static_cast<int64_t>(GetPosition()) - FRangeStart;
    if (c == 0 || index < 0 || index >= static_cast<int64_t>(FCharTypes.size())) {
        T = ctDelimiter;
        return 0;
    }
    T = FCharTypes[static_cast<size_t>(index)];
    return c;
}

std::string_view TBufStream::NextWord() {
    TCharType type = ctNone;
    char c;
    do {
        c = NextChar(type);
        // The piece of a word that began before a classified range is no word of the range.
        if (c != 0 && type == ctWord && FClassified && FStartsInWord && GetPosition() - 1 == FRangeStart) {
            while (c != 0 && type == ctWord) c = NextChar(type);
        }
    } while (c != 0 && type != ctWord);
    if (c == 0) {
        FWordStart = FWordEnd = GetPosition();
        FWordBuffer[0] = 0;
        return {};
    }
    FWordStart = GetPosition() - 1;
    // Gathered in a local array: stores into a member char array could alias the reader's own fields
    // and keep the compiler from holding the cursor in a register.
    char word[MaxWordLength];
    int32_t length = 0;
    while (c != 0 && type == ctWord) {
        if (length < MaxWordLength) word[length] = c;
        ++length;
        c = NextChar(type);
    }
    FWordEnd = FWordStart + length;
    const int32_t kept = std::min(length, MaxWordLength);
    std::memcpy(FWordBuffer, word, static_cast<size_t>(kept));
    FWordBuffer[kept] = 0;
    return {FWordBuffer, static_cast<size_t>(kept)};
}

std::string_view TBufStream::PrevWord() {
    TCharType type = ctNone;
    char c;
    do {
        c = PrevChar(type);
    } while (c != 0 && type != ctWord);
    if (c == 0) {
        FWordStart = FWordEnd = GetPosition();
        FWordBuffer[0] = 0;
        return {};
    }
    FWordEnd = GetPosition() + 1;
    // Collected backwards; a long word keeps its beginning, so all of it is gathered first.
    FScratch.clear();
    while (c != 0 && type == ctWord) {
        FScratch.push_back(c);
        FWordStart = GetPosition();
        c = PrevChar(type);
    }
    if (FStartsInWord && FWordStart == FRangeStart) {
        FWordEnd = FWordStart;
        FWordBuffer[0] = 0;
        return {};
    }
    const size_t kept = std::min<size_t>(FScratch.size(), MaxWordLength);
    std::reverse_copy(FScratch.end() - static_cast<std::ptrdiff_t>(kept), FScratch.end(), FWordBuffer);
    FWordBuffer[kept] = 0;
    return {FWordBuffer, kept};
}

void TBufStream::ValidateBuffer(int32_t Start, int32_t Stop) {
    if (Stop - Start > BufferSize) Stop = Start + BufferSize;
    SetRange(Start, Stop);
    const int32_t length = std::max(0, Stop - Start);
    if (!EnsureAvailable(length)) {
        throw EConcError("Internal error:\rValidateBuffer failed");
    }
    TTagState state;
    unsigned char previous = 0;
    const TCharType before = LeadIn(Start, state, previous);
    // One entry per byte plus the byte after the range (the 0 terminator when it is not loaded).
    FCharTypes.resize(static_cast<size_t>(length) + 1);
    const char* text = FBuffer.get() + FCurrent;
    TCharType* const types = FCharTypes.data();
    ClassifyRun(text, length + 1, FCount - FCurrent, Start, previous, state,
                [types](int32_t i, TCharType t) { types[i] = t; });
    FStartsInWord = before == ctWord && length > 0 && FCharTypes[0] == ctWord;
    FClassified = true;
    UpdateSlowNext();
}

// Classifies up to MaxTagLength bytes before Start from outside any tag, which brings State to the one
// in force at Start (a tag or word tag open there began within them); returns the class of the byte
// before Start (ctNone at the start of the file).
TCharType TBufStream::LeadIn(int32_t Start, TTagState& State, unsigned char& Previous) {
    int32_t from = std::max(0, Start - MaxTagLength);
    // Begun on a lead byte, the lead-in pairs the bytes as a reading from the file's start would.
    if (FDoubleByte && TrailByteAt(from)) --from;
    if (from >= Start) return ctNone;
    TCharType last = ctNone;
    if (QuietLeadIn(from, Start, Previous, last)) return last;
    FLeadIn.resize(static_cast<size_t>(Start - from));
    int32_t position = from;
    const int32_t got = FSource.ReadAt(FLeadIn.data(), Start - from, position);
    BlankZeroBytes(FLeadIn.data(), got);
    ClassifyRun(FLeadIn.data(), got, got, from, Previous, State, [&](int32_t, TCharType t) { last = t; });
    return last;
}

// Without word tags and double-byte pairs only an open tag carries state from byte to byte, and a tag
// stop ends any tag: after the last tag stop that no tag start follows, the state is outside a tag
// whatever came before, and so it is when the lead-in holds neither. Reporting a hit classified 1,024
// bytes before its context for nothing else, and most of its time went there. False (nothing decided)
// when the last tag byte before Start is a tag start, or is a stop right before Start.
bool TBufStream::QuietLeadIn(int32_t From, int32_t Start, unsigned char& Previous, TCharType& Last) {
    if (FDoubleByte || FTags.WordTagMode != 0) return false;
    if (FTags.TagStart != 0) {
        int32_t mark = -1;
        if (!LastTagByteBefore(From, Start, mark)) return false;
        if (mark >= 0 && (mark == Start - 1 || FClass[ByteAt(mark)] == ckTagStart)) return false;
    }
    const unsigned char c = ByteAt(Start - 1);
    const unsigned char p = Start - 2 >= From ? ByteAt(Start - 2) : Previous;
    TTagState neutral;
    Last = Classify(
        c, p, neutral, [] { return 0; }, [] { return false; });
    Previous = c;
    return true;
}

namespace {

// The index of the last byte of Bytes[0, Count) equal to one of Values[0, N), or -1.
int32_t LastOfBytes(const char* Bytes, int32_t Count, const char* Values, int N) {
    int32_t i = Count;
#if defined(__SSE2__)
    __m128i wanted[4];
    for (int n = 0; n < N; ++n) wanted[n] = _mm_set1_epi8(Values[n]);
    for (; i >= 16; i -= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + i - 16));
        __m128i equal = _mm_setzero_si128();
        for (int n = 0; n < N; ++n) equal = _mm_or_si128(equal, _mm_cmpeq_epi8(block, wanted[n]));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(equal));
        if (mask != 0) return i - 16 + 31 - __builtin_clz(mask);
    }
#endif
    while (i > 0) {
        --i;
        for (int n = 0; n < N; ++n)
            if (Bytes[i] == Values[n]) return i;
    }
    return -1;
}

}  // namespace

// The bytes a lead-in looks back over are mostly those the previous hit's lead-in looked at: the
// stretch found free of tag bytes is remembered, and only what lies outside it is looked at.
bool TBufStream::LastTagByteBefore(int32_t From, int32_t Start, int32_t& Mark) {
    Mark = -1;
    const bool remembered = FQuietTo > FQuietFrom;
    int32_t at = Start;  // [at, Start) holds no tag byte
    while (at > From) {
        if (remembered && at > FQuietFrom && at <= FQuietTo) {
            at = std::max(From, FQuietFrom);
            continue;
        }
        int32_t low = From;
        if (remembered && FQuietTo < at) low = std::max(low, FQuietTo);
        const char* bytes;
        if (FWindowOffset >= 0 && at > FWindowOffset && at <= FWindowOffset + FCount) {
            low = std::max(low, FWindowOffset);
            bytes = FBuffer.get() + (low - FWindowOffset);
        } else {
            FLeadIn.resize(static_cast<size_t>(at - low));
            int32_t position = low;
            if (FSource.ReadAt(FLeadIn.data(), at - low, position) != at - low) return false;
            BlankZeroBytes(FLeadIn.data(), at - low);
            bytes = FLeadIn.data();
        }
        const int32_t index = LastOfBytes(bytes, at - low, FTagBytes, FTagByteCount);
        if (index >= 0) {
            Mark = low + index;
            at = Mark + 1;
            break;
        }
        at = low;
    }
    if (remembered && at <= FQuietTo && Start >= FQuietFrom) {
        FQuietFrom = std::min(FQuietFrom, at);
        FQuietTo = std::max(FQuietTo, Start);
    } else {
        FQuietFrom = at;
        FQuietTo = Start;
    }
    return true;
}

unsigned char TBufStream::ByteAt(int32_t Offset) {
    if (FWindowOffset >= 0 && Offset >= FWindowOffset && Offset < FWindowOffset + FCount)
        return static_cast<unsigned char>(FBuffer[Offset - FWindowOffset]);
    char c = 0;
    int32_t position = Offset;
    if (FSource.ReadAt(&c, 1, position) != 1) return 0;
    return static_cast<unsigned char>(BlankIfZero(c));
}

template <class TVisit>
void TBufStream::ClassifyRun(const char* Text, int32_t Count, int32_t Available, int32_t At,
                             unsigned char& Previous, TTagState& State, TVisit&& Visit) {
    if (FDoubleByte) {
        for (int32_t i = 0; i < Count; ++i) {
            const auto c = static_cast<unsigned char>(Text[i]);
            Visit(i, ClassifyPaired(
                         c, Previous, State, [&] { return MatchPOSTagStartIn(Text + i, Available - i); },
                         [&] { return TagEndWithin(Text + i, Available - i, At + i); }));
            Previous = c;
        }
        return;
    }
    if (FTags.WordTagMode == 0) {
        ClassifyTagsOnly(Text, Count, Available, At, Previous, State, Visit);
        return;
    }
    for (int32_t i = 0; i < Count; ++i) {
        const auto c = static_cast<unsigned char>(Text[i]);
        Visit(i, Classify(
                     c, Previous, State, [&] { return MatchPOSTagStartIn(Text + i, Available - i); },
                     [&] { return TagEndWithin(Text + i, Available - i, At + i); }));
        Previous = c;
    }
}

// Classify without word tags and double-byte pairs, where only an open tag carries state: the state
// and the byte before stay in registers, and the bytes between tags take one table lookup each.
template <class TVisit>
void TBufStream::ClassifyTagsOnly(const char* Text, int32_t Count, int32_t Available, int32_t At,
                                  unsigned char& Previous, TTagState& State, TVisit&& Visit) {
    bool inTag = State.InTag;
    unsigned char previous = Previous;
    for (int32_t i = 0; i < Count; ++i) {
        const auto c = static_cast<unsigned char>(Text[i]);
        TCharType type;
        if (inTag) {
            type = ctTag;
            inTag = !FTagStopSet[c];
        } else {
            const uint8_t code = FClass[c];
            if (code < ckLF) {
                type = static_cast<TCharType>(code);
            } else if (code == ckLF) {
                type = previous == kCR ? ctWhiteSpace : ctNewLine;
            } else {
                inTag = TagEndWithin(Text + i, Available - i, At + i);
                type = inTag ? ctTag : ctDelimiter;
            }
        }
        Visit(i, type);
        previous = c;
    }
    State.InTag = inTag;
    Previous = previous;
}

int32_t TBufStream::Measure(int32_t Start, int32_t End, int32_t& TextBytes) {
    TextBytes = 0;
    int32_t length = 0;
    if (End <= Start || Start < 0) return 0;
    constexpr int32_t chunk = BufferSize;
    FMeasureText.resize(static_cast<size_t>(chunk + MaxTagLength + 1));
    TTagState state;
    unsigned char previous = 0;
    if (Start > 0) {
        int32_t position = Start - 1;
        char before = 0;
        if (FSource.ReadAt(&before, 1, position) == 1)
            previous = static_cast<unsigned char>(BlankIfZero(before));
        if (FDoubleByte && TrailByteAt(Start)) state.Trail = LeadClass(previous, state);
    }
    for (int32_t at = Start; at < End;) {
        int32_t position = at;
        const int32_t got = FSource.ReadAt(FMeasureText.data(), chunk + MaxTagLength, position);
        if (got <= 0) break;
        BlankZeroBytes(FMeasureText.data(), got);
        const int32_t count = std::min({got, chunk, End - at});
        ClassifyRun(FMeasureText.data(), count, got, at, previous, state, [&](int32_t i, TCharType t) {
            if (t == ctTag || t == ctPOSTag) return;
            if (FMeasureText[static_cast<size_t>(i)] == '\n' && t != ctNewLine) return;
            ++length;
            if (t == ctWord || t == ctDelimiter) ++TextBytes;
        });
        at += count;
    }
    return length;
}

// ---------------------------------------------------------------------------------------------------
// Searching

struct TBufStream::TScanPattern {
    std::string_view Text;
    bool MustEndAtBlank = false;
    // Bytes an occurrence needs in the window: the pattern, and the byte after it when it must end at
    // a blank.
    int32_t Needed = 0;
    bool EndsAtBlank = false;
    bool Usable = false;

    TScanPattern(const std::string& Pattern, bool MustEnd) : Text(Pattern), MustEndAtBlank(MustEnd) {
        Needed = static_cast<int32_t>(Pattern.size()) + (MustEnd ? 1 : 0);
        EndsAtBlank = !Pattern.empty() && IsLineEndOrBlank(static_cast<unsigned char>(Pattern.back()));
        Usable = !Pattern.empty() && Needed <= BufferSize;
    }
};

// The first accepted occurrence of Pattern beginning in [From, To) of the window and fitting before
// Limit, or -1.
int32_t TBufStream::FindCandidate(const TScanPattern& Pattern, int32_t From, int32_t To) const {
    if (!Pattern.Usable) return -1;
    const int32_t end = std::min(To, FLimit - Pattern.Needed + 1);
    const auto length = static_cast<int32_t>(Pattern.Text.size());
    const char* window = FBuffer.get();
    int32_t from = From;
    while (from < end) {
        const void* hit = memmem(window + from, static_cast<size_t>(end - from + length - 1),
                                 Pattern.Text.data(), Pattern.Text.size());
        if (hit == nullptr) return -1;
        const auto at = static_cast<int32_t>(static_cast<const char*>(hit) - window);
        if (!Pattern.MustEndAtBlank || Pattern.EndsAtBlank ||
            IsLineEndOrBlank(static_cast<unsigned char>(window[at + length]))) {
            return at;
        }
        from = at + 1;
    }
    return -1;
}

bool TBufStream::IsLastWindow() const {
    return static_cast<int64_t>(FWindowOffset) + FLimit >= FRangeEnd || FAtFileEnd;
}

// Offers every start position in the range, from the cursor on, exactly once to Visit(From, To) as
// window places [From, To), until Visit returns true; an occurrence of up to LongestLength bytes
// starting there lies wholly in the window. Between windows the unexamined tail (fewer than
// LongestLength bytes) moves to the front, so occurrences across a seam are found and none is looked
// at twice. Returns Found when Visit did, Exhausted at the range end, Stopped when the callback
// stopped the search.
template <class TVisit>
TBufStream::TScanEnd TBufStream::ScanWindows(int32_t LongestLength, const TSearchCallback& Callback,
                                             bool NoPositions, TVisit&& Visit) {
    if (FWindowOffset < 0 || FCurrent > FLimit) return TScanEnd::Exhausted;
    int32_t from = FCurrent;
    while (true) {
        if (Callback) {
            bool stop = false;
            Callback(NoPositions ? -1 : FWindowOffset + from, stop);
            if (stop) {
                FCurrent = from;
                return TScanEnd::Stopped;
            }
        }
        const bool last = IsLastWindow();
        const int32_t to = last ? FLimit : std::max(from, FLimit - (LongestLength - 1));
        if (Visit(from, to)) return TScanEnd::Found;
        if (last) {
            FCurrent = FLimit;
            return TScanEnd::Exhausted;
        }
        const int32_t kept = FLimit - to;
        std::memmove(FBuffer.get(), FBuffer.get() + to, static_cast<size_t>(kept));
        FWindowOffset += to;
        FCount = kept;
        FCurrent = 0;
        from = 0;
        FillBuffer(kept);
    }
}

int32_t TBufStream::FindText(const std::string& Pattern, bool MustEndAtBlank, const TSearchCallback& Callback,
                             bool NoPositions) {
    const TScanPattern pattern(Pattern, MustEndAtBlank);
    if (!pattern.Usable) return -1;
    int32_t found = -1;
    ScanWindows(pattern.Needed, Callback, NoPositions, [&](int32_t From, int32_t To) {
        const int32_t at = FindCandidate(pattern, From, To);
        if (at < 0) return false;
        FCurrent = at;
        found = FWindowOffset + at;
        return true;
    });
    return found;
}

TMarkersFound TBufStream::FindMarkers(const TTextMarker& StartMarker, const TTextMarker& StopMarker,
                                      const TTextMarker& OtherMarker, const TSearchCallback& Callback,
                                      bool NoPositions) {
    const TScanPattern start(StartMarker.Text, StartMarker.MustEndAtBlank);
    const TScanPattern stop(StopMarker.Text, StopMarker.MustEndAtBlank);
    const TScanPattern other(OtherMarker.Text, OtherMarker.MustEndAtBlank);
    const bool pairPossible = start.Usable && stop.Usable;
    TMarkersFound result;
    if (!pairPossible && !other.Usable) return result;
    int32_t longest = 1;
    for (const TScanPattern* p : {&start, &stop, &other}) {
        if (p->Usable) longest = std::max(longest, p->Needed);
    }
    const auto startLength = static_cast<int32_t>(StartMarker.Text.size());
    int32_t a = -1;
    int32_t b = -1;
    int32_t c = -1;
    // Only what comes before the first other marker decides the answer, so start and stop are looked
    // for up to it; once the pair is complete only the other marker is still wanted.
    const TScanEnd end = ScanWindows(longest, Callback, NoPositions, [&](int32_t From, int32_t To) {
        const int32_t otherAt = FindCandidate(other, From, To);
        const int32_t bound = otherAt >= 0 ? otherAt + 1 : To;
        if (pairPossible && a < 0) {
            const int32_t at = FindCandidate(start, From, bound);
            if (at >= 0) a = FWindowOffset + at;
        }
        if (a >= 0 && b < 0) {
            const int32_t stopFrom = static_cast<int32_t>(
                std::max<int64_t>(From, static_cast<int64_t>(a) + startLength - FWindowOffset));
            const int32_t at = stopFrom < bound ? FindCandidate(stop, stopFrom, bound) : -1;
            if (at >= 0) b = FWindowOffset + at;
        }
        if (otherAt >= 0) {
            c = FWindowOffset + otherAt;
            FCurrent = otherAt;
            return true;
        }
        if (b >= 0 && !other.Usable) {
            FCurrent = To;
            return true;
        }
        return false;
    });
    if (end == TScanEnd::Stopped) return result;
    if (c >= 0 && (b < 0 || c < b)) {
        result.OtherFound = c;
    } else if (a >= 0 && b >= 0) {
        result.StartFound = a;
        result.StopFound = b;
        result.OtherFound = c;
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------
// Free helpers

namespace {

const TCommonConcordConfig& Options() {
    if (!CommonConfig) throw std::logic_error("The options object does not exist.");
    return *CommonConfig;
}

}  // namespace

void ConfigureBufStream(TBufStream& Reader) {
    const TCommonConcordConfig& options = Options();
    TBufStreamTags tags;
    tags.TagStart = options.TagStart;
    tags.TagStop = options.TagStop;
    tags.WordTagMode = options.WordTag;
    tags.POSTagStarts = options.wTagStarts;
    tags.POSTagStop = options.wTagStop;
    tags.POSSeparator = options.wTagDelimiter;
    Reader.Configure(tags);
}

TCharSet NonWordCharSet(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(Language)]) {
        throw std::out_of_range("No configuration for language " + std::to_string(Language) + ".");
    }
    const TCommonConcordConfig& options = Options();
    const std::string wildCards = {options.WildCard0orMore, options.WildCard0or1, options.WildCardExactly1,
                                   options.WildCardMatchWords};
    return NonWordCharSet(LanguageConfigs[static_cast<size_t>(Language)]->NonWordChars, wildCards);
}

TCharSet NonWordCharSet(const std::string& NonWordChars, const std::string& WildCards) {
    TCharSet set;
    for (int c = 0; c <= kBlank; ++c) set.set(static_cast<size_t>(c));
    for (char c : NonWordChars) set.set(static_cast<unsigned char>(c));
    for (char c : WildCards) set.set(static_cast<unsigned char>(c));
    return set;
}

TCharTypes VisibleCharTypes(bool SuppressTags, bool SuppressPOSTags, bool SuppressWords) {
    TCharTypes types;
    for (int t = ctDelimiter; t <= ctPOSTag; ++t) types.set(static_cast<size_t>(t));
    if (SuppressTags) types.reset(ctTag);
    if (SuppressPOSTags) types.reset(ctPOSTag);
    if (SuppressWords) types.reset(ctDelimiter).reset(ctWord);
    return types;
}

int32_t LeadByteRunBefore(TSynchroStream& Source, int32_t Pos, const std::array<bool, 256>& LeadBytes) {
    int32_t run = 0;
    char buffer[256];
    for (int32_t to = Pos; to > 0;) {
        const int32_t count = std::min<int32_t>(to, sizeof buffer);
        int32_t from = to - count;
        if (Source.ReadAt(buffer, count, from) != count) return run;
        for (int32_t i = count - 1; i >= 0; --i) {
            if (!LeadBytes[static_cast<unsigned char>(buffer[i])]) return run;
            ++run;
        }
        to -= count;
    }
    return run;
}

void BlankZeroBytes(char* Text, int32_t Count) {
    for (char* end = Text + std::max(Count, 0);
         (Text = static_cast<char*>(std::memchr(Text, 0, end - Text)));)
        *Text++ = ' ';
}
