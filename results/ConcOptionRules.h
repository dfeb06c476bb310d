// The rules of the search, context, sentence and heading settings dialogs, without widgets: what each
// dialog reads, checks and stores, so that the dialogs only copy between their controls and these
// records. Texts are bytes of the language's code page. Main thread only (they change the
// configuration and may show messages).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ConcConfig.h"

// ---- Context types and sizes -------------------------------------------------------------------------

struct TContextLimits {
    int32_t Minimum = 0;
    int32_t Maximum = 0;
    int32_t Increment = 1;
};

// The size range of context type Type (0 characters .. 4 segment); a type outside that range gets the
// characters' limits.
TContextLimits ContextSizeLimits(int Type);

// Which of the size controls and the sentence options button a context type shows.
struct TContextControls {
    bool ShowSize = false;
    bool ShowSentenceOptions = false;
};
TContextControls ContextControlsFor(int Type);

// A concordance list's display context as the context dialog edits it; the concealing flags travel
// back unchanged.
struct TContextSettings {
    uint8_t ContextType = 0;
    std::array<int32_t, 5> ContextSizes{DefaultContextSizes[0], DefaultContextSizes[1],
                                        DefaultContextSizes[2], DefaultContextSizes[3],
                                        DefaultContextSizes[4]};
    bool ConcealHits = false;
    bool ConcealCollocates = false;
};

// ---- Sentence exceptions -----------------------------------------------------------------------------

// A word as the exception list keeps it: blanks trimmed, lower case through Language's map, one
// trailing "." dropped. May be empty.
std::string NormalizeExceptionWord(std::string_view Word, int Language);
// Adds the normalised Word to Words unless it is empty or already there; returns its index in Words,
// or -1 when nothing was added.
int AddExceptionWord(std::vector<std::string>& Words, std::string_view Word, int Language);
// The lines of a text file (CR LF, LF or CR ends), each normalised as a typed word, empty ones and
// duplicates left out, in file order.
std::vector<std::string> ParseExceptionFile(std::string_view Bytes, int Language);
// Words one per line with CR LF ends.
std::string FormatExceptionFile(const std::vector<std::string>& Words);
// FileName with "." + Extension added when its last component has no extension.
std::string WithDefaultExtension(const std::string& FileName, const std::string& Extension);
// The file to read for a name chosen to load: the name itself when such a file exists (a word list may
// have no extension), else WithDefaultExtension of it.
std::string LoadedFileName(const std::string& FileName, const std::string& Extension);
// The save dialog of a word-list text file (Title, starting in Folder, text files offered first); the
// name chosen with ".TXT" when it has no extension, "" when cancelled.
std::string AskWordFileToSave(const std::string& Title, const std::string& Folder);
// The open dialog of a word-list text file, the same way; the file to read (LoadedFileName), "" when
// cancelled.
std::string AskWordFileToLoad(const std::string& Title, const std::string& Folder);

// ---- Heading definitions -----------------------------------------------------------------------------

// Whether Name is taken by another definition than EditedIndex (-1 for a new one), letters compared
// without regard to case.
bool HeadingNameTaken(const std::vector<TNamedItem<THeadRecord>>& Headings, const std::string& Name,
                      int EditedIndex, int Language);
// The heading edit dialog's OK is enabled exactly when all five trimmed texts hold something.
bool HeadingEditComplete(const std::array<std::string, 5>& Texts);

// ---- Heading and context search ----------------------------------------------------------------------

// The state of the heading and context dialog when it closes.
struct THeadingContextChoice {
    bool HeadingSearch = false;
    std::string HeadingPattern;
    int Definition = -1;  // the selected heading definition
    bool ContextSearch = false;
    std::string LeftPattern, RightPattern;
};

// Writes the choice into Query: heading search (without a selected definition there is none) sets
// sfHeading, the trimmed pattern and the definition's four markers, else clears all of them; context
// search sets sfContext and the trimmed patterns, else clears them. Returns whether heading search is
// on, the caller then remembering the definition's name as the last one used.
bool ApplyHeadingContext(TConcSearchRec& Query, const THeadingContextChoice& Choice,
                         const std::vector<TNamedItem<THeadRecord>>& Headings);
// The definition to select when the dialog opens: the one named LastHeading, else the first; -1
// without definitions.
int InitialHeadingDefinition(const std::vector<TNamedItem<THeadRecord>>& Headings,
                             const std::string& LastHeading);

// ---- Search options ----------------------------------------------------------------------------------

// The search options dialog's controls as texts (characters as typed, converted to the language's code
// page; an empty text is a character left empty).
struct TSearchOptionsEdits {
    std::string MaxHits;
    std::string FrequencyOfHits;
    int ContextType = 0;
    std::string ContextSize;
    std::string WordSkipChar, WordSkipLo, WordSkipHi;
    std::string WildCard0orMore, WildCard0or1, WildCardExactly1;
    std::string TagSeparator;
    std::string Delimiters, SkippingChars, EqualChars;
    std::vector<std::string> DelimiterHistory, SkippingHistory, EqualHistory;
};

// The controls as the options object and Language's configuration hold them.
TSearchOptionsEdits ReadSearchOptions(int Language);
// What "&Revert to default" puts into the controls: everything but the frequency of hits and the
// context sizes, which keep Edits' texts; the delimiters are the DefaultWordDelimiters of Language's locale.
void RevertSearchOptions(TSearchOptionsEdits& Edits, int Language);

enum class TSearchOptionsResult {
    Stored,
    BadEqualChars,
    DelimitersKept,
    // A refused special character (the edit named) or word-skip range; the message has been shown.
    BadWordSkipChar,
    Bad0orMore,
    Bad0or1,
    BadExactly1,
    BadTagSeparator,
    BadWordSkipRange
};

// The OK of the search options dialog over Language: first refuses, with a message naming the field, a
// wildcard, word-skip or tag-separator character that is a letter or a digit of the language (it would
// cut every word that holds it), one character given to two of the four wildcard roles, and a word-skip
// range whose first number is above its second; then parses the equal characters (on failure shows
// "Wrong "equal characters" syntax." and restores the old ones), asks before changing the word
// delimiters (No restores the equal characters; Yes drops the language's corpus frequency list),
// clamps every number to its control's range, and stores the options, the language's character sets
// and histories; a word-tag delimiter found among the delimiters is reported and its first occurrence
// removed. Nothing is stored unless the result is Stored.
TSearchOptionsResult ApplySearchOptions(int Language, const TSearchOptionsEdits& Edits);
