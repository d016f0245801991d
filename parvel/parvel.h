/* Parvel: element-wise array kernels and image-transfer kernels.
 *
 * Every entry point takes its arguments by value (arrays by the address of their first element),
 * returns nothing, allocates nothing and keeps no state between calls. A count of zero or less
 * touches nothing. Byte = uint8_t, Int16 = int16_t, Int32 = int32_t, Single = float. */
#ifndef PARVEL_H
#define PARVEL_H

#include <stdint.h>

#if defined(VANTRY_KERNEL_BUILD)
#define PARVEL_API __attribute__((visibility("default")))
#else
#define PARVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* --- element-wise kernels ------------------------------------------------------------------ */

/// p[i] = v for n bytes.
PARVEL_API void varclr(uint8_t* p, uint8_t v, int32_t n);
/// p[i] = v for n Int16 elements.
PARVEL_API void var2clr(int16_t* p, int16_t v, int32_t n);
/// p[i] = v for n Int32 elements.
PARVEL_API void var4clr(int32_t* p, int32_t v, int32_t n);
/// Forward byte copy of n bytes (overlap only with dst below src).
PARVEL_API void vartrn(uint8_t* dst, uint8_t* src, int32_t n);
/// Forward copy of n Int16 elements (overlap only with dst below src).
PARVEL_API void var2trn(int16_t* dst, int16_t* src, int32_t n);
/// Forward copy of n raw 32-bit words, so Single arrays too (overlap only with dst below src).
PARVEL_API void var4trn(int32_t* dst, int32_t* src, int32_t n);
/// dst[i*dstStep] = src[i*srcStep] for n 32-bit words; steps in elements.
PARVEL_API void var4skip(int32_t* dst, int32_t dstStep, int32_t* src, int32_t srcStep, int32_t n);
/// dst[0] = src[0], one 32-bit word.
PARVEL_API void var4tst(int32_t* dst, int32_t* src);
/// dst[i] = dst[i] + src[i] in Single.
PARVEL_API void var4add(float* dst, float* src, int32_t n);
/// p[i] = x * p[i] in Single.
PARVEL_API void var4mul(float* p, float x, int32_t n);
/// dst[i] = dst[i] * src[i] in Single.
PARVEL_API void var4arymul(float* dst, float* src, int32_t n);
/// p[i] = p[i] div d with both taken as unsigned 16-bit, quotient truncated. d = 0 touches nothing.
PARVEL_API void var2div(int16_t* p, int16_t d, int32_t n);
/// Swaps the two bytes of each of n 16-bit words, in place.
PARVEL_API void varswap(uint8_t* p, int32_t n);
/// Reverses the four bytes of each of n 32-bit words, in place.
PARVEL_API void var4swap(uint8_t* p, int32_t n);
/// dst[i] = src[i] (signed Int16 to Single).
PARVEL_API void var2tosgl(float* dst, int16_t* src, int32_t n);
/// dst[i] = src[i] rounded to nearest, ties to even; a result outside Int16 keeps its low 16 bits.
PARVEL_API void varsglto2(int16_t* dst, float* src, int32_t n);
/// Each element read as unsigned v: 0 stays 0, else round(1000 * log10(v)), ties to even.
PARVEL_API void var2log(int16_t* p, int32_t n);
/// Each element read as signed v: y = Single(x * 10^Single(v / k)), clamped above at 32000, then
/// rounded to nearest (ties to even). A result outside Int16 keeps its low 16 bits.
PARVEL_API void var2lin(int16_t* p, int32_t k, float x, int32_t n);

/* --- image-transfer kernels ---------------------------------------------------------------- */

/// Scales the sw x sh region at (x0, y0) of an Int16 image (stride pixels per row) bilinearly
/// into a dw x dh 8-bit bitmap, rows bottom-up, each row padded to a multiple of 4 bytes (padding
/// not written). Every value goes through lut, which is indexed by the (possibly negative) pixel
/// value. A destination side of 1 uses a scale of 0 on that axis. Reads only the region.
PARVEL_API void li2bmp(uint8_t* dst, int16_t* img, int32_t stride, int32_t unused, int32_t sw,
                       int32_t sh, int32_t x0, int32_t y0, int32_t dw, int32_t dh, uint8_t* lut);
/// out[0] = rounded mean of the (2n+1) x (2n+1) block around centre (Single sum); n < 0 does nothing.
PARVEL_API void pixavei(int16_t* centre, int16_t* out, int16_t n, int16_t stride);
/// Maps an n x n Single image through window ww/wl to 8-bit grey, rows turned upside down.
PARVEL_API void ct4trn(uint8_t* dst, float* src, int16_t ww, int16_t wl, int32_t n);
/// As ct4trn for an Int16 image, each pixel taken as Single(pixel + offset).
PARVEL_API void ct2trn(uint8_t* dst, int16_t* src, int16_t ww, int16_t wl, int16_t offset,
                       int32_t n);
/// Expands a radial table (32 samples per bin) into a 512 x 512 frequency plane.
PARVEL_API void cttf512(int32_t* dst, int32_t* src);
/// Expands a radial table (16 samples per bin) into a 256 x 256 frequency plane.
PARVEL_API void cttf256(int32_t* dst, int32_t* src);
/// Expands a radial table into the a div 2 + 1 stored columns of an a x b half plane, both words of
/// each complex pair receiving the same value.
PARVEL_API void cttfc(int32_t* dst, int32_t* src, int32_t a, int32_t b);

#ifdef __cplusplus
}
#endif

#endif /* PARVEL_H */
