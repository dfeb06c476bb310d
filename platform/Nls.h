// National-language support: what the program needs to know about a locale and its 8-bit code page.
//
// A language is a Windows locale identifier (LCID, 0x0409 = US English). Its text is bytes in the
// locale's ANSI code page. This unit maps locales to code pages, converts between code pages and
// Unicode (through ICU), and builds per code page the byte tables the engine works with: lower- and
// upper-case maps, character classes and double-byte lead bytes.
//
// Everything here is thread-safe: several languages are searched on threads at once. The per-code-page
// tables are built once, on first use, and live until the program ends.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// US English, the language of last resort.
constexpr uint32_t LANG_ENGLISH_US = 0x0409;

// Character class bits of one byte (the CT_CTYPE1 classes).
constexpr uint16_t C1_UPPER = 0x0001;
constexpr uint16_t C1_LOWER = 0x0002;
constexpr uint16_t C1_DIGIT = 0x0004;
constexpr uint16_t C1_SPACE = 0x0008;
constexpr uint16_t C1_PUNCT = 0x0010;  // punctuation and symbols (math, currency, modifier, other)
constexpr uint16_t C1_CNTRL = 0x0020;
constexpr uint16_t C1_BLANK = 0x0040;
constexpr uint16_t C1_XDIGIT = 0x0080;  // ASCII 0-9, A-F, a-f only
constexpr uint16_t C1_ALPHA = 0x0100;

// ---- Locales ----------------------------------------------------------------------------------------

// The locale identifiers the program knows (104 of them), ascending.
const std::vector<uint32_t>& KnownLocaleIds();
// Whether Lcid (full value) is one of KnownLocaleIds().
bool IsKnownLocale(uint32_t Lcid);

// The locale's default ANSI code page (1250..1257, 874, 932, 936, 949, 950, 1361). Looked up by the
// language identifier (low 16 bits) in the known table, then by its primary language (low 10 bits)
// among the known locales; anything else gives SystemCodePage().
int AnsiCodePage(uint32_t Lcid);

// The code page of the user's default language: AnsiCodePage(UserDefaultLangId()).
int SystemCodePage();

// The user's default language from the environment's locale (LC_ALL, LC_MESSAGES, LANG through ICU):
// its identifier when the known table holds it exactly; otherwise the known locale of the same primary
// language written in the same language and script ("sr_RS" gives Serbian in Cyrillic, "en_IN" US
// English), else of the same language, else of the same primary language; LANG_ENGLISH_US when none is
// (the C/POSIX locale, "vi_VN"). Locales whose code page has no converter are never chosen.
uint32_t UserDefaultLangId();
// The same rule for a given ICU locale name ("de_DE", "en_US_POSIX"); tests use it to inject a locale.
uint32_t LangIdOfLocaleName(const char* IcuLocale);

// Whether Lcid (full value) is a known locale whose code page has a converter: the identifiers a
// corpus language may have.
bool IsUsableLocale(uint32_t Lcid);

// Whether ICU can name a locale for Lcid (the stand-in for "the system knows this language").
bool IsLocaleSupported(uint32_t Lcid);

// The known locales that are installed here: ICU maps the identifier to a locale and its ANSI code
// page has a converter. Ascending order.
std::vector<uint32_t> InstalledLocaleIds();

// ---- Code pages -------------------------------------------------------------------------------------

// Whether an ICU converter exists for the code page.
bool IsValidCodePage(int CodePage);

// Converters. Bytes that do not decode, and characters the code page cannot hold, become "?" (one
// per undecodable byte sequence, one per unmappable code point). An invalid code page gives an empty
// result. UTF-8 input is decoded with "?" for ill-formed sequences.
std::u16string CodePageToUtf16(int CodePage, std::string_view Bytes);
std::string Utf16ToCodePage(int CodePage, std::u16string_view Text);
// Utf16ToCodePage for text that must stay readable and searchable (converted corpus files): a
// character the code page lacks takes ICU's fallback mapping, else its base letter or Latin
// transliteration when the code page holds that (l for l with stroke, ss for sharp s), and only then
// "?" (a wildcard and word end in a corpus). The table of near characters is built once per code page.
std::string Utf16ToCodePageNearest(int CodePage, std::u16string_view Text);
// CodePageToUtf16 with the position of every byte in the result, for placing byte ranges (runs,
// carets) on the decoded text: ByteToUnit gets Bytes.size() + 1 entries; entry i is the first UTF-16
// unit of the character byte i starts; a byte inside a character maps to where the next character
// starts; the last entry is the result's length.
std::u16string CodePageToUtf16Mapped(int CodePage, std::string_view Bytes, std::vector<int32_t>& ByteToUnit);
std::string CodePageToUtf8(int CodePage, std::string_view Bytes);
std::string Utf8ToCodePage(int CodePage, std::string_view Utf8);

// The byte tables of one code page. A byte is classified and case-mapped only when it decodes on its
// own to exactly one UTF-16 unit; every other byte (a lead byte, an undefined byte) has class 0 and
// maps to itself. A case mapping is kept only when the result encodes back to exactly one byte, so
// both maps are byte-to-byte. Casing is ICU's simple, locale-independent case mapping.
struct TCodePageTables {
    int CodePage = 0;
    bool Valid = false;                     // a converter exists; else the maps are the identity
    bool DoubleByte = false;                // the code page has lead bytes
    std::array<uint8_t, 256> LowerCase{};   // upper-case letters to their lower case
    std::array<uint8_t, 256> UpperCase{};   // lower-case letters to their upper case
    std::array<uint16_t, 256> CharType1{};  // C1_* bits
    std::array<bool, 256> LeadByte{};       // first byte of a double-byte character
};

// The tables of a code page, built on first use and cached for the life of the program. The reference
// stays valid until the program ends. An invalid code page gives identity maps and Valid == false.
// The lookup takes a lock: hot loops keep the reference instead of looking it up per byte.
const TCodePageTables& CodePageTables(int CodePage);

// Whether B starts a two-byte character in CodePage (only 932, 936, 949 and 950 have lead bytes).
bool IsLeadByte(int CodePage, uint8_t B);

}  // namespace platform
