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
    // The two views of what crosses the link; made on first use, hidden rather than destroyed.
    DisplayPreviewWindow& DisplayPreview();
    ReportMonitorWindow& ReportMonitor();
    void ShowDisplayPreview();
    void ShowReportMonitor();
    // The Sequence window, made on first use like the two views.
    SequenceWindow& SequenceEditor();
    void ShowSequenceEditor();

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
    void ReportFailure(const QString& title, const QString& message);
    void ShowAbout();
    void UpdateTransmitterLabel();
    void UpdateTitle();
    void ShowMessage(const QString& text);

    bool simulated_;
    ControlCenterDialog* panel_ = nullptr;
    QLabel* transmitterLabel_ = nullptr;
    DisplayPreviewWindow* preview_ = nullptr;
    ReportMonitorWindow* monitor_ = nullptr;
    SequenceWindow* sequence_ = nullptr;
    bool ending_ = false;
    bool lastWasTextWarning_ = false;
    QString designPath_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};

}  // namespace velta
