#pragma once

#include <string>

namespace sorvanel {

/// One listed song file.
struct MidiFileEntry
{
    std::string fullPath;
    std::string fileName; ///< without folder
    std::string title; ///< raw bytes of the first non-empty track name; empty when none
    /// Listed without reading it (a folder named to the command-line tool): a clean run leaves
    /// it out after its message when it cannot be read or is refused, and goes on.
    bool unchecked = false;
};

} // namespace sorvanel
