#include "model/design_file.h"
#include "model/design_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

namespace velta {

namespace {

using Json = nlohmann::json;

// Valid designs nest four levels (object, frames, frame, grid rows). Anything deeper is refused
// before a document is built, so a hostile file cannot make a huge tree.
constexpr std::size_t kMaxDepth = 16;
// A valid design holds about 50 values and each frame 40 more, about 40,000 for the longest
// sequence. A file of millions of tiny values is refused in the first pass instead of being built.
constexpr std::size_t kMaxValues = std::size_t{1} << 16;
constexpr std::size_t kMaxQuoted = 40;  // longest piece of a bad value quoted in a message

constexpr std::array<std::string_view, 4> kFeatureNames = {"grid", "pods", "rings", "text"};
constexpr std::array<std::string_view, 3> kFillModeNames = {"off", "on", "copy"};

// Message text stays printable ASCII whatever bytes the file held.
std::string Printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += (byte >= 0x20 && byte < 0x7F) ? c : '?';
    }
    return out;
}

std::string Quoted(std::string_view text) {
    if (text.size() > kMaxQuoted)
        return '"' + Printable(text.substr(0, kMaxQuoted)) + "...\"";
    return '"' + Printable(text) + '"';
}

// What a value in the file is, for "got ..." in a message.
std::string Describe(const Json& value) {
    switch (value.type()) {
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array of " + std::to_string(value.size());
        case Json::value_t::string:
            return Quoted(value.get_ref<const std::string&>());
        case Json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case Json::value_t::null:
            return "null";
        case Json::value_t::number_integer:
            return std::to_string(value.get<std::int64_t>());
        case Json::value_t::number_unsigned:
            return std::to_string(value.get<std::uint64_t>());
        case Json::value_t::number_float:
            return "the number " + Printable(value.dump());
        default:
            return "a value of another kind";
    }
}

// "grid[3]", "frames[0].pods[2]", or "" at the top level.
std::string PathText(const design_json::JsonPath& levels) {
    std::string path;
    for (const design_json::PathLevel& level : levels) {
        if (level.isArray) {
            path += '[' + std::to_string(level.index) + ']';
        } else if (!level.key.empty()) {
            if (!path.empty())
                path += '.';
            path += Printable(level.key);
        }
    }
    return path;
}

// Follows where the SAX parser is, so a syntax error can name the field it happened in.
class PathTracker : public nlohmann::json_sax<Json> {
  public:
    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(false); }
    bool key(string_t& name) override {
        levels_.back().key = name;
        return true;
    }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(true); }
    bool end_array() override { return Close(); }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) override {
        position_ = position;
        reason_ = error.what();
        return false;
    }

    bool TooDeep() const { return tooDeep_; }
    bool TooMany() const { return values_ > kMaxValues; }
    std::size_t Position() const { return position_; }
    const std::string& Reason() const { return reason_; }

    const design_json::JsonPath& Levels() const { return levels_; }

  private:
    bool Value() {
        if (!levels_.empty() && levels_.back().isArray)
            ++levels_.back().index;
        return ++values_ <= kMaxValues;
    }
    bool Open(bool isArray) {
        if (++values_ > kMaxValues)
            return false;
        if (levels_.size() >= kMaxDepth) {
            tooDeep_ = true;
            return false;
        }
        levels_.push_back(design_json::PathLevel{isArray, 0, {}});
        return true;
    }
    bool Close() {
        levels_.pop_back();
        return Value();
    }

    design_json::JsonPath levels_;
    bool tooDeep_ = false;
    std::size_t values_ = 0;
    std::size_t position_ = 0;
    std::string reason_;
};

// Collects the first problem; every check returns false once there is one.
class Reader {
  public:
    explicit Reader(std::string_view fileName) : fileName_(fileName) {}

    bool Fail(std::string_view field, std::string_view problem) {
        if (error_.empty()) {
            error_ = Printable(fileName_) + ": ";
            if (!field.empty())
                error_ += std::string(field) + ": ";
            error_ += problem;
        }
        return false;
    }
    const std::string& Error() const { return error_; }

    bool Integer(const Json& object, const std::string& prefix, const std::string& key, int low,
                 int high, int& out) {
        const std::string field = prefix + key;
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        const std::string expected = "expected a whole number from " + std::to_string(low) +
                                     " to " + std::to_string(high) + ", got ";
        if (!it->is_number_integer())
            return Fail(field, expected + Describe(*it));
        // Integers outside int64 parse as unsigned or float; both are out of range here.
        // Both bounds count for unsigned numbers too: a hold of 0 is as wrong as one of -1.
        if (it->is_number_unsigned()
                ? (it->get<std::uint64_t>() > static_cast<std::uint64_t>(high) ||
                   it->get<std::int64_t>() < low)
                : (it->get<std::int64_t>() < low || it->get<std::int64_t>() > high)) {
            return Fail(field, expected + Describe(*it));
        }
        out = static_cast<int>(it->get<std::int64_t>());
        return true;
    }

    // A string of exactly `length` characters of '#' and '.'; calls set(i, on) for each.
    template <typename Set>
    bool Bits(const Json& value, const std::string& field, std::size_t length, Set set) {
        const std::string expected =
            "expected " + std::to_string(length) + " characters of \"#\" or \".\", got ";
        if (!value.is_string())
            return Fail(field, expected + Describe(value));
        const auto& text = value.get_ref<const std::string&>();
        if (text.size() != length)
            return Fail(field, expected + std::to_string(text.size()));
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] != '#' && text[i] != '.') {
                return Fail(field, expected + Quoted(text.substr(i, 1)) + " at position " +
                                       std::to_string(i));
            }
            set(i, text[i] == '#');
        }
        return true;
    }

    template <typename Picture>
    bool Grid(const Json& object, const std::string& prefix, Picture& content) {
        const std::string field = prefix + "grid";
        const auto it = object.find("grid");
        if (it == object.end())
            return true;
        if (!it->is_array() || it->size() != static_cast<std::size_t>(kRows)) {
            return Fail(field, "expected an array of " + std::to_string(kRows) + " rows, got " +
                                   Describe(*it));
        }
        for (int row = 0; row < kRows; ++row) {
            const bool ok =
                Bits((*it)[static_cast<std::size_t>(row)], field + '[' + std::to_string(row) + ']',
                     kColumns, [&](std::size_t column, bool on) {
                         content.cells[static_cast<std::size_t>(
                             PanelState::CellIndex(row, static_cast<int>(column)))] = on;
                     });
            if (!ok)
                return false;
        }
        return true;
    }

    template <typename Picture>
    bool Pods(const Json& object, const std::string& prefix, Picture& content) {
        const std::string field = prefix + "pods";
        const auto it = object.find("pods");
        if (it == object.end())
            return true;
        if (!it->is_array() || it->size() != static_cast<std::size_t>(kPodCount)) {
            return Fail(field, "expected an array of " + std::to_string(kPodCount) +
                                   " colours, got " + Describe(*it));
        }
        for (std::size_t pod = 0; pod < static_cast<std::size_t>(kPodCount); ++pod) {
            const Json& value = (*it)[pod];
            const std::string podField = field + '[' + std::to_string(pod) + ']';
            const std::string expected = "expected a colour \"#RRGGBB\", got ";
            if (!value.is_string())
                return Fail(podField, expected + Describe(value));
            const auto& text = value.get_ref<const std::string&>();
            std::uint32_t rgb = 0;
            bool ok = text.size() == 7 && text[0] == '#';
            for (std::size_t i = 1; ok && i < 7; ++i) {
                const char c = text[i];
                int digit = -1;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (c >= 'a' && c <= 'f')
                    digit = c - 'a' + 10;
                else if (c >= 'A' && c <= 'F')
                    digit = c - 'A' + 10;
                ok = digit >= 0;
                rgb = (rgb << 4) | static_cast<std::uint32_t>(digit < 0 ? 0 : digit);
            }
            if (!ok)
                return Fail(podField, expected + Describe(value));
            content.pods[pod] =
                MakeColor(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                          static_cast<std::uint8_t>(rgb));
        }
        return true;
    }

    template <typename Picture>
    bool Rings(const Json& object, const std::string& prefix, Picture& content) {
        const auto it = object.find("rings");
        if (it == object.end())
            return true;
        return Bits(*it, prefix + "rings", kRingCount,
                    [&](std::size_t ring, bool on) { content.rings[ring] = on; });
    }

    bool Text(const Json& object, PanelContent& content) {
        const auto it = object.find("text");
        if (it == object.end())
            return true;
        if (!it->is_string())
            return Fail("text", "expected a string of UTF-8 text, got " + Describe(*it));
        // The parser has already refused bad UTF-8 and lone surrogates.
        const auto& text = it->get_ref<const std::string&>();
        if (text.find('\0') != std::string::npos)
            return Fail("text", "expected text without NUL characters (\\u0000)");
        content.text = text;
        return true;
    }

    bool Features(const Json& object, DesignFeatures& features) {
        const auto it = object.find("features");
        if (it == object.end())
            return true;
        if (!it->is_array())
            return Fail("features", "expected an array of feature names, got " + Describe(*it));
        for (std::size_t i = 0; i < it->size(); ++i) {
            const Json& value = (*it)[i];
            const std::string field = "features[" + std::to_string(i) + ']';
            const std::string expected = R"(expected one of "grid", "pods", "rings", "text", got )";
            if (!value.is_string())
                return Fail(field, expected + Describe(value));
            const auto& name = value.get_ref<const std::string&>();
            // Listed boxes are ticked in order; as on the panel, ticking one of "grid" and
            // "text" unticks the other, so the later one wins.
            if (name == kFeatureNames[0]) {
                features.grid = true;
                features.text = false;
            } else if (name == kFeatureNames[1]) {
                features.pods = true;
            } else if (name == kFeatureNames[2]) {
                features.rings = true;
            } else if (name == kFeatureNames[3]) {
                features.text = true;
                features.grid = false;
            } else {
                return Fail(field, expected + Describe(value));
            }
        }
        return true;
    }

    bool Fill(const Json& object, FillMode& mode) {
        const auto it = object.find("fillMode");
        if (it == object.end())
            return true;
        if (it->is_string()) {
            const auto& name = it->get_ref<const std::string&>();
            for (std::size_t i = 0; i < kFillModeNames.size(); ++i) {
                if (name == kFillModeNames[i]) {
                    mode = static_cast<FillMode>(i);
                    return true;
                }
            }
        }
        return Fail("fillMode", R"(expected one of "off", "on", "copy", got )" + Describe(*it));
    }

    bool Header(const Json& root) {
        if (!root.is_object())
            return Fail("", "expected a JSON object at the top level, got " + Describe(root));
        const auto format = root.find("format");
        if (format == root.end())
            return Fail("format", "expected \"velta-design\", but the key is missing");
        if (!format->is_string() || format->get_ref<const std::string&>() != kDesignFormat)
            return Fail("format", "expected \"velta-design\", got " + Describe(*format));
        const auto version = root.find("version");
        if (version == root.end())
            return Fail("version", "expected a version number, but the key is missing");
        // Positive integers parse as unsigned, negative ones as signed.
        if (version->is_number_unsigned()) {
            if (version->get<std::uint64_t>() > static_cast<std::uint64_t>(kDesignVersion)) {
                return Fail("version",
                            "the file was made by a newer version of this program "
                            "(version " +
                                Describe(*version) + "; this one reads up to version " +
                                std::to_string(kDesignVersion) + ")");
            }
            if (version->get<std::uint64_t>() >= 1)
                return true;
        }
        return Fail("version", "expected a version number from 1 to " +
                                   std::to_string(kDesignVersion) + ", got " + Describe(*version));
    }

    std::optional<Design> Read(const Json& root) {
        Design design;
        PanelContent& content = design.content;
        const bool ok = Header(root) && PictureFields(root, "", content) && Text(root, content) &&
                        Features(root, design.features) && Fill(root, design.fillMode) &&
                        Frames(root, design.frames);
        if (!ok)
            return std::nullopt;
        return design;
    }

    // Grid, pods, rings and the three sliders: what a design and each of its frames hold.
    template <typename Picture>
    bool PictureFields(const Json& object, const std::string& prefix, Picture& picture) {
        return Grid(object, prefix, picture) && Pods(object, prefix, picture) &&
               Rings(object, prefix, picture) &&
               Integer(object, prefix, "ringLevel", 0, kRingLevelMax, picture.ringLevel) &&
               Integer(object, prefix, "gridBrightness", 0, kGridBrightnessMax,
                       picture.gridBrightness) &&
               Integer(object, prefix, "scrollSpeed", 0, kScrollSpeedMax, picture.scrollSpeed);
    }

    bool Frames(const Json& root, std::vector<SequenceFrame>& frames) {
        const auto it = root.find("frames");
        if (it == root.end())
            return true;
        if (!it->is_array())
            return Fail("frames", "expected an array of frames, got " + Describe(*it));
        if (it->size() > kMaxSequenceFrames) {
            return Fail("frames", "expected at most " + std::to_string(kMaxSequenceFrames) +
                                      " frames, got " + Describe(*it));
        }
        frames.reserve(it->size());
        for (std::size_t i = 0; i < it->size(); ++i) {
            const Json& value = (*it)[i];
            const std::string field = "frames[" + std::to_string(i) + ']';
            if (!value.is_object())
                return Fail(field, "expected a frame object, got " + Describe(value));
            SequenceFrame frame;
            if (!PictureFields(value, field + '.', frame) ||
                !Integer(value, field + '.', "holdMs", kMinHoldMs, kMaxHoldMs, frame.holdMs)) {
                return false;
            }
            frames.push_back(frame);
        }
        return true;
    }

  private:
    std::string_view fileName_;
    std::string error_;
};

std::string TooDeepProblem() {
    return "expected at most " + std::to_string(kMaxDepth) + " levels of nesting";
}
std::string TooManyProblem() {
    return "expected at most " + std::to_string(kMaxValues) + " values in a design file";
}
std::string BadUtf8Problem(std::size_t position) {
    return "expected UTF-8 text, got an invalid byte sequence near byte " +
           std::to_string(position);
}

std::string SyntaxProblem(const PathTracker& tracker) {
    if (tracker.TooDeep())
        return TooDeepProblem();
    if (tracker.TooMany())
        return TooManyProblem();
    std::string reason = tracker.Reason();
    // "[json.exception.parse_error.101] parse error at line 3, column 7: ..." -> from "line".
    if (const auto at = reason.find("at line "); at != std::string::npos)
        reason = reason.substr(at + 3);
    if (reason.find("ill-formed UTF-8") != std::string::npos)
        return BadUtf8Problem(tracker.Position());
    return "expected valid JSON, got a syntax error at " + Printable(reason);
}

// The top-level keys the reader looks at; the quick pass builds nothing for any other.
bool IsDesignKey(std::string_view key) {
    constexpr std::array<std::string_view, 12> kKeys = {
        "format",         "version",     "grid", "pods",     "rings",    "ringLevel",
        "gridBrightness", "scrollSpeed", "text", "features", "fillMode", "frames"};
    return std::find(kKeys.begin(), kKeys.end(), key) != kKeys.end();
}

std::string ColorText(Color color) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string text = "#";
    for (const std::uint8_t part : {RedOf(color), GreenOf(color), BlueOf(color)}) {
        text += kHex[part >> 4];
        text += kHex[part & 0x0F];
    }
    return text;
}

// One frame as the writer lays it out: about 920 bytes.
constexpr std::size_t kFrameTextBytes = 960;

void WriteFrame(std::string& out, const SequenceFrame& frame) {
    out += "    {\n      \"grid\": [\n";
    for (int row = 0; row < kRows; ++row) {
        out += "        \"";
        for (int column = 0; column < kColumns; ++column)
            out += frame.cells[static_cast<std::size_t>(PanelState::CellIndex(row, column))] ? '#'
                                                                                             : '.';
        out += row + 1 < kRows ? "\",\n" : "\"\n";
    }
    out += "      ],\n      \"pods\": [";
    for (int pod = 0; pod < kPodCount; ++pod) {
        out += pod == 0 ? "\"" : ", \"";
        out += ColorText(frame.pods[static_cast<std::size_t>(pod)]);
        out += '"';
    }
    out += "],\n      \"rings\": \"";
    for (int ring = 0; ring < kRingCount; ++ring)
        out += frame.rings[static_cast<std::size_t>(ring)] ? '#' : '.';
    out += "\",\n      \"ringLevel\": " + std::to_string(frame.ringLevel);
    out += ",\n      \"gridBrightness\": " + std::to_string(frame.gridBrightness);
    out += ",\n      \"scrollSpeed\": " + std::to_string(frame.scrollSpeed);
    out += ",\n      \"holdMs\": " + std::to_string(frame.holdMs);
    out += "\n    }";
}

}  // namespace

DesignReadResult ReadDesign(std::string_view bytes, std::string_view fileName) {
    Reader reader(fileName);
    const auto refuse = [&reader](std::string_view field, std::string_view problem) {
        reader.Fail(field, problem);
        return DesignReadResult{std::nullopt, reader.Error()};
    };
    if (bytes.size() > kMaxDesignFileBytes) {
        return refuse("", "expected a design file of at most 1 MiB (" +
                              std::to_string(kMaxDesignFileBytes) + " bytes), got " +
                              std::to_string(bytes.size()) + " bytes");
    }
    // A NUL is no part of JSON text; the parser would take it for the end of the text and
    // quietly drop whatever follows.
    if (const void* nul = std::memchr(bytes.data(), '\0', bytes.size()); nul != nullptr) {
        const auto at = static_cast<std::size_t>(static_cast<const char*>(nul) - bytes.data());
        return refuse("", "expected valid JSON, got a NUL byte at byte " + std::to_string(at + 1));
    }
    try {
        // One pass checks the syntax, the depth and the number of values and builds the
        // document, so a broken file is refused with the field it broke in and no large tree is
        // built. What it is not sure of, the library's parser reads as before: first a pass that
        // only checks the syntax and knows where it is, then the document.
        Json root;
        const design_json::Result quick =
            design_json::Read(bytes, {kMaxDepth, kMaxValues}, &IsDesignKey, root);
        switch (quick.outcome) {
            case design_json::Outcome::Read:
                break;
            case design_json::Outcome::TooDeep:
                return refuse(PathText(quick.path), TooDeepProblem());
            case design_json::Outcome::TooMany:
                return refuse(PathText(quick.path), TooManyProblem());
            case design_json::Outcome::BadUtf8:
                return refuse(PathText(quick.path), BadUtf8Problem(quick.position));
            case design_json::Outcome::Unsure: {
                PathTracker tracker;
                if (!Json::sax_parse(bytes, &tracker))
                    return refuse(PathText(tracker.Levels()), SyntaxProblem(tracker));
                root = Json::parse(bytes, nullptr, /*allow_exceptions=*/false);
                if (root.is_discarded())
                    return refuse("", "expected valid JSON");
                break;
            }
        }
        std::optional<Design> design = reader.Read(root);
        if (!design)
            return {std::nullopt, reader.Error()};
        return {std::move(design), {}};
    } catch (const std::exception& e) {
        // Only running out of memory should get here; the checks above make type errors
        // impossible. Nothing leaves the reader as an exception.
        reader.Fail("", std::string("could not be read: ") + Printable(e.what()));
        return {std::nullopt, reader.Error()};
    }
}

std::string WriteDesign(const Design& design) {
    const PanelContent& content = design.content;
    std::string out;
    out.reserve(1024 + content.text.size() * 2);
    out += "{\n  \"format\": \"";
    out += kDesignFormat;
    out += "\",\n  \"version\": " + std::to_string(kDesignVersion) + ",\n  \"grid\": [\n";
    for (int row = 0; row < kRows; ++row) {
        out += "    \"";
        for (int column = 0; column < kColumns; ++column)
            out += content.cells[static_cast<std::size_t>(PanelState::CellIndex(row, column))]
                       ? '#'
                       : '.';
        out += row + 1 < kRows ? "\",\n" : "\"\n";
    }
    out += "  ],\n  \"pods\": [\n";
    for (int pod = 0; pod < kPodCount; ++pod) {
        out += "    \"" + ColorText(content.pods[static_cast<std::size_t>(pod)]);
        out += pod + 1 < kPodCount ? "\",\n" : "\"\n";
    }
    out += "  ],\n  \"rings\": \"";
    for (int ring = 0; ring < kRingCount; ++ring)
        out += content.rings[static_cast<std::size_t>(ring)] ? '#' : '.';
    out += "\",\n  \"ringLevel\": " + std::to_string(content.ringLevel);
    out += ",\n  \"gridBrightness\": " + std::to_string(content.gridBrightness);
    out += ",\n  \"scrollSpeed\": " + std::to_string(content.scrollSpeed);
    // The replacing error handler makes dump() total: bad bytes become U+FFFD, nothing throws.
    out +=
        ",\n  \"text\": " + Json(content.text).dump(-1, ' ', false, Json::error_handler_t::replace);
    out += ",\n  \"features\": [";
    const std::array<bool, 4> ticked = {design.features.grid, design.features.pods,
                                        design.features.rings, design.features.text};
    bool first = true;
    for (std::size_t i = 0; i < ticked.size(); ++i) {
        if (!ticked[i])
            continue;
        out += first ? "\"" : ", \"";
        out += kFeatureNames[i];
        out += '"';
        first = false;
    }
    out += "],\n  \"fillMode\": \"";
    out += kFillModeNames[static_cast<std::size_t>(design.fillMode)];
    out += '"';
    if (!design.frames.empty()) {
        out.reserve(out.size() + design.frames.size() * kFrameTextBytes + 32);
        out += ",\n  \"frames\": [\n";
        for (std::size_t i = 0; i < design.frames.size(); ++i) {
            WriteFrame(out, design.frames[i]);
            out += i + 1 < design.frames.size() ? ",\n" : "\n";
        }
        out += "  ]";
    }
    out += "\n}\n";
    return out;
}

Design CaptureDesign(const PanelState& panel) {
    Design design;
    design.content = CaptureContent(panel);
    design.features.grid = panel.Feature(FeatureBox::LedGrid);
    design.features.pods = panel.Feature(FeatureBox::RgbPods);
    design.features.rings = panel.Feature(FeatureBox::LedRings);
    design.features.text = panel.Feature(FeatureBox::ScrollingText);
    design.fillMode = panel.GetFillMode();
    return design;
}

void ApplyDesign(PanelState& panel, const Design& design) {
    ApplyContent(panel, design.content);
    ApplyChoices(panel, design.features, design.fillMode);
}

void ApplyChoices(PanelState& panel, const DesignFeatures& f, FillMode fillMode) {
    const std::array<std::pair<FeatureBox, bool>, 6> boxes = {{
        {FeatureBox::LedGrid, f.grid},
        {FeatureBox::RgbPods, f.pods},
        {FeatureBox::LedRings, f.rings},
        {FeatureBox::GridBrightness, f.rings},
        {FeatureBox::RingBrightness, f.rings},
        {FeatureBox::ScrollingText, f.text && !f.grid},
    }};
    for (const auto& [box, on] : boxes) {
        if (panel.Feature(box) != on)
            panel.SetFeature(box, on);
    }
    if (panel.GetFillMode() != fillMode)
        panel.SetFillMode(fillMode);
}

}  // namespace velta
