// The pattern object and the per-language character tables.
#include "engine/RegExp3.h"

#include <climits>
#include <mutex>
#include <stdexcept>

#include "engine/ConcConfig.h"
#include "platform/Nls.h"

namespace {

const char* const ErrorTexts[RegExpErrorCount] = {"Success",
                                                  "No match",
                                                  "Invalid regular expression",
                                                  "Invalid collation character",
                                                  "Invalid character class name",
                                                  "Trailing backslash",
                                                  "Invalid back reference",
                                                  "Unmatched [ or [^",
                                                  "Unmatched ( or \\(",
                                                  "Unmatched \\{",
                                                  "Invalid content of \\{\\}",
                                                  "Invalid range end",
                                                  "Memory exhausted",
                                                  "Invalid preceding regular expression",
                                                  "Premature end of regular expression",
                                                  "Regular expression too big",
                                                  "Unmatched ) or \\)"};

// The published table set of each corpus language. A TRegExp holds its own reference, so replacing a
// set never disturbs a search that is running with the old one.
std::mutex TablesLock;
std::array<std::shared_ptr<const TRegExpCharTables>, MaxLanguages> LanguageTables;

void CheckLanguage(int Language) {
    if (Language < 0 || Language >= MaxLanguages)
        throw std::out_of_range("Regular-expression tables: no language " + std::to_string(Language));
}

uint8_t ClassBitsOf(uint16_t C1) {
    uint8_t Bits = 0;
    if (C1 & platform::C1_UPPER) Bits |= RC_UPPER;
    if (C1 & platform::C1_LOWER) Bits |= RC_LOWER;
    if (C1 & platform::C1_DIGIT) Bits |= RC_DIGIT;
    if (C1 & platform::C1_SPACE) Bits |= RC_SPACE;
    if (C1 & platform::C1_PUNCT) Bits |= RC_PUNCT;
    if (C1 & platform::C1_CNTRL) Bits |= RC_CNTRL;
    if (C1 & platform::C1_BLANK) Bits |= RC_BLANK;
    if (C1 & platform::C1_XDIGIT) Bits |= RC_XDIGIT;
    // Letters of scripts without case (Arabic, Hebrew, Thai...) are letters too, or words in those
    // languages could never match \w, [:alpha:] or a word boundary.
    if ((C1 & platform::C1_ALPHA) && !(C1 & (platform::C1_UPPER | platform::C1_LOWER))) Bits |= RC_LETTER;
    return Bits;
}

void BuildClassTables(const TRegExpCharSource& Source, TRegExpCharTables& T) {
    TByteSet NonWord;
    for (char C : Source.NonWordChars) NonWord.set(uint8_t(C));
    for (int C = 0; C < 256; ++C) {
        uint8_t Bits = ClassBitsOf(Source.CharType1[size_t(C)]);
        // Punctuation inside words (the apostrophe, unless the user lists it) is a letter; the word
        // delimiters are punctuation, digits and letters included.
        if (NonWord[size_t(C)])
            Bits = RC_PUNCT;
        else if (Bits & RC_PUNCT)
            Bits = RC_LETTER;
        T.ClassTable[size_t(C)] = Bits;
        uint8_t Word = 0;
        if ((Bits & (RC_DIGIT | RC_LETTER)) || C == '_') Word |= RW_WORD;
        if (Bits & RC_DIGIT) Word |= RW_DIGIT;
        if (Bits & (RC_SPACE | RC_BLANK)) Word |= RW_SPACE;
        T.WordTable[size_t(C)] = Word;
    }
}

void BuildCasePartners(const TRegExpCharSource& Source, TRegExpCharTables& T) {
    for (int C = 0; C < 256; ++C) {
        const uint8_t Bits = T.ClassTable[size_t(C)];
        uint8_t Partner = 0;
        if (Bits & RC_UPPER)
            Partner = Source.LowerCase[size_t(C)];
        else if (Bits & RC_LOWER)
            Partner = Source.UpperCase[size_t(C)];
        T.CasePartner[size_t(C)] = Partner == C ? 0 : Partner;
    }
}

// Identity, upper case folded to lower case under IgnoreCase, and each equal-character group sent to its
// lowest character (lower-cased under IgnoreCase), with the other case of each member.
void BuildCharMap(const TRegExpCharSource& Source, TRegExpCharTables& T) {
    for (int C = 0; C < 256; ++C) T.CharMap[size_t(C)] = uint8_t(C);
    if (Source.IgnoreCase)
        for (int C = 0; C < 256; ++C)
            if (T.ClassTable[size_t(C)] & RC_UPPER) T.CharMap[size_t(C)] = Source.LowerCase[size_t(C)];
    if (!Source.UseSkipEqualChars) return;
    for (const TByteSet& Group : Source.EqualCharGroups) {
        int Lowest = 0;
        while (Lowest < 256 && !Group[size_t(Lowest)]) ++Lowest;
        if (Lowest == 256) continue;
        const uint8_t Representative = Source.IgnoreCase ? Source.LowerCase[size_t(Lowest)] : uint8_t(Lowest);
        for (int C = Lowest; C < 256; ++C) {
            if (!Group[size_t(C)]) continue;
            T.CharMap[size_t(C)] = Representative;
            if (Source.IgnoreCase && T.CasePartner[size_t(C)] != 0)
                T.CharMap[T.CasePartner[size_t(C)]] = Representative;
        }
    }
}

// The sources of a language's tables; false when its code page cannot be classified.
bool LanguageSource(int Language, TRegExpCharSource& Source) {
    static const TConcordConfig Defaults(0);
    const TConcordConfig& Config =
        LanguageConfigs[size_t(Language)] ? *LanguageConfigs[size_t(Language)] : Defaults;
    const platform::TCodePageTables& CodePage =
        platform::CodePageTables(platform::AnsiCodePage(Config.LocaleId));
    if (!CodePage.Valid) return false;
    Source.CharType1 = CodePage.CharType1;
    Source.LowerCase = Config.LowerCaseMap;
    Source.UpperCase = CodePage.UpperCase;
    Source.NonWordChars = Config.NonWordChars;
    Source.IgnoreCase = CommonConfig && CommonConfig->IgnoreCase;
    Source.UseSkipEqualChars = CommonConfig && CommonConfig->UseSkipEqualChars;
    Source.EqualCharGroups = Config.EqualCharGroups;
    // As the search's buffer pairs the bytes of the text.
    if (Config.NoCaseMap && CodePage.DoubleByte) Source.LeadByte = CodePage.LeadByte;
    return true;
}

}  // namespace

std::shared_ptr<const TRegExpCharTables> BuildRegExpCharTables(const TRegExpCharSource& Source) {
    auto Tables = std::make_shared<TRegExpCharTables>();
    BuildClassTables(Source, *Tables);
    BuildCasePartners(Source, *Tables);
    BuildCharMap(Source, *Tables);
    Tables->IgnoreCase = Source.IgnoreCase;
    Tables->LeadByte = Source.LeadByte;
    return Tables;
}

void SetRegExpCharTables(int Language, std::shared_ptr<const TRegExpCharTables> Tables) {
    CheckLanguage(Language);
    std::lock_guard<std::mutex> Guard(TablesLock);
    LanguageTables[size_t(Language)] = std::move(Tables);
}

void InitRegExpCharTables(int Language) {
    CheckLanguage(Language);
    TRegExpCharSource Source;
    if (!LanguageSource(Language, Source)) return;
    SetRegExpCharTables(Language, BuildRegExpCharTables(Source));
}

std::shared_ptr<const TRegExpCharTables> QueryRegExpCharTables(int Language, bool IgnoreCase) {
    CheckLanguage(Language);
    TRegExpCharSource Source;
    if (!LanguageSource(Language, Source)) return RegExpCharTables(Language);
    Source.IgnoreCase = IgnoreCase;
    return BuildRegExpCharTables(Source);
}

std::shared_ptr<const TRegExpCharTables> RegExpCharTables(int Language) {
    CheckLanguage(Language);
    {
        std::lock_guard<std::mutex> Guard(TablesLock);
        if (LanguageTables[size_t(Language)]) return LanguageTables[size_t(Language)];
    }
    InitRegExpCharTables(Language);
    std::lock_guard<std::mutex> Guard(TablesLock);
    // A code page that cannot be classified leaves only the identity map: nothing is a letter.
    if (!LanguageTables[size_t(Language)]) LanguageTables[size_t(Language)] = BuildRegExpCharTables({});
    return LanguageTables[size_t(Language)];
}

const char* const RegExpInternalErrorText = "Internal regexp error.";
const char* const RegExpTooDeepText = "Regular expression nested too deeply";
const char* const RegExpTooManyStepsText =
    "The regular expression needs too much work on this text; the search was stopped.";

const char* RegExpErrorText(int Error) {
    if (Error < 0 || Error >= RegExpErrorCount) return "";
    return ErrorTexts[Error];
}

// ---- TRegExp --------------------------------------------------------------------------------------------

TRegExp::TRegExp(std::string_view Text, uint32_t Syntax, int Language)
    : TRegExp(Text, Syntax, Language, RegExpCharTables(Language)) {}

TRegExp::TRegExp(std::string_view Text, uint32_t Syntax, int Language,
                 std::shared_ptr<const TRegExpCharTables> Tables)
    : Language(Language) {
    Compile(Text, Syntax, std::move(Tables));
}

TRegExp::~TRegExp() = default;

void TRegExp::Compile(std::string_view Text, uint32_t Syntax,
                      std::shared_ptr<const TRegExpCharTables> Tables) {
    auto Record = std::make_unique<TRegExpPattern>();
    Record->Syntax = Syntax;
    Record->Translate = Tables->CharMap;
    Record->Tables = std::move(Tables);
    const int Length = int(std::min<size_t>(Text.size(), INT_MAX));
    if (const char* Error = RegExpCompilePattern(Text.data(), Length, *Record)) throw ERegExp(Error);
    // Only the whole match is read: the search need not run the matcher for the groups.
    Record->NoSub = true;
    Registers = std::make_unique<TRegExpRegisters>();
    FastmapValid = RegExpCompileFastmap(*Record) == 0;
    Pattern = std::move(Record);
}

bool TRegExp::Search(std::string_view Text, int Start, TRegExpSpan& Span) {
    return Search(Text, Start, INT_MAX, Span);
}

bool TRegExp::Search(std::string_view Text, int Start, int Stop, TRegExpSpan& Span) {
    Registers->NumRegs = 0;
    Registers->Starts.clear();
    Registers->Ends.clear();
    const int Length = int(std::min<size_t>(Text.size(), INT_MAX));
    const int Found =
        RegExpSearchRange(*Pattern, Text.data(), Length, Start, Length - Start, Registers.get(), Stop);
    if (Found == RegExpCancelled) Abort();
    if (Found == RegExpTooManySteps) throw ERegExp(RegExpTooManyStepsText);
    if (Found < 0) {
        Span = {-1, -1};
        return false;
    }
    Span.Start = Registers->Starts[0];
    Span.End = Registers->Ends[0];
    return Span.End - Span.Start >= 1;
}
