#include "engine/ConcLangs.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "platform/Nls.h"

std::vector<TNamedItem<uint32_t>> InstalledLanguages;

namespace {

struct TLanguageName {
    uint16_t Id;
    std::string_view Name;
};

// Ascending by identifier. The two Serbian locales write in different scripts and code pages (1250
// and 1251), so each has a name of its own: the user must be able to choose either.
constexpr TLanguageName LanguageNames[] = {
    {0x0401, "Arabic (Saudi Arabia)"},
    {0x0402, "Bulgarian"},
    {0x0403, "Catalan"},
    {0x0404, "Chinese (Taiwan)"},
    {0x0405, "Czech"},
    {0x0406, "Danish"},
    {0x0407, "German (Standard)"},
    {0x0408, "Greek"},
    {0x0409, "English (United States)"},
    {0x040A, "Spanish (Traditional Sort)"},
    {0x040B, "Finnish"},
    {0x040C, "French (Standard)"},
    {0x040D, "Hebrew"},
    {0x040E, "Hungarian"},
    {0x040F, "Icelandic"},
    {0x0410, "Italian (Standard)"},
    {0x0411, "Japanese"},
    {0x0412, "Korean"},
    {0x0413, "Dutch (Standard)"},
    {0x0414, "Norwegian (Bokmal)"},
    {0x0415, "Polish"},
    {0x0416, "Portuguese (Brazilian)"},
    {0x0418, "Romanian"},
    {0x0419, "Russian"},
    {0x041A, "Croatian"},
    {0x041B, "Slovak"},
    {0x041C, "Albanian"},
    {0x041D, "Swedish"},
    {0x041E, "Thai"},
    {0x041F, "Turkish"},
    {0x0421, "Indonesian"},
    {0x0422, "Ukrainian"},
    {0x0423, "Belarusian"},
    {0x0424, "Slovenian"},
    {0x0425, "Estonian"},
    {0x0426, "Latvian"},
    {0x0427, "Lithuanian"},
    {0x0429, "Farsi"},
    {0x042D, "Basque"},
    {0x0436, "Afrikaans"},
    {0x0438, "Faeroese"},
    {0x0801, "Arabic (Iraq)"},
    {0x0804, "Chinese (PRC)"},
    {0x0807, "German (Swiss)"},
    {0x0809, "English (United Kingdom)"},
    {0x080A, "Spanish (Mexican)"},
    {0x080C, "French (Belgian)"},
    {0x0810, "Italian (Swiss)"},
    {0x0812, "Korean (JoHab)"},
    {0x0813, "Dutch (Belgian)"},
    {0x0814, "Norwegian (Nynorsk)"},
    {0x0816, "Portuguese (Standard)"},
    {0x081A, "Serbian (Latin)"},
    {0x081D, "Swedish (Finland)"},
    {0x0C01, "Arabic (Egypt)"},
    {0x0C04, "Chinese (Hong Kong)"},
    {0x0C07, "German (Austrian)"},
    {0x0C09, "English (Australian)"},
    {0x0C0A, "Spanish (Modern Sort)"},
    {0x0C0C, "French (Canadian)"},
    {0x0C1A, "Serbian (Cyrillic)"},
    {0x1001, "Arabic (Libya)"},
    {0x1004, "Chinese (Singapore)"},
    {0x1007, "German (Luxembourg)"},
    {0x1009, "English (Canadian)"},
    {0x100A, "Spanish (Guatemala)"},
    {0x100C, "French (Swiss)"},
    {0x1401, "Arabic (Algeria)"},
    {0x1407, "German (Liechtenstein)"},
    {0x1409, "English (New Zealand)"},
    {0x140A, "Spanish (Costa Rica)"},
    {0x140C, "French (Luxembourg)"},
    {0x1801, "Arabic (Morocco)"},
    {0x1809, "English (Ireland)"},
    {0x180A, "Spanish (Panama)"},
    {0x1C01, "Arabic (Tunisia)"},
    {0x1C09, "English (South Africa)"},
    {0x1C0A, "Spanish (Dominican Republic)"},
    {0x2001, "Arabic (Oman)"},
    {0x2009, "English (Jamaica)"},
    {0x200A, "Spanish (Venezuela)"},
    {0x2401, "Arabic (Yemen)"},
    {0x2409, "English (Caribbean)"},
    {0x240A, "Spanish (Colombia)"},
    {0x2801, "Arabic (Syria)"},
    {0x2809, "English (Belize)"},
    {0x280A, "Spanish (Peru)"},
    {0x2C01, "Arabic (Jordan)"},
    {0x2C09, "English (Trinidad)"},
    {0x2C0A, "Spanish (Argentina)"},
    {0x3001, "Arabic (Lebanon)"},
    {0x300A, "Spanish (Ecuador)"},
    {0x3401, "Arabic (Kuwait)"},
    {0x340A, "Spanish (Chile)"},
    {0x3801, "Arabic (U.A.E.)"},
    {0x380A, "Spanish (Uruguay)"},
    {0x3C01, "Arabic (Bahrain)"},
    {0x3C0A, "Spanish (Paraguay)"},
    {0x4001, "Arabic (Qatar)"},
    {0x400A, "Spanish (Bolivia)"},
    {0x440A, "Spanish (El Salvador)"},
    {0x480A, "Spanish (Honduras)"},
    {0x4C0A, "Spanish (Nicaragua)"},
    {0x500A, "Spanish (Puerto Rico)"},
};

constexpr uint32_t NoCaseLocales[] = {0x0404, 0x0804, 0x0C04, 0x1004, 0x0411, 0x0412, 0x0812, 0x041E};

bool SameTextIgnoringCase(std::string_view A, std::string_view B) {
    auto Fold = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C + 32) : C; };
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [&](char X, char Y) { return Fold(X) == Fold(Y); });
}

}  // namespace

std::string LanguageNameOfLCID(uint32_t Id) {
    const uint16_t Low = static_cast<uint16_t>(Id & 0xFFFF);
    auto It = std::lower_bound(std::begin(LanguageNames), std::end(LanguageNames), Low,
                               [](const TLanguageName& E, uint16_t V) { return E.Id < V; });
    return It != std::end(LanguageNames) && It->Id == Low ? std::string(It->Name) : std::string();
}

bool IsNoCaseLocale(uint32_t Id) {
    return std::find(std::begin(NoCaseLocales), std::end(NoCaseLocales), Id) != std::end(NoCaseLocales);
}

std::vector<uint32_t> NamedLanguageIds() {
    std::vector<uint32_t> Ids;
    for (const auto& E : LanguageNames) Ids.push_back(E.Id);
    return Ids;
}

void LoadInstalledLanguagesFrom(const std::vector<uint32_t>& EnumeratedIds) {
    InstalledLanguages.clear();
    for (uint32_t Id : EnumeratedIds) {
        const uint32_t Low = Id & 0xFFFF;
        std::string Name = LanguageNameOfLCID(Low);
        if (Name.empty()) continue;
        const bool Known =
            std::any_of(InstalledLanguages.begin(), InstalledLanguages.end(),
                        [&](const auto& Item) { return SameTextIgnoringCase(Item.Name, Name); });
        if (!Known) InstalledLanguages.push_back({std::move(Name), Low});
    }
}

void LoadInstalledLanguages() {
    LoadInstalledLanguagesFrom(platform::InstalledLocaleIds());
}

void FreeInstalledLanguages() {
    InstalledLanguages.clear();
}
