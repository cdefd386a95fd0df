#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace quillon {

// Decodes a byte stream read in pieces: a character split between two reads comes out whole
// with the second read; invalid bytes become U+FFFD instead of costing the whole read.
class Utf8StreamDecoder
{
public:
    QString decode(QByteArrayView bytes) { return m_decoder.decode(bytes); }
    // Ends the stream: a character left incomplete becomes U+FFFD.
    QString finish();

private:
    struct Decoder : QStringDecoder
    {
        Decoder()
            : QStringDecoder(QStringDecoder::Utf8)
        {
        }
        bool hasIncompleteCharacter() const { return state.remainingChars > 0; }
        void reset() { resetState(); }
    };
    Decoder m_decoder;
};

} // namespace quillon
