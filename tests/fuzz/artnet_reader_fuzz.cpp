// Any bytes as an Art-Net datagram: ArtDmx data stays inside it with an even length of 2..512,
// the port-address within 15 bits; then the engine takes it (ArtPoll answered by the builder).
#include <span>

#include "net/artnet.h"
#include "tests/fuzz/net_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velta::net;
    const std::span<const std::uint8_t> datagram(data, size);
    const ArtNetReading reading = ReadArtNet(datagram);
    if (reading.reason == Reason::Accepted && reading.kind == ArtNetKind::Dmx) {
        fuzz::CheckInside(reading.dmx.levels, datagram);
        const std::size_t n = reading.dmx.levels.size();
        fuzz::Check(n >= 2 && n <= 512 && n % 2 == 0);
        fuzz::Check(reading.dmx.portAddress >= 0 && reading.dmx.portAddress <= kMaxPortAddress);
    }
    fuzz::RunEngine(Protocol::ArtNet, datagram);
    return 0;
}
