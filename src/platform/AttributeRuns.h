#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace quillon {

// The attribute-set id of every UTF-16 unit of a text, held as runs (length, set id) in a B+ tree
// whose inner nodes count the units below each child. Finding the run at an offset, inserting or
// removing units and rewriting the sets of a range cost O(log runs) plus the runs touched; no
// operation moves every run, and memory follows the number of runs, not the length of the text.
// Two adjacent runs never have the same set: every run is a maximal stretch.
//
// A lookup remembers the leaf and the run it ended in, and so does a write, so the next one nearby
// (styling passes go through a text in order) skips the descent and most of the leaf. Not
// thread-safe, like the text that owns it.
class AttributeRuns
{
    struct Leaf;

public:
    struct Run
    {
        qsizetype length = 0;
        quint32 set = 0;
    };

    AttributeRuns() = default;
    AttributeRuns(const AttributeRuns&);
    AttributeRuns& operator=(const AttributeRuns&);
    AttributeRuns(AttributeRuns&&) noexcept;
    AttributeRuns& operator=(AttributeRuns&&) noexcept;
    ~AttributeRuns();

    qsizetype length() const { return m_length; }
    qsizetype runCount() const { return m_runCount; }
    // Bytes of the tree's nodes, those kept for reuse included.
    size_t bytes() const;

    // One run and where it starts; valid until the runs next change.
    class Cursor
    {
    public:
        bool isValid() const { return m_leaf != nullptr; }
        qsizetype start() const { return m_start; }
        qsizetype length() const { return m_leaf->slots[m_index].length; }
        qsizetype end() const { return m_start + length(); }
        quint32 set() const { return m_leaf->slots[m_index].set; }
        void next(); // invalid after the last run
        void previous(); // invalid before the first

    private:
        friend class AttributeRuns;
        const Leaf* m_leaf = nullptr;
        int m_index = 0;
        qsizetype m_start = 0;
    };
    // The run holding unit `index`; invalid outside [0, length()).
    Cursor find(qsizetype index) const
    {
        Cursor c;
        if (index >= 0 && index < m_length) {
            const Position p = locate(index);
            c.m_leaf = p.leaf;
            c.m_index = p.index;
            c.m_start = p.start;
        }
        return c;
    }

    // Every unit gets `set` (no run at all for a length of 0).
    void assign(qsizetype length, quint32 set);
    // Gives every unit of [from, to) the set map(its set); the range is clipped.
    template <typename Map> void rewrite(qsizetype from, qsizetype to, const Map& map);
    // Replaces the units of [from, to) (clipped) with `runs`, in order; empty ones are skipped.
    void replace(qsizetype from, qsizetype to, const Run* runs, size_t count);
    void replace(qsizetype from, qsizetype to, Run run) { replace(from, to, &run, 1); }

    // Checks every bookkeeping rule of the tree (lengths, links, fill, maximal runs); for tests.
    bool isConsistent() const;

private:
    static constexpr int kLeafCapacity = 64;
    static constexpr int kInnerCapacity = 64;
    // Below this a node (other than the root) is merged with or refilled from a sibling.
    static constexpr int kLeafMinimum = kLeafCapacity / 4;
    static constexpr int kInnerMinimum = kInnerCapacity / 4;

    struct Inner;
    struct Node
    {
        Inner* parent = nullptr;
        int count = 0; // runs of a leaf, children of an inner node
        bool isLeaf = false;
    };
    // A run as a leaf holds it. Lengths are 32-bit: a text of 2^32 units or more (8 GiB of
    // UTF-16) is refused.
    struct Slot
    {
        quint32 length;
        quint32 set;
    };
    struct Leaf : Node
    {
        Leaf* prev = nullptr;
        Leaf* next = nullptr;
        qsizetype total = 0; // units in the leaf
        Slot slots[kLeafCapacity];
    };
    struct Inner : Node
    {
        qsizetype lengths[kInnerCapacity]; // units below each child
        Node* children[kInnerCapacity];
    };
    // A run, or the place for one, that may be written to.
    struct Position
    {
        Leaf* leaf = nullptr;
        int index = 0;
        qsizetype start = 0;
    };

    void rewriteRuns(Position p, qsizetype from, qsizetype to, quint32 old, quint32 now,
        quint32 (*map)(const void*, quint32), const void* context);
    void setWithin(const Position& p, qsizetype from, qsizetype to, quint32 set);
    static bool sameAsPrevious(const Position& p, quint32 set);
    static bool sameAsNext(const Position& p, quint32 set);
    void clear();
    Position locate(qsizetype index) const;
    void descend(qsizetype index) const;
    void remember(const Position& p) const;
    void edited() { ++m_edits; }
    Position endPosition() const;
    static void advance(Position& p);

    Leaf* newLeaf();
    Inner* newInner();
    void freeLeaf(Leaf* leaf);
    void freeInner(Inner* inner);
    Node* clone(const Node* node, Inner* parent, Leaf*& lastLeaf);
    void shrinkIfSparse();

    static int indexIn(const Inner* parent, const Node* child);
    void propagate(Node* node, qsizetype delta);
    void changeLength(Leaf* leaf, int index, qsizetype delta);
    void openSlots(Position& p, int n);
    void makeRoom(Position& p);
    void splitRun(Position& p, qsizetype at);
    Leaf* splitLeaf(Leaf* leaf, int at);
    void splitInner(Inner* inner, int at);
    void insertAfter(Node* node, Node* sibling, qsizetype siblingLength);
    void removeSlots(Leaf* leaf, int from, int to);
    static void removeChild(Inner* parent, int index);
    bool rebalance(Leaf* leaf);
    void rebalanceInner(Inner* inner);
    void mergeWithPrevious(Position& p);
    void coalesceAt(qsizetype at);
    void eraseRange(qsizetype from, qsizetype to);
    void insertRuns(qsizetype at, const Run* runs, size_t count);

    // Nodes are carved out of blocks the tree owns, each block as large as all before it (up to
    // a limit): emptying or dropping the tree frees a few hundred blocks instead of visiting each
    // of the tens of thousands of nodes of a long text's styling, scattered over the heap, which
    // held the window for tens of milliseconds when a restyled text replaced the old one. A node
    // taken out of the tree is kept for the next one it needs.
    template <typename T, size_t kLargestBlock> class Pool
    {
        static_assert(std::is_trivially_destructible_v<T>);
        struct Free
        {
            Free* next;
        };
        static_assert(sizeof(T) >= sizeof(Free));
        struct Block
        {
            T* nodes;
            size_t capacity;
        };

    public:
        Pool() = default;
        Pool(const Pool&) = delete;
        Pool& operator=(const Pool&) = delete;
        Pool(Pool&& o) noexcept { *this = std::move(o); }
        Pool& operator=(Pool&& o) noexcept
        {
            if (this != &o) {
                release();
                m_blocks = std::move(o.m_blocks);
                m_capacity = std::exchange(o.m_capacity, 0);
                m_block = std::exchange(o.m_block, 0);
                m_used = std::exchange(o.m_used, 0);
                m_free = std::exchange(o.m_free, nullptr);
                o.m_blocks.clear();
            }
            return *this;
        }
        ~Pool() { release(); }

        // A node with its members' defaults (the arrays left as they were).
        T* take()
        {
            if (Free* free = m_free) {
                m_free = free->next;
                return new (free) T;
            }
            while (m_block < m_blocks.size() && m_used == m_blocks[m_block].capacity) {
                ++m_block;
                m_used = 0;
            }
            if (m_block == m_blocks.size())
                addBlock(std::clamp<size_t>(m_capacity, 1, kLargestBlock));
            return new (m_blocks[m_block].nodes + m_used++) T;
        }
        void give(T* node) { m_free = new (node) Free { m_free }; }
        // Room for `count` more nodes in one block, before the first is taken.
        void reserve(size_t count)
        {
            if (count > 0)
                addBlock(count);
        }
        // Every node free again; the blocks are kept.
        void reset()
        {
            m_free = nullptr;
            m_block = 0;
            m_used = 0;
        }
        size_t capacity() const { return m_capacity; }

    private:
        void addBlock(size_t capacity)
        {
            m_blocks.push_back({ static_cast<T*>(::operator new(sizeof(T) * capacity)), capacity });
            m_capacity += capacity;
        }
        void release()
        {
            for (const Block& block : m_blocks)
                ::operator delete(block.nodes);
            m_blocks.clear();
            m_capacity = 0;
            reset();
        }

        std::vector<Block> m_blocks;
        size_t m_capacity = 0;
        size_t m_block = 0; // the first block with nodes never taken since the last reset
        size_t m_used = 0; // nodes of it taken
        Free* m_free = nullptr;
    };

    Node* m_root = nullptr; // none while the text is empty
    qsizetype m_length = 0;
    qsizetype m_runCount = 0;
    size_t m_leafCount = 0;
    size_t m_innerCount = 0;
    // Blocks of at most about 70 KB: larger ones would each be a mapping of its own, unmapped
    // when freed.
    Pool<Leaf, 128> m_leaves;
    Pool<Inner, 64> m_inners;
    // Leaves in use before the text was last restyled whole, into about as many again: the pool
    // is not made smaller than that until the restyle has grown back to it.
    size_t m_keptLeaves = 0;
    // Where the last lookup or write ended: a leaf and where it starts (kept while no leaf's length
    // or place changes), and a run in it (kept while no run of the tree changes length or place,
    // which every such change marks by counting m_edits).
    struct Hint
    {
        Leaf* leaf = nullptr;
        qsizetype leafStart = 0;
        int index = 0;
        qsizetype start = 0;
        quint64 edits = 0;
    };
    mutable Hint m_hint;
    quint64 m_edits = 0;
};

// Where the hint helps, this costs a few comparisons: no descent and a short walk in the leaf.
inline AttributeRuns::Position AttributeRuns::locate(qsizetype index) const
{
    int i = 0;
    qsizetype start;
    if (m_hint.leaf && index >= m_hint.leafStart && index < m_hint.leafStart + m_hint.leaf->total) {
        start = m_hint.edits == m_edits ? m_hint.start : m_hint.leafStart;
        i = m_hint.edits == m_edits ? m_hint.index : 0;
    } else {
        descend(index);
        start = m_hint.leafStart;
    }
    Leaf* leaf = m_hint.leaf;
    // `index` lies in this leaf, so neither walk leaves it.
    while (index < start)
        start -= leaf->slots[--i].length;
    while (index - start >= leaf->slots[i].length)
        start += leaf->slots[i++].length;
    m_hint.index = i;
    m_hint.start = start;
    m_hint.edits = m_edits;
    return { leaf, i, start };
}

inline bool AttributeRuns::sameAsPrevious(const Position& p, quint32 set)
{
    if (p.index > 0)
        return p.leaf->slots[p.index - 1].set == set;
    const Leaf* prev = p.leaf->prev;
    return prev && prev->slots[prev->count - 1].set == set;
}

inline bool AttributeRuns::sameAsNext(const Position& p, quint32 set)
{
    if (p.index + 1 < p.leaf->count)
        return p.leaf->slots[p.index + 1].set == set;
    const Leaf* next = p.leaf->next;
    return next && next->slots[0].set == set;
}

// A write within one run that joins no neighbour (most styling) is decided here, inline with
// `map`; a write over several runs, or one that joins a neighbour, goes through rewriteRuns.
template <typename Map> void AttributeRuns::rewrite(qsizetype from, qsizetype to, const Map& map)
{
    from = std::max<qsizetype>(from, 0);
    to = std::min(to, m_length);
    if (from >= to)
        return;
    const Position p = locate(from);
    Slot& run = p.leaf->slots[p.index];
    const quint32 old = run.set;
    const quint32 now = map(old);
    const qsizetype end = p.start + run.length;
    if (end >= to) {
        if (now == old)
            return;
        const bool joinsPrevious = p.start == from && sameAsPrevious(p, now);
        const bool joinsNext = end == to && sameAsNext(p, now);
        if (!joinsPrevious && !joinsNext) {
            if (p.start == from && end == to)
                run.set = now;
            else
                setWithin(p, from, to, now);
            return;
        }
    }
    rewriteRuns(
        p, from, to, old, now,
        [](const void* m, quint32 set) -> quint32 { return (*static_cast<const Map*>(m))(set); },
        &map);
}

} // namespace quillon
