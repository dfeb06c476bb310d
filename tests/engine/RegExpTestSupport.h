// Character tables of the regular-expression engine built from a real code page, for its tests.
#pragma once

#include <string>

#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"

// The sources of a language's tables as its configuration would give them: the lower-case map keeps
// only the upper-case letters, as the language configuration builds it.
inline TRegExpCharSource SourceOf(int CodePage, bool IgnoreCase = false) {
    const platform::TCodePageTables& Page = platform::CodePageTables(CodePage);
    TRegExpCharSource Source;
    Source.CharType1 = Page.CharType1;
    for (int C = 0; C < 256; ++C)
        Source.LowerCase[size_t(C)] =
            (Page.CharType1[size_t(C)] & platform::C1_UPPER) ? Page.LowerCase[size_t(C)] : uint8_t(C);
    Source.UpperCase = Page.UpperCase;
    Source.NonWordChars = std::string(DefaultNonWordChars);
    Source.IgnoreCase = IgnoreCase;
    return Source;
}
