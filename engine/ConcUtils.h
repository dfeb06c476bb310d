// Application services shared by the engine and the windows, Qt-free.
//
// The application messages with which the parts of the program tell each other about changes, the
// status text, the nesting wait cursor, the busy and alignment-state tests, the recent-workspace list,
// window placements kept as plain records, the formatting of counts, and the pure cores of the dialog
// helpers. Messages and the cursor go through registered backends: the program registers the main
// window's; tests register TRecordingMessenger. Without a backend, messages and cursor changes are
// dropped (there is no window to tell). Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct TFontSpec;

// ---------------------------------------------------------------------------------------------------
// Application messages (WM_USER+100 .. WM_USER+130; 1125-1130, 1134, 1135 and 1137 are unused).

constexpr int WM_USER = 0x0400;

constexpr int CM_STATUSTEXT = WM_USER + 100;             // 1124 posted to main: WParam text
constexpr int CM_OPENCORPUSVIEW = WM_USER + 107;         // 1131 to main: language, file index
constexpr int CM_FILEREMOVED = WM_USER + 108;            // 1132 to main: language, file index
constexpr int CM_REMOVELANGUAGE = WM_USER + 109;         // 1133 to main: language, 0
constexpr int CM_FREQSETTINGSCHANGED = WM_USER + 112;    // 1136 language, 1 = corpus list dropped
constexpr int CM_CLEARHOTWORDS = WM_USER + 114;          // 1138 children: language, 0
constexpr int CM_FILEADDED = WM_USER + 115;              // 1139 to main: language, 0
constexpr int CM_FILESEXCHANGED = WM_USER + 116;         // 1140 language, address of a TFilePair
constexpr int CM_DROPFILE = WM_USER + 117;               // 1141 children: language, file index
constexpr int CM_FONTCHANGED = WM_USER + 118;            // 1142 children: language, font index 0..8
constexpr int CM_CONTEXTSIZECHANGED = WM_USER + 119;     // 1143 children: 0, 0
constexpr int CM_DISTRIBCLOSED = WM_USER + 120;          // 1144 children: the closing window, 0
constexpr int CM_DISTRIBREFRESH = WM_USER + 121;         // 1145 one window: 0, 0
constexpr int CM_CONCORDCLOSED = WM_USER + 122;          // 1146 children: the closing window, 0
constexpr int CM_COLLOCDATADROPPED = WM_USER + 123;      // 1147 children: result window, language or 0
constexpr int CM_PAGEINDEXDROPPED = WM_USER + 124;       // 1148 children: language, file index
constexpr int CM_TAGINDEXDROPPED = WM_USER + 125;        // 1149 children: language, file index
constexpr int CM_COLLOCSETTINGSCHANGED = WM_USER + 126;  // 1150 children: language, what changed
constexpr int CM_ALIGNMENTDROPPED = WM_USER + 127;       // 1151 children: language or -1, 0
constexpr int CM_SEGMENTINDEXDROPPED = WM_USER + 128;    // 1152 children: language, 0
constexpr int CM_MARKERSCHANGED = WM_USER + 129;         // 1153 children: 0, 0
constexpr int CM_GETCLIENTSIZE = WM_USER + 130;          // 1154 to main: answers width << 16 | height

// The two file indexes of CM_FILESEXCHANGED; the sender keeps it alive while the message is handled.
struct TFilePair {
    int32_t First = 0;
    int32_t Second = 0;
};

// Every window that receives application messages derives from this (child windows through
// TAppMessageForm of controls/ConcFormUtils, which marks them closing once a close is accepted; the
// main window marks what it destroys outright). From the mark on, broadcasts pass the window by.
class TAppMessageReceiver {
public:
    virtual ~TAppMessageReceiver() = default;
    // Handles one message; the result is what SendToMainForm returns (0 for most messages).
    virtual intptr_t HandleAppMessage(int Msg, intptr_t WParam, intptr_t LParam) = 0;
    void MarkClosing() { FClosing = true; }
    bool IsClosing() const { return FClosing; }

private:
    bool FClosing = false;
};

// Delivers application messages; the main window implements it.
class IAppMessenger {
public:
    virtual ~IAppMessenger() = default;
    // Delivers synchronously to the main window, then lets pending events run once.
    virtual intptr_t SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam) = 0;
    // Delivers synchronously to each child window that is alive when its turn comes, exactly once,
    // last to first.
    virtual void BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam) = 0;
    // Queues the text for the main window's status panel; returns at once.
    virtual void PostStatusText(const std::string& Text) = 0;
};

// Registers the messenger (borrowed; it must outlive its registration). nullptr: messages are dropped.
void SetAppMessenger(IAppMessenger* Messenger);
IAppMessenger* GetAppMessenger();

// Forward to the registered messenger. SendToMainForm returns 0 without one.
intptr_t SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam);
void BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam);
// Text is UTF-8.
void PostStatusText(const std::string& Text);

// ---------------------------------------------------------------------------------------------------
// The nesting wait cursor.

// Shows or hides the hourglass; the program registers the Qt cursor, tests a recorder.
class IWaitCursor {
public:
    virtual ~IWaitCursor() = default;
    virtual void SetWaiting(bool Waiting) = 0;
};

// Registers the cursor (borrowed). nullptr: only WaitCount is kept.
void SetWaitCursor(IWaitCursor* Cursor);
IWaitCursor* GetWaitCursor();

// Nesting depth of BeginWait; never below 0.
extern int32_t WaitCount;

// WaitCount += 1; the hourglass appears when the count leaves 0.
void BeginWait();
// WaitCount -= 1, never below 0; the default cursor returns when the count reaches 0.
void EndWait();

// BeginWait on construction, EndWait on destruction, so that an exception ends the wait too.
class TWaitScope {
public:
    TWaitScope() { BeginWait(); }
    ~TWaitScope() { EndWait(); }
    TWaitScope(const TWaitScope&) = delete;
    TWaitScope& operator=(const TWaitScope&) = delete;
};

// A long operation that pumps events is running: the wait cursor is on or a progress form (single or
// double) is alive.
bool LongOperationRunning();

// True while a word list is being saved to a file or printed (SavingWordList, PrintingWordList).
bool IsBusy();

// The main window's one busy test, both for closing and for enabling the commands that free, replace
// or save the corpus: IsBusy, or LongOperationRunning (closing or unloading then would free the data
// under the operation).
bool CorpusInUse();

// ---------------------------------------------------------------------------------------------------
// Corpus state.

// False while IsBusy; otherwise true when every file of every language has its alignment index
// (GetAlignIndex), and also when there is no file at all.
bool CorpusAligned();

// For each of sections, paragraphs and sentences, both languages hold an index for file FileIndex.
// False for a language that does not exist or a file beyond its lists.
bool HasSegmentIndexes(int LanguageA, int LanguageB, int FileIndex);

// True when the recent-workspace list has an entry and no workspace is loaded, or two while one is.
bool RecentWorkspacesAvailable();
// After a workspace was opened or saved: WorkspaceFileName goes to the top of RecentWorkspaces. Found
// (without regard to case) at a later position, it is exchanged with the top entry; not found, it is
// inserted at the top. The list keeps at most 10 entries and is saved (SaveRecentWorkspaces, which may
// raise EIniFileError).
void UpdateRecentWorkspaces();

// ---------------------------------------------------------------------------------------------------
// A messenger and wait cursor for tests: records every call in order and answers sends as told.

class TRecordingMessenger : public IAppMessenger, public IWaitCursor {
public:
    enum TKind { rkSend, rkBroadcast, rkPost, rkCursor };
    struct TEntry {
        TKind Kind;
        int Msg = 0;
        intptr_t WParam = 0;
        intptr_t LParam = 0;
        std::string Text;      // rkPost
        bool Waiting = false;  // rkCursor
    };

    // Registers itself as messenger and cursor; the destructor restores the previous ones.
    TRecordingMessenger();
    ~TRecordingMessenger() override;
    TRecordingMessenger(const TRecordingMessenger&) = delete;
    TRecordingMessenger& operator=(const TRecordingMessenger&) = delete;

    std::vector<TEntry> Entries;
    // Answers SendToMainForm (0 when unset); called after the entry is recorded.
    std::function<intptr_t(int Msg, intptr_t WParam, intptr_t LParam)> OnSend;
    // Called for every broadcast after the entry is recorded.
    std::function<void(int Msg, intptr_t WParam, intptr_t LParam)> OnBroadcast;

    // The message numbers of the recorded sends and broadcasts, in order.
    std::vector<int> Messages() const;

    intptr_t SendToMainForm(int Msg, intptr_t WParam, intptr_t LParam) override;
    void BroadcastToChildren(int Msg, intptr_t WParam, intptr_t LParam) override;
    void PostStatusText(const std::string& Text) override;
    void SetWaiting(bool Waiting) override;

private:
    IAppMessenger* FPreviousMessenger;
    IWaitCursor* FPreviousCursor;
};

// ---------------------------------------------------------------------------------------------------
// Counts.

// The thousands separator FormatCount uses (UTF-8); the program sets the user's, the default is ",".
void SetThousandSeparator(const std::string& Separator);
const std::string& GetThousandSeparator();

// The decimal text of Count with the separator before every group of three digits counted from the
// right; with WithWord, " word" follows, and "s" unless the digits are exactly "1". A negative count
// keeps its sign in front of the grouped digits.
std::string FormatCount(int64_t Count, bool WithWord);
std::string FormatCount(int64_t Count, bool WithWord, const std::string& Separator);

// ---------------------------------------------------------------------------------------------------
// Dialog helpers.

// Asks "You have made changes. Apply them now?" with Yes, No and Cancel (Yes focused) and returns
// mrYes, mrNo or mrCancel.
int ConfirmApplyChanges();

// The font dialog ChooseConfigFont opens: shows Font, returns true on OK with the choice in Font.
using TFontDialogFunc = std::function<bool(TFontSpec& Font)>;
// Registers the dialog (the program registers the real one, tests their own). Empty: nothing is chosen.
void SetFontDialog(TFontDialogFunc Dialog);

// Opens the registered font dialog on Font; true on OK, with the choice in Font (untouched otherwise).
// False without a registered dialog.
bool ExecuteFontDialog(TFontSpec& Font);

// Opens the font dialog on font FontIndex (0..8) of Language; on OK copies the choice into the
// language's configuration and broadcasts CM_FONTCHANGED (Language, FontIndex). Returns whether a font
// was chosen. Nothing happens for a language or font index that does not exist.
bool ChooseConfigFont(int FontIndex, int Language);

// True when name, size, style, colour or character set differ.
bool FontsDiffer(const TFontSpec& A, const TFontSpec& B);

// Whether two UTF-8 texts are equal without regard to case (Unicode case folding).
bool SameTextIgnoringCase(const std::string& A, const std::string& B);

// The combo-box history rule on plain lists: Text loses its leading and trailing blanks; when it is
// not empty it goes to the top of Items, either inserted there or, when it is already present at a
// later position (exact comparison), exchanged with the former top entry. Returns the item to select:
// 0 when Text is not empty, else -1 (an empty text must not pull the top entry into the edit).
int AddToHistory(std::vector<std::string>& Items, std::string& Text);

// The value an edit is clamped to: Text without leading and trailing blanks read as a decimal 32-bit
// integer (Default when it is none), then compared as an unsigned 32-bit number with Minimum and
// Maximum, so a negative entry becomes Maximum.
int32_t ClampedEditValue(const std::string& Text, int32_t Default, int32_t Minimum, int32_t Maximum);

// Offset + Delta kept within Low..High, added in 64 bits: a context bound near the end of a file of almost
// 2 GiB would wrap around in 32.
constexpr int32_t OffsetWithin(int64_t Offset, int64_t Delta, int32_t Low, int32_t High) {
    const int64_t Sum = Offset + Delta;
    return static_cast<int32_t>(Sum < Low ? Low : Sum > High ? High : Sum);
}

// The key a numeric edit keeps: the blank and control keys pass, digits pass, DecimalSeparator passes
// when AllowDecimal; every other key becomes 0 (swallowed).
char32_t FilterNumericKey(char32_t Key, bool AllowDecimal, char32_t DecimalSeparator);

// The text is empty once control characters and blanks are stripped from both ends.
bool IsBlankText(const std::string& Text);

// The top that centres a control of Height beside another control (labels beside edits built at run
// time): OtherTop + (OtherHeight - Height) / 2 - 1.
int CenteredTop(int OtherTop, int OtherHeight, int Height);
