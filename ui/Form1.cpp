// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1.h"

#include "ApplyLanguage.h"
#include "AtomicFileWriter.h"
#include "CommonDialog.h"
#include "FailureCodes.h"
#include "LayoutScale.h"
#include "MainWindowLayout.h"
#include "OriginalsFolder.h"
#include "PlatformLayer.h"
#include "ReplacementRun.h"
#include "RunTexts.h"
#include "SlotRow.h"
#include "TextTable.h"
#include "Twips.h"
#include "WindowProtocolFactory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QStyle>
#include <QTemporaryFile>

namespace {

using namespace mainwindowlayout;

#ifdef Q_OS_WIN
// Where Windows lets only an administrator write, and virtualizes an old game's writes.
bool isUnderProtectedFolder(const QString &folder)
{
    const QString cleaned =
        QDir::cleanPath(QDir::fromNativeSeparators(folder)).toLower() + QLatin1Char('/');
    for (const char *variable : {"ProgramFiles", "ProgramFiles(x86)", "SystemRoot"}) {
        const QString root =
            QDir::cleanPath(QDir::fromNativeSeparators(qEnvironmentVariable(variable)));
        if (!root.isEmpty() && cleaned.startsWith(root.toLower() + QLatin1Char('/')))
            return true;
    }
    return false;
}
#endif

QString indexedName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

bool isPlaceholder(const QString &text)
{
    for (const std::uint8_t language : {std::uint8_t(1), std::uint8_t(2)}) {
        const std::string_view placeholder = core::RunTexts::forLanguage(language).placeholder;
        if (text == QString::fromUtf8(placeholder.data(), qsizetype(placeholder.size())))
            return true;
    }
    return text.trimmed().isEmpty() || text == QLatin1String("Text1");
}

QString pickToolTip(const QString &path)
{
    return QFileInfo(path).fileName() + QLatin1Char('\n') + path;
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
    : QWidget(parent), platform_(platform), programFolder_(programFolder),
      userSettingsFolder_(userSettingsFolder), protocol_(makeWindowProtocol(*this, platform))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(twips::toPixels(9240), twips::toPixels(6855));
    createControls();
    connect(&pickChecker_, &PickChecker::checked, this, &Form1::pickChecked);
    connect(&listening_, &Listening::ended, this, &Form1::listeningEnded);
    connect(this, &Form1::exitRequested, &listening_, &Listening::stop);
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
    // Music sets: keys that no specified control uses, and files dropped anywhere.
    auto *save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, [this] { saveSet(false); });
    auto *open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, this, &Form1::openSet);
    setAcceptDrops(true);
    layoutscale::elideCaptionsThatDoNotFit(*this);

    connect(controls_.gomb_firstpage, &QPushButton::clicked, this, [this] { showPage(1); });
    connect(controls_.gomb_secondpage, &QPushButton::clicked, this, [this] { showPage(2); });
    connect(controls_.gomb_change, &QPushButton::clicked, this, &Form1::change);
    connect(controls_.gomb_default, &QPushButton::clicked, this, &Form1::restoreOriginals);
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
    // The box shows the beginning of a long path; its tooltip names the file first, then
    // says what the file holds once it has been read.
    connect(text, &QLineEdit::textChanged, this,
            [this, index](const QString &path) { pickChanged(index, path); });
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
    row->setMenuState([this, index] { return slotMenuState(index); });
    connect(row, &SlotRow::fileDropped, this,
            [this, index](const QString &file) { setSlotText(index, file); });
    connect(row, &SlotRow::setDropped, this, [this](const QString &file) { openSetFile(file); });
    connect(row, &SlotRow::restoreRequested, this, [this, index] { restoreSlot(index); });
    connect(row, &SlotRow::clearRequested, this, [this, index] { clearSlot(index); });
    connect(row, &SlotRow::playRequested, this,
            [this, index](Listening::Source source) { play(index, source); });
    connect(row, &SlotRow::stopRequested, &listening_, &Listening::stop);
    connect(row, &SlotRow::pointerEntered, &listening_, &Listening::preload);
    connect(row, &SlotRow::showInFolderRequested, this, [this, index] {
        platform_.showInFolder(
            QFileInfo(controls_.Text1[std::size_t(index)]->text()).absolutePath());
    });
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
    if (!kapcs_ && !settingsFound_)
        startupRead();
    // What a killed run left behind goes, unless another copy of the program is writing.
    if (!utvonal_.empty())
        originals().lockForWriting(startTime_);
    updateDefaultButton();
    offerVirtualStoreCopies();
}

void Form1::startupRead()
{
    const std::optional<core::Settings> settings = settingsFile().read();
    if (!settings) {
        emit settingsNeeded();
        return;
    }
    settingsFound_ = true;
    utvonal_ = settings->folder;
    nyelv_ = settings->language;
    applyLanguage(nyelv_);
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

void Form1::browse(int index)
{
    if (const std::optional<QString> chosen = controls_.CommonDialog1->showOpen(platform_, this))
        setSlotText(index, *chosen);
}

void Form1::setSlotText(int index, const QString &text)
{
    controls_.Text1.at(std::size_t(index))->setText(text);
    controls_.Text1.at(std::size_t(index))->setCursorPosition(0);
}

void Form1::change()
{
    if (!confirmFolderWithoutGameMusic())
        return;
    core::SlotTexts texts;
    for (int i = 0; i < core::slotCount; ++i)
        texts[i] = controls_.Text1[i]->text().toStdString();
    listening_.releaseSlots(
        [this](int slot) { return !isPlaceholder(controls_.Text1[slot]->text()); });
    const core::AudioCodecs *codecs = core::AudioCodecs::get();
    const core::ReplacementRun run(slotTable_, core::FileSystem::native(), originalsDataFolder(),
                                   codecs);
    const core::SlotTexts labels = slotLabels();
    // A run that only copies is over in a moment and shows no window, as it always has.
    bool converts = false;
    for (int i = 0; i < core::slotCount; ++i) {
        const auto &verdict = pickChecker_.verdict(i);
        converts = converts ||
                   (verdict && verdict->converts && !isPlaceholder(controls_.Text1[i]->text()));
    }
    const core::RunResult result =
        converts ? runWithProgress(run, texts, labels)
                 : runWithWaitCursor([&] { return run.run(texts, labels, utvonal_, nyelv_); });
    showRunMessage(result);
    offerVirtualStoreCopies();
}

void Form1::runOnWorker(const std::function<void()> &work)
{
    // The window keeps painting and its progress window answers while the work runs.
    QEventLoop loop;
    std::jthread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
}

void Form1::prepareProgressWindow(QProgressDialog &progress, int steps) const
{
    // Modal to this window, shown at once, closed by its owner; Esc is Cancel.
    progress.setWindowTitle(QString::fromUtf8(fixedtext::applicationTitle));
    progress.setWindowModality(Qt::WindowModal);
    progress.setCancelButtonText(QString::fromUtf8(TextTable::forLanguage(nyelv_).cancelButton));
    progress.setRange(0, steps);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
}

core::RunResult Form1::runWithProgress(const core::ReplacementRun &run,
                                       const core::SlotTexts &texts, const core::SlotTexts &labels)
{
    const TextTable &table = TextTable::forLanguage(nyelv_);
    QProgressDialog progress(this);
    prepareProgressWindow(progress, 1000);
    progress.setLabelText(QString::fromUtf8(table.converting).arg(QString()));

    core::RunResult result;
    std::stop_source stop;
    connect(&progress, &QProgressDialog::canceled, this, [&] { stop.request_stop(); });
    QPointer<QProgressDialog> shown(&progress);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    runOnWorker([&, shown] {
        result = run.run(
            texts, labels, utvonal_, nyelv_,
            [&, shown](const core::RunProgress &now) {
                QMetaObject::invokeMethod(
                    shown.data(),
                    [=, this] {
                        if (!shown)
                            return;
                        shown->setValue(now.secondsTotal > 0
                                            ? int(1000 * now.secondsDone / now.secondsTotal)
                                            : 0);
                        shown->setLabelText(
                            QString::fromUtf8(TextTable::forLanguage(nyelv_).converting)
                                .arg(QString::fromStdString(labels[std::size_t(now.slot)])));
                    },
                    Qt::QueuedConnection);
            },
            stop.get_token());
    });
    QApplication::restoreOverrideCursor();
    progress.hide();
    updateDefaultButton();
    return result;
}

bool Form1::confirmFolderWithoutGameMusic()
{
    // A parent folder picked by mistake would fill with the game's names and Default would
    // appear as if the music had changed. A folder that is not there fails as it always has.
    const std::filesystem::path folder = core::OriginalsFolder(utvonal_).gameFolder();
    std::error_code error;
    if (utvonal_.empty() || !std::filesystem::is_directory(folder, error) ||
        core::WinePrefixFinder::holdsGameMusic(folder))
        return true;
    const QString question = QString::fromUtf8(TextTable::forLanguage(nyelv_).emptyFolderQuestion)
                                 .arg(QString::fromStdString(core::platform::textFromPath(folder)));
    return platform_.askYesNo(this, question, PlatformLayer::DefaultAnswer::No);
}

void Form1::restoreOriginals()
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    const int restorable = originals().restorableCount(slotTable_);
    const QString question = restorable == 1
                                 ? QString::fromUtf8(texts.restoreQuestionOne)
                                 : QString::fromUtf8(texts.restoreQuestion).arg(restorable);
    if (!platform_.askYesNo(this, question, PlatformLayer::DefaultAnswer::Yes))
        return;
    listening_.releaseSlots([](int) { return true; });
    showRestoreResult(
        runWithWaitCursor([&] { return originals().restore(slotTable_, slotLabels(), nyelv_); }));
}

void Form1::showRestoreResult(const core::RunResult &result)
{
    if (!result.message.empty() || result.count == 0) {
        showRunMessage(result);
        return;
    }
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    platform_.showMessage(this, result.count == 1
                                    ? QString::fromUtf8(texts.fileRestored)
                                    : QString::fromUtf8(texts.filesRestored).arg(result.count));
}

void Form1::pickChanged(int index, const QString &path)
{
    QLineEdit *text = controls_.Text1[std::size_t(index)];
    playbackFailures_[std::size_t(index)].clear(); // it may have been the old pick's
    if (QAction *mark = unreadableMarks_[std::size_t(index)])
        mark->setVisible(false);
    text->setAccessibleDescription(QString());
    // Either drops the old pick's verdict before the tooltip is written.
    if (isPlaceholder(path)) {
        pickChecker_.forget(index);
    } else {
        const std::string game = utvonal_.empty()
                                     ? std::string()
                                     : core::platform::textFromPath(
                                           originals().gameFile(slotTable_.targetFileName(index)));
        pickChecker_.check(index, path, QString::fromStdString(game));
    }
    updateSlotToolTip(index);
}

void Form1::pickChecked(int index)
{
    const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(index);
    QLineEdit *text = controls_.Text1[std::size_t(index)];
    if (!verdict)
        return;
    const QString said = PickChecker::describe(*verdict, nyelv_);
    updateSlotToolTip(index);
    // Marked before Change is pressed: an icon, and words for a screen reader. The icon is
    // made when first needed; forty of them would cost every start.
    QAction *&mark = unreadableMarks_[std::size_t(index)];
    if (!mark && !verdict->readable)
        mark = text->addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning),
                               QLineEdit::TrailingPosition);
    if (mark) {
        mark->setVisible(!verdict->readable);
        mark->setToolTip(said);
    }
    text->setAccessibleDescription(verdict->readable ? QString() : said);
}

void Form1::updateSlotToolTip(int index)
{
    QLineEdit *text = controls_.Text1[std::size_t(index)];
    QStringList lines;
    if (!isPlaceholder(text->text())) {
        lines << pickToolTip(text->text());
        if (const std::optional<PickChecker::Verdict> &verdict = pickChecker_.verdict(index))
            lines << PickChecker::describe(*verdict, nyelv_);
    }
    if (!playbackFailures_[std::size_t(index)].isEmpty())
        lines << playbackFailures_[std::size_t(index)];
    text->setToolTip(lines.join(QLatin1Char('\n')));
}

void Form1::play(int index, Listening::Source source)
{
    const std::string_view target = slotTable_.targetFileName(index);
    std::filesystem::path file;
    switch (source) {
    case Listening::Source::Pick:
        file =
            core::platform::pathFromText(controls_.Text1[std::size_t(index)]->text().toStdString());
        break;
    case Listening::Source::GameMusic:
        file = originals().gameFile(target);
        break;
    case Listening::Source::Original:
        file = originals().keptOriginal(target).value_or(std::filesystem::path());
        break;
    }
    playbackFailures_[std::size_t(index)].clear();
    updateSlotToolTip(index);
    listening_.play(index, source, file);
}

void Form1::listeningEnded(int index, const QString &failure)
{
    if (failure.isEmpty())
        return;
    playbackFailures_[std::size_t(index)] =
        QString::fromUtf8(TextTable::forLanguage(nyelv_).cannotPlay).arg(failure);
    updateSlotToolTip(index);
}

SlotRow::MenuState Form1::slotMenuState(int index)
{
    const QString pick = controls_.Text1[std::size_t(index)]->text();
    SlotRow::MenuState state;
    state.hasPick = !isPlaceholder(pick);
    state.pickIsThere = state.hasPick && QFileInfo(pick).isFile();
    const std::string_view target = slotTable_.targetFileName(index);
    if (!utvonal_.empty()) {
        core::OriginalsFolder kept = originals();
        state.restorable = kept.isRestorable(target);
        std::error_code error;
        state.gameMusicThere = std::filesystem::is_regular_file(kept.gameFile(target), error);
        state.originalKept = kept.keptOriginal(target).has_value();
    }
    state.playing = listening_.isPlaying();
    state.cannotPlay = listening_.unavailableReason(nyelv_);
    return state;
}

void Form1::restoreSlot(int index)
{
    listening_.releaseSlots([index](int slot) { return slot == index; });
    showRestoreResult(runWithWaitCursor(
        [&] { return originals().restore(slotTable_, slotLabels(), nyelv_, index); }));
}

void Form1::clearSlot(int index)
{
    const std::string_view placeholder = core::RunTexts::forLanguage(nyelv_).placeholder;
    setSlotText(index, QString::fromUtf8(placeholder.data(), qsizetype(placeholder.size())));
}

QMenu *Form1::createSetMenu(QWidget *parent)
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    auto *menu = new QMenu(parent);
    const bool anyPick = hasAnyPick();
    menu->addAction(QString::fromUtf8(texts.saveSet), this, [this] { saveSet(false); })
        ->setEnabled(anyPick);
    menu->addAction(QString::fromUtf8(texts.saveSetWithMusic), this, [this] { saveSet(true); })
        ->setEnabled(anyPick);
    menu->addAction(QString::fromUtf8(texts.openSet), this, &Form1::openSet);
    menu->addAction(QString::fromUtf8(texts.clearAllPicks), this,
                    [this] {
                        for (int i = 0; i < core::slotCount; ++i)
                            clearSlot(i);
                    })
        ->setEnabled(anyPick);
    return menu;
}

void Form1::contextMenuEvent(QContextMenuEvent *event)
{
    // The window's free area and its pages; a command button keeps to itself.
    QWidget *under = childAt(event->pos());
    if (under && under != controls_.Frame1 && under != controls_.Frame2)
        return;
    QMenu *menu = createSetMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

PlatformLayer::OpenFileRequest Form1::setFileRequest() const
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    return {QString::fromUtf8(texts.setFilterName),
            QStringLiteral("%1 (*.m3u8 *.m3u)").arg(QString::fromUtf8(texts.setFilterName)),
            QDir::homePath(),
            {}};
}

void Form1::saveSet(bool withMusic)
{
    std::optional<QString> chosen = platform_.chooseFileToSave(this, setFileRequest());
    if (!chosen)
        return;
    QString file = *chosen;
    if (!SlotRow::isSetFile(file))
        file += QStringLiteral(".m3u8");
    const QFileInfo setInfo(file);
    core::MusicSet set;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString pick = controls_.Text1[std::size_t(i)]->text();
        if (isPlaceholder(pick))
            continue;
        const auto &verdict = pickChecker_.verdict(i);
        set.picks.push_back(
            {i, core::platform::pathFromText(QFileInfo(pick).absoluteFilePath().toStdString()),
             verdict && verdict->pick ? verdict->pick->seconds : -1});
    }
    if (withMusic && !copyMusicBeside(setInfo, set))
        return;
    core::AtomicFileWriter writer;
    const std::filesystem::path folder =
        core::platform::pathFromText(setInfo.absolutePath().toStdString());
    if (const auto failure = writer.writeBytes(
            core::platform::pathFromText(setInfo.absoluteFilePath().toStdString()),
            set.format(folder)))
        platform_.showMessage(
            this, QString::fromUtf8(TextTable::forLanguage(nyelv_).cannotWriteSettings)
                      .arg(QDir::toNativeSeparators(file), failureReason(failure->systemError)));
}

bool Form1::copyMusicBeside(const QFileInfo &setInfo, core::MusicSet &set)
{
    // Into "<set name> files/" beside the set, with names of their own, on a worker; a
    // cancelled copy leaves no half-copied set behind.
    const QString folder = setInfo.absolutePath() + QLatin1Char('/') + setInfo.completeBaseName() +
                           QStringLiteral(" files");
    const bool madeFolder = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder))
        return false;
    QStringList taken;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> copies;
    for (core::MusicSet::Pick &pick : set.picks) {
        const QFileInfo source(QString::fromStdString(core::platform::textFromPath(pick.file)));
        QString name = source.fileName();
        for (int n = 2; taken.contains(name, Qt::CaseInsensitive); ++n)
            name = QStringLiteral("%1 (%2).%3")
                       .arg(source.completeBaseName())
                       .arg(n)
                       .arg(source.suffix());
        taken << name;
        const std::filesystem::path target =
            core::platform::pathFromText((folder + QLatin1Char('/') + name).toStdString());
        copies.emplace_back(pick.file, target);
        pick.file = target;
    }
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    QProgressDialog progress(this);
    prepareProgressWindow(progress, int(copies.size()));
    std::stop_source stop;
    connect(&progress, &QProgressDialog::canceled, this, [&] { stop.request_stop(); });
    std::optional<core::FileError> failure;
    QPointer<QProgressDialog> shown(&progress);
    runOnWorker([&, shown] {
        core::AtomicFileWriter writer;
        for (std::size_t i = 0; i < copies.size() && !stop.stop_requested() && !failure; ++i) {
            const QString name =
                QString::fromStdString(core::platform::textFromPath(copies[i].first.filename()));
            QMetaObject::invokeMethod(
                shown.data(),
                [=, &texts] {
                    if (shown) {
                        shown->setValue(int(i));
                        shown->setLabelText(QString::fromUtf8(texts.copyingMusic).arg(name));
                    }
                },
                Qt::QueuedConnection);
            failure = writer.copyFile(copies[i].first, copies[i].second);
        }
    });
    progress.hide();
    if (!stop.stop_requested() && !failure)
        return true;
    if (madeFolder)
        QDir(folder).removeRecursively();
    else
        for (const auto &[source, target] : copies)
            std::filesystem::remove(target);
    if (failure)
        showRunMessage(
            {core::RunResult::Outcome::Failed, -1, core::failureCodeFor(*failure),
             QString::fromUtf8(texts.cannotWriteSettings)
                 .arg(QString::fromStdString(core::platform::textFromPath(folder.toStdString())),
                      failureReason(failure->systemError))
                 .toStdString()});
    return false;
}

bool Form1::hasAnyPick() const
{
    return std::any_of(controls_.Text1.begin(), controls_.Text1.end(),
                       [](const QLineEdit *text) { return !isPlaceholder(text->text()); });
}

void Form1::openSet()
{
    if (const std::optional<QString> chosen = platform_.chooseFileToOpen(this, setFileRequest()))
        openSetFile(*chosen, false);
}

void Form1::openSetFile(const QString &file, bool askFirst)
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    if (askFirst && hasAnyPick() &&
        !platform_.askYesNo(this, QString::fromUtf8(texts.replacePicksQuestion),
                            PlatformLayer::DefaultAnswer::Yes))
        return;
    QFile input(file);
    constexpr qint64 largestSet = 1 << 20;
    QByteArray bytes;
    if (input.open(QIODevice::ReadOnly))
        bytes = input.read(largestSet);
    const QFileInfo info(file);
    const core::MusicSet set = core::MusicSet::parse(
        bytes.toStdString(), core::platform::pathFromText(info.absolutePath().toStdString()));
    QStringList problems;
    for (const std::string &problem : set.problems)
        problems << QString::fromStdString(problem);
    // A file that is no playlist changes nothing.
    if (!set.picks.empty() || problems.isEmpty()) {
        for (int i = 0; i < core::slotCount; ++i)
            clearSlot(i);
        // A file no longer there still fills its slot, marked as its check finds it.
        for (const core::MusicSet::Pick &pick : set.picks)
            setSlotText(pick.slot, QDir::toNativeSeparators(QString::fromStdString(
                                       core::platform::textFromPath(pick.file))));
    }
    if (!problems.isEmpty())
        platform_.showMessage(
            this, QString::fromUtf8(texts.setProblems).arg(problems.join(QLatin1Char('\n'))));
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
    openSetFile(*file);
}

std::filesystem::path Form1::originalsDataFolder() const
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return folder.isEmpty() ? std::filesystem::path()
                            : core::platform::pathFromText(folder.toStdString());
}

core::OriginalsFolder Form1::originals() const
{
    return core::OriginalsFolder(utvonal_, core::FileSystem::native(), originalsDataFolder());
}

core::SlotTexts Form1::slotLabels() const
{
    core::SlotTexts labels;
    for (int i = 0; i < core::slotCount; ++i)
        labels[i] = controls_.Label1[i]->text().toStdString();
    return labels;
}

core::RunResult Form1::runWithWaitCursor(const std::function<core::RunResult()> &work)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const core::RunResult result = work();
    QApplication::restoreOverrideCursor();
    updateDefaultButton();
    return result;
}

void Form1::showRunMessage(const core::RunResult &result)
{
    if (result.message.empty() || offerElevation(result))
        return;
    platform_.showMessage(this, QString::fromStdString(result.message));
}

bool Form1::offerElevation([[maybe_unused]] const core::RunResult &result)
{
#ifdef Q_OS_WIN
    const QString folder = QString::fromStdString(utvonal_);
    if (result.code != core::failure::permissionDenied || !isUnderProtectedFolder(folder) ||
        platform_.isElevated())
        return false;
    // One box: the specified message first, then the offer.
    const QString text = QString::fromStdString(result.message) + QStringLiteral("\n\n") +
                         QString::fromUtf8(TextTable::forLanguage(nyelv_).elevateQuestion);
    if (platform_.askYesNo(this, text, PlatformLayer::DefaultAnswer::Yes))
        handOverElevated();
    return true;
#else
    return false;
#endif
}

void Form1::handOverElevated()
{
    core::MusicSet set;
    set.gameFolder = utvonal_;
    set.language = nyelv_;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString text = controls_.Text1[i]->text();
        if (!isPlaceholder(text))
            set.picks.push_back({i, core::platform::pathFromText(text.toStdString())});
    }
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/valdrune-hand-over-XXXXXX.m3u8"));
    file.setAutoRemove(false);
    const std::string bytes =
        set.format(core::platform::pathFromText(QDir::tempPath().toStdString()));
    if (!file.open() || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        return;
    file.close();
    // The new copy starts with everything; this one closes. Refused: nothing changes. The
    // new copy writes the game's files at once: none may be held open by this one.
    listening_.stop();
    if (platform_.relaunchElevated({QStringLiteral("--hand-over"), file.fileName()}))
        platform_.endProgram();
    else
        file.remove();
}

void Form1::takeOver(const core::MusicSet &set)
{
    settingsFound_ = true;
    writesSettings_ = false;
    utvonal_ = set.gameFolder.value_or(std::string());
    nyelv_ = set.language.value_or(core::SettingsFile::hungarian);
    applyLanguage(nyelv_);
    for (const core::MusicSet::Pick &pick : set.picks)
        setSlotText(pick.slot, QDir::toNativeSeparators(QString::fromStdString(
                                   core::platform::textFromPath(pick.file))));
}

void Form1::offerVirtualStoreCopies()
{
#ifdef Q_OS_WIN
    const QString folder =
        QDir::toNativeSeparators(QString::fromStdString(storedFolderWithoutSeparator()));
    if (folder.size() < 3 || folder.at(1) != QLatin1Char(':') || !isUnderProtectedFolder(folder) ||
        virtualStoreToldFor_ == folder)
        return;
    // An old game run by file virtualization reads these instead of the real folder's files.
    const QString store = QDir::toNativeSeparators(
        qEnvironmentVariable("LOCALAPPDATA") + QStringLiteral("\\VirtualStore") + folder.mid(2));
    QList<int> found;
    for (int i = 0; i < core::slotCount; ++i) {
        if (QFileInfo(store + QLatin1Char('\\') +
                      QString::fromStdString(slotTable_.targetFileName(i)))
                .isFile())
            found << i;
    }
    if (found.isEmpty())
        return;
    virtualStoreToldFor_ = folder;
    const QString question = QString::fromUtf8(TextTable::forLanguage(nyelv_).virtualStoreQuestion)
                                 .arg(found.size())
                                 .arg(store);
    if (!platform_.askYesNo(this, question, PlatformLayer::DefaultAnswer::Yes))
        return;
    std::vector<core::OriginalsFolder::StandIn> copies;
    for (const int i : found) {
        const std::string &name = slotTable_.targetFileName(i);
        copies.push_back(
            {core::platform::pathFromText((store + QLatin1Char('\\')).toStdString() + name), name});
    }
    showRunMessage(originals().takeIn(copies, nyelv_));
    updateDefaultButton();
#endif
}

void Form1::updateDefaultButton()
{
    const bool restorable = !utvonal_.empty() && originals().restorableCount(slotTable_) > 0;
    controls_.gomb_default->setVisible(restorable);
}

core::SettingsFile Form1::settingsFile() const
{
    const auto native = [](const QString &folder) {
        return folder.isEmpty() ? std::string() : QDir::toNativeSeparators(folder).toStdString();
    };
    return core::SettingsFile(native(programFolder_), core::platform::nativeSeparator(),
                              core::FileSystem::native(), native(userSettingsFolder_));
}

std::string Form1::storedFolderWithoutSeparator() const
{
    std::string folder = utvonal_;
    if (!folder.empty() && folder.back() == core::platform::nativeSeparator())
        folder.pop_back();
    return folder;
}

QString Form1::folderForSettingsWindow() const
{
    if (settingsFound_)
        return QString::fromStdString(storedFolderWithoutSeparator());
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\Program Files\\Korvex\\Valdrune3\\Mp3");
#else
    // The game where a Wine launcher keeps it, else where plain Wine would.
    for (const core::WinePrefix &prefix : prefixSearch_.prefixes()) {
        if (!prefix.musicFolder.empty())
            return QString::fromStdString(prefix.musicFolder.string());
    }
    return QDir::homePath() + QStringLiteral("/.wine/drive_c/Program Files/Korvex/Valdrune3/Mp3");
#endif
}

QList<Form2::FolderDrive> Form1::winePrefixDrives() const
{
    QList<Form2::FolderDrive> drives;
    for (const core::WinePrefix &prefix : prefixSearch_.prefixes()) {
        drives.append({QString::fromStdString(prefix.driveC.string()),
                       QStringLiteral("c: [%1: %2]")
                           .arg(QString::fromStdString(prefix.launcher),
                                QString::fromStdString(prefix.name))});
    }
    return drives;
}

QString Form1::failureReason(core::SystemError error) const
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    switch (core::commonFailureOf(error)) {
    case core::CommonFailure::AccessDenied:
        return QString::fromUtf8(texts.reasonAccessDenied);
    case core::CommonFailure::ReadOnly:
        return QString::fromUtf8(texts.reasonReadOnly);
    case core::CommonFailure::DiskFull:
        return QString::fromUtf8(texts.reasonDiskFull);
    case core::CommonFailure::NotFound:
        return QString::fromUtf8(texts.reasonNotFound);
    case core::CommonFailure::InUse:
        return QString::fromUtf8(texts.reasonInUse);
    case core::CommonFailure::Other:
        break;
    }
    return QString::fromStdString(core::describeSystemError(error));
}

QString Form1::settingsFailureText(const core::SaveFailure &failure) const
{
    const TextTable &texts = TextTable::forLanguage(nyelv_);
    QString reason;
    switch (failure.kind) {
    case core::SaveFailure::Kind::Unrepresentable:
        reason = QString::fromUtf8(texts.folderNotInCodePage);
        break;
    case core::SaveFailure::Kind::Unstorable:
        reason = QString::fromUtf8(texts.folderNotStorable);
        break;
    case core::SaveFailure::Kind::Write:
        reason = failureReason(failure.systemError);
        break;
    case core::SaveFailure::Kind::ReadBack:
        reason = QString::fromUtf8(texts.settingsNotReadBack);
        break;
    }
    const std::string &file =
        failure.location.empty() ? settingsFile().location() : failure.location;
    return QString::fromUtf8(texts.cannotWriteSettings).arg(QString::fromStdString(file), reason);
}

bool Form1::acceptSettings(const QString &folderText, bool hungarianSelected, QWidget *dialogParent)
{
    assignButtonTabPositions();
    // A folder the user left as it was shown is stored as the bytes it was read as.
    const bool unchanged = settingsFound_ && folderText == folderForSettingsWindow();
    const std::string folder =
        unchanged ? storedFolderWithoutSeparator() : folderText.toStdString();
    if (!writesSettings_) {
        // Handed over: the settings hold for this run only.
        nyelv_ = hungarianSelected ? core::SettingsFile::hungarian : core::SettingsFile::english;
        utvonal_ = folder + core::platform::nativeSeparator();
        applyLanguage(nyelv_);
        updateDefaultButton();
        return true;
    }
    const core::SaveResult result = settingsFile().save(folder, hungarianSelected);
    if (!result.saved()) {
        platform_.showMessage(dialogParent, settingsFailureText(result.failure));
        return false;
    }
    nyelv_ = hungarianSelected ? core::SettingsFile::hungarian : core::SettingsFile::english;
    // The folder just chosen is the one the next Change copies into.
    utvonal_ = result.stored->folder;
    applyLanguage(result.stored->language);
    updateDefaultButton();
    return true;
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
