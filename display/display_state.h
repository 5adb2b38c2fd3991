// What the display holds after the reports it was sent: the grid's columns, pod colours, ring
// levels, the two sliders, the scrolling text and the RF state, plus how many reports of each
// kind arrived. Filled only by ReportDecoder; the preview draws it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "model/panel_state.h"

namespace velta {

// How a report was read. NotUnderstood covers unknown commands, reports whose bytes break their
// layout and a tail-shaped report that does not follow a grid report.
enum class ReportKind : std::uint8_t {
    Grid,
    GridTail,
    Pods,
    Rings,
    Text,
    RfOn,
    RfOff,
    NotUnderstood,
};
constexpr std::size_t kReportKindCount = 8;

struct DisplayState {
    // Column c of the grid, bit r is row r; 12 bits used.
    std::array<std::uint16_t, kColumns> columns{};
    std::array<Color, kPodCount> pods{};
    // Ring levels as sent: 0 is a ring switched off, 1..4095 its brightness.
    std::array<std::uint16_t, kRingCount> rings{};
    // 0..15. Until a ring report arrives, the values the panel starts with.
    int scrollSpeed = kScrollSpeedMax;
    int gridBrightness = kGridBrightnessMax;
    // Windows-1252 bytes up to the first 0 (at most 62), and the same text as UTF-8.
    std::string textBytes;
    std::string textUtf8;
    bool rfOn = false;
    // Reports fed, by the kind they were read as.
    std::array<std::uint64_t, kReportKindCount> reportCounts{};

    bool Lit(int row, int column) const {
        return row >= 0 && row < kRows && column >= 0 && column < kColumns &&
               ((columns[static_cast<std::size_t>(column)] >> row) & 1u) != 0;
    }
    std::uint64_t ReportCount(ReportKind kind) const {
        return reportCounts[static_cast<std::size_t>(kind)];
    }
    std::uint64_t NotUnderstoodCount() const { return ReportCount(ReportKind::NotUnderstood); }
};

}  // namespace velta
