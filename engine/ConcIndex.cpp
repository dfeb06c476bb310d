#include "engine/ConcIndex.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "engine/ConcConfig.h"
#include "engine/ConcErrors.h"

// ---- TIntegerList ----

void TIntegerList::SaveToStream(TStream& Stream) const {
    WriteStreamInteger(Stream, Count());
    WriteStreamIntegers(Stream, FValues.data(), FValues.size());
}

void TIntegerList::LoadFromStream(TStream& Stream) {
    Clear();
    const int32_t Declared = ReadStreamInteger(Stream);
    const int32_t N = ClampCount(Declared, Stream.Remaining(), 4);
    ReserveExactly(N);
    FValues.resize(static_cast<size_t>(N));
    FValues.resize(ReadStreamIntegers(Stream, FValues.data(), FValues.size()));
    // A list cut short would pass for a whole one: its owner must compute it again.
    if (Declared > 0 && FValues.size() < size_t(Declared)) Stream.MarkElementDamaged();
}

// Storage is given back rather than kept at one block: a workspace can hold thousands of lists
// that are empty, and hostile counts of empty lists must not each cost a block.
void TIntegerList::Clear() {
    std::vector<int32_t>().swap(FValues);
}

// Growth by whole blocks, but at least by half the current size, so that appending millions of line
// starts copies each entry a bounded number of times.
void TIntegerList::Grow(int32_t N) {
    const int64_t Cap = Capacity();
    if (N <= Cap) return;
    const int64_t Wanted = std::max<int64_t>(N, Cap + Cap / 2);
    const int64_t Blocks = (Wanted + BlockEntries - 1) / BlockEntries;
    const int64_t NewCap = std::min<int64_t>(
        Blocks * BlockEntries, std::numeric_limits<int32_t>::max() / BlockEntries * BlockEntries);
    FValues.reserve(static_cast<size_t>(std::max<int64_t>(NewCap, N)));
    SlotsReserved(Capacity());
}

void TIntegerList::ShrinkToFit() {
    if (FValues.capacity() == FValues.size()) return;
    FValues.shrink_to_fit();
    SlotsShrunk();
}

// Not Grow: rounding every loaded list up to a block would let a file of thousands of one-entry lists
// claim thousands of times its size.
void TIntegerList::ReserveExactly(int32_t N) {
    FValues.reserve(static_cast<size_t>(N));
    SlotsReserved(Capacity());
}

bool TIntegerList::Find(int32_t V, int32_t& Index) const {
    const auto It = std::lower_bound(FValues.begin(), FValues.end(), V);
    Index = static_cast<int32_t>(It - FValues.begin());
    return It != FValues.end() && *It == V;
}

int32_t TIntegerList::IndexOfFloor(int32_t V) const {
    const auto It = std::upper_bound(FValues.begin(), FValues.end(), V);
    return static_cast<int32_t>(It - FValues.begin()) - 1;
}

int32_t TIntegerList::Add(int32_t V) {
    int32_t Index = Count();
    if (!FValues.empty() && V < FValues.back())
        Index = static_cast<int32_t>(std::upper_bound(FValues.begin(), FValues.end(), V) - FValues.begin());
    InsertValue(Index, V);
    return Index;
}

int32_t TIntegerList::InsertAt(int32_t V, int32_t Index) {
    if (Index < 0) throw std::out_of_range("List index out of bounds");
    if (Index >= Count()) return Add(V);
    InsertValue(Index, V);
    return Index;
}

void TIntegerList::Delete(int32_t Index) {
    if (Index < 0 || Index >= Count()) return;
    FValues.erase(FValues.begin() + Index);
    SlotDeleted(Index);
}

bool TIntegerList::IsOrdered() const {
    return std::is_sorted(FValues.begin(), FValues.end());
}

void TIntegerList::InsertValue(int32_t Index, int32_t V) {
    if (Count() == std::numeric_limits<int32_t>::max()) throw std::length_error("List capacity exceeded");
    Grow(Count() + 1);
    FValues.insert(FValues.begin() + Index, V);
    SlotInserted(Index);
}

// ---- TAlignIndex ----

void TAlignIndex::SaveToStream(TStream& Stream) const {
    WriteStreamInteger(Stream, Count());
    constexpr size_t ChunkSegments = 1024;
    int32_t Chunk[ChunkSegments * 3];
    for (size_t First = 0; First < FRecs.size(); First += ChunkSegments) {
        const size_t N = std::min(ChunkSegments, FRecs.size() - First);
        for (size_t I = 0; I < N; ++I) {
            Chunk[3 * I] = Values()[First + I];
            Chunk[3 * I + 1] = FRecs[First + I].End;
            Chunk[3 * I + 2] = FRecs[First + I].Length;
        }
        WriteStreamIntegers(Stream, Chunk, 3 * N);
    }
}

void TAlignIndex::LoadFromStream(TStream& Stream) {
    Clear();
    const int32_t Declared = ReadStreamInteger(Stream);
    const int32_t N = ClampCount(Declared, Stream.Remaining(), 12);
    ReserveExactly(N);
    constexpr size_t ChunkSegments = 1024;
    int32_t Chunk[ChunkSegments * 3];
    for (int32_t Done = 0; Done < N;) {
        const size_t Want = std::min<size_t>(ChunkSegments, static_cast<size_t>(N - Done));
        const size_t Got = ReadStreamIntegers(Stream, Chunk, 3 * Want) / 3;
        for (size_t I = 0; I < Got; ++I) {
            InsertValue(Count(), Chunk[3 * I]);
            FRecs.back() = TSegRec{Chunk[3 * I + 1], Chunk[3 * I + 2], 0};
        }
        if (Got < Want) break;
        Done += static_cast<int32_t>(Got);
    }
    // An index cut short would pass for a whole one: its owner must compute it again.
    if (Declared > 0 && Count() < Declared) Stream.MarkElementDamaged();
}

void TAlignIndex::Clear() {
    std::vector<TSegRec>().swap(FRecs);
    FAnyFlag = false;
    TIntegerList::Clear();
}

void TAlignIndex::ThrowOutOfBounds() {
    throw EConcError(IndexOutOfBoundsText);
}

void TAlignIndex::GetItem(int32_t I, int32_t& Start, int32_t& End, int32_t& Length) const {
    const size_t K = Checked(I);
    Start = Values()[K];
    End = FRecs[K].End;
    Length = FRecs[K].Length;
}

bool TAlignIndex::GetFlag(int32_t I) const {
    return FRecs[Checked(I)].Flag != 0;
}

void TAlignIndex::SetFlag(int32_t I, bool B) {
    FRecs[Checked(I)].Flag = B ? 1 : 0;
    FAnyFlag = FAnyFlag || B;
}

void TAlignIndex::ClearFlags() {
    if (!FAnyFlag) return;
    for (auto& Rec : FRecs) Rec.Flag = 0;
    FAnyFlag = false;
}

int32_t TAlignIndex::Add(int32_t Start, int32_t End, int32_t Length) {
    const int32_t Index = TIntegerList::Add(Start);
    FRecs[static_cast<size_t>(Index)] = TSegRec{End, Length, 0};
    return Index;
}

int32_t TAlignIndex::Insert(int32_t Index, int32_t Start, int32_t End, int32_t Length) {
    const int32_t At = InsertAt(Start, Index);
    FRecs[static_cast<size_t>(At)] = TSegRec{End, Length, 0};
    return At;
}

int32_t TAlignIndex::SegmentOf(int32_t P) const {
    const int32_t K = IndexOfFloor(P);
    if (K < 0) return 0;
    return P < FRecs[static_cast<size_t>(K)].End ? K : K + 1;
}

int32_t TAlignIndex::IndexBefore(int32_t P) const {
    int32_t Index = 0;
    Find(P, Index);
    return Index - 1;
}

void TAlignIndex::GetRange(int32_t From, int32_t To, int32_t& Start, int32_t& End, int32_t& Length) const {
    const int32_t I = SegmentOf(From);
    const int32_t J = IndexBefore(To);
    int32_t Ignored = 0;
    GetItem(I, Start, Ignored, Ignored);
    GetItem(J, Ignored, End, Ignored);
    int64_t Sum = 0;
    for (int32_t K = I; K <= J; ++K) Sum += FRecs[static_cast<size_t>(K)].Length;
    Length = static_cast<int32_t>(
        std::clamp<int64_t>(Sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

void TAlignIndex::SlotInserted(int32_t Index) {
    FRecs.insert(FRecs.begin() + Index, TSegRec{});
}

void TAlignIndex::SlotDeleted(int32_t Index) {
    FRecs.erase(FRecs.begin() + Index);
}

void TAlignIndex::SlotsReserved(int32_t Capacity) {
    FRecs.reserve(static_cast<size_t>(Capacity));
}

void TAlignIndex::SlotsShrunk() {
    FRecs.shrink_to_fit();
}

// ---- The units of a section ----

namespace {

bool IsPlainEmptyUnit(const TAlignIndex& Units, int32_t I, int32_t At) {
    const TSegment S = Units.GetItem(I);
    return S.Start == At && S.Length == 0 && S.End == S.Start;
}

}  // namespace

TUnitRun UnitsOfSection(const TAlignIndex& Units, const TSegment& Section) {
    const int32_t Count = Units.Count();
    TUnitRun Run;
    const int32_t Floor = Units.IndexOfFloor(Section.Start);
    if (Floor >= 0 && Units.GetItem(Floor).Start < Section.Start &&
        Section.Start < Units.GetItem(Floor).End) {
        Run.First = Floor;
    } else {
        Units.Find(Section.Start, Run.First);
        while (Run.First < Count && IsPlainEmptyUnit(Units, Run.First, Section.Start)) ++Run.First;
    }
    Run.Last = Units.IndexBefore(Section.End);
    while (Run.Last + 1 < Count && IsPlainEmptyUnit(Units, Run.Last + 1, Section.End)) ++Run.Last;
    if (Run.Last < Run.First) Run.Last = Run.First - 1;
    return Run;
}

// ---- TDoubleAlignIndex ----

namespace {

void MapBetween(const TAlignIndex& From, const TAlignIndex& To, int32_t RangeStart, int32_t RangeEnd,
                int32_t& MappedStart, int32_t& MappedEnd) {
    const int32_t I = From.IndexOfFloor(RangeStart);
    const int32_t Last = RangeEnd > std::numeric_limits<int32_t>::min() ? RangeEnd - 1 : RangeEnd;
    // A range within one entry, as a hit's passage is, needs no second search: the window maps one for
    // every hit in every other language.
    const bool WithinI = I >= 0 && From[I] <= Last && (I + 1 == From.Count() || From[I + 1] > Last);
    const int32_t J = WithinI ? I : From.IndexOfFloor(Last);
    const int32_t N = To.Count();
    if (I < 0 || N == 0) throw EConcError(IndexOutOfBoundsText);
    MappedStart = I < N ? To.GetItem(I).Start : To.GetItem(N - 1).End;
    MappedEnd = To.GetItem(std::min(std::max(I, J), N - 1)).End;
}

}  // namespace

void TDoubleAlignIndex::MapToTarget(int32_t From, int32_t To, int32_t& TargetStart,
                                    int32_t& TargetEnd) const {
    MapBetween(Side1, Side2, From, To, TargetStart, TargetEnd);
}

void TDoubleAlignIndex::MapToSource(int32_t From, int32_t To, int32_t& SourceStart,
                                    int32_t& SourceEnd) const {
    MapBetween(Side2, Side1, From, To, SourceStart, SourceEnd);
}

// ---- TDoubleAlignCodec ----

void TDoubleAlignCodec::Save(TStream& Stream, const TDoubleAlignIndex* Item) {
    SaveOptionalElement(Stream, Item ? &Item->Side1 : nullptr);
    SaveOptionalElement(Stream, Item ? &Item->Side2 : nullptr);
}

std::unique_ptr<TDoubleAlignIndex> TDoubleAlignCodec::Load(TStream& Stream) {
    auto Side1 = TOrderedListCodec<TAlignIndex>::Load(Stream);
    auto Side2 = TOrderedListCodec<TAlignIndex>::Load(Stream);
    // Sides of different lengths are the user's corrections (an empty segment inserted on one side, two
    // merged on the other): whatever lies beyond the shorter side pairs with nothing.
    if (!Side1 || !Side2) return nullptr;
    auto Pair = std::make_unique<TDoubleAlignIndex>();
    Pair->Side1 = std::move(*Side1);
    Pair->Side2 = std::move(*Side2);
    return Pair;
}

// ---- Segment length ----

int32_t MeasureSegment(TBufStream& Reader, int32_t Start, int32_t End, TCharType ResumeClass,
                       int32_t& TextBytes) {
    const int32_t Length = Reader.Measure(Start, End, TextBytes);
    Reader.SetTagState(ResumeClass);
    return Length;
}

// ---- Alignment lookup ----

namespace {

// The pair of File in the alignment of language 1..3 with language 0; nullptr when there is none.
TDoubleAlignIndex* PairOf(int32_t Language, int32_t File) {
    const std::unique_ptr<TDoubleAlignIndexes>* Lists[] = {&Align12, &Align13, &Align14};
    if (Language < 1 || Language > 3) return nullptr;
    const TDoubleAlignIndexes* Pairs = Lists[Language - 1]->get();
    if (!Pairs || File < 0 || File >= Pairs->Count()) return nullptr;
    return Pairs->GetItem(File);
}

}  // namespace

TAlignIndex* GetAlignIndex(int32_t Language, int32_t File) {
    if (Language == 0) {
        TDoubleAlignIndex* Pair = PairOf(1, File);
        return Pair ? &Pair->Side1 : nullptr;
    }
    TDoubleAlignIndex* Pair = PairOf(Language, File);
    return Pair ? &Pair->Side2 : nullptr;
}

std::optional<TAlignedRange> MapAlignedRange(int32_t From, int32_t To, int32_t File, int32_t Start,
                                             int32_t End) {
    if (From < 0 || From > 3 || To < 0 || To > 3 || (From == 0 && To == 0)) return std::nullopt;
    const TDoubleAlignIndex* FromPair = From == 0 ? nullptr : PairOf(From, File);
    const TDoubleAlignIndex* ToPair = To == 0 ? nullptr : PairOf(To, File);
    if ((From != 0 && !FromPair) || (To != 0 && !ToPair)) return std::nullopt;
    TAlignedRange Range{Start, End};
    if (FromPair) FromPair->MapToSource(Range.Start, Range.End, Range.Start, Range.End);
    if (ToPair) ToPair->MapToTarget(Range.Start, Range.End, Range.Start, Range.End);
    return Range;
}
