// The link over the fake hidapi library with the real HidapiTransport and HidLink (steady clock,
// 250 ms per report): how long the UI thread spends handing a command over while the device
// stalls, how long until such a command is answered, Close with a write stuck, the time from
// removal to a link that knows it is down in each state the link can be in, how often an idle
// reader wakes, and the CPU a four-report batch costs across every thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>

#include "bench/posted_tasks.h"
#include "device/hid_link.h"
#include "device/hidapi_transport.h"
#include "tests/device/fake_hidapi.h"

namespace velta {
namespace {

using testing::FakeHidapi;
using testing::FakeRead;
using Clock = std::chrono::steady_clock;

// The UI thread's queue: the link's answers wait here until the timed thread runs them.
class QueueNotices : public LinkNotices {
  public:
    void ShowWriteError() override {}
    void SetStatusText(std::string_view) override {}
    void PostToUiThread(std::function<void()> task) override { tasks_.Post(std::move(task)); }
    // Runs posted work, waiting for it, until `done` holds.
    void RunUntil(const std::function<bool()>& done) { tasks_.RunUntil(done); }

  private:
    bench::PostedTasks tasks_;
};

const DeviceReport kReport{0, 0x11};

void Plug(FakeHidapi& hid) {
    hid.Reset();
    hid.SetDevices({{"/dev/hidraw2", kTransmitterVendorId, kTransmitterProductId}});
}

// A link opened on the one fake transmitter, as each iteration starts it.
struct OpenLink {
    explicit OpenLink(FakeHidapi& hid, benchmark::State& state,
                      std::chrono::milliseconds slice = std::chrono::milliseconds(20))
        : transport(slice) {
        Plug(hid);
        if (!link.Open())
            state.SkipWithError("open failed");
    }
    // Sends and runs the answers until this batch's has come.
    BatchResult SendAndWait(ReportBatch batch) {
        bool answered = false;
        BatchResult result;
        link.Send(std::move(batch), [&](const BatchResult& r) {
            result = r;
            answered = true;
        });
        notices.RunUntil([&] { return answered; });
        return result;
    }
    HidapiTransport transport;
    QueueNotices notices;
    HidLink link{transport, notices};
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The device holds every write for 2 s; the UI thread's share of a two-report command is timed:
// it hands the batch over and returns.
void BM_CommandWithStalledDevice(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state);
        hid.StallWrites(true);
        const auto stalledAt = Clock::now();
        bool answered = false;
        const auto start = Clock::now();
        open.link.Send({kReport, kReport}, [&](const BatchResult&) { answered = true; });
        state.SetIterationTime(Seconds(Clock::now() - start));
        open.notices.RunUntil([&] { return answered; });
        std::this_thread::sleep_until(stalledAt + std::chrono::seconds(2));
        hid.ReleaseWrites();
    }
    hid.Reset();
}
BENCHMARK(BM_CommandWithStalledDevice)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMicrosecond);

// The same command, timed until its answer reaches the UI thread: the first report is given up at
// its 250 ms deadline and the second fails at once behind it.
void BM_CommandAnsweredWithStalledDevice(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state);
        hid.StallWrites(true);
        const auto start = Clock::now();
        const BatchResult result = open.SendAndWait({kReport, kReport});
        state.SetIterationTime(Seconds(Clock::now() - start));
        if (result.written)
            state.SkipWithError("a stalled write counted as written");
        hid.ReleaseWrites();
    }
    hid.Reset();
}
BENCHMARK(BM_CommandAnsweredWithStalledDevice)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_CloseWithWriteStuck(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state, HidapiTransport::kReadSlice);
        hid.StallWrites(true);
        open.SendAndWait({kReport});
        const auto start = Clock::now();
        open.link.Close();
        state.SetIterationTime(Seconds(Clock::now() - start));
        hid.ReleaseWrites();
    }
    hid.Reset();
}
BENCHMARK(BM_CloseWithWriteStuck)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// From the device going away (seen at the reader's next poll, the slow case) to IsConnected()
// false, with the reader's real one-second slice. Arg: 0 idle, 1 after input reports, 2 after a
// failed write, 3 with a write stuck.
void BM_RemovalNoticed(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    for (auto _ : state) {
        OpenLink open(hid, state, HidapiTransport::kReadSlice);
        switch (state.range(0)) {
            case 1:
                hid.QueueReads({FakeRead::Data({1}), FakeRead::Data({2, 3})});
                while (hid.ReadCalls() < 3)
                    std::this_thread::yield();
                break;
            case 2:
                hid.SetWriteResult(-1);
                open.SendAndWait({kReport});
                break;
            case 3:
                hid.StallWrites(true);
                open.SendAndWait({kReport});
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
        open.link.Close();
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

// An open, idle link for 5 s with the real slice: how often the reader looks at the device.
void BM_IdleReaderWakeups(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    double perSecond = 0;
    for (auto _ : state) {
        OpenLink open(hid, state, HidapiTransport::kReadSlice);
        while (!hid.ReadWaiting())
            std::this_thread::yield();
        const int before = hid.ReadCalls();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        perSecond = (hid.ReadCalls() - before) / Seconds(Clock::now() - start);
        const auto closing = Clock::now();
        open.link.Close();
        state.counters["close_ms"] = Seconds(Clock::now() - closing) * 1e3;
    }
    state.counters["reads_per_s"] = perSecond;
    hid.Reset();
}
BENCHMARK(BM_IdleReaderWakeups)->Iterations(1)->Unit(benchmark::kSecond);

// One auto-update tick's worth of reports (grid, tail, pods, rings) handed over and answered on
// a device that takes them at once: the CPU of every thread of the process per batch.
void BM_BatchOfFour(benchmark::State& state) {
    FakeHidapi& hid = FakeHidapi::Instance();
    OpenLink open(hid, state, HidapiTransport::kReadSlice);
    const ReportBatch batch = {kReport, kReport, kReport, kReport};
    for (auto _ : state) {
        if (!open.SendAndWait(batch).written)
            state.SkipWithError("a write failed");
    }
}
BENCHMARK(BM_BatchOfFour)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velta
