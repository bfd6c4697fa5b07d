// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#ifdef __linux__
#include <sys/mount.h>
#endif

// A small tmpfs mounted for one test, to make a real full disk or read-only folder. Only
// root can mount; elsewhere mounted() is false and the test skips with the reason.
class ScratchMount
{
  public:
    ScratchMount(const QString &folder, const QByteArray &options) : folder_(folder.toLocal8Bit())
    {
#ifdef __linux__
        mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", 0, options.constData()) == 0;
#else
        Q_UNUSED(options);
#endif
    }
    ~ScratchMount()
    {
#ifdef __linux__
        if (mounted_)
            ::umount2(folder_.constData(), MNT_DETACH);
#endif
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;

    bool mounted() const
    {
        return mounted_;
    }

    bool makeReadOnly()
    {
#ifdef __linux__
        return mounted_ &&
               ::mount("tmpfs", folder_.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
#else
        return false;
#endif
    }

  private:
    QByteArray folder_;
    bool mounted_ = false;
};
