#include "platform/Paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/time.h>

#include <ctime>
#include <filesystem>
#include <optional>

#include "platform/Owned.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

// Sets environment variables for one test and puts the old values back.
class TEnvGuard {
public:
    ~TEnvGuard() {
        for (auto& [Name, Old] : FSaved) {
            if (Old)
                setenv(Name.c_str(), Old->c_str(), 1);
            else
                unsetenv(Name.c_str());
        }
        tzset();
    }
    void Set(const std::string& Name, const char* Value) {
        const char* Old = getenv(Name.c_str());
        FSaved.emplace_back(Name, Old ? std::optional<std::string>(Old) : std::nullopt);
        if (Value)
            setenv(Name.c_str(), Value, 1);
        else
            unsetenv(Name.c_str());
        tzset();
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

}  // namespace

TEST(Paths, ConfigFolderFollowsTheEnvironmentAndIsCreated) {
    TTempDir Root;
    TEnvGuard Env;
    const std::string Own = Root.File("own/deeper");
    Env.Set("TESSIVOR_CONFIG_DIR", Own.c_str());
    EXPECT_EQ(WindowsFolder(), Own + "/");
    EXPECT_TRUE(fs::is_directory(Own));

    Env.Set("TESSIVOR_CONFIG_DIR", "");
    Env.Set("XDG_CONFIG_HOME", Root.File("xdg").c_str());
    EXPECT_EQ(WindowsFolder(), Root.File("xdg") + "/tessivor/");
    EXPECT_TRUE(fs::is_directory(Root.File("xdg/tessivor")));

    Env.Set("XDG_CONFIG_HOME", nullptr);
    Env.Set("HOME", Root.File("home").c_str());
    EXPECT_EQ(WindowsFolder(), Root.File("home") + "/.config/tessivor/");
    EXPECT_TRUE(fs::is_directory(Root.File("home/.config/tessivor")));

    Env.Set("HOME", nullptr);
    EXPECT_EQ(WindowsFolder(), "");
}

TEST(Paths, FoldersEndInASlash) {
    TTempDir Root;
    TEnvGuard Env;
    Env.Set("TMPDIR", Root.Path().c_str());
    EXPECT_EQ(TempDir(), Root.Path().string() + "/");

    const std::string Program = ProgramFolder();
    ASSERT_FALSE(Program.empty());
    EXPECT_EQ(Program.front(), '/');
    EXPECT_EQ(Program.back(), '/');
    EXPECT_TRUE(fs::is_directory(Program));

    EXPECT_EQ(WithTrailingSlash(""), "");
    EXPECT_EQ(WithTrailingSlash("/a"), "/a/");
    EXPECT_EQ(WithTrailingSlash("/a/"), "/a/");
}

TEST(FileTimes, PackedInLocalTime) {
    TEnvGuard Env;
    Env.Set("TZ", "UTC");
    // 2024-03-15 13:45:31 UTC: seconds are kept in steps of two.
    const int64_t When = 1710510331;
    const uint32_t Date = (44u << 9) | (3u << 5) | 15u;
    const uint32_t Time = (13u << 11) | (45u << 5) | 15u;
    EXPECT_EQ(static_cast<uint32_t>(DosDateTime(When)), (Date << 16) | Time);

    Env.Set("TZ", "XYZ-2");  // two hours east of UTC
    EXPECT_EQ(static_cast<uint32_t>(DosDateTime(When)) & 0xFFFF, (15u << 11) | (45u << 5) | 15u);

    Env.Set("TZ", "UTC");
    EXPECT_EQ(DosDateTime(0), -1);  // 1970 cannot be packed
    EXPECT_EQ(DosDateTime(315532800), static_cast<int32_t>(((0u << 9 | 1u << 5 | 1u) << 16)));  // 1980-01-01
}

TEST(FileTimes, FileAgeReadsTheModificationTime) {
    TTempDir Root;
    TEnvGuard Env;
    Env.Set("TZ", "UTC");
    const std::string Name = Root.Write("a.txt", "x");
    const timeval Times[2] = {{1710510331, 0}, {1710510331, 0}};
    ASSERT_EQ(utimes(Name.c_str(), Times), 0);
    EXPECT_EQ(FileAge(Name), DosDateTime(1710510331));
    EXPECT_EQ(FileAge(Root.File("missing.txt")), -1);
    EXPECT_EQ(FileAge(""), -1);
}

namespace {

struct TCounted {
    explicit TCounted(int& Deaths) : FDeaths(Deaths) {}
    ~TCounted() { ++FDeaths; }
    int& FDeaths;
};

// A base without a virtual destructor: the slot must still delete the object as what it was made.
struct TBase {
    int Value = 1;
};
struct TDerived : TBase {
    explicit TDerived(int& Deaths) : Counted(Deaths) {}
    TCounted Counted;
};

}  // namespace

TEST(OwnedSlots, FreeTheirObjectExactlyOnce) {
    int Deaths = 0;
    {
        TOwned<TCounted> A = MakeOwned<TCounted>(Deaths);
        TOwned<TCounted> B = std::move(A);
        EXPECT_FALSE(A);
        EXPECT_TRUE(B);
        TOwned<TCounted> C;
        C = std::move(B);
        EXPECT_EQ(Deaths, 0);
        C = MakeOwned<TCounted>(Deaths);  // the old object goes
        EXPECT_EQ(Deaths, 1);
        C.reset();
        EXPECT_EQ(Deaths, 2);
        C.reset();
        EXPECT_EQ(Deaths, 2);
        C = MakeOwned<TCounted>(Deaths);
    }
    EXPECT_EQ(Deaths, 3);

    {
        TOwned<TBase> Slot(std::make_unique<TDerived>(Deaths));
        EXPECT_EQ(Slot->Value, 1);
    }
    EXPECT_EQ(Deaths, 4);

    std::vector<TOwned<TCounted>> Slots;
    Slots.emplace_back();
    for (int I = 0; I < 100; ++I) Slots.push_back(MakeOwned<TCounted>(Deaths));
    Slots.erase(Slots.begin() + 1);
    EXPECT_EQ(Deaths, 5);
    Slots.clear();
    EXPECT_EQ(Deaths, 104);
}
