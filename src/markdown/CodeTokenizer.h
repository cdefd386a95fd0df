#pragma once

#include "markdown/TextRange.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace quillon {

// Classifies the text of one fenced code block into keyword, string, number and comment tokens.
// Stateless; never fails: what it cannot classify yields no token.
struct CodeTokenizer
{
    enum class Language { Bash, Json, Python, Javascript, Swift };
    enum class TokenKind { Keyword, String, Number, Comment };

    struct Token
    {
        TokenKind kind = TokenKind::Keyword;
        TextRange range; // UTF-16 units of the tokenized code text
        friend bool operator==(const Token&, const Token&) = default;
    };

    // Longer code texts are not tokenized at all, so a huge block costs nothing to colour.
    static constexpr qsizetype maximumLength = 20000;

    static const QList<Language>& allLanguages();
    // "bash", "json", "python", "javascript", "swift".
    static QString rawValue(Language language);
    // Exactly the five raw values, case-sensitive.
    static std::optional<Language> languageFromRawValue(QStringView rawValue);

    // The language a fence's info string names ("py", "TS", "shellsession", ...), if any.
    static std::optional<Language> language(QStringView infoString);

    // Tokens in ascending order of location, never overlapping.
    static QList<Token> tokenize(QStringView code, std::optional<Language> language);
};

} // namespace quillon
