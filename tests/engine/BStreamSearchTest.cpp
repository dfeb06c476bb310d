#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/BStream.h"
#include "tests/engine/BStreamTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

bool Accepted(const std::string& Text, int32_t At, int32_t RangeEnd, const TTextMarker& Marker) {
    const auto length = static_cast<int32_t>(Marker.Text.size());
    if (length == 0 || At + length + (Marker.MustEndAtBlank ? 1 : 0) > RangeEnd) return false;
    if (Text.compare(static_cast<size_t>(At), Marker.Text.size(), Marker.Text) != 0) return false;
    auto blank = [](char C) { return C == '\n' || C == '\r' || C == ' '; };
    return !Marker.MustEndAtBlank || blank(Marker.Text.back()) ||
           blank(Text[static_cast<size_t>(At + length)]);
}

int32_t FirstAccepted(const std::string& Text, int32_t From, int32_t RangeEnd, const TTextMarker& Marker) {
    for (int32_t at = From; at < RangeEnd; ++at) {
        if (Accepted(Text, at, RangeEnd, Marker)) return at;
    }
    return -1;
}

// What FindMarkers must answer, found position by position.
TMarkersFound BruteForceMarkers(const std::string& Text, int32_t From, int32_t RangeEnd,
                                const TTextMarker& Start, const TTextMarker& Stop, const TTextMarker& Other) {
    const int32_t a = FirstAccepted(Text, From, RangeEnd, Start);
    const int32_t b =
        a < 0 ? -1 : FirstAccepted(Text, a + static_cast<int32_t>(Start.Text.size()), RangeEnd, Stop);
    const int32_t c = FirstAccepted(Text, From, RangeEnd, Other);
    TMarkersFound found;
    if (c >= 0 && (b < 0 || c < b)) {
        found.OtherFound = c;
    } else if (b >= 0) {
        found = {a, b, c};
    }
    return found;
}

std::string Describe(const TMarkersFound& F) {
    return std::to_string(F.StartFound) + "/" + std::to_string(F.StopFound) + "/" +
           std::to_string(F.OtherFound);
}

}  // namespace

TEST(BufStreamFindText, FindsTheFirstAcceptedOccurrenceAndMovesOntoIt) {
    TTextReader r("the cat catalogue cat\tcat dog");
    EXPECT_EQ(r.Reader.FindText("cat", false), 4);
    EXPECT_EQ(r.Reader.GetPosition(), 4);
    r.Reader.SetPosition(0);
    // With the blank test, "cat" at the start of "catalogue" and the one before the tab do not count.
    EXPECT_EQ(r.Reader.FindText("cat", true), 4);
    r.Reader.SetPosition(5);
    EXPECT_EQ(r.Reader.FindText("cat", true), 22);
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.FindText("Cat", false), -1);  // exact bytes
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.FindText("", false), -1);
    EXPECT_EQ(r.Reader.FindText("", true), -1);

    // A pattern that ends in a blank passes the test by its own last byte.
    TTextReader own("xab \tab z");
    EXPECT_EQ(own.Reader.FindText("ab ", true), 1);
}

TEST(BufStreamFindText, StaysInsideTheRange) {
    TTextReader r("aaaa cat bbbb cat");
    r.Reader.SetRange(0, 8);
    EXPECT_EQ(r.Reader.FindText("cat", false), 5);  // ends right at the range end
    r.Reader.SetRange(0, 8);
    EXPECT_EQ(r.Reader.FindText("cat", true), -1);  // the blank after it lies outside
    r.Reader.SetRange(6, 17);
    EXPECT_EQ(r.Reader.FindText("cat", false), 14);
    r.Reader.SetRange(6, 16);
    EXPECT_EQ(r.Reader.FindText("cat", false), -1);
}

TEST(BufStreamFindText, FindsOccurrencesAcrossWindowSeamsAndReportsEachWindow) {
    // With the blank, an occurrence needs 9 bytes: from 8184 on it no longer fits the first window.
    for (int32_t at = 8176; at < 8200; ++at) {
        std::string text(20000, 'x');
        text.replace(static_cast<size_t>(at), 8, "<marker>");
        text[static_cast<size_t>(at + 8)] = ' ';
        TTextReader r(text);
        std::vector<int32_t> windows;
        const int32_t found =
            r.Reader.FindText("<marker>", true, [&](int32_t Offset, bool&) { windows.push_back(Offset); });
        ASSERT_EQ(found, at);
        EXPECT_EQ(r.Reader.GetPosition(), at);
        ASSERT_EQ(windows.size(), at < 8184 ? 1u : 2u) << at;
        EXPECT_EQ(windows[0], 0);
        if (windows.size() == 2) {
            EXPECT_EQ(windows[1], 8184);
        }
    }
}

TEST(BufStreamFindText, TheCallbackCanStopTheSearch) {
    std::string text(30000, 'x');
    text.replace(25000, 3, "end");
    TTextReader r(text);
    int calls = 0;
    auto stopSecond = [&](int32_t Offset, bool& Stop) {
        EXPECT_EQ(Offset, -1);
        Stop = ++calls == 2;
    };
    EXPECT_EQ(r.Reader.FindText("end", false, stopSecond, true), -1);
    EXPECT_EQ(calls, 2);
    r.Reader.SetPosition(0);
    EXPECT_EQ(r.Reader.FindText("end", false), 25000);
}

TEST(BufStreamFindMarkers, ReportsThePairTheOtherMarkerOrBoth) {
    const TTextMarker start{"<text>", false}, stop{"</text>", false}, head{"<h>", false};
    struct TCase {
        std::string Text;
        TMarkersFound Expected;
    };
    const std::vector<TCase> cases = {
        {"<h> a <text> b </text>", {-1, -1, 0}},     // the next header comes first
        {"<text> a <h> b </text>", {-1, -1, 9}},     // ... or inside the pair
        {"<text> a </text> <h>", {0, 9, 17}},        // after the pair
        {"<text> a </text> x", {0, 9, -1}},          // no header at all
        {"</text> <text> a </text>", {8, 17, -1}},   // a stray stop is passed over
        {"<text> a <text> b </text>", {0, 18, -1}},  // the first start counts
        {"<text> a", {-1, -1, -1}},                  // no stop
        {"<text> a <h>", {-1, -1, 9}},               // no pair, but a header
    };
    for (const TCase& c : cases) {
        TTextReader r(c.Text);
        EXPECT_EQ(Describe(r.Reader.FindMarkers(start, stop, head)), Describe(c.Expected)) << c.Text;
    }
}

TEST(BufStreamFindMarkers, AStopMustBeginAfterTheStartMarker) {
    TTextReader r("<p> a > b");
    const TMarkersFound found = r.Reader.FindMarkers({"<p>", false}, {">", false}, {"@@", false});
    EXPECT_EQ(Describe(found), "0/6/-1");
}

TEST(BufStreamFindMarkers, MarkersAcrossASeamAndStrayStopsInOneWindow) {
    // "</text>" with its blank straddles the first seam, right after its "<".
    const TTextMarker start{"<text>", false}, stop{"</text>", true}, head{"<h>", true};
    for (int32_t at = 8185; at <= 8192; ++at) {
        std::string text(20000, 'x');
        text.replace(100, 7, "<text> ");
        text.replace(static_cast<size_t>(at), 8, "</text> ");
        text.replace(15000, 4, "<h> ");
        TTextReader r(text);
        EXPECT_EQ(Describe(r.Reader.FindMarkers(start, stop, head)), "100/" + std::to_string(at) + "/15000");
    }
    // A stray stop, then a start and its stop, all in one window.
    std::string text(20000, 'x');
    text.replace(10, 8, "</text> ");
    text.replace(50, 7, "<text> ");
    text.replace(90, 8, "</text> ");
    TTextReader r(text);
    EXPECT_EQ(Describe(r.Reader.FindMarkers(start, stop, head)), "50/90/-1");
}

TEST(BufStreamFindMarkers, AgreeWithABruteForceSearchWhereverWindowsFall) {
    std::mt19937 random(12345);
    auto pick = [&](int32_t Bound) { return static_cast<int32_t>(random() % static_cast<uint32_t>(Bound)); };
    const std::vector<std::string> fragments = {"<a>", "</a>", "<hh>", "<a",  "a>",
                                                " ",   "\r\n", "x",    "xyz", "</"};
    for (int round = 0; round < 150; ++round) {
        std::string text;
        const int32_t size = 2000 + pick(30000);
        while (static_cast<int32_t>(text.size()) < size) {
            // Mostly filler, so that markers are sometimes thousands of bytes apart.
            text += pick(4) == 0
                        ? fragments[static_cast<size_t>(pick(static_cast<int32_t>(fragments.size())))]
                        : std::string(static_cast<size_t>(pick(pick(8) == 0 ? 3000 : 40)), 'x');
        }
        const TTextMarker start{"<a>", pick(2) == 0};
        const TTextMarker stop{"</a>", pick(2) == 0};
        const TTextMarker other{pick(3) == 0 ? "<a" : "<hh>", pick(2) == 0};
        const auto total = static_cast<int32_t>(text.size());
        const int32_t from = pick(total);
        const int32_t to = from + pick(total - from + 1);
        // The reader starts elsewhere, so that its first window falls differently from round to round.
        TTextReader r(text);
        r.Reader.SetPosition(pick(total));
        r.Reader.SetRange(from, to);
        const TMarkersFound expected = BruteForceMarkers(text, from, to, start, stop, other);
        ASSERT_EQ(Describe(r.Reader.FindMarkers(start, stop, other)), Describe(expected))
            << "round " << round << " range " << from << ".." << to;
        r.Reader.SetRange(from, to);
        ASSERT_EQ(r.Reader.FindText(stop.Text, stop.MustEndAtBlank), FirstAccepted(text, from, to, stop))
            << "round " << round;
    }
}

TEST(BufStreamThreads, ReadersOnSeveralThreadsShareOneFileStream) {
    TTempDir dir;
    std::string text;
    for (int i = 0; text.size() < 300000; ++i)
        text += "<s n=" + std::to_string(i) + ">word" + std::to_string(i) + " x\r\n";
    TFileSynchroStream stream(dir.Write("corpus.txt", text), fmOpenRead | fmShareDenyWrite);
    auto readWords = [&](std::string* Out) {
        TBufStream reader(stream, 0, NonWordCharSet(kDelimiters, kWildCards));
        reader.Configure(AngleTags());
        for (std::string_view word = reader.NextWord(); !word.empty(); word = reader.NextWord()) {
            Out->append(word).push_back('|');
        }
    };
    std::string expected, first, second;
    readWords(&expected);
    std::thread a(readWords, &first);
    std::thread b(readWords, &second);
    a.join();
    b.join();
    EXPECT_EQ(expected.substr(0, 16), "word0|x|word1|x|");
    EXPECT_TRUE(first == expected);
    EXPECT_TRUE(second == expected);
}
