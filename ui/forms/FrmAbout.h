// SPDX-License-Identifier: GPL-3.0-or-later
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
