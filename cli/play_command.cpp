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
        session.WaitForSends();
        session.PrintNewSimulatedReports();
        if (session.WriteFailed())
            return session.Finish(ReportPrinting::SimulatedHex);

        controller.SetPlayClock(transports.now);
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
        // Each frame's reports are out (or failed, which stops the play) before the next frame.
        std::optional<Transports::TimePoint> next = controller.StartPlaying(*loop, true);
        session.WaitForSends();
        printFrame(controller.LastPlayStep());
        while (next && controller.Playing() && !stopRequested()) {
            sleepUntil(*next);
            if (stopRequested())
                break;
            session.RunPosted();
            next = controller.PlayTick();
            session.WaitForSends();
            printFrame(controller.LastPlayStep());
        }
        controller.StopPlaying();
        return session.Finish(ReportPrinting::SimulatedHex);
    };
}

}  // namespace velta::cli
