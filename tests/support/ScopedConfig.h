#pragma once

// The program's Config folder (settings file, string table, shipped files) pointed elsewhere for one test
// and put back as it was when the guard goes.

#include "config/ProgramFolder.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace tessa::test {

class ScopedConfig {
public:
    explicit ScopedConfig(const QString& configFolder) : saved_(configLocations()) {
        setConfigLocations(portableConfigLocations(configFolder));
    }
    ~ScopedConfig() { setConfigLocations(saved_); }
    ScopedConfig(const ScopedConfig&) = delete;
    ScopedConfig& operator=(const ScopedConfig&) = delete;

private:
    ConfigLocations saved_;
};

// The Config folder the build ships, beside the executables; tests that only read texts may use it.
inline QString shippedConfigFolder() {
    return QStringLiteral(TESSA_BIN_DIR "/Config");
}

// A Config folder of the test's own, in force while the object lives: empty (no settings, no texts), with
// the shipped string table, or with a copy of everything shipped. Settings a test writes stay in it.
class ScratchConfig {
public:
    enum Contents { Empty, ShippedStringTable, ShippedFiles };

    explicit ScratchConfig(Contents contents = Empty) : scope_(dir_.path()) {
        if (contents == ShippedStringTable)
            QFile::copy(shippedConfigFolder() + QStringLiteral("/TessaLang.ini"), dir_.file("TessaLang.ini"));
        if (contents == ShippedFiles)
            for (const QString& name : QDir(shippedConfigFolder()).entryList(QDir::Files))
                QFile::copy(shippedConfigFolder() + QLatin1Char('/') + name, dir_.file(name));
    }

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.file(name); }
    QString write(const QString& name, const QByteArray& bytes) const { return dir_.write(name, bytes); }

private:
    TempDir dir_;
    ScopedConfig scope_;
};

} // namespace tessa::test
