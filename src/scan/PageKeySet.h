#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
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
    // Adds the key unless it is there already.
    void insert(const QString& key, std::size_t hash);
    // Makes room for this many keys in all, so adding them never grows the table.
    void reserve(std::size_t count);
    void clear();
    std::size_t size() const { return m_count; }

private:
    // A slot holds the key's hash and its place in m_keys (plus one; 0 for a free slot), so the
    // table stays small and a probe reads the texts only when the hashes agree.
    struct Slot {
        std::size_t hash = 0;
        std::size_t key = 0;
    };
    std::size_t findSlot(QStringView key, std::size_t hash) const;
    void grow();
    void rehash(std::size_t size);

    std::vector<Slot> m_slots; // open addressing, a power of two in size, at most half full
    std::vector<QString> m_keys;
    std::size_t m_count = 0;
};

} // namespace corvane
