// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextTable.h"

#include "Language.h"

#include <cstddef>
#include <iterator>

namespace {

// One text of the table in both languages: the member it fills, and its words.
struct Entry
{
    struct Words
    {
        const char *hu;
        const char *en;
    };
    const char *TextTable::*text;
    Words words;
};

// In the order of TextTable's members. The author's name: nickname, then the full name
// between slashes, family name first in Hungarian and given name first in English.
constexpr Entry entries[] = {
    {&TextTable::browse, {.hu = "Tallózás...", .en = "Open..."}},
    {&TextTable::firstPage, {.hu = "&Első oldal", .en = "&1st Page"}},
    {&TextTable::secondPage, {.hu = "&Második oldal", .en = "&2nd Page"}},
    {&TextTable::change, {.hu = "&Csere", .en = "&Change"}},
    {&TextTable::restoreDefault, {.hu = "&Visszaállítás", .en = "&Default"}},
    {&TextTable::about, {.hu = "&Névjegy", .en = "&About"}},
    {&TextTable::options, {.hu = "&Beállítások", .en = "&Options"}},
    {&TextTable::exit, {.hu = "&Kilépés", .en = "&Exit"}},
    {&TextTable::ok, {.hu = "&Rendben", .en = "&OK"}},
    {&TextTable::cancel, {.hu = "&Mégse", .en = "&Cancel"}},
    {&TextTable::pathPrompt,
     {.hu = "Kérlek add meg a Valdrune elérési útját", .en = "Please set the Path of the VLDR3"}},
    {&TextTable::languageLabel, {.hu = "Nyelv:", .en = "Language:"}},
    {&TextTable::versionPrefix, {.hu = "Verziószám ", .en = "Version "}},
    {&TextTable::description,
     {.hu = "A Zellerin Software Corporation 2000 ezen programjával könnyen kicserélhetőek a "
            "Valdrune 3: The Quorvath című játék MP3 fájljai. A progit nem teszteltük a VLDR3-on "
            "illetve a VLDR3: The Brennix de minden valószínűség szerint azokkal is működik. "
            "(Egyes hangfájlok ezen verziókon még nem léteztek)",
      .en = "With this product of Zellerin Software Corporation 2000 you can change easily the "
            "MP3s of Valdrune 3. This version was write for VLDR3: Quorvath, but probably it is "
            "compatible with The Brennix and The Ostrelin. (Some soundfiles wasn't be in this "
            "versions)"}},
    {&TextTable::disclaimer, {.hu = "", .en = ""}},
    {&TextTable::credits,
     {.hu = "Készítette: Hangmester /Példa Elek/", .en = "Created by: Hangmester /Elek Példa/"}},
    {&TextTable::folderBoxName,
     {.hu = "A játék zenéinek mappája", .en = "The game's music folder"}},
    {&TextTable::folderListName, {.hu = "Mappák", .en = "Folders"}},
    {&TextTable::driveListName, {.hu = "Meghajtók", .en = "Drives"}},
    {&TextTable::cannotWriteSettings,
     {.hu = "A beállítások nem írhatók ide: %1: %2", .en = "Cannot write %1: %2"}},
    {&TextTable::folderNotInCodePage,
     {.hu = "a mappa neve olyan betűt tartalmaz, amelyet a rendszer kódlapja nem tud tárolni",
      .en = "the folder name has letters that the system code page cannot store"}},
    {&TextTable::folderNotStorable,
     {.hu = "a mappa neve idézőjelet vagy sortörést tartalmaz, vagy túl hosszú, ezért a beállítási "
            "fájl nem tudja tárolni",
      .en = "the folder name has a double quote or a line break, or is too long, which the "
            "settings file cannot store"}},
    {&TextTable::settingsNotReadBack,
     {.hu = "a mentett fájl nem olvasható vissza", .en = "the saved file cannot be read back"}},
    {&TextTable::restoreQuestion,
     {.hu = "Visszaállítod a játék eredeti zenéjét? (%1 fájl)",
      .en = "Restore the game's original music? (%1 files)"}},
    {&TextTable::restoreQuestionOne,
     {.hu = "Visszaállítod a játék eredeti zenéjét? (1 fájl)",
      .en = "Restore the game's original music? (1 file)"}},
    {&TextTable::filesRestored, {.hu = "%1 fájl visszaállítva.", .en = "%1 files restored."}},
    {&TextTable::fileRestored, {.hu = "1 fájl visszaállítva.", .en = "1 file restored."}},
    {&TextTable::emptyFolderQuestion,
     {.hu = "Ebben a mappában nincs a játék zenefájljai közül egy sem: %1. Mégis oda másoljam a "
            "zenét?",
      .en = "This folder holds none of the game's music files: %1. Copy the music there anyway?"}},
    {&TextTable::okButton, {.hu = "OK", .en = "OK"}},
    {&TextTable::yesButton, {.hu = "&Igen", .en = "&Yes"}},
    {&TextTable::noButton, {.hu = "&Nem", .en = "&No"}},
    {&TextTable::musicFilterName, {.hu = "Zene", .en = "Music"}},
    {&TextTable::pickConverted,
     {.hu = "%1, %2 kHz, %3, %4: a Csere MP3-má alakítja",
      .en = "%1, %2 kHz, %3, %4: converted to MP3 at Change"}},
    {&TextTable::pickCopied,
     {.hu = "%1, %2 kHz, %3, %4: változatlanul kerül a helyére",
      .en = "%1, %2 kHz, %3, %4: copied as it is"}},
    {&TextTable::pickFigures, {.hu = "%1, %2 kHz, %3, %4", .en = "%1, %2 kHz, %3, %4"}},
    {&TextTable::pickOtherRate,
     {.hu = "%1, %2 kHz: a játék saját fájlja ennél a helynél %3 kHz-es",
      .en = "%1, %2 kHz: the game's own file of this slot is %3 kHz"}},
    {&TextTable::pickUnreadable,
     {.hu = "Ez a fájl nem használható: %1", .en = "This file cannot be used: %1"}},
    {&TextTable::notAFile, {.hu = "nem fájl", .en = "not a file"}},
    {&TextTable::pickAudioMissing,
     {.hu = "Hiányzik a program hangkezelő része (itt kereste: %1), ezért csak MP3 fájl tehető a "
            "helyére",
      .en = "The program's audio part is missing (it was looked for at %1), so only an MP3 can be "
            "used here"}},
    {&TextTable::pickCopiedAudioMissing,
     {.hu = "MP3: változatlanul kerül a helyére (hiányzik a program hangkezelő része, itt kereste: "
            "%1)",
      .en = "MP3: copied as it is (the program's audio part is missing; it was looked for at %1)"}},
    {&TextTable::mono, {.hu = "monó", .en = "mono"}},
    {&TextTable::stereo, {.hu = "sztereó", .en = "stereo"}},
    {&TextTable::converting, {.hu = "%1 átalakítása MP3-má…", .en = "Converting %1 to MP3…"}},
    {&TextTable::cancelButton, {.hu = "&Mégse", .en = "&Cancel"}},
    {&TextTable::changeCancelled,
     {.hu = "A Csere megszakadt: %2 választásból %1 a helyére került, %3 nem. A játék saját "
            "zenéjét a %4 gomb hozza vissza.",
      .en = "Change was cancelled: %1 of the %2 picks went in, %3 did not. The %4 button puts the "
            "game's own music back."}},
    {&TextTable::changeCancelledBeforeAny,
     {.hu = "A Csere megszakadt, mielőtt egy választás is a helyére került volna: a játék zenéje "
            "nem változott.",
      .en = "Change was cancelled before any pick went in: the game's music is as it was."}},
    {&TextTable::elevateQuestion,
     {.hu = "A Windows védi ezt a mappát. Elindítod a programot rendszergazdaként, hogy kicserélje "
            "a játék zenéjét?",
      .en = "Windows protects this folder. Start the program as administrator to change the game's "
            "music?"}},
    {&TextTable::handOverQuestion,
     {.hu = "Megváltoztatod a játék zenéjét rendszergazdaként ebben a mappában: %1?",
      .en = "Change the game's music in %1 as administrator?"}},
    {&TextTable::virtualStoreQuestion,
     {.hu = "A játék a program által írt fájlok helyett %1 fájlt játszik le, amelyet a Windows itt "
            "őriz neki: %2. Áthelyezed őket az eredeti zenék mappájába?",
      .en = "The game will play %1 file(s) that Windows keeps for it in %2 instead of the files "
            "this program writes. Move them into the originals folder?"}},
    {&TextTable::restoreSlot,
     {.hu = "A játék ere&detijének visszaállítása", .en = "Restore the game's &original"}},
    {&TextTable::clearSlot, {.hu = "Kiürí&tés", .en = "C&lear"}},
    {&TextTable::showInFolder, {.hu = "Me&gjelenítés a mappában", .en = "Show in &folder"}},
    {&TextTable::playPick, {.hu = "A választás le&játszása", .en = "Pla&y the pick"}},
    {&TextTable::playGameMusic,
     {.hu = "A játék &zenéjének lejátszása", .en = "Play the &game's music"}},
    {&TextTable::playOriginal, {.hu = "Az &eredeti lejátszása", .en = "Play the orig&inal"}},
    {&TextTable::stopPlaying, {.hu = "&Leállítás", .en = "&Stop"}},
    {&TextTable::noSoundOutput,
     {.hu = "Nem található hangkimeneti eszköz.", .en = "No sound output device was found."}},
    {&TextTable::cannotPlay, {.hu = "Nem játszható le: %1", .en = "Cannot be played: %1"}},
    {&TextTable::saveSet, {.hu = "Készlet &mentése…", .en = "&Save set…"}},
    {&TextTable::saveSetWithMusic,
     {.hu = "Készlet mentése a &zenékkel…", .en = "Save set &with its music…"}},
    {&TextTable::openSet, {.hu = "Készlet &betöltése…", .en = "&Open set…"}},
    {&TextTable::clearAllPicks, {.hu = "Minden választás &törlése", .en = "Clear &all picks"}},
    {&TextTable::setFilterName, {.hu = "Zenekészlet", .en = "Music set"}},
    {&TextTable::replacePicksQuestion,
     {.hu = "Lecseréled a kiválasztott zenéket a készletéire?",
      .en = "Replace the current picks with the set's?"}},
    {&TextTable::setProblems,
     {.hu = "A készlet ezen sorait a program kihagyta:\n%1",
      .en = "These lines of the set were passed over:\n%1"}},
    {&TextTable::copyingMusic, {.hu = "%1 másolása…", .en = "Copying %1…"}},
    {&TextTable::matchLoudness,
     {.hu = "A játék &hangerejéhez igazítás", .en = "Match the game's &loudness"}},
    {&TextTable::matchMp3Loudness,
     {.hu = "Az MP3 választások &igazítása is (veszteségmentesen, 1,5 dB-es lépésekben)",
      .en = "Match &MP3 picks too (lossless, in 1.5 dB steps)"}},
    {&TextTable::loudnessMeasuring,
     {.hu = "Hangerő: mérés folyamatban…", .en = "Loudness: being measured…"}},
    {&TextTable::loudnessOfSlot,
     {.hu = "%1 LUFS; a játék zenéje ezen a helyen %2 LUFS",
      .en = "%1 LUFS; the game's music of this slot %2 LUFS"}},
    {&TextTable::loudnessOfOtherSlots,
     {.hu = "%1 LUFS; a játék többi zenéje %2 LUFS (a mediánjuk)",
      .en = "%1 LUFS; the game's music of its other slots %2 LUFS (their median)"}},
    {&TextTable::gainQuieter,
     {.hu = "%1: a Csere %2 dB-lel halkítja", .en = "%1: Change makes it %2 dB quieter"}},
    {&TextTable::gainLouder,
     {.hu = "%1: a Csere %2 dB-lel hangosítja", .en = "%1: Change makes it %2 dB louder"}},
    {&TextTable::gainNone,
     {.hu = "%1: ugyanolyan hangos, a Csere nem változtat rajta",
      .en = "%1: as loud already, Change leaves it so"}},
    {&TextTable::gainHeldBack,
     {.hu = "%1 (%2 dB-lel kevésbé, mint amennyi kiegyenlítené: különben a csúcsai torzítanának)",
      .en = "%1 (%2 dB less than would match: its peaks would clip)"}},
    {&TextTable::copiedAsItIs,
     {.hu = "%1: változatlanul kerül a helyére, %2", .en = "%1: copied as it is, %2"}},
    {&TextTable::convertedAsItIs,
     {.hu = "%1: a Csere a hangerején nem változtat, %2",
      .en = "%1: converted with its loudness as it is, %2"}},
    {&TextTable::louderThanGame,
     {.hu = "%1 dB-lel hangosabb a játék zenéjénél", .en = "%1 dB louder than the game's music"}},
    {&TextTable::quieterThanGame,
     {.hu = "%1 dB-lel halkabb a játék zenéjénél", .en = "%1 dB quieter than the game's music"}},
    {&TextTable::asLoudAsGame,
     {.hu = "ugyanolyan hangos, mint a játék zenéje", .en = "as loud as the game's music"}},
    {&TextTable::loudnessNoReference,
     {.hu = "%1 LUFS; a játék zenéje ezen a helyen nem mérhető (a játékfájlt ez a program írta), "
            "ezért a hangereje változatlan marad",
      .en = "%1 LUFS; the game's music of this slot cannot be measured (the game file is this "
            "program's own), so its loudness is left as it is"}},
    {&TextTable::loudnessNoGameFile,
     {.hu = "%1 LUFS; a játék mappájában nincs fájl ehhez a helyhez, ezért a hangereje változatlan "
            "marad",
      .en =
          "%1 LUFS; the game folder holds no file of this slot, so its loudness is left as it is"}},
    {&TextTable::loudnessSilentReference,
     {.hu = "%1 LUFS; a játék zenéje ezen a helyen néma vagy 0,4 mp-nél rövidebb, ezért a "
            "hangereje változatlan marad",
      .en = "%1 LUFS; the game's music of this slot is silent or shorter than 0.4 s, so its "
            "loudness is left as it is"}},
    {&TextTable::loudnessSilentPick,
     {.hu = "Nincs mérhető hangereje (néma vagy 0,4 mp-nél rövidebb), ezért változatlan marad",
      .en = "No loudness to measure (silent or shorter than 0.4 s), so it is left as it is"}},
    {&TextTable::loudnessNotMeasured,
     {.hu = "A hangereje nem mérhető, ezért változatlan marad",
      .en = "Its loudness could not be measured, so it is left as it is"}},
    {&TextTable::loudnessFreeFormat,
     {.hu = "%1: szabad bitsebességű MP3, változatlanul kerül a helyére",
      .en = "%1: an MP3 of a free bit rate, copied as it is"}},
    {&TextTable::loudnessOtherLayer,
     {.hu = "%1: MPEG I. vagy II. rétegű hang, változatlanul kerül a helyére",
      .en = "%1: MPEG audio layer I or II, copied as it is"}},
    {&TextTable::reasonAccessDenied, {.hu = "Hozzáférés megtagadva", .en = "Access denied"}},
    {&TextTable::reasonReadOnly,
     {.hu = "A fájl vagy a lemez csak olvasható", .en = "The file or the disk is read-only"}},
    {&TextTable::reasonDiskFull, {.hu = "Megtelt a lemez", .en = "The disk is full"}},
    {&TextTable::reasonNotFound,
     {.hu = "A fájl vagy a mappa nem létezik", .en = "The file or folder does not exist"}},
    {&TextTable::reasonInUse,
     {.hu = "a fájlt egy másik program használja: zárd be a játékot, és próbáld újra",
      .en = "the file is in use: close the game and try again"}},
    {&TextTable::playingMark, {.hu = "lejátszás folyamatban", .en = "playing"}},
    {&TextTable::cannotPlayFile, {.hu = "%1 nem játszható le: %2", .en = "Cannot play %1: %2"}},
    {&TextTable::folderNotShown,
     {.hu = "A mappát nem sikerült fájlkezelőben megnyitni. Nyisd meg kézzel:",
      .en = "The folder could not be opened in a file manager. Open it by hand:"}},
    {&TextTable::clearAllQuestion,
     {.hu = "Törlöd az összes választást? (%1 fájl)", .en = "Clear all picks? (%1 files)"}},
    {&TextTable::cannotCopySetMusic,
     {.hu = "%1 nem másolható a készlet mellé: %2", .en = "Cannot copy %1 beside the set: %2"}},
    {&TextTable::cannotOpenSet,
     {.hu = "A(z) %1 készlet nem nyitható meg: %2", .en = "Cannot open the set %1: %2"}},
    {&TextTable::cannotSaveSet,
     {.hu = "A(z) %1 készlet nem menthető: %2", .en = "Cannot save the set %1: %2"}},
    {&TextTable::setMusicFolder, {.hu = "%1 fájljai", .en = "%1 files"}},
    {&TextTable::reasonSetTooLarge,
     {.hu = "nagyobb, mint amekkora egy zenekészlet lehet (1 MiB)",
      .en = "larger than a music set can be (1 MiB)"}},
    {&TextTable::reasonCannotOpen,
     {.hu = "a fájl nem nyitható meg", .en = "the file cannot be opened"}},
    {&TextTable::reasonEmptyFile, {.hu = "a fájl üres", .en = "the file is empty"}},
    {&TextTable::reasonNotMusic,
     {.hu = "nem olyan zenei formátum, amelyet a program olvas",
      .en = "not a music format this program reads"}},
    {&TextTable::reasonNoSound, {.hu = "nincs benne hang", .en = "no sound in it"}},
    {&TextTable::reasonUnknownSound,
     {.hu = "a hangja olyan formátumú, amelyet a program nem olvas",
      .en = "its sound is in a format this program does not read"}},
    {&TextTable::reasonOutOfMemory, {.hu = "elfogyott a memória", .en = "out of memory"}},
    {&TextTable::reasonReadFailed,
     {.hu = "a fájl nem olvasható", .en = "the file could not be read"}},
    {&TextTable::reasonDecodeFailed,
     {.hu = "a benne lévő zene nem dekódolható", .en = "the music in it could not be decoded"}},
    {&TextTable::reasonWriteFailed,
     {.hu = "a fájl nem írható", .en = "the file could not be written"}},
    {&TextTable::reasonSystemFault,
     {.hu = "a rendszer hibát jelzett", .en = "the system reported an error"}},
    {&TextTable::reasonEncoderFailed,
     {.hu = "az MP3 kódoló hibát jelzett", .en = "the MP3 encoder failed"}},
    {&TextTable::reasonMeterFailed,
     {.hu = "a hangerőmérő hibát jelzett", .en = "the loudness meter failed"}},
    {&TextTable::reasonNoLoudnessMeter,
     {.hu = "ez a változat nem mér hangerőt", .en = "this build measures no loudness"}},
    {&TextTable::reasonCancelled, {.hu = "megszakítva", .en = "cancelled"}},
    {&TextTable::reasonNoAudioPart,
     {.hu = "a program hangkezelő része nem tölthető be",
      .en = "the program's audio part cannot be loaded"}},
    {&TextTable::reasonMp3Only,
     {.hu = "ez a változat csak MP3 fájlt olvas", .en = "this build reads MP3 only"}},
    {&TextTable::reasonNoPlayback,
     {.hu = "ez a változat nem játszik le hangot", .en = "this build plays no sound"}},
    {&TextTable::reasonNoOutputDevice,
     {.hu = "nincs hangkimeneti eszköz", .en = "no sound output device"}},
    {&TextTable::reasonOutputNotOpened,
     {.hu = "a hangkimenet nem nyitható meg", .en = "the sound output could not be opened"}},
    {&TextTable::reasonOutputFailed,
     {.hu = "a hangkimenet leállt", .en = "the sound output stopped working"}},
    {&TextTable::setLine, {.hu = "%1. sor: %2", .en = "line %1: %2"}},
    {&TextTable::setUnknownSlot,
     {.hu = "a játéknak nincs ilyen nevű helye: %1", .en = "no slot of the game is named %1"}},
    {&TextTable::setNotALanguage, {.hu = "nem nyelvkód", .en = "not a language"}},
    {&TextTable::setNotALoudnessChoice,
     {.hu = "nem hangerő-beállítás", .en = "not a loudness choice"}},
    {&TextTable::setFileWithoutSlot,
     {.hu = "fájl, amelyhez nincs megadva hely", .en = "a file without a slot"}},
    {&TextTable::setNotAPlaylist, {.hu = "nem lejátszási lista", .en = "not a playlist"}},
    {&TextTable::lockNotTaken,
     {.hu = "Semmi sem változott: a(z) %1 zárolófájl, amely megakadályozza, hogy a program két "
            "példánya egyszerre módosítsa a játék zenéit, nem vehető használatba: %2.",
      .en = "Nothing was changed: the lock file %1, which keeps two copies of the program from "
            "changing the game's music at once, cannot be taken: %2."}},
    {&TextTable::reasonFolderInPlace,
     {.hu = "a helyén egy mappa van", .en = "a folder is in its place"}},
    {&TextTable::reasonLinkInPlace,
     {.hu = "a helyén egy hivatkozás (link) van", .en = "a link is in its place"}},
    {&TextTable::originalsFolderIsLink,
     {.hu = "Semmi sem változott: a játék megőrzött eredeti zenéinek mappája (%1) hivatkozás "
            "(link). A program csak a saját mappájában őrzi az eredeti zenéket; töröld a "
            "hivatkozást, és próbáld újra.",
      .en = "Nothing was changed: the folder of the game's kept original music, %1, is a link. The "
            "program keeps the originals only in a folder of its own; remove the link and try "
            "again."}},
    {&TextTable::originalsFolderIsGameFolder,
     {.hu = "Semmi sem változott: a játék megőrzött eredeti zenéinek mappája (%1) maga a játék "
            "zenéinek mappája.",
      .en = "Nothing was changed: the folder of the game's kept original music, %1, is the game "
            "music folder itself."}},
    {&TextTable::originalsRecordUnreadable,
     {.hu = "Semmi sem változott: a program nyilvántartása a játék megőrzött eredeti zenéiről (%1) "
            "nem olvasható: %2.",
      .en = "Nothing was changed: the program's record of the game's kept original music, %1, "
            "cannot be read: %2."}},
    {&TextTable::gainHeldBackByMp3Range,
     {.hu = "%1 (%2 dB-lel kevésbé, mint amennyi kiegyenlítené: az MP3 saját erősítése ennél "
            "tovább nem állítható)",
      .en = "%1 (%2 dB short of a match: the MP3's own gain goes no further)"}},
    {&TextTable::loudnessAboveLowpass,
     {.hu = "%1, de a hangereje nagyobb része %2 kHz fölött szól, amit ennek a helynek a formátuma "
            "nem őriz meg: halkabb lesz a játék zenéjénél",
      .en = "%1, but most of its loudness lies above %2 kHz, which this slot's format leaves out: "
            "it will sound quieter than the game's music"}},
    {&TextTable::reasonFitNegative,
     {.hu = "az illesztés egyik értéke negatív", .en = "a value of the fit is negative"}},
    {&TextTable::reasonFitEndBeforeStart,
     {.hu = "az illesztés vége nem a kezdete után van", .en = "the fit ends before it starts"}},
    {&TextTable::reasonFitPastEnd,
     {.hu = "az illesztés túlnyúlik a zene végén",
      .en = "the fit reaches past the end of the music"}},
    {&TextTable::reasonFitFadesTooLong,
     {.hu = "a felúsztatás és a leúsztatás együtt hosszabb, mint a megtartott rész",
      .en = "the fade-in and the fade-out together are longer than the part kept"}},
    {&TextTable::reasonFitCrossfadeTooLong,
     {.hu = "az illesztés áttűnése hosszabb 50 ms-nál, vagy nincs előtte elég zene",
      .en = "the fit's crossfade is longer than 50 ms or has too little music before it"}},
    {&TextTable::setImpossibleFit,
     {.hu = "az illesztés nem használható: %1", .en = "the fit cannot be used: %1"}},
    {&TextTable::setFitWithoutSlot,
     {.hu = "illesztés, amelyhez nincs megadva hely", .en = "a fit without a slot"}},
    {&TextTable::setNotAFit, {.hu = "nem illesztés", .en = "not a fit"}},
    {&TextTable::silenceLeftOutBoth,
     {.hu = "Az elején %1 s és a végén %2 s csend kimarad",
      .en = "%1 s of silence at the start and %2 s at the end are left out"}},
    {&TextTable::silenceLeftOutStart,
     {.hu = "Az elején %1 s csend kimarad", .en = "%1 s of silence at the start is left out"}},
    {&TextTable::silenceLeftOutEnd,
     {.hu = "A végén %1 s csend kimarad", .en = "%1 s of silence at the end is left out"}},
    {&TextTable::fittedMp3Converted,
     {.hu = "Illesztett MP3: a Csere a hely formátumára alakítja, és a hangerejét úgy egyenlíti "
            "ki, mint az átalakított zenékét",
      .en = "Fitted MP3: Change converts it to the slot's format and matches its loudness as it "
            "does for converted music"}},
    {&TextTable::slotRoleJingle,
     {.hu = "A játék zenéje ezen a helyen %1 s hosszú szignál, amelyet a játék egyszer játszik le",
      .en = "The game's music of this slot is a jingle of %1 s, played once"}},
    {&TextTable::slotRoleLoop,
     {.hu = "A játék zenéje ezen a helyen %1 s hosszú, és a játék ismételve játssza",
      .en = "The game's music of this slot lasts %1 s and is looped"}},
    {&TextTable::fitMenuEntry, {.hu = "&Illesztés a játékhoz…", .en = "Fit to the ga&me…"}},
    {&TextTable::fitNeedsAudio,
     {.hu = "Az illesztéshez a program hangkezelő része kell, de nincs meg",
      .en = "Fitting needs the program's audio part, which is not there"}},
    {&TextTable::fitPickUnreadable,
     {.hu = "A választott zene nem olvasható, ezért nem illeszthető",
      .en = "The pick cannot be read, so it cannot be fitted"}},
    {&TextTable::fitToolTip,
     {.hu = "Illesztve: %1 – %2, felúsztatás %3 s, leúsztatás %4 s",
      .en = "Fitted: %1 to %2, fade-in %3 s, fade-out %4 s"}},
    {&TextTable::fitWindowTitle, {.hu = "Illesztés a játékhoz: %1", .en = "Fit to the game: %1"}},
    {&TextTable::fitWaveform, {.hu = "Hullámforma", .en = "Waveform"}},
    {&TextTable::fitWaveformValue, {.hu = "Kezdet %1, vég %2", .en = "Start %1, end %2"}},
    {&TextTable::fitReading, {.hu = "A zene beolvasása…", .en = "Reading the music…"}},
    {&TextTable::fitGameLength, {.hu = "A játék hossza", .en = "Game's length"}},
    {&TextTable::fitGameLengthDescription,
     {.hu = "A játék saját zenéje %1 hosszú; a szaggatott vonal (%2) ezt a hosszt a kezdet "
            "jelzőjétől méri, mert a kiírt zene ott kezdődik",
      .en = "The game's own music lasts %1; the dashed line (%2) measures that length from the "
            "start marker, where the written music begins"}},
    {&TextTable::fitStartLabel, {.hu = "&Kezdet (s):", .en = "S&tart (s):"}},
    {&TextTable::fitEndLabel, {.hu = "&Vég (s):", .en = "E&nd (s):"}},
    {&TextTable::fitFadeInLabel, {.hu = "&Felúsztatás (s):", .en = "Fade &in (s):"}},
    {&TextTable::fitFadeOutLabel, {.hu = "Leú&sztatás (s):", .en = "Fade o&ut (s):"}},
    {&TextTable::fitStartName, {.hu = "Kezdet", .en = "Start"}},
    {&TextTable::fitEndName, {.hu = "Vég", .en = "End"}},
    {&TextTable::fitFadeInName, {.hu = "Felúsztatás", .en = "Fade in"}},
    {&TextTable::fitFadeOutName, {.hu = "Leúsztatás", .en = "Fade out"}},
    {&TextTable::fitPlay, {.hu = "&Lejátszás", .en = "&Play"}},
    {&TextTable::fitPlaySeam, {.hu = "A &csatlakozás meghallgatása", .en = "Play the s&eam"}},
    {&TextTable::fitStop, {.hu = "Leállí&tás", .en = "&Stop"}},
    {&TextTable::fitFindLoop, {.hu = "&Ismétlődés keresése", .en = "&Find a loop"}},
    {&TextTable::fitToGameLength, {.hu = "A játék &hosszára", .en = "Fit to the game's &length"}},
    {&TextTable::fitReset, {.hu = "&Alaphelyzet", .en = "&Reset"}},
    {&TextTable::fitLoopJingle,
     {.hu = "A játék ezt a zenét egyszer játssza le: nincs mit ismételni",
      .en = "The game plays this music once: there is nothing to loop"}},
    {&TextTable::fitLoopSearching, {.hu = "Ismétlődés keresése…", .en = "Looking for a loop…"}},
    {&TextTable::fitLoopFound,
     {.hu = "Ismétlődés: %1 – %2 (%3/%4)", .en = "Loop %1 to %2, %3 of %4"}},
    {&TextTable::fitLoopNone,
     {.hu = "Nem található ismétlődés: a zenének nincs egyenletes üteme, vagy nincs jól ismétlődő "
            "része",
      .en = "No loop found: the music has no steady beat or no part that repeats well"}},
    {&TextTable::gainShortOfFormat,
     {.hu = "%1 (megírva %2 dB-lel halkabb, mint amennyi kiegyenlítené: ennek a helynek a "
            "formátuma nem őrzi meg minden hangját)",
      .en = "%1 (written, it measures %2 dB short of a match: the slot's format does not carry all "
            "of its sound)"}},
    {&TextTable::jinglePlaysOnlyPart,
     {.hu = "A játék ebből csak %1 s-ot játszik le, az elejét. Hogy melyik részét halld, azt a "
            "hely menüjében az „%2” ablak „%3” gombjával választhatod ki",
      .en = "The game plays only %1 s of it, from its start. To choose which part it plays, use "
            "“%3” in the slot menu's “%2”"}},
    {&TextTable::reopenLastPicks,
     {.hu = "Legutóbbi választások &visszahozása", .en = "&Reopen last picks"}},
    {&TextTable::lastPicksNote,
     {.hu = "A választások törlődtek. A helyeken kívül jobb gombbal megnyíló menü „%1” pontja "
            "visszahozhatja őket.",
      .en = "The picks were cleared. “%1”, in the menu a right-click outside the slots opens, can "
            "bring them back."}},
    {&TextTable::changeStoppedAtPick,
     {.hu = "A helyre választott %1 fájlt nem sikerült átmásolni: %2.",
      .en = "The file picked for this slot, %1, could not be copied: %2."}},
    {&TextTable::changeStoppedAtGameFile,
     {.hu = "A játék %1 nevű fájlját nem sikerült lecserélni: %2.",
      .en = "The game's file %1 could not be replaced: %2."}},
    {&TextTable::pickNoLongerThere, {.hu = "már nem található", .en = "it is no longer there"}},
    {&TextTable::pickNotThere, {.hu = "nem található", .en = "it is not there"}},
    {&TextTable::changePicksInNone,
     {.hu = "Mielőtt a Csere megállt, egy választás sem került a helyére.",
      .en = "No pick went in before Change stopped."}},
    {&TextTable::changePicksInOne,
     {.hu = "Mielőtt a Csere megállt, 1 választás került a helyére.",
      .en = "1 pick went in before Change stopped."}},
    {&TextTable::changePicksInMany,
     {.hu = "Mielőtt a Csere megállt, %1 választás került a helyére.",
      .en = "%1 picks went in before Change stopped."}},
    {&TextTable::changeNotTriedOne,
     {.hu = "Ennek a helynek a választása nem került sorra: %1.",
      .en = "The pick of this slot was not tried: %1."}},
    {&TextTable::changeNotTriedMany,
     {.hu = "Ezeknek a helyeknek a választásai nem kerültek sorra: %1.",
      .en = "The picks of these slots were not tried: %1."}},
    {&TextTable::slotNotTried,
     {.hu = "A Csere e hely előtt megállt: ez a választás nem került sorra.",
      .en = "Change stopped before this slot: its pick was not tried."}},
    {&TextTable::changeLeftOne,
     {.hu = "Ez a hely változatlan maradt: %1.", .en = "This slot was left as it was: %1."}},
    {&TextTable::changeLeftMany,
     {.hu = "Ezek a helyek változatlanok maradtak: %1.",
      .en = "These slots were left as they were: %1."}},
    {&TextTable::changeOthersOne,
     {.hu = "Lecseréled a többi zenét, és ezt a helyet úgy hagyod, ahogy van?",
      .en = "Change the others and leave this slot as it is?"}},
    {&TextTable::changeOthersMany,
     {.hu = "Lecseréled a többi zenét, és ezeket a helyeket úgy hagyod, ahogy vannak?",
      .en = "Change the others and leave these slots as they are?"}},
    {&TextTable::cutShortLeft,
     {.hu = "Egy megszakadt írás csonkán hagyta ezeket a játékfájlokat, és nem sikerült újra "
            "egésszé tenni őket, ezért úgy maradtak, ahogy voltak:",
      .en = "An interrupted write left these game files cut short, and they could not be made "
            "whole again, so they were left as they were:"}},
    {&TextTable::fitWaveformKeys,
     {.hu = "A %1 billentyű a kezdet, a %2 a vég jelzőjét választja; a bal és a jobb nyíl "
            "0,01 s-mal, Shifttel 1 s-mal mozgatja; a + és a - nagyít és kicsinyít",
      .en = "%1 chooses the start marker and %2 the end marker; the left and right arrows move "
            "it by 0.01 s, with Shift by 1 s; + and - zoom in and out"}},
    {&TextTable::fitLoopTurn, {.hu = "Vissza a kezdetre (%1)", .en = "Back to the start (%1)"}},
    {&TextTable::fitLoopDescription,
     {.hu = "A játék a jelzők közti %1 hosszú részt ismétli: a vég jelzője után a kezdetére "
            "ugrik vissza",
      .en = "The game loops the %1 between the markers: after the end marker it goes back to "
            "the start marker"}},
    {&TextTable::fitLoopHandSet,
     {.hu = "Ismétlődés: %1 – %2, kézzel beállítva, áttűnés nélkül",
      .en = "Loop %1 to %2, set by hand, no crossfade"}},
    {&TextTable::fitLoopKept,
     {.hu = "Ismétlődés: %1 – %2, megtalált, áttűnés %3 ms",
      .en = "Loop %1 to %2, found, crossfade %3 ms"}},
    {&TextTable::fitToolTipLoop,
     {.hu = "Illesztve ismétlődésként: %1 – %2, áttűnés %3 ms",
      .en = "Fitted as a loop: %1 to %2, crossfade %3 ms"}},
    {&TextTable::fitGameLengthLoopSlot,
     {.hu = "A játék ismételve játssza ennek a helynek a zenéjét: ehhez az Ismétlődés keresése "
            "vagy a jelzők valók",
      .en = "The game loops this slot's music: Find a loop or the markers fit it"}},
    {&TextTable::fitGameLengthUnknown,
     {.hu = "A játék saját zenéje ezen a helyen nem ismert",
      .en = "The game's own music of this slot is not known"}},
    {&TextTable::fitZoomIn, {.hu = "Nagyítás", .en = "Zoom in"}},
    {&TextTable::fitZoomOut, {.hu = "Kicsinyítés", .en = "Zoom out"}},
    {&TextTable::fitSeamView,
     {.hu = "A csatlakozás: a vég előtti 0,5 s, majd a kezdet utáni 0,5 s",
      .en = "The seam: 0.5 s before the end, then 0.5 s after the start"}},
    {&TextTable::gainHeldBackQuieter,
     {.hu = "%1 (%2 dB-lel jobban, mint amennyi kiegyenlítené: különben a csúcsai torzítanának)",
      .en = "%1 (%2 dB more than a match: otherwise its peaks would clip)"}},
    {&TextTable::gainHeldBackPastLimit,
     {.hu = "%1 (a kiegyenlítéshez %2 dB-lel hangosítani kellene, de a csúcsai már így is túl "
            "magasak)",
      .en = "%1 (a match would make it %2 dB louder, but its peaks are already too high)"}},
    {&TextTable::gainKept,
     {.hu = "%1: a Csere a hangerején nem változtat",
      .en = "%1: Change leaves its loudness as it is"}},
    {&TextTable::waitingForOtherCopy,
     {.hu = "Várakozás a program másik példányára…",
      .en = "Waiting for another copy of the program…"}},
    {&TextTable::setMusicMissingOne,
     {.hu = "A(z) %1 már nincs meg, így a zenéje nem menthető a készlet mellé. Mented a készletet "
            "nélküle, a többi választás zenéjével?",
      .en = "%1 is no longer there, so its music cannot be saved with the set. Save the set "
            "without it, with the music of the other picks?"}},
    {&TextTable::setMusicMissingMany,
     {.hu = "Ezek a fájlok már nincsenek meg, így a zenéjük nem menthető a készlet mellé: %1. "
            "Mented a készletet nélkülük, a többi választás zenéjével?",
      .en = "These files are no longer there, so their music cannot be saved with the set: %1. "
            "Save the set without them, with the music of the other picks?"}},
    {&TextTable::pickCutShort,
     {.hu = "Csonka fájl: a zene %1-kor véget ér, pedig a fájl szerint %2 hosszú",
      .en = "Cut short: the music ends at %1 of %2"}},
    {&TextTable::gainWrittenLouder,
     {.hu = "%1 (megírva %2 LUFS lett)", .en = "%1 (written, it measures %2 LUFS)"}},
};

// Every text of the table has exactly one entry: as many entries as TextTable has texts (its
// members after the option's state), and none of them twice.
constexpr bool eachTextOnce()
{
    constexpr std::size_t texts =
        (sizeof(TextTable) - offsetof(TextTable, browse)) / sizeof(const char *);
    if (std::size(entries) != texts)
        return false;
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        for (std::size_t j = i + 1; j < std::size(entries); ++j) {
            if (entries[i].text == entries[j].text)
                return false;
        }
    }
    return true;
}
static_assert(eachTextOnce(), "every text of TextTable needs exactly one entry");

constexpr TextTable tableIn(Language language)
{
    TextTable table{};
    table.hungarianOptionSelected = language == Language::Hungarian;
    for (const Entry &entry : entries)
        table.*entry.text = language == Language::Hungarian ? entry.words.hu : entry.words.en;
    return table;
}

constexpr TextTable hungarian = tableIn(Language::Hungarian);
constexpr TextTable english = tableIn(Language::English);

} // namespace

const TextTable &TextTable::forLanguage(std::uint8_t code)
{
    return languageFromCode(code) == Language::Hungarian ? hungarian : english;
}
