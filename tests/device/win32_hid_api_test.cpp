// The Windows transport over the real Win32 calls (Windows and wine only): the system's HID
// interfaces, and overlapped reads and writes, cancelled or not, on a named pipe standing in for
// a device handle (CreateFileW opens both the same way).
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <stop_token>
#include <string>
#include <thread>

#include "device/hid_link.h"
#include "device/utf16.h"
#include "device/windows_hid_transport.h"

namespace velta {
namespace {

TEST(Win32HidApi, ListsTheSystemsHidInterfaces) {
    WindowsHidTransport transport(MakeWin32HidApi());
    // Under wine these are its virtual devices; whatever they are, each has a path.
    for (const HidInterfaceInfo& info : transport.Enumerate())
        EXPECT_FALSE(info.path.empty());
    HidFailure failure;
    EXPECT_EQ(transport.OpenPath("\\\\?\\hid#no-such-device", failure), nullptr);
    EXPECT_NE(failure.message.find("(Windows error "), std::string::npos) << failure.message;
}

// The server end of a pipe whose client end the transport opens as a device.
class PipeTest : public ::testing::Test {
  protected:
    PipeTest()
        : path_("\\\\.\\pipe\\velta-test-" + std::to_string(GetCurrentProcessId())),
          server_(CreateNamedPipeW(reinterpret_cast<const wchar_t*>(Utf8ToUtf16(path_).c_str()),
                                   PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0,
                                   nullptr)) {}
    ~PipeTest() override {
        if (server_ != INVALID_HANDLE_VALUE)
            CloseHandle(server_);
    }

    std::unique_ptr<HidDevice> OpenClient() {
        HidFailure failure;
        std::unique_ptr<HidDevice> device = transport_.OpenPath(path_, failure);
        EXPECT_NE(device, nullptr) << failure.message;
        // The client is there already: the server only takes note.
        EXPECT_FALSE(ConnectNamedPipe(server_, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
        return device;
    }

    std::string path_;
    HANDLE server_;
    WindowsHidTransport transport_{MakeWin32HidApi()};
};

TEST_F(PipeTest, ReadsWritesAndCancelledReads) {
    ASSERT_NE(server_, INVALID_HANDLE_VALUE);
    std::unique_ptr<HidDevice> device = OpenClient();
    ASSERT_NE(device, nullptr);
    InputReport buffer{};
    std::size_t length = 0;

    // Nothing comes: a stop from another thread ends the read, as the link's Close does.
    std::stop_source stop;
    std::jthread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        stop.request_stop();
    });
    EXPECT_EQ(device->Read(buffer, length, stop.get_token()), ReadOutcome::Cancelled);
    stopper.join();

    // The "device" sends a report: it arrives whole.
    DeviceReport sent = RfOnReport();
    sent[10] = 0x42;
    DWORD moved = 0;
    ASSERT_TRUE(WriteFile(server_, sent.data(), kReportSize, &moved, nullptr));
    ASSERT_EQ(device->Read(buffer, length, std::stop_token{}), ReadOutcome::Report);
    EXPECT_EQ(length, kReportSize);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), buffer.begin()));

    // A report written reaches the "device" whole.
    ASSERT_TRUE(device->Write(sent));
    DeviceReport received{};
    ASSERT_TRUE(ReadFile(server_, received.data(), kReportSize, &moved, nullptr));
    EXPECT_EQ(moved, kReportSize);
    EXPECT_EQ(received, sent);

    // The "device" goes away: the pending read fails.
    std::jthread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        DisconnectNamedPipe(server_);
    });
    EXPECT_EQ(device->Read(buffer, length, std::stop_token{}), ReadOutcome::Failed);
}

}  // namespace
}  // namespace velta
