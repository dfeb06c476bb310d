// Hot words and translations without widgets: the log-likelihood ranking of the words of the hits'
// contexts against the corpus, the grouping of similar word forms, the candidates the chooser shows
// and what its OK keeps, and the rules of the hot-words options dialog. The chooser (ConcHotChoose)
// and the options dialog (ConcHotWordsOptions) only copy between their controls and these. Words are
// bytes of the language's code page. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"

// ---- Options -------------------------------------------------------------------------------------------

// The hot-word options of one language. Each language's defaults are the four same-named fields of its
// TConcordConfig; a concordance window works on its own copies.
struct THotWordsOptions {
    double RankFunctionThreshold = 0;  // the least score a word needs to be offered
    bool ParadigmOption = false;       // similar word forms add up their scores
    double ParadigmThreshold = 0;      // the least similarity that links two forms
    double ParadigmRankThreshold = 0;  // with ParadigmOption: the least own score of a form

    bool operator==(const THotWordsOptions&) const = default;
};

// The defaults of Language as its configuration holds them (all zero for a language that does not
// exist).
THotWordsOptions LanguageHotWordsOptions(int Language);
// Makes Options the defaults of Language; nothing for a language that does not exist.
void SetLanguageHotWordsOptions(int Language, const THotWordsOptions& Options);

// ---- Ranking -------------------------------------------------------------------------------------------

// Ranked words: copies of frequency-list items, owned by the vector.
using THotWordCandidates = std::vector<std::unique_ptr<TFreqItem>>;

// The log-likelihood of a word seen A times among the C entries of a local list and B times among the D
// entries of a reference list: 2 (A ln(A / E1) + B ln(B / E2)) with E1 = (A + B) C / (C + D) and
// E2 = (A + B) D / (C + D). A term whose count is 0 adds 0 (its limit), so the score stays a number.
long double LogLikelihoodScore(long double A, long double C, long double B, long double D);

// How alike two word forms are, both already lower-cased: position 0 always matches, and each position
// i = 1 .. min(x, y) matches when both words have there the same pair of characters i and i + 1 (a
// word's last character stands alone, and a lone character never matches a pair). The similarity is
// 2 * matches / ((x + 2) + (y + 2)); equal words of n characters score (n + 1) / (n + 2).
double ParadigmSimilarity(std::string_view First, std::string_view Second);
// Whether the similarity of the two words, lower-cased through Language's case map, is at least
// Threshold.
bool ParadigmSimilar(int Language, std::string_view First, std::string_view Second, double Threshold);

// Ranks the words of Local against Reference (the language's corpus list) into Candidates, which
// receives a copy of each kept item (its positions included) with OwnScore and Score set. A word counts
// only when Reference holds it (looked up under Reference's case rule), the reference item passes the
// language's frequency limits and stop list, and it is relatively more frequent in Local: A / C > B / D
// with C and D the numbers of distinct words of the lists. It is kept when its score is at least
// RankFunctionThreshold, or ParadigmRankThreshold with ParadigmOption. With ParadigmOption every pair of
// kept words whose similarity reaches ParadigmThreshold is linked: each adds the other's own score to its
// Score and is marked ParadigmLinked (links are not followed further); then the words whose Score is below
// RankFunctionThreshold are dropped. Candidates keep Local's display order. Raises std::out_of_range for
// a language that does not exist.
void RankKeywordCandidates(int Language, const TFreqList& Reference, const TFreqList& Local,
                           const THotWordsOptions& Options, THotWordCandidates& Candidates);

// ---- Choosing ------------------------------------------------------------------------------------------

// The chooser's modes.
enum THotChooseMode { hcTranslations = 0, hcHotWords = 1 };

// Makes the local list of a language (the words of the hits' contexts with their positions, or the
// translation candidates); nullptr when it cannot (cancelled). The caller owns the list.
using TLocalListBuilder = std::function<std::unique_ptr<TFreqList>(int Language)>;

// Orders Candidates by Score, highest first; equal scores keep their order.
void SortByScore(THotWordCandidates& Candidates);
// How many candidates the chooser shows: MaxHotWordsCandidates, twice that with ParadigmOption, since
// the grouped forms then come in pairs.
int32_t ShownCandidateCount(const THotWordsConfig& Config, const THotWordsOptions& Options);
// Adds Item to List as a new item of the same word with Item's frequency, positions and hot-word fields;
// a word List already holds (two forms that fold to one) gains the frequency and positions. Returns the
// item, owned by List.
TFreqItem* AddFreqItemCopy(TFreqList& List, const TFreqItem& Item);

// The chooser of one language, without its window: what it shows and what its buttons do to the
// concordance window's copies it was given (all borrowed; they must outlive it).
class THotChooseModel {
public:
    THotChooseModel(int Language, int Mode, int32_t HitCount, std::unique_ptr<TFreqList>& LocalList,
                    bool& TranslationOptionsChanged, int32_t& TranslationPasses, THotWordsOptions& Options,
                    THotWordsConfig& Config, TFreqList& Chosen, TLocalListBuilder Builder);

    int Language() const { return FLanguage; }
    int Mode() const { return FMode; }
    int32_t& TranslationPasses() const { return FTranslationPasses; }
    THotWordsOptions& Options() const { return FOptions; }
    THotWordsConfig& Config() const { return FConfig; }

    // Fills the entries as the chooser opens; false when it must not open (the builder made nothing, or
    // in translations mode nothing was found). Hot words: with fewer hits than MinHitsForHotWords, warns
    // "There are not enough matches. Check "Options"." and shows nothing; otherwise builds the local list
    // when none is cached (keeping it in the cache), ranks it against the language's corpus list (none:
    // nothing ranks) and, with no candidate, warns "No automatic translation available. Check "Options".".
    // Translations: builds the list when none is cached and offers all its words. Raises what the builder
    // and the ranking raise; a list built in the failed step is freed.
    bool Load();
    // After the options dialog's OK: hot words rank again; translations note that the options changed and
    // rebuild the list from scratch.
    void OptionsAccepted();

    // The shown entries, highest score first, each with Chosen set when the chosen list holds its word
    // (without regard to case when the language's frequency settings ignore case).
    const THotWordCandidates& Entries() const { return FEntries; }

    // OK with Selected[i] telling whether entry i is selected: the chosen list is rebuilt from the
    // selected entries (Chosen set) and the result tells whether the choice changed: an entry selected
    // but not chosen before or the reverse, or a word chosen before that no selected entry has exactly.
    bool Confirm(const std::vector<bool>& Selected);

private:
    bool RankHotWords();
    bool LoadTranslations(bool Rebuild);
    void Show(THotWordCandidates Candidates);

    int FLanguage;
    int FMode;
    int32_t FHitCount;
    std::unique_ptr<TFreqList>& FLocalList;
    bool& FTranslationOptionsChanged;
    int32_t& FTranslationPasses;
    THotWordsOptions& FOptions;
    THotWordsConfig& FConfig;
    TFreqList& FChosen;
    TLocalListBuilder FBuilder;
    THotWordCandidates FEntries;
};

inline constexpr const char* NotEnoughMatchesText = "There are not enough matches. Check \"Options\".";
inline constexpr const char* NoCandidatesText = "No automatic translation available. Check \"Options\".";

// ---- The options dialog --------------------------------------------------------------------------------

// The options dialog's modes: translations, hot words, translations without the language options.
enum THotOptionsMode { hoTranslations = 0, hoHotWords = 1, hoTranslationsOnly = 2 };

// The global values the dialog edits: the hot-word counts in hot-words mode, the translation passes in
// the others.
struct THotWordsGlobals {
    THotWordsConfig Config;
    int32_t TranslationPasses = 0;
};

// Whether the dialog's global values differ from the working ones in what Mode edits.
bool HotWordsGlobalsChanged(int Mode, const THotWordsGlobals& Shown, const THotWordsGlobals& Working);
// Whether Edited differs from Saved: the rank threshold by more than 0.000001, the paradigm option, or,
// while the option is on, either paradigm threshold.
bool HotWordsOptionsChanged(const THotWordsOptions& Saved, const THotWordsOptions& Edited);
// "Set as &default": the global HotWordsConfig (hot-words mode) or TranslationPasses (the others) takes
// Globals, Language's configuration takes Options, and in hot-words mode every concordance window is told
// to drop its hot words (CM_CLEARHOTWORDS): of every corpus language when GlobalsChanged, else of
// Language only.
void ApplyHotWordsDefaults(int Language, int Mode, const THotWordsGlobals& Globals,
                           const THotWordsOptions& Options, bool GlobalsChanged);

inline constexpr const char* SetAsDefaultQuestion =
    "Setting this options as default will clear all hot words for this language. Continue?";
