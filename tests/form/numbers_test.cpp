#include "form/numbers.h"
#include "services/errors.h"

#include <gtest/gtest.h>

#include <optional>

namespace zs {
namespace {

// nullopt: the conversion must fail with the given code.
struct RoundCase {
    double in;
    std::optional<int> out;
};

TEST(Numbers, RoundToInt16TiesToEvenAndRange) {
    const RoundCase cases[] = {
        {7.5, 8},
        {6.5, 6},
        {-0.5, 0},
        {-1.5, -2},
        {2.4999, 2},
        {32767.4, 32767},
        {32767.5, std::nullopt},
        {-32768.5, -32768},
        {-32769, std::nullopt},
        {1e9, std::nullopt},
    };
    for (const auto& c : cases) {
        if (c.out) {
            EXPECT_EQ(roundToInt16(c.in), *c.out) << c.in;
        } else {
            try {
                roundToInt16(c.in);
                ADD_FAILURE() << c.in << " did not overflow";
            } catch (const Error& e) {
                EXPECT_EQ(e.code(), Error::Code::Overflow);
            }
        }
    }
}

TEST(Numbers, RoundToInt32Edges) {
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_EQ(roundToInt32(-2147483648.5), -2147483648); // tie to the even one
    EXPECT_EQ(roundToInt32(22.5), 22);
    EXPECT_THROW(roundToInt32(2147483647.5), Error);
    EXPECT_THROW(roundToInt32(std::numeric_limits<double>::quiet_NaN()), Error);
}

TEST(Numbers, FormatWholeRoundsHalvesAwayFromZero) {
    const struct {
        double in;
        const char* out;
    } cases[] = {
        {0.47, "0"}, {0.53, "1"},  {1.47, "1"},  {2.5, "3"},       {-2.5, "-3"},
        {-0.4, "0"}, {100, "100"}, {-40, "-40"}, {1e6, "1000000"}, {82.5, "83"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatWhole(c.in).toStdString(), c.out) << c.in;
    }
}

struct ReadCase {
    const char* text;
    std::optional<int> out;
    Error::Code failure = Error::Code::TypeMismatch;
};

TEST(Numbers, ReadInt16) {
    const ReadCase cases[] = {
        {" 12 ", 12},
        {"12.5", 12},
        {"13.5", 14},
        {"+5", 5},
        {"-32768", -32768},
        {".5", 0},
        {"0000", 0},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"abc", std::nullopt},
        {"1e3", std::nullopt},
        {"1,000", std::nullopt},
        {"- 5", std::nullopt},
        {".", std::nullopt},
        {"40000", std::nullopt, Error::Code::Overflow},
        {"32767.5", std::nullopt, Error::Code::Overflow},
    };
    for (const auto& c : cases) {
        if (c.out) {
            EXPECT_EQ(readInt16(QString::fromUtf8(c.text)), *c.out) << c.text;
            continue;
        }
        try {
            readInt16(QString::fromUtf8(c.text));
            ADD_FAILURE() << '"' << c.text << "\" was read";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), c.failure) << c.text;
        }
    }
}

TEST(Numbers, ReadInt32AcceptsWhatSixteenBitsRefuse) {
    EXPECT_EQ(readInt32(QStringLiteral("40000")), 40000);
    EXPECT_EQ(readInt32(QStringLiteral(" -2147483648 ")), -2147483648);
    EXPECT_THROW(readInt32(QStringLiteral("2147483648")), Error);
}

TEST(Numbers, MulInt32FailsOnOverflow) {
    EXPECT_EQ(mulInt32(100, 480), 48000);
    EXPECT_EQ(mulInt32(-46341, 46340), -2147441940);
    EXPECT_THROW(mulInt32(46341, 46341), Error);
    EXPECT_THROW(mulInt32(-2147483647 - 1, -1), Error);
}

TEST(Numbers, Int16Range) {
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_THROW(toInt16(32768), Error);
}

} // namespace
} // namespace zs
