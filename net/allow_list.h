// IPv4 addresses and the --allow list: which senders the receiver listens to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velta::net {

// "192.168.1.20" in dotted decimal, four parts 0..255, nothing else: host order, or nullopt.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

struct Cidr {
    std::uint32_t network = 0;  // host order, host bits zero
    int prefix = 32;
    bool Contains(std::uint32_t address) const;
};

// "10.0.0.0/8", or an address alone for /32. The host bits must be zero ("10.0.0.1/8" is
// refused: it is ambiguous whether the host or the network was meant). Empty `error` on success.
std::optional<Cidr> ParseCidr(std::string_view text, std::string& error);

// Empty: everyone is allowed. Built once where it is configured; Allows() does not allocate.
class AllowList {
  public:
    // Adds one CIDR; false with the reason in `error` for a malformed one, and the list unchanged.
    bool Add(std::string_view cidr, std::string& error);
    bool Allows(std::uint32_t address) const;
    bool Empty() const { return ranges_.empty(); }

  private:
    std::vector<Cidr> ranges_;
};

}  // namespace velta::net
