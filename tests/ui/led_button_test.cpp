#include "ui/led_button.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>

namespace velta {
namespace {

// Geometry of every LED in the window: an 18 x 19 control whose disc covers the pixels
// x 3..17, y 1..15 (centre 10, 8); held down, the disc moves one pixel right and down.
constexpr QSize kControlSize(18, 19);
constexpr QPoint kCentre(10, 8);
constexpr QPoint kOutlineLeft(3, 8);
constexpr QPoint kOutlineRight(17, 8);
constexpr QPoint kOutlineTop(10, 1);
constexpr QPoint kOutlineBottom(10, 15);
constexpr QPoint kRingLeft(4, 8);
constexpr QPoint kRingTop(10, 2);

QColor Rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

// Counts paint events of the watched widget, to tell "repaint requested" from "state only".
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// A parent that records every mouse event and click notification reaching it.
class RecordingHost : public QWidget {
  public:
    int mouseEvents = 0;

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        ++mouseEvents;
        QWidget::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        ++mouseEvents;
        QWidget::mouseReleaseEvent(e);
    }
};

class LedButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        host.resize(120, 60);
        led = new LedButton(&host);
        led->setGeometry(QRect(QPoint(10, 10), kControlSize));
        host.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
        QApplication::processEvents();
    }

    QImage Render() const { return led->grab().toImage(); }

    void SendMove(QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(led->mapToGlobal(local)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(led, &move);
    }

    RecordingHost host;
    QPointer<LedButton> led;
};

TEST_F(LedButtonTest, StartsOffGreenWithoutHover) {
    EXPECT_EQ(led->GetState(), 0);
    EXPECT_FALSE(led->Hover());
    EXPECT_EQ(led->LedDiameter(), 15);
    EXPECT_EQ(led->OnColor(), 0x00FF00u);
    EXPECT_EQ(led->OffColor(), 0x007F00u);
    EXPECT_EQ(led->sizeHint(), kControlSize);
    EXPECT_EQ(led->focusPolicy(), Qt::ClickFocus);
}

TEST_F(LedButtonTest, SetCheckTreatsOnlyOneAndTwoAsOn) {
    struct Case {
        int initial;
        int value;
        int expected;
    };
    const Case cases[] = {
        {0, 1, 1}, {0, 2, 1}, {0, 3, 0}, {1, 0, 0}, {1, 3, 0}, {1, -1, 0}, {1, 2, 1}, {0, 256, 0},
    };
    for (const Case& c : cases) {
        led->SetState(c.initial, false);
        led->SetCheck(c.value);
        EXPECT_EQ(led->GetState(), c.expected) << "from " << c.initial << " with " << c.value;
    }
    // SetState keeps whatever value it is given; only zero means off.
    led->SetState(7, true);
    EXPECT_EQ(led->GetState(), 7);
}

TEST_F(LedButtonTest, RepaintsOnlyWhenAskedAndNeverSynchronously) {
    PaintCounter counter;
    led->installEventFilter(&counter);

    led->SetState(1, false);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 0) << "state stored without a repaint";
    EXPECT_EQ(led->GetState(), 1);

    led->SetState(0, true);
    EXPECT_EQ(counter.paints, 0) << "painting waits for the next paint cycle";
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 1);

    EXPECT_TRUE(led->SetColors(0xFF0000, 0x000000));
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 2) << "new colours always repaint";

    led->SetCheck(3);
    QApplication::processEvents();
    EXPECT_EQ(counter.paints, 3);
    led->removeEventFilter(&counter);
}

TEST_F(LedButtonTest, UnboundClickTogglesOwnStateAndParentSeesNothing) {
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre);
    EXPECT_EQ(led->GetState(), 1);
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre);
    EXPECT_EQ(led->GetState(), 0);
    EXPECT_EQ(host.mouseEvents, 0);
}

TEST_F(LedButtonTest, BoundClickOnlyCallsTheBindingWhichDrivesTheState) {
    bool cell = false;
    int calls = 0;
    led->BindToggle([&] {
        ++calls;
        cell = !cell;
        led->SetState(cell ? 1 : 0, true);
    });
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(cell);
    EXPECT_EQ(led->GetState(), 1);

    // A binding that refuses the change leaves the control as it was.
    led->BindToggle([&] { ++calls; });
    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(led->GetState(), 1);
}

TEST_F(LedButtonTest, ClickTakesKeyboardFocusAndShowsFocusFrame) {
    host.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    const QColor face = led->palette().color(QPalette::Button);
    // The dotted frame's bottom edge runs along row 16 from x 2 to 15, below the disc.
    const auto frameOnRow16 = [&](const QImage& image) {
        int marked = 0;
        for (int x = 2; x <= 15; ++x)
            marked += image.pixelColor(x, 16) != face ? 1 : 0;
        return marked;
    };
    EXPECT_EQ(frameOnRow16(Render()), 0);

    QTest::mouseClick(led, Qt::LeftButton, Qt::NoModifier, kCentre);
    EXPECT_TRUE(led->hasFocus());
    // The pointer is still over the control, so the hover face is under the frame.
    led->SetState(0, true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(led, &leave);
    EXPECT_GT(frameOnRow16(Render()), 0);
}

struct DiscCase {
    const char* name;
    Color on;
    Color off;
    int state;
    QColor centre;
    QColor ring;
};

class LedDiscTest : public LedButtonTest, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(LedDiscTest, DrawsFillRingAndBlackOutline) {
    const DiscCase& c = GetParam();
    led->SetColors(c.on, c.off);
    led->SetState(c.state, true);
    const QImage image = Render();
    EXPECT_EQ(image.pixelColor(kCentre), c.centre);
    EXPECT_EQ(image.pixelColor(kRingLeft), c.ring);
    EXPECT_EQ(image.pixelColor(kRingTop), c.ring);
    for (QPoint edge : {kOutlineLeft, kOutlineRight, kOutlineTop, kOutlineBottom})
        EXPECT_EQ(image.pixelColor(edge), QColor(Qt::black)) << edge.x() << "," << edge.y();
    // Outside the disc's bounding square the plain face shows.
    const QColor face = led->palette().color(QPalette::Button);
    EXPECT_EQ(image.pixelColor(QPoint(3, 1)), face);
    EXPECT_EQ(image.pixelColor(QPoint(10, 17)), face);
    EXPECT_EQ(image.pixelColor(QPoint(1, 8)), face);
}

// Colours are 0x00BBGGRR: 0xFF0000 is blue, 0x0000FF red.
INSTANTIATE_TEST_SUITE_P(
    Colours, LedDiscTest,
    ::testing::Values(DiscCase{"DefaultOff", 0x00FF00, 0x007F00, 0, Rgb(0, 127, 0), Rgb(0, 127, 0)},
                      DiscCase{"DefaultOn", 0x00FF00, 0x007F00, 1, Rgb(0, 255, 0), Rgb(0, 127, 0)},
                      DiscCase{"WindowBlueOn", 0xFF0000, 0x000000, 1, Rgb(0, 0, 255), Rgb(0, 0, 0)},
                      DiscCase{"WindowBlackOff", 0xFF0000, 0x000000, 0, Rgb(0, 0, 0), Rgb(0, 0, 0)},
                      DiscCase{"AnyNonZeroIsOn", 0x0000FF, 0x00FF00, -5, Rgb(255, 0, 0),
                               Rgb(0, 255, 0)},
                      DiscCase{"MixedBytes", 0x336699, 0x102030, 1, Rgb(0x99, 0x66, 0x33),
                               Rgb(0x30, 0x20, 0x10)}),
    [](const ::testing::TestParamInfo<DiscCase>& info) { return std::string(info.param.name); });

TEST_F(LedButtonTest, HeldDownDiscMovesOnePixelRightAndDown) {
    led->SetColors(0x0000FF, 0x00FF00);
    led->SetState(1, true);
    led->setDown(true);
    const QImage image = Render();
    led->setDown(false);
    EXPECT_EQ(image.pixelColor(kCentre + QPoint(1, 1)), Rgb(255, 0, 0));
    EXPECT_EQ(image.pixelColor(kOutlineLeft + QPoint(1, 1)), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(kOutlineTop + QPoint(1, 1)), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(kRingLeft + QPoint(1, 1)), Rgb(0, 255, 0));
    // The resting outline's place is now plain face.
    EXPECT_EQ(image.pixelColor(kOutlineLeft), led->palette().color(QPalette::Button));
}

TEST_F(LedButtonTest, DisabledFillsWithShadowButKeepsOffRing) {
    led->SetColors(0x0000FF, 0x00FF00);
    for (int state : {0, 1}) {
        led->SetState(state, true);
        led->setEnabled(false);
        const QImage image = Render();
        const QColor shadow = led->palette().color(QPalette::Dark);
        led->setEnabled(true);
        EXPECT_EQ(image.pixelColor(kCentre), shadow) << "state " << state;
        EXPECT_EQ(image.pixelColor(kRingLeft), Rgb(0, 255, 0)) << "state " << state;
        EXPECT_EQ(image.pixelColor(kOutlineLeft), QColor(Qt::black)) << "state " << state;
    }
}

TEST_F(LedButtonTest, HoverDrawsHighlightOnEnterAndFaceOnLeave) {
    const QPoint edge(0, 9);
    const QPoint inside(1, 9);
    QImage image = Render();
    EXPECT_EQ(image.pixelColor(edge), led->palette().color(QPalette::Button));

    QEnterEvent enter(QPointF(5, 5), QPointF(led->mapTo(&host, QPoint(5, 5))),
                      QPointF(led->mapToGlobal(QPoint(5, 5))));
    QApplication::sendEvent(led, &enter);
    EXPECT_TRUE(led->Hover());
    image = Render();
    EXPECT_EQ(image.pixelColor(edge), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(inside), led->palette().color(QPalette::Light));

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(led, &leave);
    EXPECT_FALSE(led->Hover());
    image = Render();
    EXPECT_EQ(image.pixelColor(edge), led->palette().color(QPalette::Button));
}

TEST_F(LedButtonTest, MouseMovesFollowTheLeftButtonRule) {
    struct Step {
        const char* what;
        QPoint at;
        Qt::MouseButtons buttons;
        bool hoverAfter;
    };
    const Step steps[] = {
        {"dragging onto an unlit LED leaves it unlit", QPoint(5, 5), Qt::LeftButton, false},
        {"a plain move lights it", QPoint(5, 5), Qt::NoButton, true},
        {"dragging over a lit LED keeps it lit", QPoint(6, 6), Qt::LeftButton, true},
        {"dragging out of it clears the light", QPoint(40, 5), Qt::LeftButton, false},
        {"a right-button drag lights it", QPoint(5, 5), Qt::RightButton, true},
        {"a move off the control clears it", QPoint(-1, 5), Qt::NoButton, false},
    };
    for (const Step& step : steps) {
        SendMove(step.at, step.buttons);
        EXPECT_EQ(led->Hover(), step.hoverAfter) << step.what;
    }
}

TEST_F(LedButtonTest, OverlappingNeighbourOwnsTheSharedRow) {
    // Grid rows are 18 pixels apart but 19 high: the LED below covers this one's last row.
    auto* below = new LedButton(&host);
    below->setGeometry(QRect(led->pos() + QPoint(0, 18), kControlSize));
    below->show();
    SendMove(QPoint(9, 18), Qt::NoButton);
    EXPECT_FALSE(led->Hover());
    SendMove(QPoint(9, 17), Qt::NoButton);
    EXPECT_TRUE(led->Hover());
}

TEST_F(LedButtonTest, CaptionTextMovesTheLedAside) {
    led->resize(80, 19);
    led->setText(QStringLiteral("Ring"));
    led->SetColors(0x0000FF, 0x00FF00);
    led->SetState(1, true);

    // Text to the right: the disc stays at the left edge.
    QImage image = Render();
    EXPECT_EQ(image.pixelColor(kCentre), Rgb(255, 0, 0));

    // Text to the left: inside the 2 + 1 pixel insets the disc takes the last 15 columns,
    // 62..76, so its centre is at x 69.
    led->SetCaptionLayout(true, Qt::AlignLeft);
    image = Render();
    EXPECT_EQ(image.pixelColor(QPoint(69, 8)), Rgb(255, 0, 0));
    EXPECT_EQ(image.pixelColor(QPoint(62, 8)), QColor(Qt::black));
    EXPECT_NE(image.pixelColor(kCentre), Rgb(255, 0, 0));
}

}  // namespace
}  // namespace velta
