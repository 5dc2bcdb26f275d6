// The archive checksum: a signed 8-bit byte sum with 32-bit wrap, over memory or streamed from a source.
#include "archive/checksum.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "archive/little_endian.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kv::archive {
namespace {

// A signed byte b equals (b ^ 0x80) - 128, so the signed sum is the unsigned sum of the bytes with
// their top bit flipped, less 128 per byte. Unsigned sums are what SIMD adds fastest.
constexpr std::uint32_t kSignBias = 128;

std::uint32_t FlippedSumTail(const std::uint8_t* p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += static_cast<std::uint8_t>(p[i] ^ 0x80u);
    return sum;
}

#if defined(__SSE2__)
// 64 bytes per round: PSADBW adds eight bytes at a time into 64-bit lanes, which cannot overflow.
std::uint32_t FlippedSum(const std::uint8_t* p, std::size_t n) {
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i zero = _mm_setzero_si128();
    __m128i acc0 = zero, acc1 = zero, acc2 = zero, acc3 = zero;
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 48));
        acc0 = _mm_add_epi64(acc0, _mm_sad_epu8(_mm_xor_si128(a, flip), zero));
        acc1 = _mm_add_epi64(acc1, _mm_sad_epu8(_mm_xor_si128(b, flip), zero));
        acc2 = _mm_add_epi64(acc2, _mm_sad_epu8(_mm_xor_si128(c, flip), zero));
        acc3 = _mm_add_epi64(acc3, _mm_sad_epu8(_mm_xor_si128(d, flip), zero));
    }
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        acc0 = _mm_add_epi64(acc0, _mm_sad_epu8(_mm_xor_si128(a, flip), zero));
    }
    const __m128i acc = _mm_add_epi64(_mm_add_epi64(acc0, acc1), _mm_add_epi64(acc2, acc3));
    std::uint64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), acc);
    return static_cast<std::uint32_t>(lanes[0] + lanes[1]) + FlippedSumTail(p + i, n - i);
}
#else
// Eight bytes per step in a 64-bit word: bytes are added pairwise into 16-bit lanes, which are
// folded before they can overflow (each step adds at most 2 * 255 to a lane).
std::uint32_t FlippedSum(const std::uint8_t* p, std::size_t n) {
    constexpr std::uint64_t kFlip = 0x8080808080808080ull;
    constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    constexpr std::size_t kStepsPerFold = 128;  // 128 * 510 < 65536
    std::uint32_t sum = 0;
    std::size_t i = 0;
    while (i + 8 <= n) {
        std::uint64_t lanes = 0;
        for (std::size_t step = 0; step < kStepsPerFold && i + 8 <= n; ++step, i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            word ^= kFlip;
            lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
        }
        // Add the four 16-bit lanes.
        lanes = (lanes & 0x0000FFFF0000FFFFull) + ((lanes >> 16) & 0x0000FFFF0000FFFFull);
        sum += static_cast<std::uint32_t>(lanes + (lanes >> 32));
    }
    return sum + FlippedSumTail(p + i, n - i);
}
#endif

}  // namespace

std::uint32_t SignedByteSum(std::span<const std::uint8_t> bytes, std::uint32_t start) {
    const std::uint32_t flipped = FlippedSum(bytes.data(), bytes.size());
    return start + flipped - kSignBias * static_cast<std::uint32_t>(bytes.size());  // wraps mod 2^32
}

std::uint32_t ChecksumOf(std::span<const std::uint8_t> wholeFile) {
    if (wholeFile.size() < 4) return 0;
    return SignedByteSum(wholeFile.first(wholeFile.size() - 4));
}

std::optional<std::uint32_t> SignedByteSumOf(ReadAtSource& source, std::uint64_t end) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kChecksumReadSize]);
    std::uint32_t sum = 0;
    for (std::uint64_t at = 0; at < end;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChecksumReadSize, end - at));
        if (source.ReadAt(at, {buffer.get(), want}) != want) return std::nullopt;
        sum = SignedByteSum({buffer.get(), want}, sum);
        at += want;
    }
    return sum;
}

}  // namespace kv::archive
