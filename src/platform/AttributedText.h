#pragma once

#include "platform/AttributeRuns.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quillon {

// A span of UTF-16 code units of an AttributedText. (The Markdown engine's TextRange has the
// same shape; this layer cannot see it.)
struct TextSpan
{
    qsizetype location = 0;
    qsizetype length = 0;

    constexpr TextSpan() = default;
    constexpr TextSpan(qsizetype location, qsizetype length)
        : location(location)
        , length(length)
    {
    }
    // Any range type with `location` and `length` converts implicitly.
    template <typename Range>
    requires requires(const Range& r)
    {
        r.location;
        r.length;
    }
    constexpr TextSpan(const Range& range)
        : location(range.location)
        , length(range.length)
    {
    }

    constexpr qsizetype end() const { return location + length; }
    constexpr bool isEmpty() const { return length <= 0; }
    constexpr bool contains(qsizetype index) const { return index >= location && index < end(); }
    bool operator==(const TextSpan&) const = default;
};

// `spans` sorted by start, with those that overlap or touch joined into one.
void joinTouching(std::vector<TextSpan>& spans);

// Paragraph metrics in logical pixels. A zero means "not set / default".
struct ParagraphStyle
{
    qreal lineSpacing = 0; // extra space between the lines of one paragraph
    qreal paragraphSpacing = 0; // space after the paragraph
    qreal paragraphSpacingBefore = 0; // space before the paragraph
    qreal headIndent = 0; // left indent of every line but the first
    qreal firstLineHeadIndent = 0; // left indent of the first line
    qreal tailIndent = 0; // negative: distance from the right edge
    qreal minimumLineHeight = 0;
    qreal maximumLineHeight = 0;
    qreal lineHeightMultiple = 0;

    bool operator==(const ParagraphStyle&) const = default;
};

// Value of "customCodeBlock": the box drawn behind a fenced block.
struct CodeBlockDecoration
{
    QColor fill;
    QColor border;
    bool operator==(const CodeBlockDecoration&) const = default;
};

// Value of "customCheckbox": a task box drawn in place of a hidden task marker.
struct CheckboxDecoration
{
    bool checked = false;
    qreal centerX = 0; // horizontal centre of the box from the paragraph's left edge
    bool operator==(const CheckboxDecoration&) const = default;
};

// An object carried by a U+FFFC character. Subclasses (the table attachment) live in the
// layers that know what they hold; attachments are immutable and shared.
class TextAttachment
{
public:
    virtual ~TextAttachment();
};
using TextAttachmentPtr = std::shared_ptr<const TextAttachment>;

enum class TextAttribute : quint8 {
    Font,
    ForegroundColor,
    BackgroundColor,
    ParagraphStyle,
    UnderlineStyle, // 1 = single line
    StrikethroughStyle, // 1 = single line
    Link,
    Collapsed, // "customCollapsed": hidden syntax marker (value true)
    InlineCode, // "customInlineCode": inline-code background colour
    CodeBlock, // "customCodeBlock"
    BlockquoteBorder, // "customBlockquoteBorder": quote-bar colour
    Bullet, // "customBullet": horizontal centre of the drawn dot
    Checkbox, // "customCheckbox"
    Attachment,
};
inline constexpr int kTextAttributeCount = 14;

// The attribute's name as the rest of the program spells it ("customCollapsed", "font", ...).
QString textAttributeName(TextAttribute attribute);

template <TextAttribute K> struct TextAttributeTraits;
// clang-format off
template <> struct TextAttributeTraits<TextAttribute::Font> { using Value = QFont; };
template <> struct TextAttributeTraits<TextAttribute::ForegroundColor> { using Value = QColor; };
template <> struct TextAttributeTraits<TextAttribute::BackgroundColor> { using Value = QColor; };
template <> struct TextAttributeTraits<TextAttribute::ParagraphStyle> { using Value = ParagraphStyle; };
template <> struct TextAttributeTraits<TextAttribute::UnderlineStyle> { using Value = int; };
template <> struct TextAttributeTraits<TextAttribute::StrikethroughStyle> { using Value = int; };
template <> struct TextAttributeTraits<TextAttribute::Link> { using Value = QUrl; };
template <> struct TextAttributeTraits<TextAttribute::Collapsed> { using Value = bool; };
template <> struct TextAttributeTraits<TextAttribute::InlineCode> { using Value = QColor; };
template <> struct TextAttributeTraits<TextAttribute::CodeBlock> { using Value = CodeBlockDecoration; };
template <> struct TextAttributeTraits<TextAttribute::BlockquoteBorder> { using Value = QColor; };
template <> struct TextAttributeTraits<TextAttribute::Bullet> { using Value = qreal; };
template <> struct TextAttributeTraits<TextAttribute::Checkbox> { using Value = CheckboxDecoration; };
template <> struct TextAttributeTraits<TextAttribute::Attachment> { using Value = TextAttachmentPtr; };
// clang-format on
template <TextAttribute K> using TextAttributeValue = typename TextAttributeTraits<K>::Value;

// All attributes of one character (or run); an absent member means the attribute is not set.
struct TextAttributes
{
    std::optional<QFont> font;
    std::optional<QColor> foregroundColor;
    std::optional<QColor> backgroundColor;
    std::optional<quillon::ParagraphStyle> paragraphStyle;
    std::optional<int> underlineStyle;
    std::optional<int> strikethroughStyle;
    std::optional<QUrl> link;
    std::optional<bool> collapsed;
    std::optional<QColor> inlineCode;
    std::optional<CodeBlockDecoration> codeBlock;
    std::optional<QColor> blockquoteBorder;
    std::optional<qreal> bullet;
    std::optional<CheckboxDecoration> checkbox;
    TextAttachmentPtr attachment;

    bool isEmpty() const;
    bool operator==(const TextAttributes&) const;
};

// One maximal stretch of characters with equal attributes.
struct TextRun
{
    TextSpan range;
    TextAttributes attributes;
};

// Text with typed attributes: the storage that the Markdown engine styles and the editors show.
//
// Offsets are UTF-16 code units of text(). Every attribute operation clips its range to the text
// (a range that starts beyond the end is ignored), so no attribute ever lies outside the text.
//
// Storage: runs of attribute-set ids (AttributeRuns) over interned sets of interned values.
// Finding the attributes at an offset costs O(log runs), and so does inserting or removing
// characters besides the QString's own change; writing an attribute over a range costs that plus
// a cached set transformation per run in the range, which keeps whole-document restyles of
// megabyte texts fast. Memory follows the number of runs, not of characters. Replacing the
// attributes of the whole text drops every interned set and value.
//
// Not thread-safe (reads fill a cache); use one instance from one thread at a time.
class AttributedText
{
public:
    AttributedText();
    explicit AttributedText(const QString& text, const TextAttributes& attributes = {});
    AttributedText(const AttributedText&);
    AttributedText& operator=(const AttributedText&);
    AttributedText(AttributedText&&) noexcept;
    AttributedText& operator=(AttributedText&&) noexcept;
    ~AttributedText();

    // The whole text. A text typed into away from its ends keeps a gap where the typing is
    // (see replaceWithBareCharacters); asking for the whole text closes it, which moves what
    // follows it. Other threads may read the text only after its own thread asked for it.
    const QString& text() const
    {
        if (m_gap.length > 0) // read often: the call only when there is a gap
            closeGap();
        return m_text;
    }
    qsizetype length() const { return m_text.size() - m_gap.length; }
    bool isEmpty() const { return length() == 0; }
    // The characters of `range` (clipped), without closing a gap far from them: the gap moves out
    // of the range, by as much text as lies between them. Valid until the text changes, or
    // until text() or another textView() moves the gap (at() never does).
    QStringView textView(TextSpan range) const;
    // One character (index within the text), which moves nothing: a view of the text taken
    // before stays valid.
    QChar at(qsizetype index) const
    {
        return m_text.at(m_gap.length > 0 && index >= m_gap.at ? index + m_gap.length : index);
    }

    // Same characters and the same attributes at every position.
    bool operator==(const AttributedText& other) const;

    // --- writing attributes -------------------------------------------------------------
    // Replaces every attribute on the range with exactly these.
    void setAttributes(TextSpan range, const TextAttributes& attributes);
    // Sets the attributes present in `attributes`, keeping the others.
    void addAttributes(TextSpan range, const TextAttributes& attributes);
    template <TextAttribute K> void addAttribute(TextSpan range, const TextAttributeValue<K>& value)
    {
        applyValue(K, range, internValue<K>(value));
    }
    // Gives the unit at each of `points` (ascending) the value of attribute K at the same index:
    // for values met once each (an attachment for every table), which are not remembered as
    // changes of a set the way addAttribute() remembers one for the next unit given the same.
    // The values must be new to the text and distinct from each other (fresh attachments): they
    // are not looked up, which thousands of them would make a wait before the first screen.
    // Each point also takes the attributes `shared` has, in the same step.
    template <TextAttribute K>
    void setEachAt(const std::vector<qsizetype>& points, std::vector<TextAttributeValue<K>> values,
        const TextAttributes& shared = {});
    void removeAttribute(TextAttribute attribute, TextSpan range);

    // --- reading attributes -------------------------------------------------------------
    // All attributes at `index` (empty beyond the text); `effectiveRange` receives the run of
    // equal attributes around it.
    TextAttributes attributes(qsizetype index, TextSpan* effectiveRange = nullptr) const;
    // One attribute at `index`, or nullptr when absent. The pointer stays valid until the
    // attributes of the whole text are next replaced. `effectiveRange` receives the stretch around
    // `index` over which this attribute has the same value (or is equally absent).
    template <TextAttribute K>
    const TextAttributeValue<K>* attribute(
        qsizetype index, TextSpan* effectiveRange = nullptr) const
    {
        const quint32 id = valueIdAt(K, index, effectiveRange);
        return id == 0 ? nullptr : &pool<K>().values[id - 1];
    }
    bool hasAttribute(TextAttribute attribute, qsizetype index) const
    {
        return valueIdAt(attribute, index, nullptr) != 0;
    }

    // Calls `visit` for each run of equal attributes intersecting `range`, clipped to it, in
    // text order. The attributes reference is valid during the call.
    void enumerateRuns(
        TextSpan range, const std::function<void(TextSpan, const TextAttributes&)>& visit) const;
    std::vector<TextRun> runs() const;
    // As enumerateRuns, with each run's attribute-set id. Within one setsGeneration() an id
    // always stands for the same attributes, so a reader may remember what it made of an id
    // instead of looking at the attributes again.
    void enumerateRunSets(TextSpan range,
        const std::function<void(TextSpan, quint32 setId, const TextAttributes&)>& visit) const;
    // Changes, to a value no text in this process had before, whenever set ids may come to stand
    // for other attributes: when the attributes of the whole text are replaced, and in a copy.
    quint64 setsGeneration() const { return m_setsGeneration.value; }
    // Calls `visit` for each maximal stretch within `range` where attribute K has one value
    // (nullptr where absent), in text order.
    template <TextAttribute K>
    void enumerateAttribute(TextSpan range,
        const std::function<void(TextSpan, const TextAttributeValue<K>*)>& visit) const
    {
        enumerateValueIds(K, range, [&](TextSpan r, quint32 id) {
            visit(r, id == 0 ? nullptr : &pool<K>().values[id - 1]);
        });
    }

    // --- editing characters -------------------------------------------------------------
    // Replaces the characters of `range` (clipped to the text). The new characters take the
    // attributes of the first replaced character, or, for an empty range, of the character
    // before it (of the one after it at offset 0).
    void replaceCharacters(TextSpan range, const QString& replacement);
    // Replaces the characters of `range` with another attributed text, attributes included.
    void replaceCharacters(TextSpan range, const AttributedText& replacement);
    // Replaces the characters of `range` with characters that carry no attributes: what an
    // attributed text of `replacement` alone would put in, without building one. In a long
    // text, away from both ends, the characters go in through a gap kept where the last ones
    // went: typing there moves only what lies between two edits, not half the text each key.
    // Not opened when `mayOpenGap` is false: where the whole text is read between edits (a
    // styling pass runs), it would be closed again each time, moving the text twice.
    void replaceWithBareCharacters(
        TextSpan range, const QString& replacement, bool mayOpenGap = true);
    // Gives the characters from `location` on, as many as `source` holds (clipped to the text),
    // the attributes `source` has at the same offsets; the characters stay. Each attribute set
    // of `source` is taken in once however many runs carry it, and the runs are replaced in one
    // step: styling a copy of a stretch and putting its attributes back costs what the copy's
    // distinct sets cost, not a lookup per run.
    void setAttributesFrom(qsizetype location, const AttributedText& source);
    // Several replacements in one pass over the text, each range by the same plain `text` (no
    // attributes): ranges ascending; one that overlaps or goes back is skipped. Costs one copy
    // of the text however many there are (none when this text holds its characters alone and
    // no range is shorter than `text`), and makes no attributed text per range.
    void replaceRanges(const std::vector<TextSpan>& ranges, const QString& text);
    // Replaces everything with plain text that has no attributes.
    void setText(QString text);
    // The room a text `length` long is given beyond its characters where it is made or closed
    // up, so that the first edits of a long text do not move all of it to new memory.
    static qsizetype roomToGrow(qsizetype length) { return length / 256 + 4096; }
    // Gives half the room beyond the characters to the front, where keys near the top of a long
    // text take it: the first of them would move the whole text to make it. A text being made
    // ready to load does it then, on another thread where it is made there.
    void shareRoomWithFront();

    // A copy of part of the text with its attributes.
    AttributedText subText(TextSpan range) const;
    // Appends another attributed text.
    void append(const AttributedText& other);

    // Number of interned attribute sets; for tests of the storage's bookkeeping.
    int internedSetCount() const { return int(m_sets.size()); }
    // Bytes held to say which set each character has (not the text, the sets or the values);
    // for benchmarks.
    size_t storageBytes() const { return m_runs.bytes(); }

private:
    using AttributeSet = std::array<quint32, kTextAttributeCount>; // value id + 1, 0 = absent

    struct ValueHash
    {
        size_t operator()(const QFont& v) const;
        size_t operator()(const QColor& v) const;
        size_t operator()(const ParagraphStyle& v) const;
        size_t operator()(const QUrl& v) const;
        size_t operator()(const CodeBlockDecoration& v) const;
        size_t operator()(const CheckboxDecoration& v) const;
        size_t operator()(const TextAttachmentPtr& v) const;
        size_t operator()(int v) const;
        size_t operator()(bool v) const;
        size_t operator()(qreal v) const;
        size_t operator()(const AttributeSet& v) const;
    };
    // Values at addresses that never move, as a deque keeps them, but with nothing allocated
    // while empty: a short-lived text (a line restyled after each key) has fourteen pools.
    template <typename T> class StableValues
    {
    public:
        StableValues() = default;
        StableValues(const StableValues& o)
        {
            for (size_t i = 0; i < o.m_size; ++i)
                push_back(o[i]);
        }
        StableValues& operator=(const StableValues& o)
        {
            if (this != &o) {
                StableValues copy(o);
                *this = std::move(copy);
            }
            return *this;
        }
        StableValues(StableValues&& o) noexcept
            : m_chunks(std::move(o.m_chunks))
            , m_size(std::exchange(o.m_size, 0))
        {
        }
        StableValues& operator=(StableValues&& o) noexcept
        {
            m_chunks = std::move(o.m_chunks);
            m_size = std::exchange(o.m_size, 0);
            return *this;
        }
        size_t size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        T& operator[](size_t i) { return m_chunks[i / kChunk][i % kChunk]; }
        const T& operator[](size_t i) const { return m_chunks[i / kChunk][i % kChunk]; }
        void push_back(T value)
        {
            if (m_size % kChunk == 0)
                m_chunks.push_back(std::make_unique<T[]>(kChunk));
            m_chunks.back()[m_size % kChunk] = std::move(value);
            ++m_size;
        }

    private:
        static constexpr size_t kChunk = 32;
        std::vector<std::unique_ptr<T[]>> m_chunks;
        size_t m_size = 0;
    };
    template <typename T> struct ValuePool
    {
        StableValues<T> values; // stable addresses; no vector<bool> packing
        std::unordered_map<T, quint32, ValueHash> index;
        quint32 lastId = 0; // quick path for interning the same value again
        // Values from this one on are not in the index yet (setEachAt appends values new to the
        // text without looking them up); the next look-up enters them first.
        size_t indexed = 0;
    };
    struct Pools
    {
        ValuePool<QFont> font;
        ValuePool<QColor> foreground;
        ValuePool<QColor> background;
        ValuePool<ParagraphStyle> paragraph;
        ValuePool<int> underline;
        ValuePool<int> strike;
        ValuePool<QUrl> link;
        ValuePool<bool> collapsed;
        ValuePool<QColor> inlineCode;
        ValuePool<CodeBlockDecoration> codeBlock;
        ValuePool<QColor> blockquote;
        ValuePool<qreal> bullet;
        ValuePool<CheckboxDecoration> checkbox;
        ValuePool<TextAttachmentPtr> attachment;
        bool isEmpty() const
        {
            return font.values.empty() && foreground.values.empty() && background.values.empty()
                && paragraph.values.empty() && underline.values.empty() && strike.values.empty()
                && link.values.empty() && collapsed.values.empty() && inlineCode.values.empty()
                && codeBlock.values.empty() && blockquote.values.empty() && bullet.values.empty()
                && checkbox.values.empty() && attachment.values.empty();
        }
    };

    template <TextAttribute K> const ValuePool<TextAttributeValue<K>>& pool() const
    {
        return const_cast<AttributedText*>(this)->mutablePool<K>();
    }
    template <TextAttribute K> ValuePool<TextAttributeValue<K>>& mutablePool();
    template <TextAttribute K> quint32 internValue(const TextAttributeValue<K>& value);

    TextSpan clip(TextSpan range) const;
    void applyValue(TextAttribute attribute, TextSpan range, quint32 valueId);
    quint32 transform(quint32 setId, TextAttribute attribute, quint32 valueId);
    quint32 internSet(const AttributeSet& set);
    // `attachmentId`, when not 0, is the id here of `attributes.attachment`, known already.
    AttributeSet setFromAttributes(
        const TextAttributes& attributes, const AttributeSet& base, quint32 attachmentId = 0);
    const TextAttributes& materialise(quint32 setId) const;
    quint32 valueIdAt(TextAttribute attribute, qsizetype index, TextSpan* effectiveRange) const;
    void enumerateValueIds(TextAttribute attribute, TextSpan range,
        const std::function<void(TextSpan, quint32)>& visit) const;
    // Forgets every set and value (resetTables), or starts a new text's tables (startTables).
    void resetTables();
    void startTables();
    std::vector<AttributeRuns::Run> importRuns(const AttributedText& from);
    // The runs of `from` over [range) with their sets interned here. With `shift`, they are to
    // land at their offsets in `from` plus `shift` in this text.
    std::vector<AttributeRuns::Run> importRuns(
        const AttributedText& from, TextSpan range, std::optional<qsizetype> shift = {});

    // Characters [at, at + length) of m_text are a gap, not text: room for typing in the middle
    // of a long text. A text moved from has none.
    struct Gap
    {
        qsizetype at = 0;
        qsizetype length = 0;
        Gap() = default;
        Gap(const Gap&) = default;
        Gap& operator=(const Gap&) = default;
        Gap(Gap&& o) noexcept
            : at(o.at)
            , length(std::exchange(o.length, 0))
        {
        }
        Gap& operator=(Gap&& o) noexcept
        {
            at = o.at;
            length = std::exchange(o.length, 0);
            return *this;
        }
    };
    // A gap opens only this far from both ends of the text, and holds this many characters.
    static constexpr qsizetype kGapFromDistance = 64 * 1024;
    static constexpr qsizetype kGapLength = 4096;
    void closeGap() const;
    void moveGapTo(qsizetype at) const;
    void widenGap(qsizetype needed);

    mutable QString m_text;
    mutable Gap m_gap;
    AttributeRuns m_runs; // the set id of every UTF-16 unit
    std::vector<AttributeSet> m_sets;
    std::unordered_map<AttributeSet, quint32, ValueHash> m_setIndex;
    Pools m_pools;
    std::unordered_map<quint64, quint32> m_transforms;
    struct CachedTransform
    {
        quint64 key = ~quint64(0);
        quint32 result = 0;
    };
    std::vector<CachedTransform> m_transformCache;
    mutable std::vector<std::unique_ptr<TextAttributes>> m_materialised;
    // A copy starts a generation of its own, and so does a text moved from (its tables went
    // with the move).
    struct Generation
    {
        quint64 value = next();
        Generation() = default;
        Generation(const Generation&)
            : value(next())
        {
        }
        Generation(Generation&& o) noexcept
            : value(std::exchange(o.value, next()))
        {
        }
        Generation& operator=(const Generation&)
        {
            value = next();
            return *this;
        }
        Generation& operator=(Generation&& o) noexcept
        {
            value = std::exchange(o.value, next());
            return *this;
        }
        static quint64 next() noexcept;
    };
    Generation m_setsGeneration;
};

} // namespace quillon
