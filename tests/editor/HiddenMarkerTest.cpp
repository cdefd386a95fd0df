// Hidden syntax markers must take no room and draw nothing while keeping their text positions, so
// that the caret, clicks and line breaking behave as if the markers were not there.
#include "editor/block/HiddenMarkerFormat.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>
#include <utility>
#include <vector>

using namespace quillon;

namespace {

using Span = std::pair<int, int>; // start, length within the first block

struct Editor
{
    std::unique_ptr<QTextEdit> view;

    Editor(const QString& text, const std::vector<Span>& hidden, int width = 420)
        : view(std::make_unique<QTextEdit>())
    {
        QFont base = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        base.setPixelSize(15);
        view->document()->setDefaultFont(base);
        view->document()->setDocumentMargin(0);
        view->setFrameShape(QFrame::NoFrame);
        view->setLineWrapMode(QTextEdit::FixedPixelWidth);
        view->setLineWrapColumnOrWidth(width);
        view->resize(width + 40, 300);
        view->setPlainText(text);
        QTextBlock block = view->document()->firstBlock();
        QList<QTextLayout::FormatRange> ranges;
        for (const auto& [start, length] : hidden)
            HiddenMarkerFormat::appendRanges(block.text(), start, length, ranges);
        block.layout()->setFormats(ranges);
        view->document()->markContentsDirty(block.position(), block.length());
        view->show();
        layout();
    }

    void layout() const
    {
        view->document()->documentLayout()->blockBoundingRect(view->document()->firstBlock());
    }
    QTextLayout* textLayout() const { return view->document()->firstBlock().layout(); }
    qreal x(int pos) const
    {
        QTextLayout* l = textLayout();
        return l->lineForTextPosition(pos).cursorToX(pos);
    }
    QImage render() const
    {
        const QSizeF size = view->document()->size();
        QImage image(size.toSize() + QSize(1, 1), QImage::Format_ARGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        view->document()->drawContents(&painter);
        return image;
    }
};

// Maps each visible character position of the marked text to its position in the plain text.
std::vector<std::pair<int, int>> visiblePositions(int length, const std::vector<Span>& hidden)
{
    std::vector<std::pair<int, int>> map;
    int plain = 0;
    for (int pos = 0; pos <= length; ++pos) {
        bool inside = false;
        for (const auto& [s, l] : hidden)
            inside = inside || (pos >= s && pos < s + l);
        if (!inside) {
            map.emplace_back(pos, plain);
            ++plain;
        }
    }
    return map;
}

struct Case
{
    const char* name;
    QString marked;
    std::vector<Span> hidden;
    QString plain;
};

std::vector<Case> cases()
{
    return {
        { "lineStart", QStringLiteral("# Title here"), { { 0, 2 } }, QStringLiteral("Title here") },
        { "midLine", QStringLiteral("a **bold** and _it_ word"),
            { { 2, 2 }, { 8, 2 }, { 15, 1 }, { 18, 1 } }, QStringLiteral("a bold and it word") },
        { "taskMarker", QStringLiteral("- [x] done"), { { 0, 6 } }, QStringLiteral("done") },
        { "linkSyntax", QStringLiteral("see [site](https://ex.org/x) now"),
            { { 4, 1 }, { 9, 2 }, { 11, 16 }, { 27, 1 } }, QStringLiteral("see site now") },
    };
}

} // namespace

TEST(HiddenMarker, CollapsedMarkersLeaveTheSameXPositionsAsTheTextWithoutThem)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        Editor marked(c.marked, c.hidden);
        Editor plain(c.plain, {});
        for (const auto& [m, p] : visiblePositions(c.marked.size(), c.hidden))
            EXPECT_NEAR(marked.x(m), plain.x(p), 0.01) << "marked position " << m;
        // Every position inside a hidden run sits where the run starts.
        for (const auto& [s, l] : c.hidden)
            for (int pos = s; pos <= s + l; ++pos)
                EXPECT_NEAR(marked.x(pos), marked.x(s), 0.01);
    }
}

TEST(HiddenMarker, LineHeightIsUnchanged)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        Editor marked(c.marked, c.hidden);
        Editor plain(c.plain, {});
        EXPECT_DOUBLE_EQ(
            marked.textLayout()->lineAt(0).height(), plain.textLayout()->lineAt(0).height());
        EXPECT_DOUBLE_EQ(
            marked.textLayout()->lineAt(0).ascent(), plain.textLayout()->lineAt(0).ascent());
    }
}

TEST(HiddenMarker, CollapsedMarkersDrawNothing)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Editor(c.marked, c.hidden).render(), Editor(c.plain, {}).render());
    }
}

TEST(HiddenMarker, WrappedParagraphBreaksWhereThePlainTextBreaks)
{
    QString marked;
    QString plain;
    std::vector<Span> hidden;
    for (int i = 0; i < 12; ++i) {
        hidden.push_back({ int(marked.size()), 2 });
        marked += QStringLiteral("**word%1** ").arg(i);
        plain += QStringLiteral("word%1 ").arg(i);
        hidden.push_back({ int(marked.size()) - 3, 2 });
    }
    Editor m(marked, hidden, 200);
    Editor p(plain, {}, 200);
    ASSERT_GT(p.textLayout()->lineCount(), 2);
    ASSERT_EQ(m.textLayout()->lineCount(), p.textLayout()->lineCount());
    const auto map = visiblePositions(marked.size(), hidden);
    for (int line = 0; line < p.textLayout()->lineCount(); ++line) {
        const QTextLine pl = p.textLayout()->lineAt(line);
        const QTextLine ml = m.textLayout()->lineAt(line);
        EXPECT_DOUBLE_EQ(ml.y(), pl.y());
        EXPECT_DOUBLE_EQ(ml.height(), pl.height());
        // The first visible character of each line is the same one.
        int firstVisible = ml.textStart();
        for (const auto& [s, l] : hidden)
            if (firstVisible == s)
                firstVisible += l;
        auto it = std::find_if(
            map.begin(), map.end(), [&](const auto& e) { return e.first == firstVisible; });
        ASSERT_NE(it, map.end());
        EXPECT_EQ(it->second, pl.textStart()) << "line " << line;
    }
    EXPECT_EQ(m.render(), p.render());
}

TEST(HiddenMarker, ClicksAndCaretLandOnVisibleText)
{
    // "a **bold** word": click in the middle of "bold" and right after it.
    const QString text = QStringLiteral("a **bold** word");
    Editor e(text, { { 2, 2 }, { 8, 2 } });
    Editor plain(QStringLiteral("a bold word"), {});
    const qreal lineMid = e.textLayout()->lineAt(0).height() / 2;

    // Between "o" and "l" of "bold" (plain positions 3..4 become marked 5..6).
    const int clickX = int((plain.x(3) + plain.x(4)) / 2 + 0.5);
    QTest::mouseClick(e.view->viewport(), Qt::LeftButton, {}, QPoint(clickX, int(lineMid)));
    const int pos = e.view->textCursor().position();
    EXPECT_TRUE(pos == 5 || pos == 6) << pos;

    // The caret drawn after the hidden opening marker stands where the marker starts.
    QTextCursor cursor(e.view->document());
    cursor.setPosition(4);
    e.view->setTextCursor(cursor);
    const QRect afterMarker = e.view->cursorRect();
    cursor.setPosition(2);
    e.view->setTextCursor(cursor);
    EXPECT_EQ(e.view->cursorRect().x(), afterMarker.x());
    EXPECT_EQ(e.view->cursorRect().height(), afterMarker.height());

    // A click at the very start of the line lands before the first character.
    QTest::mouseClick(e.view->viewport(), Qt::LeftButton, {}, QPoint(0, int(lineMid)));
    EXPECT_EQ(e.view->textCursor().position(), 0);
}
