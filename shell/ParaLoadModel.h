// The rules of the corpus loading dialog and of the text format dialog, Qt-free: the snapshot that
// undoes text-format edits, the edit of a language's text format, the language count applied to the
// corpus globals, the per-language file lists (adding, dragging, removing, UTF-8 marks), the changes
// check with its application of fonts and alignment format, and the dialog's layout arithmetic. The
// windows (shell/concTxtCfgDialog, shell/ConcParaLoad) only read their controls into these and show
// the answers. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ConcConfig.h"

// ---- Text formats ----------------------------------------------------------------------------------------

// The text-format settings of one language as they were when taken, to tell whether they were edited
// and to put them back.
class TSavedConcordConfig {
public:
    // Copies the settings of LanguageConfigs[Language], which must exist.
    explicit TSavedConcordConfig(int32_t Language);

    int32_t Language;
    std::string SentDelimiters;
    bool SmartAbbrDetect;
    bool includeTrailingQuotes;
    std::vector<std::string> SentenceExceptions;
    uint8_t HeadingFormat;
    std::string HStart, HStop, HPattern;
    uint8_t ParagraphFormat;
    std::string PStart, PStop;
    uint8_t SentenceFormat;
    std::string SStart, SStop;

    // Whether Config's text format differs from the snapshot: a format, or a text that the snapshot's
    // format uses (markers of format 0, the pattern of heading formats 1 and 2, PStart of the paragraph
    // format 4, the markers of sentence formats 0 and 2, the sentence options and exception words of
    // sentence format 1). Texts compare exactly.
    bool Differs(const TConcordConfig& Config) const;
    // Differs against LanguageConfigs[Language]; false when that language is gone.
    bool Differs() const;
    // Writes every field back into LanguageConfigs[Language]; nothing when that language is gone.
    void Restore() const;
};

// What the text format dialog's controls hold. A format of -1 means the list shows no entry (the stored
// format has none in the list): the stored format and its texts are kept. Texts are bytes of the
// language's code page, untrimmed; HPattern is the edit of the page that the heading format shows.
struct TTextFormatEdits {
    int HeadingFormat = -1;
    std::string HStart, HStop, HPattern;
    int ParagraphFormat = -1;
    std::string PStart, PStop;
    int SentenceFormat = -1;
    std::string SStart, SStop;
};

// The number of entries of the three lists of the text format dialog.
constexpr int HeadingFormatCount = 3;
constexpr int ParagraphFormatCount = 4;
constexpr int SentenceFormatCount = 2;

// Text without leading and trailing blanks and control characters.
std::string TrimFormatText(const std::string& Text);

// Stores the edits into Config: unless Aligned, the heading format with the texts its page shows and the
// paragraph format with its markers for format 0; then the sentence format with its markers for format 0.
// Only texts of the chosen formats are stored, trimmed. A format outside its list is never stored.
// Returns whether a format or a stored text changed.
bool ApplyTextFormat(TConcordConfig& Config, const TTextFormatEdits& Edits, bool Aligned);

// ---- File lists ------------------------------------------------------------------------------------------

// One file of a language's list in the dialog. Name, place in the configuration and record travel
// together.
struct TParaLoadFile {
    std::string Name;
    int ConfiguredIndex = -1;  // its index in the language's configured files; -1 when added here
    TCorpusFileRecord Record;  // a copy of the configured record; empty for a file added here
};

using TParaLoadFiles = std::vector<TParaLoadFile>;

// The language's configured files, each with its index and a copy of its record.
TParaLoadFiles ConfiguredFiles(const TConcordConfig& Config);

// Moves the files at Selected (ascending, distinct indexes) in their order before the file at Target,
// or to the end when Target is Files.size() (dropped below the last file). Nothing moves when the list
// holds fewer than two files, the selection is empty, or Target is selected or out of range. Returns
// the selection's new indexes (those given when nothing moved).
std::vector<int> DropSelection(TParaLoadFiles& Files, const std::vector<int>& Selected, int Target);

// Deletes the files at Selected (any order).
void RemoveSelection(TParaLoadFiles& Files, std::vector<int> Selected);

// The UTF-8 box of a selection: unchecked when no selected file is marked converted, checked when all
// are, grayed when some are. An empty selection is unchecked (the box is then disabled).
enum class TCheckState { Unchecked, Checked, Grayed };
TCheckState Utf8State(const TParaLoadFiles& Files, const std::vector<int>& Selected);
// The state a click gives the box: grayed and unchecked become checked, checked becomes unchecked.
TCheckState NextUtf8State(TCheckState State);
// Every selected file's converted mark := Checked.
void MarkSelectionUtf8(TParaLoadFiles& Files, const std::vector<int>& Selected, bool Checked);

// What AddChosenFiles asks: whether a chosen file looks like text (IsTextFile in the program), and
// whether it holds nothing at all (IsEmptyFile).
using TIsTextFileFunc = std::function<bool(const std::string& FileName)>;
using TIsEmptyFileFunc = std::function<bool(const std::string& FileName)>;

// The Add button's rule for the files Chosen in the file dialog, appended to Lists[Language] in order:
// a file that does not look like text is added only when the user answers Yes to "\"%s\" does not seem
// to be a text file. Open anyway?", and an empty file only when the user answers Yes to "\"%s\" is empty.
// Open anyway?" (No to either leaves it and the rest of the chosen files out); a file the same list holds
// already is skipped silently; a file another language lists under exactly the same name is refused with
// the warning "File \"%s\" already exists into %s corpus." (file, that language's name from
// LanguageNames). File names compare exactly: on this system "a.txt" and "A.txt" are two files. Either
// function may be empty (nothing is asked). Returns the indexes of the files appended.
std::vector<int> AddChosenFiles(std::vector<TParaLoadFiles>& Lists,
                                const std::vector<std::string>& LanguageNames, int Language,
                                const std::vector<std::string>& Chosen, const TIsTextFileFunc& IsText,
                                const TIsEmptyFileFunc& IsEmpty = {});

// The folder of FileName with a trailing "/", what a language's corpus folder becomes after an Add.
std::string FolderOf(const std::string& FileName);

// Whether the dialog's list changes the configured files: a converted mark differs, a configured file
// is missing from the list, a listed file is not configured, or a configured file has moved.
bool FilesChanged(const TParaLoadFiles& Files, const TConcordConfig& Config);

// ---- Fonts -----------------------------------------------------------------------------------------------

// Gives Language the dialog's font: broadcasts CM_FONTCHANGED (Language, 0) first; fonts 0 and 2 take
// Font whole; each of fonts 1 and 3..8 takes Font's name and character set, keeps its colour and style
// and takes its own size made positive, each followed by CM_FONTCHANGED (Language, its number). Nothing
// for a language that does not exist.
void ApplyLanguageFont(int Language, const TFontSpec& Font);

// ---- Languages -------------------------------------------------------------------------------------------

// The count the dialog offers: 2 to 4 parallel texts.
constexpr int MinParallelTexts = 2;
constexpr int MaxParallelTexts = MaxLanguages;

// Sets the number of corpus languages at once. Lowering it calls RemoveLanguage for each language from
// the last down to Count (RemoveCorpusLanguage when it is empty). Raising it creates each new language
// with the settings (Assign) and frequency settings of the last existing one (defaults when there is
// none). Then LanguagesCount := Count; for a new corpus language 0 takes the user's default language
// with its name, every time.
void SetCorpusLanguageCount(int Count, bool NewCorpus,
                            const std::function<void(int Language)>& RemoveLanguage);

// Removes one language at once: frees its alignment with language 0, sends CM_REMOVELANGUAGE (the main
// window drops its files and frees it) and empties its slot should nobody have done so.
void RemoveCorpusLanguage(int Language);

// The list of the language boxes: the installed languages by name, each with its identifier, then
// "Additional 1".."Additional 4" with the user's default identifier.
std::vector<TNamedItem<uint32_t>> LanguageChoices(uint32_t UserDefaultId);
// The entry a language box shows at first: the one named Name, else the one named as locale 1033, else
// the first; -1 for an empty list.
int LanguageChoiceIndex(const std::vector<TNamedItem<uint32_t>>& Choices, const std::string& Name);

// ---- The dialog's state ----------------------------------------------------------------------------------

// One language's panel: its file list, the language chosen in it (LCID 0 = none chosen yet for a
// language the dialog created), the font being edited and the snapshot taken when the panel was built.
struct TParaLoadLanguage {
    TParaLoadFiles Files;
    uint32_t LCID = 0;
    std::string Name;
    TFontSpec Font;
    std::unique_ptr<TSavedConcordConfig> Snapshot;
};

// The corpus loading dialog without its widgets.
class TParaLoadModel {
public:
    // NewCorpus: the dialog brings in a new corpus. Remembers LanguagesCount.
    explicit TParaLoadModel(bool NewCorpus);

    bool NewCorpus() const { return FNewCorpus; }
    int OpeningCount() const { return FOpeningCount; }
    // The panels built, one per language 0..PanelCount()-1.
    int PanelCount() const { return int(FLanguages.size()); }
    TParaLoadLanguage& Panel(int Language) { return FLanguages.at(size_t(Language)); }
    const TParaLoadLanguage& Panel(int Language) const { return FLanguages.at(size_t(Language)); }

    // The count of languages applied at once (SetCorpusLanguageCount): panels of removed languages go
    // with their snapshots (OnRemovePanel is called for each, from the last, before the language is
    // removed); a panel is built for each language that has none, filled from its configuration, with a
    // snapshot. Panels already built keep their edits. A language the corpus had when the dialog opened
    // is only set aside (its configuration stays, beyond LanguagesCount) until CommitLanguageCount or
    // RestoreLanguageCount; a language the dialog created goes at once. Returns the first language whose
    // panel was built (PanelCount() when none was).
    int SetLanguageCount(int Count, const std::function<void(int Language)>& OnRemovePanel = {});
    // OK: the languages set aside are removed for good (RemoveCorpusLanguage, from the last).
    void CommitLanguageCount();
    // Cancel: the count the dialog opened with comes back, with the languages set aside; languages the
    // dialog created are removed (their panels first, through OnRemovePanel).
    void RestoreLanguageCount(const std::function<void(int Language)>& OnRemovePanel = {});

    // The alignment format chosen in the dialog.
    int AlignFormat = 0;

    // Whether the dialog changes anything: for some language its font, its language (a chosen LCID
    // other than the configured one), its text format (when WithTextFormats) or its files; or the
    // language count or the alignment format.
    bool ChangesPending(bool WithTextFormats = true) const;
    // Applies what goes into effect without OK's hand-over: each changed font (ApplyLanguageFont) and
    // the alignment format (remembering whether it changed, for HandOverFiles).
    void ApplyChanges();
    bool CountChanged() const { return LanguagesCount != FOpeningCount; }
    bool AlignFormatChanged() const;
    // Whether some panel has no language chosen (LCID 0).
    bool HasUndefinedPanel() const;
    // Whether some configured language has no locale (LCID 0): one the dialog created.
    bool HasUndefinedConfiguration() const;
    // Every panel's snapshot written back.
    void RestoreSnapshots();
    // OK's hand-over, after ApplyChanges: for each language, its list (names with their UTF-8 marks)
    // to LoadLanguageFiles with whether the count changed, whether its text format changed, its chosen
    // language and whether ApplyChanges changed the alignment format.
    void HandOverFiles();

private:
    void BuildPanel(int Language);

    bool FNewCorpus;
    int FOpeningCount;
    bool FAlignFormatApplied = false;
    std::vector<TParaLoadLanguage> FLanguages;
    std::vector<int> FSetAside;  // languages of the opening corpus above the current count
};

// ---- Layout ----------------------------------------------------------------------------------------------

constexpr int ParaLoadPanelWidth = 160;
constexpr int ParaLoadSpacing = 4;
constexpr int ParaLoadClientHeight = 312;
// The client width for Count panels of PanelWidth: Count x 160 + (Count + 1) x 4 at the standard width.
constexpr int ParaLoadClientWidth(int Count, int PanelWidth = ParaLoadPanelWidth) {
    return Count * PanelWidth + (Count + 1) * ParaLoadSpacing;
}
// The left edge of panel Index: 4 + Index x 164 at the standard width.
constexpr int ParaLoadPanelLeft(int Index, int PanelWidth = ParaLoadPanelWidth) {
    return ParaLoadSpacing + Index * (PanelWidth + ParaLoadSpacing);
}
