// The drawing rules of the alignment windows without a display: wrapping with a fixed-pitch measure,
// and which marker occurrences are highlighted, against a plain search of whole-word occurrences.
#include <gtest/gtest.h>

#include <random>

#include "alignment/ConcAlignUtils.h"

namespace {

TCharSet Blanks() {
    TCharSet Set;
    for (int C = 0; C <= 32; ++C) Set.set(size_t(C));
    for (char C : std::string(",.;:!?")) Set.set(uint8_t(C));
    return Set;
}

std::array<uint8_t, 256> AsciiLower() {
    std::array<uint8_t, 256> Map{};
    for (int C = 0; C < 256; ++C) Map[size_t(C)] = uint8_t(C >= 'A' && C <= 'Z' ? C + 32 : C);
    return Map;
}

// Room for Chars fixed-pitch characters.
TFitCount Room(int Chars) {
    return [Chars](std::string_view Text) { return std::min<int>(Chars, int(Text.size())); };
}

}  // namespace

TEST(AlignDrawRules, WrappingCutsAfterTheLastWholeWordCountingPositionsFromOne) {
    // Room for 5: n is 6, a blank; back over it and over "cd": the line is "ab ".
    EXPECT_EQ(WrapLines("ab cd ef", Room(5), Blanks()), (std::vector<std::string>{"ab ", "cd ef"}));
    // Text that fits exactly, or one byte more, is one line; control bytes become blanks.
    EXPECT_EQ(WrapLines("abcde", Room(5), Blanks()), (std::vector<std::string>{"abcde"}));
    EXPECT_EQ(WrapLines("ab\tcd\r\n", Room(40), Blanks()), (std::vector<std::string>{"ab cd  "}));
    // A word longer than the room is cut at n.
    EXPECT_EQ(WrapLines("abcdefghij", Room(3), Blanks()), (std::vector<std::string>{"abcd", "efgh", "ij"}));
    EXPECT_TRUE(WrapLines("", Room(3), Blanks()).empty());
    // Whatever the room, the lines put together give the text back.
    std::mt19937 Rng(5);
    for (int Round = 0; Round < 300; ++Round) {
        std::string Text;
        const int Length = int(Rng() % 60);
        for (int K = 0; K < Length; ++K) Text += "ab ,"[Rng() % 4];
        std::string Joined;
        for (const std::string& L : WrapLines(Text, Room(1 + int(Rng() % 12)), Blanks())) {
            ASSERT_FALSE(L.empty());
            Joined += L;
        }
        ASSERT_EQ(Joined, Text);
    }
}

// Text fed in pieces of any size is cut into the lines the whole text gives; the wrapper waits for more
// text rather than guess at a line that might go on, and the first lines of a long text ask the measure
// about no more than those lines and the one byte that ends each.
TEST(AlignDrawRules, TextFedInPiecesIsCutAsTheWholeTextAndOnlyAsFarAsAsked) {
    std::mt19937 Rng(11);
    for (int Round = 0; Round < 400; ++Round) {
        std::string Text;
        const int Length = int(Rng() % 200);
        for (int K = 0; K < Length; ++K) Text += "abc  ,\t"[Rng() % 7];
        const TFitCount Fit = Room(1 + int(Rng() % 15));
        const std::vector<std::string> Whole = WrapLines(Text, Fit, Blanks());
        TLineWrapper Wrapper(Fit, Blanks());
        std::vector<std::string> Cut;
        size_t Fed = 0;
        for (std::string Line; !Wrapper.AtEnd();) {
            if (Wrapper.Next(Line)) {
                Cut.push_back(Line);
                continue;
            }
            ASSERT_TRUE(Wrapper.NeedsText());
            const size_t Piece = std::min(Text.size() - Fed, size_t(Rng() % 9));
            Wrapper.Feed(std::string_view(Text).substr(Fed, Piece), Fed + Piece == Text.size());
            Fed += Piece;
        }
        ASSERT_EQ(Cut, Whole) << Text;
        const size_t Max = Rng() % 4;
        const std::vector<std::string> First = WrapLines(Text, Fit, Blanks(), Max);
        ASSERT_EQ(First,
                  std::vector<std::string>(Whole.begin(), Whole.begin() + long(std::min(Max, Whole.size()))));
    }
    // Three lines of a text of a million bytes measure a few dozen bytes.
    size_t Asked = 0;
    const TFitCount Counting = [&](std::string_view Rest) {
        const int N = std::min<int>(10, int(Rest.size()));
        Asked += size_t(N) + 1;
        return N;
    };
    std::string Long;
    while (Long.size() < 1000000) Long += "word ";
    EXPECT_EQ(WrapLines(Long, Counting, Blanks(), 3).size(), 3u);
    EXPECT_LE(Asked, 40u);
}

TEST(AlignDrawRules, MarkersAreHighlightedOnlyAsWholeWordsAndEachOccurrenceOnce) {
    const auto Lower = AsciiLower();
    EXPECT_EQ(FindMarkerSpans("foresee, see", {"see"}, Lower, Blanks()), (std::vector<TByteSpan>{{9, 3}}));
    // The second "ab" follows a letter of the line, not the blank the search copy put there.
    EXPECT_TRUE(FindMarkerSpans("abab", {"ab"}, Lower, Blanks()).empty());
    EXPECT_EQ(FindMarkerSpans("See the SEA", {"sea", "SEE", ""}, Lower, Blanks()),
              (std::vector<TByteSpan>{{8, 3}, {0, 3}}));
    // Against a plain search for whole-word occurrences that do not overlap an earlier find.
    std::mt19937 Rng(8);
    for (int Round = 0; Round < 500; ++Round) {
        std::string Line;
        const int Length = int(Rng() % 30);
        for (int K = 0; K < Length; ++K) Line += "aAb ,"[Rng() % 5];
        const std::string Marker = std::string("ab").substr(0, 1 + Rng() % 2);
        std::vector<TByteSpan> Expected;
        for (size_t At = 0; At + Marker.size() <= Line.size();) {
            bool Match = true;
            for (size_t K = 0; K < Marker.size(); ++K)
                Match = Match && char(Lower[uint8_t(Line[At + K])]) == Marker[K];
            if (!Match) {
                ++At;
                continue;
            }
            const size_t End = At + Marker.size();
            const bool Before = At == 0 || Blanks().test(uint8_t(Line[At - 1]));
            const bool After = End == Line.size() || Blanks().test(uint8_t(Line[End]));
            if (Before && After) Expected.emplace_back(int(At), int(Marker.size()));
            At = End;
        }
        ASSERT_EQ(FindMarkerSpans(Line, {Marker}, Lower, Blanks()), Expected) << Line << " / " << Marker;
    }
}
