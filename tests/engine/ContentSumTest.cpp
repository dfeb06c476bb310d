// The content sum that tells an untouched file from an edited one: the same sum however the bytes arrive,
// a different one for any edit, and the sum of the file itself wherever the program reads a file whole.
#include "engine/ContentSum.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/ConcCorpus.h"
#include "engine/UTF8_to_ASCII.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

uint64_t SumOf(const std::string& Text) {
    TContentSum Sum;
    Sum.Add(Text.data(), Text.size());
    return Sum.Value();
}

std::string RandomBytes(std::mt19937& Rng, size_t Size) {
    std::string Out(Size, '\0');
    for (char& C : Out) C = char(Rng() % 256);
    return Out;
}

// A text the corpus pass reads through every path of its reader: words, 0 bytes, CR LF and lone CR, tags,
// a tag longer than the reader's limit and stray tag starts, runs longer than its window.
std::string RandomCorpusText(std::mt19937& Rng, size_t Size) {
    static const std::vector<std::string> Pool = {"word ",
                                                  "Satz. ",
                                                  std::string(1, '\0'),
                                                  "\r\n",
                                                  "\r",
                                                  "<b>",
                                                  "</b>",
                                                  "<",
                                                  ">",
                                                  "<p id=\"1\">",
                                                  "\t",
                                                  "x",
                                                  "<" + std::string(1500, 'q') + ">",
                                                  std::string(9000, 'w')};
    std::string Out;
    while (Out.size() < Size) Out += Pool[Rng() % Pool.size()];
    Out.resize(Size);
    return Out;
}

}  // namespace

// The published values of the scheme, and the same sum for every way of handing over the bytes: in
// pieces of any size, and as reads that overlap, go back or repeat, as a reader's windows do.
TEST(ContentSumTest, KnownValuesAndEveryWayOfReadingGiveTheSameSum) {
    EXPECT_EQ(SumOf(""), 0xEF46DB3751D8E999ULL);
    EXPECT_EQ(SumOf("a"), 0xD24EC4F1A98C6E5BULL);
    EXPECT_EQ(SumOf("abc"), 0x44BC2CF5AD770999ULL);
    EXPECT_EQ(SumOf("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1ULL);
    std::mt19937 Rng(64);
    for (size_t Size : {0, 1, 3, 4, 7, 8, 31, 32, 33, 63, 64, 65, 100, 1000, 65537}) {
        SCOPED_TRACE(Size);
        const std::string Text = RandomBytes(Rng, Size);
        const uint64_t Whole = SumOf(Text);
        for (int Round = 0; Round < 20; ++Round) {
            TContentSum Pieces, Reads;
            for (size_t At = 0; At < Size;) {
                const size_t N = std::min<size_t>(Rng() % 70 + 1, Size - At);
                Pieces.Add(Text.data() + At, N);
                At += N;
            }
            // Reads start anywhere up to what was taken so far and run on past it.
            while (Reads.Length() < int64_t(Size)) {
                const int64_t From =
                    Reads.Length() - int64_t(Rng() % std::min<size_t>(Reads.Length() + 1, 50));
                const int64_t N = std::min<int64_t>(Rng() % 90, int64_t(Size) - From);
                Reads.AddAt(From, Text.data() + From, N);
                // A read that starts beyond what was taken leaves a gap: it is not taken.
                if (From + N < int64_t(Size)) Reads.AddAt(Reads.Length() + 1, Text.data(), 0);
            }
            ASSERT_EQ(Pieces.Value(), Whole);
            ASSERT_EQ(Reads.Value(), Whole);
            ASSERT_EQ(Reads.Length(), int64_t(Size));
        }
        // Any one byte changed, two stretches swapped or a byte added changes the sum.
        for (int Round = 0; Size > 0 && Round < 50; ++Round) {
            std::string Edited = Text;
            Edited[Rng() % Size] ^= char(1u << (Rng() % 8));
            EXPECT_NE(SumOf(Edited), Whole);
            if (Size > 16) {
                std::string Swapped = Text.substr(Size / 2) + Text.substr(0, Size / 2);
                if (Swapped != Text) EXPECT_NE(SumOf(Swapped), Whole);
            }
            EXPECT_NE(SumOf(Text + char(Rng())), Whole);
        }
    }
    TContentSum Gap;
    Gap.AddAt(5, "abc", 3);
    EXPECT_EQ(Gap.Length(), 0);
}

class ContentSumPassTest : public TCorpusTest {};

// The corpus pass leaves on each file's stream the sum of the file as it lies on disk (0 bytes and all,
// which the reader hands out as blanks), whatever the file's size against the reader's window; a file read
// whole from disk gives the same sum, and none when it is not the size expected.
TEST_F(ContentSumPassTest, ACorpusPassLeavesTheSumOfTheFileItRead) {
    std::mt19937 Rng(65);
    std::vector<std::string> Paths;
    const std::vector<size_t> Sizes = {0, 1, 31, 8191, 8192, 8193, 20000, 70001, 300000};
    for (size_t I = 0; I < Sizes.size(); ++I) {
        const std::string Name = "f" + std::to_string(I) + ".txt";
        AddFile(0, Name, RandomCorpusText(Rng, Sizes[I]));
        Paths.push_back(Dir.File(Name));
    }
    for (size_t I = 0; I < Sizes.size(); ++I) EXPECT_FALSE(LanguageConfigs[0]->Streams[I]->ContentSum());
    ASSERT_TRUE(ProcessCorpus());
    for (size_t I = 0; I < Sizes.size(); ++I) {
        SCOPED_TRACE(Paths[I]);
        const std::optional<uint64_t> Read = LanguageConfigs[0]->Streams[I]->ContentSum();
        ASSERT_TRUE(Read);
        EXPECT_EQ(*Read, SumOf(ReadWholeFile(Paths[I])));
        int64_t Modified = 0;
        EXPECT_EQ(FileContentSum(Paths[I], int64_t(Sizes[I]), &Modified), Read);
        EXPECT_EQ(Modified, LanguageConfigs[0]->Streams[I]->ModifiedWhenOpened());
        EXPECT_FALSE(FileContentSum(Paths[I], int64_t(Sizes[I]) + 1));
    }
    EXPECT_FALSE(FileContentSum(Dir.File("missing.txt"), -1));
    EXPECT_FALSE(FileContentSum(Dir.Path().string(), -1));
}

// A UTF-8 file converted to its copy: the conversion gives the sum of the UTF-8 file's own bytes (its
// mark included), whatever sequences fall on its block boundaries.
TEST_F(ContentSumPassTest, AConversionSumsTheUtf8FileItRead) {
    std::mt19937 Rng(66);
    static const std::vector<std::string> Pool = {
        "a", " ", "\n", "\xC3\xA9", "\xD0\x96", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};
    for (size_t Size : {0, 2, 4095, 4096, 4097, 65535, 65536, 200000}) {
        SCOPED_TRACE(Size);
        std::string Text = Size % 2 ? "\xEF\xBB\xBF" : "";
        while (Text.size() < Size) Text += Pool[Rng() % Pool.size()];
        const std::string Source = Dir.Write("utf8.txt", Text);
        std::optional<uint64_t> Sum;
        ASSERT_TRUE(ConvertUTF8File(Source, Dir.File("copy.txt"), 1252, nullptr, &Sum));
        EXPECT_EQ(Sum, std::optional<uint64_t>(SumOf(Text)));
    }
}
