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

TEST(LanguageNames, TableHas104IdentifiersAnd103Names) {
    const auto Ids = NamedLanguageIds();
    EXPECT_EQ(Ids.size(), 104u);
    std::set<std::string> Names;
    for (uint32_t Id : Ids) {
        const std::string Name = LanguageNameOfLCID(Id);
        EXPECT_FALSE(Name.empty()) << std::hex << Id;
        Names.insert(Name);
    }
    EXPECT_EQ(Names.size(), 103u);
    EXPECT_EQ(LanguageNameOfLCID(0x081A), "Serbian");
    EXPECT_EQ(LanguageNameOfLCID(0x0C1A), "Serbian");
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

TEST_F(InstalledLanguagesTest, SerbianAppearsOnceWithTheFirstEnumeratedIdentifier) {
    LoadInstalledLanguagesFrom({0x0409, 0x0C1A, 0x081A, 0x0419});
    ASSERT_EQ(InstalledLanguages.size(), 3u);
    EXPECT_EQ(InstalledLanguages[1].Name, "Serbian");
    EXPECT_EQ(InstalledLanguages[1].Object, 0x0C1Au);

    LoadInstalledLanguagesFrom({0x081A, 0x0C1A});
    ASSERT_EQ(InstalledLanguages.size(), 1u);
    EXPECT_EQ(InstalledLanguages[0].Object, 0x081Au);
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
    // 103 usable identifiers, the two Serbian ones sharing one entry.
    EXPECT_EQ(InstalledLanguages.size(), 102u);
    EXPECT_EQ(Find("Korean (JoHab)"), nullptr);
    ASSERT_NE(Find("Serbian"), nullptr);
    EXPECT_EQ(Find("Serbian")->Object, 0x081Au);
    ASSERT_NE(Find("English (United States)"), nullptr);
    EXPECT_TRUE(std::is_sorted(InstalledLanguages.begin(), InstalledLanguages.end(),
                               [](const auto& A, const auto& B) { return A.Object < B.Object; }));
    FreeInstalledLanguages();
    EXPECT_TRUE(InstalledLanguages.empty());
}
