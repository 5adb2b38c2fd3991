// The quick reading of a design file's JSON: one pass over the bytes that checks the syntax and
// the limits and builds the document at once. Private to the design reader (design_file.cpp): it
// brings in the JSON library, which no header used outside model/ may do.
//
// It is sure of three refusals (nesting too deep, too many values, a string that is not UTF-8)
// and of a document that is read; for each it stops exactly where the library's own parser would
// stop, with the same path and byte position, so the reader's messages stay as they are. Any
// other problem (a syntax error, a byte-order mark, a number beyond what it converts) it leaves to
// the library's parser, which then reads the file as before and words the message.
#pragma once

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velta::design_json {

// One level of nesting on the way to a value: an array and how many of its values have been
// read, or an object and the last key read in it.
struct PathLevel {
    bool isArray = false;
    std::size_t index = 0;
    std::string key;
};
using JsonPath = std::vector<PathLevel>;

struct Limits {
    std::size_t maxDepth = 0;   // levels of arrays and objects
    std::size_t maxValues = 0;  // values, each array and object counted when it opens and closes
};

enum class Outcome {
    Read,     // the whole text is one JSON value within the limits
    TooDeep,  // an array or object opened beyond maxDepth
    TooMany,  // more than maxValues values
    BadUtf8,  // a string holds a byte sequence that is not UTF-8
    Unsure,   // anything else: read it with the library's parser
};

struct Result {
    Outcome outcome = Outcome::Unsure;
    JsonPath path;             // where the reading stopped
    std::size_t position = 0;  // BadUtf8: bytes read up to and including the bad one
};

// Whether the value under a key of the top-level object is kept in the document; values under
// other keys are checked and counted like any other but not built.
using KeepKey = bool (*)(std::string_view key);

// `bytes` must hold no NUL byte. `root` holds the document when the outcome is Read.
Result Read(std::string_view bytes, const Limits& limits, KeepKey keep, nlohmann::json& root);

}  // namespace velta::design_json
