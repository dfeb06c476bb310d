#include "platform/WholeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

using namespace platform;

namespace {

// Ends the test process, and so fails the test, if a read blocks instead of refusing.
class TNoHang {
public:
    TNoHang() { ::alarm(20); }
    ~TNoHang() { ::alarm(0); }
};

}  // namespace

TEST(WholeFile, ReadsRegularFilesAndRefusesEverythingElseWithoutBlocking) {
    TNoHang guard;
    TTempDir dir;
    std::string data = "stale";
    const std::string bytes("a\0b\r\nc", 6);
    EXPECT_EQ(ReadRegularFile(dir.Write("a.txt", bytes), data), TWholeFileStatus::Ok);
    EXPECT_EQ(data, bytes);
    EXPECT_EQ(ReadRegularFile(dir.Write("empty.txt", ""), data), TWholeFileStatus::Ok);
    EXPECT_EQ(data, "");

    // A link is followed to the file it names.
    std::filesystem::create_symlink(dir.File("a.txt"), dir.File("link"));
    EXPECT_EQ(ReadRegularFile(dir.File("link"), data), TWholeFileStatus::Ok);
    EXPECT_EQ(data, bytes);

    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, TWholeFileStatus> refused[] = {
        {dir.File("missing"), TWholeFileStatus::Missing},
        {dir.File("missing/below"), TWholeFileStatus::Missing},
        {"", TWholeFileStatus::Missing},
        {dir.Path().string(), TWholeFileStatus::NotRegular},
        {fifo, TWholeFileStatus::NotRegular},
        {"/dev/zero", TWholeFileStatus::NotRegular},
        {"/dev/null", TWholeFileStatus::NotRegular},
    };
    for (const auto& [name, status] : refused) {
        data = "stale";
        EXPECT_EQ(ReadRegularFile(name, data), status) << name;
        EXPECT_EQ(data, "") << name;
    }
    EXPECT_FALSE(IsRegularFile(fifo));
    EXPECT_TRUE(IsRegularFile(dir.File("a.txt")));
    EXPECT_EQ(OpenRegularFileForReading(fifo), -1);
    EXPECT_EQ(OpenRegularFileForReading("/dev/zero"), -1);
    EXPECT_EQ(WholeFileStatusText(TWholeFileStatus::NotRegular, fifo), fifo + " is not a regular file.");
    EXPECT_EQ(WholeFileStatusText(TWholeFileStatus::Ok, fifo), "");
}

TEST(WholeFile, SizeLimitCountsEveryByte) {
    TTempDir dir;
    std::string data;
    const std::string path = dir.Write("ten.txt", "0123456789");
    EXPECT_EQ(ReadRegularFile(path, data, 10), TWholeFileStatus::Ok);
    EXPECT_EQ(data, "0123456789");
    EXPECT_EQ(ReadRegularFile(path, data, 9), TWholeFileStatus::TooLarge);
    EXPECT_EQ(data, "");
    EXPECT_EQ(WholeFileStatusText(TWholeFileStatus::TooLarge, path), path + " is too large.");
}
