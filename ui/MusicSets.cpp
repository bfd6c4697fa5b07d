// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicSets.h"

#include "AtomicFileWriter.h"
#include "FailureCodes.h"
#include "FailureReason.h"
#include "LoudnessChoice.h"
#include "PickChecker.h"
#include "Platform.h"
#include "ProgressWorker.h"
#include "ReplacementRun.h"
#include "RunMessage.h"
#include "SharedState.h"
#include "SlotRow.h"
#include "TextTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QShortcut>

MusicSets::MusicSets(QWidget &window, PlatformLayer &platform, SlotView slotView,
                     const SharedState &state, const PickChecker &pickChecker, RunMessage &message,
                     QObject *parent)
    : QObject(parent), window_(window), platform_(platform), slots_(slotView), state_(state),
      pickChecker_(pickChecker), message_(message)
{
    // Keys that no control of the window uses.
    auto *saveKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &window_);
    connect(saveKey, &QShortcut::activated, this, [this] { save(false); });
    auto *openKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &window_);
    connect(openKey, &QShortcut::activated, this, &MusicSets::open);
}

QMenu *MusicSets::createMenu(QWidget *parent)
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    auto *menu = new QMenu(parent);
    const bool anyPick = slots_.hasAnyPick();
    menu->addAction(QString::fromUtf8(texts.saveSet), this, [this] { save(false); })
        ->setEnabled(anyPick);
    menu->addAction(QString::fromUtf8(texts.saveSetWithMusic), this, [this] { save(true); })
        ->setEnabled(anyPick);
    menu->addAction(QString::fromUtf8(texts.openSet), this, &MusicSets::open);
    menu->addAction(QString::fromUtf8(texts.clearAllPicks), this, &MusicSets::clearAll)
        ->setEnabled(anyPick);
    if (loudnessChoice_) {
        menu->addSeparator();
        loudnessChoice_->addEntries(*menu, texts);
    }
    return menu;
}

void MusicSets::showMenu(const QPoint &globalPosition)
{
    QMenu *menu = createMenu(&window_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPosition);
}

void MusicSets::clearAll()
{
    for (int i = 0; i < core::slotCount; ++i)
        slots_.clear(i, state_.nyelv);
}

PlatformLayer::OpenFileRequest MusicSets::fileRequest() const
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    return {QString::fromUtf8(texts.setFilterName),
            QStringLiteral("%1 (*.m3u8 *.m3u)").arg(QString::fromUtf8(texts.setFilterName)),
            QDir::homePath(),
            {}};
}

void MusicSets::save(bool withMusic)
{
    std::optional<QString> chosen = platform_.chooseFileToSave(&window_, fileRequest());
    if (!chosen)
        return;
    QString file = *chosen;
    if (!SlotRow::isSetFile(file))
        file += QStringLiteral(".m3u8");
    const QFileInfo setInfo(file);
    core::MusicSet set;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString pick = slots_.text(i);
        if (SlotView::isPlaceholder(pick))
            continue;
        const auto &verdict = pickChecker_.verdict(i);
        set.picks.push_back(
            {i, core::platform::pathFromText(QFileInfo(pick).absoluteFilePath().toStdString()),
             verdict && verdict->pick ? verdict->pick->seconds : -1});
    }
    if (loudnessChoice_)
        loudnessChoice_->recordIn(set);
    if (withMusic && !copyMusicBeside(setInfo, set))
        return;
    core::AtomicFileWriter writer;
    const std::filesystem::path folder =
        core::platform::pathFromText(setInfo.absolutePath().toStdString());
    if (const auto failure = writer.writeBytes(
            core::platform::pathFromText(setInfo.absoluteFilePath().toStdString()),
            set.format(folder)))
        platform_.showMessage(
            &window_, QString::fromUtf8(TextTable::forLanguage(state_.nyelv).cannotWriteSettings)
                          .arg(QDir::toNativeSeparators(file),
                               failureReason(failure->systemError, state_.nyelv)));
}

bool MusicSets::copyMusicBeside(const QFileInfo &setInfo, core::MusicSet &set)
{
    // Into "<set name> files/" beside the set, with names of their own, on a worker; a
    // cancelled copy leaves no half-copied set behind.
    const QString folder = setInfo.absolutePath() + QLatin1Char('/') + setInfo.completeBaseName() +
                           QStringLiteral(" files");
    const bool madeFolder = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder))
        return false;
    QStringList taken;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> copies;
    for (core::MusicSet::Pick &pick : set.picks) {
        const QFileInfo source(QString::fromStdString(core::platform::textFromPath(pick.file)));
        QString name = source.fileName();
        for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
            name = QStringLiteral("%1 (%2).%3")
                       .arg(source.completeBaseName())
                       .arg(n)
                       .arg(source.suffix());
        taken << name;
        const std::filesystem::path target =
            core::platform::pathFromText((folder + QLatin1Char('/') + name).toStdString());
        copies.emplace_back(pick.file, target);
        pick.file = target;
    }
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    ProgressWorker worker(&window_, state_.nyelv, int(copies.size()));
    std::optional<core::FileError> failure;
    worker.run([&] {
        core::AtomicFileWriter writer;
        for (std::size_t i = 0; i < copies.size() && !worker.stopRequested() && !failure; ++i) {
            const QString name =
                QString::fromStdString(core::platform::textFromPath(copies[i].first.filename()));
            worker.report(int(i), QString::fromUtf8(texts.copyingMusic).arg(name));
            failure = writer.copyFile(copies[i].first, copies[i].second);
        }
    });
    worker.hide();
    if (!worker.stopRequested() && !failure)
        return true;
    if (madeFolder)
        QDir(folder).removeRecursively();
    else
        for (const auto &[source, target] : copies)
            std::filesystem::remove(target);
    if (failure)
        message_.show(
            {core::RunResult::Outcome::Failed, -1, core::failureCodeFor(*failure),
             QString::fromUtf8(texts.cannotWriteSettings)
                 .arg(QString::fromStdString(core::platform::textFromPath(folder.toStdString())),
                      failureReason(failure->systemError, state_.nyelv))
                 .toStdString()});
    return false;
}

void MusicSets::open()
{
    if (const std::optional<QString> chosen = platform_.chooseFileToOpen(&window_, fileRequest()))
        openFile(*chosen, false);
}

void MusicSets::openFile(const QString &file, bool askFirst)
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    if (askFirst && slots_.hasAnyPick() &&
        !platform_.askYesNo(&window_, QString::fromUtf8(texts.replacePicksQuestion),
                            PlatformLayer::DefaultAnswer::Yes))
        return;
    constexpr std::size_t largestSet = 1 << 20;
    const std::string bytes =
        core::MusicSet::readFile(core::platform::pathFromText(file.toStdString()), largestSet)
            .value_or(std::string());
    const QFileInfo info(file);
    const core::MusicSet set = core::MusicSet::parse(
        bytes, core::platform::pathFromText(info.absolutePath().toStdString()));
    QStringList problems;
    for (const std::string &problem : set.problems)
        problems << QString::fromStdString(problem);
    // A file that is no playlist changes nothing.
    if (!set.picks.empty() || problems.isEmpty()) {
        clearAll();
        // A file no longer there still fills its slot, marked as its check finds it.
        for (const core::MusicSet::Pick &pick : set.picks)
            slots_.setText(pick.slot, QDir::toNativeSeparators(QString::fromStdString(
                                          core::platform::textFromPath(pick.file))));
        if (loudnessChoice_)
            loudnessChoice_->takeFrom(set);
    }
    if (!problems.isEmpty())
        platform_.showMessage(
            &window_, QString::fromUtf8(texts.setProblems).arg(problems.join(QLatin1Char('\n'))));
}
