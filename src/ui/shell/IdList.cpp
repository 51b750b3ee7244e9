#include "ui/shell/IdList.h"

#include <cstring>
#include <limits>
#include <new>

namespace sorvanel::ui {

namespace {

std::size_t itemCount(const std::uint8_t* item)
{
    return static_cast<std::size_t>(item[0]) | static_cast<std::size_t>(item[1]) << 8;
}

} // namespace

std::size_t IdListSize(const std::uint8_t* list)
{
    if (list == nullptr)
        return 0;
    std::size_t size = 2;
    for (const std::uint8_t* item = list; std::size_t count = itemCount(item); item += count)
        size += count;
    return size;
}

IdList ConcatIdLists(const std::uint8_t* first, const std::uint8_t* second)
{
    std::size_t firstSize = first ? IdListSize(first) - 2 : 0;
    std::size_t secondSize = IdListSize(second);
    try {
        std::vector<std::uint8_t> bytes(firstSize + secondSize, 0);
        if (firstSize != 0)
            std::memcpy(bytes.data(), first, firstSize);
        if (secondSize != 0)
            std::memcpy(bytes.data() + firstSize, second, secondSize);
        return IdList(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

IdList CopyFirstItemId(const std::uint8_t* list)
{
    if (list == nullptr)
        return {};
    std::size_t size = itemCount(list) + 2;
    try {
        std::vector<std::uint8_t> bytes(list, list + size);
        // The bytes after the first item are the next item's count, not a terminator.
        bytes[size - 2] = 0;
        bytes[size - 1] = 0;
        return IdList(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

IdList makeItemId(std::span<const std::uint8_t> payload)
{
    std::size_t count = payload.size() + 2;
    if (count > std::numeric_limits<std::uint16_t>::max())
        return {};
    std::vector<std::uint8_t> bytes(count + 2, 0);
    bytes[0] = static_cast<std::uint8_t>(count & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(count >> 8);
    if (!payload.empty())
        std::memcpy(bytes.data() + 2, payload.data(), payload.size());
    return IdList(std::move(bytes));
}

std::vector<std::span<const std::uint8_t>> itemPayloads(const std::uint8_t* list)
{
    std::vector<std::span<const std::uint8_t>> payloads;
    if (list == nullptr)
        return payloads;
    for (const std::uint8_t* item = list; std::size_t count = itemCount(item); item += count)
        payloads.emplace_back(item + 2, count - 2);
    return payloads;
}

} // namespace sorvanel::ui
