#include "ui/getting_started_window.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "control/guidance.h"
#include "device/link_notices.h"

namespace velta {

namespace {

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toHtmlEscaped();
}

// The status texts and the Write Error box, each with what it means.
QString StatusTable() {
    QString rows;
    const auto row = [&rows](const QString& text, const QString& meaning) {
        rows +=
            QStringLiteral("<tr><td style=\"padding-right:12px\"><b>%1</b></td><td>%2</td></tr>")
                .arg(text, meaning);
    };
    for (const StatusMeaning& entry : StatusMeanings()) {
        row(entry.status.empty() ? QObject::tr("(empty)") : FromView(entry.status),
            FromView(entry.meaning));
    }
    row(QObject::tr("A \u201c%1\u201d box").arg(FromView(kTextWriteError)),
        FromView(kWriteErrorMeaning));
    return QStringLiteral("<table cellspacing=\"4\">%1</table>").arg(rows);
}

}  // namespace

QString GettingStartedWindow::Page() {
    return tr("<h3>Paint the picture</h3>"
              "<ul>"
              "<li><b>Left click</b> an LED of the grid, or a ring, to switch it on or off.</li>"
              "<li><b>Right-drag</b> over the grid to paint LEDs on; <b>middle-drag</b> to "
              "erase them.</li>"
              "<li>Pods: choose a colour under <i>RGB Pod Colour</i>, then click the pods, or "
              "<i>Color All Pods</i>.</li>"
              "<li>With the keyboard: <b>Tab</b> to the grid (or to a side of pods, or the "
              "rings), move the focus with the <b>arrow keys</b> (<b>Home</b>, <b>End</b>, "
              "<b>Page Up</b> and <b>Page Down</b> jump to the ends), and <b>Space</b> or "
              "<b>Enter</b> switches the LED, as a click does.</li>"
              "<li>Every edit is one step of <i>Edit \u2192 Undo</i> (Ctrl+Z).</li>"
              "</ul>"
              "<h3>Send it to the display</h3>"
              "<ol>"
              "<li>Plug in the transmitter and click <b>Connect Tx</b>: the Status box reads "
              "\u201cDevice Detected - 0x00\u201d.</li>"
              "<li>Click <b>Activate RF Mode</b> (it then reads \u201cDisable RF Mode\u201d): "
              "data goes out only while RF mode is on.</li>"
              "<li>Tick what to send under <b>Features to Update</b>: LED Grid, RGB Pods, LED "
              "Rings (with the brightness and the scroll speed) or Scrolling Text. LED Grid and "
              "Scrolling Text exclude each other.</li>"
              "<li>Click <b>Update Data</b> to send the ticked features, or tick <b>Auto "
              "Update</b> to send whatever changes, ten times a second.</li>"
              "</ol>"
              "<p>Without the hardware, start the program with <tt>--simulate</tt>. "
              "<i>View \u2192 Display Preview</i> shows what the display shows, <i>View \u2192 "
              "Report Monitor</i> every report sent. <b>Save Sequence</b> appends the ticked "
              "features to the Data Center, ready to copy.</p>"
              "<h3>What the Status box says</h3>%1")
        .arg(StatusTable());
}

GettingStartedWindow::GettingStartedWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Getting Started"));
    auto* page = new QTextBrowser(this);
    page->setHtml(Page());
    page->setOpenLinks(false);
    page->setAccessibleName(tr("Getting Started"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page, 1);
    layout->addWidget(buttons);
    resize(560, 640);
}

}  // namespace velta
