// The checks and texts of the search query and parallel search dialogs, without widgets. Patterns are
// bytes of the query language's code page.
#pragma once

#include <string>
#include <vector>

#include "engine/ConcConfig.h"

// The syntax bits a regular-expression query compiles with.
constexpr uint32_t QuerySyntaxBits = 0x3B2DC;

// "Search", "Search Query" (a search within a window's lines) or "Parallel Search" (a parallel row),
// after "Advanced " or "Text ".
std::string QueryCaption(bool Advanced, bool SearchWithin, bool Parallel);
// The examples shown under the pattern for Syntax (0 text, 1 regular expression, 2 tag), built from the
// options object's current special characters.
std::string QueryExamples(int Syntax);

enum class TPatternVerdict { Pass, Fail, Ask };

struct TPatternCheck {
    TPatternVerdict Verdict = TPatternVerdict::Pass;
    std::string Message;  // the error (Fail) or the question (Ask)
};

// Checks one pattern of Syntax for Language, Name naming it in messages ("search term", "heading
// pattern", ...): a regular expression must compile; other syntaxes must hold no word delimiter (in tag
// syntax only the words count, not the tags after their separators, which may hold delimiters as "PRP$"
// does, and the separator's first place in the delimiter list does not count) and neither begin nor end
// with the word-skip character; with SkipEqual, skipping characters in it make the check ask.
TPatternCheck ValidatePattern(const std::string& Pattern, const std::string& Name, int Syntax, int Language,
                              bool SkipEqual);
// The error for a text or tag pattern holding the word-skip character twice in a row; "" when it does
// not (and always for a regular expression, or when no word-skip character is set).
std::string DoubleWordSkipError(const std::string& Pattern, int Syntax);

// The heading and context conditions of Query that are switched on, checked in the order heading
// pattern, left context pattern, right context pattern: the heading and left patterns must not be empty
// (they would find nothing, so the search would find nothing), and each must pass ValidatePattern's
// errors for Query's syntax and language (its questions are not asked here). Focus names the first that
// fails (1 heading, 2 left, 3 right; 0 when all pass) and Message says why.
struct TConditionCheck {
    int Focus = 0;
    std::string Message;
};
TConditionCheck CheckQueryConditions(const TConcSearchRec& Query, int Language);

// Whether a search can be appended: a concordance window is active (its primary language is
// ActiveConcordanceLanguage, -1 for none) and searched the dialog's language.
bool AppendPossible(int ActiveConcordanceLanguage, int Language);
// The query flags the dialog's check boxes give; heading and context flags come from Query. Append is
// set only when it is checked and possible; with HeadingsContexts unchecked the heading and context
// conditions are cleared from Query.
void SetQueryFlags(TConcSearchRec& Query, bool IgnoreCase, bool SentenceMode, bool Append, bool AppendOk,
                   bool SkipEqual, bool HeadingsContexts);
// The options object's defaults after a query was confirmed.
void RememberQueryDefaults(const TConcSearchRec& Query);

// ---- Parallel search ---------------------------------------------------------------------------------

struct TParallelCheck {
    int Row = -1;               // the row that gets the focus; -1 when the rows pass
    bool LanguageList = false;  // the focus goes to the row's language list, else to its "Pattern..." button
    std::string Message;
};

// Two rows with the same language (the later row named), then a row without a pattern.
TParallelCheck CheckParallelRows(const std::vector<const TConcSearchRec*>& Rows);
// The query label and the parameters label of a row.
std::string ParallelRowQueryText(const TConcSearchRec& Query);
std::string ParallelRowParameters(const TConcSearchRec& Query);
