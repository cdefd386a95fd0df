#include "platform/AttributeRuns.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace quillon {

namespace {

template <typename T> void shift(T* array, int from, int to, int count)
{
    if (count > 0)
        std::memmove(array + to, array + from, sizeof(T) * size_t(count));
}

template <typename T> void copyInto(T* to, const T* from, int count)
{
    if (count > 0)
        std::memcpy(to, from, sizeof(T) * size_t(count));
}

qsizetype sum(const qsizetype* lengths, int count)
{
    qsizetype total = 0;
    for (int i = 0; i < count; ++i)
        total += lengths[i];
    return total;
}

template <typename Slot> qsizetype sumSlots(const Slot* slots, int count)
{
    qsizetype total = 0;
    for (int i = 0; i < count; ++i)
        total += slots[i].length;
    return total;
}

// Run lengths are 32-bit; a longer text (8 GiB of UTF-16) is out of reach anyway.
void checkLength(qsizetype length)
{
    if (quint64(length) > quint64(std::numeric_limits<quint32>::max()))
        qFatal("AttributedText: texts of 2^32 UTF-16 units or more are not supported");
}

} // namespace

// --- lifetime -------------------------------------------------------------------------------

AttributeRuns::AttributeRuns(const AttributeRuns& o)
    : m_length(o.m_length)
    , m_runCount(o.m_runCount)
    , m_leafCount(o.m_leafCount)
    , m_innerCount(o.m_innerCount)
{
    m_leaves.reserve(o.m_leafCount);
    m_inners.reserve(o.m_innerCount);
    Leaf* last = nullptr;
    if (o.m_root)
        m_root = clone(o.m_root, nullptr, last);
}

AttributeRuns& AttributeRuns::operator=(const AttributeRuns& o)
{
    if (this != &o) {
        AttributeRuns copy(o);
        *this = std::move(copy);
    }
    return *this;
}

AttributeRuns::AttributeRuns(AttributeRuns&& o) noexcept
    : m_root(std::exchange(o.m_root, nullptr))
    , m_length(std::exchange(o.m_length, 0))
    , m_runCount(std::exchange(o.m_runCount, 0))
    , m_leafCount(std::exchange(o.m_leafCount, 0))
    , m_innerCount(std::exchange(o.m_innerCount, 0))
    , m_leaves(std::move(o.m_leaves))
    , m_inners(std::move(o.m_inners))
    , m_keptLeaves(std::exchange(o.m_keptLeaves, 0))
{
    o.m_hint.leaf = nullptr;
}

AttributeRuns& AttributeRuns::operator=(AttributeRuns&& o) noexcept
{
    if (this != &o) {
        m_root = std::exchange(o.m_root, nullptr);
        m_length = std::exchange(o.m_length, 0);
        m_runCount = std::exchange(o.m_runCount, 0);
        m_leafCount = std::exchange(o.m_leafCount, 0);
        m_innerCount = std::exchange(o.m_innerCount, 0);
        m_leaves = std::move(o.m_leaves);
        m_inners = std::move(o.m_inners);
        m_keptLeaves = std::exchange(o.m_keptLeaves, 0);
        m_hint.leaf = nullptr;
        o.m_hint.leaf = nullptr;
        edited();
    }
    return *this;
}

AttributeRuns::~AttributeRuns() = default;

void AttributeRuns::clear()
{
    // Replacing every run is how a text is restyled, into about as many runs again: the nodes
    // are kept for that.
    m_keptLeaves = m_leafCount;
    m_leaves.reset();
    m_inners.reset();
    m_leafCount = 0;
    m_innerCount = 0;
    m_root = nullptr;
    m_length = 0;
    m_runCount = 0;
    m_hint.leaf = nullptr;
}

size_t AttributeRuns::bytes() const
{
    return m_leaves.capacity() * sizeof(Leaf) + m_inners.capacity() * sizeof(Inner);
}

AttributeRuns::Leaf* AttributeRuns::newLeaf()
{
    ++m_leafCount;
    Leaf* leaf = m_leaves.take();
    leaf->isLeaf = true;
    return leaf;
}

AttributeRuns::Inner* AttributeRuns::newInner()
{
    ++m_innerCount;
    return m_inners.take();
}

void AttributeRuns::freeLeaf(Leaf* leaf)
{
    if (m_hint.leaf == leaf)
        m_hint.leaf = nullptr;
    --m_leafCount;
    m_leaves.give(leaf);
}

void AttributeRuns::freeInner(Inner* inner)
{
    --m_innerCount;
    m_inners.give(inner);
}

// Nodes taken out of the tree stay in its pool. When most of a long text's runs are gone (its
// text deleted), the tree is copied into a pool of its own size, which costs what the runs left
// cost, and the old blocks are freed.
void AttributeRuns::shrinkIfSparse()
{
    constexpr size_t kSmallPool = 1024;
    // A restyle that has grown back to the size it was kept for keeps nothing more.
    if (m_leafCount >= m_keptLeaves)
        m_keptLeaves = 0;
    if (m_leaves.capacity() <= kSmallPool
        || m_leaves.capacity() <= 4 * std::max(m_leafCount, m_keptLeaves))
        return;
    *this = AttributeRuns(*this);
}

AttributeRuns::Node* AttributeRuns::clone(const Node* node, Inner* parent, Leaf*& lastLeaf)
{
    if (node->isLeaf) {
        Leaf* leaf = m_leaves.take();
        *leaf = *static_cast<const Leaf*>(node);
        leaf->parent = parent;
        leaf->prev = lastLeaf;
        leaf->next = nullptr;
        if (lastLeaf)
            lastLeaf->next = leaf;
        lastLeaf = leaf;
        return leaf;
    }
    Inner* inner = m_inners.take();
    *inner = *static_cast<const Inner*>(node);
    inner->parent = parent;
    for (int i = 0; i < inner->count; ++i)
        inner->children[i] = clone(inner->children[i], inner, lastLeaf);
    return inner;
}

// --- reading --------------------------------------------------------------------------------

void AttributeRuns::Cursor::next()
{
    m_start += length();
    if (++m_index == m_leaf->count) {
        m_leaf = m_leaf->next;
        m_index = 0;
    }
}

void AttributeRuns::Cursor::previous()
{
    if (m_index > 0) {
        --m_index;
    } else {
        m_leaf = m_leaf->prev;
        if (!m_leaf)
            return;
        m_index = m_leaf->count - 1;
    }
    m_start -= length();
}

// Finds the leaf holding `index` and remembers it: next to the remembered one when it is there,
// from the root otherwise.
void AttributeRuns::descend(qsizetype index) const
{
    if (Leaf* hinted = m_hint.leaf) {
        if (index < m_hint.leafStart) {
            if (hinted->prev && index >= m_hint.leafStart - hinted->prev->total) {
                m_hint.leaf = hinted->prev;
                m_hint.leafStart -= hinted->prev->total;
                return;
            }
        } else if (hinted->next && index - m_hint.leafStart - hinted->total < hinted->next->total) {
            m_hint.leafStart += hinted->total;
            m_hint.leaf = hinted->next;
            return;
        }
    }
    Node* node = m_root;
    qsizetype start = 0;
    while (!node->isLeaf) {
        const Inner* inner = static_cast<const Inner*>(node);
        qsizetype rest = index - start;
        int i = 0;
        const int last = inner->count - 1;
        while (i < last && rest >= inner->lengths[i])
            rest -= inner->lengths[i++];
        start = index - rest;
        node = inner->children[i];
    }
    m_hint.leaf = static_cast<Leaf*>(node);
    m_hint.leafStart = start;
}

// Lets the next lookup start from where a write ended.
inline void AttributeRuns::remember(const Position& p) const
{
    if (!p.leaf || p.index >= p.leaf->count)
        return;
    if (m_hint.leaf != p.leaf) {
        m_hint.leaf = p.leaf;
        m_hint.leafStart = p.start - sumSlots(p.leaf->slots, p.index);
    }
    m_hint.index = p.index;
    m_hint.start = p.start;
    m_hint.edits = m_edits;
}

AttributeRuns::Position AttributeRuns::endPosition() const
{
    Node* node = m_root;
    while (!node->isLeaf) {
        const Inner* inner = static_cast<const Inner*>(node);
        node = inner->children[inner->count - 1];
    }
    Leaf* leaf = static_cast<Leaf*>(node);
    return { leaf, leaf->count, m_length };
}

void AttributeRuns::advance(Position& p)
{
    p.start += p.leaf->slots[p.index].length;
    if (++p.index == p.leaf->count) {
        p.leaf = p.leaf->next;
        p.index = 0;
    }
}

// --- tree bookkeeping -----------------------------------------------------------------------

int AttributeRuns::indexIn(const Inner* parent, const Node* child)
{
    int i = 0;
    while (parent->children[i] != child)
        ++i;
    return i;
}

void AttributeRuns::propagate(Node* node, qsizetype delta)
{
    for (Node* n = node; n->parent; n = n->parent)
        n->parent->lengths[indexIn(n->parent, n)] += delta;
    m_length += delta;
    checkLength(m_length);
    // The remembered leaf keeps its start only when it is the one that changed.
    if (m_hint.leaf != node)
        m_hint.leaf = nullptr;
}

void AttributeRuns::changeLength(Leaf* leaf, int index, qsizetype delta)
{
    edited();
    leaf->slots[index].length = quint32(leaf->slots[index].length + delta);
    leaf->total += delta;
    propagate(leaf, delta);
}

// Makes room for `n` (1 or 2) runs at p.index of p.leaf, splitting a leaf without the room; p
// follows the slots. The slots and the run before them always end up in the same leaf. The new
// slots' contents are the caller's to set.
inline void AttributeRuns::openSlots(Position& p, int n)
{
    edited();
    if (p.leaf->count + n > kLeafCapacity)
        makeRoom(p);
    Leaf* leaf = p.leaf;
    const int i = p.index;
    shift(leaf->slots, i, i + n, leaf->count - i);
    leaf->count += n;
    m_runCount += n;
}

// Makes room in a full leaf for the runs to go at p: splits it in half, which leaves fuller
// leaves behind a pass that styles a text in order than splitting where the runs go.
void AttributeRuns::makeRoom(Position& p)
{
    constexpr int half = kLeafCapacity / 2;
    Leaf* right = splitLeaf(p.leaf, half);
    if (p.index > half) {
        p.leaf = right;
        p.index -= half;
    }
}

// Splits the run at p into [start, at) and [at, end); p stays on the first part, the second is
// at p.index + 1 of the same leaf.
void AttributeRuns::splitRun(Position& p, qsizetype at)
{
    edited();
    Position slot { p.leaf, p.index + 1, at };
    openSlots(slot, 1);
    p.leaf = slot.leaf;
    p.index = slot.index - 1;
    Leaf* leaf = p.leaf;
    const qsizetype end = p.start + leaf->slots[p.index].length;
    leaf->slots[p.index].length = quint32(at - p.start);
    leaf->slots[slot.index] = { quint32(end - at), leaf->slots[p.index].set };
}

// Moves the runs from `at` on into a new leaf after `leaf`.
AttributeRuns::Leaf* AttributeRuns::splitLeaf(Leaf* leaf, int at)
{
    Leaf* right = newLeaf();
    const int moved = leaf->count - at;
    copyInto(right->slots, leaf->slots + at, moved);
    right->count = moved;
    right->total = sumSlots(right->slots, moved);
    leaf->count = at;
    leaf->total -= right->total;
    right->prev = leaf;
    right->next = leaf->next;
    if (leaf->next)
        leaf->next->prev = right;
    leaf->next = right;
    // The remembered leaf keeps its start: no leaf moves.
    edited();
    insertAfter(leaf, right, right->total);
    return right;
}

void AttributeRuns::splitInner(Inner* inner, int at)
{
    Inner* right = newInner();
    const int moved = inner->count - at;
    copyInto(right->children, inner->children + at, moved);
    copyInto(right->lengths, inner->lengths + at, moved);
    right->count = moved;
    for (int i = 0; i < moved; ++i)
        right->children[i]->parent = right;
    inner->count = at;
    insertAfter(inner, right, sum(right->lengths, moved));
}

// Puts `sibling` after `node` in the tree. `node` was just split: the length its parent has for
// it still includes `siblingLength`.
void AttributeRuns::insertAfter(Node* node, Node* sibling, qsizetype siblingLength)
{
    Inner* parent = node->parent;
    if (!parent) {
        Inner* root = newInner();
        root->count = 2;
        root->children[0] = node;
        root->children[1] = sibling;
        root->lengths[0] = m_length - siblingLength;
        root->lengths[1] = siblingLength;
        node->parent = root;
        sibling->parent = root;
        m_root = root;
        return;
    }
    if (parent->count == kInnerCapacity) {
        const int at
            = std::clamp(indexIn(parent, node) + 1, kInnerMinimum, kInnerCapacity - kInnerMinimum);
        splitInner(parent, at);
        parent = node->parent;
    }
    const int i = indexIn(parent, node);
    parent->lengths[i] -= siblingLength;
    shift(parent->children, i + 1, i + 2, parent->count - i - 1);
    shift(parent->lengths, i + 1, i + 2, parent->count - i - 1);
    parent->children[i + 1] = sibling;
    parent->lengths[i + 1] = siblingLength;
    sibling->parent = parent;
    ++parent->count;
}

// Drops slots [from, to) of a leaf; their lengths are the caller's to account for.
void AttributeRuns::removeSlots(Leaf* leaf, int from, int to)
{
    edited();
    shift(leaf->slots, to, from, leaf->count - to);
    leaf->count -= to - from;
    m_runCount -= to - from;
}

void AttributeRuns::removeChild(Inner* parent, int index)
{
    shift(parent->children, index + 1, index, parent->count - index - 1);
    shift(parent->lengths, index + 1, index, parent->count - index - 1);
    --parent->count;
}

// After runs left `leaf`: drops it when empty, or merges it with or refills it from a sibling
// when it holds too few. Returns whether the tree's shape changed.
bool AttributeRuns::rebalance(Leaf* leaf)
{
    if (leaf->count >= kLeafMinimum)
        return false;
    if (leaf == m_root) {
        if (leaf->count > 0)
            return false;
        freeLeaf(leaf);
        m_root = nullptr;
        return true;
    }
    edited();
    Inner* parent = leaf->parent;
    const int i = indexIn(parent, leaf);
    if (leaf->count == 0) {
        if (leaf->prev)
            leaf->prev->next = leaf->next;
        if (leaf->next)
            leaf->next->prev = leaf->prev;
        removeChild(parent, i);
        freeLeaf(leaf);
        rebalanceInner(parent);
        return true;
    }
    // Every inner node has two children or more.
    const int l = i + 1 < parent->count ? i : i - 1;
    Leaf* left = static_cast<Leaf*>(parent->children[l]);
    Leaf* right = static_cast<Leaf*>(parent->children[l + 1]);
    if (left->count + right->count <= kLeafCapacity) {
        copyInto(left->slots + left->count, right->slots, right->count);
        left->count += right->count;
        left->total += right->total;
        parent->lengths[l] += parent->lengths[l + 1];
        left->next = right->next;
        if (right->next)
            right->next->prev = left;
        removeChild(parent, l + 1);
        freeLeaf(right);
        rebalanceInner(parent);
        return true;
    }
    const int half = (left->count + right->count) / 2;
    qsizetype moved; // units moved from the right leaf to the left one (negative: the other way)
    if (left->count < half) {
        const int n = half - left->count;
        moved = sumSlots(right->slots, n);
        copyInto(left->slots + left->count, right->slots, n);
        shift(right->slots, n, 0, right->count - n);
        left->count += n;
        right->count -= n;
    } else {
        const int n = left->count - half;
        moved = -sumSlots(left->slots + half, n);
        shift(right->slots, 0, n, right->count);
        copyInto(right->slots, left->slots + half, n);
        left->count -= n;
        right->count += n;
    }
    left->total += moved;
    right->total -= moved;
    parent->lengths[l] += moved;
    parent->lengths[l + 1] -= moved;
    if (m_hint.leaf == right) // it starts elsewhere now
        m_hint.leaf = nullptr;
    return true;
}

void AttributeRuns::rebalanceInner(Inner* inner)
{
    if (inner == m_root) {
        if (inner->count == 1) {
            m_root = inner->children[0];
            m_root->parent = nullptr;
            freeInner(inner);
        }
        return;
    }
    if (inner->count >= kInnerMinimum)
        return;
    Inner* parent = inner->parent;
    const int i = indexIn(parent, inner);
    const int l = i + 1 < parent->count ? i : i - 1;
    Inner* left = static_cast<Inner*>(parent->children[l]);
    Inner* right = static_cast<Inner*>(parent->children[l + 1]);
    if (left->count + right->count <= kInnerCapacity) {
        copyInto(left->children + left->count, right->children, right->count);
        copyInto(left->lengths + left->count, right->lengths, right->count);
        for (int k = 0; k < right->count; ++k)
            right->children[k]->parent = left;
        left->count += right->count;
        parent->lengths[l] += parent->lengths[l + 1];
        removeChild(parent, l + 1);
        freeInner(right);
        rebalanceInner(parent);
        return;
    }
    const int half = (left->count + right->count) / 2;
    qsizetype moved;
    if (left->count < half) {
        const int n = half - left->count;
        moved = sum(right->lengths, n);
        copyInto(left->children + left->count, right->children, n);
        copyInto(left->lengths + left->count, right->lengths, n);
        for (int k = 0; k < n; ++k)
            right->children[k]->parent = left;
        shift(right->children, n, 0, right->count - n);
        shift(right->lengths, n, 0, right->count - n);
        left->count += n;
        right->count -= n;
    } else {
        const int n = left->count - half;
        moved = -sum(left->lengths + half, n);
        shift(right->children, 0, n, right->count);
        shift(right->lengths, 0, n, right->count);
        copyInto(right->children, left->children + half, n);
        copyInto(right->lengths, left->lengths + half, n);
        for (int k = 0; k < n; ++k)
            right->children[k]->parent = right;
        left->count -= n;
        right->count += n;
    }
    parent->lengths[l] += moved;
    parent->lengths[l + 1] -= moved;
}

// Joins the run at p with the one before it when both have the same set; p then points at the
// joined run.
void AttributeRuns::mergeWithPrevious(Position& p)
{
    Leaf* leaf = p.leaf;
    const int i = p.index;
    if (i > 0) {
        if (leaf->slots[i - 1].set != leaf->slots[i].set)
            return;
        const qsizetype before = leaf->slots[i - 1].length;
        leaf->slots[i - 1].length += leaf->slots[i].length;
        removeSlots(leaf, i, i + 1);
        p.index = i - 1;
        p.start -= before;
    } else {
        Leaf* prev = leaf->prev;
        if (!prev || prev->slots[prev->count - 1].set != leaf->slots[0].set)
            return;
        const int j = prev->count - 1;
        const qsizetype length = leaf->slots[0].length;
        p = { prev, j, p.start - prev->slots[j].length };
        changeLength(prev, j, length);
        removeSlots(leaf, 0, 1);
        leaf->total -= length;
        propagate(leaf, -length);
    }
    if (rebalance(leaf))
        p = locate(p.start);
}

void AttributeRuns::coalesceAt(qsizetype at)
{
    if (at <= 0 || at >= m_length)
        return;
    Position p = locate(at);
    if (p.start == at)
        mergeWithPrevious(p);
}

// --- writing --------------------------------------------------------------------------------

void AttributeRuns::assign(qsizetype length, quint32 set)
{
    clear();
    if (length <= 0)
        return;
    checkLength(length);
    Leaf* leaf = newLeaf();
    leaf->count = 1;
    leaf->slots[0] = { quint32(length), set };
    leaf->total = length;
    m_root = leaf;
    m_length = length;
    m_runCount = 1;
}

// Gives [from, to), a part of the run at p but not all of it, the set `set`, which no neighbour
// of that part has: two or three runs where there was one.
void AttributeRuns::setWithin(const Position& p, qsizetype from, qsizetype to, quint32 set)
{
    const Slot run = p.leaf->slots[p.index];
    const qsizetype end = p.start + run.length;
    const int added = (p.start < from ? 1 : 0) + (to < end ? 1 : 0);
    // The slots after the run's first one, and the run itself just before them.
    Position after { p.leaf, p.index + 1, p.start };
    openSlots(after, added);
    Slot* slots = after.leaf->slots + after.index - 1;
    Position written { after.leaf, after.index - 1, p.start };
    if (p.start < from) {
        *slots++ = { quint32(from - p.start), run.set };
        ++written.index;
        written.start = from;
    }
    *slots++ = { quint32(to - from), set };
    if (to < end)
        *slots = { quint32(end - to), run.set };
    remember(written);
}

// The general write: p is the run holding `from`, `old` its set and `now` map(old).
void AttributeRuns::rewriteRuns(Position p, qsizetype from, qsizetype to, quint32 old, quint32 now,
    quint32 (*map)(const void*, quint32), const void* context)
{
    if (p.start < from) {
        if (now == old) {
            advance(p);
            old = p.leaf->slots[p.index].set;
            now = map(context, old);
        } else {
            splitRun(p, from);
            advance(p);
        }
    }
    // p starts at or after `from`, at a run boundary; `now` is its new set.
    while (true) {
        if (now != old) {
            if (p.start + p.leaf->slots[p.index].length > to)
                splitRun(p, to);
            p.leaf->slots[p.index].set = now;
        }
        if (sameAsPrevious(p, p.leaf->slots[p.index].set))
            mergeWithPrevious(p);
        const qsizetype end = p.start + p.leaf->slots[p.index].length;
        if (end >= to) {
            if (end == to && end < m_length) {
                advance(p);
                if (sameAsPrevious(p, p.leaf->slots[p.index].set))
                    mergeWithPrevious(p);
            }
            remember(p);
            return;
        }
        advance(p);
        old = p.leaf->slots[p.index].set;
        now = map(context, old);
    }
}

void AttributeRuns::replace(qsizetype from, qsizetype to, const Run* runs, size_t count)
{
    from = std::clamp<qsizetype>(from, 0, m_length);
    to = std::clamp<qsizetype>(to, from, m_length);
    qsizetype inserted = 0;
    for (size_t i = 0; i < count; ++i)
        inserted += std::max<qsizetype>(runs[i].length, 0);
    eraseRange(from, to);
    insertRuns(from, runs, count);
    coalesceAt(from + inserted);
    coalesceAt(from);
    shrinkIfSparse();
}

void AttributeRuns::eraseRange(qsizetype from, qsizetype to)
{
    while (from < to) {
        const Position p = locate(from);
        Leaf* leaf = p.leaf;
        if (p.start < from) {
            // The run starts before the range: it keeps its part before (and after) it.
            const qsizetype cut = std::min(to, p.start + leaf->slots[p.index].length) - from;
            changeLength(leaf, p.index, -cut);
            to -= cut;
            continue;
        }
        // Whole runs of this leaf inside the range, and the head of the one the range ends in.
        qsizetype removed = 0;
        int j = p.index;
        while (j < leaf->count && removed + leaf->slots[j].length <= to - from)
            removed += leaf->slots[j++].length;
        if (j < leaf->count && removed < to - from) {
            leaf->slots[j].length -= quint32(to - from - removed);
            removed = to - from;
        }
        removeSlots(leaf, p.index, j);
        leaf->total -= removed;
        propagate(leaf, -removed);
        to -= removed;
        rebalance(leaf);
    }
}

void AttributeRuns::insertRuns(qsizetype at, const Run* runs, size_t count)
{
    size_t nonEmpty = 0;
    const Run* only = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (runs[i].length > 0) {
            ++nonEmpty;
            only = &runs[i];
        }
    }
    if (nonEmpty == 0)
        return;
    if (nonEmpty == 1 && m_root) {
        // Typing: the new units usually join the run they are typed into or after.
        if (at < m_length) {
            const Position p = locate(at);
            if (p.leaf->slots[p.index].set == only->set) {
                changeLength(p.leaf, p.index, only->length);
                return;
            }
        }
        if (at > 0) {
            const Position p = locate(at - 1);
            if (p.leaf->slots[p.index].set == only->set) {
                changeLength(p.leaf, p.index, only->length);
                return;
            }
        }
    }
    Position p;
    if (!m_root) {
        Leaf* leaf = newLeaf();
        m_root = leaf;
        p = { leaf, 0, 0 };
    } else if (at == m_length) {
        p = endPosition();
    } else {
        p = locate(at);
        if (p.start < at) {
            splitRun(p, at);
            advance(p);
        }
    }
    // A restyle puts back a whole stretch's runs at once. Splitting each full leaf in half on
    // the way would leave every leaf it passes half empty for good; instead a full leaf is cut
    // where the runs go, its part before them is filled up, and every further leaf is filled
    // whole. The cut-off part after them, and the last leaf filled, may be left short, and are
    // evened out with a neighbour at the end.
    Leaf* cutOff = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const Run& run = runs[i];
        if (run.length <= 0)
            continue;
        if (p.index > 0 && p.leaf->slots[p.index - 1].set == run.set) {
            changeLength(p.leaf, p.index - 1, run.length);
        } else {
            if (p.leaf->count == kLeafCapacity && p.index > 0
                && count - i >= size_t(kLeafMinimum)) {
                if (p.index < p.leaf->count) {
                    Q_ASSERT(!cutOff); // after the first cut the runs go at a leaf's end
                    cutOff = splitLeaf(p.leaf, p.index);
                } else {
                    // The run before the new one goes along, as openSlots keeps it.
                    p.leaf = splitLeaf(p.leaf, p.index - 1);
                    p.index = 1;
                }
            }
            openSlots(p, 1);
            p.leaf->slots[p.index] = { 0, run.set };
            changeLength(p.leaf, p.index, run.length);
            ++p.index;
        }
        p.start += run.length;
    }
    // The last leaf filled comes before the cut-off part, so evening out the latter never
    // frees the former.
    if (cutOff)
        rebalance(cutOff);
    rebalance(p.leaf);
}

// --- checks ---------------------------------------------------------------------------------

bool AttributeRuns::isConsistent() const
{
    if (!m_root)
        return m_length == 0 && m_runCount == 0 && m_leafCount == 0 && m_innerCount == 0;
    if (m_root->parent)
        return false;
    size_t leaves = 0;
    size_t inners = 0;
    qsizetype runs = 0;
    int leafDepth = -1;
    const Leaf* previousLeaf = nullptr;
    bool ok = true;
    // Returns the units below `node`.
    auto check = [&](auto& self, const Node* node, int depth) -> qsizetype {
        const bool isRoot = node == m_root;
        if (node->isLeaf) {
            const Leaf* leaf = static_cast<const Leaf*>(node);
            ++leaves;
            runs += leaf->count;
            if (leafDepth < 0)
                leafDepth = depth;
            ok = ok && depth == leafDepth && leaf->count > 0 && leaf->count <= kLeafCapacity
                && (isRoot || leaf->count >= kLeafMinimum) && leaf->prev == previousLeaf
                && (!previousLeaf || previousLeaf->next == leaf);
            for (int i = 0; i < leaf->count; ++i) {
                ok = ok && leaf->slots[i].length > 0;
                const bool samePrevious = i > 0 ? leaf->slots[i - 1].set == leaf->slots[i].set
                                                : previousLeaf
                        && previousLeaf->slots[previousLeaf->count - 1].set == leaf->slots[0].set;
                ok = ok && !samePrevious;
            }
            ok = ok && sumSlots(leaf->slots, leaf->count) == leaf->total;
            previousLeaf = leaf;
            return leaf->total;
        }
        const Inner* inner = static_cast<const Inner*>(node);
        ++inners;
        ok = ok && inner->count <= kInnerCapacity && inner->count >= (isRoot ? 2 : kInnerMinimum);
        qsizetype total = 0;
        for (int i = 0; i < inner->count; ++i) {
            ok = ok && inner->children[i]->parent == inner;
            const qsizetype below = self(self, inner->children[i], depth + 1);
            ok = ok && below == inner->lengths[i];
            total += below;
        }
        return total;
    };
    const qsizetype total = check(check, m_root, 0);
    return ok && total == m_length && !previousLeaf->next && runs == m_runCount
        && leaves == m_leafCount && inners == m_innerCount;
}

} // namespace quillon
