// Patterns and texts from the fuzzer: compiling may fail only with the engine's exception, searching
// never raises, and neither the search's automaton, nor skipping by the first-character map, nor the memo
// of tried states changes the match or its groups. Where the C library's POSIX matcher speaks the same
// language it must find the same match, and the same groups where the two rules for groups agree.
// Every search runs under a step limit, so no input can hold the fuzzer up for long; texts are repeated
// to reach lengths where a matcher that is not linear shows.
//
// Input: one byte of options (bit 0: take the first match, bit 1: ignore case, bits 2-3: the text is
// repeated 1, 16, 256 or 1024 times, bit 4: code page 932, whose characters of two bytes the dot and
// bracket expressions take whole), the pattern, a NUL byte, the text.
#include <regex.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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

// What a search answered: the result code (a start, or RegExpNoMatch, RegExpGaveUp ...) and, for a
// match, the registers (the whole match first, then each group; -1 for a group that took no part).
struct TAnswer {
    int Code = RegExpNoMatch;
    std::vector<int> Starts, Ends;
    bool operator==(const TAnswer&) const = default;
    bool Comparable() const { return Code >= RegExpNoMatch; }
};

TAnswer Leftmost(const TRegExpPattern& Pattern, const std::string& Text) {
    TRegExpRegisters Regs;
    TAnswer Answer;
    Answer.Code = RegExpSearchRange(Pattern, Text.data(), int(Text.size()), 0, int(Text.size()), &Regs);
    if (Answer.Code >= 0) {
        Answer.Starts.assign(Regs.Starts.begin(), Regs.Starts.begin() + Regs.NumRegs);
        Answer.Ends.assign(Regs.Ends.begin(), Regs.Ends.begin() + Regs.NumRegs);
        // Every group that took part lies inside the whole match.
        for (int I = 0; I < Regs.NumRegs; ++I)
            if ((Answer.Starts[size_t(I)] < 0) != (Answer.Ends[size_t(I)] < 0) ||
                (Answer.Starts[size_t(I)] >= 0 &&
                 (Answer.Starts[size_t(I)] < Answer.Starts[0] || Answer.Ends[size_t(I)] > Answer.Ends[0] ||
                  Answer.Starts[size_t(I)] > Answer.Ends[size_t(I)])))
                abort();
    }
    return Answer;
}

// ---- The C library's matcher --------------------------------------------------------------------------

// The bytes on which the engine's tables and the C library's classes (C locale) agree: which class each
// is in, whether it is a word byte, and what it compares as (itself, or its lower case when ignoring case).
// Line feeds are left out, the C library's dot and negated sets taking them differently under line anchors.
std::array<bool, 256> CommonBytes(const TRegExpCharTables& T) {
    std::array<bool, 256> Common{};
    for (int C = 1; C < 128; ++C) {
        const uint8_t Class = T.ClassTable[size_t(C)], Word = T.WordTable[size_t(C)];
        const bool Same = bool(Class & RC_SPACE) == bool(std::isspace(C)) &&
                          bool(Class & RC_DIGIT) == bool(std::isdigit(C)) &&
                          bool(Class & RC_UPPER) == bool(std::isupper(C)) &&
                          bool(Class & RC_LOWER) == bool(std::islower(C)) &&
                          bool(Class & RC_XDIGIT) == bool(std::isxdigit(C)) &&
                          bool(Class & RC_CNTRL) == bool(std::iscntrl(C)) &&
                          bool(Class & RC_PUNCT) == bool(std::ispunct(C)) &&
                          bool(Class & RC_BLANK) == bool(std::isblank(C)) &&
                          bool(Word & RW_WORD) == (std::isalnum(C) || C == '_') &&
                          bool(Word & RW_SPACE) == bool(std::isspace(C)) &&
                          bool(Word & RW_DIGIT) == bool(std::isdigit(C)) &&
                          T.CharMap[size_t(C)] == (T.IgnoreCase ? T.CharMap[size_t(std::tolower(C))] : C) &&
                          (!T.IgnoreCase || T.CharMap[size_t(std::toupper(C))] == T.CharMap[size_t(C)]);
        Common[size_t(C)] = Same && C != '\n';
    }
    return Common;
}

// The escapes both read alike: the C library reads \d and \D as letters, and its back-references are
// slow and wrong in places.
bool EscapesAlike(const std::string& Pattern) {
    for (size_t I = 0; I + 1 < Pattern.size(); ++I) {
        if (Pattern[I] != '\\') continue;
        const char Next = Pattern[++I];
        if (Next == 'd' || Next == 'D' || (Next >= '1' && Next <= '9')) return false;
    }
    return true;
}

// The C library copies a repeated piece once per count: patterns whose counts multiply to more than a few
// thousand copies are left out. Its anchors and word assertions go wrong inside groups, so those stand
// only outside them.
bool CheapAndAnchoredOutside(const std::string& Pattern) {
    int64_t Copies = 1;
    int Depth = 0;
    for (size_t I = 0; I < Pattern.size(); ++I) {
        const char C = Pattern[I];
        if (C == '\\' && I + 1 < Pattern.size()) {
            const char Next = Pattern[++I];
            if (Depth > 0 && std::string_view("bB<>`'").find(Next) != std::string_view::npos) return false;
        } else if (C == '(') {
            ++Depth;
        } else if (C == ')') {
            Depth = Depth > 0 ? Depth - 1 : 0;
        } else if ((C == '^' || C == '$') && Depth > 0) {
            return false;
        } else if (C == '{') {
            int64_t Largest = 1, Number = 0;
            for (++I; I < Pattern.size() &&
                      (std::isdigit(static_cast<unsigned char>(Pattern[I])) || Pattern[I] == ',');
                 ++I) {
                Number = Pattern[I] == ',' ? 0 : std::min<int64_t>(Number * 10 + (Pattern[I] - '0'), 100000);
                Largest = std::max(Largest, Number);
            }
            --I;
            Copies *= Largest;
            if (Copies > 4096) return false;
        }
    }
    return true;
}

// Where the two rules for groups agree. A repeated group is reported by the engine for the last way it
// tried, an empty pass included, by the C library for the last pass that took text; and the C library
// misplaces groups beside a word assertion. Elsewhere (alternatives included) the two choose alike.
bool GroupsChosenAlike(const std::string& Pattern) {
    for (size_t I = 0; I < Pattern.size(); ++I) {
        const char C = Pattern[I];
        if (C == '\\' && I + 1 < Pattern.size()) {
            if (std::string_view("bB<>").find(Pattern[++I]) != std::string_view::npos) return false;
        } else if (C == ')' && I + 1 < Pattern.size() &&
                   std::string_view("*+?{").find(Pattern[I + 1]) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Compares the engine's answer with the C library's on the same pattern and text. Anything the library
// refuses, or that the two read differently, is left out.
void CompareWithCLibrary(const std::string& Pattern, const std::string& Text, bool IgnoreCase,
                         const std::array<bool, 256>& Common, const TAnswer& Answer) {
    if (!Answer.Comparable() || Text.size() > 4096 || !EscapesAlike(Pattern) ||
        !CheapAndAnchoredOutside(Pattern))
        return;
    for (const char C : Text)
        if (!Common[static_cast<uint8_t>(C)]) return;
    regex_t Posix;
    if (regcomp(&Posix, Pattern.c_str(), REG_EXTENDED | (IgnoreCase ? REG_ICASE : 0)) != 0) return;
    std::vector<regmatch_t> M(Posix.re_nsub + 1);
    M[0].rm_so = 0;
    M[0].rm_eo = regoff_t(Text.size());
    const bool Found = regexec(&Posix, Text.c_str(), M.size(), M.data(), REG_STARTEND) == 0;
    regfree(&Posix);
    if (Found != (Answer.Code >= 0)) abort();
    if (!Found) return;
    if (M[0].rm_so != Answer.Starts[0] || M[0].rm_eo != Answer.Ends[0]) abort();
    if (!GroupsChosenAlike(Pattern)) return;
    for (size_t I = 1; I < M.size() && I < Answer.Starts.size(); ++I)
        if (M[I].rm_so != Answer.Starts[I] || M[I].rm_eo != Answer.Ends[I]) abort();
}

// Seeds for an empty corpus folder: everyday patterns, groups that more than one way of matching could
// fill, and patterns that defeat a plain backtracking matcher, over texts that exercise them.
void WriteSeeds(const std::string& Folder) {
    struct TSeed {
        uint8_t Options;
        const char* Pattern;
        const char* Text;
    };
    static const TSeed Seeds[] = {
        {0x00, "house", "the houses of the house"},
        {0x02, "[a-z]+ing", "Singing and BRINGING a thing"},
        {0x00, "\\bun\\w+ly\\b", "unusually unlikely, quietly"},
        {0x00, "colou?r", "colour color colr"},
        {0x00, "(the|a|an) (\\w+)", "walked an answer to the river"},
        {0x00, "(a|ab)(c|bcd)(d*)", "xabcd abcd"},
        {0x00, "(a*)(a?b)(b*)", "aaabbb"},
        {0x00, "(.*) (.*) (.*)z", "one two three four z"},
        {0x04, "(x+x+)+y", "xxxxxxxxxxxx"},
        {0x04, "((a|aa){0,40}){0,40}c", "aaaaaaaaab"},
        {0x08, "(.+ ){1,40}q", "ab cd ef gh "},
        {0x00, "^(\\w+)[ ,]+\\1$", "word, word"},
        {0x01, "^[0-9]+\\. ", "12. Heading\n3. Next"},
        {0x00, "[[:upper:]][[:lower:]]*", "London and Paris"},
        {0x00, "\\<(b|c)[^ ]*\\>", "a box, quiet cat"},
        {0x10, "\x82\xa0.", "\x82\xa0\x82\xa2\x82\xa4"},
        {0x12, "[\x82\xa0-\x82\xa4]+", "x\x82\xa2\x82\xa0y"},
    };
    int Number = 0;
    for (const TSeed& Seed : Seeds) {
        std::string Bytes(1, char(Seed.Options));
        Bytes += Seed.Pattern;
        Bytes += '\0';
        Bytes += Seed.Text;
        const std::string Name = Folder + "/seed-" + std::to_string(++Number);
        if (FILE* File = std::fopen(Name.c_str(), "wb")) {
            std::fwrite(Bytes.data(), 1, Bytes.size(), File);
            std::fclose(File);
        }
    }
}

}  // namespace

// An empty corpus folder, the first one given, gets the seeds.
extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
    for (int I = 1; I < *Argc; ++I) {
        const std::string Arg = (*Argv)[I];
        std::error_code Error;
        if (Arg.empty() || Arg[0] == '-' || !std::filesystem::is_directory(Arg, Error)) continue;
        if (std::filesystem::is_empty(Arg, Error)) WriteSeeds(Arg);
        break;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    static const std::shared_ptr<const TRegExpCharTables> Sets[2][2] = {
        {Tables(false, 1252), Tables(true, 1252)}, {Tables(false, 932), Tables(true, 932)}};
    static const std::array<bool, 256> Common[2] = {CommonBytes(*Sets[0][0]), CommonBytes(*Sets[0][1])};
    if (Size < 1 || Size > 1024) return 0;
    const std::string Input(reinterpret_cast<const char*>(Data + 1), Size - 1);
    const size_t Split = Input.find('\0');
    const std::string Pattern = Input.substr(0, Split);
    const std::string Piece = Split == std::string::npos ? std::string() : Input.substr(Split + 1);
    static const int Repeats[] = {1, 16, 256, 1024};
    std::string Text;
    for (int K = Repeats[(Data[0] >> 2) & 3]; K > 0 && Text.size() < 65536; --K) Text += Piece;
    const bool FirstMatch = Data[0] & 1, IgnoreCase = (Data[0] >> 1) & 1, DoubleByte = (Data[0] >> 4) & 1;
    const uint32_t Syntax = FirstMatch ? RegExpSyntaxHeading : RegExpSyntaxExtended;
    // Only compiling may raise ERegExp: a search that raises it ends the run.
    std::unique_ptr<TRegExp> Re;
    try {
        Re = std::make_unique<TRegExp>(Pattern, Syntax, 0, Sets[DoubleByte][IgnoreCase]);
    } catch (const ERegExp&) {
        return 0;
    }
    SetRegExpThreadStackLimit(100000);
    TRegExpControlScope Budget({nullptr, 2'000'000});
    // The search as the program runs it, for the whole match only.
    const TAnswer Answer = Leftmost(*Re->Pattern, Text);
    // The same search with its groups, by the automaton (which leaves the matcher only the groups).
    TRegExpPattern WithGroups = *Re->Pattern;
    WithGroups.NoSub = false;
    const TAnswer Grouped = Leftmost(WithGroups, Text);
    if (Answer.Comparable() && Grouped.Comparable() &&
        (Answer.Code != Grouped.Code ||
         (Answer.Code >= 0 && (Answer.Starts[0] != Grouped.Starts[0] || Answer.Ends[0] != Grouped.Ends[0]))))
        abort();
    // The search's automaton and the matcher alone agree on every text.
    TRegExpPattern ByMatcher = WithGroups;
    ByMatcher.UseAutomaton = false;
    const TAnswer Matched = Leftmost(ByMatcher, Text);
    if (Grouped.Comparable() && Matched.Comparable() && !(Grouped == Matched)) abort();
    // Without the memo the matcher can take time exponential in the text: compare on short ones.
    if (Text.size() <= 12) {
        TRegExpPattern Slow = ByMatcher;
        Slow.CanBeEmpty = true;
        Slow.HasLastBytes = false;
        Slow.MemoSlots.clear();
        Slow.MemoRows = 0;
        const TAnswer Expected = Leftmost(Slow, Text);
        if (Grouped.Comparable() && Expected.Comparable() && !(Grouped == Expected)) abort();
    }
    if (!FirstMatch && !DoubleByte)
        CompareWithCLibrary(Pattern, Text, IgnoreCase, Common[IgnoreCase], Grouped);
    return 0;
}
