// FILETIME values from and to ISO-8601 text and Unix time.
#include "tools/kvpack/file_time.h"

#include <cstdio>

namespace kv::tools {
namespace {

constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr std::int64_t kTicksPerSecond = 10'000'000;

bool ReadDigits(std::string_view text, std::size_t& pos, std::size_t count, int& value) {
    if (pos + count > text.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

bool IsLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

}  // namespace

// Howard Hinnant's civil-date algorithms.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& year, unsigned& month, unsigned& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2);
}

std::optional<FileTime> FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds) {
    const std::int64_t since1601 = seconds + kUnixEpochInFileTimeSeconds;
    if (since1601 < 0 || nanoseconds >= 1'000'000'000) return std::nullopt;
    return static_cast<FileTime>(since1601) * kTicksPerSecond + nanoseconds / 100;
}

std::optional<FileTime> ParseIsoUtc(std::string_view text) {
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, pos, 4, year) || !Expect(text, pos, '-') || !ReadDigits(text, pos, 2, month) ||
        !Expect(text, pos, '-') || !ReadDigits(text, pos, 2, day)) {
        return std::nullopt;
    }
    if (pos >= text.size() || (text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ')) return std::nullopt;
    ++pos;
    if (!ReadDigits(text, pos, 2, hour) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, minute) ||
        !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, second)) {
        return std::nullopt;
    }
    std::int64_t ticks = 0;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        std::size_t digits = 0;
        std::int64_t scale = kTicksPerSecond / 10;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            ticks += (text[pos] - '0') * scale;  // digits past the seventh add zero
            scale /= 10;
            ++pos;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
    }
    std::int64_t offsetMinutes = 0;
    if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
        ++pos;
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int sign = text[pos] == '-' ? -1 : 1;
        ++pos;
        int oh = 0, om = 0;
        if (!ReadDigits(text, pos, 2, oh) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, om) || oh > 23 ||
            om > 59) {
            return std::nullopt;
        }
        offsetMinutes = sign * (oh * 60 + om);
    } else {
        return std::nullopt;  // a local time without offset would depend on the build machine
    }
    if (pos != text.size()) return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || static_cast<unsigned>(day) > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59) {
        return std::nullopt;
    }
    const std::int64_t seconds =
        DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetMinutes * 60;
    const std::optional<FileTime> whole = FileTimeFromUnix(seconds);
    if (!whole) return std::nullopt;
    return *whole + static_cast<FileTime>(ticks);
}

std::string FormatIsoUtc(FileTime time) {
    const auto totalSeconds = static_cast<std::int64_t>(time / kTicksPerSecond) - kUnixEpochInFileTimeSeconds;
    const auto ticks = static_cast<unsigned>(time % kTicksPerSecond);
    std::int64_t days = totalSeconds / 86400;
    std::int64_t rest = totalSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(year), month, day,
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    std::string out = text;
    if (ticks != 0) {
        std::snprintf(text, sizeof text, ".%07u", ticks);
        std::string fraction = text;
        while (fraction.back() == '0') fraction.pop_back();
        out += fraction;
    }
    return out + "Z";
}

}  // namespace kv::tools
