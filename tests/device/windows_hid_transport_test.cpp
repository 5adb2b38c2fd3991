// WindowsHidTransport's logic over fake Win32 calls: what it lists, how it opens, and how its
// writes and reads wait, cancel and finish.
#include "device/windows_hid_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>

#include "device/hid_link.h"
#include "device/link_diagnostics.h"
#include "device/utf16.h"

namespace velta {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Strings = std::vector<std::string>;

struct FakeInterface {
    std::u16string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t queryOpenError = 0;  // opening it for no access fails with this
    bool attributes = true;            // HidD_GetAttributes works on it
    std::uint32_t openError = 0;       // opening it for reading and writing fails with this
    std::u16string serial{};           // HidD_GetSerialNumberString's answer
};

// How one read or write goes.
struct FakeIo {
    std::uint32_t startError = 0;       // ReadFile / WriteFile fails at once with this
    bool stuck = false;                 // in flight until cancelled: a wait for it times out
    bool doneAsCancelled = false;       // a wait times out, but it ends whole as the cancel comes
    std::uint32_t error = 0;            // it ends with this error (0: it worked)
    std::vector<std::uint8_t> bytes{};  // a read's report
    std::size_t written = kReportSize;  // a write's count
};

// The Win32 calls, single-threaded and without real time: a wait returns at once, timed out or
// done as scripted. Records every call: "open-query PATH", "open PATH", "close", "read",
// "write N", "wait", "cancel", "finish".
class FakeWin32 : public Win32HidApi {
  public:
    std::vector<FakeInterface> interfaces;
    std::deque<FakeIo> ios;  // reads and writes take these in order
    // Runs when Finish would block on a transfer still in flight, as another thread would act
    // meanwhile (a cancel); a transfer still in flight after it would block for ever.
    std::function<void()> whileBlocked;
    Strings calls;
    LinkClock::time_point waitedUntil{};
    int openHandles = 0;
    int inFlight = 0;

    std::vector<std::u16string> InterfacePaths() override {
        std::vector<std::u16string> paths;
        for (const FakeInterface& entry : interfaces)
            paths.push_back(entry.path);
        return paths;
    }
    Win32Handle Open(const std::u16string& path, bool readWrite, std::uint32_t& error) override {
        calls.push_back((readWrite ? "open " : "open-query ") + Utf16ToUtf8(path));
        const auto found = std::find_if(interfaces.begin(), interfaces.end(),
                                        [&](const FakeInterface& i) { return i.path == path; });
        error = readWrite ? found->openError : found->queryOpenError;
        if (error != 0)
            return kNoWin32Handle;
        ++openHandles;
        return static_cast<Win32Handle>(found - interfaces.begin()) + 1;
    }
    bool Attributes(Win32Handle handle, std::uint16_t& vendorId,
                    std::uint16_t& productId) override {
        const FakeInterface& entry = interfaces.at(handle - 1);
        vendorId = entry.vendorId;
        productId = entry.productId;
        return entry.attributes;
    }
    std::u16string SerialNumber(Win32Handle handle) override {
        return interfaces.at(handle - 1).serial;
    }
    void Close(Win32Handle /*handle*/) override {
        calls.push_back("close");
        --openHandles;
    }
    std::unique_ptr<Win32Transfer> MakeTransfer(Win32Handle /*handle*/) override {
        return std::make_unique<Transfer>(*this);
    }
    std::string ErrorText(std::uint32_t error) override {
        return "words for " + std::to_string(error);
    }

  private:
    class Transfer : public Win32Transfer {
      public:
        explicit Transfer(FakeWin32& api) : api_(api) {}
        bool StartRead(std::span<std::uint8_t> buffer, std::uint32_t& error) override {
            api_.calls.push_back("read");
            buffer_ = buffer;
            return Start(error, FakeIo{.stuck = true});
        }
        bool StartWrite(std::span<const std::uint8_t> bytes, std::uint32_t& error) override {
            api_.calls.push_back("write " + std::to_string(bytes.size()));
            buffer_ = {};
            return Start(error, FakeIo{});
        }
        bool WaitUntil(LinkClock::time_point deadline) override {
            api_.calls.push_back("wait");
            api_.waitedUntil = deadline;
            return !InFlight() && !io_.doneAsCancelled;
        }
        void Cancel() override {
            api_.calls.push_back("cancel");
            if (io_.doneAsCancelled)
                io_.stuck = false;
            else
                cancelled_ = InFlight();  // one that was done stays done
        }
        bool Finish(std::size_t& transferred, std::uint32_t& error) override {
            api_.calls.push_back("finish");
            if (InFlight() && api_.whileBlocked)
                api_.whileBlocked();
            if (InFlight()) {
                ADD_FAILURE() << "Finish would wait for ever";
                cancelled_ = true;
            }
            --api_.inFlight;
            error = cancelled_ ? win32_error::kOperationAborted : io_.error;
            const std::size_t count = std::min(io_.bytes.size(), buffer_.size());
            std::copy_n(io_.bytes.begin(), count, buffer_.begin());
            transferred = buffer_.empty() ? io_.written : count;
            return error == 0;
        }

      private:
        bool InFlight() const { return io_.stuck && !cancelled_; }
        // The next scripted transfer, or `otherwise` when none is left.
        bool Start(std::uint32_t& error, const FakeIo& otherwise) {
            io_ = api_.ios.empty() ? otherwise : api_.ios.front();
            if (!api_.ios.empty())
                api_.ios.pop_front();
            cancelled_ = false;
            error = io_.startError;
            api_.inFlight += error == 0 ? 1 : 0;
            return error == 0;
        }
        FakeWin32& api_;
        FakeIo io_;
        std::span<std::uint8_t> buffer_;
        bool cancelled_ = false;
    };
};

constexpr std::uint32_t kBrokenPipe = 109;  // an error with no errno of its own
const std::u16string kTxPath = u"\\\\?\\hid#vid_04d8&pid_003f#1";

FakeInterface Transmitter() {
    return {kTxPath, kTransmitterVendorId, kTransmitterProductId, 0, true, 0, u"T\u00d8-7"};
}

TEST(WindowsHidTransport, ListsWhatItCanQueryInTheSystemsOrder) {
    auto api = std::make_shared<FakeWin32>();
    api->interfaces = {
        {u"\\\\?\\hid#keyboard", 0x046D, 0xC31C},
        {u"\\\\?\\hid#refuses", 1, 2, win32_error::kAccessDenied},
        {u"\\\\?\\hid#no-attributes", 3, 4, 0, false},
        {u"\\\\?\\hid#gr\u00fc\u00dfe", 0x04D8, 0x0001},
        Transmitter(),
    };
    Strings described;
    for (const HidInterfaceInfo& info : WindowsHidTransport(api).Enumerate())
        described.push_back(info.path + " " + std::to_string(info.vendorId) + ":" +
                            std::to_string(info.productId) + " [" + info.serialNumber + "]");
    EXPECT_THAT(described, ElementsAre("\\\\?\\hid#keyboard 1133:49948 []",
                                       "\\\\?\\hid#gr\xC3\xBC\xC3\x9F"
                                       "e 1240:1 []",
                                       "\\\\?\\hid#vid_04d8&pid_003f#1 1240:63 [T\xC3\x98-7]"));
    // Only ever opened for no access, and every handle closed again.
    for (const std::string& call : api->calls)
        EXPECT_FALSE(call.starts_with("open ")) << call;
    EXPECT_EQ(api->openHandles, 0);
}

TEST(WindowsHidTransport, AnOpenFailureCarriesItsErrnoAndTheSystemsWords) {
    const struct {
        std::uint32_t code;
        std::string reason;  // what the link tells the user
        bool permission;
    } cases[] = {
        {win32_error::kAccessDenied, "Permission denied \u2014 ", true},
        {win32_error::kSharingViolation, "Device or resource busy", false},
        {win32_error::kDeviceNotConnected, "No such device", false},
        {kBrokenPipe, "words for 109 (Windows error 109)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        auto api = std::make_shared<FakeWin32>();
        api->interfaces = {Transmitter()};
        api->interfaces[0].openError = c.code;
        HidFailure failure;
        EXPECT_EQ(WindowsHidTransport(api).OpenPath(Utf16ToUtf8(kTxPath), failure), nullptr);
        const std::string code = std::to_string(c.code);
        EXPECT_EQ(failure.message, "words for " + code + " (Windows error " + code + ")");
        EXPECT_TRUE(DescribeOpenFailure("tx", failure, UdevRulePath())
                        .starts_with("found tx but cannot open it: " + c.reason));
        EXPECT_EQ(IsPermissionError(failure.error), c.permission);
        EXPECT_EQ(api->openHandles, 0);
    }
}

// The transmitter opened for reading and writing over `api`, with `ios` to come.
std::unique_ptr<HidDevice> OpenTransmitter(FakeWin32& api, const std::vector<FakeIo>& ios) {
    api.interfaces = {Transmitter()};
    HidFailure failure;
    std::unique_ptr<HidDevice> device =
        WindowsHidTransport(std::shared_ptr<Win32HidApi>(&api, [](Win32HidApi*) {
        })).OpenPath(Utf16ToUtf8(kTxPath), failure);
    api.ios.assign(ios.begin(), ios.end());
    api.calls.clear();
    return device;
}

TEST(WindowsHidTransport, AWriteIsWholeByItsDeadlineOrCancelledThere) {
    const struct {
        const char* name;
        FakeIo io;
        WriteResult result;
        Strings calls;
    } cases[] = {
        {"taken", {}, {WriteStatus::Written, 0}, {"write 65", "wait", "finish"}},
        {"refused at once",
         {.startError = win32_error::kDeviceNotConnected},
         {WriteStatus::Failed, ENODEV},
         {"write 65"}},
        {"ends in an error",
         {.error = kBrokenPipe},
         {WriteStatus::Failed, 0},
         {"write 65", "wait", "finish"}},
        {"short", {.written = 64}, {WriteStatus::Short, 0}, {"write 65", "wait", "finish"}},
        {"still in the device at the deadline",
         {.stuck = true},
         {WriteStatus::TimedOut, ETIMEDOUT},
         {"write 65", "wait", "cancel", "finish"}},
        {"taken just as the cancel comes",
         {.doneAsCancelled = true},
         {WriteStatus::Written, 0},
         {"write 65", "wait", "cancel", "finish"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWin32 api;
        std::unique_ptr<HidDevice> device = OpenTransmitter(api, {c.io});
        const auto deadline = LinkClock::now() + std::chrono::milliseconds(250);
        const WriteResult result = device->Write(RfOnReport(), deadline);
        EXPECT_EQ(result.status, c.result.status);
        EXPECT_EQ(result.error, c.result.error);
        EXPECT_THAT(api.calls, ElementsAreArray(c.calls));
        if (c.calls.size() > 1) {
            EXPECT_EQ(api.waitedUntil, deadline);  // the link's deadline, not one of its own
        }
        // Never back with the transfer in flight, so the handle may be closed at once.
        EXPECT_EQ(api.inFlight, 0);
        device.reset();
        EXPECT_EQ(api.openHandles, 0);
    }
}

TEST(WindowsHidTransport, AReadWaitsWithoutWakingUntilAReportAFailureOrACancel) {
    std::vector<std::uint8_t> unnumbered(kReportSize, 0x5A);
    unnumbered[0] = 0;
    enum Cancel { kNoCancel, kCancelledFirst, kCancelledWhileWaiting };
    const struct {
        const char* name;
        std::vector<FakeIo> reads;
        Cancel cancel;
        ReadOutcome outcome;
        std::vector<std::uint8_t> report;  // what the reader gets
        Strings calls;
    } cases[] = {
        // Report id 0 is no byte of the device's: dropped, as hidraw and hidapi do.
        {"a report without an id",
         {{.bytes = unnumbered}},
         kNoCancel,
         ReadOutcome::Report,
         std::vector<std::uint8_t>(kReportSize - 1, 0x5A),
         {"read", "finish"}},
        {"a short report with an id",
         {{.bytes = {5, 7, 8}}},
         kNoCancel,
         ReadOutcome::Report,
         {5, 7, 8},
         {"read", "finish"}},
        {"nothing arrived: read again",
         {{}, {.bytes = {0}}, {.bytes = {3}}},
         kNoCancel,
         ReadOutcome::Report,
         {3},
         {"read", "finish", "read", "finish", "read", "finish"}},
        {"the device was removed",
         {{.error = win32_error::kDeviceNotConnected}},
         kNoCancel,
         ReadOutcome::Failed,
         {},
         {"read", "finish"}},
        {"refused at once",
         {{.startError = kBrokenPipe}},
         kNoCancel,
         ReadOutcome::Failed,
         {},
         {"read"}},
        {"cancelled while waiting",
         {{.stuck = true}},
         kCancelledWhileWaiting,
         ReadOutcome::Cancelled,
         {},
         {"read", "finish", "cancel"}},
        {"a report that comes with the cancel",
         {{.stuck = true, .doneAsCancelled = true, .bytes = unnumbered}},
         kCancelledWhileWaiting,
         ReadOutcome::Cancelled,
         {},
         {"read", "finish", "cancel"}},
        {"cancelled before it starts", {}, kCancelledFirst, ReadOutcome::Cancelled, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeWin32 api;
        std::unique_ptr<HidDevice> device = OpenTransmitter(api, c.reads);
        if (c.cancel == kCancelledFirst) {
            EXPECT_TRUE(device->CancelRead());
        }
        // The link's Close, from its own thread while the reader waits: the read ends at once.
        api.whileBlocked = [&] {
            if (c.cancel == kCancelledWhileWaiting) {
                EXPECT_TRUE(device->CancelRead());
            }
        };
        InputReport buffer;
        buffer.fill(0xEE);
        std::size_t length = 0;
        EXPECT_EQ(device->Read(buffer, length), c.outcome);
        // No "wait": a read has no timeout to wake up for.
        EXPECT_THAT(api.calls, ElementsAreArray(c.calls));
        EXPECT_EQ(api.inFlight, 0);
        if (c.outcome == ReadOutcome::Report) {
            ASSERT_EQ(length, c.report.size());
            InputReport expected{};  // the device's bytes, then zeros
            std::copy(c.report.begin(), c.report.end(), expected.begin());
            EXPECT_EQ(buffer, expected);
        }
    }
}

}  // namespace
}  // namespace velta
