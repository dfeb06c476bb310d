// The search's deterministic automaton, inside the regular-expression engine (not for other callers).
//
// A pattern without back-references, searched for the longest match, describes a regular language; the
// search finds where its matches lie with an automaton built state by state as the text asks for them,
// and leaves to the backtracking matcher only the group registers of a match it has found. The
// automaton's states are sets of matcher states (byte-code position, loop counts, a run's length) after
// a byte, with what the anchors and word assertions need of the byte before; the byte after is the input
// of the transition, so a transition also tells whether a match ends before that byte.
//
// How counted loops are kept from multiplying states: a count at or above the loop's minimum is the
// minimum itself when the loop has no maximum, and when it has one, a state is dropped from a set that
// holds the same state with a smaller such count (from the smaller one every way on is open that is open
// from the larger). The same holds for the length of a bounded run of one byte test (a{1,1000}). So
// (a{1,100}){1,100} keeps a handful of states per set. What still grows, such as an interval with a
// large minimum over a group, ends at the size limits below, and the search falls back to the matcher.
#pragma once

#include <cstdint>

#include "engine/RegExp3.h"

// The automaton answers "use the backtracking matcher" (the pattern needs it, or the automaton grew past
// its limits on this text).
constexpr int RegExpAutomatonDeclined = -100;

// The leftmost-longest match whose start lies in Start..Last (Last <= Stop) and that consumes nothing at
// or beyond Stop, as RegExpSearchRange defines it. Returns its start (End receives its end),
// RegExpNoMatch, RegExpCancelled, RegExpTooManySteps, or RegExpAutomatonDeclined; then no match starts
// in Start..Resume-1 and the caller goes on from Resume. Skip: no match is empty and every match starts
// with a byte of Record.StartMap. Automata are kept per thread, for the last few patterns searched.
int RegExpAutomatonSearch(const TRegExpPattern& Record, const uint8_t* Text, int Length, int Start, int Last,
                          int Stop, bool Skip, int& End, int& Resume);

// Whether the pattern can be searched by the automaton at all (no back-references, longest match, and
// byte code the automaton understands).
bool RegExpAutomatonUsable(const TRegExpPattern& Record);
