// A corpus that reads like a tagged edition of an old English translation: verse-sized sentences of
// 15 to 40 words drawn from a vocabulary of Zipf-distributed frequencies, in mixed case with punctuation,
// each sentence on its own CR LF line in <s>...</s>, 1 to 60 of them (a chapter's worth) to a paragraph in
// <p>...</p>, so that many paragraphs are longer than a reader's window. The same text is written a
// second time without tags, paragraphs parted by an empty line, so that the two files differ by their
// tags alone.
//
// Its words to search for (VerseWords): "lord" is frequent (about 1 in 100 words, in three cases),
// "zerubbabel" a rare name (about 1 in 40,000 words), "kedemoth" rarer still (about 1 in 2,000,000),
// and "telephone" occurs nowhere. The vocabulary is built so that none of its other words is one of them.
#pragma once

#include <cstdint>
#include <string>

// Writes about Megabytes MB of tagged text to TaggedPath and the same text untagged to PlainPath.
// Returns false when a file cannot be written.
bool WriteVerseCorpus(const std::string& TaggedPath, const std::string& PlainPath, int64_t Megabytes);

// The words the corpus is made for searching, by how often they occur.
struct TVerseWords {
    const char* Frequent;
    const char* Rare;
    const char* Rarest;
    const char* Missing;
};
inline constexpr TVerseWords VerseWords{"lord", "zerubbabel", "kedemoth", "telephone"};
