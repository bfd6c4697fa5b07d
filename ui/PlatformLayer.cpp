// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformLayer.h"

#include "TextTable.h"
#include "TitleRoom.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#ifdef Q_OS_WIN
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace {

// The text is selectable, for copying.
void setText(QMessageBox &box, const QString &text)
{
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.setText(text);
}

void setCaption(QMessageBox &box, QMessageBox::StandardButton which, const QString &caption)
{
    if (QAbstractButton *button = box.button(which); button && !caption.isEmpty())
        button->setText(caption);
}

// The toolkit's own dialog (not the system's) gives each column a fixed width: the size, type
// and date are cut in longer words. They take what they need; the name takes the rest.
void fitColumnsToContent(QFileDialog &dialog)
{
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!view)
        return;
    QHeaderView *header = view->header();
    header->setStretchLastSection(false);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    if (header->count() > 0)
        header->setSectionResizeMode(0, QHeaderView::Stretch);
}

} // namespace

void PlatformLayer::showMessageWithInformativeText(QWidget *parent, const QString &text,
                                                   const QString &informativeText)
{
    showMessage(parent,
                informativeText.isEmpty() ? text : text + QStringLiteral("\n\n") + informativeText);
}

bool PlatformLayer::askYesNoWithInformativeText(QWidget *parent, const QString &text,
                                                const QString &informativeText,
                                                DefaultAnswer defaultAnswer)
{
    return askYesNo(
        parent, informativeText.isEmpty() ? text : text + QStringLiteral("\n\n") + informativeText,
        defaultAnswer);
}

void QtPlatformLayer::showMessage(QWidget *parent, const QString &text)
{
    showMessageWithInformativeText(parent, text, {});
}

void QtPlatformLayer::showMessageWithInformativeText(QWidget *parent, const QString &text,
                                                     const QString &informativeText)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(fixedtext::applicationTitle), {},
                    QMessageBox::Ok, parent);
    setText(box, text);
    // A visible paragraph of its own, not behind a details button.
    if (!informativeText.isEmpty())
        box.setInformativeText(informativeText);
    setCaption(box, QMessageBox::Ok, buttonCaptions().ok);
    TitleRoom::keep(box);
    box.exec();
}

void QtPlatformLayer::showMessageWithPath(QWidget *parent, const QString &text, const QString &path)
{
    // As a message box looks, the path in a read-only box of its own: on one line however
    // long, never broken at its separators, and selectable for copying.
    QDialog box(parent);
    box.setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *pathBox = new QLineEdit(path);
    pathBox->setObjectName(QStringLiteral("path"));
    pathBox->setReadOnly(true);
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().width() * 3 / 4 : 800;
    pathBox->setMinimumWidth(
        qMin(pathBox->fontMetrics().horizontalAdvance(path + QLatin1String("MM")), room));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    if (!buttonCaptions().ok.isEmpty())
        buttons->button(QDialogButtonBox::Ok)->setText(buttonCaptions().ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    auto *layout = new QVBoxLayout(&box);
    layout->addWidget(label);
    layout->addWidget(pathBox);
    layout->addWidget(buttons);
    TitleRoom::keep(box);
    box.exec();
}

bool QtPlatformLayer::askYesNo(QWidget *parent, const QString &text, DefaultAnswer defaultAnswer)
{
    return askYesNoWithInformativeText(parent, text, {}, defaultAnswer);
}

bool QtPlatformLayer::askYesNoWithInformativeText(QWidget *parent, const QString &text,
                                                  const QString &informativeText,
                                                  DefaultAnswer defaultAnswer)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(fixedtext::applicationTitle), {},
                    QMessageBox::Yes | QMessageBox::No, parent);
    setText(box, text);
    if (!informativeText.isEmpty())
        box.setInformativeText(informativeText);
    setCaption(box, QMessageBox::Yes, buttonCaptions().yes);
    setCaption(box, QMessageBox::No, buttonCaptions().no);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    TitleRoom::keep(box);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPlatformLayer::chooseFileToOpen(QWidget *parent, OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder, request.nameFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!request.selectedFilter.isEmpty())
        dialog.selectNameFilter(request.selectedFilter);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    fitColumnsToContent(dialog);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    request.selectedFilter = dialog.selectedNameFilter();
    if (!accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

std::optional<QString> QtPlatformLayer::chooseFileToSave(QWidget *parent,
                                                         const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder, request.nameFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("m3u8"));
    fitColumnsToContent(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

void QtPlatformLayer::showInFolder(const QString &folder, std::function<void(bool)> shown)
{
    const QUrl url = QUrl::fromLocalFile(folder);
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // The desktop's opener says by its exit code whether a file manager took the folder;
    // the toolkit would only say that the opener started.
    auto *opener = new QProcess(qApp);
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, shown](int exitCode, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         shown(status == QProcess::NormalExit && exitCode == 0);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [opener, shown, url](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         opener->deleteLater();
                         shown(QDesktopServices::openUrl(url));
                     });
    opener->start(QStringLiteral("xdg-open"), {url.toString()});
#else
    shown(QDesktopServices::openUrl(url));
#endif
}

void QtPlatformLayer::endProgram()
{
    // Leaving the event loop ends the program; windows are destroyed without closing.
    for (QWidget *window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

bool QtPlatformLayer::isDriveAvailable(const QString &root, bool mountPoint)
{
    const QStorageInfo volume(root);
    if (!QFileInfo(root).isDir() || !volume.isValid() || !volume.isReady())
        return false;
    return !mountPoint ||
           QDir::cleanPath(volume.rootPath()) == QDir::cleanPath(QDir::fromNativeSeparators(root));
}

#ifdef Q_OS_WIN

bool QtPlatformLayer::isElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool known =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated;
}

bool QtPlatformLayer::relaunchElevated(const QStringList &arguments)
{
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted << QLatin1Char('"') + argument + QLatin1Char('"');
    const std::wstring program =
        QDir::toNativeSeparators(QCoreApplication::applicationFilePath()).toStdWString();
    const std::wstring parameters = quoted.join(QLatin1Char(' ')).toStdWString();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info);
}

#else

bool QtPlatformLayer::isElevated()
{
    return false;
}

bool QtPlatformLayer::relaunchElevated(const QStringList &)
{
    return false;
}

#endif
