#pragma once

// Stand-ins for the desktop's programs (xdg-mime, xdg-open, xdg-email) for the life of the object: PATH
// then holds only them and the peers the tests run (unzip, sox, ffmpeg), so the real desktop programs are
// never reached and a removed stand-in is missing indeed. Each records the arguments of every call; xdg-mime
// answers with the registered program (none unless set), xdg-email notes which attachments existed while it
// ran, can be held running, and ends with the exit code set.

#include "support/TempDir.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace tessa::test {

class FakeDesktop {
public:
    FakeDesktop() : oldPath_(qgetenv("PATH")) {
        QDir().mkpath(dir_.file(QStringLiteral("bin")));
        QDir().mkpath(dir_.file(QStringLiteral("calls")));
        QDir().mkpath(dir_.file(QStringLiteral("peers")));
        for (const char* peer : {"sh", "unzip", "sox", "soxi", "ffmpeg", "ffprobe"}) {
            const QString real = QStandardPaths::findExecutable(QLatin1String(peer));
            if (!real.isEmpty())
                QFile::link(real, dir_.file(QStringLiteral("peers/") + QLatin1String(peer)));
        }
        const QByteArray d = QFile::encodeName(dir_.path());
        script("xdg-mime", "n=$(ls \"" + d +
                               "/calls\" | wc -l)\n"
                               "printf '%s\\0' \"$@\" > \"" +
                               d +
                               "/calls/$n.xdg-mime\"\n"
                               "[ -f \"" +
                               d +
                               "/slow\" ] && sleep 0.5\n"
                               "cat \"" +
                               d +
                               "/default\" 2>/dev/null\n"
                               "exit 0\n");
        script("xdg-open", "n=$(ls \"" + d +
                               "/calls\" | wc -l)\n"
                               "printf '%s\\0' \"$@\" > \"" +
                               d +
                               "/calls/$n.xdg-open\"\n"
                               "exit 0\n");
        script("xdg-email", "n=$(ls \"" + d +
                                "/calls\" | wc -l)\n"
                                "printf '%s\\0' \"$@\" > \"" +
                                d +
                                "/calls/$n.xdg-email\"\n"
                                "prev=\n"
                                "for a in \"$@\"; do\n"
                                "  if [ \"$prev\" = --attach ] && [ -f \"$a\" ]; then echo \"$a\" >> \"" +
                                d +
                                "/present.$n\"; fi\n"
                                "  prev=\"$a\"\n"
                                "done\n"
                                "touch \"" +
                                d +
                                "/running\"\n"
                                "while [ -f \"" +
                                d +
                                "/hold\" ]; do sleep 0.02; done\n"
                                "rm -f \"" +
                                d +
                                "/running\"\n"
                                "exit $(cat \"" +
                                d + "/exit-code\" 2>/dev/null || echo 0)\n");
        qputenv("PATH", QFile::encodeName(dir_.file(QStringLiteral("bin"))) + ":" +
                            QFile::encodeName(dir_.file(QStringLiteral("peers"))));
    }
    ~FakeDesktop() {
        QFile::remove(dir_.file(QStringLiteral("hold")));
        qputenv("PATH", oldPath_);
    }
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    // The program xdg-mime names for .xlsx; empty for none.
    void setSpreadsheetProgram(const QByteArray& desktopFile) { setFile("default", desktopFile); }
    void setSlowQuery(bool slow) { slow ? setFile("slow", "") : removeFile("slow"); }
    void setMailExitCode(int code) { setFile("exit-code", QByteArray::number(code)); }
    // While held, xdg-email keeps running.
    void holdMail(bool hold) { hold ? setFile("hold", "") : removeFile("hold"); }
    bool mailRunning() const { return QFile::exists(dir_.file(QStringLiteral("running"))); }
    // Removes one of the programs, as on a desktop without it.
    void remove(const char* program) {
        QFile::remove(dir_.file(QStringLiteral("bin/") + QLatin1String(program)));
    }

    // The arguments of every call of a program, in call order.
    std::vector<QStringList> calls(const char* program) const {
        std::vector<QStringList> found;
        const QDir calls(dir_.file(QStringLiteral("calls")));
        QStringList names = calls.entryList({QStringLiteral("*.") + QLatin1String(program)}, QDir::Files);
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return a.section('.', 0, 0).toInt() < b.section('.', 0, 0).toInt();
        });
        for (const QString& name : names) {
            QByteArray bytes = TempDir::read(calls.filePath(name));
            QStringList args;
            for (const QByteArray& arg : bytes.split('\0'))
                args << QString::fromUtf8(arg);
            if (!args.isEmpty())
                args.removeLast(); // after the last terminator
            found.push_back(args);
        }
        return found;
    }
    // Attachments that existed while the n-th call of any program (counting from 0) ran.
    QStringList presentAttachments(int call) const {
        return QString::fromUtf8(TempDir::read(dir_.file(QStringLiteral("present.%1").arg(call))))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    int callCount() const {
        return int(QDir(dir_.file(QStringLiteral("calls"))).entryList(QDir::Files).size());
    }

private:
    void script(const char* name, const QByteArray& body) {
        const QString path = dir_.write(QStringLiteral("bin/") + QLatin1String(name),
                                        "#!/bin/sh\nPATH=/usr/bin:/bin\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void setFile(const char* name, const QByteArray& bytes) { dir_.write(QLatin1String(name), bytes); }
    void removeFile(const char* name) { QFile::remove(dir_.file(QLatin1String(name))); }

    TempDir dir_;
    QByteArray oldPath_;
};

} // namespace tessa::test
