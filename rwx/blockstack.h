#pragma once
// The blocks open at a point of a script, innermost last, as the checker
// and the scene builder keep them. An End closes its own block and every
// block left open inside it; an End whose block is not open closes nothing.
// Entry is what the reader keeps for an open block; it has a `Block block`.
#include "rwx/keywords.h"

#include <array>
#include <utility>
#include <vector>

namespace rwx {

template <typename Entry>
class BlockStack {
public:
    void open(Entry entry)
    {
        ++m_count[int(entry.block)];
        m_entries.push_back(std::move(entry));
    }

    bool isOpen(Block block) const { return m_count[int(block)] > 0; }
    int openCount(Block block) const { return m_count[int(block)]; }
    qsizetype size() const { return qsizetype(m_entries.size()); }
    // Outermost first.
    Entry &operator[](qsizetype i) { return m_entries[std::size_t(i)]; }
    const Entry &operator[](qsizetype i) const { return m_entries[std::size_t(i)]; }
    const std::vector<Entry> &entries() const { return m_entries; }

    // Closes `block` and the blocks left open inside it, innermost first,
    // handing each to closed(Entry &&); the last one handed is `block`'s.
    // False, and nothing closed, when `block` is not open.
    template <typename Closed>
    bool close(Block block, Closed &&closed)
    {
        if (!isOpen(block))
            return false;
        for (;;) {
            const bool last = m_entries.back().block == block;
            closed(pop());
            if (last)
                return true;
        }
    }

    // Closes every open block, innermost first.
    template <typename Closed>
    void closeAll(Closed &&closed)
    {
        while (!m_entries.empty())
            closed(pop());
    }

private:
    Entry pop()
    {
        Entry entry = std::move(m_entries.back());
        m_entries.pop_back();
        --m_count[int(entry.block)];
        return entry;
    }

    std::vector<Entry> m_entries;
    std::array<int, BlockCount> m_count{};
};

} // namespace rwx
