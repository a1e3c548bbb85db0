#pragma once

// The modeless progress window used while call logs load and list: a text line above a progress bar.

#include <QDialog>

class QLabel;
class QProgressBar;

namespace tessa {

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows the window with a caption and a range of 0 to total; centred on its parent when asked.
    void start(const QString& caption, uint32_t total, bool centre);
    void setPosition(uint32_t position, const QString& line);

protected:
    void keyPressEvent(QKeyEvent* event) override; // Escape must not close it
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* line_;
    QProgressBar* bar_;
};

} // namespace tessa
