#include "shell/WorkspaceChanges.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>

#include "engine/ConcConfig.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcStreamUtils.h"
#include "platform/IniFiles.h"

namespace {

// A 64-bit digest of the bytes written to it, which it does not keep: the corpus is compared by what its
// lists would write, without holding a copy of that. Blocks write their end offset into a placeholder
// afterwards; those offsets follow from the bytes appended, so only appended bytes count.
class TDigestStream : public TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }

    int64_t Write(const void* Buffer, int64_t Count) override {
        if (Count <= 0) return 0;
        for (; FSize < FPosition; ++FSize) Add(0);
        const auto* Bytes = static_cast<const uint8_t*>(Buffer);
        int64_t I = std::clamp<int64_t>(FSize - FPosition, 0, Count);
        for (; I < Count && FFill != 0; ++I) Add(Bytes[I]);
        // Whole words at a time once the bytes before them filled theirs: a corpus is hundreds of MB.
        for (; I + 8 <= Count; I += 8) {
            uint64_t Word;
            std::memcpy(&Word, Bytes + I, 8);
            AddWord(Word);
        }
        for (; I < Count; ++I) Add(Bytes[I]);
        FPosition += Count;
        FSize = std::max(FSize, FPosition);
        return Count;
    }

    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
        const int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : FSize;
        FPosition = std::max<int64_t>(0, Base + Offset);
        return FPosition;
    }

    int64_t GetSize() const override { return FSize; }

    uint64_t Digest() const {
        uint64_t H = FHash ^ Mixed(FWord ^ (uint64_t(FFill) << 56)) ^ uint64_t(FSize);
        H ^= H >> 33;
        H *= 0xFF51AFD7ED558CCDull;
        H ^= H >> 33;
        H *= 0xC4CEB9FE1A85EC53ull;
        return H ^ (H >> 33);
    }

private:
    static uint64_t Mixed(uint64_t Word) {
        Word *= 0x87C37B91114253D5ull;
        Word = (Word << 31) | (Word >> 33);
        return Word * 0x4CF5AD432745937Full;
    }

    void Add(uint8_t Byte) {
        FWord |= uint64_t(Byte) << (8 * FFill);
        if (++FFill < 8) return;
        AddWord(FWord);
        FWord = 0;
        FFill = 0;
    }

    void AddWord(uint64_t Word) {
        FHash ^= Mixed(Word);
        FHash = ((FHash << 27) | (FHash >> 37)) * 5 + 0x52DCE729;
    }

    int64_t FPosition = 0;
    int64_t FSize = 0;
    uint64_t FHash = 0x9E3779B97F4A7C15ull;
    uint64_t FWord = 0;
    int FFill = 0;
};

// A word list by its words and their counts: the order it is shown in (by frequency or by word, which
// a word list window sets) is no change of the corpus.
void WriteWords(TStream& S, const TFreqList* List) {
    WriteStreamBoolean(S, List != nullptr);
    if (!List) return;
    uint64_t Sum = 0;
    for (int32_t I = 0; I < List->Count(); ++I) {
        TDigestStream Item;
        List->GetItem(I)->SaveToStream(Item);
        Sum += Item.Digest();
    }
    WriteStreamInteger(S, List->Count());
    WriteStreamBoolean(S, List->IgnoreCase());
    WriteStreamInteger(S, int32_t(Sum));
    WriteStreamInteger(S, int32_t(Sum >> 32));
}

// Every language's files with everything computed for them, then the alignments.
void WriteCorpus(TStream& S) {
    WriteStreamInteger(S, LanguagesCount);
    for (int L = 0; L < LanguagesCount; ++L) {
        const TConcordConfig* Config = LanguageConfigs[size_t(L)].get();
        WriteStreamBoolean(S, Config != nullptr);
        if (!Config) continue;
        WriteStreamInteger(S, int32_t(Config->Files.size()));
        for (const auto& File : Config->Files) {
            WriteStreamString(S, File.Name);
            WriteStreamInteger(S, File.Object.WordCount);
            WriteStreamBoolean(S, File.Object.Converted);
            WriteStreamString(S, File.Object.CopyName);
        }
        Config->LineStarts.SaveToStream(S);
        Config->PageStarts.SaveToStream(S);
        Config->FileTags.SaveToStream(S);
        WriteWords(S, Config->FreqList.get());
        Config->SectionIndexes.SaveToStream(S);
        Config->ParagraphIndexes.SaveToStream(S);
        Config->SentenceIndexes.SaveToStream(S);
    }
    for (const auto* Pairs : {&Align12, &Align13, &Align14}) SaveOptionalElement(S, Pairs->get());
}

bool IsHistorySection(const std::string& Section) {
    for (const char* Base : {"SearchHistory.", "DelimiterHistory.", "SkippingHistory.", "EqualHistory."})
        if (Section.rfind(Base, 0) == 0) return true;
    return false;
}

// The settings as a workspace's settings file holds them, without the query histories.
std::string SettingsText() {
    if (!CommonConfig) return std::string();
    TIniFile Ini(std::string(), TIniFile::TOpenMode::StartEmpty);
    SaveGeneralPrefs(Ini);
    for (const std::string& Section : Ini.ReadSections())
        if (IsHistorySection(Section)) Ini.EraseSection(Section);
    return Ini.Content();
}

uint64_t CurrentState() {
    TDigestStream S;
    WriteStreamString(S, SettingsText());
    WriteCorpus(S);
    return S.Digest();
}

// What the workspace of that name held when it was opened or last saved.
struct TSavedState {
    std::string FileName;
    uint64_t Digest = 0;
};
std::optional<TSavedState> SavedState;

}  // namespace

void NoteWorkspaceSaved(const std::string& FileName) {
    SavedState = TSavedState{FileName, CurrentState()};
    HandEditsApplied = 0;
}

void ForgetWorkspaceState() {
    SavedState.reset();
    HandEditsApplied = 0;
}

bool UnsavedHandCorrections() {
    if (HandEditsApplied == 0) return false;
    for (int L = 0; L < LanguagesCount; ++L)
        if (LanguageConfigs[size_t(L)] && !LanguageConfigs[size_t(L)]->Files.empty()) return true;
    return false;
}

bool WorkspaceChanged() {
    return SavedState && !WorkspaceFileName.empty() && SavedState->FileName == WorkspaceFileName &&
           CurrentState() != SavedState->Digest;
}

const char* const SaveCorrectionsQuestion = "Save the alignment corrections as a workspace?";

std::string SaveChangesQuestion(const std::string& FileName) {
    return "Save changes to the workspace " + std::filesystem::path(FileName).filename().string() + "?";
}
