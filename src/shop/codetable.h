#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The codes met during one pass over sale lines, each with a value of the
// caller's, in the order in which they were first met.
//
// A code is found by open addressing in one flat array of small slots, and
// then read in its entry: two reads, where a map of nodes walks a chain of
// nodes spread over the heap. With a range's lines spread over the whole
// catalogue, those reads are most of what a pass costs.
template <typename T> class CodeTable
{
public:
    struct Entry
    {
        std::string code;
        T value{};
    };

    // The place among the entries of `code`, whose hashOf() is `hash`; the
    // entry is made with T() when the code is new (then `*added`).
    size_t place(std::string_view code, std::uint64_t hash, bool *added)
    {
        const auto tag = std::uint32_t(hash >> 32);
        size_t i = size_t(hash) & m_mask;
        for (;; i = (i + 1) & m_mask) {
            const Slot slot = m_slots[i];
            if (slot.place == 0)
                break;
            if (slot.tag == tag && m_entries[slot.place - 1].code == code) {
                *added = false;
                return slot.place - 1;
            }
        }
        *added = true;
        m_entries.push_back({std::string(code), T()});
        m_slots[i] = {tag, std::uint32_t(m_entries.size())};
        // At most half the slots are taken: a probe ends soon.
        if (m_entries.size() * 2 > m_slots.size())
            grow();
        return m_entries.size() - 1;
    }
    Entry &at(std::string_view code, bool *added) { return m_entries[place(code, hashOf(code), added)]; }

    // Asks the processor for the slot of `hash` ahead of its use, and for the
    // entry it most likely names once the slot is there: a pass that asks a
    // few lines ahead waits for memory once for several lines.
    void prefetchSlot(std::uint64_t hash) const { __builtin_prefetch(&m_slots[size_t(hash) & m_mask]); }
    void prefetchEntry(std::uint64_t hash) const
    {
        const auto tag = std::uint32_t(hash >> 32);
        for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
            const Slot slot = m_slots[i];
            if (slot.place == 0)
                return;
            if (slot.tag == tag) {
                __builtin_prefetch(&m_entries[slot.place - 1]);
                return;
            }
        }
    }

    std::vector<Entry> &entries() { return m_entries; }
    const std::vector<Entry> &entries() const { return m_entries; }

    static std::uint64_t hashOf(std::string_view code)
    {
        std::uint64_t h = 0x9e3779b97f4a7c15ULL ^ code.size();
        const char *p = code.data();
        size_t n = code.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            h = (h ^ word) * 0xff51afd7ed558ccdULL;
            h ^= h >> 29;
        }
        if (n > 0) {
            std::uint64_t word = 0;
            std::memcpy(&word, p, n);
            h = (h ^ word) * 0xff51afd7ed558ccdULL;
        }
        // splitmix64's finish: every bit of the code reaches the slot's bits
        h ^= h >> 30;
        h *= 0xbf58476d1ce4e5b9ULL;
        h ^= h >> 27;
        h *= 0x94d049bb133111ebULL;
        return h ^ (h >> 31);
    }

private:
    struct Slot
    {
        std::uint32_t tag = 0;   // the high half of the code's hash
        std::uint32_t place = 0; // its entry's index + 1; 0 when free
    };

    void grow()
    {
        std::vector<Slot> slots(m_slots.size() * 2);
        const size_t mask = slots.size() - 1;
        for (size_t e = 0; e < m_entries.size(); ++e) {
            const std::uint64_t hash = hashOf(m_entries[e].code);
            size_t i = size_t(hash) & mask;
            while (slots[i].place != 0)
                i = (i + 1) & mask;
            slots[i] = {std::uint32_t(hash >> 32), std::uint32_t(e + 1)};
        }
        m_slots.swap(slots);
        m_mask = mask;
    }

    std::vector<Slot> m_slots = std::vector<Slot>(64);
    size_t m_mask = 63;
    std::vector<Entry> m_entries;
};
