#include "ui/live_input_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <string>

#include "control/live_input.h"
#include "control/live_input_view.h"
#include "ui/control_center_dialog.h"
#include "ui/frame_pacer.h"
#include "ui/named_combo_box.h"

namespace velta {

namespace {

// A label for text that changes as the input runs: wrapped, and named for screen readers.
QLabel* ReadoutLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setAccessibleName(name);
    return label;
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The table's row `row` shows `texts`, items made once and then only given new text, so a screen
// reader's place in the table survives a refresh.
template <typename Texts>
void SetRow(QTableWidget& table, int row, const Texts& texts, bool bold) {
    int column = 0;
    for (const auto& text : texts) {
        QTableWidgetItem* item = table.item(row, column);
        if (item == nullptr) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            table.setItem(row, column, item);
        }
        const QString shown = ToQString(text);
        if (item->text() != shown)
            item->setText(shown);
        QFont font = item->font();
        if (font.bold() != bold) {
            font.setBold(bold);
            item->setFont(font);
        }
        ++column;
    }
}

QTableWidget* MakeTable(QWidget* parent, const QStringList& titles, const QString& name,
                        const QString& tip) {
    auto* table = new QTableWidget(0, static_cast<int>(titles.size()), parent);
    table->setHorizontalHeaderLabels(titles);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move in it
    table->setAccessibleName(name);
    table->setToolTip(tip);
    // The tables take the height left over, down to a few rows; their wish would make the
    // window scroll before they shrink.
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    table->setMinimumHeight(table->fontMetrics().height() * 6);
    return table;
}

}  // namespace

LiveInputWindow::LiveInputWindow(ControlCenterDialog& panel, QWidget* parent)
    : QWidget(parent, Qt::Window), panel_(panel), where_(std::make_unique<LiveInputSettings>()) {
    setWindowTitle(tr("Live Input"));

    switch_ = new QCheckBox(tr("&Show live input"), this);
    switch_->setToolTip(
        tr("Listen to lighting software on the network (sACN, Art-Net, DDP): the panel follows "
           "the frames read-only and sends them as Auto Update would; off puts the panel back"));
    switch_->setAccessibleName(tr("Show live input"));
    connect(switch_, &QCheckBox::clicked, this, &LiveInputWindow::OnSwitchClicked);

    status_ = ReadoutLabel(tr("Live input status"), this);
    notice_ = ReadoutLabel(tr("Live input message"), this);
    notice_->hide();

    universe_ = new QSpinBox(this);
    universe_->setRange(kLiveMinUniverse, kLiveMaxUniverse);
    universe_->setToolTip(
        tr("The sACN universe (1-63999); Art-Net listens on port-address universe - 1"));
    startAddress_ = new QSpinBox(this);
    startAddress_->setRange(kLiveMinStartAddress, kLiveMaxStartAddress);
    startAddress_->setToolTip(
        tr("The display's first channel in the universe (it takes 460 channels); DDP always "
           "starts at byte 0"));
    for (QSpinBox* box : {universe_, startAddress_}) {
        box->setKeyboardTracking(false);  // one restart per value entered, not per digit
        connect(box, &QSpinBox::valueChanged, this, &LiveInputWindow::OnSettingChanged);
    }
    // The boxes' own text fields take the focus too: a screen reader hears the same name there.
    for (const auto& [box, name] :
         {std::pair{universe_, tr("Universe")}, std::pair{startAddress_, tr("Start address")}}) {
        box->setAccessibleName(name);
        if (auto* edit = box->findChild<QLineEdit*>())
            edit->setAccessibleName(name);
    }

    sacn_ = new QCheckBox(tr("sACN"), this);
    artNet_ = new QCheckBox(tr("Art-Net"), this);
    ddp_ = new QCheckBox(tr("DDP"), this);
    auto* protocols = new QHBoxLayout;
    for (QCheckBox* box : {sacn_, artNet_, ddp_}) {
        box->setToolTip(tr("Listen to %1").arg(box->text()));
        connect(box, &QCheckBox::clicked, this, &LiveInputWindow::OnSettingChanged);
        protocols->addWidget(box);
    }
    protocols->addStretch();

    onLoss_ = new NamedComboBox(this);
    onLoss_->addItem(tr("Hold the last frame"), static_cast<int>(net::LossPolicy::Hold));
    onLoss_->addItem(tr("Blank the display"), static_cast<int>(net::LossPolicy::Blank));
    onLoss_->setToolTip(tr("What the display shows once every source has stopped or gone silent"));
    onLoss_->setAccessibleName(tr("When every source has gone"));
    connect(onLoss_, &QComboBox::currentIndexChanged, this, &LiveInputWindow::OnSettingChanged);

    // Compact: the numbers side by side, each choice at its natural width.
    auto* settings = new QGroupBox(tr("Input"), this);
    auto* grid = new QGridLayout(settings);
    const auto label = [&](const QString& text, QWidget* buddy) {
        auto* caption = new QLabel(text, settings);
        caption->setBuddy(buddy);
        return caption;
    };
    grid->addWidget(label(tr("&Universe:"), universe_), 0, 0);
    grid->addWidget(universe_, 0, 1);
    grid->addWidget(label(tr("Start &address:"), startAddress_), 0, 2);
    grid->addWidget(startAddress_, 0, 3);
    grid->addWidget(new QLabel(tr("Protocols:"), settings), 1, 0);
    grid->addLayout(protocols, 1, 1, 1, 4);
    grid->addWidget(label(tr("When every source has &gone:"), onLoss_), 2, 0);
    grid->addWidget(onLoss_, 2, 1, 1, 3, Qt::AlignLeft);
    grid->setColumnStretch(4, 1);

    QStringList sourceTitles;
    for (int c = 0; c < kLiveSourceColumns; ++c)
        sourceTitles << ToQString(LiveSourceColumnTitle(static_cast<LiveSourceColumn>(c)));
    sources_ = MakeTable(this, sourceTitles, tr("Sources"),
                         tr("Every source heard; the one the panel shows is in bold"));
    drops_ = MakeTable(this, {tr("Reason"), tr("Packets")}, tr("Drops by reason"),
                       tr("Packets that did not become a frame, by reason"));
    drops_->horizontalHeader()->setStretchLastSection(false);
    drops_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    auto* sourcesLabel = new QLabel(tr("S&ources:"), this);
    sourcesLabel->setBuddy(sources_);
    auto* dropsLabel = new QLabel(tr("&Drops by reason:"), this);
    dropsLabel->setBuddy(drops_);

    totals_ = ReadoutLabel(tr("Totals"), this);
    lastEvent_ = ReadoutLabel(tr("Last event"), this);

    // On a small screen at a large scale the window may be shorter than its content: it scrolls
    // rather than leave the screen.
    auto* content = new QWidget(this);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(switch_);
    layout->addWidget(status_);
    layout->addWidget(notice_);
    layout->addWidget(settings);
    layout->addWidget(sourcesLabel);
    layout->addWidget(sources_, 3);
    layout->addWidget(dropsLabel);
    layout->addWidget(drops_, 2);
    layout->addWidget(totals_);
    layout->addWidget(lastEvent_);
    scroll->setWidget(content);
    // Reading order, whatever order the layouts took the widgets in.
    const std::array<QWidget*, 9> tabOrder{switch_, universe_, startAddress_, sacn_, artNet_,
                                           ddp_,    onLoss_,   sources_,      drops_};
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    refresh_ = new QTimer(this);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, this, &LiveInputWindow::Refresh);
    pacer_ = new FramePacer(
        *this, [this] { Refresh(); }, [this] { UpdateRefreshTimer(); });

    SetSettings(*where_);
    resize(780, 600);
    Refresh();
}

LiveInputWindow::~LiveInputWindow() {
    pacer_->Detach();
    Shutdown();
}

void LiveInputWindow::Shutdown() {
    shutDown_ = true;
    live_.reset();  // stops the receiver and puts the panel back
    refresh_->stop();
}

bool LiveInputWindow::On() const {
    return live_ != nullptr && live_->On();
}

LiveInputSettings LiveInputWindow::Settings() const {
    LiveInputSettings settings = *where_;
    settings.universe = universe_->value();
    settings.startAddress = startAddress_->value();
    settings.protocols = 0;
    const std::array<std::pair<QCheckBox*, net::Protocol>, net::kProtocolCount> boxes{{
        {sacn_, net::Protocol::Sacn},
        {artNet_, net::Protocol::ArtNet},
        {ddp_, net::Protocol::Ddp},
    }};
    for (const auto& [box, protocol] : boxes) {
        if (box->isChecked())
            settings.protocols |= net::Bit(protocol);
    }
    settings.onLoss = static_cast<net::LossPolicy>(onLoss_->currentData().toInt());
    return settings;
}

void LiveInputWindow::SetSettings(const LiveInputSettings& settings) {
    *where_ = settings;
    {
        const QSignalBlocker blockUniverse(universe_);
        const QSignalBlocker blockStart(startAddress_);
        const QSignalBlocker blockLoss(onLoss_);
        universe_->setValue(settings.universe);
        startAddress_->setValue(settings.startAddress);
        sacn_->setChecked((settings.protocols & net::Bit(net::Protocol::Sacn)) != 0);
        artNet_->setChecked((settings.protocols & net::Bit(net::Protocol::ArtNet)) != 0);
        ddp_->setChecked((settings.protocols & net::Bit(net::Protocol::Ddp)) != 0);
        onLoss_->setCurrentIndex(onLoss_->findData(static_cast<int>(settings.onLoss)));
    }
    OnSettingChanged();
}

void LiveInputWindow::OnSwitchClicked(bool checked) {
    if (checked)
        SwitchOn();
    else
        SwitchOff();
}

bool LiveInputWindow::SwitchOn() {
    if (On())
        return true;
    return Start();
}

void LiveInputWindow::SwitchOff() {
    const bool wasOn = On();
    if (live_)
        live_->Stop();
    SetSwitch(false);
    if (wasOn) {
        Tell(tr("Live input off: the panel is back as it was"));
        emit LiveChanged(false);
    }
    Refresh();
}

void LiveInputWindow::OnSettingChanged() {
    if (On())
        Start();
}

bool LiveInputWindow::Start() {
    if (shutDown_)
        return false;
    const bool wasOn = On();
    if (!live_) {
        live_ = std::make_unique<LiveInput>(panel_.Controller(), panel_);
        live_->SetEventSink([this](const net::SourceEvent& event, net::LossPolicy policy) {
            lastEvent_->setText(
                tr("Last event: %1").arg(ToQString(net::DescribeEvent(event, policy))));
        });
        // The handler may not stop the live input itself: the switch goes off once it returns.
        live_->SetFailureHandler([this] {
            QMetaObject::invokeMethod(this, &LiveInputWindow::OnFailure, Qt::QueuedConnection);
        });
    }
    std::string error;
    if (!live_->Start(MakeLiveInputConfig(Settings()), error)) {
        // A refused setting leaves a running input as it was; either way the switch goes off,
        // so the window never shows a state the user did not ask for.
        live_->Stop();
        SetSwitch(false);
        notice_->setText(tr("Live input is off: %1.").arg(ToQString(error)));
        notice_->show();
        emit Message(notice_->text());
        if (wasOn)
            emit LiveChanged(false);
        Refresh();
        return false;
    }
    notice_->hide();
    notice_->clear();
    SetSwitch(true);
    if (!wasOn) {
        lastEvent_->clear();
        Tell(tr("Live input on: the panel follows the network and can't be edited"));
        emit LiveChanged(true);
    }
    Refresh();
    return true;
}

void LiveInputWindow::OnFailure() {
    if (!On())
        return;
    live_->Stop();
    SetSwitch(false);
    notice_->setText(tr("Live input is off: waiting for packets failed, so the receiver stopped."));
    notice_->show();
    emit Message(notice_->text());
    emit LiveChanged(false);
    Refresh();
}

void LiveInputWindow::SetSwitch(bool on) {
    const QSignalBlocker block(switch_);
    switch_->setChecked(on);
    UpdateRefreshTimer();
}

void LiveInputWindow::Tell(const QString& text) {
    emit Message(text);
}

void LiveInputWindow::UpdateRefreshTimer() {
    if (On() && pacer_->Seen()) {
        if (!refresh_->isActive()) {
            refresh_->start();
            Refresh();  // what happened while nobody looked
        }
    } else {
        refresh_->stop();
    }
}

void LiveInputWindow::Refresh() {
    const LiveInputStats stats = live_ ? live_->Stats() : LiveInputStats{};
    std::array<std::uint16_t, net::kProtocolCount> ports{};
    for (int p = 0; p < net::kProtocolCount; ++p) {
        ports[static_cast<std::size_t>(p)] =
            live_ ? live_->Port(static_cast<net::Protocol>(p)) : std::uint16_t{0};
    }
    status_->setText(ToQString(LiveStatusText(stats, ports)));
    totals_->setText(ToQString(LiveTotalsText(stats)));

    const std::vector<LiveSourceRow> rows = LiveSourceRows(stats, net::Clock::now());
    sources_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i)
        SetRow(*sources_, static_cast<int>(i), rows[i].cells, rows[i].holdsDisplay);
    const std::vector<LiveDropRow> drops = LiveDropRows(stats.receiver.counters);
    drops_->setRowCount(static_cast<int>(drops.size()));
    for (std::size_t i = 0; i < drops.size(); ++i) {
        const std::array<std::string, 2> texts{drops[i].reason, std::to_string(drops[i].count)};
        SetRow(*drops_, static_cast<int>(i), texts, false);
    }
}

}  // namespace velta
