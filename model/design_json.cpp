#include "model/design_json.h"

#include <charconv>
#include <cstdint>
#include <system_error>
#include <utility>

namespace velta::design_json {

namespace {

using Json = nlohmann::json;

// Continuation byte ranges after each UTF-8 lead byte; a lead byte not listed is itself bad.
struct Utf8Lead {
    std::uint8_t firstLow;
    std::uint8_t firstHigh;
    int continuations;
};

constexpr Utf8Lead LeadOf(std::uint8_t b) {
    if (b >= 0xC2 && b <= 0xDF)
        return {0x80, 0xBF, 1};
    if (b == 0xE0)
        return {0xA0, 0xBF, 2};
    if (b == 0xED)
        return {0x80, 0x9F, 2};  // no surrogates
    if (b >= 0xE1 && b <= 0xEF)
        return {0x80, 0xBF, 2};
    if (b == 0xF0)
        return {0x90, 0xBF, 3};
    if (b >= 0xF1 && b <= 0xF3)
        return {0x80, 0xBF, 3};
    if (b == 0xF4)
        return {0x80, 0x8F, 3};  // up to U+10FFFF
    return {0, 0, 0};
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Recursive descent over the text; the depth limit bounds the recursion. Values are counted and
// paths kept exactly as the reader's syntax pass counts them, so both stop at the same place.
class Scanner {
  public:
    Scanner(std::string_view text, const Limits& limits, KeepKey keep)
        : text_(text), limits_(limits), keep_(keep) {}

    Result Run(Json& root) {
        // A byte-order mark is taken only whole and only at the start; leave the rest to the
        // library.
        if (!text_.empty() && static_cast<std::uint8_t>(text_[0]) == 0xEF) {
            if (text_.substr(0, 3) != "\xEF\xBB\xBF")
                return Done(Outcome::Unsure);
            at_ = 3;
        }
        if (!Value(&root, true))
            return Done(outcome_);
        SkipSpace();
        return Done(at_ == text_.size() ? Outcome::Read : Outcome::Unsure);
    }

  private:
    Result Done(Outcome outcome) { return Result{outcome, std::move(levels_), position_}; }
    bool Stop(Outcome outcome) {
        outcome_ = outcome;
        return false;
    }
    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return text_[at_]; }

    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++at_;
    }

    // The syntax pass's counting: a value ends (an array's count moves on), an array or object
    // opens, one closes (and then counts as a value of its parent).
    bool Counted() {
        if (!levels_.empty() && levels_.back().isArray)
            ++levels_.back().index;
        return ++values_ <= limits_.maxValues || Stop(Outcome::TooMany);
    }
    bool Open(bool isArray) {
        if (++values_ > limits_.maxValues)
            return Stop(Outcome::TooMany);
        if (levels_.size() >= limits_.maxDepth)
            return Stop(Outcome::TooDeep);
        levels_.push_back(PathLevel{isArray, 0, {}});
        return true;
    }
    bool Close() {
        levels_.pop_back();
        return Counted();
    }

    // After a member or an element: a comma means another follows; the closing bracket ends the
    // object or array.
    enum class Next { More, Closed, Failed };
    Next AfterItem(char closing) {
        SkipSpace();
        if (AtEnd() || (Peek() != ',' && Peek() != closing)) {
            Stop(Outcome::Unsure);
            return Next::Failed;
        }
        const bool more = Peek() == ',';
        ++at_;
        if (more)
            return Next::More;
        return Close() ? Next::Closed : Next::Failed;
    }

    // `out` is null for a value that is not kept.
    bool Value(Json* out, bool top) {
        SkipSpace();
        if (AtEnd())
            return Stop(Outcome::Unsure);
        switch (Peek()) {
            case '{':
                return Object(out, top);
            case '[':
                return Array(out);
            case '"': {
                ++at_;
                std::string text;
                if (!String(out != nullptr ? &text : nullptr) || !Counted())
                    return false;
                if (out != nullptr)
                    *out = std::move(text);
                return true;
            }
            case 't':
                return Literal("true", out, Json(true));
            case 'f':
                return Literal("false", out, Json(false));
            case 'n':
                return Literal("null", out, Json(nullptr));
            default:
                return Number(out);
        }
    }

    bool Literal(std::string_view word, Json* out, Json value) {
        if (text_.substr(at_, word.size()) != word)
            return Stop(Outcome::Unsure);
        at_ += word.size();
        if (!Counted())
            return false;
        if (out != nullptr)
            *out = std::move(value);
        return true;
    }

    bool Object(Json* out, bool top) {
        ++at_;
        if (!Open(false))
            return false;
        if (out != nullptr)
            *out = Json::object();
        SkipSpace();
        if (!AtEnd() && Peek() == '}') {
            ++at_;
            return Close();
        }
        for (;;) {
            SkipSpace();
            if (AtEnd() || Peek() != '"')
                return Stop(Outcome::Unsure);
            ++at_;
            std::string key;
            if (!String(&key))
                return false;
            levels_.back().key = key;
            SkipSpace();
            if (AtEnd() || Peek() != ':')
                return Stop(Outcome::Unsure);
            ++at_;
            // A repeated key keeps its last value, as the library's documents do.
            Json* slot = out != nullptr && (!top || keep_(key)) ? &(*out)[key] : nullptr;
            if (!Value(slot, false))
                return false;
            if (const Next next = AfterItem('}'); next != Next::More)
                return next == Next::Closed;
        }
    }

    bool Array(Json* out) {
        ++at_;
        if (!Open(true))
            return false;
        if (out != nullptr)
            *out = Json::array();
        SkipSpace();
        if (!AtEnd() && Peek() == ']') {
            ++at_;
            return Close();
        }
        for (;;) {
            Json* slot = nullptr;
            if (out != nullptr) {
                out->push_back(Json());
                slot = &out->back();
            }
            if (!Value(slot, false))
                return false;
            if (const Next next = AfterItem(']'); next != Next::More)
                return next == Next::Closed;
        }
    }

    // After the opening quote; `out` is null when the text is not kept.
    bool String(std::string* out) {
        for (;;) {
            // Plain printable ASCII is most of any file: take it a run at a time.
            const std::size_t run = at_;
            while (!AtEnd()) {
                const auto b = static_cast<std::uint8_t>(Peek());
                if (b < 0x20 || b == '"' || b == '\\' || b >= 0x80)
                    break;
                ++at_;
            }
            if (out != nullptr)
                out->append(text_.data() + run, at_ - run);
            if (AtEnd())
                return Stop(Outcome::Unsure);  // no closing quote
            const auto b = static_cast<std::uint8_t>(Peek());
            if (b == '"') {
                ++at_;
                return true;
            }
            if (b < 0x20)
                return Stop(Outcome::Unsure);  // a control character must be escaped
            if (b == '\\') {
                if (!Escape(out))
                    return false;
                continue;
            }
            if (!Utf8Sequence(out))
                return false;
        }
    }

    bool Utf8Sequence(std::string* out) {
        const std::size_t lead = at_;
        const Utf8Lead shape = LeadOf(static_cast<std::uint8_t>(text_[lead]));
        // Bytes are counted as the parser reads them: the bad one (or the end) is the last read.
        if (shape.continuations == 0)
            return BadUtf8(lead);
        for (int k = 1; k <= shape.continuations; ++k) {
            const std::size_t at = lead + static_cast<std::size_t>(k);
            if (at >= text_.size())
                return BadUtf8(text_.size());
            const auto b = static_cast<std::uint8_t>(text_[at]);
            const std::uint8_t low = k == 1 ? shape.firstLow : 0x80;
            const std::uint8_t high = k == 1 ? shape.firstHigh : 0xBF;
            if (b < low || b > high)
                return BadUtf8(at);
        }
        at_ = lead + 1 + static_cast<std::size_t>(shape.continuations);
        if (out != nullptr)
            out->append(text_.data() + lead, at_ - lead);
        return true;
    }
    bool BadUtf8(std::size_t at) {
        position_ = at + 1;
        return Stop(Outcome::BadUtf8);
    }

    // Four hex digits after "\u", or -1.
    int CodeUnit() {
        if (text_.size() - at_ < 4)
            return -1;
        int value = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigit(text_[at_ + static_cast<std::size_t>(i)]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        at_ += 4;
        return value;
    }

    bool Escape(std::string* out) {
        ++at_;  // the backslash
        if (AtEnd())
            return Stop(Outcome::Unsure);
        const char c = Peek();
        ++at_;
        char plain = 0;
        switch (c) {
            case '"':
            case '\\':
            case '/':
                plain = c;
                break;
            case 'b':
                plain = '\b';
                break;
            case 'f':
                plain = '\f';
                break;
            case 'n':
                plain = '\n';
                break;
            case 'r':
                plain = '\r';
                break;
            case 't':
                plain = '\t';
                break;
            case 'u':
                return UnicodeEscape(out);
            default:
                return Stop(Outcome::Unsure);
        }
        if (out != nullptr)
            out->push_back(plain);
        return true;
    }

    bool UnicodeEscape(std::string* out) {
        const int first = CodeUnit();
        if (first < 0 || (first >= 0xDC00 && first <= 0xDFFF))
            return Stop(Outcome::Unsure);
        auto cp = static_cast<std::uint32_t>(first);
        if (first >= 0xD800 && first <= 0xDBFF) {
            // A high surrogate must be followed by an escaped low one.
            if (text_.substr(at_, 2) != "\\u")
                return Stop(Outcome::Unsure);
            at_ += 2;
            const int second = CodeUnit();
            if (second < 0xDC00 || second > 0xDFFF)
                return Stop(Outcome::Unsure);
            cp = 0x10000 + ((cp - 0xD800) << 10) + static_cast<std::uint32_t>(second - 0xDC00);
        }
        if (out != nullptr)
            AppendUtf8(*out, cp);
        return true;
    }

    // -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, typed as the library types it: a whole
    // number without sign is unsigned, with a minus signed, anything else (or out of range) a
    // double.
    bool Number(Json* out) {
        const std::size_t start = at_;
        bool whole = true;
        if (!AtEnd() && Peek() == '-')
            ++at_;
        if (AtEnd() || !IsDigit(Peek()))
            return Stop(Outcome::Unsure);
        if (Peek() == '0') {
            ++at_;
        } else {
            while (!AtEnd() && IsDigit(Peek()))
                ++at_;
        }
        if (!AtEnd() && Peek() == '.') {
            whole = false;
            ++at_;
            if (AtEnd() || !IsDigit(Peek()))
                return Stop(Outcome::Unsure);
            while (!AtEnd() && IsDigit(Peek()))
                ++at_;
        }
        if (!AtEnd() && (Peek() == 'e' || Peek() == 'E')) {
            whole = false;
            ++at_;
            if (!AtEnd() && (Peek() == '+' || Peek() == '-'))
                ++at_;
            if (AtEnd() || !IsDigit(Peek()))
                return Stop(Outcome::Unsure);
            while (!AtEnd() && IsDigit(Peek()))
                ++at_;
        }
        const char* first = text_.data() + start;
        const char* last = text_.data() + at_;
        Json value;
        bool converted = false;
        if (whole && *first == '-') {
            std::int64_t n = 0;
            converted = std::from_chars(first, last, n).ec == std::errc();
            value = n;
        } else if (whole) {
            std::uint64_t n = 0;
            converted = std::from_chars(first, last, n).ec == std::errc();
            value = n;
        }
        if (!converted) {
            // Out of range (an overflow, or a result too small to hold) is the library's to word.
            double d = 0;
            if (std::from_chars(first, last, d).ec != std::errc())
                return Stop(Outcome::Unsure);
            value = d;
        }
        if (!Counted())
            return false;
        if (out != nullptr)
            *out = std::move(value);
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    Limits limits_;
    KeepKey keep_;
    JsonPath levels_;
    std::size_t values_ = 0;
    Outcome outcome_ = Outcome::Unsure;
    std::size_t position_ = 0;
};

}  // namespace

Result Read(std::string_view bytes, const Limits& limits, KeepKey keep, Json& root) {
    return Scanner(bytes, limits, keep).Run(root);
}

}  // namespace velta::design_json
