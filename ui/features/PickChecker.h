// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "music/AudioCodecs.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <array>
#include <functional>
#include <optional>
#include <stop_token>

// Reads what each slot's pick holds, off the GUI thread, as soon as the pick is made, and
// says it: what Change will do with it, or why it cannot be read.
class PickChecker : public QObject
{
    Q_OBJECT

  public:
    struct Verdict
    {
        bool readable = false;
        bool converts = false;
        std::optional<core::AudioInfo> pick;
        std::optional<core::AudioInfo> gameFile; // the slot's reference, where there is one
        core::Reason reason;                     // why it cannot be read
        QString audioMissingAt;                  // where the missing audio part was looked for
    };

    // Reads a pick against the slot's game file; by default with the program's audio code.
    using Examine = std::function<Verdict(const QString &file, const QString &gameFile)>;

    explicit PickChecker(QObject *parent = nullptr, Examine examine = {});
    ~PickChecker() override;

    // Checks the file against the game's file of the slot; a newer check of the slot
    // replaces an older one still under way.
    void check(int slot, const QString &file, const QString &gameFile);
    void forget(int slot);
    // The last verdict of the slot, where its check has ended.
    const std::optional<Verdict> &verdict(int slot) const
    {
        return verdicts_.at(std::size_t(slot));
    }

    // From any thread: true once no check holds a file open any more, false when stopped
    // first. A run writes the game's files only after this, as Windows refuses to replace a
    // file another handle has open.
    bool waitForChecks(const std::stop_token &stop) const;

    // The tooltip line for a verdict, in the language given. loudnessSaysMore: the loudness
    // line tells what Change does to a pick copied otherwise as it is; this line gives only
    // the figures, lest the two contradict each other.
    static QString describe(const Verdict &verdict, std::uint8_t language,
                            bool loudnessSaysMore = false);

    // Where the pick's music, as measured, ends well before the length its file states: a
    // line that says so; else nothing.
    static QString describeCutShort(const Verdict &verdict, double measuredSeconds,
                                    std::uint8_t language);

  signals:
    void checked(int slot);

  private:
    Examine examine_;
    std::array<std::optional<Verdict>, 40> verdicts_;
    std::array<unsigned, 40> generations_{};
    // The checks' own threads, so that waiting for them waits for nothing else.
    mutable QThreadPool pool_;
};
