#include "platform/Sha256.h"

#include <openssl/evp.h>

namespace tessa::platform {

namespace {
EVP_MD_CTX* contextOf(void* context) {
    return static_cast<EVP_MD_CTX*>(context);
}
} // namespace

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    EVP_DigestInit_ex(contextOf(context_), EVP_sha256(), nullptr);
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(contextOf(context_));
}

void Sha256::addData(QByteArrayView bytes) {
    EVP_DigestUpdate(contextOf(context_), bytes.data(), size_t(bytes.size()));
}

QByteArray Sha256::result() {
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int size = 0;
    EVP_DigestFinal_ex(contextOf(context_), reinterpret_cast<unsigned char*>(digest.data()), &size);
    digest.truncate(int(size));
    EVP_DigestInit_ex(contextOf(context_), EVP_sha256(), nullptr);
    return digest;
}

QByteArray Sha256::hash(QByteArrayView bytes) {
    Sha256 sha;
    sha.addData(bytes);
    return sha.result();
}

} // namespace tessa::platform
