// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/FrmAbout.h"

#include "Language.h"
#include "TextTable.h"
#include "forms/LayoutScale.h"
#include "forms/LineShape.h"
#include "forms/Twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

FrmAbout::FrmAbout(QWidget *parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About Valdrune Music Changer"));
    setWindowIcon(QIcon(QStringLiteral(":/about.ico")));
    setSizeGripEnabled(false);
    // Its place on the screen is fixed; only its size follows the layout's scale.
    setGeometry(twips::toUnscaledPixels(2340), twips::toUnscaledPixels(1935), twips::toPixels(5730),
                twips::toPixels(3075));
    setFixedSize(size());
    createControls();
    layoutscale::elideCaptionsThatDoNotFit(*this);
}

QLabel *FrmAbout::createLabel(const char *name, QRect geometry, const QString &text, bool black)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

void FrmAbout::createControls()
{
    auto &c = controls_;
    c.cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    c.cmdOK->setObjectName(QStringLiteral("cmdOK"));
    c.cmdOK->setGeometry(twips::rect(4245, 2625, 1260, 345));
    c.cmdOK->setDefault(true);
    connect(c.cmdOK, &QPushButton::clicked, this, &FrmAbout::close);

    c.picIcon = createLabel("picIcon", twips::rect(120, 120, 1515, 1515), {}, false);
    c.picIcon->setPixmap(QPixmap(QStringLiteral(":/about.jpg")));
    c.picIcon->setScaledContents(false);

    c.lblDescription = createLabel(
        "lblDescription", twips::rect(1770, 960, 3885, 1410),
        QString::fromUtf8("A Zellerin Software Corporation 2000 ezen programjával könnyen "
                          "kicserélhetőek a Valdrune 3: The Quorvath című játék MP3 fájljai. A "
                          "progit nem teszteltük a VLDR3-on illetve a VLDR3: The Brennix te minden "
                          "valószínűség szerint azokkal is működik. (Egyes hangfájlok ezen "
                          "verziókon még nem léteztek)"),
        true);
    c.lblDescription->setWordWrap(true);
    c.lblDisclaimer = createLabel("lblDisclaimer", twips::rect(120, 2640, 3975, 465), {}, true);
    c.lblDisclaimer->setWordWrap(true);
    c.lblTitle = createLabel("lblTitle", twips::rect(1800, 0, 3975, 255),
                             QStringLiteral("Valdrune Music Changer"), true);
    c.lblVersion = createLabel("lblVersion", twips::rect(1770, 720, 3885, 225),
                               QString::fromUtf8("Verziószám"), false);
    c.Label1 = createLabel(
        "Label1", twips::rect(1800, 240, 3615, 255),
        QString::fromUtf8(TextTable::forLanguage(codeOf(Language::Hungarian)).credits), true);
    c.Label2 = createLabel("Label2", twips::rect(1800, 480, 3855, 255),
                           QString::fromUtf8(fixedtext::email), false);

    // An etched separator: a grey line with a white one just below it.
    c.Line1[1] = new LineShape(QColor(128, 128, 128), 1, this);
    c.Line1[1]->setObjectName(QStringLiteral("Line1(1)"));
    c.Line1[1]->setGeometry(twips::toPixels(90), twips::toPixels(2445), twips::toPixels(5654 - 90),
                            1);
    c.Line1[0] = new LineShape(Qt::white, 2, this);
    c.Line1[0]->setObjectName(QStringLiteral("Line1(0)"));
    c.Line1[0]->setGeometry(twips::toPixels(105), twips::toPixels(2460),
                            twips::toPixels(5654 - 105), 2);
    c.cmdOK->setFocus();
}

void FrmAbout::reject()
{
    close();
}

void FrmAbout::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closing();
}
