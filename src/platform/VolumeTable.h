#pragma once

// Drives as the recorder's card sees them: letters C to Z, each with a type, a root folder on this machine,
// a total size and free space. Letter C is the root file system; other mounted file systems get D to Z in
// the order they appear and keep their letter while they stay mounted. The environment variable
// TESSA_DRIVES ("E=/tmp/card1;F=/tmp/card2") replaces the removable media with folders acting as
// removable drives.

#include <cstdint>
#include <memory>
#include <optional>
#include <QString>
#include <vector>

namespace tessa::platform {

enum DriveType : int {
    DriveUnknown = 0,
    DriveNoRootDir = 1,
    DriveRemovable = 2,
    DriveFixed = 3,
    DriveRemote = 4,
};

struct Volume {
    char letter = 0; // 'C' to 'Z'
    int type = DriveUnknown;
    QString root; // native folder, no trailing slash except for "/"
};

struct DiskSpace {
    uint64_t totalBytes = 0; // 0 when the query failed
    uint64_t freeBytes = 0;
};

class VolumeTable {
public:
    VolumeTable();
    virtual ~VolumeTable() = default;
    // Re-reads the mounted file systems and returns the table, ordered by letter.
    virtual std::vector<Volume> refresh() = 0;
    // Total size and free space of a volume's root; zeros when it cannot be queried.
    virtual DiskSpace space(const Volume& volume) const;

    // The last table read (refreshing first if none was read yet). Safe from any thread.
    std::vector<Volume> snapshot();
    std::optional<Volume> volume(char letter);
    // Bit n set for drive letter 'A' + n.
    uint32_t driveMask();

protected:
    void publish(std::vector<Volume> table);

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// Volumes read from /proc/self/mountinfo and /sys/dev/block, or from TESSA_DRIVES when it is set.
class SystemVolumeTable : public VolumeTable {
public:
    SystemVolumeTable();
    // Reads another mountinfo file and sysfs block folder (the equivalents of /proc/self/mountinfo and
    // /sys/dev/block), so that tests can describe the machine.
    SystemVolumeTable(const QString& mountInfoFile, const QString& sysDevBlockFolder);
    ~SystemVolumeTable() override;
    std::vector<Volume> refresh() override;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A table given by the caller, for tests.
class FixedVolumeTable : public VolumeTable {
public:
    explicit FixedVolumeTable(std::vector<Volume> volumes) : volumes_(std::move(volumes)) {}
    std::vector<Volume> refresh() override;
    void setVolumes(std::vector<Volume> volumes) { volumes_ = std::move(volumes); }

private:
    std::vector<Volume> volumes_;
};

// The process-wide table; a SystemVolumeTable unless a test installed another.
VolumeTable& volumeTable();
// Installs a table for the whole process (tests); nullptr restores the system table.
void setVolumeTable(std::shared_ptr<VolumeTable> table);
// The table setVolumeTable() installed, or nullptr while the system table is in use.
std::shared_ptr<VolumeTable> installedVolumeTable();

} // namespace tessa::platform
