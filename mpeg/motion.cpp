// Prediction sample loops, region prediction and block placement.
#include "mpeg/motion.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)

// 8 or 16 samples: the loads read exactly the samples the plain rule reads.
template <int Width>
__m128i LoadSamples(const uint8_t* p) {
  if (Width == 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

template <int Width>
void StoreSamples(uint8_t* p, __m128i samples) {
  if (Width == 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), samples);
  else
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), samples);
}

// A row's horizontal averages (a + b + 1) >> 1 and whether each pair's sum
// was odd (bit 0 of a ^ b), for AverageOfFour.
struct HalfRow {
  __m128i average, odd;
};

template <int Width>
HalfRow HorizontalHalf(const uint8_t* p) {
  const __m128i a = LoadSamples<Width>(p), b = LoadSamples<Width>(p + 1);
  return {_mm_avg_epu8(a, b), _mm_xor_si128(a, b)};
}

// (a + b + c + d + 2) >> 2 per byte from the two rows' HalfRows: the
// average of the averages, which rounds up once too often exactly where a
// pair's sum was odd and the two averages differ in parity (checked over
// all 2^32 inputs).
__m128i AverageOfFour(const HalfRow& top, const HalfRow& bottom) {
  const __m128i twice_rounded = _mm_and_si128(_mm_or_si128(top.odd, bottom.odd),
                                              _mm_xor_si128(top.average, bottom.average));
  return _mm_sub_epi8(_mm_avg_epu8(top.average, bottom.average),
                      _mm_and_si128(twice_rounded, _mm_set1_epi8(1)));
}

// The plain sample rule (without SSE2, below), 8 or 16 samples per instruction: _mm_avg_epu8 is
// (a + b + 1) >> 1 exactly.
template <int Width, int HalfX, int HalfY, int Copy>
void PredictRows(const uint8_t* __restrict source, uint8_t* __restrict destination, ptrdiff_t source_stride,
                 ptrdiff_t destination_stride, int rows) {
  HalfRow above = {};  // each row's halves serve the row below too
  if (HalfX && HalfY) above = HorizontalHalf<Width>(source);
  for (int row = 0; row < rows; ++row) {
    const uint8_t* p = source;
    const uint8_t* q = source + source_stride;
    __m128i prediction;
    if (HalfX && HalfY) {
      const HalfRow below = HorizontalHalf<Width>(q);
      prediction = AverageOfFour(above, below);
      above = below;
    } else if (HalfX)
      prediction = _mm_avg_epu8(LoadSamples<Width>(p), LoadSamples<Width>(p + 1));
    else if (HalfY)
      prediction = _mm_avg_epu8(LoadSamples<Width>(p), LoadSamples<Width>(q));
    else
      prediction = LoadSamples<Width>(p);
    if (!Copy) prediction = _mm_avg_epu8(LoadSamples<Width>(destination), prediction);
    StoreSamples<Width>(destination, prediction);
    source += source_stride;
    destination += destination_stride;
  }
}

#else

// One definition of the sample rule; the compiler makes the sixteen
// specialised loops (width x half_x x half_y x copy/average) from it.
// Source and destination never share a byte (a field predicted from the
// other field of its own frame reads the other rows), hence __restrict.
template <int Width, int HalfX, int HalfY, int Copy>
void PredictRows(const uint8_t* __restrict source, uint8_t* __restrict destination, ptrdiff_t source_stride,
                 ptrdiff_t destination_stride, int rows) {
  for (int row = 0; row < rows; ++row) {
    const uint8_t* p = source;
    const uint8_t* q = source + source_stride;
    for (int i = 0; i < Width; ++i) {
      unsigned prediction;
      if (HalfX && HalfY)
        prediction = (p[i] + p[i + 1] + q[i] + q[i + 1] + 2u) >> 2;
      else if (HalfX)
        prediction = (p[i] + p[i + 1] + 1u) >> 1;
      else if (HalfY)
        prediction = (p[i] + q[i] + 1u) >> 1;
      else
        prediction = p[i];
      destination[i] =
          static_cast<uint8_t>(Copy ? prediction : (destination[i] + prediction + 1u) >> 1);
    }
    source += source_stride;
    destination += destination_stride;
  }
}

#endif

using RowsFunction = void (*)(const uint8_t*, uint8_t*, ptrdiff_t, ptrdiff_t, int);

// Indexed by width16 << 3 | copy << 2 | half_y << 1 | half_x.
const RowsFunction kPredictRows[16] = {
    PredictRows<8, 0, 0, 0>,  PredictRows<8, 1, 0, 0>,  PredictRows<8, 0, 1, 0>,
    PredictRows<8, 1, 1, 0>,  PredictRows<8, 0, 0, 1>,  PredictRows<8, 1, 0, 1>,
    PredictRows<8, 0, 1, 1>,  PredictRows<8, 1, 1, 1>,  PredictRows<16, 0, 0, 0>,
    PredictRows<16, 1, 0, 0>, PredictRows<16, 0, 1, 0>, PredictRows<16, 1, 1, 0>,
    PredictRows<16, 0, 0, 1>, PredictRows<16, 1, 0, 1>, PredictRows<16, 0, 1, 1>,
    PredictRows<16, 1, 1, 1>,
};

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

// One plane of a region. Coordinates are in the plane's own samples and,
// for field kinds, in rows of the field.
struct PlaneRegion {
  int width;         // 8 or 16
  int rows;          // rows of the region
  int x, row;        // destination top-left
  int mvx, mvy;      // vector in half samples of this plane
  int plane_width;   // samples per row that belong to the plane
  int plane_rows;    // rows of the plane (frame rows)
};

// The first sample of a read of `size` + `half` samples starting near
// `start`, kept inside [0, extent). A plane too small for the
// interpolation sample (a picture of one macroblock row read by field)
// loses the half-sample step instead.
int FitInside(int start, int size, int& half, int extent) {
  if (extent - size - half < 0) half = 0;
  return Clamp(start, 0, extent - size - half);
}

// The rows of large reference pictures come from beyond the caches, and
// the processor's own prefetching follows too few of a region's rows. So
// each region asks now for the rows it would read four macroblocks on
// with its own vector. Pictures below this width stay in the caches, where
// the requests only cost.
constexpr int kPrefetchFromWidth = 1024;
constexpr int kPrefetchMacroblocks = 4;

void PrefetchAhead(const uint8_t* source, ptrdiff_t line, const PlaneRegion& r) {
  const uint8_t* ahead = source + kPrefetchMacroblocks * r.width;
  for (int k = 0; k <= r.rows; ++k) __builtin_prefetch(ahead + k * line);  // never faults
}

void PredictPlane(const uint8_t* reference, uint8_t* destination, ptrdiff_t stride,
                  PredictionKind kind, const PlaneRegion& r, int copy) {
  int half_x = r.mvx & 1;
  int half_y = r.mvy & 1;
  ptrdiff_t line = stride;
  int source_rows = r.plane_rows;
  const uint8_t* source_base = reference;
  uint8_t* destination_base = destination;
  if (kind != PREDICT_FRAME) {
    const int source_bottom = (kind >> 1) & 1;
    const int destination_bottom = kind & 1;
    line = 2 * stride;
    source_rows = (r.plane_rows - source_bottom + 1) / 2;
    source_base += source_bottom * stride;
    destination_base += destination_bottom * stride;
  }
  // Keep the whole area read, including the interpolation column and row,
  // inside the plane.
  const int source_x = FitInside(r.x + (r.mvx >> 1), r.width, half_x, r.plane_width);
  const int source_row = FitInside(r.row + (r.mvy >> 1), r.rows, half_y, source_rows);
  const uint8_t* source = source_base + source_row * line + source_x;
  if (stride >= kPrefetchFromWidth) PrefetchAhead(source, line, r);
  kPredictRows[(r.width == 16) << 3 | copy << 2 | half_y << 1 | half_x](
      source, destination_base + r.row * line + r.x, line, line, r.rows);
}

}  // namespace

void predict_rows(int width16, int half_x, int half_y, int copy, const uint8_t* source,
                  uint8_t* destination, ptrdiff_t source_stride, ptrdiff_t destination_stride,
                  int rows) {
  kPredictRows[(width16 != 0) << 3 | (copy != 0) << 2 | (half_y != 0) << 1 | (half_x != 0)](
      source, destination, source_stride, destination_stride, rows);
}

void predict_block(const YuvPlanes& reference, const YuvPlanes& destination, PredictionKind kind,
                   int mvx, int mvy, int x, int y, int copy) {
  const ptrdiff_t stride = destination.width;
  const bool field = kind != PREDICT_FRAME;
  const int luma_rows = field ? 8 : 16;
  const int luma_row = field ? y / 2 : y;
  PlaneRegion luma = {16, luma_rows, x, luma_row, mvx, mvy, destination.width, destination.height};
  PredictPlane(reference.y, destination.y, stride, kind, luma, copy);

  PlaneRegion chroma = luma;
  if (destination.chroma_format != 3) {
    chroma.width = 8;
    chroma.x = x / 2;
    chroma.mvx = mvx / 2;  // toward zero
    chroma.plane_width = destination.width / 2;
  }
  if (destination.chroma_format == 1) {
    chroma.rows = luma_rows / 2;
    chroma.row = luma_row / 2;
    chroma.mvy = mvy / 2;
    chroma.plane_rows = destination.height / 2;
  }
  PredictPlane(reference.cb, destination.cb, stride, kind, chroma, copy);
  PredictPlane(reference.cr, destination.cr, stride, kind, chroma, copy);
}

namespace {

#if !defined(__SSE2__)
uint8_t ClipSample(int value) { return static_cast<uint8_t>(Clamp(value, 0, 255)); }
#endif

void StoreBlock(const int16_t block[64], uint8_t* destination, ptrdiff_t line, int intra) {
#if defined(__SSE2__)
  // Saturating 16-bit sums: a sample (0..255) plus any int16 value clips
  // the same way as the sum in int.
  const __m128i zero = _mm_setzero_si128();
  for (int row = 0; row < 8; ++row, destination += line) {
    __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * row));
    if (!intra) {
      const __m128i samples =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(destination)), zero);
      values = _mm_adds_epi16(values, samples);
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), _mm_packus_epi16(values, values));
  }
#else
  for (int row = 0; row < 8; ++row, destination += line) {
    const int16_t* values = block + 8 * row;
    for (int i = 0; i < 8; ++i)
      destination[i] = ClipSample(intra ? values[i] : destination[i] + values[i]);
  }
#endif
}

}  // namespace

void write_block(const int16_t block[64], const YuvPlanes& picture, int block_index, int x, int y,
                 int picture_structure, int dct_type, int intra) {
  const ptrdiff_t stride = picture.width;
  const bool field_picture = picture_structure != PICTURE_FRAME;
  const int bottom = picture_structure == PICTURE_BOTTOM_FIELD;

  uint8_t* plane = picture.y;
  int column = x;
  int row = y;
  int second_row = 0;  // the block lies in the lower half of its component
  bool may_field_dct = true;
  if (block_index < 4) {
    column += (block_index & 1) * 8;
    second_row = block_index >> 1;
  } else {
    const int k = (block_index - 4) >> 1;  // position within its component
    plane = (block_index & 1) ? picture.cr : picture.cb;
    if (picture.chroma_format == 3) {
      column += (k >> 1) * 8;
      second_row = k & 1;
    } else {
      column /= 2;
      second_row = picture.chroma_format == 2 ? k & 1 : 0;
    }
    if (picture.chroma_format == 1) {
      row /= 2;
      may_field_dct = false;  // 4:2:0 chroma is frame-organised in frame pictures
    }
  }

  ptrdiff_t line = stride;
  if (field_picture) {
    line = 2 * stride;
    row += bottom + second_row * 16;
  } else if (dct_type && may_field_dct) {
    line = 2 * stride;
    row += second_row;
  } else {
    row += second_row * 8;
  }
  StoreBlock(block, plane + row * stride + column, line, intra);
}
