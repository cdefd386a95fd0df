#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quillon {

// The room a column of `count` items keeps to grow in: an eighth more. Filled at once, a column
// is given it ahead so that keeping it later moves nothing; a gap too short grows by as much.
inline size_t spareRoom(size_t count)
{
    return count / 8 + 64;
}

// A vector with a gap where it was last changed: items put in or taken out move only the items
// between that place and the last one, not every item after it. A pane's per-line columns (line
// starts, heights) take a line break at a time near the caret, so a line typed or joined costs
// what the caret's move costs, not what a document of hundreds of thousands of lines weighs.
// Reading an item costs one comparison more than a vector's.
template <typename T> class GapVector
{
public:
    GapVector() = default;
    GapVector(size_t count, const T& value)
        : m_items(count, value)
        , m_at(count)
    {
    }

    size_t size() const { return m_items.size() - m_gap; }
    bool empty() const { return size() == 0; }
    const T& operator[](size_t i) const { return m_items[i < m_at ? i : i + m_gap]; }
    T& operator[](size_t i) { return m_items[i < m_at ? i : i + m_gap]; }
    const T& back() const { return (*this)[size() - 1]; }

    void assign(size_t count, const T& value)
    {
        m_items.assign(count, value);
        m_at = count;
        m_gap = 0;
    }
    // Resizes with the gap closed at the end: every item lies in data() after.
    void resize(size_t count)
    {
        closeGap();
        m_items.resize(count);
        m_at = count;
        m_gap = 0;
    }
    void reserve(size_t count) { m_items.reserve(count); }
    void push_back(const T& value)
    {
        closeGap();
        if (m_gap > 0) {
            m_items[m_at++] = value;
            --m_gap;
            return;
        }
        m_items.push_back(value);
        m_at = m_items.size();
    }
    // The items, in order, one after the other: closes the gap.
    T* data()
    {
        closeGap();
        return m_items.data();
    }
    // Keeps room for `room` more items as the gap (at the end), giving back memory past a
    // quarter more than that: a column filled item by item may have grown to twice its length.
    void keepRoom(size_t room)
    {
        closeGap();
        const size_t count = size();
        const size_t want = count + room;
        if (m_items.capacity() > want + want / 4) {
            std::vector<T> kept;
            kept.reserve(want);
            kept.assign(m_items.begin(), m_items.begin() + ptrdiff_t(count));
            m_items.swap(kept);
        }
        m_items.resize(want);
        m_gap = room;
    }

    // Items [at, at + removed) become `inserted` copies of `value`.
    void replace(size_t at, size_t removed, size_t inserted, const T& value)
    {
        open(at, removed, inserted);
        std::fill_n(m_items.begin() + ptrdiff_t(at), inserted, value);
        m_at += inserted;
        m_gap -= inserted;
    }
    // Items [at, at + removed) become those in [first, last).
    template <typename It> void replace(size_t at, size_t removed, It first, It last)
    {
        const size_t inserted = size_t(std::distance(first, last));
        open(at, removed, inserted);
        std::copy(first, last, m_items.begin() + ptrdiff_t(at));
        m_at += inserted;
        m_gap -= inserted;
    }

private:
    void closeGap() { moveGap(size()); }
    // Moves the gap to before item `at`, moving the items between its old place and the new.
    void moveGap(size_t at)
    {
        if (at < m_at) {
            std::move_backward(m_items.begin() + ptrdiff_t(at), m_items.begin() + ptrdiff_t(m_at),
                m_items.begin() + ptrdiff_t(m_at + m_gap));
        } else if (at > m_at) {
            std::move(m_items.begin() + ptrdiff_t(m_at + m_gap),
                m_items.begin() + ptrdiff_t(at + m_gap), m_items.begin() + ptrdiff_t(m_at));
        }
        m_at = at;
    }
    // The gap at `at`, the `removed` items after it joined to it, and at least `inserted` long.
    void open(size_t at, size_t removed, size_t inserted)
    {
        moveGap(at);
        m_gap += removed;
        if (m_gap >= inserted)
            return;
        // Room for the items and some to spare, so that a run of insertions grows the vector
        // rarely.
        const size_t grow = inserted - m_gap + spareRoom(size());
        m_items.insert(m_items.begin() + ptrdiff_t(m_at), grow, T());
        m_gap += grow;
    }

    std::vector<T> m_items; // the items with the gap among them
    size_t m_at = 0; // where the gap begins: the index of the item after it
    size_t m_gap = 0;
};

} // namespace quillon
