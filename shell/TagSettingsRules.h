// The rules of the two tag settings dialogs, Qt-free: what counts as a change, which edit a check
// refuses, how the edits are stored, and what the main window drops after each dialog.
//
// The dialogs hand over their edits as bytes of language 0's code page, untrimmed: the changes compare the
// texts as typed (" <" differs from "<" although "<" is stored), as the stored options are compared.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/ConcConfig.h"

// ---- "Tags Settings" and its tracked tags ------------------------------------------------------------

struct TTagSettingsEdits {
    std::string TagStart, TagStop, PageSeparator;
    bool ShowLines = false, ShowPages = false, RelativeLines = false;
    std::vector<TWatchedTag> Rows;  // the tracked-tag list, in list order
};

// The options object's tag settings and the tracked tags, as the dialog shows them at first.
TTagSettingsEdits CurrentTagSettings(const TCommonConcordConfig& Config,
                                     const std::vector<TWatchedTag>& Tags);

struct TTagSettingsChanges {
    bool Delimiters = false;  // the tag start or stop text differs from the stored character
    bool PageDelimiter = false;
    bool Any = false;  // either of those, a display option, or the tracked tags (count, names, starts, stops)
};
TTagSettingsChanges CompareTagSettings(const TTagSettingsEdits& Edits, const TCommonConcordConfig& Config,
                                       const std::vector<TWatchedTag>& Tags);

enum class TTagSettingsCheck { Ok, EmptyTagStart, EmptyTagStop };
// The trimmed tag start, then the trimmed tag stop, must hold a character.
TTagSettingsCheck CheckTagSettings(const TTagSettingsEdits& Edits);

// Stores the edits: the first character of the trimmed start and stop, the page delimiter as typed, the
// display options, and the tracked tags in row order (ClearWatchedTags, then AddWatchedTag each).
// Edits must have passed CheckTagSettings.
void ApplyTagSettings(const TTagSettingsEdits& Edits, TCommonConcordConfig& Config);

enum class TTrackedTagCheck { Ok, EmptyName, EmptyStart, EmptyStop, DuplicateName };
// The checks of one tracked tag (trimmed texts): a name, a start, and a stop unless Cocoa; no other row
// (EditedRow is the row being edited, -1 when adding) of the same name, letters compared without regard
// to case, since both would share one section of the preferences file.
TTrackedTagCheck CheckTrackedTag(const std::string& Name, const std::string& Start, const std::string& Stop,
                                 bool Cocoa, const std::vector<TWatchedTag>& Rows, int EditedRow);

// The question asked before a change of the tag characters (which change how the corpus text is read)
// takes effect on a loaded corpus: it opens with "Tag configuration is changed. Scan corpus now?", says
// what scanning replaces (the whole processing, alignment corrections made by hand included) and that
// No keeps the corpus as it was read, with its tag characters, every other change being stored.
std::string TagSettingsScanQuestion();

// What the main window does after "Tags Settings" closed with OK (every edit is stored by then), Before
// being the settings as they were when the dialog opened (CurrentTagSettings) and CorpusLoaded whether
// some language has files. Returns whether the corpus is to be scanned now. Without a corpus, or when
// neither delimiter changed (tracked tags, display options), nothing is dropped or asked: false. A
// change of the tag characters asks TagSettingsScanQuestion before anything is dropped: Yes drops what
// processing built (ClearScannedInfo with its all-data flag, and its page-list flag when the page
// delimiter changed too): true. No puts back the tag characters the corpus was read with (the corpus and
// its indexes stay); a page delimiter changed too still takes effect. A change of the page delimiter,
// asked nothing, drops the page lists (each announced) so that they are counted again: true.
bool DropAfterTagSettings(bool DelimitersChanged, bool PageDelimiterChanged, const TTagSettingsEdits& Before,
                          bool CorpusLoaded);

// ---- "Special Tags Settings" and its meta-tags -------------------------------------------------------

struct TMetaTagRow {
    std::string Name, Contents;  // Contents: the members as comma-separated text
    bool operator==(const TMetaTagRow&) const = default;
};

struct TSpecialTagsEdits {
    uint8_t Mode = 0;  // 0 none, 1 embedded in the word, 2 outside the word
    std::string Delimiter, Stop;
    bool Before = false;
    std::vector<std::string> Starts;
    std::vector<TMetaTagRow> MetaTags;
};

TSpecialTagsEdits CurrentSpecialTags(const TCommonConcordConfig& Config);

// The mode differs, or the trimmed delimiter or stop differs from the stored character, or (in mode 2 only)
// the trimmed starts or "before" differ.
bool WordTagsChanged(const TSpecialTagsEdits& Edits, const TCommonConcordConfig& Config);
// The trimmed names differ from the stored names, or a contents text from its stored members joined.
bool MetaTagsChanged(const TSpecialTagsEdits& Edits, const TCommonConcordConfig& Config);

struct TSpecialTagsCheck {
    enum { Ok, EmptyDelimiter, EmptyStop, EmptyStart } Result = Ok;
    int StartRow = -1;  // the first empty start, for EmptyStart
};
// Mode 1 needs a delimiter; mode 2 a stop and no empty start (trimmed).
TSpecialTagsCheck CheckSpecialTags(const TSpecialTagsEdits& Edits);

// Stores the edits (ClearTagLists first): the mode, "before", the trimmed starts, the first character
// of the stop and of the delimiter, and each meta-tag's trimmed name with the members of its contents.
void ApplySpecialTags(const TSpecialTagsEdits& Edits, TCommonConcordConfig& Config);

enum class TMetaTagCheck { Ok, EmptyName, DuplicateName, EmptyContents };
// Names: the meta-tags' names in the list; EditedIndex the position of the edited one (-1 when adding).
TMetaTagCheck CheckMetaTag(const std::string& Name, const std::string& Contents,
                           const std::vector<std::string>& Names, int EditedIndex);

// What the main window drops after "Special Tags Settings" changed a word-tag setting: every language's
// corpus frequency list (ClearScannedInfo with only its frequency-list flag). Nothing is offered.
void DropAfterSpecialTags();
