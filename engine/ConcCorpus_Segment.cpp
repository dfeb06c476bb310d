// The corpus pass over one file: line and page starts, tags, sections, paragraphs, sentences and words,
// all in one reading of the file.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcCorpus.h"
#include "engine/ConcFreqList.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTags.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "engine/ContentSum.h"
#include "engine/RegExp3.h"
#include "platform/Nls.h"
#include "ui/ConcProgress.h"

namespace {

constexpr const char* ProcessingCaption = "Processing corpus";

// A hundredth of a file is a fine step for the gauge of one large file, but a corpus of thousands of
// small files would pump messages and repaint the gauge a hundred times a file, far longer than the
// reading takes: a step pumps only when the last pump on this thread is at least this long ago.
std::atomic<int> PumpIntervalMs{20};
thread_local std::chrono::steady_clock::time_point LastPump{};

bool PumpDue() {
    const auto Now = std::chrono::steady_clock::now();
    if (Now - LastPump < std::chrono::milliseconds(PumpIntervalMs.load(std::memory_order_relaxed)))
        return false;
    LastPump = Now;
    return true;
}

// A window that has just opened is painted, and can be answered, at the pass's first step.
void PumpAtNextStep() {
    LastPump = std::chrono::steady_clock::time_point{};
}

// Words and tags are collected up to this many bytes; longer ones are cut.
constexpr int32_t TokenCapacity = 255;
// A heading pattern is tried against this many bytes at a paragraph start.
constexpr int32_t HeadingSampleSize = 32;
// The sample carries the byte after it, so that $ and the word assertions at the sample's end see the
// text that really follows (the sample's end is not the end of a line or of the paragraph).
constexpr int32_t HeadingLookAhead = 1;
// The heading samples are served from blocks of this size, so a check per line does not cost a read.
constexpr int32_t SampleBlockSize = 8192;
constexpr size_t AbbreviationMaxLength = 20;

TConcordConfig& LanguageAt(int Language) {
    if (Language < 0 || Language >= MaxLanguages || Language >= LanguagesCount || !LanguageConfigs[Language])
        throw std::out_of_range("Language does not exist");
    return *LanguageConfigs[Language];
}

const std::array<uint16_t, 256>& CharClassesOf(const TConcordConfig& Config) {
    return platform::CodePageTables(platform::AnsiCodePage(Config.LocaleId)).CharType1;
}

bool IsAbbreviationIn(std::string_view W, const std::array<uint16_t, 256>& Classes) {
    if (W.empty() || W.size() > AbbreviationMaxLength || W.back() != '.') return false;
    auto Has = [&](char C, uint16_t Bits) { return (Classes[static_cast<uint8_t>(C)] & Bits) != 0; };
    const std::string_view Body = W.substr(0, W.size() - 1);
    if (W.size() == 2 && Has(W[0], platform::C1_LOWER)) return true;
    if (std::all_of(Body.begin(), Body.end(), [&](char C) { return Has(C, platform::C1_DIGIT); }))
        return true;
    if (W.size() > 4 || !Has(W[0], platform::C1_UPPER)) return false;
    return std::all_of(Body.begin() + 1, Body.end(), [&](char C) { return Has(C, platform::C1_ALPHA); });
}

// W without its final "." and lower-cased through Map into Buffer; false when W does not end in ".".
bool ExceptionKey(std::string_view W, const std::array<uint8_t, 256>& Map, std::string& Buffer) {
    if (W.empty() || W.back() != '.') return false;
    Buffer.assign(W.data(), W.size() - 1);
    for (char& C : Buffer) C = static_cast<char>(Map[static_cast<uint8_t>(C)]);
    return true;
}

// What the segment measure has counted before a point of the file, packed so that one addition counts
// a byte: in the low half the bytes a segment's length counts, in the high half the word and delimiter
// bytes that decide whether a unit is kept.
using TCounts = uint64_t;
constexpr TCounts CountsLength = 1;
constexpr TCounts CountsText = TCounts(1) << 32;

// What one byte of each class adds. Tags and word tags count for nothing.
constexpr TCounts ClassCounts[] = {
    0, CountsLength | CountsText, CountsLength, CountsLength, CountsLength | CountsText, 0, 0};

// The offset of a unit boundary with the counts before it. A unit's measures are the differences of the
// marks at its two ends, so no unit is read twice.
struct TMark {
    int32_t Offset = 0;
    TCounts Counts = 0;

    int32_t Length() const { return static_cast<int32_t>(static_cast<uint32_t>(Counts)); }
    int32_t Text() const { return static_cast<int32_t>(Counts >> 32); }
};

struct TUnit {
    TMark Start;
    int32_t Length = 0;
    bool Empty = true;
};

// One byte as the reader classified it.
struct TByte {
    char C = 0;
    TCharType T = ctNone;
    int32_t Offset = 0;
};

// Samples of the file at paragraph starts for the heading check, read past the reader so its window and
// tag state stay as they are.
class THeadingSampler {
public:
    explicit THeadingSampler(TSynchroStream& Stream) : FStream(Stream), FBlock(SampleBlockSize) {}

    // Up to 32 bytes from Offset and the byte after them, a 0 byte read as a blank as the reader reads it.
    std::string_view At(int32_t Offset) {
        constexpr int32_t Wanted = HeadingSampleSize + HeadingLookAhead;
        const bool Inside =
            Offset >= FStart && Offset <= FStart + FCount && (Offset + Wanted <= FStart + FCount || FAtEnd);
        if (!Inside) Load(Offset);
        const int32_t Available = std::min(Wanted, FStart + FCount - Offset);
        return std::string_view(FBlock.data() + (Offset - FStart),
                                static_cast<size_t>(std::max(Available, 0)));
    }

private:
    void Load(int32_t Offset) {
        int32_t Position = Offset;
        FCount = FStream.ReadAt(FBlock.data(), SampleBlockSize, Position);
        BlankZeroBytes(FBlock.data(), FCount);
        FStart = Offset;
        FAtEnd = FCount < SampleBlockSize;
    }

    TSynchroStream& FStream;
    std::vector<char> FBlock;
    int32_t FStart = 0;
    int32_t FCount = 0;
    bool FAtEnd = false;
};

// The words of a file, counted in a table of the corpus pass's own and handed to the language's
// frequency list once, in the order first seen, when the file is done: the table is compact and stays
// in the cache, where the list's items lie all over the heap. It keeps its words from file to file (a
// corpus's files share most of their words), so a file's words are mostly found, not inserted.
class TWordTally {
public:
    // The tally of the calling thread; the corpus pass runs on one thread at a time.
    static TWordTally& OfThisThread() {
        static thread_local TWordTally Tally;
        return Tally;
    }

    // Counts Word, whose buffer must hold at least 8 bytes from Word's start. The count lands one word
    // later: the word's slot is fetched now, while the previous word is counted, so that the two cache
    // misses overlap with the work between words.
    void Add(std::string_view Word) {
        TPending Next{HeadOf(Word), 0, static_cast<uint32_t>(Word.size())};
        Next.Hash = HashOf(Word, Next.Head);
        __builtin_prefetch(&FSlots[Next.Hash & (FSlots.size() - 1)]);
        if (FHasPending) Count(FPending, FPendingBytes.data());
        FPending = Next;
        FHasPending = true;
        if (Word.size() > 8) std::memcpy(FPendingBytes.data(), Word.data(), Word.size());
    }

    // Forgets the counts of a file that was not finished (its pass raised), before the next file.
    void Restart() {
        FHasPending = false;
        FTouched.clear();
        ++FGeneration;
    }

    // Counts the words counted since the last call into List, in the order first seen, and starts
    // the next file's count.
    void MoveTo(TFreqList& List) {
        if (FHasPending) Count(FPending, FPendingBytes.data());
        FHasPending = false;
        // An entry remembers the item it was counted into, so that a word of every file is looked up in
        // the list once, not once per file.
        for (const uint32_t Index : FTouched) {
            TEntry& Entry = FEntries[Index];
            const int32_t Count = SlotOf(Index).Count;
            if (Entry.List == &List && Entry.ListStamp == List.Stamp()) {
                List.CountItem(*Entry.Item, Count);
                continue;
            }
            Entry.Item = List.AddWord(std::string_view(FBytes.data() + Entry.Offset, Entry.Length), Count);
            Entry.List = &List;
            Entry.ListStamp = List.Stamp();
        }
        FTouched.clear();
        ++FGeneration;
        if (FEntries.size() > MaxEntries) *this = TWordTally();
    }

private:
    static constexpr size_t InitialSlots = 4096;
    // Beyond this many words the table starts afresh rather than keep growing for ever.
    static constexpr size_t MaxEntries = size_t{1} << 22;
    // A word waiting to be counted: its head, hash and length; Bytes holds its bytes after the head.
    struct TPending {
        uint64_t Head;
        uint32_t Hash;
        uint32_t Length;
    };
    // A word's count lives in its slot, so that a word of up to eight bytes is counted from its slot
    // alone.
    struct TSlot {
        uint64_t Head = 0;  // the first eight bytes, zero-padded (words hold no 0 byte)
        uint32_t Hash = 0;
        uint32_t Entry = 0;       // index + 1 into FEntries; 0 for a free slot
        uint32_t Generation = 0;  // the file Count belongs to
        int32_t Count = 0;
    };
    struct TEntry {
        uint32_t Offset;
        uint32_t Length;
        uint32_t Hash;
        // The item the word was last counted into, valid while List has that stamp.
        const TFreqList* List = nullptr;
        uint64_t ListStamp = 0;
        TFreqItem* Item = nullptr;
    };

    TWordTally() : FSlots(InitialSlots) {}

    void Count(const TPending& W, const char* Bytes) {
        const size_t Mask = FSlots.size() - 1;
        for (size_t I = W.Hash & Mask;; I = (I + 1) & Mask) {
            TSlot& Slot = FSlots[I];
            if (Slot.Entry == 0) {
                Insert(Slot, W, Bytes);
                return;
            }
            if (Slot.Hash != W.Hash || Slot.Head != W.Head) continue;
            if (W.Length > 8) {
                const TEntry& Entry = FEntries[Slot.Entry - 1];
                if (Entry.Length != W.Length || !SameTail(FBytes.data() + Entry.Offset, Bytes, W.Length))
                    continue;
            }
            if (Slot.Generation != FGeneration) {
                Slot.Generation = FGeneration;
                Slot.Count = 0;
                FTouched.push_back(Slot.Entry - 1);
            }
            ++Slot.Count;
            return;
        }
    }

    const TSlot& SlotOf(uint32_t Index) const {
        const size_t Mask = FSlots.size() - 1;
        size_t I = FEntries[Index].Hash & Mask;
        while (FSlots[I].Entry != Index + 1) I = (I + 1) & Mask;
        return FSlots[I];
    }

    // Whether the bytes after the first eight agree; words are short, so no call is made to compare.
    static bool SameTail(const char* A, const char* B, size_t Length) {
        for (size_t I = 8; I < Length; ++I)
            if (A[I] != B[I]) return false;
        return true;
    }

    // The first eight bytes in one load; the caller's buffer holds them.
    static uint64_t HeadOf(std::string_view Word) {
        uint64_t V = 0;
        std::memcpy(&V, Word.data(), 8);
        return Word.size() >= 8 ? V : V & ((uint64_t{1} << (8 * Word.size())) - 1);
    }

    static uint32_t HashOf(std::string_view Word, uint64_t Head) {
        uint64_t H = (0x9E3779B97F4A7C15ULL ^ Word.size() ^ Head) * 0xBF58476D1CE4E5B9ULL;
        for (size_t At = 8; At < Word.size(); At += 8) {
            uint64_t V = 0;
            const size_t N = std::min<size_t>(Word.size() - At, 8);
            std::memcpy(&V, Word.data() + At, N);
            H = ((H ^ (H >> 31)) ^ V) * 0x94D049BB133111EBULL;
        }
        return static_cast<uint32_t>(H >> 32);
    }

    void Insert(TSlot& Slot, const TPending& W, const char* Bytes) {
        const auto Index = static_cast<uint32_t>(FEntries.size());
        FEntries.push_back(
            TEntry{static_cast<uint32_t>(FBytes.size()), W.Length, W.Hash, nullptr, 0, nullptr});
        FTouched.push_back(Index);
        for (uint32_t I = 0; I < std::min<uint32_t>(W.Length, 8); ++I)
            FBytes += static_cast<char>(W.Head >> (8 * I));
        if (W.Length > 8) FBytes.append(Bytes + 8, W.Length - 8);
        Slot = TSlot{W.Head, W.Hash, Index + 1, FGeneration, 1};
        if (FEntries.size() * 2 > FSlots.size()) Grow();
    }

    void Grow() {
        std::vector<TSlot> Old(FSlots.size() * 2);
        Old.swap(FSlots);
        const size_t Mask = FSlots.size() - 1;
        for (const TSlot& Slot : Old) {
            if (Slot.Entry == 0) continue;
            size_t I = Slot.Hash & Mask;
            while (FSlots[I].Entry != 0) I = (I + 1) & Mask;
            FSlots[I] = Slot;
        }
    }

    std::vector<TSlot> FSlots;
    std::vector<TEntry> FEntries;
    std::string FBytes;
    // The entries counted in the current file, in the order first seen.
    std::vector<uint32_t> FTouched;
    uint32_t FGeneration = 0;
    TPending FPending{};
    bool FHasPending = false;
    std::array<char, 256> FPendingBytes{};
};

// The lists one pass fills; a null entry is not built.
struct TTargets {
    TIntegerList* Lines = nullptr;
    TIntegerList* Pages = nullptr;
    TTagsCollection* Tags = nullptr;
    TAlignIndex* Sections = nullptr;
    TAlignIndex* Paragraphs = nullptr;
    TAlignIndex* Sentences = nullptr;
    TFreqList* Words = nullptr;
};

class TFilePass {
public:
    TFilePass(int Language, TConcordConfig& Config, TSynchroStream& Stream, const TProcessFileFlags& Flags,
              const TTargets& Targets)
        : FLanguage(Language),
          FConfig(Config),
          FStream(Stream),
          FFlags(Flags),
          FTargets(Targets),
          FSampler(Stream) {
        PrepareFormats();
        FReader = std::make_unique<TBufStream>(Stream, Language);
        FReader->SumContent(&FSum);
    }

    // The content sum of the whole text, once Run has gone through it: the stretches its reader did not
    // load in order are read for it now. None when the text is not the Size bytes the stream had when
    // opened (it grew, or a read failed).
    std::optional<uint64_t> ContentSum() {
        const int32_t Size = FStream.GetSize();
        std::vector<char> Buffer(size_t(1) << 16);
        for (int32_t At = int32_t(std::min<int64_t>(FSum.Length(), Size)); At < Size;) {
            const int32_t From = At;
            const int32_t Got =
                FStream.ReadAt(Buffer.data(), std::min<int32_t>(int32_t(Buffer.size()), Size - At), At);
            if (Got <= 0) return std::nullopt;
            FSum.AddAt(From, Buffer.data(), Got);
        }
        if (FSum.Length() != Size) return std::nullopt;
        return FSum.Value();
    }

    int Run(const std::string& FileName, int32_t& WordCount, TProgressForm* Window, TPassGauge Gauge) {
        TWaitScope Wait;
        FTally.Restart();
        ConfigureBufStream(*FReader);
        FTagStart = FReader->Tags().TagStart;
        FTagStop = FReader->Tags().TagStop;
        EmptyTargets();

        const int32_t Size = FStream.GetSize();
        // The gauge runs over this file, or over all the files of the pass that shares the window,
        // scaled to the gauge's int range.
        if (!Window || Gauge.Total <= 0) Gauge = TPassGauge{0, Size};
        const int64_t Scale = Gauge.Total / INT_MAX + 1;
        const int GaugeMax = static_cast<int>(Gauge.Total / Scale);
        std::unique_ptr<TProgressForm> Own;
        TProgressForm* Progress = Window;
        if (!Progress || Progress->Mode() != 5) PumpAtNextStep();
        if (Progress) {
            // A window already set up for this pass only takes the file's name, when it is next drawn.
            if (Progress->Mode() != 5 || Progress->Caption() != ProcessingCaption ||
                Progress->Max() != GaugeMax)
                Progress->Setup(5, ProcessingCaption, FileName, GaugeMax, 0, std::string());
            ProgressForm = Progress;
        } else {
            Own = ShowProgressForm(5, ProcessingCaption, FileName, GaugeMax, 0, std::string());
            Progress = Own.get();
        }
        if (!Progress->Visible()) ShowUnlessMinimized(Progress);
        const int32_t StepSize = std::max<int32_t>(Size / 100, 1);

        if (FFlags.BuildSegments) OpenSection(TMark{0, FCounts});
        TByte B;
        while (Fetch(B)) {
            if (B.Offset >= FNextStep) {
                if (PumpDue()) {
                    if (Progress->Text() != FileName) Progress->SetText(FileName);
                    Progress->SetProgress(static_cast<int>((Gauge.Before + B.Offset) / Scale));
                    ProcessMessages();
                }
                if (Progress->Tag != 0) {
                    if (FFlags.CountWords) FTally.MoveTo(*FTargets.Words);
                    return Progress->Tag;
                }
                FNextStep = B.Offset + StepSize;
            }
            // Most bytes continue a word or a tag: only the token and the measures change, and the rest
            // of a word is taken at once.
            if (B.T == ctWord && FPrev == ctWord) {
                if (FTokenLength < TokenCapacity) FToken[FTokenLength++] = B.C;
                FCounts += CountsLength | CountsText;
                TakeWordRun();
                continue;
            }
            if (B.T == ctTag && FPrev == ctTag && B.C != FTagStart && B.C != '\r' && B.C != '\n') {
                if (FTokenLength < TokenCapacity) FToken[FTokenLength++] = B.C;
                TakeTagRun();
                continue;
            }
            Step(B);
            if (B.T == ctWord) TakeWordRun();
            if (B.T == ctTag) TakeTagRun();
            if (B.T == ctPOSTag) TakeWordTagRun();
        }
        EndOfText(Size);
        if (FFlags.CountWords) {
            FTally.MoveTo(*FTargets.Words);
            WordCount = FWordCount;
        }
        return 0;
    }

private:
    // ---- Preparation ----

    void PrepareFormats() {
        const TCommonConcordConfig& Common = *CommonConfig;
        const TTextFormats F = EffectiveTextFormats(FConfig, Common);
        FHeadingFormat = F.Heading;
        FParagraphFormat = F.Paragraph;
        FSentenceFormat = F.Sentence;
        InitRegExpCharTables(FLanguage);
        // Compiled on every pass, also one that builds no segments, so that a bad marker is reported
        // whenever the corpus is processed instead of only when its segments happen to be rebuilt.
        if (FParagraphFormat == 0) {
            FPStart = CompileMarker(F.PStart, FLanguage);
            FPStop = CompileMarker(F.PStop, FLanguage);
        }
        if (FHeadingFormat == 0) {
            FHStart = CompileMarker(FConfig.HStart, FLanguage);
            FHStop = CompileMarker(FConfig.HStop, FLanguage);
        }
        if (FSentenceFormat == 0) {
            FSStart = CompileMarker(FConfig.SStart, FLanguage);
            FSStop = CompileMarker(FConfig.SStop, FLanguage);
        }
        PrepareHeadingPattern();
        if (FFlags.BuildSegments) PrepareSentenceEnds();
        FPageSeparator = StripTagDelimiters(Common.PageSeparator);
    }

    void PrepareHeadingPattern() {
        FHeadingChecks = FHeadingFormat == 1 || FHeadingFormat == 2;
        // An empty pattern would begin every paragraph; it finds no heading instead.
        if (!FHeadingChecks || FConfig.HPattern.empty()) return;
        if (FHeadingFormat == 2) {
            FHeadingRegExp = std::make_unique<TRegExp>(FConfig.HPattern, RegExpSyntaxHeading, FLanguage);
            return;
        }
        TCompiledMarker Marker = CompileMarker(FConfig.HPattern, FLanguage);
        FHeadingText = Marker.Text;
        FHeadingRegExp = std::move(Marker.RegExp);
    }

    void PrepareSentenceEnds() {
        if (FSentenceFormat != 1) return;
        for (char C : FConfig.SentDelimiters) FSentDelimiters.set(static_cast<uint8_t>(C));
        FSmartAbbr = FConfig.SmartAbbrDetect;
        FTrailingQuotes = FConfig.includeTrailingQuotes;
        FCharClasses = &CharClassesOf(FConfig);
        FExceptions = FConfig.SentenceExceptions;
        std::sort(FExceptions.begin(), FExceptions.end());
    }

    void EmptyTargets() {
        if (FTargets.Lines) {
            FTargets.Lines->Clear();
            FTargets.Lines->Add(0);
        }
        if (FTargets.Pages) {
            FTargets.Pages->Clear();
            FTargets.Pages->Add(0);
        }
        if (FTargets.Tags) FTargets.Tags->Clear();
        for (TAlignIndex* Index : {FTargets.Sections, FTargets.Paragraphs, FTargets.Sentences})
            if (Index) Index->Clear();
    }

    // ---- Reading ----

    // The reader's next byte. C and T stay in registers, and the byte is stored whole, so that reading
    // its fields back never waits for narrow stores.
    bool ReadNext(TByte& B) {
        TCharType T;
        const char C = FReader->NextChar(T);
        if (C == 0) return false;
        B = TByte{C, T, FNextOffset++};
        return true;
    }

    // The next byte: one looked at ahead and put back, or the reader's next.
    bool Fetch(TByte& B) {
        if (FHeld) {
            B = FHeldByte;
            FHeld = false;
            return true;
        }
        return ReadNext(B);
    }

    // The byte after the ones taken so far, left to be taken; null at the end of the text.
    const TByte* Peek() {
        if (!FHeld) FHeld = ReadNext(FHeldByte);
        return FHeld ? &FHeldByte : nullptr;
    }

    // Takes the byte that Peek showed without processing it.
    void Consume() {
        Count(FHeldByte);
        FHeld = false;
    }

    // Where the next byte to be taken begins.
    TMark Here() const { return TMark{FHeld ? FHeldByte.Offset : FNextOffset, FCounts}; }

    // Adds B to the running counts. The line feed of a CR LF pair is not counted: the pair is one break.
    void Count(const TByte& B) {
        if (!(B.C == '\n' && B.T == ctWhiteSpace)) FCounts += ClassCounts[B.T];
    }

    // ---- Bytes ----

    void Step(const TByte& B) {
        const TMark At{B.Offset, FCounts};
        if (B.T != ctNewLine && B.C != ' ' && B.C != '\t') LineHasText();
        if (FPrev == ctWord && B.T != ctWord) EndWord();
        if ((FPrev == ctTag && B.T != ctTag) || (B.T == ctTag && B.C == FTagStart && FTokenLength > 0))
            EndTag(At);
        Count(B);
        switch (B.T) {
            case ctDelimiter:
                if (FFlags.BuildSegments && FSentenceFormat == 1 &&
                    FSentDelimiters[static_cast<uint8_t>(B.C)])
                    SentenceDelimiter(B);
                break;
            case ctNewLine:
                LineBreak(B);
                break;
            case ctTag:
                if (B.C == '\r' || B.C == '\n') BreakInTag(B);
                [[fallthrough]];
            case ctWord:
                if (FTokenLength == 0) FTokenStart = B.Offset;
                if (FTokenLength < TokenCapacity) FToken[FTokenLength++] = B.C;
                break;
            case ctPOSTag:
                if (B.C == '\r' || B.C == '\n') BreakInTag(B);
                break;
            default:
                break;
        }
        FPrev = B.T;
    }

    // The word bytes after the one just taken, up to the window's end, in one go.
    void TakeWordRun() {
        if (FHeld) return;
        // Not past the next progress step, so the gauge and the message pump keep their pace.
        const int32_t Run = FReader->ReadWordRun(FToken + FTokenLength, TokenCapacity - FTokenLength,
                                                 FNextStep - FNextOffset);
        FTokenLength += std::min(Run, TokenCapacity - FTokenLength);
        FCounts += static_cast<TCounts>(Run) * (CountsLength | CountsText);
        FNextOffset += Run;
    }

    // The bytes of a tag after the one just taken, up to its end or its next line break, in one go;
    // they count for nothing in the segment measures.
    void TakeTagRun() {
        if (FHeld) return;
        const int32_t Run =
            FReader->ReadTagRun(FToken + FTokenLength, TokenCapacity - FTokenLength, FNextStep - FNextOffset);
        FTokenLength += std::min(Run, TokenCapacity - FTokenLength);
        FNextOffset += Run;
    }

    // The rest of a word tag after a separator: it counts for nothing and collects nothing.
    void TakeWordTagRun() {
        if (!FHeld) FNextOffset += FReader->ReadWordTagRun(FNextStep - FNextOffset);
    }

    // A virtual last byte, so that a word or tag that reaches the end of the text is taken.
    void EndOfText(int32_t Size) {
        TMark At = Here();
        if (FPrev == ctWord) EndWord();
        if (FPrev == ctTag) EndTag(At);
        if (FFlags.BuildSegments) {
            TMark End = At;
            End.Offset = Size;
            CloseSection(End);
        }
    }

    void EndWord() {
        if (FTokenLength == 0) return;
        const std::string_view Word(FToken, static_cast<size_t>(FTokenLength));
        ++FWordCount;
        // The word becomes the last word by exchanging the two buffers rather than copying it.
        std::swap(FToken, FLastWord);
        FLastWordLength = FTokenLength;
        if (FFlags.CountWords) FTally.Add(Word);
        FTokenLength = 0;
    }

    // A tag ends before the byte at A. Its position is its first byte, also when it was longer than the
    // bytes collected.
    void EndTag(const TMark& A) {
        TMark P = A;
        P.Offset = FTokenStart;
        const std::string_view Name = TagName();
        if (FFlags.BuildTags) FTargets.Tags->AddValue(Name, P.Offset);
        if (FFlags.BuildPages && !FPageSeparator.empty() && Name == FPageSeparator)
            FTargets.Pages->Add(P.Offset);
        if (FFlags.BuildSegments) SegmentTag(Name, P, A);
        FTokenLength = 0;
    }

    std::string_view TagName() const {
        std::string_view Name(FToken, static_cast<size_t>(FTokenLength));
        if (!Name.empty() && Name.front() == FTagStart) Name.remove_prefix(1);
        for (size_t I = 0; I < Name.size(); ++I) {
            const char C = Name[I];
            if (C == '\t' || C == '\n' || C == '\r' || C == ' ' || C == FTagStop) return Name.substr(0, I);
        }
        return Name;
    }

    void SegmentTag(std::string_view Name, const TMark& P, const TMark& A) {
        if (FParagraphFormat == 0 && (MarkerMatches(Name, FPStart) || MarkerMatches(Name, FPStop))) {
            CloseParagraph(P);
            OpenParagraph(A);
            if (FHeadingChecks) CheckHeadingPattern(A);
        }
        if (FHeadingFormat == 0 && (MarkerMatches(Name, FHStart) || MarkerMatches(Name, FHStop))) {
            CloseSection(P);
            OpenSection(A);
        }
        if (FSentenceFormat == 0 && (MarkerMatches(Name, FSStart) || MarkerMatches(Name, FSStop))) {
            CloseSentence(P);
            OpenSentence(A);
        }
    }

    // ---- Sentence ends ----

    void SentenceDelimiter(const TByte& B) {
        if (SentenceGoesOn(B.C)) return;
        TakeSentenceEnd();
        CloseSentence(Here());
        for (const TByte* Next = Peek(); Next && Next->T == ctWhiteSpace; Next = Peek()) Consume();
        OpenSentence(Here());
    }

    // "Wait... What?!" and "(Selah.)": the rest of a run of sentence-end characters and the closing
    // brackets after it end the same sentence, and, with the option, a trailing quote.
    void TakeSentenceEnd() {
        bool QuoteTaken = false;
        for (const TByte* Next = Peek(); Next && Next->T != ctTag && Next->T != ctPOSTag; Next = Peek()) {
            const char C = Next->C;
            const bool Ender = Next->T == ctDelimiter && FSentDelimiters[static_cast<uint8_t>(C)];
            const bool Closer = C == ')' || C == ']' || C == '}';
            const bool Quote = FTrailingQuotes && !QuoteTaken && (C == '"' || C == '\'');
            if (!Ender && !Closer && !Quote) return;
            QuoteTaken = QuoteTaken || Quote;
            Consume();
        }
    }

    // Whether the sentence-end character C follows an abbreviation or an exception word.
    bool SentenceGoesOn(char C) {
        // The buffer has room for C after the longest word; the last word itself keeps its length.
        FLastWord[FLastWordLength] = C;
        const std::string_view Word(FLastWord, static_cast<size_t>(FLastWordLength) + 1);
        if (FSmartAbbr) return IsAbbreviationIn(Word, *FCharClasses);
        return !FExceptions.empty() && ExceptionKey(Word, FConfig.LowerCaseMap, FExceptionKey) &&
               std::binary_search(FExceptions.begin(), FExceptions.end(), FExceptionKey);
    }

    // ---- Line breaks ----

    void LineBreak(const TByte& B) {
        const TMark AfterBreak{B.Offset + 1, FCounts};
        if (B.C == '\r') {
            const TByte* Next = Peek();
            if (Next && Next->C == '\n' && (Next->T == ctWhiteSpace || Next->T == ctNewLine)) Consume();
        }
        const TMark L = Here();
        // A line of only blanks and tabs after a line break is empty.
        const bool EmptyLine = FLineBlank && FAfterBreak;
        FLineBlank = true;
        FAfterBreak = true;
        if (!EmptyLine) FLastBreak = AfterBreak;
        if (FFlags.BuildLines) FTargets.Lines->Add(L.Offset);
        if (!FFlags.BuildSegments) return;
        switch (FParagraphFormat) {
            case 1:
                NewParagraph(L, L);
                break;
            case 2:
                if (EmptyLine) EmptyLineBreak(L);
                break;
            case 3:
                IndentedLine(L);
                break;
            default:
                break;
        }
    }

    // A line break inside a tag or a word tag still starts a line (a CR LF pair once), so that line
    // numbers agree with the raw text the views count.
    void BreakInTag(const TByte& B) {
        if (!FFlags.BuildLines || B.Offset == FTakenLineFeed) return;
        int32_t After = B.Offset + 1;
        if (B.C == '\r') {
            const TByte* Next = Peek();
            if (Next && Next->C == '\n') FTakenLineFeed = After++;
        }
        FTargets.Lines->Add(After);
    }

    // The paragraph before a run of empty lines ends after its last line break; the next one begins,
    // and is checked for a heading, at the first byte after the run, once that byte shows text.
    void EmptyLineBreak(const TMark& L) {
        if (!FOpenPending) CloseParagraph(FLastBreak);
        OpenParagraph(L);
        FPendingOpen = L;
        FOpenPending = true;
    }

    void LineHasText() {
        FLineBlank = false;
        if (!FOpenPending) return;
        FOpenPending = false;
        if (FHeadingChecks) CheckHeadingPattern(FPendingOpen);
    }

    void NewParagraph(const TMark& CloseAt, const TMark& OpenAt) {
        CloseParagraph(CloseAt);
        OpenParagraph(OpenAt);
        if (FHeadingChecks) CheckHeadingPattern(OpenAt);
    }

    // A line that begins with blanks or tabs begins a paragraph at its first other byte.
    void IndentedLine(const TMark& L) {
        auto IsIndent = [](const TByte* B) { return B && (B->C == ' ' || B->C == '\t'); };
        if (!IsIndent(Peek())) return;
        CloseParagraph(L);
        while (IsIndent(Peek())) Consume();
        const TMark Start = Here();
        OpenParagraph(Start);
        if (FHeadingChecks) CheckHeadingPattern(Start);
    }

    // ---- Headings ----

    void CheckHeadingPattern(const TMark& X) {
        if (FHeadingPending) {
            CloseSection(X);
            OpenSection(X);
            FHeadingPending = false;
        }
        if (HeadingAt(X.Offset)) {
            CloseSection(X);
            OpenSection(X);
            FHeadingPending = true;
        }
    }

    bool HeadingAt(int32_t Offset) {
        const std::string_view Sample = FSampler.At(Offset);
        const int32_t SampleEnd = std::min<int32_t>(HeadingSampleSize, int32_t(Sample.size()));
        if (FHeadingRegExp) {
            TRegExpSpan Span;
            return FHeadingRegExp->Search(Sample, 0, SampleEnd, Span) && Span.Start == 0;
        }
        return !FHeadingText.empty() && Sample.substr(0, size_t(SampleEnd)).starts_with(FHeadingText);
    }

    // ---- Units ----

    void OpenSentence(const TMark& X) { FSentence = TUnit{X}; }

    void CloseSentence(const TMark& X) {
        const int32_t Text = X.Text() - FSentence.Start.Text();
        if (Text <= 0) return;
        const int32_t Length = X.Length() - FSentence.Start.Length();
        FTargets.Sentences->Add(FSentence.Start.Offset, X.Offset, Length);
        FParagraph.Length += Length;
        FParagraph.Empty = false;
        FSection.Length += Length;
        FSection.Empty = false;
    }

    void OpenParagraph(const TMark& X) {
        FParagraph = TUnit{X};
        OpenSentence(X);
    }

    void CloseParagraph(const TMark& X) {
        CloseSentence(X);
        if (!FParagraph.Empty) FTargets.Paragraphs->Add(FParagraph.Start.Offset, X.Offset, FParagraph.Length);
        FParagraph.Empty = true;
        FParagraph.Length = 0;
    }

    void OpenSection(const TMark& X) {
        FSection = TUnit{X};
        OpenParagraph(X);
    }

    void CloseSection(const TMark& X) {
        CloseParagraph(X);
        if (!FSection.Empty) FTargets.Sections->Add(FSection.Start.Offset, X.Offset, FSection.Length);
        FSection.Empty = true;
        FSection.Length = 0;
    }

    // ---- State ----

    const int FLanguage;
    TConcordConfig& FConfig;
    TSynchroStream& FStream;
    const TProcessFileFlags FFlags;
    const TTargets FTargets;
    TContentSum FSum;
    THeadingSampler FSampler;
    std::unique_ptr<TBufStream> FReader;
    char FTagStart = 0;
    char FTagStop = 0;

    uint8_t FHeadingFormat = 3;
    uint8_t FParagraphFormat = 0;
    uint8_t FSentenceFormat = 0;
    TCompiledMarker FPStart, FPStop, FHStart, FHStop, FSStart, FSStop;
    bool FHeadingChecks = false;
    std::string FHeadingText;
    std::unique_ptr<TRegExp> FHeadingRegExp;
    std::string FPageSeparator;
    TCharSet FSentDelimiters;
    bool FSmartAbbr = false;
    bool FTrailingQuotes = false;
    const std::array<uint16_t, 256>* FCharClasses = nullptr;
    std::vector<std::string> FExceptions;
    std::string FExceptionKey;

    int32_t FNextOffset = 0;
    int32_t FNextStep = 0;
    bool FHeld = false;
    TByte FHeldByte;
    TCounts FCounts = 0;
    TCharType FPrev = ctNone;
    // The token being collected and the last complete word, each in one of two buffers.
    std::array<char, TokenCapacity + 1> FWordBuffers[2]{};
    char* FToken = FWordBuffers[0].data();
    int32_t FTokenLength = 0;
    int32_t FTokenStart = 0;
    char* FLastWord = FWordBuffers[1].data();
    int32_t FLastWordLength = 0;
    int32_t FWordCount = 0;
    TWordTally& FTally = TWordTally::OfThisThread();
    // The current line holds only blanks and tabs so far; a line break came before it.
    bool FLineBlank = true;
    bool FAfterBreak = false;
    TMark FLastBreak;
    // A paragraph opened after empty lines waits for text before its heading check.
    bool FOpenPending = false;
    TMark FPendingOpen;
    // The line feed of a CR LF pair inside a tag whose line start is already recorded.
    int32_t FTakenLineFeed = -1;
    bool FHeadingPending = false;
    TUnit FSection, FParagraph, FSentence;
};

// The slot of file I when Wanted, which must then hold a list.
template <class T, class Codec>
T* RequiredSlot(const TSlotList<T, Codec>& Slots, size_t I, bool Wanted, const char* What) {
    if (!Wanted) return nullptr;
    T* Item = static_cast<int32_t>(I) < Slots.Count() ? Slots.GetItem(static_cast<int32_t>(I)) : nullptr;
    if (!Item) throw std::logic_error(std::string("The corpus pass needs the file's ") + What);
    return Item;
}

}  // namespace

// ---- Text formats ----------------------------------------------------------------------------------------

TTextFormats EffectiveTextFormats(const TConcordConfig& Config, const TCommonConcordConfig& Common) {
    TTextFormats F;
    F.Sentence = Config.SentenceFormat;
    switch (Common.AlignFormat) {
        case 0:
            F.Heading = Config.HeadingFormat;
            F.Paragraph = Config.ParagraphFormat;
            F.PStart = Config.PStart;
            F.PStop = Config.PStop;
            break;
        case 1:
            F.Paragraph = 1;
            break;
        case 2:
            F.Paragraph = 0;
            F.PStart = Common.AlignDelimiter;
            break;
        default:
            F.Paragraph = 0;
            F.PStart = Common.AlignStart;
            F.PStop = Common.AlignStop;
            break;
    }
    return F;
}

// ---- Markers and sentence ends ----------------------------------------------------------------------------

TCompiledMarker::TCompiledMarker() = default;
TCompiledMarker::TCompiledMarker(TCompiledMarker&&) noexcept = default;
TCompiledMarker& TCompiledMarker::operator=(TCompiledMarker&&) noexcept = default;
TCompiledMarker::~TCompiledMarker() = default;

std::string MarkerToRegExp(std::string_view Marker, bool& HasPattern) {
    HasPattern = false;
    for (size_t I = 0; I + 1 < Marker.size() && !HasPattern; ++I)
        HasPattern = Marker[I] == '%' && (Marker[I + 1] == 'd' || Marker[I + 1] == 'r');
    if (!HasPattern) return std::string(Marker);
    static constexpr std::string_view Special = "$()*+,.?[\\]^{|}";
    std::string Result;
    for (size_t I = 0; I < Marker.size(); ++I) {
        const char C = Marker[I];
        if (C == '%' && I + 1 < Marker.size() && (Marker[I + 1] == 'd' || Marker[I + 1] == 'r')) {
            Result += Marker[++I] == 'd' ? "\\d+" : "[IVXLivxl]+";
            continue;
        }
        if (Special.find(C) != std::string_view::npos) Result += '\\';
        Result += C;
    }
    return Result;
}

TCompiledMarker CompileMarker(std::string_view Marker, int Language) {
    TCompiledMarker Compiled;
    bool HasPattern = false;
    Compiled.Text = MarkerToRegExp(StripTagDelimiters(Marker), HasPattern);
    if (HasPattern)
        Compiled.RegExp = std::make_unique<TRegExp>(Compiled.Text, RegExpSyntaxExtended, Language);
    return Compiled;
}

bool MarkerMatches(std::string_view TagName, TCompiledMarker& Marker) {
    if (Marker.Text.empty()) return false;
    if (!Marker.RegExp) return TagName == Marker.Text;
    TRegExpSpan Span;
    return !TagName.empty() && Marker.RegExp->Search(TagName, 0, Span) && Span.Start == 0 &&
           Span.End == static_cast<int32_t>(TagName.size());
}

bool IsSentenceDelimiter(int Language, char C) {
    return LanguageAt(Language).SentDelimiters.find(C) != std::string::npos;
}

bool IsAbbreviation(int Language, std::string_view W) {
    const TConcordConfig& Config = LanguageAt(Language);
    return Config.SmartAbbrDetect && IsAbbreviationIn(W, CharClassesOf(Config));
}

bool IsSentenceException(int Language, std::string_view W) {
    const TConcordConfig& Config = LanguageAt(Language);
    std::string Key;
    if (Config.SmartAbbrDetect || !ExceptionKey(W, Config.LowerCaseMap, Key)) return false;
    const auto& List = Config.SentenceExceptions;
    return std::find(List.begin(), List.end(), Key) != List.end();
}

// ---- The pass ---------------------------------------------------------------------------------------------

void SetPassPumpInterval(int Milliseconds) {
    PumpIntervalMs.store(std::max(Milliseconds, 0), std::memory_order_relaxed);
}

int ProcessFile(int Language, int FileIndex, const TProcessFileFlags& Flags, int32_t& WordCount,
                TProgressForm* Window, TPassGauge Gauge) {
    TConcordConfig& Config = LanguageAt(Language);
    if (FileIndex < 0 || static_cast<size_t>(FileIndex) >= Config.Files.size())
        throw std::out_of_range("File does not exist");
    if (!CommonConfig) throw std::logic_error("The corpus pass needs the options object");
    const size_t I = static_cast<size_t>(FileIndex);
    TSynchroStream* Stream = I < Config.Streams.size() ? Config.Streams[I].get() : nullptr;
    if (!Stream) throw std::logic_error("The corpus pass needs the file's stream");

    TTargets Targets;
    Targets.Lines = RequiredSlot(Config.LineStarts, I, Flags.BuildLines, "line starts");
    Targets.Pages = RequiredSlot(Config.PageStarts, I, Flags.BuildPages, "page starts");
    Targets.Tags = RequiredSlot(Config.FileTags, I, Flags.BuildTags, "tag collection");
    Targets.Sections = RequiredSlot(Config.SectionIndexes, I, Flags.BuildSegments, "sections");
    Targets.Paragraphs = RequiredSlot(Config.ParagraphIndexes, I, Flags.BuildSegments, "paragraphs");
    Targets.Sentences = RequiredSlot(Config.SentenceIndexes, I, Flags.BuildSegments, "sentences");
    if (Flags.CountWords) {
        Targets.Words = Config.FreqList.get();
        if (!Targets.Words) throw std::logic_error("The corpus pass needs the language's frequency list");
    }

    TFilePass Pass(Language, Config, *Stream, Flags, Targets);
    const int Code = Pass.Run(Config.Files[I].Name, WordCount, Window, Gauge);
    if (Code == 0) {
        Stream->SetContentSum(Pass.ContentSum());
        for (TIntegerList* List :
             {static_cast<TIntegerList*>(Targets.Lines), static_cast<TIntegerList*>(Targets.Pages),
              static_cast<TIntegerList*>(Targets.Sections), static_cast<TIntegerList*>(Targets.Paragraphs),
              static_cast<TIntegerList*>(Targets.Sentences)})
            if (List) List->ShrinkToFit();
        if (Targets.Tags) Targets.Tags->ShrinkToFit();
    }
    return Code;
}
