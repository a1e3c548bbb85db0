#pragma once

// Where the program finds its Config folder and keeps its settings.
//
// Build tree and portable install: the Config folder beside the executable holds everything. Installed
// (a read-only <prefix>/share/tessa/Config next to <prefix>/bin): shipped files come from there and the
// writable TessaSet.ini lives in $XDG_CONFIG_HOME/tessa/, created from the shipped default on first use.

#include <QString>

namespace tessa {

// Folder of the running executable, without a trailing separator.
QString programFolder();

struct ConfigLocations {
    QString settingsFile;    // TessaSet.ini (writable)
    QString stringTableFile; // TessaLang.ini
    QString shippedFolder;   // folder of logo.bmp, beep1.wav, beep3.wav and the default TessaSet.ini
};

// The locations in force; computed once from the program folder unless set.
ConfigLocations configLocations();
// Overrides the locations for the whole process (tests, tools).
void setConfigLocations(const ConfigLocations& locations);
// Locations for a Config folder that holds everything (build tree, portable install, tests).
ConfigLocations portableConfigLocations(const QString& configFolder);

// A shipped file of the Config folder ("logo.bmp", "beep1.wav", ...).
QString shippedConfigFile(const QString& fileName);

// Private per-user folder for temporary files (mode 0700), created on demand.
QString privateTempFolder();

} // namespace tessa
