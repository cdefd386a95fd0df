#pragma once

// Large Markdown documents for the editor benchmarks: a generated one of uniform sections, and
// one assembled from the shapes real documents are made of (API references, READMEs, notes).

#include <QString>
#include <QStringList>

namespace quillon::bench {

// About `bytes` of Markdown with `tables` pipe tables and as many fenced code blocks spread
// through prose, lists, quotes and inline styling.
inline QString generatedDocument(qsizetype bytes, int tables)
{
    QString doc;
    doc.reserve(bytes + 4096);
    int section = 0;
    const qsizetype perSection = bytes / tables;
    while (doc.size() < bytes) {
        const qsizetype sectionEnd = qsizetype(section + 1) * perSection;
        doc += QStringLiteral("## Section %1\n\n").arg(section);
        doc += QStringLiteral("| Name | Value | Notes |\n|------|:-----:|------:|\n");
        for (int r = 0; r < 5; ++r)
            doc += QStringLiteral("| row %1 | %2 | some *note* |\n").arg(r).arg(r * section);
        doc += QStringLiteral("\n```cpp\nint f(int x) {\n    return x * 2; // twice\n}\n```\n\n");
        while (doc.size() < sectionEnd) {
            doc += QStringLiteral("A paragraph with **bold**, *italic*, `code` and a "
                                  "[link](https://example.org/page) that runs on for a while "
                                  "so that it wraps in the editor's column.\n\n"
                                  "- first item\n- [ ] open task\n- [x] done task\n\n"
                                  "> A quoted line.\n\nA line with left | right pipes "
                                  "that is no table.\n\n");
        }
        ++section;
    }
    return doc;
}

// About `bytes` of Markdown as real documents are written: headings of every level, many short
// fenced blocks in several languages, long flat lists, nested lists with continuation lines,
// reference links and their definitions, HTML blocks, an occasional table and front matter.
inline QString realShapesDocument(qsizetype bytes)
{
    static const QStringList languages { QStringLiteral("bash"), QStringLiteral("json"),
        QStringLiteral("python"), QStringLiteral("cpp"), QStringLiteral(""),
        QStringLiteral("yaml") };
    QString doc;
    doc.reserve(bytes + 8192);
    doc += QStringLiteral("---\ntitle: Reference\nversion: 2\n---\n\n# Reference manual\n\n");
    for (int part = 0; doc.size() < bytes; ++part) {
        doc += QStringLiteral("## Endpoint group %1\n\n").arg(part);
        doc += QStringLiteral("Calls of this group take an [access token][token-%1] and answer "
                              "in JSON; see the [overview](#overview) and <https://example.org/"
                              "group/%1>.\n\n")
                   .arg(part);
        for (int call = 0; call < 6; ++call) {
            doc += QStringLiteral("### `GET /v1/items/%1/%2`\n\n").arg(part).arg(call);
            doc += QStringLiteral("Returns the item. The `limit` parameter caps the answer; "
                                  "__deprecated__ fields are left out.\n\n");
            const QString language = languages.at((part + call) % languages.size());
            doc += QStringLiteral("```%1\ncurl -H 'Authorization: x' https://api.example.org/"
                                  "v1/items/%2\n```\n\n")
                       .arg(language)
                       .arg(call);
            doc += QStringLiteral("#### Parameters\n\n");
            for (int p = 0; p < 5; ++p)
                doc += QStringLiteral("- `param%1` (*string*): what it selects, with a "
                                      "**default** of `none`.\n")
                           .arg(p);
            doc += QStringLiteral("\n##### Answer\n\n```json\n{ \"id\": %1, \"name\": \"item\" }"
                                  "\n```\n\n")
                       .arg(call);
        }
        doc += QStringLiteral("###### Notes\n\n");
        doc += QStringLiteral("1. First step\n   continued on a second line of the item\n"
                              "   - nested point\n     with its own continuation\n"
                              "   - [ ] nested task\n2. Second step\n\n"
                              "   An indented paragraph that belongs to the second step.\n\n");
        doc += QStringLiteral("<details>\n<summary>Raw answer</summary>\n\n<pre>\nid=%1\n</pre>\n"
                              "</details>\n\n")
                   .arg(part);
        doc += QStringLiteral("> **Note:** quotas apply; see _limits_.\n\n");
        if (part % 10 == 0)
            doc += QStringLiteral("| Code | Meaning |\n|------|---------|\n| 200 | ok |\n"
                                  "| 404 | missing |\n\n");
        doc += QStringLiteral("[token-%1]: https://example.org/tokens/%1 \"Tokens\"\n\n").arg(part);
    }
    return doc;
}

// About `bytes` of Markdown on one single line, with inline styling all along it.
inline QString oneLineDocument(qsizetype bytes)
{
    const QString phrase = QStringLiteral("Words with **bold**, *italic*, `code` and a "
                                          "[link](https://example.org/page) on one long line. ");
    QString doc;
    doc.reserve(bytes + phrase.size());
    while (doc.size() < bytes)
        doc += phrase;
    return doc;
}

// About `bytes` of notes dense with small tables: a table of two to five columns and two to four
// rows after every few hundred bytes of prose. Without `withTables` the same lines stand as
// paragraphs (their delimiter rows are no delimiters), so the two differ only in their tables.
inline QString tableDenseDocument(qsizetype bytes, bool withTables)
{
    QString doc;
    doc.reserve(bytes + 1024);
    for (int note = 0; doc.size() < bytes; ++note) {
        doc += QStringLiteral("### Note %1\n\nMet with the *team* about item %1; the figures "
                              "below are from `report-%1`.\n\n")
                   .arg(note);
        const int columns = 2 + note % 4;
        const int rows = 2 + note % 3;
        QString header = QStringLiteral("|");
        QString delimiter = QStringLiteral("|");
        for (int c = 0; c < columns; ++c) {
            header += QStringLiteral(" Col %1 |").arg(c);
            delimiter += withTables ? QStringLiteral("------|") : QStringLiteral(" .... |");
        }
        doc += header + QLatin1Char('\n') + delimiter + QLatin1Char('\n');
        for (int r = 0; r < rows; ++r) {
            doc += QLatin1Char('|');
            for (int c = 0; c < columns; ++c)
                doc += QStringLiteral(" %1 |").arg(note * 7 + r * 3 + c);
            doc += QLatin1Char('\n');
        }
        doc += QStringLiteral("\n- follow up on **%1**\n- [ ] check the totals\n\n").arg(note);
    }
    return doc;
}

} // namespace quillon::bench
