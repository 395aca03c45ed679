#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane {

// A set of texts for the analysis' known-page checks: every link of every page is looked up, and
// a large links page adds thousands of keys at once. A key's hash is worked out once by the caller
// for all its look-ups and its insertion, and kept, so growing the set never works it out again.
// The hash is seeded per run, like Qt's own, so a site cannot choose keys that collide.
class PageKeySet
{
public:
    // The hash every member function expects for a key.
    static std::size_t hashOf(QStringView key);

    bool contains(QStringView key, std::size_t hash) const;
    // Asks for the memory a look-up of the hash reads first, so that it is there when needed.
    void prefetch(std::size_t hash) const
    {
        if (!m_marks.empty())
            __builtin_prefetch(&m_marks[hash & (m_marks.size() - 1)]);
    }
    // Adds the key unless it is there already.
    void insert(QStringView key, std::size_t hash);
    // Makes room for this many keys in all, so adding them never grows the table.
    void reserve(std::size_t count);
    void clear();
    std::size_t size() const { return m_count; }

private:
    // Open addressing in two arrays of the same power-of-two size, at most half full: a mark per
    // slot (0 for a free one, else seven bits of the key's hash with the top bit set) and the
    // slot's key's place in m_entries. A look-up reads the marks, one byte a slot, so a large
    // table's marks stay in the cache, and goes on to a key only when its mark agrees. The low
    // bits of the hash choose the slot, the top seven make the mark.
    static std::uint8_t markOf(std::size_t hash)
    {
        return std::uint8_t(0x80 | (std::uint64_t(hash) >> 57));
    }
    // The keys' characters stand one after another in m_chars: adding a key copies it there,
    // with no text of its own to allocate.
    struct Entry {
        std::size_t hash = 0;
        std::size_t offset = 0;
        std::size_t size = 0;
    };
    QStringView keyAt(const Entry& entry) const
    {
        return QStringView(m_chars.data() + entry.offset, qsizetype(entry.size));
    }
    // The slot that holds the key, or the free slot where it would go.
    std::size_t findSlot(QStringView key, std::size_t hash) const;
    void grow();
    void rehash(std::size_t size);

    std::vector<std::uint8_t> m_marks;
    std::vector<std::uint32_t> m_places;
    std::vector<Entry> m_entries;
    std::vector<char16_t> m_chars;
    std::size_t m_count = 0;
};

} // namespace corvane
