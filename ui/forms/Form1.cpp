// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/Form1.h"

#include "PlatformLayer.h"
#include "TextTable.h"
#include "WindowProtocolFactory.h"
#include "forms/ApplyLanguage.h"
#include "forms/CommonDialog.h"
#include "forms/LayoutScale.h"
#include "forms/MainWindowLayout.h"
#include "forms/PathBox.h"
#include "forms/SlotRow.h"
#include "forms/Twips.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace {

using namespace mainwindowlayout;

QString indexedName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

QFrame *createPage(const char *name, QWidget *parent)
{
    auto *page = new QFrame(parent);
    page->setObjectName(QLatin1String(name));
    page->setFrameShape(QFrame::NoFrame);
    page->setGeometry(twips::rect(120, 120, 7575, 6735));
    return page;
}

} // namespace

Form1::Form1(PlatformLayer &platform, const QString &programFolder,
             const QString &userSettingsFolder, QWidget *parent)
    : WindowProtocolHost(parent), platform_(platform)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twips::toPixels(9240), twips::toPixels(6855));
    createControls();
    // Made last: the features it wires are given the controls.
    protocol_ = makeWindowProtocol(*this, platform, programFolder, userSettingsFolder);
}

Form1::~Form1() = default;

void Form1::createControls()
{
    controls_.Frame1 = createPage("Frame1", this);
    controls_.Frame2 = createPage("Frame2", this);
    controls_.Frame2->hide();
    for (int i = 0; i < core::slotCount; ++i)
        createSlotRow(i);

    controls_.gomb_firstpage = createCommandButton("gomb_firstpage", 720, "Első oldal");
    controls_.gomb_secondpage = createCommandButton("gomb_secondpage", 1200, "Második oldal");
    controls_.gomb_default = createCommandButton("gomb_default", 1680, "Visszaállítás");
    controls_.gomb_change = createCommandButton("gomb_change", 3000, "Csere");
    controls_.Command2 = createCommandButton("Command2", 3480, "Beállítások");
    controls_.Command1 = createCommandButton("Command1", 5880, "Névjegy");
    controls_.gomb_exit = createCommandButton("gomb_exit", 6360, "Kilépés");
    controls_.gomb_firstpage->setEnabled(false);
    controls_.gomb_default->hide();
    controls_.gomb_change->setToolTip(
        QString::fromUtf8("A megadott fájlokkal kicseréli a VLDR3 MP3-jait"));
    controls_.Command2->setToolTip(QString::fromUtf8("VLDR3 elérési útjának megadása"));
    controls_.CommonDialog1 = new CommonDialog(this);
    // A music set dropped anywhere on the window opens.
    setAcceptDrops(true);
    layoutscale::elideCaptionsThatDoNotFit(*this);

    connect(controls_.gomb_firstpage, &QPushButton::clicked, this, [this] { showPage(1); });
    connect(controls_.gomb_secondpage, &QPushButton::clicked, this, [this] { showPage(2); });
    connect(controls_.Command1, &QPushButton::clicked, this, &Form1::aboutClicked);
    connect(controls_.Command2, &QPushButton::clicked, this, &Form1::optionsClicked);
    connect(controls_.gomb_exit, &QPushButton::clicked, this, &Form1::exitRequested);
}

void Form1::createSlotRow(int index)
{
    const core::MusicSlot &slot = core::SlotTable::slot(index);
    const core::SlotPlace place = core::SlotTable::place(index);
    QFrame *page = place.page == 1 ? controls_.Frame1 : controls_.Frame2;
    const int x = slotCellWidth * place.column;
    const int y = slotCellHeight * place.row;

    auto *browse =
        new QPushButton(index == 0 ? QStringLiteral("Open...") : QStringLiteral("Browse..."), page);
    browse->setObjectName(indexedName("gomb_browse", index));
    browse->setGeometry(twips::rect(x + 1200, y, browseWidth, browseHeight));
    connect(browse, &QPushButton::clicked, this, [this, index] { this->browse(index); });

    auto *text = new QLineEdit(QStringLiteral("Text1"), page);
    text->setObjectName(indexedName("Text1", index));
    text->setGeometry(twips::rect(x, y + 360, 2415, 375));

    // A wide label reaches under its browse button's edge; the button stays on top.
    auto *label =
        new QLabel(QString::fromUtf8(slot.label.data(), qsizetype(slot.label.size())), page);
    label->setObjectName(indexedName("Label1", index));
    label->setTextFormat(Qt::PlainText);
    label->setToolTip(QString::fromUtf8(slot.tooltip.data(), qsizetype(slot.tooltip.size())));
    label->setGeometry(twips::rect(x, y, slotLabelWidth(index), slotLabelHeight));
    label->lower();

    // A screen reader names the text box by its slot and says which slot a button opens.
    label->setBuddy(text);
    browse->setAccessibleDescription(label->text());
    auto *row = new SlotRow(index, label, text, browse, this);
    connect(row, &SlotRow::fileDropped, this,
            [this, index](const QString &file) { setSlotText(index, file); });
    connect(row, &SlotRow::setDropped, this, &Form1::setDropped);
    rows_[std::size_t(index)] = row;

    controls_.Label1[index] = label;
    controls_.Text1[index] = text;
    controls_.gomb_browse[index] = browse;
}

QPushButton *Form1::createCommandButton(const char *name, int top, const char *caption)
{
    auto *button = new QPushButton(QString::fromUtf8(caption), this);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twips::rect(buttonLeft, top, buttonWidth, buttonHeight));
    return button;
}

void Form1::setVisible(bool visible)
{
    const bool becomesVisible = visible && !isVisible();
    QWidget::setVisible(visible);
    if (becomesVisible)
        activate();
}

void Form1::activate()
{
    emit activated();
    assignButtonTabPositions();
    // The settings are read until they are found once; later activations would wipe the
    // files the user has picked since.
    if (!state_.kapcs && !state_.settingsFound)
        emit settingsReadDue();
    emit activationFinishing();
}

QList<QWidget *> Form1::focusChain() const
{
    QList<QWidget *> chain;
    for (int i = 0; i < core::slotCount; ++i)
        chain << controls_.gomb_browse[i] << controls_.Text1[i];
    chain << controls_.gomb_firstpage << controls_.gomb_secondpage << controls_.gomb_change
          << controls_.gomb_default << controls_.Command2 << controls_.Command1
          << controls_.gomb_exit;
    return chain;
}

void Form1::applyFocusChain(int from, int to)
{
    const QList<QWidget *> chain = focusChain();
    for (int position = from; position < to; ++position)
        setTabOrder(chain.at(position), chain.at(position + 1));
}

void Form1::assignButtonTabPositions()
{
    constexpr int firstButtonPosition = 2 * core::slotCount;
    applyFocusChain(firstButtonPosition - 1, firstButtonPosition + 6);
}

void Form1::assignSlotTabPositions()
{
    applyFocusChain(0, 2 * core::slotCount);
}

void Form1::applyLanguage(std::uint8_t code)
{
    ApplyLanguage(*this, code);
    for (SlotRow *row : rows_)
        row->setLanguage(code);
    const TextTable &texts = TextTable::forLanguage(code);
    controls_.CommonDialog1->setMusicFilterName(QString::fromUtf8(texts.musicFilterName));
    platform_.setButtonCaptions({QString::fromUtf8(texts.okButton),
                                 QString::fromUtf8(texts.yesButton),
                                 QString::fromUtf8(texts.noButton)});
}

void Form1::showPage(int page)
{
    const Form1Controls &c = controls_;
    QWidget *focused = focusWidget();
    const bool focusAffected =
        focused && (focused == c.gomb_firstpage || focused == c.gomb_secondpage ||
                    c.Frame1->isAncestorOf(focused) || c.Frame2->isAncestorOf(focused));
    c.Frame1->setVisible(page == 1);
    c.Frame2->setVisible(page == 2);
    c.gomb_firstpage->setEnabled(page != 1);
    c.gomb_secondpage->setEnabled(page != 2);
    // Left to itself the toolkit would move the focus on, onto Change, where the next
    // Space would copy. The button that leads back takes it instead.
    if (focusAffected)
        (page == 1 ? c.gomb_secondpage : c.gomb_firstpage)->setFocus(Qt::OtherFocusReason);
}

void Form1::showSlot(int index)
{
    showPage(core::SlotTable::place(index).page);
    controls_.Text1.at(std::size_t(index))->setFocus(Qt::OtherFocusReason);
}

void Form1::browse(int index)
{
    if (const std::optional<QString> chosen = controls_.CommonDialog1->showOpen(platform_, this))
        setSlotText(index, *chosen);
}

void Form1::setSlotText(int index, const QString &text)
{
    PathBox::show(*controls_.Text1.at(std::size_t(index)), text);
}

void Form1::dragEnterEvent(QDragEnterEvent *event)
{
    const std::optional<QString> file = SlotRow::droppedFile(event->mimeData());
    if (file && SlotRow::isSetFile(*file))
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent *event)
{
    const std::optional<QString> file = SlotRow::droppedFile(event->mimeData());
    if (!file || !SlotRow::isSetFile(*file))
        return;
    event->acceptProposedAction();
    emit setDropped(*file);
}

void Form1::contextMenuEvent(QContextMenuEvent *event)
{
    // The window's free area and its pages; a command button keeps to itself.
    QWidget *under = childAt(event->pos());
    if (under && under != controls_.Frame1 && under != controls_.Frame2)
        return;
    emit setMenuRequested(event->globalPos());
}

void Form1::closeEvent(QCloseEvent *event)
{
    // A disabled window takes no input; the window that disabled it must be done first.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    event->accept();
    emit exitRequested();
}
