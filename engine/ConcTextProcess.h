// Text and character helpers shared by the engine and the dialogs, and the visible text of a file
// range as the text views show it.
//
// Text is bytes in the language's 8-bit code page. Routines that take a language index L read
// LanguageConfigs[L] (its locale, lower-case map and equal characters) and raise std::out_of_range when
// that language does not exist. The per-character routines are safe on any thread and take no lock on
// their fast path; the routines that change a language's configuration (ParseEqualChars) belong to the
// main thread.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TBufStream;
class TConcSearchRec;
class TConcordConfig;

// A set of byte values.
using TCharSet = std::bitset<256>;
// A 256-byte translation of every byte value.
using TSearchCharMap = std::array<uint8_t, 256>;
// The CT_CTYPE1 class bits (platform::C1_*) of every byte value of a code page.
using TCharClassTable = std::array<uint16_t, 256>;

// ---- Strings and lists -------------------------------------------------------------------------------

// S without leading, trailing, or leading and trailing blanks. Only the blank counts: tabs stay.
std::string TrimLeftBlanks(std::string_view S);
std::string TrimRightBlanks(std::string_view S);
std::string TrimBlanks(std::string_view S);
// S without any blank.
std::string RemoveBlanks(std::string_view S);
// S without the bytes of Set.
std::string RemoveCharsInSet(std::string_view S, const TCharSet& Set);
// The set of the bytes of S.
TCharSet CharSetOf(std::string_view S);
// Token := the text of S before its first byte that is in Delimiters; that part and the delimiter are
// removed from S. When S holds no delimiter, Token := S and S becomes empty.
void ExtractToken(std::string& S, std::string_view Delimiters, std::string& Token);
// The index of the first entry of List equal to S (exact bytes), -1 when none is.
int StringsIndexOf(std::string_view S, const std::vector<std::string>& List);
// Whether the lists differ in count or in any entry (exact bytes).
bool StringsDiffer(const std::vector<std::string>& A, const std::vector<std::string>& B);
// Whether A and B differ by more than 0.000001.
bool FloatsDiffer(double A, double B);
// The number of digits of |N| written in Base, at least 1. Raises std::invalid_argument when Base < 2.
int NumberOfDigits(int64_t N, int Base);
// Packs High into the upper and Low into the lower 32 bits; SplitInt64 gives both back unchanged, for
// any sign of either.
int64_t MakeInt64(int32_t High, int32_t Low);
void SplitInt64(int64_t Value, int32_t& High, int32_t& Low);
// In place, left to right: every CR LF pair, LF CR pair, lone CR and lone LF becomes one blank; every
// other byte from 1 to 31 (tab included) is removed. Bytes 0 and from 32 up stay.
void FlattenLineBreaks(std::string& Text);
// The first occurrence of Pattern (exact bytes) lying wholly inside Buffer[0, Length); nullptr when
// Pattern is empty, longer than Length, or absent. The result points into Buffer.
const char* MemPos(const char* Buffer, std::string_view Pattern, int64_t Length);
// "Syntax: <Text|Regex|Tag>, Ignore Case: <ON|OFF>, Freq of Hits: <n>" for a query: "OFF" when the query
// matches case, "ON" otherwise; a syntax outside 0..2 shows an empty name.
std::string SearchSummaryText(const TConcSearchRec& Query);
// Appends the name of every corpus language, 0 to LanguagesCount - 1.
void AddLanguageNames(std::vector<std::string>& List);
// Replaces List's entries with the context units "Characters", "Words", "Lines", "Sentence", "Segment".
void FillContextUnits(std::vector<std::string>& List);

// ---- Characters and case -----------------------------------------------------------------------------

// C through the lower-case map of language L.
char LangLowerChar(char C, int L);
// C upper-cased in the code page of L's locale (simple case mapping; the byte itself when its upper
// case is not one byte of the code page).
char LangUpperChar(char C, int L);
// Copies the zero-terminated Source, terminator included, through L's lower-case map into Dest, which
// must hold as many bytes. Source and Dest may be the same buffer.
void LangStrLower(const char* Source, char* Dest, int L);
// A copy of S through L's lower-case map.
std::string LangLowerCase(std::string_view S, int L);
// Compares A and B as zero-terminated texts (the end of a view, or a 0 byte in it, ends the text),
// byte by byte as unsigned values, both bytes through L's lower-case map when IgnoreCase. Returns the
// difference of the first differing bytes (so "ab" sorts before "abc" and 0xE9 after 'z'); 0 when equal.
int LangStrComp(std::string_view A, std::string_view B, bool IgnoreCase, int L);
// The other-case form of C by L's character-class table: an upper-case C gives LangLowerChar, a
// lower-case C LangUpperChar; 0 for a character without case.
char LangCasePartner(char C, int L);
// Whether P starts a two-byte character of CodePage: its first byte is a lead byte and a second byte
// (not the terminator) follows. P must point at a zero-terminated text.
bool IsDoubleByteChar(int CodePage, const char* P);
// A = B, or, when CommonConfig's UseSkipEqualChars is on, one equal-character group of L holds both.
bool CharsEqual(char A, char B, int L);

// The ANSI code page of L's locale.
int LangCodePage(int L);
// The character-class table of language L: the C1_* bits of every byte in the code page of L's locale.
// Per language, so that threads searching different languages each read their own. The reference stays
// valid until the program ends; a later change of L's locale gives another table on the next call.
const TCharClassTable& LangCharClasses(int L);

// ---- Equal characters and the search character map ---------------------------------------------------

// Parses L's EqualChars into its EqualCharGroups. Blanks are dropped; groups are separated by ";" and
// each is a character, optionally followed by "=" and a character any number of times, every character
// at least "A" (65, unsigned). An empty text gives no groups. On a syntax error (an empty group, a
// character below "A", a missing or dangling "=") L is left with no groups and the result is False.
bool ParseEqualChars(int L);
// The same for a configuration that need not be one of LanguageConfigs (one being read from a file).
bool ParseEqualChars(TConcordConfig& Config);

// Rebuilds and returns the search character map of language L from CommonConfig's IgnoreCase and
// UseSkipEqualChars: with neither, the identity; with IgnoreCase, every upper-case byte (by the
// language's regular-expression class table, InitRegExpCharTables) maps to its lower case; with
// UseSkipEqualChars, every byte of each equal-character group (and with IgnoreCase its other-case
// partner) maps to the group's lowest byte, lower-cased with IgnoreCase; a later group wins. Byte 0
// always maps to itself. The map is the one the language's regular-expression tables carry: building it
// rebuilds those tables (InitRegExpCharTables), so patterns compiled afterwards fold exactly as the
// text helpers do. Building one language never disturbs another's. Raises std::out_of_range when L does
// not exist.
TSearchCharMap BuildSearchCharMap(int L);
// The search character map last built for language index L (built from L's configuration on first
// use). Raises std::out_of_range for an index outside 0..3.
TSearchCharMap SearchCharMap(int L);

// ---- Tags, files and measures ------------------------------------------------------------------------

// S without a leading TagStart and without a trailing TagStop character of CommonConfig (a 0 setting,
// or no CommonConfig, strips nothing).
std::string StripTagDelimiters(std::string_view S);
// Creates a new empty file named Prefix + six random characters + ".tmp" in the temporary folder and
// returns its full path; the caller deletes it. "" when no file could be created.
std::string MakeTempFileName(const std::string& Prefix);
// Whether the file looks like text: fewer than 5 of its first 256 bytes are control bytes (0 to 8, 11,
// 14 to 31, 127 and 255; tab, line feed, form feed and carriage return are text). Also True when the
// file cannot be opened (its open says why later) or is empty; False for anything but a regular file (a
// FIFO or device is not waited on).
bool IsTextFile(const std::string& FileName);
// Whether FileName is a regular file of 0 bytes (False when it cannot be examined).
bool IsEmptyFile(const std::string& FileName);
// A file name fit for saving: a folder part is made absolute, the characters " * / : < > ? \ | are
// removed from the name part, and a name without extension (a trailing dot is dropped first) gets
// DefaultExtension, with a leading dot added when it has none. "" when nothing of the name part is left,
// or only "." or "..", so that callers refuse it.
std::string MakeValidFileName(const std::string& Name, const std::string& DefaultExtension);
// Captions, progress texts and reports show corpus files by name only, never with their folders.
constexpr bool ShowFullPathNames = false;
// Round(MM * DPI / 25.4), halves to even.
int MillimetresToPixels(double MM, int DPI);

// ---- Visible text of a file range --------------------------------------------------------------------

// What a text view hides.
struct TSuppressFlags {
    bool HideTags = false;     // bytes the reader classifies ctTag
    bool HidePOSTags = false;  // bytes the reader classifies ctPOSTag
    bool HideWords = false;    // words, delimiters and line breaks; white-space runs cut to one byte
};

// The views' menu options.
enum TSuppressOption { soTags = 0, soWords = 1, soPOSTags = 2 };

// Inverts the flag of Option (0 tags, 1 words, 2 part-of-speech tags). Switching one on while the two
// others are on is refused: nothing changes and the result is False; so is an Option outside 0..2.
// Otherwise the flag changes and the result is True.
bool ToggleSuppressOption(TSuppressFlags& Flags, int Option);

// The visible text of the bytes [Start, End) of Reader's source: what Flags hide is left out, and TAB,
// LF and CR come back as blanks. A 0 byte reads as a blank, as it does for every reading of the corpus. The
// reader starts 512 bytes before Start so that a tag opened there is recognised; those bytes are never
// returned. The reader is set to its whole source first when it is classified or limited to a range, and its
// cursor is left where reading stopped.
void ReadVisibleText(TBufStream& Reader, int32_t Start, int32_t End, std::string& Text,
                     const TSuppressFlags& Flags);
// The offset of the (N + 1)-th visible byte from Start on, looking no further than offset End itself;
// Start when fewer visible bytes follow. Reader as for ReadVisibleText.
int32_t AdvanceVisibleChars(TBufStream& Reader, int32_t Start, int32_t End, int32_t N,
                            const TSuppressFlags& Flags);
