// AVX2 Base64 after the method of Muła and Lemire: the encoder reshuffles
// 24 bytes into 32 six-bit fields and maps them to characters with a small
// offset table; the decoder classifies characters by their nibbles (which
// also validates them), converts them to six-bit values and packs them.
#include "platform/base/base64_simd.h"

#include <immintrin.h>

bool Base64SimdAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

namespace {

__attribute__((target("avx2"))) __m256i EncodeReshuffle(__m256i input) {
    // Each 3-byte group a, b, c becomes the 32-bit word b, a, c, b.
    const __m256i shuffled = _mm256_shuffle_epi8(
        input, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10, 1, 0, 2, 1, 4, 3,
                                5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m256i t0 = _mm256_and_si256(shuffled, _mm256_set1_epi32(0x0fc0fc00));
    const __m256i t1 = _mm256_mulhi_epu16(t0, _mm256_set1_epi32(0x04000040));
    const __m256i t2 = _mm256_and_si256(shuffled, _mm256_set1_epi32(0x003f03f0));
    const __m256i t3 = _mm256_mullo_epi16(t2, _mm256_set1_epi32(0x01000010));
    return _mm256_or_si256(t1, t3);
}

__attribute__((target("avx2"))) __m256i EncodeTranslate(__m256i values) {
    const __m256i offsets =
        _mm256_setr_epi8(65, 71, -4, -4, -4, -4, -4, -4, -4, -4, -4, -4, -19, -16, 0, 0, 65, 71, -4,
                         -4, -4, -4, -4, -4, -4, -4, -4, -4, -19, -16, 0, 0);
    __m256i indices = _mm256_subs_epu8(values, _mm256_set1_epi8(51));
    const __m256i above25 = _mm256_cmpgt_epi8(values, _mm256_set1_epi8(25));
    indices = _mm256_sub_epi8(indices, above25);
    return _mm256_add_epi8(values, _mm256_shuffle_epi8(offsets, indices));
}

}  // namespace

__attribute__((target("avx2"))) size_t Base64EncodeBlocks(const uint8_t* in, size_t size,
                                                          char* out) {
    size_t done = 0;
    while (size - done >= 28) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 12));
        const __m256i input = _mm256_set_m128i(high, low);
        const __m256i text = EncodeTranslate(EncodeReshuffle(input));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), text);
        out += 32;
        done += 24;
    }
    return done;
}

__attribute__((target("avx2"))) size_t Base64DecodeBlocks(const uint8_t* in, size_t size,
                                                          uint8_t* out) {
    const __m256i lutLow =
        _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A,
                         0x1B, 0x1B, 0x1B, 0x1A, 0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                         0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
    const __m256i lutHigh =
        _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08,
                         0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
    const __m256i lutRoll =
        _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4,
                         -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
    const __m256i mask2F = _mm256_set1_epi8(0x2f);
    size_t done = 0;
    while (size - done >= 45) {
        __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + done));
        const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(text, 4), mask2F);
        const __m256i lowNibbles = _mm256_and_si256(text, mask2F);
        const __m256i high = _mm256_shuffle_epi8(lutHigh, highNibbles);
        const __m256i low = _mm256_shuffle_epi8(lutLow, lowNibbles);
        if (!_mm256_testz_si256(low, high)) break;  // a character outside the alphabet
        const __m256i is2F = _mm256_cmpeq_epi8(text, mask2F);
        const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(is2F, highNibbles));
        text = _mm256_add_epi8(text, roll);

        const __m256i pairs = _mm256_maddubs_epi16(text, _mm256_set1_epi32(0x01400140));
        __m256i packed = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        packed = _mm256_shuffle_epi8(
            packed, _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1,
                                     0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
        packed = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, -1, -1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
        out += 24;
        done += 32;
    }
    return done;
}
