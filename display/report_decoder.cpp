#include "display/report_decoder.h"

#include <algorithm>
#include <array>

namespace velta {

namespace {

using ByteLimits = std::array<std::uint8_t, kReportSize>;

constexpr std::size_t kFirstPayloadByte = 3;
// The tail's zero band and the grid report's upper half that it repeats.
constexpr std::size_t kTailZeroEnd = 33;

// The largest value each byte of a command's report may hold. Byte 1, the command, may hold any
// value (the command picked the table); bytes a layout does not name stay 0.
constexpr ByteLimits CommandLimits() {
    ByteLimits limits{};
    limits[1] = 0xFF;
    return limits;
}
constexpr ByteLimits GridLimits() {
    ByteLimits limits = CommandLimits();
    for (std::size_t column = 0; column < 31; ++column) {
        limits[3 + 2 * column] = 0xFF;
        limits[4 + 2 * column] = 0x0F;  // rows 8..11 only
    }
    return limits;
}
constexpr ByteLimits PodLimits() {
    ByteLimits limits = CommandLimits();
    for (std::size_t at = 3; at < 3 + kRgbDataUsed; ++at)
        limits[at] = 0xFF;
    return limits;
}
constexpr ByteLimits RingLimits() {
    ByteLimits limits = CommandLimits();
    for (std::size_t ring = 0; ring < kRingCount; ++ring) {
        limits[3 + 2 * ring] = 0xFF;
        limits[4 + 2 * ring] = 0x0F;  // levels up to 4095
    }
    limits[27] = kScrollSpeedMax;
    limits[28] = kGridBrightnessMax;
    return limits;
}
constexpr ByteLimits TextLimits() {
    ByteLimits limits = CommandLimits();
    for (std::size_t at = 3; at < kReportSize; ++at)
        limits[at] = 0xFF;
    return limits;
}
constexpr ByteLimits TailLimits() {
    ByteLimits limits{};
    limits[1] = 0xFF;
    limits[2] = 0x0F;
    return limits;  // bytes 33..64 are compared with the grid report instead
}

struct CommandLayout {
    std::uint8_t command;
    ReportKind kind;
    ByteLimits limits;
};

constexpr std::array<CommandLayout, 6> kLayouts = {{
    {kCommandGrid, ReportKind::Grid, GridLimits()},
    {kCommandPods, ReportKind::Pods, PodLimits()},
    {kCommandRings, ReportKind::Rings, RingLimits()},
    {kCommandText, ReportKind::Text, TextLimits()},
    {kCommandRfOn, ReportKind::RfOn, CommandLimits()},
    {kCommandRfOff, ReportKind::RfOff, CommandLimits()},
}};
constexpr ByteLimits kTailLimits = TailLimits();

// The first of the first `count` bytes above its limit, or -1. Nearly every report is within
// its limits, so all bytes are compared without a branch first (the compiler does it a vector at
// a time) and only a report that fails is searched for its first bad byte.
template <std::size_t count = kReportSize>
int FirstOverLimit(const DeviceReport& report, const ByteLimits& limits) {
    unsigned over = 0;
    for (std::size_t at = 0; at < count; ++at)
        over |= static_cast<unsigned>(report[at] > limits[at]);
    if (over == 0)
        return -1;
    for (std::size_t at = 0; at < count; ++at) {
        if (report[at] > limits[at])
            return static_cast<int>(at);
    }
    return -1;
}

bool IsTail(const DeviceReport& report, const DeviceReport& grid) {
    return FirstOverLimit<kTailZeroEnd>(report, kTailLimits) < 0 &&
           std::equal(report.begin() + kTailZeroEnd, report.end(), grid.begin() + kTailZeroEnd);
}

// The display's 256 command bytes: the layout of each, or none.
constexpr std::array<std::int8_t, 256> LayoutIndex() {
    std::array<std::int8_t, 256> index{};
    for (auto& entry : index)
        entry = -1;
    for (std::size_t i = 0; i < kLayouts.size(); ++i)
        index[kLayouts[i].command] = static_cast<std::int8_t>(i);
    return index;
}
constexpr std::array<std::int8_t, 256> kLayoutIndex = LayoutIndex();

const CommandLayout* LayoutOf(std::uint8_t command) {
    const int i = kLayoutIndex[command];
    return i < 0 ? nullptr : &kLayouts[static_cast<std::size_t>(i)];
}

std::size_t TextLength(const DeviceReport& report) {
    const auto* begin = report.data() + kFirstPayloadByte;
    const auto* end = report.data() + kReportSize;
    return static_cast<std::size_t>(std::find(begin, end, std::uint8_t{0}) - begin);
}

std::uint16_t WordAt(const DeviceReport& report, std::size_t at) {
    return static_cast<std::uint16_t>(report[at] | (report[at + 1] << 8));
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendHexDigits(std::string& out, std::uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[value >> 4]);
    out.push_back(kDigits[value & 0x0F]);
}

void AppendHexByte(std::string& out, std::uint8_t value) {
    out += "0x";
    AppendHexDigits(out, value);
}

void AppendWindows1252AsUtf8(std::string& out, std::string_view bytes) {
    // At most three UTF-8 bytes a character, written in place; ASCII stays as it is.
    const std::size_t start = out.size();
    out.resize(start + 3 * bytes.size());
    char* to = out.data() + start;
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80) {
            *to++ = c;
            continue;
        }
        const char32_t cp = Windows1252CodePoint(b);
        if (cp < 0x800) {
            *to++ = static_cast<char>(0xC0 | (cp >> 6));
        } else {
            *to++ = static_cast<char>(0xE0 | (cp >> 12));
            *to++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        }
        *to++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

}  // namespace

ReportReading ReadReport(const DeviceReport& report, const DeviceReport* previousGrid) {
    if (previousGrid != nullptr && IsTail(report, *previousGrid))
        return {ReportKind::GridTail, -1, 0};
    const CommandLayout* layout = LayoutOf(report[1]);
    if (layout == nullptr)
        return {};
    int bad = FirstOverLimit(report, layout->limits);
    if (bad < 0 && layout->kind == ReportKind::Text) {
        // Nothing but zero padding after the terminating 0.
        const std::size_t end = kFirstPayloadByte + TextLength(report);
        const auto* nonZero = std::find_if(report.begin() + static_cast<std::ptrdiff_t>(end),
                                           report.end(), [](std::uint8_t b) { return b != 0; });
        if (nonZero != report.end())
            bad = static_cast<int>(nonZero - report.begin());
    }
    if (bad >= 0) {
        // A text's padding byte is checked against 0 though the table allows any value there.
        const std::uint8_t limit = layout->kind == ReportKind::Text && bad >= 3
                                       ? std::uint8_t{0}
                                       : layout->limits[static_cast<std::size_t>(bad)];
        return {ReportKind::NotUnderstood, bad, limit};
    }
    return {layout->kind, -1, 0};
}

std::string_view ReportKindName(ReportKind kind) {
    constexpr std::array<std::string_view, kReportKindCount> kNames = {
        "grid", "grid tail", "pods", "rings", "text", "RF on", "RF off", "not understood",
    };
    const auto index = static_cast<std::size_t>(kind);
    return index < kNames.size() ? kNames[index] : "not understood";
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    AppendWindows1252AsUtf8(out, bytes);
    return out;
}

std::string QuoteDisplayText(std::string_view windows1252) {
    // Control bytes, quotes and backslashes escaped so the line stays one readable line.
    std::string out = "\"";
    for (const char c : windows1252) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b == '"' || b == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            AppendHexDigits(out, b);
        } else {
            AppendUtf8(out, Windows1252CodePoint(b));
        }
    }
    out.push_back('"');
    return out;
}

std::string DescribeReport(const DeviceReport& report, const DeviceReport* previousGrid) {
    return DescribeReport(report, ReadReport(report, previousGrid));
}

std::string DescribeReport(const DeviceReport& report, const ReportReading& reading) {
    std::string out;
    switch (reading.kind) {
        case ReportKind::Grid:
            return "grid, columns 0-30";
        case ReportKind::GridTail:
            return "grid tail, column 31";
        case ReportKind::Pods:
            return "pods";
        case ReportKind::Rings:
            return "rings, speed " + std::to_string(report[27]) + ", brightness " +
                   std::to_string(report[28]);
        case ReportKind::Text: {
            const std::size_t length = TextLength(report);
            const std::string_view bytes(
                reinterpret_cast<const char*>(report.data() + kFirstPayloadByte), length);
            return "text " + QuoteDisplayText(bytes) + " (" + std::to_string(length) +
                   (length == 1 ? " byte)" : " bytes)");
        }
        case ReportKind::RfOn:
            return "RF on";
        case ReportKind::RfOff:
            return "RF off";
        case ReportKind::NotUnderstood:
            break;
    }
    const CommandLayout* layout = LayoutOf(report[1]);
    if (layout == nullptr || reading.badByte < 0 ||
        reading.badByte >= static_cast<int>(kReportSize)) {
        out = "unknown command ";
        AppendHexByte(out, report[1]);
        return out;
    }
    out = std::string(ReportKindName(layout->kind)) + " not understood: byte " +
          std::to_string(reading.badByte) + " is ";
    AppendHexByte(out, report[static_cast<std::size_t>(reading.badByte)]);
    out += reading.badByteLimit == 0 ? ", expected " : ", at most ";
    AppendHexByte(out, reading.badByteLimit);
    return out;
}

ReportDecoder::ReportDecoder() {
    // Room for the longest text up front, so decoding never allocates.
    state_.textBytes.reserve(kTextPayloadBytes);
    state_.textUtf8.reserve(kTextPayloadBytes * 3);
}

ReportReading ReportDecoder::Feed(const DeviceReport& report) {
    const ReportReading reading = ReadReport(report, lastWasGrid_ ? &lastGrid_ : nullptr);
    const ReportKind kind = reading.kind;
    ++state_.reportCounts[static_cast<std::size_t>(kind)];
    Apply(report, kind);
    lastWasGrid_ = kind == ReportKind::Grid;
    if (lastWasGrid_)
        lastGrid_ = report;
    return reading;
}

void ReportDecoder::Apply(const DeviceReport& report, ReportKind kind) {
    switch (kind) {
        case ReportKind::Grid:
            for (std::size_t column = 0; column < 31; ++column)
                state_.columns[column] = WordAt(report, 3 + 2 * column);
            break;
        case ReportKind::GridTail:
            state_.columns[31] = WordAt(report, 1);
            break;
        case ReportKind::Pods:
            for (std::size_t pod = 0; pod < kPodCount; ++pod) {
                const std::size_t at = 3 + 3 * pod;
                state_.pods[pod] = MakeColor(report[at], report[at + 1], report[at + 2]);
            }
            break;
        case ReportKind::Rings:
            for (std::size_t ring = 0; ring < kRingCount; ++ring)
                state_.rings[ring] = WordAt(report, 3 + 2 * ring);
            state_.scrollSpeed = report[27];
            state_.gridBrightness = report[28];
            break;
        case ReportKind::Text: {
            const std::string_view bytes(
                reinterpret_cast<const char*>(report.data()) + kFirstPayloadByte,
                TextLength(report));
            if (bytes == state_.textBytes)
                break;  // the display shows this text already
            state_.textBytes.assign(bytes);
            state_.textUtf8.clear();
            AppendWindows1252AsUtf8(state_.textUtf8, bytes);
            break;
        }
        case ReportKind::RfOn:
            state_.rfOn = true;
            break;
        case ReportKind::RfOff:
            state_.rfOn = false;
            break;
        case ReportKind::NotUnderstood:
            break;
    }
}

}  // namespace velta
