// A small corpus for the corpus-pass tests: languages with files written to a temporary folder and
// registered as the corpus loader registers them, with the options the tests expect.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/ScriptedBackend.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTags.h"
#include "engine/SynStream.h"
#include "tests/support/TestSupport.h"
#include "ui/ConcProgress.h"

// Lowers the number of descriptors the file streams keep open while it lives, so that a corpus of a few
// dozen files reads as one of tens of thousands does under the process's limit.
class TDescriptorBudget {
public:
    explicit TDescriptorBudget(size_t Capacity) : FOld(TFileHandleCache::Instance().Capacity()) {
        TFileHandleCache::Instance().SetCapacity(Capacity);
    }
    ~TDescriptorBudget() { TFileHandleCache::Instance().SetCapacity(FOld); }
    TDescriptorBudget(const TDescriptorBudget&) = delete;
    TDescriptorBudget& operator=(const TDescriptorBudget&) = delete;

private:
    size_t FOld;
};

// A fresh configuration as the corpus and search tests expect it: tags in angle brackets, the usual
// wildcard characters, and language 0 in US English.
inline void ConfigureForCorpusTests() {
    ResetGlobalsForTest();
    InitConfigUnit();
    TCommonConcordConfig& C = *CommonConfig;
    C.TagStart = '<';
    C.TagStop = '>';
    C.WildCard0orMore = '*';
    C.WildCard0or1 = '%';
    C.WildCardExactly1 = '?';
    C.WildCardMatchWords = '@';
    LanguageConfigs[0]->SetLanguage(1033, "English (United States)");
}

class TCorpusTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConfigureForCorpusTests();
        // The tests answer the progress window at its steps, which the pass would skip when they come
        // sooner than a person could see them.
        SetPassPumpInterval(0);
    }

    void TearDown() override {
        SetPassPumpInterval(20);
        ResetGlobalsForTest();
    }

    // Language L, created (US English) together with the languages before it when missing.
    TConcordConfig& Lang(int L) {
        for (int I = 0; I <= L; ++I) {
            if (!LanguageConfigs[I]) {
                LanguageConfigs[I] = std::make_unique<TConcordConfig>(I);
                LanguageConfigs[I]->SetLanguage(1033, "English (United States)");
            }
        }
        LanguagesCount = std::max(LanguagesCount, L + 1);
        return *LanguageConfigs[L];
    }

    // Writes Bytes to a file named Name and registers it with language L; returns its file index.
    int AddFile(int L, const std::string& Name, const std::string& Bytes) {
        TConcordConfig& Config = Lang(L);
        const std::string Path = Dir.Write(Name, Bytes);
        TNamedItem<TCorpusFileRecord> Entry;
        Entry.Name = Path;
        Entry.Object.CopyName = Path;
        return Config.AddFile(std::move(Entry),
                              std::make_unique<TFileSynchroStream>(Path, fmOpenRead | fmShareDenyWrite),
                              nullptr);
    }

    TTempDir Dir;
    TScriptedBackend Backend;
};

// The bytes of each segment of Index, cut from Text.
inline std::vector<std::string> SegmentTexts(const TAlignIndex* Index, const std::string& Text) {
    std::vector<std::string> Texts;
    if (!Index) return Texts;
    for (int32_t I = 0; I < Index->Count(); ++I) {
        const TSegment S = Index->GetItem(I);
        Texts.push_back(Text.substr(static_cast<size_t>(S.Start), static_cast<size_t>(S.End - S.Start)));
    }
    return Texts;
}

inline std::vector<int32_t> Lengths(const TAlignIndex* Index) {
    std::vector<int32_t> Result;
    for (int32_t I = 0; Index && I < Index->Count(); ++I) Result.push_back(Index->GetItem(I).Length);
    return Result;
}

inline std::vector<int32_t> Values(const TIntegerList* List) {
    return List ? List->Values() : std::vector<int32_t>{};
}
