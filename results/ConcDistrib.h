// The distribution window's unit. For now it holds the routine both the distribution window and other
// windows use to show a query in captioned labels.
#pragma once

#include <array>

class QLabel;
class QWidget;
class TConcSearchRec;

// The captioned labels of a query description: an options row (always shown) and three panels. Each
// caption label has its value label at the same index. Everything is borrowed.
struct TQueryOptionsLabels {
    QWidget* OptionsPanel = nullptr;
    std::array<QLabel*, 4> OptionCaptions{}, OptionValues{};  // syntax, ignore case, frequency, sentence
    QWidget* PaddingPanel = nullptr;
    std::array<QLabel*, 2> PaddingCaptions{}, PaddingValues{};  // skipping, equal characters
    QWidget* HeadingPanel = nullptr;
    std::array<QLabel*, 5> HeadingCaptions{}, HeadingValues{};  // start, stop, match, text start, stop
    QWidget* ContextPanel = nullptr;
    std::array<QLabel*, 2> ContextCaptions{}, ContextValues{};  // left, right
};

// Writes the description of Query into Labels (DescribeQuery of engine/ConcQueryDesc): captions and
// values (pattern bytes shown through the query language's code page), the options row laid out left
// to right with each value 5 pixels right of its caption and each next caption 5 pixels right of the
// previous value, and the three panels shown or hidden as the query asks. Returns the sum of the
// heights of the panels shown among the three (0 for a plain query).
int ShowQueryOptions(const TConcSearchRec& Query, TQueryOptionsLabels& Labels);
