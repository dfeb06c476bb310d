#include "results/ConcOptionRules.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "controls/FileDialogs.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "platform/Nls.h"
#include "ui/Msg.h"

namespace {

constexpr TContextLimits Limits[5] = {{0, 1000, 10}, {0, 40, 1}, {0, 10, 1}, {1, 1, 1}, {1, 1, 1}};

std::string Trimmed(std::string_view S) {
    const auto Blank = [](char C) { return C == ' ' || C == '\t'; };
    while (!S.empty() && Blank(S.front())) S.remove_prefix(1);
    while (!S.empty() && Blank(S.back())) S.remove_suffix(1);
    return std::string(S);
}

std::string CharText(char C) {
    return C ? std::string(1, C) : std::string();
}
char TextChar(const std::string& S) {
    return S.empty() ? '\0' : S.front();
}

TConcordConfig& Config(int Language) {
    return *LanguageConfigs.at(static_cast<size_t>(Language));
}

void RestoreEqualChars(int Language, const std::string& Old) {
    Config(Language).EqualChars = Old;
    ParseEqualChars(Language);
}

}  // namespace

TContextLimits ContextSizeLimits(int Type) {
    return Type >= 0 && Type < 5 ? Limits[Type] : Limits[0];
}

TContextControls ContextControlsFor(int Type) {
    if (Type == 3) return {false, true};
    if (Type == 4) return {false, false};
    return {true, false};
}

std::string NormalizeExceptionWord(std::string_view Word, int Language) {
    std::string W = LangLowerCase(Trimmed(Word), Language);
    if (!W.empty() && W.back() == '.') W.pop_back();
    return W;
}

int AddExceptionWord(std::vector<std::string>& Words, std::string_view Word, int Language) {
    std::string W = NormalizeExceptionWord(Word, Language);
    if (W.empty() || std::find(Words.begin(), Words.end(), W) != Words.end()) return -1;
    Words.push_back(std::move(W));
    return static_cast<int>(Words.size()) - 1;
}

std::vector<std::string> ParseExceptionFile(std::string_view Bytes, int Language) {
    std::vector<std::string> Words;
    size_t Start = 0;
    while (Start < Bytes.size()) {
        size_t End = Bytes.find_first_of("\r\n", Start);
        if (End == std::string_view::npos) End = Bytes.size();
        AddExceptionWord(Words, Bytes.substr(Start, End - Start), Language);
        Start = End + 1;
        if (End + 1 < Bytes.size() && Bytes[End] == '\r' && Bytes[End + 1] == '\n') ++Start;
    }
    return Words;
}

std::string FormatExceptionFile(const std::vector<std::string>& Words) {
    std::string Text;
    for (const std::string& W : Words) Text += W + "\r\n";
    return Text;
}

std::string WithDefaultExtension(const std::string& FileName, const std::string& Extension) {
    const size_t Slash = FileName.find_last_of('/');
    const size_t Dot = FileName.find_last_of('.');
    const bool HasExtension = Dot != std::string::npos && (Slash == std::string::npos || Dot > Slash + 1);
    return HasExtension ? FileName : FileName + "." + Extension;
}

std::string LoadedFileName(const std::string& FileName, const std::string& Extension) {
    std::error_code Error;
    return std::filesystem::is_regular_file(FileName, Error) ? FileName
                                                             : WithDefaultExtension(FileName, Extension);
}

bool HeadingNameTaken(const std::vector<TNamedItem<THeadRecord>>& Headings, const std::string& Name,
                      int EditedIndex, int Language) {
    const std::string Folded = LangLowerCase(Trimmed(Name), Language);
    for (size_t I = 0; I < Headings.size(); ++I)
        if (static_cast<int>(I) != EditedIndex && LangLowerCase(Headings[I].Name, Language) == Folded)
            return true;
    return false;
}

bool HeadingEditComplete(const std::array<std::string, 5>& Texts) {
    return std::all_of(Texts.begin(), Texts.end(), [](const std::string& T) { return !Trimmed(T).empty(); });
}

bool ApplyHeadingContext(TConcSearchRec& Query, const THeadingContextChoice& Choice,
                         const std::vector<TNamedItem<THeadRecord>>& Headings) {
    const bool Heading = Choice.HeadingSearch && Choice.Definition >= 0 &&
                         static_cast<size_t>(Choice.Definition) < Headings.size();
    if (Heading) {
        const THeadRecord& R = Headings[static_cast<size_t>(Choice.Definition)].Object;
        Query.Flags |= sfHeading;
        Query.HeadingPattern = Trimmed(Choice.HeadingPattern);
        Query.HeadStartMarker = R.HeadStart;
        Query.HeadStopMarker = R.HeadStop;
        Query.TextStartMarker = R.TextStart;
        Query.TextStopMarker = R.TextStop;
    } else {
        Query.Flags &= static_cast<uint8_t>(~sfHeading);
        Query.HeadingPattern.clear();
        Query.HeadStartMarker.clear();
        Query.HeadStopMarker.clear();
        Query.TextStartMarker.clear();
        Query.TextStopMarker.clear();
    }
    if (Choice.ContextSearch) {
        Query.Flags |= sfContext;
        Query.LeftContext = Trimmed(Choice.LeftPattern);
        Query.RightContext = Trimmed(Choice.RightPattern);
    } else {
        Query.Flags &= static_cast<uint8_t>(~sfContext);
        Query.LeftContext.clear();
        Query.RightContext.clear();
    }
    return Heading;
}

int InitialHeadingDefinition(const std::vector<TNamedItem<THeadRecord>>& Headings,
                             const std::string& LastHeading) {
    if (Headings.empty()) return -1;
    for (size_t I = 0; I < Headings.size(); ++I)
        if (Headings[I].Name == LastHeading) return static_cast<int>(I);
    return 0;
}

TSearchOptionsEdits ReadSearchOptions(int Language) {
    const TCommonConcordConfig& C = *CommonConfig;
    const TConcordConfig& L = Config(Language);
    TSearchOptionsEdits E;
    E.MaxHits = std::to_string(C.MaximumHits);
    E.FrequencyOfHits = std::to_string(C.FrequencyOfHits);
    E.ContextType = std::clamp<int>(C.ContextType, 0, 4);
    E.ContextSize = std::to_string(C.ContextSizes[static_cast<size_t>(E.ContextType)]);
    E.WordSkipChar = CharText(C.WildCardMatchWords);
    E.WordSkipLo = std::to_string(C.MatchWordsLo);
    E.WordSkipHi = std::to_string(C.MatchWordsHi);
    E.WildCard0orMore = CharText(C.WildCard0orMore);
    E.WildCard0or1 = CharText(C.WildCard0or1);
    E.WildCardExactly1 = CharText(C.WildCardExactly1);
    E.TagSeparator = CharText(C.TagSearchSeparator);
    E.Delimiters = L.NonWordChars;
    E.SkippingChars = L.SkippingChars;
    E.EqualChars = L.EqualChars;
    E.DelimiterHistory = L.DelimiterHistory;
    E.SkippingHistory = L.SkippingHistory;
    E.EqualHistory = L.EqualHistory;
    return E;
}

void RevertSearchOptions(TSearchOptionsEdits& Edits, int Language) {
    Edits.MaxHits = "500";
    Edits.ContextType = 0;
    Edits.WordSkipChar = "@";
    Edits.WordSkipLo = "2";
    Edits.WordSkipHi = "5";
    Edits.WildCard0orMore = "*";
    Edits.WildCard0or1 = "%";
    Edits.WildCardExactly1 = "?";
    Edits.TagSeparator = "&";
    Edits.Delimiters = DefaultWordDelimiters(Config(Language).LocaleId);
    Edits.SkippingChars.clear();
    Edits.EqualChars.clear();
}

namespace {

struct TSpecialEdit {
    const std::string* Text;
    const char* Name;
    TSearchOptionsResult Refusal;
};

// A search reads the special characters as word ends, so a letter or digit among them would cut the
// words that hold it, and one character in two wildcard roles would be read in one of them only.
TSearchOptionsResult CheckSpecialCharacters(int Language, const TSearchOptionsEdits& Edits) {
    const TSpecialEdit Wildcards[] = {
        {&Edits.WordSkipChar, "word skip", TSearchOptionsResult::BadWordSkipChar},
        {&Edits.WildCard0orMore, "0 or more", TSearchOptionsResult::Bad0orMore},
        {&Edits.WildCard0or1, "0 or 1", TSearchOptionsResult::Bad0or1},
        {&Edits.WildCardExactly1, "exactly 1", TSearchOptionsResult::BadExactly1},
        {&Edits.TagSeparator, "tag search separator", TSearchOptionsResult::BadTagSeparator}};
    const auto& Classes = platform::CodePageTables(LangCodePage(Language)).CharType1;
    for (const TSpecialEdit& Edit : Wildcards) {
        const char C = TextChar(*Edit.Text);
        if (C != 0 && (Classes[static_cast<uint8_t>(C)] & (platform::C1_ALPHA | platform::C1_DIGIT)) != 0) {
            ShowError("The \"" + std::string(Edit.Name) + "\" character cannot be a letter or a digit (\"" +
                      std::string(1, C) + "\"): words holding it could not be found.");
            return Edit.Refusal;
        }
    }
    for (size_t I = 1; I < 4; ++I) {
        const char C = TextChar(*Wildcards[I].Text);
        for (size_t J = 0; J < I && C != 0; ++J) {
            if (TextChar(*Wildcards[J].Text) != C) continue;
            ShowError("\"" + std::string(1, C) + "\" cannot be both the \"" + Wildcards[J].Name +
                      "\" and the \"" + Wildcards[I].Name + "\" character.");
            return Wildcards[I].Refusal;
        }
    }
    const int32_t Lo = ClampedEditValue(Edits.WordSkipLo, CommonConfig->MatchWordsLo, 0, 9);
    const int32_t Hi = ClampedEditValue(Edits.WordSkipHi, CommonConfig->MatchWordsHi, 1, 9);
    if (Lo > Hi) {
        ShowError("The word skip cannot match between " + std::to_string(Lo) + " and " + std::to_string(Hi) +
                  " words: the first number must not be above the second.");
        return TSearchOptionsResult::BadWordSkipRange;
    }
    return TSearchOptionsResult::Stored;
}

}  // namespace

TSearchOptionsResult ApplySearchOptions(int Language, const TSearchOptionsEdits& Edits) {
    TCommonConcordConfig& C = *CommonConfig;
    TConcordConfig& L = Config(Language);
    const TSearchOptionsResult Special = CheckSpecialCharacters(Language, Edits);
    if (Special != TSearchOptionsResult::Stored) return Special;

    const std::string OldEqual = L.EqualChars;
    L.EqualChars = Edits.EqualChars;
    if (!ParseEqualChars(Language)) {
        ShowError("Wrong \"equal characters\" syntax.");
        RestoreEqualChars(Language, OldEqual);
        return TSearchOptionsResult::BadEqualChars;
    }
    if (Edits.Delimiters != L.NonWordChars) {
        if (!WarningYesNo("Word delimiters are changed. This will clear all scanned information. Continue?",
                          true)) {
            RestoreEqualChars(Language, OldEqual);
            return TSearchOptionsResult::DelimitersKept;
        }
        ClearScannedInfo(Language, false, false, false, true, false, false);
    }

    C.MaximumHits = ClampedEditValue(Edits.MaxHits, C.MaximumHits, 1, INT32_MAX);
    C.FrequencyOfHits = ClampedEditValue(Edits.FrequencyOfHits, C.FrequencyOfHits, 1, 16000);
    const int Type = std::clamp(Edits.ContextType, 0, 4);
    const TContextLimits Range = ContextSizeLimits(Type);
    C.ContextType = static_cast<uint8_t>(Type);
    C.ContextSizes[static_cast<size_t>(Type)] = ClampedEditValue(
        Edits.ContextSize, C.ContextSizes[static_cast<size_t>(Type)], Range.Minimum, Range.Maximum);
    C.WildCard0orMore = TextChar(Edits.WildCard0orMore);
    C.WildCard0or1 = TextChar(Edits.WildCard0or1);
    C.WildCardExactly1 = TextChar(Edits.WildCardExactly1);
    C.WildCardMatchWords = TextChar(Edits.WordSkipChar);
    C.MatchWordsLo = static_cast<uint8_t>(ClampedEditValue(Edits.WordSkipLo, C.MatchWordsLo, 0, 9));
    C.MatchWordsHi = static_cast<uint8_t>(ClampedEditValue(Edits.WordSkipHi, C.MatchWordsHi, 1, 9));
    if (!Edits.TagSeparator.empty()) C.TagSearchSeparator = Edits.TagSeparator.front();

    L.NonWordChars = Edits.Delimiters;
    const size_t TagDelimiter =
        C.WordTag == 1 && C.wTagDelimiter ? L.NonWordChars.find(C.wTagDelimiter) : std::string::npos;
    if (TagDelimiter != std::string::npos) {
        ShowInfo("\"" + std::string(1, C.wTagDelimiter) +
                 "\" is tag delimiter and can't be a word delimiter.\rSymbol will be deleted from word "
                 "delimiters.");
        L.NonWordChars.erase(TagDelimiter, 1);
    }
    L.DelimiterHistory = Edits.DelimiterHistory;
    L.SkippingChars = Edits.SkippingChars;
    L.SkippingHistory = Edits.SkippingHistory;
    L.EqualHistory = Edits.EqualHistory;
    return TSearchOptionsResult::Stored;
}

namespace {

constexpr const char* WordFileFilter = "Text Files (*.TXT *.txt);;All Files (*)";

}  // namespace

std::string AskWordFileToSave(const std::string& Title, const std::string& Folder) {
    TFileDialogRequest Request;
    Request.Save = true;
    Request.Title = Title;
    Request.Folder = Folder;
    Request.Filter = WordFileFilter;
    Request.DefaultSuffix = "TXT";
    const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
    return Chosen.empty() ? std::string() : WithDefaultExtension(Chosen.front(), "TXT");
}

std::string AskWordFileToLoad(const std::string& Title, const std::string& Folder) {
    TFileDialogRequest Request;
    Request.Title = Title;
    Request.Folder = Folder;
    Request.Filter = WordFileFilter;
    // No default suffix for the dialog: it would add ".TXT" to a chosen list that has no extension.
    const std::vector<std::string> Chosen = ExecuteFileDialog(Request);
    return Chosen.empty() ? std::string() : LoadedFileName(Chosen.front(), "TXT");
}
