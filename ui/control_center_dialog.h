// The program's one window: the Control Center dialog.
//
// It lays out the ordinary controls from the dialog template and the 416 LEDs (in four LED
// fields) at their places, all scaled by one factor to fill the space it is given, mirrors
// PanelState in every control and routes each command and timer tick to the controller. The
// controller talks back through ControlCenterView; PanelState tells the window about every change
// through PanelObserver.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "control/control_center_controller.h"
#include "control/control_center_view.h"
#include "device/hid_transport.h"
#include "model/panel_state.h"

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;

namespace velta {

class ColorPickerCombo;
class DataCenterView;
class LedField;
class PanelStyle;
namespace ui {
struct TemplateControl;
}

class ControlCenterDialog : public QDialog, public ControlCenterView, public PanelObserver {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Velta Control Center";

    // The transport must outlive the dialog.
    explicit ControlCenterDialog(HidTransport& transport, QWidget* parent = nullptr);
    // Ends the link (reader thread and device handles) before any widget goes away.
    ~ControlCenterDialog() override;

    ControlCenterController& Controller() { return *controller_; }
    PanelState& Panel() { return controller_->Panel(); }

    // The template control with this id, or nullptr.
    QWidget* Control(int id) const;
    // While the panel follows the live input, the controls that only edit its content (the grid
    // commands, the sliders, the text) are greyed out; the LED fields still show every frame and
    // a click on them says why nothing changes.
    void SetContentEditable(bool editable);
    // The LED field with this id (ui::field_id), or the one that shows an LED; nullptr if none.
    LedField* Field(int fieldId) const;
    LedField* FieldOf(LedKind kind, int index) const;
    // The control or LED field with this id: what the tab order lists.
    QWidget* TabStop(int id) const;

    // The panel is laid out at one scale, as large as fits, centred; its pixels at scale 1 are
    // the ones the template, the LED places and the pointer painting are written in.
    double PanelScale() const { return scale_; }
    QPoint PanelOrigin() const { return origin_; }
    // The scale the desktop's font asks for (the layout was made for 10-pixel captions), never
    // below 1, and the smallest scale whose captions stay readable on this screen.
    double NaturalScale() const;
    double SmallestScale() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The scrolling-text box's context menu: the box's own, its Undo and Redo the program's.
    std::unique_ptr<QMenu> ScrollTextMenu();

    // ControlCenterView
    void ShowWriteError() override;
    void SetStatusText(std::string_view text) override;
    void PostToUiThread(std::function<void()> task) override;
    void RefreshDataCenter(std::string_view log, std::size_t shownBefore) override;
    void SetRfButtonCaption(std::string_view caption) override;
    void StartTimer(int id, int periodMs) override;
    void StopTimer(int id) override;
    PointerSample SamplePointer() override { return pointer_; }
    Color PickedColor() override;
    void OnHistoryChanged() override;
    void OnPlayingStopped() override;
    void ShowHint(std::string_view hint) override;
    void SetCommandBusy(int controlId, bool busy) override;
    void DataCenterWarning(std::string_view text) override;
    void DataCenterFull(std::string_view text) override;

    // PanelObserver
    void OnCellWritten(int index, bool on) override;
    void OnPodMarkWritten(int pod, bool on) override;
    void OnRingWritten(int ring, bool on) override;
    void OnPodLedColorsChanged(int pod, Color onColor, Color offColor) override;
    void OnFieldChanged(PanelField field) override;

  signals:
    // Embedded in the main window, a way out of the panel (Escape, Enter) asks the window to end.
    void EndRequested();
    // The link may have come up or gone down: the status box changed or a write failed.
    void LinkChanged();
    // Why the transmitter could not be opened (empty once it opened), for the status bar.
    void LinkDiagnostic(const QString& reason);
    // The undo history changed: a step was added, undone or redone, or the design was saved.
    void HistoryChanged();
    // A playing sequence stopped and the panel is back as before Play (Stop, the end of a pass,
    // an edit or undo, a failed write).
    void PlayingStopped();
    // A field other than the LEDs changed (boxes, sliders, text, fill mode, RF mode).
    void FieldChanged();
    // A line for the status bar: why a click could do nothing and what to do next, the Data
    // Center growing large.
    void StatusMessage(const QString& text);
    // What the display would make of the scrolling text: characters it gets as "?", a cut
    // after 62 bytes; empty when it shows the text as typed.
    void TextWarning(const QString& warning);

  public slots:
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Follows the pointer over the whole application for the painting tick, and keeps the
    // program's own shortcuts from the text boxes.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildTemplateControls();
    // One builder per kind of template control; each creates the widget and keeps the pointers
    // the window needs later.
    QWidget* BuildTemplateControl(const ui::TemplateControl& control, QButtonGroup& fillGroup);
    QWidget* BuildPushButton(const ui::TemplateControl& control);
    QWidget* BuildRadioButton(const ui::TemplateControl& control, QButtonGroup& fillGroup);
    QWidget* BuildCheckBox(const ui::TemplateControl& control);
    QWidget* BuildFrame(const ui::TemplateControl& control);
    QWidget* BuildLabel(const ui::TemplateControl& control);
    QWidget* BuildTextBox(const ui::TemplateControl& control);
    QWidget* BuildSlider(const ui::TemplateControl& control);
    void CreateLedFields();
    void SetUpKeyboardAndNames();
    void KeepProgramKeys(QWidget* textBox);
    void ShowScrollTextMenu(const QPoint& at);
    // The largest scale that fits the dialog's size (never below the smallest), centred.
    void FitToSize();
    // Places every control and LED for the panel at `scale` with its corner at `origin`.
    void LayOut(double scale, QPoint origin);
    void ConnectControls();
    void ConnectValueControls();
    void UpdateTextWarning();
    void SyncField(PanelField field);
    void SyncAllFields();

    std::unique_ptr<ControlCenterController> controller_;
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> templateWidgets_;  // in template order, frames and labels too
    std::map<FeatureBox, QCheckBox*> featureBoxes_;
    std::map<int, QTimer*> timers_;
    std::map<int, LedField*> fields_;
    // Push buttons whose caption wraps to the button's width, with the caption unwrapped.
    std::vector<std::pair<QPushButton*, QString>> wrappedCaptions_;
    PanelStyle* style_ = nullptr;  // the marks and handles of the controls, scaled
    double scale_ = 0;             // none yet
    QPoint origin_;
    QLineEdit* status_ = nullptr;
    QLineEdit* scrollText_ = nullptr;
    QPushButton* rfButton_ = nullptr;
    QCheckBox* autoUpdate_ = nullptr;
    std::array<QRadioButton*, 3> fillModes_{};  // AllOff, AllOn, Copy
    QSlider* ringLevel_ = nullptr;
    QSlider* gridBrightness_ = nullptr;
    QSlider* scrollSpeed_ = nullptr;
    ColorPickerCombo* colorCombo_ = nullptr;
    DataCenterView* dataCenter_ = nullptr;
    PointerSample pointer_;

    // Why the transmitter could not be opened: the Status box's tooltip, one line on stderr, and
    // for a permission problem a message box once per run.
  public:
    void ShowLinkDiagnostic(std::string_view reason, bool permissionProblem) override;
    void ClearLinkDiagnostic() override;

  private:
    bool permissionBoxShown_ = false;
    // A busy button that had the focus when it was disabled, by control id, with the control Qt
    // moved the focus on to; the focus comes back when the send is answered.
    std::map<int, QPointer<QWidget>> focusMovedFrom_;
};

}  // namespace velta
