// Where the main window keeps the panel. The panel fills the area at the largest scale that fits;
// only a window smaller than the panel's smallest readable size gets scroll bars, so every control
// stays reachable on any screen, and moving the keyboard focus scrolls it into view.
#pragma once

#include <QScrollArea>

namespace velta {

class PanelArea : public QScrollArea {
    Q_OBJECT

  public:
    explicit PanelArea(QWidget* panel, QWidget* parent = nullptr);

    // The panel's own wish: its size at the desktop font's scale.
    QSize sizeHint() const override;

    // The size a window should open at: the size it asks for, clipped to the room its screen
    // leaves for a window with its frame.
    static QSize OpeningSize(const QWidget& window);
};

}  // namespace velta
