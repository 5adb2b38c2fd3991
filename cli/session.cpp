#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command.h"
#include "device/text_check.h"
#include "display/report_decoder.h"
#include "display/report_hex.h"

namespace velta::cli {

namespace {

void WarnAboutText(const std::string& text, std::ostream& err) {
    const TextCheck check = CheckText(text);
    if (!check.replaced.empty()) {
        err << "velta: warning: sent as \"?\" (no Windows-1252 byte):";
        for (std::size_t i = 0; i < check.replaced.size(); ++i)
            err << (i == 0 ? " " : ", ") << check.replaced[i];
        err << '\n';
    }
    if (!check.cut.empty()) {
        err << "velta: warning: the text takes " << check.encodedBytes << " bytes; only the first "
            << kTextPayloadBytes << " are sent, cut: \"" << check.cut << "\"\n";
    }
}

}  // namespace

CLI::Option* AddDeviceOption(CLI::App& command, DeviceChoice& choice) {
    return command
        .add_option("--device", choice.pathOrSerial,
                    "The transmitter to use when more than one is plugged in: its path, or else "
                    "its serial number, as velta list prints them (default: the first found)")
        ->type_name("PATH|SERIAL")
        ->check(CLI::Validator(
            [](const std::string& value) {
                return value.empty() ? std::string("--device needs a path or serial number")
                                     : std::string();
            },
            "", "NonEmpty"));
}

HidTransport& ChooseTransport(Context& context, std::unique_ptr<HidTransport>& owned) {
    if (context.simulate)
        return *context.transports.simulated;
    owned = context.transports.makeDevice();
    return *owned;
}

TransmitterSession::TransmitterSession(Context& context)
    : context_(context),
      transport_(ChooseTransport(context, owned_)),
      simulatedPrinted_(context.simulate ? context.transports.simulated->WrittenTotal() : 0),
      view_(context.err),
      controller_(transport_, view_) {
    controller_.SetDeviceChoice(context.device);
    controller_.OnInitDialog();
}

int TransmitterSession::Connect() {
    controller_.OnConnectTx();
    view_.RunPosted();
    if (controller_.Link().IsConnected())
        return kExitOk;
    const std::string& reason = view_.LinkDiagnostic();
    context_.err << "velta: " << (reason.empty() ? view_.StatusText() : reason) << '\n';
    return ExitCodeForNotDetected();
}

void TransmitterSession::UpdateData() {
    const PanelState& panel = controller_.Panel();
    // The text goes out with Update Data only while its box is ticked and RF mode is on.
    if (panel.RfMode() && panel.Feature(FeatureBox::ScrollingText) && !panel.ScrollText().empty())
        WarnAboutText(panel.ScrollText(), context_.err);
    controller_.OnUpdateData();
}

int TransmitterSession::ExitCodeForNotDetected() const {
    // Nothing listed (or nothing the choice names), or a USB layer that did not start, means no
    // transmitter was seen; every other failure is about a transmitter that was listed but could
    // not be used (a permission problem above all, which the udev rule mends).
    switch (controller_.Link().LastOpenFailure()) {
        case OpenFailure::None:  // opened, and lost again before the look
        case OpenFailure::StartFailed:
        case OpenFailure::NotFound:
            return kExitNoTransmitter;
        case OpenFailure::CannotOpen:
        case OpenFailure::ThreadFailed:
            break;
    }
    return kExitCannotOpen;
}

void TransmitterSession::PrintWrittenReports() {
    // The controller's tap journals every report the link handed on, in order; the ones that
    // reached the device are what the display got. This session's controller is new, so the
    // journal holds only this command's reports.
    const ReportJournal& journal = controller_.Tap().Journal();
    ReportDecoder reader;  // places each grid's tail as the display does
    for (std::size_t row = 0; row < journal.Size(); ++row) {
        const JournalEntry& entry = journal.Row(row);
        if (entry.direction != ReportDirection::Written || !entry.ok)
            continue;
        context_.out << FormatReportHex(entry.bytes) << "  "
                     << DescribeReport(entry.bytes, reader.Feed(entry.bytes)) << '\n';
    }
}

void TransmitterSession::WaitForSends() {
    view_.RunPosted();
    while (controller_.SendsInFlight() > 0) {
        view_.WaitForPosted();
        view_.RunPosted();
    }
}

void TransmitterSession::PrintNewSimulatedReports() {
    if (!context_.simulate)
        return;
    // Counted by total, not by place in the record: the record keeps only the latest reports.
    for (const DeviceReport& report :
         context_.transports.simulated->WrittenSince(simulatedPrinted_))
        context_.out << FormatReportHex(report) << '\n';
}

int TransmitterSession::Finish(ReportPrinting printing) {
    WaitForSends();
    controller_.OnClose();
    view_.RunPosted();
    if (printing == ReportPrinting::Described) {
        PrintWrittenReports();
    } else {
        PrintNewSimulatedReports();
    }
    if (view_.WriteFailures() > 0)
        return kExitWriteFailed;
    // The reports went out, but the device left before the command ended.
    if (view_.StatusText() == kTextReadError)
        context_.err << "velta: warning: " << kTextReadError << "\n";
    return kExitOk;
}

}  // namespace velta::cli
