// The command layer of the window: start-up, every button and check box, both timers and close.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "control/beat_timer.h"
#include "control/change_tracker.h"
#include "control/control_center_view.h"
#include "control/sequence_player.h"
#include "device/hid_link.h"
#include "device/hid_transport.h"
#include "display/display_tap.h"
#include "export/data_center_log.h"
#include "model/design_file.h"
#include "model/edit_history.h"
#include "model/panel_content.h"
#include "model/panel_state.h"
#include "model/sequence.h"

namespace velta {

// The push buttons that run grid and pod commands.
enum class GridCommand {
    SelectAll,
    DeselectAll,
    ShiftLeft,
    ShiftRight,
    ShiftUp,
    ShiftDown,
    ShiftInwards,
    ShiftOutwards,
    ShiftDownwards,
    ShiftUpwards,
    InvertGrid,
    ColorAllPods,
};

class ControlCenterController {
  public:
    ControlCenterController(HidTransport& transport, ControlCenterView& view);
    // `wait` decides when the link gives a report up (tests); it must outlive the controller.
    ControlCenterController(HidTransport& transport, ControlCenterView& view, LinkWait& wait);

    PanelState& Panel() { return panel_; }
    const PanelState& Panel() const { return panel_; }
    HidLink& Link() { return link_; }
    const HidLink& Link() const { return link_; }
    // Every report the link writes or reads, decoded into what the display holds and journaled.
    DisplayTap& Tap() { return tap_; }
    const DataCenterLog& Log() const { return log_; }

    // What the panel's controls run, by control id; the window only forwards.
    static std::optional<GridCommand> GridCommandForControl(int controlId);
    static std::optional<FeatureBox> FeatureBoxForControl(int controlId);

    // Which transmitter Connect Tx looks for when more than one is plugged in (none chosen: the
    // first in the platform's order); a failed Connect Tx names the choice in its diagnostic.
    void SetDeviceChoice(DeviceChoice choice) { link_.SetDeviceChoice(std::move(choice)); }

    void OnInitDialog();  // start-up defaults
    // A push button of the panel; ids without a command are ignored.
    void OnButtonClicked(int controlId);
    void OnGridCommand(GridCommand command);
    void OnConnectTx();
    void OnUpdateData();
    void OnSaveSequence();
    void OnRfMode();
    // A check box was clicked into the given state; the rules that tie the boxes together
    // follow from here.
    void OnFeatureBoxClicked(FeatureBox box, bool checked);
    void OnAutoUpdateClicked(bool checked);
    void OnFillModeChosen(FillMode mode);
    // An LED of the panel was clicked: it switches its cell, pod mark or ring.
    void OnLedClicked(LedKind kind, int index);
    // Sliders: a drag from press to release is one undo step; a move by the keyboard or the
    // wheel is a step of its own.
    void OnSliderPressed();
    void OnSliderMoved(int controlId, int value);
    void OnSliderReleased();
    // Typing is one step until a pause or until the text box loses the focus.
    void OnScrollTextEdited(std::string text);
    void OnScrollTextEditFinished();
    // The paint (right) or erase (middle) button went down or up anywhere over the window.
    void OnPaintButtonsChanged(bool anyHeld);
    // The pointer moved (its sample changed). While painting, the sampling tick runs only after
    // such a change: ticks over an unchanged sample would change nothing.
    void OnPointerMoved();
    void OnColorKillFocus();
    void OnTimer(int id);
    void OnClose();

    // Designs. Opening or starting a design replaces content, feature boxes and fill mode as one
    // undoable step; Auto Update then sends what changed, like after any edit.
    std::string DesignText() const;
    bool OpenDesign(std::string_view bytes, std::string_view fileName, std::string& error);
    bool NewDesign();  // false (nothing changed) while live
    void MarkDesignSaved();
    bool DesignModified() const;
    // Replaces the grid as one step (a picture import).
    void ReplaceGrid(const std::array<bool, kCellCount>& cells, std::string label);

    // Undo and redo of every content edit.
    bool Undo();
    bool Redo();
    const EditHistory& History() const { return history_; }

    // The Data Center as something the user keeps: what an export or a whole copy takes, whether
    // blocks were appended since the last of those, and clearing it.
    std::string_view DataCenterText() const { return log_.ShownText(); }
    bool DataCenterHasUnkeptBlocks() const { return log_.ShownLength() > keptLogLength_; }
    void MarkDataCenterKept() { keptLogLength_ = log_.ShownLength(); }
    void ClearDataCenter();

    // Sends handed to the link whose outcome has not come back yet. Commands never wait for
    // them: a later command's reports go out behind them, an auto-update tick that finds one
    // leaves its changes to the next tick, and Update Data and the RF button ignore a click while
    // their own send is out (the window disables them meanwhile).
    int SendsInFlight() const;

    // A frame of a playing sequence: written into the panel (only what differs), and with
    // `sendWhilePlaying`, RF mode on and the link connected, the changed reports of the ticked
    // features sent as Auto Update sends them; nothing goes to the Data Center. While another
    // send is in flight the frame's changes wait for its outcome and go out with the frame
    // showing then. A failed send stops the play (Write Error, then PlayingStopped).
    void ShowFrame(const SequenceFrame& frame, bool sendWhilePlaying);

    // The design's sequence. Every change to the list is one undo step, in the same history as
    // the panel's edits; loading a frame into the panel is one too.
    const Sequence& Frames() const { return sequence_; }
    bool AddFrame(std::size_t after, int holdMs);  // the panel's content, after frame `after`
    bool ReplaceFrame(std::size_t index);          // with the panel's content, keeping its hold
    bool SetFrameHold(std::size_t index, int holdMs);
    bool DuplicateFrame(std::size_t index);
    bool DeleteFrame(std::size_t index);
    bool MoveFrame(std::size_t from, std::size_t to);
    bool LoadFrame(std::size_t index);
    // Appends to the Data Center what Save Sequence would have appended frame by frame.
    void ExportSequenceToDataCenter();
    // The same text for a file.
    std::string SequenceText() const;

    // Playing the sequence in the panel (and, with `send`, on the display). The window arms a
    // timer for the returned moment and calls PlayTick then; nothing is returned once playing
    // has ended (the last frame of a single pass, Stop, or a failed write). Stopping puts the
    // panel back as it was before Play.
    std::optional<std::chrono::steady_clock::time_point> StartPlaying(bool loop, bool send);
    std::optional<std::chrono::steady_clock::time_point> PlayTick();
    void StopPlaying();
    bool Playing() const { return player_.IsPlaying() || restoreAfterPlay_.has_value(); }
    // What the last StartPlaying or PlayTick did: the frame showing, and whether it changed.
    const PlaybackStep& LastPlayStep() const { return lastPlayStep_; }
    void SetPlayClock(SequencePlayer::Clock clock) { player_ = SequencePlayer(std::move(clock)); }
    // The clock that keeps Auto Update's ticks on the 100 ms beat that started with the timer.
    void SetTickClock(SequencePlayer::Clock clock) { tickClock_ = std::move(clock); }

    // Live input: the panel follows frames from outside (the network input, see LiveInput) and
    // is read-only meanwhile. Entering ends a playing sequence and any open step, and keeps the
    // panel's content to put back, as Play does. While live, every entry point that would change
    // the panel's content (grid commands, LED clicks, painting, sliders, the text, designs, the
    // picture import, undo and redo, loading or playing frames) does nothing and shows a hint;
    // the feature boxes and the fill mode stay choices the user can make, as during Play, and
    // Connect Tx, RF Mode, Update Data, Auto Update, Save Sequence, the exports and the frame
    // list keep working. With `send`, each frame goes out as ShowFrame sends a played frame: the
    // changed reports of the ticked features, exactly as Auto Update would send them, the latest
    // frame winning while a send is out. Leaving puts the panel back as it was; the display keeps
    // the last frame shown until something sends again.
    void EnterLive(bool send);
    void ShowLiveFrame(const SequenceFrame& frame);  // ignored unless live
    void LeaveLive();
    bool Live() const { return restoreAfterLive_.has_value(); }
    // Batches of frames (played or live) that the transmitter took.
    std::uint64_t FrameBatchesSent() const { return frameBatchesSent_; }

  private:
    // Who sent a batch: each answer goes back to its sender.
    enum class SendKind { UpdateData, RfMode, AutoUpdate, Frame };
    static constexpr std::size_t kSendKinds = 4;

    // Hands the batch to the link and counts it in flight until its answer comes back.
    void Submit(ReportBatch batch, SendKind kind);
    // The answer, on the UI thread: a failed batch takes the rules of a failed write.
    void OnBatchDone(SendKind kind, const BatchResult& result);
    void AddChangedReports(FeatureMask changes, ReportBatch& batch) const;
    // The changed reports of the ticked features, or after a failed send every ticked feature.
    void SendChanges(FeatureMask changes, SendKind kind);
    void SendFrameChanges();
    // Auto Update's timer runs while the user has it started, RF mode is on and something may
    // have changed: an edit arms it, a tick that finds nothing changed stops it.
    void ArmAutoUpdate();

    void OnAutoUpdate();
    void OnLedRings();
    void OnScrollingText();
    void OnLedGrid();
    void AutoUpdateTick();
    void SampleTimerTick();
    // The 10 ms sampling runs only while it can change something: a paint button is held, or a
    // marked pod waits for its colour. Idle, the program takes no ticks at all.
    void KeepSamplingIfNeeded(const char* label);
    // What a sampling tick acts on: the cell under the pointer and the buttons, nothing finer.
    struct TickedSample {
        PaintTarget target;
        bool rightHeld = false;
        bool middleHeld = false;
        bool operator==(const TickedSample&) const = default;
    };
    static TickedSample TickedSampleOf(const PointerSample& sample);
    // Ends a typing or slider step still open, so the next edit is a step of its own.
    void FinishOpenSteps();
    // The one rule of the read-only panel: every entry point that changes the panel's content
    // starts here. False while live (with a hint); otherwise the open steps are finished and the
    // edit may go ahead.
    bool BeginEdit();
    // Ends a paint stroke or pod colouring still sampling: marked pods take their colour now.
    void FinishSampling();
    void BeginStep(std::string label);
    void EndStep();
    void RecordStep(std::string label, const std::function<void()>& edit);
    // A step that changes only the feature boxes or the fill mode.
    void RecordChoiceStep(std::string label, const std::function<void()>& edit);
    // A change to the frame list, which records its own undo step.
    bool EditFrames(const std::function<bool()>& edit);
    // Opening or starting a design: content, boxes, fill mode and frames as one step, then saved.
    // False (nothing changed) while live.
    bool ReplaceDesign(Design design, const char* label);

    ControlCenterView& view_;
    PanelState panel_;
    ChangeTracker tracker_{panel_};
    DataCenterLog log_{panel_, view_};
    DisplayTap tap_;  // declared before the link, which holds a pointer to it
    HidLink link_;
    std::array<int, kSendKinds> inFlight_{};
    // Features whose content on the display is unknown since a send failed or was given up: the
    // next tick or frame that sends carries each of them that is ticked in full, changed or not.
    FeatureMask displayUnknown_ = 0;
    bool framePending_ = false;       // a frame's changes wait for a send in flight
    bool autoUpdateStarted_ = false;  // the timer as the user started and stopped it
    SequencePlayer::Clock tickClock_ = &std::chrono::steady_clock::now;
    bool sampling_ = false;
    BeatTimer autoUpdateTimer_{view_, kAutoUpdateTimerId, kAutoUpdateTimerPeriodMs, tickClock_};
    BeatTimer sampleTimer_{view_, kSampleTimerId, kSampleTimerPeriodMs, tickClock_};
    TickedSample ticked_;  // what the last sampling tick acted on
    EditHistory history_;
    Design saved_;  // the design as last saved, opened or started
    bool typing_ = false;
    Sequence sequence_;
    SequencePlayer player_;
    bool sendWhilePlaying_ = false;
    std::optional<PanelContent> restoreAfterPlay_;
    std::optional<PanelContent> restoreAfterLive_;  // set while live
    bool sendLive_ = false;
    std::uint64_t frameBatchesSent_ = 0;
    PlaybackStep lastPlayStep_{};
    bool sliding_ = false;        // a slider is held
    bool slideStepOpen_ = false;  // and its step has begun (at its first move)
    std::size_t keptLogLength_ = 0;
};

}  // namespace velta
