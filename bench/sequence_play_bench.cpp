// How closely a playing sequence keeps to its planned frame times with the whole program in one
// process: the main window over a simulated transmitter, connected, RF mode on, LED Grid ticked,
// the Display Preview open, and 100 frames of 20 ms played once through the Sequence window with
// "Send while playing". For each frame change it takes the time the panel (and the link) had
// the new frame against the planned time (the start of play plus the holds before the frame) and
// prints the largest and the median lateness of each run. Runs on Qt's offscreen platform.
//
//   velta_sequence_play_bench [runs]     (default 5)
//
// With --screenshot PNG it plays a wave of 32 frames in a loop instead and writes the main window,
// the Sequence window and the Display Preview side by side, taken while playing (the README's
// docs/sequence.png).
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "control/control_center_controller.h"
#include "control/control_ids.h"
#include "device/simulated_transmitter.h"
#include "model/sequence.h"
#include "ui/control_center_dialog.h"
#include "ui/display_preview_window.h"
#include "ui/main_window.h"
#include "ui/sequence_window.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 100;
constexpr int kHoldMs = 20;

// Frame i lights a bar in the top half (row i % 6 up to column i % 32) and its marker cell
// 200 + i below it, which tells the frames apart.
constexpr int kMarker = 200;
void DrawFrame(velta::PanelState& panel, int frame) {
    for (int cell = 0; cell < velta::kCellCount; ++cell) {
        const int row = cell / velta::kColumns;
        const int column = cell % velta::kColumns;
        panel.SetCell(cell, (row == frame % 6 && column <= frame % velta::kColumns) ||
                                cell == kMarker + frame);
    }
}

// Which frame the panel shows, by its marker cell; nullopt for none.
std::optional<int> ShownFrame(const velta::PanelState& panel) {
    for (int frame = 0; frame < kFrames; ++frame) {
        if (panel.Cell(kMarker + frame))
            return frame;
    }
    return std::nullopt;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Result {
    double maxLateMs = 0;
    double medianLateMs = 0;
    int changes = 0;
};

Result PlayOnce(velta::MainWindow& window) {
    velta::ControlCenterController& controller = window.Panel().Controller();
    std::optional<Clock::time_point> start;
    controller.SetPlayClock([&start] {
        const Clock::time_point now = Clock::now();
        if (!start)
            start = now;  // the player's first reading is the start of play
        return now;
    });
    velta::SequenceWindow& sequence = window.SequenceEditor();
    std::vector<double> late;
    std::optional<int> last;
    const auto record = [&] {
        const std::optional<int> shown = ShownFrame(controller.Panel());
        if (!start || !shown || shown == last)
            return;
        last = shown;
        const Clock::time_point planned = *start + std::chrono::milliseconds(*shown * kHoldMs);
        late.push_back(Ms(Clock::now() - planned));
    };
    // After the window's own handler, which shows (and sends) the frame.
    const QMetaObject::Connection recording =
        QObject::connect(sequence.PlayTimer(), &QTimer::timeout, &sequence, record);
    QEventLoop loop;
    QObject::connect(&window.Panel(), &velta::ControlCenterDialog::PlayingStopped, &loop,
                     &QEventLoop::quit);
    sequence.PlayButton()->click();
    record();  // the first frame is shown at once
    if (sequence.Playing())
        loop.exec();
    QObject::disconnect(recording);

    Result result;
    result.changes = static_cast<int>(late.size());
    if (!late.empty()) {
        std::sort(late.begin(), late.end());
        result.maxLateMs = late.back();
        result.medianLateMs = late[late.size() / 2];
    }
    return result;
}

// A sine wave two rows thick, shifted one column a frame.
void DrawWave(velta::PanelState& panel, int frame) {
    for (int cell = 0; cell < velta::kCellCount; ++cell) {
        const int row = cell / velta::kColumns;
        const int column = cell % velta::kColumns;
        const double y = 5.5 + 4.5 * std::sin((column + frame) * 2 * 3.14159265 / 16);
        panel.SetCell(cell, std::abs(row - y) < 1.0);
    }
}

int Screenshot(velta::MainWindow& window, const char* path) {
    velta::ControlCenterController& controller = window.Panel().Controller();
    velta::SequenceWindow& sequence = window.SequenceEditor();
    for (int frame = 0; frame < 32; ++frame) {
        DrawWave(controller.Panel(), frame);
        controller.AddFrame(frame == 0 ? velta::kNoFrame : static_cast<std::size_t>(frame - 1), 80);
    }
    sequence.SelectByUser(0);
    sequence.Loop()->setChecked(true);
    sequence.resize(360, 620);
    sequence.PlayButton()->click();
    QEventLoop wait;
    QTimer::singleShot(1300, &wait, &QEventLoop::quit);
    wait.exec();
    const QPixmap shots[] = {window.grab(), sequence.grab(), window.DisplayPreview().grab()};
    constexpr int kGap = 12;
    const int width = shots[0].width() + shots[1].width() + 3 * kGap;
    const int height =
        std::max(shots[0].height() + shots[2].height() + kGap, shots[1].height()) + 2 * kGap;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(60, 63, 68));
    QPainter painter(&image);
    painter.drawPixmap(kGap, kGap, shots[0]);
    painter.drawPixmap(2 * kGap + shots[0].width(), kGap, shots[1]);
    painter.drawPixmap(kGap, 2 * kGap + shots[0].height(), shots[2]);
    painter.end();
    sequence.PlayButton()->click();
    return image.save(QString::fromLocal8Bit(path)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const bool screenshot = argc > 2 && std::strcmp(argv[1], "--screenshot") == 0;
    const int runs = argc > 1 && !screenshot ? std::max(1, std::atoi(argv[1])) : 5;

    velta::SimulatedTransmitter transmitter;
    velta::MainWindow window(transmitter, true);
    window.show();
    velta::ControlCenterController& controller = window.Panel().Controller();
    controller.OnConnectTx();
    controller.OnFeatureBoxClicked(velta::FeatureBox::LedGrid, true);
    controller.OnRfMode();
    if (!controller.Link().IsConnected() || !controller.Panel().RfMode()) {
        std::fprintf(stderr, "sequence_play_bench: the simulated link did not come up\n");
        return 1;
    }
    window.ShowDisplayPreview();
    window.ShowSequenceEditor();
    velta::SequenceWindow& sequence = window.SequenceEditor();
    sequence.SendWhilePlaying()->setChecked(true);
    sequence.Loop()->setChecked(false);
    if (screenshot)
        return Screenshot(window, argv[2]);
    for (int frame = 0; frame < kFrames; ++frame) {
        DrawFrame(controller.Panel(), frame);
        controller.AddFrame(frame == 0 ? velta::kNoFrame : static_cast<std::size_t>(frame - 1),
                            kHoldMs);
    }
    for (int cell = 0; cell < velta::kCellCount; ++cell)
        controller.Panel().SetCell(cell, false);
    QApplication::processEvents();

    std::printf("%d frames of %d ms, send while playing, Display Preview open\n", kFrames, kHoldMs);
    std::vector<double> maxima;
    for (int run = 0; run < runs; ++run) {
        const Result result = PlayOnce(window);
        maxima.push_back(result.maxLateMs);
        std::printf("run %d: %d frame changes, lateness max %.2f ms, median %.2f ms\n", run + 1,
                    result.changes, result.maxLateMs, result.medianLateMs);
    }
    std::sort(maxima.begin(), maxima.end());
    std::printf("largest lateness: median of runs %.2f ms, worst run %.2f ms\n",
                maxima[maxima.size() / 2], maxima.back());
    return 0;
}
