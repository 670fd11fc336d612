#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>

namespace zs::bench {

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int runBenchmarks(int argc, char** argv, Platform platform) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
        (platform == Platform::Offscreen || !qEnvironmentVariableIsSet("DISPLAY"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace zs::bench
