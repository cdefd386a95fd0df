#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace quillon {

// Checks a Markdown document's YAML front matter (a first line "---", YAML, a closing "---").
// Pure; safe on any thread.
struct YAMLValidator
{
    struct ValidationResult
    {
        enum class Kind {
            Invalid, // error, line, column
            Valid, // the front matter parses, or it is blank
            NoFrontmatter, // the document has no front-matter block
        };

        Kind kind = Kind::NoFrontmatter;
        QString error;
        // Count from 1 within the front matter (its line 1 is the document's second line);
        // columns count Unicode code points.
        std::optional<int> line;
        std::optional<int> column;

        static ValidationResult invalid(
            const QString& error, std::optional<int> line = {}, std::optional<int> column = {})
        {
            ValidationResult r;
            r.kind = Kind::Invalid;
            r.error = error;
            r.line = line;
            r.column = column;
            return r;
        }
        static ValidationResult valid()
        {
            ValidationResult r;
            r.kind = Kind::Valid;
            return r;
        }
        static ValidationResult noFrontmatter() { return {}; }

        bool isInvalid() const { return kind == Kind::Invalid; }

        // Equal when the cases and their own values are equal.
        bool operator==(const ValidationResult& other) const
        {
            if (kind != other.kind)
                return false;
            if (kind != Kind::Invalid)
                return true;
            return error == other.error && line == other.line && column == other.column;
        }
    };

    static ValidationResult validate(QStringView text);

    // The text between the opening and closing "---" lines, joined with "\n"; no value when the
    // document has no front matter.
    static std::optional<QString> extractFrontmatter(QStringView text);
};

} // namespace quillon
