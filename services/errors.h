#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace zs {

// A failure of a step: a refused property value, an arithmetic overflow, a
// text that is not a number. Handlers that skip failing steps run each step
// through skipOnError; everywhere else it reaches the event dispatch, which
// reports it and ends the program.
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

// Runs one step of a handler that skips failing steps. A step that throws
// zs::Error stops where it threw: what it set before stays, the rest of it is
// left undone, and the handler goes on with its next step. Any other
// exception passes through.
template <typename Step> void skipOnError(Step&& step) {
    try {
        std::forward<Step>(step)();
    } catch (const Error&) {
        // Skipped; the next step runs.
    }
}

// Thrown by a wait when the program is ending, so that the handler that waits
// stops where it is; the event dispatch swallows it.
struct ProgramEnding {};

} // namespace zs
