#include "engine/ConcTextProcess.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"
#include "platform/Paths.h"
#include "platform/WholeFile.h"

namespace {

constexpr char Blank = ' ';

const TConcordConfig& LangConfig(int L) {
    if (L < 0 || L >= MaxLanguages || !LanguageConfigs[static_cast<size_t>(L)])
        throw std::out_of_range("No configuration for language " + std::to_string(L));
    return *LanguageConfigs[static_cast<size_t>(L)];
}

TConcordConfig& MutableLangConfig(int L) {
    return const_cast<TConcordConfig&>(LangConfig(L));
}

// The code-page tables of a language's locale. The shared table cache takes a lock, which per-byte
// callers cannot afford, so each thread remembers per language which locale its tables belong to.
const platform::TCodePageTables& LangTables(const TConcordConfig& Config, int L) {
    struct TSlot {
        uint32_t LocaleId = 0;
        const platform::TCodePageTables* Tables = nullptr;
    };
    thread_local std::array<TSlot, MaxLanguages> Slots;
    TSlot& Slot = Slots[static_cast<size_t>(L)];
    if (!Slot.Tables || Slot.LocaleId != Config.LocaleId) {
        Slot.Tables = &platform::CodePageTables(platform::AnsiCodePage(Config.LocaleId));
        Slot.LocaleId = Config.LocaleId;
    }
    return *Slot.Tables;
}

// The same lock-free shortcut by code page, for callers that name the code page themselves.
const platform::TCodePageTables& CachedCodePageTables(int CodePage) {
    thread_local int LastCodePage = 0;
    thread_local const platform::TCodePageTables* Last = nullptr;
    if (!Last || LastCodePage != CodePage) {
        Last = &platform::CodePageTables(CodePage);
        LastCodePage = CodePage;
    }
    return *Last;
}

uint8_t Byte(char C) {
    return static_cast<uint8_t>(C);
}

char CasePartner(const TConcordConfig& Config, const platform::TCodePageTables& Tables, uint8_t C) {
    if (Tables.CharType1[C] & platform::C1_UPPER) return static_cast<char>(Config.LowerCaseMap[C]);
    if (Tables.CharType1[C] & platform::C1_LOWER) return static_cast<char>(Tables.UpperCase[C]);
    return 0;
}

// Trims bytes 0..32 from both ends, as text typed into an edit is trimmed.
std::string_view TrimControls(std::string_view S) {
    while (!S.empty() && Byte(S.front()) <= 32) S.remove_prefix(1);
    while (!S.empty() && Byte(S.back()) <= 32) S.remove_suffix(1);
    return S;
}

// One group of equal characters: "c", "c=c", "c=c=c"..., every c at least "A".
bool ParseEqualGroup(std::string_view Group, TCharSet& Set) {
    Set.reset();
    if (Group.empty() || Group.size() % 2 == 0) return false;
    for (size_t I = 0; I < Group.size(); ++I) {
        if (I % 2 == 1) {
            if (Group[I] != '=') return false;
        } else {
            if (Byte(Group[I]) < 'A') return false;
            Set.set(Byte(Group[I]));
        }
    }
    return true;
}

bool IsControlByte(uint8_t B) {
    return B <= 8 || B == 11 || (B >= 14 && B <= 31) || B == 127 || B == 255;
}

bool IsInvalidFileNameChar(char C) {
    return std::string_view("\"*/:<>?\\|").find(C) != std::string_view::npos;
}

// ---- Visible text ----------------------------------------------------------------------------------

constexpr int32_t LookBehind = 512;

// Reads one byte at a time and tells whether the view shows it.
class TVisibleReader {
public:
    TVisibleReader(TBufStream& Reader, const TSuppressFlags& Flags)
        : FReader(Reader), FFlags(Flags), FAnyFlag(Flags.HideTags || Flags.HidePOSTags || Flags.HideWords) {}

    // Moves the reader to From with no tag open. A classified reader or one limited to a range would
    // give stored classes or stop early, so it is set to its whole source first.
    void Start(int32_t From) {
        const int32_t Size = FReader.GetSourceSize();
        if (FReader.Classified() || FReader.RangeStart() != 0 || FReader.RangeEnd() != Size)
            FReader.SetRange(0, Size);
        FReader.SetPosition(From);
        FReader.ResetTagState();
    }

    int32_t Position() const { return FReader.GetPosition(); }

    // Reads the byte under the cursor into C and whether it is shown into Shown. False, with nothing
    // read, at the end of the text.
    bool Next(char& C, bool& Shown) {
        const int32_t Before = FReader.GetPosition();
        if (!FAnyFlag) {
            C = FReader.ReadByte();
            Shown = true;
        } else {
            TCharType T;
            C = FReader.NextChar(T);
            if (FReader.GetPosition() != Before) Shown = IsShown(T);
        }
        return FReader.GetPosition() != Before;
    }

private:
    bool IsShown(TCharType T) {
        if (T == ctTag && FFlags.HideTags) return false;
        if (T == ctPOSTag && FFlags.HidePOSTags) return false;
        if (!FFlags.HideWords) return true;
        switch (T) {
            case ctWhiteSpace:
                if (FLastShownWasWhite) return false;
                FLastShownWasWhite = true;
                return true;
            case ctDelimiter:
            case ctNewLine:
            case ctWord:
                return false;
            default:
                FLastShownWasWhite = false;
                return true;
        }
    }

    TBufStream& FReader;
    TSuppressFlags FFlags;
    bool FAnyFlag;
    bool FLastShownWasWhite = false;
};

int32_t LookBehindStart(int32_t Start) {
    return Start > LookBehind ? Start - LookBehind : 0;
}

// A 0 byte never gets here: the reader hands it out as a blank.
char AsVisible(char C) {
    return C == '\t' || C == '\n' || C == '\r' ? Blank : C;
}

}  // namespace

// ---- Strings and lists -----------------------------------------------------------------------------

std::string TrimLeftBlanks(std::string_view S) {
    const size_t First = S.find_first_not_of(Blank);
    return First == std::string_view::npos ? std::string() : std::string(S.substr(First));
}

std::string TrimRightBlanks(std::string_view S) {
    const size_t Last = S.find_last_not_of(Blank);
    return Last == std::string_view::npos ? std::string() : std::string(S.substr(0, Last + 1));
}

std::string TrimBlanks(std::string_view S) {
    const size_t First = S.find_first_not_of(Blank);
    if (First == std::string_view::npos) return {};
    return std::string(S.substr(First, S.find_last_not_of(Blank) - First + 1));
}

std::string RemoveBlanks(std::string_view S) {
    std::string Out;
    Out.reserve(S.size());
    for (char C : S)
        if (C != Blank) Out += C;
    return Out;
}

std::string RemoveCharsInSet(std::string_view S, const TCharSet& Set) {
    std::string Out;
    Out.reserve(S.size());
    for (char C : S)
        if (!Set.test(Byte(C))) Out += C;
    return Out;
}

TCharSet CharSetOf(std::string_view S) {
    TCharSet Set;
    for (char C : S) Set.set(Byte(C));
    return Set;
}

void ExtractToken(std::string& S, std::string_view Delimiters, std::string& Token) {
    const size_t At = S.find_first_of(Delimiters);
    if (At == std::string::npos) {
        Token = std::move(S);
        S.clear();
        return;
    }
    Token = S.substr(0, At);
    S.erase(0, At + 1);
}

int StringsIndexOf(std::string_view S, const std::vector<std::string>& List) {
    for (size_t I = 0; I < List.size(); ++I)
        if (List[I] == S) return static_cast<int>(I);
    return -1;
}

bool StringsDiffer(const std::vector<std::string>& A, const std::vector<std::string>& B) {
    return A != B;
}

bool FloatsDiffer(double A, double B) {
    return std::fabs(A - B) > 0.000001;
}

int NumberOfDigits(int64_t N, int Base) {
    if (Base < 2) throw std::invalid_argument("NumberOfDigits: base below 2");
    // The magnitude is taken unsigned, so the most negative value has its digits too.
    uint64_t Magnitude = N < 0 ? 0 - static_cast<uint64_t>(N) : static_cast<uint64_t>(N);
    int Digits = 1;
    while (Magnitude >= static_cast<uint64_t>(Base)) {
        Magnitude /= static_cast<uint64_t>(Base);
        ++Digits;
    }
    return Digits;
}

int64_t MakeInt64(int32_t High, int32_t Low) {
    // Low goes in as its 32 bits: sign-extending it would overwrite High whenever Low is negative.
    const uint64_t Packed =
        (static_cast<uint64_t>(static_cast<uint32_t>(High)) << 32) | static_cast<uint32_t>(Low);
    return static_cast<int64_t>(Packed);
}

void SplitInt64(int64_t Value, int32_t& High, int32_t& Low) {
    const uint64_t Packed = static_cast<uint64_t>(Value);
    High = static_cast<int32_t>(static_cast<uint32_t>(Packed >> 32));
    Low = static_cast<int32_t>(static_cast<uint32_t>(Packed & 0xFFFFFFFFu));
}

void FlattenLineBreaks(std::string& Text) {
    size_t Out = 0;
    for (size_t I = 0; I < Text.size(); ++I) {
        const char C = Text[I];
        if (C == '\r' || C == '\n') {
            const char Other = C == '\r' ? '\n' : '\r';
            if (I + 1 < Text.size() && Text[I + 1] == Other) ++I;
            Text[Out++] = Blank;
        } else if (Byte(C) >= 1 && Byte(C) <= 31) {
            continue;
        } else {
            Text[Out++] = C;
        }
    }
    Text.resize(Out);
}

const char* MemPos(const char* Buffer, std::string_view Pattern, int64_t Length) {
    if (Pattern.empty() || Length <= 0 || static_cast<int64_t>(Pattern.size()) > Length) return nullptr;
    const std::string_view Haystack(Buffer, static_cast<size_t>(Length));
    const size_t At = Haystack.find(Pattern);
    return At == std::string_view::npos ? nullptr : Buffer + At;
}

std::string SearchSummaryText(const TConcSearchRec& Query) {
    const char* Syntax = Query.Syntax < std::size(SyntaxNames) ? SyntaxNames[Query.Syntax] : "";
    const char* IgnoreCase = OnOffNames[(Query.Flags & sfMatchCase) ? 0 : 1];
    char Text[128];
    std::snprintf(Text, sizeof Text, "Syntax: %s, Ignore Case: %s, Freq of Hits: %d", Syntax, IgnoreCase,
                  static_cast<int>(Query.FrequencyOfHits));
    return Text;
}

void AddLanguageNames(std::vector<std::string>& List) {
    for (int L = 0; L < LanguagesCount && L < MaxLanguages; ++L)
        if (LanguageConfigs[static_cast<size_t>(L)])
            List.push_back(LanguageConfigs[static_cast<size_t>(L)]->GetLanguageName());
}

void FillContextUnits(std::vector<std::string>& List) {
    List = {"Characters", "Words", "Lines", "Sentence", "Segment"};
}

// ---- Characters and case ---------------------------------------------------------------------------

char LangLowerChar(char C, int L) {
    return static_cast<char>(LangConfig(L).LowerCaseMap[Byte(C)]);
}

char LangUpperChar(char C, int L) {
    const TConcordConfig& Config = LangConfig(L);
    return static_cast<char>(LangTables(Config, L).UpperCase[Byte(C)]);
}

void LangStrLower(const char* Source, char* Dest, int L) {
    const auto& Map = LangConfig(L).LowerCaseMap;
    for (;; ++Source, ++Dest) {
        *Dest = static_cast<char>(Map[Byte(*Source)]);
        if (*Source == 0) break;
    }
}

std::string LangLowerCase(std::string_view S, int L) {
    const auto& Map = LangConfig(L).LowerCaseMap;
    std::string Out(S);
    for (char& C : Out) C = static_cast<char>(Map[Byte(C)]);
    return Out;
}

int LangStrComp(std::string_view A, std::string_view B, bool IgnoreCase, int L) {
    const uint8_t* Map = IgnoreCase ? LangConfig(L).LowerCaseMap.data() : nullptr;
    for (size_t I = 0;; ++I) {
        int CA = I < A.size() ? Byte(A[I]) : 0;
        int CB = I < B.size() ? Byte(B[I]) : 0;
        if (Map) {
            CA = Map[CA];
            CB = Map[CB];
        }
        if (CA != CB) return CA - CB;
        if (CA == 0) return 0;
    }
}

char LangCasePartner(char C, int L) {
    const TConcordConfig& Config = LangConfig(L);
    return CasePartner(Config, LangTables(Config, L), Byte(C));
}

bool IsDoubleByteChar(int CodePage, const char* P) {
    return CachedCodePageTables(CodePage).LeadByte[Byte(P[0])] && P[1] != 0;
}

bool CharsEqual(char A, char B, int L) {
    if (A == B) return true;
    if (!CommonConfig || !CommonConfig->UseSkipEqualChars) return false;
    for (const TCharSet& Group : LangConfig(L).EqualCharGroups)
        if (Group.test(Byte(A)) && Group.test(Byte(B))) return true;
    return false;
}

int LangCodePage(int L) {
    return platform::AnsiCodePage(LangConfig(L).LocaleId);
}

const TCharClassTable& LangCharClasses(int L) {
    const TConcordConfig& Config = LangConfig(L);
    return LangTables(Config, L).CharType1;
}

// ---- Equal characters and the search character map -------------------------------------------------

bool ParseEqualChars(TConcordConfig& Config) {
    Config.EqualCharGroups.clear();
    std::string Text = RemoveBlanks(TrimControls(Config.EqualChars));
    if (Text.empty()) return true;
    if (Text.back() != ';') Text += ';';

    TCharSetArray Groups;
    TCharSet Set;
    for (size_t From = 0; From < Text.size();) {
        const size_t To = Text.find(';', From);
        if (!ParseEqualGroup(std::string_view(Text).substr(From, To - From), Set)) return false;
        Groups.push_back(Set);
        From = To + 1;
    }
    Config.EqualCharGroups = std::move(Groups);
    return true;
}

bool ParseEqualChars(int L) {
    return ParseEqualChars(MutableLangConfig(L));
}

// The map lives in the language's regular-expression tables, so that the text helpers and the patterns
// fold alike: one build, one map per language.
TSearchCharMap BuildSearchCharMap(int L) {
    LangConfig(L);
    InitRegExpCharTables(L);
    return SearchCharMap(L);
}

TSearchCharMap SearchCharMap(int L) {
    return RegExpCharTables(L)->CharMap;
}

// ---- Tags, files and measures ----------------------------------------------------------------------

std::string StripTagDelimiters(std::string_view S) {
    if (CommonConfig) {
        if (CommonConfig->TagStart != 0 && !S.empty() && S.front() == CommonConfig->TagStart)
            S.remove_prefix(1);
        if (CommonConfig->TagStop != 0 && !S.empty() && S.back() == CommonConfig->TagStop) S.remove_suffix(1);
    }
    return std::string(S);
}

std::string MakeTempFileName(const std::string& Prefix) {
    static constexpr char Suffix[] = ".tmp";
    std::string Template = platform::TempDir() + Prefix + "XXXXXX" + Suffix;
    const int Handle = ::mkstemps(Template.data(), static_cast<int>(std::strlen(Suffix)));
    if (Handle < 0) return {};
    ::close(Handle);
    return Template;
}

bool IsTextFile(const std::string& FileName) {
    // A FIFO or a device is never text (and never opened for a blocking read); a file that cannot be
    // opened is let through, for the open to say why.
    const int Handle = platform::OpenRegularFileForReading(FileName);
    if (Handle < 0) return errno != EINVAL;
    char Head[256];
    ssize_t Got;
    do Got = ::read(Handle, Head, sizeof Head);
    while (Got < 0 && errno == EINTR);
    ::close(Handle);
    int Controls = 0;
    for (ssize_t I = 0; I < Got; ++I)
        if (IsControlByte(Byte(Head[I]))) ++Controls;
    return Controls < 5;
}

bool IsEmptyFile(const std::string& FileName) {
    std::error_code Error;
    const std::filesystem::file_status Status = std::filesystem::status(FileName, Error);
    if (Error || !std::filesystem::is_regular_file(Status)) return false;
    const auto Size = std::filesystem::file_size(FileName, Error);
    return !Error && Size == 0;
}

std::string MakeValidFileName(const std::string& Name, const std::string& DefaultExtension) {
    const size_t Slash = Name.rfind('/');
    std::string Folder;
    std::string File = Slash == std::string::npos ? Name : Name.substr(Slash + 1);
    if (Slash != std::string::npos) {
        std::error_code Error;
        std::filesystem::path Full = std::filesystem::absolute(Name.substr(0, Slash + 1), Error);
        Folder =
            platform::WithTrailingSlash(Error ? Name.substr(0, Slash + 1) : Full.lexically_normal().string());
    }
    File.erase(std::remove_if(File.begin(), File.end(), IsInvalidFileNameChar), File.end());
    // No file can be saved under such a name: the folder itself, its parent, or an extension alone.
    if (File.empty() || File == "." || File == "..") return {};

    const size_t Dot = File.rfind('.');
    const bool HasExtension = Dot != std::string::npos && Dot + 1 < File.size();
    if (!HasExtension && !DefaultExtension.empty()) {
        if (!File.empty() && File.back() == '.') File.pop_back();
        if (DefaultExtension.front() != '.') File += '.';
        File += DefaultExtension;
    }
    return Folder + File;
}

int MillimetresToPixels(double MM, int DPI) {
    return static_cast<int>(std::nearbyint(MM * DPI / 25.4));
}

// ---- Visible text of a file range ------------------------------------------------------------------

bool ToggleSuppressOption(TSuppressFlags& Flags, int Option) {
    bool* Flag = nullptr;
    switch (Option) {
        case soTags:
            Flag = &Flags.HideTags;
            break;
        case soWords:
            Flag = &Flags.HideWords;
            break;
        case soPOSTags:
            Flag = &Flags.HidePOSTags;
            break;
        default:
            return false;
    }
    // Hiding all three would leave the view with nothing to show.
    if (!*Flag && Flags.HideTags + Flags.HidePOSTags + Flags.HideWords == 2) return false;
    *Flag = !*Flag;
    return true;
}

void ReadVisibleText(TBufStream& Reader, int32_t Start, int32_t End, std::string& Text,
                     const TSuppressFlags& Flags) {
    Text.clear();
    if (End <= Start) return;
    const int32_t Last = std::min(End, Reader.GetSourceSize());
    if (Last > Start) Text.reserve(static_cast<size_t>(Last - std::max(Start, 0)));
    TVisibleReader Visible(Reader, Flags);
    Visible.Start(LookBehindStart(Start));
    char C;
    bool Shown = false;
    // Byte by byte, so that nothing at or beyond End is ever returned.
    while (Visible.Position() < End && Visible.Next(C, Shown))
        if (Shown && Visible.Position() > Start) Text += AsVisible(C);
}

int32_t AdvanceVisibleChars(TBufStream& Reader, int32_t Start, int32_t End, int32_t N,
                            const TSuppressFlags& Flags) {
    TVisibleReader Visible(Reader, Flags);
    Visible.Start(LookBehindStart(Start));
    int32_t Count = 0;
    char C;
    bool Shown = false;
    while (Visible.Position() <= End && Visible.Next(C, Shown)) {
        if (!Shown || Visible.Position() <= Start) continue;
        if (++Count > N) return Visible.Position() - 1;
    }
    return Start;
}
