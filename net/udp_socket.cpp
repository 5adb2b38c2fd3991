#include "net/udp_socket.h"

#include <array>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace velta::net::os {

namespace {

#ifdef _WIN32
using SockLen = int;
int LastError() {
    return WSAGetLastError();
}
bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}
bool Interrupted(int error) {
    return error == WSAEINTR;
}
std::string ErrorText(int error) {
    return "socket error " + std::to_string(error);
}
void CloseSocket(SocketHandle handle) {
    closesocket(handle);
}
bool MakeNonBlocking(SocketHandle handle) {
    u_long on = 1;
    return ioctlsocket(handle, FIONBIO, &on) == 0;
}
#else
using SockLen = socklen_t;
int LastError() {
    return errno;
}
bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool Interrupted(int error) {
    return error == EINTR;
}
std::string ErrorText(int error) {
    return std::strerror(error);
}
void CloseSocket(SocketHandle handle) {
    close(handle);
}
bool MakeNonBlocking(SocketHandle handle) {
    const int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}
#endif

sockaddr_in SocketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in out{};
    out.sin_family = AF_INET;
    out.sin_addr.s_addr = htonl(address);
    out.sin_port = htons(port);
    return out;
}

std::string Describe(const char* what, std::uint32_t address, std::uint16_t port, int error) {
    return std::string(what) + " " + FormatEndpoint({address, port}) + ": " + ErrorText(error);
}

}  // namespace

SocketLibrary::SocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    if (const int error = WSAStartup(MAKEWORD(2, 2), &data); error != 0)
        error_ = "the socket library did not start: " + ErrorText(error);
#endif
}

SocketLibrary::~SocketLibrary() {
#ifdef _WIN32
    if (error_.empty())
        WSACleanup();
#endif
}

UdpSocket::~UdpSocket() {
    Close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoSocket)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoSocket);
    }
    return *this;
}

void UdpSocket::Close() {
    if (handle_ != kNoSocket)
        CloseSocket(handle_);
    handle_ = kNoSocket;
}

bool UdpSocket::Open(std::uint32_t address, std::uint16_t port, std::string& error) {
    Close();
    const SocketHandle handle = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (handle == kNoSocket) {
        error = Describe("cannot make a UDP socket for", address, port, LastError());
        return false;
    }
    handle_ = handle;
    const int on = 1;
    setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    const sockaddr_in local = SocketAddress(address, port);
    if (bind(handle_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = Describe("cannot listen on", address, port, LastError());
        Close();
        return false;
    }
    if (!MakeNonBlocking(handle_)) {
        error = Describe("cannot make the socket non-blocking on", address, port, LastError());
        Close();
        return false;
    }
    return true;
}

bool UdpSocket::JoinMulticast(std::uint32_t group, std::uint32_t interfaceAddress,
                              std::string& error) {
    ip_mreq request{};
    request.imr_multiaddr.s_addr = htonl(group);
    request.imr_interface.s_addr = htonl(interfaceAddress);
    if (setsockopt(handle_, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&request),
                   sizeof request) != 0) {
        error = "cannot join the multicast group " + FormatAddress(group) + " on interface " +
                FormatAddress(interfaceAddress) + ": " + ErrorText(LastError());
        return false;
    }
#ifdef IP_MULTICAST_ALL
    // Linux delivers every group any socket joined to every socket bound to the port; only ours.
    const int off = 0;
    setsockopt(handle_, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
#endif
    return true;
}

std::uint16_t UdpSocket::LocalPort() const {
    sockaddr_in local{};
    SockLen size = sizeof local;
    if (getsockname(handle_, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

UdpSocket::Read UdpSocket::Receive(std::span<std::uint8_t> buffer, std::size_t& size,
                                   Endpoint& from) {
    for (;;) {
        sockaddr_in sender{};
        SockLen senderSize = sizeof sender;
        const auto n = recvfrom(handle_, reinterpret_cast<char*>(buffer.data()),
                                static_cast<int>(buffer.size()), 0,
                                reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (n >= 0) {
            size = static_cast<std::size_t>(n);
            from = {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
            return Read::Datagram;
        }
        const int error = LastError();
        if (Interrupted(error))
            continue;
#ifdef _WIN32
        // Winsock reports a datagram longer than the buffer as an error after filling it.
        if (error == WSAEMSGSIZE) {
            size = buffer.size();
            from = {ntohl(sender.sin_addr.s_addr), ntohs(sender.sin_port)};
            return Read::Datagram;
        }
#endif
        return WouldBlock(error) ? Read::Nothing : Read::Failed;
    }
}

bool UdpSocket::SendTo(std::span<const std::uint8_t> bytes, const Endpoint& to) {
    const sockaddr_in target = SocketAddress(to.address, to.port);
    const auto n =
        sendto(handle_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()),
               0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    return n >= 0 && static_cast<std::size_t>(n) == bytes.size();
}

bool WaitReadable(std::span<const SocketHandle> sockets, int timeoutMs, std::span<bool> ready) {
    if (sockets.size() > kMaxWaitSockets || ready.size() < sockets.size())
        return false;
#ifdef _WIN32
    std::array<WSAPOLLFD, kMaxWaitSockets> fds{};
#else
    std::array<pollfd, kMaxWaitSockets> fds{};
#endif
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        fds[i].fd = sockets[i];
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
    for (;;) {
#ifdef _WIN32
        const int n = WSAPoll(fds.data(), static_cast<ULONG>(sockets.size()), timeoutMs);
#else
        const int n = poll(fds.data(), static_cast<nfds_t>(sockets.size()), timeoutMs);
#endif
        if (n < 0 && Interrupted(LastError()))
            continue;
        if (n < 0)
            return false;
        for (std::size_t i = 0; i < sockets.size(); ++i)
            ready[i] = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
        return true;
    }
}

std::uint32_t LocalAddressToward(std::uint32_t to) {
    UdpSocket probe;
    std::string error;
    if (!probe.Open(0, 0, error))
        return 0;
    // A connected UDP socket has a local address chosen by the routing table; nothing is sent.
    const sockaddr_in target = SocketAddress(to, kArtNetPort);
    if (connect(probe.Handle(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
        return 0;
    sockaddr_in local{};
    SockLen size = sizeof local;
    if (getsockname(probe.Handle(), reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohl(local.sin_addr.s_addr);
}

}  // namespace velta::net::os
