// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/ProgressWorker.h"

#include "TextTable.h"
#include "TitleRoom.h"
#include "features/PostBack.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// Set once the work is over: its reports still queued are dropped.
constexpr char endedProperty[] = "workEnded";

bool isPlayersInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

// Keeps the player's input from one window while work runs, but for one of its widgets. The
// window looks as it did: a run over in a moment shows nothing at all.
class InputHold : public QObject
{
  public:
    InputHold(QWidget &window, const QWidget *stillServed)
        : window_(window), stillServed_(stillServed)
    {
        qApp->installEventFilter(this);
    }
    ~InputHold() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!isPlayersInput(event->type()))
            return false;
        // A shortcut or an action belongs to the window of its nearest widget.
        QObject *owner = watched;
        while (owner && !owner->isWidgetType())
            owner = owner->parent();
        const auto *widget = static_cast<QWidget *>(owner);
        return widget && widget->window() == &window_ && widget != stillServed_;
    }

  private:
    QWidget &window_;
    const QWidget *stillServed_;
};

} // namespace

ProgressWorker::ProgressWorker(QWidget *parent, std::uint8_t language, int steps)
    : progress_(parent), shown_(&progress_), steps_(steps)
{
    // Modal to its parent, shown at once, closed by its owner; Esc is Cancel.
    progress_.setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    TitleRoom::keep(progress_);
    progress_.setWindowModality(Qt::WindowModal);
    progress_.setCancelButtonText(QString::fromUtf8(TextTable::forLanguage(language).cancelButton));
    progress_.setRange(0, steps);
    progress_.setMinimumDuration(0);
    progress_.setAutoClose(false);
    progress_.setAutoReset(false);
    QObject::connect(&progress_, &QProgressDialog::canceled, &progress_,
                     [this] { stop_.request_stop(); });
}

void ProgressWorker::holdInput(QWidget &window, const QWidget *stillServed)
{
    heldWindow_ = &window;
    stillServed_ = stillServed;
    progress_.setWindowModality(Qt::NonModal);
}

void ProgressWorker::run(const std::function<void()> &work)
{
    std::optional<InputHold> hold;
    if (heldWindow_)
        hold.emplace(*heldWindow_, stillServed_);
    // The window's clock starts with the work.
    progress_.setValue(progress_.minimum());
    if (progress_.minimumDuration() == 0)
        progress_.show();
    // The window keeps painting and its progress window answers while the work runs.
    QEventLoop loop;
    std::atomic<bool> done = false;
    std::jthread worker([&] {
        work();
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // Left early, as for the program's end: the work is stopped before it is waited for.
    if (!done)
        stop_.request_stop();
    worker.join();
}

void ProgressWorker::report(int value, const QString &label)
{
    const int steps = steps_;
    postBack(shown_, [=](QProgressDialog &shown) {
        if (shown.property(endedProperty).toBool())
            return;
        // A run starts without knowing whether anything is converted: no measure yet.
        if (shown.maximum() == 0)
            shown.setMaximum(steps);
        shown.setValue(value);
        shown.setLabelText(label);
    });
}

void ProgressWorker::reportLabel(const QString &label)
{
    postBack(shown_, [=](QProgressDialog &shown) {
        if (shown.property(endedProperty).toBool())
            return;
        shown.setLabelText(label);
        shown.show();
    });
}

void ProgressWorker::hide()
{
    progress_.setProperty(endedProperty, true);
    // Stops the timer that shows the window once the minimum duration has passed, which
    // would otherwise show it over the run's message.
    progress_.reset();
    progress_.hide();
}
