// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "run/ReplacementRun.h"
#include "settings/SlotTable.h"

#include <QString>

#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;

// The 40 slots' labels and text boxes as the features beside the main window see them:
// what each slot holds, and a way to fill or empty it, without the window itself.
class SlotView
{
  public:
    SlotView(const std::array<QLabel *, core::slotCount> &labels,
             const std::array<QLineEdit *, core::slotCount> &texts);

    QLineEdit *box(int index) const { return texts_.at(std::size_t(index)); }
    QString text(int index) const;
    // The slot shows a file to play, check, save in a set or hand over: looser than what
    // Change tries (ReplacementRun::holdsPick), see showsNoFile.
    bool showsFile(int index) const { return !showsNoFile(text(index)); }
    bool showsAnyFile() const;
    // What a run takes: every slot's text, and the labels as the window shows them.
    core::SlotTexts texts() const;
    core::SlotTexts labels() const;
    // Shows the beginning of the text, as a freshly filled box does.
    void setText(int index, const QString &text) const;
    // Puts the language's placeholder back.
    void clear(int index, std::uint8_t language) const;

    // The placeholder of either language, a blank text, or the boxes' defined "Text1".
    static bool showsNoFile(const QString &text);

  private:
    const std::array<QLabel *, core::slotCount> &labels_;
    const std::array<QLineEdit *, core::slotCount> &texts_;
};
