// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

#include <string>

// Small helpers for tests that work on real files in temporary folders.
namespace testfiles {

inline std::string readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

// A real MP3, the bytes of a song a test picks: a run copies it as it is.
inline std::string song()
{
    return readBytes(QStringLiteral(VMC_AUDIO_FIXTURES "/tone.mp3"));
}

inline bool writeBytes(const QString &path, const std::string &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

// Every entry of a folder, hidden ones included, sorted.
inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline std::string pattern(char c, std::size_t size)
{
    return std::string(size, c);
}

} // namespace testfiles
