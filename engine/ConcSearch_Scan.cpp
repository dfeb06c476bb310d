// The jump of the first-word scan of TSearchContext: from a word boundary straight to the next word that
// may be the first term's word, looking at sixteen word starts at a time. The byte loop of
// SkipToCandidate still decides every word it stops at, so the jump only has to be sure of what it
// passes over.
#include <algorithm>
#include <cstring>

#include "engine/ConcSearch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TESSIVOR_AVX2_COUNT 1
#endif

namespace {

// How often a byte stands in running text, roughly: the jump looks for the term's rarest bytes. Only
// the order matters.
int ByteWeight(uint8_t B) {
    static const int Letters[26] = {82, 15, 28, 43, 127, 22, 20, 61, 70, 2,  8, 40, 24,
                                    67, 75, 19, 1,  60,  63, 91, 28, 10, 24, 2, 20, 1};
    if (B >= 'a' && B <= 'z') return Letters[B - 'a'] * 10;
    if (B >= 'A' && B <= 'Z') return Letters[B - 'A'];
    if (B >= '0' && B <= '9') return 50;
    if (B < 128) return 30;
    return 40;
}

size_t CountWordStartsScalar(const uint8_t* Bytes, size_t From, size_t To,
                             const std::array<bool, 256>& Delimiter, bool Before) {
    size_t words = 0;
    for (size_t m = From; m < To; ++m) {
        const bool delimiter = Delimiter[Bytes[m]];
        words += Before && !delimiter;
        Before = delimiter;
    }
    return words;
}

#if defined(TESSIVOR_AVX2_COUNT)
// The delimiter bits of Bytes[At, At + 16): bit k for the byte at At + k. Without delimiters above 127
// (the usual case) a byte with its top bit set reads a 0 row, as the byte shuffle gives for such an index.
template <bool High>
__attribute__((target("ssse3"))) inline unsigned DelimiterBits(const uint8_t* Bytes, size_t At,
                                                               const __m128i& LowRows,
                                                               const __m128i& HighRows) {
    const __m128i bits = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + At));
    const __m128i high = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
    __m128i row;
    if constexpr (High) {
        const __m128i low = _mm_and_si128(v, nibble);
        const __m128i upper = _mm_cmpgt_epi8(high, _mm_set1_epi8(7));
        row = _mm_or_si128(_mm_andnot_si128(upper, _mm_shuffle_epi8(LowRows, low)),
                           _mm_and_si128(upper, _mm_shuffle_epi8(HighRows, low)));
    } else {
        row = _mm_shuffle_epi8(LowRows, _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0x8F))));
    }
    const __m128i bit = _mm_shuffle_epi8(bits, high);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(row, bit), bit)));
}

// The same for Bytes[At, At + 32).
template <bool High>
__attribute__((target("avx2"))) inline uint32_t DelimiterBits32(const uint8_t* Bytes, size_t At,
                                                                const __m256i& LowRows,
                                                                const __m256i& HighRows) {
    const __m256i bits = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes + At));
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
    __m256i row;
    if constexpr (High) {
        const __m256i low = _mm256_and_si256(v, nibble);
        const __m256i upper = _mm256_cmpgt_epi8(high, _mm256_set1_epi8(7));
        row = _mm256_or_si256(_mm256_andnot_si256(upper, _mm256_shuffle_epi8(LowRows, low)),
                              _mm256_and_si256(upper, _mm256_shuffle_epi8(HighRows, low)));
    } else {
        row = _mm256_shuffle_epi8(LowRows, _mm256_and_si256(v, _mm256_set1_epi8(static_cast<char>(0x8F))));
    }
    const __m256i bit = _mm256_shuffle_epi8(bits, high);
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(row, bit), bit)));
}

// The jump passes over most of the text, and the words it passes are counted for the words/sec text:
// one byte at a time that count would cost about as much as the jump itself. The stretches between
// tags are short, so their last bytes are looked at as blocks that end at To, not one by one.
template <bool High>
__attribute__((target("avx2,popcnt"))) size_t CountWordStartsAvx2(const uint8_t* Bytes, size_t From,
                                                                  size_t To, const TByteRows& Rows) {
    const __m128i lowRows = _mm_load_si128(reinterpret_cast<const __m128i*>(Rows.Rows[0]));
    const __m128i highRows = _mm_load_si128(reinterpret_cast<const __m128i*>(Rows.Rows[1]));
    const __m256i lowRows2 = _mm256_broadcastsi128_si256(lowRows);
    const __m256i highRows2 = _mm256_broadcastsi128_si256(highRows);
    size_t words = 0;
    uint32_t before = 1;  // whether the byte before the block is a delimiter (or the block starts at From)
    size_t p = From;
    for (; p + 32 <= To; p += 32) {
        const uint32_t delimiters = DelimiterBits32<High>(Bytes, p, lowRows2, highRows2);
        words += static_cast<size_t>(__builtin_popcount(~delimiters & ((delimiters << 1) | before)));
        before = delimiters >> 31;
    }
    if (p + 16 <= To) {
        const unsigned delimiters = DelimiterBits<High>(Bytes, p, lowRows, highRows);
        words +=
            static_cast<size_t>(__builtin_popcount(~delimiters & ((delimiters << 1) | before) & 0xFFFFu));
        before = delimiters >> 15;
        p += 16;
    }
    if (p == To) return words;
    // The block To - 16 .. To, of which the bits below First were counted already (or lie before From).
    const unsigned first = 16 - static_cast<unsigned>(To - p);
    const unsigned delimiters = DelimiterBits<High>(Bytes, To - 16, lowRows, highRows);
    const unsigned previous = ((delimiters << 1) & ~(1u << first)) | (before << first);
    const unsigned fresh = 0xFFFFu & ~((1u << first) - 1);
    return words + static_cast<size_t>(__builtin_popcount(~delimiters & previous & fresh));
}

bool HasAvx2() {
    static const bool Has = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    return Has;
}
#endif

#if defined(__SSE2__)
// The jump's test of sixteen word starts at once: whether each has one of the term's few bytes at both
// of the jump's positions.
struct TJumpBlocks {
    __m128i SetA[8], SetC[8];
    int CountA = 0, CountC = 0;
    size_t A = 0, C = 0;

    template <class TPlan>
    explicit TJumpBlocks(const TPlan& Plan)
        : CountA(Plan.Count[0]),
          CountC(Plan.Positions > 1 ? Plan.Count[1] : 0),
          A(Plan.Offset[0]),
          C(Plan.Positions > 1 ? Plan.Offset[1] : Plan.Offset[0]) {
        for (int n = 0; n < CountA; ++n) SetA[n] = _mm_set1_epi8(static_cast<char>(Plan.Bytes[0][n]));
        for (int n = 0; n < CountC; ++n) SetC[n] = _mm_set1_epi8(static_cast<char>(Plan.Bytes[1][n]));
    }

    // Bit k for the start P + k.
    unsigned Mask(const uint8_t* Bytes, size_t P) const {
        const __m128i atA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + P + A));
        __m128i hitA = _mm_setzero_si128();
        for (int n = 0; n < CountA; ++n) hitA = _mm_or_si128(hitA, _mm_cmpeq_epi8(atA, SetA[n]));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(hitA));
        if (mask == 0 || CountC == 0) return mask;
        const __m128i atC = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + P + C));
        __m128i hitC = _mm_setzero_si128();
        for (int n = 0; n < CountC; ++n) hitC = _mm_or_si128(hitC, _mm_cmpeq_epi8(atC, SetC[n]));
        return mask & static_cast<unsigned>(_mm_movemask_epi8(hitC));
    }
};
#endif

}  // namespace

TByteRows::TByteRows(const std::array<bool, 256>& Members) {
    for (size_t b = 0; b < 256; ++b) {
        if (!Members[b]) continue;
        Rows[b >> 7][b & 15] |= static_cast<uint8_t>(1u << ((b >> 4) & 7));
        High = High || b >= 128;
    }
}

size_t CountWordStarts(const uint8_t* Bytes, size_t From, size_t To,
                       const std::array<bool, 256>& DelimiterTable, const TByteRows& Delimiters) {
    if (To <= From) return 0;
#if defined(TESSIVOR_AVX2_COUNT)
    // Short stretches at the very start of a window leave no room for a block that ends at To.
    if (To >= 16 && HasAvx2())
        return Delimiters.High ? CountWordStartsAvx2<true>(Bytes, From, To, Delimiters)
                               : CountWordStartsAvx2<false>(Bytes, From, To, Delimiters);
#endif
    (void)Delimiters;
    return CountWordStartsScalar(Bytes, From, To, DelimiterTable, true);
}

// The term's bytes that a text byte must equal are few (a letter and its other case, or an equal
// character's group); positions whose group is larger are not looked for.
void TSearchContext::PlanJump() {
    FJump = TJumpPlan();
    if (!FScanFirst) return;
    const std::string& want = Terms[0]->Mapped;
    if (want.empty() || want.size() >= static_cast<size_t>(WordSize)) return;
    struct TChoice {
        long Weight;
        size_t Offset;
    };
    std::vector<TChoice> choices;
    for (size_t k = 0; k < want.size(); ++k) {
        int members = 0;
        long weight = 0;
        for (int b = 0; b < 256; ++b) {
            if (FSearchMap[static_cast<size_t>(b)] != static_cast<uint8_t>(want[k]) ||
                FDelimiter[static_cast<size_t>(b)])
                continue;
            ++members;
            weight += ByteWeight(static_cast<uint8_t>(b));
        }
        if (members <= 8) choices.push_back({weight, k});
    }
    if (choices.empty()) return;
    std::stable_sort(choices.begin(), choices.end(),
                     [](const TChoice& A, const TChoice& B) { return A.Weight < B.Weight; });
    FJump.Positions = std::min<int>(2, static_cast<int>(choices.size()));
    for (int n = 0; n < FJump.Positions; ++n) {
        const size_t k = choices[static_cast<size_t>(n)].Offset;
        FJump.Offset[n] = k;
        for (int b = 0; b < 256; ++b) {
            const bool member = FSearchMap[static_cast<size_t>(b)] == static_cast<uint8_t>(want[k]) &&
                                !FDelimiter[static_cast<size_t>(b)];
            FJump.Member[n][static_cast<size_t>(b)] = member;
            if (member) FJump.Bytes[n][FJump.Count[n]++] = static_cast<uint8_t>(b);
        }
    }
    FJump.Usable = true;
}

// Whether the word that starts at At (From being a word boundary) is the first term's word, ended by a
// delimiter inside the bytes.
bool TSearchContext::IsCandidateAt(const uint8_t* Bytes, size_t From, size_t At) const {
    if (At > From && !FDelimiter[Bytes[At - 1]]) return false;
    const std::string& want = Terms[0]->Mapped;
    const size_t length = want.size();
    for (size_t m = 0; m < length; ++m) {
        const uint8_t b = Bytes[At + m];
        if (FDelimiter[b] || FSearchMap[b] != static_cast<uint8_t>(want[m])) return false;
    }
    return FDelimiter[Bytes[At + length]];
}

// Bytes[From, Count) holds no tag, and From is a word boundary. Every word that starts before Count -
// length is either the candidate the jump stops at or certainly no candidate; the few bytes after that
// are left to the byte loop, which sees where the last words end.
TSearchContext::TJump TSearchContext::JumpToCandidate(const uint8_t* Bytes, size_t From, size_t Count,
                                                      bool CountWords) const {
    const size_t length = Terms[0]->Mapped.size();
    TJump jump{From, 0, false, 0};
    if (Count <= From + length) return jump;
    const size_t limit = Count - length;  // word starts whose next byte lies inside the bytes
    size_t to = limit;
    bool found = false;
    const size_t a = FJump.Offset[0];
    const size_t c = FJump.Positions > 1 ? FJump.Offset[1] : FJump.Offset[0];
    const auto& inA = FJump.Member[0];
    const auto& inC = FJump.Member[FJump.Positions > 1 ? 1 : 0];
    size_t p = From;
#if defined(__SSE2__)
    const TJumpBlocks blocks(FJump);
    for (; p + 16 <= limit && !found; p += 16) {
        for (unsigned mask = blocks.Mask(Bytes, p); mask != 0; mask &= mask - 1) {
            const size_t at = p + static_cast<size_t>(__builtin_ctz(mask));
            if (IsCandidateAt(Bytes, From, at)) {
                to = at;
                found = true;
                break;
            }
        }
    }
#endif
    for (; p < limit && !found; ++p) {
        if (inA[Bytes[p + a]] && inC[Bytes[p + c]] && IsCandidateAt(Bytes, From, p)) {
            to = p;
            found = true;
        }
    }
    // Not found: the word that holds the first start not looked at is the byte loop's to read whole.
    if (!found && !FDelimiter[Bytes[to]]) {
        while (to > From && !FDelimiter[Bytes[to - 1]]) --to;
    }
    jump.To = to;
    size_t last = to;
    while (last > From && FDelimiter[Bytes[last - 1]]) --last;
    if (last > From) {
        jump.LastWordEnd = true;
        jump.LastWord = last - 1;
    }
    if (CountWords) jump.Words = CountWordStarts(Bytes, From, to, FDelimiter, FDelimiterRows);
    return jump;
}

size_t TSearchContext::FirstOccurrence(const uint8_t* Bytes, size_t From, size_t Count) const {
    const auto* want = reinterpret_cast<const uint8_t*>(Terms[0]->Mapped.data());
    const size_t length = Terms[0]->Mapped.size();
    if (Count < length) return From;
    const size_t none = Count - length + 1;
    auto occursAt = [&](size_t At) {
        for (size_t m = 0; m < length; ++m)
            if (FSearchMap[Bytes[At + m]] != want[m]) return false;
        return true;
    };
    size_t p = From;
#if defined(__SSE2__)
    if (FJump.Usable) {
        const TJumpBlocks blocks(FJump);
        for (; p + 16 <= none; p += 16) {
            for (unsigned mask = blocks.Mask(Bytes, p); mask != 0; mask &= mask - 1) {
                const size_t at = p + static_cast<size_t>(__builtin_ctz(mask));
                if (occursAt(at)) return at;
            }
        }
    }
#endif
    for (; p < none; ++p)
        if (occursAt(p)) return p;
    return none;
}

bool TSearchContext::KnowTagEnds(const TBufStream& R) {
    const char stop = R.Tags().TagStop;
    if (FTagEndsRead && stop == FTagEndsOf) return FTagEndCount > 0;
    FTagEndsRead = true;
    FTagEndsOf = stop;
    FTagEndCount = 0;
    FTagEndIsBoundary = true;
    const auto tagStart = static_cast<unsigned char>(R.Tags().TagStart);
    // A closing 0 byte would read as none, and a closing tag start would open the next tag.
    bool usable = !R.IsTagStop(0) && !R.IsTagStop(tagStart);
    for (int b = 1; b < 256 && usable; ++b) {
        FTagEnd[static_cast<size_t>(b)] = R.IsTagStop(static_cast<unsigned char>(b));
        if (!FTagEnd[static_cast<size_t>(b)]) continue;
        usable = FTagEndCount < 4;
        FTagEndByte = static_cast<uint8_t>(b);
        ++FTagEndCount;
        FTagEndIsBoundary = FTagEndIsBoundary && FDelimiter[static_cast<size_t>(b)];
    }
    if (!usable) FTagEndCount = 0;
    return FTagEndCount > 0;
}

namespace {

// The offset of the last byte of Bytes[0, To) that Is, or To when none does.
template <class TIs>
size_t LastOf(const uint8_t* Bytes, size_t To, TIs&& Is) {
    for (size_t p = To; p > 0; --p)
        if (Is(Bytes[p - 1])) return p - 1;
    return To;
}

}  // namespace

// Tagged text parts its words by tags every few dozen bytes, and a stop before each tag, with a jump
// over the few words between, costs the scan more than the words do. Ahead is the reader's window from
// a word boundary outside tags; FirstTag, the window offset of the first tag that opens in it; Clear,
// how far no first term's bytes start. While a tag opens before Clear, the words before it cannot be
// the first term's word: they are passed over with the tag, as the byte loop and PassTag would pass
// them, and counted. It stops before anything it cannot be sure of as they would be: a tag that runs
// past the range (Count bytes of Ahead) or holds a 0 byte (where PassTag stops), or a tag start whose
// tag may close beyond the window.
TSearchContext::TTagRun TSearchContext::PassClearTags(std::string_view Ahead, size_t Count, size_t FirstTag,
                                                      size_t Clear, bool CountWords) const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(Ahead.data());
    const size_t size = Ahead.size();
    const auto maxTag = static_cast<size_t>(TBufStream::MaxTagLength);
    const char tagStart = Reader->Tags().TagStart;
    auto nextTagStart = [&](size_t At) {
        const void* found = At < Count ? std::memchr(bytes + At, tagStart, Count - At) : nullptr;
        return found != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes) : Count;
    };
    TTagRun run;
    size_t from = 0;  // where the stretch of words before the tag starts
    size_t tag = FirstTag;
    while (tag < Count && tag <= Clear) {
        // A tag start opens a tag when a closing byte follows within a tag's length.
        const size_t reach = std::min(size, tag + maxTag);
        size_t stop = tag + 1;
        while (stop < reach && bytes[stop] != 0 && !FTagEnd[bytes[stop]]) ++stop;
        if (stop == reach) {
            if (reach < tag + maxTag) break;
            // An ordinary byte of the stretch.
            tag = nextTagStart(tag + 1);
            continue;
        }
        if (bytes[stop] == 0 || stop >= Count) break;
        size_t end = tag;
        while (end > from && FDelimiter[bytes[end - 1]]) --end;
        if (end > from) {
            // As the byte loop: the next attempt starts after the delimiter that ends the last word, or
            // at the tag that ends it.
            run.Word = true;
            run.NextStart = end == tag ? tag : end + 1;
        }
        if (CountWords) run.Words += CountWordStarts(bytes, from, tag, FDelimiter, FDelimiterRows);
        from = run.To = stop + 1;
        tag = nextTagStart(from);
    }
    return run;
}

// PassClearTags without the word count, which needs every tag, looks at the last few alone: whatever
// came before, a closing byte leaves the scan outside tags (it closes the tag it is in, or is read as a
// delimiter), so the scan can go on after the last closing byte before Clear. Reading back from there
// finds the last word before it, and so where the next attempt starts: a tag closes at a closing byte
// when it opened after the closing byte before (the first tag start there within a tag's length of
// it), and what lies between is text.
TSearchContext::TTagRun TSearchContext::PassClearTagsBack(std::string_view Ahead, size_t Count,
                                                          size_t Clear) const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(Ahead.data());
    const auto maxTag = static_cast<size_t>(TBufStream::MaxTagLength);
    const char tagStart = Reader->Tags().TagStart;
    auto lastEnd = [&](size_t To) {
        if (FTagEndCount == 1) {
            const void* found = To > 0 ? memrchr(bytes, FTagEndByte, To) : nullptr;
            return found != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes) : To;
        }
        return LastOf(bytes, To, [&](uint8_t B) { return FTagEnd[B]; });
    };
    TTagRun run;
    const size_t limit = std::min(Clear, Count);
    size_t end = lastEnd(limit);
    if (end == limit) return run;
    run.To = end + 1;
    while (true) {
        const size_t before = lastEnd(end);
        const size_t low = before == end ? 0 : before + 1;
        const size_t first = std::max(low, end >= maxTag - 1 ? end - (maxTag - 1) : 0);
        const void* found = std::memchr(bytes + first, tagStart, end - first);
        size_t textEnd = end + 1;
        if (found != nullptr) {
            textEnd = static_cast<size_t>(static_cast<const uint8_t*>(found) - bytes);
            // PassTag stops at a 0 byte in a tag.
            if (std::memchr(bytes + textEnd, 0, end - textEnd) != nullptr) return TTagRun();
        }
        size_t wordEnd = textEnd;
        while (wordEnd > low && FDelimiter[bytes[wordEnd - 1]]) --wordEnd;
        if (wordEnd > low) {
            run.Word = true;
            run.NextStart = found != nullptr && wordEnd == textEnd ? textEnd : wordEnd + 1;
            return run;
        }
        if (before == end) return run;
        end = before;
    }
}
