#include "platform/AttributedText.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr size_t kTransformCacheSize = 4096;

} // namespace

// --- construction -------------------------------------------------------------------------

AttributedText::AttributedText()
{
    resetTables();
}

AttributedText::AttributedText(const QString& text, const TextAttributes& attributes)
    : m_text(text)
{
    resetTables();
    m_setIds.assign(size_t(text.size()), 0);
    if (!attributes.isEmpty())
        setAttributes({ 0, text.size() }, attributes);
}

AttributedText::AttributedText(const AttributedText& o)
    : m_text(o.m_text)
    , m_setIds(o.m_setIds)
    , m_sets(o.m_sets)
    , m_setIndex(o.m_setIndex)
    , m_pools(o.m_pools)
    , m_transforms(o.m_transforms)
    , m_transformCache(o.m_transformCache)
{
}

AttributedText& AttributedText::operator=(const AttributedText& o)
{
    if (this != &o) {
        AttributedText copy(o);
        *this = std::move(copy);
    }
    return *this;
}

AttributedText::AttributedText(AttributedText&&) noexcept = default;
AttributedText& AttributedText::operator=(AttributedText&&) noexcept = default;
AttributedText::~AttributedText() = default;

void AttributedText::resetTables()
{
    m_sets.clear();
    m_setIndex.clear();
    m_pools = Pools();
    m_transforms.clear();
    m_transformCache.clear(); // allocated by the first transformation
    m_materialised.clear();
    const AttributeSet empty {};
    m_sets.push_back(empty);
    m_setIndex.emplace(empty, 0);
}

// --- sets -----------------------------------------------------------------------------------

quint32 AttributedText::internSet(const AttributeSet& set)
{
    auto it = m_setIndex.find(set);
    if (it != m_setIndex.end())
        return it->second;
    const quint32 id = quint32(m_sets.size());
    m_sets.push_back(set);
    m_setIndex.emplace(set, id);
    return id;
}

quint32 AttributedText::transform(quint32 setId, TextAttribute attribute, quint32 valueId)
{
    const int k = int(attribute);
    if (m_sets[setId][k] == valueId)
        return setId;
    const quint64 key = (quint64(setId) << 32) | (quint64(k) << 27) | quint64(valueId);
    if (m_transformCache.empty())
        m_transformCache.assign(kTransformCacheSize, CachedTransform());
    CachedTransform& slot = m_transformCache[(key * 0x9e3779b97f4a7c15ULL) >> 52];
    if (slot.key == key)
        return slot.result;
    quint32 result;
    auto it = m_transforms.find(key);
    if (it != m_transforms.end()) {
        result = it->second;
    } else {
        AttributeSet set = m_sets[setId];
        set[k] = valueId;
        result = internSet(set);
        m_transforms.emplace(key, result);
    }
    slot.key = key;
    slot.result = result;
    return result;
}

TextSpan AttributedText::clip(TextSpan range) const
{
    const qsizetype n = m_text.size();
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, n);
    // A negative length is an empty range where it starts, not a range at the end.
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, n);
    return { start, end - start };
}

void AttributedText::applyValue(TextAttribute attribute, TextSpan range, quint32 valueId)
{
    const TextSpan r = clip(range);
    if (r.isEmpty())
        return;
    quint32* ids = m_setIds.data();
    qsizetype i = r.location;
    const qsizetype end = r.end();
    while (i < end) {
        const quint32 old = ids[i];
        qsizetype j = i + 1;
        while (j < end && ids[j] == old)
            ++j;
        const quint32 now = transform(old, attribute, valueId);
        if (now != old)
            std::fill(ids + i, ids + j, now);
        i = j;
    }
}

AttributedText::AttributeSet AttributedText::setFromAttributes(
    const TextAttributes& a, const AttributeSet& base)
{
    AttributeSet set = base;
    auto put = [&](TextAttribute k, quint32 id) { set[int(k)] = id; };
    if (a.font)
        put(TextAttribute::Font, internValue<TextAttribute::Font>(*a.font));
    if (a.foregroundColor)
        put(TextAttribute::ForegroundColor,
            internValue<TextAttribute::ForegroundColor>(*a.foregroundColor));
    if (a.backgroundColor)
        put(TextAttribute::BackgroundColor,
            internValue<TextAttribute::BackgroundColor>(*a.backgroundColor));
    if (a.paragraphStyle)
        put(TextAttribute::ParagraphStyle,
            internValue<TextAttribute::ParagraphStyle>(*a.paragraphStyle));
    if (a.underlineStyle)
        put(TextAttribute::UnderlineStyle,
            internValue<TextAttribute::UnderlineStyle>(*a.underlineStyle));
    if (a.strikethroughStyle)
        put(TextAttribute::StrikethroughStyle,
            internValue<TextAttribute::StrikethroughStyle>(*a.strikethroughStyle));
    if (a.link)
        put(TextAttribute::Link, internValue<TextAttribute::Link>(*a.link));
    if (a.collapsed)
        put(TextAttribute::Collapsed, internValue<TextAttribute::Collapsed>(*a.collapsed));
    if (a.inlineCode)
        put(TextAttribute::InlineCode, internValue<TextAttribute::InlineCode>(*a.inlineCode));
    if (a.codeBlock)
        put(TextAttribute::CodeBlock, internValue<TextAttribute::CodeBlock>(*a.codeBlock));
    if (a.blockquoteBorder)
        put(TextAttribute::BlockquoteBorder,
            internValue<TextAttribute::BlockquoteBorder>(*a.blockquoteBorder));
    if (a.bullet)
        put(TextAttribute::Bullet, internValue<TextAttribute::Bullet>(*a.bullet));
    if (a.checkbox)
        put(TextAttribute::Checkbox, internValue<TextAttribute::Checkbox>(*a.checkbox));
    if (a.attachment)
        put(TextAttribute::Attachment, internValue<TextAttribute::Attachment>(a.attachment));
    return set;
}

const TextAttributes& AttributedText::materialise(quint32 setId) const
{
    if (m_materialised.size() < m_sets.size())
        m_materialised.resize(m_sets.size());
    auto& slot = m_materialised[setId];
    if (!slot) {
        const AttributeSet& s = m_sets[setId];
        auto a = std::make_unique<TextAttributes>();
        auto get = [&](TextAttribute k) { return s[int(k)]; };
        if (quint32 id = get(TextAttribute::Font))
            a->font = m_pools.font.values[id - 1];
        if (quint32 id = get(TextAttribute::ForegroundColor))
            a->foregroundColor = m_pools.foreground.values[id - 1];
        if (quint32 id = get(TextAttribute::BackgroundColor))
            a->backgroundColor = m_pools.background.values[id - 1];
        if (quint32 id = get(TextAttribute::ParagraphStyle))
            a->paragraphStyle = m_pools.paragraph.values[id - 1];
        if (quint32 id = get(TextAttribute::UnderlineStyle))
            a->underlineStyle = m_pools.underline.values[id - 1];
        if (quint32 id = get(TextAttribute::StrikethroughStyle))
            a->strikethroughStyle = m_pools.strike.values[id - 1];
        if (quint32 id = get(TextAttribute::Link))
            a->link = m_pools.link.values[id - 1];
        if (quint32 id = get(TextAttribute::Collapsed))
            a->collapsed = m_pools.collapsed.values[id - 1];
        if (quint32 id = get(TextAttribute::InlineCode))
            a->inlineCode = m_pools.inlineCode.values[id - 1];
        if (quint32 id = get(TextAttribute::CodeBlock))
            a->codeBlock = m_pools.codeBlock.values[id - 1];
        if (quint32 id = get(TextAttribute::BlockquoteBorder))
            a->blockquoteBorder = m_pools.blockquote.values[id - 1];
        if (quint32 id = get(TextAttribute::Bullet))
            a->bullet = m_pools.bullet.values[id - 1];
        if (quint32 id = get(TextAttribute::Checkbox))
            a->checkbox = m_pools.checkbox.values[id - 1];
        if (quint32 id = get(TextAttribute::Attachment))
            a->attachment = m_pools.attachment.values[id - 1];
        slot = std::move(a);
    }
    return *slot;
}

// --- writing --------------------------------------------------------------------------------

void AttributedText::setAttributes(TextSpan range, const TextAttributes& attributes)
{
    const TextSpan r = clip(range);
    if (r.isEmpty())
        return;
    // Covering the whole text makes every interned set and value unreachable: start afresh.
    if (r.location == 0 && r.length == m_text.size())
        resetTables();
    const quint32 id = internSet(setFromAttributes(attributes, AttributeSet {}));
    std::fill(m_setIds.begin() + r.location, m_setIds.begin() + r.end(), id);
}

void AttributedText::addAttributes(TextSpan range, const TextAttributes& attributes)
{
    const TextSpan r = clip(range);
    if (r.isEmpty() || attributes.isEmpty())
        return;
    const AttributeSet values = setFromAttributes(attributes, AttributeSet {});
    for (int k = 0; k < kTextAttributeCount; ++k) {
        if (values[k] != 0)
            applyValue(TextAttribute(k), r, values[k]);
    }
}

void AttributedText::removeAttribute(TextAttribute attribute, TextSpan range)
{
    applyValue(attribute, range, 0);
}

// --- reading --------------------------------------------------------------------------------

TextAttributes AttributedText::attributes(qsizetype index, TextSpan* effectiveRange) const
{
    if (index < 0 || index >= m_text.size()) {
        if (effectiveRange)
            *effectiveRange = { std::clamp<qsizetype>(index, 0, m_text.size()), 0 };
        return {};
    }
    const quint32 id = m_setIds[size_t(index)];
    if (effectiveRange) {
        qsizetype s = index;
        while (s > 0 && m_setIds[size_t(s - 1)] == id)
            --s;
        qsizetype e = index + 1;
        while (e < m_text.size() && m_setIds[size_t(e)] == id)
            ++e;
        *effectiveRange = { s, e - s };
    }
    return materialise(id);
}

quint32 AttributedText::valueIdAt(
    TextAttribute attribute, qsizetype index, TextSpan* effectiveRange) const
{
    const int k = int(attribute);
    if (index < 0 || index >= m_text.size()) {
        if (effectiveRange)
            *effectiveRange = { std::clamp<qsizetype>(index, 0, m_text.size()), 0 };
        return 0;
    }
    const quint32 value = m_sets[m_setIds[size_t(index)]][k];
    if (effectiveRange) {
        qsizetype s = index;
        while (s > 0 && m_sets[m_setIds[size_t(s - 1)]][k] == value)
            --s;
        qsizetype e = index + 1;
        while (e < m_text.size() && m_sets[m_setIds[size_t(e)]][k] == value)
            ++e;
        *effectiveRange = { s, e - s };
    }
    return value;
}

void AttributedText::enumerateRuns(
    TextSpan range, const std::function<void(TextSpan, const TextAttributes&)>& visit) const
{
    const TextSpan r = clip(range);
    qsizetype i = r.location;
    while (i < r.end()) {
        const quint32 id = m_setIds[size_t(i)];
        qsizetype j = i + 1;
        while (j < r.end() && m_setIds[size_t(j)] == id)
            ++j;
        visit({ i, j - i }, materialise(id));
        i = j;
    }
}

std::vector<TextRun> AttributedText::runs() const
{
    std::vector<TextRun> result;
    enumerateRuns({ 0, length() }, [&](TextSpan r, const TextAttributes& a) {
        result.push_back({ r, a });
    });
    return result;
}

void AttributedText::enumerateValueIds(TextAttribute attribute, TextSpan range,
    const std::function<void(TextSpan, quint32)>& visit) const
{
    const int k = int(attribute);
    const TextSpan r = clip(range);
    const quint32* ids = m_setIds.data();
    qsizetype i = r.location;
    while (i < r.end()) {
        quint32 setId = ids[i];
        const quint32 value = m_sets[setId][k];
        qsizetype j = i + 1;
        while (j < r.end()) {
            // Runs of one set share the value: only set changes need a look.
            while (j < r.end() && ids[j] == setId)
                ++j;
            if (j >= r.end() || m_sets[ids[j]][k] != value)
                break;
            setId = ids[j];
        }
        visit({ i, j - i }, value);
        i = j;
    }
}

bool AttributedText::operator==(const AttributedText& other) const
{
    if (m_text != other.m_text)
        return false;
    qsizetype i = 0;
    const qsizetype n = m_text.size();
    while (i < n) {
        const quint32 a = m_setIds[size_t(i)];
        const quint32 b = other.m_setIds[size_t(i)];
        if (!(materialise(a) == other.materialise(b)))
            return false;
        qsizetype j = i + 1;
        while (j < n && m_setIds[size_t(j)] == a && other.m_setIds[size_t(j)] == b)
            ++j;
        i = j;
    }
    return true;
}

// --- characters -----------------------------------------------------------------------------

void AttributedText::replaceCharacters(TextSpan range, const QString& replacement)
{
    const TextSpan r = clip(range);
    quint32 inherited = 0;
    if (r.length > 0)
        inherited = m_setIds[size_t(r.location)];
    else if (r.location > 0)
        inherited = m_setIds[size_t(r.location - 1)];
    else if (!m_setIds.empty())
        inherited = m_setIds[0];
    m_text.replace(r.location, r.length, replacement);
    const auto first = m_setIds.begin() + r.location;
    const qsizetype common = std::min<qsizetype>(r.length, replacement.size());
    std::fill(first, first + common, inherited);
    if (replacement.size() > r.length)
        m_setIds.insert(first + common, size_t(replacement.size() - r.length), inherited);
    else
        m_setIds.erase(first + common, first + r.length);
}

std::vector<quint32> AttributedText::importSets(const AttributedText& from)
{
    std::vector<quint32> map(from.m_sets.size(), quint32(-1));
    for (quint32 id : from.m_setIds) {
        if (map[id] == quint32(-1))
            map[id] = internSet(setFromAttributes(from.materialise(id), AttributeSet {}));
    }
    return map;
}

void AttributedText::replaceCharacters(TextSpan range, const AttributedText& replacement)
{
    const TextSpan r = clip(range);
    const std::vector<quint32> map = importSets(replacement);
    m_text.replace(r.location, r.length, replacement.m_text);
    std::vector<quint32> ids;
    ids.reserve(replacement.m_setIds.size());
    for (quint32 id : replacement.m_setIds)
        ids.push_back(map[id]);
    const auto first = m_setIds.begin() + r.location;
    m_setIds.erase(first, first + r.length);
    m_setIds.insert(m_setIds.begin() + r.location, ids.begin(), ids.end());
}

void AttributedText::replaceRanges(const std::vector<AttributedTextReplacement>& replacements)
{
    if (replacements.empty())
        return;
    QString text;
    std::vector<quint32> ids;
    qsizetype grow = 0;
    for (const AttributedTextReplacement& r : replacements)
        grow += r.text.length() - r.range.length;
    text.reserve(m_text.size() + qMax<qsizetype>(0, grow));
    ids.reserve(size_t(m_text.size() + qMax<qsizetype>(0, grow)));
    qsizetype p = 0;
    for (const AttributedTextReplacement& r : replacements) {
        const TextSpan range = clip(r.range);
        if (range.location < p)
            continue; // overlapping or out of order: skipped
        text.append(QStringView(m_text).mid(p, range.location - p));
        ids.insert(ids.end(), m_setIds.begin() + p, m_setIds.begin() + range.location);
        const std::vector<quint32> map = importSets(r.text);
        text.append(r.text.m_text);
        for (quint32 id : r.text.m_setIds)
            ids.push_back(map[id]);
        p = range.end();
    }
    text.append(QStringView(m_text).mid(p));
    ids.insert(ids.end(), m_setIds.begin() + p, m_setIds.end());
    m_text = std::move(text);
    m_setIds = std::move(ids);
}

void AttributedText::setText(const QString& text)
{
    m_text = text;
    m_setIds.assign(size_t(text.size()), 0);
    resetTables();
}

AttributedText AttributedText::subText(TextSpan range) const
{
    const TextSpan r = clip(range);
    AttributedText result(m_text.mid(r.location, r.length));
    enumerateRuns(r, [&](TextSpan run, const TextAttributes& a) {
        result.setAttributes({ run.location - r.location, run.length }, a);
    });
    return result;
}

void AttributedText::append(const AttributedText& other)
{
    replaceCharacters({ length(), 0 }, other);
}

} // namespace quillon
