// The corpus model's derived data: how it is computed from the corpus files, and how it is thrown away
// when a setting it depends on changes.
//
// The corpus pass reads every corpus file once and builds what the rest of the program looks up by
// position: line and page starts, the tag index, the section, paragraph and sentence indexes, the word
// counts and the corpus frequency lists. The hit-location lookups answer, for an offset of a file, its
// line, page and the tracked-tag values in force there.
//
// Windows hold references into the cached indexes, so every routine that frees one first sends the
// application message that names it (synchronously), and a window drops its references or closes
// before anything is freed. An emptied slot stays in its per-file list; the next corpus pass or
// alignment run fills it again. Main thread only, except where a function says otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TProgressForm;

class TCommonConcordConfig;
class TConcordConfig;
class TRegExp;
class TSynchroStream;
class TTagsCollection;
struct TWatchedTag;

// ---- Invalidation -----------------------------------------------------------------------------------------

// Drops the derived data a settings change invalidates; Language is a language index or -1 for all.
// In this order, each only when asked: All (a change of the tag characters) drops page lists, tag
// indexes, every segment index with the alignments built on it (segment lengths leave out tag bytes,
// whatever the format) and the corpus frequency lists of every language (whatever Language says); Pages drops
// the page lists; AllFrequencyLists drops every corpus frequency list; FreqChanged or FreqOptionsChanged drop
// the corpus frequency list of Language (of every language for -1); AutoSentences drops the automatic
// sentence segments of Language (of every language for -1).
void ClearScannedInfo(int32_t Language, bool All, bool Pages, bool AllFrequencyLists, bool FreqChanged,
                      bool FreqOptionsChanged, bool AutoSentences);

// For every file of every language: CM_PAGEINDEXDROPPED (language, file), then the file's page-start
// list is freed.
void ClearPageLists();
// For every file of every language: CM_TAGINDEXDROPPED (language, file), then the file's tag index is
// freed.
void ClearFileTagLists();
// CM_SEGMENTINDEXDROPPED (Language, 0) once, then every file's section, paragraph and sentence index of
// Language is freed. Nothing for a language that does not exist.
void ClearSegmentIndexes(int32_t Language);
// CM_ALIGNMENTDROPPED (Language, 0), then: language 0 affects Align12, Align13 and Align14, language k
// only Align1(k+1). In each affected pair list that exists, File >= 0 frees that file's pair (a file
// beyond the list has none), File = -1 frees the whole list.
void ClearFileAlignment(int32_t Language, int32_t File);
// For each language First..Last that cuts headings, paragraphs or sentences by tags (a format of 0 in
// force, EffectiveTextFormats): ClearSegmentIndexes, then ClearFileAlignment (language, -1). Other
// languages get no message.
void ClearTagBasedSegments(int32_t First, int32_t Last);
// The same for each language of the range whose sentences are found automatically (SentenceFormat 1).
void ClearAutoSentenceSegments(int32_t First, int32_t Last);
// CM_FREQSETTINGSCHANGED (Language, 1) to the child windows, then to the main window; then the
// language's corpus frequency list is freed and the word count of each of its files becomes 0.
void DropCorpusFreqList(int32_t Language);
// DropCorpusFreqList for each language First..Last in order.
void DropCorpusFreqLists(int32_t First, int32_t Last);
// CM_ALIGNMENTDROPPED (-1, 0), then Align12, Align13 and Align14 are freed with all their pairs.
void FreeAllAlignments();

// ---- Segmentation -----------------------------------------------------------------------------------------

// The text formats by which a language's files are cut: heading (0 tags, 1 pattern, 2 regular
// expression, 3 none), paragraph (0 tags, 1 every line break, 2 empty line, 3 indented line), sentence
// (0 tags, 1 automatic, other: paragraph breaks only) and the paragraph markers.
struct TTextFormats {
    uint8_t Heading = 3;
    uint8_t Paragraph = 0;
    uint8_t Sentence = 0;
    std::string PStart, PStop;
};
// The formats in force for Config's files: its own, unless the alignment format of Common overrides
// them (1: no headings, a paragraph per line; 2: no headings, paragraphs cut by the delimiter tag;
// 3: no headings, paragraphs cut by the start and stop tags).
TTextFormats EffectiveTextFormats(const TConcordConfig& Config, const TCommonConcordConfig& Common);

// A tag marker of a text format, ready to be compared with tag names.
struct TCompiledMarker {
    TCompiledMarker();
    TCompiledMarker(TCompiledMarker&&) noexcept;
    TCompiledMarker& operator=(TCompiledMarker&&) noexcept;
    ~TCompiledMarker();

    // The marker without its tag delimiters. An empty text matches no tag, not even one without a name.
    std::string Text;
    // Set when the marker holds "%d" or "%r": it then matches through this expression.
    std::unique_ptr<TRegExp> RegExp;
};

// The regular expression of a marker that holds "%d" or "%r" (a "%" followed by d or r): "%d" becomes
// "\d+", "%r" becomes "[IVXLivxl]+", each of $ ( ) * + , . ? [ \ ] ^ { | } gets a backslash, every other
// byte stands for itself; HasPattern := true. Otherwise the marker unchanged, HasPattern := false.
std::string MarkerToRegExp(std::string_view Marker, bool& HasPattern);
// Strips Marker of a leading tag-start and a trailing tag-stop character of the options object and
// translates it by MarkerToRegExp; the expression is compiled for Language with the current tables of
// that language (InitRegExpCharTables). Raises ERegExp when it does not compile.
TCompiledMarker CompileMarker(std::string_view Marker, int Language);
// Whether a tag name matches the marker: with an expression, one match covers the whole name; otherwise
// the name equals the text exactly (case counts). An empty marker matches nothing.
bool MarkerMatches(std::string_view TagName, TCompiledMarker& Marker);

// The three sentence-end tests raise std::out_of_range for a language that does not exist.
// Whether C is one of the language's sentence-end characters (SentDelimiters).
bool IsSentenceDelimiter(int Language, char C);
// Only with the language's SmartAbbrDetect on: whether W (the last word followed by the sentence-end
// character) is an abbreviation. False when W is empty, longer than 20 bytes or does not end in ".";
// true when W has 2 bytes and the first is lower case, when every byte before the final "." is a digit
// ("." alone included), or when W has at most 4 bytes, the first upper case and the rest before the "."
// alphabetic, by the character classes of the language's code page.
bool IsAbbreviation(int Language, std::string_view W);
// Only with the language's SmartAbbrDetect off: whether W ends in "." and W without it, lower-cased
// through the language's case map, is one of its SentenceExceptions.
bool IsSentenceException(int Language, std::string_view W);

// What one pass over a file builds.
struct TProcessFileFlags {
    bool BuildLines = false;     // line starts
    bool CountWords = false;     // words into the language's corpus frequency list, and the word count
    bool BuildSegments = false;  // sections, paragraphs and sentences
    bool BuildTags = false;      // the tag collection
    bool BuildPages = false;     // page starts
};

// Where a file lies among the bytes of all the files of a pass that keeps one window open: its gauge
// then runs over all of them (the bytes before the file plus the position in it), so that a pass over
// thousands of small files moves it steadily rather than through each small file in turn.
struct TPassGauge {
    int64_t Before = 0;  // the bytes of the pass's files before this one
    int64_t Total = 0;   // the bytes of all its files; 0: the gauge runs over the file alone
};

// Reads file FileIndex of Language once through its shared stream and builds what Flags ask for into
// the file's slots, which must exist (the driver creates them); each one asked for is emptied first.
// With CountWords the words go into the language's FreqList, which must exist, and WordCount receives
// the number of words. Shows the progress window "Processing corpus" with the file's name as registered
// and returns 0 when the whole file was read, or the window's cancel code (1 or 2) when the user stopped
// it; the lists then hold what was built so far. Raises ERegExp, before any byte is read and whatever
// Flags ask for, for a marker or heading pattern of the text formats in force that does not compile;
// std::out_of_range for a language or file that does not exist; std::logic_error when a slot asked for,
// the stream or the frequency list is missing. Errors of the stream pass through. With Window, that
// window is set up for the file and shown instead of one of its own, so that a pass over many files
// keeps one window open rather than opening and closing one a file.
// Gauge, given with Window, says where the file lies among the files of that pass.
// A whole read leaves the stream's content sum (TSynchroStream::ContentSum) that of the bytes it read,
// none when they were not the stream's size.
int ProcessFile(int Language, int FileIndex, const TProcessFileFlags& Flags, int32_t& WordCount,
                TProgressForm* Window = nullptr, TPassGauge Gauge = {});

// The pass pumps messages and moves its gauge every hundredth of a file, but not sooner than this many
// milliseconds (20) after its last pump on the same thread; 0 pumps at every hundredth.
void SetPassPumpInterval(int Milliseconds);

// ---- The corpus pass --------------------------------------------------------------------------------------

// Whether some file of a language lacks its line starts, page starts, tag collection, sections,
// paragraphs or sentences, or some language lacks its corpus frequency list.
bool CorpusNeedsProcessing();
// Whether some file of some language lacks one of its section, paragraph or sentence indexes, which the
// corpus pass would rebuild (and the alignment built on them with them).
bool CorpusSegmentsMissing();
// Builds what is missing for one language, file by file: a missing frequency list is built from every
// file, and a file missing any of its three segment indexes gets all three rebuilt (the surviving ones
// are dropped after CM_SEGMENTINDEXDROPPED, then the file's alignment pairs by ClearFileAlignment). Returns
// 0, or the cancel code of the file at which the user stopped. A file that was stopped, or whose pass raised,
// is left without the indexes that were missing, and a frequency list begun in this call is dropped, so the
// next call processes it again; the exception then passes on. Does nothing for a language that does not
// exist.
int ProcessLanguage(int Language);
// ProcessLanguage for each language in order; false as soon as one is cancelled (the later languages
// are not processed), otherwise true (also with no language). Exceptions pass on.
bool ProcessCorpus();

// ---- Hit locations ----------------------------------------------------------------------------------------

struct THitLocation {
    int32_t Line = -1;        // 1-based; -1 when the file has no line starts
    int32_t Page = -1;        // 1-based; -1 without page starts or page separator
    int32_t LineInPage = -1;  // 1-based line within the page; -1 when Page is, or without line starts
    // One value per tracked tag in the order of WatchedTags; none when no tag is tracked.
    std::optional<std::vector<std::string>> TagValues;
};

// Where Offset of file FileIndex of Language lies. A tracked tag's value is "N/A" when the file has no
// tag collection. Raises std::out_of_range for a language or file that does not exist.
THitLocation GetHitLocation(int Language, int FileIndex, int32_t Offset);
// The value of tracked tag TagIndex in force at Offset (TagValueAt); empty when the file has no tag
// collection. Raises std::out_of_range for a language, file or tag index that does not exist.
std::string GetTrackedTagValue(int Language, int FileIndex, int32_t Offset, int TagIndex);
// The text of the tracked tag in force at Offset: the last tag named Tag.Name (without its delimiters)
// at or before Offset, read from the file through Stream (at most 128 bytes, a 0 byte read as a blank),
// with its line breaks flattened to blanks. Without a stop marker the value is that tag up to and
// including its end character; with one, it runs to the end of the first tag in the text read that
// begins with the tag-start character and the start marker. "N/A" when no such tag lies at or before
// Offset. Safe on any thread that may read the collection.
std::string TagValueAt(const TWatchedTag& Tag, const TTagsCollection& Collection, TSynchroStream& Stream,
                       int32_t Offset);
// The index in the zero-terminated Text of the first byte that ends a tag: the options object's TagStop,
// or, when TagStop is "#", the first tab, line feed, carriage return or blank; the index of the
// terminating 0 when none comes.
size_t FindValueEnd(const char* Text);

// The locale's 8-bit (ANSI) code page; the system's code page for a locale without one.
int LocaleCodePage(uint32_t LCID);

// ---- The corpus frequency list on demand --------------------------------------------------------------

// The alignment run that follows a corpus pass made here (the alignment unit registers it at start-up,
// since the engine does not depend on it). Empty: no alignment follows.
void SetCorpusAlignmentRun(std::function<void()> Run);
// The corpus frequency list of Language for a window that needs it. When the language has none:
// ProcessCorpus, and when that completes and rebuilt segment indexes (CorpusSegmentsMissing before it),
// the registered alignment run; a list dropped alone (a change of case or tag rules) is only counted
// again. Then, when the list exists, it is sorted alphabetically or by frequency unless it
// already is, and the result is true; false when the pass was cancelled or the language does not exist.
// Exceptions of the pass and the run pass on.
bool GetCorpusFreqList(int Language, bool Alphabetical);
