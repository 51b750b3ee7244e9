#pragma once

#include <cstddef>

namespace sorvanel {

/// Asks the system to back a large block with huge pages where it can. Touching fresh memory
/// page by page costs more than decoding a song into it; with huge pages it takes a fraction.
/// Only a hint: nothing changes for the caller when the system declines.
void adviseHugePages(void* block, std::size_t bytes) noexcept;

} // namespace sorvanel
