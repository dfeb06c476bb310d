// Qt-free half of the string-list view: the string-list interface the view reads, the formatting
// records its users fill (the engine builds concordance lines with runs), and the view's model logic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The list a string-list view shows. Items are 8-bit text in the language's code page; a view asks
// only for the items it shows, so an implementation may build each line on demand.
class TStrings {
public:
    virtual ~TStrings() = default;
    virtual int GetCount() const = 0;
    // Item Index (0 .. GetCount() - 1). May raise; the caller decides what to show instead.
    virtual std::string Get(int Index) const = 0;
    // Lists that can change raise EConcError where a change is not supported.
    virtual void Clear() = 0;
    virtual void Delete(int Index) = 0;
    virtual void Insert(int Index, const std::string& S) = 0;
};

// Font overrides of a run or label: an empty name and zero style, colour and size keep the
// view's own, so a run can never be pure black (colour 0 means "keep").
struct TSVFontInfo {
    std::string Name;
    uint8_t Style = 0;   // fs* bits, as the configuration's fonts
    int32_t Colour = 0;  // COLORREF
    int32_t Size = 0;    // points
};

// A formatting run: Start counts characters (bytes of the code page) from 1.
struct TSVFormatInfo {
    int32_t Start = 0;
    int32_t Length = 0;
    uint8_t Anchor = 0;  // centred lines are aligned on this run
    uint8_t IsHit = 0;   // kept for the owner
    TSVFontInfo Font;
};

enum TSVLabelAlignment : uint8_t { svlaLeft = 0, svlaRight = 1, svlaCenter = 2 };

struct TSVLabelInfo {
    std::string Text;
    uint8_t Alignment = svlaLeft;
    TSVFontInfo Font;
};

using TSVFontsArray = std::vector<TSVFontInfo>;
using TSVStringsArray = std::vector<std::string>;
using TSVFormatArray = std::vector<TSVFormatInfo>;
