// Where the tags of each corpus file occur (a map from tag name to the ascending offsets of its
// occurrences, saved in the workspace as the "TAGS" block), and the parse of one tag's text into its
// name and attributes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ConcIndex.h"
#include "engine/ConcStreamUtils.h"

// Orders names without regard to case, folding each byte with the lower-case map of the user's code
// page (the program compares tag and attribute names as the user's locale compares text).
struct TTagNameLess {
    using is_transparent = void;
    bool operator()(std::string_view A, std::string_view B) const;
};

// The tags of one file: for each tag name (names equal but for case share one entry, spelt as first
// added) the ascending offsets at which a tag of that name begins. "</p>" is kept under "/p".
class TTagsCollection {
public:
    using TEntries = std::map<std::string, TIntegerList, TTagNameLess>;

    // Adds Offset to the entry of Name (created when absent), after any equal offsets.
    void AddValue(std::string_view Name, int32_t Offset);
    // The offset of the last occurrence of Name at or before X; -1 when Name is unknown or first
    // occurs after X.
    int32_t FindValue(std::string_view Name, int32_t X) const;
    // The offsets of Name, owned by the collection; nullptr when the name is unknown.
    const TIntegerList* GetValues(std::string_view Name) const;
    int32_t Count() const { return static_cast<int32_t>(FEntries.size()); }
    const TEntries& Entries() const { return FEntries; }
    void Clear() { FEntries.clear(); }
    // Gives back the room each name's offsets keep beyond their count.
    void ShrinkToFit();

    // Element encoding: Int32 EntryCount, then per entry the name (String) and its offsets in the
    // integer-list encoding.
    void SaveToStream(TStream& Stream) const;
    // Replaces the contents with an element read at the stream's position. Counts are never trusted
    // beyond the remaining bytes; a name that comes twice keeps its first offsets.
    void LoadFromStream(TStream& Stream);
    // Whether every name's offsets never decrease, as FindValue and AddValue assume.
    bool IsOrdered() const;

private:
    TEntries FEntries;
};

// One tag collection per corpus file of a language ("TAGS" block); an empty slot is a file whose
// tags are not indexed. A collection read back with the offsets of a name out of order leaves its slot
// empty, so that the file's tags are indexed again.
class TTagsCollections : public TSlotList<TTagsCollection, TOrderedListCodec<TTagsCollection>> {};

// One tag's text parsed into its name, the rest of its text and its attributes.
class TTag {
public:
    using TAttribute = std::pair<std::string, std::string>;  // name, value

    // Keeps the two characters and parses TagText.
    TTag(char OpenChar, std::string_view TagText, char CloseChar);

    char OpenChar;
    char CloseChar;
    std::string Name;
    // The rest of the tag after its name, trimmed of blanks and control characters, without a final
    // CloseChar.
    std::string Text;

    // Replaces name, text and attributes from TagText. Parsing stops at the tag's CloseChar (taken
    // literally, whatever it is) or at the end of the text; a malformed tag never raises.
    void Parse(std::string_view TagText);
    // The value of the attribute Name, found without regard to case (the first one when the tag
    // repeats it); empty when the tag has no such attribute.
    std::string GetAttribute(std::string_view Name) const;
    void ClearAttributes() { FAttributes.clear(); }
    // The attributes in name order.
    const std::vector<TAttribute>& Attributes() const { return FAttributes; }

private:
    // A quoted value ("..." or '...', a doubled quote standing for one) or the characters up to a
    // blank, line break, CloseChar, the end, and "=" when StopAtEquals. Advances P past what it read.
    std::string ReadValue(std::string_view S, size_t& P, bool StopAtEquals) const;

    std::vector<TAttribute> FAttributes;
};
