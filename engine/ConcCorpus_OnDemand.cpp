#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"

namespace {
std::function<void()> CorpusAlignmentRun;
}  // namespace

void SetCorpusAlignmentRun(std::function<void()> Run) {
    CorpusAlignmentRun = std::move(Run);
}

bool GetCorpusFreqList(int Language, bool Alphabetical) {
    auto ConfigOf = [Language]() -> TConcordConfig* {
        return Language >= 0 && Language < LanguagesCount ? LanguageConfigs[Language].get() : nullptr;
    };
    if (!ConfigOf()) return false;
    if (!ConfigOf()->FreqList) {
        // Counting the words again leaves the segments and their alignment as they are.
        const bool Segments = CorpusSegmentsMissing();
        if (!ProcessCorpus()) return false;
        if (Segments && CorpusAlignmentRun) CorpusAlignmentRun();
    }
    TConcordConfig* Config = ConfigOf();
    if (!Config || !Config->FreqList) return false;
    TFreqList& List = *Config->FreqList;
    const TFreqSort Wanted = Alphabetical ? TFreqSort::Alphabetical : TFreqSort::ByFrequency;
    if (List.SortState() != Wanted) {
        if (Alphabetical)
            List.SortAlphabetically();
        else
            List.SortByFrequency();
    }
    return true;
}
