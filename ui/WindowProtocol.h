// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SingleWindow.h"

#include <QObject>

class Form1;
class Form2;
class FrmAbout;
class PlatformLayer;

// How the three windows show, hide, enable and disable one another. Every such change
// happens here, one function per trigger, and every way back to the main window goes
// through returnToMainWindow(), where the main window's activation is raised.
class WindowProtocol : public QObject
{
    Q_OBJECT

  public:
    WindowProtocol(Form1 &form1, PlatformLayer &platform);
    ~WindowProtocol() override;

    // Touching a window that does not exist creates it, hidden.
    Form2 &form2();
    FrmAbout &frmAbout();
    Form2 *existingForm2() const;
    FrmAbout *existingFrmAbout() const;

    void showSettingsInPlaceOfMainWindow();
    void optionsClicked();
    void aboutClicked();
    void endProgram();

  private:
    void settingsAccepted();
    void settingsCancelled();
    void settingsClosed();
    void aboutClosed();
    void returnToMainWindow();
    void present(QWidget &window);
    void presentSettings();
    void winePrefixesFound();
    Form2 *createForm2();
    FrmAbout *createFrmAbout();

    Form1 &form1_;
    PlatformLayer &platform_;
    SingleWindow<Form2> form2_;
    SingleWindow<FrmAbout> frmAbout_;
};
