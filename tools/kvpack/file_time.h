// FILETIME values from and to ISO-8601 text and Unix time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "archive/format.h"

namespace kv::tools {

using kv::archive::FileTime;

// "2026-12-01T12:00:00Z", with an optional fraction ("...:25.237Z", up to 100 ns are kept) and
// "Z" or a "+hh:mm"/"-hh:mm" offset. 'T' may also be a space. Empty optional for anything else,
// including dates before 1601 that a FILETIME cannot hold.
std::optional<FileTime> ParseIsoUtc(std::string_view text);

// The same form back, in UTC, with the fraction only when it is not zero.
std::string FormatIsoUtc(FileTime time);

// Seconds and nanoseconds since 1970-01-01 UTC; empty optional before 1601.
std::optional<FileTime> FileTimeFromUnix(std::int64_t seconds, std::uint32_t nanoseconds = 0);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day);

}  // namespace kv::tools
