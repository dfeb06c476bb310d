// Tag blocks ("TAGS") read from arbitrary bytes, with the lookups of the hit locations, and the tag
// parser of the markup aligner over the same bytes.
#include "engine/ConcTags.h"
#include "fuzz/FuzzSupport.h"

namespace {

bool SameCollection(const TTagsCollection& X, const TTagsCollection& Y) {
    if (X.Count() != Y.Count()) return false;
    auto A = X.Entries().begin();
    for (auto B = Y.Entries().begin(); B != Y.Entries().end(); ++A, ++B)
        if (A->first != B->first || A->second.Values() != B->second.Values()) return false;
    return true;
}

// Loaded offsets need not be sorted: lookups must stay inside the lists whatever they hold.
void Probe(const TTagsCollection& C) {
    for (const auto& [Name, Offsets] : C.Entries())
        for (int32_t I = 0; I < Offsets.Count() && I < 16; ++I) C.FindValue(Name, Offsets[I]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    DriveBlocks<TTagsCollections>(
        Data, Size,
        [](const TTagsCollections& Collections) {
            for (int32_t I = 0; I < Collections.Count(); ++I)
                if (const TTagsCollection* C = Collections.GetItem(I)) Probe(*C);
        },
        [](const TTagsCollections& A, const TTagsCollections& B) { return SameSlots(A, B, SameCollection); });
    if (Size > 0) {
        const std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
        TTag Tag('<', Text, static_cast<char>(Data[0]));
        // Attribute lookup finds the first of the names equal but for case.
        const auto& Attributes = Tag.Attributes();
        for (size_t I = 0; I < Attributes.size(); ++I) {
            const bool FirstOfItsName =
                I == 0 || TTagNameLess()(Attributes[I - 1].first, Attributes[I].first);
            if (FirstOfItsName && Tag.GetAttribute(Attributes[I].first) != Attributes[I].second)
                __builtin_trap();
        }
    }
    return 0;
}
