#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sorvanel::ui {

/// An item ID list in the shell's published byte layout: items, each starting with a 16-bit
/// little-endian byte count that includes the count itself, ended by a 16-bit zero. The
/// object owns its bytes; a default-constructed one is "no list" (a null list pointer).
class IdList
{
public:
    IdList() = default;
    explicit IdList(std::vector<std::uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {
    }

    /// The list's first byte, or null when there is no list.
    const std::uint8_t* get() const { return m_bytes.empty() ? nullptr : m_bytes.data(); }
    bool isNull() const { return m_bytes.empty(); }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

/// 0 when there is no list, otherwise 2 plus the sum of the counts of all items.
std::size_t IdListSize(const std::uint8_t* list);

/// The first list without its terminator followed by the whole second list; a missing first
/// list counts as empty. No list when memory runs out.
IdList ConcatIdLists(const std::uint8_t* first, const std::uint8_t* second);

/// A one-level list holding the first item of `list` and a terminator. No list when there is
/// no list to copy or memory runs out.
IdList CopyFirstItemId(const std::uint8_t* list);

/// A one-level list whose only item carries `payload` (at most 65533 bytes; longer payloads
/// give no list).
IdList makeItemId(std::span<const std::uint8_t> payload);

/// The payloads of the items of `list`, in order; empty for no list.
std::vector<std::span<const std::uint8_t>> itemPayloads(const std::uint8_t* list);

} // namespace sorvanel::ui
