// The expectation every live frame is held to: what Auto Update sends for each content in turn,
// on a panel set up as velta serve sets it up (the three boxes a frame fills ticked, Connect Tx,
// Activate RF Mode, Update Data), with the controller driven directly.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "control/control_center_controller.h"
#include "device/simulated_transmitter.h"
#include "net/channel_map.h"
#include "tests/control/fake_view.h"
#include "tests/model/random_frame.h"

namespace velta::testing {

using ReportSteps = std::vector<std::vector<DeviceReport>>;

// The program as velta serve sets it up: the three boxes a frame fills ticked.
struct ServedRig {
    ServedRig() {
        controller.OnInitDialog();
        for (FeatureBox box : {FeatureBox::LedGrid, FeatureBox::RgbPods, FeatureBox::LedRings})
            controller.OnFeatureBoxClicked(box, true);
    }
    // Connect Tx, Activate RF Mode and Update Data, answered.
    void Connect() {
        controller.OnConnectTx();
        controller.OnRfMode();
        controller.OnUpdateData();
        Settle();
    }
    // Runs what the link posts until every send has been answered (bounded).
    void Settle() {
        EXPECT_TRUE(WaitUntil([&] {
            view.RunPosted();
            return controller.SendsInFlight() == 0;
        }));
    }
    SimulatedTransmitter tx;
    FakeView view;
    ControlCenterController controller{tx, view};
    PanelState& panel = controller.Panel();
};

// Step 0: the start's reports (RF on, then the panel); step i: the reports of frames[i - 1].
inline ReportSteps AutoUpdateSteps(const std::vector<SequenceFrame>& frames) {
    ServedRig rig;
    rig.Connect();
    std::uint64_t taken = 0;
    ReportSteps steps{rig.tx.WrittenSince(taken)};
    rig.controller.OnAutoUpdateClicked(true);
    for (const SequenceFrame& frame : frames) {
        ApplyFrame(rig.panel, frame);
        rig.controller.OnTimer(kAutoUpdateTimerId);
        rig.Settle();
        steps.push_back(rig.tx.WrittenSince(taken));
    }
    return steps;
}

// The reports of steps [from, end) in order.
inline std::vector<DeviceReport> Joined(const ReportSteps& steps, std::size_t from = 0) {
    std::vector<DeviceReport> all;
    for (std::size_t i = from; i < steps.size(); ++i)
        all.insert(all.end(), steps[i].begin(), steps[i].end());
    return all;
}

// Random frames as the channel map carries them (the levels keep what the channels hold).
inline std::vector<SequenceFrame> RandomCarriedFrames(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<SequenceFrame> frames;
    for (std::size_t i = 0; i < count; ++i)
        frames.push_back(net::DecodeUniverse(net::EncodeUniverse(RandomFrame(rng), 1), 1));
    return frames;
}

}  // namespace velta::testing
