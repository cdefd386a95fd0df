#include "agent/Utf8StreamDecoder.h"

namespace quillon {

QString Utf8StreamDecoder::finish()
{
    if (!m_decoder.hasIncompleteCharacter())
        return {};
    m_decoder.reset();
    return QString(QChar::ReplacementCharacter);
}

} // namespace quillon
