// The description of a search query that the search's progress window and the distribution window
// show: captioned values in a fixed order, in an options row that is always shown and three panels
// shown only when the query uses them.
#pragma once

#include <string>
#include <vector>

#include "ui/ConcDblProgress.h"

class TConcSearchRec;

// One captioned value. Value is bytes in the query language's code page (patterns, characters).
struct TQueryDescItem {
    const char* Caption;
    std::string Value;
    TDblProgressLabel Label;  // the progress window's label that shows the value
};

struct TQueryDescription {
    int32_t Language = 0;
    // "Search:", "Ignore case:", "Freq. of hits:", "Sent. mode:" in this order.
    std::vector<TQueryDescItem> Options;
    // "Skipping characters:", "Equal characters:"; shown with the skipping/equal-characters flag.
    std::vector<TQueryDescItem> Padding;
    // "Heading start:", "Heading stop:", "Heading match:", "Text start:", "Text stop:"; heading search.
    std::vector<TQueryDescItem> Heading;
    // "Left context:", "Right context:"; context search.
    std::vector<TQueryDescItem> Context;
    bool PaddingVisible = false;
    bool HeadingVisible = false;
    bool ContextVisible = false;
};

// The description of Query: its syntax name ("" outside 0..2), "ON" under "Ignore case:" unless the
// query matches case, its FrequencyOfHits in decimal, "ON"/"OFF" for its sentence-mode flag, and the
// panels its flags ask for.
TQueryDescription DescribeQuery(const TConcSearchRec& Query);

// Writes the description into the progress window's value labels and shows exactly the panels it
// uses (the options row always).
void ShowQueryDescription(TDoubleProgressForm& Window, const TQueryDescription& Description);
