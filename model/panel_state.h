// The one model of the panel's content and of the user's choices.
//
// Everything the window shows as data lives here: the 32 x 12 grid, the 20 pods, the 12 rings,
// the sliders, the scrolling text, the feature check boxes, the fill mode and the RF-mode flag.
// It also owns the three packed arrays that the device reports carry and the Data Center prints.
// Plain C++, no window: every rule of the program can run against it headless.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace velta {

// 32-bit colour 0x00BBGGRR: red in the lowest byte, bits 24..31 zero.
using Color = std::uint32_t;

constexpr Color MakeColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<Color>(red) | (static_cast<Color>(green) << 8) |
           (static_cast<Color>(blue) << 16);
}
constexpr std::uint8_t RedOf(Color c) {
    return static_cast<std::uint8_t>(c & 0xFFu);
}
constexpr std::uint8_t GreenOf(Color c) {
    return static_cast<std::uint8_t>((c >> 8) & 0xFFu);
}
constexpr std::uint8_t BlueOf(Color c) {
    return static_cast<std::uint8_t>((c >> 16) & 0xFFu);
}

// Bit set of panel features. The same layout serves the feature selection, the change flags
// and the Data Center export.
using FeatureMask = std::uint32_t;
namespace feature {
constexpr FeatureMask kLedGrid = 0x01;
constexpr FeatureMask kRgbPods = 0x02;
constexpr FeatureMask kLedRings = 0x04;  // carries scroll speed and grid brightness too
constexpr FeatureMask kGridBrightness = 0x08;
constexpr FeatureMask kRingBrightness = 0x10;
constexpr FeatureMask kScrollingText = 0x40;
}  // namespace feature

// The check boxes of the "Features to Update" group, in mask bit order (text is bit 6).
enum class FeatureBox { LedGrid, RgbPods, LedRings, GridBrightness, RingBrightness, ScrollingText };

// The three kinds of LED on the panel, each a switch of the panel's content.
enum class LedKind { GridCell, Pod, Ring };

// What the half shifts put into the line they empty.
enum class FillMode { AllOff, AllOn, Copy };

constexpr int kRows = 12;
constexpr int kColumns = 32;
constexpr int kCellCount = kRows * kColumns;  // 384
constexpr int kPodCount = 20;                 // 0..9 "Master Side", 10..19 "Secondary Side"
constexpr int kRingCount = 12;

constexpr int kRingLevelMax = 4095;
constexpr int kGridBrightnessMax = 15;
constexpr int kScrollSpeedMax = 15;

constexpr int kLedDataWords = 32;
constexpr int kRgbDataBytes = 120;  // only bytes 0..59 carry pod colours
constexpr int kRgbDataUsed = 60;
constexpr int kRingDataBytes = 24;

constexpr Color kLedDefaultOnColor = 0xFF0000;  // blue, the colour every LED is created with
constexpr Color kLedDefaultOffColor = 0x000000;
// A pod LED once coloured shows white when on, its pod colour when off.
constexpr Color kColouredPodLedOnColor = 0xFFFFFF;

// Fields other than the LED cells that the window mirrors in its controls.
enum class PanelField {
    FeatureSelection,
    AutoUpdate,
    FillMode,
    RfMode,
    RingLevel,
    GridBrightness,
    ScrollSpeed,
    ScrollText,
    CurrentColor,
};

// Told of every write of a grid cell, pod mark or ring, also when the value did not change:
// the window repaints that LED on each call. Runs on the thread that wrote (the UI thread).
class PanelObserver {
  public:
    virtual ~PanelObserver() = default;
    virtual void OnCellWritten(int /*index*/, bool /*on*/) {}
    virtual void OnPodMarkWritten(int /*pod*/, bool /*on*/) {}
    virtual void OnRingWritten(int /*ring*/, bool /*on*/) {}
    virtual void OnPodLedColorsChanged(int /*pod*/, Color /*onColor*/, Color /*offColor*/) {}
    virtual void OnFieldChanged(PanelField /*field*/) {}
};

struct LedColors {
    Color on = kLedDefaultOnColor;
    Color off = kLedDefaultOffColor;
    bool operator==(const LedColors&) const = default;
};

class PanelState {
  public:
    using LedData = std::array<std::uint32_t, kLedDataWords>;
    using RgbData = std::array<std::uint8_t, kRgbDataBytes>;
    using RingData = std::array<std::uint8_t, kRingDataBytes>;

    PanelState() = default;
    PanelState(const PanelState&) = delete;
    PanelState& operator=(const PanelState&) = delete;

    // One observer at a time (the window); nullptr detaches.
    void SetObserver(PanelObserver* observer) { observer_ = observer; }

    // Grid cells, row-major: index = 32 * row + column. Out-of-range reads give false and
    // out-of-range writes are ignored, so no caller can reach outside the grid.
    static constexpr bool IsCellIndex(int index) { return index >= 0 && index < kCellCount; }
    static constexpr int CellIndex(int row, int column) { return kColumns * row + column; }
    bool Cell(int index) const { return IsCellIndex(index) && gridCells_[index] != 0; }
    bool Cell(int row, int column) const;
    void SetCell(int index, bool on);
    void SetCell(int row, int column, bool on);
    void ToggleCell(int index) { SetCell(index, !Cell(index)); }

    // Pods.
    Color PodColor(int pod) const { return IsPod(pod) ? podColors_[pod] : 0; }
    void SetPodColor(int pod, Color color);
    bool PodMark(int pod) const { return IsPod(pod) && podMarks_[pod] != 0; }
    void SetPodMark(int pod, bool on);
    void TogglePodMark(int pod) { SetPodMark(pod, !PodMark(pod)); }
    // Display colours of a pod's LED; they show podColors but are never packed or sent.
    LedColors PodLedColors(int pod) const { return IsPod(pod) ? podLedColors_[pod] : LedColors{}; }
    void SetPodLedColors(int pod, Color onColor, Color offColor);

    Color CurrentColor() const { return currentColor_; }
    void SetCurrentColor(Color color);

    // Rings.
    bool RingOn(int ring) const { return IsRing(ring) && ringOn_[ring] != 0; }
    void SetRingOn(int ring, bool on);
    void ToggleRing(int ring) { SetRingOn(ring, !RingOn(ring)); }

    // Sliders; values outside their ranges are clamped.
    int RingLevel() const { return ringLevel_; }
    void SetRingLevel(int level);
    int GridBrightness() const { return gridBrightness_; }
    void SetGridBrightness(int value);
    int ScrollSpeed() const { return scrollSpeed_; }
    void SetScrollSpeed(int value);

    // The scrolling text, UTF-8, any length.
    const std::string& ScrollText() const { return scrollText_; }
    void SetScrollText(std::string text);

    bool Feature(FeatureBox box) const { return featureSelection_[Index(box)]; }
    void SetFeature(FeatureBox box, bool on);

    bool AutoUpdate() const { return autoUpdate_; }
    void SetAutoUpdate(bool on);

    FillMode GetFillMode() const { return fillMode_; }
    void SetFillMode(FillMode mode);

    bool RfMode() const { return rfMode_; }
    void SetRfMode(bool on);

    // The mask of the checked feature boxes; bit 6 only when withText is true.
    FeatureMask BuildFeatureMask(bool withText) const;

    // The packed arrays the reports carry and the Data Center prints, computed from the current
    // fields on every call, so no reader can see a stale copy.
    LedData LED_data() const;    // one word per column, bit n = row n
    RgbData RGB_data() const;    // R, G, B per pod; bytes 60..119 stay zero
    RingData ring_data() const;  // the ring level, little-endian, for each ring that is on

  private:
    static constexpr bool IsPod(int pod) { return pod >= 0 && pod < kPodCount; }
    static constexpr bool IsRing(int ring) { return ring >= 0 && ring < kRingCount; }
    static constexpr std::size_t Index(FeatureBox box) { return static_cast<std::size_t>(box); }
    void Notify(PanelField field) {
        if (observer_ != nullptr)
            observer_->OnFieldChanged(field);
    }

    PanelObserver* observer_ = nullptr;

    std::array<std::uint8_t, kCellCount> gridCells_{};
    std::array<Color, kPodCount> podColors_{};
    std::array<std::uint8_t, kPodCount> podMarks_{};
    std::array<LedColors, kPodCount> podLedColors_{};
    Color currentColor_ = 0;
    std::array<std::uint8_t, kRingCount> ringOn_{};
    int ringLevel_ = kRingLevelMax;
    int gridBrightness_ = kGridBrightnessMax;
    int scrollSpeed_ = kScrollSpeedMax;
    std::string scrollText_;
    std::array<bool, 6> featureSelection_{};
    bool autoUpdate_ = false;
    FillMode fillMode_ = FillMode::AllOff;
    bool rfMode_ = false;
};

}  // namespace velta
