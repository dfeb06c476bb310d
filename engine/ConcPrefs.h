// The preferences file "TESVIRO.INI" and the settings half of a workspace.
//
// Every setting that survives a restart has one key here; a workspace's ".TWS" file holds the same
// sections and keys as the preferences file except the workspace folder, the recent-workspace list, the
// save-on-exit option and the window placements. The values go into and come from the global
// configuration objects of ConcConfig.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConcConfig.h"

class TIniFile;

// The preferences file's name in the program folder and in the config ("Windows") folder.
extern const char* const IniFileName;

// A place the preferences can be saved to is a file that can be opened for writing in a folder that
// takes a new file (saving writes a temporary file beside the old one and renames it over it).

// Where the preferences are read from: the program folder's file when it exists and can be saved to, or
// when the config folder holds no copy of the settings yet; otherwise the config folder's file (which
// may be missing: a missing file reads as all defaults).
std::string GetIniFileNameForRead();
// Where the preferences are written: the program folder's file when it exists and can be saved to;
// otherwise the config folder's file when it can be (it is created when missing, as a copy of the
// program folder's file when that one exists, so that the next start reads on from the copy);
// otherwise "" (nothing is saved). Never the file that could not be read (UnreadablePreferencesFile).
std::string GetIniFileNameForWrite();
// The write location; window placements use it.
std::string GetIniFileName();
// What the user is told once at start when there is no write location (and the preferences file was
// read): that settings changed in this run will not be kept, and where they would have gone.
std::string PreferencesNotSavedText();

// The default writability test: for a folder (a path ending in "/"), whether a new file can be created
// in it (ProbeFolderWritable); for a file, whether it can be opened for reading and writing
// (ProbeReadWrite, which creates a missing file).
bool IniLocationWritable(const std::string& Path);
// Replaces that test for files and folders alike. Tests running as root use it to make a file or a
// folder read-only. An empty function restores the default.
void SetIniWritableProbe(std::function<bool(const std::string&)> Probe);

// Reads every setting from the read location. When the file cannot be read: shows the error, gives every
// setting the value of a missing file, remembers the file in UnreadablePreferencesFile and returns false.
// When it can be read but is no settings file (TIniFile::WellFormed: bytes of another kind of file, a
// section header without its "]"): every setting takes the value of a missing file (the workspace folder,
// the recent workspaces and the save-on-exit option too), the file is copied to a free name beside it
// ("TESVIRO.INI.unreadable", "...unreadable-2", ...) and emptied, so that this run's settings are saved
// in its place, and the warning DamagedPreferencesText says so; returns false. When the copy cannot be
// made the file stays as it was and is remembered in UnreadablePreferencesFile.
bool LoadPreferences();
// "The settings in "<FileName>" could not be read: the default settings are used.", and when KeptAs is
// not empty a second line "The unreadable file is kept as "<KeptAs>"."
std::string DamagedPreferencesText(const std::string& FileName, const std::string& KeptAs);
// The preferences file that could not be read in this run: no write location names it, so it stays as it
// was (the settings in force are defaults, not the user's). Empty when none.
extern std::string UnreadablePreferencesFile;
// Writes every setting to the write location; does nothing and returns false when there is none. Unlike
// SavePrefsToFile it keeps what the settings do not own: every section other than the settings' own (the
// window placements, sections it does not know) and the keys WorkspacePath, RecentWorkspaces and
// SaveOnExit, as they stood in the old file.
bool SavePreferences();
// The same for a workspace's settings file.
bool LoadWorkspacePrefs(const std::string& FileName);
bool SaveWorkspacePrefs(const std::string& FileName);

// Reads every setting from FileName; the language configurations are freed and created anew. Any error
// shows "Could not read from configuration file <name>!" and returns false; what was read so far stays.
// A file that is no regular file (a FIFO, a device) or is too large is such an error, found before
// anything is read or changed.
bool LoadPrefsFromFile(const std::string& FileName);
// Replaces FileName by a file holding every setting (keys it held before and no longer gets are gone).
// Any error shows "Could not write to configuration file <name>!" and returns false; the old file is then
// left as it was. Workspaces are saved this way.
bool SavePrefsToFile(const std::string& FileName);

// Loading brings every value into the range its dialog offers, so that nothing downstream meets a value
// no user could have set (a hand-edited or damaged file gives the nearest sane value instead):
//   numbers, clamped: MaximumHits 1..2147483647, FrequencyOfHits 1..16000, ContextChars 0..1000,
//     ContextWords 0..40, ContextLines 0..10, ContextSentences 1 (the segment size is always 1),
//     MatchWordsHi 1..9, MatchWordsLo 0..MatchWordsHi, every MaxItems 0..1000, MinHitsForHotWords and
//     MaxHotWordsCandidates 1..32767, TranslationPasses 1..30, MinimumFrequency 1..32000,
//     MaximumFrequency 0..32000, MaximumLines 0..950000, CollocateSpan 1..4, CollocHighLightTop 0..32767,
//     the three hot-word thresholds at least 0 (a value that is no finite number gives the default);
//   choices, the default when outside: ContextType 0..4, AlignFormat 0..3, WordTag 0..2, exportAlignFormat
//     1 or 3, HeadingFormat 0..3, ParagraphFormat 0..3, SentenceFormat 0..1, BigContextSize 10, 20 or 30,
//     LastUsedLanguage 0..LanguagesCount-1, a sort key to a code its family names (else none);
//   LanguagesCount: above 4 gives 4, below 0 gives 1;
//   Language: a locale of the table whose code page converts (platform::IsUsableLocale), else the user's
//     default language; LanguageName, when missing or empty, the table's name of the language;
//   fonts: a size outside 1..512 and an empty name keep the font's own, style bits beyond the four
//     styles are dropped, the colour is made a COLORREF (0..0xFFFFFF) or a system colour, a character set
//     outside 0..255 becomes 0;
//   headings and tracked tags whose names would share a section (SameSettingName): the first is kept.
// The sections of the options object, the tracked tags and every language, in load order. They raise
// std::logic_error when CommonConfig does not exist (or, saving, when a counted language is missing),
// and pass on std::bad_alloc.
void LoadGeneralPrefs(const TIniFile& Ini);
// Text without the control characters and blanks at both ends.
std::string TrimControls(std::string_view Text);
// A meta tag's members from their comma-separated text: the pieces between commas, trimmed, empty ones
// dropped; and the members joined with ", " (what the preferences file and the settings dialog show).
std::vector<std::string> SplitMembers(const std::string& Text);
std::string JoinMembers(const std::vector<std::string>& Members);
void SaveGeneralPrefs(TIniFile& Ini);
// The per-language sections of language Lang (0..3) into or from Config; loading also parses the equal
// characters into Config's EqualCharGroups and sets the stop list's Active from its stored flag. May raise.
void LoadLanguagePrefs(const TIniFile& Ini, TConcordConfig& Config, int Lang);
void SaveLanguagePrefs(TIniFile& Ini, const TConcordConfig& Config, int Lang);

// One key of "GeneralConfiguration" each, read from the read location or written to the write location
// (skipped when there is none); the configuration unit calls them at start and end. They raise
// EIniFileError when the file exists but cannot be read or replaced.
void LoadWorkspacePath();
void SaveWorkspacePath();
// Drops the entries whose file no longer exists.
void LoadRecentWorkspaces();
void SaveRecentWorkspaces();
void LoadSaveOnExit();
void SaveSaveOnExit();

// ---- Encodings shared with other settings files ----

// The name of a per-language section: Base, ".", and the language index in two digits ("TextFormat.02").
std::string LanguageSection(const std::string& Base, int Lang);

// A numbered list: the key Prefix + "Count" holds n = min(size, 10000), and entry i the key Prefix + i with
// as many digits as (n - 1) has when that is one digit or i >= 100, else two digits. So 10 entries use
// Prefix0 .. Prefix9, 11 entries Prefix00 .. Prefix10, 150 entries Prefix00 .. Prefix99 then Prefix100 ..
// Prefix149, and 1001 entries Prefix00 .. Prefix99 then Prefix0100 .. Prefix1000.
void WriteStringList(TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                     const std::vector<std::string>& List);
// Replaces List by the entries of a numbered list, skipping empty values; a missing count key reads as 20.
void ReadStringList(const TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                    std::vector<std::string>& List);

// A font as "name,size,style,colour,charset" (the colour a signed COLORREF).
std::string FontToIniString(const TFontSpec& Font);
// Parses FontToIniString's text into Font. An empty text leaves Font unchanged; the name runs to the
// first ",", ":" or ";", each number to the next blank, ",", ":" or ";"; a missing or non-numeric
// number reads as 0.
void FontFromIniString(const std::string& Text, TFontSpec& Font);

// The key code a stored sort-key value names in Table: the display name (exact), or a decimal number of
// the older numbering (0 stays, 1..6 add one, 7 and above add two); skNone for anything else.
uint8_t SortKeyFromIniValue(TSortKeyTable Table, const std::string& Value);
