// SZDD expansion: a bounded LZSS decoder that writes straight into the output, with no ring copy.
#include "archive/szdd.h"

#include <algorithm>
#include <cstring>

#include "archive/little_endian.h"

namespace kv::archive::szdd {

namespace {

// Longest output a stream of `streamBytes` bytes can produce: a flag byte and eight 2-byte
// matches of 18 bytes each give 144 bytes for 17. Bounds the allocation a forged header can ask for.
// Computed in 64 bits so a large input cannot wrap it on a 32-bit build.
std::uint64_t MaxOutputFor(std::size_t streamBytes) { return (std::uint64_t(streamBytes) / 17 + 1) * 144; }

}  // namespace

const char* StatusName(ExpandStatus status) {
    switch (status) {
    case ExpandStatus::Ok:
        return "ok";
    case ExpandStatus::NotSzdd:
        return "not SZDD";
    case ExpandStatus::Truncated:
        return "truncated";
    case ExpandStatus::TrailingBytes:
        return "trailing bytes";
    case ExpandStatus::BadHeader:
        return "bad header";
    }
    return "unknown";
}

Expanded Expand(std::span<const std::uint8_t> file) {
    Expanded result;
    // The LZ service copies a file that is too short for a header, or lacks the signature, unchanged.
    if (file.size() < kHeaderSize || !HasSignature(file)) {
        result.bytes.assign(file.begin(), file.end());
        result.status = ExpandStatus::NotSzdd;
        return result;
    }
    if (file[kModeOffset] != kModeA) {
        result.status = ExpandStatus::BadHeader;
        return result;
    }
    const std::uint32_t declared = LoadU32le(file.subspan<kSizeOffset, 4>());
    result.declaredSize = declared;

    const std::uint8_t* in = file.data() + kHeaderSize;
    const std::uint8_t* const inEnd = file.data() + file.size();
    // Output never exceeds the declared size, nor what the stream could possibly produce.
    const std::size_t limit = std::size_t(std::min<std::uint64_t>(declared, MaxOutputFor(file.size() - kHeaderSize)));
    result.bytes.resize(limit);
    std::uint8_t* const out = result.bytes.data();
    std::size_t outPos = 0;

    // Output byte j sits at ring position (kRingStart + j) mod kRingSize, so a ring position is a
    // distance back from the write position; a source before output byte 0 is the space pre-fill.
    constexpr std::size_t kRingMask = kRingSize - 1;
    bool overrun = false;   // a token produced more than the declared size
    bool cutShort = false;  // the data ended inside a match token

    // Copies a match of `length` bytes from `distance` back, spaces where it reaches before byte 0.
    auto copyMatch = [&](std::size_t distance, std::size_t length) {
        std::uint8_t* dst = out + outPos;
        if (distance > outPos) {
            for (std::size_t k = 0; k < length; ++k) {
                const std::size_t back = outPos + k;
                dst[k] = back >= distance ? out[back - distance] : std::uint8_t(' ');
            }
        } else {
            const std::uint8_t* src = dst - distance;
            for (std::size_t k = 0; k < length; ++k) dst[k] = src[k];  // overlapping copies repeat
        }
    };

    // Fast loop: while a whole flag group (at most 17 input bytes, 144 output bytes plus the
    // 6 bytes a chunked copy may write ahead) fits, no token needs a bounds check of its own.
    constexpr std::size_t kGroupIn = 17, kGroupOut = 8 * kMaxMatch + 8;
    while (std::size_t(inEnd - in) >= kGroupIn && limit - outPos >= kGroupOut) {
        unsigned flags = *in++;
        for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
            if (flags & 1) {
                out[outPos++] = *in++;
                continue;
            }
            const std::size_t ringPos = in[0] | std::size_t(in[1] & 0xF0) << 4;
            const std::size_t length = (in[1] & 0x0F) + kMinMatch;
            in += 2;
            const std::size_t distance = ((kRingStart + outPos - ringPos - 1) & kRingMask) + 1;
            if (distance >= 8 && distance <= outPos) {
                // Each 8-byte chunk reads only bytes written before it; the overshoot past
                // `length` is rewritten by later tokens or cut off at the end.
                std::uint8_t* dst = out + outPos;
                const std::uint8_t* src = dst - distance;
                for (std::size_t k = 0; k < length; k += 8) std::memcpy(dst + k, src + k, 8);
            } else {
                copyMatch(distance, length);
            }
            outPos += length;
        }
    }

    // Careful loop for the rest: every byte and every length checked.
    while (outPos < limit && in < inEnd && !cutShort) {
        unsigned flags = *in++;
        for (int bit = 0; bit < 8 && outPos < limit && in < inEnd; ++bit, flags >>= 1) {
            if (flags & 1) {
                out[outPos++] = *in++;
                continue;
            }
            if (inEnd - in < 2) {
                cutShort = true;
                break;
            }
            const std::size_t ringPos = in[0] | std::size_t(in[1] & 0xF0) << 4;
            std::size_t length = (in[1] & 0x0F) + kMinMatch;
            in += 2;
            const std::size_t distance = ((kRingStart + outPos - ringPos - 1) & kRingMask) + 1;
            if (length > limit - outPos) {
                length = limit - outPos;
                overrun = true;
            }
            copyMatch(distance, length);
            outPos += length;
        }
    }

    result.bytes.resize(outPos);
    if (cutShort || outPos < declared) {
        result.status = ExpandStatus::Truncated;
    } else if (overrun || in < inEnd) {
        result.status = ExpandStatus::TrailingBytes;
    }
    return result;
}

}  // namespace kv::archive::szdd
