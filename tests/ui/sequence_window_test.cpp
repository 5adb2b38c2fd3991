// The Sequence window over the main window's controller: its buttons, drags and selection edit
// the design's frames as one undo step each, Play runs on its timer, and the frames export.
#include "ui/sequence_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/control_center_controller.h"
#include "device/simulated_transmitter.h"
#include "model/design_file.h"
#include "model/sequence.h"
#include "ui/control_center_dialog.h"
#include "ui/main_window.h"

namespace velta {
namespace {

class SequenceWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(tx_, true);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        window_->ShowSequenceEditor();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    }
    ControlCenterController& Controller() { return window_->Panel().Controller(); }
    SequenceWindow& Window() { return window_->SequenceEditor(); }
    // A picture told apart by which single cell is lit.
    void Draw(int mark) {
        PanelState& panel = Controller().Panel();
        for (int cell = 0; cell < kCellCount; ++cell)
            panel.SetCell(cell, cell == mark);
    }
    int LitCell() const {
        const PanelState& panel = window_->Panel().Controller().Panel();
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (panel.Cell(cell))
                return cell;
        }
        return -1;
    }
    // Frames with cells 10, 11, 12 lit, added through the window's button.
    void AddThree() {
        for (int mark : {10, 11, 12}) {
            Draw(mark);
            Window().AddFrame();
        }
        ASSERT_EQ(Marks(), (std::vector<int>{10, 11, 12}));
    }
    // Which cell each frame lights, in order (-1: none).
    std::vector<int> Marks() {
        std::vector<int> marks;
        for (const SequenceFrame& frame : Controller().Frames().Frames()) {
            int mark = -1;
            for (int cell = 0; cell < kCellCount; ++cell) {
                if (frame.cells.test(static_cast<std::size_t>(cell))) {
                    mark = cell;
                    break;
                }
            }
            marks.push_back(mark);
        }
        return marks;
    }
    QPushButton* Button(const QString& text) {
        for (QPushButton* button : Window().findChildren<QPushButton*>()) {
            if (button->text() == text)
                return button;
        }
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }
    void ClickRow(int row) {
        QListView* list = Window().List();
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    SimulatedTransmitter tx_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(SequenceWindowTest, EachButtonIsOneStepThatOneUndoTakesBack) {
    struct Case {
        const char* name;
        int select;  // -1: no selection
        QString button;
        std::vector<int> after;
        int selectedAfter;
    };
    const Case cases[] = {
        {"add after the selection", 0, QStringLiteral("Add Frame"), {10, 99, 11, 12}, 1},
        {"add at the end without one", -1, QStringLiteral("Add Frame"), {10, 11, 12, 99}, 3},
        {"replace", 1, QStringLiteral("Replace"), {10, 99, 12}, 1},
        {"duplicate", 1, QStringLiteral("Duplicate"), {10, 11, 11, 12}, 2},
        {"delete", 1, QStringLiteral("Delete"), {10, 12}, 1},
        {"delete the last", 2, QStringLiteral("Delete"), {10, 11}, 1},
        {"move up", 2, QStringLiteral("Move Up"), {10, 12, 11}, 1},
        {"move down", 0, QStringLiteral("Move Down"), {11, 10, 12}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Controller().NewDesign();
        AddThree();
        if (c.select >= 0)
            ClickRow(c.select);
        else
            Window().List()->selectionModel()->clear();
        Draw(99);  // what the panel shows when the button is pressed
        QPushButton* button = Button(c.button);
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->isEnabled());
        button->click();
        EXPECT_EQ(Marks(), c.after);
        EXPECT_EQ(Window().Model()->rowCount(), static_cast<int>(c.after.size()));
        ASSERT_TRUE(Window().Selected().has_value());
        EXPECT_EQ(*Window().Selected(), static_cast<std::size_t>(c.selectedAfter));
        ASSERT_TRUE(Controller().Undo());
        EXPECT_EQ(Marks(), (std::vector<int>{10, 11, 12}));
        EXPECT_EQ(Window().Model()->rowCount(), 3);
    }
}

TEST_F(SequenceWindowTest, OnlyTheUsersSelectionLoadsAFrame) {
    AddThree();
    // Adding selects the new frame without loading anything: the panel shows it already.
    EXPECT_EQ(*Window().Selected(), 2u);
    Draw(50);
    ClickRow(0);
    EXPECT_EQ(LitCell(), 10);
    QTest::keyClick(Window().List(), Qt::Key_Down);
    EXPECT_EQ(LitCell(), 11);
    // Loading is a step of its own: Undo puts the picture back.
    ASSERT_TRUE(Controller().Undo());
    EXPECT_EQ(LitCell(), 10);

    // The list following a change of the controller (here a hold set elsewhere, then an undo
    // that shortens the list) keeps or moves the selection but loads nothing.
    Draw(60);
    ASSERT_TRUE(Controller().SetFrameHold(2, 500));
    ASSERT_TRUE(Controller().DeleteFrame(2));
    EXPECT_EQ(LitCell(), 60);
    EXPECT_EQ(*Window().Selected(), 1u);
}

TEST_F(SequenceWindowTest, HoldBoxSetsTheSelectedFrameAndShowsIt) {
    AddThree();
    ClickRow(1);
    Window().Hold()->setValue(250);
    EXPECT_EQ(Controller().Frames()[1].holdMs, 250);
    EXPECT_TRUE(Window()
                    .Model()
                    ->data(Window().Model()->index(1), Qt::DisplayRole)
                    .toString()
                    .contains(QStringLiteral("250 ms")));
    ClickRow(0);
    EXPECT_EQ(Window().Hold()->value(), kDefaultHoldMs);
    ASSERT_TRUE(Controller().Undo());  // the load of frame 0
    ASSERT_TRUE(Controller().Undo());  // the hold
    EXPECT_EQ(Controller().Frames()[1].holdMs, kDefaultHoldMs);
}

TEST_F(SequenceWindowTest, DragsBecomeOneMoveEach) {
    struct Case {
        const char* name;
        int dragged;  // the selected row, dragged
        std::function<bool(FrameListModel&)> drop;
        std::vector<int> after;
        std::size_t landed;  // where it stands after the drop, still selected
    };
    const Case cases[] = {
        {"the view's move to the end",
         0,
         [](FrameListModel& m) { return m.moveRows({}, 0, 1, {}, 3); },
         {11, 12, 10},
         2},
        {"the view's move to the front",
         2,
         [](FrameListModel& m) { return m.moveRows({}, 2, 1, {}, 0); },
         {12, 10, 11},
         0},
        {"a drop between rows",
         2,
         [](FrameListModel& m) {
             std::unique_ptr<QMimeData> data(m.mimeData({m.index(2)}));
             return m.dropMimeData(data.get(), Qt::MoveAction, 1, 0, {});
         },
         {10, 12, 11},
         1},
        {"a drop onto a row goes in front of it",
         0,
         [](FrameListModel& m) {
             std::unique_ptr<QMimeData> data(m.mimeData({m.index(0)}));
             return m.dropMimeData(data.get(), Qt::MoveAction, -1, -1, m.index(2));
         },
         {11, 10, 12},
         1},
        {"a drop below the last row",
         1,
         [](FrameListModel& m) {
             std::unique_ptr<QMimeData> data(m.mimeData({m.index(1)}));
             return m.dropMimeData(data.get(), Qt::MoveAction, -1, -1, {});
         },
         {10, 12, 11},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Controller().NewDesign();
        AddThree();
        ClickRow(c.dragged);
        const std::size_t steps = Controller().History().UndoCount();
        ASSERT_TRUE(c.drop(*Window().Model()));
        EXPECT_EQ(Marks(), c.after);
        EXPECT_EQ(Controller().History().UndoCount(), steps + 1);
        // Move Up and Move Down follow the dragged frame's new place.
        EXPECT_EQ(Window().Selected(), c.landed);
        EXPECT_EQ(Button(QStringLiteral("Move Up"))->isEnabled(), c.landed > 0);
        EXPECT_EQ(Button(QStringLiteral("Move Down"))->isEnabled(), c.landed < 2);
        // The rows show the controller's order.
        for (int row = 0; row < 3; ++row) {
            const QImage shown = Window()
                                     .Model()
                                     ->data(Window().Model()->index(row), Qt::DecorationRole)
                                     .value<QPixmap>()
                                     .toImage();
            EXPECT_EQ(shown, FrameListModel::Thumbnail(Controller().Frames()[row])
                                 .convertToFormat(shown.format()));
        }
        ASSERT_TRUE(Controller().Undo());
        EXPECT_EQ(Marks(), (std::vector<int>{10, 11, 12}));
    }
    // Onto itself, or a move the view can't mean, changes nothing.
    const std::size_t steps = Controller().History().UndoCount();
    EXPECT_FALSE(Window().Model()->moveRows({}, 1, 1, {}, 2));
    EXPECT_FALSE(Window().Model()->moveRows({}, 0, 2, {}, 3));
    EXPECT_EQ(Controller().History().UndoCount(), steps);
}

TEST_F(SequenceWindowTest, ThumbnailsAreDrawnOncePerPicture) {
    AddThree();
    const int drawn = Window().Model()->ThumbnailsDrawn();
    ClickRow(1);
    Window().Hold()->setValue(300);  // the text changes, not the picture
    Button(QStringLiteral("Move Up"))->click();
    Button(QStringLiteral("Duplicate"))->click();
    Button(QStringLiteral("Delete"))->click();
    ASSERT_TRUE(Controller().Undo());
    Window().List()->viewport()->repaint();
    EXPECT_EQ(Window().Model()->ThumbnailsDrawn(), drawn);
    Draw(77);
    Button(QStringLiteral("Replace"))->click();
    EXPECT_EQ(Window().Model()->ThumbnailsDrawn(), drawn + 1);
}

TEST_F(SequenceWindowTest, AFullListIsRefusedWithANotice) {
    for (std::size_t i = 0; i < kMaxSequenceFrames; ++i)
        ASSERT_TRUE(Controller().AddFrame(i == 0 ? kNoFrame : i - 1, kDefaultHoldMs));
    ClickRow(0);
    Button(QStringLiteral("Add Frame"))->click();
    Button(QStringLiteral("Duplicate"))->click();
    EXPECT_EQ(Controller().Frames().Size(), kMaxSequenceFrames);
    EXPECT_EQ(Window().Notice(),
              QStringLiteral("The sequence is full: it holds at most 1,000 frames"));
    EXPECT_EQ(window_->statusBar()->currentMessage(), Window().Notice());
}

TEST_F(SequenceWindowTest, PlayArmsTheTimerAndStopPutsThePanelBack) {
    AddThree();
    Draw(40);
    QPushButton* play = Window().PlayButton();
    play->click();
    EXPECT_TRUE(Window().Playing());
    EXPECT_TRUE(Window().PlayTimer()->isActive());
    EXPECT_TRUE(Window().PlayTimer()->isSingleShot());
    EXPECT_EQ(Window().PlayTimer()->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(LitCell(), 10);  // the first frame at once
    EXPECT_EQ(play->text(), QStringLiteral("Stop"));
    EXPECT_FALSE(Button(QStringLiteral("Add Frame"))->isEnabled());
    EXPECT_EQ(Window().List()->dragDropMode(), QAbstractItemView::NoDragDrop);
    ClickRow(2);  // looking at the list while playing loads nothing
    EXPECT_EQ(LitCell(), 10);

    play->click();
    EXPECT_FALSE(Window().Playing());
    EXPECT_FALSE(Window().PlayTimer()->isActive());
    EXPECT_EQ(LitCell(), 40);
    EXPECT_EQ(play->text(), QStringLiteral("Play"));
    EXPECT_FALSE(play->isChecked());
    EXPECT_TRUE(Button(QStringLiteral("Add Frame"))->isEnabled());
    EXPECT_EQ(Window().List()->dragDropMode(), QAbstractItemView::InternalMove);
}

TEST_F(SequenceWindowTest, APassEndsOnItsOwnAndAnUndoStopsPlaying) {
    AddThree();
    for (std::size_t i = 0; i < 3; ++i)
        ASSERT_TRUE(Controller().SetFrameHold(i, 1));
    Draw(40);
    std::vector<int> shown;
    Window().PlayButton()->click();
    // The frames come on the timer; waiting for the end is not a claim about time.
    while (Window().Playing()) {
        if (shown.empty() || shown.back() != LitCell())
            shown.push_back(LitCell());
        QTest::qWait(1);
    }
    EXPECT_EQ(shown.front(), 10);
    EXPECT_EQ(LitCell(), 40);
    EXPECT_FALSE(Window().PlayButton()->isChecked());

    // Looping goes on until something stops it; an undo does, and the window follows.
    for (std::size_t i = 0; i < 3; ++i)
        ASSERT_TRUE(Controller().SetFrameHold(i, 1000));
    Window().Loop()->setChecked(true);
    Window().PlayButton()->click();
    ASSERT_TRUE(Window().Playing());
    ASSERT_TRUE(Controller().Undo());
    EXPECT_FALSE(Window().Playing());
    EXPECT_FALSE(Window().PlayTimer()->isActive());
    EXPECT_EQ(Window().PlayButton()->text(), QStringLiteral("Play"));
    EXPECT_TRUE(Window().Loop()->isEnabled());
}

TEST_F(SequenceWindowTest, ExportsGoToTheDataCenterAndToAFile) {
    // No frames: nothing to export, said in a box.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("seq.txt"));
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->accept();
    });
    EXPECT_FALSE(window_->ExportSequenceTo(path));
    EXPECT_FALSE(QFile::exists(path));

    AddThree();
    Controller().OnFeatureBoxClicked(FeatureBox::LedGrid, true);
    ASSERT_TRUE(window_->ExportSequenceTo(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), Controller().SequenceText());
    EXPECT_EQ(window_->statusBar()->currentMessage(),
              QStringLiteral("Exported 3 frames to seq.txt"));

    const std::size_t before = Controller().DataCenterText().size();
    Button(QStringLiteral("&Export Sequence"))->click();
    EXPECT_GT(Controller().DataCenterText().size(), before);
    EXPECT_EQ(Window().Notice(), QStringLiteral("Appended 3 frames to the Data Center"));
}

TEST_F(SequenceWindowTest, TheViewMenuOpensTheWindowAndTheFileMenuExports) {
    Window().close();
    QStringList view;
    QStringList file;
    for (QAction* menu : window_->menuBar()->actions()) {
        for (QAction* action : menu->menu()->actions()) {
            if (menu->text() == QStringLiteral("&View"))
                view << action->text();
            if (menu->text() == QStringLiteral("&File"))
                file << action->text();
            if (action->text() == QStringLiteral("Se&quence"))
                action->trigger();
        }
    }
    EXPECT_TRUE(view.contains(QStringLiteral("Se&quence")));
    EXPECT_EQ(file.indexOf(QStringLiteral("Expor&t Sequence...")),
              file.indexOf(QStringLiteral("&Export Data Center...")) + 1);
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(Window().isWindow());
    EXPECT_EQ(Window().parentWidget(), window_.get());
}

}  // namespace
}  // namespace velta
