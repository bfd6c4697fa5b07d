// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/RunMessage.h"

#include "PlatformLayer.h"
#include "ProtectedFolder.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/FailureReason.h"
#include "features/Listening.h"
#include "features/LoudnessChoice.h"
#include "files/FailureCodes.h"
#include "files/Platform.h"
#include "run/ReplacementRun.h"
#include "sets/MusicSet.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace {

QString fileNameOf(const std::string &slotText)
{
    return QString::fromStdString(
        core::platform::textFromPath(core::platform::pathFromText(slotText).filename()));
}

// The table's reasons begin a sentence; after a colon they go on one.
QString afterColon(QString reason)
{
    if (reason.size() > 1 && reason.at(0).isUpper() && !reason.at(1).isUpper())
        reason[0] = reason.at(0).toLower();
    return reason;
}

// Windows refuses a read-only file, and a system a read-only folder, as it refuses any
// file it denies: the attribute tells them apart.
bool deniedAsReadOnly(core::SystemError error, const std::string &gameFolder,
                      const std::string &target)
{
    if (core::commonFailureOf(error) != core::CommonFailure::AccessDenied || gameFolder.empty())
        return false;
    const QFileInfo file(QString::fromStdString(
        core::platform::textFromPath(core::platform::pathFromText(gameFolder + target))));
    return (file.exists() && !file.isWritable()) || !QFileInfo(file.absolutePath()).isWritable();
}

bool failedOnPick(const core::FileError &failure)
{
    return failure.kind != core::FileError::Kind::DestinationCall &&
           failure.kind != core::FileError::Kind::DestinationIsFolder;
}

// The captions of the slots, joined as a list; the player never sees slot numbers.
QString captions(const std::vector<int> &indices, const core::SlotTexts &labels)
{
    QStringList named;
    for (int slot : indices)
        named << QString::fromStdString(labels[std::size_t(slot)]);
    return named.join(QStringLiteral(", "));
}

QString counted(const std::vector<int> &indices, const core::SlotTexts &labels, const char *one,
                const char *many)
{
    if (indices.empty())
        return {};
    return QString::fromUtf8(indices.size() == 1 ? one : many).arg(captions(indices, labels));
}

bool stoppedAtCopy(const core::RunResult &result)
{
    return result.outcome == core::RunResult::Outcome::Failed && !result.refusedBeforeWriting &&
           result.slot >= 0 && result.slot < core::slotCount && result.failure.has_value();
}

// Why the failing slot's copy failed, naming the pick or the game's file.
QString whyCopyFailed(const core::RunResult &result, const RunMessage::ChangeStop &change,
                      const core::SlotTable &slotTable, std::uint8_t language)
{
    const TextTable &texts = TextTable::forLanguage(language);
    const core::FileError &failure = *result.failure;
    if (failedOnPick(failure)) {
        QString why;
        if (result.code == core::failure::fileNotFound)
            why = QString::fromUtf8(change.pickWasFound ? texts.pickNoLongerThere
                                                        : texts.pickNotThere);
        else if (failure.systemError != 0)
            why = afterColon(failureReason(failure.systemError, language));
        if (why.isEmpty())
            return {};
        return QString::fromUtf8(texts.changeStoppedAtPick)
            .arg(fileNameOf(change.texts[std::size_t(result.slot)]), why);
    }
    const std::string &target = slotTable.targetFileName(result.slot);
    QString why;
    if (failure.kind == core::FileError::Kind::DestinationIsFolder)
        why = QString::fromUtf8(texts.reasonFolderInPlace);
    else if (deniedAsReadOnly(failure.systemError, change.gameFolder, target))
        why = QString::fromUtf8(texts.reasonReadOnly);
    else
        why = failureReason(failure.systemError, language);
    return QString::fromUtf8(texts.changeStoppedAtGameFile)
        .arg(QString::fromStdString(target), afterColon(why));
}

std::vector<int> notTried(const core::RunResult &result, const RunMessage::ChangeStop &change,
                          std::uint8_t language)
{
    std::vector<int> later;
    for (int i = result.slot + 1; i < core::slotCount; ++i) {
        if (core::ReplacementRun::holdsPick(change.texts[std::size_t(i)], language))
            later.push_back(i);
    }
    return later;
}

QString picksPutIn(const core::RunResult &result, const RunMessage::ChangeStop &change,
                   std::uint8_t language)
{
    int putIn = 0;
    for (int i = 0; i < result.slot; ++i)
        putIn += core::ReplacementRun::holdsPick(change.texts[std::size_t(i)], language) ? 1 : 0;
    const TextTable &texts = TextTable::forLanguage(language);
    if (putIn == 0)
        return QString::fromUtf8(texts.changePicksInNone);
    return putIn == 1 ? QString::fromUtf8(texts.changePicksInOne)
                      : QString::fromUtf8(texts.changePicksInMany).arg(putIn);
}

} // namespace

RunMessage::RunMessage(const FeatureContext &context)
    : window_(context.window), platform_(context.platform), slots_(context.slotView),
      slotTable_(context.slotTable), state_(context.state), listening_(context.listening)
{
}

void RunMessage::show(const core::RunResult &result, const ChangeStop *change)
{
    if (const QString cancelled = cancelledChange(result, state_.nyelv); !cancelled.isEmpty()) {
        platform_.showMessage(&window_, cancelled);
        return;
    }
    if (result.message.empty())
        return;
    const QString informative =
        change ? stoppedChange(result, *change, slots_.labels(), slotTable_, state_.nyelv)
               : QString();
    if (showWithAddition(result, informative))
        return;
    platform_.showMessageWithInformativeText(&window_, QString::fromStdString(result.message),
                                             informative);
}

QString RunMessage::stoppedChange(const core::RunResult &result, const ChangeStop &change,
                                  const core::SlotTexts &labels, const core::SlotTable &slotTable,
                                  std::uint8_t language)
{
    if (!stoppedAtCopy(result))
        return {};
    const TextTable &texts = TextTable::forLanguage(language);
    QStringList said;
    said << whyCopyFailed(result, change, slotTable, language)
         << picksPutIn(result, change, language)
         << counted(notTried(result, change, language), labels, texts.changeNotTriedOne,
                    texts.changeNotTriedMany)
         << counted(change.leftAsTheyWere, labels, texts.changeLeftOne, texts.changeLeftMany);
    said.removeAll(QString());
    return said.join(QLatin1Char('\n'));
}

std::array<QString, core::slotCount> RunMessage::slotNotes(const core::RunResult &result,
                                                           const ChangeStop &change,
                                                           const core::SlotTable &slotTable,
                                                           std::uint8_t language)
{
    std::array<QString, core::slotCount> notes;
    if (!stoppedAtCopy(result))
        return notes;
    notes[std::size_t(result.slot)] = whyCopyFailed(result, change, slotTable, language);
    const QString notTriedNote = QString::fromUtf8(TextTable::forLanguage(language).slotNotTried);
    for (int slot : notTried(result, change, language))
        notes[std::size_t(slot)] = notTriedNote;
    return notes;
}

QString RunMessage::cancelledChange(const core::RunResult &result, std::uint8_t language)
{
    const int picks = result.picksPutIn + result.picksNotPutIn;
    if (result.outcome != core::RunResult::Outcome::Cancelled || picks == 0)
        return {};
    const TextTable &texts = TextTable::forLanguage(language);
    if (result.picksPutIn == 0)
        return QString::fromUtf8(texts.changeCancelledBeforeAny);
    // The button as the window shows it, without its access key's mark.
    const QString restoreButton = QString::fromUtf8(texts.restoreDefault).remove(QLatin1Char('&'));
    return QString::fromUtf8(texts.changeCancelled)
        .arg(result.picksPutIn)
        .arg(picks)
        .arg(result.picksNotPutIn)
        .arg(restoreButton);
}

RunMessage::Addition RunMessage::additionFor(const core::RunResult &result, bool protectedFolder,
                                             bool elevated)
{
    if (result.outcome != core::RunResult::Outcome::Failed || result.systemError == 0)
        return Addition::None;
    switch (core::commonFailureOf(result.systemError)) {
    case core::CommonFailure::InUse:
        return Addition::InUseReason;
    case core::CommonFailure::AccessDenied:
        return result.code == core::failure::permissionDenied && protectedFolder && !elevated
                   ? Addition::ElevationOffer
                   : Addition::None;
    default:
        return Addition::None;
    }
}

bool RunMessage::showWithAddition([[maybe_unused]] const core::RunResult &result,
                                  [[maybe_unused]] const QString &informativeText)
{
#ifdef Q_OS_WIN
    const QString folder = QString::fromStdString(state_.utvonal);
    const Addition addition =
        additionFor(result, isUnderProtectedFolder(folder), platform_.isElevated());
    // One box: the run's own message as it is, what Windows adds in its informative text.
    const QString message = QString::fromStdString(result.message);
    // A stopped Change has already said why the file was in use.
    const QString said =
        informativeText.isEmpty() ? QString() : informativeText + QLatin1Char('\n');
    switch (addition) {
    case Addition::None:
        return false;
    case Addition::InUseReason:
        platform_.showMessageWithInformativeText(
            &window_, message,
            informativeText.isEmpty() ? failureReason(result.systemError, state_.nyelv)
                                      : informativeText);
        return true;
    case Addition::ElevationOffer:
        if (platform_.askYesNoWithInformativeText(
                &window_, message,
                said + QString::fromUtf8(TextTable::forLanguage(state_.nyelv).elevateQuestion),
                PlatformLayer::DefaultAnswer::Yes))
            handOverElevated();
        return true;
    }
    return false;
#else
    return false;
#endif
}

QString RunMessage::handOverFolder()
{
    return QDir::tempPath();
}

bool RunMessage::isHandOverFile(const QString &path, const QString &folder)
{
    const QFileInfo file(path);
    const QString name = file.fileName();
    const QLatin1String prefix("valdrune-hand-over-");
    const QLatin1String suffix(".m3u8");
    if (name.size() <= prefix.size() + suffix.size() || !name.startsWith(prefix) ||
        !name.endsWith(suffix))
        return false;
    // A link or a junction could lead anywhere, and so could a folder that is one.
    if (!file.isFile() || file.isSymbolicLink() || file.isJunction() || file.isShortcut())
        return false;
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    return !canonicalFolder.isEmpty() &&
           QFileInfo(file.absolutePath()).canonicalFilePath() == canonicalFolder;
}

std::optional<core::MusicSet> RunMessage::takeHandOver(const QString &path, const QString &folder)
{
    if (!isHandOverFile(path, folder))
        return std::nullopt;
    QFile handOver(path);
    // A set of 40 picks is a few kilobytes; a larger file was not written by this program.
    constexpr qint64 largest = 1 << 20;
    if (handOver.size() > largest || !handOver.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = handOver.read(largest);
    handOver.close();
    handOver.remove();
    return core::MusicSet::parse(bytes.toStdString(), folder.toStdString());
}

QString RunMessage::handOverQuestion(const QString &gameFolder, std::uint8_t language)
{
    return QString::fromUtf8(TextTable::forLanguage(language).handOverQuestion)
        .arg(QDir::toNativeSeparators(gameFolder));
}

void RunMessage::handOverElevated()
{
    core::MusicSet set;
    set.gameFolder = state_.utvonal;
    set.language = state_.nyelv;
    if (loudnessChoice_)
        loudnessChoice_->recordIn(set);
    for (int i = 0; i < core::slotCount; ++i) {
        const QString text = slots_.text(i);
        if (!SlotView::showsNoFile(text))
            set.picks.push_back({i, core::platform::pathFromText(text.toStdString()), -1, false,
                                 state_.fits.fit(i)});
    }
    QTemporaryFile file(handOverFolder() + QStringLiteral("/valdrune-hand-over-XXXXXX.m3u8"));
    file.setAutoRemove(false);
    const std::string bytes =
        set.format(core::platform::pathFromText(handOverFolder().toStdString()));
    if (!file.open() || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        return;
    file.close();
    // The new copy starts with everything; this one closes. Refused: nothing changes. The
    // new copy writes the game's files at once: none may be held open by this one.
    listening_.stop();
    if (platform_.relaunchElevated({QStringLiteral("--hand-over"), file.fileName()}))
        platform_.endProgram();
    else
        file.remove();
}
