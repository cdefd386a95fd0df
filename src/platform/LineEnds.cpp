#include "platform/LineEnds.h"

#include <algorithm>

namespace quillon {

QString LineEnds::fold(const QString& raw, bool bom, LineEnds* ends)
{
    LineEnds result;
    result.m_bom = bom;
    qsizetype crlf = 0;
    qsizetype lf = 0;
    for (qsizetype i = raw.indexOf(u'\n'); i >= 0; i = raw.indexOf(u'\n', i + 1)) {
        if (i > 0 && raw.at(i - 1) == u'\r')
            ++crlf;
        else
            ++lf;
    }
    result.m_usual = crlf > lf ? Kind::CrLf : Kind::Lf;
    if (crlf == 0) {
        if (ends)
            *ends = std::move(result);
        return raw;
    }
    QString text;
    text.reserve(raw.size() - crlf);
    qsizetype from = 0;
    for (qsizetype i = raw.indexOf(u'\n'); i >= 0; i = raw.indexOf(u'\n', i + 1)) {
        const bool isCrLf = i > 0 && raw.at(i - 1) == u'\r';
        text.append(QStringView(raw).mid(from, i - from - (isCrLf ? 1 : 0)));
        if (isCrLf != (result.m_usual == Kind::CrLf))
            result.m_exceptions.append(text.size());
        text.append(u'\n');
        from = i + 1;
    }
    text.append(QStringView(raw).mid(from));
    if (ends)
        *ends = std::move(result);
    return text;
}

void LineEnds::applyEdit(
    const QString& after, qsizetype position, qsizetype removedLength, qsizetype insertedLength)
{
    const qsizetype removedEnd = position + removedLength;
    const qsizetype delta = insertedLength - removedLength;
    auto first = std::lower_bound(m_exceptions.begin(), m_exceptions.end(), position);
    auto last = std::lower_bound(first, m_exceptions.end(), removedEnd);
    for (auto it = last; it != m_exceptions.end(); ++it)
        *it += delta;
    const qsizetype firstIndex = first - m_exceptions.begin();
    m_exceptions.erase(first, last);

    const qsizetype insertedEnd = position + insertedLength;
    QList<qsizetype> added;
    for (qsizetype i = after.indexOf(u'\n', position); i >= 0 && i < insertedEnd;
         i = after.indexOf(u'\n', i + 1))
        added.append(i);
    if (added.isEmpty())
        return;
    // The line that was split ends with the first break after the change, if any.
    const qsizetype next = after.indexOf(u'\n', insertedEnd);
    const bool splitIsException = next >= 0
        && std::binary_search(m_exceptions.cbegin(), m_exceptions.cend(), next);
    if (!splitIsException)
        return;
    m_exceptions.insert(firstIndex, added.size(), 0);
    std::copy(added.cbegin(), added.cend(), m_exceptions.begin() + firstIndex);
}

QByteArray LineEnds::encode(const QString& text) const
{
    QByteArray utf8 = text.toUtf8();
    QByteArray out;
    const QByteArray mark = m_bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    if (m_usual == Kind::Lf && m_exceptions.isEmpty())
        return m_bom ? mark + utf8 : utf8;

    // The k-th "\n" byte of the UTF-8 is the k-th "\n" of the text: mark the exceptional ones by
    // their ordinal.
    QList<qsizetype> exceptional;
    exceptional.reserve(m_exceptions.size());
    qsizetype ordinal = 0;
    qsizetype scanned = 0;
    for (const qsizetype offset : m_exceptions) {
        ordinal += QStringView(text).mid(scanned, offset - scanned).count(u'\n');
        exceptional.append(ordinal);
        ++ordinal;
        scanned = offset + 1;
    }
    out.reserve(mark.size() + utf8.size() + utf8.count('\n'));
    out.append(mark);
    const bool usualCrLf = m_usual == Kind::CrLf;
    qsizetype breakIndex = 0;
    qsizetype nextExceptional = 0;
    qsizetype from = 0;
    for (qsizetype i = utf8.indexOf('\n'); i >= 0; i = utf8.indexOf('\n', i + 1), ++breakIndex) {
        bool crlf = usualCrLf;
        if (nextExceptional < exceptional.size() && exceptional.at(nextExceptional) == breakIndex) {
            crlf = !crlf;
            ++nextExceptional;
        }
        out.append(utf8.constData() + from, i - from);
        out.append(crlf ? "\r\n" : "\n");
        from = i + 1;
    }
    out.append(utf8.constData() + from, utf8.size() - from);
    return out;
}

} // namespace quillon
