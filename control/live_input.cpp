#include "control/live_input.h"

#include <optional>
#include <utility>

namespace velta {

LiveInput::LiveInput(ControlCenterController& controller, ControlCenterView& view)
    : controller_(controller), view_(view) {}

LiveInput::~LiveInput() {
    Stop();
}

void LiveInput::EndSession() {
    if (session_)
        session_->owner = nullptr;
    session_.reset();
}

bool LiveInput::Start(const LiveInputConfig& config, std::string& error) {
    // A configuration that can't be started changes nothing, not even a running live input.
    if (std::string refused = net::CheckReceiverConfig(config.receiver); !refused.empty()) {
        error = std::move(refused);
        return false;
    }
    const bool wasOn = On();
    // The running receiver goes first: the new one may listen on the same ports.
    if (wasOn)
        receiver_->Stop();
    EndSession();
    config_ = config;

    auto session = std::make_shared<Session>();
    session->owner = this;
    ControlCenterView& view = view_;
    // On the receiver thread: one task per notification; the mailbox notifies again only once
    // the task has taken the frame.
    config_.receiver.notify = [session, &view] {
        view.PostToUiThread([session] {
            if (session->owner != nullptr)
                session->owner->TakeWaiting();
        });
    };
    auto receiver = std::make_unique<net::NetReceiver>(config_.receiver);
    if (!receiver->Start(error)) {
        if (wasOn)
            controller_.LeaveLive();
        return false;
    }
    receiver_ = std::move(receiver);
    session_ = std::move(session);
    failureReported_ = false;
    framesShown_ = 0;
    framesSentBefore_ = controller_.FrameBatchesSent();
    // Entering again only takes the new sending choice: the content to put back stays.
    controller_.EnterLive(config_.send);
    return true;
}

void LiveInput::Stop() {
    if (!On())
        return;
    receiver_->Stop();
    EndSession();
    controller_.LeaveLive();
}

bool LiveInput::SetOnLoss(net::LossPolicy policy, std::string& error) {
    LiveInputConfig config = config_;
    config.receiver.input.onLoss = policy;
    if (!On()) {
        config_ = std::move(config);
        return true;
    }
    return Start(config, error);
}

void LiveInput::TakeWaiting() {
    // The sink must not start or stop the live input: it runs while the events are handed over.
    const net::LossPolicy policy = config_.receiver.input.onLoss;
    receiver_->TakeEvents([&](const net::SourceEvent& event) {
        if (sink_)
            sink_(event, policy);
    });
    if (const std::optional<SequenceFrame> frame = receiver_->TakeFrame()) {
        ++framesShown_;
        controller_.ShowLiveFrame(*frame);
    }
    if (receiver_->Failed() && !failureReported_) {
        failureReported_ = true;
        if (onFailure_)
            onFailure_();
    }
}

LiveInputStats LiveInput::Stats() const {
    LiveInputStats stats;
    if (receiver_) {
        stats.receiver = receiver_->Stats();
        stats.failed = receiver_->Failed();
    }
    stats.framesShown = framesShown_;
    stats.framesSent = controller_.FrameBatchesSent() - framesSentBefore_;
    stats.on = On();
    return stats;
}

std::uint16_t LiveInput::Port(net::Protocol protocol) const {
    return On() ? receiver_->Port(protocol) : 0;
}

}  // namespace velta
