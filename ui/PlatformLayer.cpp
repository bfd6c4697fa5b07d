// SPDX-License-Identifier: GPL-3.0-or-later
#include "PlatformLayer.h"

#include "TextTable.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QStorageInfo>

namespace {

void setCaption(QMessageBox &box, QMessageBox::StandardButton which, const QString &caption)
{
    if (QAbstractButton *button = box.button(which); button && !caption.isEmpty())
        button->setText(caption);
}

} // namespace

void QtPlatformLayer::showMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(fixedtext::applicationTitle), text,
                    QMessageBox::Ok, parent);
    setCaption(box, QMessageBox::Ok, buttonCaptions().ok);
    box.exec();
}

bool QtPlatformLayer::askYesNo(QWidget *parent, const QString &text, DefaultAnswer defaultAnswer)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(fixedtext::applicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    setCaption(box, QMessageBox::Yes, buttonCaptions().yes);
    setCaption(box, QMessageBox::No, buttonCaptions().no);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::Yes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPlatformLayer::chooseFileToOpen(QWidget *parent,
                                                         const OpenFileRequest &request)
{
    QFileDialog dialog(parent, request.title, request.folder, request.nameFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
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
    return !mountPoint || QDir::cleanPath(volume.rootPath()) ==
                              QDir::cleanPath(QDir::fromNativeSeparators(root));
}
