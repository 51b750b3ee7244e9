#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace sorvanel {

/// Told before each file of a run which one comes next: its place in the run (from 0), how
/// many files the run has, and the file's name. Answers whether the run goes on: false stops
/// it before that file, which is left as it is. An empty one lets the run go through.
using RunProgress =
    std::function<bool(std::size_t index, std::size_t count, const std::string& fileName)>;

/// Asks `progress` (when there is one) whether the run goes on with file `index`.
inline bool goesOn(
    const RunProgress& progress, std::size_t index, std::size_t count, const std::string& fileName)
{
    return !progress || progress(index, count, fileName);
}

} // namespace sorvanel
