// View > Live Input over the main window: off, nothing listens; switched on, a packet from the
// loopback address shows as a source and on the panel, which is read-only under a banner; off
// again, the panel is back and no socket is left. 127.0.0.1 only, on ports the system picks.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <memory>

#include "control/control_ids.h"
#include "control/live_input.h"
#include "control/live_input_view.h"
#include "device/simulated_transmitter.h"
#include "net/channel_map.h"
#include "net/udp_socket.h"
#include "tests/support/net_packets.h"
#include "ui/control_center_dialog.h"
#include "ui/live_input_window.h"
#include "ui/main_window.h"

namespace velta {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

class LiveInputWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(tx_, true);
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        // As the user opens it: View > Live Input.
        for (QAction* action : window_->menuBar()->findChildren<QAction*>()) {
            if (action->text() == QStringLiteral("&Live Input"))
                action->trigger();
        }
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Live()));
        LiveInputSettings settings;
        settings.bindAddress = kLoopback;
        settings.ports = {0, 0, 0};
        settings.joinMulticast = false;
        Live().SetSettings(settings);
    }
    LiveInputWindow& Live() { return window_->Live(); }
    PanelState& Panel() { return window_->Panel().Controller().Panel(); }

    SimulatedTransmitter tx_;
    std::unique_ptr<MainWindow> window_;
};

TEST_F(LiveInputWindowTest, ShowsTheSourceAndThePanelFollowsUntilSwitchedOff) {
    Panel().SetCell(0, true);  // the user's own content, to come back
    QWidget* invert = window_->Panel().Control(panel_id::kInvertGrid);
    EXPECT_EQ(Live().Input(), nullptr);  // nothing listens before the switch
    EXPECT_FALSE(Live().RefreshTimer()->isActive());

    Live().Switch()->setFocus();
    QTest::keyClick(Live().Switch(), Qt::Key_Space);
    ASSERT_TRUE(Live().On()) << Live().Notice()->text().toStdString();
    EXPECT_TRUE(window_->LiveBanner()->isVisible());
    EXPECT_FALSE(invert->isEnabled());
    EXPECT_TRUE(Live().RefreshTimer()->isActive());

    // One DDP frame with cell 5 lit.
    SequenceFrame frame;
    frame.cells.set(5);
    const net::Universe channels = net::EncodeUniverse(frame, 1);
    net::test::DdpFields fields;
    fields.data.assign(channels.begin(), channels.begin() + net::kFixtureChannels);
    net::os::SocketLibrary library;
    net::os::UdpSocket sender;
    std::string error;
    ASSERT_TRUE(sender.Open(kLoopback, 0, error)) << error;
    const std::uint16_t port = Live().Input()->Port(net::Protocol::Ddp);
    ASSERT_NE(port, 0);
    ASSERT_TRUE(sender.SendTo(net::test::DdpPacket(fields), {kLoopback, port}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Panel().Cell(5) && !Panel().Cell(0); }, 5000));

    Live().Refresh();
    ASSERT_EQ(Live().Sources()->rowCount(), 1);
    const auto cell = [&](LiveSourceColumn column) {
        return Live().Sources()->item(0, static_cast<int>(column))->text();
    };
    EXPECT_EQ(cell(LiveSourceColumn::Protocol), QStringLiteral("DDP"));
    EXPECT_EQ(cell(LiveSourceColumn::Address),
              QStringLiteral("127.0.0.1:%1").arg(sender.LocalPort()));
    EXPECT_EQ(cell(LiveSourceColumn::Display), QStringLiteral("shown"));
    // A screen reader finds the table by name and reads its cells.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(Live().Sources());
    ASSERT_NE(table->tableInterface(), nullptr);
    EXPECT_EQ(table->text(QAccessible::Name), QStringLiteral("Sources"));
    EXPECT_EQ(table->tableInterface()
                  ->cellAt(0, static_cast<int>(LiveSourceColumn::Protocol))
                  ->text(QAccessible::Name),
              QStringLiteral("DDP"));
    for (QWidget* widget : Live().findChildren<QWidget*>()) {
        if (widget->focusPolicy() != Qt::NoFocus && widget->isEnabled()) {
            EXPECT_FALSE(
                QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name).isEmpty())
                << widget->metaObject()->className();
        }
    }

    // Closing the window leaves the live input on, the banner in view, and no timer running.
    Live().close();
    EXPECT_TRUE(Live().On());
    EXPECT_TRUE(window_->LiveBanner()->isVisible());
    EXPECT_FALSE(Live().RefreshTimer()->isActive());

    // The banner's Switch Off.
    for (QPushButton* button : window_->LiveBanner()->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Swi&tch Off"))
            QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_FALSE(Live().On());
    EXPECT_FALSE(Live().Switch()->isChecked());
    EXPECT_FALSE(window_->LiveBanner()->isVisible());
    EXPECT_TRUE(invert->isEnabled());
    EXPECT_TRUE(Panel().Cell(0));
    EXPECT_FALSE(Panel().Cell(5));
    for (const net::Protocol protocol :
         {net::Protocol::Sacn, net::Protocol::ArtNet, net::Protocol::Ddp})
        EXPECT_EQ(Live().Input()->Port(protocol), 0);
}

TEST_F(LiveInputWindowTest, TabFollowsTheReadingOrder) {
    Live().activateWindow();
    Live().Switch()->setFocus();
    QStringList heard;
    for (int stop = 0; stop < 9; ++stop) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        heard << QAccessible::queryAccessibleInterface(QApplication::focusWidget())
                     ->text(QAccessible::Name);
    }
    EXPECT_EQ(heard.join(QStringLiteral(", ")).toStdString(),
              "Universe, Start address, sACN, Art-Net, DDP, When every source has gone, Sources, "
              "Drops by reason, Show live input");
}

TEST_F(LiveInputWindowTest, ASettingThatCantStartSaysWhyAndLeavesTheSwitchOff) {
    ASSERT_TRUE(Live().SwitchOn());
    LiveInputSettings settings = Live().Settings();
    settings.universe = 40000;  // beyond Art-Net's port-addresses
    Live().SetSettings(settings);
    EXPECT_FALSE(Live().On());
    EXPECT_FALSE(Live().Switch()->isChecked());
    EXPECT_FALSE(window_->LiveBanner()->isVisible());
    EXPECT_TRUE(Live().Notice()->text().contains(QStringLiteral("at most 32768 for Art-Net")))
        << Live().Notice()->text().toStdString();
}

}  // namespace
}  // namespace velta
