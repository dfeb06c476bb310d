// What the workspace tests compare: everything a loaded corpus keeps, as the bytes it is stored as.
#pragma once

#include <map>
#include <string>
#include <vector>

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

// Every language's file names, in order.
inline std::vector<std::vector<std::string>> FileNames() {
    std::vector<std::vector<std::string>> Names;
    for (int L = 0; L < LanguagesCount; ++L) {
        Names.emplace_back();
        for (const auto& F : LanguageConfigs[size_t(L)]->Files) Names.back().push_back(F.Name);
    }
    return Names;
}

// Every piece of data a workspace keeps, one entry each: a slot's stored bytes ("" for an empty slot),
// a language's frequency list and a file's word count.
inline std::map<std::string, std::string> DataPieces() {
    std::map<std::string, std::string> Pieces;
    auto Slots = [&](const std::string& Key, const auto& List) {
        for (int32_t I = 0; I < List.Count(); ++I) {
            const auto* Item = List.GetItem(I);
            Pieces[Key + "/" + std::to_string(I)] = Item ? StoredBytes(*Item) : "";
        }
    };
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig& C = *LanguageConfigs[size_t(L)];
        const std::string K = std::to_string(L);
        Slots(K + "/lines", C.LineStarts);
        Slots(K + "/pages", C.PageStarts);
        Slots(K + "/tags", C.FileTags);
        Slots(K + "/sections", C.SectionIndexes);
        Slots(K + "/paragraphs", C.ParagraphIndexes);
        Slots(K + "/sentences", C.SentenceIndexes);
        Pieces[K + "/frequency"] = C.FreqList ? StoredBytes(*C.FreqList) : "";
        for (size_t I = 0; I < C.Files.size(); ++I)
            Pieces[K + "/words/" + std::to_string(I)] =
                C.Files[I].Object.WordCount ? std::to_string(C.Files[I].Object.WordCount) : "";
    }
    int K = 2;
    for (const auto* A : {&Align12, &Align13, &Align14}) {
        for (int32_t I = 0; *A && I < (*A)->Count(); ++I) {
            const TDoubleAlignIndex* Pair = (*A)->GetItem(I);
            Pieces["align1" + std::to_string(K) + "/" + std::to_string(I)] =
                Pair ? StoredBytes(Pair->Side1) + StoredBytes(Pair->Side2) : "";
        }
        ++K;
    }
    return Pieces;
}

// The first piece of Now that holds something other than Saved held there ("" when none): an open may
// leave data out to be computed again, never hold data that were not saved.
inline std::string FirstForeignPiece(const std::map<std::string, std::string>& Saved,
                                     const std::map<std::string, std::string>& Now) {
    for (const auto& [Key, Bytes] : Now) {
        if (Bytes.empty()) continue;
        const auto It = Saved.find(Key);
        if (It == Saved.end() || It->second != Bytes) return Key;
    }
    return "";
}
