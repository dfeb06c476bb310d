// What the larger-context and hit-information windows show of one concordance line, without widgets.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"

// The suppress flags packed into one number: normal tags in bits 0-7, special tags in 8-15, words in
// 16-23 (a byte each, non-zero meaning suppressed).
uint32_t PackSuppressFlags(const TSuppressFlags& Flags);
TSuppressFlags UnpackSuppressFlags(uint32_t Packed);

// Whether the line has text to show: its file exists in its language and, for a line without a hit of
// its own, its aligned passage is known. Other lines open no window (there is no offset to read at).
bool HitHasContext(const TConcordItem& Item);
// The stretch the larger context centres on: the hit, or for a line without one the start of its
// aligned passage.
std::pair<int32_t, int32_t> ContextHitSpan(const TConcordItem& Item);

// The values of the hit-information window, each "N/A" when unknown.
struct THitInfoTexts {
    std::string File;
    std::string AbsoluteLine;
    std::string Segment;  // the 1-based sentence holding the hit
    std::string Page;
    std::string Line;  // the line within the page
    std::string Match;
    std::vector<std::pair<std::string, std::string>> Tags;  // name, value at the hit
};
// Reads the line's file; raises what reading raises. Page and line within the page are "N/A" unless
// pages are shown, the line within the page also unless lines are counted per page.
THitInfoTexts HitInfoTexts(const TConcordItem& Item);
