#include "ui/sequence_window.h"
#include "ui/display_look.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDataStream>
#include <QHBoxLayout>
#include <QIODevice>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <bitset>
#include <unordered_map>

#include "control/control_center_controller.h"
#include "model/design_file.h"
#include "model/sequence.h"
#include "ui/control_center_dialog.h"

namespace velta {

namespace {

constexpr QColor kBackground = ui::kDisplayBackground;
constexpr QColor kLit = ui::kDisplayLit;
constexpr QColor kDark = ui::kDisplayOff;
constexpr int kThumbMargin = 2;

using ui::Count;

}  // namespace

FrameListModel::FrameListModel(const ControlCenterController& controller, MoveFunction move,
                               QObject* parent)
    : QAbstractListModel(parent), controller_(controller), move_(std::move(move)) {
    Refresh();
}

QImage FrameListModel::Thumbnail(const SequenceFrame& frame) {
    QImage image(kColumns * kDotPitch + 2 * kThumbMargin, kRows * kDotPitch + 2 * kThumbMargin,
                 QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    constexpr qreal kDiameter = kDotPitch - 1.0;
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            const bool lit = frame.cells.test(static_cast<std::size_t>(row * kColumns + column));
            painter.setBrush(lit ? kLit : kDark);
            painter.drawEllipse(QRectF(kThumbMargin + column * kDotPitch + 0.5,
                                       kThumbMargin + row * kDotPitch + 0.5, kDiameter, kDiameter));
        }
    }
    return image;
}

void FrameListModel::Refresh() {
    const std::vector<SequenceFrame>& now = controller_.Frames().Frames();
    // Most history changes are panel edits that leave the frames alone.
    if (now == frames_)
        return;
    // Pictures are kept by what they show, so inserting, deleting or moving frames draws
    // nothing again; only a grid not shown before is drawn.
    std::unordered_map<std::bitset<kCellCount>, QPixmap> drawn;
    drawn.reserve(frames_.size());
    for (std::size_t i = 0; i < frames_.size(); ++i)
        drawn.emplace(frames_[i].cells, thumbnails_[i]);
    std::vector<QPixmap> thumbnails;
    thumbnails.reserve(now.size());
    for (const SequenceFrame& frame : now) {
        auto [it, isNew] = drawn.try_emplace(frame.cells);
        if (isNew) {
            it->second = QPixmap::fromImage(Thumbnail(frame));
            ++thumbnailsDrawn_;
        }
        thumbnails.push_back(it->second);
    }
    if (moving_) {
        // The view moved the row itself; only the copy follows.
        frames_ = now;
        thumbnails_ = std::move(thumbnails);
        return;
    }
    const bool resize = now.size() != frames_.size();
    int firstChanged = -1;
    int lastChanged = -1;
    for (std::size_t i = 0; !resize && i < now.size(); ++i) {
        if (!(frames_[i] == now[i])) {
            if (firstChanged < 0)
                firstChanged = static_cast<int>(i);
            lastChanged = static_cast<int>(i);
        }
    }
    if (resize)
        beginResetModel();
    frames_ = now;
    thumbnails_ = std::move(thumbnails);
    if (resize)
        endResetModel();
    else if (firstChanged >= 0)
        emit dataChanged(index(firstChanged), index(lastChanged));
}

int FrameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(frames_.size());
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return tr("Frame %1\n%2 ms").arg(index.row() + 1).arg(Count(frames_[row].holdMs));
        case Qt::DecorationRole:
            return thumbnails_[row];
        case Qt::ToolTipRole:
            return tr("Frame %1, held %2 ms; drag to move it")
                .arg(index.row() + 1)
                .arg(Count(frames_[row].holdMs));
        default:
            return {};
    }
}

Qt::ItemFlags FrameListModel::flags(const QModelIndex& index) const {
    // Rows are dragged between rows, never onto one another.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList FrameListModel::mimeTypes() const {
    return {QString::fromLatin1(kMimeType)};
}

QMimeData* FrameListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1)
        return nullptr;
    auto* data = new QMimeData;  // owned by the drag
    QByteArray bytes;
    QDataStream(&bytes, QIODevice::WriteOnly) << indexes.front().row();
    data->setData(QString::fromLatin1(kMimeType), bytes);
    return data;
}

bool FrameListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                  const QModelIndex& parent) {
    if (action != Qt::MoveAction || data == nullptr ||
        !data->hasFormat(QString::fromLatin1(kMimeType)))
        return false;
    int from = -1;
    QDataStream(data->data(QString::fromLatin1(kMimeType))) >> from;
    // Dropped on a row: in front of it. Below the last row: at the end.
    const int before = parent.isValid() ? parent.row() : row < 0 ? rowCount() : row;
    const int to = MoveBefore(from, before);
    if (to < 0)
        return false;
    emit FrameMoved(to);
    return true;
}

bool FrameListModel::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                              const QModelIndex& destinationParent, int destinationChild) {
    if (count != 1 || sourceParent.isValid() || destinationParent.isValid())
        return false;
    if (sourceRow < 0 || sourceRow >= rowCount() || destinationChild < 0 ||
        destinationChild > rowCount() || destinationChild == sourceRow ||
        destinationChild == sourceRow + 1)
        return false;
    if (!beginMoveRows(sourceParent, sourceRow, sourceRow, destinationParent, destinationChild))
        return false;
    moving_ = true;
    const int to = MoveBefore(sourceRow, destinationChild);
    moving_ = false;
    endMoveRows();
    if (to < 0) {
        Refresh();
        return false;
    }
    emit FrameMoved(to);
    return true;
}

int FrameListModel::MoveBefore(int from, int before) {
    if (from < 0 || from >= rowCount() || before < 0 || before > rowCount())
        return -1;
    // Taken out first, the frame lands one place earlier when it goes down the list.
    const int to = before > from ? before - 1 : before;
    if (to == from)
        return -1;
    return move_(static_cast<std::size_t>(from), static_cast<std::size_t>(to)) ? to : -1;
}

SequenceWindow::SequenceWindow(ControlCenterDialog& panel, QWidget* parent)
    : QWidget(parent, Qt::Window), panel_(panel), controller_(panel.Controller()) {
    setWindowTitle(tr("Sequence"));

    model_ = new FrameListModel(
        controller_,
        [this](std::size_t from, std::size_t to) { return controller_.MoveFrame(from, to); }, this);
    list_ = new QListView(this);
    list_->setModel(model_);
    // A dragged frame stays selected where it landed, and the buttons follow its new place.
    connect(model_, &FrameListModel::FrameMoved, this,
            [this](int row) { SelectQuietly(static_cast<std::size_t>(row)); });
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);
    list_->setDropIndicatorShown(true);
    list_->setIconSize(FrameListModel::Thumbnail(SequenceFrame{}).size());
    list_->setUniformItemSizes(true);
    list_->setSpacing(2);
    list_->setMinimumWidth(260);
    // After the selection is made, not when the current row moves: a click sets the current row
    // before it selects it.
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SequenceWindow::OnSelectionChanged);

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(AddButton(tr("Add Frame"),
                                 tr("Add the panel's picture after the selected frame (Insert)"),
                                 QKeySequence(Qt::Key_Insert), &SequenceWindow::AddFrame));
    replace_ = AddButton(tr("Replace"), tr("Replace the selected frame with the panel (Ctrl+R)"),
                         QKeySequence(Qt::CTRL | Qt::Key_R), &SequenceWindow::ReplaceFrame);
    duplicate_ = AddButton(tr("Duplicate"), tr("Copy the selected frame after it (Ctrl+D)"),
                           QKeySequence(Qt::CTRL | Qt::Key_D), &SequenceWindow::DuplicateFrame);
    delete_ = AddButton(tr("Delete"), tr("Delete the selected frame (Delete)"),
                        QKeySequence(Qt::Key_Delete), &SequenceWindow::DeleteFrame);
    for (QPushButton* button : {replace_, duplicate_, delete_})
        editRow->addWidget(button);

    auto* moveRow = new QHBoxLayout;
    up_ = AddButton(tr("Move Up"), tr("Move the selected frame one place up (Ctrl+Up)"),
                    QKeySequence(Qt::CTRL | Qt::Key_Up), &SequenceWindow::MoveUp);
    down_ = AddButton(tr("Move Down"), tr("Move the selected frame one place down (Ctrl+Down)"),
                      QKeySequence(Qt::CTRL | Qt::Key_Down), &SequenceWindow::MoveDown);
    hold_ = new QSpinBox(this);
    hold_->setRange(kMinHoldMs, kMaxHoldMs);
    hold_->setSuffix(tr(" ms"));
    hold_->setValue(kDefaultHoldMs);
    hold_->setKeyboardTracking(false);  // one step per value entered, not per digit typed
    hold_->setToolTip(
        tr("How long the selected frame is shown when played; also the hold of "
           "frames added from here"));
    auto* holdLabel = new QLabel(tr("&Hold:"), this);
    holdLabel->setBuddy(hold_);
    connect(hold_, &QSpinBox::valueChanged, this, &SequenceWindow::OnHoldChanged);
    moveRow->addWidget(up_);
    moveRow->addWidget(down_);
    moveRow->addStretch();
    moveRow->addWidget(holdLabel);
    moveRow->addWidget(hold_);

    auto* playRow = new QHBoxLayout;
    play_ = new QPushButton(tr("Play"), this);
    play_->setCheckable(true);
    play_->setShortcut(QKeySequence(Qt::Key_F5));
    play_->setToolTip(tr("Play the frames on the panel; Stop puts the panel back (F5)"));
    connect(play_, &QPushButton::clicked, this, &SequenceWindow::TogglePlay);
    loop_ = new QCheckBox(tr("Lo&op"), this);
    loop_->setToolTip(tr("Start again after the last frame until stopped"));
    send_ = new QCheckBox(tr("&Send while playing"), this);
    send_->setToolTip(
        tr("Also send each frame to the display (RF mode on and the transmitter "
           "connected); unticked, only the panel shows the frames"));
    export_ =
        AddButton(tr("&Export Sequence"), tr("Append every frame's blocks to the Data Center"), {},
                  &SequenceWindow::ExportToDataCenter);
    playRow->addWidget(play_);
    playRow->addWidget(loop_);
    playRow->addWidget(send_);
    playRow->addStretch();
    playRow->addWidget(export_);

    notice_ = new QLabel(this);
    notice_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(editRow);
    layout->addLayout(moveRow);
    layout->addLayout(playRow);
    layout->addWidget(notice_);

    // Undo and redo work from here as from the main window: one history for panel and list.
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, [this] { controller_.Undo(); });
    auto* redo = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), this);
    connect(redo, &QShortcut::activated, this, [this] { controller_.Redo(); });

    playTimer_ = new QTimer(this);
    playTimer_->setSingleShot(true);
    playTimer_->setTimerType(Qt::PreciseTimer);
    connect(playTimer_, &QTimer::timeout, this, &SequenceWindow::OnPlayTimer);
    connect(&panel_, &ControlCenterDialog::HistoryChanged, this, &SequenceWindow::Rebuild);
    connect(&panel_, &ControlCenterDialog::PlayingStopped, this, &SequenceWindow::OnPlayingStopped);

    resize(420, 560);
    UpdateControls();
}

QPushButton* SequenceWindow::AddButton(const QString& text, const QString& tip,
                                       const QKeySequence& key, void (SequenceWindow::*run)()) {
    auto* button = new QPushButton(text, this);
    button->setToolTip(tip);
    if (!key.isEmpty())
        button->setShortcut(key);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, run);
    editButtons_.push_back(button);
    return button;
}

std::optional<std::size_t> SequenceWindow::Selected() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return static_cast<std::size_t>(rows.front().row());
}

void SequenceWindow::SelectByUser(std::size_t index) {
    list_->selectionModel()->setCurrentIndex(model_->index(static_cast<int>(index)),
                                             QItemSelectionModel::ClearAndSelect);
}

void SequenceWindow::SelectQuietly(std::optional<std::size_t> index) {
    quiet_ = true;
    if (index && *index < static_cast<std::size_t>(model_->rowCount())) {
        const QModelIndex row = model_->index(static_cast<int>(*index));
        list_->selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(row);
    } else {
        list_->selectionModel()->clear();
    }
    quiet_ = false;
    UpdateControls();
}

void SequenceWindow::OnSelectionChanged() {
    const std::optional<std::size_t> selected = Selected();
    if (!quiet_ && selected && !controller_.Playing())
        controller_.LoadFrame(*selected);
    UpdateControls();
}

void SequenceWindow::Rebuild() {
    const std::optional<std::size_t> selected = Selected();
    const int rowsBefore = model_->rowCount();
    quiet_ = true;
    model_->Refresh();
    quiet_ = false;
    const int rows = model_->rowCount();
    if (rows == rowsBefore) {
        UpdateControls();  // rows changed in place; the selection stays where it is
        return;
    }
    // The list was rebuilt: the selection stays on the same place, or on the last frame when
    // the list got shorter.
    if (selected && rows > 0)
        SelectQuietly(std::min(*selected, static_cast<std::size_t>(rows - 1)));
    else
        SelectQuietly(std::nullopt);
}

void SequenceWindow::UpdateControls() {
    const bool playing = controller_.Playing();
    const std::optional<std::size_t> selected = Selected();
    const std::size_t size = controller_.Frames().Size();
    for (QPushButton* button : editButtons_)
        button->setEnabled(!playing);
    replace_->setEnabled(!playing && selected.has_value());
    duplicate_->setEnabled(!playing && selected.has_value());
    delete_->setEnabled(!playing && selected.has_value());
    up_->setEnabled(!playing && selected && *selected > 0);
    down_->setEnabled(!playing && selected && *selected + 1 < size);
    export_->setEnabled(!playing && size > 0);
    // The list stays readable while playing; only dragging (an edit) is off.
    list_->setDragDropMode(playing ? QAbstractItemView::NoDragDrop
                                   : QAbstractItemView::InternalMove);
    hold_->setEnabled(!playing);
    loop_->setEnabled(!playing);
    send_->setEnabled(!playing);
    play_->setEnabled(playing || size > 0);
    {
        const QSignalBlocker block(play_);
        play_->setChecked(playing);
        play_->setText(playing ? tr("Stop") : tr("Play"));
        play_->setShortcut(QKeySequence(Qt::Key_F5));
    }
    if (selected && *selected < size) {
        const QSignalBlocker block(hold_);
        hold_->setValue(controller_.Frames()[*selected].holdMs);
    }
}

void SequenceWindow::Tell(const QString& text) {
    notice_->setText(text);
    emit Message(text);
}

QString SequenceWindow::Notice() const {
    return notice_->text();
}

bool SequenceWindow::RefuseWhenFull() {
    if (controller_.Frames().Size() < kMaxSequenceFrames)
        return false;
    Tell(tr("The sequence is full: it holds at most %1 frames").arg(Count(kMaxSequenceFrames)));
    return true;
}

void SequenceWindow::AddFrame() {
    const std::size_t size = controller_.Frames().Size();
    const std::optional<std::size_t> selected = Selected();
    if (RefuseWhenFull())
        return;
    const std::size_t after = selected ? *selected : size == 0 ? kNoFrame : size - 1;
    if (!controller_.AddFrame(after, hold_->value()))
        return;
    SelectQuietly(after == kNoFrame ? 0 : after + 1);
    Tell(tr("Added frame %1").arg(after == kNoFrame ? 1 : after + 2));
}

void SequenceWindow::ReplaceFrame() {
    if (const auto selected = Selected()) {
        if (controller_.ReplaceFrame(*selected))
            Tell(tr("Replaced frame %1").arg(*selected + 1));
        else
            Tell(tr("Frame %1 already shows the panel").arg(*selected + 1));
    }
}

void SequenceWindow::DuplicateFrame() {
    const auto selected = Selected();
    if (!selected)
        return;
    if (RefuseWhenFull())
        return;
    if (controller_.DuplicateFrame(*selected)) {
        SelectQuietly(*selected + 1);
        Tell(tr("Duplicated frame %1").arg(*selected + 1));
    }
}

void SequenceWindow::DeleteFrame() {
    if (const auto selected = Selected()) {
        if (controller_.DeleteFrame(*selected))
            Tell(tr("Deleted frame %1").arg(*selected + 1));
    }
}

void SequenceWindow::MoveUp() {
    const auto selected = Selected();
    if (selected && *selected > 0 && controller_.MoveFrame(*selected, *selected - 1))
        SelectQuietly(*selected - 1);
}

void SequenceWindow::MoveDown() {
    const auto selected = Selected();
    if (selected && controller_.MoveFrame(*selected, *selected + 1))
        SelectQuietly(*selected + 1);
}

void SequenceWindow::OnHoldChanged(int ms) {
    if (const auto selected = Selected())
        controller_.SetFrameHold(*selected, ms);
}

void SequenceWindow::ExportToDataCenter() {
    const std::size_t frames = controller_.Frames().Size();
    if (frames == 0)
        return;
    controller_.ExportSequenceToDataCenter();
    Tell(tr("Appended %1 frames to the Data Center").arg(Count(static_cast<qsizetype>(frames))));
}

bool SequenceWindow::Playing() const {
    return controller_.Playing();
}

void SequenceWindow::TogglePlay() {
    if (controller_.Playing()) {
        controller_.StopPlaying();  // comes back through PlayingStopped
        return;
    }
    const auto next = controller_.StartPlaying(loop_->isChecked(), send_->isChecked());
    if (!controller_.Playing()) {
        UpdateControls();
        return;
    }
    Tell(tr("Playing %1 frames").arg(Count(static_cast<qsizetype>(controller_.Frames().Size()))));
    UpdateControls();
    ArmFor(next);
}

void SequenceWindow::ArmFor(std::optional<std::chrono::steady_clock::time_point> next) {
    if (!next) {
        // The pass is over (or a write failed): the panel goes back to what it was before Play.
        // StopPlaying reports back through PlayingStopped.
        controller_.StopPlaying();
        return;
    }
    // Rounded up, so the timer never fires before the frame is due.
    const auto delay =
        std::chrono::ceil<std::chrono::milliseconds>(*next - std::chrono::steady_clock::now());
    playTimer_->start(static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, delay.count())));
}

void SequenceWindow::OnPlayTimer() {
    if (controller_.Playing())
        ArmFor(controller_.PlayTick());
}

void SequenceWindow::OnPlayingStopped() {
    playTimer_->stop();
    UpdateControls();
}

void SequenceWindow::closeEvent(QCloseEvent* event) {
    // Playing needs the window's timer; closing it ends the play.
    controller_.StopPlaying();
    event->accept();
}

}  // namespace velta
