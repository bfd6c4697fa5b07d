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

RunMessage::RunMessage(const FeatureContext &context)
    : window_(context.window), platform_(context.platform), slots_(context.slotView),
      state_(context.state), listening_(context.listening)
{
}

void RunMessage::show(const core::RunResult &result)
{
    if (const QString cancelled = cancelledChange(result, state_.nyelv); !cancelled.isEmpty()) {
        platform_.showMessage(&window_, cancelled);
        return;
    }
    if (result.message.empty() || showWithAddition(result))
        return;
    platform_.showMessage(&window_, QString::fromStdString(result.message));
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

bool RunMessage::showWithAddition([[maybe_unused]] const core::RunResult &result)
{
#ifdef Q_OS_WIN
    const QString folder = QString::fromStdString(state_.utvonal);
    const Addition addition =
        additionFor(result, isUnderProtectedFolder(folder), platform_.isElevated());
    // One box: the run's own message as it is, what Windows adds as its informative text.
    const QString message = QString::fromStdString(result.message);
    switch (addition) {
    case Addition::None:
        return false;
    case Addition::InUseReason:
        platform_.showMessageWithInformativeText(&window_, message,
                                                 failureReason(result.systemError, state_.nyelv));
        return true;
    case Addition::ElevationOffer:
        if (platform_.askYesNoWithInformativeText(
                &window_, message,
                QString::fromUtf8(TextTable::forLanguage(state_.nyelv).elevateQuestion),
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
