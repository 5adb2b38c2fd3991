// The whole window measured from inside its own process, with nothing added to the product:
//
//   velta_window_probe gaps [seconds]
//     The window over the real hidapi transport (preload the fake library to give it a slow
//     transmitter: scripts/measure-ui-gap), clicked through Connect Tx, Activate RF Mode, the
//     three feature boxes, Update Data every two seconds and Auto Update with an LED switched
//     every 30 ms, while a 1 ms timer notes the longest wait between two of its ticks: how long
//     the event loop was held.
//
//   velta_window_probe soak [ticks]
//     The window over the simulated transmitter with Auto Update on and grid, pods and rings
//     changing on every tick, the ticks run back to back instead of every 100 ms (288,000 ticks
//     are 8 hours of Auto Update): the process's resident memory as the Data Center fills, passes
//     its limits and stops (scripts/measure-memory).
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "control/control_ids.h"
#include "device/hidapi_transport.h"
#include "device/simulated_transmitter.h"
#include "ui/control_center_dialog.h"
#include "ui/main_window.h"

namespace {

using namespace velta;
namespace id = panel_id;

// Resident memory of this process, in MiB.
double ResidentMiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Message boxes would stop the run: each is noted and closed.
void CloseBoxesAsTheyCome(QObject& owner, int& boxes) {
    auto* closer = new QTimer(&owner);
    QObject::connect(closer, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            std::fprintf(stderr, "box: %s\n", box->text().toLocal8Bit().constData());
            box->done(QMessageBox::Ok);
        }
    });
    closer->start(20);
}

void Click(ControlCenterDialog& panel, int controlId) {
    if (auto* button = qobject_cast<QAbstractButton*>(panel.Control(controlId));
        button != nullptr && button->isEnabled())
        button->click();
}

int Gaps(int seconds) {
    HidapiTransport transport;
    MainWindow window(transport, false);
    window.show();
    ControlCenterDialog& panel = window.Panel();
    ControlCenterController& controller = panel.Controller();
    int boxes = 0;
    CloseBoxesAsTheyCome(window, boxes);

    // The probe: a 1 ms timer; the gap between two of its ticks is how long the loop was held.
    QElapsedTimer clock;
    clock.start();
    qint64 last = -1;
    qint64 longest = 0;
    int over20 = 0;
    bool measuring = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring && last >= 0) {
            const qint64 gap = now - last;
            longest = std::max(longest, gap);
            over20 += gap > 20'000'000 ? 1 : 0;
        }
        last = now;
    });
    probe.start(1);

    // The user, in steps; measuring starts once the window is up and connected.
    QTimer::singleShot(500, [&] {
        Click(panel, id::kConnectTx);
        measuring = true;
    });
    QTimer::singleShot(700, [&] {
        Click(panel, id::kRfMode);
        for (int box : {id::kLedGridBox, id::kRgbPodsBox, id::kLedRingsBox})
            Click(panel, box);
    });
    QTimer updateData;
    QObject::connect(&updateData, &QTimer::timeout, [&] { Click(panel, id::kUpdateData); });
    QTimer::singleShot(1000, [&] { updateData.start(2000); });
    QTimer painting;
    int cell = 0;
    QObject::connect(&painting, &QTimer::timeout, [&] {
        controller.OnLedClicked(LedKind::GridCell, cell);
        cell = (cell + 37) % kCellCount;
    });
    QTimer::singleShot(1500, [&] {
        Click(panel, id::kAutoUpdate);
        painting.start(30);
    });
    // exit, not quit: quit would close the window, which asks about the unsaved design.
    QTimer::singleShot(seconds * 1000, [] { QCoreApplication::exit(0); });
    QApplication::exec();

    const std::uint64_t reports = controller.Tap().Journal().RecordedSinceClear();
    std::printf(
        "gaps: %d s, longest event-loop gap %.1f ms, %d gaps over 20 ms, %llu reports "
        "journaled, %d boxes, connected %s\n",
        seconds, static_cast<double>(longest) / 1e6, over20,
        static_cast<unsigned long long>(reports), boxes,
        controller.Link().IsConnected() ? "yes" : "no");
    return longest <= 20'000'000 ? 0 : 1;
}

int Soak(long ticks) {
    SimulatedTransmitter transmitter;
    MainWindow window(transmitter, true);
    window.show();
    ControlCenterController& controller = window.Panel().Controller();
    int boxes = 0;
    CloseBoxesAsTheyCome(window, boxes);
    const auto settle = [&] {
        do {
            QApplication::processEvents();
        } while (controller.SendsInFlight() > 0);
    };
    controller.OnConnectTx();
    controller.OnRfMode();
    for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings})
        controller.OnFeatureBoxClicked(box, true);
    controller.OnAutoUpdateClicked(true);
    settle();

    PanelState& panel = controller.Panel();
    double peak = 0;
    std::printf("ticks,hours,rss_mib,log_mib,simulated_record\n");
    for (long tick = 0; tick <= ticks; ++tick) {
        const int n = static_cast<int>(tick);
        panel.ToggleCell(n % kCellCount);
        panel.SetPodColor(n % kPodCount, static_cast<Color>(n + 1) & 0xFFFFFFu);
        panel.ToggleRing(n % kRingCount);
        controller.OnTimer(kAutoUpdateTimerId);
        settle();
        const double rss = ResidentMiB();
        peak = std::max(peak, rss);
        if (tick % 6000 == 0) {  // every 10 minutes of Auto Update
            std::printf("%ld,%.2f,%.1f,%.1f,%zu\n", tick, static_cast<double>(tick) / 36000.0, rss,
                        static_cast<double>(controller.Log().Text().size()) / (1024.0 * 1024.0),
                        transmitter.WrittenReports().size());
            std::fflush(stdout);
        }
    }
    std::printf(
        "soak: %ld ticks (%.1f h of Auto Update), peak resident %.1f MiB, %d boxes, "
        "log %s\n",
        ticks, static_cast<double>(ticks) / 36000.0, peak, boxes,
        controller.Log().Full() ? "full" : "not full");
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "gaps")
        return Gaps(argc > 2 ? std::atoi(argv[2]) : 20);
    if (mode == "soak")
        return Soak(argc > 2 ? std::atol(argv[2]) : 288000);
    std::fprintf(stderr, "usage: velta_window_probe gaps [seconds] | soak [ticks]\n");
    return 2;
}
