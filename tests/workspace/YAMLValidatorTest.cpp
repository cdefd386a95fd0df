#include "workspace/YAMLValidator.h"

#include <QList>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace quillon {

namespace {

std::string describe(const YAMLValidator::ValidationResult& result)
{
    std::ostringstream stream;
    std::ostream* out = &stream;
    using Kind = YAMLValidator::ValidationResult::Kind;
    switch (result.kind) {
    case Kind::Valid:
        *out << "valid";
        break;
    case Kind::NoFrontmatter:
        *out << "noFrontmatter";
        break;
    case Kind::Invalid:
        *out << "invalid(\"" << result.error.toStdString() << "\", "
             << (result.line ? std::to_string(*result.line) : "-") << ", "
             << (result.column ? std::to_string(*result.column) : "-") << ")";
    }
    return stream.str();
}

using Result = YAMLValidator::ValidationResult;

struct Case
{
    const char* name;
    QString document;
    Result expected;
};

void expectResults(const QList<Case>& cases)
{
    for (const Case& c : cases) {
        const Result actual = YAMLValidator::validate(c.document);
        EXPECT_TRUE(actual == c.expected)
            << c.name << ": got " << describe(actual) << ", expected " << describe(c.expected);
    }
}

const QString kFailed = QStringLiteral("YAML validation failed");

TEST(YAMLFrontmatterBlock, FindsTheBlockAtTheTop)
{
    expectResults({
        { "no opening line", QStringLiteral("# Title\n---\na: 1\n---\n"), Result::noFrontmatter() },
        { "blank line before", QStringLiteral("\n---\na: 1\n---\n"), Result::noFrontmatter() },
        { "never closed", QStringLiteral("---\na: 1\n"), Result::noFrontmatter() },
        { "dots do not close", QStringLiteral("---\na: 1\n...\n"), Result::noFrontmatter() },
        { "blank front matter", QStringLiteral("---\n\n---\n"), Result::valid() },
        { "closing right after opening", QStringLiteral("---\n---"), Result::valid() },
        { "spaces around the markers", QStringLiteral("  ---\t\na: 1\n --- \nbody"),
            Result::valid() },
        { "text after the block is never parsed", QStringLiteral("---\na: 1\n---\nkey: : [\n---\n"),
            Result::valid() },
        { "empty document", QString(), Result::noFrontmatter() },
    });
    EXPECT_EQ(YAMLValidator::extractFrontmatter(u"---\r\na: 1\r\n\r\nb: 2\r\n---\r\n"),
        QStringLiteral("a: 1\n\nb: 2"));
}

TEST(YAMLParsing, LibraryErrorsCarryTheirPosition)
{
    expectResults({
        { "valid mapping", QStringLiteral("---\ntitle: Hello\ntags: [a, b]\n---\n"),
            Result::valid() },
        { "mapping value where none is allowed", QStringLiteral("---\na: 1\nb: c: d\n---\n"),
            Result::invalid(
                QStringLiteral("mapping values are not allowed in this context"), 2, 5) },
        { "CRLF keeps line numbers", QStringLiteral("---\r\na: 1\r\nb: c: d\r\n---\r\n"),
            Result::invalid(
                QStringLiteral("mapping values are not allowed in this context"), 2, 5) },
        { "unclosed flow sequence", QStringLiteral("---\nx: [1, 2\n---\n"),
            Result::invalid(QStringLiteral("did not find expected ',' or ']'"), 2, 1) },
        { "column counts code points", QStringLiteral("---\n\u00e9\u00e9: x: y\n---\n"),
            Result::invalid(
                QStringLiteral("mapping values are not allowed in this context"), 1, 6) },
    });
}

TEST(YAMLParsing, ReaderErrorsBecomeLineAndColumn)
{
    expectResults({
        { "control character", QStringLiteral("---\na: 1\nb: x\u0007y\n---\n"),
            Result::invalid(QStringLiteral("control characters are not allowed"), 2, 5) },
        { "control character after multibyte text",
            QStringLiteral("---\n\u6F22\u5B57: \u0001\n---\n"),
            Result::invalid(QStringLiteral("control characters are not allowed"), 1, 5) },
        { "control character in a CRLF document",
            QStringLiteral("---\r\na: 1\r\nb: x\u0007y\r\n---\r\n"),
            Result::invalid(QStringLiteral("control characters are not allowed"), 2, 5) },
        { "lone carriage returns each end a line", QStringLiteral("---\ra: 1\r\rb: \u0001\r---\r"),
            Result::invalid(QStringLiteral("control characters are not allowed"), 3, 4) },
    });
}

TEST(YAMLComposing, OneDocumentAndKnownAliases)
{
    expectResults({
        { "second document", QStringLiteral("---\na: 1\n--- b: 2\n---\n"),
            Result::invalid(QStringLiteral("but found another document"), 2, 1) },
        { "undefined alias", QStringLiteral("---\na: 1\nb: *nowhere\n---\n"),
            Result::invalid(QStringLiteral("found undefined alias"), 2, 4) },
        { "alias before its anchor", QStringLiteral("---\nb: *x\na: &x 1\n---\n"),
            Result::invalid(QStringLiteral("found undefined alias"), 1, 4) },
        { "anchors and merges",
            QStringLiteral("---\nbase: &base\n  a: 1\n  b: 2\nderived:\n  <<: *base\n  b: 3\n"
                           "list: [*base, *base]\n---\n"),
            Result::valid() },
    });
}

TEST(YAMLComposing, DuplicateKeysByTextAndResolvedTag)
{
    expectResults({
        { "same plain key", QStringLiteral("---\na: 1\na: 2\n---\n"), Result::invalid(kFailed) },
        { "int and quoted string differ", QStringLiteral("---\n1: a\n\"1\": b\n---\n"),
            Result::valid() },
        { "plain word and quoted word agree", QStringLiteral("---\nkey: a\n'key': b\n---\n"),
            Result::invalid(kFailed) },
        { "explicit str tag equals a quoted key", QStringLiteral("---\n!!str 1: a\n'1': b\n---\n"),
            Result::invalid(kFailed) },
        { "bool and string differ", QStringLiteral("---\ntrue: a\n\"true\": b\n---\n"),
            Result::valid() },
        { "different texts of one int differ", QStringLiteral("---\n1_000: a\n1000: b\n---\n"),
            Result::valid() },
        { "nested mapping", QStringLiteral("---\nouter:\n  x: 1\n  x: 2\n---\n"),
            Result::invalid(kFailed) },
        { "flow mapping", QStringLiteral("---\n{a: 1, a: 2}\n---\n"), Result::invalid(kFailed) },
        { "same key in sibling mappings", QStringLiteral("---\n- a: 1\n- a: 2\n---\n"),
            Result::valid() },
        { "alias key equals its anchor's text",
            QStringLiteral("---\nitems:\n  &k name: 1\n  *k : 2\n---\n"),
            Result::invalid(kFailed) },
        { "equal complex keys", QStringLiteral("---\n? [a, b]\n: 1\n? [a, b]\n: 2\n---\n"),
            Result::invalid(kFailed) },
        { "different complex keys", QStringLiteral("---\n? [a, b]\n: 1\n? [b, a]\n: 2\n---\n"),
            Result::valid() },
        { "a later syntax error wins over an open mapping's duplicate",
            QStringLiteral("---\na: 1\na: 2\nb: [\n---\n"),
            Result::invalid(QStringLiteral("did not find expected node content"), 4, 1) },
    });
}

TEST(YAMLValidation, LargeFrontMatterStaysValid)
{
    QString document = QStringLiteral("---\n");
    for (int i = 0; i < 2000; ++i)
        document += QStringLiteral("key%1: value %1\n").arg(i);
    document += QStringLiteral("---\n");
    EXPECT_EQ(YAMLValidator::validate(document), Result::valid());
}

} // namespace
} // namespace quillon
