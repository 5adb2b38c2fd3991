// Any bytes as a DDP datagram: the data stays inside it and inside the 512-byte frame; then the
// engine puts the pieces together as packets from two senders.
#include <span>

#include "net/ddp.h"
#include "tests/fuzz/net_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velta::net;
    const std::span<const std::uint8_t> datagram(data, size);
    const DdpReading reading = ReadDdp(datagram);
    if (reading.reason == Reason::Accepted) {
        fuzz::CheckInside(reading.data.bytes, datagram);
        fuzz::Check(reading.data.offset + reading.data.bytes.size() <= kDdpFrameSize);
    }
    fuzz::RunEngine(Protocol::Ddp, datagram);
    return 0;
}
