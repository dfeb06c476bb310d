#include "engine/ConcTags.h"

#include <algorithm>

#include "platform/Nls.h"

namespace {

const uint8_t* UserLowerCaseMap() {
    static const uint8_t* const Map = platform::CodePageTables(platform::SystemCodePage()).LowerCase.data();
    return Map;
}

bool IsBlankOrBreak(char C) {
    return C == ' ' || C == '\n' || C == '\r';
}

bool IsBlankOrControl(char C) {
    return static_cast<unsigned char>(C) <= ' ';
}

std::string_view Trimmed(std::string_view S) {
    while (!S.empty() && IsBlankOrControl(S.front())) S.remove_prefix(1);
    while (!S.empty() && IsBlankOrControl(S.back())) S.remove_suffix(1);
    return S;
}

}  // namespace

bool TTagNameLess::operator()(std::string_view A, std::string_view B) const {
    const uint8_t* Lower = UserLowerCaseMap();
    const size_t N = std::min(A.size(), B.size());
    for (size_t I = 0; I < N; ++I) {
        const uint8_t CA = Lower[static_cast<uint8_t>(A[I])];
        const uint8_t CB = Lower[static_cast<uint8_t>(B[I])];
        if (CA != CB) return CA < CB;
    }
    return A.size() < B.size();
}

// ---- TTagsCollection ----

void TTagsCollection::ShrinkToFit() {
    for (auto& Entry : FEntries) Entry.second.ShrinkToFit();
}

void TTagsCollection::AddValue(std::string_view Name, int32_t Offset) {
    auto It = FEntries.find(Name);
    if (It == FEntries.end()) It = FEntries.emplace(std::string(Name), TIntegerList()).first;
    It->second.Add(Offset);
}

int32_t TTagsCollection::FindValue(std::string_view Name, int32_t X) const {
    const TIntegerList* Offsets = GetValues(Name);
    if (!Offsets) return -1;
    const int32_t I = Offsets->IndexOfFloor(X);
    return I < 0 ? -1 : (*Offsets)[I];
}

const TIntegerList* TTagsCollection::GetValues(std::string_view Name) const {
    const auto It = FEntries.find(Name);
    return It == FEntries.end() ? nullptr : &It->second;
}

void TTagsCollection::SaveToStream(TStream& Stream) const {
    WriteStreamInteger(Stream, Count());
    for (const auto& [Name, Offsets] : FEntries) {
        WriteStreamString(Stream, Name);
        Offsets.SaveToStream(Stream);
    }
}

void TTagsCollection::LoadFromStream(TStream& Stream) {
    Clear();
    // An entry is at least a name count and an offset count; none is made up from missing bytes.
    constexpr int64_t MinEntryBytes = 8;
    const int32_t N = ClampCount(ReadStreamInteger(Stream), Stream.Remaining(), MinEntryBytes);
    for (int32_t I = 0; I < N && Stream.Remaining() >= MinEntryBytes; ++I) {
        std::string Name = ReadStreamString(Stream);
        TIntegerList Offsets;
        Offsets.LoadFromStream(Stream);
        if (FEntries.find(Name) == FEntries.end()) FEntries.emplace(std::move(Name), std::move(Offsets));
    }
}

bool TTagsCollection::IsOrdered() const {
    return std::all_of(FEntries.begin(), FEntries.end(),
                       [](const auto& Entry) { return Entry.second.IsOrdered(); });
}

// ---- TTag ----

TTag::TTag(char OpenChar, std::string_view TagText, char CloseChar)
    : OpenChar(OpenChar), CloseChar(CloseChar) {
    Parse(TagText);
}

void TTag::Parse(std::string_view TagText) {
    // The text is handled as the zero-terminated string it is read into.
    const std::string_view S = TagText.substr(0, TagText.find('\0'));
    ClearAttributes();
    size_t P = 0;
    if (P < S.size() && S[P] == OpenChar) ++P;
    Name = ReadValue(S, P, false);
    std::string_view Rest = Trimmed(S.substr(P));
    if (!Rest.empty() && Rest.back() == CloseChar) Rest.remove_suffix(1);
    Text = Rest;

    while (P < S.size() && S[P] != CloseChar) {
        while (P < S.size() && IsBlankOrBreak(S[P])) ++P;
        if (P >= S.size() || S[P] == CloseChar) break;
        const size_t NameStart = P;
        std::string AttrName = ReadValue(S, P, true);
        if (AttrName.empty()) {
            if (P == NameStart) ++P;  // a stray "=" begins no name
            continue;
        }
        while (P < S.size() && IsBlankOrBreak(S[P])) ++P;
        std::string Value;
        if (P < S.size() && S[P] == '=') {
            ++P;
            while (P < S.size() && S[P] == ' ') ++P;
            Value = ReadValue(S, P, false);
        }
        FAttributes.emplace_back(std::move(AttrName), std::move(Value));
    }
    std::stable_sort(FAttributes.begin(), FAttributes.end(), [](const TAttribute& A, const TAttribute& B) {
        return TTagNameLess()(A.first, B.first);
    });
}

std::string TTag::GetAttribute(std::string_view AttrName) const {
    const auto It =
        std::lower_bound(FAttributes.begin(), FAttributes.end(), AttrName,
                         [](const TAttribute& A, std::string_view N) { return TTagNameLess()(A.first, N); });
    if (It == FAttributes.end() || TTagNameLess()(AttrName, It->first)) return std::string();
    return It->second;
}

std::string TTag::ReadValue(std::string_view S, size_t& P, bool StopAtEquals) const {
    std::string Value;
    if (P < S.size() && (S[P] == '"' || S[P] == '\'')) {
        const char Quote = S[P++];
        while (P < S.size() && S[P] != CloseChar) {
            if (S[P] == Quote) {
                if (P + 1 < S.size() && S[P + 1] == Quote) {
                    Value += Quote;
                    P += 2;
                    continue;
                }
                ++P;
                return Value;
            }
            Value += S[P++];
        }
        return Value;
    }
    const size_t Start = P;
    while (P < S.size() && !IsBlankOrBreak(S[P]) && S[P] != CloseChar && !(StopAtEquals && S[P] == '=')) ++P;
    return std::string(S.substr(Start, P - Start));
}
