#include "engine/ConcFreqList.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "engine/BStream.h"
#include "engine/ConcConfig.h"
#include "engine/ConcIndex.h"
#include "engine/ConcTextProcess.h"
#include "engine/ConcUtils.h"
#include "ui/ConcProgress.h"
#include "ui/Msg.h"

namespace {

// Bob Jenkins' one-at-a-time hash. The bucket is its low 14 bits; the rest lets a bucket scan skip
// most words without comparing them.
uint32_t WordHash(std::string_view Word) {
    uint32_t H = 0;
    for (const char C : Word) {
        H += static_cast<unsigned char>(C);
        H += H << 10;
        H ^= H >> 6;
    }
    H += H << 3;
    H ^= H >> 11;
    H += H << 15;
    return H;
}

// The hash of the word index: eight bytes at a time, so that finding a known word costs a few
// multiplications instead of the byte-by-byte bucket hash, which only a new word needs.
uint32_t IndexHash(std::string_view Word) {
    const char* P = Word.data();
    size_t N = Word.size();
    uint64_t H = 0x9E3779B97F4A7C15ULL ^ N;
    for (; N >= 8; P += 8, N -= 8) {
        uint64_t V;
        std::memcpy(&V, P, 8);
        H = (H ^ V) * 0xBF58476D1CE4E5B9ULL;
        H ^= H >> 31;
    }
    uint64_t V = 0;
    for (size_t I = 0; I < N; ++I) V |= static_cast<uint64_t>(static_cast<unsigned char>(P[I])) << (8 * I);
    H = (H ^ V) * 0x94D049BB133111EBULL;
    return static_cast<uint32_t>(H ^ (H >> 32));
}

uint64_t NewStamp() {
    static std::atomic<uint64_t> Next{1};
    return Next.fetch_add(1);
}

int32_t MakeReference(size_t Slot, uint32_t Bucket) {
    return static_cast<int32_t>((static_cast<uint32_t>(Slot) << TFreqList::SlotShift) | Bucket);
}

// The place TIntegerList::Add gives a value: appended when not below the last entry, otherwise after
// the entries not above it.
void InsertOrdered(std::vector<int32_t>& Order, int32_t Reference) {
    auto Place = Order.end();
    if (!Order.empty() && Reference < Order.back())
        Place = std::upper_bound(Order.begin(), Order.end(), Reference);
    Order.insert(Place, Reference);
}

// Below this many new words, placing them one by one costs less than checking the order and merging.
constexpr size_t MergeThreshold = 64;

}  // namespace

int32_t HashWord(std::string_view Word) {
    return static_cast<int32_t>(WordHash(Word) & TFreqList::BucketMask);
}

// ---- TFreqItem ---------------------------------------------------------------------------------------

std::unique_ptr<TFreqItem> TFreqItem::CreateCopy(const TFreqItem& Source) {
    auto Copy = std::make_unique<TFreqItem>(Source.Word, Source.Frequency);
    Copy->Score = Source.Score;
    Copy->OwnScore = Source.OwnScore;
    Copy->ParadigmLinked = Source.ParadigmLinked;
    Copy->Chosen = Source.Chosen;
    if (Source.Positions) {
        // An item holds one position per occurrence; a short list must not be read past its end.
        const size_t Kept =
            std::min(static_cast<size_t>(std::max(Source.Frequency, 0)), Source.Positions->size());
        Copy->Positions = std::make_unique<TFreqItemPositions>(
            Source.Positions->begin(), Source.Positions->begin() + static_cast<ptrdiff_t>(Kept));
    }
    return Copy;
}

std::unique_ptr<TFreqItem> TFreqItem::CreateFromStream(TStream& Stream) {
    std::string Word = ReadStreamString(Stream);
    const int32_t Frequency = ReadStreamInteger(Stream);
    return std::make_unique<TFreqItem>(std::move(Word), Frequency);
}

void TFreqItem::SaveToStream(TStream& Stream) const {
    WriteStreamString(Stream, Word);
    WriteStreamInteger(Stream, Frequency);
}

// ---- TFreqList: words --------------------------------------------------------------------------------

TFreqList::TFreqList(int32_t Language)
    : FLanguage(Language),
      FIgnoreCase(Language >= 0 && Language < MaxLanguages && FrequencyConfigs[Language].IgnoreCase),
      FStamp(NewStamp()) {}

TFreqList::~TFreqList() = default;

namespace {

size_t IndexSlotOf(uint32_t Hash, size_t Mask) {
    return static_cast<size_t>(Hash) & Mask;
}

// Words are short: a plain loop beats a call.
bool SameBytes(const char* A, const char* B, size_t Length) {
    for (size_t I = 0; I < Length; ++I)
        if (A[I] != B[I]) return false;
    return true;
}

constexpr size_t HeadBytes = 8;
constexpr size_t MinIndexSize = 1024;

// Item blocks: 16, 32, ... 1024 items (DoublingBlocks of them), then 1024 each. A block's items are
// made with it, so that the unused end of the last block is memory held: the four collocate lists of
// a search hold some 5,000 words each, which blocks of 4096 rounded up to 8,176.
constexpr size_t FirstBlockShift = 4;
constexpr size_t DoublingBlocks = 7;
constexpr size_t LargestBlock = size_t(1) << (FirstBlockShift + DoublingBlocks - 1);
constexpr size_t DoublingItems = (LargestBlock << 1) - (size_t(1) << FirstBlockShift);

size_t ItemsInBlock(size_t Block) {
    return Block < DoublingBlocks ? size_t(1) << (FirstBlockShift + Block) : LargestBlock;
}

// The items in the blocks before Block.
size_t BlockedItems(size_t Block) {
    return Block < DoublingBlocks ? (size_t(1) << (FirstBlockShift + Block)) - (size_t(1) << FirstBlockShift)
                                  : DoublingItems + (Block - DoublingBlocks) * LargestBlock;
}

size_t BlockOfItem(size_t Number) {
    if (Number >= DoublingItems) return DoublingBlocks + (Number - DoublingItems) / LargestBlock;
    return static_cast<size_t>(std::bit_width((Number >> FirstBlockShift) + 1)) - 1;
}

uint64_t HeadOf(std::string_view Word) {
    uint64_t Head = 0;
    std::memcpy(&Head, Word.data(), std::min(Word.size(), HeadBytes));
    return Head;
}

}  // namespace

TFreqList::TIndexSlot TFreqList::SlotOf(uint32_t Hash, TItemNumber Number, const TFreqItem& Item) {
    return TIndexSlot{Hash, Number, HeadOf(Item.Word)};
}

TFreqItem* TFreqList::Find(std::string_view Key, uint32_t Hash) const {
    if (FIndex.empty()) return nullptr;
    const size_t Mask = FIndex.size() - 1;
    const uint64_t Head = HeadOf(Key);
    for (size_t I = IndexSlotOf(Hash, Mask);; I = (I + 1) & Mask) {
        const TIndexSlot& Slot = FIndex[I];
        if (Slot.Item == NoItem) return nullptr;
        if (Slot.Hash != Hash || Slot.Head != Head) continue;
        // Words hold no 0 byte: a key shorter than the head equals the word whose head it equals.
        if (Key.size() < HeadBytes) return &ItemAt(Slot.Item);
        TFreqItem& Item = ItemAt(Slot.Item);
        if (Item.Word.size() == Key.size() &&
            SameBytes(Item.Word.data() + HeadBytes, Key.data() + HeadBytes, Key.size() - HeadBytes))
            return &Item;
    }
}

void TFreqList::IndexItem(uint32_t Hash, TItemNumber Number, const TFreqItem& Item) {
    // Only a list that held no word before this one has no index: there is nothing to index but Item.
    if (FIndex.empty()) FIndex.assign(MinIndexSize, TIndexSlot{});
    if (static_cast<size_t>(FIndexed + 1) * 2 > FIndex.size()) GrowIndex();
    PlaceInIndex(SlotOf(Hash, Number, Item));
    ++FIndexed;
}

void TFreqList::PlaceInIndex(const TIndexSlot& Slot) {
    const size_t Mask = FIndex.size() - 1;
    size_t I = IndexSlotOf(Slot.Hash, Mask);
    while (FIndex[I].Item != NoItem) I = (I + 1) & Mask;
    FIndex[I] = Slot;
}

// The index holds every item: a table twice its size is filled from it rather than from the buckets,
// most of which are empty in the small lists of a concordance's collocates.
void TFreqList::GrowIndex() {
    std::vector<TIndexSlot> Old(FIndex.size() * 2);
    Old.swap(FIndex);
    for (const TIndexSlot& Slot : Old)
        if (Slot.Item != NoItem) PlaceInIndex(Slot);
}

// Indexes every item of the buckets afresh, in a table with room for twice as many.
void TFreqList::RebuildIndex() {
    PlaceNewWords();
    FIndexed = FBuckets ? ItemTotal() : 0;
    size_t Size = MinIndexSize;
    while (Size < static_cast<size_t>(FIndexed) * 2) Size *= 2;
    FIndex.assign(Size, TIndexSlot{});
    if (!FBuckets) return;
    const size_t Mask = Size - 1;
    for (const TBucket& Bucket : *FBuckets)
        for (const TEntry& Entry : Bucket) {
            size_t I = IndexSlotOf(Entry.Hash, Mask);
            while (FIndex[I].Item != NoItem) I = (I + 1) & Mask;
            FIndex[I] = SlotOf(Entry.Hash, Entry.Item, ItemAt(Entry.Item));
        }
}

// Stored words are already in the list's form, so equal under the case rule means equal bytes.
TFreqItem* TFreqList::FindWord(std::string_view Key) const {
    return Find(Key, IndexHash(Key));
}

TFreqList::TKey TFreqList::KeyOf(std::string_view StoredWord) {
    return TKey{StoredWord, IndexHash(StoredWord)};
}

TFreqItem* TFreqList::FindWord(const TKey& Key) const {
    return Find(Key.Word, Key.Hash);
}

void TFreqList::PrefetchWord(const TKey& Key) const {
    if (!FIndex.empty()) {
        const TIndexSlot* Slot = &FIndex[IndexSlotOf(Key.Hash, FIndex.size() - 1)];
        __builtin_prefetch(Slot);
        __builtin_prefetch(reinterpret_cast<const char*>(Slot + 1) - 1);
    }
    // Counting moves the word to the next frequency, low ones at the end; ranking reads the highest.
    if (!FFrequencies.empty()) {
        const auto* Ranked = reinterpret_cast<const char*>(FFrequencies.data());
        const auto Shown = static_cast<size_t>(TopCount());
        for (size_t Offset = 0; Offset < Shown * sizeof(TTopEntry); Offset += 64)
            __builtin_prefetch(Ranked + Offset);
        __builtin_prefetch(&FFrequencies.back());
    }
}

void TFreqList::PrefetchHead() const {
    const char* Head = reinterpret_cast<const char*>(this);
    for (size_t Offset = 0; Offset < sizeof(TFreqList); Offset += 64) __builtin_prefetch(Head + Offset);
    __builtin_prefetch(Head + sizeof(TFreqList) - 1);
}

void TFreqList::PrefetchNewWord(const TKey&) const {
    if (FItemCount < BlockedItems(FItemBlocks.size())) __builtin_prefetch(&ItemAt(FItemCount), 1);
}

TFreqItem* TFreqList::CountWord(std::string_view Key, int32_t Count) {
    const uint32_t Hash = IndexHash(Key);
    if (TFreqItem* Item = Find(Key, Hash)) {
        FSortState = TFreqSort::None;
        Item->Frequency += Count;
        if (FTopLimit > 0) TopChanged(Item->Frequency - Count, Item->Frequency);
        return Item;
    }
    return CountNewWord(Key, Hash, Count);
}

TFreqItem* TFreqList::AddNewWord(const TKey& Key, int32_t Count) {
    return CountNewWord(Key.Word, Key.Hash, Count);
}

TFreqItem* TFreqList::CountNewWord(std::string_view Key, uint32_t Hash, int32_t Count) {
    FSortState = TFreqSort::None;
    TItemNumber Number;
    TFreqItem& Item = NewItem(Number);
    Item.Word.assign(Key);
    Item.Frequency = Count;
    if (FTopLimit > 0) TopChanged(0, Count);
    IndexItem(Hash, Number, Item);
    return &Item;
}

TFreqItem& TFreqList::NewItem(TItemNumber& Number) {
    const size_t Block = BlockOfItem(FItemCount);
    if (Block == FItemBlocks.size())
        FItemBlocks.push_back(std::make_unique<TFreqItem[]>(ItemsInBlock(Block)));
    Number = FItemCount++;
    return ItemAt(Number);
}

TFreqItem& TFreqList::ItemAt(TItemNumber Number) const {
    const size_t Block = BlockOfItem(Number);
    return FItemBlocks[Block][Number - BlockedItems(Block)];
}

TFreqItem* TFreqList::AddWord(std::string_view Word, int32_t Count) {
    if (!FIgnoreCase) return CountWord(Word, Count);
    // Folded in a buffer the list keeps, so that counting a known word allocates nothing.
    FKey.assign(Word);
    LangStrLower(FKey.data(), FKey.data(), FLanguage);
    return CountWord(FKey, Count);
}

void TFreqList::CountItem(TFreqItem& Item, int32_t Count) {
    FSortState = TFreqSort::None;
    Item.Frequency += Count;
    if (FTopLimit > 0) TopChanged(Item.Frequency - Count, Item.Frequency);
}

TFreqItem* TFreqList::AddWordWithPos(std::string_view Word, const TFreqItemPos& Pos) {
    TFreqItem* Item = AddWord(Word);
    if (!Item->Positions) Item->Positions = std::make_unique<TFreqItemPositions>();
    Item->Positions->push_back(Pos);
    return Item;
}

int32_t TFreqList::ItemTotal() const {
    PlaceNewWords();
    int32_t Total = 0;
    if (FBuckets)
        for (const TBucket& Bucket : *FBuckets) Total += static_cast<int32_t>(Bucket.size());
    return Total;
}

TFreqItem* TFreqList::ItemOfReference(int32_t Reference) const {
    PlaceNewWords();
    if (Reference < 0 || !FBuckets) return nullptr;
    const TBucket& Bucket = (*FBuckets)[static_cast<size_t>(Reference & BucketMask)];
    const auto Slot = static_cast<size_t>(Reference >> SlotShift);
    return Slot < Bucket.size() ? &ItemAt(Bucket[Slot].Item) : nullptr;
}

// ---- TFreqList: display order ------------------------------------------------------------------------

void TFreqList::PlaceNewWords() const {
    if (FPlaced == FItemCount) return;
    if (!FBuckets) FBuckets = std::make_unique<std::array<TBucket, BucketCount>>();
    FPending.reserve(FPending.size() + (FItemCount - FPlaced));
    for (; FPlaced < FItemCount; ++FPlaced) {
        const std::string& Word = ItemAt(FPlaced).Word;
        const uint32_t BucketIndex = WordHash(Word) & BucketMask;
        TBucket& Bucket = (*FBuckets)[BucketIndex];
        // Most buckets of a list hold a few words: growing one by one would copy a bucket for each of
        // its first words.
        if (Bucket.capacity() == 0) Bucket.reserve(4);
        Bucket.push_back({IndexHash(Word), FPlaced});
        FPending.push_back(MakeReference(Bucket.size() - 1, BucketIndex));
    }
}

void TFreqList::FlushPending() const {
    PlaceNewWords();
    if (FPending.empty()) return;
    // While the order is still the ascending order of references (no sort since the last clear), the
    // ordered inserts of all pending references give the same result as one merge.
    if (FPending.size() >= MergeThreshold && std::is_sorted(FOrder.begin(), FOrder.end())) {
        std::sort(FPending.begin(), FPending.end());
        const auto Middle = static_cast<ptrdiff_t>(FOrder.size());
        FOrder.insert(FOrder.end(), FPending.begin(), FPending.end());
        std::inplace_merge(FOrder.begin(), FOrder.begin() + Middle, FOrder.end());
    } else {
        FOrder.reserve(FOrder.size() + FPending.size());
        for (const int32_t Reference : FPending) InsertOrdered(FOrder, Reference);
    }
    FPending.clear();
}

const std::vector<int32_t>& TFreqList::Order() const {
    FlushPending();
    return FOrder;
}

TFreqItem* TFreqList::GetItem(int32_t I) const {
    FlushPending();
    if (I < 0 || static_cast<size_t>(I) >= FOrder.size()) throw std::out_of_range("List index out of bounds");
    return ItemOfReference(FOrder[static_cast<size_t>(I)]);
}

void TFreqList::DeleteItem(int32_t I) {
    FlushPending();
    FStamp = NewStamp();
    if (I < 0 || static_cast<size_t>(I) >= FOrder.size()) throw std::out_of_range("List index out of bounds");
    const int32_t Reference = FOrder[static_cast<size_t>(I)];
    const int32_t BucketIndex = Reference & BucketMask;
    const int32_t Slot = Reference >> SlotShift;
    TBucket& Bucket = (*FBuckets)[static_cast<size_t>(BucketIndex)];
    TFreqItem& Deleted = ItemAt(Bucket[static_cast<size_t>(Slot)].Item);
    if (FTopLimit > 0) TopChanged(Deleted.Frequency, 0);
    Deleted = TFreqItem();
    Bucket.erase(Bucket.begin() + Slot);
    const bool LaterSlotsMoved = static_cast<size_t>(Slot) < Bucket.size();
    if (Bucket.empty()) TBucket().swap(Bucket);
    FOrder.erase(FOrder.begin() + I);
    RebuildIndex();
    if (!LaterSlotsMoved) return;
    for (int32_t& Other : FOrder)
        if ((Other & BucketMask) == BucketIndex && (Other >> SlotShift) > Slot) Other -= 1 << SlotShift;
}

void TFreqList::Clear() {
    FStamp = NewStamp();
    FBuckets.reset();
    FItemBlocks.clear();
    FItemCount = FPlaced = 0;
    // Fresh vectors, not {} (which empties a vector and keeps its room).
    std::vector<TIndexSlot>().swap(FIndex);
    FIndexed = 0;
    std::vector<int32_t>().swap(FOrder);
    std::vector<int32_t>().swap(FPending);
    FFrequencies.clear();
    FSortState = TFreqSort::None;
}

void TFreqList::SortOrder(bool Alphabetical) {
    FlushPending();
    // Each key carries the frequency and the first bytes of its word, so that most comparisons of a
    // large list touch no item: following a pointer per comparison made sorting a corpus list of
    // 400,000 words take half a second. The prefix goes through the case map as the comparison does
    // (a list read from a workspace may hold words its case rule would have folded), so both always agree.
    struct TKey {
        uint64_t Prefix;
        const TFreqItem* Item;
        int32_t Frequency;
        int32_t Reference;
    };
    const bool Fold = FIgnoreCase;
    const int32_t Language = FLanguage;
    const bool HasMap = Fold && Language >= 0 && Language < MaxLanguages && LanguageConfigs[size_t(Language)];
    const uint8_t* Map = HasMap ? LanguageConfigs[size_t(Language)]->LowerCaseMap.data() : nullptr;
    auto PrefixOf = [Map](const std::string& Word) {
        uint64_t Prefix = 0;
        for (size_t I = 0; I < sizeof Prefix; ++I) {
            const uint8_t B = I < Word.size() ? static_cast<uint8_t>(Word[I]) : 0;
            Prefix = Prefix << 8 | (Map ? Map[B] : B);
        }
        return Prefix;
    };
    std::vector<TKey> Keys;
    Keys.reserve(FOrder.size());
    for (const int32_t Reference : FOrder) {
        const TFreqItem* Item = ItemOfReference(Reference);
        Keys.push_back({PrefixOf(Item->Word), Item, Item->Frequency, Reference});
    }
    // Words hold no 0 byte, so equal prefixes differ, if at all, only after their first eight bytes, and
    // the prefixes order as LangStrComp orders the words.
    auto CompareWords = [Fold, Language](const TKey& A, const TKey& B) {
        if (A.Prefix != B.Prefix) return A.Prefix < B.Prefix ? -1 : 1;
        return LangStrComp(A.Item->Word, B.Item->Word, Fold, Language);
    };
    // Words of one list are distinct under its case rule, so the keys are total and every correct
    // sort gives the same order; the reference only makes that independent of the algorithm.
    auto Compare = [Alphabetical, &CompareWords](const TKey& A, const TKey& B) {
        const int Frequencies = B.Frequency < A.Frequency ? -1 : A.Frequency < B.Frequency ? 1 : 0;
        if (!Alphabetical && Frequencies != 0) return Frequencies < 0;
        const int Words = CompareWords(A, B);
        if (Words != 0) return Words < 0;
        if (Frequencies != 0) return Frequencies < 0;
        return A.Reference < B.Reference;
    };
    std::sort(Keys.begin(), Keys.end(), Compare);
    for (size_t I = 0; I < Keys.size(); ++I) FOrder[I] = Keys[I].Reference;
    FSortState = Alphabetical ? TFreqSort::Alphabetical : TFreqSort::ByFrequency;
}

void TFreqList::SortByFrequency() {
    SortOrder(false);
}

void TFreqList::SortAlphabetically() {
    SortOrder(true);
}

// ---- TFreqList: top frequencies ----------------------------------------------------------------------

// The table is read from a complete count of frequencies: updating only the tracked entries loses
// frequencies that climb back into the top after dropping out of it.
void TFreqList::TopChanged(int32_t OldFrequency, int32_t NewFrequency) {
    std::vector<TTopEntry>& Table = FFrequencies;
    // Every entry from End on is not above NewFrequency when it grows, so its place lies before End:
    // a count moves a word up by little, and its new place is a step or two above its old one.
    size_t End = Table.size();
    if (OldFrequency > 0) {
        const size_t At = FrequencyPlace(OldFrequency, Table.size());
        if (At < Table.size() && Table[At].Frequency == OldFrequency && --Table[At].WordCount == 0) {
            // A word that alone had its frequency and passes no other frequency on its way up keeps
            // its entry: the usual case of a count of one.
            if (NewFrequency > OldFrequency && (At == 0 || Table[At - 1].Frequency > NewFrequency)) {
                Table[At] = {NewFrequency, 1};
                return;
            }
            Table.erase(Table.begin() + static_cast<ptrdiff_t>(At));
        }
        if (NewFrequency > OldFrequency) End = std::min(At, Table.size());
    }
    if (NewFrequency <= 0) return;
    const size_t At = FrequencyPlace(NewFrequency, End);
    if (At < Table.size() && Table[At].Frequency == NewFrequency)
        ++Table[At].WordCount;
    else
        Table.insert(Table.begin() + static_cast<ptrdiff_t>(At), TTopEntry{NewFrequency, 1});
}

// The first entry not above Frequency, where every entry from End on is not above it. The place is
// looked for a few steps up from End first: low frequencies, the ones that change most, sit at the end.
size_t TFreqList::FrequencyPlace(int32_t Frequency, size_t End) const {
    const std::vector<TTopEntry>& Table = FFrequencies;
    for (int Step = 0; Step < 4; ++Step, --End)
        if (End == 0 || Table[End - 1].Frequency > Frequency) return End;
    const auto Before = Table.begin() + static_cast<ptrdiff_t>(End);
    return static_cast<size_t>(
        std::lower_bound(Table.begin(), Before, Frequency,
                         [](const TTopEntry& Entry, int32_t Value) { return Entry.Frequency > Value; }) -
        Table.begin());
}

void TFreqList::RebuildTop() {
    PlaceNewWords();
    FFrequencies.clear();
    if (FTopLimit == 0 || !FBuckets) return;
    std::vector<int32_t> Frequencies;
    Frequencies.reserve(static_cast<size_t>(ItemTotal()));
    for (const TBucket& Bucket : *FBuckets)
        for (const TEntry& Entry : Bucket)
            if (const int32_t Frequency = ItemAt(Entry.Item).Frequency; Frequency > 0)
                Frequencies.push_back(Frequency);
    std::sort(Frequencies.begin(), Frequencies.end(), std::greater<>());
    for (const int32_t Frequency : Frequencies)
        if (!FFrequencies.empty() && FFrequencies.back().Frequency == Frequency)
            ++FFrequencies.back().WordCount;
        else
            FFrequencies.push_back({Frequency, 1});
}

void TFreqList::SetTopLimit(int32_t N) {
    N = std::clamp(N, 0, MaxTopLimit);
    const bool Larger = N > FTopLimit;
    FTopLimit = N;
    if (Larger)
        RebuildTop();
    else if (N == 0)
        FFrequencies.clear();
}

int32_t TFreqList::TopCount() const {
    return std::min(FTopLimit, static_cast<int32_t>(FFrequencies.size()));
}

TTopEntry TFreqList::Top(int32_t I) const {
    if (I < 0 || I >= TopCount()) throw std::out_of_range("List index out of bounds");
    return FFrequencies[static_cast<size_t>(I)];
}

// Only the ranked entries are read: the table of a large list is long and seldom in the cache.
int32_t TFreqList::TopIndexOf(int32_t Frequency) const {
    const auto Shown = static_cast<ptrdiff_t>(TopCount());
    if (Shown == 0 || FFrequencies[size_t(Shown - 1)].Frequency > Frequency) return -1;
    const auto Ranked = FFrequencies.begin();
    const auto At =
        std::lower_bound(Ranked, Ranked + Shown, Frequency,
                         [](const TTopEntry& Entry, int32_t Value) { return Entry.Frequency > Value; });
    return At->Frequency == Frequency ? static_cast<int32_t>(At - Ranked) : -1;
}

// ---- TFreqList: stream form --------------------------------------------------------------------------

void TFreqList::SaveToStream(TStream& Stream) const {
    FlushPending();
    const int64_t Start = BeginBlock(Stream, StreamVersion);
    WriteStreamInteger(Stream, BucketCount);
    for (int32_t B = 0; B < BucketCount; ++B) {
        if (!FBuckets) {
            WriteStreamInteger(Stream, 0);
            continue;
        }
        const TBucket& Bucket = (*FBuckets)[static_cast<size_t>(B)];
        WriteStreamInteger(Stream, static_cast<int32_t>(Bucket.size()));
        for (const TEntry& Entry : Bucket) ItemAt(Entry.Item).SaveToStream(Stream);
    }
    WriteStreamInteger(Stream, static_cast<int32_t>(FOrder.size()));
    WriteStreamIntegers(Stream, FOrder.data(), FOrder.size());
    EndBlock(Stream, Start);
}

// Every item must lie inside the block, count at least once and sit in the bucket its word hashes to:
// an item elsewhere could never be found again and would be counted twice.
bool TFreqList::ReadBuckets(TStream& Stream, int64_t EndOffset) {
    constexpr int64_t MinItemBytes = 8;  // length and frequency
    for (uint32_t B = 0; B < static_cast<uint32_t>(BucketCount); ++B) {
        const int32_t Items = ReadStreamInteger(Stream);
        if (Items < 0 || Items > (EndOffset - Stream.GetPosition()) / MinItemBytes) return false;
        if (Items == 0) continue;
        if (!FBuckets) FBuckets = std::make_unique<std::array<TBucket, BucketCount>>();
        TBucket& Bucket = (*FBuckets)[B];
        Bucket.reserve(static_cast<size_t>(Items));
        for (int32_t K = 0; K < Items; ++K) {
            auto Item = TFreqItem::CreateFromStream(Stream);
            if (Stream.GetPosition() > EndOffset || Item->Frequency < 1 ||
                (WordHash(Item->Word) & BucketMask) != B)
                return false;
            const uint32_t Hash = IndexHash(Item->Word);
            TItemNumber Number;
            NewItem(Number) = std::move(*Item);
            Bucket.push_back({Hash, Number});
            FPlaced = FItemCount;
        }
    }
    return true;
}

// The order must name every item exactly once: a reference named twice would outlive its item when
// the other entry is deleted.
bool TFreqList::ReadOrder(TStream& Stream, int64_t EndOffset) {
    const int32_t Total = ItemTotal();
    const int32_t Declared = ReadStreamInteger(Stream);
    if (Declared != Total || static_cast<int64_t>(Total) * 4 > EndOffset - Stream.GetPosition()) return false;
    std::vector<int32_t> Order(static_cast<size_t>(Total));
    if (ReadStreamIntegers(Stream, Order.data(), Order.size()) != Order.size()) return false;
    std::vector<int32_t> BucketStart(BucketCount + 1, 0);
    if (FBuckets)
        for (int32_t B = 0; B < BucketCount; ++B)
            BucketStart[B + 1] =
                BucketStart[B] + static_cast<int32_t>((*FBuckets)[static_cast<size_t>(B)].size());
    std::vector<bool> Seen(static_cast<size_t>(Total), false);
    for (const int32_t Reference : Order) {
        if (!ItemOfReference(Reference)) return false;
        const auto Flat = static_cast<size_t>(BucketStart[Reference & BucketMask] + (Reference >> SlotShift));
        if (Seen[Flat]) return false;
        Seen[Flat] = true;
    }
    FOrder = std::move(Order);
    return true;
}

bool TFreqList::LoadFromStream(TStream& Stream) {
    Clear();
    const TBlockHead Head = ReadBlockHead(Stream);
    bool Loaded = false;
    if (!Head.Complete || !Head.EndValid) {
        // A damaged block: reported once per file, and the blocks after it are still found.
        ReportDamagedBlock(Stream);
        Stream.SetPosition(Head.Complete ? FindNextBlockHead(Stream, Head.Start + 1) : Stream.GetSize());
        return false;
    }
    if (Head.Version != StreamVersion) {
        ShowError(UnknownFreqListVersionText);
    } else if (ReadStreamInteger(Stream) != BucketCount) {
        ShowError(FreqListHashSizeText);
    } else {
        Loaded = ReadBuckets(Stream, Head.EndOffset) && ReadOrder(Stream, Head.EndOffset);
        if (Loaded) {
            RebuildTop();
            RebuildIndex();
        } else
            Clear();
    }
    SkipBlock(Stream, Head);
    return Loaded;
}

// ---- Free routines -----------------------------------------------------------------------------------

void ClearFreqList(TFreqList* List) {
    if (List) List->Clear();
}

bool FreqItemPasses(int32_t Language, const TFreqItem& Item) {
    const TFrequencyConfig& Config = FrequencyConfigs.at(static_cast<size_t>(Language));
    if (Item.Frequency < Config.MinimumFrequency) return false;
    if (Config.MaximumFrequency != 0 && Item.Frequency > Config.MaximumFrequency) return false;
    const auto& Owner = LanguageConfigs[static_cast<size_t>(Language)];
    return !(Owner && Owner->StopList.IsStopWord(Item.Word));
}

// ---- Result word lists -------------------------------------------------------------------------------

namespace {

// The flags of a file's aligned segment index are clear when its count begins and however it ends: a
// flag left set would make the next search or count skip that segment. The index is looked up again
// at the end, since events handled during the count may have replaced it.
class TSegmentFlagsGuard {
public:
    TSegmentFlagsGuard(int32_t Language, int32_t File) : FLanguage(Language), FFile(File) { ClearFlags(); }
    ~TSegmentFlagsGuard() { ClearFlags(); }
    TSegmentFlagsGuard(const TSegmentFlagsGuard&) = delete;
    TSegmentFlagsGuard& operator=(const TSegmentFlagsGuard&) = delete;

private:
    void ClearFlags() const {
        if (TAlignIndex* Index = GetAlignIndex(FLanguage, FFile)) Index->ClearFlags();
    }

    int32_t FLanguage;
    int32_t FFile;
};

// The segment is read sequentially from a clean tag state, so an aligned unit of any length is counted
// whole and a word that ends at the segment's end is counted too.
void CountSegment(TFreqList& List, TBufStream& Reader, int32_t File, const TSegment& Segment,
                  bool KeepPositions) {
    Reader.SetRange(Segment.Start, Segment.End);
    for (std::string_view Word = Reader.NextWord(); !Word.empty(); Word = Reader.NextWord()) {
        if (KeepPositions)
            List.AddWordWithPos(Word, {File, Segment.Start, Segment.End, Segment.Length, Reader.WordStart(),
                                       Reader.WordEnd()});
        else
            List.AddWord(Word);
    }
}

// A segment that holds several hits in a row comes back once per hit; it is counted once.
void CountFile(TFreqList& List, TBufStream& Reader, int32_t File, bool KeepPositions, TProgressForm& Form,
               const TNextSegmentFunc& NextSegment) {
    int32_t Previous = -1;
    int32_t Position = 0;
    for (;;) {
        const int32_t Index = NextSegment(File, Position, true);
        if (Index < 0) return;
        if (Index == Previous) continue;
        Previous = Index;
        const TAlignIndex* Segments = GetAlignIndex(List.Language(), File);
        if (!Segments) return;
        CountSegment(List, Reader, File, Segments->GetItem(Index), KeepPositions);
        Form.SetProgress(Position);
        ProcessMessages();
    }
}

std::string FileNameOnly(const std::string& Path) {
    return std::filesystem::path(Path).filename().string();
}

}  // namespace

std::unique_ptr<TFreqList> BuildFreqList(int32_t Language, bool Alphabetical, bool KeepPositions,
                                         TProgressForm* Progress, int32_t MaxProgress,
                                         const TNextSegmentFunc& NextSegment) {
    if (Language < 0 || Language >= LanguagesCount || !LanguageConfigs[static_cast<size_t>(Language)])
        throw std::out_of_range("Language index out of bounds");
    TConcordConfig& Config = *LanguageConfigs[static_cast<size_t>(Language)];
    auto List = std::make_unique<TFreqList>(Language);
    TWaitScope Wait;

    const int32_t Maximum = MaxProgress < 1 ? 100 : MaxProgress;
    std::unique_ptr<TProgressForm> OwnForm;
    TProgressForm* Form = Progress;
    if (Form) {
        Form->SetRange(0, Maximum);
        Form->SetProgress(0);
    } else {
        OwnForm =
            ShowProgressForm(4, "Counting words in result - " + Config.LanguageName, "", Maximum, 0, "");
        ShowUnlessMinimized(OwnForm.get());
        Form = OwnForm.get();
    }

    const bool SkipTags = FrequencyConfigs[static_cast<size_t>(Language)].SkipTags;
    const auto Files = static_cast<int32_t>(std::min(Config.Files.size(), Config.Streams.size()));
    for (int32_t File = 0; File < Files; ++File) {
        TFileSynchroStream* Stream = Config.Streams[static_cast<size_t>(File)].get();
        if (!Stream) continue;
        TBufStream Reader(*Stream, Language);
        // Without tag settings the reader sees tag characters as ordinary text, and counts them.
        if (SkipTags) ConfigureBufStream(Reader);
        Form->SetText("Scanning " + FileNameOnly(Config.Files[static_cast<size_t>(File)].Name) + "...");
        TSegmentFlagsGuard Flags(Language, File);
        CountFile(*List, Reader, File, KeepPositions, *Form, NextSegment);
        if (Form->Tag != 0) return nullptr;
    }
    if (Alphabetical)
        List->SortAlphabetically();
    else
        List->SortByFrequency();
    return List;
}
