#include <gtest/gtest.h>

#include <limits>

#include "controls/ScriptedBackend.h"
#include "engine/ConcTags.h"
#include "tests/engine/StreamTestSupport.h"

namespace {

std::vector<std::string> Names(const TTagsCollection& C) {
    std::vector<std::string> Out;
    for (const auto& Entry : C.Entries()) Out.push_back(Entry.first);
    return Out;
}

std::vector<int32_t> OffsetsOf(const TTagsCollection& C, const std::string& Name) {
    const TIntegerList* L = C.GetValues(Name);
    return L ? L->Values() : std::vector<int32_t>{};
}

}  // namespace

TEST(TagsCollection, FindValueIsTheLastOccurrenceAtOrBefore) {
    TTagsCollection C;
    for (int32_t Offset : {90, 10, 50}) C.AddValue("seg", Offset);
    EXPECT_EQ(C.FindValue("seg", 49), 10);
    EXPECT_EQ(C.FindValue("seg", 50), 50);
    EXPECT_EQ(C.FindValue("seg", 5), -1);
    EXPECT_EQ(C.FindValue("seg", 1000), 90);
    EXPECT_EQ(C.FindValue("page", 1000), -1);
    EXPECT_EQ(OffsetsOf(C, "seg"), (std::vector<int32_t>{10, 50, 90}));
}

TEST(TagsCollection, NamesEqualButForCaseShareTheFirstSpelling) {
    TTagsCollection C;
    C.AddValue("Seg", 40);
    C.AddValue("SEG", 20);
    C.AddValue("seg", 40);
    C.AddValue("/seg", 45);
    C.AddValue("segment", 1);
    EXPECT_EQ(Names(C), (std::vector<std::string>{"/seg", "Seg", "segment"}));
    EXPECT_EQ(OffsetsOf(C, "sEg"), (std::vector<int32_t>{20, 40, 40}));
    EXPECT_EQ(C.FindValue("SEG", 30), 20);
    EXPECT_EQ(C.FindValue("/SEG", 50), 45);
    C.Clear();
    EXPECT_EQ(C.Count(), 0);
    EXPECT_EQ(C.GetValues("seg"), nullptr);
}

TEST(TagsCollection, BlockRoundTripWithEmptySlotsAndEmptyCollections) {
    TTagsCollections Tags;
    auto First = std::make_unique<TTagsCollection>();
    First->AddValue("p", 0);
    First->AddValue("p", 120);
    First->AddValue("/p", 119);
    First->AddValue("", 7);
    Tags.Add(std::move(First));
    Tags.Add(nullptr);
    Tags.Add(std::make_unique<TTagsCollection>());
    TMemoryStream S;
    TTagsCollections Back;
    EXPECT_TRUE(SaveAndReadBack(Tags, S, Back));
    EXPECT_EQ(S.Remaining(), 0);
    ASSERT_EQ(Back.Count(), 3);
    ASSERT_NE(Back.GetItem(0), nullptr);
    EXPECT_EQ(Names(*Back.GetItem(0)), (std::vector<std::string>{"", "/p", "p"}));
    EXPECT_EQ(OffsetsOf(*Back.GetItem(0), "p"), (std::vector<int32_t>{0, 120}));
    EXPECT_EQ(OffsetsOf(*Back.GetItem(0), "/p"), (std::vector<int32_t>{119}));
    EXPECT_EQ(Back.GetItem(1), nullptr);
    ASSERT_NE(Back.GetItem(2), nullptr);
    EXPECT_EQ(Back.GetItem(2)->Count(), 0);
}

TEST(TagsCollection, UnknownVersionIsSkippedAndTheNextBlockReads) {
    TScriptedBackend Script;
    TTagsCollections Tags;
    Tags.Add(std::make_unique<TTagsCollection>());
    Tags.GetItem(0)->AddValue("s", 3);
    TMemoryStream S;
    Tags.SaveToStream(S);
    const int64_t Second = S.GetPosition();
    Tags.SaveToStream(S);
    S.SetPosition(4);
    WriteStreamInteger(S, 0x00010001);
    S.SetPosition(0);
    TTagsCollections Back;
    EXPECT_FALSE(Back.LoadFromStream(S));
    EXPECT_TRUE(Back.Count() == 0);
    EXPECT_EQ(S.GetPosition(), Second);
    EXPECT_TRUE(Back.LoadFromStream(S));
    ASSERT_EQ(Back.Count(), 1);
    EXPECT_EQ(Back.GetItem(0)->FindValue("S", 10), 3);
    EXPECT_EQ(Script.Texts(), std::vector<std::string>{"Unknown index version."});
}

TEST(TagsCollection, HostileElementsStayBounded) {
    // A name written twice keeps its first offsets; an entry count far beyond the bytes reads what is there.
    TMemoryStream S;
    WriteStreamInteger(S, std::numeric_limits<int32_t>::max());
    WriteStreamString(S, "p");
    WriteStreamInteger(S, 1);
    WriteStreamInteger(S, 5);
    WriteStreamString(S, "P");
    WriteStreamInteger(S, 2);
    WriteStreamInteger(S, 8);
    WriteStreamInteger(S, 9);
    S.SetPosition(0);
    TTagsCollection C;
    C.AddValue("old", 1);
    C.LoadFromStream(S);
    EXPECT_EQ(Names(C), std::vector<std::string>{"p"});
    EXPECT_EQ(OffsetsOf(C, "p"), std::vector<int32_t>{5});
    EXPECT_EQ(S.Remaining(), 0);
}

TEST(TagsCollection, LoadedOffsetListsReserveWhatIsRead) {
    TTagsCollections Files;
    for (int32_t I = 0; I < 2000; ++I) {
        auto C = std::make_unique<TTagsCollection>();
        C->AddValue("p", I);
        C->AddValue("s", I + 1);
        Files.Add(std::move(C));
    }
    TMemoryStream S;
    TTagsCollections Back;
    ASSERT_TRUE(SaveAndReadBack(Files, S, Back));
    ASSERT_EQ(Back.Count(), 2000);
    int64_t ReservedOffsets = 0;
    for (int32_t I = 0; I < Back.Count(); ++I)
        for (const auto& Entry : Back.GetItem(I)->Entries()) ReservedOffsets += Entry.second.Capacity();
    EXPECT_LE(ReservedOffsets, 2 * (2 * 2000));
    EXPECT_EQ(Back.GetItem(9)->FindValue("S", 100), 10);
}

TEST(Tag, NameAttributesAndText) {
    TTag T('<', "<seg id=5>and then running text", '>');
    EXPECT_EQ(T.Name, "seg");
    EXPECT_EQ(T.GetAttribute("id"), "5");
    EXPECT_EQ(T.Attributes().size(), 1u);
    EXPECT_EQ(T.Text, "id=5>and then running text");

    T.Parse("<seg id=5>");
    EXPECT_EQ(T.Text, "id=5");
    T.Parse("seg");  // no open character, no close character
    EXPECT_EQ(T.Name, "seg");
    EXPECT_TRUE(T.Attributes().empty());
    EXPECT_EQ(T.Text, "");
    T.Parse("");
    EXPECT_EQ(T.Name, "");
}

TEST(Tag, QuotedValues) {
    TTag T('<', "<p title=\"say \"\"hi\"\" now\" alt='it''s' n = \"7\">", '>');
    EXPECT_EQ(T.GetAttribute("title"), "say \"hi\" now");
    EXPECT_EQ(T.GetAttribute("alt"), "it's");
    EXPECT_EQ(T.GetAttribute("n"), "7");

    T.Parse("<p title=\"abc>def\" x=1>");  // the close character ends the quoted value and the tag
    EXPECT_EQ(T.GetAttribute("title"), "abc");
    EXPECT_EQ(T.GetAttribute("x"), "");
    EXPECT_EQ(T.Attributes().size(), 1u);

    T.Parse("<p title=\"runs to the end");
    EXPECT_EQ(T.GetAttribute("title"), "runs to the end");
}

TEST(Tag, BareAttributesStrayEqualsAndCase) {
    TTag T('<', "<p = hidden ID=x\r\nLang=en>", '>');
    EXPECT_EQ(T.GetAttribute("hidden"), "");
    EXPECT_EQ(T.GetAttribute("id"), "x");
    EXPECT_EQ(T.GetAttribute("LANG"), "en");
    EXPECT_EQ(T.GetAttribute("absent"), "");
    ASSERT_EQ(T.Attributes().size(), 3u);
    EXPECT_EQ(T.Attributes()[0].first, "hidden");  // sorted by name
    EXPECT_EQ(T.Attributes()[1].first, "ID");

    T.Parse("<p a=1 A=2>");  // a repeated name: the first one in the text
    EXPECT_EQ(T.GetAttribute("a"), "1");
    T.ClearAttributes();
    EXPECT_EQ(T.GetAttribute("a"), "");
}

TEST(Tag, NamesStopAtBlanksAndBreaksButNotTabsAndCloseIsLiteral) {
    TTag T('<', "<p\tx=1>", '>');
    EXPECT_EQ(T.Name, "p\tx=1");
    EXPECT_TRUE(T.Attributes().empty());

    TTag Hash('<', "<seg id=5# more", '#');
    EXPECT_EQ(Hash.Name, "seg");
    EXPECT_EQ(Hash.GetAttribute("id"), "5");
    EXPECT_EQ(Hash.Attributes().size(), 1u);

    TTag Zero('<', std::string("<a b=1\0c=2>", 11), '>');  // the text ends at a zero byte
    EXPECT_EQ(Zero.GetAttribute("b"), "1");
    EXPECT_EQ(Zero.GetAttribute("c"), "");
}

// FindValue and AddValue search a name's offsets by halves: offsets read back out of order would give
// wrong tag values at hits, so such a collection is indexed again (its slot is empty) while its
// neighbours are kept.
TEST(TagsCollection, ACollectionReadBackOutOfOrderLeavesItsSlotEmpty) {
    TTagsCollections Files;
    for (const std::vector<int32_t>& Offsets : std::vector<std::vector<int32_t>>{{10, 50, 50}, {50, 10}}) {
        TMemoryStream Element;
        WriteStreamInteger(Element, 2);
        WriteStreamString(Element, "a");
        WriteStreamInteger(Element, 1);
        WriteStreamInteger(Element, 3);
        WriteStreamString(Element, "p");
        WriteStreamInteger(Element, int32_t(Offsets.size()));
        for (const int32_t Offset : Offsets) WriteStreamInteger(Element, Offset);
        Element.SetPosition(0);
        auto C = std::make_unique<TTagsCollection>();
        C->LoadFromStream(Element);
        Files.Add(std::move(C));
    }
    TMemoryStream S;
    TTagsCollections Back;
    ASSERT_TRUE(SaveAndReadBack(Files, S, Back));
    ASSERT_EQ(Back.Count(), 2);
    ASSERT_NE(Back.GetItem(0), nullptr);
    EXPECT_EQ(Back.GetItem(0)->FindValue("p", 49), 10);
    EXPECT_EQ(Back.GetItem(0)->FindValue("P", 50), 50);
    EXPECT_EQ(Back.GetItem(1), nullptr);
}
