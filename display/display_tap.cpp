#include "display/display_tap.h"

#include <utility>

namespace velta {

DisplayTap::DisplayTap(ReportJournal::Clock clock) : journal_(std::move(clock)) {}

void DisplayTap::OnReportWritten(const DeviceReport& report, bool written) {
    journal_.RecordWritten(report, written);
    // A report that never arrived changes nothing on the display.
    if (written) {
        decoder_.Feed(report);
        if (onDisplayChanged_)
            onDisplayChanged_();
    }
    if (onJournalChanged_)
        onJournalChanged_();
}

void DisplayTap::OnReportRead(const DeviceReport& report, std::size_t length) {
    journal_.RecordRead(report, length);
    if (onJournalChanged_)
        onJournalChanged_();
}

}  // namespace velta
