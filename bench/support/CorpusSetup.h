// The corpus the search benchmarks work on, set up from command-line flags: the languages and their
// files, the format flags of each language, the options of the whole corpus, the corpus pass and the
// alignment, and the query flags. corpus_bench and search_window_bench share it, so that one set of flags
// means the same corpus and the same query to both.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcSearchItems.h"

struct TFormatOptions {
    uint8_t Heading = 0, Paragraph = 0, Sentence = 0;
    std::string HStart = "<h>", HStop = "</h>", HPattern;
    std::string PStart = "<p>", PStop = "</p>";
    std::string SStart = "<s>", SStop = "</s>";
    std::string SentDelimiters{DefaultSentDelimiters};
    std::vector<std::string> Exceptions;
    bool Abbreviations = false, TrailingQuotes = false;
};

struct TLanguageArgs {
    uint32_t Lcid = 0;
    TFormatOptions Format;
    std::vector<std::string> Files;
};

struct TParaArgs {
    int Language = 0;
    std::string Query;
    bool Not = false;
};

struct TSearchArgs {
    std::string Query;
    uint8_t Syntax = 0;
    int Language = 0;
    std::string HitsOut;
    int Repeat = 1;  // runs of the search and of grep, taken in turns
    std::vector<TParaArgs> Para;
};

// The language's side of each file's alignment with language 0; a file that has none gets its
// paragraphs as units.
struct TCorpusArgs {
    std::vector<TLanguageArgs> Languages;
    TSearchArgs Search;
    bool Align = false;
    std::string AlignOut;
};

// Prints the problem and the tool's usage, and ends the program with code 2. Each tool defines it.
[[noreturn]] void Usage(const char* Problem);

// The value of the flag at Argv[I] (I moves on to it); Usage when it is missing.
const char* Value(int& I, int Argc, char** Argv);

// Makes the options object with the corpus defaults the flags start from, then reads every flag (see
// corpus_bench.cpp's head). Extra, when given, is offered each argument first and returns whether it took
// it (moving I over the values it took). Usage on a bad flag or when no language (or more than four) is
// given.
void ParseCorpusArgs(int Argc, char** Argv, TCorpusArgs& Args,
                     const std::function<bool(int& I, int Argc, char** Argv)>& Extra = {});

// Gives Config the text format the flags set for its language.
void ConfigureFormat(TConcordConfig& Config, const TFormatOptions& Format);

// Registers the files, runs the corpus pass language by language (printing what each built and how
// long it took) and, with Args.Align, the alignment of every language with language 0. Returns 0, or 1
// after printing why (a cancelled pass, an alignment stopped at a count check). Raises what the pass
// raises. Seconds, when given, receives the time of the registering, the passes and the alignment,
// without the printing.
int BuildCorpus(const TCorpusArgs& Args, double* Seconds = nullptr);

// Gives every file of Language that has no alignment its paragraphs as aligned units.
void EnsureUnits(int Language);

// A query of one pattern (its own name) in Syntax over Language.
std::unique_ptr<TConcSearchRec> MakeQuery(int Language, uint8_t Syntax, const std::string& Text);

// What a search through the engine found and how long it took.
struct TEngineRun {
    int64_t Hits = 0;
    double Seconds = 0;
};

// Runs Args' query over its language as a search thread runs it (no window, no limit, ignoring case,
// every hit), with the options the window's search would use. OnHit (may be empty) sees each hit.
// Returns false (after printing why) when the query does not compile.
bool RunEngineSearch(const TSearchArgs& Args, TEngineRun& Run,
                     const std::function<void(const TConcordItem& Item)>& OnHit = {});
// The parallel search of Args (its query primary, one thread per --para language) through the engine,
// without a window. Kept: the hits kept; Tried: the primary hits tried, kept or not.
void RunEngineParallelSearch(const TSearchArgs& Args, TEngineRun& Kept, int64_t& Tried);
