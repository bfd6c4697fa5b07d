// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PlatformLayer.h"

#include <QQueue>
#include <QStringList>

// Answers for the desktop, given by the test: the next file the open dialog returns (or a
// cancel), and a record of every message shown and every request to end the program.
class ScriptedPlatform : public PlatformLayer
{
  public:
    void answerNextFileDialog(std::optional<QString> answer) { fileAnswers_.enqueue(answer); }

    void showMessage(QWidget *parent, const QString &text) override
    {
        showMessageWithInformativeText(parent, text, {});
    }
    // The informative text is kept apart: `messages` holds the main texts only, and
    // `informativeTexts` one entry for each, empty where the box has none.
    void showMessageWithInformativeText(QWidget *, const QString &text,
                                        const QString &informativeText) override
    {
        messages << text;
        informativeTexts << informativeText;
    }

    bool askYesNo(QWidget *parent, const QString &text, DefaultAnswer defaultAnswer) override
    {
        return askYesNoWithInformativeText(parent, text, {}, defaultAnswer);
    }
    bool askYesNoWithInformativeText(QWidget *, const QString &text, const QString &informativeText,
                                     DefaultAnswer defaultAnswer) override
    {
        questions << text;
        questionInformativeTexts << informativeText;
        defaultAnswers << defaultAnswer;
        return !yesNoAnswers.isEmpty() && yesNoAnswers.dequeue();
    }
    QStringList informativeTexts;
    QStringList questionInformativeTexts;

    // The request as the dialog would open; a filter answer is the entry the player chooses.
    std::optional<QString> chooseFileToOpen(QWidget *, OpenFileRequest &request) override
    {
        fileRequests << request;
        if (!filterAnswers.isEmpty())
            request.selectedFilter = filterAnswers.dequeue();
        return fileAnswers_.isEmpty() ? std::nullopt : fileAnswers_.dequeue();
    }
    QQueue<QString> filterAnswers;

    std::optional<QString> chooseFileToSave(QWidget *, const OpenFileRequest &) override
    {
        return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.dequeue();
    }
    void showInFolder(const QString &folder, std::function<void(bool)> shown) override
    {
        shownFolders << folder;
        shown(foldersOpen);
    }
    bool foldersOpen = true;
    QQueue<std::optional<QString>> saveAnswers;
    QStringList shownFolders;

    void endProgram() override { ++endRequests; }

    bool isElevated() override { return elevated; }
    bool relaunchElevated(const QStringList &arguments) override
    {
        relaunches << arguments;
        return relaunchStarts;
    }
    bool elevated = false;
    bool relaunchStarts = true;
    QList<QStringList> relaunches;

    bool isDriveAvailable(const QString &root, bool) override
    {
        return !unavailableDrives.contains(root);
    }

    QStringList messages;
    QList<DefaultAnswer> defaultAnswers;
    QList<OpenFileRequest> fileRequests;
    int endRequests = 0;
    QStringList unavailableDrives;
    QStringList questions;
    QQueue<bool> yesNoAnswers;

  private:
    QQueue<std::optional<QString>> fileAnswers_;
};
