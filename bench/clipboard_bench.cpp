// The clipboard as another program sees it: how long `xclip -o` takes to
// receive a 4K screen-like crop as image/png and image/bmp, from the running
// program and from the helper that keeps it after Exit; how long the window
// stalls while a clipboard manager takes every format; how long from the
// release on the surface until the crop is offered; and the encodings
// alone. Each figure stands next to a memcpy of the same bytes measured in
// the same run.
//
// Needs an X server and xclip:
//   Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>fd &
//   DISPLAY=:$(cat fd) build/bench/clipboard_bench --benchmark_repetitions=3
// (docs/PERFORMANCE.md has the figures). The screen's size does not matter:
// the crop is made here.

#include "app/form1.h"
#include "bench/bench_support.h"
#include "clipboard/clipboard_payload.h"
#include "clipboard/helper_handoff.h"
#include "clipboard/qt_clipboard.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "services/fakes/fakes.h"
#include "services/qt/qt_services.h"
#include "services/qt/x11_connection.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using zs::bench::Clock;
using zs::bench::median;
using zs::bench::memcpySeconds;
using zs::bench::seconds;

const QSize k4K(3840, 2160);

// A screen as people crop it: a light window full of text with a
// photograph in it (smooth shapes under sensor noise, which no encoder
// squeezes much).
QImage screenLike(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter p(&image);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    std::mt19937 rng(7);
    static const char* const words[] = {"clipboard", "window", "capture", "the",   "of",
                                        "pixel",     "screen", "format",  "paste", "and"};
    for (int y = 20; y < size.height(); y += 18) {
        QString line;
        for (int k = 0; k < size.width() / 60; ++k) {
            line += QString::fromLatin1(words[rng() % 10]) + QLatin1Char(' ');
        }
        p.setPen(QColor(int(rng() % 80), int(rng() % 80), int(rng() % 80)));
        p.drawText(10, y, line);
    }
    p.end();
    const QRect photo(size.width() / 3, size.height() / 5, size.width() / 2, size.height() / 2);
    std::normal_distribution<double> noise(0, 6);
    auto channel = [](double v) { return static_cast<int>(std::clamp(v, 0.0, 255.0)); };
    for (int y = photo.top(); y <= photo.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double v = double(y) / size.height();
        for (int x = photo.left(); x <= photo.right(); ++x) {
            const double u = double(x) / size.width();
            row[x] = qRgb(
                channel(128 + 80 * std::sin(u * 9 + v * 3) +
                        30 * std::sin(u * 41) * std::cos(v * 37) + noise(rng)),
                channel(110 + 70 * std::sin(u * 5 - v * 7 + 1) + 25 * std::cos(u * 29 + v * 23) +
                        noise(rng)),
                channel(90 + 60 * std::cos(u * 3 + v * 11) + 20 * std::sin(v * 53) + noise(rng)));
        }
    }
    return image;
}

const QImage& crop4K() {
    static const QImage image = screenLike(k4K);
    return image;
}

// The BMP as the clipboard offers it: alpha kept when there is any.
QByteArray clipboardBmp(const QImage& image) {
    zs::formats::BmpOptions options;
    options.keepAlpha = true;
    return zs::formats::bmp(image, options);
}

bool ready(benchmark::State& state) {
    if (!zs::x11::onX11()) {
        state.SkipWithError("needs an X server (set DISPLAY)");
        return false;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty()) {
        state.SkipWithError("needs xclip");
        return false;
    }
    return true;
}

// Runs `xclip -selection clipboard -t TYPE -o` into a file, serving the
// clipboard from this process meanwhile; returns the seconds it took and
// sets `bytes` to what it received.
double xclipReceive(const QString& type, const QString& into, qint64& bytes) {
    QProcess xclip;
    xclip.setStandardOutputFile(into);
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    const auto t0 = Clock::now();
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), type, QStringLiteral("-o")});
    if (!xclip.waitForStarted()) {
        bytes = 0;
        return 0;
    }
    loop.exec();
    const double took = seconds(Clock::now() - t0);
    bytes = xclip.exitCode() == 0 ? QFileInfo(into).size() : 0;
    return took;
}

void report(benchmark::State& state, const std::vector<double>& times, qint64 bytes) {
    const double m = median(times);
    const double baseline = memcpySeconds(static_cast<std::size_t>(std::max<qint64>(bytes, 1)));
    state.counters["median_ms"] = m * 1e3;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["memcpy_ms"] = baseline * 1e3;
    state.counters["x_memcpy"] = m / baseline;
}

const char* typeOf(const benchmark::State& state) {
    return state.range(0) == 0 ? "image/png" : "image/bmp";
}

// ---------------------------------------------------------------- pasting

// range(0): 0 PNG, 1 BMP. range(1): 1 a fresh crop every time, so the
// paste also waits for its encoding (xclip starts the moment the crop is
// offered); 0 the same crop again, encoded already.
void BM_PasteFromProgram4K(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const bool fresh = state.range(1) == 1;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    zs::QtClipboard clipboard;
    QImage crop = crop4K();
    clipboard.setImage(crop);
    qint64 bytes = 0;
    xclipReceive(QString::fromLatin1(typeOf(state)), out, bytes); // encoded once
    std::vector<double> times;
    int round = 0;
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            crop.setPixel(0, 0, qRgb(round & 255, 0, 0)); // another crop, not a cached one
            ++round;
            state.ResumeTiming();
            clipboard.setImage(crop);
        }
        times.push_back(xclipReceive(QString::fromLatin1(typeOf(state)), out, bytes));
    }
    if (bytes == 0) {
        state.SkipWithError("xclip received nothing");
        return;
    }
    report(state, times, bytes);
    state.counters["goal_ms"] = state.range(0) == 0 ? 300 : 150;
    state.SetLabel(std::string(typeOf(state)) + (fresh ? ", fresh crop" : ", encoded already"));
    QGuiApplication::clipboard()->clear();
}

// After Exit: the helper serves the crop; xclip reads it from there.
void BM_PasteFromHelper4K(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out"));
    zs::ClipboardPayload payload(crop4K());
    const zs::keeper::HelperRun run =
        zs::keeper::runHelper(QStringLiteral(ZS_HELPER_PATH), {QStringLiteral("--x11")}, payload);
    if (run.outcome != zs::keeper::Outcome::Kept) {
        state.SkipWithError(("the helper did not start: " + run.message).c_str());
        return;
    }
    std::vector<double> times;
    qint64 bytes = 0;
    for (auto _ : state) {
        times.push_back(xclipReceive(QString::fromLatin1(typeOf(state)), out, bytes));
    }
    // Taking the clipboard back ends the helper.
    QGuiApplication::clipboard()->setText(QStringLiteral("done"));
    QCoreApplication::processEvents();
    if (bytes == 0) {
        state.SkipWithError("xclip received nothing");
        return;
    }
    report(state, times, bytes);
    state.SetLabel(typeOf(state));
}

// The same files served by xclip itself: the floor for any owner, set by
// the X server and the reading xclip.
void BM_PasteFromXclip4K(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("in"));
    {
        QFile in(file);
        in.open(QIODevice::WriteOnly);
        in.write(state.range(0) == 0 ? zs::formats::png(crop4K()) : clipboardBmp(crop4K()));
    }
    QProcess server;
    server.start(QStringLiteral("xclip"),
                 {QStringLiteral("-quiet"), QStringLiteral("-loops"),
                  QString::number(state.max_iterations), QStringLiteral("-selection"),
                  QStringLiteral("clipboard"), QStringLiteral("-t"),
                  QString::fromLatin1(typeOf(state)), QStringLiteral("-i"), file});
    server.waitForStarted();
    // xclip owns the clipboard once it has said so on its error output.
    server.waitForReadyRead(5000);
    std::vector<double> times;
    qint64 bytes = 0;
    for (auto _ : state) {
        times.push_back(xclipReceive(QString::fromLatin1(typeOf(state)),
                                     dir.filePath(QStringLiteral("out")), bytes));
    }
    server.waitForFinished(5000);
    if (bytes == 0) {
        state.SkipWithError("xclip received nothing");
        return;
    }
    report(state, times, bytes);
    state.SetLabel(typeOf(state));
}

// xclip asking for the list of formats: the start-up and round trips every
// paste above includes.
void BM_XclipTargets(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    QTemporaryDir dir;
    zs::QtClipboard clipboard;
    clipboard.setImage(screenLike(QSize(200, 150)));
    std::vector<double> times;
    qint64 bytes = 0;
    for (auto _ : state) {
        times.push_back(
            xclipReceive(QStringLiteral("TARGETS"), dir.filePath(QStringLiteral("out")), bytes));
    }
    state.counters["median_ms"] = median(times) * 1e3;
}

// ---------------------------------------------------------------- manager

// A clipboard manager copying every format right after each crop, as a
// program of its own: the longest time the window's event loop did not run
// (a 1 ms timer's largest gap), against the PNG encoding of the crop alone.
void BM_ManagerStall4K(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    QTemporaryDir dir;
    zs::QtClipboard clipboard;
    QImage crop = crop4K();
    std::vector<double> stalls;
    std::vector<double> encodes;
    int round = 0;
    for (auto _ : state) {
        crop.setPixel(1, 1, qRgb(0, round & 255, 0));
        ++round;
        clipboard.setImage(crop);
        QElapsedTimer gapClock;
        gapClock.start();
        qint64 longest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, gapClock.nsecsElapsed());
            gapClock.restart();
        });
        tick.start(1);
        qint64 bytes = 0;
        for (const QString& type : zs::ClipboardPayload::formats()) {
            xclipReceive(type, dir.filePath(QStringLiteral("out")), bytes);
        }
        tick.stop();
        stalls.push_back(static_cast<double>(longest) / 1e9);
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(zs::formats::png(crop));
        encodes.push_back(seconds(Clock::now() - t0));
    }
    state.counters["longest_stall_ms"] = median(stalls) * 1e3;
    state.counters["png_encode_ms"] = median(encodes) * 1e3;
    state.counters["x_png_encode"] = median(stalls) / median(encodes);
}

// ---------------------------------------------------------------- release

// The release on the surface until another program sees the crop offered
// (we own the clipboard then, with its formats). range(0): 0 a 200 x 150
// selection, 1 a selection of the whole 4K capture.
void BM_ReleaseToOffered(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    zs::fakes::FakeServices fake;
    fake.screen.size = k4K;
    fake.screen.available = QRect(QPoint(0, 0), k4K);
    fake.capture.content = crop4K();
    zs::QtClipboard qtClipboard;
    zs::Services services{fake.screen,   fake.capture,    fake.windowOrder, fake.pump,
                          qtClipboard,   fake.dialogs,    fake.printer,     fake.pointer,
                          fake.messages, fake.application};
    zs::app::Form1 f(services);
    f.start();
    f.Command1_Click(5); // capture
    QCoreApplication::processEvents();

    // The other program: a connection of its own asking who owns it.
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    const char name[] = "CLIPBOARD";
    auto* atomReply =
        xcb_intern_atom_reply(other, xcb_intern_atom(other, 0, sizeof name - 1, name), nullptr);
    const xcb_atom_t clipboardAtom = atomReply != nullptr ? atomReply->atom : XCB_NONE;
    std::free(atomReply);
    auto owner = [&] {
        auto* r = xcb_get_selection_owner_reply(
            other, xcb_get_selection_owner(other, clipboardAtom), nullptr);
        const xcb_window_t w = r != nullptr ? r->owner : XCB_NONE;
        std::free(r);
        return w;
    };

    const float x0 = state.range(0) == 1 ? 0 : 1500;
    const float x1 = state.range(0) == 1 ? 3840 * 15 : 1500 + 200 * 15;
    const float y1 = state.range(0) == 1 ? 2160 * 15 : 1500 + 150 * 15;
    std::vector<double> times;
    for (auto _ : state) {
        state.PauseTiming();
        // Someone else's clipboard before each release.
        QGuiApplication::clipboard()->clear();
        QCoreApplication::processEvents();
        const xcb_window_t before = owner();
        f.capture.FormScreenCapture_MouseDown(1, 0, x0, x0);
        f.capture.FormScreenCapture_MouseMove(1, 0, x1, y1);
        state.ResumeTiming();
        const auto t0 = Clock::now();
        f.capture.FormScreenCapture_MouseUp(1, 0, x1, y1);
        while (owner() == before) {
        }
        times.push_back(seconds(Clock::now() - t0));
    }
    xcb_disconnect(other);
    const QSize size = f.Picture2.imageSizePx();
    state.counters["median_ms"] = median(times) * 1e3;
    state.SetLabel(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    QGuiApplication::clipboard()->clear();
}

// ---------------------------------------------------------------- encoding

// The encodings alone, against a memcpy of the picture's pixels.
void BM_Encode4K(benchmark::State& state) {
    const QImage& crop = crop4K();
    std::vector<double> times;
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const QByteArray file = state.range(0) == 0 ? zs::formats::png(crop) : clipboardBmp(crop);
        times.push_back(seconds(Clock::now() - t0));
        bytes = file.size();
    }
    const double baseline = memcpySeconds(static_cast<std::size_t>(crop.sizeInBytes()));
    state.counters["median_ms"] = median(times) * 1e3;
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["pixels_memcpy_ms"] = baseline * 1e3;
    state.counters["x_memcpy"] = median(times) / baseline;
    state.SetLabel(state.range(0) == 0 ? "png" : "bmp");
}

// Qt's own PNG writer at its default setting, as the clipboard used it.
void BM_EncodeQtPng4K(benchmark::State& state) {
    const QImage& crop = crop4K();
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QByteArray file;
        QBuffer buffer(&file);
        buffer.open(QIODevice::WriteOnly);
        crop.save(&buffer, "PNG");
        times.push_back(seconds(Clock::now() - t0));
        state.counters["bytes"] = static_cast<double>(file.size());
    }
    state.counters["median_ms"] = median(times) * 1e3;
}

BENCHMARK(BM_Encode4K)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeQtPng4K)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XclipTargets)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteFromProgram4K)
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Iterations(7)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteFromXclip4K)->Arg(0)->Arg(1)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteFromHelper4K)->Arg(0)->Arg(1)->Iterations(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManagerStall4K)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReleaseToOffered)->Arg(0)->Arg(1)->Iterations(7)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv, zs::bench::Platform::DisplayIfPresent);
}
