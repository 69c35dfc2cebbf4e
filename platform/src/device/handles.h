// SPDX-License-Identifier: GPL-3.0-or-later
// Opaque handles for the device's objects: an index and a generation, so that a stale or made-up value
// is refused instead of reaching freed memory.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

// Handle layout, 64-bit: generation in the high 32 bits, slot index + 1 in bits 8..31, the table's tag in
// bits 0..7. A 32-bit handle (WebAssembly) has room for less: generation in bits 20..31, slot index + 1 in
// bits 8..19, the tag in bits 0..7; a table then holds at most 4095 objects at a time and refuses more.
// Bit 0 of every tag is clear, so a caller's "handle | 1" is recognisably not a handle.
// Each device starts its tables at generations of its own (see first_generation), so that a handle kept
// from an earlier device is refused by the next one.
namespace handle_layout {
constexpr bool wide = sizeof(uintptr_t) >= 8;
constexpr int generation_shift = wide ? 32 : 20;
constexpr uint32_t generation_mask = wide ? 0xFFFFFFFFu : 0xFFFu;
constexpr uint32_t slot_mask = wide ? 0xFFFFFFu : 0xFFFu;
constexpr int device_generation_shift = wide ? 16 : 6; // generations between two devices' first ones
} // namespace handle_layout

template <class T>
class HandleTable {
public:
    HandleTable(uint8_t tag, uint32_t first_generation) : m_tag(tag), m_first_generation(first_generation) {}

    uintptr_t add(std::unique_ptr<T> object)
    {
        uint32_t index;
        if (!m_free.empty()) {
            index = m_free.back();
            m_free.pop_back();
        } else {
            if (m_slots.size() >= handle_layout::slot_mask)
                return 0; // no slot number left for another object
            index = static_cast<uint32_t>(m_slots.size());
            m_slots.push_back(Slot{nullptr, m_first_generation});
        }
        Slot& slot = m_slots[index];
        slot.m_object = std::move(object);
        return encode(index, slot.m_generation);
    }

    T* get(uintptr_t handle) const
    {
        uint32_t index;
        if (!decode(handle, &index))
            return nullptr;
        return m_slots[index].m_object.get();
    }

    // Frees the object; its handle and every copy of it are refused from now on.
    bool remove(uintptr_t handle)
    {
        uint32_t index;
        if (!decode(handle, &index) || !m_slots[index].m_object)
            return false;
        m_slots[index].m_object.reset();
        m_slots[index].m_generation = next_generation(m_slots[index].m_generation);
        m_free.push_back(index);
        return true;
    }

    template <class F>
    void for_each(F&& f) const
    {
        for (const Slot& s : m_slots)
            if (s.m_object)
                f(s.m_object.get());
    }

    // Objects held now; the number of slots ever made bounds it.
    size_t size() const { return m_slots.size() - m_free.size(); }

private:
    struct Slot {
        std::unique_ptr<T> m_object;
        uint32_t m_generation = 1;
    };

    static uint32_t next_generation(uint32_t g) { return g == handle_layout::generation_mask ? 1 : g + 1; }

    uintptr_t encode(uint32_t index, uint32_t generation) const
    {
        return (static_cast<uintptr_t>(generation) << handle_layout::generation_shift) |
               (static_cast<uintptr_t>(index + 1) << 8) | m_tag;
    }

    bool decode(uintptr_t handle, uint32_t* index) const
    {
        if ((handle & 0xFF) != m_tag)
            return false;
        uint64_t slot = (handle >> 8) & handle_layout::slot_mask;
        if (slot == 0 || slot > m_slots.size())
            return false;
        *index = static_cast<uint32_t>(slot - 1);
        return m_slots[*index].m_generation == static_cast<uint32_t>(handle >> handle_layout::generation_shift) &&
               m_slots[*index].m_object != nullptr;
    }

    uint8_t m_tag;
    uint32_t m_first_generation;
    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_free;
};

// Tags of the tables (even numbers).
constexpr uint8_t tag_window = 0x10;
constexpr uint8_t tag_gdi = 0x20;
constexpr uint8_t tag_dc = 0x30;
constexpr uint8_t tag_icon = 0x40;
constexpr uint8_t tag_accel = 0x50;
constexpr uint8_t tag_defer = 0x60;
constexpr uint8_t tag_remote_window = 0x70; // a window of another process: the pid where the generation goes

inline uintptr_t remote_window_handle(int pid)
{
    return (static_cast<uintptr_t>(pid) << handle_layout::generation_shift) | tag_remote_window;
}
inline int remote_window_pid(uintptr_t handle) { return static_cast<int>(handle >> handle_layout::generation_shift); }

// The first generation of the tables of the device started `devices_before` devices after the first: 65536
// generations apart (64 with 32-bit handles), so a slot must be reused that many times in one device
// before a handle of an earlier device could name an object again.
constexpr uint32_t first_generation(uint32_t devices_before)
{
    return (devices_before << handle_layout::device_generation_shift) % handle_layout::generation_mask + 1;
}

} // namespace platform
