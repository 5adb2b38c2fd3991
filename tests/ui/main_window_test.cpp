// The main window around the panel: title, bars, the Data Center's file actions and the guard
// that keeps every way out from losing the log.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <tuple>

#include "control/control_ids.h"
#include "device/simulated_transmitter.h"
#include "tests/support/fifo_guard.h"
#include "ui/control_center_dialog.h"
#include "ui/data_center_view.h"
#include "ui/display_preview_window.h"
#include "ui/report_monitor_window.h"

namespace velta {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    void Make(bool simulated = true) {
        window_ = std::make_unique<MainWindow>(tx_, simulated);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    ControlCenterController& Controller() { return window_->Panel().Controller(); }
    void AppendBlocks() {
        Controller().OnFeatureBoxClicked(FeatureBox::LedGrid, true);
        Controller().OnSaveSequence();
    }
    // Answers the next question box with the button whose text contains `answer`, recording its
    // text; fails the test when no box comes.
    void AnswerNextBox(const QString& answer) {
        QTimer::singleShot(0, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                QTimer::singleShot(10, [this, answer] { AnswerNextBox(answer); });
                return;
            }
            asked_.push_back(box->text());
            for (QAbstractButton* button : box->buttons()) {
                if (button->text().contains(answer)) {
                    button->click();
                    return;
                }
            }
            ADD_FAILURE() << "no button " << answer.toStdString();
            box->reject();
        });
    }
    QString StatusMessage() { return window_->statusBar()->currentMessage(); }

    SimulatedTransmitter tx_;
    std::unique_ptr<MainWindow> window_;
    QStringList asked_;
};

TEST_F(MainWindowTest, TitleBarsAndAPanelThatScalesWithTheWindow) {
    Make(false);
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Velta Control Center[*]"));
    EXPECT_FALSE(window_->isWindowModified());
    window_.reset();
    Make(true);
    EXPECT_EQ(window_->windowTitle(),
              QStringLiteral("Velta Control Center[*] (simulated transmitter)"));
    // It opens on its screen, at the desktop font's size or as much of it as fits.
    ControlCenterDialog& panel = window_->Panel();
    EXPECT_LE(window_->height(), window_->screen()->availableGeometry().height());
    EXPECT_LE(panel.PanelScale(), panel.NaturalScale());
    EXPECT_EQ(panel.mapTo(window_.get(), QPoint(0, 0)).y(), window_->menuBar()->height());
    // Resized, the panel fills the room between the bars at the largest scale that fits; smaller
    // than its smallest readable size, it scrolls.
    const int bars = window_->menuBar()->height() + window_->statusBar()->height();
    const std::tuple<QSize, double, bool> sizes[] = {
        {{2026, 1044 + bars}, 2.0, false},         {{1013, 522 + bars}, 1.0, false},
        {{1300, 522 + bars}, 1.0, false},          {{1520, 1000}, 1.5, false},
        {{500, 300}, panel.SmallestScale(), true},
    };
    for (const auto& [size, scale, scrolls] : sizes) {
        window_->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(panel.PanelScale(), scale) << size.width() << "x" << size.height();
        EXPECT_EQ(panel.width() > window_->width(), scrolls) << size.width();
    }
    QStringList menus;
    for (QAction* menu : window_->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Help"}));
}

TEST_F(MainWindowTest, ExportWritesTheLogAsShownAndKeepsIt) {
    Make();
    AppendBlocks();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seq.txt"));
    ASSERT_TRUE(window_->ExportDataCenterTo(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    const std::string_view expected = Controller().DataCenterText();
    EXPECT_EQ(written.toStdString(), expected);
    EXPECT_TRUE(written.startsWith("LED_data[0]   = 0x000\r\n"));
    EXPECT_EQ(StatusMessage(), QStringLiteral("Exported 32 lines to seq.txt"));
    EXPECT_FALSE(Controller().DataCenterHasUnkeptBlocks());

    // A target that can't be written is reported with its name, and nothing counts as kept.
    AppendBlocks();
    AnswerNextBox(QStringLiteral("OK"));
    EXPECT_FALSE(window_->ExportDataCenterTo(dir.path()));  // a folder, not a file
    EXPECT_EQ(asked_.size(), 1);
    EXPECT_TRUE(StatusMessage().startsWith(QStringLiteral("Could not export to ")));
    EXPECT_TRUE(Controller().DataCenterHasUnkeptBlocks());
}

TEST_F(MainWindowTest, WaysOutAskOnlyWhenTheLogWouldBeLost) {
    struct Case {
        const char* name;
        bool unkept;
        QString answer;  // empty: no question expected
        bool ends;
    };
    const Case cases[] = {
        {"fresh start ends at once", false, {}, true},
        {"cancel keeps everything", true, QStringLiteral("Cancel"), false},
        {"discard ends", true, QStringLiteral("Discard"), true},
    };
    // (Unsaved designs are covered below.)
    const std::function<void(MainWindow&)> ways[] = {
        [](MainWindow& w) { w.close(); },
        [](MainWindow& w) {  // Enter on a check box
            QWidget* box = w.Panel().Control(panel_id::kRgbPodsBox);
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
        },
        [](MainWindow& w) { QTest::keyClick(&w.Panel(), Qt::Key_Escape); },
    };
    for (const Case& c : cases) {
        for (std::size_t way = 0; way < std::size(ways); ++way) {
            SCOPED_TRACE(std::string(c.name) + ", way " + std::to_string(way));
            Make();
            asked_.clear();
            if (c.unkept)
                AppendBlocks();
            if (!c.answer.isEmpty())
                AnswerNextBox(c.answer);
            ways[way](*window_);
            QTest::qWait(20);
            EXPECT_EQ(window_->isVisible(), !c.ends);
            EXPECT_EQ(asked_.size(), c.answer.isEmpty() ? 0 : 1);
            if (!c.ends) {
                EXPECT_FALSE(Controller().DataCenterText().empty());
                window_->Panel().Controller().MarkDataCenterKept();
            }
            window_.reset();
        }
    }
}

TEST_F(MainWindowTest, CopyKeepsCrLfAndClearEmptiesTheBox) {
    Make();
    AppendBlocks();
    window_->CopyDataCenter();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.startsWith(QStringLiteral("LED_data[0]   = 0x000\r\n")));
    EXPECT_FALSE(Controller().DataCenterHasUnkeptBlocks());
    window_->ClearDataCenter();  // kept: no question
    EXPECT_TRUE(Controller().DataCenterText().empty());
    EXPECT_TRUE(window_->Panel().findChild<DataCenterView*>()->Text().empty());
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

// Whatever sends (a button, the auto-update tick), the written reports reach the preview's state
// and the monitor's journal; the views exist only once asked for.
TEST_F(MainWindowTest, ReportsWrittenReachThePreviewAndTheMonitor) {
    Make();
    ControlCenterController& controller = Controller();
    const DisplayTap& tap = controller.Tap();
    controller.OnConnectTx();
    controller.OnRfMode();
    controller.OnFeatureBoxClicked(FeatureBox::LedGrid, true);
    controller.OnLedClicked(LedKind::GridCell, PanelState::CellIndex(3, 4));
    controller.OnUpdateData();
    // The answers come back through the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(controller.SendsInFlight() == 0, 2000);
    EXPECT_TRUE(tap.State().rfOn);
    EXPECT_TRUE(tap.State().Lit(3, 4));
    EXPECT_EQ(tap.Journal().Size(), 3u);  // RF on, grid, tail

    window_->ShowDisplayPreview();
    window_->ShowReportMonitor();
    EXPECT_TRUE(window_->DisplayPreview().isVisible());
    EXPECT_TRUE(window_->ReportMonitor().isVisible());
    // The monitor takes reports in at the next frame in which it is seen.
    const auto rows = [this] { return window_->ReportMonitor().Model().rowCount(); };
    EXPECT_TRUE(QTest::qWaitFor([&rows] { return rows() == 3; }));
    controller.OnAutoUpdateClicked(true);
    controller.OnLedClicked(LedKind::GridCell, 0);
    controller.OnTimer(kAutoUpdateTimerId);
    QTRY_VERIFY_WITH_TIMEOUT(controller.SendsInFlight() == 0, 2000);
    EXPECT_TRUE(tap.State().Lit(0, 0));
    EXPECT_TRUE(QTest::qWaitFor([&rows] { return rows() == 5; }));
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST_F(MainWindowTest, DesignsSaveOpenAndUndoAsOneStep) {
    Make(false);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("party.velta"));
    ControlCenterController& controller = Controller();
    controller.OnLedClicked(LedKind::GridCell, 5);
    controller.OnSliderMoved(panel_id::kScrollSpeed, 3);
    EXPECT_TRUE(window_->isWindowModified());
    ASSERT_TRUE(window_->SaveDesignTo(path));
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("party.velta[*] \u2014 Velta Control Center"));
    EXPECT_FALSE(window_->isWindowModified());
    EXPECT_EQ(StatusMessage(), QStringLiteral("Saved party.velta"));
    EXPECT_TRUE(ReadAll(path).contains("\"scrollSpeed\": 3"));

    // Another panel opens it as one undoable step.
    window_.reset();
    Make(false);
    ASSERT_TRUE(window_->OpenDesignFile(path));
    PanelState& panel = window_->Panel().Panel();
    EXPECT_TRUE(panel.Cell(5));
    EXPECT_EQ(panel.ScrollSpeed(), 3);
    EXPECT_FALSE(window_->isWindowModified());
    EXPECT_TRUE(Controller().Undo());
    EXPECT_FALSE(panel.Cell(5));
    EXPECT_EQ(panel.ScrollSpeed(), 15);
    EXPECT_TRUE(window_->isWindowModified());
    EXPECT_TRUE(Controller().Redo());
    EXPECT_TRUE(panel.Cell(5));
}

TEST_F(MainWindowTest, ABadDesignFileLeavesThePanelUntouched) {
    Make(false);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.velta"));
    WriteAll(path, R"({"format": "velta-design", "version": 1, "grid": ["#"]})");
    Controller().OnLedClicked(LedKind::GridCell, 9);
    const std::string before = Controller().DesignText();
    AnswerNextBox(QStringLiteral("OK"));
    EXPECT_FALSE(window_->OpenDesignFile(path));
    EXPECT_EQ(asked_.size(), 1);
    EXPECT_TRUE(StatusMessage().startsWith(QStringLiteral("broken.velta: grid")))
        << StatusMessage().toStdString();
    EXPECT_EQ(Controller().DesignText(), before);
    EXPECT_TRUE(window_->DesignPath().isEmpty());

    AnswerNextBox(QStringLiteral("OK"));
    EXPECT_FALSE(window_->OpenDesignFile(dir.filePath(QStringLiteral("missing.velta"))));
    EXPECT_TRUE(StatusMessage().startsWith(QStringLiteral("missing.velta: ")));

    // A FIFO is refused at once, by Open Design (and a drop) as by Import Picture, where a reader
    // would wait for a writer.
    const testing::FifoGuard fifo(dir.filePath(QStringLiteral("fifo.velta")).toStdString());
    ASSERT_TRUE(fifo.Made());
    const QString refused = QStringLiteral("fifo.velta: it is a FIFO, not a regular file");
    AnswerNextBox(QStringLiteral("OK"));
    EXPECT_FALSE(window_->OpenDesignFile(QString::fromStdString(fifo.Path())));
    EXPECT_EQ(StatusMessage(), refused);
    AnswerNextBox(QStringLiteral("OK"));
    EXPECT_FALSE(window_->ImportPictureFile(QString::fromStdString(fifo.Path())));
    EXPECT_EQ(StatusMessage(), refused);
    EXPECT_EQ(Controller().DesignText(), before);
}

TEST_F(MainWindowTest, UnsavedDesignIsAskedAboutBeforeQuitting) {
    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Discard")}) {
        SCOPED_TRACE(answer.toStdString());
        Make(false);
        asked_.clear();
        Controller().OnGridCommand(GridCommand::InvertGrid);
        AnswerNextBox(answer);
        window_->close();
        QTest::qWait(20);
        EXPECT_EQ(asked_.size(), 1);
        EXPECT_EQ(window_->isVisible(), answer == QStringLiteral("Cancel"));
        if (window_->isVisible()) {
            Controller().Undo();  // back as it started: ends at once
            EXPECT_TRUE(window_->close());
        }
        window_.reset();
    }
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

TEST_F(MainWindowTest, TheTextBoxWarnsAboutWhatTheDisplayCantShow) {
    Make();
    auto* text = qobject_cast<QLineEdit*>(window_->Panel().Control(panel_id::kScrollText));
    text->setText(QStringLiteral("Caf\u00e9 \u03a9"));
    EXPECT_TRUE(StatusMessage().contains(QStringLiteral("U+03A9")))
        << StatusMessage().toStdString();
    EXPECT_EQ(text->toolTip(), StatusMessage());
    text->setText(QString(70, QLatin1Char('x')));
    EXPECT_TRUE(StatusMessage().contains(QStringLiteral("\"xxxxxxxx\" is cut off")))
        << StatusMessage().toStdString();
    text->setText(QStringLiteral("Caf\u00e9"));  // all of it reaches the display
    EXPECT_TRUE(StatusMessage().isEmpty());
    EXPECT_FALSE(text->toolTip().contains(QStringLiteral("cut")));
}

}  // namespace
}  // namespace velta

namespace velta {
namespace {

// The menus' shortcuts reach their actions from the keyboard, wherever the focus is on the panel.
TEST_F(MainWindowTest, ShortcutsUndoAndRedo) {
    Make(false);
    QWidget* button = window_->Panel().Control(panel_id::kSelectAll);
    button->setFocus();
    Controller().OnGridCommand(GridCommand::SelectAll);
    ASSERT_TRUE(window_->Panel().Panel().Cell(0));
    struct Case {
        QKeyCombination keys;
        bool lit;
    };
    const Case cases[] = {
        {Qt::CTRL | Qt::Key_Z, false},
        {Qt::CTRL | Qt::Key_Y, true},
        {Qt::CTRL | Qt::Key_Z, false},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, true},
    };
    for (const Case& c : cases) {
        QTest::keyClick(button, c.keys.key(), c.keys.keyboardModifiers());
        EXPECT_EQ(window_->Panel().Panel().Cell(0), c.lit)
            << QKeySequence(c.keys).toString().toStdString();
    }
    // Every menu action shows its shortcut, each its own, none a key of the Sequence window.
    QStringList shortcuts;
    for (QAction* menu : window_->menuBar()->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            if (!action->isSeparator())
                shortcuts << action->shortcut().toString();
        }
    }
    EXPECT_EQ(shortcuts, (QStringList{"Ctrl+N", "Ctrl+O", "Ctrl+S", "Ctrl+Shift+S", "Ctrl+I",
                                      "Ctrl+E", "Ctrl+Shift+E", "Ctrl+Q", "Ctrl+Z", "Ctrl+Shift+Z",
                                      "Ctrl+Shift+C", "Ctrl+Shift+L", "Ctrl+1", "Ctrl+2", "Ctrl+3",
                                      "Ctrl+4", "F1", "Shift+F1"}));
    EXPECT_EQ(shortcuts.removeDuplicates(), 0);
    for (const char* sequenceKey : {"Ins", "Del", "Ctrl+R", "Ctrl+D", "Ctrl+Up", "Ctrl+Down", "F5"})
        EXPECT_FALSE(shortcuts.contains(QLatin1String(sequenceKey))) << sequenceKey;
}

// Beside the fixed texts: the first message says what to do next, and the Status box's tooltip
// what its code means.
TEST_F(MainWindowTest, TheStatusBarAndTheStatusBoxExplainThemselves) {
    Make();
    EXPECT_TRUE(StatusMessage().contains("click Connect Tx")) << StatusMessage().toStdString();
    QWidget* status = window_->Panel().Control(panel_id::kStatus);
    EXPECT_TRUE(status->toolTip().contains("Connect Tx has not been clicked"));
    Controller().OnConnectTx();
    EXPECT_EQ(qobject_cast<QLineEdit*>(status)->text(), "Device Detected - 0x00");
    EXPECT_TRUE(status->toolTip().contains("code 0x00")) << status->toolTip().toStdString();
    Controller().OnUpdateData();  // RF is off
    EXPECT_TRUE(StatusMessage().contains("RF mode is off")) << StatusMessage().toStdString();
    // The half shifts' tooltips say which way each half moves.
    for (const auto& [control, tip] :
         {std::pair{panel_id::kShiftDownwards, "Move the top half down and the bottom half up"},
          std::pair{panel_id::kShiftUpwards, "Move the top half up and the bottom half down"}})
        EXPECT_TRUE(window_->Panel().Control(control)->toolTip().startsWith(tip)) << tip;
}

// --device: Connect Tx opens the transmitter chosen among two, the title and the status bar name
// it, and a choice that matches nothing is named in the status bar.
TEST_F(MainWindowTest, TheChosenTransmitterIsOpenedAndNamed) {
    tx_.SetInterfaces({SimulatedTransmitter::TransmitterInterface("sim:a", "A1"),
                       SimulatedTransmitter::TransmitterInterface("sim:b", "B2")});
    for (const auto& [choice, opened] : {std::pair{"B2", "sim:b"}, std::pair{"C3", ""}}) {
        Make();
        window_->SetDeviceChoice(DeviceChoice{choice});
        EXPECT_TRUE(
            window_->windowTitle().contains(QStringLiteral("(transmitter %1)").arg(choice)));
        Controller().OnConnectTx();
        const QString label = window_->statusBar()->findChild<QLabel*>()->text();
        if (*opened != '\0') {
            EXPECT_EQ(tx_.OpenedPaths().back(), opened);
            EXPECT_EQ(label, "Transmitter 04d8:003f, serial B2, connected (simulated)");
        } else {
            EXPECT_EQ(label, "Transmitter C3 not connected (simulated)");
            EXPECT_TRUE(
                StatusMessage().startsWith("no transmitter with serial or path C3; found: "
                                           "sim:a (serial A1), sim:b (serial B2)"))
                << StatusMessage().toStdString();
        }
    }
}

// A picture dropped on the window opens the Import Picture dialog with it; a design dropped
// opens as a design; anything else is refused.
TEST_F(MainWindowTest, DroppedFilesOpenAsPicturesOrDesigns) {
    Make();
    QTemporaryDir dir;
    QImage picture(64, 24, QImage::Format_RGB32);
    picture.fill(Qt::white);
    ASSERT_TRUE(picture.save(dir.filePath("white.png")));
    Controller().OnGridCommand(GridCommand::SelectAll);
    QFile design(dir.filePath("lit.velta"));
    ASSERT_TRUE(design.open(QIODevice::WriteOnly));
    design.write(QByteArray::fromStdString(Controller().DesignText()));
    design.close();
    Controller().OnGridCommand(GridCommand::DeselectAll);
    const struct {
        const char* file;
        bool accepted;
        QString dialog;  // the dialog it opens, if any
        bool litAfter;   // cell 0, once taken
    } cases[] = {
        {"white.png", true, "Import Picture - white.png", true},  // Invert: white is lit
        {"lit.velta", true, QString(), true},
        {"notes.txt", false, QString(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Controller().OnGridCommand(GridCommand::DeselectAll);
        QString opened;
        QTimer::singleShot(50, [&opened] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                opened = dialog->windowTitle();
                if (auto* invert = dialog->findChild<QCheckBox*>())
                    invert->click();
                dialog->accept();
            }
        });
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dir.filePath(QLatin1String(c.file)))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window_.get(), &enter);
        EXPECT_EQ(enter.isAccepted(), c.accepted);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window_.get(), &drop);
        QTest::qWait(100);
        EXPECT_EQ(opened, c.dialog);
        EXPECT_EQ(Controller().Panel().Cell(0), c.litAfter);
    }
}

}  // namespace
}  // namespace velta
