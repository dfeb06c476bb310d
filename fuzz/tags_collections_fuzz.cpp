// Tag blocks ("TAGS") read from arbitrary bytes, with the lookups of the hit locations checked against
// a scan of the collection, and the tag parser of the markup aligner over the same bytes.
#include <cctype>
#include <string>
#include <string_view>

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

// The offsets of the entry whose name equals Name but for case, found by a scan of the entries; nullptr
// when there is none.
const TIntegerList* ScannedValues(const TTagsCollection& C, std::string_view Name) {
    const TTagNameLess Less;
    for (const auto& [EntryName, Offsets] : C.Entries())
        if (!Less(EntryName, Name) && !Less(Name, EntryName)) return &Offsets;
    return nullptr;
}

// FindValue: the last offset of the name at or before X; -1 when there is none or the name is unknown.
void CheckFind(const TTagsCollection& C, std::string_view Name, int32_t X) {
    int32_t Expected = -1;
    if (const TIntegerList* Offsets = ScannedValues(C, Name))
        for (int32_t I = 0; I < Offsets->Count(); ++I)
            if ((*Offsets)[I] <= X) Expected = (*Offsets)[I];
    if (C.FindValue(Name, X) != Expected) __builtin_trap();
}

// A collection is read back only with every name's offsets in order. Each name is also asked for in
// upper case, and with a byte more (mostly unknown).
void Probe(const TTagsCollection& C) {
    if (!C.IsOrdered()) __builtin_trap();
    int Names = 0;
    for (const auto& [Name, Offsets] : C.Entries()) {
        if (++Names > 16) break;
        std::string Upper = Name;
        for (char& Ch : Upper) Ch = char(std::toupper(static_cast<unsigned char>(Ch)));
        const std::string Longer = Name + "x";
        for (const int32_t X : ProbeValues(Offsets.Values()))
            for (const std::string_view Asked :
                 {std::string_view(Name), std::string_view(Upper), std::string_view(Longer)})
                CheckFind(C, Asked, X);
    }
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
