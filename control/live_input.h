// Live input from the network into the panel: the one piece that `velta serve` and the window's
// Live Input use to turn lighting packets into what the display shows. It owns a NetReceiver
// (off until Start: no socket before), and while it is on the controller is live: each frame the
// receiver completes is shown through ShowLiveFrame, so what goes out is exactly what Auto Update
// would send for that content, only what changed, the newest frame winning.
//
// Threads and ownership: a LiveInput belongs to the UI thread (the window's, or the command's
// thread in velta serve) and every member is called there. It owns the receiver, whose thread
// reads the sockets; that thread only posts, through the view, one task per mailbox
// notification (the mailbox notifies again only after the task has taken the frame). The task
// runs on the UI thread and holds the `Session` of the receiver it belongs to, never the
// LiveInput: a task left from a stopped receiver or a destroyed LiveInput finds its session
// ended and does nothing. The controller and the view must outlive the LiveInput.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/control_center_controller.h"
#include "control/control_center_view.h"
#include "net/receiver.h"

namespace velta {

struct LiveInputConfig {
    // What to listen to and how; `receiver.notify` is the LiveInput's own and is replaced, and
    // `receiver.input.onLoss` is the on-loss policy (Hold keeps the last frame on the display,
    // Blank shows and sends an all-off frame once every source has gone).
    net::ReceiverConfig receiver;
    // Frames go to the display (RF mode on, the link connected, the ticked features); false
    // shows them on the panel only.
    bool send = true;
};

// What a Live Input window lists, and what velta serve summarises.
struct LiveInputStats {
    // Datagrams by protocol, frames accepted, every drop by reason (net::ReasonName), and per
    // source its name, address, protocol, universe, priority, packets/s, joined and last seen,
    // and whether it holds the display.
    net::ReceiverStats receiver;
    // Since live input last went on: frames the panel showed, and frame batches the transmitter
    // took (the answers to the last ones may come after Stop).
    std::uint64_t framesShown = 0;
    std::uint64_t framesSent = 0;
    bool on = false;
    bool failed = false;  // the receiver stopped on its own (waiting on its sockets failed)
};

class LiveInput {
  public:
    // Each source event (joined, left, timed out, priority conflict, every source gone), on the
    // UI thread, in order; net::DescribeEvent(event, policy) gives its line.
    using EventSink = std::function<void(const net::SourceEvent& event, net::LossPolicy policy)>;

    LiveInput(ControlCenterController& controller, ControlCenterView& view);
    // Stops the receiver and leaves live mode.
    ~LiveInput();
    LiveInput(const LiveInput&) = delete;
    LiveInput& operator=(const LiveInput&) = delete;

    // Live on: opens the sockets and puts the controller in live mode. When already on, the
    // receiver is replaced by one with the new configuration (its sources are heard anew) and
    // the panel stays live. False with one sentence in `error`: a configuration that
    // net::CheckReceiverConfig refuses changes nothing; a socket that can't be opened leaves
    // live input off (the panel put back).
    bool Start(const LiveInputConfig& config, std::string& error);
    // Live off: closes the sockets and puts the panel back as it was. The statistics stay
    // readable until the next Start. Idempotent.
    void Stop();
    bool On() const { return session_ != nullptr; }
    // The on-loss policy from now on; while on, the receiver is restarted with it (as Start).
    bool SetOnLoss(net::LossPolicy policy, std::string& error);

    LiveInputStats Stats() const;
    const LiveInputConfig& Config() const { return config_; }
    // The port a protocol listens on while on (0: not listening).
    std::uint16_t Port(net::Protocol protocol) const;
    void SetEventSink(EventSink sink) { sink_ = std::move(sink); }
    // Neither the sink nor the handler may Start or Stop the live input (post that instead).
    // Runs on the UI thread after the receiver has stopped on its own (Stats().failed).
    void SetFailureHandler(std::function<void()> handler) { onFailure_ = std::move(handler); }

  private:
    // What a posted task reaches: the LiveInput while its receiver runs, nothing afterwards.
    struct Session {
        LiveInput* owner = nullptr;
    };

    // On the UI thread, once per notification: the events, then the newest frame.
    void TakeWaiting();
    void EndSession();

    ControlCenterController& controller_;
    ControlCenterView& view_;
    LiveInputConfig config_;
    std::unique_ptr<net::NetReceiver> receiver_;  // kept after Stop for its statistics
    std::shared_ptr<Session> session_;            // set while on
    EventSink sink_;
    std::function<void()> onFailure_;
    bool failureReported_ = false;
    std::uint64_t framesShown_ = 0;
    std::uint64_t framesSentBefore_ = 0;       // the controller's count when live input went on
};

}  // namespace velta
