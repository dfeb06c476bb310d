#include "engine/ConcCorpus.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>

#include "engine/ConcConfig.h"
#include "engine/ConcTags.h"
#include "engine/ConcUtils.h"

namespace {

// The configuration of Language, or nullptr when the corpus has no such language.
TConcordConfig* ConfigOf(int32_t Language) {
    if (Language < 0 || Language >= std::min(LanguagesCount, MaxLanguages)) return nullptr;
    return LanguageConfigs[static_cast<size_t>(Language)].get();
}

int32_t LastLanguage() {
    return std::min(LanguagesCount, MaxLanguages) - 1;
}

// Announces and frees one per-file list slot by slot, so that each window hears of a file's index
// while that index still exists.
template <class TSlots>
void ClearFileSlots(int Message, TSlots TConcordConfig::*Slots) {
    for (int32_t Language = 0; Language <= LastLanguage(); ++Language) {
        TConcordConfig* Config = ConfigOf(Language);
        if (!Config) continue;
        TSlots& List = Config->*Slots;
        for (int32_t File = 0; File < List.Count(); ++File) {
            BroadcastToChildren(Message, Language, File);
            List.SetItem(File, nullptr);  // the element handed back is freed here
        }
    }
}

// The pair lists a language's alignment lives in: all three for the source language.
std::vector<std::unique_ptr<TDoubleAlignIndexes>*> PairListsOf(int32_t Language) {
    switch (Language) {
        case 0:
            return {&Align12, &Align13, &Align14};
        case 1:
            return {&Align12};
        case 2:
            return {&Align13};
        case 3:
            return {&Align14};
        default:
            return {};
    }
}

template <class TTest>
void ClearSegmentsWhere(int32_t First, int32_t Last, TTest&& Affected) {
    for (int32_t Language = std::max(First, 0); Language <= std::min(Last, LastLanguage()); ++Language) {
        const TConcordConfig* Config = ConfigOf(Language);
        if (!Config || !Affected(*Config)) continue;
        ClearSegmentIndexes(Language);
        ClearFileAlignment(Language, -1);
    }
}

}  // namespace

void ClearScannedInfo(int32_t Language, bool All, bool Pages, bool AllFrequencyLists, bool FreqChanged,
                      bool FreqOptionsChanged, bool AutoSentences) {
    const int32_t Last = LastLanguage();
    if (All) {
        ClearPageLists();
        ClearFileTagLists();
        ClearSegmentsWhere(0, Last, [](const TConcordConfig&) { return true; });
        DropCorpusFreqLists(0, Last);
    }
    if (Pages) ClearPageLists();
    if (AllFrequencyLists) DropCorpusFreqLists(0, Last);
    if (FreqChanged || FreqOptionsChanged) {
        if (Language < 0)
            DropCorpusFreqLists(0, Last);
        else
            DropCorpusFreqList(Language);
    }
    if (AutoSentences) {
        if (Language < 0)
            ClearAutoSentenceSegments(0, Last);
        else
            ClearAutoSentenceSegments(Language, Language);
    }
}

void ClearPageLists() {
    ClearFileSlots(CM_PAGEINDEXDROPPED, &TConcordConfig::PageStarts);
}

void ClearFileTagLists() {
    ClearFileSlots(CM_TAGINDEXDROPPED, &TConcordConfig::FileTags);
}

void ClearSegmentIndexes(int32_t Language) {
    TConcordConfig* Config = ConfigOf(Language);
    if (!Config) return;
    BroadcastToChildren(CM_SEGMENTINDEXDROPPED, Language, 0);
    for (TAlignIndexes* Indexes :
         {&Config->SectionIndexes, &Config->ParagraphIndexes, &Config->SentenceIndexes})
        for (int32_t File = 0; File < Indexes->Count(); ++File) Indexes->SetItem(File, nullptr);
}

void ClearFileAlignment(int32_t Language, int32_t File) {
    BroadcastToChildren(CM_ALIGNMENTDROPPED, Language, 0);
    for (std::unique_ptr<TDoubleAlignIndexes>* Pairs : PairListsOf(Language)) {
        if (!*Pairs) continue;
        if (File < 0)
            Pairs->reset();
        else if (File < (*Pairs)->Count())
            (*Pairs)->SetItem(File, nullptr);
    }
}

void ClearTagBasedSegments(int32_t First, int32_t Last) {
    ClearSegmentsWhere(First, Last, [](const TConcordConfig& Config) {
        if (!CommonConfig)
            return Config.HeadingFormat == 0 || Config.ParagraphFormat == 0 || Config.SentenceFormat == 0;
        const TTextFormats F = EffectiveTextFormats(Config, *CommonConfig);
        return F.Heading == 0 || F.Paragraph == 0 || F.Sentence == 0;
    });
}

void ClearAutoSentenceSegments(int32_t First, int32_t Last) {
    ClearSegmentsWhere(First, Last, [](const TConcordConfig& Config) { return Config.SentenceFormat == 1; });
}

// The main window still shows the old word totals after this; its next refresh shows the zeros.
void DropCorpusFreqList(int32_t Language) {
    TConcordConfig* Config = ConfigOf(Language);
    if (!Config) return;
    BroadcastToChildren(CM_FREQSETTINGSCHANGED, Language, 1);
    SendToMainForm(CM_FREQSETTINGSCHANGED, Language, 1);
    Config->FreqList.reset();
    for (auto& File : Config->Files) File.Object.WordCount = 0;
}

void DropCorpusFreqLists(int32_t First, int32_t Last) {
    for (int32_t Language = std::max(First, 0); Language <= std::min(Last, LastLanguage()); ++Language)
        DropCorpusFreqList(Language);
}

void FreeAllAlignments() {
    BroadcastToChildren(CM_ALIGNMENTDROPPED, -1, 0);
    Align12.reset();
    Align13.reset();
    Align14.reset();
}
