// The hash that tells whether a file still holds what was written: the same bytes give the same
// hash however they are fed, and a change to them gives another.
#include "platform/ContentHash.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRandomGenerator>

#include <set>

using namespace quillon;

TEST(ContentHash, TheSameBytesInAnyPiecesHashAlikeAndEveryChangeOtherwise)
{
    const QByteArray text = QByteArray("A line of a document.\n").repeated(40);
    auto hashOf = [](const QByteArray& bytes, QRandomGenerator* pieces = nullptr) {
        ContentHash hash;
        for (qsizetype at = 0, n = 0; at < bytes.size(); at += n) {
            n = qMin<qsizetype>(bytes.size() - at, pieces ? pieces->bounded(70) : bytes.size());
            hash.add(bytes.constData() + at, n);
        }
        return hash.result();
    };
    QRandomGenerator random(3);
    for (int round = 0; round < 20; ++round)
        EXPECT_EQ(hashOf(text, &random), hashOf(text));

    // Each text once (dropping either of two equal bytes makes the same text): one bit flipped,
    // a byte dropped or added anywhere, words swapped between lanes, zeros added.
    std::set<QByteArray> texts { text, QByteArray(), QByteArray(1, '\0'),
        text + QByteArray(8, '\0') };
    for (qsizetype at = 0; at < text.size(); ++at) {
        QByteArray flipped = text;
        flipped[at] = char(flipped[at] ^ 1);
        texts.insert(flipped);
        texts.insert(QByteArray(text).remove(at, 1));
        texts.insert(QByteArray(text).insert(at, ' '));
    }
    QByteArray swapped = text;
    std::swap_ranges(swapped.begin() + 64, swapped.begin() + 72, swapped.begin() + 72);
    texts.insert(swapped);
    std::set<quint64> hashes;
    for (const QByteArray& each : texts)
        hashes.insert(hashOf(each));
    EXPECT_EQ(hashes.size(), texts.size());
}
