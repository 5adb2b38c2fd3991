#include "tests/e2e/e2e_expect.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <utility>

#include "control/control_ids.h"
#include "device/simulated_transmitter.h"
#include "tests/support/posted_tasks.h"
#include "ui/dialog_template.h"
#include "ui/led_placement.h"

namespace velta::e2e {

namespace {

namespace id = panel_id;

constexpr std::array<std::pair<std::string_view, int>, 19> kControlNames = {{
    {"select-all", id::kSelectAll},
    {"deselect-all", id::kDeselectAll},
    {"shift-left", id::kShiftLeft},
    {"shift-right", id::kShiftRight},
    {"shift-up", id::kShiftUp},
    {"shift-down", id::kShiftDown},
    {"invert-grid", id::kInvertGrid},
    {"color-all-pods", id::kColorAllPods},
    {"connect-tx", id::kConnectTx},
    {"update-data", id::kUpdateData},
    {"rf-mode", id::kRfMode},
    {"save-sequence", id::kSaveSequence},
    {"led-grid", id::kLedGridBox},
    {"rgb-pods", id::kRgbPodsBox},
    {"led-rings", id::kLedRingsBox},
    {"scrolling-text", id::kScrollingTextBox},
    {"auto-update", id::kAutoUpdate},
    // Aimed at only; the replay has nothing to run for them.
    {"pod-colour", id::kPodColour},
    {"scroll-text", id::kScrollText},
}};

// The LED fields as the tab order names them.
constexpr std::array<std::pair<std::string_view, int>, 4> kFieldNames = {{
    {"rings", ui::field_id::kRings},
    {"master-pods", ui::field_id::kMasterPods},
    {"grid", ui::field_id::kGrid},
    {"secondary-pods", ui::field_id::kSecondaryPods},
}};

// The window as the controller sees it, minus the screen: the pointer is what the step says,
// posted work runs between steps as the event loop would run it, and no timer fires by itself.
class ReplayView : public ControlCenterView, public testing::PostedTasks {
  public:
    PointerSample pointer;

    void ShowWriteError() override {}
    void SetStatusText(std::string_view /*text*/) override {}
    // The controller keeps the log; the expected text is read there.
    void RefreshDataCenter(std::string_view /*log*/, std::size_t /*shownBefore*/) override {}
    void SetRfButtonCaption(std::string_view /*caption*/) override {}
    void StartTimer(int /*id*/, int /*periodMs*/) override {}
    void StopTimer(int /*id*/) override {}
    PointerSample SamplePointer() override { return pointer; }
    Color PickedColor() override { return 0; }
    void PostToUiThread(std::function<void()> task) override { Post(std::move(task)); }
};

bool ParseInt(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool IsCheckBox(int controlId) {
    return controlId == id::kAutoUpdate ||
           ControlCenterController::FeatureBoxForControl(controlId).has_value();
}

// The middle of a rectangle of the panel at scale 1 when shown at `scale`.
Point Middle(const ui::Rect& home, double scale) {
    const ui::Rect r = ui::ScaleRect(home, scale);
    return {r.x + r.width / 2, r.y + r.height / 2};
}

Point LedTarget(ui::LedPoint topLeft, double scale) {
    return Middle({topLeft.x, topLeft.y, ui::kLedWidth, ui::kLedHeight}, scale);
}

// Pointer sample at a grid LED's centre, the point the script drags through.
PointerSample SampleAt(int row, int column, bool rightHeld) {
    const Point p = GridLedTarget(row, column);
    return {p.x, p.y, rightHeld, false};
}

bool Dark(Image::Pixel p) {
    return p.r + p.g + p.b < 150;
}

}  // namespace

std::optional<int> ControlIdForName(std::string_view name) {
    for (const auto& [key, value] : kControlNames) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::optional<std::vector<Step>> ParseSteps(const std::vector<std::string>& words,
                                            std::string& error) {
    std::vector<Step> steps;
    std::size_t i = 0;
    const auto numbers = [&](int count, std::array<int, 3>& out) {
        for (int n = 0; n < count; ++n) {
            if (i + 1 + static_cast<std::size_t>(n) >= words.size() ||
                !ParseInt(words[i + 1 + static_cast<std::size_t>(n)], out[n])) {
                return false;
            }
        }
        return true;
    };
    while (i < words.size()) {
        // The keyboard's steps are the clicks'.
        const std::string word = words[i] == "key-led"      ? "click"
                                 : words[i] == "key-button" ? "button"
                                 : words[i] == "key-box"    ? "box"
                                                            : words[i];
        std::array<int, 3> n{};
        Step step;
        if (word == "click" && numbers(2, n)) {
            step = {Step::Kind::Click, n[0], n[1], n[1], 0};
            i += 3;
        } else if (word == "paint" && numbers(3, n)) {
            step = {Step::Kind::Paint, n[0], n[1], n[2], 0};
            i += 4;
        } else if ((word == "button" || word == "box") && i + 1 < words.size() &&
                   ControlIdForName(words[i + 1]).has_value() &&
                   IsCheckBox(*ControlIdForName(words[i + 1])) == (word == "box")) {
            step.kind = word == "box" ? Step::Kind::Box : Step::Kind::Button;
            step.controlId = *ControlIdForName(words[i + 1]);
            i += 2;
        } else {
            error = "cannot read the step at \"" + word + "\"";
            return std::nullopt;
        }
        const bool onGrid = step.row >= 0 && step.row < kRows && step.first >= 0 &&
                            step.last < kColumns && step.first <= step.last;
        if (!onGrid) {
            error = "step \"" + word + "\" lies off the grid";
            return std::nullopt;
        }
        steps.push_back(step);
    }
    return steps;
}

Outcome Play(const std::vector<Step>& steps) {
    SimulatedTransmitter transmitter;
    ReplayView view;
    Outcome outcome;
    {
        ControlCenterController controller(transmitter, view);
        controller.OnInitDialog();
        for (const Step& step : steps) {
            switch (step.kind) {
                case Step::Kind::Click:
                    controller.OnLedClicked(LedKind::GridCell,
                                            PanelState::CellIndex(step.row, step.first));
                    break;
                case Step::Kind::Paint:
                    // Press, a tick over every LED on the way, release and the last tick.
                    view.pointer = SampleAt(step.row, step.first, true);
                    controller.OnPaintButtonsChanged(true);
                    for (int column = step.first; column <= step.last; ++column) {
                        view.pointer = SampleAt(step.row, column, true);
                        controller.OnTimer(kSampleTimerId);
                    }
                    view.pointer.rightHeld = false;
                    controller.OnPaintButtonsChanged(false);
                    controller.OnTimer(kSampleTimerId);
                    break;
                case Step::Kind::Button:
                    controller.OnButtonClicked(step.controlId);
                    break;
                case Step::Kind::Box:
                    if (step.controlId == id::kAutoUpdate) {
                        controller.OnAutoUpdateClicked(!controller.Panel().AutoUpdate());
                    } else {
                        const FeatureBox box =
                            *ControlCenterController::FeatureBoxForControl(step.controlId);
                        controller.OnFeatureBoxClicked(box, !controller.Panel().Feature(box));
                    }
                    break;
            }
            view.RunPosted();
        }
        outcome.dataCenter.assign(controller.DataCenterText());
        for (int cell = 0; cell < kCellCount; ++cell)
            outcome.cells.push_back(controller.Panel().Cell(cell));
        controller.OnClose();
        view.RunPosted();
    }
    return outcome;
}

std::optional<int> TabsBetween(std::string_view from, std::string_view to) {
    const auto stopId = [](std::string_view name) -> std::optional<int> {
        for (const auto& [key, value] : kFieldNames) {
            if (key == name)
                return value;
        }
        return ControlIdForName(name);
    };
    const auto find = [](std::optional<int> id) {
        return id ? std::find(ui::kTabOrder.begin(), ui::kTabOrder.end(), *id)
                  : ui::kTabOrder.end();
    };
    const auto first = find(stopId(from));
    const auto last = find(stopId(to));
    if (first == ui::kTabOrder.end() || last == ui::kTabOrder.end())
        return std::nullopt;
    // Stops Tab lands on going forwards from `first`, once round.
    const auto isStop = [](std::size_t position) {
        const ui::TemplateControl* control = ui::FindTemplateControl(ui::kTabOrder[position]);
        if (control == nullptr)
            return true;  // an LED field
        if ((control->flags & ui::flag::kStartsDisabled) != 0)
            return false;
        // Focus in a group of radio buttons leaves only that one in the chain.
        const ui::TemplateControl* before = ui::FindTemplateControl(
            ui::kTabOrder[(position + ui::kTabStopCount - 1) % ui::kTabStopCount]);
        return control->kind != ui::ControlKind::RadioButton || before == nullptr ||
               before->kind != ui::ControlKind::RadioButton;
    };
    const auto start = static_cast<std::size_t>(first - ui::kTabOrder.begin());
    const auto target = static_cast<std::size_t>(last - ui::kTabOrder.begin());
    int forwards = 0;
    for (std::size_t p = start; p != target;) {
        p = (p + 1) % ui::kTabStopCount;
        forwards += isStop(p) ? 1 : 0;
    }
    int stops = 0;
    for (std::size_t p = 0; p < ui::kTabStopCount; ++p)
        stops += isStop(p) ? 1 : 0;
    const int backwards = forwards == 0 ? 0 : stops - forwards;
    return forwards <= backwards ? forwards : -backwards;
}

Point GridLedTarget(int row, int column, double scale) {
    return LedTarget(ui::GridLedPosition(PanelState::CellIndex(row, column)), scale);
}

Point PodLedTarget(int pod, double scale) {
    return LedTarget(ui::PodLedPosition(pod), scale);
}

Point RingLedTarget(int ring, double scale) {
    return LedTarget(ui::RingLedPosition(ring), scale);
}

std::optional<Point> ControlTarget(int controlId, double scale) {
    const ui::TemplateControl* control = ui::FindTemplateControl(controlId);
    if (control == nullptr)
        return std::nullopt;
    const ui::Rect r = ui::ScaleRect(ui::UnitsToPixels(control->units), scale);
    // A check box toggles when its mark is hit, which keeps the style's size at every scale;
    // the middle of its rectangle may lie past the end of a short caption.
    if (control->kind == ui::ControlKind::CheckBox)
        return Point{r.x + 7, r.y + r.height / 2};
    // A combo box's rectangle includes its open list; the closed box is its top line.
    if (control->kind == ui::ControlKind::ComboBox)
        return Point{r.x + r.width / 2, r.y + ui::ScaleEdge(8, scale)};
    return Point{r.x + r.width / 2, r.y + r.height / 2};
}

bool Image::Contains(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height;
}

Image::Pixel Image::At(int x, int y) const {
    if (!Contains(x, y))
        return {};
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

std::optional<Image> ParsePpm(std::string_view bytes) {
    // "P6", width, height and maximum, separated by white space and comments, then one white
    // space character and the samples.
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < bytes.size()) {
            if (bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n')
                    ++pos;
            } else if (bytes[pos] == ' ' || bytes[pos] == '\n' || bytes[pos] == '\r' ||
                       bytes[pos] == '\t') {
                ++pos;
            } else {
                break;
            }
        }
    };
    const auto number = [&](int& value) {
        skipSpace();
        const char* begin = bytes.data() + pos;
        const auto [ptr, ec] = std::from_chars(begin, bytes.data() + bytes.size(), value);
        pos += static_cast<std::size_t>(ptr - begin);
        return ec == std::errc() && ptr != begin;
    };
    if (bytes.substr(0, 2) != "P6")
        return std::nullopt;
    pos = 2;
    Image image;
    int maximum = 0;
    if (!number(image.width) || !number(image.height) || !number(maximum) || maximum != 255 ||
        image.width <= 0 || image.height <= 0 || image.width > 16384 || image.height > 16384 ||
        pos >= bytes.size()) {
        return std::nullopt;
    }
    ++pos;  // the single white space before the samples
    const std::size_t size =
        static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3;
    if (bytes.size() - pos < size)
        return std::nullopt;
    image.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                     bytes.begin() + static_cast<std::ptrdiff_t>(pos + size));
    return image;
}

std::optional<PanelPlace> LocatePanel(const Image& window) {
    // For each scale, every offset that puts all grid LED centres on dark lamps; the lamps are a
    // few pixels wide, so those offsets form a small patch whose middle is the panel's origin.
    // The true scale gives the largest patch (a neighbouring one may still squeeze in).
    // Horizontally the panel is centred in the window's width; vertically the bars above it and
    // the room left over are unknown. The search stops above half the widest scale: a grid at
    // half the true scale puts two LED centres on every lamp.
    constexpr double kSteps = 40;
    const int widest =
        static_cast<int>(std::floor(window.width / double(ui::kClientWidth) * kSteps));
    std::optional<PanelPlace> best;
    long bestFound = 0;
    for (int step = widest; step * 20 > widest * 11; --step) {
        const double scale = step / kSteps;
        std::vector<Point> centres;
        for (int cell = 0; cell < kCellCount; ++cell)
            centres.push_back(GridLedTarget(cell / kColumns, cell % kColumns, scale));
        const int left = (window.width - ui::ScaleEdge(ui::kClientWidth, scale)) / 2;
        const int room = window.height - ui::ScaleEdge(ui::kClientHeight, scale);
        long sumX = 0;
        long sumY = 0;
        long found = 0;
        // Points outside the picture count as not dark.
        for (int dy = -10; dy <= room + 10; ++dy) {
            for (int dx = left - 10; dx <= left + 10; ++dx) {
                bool all = true;
                for (std::size_t i = 0; i < centres.size() && all; ++i) {
                    const int x = centres[i].x + dx;
                    const int y = centres[i].y + dy;
                    all = window.Contains(x, y) && Dark(window.At(x, y));
                }
                if (all) {
                    sumX += dx;
                    sumY += dy;
                    ++found;
                }
            }
        }
        if (found > bestFound) {
            const auto middle = [found](long sum) {
                return static_cast<int>(
                    std::lround(static_cast<double>(sum) / static_cast<double>(found)));
            };
            bestFound = found;
            best = PanelPlace{Point{middle(sumX), middle(sumY)}, scale};
        }
    }
    return best;
}

std::vector<int> PreviewGrid(const Image& preview) {
    // The preview draws a fixed 780 x 440 canvas (the panel's LED positions) scaled to fit and
    // centred; a lit LED is amber, an off one dark grey.
    constexpr double kCanvasWidth = 780;
    constexpr double kCanvasHeight = 440;
    const double scale = std::min(preview.width / kCanvasWidth, preview.height / kCanvasHeight);
    const double left = (preview.width - kCanvasWidth * scale) / 2;
    const double top = (preview.height - kCanvasHeight * scale) / 2;
    std::vector<int> grid;
    for (int cell = 0; cell < kCellCount; ++cell) {
        const ui::LedPoint topLeft = ui::GridLedPosition(cell);
        const double cx = topLeft.x + ui::kLedWidth / 2.0;
        const double cy = topLeft.y + ui::kLedHeight / 2.0;
        const Image::Pixel p =
            preview.At(static_cast<int>(left + cx * scale), static_cast<int>(top + cy * scale));
        if (p.r >= 150 && p.g >= 90 && p.b <= 80)
            grid.push_back(1);
        else if (p.r <= 80 && p.g <= 80 && p.b <= 80)
            grid.push_back(0);
        else
            grid.push_back(-1);
    }
    return grid;
}

}  // namespace velta::e2e
