// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/CommonDialog.h"

#include "PlatformLayer.h"
#include "music/MusicFormats.h"

#include <QDir>
#include <QStringList>

namespace {

QString initialFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\");
#else
    return QDir::homePath();
#endif
}

} // namespace

CommonDialog::CommonDialog(QObject *parent)
    : QObject(parent), dialogTitle_(QStringLiteral("Open")),
      filter_(QString::fromUtf8("Mp3 hangfájlok (*.mp3)|*.mp3|")), initDir_(initialFolder())
{
    setObjectName(QStringLiteral("CommonDialog1"));
}

QString CommonDialog::qtNameFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts.at(i);
        const QString patterns =
            QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the last parentheses; a description that already ends
        // with them is shown as it stands.
        const QString shown = QStringLiteral("(%1)").arg(patterns);
        entries << (description.endsWith(shown) ? description : description + ' ' + shown);
    }
    return entries.join(QStringLiteral(";;"));
}

std::optional<QString> CommonDialog::showOpen(PlatformLayer &platform, QWidget *parent)
{
    QString nameFilter = qtNameFilter(filter_);
    if (!musicFilterName_.isEmpty()) {
        QStringList patterns;
        for (const std::string_view extension : core::MusicFormats::extensions)
            patterns << QStringLiteral("*.") +
                            QString::fromLatin1(extension.data(), qsizetype(extension.size()));
        nameFilter +=
            QStringLiteral(";;%1 (%2)").arg(musicFilterName_, patterns.join(QLatin1Char(' ')));
    }
    const QStringList entries = nameFilter.split(QStringLiteral(";;"));
    PlatformLayer::OpenFileRequest request{dialogTitle_, nameFilter, initDir_, fileName_,
                                           entries.value(filterEntry_, entries.constFirst())};
    const std::optional<QString> chosen = platform.chooseFileToOpen(parent, request);
    if (const qsizetype entry = entries.indexOf(request.selectedFilter); entry >= 0)
        filterEntry_ = entry;
    if (chosen)
        fileName_ = *chosen;
    return chosen;
}
