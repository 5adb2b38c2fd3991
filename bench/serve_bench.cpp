// velta serve's latency: the real command (RunVelta "serve --simulate") in this process, fed
// over the loopback address at 44 frames/s with every channel changing (serve_frames.h). Each
// iteration is one frame: the time from sending its packet to the moment the simulated
// transmitter has taken the last of its four reports (grid, tail, pods, rings), so the receiver's
// thread, the posted task, the controller's change tracking, the link's writer and the
// transmitter's own write are all inside it. The simulated transmitter writes at once: a real
// transmitter adds its write time per report. Reported: the mean as the benchmark's time, and
// the median, p99 and worst as counters (microseconds).
#include <benchmark/benchmark.h>
#include <sys/prctl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/serve_frames.h"
#include "cli/velta_cli.h"
#include "device/simulated_transmitter.h"
#include "net/udp_socket.h"

namespace {

using namespace velta;
using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kLoopback = 0x7F000001;
constexpr std::uint64_t kReportsPerFrame = 4;

// A port free right now on 127.0.0.1 (the service takes it a moment later).
std::uint16_t FreePort() {
    net::os::UdpSocket probe;
    std::string error;
    return probe.Open(kLoopback, 0, error) ? probe.LocalPort() : 0;
}

// Waits until the transmitter has taken `total` reports, looking every few microseconds without
// taking a core from the service; false after a second.
bool WaitForReports(const SimulatedTransmitter& tx, std::uint64_t total) {
    const auto deadline = Clock::now() + std::chrono::seconds(1);
    while (tx.WrittenTotal() < total) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(10));
    }
    return true;
}

void BM_ServeLatencyAt44Fps(benchmark::State& state) {
    prctl(PR_SET_TIMERSLACK, 1UL);  // the short waits above stay short
    const auto protocol = static_cast<net::Protocol>(state.range(0));
    static const char* const kNames[] = {"sacn", "artnet", "ddp"};
    static const char* const kPortFlags[] = {"--sacn-port", "--artnet-port", "--ddp-port"};
    const std::uint16_t port = FreePort();

    SimulatedTransmitter tx;
    std::atomic<bool> stop{false};
    cli::Transports transports;
    transports.simulated = &tx;
    transports.stopRequested = [&] { return stop.load(); };
    std::ostringstream err;
    std::ostream discard(nullptr);  // the hex lines: not what is measured
    std::thread service([&] {
        cli::RunVelta({"serve", "--simulate", "--bind", "127.0.0.1", "--protocols",
                       kNames[state.range(0)], kPortFlags[state.range(0)], std::to_string(port)},
                      transports, discard, err);
    });
    net::os::SocketLibrary library;
    net::os::UdpSocket sender;
    std::string error;
    sender.Open(kLoopback, 0, error);
    const net::Endpoint to{kLoopback, port};
    // The start: RF on, then the panel as Update Data sends it.
    bool ok = WaitForReports(tx, 5);

    const auto period = std::chrono::microseconds(1'000'000 / 44);
    std::vector<double> latencies;
    std::uint64_t expected = tx.WrittenTotal();
    auto due = Clock::now() + period;
    int frame = 0;
    for (auto _ : state) {
        if (!ok)
            break;
        std::this_thread::sleep_until(due);
        due += period;
        const net::test::Bytes packet =
            bench::AlternatingPacket(protocol, frame % 2, static_cast<unsigned long>(frame));
        ++frame;
        expected += kReportsPerFrame;
        const auto sent = Clock::now();
        sender.SendTo(packet, to);
        ok = WaitForReports(tx, expected);
        const std::chrono::duration<double> latency = Clock::now() - sent;
        state.SetIterationTime(latency.count());
        latencies.push_back(latency.count() * 1e6);
    }
    stop = true;
    service.join();
    if (!ok) {
        state.SkipWithError(("no reports in time; the service said: " + err.str()).c_str());
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&](double q) {
        return latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))];
    };
    state.counters["median_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
    state.counters["max_us"] = latencies.back();
    state.SetLabel(net::ProtocolName(protocol).data());
}
// 440 frames: 10 s at 44 frames/s per protocol.
BENCHMARK(BM_ServeLatencyAt44Fps)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(440)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
