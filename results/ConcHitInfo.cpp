#include "results/ConcHitInfo.h"

#include <filesystem>

#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"

namespace {

std::string Number(int32_t Value) {
    return Value < 0 ? "N/A" : std::to_string(Value);
}

const TConcordConfig* LanguageOf(const TConcordItem& Item) {
    return Item.Language >= 0 && Item.Language < MaxLanguages ? LanguageConfigs[size_t(Item.Language)].get()
                                                              : nullptr;
}

}  // namespace

uint32_t PackSuppressFlags(const TSuppressFlags& Flags) {
    return uint32_t(Flags.HideTags) | uint32_t(Flags.HidePOSTags) << 8 | uint32_t(Flags.HideWords) << 16;
}

TSuppressFlags UnpackSuppressFlags(uint32_t Packed) {
    TSuppressFlags Flags;
    Flags.HideTags = (Packed & 0xFF) != 0;
    Flags.HidePOSTags = (Packed >> 8 & 0xFF) != 0;
    Flags.HideWords = (Packed >> 16 & 0xFF) != 0;
    return Flags;
}

bool HitHasContext(const TConcordItem& Item) {
    const TConcordConfig* Config = LanguageOf(Item);
    if (!Config || Item.FileIndex < 0 || size_t(Item.FileIndex) >= Config->Files.size()) return false;
    const bool OwnHit = Item.HitStart != 0 || Item.HitEnd != 0;
    return OwnHit || Item.AlignedStart >= 0;
}

std::pair<int32_t, int32_t> ContextHitSpan(const TConcordItem& Item) {
    if (Item.HitStart == 0 && Item.HitEnd == 0) return {Item.AlignedStart, Item.AlignedStart};
    return {Item.HitStart, Item.HitEnd};
}

THitInfoTexts HitInfoTexts(const TConcordItem& Item) {
    THitInfoTexts T;
    T.File = T.AbsoluteLine = T.Segment = T.Page = T.Line = T.Match = "N/A";
    for (const TWatchedTag& Tag : WatchedTags) T.Tags.emplace_back(Tag.Name, "N/A");
    if (!HitHasContext(Item)) return T;
    const TConcordConfig& Config = *LanguageOf(Item);
    T.File = Config.Files[size_t(Item.FileIndex)].Name;
    const int32_t At = ContextHitSpan(Item).first;

    const THitLocation Location = GetHitLocation(Item.Language, Item.FileIndex, At);
    const TCommonConcordConfig& C = *CommonConfig;
    T.AbsoluteLine = Number(Location.Line);
    T.Page = Number(C.ShowPages ? Location.Page : -1);
    T.Line = Number(C.ShowPages && C.RelativeLines ? Location.LineInPage : -1);
    if (Location.TagValues)
        for (size_t I = 0; I < T.Tags.size() && I < Location.TagValues->size(); ++I)
            T.Tags[I].second = (*Location.TagValues)[I];

    if (const TAlignIndex* Sentences = Config.SentenceIndexes.Count() > Item.FileIndex
                                           ? Config.SentenceIndexes.GetItem(Item.FileIndex)
                                           : nullptr;
        Sentences && Sentences->Count() > 0) {
        const int32_t S = Sentences->SegmentOf(At);
        if (S >= 0 && S < Sentences->Count()) T.Segment = std::to_string(S + 1);
    }
    if (Item.IsFilled()) {
        TSVFormatArray Runs;
        TLineShading Shading;
        const std::string Line =
            BuildItemLine(Item, ctxCharacters, 0, Shading, VisibleCharTypes(false, false, false), Runs);
        if (!Line.empty()) T.Match = Line;
    }
    return T;
}
