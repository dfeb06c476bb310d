// Corpus languages: the English display names of the locale identifiers the program knows, the locales
// without letter case, and the list of languages offered to the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An entry of a name list whose every name carries an object of its own (a language's identifier, a
// heading's markers, a file's record). The list owns the objects.
template <class T>
struct TNamedItem {
    std::string Name;
    T Object{};
};

// The English name of the identifier's low 16 bits; empty when the table does not know it.
std::string LanguageNameOfLCID(uint32_t Id);

// Whether the identifier (compared in full) is one of the eight Chinese, Japanese, Korean and Thai
// locales that have no case mapping.
bool IsNoCaseLocale(uint32_t Id);

// The known identifiers with a name, ascending (104 identifiers, each with its own name).
std::vector<uint32_t> NamedLanguageIds();

// The installed languages: name and identifier, each name once (compared without regard to ASCII
// case), in enumeration order. Filled by LoadInstalledLanguages; empty before.
extern std::vector<TNamedItem<uint32_t>> InstalledLanguages;

// Rebuilds InstalledLanguages from platform::InstalledLocaleIds(). Runs once at program start, before
// InitConfigUnit.
void LoadInstalledLanguages();
// Builds InstalledLanguages from the given identifiers in the given order (the enumeration of the
// system's installed locales); identifiers without a name are skipped, and of several with the same
// name the first is kept. Only the low 16 bits of each identifier count.
void LoadInstalledLanguagesFrom(const std::vector<uint32_t>& EnumeratedIds);
// Empties InstalledLanguages (program end).
void FreeInstalledLanguages();
