// A whole container file through the WAV conversion: whatever it holds, the result is one of the
// reasons, and a written output is a WAV file whose header states what follows it.
#include "export/RecordingConversion.h"
#include "format/LittleEndian.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace tessa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("in.xtr"));
    const QString output = dir.filePath(QStringLiteral("in.wav"));
    {
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        // Short inputs stand for the audio behind a text area: the header fields come from their front.
        QByteArray bytes(reinterpret_cast<const char*>(data), qint64(size));
        if (bytes.size() >= 12 && bytes.size() < 1440)
            bytes = bytes.left(12) + QByteArray(1440 - 12, '\0') + bytes.mid(12);
        file.write(bytes);
    }
    QFile::remove(output);
    const ConversionResult result = convertRecording(source, platform::Area::User, output);
    const bool exists = QFileInfo::exists(output);
    if ((result == ConversionResult::Written) != exists)
        __builtin_trap();
    if (!exists)
        return 0;
    QFile wav(output);
    if (!wav.open(QIODevice::ReadOnly))
        __builtin_trap();
    const QByteArray bytes = wav.readAll();
    if (bytes.size() < 58 || !bytes.startsWith("RIFF") || bytes.mid(8, 8) != "WAVEfmt ")
        __builtin_trap();
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.constData());
    const uint32_t riff = readLeU32(b + 4);
    const uint16_t tag = readLeU16(b + 20);
    const qsizetype header = tag == 7 ? 58 : 60;
    const uint32_t declared = readLeU32(b + header - 4);
    // Every form declares no more than it holds; GSM and mu-law declare exactly what they hold.
    if (riff != declared + uint32_t(header - 8) || qsizetype(declared) > bytes.size() - header)
        __builtin_trap();
    if (tag != 17 && qsizetype(declared) != bytes.size() - header)
        __builtin_trap();
    if (tag == 49 && (declared % 65 != 0 || readLeU32(b + 48) != declared / 65 * 320))
        __builtin_trap();
    return 0;
}
