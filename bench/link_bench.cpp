// How long the UI thread waits on a misbehaving transmitter, over the fake hidapi library with
// the real HidapiTransport and HidLink (steady clock, 250 ms write budget): a whole command
// (grid report + tail) while every write stalls for 2 s, Close with a write stuck, and the time
// from removal to a link that knows it is down, in each state the link can be in.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include "device/hid_link.h"
#include "device/hidapi_transport.h"
#include "tests/device/fake_hidapi.h"

namespace velta {
namespace {

using testing::FakeHidapi;
using testing::FakeRead;
using Clock = std::chrono::steady_clock;

class QuietNotices : public LinkNotices {
  public:
    void ShowWriteError() override {}
    void SetStatusText(std::string_view) override {}
    void PostToUiThread(std::function<void()>) override {}
};

const DeviceReport kReport{0, 0x11};

void Plug(FakeHidapi& hid) {
    hid.Reset();
    hid.SetDevices({{"/dev/hidraw2", kTransmitterVendorId, kTransmitterProductId}});
}

// A link opened on the one fake transmitter, as each iteration starts it.
struct OpenLink {
    OpenLink(FakeHidapi& hid, benchmark::State& state) {
        Plug(hid);
        if (!link.Open())
            state.SkipWithError("open failed");
    }
    HidapiTransport transport;
    QuietNotices notices;
    HidLink link{transport, notices};
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The device holds every write for 2 s; the UI thread's share of a two-report command is timed.
void BM_CommandWithStalledDevice(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state);
        HidLink& link = open.link;
        hid.StallWrites(true);
        const auto stalledAt = Clock::now();
        const auto start = Clock::now();
        link.WriteReport(kReport);
        link.WriteReport(kReport);
        state.SetIterationTime(Seconds(Clock::now() - start));
        std::this_thread::sleep_until(stalledAt + std::chrono::seconds(2));
        hid.ReleaseWrites();
    }
    hid.Reset();
}
BENCHMARK(BM_CommandWithStalledDevice)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_CloseWithWriteStuck(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state);
        HidLink& link = open.link;
        hid.StallWrites(true);
        link.WriteReport(kReport);
        const auto start = Clock::now();
        link.Close();
        state.SetIterationTime(Seconds(Clock::now() - start));
        hid.ReleaseWrites();
    }
    hid.Reset();
}
BENCHMARK(BM_CloseWithWriteStuck)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// From the device going away (seen at the reader's next poll, the slow case) to IsConnected()
// false. Arg: 0 idle, 1 after input reports, 2 after a failed write, 3 with a write stuck.
void BM_RemovalNoticed(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state);
        HidLink& link = open.link;
        switch (state.range(0)) {
            case 1:
                hid.QueueReads({FakeRead::Data({1}), FakeRead::Data({2, 3})});
                while (hid.ReadCalls() < 3)
                    std::this_thread::yield();
                break;
            case 2:
                hid.SetWriteResult(-1);
                link.WriteReport(kReport);
                break;
            case 3:
                hid.StallWrites(true);
                link.WriteReport(kReport);
                break;
            default:
                break;
        }
        hid.SetWriteResult(0);
        // Noticed when the reader has let its handle go: what stays open then is the write
        // handle (idle, after input reports) or the stuck write's; nothing after a failed write.
        const int handlesLeft = state.range(0) == 2 ? 0 : 1;
        const auto start = Clock::now();
        hid.UnplugAfterReads(0);
        while (hid.OpenHandles() > handlesLeft)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        state.SetIterationTime(Seconds(Clock::now() - start));
        hid.ReleaseWrites();
        link.Close();
    }
    hid.Reset();
}
BENCHMARK(BM_RemovalNoticed)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velta
