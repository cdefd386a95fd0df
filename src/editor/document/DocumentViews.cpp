#include "editor/document/DocumentViews.h"

#include "editor/block/UnifiedBlockEditor.h"
#include "editor/document/DocumentFind.h"
#include "editor/document/FlagScope.h"
#include "editor/source/CodeEditorView.h"
#include "platform/FreedMemory.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QStackedWidget>

#include <algorithm>

namespace quillon {

DocumentViews::DocumentViews(WorkspaceState& workspace, QObject* parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_blocksStack(new QStackedWidget)
    , m_sourceStack(new QStackedWidget)
    , m_emptyBlocks(new QWidget)
    , m_emptySource(new QWidget)
    , m_fontSize(workspace.editorFontSize())
{
    m_blocksStack->setObjectName(QStringLiteral("blocksStack"));
    m_sourceStack->setObjectName(QStringLiteral("sourceStack"));
    m_blocksStack->addWidget(m_emptyBlocks);
    m_sourceStack->addWidget(m_emptySource);
    connect(&workspace, &WorkspaceState::activeTabURLChanged, this, &DocumentViews::showActive);
    connect(&workspace, &WorkspaceState::documentClosing, this, &DocumentViews::drop);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // A pane hidden by a change of the view mode passes the keys to whatever field comes
        // next; they go back to the pane left shown once the panes are set.
        m_keysLeftHiddenPane = old && !m_switching && !old->isVisible()
            && (m_blocksStack->isAncestorOf(old) || m_sourceStack->isAncestorOf(old));
        noteFocus(now);
    });
    // The allocator keeps what views free for itself; after a burst of closes (the document of
    // a closed tab goes on the turn after its views) it is handed back in one heap walk.
    m_giveBackTimer.setSingleShot(true);
    m_giveBackTimer.setInterval(kGiveBackDelay);
    connect(&m_giveBackTimer, &QTimer::timeout, this, [] { FreedMemory::giveBack(); });
    showActive();
}

DocumentViews::~DocumentViews()
{
    // The views go before the documents they show.
    for (const auto& set : m_sets) {
        delete set->blocks.data();
        delete set->source.data();
    }
}

DocumentViews::ViewSet::ViewSet(Document& document, WorkspaceState& workspace)
    : document(&document)
    , find(std::make_unique<DocumentFind>(document, workspace))
{
}

DocumentViews::ViewSet::~ViewSet() = default;

DocumentViews::ViewSet* DocumentViews::find(const Document* document) const
{
    for (const auto& set : m_sets)
        if (set->document == document)
            return set.get();
    return nullptr;
}

UnifiedBlockEditor* DocumentViews::blockEditorFor(const Document* document) const
{
    const ViewSet* set = document ? find(document) : nullptr;
    return set ? set->blocks.data() : nullptr;
}

CodeEditorView* DocumentViews::sourceEditorFor(const Document* document) const
{
    const ViewSet* set = document ? find(document) : nullptr;
    return set ? set->source.data() : nullptr;
}

UnifiedBlockEditor* DocumentViews::blockEditor() const
{
    return blockEditorFor(m_workspace.activeDocument());
}

CodeEditorView* DocumentViews::sourceEditor() const
{
    return sourceEditorFor(m_workspace.activeDocument());
}

QList<const Document*> DocumentViews::keptDocuments() const
{
    QList<const Document*> kept;
    for (const auto& set : m_sets)
        kept.append(set->document);
    return kept;
}

QList<const Document*> DocumentViews::keepList(const QList<const Document*>& recentFirst,
    const QList<const Document*>& open, int limit, qsizetype budget,
    const std::function<qsizetype(const Document*)>& sizeOf)
{
    QList<const Document*> kept;
    qsizetype hidden = 0;
    for (const Document* document : recentFirst) {
        if (kept.size() >= limit)
            break;
        if (!open.contains(document))
            continue;
        if (document != recentFirst.first()) {
            hidden += sizeOf(document);
            if (hidden > budget)
                break;
        }
        kept.append(document);
    }
    return kept;
}

void DocumentViews::setPanesShown(bool blocks, bool source)
{
    m_blocksShown = blocks;
    m_sourceShown = source;
    showActive();
    if (std::exchange(m_keysLeftHiddenPane, false))
        focusEditor();
}

void DocumentViews::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    applyAppearance();
}

void DocumentViews::setFontSize(qreal size)
{
    m_fontSize = size;
    applyAppearance();
}

void DocumentViews::setContentWidth(qreal width)
{
    m_contentWidth = width;
    applyAppearance();
}

void DocumentViews::applyAppearance()
{
    // The views on screen take it now; those of hidden tabs when they are shown again, so that a
    // change of theme restyles one document, not every one kept.
    if (m_sets.empty() || m_sets.front()->document != m_workspace.activeDocument())
        return;
    ViewSet& set = *m_sets.front();
    if (set.blocks) {
        set.blocks->setContentWidth(m_contentWidth);
        set.blocks->setDarkMode(m_isDarkMode);
        set.blocks->setFontSize(m_fontSize);
    }
    if (set.source) {
        set.source->setDarkMode(m_isDarkMode);
        set.source->setFontSize(m_fontSize);
    }
}

void DocumentViews::show(const QString& path, std::optional<int> line)
{
    m_workspace.openFile(path);
    Document* document = m_workspace.activeDocument();
    ViewSet* set = document ? find(document) : nullptr;
    if (!set)
        return;
    if (line) {
        // A pane off screen takes the line when it is next shown, for its own document.
        set->blocksLine = line;
        set->sourceLine = line;
        complete(*set);
    }
    // Also when the document was shown already: the keys leave whatever asked for it.
    focusEditor();
}

void DocumentViews::noteFocus(QWidget* now)
{
    // While views are switched, the keys pass from a pane going off screen to whichever field
    // comes next: that is nobody's choice.
    if (!now || m_switching)
        return;
    for (const auto& set : m_sets) {
        if (set->source && set->source->isAncestorOf(now))
            set->sourceHadFocus = true;
        else if (set->blocks && set->blocks->isAncestorOf(now))
            set->sourceHadFocus = false;
    }
}

QWidget* DocumentViews::editorToFocus(const ViewSet& set, bool sourceByDefault) const
{
    const bool blocks = m_blocksShown && set.blocks;
    const bool source = m_sourceShown && set.source;
    if (blocks && source && set.sourceHadFocus.value_or(sourceByDefault))
        return set.source->textView();
    if (blocks)
        return set.blocks->textView();
    if (source)
        return set.source->textView();
    return nullptr;
}

void DocumentViews::focusEditor()
{
    const Document* document = m_workspace.activeDocument();
    const ViewSet* set = document ? find(document) : nullptr;
    QWidget* editor = set ? editorToFocus(*set, false) : nullptr;
    // Given also while the window is hidden or not yet shown: the window hands the keys to it
    // when it becomes active.
    if (editor && !editor->hasFocus())
        editor->setFocus(Qt::OtherFocusReason);
}

void DocumentViews::complete(ViewSet& set)
{
    if (m_blocksShown && !set.blocks) {
        auto* blocks = new UnifiedBlockEditor(
            *set.document, m_workspace, m_isDarkMode, nullptr, set.find.get());
        m_blocksStack->addWidget(blocks);
        set.blocks = blocks;
    }
    if (m_sourceShown && !set.source) {
        auto* source
            = new CodeEditorView(*set.document, m_workspace, m_isDarkMode, nullptr, set.find.get());
        m_sourceStack->addWidget(source);
        set.source = source;
    }
    if (m_blocksShown && set.blocks && set.blocksLine)
        set.blocks->scrollToLine(*std::exchange(set.blocksLine, std::nullopt));
    if (m_sourceShown && set.source && set.sourceLine)
        set.source->scrollToLine(*std::exchange(set.sourceLine, std::nullopt));
}

void DocumentViews::showActive()
{
    Document* document = m_workspace.activeDocument();
    QWidget* focus = QApplication::focusWidget();
    const bool blocksHadFocus = focus && m_blocksStack->isAncestorOf(focus);
    const bool sourceHadFocus = focus && m_sourceStack->isAncestorOf(focus);

    ViewSet* shown = nullptr;
    if (document) {
        auto it = std::find_if(m_sets.begin(), m_sets.end(),
            [document](const auto& set) { return set->document == document; });
        if (it == m_sets.end()) {
            auto set = std::make_unique<ViewSet>(*document, m_workspace);
            m_sets.insert(m_sets.begin(), std::move(set));
        } else {
            std::rotate(m_sets.begin(), it, it + 1);
        }
        shown = m_sets.front().get();
        complete(*shown);
        applyAppearance();
    }
    for (const auto& set : m_sets) {
        const bool front = set.get() == shown;
        set->find->setActive(front && (m_blocksShown || m_sourceShown));
        if (set->blocks)
            set->blocks->setFindActive(front && m_blocksShown);
        if (set->source)
            set->source->setFindActive(front && m_sourceShown);
    }
    QWidget* blocks = shown && shown->blocks ? static_cast<QWidget*>(shown->blocks) : m_emptyBlocks;
    QWidget* source = shown && shown->source ? static_cast<QWidget*>(shown->source) : m_emptySource;
    {
        FlagScope switching(m_switching);
        m_blocksStack->setCurrentWidget(blocks);
        m_sourceStack->setCurrentWidget(source);
    }
    // Another document takes the keys; so does the one shown when the keys were in a pane (a
    // pane that goes off screen would hand them to the next field of the window).
    if (shown && (shown->document != m_shownDocument || blocksHadFocus || sourceHadFocus)) {
        QWidget* editor = editorToFocus(*shown, sourceHadFocus);
        if (editor && !editor->hasFocus())
            editor->setFocus(Qt::OtherFocusReason);
    }
    m_shownDocument = document;
    dropBeyondLimit();
    Q_EMIT shownViewsChanged();
}

void DocumentViews::dropBeyondLimit()
{
    QList<const Document*> recentFirst;
    QList<const Document*> open;
    for (const auto& set : m_sets) {
        recentFirst.append(set->document);
        if (m_workspace.document(set->document->path()) == set->document)
            open.append(set->document);
    }
    const QList<const Document*> kept = keepList(recentFirst, open, kKeptDocuments, kKeptTextBudget,
        [](const Document* document) { return document->text().size(); });
    for (const Document* document : recentFirst)
        if (!kept.contains(document))
            drop(const_cast<Document*>(document));
}

void DocumentViews::drop(Document* document)
{
    if (m_shownDocument == document)
        m_shownDocument = nullptr;
    m_giveBackTimer.start();
    auto it = std::find_if(m_sets.begin(), m_sets.end(),
        [document](const auto& set) { return set->document == document; });
    if (it == m_sets.end())
        return;
    const std::unique_ptr<ViewSet> set = std::move(*it);
    m_sets.erase(it);
    // Before the document goes: nothing of them may outlive it.
    delete set->blocks.data();
    delete set->source.data();
}

} // namespace quillon
