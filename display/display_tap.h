// The display's side of the report tap: every report that crosses the link goes into the journal,
// and every report that was written successfully into the decoder. Whoever owns the link owns
// the tap and hands it to the link; the preview and monitor read the decoder's state and the
// journal through it. UI thread only.
#pragma once

#include <functional>

#include "device/report_tap.h"
#include "display/report_decoder.h"
#include "display/report_journal.h"

namespace velta {

class DisplayTap : public ReportTap {
  public:
    explicit DisplayTap(ReportJournal::Clock clock = {});

    // Called after the decoder took a report (the display state may have changed) and after the
    // journal recorded one; either may be empty. A write that failed only changes the journal.
    void SetOnDisplayChanged(std::function<void()> listener) {
        onDisplayChanged_ = std::move(listener);
    }
    void SetOnJournalChanged(std::function<void()> listener) {
        onJournalChanged_ = std::move(listener);
    }

    void OnReportWritten(const DeviceReport& report, bool written) override;
    void OnReportRead(const DeviceReport& report, std::size_t length) override;

    const DisplayState& State() const { return decoder_.State(); }
    const ReportDecoder& Decoder() const { return decoder_; }
    const ReportJournal& Journal() const { return journal_; }
    ReportJournal& Journal() { return journal_; }  // the monitor's Clear

  private:
    ReportDecoder decoder_;
    ReportJournal journal_;
    std::function<void()> onDisplayChanged_;
    std::function<void()> onJournalChanged_;
};

}  // namespace velta
