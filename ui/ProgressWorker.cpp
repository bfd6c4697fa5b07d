// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressWorker.h"

#include "TextTable.h"

#include <QApplication>
#include <QEventLoop>

#include <thread>

ProgressWorker::ProgressWorker(QWidget *parent, std::uint8_t language, int steps)
    : progress_(parent), shown_(&progress_)
{
    // Modal to its parent, shown at once, closed by its owner; Esc is Cancel.
    progress_.setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    progress_.setWindowModality(Qt::WindowModal);
    progress_.setCancelButtonText(QString::fromUtf8(TextTable::forLanguage(language).cancelButton));
    progress_.setRange(0, steps);
    progress_.setMinimumDuration(0);
    progress_.setAutoClose(false);
    progress_.setAutoReset(false);
    QObject::connect(&progress_, &QProgressDialog::canceled, &progress_,
                     [this] { stop_.request_stop(); });
}

void ProgressWorker::run(const std::function<void()> &work)
{
    // The window keeps painting and its progress window answers while the work runs.
    QEventLoop loop;
    std::jthread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
}

void ProgressWorker::report(int value, const QString &label)
{
    const QPointer<QProgressDialog> shown = shown_;
    QMetaObject::invokeMethod(
        shown.data(),
        [=] {
            if (!shown)
                return;
            shown->setValue(value);
            shown->setLabelText(label);
        },
        Qt::QueuedConnection);
}

void ProgressWorker::runWithWaitCursor(const std::function<void()> &work)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    work();
    QApplication::restoreOverrideCursor();
}
