// velta play DESIGN: the design's sequence on the display, as the window's Play runs it with
// "send while playing" on, until its end or until the user stops it.
#include <algorithm>
#include <cstddef>
#include <optional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "control/sequence_player.h"

namespace velta::cli {

void SleepUntil(Transports::TimePoint until, const std::function<Transports::TimePoint()>& now,
                const std::function<bool()>& stopRequested) {
    // In slices, so a stop request waits at most one slice; each slice is a real sleep.
    while (!(stopRequested && stopRequested())) {
        const Transports::TimePoint current = now();
        if (current >= until)
            return;
        std::this_thread::sleep_for(
            std::min<Transports::TimePoint::duration>(until - current, kStopPollInterval));
    }
}

namespace {

// Which frame each tick of the controller's player showed. The controller says only when the
// next change is due, so a player of our own follows the same frames at the same moments: the
// controller's clock is wrapped to keep each reading (Start takes one, each tick one), and this
// player is started and ticked with those readings.
class FrameFollower {
  public:
    explicit FrameFollower(std::function<Transports::TimePoint()> now) : now_(std::move(now)) {}

    // The clock to give the controller.
    SequencePlayer::Clock Clock() {
        return [this] {
            readings_.push_back(now_());
            return readings_.back();
        };
    }

    // Right after StartPlaying: the frame it showed.
    PlaybackStep Started(const std::vector<SequenceFrame>& frames, bool loop) {
        if (readings_.size() < 2)
            return {};
        const Transports::TimePoint start = readings_[readings_.size() - 2];
        follower_ = SequencePlayer([start] { return start; });
        follower_.Start(frames, loop);
        return follower_.Tick(readings_.back());
    }

    // Right after PlayTick: the frame it showed.
    PlaybackStep Ticked() {
        return readings_.empty() ? PlaybackStep{} : follower_.Tick(readings_.back());
    }

  private:
    std::function<Transports::TimePoint()> now_;
    std::vector<Transports::TimePoint> readings_;
    SequencePlayer follower_;
};

}  // namespace

// RF on, the design opened (its boxes or --features ticked), then Play with sending on: one line
// per frame shown, and with --simulate the reports each frame sent. Ctrl+C (or SIGTERM) ends the
// play once the frame being sent is out; the exit code is 0 then, as at the end of a single pass.
// RF is left on and the display keeps the last frame shown.
CommandRun SetupPlay(CLI::App& command) {
    auto options = AddDesignOptions(command);
    auto loop = std::make_shared<bool>(false);
    command.add_flag("--loop", *loop, "Play the sequence over and over until Ctrl+C");
    return [options, loop](Context& context) {
        // The file is read before anything touches the transmitter: a bad one sends nothing.
        const std::optional<Design> design = options->Load(context.err);
        if (!design)
            return static_cast<int>(kExitUsage);
        if (design->frames.empty()) {
            context.err << "velta: " << options->file
                        << " has no frames to play; add frames to its sequence in the window, or "
                           "send it as one picture with velta send\n";
            return static_cast<int>(kExitUsage);
        }
        const Transports& transports = context.transports;
        TransmitterSession session(context);
        if (const int code = session.Connect(); code != kExitOk)
            return code;
        ControlCenterController& controller = session.Controller();
        controller.OnRfMode();
        if (!options->Open(controller, context.err))
            return static_cast<int>(kExitUsage);  // read once already; changed since
        session.PrintNewSimulatedReports();
        if (session.WriteFailed())
            return session.Finish(ReportPrinting::SimulatedHex);

        FrameFollower follower(transports.now);
        controller.SetPlayClock(follower.Clock());
        const auto stopRequested = [&transports] {
            return transports.stopRequested && transports.stopRequested();
        };
        const auto sleepUntil = [&transports](Transports::TimePoint until) {
            if (transports.sleepUntil)
                transports.sleepUntil(until);
            else
                SleepUntil(until, transports.now, transports.stopRequested);
        };
        const std::vector<SequenceFrame>& frames = controller.Frames().Frames();
        const auto printFrame = [&](const PlaybackStep& step) {
            // A frame whose write failed never reached the display: Write Error says so instead.
            if (!step.changed || step.frame == nullptr || session.WriteFailed())
                return;
            context.out << "frame " << step.index + 1 << '/' << frames.size() << " ("
                        << step.frame->holdMs << " ms)\n";
            session.PrintNewSimulatedReports();
            context.out.flush();
        };

        if (transports.catchStopSignals)
            transports.catchStopSignals();
        std::optional<Transports::TimePoint> next = controller.StartPlaying(*loop, true);
        printFrame(follower.Started(frames, *loop));
        while (next && !stopRequested()) {
            sleepUntil(*next);
            if (stopRequested())
                break;
            session.RunPosted();
            next = controller.PlayTick();
            printFrame(follower.Ticked());
        }
        controller.StopPlaying();
        return session.Finish(ReportPrinting::SimulatedHex);
    };
}

}  // namespace velta::cli
