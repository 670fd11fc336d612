#include "form/numbers.h"

#include "services/errors.h"

#include <cmath>
#include <limits>

namespace zs {

namespace {

template <typename Int> Int roundChecked(double value) {
    if (std::isnan(value)) {
        throw Error(Error::Code::Overflow, "Overflow: not a number");
    }
    // nearbyint uses the current rounding mode, which is round-to-nearest-even
    // unless someone changed it; roundeven is not in C++20.
    const double r = std::nearbyint(value);
    if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
        r > static_cast<double>(std::numeric_limits<Int>::max())) {
        throw Error(Error::Code::Overflow, "Overflow: " + std::to_string(value));
    }
    return static_cast<Int>(r);
}

// Parses [blanks][sign]digits[.digits][blanks] or [sign].digits; returns NaN
// when the text has another form.
double parseDecimal(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    qsizetype i = 0;
    if (t[i] == u'+' || t[i] == u'-') {
        ++i;
    }
    qsizetype digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return std::numeric_limits<double>::quiet_NaN();
        }
    }
    if (digits == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    bool ok = false;
    const double v = t.toDouble(&ok); // QString::toDouble is locale independent
    return ok ? v : std::numeric_limits<double>::quiet_NaN();
}

template <typename Int> Int readChecked(const QString& text) {
    const double v = parseDecimal(text);
    if (std::isnan(v)) {
        throw Error(Error::Code::TypeMismatch, "Type mismatch: \"" + text.toStdString() + "\"");
    }
    return roundChecked<Int>(v);
}

} // namespace

std::int16_t roundToInt16(double value) {
    return roundChecked<std::int16_t>(value);
}
std::int32_t roundToInt32(double value) {
    return roundChecked<std::int32_t>(value);
}

std::int16_t toInt16(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        throw Error(Error::Code::Overflow, "Overflow: " + std::to_string(value));
    }
    return static_cast<std::int16_t>(value);
}

std::int32_t mulInt32(std::int32_t a, std::int32_t b) {
    std::int32_t r = 0;
    if (__builtin_mul_overflow(a, b, &r)) {
        throw Error(Error::Code::Overflow,
                    "Overflow: " + std::to_string(a) + " * " + std::to_string(b));
    }
    return r;
}

QString formatWhole(double value) {
    const double r = std::round(value); // halves away from zero
    if (r == 0.0) {
        return QStringLiteral("0");
    }
    return QString::number(r, 'f', 0);
}

std::int16_t readInt16(const QString& text) {
    return readChecked<std::int16_t>(text);
}
std::int32_t readInt32(const QString& text) {
    return readChecked<std::int32_t>(text);
}

} // namespace zs
