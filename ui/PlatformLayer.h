// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// What the program asks of the desktop beyond its own windows: a message box, the
// file-open dialog, and ending the program. The program uses QtPlatformLayer; tests answer
// through a scripted one, without a human.
class PlatformLayer
{
  public:
    struct OpenFileRequest
    {
        QString title;
        QString nameFilter; // in Qt's syntax
        QString folder;
        QString fileName;
        // The filter entry shown first; after an open dialog, the one the player left chosen.
        QString selectedFilter;
    };

    // The captions of the boxes' buttons in the interface's language; empty ones are the
    // toolkit's own.
    struct ButtonCaptions
    {
        QString ok;
        QString yes;
        QString no;
    };
    enum class DefaultAnswer { Yes, No };

    virtual ~PlatformLayer() = default;

    void setButtonCaptions(const ButtonCaptions &captions) { buttonCaptions_ = captions; }
    const ButtonCaptions &buttonCaptions() const { return buttonCaptions_; }

    // A modal box with the text, an OK button only, no icon, the application title.
    virtual void showMessage(QWidget *parent, const QString &text) = 0;
    // The same box, the path on a line of its own after the text, whole and selectable.
    virtual void showMessageWithPath(QWidget *parent, const QString &text, const QString &path)
    {
        showMessage(parent, text + QLatin1Char('\n') + path);
    }
    // The same box with Yes and No buttons; true for Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text, DefaultAnswer defaultAnswer) = 0;
    // The boxes above with a second paragraph under the text, the informative text: what the
    // program adds to a text that stays as it is. Without one, exactly the boxes above.
    virtual void showMessageWithInformativeText(QWidget *parent, const QString &text,
                                                const QString &informativeText);
    virtual bool askYesNoWithInformativeText(QWidget *parent, const QString &text,
                                             const QString &informativeText,
                                             DefaultAnswer defaultAnswer);
    // The chosen file's full path with native separators, or nothing when cancelled.
    virtual std::optional<QString> chooseFileToOpen(QWidget *parent, OpenFileRequest &request) = 0;
    // The file name to save to, with native separators, or nothing when cancelled.
    virtual std::optional<QString> chooseFileToSave(QWidget *parent,
                                                    const OpenFileRequest &request) = 0;
    // Opens the folder in the system's file manager; shown hears whether it did, perhaps
    // later: the desktop's opener may start and then fail.
    virtual void showInFolder(const QString &folder, std::function<void(bool shown)> shown) = 0;
    // Ends the program at once: no window runs its closing actions, nothing is saved.
    virtual void endProgram() = 0;
    // False when the drive's device is unavailable (no medium, gone, or no longer mounted
    // where a mount point is expected), as opposed to a drive that merely cannot be listed.
    virtual bool isDriveAvailable(const QString &root, bool mountPoint) = 0;
    // Windows: whether this process runs with an administrator's rights.
    virtual bool isElevated() = 0;
    // Windows: starts the program again with an administrator's rights and these arguments,
    // through the system's prompt; false where it did not start (the player said no).
    virtual bool relaunchElevated(const QStringList &arguments) = 0;

  private:
    ButtonCaptions buttonCaptions_;
};

class QtPlatformLayer : public PlatformLayer
{
  public:
    void showMessage(QWidget *parent, const QString &text) override;
    void showMessageWithPath(QWidget *parent, const QString &text, const QString &path) override;
    bool askYesNo(QWidget *parent, const QString &text, DefaultAnswer defaultAnswer) override;
    void showMessageWithInformativeText(QWidget *parent, const QString &text,
                                        const QString &informativeText) override;
    bool askYesNoWithInformativeText(QWidget *parent, const QString &text,
                                     const QString &informativeText,
                                     DefaultAnswer defaultAnswer) override;
    std::optional<QString> chooseFileToOpen(QWidget *parent, OpenFileRequest &request) override;
    std::optional<QString> chooseFileToSave(QWidget *parent,
                                            const OpenFileRequest &request) override;
    void showInFolder(const QString &folder, std::function<void(bool shown)> shown) override;
    void endProgram() override;
    bool isDriveAvailable(const QString &root, bool mountPoint) override;
    bool isElevated() override;
    bool relaunchElevated(const QStringList &arguments) override;
};
