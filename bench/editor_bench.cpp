// The crop editor: one pen segment on a 4K canvas (with the area it makes
// the window repaint) and one apply of a typed size, 4000 x 3000 from a
// 1920 x 1080 crop. Each figure is reported next to a baseline measured in
// the same run: a bare QImage::scaled of the same sizes for the apply.
// Runs offscreen on the fake services.

#include "app/form1.h"
#include "bench/bench_support.h"
#include "services/fakes/fakes.h"
#include "services/fakes/paint_meter.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <vector>

namespace {

using zs::bench::Clock;
using zs::bench::median;
using zs::bench::seconds;

// The window with a crop of `cropPx` of a `surfacePx` picture, editor open.
struct Window {
    Window(QSize surfacePx, QSize cropPx) {
        const QImage picture = zs::fakes::patternImage(surfacePx);
        f.FormScreenCapture.setWidth(static_cast<float>(surfacePx.width()) * 15);
        f.FormScreenCapture.setHeight(static_cast<float>(surfacePx.height()) * 15);
        f.FormScreenCapture.setPicture(picture);
        f.FormScreenCapture.setVisible(true);
        f.Shape1.move(0, 0, static_cast<float>(cropPx.width()) * 15,
                      static_cast<float>(cropPx.height()) * 15);
        f.Command1_Click(3);
        f.Picture2.setVisible(true);
        f.Command5.click();
    }
    zs::fakes::FakeServices fake;
    zs::app::Form1 f{fake.services};
};

void BM_PenSegment4K(benchmark::State& state) {
    Window w(QSize(3840, 2160), QSize(3840, 2160));
    w.f.start();
    w.f.Command5.click();
    QApplication::processEvents();
    zs::fakes::PaintMeter meter(w.f.Picture6.widget(), zs::fakes::PaintMeter::Keep::Pixels);
    // The first stroke detaches the canvas from the capture it was cropped
    // from; that copy happens once per crop and is not what is measured.
    w.f.editor.Picture6_MouseDown(zs::kLeftButton, 0, 1500, 1500);
    w.f.editor.Picture6_MouseMove(zs::kLeftButton, 0, 1600, 1500);
    QApplication::processEvents();
    meter.reset();

    std::vector<double> draw;
    std::vector<double> repaint;
    int i = 0;
    for (auto _ : state) {
        // 20-pixel segments zigzagging over the visible part of the canvas.
        const float x = static_cast<float>(100 + (i % 40) * 20) * 15;
        const float y = static_cast<float>(100 + ((i / 40) % 2) * 20 + (i % 2) * 10) * 15;
        ++i;
        const auto t0 = Clock::now();
        w.f.editor.Picture6_MouseMove(zs::kLeftButton, 0, x, y);
        const auto t1 = Clock::now();
        QApplication::processEvents(); // paints what the segment touched
        const auto t2 = Clock::now();
        draw.push_back(seconds(t1 - t0));
        repaint.push_back(seconds(t2 - t1));
    }
    state.counters["segment_ms"] = median(draw) * 1e3;
    state.counters["repaint_ms"] = median(repaint) * 1e3;
    state.counters["repaint_px_per_segment"] =
        meter.events() > 0 ? static_cast<double>(meter.pixels()) / static_cast<double>(i) : 0;
    state.counters["canvas_px"] = 3840.0 * 2160.0;
}

void BM_Apply4000x3000From1080p(benchmark::State& state) {
    Window w(QSize(1920, 1080), QSize(1920, 1080));
    w.f.Text1[0].setText("4000");
    w.f.Text1[1].setText("3000");
    if (w.f.Picture6.imageSizePx() != QSize(4000, 3000)) {
        state.SkipWithError("the canvas did not take 4000 x 3000");
        return;
    }
    // Baseline: the bare smooth scaling of the same crop to the same size,
    // run in turn with the apply so that both see the same machine.
    const QImage crop = w.f.Picture2.image();
    std::vector<double> bare;
    std::vector<double> apply;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        {
            QImage scaled =
                crop.scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            benchmark::DoNotOptimize(scaled.constBits());
        }
        const auto t1 = Clock::now();
        w.f.editor.Command7_Click();
        apply.push_back(seconds(Clock::now() - t1));
        bare.push_back(seconds(t1 - t0));
    }
    const double a = median(apply);
    const double b = median(bare);
    state.counters["apply_ms"] = a * 1e3;
    state.counters["scaled_ms"] = b * 1e3;
    state.counters["x_scaled"] = b > 0 ? a / b : 0;
}

BENCHMARK(BM_PenSegment4K)->Unit(benchmark::kMicrosecond)->Iterations(2000);
BENCHMARK(BM_Apply4000x3000From1080p)->Unit(benchmark::kMillisecond)->Iterations(21);

} // namespace

int main(int argc, char** argv) {
    return zs::bench::runBenchmarks(argc, argv);
}
