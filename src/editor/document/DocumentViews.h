#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QStackedWidget;
class QWidget;

namespace quillon {

class CodeEditorView;
class Document;
class DocumentFind;
class UnifiedBlockEditor;
class WorkspaceState;

// The views of the open documents, the one place that decides which of them live. Each document
// shown lately keeps its block view and (once the source pane has been on screen with it) its
// source pane, each bound to it for life, in two stacks the window places in its editor area; the
// active document's views are the ones on top. Switching tabs loads, restyles and lays out
// nothing: the views already hold their document. A document whose tab closes loses its views at
// once; beyond kKeptDocuments, or beyond kKeptTextBudget of hidden text, the views of the ones
// shown longest ago go (keepList()). What they held is handed back to the system once the
// closing or switching has paused for kGiveBackDelay.
//
// "Show this document at this line" is one call here: the document is opened or activated and
// the line handed to its views; a pane off screen takes it when it is next shown. Whenever
// another document is shown, its editor takes the keys (focusEditor()).
//
// Each kept document has one find model, which its views paint from; only the one on top
// searches.
//
// Reads: the workspace's active document and its closing documents. Writes: openFile through
// show().
class DocumentViews : public QObject
{
    Q_OBJECT
public:
    // Documents whose views are kept, the active one included: four keep switching among a
    // handful of tabs instant.
    static constexpr int kKeptDocuments = 4;
    // The hidden ones among them keep their views while their texts add up to no more than this
    // (UTF-16 units). Views cost about 22 MB per megabyte of text (measured with both panes), so
    // the hidden views of a few ordinary documents all stay, and those of a very long one go
    // as soon as it is hidden.
    static constexpr qsizetype kKeptTextBudget = 4 * 1024 * 1024;
    // Documents closed or views dropped less than this apart make one burst; what they held
    // goes back to the system this long after the last.
    static constexpr int kGiveBackDelay = 400; // ms

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

    // Opens (or activates) the document at `path`, shows `line` (1-based) in its views and gives
    // them the keys.
    void show(const QString& path, std::optional<int> line = std::nullopt);
    // Gives the keys to the active document's editor: of the panes shown, the one that had them
    // last for this document; for a document not typed in yet, the pane that had them for the
    // one shown before, else the block view.
    void focusEditor();

    // The documents whose views stay: the `limit` shown most recently (`recentFirst` is in that
    // order) among those still open; of the hidden ones (all but the first), only as many as
    // fit in `budget` by `sizeOf`.
    static QList<const Document*> keepList(const QList<const Document*>& recentFirst,
        const QList<const Document*>& open, int limit, qsizetype budget,
        const std::function<qsizetype(const Document*)>& sizeOf);

Q_SIGNALS:
    // Other views are on top now (a switch of tabs, a pane shown for the first time).
    void shownViewsChanged();

private:
    struct ViewSet
    {
        ViewSet(Document& document, WorkspaceState& workspace);
        ~ViewSet();
        Document* document = nullptr;
        // Find in the document, for both its views; made before them, so that it hears of a
        // change of the document first.
        std::unique_ptr<DocumentFind> find;
        QPointer<UnifiedBlockEditor> blocks;
        QPointer<CodeEditorView> source;
        // A line asked for while that pane was not on screen.
        std::optional<int> blocksLine;
        std::optional<int> sourceLine;
        // Which pane had the keys last, once one has had them.
        std::optional<bool> sourceHadFocus;
    };

    ViewSet* find(const Document* document) const;
    void showActive();
    // Makes the views the shown panes need and hands them lines that waited.
    void complete(ViewSet& set);
    void drop(Document* document);
    void dropBeyondLimit();
    void applyAppearance();
    void noteFocus(QWidget* now);
    // The pane of `set` that takes the keys.
    QWidget* editorToFocus(const ViewSet& set, bool sourceByDefault) const;

    WorkspaceState& m_workspace;
    QStackedWidget* m_blocksStack = nullptr;
    QStackedWidget* m_sourceStack = nullptr;
    QWidget* m_emptyBlocks = nullptr;
    QWidget* m_emptySource = nullptr;
    // Most recently shown first.
    std::vector<std::unique_ptr<ViewSet>> m_sets;
    const Document* m_shownDocument = nullptr; // whose views are on top
    bool m_switching = false; // the stacks are showing other views
    bool m_keysLeftHiddenPane = false; // the pane with the keys was just hidden
    bool m_blocksShown = true;
    bool m_sourceShown = true;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    qreal m_contentWidth = 720;
    QTimer m_giveBackTimer;
};

} // namespace quillon
