// The classifying buffered reader: the one road by which corpus text is read. It keeps an 8 KB
// window over a shared stream, hands out one byte at a time with its class (word, delimiter, blank,
// line break, tag, word tag), and finds exact byte markers for the heading search. A word, a tag and
// a line break therefore mean the same thing to segmentation, search, concordance lines and views.
#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SynStream.h"

class TContentSum;

// Classes of a byte. The order matters: views show the range ctDelimiter..ctPOSTag.
enum TCharType : uint8_t { ctNone, ctDelimiter, ctWhiteSpace, ctNewLine, ctWord, ctTag, ctPOSTag };

// A set of classes, indexed by TCharType.
using TCharTypes = std::bitset<7>;
// A set of bytes, indexed by the byte value.
using TCharSet = std::bitset<256>;

// How tags and word (part-of-speech) tags are written. A 0 character means "none".
struct TBufStreamTags {
    char TagStart = 0;
    char TagStop = 0;
    // 0: no word tags; 1: a word tag follows POSSeparator and runs to the next blank, line break or tag
    // character (TBufStream::EndsWordTag);
    // 2: a word tag opens with one of POSTagStarts and closes with POSTagStop.
    uint8_t WordTagMode = 0;
    std::vector<std::string> POSTagStarts;
    char POSTagStop = 0;
    char POSSeparator = 0;
};

// One marker of FindMarkers. With MustEndAtBlank an occurrence counts only when the byte after it, or
// its own last byte, is a line feed, a carriage return or a blank.
struct TTextMarker {
    std::string Text;
    bool MustEndAtBlank = false;
};

// Results of FindMarkers: file offsets, -1 when not reported.
struct TMarkersFound {
    int32_t StartFound = -1;
    int32_t StopFound = -1;
    int32_t OtherFound = -1;
};

// Called before each window a search looks at, with the file offset where that window's search
// begins (-1 when the caller asked for no positions). Setting Stop ends the search with nothing found.
using TSearchCallback = std::function<void(int32_t Offset, bool& Stop)>;

class TBufStream {
public:
    static constexpr int32_t BufferSize = 8192;
    // Bytes kept in front of the cursor when the window moves on, so they can be read backwards.
    static constexpr int32_t KeepBehind = 256;
    static constexpr int32_t MaxWordLength = 255;
    // A tag start whose tag-stop byte does not follow within a tag of this many bytes (start and stop
    // included) opens no tag: it reads as a delimiter, so a stray "<" cannot swallow the rest of a file.
    static constexpr int32_t MaxTagLength = 1024;

    // A reader over Source (borrowed; it must outlive the reader) for the language Language, whose
    // word-end bytes are WordEndSet and whose text is in code page CodePage (0: a single-byte one). The
    // range is the whole source; the first block is loaded and the cursor stands on offset 0. No tags
    // are recognised until the reader is configured.
    // In a double-byte code page (932, 936, 949, 950) a lead byte takes the byte after it into its own
    // class, whatever that byte would be alone ("[", "\\", "@"...), in every classified read; a byte
    // below 0x40 is never a trail byte and keeps its own class. Raw reads (ReadByte, ReadPrevByte,
    // Window, the searches) hand out bytes as they are.
    TBufStream(TSynchroStream& Source, int Language, const TCharSet& WordEndSet, int CodePage = 0);
    // The same with the word-end bytes and the code page of the configured language Language
    // (NonWordCharSet (Language), LangCodePage (Language)).
    TBufStream(TSynchroStream& Source, int Language);
    TBufStream(const TBufStream&) = delete;
    TBufStream& operator=(const TBufStream&) = delete;

    // From now on every window the reader loads adds its bytes, as the file holds them, to Sum (borrowed;
    // nullptr: none), in order from offset 0: a reader that goes through its text from start to end
    // leaves the sum of the whole text (TContentSum::Length tells how far it got). The window loaded now
    // is read again for it.
    void SumContent(TContentSum* Sum);

    // Takes over all tag and word-tag settings (a copy; later changes of Tags do not reach the reader).
    void Configure(const TBufStreamTags& Tags);
    void SetTagStart(char C);
    // Closing bytes of a tag: {C}, or {LF, CR, blank} when C is '#' (the closing byte belongs to the tag).
    void SetTagStop(char C);
    void SetWordTagMode(uint8_t Mode);
    // Start strings of mode 2, tried in list order; the first that matches wins. Empty entries never match.
    void SetPOSTagStarts(const std::vector<std::string>& List);
    // Closing bytes of a mode-2 word tag, by the rule of SetTagStop.
    void SetPOSTagStop(char C);
    void SetPOSSeparator(char C);

    // Positioning. GetPosition is the cursor's file offset (-1 without a cursor).
    int32_t GetPosition() const { return FWindowOffset < 0 ? -1 : FWindowOffset + FCurrent; }
    // Moves the cursor to Offset, or to RangeStart when Offset lies before it. Inside the window only the
    // cursor moves; otherwise the window is reloaded with up to 256 bytes in front of Offset, so they can
    // be read backwards without a reload. A negative Offset leaves the reader without a cursor: every
    // read gives 0.
    void SetPosition(int32_t Offset);
    // Limits reading to [Start, Stop), puts the cursor on Start, leaves classified mode and clears the
    // tag state.
    void SetRange(int32_t Start, int32_t Stop);
    void ResetTagState();
    // Resumes classification inside a tag (T = ctTag) or a word tag (T = ctPOSTag), else outside both;
    // T is the class of the byte before the new position.
    void SetTagState(TCharType T);
    int32_t GetSourceSize() const { return FSource.GetSize(); }

    // The byte under the cursor, advancing it; 0 at the range end, the file end and without a cursor.
    // A 0 byte of the file reads as a blank (here and in every other read and search of the reader), so
    // a stray 0 hides nothing after it.
    char ReadByte() {
        if (FCurrent >= FLimit && !EnsureAvailable(1)) return 0;
        char c = FBuffer[FCurrent];
        if (c != 0) ++FCurrent;
        return c;
    }
    // The bytes from the cursor to the end of what the window holds of the range, the window moving on
    // when the cursor is at its end; empty at the range end and without a cursor. Lets a scan look at
    // many bytes per call: it consumes them with SetPosition (cheap inside the window). The view holds
    // until the next call that moves the window.
    std::string_view Window() {
        if (FCurrent >= FLimit && !EnsureAvailable(1)) return {};
        return {FBuffer.get() + FCurrent, static_cast<size_t>(FLimit - FCurrent)};
    }
    // The bytes from the cursor to the end of the window, past the range's end too (the window holds
    // the file's bytes there); empty without a cursor. Moves nothing; the view holds until the window
    // next moves.
    std::string_view WindowAhead() const {
        if (FWindowOffset < 0 || FCurrent > FCount) return {};
        return {FBuffer.get() + FCurrent, static_cast<size_t>(FCount - FCurrent)};
    }
    // The byte before the cursor, the cursor moving back onto it; 0 at RangeStart.
    char ReadPrevByte();
    // The next byte and its class; 0 at the end (T is ctNone then, or ctDelimiter in classified mode).
    char NextChar(TCharType& T) {
        if (FSlowNext) return NextSlowChar(T);
        if (FCurrent >= FLimit && !EnsureAvailable(1)) {
            T = ctNone;
            return 0;
        }
        const auto c = static_cast<unsigned char>(FBuffer[FCurrent]);
        if (c == 0) {
            T = ctNone;
            return 0;
        }
        if (FTagState.InPOSTag) {
            T = ClassifyAtCursor(c);
        } else if (FTagState.InTag) {
            T = ctTag;
            FTagState.InTag = !FTagStopSet[c];
        } else if (FClass[c] < ckLF) {
            T = static_cast<TCharType>(FClass[c]);
        } else {
            T = ClassifyAtCursor(c);
        }
        ++FCurrent;
        return static_cast<char>(c);
    }
    // Sequential mode, outside tags and word tags: consumes the run of word bytes from the cursor, at
    // most MaxRun of them and up to the end of the window (the word bytes NextChar would hand out one by
    // one), copies its first Room bytes to Out and returns the run's length; 0 when the next byte is not
    // such a word byte or is not in the window. A reader of many words calls it after a word byte to
    // take the rest at once. Always 0 in a double-byte code page, whose characters NextChar pairs up.
    int32_t ReadWordRun(char* Out, int32_t Room, int32_t MaxRun) {
        // FSlowNext stands for the classified mode and the double-byte code pages at the cost of one test.
        if (FSlowNext || FTagState.InTag || FTagState.InPOSTag || MaxRun <= 0) return 0;
        const char* const first = FBuffer.get() + FCurrent;
        const char* const end = FBuffer.get() + std::min(FLimit, FCurrent + MaxRun);
        const char* p = first;
        // Copied while scanned: words are short, and a call to copy each would cost more.
        const char* const copyEnd =
            first + std::max(std::min<std::ptrdiff_t>(Room, end - first), std::ptrdiff_t{0});
        while (p < copyEnd && FClass[static_cast<unsigned char>(*p)] == ctWord) *Out++ = *p++;
        if (p == copyEnd)
            while (p < end && FClass[static_cast<unsigned char>(*p)] == ctWord) ++p;
        const auto length = static_cast<int32_t>(p - first);
        FCurrent += length;
        return length;
    }
    // Sequential mode, inside a tag: consumes the tag's bytes from the cursor, at most MaxRun of them and
    // up to the end of the window, stopping before a tag start, a carriage return or a line feed, and
    // after a byte that closes the tag (the tag then ends, as NextChar would end it); copies the first
    // Room bytes to Out and returns how many were consumed (all of class ctTag). Always 0 in a
    // double-byte code page, where a closing byte may be a trail byte.
    int32_t ReadTagRun(char* Out, int32_t Room, int32_t MaxRun) {
        if (FSlowNext || !FTagState.InTag || MaxRun <= 0) return 0;
        const char* const first = FBuffer.get() + FCurrent;
        const char* const end = FBuffer.get() + std::min(FLimit, FCurrent + MaxRun);
        const char tagStart = FTags.TagStart;
        const char* p = first;
        while (p < end) {
            const char c = *p;
            if (c == tagStart || c == '\r' || c == '\n') break;
            if (p - first < Room) *Out++ = c;
            ++p;
            if (FTagStopSet[static_cast<unsigned char>(c)]) {
                FTagState.InTag = false;
                break;
            }
        }
        const auto length = static_cast<int32_t>(p - first);
        FCurrent += length;
        return length;
    }
    // Sequential mode, inside a word tag that follows a separator (mode 1): consumes the rest of the word
    // tag from the cursor, at most MaxRun bytes and up to the end of the window, stopping before the byte
    // that ends it (EndsWordTag, or a tag start); returns how many were consumed (all of class ctPOSTag).
    // Always 0 in a double-byte code page, where a word end may be a trail byte.
    int32_t ReadWordTagRun(int32_t MaxRun) {
        if (FSlowNext || !FTagState.InPOSTag || FTags.WordTagMode != 1 || MaxRun <= 0) return 0;
        const char* const first = FBuffer.get() + FCurrent;
        const char* const end = FBuffer.get() + std::min(FLimit, FCurrent + MaxRun);
        const char tagStart = FTags.TagStart;
        const char* p = first;
        while (p < end && *p != tagStart && !EndsWordTag(static_cast<unsigned char>(*p))) ++p;
        const auto length = static_cast<int32_t>(p - first);
        FCurrent += length;
        return length;
    }
    // Classified mode only: the byte before the cursor with its stored class, the cursor moving back
    // onto it; 0 with ctDelimiter at RangeStart. Outside classified mode 0 with ctNone.
    char PrevChar(TCharType& T);
    // Skips to the next word byte and reads the run of word bytes; the byte that ended it is consumed.
    // Returns the first 255 bytes of the word ("" at the end of the text); WordStart and WordEnd cover
    // the whole run. The returned view points into the reader and holds until the next NextWord or
    // PrevWord.
    std::string_view NextWord();
    // Classified mode: the word before the cursor, read backwards. Keeps the word's first 255 bytes;
    // the cursor ends on the byte before the word (or on the word at RangeStart).
    std::string_view PrevWord();

    // Classifies [Start, Stop) (cut to 8192 bytes) at once and enters classified mode: NextChar and
    // PrevChar then give the stored classes. Classification starts in the tag state in force at Start
    // (as found from the MaxTagLength bytes before it) and leaves the reader's own tag state alone; the
    // piece of a word that began before Start keeps its class but NextWord and PrevWord pass it over,
    // so no word read from the range is cut at its start. Place
    // the cursor with SetPosition before reading. Raises EConcError "Internal error:\rValidateBuffer
    // failed" when the range cannot be loaded whole (it passes the end of the file).
    void ValidateBuffer(int32_t Start, int32_t Stop);
    // The segment length of [Start, End) of the file (bytes outside tags and word tags, the line feed of
    // a CR LF pair not counted), classified from Start outside any tag; TextBytes receives the count of
    // word and delimiter bytes. Reads the source directly: the reader's window, cursor, range, mode and
    // tag state are left as they are. 0 for an End at or below Start.
    int32_t Measure(int32_t Start, int32_t End, int32_t& TextBytes);

    // The file offset of the first occurrence of Pattern (exact bytes) at or after the cursor that
    // lies wholly inside the range (with the byte after it when MustEndAtBlank), or -1. On success the
    // cursor stands on the occurrence; otherwise where the search ended. An empty pattern is never found.
    int32_t FindText(const std::string& Pattern, bool MustEndAtBlank, const TSearchCallback& Callback = {},
                     bool NoPositions = false);
    // Looks for three markers at once from the cursor: start = the first StartMarker, stop = the first
    // StopMarker that begins after the start marker ends, other = the first OtherMarker. Reports Other
    // alone when it comes before the stop or when there is no start/stop pair; otherwise Start and Stop,
    // with Other when one was found after the stop. The result does not depend on where the reader's
    // windows fall. The cursor afterwards stands where the search ended.
    TMarkersFound FindMarkers(const TTextMarker& StartMarker, const TTextMarker& StopMarker,
                              const TTextMarker& OtherMarker, const TSearchCallback& Callback = {},
                              bool NoPositions = false);

    TSynchroStream& Source() const { return FSource; }
    int Language() const { return FLanguage; }
    int32_t RangeStart() const { return FRangeStart; }
    int32_t RangeEnd() const { return FRangeEnd; }
    int32_t WordStart() const { return FWordStart; }
    int32_t WordEnd() const { return FWordEnd; }
    bool InTag() const { return FTagState.InTag; }
    // Whether byte C closes a tag (SetTagStop).
    bool IsTagStop(unsigned char C) const { return FTagStopSet[C]; }
    bool InPOSTag() const { return FTagState.InPOSTag; }
    bool Classified() const { return FClassified; }
    const std::vector<TCharType>& CharTypes() const { return FCharTypes; }
    const TCharSet& WordEndSet() const { return FWordEndSet; }
    // Whether byte C ends a word tag that follows a separator (mode 1): a blank, a line break or another
    // control character, or the tag-stop character ("#" stands for the blanks and line breaks, which end
    // it anyway). The language's word ends do not: a tagset's tags hold them ("PRP$", "WP$", and the tag
    // "," of a comma). A tag start ends it too, opening a tag.
    bool EndsWordTag(unsigned char C) const {
        return C <= 32 ||
               (FTags.TagStop != 0 && FTags.TagStop != '#' && C == static_cast<unsigned char>(FTags.TagStop));
    }
    const TBufStreamTags& Tags() const { return FTags; }
    // Whether the reader pairs the bytes of a double-byte code page.
    bool DoubleByte() const { return FDoubleByte; }

private:
    // Precomputed class of a byte outside tags: a TCharType when the byte needs nothing more, else one
    // of these codes.
    enum TClassCode : uint8_t { ckLF = 8, ckTagStart, ckSeparator, ckPOSStart };
    struct TTagState {
        bool InTag = false;
        bool InPOSTag = false;
        // Not ctNone: the next byte is the trail byte of a double-byte character whose lead byte had
        // this class, if it can be one (0x40 or above). Beside the flags, where it takes no room.
        TCharType Trail = ctNone;
        // Bytes of a matched mode-2 start string still to come; they take no stop test.
        int32_t PendingPOSBytes = 0;
    };

    static TCharType ClassifyDelimiter(unsigned char P, unsigned char C);
    static TCharSet ClosingSet(char C);

    void RebuildClassTable();
    uint8_t FallbackCode(unsigned char C) const;
    // Classifies C given the byte before it; MatchStart() gives the length of the mode-2 start string
    // matching at C (0 for none), TagEndFollows() whether a tag opened at C would end in time.
    template <class TMatch, class TTagEnd>
    TCharType Classify(unsigned char C, unsigned char P, TTagState& State, TMatch&& MatchStart,
                       TTagEnd&& TagEndFollows);
    // Classify, with a lead byte taking the byte after it into its class (double-byte code pages).
    template <class TMatch, class TTagEnd>
    TCharType ClassifyPaired(unsigned char C, unsigned char P, TTagState& State, TMatch&& MatchStart,
                             TTagEnd&& TagEndFollows);
    // The class a lead byte has in State, opening nothing: what its trail byte takes when reading
    // begins on that trail byte.
    TCharType LeadClass(unsigned char Lead, TTagState State);
    TCharType ClassifyAtCursor(unsigned char C);
    // Whether the byte at file offset Offset is a trail byte (double-byte code pages only).
    bool TrailByteAt(int32_t Offset);
    // Sets the pairing state at a cursor that has just been placed, when it is not known yet.
    void ResolveTrail();
    bool TagEndWithin(const char* Text, int32_t Available, int32_t At);
    bool PairedTagEndWithin(const char* Text, int32_t Available, int32_t At);
    // Classifies Count bytes of Text (the file's bytes from offset At; Available >= Count of them are
    // valid) from State and the byte Previous before them, calling Visit (index, class) for each.
    template <class TVisit>
    void ClassifyRun(const char* Text, int32_t Count, int32_t Available, int32_t At, unsigned char& Previous,
                     TTagState& State, TVisit&& Visit);
    // ClassifyRun without word tags in a single-byte code page.
    template <class TVisit>
    void ClassifyTagsOnly(const char* Text, int32_t Count, int32_t Available, int32_t At,
                          unsigned char& Previous, TTagState& State, TVisit&& Visit);
    TCharType LeadIn(int32_t Start, TTagState& State, unsigned char& Previous);
    bool QuietLeadIn(int32_t From, int32_t Start, unsigned char& Previous, TCharType& Last);
    // Mark := the offset of the last tag start or tag-stop byte in [From, Start), -1 when there is
    // none; false when the file could not be read.
    bool LastTagByteBefore(int32_t From, int32_t Start, int32_t& Mark);
    // The byte at file offset Offset (a 0 byte as a blank), from the window when it holds it.
    unsigned char ByteAt(int32_t Offset);
    void RememberTagBytes();
    // The length of the first start string that matches at the cursor, 0 for none.
    int32_t MatchPOSTagStart();
    int32_t MatchPOSTagStartIn(const char* Text, int32_t Available) const;
    char NextClassifiedChar(TCharType& T);
    char NextSlowChar(TCharType& T);
    // NextChar in sequential mode for a double-byte code page.
    char NextPairedChar(TCharType& T);
    void UpdateSlowNext() { FSlowNext = FClassified || FDoubleByte; }

    // Window management.
    void FillBuffer(int32_t Kept);
    void UpdateLimit();
    bool EnsureAvailable(int32_t N);
    bool IsLastWindow() const;

    // Searching.
    struct TScanPattern;
    enum class TScanEnd { Found, Exhausted, Stopped };
    int32_t FindCandidate(const TScanPattern& Pattern, int32_t From, int32_t To) const;
    template <class TVisit>
    TScanEnd ScanWindows(int32_t LongestLength, const TSearchCallback& Callback, bool NoPositions,
                         TVisit&& Visit);

    TSynchroStream& FSource;
    TContentSum* FSum = nullptr;
    int FLanguage;
    int32_t FReadPosition = 0;
    int32_t FRangeStart = 0;
    int32_t FRangeEnd = 0;
    std::unique_ptr<char[]> FBuffer;
    bool FAtFileEnd = false;
    int32_t FCount = 0;
    int32_t FCurrent = 0;
    int32_t FLimit = 0;
    int32_t FWindowOffset = 0;

    TBufStreamTags FTags;
    TCharSet FWordEndSet;
    TCharSet FTagStopSet;
    TCharSet FPOSTagStopSet;
    TCharSet FPOSStartChars;
    uint8_t FClass[256] = {};
    TTagState FTagState;
    int32_t FPOSStartLength = 0;

    bool FClassified = false;
    // The classified range begins inside a word.
    bool FStartsInWord = false;
    // NextChar leaves its single-byte sequential path (classified mode, double-byte code page).
    bool FSlowNext = false;
    bool FDoubleByte = false;
    // The cursor moved without reading: whether it stands on a trail byte is found at the next read.
    bool FTrailUnknown = false;
    std::vector<TCharType> FCharTypes;
    char FWordBuffer[MaxWordLength + 1] = {};
    // Bytes read past the window: a tag's possible end, the lead-in of a classified range, a measure.
    std::vector<char> FLookAhead;
    std::vector<char> FLeadIn;
    // The tag start and the tag-stop bytes, and a stretch [FQuietFrom, FQuietTo) of the file known to
    // hold none of them (empty when FQuietTo <= FQuietFrom).
    char FTagBytes[4] = {};
    int FTagByteCount = 0;
    int32_t FQuietFrom = 0;
    int32_t FQuietTo = 0;
    std::vector<char> FMeasureText;
    // The run of a word read backwards, reversed.
    std::string FScratch;
    int32_t FWordStart = 0;
    int32_t FWordEnd = 0;
    // The lead bytes of a double-byte code page; null in a single-byte one.
    const std::array<bool, 256>* FLeadBytes = nullptr;
};

// A 0 byte of a corpus file reads as a blank.
inline char BlankIfZero(char C) {
    return C == 0 ? ' ' : C;
}
// Replaces every 0 byte of Text[0, Count) by a blank.
void BlankZeroBytes(char* Text, int32_t Count);

// The lowest byte that can follow a lead byte as its trail byte in the double-byte code pages; a lead
// byte before a lower one (a line break, a blank, a tag start) stands alone.
constexpr unsigned char FirstTrailByte = 0x40;

// How many bytes just before Pos of Source are lead-byte values of LeadBytes (a trail byte may have
// such a value too, so only the run's length tells where characters start: the byte before the run
// ends a character, and the run pairs up from there).
int32_t LeadByteRunBefore(TSynchroStream& Source, int32_t Pos, const std::array<bool, 256>& LeadBytes);

// Whether B, the byte after a run of LeadRun lead-byte values, is the trail byte of a double-byte
// character.
inline bool IsTrailByte(int32_t LeadRun, unsigned char B) {
    return LeadRun % 2 == 1 && B >= FirstTrailByte;
}

// Copies the tag and word-tag settings of the options object (CommonConfig) into Reader: TagStart,
// TagStop, WordTag, wTagStarts, wTagStop and wTagDelimiter. Later changes of the options reach only
// readers configured afterwards. Raises std::logic_error when the options object does not exist.
void ConfigureBufStream(TBufStream& Reader);

// The word-end bytes of the configured language Language: its NonWordChars with the control bytes, the
// blank and the four wildcard characters of the options object. Raises std::out_of_range for a language
// that is not configured and std::logic_error when the options object does not exist.
TCharSet NonWordCharSet(int Language);

// The bytes that end a word: the given delimiters, the control bytes 0 to 31, the blank, and the
// wildcard characters of the query language (which therefore never occur inside a word).
TCharSet NonWordCharSet(const std::string& NonWordChars, const std::string& WildCards);

// The classes a text view shows: ctDelimiter..ctPOSTag, less ctTag when tags are suppressed, less
// ctPOSTag when word tags are, less ctDelimiter and ctWord when words are.
TCharTypes VisibleCharTypes(bool SuppressTags, bool SuppressPOSTags, bool SuppressWords);
