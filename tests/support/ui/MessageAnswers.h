#pragma once

// Answers every message box that opens while the object lives (Yes where offered, else OK) and keeps
// each box's object name, text and icon.

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <vector>

namespace tessa::test {

class MessageAnswers {
public:
    MessageAnswers() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                names.push_back(box->objectName());
                texts.push_back(box->text());
                captions.push_back(box->windowTitle());
                icons.push_back(box->icon());
                box->done(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok);
            }
        });
        timer_.start();
    }
    std::vector<QString> names, texts, captions;
    std::vector<QMessageBox::Icon> icons;

private:
    QTimer timer_;
};

} // namespace tessa::test
