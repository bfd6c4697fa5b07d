// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QProgressDialog>

#include <cstdint>
#include <functional>
#include <stop_token>

// Work that may last a while: run on a worker thread behind a progress window with Cancel,
// modal to its parent, while this thread keeps serving the windows. Change's conversions
// and the copy of a set's music share it.
class ProgressWorker
{
  public:
    ProgressWorker(QWidget *parent, std::uint8_t language, int steps);

    void setLabelText(const QString &text) { progress_.setLabelText(text); }
    // Returns once the work has ended on its worker thread.
    void run(const std::function<void()> &work);
    // Called from the work: shown once this thread gets to it, unless the window is gone.
    void report(int value, const QString &label);
    std::stop_token stopToken() const { return stop_.get_token(); }
    bool stopRequested() const { return stop_.stop_requested(); }
    void hide() { progress_.hide(); }

    // Work that is over in a moment: on this thread, under the wait cursor.
    static void runWithWaitCursor(const std::function<void()> &work);

  private:
    QProgressDialog progress_;
    std::stop_source stop_;
    QPointer<QProgressDialog> shown_;
};
