#pragma once

// File names on Linux are bytes, not text. A name that is not valid UTF-8 must still open, list and
// round-trip, so names are decoded the lossless way: valid UTF-8 becomes its characters and every byte
// of an invalid sequence becomes a lone surrogate U+DC80-U+DCFF, which encodes back to that byte. The
// confined file layer encodes every path it is given this way, and decodes every name it lists.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tessa::platform {

QString decodeNativeName(const QByteArray& bytes);
QByteArray encodeNativeName(const QString& name);

// The command line of the process decoded losslessly (argv[0] first), so that a path typed by the user
// reaches the file layer with the bytes the user gave.
QStringList losslessArguments(int argc, char** argv);

} // namespace tessa::platform
