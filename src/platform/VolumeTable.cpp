#include "platform/VolumeTable.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringList>
#include <sys/statvfs.h>

namespace tessa::platform {

// ---------------------------------------------------------------------------------------------------------
// VolumeTable

struct VolumeTable::Shared {
    std::mutex mutex;
    std::vector<Volume> table;
    bool read = false;
};

VolumeTable::VolumeTable() : shared_(std::make_shared<Shared>()) {}

DiskSpace VolumeTable::space(const Volume& volume) const {
    if (volume.root.isEmpty())
        return {};
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(volume.root).constData(), &st) != 0)
        return {};
    // Free space is what an ordinary user can still write, not the blocks reserved for root.
    return {uint64_t(st.f_blocks) * st.f_frsize, uint64_t(st.f_bavail) * st.f_frsize};
}

std::vector<Volume> VolumeTable::snapshot() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->read)
            return shared_->table;
    }
    return refresh();
}

std::optional<Volume> VolumeTable::volume(char letter) {
    if (letter >= 'a' && letter <= 'z')
        letter = char(letter - 'a' + 'A');
    for (const Volume& v : snapshot())
        if (v.letter == letter)
            return v;
    return std::nullopt;
}

uint32_t VolumeTable::driveMask() {
    uint32_t mask = 0;
    for (const Volume& v : snapshot())
        if (v.letter >= 'A' && v.letter <= 'Z')
            mask |= 1u << (v.letter - 'A');
    return mask;
}

void VolumeTable::publish(std::vector<Volume> table) {
    std::sort(table.begin(), table.end(),
              [](const Volume& a, const Volume& b) { return a.letter < b.letter; });
    std::lock_guard lock(shared_->mutex);
    shared_->table = std::move(table);
    shared_->read = true;
}

// ---------------------------------------------------------------------------------------------------------
// FixedVolumeTable

std::vector<Volume> FixedVolumeTable::refresh() {
    publish(volumes_);
    return snapshot();
}

// ---------------------------------------------------------------------------------------------------------
// SystemVolumeTable

namespace {

struct MountedFileSystem {
    QString key; // identifies one mount for as long as it stays mounted
    QString mountPoint;
    int type = DriveFixed;
};

// mountinfo escapes space, tab, newline and backslash as three octal digits.
QString unescapeMountField(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += c;
        }
    }
    return QFile::decodeName(out);
}

bool isNetworkFileSystem(const QByteArray& fsType) {
    static const QSet<QByteArray> kinds = {
        "nfs",   "nfs4",        "cifs",        "smb3",       "smbfs",     "ncpfs",          "9p",
        "afs",   "ceph",        "sshfs",       "fuse.sshfs", "glusterfs", "fuse.glusterfs", "lustre",
        "davfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs"};
    return kinds.contains(fsType);
}

// File systems that can hold user data without a /dev source (pools, subvolume managers).
bool isPooledFileSystem(const QByteArray& fsType) {
    return fsType == "zfs" || fsType == "bcachefs";
}

// Read-only images mounted from loop devices (snaps, live media layers) are not drives.
bool isImageFileSystem(const QByteArray& fsType) {
    return fsType == "squashfs" || fsType == "erofs";
}

QByteArray readSysfsAttribute(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(64).trimmed();
}

// Removable for media on a USB or SD/MMC bus, or flagged removable by the kernel; fixed otherwise.
int blockDeviceType(const QString& sysDevBlock, const QByteArray& majorMinor) {
    if (majorMinor.startsWith("0:"))
        return DriveFixed; // no backing block device
    const QString device =
        QFileInfo(sysDevBlock + QLatin1Char('/') + QString::fromLatin1(majorMinor)).canonicalFilePath();
    if (device.isEmpty())
        return DriveFixed;
    QString disk = device;
    if (QFileInfo::exists(device + QStringLiteral("/partition")))
        disk = QFileInfo(device).path();
    if (readSysfsAttribute(disk + QStringLiteral("/removable")) == "1")
        return DriveRemovable;

    // Only the part below the sysfs root says which bus the disk hangs on.
    QString busPath = disk;
    const QString sysRoot = QFileInfo(sysDevBlock + QStringLiteral("/../..")).canonicalFilePath();
    if (!sysRoot.isEmpty() && sysRoot != QLatin1String("/") && busPath.startsWith(sysRoot + QLatin1Char('/')))
        busPath = busPath.mid(sysRoot.size());
    if (busPath.contains(QLatin1String("/usb")) || busPath.contains(QLatin1String("/mmc")))
        return DriveRemovable;
    return DriveFixed;
}

// The mounts that hold user data, in mountinfo order, without the root file system (always C).
std::vector<MountedFileSystem> readMountedFileSystems(const QByteArray& mountInfo,
                                                      const QString& sysDevBlock) {
    std::vector<MountedFileSystem> mounts;
    for (const QByteArray& line : mountInfo.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const qsizetype dash = fields.indexOf("-", 6);
        if (fields.size() < 7 || dash < 0 || dash + 2 >= fields.size())
            continue;
        const QByteArray& majorMinor = fields[2];
        const QString mountPoint = unescapeMountField(fields[4]);
        const QByteArray& fsType = fields[dash + 1];
        const QString source = unescapeMountField(fields[dash + 2]);

        // A later mount on the same folder hides the earlier one.
        std::erase_if(mounts, [&](const MountedFileSystem& m) { return m.mountPoint == mountPoint; });
        if (mountPoint == QLatin1String("/"))
            continue;

        int type;
        if (isNetworkFileSystem(fsType))
            type = DriveRemote;
        else if ((source.startsWith(QLatin1String("/dev/")) && !isImageFileSystem(fsType)) ||
                 isPooledFileSystem(fsType))
            type = blockDeviceType(sysDevBlock, majorMinor);
        else
            continue; // proc, sysfs, tmpfs, cgroup, overlay, fuse helpers...

        // Files bound into containers (/etc/hosts and the like) are not folders to browse.
        const QFileInfo info(mountPoint);
        if (info.exists() && !info.isDir())
            continue;

        const QString key = QString::fromLatin1(fields[0] + ' ' + majorMinor + ' ') + mountPoint;
        mounts.push_back({key, mountPoint, type});
    }
    return mounts;
}

QString absoluteDriveRoot(const QString& folder) {
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

// TESSA_DRIVES: "E=/tmp/card1;F=/tmp/card2". Letters A, B and C and malformed entries are ignored; the
// first entry for a letter wins.
std::vector<Volume> substitutedDrives(const QString& value) {
    std::vector<Volume> drives;
    for (const QString& rawEntry : value.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString entry = rawEntry.trimmed();
        if (entry.size() < 3 || entry[1] != QLatin1Char('='))
            continue;
        const char16_t c = entry[0].toUpper().unicode();
        if (c < u'D' || c > u'Z')
            continue;
        const QString folder = entry.mid(2).trimmed();
        const char letter = char(c);
        if (folder.isEmpty() ||
            std::any_of(drives.begin(), drives.end(), [&](const Volume& v) { return v.letter == letter; }))
            continue;
        drives.push_back({letter, DriveRemovable, absoluteDriveRoot(folder)});
    }
    return drives;
}

} // namespace

struct SystemVolumeTable::State {
    QString mountInfoFile;
    QString sysDevBlock;
    std::mutex mutex;                  // refresh() may run on several threads
    std::map<QString, char> lettersOf; // mount key -> letter given at the last refresh
};

SystemVolumeTable::SystemVolumeTable()
    : SystemVolumeTable(QStringLiteral("/proc/self/mountinfo"), QStringLiteral("/sys/dev/block")) {}

SystemVolumeTable::SystemVolumeTable(const QString& mountInfoFile, const QString& sysDevBlockFolder)
    : state_(std::make_unique<State>()) {
    state_->mountInfoFile = mountInfoFile;
    state_->sysDevBlock = sysDevBlockFolder;
}

SystemVolumeTable::~SystemVolumeTable() = default;

std::vector<Volume> SystemVolumeTable::refresh() {
    std::lock_guard lock(state_->mutex);

    QByteArray mountInfo;
    {
        QFile f(state_->mountInfoFile);
        if (f.open(QIODevice::ReadOnly))
            mountInfo = f.readAll();
    }
    std::vector<MountedFileSystem> mounts = readMountedFileSystems(mountInfo, state_->sysDevBlock);

    const bool substituted = qEnvironmentVariableIsSet("TESSA_DRIVES");
    const std::vector<Volume> substitutes =
        substituted ? substitutedDrives(qEnvironmentVariable("TESSA_DRIVES")) : std::vector<Volume>{};
    if (substituted)
        std::erase_if(mounts, [](const MountedFileSystem& m) { return m.type == DriveRemovable; });

    uint32_t used = 1u << ('C' - 'A');
    for (const Volume& v : substitutes)
        used |= 1u << (v.letter - 'A');

    // Mounts that stay mounted keep their letter before new mounts are given the lowest free ones.
    std::map<QString, char> letters;
    for (const MountedFileSystem& m : mounts) {
        const auto old = state_->lettersOf.find(m.key);
        if (old != state_->lettersOf.end() && !(used & (1u << (old->second - 'A')))) {
            letters[m.key] = old->second;
            used |= 1u << (old->second - 'A');
        }
    }
    for (const MountedFileSystem& m : mounts) {
        if (letters.count(m.key))
            continue;
        for (char letter = 'D'; letter <= 'Z'; ++letter)
            if (!(used & (1u << (letter - 'A')))) {
                letters[m.key] = letter;
                used |= 1u << (letter - 'A');
                break;
            }
    }
    state_->lettersOf = letters;

    std::vector<Volume> table = substitutes;
    table.push_back({'C', DriveFixed, QStringLiteral("/")});
    for (const MountedFileSystem& m : mounts) {
        const auto it = letters.find(m.key);
        if (it != letters.end())
            table.push_back({it->second, m.type, m.mountPoint});
    }
    publish(table);
    return snapshot();
}

// ---------------------------------------------------------------------------------------------------------
// The process-wide table

namespace {

std::mutex installedTableMutex;
std::shared_ptr<VolumeTable> installedTable;
// Tables replaced by setVolumeTable() stay alive: a caller may still hold the reference volumeTable() gave.
std::vector<std::shared_ptr<VolumeTable>> retiredTables;

} // namespace

VolumeTable& volumeTable() {
    std::lock_guard lock(installedTableMutex);
    if (installedTable)
        return *installedTable;
    static SystemVolumeTable systemTable;
    return systemTable;
}

std::shared_ptr<VolumeTable> installedVolumeTable() {
    std::lock_guard lock(installedTableMutex);
    return installedTable;
}

void setVolumeTable(std::shared_ptr<VolumeTable> table) {
    std::lock_guard lock(installedTableMutex);
    if (installedTable)
        retiredTables.push_back(std::move(installedTable));
    installedTable = std::move(table);
}

} // namespace tessa::platform
