#pragma once

// The About box: the program's lines from the settings, its version and the logo, on white. A click
// anywhere closes it.

#include <QDialog>

namespace tessa {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

} // namespace tessa
