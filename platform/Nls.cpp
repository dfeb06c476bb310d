#include "platform/Nls.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace platform {

namespace {

struct TLocaleCodePage {
    uint32_t Lcid;
    int CodePage;
};

// The known locales with their ANSI code pages, ascending by identifier.
constexpr TLocaleCodePage LocaleCodePages[] = {
    {0x0401, 1256}, {0x0402, 1251}, {0x0403, 1252}, {0x0404, 950},  {0x0405, 1250}, {0x0406, 1252},
    {0x0407, 1252}, {0x0408, 1253}, {0x0409, 1252}, {0x040A, 1252}, {0x040B, 1252}, {0x040C, 1252},
    {0x040D, 1255}, {0x040E, 1250}, {0x040F, 1252}, {0x0410, 1252}, {0x0411, 932},  {0x0412, 949},
    {0x0413, 1252}, {0x0414, 1252}, {0x0415, 1250}, {0x0416, 1252}, {0x0418, 1250}, {0x0419, 1251},
    {0x041A, 1250}, {0x041B, 1250}, {0x041C, 1250}, {0x041D, 1252}, {0x041E, 874},  {0x041F, 1254},
    {0x0421, 1252}, {0x0422, 1251}, {0x0423, 1251}, {0x0424, 1250}, {0x0425, 1257}, {0x0426, 1257},
    {0x0427, 1257}, {0x0429, 1256}, {0x042D, 1252}, {0x0436, 1252}, {0x0438, 1252}, {0x0801, 1256},
    {0x0804, 936},  {0x0807, 1252}, {0x0809, 1252}, {0x080A, 1252}, {0x080C, 1252}, {0x0810, 1252},
    {0x0812, 1361}, {0x0813, 1252}, {0x0814, 1252}, {0x0816, 1252}, {0x081A, 1250}, {0x081D, 1252},
    {0x0C01, 1256}, {0x0C04, 950},  {0x0C07, 1252}, {0x0C09, 1252}, {0x0C0A, 1252}, {0x0C0C, 1252},
    {0x0C1A, 1251}, {0x1001, 1256}, {0x1004, 936},  {0x1007, 1252}, {0x1009, 1252}, {0x100A, 1252},
    {0x100C, 1252}, {0x1401, 1256}, {0x1407, 1252}, {0x1409, 1252}, {0x140A, 1252}, {0x140C, 1252},
    {0x1801, 1256}, {0x1809, 1252}, {0x180A, 1252}, {0x1C01, 1256}, {0x1C09, 1252}, {0x1C0A, 1252},
    {0x2001, 1256}, {0x2009, 1252}, {0x200A, 1252}, {0x2401, 1256}, {0x2409, 1252}, {0x240A, 1252},
    {0x2801, 1256}, {0x2809, 1252}, {0x280A, 1252}, {0x2C01, 1256}, {0x2C09, 1252}, {0x2C0A, 1252},
    {0x3001, 1256}, {0x300A, 1252}, {0x3401, 1256}, {0x340A, 1252}, {0x3801, 1256}, {0x380A, 1252},
    {0x3C01, 1256}, {0x3C0A, 1252}, {0x4001, 1256}, {0x400A, 1252}, {0x440A, 1252}, {0x480A, 1252},
    {0x4C0A, 1252}, {0x500A, 1252},
};

constexpr uint32_t PrimaryLanguage(uint32_t Lcid) {
    return Lcid & 0x3FF;
}

const TLocaleCodePage* FindExact(uint32_t Lcid) {
    auto It = std::lower_bound(std::begin(LocaleCodePages), std::end(LocaleCodePages), Lcid,
                               [](const TLocaleCodePage& E, uint32_t Id) { return E.Lcid < Id; });
    return It != std::end(LocaleCodePages) && It->Lcid == Lcid ? It : nullptr;
}

// The first known locale of the same primary language, in table order; the table lists the base
// locale (sublanguage 1) first, which carries the language's usual code page.
const TLocaleCodePage* FindByPrimaryLanguage(uint32_t Lcid) {
    if (PrimaryLanguage(Lcid) == 0) return nullptr;
    for (const auto& E : LocaleCodePages)
        if (PrimaryLanguage(E.Lcid) == PrimaryLanguage(Lcid)) return &E;
    return nullptr;
}

// ICU's names for the Windows code pages. The plain "windows-93x" aliases are ambiguous in ICU, so the
// exact table names are used.
const char* ConverterName(int CodePage) {
    switch (CodePage) {
        case 874:
            return "windows-874-2000";
        case 932:
            return "windows-932";
        case 936:
            return "windows-936-2000";
        case 949:
            return "windows-949-2000";
        case 950:
            return "windows-950-2000";
        case 1250:
            return "windows-1250";
        case 1251:
            return "windows-1251";
        case 1252:
            return "windows-1252";
        case 1253:
            return "windows-1253";
        case 1254:
            return "windows-1254";
        case 1255:
            return "windows-1255";
        case 1256:
            return "windows-1256";
        case 1257:
            return "windows-1257";
        case 1258:
            return "windows-1258";
        default:
            return nullptr;
    }
}

struct TConverterCloser {
    void operator()(UConverter* C) const { ucnv_close(C); }
};
using TConverterPtr = std::unique_ptr<UConverter, TConverterCloser>;

// Undecodable input becomes "?" rather than ICU's U+FFFD / U+001A.
void ToUnicodeQuestionMark(const void*, UConverterToUnicodeArgs* Args, const char*, int32_t,
                           UConverterCallbackReason Reason, UErrorCode* Err) {
    if (Reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
    *Err = U_ZERO_ERROR;
    const UChar Q = u'?';
    ucnv_cbToUWriteUChars(Args, &Q, 1, 0, Err);
}

TConverterPtr OpenConverter(int CodePage, bool Substitute) {
    const char* Name = ConverterName(CodePage);
    if (!Name) return nullptr;
    UErrorCode Err = U_ZERO_ERROR;
    TConverterPtr C(ucnv_open(Name, &Err));
    if (U_FAILURE(Err)) return nullptr;
    if (Substitute) {
        ucnv_setSubstChars(C.get(), "?", 1, &Err);
        ucnv_setToUCallBack(C.get(), ToUnicodeQuestionMark, nullptr, nullptr, nullptr, &Err);
    } else {
        ucnv_setToUCallBack(C.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &Err);
        ucnv_setFromUCallBack(C.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &Err);
    }
    return U_SUCCESS(Err) ? std::move(C) : nullptr;
}

// Converters are not thread-safe; each thread keeps its own, one per code page, opened on first use.
UConverter* ThreadConverter(int CodePage) {
    thread_local std::map<int, TConverterPtr> Converters;
    auto It = Converters.find(CodePage);
    if (It == Converters.end()) It = Converters.emplace(CodePage, OpenConverter(CodePage, true)).first;
    if (It->second) ucnv_reset(It->second.get());
    return It->second.get();
}

// Runs an ICU conversion into Out, growing Out once when ICU says how much it needs; "" on failure.
template <typename TOut, typename TConvert>
TOut ConvertGrowing(TOut Out, TConvert Convert) {
    for (;;) {
        UErrorCode Err = U_ZERO_ERROR;
        const int32_t N = Convert(Out.data(), static_cast<int32_t>(Out.size()), &Err);
        if (Err == U_BUFFER_OVERFLOW_ERROR) {
            Out.resize(static_cast<size_t>(N) + 1);
            continue;
        }
        if (U_FAILURE(Err)) return {};
        Out.resize(static_cast<size_t>(N));
        return Out;
    }
}

std::u16string Decode(UConverter* C, std::string_view Bytes) {
    // A code-page byte yields at most one UTF-16 unit.
    return ConvertGrowing(
        std::u16string(Bytes.size() + 1, u'\0'), [&](char16_t* To, int32_t Size, UErrorCode* Err) {
            return ucnv_toUChars(C, To, Size, Bytes.data(), static_cast<int32_t>(Bytes.size()), Err);
        });
}

std::string Encode(UConverter* C, std::u16string_view Text) {
    // At most two bytes per unit in these code pages.
    return ConvertGrowing(
        std::string(Text.size() * 2 + 1, '\0'), [&](char* To, int32_t Size, UErrorCode* Err) {
            return ucnv_fromUChars(C, To, Size, Text.data(), static_cast<int32_t>(Text.size()), Err);
        });
}

std::u16string Utf8ToUtf16(std::string_view Utf8) {
    std::u16string Out(Utf8.size() + 1, u'\0');  // never more units than bytes
    UErrorCode Err = U_ZERO_ERROR;
    int32_t N = 0;
    u_strFromUTF8WithSub(Out.data(), static_cast<int32_t>(Out.size()), &N, Utf8.data(),
                         static_cast<int32_t>(Utf8.size()), u'?', nullptr, &Err);
    if (U_FAILURE(Err)) return {};
    Out.resize(static_cast<size_t>(N));
    return Out;
}

std::string Utf16ToUtf8(std::u16string_view Text) {
    std::string Out(Text.size() * 3 + 1, '\0');  // one unit yields at most three bytes
    UErrorCode Err = U_ZERO_ERROR;
    int32_t N = 0;
    u_strToUTF8WithSub(Out.data(), static_cast<int32_t>(Out.size()), &N, Text.data(),
                       static_cast<int32_t>(Text.size()), u'?', nullptr, &Err);
    if (U_FAILURE(Err)) return {};
    Out.resize(static_cast<size_t>(N));
    return Out;
}

// ---- Table building ---------------------------------------------------------------------------------

constexpr int NoUnit = -1;

// The UTF-16 unit that byte B decodes to on its own, or NoUnit (lead byte, undefined byte).
int DecodeSingleByte(UConverter* C, uint8_t B) {
    UChar Out[4];
    UErrorCode Err = U_ZERO_ERROR;
    const char In = static_cast<char>(B);
    int32_t N = ucnv_toUChars(C, Out, 4, &In, 1, &Err);
    if (U_FAILURE(Err) || N != 1 || U16_IS_SURROGATE(Out[0])) return NoUnit;
    return Out[0];
}

bool IsSymbolOrPunctuation(UChar32 Ch) {
    const uint32_t Mask = U_GC_P_MASK | U_GC_SM_MASK | U_GC_SC_MASK | U_GC_SK_MASK | U_GC_SO_MASK;
    return (U_GET_GC_MASK(Ch) & Mask) != 0;
}

uint16_t ClassOf(UChar32 Ch) {
    uint16_t Bits = 0;
    if (u_isupper(Ch)) Bits |= C1_UPPER;
    if (u_islower(Ch)) Bits |= C1_LOWER;
    if (u_isdigit(Ch)) Bits |= C1_DIGIT;
    if (u_isspace(Ch)) Bits |= C1_SPACE;
    if (IsSymbolOrPunctuation(Ch)) Bits |= C1_PUNCT;
    if (u_charType(Ch) == U_CONTROL_CHAR) Bits |= C1_CNTRL;
    if (u_isblank(Ch)) Bits |= C1_BLANK;
    if (Ch < 0x80 && u_isxdigit(Ch)) Bits |= C1_XDIGIT;
    if (u_hasBinaryProperty(Ch, UCHAR_ALPHABETIC)) Bits |= C1_ALPHA;
    return Bits;
}

void SetIdentityMaps(TCodePageTables& T) {
    for (int B = 0; B < 256; ++B) {
        T.LowerCase[B] = static_cast<uint8_t>(B);
        T.UpperCase[B] = static_cast<uint8_t>(B);
    }
}

std::unique_ptr<TCodePageTables> BuildTables(int CodePage) {
    auto T = std::make_unique<TCodePageTables>();
    T->CodePage = CodePage;
    SetIdentityMaps(*T);
    TConverterPtr C = OpenConverter(CodePage, false);
    if (!C) return T;
    T->Valid = true;

    UBool Starters[256] = {};
    UErrorCode Err = U_ZERO_ERROR;
    if (ucnv_getType(C.get()) != UCNV_SBCS) ucnv_getStarters(C.get(), Starters, &Err);
    if (U_SUCCESS(Err))
        T->DoubleByte = std::any_of(std::begin(Starters), std::end(Starters), [](UBool B) { return B != 0; });

    // Decode every byte, remembering which byte each character came from (the first one wins).
    std::array<int, 256> Units;
    std::map<int, uint8_t> ByteOfUnit;
    for (int B = 0; B < 256; ++B) {
        T->LeadByte[B] = U_SUCCESS(Err) && Starters[B];
        Units[B] = T->LeadByte[B] ? NoUnit : DecodeSingleByte(C.get(), static_cast<uint8_t>(B));
        if (Units[B] != NoUnit) ByteOfUnit.emplace(Units[B], static_cast<uint8_t>(B));
    }

    for (int B = 0; B < 256; ++B) {
        if (Units[B] == NoUnit) continue;
        const UChar32 Ch = Units[B];
        T->CharType1[B] = ClassOf(Ch);
        // Byte 0 ends every text; it never changes case.
        if (B == 0) continue;
        if (u_isupper(Ch)) {
            auto It = ByteOfUnit.find(u_tolower(Ch));
            if (It != ByteOfUnit.end()) T->LowerCase[B] = It->second;
        }
        if (u_islower(Ch)) {
            auto It = ByteOfUnit.find(u_toupper(Ch));
            if (It != ByteOfUnit.end()) T->UpperCase[B] = It->second;
        }
    }
    return T;
}

std::mutex TablesLock;

}  // namespace

// ---- Locales ----------------------------------------------------------------------------------------

const std::vector<uint32_t>& KnownLocaleIds() {
    static const std::vector<uint32_t> Ids = [] {
        std::vector<uint32_t> V;
        for (const auto& E : LocaleCodePages) V.push_back(E.Lcid);
        return V;
    }();
    return Ids;
}

bool IsKnownLocale(uint32_t Lcid) {
    return FindExact(Lcid) != nullptr;
}

int AnsiCodePage(uint32_t Lcid) {
    // The high word holds the sort order, which does not change the code page.
    const uint32_t LangId = Lcid & 0xFFFF;
    if (const auto* E = FindExact(LangId)) return E->CodePage;
    if (const auto* E = FindByPrimaryLanguage(LangId)) return E->CodePage;
    return SystemCodePage();
}

int SystemCodePage() {
    static const int CodePage = FindExact(UserDefaultLangId())->CodePage;
    return CodePage;
}

namespace {

bool HasConverter(const TLocaleCodePage* E) {
    return E && IsValidCodePage(E->CodePage);
}

// Language and script of an ICU locale name with its likely subtags filled in ("sr_RS" -> "sr",
// "Cyrl"), so that two names of the same written language compare equal.
std::pair<std::string, std::string> LanguageAndScript(const char* IcuLocale) {
    char Full[ULOC_FULLNAME_CAPACITY] = {};
    char Language[ULOC_LANG_CAPACITY] = {};
    char Script[ULOC_SCRIPT_CAPACITY] = {};
    UErrorCode Err = U_ZERO_ERROR;
    uloc_addLikelySubtags(IcuLocale, Full, sizeof Full, &Err);
    if (U_FAILURE(Err)) return {};
    uloc_getLanguage(Full, Language, sizeof Language, &Err);
    uloc_getScript(Full, Script, sizeof Script, &Err);
    return U_SUCCESS(Err) ? std::pair<std::string, std::string>(Language, Script)
                          : std::pair<std::string, std::string>();
}

std::pair<std::string, std::string> LanguageAndScriptOfLcid(uint32_t Lcid) {
    char Name[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode Err = U_ZERO_ERROR;
    uloc_getLocaleForLCID(Lcid, Name, sizeof Name - 1, &Err);
    return U_SUCCESS(Err) ? LanguageAndScript(Name) : std::pair<std::string, std::string>();
}

// A known locale for a user locale that the table does not hold exactly ("sr_RS", "en_IN"): among the
// known locales of the same primary language, the first written in the same language and script, else
// the first of the same language, else the first of the primary language at all.
const TLocaleCodePage* NearestKnownLocale(const char* IcuLocale, uint32_t Lcid) {
    if (PrimaryLanguage(Lcid) == 0) return nullptr;
    const auto Wanted = LanguageAndScript(IcuLocale);
    const TLocaleCodePage* SameLanguage = nullptr;
    const TLocaleCodePage* SamePrimary = nullptr;
    for (const auto& E : LocaleCodePages) {
        if (PrimaryLanguage(E.Lcid) != PrimaryLanguage(Lcid) || !HasConverter(&E)) continue;
        const auto Have = LanguageAndScriptOfLcid(E.Lcid);
        if (!Wanted.first.empty() && Have == Wanted) return &E;
        if (!SameLanguage && !Wanted.first.empty() && Have.first == Wanted.first) SameLanguage = &E;
        if (!SamePrimary) SamePrimary = &E;
    }
    return SameLanguage ? SameLanguage : SamePrimary;
}

}  // namespace

uint32_t LangIdOfLocaleName(const char* IcuLocale) {
    if (!IcuLocale) return LANG_ENGLISH_US;
    const uint32_t Id = uloc_getLCID(IcuLocale) & 0xFFFF;
    // A language whose text cannot be converted here is no default for anyone.
    if (HasConverter(FindExact(Id))) return Id;
    const TLocaleCodePage* Nearest = NearestKnownLocale(IcuLocale, Id);
    return Nearest ? Nearest->Lcid : LANG_ENGLISH_US;
}

uint32_t UserDefaultLangId() {
    return LangIdOfLocaleName(uloc_getDefault());
}

bool IsLocaleSupported(uint32_t Lcid) {
    char Name[ULOC_FULLNAME_CAPACITY];
    UErrorCode Err = U_ZERO_ERROR;
    int32_t N = uloc_getLocaleForLCID(Lcid, Name, sizeof Name, &Err);
    return U_SUCCESS(Err) && Err != U_STRING_NOT_TERMINATED_WARNING && N > 0;
}

bool IsUsableLocale(uint32_t Lcid) {
    return HasConverter(FindExact(Lcid));
}

std::vector<uint32_t> InstalledLocaleIds() {
    std::vector<uint32_t> Ids;
    for (const auto& E : LocaleCodePages)
        if (IsLocaleSupported(E.Lcid) && IsValidCodePage(E.CodePage)) Ids.push_back(E.Lcid);
    return Ids;
}

// ---- Code pages -------------------------------------------------------------------------------------

bool IsValidCodePage(int CodePage) {
    return CodePageTables(CodePage).Valid;
}

std::u16string CodePageToUtf16(int CodePage, std::string_view Bytes) {
    UConverter* C = ThreadConverter(CodePage);
    return C && !Bytes.empty() ? Decode(C, Bytes) : std::u16string();
}

std::u16string CodePageToUtf16Mapped(int CodePage, std::string_view Bytes, std::vector<int32_t>& ByteToUnit) {
    ByteToUnit.assign(Bytes.size() + 1, -1);
    UConverter* C = ThreadConverter(CodePage);
    std::u16string Out;
    if (C && !Bytes.empty()) {
        // A code-page byte yields at most one UTF-16 unit, and so does each undecodable sequence.
        Out.resize(Bytes.size());
        std::vector<int32_t> Offsets(Bytes.size());
        char16_t* Target = Out.data();
        const char* Source = Bytes.data();
        UErrorCode Err = U_ZERO_ERROR;
        ucnv_toUnicode(C, &Target, Out.data() + Out.size(), &Source, Bytes.data() + Bytes.size(),
                       Offsets.data(), true, &Err);
        if (U_FAILURE(Err)) Target = Out.data();
        Out.resize(size_t(Target - Out.data()));
        for (size_t U = Out.size(); U-- > 0;) {
            const int32_t B = Offsets[U];
            if (B >= 0 && size_t(B) < Bytes.size()) ByteToUnit[size_t(B)] = int32_t(U);
        }
    }
    ByteToUnit.back() = int32_t(Out.size());
    for (size_t B = Bytes.size(); B-- > 0;)
        if (ByteToUnit[B] < 0) ByteToUnit[B] = ByteToUnit[B + 1];
    return Out;
}

std::string Utf16ToCodePage(int CodePage, std::u16string_view Text) {
    UConverter* C = ThreadConverter(CodePage);
    return C && !Text.empty() ? Encode(C, Text) : std::string();
}

namespace {

// For a code page: the bytes that stand for each character it lacks, where a near one exists.
using TNearestTable = std::unordered_map<UChar32, std::string>;

// The bytes of Text in the code page, empty when a character has no mapping (fallbacks allowed).
std::string EncodeExactly(UConverter* Strict, const icu::UnicodeString& Text) {
    std::string Out(size_t(Text.length()) * 4 + 4, '\0');
    UErrorCode Err = U_ZERO_ERROR;
    ucnv_reset(Strict);
    const int32_t N =
        ucnv_fromUChars(Strict, Out.data(), int32_t(Out.size()), Text.getBuffer(), Text.length(), &Err);
    if (U_FAILURE(Err)) return {};
    Out.resize(size_t(N));
    return Out;
}

// Built once per code page over the blocks where letters and signs have a Latin or plain look-alike:
// the character's base letter when the code page has it (r for r with caron), else its Latin-ASCII
// transliteration (l for l with stroke, ss for sharp s, quotes and dashes), never "?" ahead of these.
TNearestTable BuildNearestTable(int CodePage) {
    TNearestTable Table;
    TConverterPtr Strict = OpenConverter(CodePage, false);
    if (!Strict) return Table;
    ucnv_setFallback(Strict.get(), true);
    UErrorCode Err = U_ZERO_ERROR;
    const icu::Normalizer2* Nfd = icu::Normalizer2::getNFDInstance(Err);
    std::unique_ptr<icu::Transliterator> ToAscii(
        icu::Transliterator::createInstance("Latin-ASCII", UTRANS_FORWARD, Err));
    if (U_FAILURE(Err)) return Table;
    constexpr std::pair<UChar32, UChar32> Blocks[] = {{0x00A0, 0x02FF}, {0x1E00, 0x1EFF}, {0x2000, 0x206F},
                                                      {0x20A0, 0x20CF}, {0x2100, 0x218F}, {0xFB00, 0xFB06}};
    for (const auto& [First, Last] : Blocks) {
        for (UChar32 Cp = First; Cp <= Last; ++Cp) {
            const icu::UnicodeString Alone(Cp);
            if (!EncodeExactly(Strict.get(), Alone).empty()) continue;
            UErrorCode NfdErr = U_ZERO_ERROR;
            const icu::UnicodeString Decomposed = Nfd->normalize(Alone, NfdErr);
            std::string Bytes;
            if (U_SUCCESS(NfdErr) && Decomposed.length() > 1)
                Bytes = EncodeExactly(Strict.get(), icu::UnicodeString(Decomposed.char32At(0)));
            if (Bytes.empty()) {
                icu::UnicodeString Latin(Alone);
                ToAscii->transliterate(Latin);
                if (Latin != Alone && Latin.length() > 0) Bytes = EncodeExactly(Strict.get(), Latin);
            }
            if (!Bytes.empty()) Table.emplace(Cp, std::move(Bytes));
        }
    }
    return Table;
}

const TNearestTable& NearestTable(int CodePage) {
    static std::mutex Lock;
    static std::map<int, std::unique_ptr<TNearestTable>> Tables;
    std::lock_guard<std::mutex> Guard(Lock);
    auto& Slot = Tables[CodePage];
    if (!Slot) Slot = std::make_unique<TNearestTable>(BuildNearestTable(CodePage));
    return *Slot;
}

void FromUnicodeNearest(const void* Context, UConverterFromUnicodeArgs* Args, const UChar*, int32_t,
                        UChar32 CodePoint, UConverterCallbackReason Reason, UErrorCode* Err) {
    if (Reason > UCNV_IRREGULAR) return;  // reset, close, clone: nothing to write
    const auto& Table = *static_cast<const TNearestTable*>(Context);
    const auto It = Table.find(CodePoint);
    *Err = U_ZERO_ERROR;
    if (It != Table.end())
        ucnv_cbFromUWriteBytes(Args, It->second.data(), int32_t(It->second.size()), 0, Err);
    else
        ucnv_cbFromUWriteBytes(Args, "?", 1, 0, Err);
}

UConverter* ThreadNearestConverter(int CodePage) {
    thread_local std::map<int, TConverterPtr> Converters;
    auto It = Converters.find(CodePage);
    if (It == Converters.end()) {
        TConverterPtr C = OpenConverter(CodePage, true);
        UErrorCode Err = U_ZERO_ERROR;
        if (C) {
            ucnv_setFallback(C.get(), true);
            ucnv_setFromUCallBack(C.get(), FromUnicodeNearest, &NearestTable(CodePage), nullptr, nullptr,
                                  &Err);
            if (U_FAILURE(Err)) C.reset();
        }
        It = Converters.emplace(CodePage, std::move(C)).first;
    }
    if (It->second) ucnv_reset(It->second.get());
    return It->second.get();
}

}  // namespace

std::string Utf16ToCodePageNearest(int CodePage, std::u16string_view Text) {
    UConverter* C = ThreadNearestConverter(CodePage);
    if (!C || Text.empty()) return {};
    // A character may become several (sharp s as "ss"); ICU says when the first guess is short.
    return ConvertGrowing(
        std::string(Text.size() * 2 + 16, '\0'), [&](char* To, int32_t Size, UErrorCode* Err) {
            return ucnv_fromUChars(C, To, Size, Text.data(), static_cast<int32_t>(Text.size()), Err);
        });
}

std::string CodePageToUtf8(int CodePage, std::string_view Bytes) {
    return Utf16ToUtf8(CodePageToUtf16(CodePage, Bytes));
}

std::string Utf8ToCodePage(int CodePage, std::string_view Utf8) {
    if (!ThreadConverter(CodePage)) return {};
    return Utf16ToCodePage(CodePage, Utf8ToUtf16(Utf8));
}

const TCodePageTables& CodePageTables(int CodePage) {
    static std::map<int, std::unique_ptr<TCodePageTables>> Cache;
    std::lock_guard<std::mutex> Guard(TablesLock);
    auto& Slot = Cache[CodePage];
    if (!Slot) Slot = BuildTables(CodePage);
    return *Slot;
}

bool IsLeadByte(int CodePage, uint8_t B) {
    return CodePageTables(CodePage).LeadByte[B];
}

}  // namespace platform
