#include "results/ConcSortRules.h"

#include <algorithm>

namespace {

const char* KindName(TSortKeyTable Table) {
    return Table == TSortKeyTable::Sort ? "Sort" : "Collocation";
}

bool Blank(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

char AsciiLower(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

int TokenIndex(TSortKeyTable Table, std::string_view Token) {
    const TSortKeyEntry* Entries = SortKeyEntries(Table);
    for (int I = 0; I < SortKeyCount(Table); ++I)
        if (!Entries[I].Token.empty() && Entries[I].Token == Token) return I;
    return -1;
}

// "0r" and "1lr" .. "4rr": the suffix only counts on a token that starts with a digit, so "1r" stays the
// first word on the right.
bool StripReverseSuffix(std::string& Token) {
    if (Token.size() < 2 || Token.back() != 'r' || Token[0] < '0' || Token[0] > '9') return false;
    if (Token.size() != (Token[0] == '0' ? 2u : 3u)) return false;
    Token.pop_back();
    return true;
}

std::string Formatted(const char* Format, const char* Kind) {
    std::string Text(Format);
    Text.replace(Text.find("%s"), 2, Kind);
    return Text;
}

// Collects the items of one parse and enforces the uniqueness and collocation order rules.
class TOrderBuilder {
public:
    TOrderBuilder(TSortKeyTable Table, TAdvancedSortColItems& Items, TSortOrderError& Error)
        : FTable(Table), FItems(Items), FError(Error) {}

    bool Add(int Index, bool Reverse, int Position) {
        const uint8_t Code = SortKeyCode(FTable, Index);
        const auto Same = [Code](const TAdvancedSortColItem& Item) { return Item.Key == Code; };
        if (std::any_of(FItems.begin(), FItems.end(), Same))
            return Fail(Formatted("Duplicated Item in Customised %s.", KindName(FTable)), Position);
        if (FTable == TSortKeyTable::Collocation && !FItems.empty() &&
            SortKeyIndex(FTable, FItems.back().Key) >= Index)
            return Fail("Invalid order in Customised Collocation.", Position);
        FItems.push_back({Code, Reverse});
        return true;
    }

    bool Fail(std::string Message, int Position) {
        FError.Message = std::move(Message);
        FError.Position = Position;
        return false;
    }

private:
    TSortKeyTable FTable;
    TAdvancedSortColItems& FItems;
    TSortOrderError& FError;
};

}  // namespace

bool ParseCustomisedOrder(TSortKeyTable Table, std::string_view Text, TAdvancedSortColItems& Items,
                          TSortOrderError& Error) {
    Items.clear();
    Error = {};
    if (Text.empty()) return false;
    TOrderBuilder Builder(Table, Items, Error);
    int Previous = -1;
    bool PreviousReverse = false;
    bool Range = false;
    size_t Pos = 0;
    for (;;) {
        const size_t End = std::min(Text.find_first_of(",-", Pos), Text.size());
        size_t First = Pos;
        while (First < End && Blank(Text[First])) ++First;
        size_t Last = End;
        while (Last > First && Blank(Text[Last - 1])) --Last;
        std::string Token;
        for (size_t I = First; I < Last; ++I) Token += AsciiLower(Text[I]);
        const int Position = static_cast<int>(First);
        const bool Reverse = Table == TSortKeyTable::Sort && StripReverseSuffix(Token);
        const int Index = TokenIndex(Table, Token);
        if (Index < 0)
            return Builder.Fail(Formatted("Unknown item in Customised %s.", KindName(Table)), Position);
        if (Range) {
            // The range's end was not typed with its own flag in mind: it inherits the start's, and so
            // does a range that continues from it.
            const int Step = Index > Previous ? 1 : -1;
            for (int I = Previous; I != Index;)
                if (!Builder.Add(I += Step, PreviousReverse, Position)) return false;
        } else {
            if (!Builder.Add(Index, Reverse, Position)) return false;
            PreviousReverse = Reverse;
        }
        Previous = Index;
        if (End == Text.size()) return true;
        Range = Text[End] == '-';
        Pos = End + 1;
    }
}

bool SortKeyReversible(uint8_t Code) {
    return Code <= sk4R;
}

bool CheckSortKeys(TSortKeyTable Table, const TSortKeyBoxes& Keys, bool Span, bool SpanChosen,
                   TAdvancedSortColItems& Items, TSortOrderError& Error) {
    Items.clear();
    Error = {};
    const bool Collocation = Table == TSortKeyTable::Collocation;
    if (Collocation && Span && !SpanChosen) {
        Error.Message = SpanNotChosenText;
        return false;
    }
    TAdvancedSortColItems Used;
    for (const TAdvancedSortColItem& Key : Keys)
        if (Key.Key != skNone) Used.push_back(Key);
    if (Used.empty() && !(Collocation && Span)) {
        Error.Message = Collocation ? "Please select a collocation item." : "Please select a sort item.";
        return false;
    }
    for (size_t I = 0; I < Used.size(); ++I)
        for (size_t J = 0; J < I; ++J)
            if (Used[I].Key == Used[J].Key) {
                Error.Message = Collocation ? "Duplicated collocation item." : "Duplicated sort item.";
                return false;
            }
    // An unused key in the middle does not break the order: the third key then follows the first.
    for (size_t I = 1; Collocation && I < Used.size(); ++I)
        if (SortKeyIndex(Table, Used[I].Key) <= SortKeyIndex(Table, Used[I - 1].Key)) {
            Error.Message = "Invalid order in Customised Collocation.";
            return false;
        }
    for (TAdvancedSortColItem& Key : Used)
        Key.Reverse = !Collocation && Key.Reverse && SortKeyReversible(Key.Key);
    Items = std::move(Used);
    return true;
}

bool TrackedTagMissing(const TAdvancedSortColItems& Items, bool HasSelectedTag) {
    if (HasSelectedTag) return false;
    return std::any_of(Items.begin(), Items.end(),
                       [](const TAdvancedSortColItem& Item) { return Item.Key == skTrackedTag; });
}

int ShownSpanLength(int32_t Stored) {
    return std::clamp<int32_t>(Stored, 2, 5);
}
