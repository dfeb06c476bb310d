// The pattern object and the per-language character tables.
#include "engine/RegExp3.h"

#include <climits>

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

}  // namespace

const char* const RegExpInternalErrorText = "Internal regexp error.";

const char* RegExpErrorText(int Error) {
    if (Error < 0 || Error >= RegExpErrorCount) return "";
    return ErrorTexts[Error];
}

// ---- TRegExp --------------------------------------------------------------------------------------------

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
    Registers = std::make_unique<TRegExpRegisters>();
    FastmapValid = RegExpCompileFastmap(*Record) == 0;
    // A byte and its other case compare alike, so a map that admits one admits both.
    if (FastmapValid && Record->Tables->IgnoreCase) {
        const auto Admitted = Record->Fastmap;
        for (int C = 0; C < 256; ++C)
            if (Admitted[size_t(C)] && Record->Tables->CasePartner[size_t(C)] != 0)
                Record->Fastmap[Record->Tables->CasePartner[size_t(C)]] = 1;
    }
    Pattern = std::move(Record);
}

bool TRegExp::Search(std::string_view Text, int Start, TRegExpSpan& Span) {
    Registers->NumRegs = 0;
    Registers->Starts.clear();
    Registers->Ends.clear();
    const int Length = int(std::min<size_t>(Text.size(), INT_MAX));
    const int Found =
        RegExpSearchRange(*Pattern, Text.data(), Length, Start, Length - Start, Registers.get());
    if (Found < 0 || Registers->Ends[0] - Registers->Starts[0] < 1) return false;
    Span.Start = Registers->Starts[0];
    Span.End = Registers->Ends[0];
    return true;
}
