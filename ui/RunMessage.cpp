// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunMessage.h"

#include "FailureCodes.h"
#include "FailureReason.h"
#include "Listening.h"
#include "MusicSet.h"
#include "Platform.h"
#include "PlatformLayer.h"
#include "ProtectedFolder.h"
#include "ReplacementRun.h"
#include "SharedState.h"
#include "TextTable.h"

#include <QDir>
#include <QTemporaryFile>

RunMessage::RunMessage(QWidget &window, PlatformLayer &platform, SlotView slotView,
                       const SharedState &state, Listening &listening)
    : window_(window), platform_(platform), slots_(slotView), state_(state), listening_(listening)
{
}

void RunMessage::show(const core::RunResult &result)
{
    if (result.message.empty() || showWithAddition(result))
        return;
    platform_.showMessage(&window_, QString::fromStdString(result.message));
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
    // One box: the run's own message first, then what Windows adds.
    const QString message = QString::fromStdString(result.message) + QStringLiteral("\n\n");
    switch (addition) {
    case Addition::None:
        return false;
    case Addition::InUseReason:
        platform_.showMessage(&window_, message + failureReason(result.systemError, state_.nyelv));
        return true;
    case Addition::ElevationOffer:
        if (platform_.askYesNo(
                &window_,
                message + QString::fromUtf8(TextTable::forLanguage(state_.nyelv).elevateQuestion),
                PlatformLayer::DefaultAnswer::Yes))
            handOverElevated();
        return true;
    }
    return false;
#else
    return false;
#endif
}

void RunMessage::handOverElevated()
{
    core::MusicSet set;
    set.gameFolder = state_.utvonal;
    set.language = state_.nyelv;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString text = slots_.text(i);
        if (!SlotView::isPlaceholder(text))
            set.picks.push_back({i, core::platform::pathFromText(text.toStdString())});
    }
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/valdrune-hand-over-XXXXXX.m3u8"));
    file.setAutoRemove(false);
    const std::string bytes =
        set.format(core::platform::pathFromText(QDir::tempPath().toStdString()));
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
