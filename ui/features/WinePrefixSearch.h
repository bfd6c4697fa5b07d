// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "wine/WinePrefixFinder.h"

#include <QObject>

#include <thread>
#include <vector>

// The search for the player's Wine prefixes, run once, off the GUI thread: with hundreds of
// prefixes it takes seconds, and the windows never wait for it. On Windows there is nothing
// to search.
class WinePrefixSearch : public QObject
{
    Q_OBJECT

  public:
    explicit WinePrefixSearch(QObject *parent = nullptr);
    // Stops a search under way and waits for it.
    ~WinePrefixSearch() override;

    // Starts the search unless it has started before.
    void start();
    bool isStarted() const { return started_; }
    bool isDone() const { return done_; }
    // Empty until the search is done.
    const std::vector<core::WinePrefix> &prefixes() const { return prefixes_; }

  signals:
    void finished();

  private:
    void deliver(std::vector<core::WinePrefix> found);

    bool started_ = false;
    bool done_ = false;
    std::vector<core::WinePrefix> prefixes_;
    std::jthread worker_;
};
