#include "engine/ConcQueryDesc.h"

#include "engine/ConcConfig.h"
#include "engine/ConcTextProcess.h"
#include "platform/Nls.h"

TQueryDescription DescribeQuery(const TConcSearchRec& Query) {
    TQueryDescription d;
    d.Language = Query.Language;
    const char* syntax = Query.Syntax < std::size(SyntaxNames) ? SyntaxNames[Query.Syntax] : "";
    d.Options = {{"Search:", syntax, dlSyntax},
                 {"Ignore case:", OnOffNames[(Query.Flags & sfMatchCase) ? 0 : 1], dlIgnoreCase},
                 {"Freq. of hits:", std::to_string(Query.FrequencyOfHits), dlFreqOfHits},
                 {"Sent. mode:", OnOffNames[(Query.Flags & sfSentenceMode) ? 1 : 0], dlSentMode}};
    d.Padding = {{"Skipping characters:", Query.SkippingChars, dlSkipChars},
                 {"Equal characters:", Query.EqualChars, dlEqualChars}};
    d.Heading = {{"Heading start:", Query.HeadStartMarker, dlHeadingStart},
                 {"Heading stop:", Query.HeadStopMarker, dlHeadingStop},
                 {"Heading match:", Query.HeadingPattern, dlHeadingMatch},
                 {"Text start:", Query.TextStartMarker, dlTextStart},
                 {"Text stop:", Query.TextStopMarker, dlTextStop}};
    d.Context = {{"Left context:", Query.LeftContext, dlLeftContext},
                 {"Right context:", Query.RightContext, dlRightContext}};
    d.PaddingVisible = (Query.Flags & sfSkipEqual) != 0;
    d.HeadingVisible = (Query.Flags & sfHeading) != 0;
    d.ContextVisible = (Query.Flags & sfContext) != 0;
    return d;
}

void ShowQueryDescription(TDoubleProgressForm& Window, const TQueryDescription& Description) {
    // The window's texts are UTF-8; the values are in the language's code page.
    const int language = Description.Language;
    const bool known =
        language >= 0 && language < MaxLanguages && LanguageConfigs[static_cast<size_t>(language)];
    const int codePage = known ? LangCodePage(language) : 0;
    for (const auto* items :
         {&Description.Options, &Description.Padding, &Description.Heading, &Description.Context}) {
        for (const TQueryDescItem& item : *items) {
            Window.SetLabel(item.Label, known ? platform::CodePageToUtf8(codePage, item.Value) : item.Value);
        }
    }
    Window.SetPanelVisible(dpOptions, true);
    Window.SetPanelVisible(dpPadding, Description.PaddingVisible);
    Window.SetPanelVisible(dpHeading, Description.HeadingVisible);
    Window.SetPanelVisible(dpContext, Description.ContextVisible);
}
