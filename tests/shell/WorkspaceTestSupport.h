// What the workspace tests compare: everything a loaded corpus keeps, as the bytes it is stored as.
#pragma once

#include <string>

#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcStreamUtils.h"

// The bytes a list is stored as: two lists store alike exactly when they hold the same data.
template <class T>
std::string StoredBytes(const T& Object) {
    TMemoryStream S;
    Object.SaveToStream(S);
    return S.Bytes();
}

// Every language's file names, word counts, per-file lists and frequency list, and the alignments.
inline std::string CorpusSnapshot() {
    std::string All;
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& C = *LanguageConfigs[size_t(L)];
        for (const auto& F : C.Files) All += F.Name + "|" + std::to_string(F.Object.WordCount) + "|";
        All += StoredBytes(C.LineStarts) + StoredBytes(C.PageStarts) + StoredBytes(C.FileTags) +
               StoredBytes(C.SectionIndexes) + StoredBytes(C.ParagraphIndexes) +
               StoredBytes(C.SentenceIndexes);
        All += C.FreqList ? StoredBytes(*C.FreqList) : "no list";
    }
    for (const auto* A : {&Align12, &Align13, &Align14}) All += *A ? StoredBytes(**A) : "no pairs";
    return All;
}
