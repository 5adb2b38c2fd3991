#include "ui/main_window.h"
#include "ui/display_look.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <algorithm>
#include <string_view>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "control/control_center_controller.h"
#include "control/control_ids.h"
#include "control/guidance.h"
#include "device/hid_link.h"
#include "model/design_file.h"
#include "model/input_file.h"
#include "ui/control_center_dialog.h"
#include "ui/display_preview_window.h"
#include "ui/getting_started_window.h"
#include "ui/live_input_window.h"
#include "ui/panel/panel_area.h"
#include "ui/picture_import_dialog.h"
#include "ui/report_monitor_window.h"
#include "ui/sequence_window.h"
#include "ui/window_fit.h"

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

using ui::Count;

QString DesignFilter() {
    return QObject::tr("Velta designs (*.velta);;All files (*)");
}

// The whole file, or the reason it can't be read. Reads at most one byte past the size a design
// may have, so a huge file costs nothing and is refused by the reader with its own message.
// Anything but a regular file (a FIFO, a device) is refused without blocking.
std::optional<std::string> ReadSmallFile(const QString& path, std::size_t limit, QString& error) {
    InputFile file = ReadInputFile(path.toStdString(), limit + 1);
    if (!file.bytes)
        error = QObject::tr("%1: %2").arg(FileName(path), QString::fromStdString(file.error));
    return std::move(file.bytes);
}

// Written beside the target and renamed over it only once complete: a failed write leaves any
// old file as it was.
bool WriteFileAtomically(const QString& path, std::string_view bytes, QString& error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
            static_cast<qint64>(bytes.size()) &&
        file.commit()) {
        return true;
    }
    error = file.errorString();
    file.cancelWriting();
    return false;
}

// What a file dropped on the window opens, by its name's suffix.
enum class DroppedFile { None, Design, Picture };

DroppedFile KindOfDrop(const QMimeData& data) {
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return DroppedFile::None;
    const QString suffix = QFileInfo(urls.front().toLocalFile()).suffix().toLower();
    if (suffix == QLatin1String(kDesignFileExtension.data(),
                                static_cast<qsizetype>(kDesignFileExtension.size())))
        return DroppedFile::Design;
    for (const char* picture : {"png", "jpg", "jpeg", "bmp", "gif"}) {
        if (suffix == QLatin1String(picture))
            return DroppedFile::Picture;
    }
    return DroppedFile::None;
}

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MainWindow::MainWindow(HidTransport& transport, bool simulated, QWidget* parent)
    : QMainWindow(parent), simulated_(simulated) {
    panel_ = new ControlCenterDialog(transport, this);
    // Embedded, the panel is an ordinary child: its ways out come here and pass the guard.
    panel_->setWindowFlags(Qt::Widget);
    // The window resizes and maximises; the panel scales with it as a whole. The live input's
    // banner, hidden until it goes on, sits above it.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(BuildLiveBanner());
    column->addWidget(new PanelArea(panel_, central), 1);
    setCentralWidget(central);
    setWindowIcon(panel_->windowIcon());

    BuildMenus();
    statusBar()->setSizeGripEnabled(false);
    transmitterLabel_ = new QLabel(this);
    // A serial number or path is the device's or the user's text, never markup.
    transmitterLabel_->setTextFormat(Qt::PlainText);
    statusBar()->addPermanentWidget(transmitterLabel_);
    connect(panel_, &ControlCenterDialog::EndRequested, this, &QWidget::close);
    connect(panel_, &ControlCenterDialog::HistoryChanged, this, [this] {
        UpdateHistoryActions();
        UpdateTitle();
    });
    connect(panel_, &ControlCenterDialog::FieldChanged, this, &MainWindow::UpdateTitle);
    connect(panel_, &ControlCenterDialog::TextWarning, this, [this](const QString& warning) {
        if (!warning.isEmpty())
            ShowMessage(warning);
        else if (lastWasTextWarning_)
            statusBar()->clearMessage();
        lastWasTextWarning_ = !warning.isEmpty();
    });
    setAcceptDrops(true);
    connect(panel_, &ControlCenterDialog::LinkChanged, this, [this] {
        UpdateTransmitterLabel();
        ExplainStatus();
    });
    connect(panel_, &ControlCenterDialog::LinkDiagnostic, this, [this](const QString& reason) {
        linkDiagnostic_ = reason;
        if (!reason.isEmpty())
            ShowMessage(reason);
        ExplainStatus();
    });
    connect(panel_, &ControlCenterDialog::StatusMessage, this, &MainWindow::ShowMessage);
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
    UpdateHistoryActions();
    UpdateTitle();
    ExplainStatus();
    resize(PanelArea::OpeningSize(*this));
    ShowMessage(FromView(FirstStepHint(simulated_)));
}

MainWindow::~MainWindow() {
    // The live input puts the panel back through the controller, which goes with the panel.
    if (liveInput_ != nullptr)
        liveInput_->Shutdown();
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

void MainWindow::ShowWindow(QWidget& window) {
    // Placed each time it opens, so a screen that changed since is respected. The preview scales
    // its picture, so it may open smaller beside the panel rather than over it.
    if (!window.isVisible()) {
        ui::FitBeside(window, *this, {preview_, monitor_, sequence_, gettingStarted_, liveInput_},
                      &window == preview_ ? ui::Scaling::ScalesContent : ui::Scaling::FixedContent);
    }
    window.show();
    window.raise();
}

void MainWindow::ShowDisplayPreview() {
    ShowWindow(DisplayPreview());
}

SequenceWindow& MainWindow::SequenceEditor() {
    if (sequence_ == nullptr) {
        sequence_ = new SequenceWindow(*panel_, this);
        connect(sequence_, &SequenceWindow::Message, this, &MainWindow::ShowMessage);
    }
    return *sequence_;
}

void MainWindow::ShowSequenceEditor() {
    ShowWindow(SequenceEditor());
}

void MainWindow::ShowReportMonitor() {
    ShowWindow(ReportMonitor());
}

GettingStartedWindow& MainWindow::GettingStarted() {
    if (gettingStarted_ == nullptr)
        gettingStarted_ = new GettingStartedWindow(this);
    return *gettingStarted_;
}

LiveInputWindow& MainWindow::Live() {
    if (liveInput_ == nullptr) {
        liveInput_ = new LiveInputWindow(*panel_, this);
        connect(liveInput_, &LiveInputWindow::Message, this, &MainWindow::ShowMessage);
        connect(liveInput_, &LiveInputWindow::LiveChanged, this, &MainWindow::OnLiveChanged);
    }
    return *liveInput_;
}

void MainWindow::ShowLiveInput() {
    ShowWindow(Live());
}

QWidget* MainWindow::BuildLiveBanner() {
    liveBanner_ = new QFrame(this);
    liveBanner_->setObjectName(QStringLiteral("liveBanner"));
    liveBanner_->setAccessibleName(tr("Live input banner"));
    // The colours of a state that takes the panel away from the user, as plain as a status line.
    liveBanner_->setStyleSheet(QStringLiteral(
        "#liveBanner { background: #8a3b12; } #liveBanner QLabel { color: white; }"));
    auto* text = new QLabel(
        tr("<b>Live input</b>: the panel follows the network and can't be edited."), liveBanner_);
    text->setAccessibleName(tr("The panel follows the live input and can't be edited"));
    auto* show = new QPushButton(tr("Live Input &Window"), liveBanner_);
    show->setToolTip(tr("Show the Live Input window: the sources heard and the settings"));
    connect(show, &QPushButton::clicked, this, [this] { ShowLiveInput(); });
    auto* off = new QPushButton(tr("Swi&tch Off"), liveBanner_);
    off->setToolTip(tr("Stop listening and put the panel back as it was"));
    connect(off, &QPushButton::clicked, this, [this] { Live().SwitchOff(); });
    for (QPushButton* button : {show, off})
        button->setAutoDefault(false);
    auto* row = new QHBoxLayout(liveBanner_);
    row->setContentsMargins(10, 6, 10, 6);
    row->addWidget(text, 1);
    row->addWidget(show);
    row->addWidget(off);
    liveBanner_->hide();
    return liveBanner_;
}

void MainWindow::OnLiveChanged(bool on) {
    liveBanner_->setVisible(on);
    panel_->SetContentEditable(!on);
    for (QAction* action : designActions_)
        action->setEnabled(!on);
    UpdateHistoryActions();
}

void MainWindow::ShowGettingStarted() {
    ShowWindow(GettingStarted());
}

void MainWindow::ExplainStatus() {
    // The Status box keeps its fixed text; its tooltip says what the text means and, after a
    // failed Connect Tx, why.
    auto* status = panel_->Control(panel_id::kStatus);
    if (status == nullptr)
        return;
    const auto* box = qobject_cast<QLineEdit*>(status);
    QString tip = FromView(StatusMeaningOf(box != nullptr ? box->text().toStdString() : ""));
    if (!linkDiagnostic_.isEmpty())
        tip += QStringLiteral("\n\n") + linkDiagnostic_;
    status->setToolTip(tip);
}

std::vector<QAction*> MainWindow::AddActions(QMenu& menu, std::initializer_list<MenuItem> items) {
    std::vector<QAction*> actions;
    for (const MenuItem& item : items) {
        if (!item.run) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(item.text, this, item.run);
        action->setShortcut(item.shortcut);
        if (!item.tip.isEmpty()) {
            action->setToolTip(item.tip);
            action->setStatusTip(item.tip);
        }
        actions.push_back(action);
    }
    return actions;
}

void MainWindow::BuildMenus() {
    // Menu mnemonics stay clear of the letters the panel's own controls use (A D L R U I O S).
    // Every action has a shortcut, none of them a key the Sequence window uses for its own
    // buttons (Insert, Delete, Ctrl+R, Ctrl+D, Ctrl+Up, Ctrl+Down, F5).
    BuildFileMenu();
    BuildEditMenu();
    BuildViewMenu();
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    AddActions(*help, {
                          {tr("&Getting Started"), QKeySequence(Qt::Key_F1),
                           [this] { ShowGettingStarted(); }},
                          {tr("About &Velta Control Center"), QKeySequence(Qt::SHIFT | Qt::Key_F1),
                           [this] { ShowAbout(); }},
                      });
}

void MainWindow::BuildFileMenu() {
    const std::vector<QAction*> actions = AddActions(
        *menuBar()->addMenu(tr("&File")),
        {
            {tr("&New Design"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { NewDesign(); }},
            {tr("&Open Design..."), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { OpenDesign(); }},
            {tr("&Save Design"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SaveDesign(); }},
            {tr("Save Design &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
             [this] { SaveDesignAs(); }},
            {},
            {tr("&Import Picture..."), QKeySequence(Qt::CTRL | Qt::Key_I),
             [this] { ImportPicture(); }},
            {tr("&Export Data Center..."), QKeySequence(Qt::CTRL | Qt::Key_E),
             [this] { ExportDataCenter(); }},
            {tr("Expor&t Sequence..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
             [this] { ExportSequence(); }},
            {},
            {tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
        });
    // New Design, Open Design..., Import Picture...
    designActions_ = {actions[0], actions[1], actions[4]};
}

void MainWindow::BuildEditMenu() {
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    ControlCenterController& controller = panel_->Controller();
    undo_ = edit->addAction(tr("&Undo"), this, [&controller] { controller.Undo(); });
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_ = edit->addAction(tr("&Redo"), this, [&controller] { controller.Redo(); });
    redo_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    AddActions(*edit, {
                          {},
                          {tr("&Copy Data Center"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
                           [this] { CopyDataCenter(); }},
                          {tr("C&lear Data Center"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L),
                           [this] { ClearDataCenter(); }},
                      });
}

void MainWindow::UpdateHistoryActions() {
    const ControlCenterController& controller = panel_->Controller();
    const EditHistory& history = controller.History();
    undo_->setEnabled(history.CanUndo() && !controller.Live());
    redo_->setEnabled(history.CanRedo() && !controller.Live());
    undo_->setText(QString::fromStdString(history.UndoText()).prepend(QLatin1Char('&')));
    redo_->setText(QString::fromStdString(history.RedoText()).prepend(QLatin1Char('&')));
}

bool MainWindow::MayReplaceDesign() {
    if (!panel_->Controller().DesignModified())
        return true;
    const auto answer = QMessageBox::warning(
        this, tr("Unsaved design"), tr("The design on the panel has unsaved changes."),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save)
        return SaveDesign();
    return answer == QMessageBox::Discard;
}

void MainWindow::NewDesign() {
    if (!MayReplaceDesign())
        return;
    panel_->Controller().NewDesign();
    designPath_.clear();
    UpdateTitle();
    ShowMessage(tr("New design"));
}

void MainWindow::OpenDesign() {
    if (!MayReplaceDesign())
        return;
    const QString path =
        AskForFile(QFileDialog::AcceptOpen, tr("Open Design"), QString(), DesignFilter());
    if (!path.isEmpty())
        OpenDesignFile(path);
}

bool MainWindow::OpenDesignFile(const QString& path) {
    QString error;
    const auto bytes = ReadSmallFile(path, kMaxDesignFileBytes, error);
    std::string readError;
    if (bytes &&
        !panel_->Controller().OpenDesign(*bytes, FileName(path).toStdString(), readError)) {
        error = QString::fromStdString(readError);
    }
    if (!error.isEmpty()) {
        ReportFailure(tr("Open Design"), error);
        return false;
    }
    designPath_ = QFileInfo(path).absoluteFilePath();
    UpdateTitle();
    ShowMessage(tr("Opened %1").arg(FileName(path)));
    return true;
}

bool MainWindow::SaveDesign() {
    if (designPath_.isEmpty())
        return SaveDesignAs();
    return SaveDesignTo(designPath_);
}

bool MainWindow::SaveDesignAs() {
    QString path =
        AskForFile(QFileDialog::AcceptSave, tr("Save Design"),
                   designPath_.isEmpty() ? tr("design.velta") : designPath_, DesignFilter());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".velta");
    return SaveDesignTo(path);
}

bool MainWindow::SaveDesignTo(const QString& path) {
    ControlCenterController& controller = panel_->Controller();
    QString error;
    if (!WriteFileAtomically(path, controller.DesignText(), error)) {
        ReportFailure(tr("Save Design"), tr("Could not save %1: %2").arg(FileName(path), error));
        return false;
    }
    controller.MarkDesignSaved();
    designPath_ = QFileInfo(path).absoluteFilePath();
    UpdateTitle();
    ShowMessage(tr("Saved %1").arg(FileName(path)));
    return true;
}

void MainWindow::ImportPicture() {
    const QString path = AskForFile(QFileDialog::AcceptOpen, tr("Import Picture"), QString(),
                                    tr("Pictures (*.png *.jpg *.jpeg *.bmp *.gif);;All files (*)"));
    if (!path.isEmpty())
        ImportPictureFile(path);
}

bool MainWindow::ImportPictureFile(const QString& path) {
    // The picture reader opens the file itself, and would wait forever on a FIFO.
    if (const std::string refused = RefuseIrregularFile(path.toStdString()); !refused.empty()) {
        ReportFailure(tr("Import Picture"),
                      tr("%1: %2").arg(FileName(path), QString::fromStdString(refused)));
        return false;
    }
    QString error;
    const std::optional<GridCells> cells = PictureImportDialog::Run(this, path, &error);
    if (!cells) {
        if (!error.isEmpty())
            ReportFailure(tr("Import Picture"), error);
        return false;
    }
    panel_->Controller().ReplaceGrid(*cells, "Import Picture");
    ShowMessage(tr("Imported %1").arg(FileName(path)));
    return true;
}

QString MainWindow::AskForFile(QFileDialog::AcceptMode mode, const QString& title,
                               const QString& start, const QString& filter) {
    QFileDialog dialog(this, title, start, filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    ui::FitBeside(dialog, *this, {preview_, monitor_, sequence_, gettingStarted_, liveInput_});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void MainWindow::ReportFailure(const QString& title, const QString& message) {
    ShowMessage(message);
    QMessageBox::warning(this, title, message);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (KindOfDrop(*event->mimeData()) != DroppedFile::None)
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const DroppedFile kind = KindOfDrop(*event->mimeData());
    if (kind == DroppedFile::None)
        return;
    event->acceptProposedAction();
    const QString path = event->mimeData()->urls().front().toLocalFile();
    // Opened once the drop is over: the dragging program waits for the drop to end, and a
    // dialog opened inside it would keep it waiting.
    QMetaObject::invokeMethod(
        this,
        [this, kind, path] {
            if (kind == DroppedFile::Picture)
                ImportPictureFile(path);
            else if (MayReplaceDesign())
                OpenDesignFile(path);
        },
        Qt::QueuedConnection);
}

void MainWindow::BuildViewMenu() {
    AddActions(
        *menuBar()->addMenu(tr("&View")),
        {
            {tr("Display &Preview"), QKeySequence(Qt::CTRL | Qt::Key_1),
             [this] { ShowDisplayPreview(); }},
            {tr("Report &Monitor"), QKeySequence(Qt::CTRL | Qt::Key_2),
             [this] { ShowReportMonitor(); }},
            {tr("Se&quence"), QKeySequence(Qt::CTRL | Qt::Key_3), [this] { ShowSequenceEditor(); }},
            {tr("&Live Input"), QKeySequence(Qt::CTRL | Qt::Key_4), [this] { ShowLiveInput(); },
             tr("Let lighting software on the network drive the display (sACN, Art-Net, DDP)")},
        });
}

bool MainWindow::ExportDataCenter() {
    const QString path = AskForFile(QFileDialog::AcceptSave, tr("Export Data Center"), QString(),
                                    tr("Text files (*.txt);;All files (*)"));
    return !path.isEmpty() && ExportDataCenterTo(path);
}

bool MainWindow::ExportDataCenterTo(const QString& path) {
    ControlCenterController& controller = panel_->Controller();
    const std::string_view text = controller.DataCenterText();
    QString error;
    if (!WriteFileAtomically(path, text, error)) {
        ReportFailure(tr("Export Data Center"),
                      tr("Could not export to %1: %2").arg(FileName(path), error));
        return false;
    }
    controller.MarkDataCenterKept();
    ShowMessage(tr("Exported %1 lines to %2").arg(Count(DataLines(text)), FileName(path)));
    return true;
}

bool MainWindow::ExportSequence() {
    if (panel_->Controller().Frames().Empty())
        return ExportSequenceTo(QString());  // refused with its message before asking for a file
    const QString path = AskForFile(QFileDialog::AcceptSave, tr("Export Sequence"), QString(),
                                    tr("Text files (*.txt);;All files (*)"));
    return !path.isEmpty() && ExportSequenceTo(path);
}

bool MainWindow::ExportSequenceTo(const QString& path) {
    ControlCenterController& controller = panel_->Controller();
    const std::size_t frames = controller.Frames().Size();
    if (frames == 0) {
        ReportFailure(tr("Export Sequence"),
                      tr("The design has no frames: add some in View \u2192 Sequence first."));
        return false;
    }
    QString error;
    if (!WriteFileAtomically(path, controller.SequenceText(), error)) {
        ReportFailure(tr("Export Sequence"),
                      tr("Could not export to %1: %2").arg(FileName(path), error));
        return false;
    }
    ShowMessage(
        tr("Exported %1 frames to %2").arg(Count(static_cast<qsizetype>(frames)), FileName(path)));
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
    const bool design = controller.DesignModified();
    const bool log = controller.DataCenterHasUnkeptBlocks();
    if (!design && !log)
        return true;
    QStringList lost;
    if (design)
        lost << tr("The design has unsaved changes.");
    if (log)
        lost << tr("The Data Center holds blocks that were not exported or copied.");
    QMessageBox box(QMessageBox::Warning, tr("Quit"), lost.join(QLatin1Char('\n')),
                    QMessageBox::NoButton, this);
    box.setInformativeText(design && log ? tr("Save the design and export the Data Center?")
                           : design      ? tr("Save the design before quitting?")
                                         : tr("Export the Data Center before quitting?"));
    QPushButton* keep =
        box.addButton(design ? tr("Save...") : tr("Export..."), QMessageBox::AcceptRole);
    box.addButton(QMessageBox::Discard);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == cancel || box.clickedButton() == nullptr)
        return false;
    if (box.clickedButton() != keep)
        return true;  // Discard
    return (!design || SaveDesign()) && (!log || ExportDataCenter());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!ending_ && !MayEnd()) {
        event->ignore();
        return;
    }
    ending_ = true;
    // The live input first: it puts the panel back while the link is still there.
    if (liveInput_ != nullptr)
        liveInput_->Shutdown();
    // The link ends with the window, however the user left.
    panel_->Controller().OnClose();
    event->accept();
}

void MainWindow::ShowAbout() {
    QMessageBox::about(this, tr("About Velta Control Center"),
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

void MainWindow::SetDeviceChoice(DeviceChoice choice) {
    deviceChoice_ = FromView(ShownName(choice.pathOrSerial));
    panel_->Controller().SetDeviceChoice(std::move(choice));
    UpdateTransmitterLabel();
    UpdateTitle();
}

void MainWindow::UpdateTransmitterLabel() {
    const HidLink& link = panel_->Controller().Link();
    const QString ids = QStringLiteral("%1:%2")
                            .arg(kTransmitterVendorId, 4, 16, QLatin1Char('0'))
                            .arg(kTransmitterProductId, 4, 16, QLatin1Char('0'));
    QString text;
    if (link.IsConnected()) {
        const std::string& serial = link.Transmitter().serialNumber;
        text =
            serial.empty()
                ? tr("Transmitter %1 connected").arg(ids)
                : tr("Transmitter %1, serial %2, connected").arg(ids, FromView(ShownName(serial)));
    } else {
        text = deviceChoice_.isEmpty() ? tr("No transmitter connected")
                                       : tr("Transmitter %1 not connected").arg(deviceChoice_);
    }
    if (simulated_)
        text += tr(" (simulated)");
    transmitterLabel_->setText(text);
}

void MainWindow::UpdateTitle() {
    // "[*]" is where Qt puts its modified marker while the design has unsaved changes.
    QString title =
        designPath_.isEmpty()
            ? QString::fromLatin1(kTitle) + QStringLiteral("[*]")
            : tr("%1[*] \u2014 %2").arg(FileName(designPath_), QString::fromLatin1(kTitle));
    if (!deviceChoice_.isEmpty())
        title += tr(" (transmitter %1)").arg(deviceChoice_);
    if (simulated_)
        title += tr(" (simulated transmitter)");
    setWindowTitle(title);
    setWindowModified(panel_->Controller().DesignModified());
}

void MainWindow::ShowMessage(const QString& text) {
    statusBar()->showMessage(text);
}

}  // namespace velta
