// The network input: the UDP sockets of the three protocols and the one thread that reads them.
// Everything it decides is InputEngine's; this class only waits, reads datagrams, answers
// ArtPoll and hands frames over through a FrameMailbox.
//
// Threads and ownership:
// - The owner's thread (the service's main thread or the window's UI thread) calls Start, Stop,
//   TakeFrame, TakeEvents and Stats. Stop (and the destructor) joins the receiver thread.
// - The receiver thread, running between Start and Stop, owns the sockets. It waits in one
//   poll() on them and on a loopback wake-up socket that Stop sends to, with no time limit while
//   no source is active and otherwise until the next source would time out: an idle receiver
//   never wakes.
// - The engine (sources, counters, events) is shared under `mutex_`: the receiver thread holds
//   it while it handles a batch of datagrams, the owner's thread while it copies the statistics
//   or takes the events. Frames pass through the mailbox, whose notify callback runs on the
//   receiver thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/frame_mailbox.h"
#include "net/input_engine.h"
#include "net/udp_socket.h"

namespace velta::net {

struct ReceiverConfig {
    InputConfig input;
    ProtocolSet protocols = kAllProtocols;
    // The address to listen on, host order; 0 listens on every interface, as lighting nodes do.
    std::uint32_t bindAddress = 0;
    // Ports by protocol (Index(Protocol)); 0 takes any free port (tests; see Port()).
    std::array<std::uint16_t, kProtocolCount> ports{kSacnPort, kArtNetPort, kDdpPort};
    // Join the universe's sACN multicast group (on the interface of bindAddress).
    bool joinMulticast = true;
    // The clock the source rules run on.
    std::function<TimePoint()> now = [] { return Clock::now(); };
    // Called on the receiver thread when a frame or an event waits, at most once until the
    // owner calls TakeFrame (see FrameMailbox).
    std::function<void()> notify;
};

// Empty when the configuration can be started, else one sentence naming the field.
std::string CheckReceiverConfig(const ReceiverConfig& config);

struct ReceiverStats {
    InputCounters counters;
    std::array<SourceStats, kMaxSources> sources{};
    int sourceCount = 0;
    std::uint64_t framesReplaced = 0;  // frames a newer frame replaced before they were taken
};

class NetReceiver {
  public:
    explicit NetReceiver(ReceiverConfig config);
    ~NetReceiver();
    NetReceiver(const NetReceiver&) = delete;
    NetReceiver& operator=(const NetReceiver&) = delete;

    // Opens the sockets and starts the thread; false with the reason in `error`, nothing left
    // open. The configuration must pass CheckReceiverConfig.
    bool Start(std::string& error);
    // Stops the thread and closes the sockets; the statistics stay readable. Idempotent.
    void Stop();
    bool Running() const { return thread_.joinable(); }
    // The thread stopped on its own because waiting on the sockets failed (the owner is
    // notified); Stop, and Start again, to resume.
    bool Failed() const { return failed_; }

    // The port a protocol listens on (after Start); 0 when it does not.
    std::uint16_t Port(Protocol protocol) const;

    // The newest frame not yet taken.
    std::optional<SequenceFrame> TakeFrame() { return mailbox_.Take(); }
    // Hands the waiting events to `sink`, oldest first (outside the lock).
    void TakeEvents(const std::function<void(const SourceEvent&)>& sink);
    ReceiverStats Stats() const;
    const ReceiverConfig& Config() const { return config_; }

  private:
    struct Listener {
        Protocol protocol;
        os::UdpSocket socket;
    };

    bool OpenSockets(std::string& error);
    void Run();
    int WaitMilliseconds();
    // Reads up to a bounded number of datagrams from one socket; sets `frame` when one made a
    // frame (counting the frames of the batch it replaces).
    void Drain(Listener& listener, bool& frame);
    void AnswerPoll(os::UdpSocket& socket, const Endpoint& poller);

    const ReceiverConfig config_;
    os::SocketLibrary library_;
    std::vector<Listener> listeners_;  // set up by Start before the thread runs
    os::UdpSocket wake_;
    Endpoint wakeAddress_;
    std::array<std::uint16_t, kProtocolCount> ports_{};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> failed_{false};
    std::thread thread_;

    mutable std::mutex mutex_;
    InputEngine engine_;    // under mutex_
    SequenceFrame latest_;  // the receiver thread's copy of the newest frame of a batch
    std::uint64_t replacedInBatch_ = 0;  // under mutex_: frames a later one of the batch replaced

    FrameMailbox mailbox_;
};

}  // namespace velta::net
