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

using namespace std::chrono_literals;

TEST(Win32HidApi, ListsTheSystemsHidInterfaces) {
    WindowsHidTransport transport(MakeWin32HidApi());
    // Under wine these are its virtual devices; whatever they are, each has a path.
    for (const HidInterfaceInfo& info : transport.Enumerate())
        EXPECT_FALSE(info.path.empty());
    HidFailure failure;
    EXPECT_EQ(transport.OpenPath("\\\\?\\hid#no-such-device", failure), nullptr);
    EXPECT_NE(failure.message.find("(Windows error "), std::string::npos) << failure.message;
}

// The server ends of a pipe whose client ends the transport opens as devices, one for each
// client. What the "device" sends is buffered; what it is sent waits until it reads.
class PipeTest : public ::testing::Test {
  protected:
    HANDLE Listen(DWORD clients = 1) {
        return CreateNamedPipeW(reinterpret_cast<const wchar_t*>(Utf8ToUtf16(path_).c_str()),
                                PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, clients, 4096, 0, 0,
                                nullptr);
    }
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

    std::string path_ = "\\\\.\\pipe\\velta-test-" + std::to_string(GetCurrentProcessId());
    HANDLE server_ = Listen();
    WindowsHidTransport transport_{MakeWin32HidApi()};
};

TEST_F(PipeTest, ReadsWritesGivenUpWritesAndRemovals) {
    ASSERT_NE(server_, INVALID_HANDLE_VALUE);
    std::unique_ptr<HidDevice> device = OpenClient();
    ASSERT_NE(device, nullptr);
    InputReport buffer{};
    std::size_t length = 0;

    // The "device" sends a report without an id: the reader gets its 64 bytes.
    DeviceReport sent = RfOnReport();
    sent[10] = 0x42;
    DWORD moved = 0;
    ASSERT_TRUE(WriteFile(server_, sent.data(), kReportSize, &moved, nullptr));
    ASSERT_EQ(device->Read(buffer, length), ReadOutcome::Report);
    EXPECT_EQ(length, kReportSize - 1);
    EXPECT_TRUE(std::equal(sent.begin() + 1, sent.end(), buffer.begin()));

    // Nobody reads: the write is still in the "device" at its deadline, and is cancelled there.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(device->Write(sent, start + 100ms).status, WriteStatus::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
    DWORD available = 1;
    EXPECT_TRUE(PeekNamedPipe(server_, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(available, 0u);

    // A report written reaches the "device" whole.
    DeviceReport received{};
    std::thread reader([&] { ReadFile(server_, received.data(), kReportSize, &moved, nullptr); });
    EXPECT_EQ(device->Write(sent, start + 5s).status, WriteStatus::Written);
    reader.join();
    EXPECT_EQ(moved, kReportSize);
    EXPECT_EQ(received, sent);

    // The "device" goes away: the pending read fails at once.
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        DisconnectNamedPipe(server_);
    });
    const auto waiting = std::chrono::steady_clock::now();
    EXPECT_EQ(device->Read(buffer, length), ReadOutcome::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - waiting, 200ms);
    unplug.join();
}

// The link over the real transport, the pipe listed as its transmitter: Close cancels the read
// its reader waits in and joins it promptly.
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

TEST_F(PipeTest, TheLinkClosesPromptlyWithItsReaderWaiting) {
    CloseHandle(server_);
    server_ = Listen(2);
    const HANDLE other = Listen(2);  // the write handle and the read handle
    PipeTransmitter transmitter(path_);
    testing::FakeNotices notices;
    HidLink link(transmitter, notices);
    ASSERT_TRUE(link.Open());
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    link.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    // The reader was joined, not left waiting: both handles are closed by now.
    for (const HANDLE end : {server_, other})
        EXPECT_FALSE(PeekNamedPipe(end, nullptr, 0, nullptr, nullptr, nullptr));
    CloseHandle(other);
}

}  // namespace
}  // namespace velta
