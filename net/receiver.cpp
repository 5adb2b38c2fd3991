#include "net/receiver.h"

#include <chrono>
#include <utility>

#include "net/artnet.h"
#include "net/sacn.h"

namespace velta::net {

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;
// Large enough for the largest datagram of any of the protocols, so a longer one reads as
// oversized instead of being cut to a valid-looking packet.
constexpr std::size_t kReadBuffer = 2048;
// Datagrams read from one socket before the others get their turn.
constexpr int kBatch = 64;

}  // namespace

std::string CheckReceiverConfig(const ReceiverConfig& config) {
    if ((config.protocols & kAllProtocols) == 0)
        return "no protocol to listen to: choose from sacn, artnet and ddp";
    if ((config.protocols & Bit(Protocol::ArtNet)) != 0 &&
        ArtNetPortAddress(config.input.universe) > kMaxPortAddress) {
        return "the universe must be at most " + std::to_string(kMaxPortAddress + 1) +
               " for Art-Net (port-address = universe - 1), not " +
               std::to_string(config.input.universe);
    }
    return CheckInputConfig(config.input);
}

NetReceiver::NetReceiver(ReceiverConfig config)
    : config_(std::move(config)), engine_(config_.input), mailbox_(config_.notify) {}

NetReceiver::~NetReceiver() {
    Stop();
}

bool NetReceiver::OpenSockets(std::string& error) {
    if (!library_.Error().empty()) {
        error = library_.Error();
        return false;
    }
    if (!wake_.Open(kLoopback, 0, error))
        return false;
    wakeAddress_ = {kLoopback, wake_.LocalPort()};
    for (int p = 0; p < kProtocolCount; ++p) {
        const auto protocol = static_cast<Protocol>(p);
        if ((config_.protocols & Bit(protocol)) == 0)
            continue;
        Listener listener{protocol, {}};
        if (!listener.socket.Open(config_.bindAddress, config_.ports[static_cast<std::size_t>(p)],
                                  error))
            return false;
        ports_[static_cast<std::size_t>(p)] = listener.socket.LocalPort();
        if (protocol == Protocol::Sacn && config_.joinMulticast) {
            const std::uint32_t group = SacnMulticastGroup(config_.input.universe);
            if (config_.bindAddress == 0) {
                // One socket on every interface takes unicast and the group alike.
                if (!listener.socket.JoinMulticast(group, 0, error))
                    return false;
            } else {
                // A socket bound to a unicast address does not see the group's packets: a
                // second socket bound to the group takes them, joined on the chosen interface.
                Listener multicast{protocol, {}};
                if (!multicast.socket.Open(group, ports_[static_cast<std::size_t>(p)], error) ||
                    !multicast.socket.JoinMulticast(group, config_.bindAddress, error))
                    return false;
                listeners_.push_back(std::move(multicast));
            }
        }
        listeners_.push_back(std::move(listener));
    }
    return true;
}

bool NetReceiver::Start(std::string& error) {
    if (Running()) {
        error = "the network input is already running";
        return false;
    }
    if (error = CheckReceiverConfig(config_); !error.empty())
        return false;
    stopping_ = false;
    failed_ = false;
    if (!OpenSockets(error)) {
        listeners_.clear();
        wake_ = {};
        ports_ = {};
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void NetReceiver::Stop() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    const std::uint8_t byte = 0;
    wake_.SendTo(std::span(&byte, 1), wakeAddress_);
    thread_.join();
    listeners_.clear();
    wake_ = {};
    ports_ = {};
}

std::uint16_t NetReceiver::Port(Protocol protocol) const {
    return ports_[static_cast<std::size_t>(Index(protocol))];
}

void NetReceiver::TakeEvents(const std::function<void(const SourceEvent&)>& sink) {
    std::array<SourceEvent, EventQueue::kCapacity> events;
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        while (n < events.size()) {
            std::optional<SourceEvent> event = engine_.Sources().Events().Pop();
            if (!event)
                break;
            events[n++] = *event;
        }
    }
    for (std::size_t i = 0; i < n; ++i)
        sink(events[i]);
}

ReceiverStats NetReceiver::Stats() const {
    ReceiverStats stats;
    {
        std::lock_guard lock(mutex_);
        stats.counters = engine_.Counters();
        stats.sourceCount = engine_.Sources().CopyStats(stats.sources);
        stats.framesReplaced = replacedInBatch_;
    }
    stats.framesReplaced += mailbox_.Replaced();
    return stats;
}

int NetReceiver::WaitMilliseconds() {
    std::lock_guard lock(mutex_);
    const std::optional<TimePoint> deadline = engine_.NextDeadline();
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - config_.now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void NetReceiver::AnswerPoll(os::UdpSocket& socket, const Endpoint& poller) {
    // Art-Net nodes name the address the poller reaches them at.
    const std::uint32_t address =
        config_.bindAddress != 0 ? config_.bindAddress : os::LocalAddressToward(poller.address);
    const ArtPollReply reply = BuildArtPollReply(engine_.Node(address));
    socket.SendTo(reply, poller);
}

void NetReceiver::Drain(Listener& listener, bool& frame) {
    std::array<std::uint8_t, kReadBuffer> buffer;
    for (int i = 0; i < kBatch; ++i) {
        std::size_t size = 0;
        Endpoint from;
        const os::UdpSocket::Read read = listener.socket.Receive(buffer, size, from);
        if (read == os::UdpSocket::Read::Nothing)
            break;
        // A failed read is a pending error of the socket (e.g. an earlier reply that found no
        // listener); reading it clears it.
        if (read == os::UdpSocket::Read::Failed)
            continue;
        const InputEngine::Outcome outcome = engine_.OnDatagram(
            listener.protocol, std::span(buffer.data(), size), from, config_.now());
        if (outcome.frameReady) {
            if (frame)
                ++replacedInBatch_;
            latest_ = engine_.Frame();
            frame = true;
        }
        if (outcome.answerPoll)
            AnswerPoll(listener.socket, from);
    }
}

void NetReceiver::Run() {
    std::array<os::SocketHandle, os::kMaxWaitSockets> handles{};
    std::array<bool, os::kMaxWaitSockets> ready{};
    const std::size_t count = listeners_.size() + 1;
    for (std::size_t i = 0; i < listeners_.size(); ++i)
        handles[i] = listeners_[i].socket.Handle();
    handles[listeners_.size()] = wake_.Handle();

    while (!stopping_) {
        const int timeout = WaitMilliseconds();
        if (!os::WaitReadable(std::span(handles.data(), count), timeout,
                              std::span(ready.data(), count))) {
            // Nothing more can arrive: say so rather than fall silent.
            failed_ = true;
            mailbox_.Signal();
            break;
        }
        if (stopping_)
            break;
        bool frame = false;
        bool events = false;
        {
            std::lock_guard lock(mutex_);
            if (engine_.Expire(config_.now())) {
                latest_ = engine_.Frame();
                frame = true;
            }
            for (std::size_t i = 0; i < listeners_.size(); ++i) {
                if (ready[i])
                    Drain(listeners_[i], frame);
            }
            events = !engine_.Sources().Events().Empty();
        }
        if (ready[listeners_.size()]) {
            // Stop's byte, or a stray datagram: either way only a reason to look at stopping_.
            std::array<std::uint8_t, 16> scratch;
            std::size_t size = 0;
            Endpoint from;
            while (wake_.Receive(scratch, size, from) == os::UdpSocket::Read::Datagram) {
            }
        }
        if (frame)
            mailbox_.Put(latest_);
        else if (events)
            mailbox_.Signal();
    }
}

}  // namespace velta::net
