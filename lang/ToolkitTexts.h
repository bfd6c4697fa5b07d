// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

// The toolkit's own texts that its Hungarian translation lacks, as the program shows them:
// the English is the toolkit's, the text it asks to translate.
struct ToolkitText
{
    const char *context;
    const char *english;
    const char *hungarian;
};

namespace toolkittexts {

std::span<const ToolkitText> hungarian();

} // namespace toolkittexts
