// A list box that a screen reader names by its purpose (its accessible name) and whose choice is
// its value, as the panel's colour box is; Qt's own interface names a list box by the entry it
// shows. The interface is ui/panel/panel_accessible.cpp's.
#pragma once

#include <QComboBox>

namespace velta {

class NamedComboBox : public QComboBox {
    Q_OBJECT

  public:
    using QComboBox::QComboBox;
};

}  // namespace velta
