#include "engine/ConcLangs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/Nls.h"

namespace {

class InstalledLanguagesTest : public testing::Test {
protected:
    void TearDown() override { FreeInstalledLanguages(); }

    static const TNamedItem<uint32_t>* Find(const std::string& Name) {
        for (const auto& Item : InstalledLanguages)
            if (Item.Name == Name) return &Item;
        return nullptr;
    }
};

}  // namespace

TEST(LanguageNames, TableHas104IdentifiersEachWithItsOwnName) {
    const auto Ids = NamedLanguageIds();
    EXPECT_EQ(Ids.size(), 104u);
    std::set<std::string> Names;
    for (uint32_t Id : Ids) {
        const std::string Name = LanguageNameOfLCID(Id);
        EXPECT_FALSE(Name.empty()) << std::hex << Id;
        Names.insert(Name);
    }
    // One name per identifier, so that each can be chosen from a list of names: the two Serbian locales
    // write in different scripts and code pages.
    EXPECT_EQ(Names.size(), 104u);
    EXPECT_EQ(LanguageNameOfLCID(0x081A), "Serbian (Latin)");
    EXPECT_EQ(LanguageNameOfLCID(0x0C1A), "Serbian (Cyrillic)");
    EXPECT_EQ(platform::AnsiCodePage(0x081A), 1250);
    EXPECT_EQ(platform::AnsiCodePage(0x0C1A), 1251);
    // Every named language has a code page, and the other way round.
    EXPECT_EQ(Ids, platform::KnownLocaleIds());
}

TEST(LanguageNames, LookupUsesTheLow16BitsAndKnowsExactSpellings) {
    EXPECT_EQ(LanguageNameOfLCID(0x0409), "English (United States)");
    EXPECT_EQ(LanguageNameOfLCID(0x00010409), "English (United States)");
    EXPECT_EQ(LanguageNameOfLCID(0x0000), "");
    EXPECT_EQ(LanguageNameOfLCID(0x0417), "");
    EXPECT_EQ(LanguageNameOfLCID(0xFFFFFFFF), "");
    EXPECT_EQ(LanguageNameOfLCID(0x0438), "Faeroese");
    EXPECT_EQ(LanguageNameOfLCID(0x0414), "Norwegian (Bokmal)");
    EXPECT_EQ(LanguageNameOfLCID(0x3801), "Arabic (U.A.E.)");
    EXPECT_EQ(LanguageNameOfLCID(0x040A), "Spanish (Traditional Sort)");
    EXPECT_EQ(LanguageNameOfLCID(0x0812), "Korean (JoHab)");
    EXPECT_EQ(LanguageNameOfLCID(0x0401), "Arabic (Saudi Arabia)");
    EXPECT_EQ(LanguageNameOfLCID(0x500A), "Spanish (Puerto Rico)");
}

TEST(LanguageNames, NoCaseLocalesCompareTheFullValue) {
    for (uint32_t Id : {0x0404u, 0x0804u, 0x0C04u, 0x1004u, 0x0411u, 0x0412u, 0x0812u, 0x041Eu})
        EXPECT_TRUE(IsNoCaseLocale(Id)) << std::hex << Id;
    EXPECT_FALSE(IsNoCaseLocale(0x0409));
    EXPECT_FALSE(IsNoCaseLocale(0x0419));
    EXPECT_FALSE(IsNoCaseLocale(0x0000));
    EXPECT_FALSE(IsNoCaseLocale(0x00010411));
}

TEST_F(InstalledLanguagesTest, BothSerbianLocalesCanBeChosenAndNamesStayUnique) {
    LoadInstalledLanguagesFrom({0x0409, 0x0C1A, 0x081A, 0x0419, 0x0409});
    ASSERT_EQ(InstalledLanguages.size(), 4u);
    EXPECT_EQ(InstalledLanguages[1].Name, "Serbian (Cyrillic)");
    EXPECT_EQ(InstalledLanguages[1].Object, 0x0C1Au);
    EXPECT_EQ(InstalledLanguages[2].Name, "Serbian (Latin)");
    EXPECT_EQ(InstalledLanguages[2].Object, 0x081Au);
}

TEST_F(InstalledLanguagesTest, UnnamedIdentifiersAreSkippedAndHighBitsDropped) {
    LoadInstalledLanguagesFrom({0x0417, 0x00010411, 0x0000, 0x0409, 0x0409});
    ASSERT_EQ(InstalledLanguages.size(), 2u);
    EXPECT_EQ(InstalledLanguages[0].Name, "Japanese");
    EXPECT_EQ(InstalledLanguages[0].Object, 0x0411u);
    EXPECT_EQ(InstalledLanguages[1].Name, "English (United States)");
}

TEST_F(InstalledLanguagesTest, MachineListKeepsEnumerationOrderAndLeavesJohabOut) {
    LoadInstalledLanguages();
    // 103 usable identifiers: all but Johab, whose code page has no converter.
    EXPECT_EQ(InstalledLanguages.size(), 103u);
    EXPECT_EQ(Find("Korean (JoHab)"), nullptr);
    ASSERT_NE(Find("Serbian (Latin)"), nullptr);
    EXPECT_EQ(Find("Serbian (Latin)")->Object, 0x081Au);
    ASSERT_NE(Find("Serbian (Cyrillic)"), nullptr);
    EXPECT_EQ(Find("Serbian (Cyrillic)")->Object, 0x0C1Au);
    ASSERT_NE(Find("English (United States)"), nullptr);
    EXPECT_TRUE(std::is_sorted(InstalledLanguages.begin(), InstalledLanguages.end(),
                               [](const auto& A, const auto& B) { return A.Object < B.Object; }));
    FreeInstalledLanguages();
    EXPECT_TRUE(InstalledLanguages.empty());
}
