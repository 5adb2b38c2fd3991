#include "net/allow_list.h"

#include <charconv>

#include "net/net_types.h"

namespace velta::net {

namespace {

// A decimal number of at most `maxDigits` digits, nothing else.
std::optional<int> ParseNumber(std::string_view text, int maxDigits, int max) {
    if (text.empty() || text.size() > static_cast<std::size_t>(maxDigits))
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

// Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) on "literal" + std::string.
std::string Quoted(std::string_view text) {
    std::string quoted(1, '"');
    quoted.append(text);
    quoted += '"';
    return quoted;
}

std::uint32_t Mask(int prefix) {
    return prefix == 0 ? 0u : ~std::uint32_t{0} << (32 - prefix);
}

}  // namespace

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos)
            return std::nullopt;
        const std::optional<int> value = ParseNumber(text.substr(0, dot), 3, 255);
        if (!value)
            return std::nullopt;
        address = (address << 8) | static_cast<std::uint32_t>(*value);
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

bool Cidr::Contains(std::uint32_t address) const {
    return (address & Mask(prefix)) == network;
}

std::optional<Cidr> ParseCidr(std::string_view text, std::string& error) {
    const std::size_t slash = text.find('/');
    const std::optional<std::uint32_t> address = ParseIpv4(text.substr(0, slash));
    if (!address) {
        error = Quoted(text) + " is not an IPv4 address or network (expected e.g. 192.168.1.0/24)";
        return std::nullopt;
    }
    Cidr cidr{*address, 32};
    if (slash != std::string_view::npos) {
        const std::optional<int> prefix = ParseNumber(text.substr(slash + 1), 2, 32);
        if (!prefix) {
            error = Quoted(text) + " has no prefix length 0 to 32 after the \"/\"";
            return std::nullopt;
        }
        cidr.prefix = *prefix;
    }
    if ((cidr.network & ~Mask(cidr.prefix)) != 0) {
        error = Quoted(text) + " has host bits set; the network is " +
                FormatAddress(cidr.network & Mask(cidr.prefix)) + "/" + std::to_string(cidr.prefix);
        return std::nullopt;
    }
    error.clear();
    return cidr;
}

bool AllowList::Add(std::string_view cidr, std::string& error) {
    const std::optional<Cidr> parsed = ParseCidr(cidr, error);
    if (!parsed)
        return false;
    ranges_.push_back(*parsed);
    return true;
}

bool AllowList::Allows(std::uint32_t address) const {
    if (ranges_.empty())
        return true;
    for (const Cidr& range : ranges_) {
        if (range.Contains(address))
            return true;
    }
    return false;
}

}  // namespace velta::net
