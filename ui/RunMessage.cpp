// SPDX-License-Identifier: GPL-3.0-or-later
#include "RunMessage.h"

#include "FailureCodes.h"
#include "Listening.h"
#include "LoudnessChoice.h"
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
    if (result.message.empty() || offerElevation(result))
        return;
    platform_.showMessage(&window_, QString::fromStdString(result.message));
}

bool RunMessage::offerElevation([[maybe_unused]] const core::RunResult &result)
{
#ifdef Q_OS_WIN
    const QString folder = QString::fromStdString(state_.utvonal);
    if (result.code != core::failure::permissionDenied || !isUnderProtectedFolder(folder) ||
        platform_.isElevated())
        return false;
    // One box: the run's own message first, then the offer.
    const QString text = QString::fromStdString(result.message) + QStringLiteral("\n\n") +
                         QString::fromUtf8(TextTable::forLanguage(state_.nyelv).elevateQuestion);
    if (platform_.askYesNo(&window_, text, PlatformLayer::DefaultAnswer::Yes))
        handOverElevated();
    return true;
#else
    return false;
#endif
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
