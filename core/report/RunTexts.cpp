// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/RunTexts.h"

#include "Language.h"

namespace core {

namespace {

constexpr RunTexts hungarianTexts{
    .placeholder = "Kérlek nyiss meg egy MP3 fájlt!",
    .notFoundPrefix = "Rossz fájlnevet vagy elérési utat adtál meg a ",
    .notFoundSuffix = ".mp3 nevű fájlnál",
    .failurePrefix = "Hiba lépet fel a ",
    .failureSuffix = ".mp3 nevű fájl cseréjekor, a hiba kódja: ",
    .noMusicFolder = "Előbb add meg a játék zenéinek mappáját a Beállításokban!",
    .notMusicPrefix = "A ",
    .notMusicSuffix = ".mp3 helyére választott fájl nem használható: ",
    .picksRefused = "Semmi sem változott, mert ezek a választott fájlok nem használhatók:",
    .audioMissingPrefix = "hiányzik a program hangkezelő része (itt kereste: ",
    .audioMissingSuffix = ")",
    .reasonAccessDenied = "Hozzáférés megtagadva",
    .reasonReadOnly = "A fájl vagy a lemez csak olvasható",
    .reasonDiskFull = "Megtelt a lemez",
    .reasonNotFound = "A fájl vagy a mappa nem létezik",
    .reasonInUse = "Egy másik program használja a fájlt",
    .anotherCopyIsChanging = "A program egy másik példánya éppen ezt a mappát módosítja.",
    .restoreLeftAlone = "Ezekhez a fájlokhoz a program nem nyúlt:",
    .leftAloneChangedSince =
        "megváltozott, mióta a program írta; az eredetije a Superseded mappába került",
    .leftAloneNoRecord =
        "a program feljegyzése arról, mit írt oda, sérült vagy hiányzik; az eredetije a helyén "
        "maradt",
    .leftAloneUnreadable = "nem olvasható: ",
    .leftAloneLost =
        "az eredetije elveszett: egy másik program felülírta a játék fájlját, amíg a program az "
        "eredetit ugyanennek a fájlnak egy második nevén őrizte",
    .picksRefusedOne = "Semmi sem változott, mert ez a választott fájl nem használható:",
};

constexpr RunTexts englishTexts{
    .placeholder = "Please open a MP3 file!",
    .notFoundPrefix = "Bad filename or path at ",
    .notFoundSuffix = ".mp3",
    .failurePrefix = "There was a fault during the copying at",
    .failureSuffix = ".mp3. The error code is: ",
    .noMusicFolder = "Please set the game music folder in the Options first!",
    .notMusicPrefix = "The file picked for ",
    .notMusicSuffix = ".mp3 cannot be used: ",
    .picksRefused = "Nothing was changed, because these picks cannot be used:",
    .audioMissingPrefix = "the program's audio part is missing (it was looked for at ",
    .audioMissingSuffix = ")",
    .reasonAccessDenied = "Access denied",
    .reasonReadOnly = "The file or the disk is read-only",
    .reasonDiskFull = "The disk is full",
    .reasonNotFound = "The file or folder does not exist",
    .reasonInUse = "Another program is using the file",
    .anotherCopyIsChanging = "Another copy of the program is changing this folder.",
    .restoreLeftAlone = "These files were left as they are:",
    .leftAloneChangedSince =
        "it changed since this program wrote it; its original was moved to Superseded",
    .leftAloneNoRecord =
        "the program's record of what it wrote there is damaged or missing; its original stays "
        "where it is",
    .leftAloneUnreadable = "it could not be read: ",
    .leftAloneLost =
        "its original was lost: another program wrote over the game file while this program kept "
        "the original under a second name of that file",
    .picksRefusedOne = "Nothing was changed, because this pick cannot be used:",
};

} // namespace

const RunTexts &RunTexts::forLanguage(std::uint8_t language)
{
    return languageFromCode(language) == Language::Hungarian ? hungarianTexts : englishTexts;
}

} // namespace core
