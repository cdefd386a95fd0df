// The hash that tells whether a file still holds what was written: the same bytes give the same
// hash however they are fed, and any change to them gives another.
#include "platform/ContentHash.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <set>

using namespace quillon;

namespace {

quint64 hashInPieces(const QByteArray& bytes, const QList<qsizetype>& pieces)
{
    ContentHash hash;
    qsizetype at = 0;
    for (qsizetype piece : pieces) {
        piece = qMin(piece, bytes.size() - at);
        hash.add(bytes.constData() + at, piece);
        at += piece;
    }
    hash.add(bytes.constData() + at, bytes.size() - at);
    return hash.result();
}

} // namespace

TEST(ContentHash, PiecesOfAnySizeHashAsTheWhole)
{
    QRandomGenerator random(3);
    QByteArray bytes(1000, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.bounded(256));
    const quint64 whole = hashInPieces(bytes, {});
    for (int round = 0; round < 50; ++round) {
        QList<qsizetype> pieces;
        for (int i = 0; i < 20; ++i)
            pieces.append(random.bounded(70));
        EXPECT_EQ(hashInPieces(bytes, pieces), whole);
    }
}

TEST(ContentHash, EveryChangeOfTheBytesChangesTheHash)
{
    const QByteArray text = QByteArray("A line of a document.\n").repeated(40);
    // Each text once: dropping either of two equal bytes makes the same text.
    std::set<QByteArray> texts { text, QByteArray(), QByteArray(1, '\0'),
        text + QByteArray(8, '\0') };
    for (qsizetype at = 0; at < text.size(); ++at) {
        // One bit, one byte dropped, one added.
        QByteArray flipped = text;
        flipped[at] = char(flipped[at] ^ 1);
        texts.insert(flipped);
        texts.insert(QByteArray(text).remove(at, 1));
        texts.insert(QByteArray(text).insert(at, ' '));
    }
    // Words swapped between lanes.
    QByteArray swapped = text;
    std::swap_ranges(swapped.begin(), swapped.begin() + 8, swapped.begin() + 8);
    std::swap_ranges(swapped.begin() + 64, swapped.begin() + 72, swapped.begin() + 72);
    texts.insert(swapped);
    std::set<quint64> hashes;
    for (const QByteArray& each : texts)
        hashes.insert(hashInPieces(each, {}));
    EXPECT_EQ(hashes.size(), texts.size());
}
