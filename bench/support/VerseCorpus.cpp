#include "bench/support/VerseCorpus.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>
#include <vector>

#include "bench/BenchRandom.h"

namespace {

// The most frequent words, in the order of their ranks; the searched frequent word stands tenth, at
// about one word in a hundred.
const char* const Common[] = {
    "the",     "and",   "of",   "to",       "that",   "in",    "he",        "shall", "unto",   "lord",
    "for",     "i",     "his",  "a",        "they",   "be",    "is",        "him",   "not",    "them",
    "it",      "with",  "all",  "thou",     "thy",    "was",   "god",       "which", "my",     "me",
    "said",    "but",   "ye",   "their",    "have",   "will",  "thee",      "from",  "as",     "are",
    "when",    "this",  "out",  "were",     "upon",   "man",   "by",        "you",   "king",   "up",
    "there",   "hath",  "then", "people",   "came",   "had",   "house",     "into",  "on",     "her",
    "come",    "one",   "we",   "children", "before", "your",  "also",      "day",   "land",   "men",
    "against", "shalt", "if",   "at",       "let",    "go",    "hand",      "us",    "saying", "made",
    "went",    "even",  "do",   "now",      "behold", "saith", "therefore", "every", "these",  "because",
    "or",      "after", "our",  "things",   "father", "down",  "sons",      "hast",  "david",  "o",
    "way",     "mine",  "no",   "what",     "say",    "son"};

std::string MakeWord(TRandom& Random) {
    static const char* const Onsets[] = {"",   "b", "br", "c", "ch", "d",  "f",  "g",  "h",  "j",
                                         "k",  "l", "m",  "n", "p",  "r",  "s",  "sh", "st", "t",
                                         "th", "w", "y",  "z", "gr", "tr", "bl", "dr", "wh", "v"};
    static const char* const Vowels[] = {"a", "e", "i", "o", "u", "ea", "ai", "ou", "ee", "y"};
    static const char* const Codas[] = {"",  "",  "",  "n", "r", "th", "st",
                                        "d", "s", "l", "m", "t", "ng", "nd"};
    static const char* const Endings[] = {"", "",    "",    "",   "",  "",    "",
                                          "", "eth", "est", "ed", "s", "ing", "ites"};
    std::string Word;
    const uint32_t Syllables = 1 + (Random.Next(3) == 0 ? 1 : 0) + (Random.Next(8) == 0 ? 1 : 0);
    for (uint32_t S = 0; S < Syllables; ++S) {
        Word += Onsets[Random.Next(std::size(Onsets))];
        Word += Vowels[Random.Next(std::size(Vowels))];
        Word += Codas[Random.Next(std::size(Codas))];
    }
    return Word + Endings[Random.Next(std::size(Endings))];
}

struct TVocabulary {
    std::vector<std::string> Words;
    std::vector<bool> Names;         // written with a capital wherever they stand
    std::vector<double> Cumulative;  // Zipf weights, summed to 1

    explicit TVocabulary(TRandom& Random) {
        const std::set<std::string> Reserved{VerseWords.Rare, VerseWords.Rarest, VerseWords.Missing};
        std::set<std::string> Seen;
        for (const char* Word : Common) {
            Words.push_back(Word);
            Seen.insert(Word);
        }
        while (Words.size() < 12000) {
            std::string Word = MakeWord(Random);
            if (Word.size() < 2 || Reserved.count(Word) || !Seen.insert(Word).second) continue;
            Words.push_back(Word);
        }
        Names.resize(Words.size());
        for (size_t I = std::size(Common); I < Words.size(); ++I) Names[I] = Random.Next(30) == 0;
        double Sum = 0;
        for (size_t I = 0; I < Words.size(); ++I) {
            Sum += 1.0 / static_cast<double>(I + 1);
            Cumulative.push_back(Sum);
        }
        for (double& C : Cumulative) C /= Sum;
    }

    size_t Pick(TRandom& Random) const {
        const auto At = std::upper_bound(Cumulative.begin(), Cumulative.end(), Random.Unit());
        return std::min(static_cast<size_t>(At - Cumulative.begin()), Words.size() - 1);
    }
};

std::string Capitalised(std::string Word) {
    if (!Word.empty()) Word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(Word[0])));
    return Word;
}

std::string Upper(std::string Word) {
    for (char& C : Word) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    return Word;
}

std::string MakeSentence(TRandom& Random, const TVocabulary& Vocabulary) {
    std::string Text;
    const uint32_t Count = 15 + Random.Next(26);
    for (uint32_t W = 0; W < Count; ++W) {
        std::string Word;
        if (Random.Next(40000) == 0) {
            Word = Capitalised(VerseWords.Rare);
        } else if (Random.Next(2000000) == 0) {
            Word = Capitalised(VerseWords.Rarest);
        } else {
            const size_t I = Vocabulary.Pick(Random);
            Word = Vocabulary.Words[I];
            if (Word == VerseWords.Frequent) {
                const uint32_t Case = Random.Next(10);
                Word = Case < 2 ? Upper(Word) : Case < 5 ? Capitalised(Word) : Word;
            } else if (Vocabulary.Names[I] || W == 0) {
                Word = Capitalised(Word);
            }
        }
        if (W > 0) Text += ' ';
        Text += Word;
        if (W + 1 == Count) break;
        const uint32_t Mark = Random.Next(120);
        if (Mark < 12)
            Text += ',';
        else if (Mark < 15)
            Text += ';';
        else if (Mark < 17)
            Text += ':';
        else if (Mark < 18)
            Text += "'s";
    }
    const uint32_t End = Random.Next(100);
    return Text + (End < 85 ? "." : End < 93 ? "?" : "!");
}

}  // namespace

bool WriteVerseCorpus(const std::string& TaggedPath, const std::string& PlainPath, int64_t Megabytes) {
    TRandom Random(1611);
    const TVocabulary Vocabulary(Random);
    std::ofstream Tagged(TaggedPath, std::ios::binary), Plain(PlainPath, std::ios::binary);
    if (!Tagged || !Plain) return false;
    const int64_t Bytes = Megabytes * 1024 * 1024;
    int64_t Written = 0;
    std::string A, B;
    while (Written < Bytes) {
        A.clear();
        B.clear();
        // A chunk of paragraphs at a time keeps the writes large.
        for (int P = 0; P < 16; ++P) {
            const uint32_t Sentences = 1 + Random.Next(60);
            A += "<p>";
            for (uint32_t S = 0; S < Sentences; ++S) {
                const std::string Sentence = MakeSentence(Random, Vocabulary);
                A += "<s>" + Sentence + "</s>";
                if (S + 1 == Sentences) A += "</p>";
                A += "\r\n";
                B += Sentence + "\r\n";
            }
            B += "\r\n";
        }
        Tagged.write(A.data(), static_cast<std::streamsize>(A.size()));
        Plain.write(B.data(), static_cast<std::streamsize>(B.size()));
        Written += static_cast<int64_t>(A.size());
    }
    return static_cast<bool>(Tagged) && static_cast<bool>(Plain);
}
