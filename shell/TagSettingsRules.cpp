#include "shell/TagSettingsRules.h"

#include "engine/ConcCorpus.h"
#include "engine/ConcPrefs.h"
#include "ui/Msg.h"

namespace {

std::string CharText(char C) {
    return C ? std::string(1, C) : std::string();
}
char FirstChar(const std::string& Text) {
    const std::string T = TrimControls(Text);
    return T.empty() ? 0 : T[0];
}

bool SameTrackedTags(const std::vector<TWatchedTag>& A, const std::vector<TWatchedTag>& B) {
    if (A.size() != B.size()) return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (A[I].Name != B[I].Name || A[I].TagStart != B[I].TagStart || A[I].TagStop != B[I].TagStop)
            return false;
    return true;
}

std::vector<std::string> TrimmedAll(const std::vector<std::string>& Texts) {
    std::vector<std::string> Out;
    Out.reserve(Texts.size());
    for (const std::string& T : Texts) Out.push_back(TrimControls(T));
    return Out;
}

}  // namespace

TTagSettingsEdits CurrentTagSettings(const TCommonConcordConfig& Config,
                                     const std::vector<TWatchedTag>& Tags) {
    return {CharText(Config.TagStart),
            CharText(Config.TagStop),
            Config.PageSeparator,
            Config.ShowLines,
            Config.ShowPages,
            Config.RelativeLines,
            Tags};
}

TTagSettingsChanges CompareTagSettings(const TTagSettingsEdits& Edits, const TCommonConcordConfig& Config,
                                       const std::vector<TWatchedTag>& Tags) {
    TTagSettingsChanges C;
    C.Delimiters = Edits.TagStart != CharText(Config.TagStart) || Edits.TagStop != CharText(Config.TagStop);
    C.PageDelimiter = Edits.PageSeparator != Config.PageSeparator;
    C.Any = C.Delimiters || C.PageDelimiter || Edits.ShowLines != Config.ShowLines ||
            Edits.ShowPages != Config.ShowPages || Edits.RelativeLines != Config.RelativeLines ||
            !SameTrackedTags(Edits.Rows, Tags);
    return C;
}

TTagSettingsCheck CheckTagSettings(const TTagSettingsEdits& Edits) {
    if (TrimControls(Edits.TagStart).empty()) return TTagSettingsCheck::EmptyTagStart;
    if (TrimControls(Edits.TagStop).empty()) return TTagSettingsCheck::EmptyTagStop;
    return TTagSettingsCheck::Ok;
}

void ApplyTagSettings(const TTagSettingsEdits& Edits, TCommonConcordConfig& Config) {
    Config.TagStart = FirstChar(Edits.TagStart);
    Config.TagStop = FirstChar(Edits.TagStop);
    Config.PageSeparator = Edits.PageSeparator;
    Config.ShowLines = Edits.ShowLines;
    Config.ShowPages = Edits.ShowPages;
    Config.RelativeLines = Edits.RelativeLines;
    ClearWatchedTags();
    for (const TWatchedTag& Row : Edits.Rows) AddWatchedTag(TWatchedTag(Row.Name, Row.TagStart, Row.TagStop));
}

TTrackedTagCheck CheckTrackedTag(const std::string& Name, const std::string& Start, const std::string& Stop,
                                 bool Cocoa, const std::vector<TWatchedTag>& Rows, int EditedRow) {
    if (TrimControls(Name).empty()) return TTrackedTagCheck::EmptyName;
    if (TrimControls(Start).empty()) return TTrackedTagCheck::EmptyStart;
    if (!Cocoa && TrimControls(Stop).empty()) return TTrackedTagCheck::EmptyStop;
    for (size_t I = 0; I < Rows.size(); ++I)
        if (static_cast<int>(I) != EditedRow && SameSettingName(Rows[I].Name, TrimControls(Name)))
            return TTrackedTagCheck::DuplicateName;
    return TTrackedTagCheck::Ok;
}

std::string TagSettingsScanQuestion() {
    return "Tag configuration is changed. Scan corpus now?\r\nThe corpus will be processed again with the "
           "new "
           "tags: the alignment corrections made by hand will be replaced by automatic alignment.\r\nNo "
           "keeps "
           "the corpus as it was read, with the tag characters it was read with; the other settings are "
           "stored.";
}

bool DropAfterTagSettings(bool DelimitersChanged, bool PageDelimiterChanged, const TTagSettingsEdits& Before,
                          bool CorpusLoaded) {
    // Nothing was read with the old settings: they are simply replaced.
    if (!CorpusLoaded || (!DelimitersChanged && !PageDelimiterChanged)) return false;
    // Asked before anything goes: the corpus and the windows over it stay whole until the user agrees.
    if (DelimitersChanged && ConfirmYesNo(TagSettingsScanQuestion(), true)) {
        ClearScannedInfo(-1, true, PageDelimiterChanged, false, false, false, false);
        return true;
    }
    if (DelimitersChanged) {
        // No: the corpus was read with these tag characters, and its indexes point into that reading.
        CommonConfig->TagStart = Before.TagStart.empty() ? 0 : Before.TagStart[0];
        CommonConfig->TagStop = Before.TagStop.empty() ? 0 : Before.TagStop[0];
    }
    if (!PageDelimiterChanged) return false;
    // Pages counted at the old delimiter would be numbered wrong: they go, and the scan counts them
    // again (nothing else is missing).
    ClearScannedInfo(-1, false, true, false, false, false, false);
    return true;
}

TSpecialTagsEdits CurrentSpecialTags(const TCommonConcordConfig& Config) {
    TSpecialTagsEdits E;
    E.Mode = Config.WordTag;
    E.Delimiter = CharText(Config.wTagDelimiter);
    E.Stop = CharText(Config.wTagStop);
    E.Before = Config.wTagBefore;
    E.Starts = Config.wTagStarts;
    for (const auto& Tag : Config.MetaTags) E.MetaTags.push_back({Tag.Name, JoinMembers(Tag.Object)});
    return E;
}

bool WordTagsChanged(const TSpecialTagsEdits& Edits, const TCommonConcordConfig& Config) {
    if (Edits.Mode != Config.WordTag) return true;
    if (TrimControls(Edits.Delimiter) != CharText(Config.wTagDelimiter)) return true;
    if (TrimControls(Edits.Stop) != CharText(Config.wTagStop)) return true;
    return Edits.Mode == 2 &&
           (TrimmedAll(Edits.Starts) != Config.wTagStarts || Edits.Before != Config.wTagBefore);
}

bool MetaTagsChanged(const TSpecialTagsEdits& Edits, const TCommonConcordConfig& Config) {
    if (Edits.MetaTags.size() != Config.MetaTags.size()) return true;
    for (size_t I = 0; I < Edits.MetaTags.size(); ++I)
        if (TrimControls(Edits.MetaTags[I].Name) != Config.MetaTags[I].Name ||
            Edits.MetaTags[I].Contents != JoinMembers(Config.MetaTags[I].Object))
            return true;
    return false;
}

TSpecialTagsCheck CheckSpecialTags(const TSpecialTagsEdits& Edits) {
    TSpecialTagsCheck C;
    if (Edits.Mode == 1 && TrimControls(Edits.Delimiter).empty())
        C.Result = TSpecialTagsCheck::EmptyDelimiter;
    if (Edits.Mode != 2) return C;
    if (TrimControls(Edits.Stop).empty()) {
        C.Result = TSpecialTagsCheck::EmptyStop;
        return C;
    }
    for (size_t I = 0; I < Edits.Starts.size(); ++I)
        if (TrimControls(Edits.Starts[I]).empty()) {
            C.Result = TSpecialTagsCheck::EmptyStart;
            C.StartRow = static_cast<int>(I);
            break;
        }
    return C;
}

void ApplySpecialTags(const TSpecialTagsEdits& Edits, TCommonConcordConfig& Config) {
    Config.ClearTagLists();
    Config.WordTag = Edits.Mode;
    Config.wTagBefore = Edits.Before;
    Config.wTagStarts = TrimmedAll(Edits.Starts);
    Config.wTagStop = FirstChar(Edits.Stop);
    Config.wTagDelimiter = FirstChar(Edits.Delimiter);
    for (const TMetaTagRow& Row : Edits.MetaTags)
        Config.MetaTags.push_back({TrimControls(Row.Name), SplitMembers(TrimControls(Row.Contents))});
}

TMetaTagCheck CheckMetaTag(const std::string& Name, const std::string& Contents,
                           const std::vector<std::string>& Names, int EditedIndex) {
    const std::string Trimmed = TrimControls(Name);
    if (Trimmed.empty()) return TMetaTagCheck::EmptyName;
    for (size_t I = 0; I < Names.size(); ++I)
        if (static_cast<int>(I) != EditedIndex && SameSettingName(Names[I], Trimmed))
            return TMetaTagCheck::DuplicateName;
    if (TrimControls(Contents).empty()) return TMetaTagCheck::EmptyContents;
    return TMetaTagCheck::Ok;
}

void DropAfterSpecialTags() {
    ClearScannedInfo(-1, false, false, true, false, false, false);
}
