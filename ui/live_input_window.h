// The Live Input window: the "Show live input" switch, the settings the network receiver needs
// (universe, start address, protocols, what happens when every source has gone), the sources
// heard, the drops by reason and the totals. Switched on, the panel follows the frames from the
// network read-only and sends them as Auto Update would; switched off, the panel is back as it
// was. Nothing listens before the switch is first turned on: the LiveInput is made then.
//
// What the texts say is control/live_input_view.h; this window only shows them. The statistics
// are read once a second, and only while the window can be seen and the live input is on: no
// timer runs otherwise. Closing the window leaves the live input as it is (the main window's banner
// says so and switches it off); the main window calls Shutdown before the panel goes.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace velta {

class ControlCenterDialog;
struct LiveInputSettings;
class FramePacer;
class NamedComboBox;
class LiveInput;

class LiveInputWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 1000;

    // `panel` must outlive the window's live input (see Shutdown). With a parent the window is
    // still a window of its own.
    explicit LiveInputWindow(ControlCenterDialog& panel, QWidget* parent = nullptr);
    ~LiveInputWindow() override;

    // As the switch does: true once on; false (with the reason shown) when it could not start.
    bool SwitchOn();
    void SwitchOff();
    bool On() const;
    // Stops the live input for good; the window stays usable but starts nothing afterwards.
    void Shutdown();

    // The settings as the controls show them, with where to listen (kept from SetSettings).
    LiveInputSettings Settings() const;
    // Puts the settings into the controls (a running live input restarts with them).
    void SetSettings(const LiveInputSettings& settings);

    // The live input, once the switch was first turned on (nullptr before).
    const LiveInput* Input() const { return live_.get(); }
    // Reads the statistics into the window now.
    void Refresh();

    QCheckBox* Switch() const { return switch_; }
    QSpinBox* Universe() const { return universe_; }
    QSpinBox* StartAddress() const { return startAddress_; }
    QTableWidget* Sources() const { return sources_; }
    QTableWidget* Drops() const { return drops_; }
    QLabel* Status() const { return status_; }
    QLabel* Totals() const { return totals_; }
    QLabel* Notice() const { return notice_; }
    QTimer* RefreshTimer() const { return refresh_; }

  signals:
    // The live input went on or off (the main window's banner and menus follow).
    void LiveChanged(bool on);
    // A line for the main window's status bar.
    void Message(const QString& text);

  private:
    void OnSwitchClicked(bool checked);
    // A setting changed: a running live input restarts with it.
    void OnSettingChanged();
    void OnFailure();
    // Starts or restarts with the current settings; on failure the switch goes back off.
    bool Start();
    void SetSwitch(bool on);
    void Tell(const QString& text);
    // The refresh timer runs only while the window is seen and the live input is on.
    void UpdateRefreshTimer();

    ControlCenterDialog& panel_;
    std::unique_ptr<LiveInput> live_;
    std::unique_ptr<LiveInputSettings> where_;  // where to listen: kept from SetSettings
    bool shutDown_ = false;
    QCheckBox* switch_ = nullptr;
    QSpinBox* universe_ = nullptr;
    QSpinBox* startAddress_ = nullptr;
    QCheckBox* sacn_ = nullptr;
    QCheckBox* artNet_ = nullptr;
    QCheckBox* ddp_ = nullptr;
    NamedComboBox* onLoss_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* lastEvent_ = nullptr;
    QTableWidget* sources_ = nullptr;
    QTableWidget* drops_ = nullptr;
    QLabel* totals_ = nullptr;
    QTimer* refresh_ = nullptr;
    FramePacer* pacer_ = nullptr;
};

}  // namespace velta
