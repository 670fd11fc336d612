#include "tests/support/test_support.h"

#include <gmock/gmock.h>

#include <memory>

namespace zs::test {

namespace {
std::unique_ptr<QApplication> g_app;
}

QApplication& app() {
    return *g_app;
}

} // namespace zs::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    ::testing::InitGoogleMock(&argc, argv);
    zs::test::g_app = std::make_unique<QApplication>(argc, argv);
    const int result = RUN_ALL_TESTS();
    zs::test::g_app.reset();
    return result;
}
