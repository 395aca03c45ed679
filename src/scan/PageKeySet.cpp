#include "scan/PageKeySet.h"

#include <QHashFunctions>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace corvane {

namespace {

// One 64 x 64 -> 128-bit multiplication folded to 64 bits: the mixing step of the hash.
inline std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
}

constexpr std::uint64_t kPrime0 = 0xa0761d6478bd642full;
constexpr std::uint64_t kPrime1 = 0xe7037ed1a0b428dbull;
constexpr std::uint64_t kPrime2 = 0x8ebc6af09c88c6e3ull;
constexpr std::uint64_t kPrime3 = 0x589965cc75374cc3ull;

inline std::uint32_t load32(const unsigned char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline std::uint64_t load64(const unsigned char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

std::size_t PageKeySet::hashOf(QStringView key)
{
    static const std::uint64_t seed
        = mix(std::uint64_t(QHashSeed::globalSeed()) ^ kPrime0, kPrime1);
    const auto* p = reinterpret_cast<const unsigned char*>(key.utf16());
    std::size_t n = std::size_t(key.size()) * sizeof(char16_t);
    std::uint64_t h = seed ^ mix(std::uint64_t(n) ^ kPrime2, kPrime1);
    while (n > 16) {
        h = mix(load64(p) ^ kPrime1 ^ h, load64(p + 8) ^ kPrime3);
        p += 16;
        n -= 16;
    }
    // The last bytes are read in whole words, overlapping what was read before where the key
    // is long enough: no copy of a few bytes through a library call. (A key is whole UTF-16
    // units, so its size is even.)
    const std::size_t total = std::size_t(key.size()) * sizeof(char16_t);
    const unsigned char* const end = p + n;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (total >= 16) {
        a = load64(end - 16);
        b = load64(end - 8);
    } else if (n >= 8) {
        a = load64(p);
        b = load64(end - 8);
    } else if (n >= 4) {
        a = (std::uint64_t(load32(p)) << 32) | load32(end - 4);
    } else if (n > 0) {
        a = std::uint64_t(p[0]) << 8 | p[n - 1];
    }
    return std::size_t(mix(mix(a ^ kPrime1 ^ h, b ^ kPrime3), kPrime0 ^ n));
}

std::size_t PageKeySet::findSlot(QStringView key, std::size_t hash) const
{
    const std::size_t mask = m_marks.size() - 1;
    const std::uint8_t mark = markOf(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint8_t m = m_marks[i];
        if (m == 0 || (m == mark && keyAt(m_entries[m_places[i]]) == key))
            return i;
    }
}

bool PageKeySet::contains(QStringView key, std::size_t hash) const
{
    if (m_count == 0)
        return false;
    return m_marks[findSlot(key, hash)] != 0;
}

void PageKeySet::insert(QStringView key, std::size_t hash)
{
    if (2 * (m_count + 1) > m_marks.size())
        grow();
    const std::size_t slot = findSlot(key, hash);
    if (m_marks[slot] != 0)
        return;
    // A set of more keys than a place can count would not fit in memory anyway.
    const std::size_t offset = m_chars.size();
    m_chars.insert(m_chars.end(), key.utf16(), key.utf16() + key.size());
    m_places[slot] = std::uint32_t(m_entries.size());
    m_entries.push_back({hash, offset, std::size_t(key.size())});
    m_marks[slot] = markOf(hash);
    ++m_count;
}

void PageKeySet::clear()
{
    m_marks.clear();
    m_places.clear();
    m_entries.clear();
    m_chars.clear();
    m_count = 0;
}

void PageKeySet::grow()
{
    rehash(std::max<std::size_t>(64, 2 * m_marks.size()));
}

void PageKeySet::reserve(std::size_t count)
{
    std::size_t wanted = std::max<std::size_t>(64, m_marks.size());
    while (2 * count > wanted)
        wanted *= 2;
    if (wanted > m_marks.size())
        rehash(wanted);
    // Asked for a little more at every page, the key list still grows by doubling: an exact
    // reservation would move every key each time.
    if (count > m_entries.capacity())
        m_entries.reserve(std::max(count, 2 * m_entries.capacity()));
}

void PageKeySet::rehash(std::size_t size)
{
    // The keys go in again in the order they were added, from their kept hashes.
    m_marks.assign(size, 0);
    m_places.assign(size, 0);
    const std::size_t mask = size - 1;
    for (std::size_t k = 0; k < m_entries.size(); ++k) {
        const std::size_t hash = m_entries[k].hash;
        std::size_t i = hash & mask;
        while (m_marks[i] != 0)
            i = (i + 1) & mask;
        m_marks[i] = markOf(hash);
        m_places[i] = std::uint32_t(k);
    }
}

} // namespace corvane
