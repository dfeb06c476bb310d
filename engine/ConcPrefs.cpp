#include "engine/ConcPrefs.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "engine/ConcConfig.h"
#include "engine/ConcLangs.h"
#include "engine/ConcSortKeys.h"
#include "engine/ConcTextProcess.h"
#include "platform/IniFiles.h"
#include "platform/Nls.h"
#include "platform/WholeFile.h"
#include "ui/Msg.h"

const char* const IniFileName = "TESVIRO.INI";
std::string UnreadablePreferencesFile;

namespace {

namespace fs = std::filesystem;

std::function<bool(const std::string&)> WritableProbe;

bool IsWritable(const std::string& Path) {
    return WritableProbe ? WritableProbe(Path) : IniLocationWritable(Path);
}

bool FileExists(const std::string& Path) {
    std::error_code ec;
    return fs::is_regular_file(Path, ec);
}

bool HoldsSettings(const std::string& Path) {
    std::error_code ec;
    return FileExists(Path) && fs::file_size(Path, ec) > 0 && !ec;
}

std::string FolderOf(const std::string& Path) {
    return Path.substr(0, Path.rfind('/') + 1);
}

// Saving replaces the file through a temporary file beside it, so a writable file in a folder that
// takes no new file can never be saved: both must be writable.
bool CanSaveTo(const std::string& Path) {
    std::string target;
    try {
        target = ReplaceTarget(Path);
    } catch (const EIniFileError&) {
        return false;
    }
    return IsWritable(FolderOf(target)) && IsWritable(Path);
}

// "" when the folder is unknown (or the configuration unit is not running), so that nothing is ever read
// from or written to the current directory instead.
std::string ProgramIniFile() {
    return ProgramFolder.empty() ? std::string() : ProgramFolder + IniFileName;
}
std::string ConfigIniFile() {
    return WindowsFolder.empty() ? std::string() : WindowsFolder + IniFileName;
}

// The config folder's file starts as a copy of a program-folder file that cannot be saved, so that
// settings saved there later are read from there and nothing the program folder held is lost.
bool SeedConfigCopy(const std::string& From, const std::string& To) {
    if (!CanSaveTo(To)) return false;
    if (HoldsSettings(To) || !HoldsSettings(From)) return true;
    std::string bytes;
    // An unreadable program-folder file has nothing to hand on; the config folder is still usable.
    if (From != UnreadablePreferencesFile) platform::ReadRegularFile(From, bytes);
    try {
        ReplaceFileAtomically(To, bytes);
    } catch (const EIniFileError&) {
        return false;
    }
    return true;
}

}  // namespace

bool IniLocationWritable(const std::string& Path) {
    if (!Path.empty() && Path.back() == '/') return ProbeFolderWritable(Path);
    return ProbeReadWrite(Path);
}

std::string GetIniFileNameForRead() {
    std::string program = ProgramIniFile();
    if (FileExists(program) && (CanSaveTo(program) || !HoldsSettings(ConfigIniFile()))) return program;
    return ConfigIniFile();
}

std::string GetIniFileNameForWrite() {
    std::string program = ProgramIniFile();
    bool programExists = FileExists(program);
    if (programExists && CanSaveTo(program))
        return program == UnreadablePreferencesFile ? std::string() : program;
    std::string config = ConfigIniFile();
    if (config.empty() || config == UnreadablePreferencesFile) return {};
    bool usable = programExists ? SeedConfigCopy(program, config) : CanSaveTo(config);
    return usable ? config : std::string();
}

std::string GetIniFileName() {
    return GetIniFileNameForWrite();
}

std::string PreferencesNotSavedText() {
    const std::string Config = ConfigIniFile();
    return "The preferences cannot be written to \"" + (Config.empty() ? std::string(IniFileName) : Config) +
           "\": settings changed in this session will not be saved.";
}

void SetIniWritableProbe(std::function<bool(const std::string&)> Probe) {
    WritableProbe = std::move(Probe);
}

// ---- Encodings ---------------------------------------------------------------------------------------

namespace {

const char* const kGeneral = "GeneralConfiguration";
const char* const kConcordance = "ConcordanceConfiguration";
const char* const kAlignFormat = "AlignFormat";
const char* const kTagSettings = "Tag Settings";
const char* const kWordTagSettings = "Word Tag Settings";
const char* const kWatchedPrefix = "Watched.";
const char* const kGlobalHotWords = "GlobalHotWordsConfiguration";
const char* const kCorpusExport = "CorpusExport";
const char* const kUndefinedLanguage = "<undefined>";
constexpr int kMaxListEntries = 10000;

// The ranges the dialogs offer, which every value read is brought into (see the header).
constexpr int kMaxInt32 = 2147483647;
constexpr int kMaxUpDown = 32767;  // the largest position an up-down control holds
constexpr int kMaxFrequency = 32000;
constexpr int kMaxFrequencyLines = 950000;
constexpr int kMaxFrequencyOfHits = 16000;
constexpr int kMaxShowFirst = 1000;
constexpr int kMaxTranslationPasses = 30;
constexpr int kMaxFontSize = 512;
constexpr int kContextSizeLimits[4][2] = {{0, 1000}, {0, 40}, {0, 10}, {1, 1}};

// What of a text survives a line of the INI file (see TIniFile::WriteString).
std::string StoredPart(const std::string& s) {
    return s.substr(0, s.find_first_of(std::string("\0\r\n", 3)));
}

// The key of entry Index of a numbered list of Count entries.
std::string ListKey(const std::string& Prefix, int Count, int Index) {
    int width = std::max(1, NumberOfDigits(Count - 1, 10));
    int precision = (width == 1 || Index >= 100) ? width : 2;
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.*d", precision, Index);
    return Prefix + digits;
}

std::string CharText(char c) {
    return c ? std::string(1, c) : std::string();
}

// A character key: the first character of the value, character 0 for an empty value.
char ReadChar(const TIniFile& Ini, const char* Section, const char* Key, char Default) {
    std::string value = Ini.ReadString(Section, Key, std::string(1, Default));
    return value.empty() ? '\0' : value[0];
}

// A character key whose value is stripped first; an empty result gives the default.
char ReadTrimmedChar(const TIniFile& Ini, const char* Section, const char* Key, char Default,
                     std::string (*Trim)(std::string_view)) {
    std::string value = Trim(Ini.ReadString(Section, Key, std::string(1, Default)));
    return value.empty() ? Default : value[0];
}

// An integer key brought into Lo..Hi, the range its dialog offers.
int32_t ReadClamped(const TIniFile& Ini, const std::string& Section, const std::string& Key, int Default,
                    int Lo, int Hi) {
    return std::clamp(Ini.ReadInteger(Section, Key, Default), Lo, Hi);
}

// A format code (one of a list of choices): a value outside 0..Last gives Default, as no neighbouring
// choice is a better guess than another.
uint8_t ReadFormat(const TIniFile& Ini, const std::string& Section, const char* Key, int Default, int Last) {
    const int Value = Ini.ReadInteger(Section, Key, Default);
    return static_cast<uint8_t>(Value >= 0 && Value <= Last ? Value : Default);
}

// A threshold: the dialogs accept only digits and the decimal separator.
double ReadThreshold(const TIniFile& Ini, const std::string& Section, const char* Key, double Default) {
    return std::max(0.0, Ini.ReadFloat(Section, Key, Default));
}

void WriteSortKey(TIniFile& Ini, const std::string& Section, const std::string& Key, TSortKeyTable Table,
                  uint8_t Code) {
    Ini.WriteString(Section, Key, SortKeyDisplayName(Table, Code));
}

const char* const kSortKeyNames[3] = {"First", "Second", "Third"};

void ReadSortRecord(const TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                    TSortKeyTable Table, TAdvancedSortColOptions& Record) {
    for (int k = 0; k < 3; ++k) {
        std::string key = Prefix + kSortKeyNames[k];
        Record.Keys[k].Key = SortKeyFromIniValue(Table, Ini.ReadString(Section, key, ""));
        Record.Keys[k].Reverse = Ini.ReadBool(Section, key + "Reverse", false);
    }
    Record.Customised = Ini.ReadBool(Section, Prefix + "Custom", false);
    Record.CustomisedText = Ini.ReadString(Section, Prefix + "CustomText", "");
    Record.ShowFirst = ReadClamped(Ini, Section, Prefix + "MaxItems", 0, 0, kMaxShowFirst);
}

void WriteSortRecord(TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                     TSortKeyTable Table, const TAdvancedSortColOptions& Record) {
    for (int k = 0; k < 3; ++k) {
        std::string key = Prefix + kSortKeyNames[k];
        WriteSortKey(Ini, Section, key, Table, Record.Keys[k].Key);
        Ini.WriteBool(Section, key + "Reverse", Record.Keys[k].Reverse);
    }
    Ini.WriteBool(Section, Prefix + "Custom", Record.Customised);
    Ini.WriteString(Section, Prefix + "CustomText", Record.CustomisedText);
    Ini.WriteInteger(Section, Prefix + "MaxItems", Record.ShowFirst);
}

bool IsDecimalInteger(const std::string& s, long long& Value) {
    size_t digits = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (digits == s.size()) return false;
    for (size_t i = digits; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    errno = 0;
    Value = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == ERANGE) Value = -1;  // far outside any key either way
    return true;
}

}  // namespace

std::string LanguageSection(const std::string& Base, int Lang) {
    char digits[16];
    std::snprintf(digits, sizeof digits, ".%.2d", Lang);
    return Base + digits;
}

void WriteStringList(TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                     const std::vector<std::string>& List) {
    int count = int(std::min<size_t>(List.size(), kMaxListEntries));
    Ini.WriteInteger(Section, Prefix + "Count", count);
    for (int i = 0; i < count; ++i) Ini.WriteString(Section, ListKey(Prefix, count, i), List[size_t(i)]);
}

void ReadStringList(const TIniFile& Ini, const std::string& Section, const std::string& Prefix,
                    std::vector<std::string>& List) {
    List.clear();
    int count = std::min(Ini.ReadInteger(Section, Prefix + "Count", 20), kMaxListEntries);
    for (int i = 0; i < count; ++i) {
        std::string value = Ini.ReadString(Section, ListKey(Prefix, count, i), "");
        if (!value.empty()) List.push_back(std::move(value));
    }
}

namespace {

// A COLORREF holds blue, green and red in its low three bytes; a system colour is clSystemColor with its
// index in the low byte. Anything else is brought to the nearest of the two forms.
TColor NormalColor(int Value) {
    return Value < 0 ? TColor(clSystemColor | (Value & 0xFF)) : TColor(Value & 0xFFFFFF);
}

}  // namespace

std::string FontToIniString(const TFontSpec& Font) {
    return Font.Name + "," + std::to_string(Font.Size) + "," + std::to_string(int(Font.Style)) + "," +
           std::to_string(Font.Color) + "," + std::to_string(int(Font.Charset));
}

void FontFromIniString(const std::string& Text, TFontSpec& Font) {
    if (Text.empty()) return;
    size_t pos = Text.find_first_of(",:;");
    if (pos > 0) Font.Name = Text.substr(0, pos);
    int numbers[4] = {0, 0, 0, 0};
    for (int& number : numbers) {
        if (pos >= Text.size()) break;
        size_t start = pos + 1;
        pos = Text.find_first_of(" ,:;", start);
        if (pos == std::string::npos) pos = Text.size();
        if (!TryStrToInt(Text.substr(start, pos - start), number)) number = 0;
    }
    // A size no font dialog offers keeps the font's size; bits that name no style are dropped.
    if (numbers[0] >= 1 && numbers[0] <= kMaxFontSize) Font.Size = numbers[0];
    Font.Style = static_cast<uint8_t>(numbers[1] & (fsBold | fsItalic | fsUnderline | fsStrikeOut));
    Font.Color = NormalColor(numbers[2]);
    Font.Charset = static_cast<uint8_t>(numbers[3] >= 0 && numbers[3] <= 255 ? numbers[3] : 0);
}

uint8_t SortKeyFromIniValue(TSortKeyTable Table, const std::string& Value) {
    long long n = 0;
    if (!IsDecimalInteger(Value, n)) return SortKeyFromDisplayName(Table, Value);
    if (n >= 7)
        n += 2;
    else if (n >= 1)
        n += 1;
    // A code that the key's family cannot name (a collocation key 9, 11 or 12) is no key of it.
    if (n < 0 || n > skTrackedTag || SortKeyDisplayName(Table, uint8_t(n)).empty()) return skNone;
    return uint8_t(n);
}

// ---- The options object and the tracked tags ---------------------------------------------------------

namespace {

void LoadFolders(const TIniFile& Ini) {
    ConcordancePath = Ini.ReadString(kGeneral, "ConcordancePath", "");
    FreqPath = Ini.ReadString(kGeneral, "FreqPath", "");
    CorpusFreqPath = Ini.ReadString(kGeneral, "CorpusFreqPath", "");
    BigContextSize = Ini.ReadInteger(kGeneral, "BigContextSize", 10);
    if (BigContextSize != 10 && BigContextSize != 20 && BigContextSize != 30) BigContextSize = 10;
    KeepLinesPages = Ini.ReadBool(kGeneral, "KeepLinesPages", true);
    KeepWatchedTags = Ini.ReadBool(kGeneral, "KeepWatchedTags", true);
    KeepFrequency = Ini.ReadBool(kGeneral, "KeepFrequency", true);
    KeepSegmentIndexes = Ini.ReadBool(kGeneral, "KeepSegmentIndexes", true);
}

void SaveFolders(TIniFile& Ini) {
    Ini.WriteString(kGeneral, "ConcordancePath", ConcordancePath);
    Ini.WriteString(kGeneral, "FreqPath", FreqPath);
    Ini.WriteString(kGeneral, "CorpusFreqPath", CorpusFreqPath);
    Ini.WriteInteger(kGeneral, "BigContextSize", BigContextSize);
    Ini.WriteBool(kGeneral, "KeepLinesPages", KeepLinesPages);
    Ini.WriteBool(kGeneral, "KeepWatchedTags", KeepWatchedTags);
    Ini.WriteBool(kGeneral, "KeepFrequency", KeepFrequency);
    Ini.WriteBool(kGeneral, "KeepSegmentIndexes", KeepSegmentIndexes);
}

void LoadConcordance(const TIniFile& Ini, TCommonConcordConfig& C) {
    C.LastUsedLanguage = Ini.ReadInteger(kConcordance, "LastUsedLanguage", 0);
    if (C.LastUsedLanguage < 0 || C.LastUsedLanguage >= MaxLanguages) C.LastUsedLanguage = 0;
    C.MaximumHits = ReadClamped(Ini, kConcordance, "MaximumHits", 500, 1, kMaxInt32);
    C.FrequencyOfHits = ReadClamped(Ini, kConcordance, "FrequencyOfHits", 1, 1, kMaxFrequencyOfHits);
    C.ContextType = ReadFormat(Ini, kConcordance, "ContextType", 0, 4);
    for (size_t i = 0; i < 4; ++i)
        C.ContextSizes[i] = ReadClamped(Ini, kConcordance, ContextSizeNames[i], DefaultContextSizes[i],
                                        kContextSizeLimits[i][0], kContextSizeLimits[i][1]);
    // The segment size is not stored: it is one segment, as the sentence size is one sentence.
    C.ContextSizes[4] = DefaultContextSizes[4];
    C.WildCard0orMore = ReadChar(Ini, kConcordance, "WildCard0orMore", '*');
    C.WildCard0or1 = ReadChar(Ini, kConcordance, "WildCard0or1", '%');
    C.WildCardExactly1 = ReadChar(Ini, kConcordance, "WildCardExactly1", '?');
    C.WildCardMatchWords = ReadChar(Ini, kConcordance, "WildCardMatchWords", '@');
    C.MatchWordsHi = static_cast<uint8_t>(ReadClamped(Ini, kConcordance, "MatchWordsHi", 5, 1, 9));
    C.MatchWordsLo =
        static_cast<uint8_t>(ReadClamped(Ini, kConcordance, "MatchWordsLo", 2, 0, C.MatchWordsHi));
    C.IgnoreCase = Ini.ReadBool(kConcordance, "IgnoreCase", true);
    C.UseSkipEqualChars = Ini.ReadBool(kConcordance, "UseSkipEqualChars", false);
    C.RegularExpressions = Ini.ReadBool(kConcordance, "RegularExpressions", false);
    C.SentenceMode = Ini.ReadBool(kConcordance, "SentenceMode", false);
    C.TagSearch = Ini.ReadBool(kConcordance, "TagSearch", false);
    C.TagSearchSeparator = ReadChar(Ini, kConcordance, "TagSearchSeparator", '&');
}

void SaveConcordance(TIniFile& Ini, const TCommonConcordConfig& C) {
    Ini.WriteInteger(kConcordance, "LastUsedLanguage", C.LastUsedLanguage);
    Ini.WriteInteger(kConcordance, "MaximumHits", C.MaximumHits);
    Ini.WriteInteger(kConcordance, "FrequencyOfHits", C.FrequencyOfHits);
    Ini.WriteInteger(kConcordance, "ContextType", C.ContextType);
    for (int i = 0; i < 4; ++i) Ini.WriteInteger(kConcordance, ContextSizeNames[i], C.ContextSizes[i]);
    Ini.WriteString(kConcordance, "WildCard0orMore", CharText(C.WildCard0orMore));
    Ini.WriteString(kConcordance, "WildCard0or1", CharText(C.WildCard0or1));
    Ini.WriteString(kConcordance, "WildCardExactly1", CharText(C.WildCardExactly1));
    Ini.WriteString(kConcordance, "WildCardMatchWords", CharText(C.WildCardMatchWords));
    Ini.WriteInteger(kConcordance, "MatchWordsLo", C.MatchWordsLo);
    Ini.WriteInteger(kConcordance, "MatchWordsHi", C.MatchWordsHi);
    Ini.WriteBool(kConcordance, "IgnoreCase", C.IgnoreCase);
    Ini.WriteBool(kConcordance, "UseSkipEqualChars", C.UseSkipEqualChars);
    Ini.WriteBool(kConcordance, "RegularExpressions", C.RegularExpressions);
    Ini.WriteBool(kConcordance, "SentenceMode", C.SentenceMode);
    Ini.WriteBool(kConcordance, "TagSearch", C.TagSearch);
    Ini.WriteString(kConcordance, "TagSearchSeparator", CharText(C.TagSearchSeparator));
}

void LoadAlignFormat(const TIniFile& Ini, TCommonConcordConfig& C) {
    C.AlignFormat = ReadFormat(Ini, kAlignFormat, "Format", 1, 3);
    C.AlignDelimiter = Ini.ReadString(kAlignFormat, "Delimiter", "seg");
    C.AlignStart = Ini.ReadString(kAlignFormat, "Start", "seg");
    C.AlignStop = Ini.ReadString(kAlignFormat, "Stop", "/seg");
    C.AlignAttrib = Ini.ReadString(kAlignFormat, "Attrib", "");
}

void SaveAlignFormat(TIniFile& Ini, const TCommonConcordConfig& C) {
    Ini.WriteInteger(kAlignFormat, "Format", C.AlignFormat);
    Ini.WriteString(kAlignFormat, "Delimiter", C.AlignDelimiter);
    Ini.WriteString(kAlignFormat, "Start", C.AlignStart);
    Ini.WriteString(kAlignFormat, "Stop", C.AlignStop);
    Ini.WriteString(kAlignFormat, "Attrib", C.AlignAttrib);
}

void LoadTagSettings(const TIniFile& Ini, TCommonConcordConfig& C) {
    C.TagStart = ReadTrimmedChar(Ini, kTagSettings, "TagStart", '<', TrimBlanks);
    C.TagStop = ReadTrimmedChar(Ini, kTagSettings, "TagStop", '>', TrimBlanks);
    C.PageSeparator = TrimBlanks(Ini.ReadString(kTagSettings, "PageSeparator", ""));
    C.ShowLines = Ini.ReadBool(kTagSettings, "ShowLines", false);
    C.ShowPages = Ini.ReadBool(kTagSettings, "ShowPages", false);
    C.RelativeLines = Ini.ReadBool(kTagSettings, "RelativeLines", false);
}

void SaveTagSettings(TIniFile& Ini, const TCommonConcordConfig& C) {
    Ini.WriteString(kTagSettings, "TagStart", CharText(C.TagStart));
    Ini.WriteString(kTagSettings, "TagStop", CharText(C.TagStop));
    Ini.WriteString(kTagSettings, "PageSeparator", C.PageSeparator);
    Ini.WriteBool(kTagSettings, "ShowLines", C.ShowLines);
    Ini.WriteBool(kTagSettings, "ShowPages", C.ShowPages);
    Ini.WriteBool(kTagSettings, "RelativeLines", C.RelativeLines);
}

void LoadMetaTags(const TIniFile& Ini, TCommonConcordConfig& C) {
    int count = Ini.ReadInteger(kWordTagSettings, "MetaTagNamesCount", 0);
    std::vector<std::string> names, strings;
    ReadStringList(Ini, kWordTagSettings, "MetaTagNames", names);
    ReadStringList(Ini, kWordTagSettings, "MetaTagStrings", strings);
    if (count > int(names.size()) || count > int(strings.size())) return;
    for (int i = 0; i < count; ++i) {
        std::string name = TrimControls(names[size_t(i)]);
        std::string members = TrimControls(strings[size_t(i)]);
        if (!name.empty() && !members.empty()) C.MetaTags.push_back({name, SplitMembers(members)});
    }
}

// Only meta tags the loader keeps are written, so that the count and both lists stay in step.
void SaveMetaTags(TIniFile& Ini, const TCommonConcordConfig& C) {
    std::vector<std::string> names, strings;
    for (const auto& tag : C.MetaTags) {
        std::string members = JoinMembers(tag.Object);
        if (TrimControls(StoredPart(tag.Name)).empty() || TrimControls(StoredPart(members)).empty()) continue;
        if (names.size() == kMaxListEntries) break;
        names.push_back(tag.Name);
        strings.push_back(std::move(members));
    }
    Ini.WriteInteger(kWordTagSettings, "MetaTagNamesCount", int(names.size()));
    WriteStringList(Ini, kWordTagSettings, "MetaTagNames", names);
    WriteStringList(Ini, kWordTagSettings, "MetaTagStrings", strings);
}

void LoadWordTags(const TIniFile& Ini, TCommonConcordConfig& C) {
    C.ClearTagLists();
    C.WordTag = ReadFormat(Ini, kWordTagSettings, "WordTag", 0, 2);
    C.wTagDelimiter = ReadTrimmedChar(Ini, kWordTagSettings, "wTagDelimiter", '_', TrimControls);
    C.wTagStop = ReadTrimmedChar(Ini, kWordTagSettings, "wTagStop", '>', TrimControls);
    C.wTagBefore = Ini.ReadBool(kWordTagSettings, "wTagBefore", false);
    ReadStringList(Ini, kWordTagSettings, "wTagStarts", C.wTagStarts);
    LoadMetaTags(Ini, C);
}

void SaveWordTags(TIniFile& Ini, const TCommonConcordConfig& C) {
    Ini.WriteInteger(kWordTagSettings, "WordTag", C.WordTag);
    Ini.WriteString(kWordTagSettings, "wTagDelimiter", CharText(C.wTagDelimiter));
    Ini.WriteString(kWordTagSettings, "wTagStop", CharText(C.wTagStop));
    Ini.WriteBool(kWordTagSettings, "wTagBefore", C.wTagBefore);
    WriteStringList(Ini, kWordTagSettings, "wTagStarts", C.wTagStarts);
    SaveMetaTags(Ini, C);
}

void LoadHotWordsAndExport(const TIniFile& Ini, TCommonConcordConfig& C) {
    HotWordsConfig.MinHitsForHotWords =
        ReadClamped(Ini, kGlobalHotWords, "MinHitsForHotWords", 5, 1, kMaxUpDown);
    HotWordsConfig.MaxHotWordsCandidates =
        ReadClamped(Ini, kGlobalHotWords, "MaxHotWordsCandidates", 10, 1, kMaxUpDown);
    TranslationPasses = ReadClamped(Ini, kGlobalHotWords, "TranslationPasses", 4, 1, kMaxTranslationPasses);
    C.exportDir = Ini.ReadString(kCorpusExport, "exportDir", "");
    C.exportFilePrefix = Ini.ReadString(kCorpusExport, "exportFilePrefix", "A_");
    C.exportAlignFormat = ReadFormat(Ini, kCorpusExport, "exportAlignFormat", 1, 3);
    if (C.exportAlignFormat != 1 && C.exportAlignFormat != 3) C.exportAlignFormat = 1;
    C.exportTag = Ini.ReadString(kCorpusExport, "exportTag", "seg");
    C.exportAttribute = Ini.ReadString(kCorpusExport, "exportAttribute", "id");
}

void SaveHotWordsAndExport(TIniFile& Ini, const TCommonConcordConfig& C) {
    Ini.WriteInteger(kGlobalHotWords, "MinHitsForHotWords", HotWordsConfig.MinHitsForHotWords);
    Ini.WriteInteger(kGlobalHotWords, "MaxHotWordsCandidates", HotWordsConfig.MaxHotWordsCandidates);
    Ini.WriteInteger(kGlobalHotWords, "TranslationPasses", TranslationPasses);
    Ini.WriteString(kCorpusExport, "exportDir", C.exportDir);
    Ini.WriteString(kCorpusExport, "exportFilePrefix", C.exportFilePrefix);
    Ini.WriteInteger(kCorpusExport, "exportAlignFormat", C.exportAlignFormat);
    Ini.WriteString(kCorpusExport, "exportTag", C.exportTag);
    Ini.WriteString(kCorpusExport, "exportAttribute", C.exportAttribute);
}

void LoadWatchedTags(const TIniFile& Ini) {
    ClearWatchedTags();
    int count = Ini.ReadInteger(kTagSettings, "WatchedNamesCount", 1);
    std::vector<std::string> names;
    ReadStringList(Ini, kTagSettings, "WatchedNames", names);
    if (count > int(names.size())) return;
    // Names equal but for case share one section; the first of them is the one kept.
    for (int i = 0; i < count; ++i) {
        const std::string& name = names[size_t(i)];
        std::string section = kWatchedPrefix + name;
        AddWatchedTag(TWatchedTag(name, Ini.ReadString(section, "TagStart", ""),
                                  Ini.ReadString(section, "TagStop", "")));
    }
}

// A tag without a name would vanish from the list on reading and shift the count: it is not written.
void SaveWatchedTags(TIniFile& Ini) {
    std::vector<std::string> names;
    for (const TWatchedTag& tag : WatchedTags) {
        if (StoredPart(tag.Name).empty()) continue;
        if (names.size() == kMaxListEntries) break;
        names.push_back(tag.Name);
        std::string section = kWatchedPrefix + StoredPart(tag.Name);
        Ini.WriteString(section, "TagStart", tag.TagStart);
        Ini.WriteString(section, "TagStop", tag.TagStop);
    }
    Ini.WriteInteger(kTagSettings, "WatchedNamesCount", int(names.size()));
    WriteStringList(Ini, kTagSettings, "WatchedNames", names);
}

void LoadLanguages(const TIniFile& Ini) {
    FreeLanguageConfigs();
    int count = Ini.ReadInteger(kGeneral, "LanguagesCount", 1);
    if (count > MaxLanguages) count = MaxLanguages;
    if (count < 0) count = 1;
    // The count follows each stored language, so a failure part-way leaves only complete entries counted.
    for (int lang = 0; lang < count; ++lang) {
        LanguageConfigs[size_t(lang)] = std::make_unique<TConcordConfig>(lang);
        LanguagesCount = lang + 1;
        LoadLanguagePrefs(Ini, *LanguageConfigs[size_t(lang)], lang);
    }
    LanguagesCount = count;
}

}  // namespace

namespace {

TCommonConcordConfig& RunningCommonConfig() {
    if (!CommonConfig) throw std::logic_error("the configuration unit is not initialised");
    return *CommonConfig;
}

}  // namespace

void LoadGeneralPrefs(const TIniFile& Ini) {
    TCommonConcordConfig& common = RunningCommonConfig();
    LoadFolders(Ini);
    LoadConcordance(Ini, common);
    LoadAlignFormat(Ini, common);
    ReadSortRecord(Ini, kGeneral, "Col", TSortKeyTable::Collocation, common.CollocationSort);
    LoadTagSettings(Ini, common);
    LoadWordTags(Ini, common);
    LoadHotWordsAndExport(Ini, common);
    LoadWatchedTags(Ini);
    LoadLanguages(Ini);
    if (common.LastUsedLanguage >= std::max(LanguagesCount, 1)) common.LastUsedLanguage = 0;
}

void SaveGeneralPrefs(TIniFile& Ini) {
    const TCommonConcordConfig& common = RunningCommonConfig();
    SaveFolders(Ini);
    SaveConcordance(Ini, common);
    SaveAlignFormat(Ini, common);
    WriteSortRecord(Ini, kGeneral, "Col", TSortKeyTable::Collocation, common.CollocationSort);
    SaveTagSettings(Ini, common);
    SaveWordTags(Ini, common);
    SaveHotWordsAndExport(Ini, common);
    SaveWatchedTags(Ini);
    Ini.WriteInteger(kGeneral, "LanguagesCount", LanguagesCount);
    for (int lang = 0; lang < LanguagesCount; ++lang) {
        // A missing language would make the file claim more languages than it describes.
        if (lang >= MaxLanguages || !LanguageConfigs[size_t(lang)])
            throw std::logic_error("language " + std::to_string(lang) + " has no configuration");
        SaveLanguagePrefs(Ini, *LanguageConfigs[size_t(lang)], lang);
    }
}

// ---- One language ------------------------------------------------------------------------------------

namespace {

const char* const kSearchHistoryKeys[3] = {"Search", "Grep", "Tag"};

// The user's default language and its name; a stored language that is not one of the table's locales
// with a code page this system converts falls back to it. A stored language without a stored name takes
// the table's name of that language.
void LoadLanguageIdentity(const TIniFile& Ini, const std::string& Section, TConcordConfig& Config) {
    uint32_t defaultId = platform::UserDefaultLangId();
    std::string defaultName = LanguageNameOfLCID(defaultId);
    if (defaultName.empty()) defaultName = kUndefinedLanguage;
    uint32_t id = uint32_t(Ini.ReadInteger(Section, "Language", int(defaultId)));
    std::string name = Ini.ReadString(Section, "LanguageName", "");
    if (!platform::IsUsableLocale(id)) {
        id = defaultId;
        name = defaultName;
    } else if (name.empty()) {
        name = LanguageNameOfLCID(id);
    }
    Config.SetLanguage(id, name);
}

void LoadGeneralSection(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection(kGeneral, Lang);
    Config.CorpusPath = Ini.ReadString(section, "CorpusPath", "");
    Config.StopListPath = Ini.ReadString(section, "StopListPath", "");
    for (int f = 0; f < ConfigFontCount; ++f)
        FontFromIniString(Ini.ReadString(section, FontKeyNames[f], ""), Config.Fonts[size_t(f)]);
    LoadLanguageIdentity(Ini, section, Config);
}

void SaveGeneralSection(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection(kGeneral, Lang);
    Ini.WriteString(section, "CorpusPath", Config.CorpusPath);
    Ini.WriteString(section, "StopListPath", Config.StopListPath);
    for (int f = 0; f < ConfigFontCount; ++f)
        Ini.WriteString(section, FontKeyNames[f], FontToIniString(Config.Fonts[size_t(f)]));
    Ini.WriteInteger(section, "Language", int(Config.LocaleId));
    Ini.WriteString(section, "LanguageName", Config.LanguageName);
}

void LoadCharacters(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection(kConcordance, Lang);
    Config.NonWordChars = Ini.ReadString(section, "NonWordChars", DefaultWordDelimiters(Config.LocaleId));
    Config.SkippingChars = Ini.ReadString(section, "SkippingChars", std::string(DefaultSkippingChars));
    Config.EqualChars = Ini.ReadString(section, "EqualChars", "");
    // The groups are what searches and comparisons use; text that does not parse leaves none.
    ParseEqualChars(Config);
}

void SaveCharacters(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection(kConcordance, Lang);
    Ini.WriteString(section, "NonWordChars", Config.NonWordChars);
    Ini.WriteString(section, "SkippingChars", Config.SkippingChars);
    Ini.WriteString(section, "EqualChars", Config.EqualChars);
}

// Calls Visit(section, key, list) for every history list of the language, in file order.
template <class Config, class Visitor>
void ForEachHistory(Config& C, int Lang, Visitor Visit) {
    Visit(LanguageSection("DelimiterHistory", Lang), std::string("NonWordChars"), C.DelimiterHistory);
    Visit(LanguageSection("SkippingHistory", Lang), std::string("SkippingChars"), C.SkippingHistory);
    Visit(LanguageSection("EqualHistory", Lang), std::string("EqualChars"), C.EqualHistory);
    std::string search = LanguageSection("SearchHistory", Lang);
    for (int s = 0; s < 3; ++s) Visit(search, std::string(kSearchHistoryKeys[s]), C.SearchHistory[size_t(s)]);
    for (int s = 0; s < 3; ++s)
        Visit(search, std::string("Heading") + HistorySuffixes[s], C.HeadingHistory[size_t(s)]);
    for (int s = 0; s < 3; ++s)
        Visit(search, std::string("Left") + HistorySuffixes[s], C.LeftHistory[size_t(s)]);
    for (int s = 0; s < 3; ++s)
        Visit(search, std::string("Right") + HistorySuffixes[s], C.RightHistory[size_t(s)]);
}

void LoadHistories(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    ForEachHistory(Config, Lang, [&](const std::string& Section, const std::string& Key, auto& List) {
        ReadStringList(Ini, Section, Key, List);
    });
    Config.LastHeading = Ini.ReadString(LanguageSection("SearchHistory", Lang), "LastHeading", "");
}

void SaveHistories(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    ForEachHistory(Config, Lang, [&](const std::string& Section, const std::string& Key, const auto& List) {
        WriteStringList(Ini, Section, Key, List);
    });
    Ini.WriteString(LanguageSection("SearchHistory", Lang), "LastHeading", Config.LastHeading);
}

std::string HeadingSection(const std::string& Name, int Lang) {
    return LanguageSection("Heading." + Name, Lang);
}

// A heading survives only with all four markers, as the segmentation cannot use it otherwise.
void LoadHeadings(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    Config.Headings.clear();
    std::vector<std::string> names;
    ReadStringList(Ini, LanguageSection("Headings", Lang), "Names", names);
    for (const std::string& name : names) {
        std::string section = HeadingSection(name, Lang);
        THeadRecord head{Ini.ReadString(section, "HeadStart", ""), Ini.ReadString(section, "HeadStop", ""),
                         Ini.ReadString(section, "TextStart", ""), Ini.ReadString(section, "TextStop", "")};
        // Names equal but for case share one section; the first of them is the one kept.
        if (!head.HeadStart.empty() && !head.HeadStop.empty() && !head.TextStart.empty() &&
            !head.TextStop.empty())
            Config.AddHeading(name, head);
    }
}

// A heading whose name the file cannot hold would be skipped on reading; it is not written.
void SaveHeadings(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::vector<std::string> names;
    for (const auto& heading : Config.Headings)
        if (!StoredPart(heading.Name).empty()) names.push_back(heading.Name);
    WriteStringList(Ini, LanguageSection("Headings", Lang), "Names", names);
    for (const auto& heading : Config.Headings) {
        if (StoredPart(heading.Name).empty()) continue;
        std::string section = HeadingSection(StoredPart(heading.Name), Lang);
        Ini.WriteString(section, "HeadStart", heading.Object.HeadStart);
        Ini.WriteString(section, "HeadStop", heading.Object.HeadStop);
        Ini.WriteString(section, "TextStart", heading.Object.TextStart);
        Ini.WriteString(section, "TextStop", heading.Object.TextStop);
    }
}

// The exceptions are compared with lower-cased words, so they are kept lower-cased in the language's
// case map (which is why the language is set before they are read).
void LoadSentenceSettings(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    ReadStringList(Ini, LanguageSection("SentDelimitersExcepts", Lang), "Word", Config.SentenceExceptions);
    for (std::string& word : Config.SentenceExceptions)
        for (char& c : word) c = char(Config.LowerCaseMap[static_cast<unsigned char>(c)]);
    std::string section = LanguageSection("FullSentence", Lang);
    Config.SentDelimiters = Ini.ReadString(section, "SentDelimiters", std::string(DefaultSentDelimiters));
    Config.SentDelimitersPath = Ini.ReadString(section, "SentDelimitersPath", "");
    Config.SmartAbbrDetect = Ini.ReadBool(section, "SmartAbbrDetect", false);
    Config.includeTrailingQuotes = Ini.ReadBool(section, "includeTrailingQuotes", false);
}

void SaveSentenceSettings(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    WriteStringList(Ini, LanguageSection("SentDelimitersExcepts", Lang), "Word", Config.SentenceExceptions);
    std::string section = LanguageSection("FullSentence", Lang);
    Ini.WriteString(section, "SentDelimiters", Config.SentDelimiters);
    Ini.WriteString(section, "SentDelimitersPath", Config.SentDelimitersPath);
    Ini.WriteBool(section, "SmartAbbrDetect", Config.SmartAbbrDetect);
    Ini.WriteBool(section, "includeTrailingQuotes", Config.includeTrailingQuotes);
}

void LoadTextFormat(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("TextFormat", Lang);
    Config.HeadingFormat = ReadFormat(Ini, section, "HeadingFormat", 0, 3);
    Config.HStart = Ini.ReadString(section, "HStart", "H");
    Config.HStop = Ini.ReadString(section, "HStop", "/H");
    Config.HPattern = Ini.ReadString(section, "HPattern", "");
    Config.ParagraphFormat = ReadFormat(Ini, section, "ParagraphFormat", 1, 3);
    Config.PStart = Ini.ReadString(section, "PStart", "P");
    Config.PStop = Ini.ReadString(section, "PStop", "/P");
    Config.SentenceFormat = ReadFormat(Ini, section, "SentenceFormat", 1, 1);
    Config.SStart = Ini.ReadString(section, "SStart", "S");
    Config.SStop = Ini.ReadString(section, "SStop", "/S");
}

void SaveTextFormat(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("TextFormat", Lang);
    Ini.WriteInteger(section, "HeadingFormat", Config.HeadingFormat);
    Ini.WriteString(section, "HStart", Config.HStart);
    Ini.WriteString(section, "HStop", Config.HStop);
    Ini.WriteString(section, "HPattern", Config.HPattern);
    Ini.WriteInteger(section, "ParagraphFormat", Config.ParagraphFormat);
    Ini.WriteString(section, "PStart", Config.PStart);
    Ini.WriteString(section, "PStop", Config.PStop);
    Ini.WriteInteger(section, "SentenceFormat", Config.SentenceFormat);
    Ini.WriteString(section, "SStart", Config.SStart);
    Ini.WriteString(section, "SStop", Config.SStop);
}

void LoadFrequencySettings(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("FrequencyConfiguration", Lang);
    Config.StopList.LoadFromIni(Ini, section);
    TFrequencyConfig& f = FrequencyConfigs[size_t(Lang)];
    f.MinimumFrequency = ReadClamped(Ini, section, "MinimumFrequency", 3, 1, kMaxFrequency);
    f.MaximumFrequency = ReadClamped(Ini, section, "MaximumFrequency", 0, 0, kMaxFrequency);
    f.MaximumLines = ReadClamped(Ini, section, "MaximumLines", 100, 0, kMaxFrequencyLines);
    f.CollocateSpan = ReadClamped(Ini, section, "CollocateSpan", 2, 1, 4);
    f.CollocHighLightTop = ReadClamped(Ini, section, "CollocHighLightTop", 5, 0, kMaxUpDown);
    f.IgnoreCase = Ini.ReadBool(section, "IgnoreCase", true);
    f.SkipTags = Ini.ReadBool(section, "SkipTags", true);
    f.CountAllWords = Ini.ReadBool(section, "CountAllWords", true);
}

void SaveFrequencySettings(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("FrequencyConfiguration", Lang);
    Config.StopList.SaveToIni(Ini, section);
    const TFrequencyConfig& f = FrequencyConfigs[size_t(Lang)];
    Ini.WriteInteger(section, "MinimumFrequency", f.MinimumFrequency);
    Ini.WriteInteger(section, "MaximumFrequency", f.MaximumFrequency);
    Ini.WriteInteger(section, "MaximumLines", f.MaximumLines);
    Ini.WriteInteger(section, "CollocateSpan", f.CollocateSpan);
    Ini.WriteInteger(section, "CollocHighLightTop", f.CollocHighLightTop);
    Ini.WriteBool(section, "IgnoreCase", f.IgnoreCase);
    Ini.WriteBool(section, "SkipTags", f.SkipTags);
    Ini.WriteBool(section, "CountAllWords", f.CountAllWords);
}

void LoadHotWordsAndMarkers(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("LanguageHotWordsConfiguration", Lang);
    Config.RankFunctionThreshold = ReadThreshold(Ini, section, "RankFunctionThreshold", 0.001);
    Config.ParadigmOption = Ini.ReadBool(section, "ParadigmOption", false);
    Config.ParadigmThreshold = ReadThreshold(Ini, section, "ParadigmThreshold", 0.6);
    Config.ParadigmRankThreshold = ReadThreshold(Ini, section, "ParadigmRankThreshold", 0.0001);
    std::string markers = LanguageSection("AlignmentMarkers", Lang);
    Config.HiliteNumbers = Ini.ReadBool(markers, "HiliteNumbers", false);
    ReadStringList(Ini, markers, "Markers", Config.Markers);
}

void SaveHotWordsAndMarkers(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    std::string section = LanguageSection("LanguageHotWordsConfiguration", Lang);
    Ini.WriteFloat(section, "RankFunctionThreshold", Config.RankFunctionThreshold);
    Ini.WriteBool(section, "ParadigmOption", Config.ParadigmOption);
    Ini.WriteFloat(section, "ParadigmThreshold", Config.ParadigmThreshold);
    Ini.WriteFloat(section, "ParadigmRankThreshold", Config.ParadigmRankThreshold);
    std::string markers = LanguageSection("AlignmentMarkers", Lang);
    Ini.WriteBool(markers, "HiliteNumbers", Config.HiliteNumbers);
    WriteStringList(Ini, markers, "Markers", Config.Markers);
}

}  // namespace

void LoadLanguagePrefs(const TIniFile& Ini, TConcordConfig& Config, int Lang) {
    LoadGeneralSection(Ini, Config, Lang);
    LoadCharacters(Ini, Config, Lang);
    LoadHistories(Ini, Config, Lang);
    LoadHeadings(Ini, Config, Lang);
    LoadSentenceSettings(Ini, Config, Lang);
    LoadTextFormat(Ini, Config, Lang);
    std::string sort = LanguageSection("AdvancedSort", Lang);
    ReadSortRecord(Ini, sort, "", TSortKeyTable::Sort, Config.AdvancedSort);
    ReadSortRecord(Ini, sort, "Col", TSortKeyTable::Collocation, Config.CollocationSort);
    LoadFrequencySettings(Ini, Config, Lang);
    LoadHotWordsAndMarkers(Ini, Config, Lang);
}

void SaveLanguagePrefs(TIniFile& Ini, const TConcordConfig& Config, int Lang) {
    SaveGeneralSection(Ini, Config, Lang);
    SaveCharacters(Ini, Config, Lang);
    SaveHistories(Ini, Config, Lang);
    SaveHeadings(Ini, Config, Lang);
    SaveSentenceSettings(Ini, Config, Lang);
    SaveTextFormat(Ini, Config, Lang);
    std::string sort = LanguageSection("AdvancedSort", Lang);
    WriteSortRecord(Ini, sort, "", TSortKeyTable::Sort, Config.AdvancedSort);
    WriteSortRecord(Ini, sort, "Col", TSortKeyTable::Collocation, Config.CollocationSort);
    SaveFrequencySettings(Ini, Config, Lang);
    SaveHotWordsAndMarkers(Ini, Config, Lang);
}

// ---- Files -------------------------------------------------------------------------------------------

namespace {

// The global sections the settings rewrite writes in full.
const char* const kOwnedSections[] = {kGeneral,         kConcordance,    kAlignFormat, kTagSettings,
                                      kWordTagSettings, kGlobalHotWords, kCorpusExport};
// The bases of the per-language sections ("Base.NN").
const char* const kLanguageSectionBases[] = {"GeneralConfiguration",
                                             "ConcordanceConfiguration",
                                             "DelimiterHistory",
                                             "SkippingHistory",
                                             "EqualHistory",
                                             "SearchHistory",
                                             "Headings",
                                             "SentDelimitersExcepts",
                                             "FullSentence",
                                             "TextFormat",
                                             "AdvancedSort",
                                             "FrequencyConfiguration",
                                             "StopList",
                                             "LanguageHotWordsConfiguration",
                                             "AlignmentMarkers"};

std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool StartsWithFolded(const std::string& Folded, const std::string& Prefix) {
    return Folded.compare(0, Prefix.size(), AsciiLower(Prefix)) == 0;
}

// Whether Name ends in "." and two digits, as the per-language sections do.
bool HasLanguageSuffix(const std::string& Name) {
    size_t n = Name.size();
    return n >= 3 && Name[n - 3] == '.' && std::isdigit(static_cast<unsigned char>(Name[n - 2])) &&
           std::isdigit(static_cast<unsigned char>(Name[n - 1]));
}

// Whether the settings rewrite writes the section Name (so that its old content must go, for a language
// no longer in use as much as for one rewritten): the global settings sections, the tracked tags'
// sections, and every per-language section of any language number, the headings' included.
bool IsSettingsSection(const std::string& Name) {
    const std::string folded = AsciiLower(Name);
    for (const char* owned : kOwnedSections)
        if (folded == AsciiLower(owned)) return true;
    if (StartsWithFolded(folded, kWatchedPrefix)) return true;
    if (!HasLanguageSuffix(Name)) return false;
    const std::string base = folded.substr(0, folded.size() - 3);
    if (StartsWithFolded(base, "Heading.")) return true;
    for (const char* perLanguage : kLanguageSectionBases)
        if (base == AsciiLower(perLanguage)) return true;
    return false;
}

// Everything of the old preferences file that the settings rewrite does not write: the window
// placements (an alignment window not opened in this run has not written its own), sections of other
// programs or later versions, and the three workspace keys of GeneralConfiguration, which the
// configuration unit writes again only when the program ends.
void CarryOverForeignSettings(const TIniFile& Old, TIniFile& New) {
    for (const std::string& section : Old.ReadSections())
        if (!IsSettingsSection(section)) New.CopySection(Old, section);
    if (Old.ValueExists(kGeneral, "WorkspacePath"))
        New.WriteString(kGeneral, "WorkspacePath", Old.ReadString(kGeneral, "WorkspacePath", ""));
    if (Old.ValueExists(kGeneral, "RecentWorkspacesCount")) {
        std::vector<std::string> recent;
        ReadStringList(Old, kGeneral, "RecentWorkspaces", recent);
        WriteStringList(New, kGeneral, "RecentWorkspaces", recent);
    }
    if (Old.ValueExists(kGeneral, "SaveOnExit"))
        New.WriteBool(kGeneral, "SaveOnExit", Old.ReadBool(kGeneral, "SaveOnExit", false));
}

// Replaces FileName by every setting; with CarryOver (the preferences file itself, not a workspace) the
// old file's foreign settings are kept too. Starting empty drops every key no longer written, as
// deleting the file first would, without losing the old file when writing fails.
bool SaveSettingsFile(const std::string& FileName, bool CarryOver) {
    try {
        TIniFile ini(FileName, TIniFile::TOpenMode::StartEmpty);
        SaveGeneralPrefs(ini);
        // An old file that cannot be read has nothing to hand on; the settings are still saved.
        if (CarryOver) {
            try {
                CarryOverForeignSettings(TIniFile(FileName), ini);
            } catch (const EIniFileError&) {
            }
        }
        ini.UpdateFile();
        return true;
    } catch (...) {
        ShowError("Could not write to configuration file " + FileName + "!");
        return false;
    }
}

}  // namespace

bool LoadPrefsFromFile(const std::string& FileName) {
    try {
        TIniFile ini(FileName);
        LoadGeneralPrefs(ini);
        return true;
    } catch (...) {
        ShowError("Could not read from configuration file " + FileName + "!");
        return false;
    }
}

bool SavePrefsToFile(const std::string& FileName) {
    return SaveSettingsFile(FileName, false);
}

namespace {

// Whether the file at Path can be read but is no settings file (see TIniFile::WellFormed).
bool PreferencesDamaged(const std::string& Path) {
    try {
        return !TIniFile(Path).WellFormed();
    } catch (const EIniFileError&) {
        return false;
    }
}

// Path + ".unreadable", or with a number after it when such a file exists: an earlier copy is never
// overwritten.
std::string FreeNameBeside(const std::string& Path) {
    std::string name = Path + ".unreadable";
    for (int n = 2; FileExists(name) || fs::is_symlink(name); ++n)
        name = Path + ".unreadable-" + std::to_string(n);
    return name;
}

// Copies the damaged file to a free name beside it and empties it, so that this run's settings are
// saved in its place while the user keeps what it held. The name of the copy, or "" when either step
// failed (the file is then as it was, and no copy is left).
std::string SetAsideDamagedFile(const std::string& Path) {
    std::string bytes;
    if (platform::ReadRegularFile(Path, bytes) != platform::TWholeFileStatus::Ok) return {};
    const std::string kept = FreeNameBeside(Path);
    try {
        ReplaceFileAtomically(kept, bytes);
    } catch (const EIniFileError&) {
        return {};
    }
    try {
        ReplaceFileAtomically(Path, {});
    } catch (const EIniFileError&) {
        std::error_code ec;
        fs::remove(kept, ec);
        return {};
    }
    return kept;
}

// Every setting as with a missing file, the three workspace keys read at start included.
void LoadDefaultPreferences(const std::string& Path) {
    WorkspacePath.clear();
    RecentWorkspaces.clear();
    SaveOnExit = false;
    TIniFile none(Path, TIniFile::TOpenMode::StartEmpty);
    LoadGeneralPrefs(none);
}

}  // namespace

std::string DamagedPreferencesText(const std::string& FileName, const std::string& KeptAs) {
    std::string text =
        "The settings in \"" + FileName + "\" could not be read: the default settings are used.";
    if (!KeptAs.empty()) text += "\r\nThe unreadable file is kept as \"" + KeptAs + "\".";
    return text;
}

bool LoadPreferences() {
    const std::string name = GetIniFileNameForRead();
    if (PreferencesDamaged(name)) {
        const std::string kept = SetAsideDamagedFile(name);
        // Left in place, the file must not be written over by defaults, nor copied on.
        if (kept.empty()) UnreadablePreferencesFile = name;
        LoadDefaultPreferences(name);
        ShowWarning(DamagedPreferencesText(name, kept));
        return false;
    }
    if (LoadPrefsFromFile(name)) return true;
    // The options become those of a missing file, and the file is left as it is for the rest of the run:
    // writing it back would replace the user's settings by these defaults.
    UnreadablePreferencesFile = name;
    TIniFile none(name, TIniFile::TOpenMode::StartEmpty);
    LoadGeneralPrefs(none);
    return false;
}

bool SavePreferences() {
    std::string name = GetIniFileNameForWrite();
    return !name.empty() && SaveSettingsFile(name, true);
}

bool LoadWorkspacePrefs(const std::string& FileName) {
    return LoadPrefsFromFile(FileName);
}

bool SaveWorkspacePrefs(const std::string& FileName) {
    return SavePrefsToFile(FileName);
}

// ---- The workspace keys ------------------------------------------------------------------------------

namespace {

// Runs Change on the preferences file at the write location and saves it; nothing when there is none.
template <class Change>
void UpdatePreferencesFile(Change Apply) {
    std::string name = GetIniFileNameForWrite();
    if (name.empty()) return;
    TIniFile ini(name);
    Apply(ini);
    ini.UpdateFile();
}

}  // namespace

void LoadWorkspacePath() {
    WorkspacePath = TIniFile(GetIniFileNameForRead()).ReadString(kGeneral, "WorkspacePath", "");
}

void SaveWorkspacePath() {
    UpdatePreferencesFile([](TIniFile& Ini) { Ini.WriteString(kGeneral, "WorkspacePath", WorkspacePath); });
}

void LoadRecentWorkspaces() {
    ReadStringList(TIniFile(GetIniFileNameForRead()), kGeneral, "RecentWorkspaces", RecentWorkspaces);
    std::erase_if(RecentWorkspaces, [](const std::string& Name) { return !FileExists(Name); });
}

void SaveRecentWorkspaces() {
    UpdatePreferencesFile(
        [](TIniFile& Ini) { WriteStringList(Ini, kGeneral, "RecentWorkspaces", RecentWorkspaces); });
}

void LoadSaveOnExit() {
    SaveOnExit = TIniFile(GetIniFileNameForRead()).ReadBool(kGeneral, "SaveOnExit", false);
}

void SaveSaveOnExit() {
    UpdatePreferencesFile([](TIniFile& Ini) { Ini.WriteBool(kGeneral, "SaveOnExit", SaveOnExit); });
}

std::string TrimControls(std::string_view s) {
    size_t first = 0, last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
    return std::string(s.substr(first, last - first));
}

std::vector<std::string> SplitMembers(const std::string& Text) {
    std::vector<std::string> members;
    size_t start = 0;
    while (start <= Text.size()) {
        size_t comma = Text.find(',', start);
        if (comma == std::string::npos) comma = Text.size();
        std::string piece = TrimControls(Text.substr(start, comma - start));
        if (!piece.empty()) members.push_back(std::move(piece));
        start = comma + 1;
    }
    return members;
}

std::string JoinMembers(const std::vector<std::string>& Members) {
    std::string text;
    for (size_t i = 0; i < Members.size(); ++i) text += (i ? ", " : "") + Members[i];
    return text;
}
