#pragma once

// SHA-256 of a stream of bytes, computed by the system's libcrypto, which uses the processor's SHA
// instructions where it has them: the backup pass hashes every copy while copying it and a verification
// reads whole backups, so the hash must not be slower than the disk. (Qt's own SHA-256 runs at a tenth of
// libcrypto's speed.)

#include <QByteArray>
#include <QByteArrayView>

namespace tessa::platform {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(QByteArrayView bytes);
    // The 32-byte digest of everything added; the hash starts anew afterwards.
    QByteArray result();

    static QByteArray hash(QByteArrayView bytes);

private:
    void* context_; // EVP_MD_CTX
};

} // namespace tessa::platform
