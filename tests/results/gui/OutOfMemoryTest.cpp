// Memory running out in the middle of a search: the window keeps the lines found so far, in step in every
// pane, and says so. The allocator of this test program can be told to fail the n-th allocation of a
// hit's size, which happens only where hits and their rows are made.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <atomic>
#include <cstdlib>
#include <new>

#include "ui/Msg.h"
#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"

namespace {
std::atomic<long> FailingSize{0};
std::atomic<long> FailAfter{0};

void* Allocate(std::size_t Size) {
    if (long(Size) == FailingSize.load(std::memory_order_relaxed) &&
        FailAfter.load(std::memory_order_relaxed) > 0 && FailAfter.fetch_sub(1) == 1)
        throw std::bad_alloc();
    if (void* P = std::malloc(Size ? Size : 1)) return P;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t Size) {
    return Allocate(Size);
}
void* operator new[](std::size_t Size) {
    return Allocate(Size);
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete[](void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}
void operator delete[](void* P, std::size_t) noexcept {
    std::free(P);
}
// The no-throw forms too (the sorts' temporary buffers use them): every pair must meet the same heap.
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(Size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t Size, const std::nothrow_t& Tag) noexcept {
    return operator new(Size, Tag);
}
void operator delete(void* P, const std::nothrow_t&) noexcept {
    std::free(P);
}
void operator delete[](void* P, const std::nothrow_t&) noexcept {
    std::free(P);
}

namespace {

constexpr int LineCount = 400;

class OutOfMemoryTest : public TCorpusTest {
protected:
    void SetUp() override {
        TCorpusTest::SetUp();
        CommonConfig->FrequencyOfHits = 1;
        std::string Text0, Text1;
        Align12 = std::make_unique<TDoubleAlignIndexes>();
        auto Pair = std::make_unique<TDoubleAlignIndex>();
        for (int I = 0; I < LineCount; ++I) {
            const std::string A = "the cat sat " + std::to_string(I) + "\n",
                              B = "le chat " + std::to_string(I) + "\n";
            Pair->Side1.Add(int32_t(Text0.size()), int32_t(Text0.size() + A.size()), int32_t(A.size()));
            Pair->Side2.Add(int32_t(Text1.size()), int32_t(Text1.size() + B.size()), int32_t(B.size()));
            Text0 += A;
            Text1 += B;
        }
        AddFile(0, "en.txt", Text0);
        AddFile(1, "fr.txt", Text1);
        Align12->Add(std::move(Pair));
        Main.setCentralWidget(Area);
        Main.resize(800, 600);
        Main.show();
    }
    void TearDown() override {
        FailAfter = 0;
        Area->closeAllSubWindows();
        for (QMdiSubWindow* Sub : Area->subWindowList()) delete Sub;
        TCorpusTest::TearDown();
    }

    static std::unique_ptr<TConcSearchRec> Query(int32_t Language, const std::string& Word) {
        auto Q = std::make_unique<TConcSearchRec>();
        Q->Language = Language;
        Q->Names = Q->Patterns = {Word};
        return Q;
    }

    // Fails the n-th allocation of a hit from now on: the primary hit and the rows of the other
    // languages are each one, so odd and even n fail in different places.
    static void FailHitAllocation(long N) {
        FailingSize = long(sizeof(TConcordItem));
        FailAfter = N;
    }

    void ExpectLinesKept(TTessivorForm* Form) {
        ASSERT_NE(Form, nullptr);
        EXPECT_EQ(Area->subWindowList().size(), 1);
        const int32_t Kept = Form->Lists[0]->Count();
        EXPECT_GT(Kept, 0);
        EXPECT_LT(Kept, LineCount);
        EXPECT_EQ(Form->Lists[1]->Count(), Kept) << "the panes fell out of step";
        for (int32_t I = 0; I < Kept; ++I) EXPECT_EQ(Form->Lists[1]->GetItem(I)->Sequence, I);
        EXPECT_EQ(Backend.Texts(), std::vector<std::string>{SearchOutOfMemoryText});
    }

    QMainWindow Main;
    QMdiArea* Area = new QMdiArea;
};

TEST_F(OutOfMemoryTest, ASearchKeepsItsLinesInStepAndSaysMemoryRanOut) {
    for (long N : {61L, 62L}) {
        Backend.Messages.clear();
        FailHitAllocation(N);
        TTessivorForm* Form = NewConcordanceWindow(Area, Query(0, "cat"));
        ExpectLinesKept(Form);
        Area->closeAllSubWindows();
        for (QMdiSubWindow* Sub : Area->subWindowList()) delete Sub;
    }
}

TEST_F(OutOfMemoryTest, AParallelSearchKeepsItsLinesInStepAndSaysMemoryRanOut) {
    std::vector<std::unique_ptr<TConcSearchRec>> Records;
    Records.push_back(Query(0, "cat"));
    Records.push_back(Query(1, "chat"));
    FailHitAllocation(61);
    ExpectLinesKept(NewParallelConcordanceWindow(Area, Records));
}

}  // namespace
