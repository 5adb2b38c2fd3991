// The README's picture of the live input (docs/live-input.png): the whole program in one process
// on Qt's offscreen platform, a simulated transmitter connected with RF mode on, View > Live
// Input switched on (listening on 127.0.0.1, on ports the system picks), and for a second and a
// half two sACN consoles of different priority and a DDP sender at 44 frames/s, plus a few
// malformed packets, all from this program to 127.0.0.1. Then the main window, with its banner
// over the read-only panel, and the Live Input window side by side.
//
//   velta_live_input_shot PNG
#include "control/live_input.h"
#include "control/live_input_view.h"
#include "net/channel_map.h"
#include "net/udp_socket.h"
#include "tests/support/net_packets.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "device/simulated_transmitter.h"
#include "ui/control_center_dialog.h"
#include "ui/live_input_window.h"
#include "ui/main_window.h"

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

// A wave two rows thick moving one column a frame, rainbow pods, every other ring.
velta::SequenceFrame Frame(int n) {
    velta::SequenceFrame frame;
    for (int cell = 0; cell < velta::kCellCount; ++cell) {
        const int row = cell / velta::kColumns;
        const int column = cell % velta::kColumns;
        const double y = 5.5 + 4.5 * std::sin((column + n) * 2 * 3.14159265 / 16);
        frame.cells[static_cast<std::size_t>(cell)] = std::abs(row - y) < 1.0;
    }
    for (int pod = 0; pod < velta::kPodCount; ++pod) {
        const double hue = (pod + n / 4) * 2 * 3.14159265 / velta::kPodCount;
        auto level = [&](double shift) {
            return static_cast<std::uint8_t>(127.5 + 127.5 * std::sin(hue + shift));
        };
        frame.pods[static_cast<std::size_t>(pod)] =
            velta::MakeColor(level(0), level(2.1), level(4.2));
    }
    for (int ring = 0; ring < velta::kRingCount; ring += 2)
        frame.rings.set(static_cast<std::size_t>(ring));
    return frame;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velta_live_input_shot PNG\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    velta::SimulatedTransmitter transmitter;
    velta::MainWindow window(transmitter, true);
    window.show();
    velta::ControlCenterController& controller = window.Panel().Controller();
    controller.OnConnectTx();
    controller.OnFeatureBoxClicked(velta::FeatureBox::LedGrid, true);
    controller.OnFeatureBoxClicked(velta::FeatureBox::RgbPods, true);
    controller.OnRfMode();

    window.ShowLiveInput();
    velta::LiveInputWindow& live = window.Live();
    velta::LiveInputSettings settings;
    settings.bindAddress = kLoopback;
    settings.ports = {0, 0, 0};
    settings.joinMulticast = false;
    live.SetSettings(settings);
    if (!live.SwitchOn()) {
        std::fprintf(stderr, "velta_live_input_shot: %s\n", qPrintable(live.Notice()->text()));
        return 1;
    }

    velta::net::os::SocketLibrary library;
    std::string error;
    velta::net::os::UdpSocket console, backup, ddp;
    for (auto* socket : {&console, &backup, &ddp}) {
        if (!socket->Open(kLoopback, 0, error)) {
            std::fprintf(stderr, "velta_live_input_shot: %s\n", error.c_str());
            return 1;
        }
    }
    const velta::net::Endpoint sacnPort{kLoopback, live.Input()->Port(velta::net::Protocol::Sacn)};
    const velta::net::Endpoint ddpPort{kLoopback, live.Input()->Port(velta::net::Protocol::Ddp)};

    QElapsedTimer clock;
    clock.start();
    for (int n = 0; clock.elapsed() < 1500; ++n) {
        const velta::net::Universe channels = velta::net::EncodeUniverse(Frame(n), 1);
        const velta::net::test::Bytes data(channels.begin(), channels.end());
        const std::array<std::uint8_t, 16> cid{0xC1, 0xD0, 1, 2,  3,  4,  5,  6,
                                               7,    8,    9, 10, 11, 12, 13, 14};
        const auto sequence = static_cast<std::uint8_t>(n);
        const velta::net::test::SacnFields main{cid, "Front of house", 120, 0, sequence, 0, 1, 0,
                                                data};
        console.SendTo(velta::net::test::SacnPacket(main), sacnPort);
        std::array<std::uint8_t, 16> spareCid = cid;
        spareCid[15] = 0x42;
        const velta::net::test::SacnFields spare{
            spareCid, "Backup console", 100, 0, sequence, 0, 1, 0, data};
        backup.SendTo(velta::net::test::SacnPacket(spare), sacnPort);
        velta::net::test::DdpFields pixels;
        pixels.sequence = static_cast<std::uint8_t>(n % 15 + 1);
        pixels.data.assign(channels.begin(), channels.begin() + velta::net::kFixtureChannels);
        ddp.SendTo(velta::net::test::DdpPacket(pixels), ddpPort);
        if (n % 20 == 0) {
            velta::net::test::Bytes runt(velta::net::test::SacnPacket(main));
            runt.resize(40);
            console.SendTo(runt, sacnPort);
        }
        const auto due = std::chrono::milliseconds(23 * (n + 1));
        while (clock.elapsed() < due.count())
            QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::processEvents();
    live.Refresh();

    const QPixmap shots[] = {window.grab(), live.grab()};
    constexpr int kGap = 12;
    const int width = shots[0].width() + shots[1].width() + 3 * kGap;
    const int height = std::max(shots[0].height(), shots[1].height()) + 2 * kGap;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(60, 63, 68));
    QPainter painter(&image);
    painter.drawPixmap(kGap, kGap, shots[0]);
    painter.drawPixmap(2 * kGap + shots[0].width(), kGap, shots[1]);
    painter.end();
    live.SwitchOff();
    return image.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
