// The network input: what one packet costs to read for each protocol, how many packets one core
// takes through reader + source rules + channel map + mailbox, and the whole path through the
// loopback address (sender socket → receiver thread → mailbox).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "net/artnet.h"
#include "net/ddp.h"
#include "net/frame_mailbox.h"
#include "net/input_engine.h"
#include "net/receiver.h"
#include "net/sacn.h"
#include "net/udp_socket.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/net_packets.h"

namespace {

using namespace velta::net;
using test::Bytes;

Bytes FullSlots(std::size_t n) {
    Bytes levels(n);
    for (std::size_t i = 0; i < n; ++i)
        levels[i] = static_cast<std::uint8_t>(i * 31);
    return levels;
}

template <typename Read>
void ReadEach(benchmark::State& state, const Bytes& packet, Read read) {
    const std::size_t before = velta::testing::AllocationsOnThisThread();
    for (auto _ : state) {
        auto reading = read(std::span<const std::uint8_t>(packet));
        benchmark::DoNotOptimize(reading);
    }
    state.counters["allocations"] =
        static_cast<double>(velta::testing::AllocationsOnThisThread() - before);
    state.SetItemsProcessed(state.iterations());
}

void BM_ReadSacn(benchmark::State& state) {
    test::SacnFields fields;
    fields.levels = FullSlots(512);
    ReadEach(state, test::SacnPacket(fields), ReadSacn);
}
BENCHMARK(BM_ReadSacn);

void BM_ReadArtDmx(benchmark::State& state) {
    test::ArtDmxFields fields;
    fields.levels = FullSlots(512);
    ReadEach(state, test::ArtDmxPacket(fields), ReadArtNet);
}
BENCHMARK(BM_ReadArtDmx);

void BM_ReadDdp(benchmark::State& state) {
    test::DdpFields fields;
    fields.data = FullSlots(460);
    ReadEach(state, test::DdpPacket(fields), ReadDdp);
}
BENCHMARK(BM_ReadDdp);

// One core's packets per second through everything but the socket: the reader, the universe
// check, the source rules, the channel map into a frame, and the mailbox. Each packet is a new
// frame with its sequence number one up, so every packet is accepted.
void BM_EnginePacketsPerCore(benchmark::State& state) {
    const auto protocol = static_cast<Protocol>(state.range(0));
    std::vector<Bytes> packets;
    for (int n = 0; n < 256; ++n) {
        Bytes levels = FullSlots(512);
        levels[0] = static_cast<std::uint8_t>(n);
        if (protocol == Protocol::Sacn) {
            test::SacnFields fields;
            fields.sequence = static_cast<std::uint8_t>(n);
            fields.levels = levels;
            packets.push_back(test::SacnPacket(fields));
        } else if (protocol == Protocol::ArtNet) {
            test::ArtDmxFields fields;
            fields.sequence = static_cast<std::uint8_t>(n % 255 + 1);  // 0 means unnumbered
            fields.levels = levels;
            packets.push_back(test::ArtDmxPacket(fields));
        } else {
            test::DdpFields fields;
            fields.data.assign(levels.begin(), levels.begin() + 460);
            packets.push_back(test::DdpPacket(fields));
        }
    }
    InputEngine engine(InputConfig{});
    FrameMailbox mailbox;
    TimePoint now{};
    std::size_t i = 0;
    const std::size_t before = velta::testing::AllocationsOnThisThread();
    for (auto _ : state) {
        now += std::chrono::microseconds(100);
        const InputEngine::Outcome outcome =
            engine.OnDatagram(protocol, packets[i++ % packets.size()], {0x0A000001, 1}, now);
        if (outcome.frameReady)
            mailbox.Put(engine.Frame());
        if ((i & 1023) == 0)
            benchmark::DoNotOptimize(mailbox.Take());
    }
    state.counters["allocations"] =
        static_cast<double>(velta::testing::AllocationsOnThisThread() - before);
    state.counters["accepted"] = static_cast<double>(engine.Counters().framesAccepted);
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::string(ProtocolName(protocol)));
}
BENCHMARK(BM_EnginePacketsPerCore)->Arg(0)->Arg(1)->Arg(2);

// The whole path on the loopback address: one iteration sends a burst of 32 sACN packets from a
// socket and waits until the receiver thread has counted them all. Items are packets.
void BM_LoopbackSacn(benchmark::State& state) {
    constexpr std::uint32_t kLoopback = 0x7F000001;
    constexpr int kBurst = 32;
    std::atomic<int> wakes{0};
    ReceiverConfig config;
    config.bindAddress = kLoopback;
    config.protocols = Bit(Protocol::Sacn);
    config.ports = {0, 0, 0};
    config.joinMulticast = false;
    config.notify = [&] { wakes.fetch_add(1, std::memory_order_relaxed); };
    NetReceiver receiver(config);
    std::string error;
    os::UdpSocket sender;
    if (!receiver.Start(error) || !sender.Open(kLoopback, 0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const Endpoint target{kLoopback, receiver.Port(Protocol::Sacn)};
    test::SacnFields fields;
    fields.levels = FullSlots(512);
    Bytes packet = test::SacnPacket(fields);
    std::uint64_t sent = 0;
    std::uint8_t sequence = 0;
    for (auto _ : state) {
        for (int k = 0; k < kBurst; ++k) {
            packet[111] = sequence++;
            sender.SendTo(packet, target);
        }
        sent += kBurst;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (receiver.Stats().counters.packets[0] < sent) {
            if (std::chrono::steady_clock::now() > deadline) {
                state.SkipWithError("the loopback lost packets");
                return;
            }
            std::this_thread::yield();
        }
        benchmark::DoNotOptimize(receiver.TakeFrame());
    }
    const ReceiverStats stats = receiver.Stats();
    state.counters["accepted"] = static_cast<double>(stats.counters.framesAccepted);
    state.counters["wakes"] = static_cast<double>(wakes.load());
    state.SetItemsProcessed(state.iterations() * kBurst);
}
BENCHMARK(BM_LoopbackSacn)->UseRealTime();

}  // namespace
