// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToolkitSupplement.h"

#include "ToolkitTexts.h"

#include <cstring>

QString ToolkitSupplement::translate(const char *context, const char *sourceText, const char *,
                                     int) const
{
    if (!context || !sourceText)
        return {};
    for (const ToolkitText &text : toolkittexts::hungarian()) {
        if (std::strcmp(text.context, context) == 0 && std::strcmp(text.english, sourceText) == 0)
            return QString::fromUtf8(text.hungarian);
    }
    return {};
}
