// The Win32 calls under the Windows HID transport, as an interface: the transport's logic (what it
// lists, opens, waits for and cancels) runs over a fake in the tests on any system, and over the
// real calls (device/win32_hid_api.cpp, Windows only) in the program. Handles and error codes are
// plain numbers here, so this header needs no Windows header.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velta {

// A HANDLE as a number; kNoWin32Handle is none.
using Win32Handle = std::uintptr_t;
constexpr Win32Handle kNoWin32Handle = 0;

// The GetLastError codes the transport tells apart (their values are Windows' own).
namespace win32_error {
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kOperationAborted = 995;
constexpr std::uint32_t kDeviceNotConnected = 1167;
}  // namespace win32_error

// One overlapped transfer on one handle: an OVERLAPPED with its own event, used for one read or
// write at a time. It must not be destroyed while a transfer is in flight (the system writes into
// it until the transfer ends): the owner cancels and finishes first.
class Win32Transfer {
  public:
    virtual ~Win32Transfer() = default;
    // ReadFile / WriteFile with this OVERLAPPED. False when the call failed at once (`error` is
    // why); true when the transfer finished at once or is in flight.
    virtual bool StartRead(std::span<std::uint8_t> buffer, std::uint32_t& error) = 0;
    virtual bool StartWrite(std::span<const std::uint8_t> bytes, std::uint32_t& error) = 0;
    // Waits for the started transfer to end, at most until `deadline`; true when it has ended.
    virtual bool WaitUntil(std::chrono::steady_clock::time_point deadline) = 0;
    // CancelIoEx on this transfer; it then ends soon, as aborted, unless it was done already.
    // Safe from another thread while the owner waits in Finish.
    virtual void Cancel() = 0;
    // GetOverlappedResult, waiting for the end however long it takes (a blocked wait: no wake-up
    // until the transfer ends or is cancelled): the bytes moved, or false and why.
    virtual bool Finish(std::size_t& transferred, std::uint32_t& error) = 0;
};

class Win32HidApi {
  public:
    virtual ~Win32HidApi() = default;
    // The device paths of the present HID interfaces in the system's order: HidD_GetHidGuid,
    // SetupDiGetClassDevsW (present device interfaces), SetupDiEnumDeviceInterfaces and
    // SetupDiGetDeviceInterfaceDetailW for each, SetupDiDestroyDeviceInfoList. An interface whose
    // detail can't be had is left out.
    virtual std::vector<std::u16string> InterfacePaths() = 0;
    // CreateFileW, shared for reading and writing, OPEN_EXISTING, overlapped. `readWrite` false
    // asks for no access at all: enough to read the attributes of a device others hold (a
    // keyboard). kNoWin32Handle on failure, with `error`.
    virtual Win32Handle Open(const std::u16string& path, bool readWrite, std::uint32_t& error) = 0;
    // HidD_GetAttributes.
    virtual bool Attributes(Win32Handle handle, std::uint16_t& vendorId,
                            std::uint16_t& productId) = 0;
    // HidD_GetSerialNumberString: the device's serial number; empty when it has none.
    virtual std::u16string SerialNumber(Win32Handle handle) = 0;
    // CloseHandle.
    virtual void Close(Win32Handle handle) = 0;
    // A transfer on an open handle (its event from CreateEventW); nullptr when none can be made.
    virtual std::unique_ptr<Win32Transfer> MakeTransfer(Win32Handle handle) = 0;
    // FormatMessageW's text for an error code, in UTF-8, without the line end.
    virtual std::string ErrorText(std::uint32_t error) = 0;
};

#ifdef _WIN32
// The real calls.
std::shared_ptr<Win32HidApi> MakeWin32HidApi();
#endif

}  // namespace velta
