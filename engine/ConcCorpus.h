// The corpus model's derived data: how it is computed from the corpus files, and how it is thrown away
// when a setting it depends on changes.
//
// Windows hold references into the cached indexes, so every routine that frees one first sends the
// application message that names it (synchronously), and a window drops its references or closes
// before anything is freed. An emptied slot stays in its per-file list; the next corpus pass or
// alignment run fills it again. Main thread only.
#pragma once

#include <cstdint>

// Drops the derived data a settings change invalidates; Language is a language index or -1 for all.
// In this order, each only when asked: All drops page lists, tag indexes, the tag-based segments and
// the corpus frequency lists of every language (whatever Language says); Pages drops the page lists;
// AllFrequencyLists drops every corpus frequency list; FreqChanged or FreqOptionsChanged drop the
// corpus frequency list of Language (of every language for -1); AutoSentences drops the automatic
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
// For each language First..Last that cuts headings, paragraphs or sentences by tags (a format of 0):
// ClearSegmentIndexes, then ClearFileAlignment (language, -1). Other languages get no message.
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
