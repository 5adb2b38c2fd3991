// The display views on Qt's offscreen platform: a Display Preview repaint (the window rendered
// into an image at its default size with a full picture, all pods, rings and a scrolling text),
// the views while reports arrive at 1,000 a second, and the marquee scrolling on its own.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QStyleFactory>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "device/device_reports.h"
#include "display/display_state.h"
#include "display/report_decoder.h"
#include "display/report_journal.h"
#include "ui/display_preview_window.h"
#include "ui/report_monitor_window.h"

namespace {

// CPU time of the whole process (every thread, user and system), in seconds.
double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Shows a window and lets it be exposed and painted once.
void ShowAndSettle(QWidget& window) {
    window.show();
    for (int i = 0; i < 100 && !(window.windowHandle() && window.windowHandle()->isExposed()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
}

// Runs the event loop for `seconds`; `tick` runs every `periodMs` from a precise timer. Gives the
// process CPU time the run took.
double RunLoop(double seconds, int periodMs, const std::function<void()>& tick) {
    QEventLoop loop;
    QTimer source;
    source.setTimerType(Qt::PreciseTimer);
    if (tick)
        QObject::connect(&source, &QTimer::timeout, tick);
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    const double before = ProcessCpuSeconds();
    source.start(periodMs);
    loop.exec();
    source.stop();
    return ProcessCpuSeconds() - before;
}

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

// Reports arriving at 1,000 a second for a second, each in an event-loop pass of its own as the
// link delivers them: /0 into the journal and the decoder only, /1 with the Report Monitor shown,
// /2 with the Display Preview shown. Manual time: the process CPU time per second of reports.
void BM_ViewsUnderReportFlood(benchmark::State& state) {
    constexpr int kReportsPerSecond = 1000;
    velta::ReportJournal journal;
    velta::ReportDecoder decoder;
    velta::ReportMonitorWindow monitor(journal);
    velta::DisplayPreviewWindow preview(decoder.State());
    QWidget* shown = state.range(0) == 1   ? static_cast<QWidget*>(&monitor)
                     : state.range(0) == 2 ? static_cast<QWidget*>(&preview)
                                           : nullptr;
    if (shown != nullptr)
        ShowAndSettle(*shown);
    velta::PanelState panel;
    std::vector<velta::DeviceReport> reports;
    for (int i = 0; i < 16; ++i) {
        panel.SetCell(i, true);
        velta::DeviceReport grid = velta::GridReport(panel.LED_data());
        reports.push_back(grid);
        velta::GridTailReport(grid, panel.LED_data()[31]);
        reports.push_back(grid);
        reports.push_back(velta::PodReport(panel.RGB_data()));
    }
    std::size_t sent = 0;
    const auto tick = [&] {
        const velta::DeviceReport& report = reports[sent++ % reports.size()];
        journal.RecordWritten(report, true);
        decoder.Feed(report);
        if (state.range(0) == 1)
            monitor.JournalChanged();
        if (state.range(0) == 2)
            preview.StateChanged();
    };
    double cpu = 0;
    for (auto _ : state) {
        const double seconds = RunLoop(1.0, 1000 / kReportsPerSecond, tick);
        cpu += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["reports"] = static_cast<double>(sent);
    state.counters["cpu_ms_per_report"] = cpu * 1000 / static_cast<double>(sent);
}

// The marquee alone: a 44-character text scrolling at speed 15 (a step every 20 ms) in a shown
// preview for a second, nothing else happening. Manual time: the process CPU time of that second.
void BM_MarqueeScrolling(benchmark::State& state) {
    velta::DisplayState display;
    display.textBytes = "Hello, display: \x80 5 \xE9t\xE9 ABCDEFGHIJ 0123456789";
    display.scrollSpeed = 15;
    velta::DisplayPreviewWindow preview(display);
    ShowAndSettle(preview);
    preview.StateChanged();
    QApplication::processEvents();
    const int offsetBefore = preview.MarqueeOffset();
    for (auto _ : state)
        state.SetIterationTime(RunLoop(1.0, 1000, {}));
    state.counters["steps"] = preview.MarqueeOffset() - offsetBefore;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);
    benchmark::RegisterBenchmark("BM_PreviewRepaint", BM_PreviewRepaint)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_ViewsUnderReportFlood", BM_ViewsUnderReportFlood)
        ->DenseRange(0, 2)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MarqueeScrolling", BM_MarqueeScrolling)
        ->UseManualTime()
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
