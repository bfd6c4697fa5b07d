// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QProgressDialog>

#include <cstdint>
#include <functional>
#include <stop_token>

// Work that may last a while: run on a worker thread behind a progress window with Cancel,
// modal to its parent, while this thread keeps serving the windows. Change's run and the
// copy of a set's music share it.
class ProgressWorker
{
  public:
    ProgressWorker(QWidget *parent, std::uint8_t language, int steps);

    void setLabelText(const QString &text) { progress_.setLabelText(text); }
    // The progress window shows only once the work has lasted this long; 0 shows it at once.
    void setMinimumDuration(int milliseconds) { progress_.setMinimumDuration(milliseconds); }
    // Until the first report the bar only shows that the work goes on.
    void setUnmeasured() { progress_.setRange(0, 0); }
    // While the work runs, the window takes none of the player's input but through
    // `stillServed`, and the progress window leaves it reachable, so that the window's own
    // way out can stop the work. Without it the progress window is modal to its parent.
    void holdInput(QWidget &window, const QWidget *stillServed);
    // Returns once the work has ended on its worker thread.
    void run(const std::function<void()> &work);
    // Called from the work: shown once this thread gets to it, unless the window is gone.
    void report(int value, const QString &label);
    // Called from the work: what it does while it has no measure yet, shown at once, for a
    // wait the player should know of.
    void reportLabel(const QString &label);
    // Work that cannot stop half-way: the window offers no Cancel.
    void withoutCancel() { progress_.setCancelButton(nullptr); }
    std::stop_token stopToken() const { return stop_.get_token(); }
    bool stopRequested() const { return stop_.stop_requested(); }
    void requestStop() { stop_.request_stop(); }
    // For good: neither the window's own timer nor a report still on its way shows it again.
    void hide();

  private:
    QProgressDialog progress_;
    std::stop_source stop_;
    QPointer<QProgressDialog> shown_;
    int steps_;
    QWidget *heldWindow_ = nullptr;
    const QWidget *stillServed_ = nullptr;
};
