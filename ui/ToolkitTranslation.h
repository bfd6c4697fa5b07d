// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ToolkitSupplement.h"

#include <QTranslator>

#include <cstdint>

// The toolkit's own texts (the file dialogs' captions and buttons, the message boxes'
// standard texts, a text box's editing menu) in the interface's language: Hungarian from the
// toolkit's translation and what it lacks from our own, English as the toolkit has them.
class ToolkitTranslation
{
  public:
    static ToolkitTranslation &instance();

    // The code's language: Hungarian loads the toolkit's translation, English unloads it.
    void apply(std::uint8_t code);

    // Where the Hungarian file is looked for.
    static QString folder();

  private:
    ToolkitTranslation() = default;

    QTranslator translator_;
    ToolkitSupplement supplement_;
    bool installed_ = false;
};
