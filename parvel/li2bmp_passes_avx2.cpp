// AVX2 passes of the scaled bitmap transfer. Compiled with -mavx2 and called only after the
// run-time check; this file uses nothing inline from shared headers, so no AVX2 code can stand in
// for a portable function at link time.
//
// Blended rows and value rows are kept in the order the 32-to-16-bit pack leaves them: within each
// block of 16 columns, columns 4-7 and 8-11 change places. Interleaving two such rows gives the
// columns back in order, so neither pass spends a permute on them.
#include "li2bmp_passes.h"

#include <immintrin.h>

#include <cstring>

namespace parvel {
namespace {

/// Place of column x in a row kept in pack order.
inline int32_t slot(int32_t x)
{
    return (x & ~12) | (x & 4) << 1 | (x & 8) >> 1;
}

/// Eight int32 sums divided by 2048, truncated toward zero: the magnitude is shifted and the sign
/// put back.
inline __m256i divide2048(__m256i s)
{
    return _mm256_sign_epi32(_mm256_srli_epi32(_mm256_abs_epi32(s), 11), s);
}

inline int32_t loadPair(const int16_t* p)
{
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Column plan: a group of 8 destination columns gets its neighbour pairs with a byte shuffle of
// 16-byte loads of the row where the columns lie close enough together, else with scalar loads
// (the hardware gather is slower than these on the processors we meet).
constexpr int32_t kKindOffset = kMaxStrip * 4;
enum GroupKind : uint8_t {
    kScalarLoads = 0,
    kTwoLoads = 1,  // columns 0-3 (4-7) and their right neighbours lie in the 8 pixels from 0 (4)
    kFourLoads = 2, // columns 2k, 2k+1 and their right neighbours lie in the 8 pixels from 2k
};

void prepareAvx2(StripColumns& s)
{
    const int32_t groups = s.pairCount / 8;
    for (int32_t g = 0; g < groups; ++g) {
        const int32_t* c = s.col + 8 * g;
        uint8_t* control = s.plan + 32 * g;
        // a 16-byte load at base reads pixels base .. base+7, which must hold last and last+1 and
        // lie inside the region
        auto fits = [&](int32_t base, int32_t last) {
            return last + 1 - base <= 7 && base + 7 < s.regionEnd;
        };
        auto setControl = [&](int32_t x, int32_t base) {
            const int32_t byte = 2 * (c[x] - base);
            for (int32_t k = 0; k < 4; ++k) control[4 * x + k] = static_cast<uint8_t>(byte + k);
        };
        uint8_t kind = kScalarLoads;
        if (fits(c[0], c[3]) && fits(c[4], c[7])) {
            kind = kTwoLoads;
            for (int32_t x = 0; x < 8; ++x) setControl(x, c[x & 4]);
        } else if (fits(c[0], c[1]) && fits(c[2], c[3]) && fits(c[4], c[5]) && fits(c[6], c[7])) {
            kind = kFourLoads;
            for (int32_t x = 0; x < 8; ++x) setControl(x, c[x & 6]);
        }
        s.plan[kKindOffset + g] = kind;
    }
}

inline __m256i loadTwo16(const int16_t* low, const int16_t* high)
{
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

/// Neighbour pairs (row[c[x]], row[c[x] + 1]) of the 8 columns c[0 .. 7] of a group of the given
/// kind, as 32-bit words, lowest column first.
inline __m256i pairsOfGroup(const int16_t* row, const int32_t* c, uint8_t kind, __m256i control)
{
    if (kind == kTwoLoads) return _mm256_shuffle_epi8(loadTwo16(row + c[0], row + c[4]), control);
    if (kind == kFourLoads) {
        return _mm256_blend_epi32(_mm256_shuffle_epi8(loadTwo16(row + c[0], row + c[4]), control),
                                  _mm256_shuffle_epi8(loadTwo16(row + c[2], row + c[6]), control),
                                  0xCC);
    }
    return _mm256_setr_epi32(loadPair(row + c[0]), loadPair(row + c[1]), loadPair(row + c[2]),
                             loadPair(row + c[3]), loadPair(row + c[4]), loadPair(row + c[5]),
                             loadPair(row + c[6]), loadPair(row + c[7]));
}

/// Blended values of the 8 columns of group g in each of the given rows, as int32, lowest column
/// first. One multiply-add forms P0 * (2048 - w) + P1 * w exactly.
template <int Rows>
inline void blendGroup(const int16_t* const* rows, const StripColumns& s, int32_t g,
                       __m256i* values)
{
    const int32_t* c = s.col + 8 * g;
    const uint8_t kind = s.plan[kKindOffset + g];
    const __m256i control = _mm256_load_si256(reinterpret_cast<const __m256i*>(s.plan + 32 * g));
    const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s.weightPairs + 8 * g));
    for (int r = 0; r < Rows; ++r)
        values[r] = divide2048(_mm256_madd_epi16(pairsOfGroup(rows[r], c, kind, control), w));
}

/// Blended values of the 16 columns of block b in each of the given rows, in pack order; they lie
/// between their neighbours, so the pack saturates nothing.
template <int Rows>
inline void blendBlock(const int16_t* const* rows, const StripColumns& s, int32_t b,
                       __m256i* values)
{
    __m256i low[Rows], high[Rows];
    blendGroup<Rows>(rows, s, 2 * b, low);
    blendGroup<Rows>(rows, s, 2 * b + 1, high);
    for (int r = 0; r < Rows; ++r) values[r] = _mm256_packs_epi32(low[r], high[r]);
}

/// Blended value of column x, one at a time.
inline int16_t blendColumn(const int16_t* row, const StripColumns& s, int32_t x)
{
    const int16_t* p = row + s.col[x];
    if (x >= s.pairCount) return p[0];
    const int32_t w = static_cast<int32_t>(s.weightPairs[x] >> 16);
    return static_cast<int16_t>((p[0] * (2048 - w) + p[1] * w) / 2048);
}

/// Columns per prefetch: 8 columns of a 4 times reduction span one cache line. A denser prefetch
/// costs more than the few lines it adds (which the processor's own prefetcher mostly fetches).
constexpr int32_t kPrefetchStep = 8;

/// Asks the cache for the parts of the coming rows ahead[0 .. Ahead-1] that block b of the
/// columns reads.
template <int Ahead>
inline void prefetchBlock(const int16_t* const* ahead, const StripColumns& s, int32_t b)
{
    for (int a = 0; a < Ahead; ++a) {
        for (int32_t k = 0; k < 16; k += kPrefetchStep) {
            _mm_prefetch(reinterpret_cast<const char*>(ahead[a] + s.col[16 * b + k]), _MM_HINT_T0);
        }
    }
}

/// Puts the rows that are not null at the front of ahead and returns their number. The passes
/// take the number as a template argument, so that no prefetch sits behind a null test of its
/// row (GCC 12 drops such prefetches).
inline int gatherAhead(const int16_t* ahead0, const int16_t* ahead1, const int16_t** ahead)
{
    int n = 0;
    if (ahead0 != nullptr) ahead[n++] = ahead0;
    if (ahead1 != nullptr) ahead[n++] = ahead1;
    return n;
}

template <int Ahead>
void horizontalRow(const int16_t* row, const StripColumns& s, const int16_t* const* ahead,
                   int16_t* out)
{
    const int32_t blocks = s.pairCount / 16;
    for (int32_t b = 0; b < blocks; ++b) {
        prefetchBlock<Ahead>(ahead, s, b);
        __m256i value;
        blendBlock<1>(&row, s, b, &value);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 16 * b), value);
    }
    for (int32_t x = 16 * blocks; x < s.count; ++x) out[slot(x)] = blendColumn(row, s, x);
}

// The rows to come are fetched from memory while this one is blended.
void horizontalAvx2(const int16_t* row, const StripColumns& s, const int16_t* ahead0,
                    const int16_t* ahead1, int16_t* out)
{
    const int16_t* ahead[2] = {nullptr, nullptr};
    switch (gatherAhead(ahead0, ahead1, ahead)) {
    case 0:
        horizontalRow<0>(row, s, ahead, out);
        break;
    case 1:
        horizontalRow<1>(row, s, ahead, out);
        break;
    default:
        horizontalRow<2>(row, s, ahead, out);
        break;
    }
}

/// Vertical blend of 16 values of two rows in pack order, in pack order: interleaving the rows
/// gives the (top, bottom) pairs of columns 0-7 and 8-15 in order, and one multiply-add with the
/// weight pair (2048 - wy, wy) forms each sum exactly.
inline __m256i verticalBlock(__m256i top, __m256i bottom, __m256i weight)
{
    const __m256i low = divide2048(_mm256_madd_epi16(_mm256_unpacklo_epi16(top, bottom), weight));
    const __m256i high = divide2048(_mm256_madd_epi16(_mm256_unpackhi_epi16(top, bottom), weight));
    // the values lie in the Int16 range, so packing saturates nothing
    return _mm256_packs_epi32(low, high);
}

inline int16_t verticalValue(int32_t top, int32_t bottom, int32_t wy)
{
    return static_cast<int16_t>((top * (2048 - wy) + bottom * wy) / 2048);
}

/// acc * 65536 plus the table bytes for the values v[0] and v[1], the first in the low byte. The
/// second byte is loaded straight into the second byte of the register, which saves a shift and
/// an or per pixel (the look-ups cost more than all the blending), and the running word keeps
/// the compiler from holding many partial results at once. That byte register cannot be named in
/// an instruction that reaches registers r8 .. r15, hence the legacy registers ("Q", "R").
inline uint64_t lutTwoInto(uint64_t acc, const int16_t* v, const uint8_t* lut)
{
    const int64_t i0 = v[0], i1 = v[1];
    uint32_t two;
    asm("movzbl (%[lut],%[i0]), %k[two]\n\t"
        "movb (%[lut],%[i1]), %h[two]\n\t"
        "shlq $16, %[acc]\n\t"
        "orq %q[two], %[acc]"
        : [two] "=&Q"(two), [acc] "+r"(acc)
        : [lut] "R"(lut), [i0] "r"(i0), [i1] "R"(i1), "m"(lut[i0]), "m"(lut[i1])); // bytes read
    return acc;
}

/// Eight table bytes, for the values at v[0 .. 3] and v[8 .. 11], the first in the low byte.
inline uint64_t lutEight(const int16_t* v, const uint8_t* lut)
{
    uint64_t acc = lutTwoInto(0, v + 10, lut);
    acc = lutTwoInto(acc, v + 8, lut);
    acc = lutTwoInto(acc, v + 2, lut);
    return lutTwoInto(acc, v, lut);
}

inline void mapThirtyTwo(const int16_t* v, const uint8_t* lut, uint8_t* out)
{
    const __m256i bytes = _mm256_setr_epi64x(static_cast<long long>(lutEight(v, lut)),
                                             static_cast<long long>(lutEight(v + 4, lut)),
                                             static_cast<long long>(lutEight(v + 16, lut)),
                                             static_cast<long long>(lutEight(v + 20, lut)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), bytes);
}

// out[i] = lut[v[slot(i)]]. The bytes are gathered in registers and stored 32 at a time: byte
// stores to a bitmap that is not in the cache fill the store queue while their lines are fetched,
// and then everything waits on them.
void mapThroughLut(const int16_t* v, int32_t count, const uint8_t* lut, uint8_t* out)
{
    int32_t i = 0;
    for (; i + 32 <= count; i += 32) mapThirtyTwo(v + i, lut, out + i);
    for (; i + 16 <= count; i += 16) {
        const uint64_t bytes[2] = {lutEight(v + i, lut), lutEight(v + i + 4, lut)};
        std::memcpy(out + i, bytes, sizeof bytes);
    }
    for (; i < count; ++i) out[i] = lut[v[slot(i)]];
}

// The blended values of the whole row are formed first and mapped through the table in a second,
// scalar loop: reading values stored long before avoids waiting on store forwarding.
void verticalAvx2(const int16_t* top, const int16_t* bottom, int32_t wy, int32_t count,
                  const uint8_t* lut, uint8_t* out)
{
    alignas(32) int16_t v[kMaxStrip];
    const __m256i weight = _mm256_set1_epi32((2048 - wy) | wy << 16);
    int32_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(top + x));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bottom + x));
        _mm256_store_si256(reinterpret_cast<__m256i*>(v + x), verticalBlock(t, b, weight));
    }
    for (; x < count; ++x) v[slot(x)] = verticalValue(top[slot(x)], bottom[slot(x)], wy);
    mapThroughLut(v, count, lut, out);
}

// A destination row of a reduction in one sweep: both source rows are blended, then the two
// blends, and the table look-ups follow two blocks behind, so that the memory reads (of these rows
// and, prefetched, of the next destination row's) are spread evenly over the whole row.
template <int Ahead>
void reductionRow(const int16_t* row0, const int16_t* row1, const StripColumns& s, int32_t wy,
                  const int16_t* const* ahead, const uint8_t* lut, uint8_t* out)
{
    alignas(32) int16_t v[kMaxStrip];
    const __m256i weight = _mm256_set1_epi32((2048 - wy) | wy << 16);
    const int16_t* const rows[2] = {row0, row1};
    const int32_t blocks = s.pairCount / 16;
    int32_t mapped = 0; // columns already looked up, a multiple of 32
    for (int32_t b = 0; b < blocks; ++b) {
        prefetchBlock<Ahead>(ahead, s, b);
        __m256i blended[2];
        blendBlock<2>(rows, s, b, blended);
        const __m256i value = verticalBlock(blended[0], blended[1], weight);
        _mm256_store_si256(reinterpret_cast<__m256i*>(v + 16 * b), value);
        if ((b & 1) != 0 && b >= 3) {
            mapThirtyTwo(v + mapped, lut, out + mapped);
            mapped += 32;
        }
    }
    for (int32_t x = 16 * blocks; x < s.count; ++x) {
        v[slot(x)] = verticalValue(blendColumn(row0, s, x), blendColumn(row1, s, x), wy);
    }
    mapThroughLut(v + mapped, s.count - mapped, lut, out + mapped);
}

void reductionRowAvx2(const int16_t* row0, const int16_t* row1, const StripColumns& s, int32_t wy,
                      const int16_t* ahead0, const int16_t* ahead1, const uint8_t* lut,
                      uint8_t* out)
{
    const int16_t* ahead[2] = {nullptr, nullptr};
    switch (gatherAhead(ahead0, ahead1, ahead)) {
    case 0:
        reductionRow<0>(row0, row1, s, wy, ahead, lut, out);
        break;
    case 1:
        reductionRow<1>(row0, row1, s, wy, ahead, lut, out);
        break;
    default:
        reductionRow<2>(row0, row1, s, wy, ahead, lut, out);
        break;
    }
}

} // namespace

Li2bmpPasses li2bmpAvx2Passes()
{
    return {prepareAvx2, horizontalAvx2, verticalAvx2, reductionRowAvx2};
}

} // namespace parvel
