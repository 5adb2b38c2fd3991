// The receiver over the loopback address only: ports chosen free by the system, every wait
// bounded. A sender written here sends sACN, Art-Net and DDP frames and an ArtPoll.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "net/receiver.h"
#include "net/udp_socket.h"
#include "tests/support/net_packets.h"

namespace velta::net {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

constexpr std::uint32_t kLoopback = 0x7F000001;

// Counts the receiver's notifications; waits for them with a time limit.
class Notifications {
  public:
    void Notify() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    bool WaitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 3s, [&] { return count_ >= count; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

class ReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ReceiverConfig config;
        config.input.universe = 2;
        config.bindAddress = kLoopback;
        config.ports = {0, 0, 0};
        config.joinMulticast = false;
        config.notify = [this] { notifications_.Notify(); };
        receiver_ = std::make_unique<NetReceiver>(config);
        std::string error;
        ASSERT_TRUE(receiver_->Start(error)) << error;
        ASSERT_TRUE(sender_.Open(kLoopback, 0, error)) << error;
    }

    void Send(Protocol protocol, const Bytes& packet) {
        ASSERT_TRUE(sender_.SendTo(packet, {kLoopback, receiver_->Port(protocol)}));
    }

    // Waits until the receiver has counted `n` datagrams in all.
    bool WaitForPackets(std::uint64_t n) {
        const auto until = std::chrono::steady_clock::now() + 3s;
        while (std::chrono::steady_clock::now() < until) {
            const InputCounters counters = receiver_->Stats().counters;
            if (counters.packets[0] + counters.packets[1] + counters.packets[2] >= n)
                return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }

    Notifications notifications_;
    std::unique_ptr<NetReceiver> receiver_;
    os::UdpSocket sender_;
};

TEST_F(ReceiverTest, AFrameOfEachProtocolReachesTheMailbox) {
    test::SacnFields sacn;
    sacn.universe = 2;
    sacn.levels[0] = 255;  // grid row 0 column 0
    test::ArtDmxFields artnet;
    artnet.portAddress = 1;
    artnet.levels[444] = 255;  // ring 0
    test::DdpFields ddp;
    ddp.data[459] = 0xF0;  // scroll speed 15
    const struct {
        Protocol protocol;
        Bytes packet;
        std::function<bool(const SequenceFrame&)> holds;
    } cases[] = {
        {Protocol::Sacn, test::SacnPacket(sacn), [](auto& f) { return f.cells[0]; }},
        {Protocol::ArtNet, test::ArtDmxPacket(artnet), [](auto& f) { return f.rings[0]; }},
        {Protocol::Ddp, test::DdpPacket(ddp), [](auto& f) { return f.scrollSpeed == 15; }},
    };
    int expected = 0;
    for (const auto& c : cases) {
        Send(c.protocol, c.packet);
        ASSERT_TRUE(notifications_.WaitFor(++expected)) << ProtocolName(c.protocol);
        const std::optional<SequenceFrame> frame = receiver_->TakeFrame();
        ASSERT_TRUE(frame) << ProtocolName(c.protocol);
        EXPECT_TRUE(c.holds(*frame)) << ProtocolName(c.protocol);
        // The sources are sACN, Art-Net and DDP at the same priority: each newer one wins.
        receiver_->TakeEvents([](const SourceEvent&) {});
    }
    const ReceiverStats stats = receiver_->Stats();
    EXPECT_EQ(stats.counters.framesAccepted, 3u);
    EXPECT_EQ(stats.sourceCount, 3);
}

TEST_F(ReceiverTest, TheLatestFrameWinsAndEventsArePassedOn) {
    constexpr int kFrames = 150;
    test::SacnFields sacn;
    sacn.universe = 2;
    sacn.name = "Flood";
    for (int i = 0; i < kFrames; ++i) {
        sacn.sequence = static_cast<std::uint8_t>(i);
        sacn.levels[456] = static_cast<std::uint8_t>(i);  // ring level coarse
        Send(Protocol::Sacn, test::SacnPacket(sacn));
    }
    ASSERT_TRUE(WaitForPackets(kFrames));
    ASSERT_TRUE(notifications_.WaitFor(1));
    // The receiver counts a batch before it hands the batch's frame over: wait (bounded) for the
    // last hand-over, which replaces the frame the first one left.
    for (int i = 0; i < 1500 && receiver_->Stats().framesReplaced + 1 < kFrames; ++i)
        std::this_thread::sleep_for(2ms);
    const std::optional<SequenceFrame> frame = receiver_->TakeFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->ringLevel, ((kFrames - 1) << 8) >> 4);
    EXPECT_FALSE(receiver_->TakeFrame());

    std::vector<std::string> events;
    receiver_->TakeEvents([&](const SourceEvent& event) {
        events.push_back(DescribeEvent(event, LossPolicy::Hold));
    });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].rfind("sACN \"Flood\" 127.0.0.1:", 0), 0u) << events[0];
    EXPECT_NE(events[0].find("joined (universe 2, priority 100)"), std::string::npos) << events[0];

    const ReceiverStats stats = receiver_->Stats();
    EXPECT_EQ(stats.counters.framesAccepted, static_cast<std::uint64_t>(kFrames));
    EXPECT_EQ(stats.framesReplaced + 1, static_cast<std::uint64_t>(kFrames));
}

TEST_F(ReceiverTest, ArtPollIsAnsweredWithTheNodesReply) {
    Send(Protocol::ArtNet, test::ArtPollPacket());
    std::array<os::SocketHandle, 1> handles{sender_.Handle()};
    std::array<bool, 1> ready{};
    ASSERT_TRUE(os::WaitReadable(handles, 3000, ready));
    ASSERT_TRUE(ready[0]);
    std::array<std::uint8_t, 600> buffer;
    std::size_t size = 0;
    Endpoint from;
    ASSERT_EQ(sender_.Receive(buffer, size, from), os::UdpSocket::Read::Datagram);
    EXPECT_EQ(from, (Endpoint{kLoopback, receiver_->Port(Protocol::ArtNet)}));
    ASSERT_EQ(size, kArtPollReplySize);
    EXPECT_EQ(buffer[9], 0x21);  // OpPollReply
    EXPECT_EQ(Bytes(buffer.begin() + 10, buffer.begin() + 14), (Bytes{127, 0, 0, 1}));
    EXPECT_EQ(buffer[190], 1);  // universe 2 is port-address 1
    EXPECT_EQ(receiver_->Stats().counters.reasons[Index(Reason::PollAnswered)], 1u);
}

TEST(Receiver, RefusesAnAddressItCannotListenOnAndLeavesNothingOpen) {
#ifdef _WIN32
    // Windows refuses the bind; wine lets Linux choose, which listens on any address instead.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr)
        GTEST_SKIP() << "wine binds an address that no interface has";
#endif
    ReceiverConfig config;
    config.bindAddress = 0xC0000201;  // 192.0.2.1, a documentation address no host has
    config.ports = {0, 0, 0};
    config.joinMulticast = false;
    NetReceiver receiver(config);
    std::string error;
    EXPECT_FALSE(receiver.Start(error));
    EXPECT_NE(error.find("cannot listen on 192.0.2.1:0"), std::string::npos) << error;
    EXPECT_FALSE(receiver.Running());
    EXPECT_EQ(receiver.Port(Protocol::Sacn), 0);
}

}  // namespace
}  // namespace velta::net
