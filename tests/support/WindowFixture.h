// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ScriptedPlatform.h"
#include "TestFiles.h"
#include "WindowProtocol.h"
#include "forms/Form1.h"
#include "forms/Form2.h"
#include "forms/FrmAbout.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

// What an empty slot shows in each language.
inline const QString hungarianPlaceholder = QString::fromUtf8("Kérlek nyiss meg egy MP3 fájlt!");
inline const QString englishPlaceholder = QStringLiteral("Please open a MP3 file!");

// The separator the settings save appends: the platform's own.
inline const std::string separator(1, QDir::separator().toLatin1());

// A folder as the settings file stores it.
inline std::string storedFolder(const QString &folder)
{
    return QDir::toNativeSeparators(folder).toStdString() + separator;
}

// A program folder of its own, the main window made in it with a scripted desktop, and
// short names for the controls the tests touch.
class WindowFixture
{
  public:
    // With a settings line, config.ini is written before the main window starts.
    explicit WindowFixture(const std::string &settingsLine = {})
    {
        if (!settingsLine.empty())
            testfiles::writeBytes(configPath(), settingsLine);
        form1 = std::make_unique<Form1>(platform, programFolder.path());
    }

    // Windows closed by the test go with it, not at some later test's event loop.
    ~WindowFixture()
    {
        form1.reset();
        destroyClosedWindows();
    }

    QString configPath() const { return programFolder.path() + "/config.ini"; }
    void start() { form1->show(); }

    QLineEdit *slot(int i) const { return form1->controls().Text1[i]; }
    const Form1Controls &main() const { return form1->controls(); }
    Form2 *settingsWindow() const { return form1->protocol().existingForm2(); }
    const Form2Controls &settings() const { return form1->protocol().form2().controls(); }
    FrmAbout *aboutWindow() const { return form1->protocol().existingFrmAbout(); }

    // Lets windows closed with WA_DeleteOnClose be destroyed.
    static void destroyClosedWindows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir programFolder;
    ScriptedPlatform platform;
    std::unique_ptr<Form1> form1;
};
