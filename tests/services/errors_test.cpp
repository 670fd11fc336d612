#include "services/errors.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zs {
namespace {

// A step stops where it throws and the handler goes on; only zs::Error is
// skipped, so the end of the program still stops a handler that waits.
TEST(SkipOnError, LeavesTheRestOfAFailingStepUndoneAndPassesOtherExceptions) {
    std::string done;
    const auto step = [&](bool fails) {
        done += "a";
        if (fails) {
            throw Error(Error::Code::Overflow, "Overflow");
        }
        done += "b";
    };
    skipOnError([&] { step(true); });
    skipOnError([&] { step(false); });
    EXPECT_EQ(done, "aab");
    EXPECT_THROW(skipOnError([] { throw ProgramEnding{}; }), ProgramEnding);
    EXPECT_THROW(skipOnError([] { throw std::logic_error("fault"); }), std::logic_error);
}

} // namespace
} // namespace zs
