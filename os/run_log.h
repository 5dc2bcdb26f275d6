// The run log: one line per step of an installation or a removal, for deployments that read what
// was done instead of watching a window. A log that cannot be written is never an error of the run.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kv::os {

// A line is given as its parts, joined by the log itself: the callers build no strings of their
// own, which keeps every logged step small in the shipped programs.
class RunLog {
public:
    virtual ~RunLog() = default;
    // One line made of `parts`; the log adds the time in front and the line break behind.
    void Line(std::initializer_list<std::string_view> parts) { Write(parts); }
    void Line(std::string_view text) { Write({text}); }

protected:
    virtual void Write(std::initializer_list<std::string_view> parts) = 0;
};

// The log of a run that was asked for none.
class NullRunLog final : public RunLog {
protected:
    void Write(std::initializer_list<std::string_view>) override {}
};

// `log`, or a log that writes nothing when there is none.
inline RunLog& OrNullLog(RunLog* log) {
    static NullRunLog none;
    return log != nullptr ? *log : none;
}

// A local time to the millisecond, as the clock gives it.
struct LogTime {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "2026-12-07 21:30:05.123 text\r\n": the time as fixed-width digits, then the parts with their own
// line breaks turned into " | ", so that each step stays one line of the file.
inline std::string FormatLogLine(const LogTime& time, std::initializer_list<std::string_view> parts) {
    std::string line;
    const auto digits = [&line](unsigned value, int width) {
        char buffer[8];
        for (int i = width - 1; i >= 0; --i, value /= 10) buffer[i] = static_cast<char>('0' + value % 10);
        line.append(buffer, static_cast<std::size_t>(width));
    };
    digits(time.year, 4), line += '-', digits(time.month, 2), line += '-', digits(time.day, 2), line += ' ';
    digits(time.hour, 2), line += ':', digits(time.minute, 2), line += ':', digits(time.second, 2), line += '.';
    digits(time.millisecond, 3), line += ' ';
    for (const std::string_view text : parts) {
        for (const char c : text) {
            if (c == '\n')
                line += " | ";
            else if (c != '\r')
                line += c;
        }
    }
    line += "\r\n";
    return line;
}

}  // namespace kv::os
