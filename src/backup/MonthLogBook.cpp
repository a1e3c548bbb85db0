#include "backup/MonthLogBook.h"

#include "platform/ConfinedFiles.h"
#include "platform/NativePath.h"

#include <cstring>

namespace tessa {

using platform::Area;
using platform::FileError;

std::optional<bool> MonthLogBook::names(const QString& monthLog, const QString& pcPath) {
    auto known = named_.find(monthLog);
    if (known == named_.end()) {
        QByteArray bytes;
        const FileError error = platform::readWholeFile(platform::nativePath(monthLog), Area::Backup, &bytes);
        if (error != FileError::None && error != FileError::NotFound)
            return std::nullopt;
        std::set<QString> paths;
        CallRecord record;
        for (qsizetype at = 0; at + qsizetype(CallRecord::kSize) <= bytes.size(); at += CallRecord::kSize) {
            std::memcpy(record.bytes(), bytes.constData() + at, CallRecord::kSize);
            record.fullPath.bound<259>();
            paths.insert(record.fullPath.text());
        }
        known = named_.emplace(monthLog, std::move(paths)).first;
    }
    return known->second.count(pcPath) != 0;
}

FileError MonthLogBook::append(const QString& monthLog, const CallRecord& record,
                               platform::Durability durability, uint32_t* index) {
    platform::AppendOptions options;
    options.create = true;
    options.alignTo = qint64(CallRecord::kSize);
    options.durability = durability;
    qint64 offset = 0;
    const FileError error = platform::appendToFile(
        platform::nativePath(monthLog), Area::Backup,
        QByteArrayView(reinterpret_cast<const char*>(record.bytes()), qsizetype(CallRecord::kSize)), options,
        &offset);
    if (error != FileError::None)
        return error;
    if (index)
        *index = uint32_t(offset / qint64(CallRecord::kSize));
    auto known = named_.find(monthLog);
    if (known != named_.end())
        known->second.insert(record.fullPath.text());
    return FileError::None;
}

} // namespace tessa
