// SPDX-License-Identifier: GPL-3.0-or-later
#include "features/SettingsStore.h"

#include "Language.h"
#include "PlatformLayer.h"
#include "SharedState.h"
#include "TextTable.h"
#include "features/FailureReason.h"

#include "files/AtomicFileWriter.h"
#include "files/Platform.h"

#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <filesystem>

SettingsStore::SettingsStore(const FeatureContext &context, const QString &programFolder,
                             const QString &userSettingsFolder)
    : platform_(context.platform), state_(context.state), programFolder_(programFolder),
      userSettingsFolder_(userSettingsFolder)
{
}

bool SettingsStore::read()
{
    const std::optional<core::Settings> settings = settingsFile().read();
    if (!settings)
        return false;
    state_.settingsFound = true;
    state_.utvonal = settings->folder;
    state_.nyelv = settings->language;
    return true;
}

std::optional<std::uint8_t> SettingsStore::accept(const QString &folderText, bool hungarianSelected,
                                                  QWidget *dialogParent)
{
    // A folder the user left as it was shown is stored as the bytes it was read as.
    const bool unchanged = state_.settingsFound && folderText == folderForSettingsWindow();
    const std::string folder =
        unchanged ? state_.folderWithoutSeparator() : folderText.toStdString();
    if (!writesSettings_) {
        // Handed over: the settings hold for this run only.
        state_.nyelv = codeOf(hungarianSelected ? Language::Hungarian : Language::English);
        state_.utvonal = folder + core::platform::nativeSeparator();
        return state_.nyelv;
    }
    const core::SaveResult result = settingsFile().save(folder, hungarianSelected);
    if (!result.saved()) {
        platform_.showMessage(dialogParent, settingsFailureText(result.failure));
        return std::nullopt;
    }
    state_.nyelv = codeOf(hungarianSelected ? Language::Hungarian : Language::English);
    // The folder just chosen is the one the next Change copies into.
    state_.utvonal = result.stored->folder;
    return result.stored->language;
}

void SettingsStore::takeOver(const core::MusicSet &set)
{
    state_.settingsFound = true;
    state_.handedOver = true;
    writesSettings_ = false;
    state_.utvonal = set.gameFolder.value_or(std::string());
    state_.nyelv = set.language.value_or(codeOf(Language::Hungarian));
}

core::SettingsFile SettingsStore::settingsFile() const
{
    const auto native = [](const QString &folder) {
        return folder.isEmpty() ? std::string() : QDir::toNativeSeparators(folder).toStdString();
    };
    return core::SettingsFile(native(programFolder_), core::platform::nativeSeparator(),
                              core::FileSystem::native(), native(userSettingsFolder_));
}

QString SettingsStore::settingsFolder() const
{
    if (!writesSettings_)
        return {};
    const core::SettingsFile file = settingsFile();
    // The one beside the program wins, as when it is read.
    for (const std::string &location : {file.location(), file.userLocation()}) {
        const QFileInfo info(QString::fromStdString(location));
        if (!location.empty() && info.isFile())
            return info.absolutePath();
    }
    if (!programFolder_.isEmpty() &&
        (QFileInfo(programFolder_).isWritable() || userSettingsFolder_.isEmpty()))
        return programFolder_;
    return userSettingsFolder_;
}

void SettingsStore::removeKilledWritesLeftovers() const
{
    const QString folder = settingsFolder();
    if (folder.isEmpty())
        return;
    using Clock = std::filesystem::file_time_type::clock;
    core::AtomicFileWriter(core::FileSystem::native())
        .removeLeftovers(core::platform::pathFromText(folder.toStdString()),
                         Clock::now() - std::chrono::minutes(1));
}

QString SettingsStore::folderForSettingsWindow() const
{
    if (state_.settingsFound)
        return QString::fromStdString(state_.folderWithoutSeparator());
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Program Files\\Korvex\\Valdrune3\\Mp3");
#else
    // The game where a Wine launcher keeps it, else where plain Wine would.
    for (const core::WinePrefix &prefix : prefixSearch_.prefixes()) {
        if (!prefix.musicFolder.empty())
            return QString::fromStdString(prefix.musicFolder.string());
    }
    return QDir::homePath() + QStringLiteral("/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3");
#endif
}

QList<Form2::FolderDrive> SettingsStore::winePrefixDrives() const
{
    QList<Form2::FolderDrive> drives;
    for (const core::WinePrefix &prefix : prefixSearch_.prefixes()) {
        drives.append({QString::fromStdString(prefix.driveC.string()),
                       QStringLiteral("c: [%1: %2]")
                           .arg(QString::fromStdString(prefix.launcher),
                                QString::fromStdString(prefix.name))});
    }
    return drives;
}

QString SettingsStore::settingsFailureText(const core::SaveFailure &failure) const
{
    const TextTable &texts = TextTable::forLanguage(state_.nyelv);
    QString reason;
    switch (failure.kind) {
    case core::SaveFailure::Kind::Unrepresentable:
        reason = QString::fromUtf8(texts.folderNotInCodePage);
        break;
    case core::SaveFailure::Kind::Unstorable:
        reason = QString::fromUtf8(texts.folderNotStorable);
        break;
    case core::SaveFailure::Kind::Write:
        reason = failureReason(failure.systemError, state_.nyelv);
        break;
    case core::SaveFailure::Kind::ReadBack:
        reason = QString::fromUtf8(texts.settingsNotReadBack);
        break;
    }
    const std::string &file =
        failure.location.empty() ? settingsFile().location() : failure.location;
    return QString::fromUtf8(texts.cannotWriteSettings).arg(QString::fromStdString(file), reason);
}
