#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <algorithm>
#include <string_view>

#include "control/control_center_controller.h"
#include "device/hid_link.h"
#include "ui/control_center_dialog.h"
#include "ui/display_preview_window.h"
#include "ui/report_monitor_window.h"

namespace velta {

namespace {

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// The lines that carry data; the blank lines between blocks don't count.
qsizetype DataLines(std::string_view text) {
    qsizetype lines = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            ++lines;
        start = end + 1;
    }
    return lines;
}

QString Count(qsizetype n) {
    return QLocale(QLocale::English).toString(n);
}

}  // namespace

MainWindow::MainWindow(HidTransport& transport, bool simulated, QWidget* parent)
    : QMainWindow(parent), simulated_(simulated) {
    panel_ = new ControlCenterDialog(transport, this);
    // Embedded, the panel is an ordinary child: its ways out come here and pass the guard.
    panel_->setWindowFlags(Qt::Widget);
    setCentralWidget(panel_);
    setWindowIcon(panel_->windowIcon());
    // The panel keeps its fixed size; the window grows by the two bars and nothing else.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    BuildMenus();
    statusBar()->setSizeGripEnabled(false);
    transmitterLabel_ = new QLabel(this);
    statusBar()->addPermanentWidget(transmitterLabel_);
    connect(panel_, &ControlCenterDialog::EndRequested, this, &QWidget::close);
    connect(panel_, &ControlCenterDialog::LinkChanged, this, &MainWindow::UpdateTransmitterLabel);
    connect(panel_, &ControlCenterDialog::LinkDiagnostic, this, [this](const QString& reason) {
        if (!reason.isEmpty())
            ShowMessage(reason);
    });
    DisplayTap& tap = panel_->Controller().Tap();
    tap.SetOnDisplayChanged([this] {
        if (preview_ != nullptr)
            preview_->StateChanged();
    });
    tap.SetOnJournalChanged([this] {
        if (monitor_ != nullptr)
            monitor_->JournalChanged();
    });
    UpdateTransmitterLabel();
    UpdateTitle();
    if (simulated_)
        ShowMessage(tr("Using a simulated transmitter: reports go nowhere"));
}

MainWindow::~MainWindow() {
    // Qt destroys the panel (and with it the tap) before the views, which were made later; from
    // here on nothing may tell them of a change.
    DisplayTap& tap = panel_->Controller().Tap();
    tap.SetOnDisplayChanged({});
    tap.SetOnJournalChanged({});
}

DisplayPreviewWindow& MainWindow::DisplayPreview() {
    if (preview_ == nullptr)
        preview_ = new DisplayPreviewWindow(panel_->Controller().Tap().State(), this);
    return *preview_;
}

ReportMonitorWindow& MainWindow::ReportMonitor() {
    if (monitor_ == nullptr)
        monitor_ = new ReportMonitorWindow(panel_->Controller().Tap().Journal(), this);
    return *monitor_;
}

void MainWindow::ShowDisplayPreview() {
    DisplayPreviewWindow& preview = DisplayPreview();
    if (!preview.isVisible()) {
        // Beside the main window, where there is room for it.
        preview.move(frameGeometry().topRight() + QPoint(8, 0));
    }
    preview.show();
    preview.raise();
}

void MainWindow::ShowReportMonitor() {
    ReportMonitorWindow& monitor = ReportMonitor();
    monitor.show();
    monitor.raise();
}

void MainWindow::BuildMenus() {
    // Menu mnemonics stay clear of the letters the panel's own controls use (A D L R U I O S).
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* exportLog = file->addAction(tr("&Export Data Center..."), this,
                                         &MainWindow::ExportDataCenter);
    exportLog->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->addAction(tr("&Copy Data Center"), this, &MainWindow::CopyDataCenter);
    edit->addAction(tr("C&lear Data Center"), this, &MainWindow::ClearDataCenter);

    BuildViewMenu();

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About Velta Control Center"), this, &MainWindow::ShowAbout);
}

void MainWindow::BuildViewMenu() {
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("Display &Preview"), this, &MainWindow::ShowDisplayPreview);
    view->addAction(tr("Report &Monitor"), this, &MainWindow::ShowReportMonitor);
}

void MainWindow::ExportDataCenter() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Export Data Center"), QString(),
                                                      tr("Text files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        ExportDataCenterTo(path);
}

bool MainWindow::ExportDataCenterTo(const QString& path) {
    ControlCenterController& controller = panel_->Controller();
    const std::string_view text = controller.DataCenterText();
    // Written beside the target and renamed over it only once complete: a failed export leaves
    // any old file as it was.
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.write(text.data(), static_cast<qint64>(text.size())) ==
                        static_cast<qint64>(text.size()) &&
                    file.commit();
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        ShowMessage(tr("Could not export to %1: %2").arg(FileName(path), reason));
        QMessageBox::warning(this, tr("Export Data Center"),
                             tr("Could not export the Data Center to %1:\n%2")
                                 .arg(QDir::toNativeSeparators(path), reason));
        return false;
    }
    controller.MarkDataCenterKept();
    ShowMessage(tr("Exported %1 lines to %2").arg(Count(DataLines(text)), FileName(path)));
    return true;
}

void MainWindow::CopyDataCenter() {
    ControlCenterController& controller = panel_->Controller();
    const std::string_view text = controller.DataCenterText();
    QApplication::clipboard()->setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    controller.MarkDataCenterKept();
    ShowMessage(tr("Copied %1 lines of the Data Center").arg(Count(DataLines(text))));
}

void MainWindow::ClearDataCenter() {
    ControlCenterController& controller = panel_->Controller();
    if (controller.DataCenterHasUnkeptBlocks()) {
        const auto answer = QMessageBox::question(
            this, tr("Clear Data Center"),
            tr("The Data Center holds blocks that were not exported or copied. Clear it anyway?"),
            QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Cancel);
        if (answer != QMessageBox::Yes)
            return;
    }
    controller.ClearDataCenter();
    ShowMessage(tr("Cleared the Data Center"));
}

bool MainWindow::MayEnd() {
    ControlCenterController& controller = panel_->Controller();
    if (!controller.DataCenterHasUnkeptBlocks())
        return true;
    QMessageBox box(QMessageBox::Warning, tr("Quit"),
                    tr("The Data Center holds blocks that were not exported or copied."),
                    QMessageBox::NoButton, this);
    box.setInformativeText(tr("Export them before quitting?"));
    QPushButton* exportButton = box.addButton(tr("Export..."), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Discard);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(exportButton);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == cancel || box.clickedButton() == nullptr)
        return false;
    if (box.clickedButton() == exportButton) {
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Export Data Center"), QString(), tr("Text files (*.txt);;All files (*)"));
        return !path.isEmpty() && ExportDataCenterTo(path);
    }
    return true;  // Discard
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!ending_ && !MayEnd()) {
        event->ignore();
        return;
    }
    ending_ = true;
    // The link ends with the window, however the user left.
    panel_->Controller().OnClose();
    event->accept();
}

void MainWindow::ShowAbout() {
    QMessageBox::about(
        this, tr("About Velta Control Center"),
        tr("<b>Velta Control Center %1</b><br>"
           "Control panel for the Velta LED display.<br><br>"
           "Transmitter: USB HID, vendor 0x%2, product 0x%3.<br>"
           "To use it without root, install the udev rule "
           "<tt>60-velta-transmitter.rules</tt> into <tt>/etc/udev/rules.d/</tt> "
           "(an installed package puts it in <tt>/usr/lib/udev/rules.d/</tt>).")
            .arg(QApplication::applicationVersion())
            .arg(kTransmitterVendorId, 4, 16, QLatin1Char('0'))
            .arg(kTransmitterProductId, 4, 16, QLatin1Char('0')));
}

void MainWindow::UpdateTransmitterLabel() {
    const bool connected = panel_->Controller().Link().IsConnected();
    QString text = connected ? tr("Transmitter %1:%2 connected")
                                   .arg(kTransmitterVendorId, 4, 16, QLatin1Char('0'))
                                   .arg(kTransmitterProductId, 4, 16, QLatin1Char('0'))
                             : tr("No transmitter connected");
    if (simulated_)
        text += tr(" (simulated)");
    transmitterLabel_->setText(text);
}

void MainWindow::UpdateTitle() {
    QString title = QString::fromLatin1(kTitle);
    if (simulated_)
        title += tr(" (simulated transmitter)");
    setWindowTitle(title);
}

void MainWindow::ShowMessage(const QString& text) {
    statusBar()->showMessage(text);
}

}  // namespace velta
