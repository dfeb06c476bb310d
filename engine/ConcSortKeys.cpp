#include "engine/ConcSortKeys.h"

#include <stdexcept>

const std::array<TSortKeyEntry, 13> SortKeyTable = {{
    {sk4L, "4L", "4l"},
    {sk3L, "3L", "3l"},
    {sk2L, "2L", "2l"},
    {sk1L, "1L", "1l"},
    {skSearchTerm, "Search term", "0"},
    {sk1R, "1R", "1r"},
    {sk2R, "2R", "2r"},
    {sk3R, "3R", "3r"},
    {sk4R, "4R", "4r"},
    {skDefined, "Defined", "def"},
    {skTrackedTag, "Tracked tag", "tag"},
    {skOriginalOrder, "Original order", "orig"},
    {skNone, "Unsorted", ""},
}};

const std::array<TSortKeyEntry, 10> CollocationKeyTable = {{
    {sk4L, "4L", "4l"},
    {sk3L, "3L", "3l"},
    {sk2L, "2L", "2l"},
    {sk1L, "1L", "1l"},
    {skSearchTerm, "Search term", "0"},
    {sk1R, "1R", "1r"},
    {sk2R, "2R", "2r"},
    {sk3R, "3R", "3r"},
    {sk4R, "4R", "4r"},
    {skNone, "None", ""},
}};

const TSortKeyEntry* SortKeyEntries(TSortKeyTable Table) {
    return Table == TSortKeyTable::Sort ? SortKeyTable.data() : CollocationKeyTable.data();
}

int SortKeyCount(TSortKeyTable Table) {
    return static_cast<int>(Table == TSortKeyTable::Sort ? SortKeyTable.size() : CollocationKeyTable.size());
}

int SortKeyIndex(TSortKeyTable Table, uint8_t Code) {
    const TSortKeyEntry* Entries = SortKeyEntries(Table);
    for (int I = 0; I < SortKeyCount(Table); ++I)
        if (Entries[I].Code == Code) return I;
    return -1;
}

uint8_t SortKeyCode(TSortKeyTable Table, int Index) {
    if (Index < 0 || Index >= SortKeyCount(Table)) throw std::out_of_range("Sort key index out of range");
    return SortKeyEntries(Table)[Index].Code;
}

std::string SortKeyDisplayName(TSortKeyTable Table, uint8_t Code) {
    const int Index = SortKeyIndex(Table, Code);
    return Index < 0 ? std::string() : std::string(SortKeyEntries(Table)[Index].DisplayName);
}

uint8_t SortKeyFromDisplayName(TSortKeyTable Table, std::string_view Name) {
    const TSortKeyEntry* Entries = SortKeyEntries(Table);
    for (int I = 0; I < SortKeyCount(Table); ++I)
        if (Entries[I].DisplayName == Name) return Entries[I].Code;
    return skNone;
}

void InitSortColOptions(TAdvancedSortColOptions& Options) {
    Options = TAdvancedSortColOptions{};
    for (auto& Key : Options.Keys) Key.Key = skNone;
}
