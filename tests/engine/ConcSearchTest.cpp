// Search execution over small aligned corpora written here: every occurrence found once, headings and
// contexts, sentence mode, frequency and maximum of hits, range callbacks, cancel, the hit texts and
// the query description.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "engine/ConcQueryDesc.h"
#include "engine/ConcSearch.h"
#include "engine/ConcSearchItems.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/RegExp3.h"
#include "engine/SynStream.h"
#include "engine/UTF8_to_ASCII.h"
#include "tests/engine/BStreamTestSupport.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "ui/ConcDblProgress.h"

namespace {

struct THit {
    int32_t File, Start, End;
    std::string Text;
    bool operator<(const THit& O) const {
        return std::tie(File, Start, End) < std::tie(O.File, O.Start, O.End);
    }
    bool operator==(const THit& O) const {
        return std::tie(File, Start, End) == std::tie(O.File, O.Start, O.End);
    }
};

std::ostream& operator<<(std::ostream& Out, const THit& H) {
    return Out << "{" << H.File << ", " << H.Start << ", " << H.End << ", \"" << H.Text << "\"}";
}

class SearchTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        TCommonConcordConfig& C = *CommonConfig;
        C.TagSearchSeparator = '&';
        C.MatchWordsLo = 2;
        C.MatchWordsHi = 5;
        C.FrequencyOfHits = 1;
        C.wTagDelimiter = '_';
        Align12 = std::make_unique<TDoubleAlignIndexes>();
    }

    // A file of language Language (0 or 1) whose aligned units are Units (start, end) as given.
    int File(const std::string& Text, const std::vector<TSegment>& Units, int Language = 0) {
        const int f = AddFile(Language, "f" + std::to_string(Texts.size()) + ".txt", Text);
        Texts.push_back(Text);
        while (Align12->Count() <= f) Align12->Add(std::make_unique<TDoubleAlignIndex>());
        TDoubleAlignIndex& pair = *Align12->GetItem(f);
        for (const TSegment& u : Units)
            (Language == 0 ? pair.Side1 : pair.Side2).Add(u.Start, u.End, u.End - u.Start);
        return f;
    }

    // A file that is one unit [0, size) (exclusive end, as the length-based aligner stores it).
    int File(const std::string& Text) { return File(Text, {{0, static_cast<int32_t>(Text.size()), 0}}); }

    static TConcSearchRec Query(const std::string& Pattern, uint8_t Syntax = 0, uint8_t Flags = 0) {
        TConcSearchRec q;
        q.Syntax = Syntax;
        q.Flags = Flags;
        q.Names = {Pattern};
        q.Patterns = {Pattern};
        return q;
    }

    std::vector<THit> Run(const TConcSearchRec& Q, int32_t MaxHits = 0, const RangeFn& OnRange = {},
                          int32_t RangeTotal = 0, bool IsThread = false) {
        uint8_t stage = 99;
        std::string error;
        Search = std::make_unique<TSearch>();
        Search->Prepare(Q, stage, error);
        EXPECT_EQ(stage, 0) << error;
        std::vector<THit> hits;
        Search->Execute(
            IsThread, MaxHits,
            [&](std::unique_ptr<TConcordItem> Item) {
                if (OnHitSpy) OnHitSpy(*Item);
                hits.push_back({Item->FileIndex, Item->HitStart, Item->HitEnd, std::string(Item->Texts[0])});
                Items.push_back(std::move(Item));
            },
            OnRange, RangeTotal);
        return hits;
    }

    std::vector<std::string> Texts;
    std::unique_ptr<TSearch> Search;
    std::vector<std::unique_ptr<TConcordItem>> Items;
    std::function<void(TConcordItem&)> OnHitSpy;
};

std::vector<std::string> HitTexts(const std::vector<THit>& Hits) {
    std::vector<std::string> texts;
    for (const THit& h : Hits) texts.push_back(h.Text);
    return texts;
}

using Strings = std::vector<std::string>;

// Random texts cut into units that touch (exclusive ends, some empty), searched for a random word, a
// one-letter word and "*": every occurrence is found exactly once, with exact offsets.
TEST_F(SearchTest, EveryOccurrenceOnceAgainstABruteForceCount) {
    std::mt19937 random(11);
    const Strings vocabulary = {"a", "I", "an", "bar", "Bar", "cab", "abc"};
    const Strings separators = {" ", " ", ", ", "\r\n", ". ", "\n("};
    for (int round = 0; round < 12; ++round) {
        ResetGlobalsForTest();
        SetUp();
        struct TWord {
            int32_t Start, End;
        };
        std::vector<std::vector<TWord>> words;
        for (int f = 0; f < 2; ++f) {
            std::string text;
            std::vector<TWord> fileWords;
            std::vector<TSegment> units;
            int32_t unitStart = 0;
            const int count = 20 + static_cast<int>(random() % 200);
            for (int w = 0; w < count; ++w) {
                if (w > 0) text += separators[random() % separators.size()];
                if (random() % 7 == 0 && static_cast<int32_t>(text.size()) > unitStart) {
                    units.push_back({unitStart, static_cast<int32_t>(text.size()), 0});
                    if (random() % 3 == 0)
                        units.push_back(
                            {static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size()), 0});
                    unitStart = static_cast<int32_t>(text.size());
                }
                const std::string& word = vocabulary[random() % vocabulary.size()];
                fileWords.push_back(
                    {static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size() + word.size())});
                text += word;
            }
            // The last word of the file has no line break after it.
            units.push_back({unitStart, static_cast<int32_t>(text.size()), 0});
            File(text, units);
            words.push_back(fileWords);
        }
        for (const char* pattern : {"a", "bar", "*", "?"}) {
            std::set<THit> expected;
            for (int f = 0; f < 2; ++f) {
                for (const TWord& w : words[static_cast<size_t>(f)]) {
                    const std::string word =
                        LangLowerCase(Texts[static_cast<size_t>(f)].substr(w.Start, w.End - w.Start), 0);
                    const std::string p = pattern;
                    const bool match = p == "*" || (p == "?" ? word.size() == 1 : word == p);
                    if (match) expected.insert({f, w.Start, w.End, ""});
                }
            }
            const auto hits = Run(Query(pattern));
            const std::set<THit> found(hits.begin(), hits.end());
            ASSERT_EQ(found.size(), hits.size()) << "a hit was reported twice, pattern " << pattern;
            ASSERT_EQ(found, expected) << "round " << round << ", pattern " << pattern;
        }
        Texts.clear();
    }
}

// Files of many windows cut into a unit per line (some lines empty, some units ending on their last
// byte, some touching the next), where the word searched for is rare and its first bytes also stand inside
// other words and across line ends: a search thread passes most units over unread, and still finds every
// occurrence once, alone and beside a second pattern.
TEST_F(SearchTest, RareWordsInUnitsOfALineAgainstABruteForceCount) {
    std::mt19937 random(29);
    const Strings common = {"the", "and", "of", "said", "Zebedee", "unto", "zeb-", "he", "xzeb"};
    const Strings rare = {"zeb", "ZEB", "Zeb"};
    for (int round = 0; round < 6; ++round) {
        ResetGlobalsForTest();
        SetUp();
        struct TWord {
            int32_t Start, End;
        };
        std::vector<std::vector<TWord>> words;
        for (int f = 0; f < 2; ++f) {
            std::string text;
            std::vector<TWord> fileWords;
            std::vector<TSegment> units;
            int32_t lineStart = 0;
            const int lines = 300 + static_cast<int>(random() % 900);
            for (int l = 0; l < lines; ++l) {
                const int count = static_cast<int>(random() % 12);
                for (int w = 0; w < count; ++w) {
                    if (w > 0) text += random() % 5 == 0 ? ", " : " ";
                    const bool isRare = random() % 150 == 0;
                    const std::string& word =
                        isRare ? rare[random() % rare.size()] : common[random() % common.size()];
                    fileWords.push_back(
                        {static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size() + word.size())});
                    text += word;
                }
                const auto lineEnd = static_cast<int32_t>(text.size());
                // Markup alignments store a unit's last byte as its End.
                units.push_back(
                    {lineStart, random() % 4 == 0 && lineEnd > lineStart ? lineEnd - 1 : lineEnd, 0});
                text += random() % 2 == 0 ? "\n" : "\r\n";
                // Some units touch: the next one starts with the line break, right after a last word.
                lineStart = random() % 3 == 0 ? lineEnd : static_cast<int32_t>(text.size());
            }
            units.push_back({lineStart, static_cast<int32_t>(text.size()), 0});
            File(text, units);
            words.push_back(fileWords);
        }
        for (const Strings& patterns : {Strings{"zeb"}, Strings{"zeb", "he"}, Strings{"zebedee"}}) {
            std::set<THit> expected;
            for (int f = 0; f < 2; ++f) {
                for (const TWord& w : words[static_cast<size_t>(f)]) {
                    const std::string word =
                        LangLowerCase(Texts[static_cast<size_t>(f)].substr(w.Start, w.End - w.Start), 0);
                    if (std::find(patterns.begin(), patterns.end(), word) != patterns.end())
                        expected.insert({f, w.Start, w.End, ""});
                }
            }
            TConcSearchRec q = Query(patterns[0]);
            q.Names = q.Patterns = patterns;
            const auto hits = Run(q, 0, {}, 0, true);
            const std::set<THit> found(hits.begin(), hits.end());
            ASSERT_EQ(found.size(), hits.size()) << "a hit was reported twice, pattern " << patterns[0];
            ASSERT_EQ(found, expected)
                << "round " << round << ", patterns " << patterns.size() << " from " << patterns[0];
            ASSERT_FALSE(expected.empty());
        }
        Texts.clear();
    }
}

// Tagged texts as an edition of verses writes them (paragraphs in <p>, sentences in <s> with or without
// attributes, tags between words and touching them, a stray "<" that a tag stop follows within a tag's
// length and one that none follows, a stray ">"), from a few sentences to paragraphs of several reader
// windows, searched by paragraphs, by sentences or by units cut anywhere, with tags read, closed by ">" or
// by a blank or line break, or not read at all, and with or without a progress window. A rare word (whose
// bytes also stand inside longer words and inside tags) and a frequent one, alone and in a phrase, are
// found exactly where a reading of each unit by the rules of tags and words finds them.
TEST_F(SearchTest, TaggedVersesByParagraphsAndSentencesAgainstAReadingOfEachUnit) {
    std::mt19937 random(1611);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const Strings common = {"the", "and", "of", "unto", "he", "said", "lords", "ye", "it's", "sons"};
    const Strings lookalikes = {"zerubbabel", "xzerub"};
    const Strings frequent = {"lord", "Lord", "LORD"};
    const Strings rare = {"zerub", "Zerub", "ZERUB"};
    const Strings separators = {" ", " ", " ", ", ", "; ", ": ", " (", ") ", "\r\n", " > "};
    for (int round = 0; round < 36; ++round) {
        ResetGlobalsForTest();
        SetUp();
        const int tagMode = round % 3;  // 0 "<...>", 1 "<" closed by a blank or line break, 2 no tags
        CommonConfig->TagStart = tagMode == 2 ? 0 : '<';
        CommonConfig->TagStop = tagMode == 1 ? '#' : '>';
        const int unitMode = (round / 3) % 3;  // 0 paragraphs, 1 sentences, 2 cut anywhere
        const bool thread = round % 2 == 0;
        // Paragraphs of up to 3, 30 or 90 sentences: the longest span several reader windows.
        const size_t longest = round % 4 == 0 ? 3 : round % 4 == 1 ? 30 : 90;
        std::string text;
        std::vector<TSegment> paragraphs, sentences;
        const size_t paragraphCount = 1 + pick(round < 6 ? 3 : 12);
        for (size_t p = 0; p < paragraphCount; ++p) {
            const auto paragraphStart = static_cast<int32_t>(text.size());
            text += "<p>";
            for (size_t s = 1 + pick(longest); s > 0; --s) {
                const auto sentenceStart = static_cast<int32_t>(text.size());
                const size_t kind = pick(60);
                text += kind < 5    ? "<s n=\"" + std::to_string(pick(1000)) + "\">"
                        : kind == 5 ? "<s n=\"zerub\">"
                                    : "<s>";
                // Now and then a sentence longer than a tag may be, after a "<" that opens no tag.
                const bool strayOpen = pick(25) == 0;
                const size_t words = strayOpen ? 260 + pick(40) : 3 + pick(30);
                for (size_t w = 0; w < words; ++w) {
                    if (w > 0) text += separators[pick(separators.size())];
                    if (w == 1 && strayOpen) text += "a < ";
                    if (pick(40) == 0) text += pick(2) == 0 ? "<pb/>" : " <note n=\"2\"> ";
                    const size_t which = pick(400);
                    text += which == 0   ? rare[pick(3)]
                            : which == 1 ? lookalikes[pick(2)]
                            : which < 12 ? frequent[pick(3)]
                                         : common[pick(common.size())];
                }
                text += pick(5) == 0 ? "?" : ".";
                text += "</s>";
                sentences.push_back({sentenceStart, static_cast<int32_t>(text.size()), 0});
                text += pick(3) == 0 ? " " : "\r\n";
            }
            text += "</p>";
            paragraphs.push_back({paragraphStart, static_cast<int32_t>(text.size()), 0});
            text += "\r\n";
        }
        const auto size = static_cast<int32_t>(text.size());
        std::vector<TSegment> units = unitMode == 0 ? paragraphs : sentences;
        if (unitMode == 2) {
            units.clear();
            for (int32_t at = 0; at < size;) {
                const int32_t next = std::min(size, at + 1 + static_cast<int32_t>(pick(3000)));
                units.push_back({at, next, 0});
                at = next;
            }
        }
        // Some units store their last byte as their end, as markup alignments do.
        for (TSegment& unit : units)
            if (pick(3) == 0 && unit.End > unit.Start) --unit.End;
        File(text, units);

        // Each unit's bytes as the search reads them: up to its end byte, never into the next unit.
        std::vector<std::pair<int32_t, int32_t>> ranges;
        for (size_t u = 0; u < units.size(); ++u) {
            int32_t end = std::min(units[u].End + 1, size);
            if (u + 1 < units.size()) end = std::min(end, units[u + 1].Start);
            ranges.push_back({units[u].Start, end});
        }
        auto isStop = [&](char C) { return tagMode == 1 ? C == ' ' || C == '\r' || C == '\n' : C == '>'; };
        // A tag start opens a tag when a tag stop follows within 1,024 bytes of the file.
        auto opens = [&](int32_t At) {
            if (tagMode == 2 || text[static_cast<size_t>(At)] != '<') return false;
            for (int32_t k = At + 1; k < std::min(size, At + 1024); ++k)
                if (isStop(text[static_cast<size_t>(k)])) return true;
            return false;
        };
        auto isDelimiter = [](char C) {
            return static_cast<unsigned char>(C) <= 32 || std::strchr(".,;:!?()<>/=\"", C) != nullptr;
        };
        struct TWordAt {
            std::string Text;
            int32_t Start, End;
        };
        std::vector<std::vector<TWordAt>> unitWords;
        for (const auto& [from, to] : ranges) {
            std::vector<TWordAt> words;
            for (int32_t i = from; i < to;) {
                if (opens(i)) {
                    ++i;
                    while (i < to && !isStop(text[static_cast<size_t>(i)])) ++i;
                    if (i < to) ++i;
                    continue;
                }
                if (isDelimiter(text[static_cast<size_t>(i)])) {
                    ++i;
                    continue;
                }
                const int32_t start = i;
                while (i < to && !isDelimiter(text[static_cast<size_t>(i)])) ++i;
                words.push_back({LangLowerCase(text.substr(start, i - start), 0), start, i});
            }
            unitWords.push_back(words);
        }
        for (const Strings& terms : {Strings{"zerub"}, Strings{"lord"}, Strings{"the", "lord"}}) {
            std::vector<THit> expected;
            for (const auto& words : unitWords) {
                for (size_t w = 0; w + terms.size() <= words.size();) {
                    bool all = true;
                    for (size_t k = 0; k < terms.size() && all; ++k) all = words[w + k].Text == terms[k];
                    if (!all) {
                        ++w;
                        continue;
                    }
                    expected.push_back({0, words[w].Start, words[w + terms.size() - 1].End, ""});
                    w += terms.size();
                }
            }
            const std::string pattern = terms.size() == 1 ? terms[0] : terms[0] + " " + terms[1];
            const auto hits = Run(Query(pattern), 0, {}, 0, thread);
            ASSERT_EQ(hits, expected) << "round " << round << ", tags " << tagMode << ", units " << unitMode
                                      << ", pattern " << pattern;
        }
        Texts.clear();
    }
}

TEST_F(SearchTest, UnitsWithAnInclusiveEndAndPhrasesWithinOneUnit) {
    // Markup alignments store the unit's last byte as its End.
    const std::string text = "one two three\nfour five six";
    File(text, {{0, 12, 0}, {14, 26, 0}});
    EXPECT_EQ(HitTexts(Run(Query("three"))), Strings{"three"});
    EXPECT_EQ(HitTexts(Run(Query("six"))), Strings{"six"});
    EXPECT_EQ(HitTexts(Run(Query("three four"))), Strings{}) << "a match never crosses two units";
    EXPECT_EQ(HitTexts(Run(Query("two @ five"))), Strings{});
    EXPECT_EQ(HitTexts(Run(Query("one @@ three"))), Strings{"one two three"});

    // A one-letter word that is a unit's last byte lies in that unit, the file's last unit included.
    const int letters = File("x a y b", {{0, 2, 0}, {3, 6, 0}});
    Items.clear();
    EXPECT_EQ(HitTexts(Run(Query("?"))).size(), 4u);
    std::vector<std::pair<int32_t, int32_t>> aligned;
    for (const auto& item : Items)
        if (item->FileIndex == letters) aligned.emplace_back(item->AlignedStart, item->AlignedEnd);
    EXPECT_EQ(aligned, (std::vector<std::pair<int32_t, int32_t>>{{0, 2}, {0, 2}, {3, 6}, {3, 6}}));
}

TEST_F(SearchTest, HeadingsAndContexts) {
    const std::string text =
        "<H>Intro</H>\n<t>alpha beta</t>\n<H>Other</H>\n<t>alpha gamma</t>\n"
        "TITLE: intro TITLE:x <t>alpha delta</t>";
    File(text);
    TConcSearchRec q = Query("alpha", 0, sfHeading);
    q.HeadStartMarker = "<H>";
    q.HeadStopMarker = "</H>";
    q.HeadingPattern = "intro";
    q.TextStartMarker = "<t>";
    q.TextStopMarker = "</t>";
    const auto hits = Run(q);
    ASSERT_EQ(HitTexts(hits), Strings{"alpha"});
    EXPECT_EQ(hits[0].Start, static_cast<int32_t>(text.find("alpha")));
    // The word before the text's stop marker keeps its last byte.
    q.Patterns = {"beta"};
    EXPECT_EQ(HitTexts(Run(q)), Strings{"beta"});
    // A marker with a trailing "#" needs a blank after it, which is not part of the heading.
    q.Patterns = {"alpha"};
    q.HeadStartMarker = "TITLE:#";
    q.HeadStopMarker = "TITLE:";
    q.HeadingPattern = "intro";
    const auto titled = Run(q);
    ASSERT_EQ(HitTexts(titled), Strings{"alpha"});
    EXPECT_EQ(titled[0].Start, static_cast<int32_t>(text.rfind("alpha")));

    const std::string contexts = "a start a b stop a start b a stop a start a";
    File(contexts);
    TConcSearchRec c = Query("a", 0, sfContext);
    c.LeftContext = "start";
    c.RightContext = "stop";
    const auto between = Run(c);
    EXPECT_EQ(between.size(), 2u);
    for (const THit& h : between) EXPECT_EQ(h.File, 1);
    // Without a right context one range runs from the first left match to the end of the text.
    c.RightContext.clear();
    const auto open = Run(c);
    std::vector<int32_t> starts;
    for (const THit& h : open) {
        if (h.File == 1) starts.push_back(h.Start);
    }
    EXPECT_EQ(starts, (std::vector<int32_t>{8, 17, 27, 34, 42}));
}

// Headings and their texts in random files cut into units that split a heading from its text (as
// sentence units do) or hold each heading with its text (as markup units do): the hits are the words
// under a matching heading, within one unit, against a model of the file.
TEST_F(SearchTest, HeadingTextsAreFoundWhateverTheUnits) {
    std::mt19937 random(5);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const Strings words = {"alpha", "beta", "intro", "gamma"};
    int found = 0;
    for (int round = 0; round < 40; ++round) {
        ResetGlobalsForTest();
        SetUp();
        Texts.clear();
        const bool markup = round % 2 == 1;
        std::string text;
        std::vector<TSegment> units;
        std::vector<std::pair<int32_t, bool>> model;  // word starts of the texts, under a matching heading
        std::vector<int32_t> cuts{0};
        for (int h = 2 + pick(5); h > 0; --h) {
            const std::string heading = words[static_cast<size_t>(pick(4))];
            text += "<H>" + heading + (pick(3) == 0 ? " extra" : "") + "</H>\n";
            if (!markup && pick(2) == 0) cuts.push_back(static_cast<int32_t>(text.size()));
            text += "<t>";
            for (int w = 1 + pick(8); w > 0; --w) {
                const auto start = static_cast<int32_t>(text.size());
                text += words[static_cast<size_t>(pick(4))] + (w > 1 ? " " : "");
                model.push_back({start, heading == "intro"});
                if (!markup && pick(4) == 0) {
                    text += " ";
                    cuts.push_back(static_cast<int32_t>(text.size()));
                }
            }
            text += "</t>\n";
            if (markup || pick(2) == 0) cuts.push_back(static_cast<int32_t>(text.size()));
        }
        if (cuts.back() != static_cast<int32_t>(text.size()))
            cuts.push_back(static_cast<int32_t>(text.size()));
        for (size_t i = 0; i + 1 < cuts.size(); ++i) {
            if (cuts[i] < cuts[i + 1]) units.push_back({cuts[i], cuts[i + 1], 0});
        }
        File(text, units);
        const std::string word = words[static_cast<size_t>(pick(2))];
        TConcSearchRec q = Query(word, 0, sfHeading);
        q.HeadStartMarker = "<H>";
        q.HeadStopMarker = "</H>";
        q.HeadingPattern = "intro";
        q.TextStartMarker = "<t>";
        q.TextStopMarker = "</t>";
        std::vector<int32_t> expected;
        for (const auto& [start, under] : model) {
            if (under && text.compare(static_cast<size_t>(start), word.size(), word) == 0 &&
                !std::isalpha(static_cast<unsigned char>(text[static_cast<size_t>(start) + word.size()])))
                expected.push_back(start);
        }
        std::vector<int32_t> starts;
        for (const THit& h : Run(q)) starts.push_back(h.Start);
        ASSERT_EQ(starts, expected) << "round " << round << "\n" << text;
        found += static_cast<int>(expected.size());
    }
    EXPECT_GT(found, 20);
}

TEST_F(SearchTest, SentenceModeComparesTheSentencesOfTheHitsFirstAndLastByte) {
    CommonConfig->SentenceMode = true;
    CommonConfig->WordTag = 1;
    const std::string text = "a_X end_NN. start_VB b_X.";
    const int f = File(text);
    auto sentences = std::make_unique<TAlignIndex>();
    sentences->Add(0, 11, 9);
    sentences->Add(12, 25, 12);
    LanguageConfigs[0]->SentenceIndexes.SetItem(f, std::move(sentences));
    EXPECT_EQ(HitTexts(Run(Query("start"))), Strings{"start"});
    EXPECT_EQ(HitTexts(Run(Query("end @@ b"))), Strings{});
    EXPECT_EQ(HitTexts(Run(Query("start b", 2))), Strings{"start b"});
    CommonConfig->SentenceMode = false;
    EXPECT_EQ(HitTexts(Run(Query("end @@ b"))), Strings{"end start b"});
}

TEST_F(SearchTest, FrequencyMaximumAndRejectedHits) {
    File("w1 w2 w3 w4 w5 w6 w7 w8 w9 w10");
    File("w11 w12");
    CommonConfig->FrequencyOfHits = 3;
    EXPECT_EQ(HitTexts(Run(Query("w*"))), (Strings{"w3", "w6", "w9", "w12"}));
    EXPECT_EQ(Search->Query->FrequencyOfHits, 3) << "the search keeps the frequency it used";
    int calls = 0;
    OnHitSpy = [&](TConcordItem&) {
        if (++calls == 1) throw EAbort();
    };
    EXPECT_EQ(HitTexts(Run(Query("w*"))), (Strings{"w4", "w7", "w10"}));
    OnHitSpy = nullptr;
    CommonConfig->FrequencyOfHits = 1;
    EXPECT_EQ(HitTexts(Run(Query("w*"), 2)), (Strings{"w1", "w2"}));
    EXPECT_EQ(Search->FoundCount, 2) << "the search stops right after the maximum";
}

TEST_F(SearchTest, RangeCallbacksProgressAndCancel) {
    const int f = File("x a y\nb a\na c a", {{0, 6, 0}, {6, 10, 0}, {10, 15, 0}});
    std::vector<int32_t> order = {2, 0};
    const RangeFn onRange = [&](int32_t File, int32_t& Cookie, bool) -> int32_t {
        if (Cookie >= static_cast<int32_t>(order.size())) return -1;
        const int32_t entry = order[static_cast<size_t>(Cookie++)];
        GetAlignIndex(0, File)->SetFlag(entry, true);
        return entry;
    };
    std::string label;
    bool subGauge = true;
    OnHitSpy = [&](TConcordItem&) {
        label = Search->ProgressWindow->Label(dlProgress);
        subGauge = Search->ProgressWindow->SubGaugeVisible();
    };
    const auto hits = Run(Query("a"), 0, onRange, 2);
    EXPECT_EQ(hits, (std::vector<THit>{{f, 10, 11, ""}, {f, 14, 15, ""}, {f, 2, 3, ""}}));
    EXPECT_EQ(label, "Progress through search result:");
    EXPECT_FALSE(subGauge);
    for (int32_t i = 0; i < 3; ++i) EXPECT_FALSE(GetAlignIndex(0, f)->GetFlag(i)) << "flags cleared";
    EXPECT_EQ(Search->ProgressWindow, nullptr);

    // Cancel from the window: the hits reported stay, nothing else comes, and everything is released.
    std::string caption, scanning;
    OnHitSpy = [&](TConcordItem&) {
        caption = Search->ProgressWindow->Caption();
        scanning = Search->ProgressWindow->Label(dlSubProgress);
        Search->ProgressWindow->Tag = 1;
    };
    EXPECT_EQ(Run(Query("a")).size(), 1u);
    EXPECT_EQ(caption, "Searching for [a]...");
    EXPECT_EQ(scanning, "Scanning f0.txt...");
    EXPECT_EQ(WaitCount, 0);
    // An exception of the callback ends the search and passes on, after the same release.
    OnHitSpy = [&](TConcordItem&) {
        GetAlignIndex(0, f)->SetFlag(1, true);
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(Run(Query("a")), std::runtime_error);
    EXPECT_FALSE(GetAlignIndex(0, f)->GetFlag(1));
    EXPECT_EQ(WaitCount, 0);
    EXPECT_EQ(Search->ProgressWindow, nullptr);
    // A thread's search touches no window and stops through its flag.
    OnHitSpy = [&](TConcordItem&) { Search->Cancelled = true; };
    EXPECT_EQ(Run(Query("a"), 0, {}, 0, true).size(), 1u);
    EXPECT_EQ(Backend.ProcessMessagesCalls, Backend.ProcessMessagesCalls);
}

// What a search's window is told, state by state: the file it names, its per-file and overall gauges.
class TWindowLog : public TScriptedBackend {
public:
    struct TState {
        std::string File;
        int SubMax, Progress;
    };
    std::unique_ptr<IProgressView> CreateDoubleView(TDoubleProgressForm& Form) override {
        return std::make_unique<TView>(Form, States);
    }
    std::vector<TState> States;

private:
    struct TView : IProgressView {
        TView(TDoubleProgressForm& Form, std::vector<TState>& States) : Form(Form), States(States) {}
        void Changed() override {
            States.push_back({Form.Label(dlSubProgress), Form.SubMax(), Form.Progress()});
        }
        void ShowWindow() override {}
        void HideWindow() override {}
        TDoubleProgressForm& Form;
        std::vector<TState>& States;
    };
};

// A corpus of many small files: the window names a file and moves its gauges by the gauges' clock, not
// once per file, and what it shows is whole (a file's name with that file's size); the overall gauge
// still counts every byte of every file.
TEST_F(SearchTest, ManyFilesMoveTheWindowByTheClock) {
    const int files = 400;
    int64_t total = 0;
    for (int i = 0; i < files; ++i) {
        const std::string text = "a b" + std::string(size_t(i % 7), ' ') + " a\n";
        File(text);
        total += int64_t(text.size());
    }
    TWindowLog log;
    const auto start = std::chrono::steady_clock::now();
    const auto hits = Run(Query("a"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(hits.size(), size_t(2 * files));
    EXPECT_EQ(Search->OverallProgress, total);

    // The name and the range change one after the other: the last state that names a file is whole.
    std::vector<std::string> named;
    for (size_t i = 0; i < log.States.size(); ++i) {
        const TWindowLog::TState& state = log.States[i];
        EXPECT_LE(state.Progress, total);
        if (state.File.empty()) continue;
        if (named.empty() || named.back() != state.File) named.push_back(state.File);
        if (i + 1 < log.States.size() && log.States[i + 1].File == state.File) continue;
        const int file = std::stoi(state.File.substr(std::string("Scanning f").size()));
        EXPECT_EQ(state.SubMax, int(Texts[size_t(file)].size())) << state.File;
    }
    ASSERT_FALSE(named.empty());
    EXPECT_EQ(named.front(), "Scanning f0.txt...");
    EXPECT_LE(named.size(), size_t(2 + elapsed / SearchGaugeInterval)) << "files named, of " << files;
}

// Two languages searched on two threads at once find what each finds alone; a search told to stop
// from another thread ends.
TEST_F(SearchTest, SearchesOfTwoLanguagesRunOnThreadsAtOnce) {
    Lang(1).SetLanguage(1049, "Russian");
    std::string english, russian;
    for (int i = 0; i < 3000; ++i) {
        english += i % 7 == 0 ? "Alpha beta, " : "gamma delta ";
        russian += i % 5 == 0 ? "\xC0\xC1\xC2 x. " : "\xE0\xE1\xE2 y ";
    }
    File(english, {{0, static_cast<int32_t>(english.size() / 2), 0},
                   {static_cast<int32_t>(english.size() / 2), static_cast<int32_t>(english.size()), 0}});
    File(russian, {{0, static_cast<int32_t>(russian.size()), 0}}, 1);
    TConcSearchRec first = Query("alpha @ gamma");
    TConcSearchRec second = Query("\xE0\xE1\xE2 [a-z]", 1);
    second.Language = 1;
    InitRegExpCharTables(1);
    const auto alone1 = Run(first, 0, {}, 0, true);
    const auto alone2 = Run(second, 0, {}, 0, true);
    ASSERT_GT(alone1.size(), 400u);
    ASSERT_GT(alone2.size(), 1000u);
    std::vector<THit> together1, together2;
    auto runner = [](const TConcSearchRec& Q, std::vector<THit>& Hits) {
        TSearch search;
        uint8_t stage = 0;
        std::string error;
        search.Prepare(Q, stage, error);
        search.Execute(
            true, 0,
            [&](std::unique_ptr<TConcordItem> Item) {
                Hits.push_back({Item->FileIndex, Item->HitStart, Item->HitEnd, std::string(Item->Texts[0])});
            },
            {}, 0);
    };
    std::thread a(runner, std::cref(first), std::ref(together1));
    std::thread b(runner, std::cref(second), std::ref(together2));
    a.join();
    b.join();
    EXPECT_EQ(together1, alone1);
    EXPECT_EQ(together2, alone2);

    TSearch stopped;
    uint8_t stage = 0;
    std::string error;
    stopped.Prepare(second, stage, error);
    stopped.StopRequested = true;
    int hits = 0;
    stopped.Execute(
        true, 0, [&](std::unique_ptr<TConcordItem>) { ++hits; }, {}, 0);
    EXPECT_EQ(hits, 0);
    EXPECT_TRUE(stopped.Cancelled);
}

TEST_F(SearchTest, PrepareNamesThePatternThatDoesNotCompile) {
    File("text");
    LanguageConfigs[0]->EqualChars = "e=f";
    TConcSearchRec q = Query("ok", 1, sfHeading | sfContext | sfSkipEqual);
    q.SkippingChars = "-X";
    q.HeadingPattern = "h";
    q.LeftContext = "l";
    q.RightContext = "r";
    TSearch search;
    uint8_t stage = 99;
    std::string error;
    search.Prepare(q, stage, error);
    EXPECT_EQ(stage, 0);
    EXPECT_EQ(search.Query->EqualChars, "e=f");
    EXPECT_TRUE(search.SkipSet['x'] && search.SkipSet['-'] && !search.SkipSet['X']);
    for (auto [field, expected] : {std::pair{&TConcSearchRec::HeadingPattern, 3},
                                   {&TConcSearchRec::LeftContext, 1},
                                   {&TConcSearchRec::RightContext, 2}}) {
        TConcSearchRec bad = q;
        bad.*field = "(";
        search.Prepare(bad, stage, error);
        EXPECT_EQ(stage, expected);
        EXPECT_EQ(error, "Unmatched ( or \\(");
    }
    TConcSearchRec bad = q;
    bad.Patterns = {"ok", "a["};
    search.Prepare(bad, stage, error);
    EXPECT_EQ(stage, 4);
}

TEST_F(SearchTest, HitTextsAndTheWordsAround) {
    std::string longRun;
    for (int i = 0; i < 10; ++i) longRun += "abcdefghi" + std::to_string(i);
    const std::string text = "one two three four " + longRun + " five six seven eight nine";
    File(text);
    const auto hits = Run(Query("abcdefghi0.*9", 1));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].End - hits[0].Start, 100);
    EXPECT_EQ(hits[0].Text, longRun.substr(0, 27) + " ... " + longRun.substr(72));
    const TConcordItem& item = *Items.back();
    EXPECT_EQ(item.Texts[1], "one");
    EXPECT_EQ(item.Texts[4], "four");
    EXPECT_EQ(item.Texts[5], "five");
    EXPECT_EQ(item.Texts[8], "eight");
    EXPECT_EQ(item.WordStarts[4], 14);
    EXPECT_EQ(item.WordEnds[5], static_cast<int32_t>(text.find("five") + 4));
    EXPECT_EQ(item.AlignedStart, 0);

    const auto phrase = Run(Query("one @@ nine"));
    ASSERT_EQ(phrase.size(), 1u);
    EXPECT_EQ(phrase[0].Text, "one two three four " + longRun.substr(0, 60 - 4 - 6 - 19) + " ... nine");
    EXPECT_EQ(HitTexts(Run(Query("end\\s+x", 1))), Strings{}) << "no hit";
    File("the end\r\n\r\nx");
    EXPECT_EQ(HitTexts(Run(Query("end x", 1))), Strings{"end x"});
}

// The words around a hit are those that a classification of the whole 255 bytes on each side gives,
// however many hits the reporting reader has classified before: over random texts of short words and
// words longer than the few dozen bytes a hit's context is first looked for in (and than 255 bytes),
// tags long and short, stray tag bytes and line breaks, with tags closed by ">" or by a blank and with
// word tags.
TEST(KwicLineTest, TheWordsAroundAHitAreThoseOfTheWholeStretchAroundIt) {
    std::mt19937 random(5903);
    auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
    const char* const pieces[] = {"lord ", "a ", "and ", ", ",   "  ",   "\r\n",          "\n",      "<s>",
                                  "</s> ", ">",  "<",    "x>y ", "a<b ", "<p n=\"1 2\">", "cat_NN ", ". "};
    for (int round = 0; round < 48; ++round) {
        std::string text;
        while (text.size() < 5000) {
            const size_t choice = pick(40);
            if (choice == 0) {
                text += "<long " + std::string(50 + pick(1100), 'q') + ">";
            } else if (choice < 4) {
                text += std::string(20 + pick(300), static_cast<char>('a' + pick(26))) + " ";
            } else {
                text += pieces[pick(16)];
            }
        }
        TBufStreamTags tags = AngleTags();
        if (round % 3 == 1) tags.TagStop = '#';
        if (round % 3 == 2) {
            tags.WordTagMode = 1;
            tags.POSSeparator = '_';
        }
        TTextReader used(text, tags);
        const auto size = static_cast<int32_t>(text.size());
        for (int trial = 0; trial < 60; ++trial) {
            const auto start = static_cast<int32_t>(pick(text.size() - 1));
            const int32_t end = std::min(size, start + 1 + static_cast<int32_t>(pick(30)));
            TConcordItem item(0);
            BuildKwicLine(used.Reader, start, end, item, 0);

            TTextReader whole(text, tags);
            whole.Reader.ValidateBuffer(std::max(0, start - 255), std::min(size, end + 255));
            TConcordItem expected(0);
            auto keep = [&](int slot, std::string_view word) {
                expected.Texts.Set(slot, word);
                expected.WordStarts[static_cast<size_t>(slot)] = whole.Reader.WordStart();
                expected.WordEnds[static_cast<size_t>(slot)] = whole.Reader.WordEnd();
            };
            whole.Reader.SetPosition(start);
            for (int slot = 4; slot >= 1; --slot) {
                const std::string_view word = whole.Reader.PrevWord();
                if (word.empty()) break;
                keep(slot, word);
            }
            whole.Reader.SetPosition(end);
            for (int slot = 5; slot <= 8; ++slot) {
                const std::string_view word = whole.Reader.NextWord();
                if (word.empty()) break;
                keep(slot, word);
            }
            for (int slot = 1; slot < ItemSlotCount; ++slot) {
                const auto k = static_cast<size_t>(slot);
                ASSERT_EQ(item.Texts.Has(slot), expected.Texts.Has(slot))
                    << round << " " << start << " " << slot;
                ASSERT_EQ(item.Texts[slot], expected.Texts[slot]) << round << " " << start << " " << slot;
                ASSERT_EQ(item.WordStarts[k], expected.WordStarts[k]) << round << " " << start << " " << slot;
                ASSERT_EQ(item.WordEnds[k], expected.WordEnds[k]) << round << " " << start << " " << slot;
            }
        }
    }
}

// Within 255 bytes of the largest file size the right context's bound wrapped around to a negative offset
// and the search ended with an internal error. The file is sparse: it takes no room on the disk.
TEST_F(SearchTest, HitsAtTheEndOfTheLargestFileKeepTheirContext) {
    const std::string Tail = " first second needle tail end";
    const std::string Path = Dir.File("largest.txt");
    {
        std::ofstream Out(Path, std::ios::binary);
        Out.seekp(0x7FFFFFFFLL - static_cast<int64_t>(Tail.size()));
        Out << Tail;
    }
    TNamedItem<TCorpusFileRecord> Entry;
    Entry.Name = Entry.Object.CopyName = Path;
    const int f =
        Lang(0).AddFile(std::move(Entry), std::make_unique<TFileSynchroStream>(Path, fmOpenRead), nullptr);
    while (Align12->Count() <= f) Align12->Add(std::make_unique<TDoubleAlignIndex>());
    const int32_t Size = 0x7FFFFFFF, From = Size - 300;
    Align12->GetItem(f)->Side1.Add(From, Size, Size - From);
    const auto Hits = Run(Query("needle"));
    ASSERT_EQ(Hits.size(), 1u);
    EXPECT_EQ(Hits[0].Start, Size - static_cast<int32_t>(Tail.size() - Tail.find("needle")));
    EXPECT_EQ(Items.back()->Texts[4], "second");
    EXPECT_EQ(Items.back()->Texts[5], "tail");
    EXPECT_EQ(Items.back()->Texts[6], "end");
    EXPECT_EQ(HitTexts(Run(Query("end"))), Strings{"end"});
}

// A hit of a regular expression is its match with word tags as without; a word query's hit begins at
// its first word, past the tags and word tags before it.
TEST_F(SearchTest, HitsBeginWhereTheirMatchOrFirstWordBegins) {
    CommonConfig->WordTag = 1;
    const std::string text = "<s>The_DT cat_NN sat_VBD .</s> <s>A_DT dog_NN ran_VBD , fast_RB ;</s>";
    File(text);
    const auto ends = Run(Query("</s>", 1));
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0].Start, static_cast<int32_t>(text.find("</s>")));
    EXPECT_EQ(ends[0].Text, "</s>");
    EXPECT_EQ(HitTexts(Run(Query("[.,;:]", 1))), (Strings{".", ",", ";"}));
    EXPECT_EQ(HitTexts(Run(Query("_NN", 1))), (Strings{"_NN", "_NN"}));
    const auto phrase = Run(Query("dog ran", 0));
    ASSERT_EQ(phrase.size(), 1u);
    EXPECT_EQ(phrase[0].Start, static_cast<int32_t>(text.find("dog")));
    EXPECT_EQ(phrase[0].End, static_cast<int32_t>(text.find("ran") + 3));
    CommonConfig->WordTag = 0;
    const auto plain = Run(Query("s", 0));
    EXPECT_EQ(plain.size(), 0u) << "the tags <s> and </s> hold no word";
    const auto second = Run(Query("a_dt", 0));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].Start, static_cast<int32_t>(text.find("A_DT"))) << "past the tag before it";
}

// A query that begins with a word skip begins its hit at the first skipped word, never at the tag of
// the word before it; a tagger's punctuation (",_,", "._.") ends no unit's search.
TEST_F(SearchTest, TaggedHitsBeginAtAWordAndPunctuationTagsEndNoSearch) {
    CommonConfig->WordTag = 1;
    CommonConfig->MatchWordsLo = 2;
    CommonConfig->MatchWordsHi = 2;
    const std::string skipped = "a_X b c_X d_X e";
    File(skipped);
    const auto hits = Run(Query("@ d", 2));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].Start, static_cast<int32_t>(skipped.find('b')));
    EXPECT_EQ(hits[0].End, static_cast<int32_t>(skipped.find(" e")));
    EXPECT_EQ(HitTexts(hits), Strings{"b c d"});

    ResetGlobalsForTest();
    SetUp();
    CommonConfig->WordTag = 1;
    std::string tagged;
    for (int sentence = 0; sentence < 200; ++sentence)
        tagged += "<p><s>The_DT house_NN ,_, a_DT house_NN x_, is_VBZ red_JJ ._.</s></p>\r\n";
    File(tagged);
    EXPECT_EQ(Run(Query("house")).size(), 400u);
    EXPECT_EQ(Run(Query("house&nn", 2)).size(), 400u);
    EXPECT_EQ(Run(Query("x is", 0)).size(), 200u);
    EXPECT_EQ(Run(Query("red the", 0)).size(), 199u) << "over the end of the sentence and its tags";
}

// A tagset's tags may hold the language's delimiters ("PRP$", "WP$", the "," of a comma): the tag is read
// whole, to the blank, line break or tag after it, so that a search for it finds its words and the lines
// show the words without a piece of their tags.
TEST_F(SearchTest, AWordTagHoldingADelimiterIsReadWhole) {
    CommonConfig->WordTag = 1;
    const std::string text =
        "<s>I_PRP saw_VBD his_PRP$ dog_NN ,_, whose_WP$ tail_NN wagged_VBD "
        "._.</s>\r\n<s>His_PRP$\r\ncat_NN</s>";
    File(text);
    const auto his = Run(Query("&prp$", 2));
    EXPECT_EQ(HitTexts(his), (Strings{"his", "His"}));
    ASSERT_EQ(his.size(), 2u);
    EXPECT_EQ(his[0].Start, static_cast<int32_t>(text.find("his_")));
    EXPECT_EQ(his[0].End, static_cast<int32_t>(text.find(" dog")));
    EXPECT_EQ(HitTexts(Run(Query("&wp$", 2))), Strings{"whose"});
    EXPECT_EQ(HitTexts(Run(Query("&prp", 2))), Strings{"I"});
    EXPECT_EQ(HitTexts(Run(Query("his&prp$ dog&nn", 2))), Strings{"his dog"});
    EXPECT_EQ(Run(Query("&,", 2)).size(), 0u) << "a tag of punctuation belongs to no word";
    EXPECT_EQ(HitTexts(Run(Query("his dog"))), Strings{"his dog"});
    EXPECT_EQ(HitTexts(Run(Query("dog whose"))), Strings{"dog whose"});
}

// A regular expression folds case as its own query says, whatever the tables of its language were last
// built with (the query dialog of another language, or the corpus pass, builds them with the options of
// its moment), so the languages of a parallel search each fold as their rows say.
TEST_F(SearchTest, ARegularExpressionFoldsCaseAsItsQuerySays) {
    File("haus Haus HAUS");
    for (const bool tablesFold : {false, true}) {
        CommonConfig->IgnoreCase = tablesFold;
        InitRegExpCharTables(0);
        CommonConfig->IgnoreCase = !tablesFold;
        EXPECT_EQ(Run(Query("haus", 1)).size(), 3u) << "tables built folding: " << tablesFold;
        EXPECT_EQ(Run(Query("Haus", 1, sfMatchCase)).size(), 1u) << "tables built folding: " << tablesFold;
    }
}

TEST_F(SearchTest, QueryDescription) {
    TConcSearchRec q = Query("a");
    q.FrequencyOfHits = 4;
    const TQueryDescription plain = DescribeQuery(q);
    Strings captions, values;
    for (const auto& item : plain.Options) {
        captions.push_back(item.Caption);
        values.push_back(item.Value);
    }
    EXPECT_EQ(captions, (Strings{"Search:", "Ignore case:", "Freq. of hits:", "Sent. mode:"}));
    EXPECT_EQ(values, (Strings{"Text", "ON", "4", "OFF"}));
    EXPECT_FALSE(plain.PaddingVisible || plain.HeadingVisible || plain.ContextVisible);
    q.Flags = sfMatchCase | sfSentenceMode | sfHeading;
    q.Syntax = 2;
    q.HeadStartMarker = "<h>";
    const TQueryDescription tagged = DescribeQuery(q);
    EXPECT_EQ(tagged.Options[0].Value, "Tag");
    EXPECT_EQ(tagged.Options[1].Value, "OFF");
    EXPECT_EQ(tagged.Options[3].Value, "ON");
    EXPECT_TRUE(tagged.HeadingVisible);
    TDoubleProgressForm window;
    ShowQueryDescription(window, tagged);
    EXPECT_EQ(window.Label(dlHeadingStart), "<h>");
    EXPECT_TRUE(window.PanelVisible(dpHeading));
    EXPECT_FALSE(window.PanelVisible(dpContext));

    // A search describes the sentence mode it applies, the option's, whatever the query's flag says.
    File("a b");
    for (const bool option : {false, true}) {
        CommonConfig->SentenceMode = option;
        for (const uint8_t flags : {uint8_t{0}, sfSentenceMode}) {
            Run(Query("a", 0, flags));
            EXPECT_EQ(DescribeQuery(*Search->Query).Options[3].Value, option ? "ON" : "OFF");
        }
    }
}

}  // namespace

// A file changed in place after it was processed: the search says which file and leaves it out instead
// of failing inside the reader; once opened again and processed, it is searched as it now is.
TEST_F(SearchTest, AFileChangedSinceProcessingIsLeftOutWithAWordAndComesBackAfterAScan) {
    File("one two three two one");
    const int Changed = File("two four two four two four two");
    EXPECT_EQ(Run(Query("two")).size(), 2u + 4u);
    const std::string Path = LanguageConfigs[0]->Files[size_t(Changed)].Name;
    {
        std::FILE* F = std::fopen(Path.c_str(), "r+b");  // the same file, shorter
        ASSERT_NE(F, nullptr);
        std::fputs("two", F);
        std::fclose(F);
        std::filesystem::resize_file(Path, 3);
    }
    Backend.Messages.clear();
    const std::vector<THit> Hits = Run(Query("two"));
    EXPECT_EQ(Hits.size(), 2u);
    for (const THit& H : Hits) EXPECT_EQ(H.File, 0);
    EXPECT_EQ(Backend.Texts(), std::vector<std::string>{ChangedFileText(Path)});

    EXPECT_EQ(ReopenChangedCorpusFiles(), 1);
    EXPECT_EQ(ReopenChangedCorpusFiles(), 0);
    EXPECT_FALSE(LanguageConfigs[0]->Streams[size_t(Changed)]->ChangedSinceOpened());
    // What the pass and the aligner would build again: one unit over the new text.
    Align12->SetItem(Changed, std::make_unique<TDoubleAlignIndex>());
    Align12->GetItem(Changed)->Side1.Add(0, 3, 3);
    Backend.Messages.clear();
    EXPECT_EQ(Run(Query("two")).size(), 3u);
    EXPECT_TRUE(Backend.Messages.empty());
}
