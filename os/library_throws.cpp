// The standard library's throw helpers, for the shipped Windows programs only (added by
// kv_shipped_program). The library's own versions live in one object that also brings the standard
// exception classes' constructors, the copy-on-write string they store messages in, and through that
// the random device and a second string: about 75 KB for errors these programs never expect.
// If new code needs a helper not defined here, the link fails with a duplicate definition.
#include <cstddef>
#include <exception>
#include <new>

namespace {

// A library error with the library's own message, reported by the dialogs' catch-all handlers.
class LibraryError : public std::exception {
public:
    explicit LibraryError(const char* message) : m_message(message) {}
    const char* what() const noexcept override { return m_message; }

private:
    const char* m_message;
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
// A container asked to grow past its maximum size: memory that can never be had, so it is reported
// as such (the installer's loader treats length_error and bad_alloc alike, as "out of memory").
void __throw_length_error(const char*) { throw std::bad_alloc(); }
void __throw_logic_error(const char* message) { throw LibraryError(message); }
// The format's arguments are dropped: the message is only ever a report of a programming error.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryError(format); }

}  // namespace std
