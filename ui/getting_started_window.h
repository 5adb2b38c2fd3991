// Help > Getting Started: how to paint, how to send, and what the Status box and the "Write
// Error" box mean, in one short page beside the panel. The man page says the same.
#pragma once

#include <QDialog>
#include <QString>

namespace velta {

class GettingStartedWindow : public QDialog {
    Q_OBJECT

  public:
    explicit GettingStartedWindow(QWidget* parent = nullptr);

    // The page, as rich text.
    static QString Page();
};

}  // namespace velta
