// The pattern compiler: pattern text -> syntax tree -> byte code.
//
// The tree is kept because two decisions need to know what can follow a repetition, which a single
// pass over the text cannot see: whether a loop's body can match the empty string (then it needs the
// counted form, which notices an empty iteration and leaves the loop), and whether a loop over a single
// byte test may finish without leaving alternatives behind (nothing after it can begin with a byte the
// loop consumes, so giving bytes back can never help).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "engine/RegExp3.h"

namespace {

// Nesting deeper than RegExpMaxNesting (groups within groups, repetitions of repetitions) is refused
// with its own message: the code generator recurses once per level, and a thread's stack must hold it.
// Its code lies outside the engine's numbered messages.
constexpr int TooDeepError = -1;

struct TCompileError {
    int Code;
};

enum class TNodeKind : uint8_t {
    Empty,    // matches the empty string
    Char,     // one translated byte (Op)
    Any,      // the dot
    Set,      // a bracket expression: Sets[Index], Negated
    Test,     // a one-byte test of the word table (Op: ro_wordchar .. ro_notspace)
    Assert,   // a zero-width test (Op: ro_begline, ro_wordbound, ...)
    BackRef,  // the text of group Index again
    Group,    // Kids[0] recorded as group Index
    Concat,   // Kids in order
    Alt,      // one of Kids
    Repeat    // Kids[0] from Min to Max times (Max = RegExpUnbounded: no upper bound)
};

struct TNode {
    TNodeKind Kind = TNodeKind::Empty;
    uint8_t Op = 0;
    bool Negated = false;
    int32_t Index = 0;
    int32_t Min = 0;
    int32_t Max = 0;
    int32_t Depth = 1;
    std::vector<int32_t> Kids;
};

// What the text at a point must begin with for a match to go on from there: the raw bytes the first
// consumed byte can be, whether nothing need be consumed at all, and whether a back-reference makes the
// first byte unknowable.
struct TFirst {
    TByteSet Bytes;
    bool Nullable = false;
    bool Unknown = false;
};

// A then B.
TFirst Sequence(const TFirst& A, const TFirst& B) {
    TFirst R = A;
    if (A.Nullable) {
        R.Bytes |= B.Bytes;
        R.Unknown = A.Unknown || B.Unknown;
        R.Nullable = B.Nullable;
    }
    return R;
}

// ---- Parsing ------------------------------------------------------------------------------------------

enum TClassName {
    cnAlnum,
    cnAlpha,
    cnBlank,
    cnCntrl,
    cnDigit,
    cnGraph,
    cnLower,
    cnPrint,
    cnPunct,
    cnSpace,
    cnUpper,
    cnXDigit
};
const char* const ClassNames[] = {"alnum", "alpha", "blank", "cntrl", "digit", "graph",
                                  "lower", "print", "punct", "space", "upper", "xdigit"};

// Whether byte Ch with class bits Cls belongs to the class. Every pattern has a translate table, so
// "upper" and "lower" both stand for every letter.
bool InClass(int Class, int Ch, uint8_t Cls) {
    switch (Class) {
        case cnAlnum:
            return (Cls & (RC_DIGIT | RC_LETTER)) != 0;
        case cnAlpha:
        case cnLower:
        case cnUpper:
            return (Cls & RC_LETTER) != 0;
        case cnBlank:
            return Ch == ' ' || Ch == '\t';
        case cnCntrl:
            return (Cls & RC_CNTRL) != 0;
        case cnDigit:
            return (Cls & RC_DIGIT) != 0;
        case cnGraph:
            return Cls != 0 && (Cls & (RC_CNTRL | RC_SPACE)) == 0;
        case cnPrint:
            return Cls != 0 && (Cls & RC_CNTRL) == 0;
        case cnPunct:
            return (Cls & RC_PUNCT) != 0;
        case cnSpace:
            return (Cls & RC_SPACE) != 0;
        default:
            return (Cls & RC_XDIGIT) != 0;
    }
}

// The class of a name, -1 for none.
int ClassIndex(std::string_view Name) {
    for (int I = cnAlnum; I <= cnXDigit; ++I)
        if (Name == ClassNames[I]) return I;
    return -1;
}

class TParser {
public:
    TParser(const uint8_t* Text, int Length, const TRegExpPattern& Record, std::vector<TNode>& Nodes,
            std::vector<TByteSet>& Sets)
        : P(Text),
          N(Length),
          Tr(Record.Translate),
          Classes(Record.Tables->ClassTable),
          Lead(Record.Tables->LeadByte),
          DoubleByte(std::find(Lead.begin(), Lead.end(), true) != Lead.end()),
          Nodes(Nodes),
          Sets(Sets) {}

    // Parses the whole text; returns the root node. Raises TCompileError.
    int32_t Parse();
    int32_t GroupCount() const { return GroupsOpened; }

private:
    struct TFrame {
        int32_t Group = 0;
        std::vector<int32_t> Alternatives;
        std::vector<int32_t> Items;
        bool LastRepeatable = false;  // Items.back() may take a repetition operator
    };

    int32_t NewNode(TNodeKind Kind) {
        Nodes.emplace_back();
        Nodes.back().Kind = Kind;
        return int32_t(Nodes.size() - 1);
    }
    int32_t NewParent(TNodeKind Kind, std::vector<int32_t> Kids);
    void AddItem(int32_t Node, bool Repeatable);
    void AddChar(uint8_t Raw);
    bool AddCharacterAt(uint8_t Raw);
    void AddOp(TNodeKind Kind, uint8_t Op) { AddItem(NewOpNode(Kind, Op), Kind == TNodeKind::Test); }
    int32_t NewOpNode(TNodeKind Kind, uint8_t Op);
    void ApplyRepeat(int32_t Min, int32_t Max);
    int32_t ConcatItems(TFrame& Frame);
    int32_t CloseAlternatives(TFrame& Frame);
    void ParseRepeatRun(uint8_t First);
    bool ParseInterval(int32_t& Min, int32_t& Max);
    int ParseNumber();
    void ParseBackslash();
    void ParseBracket();
    void ParseCharacterBracket(bool Negated);
    int32_t SetNode(const TByteSet& Set);
    int32_t AnyCharacterNode();
    int32_t CharacterSetNode(const TByteSet& Singles, const std::vector<bool>& Pairs, bool Negated);
    int ParseClassName(int NameStart);
    bool GroupIsOpen(int Group) const;

    const uint8_t* P;
    int N;
    int I = 0;
    const std::array<uint8_t, 256>& Tr;
    const std::array<uint8_t, 256>& Classes;
    const std::array<bool, 256>& Lead;
    // The language has characters of two bytes: the dot and bracket expressions take a whole character.
    const bool DoubleByte;
    std::vector<TNode>& Nodes;
    std::vector<TByteSet>& Sets;
    std::vector<TFrame> Frames;
    int32_t GroupsOpened = 0;
};

int32_t TParser::NewParent(TNodeKind Kind, std::vector<int32_t> Kids) {
    int32_t Depth = 0;
    for (int32_t K : Kids) Depth = std::max(Depth, Nodes[K].Depth);
    if (Depth + 1 > RegExpMaxNesting) throw TCompileError{TooDeepError};
    int32_t Node = NewNode(Kind);
    Nodes[Node].Depth = Depth + 1;
    Nodes[Node].Kids = std::move(Kids);
    return Node;
}

int32_t TParser::NewOpNode(TNodeKind Kind, uint8_t Op) {
    int32_t Node = NewNode(Kind);
    Nodes[Node].Op = Op;
    return Node;
}

void TParser::AddItem(int32_t Node, bool Repeatable) {
    Frames.back().Items.push_back(Node);
    Frames.back().LastRepeatable = Repeatable;
}

void TParser::AddChar(uint8_t Raw) {
    AddItem(NewOpNode(TNodeKind::Char, Tr[Raw]), true);
}

// A lead byte and the byte after it are one character: repeated as one, and the second byte is never
// read as an operator ("\\" is the second byte of many characters). False for any other byte.
bool TParser::AddCharacterAt(uint8_t Raw) {
    if (!Lead[Raw] || I >= N) return false;
    const int32_t First = NewOpNode(TNodeKind::Char, Tr[Raw]);
    const int32_t Second = NewOpNode(TNodeKind::Char, Tr[P[I++]]);
    AddItem(NewParent(TNodeKind::Concat, {First, Second}), true);
    return true;
}

// A repetition operator with nothing to repeat (at the start of the pattern, a group or an alternative,
// or after an anchor) has no effect.
void TParser::ApplyRepeat(int32_t Min, int32_t Max) {
    TFrame& Frame = Frames.back();
    if (Frame.Items.empty() || !Frame.LastRepeatable) return;
    int32_t Node = NewParent(TNodeKind::Repeat, {Frame.Items.back()});
    Nodes[Node].Min = Min;
    Nodes[Node].Max = Max;
    Frame.Items.back() = Node;
}

// The items of the current alternative as one node; the frame's item list is left empty.
int32_t TParser::ConcatItems(TFrame& Frame) {
    std::vector<int32_t> Items = std::move(Frame.Items);
    Frame.Items.clear();
    Frame.LastRepeatable = false;
    if (Items.empty()) return NewNode(TNodeKind::Empty);
    if (Items.size() == 1) return Items[0];
    return NewParent(TNodeKind::Concat, std::move(Items));
}

int32_t TParser::CloseAlternatives(TFrame& Frame) {
    Frame.Alternatives.push_back(ConcatItems(Frame));
    if (Frame.Alternatives.size() == 1) return Frame.Alternatives[0];
    return NewParent(TNodeKind::Alt, std::move(Frame.Alternatives));
}

// Consecutive *, + and ? combine into one: zero times is allowed if any of them allows it, many times if
// any of them allows it.
void TParser::ParseRepeatRun(uint8_t First) {
    bool ZeroOk = First != '+';
    bool ManyOk = First != '?';
    while (I < N && (P[I] == '*' || P[I] == '+' || P[I] == '?')) {
        ZeroOk = ZeroOk || P[I] != '+';
        ManyOk = ManyOk || P[I] != '?';
        ++I;
    }
    ApplyRepeat(ZeroOk ? 0 : 1, ManyOk ? RegExpUnbounded : 1);
}

// A run of decimal digits at I: its value, RegExpDupMax + 1 when larger, -1 when there is none.
int TParser::ParseNumber() {
    if (I >= N || P[I] < '0' || P[I] > '9') return -1;
    int Value = 0;
    while (I < N && P[I] >= '0' && P[I] <= '9') {
        Value = std::min(Value * 10 + (P[I] - '0'), RegExpDupMax + 1);
        ++I;
    }
    return Value;
}

// After "{": a complete interval "n}", "n,}" or "n,m}" with bounds in order and at most RegExpDupMax.
// Otherwise I is left alone and the "{" is an ordinary character.
bool TParser::ParseInterval(int32_t& Min, int32_t& Max) {
    const int Saved = I;
    Min = ParseNumber();
    Max = Min;
    if (I < N && P[I] == ',') {
        ++I;
        Max = ParseNumber();
        if (Max < 0) Max = RegExpUnbounded;
    }
    bool Valid = Min >= 0 && Min <= RegExpDupMax && I < N && P[I] == '}' &&
                 (Max == RegExpUnbounded || (Max <= RegExpDupMax && Min <= Max));
    I = Valid ? I + 1 : Saved;
    return Valid;
}

bool TParser::GroupIsOpen(int Group) const {
    for (const TFrame& Frame : Frames)
        if (Frame.Group == Group) return true;
    return false;
}

// The character after a backslash is read as written (\B and \b stay apart under ignore case); only an
// ordinary character is translated.
void TParser::ParseBackslash() {
    if (I >= N) throw TCompileError{reTrailingBackslash};
    const uint8_t C = P[I++];
    if (AddCharacterAt(C)) return;
    switch (C) {
        case 'w':
            AddOp(TNodeKind::Test, ro_wordchar);
            return;
        case 'W':
            AddOp(TNodeKind::Test, ro_notwordchar);
            return;
        case 'd':
            AddOp(TNodeKind::Test, ro_digit);
            return;
        case 'D':
            AddOp(TNodeKind::Test, ro_notdigit);
            return;
        case 's':
            AddOp(TNodeKind::Test, ro_space);
            return;
        case 'S':
            AddOp(TNodeKind::Test, ro_notspace);
            return;
        case 'b':
            AddOp(TNodeKind::Assert, ro_wordbound);
            return;
        case 'B':
            AddOp(TNodeKind::Assert, ro_notwordbound);
            return;
        case '<':
            AddOp(TNodeKind::Assert, ro_wordbeg);
            return;
        case '>':
            AddOp(TNodeKind::Assert, ro_wordend);
            return;
        case '`':
            AddOp(TNodeKind::Assert, ro_begbuf);
            return;
        case '\'':
            AddOp(TNodeKind::Assert, ro_endbuf);
            return;
        default:
            break;
    }
    if (C >= '1' && C <= '9') {
        const int Group = C - '0';
        if (Group > GroupsOpened) throw TCompileError{reBadBackReference};
        if (!GroupIsOpen(Group)) {
            int32_t Node = NewNode(TNodeKind::BackRef);
            Nodes[Node].Index = Group;
            AddItem(Node, true);
            return;
        }
    }
    AddChar(C);
}

// After "[:" at NameStart - 2: the class index when ":]" closes the name, -1 when a "]" comes first
// (then "[" and ":" are ordinary members). Raises when the text ends inside the name or the name is not
// one of the twelve.
int TParser::ParseClassName(int NameStart) {
    for (int K = NameStart; K < N; ++K) {
        if (P[K] == ':' && K + 1 < N && P[K + 1] == ']') {
            std::string_view Raw(reinterpret_cast<const char*>(P + NameStart), size_t(K - NameStart));
            int Class = ClassIndex(Raw);
            if (Class < 0) {
                // Under ignore case "[:ALPHA:]" names the class as well.
                std::string Translated(Raw);
                for (char& Ch : Translated) Ch = char(Tr[uint8_t(Ch)]);
                Class = ClassIndex(Translated);
            }
            if (Class < 0) throw TCompileError{reBadClass};
            I = K + 2;
            return Class;
        }
        if (P[K] == ']') return -1;
    }
    throw TCompileError{rePrematureEnd};
}

// After "[": members are stored translated. A range runs over the raw bytes between its ends, which
// must be in order, and each member is translated: translating the ends first would make a range of
// the representatives of equal characters, which can lie anywhere.
void TParser::ParseBracket() {
    TByteSet Set;
    bool Negated = false;
    if (I < N && P[I] == '^') {
        Negated = true;
        ++I;
    }
    if (DoubleByte) {
        ParseCharacterBracket(Negated);
        return;
    }
    for (bool First = true;; First = false) {
        if (I >= N) throw TCompileError{reUnmatchedBracket};
        const uint8_t C = P[I++];
        if (C == ']' && !First) break;
        if (C == '[' && I < N && P[I] == ':') {
            const int Class = ParseClassName(I + 1);
            if (Class >= 0) {
                for (int Ch = 0; Ch < 256; ++Ch)
                    if (InClass(Class, Ch, Classes[Ch])) Set.set(size_t(Ch));
                if (I + 1 < N && P[I] == '-' && P[I + 1] != ']') throw TCompileError{reBadRange};
                continue;
            }
        }
        if (I + 1 < N && P[I] == '-' && P[I + 1] != ']') {
            const int Low = C;
            const int High = P[I + 1];
            I += 2;
            if (High < Low) throw TCompileError{reBadRange};
            for (int Ch = Low; Ch <= High; ++Ch) Set.set(Tr[Ch]);
            continue;
        }
        Set.set(Tr[C]);
    }
    Sets.push_back(Set);
    int32_t Node = NewNode(TNodeKind::Set);
    Nodes[Node].Index = int32_t(Sets.size() - 1);
    Nodes[Node].Negated = Negated;
    AddItem(Node, true);
}

int32_t TParser::SetNode(const TByteSet& Set) {
    Sets.push_back(Set);
    int32_t Node = NewNode(TNodeKind::Set);
    Nodes[Node].Index = int32_t(Sets.size() - 1);
    return Node;
}

// A bracket expression of a language with two-byte characters. A member is a character: one byte, or a
// lead byte with the byte after it (which is then no "]" nor "-"). A range runs over the characters
// whose value (a byte, or lead * 256 + second byte) lies between those of its ends. A class names
// characters of one byte. A lead byte alone is never a character, so none is a member of its own.
void TParser::ParseCharacterBracket(bool Negated) {
    TByteSet Singles;
    // Pairs[lead * 256 + second] over translated bytes.
    std::vector<bool> Pairs(65536, false);
    auto add = [&](int Code) {
        if (Code < 256) {
            if (Code != 0 && !Lead[size_t(Code)]) Singles.set(Tr[size_t(Code)]);
        } else if ((Code & 0xFF) != 0 && Lead[size_t(Code >> 8)]) {
            Pairs[size_t(Tr[size_t(Code >> 8)]) * 256 + Tr[size_t(Code & 0xFF)]] = true;
        }
    };
    // The character at I (I moves past it).
    auto character = [&]() {
        const uint8_t C = P[I++];
        if (Lead[C] && I < N) return int(C) * 256 + P[I++];
        return int(C);
    };
    for (bool First = true;; First = false) {
        if (I >= N) throw TCompileError{reUnmatchedBracket};
        if (P[I] == ']' && !First) {
            ++I;
            break;
        }
        if (P[I] == '[' && I + 1 < N && P[I + 1] == ':') {
            const int Class = ParseClassName(I + 2);
            if (Class >= 0) {
                for (int Ch = 0; Ch < 256; ++Ch)
                    if (!Lead[size_t(Ch)] && InClass(Class, Ch, Classes[size_t(Ch)])) Singles.set(size_t(Ch));
                if (I + 1 < N && P[I] == '-' && P[I + 1] != ']') throw TCompileError{reBadRange};
                continue;
            }
        }
        const int Low = character();
        if (I + 1 < N && P[I] == '-' && P[I + 1] != ']') {
            ++I;
            const int High = character();
            if (High < Low) throw TCompileError{reBadRange};
            for (int Code = Low; Code <= High; ++Code) add(Code);
            continue;
        }
        add(Low);
    }
    AddItem(CharacterSetNode(Singles, Pairs, Negated), true);
}

// One character of the set (of its complement when Negated): a one-byte test for the characters of
// one byte, and for those of two a lead-byte test followed by a second-byte test, one per group of lead
// bytes that admit the same second bytes.
int32_t TParser::CharacterSetNode(const TByteSet& Singles, const std::vector<bool>& Pairs, bool Negated) {
    std::vector<int32_t> Alternatives;
    TByteSet One;
    for (int Ch = 1; Ch < 256; ++Ch)
        if (!Lead[size_t(Ch)] && Singles[Tr[size_t(Ch)]] != Negated) One.set(Tr[size_t(Ch)]);
    if (One.any()) Alternatives.push_back(SetNode(One));
    TByteSet Leads;
    for (int Ch = 1; Ch < 256; ++Ch)
        if (Lead[size_t(Ch)]) Leads.set(Tr[size_t(Ch)]);
    std::vector<std::pair<TByteSet, TByteSet>> Groups;  // lead bytes, their second bytes
    for (int L = 0; L < 256; ++L) {
        if (!Leads[size_t(L)]) continue;
        TByteSet Seconds;
        for (int T = 1; T < 256; ++T)
            if (Pairs[size_t(L) * 256 + Tr[size_t(T)]] != Negated) Seconds.set(Tr[size_t(T)]);
        if (Seconds.none()) continue;
        auto Group =
            std::find_if(Groups.begin(), Groups.end(), [&](const auto& G) { return G.second == Seconds; });
        if (Group == Groups.end()) Group = Groups.insert(Groups.end(), {TByteSet(), Seconds});
        Group->first.set(size_t(L));
    }
    for (const auto& [First, Second] : Groups)
        Alternatives.push_back(NewParent(TNodeKind::Concat, {SetNode(First), SetNode(Second)}));
    if (Alternatives.empty()) return SetNode(TByteSet());
    if (Alternatives.size() == 1) return Alternatives[0];
    return NewParent(TNodeKind::Alt, std::move(Alternatives));
}

// The dot of a language with two-byte characters: any character but NUL.
int32_t TParser::AnyCharacterNode() {
    return CharacterSetNode(TByteSet(), std::vector<bool>(65536, false), true);
}

int32_t TParser::Parse() {
    Frames.emplace_back();
    while (I < N) {
        const uint8_t C = P[I++];
        if (AddCharacterAt(C)) continue;
        switch (C) {
            case '^':
                AddOp(TNodeKind::Assert, ro_begline);
                break;
            case '$':
                AddOp(TNodeKind::Assert, ro_endline);
                break;
            case '.':
                AddItem(DoubleByte ? AnyCharacterNode() : NewNode(TNodeKind::Any), true);
                break;
            case '[':
                ParseBracket();
                break;
            case '(':
                Frames.emplace_back();
                Frames.back().Group = ++GroupsOpened;
                break;
            case ')': {
                if (Frames.size() == 1) {
                    AddChar(C);
                    break;
                }
                TFrame Frame = std::move(Frames.back());
                Frames.pop_back();
                int32_t Node = NewParent(TNodeKind::Group, {CloseAlternatives(Frame)});
                Nodes[Node].Index = Frame.Group;
                AddItem(Node, true);
                break;
            }
            case '|': {
                const int32_t Alternative = ConcatItems(Frames.back());
                Frames.back().Alternatives.push_back(Alternative);
                break;
            }
            case '*':
            case '+':
            case '?':
                ParseRepeatRun(C);
                break;
            case '{': {
                int32_t Min = 0, Max = 0;
                if (ParseInterval(Min, Max))
                    ApplyRepeat(Min, Max);
                else
                    AddChar(C);
                break;
            }
            case '\\':
                ParseBackslash();
                break;
            default:
                AddChar(C);
                break;
        }
    }
    if (Frames.size() > 1) throw TCompileError{reUnmatchedParen};
    return CloseAlternatives(Frames.back());
}

// ---- Code generation ----------------------------------------------------------------------------------

class TCodeGen {
public:
    TCodeGen(TRegExpPattern& Record, const std::vector<TNode>& Nodes, const std::vector<TByteSet>& Sets)
        : R(Record), Nodes(Nodes), Sets(Sets) {
        ComputeFirsts();
    }

    // Emits the whole pattern, then the succeed operation when the first match found is to be taken;
    // then numbers the jump targets for the matcher's memo.
    void Generate(int32_t Root);

private:
    void ComputeFirsts();
    TByteSet ByteTestSet(const TNode& Node) const;
    bool LastByteSet(int32_t Index, TByteSet& Set) const;
    bool IsByteTest(const TNode& Node) const {
        return Node.Kind == TNodeKind::Char || Node.Kind == TNodeKind::Any || Node.Kind == TNodeKind::Set ||
               Node.Kind == TNodeKind::Test;
    }

    void Gen(int32_t Node, const TFirst& Next);
    void GenConcat(const TNode& Node, const TFirst& Next);
    void GenAlt(const TNode& Node, const TFirst& Next);
    void GenRepeat(const TNode& Node, const TFirst& Next);
    void GenByteLoop(int32_t Body, const TFirst& Next);
    void GenCountedLoop(int32_t Body, int32_t Min, int32_t Max, const TFirst& InLoop);
    void GenByteRepeat(int32_t Body, int32_t Min, int32_t Max, const TFirst& Next);

    void Reserve(int Bytes);
    int32_t Here() const { return R.Used; }
    void Byte(uint8_t B) { R.Buffer[size_t(R.Used++)] = B; }
    void U16(uint16_t V) {
        Byte(uint8_t(V & 0xFF));
        Byte(uint8_t(V >> 8));
    }
    void I32(int32_t V) {
        for (int K = 0; K < 4; ++K) Byte(uint8_t(uint32_t(V) >> (8 * K)));
    }
    void Op(TRegExpOp Code) {
        Reserve(1);
        Byte(Code);
    }
    // A jump-type operation whose target is patched later; returns its position.
    int32_t ForwardJump(TRegExpOp Code);
    void BackJump(TRegExpOp Code, int32_t Target);
    // Points the jump at From (its offset right after the code byte, relative to End) at Target.
    void Patch(int32_t From, int32_t End, int32_t Target);
    void PatchHere(int32_t Jump) { Patch(Jump, Jump + 5, Here()); }

    TRegExpPattern& R;
    const std::vector<TNode>& Nodes;
    const std::vector<TByteSet>& Sets;
    std::vector<TFirst> Firsts;
    // A counted loop around the code being generated: its count cell and how many counts differ.
    struct TOpenLoop {
        int32_t Cell;
        int32_t Radix;
        int32_t Min;
        bool Bounded;  // an upper bound above the minimum
    };
    void AddTarget(int32_t Target) { Targets.push_back({Target, OpenLoops}); }
    void NumberMemoRows();

    std::vector<TOpenLoop> OpenLoops;
    std::vector<std::pair<int32_t, std::vector<TOpenLoop>>> Targets;
    bool Memoizable = true;
};

// The raw bytes a one-byte node accepts (through the translate table where it compares translated).
TByteSet TCodeGen::ByteTestSet(const TNode& Node) const {
    TByteSet S;
    const auto& Tr = R.Translate;
    const auto& Words = R.Tables->WordTable;
    for (int C = 0; C < 256; ++C) {
        bool In = false;
        switch (Node.Kind) {
            case TNodeKind::Char:
                In = Tr[C] == Node.Op;
                break;
            case TNodeKind::Any:
                In = Tr[C] != 0;
                break;
            case TNodeKind::Set:
                In = Sets[size_t(Node.Index)][Tr[C]] != Node.Negated;
                break;
            default:
                switch (Node.Op) {
                    case ro_wordchar:
                        In = (Words[C] & RW_WORD) != 0;
                        break;
                    case ro_notwordchar:
                        In = (Words[C] & RW_WORD) == 0;
                        break;
                    case ro_digit:
                        In = (Words[C] & RW_DIGIT) != 0;
                        break;
                    case ro_notdigit:
                        In = (Words[C] & RW_DIGIT) == 0;
                        break;
                    case ro_space:
                        In = (Words[C] & RW_SPACE) != 0;
                        break;
                    default:
                        In = (Words[C] & RW_SPACE) == 0;
                        break;
                }
        }
        if (In) S.set(size_t(C));
    }
    return S;
}

// Children are always created before their parents, so one pass in node order sees every child first.
void TCodeGen::ComputeFirsts() {
    Firsts.resize(Nodes.size());
    for (size_t K = 0; K < Nodes.size(); ++K) {
        const TNode& Node = Nodes[K];
        TFirst& F = Firsts[K];
        switch (Node.Kind) {
            case TNodeKind::Empty:
            case TNodeKind::Assert:
                F.Nullable = true;
                break;
            case TNodeKind::BackRef:
                F.Nullable = true;
                F.Unknown = true;
                break;
            case TNodeKind::Group:
                F = Firsts[size_t(Node.Kids[0])];
                break;
            case TNodeKind::Concat: {
                F.Nullable = true;
                for (auto Kid = Node.Kids.rbegin(); Kid != Node.Kids.rend(); ++Kid)
                    F = Sequence(Firsts[size_t(*Kid)], F);
                break;
            }
            case TNodeKind::Alt:
                for (int32_t Kid : Node.Kids) {
                    F.Bytes |= Firsts[size_t(Kid)].Bytes;
                    F.Nullable = F.Nullable || Firsts[size_t(Kid)].Nullable;
                    F.Unknown = F.Unknown || Firsts[size_t(Kid)].Unknown;
                }
                break;
            case TNodeKind::Repeat:
                if (Node.Max == 0) {
                    F.Nullable = true;
                } else {
                    F = Firsts[size_t(Node.Kids[0])];
                    F.Nullable = F.Nullable || Node.Min == 0;
                }
                break;
            default:
                F.Bytes = ByteTestSet(Node);
                break;
        }
    }
}

void TCodeGen::Reserve(int Bytes) {
    if (int64_t(R.Used) + Bytes > RegExpMaxCodeSize) throw TCompileError{reTooBig};
    while (R.Used + Bytes > R.Allocated) R.Allocated *= 2;
    if (R.Buffer.size() < size_t(R.Allocated)) R.Buffer.resize(size_t(R.Allocated));
}

int32_t TCodeGen::ForwardJump(TRegExpOp Code) {
    Reserve(5);
    int32_t At = Here();
    Byte(Code);
    I32(0);
    return At;
}

void TCodeGen::BackJump(TRegExpOp Code, int32_t Target) {
    AddTarget(Target);
    Reserve(5);
    Byte(Code);
    I32(Target - (Here() + 4));
}

void TCodeGen::Patch(int32_t From, int32_t End, int32_t Target) {
    AddTarget(Target);
    const uint32_t V = uint32_t(Target - End);
    for (int K = 0; K < 4; ++K) R.Buffer[size_t(From + 1 + K)] = uint8_t(V >> (8 * K));
}

void TCodeGen::Generate(int32_t Root) {
    R.Allocated = 32;
    R.Buffer.assign(32, 0);
    R.Used = 0;
    TFirst End;
    End.Nullable = true;
    Gen(Root, End);
    if (R.Syntax & RegExpNoPosixBacktracking) Op(ro_succeed);
    NumberMemoRows();
    TByteSet Last;
    R.HasLastBytes = LastByteSet(Root, Last);
    for (int C = 0; C < 256; ++C) R.LastBytes[size_t(C)] = R.HasLastBytes && Last[size_t(C)];
}

// Whether every match of the node ends with a byte of Set (zero-width assertions after it aside).
bool TCodeGen::LastByteSet(int32_t Index, TByteSet& Set) const {
    const TNode& Node = Nodes[size_t(Index)];
    switch (Node.Kind) {
        case TNodeKind::Char:
        case TNodeKind::Any:
        case TNodeKind::Set:
        case TNodeKind::Test:
            Set = ByteTestSet(Node);
            return true;
        case TNodeKind::Group:
            return LastByteSet(Node.Kids[0], Set);
        case TNodeKind::Repeat:
            return Node.Min >= 1 && LastByteSet(Node.Kids[0], Set);
        case TNodeKind::Concat:
            for (auto Kid = Node.Kids.rbegin(); Kid != Node.Kids.rend(); ++Kid)
                if (Nodes[size_t(*Kid)].Kind != TNodeKind::Assert) return LastByteSet(*Kid, Set);
            return false;
        case TNodeKind::Alt: {
            Set.reset();
            for (int32_t Kid : Node.Kids) {
                TByteSet KidSet;
                if (!LastByteSet(Kid, KidSet)) return false;
                Set |= KidSet;
            }
            return true;
        }
        default:
            return false;
    }
}

// Every jump target gets one row per combination of the counts of the counted loops around it (and,
// when the first match is taken, of whether each loop's iteration began at the current position: that
// decides whether an empty iteration ends the loop, and so the order in which its ways are tried). A
// target whose combinations could not be numbered in 64 bits with the text position gets none: the
// matcher then never skips anything there.
//
// When the longest match is wanted and the innermost loop around a target has an upper bound, a count
// at or above its minimum is dominated by any smaller such count: from the smaller one every way to
// go on is open that is open from the larger. Such a target also gets a dominance row per combination
// of the outer loops' counts, where the matcher keeps the smallest count it has been there with.
void TCodeGen::NumberMemoRows() {
    constexpr int64_t MaxMemoRows = int64_t(1) << 32;
    R.MemoSlots.clear();
    R.MemoKeys.clear();
    R.MemoRows = 0;
    R.MemoDominanceRows = 0;
    if (!Memoizable || Targets.empty()) return;
    const bool FirstMatch = (R.Syntax & RegExpNoPosixBacktracking) != 0;
    const int64_t EmptyFactor = FirstMatch ? 2 : 1;
    R.MemoSlots.assign(size_t(R.Used) + 1, -1);
    for (const auto& [Target, Loops] : Targets) {
        if (R.MemoSlots[size_t(Target)] >= 0) continue;
        int64_t Rows = 1;
        for (const TOpenLoop& Loop : Loops) Rows = std::min(Rows * Loop.Radix * EmptyFactor, MaxMemoRows + 1);
        if (Rows > MaxMemoRows - R.MemoRows) continue;
        R.MemoSlots[size_t(Target)] = int32_t(R.MemoKeys.size());
        R.MemoKeys.push_back(R.MemoRows);
        R.MemoKeys.push_back(int64_t(Loops.size()));
        int64_t Multiplier = 1;
        for (const TOpenLoop& Loop : Loops) {
            R.MemoKeys.insert(R.MemoKeys.end(), {Loop.Cell, Loop.Radix, Multiplier,
                                                 EmptyFactor == 2 ? Multiplier * Loop.Radix : 0});
            Multiplier *= Loop.Radix * EmptyFactor;
        }
        R.MemoRows += Rows;
        const bool Dominance = !FirstMatch && !Loops.empty() && Loops.back().Bounded;
        // Outer combinations: the innermost loop's multiplier.
        const int64_t OuterRows = Dominance ? Multiplier / Loops.back().Radix : 0;
        R.MemoKeys.push_back(Dominance ? R.MemoDominanceRows : -1);
        R.MemoKeys.push_back(Dominance ? Loops.back().Min : 0);
        R.MemoDominanceRows += OuterRows;
    }
}

// Next describes whatever may follow Node up to the end of the pattern.
void TCodeGen::Gen(int32_t Index, const TFirst& Next) {
    const TNode& Node = Nodes[size_t(Index)];
    switch (Node.Kind) {
        case TNodeKind::Empty:
            break;
        case TNodeKind::Char:
            Reserve(3);
            Byte(ro_exactn);
            Byte(1);
            Byte(Node.Op);
            break;
        case TNodeKind::Any:
            Op(ro_anychar);
            break;
        case TNodeKind::Set: {
            Reserve(33);
            Byte(Node.Negated ? ro_charset_not : ro_charset);
            const TByteSet& S = Sets[size_t(Node.Index)];
            for (int K = 0; K < 32; ++K) {
                uint8_t B = 0;
                for (int Bit = 0; Bit < 8; ++Bit)
                    if (S[size_t(K * 8 + Bit)]) B |= uint8_t(1 << Bit);
                Byte(B);
            }
            break;
        }
        case TNodeKind::Test:
        case TNodeKind::Assert:
            Op(TRegExpOp(Node.Op));
            break;
        case TNodeKind::BackRef:
            Memoizable = false;
            Reserve(2);
            Byte(ro_duplicate);
            Byte(uint8_t(Node.Index));
            break;
        case TNodeKind::Group: {
            const bool Recorded = Node.Index <= RegExpMaxGroups;
            if (Recorded) {
                Reserve(2);
                Byte(ro_start_memory);
                Byte(uint8_t(Node.Index));
            }
            Gen(Node.Kids[0], Next);
            if (Recorded) {
                Reserve(2);
                Byte(ro_stop_memory);
                Byte(uint8_t(Node.Index));
            }
            break;
        }
        case TNodeKind::Concat:
            GenConcat(Node, Next);
            break;
        case TNodeKind::Alt:
            GenAlt(Node, Next);
            break;
        case TNodeKind::Repeat:
            GenRepeat(Node, Next);
            break;
    }
}

// Runs of literal characters become one exact-characters operation of at most 255 bytes.
void TCodeGen::GenConcat(const TNode& Node, const TFirst& Next) {
    const size_t Count = Node.Kids.size();
    std::vector<TFirst> After(Count);
    TFirst Rest = Next;
    for (size_t K = Count; K-- > 0;) {
        After[K] = Rest;
        Rest = Sequence(Firsts[size_t(Node.Kids[K])], Rest);
    }
    for (size_t K = 0; K < Count;) {
        if (Nodes[size_t(Node.Kids[K])].Kind != TNodeKind::Char) {
            Gen(Node.Kids[K], After[K]);
            ++K;
            continue;
        }
        size_t Run = 1;
        while (K + Run < Count && Run < 255 && Nodes[size_t(Node.Kids[K + Run])].Kind == TNodeKind::Char)
            ++Run;
        Reserve(int(2 + Run));
        Byte(ro_exactn);
        Byte(uint8_t(Run));
        for (size_t J = 0; J < Run; ++J) Byte(Nodes[size_t(Node.Kids[K + J])].Op);
        K += Run;
    }
}

//     on_failure_jump A2; <alt 1>; jump_past_alt END
// A2: on_failure_jump A3; <alt 2>; jump_past_alt END
// ...                     <alt n>
// END:
void TCodeGen::GenAlt(const TNode& Node, const TFirst& Next) {
    std::vector<int32_t> ToEnd;
    for (size_t K = 0; K < Node.Kids.size(); ++K) {
        const bool Last = K + 1 == Node.Kids.size();
        int32_t Choice = Last ? -1 : ForwardJump(ro_on_failure_jump);
        Gen(Node.Kids[K], Next);
        if (Last) break;
        ToEnd.push_back(ForwardJump(ro_jump_past_alt));
        PatchHere(Choice);
    }
    for (int32_t Jump : ToEnd) PatchHere(Jump);
}

void TCodeGen::GenRepeat(const TNode& Node, const TFirst& Next) {
    const int32_t Body = Node.Kids[0];
    const TFirst& BodyFirst = Firsts[size_t(Body)];
    if (Node.Max == 0) return;
    if (Node.Min == 1 && Node.Max == 1) {
        Gen(Body, Next);
        return;
    }
    if (Node.Min == 0 && Node.Max == 1) {
        //     on_failure_jump END; <body>; END:
        int32_t Choice = ForwardJump(ro_on_failure_jump);
        Gen(Body, Next);
        PatchHere(Choice);
        return;
    }
    // Inside the loop the body is followed by itself or by whatever follows the loop.
    TFirst InLoop = BodyFirst;
    InLoop.Nullable = true;
    InLoop = Sequence(InLoop, Next);

    if (IsByteTest(Nodes[size_t(Body)]) && (Node.Max != RegExpUnbounded || Node.Min > 1)) {
        GenByteRepeat(Body, Node.Min, Node.Max, Next);
        return;
    }
    if (BodyFirst.Nullable || Node.Max != RegExpUnbounded || Node.Min > 1) {
        GenCountedLoop(Body, Node.Min, Node.Max, InLoop);
        return;
    }
    if (IsByteTest(Nodes[size_t(Body)])) {
        if (Node.Min == 1) Gen(Body, InLoop);
        GenByteLoop(Body, Next);
        return;
    }
    //     [dummy_failure_jump BODY]            (one or more)
    // L0: on_failure_jump END
    // BODY: <body>; jump L0
    // END:
    int32_t Enter = Node.Min == 1 ? ForwardJump(ro_dummy_failure_jump) : -1;
    const int32_t Loop = Here();
    int32_t Choice = ForwardJump(ro_on_failure_jump);
    if (Enter >= 0) PatchHere(Enter);
    Gen(Body, InLoop);
    BackJump(ro_jump, Loop);
    PatchHere(Choice);
}

// A loop over a one-byte test. When nothing that follows can begin with a byte the test accepts, and
// something must follow, giving bytes back cannot lead to a match, so the loop leaves no alternatives:
//     L0: on_failure_jump END; <test>; maybe_pop_jump L0; END:
// Otherwise every shorter run is an alternative, kept as one range:
//     on_failure_keep_string_jump END; <test>; END:
void TCodeGen::GenByteLoop(int32_t Body, const TFirst& Next) {
    const bool Exclusive =
        !Next.Nullable && !Next.Unknown && (Firsts[size_t(Body)].Bytes & Next.Bytes).none();
    if (!Exclusive) {
        // The matcher's memo records the loop's head too (see RegExp3_Match.cpp).
        AddTarget(Here());
        int32_t Choice = ForwardJump(ro_on_failure_keep_string_jump);
        Gen(Body, Next);
        PatchHere(Choice);
        return;
    }
    const int32_t Loop = Here();
    int32_t Choice = ForwardJump(ro_on_failure_jump);
    Gen(Body, Next);
    BackJump(ro_maybe_pop_jump, Loop);
    PatchHere(Choice);
}

// An interval over a one-byte test is one run: no counter, so the matcher's memo needs no row per count
// for it, and the run is taken in one scan.
//     repeat_test min max <test>
void TCodeGen::GenByteRepeat(int32_t Body, int32_t Min, int32_t Max, const TFirst& Next) {
    AddTarget(Here());
    Reserve(5);
    Byte(ro_repeat_test);
    U16(uint16_t(Min));
    U16(uint16_t(Max));
    Gen(Body, Next);
    AddTarget(Here());
}

// Intervals, and loops whose body can match the empty string. Two counter cells per loop: the number
// of iterations done, and where the current iteration began (an empty iteration once the minimum is
// reached leaves the loop, so loops over empty bodies end).
//     set_number_at C 0
// L0: succeed_n END C min max
//     <body>
//     jump_n L0 C min
// END:
void TCodeGen::GenCountedLoop(int32_t Body, int32_t Min, int32_t Max, const TFirst& InLoop) {
    if (R.NumCells + 2 > 0xFFFF) throw TCompileError{reTooBig};
    // In the matcher's memo the count is part of the state inside the loop: every count up to the
    // maximum, or up to the minimum when there is none (beyond it more iterations change nothing). The
    // position where the iteration began need not be when the longest match is wanted: an empty
    // iteration that would go round again comes back to a state already being tried. When the first
    // match found is taken, whether the iteration began here is part of the state (NumberMemoRows).
    const uint16_t Cell = uint16_t(R.NumCells);
    R.NumCells += 2;
    Reserve(5);
    Byte(ro_set_number_at);
    U16(Cell);
    U16(0);
    const int32_t Loop = Here();
    Reserve(11);
    Byte(ro_succeed_n);
    I32(0);
    U16(Cell);
    U16(uint16_t(Min));
    U16(uint16_t(Max));
    OpenLoops.push_back(
        {Cell, (Max == RegExpUnbounded ? Min : Max) + 1, Min, Max != RegExpUnbounded && Max > Min});
    Gen(Body, InLoop);
    Reserve(9);
    const int32_t Back = Here();
    Byte(ro_jump_n);
    I32(0);
    U16(Cell);
    U16(uint16_t(Min));
    Patch(Back, Back + 9, Loop);
    OpenLoops.pop_back();
    Patch(Loop, Loop + 11, Here());
}

}  // namespace

const char* RegExpCompilePattern(const char* Text, int Length, TRegExpPattern& Record) {
    static std::atomic<uint64_t> LastSerial{0};
    Record.Serial = ++LastSerial;
    Record.UseAutomaton = true;
    Record.NoSub = false;
    Record.NewlineAnchor = true;
    Record.NumGroups = 0;
    Record.NumCells = 0;
    Record.HasLastBytes = false;
    Record.CanBeEmpty = false;
    Record.FastmapAccurate = false;
    int Error = reNoError;
    try {
        std::vector<TNode> Nodes;
        std::vector<TByteSet> Sets;
        TParser Parser(reinterpret_cast<const uint8_t*>(Text), std::max(Length, 0), Record, Nodes, Sets);
        const int32_t Root = Parser.Parse();
        Record.NumGroups = Parser.GroupCount();
        TCodeGen(Record, Nodes, Sets).Generate(Root);
    } catch (const TCompileError& E) {
        Error = E.Code;
    } catch (const std::bad_alloc&) {
        Error = reOutOfMemory;
    }
    if (Error == reNoError) return nullptr;
    Record.Buffer.clear();
    Record.Buffer.shrink_to_fit();
    Record.MemoSlots.clear();
    Record.MemoKeys.clear();
    Record.MemoRows = 0;
    Record.MemoDominanceRows = 0;
    Record.Allocated = 0;
    Record.Used = 0;
    return Error == TooDeepError ? RegExpTooDeepText : RegExpErrorText(Error);
}
