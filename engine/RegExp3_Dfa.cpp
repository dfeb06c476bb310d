// The search's automaton (see RegExp3_Dfa.h).
//
// A search tries the candidate starts from Start on in order (with the first-character map, only bytes a
// match can begin with), each by the automaton without new beginnings: it runs while some way is still
// open and records the last position where a match ended, so the first candidate with a match is the
// leftmost start and its last end the longest match. A candidate that reaches a position in the state a
// failed candidate had there can end no match from there on, so it stops. Candidates rarely scan far
// without a match; when they do, a pass with a new match allowed to begin at every position finds the
// earliest end of any match (a window without one is done), no later candidate need be tried, and past a
// budget proportional to the window the matcher takes over.
// Transitions are computed the first time the text asks for them, over classes of bytes that every test
// of the pattern (and the word and line-feed tests of the assertions) treats alike.
#include "engine/RegExp3_Dfa.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/RegExp3_Code.h"

using namespace RegExpCode;

namespace {

// A matcher state: byte-code position, the length of the bounded run under way (or the bytes of a string
// compared so far), then the loop counter cells. A cell that holds where a loop's iteration began holds
// 1 while no byte has been consumed since the iteration began, else 0.
using TThread = std::u32string;
constexpr size_t ThPc = 0, ThRun = 1, ThCells = 2;

// The first element of a state's key: what the byte before its position was, and whether a match may
// begin at the position (pass 1).
constexpr char32_t CtxStart = 1;    // the position is the text's start
constexpr char32_t CtxWord = 2;     // the byte before is a word byte
constexpr char32_t CtxNewline = 4;  // the byte before is a line feed
constexpr char32_t CtxInject = 8;   // a match may begin here

// The limits of one automaton; past them the search falls back to the matcher, and after a few such
// searches the pattern is left to the matcher on this thread.
constexpr size_t MaxAutomatonBytes = size_t(4) << 20;
constexpr size_t MaxClosureThreads = 20000;
constexpr int MaxOverflows = 3;
constexpr size_t MaxCells = 512;
// Automata kept per thread.
constexpr size_t CachedAutomata = 6;
// Positions of a window whose states of failed candidates are remembered (8 bytes each, per thread).
constexpr int64_t SeenPositions = int64_t(1) << 18;

constexpr int32_t Unknown = -1;  // a transition not computed yet
constexpr int PollBytes = 1 << 16;
enum TStateKind : uint8_t { skLive, skIdle, skDead };

struct TLoop {
    int32_t Cell, Head, End, Min, Max;
};

struct TOverflow {};
struct TStopped {
    int Code;
};

class TAutomaton {
public:
    // Reads the byte code; Usable stays false when the automaton cannot search it.
    void Prepare(const TRegExpPattern& R);
    void Reset();

    // The transition of State on byte class Cls (NumClasses: the end of the text): the next state's
    // row in Table times four, plus VIdle when that state is idle or dead, plus VAccept when a match ends
    // before the byte. Raises TOverflow.
    int32_t Next(int32_t State, int Cls) {
        const int32_t V = Table[size_t(State) * Stride + size_t(Cls)];
        return V != Unknown ? V : Compute(State, Cls);
    }
    static constexpr int32_t VAccept = 1, VIdle = 2;
    int32_t StateOfValue(int32_t V) const { return V >> (2 + StrideShift); }
    int32_t StateOfRow(int32_t Row) const { return Row >> StrideShift; }
    int32_t Idle(char32_t Ctx);      // nothing under way, a match may begin
    int32_t Anchored(char32_t Ctx);  // a match begins here, no other may
    int32_t WithoutBeginnings(int32_t State);

    uint64_t Serial = 0;
    uint32_t Flags = 0;
    bool Usable = false;
    int Overflows = 0;
    uint64_t Work = 0;  // matcher states visited while building, for the step count

    std::array<uint8_t, 256> Class{};
    int32_t NumClasses = 0;
    size_t Stride = 1;  // a power of two above NumClasses: a row's state is its index shifted
    int StrideShift = 0;
    std::vector<int32_t> Table;
    std::vector<uint8_t> Kind;

private:
    int32_t Compute(int32_t State, int Cls);
    int32_t StateOf(char32_t Ctx, std::vector<TThread>& Kernel);
    void Canon(TThread& T) const;
    void Prune(std::vector<TThread>& Set) const;
    void Push(TThread T);
    TThread StartThread() const;

    const uint8_t* Code = nullptr;
    int32_t Used = 0;
    std::array<uint8_t, 256> Tr{};
    std::array<uint8_t, 256> Words{};
    bool NotBol = false, NotEol = false, NewlineAnchor = false;

public:
    // Whether the pattern has anchors or word assertions: without them the byte before a position does
    // not matter, and states are not told apart by it.
    bool Assertions = false;
    // The one byte every match begins with, by the first-character map; -1 when there are more.
    int SingleStart = -1;

private:
    size_t Width = ThCells;
    std::vector<int32_t> After;  // per consuming operation: where the byte code goes on after its byte
    std::vector<TLoop> Loops;
    std::vector<uint8_t> Rep;  // a byte of each class

    std::vector<TThread> Keys;
    std::unordered_map<TThread, int32_t> Index;
    size_t Bytes = 0;
    std::array<int32_t, 16> IdleIds{}, AnchoredIds{};

    // Work storage of Compute.
    std::unordered_set<TThread> Visited;
    std::vector<TThread> Stack, Consumers;
};

void TAutomaton::Reset() {
    Keys.clear();
    Index.clear();
    Table.clear();
    Kind.clear();
    Bytes = 0;
    IdleIds.fill(-1);
    AnchoredIds.fill(-1);
}

void TAutomaton::Prepare(const TRegExpPattern& R) {
    Reset();
    Usable = false;
    Assertions = false;
    Loops.clear();
    Code = R.Buffer.data();
    Used = R.Used;
    Tr = R.Translate;
    Words = R.Tables->WordTable;
    NotBol = R.NotBol;
    NotEol = R.NotEol;
    NewlineAnchor = R.NewlineAnchor;
    if ((R.Syntax & RegExpNoPosixBacktracking) || Used < 0 || size_t(Used) > R.Buffer.size() ||
        R.NumCells < 0 || size_t(R.NumCells) > MaxCells)
        return;
    Width = ThCells + size_t(R.NumCells);
    // Every operation must be one the automaton knows, and every jump must land on one.
    std::vector<uint8_t> IsOp(size_t(Used) + 1, 0);
    After.assign(size_t(Used), -1);
    std::vector<const uint8_t*> Tests;
    for (int32_t Pc = 0; Pc < Used;) {
        const uint8_t* Op = Code + Pc;
        const int Size = OpSize(Op);
        if (Size == 0 || Pc + Size > Used || Op[0] == ro_duplicate || Op[0] == ro_succeed) return;
        IsOp[size_t(Pc)] = 1;
        if ((Op[0] >= ro_begline && Op[0] <= ro_endbuf) || (Op[0] >= ro_wordbeg && Op[0] <= ro_notwordbound))
            Assertions = true;
        if (Op[0] == ro_exactn || IsByteTestOp(Op[0])) {
            After[size_t(Pc)] = Pc + Size;
            Tests.push_back(Op);
        } else if (Op[0] == ro_repeat_test) {
            Tests.push_back(Op + 5);
        }
        Pc += Size;
    }
    IsOp[size_t(Used)] = 1;
    auto Lands = [&](int32_t Target) { return Target >= 0 && Target <= Used && IsOp[size_t(Target)]; };
    std::vector<uint8_t> PositionCell(size_t(R.NumCells), 0);
    std::vector<int32_t> SetCells;
    for (int32_t Pc = 0; Pc < Used; Pc += OpSize(Code + Pc)) {
        const uint8_t* Op = Code + Pc;
        switch (Op[0]) {
            case ro_jump:
            case ro_jump_past_alt:
            case ro_on_failure_jump:
            case ro_pop_failure_jump:
            case ro_maybe_pop_jump:
            case ro_dummy_failure_jump:
                if (!Lands(Jump5Target(Code, Pc))) return;
                break;
            case ro_on_failure_keep_string_jump: {
                // The byte test after the head loops back to it.
                const int32_t Test = Pc + 5;
                if (!Lands(Jump5Target(Code, Pc)) || Test >= Used || !IsOp[size_t(Test)] ||
                    !(IsByteTestOp(Code[Test]) || (Code[Test] == ro_exactn && Code[Test + 1] == 1)))
                    return;
                After[size_t(Test)] = Pc;
                break;
            }
            case ro_succeed_n: {
                const int32_t End = JumpTarget(Code, Pc);
                const int32_t Cell = ReadU16(Op + 5);
                if (!Lands(End) || End <= Pc || Cell + 1 >= R.NumCells) return;
                Loops.push_back({Cell, Pc, End, ReadU16(Op + 7), ReadU16(Op + 9)});
                PositionCell[size_t(Cell) + 1] = 1;
                break;
            }
            case ro_jump_n:
                if (!Lands(JumpTarget(Code, Pc)) || ReadU16(Op + 5) + 1 >= R.NumCells) return;
                break;
            case ro_set_number_at:
                if (ReadU16(Op + 1) >= R.NumCells) return;
                SetCells.push_back(ReadU16(Op + 1));
                break;
            default:
                break;
        }
    }
    // A position cell is read as "began here"; a value set into one would mean a text position.
    for (int32_t Cell : SetCells)
        if (PositionCell[size_t(Cell)]) return;

    // Bytes alike for every test, and for the word and line-feed tests of the assertions, share a class.
    std::unordered_map<std::string, uint8_t> Signatures;
    Rep.clear();
    for (int C = 0; C < 256; ++C) {
        std::string Signature;
        Signature += char(((Words[size_t(C)] & RW_WORD) ? 1 : 0) | (C == '\n' ? 2 : 0));
        for (const uint8_t* Test : Tests) {
            if (Test[0] == ro_exactn)
                for (int K = 0; K < Test[1]; ++K) Signature += char(Tr[size_t(C)] == Test[2 + K]);
            else
                Signature += char(ByteTest(Test, uint8_t(C), Tr.data(), Words.data()));
        }
        const auto [It, New] = Signatures.emplace(std::move(Signature), uint8_t(Rep.size()));
        if (New) Rep.push_back(uint8_t(C));
        Class[size_t(C)] = It->second;
    }
    NumClasses = int32_t(Rep.size());
    SingleStart = -1;
    if (R.FastmapAccurate && std::count(R.StartMap.begin(), R.StartMap.end(), 1) == 1)
        SingleStart = int(std::find(R.StartMap.begin(), R.StartMap.end(), 1) - R.StartMap.begin());
    StrideShift = 0;
    while ((1 << StrideShift) < NumClasses + 1) ++StrideShift;
    Stride = size_t(1) << StrideShift;
    Usable = true;
}

TThread TAutomaton::StartThread() const {
    TThread T(Width, 0);
    Canon(T);
    return T;
}

// Values that cannot change what happens from a state are made equal: counts of loops the position is
// not in, counts past the minimum of loops without a maximum, run lengths past the minimum of runs
// without one.
void TAutomaton::Canon(TThread& T) const {
    const int32_t Pc = int32_t(T[ThPc]);
    for (const TLoop& L : Loops) {
        char32_t& Count = T[ThCells + size_t(L.Cell)];
        if (Pc < L.Head || Pc >= L.End) {
            Count = 0;
            T[ThCells + size_t(L.Cell) + 1] = 0;
        } else if (L.Max == RegExpUnbounded && int32_t(Count) > L.Min) {
            Count = char32_t(L.Min);
        }
    }
    if (Pc >= Used) {
        T[ThRun] = 0;
    } else if (Code[Pc] == ro_repeat_test) {
        const int32_t Min = ReadU16(Code + Pc + 1);
        if (ReadU16(Code + Pc + 3) == RegExpUnbounded && int32_t(T[ThRun]) > Min) T[ThRun] = char32_t(Min);
    } else if (Code[Pc] != ro_exactn) {
        T[ThRun] = 0;
    }
}

// Drops a state when the set holds the same state with a smaller count (at or above the minimum) of a
// bounded loop, or a shorter run (at or above the minimum) of a bounded run: the smaller one leaves every
// way open that the larger does.
void TAutomaton::Prune(std::vector<TThread>& Set) const {
    if (Set.size() < 2) return;
    auto Dimension = [&](auto Applies, size_t At) {
        std::unordered_map<TThread, char32_t> Least;
        for (const TThread& T : Set) {
            int32_t Min;
            if (!Applies(T, Min) || int32_t(T[At]) < Min) continue;
            TThread Key = T;
            Key[At] = char32_t(-1);
            auto [It, New] = Least.emplace(std::move(Key), T[At]);
            if (!New) It->second = std::min(It->second, T[At]);
        }
        if (Least.size() == 0) return;
        std::erase_if(Set, [&](const TThread& T) {
            int32_t Min;
            if (!Applies(T, Min) || int32_t(T[At]) < Min) return false;
            TThread Key = T;
            Key[At] = char32_t(-1);
            return Least.at(Key) < T[At];
        });
    };
    for (const TLoop& L : Loops) {
        if (L.Max == RegExpUnbounded) continue;
        Dimension(
            [&](const TThread&, int32_t& Min) {
                Min = L.Min;
                return true;
            },
            ThCells + size_t(L.Cell));
    }
    Dimension(
        [&](const TThread& T, int32_t& Min) {
            const int32_t Pc = int32_t(T[ThPc]);
            if (Pc >= Used || Code[Pc] != ro_repeat_test || ReadU16(Code + Pc + 3) == RegExpUnbounded) return false;
            Min = ReadU16(Code + Pc + 1);
            return true;
        },
        ThRun);
}

int32_t TAutomaton::StateOf(char32_t Ctx, std::vector<TThread>& Kernel) {
    std::sort(Kernel.begin(), Kernel.end());
    Kernel.erase(std::unique(Kernel.begin(), Kernel.end()), Kernel.end());
    TThread Key(1, Ctx);
    for (const TThread& T : Kernel) Key += T;
    if (const auto It = Index.find(Key); It != Index.end()) return It->second;
    const size_t Cost = Key.size() * sizeof(char32_t) * 2 + Stride * sizeof(int32_t) + 64;
    if (Bytes + Cost > MaxAutomatonBytes) throw TOverflow{};
    static_assert(MaxAutomatonBytes <= size_t(1) << 29, "rows times four must fit a transition");
    Bytes += Cost;
    const int32_t State = int32_t(Keys.size());
    Index.emplace(Key, State);
    Keys.push_back(std::move(Key));
    Kind.push_back(Kernel.empty() ? ((Ctx & CtxInject) ? skIdle : skDead) : skLive);
    Table.resize(Table.size() + Stride, Unknown);
    return State;
}

int32_t TAutomaton::Idle(char32_t Ctx) {
    int32_t& Id = IdleIds[size_t(Ctx & 7)];
    if (Id < 0) {
        std::vector<TThread> None;
        Id = StateOf((Ctx & 7) | CtxInject, None);
    }
    return Id;
}

int32_t TAutomaton::Anchored(char32_t Ctx) {
    int32_t& Id = AnchoredIds[size_t(Ctx & 7)];
    if (Id < 0) {
        std::vector<TThread> Start{StartThread()};
        Id = StateOf(Ctx & 7, Start);
    }
    return Id;
}

int32_t TAutomaton::WithoutBeginnings(int32_t State) {
    const TThread Key = Keys[size_t(State)];
    if (!(Key[0] & CtxInject)) return State;
    std::vector<TThread> Kernel;
    for (size_t At = 1; At < Key.size(); At += Width) Kernel.push_back(Key.substr(At, Width));
    return StateOf(Key[0] & ~CtxInject, Kernel);
}

void TAutomaton::Push(TThread T) {
    Canon(T);
    if (Visited.size() >= MaxClosureThreads) throw TOverflow{};
    if (Visited.insert(T).second) Stack.push_back(std::move(T));
}

int32_t TAutomaton::Compute(int32_t State, int Cls) {
    const TThread Key = Keys[size_t(State)];
    const char32_t Ctx = Key[0];
    const bool AtEnd = Cls == NumClasses;
    const uint8_t C = AtEnd ? 0 : Rep[size_t(Cls)];
    const bool PrevWord = (Ctx & CtxWord) != 0, PrevNewline = (Ctx & CtxNewline) != 0;
    const bool AtStart = (Ctx & CtxStart) != 0;
    const bool NextWord = !AtEnd && (Words[C] & RW_WORD) != 0, NextNewline = !AtEnd && C == '\n';

    // Every state the byte code can reach from the kernel without consuming a byte, with the assertions
    // judged by the bytes on both sides; those that consume one wait in Consumers.
    Visited.clear();
    Stack.clear();
    Consumers.clear();
    bool Accept = false;
    for (size_t At = 1; At < Key.size(); At += Width) Push(Key.substr(At, Width));
    if (Ctx & CtxInject) Push(StartThread());
    while (!Stack.empty()) {
        TThread T = std::move(Stack.back());
        Stack.pop_back();
        const int32_t Pc = int32_t(T[ThPc]);
        if (Pc >= Used) {
            Accept = true;
            continue;
        }
        const uint8_t* Op = Code + Pc;
        auto Go = [&](int32_t To) {
            TThread U = T;
            U[ThPc] = char32_t(To);
            Push(std::move(U));
        };
        auto GoIf = [&](bool Passes) {
            if (Passes) Go(Pc + 1);
        };
        // A string of no bytes consumes nothing; every other string or byte test waits for the byte.
        if (Op[0] == ro_exactn && Op[1] == 0) {
            Go(Pc + 2);
            continue;
        }
        if (Op[0] == ro_exactn || IsByteTestOp(Op[0])) {
            Consumers.push_back(std::move(T));
            continue;
        }
        switch (Op[0]) {
            case ro_repeat_test: {
                const int32_t Run = int32_t(T[ThRun]), Min = ReadU16(Op + 1), Max = ReadU16(Op + 3);
                if (Max == RegExpUnbounded || Run < Max) Consumers.push_back(T);
                if (Run >= Min) {
                    T[ThRun] = 0;
                    Go(Pc + OpSize(Op));
                }
                break;
            }
            case ro_no_op:
            case ro_start_memory:
            case ro_stop_memory:
            case ro_push_dummy_failure:
                Go(Pc + OpSize(Op));
                break;
            case ro_jump:
            case ro_jump_past_alt:
            case ro_dummy_failure_jump:
            case ro_pop_failure_jump:
            case ro_maybe_pop_jump:
                Go(Jump5Target(Code, Pc));
                break;
            case ro_on_failure_jump:
            case ro_on_failure_keep_string_jump:
                Go(Pc + 5);
                Go(Jump5Target(Code, Pc));
                break;
            case ro_begline:
                GoIf(AtStart ? !NotBol : NewlineAnchor && PrevNewline);
                break;
            case ro_endline:
                GoIf(AtEnd ? !NotEol : NewlineAnchor && NextNewline);
                break;
            case ro_begbuf:
                GoIf(AtStart);
                break;
            case ro_endbuf:
                GoIf(AtEnd);
                break;
            case ro_wordbeg:
                GoIf(NextWord && !PrevWord);
                break;
            case ro_wordend:
                GoIf(PrevWord && !NextWord);
                break;
            case ro_wordbound:
                GoIf(PrevWord != NextWord);
                break;
            case ro_notwordbound:
                GoIf(PrevWord == NextWord);
                break;
            case ro_set_number_at:
                T[ThCells + ReadU16(Op + 1)] = ReadU16(Op + 3);
                Go(Pc + 5);
                break;
            case ro_succeed_n: {
                const size_t Cell = ThCells + ReadU16(Op + 5);
                const int32_t Min = ReadU16(Op + 7), Max = ReadU16(Op + 9);
                const int32_t Done = int32_t(T[Cell]);
                const int32_t End = JumpTarget(Code, Pc);
                if (Max != RegExpUnbounded && Done >= Max) {
                    Go(End);
                    break;
                }
                if (Done >= Min) Go(End);
                T[Cell + 1] = 1;
                Go(Pc + 11);
                break;
            }
            case ro_jump_n: {
                const size_t Cell = ThCells + ReadU16(Op + 5);
                const int32_t Min = ReadU16(Op + 7);
                const int32_t Done = int32_t(T[Cell]) + 1;
                T[Cell] = char32_t(Done);
                // An empty iteration once the minimum is reached leaves the loop.
                Go(Done >= Min && T[Cell + 1] == 1 ? Pc + 9 : JumpTarget(Code, Pc));
                break;
            }
            default:
                throw TOverflow{};  // Prepare admits no other operation
        }
    }
    Work += Visited.size();

    int32_t Value;
    if (AtEnd) {
        Value = Accept ? 1 : 0;
    } else {
        std::vector<TThread> Kernel;
        for (TThread& T : Consumers) {
            const int32_t Pc = int32_t(T[ThPc]);
            const uint8_t* Op = Code + Pc;
            if (Op[0] == ro_exactn) {
                const int32_t Done = int32_t(T[ThRun]);
                if (Tr[C] != Op[2 + Done]) continue;
                if (Done + 1 == Op[1]) {
                    T[ThPc] = char32_t(After[size_t(Pc)]);
                    T[ThRun] = 0;
                } else {
                    T[ThRun] = char32_t(Done + 1);
                }
            } else if (Op[0] == ro_repeat_test) {
                if (!ByteTest(Op + 5, C, Tr.data(), Words.data())) continue;
                T[ThRun] += 1;
            } else {
                if (!ByteTest(Op, C, Tr.data(), Words.data())) continue;
                T[ThPc] = char32_t(After[size_t(Pc)]);
                T[ThRun] = 0;
            }
            // A byte has been consumed: no iteration began at the next position.
            for (const TLoop& L : Loops) T[ThCells + size_t(L.Cell) + 1] = 0;
            Canon(T);
            Kernel.push_back(std::move(T));
        }
        std::sort(Kernel.begin(), Kernel.end());
        Kernel.erase(std::unique(Kernel.begin(), Kernel.end()), Kernel.end());
        Prune(Kernel);
        const char32_t NextCtx =
            Assertions ? (NextWord ? CtxWord : 0) | (NextNewline ? CtxNewline : 0) | (Ctx & CtxInject)
                       : Ctx & CtxInject;
        const int32_t Next = StateOf(NextCtx, Kernel);
        Value = int32_t(size_t(Next) * Stride * 4) + (Kind[size_t(Next)] != skLive ? VIdle : 0) +
                (Accept ? VAccept : 0);
    }
    Table[size_t(State) * Stride + size_t(Cls)] = Value;
    return Value;
}

// Per thread: the automata of the last patterns searched, newest first, and the states failed
// candidates had at each position of the window.
struct TThreadAutomata {
    std::vector<std::unique_ptr<TAutomaton>> Cache;
    std::vector<uint64_t> Seen;  // search stamp << 32 | state
    uint32_t Stamp = 0;
};

thread_local TThreadAutomata ThreadAutomata;

TAutomaton* AutomatonFor(const TRegExpPattern& R) {
    auto& Cache = ThreadAutomata.Cache;
    const uint32_t Flags = (R.NotBol ? 1u : 0u) | (R.NotEol ? 2u : 0u) | (R.NewlineAnchor ? 4u : 0u);
    for (size_t K = 0; K < Cache.size(); ++K) {
        if (Cache[K]->Serial != R.Serial || Cache[K]->Flags != Flags) continue;
        std::rotate(Cache.begin(), Cache.begin() + ptrdiff_t(K), Cache.begin() + ptrdiff_t(K) + 1);
        return Cache.front().get();
    }
    auto A = std::make_unique<TAutomaton>();
    A->Serial = R.Serial;
    A->Flags = Flags;
    A->Prepare(R);
    if (Cache.size() >= CachedAutomata) Cache.pop_back();
    Cache.insert(Cache.begin(), std::move(A));
    return Cache.front().get();
}

class TSearch {
public:
    TSearch(TAutomaton& A, const TRegExpPattern& R, const uint8_t* T, int Length, int Stop)
        : A(A), R(R), T(T), Length(Length), Stop(Stop), Words(R.Tables->WordTable.data()),
          Control(RegExpThreadControl()), Charged(A.Work) {}

    // The leftmost match beginning in Start..Last: its start (End receives its longest end), -1 when
    // there is none, -2 when the matcher must go on from Resume.
    int Leftmost(int Start, int Last, bool Skip, int& End, int& Resume);

private:
    // The earliest end of a match beginning in Start..Last; -1 when there is none.
    int EarliestEnd(int Start, int Last, bool Skip);
    // The first position from Pos before Limit with a byte a match can begin with; Limit when none.
    int NextCandidate(int Pos, int Limit) const {
        if (A.SingleStart >= 0) {
            const void* Found = Pos < Limit ? std::memchr(T + Pos, A.SingleStart, size_t(Limit - Pos)) : nullptr;
            return Found ? int(static_cast<const uint8_t*>(Found) - T) : Limit;
        }
        const uint8_t* Admits = R.StartMap.data();
        while (Pos < Limit && !Admits[T[Pos]]) ++Pos;
        return Pos;
    }
    char32_t CtxAt(int Pos) const {
        if (!A.Assertions) return 0;
        if (Pos == 0) return CtxStart;
        const uint8_t C = T[Pos - 1];
        return ((Words[C] & RW_WORD) ? CtxWord : 0) | (C == '\n' ? CtxNewline : 0);
    }
    // Whether a match ends at Stop in State.
    bool AcceptsAtStop(int32_t State) {
        return (A.Next(State, Stop == Length ? A.NumClasses : A.Class[T[Stop]]) & TAutomaton::VAccept) != 0;
    }
    // Charges the bytes scanned since the last poll and the automaton's building, and looks at the
    // cancel flag and the step limit.
    void Poll(int64_t Bytes) {
        Steps += uint64_t(Bytes) / 64 + A.Work - Charged;
        Charged = A.Work;
        if (Control.Cancel && Control.Cancel->load(std::memory_order_relaxed)) throw TStopped{RegExpCancelled};
        if (Steps > Control.StepLimit) throw TStopped{RegExpTooManySteps};
    }
    // Polls when enough has been scanned or built since the last poll.
    void MaybePoll(int Pos, int& Polled) {
        if (Pos - Polled < PollBytes && A.Work - Charged < 1024) return;
        Poll(Pos - Polled);
        Polled = Pos;
    }

    TAutomaton& A;
    const TRegExpPattern& R;
    const uint8_t* T;
    const int Length;
    const int Stop;
    const uint8_t* Words;
    const TRegExpControl Control;
    uint64_t Steps = 0;
    uint64_t Charged;
};

int TSearch::EarliestEnd(int Start, int Last, bool Skip) {
    const int Beginnings = std::min(Last + 1, Stop);  // positions before it may begin a match
    const uint8_t* Class = A.Class.data();
    int32_t State = A.Idle(CtxAt(Start));
    int Polled = Start;
    int Pos = Start;
    for (;;) {
        if (Pos == Last + 1) State = A.WithoutBeginnings(State);
        if (A.Kind[size_t(State)] != skLive) {
            if (A.Kind[size_t(State)] == skDead) return -1;
            if (Skip) {
                // Nothing under way: the next match begins at a byte a match can begin with.
                const int Next = NextCandidate(Pos, Beginnings);
                if (Next >= Beginnings) return -1;
                if (Next > Pos) {
                    Pos = Next;
                    State = A.Idle(CtxAt(Pos));
                }
            }
        }
        if (Pos == Stop) return AcceptsAtStop(State) ? Stop : -1;
        // The automaton's inner loop, up to where beginnings end or the next poll.
        const int Limit = std::min(Pos <= Last ? Beginnings : Stop, Pos + PollBytes);
        const int32_t* Table = A.Table.data();
        int32_t Row = int32_t(size_t(State) * A.Stride);
        int32_t V = 0;
        while (Pos < Limit) {
            V = Table[Row + Class[T[Pos]]];
            if (V & (TAutomaton::VAccept | TAutomaton::VIdle | int32_t(0x80000000))) break;
            Row = V >> 2;
            ++Pos;
        }
        State = A.StateOfRow(Row);
        if (Pos < Limit) {
            if (V == Unknown) V = A.Next(State, Class[T[Pos]]);
            if (V & TAutomaton::VAccept) return Pos;
            State = A.StateOfValue(V);
            ++Pos;
        }
        MaybePoll(Pos, Polled);
    }
}

int TSearch::Leftmost(int Start, int Last, bool Skip, int& End, int& Resume) {
    TThreadAutomata& Work = ThreadAutomata;
    if (++Work.Stamp == 0) {
        std::fill(Work.Seen.begin(), Work.Seen.end(), 0);
        Work.Stamp = 1;
    }
    const uint64_t Stamp = uint64_t(Work.Stamp) << 32;
    // The states of failed candidates are remembered over the first stretch of a long window only.
    const int Remembered = int(std::min<int64_t>(Stop, int64_t(Start) + SeenPositions));
    if (Work.Seen.size() < size_t(Remembered - Start) + 1) Work.Seen.resize(size_t(Remembered - Start) + 1, 0);
    uint64_t* Seen = Work.Seen.data() - Start;
    const uint8_t* Class = A.Class.data();
    int Until = Last;
    bool EndKnown = false;
    int64_t Failed = 0;  // bytes scanned by candidates without a match
    for (int Begin = Start; Begin <= Until; ++Begin) {
        if (Skip) {
            Begin = NextCandidate(Begin, std::min(Until + 1, Stop));
            if (Begin > Until || Begin == Stop) break;
        }
        // Failed candidates that scan far: the earliest end of a match bounds the candidates (and a
        // window without one is done), and past a budget the matcher takes over.
        if (!EndKnown && Failed > 4 * int64_t(Begin - Start) + 1024) {
            const int Earliest = EarliestEnd(Begin, Last, Skip);
            if (Earliest < 0) return -1;
            Until = std::min(Last, Earliest);
            EndKnown = true;
        }
        if (EndKnown && Failed > 8 * int64_t(Stop - Start) + 4096) {
            Resume = Begin;
            return -2;
        }
        int32_t Row = int32_t(size_t(A.Anchored(CtxAt(Begin))) * A.Stride);
        const int32_t* Table = A.Table.data();
        int Longest = -1;
        int Pos = Begin;
        int Polled = Begin;
        for (;; ++Pos) {
            if (Pos == Stop) {
                if (AcceptsAtStop(A.StateOfRow(Row))) Longest = Stop;
                break;
            }
            // A failed candidate was here in this state: nothing ends from here on.
            if (Pos < Remembered) {
                if (Pos > Begin && Seen[Pos] == (Stamp | uint32_t(Row))) break;
                Seen[Pos] = Stamp | uint32_t(Row);
            }
            int32_t V = Table[Row + Class[T[Pos]]];
            if (V == Unknown) {
                V = A.Next(A.StateOfRow(Row), Class[T[Pos]]);
                Table = A.Table.data();
                MaybePoll(Pos, Polled);
            }
            if (V & TAutomaton::VAccept) Longest = Pos;
            Row = V >> 2;
            // Without beginnings, the only state with nothing under way is the dead one.
            if (V & TAutomaton::VIdle) {
                ++Pos;
                break;
            }
            if ((Pos & 0xFFFF) == 0) MaybePoll(Pos, Polled);
        }
        if (Longest >= 0) {
            End = Longest;
            return Begin;
        }
        Failed += Pos - Begin + 1;
        Poll(Pos - Polled + 1);
    }
    if (!EndKnown) return -1;
    // A match was seen to end, so some candidate has one: only a fault of the automaton comes here.
    Resume = Start;
    return -2;
}

// The thread's automaton of the pattern when the automaton can search it, else null.
TAutomaton* UsableAutomaton(const TRegExpPattern& R) {
    if (!R.UseAutomaton || R.Serial == 0 || R.Tables == nullptr) return nullptr;
    TAutomaton* A = AutomatonFor(R);
    return A->Usable ? A : nullptr;
}

}  // namespace

bool RegExpAutomatonUsable(const TRegExpPattern& R) {
    return UsableAutomaton(R) != nullptr;
}

int RegExpAutomatonSearch(const TRegExpPattern& R, const uint8_t* Text, int Length, int Start, int Last,
                          int Stop, bool Skip, int& End, int& Resume) {
    Resume = Start;
    TAutomaton* const Usable = UsableAutomaton(R);
    if (!Usable) return RegExpAutomatonDeclined;
    TAutomaton& A = *Usable;
    TSearch Search(A, R, Text, Length, Stop);
    try {
        const int Found = Search.Leftmost(Start, Last, Skip, End, Resume);
        return Found >= 0 ? Found : Found == -1 ? RegExpNoMatch : RegExpAutomatonDeclined;
    } catch (const TStopped& Stopped) {
        return Stopped.Code;
    } catch (const TOverflow&) {
        // Too many states for this text: the matcher answers, and a pattern that keeps overflowing is
        // left to it.
        A.Reset();
        if (++A.Overflows >= MaxOverflows) A.Usable = false;
        return RegExpAutomatonDeclined;
    } catch (const std::bad_alloc&) {
        A.Reset();
        A.Usable = false;
        return RegExpAutomatonDeclined;
    }
}
