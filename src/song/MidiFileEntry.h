#pragma once

#include <string>

namespace sorvanel {

/// One listed song file.
struct MidiFileEntry
{
    std::string fullPath;
    std::string fileName; ///< without folder
    std::string title; ///< raw bytes of the first non-empty track name; empty when none
};

} // namespace sorvanel
