#include "control/control_center_controller.h"

#include <array>
#include <chrono>
#include <numeric>
#include <utility>

#include "control/control_ids.h"
#include "control/guidance.h"
#include "device/send_operations.h"
#include "export/sequence_export.h"
#include "grid/grid_transforms.h"
#include "grid/pointer_painting.h"

namespace velta {

namespace {

namespace id = panel_id;

// The features that have reports of their own; the text is sent only by Update Data.
constexpr FeatureMask kReportFeatures = feature::kLedGrid | feature::kRgbPods | feature::kLedRings;

constexpr std::array<std::pair<int, GridCommand>, 12> kGridCommandButtons = {{
    {id::kSelectAll, GridCommand::SelectAll},
    {id::kDeselectAll, GridCommand::DeselectAll},
    {id::kShiftLeft, GridCommand::ShiftLeft},
    {id::kShiftRight, GridCommand::ShiftRight},
    {id::kShiftUp, GridCommand::ShiftUp},
    {id::kShiftDown, GridCommand::ShiftDown},
    {id::kShiftInwards, GridCommand::ShiftInwards},
    {id::kShiftOutwards, GridCommand::ShiftOutwards},
    {id::kShiftDownwards, GridCommand::ShiftDownwards},
    {id::kShiftUpwards, GridCommand::ShiftUpwards},
    {id::kInvertGrid, GridCommand::InvertGrid},
    {id::kColorAllPods, GridCommand::ColorAllPods},
}};

using Handler = void (ControlCenterController::*)();
constexpr std::array<std::pair<int, Handler>, 4> kOtherButtons = {{
    {id::kSaveSequence, &ControlCenterController::OnSaveSequence},
    {id::kConnectTx, &ControlCenterController::OnConnectTx},
    {id::kUpdateData, &ControlCenterController::OnUpdateData},
    {id::kRfMode, &ControlCenterController::OnRfMode},
}};

constexpr std::array<std::pair<int, FeatureBox>, 6> kFeatureBoxes = {{
    {id::kLedGridBox, FeatureBox::LedGrid},
    {id::kRgbPodsBox, FeatureBox::RgbPods},
    {id::kLedRingsBox, FeatureBox::LedRings},
    {id::kGridBrightnessBox, FeatureBox::GridBrightness},
    {id::kRingBrightnessBox, FeatureBox::RingBrightness},
    {id::kScrollingTextBox, FeatureBox::ScrollingText},
}};

template <typename Value, std::size_t N>
std::optional<Value> Lookup(const std::array<std::pair<int, Value>, N>& table, int controlId) {
    for (const auto& [key, value] : table) {
        if (key == controlId)
            return value;
    }
    return std::nullopt;
}

// Each grid command, in GridCommand order: its name in the Undo and Redo menu items and what it
// does to the panel.
struct GridCommandRun {
    const char* label;
    void (*run)(PanelState&);
};
constexpr std::array<GridCommandRun, 12> kGridCommands = {{
    {"Select All", SelectAll},
    {"Deselect All", DeselectAll},
    {"Shift Left", ShiftLeft},
    {"Shift Right", ShiftRight},
    {"Shift Up", ShiftUp},
    {"Shift Down", ShiftDown},
    {"Shift Inwards", ShiftInwards},
    {"Shift Outwards", ShiftOutwards},
    {"Shift Downwards", ShiftDownwards},
    {"Shift Upwards", ShiftUpwards},
    {"Invert Grid", InvertGrid},
    {"Colour All Pods", ColorAllPods},
}};

// The undo step of each slider, named after what it sets.
constexpr std::array<std::pair<int, const char*>, 3> kSliderSteps = {{
    {id::kScrollSpeed, "Move Scroll Speed"},
    {id::kRingLevel, "Move Ring Level"},
    {id::kGridBrightness, "Move LED Grid Brightness"},
}};

// The feature boxes' captions, in FeatureBox order, for their undo steps ("Tick LED Grid").
constexpr std::array<const char*, 6> kFeatureBoxNames = {
    "LED Grid", "RGB Pods", "LED Rings", "Grid Brightness", "Ring Brightness", "Scrolling Text",
};

// The fill modes' captions, in FillMode order, for their undo steps.
constexpr std::array<const char*, 3> kFillModeNames = {"All Off", "All On", "Copy"};

bool AnyPodMarked(const PanelState& panel) {
    for (int pod = 0; pod < kPodCount; ++pod) {
        if (panel.PodMark(pod))
            return true;
    }
    return false;
}

}  // namespace

std::optional<GridCommand> ControlCenterController::GridCommandForControl(int controlId) {
    return Lookup(kGridCommandButtons, controlId);
}

std::optional<FeatureBox> ControlCenterController::FeatureBoxForControl(int controlId) {
    return Lookup(kFeatureBoxes, controlId);
}

ControlCenterController::ControlCenterController(HidTransport& transport, ControlCenterView& view)
    : view_(view), link_(transport, view) {
    link_.SetTap(&tap_);
}

ControlCenterController::ControlCenterController(HidTransport& transport, ControlCenterView& view,
                                                 LinkWait& wait)
    : view_(view), link_(transport, view, wait) {
    link_.SetTap(&tap_);
}

void ControlCenterController::OnInitDialog() {
    panel_.SetFillMode(FillMode::AllOff);
    link_.Close();
    panel_.SetGridBrightness(kGridBrightnessMax);
    panel_.SetScrollSpeed(kScrollSpeedMax);
    panel_.SetRingLevel(kRingLevelMax);
    saved_ = CaptureSnapshot(panel_, sequence_);
}

void ControlCenterController::OnButtonClicked(int controlId) {
    if (const auto command = GridCommandForControl(controlId)) {
        OnGridCommand(*command);
    } else if (const auto handler = Lookup(kOtherButtons, controlId)) {
        (this->**handler)();
    }
}

void ControlCenterController::OnGridCommand(GridCommand command) {
    const GridCommandRun& grid = kGridCommands[static_cast<std::size_t>(command)];
    const char* label = grid.label;
    if (!BeginEdit())
        return;
    BeginStep(label);
    grid.run(panel_);
    // Coloured pods take their LED colours at the next tick, which ends the step.
    KeepSamplingIfNeeded(label);
    EndStep();
}

void ControlCenterController::OnConnectTx() {
    // A working link is left alone: searching again would drop its handles. One whose
    // transmitter is no longer listed (removed before the reader noticed) is searched anew, so a
    // dead handle is never reported as a detected device.
    if (link_.IsConnected() && link_.DevicePresent()) {
        view_.SetStatusText(kTextDeviceDetected);
        return;
    }
    view_.SetStatusText(link_.Open() ? kTextDeviceDetected : kTextDeviceNotDetected);
}

void ControlCenterController::OnUpdateData() {
    if (const std::string_view hint = UpdateDataHint(panel_.RfMode(), link_.IsConnected());
        !hint.empty())
        view_.ShowHint(hint);
    if (!panel_.RfMode())
        return;
    // Its button is disabled until the answer to its last send has come back.
    if (inFlight_[static_cast<std::size_t>(SendKind::UpdateData)] > 0)
        return;
    if (!link_.IsConnected()) {
        view_.SetStatusText(kTextDeviceNotDetected);
        return;
    }
    const FeatureMask mask = panel_.BuildFeatureMask(true);
    ReportBatch batch;
    AddChangedReports(mask, batch);
    if ((mask & feature::kScrollingText) != 0)
        SendText(panel_, link_.IsConnected(), batch);
    // Every ticked feature goes out: afterwards the display holds them as the panel shows them.
    displayUnknown_ &= static_cast<FeatureMask>(~mask);
    Submit(std::move(batch), SendKind::UpdateData);
    // Logs what changed since the last look and brings the snapshots up to date, so the next
    // auto-update tick does not send this content again. The log describes the same content as
    // the batch, so it is written now, not when the batch's answer comes.
    log_.AppendBlocks(tracker_.DetectChanges());
}

void ControlCenterController::OnSaveSequence() {
    log_.AppendBlocks(panel_.BuildFeatureMask(false));
}

void ControlCenterController::OnRfMode() {
    if (!link_.IsConnected())
        view_.ShowHint(kHintRfWithoutTransmitter);  // beside the Write Error box that follows
    if (inFlight_[static_cast<std::size_t>(SendKind::RfMode)] > 0)
        return;
    // The toggle happens whatever becomes of the write; a failure is reported when it comes back.
    ReportBatch batch;
    if (!panel_.RfMode()) {
        SendRfOn(batch);
        Submit(std::move(batch), SendKind::RfMode);
        view_.SetRfButtonCaption(kCaptionDisableRf);
        panel_.SetRfMode(true);
        // Changes made while RF mode was off go out at the next beat of a started timer.
        ArmAutoUpdate();
    } else {
        SendRfOff(batch);
        Submit(std::move(batch), SendKind::RfMode);
        view_.SetRfButtonCaption(kCaptionActivateRf);
        panel_.SetRfMode(false);
    }
}

void ControlCenterController::OnFeatureBoxClicked(FeatureBox box, bool checked) {
    // The boxes are saved with the design, so a click is an undo step, together with the boxes
    // it ticks or unticks along with it.
    const std::string label = std::string(checked ? "Tick " : "Untick ") +
                              kFeatureBoxNames[static_cast<std::size_t>(box)];
    RecordChoiceStep(label, [&] {
        panel_.SetFeature(box, checked);
        switch (box) {
            case FeatureBox::LedGrid:
                OnLedGrid();
                break;
            case FeatureBox::LedRings:
                OnLedRings();
                break;
            case FeatureBox::ScrollingText:
                OnScrollingText();
                break;
            case FeatureBox::RgbPods:
            case FeatureBox::GridBrightness:  // the two brightness boxes can't be clicked
            case FeatureBox::RingBrightness:
                break;
        }
    });
}

void ControlCenterController::OnAutoUpdateClicked(bool checked) {
    panel_.SetAutoUpdate(checked);
    OnAutoUpdate();
}

void ControlCenterController::OnFillModeChosen(FillMode mode) {
    RecordChoiceStep(
        std::string("Choose Fill Mode ") + kFillModeNames[static_cast<std::size_t>(mode)],
        [&] { panel_.SetFillMode(mode); });
}

void ControlCenterController::OnLedClicked(LedKind kind, int index) {
    if (!BeginEdit())
        return;
    switch (kind) {
        case LedKind::GridCell:
            RecordStep("Switch LED", [&] { panel_.ToggleCell(index); });
            break;
        case LedKind::Pod:
            // The mark is no content; the colour it brings at the next tick is the step.
            panel_.TogglePodMark(index);
            KeepSamplingIfNeeded("Colour Pod");
            break;
        case LedKind::Ring:
            RecordStep("Switch Ring", [&] { panel_.ToggleRing(index); });
            break;
    }
}

void ControlCenterController::OnPaintButtonsChanged(bool anyHeld) {
    if (anyHeld) {
        if (!BeginEdit())
            return;
        // The right button paints, the middle one erases; a stroke is named after the button
        // that started it.
        KeepSamplingIfNeeded(view_.SamplePointer().rightHeld ? "Paint LEDs" : "Erase LEDs");
    }
    OnPointerMoved();  // a press or release is a new sample too
}

void ControlCenterController::OnSliderPressed() {
    if (!BeginEdit())
        return;
    // The step begins at the first move, which says which slider it is; the panel can't change
    // between the press and that move.
    sliding_ = true;
    slideStepOpen_ = false;
}

void ControlCenterController::OnSliderMoved(int controlId, int value) {
    const auto set = [this, controlId, value] {
        if (controlId == id::kScrollSpeed)
            panel_.SetScrollSpeed(value);
        else if (controlId == id::kRingLevel)
            panel_.SetRingLevel(value);
        else if (controlId == id::kGridBrightness)
            panel_.SetGridBrightness(value);
    };
    const auto label = Lookup(kSliderSteps, controlId);
    if (!label)
        return;  // no slider of the panel
    if (sliding_) {
        if (!slideStepOpen_) {
            BeginStep(*label);
            slideStepOpen_ = true;
        }
        set();
        ArmAutoUpdate();
        return;
    }
    if (!BeginEdit())
        return;
    RecordStep(*label, set);
}

void ControlCenterController::OnSliderReleased() {
    if (!sliding_)
        return;
    sliding_ = false;
    if (slideStepOpen_) {
        slideStepOpen_ = false;
        EndStep();
    }
}

void ControlCenterController::OnScrollTextEdited(std::string text) {
    if (!typing_) {
        if (!BeginEdit())
            return;
        BeginStep("Type Scrolling Text");
        typing_ = true;
    }
    panel_.SetScrollText(std::move(text));
}

void ControlCenterController::OnScrollTextEditFinished() {
    if (!typing_)
        return;
    typing_ = false;
    EndStep();
}

void ControlCenterController::OnAutoUpdate() {
    // With RF mode off the check mark alone changes; a started timer stays started.
    if (!panel_.RfMode())
        return;
    if (panel_.AutoUpdate()) {
        // Starting it again restarts the beat.
        autoUpdateStarted_ = true;
        autoUpdateTimer_.Start();
    } else {
        autoUpdateStarted_ = false;
        autoUpdateTimer_.Rest();
    }
}

void ControlCenterController::ArmAutoUpdate() {
    // Ticks do nothing while RF mode is off; turning it on arms the timer again.
    if (!autoUpdateStarted_ || !panel_.RfMode())
        return;
    // On the beat the polling timer would have kept since it was started, so changes go out on
    // the same ticks as they would with a timer that never stopped.
    autoUpdateTimer_.Arm();
}

void ControlCenterController::OnLedRings() {
    // The two brightness boxes can't be clicked; they always follow "LED Rings".
    const bool on = panel_.Feature(FeatureBox::LedRings);
    panel_.SetFeature(FeatureBox::RingBrightness, on);
    panel_.SetFeature(FeatureBox::GridBrightness, on);
}

void ControlCenterController::OnScrollingText() {
    panel_.SetFeature(FeatureBox::LedGrid, false);
}

void ControlCenterController::OnLedGrid() {
    panel_.SetFeature(FeatureBox::ScrollingText, false);
}

void ControlCenterController::OnColorKillFocus() {
    panel_.SetCurrentColor(view_.PickedColor());
}

void ControlCenterController::OnTimer(int id) {
    if (id == kSampleTimerId) {
        SampleTimerTick();
    } else if (id == kAutoUpdateTimerId) {
        AutoUpdateTick();
    }
}

void ControlCenterController::SampleTimerTick() {
    sampleTimer_.Ticked();
    // Painting only touches cells and pod colours, so it may run even inside a modal box; the
    // next send picks the new content up at its next look.
    const PointerSample sample = view_.SamplePointer();
    SampleTick(panel_, sample);
    ArmAutoUpdate();
    ticked_ = TickedSampleOf(sample);
    if (!sampling_ || AnyPodMarked(panel_))
        return;
    // The cell under the pointer now holds what the button paints: until the pointer moves,
    // every tick would find just that. The next move arms the timer again, on its beat.
    sampleTimer_.Rest();
    if (!sample.rightHeld && !sample.middleHeld) {
        sampling_ = false;
        EndStep();  // the stroke or colouring that started the sampling
    }
}

ControlCenterController::TickedSample ControlCenterController::TickedSampleOf(
    const PointerSample& sample) {
    return {PaintTargetAt(sample.x, sample.y), sample.rightHeld, sample.middleHeld};
}

void ControlCenterController::OnPointerMoved() {
    if (sampling_ && TickedSampleOf(view_.SamplePointer()) != ticked_)
        sampleTimer_.Arm();
}

void ControlCenterController::KeepSamplingIfNeeded(const char* label) {
    if (sampling_)
        return;
    const PointerSample sample = view_.SamplePointer();
    if (sample.rightHeld || sample.middleHeld || AnyPodMarked(panel_)) {
        BeginStep(label);
        sampleTimer_.Start();
        sampling_ = true;
    }
}

void ControlCenterController::FinishOpenSteps() {
    // An edit while a sequence plays ends the playing first: the edit lands on the panel as it
    // was before Play, not on a frame that the next tick would overwrite.
    if (restoreAfterPlay_)
        StopPlaying();
    OnScrollTextEditFinished();
    OnSliderReleased();
}

bool ControlCenterController::BeginEdit() {
    if (Live()) {
        view_.ShowHint(kHintLiveReadOnly);
        return false;
    }
    FinishOpenSteps();
    return true;
}

void ControlCenterController::FinishSampling() {
    if (!sampling_)
        return;
    SampleTick(panel_, PointerSample{});  // no button held: only the marked pods take colour
    sampleTimer_.Rest();
    sampling_ = false;
    EndStep();
}

void ControlCenterController::BeginStep(std::string label) {
    history_.Begin(panel_, std::move(label));
}

void ControlCenterController::EndStep() {
    history_.End(panel_);
    view_.OnHistoryChanged();
    ArmAutoUpdate();
}

void ControlCenterController::RecordStep(std::string label, const std::function<void()>& edit) {
    BeginStep(std::move(label));
    edit();
    EndStep();
}

void ControlCenterController::RecordChoiceStep(std::string label,
                                               const std::function<void()>& edit) {
    // Ends a typing or slider step still open, but lets a playing sequence play on: a box or a
    // fill mode is no part of the frames, and its step puts back only the choices.
    OnScrollTextEditFinished();
    OnSliderReleased();
    RecordStep(std::move(label), edit);
}

std::string ControlCenterController::DesignText() const {
    return WriteDesign(CaptureSnapshot(panel_, sequence_));
}

bool ControlCenterController::OpenDesign(std::string_view bytes, std::string_view fileName,
                                         std::string& error) {
    DesignReadResult read = ReadDesign(bytes, fileName);
    if (!read.Ok()) {
        error = std::move(read.error);
        return false;
    }
    if (!ReplaceDesign(std::move(*read.design), "Open Design")) {
        error = std::string(kLiveRefusal);
        return false;
    }
    return true;
}

bool ControlCenterController::NewDesign() {
    const PanelState fresh;
    return ReplaceDesign(CaptureDesign(fresh), "New Design");
}

bool ControlCenterController::ReplaceDesign(Design design, const char* label) {
    if (!BeginEdit())
        return false;
    const EditSnapshot before = CaptureSnapshot(panel_, sequence_);
    ApplyDesign(panel_, design);
    sequence_.SetFrames(std::move(design.frames));
    history_.Record(before, CaptureSnapshot(panel_, sequence_), label);
    MarkDesignSaved();
    ArmAutoUpdate();
    return true;
}

void ControlCenterController::MarkDesignSaved() {
    saved_ = CaptureSnapshot(panel_, sequence_);
    history_.MarkSaved();
    view_.OnHistoryChanged();
}

bool ControlCenterController::DesignModified() const {
    // Asked after every change the window mirrors: the frames are compared where they are, not
    // copied into a snapshot first.
    const Design now = CaptureDesign(panel_);
    return now.content != saved_.content || now.features != saved_.features ||
           now.fillMode != saved_.fillMode || sequence_.Frames() != saved_.frames;
}

void ControlCenterController::ReplaceGrid(const std::array<bool, kCellCount>& cells,
                                          std::string label) {
    if (!BeginEdit())
        return;
    RecordStep(label, [&] {
        for (int i = 0; i < kCellCount; ++i)
            panel_.SetCell(i, cells[static_cast<std::size_t>(i)]);
    });
}

bool ControlCenterController::Undo() {
    if (!BeginEdit())
        return false;
    const bool done = history_.Undo(panel_, sequence_);
    view_.OnHistoryChanged();
    ArmAutoUpdate();
    return done;
}

bool ControlCenterController::Redo() {
    if (!BeginEdit())
        return false;
    const bool done = history_.Redo(panel_, sequence_);
    view_.OnHistoryChanged();
    ArmAutoUpdate();
    return done;
}

void ControlCenterController::ClearDataCenter() {
    log_.Clear();
    keptLogLength_ = 0;
}

void ControlCenterController::OnClose() {
    link_.Close();
}

int ControlCenterController::SendsInFlight() const {
    return std::accumulate(inFlight_.begin(), inFlight_.end(), 0);
}

void ControlCenterController::Submit(ReportBatch batch, SendKind kind) {
    if (batch.empty())
        return;
    int& inFlight = inFlight_[static_cast<std::size_t>(kind)];
    if (inFlight++ == 0) {
        if (kind == SendKind::UpdateData)
            view_.SetCommandBusy(id::kUpdateData, true);
        else if (kind == SendKind::RfMode)
            view_.SetCommandBusy(id::kRfMode, true);
    }
    link_.Send(std::move(batch),
               [this, kind](const BatchResult& result) { OnBatchDone(kind, result); });
}

void ControlCenterController::OnBatchDone(SendKind kind, const BatchResult& result) {
    // The link has shown each report to the tap already. The batch is answered before anything
    // that may run a nested event loop (the box), so the ticks in there see it answered.
    if (--inFlight_[static_cast<std::size_t>(kind)] == 0) {
        if (kind == SendKind::UpdateData)
            view_.SetCommandBusy(id::kUpdateData, false);
        else if (kind == SendKind::RfMode)
            view_.SetCommandBusy(id::kRfMode, false);
    }
    if (!result.written && result.closed) {
        // The user closed the link or opened it anew before the batch was out: nothing to
        // report, but the display may hold part of it.
        displayUnknown_ = kReportFeatures;
        framePending_ = false;
        return;
    }
    if (!result.written) {
        framePending_ = false;
        if (result.droppedLink) {
            // A write failed or was given up on a working link: part of the batch may have
            // landed, or may land later, so the next send carries every ticked feature in full.
            // The link went down the moment the writer gave up; the Status box says so unless a
            // newer Connect Tx has brought it up since.
            displayUnknown_ = kReportFeatures;
            if (!link_.IsConnected())
                view_.SetStatusText(kTextDeviceNotDetected);
        }
        // One box per failed command, however many of its reports failed.
        view_.ShowWriteError();
        if (kind == SendKind::Frame && Playing() && sendWhilePlaying_)
            StopPlaying();
        return;
    }
    if (kind == SendKind::Frame)
        ++frameBatchesSent_;
    // A frame shown while this send was out goes out now, with the frame showing now.
    if (framePending_ && SendsInFlight() == 0)
        SendFrameChanges();
}

void ControlCenterController::AddChangedReports(FeatureMask changes, ReportBatch& batch) const {
    if ((changes & feature::kLedGrid) != 0)
        SendGrid(panel_, batch);
    if ((changes & feature::kRgbPods) != 0)
        SendPods(panel_, batch);
    if ((changes & feature::kLedRings) != 0)
        SendRings(panel_, batch);
}

void ControlCenterController::SendChanges(FeatureMask changes, SendKind kind) {
    const FeatureMask mask = changes | (displayUnknown_ & panel_.BuildFeatureMask(false));
    if (mask == 0)
        return;
    ReportBatch batch;
    AddChangedReports(mask, batch);
    displayUnknown_ &= static_cast<FeatureMask>(~mask);
    Submit(std::move(batch), kind);
}

void ControlCenterController::AutoUpdateTick() {
    autoUpdateTimer_.Ticked();
    if (!panel_.RfMode()) {
        autoUpdateTimer_.Rest();
        return;
    }
    // A send still out: this tick's changes wait for the next tick and go out merged with its.
    if (SendsInFlight() > 0)
        return;
    const FeatureMask changes = tracker_.DetectChanges();
    if (changes == 0) {
        autoUpdateTimer_.Rest();
        return;
    }
    if (link_.IsConnected())
        SendChanges(changes, SendKind::AutoUpdate);
    log_.AppendBlocks(changes);
}

void ControlCenterController::ShowFrame(const SequenceFrame& frame, bool sendWhilePlaying) {
    ApplyFrame(panel_, frame);
    ArmAutoUpdate();
    if (!sendWhilePlaying || !panel_.RfMode() || !link_.IsConnected())
        return;
    if (SendsInFlight() > 0) {
        framePending_ = true;
        return;
    }
    SendFrameChanges();
}

void ControlCenterController::SendFrameChanges() {
    framePending_ = false;
    if (!panel_.RfMode() || !link_.IsConnected())
        return;
    // Against what was last sent, so only what changed from the previous frame goes out.
    SendChanges(tracker_.DetectChanges(), SendKind::Frame);
}

bool ControlCenterController::EditFrames(const std::function<bool()>& edit) {
    FinishOpenSteps();
    const bool done = edit();  // the list records its own step in the history
    view_.OnHistoryChanged();
    return done;
}

bool ControlCenterController::AddFrame(std::size_t after, int holdMs) {
    return EditFrames(
        [&] { return sequence_.AddAfter(after, CaptureFrame(panel_, holdMs), &history_); });
}

bool ControlCenterController::ReplaceFrame(std::size_t index) {
    return index < sequence_.Size() && EditFrames([&] {
               return sequence_.Replace(index, CaptureFrame(panel_, sequence_[index].holdMs),
                                        &history_);
           });
}

bool ControlCenterController::SetFrameHold(std::size_t index, int holdMs) {
    return index < sequence_.Size() && EditFrames([&] {
               SequenceFrame frame = sequence_[index];
               frame.holdMs = holdMs;
               return sequence_.Replace(index, frame, &history_);
           });
}

bool ControlCenterController::DuplicateFrame(std::size_t index) {
    return EditFrames([&] { return sequence_.Duplicate(index, &history_); });
}

bool ControlCenterController::DeleteFrame(std::size_t index) {
    return EditFrames([&] { return sequence_.Delete(index, &history_); });
}

bool ControlCenterController::MoveFrame(std::size_t from, std::size_t to) {
    return EditFrames([&] { return sequence_.Move(from, to, &history_); });
}

bool ControlCenterController::LoadFrame(std::size_t index) {
    if (index >= sequence_.Size() || !BeginEdit())
        return false;
    RecordStep("Load Frame", [&] { ApplyFrame(panel_, sequence_[index]); });
    return true;
}

void ControlCenterController::ExportSequenceToDataCenter() {
    log_.AppendFrames(sequence_.Frames(), panel_.BuildFeatureMask(false));
}

std::string ControlCenterController::SequenceText() const {
    return ExportSequenceText(sequence_.Frames(), panel_.BuildFeatureMask(false));
}

std::optional<std::chrono::steady_clock::time_point> ControlCenterController::StartPlaying(
    bool loop, bool send) {
    if (!BeginEdit())
        return std::nullopt;
    StopPlaying();
    if (!player_.Start(sequence_.Frames(), loop))
        return std::nullopt;
    restoreAfterPlay_ = CaptureContent(panel_);
    sendWhilePlaying_ = send;
    return PlayTick();
}

std::optional<std::chrono::steady_clock::time_point> ControlCenterController::PlayTick() {
    if (!player_.IsPlaying())
        return std::nullopt;
    const PlaybackStep step = player_.Tick();
    lastPlayStep_ = step;
    if (step.changed && step.frame != nullptr)
        ShowFrame(*step.frame, sendWhilePlaying_);
    if (!player_.IsPlaying())
        return std::nullopt;  // a single pass has shown its last frame
    return step.nextChange;
}

void ControlCenterController::StopPlaying() {
    player_.Stop();
    lastPlayStep_ = {};
    if (restoreAfterPlay_) {
        // The display keeps the last frame shown, so a frame still waiting goes out first.
        if (framePending_)
            SendFrameChanges();
        ApplyContent(panel_, *restoreAfterPlay_);
        restoreAfterPlay_.reset();
        ArmAutoUpdate();
        view_.OnPlayingStopped();
    }
}

void ControlCenterController::EnterLive(bool send) {
    sendLive_ = send;
    if (Live())
        return;
    StopPlaying();
    FinishOpenSteps();
    FinishSampling();
    restoreAfterLive_ = CaptureContent(panel_);
}

void ControlCenterController::ShowLiveFrame(const SequenceFrame& frame) {
    if (Live())
        ShowFrame(frame, sendLive_);
}

void ControlCenterController::LeaveLive() {
    if (!restoreAfterLive_)
        return;
    // The display keeps the last frame shown, so a frame still waiting goes out first.
    if (framePending_)
        SendFrameChanges();
    ApplyContent(panel_, *restoreAfterLive_);
    restoreAfterLive_.reset();
    ArmAutoUpdate();
}

}  // namespace velta
