#include "markdown/CodeTokenizer.h"

#include <QHash>

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quillon {

namespace {

using KeywordSet = std::unordered_set<std::u16string_view>;

struct Syntax
{
    QList<std::u16string_view> lineCommentPrefixes;
    std::u16string_view blockCommentStart;
    std::u16string_view blockCommentEnd;
    std::u16string_view stringDelimiters;
    bool allowsEscapes = true;
    bool hasBlockComments() const { return !blockCommentStart.empty(); }
};

// The one of the five that belongs to the language.
template <typename T>
const T& forLanguage(CodeTokenizer::Language language, const T& bash, const T& json,
    const T& python, const T& javascript, const T& swift)
{
    using L = CodeTokenizer::Language;
    switch (language) {
    case L::Bash:
        return bash;
    case L::Json:
        return json;
    case L::Python:
        return python;
    case L::Javascript:
        return javascript;
    case L::Swift:
        return swift;
    }
    return bash;
}

const Syntax& syntax(CodeTokenizer::Language language)
{
    static const Syntax bash { { u"#" }, {}, {}, u"\"'", true };
    static const Syntax json { { u"//" }, u"/*", u"*/", u"\"", true };
    static const Syntax python { { u"#" }, {}, {}, u"\"'", true };
    static const Syntax javascript { { u"//" }, u"/*", u"*/", u"\"'`", true };
    static const Syntax swift { { u"//" }, u"/*", u"*/", u"\"", true };
    return forLanguage(language, bash, json, python, javascript, swift);
}

const KeywordSet& keywords(CodeTokenizer::Language language)
{
    static const KeywordSet bash { u"if", u"then", u"else", u"elif", u"fi", u"for", u"while",
        u"until", u"do", u"done", u"case", u"esac", u"in", u"function", u"return", u"local",
        u"export", u"readonly", u"declare", u"unset", u"shift", u"source", u"alias", u"set",
        u"trap", u"exit", u"echo", u"cd", u"eval", u"exec", u"break", u"continue" };
    static const KeywordSet json { u"true", u"false", u"null" };
    static const KeywordSet python { u"and", u"as", u"assert", u"async", u"await", u"break",
        u"class", u"continue", u"def", u"del", u"elif", u"else", u"except", u"finally", u"for",
        u"from", u"global", u"if", u"import", u"in", u"is", u"lambda", u"nonlocal", u"not", u"or",
        u"pass", u"raise", u"return", u"try", u"while", u"with", u"yield", u"True", u"False",
        u"None", u"self", u"match", u"case" };
    static const KeywordSet javascript { u"async", u"await", u"break", u"case", u"catch", u"class",
        u"const", u"continue", u"debugger", u"default", u"delete", u"do", u"else", u"export",
        u"extends", u"finally", u"for", u"function", u"if", u"import", u"in", u"instanceof", u"let",
        u"new", u"of", u"return", u"static", u"super", u"switch", u"this", u"throw", u"try",
        u"typeof", u"var", u"void", u"while", u"with", u"yield", u"true", u"false", u"null",
        u"undefined", u"interface", u"type", u"enum", u"implements", u"declare", u"namespace",
        u"readonly", u"as", u"public", u"private", u"protected", u"abstract", u"satisfies" };
    static const KeywordSet swift { u"associatedtype", u"class", u"deinit", u"enum", u"extension",
        u"fileprivate", u"func", u"import", u"init", u"inout", u"internal", u"let", u"open",
        u"operator", u"private", u"protocol", u"public", u"rethrows", u"static", u"struct",
        u"subscript", u"typealias", u"var", u"break", u"case", u"continue", u"default", u"defer",
        u"do", u"else", u"fallthrough", u"for", u"guard", u"if", u"in", u"repeat", u"return",
        u"switch", u"where", u"while", u"as", u"Any", u"catch", u"false", u"is", u"nil", u"super",
        u"self", u"Self", u"throw", u"throws", u"true", u"try", u"async", u"await", u"some",
        u"lazy", u"weak", u"unowned", u"override", u"final", u"mutating", u"nonisolated",
        u"actor" };
    return forLanguage(language, bash, json, python, javascript, swift);
}

const std::unordered_map<std::u16string_view, CodeTokenizer::Language>& aliases()
{
    using L = CodeTokenizer::Language;
    static const std::unordered_map<std::u16string_view, L> map { { u"bash", L::Bash },
        { u"sh", L::Bash }, { u"shell", L::Bash }, { u"zsh", L::Bash }, { u"console", L::Bash },
        { u"shellsession", L::Bash }, { u"json", L::Json }, { u"jsonc", L::Json },
        { u"json5", L::Json }, { u"python", L::Python }, { u"py", L::Python },
        { u"python3", L::Python }, { u"javascript", L::Javascript }, { u"js", L::Javascript },
        { u"jsx", L::Javascript }, { u"node", L::Javascript }, { u"typescript", L::Javascript },
        { u"ts", L::Javascript }, { u"tsx", L::Javascript }, { u"swift", L::Swift } };
    return map;
}

std::u16string_view toStd(QStringView view)
{
    return { view.utf16(), static_cast<size_t>(view.size()) };
}

constexpr bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
constexpr bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
constexpr bool isWordStart(char16_t c)
{
    return isAsciiLetter(c) || c == u'_' || c == u'$';
}
constexpr bool isWordPart(char16_t c)
{
    return isWordStart(c) || isAsciiDigit(c);
}

} // namespace

const QList<CodeTokenizer::Language>& CodeTokenizer::allLanguages()
{
    static const QList<Language> all { Language::Bash, Language::Json, Language::Python,
        Language::Javascript, Language::Swift };
    return all;
}

QString CodeTokenizer::rawValue(Language language)
{
    switch (language) {
    case Language::Bash:
        return QStringLiteral("bash");
    case Language::Json:
        return QStringLiteral("json");
    case Language::Python:
        return QStringLiteral("python");
    case Language::Javascript:
        return QStringLiteral("javascript");
    case Language::Swift:
        return QStringLiteral("swift");
    }
    return {};
}

std::optional<CodeTokenizer::Language> CodeTokenizer::languageFromRawValue(QStringView raw)
{
    for (Language language : allLanguages()) {
        if (raw == rawValue(language))
            return language;
    }
    return std::nullopt;
}

std::optional<CodeTokenizer::Language> CodeTokenizer::language(QStringView infoString)
{
    const QString info = infoString.trimmed().toString().toLower();
    // Only blanks split the name from the rest; a tab stays part of the name.
    const qsizetype blank = info.indexOf(u' ');
    const QStringView first = blank < 0 ? QStringView(info) : QStringView(info).left(blank);
    if (first.isEmpty())
        return std::nullopt;
    const auto& map = aliases();
    const auto found = map.find(toStd(first));
    if (found == map.end())
        return std::nullopt;
    return found->second;
}

QList<CodeTokenizer::Token> CodeTokenizer::tokenize(
    QStringView code, std::optional<Language> language)
{
    QList<Token> tokens;
    const qsizetype n = code.size();
    if (!language || n == 0 || n > maximumLength)
        return tokens;

    const Syntax& rules = syntax(*language);
    const KeywordSet& words = keywords(*language);
    const char16_t* text = code.utf16();
    const std::u16string_view all(text, static_cast<size_t>(n));
    auto startsWith = [&](qsizetype p, std::u16string_view prefix) {
        return all.substr(static_cast<size_t>(p)).starts_with(prefix);
    };
    auto emit = [&](TokenKind kind, qsizetype from, qsizetype to) {
        tokens.append(Token { kind, TextRange { from, to - from } });
    };

    qsizetype p = 0;
    while (p < n) {
        const char16_t c = text[p];

        bool isLineComment = false;
        for (std::u16string_view prefix : rules.lineCommentPrefixes) {
            if (startsWith(p, prefix)) {
                isLineComment = true;
                break;
            }
        }
        if (isLineComment) {
            const size_t lineFeed = all.find(u'\n', static_cast<size_t>(p));
            const qsizetype end
                = lineFeed == std::u16string_view::npos ? n : static_cast<qsizetype>(lineFeed);
            emit(TokenKind::Comment, p, end);
            p = end;
            continue;
        }

        if (rules.hasBlockComments() && startsWith(p, rules.blockCommentStart)) {
            const size_t close = all.find(
                rules.blockCommentEnd, static_cast<size_t>(p) + rules.blockCommentStart.size());
            const qsizetype end = close == std::u16string_view::npos
                ? n
                : static_cast<qsizetype>(close + rules.blockCommentEnd.size());
            emit(TokenKind::Comment, p, end);
            p = end;
            continue;
        }

        if (!QChar::isSurrogate(c) && rules.stringDelimiters.find(c) != std::u16string_view::npos) {
            const bool escapes
                = rules.allowsEscapes && !(*language == Language::Bash && c == u'\'');
            qsizetype q = p + 1;
            while (q < n) {
                const char16_t u = text[q];
                if (u == u'\n')
                    break;
                if (u == u'\\' && escapes) {
                    q += 2;
                    continue;
                }
                ++q;
                if (u == c)
                    break;
            }
            q = qMin(q, n);
            emit(TokenKind::String, p, q);
            p = q;
            continue;
        }

        if (isAsciiDigit(c) && (p == 0 || !isWordPart(text[p - 1]))) {
            qsizetype q = p + 1;
            while (q < n && (isAsciiDigit(text[q]) || text[q] == u'.'))
                ++q;
            if (q == n || !isWordStart(text[q])) {
                emit(TokenKind::Number, p, q);
                p = q;
                continue;
            }
        }

        if (isWordStart(c)) {
            qsizetype q = p + 1;
            while (q < n && isWordPart(text[q]))
                ++q;
            if (words.contains(all.substr(static_cast<size_t>(p), static_cast<size_t>(q - p))))
                emit(TokenKind::Keyword, p, q);
            p = q;
            continue;
        }
        ++p;
    }
    return tokens;
}

} // namespace quillon
