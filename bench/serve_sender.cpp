// A lighting sender for measuring velta serve: the two alternating frames of serve_frames.h,
// every channel changing, at a steady rate to 127.0.0.1 for a while.
//   velta_serve_sender sacn|artnet|ddp PORT [FRAMES_PER_SECOND (44)] [SECONDS (30)]
// Prints how many frames it sent and how late the latest send came after its moment.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "bench/serve_frames.h"
#include "net/udp_socket.h"

int main(int argc, char* argv[]) {
    using namespace velta;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s sacn|artnet|ddp PORT [FRAMES_PER_SECOND] [SECONDS]\n",
                     argv[0]);
        return 2;
    }
    const std::string_view name = argv[1];
    const net::Protocol protocol = name == "sacn"     ? net::Protocol::Sacn
                                   : name == "artnet" ? net::Protocol::ArtNet
                                                      : net::Protocol::Ddp;
    const int port = std::atoi(argv[2]);
    const double rate = argc > 3 ? std::atof(argv[3]) : 44.0;
    const double seconds = argc > 4 ? std::atof(argv[4]) : 30.0;
    if ((name != "sacn" && name != "artnet" && name != "ddp") || port <= 0 || port > 65535 ||
        rate <= 0 || seconds <= 0) {
        std::fprintf(stderr, "%s: bad arguments\n", argv[0]);
        return 2;
    }
    net::os::SocketLibrary library;
    net::os::UdpSocket socket;
    std::string error;
    if (!socket.Open(0x7F000001, 0, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    const net::Endpoint to{0x7F000001, static_cast<std::uint16_t>(port)};
    const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / rate));
    const auto start = std::chrono::steady_clock::now();
    const long frames = static_cast<long>(rate * seconds);
    std::chrono::steady_clock::duration worstLate{};
    for (long i = 0; i < frames; ++i) {
        const auto due = start + i * period;
        std::this_thread::sleep_until(due);
        worstLate = std::max(worstLate, std::chrono::steady_clock::now() - due);
        socket.SendTo(bench::AlternatingPacket(protocol, static_cast<int>(i % 2),
                                               static_cast<unsigned long>(i)),
                      to);
    }
    std::printf("sent %ld frames at %.1f/s over %.1f s; latest send %.2f ms after its moment\n",
                frames, rate, seconds,
                std::chrono::duration<double, std::milli>(worstLate).count());
    return 0;
}
