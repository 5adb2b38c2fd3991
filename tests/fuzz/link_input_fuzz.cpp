// Input reports of any length and content, interleaved with interrupted reads, go through the
// link's reader to the tap intact: each arrives once, in order, its length clamped to 1..65, the
// bytes past it zero; and the removal that follows is still noticed.
//
// Input: byte 0 = interrupted reads before the first report (mod 8); then records of
// [length byte][length bytes of report] until the data runs out.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "device/hid_link.h"
#include "device/simulated_transmitter.h"
#include "tests/device/fake_notices.h"

namespace {

using velta::DeviceReport;
using velta::InputReport;
using velta::kReportSize;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// The pure step: any length the platform claims becomes 1..65 with a zero tail.
void CheckNormalise(const std::uint8_t* data, std::size_t size) {
    InputReport report{};
    std::copy_n(data, std::min(size, report.size()), report.begin());
    std::size_t length = size == 0 ? 0 : std::size_t{data[0]} * 3;
    const std::size_t claimed = length;
    velta::NormaliseInputReport(report, length);
    Check(length >= 1 && length <= kReportSize);
    Check(claimed == 0 || claimed > kReportSize || length == claimed);
    Check(std::all_of(report.begin() + static_cast<std::ptrdiff_t>(length), report.end(),
                      [](std::uint8_t b) { return b == 0; }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckNormalise(data, size);
    if (size == 0)
        return 0;

    std::vector<std::vector<std::uint8_t>> sent;
    for (std::size_t at = 1; at < size && sent.size() < 64;) {
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        sent.emplace_back(data + at + 1, data + at + 1 + length);
        at += 1 + length;
    }

    velta::SimulatedTransmitter device;
    velta::testing::FakeNotices notices;
    velta::testing::RecordingTap tap;
    velta::HidLink link(device, notices);
    link.SetTap(&tap);
    device.InterruptReads(data[0] % 8);
    Check(link.Open());
    for (const auto& bytes : sent)
        device.SendInputReport(bytes);
    const int count = static_cast<int>(sent.size());
    Check(notices.WaitForPosted(count));
    device.Unplug();
    Check(notices.WaitForPosted(count + 1));
    Check(!link.IsConnected());
    notices.RunPosted();

    Check(tap.read.size() == sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const std::size_t expectedLength =
            sent[i].empty() ? kReportSize : std::min(sent[i].size(), kReportSize);
        DeviceReport expected{};
        std::copy_n(sent[i].begin(), std::min(sent[i].size(), kReportSize), expected.begin());
        Check(tap.read[i].second == expectedLength);
        Check(tap.read[i].first == expected);
    }
    Check(notices.statusTexts.size() == 1 && notices.statusTexts[0] == velta::kTextReadError);
    return 0;
}
