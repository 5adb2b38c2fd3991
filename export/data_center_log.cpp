#include "export/data_center_log.h"

#include <cstdint>
#include <string>

namespace velta {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kBlockSeparator = "\r\n\r\n";
// Indices below 10 get two extra spaces before the equals sign; users' sequence tools expect
// exactly this layout, so it is kept although the columns do not line up.
constexpr std::string_view kShortIndexSeparator = "]   = ";
constexpr std::string_view kLongIndexSeparator = "] = ";

// Longest line: "ring_data[" + two-digit index + "]   = " + "0x" + eight hex digits + "\r\n".
constexpr std::size_t kMaxLineBytes = 40;

// Formats one line into a small buffer and appends it in one go; the log itself is never
// reformatted, so an export costs the same however long the log has grown.
void AppendLine(std::string& out, std::string_view prefix, int index, std::uint32_t value,
                int minDigits, bool lineEnd) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    char line[kMaxLineBytes];
    std::size_t n = prefix.copy(line, prefix.size());

    // "%d"; indices are 0..59.
    char digits[10];
    int count = 0;
    auto rest = static_cast<unsigned>(index);
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    while (count > 0)
        line[n++] = digits[--count];

    const std::string_view separator = index < 10 ? kShortIndexSeparator : kLongIndexSeparator;
    n += separator.copy(line + n, separator.size());

    // "0x%.3X" or "0x%.2X": upper case, zero-padded to minDigits, longer if the value needs it.
    count = 0;
    do {
        digits[count++] = kHexDigits[value & 0xFu];
        value >>= 4;
    } while (value != 0);
    while (count < minDigits)
        digits[count++] = '0';
    line[n++] = '0';
    line[n++] = 'x';
    while (count > 0)
        line[n++] = digits[--count];

    if (lineEnd)
        n += kLineEnd.copy(line + n, kLineEnd.size());
    out.append(line, n);
}

// One block: a line per element, in index order; only the grid block leaves its last line open.
template <typename Value>
void AppendBlockLines(std::string& out, std::string_view prefix, const Value* values, int count,
                      int minDigits, bool endLastLine) {
    for (int i = 0; i < count; ++i)
        AppendLine(out, prefix, i, values[i], minDigits, endLastLine || i + 1 < count);
}

}  // namespace

DataCenterLimits DataCenterLimits::None() {
    return {SIZE_MAX, SIZE_MAX};
}

DataCenterLog::DataCenterLog(const PanelState& panel, DataCenterSink& sink, DataCenterLimits limits)
    : panel_(panel), sink_(sink), limits_(limits) {}

void DataCenterLog::Clear() {
    text_.clear();
    text_.shrink_to_fit();
    shown_ = 0;
    warned_ = false;
    full_ = false;
    sink_.RefreshDataCenter(text_, shown_);
}

std::string DataCenterLog::Size(std::size_t bytes) {
    return bytes % DataCenterLimits::kMiB == 0
               ? std::to_string(bytes / DataCenterLimits::kMiB) + " MiB"
               : std::to_string(bytes) + " bytes";
}

bool DataCenterLog::Admit(std::size_t blockBytes) {
    if (full_)
        return false;
    if (text_.size() + blockBytes <= limits_.stopAt)
        return true;
    full_ = true;
    sink_.DataCenterFull("The Data Center is full (" + Size(limits_.stopAt) +
                         ") and takes no more blocks; sending goes on. To keep more, export it "
                         "(File > Export Data Center...), then clear it (Edit > Clear Data "
                         "Center).");
    return false;
}

void DataCenterLog::AppendFrames(const std::vector<SequenceFrame>& frames, FeatureMask mask) {
    // Each frame packed on a panel of its own, by the same block code Save Sequence uses, so
    // the two cannot drift apart.
    PanelState scratch;
    for (const SequenceFrame& frame : frames) {
        ApplyFrame(scratch, frame);
        AppendBlocksOf(scratch, mask);
    }
}

void DataCenterLog::AppendBlocksOf(const PanelState& panel, FeatureMask mask) {
    // Each block is admitted whole or not at all, counted at its largest size, so the log never
    // passes its limit; once it is full no block is appended until it is cleared.
    std::size_t adding = 0;
    const auto admit = [&](FeatureMask bit, int lines) {
        if ((mask & bit) == 0)
            return false;
        const std::size_t bytes =
            static_cast<std::size_t>(lines) * kMaxLineBytes + kBlockSeparator.size();
        if (!Admit(adding + bytes))
            return false;
        adding += bytes;
        return true;
    };
    const bool grid = admit(feature::kLedGrid, kLedDataWords);
    const bool pods = admit(feature::kRgbPods, kRgbDataUsed);
    const bool rings = admit(feature::kLedRings, kRingDataBytes);
    if (!grid && !pods && !rings)
        return;

    // One reservation for everything this export adds; std::string grows geometrically, so a
    // long log is not copied on every export.
    text_.reserve(text_.size() + adding);

    // Each block ends with a refresh, so the box shows the block at once; the separator that
    // follows is shown by the next refresh.
    const auto finishBlock = [this] {
        sink_.RefreshDataCenter(text_, shown_);
        shown_ = text_.size();
        text_.append(kBlockSeparator);
    };

    if (grid) {
        // The grid block's last line has no line end: the separator alone follows it.
        const PanelState::LedData words = panel.LED_data();
        AppendBlockLines(text_, "LED_data[", words.data(), kLedDataWords, 3, false);
        finishBlock();
    }
    if (pods) {
        const PanelState::RgbData bytes = panel.RGB_data();
        AppendBlockLines(text_, "RGB_data[", bytes.data(), kRgbDataUsed, 2, true);
        finishBlock();
    }
    if (rings) {
        const PanelState::RingData bytes = panel.ring_data();
        AppendBlockLines(text_, "ring_data[", bytes.data(), kRingDataBytes, 2, true);
        finishBlock();
    }
    if (!warned_ && text_.size() > limits_.warnAt) {
        warned_ = true;
        sink_.DataCenterWarning("The Data Center holds over " + Size(limits_.warnAt) + "; at " +
                                Size(limits_.stopAt) +
                                " it stops taking blocks. Export it, then clear it, to keep "
                                "more.");
    }
}

}  // namespace velta
