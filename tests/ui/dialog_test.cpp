// The window: its layout tables, the Data Center box, and the dialog wired to the real
// controller over a simulated transmitter.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDirIterator>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QResizeEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "device/simulated_transmitter.h"
#include "model/panel_content.h"
#include "ui/color_picker_combo.h"
#include "ui/control_center_dialog.h"
#include "ui/data_center_view.h"
#include "ui/dialog_template.h"
#include "ui/led_placement.h"
#include "ui/panel/led_field.h"

namespace velta {
namespace {

using ui::ControlKind;
using ui::LedKind;
using ui::Rect;
namespace id = ui::id;

using Cells = std::vector<std::pair<int, int>>;

// ---------------------------------------------------------------------------------------------
// Dialog units, the template and the LED places

TEST(DialogUnits, ConvertWithBaseUnitsSixByThirteenAndRectanglesByTheirCorners) {
    const int cases[][3] = {
        // units, units * 1.5, units * 1.625, halves rounded up
        {0, 0, 0},     {1, 2, 2},       {2, 3, 3},       {3, 5, 5},
        {4, 6, 7},     {7, 11, 11},     {8, 12, 13},     {22, 33, 36},
        {66, 99, 107}, {146, 219, 237}, {321, 482, 522}, {675, 1013, 1097},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ui::HorizontalUnitsToPixels(c[0]), c[1]) << c[0];
        EXPECT_EQ(ui::VerticalUnitsToPixels(c[0]), c[2]) << c[0];
    }
    EXPECT_EQ(ui::kClientWidth, 1013);
    EXPECT_EQ(ui::kClientHeight, 522);

    const std::pair<Rect, Rect> rects[] = {
        {{66, 22, 390, 146}, {99, 36, 585, 237}},    // grid frame
        {{2, 0, 517, 191}, {3, 0, 776, 310}},        // display frame
        {{7, 67, 56, 56}, {11, 109, 84, 91}},        // "Master Side" frame
        {{458, 67, 56, 56}, {687, 109, 84, 91}},     // "Secondary Side" frame
        {{66, 4, 390, 21}, {99, 7, 585, 34}},        // top rings
        {{66, 165, 390, 21}, {99, 268, 585, 34}},    // bottom rings
        {{525, 35, 147, 282}, {788, 57, 220, 458}},  // Data Center
        {{7, 209, 49, 14}, {11, 340, 73, 22}},       // "Select &All"
    };
    for (const auto& [units, pixels] : rects)
        EXPECT_EQ(ui::UnitsToPixels(units), pixels) << units.x << "," << units.y;
}

TEST(DialogTemplate, HoldsEveryControlOnceInTabOrderInsideTheClientArea) {
    const Rect client{0, 0, ui::kClientWidth, ui::kClientHeight};
    std::set<int> ids;
    std::vector<int> counts(8);
    for (const auto& control : ui::kDialogTemplate) {
        EXPECT_GT(control.units.width, 0);
        EXPECT_GT(control.units.height, 0);
        EXPECT_TRUE(client.Contains(ui::UnitsToPixels(control.units))) << control.id;
        EXPECT_TRUE(control.id == ui::kNoId || ids.insert(control.id).second) << control.id;
        ++counts[static_cast<std::size_t>(control.kind)];
    }
    // Push buttons, radio buttons, check boxes, frames, labels, edits, combo box, sliders.
    EXPECT_EQ(counts, (std::vector<int>{16, 3, 7, 14, 10, 3, 1, 3}));

    // Spot checks of position in the order, id, caption and rectangle.
    const std::tuple<std::size_t, int, std::string_view, Rect> spots[] = {
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
    for (const auto& [position, controlId, caption, units] : spots) {
        const auto& control = ui::kDialogTemplate[position];
        EXPECT_EQ(control.id, controlId) << position;
        EXPECT_EQ(control.caption, caption) << position;
        EXPECT_EQ(control.units, units) << position;
    }
    EXPECT_EQ(ui::kDialogTemplate.back().caption, "Scroll Speed");
    EXPECT_EQ(ui::FindTemplateControl(1062)->kind, ControlKind::Edit);
    EXPECT_EQ(ui::FindTemplateControl(ui::kNoId), nullptr);
    EXPECT_EQ(ui::FindTemplateControl(1015), nullptr);
}

ui::LedPoint Position(LedKind kind, int index) {
    return kind == LedKind::GridCell ? ui::GridLedPosition(index)
           : kind == LedKind::Pod    ? ui::PodLedPosition(index)
                                     : ui::RingLedPosition(index);
}

Rect LedRect(ui::LedPoint p) {
    return {p.x, p.y, ui::kLedWidth, ui::kLedHeight};
}

TEST(LedPlacement, GridRingAndPodPositions) {
    const std::tuple<LedKind, int, ui::LedPoint> cases[] = {
        {LedKind::GridCell, 0, {102, 50}},  {LedKind::GridCell, 31, {660, 50}},
        {LedKind::GridCell, 32, {102, 68}}, {LedKind::GridCell, 383, {660, 248}},
        {LedKind::Ring, 0, {110, 18}},      {LedKind::Ring, 3, {650, 18}},
        {LedKind::Ring, 4, {110, 279}},     {LedKind::Ring, 7, {650, 279}},
        {LedKind::Ring, 8, {40, 35}},       {LedKind::Ring, 9, {40, 265}},
        {LedKind::Ring, 10, {730, 265}},    {LedKind::Ring, 11, {730, 35}},
    };
    for (const auto& [kind, index, at] : cases)
        EXPECT_EQ(Position(kind, index), at) << static_cast<int>(kind) << " " << index;

    const ui::LedPoint pods[kPodCount] = {
        {72, 148},  {54, 139},  {54, 157},  {36, 130},  {36, 148},  {36, 166},  {18, 121},
        {18, 139},  {18, 157},  {18, 175},  {688, 148}, {706, 157}, {706, 139}, {724, 166},
        {724, 148}, {724, 130}, {742, 175}, {742, 157}, {742, 139}, {742, 121},
    };
    for (int pod = 0; pod < kPodCount; ++pod)
        EXPECT_EQ(ui::PodLedPosition(pod), pods[pod]) << pod;
}

TEST(LedPlacement, CreationOrderCoversEveryLedOnce) {
    std::vector<std::pair<LedKind, int>> expected;
    for (int i = 0; i < kCellCount + kPodCount; ++i)
        expected.emplace_back(i < kCellCount ? LedKind::GridCell : LedKind::Pod, i % kCellCount);
    for (int ring : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 9, 10})
        expected.emplace_back(LedKind::Ring, ring);
    std::vector<std::pair<LedKind, int>> order;
    for (const auto& led : ui::LedPlacements())
        order.emplace_back(led.kind, led.index);
    EXPECT_EQ(order, expected);
}

bool Apart(const Rect& a, const Rect& b) {
    return a.Right() <= b.x || b.Right() <= a.x || a.Bottom() <= b.y || b.Bottom() <= a.y;
}

TEST(LedPlacement, OnlyVerticalNeighboursOverlapByOnePixel) {
    const auto all = ui::LedPlacements();
    int overlaps = 0;
    for (std::size_t a = 0; a < all.size(); ++a) {
        for (std::size_t b = a + 1; b < all.size(); ++b) {
            const Rect ra = LedRect(all[a].topLeft);
            const Rect rb = LedRect(all[b].topLeft);
            if (Apart(ra, rb))
                continue;
            // LEDs are 19 pixels high on an 18-pixel pitch: a LED and the one right under it
            // share one pixel row, nothing else touches.
            ++overlaps;
            const int overlapH = std::min(ra.Bottom(), rb.Bottom()) - std::max(ra.y, rb.y);
            EXPECT_TRUE(ra.x == rb.x && overlapH == 1) << a << " overlaps " << b;
        }
    }
    // 11 row pairs in 32 columns, and 0 + 1 + 2 + 3 pairs in each pod triangle.
    EXPECT_EQ(overlaps, 11 * 32 + 2 * 6);
}

TEST(LedPlacement, FramesEncloseTheirLedsAndNoLedSitsOnAControl) {
    const std::tuple<Rect, LedKind, int, int> groups[] = {
        {{66, 22, 390, 146}, LedKind::GridCell, 0, kCellCount - 1},
        {{7, 67, 56, 56}, LedKind::Pod, 0, 9},      // master pods
        {{458, 67, 56, 56}, LedKind::Pod, 10, 19},  // secondary pods
        {{66, 4, 390, 21}, LedKind::Ring, 0, 3},    // top rings
        {{66, 165, 390, 21}, LedKind::Ring, 4, 7},  // bottom rings
        {{2, 0, 517, 191}, LedKind::Ring, 8, 11},   // corner rings in the display frame
    };
    for (const auto& [units, kind, first, last] : groups) {
        for (int i = first; i <= last; ++i) {
            EXPECT_TRUE(ui::UnitsToPixels(units).Contains(LedRect(Position(kind, i))))
                << units.x << "," << units.y << " LED " << i;
        }
    }
    for (const auto& led : ui::LedPlacements()) {
        for (const auto& control : ui::kDialogTemplate) {
            EXPECT_TRUE(control.kind == ControlKind::GroupBox ||
                        Apart(LedRect(led.topLeft), ui::UnitsToPixels(control.units)))
                << "LED " << led.index << " on control " << control.id;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The Data Center box

// The line index: lines end at LF (the CR before it is part of the line end, even while its LF
// has yet to come), across many marks and refreshes that split the log anywhere.
TEST(DataCenterView, IndexesTheLinesOfEveryRefresh) {
    std::string log;
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        lines.push_back(i % 50 == 7 ? "" : "RGB_data[" + std::to_string(i) + "] = 0x0A");
        log += lines.back() + "\r\n";
    }
    lines.emplace_back();  // after the last line end, an empty line
    const struct {
        const char* name;
        std::vector<std::size_t> refreshes;  // how much of the log each refresh shows
    } cases[] = {
        {"whole log at once", {log.size()}},
        {"block by block", {100, 2000, 4000, log.size()}},
        {"split inside a CR LF", {log.find('\r') + 1, log.find('\r', 500) + 1, log.size()}},
        {"byte by byte near a mark", {1400, 1401, 1402, 1403, log.size()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string shown;
        DataCenterView view([&shown] { return std::string_view(shown); });
        std::size_t before = 0;
        for (const std::size_t length : c.refreshes) {
            shown = log.substr(0, length);
            view.Refresh(shown, before);
            before = length;
            EXPECT_EQ(view.Caret(), shown.size() - (shown.back() == '\r' ? 1 : 0));
        }
        ASSERT_EQ(view.LineCount(), static_cast<int>(lines.size()));
        for (int i = 0; i < view.LineCount(); ++i) {
            ASSERT_EQ(view.Line(i), lines[static_cast<std::size_t>(i)]) << "line " << i;
            ASSERT_EQ(view.LineOf(view.LineStart(i)), i);
        }
    }
    // A refresh that does not continue what the view holds shows the log anew.
    std::string other = "q\r\nr";
    DataCenterView view([&other] { return std::string_view(other); });
    view.Refresh("x\r\ny\r\nz", 0);
    view.Refresh(other, 1);
    EXPECT_EQ(view.LineCount(), 2);
    EXPECT_EQ(view.Line(1), "r");
}

// What the user can do in the box, step by step on one log: select with keys and mouse, copy the
// log's own bytes, and nothing typed ever shows.
TEST(DataCenterView, SelectsAndCopiesButTakesNoTyping) {
    std::string log =
        "LED_data[0]   = 0x000\r\nLED_data[31] = 0xFFF\r\n\r\nRGB_data[0]   = 0x0A\r\n";
    DataCenterView view([&log] { return std::string_view(log); });
    view.resize(220, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.Refresh(log, 0);
    const auto key = [&view](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return [&view, k, m] { QTest::keyClick(&view, k, m); };
    };
    const auto drag = [&view](std::size_t from, std::size_t to) {
        return [&view, from, to] {
            QWidget* port = view.viewport();
            QTest::mousePress(port, Qt::LeftButton, {}, view.CharRect(from).bottomLeft());
            QMouseEvent move(QEvent::MouseMove, view.CharRect(to).bottomLeft(),
                             port->mapToGlobal(view.CharRect(to).bottomLeft()), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(port, &move);
            QTest::mouseRelease(port, Qt::LeftButton, {}, view.CharRect(to).bottomLeft());
        };
    };
    const std::size_t line1 = log.find("LED_data[31]");
    const std::size_t rgb = log.find("RGB");
    const struct {
        const char* name;
        std::function<void()> act;
        std::string selected;
        std::size_t caret;
    } steps[] = {
        {"refreshed: caret at the end", [] {}, "", log.size()},
        {"Ctrl+Home", key(Qt::Key_Home, Qt::ControlModifier), "", 0},
        {"Shift+Down", key(Qt::Key_Down, Qt::ShiftModifier), log.substr(0, line1), line1},
        {"Shift+End", key(Qt::Key_End, Qt::ShiftModifier), log.substr(0, line1 + 20), line1 + 20},
        {"typing and Enter change nothing",
         [&view] {
             QTest::keyClicks(&view, "typed");
             QTest::keyClick(&view, Qt::Key_Return);
             QTest::keyClick(&view, Qt::Key_Backspace);
         },
         log.substr(0, line1 + 20), line1 + 20},
        {"Right ends the selection at its end", key(Qt::Key_Right), "", line1 + 20},
        {"Right at a line end goes to the next line", key(Qt::Key_Right), "", rgb - 2},
        {"Left at a line start goes to the line end before", key(Qt::Key_Left), "", line1 + 20},
        {"Ctrl+A", key(Qt::Key_A, Qt::ControlModifier), log, log.size()},
        {"dragging over a word", drag(rgb, rgb + 8), "RGB_data", rgb + 8},
        {"double-click on a value",
         [&view, rgb] {
             QTest::mouseDClick(view.viewport(), Qt::LeftButton, {},
                                view.CharRect(rgb + 17).center());
         },
         "0x0A", rgb + 20},
        {"a refresh clears the selection",
         [&view, &log] {
             const std::size_t before = log.size();
             log += "RGB_data[1]   = 0xFF\r\n";
             view.Refresh(log, before);
         },
         "", log.size() + 22},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(view.SelectedText(), step.selected);
        EXPECT_EQ(view.Caret(), step.caret);
        EXPECT_EQ(view.Text(), log);  // the box shows the log and nothing else
        QApplication::clipboard()->clear();
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), step.selected);
    }
    // In a box too small for the log, a refresh brings the last line into sight.
    view.resize(220, 60);
    view.Refresh(log, log.size());
    EXPECT_EQ(view.FirstVisibleLine() + view.VisibleLines(), view.LineCount());
    // Assistive technology reads the log as it is.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Data Center"));
    EXPECT_TRUE(accessible->state().readOnly);
    ASSERT_NE(accessible->textInterface(), nullptr);
    EXPECT_EQ(accessible->textInterface()->text(0, -1).toStdString(), log);
    int start = 0;
    int end = 0;
    EXPECT_EQ(
        accessible->textInterface()
            ->textAtOffset(static_cast<int>(line1) + 3, QAccessible::LineBoundary, &start, &end)
            .toStdString(),
        "LED_data[31] = 0xFFF\r\n");
}

// ---------------------------------------------------------------------------------------------
// The dialog

Cells LitCells(const PanelState& panel) {
    Cells lit;
    for (int i = 0; i < kCellCount; ++i) {
        if (panel.Cell(i))
            lit.emplace_back(i / kColumns, i % kColumns);
    }
    return lit;
}

// An LED's look: the disc's fill at its centre and the off-colour ring just inside the outline.
constexpr QPoint kLedCentre(10, 8);
constexpr QPoint kLedRing(4, 8);

QImage LedImage(LedField* field, int index) {
    return field->grab(field->LedRect(index)).toImage();
}
QRgb LedPixel(LedField* field, int index, QPoint at) {
    return LedImage(field, index).pixel(at) & 0xFFFFFFu;
}

// Lit: the fill shows the on colour, which differs from the ring's off colour.
bool Lit(LedField* field, int index) {
    const QImage image = LedImage(field, index);
    return image.pixel(kLedCentre) != image.pixel(kLedRing);
}

// Where an LED sits in the dialog.
QRect LedGeometry(const LedField* field, int index) {
    return field->LedRect(index).translated(field->pos());
}

QString Caption(QWidget* button) {
    return static_cast<QAbstractButton*>(button)->text().replace(QLatin1Char('\n'),
                                                                 QLatin1Char(' '));
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
    // LED changes are gathered in one pass and painted in the next.
    static void Settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }
    bool Checked(int controlId) { return Get<QAbstractButton>(controlId)->isChecked(); }
    PanelState& Panel() { return dialog_->Panel(); }
    // Fires the painting tick as its timer would; false when that timer is not running.
    bool Tick() {
        for (QTimer* timer : dialog_->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
            if (timer->isActive() && timer->interval() == kSampleTimerPeriodMs)
                return QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
        }
        return false;
    }
    std::string DataCenterText() {
        return std::string(Get<DataCenterView>(id::kDataCenter)->Text());
    }

    LedField* Led(LedKind kind, int index) { return dialog_->FieldOf(kind, index); }
    LedField* Grid() { return dialog_->Field(ui::field_id::kGrid); }
    // A left click on an LED's middle.
    void ClickLed(LedKind kind, int index) {
        LedField* field = Led(kind, index);
        QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier, field->LedRect(index).center());
    }
    bool LedsMatchPanel() {
        for (const auto& p : ui::LedPlacements()) {
            const bool on = p.kind == LedKind::GridCell ? Panel().Cell(p.index)
                            : p.kind == LedKind::Pod    ? Panel().PodMark(p.index)
                                                        : Panel().RingOn(p.index);
            if (Lit(Led(p.kind, p.index), p.index) != on)
                return false;
        }
        return true;
    }

    // Periods of the dialog's timers that are running, shortest first.
    std::vector<int> RunningTimerPeriods() const {
        std::vector<int> periods;
        for (const QTimer* timer : dialog_->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
            if (timer->isActive())
                periods.push_back(timer->interval());
        }
        std::sort(periods.begin(), periods.end());
        return periods;
    }
    bool TimerRunsEvery(int periodMs) const {
        const std::vector<int> periods = RunningTimerPeriods();
        return std::find(periods.begin(), periods.end(), periodMs) != periods.end();
    }

    SimulatedTransmitter transmitter_;
    // At the size the panel was designed for: scale 1, whatever the desktop's font.
    std::unique_ptr<ControlCenterDialog> dialog_ = MakeDialog(transmitter_);
    static std::unique_ptr<ControlCenterDialog> MakeDialog(HidTransport& transport) {
        auto dialog = std::make_unique<ControlCenterDialog>(transport);
        dialog->resize(ui::kClientWidth, ui::kClientHeight);
        // A hidden widget hears of its size only when shown; the layout is wanted now.
        QResizeEvent resized(dialog->size(), dialog->size());
        QApplication::sendEvent(dialog.get(), &resized);
        return dialog;
    }
    QTimer boxCloser_;
    std::vector<QString> boxes_;
    struct PaintCounter : QObject {
        int count = 0;
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            count += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } frameWatch_;
};

TEST_F(DialogTest, StartsWithTheDefaults) {
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("Velta Control Center"));
    EXPECT_EQ(dialog_->PanelScale(), 1.0);
    EXPECT_TRUE(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint);
    // Every LED starts off, in black.
    for (const auto& p : ui::LedPlacements()) {
        LedField* led = Led(p.kind, p.index);
        ASSERT_NE(led, nullptr);
        EXPECT_TRUE(LedPixel(led, p.index, kLedCentre) == 0u &&
                    LedPixel(led, p.index, kLedRing) == 0u)
            << static_cast<int>(p.kind) << " " << p.index;
    }

    EXPECT_TRUE(Checked(id::kFillAllOff));
    EXPECT_FALSE(Checked(id::kFillAllOn));
    const int sliders[][3] = {
        {id::kRingLevel, 4095, 4095}, {id::kGridBrightness, 15, 15}, {id::kScrollSpeed, 15, 15}};
    for (const auto& [slider, value, maximum] : sliders) {
        EXPECT_EQ(Get<QSlider>(slider)->value(), value) << slider;
        EXPECT_EQ(Get<QSlider>(slider)->maximum(), maximum) << slider;
    }
    for (int box : {1051, 1052, 1053, 1054, 1055, 1056, 1059}) {
        EXPECT_FALSE(Checked(box)) << box;
        EXPECT_EQ(dialog_->Control(box)->isEnabled(), box != 1052 && box != 1053) << box;
    }
    EXPECT_EQ(Get<QComboBox>(id::kPodColour)->currentText(), QStringLiteral("Off"));
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QString());
    EXPECT_TRUE(Get<QLineEdit>(id::kStatus)->isReadOnly());
    EXPECT_EQ(Caption(dialog_->Control(id::kRfMode)), QStringLiteral("Activate RF Mode"));
    EXPECT_EQ(RunningTimerPeriods(), std::vector<int>{});  // idle: no ticks

    Show();
    EXPECT_EQ(QApplication::focusWidget(), dialog_->Control(id::kSelectAll));

    // Lit, each shows blue (0x00BBGGRR 0xFF0000 is 0x0000FF on screen) inside the black ring.
    for (int i = 0; i < kCellCount; ++i)
        Panel().SetCell(i, true);
    for (int pod = 0; pod < kPodCount; ++pod)
        Panel().SetPodMark(pod, true);
    for (int ring = 0; ring < kRingCount; ++ring)
        Panel().SetRingOn(ring, true);
    for (const auto& p : ui::LedPlacements()) {
        LedField* led = Led(p.kind, p.index);
        EXPECT_TRUE(LedPixel(led, p.index, kLedCentre) == 0x0000FFu &&
                    LedPixel(led, p.index, kLedRing) == 0u)
            << static_cast<int>(p.kind) << " " << p.index;
    }
}

TEST_F(DialogTest, ControlsAndLedsSitAtTheirPixelPlaces) {
    for (const auto& control : ui::kDialogTemplate) {
        if (control.id == ui::kNoId)
            continue;
        const Rect r = ui::UnitsToPixels(control.units);
        const QRect got = dialog_->Control(control.id)->geometry();
        if (control.kind == ControlKind::ComboBox) {  // the template height includes the list
            EXPECT_EQ(got.topLeft(), QPoint(r.x, r.y));
            EXPECT_EQ(got.width(), r.width);
            EXPECT_LE(got.height(), r.height);
        } else {
            EXPECT_EQ(got, QRect(r.x, r.y, r.width, r.height)) << control.id;
        }
    }
    const int corner = PanelState::CellIndex(11, 31);
    EXPECT_EQ(LedGeometry(Led(LedKind::GridCell, corner), corner), QRect(660, 248, 18, 19));
    EXPECT_EQ(LedGeometry(Led(LedKind::Ring, 10), 10), QRect(730, 265, 18, 19));
    EXPECT_EQ(LedGeometry(Led(LedKind::Pod, 19), 19), QRect(742, 121, 18, 19));

    // The frames are siblings of the LEDs, lowered behind every other control.
    const auto widgets = dialog_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_TRUE(std::is_partitioned(widgets.begin(), widgets.end(), [](QWidget* w) {
        return qobject_cast<QGroupBox*>(w) != nullptr;
    }));
    const auto frames = dialog_->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
    const auto grid = std::find_if(frames.begin(), frames.end(), [](QGroupBox* frame) {
        return frame->geometry() == QRect(99, 36, 585, 237);
    });
    ASSERT_NE(grid, frames.end());
    EXPECT_TRUE((*grid)->geometry().contains(Grid()->geometry()));
}

// The table is the chain: every focusable control and LED field once, and Tab goes that way
// (through a group of radio buttons once, skipping the greyed-out boxes).
TEST_F(DialogTest, TabFollowsTheReadingOrderTable) {
    std::multiset<int> listed(ui::kTabOrder.begin(), ui::kTabOrder.end());
    std::multiset<int> focusable(ui::kLedFields.begin(), ui::kLedFields.end());
    for (const auto& control : ui::kDialogTemplate) {
        if ((control.flags & ui::flag::kInTabOrder) != 0 ||
            control.kind == ControlKind::RadioButton)
            focusable.insert(control.id);
    }
    EXPECT_EQ(listed, focusable);

    std::vector<int> expected;
    for (int stop : ui::kTabOrder) {
        if (dialog_->TabStop(stop)->isEnabled() && stop != id::kFillAllOn && stop != id::kFillCopy)
            expected.push_back(stop);
    }
    Show();
    std::vector<int> visited;
    dialog_->TabStop(ui::kTabOrder.front())->setFocus(Qt::TabFocusReason);
    for (std::size_t n = 0; n < expected.size() + 1; ++n) {
        const auto stop = std::find_if(ui::kTabOrder.begin(), ui::kTabOrder.end(), [&](int id) {
            return dialog_->TabStop(id) == QApplication::focusWidget();
        });
        visited.push_back(stop == ui::kTabOrder.end() ? 0 : *stop);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    expected.push_back(expected.front());  // round again
    EXPECT_EQ(visited, expected);
}

TEST_F(DialogTest, ClickingALedTogglesOnlyItsCellAndRunsNoCommand) {
    Show();
    // A frame behind an LED is never repainted for it: the fields paint every pixel they own.
    for (QGroupBox* frame : dialog_->findChildren<QGroupBox*>())
        frame->installEventFilter(&frameWatch_);
    Grid()->setFocus();
    Settle();
    frameWatch_.count = 0;
    const int cell = PanelState::CellIndex(4, 7);
    ClickLed(LedKind::GridCell, cell);
    EXPECT_EQ(LitCells(Panel()), (Cells{{4, 7}}));
    EXPECT_TRUE(Lit(Grid(), cell));
    ClickLed(LedKind::GridCell, cell);
    EXPECT_EQ(LitCells(Panel()), Cells{});
    EXPECT_FALSE(Lit(Grid(), cell));
    // No command ran: nothing was logged, shown or sent.
    EXPECT_EQ(DataCenterText(), "");
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QString());
    EXPECT_TRUE(transmitter_.WrittenReports().empty());

    ClickLed(LedKind::Pod, 3);
    EXPECT_TRUE(Panel().PodMark(3));
    ClickLed(LedKind::Ring, 11);
    EXPECT_TRUE(Panel().RingOn(11));
    dialog_->Controller().OnGridCommand(GridCommand::SelectAll);
    Settle();
    EXPECT_TRUE(LedsMatchPanel());
    EXPECT_EQ(frameWatch_.count, 0);
}

TEST_F(DialogTest, RightButtonPaintsAndMiddleButtonErasesOnTheTick) {
    Show();
    // Press the right button over cell (3, 4); the field under the press keeps the moves.
    const QPoint at = Grid()->LedRect(PanelState::CellIndex(3, 4)).center();
    SendMouse(Grid(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    EXPECT_TRUE(Tick());
    for (QPoint to : {at + QPoint(2 * 18, 0), at + QPoint(0, 18)}) {
        SendMouse(Grid(), QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
        EXPECT_TRUE(Tick());
    }
    EXPECT_EQ(LitCells(Panel()), (Cells{{3, 4}, {3, 6}, {4, 4}}));
    SendMouse(Grid(), QEvent::MouseButtonRelease, at + QPoint(0, 18), Qt::RightButton,
              Qt::NoButton);

    // Without a button held nothing is painted.
    SendMouse(Grid(), QEvent::MouseMove, Grid()->LedRect(PanelState::CellIndex(8, 20)).center(),
              Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(Tick());
    EXPECT_EQ(LitCells(Panel()).size(), 3u);

    // The middle button erases, here from a press on the dialog itself.
    const QPoint onCell36 = LedGeometry(Grid(), PanelState::CellIndex(3, 6)).center();
    SendMouse(dialog_.get(), QEvent::MouseButtonPress, onCell36, Qt::MiddleButton,
              Qt::MiddleButton);
    EXPECT_TRUE(Tick());
    SendMouse(dialog_.get(), QEvent::MouseButtonRelease, onCell36, Qt::MiddleButton, Qt::NoButton);
    EXPECT_EQ(LitCells(Panel()), (Cells{{3, 4}, {4, 4}}));

    const PointerSample sample = dialog_->SamplePointer();
    EXPECT_EQ(QPoint(sample.x, sample.y), onCell36);
    EXPECT_FALSE(sample.rightHeld || sample.middleHeld);
    EXPECT_TRUE(LedsMatchPanel());
}

// Scaled, the panel keeps its layout: a click lands on the LED under the pointer, and the
// painting tick reads the pointer in the panel's pixels at scale 1.
TEST_F(DialogTest, ClicksAndPaintingLandOnTheLedAtEveryScale) {
    const std::tuple<double, LedKind, int> cases[] = {
        {1.0, LedKind::GridCell, PanelState::CellIndex(0, 0)},
        {1.5, LedKind::GridCell, PanelState::CellIndex(7, 19)},
        {1.5, LedKind::Pod, 14},
        {1.5, LedKind::Ring, 9},
        {2.0, LedKind::GridCell, PanelState::CellIndex(11, 31)},
        {2.0, LedKind::Pod, 6},
        {2.0, LedKind::Ring, 2},
    };
    Show();
    for (const auto& [scale, kind, index] : cases) {
        // A little wider than the panel: it stays centred.
        dialog_->resize(ui::ScaleEdge(ui::kClientWidth, scale) + 10,
                        ui::ScaleEdge(ui::kClientHeight, scale));
        ASSERT_EQ(dialog_->PanelScale(), scale);
        EXPECT_EQ(dialog_->PanelOrigin(), QPoint(5, 0));
        LedField* field = Led(kind, index);
        const QRect led = LedGeometry(field, index);
        EXPECT_EQ(led.width(), ui::ScaleEdge(18, scale)) << scale;
        // A left click in the middle switches it, and only it. A marked pod may already have
        // taken its colour (and lost its mark) if the painting tick came during the click.
        const LedColors podColours = Panel().PodLedColors(index);
        const auto on = [&] {
            return kind == LedKind::GridCell ? Panel().Cell(index)
                   : kind == LedKind::Pod    ? Panel().PodMark(index) ||
                                                Panel().PodLedColors(index) != podColours
                                             : Panel().RingOn(index);
        };
        const bool before = on();
        QTest::mouseClick(dialog_->windowHandle(), Qt::LeftButton, Qt::NoModifier, led.center());
        EXPECT_NE(on(), before) << scale << " " << index;
        if (kind != LedKind::GridCell)
            continue;
        // The right button over it paints that cell.
        Click(id::kDeselectAll);
        SendMouse(dialog_.get(), QEvent::MouseButtonPress, led.center(), Qt::RightButton,
                  Qt::RightButton);
        EXPECT_TRUE(Tick());
        SendMouse(dialog_.get(), QEvent::MouseButtonRelease, led.center(), Qt::RightButton,
                  Qt::NoButton);
        EXPECT_EQ(LitCells(Panel()), (Cells{{index / kColumns, index % kColumns}})) << scale;
    }
}

TEST_F(DialogTest, GridButtonsAndFillModesRunTheirCommands) {
    const std::pair<int, Cells> cases[] = {
        // from (2, 3) and (8, 20) lit
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
    for (const auto& [button, lit] : cases) {
        Click(id::kDeselectAll);
        Panel().SetCell(2, 3, true);
        Panel().SetCell(8, 20, true);
        Click(button);
        EXPECT_EQ(LitCells(Panel()), lit) << button;
        EXPECT_TRUE(LedsMatchPanel()) << button;
    }
    Click(id::kSelectAll);
    EXPECT_EQ(LitCells(Panel()).size(), 384u);
    Panel().SetCell(0, 0, false);
    Click(id::kInvertGrid);
    EXPECT_EQ(LitCells(Panel()), (Cells{{0, 0}}));
    EXPECT_TRUE(LedsMatchPanel());

    Click(id::kDeselectAll);
    Click(id::kFillAllOn);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::AllOn);
    Click(id::kShiftInwards);  // lights columns 0 and 31
    EXPECT_EQ(LitCells(Panel()).size(), 24u);
    Click(id::kFillCopy);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::Copy);
    EXPECT_FALSE(Checked(id::kFillAllOn));
    Click(id::kFillAllOff);
    EXPECT_EQ(Panel().GetFillMode(), FillMode::AllOff);
}

TEST_F(DialogTest, ColorAllPodsColoursEveryPodAtTheNextTick) {
    Panel().SetCurrentColor(0x0000FF);
    Click(id::kColorAllPods);
    for (int pod = 0; pod < kPodCount; ++pod)
        EXPECT_EQ(Panel().PodColor(pod), 0x0000FFu);
    EXPECT_TRUE(Tick());
    // Unmarked, each pod shows its colour (red, 0x0000FF as 0x00BBGGRR) in fill and ring;
    // marked, it shows white inside the red ring.
    for (int pod = 0; pod < kPodCount; ++pod) {
        LedField* led = Led(LedKind::Pod, pod);
        EXPECT_TRUE(LedPixel(led, pod, kLedCentre) == 0xFF0000u &&
                    LedPixel(led, pod, kLedRing) == 0xFF0000u)
            << pod;
        Panel().SetPodMark(pod, true);
        EXPECT_TRUE(LedPixel(led, pod, kLedCentre) == 0xFFFFFFu &&
                    LedPixel(led, pod, kLedRing) == 0xFF0000u)
            << pod;
    }
}

TEST_F(DialogTest, FeatureBoxesFollowTheirRules) {
    Click(id::kLedGridBox);
    EXPECT_TRUE(Panel().Feature(FeatureBox::LedGrid));
    Click(id::kScrollingTextBox);  // excludes the grid, both ways
    EXPECT_TRUE(Panel().Feature(FeatureBox::ScrollingText));
    EXPECT_FALSE(Panel().Feature(FeatureBox::LedGrid));
    EXPECT_FALSE(Checked(id::kLedGridBox));
    Click(id::kLedGridBox);
    EXPECT_FALSE(Checked(id::kScrollingTextBox));

    for (bool on : {true, false}) {  // the rings box carries both brightness boxes
        Click(id::kLedRingsBox);
        EXPECT_EQ(Checked(id::kGridBrightnessBox), on);
        EXPECT_EQ(Checked(id::kRingBrightnessBox), on);
        EXPECT_EQ(Panel().Feature(FeatureBox::RingBrightness), on);
    }
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
    EXPECT_EQ(DataCenterText(), "");
    Click(id::kLedGridBox);
    Click(id::kSaveSequence);
    EXPECT_EQ(DataCenterText().substr(0, 23), "LED_data[0]   = 0x000\r\n");
    // What is typed into the box never shows there: it shows the log that Copy and Export give.
    Show();
    Get<DataCenterView>(id::kDataCenter)->setFocus();
    QTest::keyClicks(dialog_->Control(id::kDataCenter), "typed");
    EXPECT_EQ(DataCenterText(), dialog_->Controller().DataCenterText());

    Click(id::kConnectTx);
    EXPECT_EQ(Get<QLineEdit>(id::kStatus)->text(), QStringLiteral("Device Detected - 0x00"));
    Click(id::kRfMode);
    EXPECT_EQ(Caption(dialog_->Control(id::kRfMode)), QStringLiteral("Disable RF Mode"));
    QTRY_VERIFY_WITH_TIMEOUT(dialog_->Controller().SendsInFlight() == 0, 2000);
    ASSERT_FALSE(transmitter_.WrittenReports().empty());
    EXPECT_EQ(transmitter_.WrittenReports().back()[1], kCommandRfOn);

    // The device holds the write: Space on Update Data returns, and the button is disabled until
    // the answer comes back, then has the keyboard's focus again.
    transmitter_.ClearRecord();
    transmitter_.StallWrites(true);
    Panel().SetCell(0, 0, true);
    QWidget* update = dialog_->Control(id::kUpdateData);
    update->setFocus();
    QTest::keyClick(update, Qt::Key_Space);
    EXPECT_FALSE(update->isEnabled());
    EXPECT_TRUE(dialog_->Control(id::kRfMode)->isEnabled());
    transmitter_.StallWrites(false);
    QTRY_VERIFY_WITH_TIMEOUT(update->isEnabled(), 2000);
    EXPECT_TRUE(update->hasFocus());
    ASSERT_FALSE(transmitter_.WrittenReports().empty());
    EXPECT_EQ(transmitter_.WrittenReports().front()[1], kCommandGrid);

    for (bool on : {true, false}) {
        Click(id::kAutoUpdate);
        EXPECT_EQ(Panel().AutoUpdate(), on);
        EXPECT_EQ(TimerRunsEvery(kAutoUpdateTimerPeriodMs), on);
    }
    Click(id::kRfMode);
    EXPECT_EQ(Caption(dialog_->Control(id::kRfMode)), QStringLiteral("Activate RF Mode"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogTest, FailedWriteShowsTheErrorBox) {
    Click(id::kRfMode);  // not connected: the write fails
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(boxes_.size()), 1, 2000);
    EXPECT_EQ(boxes_.front(), QStringLiteral("Error|Write Error"));
    EXPECT_TRUE(Panel().RfMode());
}

TEST_F(DialogTest, ReaderNoticesReachTheUiThread) {
    QThread* uiThread = nullptr;
    std::thread([this, &uiThread] {
        dialog_->PostToUiThread([&uiThread] { uiThread = QThread::currentThread(); });
    }).join();
    EXPECT_EQ(uiThread, nullptr);  // not run inline on the posting thread
    QTRY_COMPARE_WITH_TIMEOUT(uiThread, QApplication::instance()->thread(), 2000);
}

TEST_F(DialogTest, KeysThatEndTheDialog) {
    constexpr int kStays = -1;
    const int cases[][3] = {
        // focus, key, result
        {id::kScrollText, Qt::Key_Return, kStays},  // takes the text typed so far
        {id::kScrollText, Qt::Key_Enter, kStays},
        {id::kStatus, Qt::Key_Return, QDialog::Accepted},
        {ui::field_id::kGrid, Qt::Key_Return, kStays},  // switches the focus LED
        {id::kRgbPodsBox, Qt::Key_Return, QDialog::Accepted},
        {id::kFillAllOn, Qt::Key_Return, QDialog::Accepted},
        {id::kRingLevel, Qt::Key_Return, QDialog::Accepted},
        {id::kPodColour, Qt::Key_Return, QDialog::Accepted},
        {id::kSelectAll, Qt::Key_Escape, QDialog::Rejected},
        {id::kScrollText, Qt::Key_Escape, QDialog::Rejected},
        {id::kDataCenter, Qt::Key_Return, kStays},
        {id::kSelectAll, Qt::Key_Return, kStays},
    };
    for (const auto& [focus, key, result] : cases) {
        dialog_ = MakeDialog(transmitter_);
        Show();
        dialog_->setResult(kStays);
        QWidget* target = dialog_->TabStop(focus);
        target->setFocus();
        QTest::keyClick(target, static_cast<Qt::Key>(key));
        EXPECT_EQ(dialog_->isVisible(), result == kStays) << focus << " key " << key;
        EXPECT_EQ(dialog_->result(), result) << focus << " key " << key;
    }
    // The last case: Enter on a push button clicked it.
    EXPECT_EQ(LitCells(Panel()).size(), 384u);
}

// Space or Enter on a field's focus LED is the click: the same controller call, so the same undo
// step, and the keys move the focus LED the field shows.
TEST_F(DialogTest, KeyboardSwitchesAsAClickDoes) {
    const std::tuple<int, std::vector<Qt::Key>, LedKind, int> cases[] = {
        // field, keys, the LED they switch
        {ui::field_id::kGrid, {Qt::Key_Down, Qt::Key_Right, Qt::Key_Space}, LedKind::GridCell, 33},
        {ui::field_id::kGrid,
         {Qt::Key_End, Qt::Key_PageDown, Qt::Key_Return},
         LedKind::GridCell,
         383},
        {ui::field_id::kRings, {Qt::Key_Right, Qt::Key_Space}, LedKind::Ring, 1},
        {ui::field_id::kMasterPods, {Qt::Key_Left, Qt::Key_Space}, LedKind::Pod, 1},
    };
    Show();
    Panel().SetCurrentColor(0x0000FF);  // a marked pod turns red at the next tick
    for (const auto& [fieldId, keys, kind, index] : cases) {
        ControlCenterController& controller = dialog_->Controller();
        ClickLed(kind, index);
        Tick();
        const std::string clickStep = controller.History().UndoText();
        const PanelContent clicked = CaptureContent(Panel());
        controller.Undo();
        LedField* field = dialog_->Field(fieldId);
        field->setFocus(Qt::TabFocusReason);
        field->SetFocusLed(field->IndexOfChild(0));
        for (Qt::Key key : keys)
            QTest::keyClick(field, key);
        Tick();
        EXPECT_EQ(field->FocusLed(), index);
        EXPECT_EQ(controller.History().UndoText(), clickStep) << index;
        EXPECT_TRUE(CaptureContent(Panel()) == clicked) << index;
        controller.Undo();
    }
}

// What a screen reader finds: every focusable control named, the grid a 12 x 32 table of named
// cells, the pods and rings lists of named items.
TEST_F(DialogTest, ScreenReadersFindNamesAndTheGridTable) {
    Panel().SetCell(2, 6, true);
    Panel().SetRingOn(1, true);
    Panel().SetPodLedColors(13, 0xFFFFFF, 0x0000FF);
    for (QWidget* widget : dialog_->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus)
            continue;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(control->text(QAccessible::Name).isEmpty())
            << widget->metaObject()->className();
    }
    // The colour box by its purpose, not by the colour it shows.
    QAccessibleInterface* colour =
        QAccessible::queryAccessibleInterface(dialog_->Control(id::kPodColour));
    EXPECT_EQ(colour->text(QAccessible::Name), QStringLiteral("RGB Pod Colour"));
    EXPECT_EQ(colour->text(QAccessible::Value), QStringLiteral("Off"));

    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(Grid());
    ASSERT_NE(grid->tableInterface(), nullptr);
    EXPECT_EQ(grid->role(), QAccessible::Table);
    EXPECT_EQ(grid->tableInterface()->rowCount(), kRows);
    EXPECT_EQ(grid->tableInterface()->columnCount(), kColumns);
    EXPECT_EQ(grid->childCount(), kCellCount);
    QAccessibleInterface* cell = grid->tableInterface()->cellAt(2, 6);
    EXPECT_EQ(cell, grid->child(PanelState::CellIndex(2, 6)));
    EXPECT_EQ(grid->indexOfChild(cell), PanelState::CellIndex(2, 6));
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("row 3, column 7, on"));
    EXPECT_TRUE(cell->state().checked && cell->state().focusable);
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 2);
    EXPECT_EQ(cell->tableCellInterface()->columnIndex(), 6);
    EXPECT_EQ(grid->tableInterface()->cellAt(11, 31)->text(QAccessible::Name),
              QStringLiteral("row 12, column 32, off"));
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(Panel().Cell(2, 6));

    const std::tuple<int, int, QString> items[] = {
        {ui::field_id::kRings, 1, QStringLiteral("ring 2, on")},
        {ui::field_id::kSecondaryPods, 3, QStringLiteral("pod 4, Secondary Side, red")},
        {ui::field_id::kMasterPods, 9, QStringLiteral("pod 10, Master Side, off")},
    };
    for (const auto& [fieldId, child, expected] : items) {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(dialog_->Field(fieldId));
        EXPECT_EQ(list->role(), QAccessible::List);
        EXPECT_EQ(list->child(child)->role(), QAccessible::ListItem);
        EXPECT_EQ(list->child(child)->text(QAccessible::Name), expected);
    }
}

// In the scrolling-text box the program's keys reach the program's actions (the main window's
// Undo, Redo, Export Data Center and Save): the box keeps no undo history of its own.
TEST_F(DialogTest, TextBoxLeavesTheProgramsKeysToTheProgram) {
    Show();
    const QKeyCombination keys[] = {Qt::CTRL | Qt::Key_Z, Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
                                    Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::Key_E,
                                    Qt::CTRL | Qt::Key_S};
    std::vector<QKeyCombination> triggered;
    for (QKeyCombination key : keys) {
        auto* action = new QAction(dialog_.get());
        action->setShortcut(key);
        QObject::connect(action, &QAction::triggered,
                         [&triggered, key] { triggered.push_back(key); });
        dialog_->addAction(action);
    }
    auto* text = Get<QLineEdit>(id::kScrollText);
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("QQ"));
    text->setCursorPosition(1);
    for (QKeyCombination key : keys)
        QTest::keyClick(dialog_->windowHandle(), key.key(), key.keyboardModifiers());
    EXPECT_EQ(triggered, std::vector<QKeyCombination>(std::begin(keys), std::end(keys)));
    EXPECT_EQ(text->text(), QStringLiteral("QQ"));
    EXPECT_EQ(text->cursorPosition(), 1) << "Ctrl+E is not the end of the line";

    // No action for them: the keys do nothing, least of all the box's own undo.
    for (QAction* action : dialog_->actions())
        dialog_->removeAction(action);
    QTest::keyClick(dialog_->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text->text(), QStringLiteral("QQ"));

    // Enter takes the typing as one step and the program goes on; the box's menu undoes
    // through the program, the grid first.
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_TRUE(dialog_->isVisible());
    Click(id::kInvertGrid);
    for (const char* step : {"edit-undo", "edit-undo", "edit-redo"}) {
        const std::unique_ptr<QMenu> menu = dialog_->ScrollTextMenu();
        auto* action = menu->findChild<QAction*>(QLatin1String(step));
        ASSERT_NE(action, nullptr) << step;
        action->trigger();
    }
    EXPECT_EQ(text->text(), QStringLiteral("QQ"));
    EXPECT_EQ(LitCells(Panel()), Cells{});
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

// The reader must not wait for a report that never comes: closing ends the pending read.
TEST_F(DialogTest, CloseBoxEndsTheLinkWhileAReadIsPending) {
    Show();
    Click(id::kConnectTx);
    ASSERT_GT(transmitter_.OpenHandleCount(), 0);  // the link is up
    QTRY_VERIFY_WITH_TIMEOUT(transmitter_.ReadPending(), 2000);

    dialog_->close();
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_EQ(transmitter_.OpenHandleCount(), 0);
    EXPECT_FALSE(transmitter_.ReadPending());
    EXPECT_FALSE(TimerRunsEvery(kSampleTimerPeriodMs));
}

TEST_F(DialogTest, EscapeLeavesTheLinkToTheDialogsEnd) {
    Show();
    Click(id::kConnectTx);
    QTRY_VERIFY_WITH_TIMEOUT(transmitter_.ReadPending(), 2000);
    QTest::keyClick(dialog_->Control(id::kSelectAll), Qt::Key_Escape);
    EXPECT_FALSE(dialog_->isVisible());
    // Escape skips the close step; destroying the dialog still ends the link.
    EXPECT_GT(transmitter_.OpenHandleCount(), 0);  // the link is still up
    EXPECT_TRUE(transmitter_.ReadPending());
    dialog_.reset();
    EXPECT_EQ(transmitter_.OpenHandleCount(), 0);
    EXPECT_FALSE(transmitter_.ReadPending());
}

// ---------------------------------------------------------------------------------------------
// The program, run with HOME and the XDG folders in an empty directory

TEST(Program, RunsAndLeavesNoFileBehind) {
    const std::pair<QStringList, QString> runs[] = {
        {{QStringLiteral("--version")}, QStringLiteral("velta-control-center 1.0.0")},
        {{QStringLiteral("--simulate"), QStringLiteral("--quit-after-show")}, QString()},
    };
    for (const auto& [arguments, out] : runs) {
        QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const char* name :
             {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.insert(QLatin1String(name), home.path());
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VELTA_PROGRAM_PATH), arguments);
        if (!process.waitForFinished(20000))  // a hang shows as a crash exit
            process.kill();
        process.waitForFinished();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), out);
        QDirIterator files(home.path(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        EXPECT_FALSE(files.hasNext()) << files.next().toStdString();
    }
}

}  // namespace
}  // namespace velta
