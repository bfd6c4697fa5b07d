// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <utility>

// Hands what a worker thread found back to an object of the GUI thread. The worker never reads
// the guard: the object may be half destroyed on the GUI thread at that moment. The call is
// queued on the application instead, and the guard is looked at where the object lives.
template <typename Object, typename Call>
void postBack(const QPointer<Object> &receiver, Call &&call)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [receiver, call = std::forward<Call>(call)]() mutable {
            if (receiver)
                call(*receiver);
        },
        Qt::QueuedConnection);
}
