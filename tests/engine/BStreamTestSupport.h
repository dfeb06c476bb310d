// Readers over in-memory text for the reader's tests, and a compact spelling of byte classes.
#pragma once

#include <memory>
#include <string>

#include "engine/BStream.h"
#include "engine/SynStream.h"

// The default word delimiters of a language and the default wildcard characters.
inline const std::string kDelimiters = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
inline const std::string kWildCards = "*%?@";

inline TBufStreamTags AngleTags() {
    TBufStreamTags tags;
    tags.TagStart = '<';
    tags.TagStop = '>';
    return tags;
}

// A memory stream and a reader over it, configured with Tags.
struct TTextReader {
    TMemorySynchroStream Stream;
    TBufStream Reader;

    explicit TTextReader(const std::string& Text, const TBufStreamTags& Tags = AngleTags(),
                         const std::string& Delimiters = kDelimiters)
        : Stream(Text), Reader(Stream, 0, NonWordCharSet(Delimiters, kWildCards)) {
        Reader.Configure(Tags);
    }
};

// One letter per class: n none, D delimiter, S white space, N new line, W word, T tag, P word tag.
inline char ClassLetter(TCharType T) {
    return "nDSNWTP"[T];
}

// The classes of everything NextChar hands out from the cursor on.
inline std::string ReadClasses(TBufStream& Reader) {
    std::string letters;
    TCharType type;
    while (Reader.NextChar(type) != 0) letters += ClassLetter(type);
    return letters;
}

inline std::string Classes(const std::string& Text, const TBufStreamTags& Tags = AngleTags()) {
    TTextReader r(Text, Tags);
    return ReadClasses(r.Reader);
}
