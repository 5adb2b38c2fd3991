// The program's main window: the menu bar above the panel, the status bar below it, and the
// guard that keeps any way out from losing the user's work.
#pragma once

#include <QMainWindow>
#include <QString>

#include "device/hid_transport.h"

class QAction;
class QLabel;

namespace velta {

class ControlCenterDialog;
class DisplayPreviewWindow;
class ReportMonitorWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Velta Control Center";

    // The transport must outlive the window. `simulated` marks a simulated transmitter in the
    // title and the status bar.
    MainWindow(HidTransport& transport, bool simulated, QWidget* parent = nullptr);
    ~MainWindow() override;

    ControlCenterDialog& Panel() { return *panel_; }
    // The two views of what crosses the link; made on first use, hidden rather than destroyed.
    DisplayPreviewWindow& DisplayPreview();
    ReportMonitorWindow& ReportMonitor();
    void ShowDisplayPreview();
    void ShowReportMonitor();

    // File actions; each reports success or the reason in the status bar and returns it.
    bool ExportDataCenterTo(const QString& path);
    void CopyDataCenter();
    void ClearDataCenter();

    // The guard every way out goes through: true when the program may end now, after asking the
    // user if something would be lost.
    bool MayEnd();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void BuildViewMenu();
    void ExportDataCenter();
    void ShowAbout();
    void UpdateTransmitterLabel();
    void UpdateTitle();
    void ShowMessage(const QString& text);

    bool simulated_;
    ControlCenterDialog* panel_ = nullptr;
    QLabel* transmitterLabel_ = nullptr;
    DisplayPreviewWindow* preview_ = nullptr;
    ReportMonitorWindow* monitor_ = nullptr;
    bool ending_ = false;
};

}  // namespace velta
