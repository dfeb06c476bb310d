// Concordance items: their texts, line and aligned-range lookups, and the display lines and runs of
// every context type over small corpora.
#include "engine/ConcSearchItems.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/ConcUtils.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {

// ---- Texts -------------------------------------------------------------------------------------------

TEST(ItemTextsTest, BehavesLikeNineOptionalStrings) {
    std::mt19937 Random(7);
    TItemTexts Texts;
    std::array<std::optional<std::string>, ItemSlotCount> Model;
    for (int Step = 0; Step < 3000; ++Step) {
        const int Slot = static_cast<int>(Random() % ItemSlotCount);
        switch (Random() % 6) {
            case 0:
                Texts.Reset(Slot);
                Model[Slot].reset();
                break;
            case 1:
                if (Random() % 20 == 0) {
                    Texts.Clear();
                    Model.fill(std::nullopt);
                }
                break;
            default: {
                // Now and then a long word, so that the texts pass 255 bytes together and come back.
                const size_t Length = Random() % 8 == 0 ? Random() % 300 : Random() % 12;
                std::string Word;
                for (size_t K = 0; K < Length; ++K) Word += static_cast<char>('a' + Random() % 26);
                Texts.Set(Slot, Word);
                Model[Slot] = Word;
            }
        }
        if (Step % 97 == 0) Texts = TItemTexts(Texts);
        for (int I = 0; I < ItemSlotCount; ++I) {
            ASSERT_EQ(Texts.Has(I), Model[I].has_value()) << Step;
            ASSERT_EQ(std::string(Texts[I]), Model[I].value_or("")) << Step;
        }
    }
    // The empty text is present, unlike a missing one.
    Texts.Clear();
    Texts.Set(3, "");
    EXPECT_TRUE(Texts.Has(3));
    EXPECT_FALSE(Texts.Has(2));
    EXPECT_THROW(Texts.Set(0, std::string(70000, 'x')), std::length_error);
}

TEST(ItemTextsTest, AnItemStaysSmall) {
    // A million hits must fit well under a gigabyte with their texts and list slots.
    EXPECT_LE(sizeof(TConcordItem), 120u);
    TConcordItem Item(0);
    EXPECT_EQ(Item.FileIndex, -1);
    EXPECT_EQ(Item.Letter, NoLetter);
    EXPECT_EQ(Item.FindLine(), -1);
    EXPECT_EQ(Item.AlignedStart, -1);
    EXPECT_EQ(Item.AlignedEnd, -1);
    EXPECT_FALSE(Item.IsFilled());
}

// ---- Lines -------------------------------------------------------------------------------------------

class ItemLineTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        BigContextSize = 10;
        LanguageConfigs[0]->Fonts[HiliteFont].Color = 0x0000FF;
    }

    int File(const std::string& Bytes, int L = 0) {
        Text = Bytes;
        return AddFile(L, "f" + std::to_string(Count++) + ".txt", Bytes);
    }

    // An item over the first occurrence of Hit (after From) in the text of the last file.
    TConcordItem Item(const std::string& Hit, size_t From = 0, int FileIndex = 0) {
        TConcordItem It(0);
        It.FileIndex = FileIndex;
        const size_t At = Text.find(Hit, From);
        EXPECT_NE(At, std::string::npos) << Hit;
        It.HitStart = static_cast<int32_t>(At);
        It.HitEnd = static_cast<int32_t>(At + Hit.size());
        It.Texts.Set(0, Hit);
        return It;
    }

    // Sets slot P of the item to the word at its first occurrence after From.
    void Word(TConcordItem& It, int P, const std::string& W, size_t From = 0) {
        const size_t At = Text.find(W, From);
        ASSERT_NE(At, std::string::npos) << W;
        It.Texts.Set(P, W);
        It.WordStarts[P] = static_cast<int32_t>(At);
        It.WordEnds[P] = static_cast<int32_t>(At + W.size());
    }

    std::string Line(const TConcordItem& It, uint8_t Type, int32_t Size, const TLineShading& Shading = {},
                     TCharTypes Visible = VisibleCharTypes(false, false, false)) {
        Runs.clear();
        TLineShading S = Shading;
        if (S.HitColour == 0) S.HitColour = 0x0000FF;
        return BuildItemLine(It, Type, Size, S, Visible, Runs);
    }

    // Start, length, anchor and hit flag of each run, and its colour.
    std::vector<std::vector<int32_t>> RunList() const {
        std::vector<std::vector<int32_t>> List;
        for (const TSVFormatInfo& R : Runs)
            List.push_back({R.Start, R.Length, R.Anchor, R.IsHit, R.Font.Colour});
        return List;
    }

    void Align(int L, std::vector<TSegment> Units) {
        if (!Align12) Align12 = std::make_unique<TDoubleAlignIndexes>();
        while (Align12->Count() <= 0) Align12->Add(std::make_unique<TDoubleAlignIndex>());
        TAlignIndex& Side = L == 0 ? Align12->GetItem(0)->Side1 : Align12->GetItem(0)->Side2;
        for (const TSegment& U : Units) Side.Add(U.Start, U.End, U.Length);
    }

    std::string Text;
    int Count = 0;
    TSVFormatArray Runs;
};

constexpr int32_t Red = 0x0000FF;

TEST_F(ItemLineTest, CharactersAndWordsContextsAreKwicLines) {
    File("One two three four five six seven.\r\nEight nine");
    TConcordItem It = Item("five");
    EXPECT_EQ(Line(It, ctxCharacters, 10), "... hree four five six seven ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{15, 4, 1, 1, Red}}));
    EXPECT_EQ(Runs[0].Font.Name, LanguageConfigs[0]->Fonts[HiliteFont].Name);

    EXPECT_EQ(Line(It, ctxWords, 2), "... three four five six seven. ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{16, 4, 1, 1, Red}}));

    // Size 0 shows the hit alone, its run at 1.
    for (uint8_t Type : {ctxCharacters, ctxWords, ctxLines}) {
        EXPECT_EQ(Line(It, Type, 0), "five");
        EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{1, 4, Type < ctxLines, 1, Red}}));
    }

    // The right side crosses the CR LF as one blank; a Words context at the file's start begins at 0
    // and still shows its dots.
    TConcordItem First = Item("One");
    EXPECT_EQ(Line(First, ctxWords, 3), "... One two three four  ...");
    EXPECT_EQ(Runs[0].Start, 5);
    TConcordItem Last = Item("nine");
    EXPECT_EQ(Line(Last, ctxWords, 2), "... seven. Eight nine ...");
    EXPECT_EQ(Line(Last, ctxCharacters, 40), "... e two three four five six seven. Eight nine ...");
    TConcordItem Seven = Item("seven");
    EXPECT_EQ(Line(Seven, ctxCharacters, 5), "...  six seven. Ei ...");
}

TEST_F(ItemLineTest, LinesContextFoldsLineBreaks) {
    File("Zero\r\nOne two\r\n\r\nThree four\tfive\nsix\rseven\n\nend");
    // Stopping on the CR of a CR LF starts at its LF, which is dropped.
    TConcordItem Four = Item("four");
    EXPECT_EQ(Line(Four, ctxLines, 1), "Three four five ");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{7, 4, 0, 1, Red}}));
    EXPECT_EQ(Line(Four, ctxLines, 2), " Three four five six ");
    EXPECT_EQ(Line(Four, ctxLines, 3), "One two Three four five six seven ");
    // Any mix of CR and LF inside a Characters context is one blank, a tab a blank.
    EXPECT_EQ(Line(Four, ctxCharacters, 12), "... wo Three four five six se ...");
    // A lone LF right after the hit is a line break of its own, not the tail of a CR LF.
    TConcordItem Five = Item("five");
    EXPECT_EQ(Line(Five, ctxWords, 1), "... four five six  ...");
    TConcordItem End = Item("end");
    EXPECT_EQ(Line(End, ctxLines, 10), "Zero One two Three four five six seven end");
    EXPECT_EQ(Runs[0].Start, 40);
}

TEST_F(ItemLineTest, TagsAndPageSeparatorsInTheContext) {
    CommonConfig->PageSeparator = "<pb>";
    File("<s id=1>Alpha <pb> beta <w>gamma</w> delta.</s>");
    TConcordItem Gamma = Item("gamma");
    EXPECT_EQ(Line(Gamma, ctxWords, 1), "... beta <w>gamma</w> delta. ...");
    // A tag is not a word, and a word is passed only where a word character meets another class.
    EXPECT_EQ(Line(Gamma, ctxWords, 2), "... Alpha <pb> beta <w>gamma</w> delta.</s> ...");
    EXPECT_EQ(Line(Gamma, ctxWords, 1, {}, VisibleCharTypes(true, false, false)),
              "... beta gamma delta. ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{10, 5, 1, 1, Red}}));
    // With the words suppressed only the tags and blanks are left.
    EXPECT_EQ(Line(Gamma, ctxCharacters, 40, {}, VisibleCharTypes(false, false, true)),
              "... <s id=1> <pb>  <w></w> </s> ...");
}

TEST_F(ItemLineTest, LongHitsAndSegmentSidesAreClipped) {
    std::string Long;
    for (int I = 0; Long.size() < 3000; ++I) Long += "w" + std::to_string(I) + " ";
    File(Long);
    Align(0, {{0, static_cast<int32_t>(Long.size()), 1}});
    const size_t At = Long.find("w300 ");
    const std::string HitText = Long.substr(At, 80);
    TConcordItem It = Item(HitText);
    It.FindAlignedRange();
    ASSERT_EQ(It.AlignedStart, 0);
    const std::string Hit = HitText.substr(0, 27) + " ... " + HitText.substr(80 - 28);
    EXPECT_EQ(Line(It, ctxWords, 0), Hit);
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{1, 60, 1, 1, Red}}));

    const std::string Left = Long.substr(0, At);
    const std::string Right = Long.substr(At + 80);
    const std::string Expected = Left.substr(0, 317) + " ... " + Left.substr(Left.size() - 318) + Hit +
                                 Right.substr(0, 317) + " ... " + Right.substr(Right.size() - 318);
    EXPECT_EQ(Line(It, ctxSegment, 1), Expected);
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{641, 60, 0, 1, Red}}));

    // A row without a hit shows its passage clipped 634 / 636, with no runs.
    TSVFormatArray Scratch{TSVFormatInfo{}};
    TLineBuildArgs Args;
    Args.Reader = &FileReader(0, 0);
    Args.Runs = &Scratch;
    Args.AlignedStart = 0;
    Args.AlignedEnd = static_cast<int32_t>(Long.size());
    Args.VisibleTypes = VisibleCharTypes(false, false, false);
    EXPECT_EQ(BuildConcordLine(Args), Long.substr(0, 634) + " ... " + Long.substr(Long.size() - 636));
    EXPECT_TRUE(Scratch.empty());
}

TEST_F(ItemLineTest, SentenceAndSegmentContexts) {
    File("First one. The cat sat on the mat. Last one.");
    TAlignIndex Sentences;
    Sentences.Add(0, 10, 10);
    Sentences.Add(11, 34, 23);
    Sentences.Add(35, 44, 9);
    LanguageConfigs[0]->SentenceIndexes.SetItem(0, std::make_unique<TAlignIndex>(Sentences));
    TConcordItem Sat = Item("sat");
    // The sentence holding the hit start, whatever the size.
    EXPECT_EQ(Line(Sat, ctxSentence, 7), "The cat sat on the mat.");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{9, 3, 0, 1, Red}}));

    // Not aligned: the segment context is empty.
    EXPECT_EQ(Line(Sat, ctxSegment, 1), "sat");
    Align(0, {{0, 10, 10}, {11, 44, 30}});
    Sat.FindAlignedRange();
    EXPECT_EQ(Line(Sat, ctxSegment, 1), "The cat sat on the mat. Last one.");
    EXPECT_EQ(Runs[0].Start, 9);
}

TEST_F(ItemLineTest, OneByteHitsFindTheirOwnUnit) {
    File("A cat. I sat.\r\nI ran.");
    Align(0, {{0, 6, 6}, {7, 13, 6}, {15, 21, 6}});
    TConcordItem A = Item("A");
    A.FindAlignedRange();
    EXPECT_EQ(std::vector<int32_t>({A.AlignedStart, A.AlignedEnd, A.AlignedLength}),
              std::vector<int32_t>({0, 6, 6}));
    EXPECT_EQ(Line(A, ctxSegment, 1), "A cat.");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{1, 1, 0, 1, Red}}));
    TConcordItem I = Item("I", 10);
    I.FindAlignedRange();
    EXPECT_EQ(std::vector<int32_t>({I.AlignedStart, I.AlignedEnd}), std::vector<int32_t>({15, 21}));
    EXPECT_EQ(Line(I, ctxSegment, 1), "I ran.");
    // A hit over two units covers both.
    TConcordItem Across = Item("sat.\r\nI");
    Across.FindAlignedRange();
    EXPECT_EQ(std::vector<int32_t>({Across.AlignedStart, Across.AlignedEnd, Across.AlignedLength}),
              std::vector<int32_t>({7, 21, 12}));

    // Without an alignment the range stays unset.
    File("I");
    TConcordItem Alone = Item("I", 0, 1);
    Alone.FindAlignedRange();
    EXPECT_EQ(Alone.AlignedStart, -1);
}

// Markup units end on their last byte (a line's line feed, the delimiter's first byte): the passage
// leaves that out, but the last unit of a file without a closing line break ends on text, which it shows.
TEST_F(ItemLineTest, MarkupPassagesKeepTheFilesLastCharacter) {
    File("One line\nlast line");
    Align(0, {{0, 8, 0}, {9, 17, 0}});
    TConcordItem One = Item("One");
    One.FindAlignedRange();
    EXPECT_EQ(Line(One, ctxSegment, 1), "One line");
    TConcordItem Last = Item("last");
    Last.FindAlignedRange();
    EXPECT_EQ(Line(Last, ctxSegment, 1), "last line");
    TConcordItem E = Item("e", 17);
    E.FindAlignedRange();
    EXPECT_EQ(Line(E, ctxSegment, 1), "last line");
}

TEST_F(ItemLineTest, MarkupPassagesLeaveOutTheFilesClosingLineBreak) {
    File("One line\nlast\n");
    Align(0, {{0, 8, 0}, {9, 13, 0}});
    TConcordItem Closed = Item("last");
    Closed.FindAlignedRange();
    EXPECT_EQ(Line(Closed, ctxSegment, 1), "last");
}

TEST_F(ItemLineTest, CollocatesAndSubHitsAreShaded) {
    File("a big dog ran x far away now");
    TConcordItem It = Item("dog");
    Word(It, 3, "a");
    Word(It, 4, "big");
    Word(It, 5, "ran");
    Word(It, 6, "x");
    Word(It, 7, "far");
    It.CollocRanks = {0, 0, 0, 0, 1, 0, 3, Unranked, 0};
    TLineShading Shading;
    Shading.CollocColour = 0x00FFFF;  // yellow
    Shading.TopCount = 4;
    Shading.PosLo = 3;
    Shading.PosHi = 6;
    // Rank r: each channel c - round(r * (c - c div 10) / 4), c = 255: steps of 57.5.
    const int32_t Rank0 = 0x00FFFF, Rank1 = 0x00C5C5, Rank3 = 0x005353;
    EXPECT_EQ(Line(It, ctxWords, 4, Shading), "... a big dog ran x far away  ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{5, 1, 0, 0, Rank0},
                                                            {7, 3, 0, 0, Rank1},
                                                            {11, 3, 1, 1, Red},
                                                            {15, 3, 0, 0, Rank0},
                                                            {19, 1, 0, 0, Rank3}}));
    EXPECT_EQ(Runs[0].Font.Name, LanguageConfigs[0]->Fonts[CollocatesFont].Name);

    // A word right at the start of the right side, and no shading at all with a top count of 0.
    TConcordItem Tight = Item("ran");
    Word(Tight, 5, " x");
    Tight.WordStarts[5] += 1;
    EXPECT_EQ(Line(Tight, ctxCharacters, 2, Shading), "... g ran x ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{7, 3, 1, 1, Red}, {11, 1, 0, 0, Rank0}}));
    TConcordItem Joined = Item("ra");
    Joined.WordStarts[5] = 12;
    Joined.WordEnds[5] = 13;
    Joined.Texts.Set(5, "n");
    EXPECT_EQ(Line(Joined, ctxCharacters, 1, Shading), "...  ran ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{6, 2, 1, 1, Red}, {8, 1, 0, 0, Rank0}}));
    Shading.TopCount = 0;
    EXPECT_EQ(Line(It, ctxWords, 4, Shading), "... a big dog ran x far away  ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{{11, 3, 1, 1, Red}}));

    // Sub-hits on the right side only; a collocate run takes precedence over an overlapping sub-hit.
    It.EditSubItems() = {{10, 13, false}, {20, 24, true}, {1, 2, false}};
    Shading.TopCount = 4;
    Shading.PosLo = Shading.PosHi = 5;
    EXPECT_EQ(Line(It, ctxWords, 4, Shading), "... a big dog ran x far away  ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{
                             {11, 3, 1, 1, Red}, {15, 3, 0, 0, Rank0}, {25, 4, 0, 0, SubHitColour}}));
    EXPECT_EQ(Runs[2].Font.Name, LanguageConfigs[0]->Fonts[HotWordsFont].Name);
    Shading = {};
    EXPECT_EQ(Line(It, ctxWords, 4, Shading), "... a big dog ran x far away  ...");
    EXPECT_EQ(RunList(), (std::vector<std::vector<int32_t>>{
                             {11, 3, 1, 1, Red}, {15, 3, 0, 0, SubHitColour}, {25, 4, 0, 0, SubHitColour}}));

    std::string Shown = Line(It, ctxWords, 4, Shading);
    ConcealRuns(Shown, Runs, true, true);
    EXPECT_EQ(Shown, "... a big --- ran x far away  ...");
}

TEST_F(ItemLineTest, DoubleByteCharactersAreNeverCut) {
    LanguageConfigs[0]->SetLanguage(0x0411, "Japanese");
    // 0x88 0x9F: both bytes are lead-byte values, so only the pairing from a known start tells them
    // apart; 0x82 0xA0 has a trail byte outside the lead range.
    const std::string Ai = "\x88\x9F", A = "\x82\xA0";
    std::string Bytes;
    for (int I = 0; I < 30; ++I) Bytes += (I % 3 == 0) ? A : Ai;
    const std::string Hit = "hit";
    File(Bytes + " " + Hit + " " + Bytes);
    TConcordItem It = Item(Hit);
    for (int32_t Size = 0; Size < 12; ++Size) {
        const std::string Shown = Line(It, ctxCharacters, Size);
        const size_t At = Shown.find(" hit ");
        if (Size < 2) continue;
        ASSERT_NE(At, std::string::npos) << Size;
        const std::string Left = Shown.substr(4, At - 4);
        const std::string Right = Shown.substr(At + 5, Shown.size() - 4 - At - 5);
        EXPECT_EQ(Left.size() % 2, 0u) << Size;
        EXPECT_EQ(Right.size() % 2, 0u) << Size;
        EXPECT_EQ(Left, Bytes.substr(Bytes.size() - Left.size())) << Size;
        EXPECT_EQ(Right, Bytes.substr(0, Right.size())) << Size;
        EXPECT_EQ(static_cast<int32_t>(Left.size()), (Size - 1) / 2 * 2) << Size;
    }
    // A clipped passage cuts at character starts too.
    std::string Passage;
    for (int I = 0; I < 800; ++I) Passage += (I % 5 == 0) ? A : Ai;
    File(Passage);
    TSVFormatArray Scratch;
    TLineBuildArgs Args;
    Args.Reader = &FileReader(0, 1);
    Args.Runs = &Scratch;
    Args.AlignedStart = 1;  // the middle of the first character: the reading starts there as asked
    Args.AlignedEnd = static_cast<int32_t>(Passage.size());
    Args.VisibleTypes = VisibleCharTypes(false, false, false);
    const std::string Shown = BuildConcordLine(Args);
    const size_t Dots = Shown.find(" ... ");
    ASSERT_NE(Dots, std::string::npos);
    EXPECT_EQ(Shown.substr(Dots + 5), Passage.substr(Passage.size() - 636));
    EXPECT_EQ(Shown.substr(0, Dots), Passage.substr(1, 633));
}

TEST_F(ItemLineTest, LargerContextKeepsLineBreaksAndSettlesTags) {
    std::string Before(6000, 'a');
    Before[5000] = '<';  // a tag opened before the kept text, closed inside it
    Before[5600] = '>';
    File(Before + "\r\nkey\tword\n" + std::string(6000, 'b'));
    TConcordItem It = Item("key");
    TSVFormatArray WindowRuns;
    BigContextSize = 1;
    const TCharTypes Visible = VisibleCharTypes(true, false, false);
    TBufStream& Reader = FileReader(0, 0);
    ConfigureBufStream(Reader);
    const std::string Window = ReadContextWindow(0, Reader, It.HitStart, Visible, It.HitEnd, WindowRuns);
    // Kept: [HitStart - 512, HitEnd + 512), without the tag that was opened before it.
    EXPECT_EQ(Window, std::string(399, 'a') + "\r\nkey\tword\n" + std::string(506, 'b'));
    ASSERT_EQ(WindowRuns.size(), 1u);
    EXPECT_EQ(WindowRuns[0].Start, static_cast<int32_t>(Window.find("key")) + 1);
    EXPECT_EQ(WindowRuns[0].Length, 3);
    EXPECT_EQ(WindowRuns[0].IsHit, 1);
}

TEST_F(ItemLineTest, LineLookupAndStatusText) {
    LanguageConfigs[0]->LanguageName = "English";
    const int F = File("one\ntwo\nthree four");
    auto Lines = std::make_unique<TIntegerList>();
    for (int32_t Start : {0, 4, 8}) Lines->Add(Start);
    LanguageConfigs[0]->LineStarts.SetItem(F, std::move(Lines));
    TConcordItem It = Item("four");
    EXPECT_EQ(It.FindLine(), 2);
    TConcordItem Empty(0);
    Empty.FileIndex = F;
    EXPECT_EQ(Empty.FindLine(), -1);

    TRecordingMessenger Messages;
    PostItemStatusText(0, nullptr);
    PostItemStatusText(0, &Empty);
    PostItemStatusText(0, &It);
    Empty.FileIndex = -1;
    PostItemStatusText(0, &Empty);
    std::vector<std::string> Posted;
    for (const auto& E : Messages.Entries) Posted.push_back(E.Text);
    EXPECT_EQ(Posted, (std::vector<std::string>{"English", "English - f0.txt", "English - f0.txt, line: 3",
                                                "English"}));
}

}  // namespace
