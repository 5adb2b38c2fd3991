// The Data Center text: a running log of the packed panel data, one line per array element, that
// users copy into display sequences. It grows until it is cleared, up to a limit: past a first
// size the user is told, at the limit it takes no more blocks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/panel_content.h"
#include "model/panel_state.h"

namespace velta {

// The box that shows the log. A refresh shows the whole log with the caret at its end; the
// window appends log.substr(shownBefore) when its text still equals the first shownBefore bytes,
// and replaces everything only when the user has edited the box.
class DataCenterSink {
  public:
    virtual ~DataCenterSink() = default;
    virtual void RefreshDataCenter(std::string_view log, std::size_t shownBefore) = 0;
    // The log passed the size at which the user is told it is growing: a status-bar line, once
    // until the log is cleared.
    virtual void DataCenterWarning(std::string_view /*text*/) {}
    // The log is full and takes no more blocks until it is cleared: one message box, once until
    // the log is cleared.
    virtual void DataCenterFull(std::string_view /*text*/) {}
};

struct DataCenterLimits {
    static constexpr std::size_t kMiB = 1024 * 1024;
    std::size_t warnAt = 64 * kMiB;   // the user is told once the log holds more than this
    std::size_t stopAt = 256 * kMiB;  // a block that would take the log past this is not appended

    // No limit: for a log made for a file, whose size its input bounds.
    static DataCenterLimits None();
};

class DataCenterLog {
  public:
    DataCenterLog(const PanelState& panel, DataCenterSink& sink, DataCenterLimits limits = {});

    // Appends the grid, pod and ring blocks selected by bits 0x01, 0x02, 0x04, in that order,
    // each packed afresh and followed by one refresh; other bits produce nothing.
    void AppendBlocks(FeatureMask mask) { AppendBlocksOf(panel_, mask); }
    // What Save Sequence would have appended for each frame in turn, had it been on the panel;
    // the panel itself is not touched.
    void AppendFrames(const std::vector<SequenceFrame>& frames, FeatureMask mask);

    const std::string& Text() const { return text_; }
    // Bytes of the log the box has been given so far.
    std::size_t ShownLength() const { return shown_; }
    // The log as the box shows it: every block, without the separator that waits for the next.
    std::string_view ShownText() const { return std::string_view(text_).substr(0, shown_); }

    // Empties the log and the box, and frees its memory; the limits count from nothing again.
    void Clear();
    // A block was refused because the log is full (until Clear).
    bool Full() const { return full_; }

  private:
    void AppendBlocksOf(const PanelState& panel, FeatureMask mask);

    // True when a block of at most `blockBytes` more still fits; tells the sink once it does not.
    bool Admit(std::size_t blockBytes);
    static std::string Size(std::size_t bytes);

    const PanelState& panel_;
    DataCenterSink& sink_;
    DataCenterLimits limits_;
    std::string text_;
    std::size_t shown_ = 0;
    bool warned_ = false;
    bool full_ = false;
};

}  // namespace velta
