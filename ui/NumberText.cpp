// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberText.h"

#include "TextTable.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

QLocale localeOf(std::uint8_t language)
{
    QLocale locale = TextTable::forLanguage(language).hungarianOptionSelected
                         ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                         : QLocale::c();
    // A separator of thousands would only stand between a figure and its unit.
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

QString NumberText::decimal(double value, int decimals, std::uint8_t language)
{
    return localeOf(language).toString(value, 'f', decimals);
}

QString NumberText::kiloHertz(int sampleRate, std::uint8_t language)
{
    // Up to five significant digits: 44,1, 22,05, 11,025.
    return localeOf(language).toString(sampleRate / 1000.0, 'g', 5);
}

QString NumberText::minutesSeconds(double seconds, std::uint8_t language)
{
    const auto hundredths = qint64(std::llround(std::max(seconds, 0.0) * 100));
    const QString inMinute = decimal(double(hundredths % 6000) / 100, 2, language);
    return QStringLiteral("%1:%2").arg(hundredths / 6000).arg(inMinute, 5, QLatin1Char('0'));
}
