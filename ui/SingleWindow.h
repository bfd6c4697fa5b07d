// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>

#include <functional>

// Owns the one instance of a window that is created on first touch and destroyed when the
// user closes it; the next touch creates it afresh through the factory.
template <class Window> class SingleWindow
{
  public:
    using Factory = std::function<Window *()>;

    explicit SingleWindow(Factory factory) : factory_(std::move(factory)) {}
    ~SingleWindow() { delete window_.data(); }
    SingleWindow(const SingleWindow &) = delete;
    SingleWindow &operator=(const SingleWindow &) = delete;

    // Touching a window that does not exist creates it, hidden.
    Window &get()
    {
        if (!window_)
            window_ = factory_();
        return *window_;
    }

    Window *existing() const { return window_.data(); }

    // The window is closing and destroys itself; it no longer counts as existing.
    void release() { window_.clear(); }

  private:
    Factory factory_;
    QPointer<Window> window_;
};
