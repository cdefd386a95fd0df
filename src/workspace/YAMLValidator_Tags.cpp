#include "workspace/YAMLValidator_Tags.h"

#include <QRegularExpression>
#include <QSet>

namespace quillon::yamltags {

namespace {

struct Rule
{
    const char* tag;
    const char* pattern;
};

// In order: the first pattern that matches the whole text decides.
constexpr Rule kRules[] = {
    { "tag:yaml.org,2002:null", R"(~|null|Null|NULL|)" },
    { "tag:yaml.org,2002:bool",
        R"(yes|Yes|YES|no|No|NO|true|True|TRUE|false|False|FALSE|on|On|ON|off|Off|OFF|y|Y|n|N)" },
    { "tag:yaml.org,2002:int",
        R"([-+]?0b[0-1_]+|[-+]?0[0-7_]+|[-+]?(?:0|[1-9][0-9_]*)|[-+]?0x[0-9a-fA-F_]+)"
        R"(|[-+]?[1-9][0-9_]*(?::[0-5]?[0-9])+)" },
    { "tag:yaml.org,2002:float",
        R"([-+]?(?:[0-9][0-9_]*)\.[0-9_]*(?:[eE][-+]?[0-9]+)?|[-+]?(?:[0-9][0-9_]*)(?:[eE][-+]?[0-9]+))"
        R"(|\.[0-9_]+(?:[eE][-+]?[0-9]+)?|[-+]?[0-9][0-9_]*(?::[0-5]?[0-9])+\.[0-9_]*)"
        R"(|[-+]?\.(?:inf|Inf|INF)|\.(?:nan|NaN|NAN))" },
    { "tag:yaml.org,2002:merge", R"(<<)" },
    { "tag:yaml.org,2002:timestamp",
        R"([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])"
        R"(|[0-9][0-9][0-9][0-9]-[0-9][0-9]?-[0-9][0-9]?(?:[Tt]|[ \t]+)[0-9][0-9]?)"
        R"(:[0-9][0-9]:[0-9][0-9](?:\.[0-9]*)?(?:[ \t]*(?:Z|[-+][0-9][0-9]?(?::[0-9][0-9])?))?)" },
};

struct CompiledRule
{
    QString tag;
    QRegularExpression expression;
};

QList<CompiledRule> compileRules()
{
    QList<CompiledRule> compiled;
    for (const Rule& rule : kRules) {
        compiled.append({ QString::fromLatin1(rule.tag),
            QRegularExpression(
                QRegularExpression::anchoredPattern(QString::fromLatin1(rule.pattern))) });
    }
    return compiled;
}

} // namespace

QString resolvePlainScalar(QStringView value)
{
    static const QString null = QStringLiteral("tag:yaml.org,2002:null");
    static const QString boolean = QStringLiteral("tag:yaml.org,2002:bool");
    if (value.isEmpty() || value == u"~")
        return null;
    if (value == u"<<")
        return QStringLiteral("tag:yaml.org,2002:merge");
    const QChar first = value[0];
    if (first.isLetter()) {
        // Words are strings unless they are one of the null or Boolean spellings.
        static const QSet<QString> nulls { QStringLiteral("null"), QStringLiteral("Null"),
            QStringLiteral("NULL") };
        static const QSet<QString> booleans { QStringLiteral("yes"), QStringLiteral("Yes"),
            QStringLiteral("YES"), QStringLiteral("no"), QStringLiteral("No"), QStringLiteral("NO"),
            QStringLiteral("true"), QStringLiteral("True"), QStringLiteral("TRUE"),
            QStringLiteral("false"), QStringLiteral("False"), QStringLiteral("FALSE"),
            QStringLiteral("on"), QStringLiteral("On"), QStringLiteral("ON"), QStringLiteral("off"),
            QStringLiteral("Off"), QStringLiteral("OFF"), QStringLiteral("y"), QStringLiteral("Y"),
            QStringLiteral("n"), QStringLiteral("N") };
        if (value.size() > 5)
            return kString;
        const QString word = value.toString();
        if (nulls.contains(word))
            return null;
        if (booleans.contains(word))
            return boolean;
        return kString;
    }
    if (!(first.isDigit() || first == u'-' || first == u'+' || first == u'.'))
        return kString;
    // A regular expression compiles lazily on first use; one set per thread keeps that race-free.
    thread_local const QList<CompiledRule> rules = compileRules();
    for (const CompiledRule& rule : rules) {
        if (rule.expression.match(value).hasMatch())
            return rule.tag;
    }
    return kString;
}

} // namespace quillon::yamltags
