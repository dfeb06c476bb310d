#include "engine/ConcConfig.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "engine/ConcPrefs.h"
#include "engine/ConcUtils.h"
#include "engine/UTF8_to_ASCII.h"
#include "platform/IniFiles.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "platform/WholeFile.h"
#include "ui/Msg.h"

// ---- Globals -----------------------------------------------------------------------------------------

// Defined before the language configurations, so that they outlive them: a configuration still alive
// when the process ends (a fault, an exit without the unit's finalisation) frees its files then, and
// telling a temporary copy needs the temporary folder.
std::string ProgramFolder, WindowsFolder, TempDir;
std::unique_ptr<TCommonConcordConfig> CommonConfig;
std::array<std::unique_ptr<TConcordConfig>, MaxLanguages> LanguageConfigs;
int32_t LanguagesCount = 1;
std::unique_ptr<TDoubleAlignIndexes> Align12, Align13, Align14;
std::vector<TWatchedTag> WatchedTags;
std::vector<std::string> RecentWorkspaces;
std::array<TFrequencyConfig, MaxLanguages> FrequencyConfigs;
THotWordsConfig HotWordsConfig;
int32_t TranslationPasses = 0;
int32_t BigContextSize = 0;
bool KeepLinesPages = false, KeepWatchedTags = false, KeepFrequency = false, KeepSegmentIndexes = true;
std::string ConcordancePath, FreqPath, CorpusFreqPath;
std::string WorkspacePath;
std::string WorkspaceFileName;
bool WorkspaceLoaded = false;
int64_t HandEditsApplied = 0;
bool SaveOnExit = false;
std::string MainCaption;
std::string VersionText;
bool SavingWordList = false, PrintingWordList = false;

namespace {

constexpr const char* ProgramVersion = "1.0";
constexpr int ProgramBuild = 270;

std::string FormatVersionText() {
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, "Version %s (Build %.3d)", ProgramVersion, ProgramBuild);
    return Buf;
}

std::array<uint8_t, 256> IdentityMap() {
    std::array<uint8_t, 256> Map;
    for (int I = 0; I < 256; ++I) Map[I] = static_cast<uint8_t>(I);
    return Map;
}

// The lines of a text file as a string list reads them: LF or CR LF ends a line, and a final line end
// adds no empty entry.
std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> Lines;
    size_t Start = 0;
    while (Start < Text.size()) {
        size_t End = Text.find('\n', Start);
        const size_t Next = End == std::string::npos ? Text.size() : End + 1;
        if (End == std::string::npos) End = Text.size();
        if (End > Start && Text[End - 1] == '\r') --End;
        Lines.emplace_back(Text, Start, End - Start);
        Start = Next;
    }
    return Lines;
}

template <class List>
void EraseAt(List& L, size_t Index) {
    if (Index < L.size()) L.erase(L.begin() + static_cast<std::ptrdiff_t>(Index));
}

void CheckIndex(size_t Count, int Index) {
    if (Index < 0 || static_cast<size_t>(Index) >= Count) throw std::out_of_range("List index out of bounds");
}

// Deletes slot Index when the list has it, so that a list that lost its slot earlier cannot stop the
// removal of a file halfway.
template <class T, class Codec>
void EraseSlot(TSlotList<T, Codec>& L, int Index) {
    if (Index < L.Count()) L.Delete(Index);
}

}  // namespace

// ---- Records -----------------------------------------------------------------------------------------

TWatchedTag::TWatchedTag(std::string Name, std::string TagStart, std::string TagStop)
    : Name(std::move(Name)), TagStart(std::move(TagStart)), TagStop(std::move(TagStop)) {
    NoStop = this->TagStop.empty();
}

// ---- Stop list ---------------------------------------------------------------------------------------

TStopList::TStopList(int32_t Language) : Language(Language) {}

void TStopList::SetWords(std::vector<std::string> Words) {
    FWords = std::move(Words);
    FLookupValid = false;
}

void TStopList::SetFileName(const std::string& Name) {
    SetWords({});
    FileName = Name;
}

bool TStopList::SetActive(bool Value) {
    Active = Value && !FWords.empty();
    return !FWords.empty();
}

bool TStopList::IsStopWord(std::string_view Word) const {
    if (!Active) return false;
    const bool InRange = Language >= 0 && Language < MaxLanguages;
    const TConcordConfig* Config = InRange ? LanguageConfigs[Language].get() : nullptr;
    const bool Folded = InRange && FrequencyConfigs[Language].IgnoreCase && Config;
    const uint32_t Locale = Folded ? Config->LocaleId : 0;

    auto Fold = [&](std::string_view S, std::string& Out) {
        Out.assign(S);
        for (char& C : Out) C = static_cast<char>(Config->LowerCaseMap[static_cast<uint8_t>(C)]);
    };
    if (!FLookupValid || FLookupFolded != Folded || FLookupLocale != Locale) {
        FLookup.clear();
        for (const std::string& W : FWords) {
            if (Folded) {
                std::string F;
                Fold(W, F);
                FLookup.insert(std::move(F));
            } else {
                FLookup.insert(W);
            }
        }
        FLookupValid = true;
        FLookupFolded = Folded;
        FLookupLocale = Locale;
    }
    if (!Folded) {
        FFolded.assign(Word);
        return FLookup.count(FFolded) != 0;
    }
    Fold(Word, FFolded);
    return FLookup.count(FFolded) != 0;
}

void TStopList::LoadFromFile() {
    TWaitScope Wait;
    std::string Text;
    if (platform::ReadRegularFile(FileName, Text) != platform::TWholeFileStatus::Ok) {
        SetWords({});
        Active = false;
        ShowError("Unable to load stop-list words from file \r\n" + FileName);
        return;
    }
    SetWords(SplitLines(Text));
    Active = !FWords.empty();
}

std::string TStopList::GetWords() const {
    std::string Text;
    for (const std::string& W : FWords) {
        Text += W;
        Text += "\r\n";
    }
    return Text;
}

namespace {

const char* const kStopListActive = "Active";

}  // namespace

void TStopList::LoadFromIni(const TIniFile& Ini, const std::string& Section) {
    const std::string WordsSection = LanguageSection("StopList", Language);
    FileName = Ini.ReadString(Section, "StopListFileName", "");
    if (!FileName.empty()) {
        LoadFromFile();
    } else {
        std::vector<std::string> Words;
        ReadStringList(Ini, WordsSection, "Word", Words);
        SetWords(std::move(Words));
    }
    // Files written before the flag was stored say nothing: a list with words was then active.
    SetActive(Ini.ReadBool(WordsSection, kStopListActive, true));
}

void TStopList::SaveToIni(TIniFile& Ini, const std::string& Section) const {
    const std::string WordsSection = LanguageSection("StopList", Language);
    Ini.WriteString(Section, "StopListFileName", FileName);
    Ini.EraseSection(WordsSection);
    if (FileName.empty() && !FWords.empty()) WriteStringList(Ini, WordsSection, "Word", FWords);
    Ini.WriteBool(WordsSection, kStopListActive, Active);
}

// ---- Language configuration --------------------------------------------------------------------------

TConcordConfig::TConcordConfig(int32_t Language) : LowerCaseMap(IdentityMap()), StopList(Language) {
    Fonts[HiliteFont].Color = clBlue;
    Fonts[ContextHiliteFont].Color = clBlue;
    Fonts[HotWordsFont].Color = clBlue;
    Fonts[CollocatesFont].Color = clRed;
}

TConcordConfig::~TConcordConfig() {
    // From the last: each removal from the front moved every later file, seconds for 20,000 files.
    while (!Files.empty()) RemoveFile(static_cast<int>(Files.size()) - 1);
}

void TConcordConfig::Assign(const TConcordConfig& Source) {
    NonWordChars = Source.NonWordChars;
    SkippingChars = Source.SkippingChars;
    EqualChars = Source.EqualChars;
    // The groups are the parsed form of EqualChars; copying one without the other would leave the
    // new language with equal characters that no search honours.
    EqualCharGroups = Source.EqualCharGroups;
    SentDelimiters = Source.SentDelimiters;
    SmartAbbrDetect = Source.SmartAbbrDetect;
    HeadingFormat = Source.HeadingFormat;
    HStart = Source.HStart;
    HStop = Source.HStop;
    HPattern = Source.HPattern;
    ParagraphFormat = Source.ParagraphFormat;
    PStart = Source.PStart;
    PStop = Source.PStop;
    SentenceFormat = Source.SentenceFormat;
    SStart = Source.SStart;
    SStop = Source.SStop;
    RankFunctionThreshold = Source.RankFunctionThreshold;
    ParadigmOption = Source.ParadigmOption;
    ParadigmThreshold = Source.ParadigmThreshold;
    ParadigmRankThreshold = Source.ParadigmRankThreshold;
    HiliteNumbers = Source.HiliteNumbers;
    AdvancedSort = Source.AdvancedSort;
    CollocationSort = Source.CollocationSort;
    Fonts = Source.Fonts;
}

std::string DefaultWordDelimiters(uint32_t LocaleId) {
    std::string Delimiters(DefaultNonWordChars);
    if (LocaleId == 0) return Delimiters;
    // Punctuation that clings to words in running text: “qué” ¿qué «mot» word—word word…
    static constexpr char16_t Marks[] = {u'\u201C', u'\u201D', u'\u201E', u'\u201F', u'\u00AB', u'\u00BB',
                                         u'\u2039', u'\u203A', u'\uFF62', u'\uFF63', u'\u00BF', u'\u00A1',
                                         u'\u2013', u'\u2014', u'\u2015', u'\u2026'};
    const int CodePage = platform::AnsiCodePage(LocaleId);
    const platform::TCodePageTables& Tables = platform::CodePageTables(CodePage);
    if (!Tables.Valid) return Delimiters;
    for (char16_t Mark : Marks) {
        const std::string Byte = platform::Utf16ToCodePage(CodePage, std::u16string_view(&Mark, 1));
        if (Byte.size() != 1 || Tables.LeadByte[static_cast<uint8_t>(Byte[0])]) continue;
        // Only the code page's own character, never a substitute or a best fit ("?", a plain quote).
        if (platform::CodePageToUtf16(CodePage, Byte) != std::u16string(1, Mark)) continue;
        if (Delimiters.find(Byte[0]) == std::string::npos) Delimiters += Byte;
    }
    return Delimiters;
}

bool IsDefaultWordDelimiters(const std::string& Delimiters) {
    if (Delimiters == DefaultNonWordChars) return true;
    std::vector<int> Seen;
    for (uint32_t Id : platform::KnownLocaleIds()) {
        const int CodePage = platform::AnsiCodePage(Id);
        if (std::find(Seen.begin(), Seen.end(), CodePage) != Seen.end()) continue;
        Seen.push_back(CodePage);
        if (Delimiters == DefaultWordDelimiters(Id)) return true;
    }
    return false;
}

void TConcordConfig::SetLanguage(uint32_t Id, const std::string& Name) {
    if (Id == LocaleId && Name == LanguageName) return;
    const bool DefaultDelimiters = LocaleId == 0 ? IsDefaultWordDelimiters(NonWordChars)
                                                 : NonWordChars == DefaultWordDelimiters(LocaleId);
    LocaleId = Id;
    LanguageName = Name;
    if (DefaultDelimiters) NonWordChars = DefaultWordDelimiters(Id);
    const platform::TCodePageTables& Tables = platform::CodePageTables(platform::AnsiCodePage(Id));
    // In a double-byte code page a trail byte may look like an ASCII letter; folding it would change
    // the character it belongs to. So such a language has no case map, whatever its sort order says.
    NoCaseMap = IsNoCaseLocale(Id) || Tables.DoubleByte;
    LowerCaseMap = IdentityMap();
    if (NoCaseMap) return;
    // A locale the table does not know cannot be classified, so it keeps the identity: folding its
    // text by a code page guessed for conversion could merge letters that the language keeps apart.
    if (!platform::IsKnownLocale(Id & 0xFFFF)) return;
    if (!Tables.Valid) return;
    for (int C = 1; C < 256; ++C)
        if (Tables.CharType1[C] & platform::C1_UPPER) LowerCaseMap[C] = Tables.LowerCase[C];
}

int TConcordConfig::AddFile(TNamedItem<TCorpusFileRecord> Entry, std::unique_ptr<TFileSynchroStream> Stream,
                            std::unique_ptr<TBufStream> Reader) {
    Streams.push_back(std::move(Stream));
    Readers.push_back(std::move(Reader));
    Files.push_back(std::move(Entry));
    // Appending keeps the first index of every name already in the table.
    if (FFileIndexValid && FNamesIndexed + 1 == Files.size()) {
        FFileIndex.emplace(Files.back().Name, static_cast<int>(Files.size()) - 1);
        ++FNamesIndexed;
    }
    PageStarts.Add(nullptr);
    LineStarts.Add(nullptr);
    FileTags.Add(nullptr);
    SectionIndexes.Add(nullptr);
    ParagraphIndexes.Add(nullptr);
    SentenceIndexes.Add(nullptr);
    return static_cast<int>(Files.size()) - 1;
}

void TConcordConfig::RemoveFile(int Index) {
    CheckIndex(Files.size(), Index);
    const size_t I = static_cast<size_t>(Index);
    FFileIndexValid = false;
    EraseSlot(PageStarts, Index);
    EraseSlot(LineStarts, Index);
    EraseSlot(FileTags, Index);
    // The reader reads through the stream, so it goes first.
    EraseAt(Readers, I);
    EraseAt(Streams, I);
    const TCorpusFileRecord& Record = Files[I].Object;
    if (Record.Converted) DiscardCopy(Record.CopyName);
    EraseAt(Files, I);
    EraseSlot(SectionIndexes, Index);
    EraseSlot(ParagraphIndexes, Index);
    EraseSlot(SentenceIndexes, Index);
}

void TConcordConfig::ExchangeFiles(int I, int J) {
    // Check every list before touching any, so a failure leaves the lists parallel.
    for (size_t Count : ListCounts()) {
        CheckIndex(Count, I);
        CheckIndex(Count, J);
    }
    FFileIndexValid = false;
    PageStarts.Exchange(I, J);
    LineStarts.Exchange(I, J);
    FileTags.Exchange(I, J);
    std::swap(Streams[I], Streams[J]);
    std::swap(Readers[I], Readers[J]);
    std::swap(Files[I], Files[J]);
    SectionIndexes.Exchange(I, J);
    ParagraphIndexes.Exchange(I, J);
    SentenceIndexes.Exchange(I, J);
}

int TConcordConfig::IndexOfHeading(const std::string& Name) const {
    for (size_t I = 0; I < Headings.size(); ++I)
        if (SameSettingName(Headings[I].Name, Name)) return static_cast<int>(I);
    return -1;
}

bool TConcordConfig::AddHeading(const std::string& Name, const THeadRecord& Head) {
    if (IndexOfHeading(Name) >= 0) return false;
    Headings.push_back({Name, Head});
    return true;
}

void TConcordConfig::IndexFileNames() const {
    if (!FFileIndexValid || FNamesIndexed > Files.size()) {
        FFileIndex.clear();
        FNamesIndexed = 0;
        FFileIndexValid = true;
    }
    for (; FNamesIndexed < Files.size(); ++FNamesIndexed)
        FFileIndex.emplace(Files[FNamesIndexed].Name, static_cast<int>(FNamesIndexed));
}

int TConcordConfig::IndexOfFile(const std::string& Name) const {
    IndexFileNames();
    auto It = FFileIndex.find(Name);
    // An entry that no longer names its file means Files was changed in place: the table is built anew.
    if (It != FFileIndex.end() && Files[size_t(It->second)].Name != Name) {
        FFileIndexValid = false;
        IndexFileNames();
        It = FFileIndex.find(Name);
    }
    return It == FFileIndex.end() ? -1 : It->second;
}

int64_t TConcordConfig::GetWordCount() const {
    int64_t Sum = 0;
    for (const auto& F : Files) Sum += F.Object.WordCount;
    return Sum;
}

std::array<size_t, 9> TConcordConfig::ListCounts() const {
    auto N = [](int32_t Count) { return static_cast<size_t>(Count); };
    return {Files.size(),
            N(PageStarts.Count()),
            N(LineStarts.Count()),
            N(FileTags.Count()),
            Streams.size(),
            Readers.size(),
            N(SectionIndexes.Count()),
            N(ParagraphIndexes.Count()),
            N(SentenceIndexes.Count())};
}

bool TConcordConfig::FileListsConsistent() const {
    const auto Counts = ListCounts();
    return std::all_of(Counts.begin(), Counts.end(), [&](size_t C) { return C == Counts[0]; });
}

std::string LanguageNameOf(int Language) {
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[size_t(Language)]) return {};
    return LanguageConfigs[size_t(Language)]->GetLanguageName();
}

int32_t TotalCorpusSize(int Language) {
    constexpr int32_t Unknown = std::numeric_limits<int32_t>::max();
    if (Language < 0 || Language >= MaxLanguages || !LanguageConfigs[Language]) return 0;
    int64_t Sum = 0;
    for (const auto& Stream : LanguageConfigs[Language]->Streams) {
        if (!Stream) continue;
        const int32_t Size = Stream->GetSize();
        if (Size == Unknown) return Unknown;
        Sum += Size;
    }
    // Sizes are 32-bit in the indexes; a corpus above 2 GB reports the largest value rather than wrap.
    return static_cast<int32_t>(std::min<int64_t>(Sum, Unknown));
}

// ---- Search query ------------------------------------------------------------------------------------

std::unique_ptr<TConcSearchRec> TConcSearchRec::CreateCopy(const TConcSearchRec& Source) {
    auto Copy = std::make_unique<TConcSearchRec>();
    Copy->Assign(Source);
    return Copy;
}

void TConcSearchRec::Assign(const TConcSearchRec& Source) {
    Language = Source.Language;
    Syntax = Source.Syntax;
    Flags = Source.Flags;
    LeftContext = Source.LeftContext;
    RightContext = Source.RightContext;
    HeadStartMarker = Source.HeadStartMarker;
    HeadingPattern = Source.HeadingPattern;
    HeadStopMarker = Source.HeadStopMarker;
    TextStartMarker = Source.TextStartMarker;
    TextStopMarker = Source.TextStopMarker;
    SkippingChars = Source.SkippingChars;
    Names = Source.Names;
    Patterns = Source.Patterns;
    Not = Source.Not;
    FrequencyOfHits = Source.FrequencyOfHits;
}

std::string TConcSearchRec::GetTermsText() const {
    std::string Text;
    for (size_t I = 0; I < Names.size(); ++I) {
        if (I > 0) Text += " / ";
        Text += Names[I];
    }
    return Text;
}

// ---- Language-independent options --------------------------------------------------------------------

void TCommonConcordConfig::ClearTagLists() {
    wTagStarts.clear();
    MetaTags.clear();
}

// ---- Unit state --------------------------------------------------------------------------------------

void ClearWatchedTags() {
    WatchedTags.clear();
}

bool AddWatchedTag(TWatchedTag Tag) {
    for (const TWatchedTag& Known : WatchedTags)
        if (SameSettingName(Known.Name, Tag.Name)) return false;
    WatchedTags.push_back(std::move(Tag));
    return true;
}

bool SameSettingName(std::string_view A, std::string_view B) {
    // The preferences file keeps a name only up to a line end or NUL, and finds sections ignoring case.
    auto Stored = [](std::string_view S) {
        return S.substr(0, S.find_first_of(std::string_view("\0\r\n", 3)));
    };
    auto Fold = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
    A = Stored(A);
    B = Stored(B);
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [&](char X, char Y) { return Fold(X) == Fold(Y); });
}

std::array<int32_t, 5> NewListContextSizes() {
    if (!CommonConfig) return std::to_array(DefaultContextSizes);
    return CommonConfig->ContextSizes;
}

void FreeLanguageConfigs() {
    const int Count = std::clamp(LanguagesCount, 0, MaxLanguages);
    for (int L = 0; L < Count; ++L) LanguageConfigs[L].reset();
    LanguagesCount = 0;
    Align12.reset();
    Align13.reset();
    Align14.reset();
    HandEditsApplied = 0;
}

void InitConfigUnit() {
    VersionText = FormatVersionText();
    ProgramFolder = platform::ProgramFolder();
    WindowsFolder = platform::WindowsFolder();
    TempDir = platform::TempDir();
    WatchedTags.clear();
    CommonConfig = std::make_unique<TCommonConcordConfig>();
    LanguagesCount = 1;
    LanguageConfigs[0] = std::make_unique<TConcordConfig>(0);
    Align12.reset();
    Align13.reset();
    Align14.reset();
    RecentWorkspaces.clear();
    LoadWorkspacePath();
    LoadRecentWorkspaces();
    LoadSaveOnExit();
    KeepSegmentIndexes = true;
}

namespace {

void FreeUnitState() {
    ClearWatchedTags();
    CommonConfig.reset();
    FreeLanguageConfigs();
    Align12.reset();
    Align13.reset();
    Align14.reset();
    RecentWorkspaces.clear();
    for (std::string* S : {&ConcordancePath, &FreqPath, &CorpusFreqPath, &WorkspacePath, &WorkspaceFileName,
                           &MainCaption, &VersionText, &ProgramFolder, &WindowsFolder, &TempDir})
        S->clear();
}

}  // namespace

void FinalizeConfigUnit() {
    // The workspace keys are written even when the rest of the preferences was not (a workspace was
    // loaded); a failure to write them still frees everything before it reaches the caller.
    std::exception_ptr failure;
    try {
        SaveWorkspacePath();
        SaveRecentWorkspaces();
        SaveSaveOnExit();
    } catch (...) {
        failure = std::current_exception();
    }
    FreeUnitState();
    if (failure) std::rethrow_exception(failure);
}

void ResetGlobalsForTest() {
    FreeUnitState();
    UnreadablePreferencesFile.clear();
    for (auto& Config : LanguageConfigs) Config.reset();
    LanguagesCount = 1;
    FrequencyConfigs = {};
    HotWordsConfig = {};
    TranslationPasses = 0;
    BigContextSize = 0;
    KeepLinesPages = KeepWatchedTags = KeepFrequency = false;
    KeepSegmentIndexes = true;
    WorkspaceLoaded = false;
    SaveOnExit = false;
    SavingWordList = PrintingWordList = false;
}
