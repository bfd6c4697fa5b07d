// SPDX-License-Identifier: GPL-3.0-or-later
#include "SlotView.h"

#include "Language.h"
#include "forms/PathBox.h"
#include "report/RunTexts.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

SlotView::SlotView(const std::array<QLabel *, core::slotCount> &labels,
                   const std::array<QLineEdit *, core::slotCount> &texts)
    : labels_(labels), texts_(texts)
{
}

QString SlotView::text(int index) const
{
    return box(index)->text();
}

bool SlotView::showsAnyFile() const
{
    return std::any_of(texts_.begin(), texts_.end(),
                       [](const QLineEdit *text) { return !showsNoFile(text->text()); });
}

core::SlotTexts SlotView::texts() const
{
    core::SlotTexts texts;
    for (int i = 0; i < core::slotCount; ++i)
        texts[i] = texts_[i]->text().toStdString();
    return texts;
}

core::SlotTexts SlotView::labels() const
{
    core::SlotTexts labels;
    for (int i = 0; i < core::slotCount; ++i)
        labels[i] = labels_[i]->text().toStdString();
    return labels;
}

void SlotView::setText(int index, const QString &text) const
{
    PathBox::show(*box(index), text);
}

void SlotView::clear(int index, std::uint8_t language) const
{
    const std::string_view placeholder = core::RunTexts::forLanguage(language).placeholder;
    setText(index, QString::fromUtf8(placeholder.data(), qsizetype(placeholder.size())));
}

bool SlotView::showsNoFile(const QString &text)
{
    for (const Language language : allLanguages) {
        const std::string_view placeholder =
            core::RunTexts::forLanguage(codeOf(language)).placeholder;
        if (text == QString::fromUtf8(placeholder.data(), qsizetype(placeholder.size())))
            return true;
    }
    return text.trimmed().isEmpty() || text == QLatin1String("Text1");
}
