// Patterns and texts from the fuzzer: compiling may fail only with the engine's exception, searching
// never, and neither the search's automaton, nor skipping by the first-character map, nor the memo of
// tried states changes the answer.
// Every search runs under a step limit, so no input can hold the fuzzer up for long; texts are repeated
// to reach lengths where a matcher that is not linear shows.
//
// Input: one byte of options (bit 0: take the first match, bit 1: ignore case, bits 2-3: the text is
// repeated 1, 16, 256 or 1024 times, bit 4: code page 932, whose characters of two bytes the dot and
// bracket expressions take whole), the pattern, a NUL byte, the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"

namespace {

std::shared_ptr<const TRegExpCharTables> Tables(bool IgnoreCase, int CodePage) {
    const platform::TCodePageTables& Page = platform::CodePageTables(CodePage);
    TRegExpCharSource Source;
    Source.CharType1 = Page.CharType1;
    for (int C = 0; C < 256; ++C)
        Source.LowerCase[size_t(C)] =
            (Page.CharType1[size_t(C)] & platform::C1_UPPER) ? Page.LowerCase[size_t(C)] : uint8_t(C);
    Source.UpperCase = Page.UpperCase;
    Source.NonWordChars = std::string(DefaultNonWordChars);
    Source.IgnoreCase = IgnoreCase;
    if (Page.DoubleByte) Source.LeadByte = Page.LeadByte;
    return BuildRegExpCharTables(Source);
}

// {start, end} of the leftmost match, or {code, code} for none (-1) and giving up (-2).
std::pair<int, int> Leftmost(const TRegExpPattern& Pattern, const std::string& Text) {
    TRegExpRegisters Regs;
    const int Pos = RegExpSearchRange(Pattern, Text.data(), int(Text.size()), 0, int(Text.size()), &Regs);
    return Pos < 0 ? std::make_pair(Pos, Pos) : std::make_pair(Regs.Starts[0], Regs.Ends[0]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static const std::shared_ptr<const TRegExpCharTables> Sets[2][2] = {
        {Tables(false, 1252), Tables(true, 1252)}, {Tables(false, 932), Tables(true, 932)}};
    if (Size < 1 || Size > 1024) return 0;
    const std::string Input(reinterpret_cast<const char*>(Data + 1), Size - 1);
    const size_t Split = Input.find('\0');
    const std::string Pattern = Input.substr(0, Split);
    const std::string Piece = Split == std::string::npos ? std::string() : Input.substr(Split + 1);
    static const int Repeats[] = {1, 16, 256, 1024};
    std::string Text;
    for (int K = Repeats[(Data[0] >> 2) & 3]; K > 0 && Text.size() < 65536; --K) Text += Piece;
    const uint32_t Syntax = (Data[0] & 1) ? RegExpSyntaxHeading : RegExpSyntaxExtended;
    try {
        TRegExp Re(Pattern, Syntax, 0, Sets[(Data[0] >> 4) & 1][(Data[0] >> 1) & 1]);
        SetRegExpThreadStackLimit(100000);
        TRegExpControlScope Budget({nullptr, 2'000'000});
        const auto Answer = Leftmost(*Re.Pattern, Text);
        // The search's automaton and the matcher alone agree on every text.
        TRegExpPattern ByMatcher = *Re.Pattern;
        ByMatcher.UseAutomaton = false;
        const auto Matched = Leftmost(ByMatcher, Text);
        if (Answer.first >= RegExpNoMatch && Matched.first >= RegExpNoMatch && Answer != Matched) abort();
        // Without the memo the matcher can take time exponential in the text: compare on short ones.
        if (Text.size() <= 12) {
            TRegExpPattern Slow = *Re.Pattern;
            Slow.CanBeEmpty = true;
            Slow.HasLastBytes = false;
            Slow.MemoSlots.clear();
            Slow.MemoRows = 0;
            const auto Expected = Leftmost(Slow, Text);
            if (Answer.first >= RegExpNoMatch && Expected.first >= RegExpNoMatch && Answer != Expected)
                abort();
        }
    } catch (const ERegExp&) {
    }
    return 0;
}
