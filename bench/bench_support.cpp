#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstring>

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

double memcpySeconds(std::size_t bytes) {
    std::vector<unsigned char> from(bytes, 1);
    std::vector<unsigned char> to(bytes, 2);
    std::vector<double> times;
    for (int i = 0; i < 25; ++i) {
        const auto t0 = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
        times.push_back(seconds(Clock::now() - t0));
    }
    return median(times);
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
