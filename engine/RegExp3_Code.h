// Reading the engine's byte code: operation sizes, jump targets and the one-byte tests, shared by the
// matcher and the search's automaton (internal to the engine's regular expressions).
#pragma once

#include <cstdint>

#include "engine/RegExp3.h"

namespace RegExpCode {

inline int32_t ReadI32(const uint8_t* P) {
    uint32_t V = 0;
    for (int K = 3; K >= 0; --K) V = (V << 8) | P[K];
    return int32_t(V);
}

inline uint16_t ReadU16(const uint8_t* P) {
    return uint16_t(P[0] | (P[1] << 8));
}

inline bool InMap(const uint8_t* Map, uint8_t C) {
    return (Map[C >> 3] >> (C & 7)) & 1;
}

inline bool IsByteTestOp(uint8_t Op) {
    return Op == ro_anychar || Op == ro_charset || Op == ro_charset_not ||
           (Op >= ro_wordchar && Op <= ro_notwordchar) || (Op >= ro_digit && Op <= ro_notspace);
}

// The size of the operation at Code, 0 for an unknown code.
inline int OpSize(const uint8_t* Code) {
    switch (Code[0]) {
        case ro_exactn:
            return 2 + Code[1];
        case ro_charset:
        case ro_charset_not:
            return 33;
        case ro_start_memory:
        case ro_stop_memory:
        case ro_duplicate:
            return 2;
        case ro_jump:
        case ro_jump_past_alt:
        case ro_on_failure_jump:
        case ro_on_failure_keep_string_jump:
        case ro_pop_failure_jump:
        case ro_maybe_pop_jump:
        case ro_dummy_failure_jump:
            return 5;
        case ro_succeed_n:
            return 11;
        case ro_jump_n:
            return 9;
        case ro_set_number_at:
            return 5;
        case ro_repeat_test: {
            const int Test = OpSize(Code + 5);
            return Test == 0 || !(Code[5] == ro_exactn || IsByteTestOp(Code[5])) ? 0 : 5 + Test;
        }
        default:
            return Code[0] <= ro_LastOp ? 1 : 0;
    }
}

// Where the jump at Pc goes (its offset counts from the end of the operation); Jump5Target for the
// five-byte jumps, which the matcher meets most.
inline int32_t Jump5Target(const uint8_t* Code, int32_t Pc) {
    return Pc + 5 + ReadI32(Code + Pc + 1);
}

inline int32_t JumpTarget(const uint8_t* Code, int32_t Pc) {
    return Pc + OpSize(Code + Pc) + ReadI32(Code + Pc + 1);
}

// Whether the one-byte test at Code accepts byte C.
inline bool ByteTest(const uint8_t* Code, uint8_t C, const uint8_t* Tr, const uint8_t* Words) {
    switch (Code[0]) {
        case ro_exactn:
            return Tr[C] == Code[2];
        case ro_anychar:
            return Tr[C] != 0;
        case ro_charset:
            return InMap(Code + 1, Tr[C]);
        case ro_charset_not:
            return !InMap(Code + 1, Tr[C]);
        case ro_wordchar:
            return (Words[C] & RW_WORD) != 0;
        case ro_notwordchar:
            return (Words[C] & RW_WORD) == 0;
        case ro_digit:
            return (Words[C] & RW_DIGIT) != 0;
        case ro_notdigit:
            return (Words[C] & RW_DIGIT) == 0;
        case ro_space:
            return (Words[C] & RW_SPACE) != 0;
        case ro_notspace:
            return (Words[C] & RW_SPACE) == 0;
        default:
            return false;
    }
}

}  // namespace RegExpCode
