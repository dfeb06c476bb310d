#include "results/ConcHotWordsRules.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_set>

#include "ui/Msg.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"

// ---- Options -------------------------------------------------------------------------------------------

namespace {

TConcordConfig* ConfigOf(int Language) {
    if (Language < 0 || Language >= MaxLanguages) return nullptr;
    return LanguageConfigs[size_t(Language)].get();
}

}  // namespace

THotWordsOptions LanguageHotWordsOptions(int Language) {
    const TConcordConfig* Config = ConfigOf(Language);
    if (!Config) return {};
    return {Config->RankFunctionThreshold, Config->ParadigmOption, Config->ParadigmThreshold,
            Config->ParadigmRankThreshold};
}

void SetLanguageHotWordsOptions(int Language, const THotWordsOptions& Options) {
    TConcordConfig* Config = ConfigOf(Language);
    if (!Config) return;
    Config->RankFunctionThreshold = Options.RankFunctionThreshold;
    Config->ParadigmOption = Options.ParadigmOption;
    Config->ParadigmThreshold = Options.ParadigmThreshold;
    Config->ParadigmRankThreshold = Options.ParadigmRankThreshold;
}

// ---- Ranking -------------------------------------------------------------------------------------------

namespace {

long double LikelihoodTerm(long double Observed, long double Expected) {
    return Observed == 0 ? 0.0L : Observed * std::log(Observed / Expected);
}

// The forms of one ranking, lower-cased once, with what the similarity test of each pair needs.
class TParadigmMatcher {
public:
    explicit TParadigmMatcher(double Threshold) : FThreshold(Threshold) {}

    // The fewest matching positions that reach the threshold for words of X and Y characters, computed
    // with the same division as the similarity itself so that both agree at the boundary.
    int32_t NeededMatches(size_t X, size_t Y) const {
        const double Sum = double(X + 2) + double(Y + 2);
        const int32_t Most = int32_t(std::min(X, Y)) + 2;
        int32_t Need = std::max<int32_t>(0, int32_t(std::ceil(FThreshold * Sum / 2)) - 1);
        while (Need <= Most && 2.0 * Need / Sum < FThreshold) ++Need;
        return Need;
    }

    // ParadigmSimilarity(A, B) >= threshold, giving up as soon as too many positions have failed.
    bool Similar(std::string_view A, std::string_view B) const {
        const size_t M = std::min(A.size(), B.size());
        const int32_t Need = NeededMatches(A.size(), B.size());
        const int32_t Possible = M == 0 ? 1 : int32_t(M) + (A.size() == B.size() ? 1 : 0);
        int32_t Misses = Possible - Need;
        if (Misses < 0) return false;
        for (size_t I = 0; I + 1 < M; ++I)
            if ((A[I] != B[I] || A[I + 1] != B[I + 1]) && --Misses < 0) return false;
        if (M > 0 && A.size() == B.size() && A[M - 1] != B[M - 1] && --Misses < 0) return false;
        return true;
    }

    // The longest partner a word of X characters can be similar to: one match per position at most, so
    // 2 (X + 1) / ((X + 2) + (Y + 2)) must still reach the threshold (one more, to be safe from rounding).
    size_t LongestPartner(size_t X) const {
        const double Longest = 2.0 * double(X + 1) / FThreshold - double(X) - 3;
        return Longest >= 1e15 ? SIZE_MAX : std::max(X, size_t(std::max(0.0, Longest)));
    }

private:
    double FThreshold;
};

// Links every pair of similar forms: each adds the other's own score. Forms are visited by length so
// that only lengths that can still reach the threshold are compared.
void LinkParadigms(int Language, THotWordCandidates& Candidates, double Threshold) {
    // Equal forms score below 1, so a threshold of 1 or more links nothing.
    if (!(Threshold < 1)) return;
    const TParadigmMatcher Matcher(std::max(Threshold, 0.0));
    std::vector<std::string> Lower;
    Lower.reserve(Candidates.size());
    for (const auto& Item : Candidates) Lower.push_back(LangLowerCase(Item->Word, Language));
    std::vector<size_t> ByLength(Candidates.size());
    std::iota(ByLength.begin(), ByLength.end(), size_t(0));
    std::stable_sort(ByLength.begin(), ByLength.end(),
                     [&](size_t A, size_t B) { return Lower[A].size() < Lower[B].size(); });
    for (size_t P = 0; P < ByLength.size(); ++P) {
        const size_t I = ByLength[P];
        const size_t Longest = Threshold <= 0 ? SIZE_MAX : Matcher.LongestPartner(Lower[I].size());
        for (size_t Q = P + 1; Q < ByLength.size() && Lower[ByLength[Q]].size() <= Longest; ++Q) {
            const size_t J = ByLength[Q];
            if (!Matcher.Similar(Lower[I], Lower[J])) continue;
            Candidates[I]->Score += Candidates[J]->OwnScore;
            Candidates[J]->Score += Candidates[I]->OwnScore;
            Candidates[I]->ParadigmLinked = true;
            Candidates[J]->ParadigmLinked = true;
        }
    }
}

}  // namespace

long double LogLikelihoodScore(long double A, long double C, long double B, long double D) {
    const long double E1 = (A + B) * C / (C + D);
    const long double E2 = (A + B) * D / (C + D);
    return 2 * (LikelihoodTerm(A, E1) + LikelihoodTerm(B, E2));
}

double ParadigmSimilarity(std::string_view First, std::string_view Second) {
    const size_t M = std::min(First.size(), Second.size());
    int32_t Matches = 1;
    for (size_t I = 0; I + 1 < M; ++I)
        if (First[I] == Second[I] && First[I + 1] == Second[I + 1]) ++Matches;
    if (M > 0 && First.size() == Second.size() && First[M - 1] == Second[M - 1]) ++Matches;
    return 2.0 * Matches / (double(First.size() + 2) + double(Second.size() + 2));
}

bool ParadigmSimilar(int Language, std::string_view First, std::string_view Second, double Threshold) {
    return ParadigmSimilarity(LangLowerCase(First, Language), LangLowerCase(Second, Language)) >= Threshold;
}

void RankKeywordCandidates(int Language, const TFreqList& Reference, const TFreqList& Local,
                           const THotWordsOptions& Options, THotWordCandidates& Candidates) {
    const TConcordConfig* Config = ConfigOf(Language);
    if (!Config) throw std::out_of_range("Language index out of range");
    const int64_t C = Local.Count();
    const int64_t D = Reference.Count();
    const double Threshold =
        Options.ParadigmOption ? Options.ParadigmRankThreshold : Options.RankFunctionThreshold;
    const bool Fold = Reference.IgnoreCase();
    std::string Key;
    for (int32_t I = 0; I < C; ++I) {
        const TFreqItem& Item = *Local.GetItem(I);
        if (Fold) {
            Key.resize(Item.Word.size());
            for (size_t K = 0; K < Key.size(); ++K)
                Key[K] = char(Config->LowerCaseMap[uint8_t(Item.Word[K])]);
        }
        const TFreqItem* Known =
            Reference.FindWord(Fold ? std::string_view(Key) : std::string_view(Item.Word));
        if (!Known || !FreqItemPasses(Language, *Known)) continue;
        const int64_t A = Item.Frequency;
        const int64_t B = Known->Frequency;
        // A / C > B / D, in integers so that a word exactly at the reference rate is never offered.
        if (A * D <= B * C) continue;
        const double Score = double(LogLikelihoodScore(A, C, B, D));
        if (!(Score >= Threshold)) continue;
        auto Copy = TFreqItem::CreateCopy(Item);
        Copy->OwnScore = Copy->Score = Score;
        Copy->ParadigmLinked = false;
        Copy->Chosen = false;
        Candidates.push_back(std::move(Copy));
    }
    if (!Options.ParadigmOption || Candidates.empty()) return;
    LinkParadigms(Language, Candidates, Options.ParadigmThreshold);
    std::erase_if(Candidates, [&](const std::unique_ptr<TFreqItem>& Item) {
        return Item->Score < Options.RankFunctionThreshold;
    });
}

// ---- Choosing ------------------------------------------------------------------------------------------

void SortByScore(THotWordCandidates& Candidates) {
    std::stable_sort(Candidates.begin(), Candidates.end(),
                     [](const auto& A, const auto& B) { return A->Score > B->Score; });
}

int32_t ShownCandidateCount(const THotWordsConfig& Config, const THotWordsOptions& Options) {
    return Options.ParadigmOption ? 2 * Config.MaxHotWordsCandidates : Config.MaxHotWordsCandidates;
}

TFreqItem* AddFreqItemCopy(TFreqList& List, const TFreqItem& Item) {
    auto Copy = TFreqItem::CreateCopy(Item);
    const std::string Key = List.IgnoreCase() ? LangLowerCase(Copy->Word, List.Language()) : Copy->Word;
    const bool Existed = List.FindWord(Key) != nullptr;
    TFreqItem* Target = List.AddWord(Copy->Word, std::max(Copy->Frequency, 1));
    if (Copy->Positions) {
        if (!Existed || !Target->Positions)
            Target->Positions = std::move(Copy->Positions);
        else
            Target->Positions->insert(Target->Positions->end(), Copy->Positions->begin(),
                                      Copy->Positions->end());
    }
    Target->Score = Copy->Score;
    Target->OwnScore = Copy->OwnScore;
    Target->ParadigmLinked = Copy->ParadigmLinked;
    Target->Chosen = Copy->Chosen;
    return Target;
}

THotChooseModel::THotChooseModel(int Language, int Mode, int32_t HitCount,
                                 std::unique_ptr<TFreqList>& LocalList, bool& TranslationOptionsChanged,
                                 int32_t& TranslationPasses, THotWordsOptions& Options,
                                 THotWordsConfig& Config, TFreqList& Chosen, TLocalListBuilder Builder)
    : FLanguage(Language),
      FMode(Mode),
      FHitCount(HitCount),
      FLocalList(LocalList),
      FTranslationOptionsChanged(TranslationOptionsChanged),
      FTranslationPasses(TranslationPasses),
      FOptions(Options),
      FConfig(Config),
      FChosen(Chosen),
      FBuilder(std::move(Builder)) {}

bool THotChooseModel::Load() {
    return FMode == hcHotWords ? RankHotWords() : LoadTranslations(false);
}

void THotChooseModel::OptionsAccepted() {
    if (FMode == hcHotWords) {
        RankHotWords();
        return;
    }
    FTranslationOptionsChanged = true;
    LoadTranslations(true);
}

bool THotChooseModel::RankHotWords() {
    FEntries.clear();
    if (FHitCount < FConfig.MinHitsForHotWords) {
        ShowWarning(NotEnoughMatchesText);
        return true;
    }
    THotWordCandidates Candidates;
    {
        TWaitScope Wait;
        std::unique_ptr<TFreqList> Built;
        if (!FLocalList) {
            Built = FBuilder ? FBuilder(FLanguage) : nullptr;
            if (!Built) return false;
        }
        const TFreqList& Local = Built ? *Built : *FLocalList;
        if (const TConcordConfig* Config = ConfigOf(FLanguage); Config && Config->FreqList)
            RankKeywordCandidates(FLanguage, *Config->FreqList, Local, FOptions, Candidates);
        if (Built) FLocalList = std::move(Built);
    }
    if (Candidates.empty()) {
        ShowWarning(NoCandidatesText);
        return true;
    }
    SortByScore(Candidates);
    Show(std::move(Candidates));
    return true;
}

bool THotChooseModel::LoadTranslations(bool Rebuild) {
    FEntries.clear();
    if (Rebuild) FLocalList.reset();
    if (!FLocalList && FBuilder) {
        TWaitScope Wait;
        FLocalList = FBuilder(FLanguage);
    }
    if (!FLocalList) return false;
    THotWordCandidates Candidates;
    for (int32_t I = 0; I < FLocalList->Count(); ++I)
        Candidates.push_back(TFreqItem::CreateCopy(*FLocalList->GetItem(I)));
    // The list comes in its storage order; by score first, so that the cut keeps the best words.
    SortByScore(Candidates);
    Show(std::move(Candidates));
    return !FEntries.empty();
}

void THotChooseModel::Show(THotWordCandidates Candidates) {
    const size_t Shown = size_t(std::max<int32_t>(0, ShownCandidateCount(FConfig, FOptions)));
    if (Candidates.size() > Shown) Candidates.resize(Shown);
    const bool IgnoreCase = FrequencyConfigs.at(size_t(FLanguage)).IgnoreCase;
    const auto KeyOf = [&](const std::string& Word) {
        return IgnoreCase ? LangLowerCase(Word, FLanguage) : Word;
    };
    std::unordered_set<std::string> ChosenWords;
    for (int32_t I = 0; I < FChosen.Count(); ++I) ChosenWords.insert(KeyOf(FChosen.GetItem(I)->Word));
    for (auto& Item : Candidates) Item->Chosen = ChosenWords.count(KeyOf(Item->Word)) > 0;
    FEntries = std::move(Candidates);
}

bool THotChooseModel::Confirm(const std::vector<bool>& Selected) {
    const auto IsSelected = [&](size_t I) { return I < Selected.size() && Selected[I]; };
    bool Changed = false;
    std::unordered_set<std::string> SelectedWords;
    for (size_t I = 0; I < FEntries.size(); ++I) {
        if (IsSelected(I) != FEntries[I]->Chosen) Changed = true;
        if (IsSelected(I)) SelectedWords.insert(FEntries[I]->Word);
    }
    for (int32_t I = 0; I < FChosen.Count() && !Changed; ++I)
        if (!SelectedWords.count(FChosen.GetItem(I)->Word)) Changed = true;
    FChosen.Clear();
    for (size_t I = 0; I < FEntries.size(); ++I) {
        if (!IsSelected(I)) continue;
        AddFreqItemCopy(FChosen, *FEntries[I])->Chosen = true;
    }
    return Changed;
}

// ---- The options dialog --------------------------------------------------------------------------------

bool HotWordsGlobalsChanged(int Mode, const THotWordsGlobals& Shown, const THotWordsGlobals& Working) {
    if (Mode == hoHotWords)
        return Shown.Config.MinHitsForHotWords != Working.Config.MinHitsForHotWords ||
               Shown.Config.MaxHotWordsCandidates != Working.Config.MaxHotWordsCandidates;
    return Shown.TranslationPasses != Working.TranslationPasses;
}

bool HotWordsOptionsChanged(const THotWordsOptions& Saved, const THotWordsOptions& Edited) {
    if (FloatsDiffer(Saved.RankFunctionThreshold, Edited.RankFunctionThreshold)) return true;
    if (Saved.ParadigmOption != Edited.ParadigmOption) return true;
    return Edited.ParadigmOption && (FloatsDiffer(Saved.ParadigmThreshold, Edited.ParadigmThreshold) ||
                                     FloatsDiffer(Saved.ParadigmRankThreshold, Edited.ParadigmRankThreshold));
}

void ApplyHotWordsDefaults(int Language, int Mode, const THotWordsGlobals& Globals,
                           const THotWordsOptions& Options, bool GlobalsChanged) {
    if (Mode == hoHotWords)
        HotWordsConfig = Globals.Config;
    else
        TranslationPasses = Globals.TranslationPasses;
    SetLanguageHotWordsOptions(Language, Options);
    if (Mode != hoHotWords) return;
    if (!GlobalsChanged) {
        BroadcastToChildren(CM_CLEARHOTWORDS, Language, 0);
        return;
    }
    for (int L = 0; L < LanguagesCount; ++L) BroadcastToChildren(CM_CLEARHOTWORDS, L, 0);
}
