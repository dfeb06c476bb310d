// The program's own regular-expression engine.
//
// Patterns are POSIX extended regular expressions with a few additions (\w \W \d \D \s \S, \b \B,
// \< \>, and \` \' for the ends of the whole text). Matching is leftmost, then longest: at the first
// position where any match starts, the longest match there wins. Which characters are letters, digits
// and blanks, and which compare equal, comes from the tables of the pattern's corpus language, not from
// a fixed table. Where the language leaves room:
//   - A character after a backslash is read as written; ordinary characters, bracket members and range
//     ends are translated (case folding, equal characters) before they are used.
//   - *, + and ? with nothing to repeat (at the start of the pattern, a group or an alternative, or
//     after an anchor or word assertion) have no effect; so has a valid interval there.
//   - A { that does not begin a complete interval, a ) without an open group, and a back-reference to a
//     group still open are ordinary characters.
//   - Groups and repetitions nested more than 1000 deep are refused ("Regular expression nested too
//     deeply").
//   - In a language with characters of two bytes (code pages 932, 936, 949, 950) a lead byte and the
//     byte after it are one character, in the pattern as in the text: an ordinary character, the dot,
//     a member of a bracket expression and the end of a range (ranges run over the characters' values,
//     a byte or lead * 256 + second byte) take the whole character, and so does a negated bracket
//     expression; a character class names characters of one byte only.
//   - Positions outside the text count as non-word characters for \b \B \< \>. A caller that searches
//     a window of a longer text passes the bytes around the window (a lead-in before Start, and bytes
//     from Stop on), so that a window that cuts a word does not make a boundary there.
//
// Layers, top to bottom:
//   - TRegExp: what the search and the dialogs use (compile once, search it in many texts).
//   - The character tables of a language (TRegExpCharTables), one immutable set per language,
//     rebuilt by InitRegExpCharTables and captured by every TRegExp at creation.
//   - The engine: the compiled-pattern record, the compiler, the first-character map, the search and
//     the matcher (RegExpCompilePattern, RegExpCompileFastmap, RegExpSearchRange, RegExpMatchAt).
//
// Work: a pattern without back-references is searched in time linear in the text: where the longest
// match is wanted, by a deterministic automaton built as the text needs it (RegExp3_Dfa.h), which leaves
// the matcher only the group registers of the match it found; otherwise by the matcher, which remembers
// the states it has tried (see RegExp3_Match.cpp for how counted loops are kept from multiplying them).
// Back-references can take time exponential in the text; every search is bounded by the thread's step
// limit and can be cancelled (TRegExpControl).
//
// Threads: a compiled pattern is read-only while it is searched; the matcher's working storage (its
// failure stack and registers) belongs to the calling thread. Several threads may compile and search
// patterns of different languages at once. One TRegExp must not be searched by two threads at once
// (its Registers are filled by every search).
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConcErrors.h"

// ---- Syntax bits ----------------------------------------------------------------------------------

// The pattern language of search terms, the query check and the tag markers (POSIX extended).
constexpr uint32_t RegExpSyntaxExtended = 0x3B2DC;
// Added to the syntax: the first match found at a position is taken, no longer one is looked for.
constexpr uint32_t RegExpNoPosixBacktracking = 0x40000;
// Heading patterns of the segmentation: POSIX extended, first match wins.
constexpr uint32_t RegExpSyntaxHeading = RegExpSyntaxExtended | RegExpNoPosixBacktracking;

// ---- Character tables -----------------------------------------------------------------------------

// Class-table bits.
constexpr uint8_t RC_SPACE = 1;
constexpr uint8_t RC_DIGIT = 2;
constexpr uint8_t RC_UPPER = 4;
constexpr uint8_t RC_LOWER = 8;
constexpr uint8_t RC_XDIGIT = 16;
constexpr uint8_t RC_CNTRL = 32;
constexpr uint8_t RC_PUNCT = 64;
constexpr uint8_t RC_BLANK = 128;
// What a letter is: a character with either case bit. Punctuation that is not a word delimiter of the
// language, and letters of scripts without case, get both bits.
constexpr uint8_t RC_LETTER = RC_UPPER | RC_LOWER;

// Word-table bits.
constexpr uint8_t RW_WORD = 1;
constexpr uint8_t RW_SPACE = 2;
constexpr uint8_t RW_DIGIT = 4;

using TByteSet = std::bitset<256>;

// The character tables of one language. A set is immutable once published: InitRegExpCharTables
// replaces a language's set with a new one, and every TRegExp keeps the set it was created with.
struct TRegExpCharTables {
    std::array<uint8_t, 256> ClassTable{};  // RC_* bits
    std::array<uint8_t, 256> WordTable{};   // RW_* bits
    // The search character map: the byte every byte compares as (case folding under IgnoreCase, the
    // representative of its equal-character group under UseSkipEqualChars, otherwise itself). It is the
    // translate table of every pattern compiled with this set.
    std::array<uint8_t, 256> CharMap{};
    // The other-case form of each byte by the class table: an upper-case letter's lower case, a
    // lower-case letter's upper case; 0 for a byte without case or whose other case is itself.
    std::array<uint8_t, 256> CasePartner{};
    bool IgnoreCase = false;  // the map folds case, and patterns admit both cases at their first byte
    // The first bytes of two-byte characters (none in a one-byte code page): in a pattern such a byte
    // takes the byte after it as the rest of its character, never as an operator.
    std::array<bool, 256> LeadByte{};
};

// Everything a language's tables are derived from.
struct TRegExpCharSource {
    std::array<uint16_t, 256> CharType1{};  // the code page's C1_* class bits (platform/Nls)
    std::array<uint8_t, 256> LowerCase{};   // the language's lower-case map
    std::array<uint8_t, 256> UpperCase{};   // the language's upper-case map
    std::string NonWordChars;               // the language's word delimiters
    bool IgnoreCase = false;
    bool UseSkipEqualChars = false;
    std::vector<TByteSet> EqualCharGroups;  // in text order; a later group overrides an earlier one
    std::array<bool, 256> LeadByte{};       // of a double-byte language's code page
};

// Builds a table set from its sources; pure, touches no global state.
std::shared_ptr<const TRegExpCharTables> BuildRegExpCharTables(const TRegExpCharSource& Source);

// Rebuilds the tables of a corpus language (0..3) from its configuration (the defaults of a new one when
// the slot is empty), its locale's code page and the options object (IgnoreCase, UseSkipEqualChars), and
// publishes them for the TRegExp objects created afterwards. When the locale's code page cannot be classified
// the language keeps the tables it had. Safe to call while other threads create and search patterns.
void InitRegExpCharTables(int Language);

// The current tables of a language (0..3); built from its configuration on first use. Never null.
// Raises std::out_of_range for a language outside 0..3 (as do the two functions around it).
std::shared_ptr<const TRegExpCharTables> RegExpCharTables(int Language);

// A table set of a language (0..3) built afresh from its configuration and the options, as
// InitRegExpCharTables builds it, but folding case as IgnoreCase says (a query's own case rule); it is
// not published. The language's current tables when its code page cannot be classified.
std::shared_ptr<const TRegExpCharTables> QueryRegExpCharTables(int Language, bool IgnoreCase);

// Publishes a table set for a language, as InitRegExpCharTables does after building it.
void SetRegExpCharTables(int Language, std::shared_ptr<const TRegExpCharTables> Tables);

// ---- Messages -------------------------------------------------------------------------------------

// The engine's error numbers; RegExpErrorText gives their texts.
enum TRegExpError : int {
    reNoError = 0,
    reNoMatch,
    reBadPattern,
    reBadCollation,
    reBadClass,
    reTrailingBackslash,
    reBadBackReference,
    reUnmatchedBracket,
    reUnmatchedParen,
    reUnmatchedBrace,
    reBadInterval,
    reBadRange,
    reOutOfMemory,
    reBadRepetition,
    rePrematureEnd,
    reTooBig,
    reUnmatchedRightParen
};
constexpr int RegExpErrorCount = 17;

// The English text of an error number ("Success" for 0); "" outside the table.
const char* RegExpErrorText(int Error);

// The text of the exception raised when the matcher meets an operation it does not know.
extern const char* const RegExpInternalErrorText;
// The compile error of a pattern whose groups and repetitions nest more than RegExpMaxNesting deep.
extern const char* const RegExpTooDeepText;
// The text of the exception raised when one search exceeds its step limit (see TRegExpControl).
extern const char* const RegExpTooManyStepsText;

// Raised by TRegExp when a pattern does not compile (with one text of the table above) and when the
// matcher meets an unknown operation ("Internal regexp error.").
class ERegExp : public EConcError {
public:
    explicit ERegExp(const std::string& Message) : EConcError(Message) {}
};

// ---- The compiled form ----------------------------------------------------------------------------

// Operation codes of the byte code. Operands follow the code byte; jump offsets are 32-bit
// little-endian and relative to the end of their own operation.
enum TRegExpOp : uint8_t {
    ro_no_op = 0,                    // nothing
    ro_succeed,                      // the match ends here at once
    ro_exactn,                       // n(1) bytes(n): these translated bytes
    ro_anychar,                      // any byte but NUL
    ro_charset,                      // map(32): a translated byte in the map
    ro_charset_not,                  // map(32): a translated byte not in the map
    ro_start_memory,                 // reg(1): group reg starts here
    ro_stop_memory,                  // reg(1): group reg ends here
    ro_duplicate,                    // reg(1): the text of group reg again (translated)
    ro_begline,                      // start of the text or after a line feed
    ro_endline,                      // end of the text or before a line feed
    ro_begbuf,                       // start of the whole text
    ro_endbuf,                       // end of the whole text
    ro_jump,                         // off(4)
    ro_jump_past_alt,                // off(4): the end of an alternative, to after the last one
    ro_on_failure_jump,              // off(4): remember the target as an alternative, go on
    ro_on_failure_keep_string_jump,  // off(4): head of a loop over the one-byte test that follows it:
                                     //   the test is repeated while it succeeds, then the match goes
                                     //   on at the target, and the shorter runs are its alternatives
    ro_pop_failure_jump,             // off(4): forget the newest alternative, jump
    ro_maybe_pop_jump,               // off(4): end of a loop of one byte test that nothing after it
                                     //   can share: the loop finishes without alternatives
    ro_dummy_failure_jump,           // off(4): jump into a loop's body past its exit alternative
    ro_push_dummy_failure,           // an alternative that only fails further
    ro_succeed_n,                    // off(4) cell(2) min(2) max(2): head of a counted loop
    ro_jump_n,                       // off(4) cell(2) min(2): end of a counted loop's body
    ro_set_number_at,                // cell(2) value(2): a counted loop starts from value
    ro_wordchar,                     // a word byte (untranslated)
    ro_notwordchar,                  // a byte that is not a word byte
    ro_wordbeg,                      // the start of a word
    ro_wordend,                      // the end of a word
    ro_wordbound,                    // a word byte on one side only (none outside the text)
    ro_notwordbound,                 // word bytes on both sides or on neither
    ro_digit,                        // a digit byte (untranslated)
    ro_notdigit,                     // a byte that is not a digit
    ro_space,                        // a space byte (untranslated)
    ro_notspace,                     // a byte that is not a space
    ro_repeat_test,                  // min(2) max(2) <test>: from min to max bytes the one-byte test
                                     //   that follows accepts, as many as it can first, and the shorter
                                     //   runs as its alternatives (counted repetitions of one byte)
    ro_LastOp = ro_repeat_test
};

// The deepest nesting of groups and repetitions a pattern may have.
constexpr int RegExpMaxNesting = 1000;
// An unbounded repetition count in the byte code.
constexpr uint16_t RegExpUnbounded = 0xFFFF;
// The largest interval bound a pattern may give.
constexpr int RegExpDupMax = 0x7FFF;
// The largest byte code a pattern may compile to.
constexpr int RegExpMaxCodeSize = 65536;
// Groups beyond this number are parsed but not recorded.
constexpr int RegExpMaxGroups = 255;
// The failure stack of a thread grows on demand up to 24 MB (entries of 12 bytes); a match that needs
// more gives up (-2 from the search and the matcher). Entries: one per pending alternative (two for
// the shorter runs of a repeated one-byte test, however many), and one per group register or loop
// counter changed while an alternative is pending. So (y)*x over n bytes without an x needs about 3n
// entries.
constexpr size_t RegExpFailureStackEntryBytes = 12;
constexpr size_t RegExpFailureStackLimit = (size_t(24) << 20) / RegExpFailureStackEntryBytes;

// Sets the failure-stack limit of the calling thread's matcher; 0 restores RegExpFailureStackLimit.
// Tests lower it to reach the limit with short texts.
void SetRegExpThreadStackLimit(size_t Entries);

// ---- Cancelling and bounding a search -------------------------------------------------------------

// Results of the search and the matcher besides a position or length.
constexpr int RegExpNoMatch = -1;
constexpr int RegExpGaveUp = -2;        // the failure stack or memory ran out
constexpr int RegExpCancelled = -3;     // the thread's cancel flag was set
constexpr int RegExpTooManySteps = -4;  // the thread's step limit was exceeded

// The steps one search or match may take by default. A step is one operation of the byte code, one
// alternative resumed, or 64 bytes scanned or compared; patterns without back-references need a small
// multiple of the text's length times the pattern's size, so only back-references and nested large
// intervals come near it. A fraction of a second to a few seconds of work.
constexpr uint64_t RegExpDefaultStepLimit = 200'000'000;

// How the searches of a thread are stopped from outside. The matcher reads Cancel (when set) every
// 1,024 steps, which is well under a millisecond, so a search ends within about 100 ms of the flag
// being set however long its text or hard its pattern. The flag belongs to the caller and must
// outlive the scope that installs it.
struct TRegExpControl {
    const std::atomic<bool>* Cancel = nullptr;
    uint64_t StepLimit = RegExpDefaultStepLimit;  // per call of RegExpSearchRange / RegExpMatchAt
};

// Installs a control for every search and match the calling thread runs while the scope lives (the
// search of a query, a parallel-search thread, the corpus pass), and restores the previous one on
// destruction. Without one a thread runs with no cancel flag and RegExpDefaultStepLimit. Scopes nest;
// each must be destroyed on the thread that made it.
class TRegExpControlScope {
public:
    explicit TRegExpControlScope(const TRegExpControl& Control);
    ~TRegExpControlScope();
    TRegExpControlScope(const TRegExpControlScope&) = delete;
    TRegExpControlScope& operator=(const TRegExpControlScope&) = delete;

private:
    TRegExpControl FPrevious;
};

// The control the calling thread's searches run with.
TRegExpControl RegExpThreadControl();

// The compiled-pattern record. Filled by RegExpCompilePattern and RegExpCompileFastmap, read-only
// while searched.
struct TRegExpPattern {
    std::vector<uint8_t> Buffer;  // the byte code (Used bytes of it)
    int32_t Allocated = 0;        // the byte code's reserved size (32, doubling)
    int32_t Used = 0;             // the byte code's length
    uint32_t Syntax = RegExpSyntaxExtended;
    std::array<uint8_t, 256> Fastmap{};    // translated bytes that can begin a match
    std::array<uint8_t, 256> StartMap{};   // raw bytes whose translation Fastmap admits
    std::array<uint8_t, 256> Translate{};  // what each byte compares as; set by the caller
    int32_t NumGroups = 0;                 // groups of the pattern (recorded or not)
    int32_t NumCells = 0;                  // counters of the counted loops
    bool CanBeEmpty = false;               // the map cannot be trusted: try every position
    bool FastmapAccurate = false;          // Fastmap has been computed
    bool NoSub = false;                    // the caller wants only the whole match
    bool NotBol = false;                   // the text's start is not the start of a line
    bool NotEol = false;                   // the text's end is not the end of a line
    bool NewlineAnchor = false;            // ^ and $ also match after / before a line feed
    // Raw bytes one of which every match ends with (only word or line assertions may follow it), so
    // that a search ends its matches and its start positions at the last such byte of the text.
    // HasLastBytes is false when the pattern has no such byte.
    bool HasLastBytes = false;
    std::array<uint8_t, 256> LastBytes{};
    // The matcher's memo of tried states (see RegExp3_Match.cpp). Per byte-code position: -1, or the
    // offset in MemoKeys of its key: first row, number of enclosing counted loops, then per loop its
    // count cell, the number of counts that differ (radix), the row multiplier of the count and the
    // row multiplier of "the loop's iteration began here" (0 when that does not matter: without
    // 0x40000); last the first dominance row of the target (-1 for none) and the minimum count of its
    // innermost loop, from which on a smaller count dominates a larger one. Empty when the memo cannot
    // be used (back-references).
    std::vector<int32_t> MemoSlots;
    std::vector<int64_t> MemoKeys;
    int64_t MemoRows = 0;
    int64_t MemoDominanceRows = 0;
    // The search finds matches with a deterministic automaton where it can (no back-references, longest
    // match; see RegExp3_Dfa.h); false keeps it to the backtracking matcher. The answers are the same.
    bool UseAutomaton = true;
    // Tells compiled patterns apart: a thread keeps the automata of the patterns it searched by it. A
    // pattern's byte code must not change once it has been searched.
    uint64_t Serial = 0;
    std::shared_ptr<const TRegExpCharTables> Tables;  // class and word tables (set by the caller)
};

// Match registers: entry 0 is the whole match, entry n group n; -1 where nothing was matched.
struct TRegExpRegisters {
    int32_t NumRegs = 0;
    std::vector<int32_t> Starts;
    std::vector<int32_t> Ends;
};

// Compiles Length bytes of Text into Record with Record.Syntax, Record.Translate and Record.Tables
// (both set by the caller). Asks for sub-matches and sets the newline anchor. Returns nullptr on
// success, else the error text; Record's byte code is then empty.
const char* RegExpCompilePattern(const char* Text, int Length, TRegExpPattern& Record);

// Fills Record.Fastmap (and CanBeEmpty, StartMap) from the byte code; under a table set that ignores
// case, the other case of every admitted byte is admitted too. Returns 0, or -2 when its work storage
// cannot be had. Raises ERegExp ("Internal regexp error.") on an unknown operation code.
int RegExpCompileFastmap(TRegExpPattern& Record);

// The start position of the leftmost match whose start lies in Start..Start+Range (clipped to Stop; a
// negative Range tries Start only) and that consumes nothing at or beyond Stop (clipped to Start..Length;
// the bytes from Stop on are seen only by the anchors and word assertions, and \' matches only at
// Length). -1 (RegExpNoMatch) when there is none, -2 when the matcher gave up (its failure stack full,
// or out of memory), -3 when the thread's cancel flag was set, -4 when the thread's step limit was
// exceeded (TRegExpControl). Regs (may be null) receives the match's registers. Raises ERegExp
// ("Internal regexp error.") on an unknown operation code.
int RegExpSearchRange(const TRegExpPattern& Record, const char* Text, int Length, int Start, int Range,
                      TRegExpRegisters* Regs, int Stop = INT32_MAX);

// The length of the match at Position (the longest, or the first found with the 0x40000 syntax bit),
// consuming nothing at or beyond Stop (Stop <= Length; anchors still see the whole text). -1 when
// there is none or Position lies outside the text; -2, -3, -4 as RegExpSearchRange. Regs may be null.
int RegExpMatchAt(const TRegExpPattern& Record, const char* Text, int Length, int Position,
                  TRegExpRegisters* Regs, int Stop);

// ---- The pattern object ---------------------------------------------------------------------------

struct TRegExpSpan {
    int32_t Start = 0;
    int32_t End = 0;  // exclusive
};

class TRegExp {
public:
    // Compiles Pattern (all of it) for a corpus language with that language's current tables. Syntax
    // is RegExpSyntaxExtended, optionally with RegExpNoPosixBacktracking. Raises ERegExp with the
    // compiler's message, std::out_of_range for a language outside 0..3.
    TRegExp(std::string_view Pattern, uint32_t Syntax, int Language);
    // The same over an explicit table set (never null).
    TRegExp(std::string_view Pattern, uint32_t Syntax, int Language,
            std::shared_ptr<const TRegExpCharTables> Tables);
    ~TRegExp();
    TRegExp(const TRegExp&) = delete;
    TRegExp& operator=(const TRegExp&) = delete;

    // True when a match of length 1 or more starts at the leftmost position from Start on where any
    // match starts; Span receives its start and end (exclusive) in Text. False when there is no match,
    // when the leftmost match is empty (no later position is tried; Span then receives it, Start = End),
    // and when the matcher gave up (Span then receives -1, -1).
    // Raises EAbort when the thread's cancel flag is set during the search, ERegExp with
    // RegExpTooManyStepsText when the search exceeds the thread's step limit (TRegExpControlScope), and
    // ERegExp ("Internal regexp error.") on corrupt byte code.
    bool Search(std::string_view Text, int Start, TRegExpSpan& Span);
    // The same, for a window Text[..Stop) of a longer text: the match consumes nothing from Stop on,
    // while ^ $ \b \B \< \> see the bytes there (a window that ends inside a word, or before a line
    // feed, is judged by the text that follows it). \' matches only at the end of Text.
    bool Search(std::string_view Text, int Start, int Stop, TRegExpSpan& Span);

    int32_t Language;
    std::unique_ptr<TRegExpPattern> Pattern;
    // The whole match of the last search (entry 0); the pattern object does not record its groups.
    std::unique_ptr<TRegExpRegisters> Registers;
    bool FastmapValid = false;

private:
    void Compile(std::string_view Text, uint32_t Syntax, std::shared_ptr<const TRegExpCharTables> Tables);
};
