#include "export/sequence_export.h"

#include "export/data_center_log.h"

namespace velta {

namespace {

// No box to show the log in: the text is returned whole at the end.
class NoBox : public DataCenterSink {
  public:
    void RefreshDataCenter(std::string_view, std::size_t) override {}
};

}  // namespace

std::string ExportSequenceText(const std::vector<SequenceFrame>& frames, FeatureMask features) {
    const PanelState unused;
    NoBox box;
    DataCenterLog log(unused, box, DataCenterLimits::None());
    log.AppendFrames(frames, features);
    return std::string(log.ShownText());
}

}  // namespace velta
