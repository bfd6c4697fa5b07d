// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/WinePrefixSearch.h"

#include <QDir>
#include <QMetaObject>

WinePrefixSearch::WinePrefixSearch(QObject *parent) : QObject(parent) {}

WinePrefixSearch::~WinePrefixSearch() = default;

void WinePrefixSearch::start()
{
    if (std::exchange(started_, true))
        return;
#ifdef Q_OS_WIN
    QMetaObject::invokeMethod(
        this, [this] { deliver({}); }, Qt::QueuedConnection);
#else
    const std::string home = QDir::homePath().toStdString();
    const std::string winePrefix = qEnvironmentVariable("WINEPREFIX").toStdString();
    worker_ = std::jthread([this, home, winePrefix](std::stop_token stop) {
        std::vector<core::WinePrefix> found = core::WinePrefixFinder(home, winePrefix).find(stop);
        // Dropped unread where this object is gone: its destructor waits for this thread.
        QMetaObject::invokeMethod(
            this, [this, found = std::move(found)]() mutable { deliver(std::move(found)); },
            Qt::QueuedConnection);
    });
#endif
}

void WinePrefixSearch::deliver(std::vector<core::WinePrefix> found)
{
    prefixes_ = std::move(found);
    done_ = true;
    emit finished();
}
