// velta_link_cycles [COUNT]: opens the link over the simulated transmitter and closes it again,
// COUNT times (20,000 unless given), some of them after a write or with the reader waiting in its
// read. A lost wake-up between Close and the reader shows up as a run that never ends, so whoever
// runs it bounds it in time (scripts/test-windows does, under wine).
// Prints every thousandth cycle as it passes, then the count and the time taken; exits 1 at the
// first cycle that goes wrong.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/hid_link.h"
#include "device/simulated_transmitter.h"
#include "tests/device/fake_notices.h"

int main(int argc, char* argv[]) {
    const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 20000;
    if (count <= 0) {
        std::fprintf(stderr, "velta_link_cycles: COUNT must be a positive number\n");
        return 2;
    }
    velta::SimulatedTransmitter device;
    velta::testing::FakeNotices notices;
    velta::HidLink link(device, notices);
    const auto start = std::chrono::steady_clock::now();
    for (long cycle = 1; cycle <= count; ++cycle) {
        // Mostly closed at once, as the reader starts; every fourth cycle after a write, every
        // fourth with the reader waiting in its read.
        const bool opened = link.Open();
        const bool written =
            opened && (cycle % 4 != 1 ||
                       velta::testing::SendAndWait(link, notices, {velta::RfOnReport()}).written);
        const bool waiting =
            cycle % 4 != 2 || velta::testing::WaitUntil([&] { return device.ReadPending(); });
        link.Close();
        notices.RunPosted();
        device.ClearRecord();
        if (!written || !waiting || device.OpenHandleCount() != 0 || notices.writeErrors != 0) {
            std::fprintf(stderr, "velta_link_cycles: cycle %ld went wrong\n", cycle);
            return 1;
        }
        // So a run cut short by its time limit shows how far it got.
        if (cycle % 1000 == 0) {
            std::printf("%ld\n", cycle);
            std::fflush(stdout);
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%ld open/close cycles in %.1f s\n", count, took.count());
    return 0;
}
