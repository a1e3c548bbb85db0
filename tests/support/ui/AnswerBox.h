#pragma once

// Answers a modal message box as a user would, once it comes up: the test arms the answer before the
// call that shows the box (and blocks in its event loop).

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace tessa::test {

// Clicks button on the next message box named objectName; counts the answers in *answered when given.
// Gives up after a while so that a box that never comes cannot leave a timer behind for later tests.
inline void answerBox(const QString& objectName, QMessageBox::StandardButton button,
                      int* answered = nullptr) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->objectName() == objectName && box->button(button)) {
            box->button(button)->click();
            if (answered)
                ++*answered;
        } else if (clock->elapsed() < 10000) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
    });
    timer->start(10);
}

} // namespace tessa::test
