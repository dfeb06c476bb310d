#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "controls/zynStackTrace.h"
#include "engine/ConcErrors.h"
#include "tests/support/TestSupport.h"

namespace {

struct TRecord {
    std::string Message;
    std::vector<std::string> Body;
};

// Splits a trace file into records, failing the test on any line out of its place: a header with the
// module, version and date, the message, then the body up to an empty line.
std::vector<TRecord> ParseRecords(const std::string& Text) {
    static const std::regex Header(
        R"(\*\*\* Module: Tessivor, version: 270 - \d\d (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d{4} \d\d:\d\d)");
    std::vector<TRecord> Records;
    std::istringstream In(Text);
    std::string Line;
    while (std::getline(In, Line)) {
        EXPECT_TRUE(std::regex_match(Line, Header)) << Line;
        TRecord R;
        std::getline(In, Line);
        EXPECT_EQ(Line.rfind("*** ", 0), 0u) << Line;
        R.Message = Line.substr(std::min<size_t>(4, Line.size()));
        bool Ended = false;
        while (std::getline(In, Line)) {
            if (Line.empty()) {
                Ended = true;
                break;
            }
            R.Body.push_back(Line);
        }
        EXPECT_TRUE(Ended) << "a record without its closing empty line";
        Records.push_back(std::move(R));
    }
    return Records;
}

class TraceLoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetTraceFileName(Trace);
        SetTraceModule("Tessivor", "270");
        InstallTraceLogger();
    }
    void TearDown() override { UninstallTraceLogger(); }

    TTempDir Dir;
    const std::string Trace = Dir.File("tessivor.trc");
};

// An out-of-range error that no handler of the program deals with: it reaches the default handler.
void RaiseOutOfRange() {
    std::vector<int> V(3);
    try {
        (void)V.at(7);
    } catch (const std::out_of_range& E) {
        TraceUnhandledException(&E);
    }
}

TEST_F(TraceLoggerTest, ARuntimeErrorAppendsOneWholeRecordWithItsRaiserNamed) {
    try {
        (void)std::stoi("no number");
    } catch (const std::invalid_argument& E) {
        TraceUnhandledException(&E);
    }
    std::vector<TRecord> Records = ParseRecords(ReadWholeFile(Trace));
    ASSERT_EQ(Records.size(), 1u);
    const TRecord& R = Records[0];
    EXPECT_EQ(R.Message, "stoi");
    ASSERT_GE(R.Body.size(), 2u);
    // The raise came from the runtime's own helper, whose symbol the loader knows.
    EXPECT_TRUE(std::regex_search(
        R.Body[0], std::regex(R"(^ UserAddress   [0-9a-f]{8,}   std::__throw_invalid_argument)")))
        << R.Body[0];
    for (size_t I = 1; I < R.Body.size(); ++I) {
        char Expected[32];
        std::snprintf(Expected, sizeof Expected, "%12zu   ", I);
        EXPECT_EQ(R.Body[I].rfind(Expected, 0), 0u) << R.Body[I];
        // Every frame names its symbol or at least its module and offset.
        EXPECT_TRUE(std::regex_search(R.Body[I], std::regex(R"(^ +\d+   [0-9a-f]{8,}   .+\+0x[0-9a-f]+$)")))
            << R.Body[I];
    }
    EXPECT_LE(R.Body.size(), 33u);

    // A second raise adds to the file instead of replacing it.
    RaiseOutOfRange();
    Records = ParseRecords(ReadWholeFile(Trace));
    ASSERT_EQ(Records.size(), 2u);
    EXPECT_NE(Records[1].Message.find("vector::_M_range_check"), std::string::npos) << Records[1].Message;
}

TEST_F(TraceLoggerTest, TheProgramsOwnErrorsTheSilentAbortAndPlainExceptionsAreNotLogged) {
    for (int I = 0; I < 3; ++I) {
        try {
            if (I == 0) throw EAbort();
            if (I == 1) throw EConcError("a message of the program's own");
            throw std::exception();
        } catch (const std::exception&) {
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Trace));
    EXPECT_FALSE(IsTracedExceptionType(typeid(EConcError)));
    EXPECT_TRUE(IsTracedExceptionType(typeid(std::ios_base::failure)));  // derived from a logged class
}

// A failure the program deals with (an out-of-memory a command reports and recovers from) is no failure
// of the program: only what reaches the default handler, or ends the process, is written.
TEST_F(TraceLoggerTest, OnlyUnhandledRaisesAreLogged) {
    for (int I = 0; I < 2; ++I) {
        try {
            throw std::bad_alloc();
        } catch (const std::bad_alloc&) {
        }
    }
    try {
        std::vector<int> V(3);
        (void)V.at(9);
    } catch (const std::out_of_range&) {
    }
    EXPECT_FALSE(std::filesystem::exists(Trace));
    // Raised, handled inside, and the outer one reaches the default handler: one record, the outer's.
    try {
        try {
            throw std::length_error("inner");
        } catch (const std::length_error&) {
        }
        throw std::bad_alloc();
    } catch (const std::bad_alloc& E) {
        TraceUnhandledException(&E);
        TraceUnhandledException(&E);
    }
    std::vector<TRecord> Records = ParseRecords(ReadWholeFile(Trace));
    ASSERT_EQ(Records.size(), 1u);
    EXPECT_EQ(Records[0].Message, "std::bad_alloc");

    const pid_t Child = fork();
    ASSERT_NE(Child, -1);
    if (Child == 0) {
        // No handler: the raise ends the process (the test's own catch-all must not see it).
        []() noexcept {
            std::vector<int> V(3);
            (void)V.at(11);
        }();
        _exit(0);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFSIGNALED(Status));
    Records = ParseRecords(ReadWholeFile(Trace));
    ASSERT_EQ(Records.size(), 2u);
    EXPECT_NE(Records[1].Message.find("vector::_M_range_check"), std::string::npos) << Records[1].Message;
}

TEST_F(TraceLoggerTest, RecordsOfTwoThreadsNeverInterleave) {
    constexpr int PerThread = 150;
    auto raiser = [] {
        for (int I = 0; I < PerThread; ++I) RaiseOutOfRange();
    };
    std::thread A(raiser), B(raiser);
    A.join();
    B.join();
    const std::vector<TRecord> Records = ParseRecords(ReadWholeFile(Trace));
    EXPECT_EQ(Records.size(), 2u * PerThread);
    for (const TRecord& R : Records) {
        ASSERT_FALSE(R.Body.empty());
        EXPECT_EQ(R.Body[0].rfind(" UserAddress   ", 0), 0u);
    }
}

TEST_F(TraceLoggerTest, AFaultSignalIsRecordedBeforeTheProcessEnds) {
    const pid_t Child = fork();
    ASSERT_NE(Child, -1);
    // An illegal instruction rather than a segment fault: the address sanitizer keeps the latter to itself.
    if (Child == 0) {
        raise(SIGILL);
        _exit(0);  // never reached: the fault ends the process
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFSIGNALED(Status));
    EXPECT_EQ(WTERMSIG(Status), SIGILL);
    const std::vector<TRecord> Records = ParseRecords(ReadWholeFile(Trace));
    ASSERT_EQ(Records.size(), 1u);
    EXPECT_EQ(Records[0].Message.rfind("Privileged or illegal instruction at address 0x", 0), 0u) << Records[0].Message;
    ASSERT_FALSE(Records[0].Body.empty());
    for (const std::string& Line : Records[0].Body)
        EXPECT_TRUE(std::regex_match(Line, std::regex("[0-9a-f]{8,}")));
}

TEST(TraceDateTest, TheDateIsLocalTimeWithEnglishMonthNames) {
    const char* OldTz = std::getenv("TZ");
    const std::string Saved = OldTz ? OldTz : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(TraceDateText(1796660100), "07 Dec 2026 16:15");
    EXPECT_EQ(TraceDateText(951782400), "29 Feb 2000 00:00");
    if (OldTz)
        setenv("TZ", Saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
