// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/ApplyLanguage.h"

#include "TextTable.h"
#include "ToolkitTranslation.h"
#include "Version.h"
#include "WindowProtocol.h"
#include "forms/DirectoryList.h"
#include "forms/DriveList.h"
#include "forms/Form1.h"
#include "forms/Form1Controls.h"
#include "forms/Form2.h"
#include "forms/FrmAbout.h"
#include "forms/LayoutScale.h"
#include "report/RunTexts.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

void applyOptionStates(const Form2Controls &c, const TextTable &texts)
{
    c.Option1->setChecked(texts.hungarianOptionSelected);
    c.Option2->setChecked(!texts.hungarianOptionSelected);
}

void applySettingsCaptions(const Form2Controls &c, const TextTable &texts)
{
    c.Command1->setText(text(texts.ok));
    c.Command2->setText(text(texts.cancel));
    c.Label1->setText(text(texts.pathPrompt));
    c.Label2->setText(text(texts.languageLabel));
    applyAccessibleNames(c, texts);
}

void applyMainWindowTexts(const Form1Controls &c, std::uint8_t code, const TextTable &texts)
{
    const std::string_view placeholder = core::RunTexts::forLanguage(code).placeholder;
    for (QLineEdit *slot : c.Text1) {
        slot->setText(QString::fromUtf8(placeholder.data(), qsizetype(placeholder.size())));
        slot->setCursorPosition(0);
    }
    for (QPushButton *browse : c.gomb_browse)
        browse->setText(text(texts.browse));
    c.gomb_firstpage->setText(text(texts.firstPage));
    c.gomb_secondpage->setText(text(texts.secondPage));
    c.gomb_change->setText(text(texts.change));
    c.gomb_default->setText(text(texts.restoreDefault));
    c.Command1->setText(text(texts.about));
    c.Command2->setText(text(texts.options));
    c.gomb_exit->setText(text(texts.exit));
}

} // namespace

void applyAccessibleNames(const Form2Controls &c, const TextTable &texts)
{
    c.Text1->setAccessibleName(text(texts.folderBoxName));
    c.Dir1->setAccessibleName(text(texts.folderListName));
    // On Linux a drop-down list's name is its current entry, so it is also described.
    c.Drive1->setAccessibleName(text(texts.driveListName));
    c.Drive1->setAccessibleDescription(text(texts.driveListName));
}

void applyLanguageToSettingsWindow(Form2 &form2, std::uint8_t code)
{
    const TextTable &texts = TextTable::forLanguage(code);
    applyOptionStates(form2.controls(), texts);
    applySettingsCaptions(form2.controls(), texts);
    layoutscale::elideCaptionsThatDoNotFit(form2);
}

void applyLanguageToAboutWindow(FrmAbout &frmAbout, std::uint8_t code)
{
    const TextTable &texts = TextTable::forLanguage(code);
    const FrmAboutControls &c = frmAbout.controls();
    c.lblVersion->setText(
        text(texts.versionPrefix) +
        QStringLiteral("%1.%2.%3").arg(version::major).arg(version::minor).arg(version::revision));
    c.lblDescription->setText(text(texts.description));
    c.lblDisclaimer->setText(text(texts.disclaimer));
    c.Label1->setText(text(texts.credits));
    layoutscale::elideCaptionsThatDoNotFit(frmAbout);
}

void applyLanguageToWindows(const Form1Controls &main, Form2 &settings, FrmAbout *about,
                            std::uint8_t code)
{
    const TextTable &texts = TextTable::forLanguage(code);
    ToolkitTranslation::instance().apply(code);
    applyOptionStates(settings.controls(), texts);
    applyMainWindowTexts(main, code, texts);
    applySettingsCaptions(settings.controls(), texts);
    // The about window, with its pictures, is made when first needed and then receives the
    // language in use.
    if (about)
        applyLanguageToAboutWindow(*about, code);
    if (QWidget *window = main.gomb_change->window())
        layoutscale::elideCaptionsThatDoNotFit(*window);
    layoutscale::elideCaptionsThatDoNotFit(settings);
}

void ApplyLanguage(Form1 &form1, std::uint8_t code)
{
    // Touching the other windows makes them, hidden, as the program always has.
    form1.noteAppliedLanguage(code);
    WindowProtocol &protocol = form1.protocol();
    applyLanguageToWindows(form1.controls(), protocol.form2(), protocol.existingFrmAbout(), code);
    form1.assignSlotTabPositions();
}
