#pragma once

#include <stdexcept>
#include <string>

namespace zs {

// A failure of a step: a refused property value, an arithmetic overflow, a
// text that is not a number. Handlers that skip failing steps catch it step by
// step; everywhere else it reaches the event dispatch, which reports it and
// ends the program.
class Error : public std::runtime_error {
public:
    enum class Code {
        Overflow,     // a value does not fit its integer width
        TypeMismatch, // a text is not a number
        InvalidValue, // a control refuses a property value
        DivisionByZero,
        OutOfMemory, // a picture larger than the stated limits
        File,        // a file could not be read or written
        Device,      // printer, clipboard or screen failure
    };

    Error(Code code, const std::string& what) : std::runtime_error(what), m_code(code) {}

    Code code() const noexcept { return m_code; }

    // "Overflow", "Type mismatch", ... for messages that name the error.
    static const char* codeName(Code code) noexcept;

private:
    Code m_code;
};

// Thrown by a wait when the program is ending, so that the handler that waits
// stops where it is; the event dispatch swallows it.
struct ProgramEnding {};

} // namespace zs
