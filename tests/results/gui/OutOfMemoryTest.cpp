// Memory running out in the middle of a search: the window keeps the lines found so far, in step in every
// pane, and says so. The allocator of this test program can be told to fail the n-th allocation of a
// hit's size, which happens only where hits and their rows are made.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include <link.h>

#if defined(__SANITIZE_THREAD__)
extern "C" void AnnotateIgnoreWritesBegin(const char* File, int Line);
extern "C" void AnnotateIgnoreWritesEnd(const char* File, int Line);
#endif

#include "results/ConcTessivor.h"
#include "tests/engine/ConcCorpusTestSupport.h"
#include "ui/Msg.h"

namespace {
std::atomic<long> FailingSize{0};
std::atomic<long> FailAfter{0};

// Qt's own threads (the offscreen platform's font database among them) allocate too, at times that depend
// on the scheduler: an allocation of a hit's size there must neither fail nor use up the count, or the
// failure lands outside the search.
struct TCodeRange {
    uintptr_t Low = 0, High = 0;
};
std::array<TCodeRange, 32> QtCode;
size_t QtCodeCount = 0;

int CollectQtCode(dl_phdr_info* Info, size_t, void*) {
    if (!std::strstr(Info->dlpi_name, "/libQt6")) return 0;
    for (int I = 0; I < Info->dlpi_phnum; ++I) {
        const ElfW(Phdr)& Segment = Info->dlpi_phdr[I];
        if (Segment.p_type == PT_LOAD && (Segment.p_flags & PF_X) && QtCodeCount < QtCode.size())
            QtCode[QtCodeCount++] = {Info->dlpi_addr + Segment.p_vaddr,
                                     Info->dlpi_addr + Segment.p_vaddr + Segment.p_memsz};
    }
    return 0;
}

// The Qt libraries are loaded with the program, before any thread starts.
const bool QtCodeFound = (dl_iterate_phdr(CollectQtCode, nullptr), true);

bool CalledFromQt(const void* Caller) {
    const auto Pc = reinterpret_cast<uintptr_t>(Caller);
    for (size_t I = 0; I < QtCodeCount; ++I)
        if (Pc >= QtCode[I].Low && Pc < QtCode[I].High) return true;
    return false;
}

#if defined(__SANITIZE_THREAD__)
// The thread sanitizer leaves alone what the Qt libraries, which it cannot see into, ask of the allocator
// (called_from_lib in scripts/tsan.supp): Qt hands memory between its threads under locks of its own.
// This program's allocator stands between Qt and the sanitizer's, so it leaves those calls alone itself;
// what this program's own code allocates and frees is watched as everywhere else.
class TUnwatchedIf {
public:
    explicit TUnwatchedIf(const void* Caller) : FOn(CalledFromQt(Caller)) {
        if (FOn) AnnotateIgnoreWritesBegin(__FILE__, __LINE__);
    }
    ~TUnwatchedIf() {
        if (FOn) AnnotateIgnoreWritesEnd(__FILE__, __LINE__);
    }

private:
    bool FOn;
};
#else
struct TUnwatchedIf {
    explicit TUnwatchedIf(const void*) {}
};
#endif

void* Allocate(std::size_t Size, const void* Caller) {
    if (long(Size) == FailingSize.load(std::memory_order_relaxed) &&
        FailAfter.load(std::memory_order_relaxed) > 0 && !CalledFromQt(Caller) && FailAfter.fetch_sub(1) == 1)
        throw std::bad_alloc();
    const TUnwatchedIf Unwatched(Caller);
    if (void* P = std::malloc(Size ? Size : 1)) return P;
    throw std::bad_alloc();
}

void Free(void* P, const void* Caller) {
    const TUnwatchedIf Unwatched(Caller);
    std::free(P);
}

void* AllocateOrNull(std::size_t Size, const void* Caller) noexcept {
    try {
        return Allocate(Size, Caller);
    } catch (...) {
        return nullptr;
    }
}
}  // namespace

#define CALLER __builtin_return_address(0)

void* operator new(std::size_t Size) {
    return Allocate(Size, CALLER);
}
void* operator new[](std::size_t Size) {
    return Allocate(Size, CALLER);
}
void operator delete(void* P) noexcept {
    Free(P, CALLER);
}
void operator delete[](void* P) noexcept {
    Free(P, CALLER);
}
void operator delete(void* P, std::size_t) noexcept {
    Free(P, CALLER);
}
void operator delete[](void* P, std::size_t) noexcept {
    Free(P, CALLER);
}
// The no-throw forms too (the sorts' temporary buffers use them): every pair must meet the same heap.
void* operator new(std::size_t Size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(Size, CALLER);
}
void* operator new[](std::size_t Size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(Size, CALLER);
}
void operator delete(void* P, const std::nothrow_t&) noexcept {
    Free(P, CALLER);
}
void operator delete[](void* P, const std::nothrow_t&) noexcept {
    Free(P, CALLER);
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
