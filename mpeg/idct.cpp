// Inverse DCT: reference order of operations, plain and vectorised.
//
// Exactness needs binary64 at every step: the build passes
// -ffp-contract=off everywhere (no fused multiply-add) and -msse2
// -mfpmath=sse on i686 (no 80-bit x87 intermediates).
#include "mpeg/idct.h"

#include <cmath>

#include "mpeg/idct_sum.h"

#if defined(__SSE2__)
#include <immintrin.h>
// Four columns per instruction where the processor has AVX. Not on 64-bit
// Windows, whose compilers cannot realign the stack for 32-byte spills.
#if !defined(_WIN64)
#define IDCT_HAS_AVX 1
#endif
#endif

namespace {

// cos(k * pi / 16) / 2 for k = 0..7, correctly rounded. They are stored
// rather than computed because libm cos() of a rounded multiple of pi is
// one unit off in the last place for k = 5, 6, 7 (and 1/sqrt(2) * 0.5
// for k = 4), and C runtimes differ in such places; stored constants give
// the same transform on every platform.
constexpr double kHalfCos[8] = {
    0x1.0000000000000p-1, 0x1.f6297cff75cb0p-2, 0x1.d906bcf328d46p-2,
    0x1.a9b66290ea1a3p-2, 0x1.6a09e667f3bcdp-2, 0x1.1c73b39ae68c8p-2,
    0x1.87de2a6aea963p-3, 0x1.8f8b83c69a60bp-4,
};

struct Basis {
  double c[8][8];  // c[u][x] = alpha(u) * cos((2x + 1) * u * pi / 16) / 2
};

constexpr Basis MakeBasis() {
  Basis basis = {};
  for (int u = 0; u < 8; ++u) {
    for (int x = 0; x < 8; ++x) {
      if (u == 0) {
        basis.c[0][x] = kHalfCos[4];  // (1 / sqrt 2) * 1 / 2 = cos(pi / 4) / 2
        continue;
      }
      int k = ((2 * x + 1) * u) % 32;  // angle in units of pi / 16
      double sign = 1.0;
      if (k > 16) k = 32 - k;
      if (k > 8) {
        k = 16 - k;
        sign = -1.0;
      }
      basis.c[u][x] = sign * kHalfCos[k];
    }
  }
  return basis;
}

constexpr Basis kBasis = MakeBasis();

constexpr basis_sum::Images MakeImages() {
  basis_sum::Images images = {};
  for (int p = 0; p < 64; ++p)
    for (int i = 0; i < 64; ++i)
      images.image[p][i] = static_cast<float>(kBasis.c[p >> 3][i >> 3] * kBasis.c[p & 7][i & 7]);
  return images;
}

int16_t RoundAndClip(double s) {
  double r = std::floor(s + 0.5);
  if (r < -256.0) return -256;
  if (r > 255.0) return 255;
  return static_cast<int16_t>(r);
}

}  // namespace

constexpr basis_sum::Images basis_sum::kImages = MakeImages();

void inverse_dct_reference(int16_t block[64]) {
  double t[8][8];
  for (int v = 0; v < 8; ++v) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0.0;
      for (int u = 0; u < 8; ++u) sum = sum + block[8 * v + u] * kBasis.c[u][x];
      t[v][x] = sum;
    }
  }
  for (int x = 0; x < 8; ++x) {
    for (int y = 0; y < 8; ++y) {
      double sum = 0.0;
      for (int v = 0; v < 8; ++v) sum = sum + kBasis.c[v][y] * t[v][x];
      block[8 * y + x] = RoundAndClip(sum);
    }
  }
}

#if defined(__SSE2__)

namespace {

// c[u][7 - x] = (-1)^u c[u][x] holds exactly (both come from one stored
// constant), so a product with the mirrored column is the product with the
// original one, negated exactly; adding it is subtracting the original.
constexpr bool BasisIsMirrored() {
  for (int u = 0; u < 8; ++u)
    for (int x = 0; x < 8; ++x)
      if (kBasis.c[u][7 - x] != ((u & 1) ? -kBasis.c[u][x] : kBasis.c[u][x])) return false;
  return true;
}
static_assert(BasisIsMirrored(), "the fast transform relies on the basis symmetry");

// Bit 8v + u set where coefficient (v, u) is not zero. Saturating packs
// keep zero and non-zero apart.
uint64_t NonZeroMask(const int16_t block[64]) {
  const __m128i* rows = reinterpret_cast<const __m128i*>(block);
  const __m128i zero = _mm_setzero_si128();
  uint64_t zeros = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i pair = _mm_packs_epi16(_mm_loadu_si128(rows + 2 * i), _mm_loadu_si128(rows + 2 * i + 1));
    zeros |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(pair, zero))) << (16 * i);
  }
  return ~zeros;
}

int LowestBit(uint32_t bits) { return __builtin_ctz(bits); }

constexpr uint64_t kFirstColumn = 0x0101010101010101ull;

uint32_t CodedRowsOfFirstColumn(uint64_t nonzero) {
  uint32_t rows = 0;
  for (int v = 0; v < 8; ++v) rows |= static_cast<uint32_t>((nonzero >> (8 * v)) & 1) << v;
  return rows;
}

// Eight sums in the order 0, 1, 2, 3, 7, 6, 5, 4 as floor(s + 0.5) clipped
// to 9 bits, in the order 0..7. Truncation differs from floor only where
// it went up (negative non-integers): there the comparison's all-ones
// lanes add -1.
__m128i RoundAndClip8(const __m128d s[4]) {
  const __m128d half = _mm_set1_pd(0.5);
  __m128i r[2];
  for (int k = 0; k < 2; ++k) {
    const __m128d a = _mm_add_pd(s[2 * k], half);
    const __m128d b = _mm_add_pd(s[2 * k + 1], half);
    const __m128i ta = _mm_cvttpd_epi32(a);
    const __m128i tb = _mm_cvttpd_epi32(b);
    const __m128d up_a = _mm_cmplt_pd(a, _mm_cvtepi32_pd(ta));
    const __m128d up_b = _mm_cmplt_pd(b, _mm_cvtepi32_pd(tb));
    const __m128i up = _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(up_a), _mm_castpd_ps(up_b), _MM_SHUFFLE(2, 0, 2, 0)));
    r[k] = _mm_add_epi32(_mm_unpacklo_epi64(ta, tb), up);
  }
  const __m128i right = _mm_shuffle_epi32(r[1], _MM_SHUFFLE(0, 1, 2, 3));
  const __m128i out = _mm_packs_epi32(r[0], right);
  return _mm_min_epi16(_mm_max_epi16(out, _mm_set1_epi16(-256)), _mm_set1_epi16(255));
}

void StoreRow(int16_t* row, __m128i values) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row), values);
}

// Output row y holds eight copies of values[y] (a block coded only in its
// first column).
inline void StoreRowsOfEach(int16_t block[64], __m128i values) {
  const __m128i low = _mm_unpacklo_epi16(values, values);
  const __m128i high = _mm_unpackhi_epi16(values, values);
  StoreRow(block + 0, _mm_shuffle_epi32(low, _MM_SHUFFLE(0, 0, 0, 0)));
  StoreRow(block + 8, _mm_shuffle_epi32(low, _MM_SHUFFLE(1, 1, 1, 1)));
  StoreRow(block + 16, _mm_shuffle_epi32(low, _MM_SHUFFLE(2, 2, 2, 2)));
  StoreRow(block + 24, _mm_shuffle_epi32(low, _MM_SHUFFLE(3, 3, 3, 3)));
  StoreRow(block + 32, _mm_shuffle_epi32(high, _MM_SHUFFLE(0, 0, 0, 0)));
  StoreRow(block + 40, _mm_shuffle_epi32(high, _MM_SHUFFLE(1, 1, 1, 1)));
  StoreRow(block + 48, _mm_shuffle_epi32(high, _MM_SHUFFLE(2, 2, 2, 2)));
  StoreRow(block + 56, _mm_shuffle_epi32(high, _MM_SHUFFLE(3, 3, 3, 3)));
}

// Row v of the horizontal pass as the pairs of columns (0, 1), (2, 3),
// (7, 6), (5, 4): the same products, each computed once.
void HorizontalRow(const int16_t f[8], uint32_t nonzero, __m128d t[4]) {
  for (int p = 0; p < 4; ++p) t[p] = _mm_setzero_pd();
  for (; nonzero; nonzero &= nonzero - 1) {
    const int u = LowestBit(nonzero);
    const __m128d coefficient = _mm_set1_pd(f[u]);
    const __m128d left = _mm_mul_pd(coefficient, _mm_loadu_pd(&kBasis.c[u][0]));
    const __m128d middle = _mm_mul_pd(coefficient, _mm_loadu_pd(&kBasis.c[u][2]));
    t[0] = _mm_add_pd(t[0], left);
    t[1] = _mm_add_pd(t[1], middle);
    if (u & 1) {
      t[2] = _mm_sub_pd(t[2], left);
      t[3] = _mm_sub_pd(t[3], middle);
    } else {
      t[2] = _mm_add_pd(t[2], left);
      t[3] = _mm_add_pd(t[3], middle);
    }
  }
}

// Only column 0 coded: every t[v][x] is F(v, 0) * c[0][x] with one
// constant, so each output row holds one value; the vertical sums are
// computed once for the rows (0, 1), (2, 3), (7, 6), (5, 4).
void FirstColumnOnly(int16_t block[64], uint32_t rows) {
  __m128d s[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
  for (; rows; rows &= rows - 1) {
    const int v = LowestBit(rows);
    const __m128d t = _mm_set1_pd(block[8 * v] * kBasis.c[0][0]);
    const __m128d top = _mm_mul_pd(_mm_loadu_pd(&kBasis.c[v][0]), t);
    const __m128d middle = _mm_mul_pd(_mm_loadu_pd(&kBasis.c[v][2]), t);
    s[0] = _mm_add_pd(s[0], top);
    s[1] = _mm_add_pd(s[1], middle);
    if (v & 1) {
      s[2] = _mm_sub_pd(s[2], top);
      s[3] = _mm_sub_pd(s[3], middle);
    } else {
      s[2] = _mm_add_pd(s[2], top);
      s[3] = _mm_add_pd(s[3], middle);
    }
  }
  const __m128i values = RoundAndClip8(s);
  StoreRowsOfEach(block, values);
}

// Only row 0 coded: every output is c[0][y] * t[0][x] with one constant,
// so all output rows are the same.
void FirstRowOnly(int16_t block[64], uint32_t columns) {
  __m128d t[4];
  HorizontalRow(block, columns, t);
  const __m128d c = _mm_set1_pd(kBasis.c[0][0]);
  __m128d s[4];
  for (int p = 0; p < 4; ++p) s[p] = _mm_mul_pd(c, t[p]);
  const __m128i values = RoundAndClip8(s);
  for (int y = 0; y < 8; ++y) StoreRow(block + 8 * y, values);
}

// kTryFloat: the float step first (not after a sum that left the block
// undecided: its error is larger).
template <bool kTryFloat>
void TransformSse2(int16_t block[64], uint64_t nonzero) {
  if ((nonzero & ~uint64_t{0xff}) == 0) {
    FirstRowOnly(block, static_cast<uint32_t>(nonzero));
    return;
  }
  if ((nonzero & ~kFirstColumn) == 0) {
    FirstColumnOnly(block, CodedRowsOfFirstColumn(nonzero));
    return;
  }
  if (kTryFloat && inverse_dct_float_sse2(block)) return;
  // t[v] holds row v of the horizontal pass.
  __m128d t[8][4];
  int rows[8];
  int row_count = 0;
  for (int v = 0; v < 8; ++v) {
    const uint32_t columns = static_cast<uint32_t>(nonzero >> (8 * v)) & 0xff;
    if (columns == 0) continue;
    HorizontalRow(block + 8 * v, columns, t[v]);
    rows[row_count++] = v;
  }
  // Output rows y and 7 - y share their products.
  for (int y = 0; y < 4; ++y) {
    __m128d top[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    __m128d bottom[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    for (int i = 0; i < row_count; ++i) {
      const int v = rows[i];
      const __m128d c = _mm_set1_pd(kBasis.c[v][y]);
      if (v & 1) {
        for (int p = 0; p < 4; ++p) {
          const __m128d product = _mm_mul_pd(c, t[v][p]);
          top[p] = _mm_add_pd(top[p], product);
          bottom[p] = _mm_sub_pd(bottom[p], product);
        }
      } else {
        for (int p = 0; p < 4; ++p) {
          const __m128d product = _mm_mul_pd(c, t[v][p]);
          top[p] = _mm_add_pd(top[p], product);
          bottom[p] = _mm_add_pd(bottom[p], product);
        }
      }
    }
    StoreRow(block + 8 * y, RoundAndClip8(top));
    StoreRow(block + 8 * (7 - y), RoundAndClip8(bottom));
  }
}

#if defined(IDCT_HAS_AVX)

// The SSE2 paths' operations four columns at a time: the columns (0, 1,
// 2, 3) and (7, 6, 5, 4) of a row, or the rows of one column.
#define AVX_FUNCTION __attribute__((target("avx")))

AVX_FUNCTION __m128i MaskToInt32(__m256d mask) {
  const __m256 m = _mm256_castpd_ps(mask);
  return _mm_castps_si128(
      _mm_shuffle_ps(_mm256_castps256_ps128(m), _mm256_extractf128_ps(m, 1), _MM_SHUFFLE(2, 0, 2, 0)));
}

AVX_FUNCTION __m128i RoundAndClip8Avx(__m256d left, __m256d right) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d a = _mm256_add_pd(left, half);
  const __m256d b = _mm256_add_pd(right, half);
  const __m128i ta = _mm256_cvttpd_epi32(a);
  const __m128i tb = _mm256_cvttpd_epi32(b);
  const __m128i ra = _mm_add_epi32(ta, MaskToInt32(_mm256_cmp_pd(a, _mm256_cvtepi32_pd(ta), _CMP_LT_OQ)));
  const __m128i rb = _mm_add_epi32(tb, MaskToInt32(_mm256_cmp_pd(b, _mm256_cvtepi32_pd(tb), _CMP_LT_OQ)));
  const __m128i out = _mm_packs_epi32(ra, _mm_shuffle_epi32(rb, _MM_SHUFFLE(0, 1, 2, 3)));
  return _mm_min_epi16(_mm_max_epi16(out, _mm_set1_epi16(-256)), _mm_set1_epi16(255));
}

AVX_FUNCTION void StoreRowAvx(int16_t* row, __m128i values) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(row), values);
}

// Adds product to sum, and to mirrored its exact negation for odd k.
AVX_FUNCTION void AddMirrored(__m256d& sum, __m256d& mirrored, __m256d product, int k) {
  sum = _mm256_add_pd(sum, product);
  mirrored = (k & 1) ? _mm256_sub_pd(mirrored, product) : _mm256_add_pd(mirrored, product);
}

AVX_FUNCTION void HorizontalRowAvx(const int16_t f[8], uint32_t nonzero, __m256d& left, __m256d& right) {
  left = right = _mm256_setzero_pd();
  for (; nonzero; nonzero &= nonzero - 1) {
    const int u = LowestBit(nonzero);
    AddMirrored(left, right, _mm256_mul_pd(_mm256_set1_pd(f[u]), _mm256_loadu_pd(&kBasis.c[u][0])), u);
  }
}

template <bool kTryFloat>
AVX_FUNCTION void TransformAvx(int16_t block[64], uint64_t nonzero) {
  if ((nonzero & ~uint64_t{0xff}) == 0) {
    __m256d left, right;
    HorizontalRowAvx(block, static_cast<uint32_t>(nonzero), left, right);
    const __m256d c = _mm256_set1_pd(kBasis.c[0][0]);
    const __m128i values = RoundAndClip8Avx(_mm256_mul_pd(c, left), _mm256_mul_pd(c, right));
    for (int y = 0; y < 8; ++y) StoreRowAvx(block + 8 * y, values);
    return;
  }
  if ((nonzero & ~kFirstColumn) == 0) {
    __m256d top = _mm256_setzero_pd(), bottom = _mm256_setzero_pd();
    for (uint32_t rows = CodedRowsOfFirstColumn(nonzero); rows; rows &= rows - 1) {
      const int v = LowestBit(rows);
      const __m256d t = _mm256_set1_pd(block[8 * v] * kBasis.c[0][0]);
      AddMirrored(top, bottom, _mm256_mul_pd(_mm256_loadu_pd(&kBasis.c[v][0]), t), v);
    }
    const __m128i values = RoundAndClip8Avx(top, bottom);
    StoreRowsOfEach(block, values);
    return;
  }
  if (kTryFloat && inverse_dct_float_avx(block)) return;
  __m256d left[8], right[8];
  int rows[8];
  int row_count = 0;
  for (int v = 0; v < 8; ++v) {
    const uint32_t columns = static_cast<uint32_t>(nonzero >> (8 * v)) & 0xff;
    if (columns == 0) continue;
    HorizontalRowAvx(block + 8 * v, columns, left[v], right[v]);
    rows[row_count++] = v;
  }
  for (int y = 0; y < 4; ++y) {
    __m256d top_left = _mm256_setzero_pd(), top_right = _mm256_setzero_pd();
    __m256d bottom_left = _mm256_setzero_pd(), bottom_right = _mm256_setzero_pd();
    for (int i = 0; i < row_count; ++i) {
      const int v = rows[i];
      const __m256d c = _mm256_set1_pd(kBasis.c[v][y]);
      AddMirrored(top_left, bottom_left, _mm256_mul_pd(c, left[v]), v);
      AddMirrored(top_right, bottom_right, _mm256_mul_pd(c, right[v]), v);
    }
    StoreRowAvx(block + 8 * y, RoundAndClip8Avx(top_left, top_right));
    StoreRowAvx(block + 8 * (7 - y), RoundAndClip8Avx(bottom_left, bottom_right));
  }
}

#endif

using Transform = void (*)(int16_t block[64], uint64_t nonzero);

// Blocks coded in the DC only share one path: every output is
// c[0][y] * (F * c[0][x]) with one constant c[0][*].
void DcOnly(int16_t block[64]) {
  const __m128i value = _mm_set1_epi16(RoundAndClip(kBasis.c[0][0] * (block[0] * kBasis.c[0][0])));
  for (int y = 0; y < 8; ++y) StoreRow(block + 8 * y, value);
}

void TransformBlock(int16_t block[64], Transform transform) {
  const uint64_t nonzero = NonZeroMask(block);
  if (nonzero <= 1) {
    DcOnly(block);
    return;
  }
  transform(block, nonzero);
}

bool AvxSupported() {
#if defined(IDCT_HAS_AVX)
  __builtin_cpu_init();  // may run before the constructors that would call it
  return __builtin_cpu_supports("avx");
#else
  return false;
#endif
}

const bool kAvxSupported = AvxSupported();

bool Avx512Supported() {
#if defined(IDCT_HAS_AVX) && defined(__x86_64__)  // see idct_sum_avx512.cpp
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f");
#else
  return false;
#endif
}

const bool kAvx512Supported = Avx512Supported();

}  // namespace

bool inverse_dct_avx_supported() { return kAvxSupported; }
bool inverse_dct_avx512_supported() { return kAvx512Supported; }

void inverse_dct_sse2(int16_t block[64]) { TransformBlock(block, TransformSse2<true>); }

void inverse_dct_avx(int16_t block[64]) {
#if defined(IDCT_HAS_AVX)
  TransformBlock(block, TransformAvx<true>);
#else
  inverse_dct_sse2(block);
#endif
}

void inverse_dct_fast(int16_t block[64]) {
#if defined(IDCT_HAS_AVX)
  if (kAvxSupported) {
    TransformBlock(block, TransformAvx<true>);
    return;
  }
#endif
  TransformBlock(block, TransformSse2<true>);
}

// The list spares reading the block for its zeros; blocks of few
// coefficients take the sum of their images, which decides nearly all.
void inverse_dct_coded(int16_t block[64], const uint8_t* coded, int count) {
  if (count == 0 || (count == 1 && coded[0] == 0)) {
    DcOnly(block);
    return;
  }
  if (count > basis_sum::kMostTerms) {
    inverse_dct_fast(block);
    return;
  }
#if defined(IDCT_HAS_AVX)
  if (kAvx512Supported) {
    if (!inverse_dct_sum_avx512(block, coded, count)) TransformBlock(block, TransformAvx<false>);
    return;
  }
  if (kAvxSupported) {
    if (!inverse_dct_sum_avx(block, coded, count)) TransformBlock(block, TransformAvx<false>);
    return;
  }
#endif
  if (!inverse_dct_sum_sse2(block, coded, count)) TransformBlock(block, TransformSse2<false>);
}

#else

// Without SSE2 the plain loops are as good as any reordering that keeps
// the results.
void inverse_dct_fast(int16_t block[64]) { inverse_dct_reference(block); }
void inverse_dct_sse2(int16_t block[64]) { inverse_dct_reference(block); }
void inverse_dct_avx(int16_t block[64]) { inverse_dct_reference(block); }
bool inverse_dct_avx_supported() { return false; }
bool inverse_dct_avx512_supported() { return false; }
void inverse_dct_coded(int16_t block[64], const uint8_t*, int) { inverse_dct_reference(block); }

#endif

void inverse_dct(int16_t block[64]) { inverse_dct_fast(block); }
