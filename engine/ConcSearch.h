// Searching the corpus: query patterns compiled into terms, and the matching of those terms against the
// words of a byte range of a corpus file.
//
// A pattern in the text, tag or regular-expression syntax becomes a TSearchContext: its terms (words
// with wildcards, word tags, meta tags, word skips, or one regular expression) and the buffers one
// search needs. SearchRange finds the next match from a reader's cursor inside the reader's range.
//
// Threads: a context holds everything a search changes; the language's tables, the options and the
// equal characters are copied into it when it is made. Searches of different languages (or several of
// one language) run on several threads at once, each with its own contexts and readers. Only the meta
// tags are read from the options object while matching (so that a meta tag removed after a search was
// prepared is reported); the options must not change while a search runs.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/BStream.h"
#include "engine/RegExp3.h"

class TAlignIndex;
class TConcordItem;
class TConcSearchRec;
class TDoubleProgressForm;

enum TTermKind : uint8_t { tkWord = 0, tkTag, tkMetaTag, tkRegExp, tkSkip, tkSkipAny };

// The text of the message raised when a meta-tag term's name is no longer a meta tag (name follows).
inline constexpr const char* UnknownMetaTagText = "Unknown meta tag: ";
// The text raised when a regular-expression term is met inside a word sequence.
inline constexpr const char* MisplacedCaseText = "Missplaced case.";

// One term of a compiled pattern.
class TTerm {
public:
    // Stores the three; a tkRegExp term compiles Text at once for Language with Tables (the language's
    // current regular-expression tables when null). Raises ERegExp when it does not compile.
    TTerm(int32_t Language, TTermKind Kind, std::string Text,
          std::shared_ptr<const TRegExpCharTables> Tables = nullptr);
    ~TTerm();
    TTerm(const TTerm&) = delete;
    TTerm& operator=(const TTerm&) = delete;

    int32_t Language;
    TTermKind Kind;
    // The word, tag or meta-tag pattern (lower-cased unless the search matches case); empty for the
    // skips; the whole pattern for tkRegExp.
    std::string Text;
    std::unique_ptr<TRegExp> RegExp;  // tkRegExp only

    // Filled by the context that owns the term: Text holds no wildcard character, so a word matches by
    // comparing bytes through the context's character map (Plain), Text through that map (Mapped).
    bool Plain = false;
    std::string Mapped;
    // A meta tag's member patterns as last looked up (prepared for the search's case rule), and the
    // search call for which they were looked up.
    std::vector<std::string> Members;
    uint64_t MembersCall = 0;
};

// What a context needs from the search that owns it: the cancel flag, the counters and the progress
// window. TSearch implements it; tests give their own.
class TSearchOwner {
public:
    virtual ~TSearchOwner() = default;

    // Set to stop the search: every SearchRange in progress returns false at once.
    bool Cancelled = false;
    // While set, the words-per-second text is not updated (set by a regular-expression search).
    bool SpeedOff = false;
    // Word positions tried so far (one per attempt of a word pattern).
    int32_t WordsScanned = 0;
    // The progress window of a search on the main thread (borrowed); nullptr on a search thread.
    TDoubleProgressForm* ProgressWindow = nullptr;
    // Set from any thread to stop the search: the next cancel poll sets Cancelled, and a regular
    // expression being matched gives up within about 100 ms.
    std::atomic<bool> StopRequested{false};

    // A search reached file offset Position; Force asks for the gauges to move now. Word scans may
    // leave it out while there is no progress window.
    virtual void UpdateProgress(int32_t Position, bool Force) = 0;
};

// How often a search on the main thread lets window messages run: often enough that Cancel and the
// window answer at once, seldom enough that painting never costs more than a small part of the search.
inline constexpr std::chrono::milliseconds SearchPumpInterval{30};
// How often the gauges of a search's progress window move at most.
inline constexpr std::chrono::milliseconds SearchGaugeInterval{50};

// The clock of a search's pump, gauges and speed text, which read it hundreds of thousands of times a
// second: steady_clock's, read with a resolution of a few milliseconds where that is cheaper.
std::chrono::steady_clock::time_point SearchTick();

// The cancel poll of searches. Without a progress window (a search thread) it does nothing. Otherwise it
// lets pending window messages run (where the Cancel button is pressed) when SearchPumpInterval has
// passed since they last ran (the clock is read on every 16th call only), then Cancelled := whether the
// window's Tag is 1. Main thread only: its state is process-wide.
void CheckSearchCancel(TDoubleProgressForm* ProgressWindow, bool& Cancelled);
// Restarts the call counter and the clock of CheckSearchCancel (at the start of a search).
void ResetSearchCancelCounter();

// A set of bytes laid out so that sixteen bytes are looked up at once: bit (B >> 4) & 7 of
// Rows[B >> 7][B & 15] says whether byte B is in the set.
struct TByteRows {
    TByteRows() = default;
    explicit TByteRows(const std::array<bool, 256>& Members);
    alignas(16) uint8_t Rows[2][16] = {};
    bool High = false;  // some byte above 127 is in the set
};

// The words (runs of bytes outside Delimiters) that start in Bytes[From, To); the byte at From starts a
// word unless it is a delimiter, whatever lies before it. Delimiters must describe the same set as
// DelimiterTable. Reads only Bytes[From, To).
size_t CountWordStarts(const uint8_t* Bytes, size_t From, size_t To,
                       const std::array<bool, 256>& DelimiterTable, const TByteRows& Delimiters);

// One compiled pattern and the state of one search with it.
class TSearchContext {
public:
    static constexpr int32_t WordSize = 255;
    static constexpr int32_t RegExpBufferSize = 8192;
    static constexpr int32_t RegExpSlide = 4096;

    // Compiles Pattern in Syntax (0 text, 1 regular expression, 2 tag) for corpus language Language.
    // SkipSet: the skipping characters of the query (already lower-cased unless MatchCase). The options
    // object (CommonConfig) and the language's configuration must exist; what the search reads of them
    // is copied now. A regular expression is compiled with tables built now for the language, folding
    // case unless MatchCase, whatever tables the language last had. Raises ERegExp when a regular-expression
    // pattern does not compile and std::out_of_range for a language that does not exist.
    TSearchContext(int32_t Language, const std::string& Pattern, uint8_t Syntax, const TCharSet& SkipSet,
                   bool MatchCase);
    ~TSearchContext();
    TSearchContext(const TSearchContext&) = delete;
    TSearchContext& operator=(const TSearchContext&) = delete;

    int32_t Language;
    TSearchOwner* Owner = nullptr;  // borrowed; set by the owner right after creation
    uint8_t Syntax;
    std::vector<std::unique_ptr<TTerm>> Terms;
    // The reader searched (borrowed); set by SearchRange. The owner may point it at another reader over
    // the same file while it reports a match.
    TBufStream* Reader = nullptr;
    TCharSet SkipSet;
    bool MatchCase;
    // Bytes that end a word when reading without word tags: 0..32, the language's NonWordChars and the
    // three character wildcards, less SkipSet.
    TCharSet DelimiterSet;
    // The class of the token read last: ctWord or ctPOSTag (always ctWord without word tags).
    TCharType LastTokenType = ctWord;
    // The last match: MatchStart is where the attempt that matched began (after the previous attempt's
    // first token, before any delimiter), MatchEnd the reader's position after the match.
    int32_t MatchStart = 0;
    int32_t MatchEnd = 0;
    // Whether the last word of the match was ended by a delimiter that the reading consumed (without
    // word tags): MatchEnd then lies one byte after the word.
    bool MatchEndAfterDelimiter = false;
    std::string Caption;  // the pattern's name, shown while it is searched

    // Reads the next token of Reader's range into the word buffer (its first 255 bytes, lower-cased
    // unless MatchCase) and returns it; empty at the end of the range (a 0 byte in the text reads as a
    // blank). Without word tags the delimiter after the word is consumed; with word tags the byte that ended
    // the token is given back, and a word tag comes without its separator or its start string and stop
    // character.
    std::string_view ReadNextWord();
    // Whether Word matches Pattern (both prepared for the case rule) with the wildcards, the skipping
    // characters of the word and the equal characters.
    bool WildcardMatch(std::string_view Word, std::string_view Pattern) const;
    // Finds the next match from Reader's cursor within Reader's range. True with MatchStart, MatchEnd
    // set and the reader after the match; false when the range holds no further match or the owner's
    // search was cancelled. With ShowProgress the owner hears of the positions reached. Raises EConcError
    // "Unknown meta tag: " + name when a meta tag of the pattern is no longer defined.
    bool SearchRange(TBufStream& Reader, bool ShowProgress);
    // Forgets what the scans of SearchRange learnt of the bytes of the file searched so far (where
    // tags open, where the first term's bytes do not stand). Called before another file is searched,
    // so that a stream that took the place of a freed one is read afresh.
    void ForgetFile();
    // What the searches of earlier ranges of a file learnt: SearchRange over a range [Start, End) that
    // Holds would find no match.
    struct TClearStretch {
        int32_t From = 1, To = 0;  // no first term's bytes start in [From, To)
        int32_t Length = 0;        // of the first term's word; a shorter range holds none
        bool Holds(int32_t Start, int32_t End) const {
            return Start >= 0 &&
                   (End - Start < Length || (Start >= From && Start <= To && End - Length < To));
        }
    };
    // The stretch of ranges of a reader on Source; false when the search would read every range.
    bool ClearStretch(const TSynchroStream& Source, TClearStretch& Stretch) const;
    // Without word tags: the file offset of the first word byte at or after From on R, passing over
    // delimiters and tags as the word reading does; -1 when R's range holds none. Moves R's cursor.
    int32_t FirstWordByte(TBufStream& R, int32_t From);
    // With word tags: the file offset where a hit whose match began at From begins: its first word, or
    // in the tag syntax with tags before their words the tag read right before that word; word tags
    // that belong to no word are passed over. -1 when R's range holds no word. Moves R's cursor.
    int32_t FirstTaggedWordByte(TBufStream& R, int32_t From);

private:
    struct TAttempt;
    struct TMark {
        int32_t Position;
        bool DelimiterRead;
    };

    void CopyOptions();
    void BuildDelimiterSet();
    void BuildCharMaps();
    void ParsePattern(const std::string& Pattern);
    std::string NextPatternToken(const std::string& Pattern, size_t& At) const;
    void AddWordTagTerms(const std::string& WordPart, const std::string& TagPart);
    void AddTerm(TTermKind Kind, std::string Text);
    bool IsMetaTagName(const std::string& Name) const;
    const std::vector<std::string>& MetaTagMembers(TTerm& Term);

    std::string_view ReadRawWord();
    bool TagOpensAt(int32_t Position);
    // Reads the tag that opens at the cursor, leaving the cursor after it.
    void PassTag();
    std::string_view ReadTaggedToken();
    int32_t ReadTaggedTokenText();
    bool WildcardMatchAt(const char* W, size_t WLength, const char* P, size_t PLength) const;
    bool Equal(uint8_t A, uint8_t B) const { return FEqual[A][B]; }
    bool MatchWordTerm(const TTerm& Term, std::string_view Word) const;
    bool MatchTerm(TTerm& Term, std::string_view Token);
    bool TagAcceptsUntagged(const TTerm& Term) const;

    std::string_view ReadToken(TAttempt& A);
    std::string_view ReadWordToken(TAttempt& A);
    bool SkipWord(TAttempt& A);
    TMark Mark() const;
    void GiveBack(const TMark& M);
    bool PollCancel();
    // Whether C opens a two-byte character of the language's code page.
    bool IsLeadByte(char C) const { return FDoubleByte && (*FLeadBytes)[static_cast<uint8_t>(C)]; }
    // The bytes of the character at S[At] of a text of Length bytes: 2 for a lead byte with a byte after it.
    size_t CharLength(const char* S, size_t At, size_t Length) const {
        return IsLeadByte(S[At]) && At + 1 < Length ? 2 : 1;
    }
    bool MatchTermsFrom(size_t Index, TAttempt& A);
    bool MatchWordTagPair(size_t Index, TAttempt& A);
    bool MatchWordThenTag(size_t Index, TAttempt& A);
    bool MatchTagThenWord(size_t Index, TAttempt& A);
    bool MatchSkip(size_t Index, TAttempt& A);
    bool MatchSkipAny(size_t Index, TAttempt& A);
    bool SearchWords(bool ShowProgress);
    bool SkipToCandidate(bool ShowProgress);
    int32_t NextTagBefore(int32_t Base, std::string_view Window);
    // What PassClearTags passed over: the window offset the byte loop goes on from (0: nothing passed),
    // the words passed (counted only when asked) and, when a word was passed, where the next attempt
    // starts.
    struct TTagRun {
        size_t To = 0;
        size_t Words = 0;
        bool Word = false;
        size_t NextStart = 0;
    };
    TTagRun PassClearTags(std::string_view Ahead, size_t Count, size_t FirstTag, size_t Clear,
                          bool CountWords) const;
    TTagRun PassClearTagsBack(std::string_view Ahead, size_t Count, size_t Clear) const;
    // Learns the bytes that close a tag on R (FTagEnd, for the tag stop FTagEndsOf). False when the
    // passes over tags cannot tell where its tags end.
    bool KnowTagEnds(const TBufStream& R);
    bool FTagEndsRead = false;
    char FTagEndsOf = 0;
    int FTagEndCount = 0;
    uint8_t FTagEndByte = 0;         // the last of them
    bool FTagEndIsBoundary = false;  // every one of them is a delimiter
    std::array<bool, 256> FTagEnd{};

    bool SearchRegExp(bool ShowProgress);
    bool StartRegExpBuffer(int32_t Start);
    bool ReuseRegExpBuffer(int32_t Start);
    bool FillRegExpBuffer();
    void SlideRegExpBuffer(int32_t By);
    int32_t FileOffsetOf(int32_t Index) const;

    // Options as they were when the context was made.
    char FWildMany = '*', FWildOne = '%', FWildExactly = '?', FWildWords = '@', FTagSeparator = '&';
    uint8_t FWordsLo = 2, FWordsHi = 5;
    uint8_t FWordTag = 0;
    bool FTagBefore = false;
    std::vector<std::string> FPOSTagStarts;
    char FPOSTagStop = 0;
    bool FDoubleByte = false;
    const std::array<bool, 256>* FLeadBytes = nullptr;

    // Tables of the byte loops.
    std::array<bool, 256> FDelimiter{};
    TByteRows FDelimiterRows;  // FDelimiter for the word count of the scan's jump
    std::array<bool, 256> FSkip{};
    std::array<bool, 256> FPlain{};  // bytes the regular-expression buffer stores as they are
    bool FPlainReady = false;
    std::array<uint8_t, 256> FFold{};       // the lower-case map, or the identity with MatchCase
    std::array<uint8_t, 256> FLower{};      // the lower-case map (meta-tag names)
    std::array<TCharSet, 256> FEqual{};     // the bytes each byte equals (itself, its groups)
    std::array<uint8_t, 256> FMapped{};     // the byte every byte of a folded word compares as
    bool FMapExact = true;                  // FMapped gives exactly the equal-character relation
    std::array<uint8_t, 256> FSearchMap{};  // FMapped after FFold: what a byte of the text compares as
    // The first term is a plain word read without word tags: attempts that could not match it are
    // skipped by a scan of the reader's window.
    bool FScanFirst = false;
    bool FAnySkip = false;
    // What the scan has learnt of the tags ahead in one file: no tag opens in [FTagScanFrom,
    // FTagScanTo), and one opens at FTagScanTo when FTagScanFound.
    const TSynchroStream* FTagScanSource = nullptr;
    int32_t FTagScanFrom = 0, FTagScanTo = 0;
    bool FTagScanFound = false;
    // The scan's jump over words that cannot be the first term's word: every byte of a text word that
    // compares equal to the term's byte at Offset[0] (and at Offset[1] for words of two bytes or more)
    // is one of that position's few bytes, so the jump looks for those bytes sixteen starts at a time.
    struct TJumpPlan {
        bool Usable = false;
        int Positions = 0;  // 1 or 2
        size_t Offset[2] = {0, 0};
        uint8_t Bytes[2][8] = {};
        int Count[2] = {0, 0};
        std::array<bool, 256> Member[2]{};
    };
    TJumpPlan FJump;
    void PlanJump();
    struct TJump {
        size_t To;         // the boundary the byte loop goes on from
        size_t Words;      // words passed over on the way
        bool LastWordEnd;  // a word ends before To: the next attempt starts after its delimiter
        size_t LastWord;   // the index of that word's last byte
    };
    TJump JumpToCandidate(const uint8_t* Bytes, size_t From, size_t Count, bool CountWords) const;
    uint32_t FPassedWords = 0;  // words the scan passed over with a progress window
    bool IsCandidateAt(const uint8_t* Bytes, size_t From, size_t At) const;
    // The first At in [From, Count - length] where the first term's bytes stand in Bytes (compared as
    // the scan compares them, word boundaries aside), or Count - length + 1 when there is none.
    size_t FirstOccurrence(const uint8_t* Bytes, size_t From, size_t Count) const;
    // FirstOccurrence over the bytes of the reader's window from file offset Base on (Ahead), with what
    // is known of the file's clear stretch, which it extends: no first term's bytes start in [Base,
    // Base + the result).
    size_t ClearAhead(int32_t Base, std::string_view Ahead);
    // Whether the rest of the reader's range holds no word that may be the first term's word, as far
    // as the reader's window tells: a search of many short units passes most of them over at once.
    bool NoCandidateAhead();
    // What NoCandidateAhead has learnt of one file: no first term's bytes start in [FClearFrom,
    // FClearTo).
    const TSynchroStream* FClearSource = nullptr;
    int32_t FClearFrom = 0, FClearTo = 0;

    char FWord[WordSize + 1] = {};
    size_t FWordLength = 0;
    int32_t FTokenStart = 0;  // the file offset of the first byte of the token read last (word tags)
    bool FDelimiterRead = false;
    uint64_t FCall = 0;

    // The regular-expression buffer: Chars[i] stands for the file byte at FileOffsetOf(i).
    std::vector<char> FChars;
    std::vector<int32_t> FOffsets;    // bytes dropped before each character since FBase
    std::vector<uint8_t> FByteKinds;  // 0 single byte, 1 lead byte, 2 trail byte
    int32_t FBase = 0;                // the file offset of index 0, less FOffsets[0]
    int32_t FCount = 0;               // characters in the buffer
    int32_t FStartIndex = 0;
    bool FBufferFull = false;
    int32_t FFillEnd = 0;  // the reader position where filling stopped
    // What the buffer last held, to carry it on to the next call after a match.
    const TBufStream* FBufferReader = nullptr;
    int32_t FBufferRangeStart = -1, FBufferRangeEnd = -1;
    int32_t FBufferMatchEnd = -1;
    int32_t FBufferEndIndex = -1;
};

// ---- Search execution ------------------------------------------------------------------------------

// Receives each new hit and owns it from then on. Raising EAbort rejects the hit (the callback keeps or
// frees the item as it likes): a rejected hit counts neither for the frequency of hits nor for the
// maximum. Any other exception ends the search.
using HitFn = std::function<void(std::unique_ptr<TConcordItem> Item)>;
// Names the next entry of file File's alignment index to search, or a negative value when the file has
// no further one. Cookie is the callback's own (0 when a file begins); Once is false. It may set the
// search's Cancelled to stop the whole search.
using RangeFn = std::function<int32_t(int32_t File, int32_t& Cookie, bool Once)>;

// A heading marker as the search looks for it: "#" stands for a blank, CR or LF that must follow.
struct THeadMarker {
    std::string Text;    // without the trailing blank
    int32_t Length = 0;  // bytes the marker covers in the text, trailing blank included
    bool TrailingBlank = false;
};

// How far a search that runs on a thread of its own has come, for the thread that shows its progress:
// the search writes it once per file and aligned unit, anyone reads it at any time. Action and Caption
// point at texts that stay as they are while the search runs (nullptr: none yet).
struct TSearchReach {
    std::atomic<int32_t> File{-1};  // the file being searched (-1: none yet)
    std::atomic<int32_t> FileSize{0};
    std::atomic<int32_t> Position{0};  // where in that file the unit being searched starts
    std::atomic<int64_t> Overall{0};   // the bytes of the files before it, plus Position
    std::atomic<const char*> Action{nullptr};
    std::atomic<const char*> Caption{nullptr};
};

// What a progress window last showed of a TSearchReach, so that only what changed is shown again.
struct TSearchReachShown {
    int32_t File = -1;
    const char* Action = nullptr;
    const char* Caption = nullptr;
};

// One query run over every aligned unit of every file of its language.
class TSearch : public TSearchOwner {
public:
    TSearch();
    ~TSearch() override;
    TSearch(const TSearch&) = delete;
    TSearch& operator=(const TSearch&) = delete;

    // Builds the search from a copy of Query: its frequency of hits becomes the option FrequencyOfHits,
    // its equal characters the language's (with the skipping/equal-characters flag) or none. Stage 0 on
    // success. When a regular expression does not compile, ErrorText receives the message and Stage
    // names the pattern: 3 heading, 1 left context, 2 right context, 4 a search pattern; the search must
    // then not be executed. Other exceptions (a language that does not exist) pass on.
    void Prepare(const TConcSearchRec& Query, uint8_t& Stage, std::string& ErrorText);

    // Runs the prepared search over every file of the query's language until all are done or Cancelled
    // is set (by the progress window's Cancel, OnRange, or the MaxHits-th reported hit; MaxHits 0 means
    // no limit). OnRange (may be empty) names the entries to search; RangeTotal, when not 0, is the
    // number of entries it will name (the overall gauge counts them). With IsThread no window, message
    // or cursor is touched. Exceptions of the matching ("Unknown meta tag: ...") and of OnHit pass on,
    // after the readers, the window and the wait cursor are released; the hits reported stay with the
    // caller. The flags the range callbacks set in the files' alignment indexes are cleared.
    void Execute(bool IsThread, int32_t MaxHits, const HitFn& OnHit, const RangeFn& OnRange,
                 int32_t RangeTotal);

    // The caller applies the frequency of hits itself (a parallel search counts the lines it keeps):
    // every match is reported, and the query's FrequencyOfHits only tells the caller N.
    bool FrequencyByCaller = false;

    // The part of the entry a range callback names that is searched: [ClipStart, ClipEnd). The search
    // opens it wide before each call of the callback, which narrows it to a passage that covers only
    // part of its units.
    int32_t ClipStart = 0;
    int32_t ClipEnd = INT32_MAX;

    // The progress window's gauges and speed text; nothing without a window.
    void UpdateProgress(int32_t Position, bool Force) override;

    // A new progress window for a run of this prepared search (RangeTotal as for Execute): it describes
    // the query, its gauges span the corpus (or the ranges), and it is shown unless the application is
    // minimised. Main thread only; the caller owns it.
    std::unique_ptr<TDoubleProgressForm> OpenProgressWindow(int32_t RangeTotal) const;
    // Shows on Window what Reach says of a run of this search on another thread: the file scanned with
    // its gauge, the overall gauge, the caption and the action. Shown remembers what was shown last.
    void ShowReach(TDoubleProgressForm& Window, const TSearchReach& Reach, TSearchReachShown& Shown) const;

    // Set before Execute by a caller that runs the search on a thread of its own (IsThread) and shows
    // its progress on another: the search tells it how far it has come. Borrowed; nullptr: nobody.
    TSearchReach* Reach = nullptr;
    // The files the last Execute left out because they changed since they were opened. With a window
    // they are named in one warning as the search ends (ChangedFilesText); a search on a thread leaves
    // that to its caller.
    std::vector<int32_t> ChangedFiles;
    // The names of ChangedFiles, in the order met.
    std::vector<std::string> ChangedFileNames() const;

    std::unique_ptr<TConcSearchRec> Query;
    bool MatchCase = false;
    TCharSet SkipSet;
    bool HeadingSearch = false;
    THeadMarker HeadStart, HeadStop, TextStart, TextStop;
    std::unique_ptr<TSearchContext> HeadingContext;
    bool ContextSearch = false;
    std::unique_ptr<TSearchContext> LeftContext, RightContext;
    int32_t RightPatternLength = 0;
    std::vector<std::unique_ptr<TSearchContext>> Contexts;

    int32_t GaugeCounter = 0, SpeedCounter = 0;
    bool OverallFrozen = false;
    std::chrono::steady_clock::time_point StartTick, LastTick;
    // When the gauges last moved: they move at most every SearchGaugeInterval, however often the
    // counters call for it.
    std::chrono::steady_clock::time_point GaugeTick;
    int64_t OverallProgress = 0;
    int32_t LastPosition = 0;
    bool RangeMode = false;
    int32_t RangesDone = 0;
    // Matches found (after sentence mode) and hits reported in the last Execute.
    int32_t FoundCount = 0, ReportedCount = 0;

private:
    struct TFileRun;
    std::unique_ptr<TSearchContext> MakeContext(const std::string& Pattern);
    void SearchFile(int32_t File);
    void SearchEntry(TFileRun& Run, const TAlignIndex& Index, int32_t Entry);
    void LocateHeadingTexts(TFileRun& Run, int32_t Start, int32_t End);
    void SearchText(TFileRun& Run, int32_t Start, int32_t End);
    void SearchContextRange(TFileRun& Run, int32_t Start, int32_t End);
    bool KnownClear(const TFileRun& Run, int32_t Start, int32_t End) const;
    int32_t PassKnownClear(const TFileRun& Run, const TAlignIndex& Index, int32_t Entry);
    std::pair<int32_t, int32_t> UnitBytes(const TFileRun& Run, const TAlignIndex& Index, int32_t Entry) const;
    void HandleMatch(TFileRun& Run, TSearchContext& Context);
    bool InOneSentence(const TFileRun& Run, int32_t Start, int32_t End) const;
    void ReportHit(TFileRun& Run, TSearchContext& Context, int32_t Start, int32_t End);
    void SetAction(const char* Text);
    void SetCaption(const char* Text);
    bool MarkerProgress(int32_t Position);
    bool GaugeDue(bool Force);
    void ShowGauges(int32_t Position);
    void ShowFileScanned();
    void FileDone(int32_t FileSize);

    bool FIsThread = false;
    int32_t FMaxHits = 0;
    // "Searching for [name]..." of each pattern context, made once per run rather than once per unit.
    std::vector<std::string> FCaptions;
    // What this run last showed, so that the text of every unit is not compared again: the action text
    // (the literal passed) and which of FCaptions is the caption (npos: another text).
    const char* FActionShown = nullptr;
    size_t FCaptionShown = std::string::npos;
    void SetPatternCaption(size_t Context);
    const HitFn* FOnHit = nullptr;
    const RangeFn* FOnRange = nullptr;
    // The file being searched and the one whose name and size the window shows: a file's label and
    // per-file gauge wait for the gauges' clock like every other figure, so that a corpus of many small
    // files does not repaint the window once per file.
    int32_t FFile = -1, FFileSize = 0, FFileShown = -1;
    // The bytes of the files searched before the current one, for Reach.
    int64_t FBytesBefore = 0;
};

// Fills the nine word slots of Item for the hit [Start, End) of its file, read through Reader (which it
// moves and classifies): slot 0 the hit text (at most 60 characters; in the regular-expression syntax
// the raw text with line breaks as one blank, cut to its first 27 and last 28 characters around
// " ... "; otherwise its words joined by blanks), slots 4 to 1 the four words before the hit, 5 to 8
// the four after it, with their offsets. End must be at most the file size.
void BuildKwicLine(TBufStream& Reader, int32_t Start, int32_t End, TConcordItem& Item, uint8_t Syntax);
