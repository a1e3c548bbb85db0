#include "platform/Sha256.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <QCryptographicHash>
#include <QRandomGenerator>

namespace tessa::platform {
namespace {

TEST(Sha256, KnownDigestsAndAnyChunkingGiveTheSameResult) {
    EXPECT_EQ(Sha256::hash({}).toHex(), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::hash("abc").toHex(),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    // A megabyte and a bit, fed in uneven pieces, against Qt's independent implementation.
    QByteArray bytes(1 << 20 | 77, Qt::Uninitialized);
    QRandomGenerator rng(5);
    for (char& c : bytes)
        c = char(rng.generate());
    const QByteArray expected = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    Sha256 sha;
    for (qsizetype at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 + 1)
        sha.addData(QByteArrayView(bytes.constData() + at, std::min(piece, bytes.size() - at)));
    EXPECT_EQ(sha.result(), expected);
    // After a result the hash starts anew.
    sha.addData("abc");
    EXPECT_EQ(sha.result(), Sha256::hash("abc"));
}

} // namespace
} // namespace tessa::platform
