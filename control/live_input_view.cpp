#include "control/live_input_view.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "net/input_engine.h"

namespace velta {

namespace {

std::string SourceName(const net::SourceStats& source) {
    const char* name = source.label.name.data();
    return name[0] != '\0' ? std::string(name) : std::string("(unnamed)");
}

std::string SourceUniverse(const net::SourceStats& source) {
    switch (source.label.protocol) {
        case net::Protocol::Sacn:
            return std::to_string(source.label.universe);
        case net::Protocol::ArtNet:
            return std::to_string(source.label.universe + 1) + " (port-address " +
                   std::to_string(source.label.universe) + ")";
        case net::Protocol::Ddp:
            break;
    }
    return "none";
}

std::string SourcePriority(const net::SourceStats& source) {
    const std::string priority = std::to_string(source.label.priority);
    // Only sACN sends a priority; the others rank as the default one.
    return source.label.protocol == net::Protocol::Sacn ? priority : priority + " (not sent)";
}

struct SourceColumn {
    LiveSourceColumn column;
    std::string_view title;
    std::function<std::string(const net::SourceStats&, net::TimePoint now)> text;
};

const std::array<SourceColumn, kLiveSourceColumns>& SourceColumns() {
    static const std::array<SourceColumn, kLiveSourceColumns> columns{{
        {LiveSourceColumn::Name, "Source",
         [](const net::SourceStats& s, net::TimePoint) { return SourceName(s); }},
        {LiveSourceColumn::Address, "Address",
         [](const net::SourceStats& s, net::TimePoint) {
             return net::FormatEndpoint(s.label.address);
         }},
        {LiveSourceColumn::Protocol, "Protocol",
         [](const net::SourceStats& s, net::TimePoint) {
             return std::string(net::ProtocolName(s.label.protocol));
         }},
        {LiveSourceColumn::Universe, "Universe",
         [](const net::SourceStats& s, net::TimePoint) { return SourceUniverse(s); }},
        {LiveSourceColumn::Priority, "Priority",
         [](const net::SourceStats& s, net::TimePoint) { return SourcePriority(s); }},
        {LiveSourceColumn::PacketsPerSecond, "Packets/s",
         [](const net::SourceStats& s, net::TimePoint) {
             return FormatPacketsPerSecond(s.packetsPerSecond);
         }},
        {LiveSourceColumn::LastSeen, "Last seen",
         [](const net::SourceStats& s, net::TimePoint now) {
             return FormatLastSeen(now - s.lastSeen);
         }},
        {LiveSourceColumn::Display, "Display",
         [](const net::SourceStats& s, net::TimePoint) {
             return std::string(s.holdsDisplay ? "shown" : "not shown");
         }},
    }};
    return columns;
}

std::string PortsText(const std::array<std::uint16_t, net::kProtocolCount>& ports) {
    std::string text;
    for (int p = 0; p < net::kProtocolCount; ++p) {
        const std::uint16_t port = ports[static_cast<std::size_t>(p)];
        if (port == 0)
            continue;
        text += (text.empty() ? "" : ", ") +
                std::string(net::ProtocolName(static_cast<net::Protocol>(p))) + " port " +
                std::to_string(port);
    }
    return text;
}

}  // namespace

LiveInputConfig MakeLiveInputConfig(const LiveInputSettings& settings) {
    LiveInputConfig config;
    config.receiver.input.universe = settings.universe;
    config.receiver.input.startAddress = settings.startAddress;
    config.receiver.input.onLoss = settings.onLoss;
    config.receiver.protocols = settings.protocols;
    config.receiver.bindAddress = settings.bindAddress;
    config.receiver.ports = settings.ports;
    config.receiver.joinMulticast = settings.joinMulticast;
    config.send = true;
    return config;
}

std::string_view LiveSourceColumnTitle(LiveSourceColumn column) {
    return SourceColumns()[static_cast<std::size_t>(column)].title;
}

LiveSourceRow FormatSourceRow(const net::SourceStats& source, net::TimePoint now) {
    LiveSourceRow row;
    for (const SourceColumn& column : SourceColumns())
        row.cells[static_cast<std::size_t>(column.column)] = column.text(source, now);
    row.holdsDisplay = source.holdsDisplay;
    return row;
}

std::vector<LiveSourceRow> LiveSourceRows(const LiveInputStats& stats, net::TimePoint now) {
    std::vector<LiveSourceRow> rows;
    if (!stats.on)
        return rows;
    for (int i = 0; i < stats.receiver.sourceCount; ++i)
        rows.push_back(FormatSourceRow(stats.receiver.sources[static_cast<std::size_t>(i)], now));
    return rows;
}

std::string FormatPacketsPerSecond(double packetsPerSecond) {
    if (!(packetsPerSecond > 0))
        return "0";
    char text[32];
    std::snprintf(text, sizeof text, packetsPerSecond >= 10 ? "%.0f" : "%.1f", packetsPerSecond);
    return text;
}

std::string FormatLastSeen(net::Clock::duration ago) {
    using namespace std::chrono;
    const auto seconds = duration_cast<std::chrono::seconds>(ago).count();
    if (seconds < 1)
        return "now";
    if (seconds < 60)
        return std::to_string(seconds) + " s ago";
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min ago";
    return std::to_string(seconds / 3600) + " h ago";
}

std::vector<LiveDropRow> LiveDropRows(const net::InputCounters& counters) {
    std::vector<LiveDropRow> rows;
    for (int r = 0; r < net::kReasonCount; ++r) {
        const auto reason = static_cast<net::Reason>(r);
        const std::uint64_t count = counters.reasons[static_cast<std::size_t>(r)];
        if (count > 0 && net::IsDrop(reason))
            rows.push_back({std::string(net::ReasonName(reason)), count});
    }
    return rows;
}

std::string LiveTotalsText(const LiveInputStats& stats) {
    const net::InputCounters& counters = stats.receiver.counters;
    std::string text = "Packets: ";
    for (int p = 0; p < net::kProtocolCount; ++p) {
        text += (p == 0 ? "" : ", ") +
                std::string(net::ProtocolName(static_cast<net::Protocol>(p))) + " " +
                std::to_string(counters.packets[static_cast<std::size_t>(p)]);
    }
    text += ". Frames: " + std::to_string(counters.framesAccepted) + " received, " +
            std::to_string(stats.framesShown) + " shown, " + std::to_string(stats.framesSent) +
            " sent. Dropped: " + std::to_string(counters.Drops()) + ".";
    return text;
}

std::string LiveStatusText(const LiveInputStats& stats,
                           const std::array<std::uint16_t, net::kProtocolCount>& ports) {
    if (stats.failed)
        return "The receiver stopped: waiting for packets failed. Switch \"Show live input\" on "
               "again to restart it.";
    if (!stats.on)
        return "Off: the program listens to nothing, and the panel is yours to edit.";
    const std::string listening = "Listening on " + PortsText(ports);
    const int count = stats.receiver.sourceCount;
    if (count == 0)
        return listening + ": no source is sending.";
    std::string shown;
    for (int i = 0; i < count; ++i) {
        const net::SourceStats& source = stats.receiver.sources[static_cast<std::size_t>(i)];
        if (source.holdsDisplay)
            shown = net::DescribeSource(source.label);
    }
    std::string text =
        listening + ": " + std::to_string(count) + (count == 1 ? " source" : " sources");
    return shown.empty() ? text + "." : text + ", the panel shows " + shown + ".";
}

}  // namespace velta
