// The LED fields: the look of every LED, repainting only what changed, the pointer and the
// keyboard.
#include "ui/panel/led_field.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPointer>
#include <QTest>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "ui/led_placement.h"

namespace velta {
namespace {

// Geometry of every LED at scale 1: an 18 x 19 cell whose disc covers the pixels x 3..17,
// y 1..15 (centre 10, 8) with a one-pixel black outline; held down, the disc moves one pixel
// right and down. The grid field's LED 0 is the cell at its top left corner.
constexpr QSize kControlSize(18, 19);
constexpr QPoint kCentre(10, 8);
constexpr QPoint kRingLeft(4, 8);
constexpr QPoint kRingTop(10, 2);
constexpr QPoint kOutline[] = {{3, 8}, {17, 8}, {10, 1}, {10, 15}};

// Counts the events of the given types that reach the watched objects, and the area painted.
class EventCounter : public QObject {
  public:
    explicit EventCounter(std::initializer_list<QEvent::Type> types) : types_(types) {}
    int count = 0;
    QRegion painted;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        count += types_.contains(event->type()) ? 1 : 0;
        if (event->type() == QEvent::Paint)
            painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }

  private:
    QList<QEvent::Type> types_;
};

QRgb Rgb(const QImage& image, QPoint at) {
    return image.pixel(at) & 0xFFFFFFu;
}

// The default colours as they show on screen (0xRRGGBB).
constexpr QRgb kDefaultOn = 0x00FF00;
constexpr QRgb kDefaultOff = 0x007F00;
// The hover highlight draws a black outline round the control; the plain face has none.
constexpr QPoint kHoverEdge(0, 9);

class LedFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.resize(700, 300);
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        Settle();
    }
    // Changes are gathered in one pass and painted in the next.
    static void Settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    QImage Render(int index = 0) const { return field->grab(field->LedRect(index)).toImage(); }
    // The disc's fill: the on colour, the off colour or (disabled) the shadow colour.
    QRgb Fill() const { return Rgb(Render(), kCentre); }
    bool Hovered() const { return Rgb(Render(), kHoverEdge) == 0u; }
    QColor Face() const { return field->palette().color(QPalette::Button); }
    void Click() { QTest::mouseClick(field, Qt::LeftButton, Qt::NoModifier, kCentre); }
    void SendMove(QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(field->mapToGlobal(local)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(field, &move);
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(field, &leave);
    }

    QWidget host;
    // Takes the focus when the window opens: the field shows no keyboard LED until given it.
    QLineEdit* elsewhere = new QLineEdit(&host);
    QPointer<LedField> field = new LedField(ui::field_id::kGrid, &host);
};

TEST_F(LedFieldTest, StartsOffGreenWithoutHover) {
    const QImage image = Render();
    EXPECT_EQ(Rgb(image, kCentre), kDefaultOff);
    EXPECT_EQ(image.pixelColor(kHoverEdge), Face());
    EXPECT_EQ(field->LedRect(0).size(), kControlSize);
    EXPECT_EQ(field->geometry(), QRect(102, 50, 576, 217));
    EXPECT_EQ(field->focusPolicy(), Qt::StrongFocus);
    field->SetState(0, true);
    EXPECT_EQ(Fill(), kDefaultOn);
}

// Only a change of look repaints, never at once, and only the LEDs that changed: one paint per
// pass for a whole-grid change.
TEST_F(LedFieldTest, RepaintsOnlyWhatChangedOncePerPass) {
    EventCounter paints{QEvent::Paint};
    field->installEventFilter(&paints);
    const auto all = [&](bool on) {
        for (int i = 0; i < kCellCount; ++i)
            field->SetState(i, on);
    };
    const std::tuple<std::function<void()>, int, QRegion> steps[] = {
        // change, paints after it, area painted
        {[&] { field->SetState(0, false); }, 0, {}},  // the look it has: nothing
        {[&] { all(true); }, 1, QRect(QPoint(0, 0), field->size())},
        {[&] { field->SetState(33, false); }, 1, field->LedRect(33)},
        {[&] { field->SetColors(33, 0xFF0000, 0); }, 1, field->LedRect(33)},
        {[&] { field->SetColors(33, 0xFF0000, 0); }, 0, {}},
    };
    for (const auto& [change, count, area] : steps) {
        paints.count = 0;
        paints.painted = QRegion();
        change();
        EXPECT_EQ(paints.count, 0) << "painting waits for the next paint cycle";
        Settle();
        EXPECT_EQ(paints.count, count);
        EXPECT_EQ(paints.painted, area);
    }
    field->removeEventFilter(&paints);
}

TEST_F(LedFieldTest, ClickTogglesItselfUnboundOrOnlyCallsItsBinding) {
    EventCounter hostMouse{QEvent::MouseButtonPress, QEvent::MouseButtonRelease};
    host.installEventFilter(&hostMouse);
    for (QRgb expected : {kDefaultOn, kDefaultOff}) {
        Click();
        EXPECT_EQ(Fill(), expected);
    }
    EXPECT_EQ(hostMouse.count, 0) << "the parent sees no mouse event";
    host.removeEventFilter(&hostMouse);

    // With a binding the owner drives the state.
    bool cell = false;
    int calls = 0;
    field->BindToggle([&](int index) {
        ++calls;
        cell = !cell;
        field->SetState(index, cell);
    });
    Click();
    EXPECT_TRUE(calls == 1 && cell);
    EXPECT_EQ(Fill(), kDefaultOn);
    // A binding that refuses the change leaves the LED as it was.
    field->BindToggle([&](int) { ++calls; });
    Click();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Fill(), kDefaultOn);
}

TEST_F(LedFieldTest, ClickTakesKeyboardFocusAndShowsFocusFrame) {
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    // The dotted frame's bottom edge runs along row 16 from x 2 to 15, below the disc.
    const auto frameOnRow16 = [&] {
        const QImage image = Render();
        int marked = 0;
        for (int x = 2; x <= 15; ++x)
            marked += image.pixelColor(x, 16) != Face() ? 1 : 0;
        return marked;
    };
    field->SetFocusLed(40);
    EXPECT_EQ(frameOnRow16(), 0);
    Click();
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(field->FocusLed(), 0) << "the click moves the focus LED";
    // The pointer is still over the LED, so the hover face is under the frame.
    Leave();
    EXPECT_GT(frameOnRow16(), 0);
    EXPECT_EQ(Render().pixelColor(kHoverEdge), Face());
    // Once a key is used, the focus LED stands on the selection colour.
    QTest::keyClick(field, Qt::Key_Left);
    EXPECT_EQ(Render().pixelColor(kHoverEdge), field->palette().color(QPalette::Highlight));
}

TEST_F(LedFieldTest, DrawsFillRingAndBlackOutline) {
    // Colours are set as 0x00BBGGRR (0xFF0000 is blue) and read back from pixels as 0xRRGGBB.
    const std::tuple<Color, Color, int, QRgb, QRgb> cases[] = {
        // on, off, state, centre, ring
        {0x00FF00, 0x007F00, 0, 0x007F00, 0x007F00},  // the defaults
        {0x00FF00, 0x007F00, 1, 0x00FF00, 0x007F00},
        {0xFF0000, 0x000000, 1, 0x0000FF, 0x000000},  // the window's colours
        {0xFF0000, 0x000000, 0, 0x000000, 0x000000},
        {0x0000FF, 0x00FF00, -5, 0xFF0000, 0x00FF00},  // any non-zero state is on
        {0x336699, 0x102030, 1, 0x996633, 0x302010},
    };
    for (const auto& [on, off, state, centre, ring] : cases) {
        field->SetColors(0, on, off);
        field->SetState(0, state != 0);
        const QImage image = Render();
        EXPECT_EQ(Rgb(image, kCentre), centre) << on << " " << state;
        EXPECT_EQ(Rgb(image, kRingLeft), ring) << on << " " << state;
        EXPECT_EQ(Rgb(image, kRingTop), ring) << on << " " << state;
        for (QPoint edge : kOutline)
            EXPECT_EQ(Rgb(image, edge), 0u) << edge.x() << "," << edge.y();
        // Outside the disc's bounding square the plain face shows.
        for (QPoint outside : {QPoint(3, 1), QPoint(10, 17), QPoint(1, 8)})
            EXPECT_EQ(image.pixelColor(outside), Face()) << outside.x() << "," << outside.y();
    }
}

TEST_F(LedFieldTest, HeldDownOrDisabledDiscs) {
    field->SetColors(0, 0x0000FF, 0x00FF00);
    field->SetState(0, true);
    QTest::mousePress(field, Qt::LeftButton, Qt::NoModifier, kCentre);
    const QImage down = Render();
    SendMove(QPoint(40, 5), Qt::LeftButton);  // off the LED: it comes up and the release misses
    EXPECT_EQ(Rgb(Render(), kCentre), 0xFF0000u);
    QTest::mouseRelease(field, Qt::LeftButton, Qt::NoModifier, QPoint(40, 5));
    EXPECT_TRUE(field->State(0)) << "released elsewhere: no switch";
    const QPoint shift(1, 1);
    EXPECT_EQ(Rgb(down, kCentre + shift), 0xFF0000u);
    EXPECT_EQ(Rgb(down, kRingLeft + shift), 0x00FF00u);
    EXPECT_EQ(Rgb(down, kOutline[0] + shift), 0u);
    EXPECT_EQ(Rgb(down, kOutline[2] + shift), 0u);
    EXPECT_EQ(down.pixelColor(kOutline[0]), Face()) << "the resting outline's place";

    // Disabled: the shadow colour fills the disc, the off colour stays in the ring.
    for (int state : {0, 1}) {
        field->SetState(0, state != 0);
        field->setEnabled(false);
        const QImage image = Render();
        EXPECT_EQ(image.pixelColor(kCentre), field->palette().color(QPalette::Dark)) << state;
        field->setEnabled(true);
        EXPECT_EQ(Rgb(image, kRingLeft), 0x00FF00u) << state;
        EXPECT_EQ(Rgb(image, kOutline[0]), 0u) << state;
    }
}

TEST_F(LedFieldTest, HoverDrawsHighlightOnEnterAndFaceOnLeave) {
    const QPoint edge = kHoverEdge;
    EXPECT_EQ(Render().pixelColor(edge), Face());
    QEnterEvent enter(QPointF(5, 5), QPointF(field->mapTo(&host, QPoint(5, 5))),
                      QPointF(field->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(field, &enter);
    const QImage hovered = Render();
    EXPECT_EQ(Rgb(hovered, edge), 0u);
    EXPECT_EQ(hovered.pixelColor(1, 9), field->palette().color(QPalette::Light));
    Leave();
    EXPECT_EQ(Render().pixelColor(edge), Face());
}

TEST_F(LedFieldTest, MouseMovesFollowTheLeftButtonRule) {
    const std::tuple<const char*, QPoint, Qt::MouseButtons, bool> steps[] = {
        {"dragging onto an unlit LED leaves it unlit", {5, 5}, Qt::LeftButton, false},
        {"a plain move lights it", {5, 5}, Qt::NoButton, true},
        {"dragging over a lit LED keeps it lit", {6, 6}, Qt::LeftButton, true},
        {"dragging out of it clears the light", {40, 5}, Qt::LeftButton, false},
        {"a right-button drag lights it", {5, 5}, Qt::RightButton, true},
        {"a move off the field clears it", {-1, 5}, Qt::NoButton, false},
    };
    for (const auto& [what, at, buttons, hoverAfter] : steps) {
        SendMove(at, buttons);
        EXPECT_EQ(Hovered(), hoverAfter) << what;
    }
}

TEST_F(LedFieldTest, OverlappingNeighbourOwnsTheSharedRow) {
    // Grid rows are 18 pixels apart but 19 high: the LED below covers this one's last row.
    SendMove(QPoint(9, 18), Qt::NoButton);
    EXPECT_FALSE(Hovered());
    EXPECT_EQ(field->LedAt(QPoint(9, 18)), kColumns);
    SendMove(QPoint(9, 17), Qt::NoButton);
    EXPECT_TRUE(Hovered());
}

// Each field is one focus stop whose arrows move a focus LED (wrapping nowhere), and whose
// Space or Enter switch it as a click does.
TEST(LedFieldKeys, MoveTheFocusLedAndSwitchIt) {
    namespace f = ui::field_id;
    const auto cell = [](int row, int column) { return PanelState::CellIndex(row, column); };
    constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
    constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
    const std::tuple<int, int, Qt::Key, Qt::KeyboardModifiers, int> cases[] = {
        // field, focus LED, key, modifiers, focus LED after it
        {f::kGrid, 0, Qt::Key_Right, kNone, 1},
        {f::kGrid, 0, Qt::Key_Left, kNone, 0},
        {f::kGrid, 0, Qt::Key_Up, kNone, 0},
        {f::kGrid, 31, Qt::Key_Right, kNone, 31},
        {f::kGrid, 31, Qt::Key_Down, kNone, 63},
        {f::kGrid, 383, Qt::Key_Down, kNone, 383},
        {f::kGrid, cell(5, 7), Qt::Key_Home, kNone, cell(5, 0)},
        {f::kGrid, cell(5, 7), Qt::Key_End, kNone, cell(5, 31)},
        {f::kGrid, cell(5, 7), Qt::Key_PageUp, kNone, cell(0, 7)},
        {f::kGrid, cell(5, 7), Qt::Key_PageDown, kNone, cell(11, 7)},
        {f::kGrid, cell(5, 7), Qt::Key_Home, kCtrl, 0},
        {f::kGrid, cell(5, 7), Qt::Key_End, kCtrl, 383},
        {f::kGrid, cell(5, 7), Qt::Key_Right, Qt::ShiftModifier, cell(5, 7)},
        // The pods' triangles: the nearest pod towards the arrow, the row's and column's ends.
        {f::kMasterPods, 0, Qt::Key_Left, kNone, 1},
        {f::kMasterPods, 0, Qt::Key_Up, kNone, 0},
        {f::kMasterPods, 1, Qt::Key_Down, kNone, 2},
        {f::kMasterPods, 0, Qt::Key_Home, kNone, 4},
        {f::kMasterPods, 6, Qt::Key_PageDown, kNone, 9},
        {f::kSecondaryPods, 10, Qt::Key_Right, kNone, 11},
        {f::kSecondaryPods, 10, Qt::Key_Left, kNone, 10},
        // The rings round the grid.
        {f::kRings, 8, Qt::Key_Right, kNone, 0},
        {f::kRings, 0, Qt::Key_Down, kNone, 4},
        {f::kRings, 3, Qt::Key_Right, kNone, 11},
        {f::kRings, 11, Qt::Key_Down, kNone, 10},
        {f::kRings, 5, Qt::Key_Home, kCtrl, 0},
        {f::kRings, 5, Qt::Key_End, kCtrl, 7},
    };
    for (const auto& [fieldId, from, key, modifiers, to] : cases) {
        LedField field(fieldId, nullptr);
        field.SetFocusLed(from);
        QTest::keyClick(&field, key, modifiers);
        EXPECT_EQ(field.FocusLed(), to) << fieldId << " from " << from << " key " << key;
    }

    LedField grid(f::kGrid, nullptr);
    std::vector<int> switched;
    grid.BindToggle([&](int index) { switched.push_back(index); });
    grid.SetFocusLed(cell(2, 3));
    QTest::keyClick(&grid, Qt::Key_Space);
    QTest::keyClick(&grid, Qt::Key_Return);
    QTest::keyClick(&grid, Qt::Key_Enter, Qt::KeypadModifier);
    QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
    QApplication::sendEvent(&grid, &held);  // the key's repeat switches nothing
    EXPECT_EQ(switched, std::vector<int>(3, cell(2, 3)));
}

}  // namespace
}  // namespace velta
