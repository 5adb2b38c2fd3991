// Costs of the window: the repaint after a whole-grid command (the whole dialog painted, and the
// repaint the event loop really makes), and a Data Center refresh when the box already holds a
// million lines. Runs on Qt's offscreen platform, the panel at its designed size (scale 1).
#include <benchmark/benchmark.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QPixmap>
#include <QStyleFactory>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "device/simulated_transmitter.h"
#include "export/data_center_log.h"
#include "model/panel_state.h"
#include "ui/control_center_dialog.h"
#include "ui/data_center_view.h"
#include "ui/dialog_template.h"

namespace {

// Resident memory of this process in MiB.
double ResidentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return 0;
}

// Counts the paint events the dialog and its children receive.
class PaintCounter : public QObject {
  public:
    long paints = 0;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Select All, then either the whole dialog painted into a pixmap (the 384 LEDs that changed and
// every other control), or the event loop left to repaint what changed, as on screen.
void BM_RepaintAfterSelectAll(benchmark::State& state, bool wholeDialog) {
    velta::SimulatedTransmitter transmitter;
    velta::ControlCenterDialog dialog(transmitter);
    dialog.resize(velta::ui::kClientWidth, velta::ui::kClientHeight);
    dialog.show();
    QApplication::processEvents();
    QApplication::processEvents();
    auto* selectAll = static_cast<QAbstractButton*>(dialog.Control(velta::ui::id::kSelectAll));
    auto* deselectAll = static_cast<QAbstractButton*>(dialog.Control(velta::ui::id::kDeselectAll));
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    bool on = false;
    for (auto _ : state) {
        on = !on;
        (on ? selectAll : deselectAll)->click();
        if (wholeDialog) {
            QPixmap picture = dialog.grab();
            benchmark::DoNotOptimize(picture);
        } else {
            // The changes are gathered in one pass and painted in the next.
            QApplication::processEvents();
            QApplication::processEvents();
        }
    }
    qApp->removeEventFilter(&counter);
    state.counters["paint_events"] =
        benchmark::Counter(static_cast<double>(counter.paints), benchmark::Counter::kAvgIterations);
    dialog.reject();
}

// Forwards the log's refreshes to the box once the box has been filled.
class ViewSink : public velta::DataCenterSink {
  public:
    explicit ViewSink(velta::DataCenterView& view) : view_(view) {}
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override {
        if (forward)
            view_.Refresh(log, shownBefore);
    }
    bool forward = false;

  private:
    velta::DataCenterView& view_;
};

// A box filled once with about a million lines, shared by every run of the export benchmark.
struct MillionLineBox {
    MillionLineBox()
        : view([this] { return std::string_view(log.Text()); }), sink(view), log(panel, sink) {
        const double residentBefore = ResidentMiB();
        view.resize(220, 458);
        view.show();
        constexpr int kLinesPerExport = 32 + 60 + 24;
        constexpr int kExports = 1'000'000 / kLinesPerExport + 1;
        for (int i = 0; i < kExports; ++i)
            log.AppendBlocks(kAllBlocks);
        view.Refresh(std::string_view(log.Text()).substr(0, log.ShownLength()), 0);
        QApplication::processEvents();
        sink.forward = true;
        fillResidentMiB = ResidentMiB() - residentBefore;
        filledLines = static_cast<int>(std::count(log.Text().begin(), log.Text().end(), '\n'));
        filledLogMiB = static_cast<double>(log.Text().size()) / (1 << 20);
    }
    static constexpr velta::FeatureMask kAllBlocks =
        velta::feature::kLedGrid | velta::feature::kRgbPods | velta::feature::kLedRings;

    velta::DataCenterView view;
    ViewSink sink;
    velta::PanelState panel;
    velta::DataCenterLog log;
    double fillResidentMiB = 0;
    double filledLogMiB = 0;
    int filledLines = 0;
};

// One export of grid, pods and rings (116 lines, three refreshes) into that box.
void BM_DataCenterExportAtMillionLines(benchmark::State& state, MillionLineBox& box) {
    for (auto _ : state) {
        box.panel.SetCell(0, 0, !box.panel.Cell(0, 0));
        box.log.AppendBlocks(MillionLineBox::kAllBlocks);
    }
    state.counters["lines_at_start"] = box.filledLines;
    state.counters["VmRSS_MiB"] = ResidentMiB();
    state.counters["fill_VmRSS_MiB"] = box.fillResidentMiB;
    // What the log and the box together cost for each byte of the log.
    state.counters["log_MiB"] = box.filledLogMiB;
    state.counters["fill_per_log_byte"] = box.fillResidentMiB / box.filledLogMiB;
}

}  // namespace

// Our own main: the QApplication must exist before any widget and go away after the last one.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    benchmark::Initialize(&argc, argv);

    benchmark::RegisterBenchmark("BM_RepaintAfterSelectAll", BM_RepaintAfterSelectAll, true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_RepaintAfterSelectAllOnScreen", BM_RepaintAfterSelectAll,
                                 false)
        ->Unit(benchmark::kMillisecond);
    std::unique_ptr<MillionLineBox> box;
    benchmark::RegisterBenchmark("BM_DataCenterExportAtMillionLines", [&box](
                                                                          benchmark::State& state) {
        if (!box)
            box = std::make_unique<MillionLineBox>();
        BM_DataCenterExportAtMillionLines(state, *box);
    })->Unit(benchmark::kMillisecond);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    box.reset();
    return 0;
}
