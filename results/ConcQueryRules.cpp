#include "results/ConcQueryRules.h"

#include <algorithm>

#include "engine/ConcTextProcess.h"
#include "engine/RegExp3.h"

namespace {

// Every placeholder is replaced in one pass, so that special characters swapped among themselves
// (the "0 or more" character set to the default "0 or 1" one and the other way round) stay apart.
std::string WithSpecials(const std::string& Text, const std::vector<std::pair<char, char>>& Specials) {
    std::string Out = Text;
    for (char& C : Out) {
        for (const auto& [Placeholder, Actual] : Specials) {
            if (C == Placeholder) {
                C = Actual ? Actual : Placeholder;
                break;
            }
        }
    }
    return Out;
}

// The words of a tag-syntax pattern: each token (blank or tab separated) up to its first separator. A
// tag names a tagset's tag, whose characters are the tagger's, not the language's words.
std::string WordParts(const std::string& Pattern, char Separator) {
    std::string Words;
    bool InTag = false;
    for (char C : Pattern) {
        if (C == ' ' || C == '\t') InTag = false;
        if (Separator && C == Separator && !InTag) {
            InTag = true;
            Words.push_back(C);
            continue;
        }
        if (!InTag) Words.push_back(C);
    }
    return Words;
}

// Characters of Set found in Pattern, each once, in the order of Set; in tag syntax only the words of
// the pattern are looked at, and the separator's first place in Set is passed over.
std::string FoundCharacters(const std::string& Pattern, const std::string& Set, int Syntax) {
    const char Separator = CommonConfig->TagSearchSeparator;
    const std::string Looked = Syntax == 2 ? WordParts(Pattern, Separator) : Pattern;
    bool SeparatorSkipped = false;
    std::string Found;
    for (char C : Set) {
        if (Syntax == 2 && C == Separator && Separator && !SeparatorSkipped) {
            SeparatorSkipped = true;
            continue;
        }
        if (Looked.find(C) != std::string::npos && Found.find(C) == std::string::npos) Found.push_back(C);
    }
    return Found;
}

}  // namespace

std::string QueryCaption(bool Advanced, bool SearchWithin, bool Parallel) {
    const char* Base = SearchWithin ? "Search Query" : Parallel ? "Parallel Search" : "Search";
    return std::string(Advanced ? "Advanced " : "Text ") + Base;
}

std::string QueryExamples(int Syntax) {
    const TCommonConcordConfig& C = *CommonConfig;
    if (Syntax == 1) return "e.g. \"colou?r\", \"\\ba\\W\\w+\\Wof\\b\", \"(\\b[A-Z]\\w*\\W){2}\"";
    if (Syntax == 2)
        return WithSpecials("e.g. \"computer& &NNS\", \"run&VBN &N\"", {{'&', C.TagSearchSeparator}});
    return WithSpecials("e.g. \"colo%r\", \"a * of\", \"thr?w\", \"made @ mind\"",
                        {{'%', C.WildCard0or1},
                         {'*', C.WildCard0orMore},
                         {'?', C.WildCardExactly1},
                         {'@', C.WildCardMatchWords}});
}

TPatternCheck ValidatePattern(const std::string& Pattern, const std::string& Name, int Syntax, int Language,
                              bool SkipEqual) {
    if (Syntax == 1) {
        try {
            TRegExp Compiled(Pattern, QuerySyntaxBits, Language);
        } catch (const ERegExp& E) {
            return {TPatternVerdict::Fail, E.what()};
        }
        return {};
    }
    const TConcordConfig& L = *LanguageConfigs.at(static_cast<size_t>(Language));
    const std::string Invalid = FoundCharacters(Pattern, L.NonWordChars, Syntax);
    if (!Invalid.empty())
        return {TPatternVerdict::Fail,
                "The following characters in the " + Name + " are invalid:\r\n" + Invalid};
    const char Skip = CommonConfig->WildCardMatchWords;
    if (Skip && !Pattern.empty() && (Pattern.front() == Skip || Pattern.back() == Skip))
        return {TPatternVerdict::Fail, "You cannot begin or end a " + Name + " with " + std::string(1, Skip)};
    if (SkipEqual) {
        const std::string Skipping = FoundCharacters(Pattern, L.SkippingChars, Syntax);
        if (!Skipping.empty())
            return {TPatternVerdict::Ask, "There are skipping characters in the " + Name + ":\r\n" +
                                              Skipping + "\r\nContinue anyway?"};
    }
    return {};
}

std::string DoubleWordSkipError(const std::string& Pattern, int Syntax) {
    const char Skip = CommonConfig->WildCardMatchWords;
    if (Syntax == 1 || !Skip) return {};
    const std::string Twice(2, Skip);
    if (Pattern.find(Twice) == std::string::npos) return {};
    return "You cannot specify " + Twice + " in the search term.";
}

TConditionCheck CheckQueryConditions(const TConcSearchRec& Query, int Language) {
    struct TCondition {
        uint8_t Flag;
        const std::string* Pattern;
        const char* Name;
        const char* Field;  // empty when the pattern may be left empty
    };
    const TCondition Conditions[] = {{sfHeading, &Query.HeadingPattern, "heading pattern", "Pattern:"},
                                     {sfContext, &Query.LeftContext, "left context pattern", "Left:"},
                                     {sfContext, &Query.RightContext, "right context pattern", ""}};
    const bool SkipEqual = Query.Flags & sfSkipEqual;
    for (int I = 0; I < 3; ++I) {
        const TCondition& Condition = Conditions[I];
        if (!(Query.Flags & Condition.Flag)) continue;
        if (Condition.Pattern->empty() && *Condition.Field) {
            return {I + 1, std::string("The ") + Condition.Name + " (\"" + Condition.Field +
                               "\") is empty. Enter a pattern or switch the condition off."};
        }
        const TPatternCheck Check =
            ValidatePattern(*Condition.Pattern, Condition.Name, Query.Syntax, Language, SkipEqual);
        if (Check.Verdict == TPatternVerdict::Fail) return {I + 1, Check.Message};
    }
    return {};
}

bool AppendPossible(int ActiveConcordanceLanguage, int Language) {
    return ActiveConcordanceLanguage >= 0 && ActiveConcordanceLanguage == Language;
}

void SetQueryFlags(TConcSearchRec& Query, bool IgnoreCase, bool SentenceMode, bool Append, bool AppendOk,
                   bool SkipEqual, bool HeadingsContexts) {
    uint8_t Flags = Query.Flags & (sfHeading | sfContext);
    if (!IgnoreCase) Flags |= sfMatchCase;
    if (SentenceMode) Flags |= sfSentenceMode;
    if (Append && AppendOk) Flags |= sfAppend;
    if (SkipEqual) Flags |= sfSkipEqual;
    if (!HeadingsContexts) {
        // A condition the user switched off must not go on filtering hits.
        Flags &= static_cast<uint8_t>(~(sfHeading | sfContext));
        Query.HeadingPattern.clear();
        Query.HeadStartMarker.clear();
        Query.HeadStopMarker.clear();
        Query.TextStartMarker.clear();
        Query.TextStopMarker.clear();
        Query.LeftContext.clear();
        Query.RightContext.clear();
    }
    Query.Flags = Flags;
}

void RememberQueryDefaults(const TConcSearchRec& Query) {
    TCommonConcordConfig& C = *CommonConfig;
    C.IgnoreCase = !(Query.Flags & sfMatchCase);
    C.UseSkipEqualChars = Query.Flags & sfSkipEqual;
    C.RegularExpressions = Query.Syntax == 1;
    C.TagSearch = Query.Syntax == 2;
    C.SentenceMode = Query.Flags & sfSentenceMode;
}

TParallelCheck CheckParallelRows(const std::vector<const TConcSearchRec*>& Rows) {
    for (size_t I = 0; I < Rows.size(); ++I)
        for (size_t J = I + 1; J < Rows.size(); ++J)
            if (Rows[I]->Language == Rows[J]->Language)
                return {static_cast<int>(J), true, "This language must be different."};
    for (size_t I = 0; I < Rows.size(); ++I)
        if (Rows[I]->Names.empty()) return {static_cast<int>(I), false, "Empty search term."};
    return {};
}

std::string ParallelRowQueryText(const TConcSearchRec& Query) {
    return Query.Names.empty() ? "N/A" : Query.GetTermsText();
}

std::string ParallelRowParameters(const TConcSearchRec& Query) {
    return Query.Names.empty() ? "Search parameters N/A" : SearchSummaryText(Query);
}
