// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/RunTexts.h"

#include "Language.h"

namespace core {

namespace {

constexpr RunTexts hungarianTexts{
    "Kérlek nyiss meg egy MP3 fájlt!",
    "Rossz fájlnevet vagy elérési utat adtál meg a ",
    ".mp3 nevű fájlnál",
    "Hiba lépet fel a ",
    ".mp3 nevű fájl cseréjekor, a hiba kódja: ",
    "Előbb add meg a játék zenéinek mappáját a Beállításokban!",
    "A ",
    ".mp3 helyére választott fájl nem használható: ",
    "Semmi sem változott, mert ezek a választott fájlok nem használhatók:",
    "hiányzik a program hangkezelő része (itt kereste: ",
    ")",
    "Hozzáférés megtagadva",
    "A fájl vagy a lemez csak olvasható",
    "Megtelt a lemez",
    "A fájl vagy a mappa nem létezik",
    "Egy másik program használja a fájlt",
    "A program egy másik példánya éppen ezt a mappát módosítja.",
    "Ezekhez a fájlokhoz a program nem nyúlt:",
    "megváltozott, mióta a program írta; az eredetije a Superseded mappába került",
    "a program feljegyzése arról, mit írt oda, sérült vagy hiányzik; az eredetije a helyén "
    "maradt",
    "nem olvasható: ",
    "az eredetije elveszett: egy másik program felülírta a játék fájlját, amíg a program az "
    "eredetit ugyanennek a fájlnak egy második nevén őrizte",
    "Semmi sem változott, mert ez a választott fájl nem használható:",
};

constexpr RunTexts englishTexts{
    "Please open a MP3 file!",
    "Bad filename or path at ",
    ".mp3",
    "There was a fault during the copying at",
    ".mp3. The error code is: ",
    "Please set the game music folder in the Options first!",
    "The file picked for ",
    ".mp3 cannot be used: ",
    "Nothing was changed, because these picks cannot be used:",
    "the program's audio part is missing (it was looked for at ",
    ")",
    "Access denied",
    "The file or the disk is read-only",
    "The disk is full",
    "The file or folder does not exist",
    "Another program is using the file",
    "Another copy of the program is changing this folder.",
    "These files were left as they are:",
    "it changed since this program wrote it; its original was moved to Superseded",
    "the program's record of what it wrote there is damaged or missing; its original stays "
    "where it is",
    "it could not be read: ",
    "its original was lost: another program wrote over the game file while this program kept "
    "the original under a second name of that file",
    "Nothing was changed, because this pick cannot be used:",
};

} // namespace

const RunTexts &RunTexts::forLanguage(std::uint8_t language)
{
    return languageFromCode(language) == Language::Hungarian ? hungarianTexts : englishTexts;
}

} // namespace core
