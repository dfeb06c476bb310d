// The corpus model's configuration and global state.
//
// One language-independent options object (CommonConfig), one TConcordConfig per corpus language
// (LanguageConfigs[0..3]: 0 is the source language) which owns the language's corpus files and every
// index computed from them, and the global settings the windows share. Everything here runs on the
// main thread and has no lock; search threads only read it while the main thread waits.
//
// Values come from the preferences file and from workspaces; the per-file indexes are filled by the
// corpus pass and dropped by the invalidation routines.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcIndex.h"
#include "engine/ConcLangs.h"
#include "engine/ConcSortKeys.h"
#include "engine/ConcTags.h"
#include "platform/Owned.h"

// Per-file element types owned here and defined by their own units; declaring them keeps those units
// out of every file that includes the configuration.
class TFreqList;  // a frequency list
class TIniFile;   // the preferences file

// The groups of equal characters of a language.
using TCharSetArray = std::vector<TCharSet>;

// ---- Fonts and colours -------------------------------------------------------------------------------

// Colours are Windows COLORREF values (0x00BBGGRR); negative values are system colours.
using TColor = int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
constexpr TColor clWindowText = clSystemColor | 8;

// Font style bits (as the preferences file stores them).
constexpr uint8_t fsBold = 1;
constexpr uint8_t fsItalic = 2;
constexpr uint8_t fsUnderline = 4;
constexpr uint8_t fsStrikeOut = 8;

// A font as the model keeps it; windows turn it into a real font.
struct TFontSpec {
    std::string Name = "Sans Serif";
    int32_t Size = 8;   // points
    uint8_t Style = 0;  // fs* bits
    TColor Color = clWindowText;
    uint8_t Charset = 0;  // Windows character set, 0 = ANSI

    bool operator==(const TFontSpec&) const = default;
};

// The nine fonts of a language, indexes into TConcordConfig::Fonts.
enum TConfigFont {
    SystemFont = 0,
    CorpusFont,
    NormalFont,
    HiliteFont,
    CollocatesFont,
    ContextFont,
    ContextHiliteFont,
    FrequencyFont,
    HotWordsFont,
};
constexpr int ConfigFontCount = 9;

// ---- Name tables -------------------------------------------------------------------------------------

inline constexpr const char* SyntaxNames[3] = {"Text", "Regex", "Tag"};
inline constexpr const char* OnOffNames[2] = {"OFF", "ON"};
inline constexpr const char* FontKeyNames[ConfigFontCount] = {
    "SystemFont",  "CorpusFont",        "NormalFont",    "HiliteFont",  "CollocatesFont",
    "ContextFont", "ContextHiliteFont", "FrequencyFont", "HotWordsFont"};
inline constexpr const char* HistorySuffixes[3] = {"", "Grep", "Tag"};
inline constexpr const char* ContextSizeNames[5] = {"ContextChars", "ContextWords", "ContextLines",
                                                    "ContextSentences", "ContextSegments"};
inline constexpr int32_t DefaultContextSizes[5] = {40, 8, 3, 1, 1};
inline constexpr const char* WordListTitles[2] = {"Corpus Frequency List", "Alphabetical Word List"};
inline constexpr const char* CollocatePositionTitles[8] = {"4-Left",  "3-Left",  "2-Left",  "1-Left",
                                                           "1-Right", "2-Right", "3-Right", "4-Right"};

// The word delimiters every language starts from: . , ; : ! # $ ^ & ( ) [ ] { } < > + = / \ | ` ~ and
// the double quote (25 characters).
inline constexpr std::string_view DefaultNonWordChars = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
// The word delimiters of a new language of locale LocaleId (and what "Revert to default" gives it):
// DefaultNonWordChars, then those of the quotation marks, inverted marks, dashes and ellipsis
// (U+201C U+201D U+201E U+201F U+00AB U+00BB U+2039 U+203A U+FF62 U+FF63 U+00BF U+00A1 U+2013 U+2014
// U+2015 U+2026, in this order) that the locale's code page holds as one byte; DefaultNonWordChars alone
// for LocaleId 0. Apostrophes and single quotation marks stay word characters ("l'ete", "don't").
std::string DefaultWordDelimiters(uint32_t LocaleId);
// Whether Delimiters are DefaultNonWordChars or the DefaultWordDelimiters of some known locale.
bool IsDefaultWordDelimiters(const std::string& Delimiters);
inline constexpr std::string_view DefaultSentDelimiters = ".!?";
inline constexpr std::string_view DefaultSkippingChars = "-=";

// ---- Records -----------------------------------------------------------------------------------------

// The frequency settings of one language.
struct TFrequencyConfig {
    int32_t MinimumFrequency = 0;
    int32_t MaximumFrequency = 0;  // 0 = no upper limit
    int32_t MaximumLines = 0;
    int32_t CollocateSpan = 0;
    int32_t CollocHighLightTop = 0;
    bool IgnoreCase = false;
    bool SkipTags = false;
    bool CountAllWords = false;
};

struct THotWordsConfig {
    int32_t MinHitsForHotWords = 0;
    int32_t MaxHotWordsCandidates = 0;
};

// The markers that open and close a heading and the text under it.
struct THeadRecord {
    std::string HeadStart, HeadStop, TextStart, TextStop;
};

// A tracked tag: its values feed sort key 12 and the tracked-tag columns.
struct TWatchedTag {
    std::string Name, TagStart, TagStop;
    bool NoStop = false;  // TagStop is empty

    TWatchedTag() = default;
    // NoStop follows TagStop.
    TWatchedTag(std::string Name, std::string TagStart, std::string TagStop);
};

// One corpus file's record, owned by its entry of TConcordConfig::Files.
struct TCorpusFileRecord {
    bool Converted = false;  // read through an 8-bit copy made from a UTF-8 file
    int32_t WordCount = 0;   // words counted by the corpus pass
    std::string CopyName;    // the path actually opened (at most 260 characters)
    // A converted file: the UTF-8 file's time (packed DOS date-time) and size when its copy was made,
    // which is what everything computed from the copy stands for; -1: not known.
    int32_t SourceAge = -1;
    int64_t SourceSize = -1;
    // And the content sum (ContentSum.h) of its bytes then; none: not known.
    std::optional<uint64_t> SourceSum = std::nullopt;
};

// ---- Stop list ---------------------------------------------------------------------------------------

class TStopList {
public:
    explicit TStopList(int32_t Language);

    int32_t Language;
    std::string FileName;  // a stop-list text file, or empty when the words live in the preferences
    bool Active = false;   // the list is consulted

    const std::vector<std::string>& Words() const { return FWords; }
    // Replaces the words; Active is unchanged.
    void SetWords(std::vector<std::string> Words);
    // Empties the words and stores the name.
    void SetFileName(const std::string& Name);
    // Active := Value and the list not empty. Returns whether the list is non-empty.
    bool SetActive(bool Value);
    // False when not Active. Otherwise whether the list holds Word: without regard to case (through the
    // lower-case map of LanguageConfigs[Language]) when FrequencyConfigs[Language].IgnoreCase is set at
    // the time of the call, else byte for byte. Main thread only (it keeps a lookup table).
    bool IsStopWord(std::string_view Word) const;
    // Under the wait cursor, loads the words from FileName (one word per line, CR LF or LF); Active :=
    // list not empty. Only a regular file of a sane size is read (platform::ReadRegularFile), so a FIFO
    // or a device never blocks. When the file cannot be read: the error "Unable to load stop-list words
    // from file " CR LF + name, and the list is left empty and inactive.
    void LoadFromFile();
    // The words as one text, CR LF after each.
    std::string GetWords() const;
    // Reads the list from the preferences: FileName from the key StopListFileName of Section (the
    // language's FrequencyConfiguration section); when it is empty the words are the numbered list "Word"
    // of the section StopList.NN of the list's language, else LoadFromFile. Then Active := the key
    // "Active" of StopList.NN (true when missing) and the list not empty.
    void LoadFromIni(const TIniFile& Ini, const std::string& Section);
    // Writes StopListFileName and rewrites section StopList.NN: the words when FileName is empty, and
    // the key "Active".
    void SaveToIni(TIniFile& Ini, const std::string& Section) const;

private:
    std::vector<std::string> FWords;
    // The words as IsStopWord last looked them up: folded or not, and the locale whose map folded them.
    // Rebuilt when the words, the case rule or the language's locale change.
    mutable bool FLookupValid = false;
    mutable bool FLookupFolded = false;
    mutable uint32_t FLookupLocale = 0;
    mutable std::unordered_set<std::string> FLookup;
    mutable std::string FFolded;  // scratch space for a folded word
};

// ---- Language configuration --------------------------------------------------------------------------

class TConcordConfig {
public:
    // A language with the defaults below, no files and no locale (LocaleId 0, identity case map).
    explicit TConcordConfig(int32_t Language);
    // Removes every file (RemoveFile(0) until none is left: temporary copies are deleted), then frees
    // everything else.
    ~TConcordConfig();
    TConcordConfig(const TConcordConfig&) = delete;
    TConcordConfig& operator=(const TConcordConfig&) = delete;

    uint32_t LocaleId = 0;
    std::string LanguageName;
    bool NoCaseMap = false;
    std::array<uint8_t, 256> LowerCaseMap;  // byte -> its lower case in the language's code page
    std::string NonWordChars{DefaultNonWordChars};
    std::string SentDelimiters{DefaultSentDelimiters};
    bool SmartAbbrDetect = false;
    bool includeTrailingQuotes = false;
    uint8_t HeadingFormat = 0;  // 0 tags, 1 pattern at paragraph start, 2 regular expression, 3 none
    std::string HStart, HStop, HPattern;
    uint8_t ParagraphFormat = 0;  // 0 tags, 1 each line break, 2 empty line, 3 leading blank or tab
    std::string PStart, PStop;
    uint8_t SentenceFormat = 0;  // 0 tags, 1 automatic
    std::string SStart, SStop;
    bool HiliteNumbers = false;
    std::vector<std::string> Markers;
    std::string SkippingChars{DefaultSkippingChars};
    std::string EqualChars;
    TCharSetArray EqualCharGroups;
    std::vector<TNamedItem<THeadRecord>> Headings;
    std::array<TFontSpec, ConfigFontCount> Fonts;
    TStopList StopList;
    std::vector<std::string> SentenceExceptions;  // lower-cased

    // The corpus files (name and record) in load order, and the per-file lists parallel to them. An
    // empty slot is an index not computed (or dropped).
    std::vector<TNamedItem<TCorpusFileRecord>> Files;
    TOwned<TFreqList> FreqList;
    TIntegerLists PageStarts, LineStarts;
    TTagsCollections FileTags;
    std::vector<std::unique_ptr<TFileSynchroStream>> Streams;
    std::vector<std::unique_ptr<TBufStream>> Readers;
    TAlignIndexes SectionIndexes, ParagraphIndexes, SentenceIndexes;

    std::string CorpusPath, StopListPath, SentDelimitersPath;
    std::vector<std::string> DelimiterHistory, SkippingHistory, EqualHistory;
    // Indexed by syntax: plain text, regular expression, tag.
    std::array<std::vector<std::string>, 3> SearchHistory, HeadingHistory, LeftHistory, RightHistory;
    std::string LastHeading;
    TAdvancedSortColOptions AdvancedSort;
    TAdvancedSortColOptions CollocationSort;
    double RankFunctionThreshold = 0.001;
    bool ParadigmOption = false;
    double ParadigmThreshold = 0;
    double ParadigmRankThreshold = 0;

    // Copies the formats, delimiters, skipping and equal characters, the hot-word fields, HiliteNumbers,
    // both sort records and the fonts. Not the locale, name, case map, includeTrailingQuotes, lists,
    // paths, LastHeading or anything per file.
    void Assign(const TConcordConfig& Source);
    const std::string& GetLanguageName() const { return LanguageName; }
    // Sets the locale and name and rebuilds NoCaseMap and LowerCaseMap; nothing when both are unchanged.
    // Word delimiters that are the defaults of the old locale (for a language without one yet, the
    // defaults of any code page, as a new language copies them from another) become those of the new one
    // (DefaultWordDelimiters); delimiters of the user's own are kept.
    // NoCaseMap is set for the eight caseless locales and for every locale whose code page has lead
    // bytes (a sort order in the high word changes nothing). The map is the identity for a caseless
    // locale and for one whose language (low 16 bits) is not in the known table.
    void SetLanguage(uint32_t Id, const std::string& Name);
    // Appends a file to every per-file list: its entry, stream and reader (either may be null for a file
    // that could not be opened) and an empty slot in each index list. Returns its index.
    int AddFile(TNamedItem<TCorpusFileRecord> Entry, std::unique_ptr<TFileSynchroStream> Stream,
                std::unique_ptr<TBufStream> Reader);
    // Removes file Index from every per-file list, freeing its indexes, stream and reader; its converted
    // copy is discarded (DiscardCopy: deleted only when nothing will read it again). Raises
    // std::out_of_range for a bad index.
    void RemoveFile(int Index);
    // Exchanges files I and J in every per-file list. Raises std::out_of_range for a bad index.
    void ExchangeFiles(int I, int J);
    // The sum of WordCount over the files.
    int64_t GetWordCount() const;
    // The index of the first file named Name (compared exactly), or -1. Main thread only: it keeps a
    // table of the names beside Files, which AddFile extends and which is built again after a file was
    // removed or moved, so that registering many files costs time in proportion to their number.
    int IndexOfFile(const std::string& Name) const;
    // The index of the heading whose name is Name by SameSettingName; -1 when none is.
    int IndexOfHeading(const std::string& Name) const;
    // Appends a heading definition; refused (false, nothing changes) when a heading of the same name by
    // SameSettingName exists, as both would share one section of the preferences file.
    bool AddHeading(const std::string& Name, const THeadRecord& Head);

    // Whether all nine per-file lists have the same count.
    bool FileListsConsistent() const;

private:
    // The counts of Files and the eight lists parallel to it.
    std::array<size_t, 9> ListCounts() const;
    // Brings the name table up to Files: names appended since it was built are added; after a removal
    // or a move (or Files changed behind its back) it is built again.
    void IndexFileNames() const;

    // Name -> index of its first file, for the files [0, FNamesIndexed).
    mutable std::unordered_map<std::string, int> FFileIndex;
    mutable size_t FNamesIndexed = 0;
    mutable bool FFileIndexValid = false;
};

// ---- Search query ------------------------------------------------------------------------------------

// Flags of TConcSearchRec.
constexpr uint8_t sfContext = 0x01;
constexpr uint8_t sfHeading = 0x02;
constexpr uint8_t sfSkipEqual = 0x04;
constexpr uint8_t sfAppend = 0x08;
constexpr uint8_t sfMatchCase = 0x10;
constexpr uint8_t sfSentenceMode = 0x20;

// One query.
class TConcSearchRec {
public:
    TConcSearchRec() = default;
    // A new record with Source's values (as Assign).
    static std::unique_ptr<TConcSearchRec> CreateCopy(const TConcSearchRec& Source);

    int32_t Language = 0;
    uint8_t Syntax = 0;                 // 0 text pattern, 1 regular expression, 2 tag query
    uint8_t Flags = 0;                  // sf* bits
    std::vector<std::string> Names;     // each query as the user typed it
    std::vector<std::string> Patterns;  // the compiled pattern of each entry of Names
    std::string LeftContext, RightContext;
    std::string HeadStartMarker, HeadingPattern, HeadStopMarker, TextStartMarker, TextStopMarker;
    std::string SkippingChars;
    std::string EqualChars;
    int32_t FrequencyOfHits = 0;
    bool Not = false;  // parallel search: this language must not match

    // Copies every field except EqualChars, which the search sets on its own copy.
    void Assign(const TConcSearchRec& Source);
    // The names joined with " / ".
    std::string GetTermsText() const;
};

// ---- Language-independent options --------------------------------------------------------------------

class TCommonConcordConfig {
public:
    TCommonConcordConfig() = default;
    ~TCommonConcordConfig() { ClearTagLists(); }
    TCommonConcordConfig(const TCommonConcordConfig&) = delete;
    TCommonConcordConfig& operator=(const TCommonConcordConfig&) = delete;

    int32_t LastUsedLanguage = 0;
    int32_t MaximumHits = 0;
    int32_t FrequencyOfHits = 0;
    uint8_t ContextType = 0;  // characters, words, lines, sentences, segments
    // Per context type; what a new item list starts with (NewListContextSizes). The defaults until the
    // preferences replace them.
    std::array<int32_t, 5> ContextSizes = std::to_array(DefaultContextSizes);
    char WildCard0orMore = 0, WildCard0or1 = 0, WildCardExactly1 = 0, WildCardMatchWords = 0;
    uint8_t MatchWordsLo = 0, MatchWordsHi = 0;
    char TagSearchSeparator = 0;
    bool IgnoreCase = false, SentenceMode = false, RegularExpressions = false, UseSkipEqualChars = false,
         TagSearch = false;
    uint8_t AlignFormat = 0;  // 0 none, 1 paragraph index, 2 delimiter tag, 3 start/stop tags
    std::string AlignDelimiter, AlignStart, AlignStop, AlignAttrib;
    TAdvancedSortColOptions CollocationSort;
    char TagStart = 0, TagStop = 0;
    std::string PageSeparator;
    bool ShowLines = false, ShowPages = false, RelativeLines = false;
    uint8_t WordTag = 0;  // 0 none, 1 joined by wTagDelimiter, 2 opened by wTagStarts, closed by wTagStop
    bool wTagBefore = false;
    char wTagDelimiter = 0;
    std::vector<std::string> wTagStarts;
    char wTagStop = 0;
    std::vector<TNamedItem<std::vector<std::string>>> MetaTags;  // name -> member patterns
    std::string exportDir, exportFilePrefix;
    uint8_t exportAlignFormat = 0;  // 1 or 3
    std::string exportTag, exportAttribute;

    // Empties wTagStarts and MetaTags (with their member lists).
    void ClearTagLists();
};

// ---- Globals -----------------------------------------------------------------------------------------

constexpr int MaxLanguages = 4;

extern std::unique_ptr<TCommonConcordConfig> CommonConfig;
// Entries 0..LanguagesCount-1 are set; the others are empty.
extern std::array<std::unique_ptr<TConcordConfig>, MaxLanguages> LanguageConfigs;
extern int32_t LanguagesCount;
// Alignment of language 1, 2, 3 with language 0; empty until an aligner creates them.
extern std::unique_ptr<TDoubleAlignIndexes> Align12, Align13, Align14;
extern std::vector<TWatchedTag> WatchedTags;
extern std::vector<std::string> RecentWorkspaces;
extern std::array<TFrequencyConfig, MaxLanguages> FrequencyConfigs;
extern THotWordsConfig HotWordsConfig;
extern int32_t TranslationPasses;
extern int32_t BigContextSize;
extern bool KeepLinesPages, KeepWatchedTags, KeepFrequency, KeepSegmentIndexes;
extern std::string ConcordancePath, FreqPath, CorpusFreqPath;
extern std::string WorkspacePath;
extern std::string WorkspaceFileName;  // empty when no workspace is current
extern bool WorkspaceLoaded;           // a workspace was opened or saved in this run; never cleared
// Edits made by hand in the alignment editor that the corpus's indexes hold now: each edit adds one, its
// undo takes it back. Zeroed when a workspace takes the corpus in and when the corpus goes.
extern int64_t HandEditsApplied;
extern bool SaveOnExit;
extern std::string MainCaption;
extern std::string VersionText;  // "Version 1.0 (Build 270)"
// Each ends in "/".
extern std::string ProgramFolder, WindowsFolder, TempDir;
extern bool SavingWordList, PrintingWordList;

// The sum of the sizes of the language's open streams; 2147483647 when one of them reports that size
// (unknown) or when the sum exceeds it; 0 for a language that does not exist.
int32_t TotalCorpusSize(int Language);
// The name of corpus language Language; empty for a language that does not exist.
std::string LanguageNameOf(int Language);

// Frees every tracked tag.
void ClearWatchedTags();
// Appends a tracked tag; refused (false, nothing changes) when one of the same name by SameSettingName
// is tracked already, as both would share one section of the preferences file.
bool AddWatchedTag(TWatchedTag Tag);
// Whether two names of headings or tracked tags would name the same section of the preferences file:
// equal up to their first NUL, CR or LF, ignoring ASCII case.
bool SameSettingName(std::string_view A, std::string_view B);

// The context sizes a new concordance item list starts with: CommonConfig's ContextSizes (the defaults
// until the preferences are read, then the stored sizes); DefaultContextSizes when there is no
// CommonConfig. Item lists take their sizes from here, never from DefaultContextSizes directly.
std::array<int32_t, 5> NewListContextSizes();
// Frees LanguageConfigs[0..LanguagesCount-1], sets LanguagesCount to 0 and frees the three alignments
// (no edit made by hand is left). Sends no message: callers close the windows first.
void FreeLanguageConfigs();

// Program start, after LoadInstalledLanguages: the version text, the folders, the tracked-tag list,
// CommonConfig, language 0, then WorkspacePath, RecentWorkspaces (without the files that no longer
// exist) and SaveOnExit from the preferences file (ConcPrefs), and KeepSegmentIndexes. Raises
// EIniFileError when the preferences file exists but cannot be read.
void InitConfigUnit();
// Program end, after every window is gone: writes WorkspacePath, RecentWorkspaces and SaveOnExit to the
// preferences file when it has a write location (ConcPrefs), then frees the tracked tags, CommonConfig,
// the languages, the alignments and the recent list, and clears the global texts. A failure to write
// raises EIniFileError after everything is freed.
void FinalizeConfigUnit();
// Puts every global of this unit back to its state before InitConfigUnit (tests only); writes nothing.
void ResetGlobalsForTest();
