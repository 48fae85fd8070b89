// Inverse DCT of one 8x8 block of the Preview decoder: the double-precision
// reference transform, rounded to the nearest integer and clipped to 9 bits.
#pragma once

#include <cstdint>

// Transforms 64 coefficients in raster order (row v, column u at 8v + u),
// each in [-2048, 2047], in place into samples or differences in
// [-256, 255]. This is the entry point the decoder calls.
void inverse_dct(int16_t block[64]);

// The same for the decoder, which knows where the block's coefficients
// lie: `coded` lists the positions of all that may be non-zero, each once.
void inverse_dct_coded(int16_t block[64], const uint8_t* coded, int count);

// The plain separable transform: every product and every partial sum is
// rounded to binary64 in the order of the definition.
void inverse_dct_reference(int16_t block[64]);

// The same products summed in the same order, two columns per SSE2
// instruction, or four with AVX where the processor has it. A product with
// a mirrored basis function (c[u][7 - x] = +-c[u][x] exactly) is computed
// once and added or subtracted, zero coefficients and all-zero rows are
// skipped (adding a zero product leaves every sum unchanged apart from the
// sign of a zero, which the final rounding cannot see), and blocks coded
// only in the DC, the first row or the first column compute each distinct
// output once. Bit-identical to inverse_dct_reference for every block;
// tests/mpeg/idct_test.cpp checks it on both builds.
void inverse_dct_fast(int16_t block[64]);
// Before the general case, inverse_dct_fast tries the float butterfly of
// idct_butterfly.h (eight lanes with AVX, else four with SSE2), which gives
// the reference's integers wherever its error bound decides them; these
// are that step alone. Each returns false, leaving the block as it was,
// where any output is not decided (or in builds without the instructions).
// Call the AVX one only where inverse_dct_avx_supported().
bool inverse_dct_float_sse2(int16_t block[64]);
bool inverse_dct_float_avx(int16_t block[64]);
// The basis-image sum of idct_sum.h, tried first by inverse_dct_coded for
// blocks of few coefficients; false where any output is not decided.
bool inverse_dct_sum_sse2(int16_t block[64], const uint8_t* coded, int count);
bool inverse_dct_sum_avx(int16_t block[64], const uint8_t* coded, int count);
// Two rows per instruction; only where inverse_dct_avx512_supported().
bool inverse_dct_sum_avx512(int16_t block[64], const uint8_t* coded, int count);

// The forms inverse_dct_fast chooses from, for tests and benchmarks.
// Without an AVX form in the build inverse_dct_avx is inverse_dct_sse2;
// call it only where inverse_dct_avx_supported().
void inverse_dct_sse2(int16_t block[64]);
void inverse_dct_avx(int16_t block[64]);
bool inverse_dct_avx_supported();
bool inverse_dct_avx512_supported();
