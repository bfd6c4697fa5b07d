// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTranslator>

// The toolkit's texts that its own Hungarian translation lacks (lang/ToolkitTexts), installed
// beside it; every other text it leaves to that translation.
class ToolkitSupplement : public QTranslator
{
  public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText,
                      const char *disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return false; }
};
