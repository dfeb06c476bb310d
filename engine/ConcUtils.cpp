#include "engine/ConcUtils.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cerrno>
#include <cstdlib>

#include "ui/ConcDblProgress.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"
#include "engine/ConcConfig.h"
#include "engine/ConcIndex.h"
#include "engine/ConcPrefs.h"
#include "engine/ConcTextProcess.h"

namespace {

IAppMessenger* Messenger = nullptr;
TFontDialogFunc FontDialog;
IWaitCursor* Cursor = nullptr;
std::string ThousandSeparator = ",";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Reads a whole text as a decimal 32-bit integer with an optional sign.
bool ParseInt32(const std::string& Text, int32_t& Value) {
    if (Text.empty()) return false;
    size_t i = (Text[0] == '+' || Text[0] == '-') ? 1 : 0;
    if (i == Text.size()) return false;
    for (size_t k = i; k < Text.size(); ++k)
        if (Text[k] < '0' || Text[k] > '9') return false;
    errno = 0;
    long long v = std::strtoll(Text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    Value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Messages

void SetAppMessenger(IAppMessenger* NewMessenger) {
    Messenger = NewMessenger;
}
IAppMessenger* GetAppMessenger() {
    return Messenger;
}

intptr_t SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam) {
    return Messenger ? Messenger->SendToMainForm(Msg, WParam, LParam) : 0;
}

void BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam) {
    if (Messenger) Messenger->BroadcastToChildren(Msg, WParam, LParam);
}

void PostStatusText(const std::string& Text) {
    if (Messenger) Messenger->PostStatusText(Text);
}

// ---------------------------------------------------------------------------------------------------
// Wait cursor

int32_t WaitCount = 0;

void SetWaitCursor(IWaitCursor* NewCursor) {
    Cursor = NewCursor;
}
IWaitCursor* GetWaitCursor() {
    return Cursor;
}

void BeginWait() {
    if (++WaitCount == 1 && Cursor) Cursor->SetWaiting(true);
}

void EndWait() {
    if (WaitCount <= 0) {
        WaitCount = 0;
        return;
    }
    if (--WaitCount == 0 && Cursor) Cursor->SetWaiting(false);
}

bool LongOperationRunning() {
    return WaitCount > 0 || ProgressForm != nullptr || TDoubleProgressForm::LiveCount() > 0;
}

bool IsBusy() {
    return SavingWordList || PrintingWordList;
}

bool CorpusInUse() {
    return IsBusy() || LongOperationRunning();
}

// ---------------------------------------------------------------------------------------------------
// Corpus state

namespace {

bool HasFileIndex(const TAlignIndexes& Indexes, int FileIndex) {
    return FileIndex < Indexes.Count() && Indexes.GetItem(FileIndex) != nullptr;
}

bool HasSegmentIndexesOf(int Language, int FileIndex) {
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[Language] || FileIndex < 0)
        return false;
    const TConcordConfig& c = *LanguageConfigs[Language];
    return HasFileIndex(c.SectionIndexes, FileIndex) && HasFileIndex(c.ParagraphIndexes, FileIndex) &&
           HasFileIndex(c.SentenceIndexes, FileIndex);
}

}  // namespace

bool CorpusAligned() {
    if (IsBusy()) return false;
    for (int lang = 0; lang < LanguagesCount; ++lang) {
        if (!LanguageConfigs[lang]) continue;
        const int files = int(LanguageConfigs[lang]->Files.size());
        for (int file = 0; file < files; ++file)
            if (!GetAlignIndex(lang, file)) return false;
    }
    return true;
}

bool HasSegmentIndexes(int LanguageA, int LanguageB, int FileIndex) {
    return HasSegmentIndexesOf(LanguageA, FileIndex) && HasSegmentIndexesOf(LanguageB, FileIndex);
}

void UpdateRecentWorkspaces() {
    constexpr size_t MaxRecentWorkspaces = 10;
    size_t i = 0;
    while (i < RecentWorkspaces.size() && !SameTextIgnoringCase(RecentWorkspaces[i], WorkspaceFileName)) ++i;
    if (i == RecentWorkspaces.size())
        RecentWorkspaces.insert(RecentWorkspaces.begin(), WorkspaceFileName);
    else if (i > 0)
        std::swap(RecentWorkspaces[0], RecentWorkspaces[i]);
    if (RecentWorkspaces.size() > MaxRecentWorkspaces) RecentWorkspaces.resize(MaxRecentWorkspaces);
    SaveRecentWorkspaces();
}

bool RecentWorkspacesAvailable() {
    return RecentWorkspaces.size() >= (WorkspaceLoaded ? 2u : 1u);
}

// ---------------------------------------------------------------------------------------------------
// Recording messenger

TRecordingMessenger::TRecordingMessenger() : FPreviousMessenger(Messenger), FPreviousCursor(Cursor) {
    SetAppMessenger(this);
    SetWaitCursor(this);
}

TRecordingMessenger::~TRecordingMessenger() {
    SetAppMessenger(FPreviousMessenger);
    SetWaitCursor(FPreviousCursor);
}

std::vector<int> TRecordingMessenger::Messages() const {
    std::vector<int> result;
    for (const TEntry& e : Entries)
        if (e.Kind == rkSend || e.Kind == rkBroadcast) result.push_back(e.Msg);
    return result;
}

intptr_t TRecordingMessenger::SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam) {
    Entries.push_back({rkSend, Msg, WParam, LParam, {}, false});
    return OnSend ? OnSend(Msg, WParam, LParam) : 0;
}

void TRecordingMessenger::BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam) {
    Entries.push_back({rkBroadcast, Msg, WParam, LParam, {}, false});
    if (OnBroadcast) OnBroadcast(Msg, WParam, LParam);
}

void TRecordingMessenger::PostStatusText(const std::string& Text) {
    Entries.push_back({rkPost, CM_STATUSTEXT, 0, 0, Text, false});
}

void TRecordingMessenger::SetWaiting(bool Waiting) {
    Entries.push_back({rkCursor, 0, 0, 0, {}, Waiting});
}

// ---------------------------------------------------------------------------------------------------
// Counts

void SetThousandSeparator(const std::string& Separator) {
    ThousandSeparator = Separator;
}
const std::string& GetThousandSeparator() {
    return ThousandSeparator;
}

std::string FormatCount(int64_t Count, bool WithWord) {
    return FormatCount(Count, WithWord, ThousandSeparator);
}

std::string FormatCount(int64_t Count, bool WithWord, const std::string& Separator) {
    // Work on the magnitude as unsigned so that the most negative count has one too.
    uint64_t magnitude = Count < 0 ? 0 - static_cast<uint64_t>(Count) : static_cast<uint64_t>(Count);
    std::string digits = std::to_string(magnitude);
    std::string text = Count < 0 ? "-" : "";
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += Separator;
        text += digits[i];
    }
    if (WithWord) {
        text += " word";
        if (digits != "1") text += "s";
    }
    return text;
}

// ---------------------------------------------------------------------------------------------------
// Dialog helpers

int ConfirmApplyChanges() {
    return ConfirmYesNoCancel("You have made changes. Apply them now?", true);
}

void SetFontDialog(TFontDialogFunc Dialog) {
    FontDialog = std::move(Dialog);
}

bool ExecuteFontDialog(TFontSpec& Font) {
    TFontSpec Chosen = Font;
    if (!FontDialog || !FontDialog(Chosen)) return false;
    Font = Chosen;
    return true;
}

bool ChooseConfigFont(int FontIndex, int Language) {
    if (FontIndex < 0 || FontIndex >= ConfigFontCount) return false;
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[Language]) return false;
    TFontSpec font = LanguageConfigs[Language]->Fonts[FontIndex];
    if (!FontDialog || !FontDialog(font)) return false;
    // The dialog runs its own event loop, in which the language may have gone.
    if (Language >= LanguagesCount || !LanguageConfigs[Language]) return false;
    LanguageConfigs[Language]->Fonts[FontIndex] = font;
    BroadcastToChildren(CM_FONTCHANGED, Language, FontIndex);
    return true;
}

bool FontsDiffer(const TFontSpec& A, const TFontSpec& B) {
    return !(A == B);
}

bool SameTextIgnoringCase(const std::string& A, const std::string& B) {
    return icu::UnicodeString::fromUTF8(A).caseCompare(icu::UnicodeString::fromUTF8(B),
                                                       U_FOLD_CASE_DEFAULT) == 0;
}

int AddToHistory(std::vector<std::string>& Items, std::string& Text) {
    Text = TrimBlanks(Text);
    if (Text.empty()) return -1;
    const int i = StringsIndexOf(Text, Items);
    if (i < 0)
        Items.insert(Items.begin(), Text);
    else if (i > 0)
        std::swap(Items[0], Items[i]);
    return 0;
}

int32_t ClampedEditValue(const std::string& Text, int32_t Default, int32_t Minimum, int32_t Maximum) {
    int32_t value;
    if (!ParseInt32(TrimBlanks(Text), value)) value = Default;
    if (static_cast<uint32_t>(value) < static_cast<uint32_t>(Minimum))
        value = Minimum;
    else if (static_cast<uint32_t>(value) > static_cast<uint32_t>(Maximum))
        value = Maximum;
    return value;
}

char32_t FilterNumericKey(char32_t Key, bool AllowDecimal, char32_t DecimalSeparator) {
    if (Key <= U' ') return Key;
    if (Key >= U'0' && Key <= U'9') return Key;
    if (AllowDecimal && Key == DecimalSeparator) return Key;
    return 0;
}

bool IsBlankText(const std::string& Text) {
    for (char c : Text)
        if (!IsBlankOrControl(c)) return false;
    return true;
}

int CenteredTop(int OtherTop, int OtherHeight, int Height) {
    return OtherTop + (OtherHeight - Height) / 2 - 1;
}
