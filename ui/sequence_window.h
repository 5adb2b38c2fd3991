// The Sequence window: the design's frames as small pictures in order, the buttons that edit the
// list, and Play. The controller's list is the truth; the window only shows it and forwards each
// edit, and rebuilds from the controller whenever the history changes (an edit here, on the
// panel, an undo or redo, an opened design).
//
// Selecting a frame with the mouse or the keys loads it into the panel; the window's own
// selection changes (after an add, an undo) do not. While a sequence plays, the list can't be
// edited; a single-shot timer is armed for the moment the controller says the next frame is due.
#pragma once

#include <QAbstractListModel>
#include <QPixmap>
#include <QWidget>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "model/panel_content.h"

class QCheckBox;
class QLabel;
class QListView;
class QPushButton;
class QSpinBox;
class QTimer;

namespace velta {

class ControlCenterController;
class ControlCenterDialog;

// The frames as list rows: a thumbnail of the grid and "Frame N / hold". Rows may be dragged to
// another place; a drop becomes one move through `move`, and the list then follows the
// controller.
class FrameListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    using MoveFunction = std::function<bool(std::size_t from, std::size_t to)>;

    static constexpr int kDotPitch = 4;
    static constexpr const char* kMimeType = "application/x-velta-frame-index";

    FrameListModel(const ControlCenterController& controller, MoveFunction move,
                   QObject* parent = nullptr);

    // Takes the controller's frames again: only rows whose frame changed are redrawn, and a
    // change of length resets the list.
    void Refresh();
    // How many thumbnails were drawn since the model was made.
    int ThumbnailsDrawn() const { return thumbnailsDrawn_; }
    static QImage Thumbnail(const SequenceFrame& frame);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    // The view's internal move: one row from `sourceRow` to before `destinationChild`.
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                  const QModelIndex& destinationParent, int destinationChild) override;

  signals:
    // A drag moved a frame; it now stands at `row`.
    void FrameMoved(int row);

  private:
    // `before` is the row the frame is dropped in front of (the row count: at the end). The row
    // the frame lands on, or -1 when nothing moved.
    int MoveBefore(int from, int before);

    const ControlCenterController& controller_;
    MoveFunction move_;
    std::vector<SequenceFrame> frames_;
    std::vector<QPixmap> thumbnails_;
    bool moving_ = false;  // inside moveRows: the view already knows where the row went
    int thumbnailsDrawn_ = 0;
};

class SequenceWindow : public QWidget {
    Q_OBJECT

  public:
    // `panel` must outlive the window. With a parent the window is still a window of its own.
    explicit SequenceWindow(ControlCenterDialog& panel, QWidget* parent = nullptr);

    // The selected frame, if any.
    std::optional<std::size_t> Selected() const;
    // Selects a frame as the user would, which loads it into the panel.
    void SelectByUser(std::size_t index);

    // The buttons' actions.
    void AddFrame();
    void ReplaceFrame();
    void DuplicateFrame();
    void DeleteFrame();
    void MoveUp();
    void MoveDown();
    void TogglePlay();
    void ExportToDataCenter();

    bool Playing() const;
    QListView* List() const { return list_; }
    FrameListModel* Model() const { return model_; }
    QTimer* PlayTimer() const { return playTimer_; }
    QSpinBox* Hold() const { return hold_; }
    QCheckBox* Loop() const { return loop_; }
    QCheckBox* SendWhilePlaying() const { return send_; }
    QPushButton* PlayButton() const { return play_; }
    QString Notice() const;

  signals:
    // A line for the main window's status bar.
    void Message(const QString& text);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPushButton* AddButton(const QString& text, const QString& tip, const QKeySequence& key,
                           void (SequenceWindow::*run)());
    void Rebuild();
    void UpdateControls();
    void SelectQuietly(std::optional<std::size_t> index);
    void OnSelectionChanged();
    void OnHoldChanged(int ms);
    void ArmFor(std::optional<std::chrono::steady_clock::time_point> next);
    void OnPlayTimer();
    void OnPlayingStopped();
    void Tell(const QString& text);
    // Says so and returns true when the sequence can take no more frames.
    bool RefuseWhenFull();

    ControlCenterDialog& panel_;
    ControlCenterController& controller_;
    FrameListModel* model_ = nullptr;
    QListView* list_ = nullptr;
    QSpinBox* hold_ = nullptr;
    QCheckBox* loop_ = nullptr;
    QCheckBox* send_ = nullptr;
    QPushButton* play_ = nullptr;
    QLabel* notice_ = nullptr;
    QTimer* playTimer_ = nullptr;
    std::vector<QPushButton*> editButtons_;
    QPushButton* replace_ = nullptr;
    QPushButton* duplicate_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* up_ = nullptr;
    QPushButton* down_ = nullptr;
    QPushButton* export_ = nullptr;
    bool quiet_ = false;  // the window itself is changing the selection
};

}  // namespace velta
