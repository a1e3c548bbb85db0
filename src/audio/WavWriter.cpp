#include "audio/WavWriter.h"

namespace tessa {

QByteArray wavHeader(Coding coding, uint32_t dataSize, uint32_t sampleCount) {
    const Codec& codec = codecOf(coding);
    return codec.wavHeader ? codec.wavHeader(codec, dataSize, sampleCount) : QByteArray();
}

QByteArray wavFile(Coding coding, const QByteArray& audio, uint32_t sampleCount) {
    QByteArray header = wavHeader(coding, uint32_t(audio.size()), sampleCount);
    if (header.isEmpty())
        return {};
    return header + audio;
}

WavFileWriter::WavFileWriter(Coding coding) : codec_(codecOf(coding)) {}

bool WavFileWriter::open(const QString& path) {
    dataBytes_ = 0;
    if (!codec_.wavHeader)
        return false;
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray header = codec_.wavHeader(codec_, 0, 0);
    return file_.write(header) == header.size();
}

bool WavFileWriter::append(const void* data, size_t bytes) {
    if (!file_.isOpen())
        return false;
    const qint64 wrote = file_.write(static_cast<const char*>(data), qint64(bytes));
    if (wrote != qint64(bytes))
        return false;
    dataBytes_ += bytes;
    return true;
}

bool WavFileWriter::finish(uint32_t sampleCount, std::optional<uint32_t> declaredDataSize) {
    if (!file_.isOpen())
        return false;
    const QByteArray probe = codec_.wavHeader(codec_, 0, 0);
    if (!declaredDataSize && dataBytes_ > UINT32_MAX - uint64_t(probe.size()))
        return false;
    const QByteArray header =
        codec_.wavHeader(codec_, declaredDataSize.value_or(uint32_t(dataBytes_)), sampleCount);
    const bool written = file_.seek(0) && file_.write(header) == header.size() && file_.flush();
    file_.close();
    return written;
}

} // namespace tessa
