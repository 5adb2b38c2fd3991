// The Windows transport over the real Win32 calls (Windows and wine only): the system's HID
// interfaces, and overlapped reads and writes, given up, cancelled or failing, on a named pipe
// standing in for a device handle (CreateFileW opens both the same way), also under the link.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "device/hid_link.h"
#include "device/utf16.h"
#include "device/windows_hid_transport.h"
#include "tests/device/fake_notices.h"

namespace velta {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

TEST(Win32HidApi, ListsTheSystemsHidInterfaces) {
    WindowsHidTransport transport(MakeWin32HidApi());
    // Under wine these are its virtual devices; whatever they are, each has a path.
    for (const HidInterfaceInfo& info : transport.Enumerate())
        EXPECT_FALSE(info.path.empty());
    HidFailure failure;
    EXPECT_EQ(transport.OpenPath("\\\\?\\hid#no-such-device", failure), nullptr);
    EXPECT_NE(failure.message.find("(Windows error "), std::string::npos) << failure.message;
}

// The server end of a pipe with room for `clients` at once. What the "device" sends is buffered;
// what it is sent waits until it reads.
HANDLE Listen(const std::string& path, DWORD clients) {
    return CreateNamedPipeW(reinterpret_cast<const wchar_t*>(Utf8ToUtf16(path).c_str()),
                            PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, clients, 4096, 0, 0,
                            nullptr);
}

std::string PipePath(const char* name) {
    return "\\\\.\\pipe\\velta-" + std::string(name) + std::to_string(GetCurrentProcessId());
}

TEST(Win32HidApi, ReadsAndWritesOnAPipeWholeGivenUpCancelledOrFailed) {
    const std::string path = PipePath("device");
    const HANDLE server = Listen(path, 1);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    WindowsHidTransport transport(MakeWin32HidApi());
    HidFailure failure;
    std::unique_ptr<HidDevice> device = transport.OpenPath(path, failure);
    ASSERT_NE(device, nullptr) << failure.message;
    DWORD moved = 0;

    // The "device" sends a report without an id: the reader gets its 64 bytes.
    DeviceReport sent = RfOnReport();
    sent[10] = 0x42;
    ASSERT_TRUE(WriteFile(server, sent.data(), kReportSize, &moved, nullptr));
    InputReport buffer{};
    std::size_t length = 0;
    ASSERT_EQ(device->Read(buffer, length), ReadOutcome::Report);
    ASSERT_EQ(length, kReportSize - 1);
    EXPECT_TRUE(std::equal(sent.begin() + 1, sent.end(), buffer.begin()));

    // Nobody reads: the write is still in the "device" at its deadline, and ends there.
    auto start = Clock::now();
    EXPECT_EQ(device->Write(sent, start + milliseconds(100)).status, WriteStatus::TimedOut);
    EXPECT_GE(Clock::now() - start, milliseconds(100));
    DWORD available = 1;
    EXPECT_TRUE(PeekNamedPipe(server, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 0u);

    // The "device" reads: the report reaches it whole.
    DeviceReport received{};
    std::thread reader([&] { ReadFile(server, received.data(), kReportSize, &moved, nullptr); });
    EXPECT_EQ(device->Write(sent, Clock::now() + std::chrono::seconds(5)).status,
              WriteStatus::Written);
    reader.join();
    EXPECT_EQ(received, sent);

    device.reset();
    CloseHandle(server);

    // A read is ended at once from another thread, cancelled (as Close does) or by a removal.
    for (const bool removal : {false, true}) {
        const std::string other = PipePath(removal ? "removed" : "cancelled");
        const HANDLE end = Listen(other, 1);
        device = transport.OpenPath(other, failure);
        ASSERT_NE(device, nullptr) << failure.message;
        start = Clock::now();
        std::thread stopper([&] {
            std::this_thread::sleep_for(milliseconds(50));
            if (removal)
                DisconnectNamedPipe(end);
            else
                EXPECT_TRUE(device->CancelRead());
        });
        EXPECT_EQ(device->Read(buffer, length),
                  removal ? ReadOutcome::Failed : ReadOutcome::Cancelled);
        EXPECT_LT(Clock::now() - start, milliseconds(50 + 150)) << removal;
        stopper.join();
        device.reset();
        CloseHandle(end);
    }
}

// The link over the real transport with a pipe listed as the transmitter: Close joins a reader
// waiting in its read promptly.
class PipeTransmitter : public WindowsHidTransport {
  public:
    explicit PipeTransmitter(std::string path)
        : WindowsHidTransport(MakeWin32HidApi()), path_(std::move(path)) {}
    std::vector<HidInterfaceInfo> Enumerate() override {
        return {{path_, kTransmitterVendorId, kTransmitterProductId}};
    }

  private:
    std::string path_;
};

TEST(Win32HidApi, TheLinkClosesPromptlyWithItsReaderWaiting) {
    const std::string path = PipePath("link");
    const HANDLE ends[] = {Listen(path, 2), Listen(path, 2)};  // the write and the read handle
    PipeTransmitter transmitter(path);
    testing::FakeNotices notices;
    HidLink link(transmitter, notices);
    ASSERT_TRUE(link.Open());
    std::this_thread::sleep_for(milliseconds(50));
    const auto start = Clock::now();
    link.Close();
    EXPECT_LT(Clock::now() - start, milliseconds(200));
    for (const HANDLE end : ends)
        CloseHandle(end);
}

}  // namespace
}  // namespace velta
