#include "platform/AttributedText.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace quillon {

void joinTouching(std::vector<TextSpan>& spans)
{
    std::sort(spans.begin(), spans.end(),
        [](const TextSpan& a, const TextSpan& b) { return a.location < b.location; });
    std::vector<TextSpan> joined;
    for (const TextSpan& s : spans) {
        if (!joined.empty() && s.location <= joined.back().end())
            joined.back().length = qMax(joined.back().end(), s.end()) - joined.back().location;
        else
            joined.push_back(s);
    }
    spans = std::move(joined);
}

namespace {

constexpr size_t kTransformCacheSize = 4096;
// The cache (64 KiB) pays off only where styling rewrites many runs; a short text (a table's
// one character, a line being restyled) goes to the map, or thousands of them would each hold
// a cache of their own.
constexpr qsizetype kTransformCacheFromLength = 16384;

// Replaces `removed` units at `at` with `with`. A change nearer the text's start than its end
// moves the characters before it into the free space the string keeps at its front, not the
// ones after it: a key near the top of a long text then moves a few units, not megabytes. The
// end of the characters stays where it is, so the string stays terminated.
void replaceInString(QString& text, qsizetype at, qsizetype removed, QStringView with)
{
    const qsizetype grow = with.size() - removed;
    QStringPrivate& d = text.data_ptr();
    const bool nearStart = at < text.size() - (at + removed);
    const char16_t* base = d.data() - (d.needsDetach() ? 0 : d.freeSpaceAtBegin());
    const bool aliases = with.utf16() >= base && with.utf16() <= d.data() + d.size;
    if (!nearStart || d.needsDetach() || aliases) {
        text.replace(at, removed, with.data(), with.size());
        return;
    }
    if (grow > 0 && d.freeSpaceAtBegin() < grow && d.freeSpaceAtEnd() >= 4 * grow) {
        // Half the room at the end goes to the front: one move of the text where it lies, where
        // a text grown at the front is copied whole to new memory.
        const qsizetype shift = d.freeSpaceAtEnd() / 2;
        std::memmove(d.data() + shift, d.data(), size_t(d.size) * sizeof(char16_t));
        d.ptr += shift;
        d.data()[d.size] = u'\0'; // half the room is left at the end, so there is a place for it
    }
    if (grow > 0 && d.freeSpaceAtBegin() < grow) {
        // Room at the front, as prepending makes it: with as much again to spare, so that the
        // next keys find it there.
        text.insert(0, QString(grow, QChar()));
        d.ptr += grow;
        d.size -= grow;
    }
    char16_t* head = d.data() - grow;
    std::memmove(head, d.data(), size_t(at) * sizeof(char16_t));
    d.ptr = head;
    d.size += grow;
    std::copy(with.utf16(), with.utf16() + with.size(), d.data() + at);
}

} // namespace

// --- construction -------------------------------------------------------------------------

AttributedText::AttributedText()
{
    startTables();
}

AttributedText::AttributedText(const QString& text, const TextAttributes& attributes)
    : m_text(text)
{
    startTables();
    m_runs.assign(text.size(), 0);
    if (!attributes.isEmpty())
        setAttributes({ 0, text.size() }, attributes);
}

AttributedText::AttributedText(const AttributedText& o)
    : m_text(o.m_text)
    , m_gap(o.m_gap)
    , m_runs(o.m_runs)
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

quint64 AttributedText::Generation::next() noexcept
{
    static std::atomic<quint64> last { 0 };
    return ++last;
}

void AttributedText::resetTables()
{
    // Tables that hold nothing yet (a text just made, styled whole for the first time) are
    // already what this would make them.
    if (m_sets.size() == 1 && m_transforms.empty() && m_transformCache.empty() && m_pools.isEmpty())
        return;
    m_sets.clear();
    m_setIndex.clear();
    m_pools = Pools();
    m_transforms.clear();
    m_transformCache.clear(); // allocated by the first transformation
    m_materialised.clear();
    startTables();
}

void AttributedText::startTables()
{
    m_setsGeneration.value = Generation::next();
    const AttributeSet empty {};
    m_sets.push_back(empty);
    m_setIndex.emplace(empty, 0);
}

// --- sets -----------------------------------------------------------------------------------

quint32 AttributedText::internSet(const AttributeSet& set)
{
    // One look-up for a new set as for a known one: a document dense with tables makes one set
    // per table as it opens.
    const auto [it, added] = m_setIndex.try_emplace(set, quint32(m_sets.size()));
    if (added)
        m_sets.push_back(set);
    return it->second;
}

quint32 AttributedText::transform(quint32 setId, TextAttribute attribute, quint32 valueId)
{
    const int k = int(attribute);
    if (m_sets[setId][k] == valueId)
        return setId;
    const quint64 key = (quint64(setId) << 32) | (quint64(k) << 27) | quint64(valueId);
    CachedTransform* slot = nullptr;
    if (length() >= kTransformCacheFromLength) {
        if (m_transformCache.empty())
            m_transformCache.assign(kTransformCacheSize, CachedTransform());
        slot = &m_transformCache[(key * 0x9e3779b97f4a7c15ULL) >> 52];
        if (slot->key == key)
            return slot->result;
    }
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
    if (slot) {
        slot->key = key;
        slot->result = result;
    }
    return result;
}

inline TextSpan AttributedText::clip(TextSpan range) const
{
    const qsizetype n = length();
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
    m_runs.rewrite(r.location, r.end(),
        [this, attribute, valueId](quint32 setId) { return transform(setId, attribute, valueId); });
}

AttributedText::AttributeSet AttributedText::setFromAttributes(
    const TextAttributes& a, const AttributeSet& base, quint32 attachmentId)
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
        put(TextAttribute::Attachment,
            attachmentId != 0 ? attachmentId
                              : internValue<TextAttribute::Attachment>(a.attachment));
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
    const bool whole = r.location == 0 && r.length == length();
    if (whole)
        resetTables();
    const quint32 id = internSet(setFromAttributes(attributes, AttributeSet {}));
    if (whole)
        m_runs.assign(r.length, id);
    else
        m_runs.replace(r.location, r.end(), { r.length, id });
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
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = { std::clamp<qsizetype>(index, 0, length()), 0 };
        return {};
    }
    // Runs are maximal: the run is the stretch of equal attributes.
    const AttributeRuns::Cursor run = m_runs.find(index);
    if (effectiveRange)
        *effectiveRange = { run.start(), run.length() };
    return materialise(run.set());
}

quint32 AttributedText::valueIdAt(
    TextAttribute attribute, qsizetype index, TextSpan* effectiveRange) const
{
    const int k = int(attribute);
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = { std::clamp<qsizetype>(index, 0, length()), 0 };
        return 0;
    }
    const AttributeRuns::Cursor run = m_runs.find(index);
    const quint32 value = m_sets[run.set()][k];
    if (effectiveRange) {
        AttributeRuns::Cursor before = run;
        qsizetype s = run.start();
        for (before.previous(); before.isValid() && m_sets[before.set()][k] == value;
             before.previous())
            s = before.start();
        AttributeRuns::Cursor after = run;
        qsizetype e = run.end();
        for (after.next(); after.isValid() && m_sets[after.set()][k] == value; after.next())
            e = after.end();
        *effectiveRange = { s, e - s };
    }
    return value;
}

void AttributedText::enumerateRuns(
    TextSpan range, const std::function<void(TextSpan, const TextAttributes&)>& visit) const
{
    enumerateRunSets(range, [&](TextSpan run, quint32, const TextAttributes& a) { visit(run, a); });
}

void AttributedText::enumerateRunSets(TextSpan range,
    const std::function<void(TextSpan, quint32, const TextAttributes&)>& visit) const
{
    const TextSpan r = clip(range);
    if (r.isEmpty())
        return;
    for (AttributeRuns::Cursor run = m_runs.find(r.location);
         run.isValid() && run.start() < r.end(); run.next()) {
        const qsizetype from = std::max(run.start(), r.location);
        visit({ from, std::min(run.end(), r.end()) - from }, run.set(), materialise(run.set()));
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
    if (r.isEmpty())
        return;
    AttributeRuns::Cursor run = m_runs.find(r.location);
    qsizetype i = r.location;
    while (i < r.end()) {
        const quint32 value = m_sets[run.set()][k];
        qsizetype j = run.end();
        run.next();
        while (j < r.end() && m_sets[run.set()][k] == value) {
            j = run.end();
            run.next();
        }
        j = std::min(j, r.end());
        visit({ i, j - i }, value);
        i = j;
    }
}

bool AttributedText::operator==(const AttributedText& other) const
{
    if (text() != other.text())
        return false;
    AttributeRuns::Cursor a = m_runs.find(0);
    AttributeRuns::Cursor b = other.m_runs.find(0);
    while (a.isValid() && b.isValid()) {
        if (!(materialise(a.set()) == other.materialise(b.set())))
            return false;
        const qsizetype end = std::min(a.end(), b.end());
        if (a.end() == end)
            a.next();
        if (b.end() == end)
            b.next();
    }
    return true;
}

// --- characters -----------------------------------------------------------------------------

void AttributedText::replaceCharacters(TextSpan range, const QString& replacement)
{
    const TextSpan r = clip(range);
    quint32 inherited = 0;
    if (r.length > 0)
        inherited = m_runs.find(r.location).set();
    else if (r.location > 0)
        inherited = m_runs.find(r.location - 1).set();
    else if (!isEmpty())
        inherited = m_runs.find(0).set();
    const qsizetype inserted = replacement.size();
    closeGap();
    replaceInString(m_text, r.location, r.length, replacement);
    m_runs.replace(r.location, r.end(), { inserted, inherited });
}

// The runs of another text over `range` (clipped to it) with their sets interned here, each set
// once.
std::vector<AttributeRuns::Run> AttributedText::importRuns(
    const AttributedText& from, TextSpan range, std::optional<qsizetype> shift)
{
    const TextSpan r = from.clip(range);
    std::vector<AttributeRuns::Run> runs;
    if (r.isEmpty())
        return runs;
    std::vector<quint32> map(from.m_sets.size(), quint32(-1));
    for (AttributeRuns::Cursor run = from.m_runs.find(r.location);
         run.isValid() && run.start() < r.end(); run.next()) {
        const quint32 id = run.set();
        const qsizetype start = qMax(run.start(), r.location);
        if (map[id] == quint32(-1)) {
            const TextAttributes& attributes = from.materialise(id);
            // A styled copy of a stretch of this text carries this text's own attachments: one
            // landing on the same attachment takes its id from there. Looking it up would first
            // enter into the index every attachment a long text's load appended unindexed.
            quint32 attachmentId = 0;
            if (attributes.attachment && shift) {
                const quint32 here = valueIdAt(TextAttribute::Attachment, start + *shift, nullptr);
                if (here != 0 && m_pools.attachment.values[here - 1] == attributes.attachment)
                    attachmentId = here;
            }
            map[id] = internSet(setFromAttributes(attributes, AttributeSet {}, attachmentId));
        }
        runs.push_back({ qMin(run.end(), r.end()) - start, map[id] });
    }
    return runs;
}

std::vector<AttributeRuns::Run> AttributedText::importRuns(const AttributedText& from)
{
    return importRuns(from, { 0, from.length() });
}

void AttributedText::replaceCharacters(TextSpan range, const AttributedText& replacement)
{
    const TextSpan r = clip(range);
    // Read before anything changes: `replacement` may be this text.
    const std::vector<AttributeRuns::Run> runs = importRuns(replacement);
    closeGap();
    replaceInString(m_text, r.location, r.length, replacement.text());
    m_runs.replace(r.location, r.end(), runs.data(), runs.size());
}

void AttributedText::replaceWithBareCharacters(
    TextSpan range, const QString& replacement, bool mayOpenGap)
{
    const TextSpan r = clip(range);
    const qsizetype inserted = replacement.size();
    // Near an end the shorter side moves, which is little; so does a gap near the edit.
    if (m_gap.length == 0
        && (!mayOpenGap || qMin(r.location, length() - r.end()) < kGapFromDistance)) {
        replaceInString(m_text, r.location, r.length, replacement);
    } else {
        moveGapTo(r.location);
        m_gap.length += r.length; // the replaced characters, right after it
        if (m_gap.length < inserted)
            widenGap(inserted);
        std::copy(replacement.cbegin(), replacement.cend(), m_text.data() + m_gap.at);
        m_gap.at += inserted;
        m_gap.length -= inserted;
    }
    m_runs.replace(r.location, r.end(), { inserted, 0 }); // the empty set
}

QStringView AttributedText::textView(TextSpan range) const
{
    const TextSpan r = clip(range);
    if (m_gap.length > 0 && r.location < m_gap.at && r.end() > m_gap.at) {
        // To whichever end of the range is nearer.
        moveGapTo(m_gap.at - r.location < r.end() - m_gap.at ? r.location : r.end());
    }
    const qsizetype start
        = r.location < m_gap.at || m_gap.length == 0 ? r.location : r.location + m_gap.length;
    return QStringView(m_text).mid(start, r.length);
}

void AttributedText::shareRoomWithFront()
{
    closeGap();
    QStringPrivate& d = m_text.data_ptr();
    if (d.needsDetach() || d.freeSpaceAtBegin() >= d.freeSpaceAtEnd())
        return;
    const qsizetype shift = (d.freeSpaceAtEnd() - d.freeSpaceAtBegin()) / 2;
    std::memmove(d.data() + shift, d.data(), size_t(d.size) * sizeof(char16_t));
    d.ptr += shift;
    d.data()[d.size] = u'\0';
}

void AttributedText::closeGap() const
{
    if (m_gap.length == 0)
        return;
    QChar* data = m_text.data();
    const qsizetype after = m_text.size() - m_gap.at - m_gap.length;
    std::memmove(data + m_gap.at, data + m_gap.at + m_gap.length, size_t(after) * sizeof(QChar));
    // The room stays with the string, for the gap's next opening.
    m_text.truncate(m_text.size() - m_gap.length);
    m_gap = Gap();
}

void AttributedText::moveGapTo(qsizetype at) const
{
    if (m_gap.length == 0) {
        // Opened where the text is edited: the text after it moves once.
        m_text.insert(at, QString(kGapLength, QChar()));
        m_gap.at = at;
        m_gap.length = kGapLength;
        return;
    }
    if (at == m_gap.at)
        return;
    QChar* data = m_text.data();
    if (at < m_gap.at) {
        std::memmove(data + at + m_gap.length, data + at, size_t(m_gap.at - at) * sizeof(QChar));
    } else {
        std::memmove(
            data + m_gap.at, data + m_gap.at + m_gap.length, size_t(at - m_gap.at) * sizeof(QChar));
    }
    m_gap.at = at;
}

void AttributedText::widenGap(qsizetype needed)
{
    const qsizetype more = needed - m_gap.length + kGapLength;
    m_text.insert(m_gap.at + m_gap.length, QString(more, QChar()));
    m_gap.length += more;
}

void AttributedText::setAttributesFrom(qsizetype location, const AttributedText& source)
{
    const TextSpan r = clip({ location, source.length() });
    if (r.isEmpty() || &source == this)
        return;
    // Covering the whole text makes every interned set and value unreachable: start afresh.
    const bool whole = r.length == length();
    if (whole)
        resetTables();
    const std::vector<AttributeRuns::Run> runs
        = importRuns(source, { r.location - location, r.length },
            whole ? std::nullopt : std::optional<qsizetype>(location));
    m_runs.replace(r.location, r.end(), runs.data(), runs.size());
}

void AttributedText::replaceRanges(const std::vector<TextSpan>& ranges, const QString& text)
{
    closeGap();
    std::vector<TextSpan> accepted;
    accepted.reserve(ranges.size());
    qsizetype size = m_text.size();
    bool shrinks = true;
    for (const TextSpan& r : ranges) {
        const TextSpan range = clip(r);
        if (!accepted.empty() && range.location < accepted.back().end())
            continue; // overlapping or out of order: skipped
        accepted.push_back(range);
        size += text.size() - range.length;
        shrinks = shrinks && range.length >= text.size();
    }
    if (accepted.empty())
        return;
    // A text held by nobody else, where no range grows, is closed up where it lies: a long text
    // is not copied, nor new memory touched for it.
    const bool inPlace = shrinks && m_text.isDetached() && &text != &m_text;
    QString result = inPlace ? QString() : QString(size, Qt::Uninitialized);
    QChar* to = inPlace ? m_text.data() : result.data();
    const QChar* from = m_text.constData();
    qsizetype read = 0;
    qsizetype write = 0;
    auto keep = [&](qsizetype end) {
        std::memmove(to + write, from + read, size_t(end - read) * sizeof(QChar));
        write += end - read;
    };
    for (const TextSpan& range : accepted) {
        keep(range.location);
        std::memcpy(to + write, text.constData(), size_t(text.size()) * sizeof(QChar));
        write += text.size();
        read = range.end();
    }
    keep(m_text.size());
    if (inPlace) {
        // What was closed up is given back to the system but for some room to grow.
        m_text.truncate(qMin(m_text.size(), write + roomToGrow(write)));
        m_text.squeeze();
        m_text.truncate(write);
    } else {
        m_text = std::move(result);
    }
    // From the last range back, so that the earlier ranges' offsets still hold.
    for (auto it = accepted.rbegin(); it != accepted.rend(); ++it)
        m_runs.replace(it->location, it->end(), AttributeRuns::Run { text.size(), 0 });
}

void AttributedText::setText(QString text)
{
    m_gap = Gap();
    m_text = std::move(text);
    m_runs.assign(m_text.size(), 0);
    resetTables();
}

AttributedText AttributedText::subText(TextSpan range) const
{
    const TextSpan r = clip(range);
    AttributedText result(textView(r).toString());
    const std::vector<AttributeRuns::Run> runs = result.importRuns(*this, r);
    result.m_runs.replace(0, r.length, runs.data(), runs.size());
    return result;
}

void AttributedText::append(const AttributedText& other)
{
    replaceCharacters({ length(), 0 }, other);
}

} // namespace quillon
