#include "shell/ParaLoadModel.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/ConcCorpus.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/Nls.h"
#include "ui/Msg.h"

namespace {

TConcordConfig* ConfigOf(int Language) {
    if (Language < 0 || Language >= MaxLanguages) return nullptr;
    return LanguageConfigs[size_t(Language)].get();
}

std::string Formatted(const char* Format, const std::string& A, const std::string& B = "") {
    const int Size = std::snprintf(nullptr, 0, Format, A.c_str(), B.c_str());
    std::string Text(size_t(Size) + 1, '\0');
    std::snprintf(Text.data(), Text.size(), Format, A.c_str(), B.c_str());
    Text.resize(size_t(Size));
    return Text;
}

bool Contains(const std::vector<int>& Sorted, int Value) {
    return std::binary_search(Sorted.begin(), Sorted.end(), Value);
}

// A format chosen in a list of Count entries, or the stored one when the list shows none.
uint8_t ChosenFormat(int Edited, int Count, uint8_t Stored) {
    return Edited >= 0 && Edited < Count ? uint8_t(Edited) : Stored;
}

// Stores the trimmed edit into Field; returns whether that changed it.
bool StoreText(std::string& Field, const std::string& Edit) {
    std::string Trimmed = TrimFormatText(Edit);
    if (Trimmed == Field) return false;
    Field = std::move(Trimmed);
    return true;
}

bool StoreFormat(uint8_t& Field, uint8_t Value) {
    if (Field == Value) return false;
    Field = Value;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Text formats

TSavedConcordConfig::TSavedConcordConfig(int32_t Language) : Language(Language) {
    const TConcordConfig& C = *LanguageConfigs.at(size_t(Language));
    SentDelimiters = C.SentDelimiters;
    SmartAbbrDetect = C.SmartAbbrDetect;
    includeTrailingQuotes = C.includeTrailingQuotes;
    SentenceExceptions = C.SentenceExceptions;
    HeadingFormat = C.HeadingFormat;
    HStart = C.HStart;
    HStop = C.HStop;
    HPattern = C.HPattern;
    ParagraphFormat = C.ParagraphFormat;
    PStart = C.PStart;
    PStop = C.PStop;
    SentenceFormat = C.SentenceFormat;
    SStart = C.SStart;
    SStop = C.SStop;
}

bool TSavedConcordConfig::Differs(const TConcordConfig& C) const {
    if (HeadingFormat != C.HeadingFormat || ParagraphFormat != C.ParagraphFormat ||
        SentenceFormat != C.SentenceFormat)
        return true;
    if (HeadingFormat == 0 && (HStart != C.HStart || HStop != C.HStop)) return true;
    if ((HeadingFormat == 1 || HeadingFormat == 2) && HPattern != C.HPattern) return true;
    if (ParagraphFormat == 0 && (PStart != C.PStart || PStop != C.PStop)) return true;
    if (ParagraphFormat == 4 && PStart != C.PStart) return true;
    if ((SentenceFormat == 0 || SentenceFormat == 2) && (SStart != C.SStart || SStop != C.SStop)) return true;
    if (SentenceFormat == 1 &&
        (SentDelimiters != C.SentDelimiters || SmartAbbrDetect != C.SmartAbbrDetect ||
         includeTrailingQuotes != C.includeTrailingQuotes || SentenceExceptions != C.SentenceExceptions))
        return true;
    return false;
}

bool TSavedConcordConfig::Differs() const {
    const TConcordConfig* C = ConfigOf(Language);
    return C && Differs(*C);
}

void TSavedConcordConfig::Restore() const {
    TConcordConfig* C = ConfigOf(Language);
    if (!C) return;
    C->SentDelimiters = SentDelimiters;
    C->SmartAbbrDetect = SmartAbbrDetect;
    C->includeTrailingQuotes = includeTrailingQuotes;
    C->SentenceExceptions = SentenceExceptions;
    C->HeadingFormat = HeadingFormat;
    C->HStart = HStart;
    C->HStop = HStop;
    C->HPattern = HPattern;
    C->ParagraphFormat = ParagraphFormat;
    C->PStart = PStart;
    C->PStop = PStop;
    C->SentenceFormat = SentenceFormat;
    C->SStart = SStart;
    C->SStop = SStop;
}

std::string TrimFormatText(const std::string& Text) {
    size_t First = 0, Last = Text.size();
    while (First < Last && uint8_t(Text[First]) <= ' ') ++First;
    while (Last > First && uint8_t(Text[Last - 1]) <= ' ') --Last;
    return Text.substr(First, Last - First);
}

bool ApplyTextFormat(TConcordConfig& Config, const TTextFormatEdits& Edits, bool Aligned) {
    bool Changed = false;
    if (!Aligned) {
        Changed |= StoreFormat(Config.HeadingFormat,
                               ChosenFormat(Edits.HeadingFormat, HeadingFormatCount, Config.HeadingFormat));
        if (Edits.HeadingFormat == 0) {
            Changed |= StoreText(Config.HStart, Edits.HStart);
            Changed |= StoreText(Config.HStop, Edits.HStop);
        } else if (Edits.HeadingFormat == 1 || Edits.HeadingFormat == 2) {
            Changed |= StoreText(Config.HPattern, Edits.HPattern);
        }
        Changed |=
            StoreFormat(Config.ParagraphFormat,
                        ChosenFormat(Edits.ParagraphFormat, ParagraphFormatCount, Config.ParagraphFormat));
        if (Edits.ParagraphFormat == 0) {
            Changed |= StoreText(Config.PStart, Edits.PStart);
            Changed |= StoreText(Config.PStop, Edits.PStop);
        }
    }
    Changed |= StoreFormat(Config.SentenceFormat,
                           ChosenFormat(Edits.SentenceFormat, SentenceFormatCount, Config.SentenceFormat));
    if (Edits.SentenceFormat == 0) {
        Changed |= StoreText(Config.SStart, Edits.SStart);
        Changed |= StoreText(Config.SStop, Edits.SStop);
    }
    return Changed;
}

// ---------------------------------------------------------------------------------------------------
// File lists

TParaLoadFiles ConfiguredFiles(const TConcordConfig& Config) {
    TParaLoadFiles Files;
    for (size_t I = 0; I < Config.Files.size(); ++I)
        Files.push_back({Config.Files[I].Name, int(I), Config.Files[I].Object});
    return Files;
}

std::vector<int> DropSelection(TParaLoadFiles& Files, const std::vector<int>& Selected, int Target) {
    const int Count = int(Files.size());
    if (Count < 2 || Selected.empty() || Target < 0 || Target > Count || Contains(Selected, Target))
        return Selected;
    TParaLoadFiles Moved, Rest;
    int Insert = -1;
    for (int I = 0; I < Count; ++I) {
        if (I == Target) Insert = int(Rest.size());
        (Contains(Selected, I) ? Moved : Rest).push_back(std::move(Files[size_t(I)]));
    }
    if (Insert < 0) Insert = int(Rest.size());
    std::vector<int> NewSelection;
    for (int I = 0; I < int(Moved.size()); ++I) NewSelection.push_back(Insert + I);
    Rest.insert(Rest.begin() + Insert, std::make_move_iterator(Moved.begin()),
                std::make_move_iterator(Moved.end()));
    Files = std::move(Rest);
    return NewSelection;
}

void RemoveSelection(TParaLoadFiles& Files, std::vector<int> Selected) {
    std::sort(Selected.begin(), Selected.end());
    Selected.erase(std::unique(Selected.begin(), Selected.end()), Selected.end());
    for (auto It = Selected.rbegin(); It != Selected.rend(); ++It)
        if (*It >= 0 && *It < int(Files.size())) Files.erase(Files.begin() + *It);
}

TCheckState Utf8State(const TParaLoadFiles& Files, const std::vector<int>& Selected) {
    int Marked = 0;
    for (int I : Selected) Marked += Files.at(size_t(I)).Record.Converted ? 1 : 0;
    if (Marked == 0) return TCheckState::Unchecked;
    return Marked == int(Selected.size()) ? TCheckState::Checked : TCheckState::Grayed;
}

TCheckState NextUtf8State(TCheckState State) {
    return State == TCheckState::Checked ? TCheckState::Unchecked : TCheckState::Checked;
}

void MarkSelectionUtf8(TParaLoadFiles& Files, const std::vector<int>& Selected, bool Checked) {
    for (int I : Selected) Files.at(size_t(I)).Record.Converted = Checked;
}

std::vector<int> AddChosenFiles(std::vector<TParaLoadFiles>& Lists,
                                const std::vector<std::string>& LanguageNames, int Language,
                                const std::vector<std::string>& Chosen, const TIsTextFileFunc& IsText,
                                const TIsEmptyFileFunc& IsEmpty) {
    std::vector<int> Added;
    TParaLoadFiles& Own = Lists.at(size_t(Language));
    // Looked up by name, so that adding thousands of files to lists of thousands stays quick: the names
    // of the own list, and for each name of the other lists the first language that lists it.
    std::unordered_set<std::string> Listed;
    for (const TParaLoadFile& F : Own) Listed.insert(F.Name);
    std::unordered_map<std::string_view, int> Elsewhere;
    for (int L = 0; L < int(Lists.size()); ++L)
        if (L != Language)
            for (const TParaLoadFile& F : Lists[size_t(L)]) Elsewhere.emplace(F.Name, L);
    for (const std::string& Name : Chosen) {
        if (IsText && !IsText(Name) &&
            !ConfirmYesNo(Formatted("\"%s\" does not seem to be a text file. Open anyway?", Name), true))
            break;
        // An empty file would count as a parallel file of the corpus while nothing of it can be aligned.
        if (IsEmpty && IsEmpty(Name) && !ConfirmYesNo(Formatted("\"%s\" is empty. Open anyway?", Name), true))
            break;
        if (Listed.count(Name)) continue;
        const auto Other = Elsewhere.find(Name);
        if (Other != Elsewhere.end()) {
            const std::string OtherName =
                Other->second < int(LanguageNames.size()) ? LanguageNames[size_t(Other->second)] : "";
            ShowWarning(Formatted("File \"%s\" already exists into %s corpus.", Name, OtherName));
            continue;
        }
        Own.push_back({Name, -1, TCorpusFileRecord{}});
        Listed.insert(Name);
        Added.push_back(int(Own.size()) - 1);
    }
    return Added;
}

std::string FolderOf(const std::string& FileName) {
    const size_t Slash = FileName.rfind('/');
    return Slash == std::string::npos ? std::string() : FileName.substr(0, Slash + 1);
}

bool FilesChanged(const TParaLoadFiles& Files, const TConcordConfig& Config) {
    const int Configured = int(Config.Files.size());
    std::vector<bool> Listed(size_t(Configured), false);
    for (size_t Pos = 0; Pos < Files.size(); ++Pos) {
        const TParaLoadFile& F = Files[Pos];
        if (F.ConfiguredIndex < 0 || F.ConfiguredIndex >= Configured) return true;
        if (F.ConfiguredIndex != int(Pos)) return true;
        if (F.Record.Converted != Config.Files[size_t(F.ConfiguredIndex)].Object.Converted) return true;
        Listed[size_t(F.ConfiguredIndex)] = true;
    }
    return std::find(Listed.begin(), Listed.end(), false) != Listed.end();
}

// ---------------------------------------------------------------------------------------------------
// Fonts

void ApplyLanguageFont(int Language, const TFontSpec& Font) {
    if (!ConfigOf(Language)) return;
    BroadcastToChildren(CM_FONTCHANGED, Language, 0);
    // A handler may have dropped the language meanwhile.
    TConcordConfig* Config = ConfigOf(Language);
    if (!Config) return;
    Config->Fonts[SystemFont] = Font;
    Config->Fonts[NormalFont] = Font;
    for (int Index = CorpusFont; Index < ConfigFontCount; ++Index) {
        if (Index == NormalFont) continue;
        Config = ConfigOf(Language);
        if (!Config) return;
        TFontSpec& Target = Config->Fonts[size_t(Index)];
        Target.Name = Font.Name;
        Target.Charset = Font.Charset;
        Target.Size = std::abs(Target.Size);
        BroadcastToChildren(CM_FONTCHANGED, Language, Index);
    }
}

// ---------------------------------------------------------------------------------------------------
// Languages

void RemoveCorpusLanguage(int Language) {
    if (!ConfigOf(Language)) return;
    // Its pairs with language 0 would otherwise outlive it and wait for the next language in its place.
    if (Language > 0) ClearFileAlignment(Language, -1);
    SendToMainForm(CM_REMOVELANGUAGE, Language, 0);
    LanguageConfigs[size_t(Language)].reset();
}

void SetCorpusLanguageCount(int Count, bool NewCorpus,
                            const std::function<void(int Language)>& RemoveLanguage) {
    Count = std::clamp(Count, 0, MaxLanguages);
    for (int L = LanguagesCount - 1; L >= Count; --L) {
        if (RemoveLanguage)
            RemoveLanguage(L);
        else
            RemoveCorpusLanguage(L);
    }
    int Last = std::min(LanguagesCount, Count) - 1;
    while (Last >= 0 && !LanguageConfigs[size_t(Last)]) --Last;
    for (int L = 0; L < Count; ++L) {
        if (LanguageConfigs[size_t(L)]) continue;
        LanguageConfigs[size_t(L)] = std::make_unique<TConcordConfig>(L);
        if (Last >= 0) {
            LanguageConfigs[size_t(L)]->Assign(*LanguageConfigs[size_t(Last)]);
            FrequencyConfigs[size_t(L)] = FrequencyConfigs[size_t(Last)];
        }
    }
    LanguagesCount = Count;
    if (NewCorpus && Count > 0) {
        const uint32_t Id = platform::UserDefaultLangId();
        LanguageConfigs[0]->SetLanguage(Id, LanguageNameOfLCID(Id));
    }
}

std::vector<TNamedItem<uint32_t>> LanguageChoices(uint32_t UserDefaultId) {
    std::vector<TNamedItem<uint32_t>> Choices = InstalledLanguages;
    std::stable_sort(
        Choices.begin(), Choices.end(),
        [](const TNamedItem<uint32_t>& A, const TNamedItem<uint32_t>& B) { return A.Name < B.Name; });
    for (int I = 1; I <= 4; ++I) Choices.push_back({"Additional " + std::to_string(I), UserDefaultId});
    return Choices;
}

int LanguageChoiceIndex(const std::vector<TNamedItem<uint32_t>>& Choices, const std::string& Name) {
    if (Choices.empty()) return -1;
    for (const std::string& Wanted : {Name, LanguageNameOfLCID(1033)})
        for (size_t I = 0; I < Choices.size(); ++I)
            if (!Wanted.empty() && Choices[I].Name == Wanted) return int(I);
    return 0;
}

// ---------------------------------------------------------------------------------------------------
// The dialog's state

TParaLoadModel::TParaLoadModel(bool NewCorpus)
    : AlignFormat(CommonConfig ? CommonConfig->AlignFormat : 0),
      FNewCorpus(NewCorpus),
      FOpeningCount(LanguagesCount) {}

void TParaLoadModel::BuildPanel(int Language) {
    const TConcordConfig& Config = *LanguageConfigs.at(size_t(Language));
    TParaLoadLanguage Panel;
    Panel.Files = ConfiguredFiles(Config);
    Panel.LCID = Config.LocaleId;
    Panel.Name = Config.LanguageName;
    Panel.Font = Config.Fonts[SystemFont];
    Panel.Snapshot = std::make_unique<TSavedConcordConfig>(Language);
    FLanguages.push_back(std::move(Panel));
}

int TParaLoadModel::SetLanguageCount(int Count, const std::function<void(int Language)>& OnRemovePanel) {
    // A language set aside comes back as it was, its configuration still in its slot.
    std::erase_if(FSetAside, [&](int Language) { return Language < Count; });
    SetCorpusLanguageCount(Count, FNewCorpus, [&](int Language) {
        if (Language < PanelCount()) {
            if (OnRemovePanel) OnRemovePanel(Language);
            FLanguages.erase(FLanguages.begin() + Language, FLanguages.end());
        }
        // Cancel must be able to give back a language the corpus had; OK removes it.
        if (Language < FOpeningCount && ConfigOf(Language)) {
            if (std::find(FSetAside.begin(), FSetAside.end(), Language) == FSetAside.end())
                FSetAside.push_back(Language);
        } else {
            RemoveCorpusLanguage(Language);
        }
    });
    const int FirstBuilt = PanelCount();
    for (int L = FirstBuilt; L < LanguagesCount; ++L) BuildPanel(L);
    return FirstBuilt;
}

void TParaLoadModel::CommitLanguageCount() {
    std::sort(FSetAside.rbegin(), FSetAside.rend());
    for (int Language : FSetAside)
        if (Language >= LanguagesCount) RemoveCorpusLanguage(Language);
    FSetAside.clear();
}

void TParaLoadModel::RestoreLanguageCount(const std::function<void(int Language)>& OnRemovePanel) {
    if (LanguagesCount > FOpeningCount) {
        SetLanguageCount(FOpeningCount, OnRemovePanel);
    } else if (LanguagesCount < FOpeningCount) {
        LanguagesCount = FOpeningCount;
    }
    FSetAside.clear();
}

bool TParaLoadModel::AlignFormatChanged() const {
    return CommonConfig && CommonConfig->AlignFormat != AlignFormat;
}

bool TParaLoadModel::ChangesPending(bool WithTextFormats) const {
    // A new corpus gets its first count from the dialog itself: that is no change of the user's.
    if ((CountChanged() &&
         !(FNewCorpus && FOpeningCount < MinParallelTexts && LanguagesCount == MinParallelTexts)) ||
        AlignFormatChanged())
        return true;
    for (int L = 0; L < std::min(PanelCount(), LanguagesCount); ++L) {
        const TConcordConfig* Config = ConfigOf(L);
        if (!Config) continue;
        const TParaLoadLanguage& P = Panel(L);
        if (FontsDiffer(P.Font, Config->Fonts[SystemFont])) return true;
        // A language the dialog created is a change of the count, not of its language.
        if (P.LCID != 0 && P.LCID != Config->LocaleId && L < FOpeningCount) return true;
        if (WithTextFormats && P.Snapshot && P.Snapshot->Differs(*Config)) return true;
        if (FilesChanged(P.Files, *Config)) return true;
    }
    return false;
}

void TParaLoadModel::ApplyChanges() {
    for (int L = 0; L < std::min(PanelCount(), LanguagesCount); ++L) {
        const TConcordConfig* Config = ConfigOf(L);
        if (Config && FontsDiffer(Panel(L).Font, Config->Fonts[SystemFont]))
            ApplyLanguageFont(L, Panel(L).Font);
    }
    FAlignFormatApplied = AlignFormatChanged();
    if (FAlignFormatApplied) CommonConfig->AlignFormat = uint8_t(AlignFormat);
}

bool TParaLoadModel::HasUndefinedPanel() const {
    return std::any_of(FLanguages.begin(), FLanguages.end(),
                       [](const TParaLoadLanguage& P) { return P.LCID == 0; });
}

bool TParaLoadModel::HasUndefinedConfiguration() const {
    for (int L = 0; L < LanguagesCount; ++L)
        if (ConfigOf(L) && ConfigOf(L)->LocaleId == 0) return true;
    return false;
}

void TParaLoadModel::RestoreSnapshots() {
    for (const TParaLoadLanguage& P : FLanguages)
        if (P.Snapshot) P.Snapshot->Restore();
}

void TParaLoadModel::HandOverFiles() {
    const bool CountWasChanged = CountChanged();
    // A full disk is said once for the whole load, not once per language or per file.
    TConversionRun Conversions;
    for (int L = 0; L < std::min(PanelCount(), LanguagesCount); ++L) {
        if (!ConfigOf(L)) continue;
        const TParaLoadLanguage& P = Panel(L);
        std::vector<TNewCorpusFile> Files;
        for (const TParaLoadFile& F : P.Files) Files.push_back({F.Name, F.Record.Converted});
        const bool FormatChanged = P.Snapshot && P.Snapshot->Differs();
        LoadLanguageFiles(L, CountWasChanged, FormatChanged, P.Name, P.LCID, Files, FAlignFormatApplied);
    }
}
