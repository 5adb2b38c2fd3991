#include "cli/stop_signals.h"

#include <gtest/gtest.h>

#include <csignal>

namespace velta::cli {
namespace {

// Once caught, each stop request only sets the flag: a signal that was not caught would end this
// test program on the spot.
TEST(StopSignals, ARequestIsNotedAndTheProgramGoesOn) {
#ifdef _WIN32
    // Console events need a console, and wine gives a test program none to send Ctrl+C through.
    GTEST_SKIP() << "no console to send a Ctrl+C event through";
#else
    CatchStopSignals();
    EXPECT_FALSE(StopSignalled());
    for (const int signal : {SIGINT, SIGTERM}) {
        ASSERT_EQ(std::raise(signal), 0);
        EXPECT_TRUE(StopSignalled()) << signal;
    }
#endif
}

}  // namespace
}  // namespace velta::cli
