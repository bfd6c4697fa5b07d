// SPDX-License-Identifier: GPL-3.0-or-later
// FrmAbout, the about window, whose objectName is "frmAbout". Each control is the member of
// FrmAboutControls of its name and has that objectName.
//
//   Control          What it is
//   picIcon          the picture
//   lblTitle         the program's name
//   Label1           the credits: who made the program
//   Label2           the author's e-mail address
//   lblVersion       the version number
//   lblDescription   what the program does
//   lblDisclaimer    the disclaimer, empty
//   Line1(0), (1)    the etched line above OK: a white line under a grey one
//   cmdOK            OK: closes the window, as Enter, Esc and the close box do
#pragma once

#include <QDialog>

#include <array>

class LineShape;
class QLabel;
class QPushButton;

struct FrmAboutControls
{
    QPushButton *cmdOK = nullptr;
    QLabel *picIcon = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *Label1 = nullptr; // credits
    QLabel *Label2 = nullptr; // e-mail
    std::array<LineShape *, 2> Line1{};
};

// The about window. Enter, Esc, OK and the close box all close it, and closing destroys it.
class FrmAbout : public QDialog
{
    Q_OBJECT

  public:
    explicit FrmAbout(QWidget *parent = nullptr);

    const FrmAboutControls &controls() const { return controls_; }

    void reject() override;

  signals:
    void closing();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void createControls();
    QLabel *createLabel(const char *name, QRect geometry, const QString &text, bool black);

    FrmAboutControls controls_;
};
