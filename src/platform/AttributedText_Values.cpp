// Attribute values: names, equality, hashing and the interning pools.
#include "platform/AttributedText.h"

#include <QHashFunctions>

namespace quillon {

TextAttachment::~TextAttachment() = default;

namespace {

size_t mix(size_t seed, size_t value)
{
    return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

size_t hashReal(qreal v)
{
    return qHash(v);
}

} // namespace

QString textAttributeName(TextAttribute attribute)
{
    switch (attribute) {
    case TextAttribute::Font:
        return QStringLiteral("font");
    case TextAttribute::ForegroundColor:
        return QStringLiteral("foregroundColor");
    case TextAttribute::BackgroundColor:
        return QStringLiteral("backgroundColor");
    case TextAttribute::ParagraphStyle:
        return QStringLiteral("paragraphStyle");
    case TextAttribute::UnderlineStyle:
        return QStringLiteral("underlineStyle");
    case TextAttribute::StrikethroughStyle:
        return QStringLiteral("strikethroughStyle");
    case TextAttribute::Link:
        return QStringLiteral("link");
    case TextAttribute::Collapsed:
        return QStringLiteral("customCollapsed");
    case TextAttribute::InlineCode:
        return QStringLiteral("customInlineCode");
    case TextAttribute::CodeBlock:
        return QStringLiteral("customCodeBlock");
    case TextAttribute::BlockquoteBorder:
        return QStringLiteral("customBlockquoteBorder");
    case TextAttribute::Bullet:
        return QStringLiteral("customBullet");
    case TextAttribute::Checkbox:
        return QStringLiteral("customCheckbox");
    case TextAttribute::Attachment:
        return QStringLiteral("attachment");
    }
    return {};
}

bool TextAttributes::isEmpty() const
{
    return !font && !foregroundColor && !backgroundColor && !paragraphStyle && !underlineStyle
        && !strikethroughStyle && !link && !collapsed && !inlineCode && !codeBlock
        && !blockquoteBorder && !bullet && !checkbox && !attachment;
}

bool TextAttributes::operator==(const TextAttributes& o) const
{
    return font == o.font && foregroundColor == o.foregroundColor
        && backgroundColor == o.backgroundColor && paragraphStyle == o.paragraphStyle
        && underlineStyle == o.underlineStyle && strikethroughStyle == o.strikethroughStyle
        && link == o.link && collapsed == o.collapsed && inlineCode == o.inlineCode
        && codeBlock == o.codeBlock && blockquoteBorder == o.blockquoteBorder && bullet == o.bullet
        && checkbox == o.checkbox && attachment == o.attachment;
}

// --- hashing ------------------------------------------------------------------------------

size_t AttributedText::ValueHash::operator()(const QFont& v) const
{
    return qHash(v);
}
size_t AttributedText::ValueHash::operator()(const QColor& v) const
{
    return mix(size_t(v.spec()), size_t(qHash(v.rgba64().toArgb32())) ^ size_t(v.rgba64()));
}
size_t AttributedText::ValueHash::operator()(const ParagraphStyle& v) const
{
    size_t h = 0;
    for (qreal x : { v.lineSpacing, v.paragraphSpacing, v.paragraphSpacingBefore, v.headIndent,
             v.firstLineHeadIndent, v.tailIndent, v.minimumLineHeight, v.maximumLineHeight,
             v.lineHeightMultiple })
        h = mix(h, hashReal(x));
    return h;
}
size_t AttributedText::ValueHash::operator()(const QUrl& v) const
{
    return qHash(v);
}
size_t AttributedText::ValueHash::operator()(const CodeBlockDecoration& v) const
{
    return mix((*this)(v.fill), (*this)(v.border));
}
size_t AttributedText::ValueHash::operator()(const CheckboxDecoration& v) const
{
    return mix(size_t(v.checked), hashReal(v.centerX));
}
size_t AttributedText::ValueHash::operator()(const TextAttachmentPtr& v) const
{
    return std::hash<const void*>()(v.get());
}
size_t AttributedText::ValueHash::operator()(int v) const
{
    return std::hash<int>()(v);
}
size_t AttributedText::ValueHash::operator()(bool v) const
{
    return v ? 1 : 0;
}
size_t AttributedText::ValueHash::operator()(qreal v) const
{
    return hashReal(v);
}
size_t AttributedText::ValueHash::operator()(const AttributeSet& v) const
{
    size_t h = 0;
    for (quint32 id : v)
        h = mix(h, id);
    return h;
}

// --- pools --------------------------------------------------------------------------------

template <TextAttribute K>
AttributedText::ValuePool<TextAttributeValue<K>>& AttributedText::mutablePool()
{
    if constexpr (K == TextAttribute::Font)
        return m_pools.font;
    else if constexpr (K == TextAttribute::ForegroundColor)
        return m_pools.foreground;
    else if constexpr (K == TextAttribute::BackgroundColor)
        return m_pools.background;
    else if constexpr (K == TextAttribute::ParagraphStyle)
        return m_pools.paragraph;
    else if constexpr (K == TextAttribute::UnderlineStyle)
        return m_pools.underline;
    else if constexpr (K == TextAttribute::StrikethroughStyle)
        return m_pools.strike;
    else if constexpr (K == TextAttribute::Link)
        return m_pools.link;
    else if constexpr (K == TextAttribute::Collapsed)
        return m_pools.collapsed;
    else if constexpr (K == TextAttribute::InlineCode)
        return m_pools.inlineCode;
    else if constexpr (K == TextAttribute::CodeBlock)
        return m_pools.codeBlock;
    else if constexpr (K == TextAttribute::BlockquoteBorder)
        return m_pools.blockquote;
    else if constexpr (K == TextAttribute::Bullet)
        return m_pools.bullet;
    else if constexpr (K == TextAttribute::Checkbox)
        return m_pools.checkbox;
    else
        return m_pools.attachment;
}

template <TextAttribute K> quint32 AttributedText::internValue(const TextAttributeValue<K>& value)
{
    auto& p = mutablePool<K>();
    if (p.lastId != 0 && p.values[p.lastId - 1] == value)
        return p.lastId;
    for (; p.indexed < p.values.size(); ++p.indexed)
        p.index.try_emplace(p.values[p.indexed], quint32(p.indexed + 1));
    const auto [it, added] = p.index.try_emplace(value, quint32(p.values.size() + 1));
    if (added) {
        p.values.push_back(value);
        p.indexed = p.values.size();
    }
    p.lastId = it->second;
    return it->second;
}

template <TextAttribute K>
void AttributedText::setEachAt(const std::vector<qsizetype>& points,
    std::vector<TextAttributeValue<K>> values, const TextAttributes& shared)
{
    const size_t n = std::min(points.size(), values.size());
    // The shared values are interned once, here, not once a point.
    const AttributeSet sharedIds = setFromAttributes(shared, AttributeSet {});
    auto& p = mutablePool<K>();
    m_sets.reserve(m_sets.size() + n);
    m_setIndex.reserve(m_setIndex.size() + n);
    for (size_t i = 0; i < n; ++i) {
        const qsizetype at = points[i];
        if (at < 0 || at >= length())
            continue;
        // New to the text and distinct: appended without a look-up, indexed when one is due.
        p.values.push_back(std::move(values[i]));
        const quint32 valueId = quint32(p.values.size());
        m_runs.rewrite(at, at + 1, [&](quint32 setId) {
            AttributeSet set = m_sets[setId];
            for (size_t k = 0; k < set.size(); ++k) {
                if (sharedIds[k] != 0)
                    set[k] = sharedIds[k];
            }
            set[int(K)] = valueId;
            return set == m_sets[setId] ? setId : internSet(set);
        });
    }
}

template void AttributedText::setEachAt<TextAttribute::Attachment>(
    const std::vector<qsizetype>&, std::vector<TextAttachmentPtr>, const TextAttributes&);

#define QUILLON_INSTANTIATE(K)                                                                     \
    template AttributedText::ValuePool<TextAttributeValue<K>>& AttributedText::mutablePool<K>();   \
    template quint32 AttributedText::internValue<K>(const TextAttributeValue<K>&);
QUILLON_INSTANTIATE(TextAttribute::Font)
QUILLON_INSTANTIATE(TextAttribute::ForegroundColor)
QUILLON_INSTANTIATE(TextAttribute::BackgroundColor)
QUILLON_INSTANTIATE(TextAttribute::ParagraphStyle)
QUILLON_INSTANTIATE(TextAttribute::UnderlineStyle)
QUILLON_INSTANTIATE(TextAttribute::StrikethroughStyle)
QUILLON_INSTANTIATE(TextAttribute::Link)
QUILLON_INSTANTIATE(TextAttribute::Collapsed)
QUILLON_INSTANTIATE(TextAttribute::InlineCode)
QUILLON_INSTANTIATE(TextAttribute::CodeBlock)
QUILLON_INSTANTIATE(TextAttribute::BlockquoteBorder)
QUILLON_INSTANTIATE(TextAttribute::Bullet)
QUILLON_INSTANTIATE(TextAttribute::Checkbox)
QUILLON_INSTANTIATE(TextAttribute::Attachment)
#undef QUILLON_INSTANTIATE

} // namespace quillon
