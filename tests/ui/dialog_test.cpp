// The window: its layout tables, the Data Center box, and the dialog wired to the real
// controller over a simulated transmitter.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/simulated_transmitter.h"
#include "ui/color_picker_combo.h"
#include "ui/control_center_dialog.h"
#include "ui/data_center_view.h"
#include "ui/dialog_template.h"
#include "ui/led_button.h"
#include "ui/led_placement.h"

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ui::Rect;
namespace id = ui::id;

// ---------------------------------------------------------------------------------------------
// Dialog units and the template

TEST(DialogUnits, ConvertWithBaseUnitsSixByThirteenRoundingHalvesUp) {
    struct Case {
        int units;
        int horizontal;  // units * 1.5
        int vertical;    // units * 1.625
    };
    const Case cases[] = {
        {0, 0, 0},     {1, 2, 2},       {2, 3, 3},       {3, 5, 5},
        {4, 6, 7},     {7, 11, 11},     {8, 12, 13},     {22, 33, 36},
        {66, 99, 107}, {146, 219, 237}, {321, 482, 522}, {675, 1013, 1097},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ui::HorizontalUnitsToPixels(c.units), c.horizontal) << c.units;
        EXPECT_EQ(ui::VerticalUnitsToPixels(c.units), c.vertical) << c.units;
    }
    EXPECT_EQ(ui::kClientWidth, 1013);
    EXPECT_EQ(ui::kClientHeight, 522);
}

TEST(DialogUnits, RectanglesConvertByTheirCorners) {
    struct Case {
        Rect units;
        Rect pixels;
    };
    const Case cases[] = {
        {{66, 22, 390, 146}, {99, 36, 585, 237}},    // grid frame
        {{2, 0, 517, 191}, {3, 0, 776, 310}},        // display frame
        {{7, 67, 56, 56}, {11, 109, 84, 91}},        // "Master Side" frame
        {{458, 67, 56, 56}, {687, 109, 84, 91}},     // "Secondary Side" frame
        {{66, 4, 390, 21}, {99, 7, 585, 34}},        // top rings
        {{66, 165, 390, 21}, {99, 268, 585, 34}},    // bottom rings
        {{525, 35, 147, 282}, {788, 57, 220, 458}},  // Data Center
        {{7, 209, 49, 14}, {11, 340, 73, 22}},       // "Select &All"
    };
    for (const Case& c : cases) {
        const Rect got = ui::UnitsToPixels(c.units);
        EXPECT_EQ(got, c.pixels) << c.units.x << "," << c.units.y << " -> " << got.x << "," << got.y
                                 << " " << got.width << "x" << got.height;
    }
}

TEST(DialogTemplate, HoldsEveryControlOnceInTabOrder) {
    std::set<int> ids;
    int counts[8] = {};
    for (const auto& control : ui::kDialogTemplate) {
        EXPECT_GT(control.units.width, 0);
        EXPECT_GT(control.units.height, 0);
        if (control.id != ui::kNoId) {
            EXPECT_TRUE(ids.insert(control.id).second) << "duplicate id " << control.id;
        }
        ++counts[static_cast<int>(control.kind)];
    }
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::PushButton)], 16);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::RadioButton)], 3);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::CheckBox)], 7);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::GroupBox)], 14);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::Label)], 10);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::Edit)], 3);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::ComboBox)], 1);
    EXPECT_EQ(counts[static_cast<int>(ui::ControlKind::Slider)], 3);

    // Spot checks of position in the order, caption and rectangle.
    struct Spot {
        std::size_t position;
        int id;
        std::string_view caption;
        Rect units;
    };
    const Spot spots[] = {
        {0, id::kSelectAll, "Select &All", {7, 209, 49, 14}},
        {6, id::kSaveSequence, "&Save Sequence", {64, 294, 49, 19}},
        {7, id::kFillAllOff, "All Off", {13, 279, 35, 10}},
        {18, id::kDataCenter, "", {525, 35, 147, 282}},
        {23, id::kStatus, "", {254, 215, 113, 12}},
        {32, id::kPodColour, "", {525, 11, 81, 118}},
        {43, id::kGridBrightnessBox, "Grid Brightness", {386, 282, 63, 10}},
        {52, id::kRfMode, "Activate RF Mode", {254, 253, 50, 21}},
        {55, id::kScrollingTextBox, "Scrolling Text", {386, 228, 59, 10}},
    };
    for (const Spot& s : spots) {
        const auto& control = ui::kDialogTemplate[s.position];
        EXPECT_EQ(control.id, s.id) << s.position;
        EXPECT_EQ(control.caption, s.caption) << s.position;
        EXPECT_EQ(control.units, s.units) << s.position;
    }
    EXPECT_EQ(ui::kDialogTemplate.back().caption, "Scroll Speed");
    EXPECT_EQ(ui::FindTemplateControl(1062)->kind, ui::ControlKind::Edit);
    EXPECT_EQ(ui::FindTemplateControl(ui::kNoId), nullptr);
    EXPECT_EQ(ui::FindTemplateControl(1015), nullptr);
}

TEST(DialogTemplate, EveryControlLiesInsideTheClientArea) {
    const Rect client{0, 0, ui::kClientWidth, ui::kClientHeight};
    for (const auto& control : ui::kDialogTemplate) {
        EXPECT_TRUE(client.Contains(ui::UnitsToPixels(control.units)))
            << control.id << " " << control.caption;
    }
}

// ---------------------------------------------------------------------------------------------
// LED placement

Rect LedRect(ui::LedPoint p) {
    return {p.x, p.y, ui::kLedWidth, ui::kLedHeight};
}

TEST(LedPlacement, GridAndRingPositions) {
    struct Case {
        ui::LedKind kind;
        int index;
        ui::LedPoint at;
    };
    const Case cases[] = {
        {ui::LedKind::GridCell, 0, {102, 50}},
        {ui::LedKind::GridCell, 31, {660, 50}},
        {ui::LedKind::GridCell, 32, {102, 68}},
        {ui::LedKind::GridCell, 383, {660, 248}},  // row 11, column 31
        {ui::LedKind::Ring, 0, {110, 18}},
        {ui::LedKind::Ring, 3, {650, 18}},
        {ui::LedKind::Ring, 4, {110, 279}},
        {ui::LedKind::Ring, 7, {650, 279}},
        {ui::LedKind::Ring, 8, {40, 35}},
        {ui::LedKind::Ring, 9, {40, 265}},
        {ui::LedKind::Ring, 10, {730, 265}},
        {ui::LedKind::Ring, 11, {730, 35}},
    };
    for (const Case& c : cases) {
        const ui::LedPoint got = c.kind == ui::LedKind::GridCell ? ui::GridLedPosition(c.index)
                                                                 : ui::RingLedPosition(c.index);
        EXPECT_EQ(got, c.at) << c.index;
    }
}

TEST(LedPlacement, PodTriangles) {
    const ui::LedPoint expected[kPodCount] = {
        {72, 148},  {54, 139},  {54, 157},  {36, 130},  {36, 148},  {36, 166},  {18, 121},
        {18, 139},  {18, 157},  {18, 175},  {688, 148}, {706, 157}, {706, 139}, {724, 166},
        {724, 148}, {724, 130}, {742, 175}, {742, 157}, {742, 139}, {742, 121},
    };
    for (int pod = 0; pod < kPodCount; ++pod)
        EXPECT_EQ(ui::PodLedPosition(pod), expected[pod]) << pod;
    // The secondary triangle is the point mirror of the master one.
    for (int i = 0; i < kPodCount / 2; ++i) {
        const ui::LedPoint master = ui::PodLedPosition(i);
        EXPECT_EQ(ui::PodLedPosition(10 + i), (ui::LedPoint{760 - master.x, 296 - master.y}));
    }
}

TEST(LedPlacement, CreationOrderCoversEveryLedOnce) {
    const auto all = ui::LedPlacements();
    std::vector<int> ringOrder;
    std::set<std::pair<int, int>> seen;
    for (std::size_t n = 0; n < all.size(); ++n) {
        const auto& led = all[n];
        EXPECT_TRUE(seen.insert({static_cast<int>(led.kind), led.index}).second) << n;
        if (n < kCellCount) {
            EXPECT_EQ(led.kind, ui::LedKind::GridCell);
            EXPECT_EQ(led.index, static_cast<int>(n));
        } else if (n < kCellCount + kPodCount) {
            EXPECT_EQ(led.kind, ui::LedKind::Pod);
            EXPECT_EQ(led.index, static_cast<int>(n) - kCellCount);
        } else {
            EXPECT_EQ(led.kind, ui::LedKind::Ring);
            ringOrder.push_back(led.index);
        }
    }
    EXPECT_THAT(ringOrder, ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 9, 10));
}

TEST(LedPlacement, OnlyVerticalNeighboursOverlapByOnePixel) {
    const auto all = ui::LedPlacements();
    int overlaps = 0;
    for (std::size_t a = 0; a < all.size(); ++a) {
        for (std::size_t b = a + 1; b < all.size(); ++b) {
            const Rect ra = LedRect(all[a].topLeft);
            const Rect rb = LedRect(all[b].topLeft);
            const int overlapW = std::min(ra.Right(), rb.Right()) - std::max(ra.x, rb.x);
            const int overlapH = std::min(ra.Bottom(), rb.Bottom()) - std::max(ra.y, rb.y);
            if (overlapW <= 0 || overlapH <= 0)
                continue;
            // LEDs are 19 pixels high on an 18-pixel pitch: a LED and the one right under it
            // share one pixel row, nothing else touches.
            ++overlaps;
            EXPECT_TRUE(ra.x == rb.x && overlapH == 1) << a << " overlaps " << b;
        }
    }
    // 11 row pairs in 32 columns, and 0 + 1 + 2 + 3 pairs in each pod triangle.
    EXPECT_EQ(overlaps, 11 * 32 + 2 * 6);
}

TEST(LedPlacement, FramesEncloseTheirLeds) {
    struct Group {
        const char* name;
        Rect frameUnits;
        ui::LedKind kind;
        int first;
        int last;
    };
    const Group groups[] = {
        {"grid", {66, 22, 390, 146}, ui::LedKind::GridCell, 0, kCellCount - 1},
        {"master pods", {7, 67, 56, 56}, ui::LedKind::Pod, 0, 9},
        {"secondary pods", {458, 67, 56, 56}, ui::LedKind::Pod, 10, 19},
        {"top rings", {66, 4, 390, 21}, ui::LedKind::Ring, 0, 3},
        {"bottom rings", {66, 165, 390, 21}, ui::LedKind::Ring, 4, 7},
        {"display", {2, 0, 517, 191}, ui::LedKind::Ring, 8, 11},
    };
    for (const Group& g : groups) {
        const Rect frame = ui::UnitsToPixels(g.frameUnits);
        for (int i = g.first; i <= g.last; ++i) {
            const ui::LedPoint p = g.kind == ui::LedKind::GridCell ? ui::GridLedPosition(i)
                                   : g.kind == ui::LedKind::Pod    ? ui::PodLedPosition(i)
                                                                   : ui::RingLedPosition(i);
            EXPECT_TRUE(frame.Contains(LedRect(p))) << g.name << " " << i;
        }
    }
    // No LED sits on a template control other than the frames.
    for (const auto& led : ui::LedPlacements()) {
        for (const auto& control : ui::kDialogTemplate) {
            if (control.kind == ui::ControlKind::GroupBox)
                continue;
            const Rect r = ui::UnitsToPixels(control.units);
            const Rect l = LedRect(led.topLeft);
            const bool apart =
                l.Right() <= r.x || r.Right() <= l.x || l.Bottom() <= r.y || r.Bottom() <= l.y;
            EXPECT_TRUE(apart) << "LED " << led.index << " on control " << control.id;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The Data Center box

QString Lf(const char* text) {
    return QString::fromLatin1(text);
}

TEST(DataCenterView, AppendsWhatWasAddedAndShowsCrLfAsLineBreaks) {
    DataCenterView view;
    EXPECT_FALSE(view.isUndoRedoEnabled());

    std::string log = "LED_data[0]   = 0x000\r\nLED_data[1]   = 0x001";
    view.Refresh(log, 0);
    EXPECT_EQ(view.toPlainText(), Lf("LED_data[0]   = 0x000\nLED_data[1]   = 0x001"));
    EXPECT_TRUE(view.textCursor().atEnd());

    // Mark the first line: an append keeps it, a full replace would drop the mark.
    view.document()->firstBlock().setUserState(42);
    const std::size_t shown = log.size();
    log += "\r\n\r\nRGB_data[0]   = 0x0A\r\n";
    view.Refresh(log, shown);
    EXPECT_EQ(view.toPlainText(),
              Lf("LED_data[0]   = 0x000\nLED_data[1]   = 0x001\n\nRGB_data[0]   = 0x0A\n"));
    EXPECT_EQ(view.document()->firstBlock().userState(), 42);
    EXPECT_TRUE(view.textCursor().atEnd());
    EXPECT_EQ(view.ShownLength(), log.size());
}

TEST(DataCenterView, CrLfSplitBetweenTwoRefreshesIsOneLineBreak) {
    DataCenterView view;
    std::string log = "a\r";
    view.Refresh(log, 0);
    log += "\nb";
    view.Refresh(log, 2);
    EXPECT_EQ(view.toPlainText(), Lf("a\nb"));
}

TEST(DataCenterView, UserTextIsReplacedByTheWholeLogAtTheNextRefresh) {
    DataCenterView view;
    std::string log = "x\r\ny";
    view.Refresh(log, 0);
    view.moveCursor(QTextCursor::End);
    QTest::keyClicks(&view, "typed");
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_TRUE(view.EditedByUser());

    const std::size_t shown = log.size();
    log += "\r\n\r\nz";
    view.Refresh(log, shown);
    EXPECT_EQ(view.toPlainText(), Lf("x\ny\n\nz"));
    EXPECT_FALSE(view.EditedByUser());

    // A refresh whose starting point does not match what the box holds shows everything too.
    view.Refresh("q\r\nr", 1);
    EXPECT_EQ(view.toPlainText(), Lf("q\nr"));
}

TEST(DataCenterView, CopyingEverythingGivesTheLogBytes) {
    DataCenterView view;
    const std::string log =
        "LED_data[31] = 0xFFF\r\n\r\nRGB_data[0]   = 0x0A\r\nRGB_data[1]   = 0xFF\r\n";
    view.Refresh(log, 0);
    view.selectAll();
    view.copy();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), log);
}

// ---------------------------------------------------------------------------------------------
// The dialog

std::vector<std::pair<int, int>> LitCells(const PanelState& panel) {
    std::vector<std::pair<int, int>> lit;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            if (panel.Cell(r, c))
                lit.emplace_back(r, c);
        }
    }
    return lit;
}

QString Unwrapped(const QString& caption) {
    QString text = caption;
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(local), QPointF(target->mapToGlobal(local)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog_ = std::make_unique<ControlCenterDialog>(transmitter_);
        // A "Write Error" box is modal; note it and close it so the test goes on.
        QObject::connect(&boxCloser_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes_.push_back(box->windowTitle() + QLatin1Char('|') + box->text());
                box->done(QMessageBox::Ok);
            }
        });
        boxCloser_.start(10);
    }
    void TearDown() override {
        dialog_.reset();
        boxCloser_.stop();
    }

    void Show() {
        dialog_->show();
        QApplication::setActiveWindow(dialog_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
    }

    template <typename W>
    W* Get(int controlId) {
        auto* widget = qobject_cast<W*>(dialog_->Control(controlId));
        EXPECT_NE(widget, nullptr) << controlId;
        return widget;
    }

    void Click(int controlId) { Get<QAbstractButton>(controlId)->click(); }

    void ConnectAndActivateRf() {
        Click(id::kConnectTx);
        ASSERT_TRUE(Panel().RfMode() == 0);
        Click(id::kRfMode);
        ASSERT_EQ(Panel().RfMode(), 1);
    }

    PanelState& Panel() { return dialog_->Panel(); }
    void Tick() { dialog_->Controller().OnTimer(kSampleTimerId); }

    bool LedsMatchPanel() {
        for (int i = 0; i < kCellCount; ++i) {
            if ((dialog_->GridLed(i)->GetState() != 0) != Panel().Cell(i))
                return false;
        }
        for (int i = 0; i < kPodCount; ++i) {
            if ((dialog_->PodLed(i)->GetState() != 0) != Panel().PodMark(i))
                return false;
        }
        for (int i = 0; i < kRingCount; ++i) {
            if ((dialog_->RingLed(i)->GetState() != 0) != Panel().RingOn(i))
                return false;
        }
        return true;
    }

    SimulatedTransmitter transmitter_;
    std::unique_ptr<ControlCenterDialog> dialog_;
    QTimer boxCloser_;
    std::vector<QString> boxes_;
};

TEST_F(DialogTest, StartsWithTheDefaults) {
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Velta Control Center"));
    EXPECT_EQ(dialog_->size(), QSize(1013, 522));
    EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());
    EXPECT_FALSE(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint);

    for (int i = 0; i < kCellCount; ++i) {
        LedButton* led = dialog_->GridLed(i);
        ASSERT_NE(led, nullptr);
        EXPECT_EQ(led->GetState(), 0);
        EXPECT_EQ(led->OnColor(), 0xFF0000u);
        EXPECT_EQ(led->OffColor(), 0x000000u);
    }
    for (int i = 0; i < kPodCount; ++i)
        EXPECT_EQ(dialog_->PodLed(i)->OffColor(), 0x000000u);
    for (int i = 0; i < kRingCount; ++i)
        EXPECT_EQ(dialog_->RingLed(i)->GetState(), 0);

    EXPECT_TRUE(Get<QRadioButton>(id::kFillAllOff)->isChecked());
    EXPECT_FALSE(Get<QRadioButton>(id::kFillAllOn)->isChecked());
    EXPECT_EQ(Get<QSlider>(id::kRingLevel)->value(), 4095);
    EXPECT_EQ(Get<QSlider>(id::kRingLevel)->maximum(), 4095);
    EXPECT_EQ(Get<QSlider>(id::kGridBrightness)->value(), 15);
    EXPECT_EQ(Get<QSlider>(id::kScrollSpeed)->value(), 15);
    EXPECT_EQ(Get<QSlider>(id::kScrollSpeed)->maximum(), 15);
    EXPECT_FALSE(Get<QCheckBox>(id::kGridBrightnessBox)->isEnabled());
    EXPECT_FALSE(Get<QCheckBox>(id::kRingBrightnessBox)->isEnabled());
    EXPECT_TRUE(Get<QCheckBox>(id::kRgbPodsBox)->isEnabled());
    for (int box : {1051, 1052, 1053, 1054, 1055, 1056, 1059})
        EXPECT_FALSE(Get<QCheckBox>(box)->isChecked()) << box;
    EXPECT_EQ(Get<QComboBox>(id::kPodColour)->currentText(), QStringLiteral("Off"));
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QString());
    EXPECT_TRUE(Get<QLineEdit>(id::kStatus)->isReadOnly());
    EXPECT_FALSE(Get<QPlainTextEdit>(id::kDataCenter)->isReadOnly());
    EXPECT_EQ(Unwrapped(Get<QPushButton>(id::kRfMode)->text()), QStringLiteral("Activate RF Mode"));
    EXPECT_TRUE(dialog_->TimerRunning(kSampleTimerId));
    EXPECT_FALSE(dialog_->TimerRunning(kAutoUpdateTimerId));

    Show();
    EXPECT_EQ(QApplication::focusWidget(), dialog_->Control(id::kSelectAll));
}

TEST_F(DialogTest, ControlsAndLedsSitAtTheirPixelPlaces) {
    for (const auto& control : ui::kDialogTemplate) {
        if (control.id == ui::kNoId)
            continue;
        const Rect r = ui::UnitsToPixels(control.units);
        const QRect got = dialog_->Control(control.id)->geometry();
        if (control.kind == ui::ControlKind::ComboBox) {
            // The template height includes the open list.
            EXPECT_EQ(got.topLeft(), QPoint(r.x, r.y));
            EXPECT_EQ(got.width(), r.width);
            EXPECT_LE(got.height(), r.height);
        } else {
            EXPECT_EQ(got, QRect(r.x, r.y, r.width, r.height)) << control.id;
        }
    }
    EXPECT_EQ(dialog_->GridLed(PanelState::CellIndex(11, 31))->geometry(), QRect(660, 248, 18, 19));
    EXPECT_EQ(dialog_->RingLed(10)->geometry(), QRect(730, 265, 18, 19));
    EXPECT_EQ(dialog_->PodLed(19)->geometry(), QRect(742, 121, 18, 19));

    // The grid frame is a sibling of the LEDs, drawn behind every other control.
    const auto children = dialog_->children();
    QGroupBox* gridFrame = nullptr;
    qsizetype lastFrame = -1;
    qsizetype firstOther = children.size();
    for (qsizetype i = 0; i < children.size(); ++i) {
        auto* widget = qobject_cast<QWidget*>(children[i]);
        if (widget == nullptr)
            continue;
        if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            lastFrame = i;
            EXPECT_TRUE(frame->children().isEmpty() ||
                        frame->findChildren<QAbstractButton*>().isEmpty());
            if (frame->geometry() == QRect(99, 36, 585, 237))
                gridFrame = frame;
        } else {
            firstOther = std::min(firstOther, i);
        }
    }
    EXPECT_LT(lastFrame, firstOther);
    ASSERT_NE(gridFrame, nullptr);
    for (int i = 0; i < kCellCount; ++i)
        EXPECT_TRUE(gridFrame->geometry().contains(dialog_->GridLed(i)->geometry())) << i;
}

TEST_F(DialogTest, TabOrderFollowsTheTemplate) {
    std::vector<int> expected;
    for (const auto& control : ui::kDialogTemplate) {
        if ((control.styles & ui::style::kTabStop) != 0 ||
            control.kind == ui::ControlKind::RadioButton) {
            expected.push_back(control.id);
        }
    }
    std::vector<int> chain;
    QWidget* start = dialog_->Control(id::kSelectAll);
    QWidget* w = start;
    do {
        for (const auto& control : ui::kDialogTemplate) {
            if (control.id != ui::kNoId && dialog_->Control(control.id) == w &&
                (w->focusPolicy() & Qt::TabFocus) != 0) {
                chain.push_back(control.id);
            }
        }
        w = w->nextInFocusChain();
    } while (w != start && w != nullptr);
    EXPECT_THAT(chain, ElementsAreArray(expected));
    // LEDs take the focus by click only.
    EXPECT_EQ(dialog_->GridLed(0)->focusPolicy(), Qt::ClickFocus);
}

TEST_F(DialogTest, ClickingAGridLedTogglesOnlyItsCell) {
    Show();
    const int cell = PanelState::CellIndex(4, 7);
    LedButton* led = dialog_->GridLed(cell);
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    EXPECT_THAT(LitCells(Panel()), ElementsAre(std::pair(4, 7)));
    EXPECT_EQ(led->GetState(), 1);
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    EXPECT_THAT(LitCells(Panel()), IsEmpty());
    EXPECT_EQ(led->GetState(), 0);
    // No command ran: nothing was logged, shown or sent.
    EXPECT_TRUE(dialog_->Controller().Log().Text().empty());
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QString());
    EXPECT_TRUE(transmitter_.WrittenReports().empty());

    QTest::mouseClick(dialog_->PodLed(3), Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    EXPECT_TRUE(Panel().PodMark(3));
    QTest::mouseClick(dialog_->RingLed(11), Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    EXPECT_TRUE(Panel().RingOn(11));
    EXPECT_TRUE(LedsMatchPanel());
}

TEST_F(DialogTest, RightButtonPaintsAndMiddleButtonErasesOnTheTick) {
    Show();
    // Press the right button over cell (3, 4); the LED under the press keeps the moves.
    LedButton* pressed = dialog_->GridLed(PanelState::CellIndex(3, 4));
    SendMouse(pressed, QEvent::MouseButtonPress, {9, 9}, Qt::RightButton, Qt::RightButton);
    Tick();
    SendMouse(pressed, QEvent::MouseMove, {9 + 2 * 18, 9}, Qt::NoButton, Qt::RightButton);
    Tick();
    SendMouse(pressed, QEvent::MouseMove, {9, 9 + 18}, Qt::NoButton, Qt::RightButton);
    Tick();
    EXPECT_THAT(LitCells(Panel()), ElementsAre(std::pair(3, 4), std::pair(3, 6), std::pair(4, 4)));
    SendMouse(pressed, QEvent::MouseButtonRelease, {9, 9 + 18}, Qt::RightButton, Qt::NoButton);

    // Without a button held nothing is painted.
    LedButton* other = dialog_->GridLed(PanelState::CellIndex(8, 20));
    SendMouse(other, QEvent::MouseMove, {9, 9}, Qt::NoButton, Qt::NoButton);
    Tick();
    EXPECT_EQ(LitCells(Panel()).size(), 3u);

    // The middle button erases, here from a press on the dialog itself.
    const QPoint onCell36 = dialog_->GridLed(PanelState::CellIndex(3, 6))->geometry().center();
    SendMouse(dialog_.get(), QEvent::MouseButtonPress, onCell36, Qt::MiddleButton,
              Qt::MiddleButton);
    Tick();
    SendMouse(dialog_.get(), QEvent::MouseButtonRelease, onCell36, Qt::MiddleButton, Qt::NoButton);
    EXPECT_THAT(LitCells(Panel()), ElementsAre(std::pair(3, 4), std::pair(4, 4)));

    const PointerSample sample = dialog_->SamplePointer();
    EXPECT_EQ(QPoint(sample.x, sample.y), onCell36);
    EXPECT_FALSE(sample.rightHeld);
    EXPECT_FALSE(sample.middleHeld);
    EXPECT_TRUE(LedsMatchPanel());
}

TEST_F(DialogTest, GridButtonsRunTheirCommands) {
    struct Case {
        int button;
        std::vector<std::pair<int, int>> lit;  // from (2, 3) and (8, 20) lit
    };
    const Case cases[] = {
        {id::kShiftLeft, {{2, 2}, {8, 19}}},
        {id::kShiftRight, {{2, 4}, {8, 21}}},
        {id::kShiftUp, {{1, 3}, {7, 20}}},
        {id::kShiftDown, {{3, 3}, {9, 20}}},
        {id::kShiftInwards, {{2, 4}, {8, 19}}},
        {id::kShiftOutwards, {{2, 2}, {8, 21}}},
        {id::kShiftDownwards, {{3, 3}, {7, 20}}},
        {id::kShiftUpwards, {{1, 3}, {9, 20}}},
        {id::kDeselectAll, {}},
    };
    for (const Case& c : cases) {
        Click(id::kDeselectAll);
        Panel().SetCell(2, 3, true);
        Panel().SetCell(8, 20, true);
        Click(c.button);
        EXPECT_EQ(LitCells(Panel()), c.lit) << c.button;
        EXPECT_TRUE(LedsMatchPanel()) << c.button;
    }
    Click(id::kSelectAll);
    EXPECT_EQ(LitCells(Panel()).size(), 384u);
    Panel().SetCell(0, 0, false);
    Click(id::kInvertGrid);
    EXPECT_THAT(LitCells(Panel()), ElementsAre(std::pair(0, 0)));
    EXPECT_TRUE(LedsMatchPanel());
}

TEST_F(DialogTest, FillModeRadiosSetTheHalfShiftFill) {
    Click(id::kFillAllOn);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::AllOn);
    Click(id::kShiftInwards);  // lights columns 0 and 31
    EXPECT_EQ(LitCells(Panel()).size(), 24u);
    Click(id::kFillCopy);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::Copy);
    EXPECT_FALSE(Get<QRadioButton>(id::kFillAllOn)->isChecked());
    Click(id::kFillAllOff);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::AllOff);
}

TEST_F(DialogTest, ColorAllPodsColoursEveryPodAtTheNextTick) {
    Panel().SetCurrentColor(0x0000FF);
    Click(id::kColorAllPods);
    for (int pod = 0; pod < kPodCount; ++pod)
        EXPECT_EQ(Panel().PodColor(pod), 0x0000FFu);
    Tick();
    for (int pod = 0; pod < kPodCount; ++pod) {
        EXPECT_EQ(dialog_->PodLed(pod)->OffColor(), 0x0000FFu) << pod;
        EXPECT_EQ(dialog_->PodLed(pod)->OnColor(), 0xFFFFFFu) << pod;
        EXPECT_EQ(dialog_->PodLed(pod)->GetState(), 0) << pod;
    }
}

TEST_F(DialogTest, FeatureBoxesFollowTheirRules) {
    Click(id::kLedGridBox);
    EXPECT_TRUE(Panel().Feature(FeatureBox::LedGrid));
    Click(id::kScrollingTextBox);
    EXPECT_TRUE(Panel().Feature(FeatureBox::ScrollingText));
    EXPECT_FALSE(Panel().Feature(FeatureBox::LedGrid));
    EXPECT_FALSE(Get<QCheckBox>(id::kLedGridBox)->isChecked());
    Click(id::kLedGridBox);
    EXPECT_FALSE(Get<QCheckBox>(id::kScrollingTextBox)->isChecked());

    Click(id::kLedRingsBox);
    EXPECT_TRUE(Get<QCheckBox>(id::kGridBrightnessBox)->isChecked());
    EXPECT_TRUE(Get<QCheckBox>(id::kRingBrightnessBox)->isChecked());
    EXPECT_TRUE(Panel().Feature(FeatureBox::RingBrightness));
    Click(id::kLedRingsBox);
    EXPECT_FALSE(Get<QCheckBox>(id::kGridBrightnessBox)->isChecked());
    EXPECT_FALSE(Get<QCheckBox>(id::kRingBrightnessBox)->isChecked());

    Click(id::kRgbPodsBox);
    EXPECT_TRUE(Panel().Feature(FeatureBox::RgbPods));
    EXPECT_EQ(Panel().BuildFeatureMask(false), feature::kLedGrid | feature::kRgbPods);
}

TEST_F(DialogTest, SlidersAndTextBoxWriteThePanel) {
    Get<QSlider>(id::kRingLevel)->setValue(1000);
    Get<QSlider>(id::kGridBrightness)->setValue(3);
    Get<QSlider>(id::kScrollSpeed)->setValue(0);
    EXPECT_EQ(Panel().RingLevel(), 1000);
    EXPECT_EQ(Panel().GridBrightness(), 3);
    EXPECT_EQ(Panel().ScrollSpeed(), 0);

    Show();
    auto* text = Get<QLineEdit>(id::kScrollText);
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("Caf"));
    QKeyEvent accented(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\u00e9"));
    QApplication::sendEvent(text, &accented);
    EXPECT_EQ(Panel().ScrollText(), "Caf\xc3\xa9");

    // The panel's own changes show in the controls.
    Panel().SetRingLevel(7);
    EXPECT_EQ(Get<QSlider>(id::kRingLevel)->value(), 7);
}

TEST_F(DialogTest, ColourBoxGivesItsColourWhenItLosesTheFocus) {
    Show();
    auto* combo = Get<ColorPickerCombo>(id::kPodColour);
    combo->setFocus();
    QApplication::processEvents();
    combo->setCurrentIndex(3);  // "Blue"
    EXPECT_EQ(Panel().CurrentColor(), 0u);
    Get<QLineEdit>(id::kScrollText)->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(Panel().CurrentColor(), 0xFF0000u);
}

TEST_F(DialogTest, DeviceButtonsReachTheLink) {
    Click(id::kSaveSequence);  // nothing ticked: nothing logged
    EXPECT_TRUE(dialog_->Controller().Log().Text().empty());
    Click(id::kLedGridBox);
    Click(id::kSaveSequence);
    EXPECT_EQ(Get<QPlainTextEdit>(id::kDataCenter)->toPlainText().left(22),
              QStringLiteral("LED_data[0]   = 0x000\n"));

    Click(id::kConnectTx);
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QStringLiteral("Device Detected - 0x00"));
    Click(id::kRfMode);
    EXPECT_EQ(Unwrapped(Get<QPushButton>(id::kRfMode)->text()), QStringLiteral("Disable RF Mode"));
    ASSERT_FALSE(transmitter_.WrittenReports().empty());
    EXPECT_EQ(transmitter_.WrittenReports().back()[1], kCommandRfOn);

    transmitter_.ClearRecord();
    Panel().SetCell(0, 0, true);
    Click(id::kUpdateData);
    const auto reports = transmitter_.WrittenReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front()[1], kCommandGrid);

    Click(id::kAutoUpdate);
    EXPECT_TRUE(Panel().AutoUpdate());
    EXPECT_TRUE(dialog_->TimerRunning(kAutoUpdateTimerId));
    Click(id::kAutoUpdate);
    EXPECT_FALSE(dialog_->TimerRunning(kAutoUpdateTimerId));

    Click(id::kRfMode);
    EXPECT_EQ(Unwrapped(Get<QPushButton>(id::kRfMode)->text()), QStringLiteral("Activate RF Mode"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogTest, FailedWriteShowsTheErrorBox) {
    Click(id::kRfMode);  // not connected: the write fails
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(boxes_.size()), 1, 2000);
    EXPECT_EQ(boxes_.front(), QStringLiteral("Error|Write Error"));
    EXPECT_EQ(Panel().RfMode(), 1);
}

TEST_F(DialogTest, ReaderNoticesReachTheUiThread) {
    QThread* uiThread = nullptr;
    std::thread worker([this, &uiThread] {
        dialog_->PostToUiThread([&uiThread] { uiThread = QThread::currentThread(); });
    });
    worker.join();
    EXPECT_EQ(uiThread, nullptr);  // not run inline on the posting thread
    QTRY_COMPARE_WITH_TIMEOUT(uiThread, QApplication::instance()->thread(), 2000);
}

TEST_F(DialogTest, KeysThatEndTheDialog) {
    struct Case {
        int focus;
        int key;
        bool ends;
        int result;
    };
    const Case cases[] = {
        {id::kScrollText, Qt::Key_Return, true, QDialog::Accepted},
        {id::kScrollText, Qt::Key_Enter, true, QDialog::Accepted},
        {id::kRgbPodsBox, Qt::Key_Return, true, QDialog::Accepted},
        {id::kFillAllOn, Qt::Key_Return, true, QDialog::Accepted},
        {id::kRingLevel, Qt::Key_Return, true, QDialog::Accepted},
        {id::kSelectAll, Qt::Key_Escape, true, QDialog::Rejected},
        {id::kScrollText, Qt::Key_Escape, true, QDialog::Rejected},
        {id::kDataCenter, Qt::Key_Return, false, 0},
        {id::kSelectAll, Qt::Key_Return, false, 0},
    };
    for (const Case& c : cases) {
        dialog_ = std::make_unique<ControlCenterDialog>(transmitter_);
        Show();
        dialog_->setResult(-1);
        QWidget* target = dialog_->Control(c.focus);
        target->setFocus();
        QTest::keyClick(target, static_cast<Qt::Key>(c.key));
        EXPECT_EQ(dialog_->isVisible(), !c.ends) << c.focus << " key " << c.key;
        if (c.ends) {
            EXPECT_EQ(dialog_->result(), c.result) << c.focus;
        }
    }
    // The last case: Enter on a push button clicked it.
    EXPECT_EQ(LitCells(Panel()).size(), 384u);
}

TEST_F(DialogTest, MnemonicClicksItsButton) {
    Show();
    dialog_->Control(id::kScrollText)->setFocus();
    // Through the window, as a real key press arrives, so the shortcut map sees it. A mnemonic
    // shows the button going down before it clicks.
    QTest::keyClick(dialog_->windowHandle(), Qt::Key_A, Qt::AltModifier);  // "Select &All"
    QTRY_COMPARE_WITH_TIMEOUT(LitCells(Panel()).size(), std::size_t{384}, 2000);
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(DialogTest, CloseBoxEndsTheLinkPromptlyWhileAReadIsPending) {
    Show();
    Click(id::kConnectTx);
    ASSERT_TRUE(dialog_->Controller().Link().IsConnected());
    QTRY_VERIFY_WITH_TIMEOUT(transmitter_.ReadPending(), 2000);

    QElapsedTimer clock;
    clock.start();
    dialog_->close();
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog_->Controller().Link().IsConnected());
    EXPECT_EQ(transmitter_.OpenHandleCount(), 0);
    EXPECT_FALSE(transmitter_.ReadPending());
    EXPECT_FALSE(dialog_->TimerRunning(kSampleTimerId));
    // A hang guard, not a speed claim: the reader must not wait for a report that never comes.
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(DialogTest, EscapeLeavesTheLinkToTheDialogsEnd) {
    Show();
    Click(id::kConnectTx);
    QTRY_VERIFY_WITH_TIMEOUT(transmitter_.ReadPending(), 2000);
    QTest::keyClick(dialog_->Control(id::kSelectAll), Qt::Key_Escape);
    EXPECT_FALSE(dialog_->isVisible());
    // Escape skips the close step; destroying the dialog still ends the link.
    EXPECT_TRUE(dialog_->Controller().Link().IsConnected());
    dialog_.reset();
    EXPECT_EQ(transmitter_.OpenHandleCount(), 0);
    EXPECT_FALSE(transmitter_.ReadPending());
}

// ---------------------------------------------------------------------------------------------
// The program

QStringList FilesUnder(const QString& root) {
    QStringList found;
    QDir dir(root);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        found.append(info.filePath());
        if (info.isDir())
            found.append(FilesUnder(info.filePath()));
    }
    return found;
}

struct ProgramRun {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out;
};

ProgramRun RunProgram(const QStringList& arguments, const QString& home) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VELTA_PROGRAM_PATH), arguments);
    ProgramRun run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    return run;
}

TEST(Program, PrintsItsVersion) {
    QTemporaryDir home;
    const ProgramRun run = RunProgram({QStringLiteral("--version")}, home.path());
    EXPECT_EQ(run.status, QProcess::NormalExit);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("velta-control-center 1.0.0"));
}

TEST(Program, RunsSimulatedAndLeavesNoFileBehind) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const ProgramRun run = RunProgram(
        {QStringLiteral("--simulate"), QStringLiteral("--quit-after-show")}, home.path());
    EXPECT_EQ(run.status, QProcess::NormalExit);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(FilesUnder(home.path()), IsEmpty());
}

}  // namespace
}  // namespace velta
