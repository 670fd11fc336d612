#include "services/errors.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zs {

const char* Error::codeName(Code code) noexcept {
    static constexpr std::array kNames{
        std::pair{Code::Overflow, "Overflow"},
        std::pair{Code::TypeMismatch, "Type mismatch"},
        std::pair{Code::InvalidValue, "Invalid property value"},
        std::pair{Code::DivisionByZero, "Division by zero"},
        std::pair{Code::OutOfMemory, "Out of memory"},
        std::pair{Code::File, "File error"},
        std::pair{Code::Device, "Device error"},
    };
    const auto* it = std::find_if(kNames.begin(), kNames.end(),
                                  [&](const auto& entry) { return entry.first == code; });
    return it != kNames.end() ? it->second : "Error";
}

} // namespace zs
