#include "ui/led_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <functional>
#include <tuple>
#include <utility>

namespace velta {
namespace {

// Geometry of every LED in the window: an 18 x 19 control whose disc covers the pixels
// x 3..17, y 1..15 (centre 10, 8) with a one-pixel black outline; held down, the disc moves
// one pixel right and down.
constexpr QSize kControlSize(18, 19);
constexpr QPoint kCentre(10, 8);
constexpr QPoint kRingLeft(4, 8);
constexpr QPoint kRingTop(10, 2);
constexpr QPoint kOutline[] = {{3, 8}, {17, 8}, {10, 1}, {10, 15}};

// Counts the events of the given types that reach the watched objects.
class EventCounter : public QObject {
  public:
    explicit EventCounter(std::initializer_list<QEvent::Type> types) : types_(types) {}
    int count = 0;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        count += types_.contains(event->type()) ? 1 : 0;
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

class LedButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.resize(120, 60);
        led->setGeometry(QRect(QPoint(10, 10), kControlSize));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        QApplication::processEvents();
    }

    QImage Render() const { return led->grab().toImage(); }
    // The disc's fill: the on colour, the off colour or (disabled) the shadow colour.
    QRgb Fill() const { return Rgb(Render(), kCentre); }
    bool Hovered() const { return Rgb(Render(), kHoverEdge) == 0u; }
    QColor Face() const { return led->palette().color(QPalette::Button); }
    void Click() { QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre); }
    void SendMove(QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(led->mapToGlobal(local)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(led, &move);
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(led, &leave);
    }

    QWidget host;
    QPointer<LedButton> led = new LedButton(&host);
};

TEST_F(LedButtonTest, StartsOffGreenWithoutHover) {
    const QImage image = Render();
    EXPECT_EQ(Rgb(image, kCentre), kDefaultOff);
    EXPECT_EQ(image.pixelColor(kHoverEdge), Face());
    EXPECT_EQ(led->sizeHint(), kControlSize);
    EXPECT_EQ(led->focusPolicy(), Qt::ClickFocus);
    led->SetState(1, true);
    EXPECT_EQ(Fill(), kDefaultOn);
}

TEST_F(LedButtonTest, OnlyStateZeroIsOff) {
    const std::pair<int, QRgb> cases[] = {
        // state, fill
        {1, kDefaultOn},  {0, kDefaultOff},  {2, kDefaultOn}, {-1, kDefaultOn},
        {0, kDefaultOff}, {256, kDefaultOn}, {7, kDefaultOn},
    };
    for (const auto& [state, fill] : cases) {
        led->SetState(state, true);
        EXPECT_EQ(Fill(), fill) << state;
    }
}

TEST_F(LedButtonTest, RepaintsOnlyWhenAskedAndNeverSynchronously) {
    EventCounter paints{QEvent::Paint};
    led->installEventFilter(&paints);
    const std::pair<std::function<void()>, int> steps[] = {
        // change, paints after it
        {[&] { led->SetState(1, false); }, 0},  // state stored, no repaint
        {[&] { led->SetState(0, true); }, 1},
        {[&] { EXPECT_TRUE(led->SetColors(0xFF0000, 0)); }, 2},  // new colours always repaint
        {[&] { led->SetState(0, true); }, 3},
    };
    int before = 0;
    for (const auto& [change, after] : steps) {
        change();
        EXPECT_EQ(paints.count, before) << "painting waits for the next paint cycle";
        QApplication::processEvents();
        EXPECT_EQ(paints.count, after);
        before = after;
    }
    EXPECT_EQ(Fill(), 0u) << "off, in the off colour black";
    led->removeEventFilter(&paints);
}

TEST_F(LedButtonTest, ClickTogglesItselfUnboundOrOnlyCallsItsBinding) {
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
    led->BindToggle([&] {
        ++calls;
        cell = !cell;
        led->SetState(cell ? 1 : 0, true);
    });
    Click();
    EXPECT_TRUE(calls == 1 && cell);
    EXPECT_EQ(Fill(), kDefaultOn);
    // A binding that refuses the change leaves the control as it was.
    led->BindToggle([&] { ++calls; });
    Click();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Fill(), kDefaultOn);
}

TEST_F(LedButtonTest, ClickTakesKeyboardFocusAndShowsFocusFrame) {
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
    EXPECT_EQ(frameOnRow16(), 0);
    Click();
    EXPECT_TRUE(led->hasFocus());
    // The pointer is still over the control, so the hover face is under the frame.
    led->SetState(0, true);
    Leave();
    EXPECT_GT(frameOnRow16(), 0);
}

TEST_F(LedButtonTest, DrawsFillRingAndBlackOutline) {
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
        led->SetColors(on, off);
        led->SetState(state, true);
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

TEST_F(LedButtonTest, HeldDownOrDisabledDiscs) {
    led->SetColors(0x0000FF, 0x00FF00);
    led->SetState(1, true);
    led->setDown(true);
    const QImage down = Render();
    led->setDown(false);
    const QPoint shift(1, 1);
    EXPECT_EQ(Rgb(down, kCentre + shift), 0xFF0000u);
    EXPECT_EQ(Rgb(down, kRingLeft + shift), 0x00FF00u);
    EXPECT_EQ(Rgb(down, kOutline[0] + shift), 0u);
    EXPECT_EQ(Rgb(down, kOutline[2] + shift), 0u);
    EXPECT_EQ(down.pixelColor(kOutline[0]), Face()) << "the resting outline's place";

    // Disabled: the shadow colour fills the disc, the off colour stays in the ring.
    for (int state : {0, 1}) {
        led->SetState(state, true);
        led->setEnabled(false);
        const QImage image = Render();
        EXPECT_EQ(image.pixelColor(kCentre), led->palette().color(QPalette::Dark)) << state;
        led->setEnabled(true);
        EXPECT_EQ(Rgb(image, kRingLeft), 0x00FF00u) << state;
        EXPECT_EQ(Rgb(image, kOutline[0]), 0u) << state;
    }
}

TEST_F(LedButtonTest, HoverDrawsHighlightOnEnterAndFaceOnLeave) {
    const QPoint edge = kHoverEdge;
    EXPECT_EQ(Render().pixelColor(edge), Face());
    QEnterEvent enter(QPointF(5, 5), QPointF(led->mapTo(&host, QPoint(5, 5))),
                      QPointF(led->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(led, &enter);
    const QImage hovered = Render();
    EXPECT_EQ(Rgb(hovered, edge), 0u);
    EXPECT_EQ(hovered.pixelColor(1, 9), led->palette().color(QPalette::Light));
    Leave();
    EXPECT_EQ(Render().pixelColor(edge), Face());
}

TEST_F(LedButtonTest, MouseMovesFollowTheLeftButtonRule) {
    const std::tuple<const char*, QPoint, Qt::MouseButtons, bool> steps[] = {
        {"dragging onto an unlit LED leaves it unlit", {5, 5}, Qt::LeftButton, false},
        {"a plain move lights it", {5, 5}, Qt::NoButton, true},
        {"dragging over a lit LED keeps it lit", {6, 6}, Qt::LeftButton, true},
        {"dragging out of it clears the light", {40, 5}, Qt::LeftButton, false},
        {"a right-button drag lights it", {5, 5}, Qt::RightButton, true},
        {"a move off the control clears it", {-1, 5}, Qt::NoButton, false},
    };
    for (const auto& [what, at, buttons, hoverAfter] : steps) {
        SendMove(at, buttons);
        EXPECT_EQ(Hovered(), hoverAfter) << what;
    }
}

TEST_F(LedButtonTest, OverlappingNeighbourOwnsTheSharedRow) {
    // Grid rows are 18 pixels apart but 19 high: the LED below covers this one's last row.
    auto* below = new LedButton(&host);
    below->setGeometry(QRect(led->pos() + QPoint(0, 18), kControlSize));
    below->show();
    SendMove(QPoint(9, 18), Qt::NoButton);
    EXPECT_FALSE(Hovered());
    SendMove(QPoint(9, 17), Qt::NoButton);
    EXPECT_TRUE(Hovered());
}

TEST_F(LedButtonTest, WiderControlKeepsItsDiscLeftAndDrawsNoText) {
    led->resize(80, 19);
    led->setText(QStringLiteral("Ring"));
    led->SetColors(0x0000FF, 0x00FF00);
    led->SetState(1, true);
    const QImage image = Render();
    EXPECT_EQ(Rgb(image, kCentre), 0xFF0000u);
    for (QPoint edge : kOutline)
        EXPECT_EQ(Rgb(image, edge), 0u) << edge.x() << "," << edge.y();
    // Right of the disc there is only the face: the LED shows no caption.
    int marked = 0;
    for (int x = 18; x < 80; ++x) {
        for (int y = 0; y < 19; ++y)
            marked += image.pixelColor(x, y) != Face() ? 1 : 0;
    }
    EXPECT_EQ(marked, 0);
}

}  // namespace
}  // namespace velta
