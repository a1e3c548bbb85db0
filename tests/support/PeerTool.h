#pragma once

// Peer programs that check the project's output independently of its own code (sox for audio). A test
// whose peer is missing skips: if (!test::havePeer("sox")) GTEST_SKIP() << "sox is not installed";

#include <gtest/gtest.h>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace tessa::test {

inline bool havePeer(const char* program) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

// Runs the program to its end; a success when it exited by itself with code 0, else a failure that
// tells what the program said.
inline ::testing::AssertionResult runPeer(const QString& program, const QStringList& args,
                                          int timeoutMs = 120000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return ::testing::AssertionFailure() << program.toStdString() << " did not finish";
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return ::testing::AssertionFailure()
               << program.toStdString() << " " << args.join(u' ').toStdString() << ": exit " << p.exitCode()
               << ": " << p.readAllStandardError().toStdString();
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult sox(const QStringList& args) {
    return runPeer(QStringLiteral("sox"), args);
}

} // namespace tessa::test
