// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

// Room for a long pick's samples, hundreds of megabytes: on Linux the system is asked to
// back it with large pages, as faulting it in 4 KiB pages took a third of a long pick's
// decoding. Elsewhere a plain reserve.
void reserveLargeBuffer(std::vector<float> &buffer, std::size_t count);
