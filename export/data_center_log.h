// The Data Center text: a running log of the packed panel data, one line per array element, that
// users copy into display sequences. It only ever grows.
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
};

class DataCenterLog {
  public:
    DataCenterLog(const PanelState& panel, DataCenterSink& sink);

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

    // Empties the log and the box.
    void Clear();

  private:
    void AppendBlocksOf(const PanelState& panel, FeatureMask mask);

    const PanelState& panel_;
    DataCenterSink& sink_;
    std::string text_;
    std::size_t shown_ = 0;
};

}  // namespace velta
