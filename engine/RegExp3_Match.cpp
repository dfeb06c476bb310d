// The first-character map, the leftmost search and the backtracking matcher.
//
// Where the longest match is wanted and the pattern has no back-references, the search asks the
// automaton of RegExp3_Dfa.cpp first; the matcher then only fills the group registers of the match it
// found (when the caller wants them), or searches on where the automaton gave up.
//
// The matcher explores every way the byte code can match at a position and keeps the longest (the
// first found among equally long ones), unless a succeed operation ends it at once. The failure stack
// holds two kinds of entries: alternatives to resume (byte-code position and text position) and the
// old values of registers and loop counters changed since, which are restored on the way back. A value
// is saved only while some alternative is pending: with none left, a failure ends the match anyway.
//
// Without back-references, what can happen from a point of the byte code at a text position depends only
// on the counts of the counted loops around it (and, when the first match is taken, on whether each
// loop's iteration began at that position), not on how the matcher got there. A search therefore
// remembers the (jump target, counts, text position) states it has been at, and fails at once when it
// comes back to one: everything from there has been tried already, at this start position or at an
// earlier one that found nothing. Every state is entered at most once per search, so the time is linear
// in the text for a fixed pattern; the constant is the number of jump targets times the count
// combinations, which two rules keep small:
//   - An interval over one byte test is a bounded run without a counter (ro_repeat_test).
//   - When the longest match is wanted, a count of a bounded loop at or above its minimum is dominated
//     by a smaller one (more iterations still allowed, none still owed), so the memo keeps the smallest
//     count per state and fails a larger one. Greedy loops reach a position first with their smallest
//     count, so (.+ ){1,40} costs about what (.+ )+ does.
// The head of a loop over a one-byte test counts as visited at every position of the run it consumed:
// from any of them the run ends at the same place, and a later entry scans only up to the first position
// already visited, trying only the shorter runs that are new. Quadratic rescans of long runs (.*.*x) are
// so avoided.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "engine/RegExp3.h"
#include "engine/RegExp3_Code.h"
#include "engine/RegExp3_Dfa.h"

using namespace RegExpCode;

namespace {

enum TEntryKind : int32_t {
    ekChoice,    // resume at Index with text position Value
    ekRange,     // resume at Index with text positions Value, Value - 1, ... down to the ekRangeLow
    ekRangeLow,  //   entry right below, whose Value is the lowest
    ekDummy,     // fail further
    ekDropped,   // an alternative taken back by pop_failure_jump
    ekStart,     // group Index started at Value
    ekEnd,       // group Index ended at Value
    ekCell       // counter cell Index was Value
};

struct TEntry {
    int32_t Kind;
    int32_t Index;
    int32_t Value;
};

// The states a search has been at, numbered row x (text length + 1) + position. A bit per state while
// that fits MemoMaxBits, else a hash set of the states actually visited (patterns whose counted loops
// have many combinations of counts), which stops growing at MemoMaxSlots: beyond it states are no
// longer remembered, which costs time, never an answer. Entries carry the number of the search that
// wrote them, so a new search starts empty without clearing anything.
class TMemo {
public:
    // Starts a search over States states.
    void Start(uint64_t States);
    // Whether State was marked in this search; marks it.
    bool TestAndSet(uint64_t State) { return Dense ? DenseWord(State, true) : SparseFind(State, true); }
    // Gives back storage above a few megabytes, which only rare patterns need.
    void Trim() {
        if (Bits.size() * 12 > TrimBytes) {
            std::vector<uint64_t>().swap(Bits);
            std::vector<uint32_t>().swap(Uses);
        }
        if (Slots.size() * 12 > TrimBytes) {
            std::vector<uint64_t>().swap(Slots);
            std::vector<uint32_t>().swap(SlotUses);
        }
    }
    static constexpr size_t TrimBytes = size_t(4) << 20;

private:
    bool DenseWord(uint64_t State, bool Set);
    bool SparseFind(uint64_t State, bool Insert);
    void Grow();
    uint32_t NextUse();

    bool Dense = true;
    uint32_t Use = 0;
    std::vector<uint64_t> Bits;   // dense: the bits
    std::vector<uint32_t> Uses;   // per word of Bits / per slot of Slots: the search that wrote it
    std::vector<uint64_t> Slots;  // sparse: state + 1 per slot
    std::vector<uint32_t> SlotUses;
    size_t Count = 0;
};

constexpr uint64_t MemoMaxBits = uint64_t(1) << 26;
constexpr size_t MemoMaxSlots = size_t(1) << 21;

uint32_t TMemo::NextUse() {
    if (++Use == 0) {
        std::fill(Uses.begin(), Uses.end(), 0);
        std::fill(SlotUses.begin(), SlotUses.end(), 0);
        Use = 1;
    }
    return Use;
}

void TMemo::Start(uint64_t States) {
    NextUse();
    Dense = States <= MemoMaxBits;
    Count = 0;
    if (Dense) {
        const size_t Words = size_t((States + 63) / 64);
        if (Bits.size() < Words) {
            Bits.resize(Words);
            Uses.resize(Words, 0);
        }
    } else if (Slots.empty()) {
        Slots.resize(size_t(1) << 12);
        SlotUses.resize(Slots.size(), 0);
    }
}

bool TMemo::DenseWord(uint64_t State, bool Set) {
    const size_t Index = size_t(State >> 6);
    if (Uses[Index] != Use) {
        Uses[Index] = Use;
        Bits[Index] = 0;
    }
    const uint64_t Mask = uint64_t(1) << (State & 63);
    const bool Was = (Bits[Index] & Mask) != 0;
    if (Set) Bits[Index] |= Mask;
    return Was;
}

bool TMemo::SparseFind(uint64_t State, bool Insert) {
    const size_t Mask = Slots.size() - 1;
    size_t H = size_t((State * 0x9E3779B97F4A7C15ull) >> 20) & Mask;
    while (SlotUses[H] == Use) {
        if (Slots[H] == State + 1) return true;
        H = (H + 1) & Mask;
    }
    if (!Insert) return false;
    if ((Count + 1) * 2 > Slots.size()) {
        if (Slots.size() >= MemoMaxSlots) return false;
        Grow();
        return SparseFind(State, true);
    }
    SlotUses[H] = Use;
    Slots[H] = State + 1;
    ++Count;
    return false;
}

void TMemo::Grow() {
    std::vector<uint64_t> Old;
    Old.reserve(Count);
    for (size_t K = 0; K < Slots.size(); ++K)
        if (SlotUses[K] == Use) Old.push_back(Slots[K] - 1);
    Slots.assign(Slots.size() * 2, 0);
    SlotUses.assign(Slots.size(), 0);
    Count = 0;
    for (uint64_t State : Old) SparseFind(State, true);
}

// The smallest loop count a search has been at each dominance state with (see NumberMemoRows in
// RegExp3_Compile.cpp). Dense, so it is used only while it fits CountMemoMaxStates; beyond that the
// search keeps every count apart in TMemo.
class TCountMemo {
public:
    // Starts a search over States states; false when they do not fit.
    bool Start(uint64_t States) {
        if (States > CountMemoMaxStates) return false;
        if (++Use == 0) {
            std::fill(Uses.begin(), Uses.end(), 0);
            Use = 1;
        }
        if (Counts.size() < States) {
            Counts.resize(size_t(States));
            Uses.resize(size_t(States), 0);
        }
        return true;
    }
    // Whether State was reached before with a count at most Count; records Count otherwise.
    bool Dominated(uint64_t State, int32_t Count) {
        const size_t I = size_t(State);
        if (Uses[I] == Use && Counts[I] <= Count) return true;
        Uses[I] = Use;
        Counts[I] = Count;
        return false;
    }

    void Trim() {
        if (Counts.size() * 8 <= TMemo::TrimBytes) return;
        std::vector<int32_t>().swap(Counts);
        std::vector<uint32_t>().swap(Uses);
    }

private:
    static constexpr uint64_t CountMemoMaxStates = uint64_t(1) << 21;
    uint32_t Use = 0;
    std::vector<int32_t> Counts;
    std::vector<uint32_t> Uses;
};

// Per thread: compiles and searches of other threads never touch it.
struct TWorkspace {
    std::vector<TEntry> Stack;
    std::vector<int32_t> Starts, Ends, BestStarts, BestEnds, Cells;
    TMemo Memo;
    TCountMemo CountMemo;
    size_t Limit = RegExpFailureStackLimit;
};

struct TGiveUp {};
struct TCancelled {};
struct TOutOfSteps {};

thread_local TRegExpControl ThreadControl;

// The stack's first size, so that ordinary searches never grow it.
constexpr size_t InitialStackEntries = 2 * 2000 * 19;

TWorkspace& ThreadWorkspace() {
    thread_local TWorkspace Workspace;
    if (Workspace.Stack.capacity() < InitialStackEntries) Workspace.Stack.reserve(InitialStackEntries);
    return Workspace;
}

// A search that needed a far larger stack or memo leaves the thread with the ordinary sizes again: four
// search threads must not each keep tens of megabytes.
void ReleaseLargeStack(TWorkspace& W) {
    W.Memo.Trim();
    W.CountMemo.Trim();
    if (W.Stack.capacity() <= 4 * InitialStackEntries) return;
    std::vector<TEntry>().swap(W.Stack);
    W.Stack.reserve(InitialStackEntries);
}

// Runs a matcher job on the thread's workspace: giving up and running out of memory become -2.
template <class TJob>
int WithWorkspace(TJob Job) {
    TWorkspace& W = ThreadWorkspace();
    int Result;
    try {
        Result = Job(W);
    } catch (const TGiveUp&) {
        Result = RegExpGaveUp;
    } catch (const std::bad_alloc&) {
        Result = RegExpGaveUp;
    } catch (const TCancelled&) {
        Result = RegExpCancelled;
    } catch (const TOutOfSteps&) {
        Result = RegExpTooManySteps;
    }
    ReleaseLargeStack(W);
    return Result;
}

// The end of the run of bytes from Pos (before Stop) that the one-byte test at Code accepts. The test
// is chosen once per run: this is the inner loop of every repetition of a single byte.
int32_t RunEnd(const uint8_t* Code, const uint8_t* T, int32_t Pos, int32_t Stop, const uint8_t* Tr,
               const uint8_t* Words) {
    auto Run = [&](auto Accepts) {
        while (Pos < Stop && Accepts(T[Pos])) ++Pos;
        return Pos;
    };
    const uint8_t* Map = Code + 1;
    switch (Code[0]) {
        case ro_exactn:
            return Run([&](uint8_t C) { return Tr[C] == Code[2]; });
        case ro_anychar:
            return Run([&](uint8_t C) { return Tr[C] != 0; });
        case ro_charset:
            return Run([&](uint8_t C) { return InMap(Map, Tr[C]); });
        case ro_charset_not:
            return Run([&](uint8_t C) { return !InMap(Map, Tr[C]); });
        case ro_wordchar:
            return Run([&](uint8_t C) { return (Words[C] & RW_WORD) != 0; });
        case ro_notwordchar:
            return Run([&](uint8_t C) { return (Words[C] & RW_WORD) == 0; });
        case ro_digit:
            return Run([&](uint8_t C) { return (Words[C] & RW_DIGIT) != 0; });
        case ro_notdigit:
            return Run([&](uint8_t C) { return (Words[C] & RW_DIGIT) == 0; });
        case ro_space:
            return Run([&](uint8_t C) { return (Words[C] & RW_SPACE) != 0; });
        case ro_notspace:
            return Run([&](uint8_t C) { return (Words[C] & RW_SPACE) == 0; });
        default:
            return Pos;
    }
}

class TMatcher {
public:
    TMatcher(const TRegExpPattern& Record, const uint8_t* Text, int Length, int Stop, TWorkspace& W)
        : R(Record),
          Code(Record.Buffer.data()),
          CodeEnd(Record.Used),
          Tr(Record.Translate.data()),
          Words(Record.Tables->WordTable.data()),
          T(Text),
          Length(Length),
          Stop(Stop),
          W(W),
          NumRegs(std::min(Record.NumGroups, RegExpMaxGroups) + 1),
          KeepRegs(!Record.NoSub),
          Control(ThreadControl) {
        W.Starts.resize(size_t(NumRegs));
        W.Ends.resize(size_t(NumRegs));
        W.BestStarts.resize(size_t(NumRegs));
        W.BestEnds.resize(size_t(NumRegs));
        W.Cells.resize(size_t(Record.NumCells));
        StartMemo();
    }

    // The end of the match at Start, -1 when there is none. Raises TGiveUp and ERegExp. Successive runs
    // of one matcher must be at start positions where no earlier run found a match.
    int Run(int Start);
    void CopyRegisters(int Start, int End, TRegExpRegisters& Regs) const;

private:
    void Push(int32_t Kind, int32_t Index, int32_t Value) {
        if (W.Stack.size() >= W.Limit) throw TGiveUp{};
        W.Stack.push_back(TEntry{Kind, Index, Value});
    }
    void PushChoice(int32_t Kind, int32_t Pc, int32_t Pos) {
        Push(Kind, Pc, Pos);
        ++Choices;
    }
    void Set(int32_t Kind, std::vector<int32_t>& Array, int32_t Index, int32_t Value) {
        if (Choices > 0) Push(Kind, Index, Array[size_t(Index)]);
        Array[size_t(Index)] = Value;
    }
    bool Backtrack(int32_t& Pc, int32_t& Pos);
    void DropNewestChoice();
    void StartMemo();
    // Where the memo keeps Pc with the current counts of the loops around it, as seen at Pos.
    struct TMemoKey {
        int64_t Row = -1;        // -1: Pc is not remembered
        bool Dominance = false;  // Row is a dominance row, Count the innermost loop's count
        int32_t Count = 0;
    };
    TMemoKey MemoKeyAt(int32_t Pc, int32_t Pos) const {
        TMemoKey Result;
        const int32_t Slot = R.MemoSlots[size_t(Pc)];
        if (Slot < 0) return Result;
        const int64_t* Key = R.MemoKeys.data() + Slot;
        const int64_t Loops = Key[1];
        const int64_t* Dominance = Key + 2 + 4 * Loops;
        if (Dominated && Dominance[0] >= 0) {
            const int32_t Count = W.Cells[size_t(Key[2 + 4 * (Loops - 1)])];
            if (Count >= Dominance[1]) {
                int64_t Row = Dominance[0];
                for (int64_t K = 0; K + 1 < Loops; ++K) {
                    const int64_t* Loop = Key + 2 + 4 * K;
                    Row += std::min<int64_t>(W.Cells[size_t(Loop[0])], Loop[1] - 1) * Loop[2];
                }
                Result.Row = Row;
                Result.Dominance = true;
                Result.Count = Count;
                return Result;
            }
        }
        int64_t Row = Key[0];
        for (int64_t K = 0; K < Loops; ++K) {
            const int64_t* Loop = Key + 2 + 4 * K;
            const size_t Cell = size_t(Loop[0]);
            Row += std::min<int64_t>(W.Cells[Cell], Loop[1] - 1) * Loop[2];
            if (Loop[3] != 0 && W.Cells[Cell + 1] == Pos) Row += Loop[3];
        }
        Result.Row = Row;
        return Result;
    }
    // Whether the state was tried before (or one that dominates it); marks it.
    bool TestAndSet(const TMemoKey& Key, int32_t Pos) {
        const uint64_t State = uint64_t(Key.Row) * uint64_t(Length + 1) + uint64_t(Pos);
        return Key.Dominance ? W.CountMemo.Dominated(State, Key.Count) : W.Memo.TestAndSet(State);
    }
    // Whether the matcher has been at Pc with Pos (and these counts) before; marks it.
    bool Revisit(int32_t Pc, int32_t Pos) {
        const TMemoKey Key = MemoKeyAt(Pc, Pos);
        return Key.Row >= 0 && TestAndSet(Key, Pos);
    }
    // The end of the run of bytes from Pos that the one-byte test after the loop head at Head accepts,
    // as far as the head has not been at them before (with the memo); marks the head at each. Every
    // iteration began before Pos, so the key is the same at all of them.
    int32_t NewRunEnd(int32_t Head, const uint8_t* Test, int32_t Pos) {
        const TMemoKey Key = Memo ? MemoKeyAt(Head, Pos + 1) : TMemoKey();
        if (Key.Row < 0) return RunEnd(Test, T, Pos, Stop, Tr, Words);
        while (Pos < Stop && ByteTest(Test, T[Pos], Tr, Words)) {
            ++Pos;
            if (TestAndSet(Key, Pos)) {
                Covered = true;
                break;
            }
        }
        return Pos;
    }
    // Records a match ending at Pos; true when no longer one can exist.
    bool Found(int32_t Pos);
    bool IsWord(int32_t Pos) const { return (Words[T[Pos]] & RW_WORD) != 0; }
    // Outside the text there are no word characters.
    bool AtWordBoundary(int32_t Pos) const {
        return (Pos > 0 && IsWord(Pos - 1)) != (Pos < Length && IsWord(Pos));
    }
    // Scanning or comparing bytes costs far less per byte than an operation: a step per 64 bytes.
    void ChargeBytes(int64_t Bytes) { Steps += uint64_t(Bytes) / 64; }
    // Counts one step; every 1,024 steps looks at the cancel flag and the step limit.
    void Step() {
        if (++Steps < NextPoll) return;
        NextPoll = Steps + 1024;
        if (Control.Cancel && Control.Cancel->load(std::memory_order_relaxed)) throw TCancelled{};
        if (Steps > Control.StepLimit) throw TOutOfSteps{};
    }
    bool SameText(int32_t From, int32_t Pos, int32_t Count) const {
        for (int32_t K = 0; K < Count; ++K)
            if (Tr[T[From + K]] != Tr[T[Pos + K]]) return false;
        return true;
    }

    const TRegExpPattern& R;
    const uint8_t* Code;
    const int32_t CodeEnd;
    const uint8_t* Tr;
    const uint8_t* Words;
    const uint8_t* T;
    const int32_t Length;
    const int32_t Stop;
    TWorkspace& W;
    const int32_t NumRegs;
    const bool KeepRegs;
    const TRegExpControl Control;
    uint64_t Steps = 0;
    uint64_t NextPoll = 1024;
    int32_t Choices = 0;
    int32_t Best = -1;
    bool Memo = false;
    bool Dominated = false;  // the dominance rows are in use
    bool Covered = false;    // NewRunEnd stopped where the head had been before
};

bool TMatcher::Found(int32_t Pos) {
    if (Pos > Best) {
        Best = Pos;
        if (KeepRegs) {
            W.Ends[0] = Pos;
            W.BestStarts = W.Starts;
            W.BestEnds = W.Ends;
        }
    }
    return Pos == Stop;
}

bool TMatcher::Backtrack(int32_t& Pc, int32_t& Pos) {
    while (!W.Stack.empty()) {
        const TEntry E = W.Stack.back();
        W.Stack.pop_back();
        switch (E.Kind) {
            case ekStart:
                W.Starts[size_t(E.Index)] = E.Value;
                break;
            case ekEnd:
                W.Ends[size_t(E.Index)] = E.Value;
                break;
            case ekCell:
                W.Cells[size_t(E.Index)] = E.Value;
                break;
            case ekDummy:
                --Choices;
                break;
            case ekChoice:
                --Choices;
                Pc = E.Index;
                Pos = E.Value;
                return true;
            case ekRange: {
                // Positions where the operation that follows the loop cannot even begin are passed over.
                const int32_t Low = W.Stack.back().Value;
                int32_t Next = E.Value;
                const uint8_t* After = Code + E.Index;
                if (E.Index < CodeEnd && (After[0] == ro_exactn || IsByteTestOp(After[0])))
                    while (Next >= Low && (Next >= Stop || !ByteTest(After, T[Next], Tr, Words))) --Next;
                ChargeBytes(E.Value - Next);
                if (Next < Low) {
                    W.Stack.pop_back();
                    --Choices;
                    break;
                }
                Pc = E.Index;
                Pos = Next;
                if (Next > Low) {
                    W.Stack.push_back(TEntry{ekRange, E.Index, Next - 1});
                } else {
                    W.Stack.pop_back();
                    --Choices;
                }
                return true;
            }
            default:
                break;
        }
    }
    return false;
}

void TMatcher::StartMemo() {
    if (R.MemoRows == 0) return;
    W.Memo.Start(uint64_t(R.MemoRows) * uint64_t(Length + 1));
    Dominated =
        R.MemoDominanceRows > 0 && W.CountMemo.Start(uint64_t(R.MemoDominanceRows) * uint64_t(Length + 1));
    Memo = true;
}

// The saved values above the alternative stay: older alternatives still need them restored.
void TMatcher::DropNewestChoice() {
    for (size_t K = W.Stack.size(); K-- > 0;) {
        TEntry& E = W.Stack[K];
        if (E.Kind == ekChoice || E.Kind == ekRange || E.Kind == ekDummy) {
            if (E.Kind == ekRange) W.Stack[K - 1].Kind = ekDropped;
            E.Kind = ekDropped;
            --Choices;
            return;
        }
    }
}

int TMatcher::Run(int Start) {
    W.Stack.clear();
    // Runs are tried at most text positions; most patterns have no groups and no counters.
    W.Starts[0] = Start;
    W.Ends[0] = -1;
    if (NumRegs > 1) {
        std::fill(W.Starts.begin() + 1, W.Starts.end(), -1);
        std::fill(W.Ends.begin() + 1, W.Ends.end(), -1);
    }
    if (!W.Cells.empty()) std::fill(W.Cells.begin(), W.Cells.end(), 0);
    int32_t Pc = 0;
    int32_t Pos = Start;
    for (;;) {
        Step();
        if (Memo && Revisit(Pc, Pos)) {
            // Already tried from here: fail.
        } else if (Pc >= CodeEnd) {
            if (Found(Pos)) return Best;
        } else {
            const uint8_t* Op = Code + Pc;
            switch (Op[0]) {
                case ro_no_op:
                    ++Pc;
                    continue;
                case ro_succeed:
                    Found(Pos);
                    return Best;
                case ro_exactn: {
                    const int32_t Count = Op[1];
                    if (Stop - Pos < Count) break;
                    int32_t K = 0;
                    while (K < Count && Tr[T[Pos + K]] == Op[2 + K]) ++K;
                    if (K < Count) break;
                    Pos += Count;
                    Pc += 2 + Count;
                    continue;
                }
                case ro_anychar:
                case ro_charset:
                case ro_charset_not:
                case ro_wordchar:
                case ro_notwordchar:
                case ro_digit:
                case ro_notdigit:
                case ro_space:
                case ro_notspace:
                    if (Pos >= Stop || !ByteTest(Op, T[Pos], Tr, Words)) break;
                    ++Pos;
                    Pc += Op[0] == ro_charset || Op[0] == ro_charset_not ? 33 : 1;
                    continue;
                case ro_start_memory:
                    Set(ekStart, W.Starts, Op[1], Pos);
                    Pc += 2;
                    continue;
                case ro_stop_memory:
                    Set(ekEnd, W.Ends, Op[1], Pos);
                    Pc += 2;
                    continue;
                case ro_duplicate: {
                    const int32_t From = W.Starts[Op[1]], To = W.Ends[Op[1]];
                    if (From < 0 || To < From || Stop - Pos < To - From) break;
                    // Comparisons and the scans of runs are charged by their bytes: the step limit bounds the
                    // time, not the count of operations.
                    ChargeBytes(To - From);
                    if (!SameText(From, Pos, To - From)) break;
                    Pos += To - From;
                    Pc += 2;
                    continue;
                }
                case ro_begline:
                    if (Pos == 0 ? R.NotBol : !(R.NewlineAnchor && T[Pos - 1] == '\n')) break;
                    ++Pc;
                    continue;
                case ro_endline:
                    if (Pos == Length ? R.NotEol : !(R.NewlineAnchor && T[Pos] == '\n')) break;
                    ++Pc;
                    continue;
                case ro_begbuf:
                    if (Pos != 0) break;
                    ++Pc;
                    continue;
                case ro_endbuf:
                    if (Pos != Length) break;
                    ++Pc;
                    continue;
                case ro_jump:
                case ro_jump_past_alt:
                case ro_dummy_failure_jump:
                    Pc = Jump5Target(Code, Pc);
                    continue;
                case ro_on_failure_jump:
                    PushChoice(ekChoice, Jump5Target(Code, Pc), Pos);
                    Pc += 5;
                    continue;
                case ro_on_failure_keep_string_jump: {
                    // Where the run reaches a position the head has been at, the exits from there on
                    // are being tried already: only the shorter runs are new.
                    const int32_t From = Pos;
                    const int32_t Exit = Jump5Target(Code, Pc);
                    Covered = false;
                    Pos = NewRunEnd(Pc, Op + 5, Pos);
                    ChargeBytes(Pos - From);
                    if (Covered) --Pos;
                    if (Pos > From) {
                        Push(ekRangeLow, 0, From);
                        PushChoice(ekRange, Exit, Pos - 1);
                    }
                    Pc = Exit;
                    continue;
                }
                case ro_pop_failure_jump:
                    DropNewestChoice();
                    Pc = Jump5Target(Code, Pc);
                    continue;
                case ro_maybe_pop_jump: {
                    // The loop's head is on_failure_jump END followed by the byte test; its alternative
                    // is the newest entry, as the test pushes nothing.
                    const int32_t Head = Jump5Target(Code, Pc);
                    const int32_t End = Jump5Target(Code, Head);
                    const uint8_t* Test = Code + Head + 5;
                    if (!W.Stack.empty() && W.Stack.back().Kind == ekChoice && W.Stack.back().Index == End) {
                        W.Stack.pop_back();
                        --Choices;
                    }
                    // From any position of the run the loop ends where it ends from here: where it meets a
                    // position its head has been at, that end is being tried already.
                    Covered = false;
                    const int32_t From = Pos;
                    Pos = NewRunEnd(Head, Test, Pos);
                    ChargeBytes(Pos - From);
                    if (Covered) break;
                    Pc = End;
                    continue;
                }
                case ro_push_dummy_failure:
                    PushChoice(ekDummy, 0, 0);
                    ++Pc;
                    continue;
                case ro_succeed_n: {
                    const int32_t Cell = ReadU16(Op + 5), Min = ReadU16(Op + 7), Max = ReadU16(Op + 9);
                    const int32_t Done = W.Cells[size_t(Cell)];
                    const int32_t End = Pc + 11 + ReadI32(Op + 1);
                    if (Max != RegExpUnbounded && Done >= Max) {
                        Pc = End;
                        continue;
                    }
                    if (Done >= Min) PushChoice(ekChoice, End, Pos);
                    Set(ekCell, W.Cells, Cell + 1, Pos);
                    Pc += 11;
                    continue;
                }
                case ro_jump_n: {
                    const int32_t Cell = ReadU16(Op + 5), Min = ReadU16(Op + 7);
                    const int32_t Done = W.Cells[size_t(Cell)] + 1;
                    Set(ekCell, W.Cells, Cell, Done);
                    if (Done >= Min && Pos == W.Cells[size_t(Cell) + 1])
                        Pc += 9;
                    else
                        Pc = Pc + 9 + ReadI32(Op + 1);
                    continue;
                }
                case ro_set_number_at:
                    Set(ekCell, W.Cells, ReadU16(Op + 1), ReadU16(Op + 3));
                    Pc += 5;
                    continue;
                case ro_repeat_test: {
                    const int32_t Min = ReadU16(Op + 1), Max = ReadU16(Op + 3);
                    const int32_t Limit =
                        Max == RegExpUnbounded ? Stop : int32_t(std::min<int64_t>(Stop, int64_t(Pos) + Max));
                    const int32_t From = Pos;
                    Pos = RunEnd(Op + 5, T, Pos, Limit, Tr, Words);
                    ChargeBytes(Pos - From);
                    if (Pos - From < Min) break;
                    const int32_t Next = Pc + OpSize(Op);
                    if (Pos > From + Min) {
                        Push(ekRangeLow, 0, From + Min);
                        PushChoice(ekRange, Next, Pos - 1);
                    }
                    Pc = Next;
                    continue;
                }
                case ro_wordbeg:
                    if (Pos >= Length || !IsWord(Pos) || (Pos > 0 && IsWord(Pos - 1))) break;
                    ++Pc;
                    continue;
                case ro_wordend:
                    if (Pos == 0 || !IsWord(Pos - 1) || (Pos < Length && IsWord(Pos))) break;
                    ++Pc;
                    continue;
                case ro_wordbound:
                    if (!AtWordBoundary(Pos)) break;
                    ++Pc;
                    continue;
                case ro_notwordbound:
                    if (AtWordBoundary(Pos)) break;
                    ++Pc;
                    continue;
                default:
                    throw ERegExp(RegExpInternalErrorText);
            }
        }
        if (!Backtrack(Pc, Pos)) return Best;
    }
}

void TMatcher::CopyRegisters(int Start, int End, TRegExpRegisters& Regs) const {
    Regs.NumRegs = NumRegs;
    Regs.Starts.assign(size_t(NumRegs), -1);
    Regs.Ends.assign(size_t(NumRegs), -1);
    if (KeepRegs) {
        for (int32_t K = 1; K < NumRegs; ++K) {
            if (W.BestStarts[size_t(K)] < 0 || W.BestEnds[size_t(K)] < W.BestStarts[size_t(K)]) continue;
            Regs.Starts[size_t(K)] = W.BestStarts[size_t(K)];
            Regs.Ends[size_t(K)] = W.BestEnds[size_t(K)];
        }
    }
    Regs.Starts[0] = Start;
    Regs.Ends[0] = End;
}

// Adds to the map the translated form of every byte the one-byte test at Op accepts.
void AddTestToFastmap(const uint8_t* Op, TRegExpPattern& R) {
    const uint8_t* Words = R.Tables->WordTable.data();
    for (int C = 0; C < 256; ++C)
        if (ByteTest(Op, uint8_t(C), R.Translate.data(), Words)) R.Fastmap[R.Translate[size_t(C)]] = 1;
}

}  // namespace

TRegExpControlScope::TRegExpControlScope(const TRegExpControl& Control) : FPrevious(ThreadControl) {
    ThreadControl = Control;
}

TRegExpControlScope::~TRegExpControlScope() {
    ThreadControl = FPrevious;
}

TRegExpControl RegExpThreadControl() {
    return ThreadControl;
}

void SetRegExpThreadStackLimit(size_t Entries) {
    ThreadWorkspace().Limit = Entries == 0 ? RegExpFailureStackLimit : Entries;
}

int RegExpCompileFastmap(TRegExpPattern& R) {
    R.Fastmap.fill(0);
    R.CanBeEmpty = false;
    R.FastmapAccurate = false;
    try {
        const uint8_t* Code = R.Buffer.data();
        std::vector<bool> Visited(size_t(R.Used) + 1);
        std::vector<int32_t> Work{0};
        while (!Work.empty() && !R.CanBeEmpty) {
            int32_t Pc = Work.back();
            Work.pop_back();
            // Follow one path until it consumes a byte or can end the match.
            while (!R.CanBeEmpty) {
                if (Pc >= R.Used) {
                    R.CanBeEmpty = true;
                    break;
                }
                if (Visited[size_t(Pc)]) break;
                Visited[size_t(Pc)] = true;
                const uint8_t* Op = Code + Pc;
                if (Op[0] == ro_exactn) {
                    R.Fastmap[Op[2]] = 1;
                    break;
                }
                if (IsByteTestOp(Op[0])) {
                    AddTestToFastmap(Op, R);
                    break;
                }
                if (Op[0] == ro_repeat_test) {
                    if (OpSize(Op) == 0) throw ERegExp(RegExpInternalErrorText);
                    if (Op[5] == ro_exactn)
                        R.Fastmap[Op[7]] = 1;
                    else
                        AddTestToFastmap(Op + 5, R);
                    if (ReadU16(Op + 1) > 0) break;
                    Pc += OpSize(Op);
                    continue;
                }
                switch (Op[0]) {
                    case ro_succeed:
                    case ro_duplicate:
                        R.CanBeEmpty = true;
                        continue;
                    case ro_jump:
                    case ro_jump_past_alt:
                    case ro_pop_failure_jump:
                    case ro_maybe_pop_jump:
                    case ro_dummy_failure_jump:
                        Pc = JumpTarget(Code, Pc);
                        continue;
                    case ro_on_failure_jump:
                    case ro_on_failure_keep_string_jump:
                    case ro_jump_n:
                        Work.push_back(JumpTarget(Code, Pc));
                        break;
                    case ro_succeed_n:
                        if (ReadU16(Op + 7) == 0) Work.push_back(JumpTarget(Code, Pc));
                        break;
                    default:
                        if (OpSize(Op) == 0) throw ERegExp(RegExpInternalErrorText);
                        break;
                }
                Pc += OpSize(Op);
            }
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    // A byte and its other case compare alike, so a map that admits one admits both.
    if (R.Tables->IgnoreCase) {
        const auto Admitted = R.Fastmap;
        for (int C = 0; C < 256; ++C)
            if (Admitted[size_t(C)] && R.Tables->CasePartner[size_t(C)] != 0)
                R.Fastmap[R.Tables->CasePartner[size_t(C)]] = 1;
    }
    for (int C = 0; C < 256; ++C) R.StartMap[size_t(C)] = R.Fastmap[R.Translate[size_t(C)]];
    R.FastmapAccurate = true;
    return 0;
}

int RegExpMatchAt(const TRegExpPattern& Record, const char* Text, int Length, int Position,
                  TRegExpRegisters* Regs, int Stop) {
    if (Position < 0 || Position > Length || Record.Tables == nullptr) return -1;
    Stop = std::clamp(Stop, Position, Length);
    return WithWorkspace([&](TWorkspace& W) {
        TMatcher Matcher(Record, reinterpret_cast<const uint8_t*>(Text), Length, Stop, W);
        const int End = Matcher.Run(Position);
        if (End < 0) return -1;
        if (Regs) Matcher.CopyRegisters(Position, End, *Regs);
        return End - Position;
    });
}

namespace {

// The one-byte test X when the pattern begins with X+ (X, then a loop over X), else null. A search
// where X+ found no match at a position needs no start later in the run of X: every way to match from
// there is a way from the earlier start, with the loop taking the bytes between.
const uint8_t* LeadingRunTest(const TRegExpPattern& R) {
    const uint8_t* Code = R.Buffer.data();
    if (R.Used < 1 || !(Code[0] == ro_exactn || IsByteTestOp(Code[0]))) return nullptr;
    const int Size = OpSize(Code);
    if (Code[0] == ro_exactn && Code[1] != 1) return nullptr;
    if (Size + 5 + Size > R.Used) return nullptr;
    const uint8_t Head = Code[Size];
    if (Head != ro_on_failure_keep_string_jump && Head != ro_on_failure_jump) return nullptr;
    if (std::memcmp(Code, Code + Size + 5, size_t(Size)) != 0) return nullptr;
    // on_failure_jump heads only the loops that end in maybe_pop_jump back to it.
    if (Head == ro_on_failure_jump &&
        (Size + 5 + Size + 5 > R.Used || Code[Size + 5 + Size] != ro_maybe_pop_jump ||
         Jump5Target(Code, Size + 5 + Size) != Size))
        return nullptr;
    return Code;
}

}  // namespace

int RegExpSearchRange(const TRegExpPattern& Record, const char* Text, int Length, int Start, int Range,
                      TRegExpRegisters* Regs, int Stop) {
    if (Start < 0 || Start > Length || Record.Tables == nullptr) return -1;
    Stop = std::clamp(Stop, Start, Length);
    int Last = int(std::min(int64_t(Start) + std::max(Range, 0), int64_t(Stop)));
    if (Record.Used > 0 && Record.Buffer[0] == ro_begbuf) {
        if (Start > 0) return -1;
        Last = 0;
    }
    const uint8_t* T = reinterpret_cast<const uint8_t*>(Text);
    // Every match ends with one of the last bytes: none starts after the last of them in the window,
    // and none consumes beyond it.
    if (Record.HasLastBytes) {
        int LastByte = Stop - 1;
        while (LastByte >= Start && !Record.LastBytes[T[LastByte]]) --LastByte;
        if (LastByte < Start) return -1;
        Stop = LastByte + 1;
        Last = std::min(Last, LastByte);
    }
    const bool Skip = Record.FastmapAccurate && !Record.CanBeEmpty;
    int Resume = Start;
    if (Record.UseAutomaton) {
        int End = -1;
        const int Found = RegExpAutomatonSearch(Record, T, Length, Start, Last, Stop, Skip, End, Resume);
        if (Found != RegExpAutomatonDeclined) {
            if (Found < 0 || !Regs) return Found;
            if (Record.NoSub || Record.NumGroups == 0) {
                Regs->NumRegs = std::min(Record.NumGroups, RegExpMaxGroups) + 1;
                Regs->Starts.assign(size_t(Regs->NumRegs), -1);
                Regs->Ends.assign(size_t(Regs->NumRegs), -1);
                Regs->Starts[0] = Found;
                Regs->Ends[0] = End;
                return Found;
            }
            // The groups of the match: the matcher at its start, which ends it where the automaton did.
            const int Registers = WithWorkspace([&](TWorkspace& W) {
                TMatcher Matcher(Record, T, Length, Stop, W);
                const int MatchEnd = Matcher.Run(Found);
                if (MatchEnd != End) return RegExpAutomatonDeclined;
                Matcher.CopyRegisters(Found, End, *Regs);
                return Found;
            });
            if (Registers != RegExpAutomatonDeclined) return Registers;
            Resume = Start;
        }
    }
    const uint8_t* Admits = Record.StartMap.data();
    const uint8_t* LeadingRun = LeadingRunTest(Record);
    const uint8_t* Words = Record.Tables->WordTable.data();
    return WithWorkspace([&](TWorkspace& W) {
        TMatcher Matcher(Record, T, Length, Stop, W);
        // With the map, a match needs a byte to begin with: the end of the window is never a candidate.
        const int SkipEnd = std::min(Last + 1, Stop);
        for (int Pos = Resume; Pos <= Last; ++Pos) {
            if (Skip) {
                while (Pos < SkipEnd && !Admits[T[Pos]]) ++Pos;
                if (Pos >= SkipEnd) return -1;
            }
            const int End = Matcher.Run(Pos);
            if (End >= 0) {
                if (Regs) Matcher.CopyRegisters(Pos, End, *Regs);
                return Pos;
            }
            // After X+ failed at Pos, a start later in the run of X would only retry a part of it.
            if (Skip && LeadingRun && ByteTest(LeadingRun, T[Pos], Record.Translate.data(), Words))
                Pos = RunEnd(LeadingRun, T, Pos + 1, SkipEnd, Record.Translate.data(), Words) - 1;
        }
        return -1;
    });
}
