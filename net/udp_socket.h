// The operating system's UDP sockets, behind the few calls the receiver needs. This header and
// udp_socket.cpp are the only places that touch the socket API: POSIX today, with the Winsock
// paths (WSAStartup, closesocket, ioctlsocket, WSAPoll) written beside them for a Windows build.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "net/net_types.h"

namespace velta::net::os {

#ifdef _WIN32
using SocketHandle = std::uintptr_t;  // SOCKET
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// The socket library for as long as it lives: Winsock needs starting and stopping per process
// user; on POSIX there is nothing to do.
class SocketLibrary {
  public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    // Empty when the library started, else why not.
    const std::string& Error() const { return error_; }

  private:
    std::string error_;
};

// One non-blocking UDP socket, closed when the object goes. Owned by one thread at a time,
// except that SendTo may run on another thread while the owner waits (the receiver's wake-up).
class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Opens the socket bound to address:port (host order; port 0 picks a free one), with
    // address reuse so several programs can take the same lighting port. False with `error`.
    bool Open(std::uint32_t address, std::uint16_t port, std::string& error);
    // Joins an IPv4 multicast group on the interface with address `interfaceAddress` (0: the
    // system's choice), and stops the socket receiving other groups joined elsewhere on the
    // machine.
    bool JoinMulticast(std::uint32_t group, std::uint32_t interfaceAddress, std::string& error);
    bool IsOpen() const { return handle_ != kNoSocket; }
    SocketHandle Handle() const { return handle_; }
    std::uint16_t LocalPort() const;

    enum class Read : std::uint8_t { Datagram, Nothing, Failed };
    // Reads one waiting datagram into `buffer`: its length in `size` (a datagram longer than the
    // buffer gives buffer.size()) and the sender in `from`.
    Read Receive(std::span<std::uint8_t> buffer, std::size_t& size, Endpoint& from);
    bool SendTo(std::span<const std::uint8_t> bytes, const Endpoint& to);

  private:
    void Close();
    SocketHandle handle_ = kNoSocket;
};

inline constexpr std::size_t kMaxWaitSockets = 8;

// Waits until a socket is readable or `timeoutMs` passes (-1: no limit). Marks ready[i] for each
// readable socket; returns false when the wait itself failed. At most kMaxWaitSockets sockets.
bool WaitReadable(std::span<const SocketHandle> sockets, int timeoutMs, std::span<bool> ready);

// The local address the system would send from to reach `to` (host order); 0 when there is no
// route. No packet is sent.
std::uint32_t LocalAddressToward(std::uint32_t to);

}  // namespace velta::net::os
