#pragma once

#include <QStringView>

#include <memory>

namespace quillon {

// Finds the ends of extended grapheme clusters (user-perceived characters) in UTF-16 text, as
// Unicode defines them. Most text costs no segmenting: between two characters of the plainest
// kinds (two ASCII characters other than "\r\n", a letter and the next letter) there is always a
// boundary, so only the stretches around marks, joiners, flags and the like are segmented, each
// cut at such a certain boundary. One scanner per text and thread.
class GraphemeScanner
{
public:
    explicit GraphemeScanner(QStringView text);
    ~GraphemeScanner();
    GraphemeScanner(const GraphemeScanner&) = delete;
    GraphemeScanner& operator=(const GraphemeScanner&) = delete;

    // The end of the cluster that starts at `position` (a cluster start below the text size).
    qsizetype clusterEnd(qsizetype position);
    // Whether the one-unit cluster `character` starts at `position`.
    bool isSingle(qsizetype position, char16_t character);

private:
    qsizetype codePointLength(qsizetype position) const;
    bool isCertainBoundary(qsizetype position) const;

    const char16_t* m_text;
    qsizetype m_size;
    qsizetype m_segmentStart = 0;
    qsizetype m_segmentEnd = 0;
    struct Segmenter;
    std::unique_ptr<Segmenter> m_segmenter;
};

// The number of user-perceived characters: "😀 é" is 3, whether é is one code point or two.
qsizetype graphemeClusterCount(QStringView text);

} // namespace quillon
