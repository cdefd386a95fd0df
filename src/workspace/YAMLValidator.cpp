#include "workspace/YAMLValidator.h"
#include "workspace/YAMLValidator_Tags.h"

#include "platform/TextLines.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <yaml.h>

namespace quillon {

namespace {

using Result = YAMLValidator::ValidationResult;

QStringView trimWhitespace(QStringView text)
{
    auto isBlank
        = [](QChar c) { return c == u' ' || c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isBlank(text[start]))
        ++start;
    while (end > start && isBlank(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

// A YAML error as the composer sees it, before it becomes a result.
struct YamlError
{
    enum class Kind { Reader, Positioned, Other, Unknown };
    Kind kind = Kind::Other;
    QString problem;
    size_t offset = 0; // Reader: byte offset in the UTF-8 input
    size_t line = 0; // Positioned: 0-based
    size_t column = 0; // Positioned: 0-based, in code points
};

YamlError positioned(const char* problem, const yaml_mark_t& mark)
{
    return YamlError { YamlError::Kind::Positioned, QString::fromUtf8(problem), 0, mark.line,
        mark.column };
}

YamlError fromParser(const yaml_parser_t& parser)
{
    const QString problem = QString::fromUtf8(parser.problem ? parser.problem : "");
    switch (parser.error) {
    case YAML_READER_ERROR:
        return YamlError { YamlError::Kind::Reader, problem, parser.problem_offset, 0, 0 };
    case YAML_SCANNER_ERROR:
    case YAML_PARSER_ERROR:
        return YamlError { YamlError::Kind::Positioned, problem, 0, parser.problem_mark.line,
            parser.problem_mark.column };
    default:
        return YamlError { YamlError::Kind::Other, problem, 0, 0, 0 };
    }
}

// The line and column (both from 1, the column in code points) of a byte offset into UTF-8 text;
// no value when the offset falls inside a character or beyond the text.
std::optional<std::pair<int, int>> lineAndColumn(const QByteArray& utf8, size_t offset)
{
    if (offset > size_t(utf8.size()))
        return std::nullopt;
    if (offset < size_t(utf8.size()) && (uchar(utf8[qsizetype(offset)]) & 0xC0) == 0x80)
        return std::nullopt;
    int line = 1;
    int column = 1;
    for (size_t i = 0; i < offset; ++i) {
        const uchar byte = uchar(utf8[qsizetype(i)]);
        if (byte == '\n') {
            ++line;
            column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column;
        }
    }
    return std::make_pair(line, column);
}

Result toResult(const YamlError& error, const QByteArray& utf8)
{
    switch (error.kind) {
    case YamlError::Kind::Reader: {
        const auto position = lineAndColumn(utf8, error.offset);
        if (!position)
            return Result::invalid(error.problem);
        return Result::invalid(error.problem, position->first, position->second);
    }
    case YamlError::Kind::Positioned:
        return Result::invalid(error.problem, int(error.line) + 1, int(error.column) + 1);
    case YamlError::Kind::Unknown:
        return Result::invalid(QStringLiteral("Unknown YAML error: ") + error.problem);
    case YamlError::Kind::Other:
        break;
    }
    return Result::invalid(QStringLiteral("YAML validation failed"));
}

QString fromUtf8(const yaml_char_t* text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text)) : QString();
}

QString fromUtf8(const yaml_char_t* text, size_t length)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(text), qsizetype(length));
}

// Composes the nodes of the one document from the event stream, with the checks that the event
// parser does not make: one document, known aliases, unique mapping keys. Nodes are reduced to an
// identity string (tag and text for scalars, a structural hash for collections), which is all the
// key comparison needs.
class Composer
{
public:
    std::optional<YamlError> handle(const yaml_event_t& event)
    {
        switch (event.type) {
        case YAML_DOCUMENT_START_EVENT:
            if (m_documents++ > 0) {
                return positioned("but found another document", event.start_mark);
            }
            m_anchors.clear();
            return std::nullopt;
        case YAML_ALIAS_EVENT: {
            const auto found = m_anchors.constFind(fromUtf8(event.data.alias.anchor));
            if (found == m_anchors.constEnd())
                return positioned("found undefined alias", event.start_mark);
            return complete(*found, QString());
        }
        case YAML_SCALAR_EVENT: {
            const auto& scalar = event.data.scalar;
            const QString value = fromUtf8(scalar.value, scalar.length);
            const QString explicitTag = fromUtf8(scalar.tag);
            QString tag;
            if (!explicitTag.isEmpty() && explicitTag != u"!")
                tag = explicitTag;
            else if (scalar.style == YAML_PLAIN_SCALAR_STYLE && explicitTag.isEmpty())
                tag = yamltags::resolvePlainScalar(value);
            else
                tag = yamltags::kString;
            return complete(QLatin1Char('s') + tag + QChar(0) + value, fromUtf8(scalar.anchor));
        }
        case YAML_SEQUENCE_START_EVENT:
            push(false, event.data.sequence_start.tag, event.data.sequence_start.anchor);
            return std::nullopt;
        case YAML_MAPPING_START_EVENT:
            push(true, event.data.mapping_start.tag, event.data.mapping_start.anchor);
            return std::nullopt;
        case YAML_SEQUENCE_END_EVENT:
        case YAML_MAPPING_END_EVENT: {
            if (m_stack.isEmpty())
                return std::nullopt;
            const Frame frame = m_stack.takeLast();
            if (frame.hasDuplicateKey)
                return YamlError {};
            const QString identity = QLatin1Char(frame.isMapping ? 'm' : 'q') + frame.tag + QChar(0)
                + QString::number(frame.hash, 16);
            return complete(identity, frame.anchor);
        }
        default:
            return std::nullopt;
        }
    }

private:
    struct Frame
    {
        bool isMapping = false;
        QString tag;
        QString anchor;
        quint64 hash = 1469598103934665603ULL;
        bool expectingKey = true;
        bool hasDuplicateKey = false;
        bool needsIdentity = false;
        QSet<QString> keys;
    };

    // Whether the node that starts now will be compared: it is a mapping key or lies inside one.
    bool needsIdentity() const
    {
        if (m_stack.isEmpty())
            return false;
        const Frame& parent = m_stack.last();
        return parent.needsIdentity || (parent.isMapping && parent.expectingKey);
    }

    void push(bool isMapping, const yaml_char_t* tag, const yaml_char_t* anchor)
    {
        Frame frame;
        frame.isMapping = isMapping;
        frame.tag = fromUtf8(tag);
        frame.anchor = fromUtf8(anchor);
        frame.needsIdentity = needsIdentity() || !frame.anchor.isEmpty();
        m_stack.append(std::move(frame));
    }

    std::optional<YamlError> complete(const QString& identity, const QString& anchor)
    {
        if (!anchor.isEmpty())
            m_anchors.insert(anchor, identity);
        if (m_stack.isEmpty())
            return std::nullopt;
        Frame& parent = m_stack.last();
        if (parent.needsIdentity)
            parent.hash = (parent.hash ^ qHash(identity, 0x9e3779b9U)) * 1099511628211ULL;
        if (parent.isMapping) {
            if (parent.expectingKey) {
                if (parent.keys.contains(identity))
                    parent.hasDuplicateKey = true;
                else
                    parent.keys.insert(identity);
            }
            parent.expectingKey = !parent.expectingKey;
        }
        return std::nullopt;
    }

    int m_documents = 0;
    QHash<QString, QString> m_anchors;
    QList<Frame> m_stack;
};

std::optional<YamlError> parseYaml(const QByteArray& utf8)
{
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser))
        return YamlError { YamlError::Kind::Unknown, QStringLiteral("the parser could not start"),
            0, 0, 0 };
    yaml_parser_set_input_string(
        &parser, reinterpret_cast<const unsigned char*>(utf8.constData()), size_t(utf8.size()));
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);

    Composer composer;
    std::optional<YamlError> error;
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) {
            error = fromParser(parser);
            break;
        }
        const bool end = event.type == YAML_STREAM_END_EVENT;
        error = composer.handle(event);
        yaml_event_delete(&event);
        if (error || end)
            break;
    }
    yaml_parser_delete(&parser);
    return error;
}

} // namespace

std::optional<QString> YAMLValidator::extractFrontmatter(QStringView text)
{
    QStringList collected;
    bool opened = false;
    for (const textlines::LineBounds& bounds : textlines::Lines(text)) {
        const QStringView line = bounds.contents(text);
        const bool isMarker = trimWhitespace(line) == u"---";
        if (!opened) {
            if (!isMarker)
                return std::nullopt;
            opened = true;
        } else if (isMarker) {
            return collected.join(u'\n');
        } else {
            collected.append(line.toString());
        }
    }
    return std::nullopt;
}

YAMLValidator::ValidationResult YAMLValidator::validate(QStringView text)
{
    const std::optional<QString> frontmatter = extractFrontmatter(text);
    if (!frontmatter)
        return ValidationResult::noFrontmatter();
    if (frontmatter->trimmed().isEmpty())
        return ValidationResult::valid();
    const QByteArray utf8 = frontmatter->toUtf8();
    const std::optional<YamlError> error = parseYaml(utf8);
    if (!error)
        return ValidationResult::valid();
    return toResult(*error, utf8);
}

} // namespace quillon
