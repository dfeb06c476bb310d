// Languages and segment-index slots for the alignment tests, without any corpus file.
#pragma once

#include <memory>

#include "engine/ConcConfig.h"

// Languages 0 .. Count - 1 (US English locale) named "English", "German", "French", "Czech".
inline void MakeLanguages(int Count) {
    const char* Names[] = {"English", "German", "French", "Czech"};
    for (int k = 0; k < Count; ++k) {
        if (!LanguageConfigs[k]) LanguageConfigs[k] = std::make_unique<TConcordConfig>(k);
        LanguageConfigs[k]->SetLanguage(1033, Names[k]);
    }
    LanguagesCount = Count;
}

// Gives file File of Language its section, paragraph and sentence indexes (empty ones), or only the
// first Have of them; slots are added up to the file.
inline void GiveSegmentIndexes(int Language, int File, int Have = 3) {
    TConcordConfig& C = *LanguageConfigs[Language];
    for (TAlignIndexes* Slots : {&C.SectionIndexes, &C.ParagraphIndexes, &C.SentenceIndexes}) {
        while (Slots->Count() <= File) Slots->Add(nullptr);
        if (Have-- > 0) Slots->SetItem(File, std::make_unique<TAlignIndex>());
    }
}
