// The real Win32 calls behind Win32HidApi (Windows only).
#include "device/win32_hid_api.h"

#include <windows.h>

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <chrono>
#include <string_view>

#include "device/utf16.h"

namespace velta {

static_assert(win32_error::kFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(win32_error::kPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(win32_error::kAccessDenied == ERROR_ACCESS_DENIED);
static_assert(win32_error::kNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(win32_error::kSharingViolation == ERROR_SHARING_VIOLATION);
static_assert(win32_error::kOperationAborted == ERROR_OPERATION_ABORTED);
static_assert(win32_error::kDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace {

HANDLE AsHandle(Win32Handle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

const wchar_t* AsWide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

class SystemTransfer : public Win32Transfer {
  public:
    SystemTransfer(HANDLE file, HANDLE event) : file_(file), event_(event) {}
    ~SystemTransfer() override { CloseHandle(event_); }
    SystemTransfer(const SystemTransfer&) = delete;
    SystemTransfer& operator=(const SystemTransfer&) = delete;

    bool StartRead(std::span<std::uint8_t> buffer, std::uint32_t& error) override {
        return Started(
            ReadFile(file_, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, Fresh()),
            error);
    }
    bool StartWrite(std::span<const std::uint8_t> bytes, std::uint32_t& error) override {
        return Started(
            WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, Fresh()),
            error);
    }
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) override {
        // The system's wait may come back up to a timer tick early: waited again until the
        // deadline has passed, so a write is never given up before its time.
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            const DWORD timeout = left.count() <= 0
                                      ? 0
                                      : static_cast<DWORD>(std::min<std::chrono::milliseconds::rep>(
                                            left.count(), INFINITE - 1));
            const DWORD result = WaitForSingleObject(event_, timeout);
            if (result != WAIT_TIMEOUT)
                return result == WAIT_OBJECT_0;
            if (timeout == 0)
                return false;
        }
    }
    void Cancel() override { CancelIoEx(file_, &overlapped_); }
    bool Finish(std::size_t& transferred, std::uint32_t& error) override {
        DWORD moved = 0;
        if (!GetOverlappedResult(file_, &overlapped_, &moved, TRUE)) {
            error = GetLastError();
            return false;
        }
        transferred = moved;
        return true;
    }

  private:
    OVERLAPPED* Fresh() {
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_;
        return &overlapped_;
    }
    static bool Started(BOOL done, std::uint32_t& error) {
        if (done)
            return true;
        error = GetLastError();
        return error == ERROR_IO_PENDING;
    }

    HANDLE file_;   // the device's, owned by its HidDevice
    HANDLE event_;  // manual reset, owned here
    OVERLAPPED overlapped_{};
};

class SystemHidApi : public Win32HidApi {
  public:
    std::vector<std::u16string> InterfacePaths() override {
        std::vector<std::u16string> paths;
        GUID hidClass;
        HidD_GetHidGuid(&hidClass);
        const HDEVINFO set = SetupDiGetClassDevsW(&hidClass, nullptr, nullptr,
                                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return paths;
        SP_DEVICE_INTERFACE_DATA entry{};
        entry.cbSize = sizeof(entry);
        for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, index, &entry);
             ++index) {
            DWORD size = 0;
            SetupDiGetDeviceInterfaceDetailW(set, &entry, nullptr, 0, &size, nullptr);
            if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
                continue;
            // In units of the structure's alignment.
            std::vector<DWORD> buffer(size / sizeof(DWORD) + 1);
            auto* const detail =
                reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (!SetupDiGetDeviceInterfaceDetailW(set, &entry, detail, size, nullptr, nullptr))
                continue;
            paths.emplace_back(reinterpret_cast<const char16_t*>(detail->DevicePath));
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    Win32Handle Open(const std::u16string& path, bool readWrite, std::uint32_t& error) override {
        const HANDLE handle =
            CreateFileW(AsWide(path), readWrite ? GENERIC_READ | GENERIC_WRITE : 0,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return kNoWin32Handle;
        }
        return reinterpret_cast<Win32Handle>(handle);
    }

    bool Attributes(Win32Handle handle, std::uint16_t& vendorId,
                    std::uint16_t& productId) override {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        if (!HidD_GetAttributes(AsHandle(handle), &attributes))
            return false;
        vendorId = attributes.VendorID;
        productId = attributes.ProductID;
        return true;
    }

    std::u16string SerialNumber(Win32Handle handle) override {
        // The string descriptor is at most 126 UTF-16 units; the call wants the size in bytes.
        wchar_t text[128] = {};
        if (!HidD_GetSerialNumberString(AsHandle(handle), text, sizeof(text) - sizeof(wchar_t)))
            return {};
        std::u16string serial;
        for (const wchar_t* unit = text; *unit != 0; ++unit)
            serial.push_back(static_cast<char16_t>(*unit));
        return serial;
    }

    void Close(Win32Handle handle) override { CloseHandle(AsHandle(handle)); }

    std::unique_ptr<Win32Transfer> MakeTransfer(Win32Handle handle) override {
        const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr)
            return nullptr;
        return std::make_unique<SystemTransfer>(AsHandle(handle), event);
    }

    std::string ErrorText(std::uint32_t error) override {
        wchar_t text[512];
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
        std::u16string_view words(reinterpret_cast<const char16_t*>(text), length);
        // The system ends its sentences with a full stop and a line end; the link adds its own.
        while (!words.empty() && (words.back() == u'\r' || words.back() == u'\n' ||
                                  words.back() == u' ' || words.back() == u'.'))
            words.remove_suffix(1);
        return words.empty() ? std::string("no words for it") : Utf16ToUtf8(words);
    }
};

}  // namespace

std::shared_ptr<Win32HidApi> MakeWin32HidApi() {
    return std::make_shared<SystemHidApi>();
}

}  // namespace velta
