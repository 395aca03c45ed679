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

inline std::uint64_t load64(const unsigned char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

std::size_t PageKeySet::hashOf(QStringView key)
{
    static const std::uint64_t seed = mix(std::uint64_t(QHashSeed::globalSeed()) ^ kPrime0, kPrime1);
    const auto* p = reinterpret_cast<const unsigned char*>(key.utf16());
    std::size_t n = std::size_t(key.size()) * sizeof(char16_t);
    std::uint64_t h = seed ^ mix(std::uint64_t(n) ^ kPrime2, kPrime1);
    while (n > 16) {
        h = mix(load64(p) ^ kPrime1 ^ h, load64(p + 8) ^ kPrime3);
        p += 16;
        n -= 16;
    }
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (n > 8) {
        a = load64(p);
        std::memcpy(&b, p + 8, n - 8);
    } else if (n > 0) {
        std::memcpy(&a, p, n);
    }
    return std::size_t(mix(mix(a ^ kPrime1 ^ h, b ^ kPrime3), kPrime0 ^ n));
}

std::size_t PageKeySet::findSlot(QStringView key, std::size_t hash) const
{
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = m_slots[i];
        if (slot.key == 0 || (slot.hash == hash && m_keys[slot.key - 1] == key))
            return i;
    }
}

bool PageKeySet::contains(QStringView key, std::size_t hash) const
{
    if (m_count == 0)
        return false;
    return m_slots[findSlot(key, hash)].key != 0;
}

void PageKeySet::insert(const QString& key, std::size_t hash)
{
    if (2 * (m_count + 1) > m_slots.size())
        grow();
    Slot& slot = m_slots[findSlot(key, hash)];
    if (slot.key != 0)
        return;
    m_keys.push_back(key);
    slot.hash = hash;
    slot.key = m_keys.size();
    ++m_count;
}

void PageKeySet::clear()
{
    m_slots.clear();
    m_keys.clear();
    m_count = 0;
}

void PageKeySet::grow()
{
    rehash(std::max<std::size_t>(64, 2 * m_slots.size()));
}

void PageKeySet::reserve(std::size_t count)
{
    std::size_t wanted = std::max<std::size_t>(64, m_slots.size());
    while (2 * count > wanted)
        wanted *= 2;
    if (wanted > m_slots.size())
        rehash(wanted);
    // Asked for a little more at every page, the key list still grows by doubling: an exact
    // reservation would move every key each time.
    if (count > m_keys.capacity())
        m_keys.reserve(std::max(count, 2 * m_keys.capacity()));
}

void PageKeySet::rehash(std::size_t size)
{
    std::vector<Slot> old(size);
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot& slot : old) {
        if (slot.key == 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].key != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

} // namespace corvane
