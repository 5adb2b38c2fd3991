// Any bytes as an sACN datagram: the reader's views stay inside it, its fields within the
// standard's ranges; then the engine takes it as packets from two sources.
#include <span>

#include "net/sacn.h"
#include "tests/fuzz/net_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velta::net;
    const std::span<const std::uint8_t> datagram(data, size);
    const SacnReading reading = ReadSacn(datagram);
    if (reading.reason == Reason::Accepted) {
        fuzz::CheckInside(reading.data.levels, datagram);
        fuzz::Check(reading.data.levels.size() <= 512);
        fuzz::Check(reading.data.sourceName.size() < 64);
        fuzz::Check(reading.data.priority <= kSacnMaxPriority);
        fuzz::Check(reading.data.universe >= kSacnMinUniverse &&
                    reading.data.universe <= kSacnMaxUniverse);
    }
    fuzz::RunEngine(Protocol::Sacn, datagram);
    return 0;
}
