#pragma once

#include <string_view>

namespace sorvanel::ui {

/// How a folder's path begins a path the tree looks for.
enum class PrefixMatch { None, Exact, IgnoringCase };

struct Match
{
    PrefixMatch kind = PrefixMatch::None;
    bool whole = false; ///< the prefix is all of the path
};

/// Whether `path` begins with `prefix`: byte for byte, or only when the two are read as text
/// (each component decoded on its own, as the tree shows it; on Windows either separator read
/// as the system's) without regard to case.
Match matchPrefix(std::string_view path, std::string_view prefix);

} // namespace sorvanel::ui
