// The program's main window: the menu bar above the panel, the status bar below it, and the
// guard that keeps any way out from losing the user's work.
#pragma once

#include <QFileDialog>
#include <QKeySequence>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

#include "device/device_choice.h"
#include "device/hid_transport.h"

class QAction;
class QLabel;
class QMenu;

namespace velta {

class ControlCenterDialog;
class DisplayPreviewWindow;
class GettingStartedWindow;
class LiveInputWindow;
class ReportMonitorWindow;
class SequenceWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Velta Control Center";

    // The transport must outlive the window. `simulated` marks a simulated transmitter in the
    // title and the status bar.
    MainWindow(HidTransport& transport, bool simulated, QWidget* parent = nullptr);
    ~MainWindow() override;

    ControlCenterDialog& Panel() { return *panel_; }
    // Which transmitter Connect Tx opens (--device): its path or serial number. The title and
    // the status bar name it, so two windows driving two displays are told apart.
    void SetDeviceChoice(DeviceChoice choice);
    // The two views of what crosses the link; made on first use, hidden rather than destroyed.
    DisplayPreviewWindow& DisplayPreview();
    ReportMonitorWindow& ReportMonitor();
    void ShowDisplayPreview();
    void ShowReportMonitor();
    // The Sequence window, made on first use like the two views.
    SequenceWindow& SequenceEditor();
    void ShowSequenceEditor();
    // View > Live Input, made on first use; nothing listens until its switch is turned on.
    LiveInputWindow& Live();
    void ShowLiveInput();
    // The banner shown above the panel while it follows the live input.
    QWidget* LiveBanner() const { return liveBanner_; }
    // Help > Getting Started, made on first use.
    GettingStartedWindow& GettingStarted();
    void ShowGettingStarted();

    // File actions; each reports success or the reason in the status bar (and a box for a
    // failure) and returns it. Nothing is half done: a file that can't be read leaves the panel
    // as it was, a file that can't be written leaves the old file as it was.
    bool OpenDesignFile(const QString& path);
    bool SaveDesignTo(const QString& path);
    bool ImportPictureFile(const QString& path);
    bool ExportDataCenterTo(const QString& path);
    // The design's frames as text; refused (with a box) when there are none.
    bool ExportSequenceTo(const QString& path);
    void CopyDataCenter();
    void ClearDataCenter();

    // The guard every way out goes through: true when the program may end now, after asking the
    // user if something would be lost.
    bool MayEnd();

    QString DesignPath() const { return designPath_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    // One menu item: its text, its shortcut and what it runs; without `run`, a separator.
    struct MenuItem {
        QString text;
        QKeySequence shortcut;
        std::function<void()> run;
        QString tip = {};  // the tooltip and status tip, if any
    };
    // The actions made, separators left out, in order.
    std::vector<QAction*> AddActions(QMenu& menu, std::initializer_list<MenuItem> items);
    // Shows one of the other windows, placed beside this one when it was hidden.
    void ShowWindow(QWidget& window);
    // The file the user picks in a file dialog placed like the other windows; empty when the
    // user cancelled.
    QString AskForFile(QFileDialog::AcceptMode mode, const QString& title, const QString& start,
                       const QString& filter);
    // The Status box's tooltip: what its text means.
    void ExplainStatus();
    void BuildMenus();
    void BuildFileMenu();
    void BuildEditMenu();
    void BuildViewMenu();
    void NewDesign();
    void OpenDesign();
    bool SaveDesign();
    bool SaveDesignAs();
    void ImportPicture();
    bool ExportDataCenter();
    bool ExportSequence();
    // Asks before the design on the panel is replaced while it has unsaved changes.
    bool MayReplaceDesign();
    void UpdateHistoryActions();
    // The banner, the panel's editing controls and the menu's editing actions follow the live
    // input going on or off.
    void OnLiveChanged(bool on);
    QWidget* BuildLiveBanner();
    void ReportFailure(const QString& title, const QString& message);
    void ShowAbout();
    void UpdateTransmitterLabel();
    void UpdateTitle();
    void ShowMessage(const QString& text);

    bool simulated_;
    QString deviceChoice_;  // as shown; empty when none was chosen
    ControlCenterDialog* panel_ = nullptr;
    QLabel* transmitterLabel_ = nullptr;
    DisplayPreviewWindow* preview_ = nullptr;
    ReportMonitorWindow* monitor_ = nullptr;
    SequenceWindow* sequence_ = nullptr;
    GettingStartedWindow* gettingStarted_ = nullptr;
    LiveInputWindow* liveInput_ = nullptr;
    QWidget* liveBanner_ = nullptr;
    // New, Open and Import Picture: refused while the panel follows the live input.
    std::vector<QAction*> designActions_;
    QString linkDiagnostic_;  // why the last Connect Tx failed; empty once it worked
    bool ending_ = false;
    bool lastWasTextWarning_ = false;
    QString designPath_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};

}  // namespace velta
