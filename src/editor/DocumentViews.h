#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>
#include <vector>

class QStackedWidget;
class QWidget;

namespace quillon {

class CodeEditorView;
class Document;
class UnifiedBlockEditor;
class WorkspaceState;

// The views of the open documents, the one place that decides which of them live. Each document
// shown lately keeps its block view and (once the source pane has been on screen with it) its
// source pane, each bound to it for life, in two stacks the window places in its editor area; the
// active document's views are the ones on top. Switching tabs loads, restyles and lays out
// nothing: the views already hold their document. A document whose tab closes loses its views at
// once; beyond keptDocuments() the views of the one shown longest ago go (keepList()).
//
// "Show this document at this line" is one call here: the document is opened or activated and
// the line handed to its views; a pane off screen takes it when it is next shown.
//
// Reads: the workspace's active document and its closing documents. Writes: openFile through
// show().
class DocumentViews : public QObject
{
    Q_OBJECT
public:
    // Documents whose views are kept, the active one included. A hidden 1 MB document's views
    // cost about a dozen megabytes; four keep switching among a handful of tabs instant.
    static constexpr int kKeptDocuments = 4;

    explicit DocumentViews(WorkspaceState& workspace, QObject* parent = nullptr);
    ~DocumentViews() override;

    // The two stacks, for the window to place (it takes them over).
    QStackedWidget* blocksStack() const { return m_blocksStack; }
    QStackedWidget* sourceStack() const { return m_sourceStack; }

    // Which panes the window shows: a pane not shown makes no views.
    void setPanesShown(bool blocks, bool source);
    void setDarkMode(bool dark);
    void setFontSize(qreal size);
    void setContentWidth(qreal width);

    // The active document's views; null where it has none (no tab, a pane never shown).
    UnifiedBlockEditor* blockEditor() const;
    CodeEditorView* sourceEditor() const;
    // The views of any document kept.
    UnifiedBlockEditor* blockEditorFor(const Document* document) const;
    CodeEditorView* sourceEditorFor(const Document* document) const;
    // The documents whose views are kept, the one shown last first.
    QList<const Document*> keptDocuments() const;

    // Opens (or activates) the document at `path` and shows `line` (1-based) in its views.
    void show(const QString& path, std::optional<int> line = std::nullopt);

    // The documents whose views stay: the `limit` shown most recently (`recentFirst` is in that
    // order) among those still open.
    static QList<const Document*> keepList(
        const QList<const Document*>& recentFirst, const QList<const Document*>& open, int limit);

Q_SIGNALS:
    // Other views are on top now (a switch of tabs, a pane shown for the first time).
    void shownViewsChanged();

private:
    struct ViewSet
    {
        Document* document = nullptr;
        QPointer<UnifiedBlockEditor> blocks;
        QPointer<CodeEditorView> source;
        // A line asked for while that pane was not on screen.
        std::optional<int> blocksLine;
        std::optional<int> sourceLine;
    };

    ViewSet* find(const Document* document) const;
    void showActive();
    // Makes the views the shown panes need and hands them lines that waited.
    void complete(ViewSet& set);
    void drop(Document* document);
    void dropBeyondLimit();
    void applyAppearance();

    WorkspaceState& m_workspace;
    QStackedWidget* m_blocksStack = nullptr;
    QStackedWidget* m_sourceStack = nullptr;
    QWidget* m_emptyBlocks = nullptr;
    QWidget* m_emptySource = nullptr;
    // Most recently shown first.
    std::vector<std::unique_ptr<ViewSet>> m_sets;
    bool m_blocksShown = true;
    bool m_sourceShown = true;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    qreal m_contentWidth = 720;
};

} // namespace quillon
