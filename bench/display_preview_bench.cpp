// A Display Preview repaint: the window rendered into an image at its default size with a full
// picture, all pods, rings and a scrolling text. Runs on Qt's offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QStyleFactory>
#include <cstdlib>
#include <string>

#include "display/display_state.h"
#include "ui/display_preview_window.h"

namespace {

void BM_PreviewRepaint(benchmark::State& state) {
    velta::DisplayState display;
    for (std::size_t column = 0; column < display.columns.size(); ++column)
        display.columns[column] = static_cast<std::uint16_t>(0x5A5 ^ (column * 37));
    for (std::size_t pod = 0; pod < display.pods.size(); ++pod)
        display.pods[pod] = 0x3060F0u + static_cast<unsigned>(pod) * 0x050403u;
    display.rings.fill(2000);
    display.textBytes = "Hello, display: \x80 5 \xE9t\xE9 ABCDEFGHIJ 0123456789";
    velta::DisplayPreviewWindow preview(display);
    preview.show();
    preview.StateChanged();
    QApplication::processEvents();
    QImage image(preview.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        preview.render(&image);
        benchmark::DoNotOptimize(image.bits());
    }
    state.counters["width"] = preview.width();
    state.counters["height"] = preview.height();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BM_PreviewRepaint", BM_PreviewRepaint)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
