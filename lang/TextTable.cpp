// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextTable.h"

namespace {

// The author's name: nickname, then the full name between slashes, family name first in
// Hungarian and given name first in English.
constexpr TextTable hungarian{
    true,
    "Tallózás...",
    "&Első oldal",
    "&Második oldal",
    "&Csere",
    "&Visszaállítás",
    "&Névjegy",
    "&Beállítások",
    "&Kilépés",
    "&Rendben",
    "&Mégse",
    "Kérlek add meg a Valdrune elérési útját",
    "Nyelv:",
    "Verziószám ",
    "A Zellerin Software Corporation 2000 ezen programjával könnyen kicserélhetőek a "
    "Valdrune 3: The Quorvath című játék MP3 fájljai. A progit nem teszteltük a VLDR3-on "
    "illetve a VLDR3: The Brennix de minden valószínűség szerint azokkal is működik. (Egyes "
    "hangfájlok ezen verziókon még nem léteztek)",
    "",
    "Készítette: Hangmester /Példa Elek/",
    "A játék zenéinek mappája",
    "Mappák",
    "Meghajtók",
    "A beállítások nem írhatók ide: %1: %2",
    "a mappa neve olyan betűt tartalmaz, amelyet a rendszer kódlapja nem tud tárolni",
    "a mappa neve idézőjelet vagy sortörést tartalmaz, vagy túl hosszú, ezért a beállítási fájl "
    "nem tudja tárolni",
    "a mentett fájl nem olvasható vissza",
    "Visszaállítod a játék eredeti zenéjét? (%1 fájl)",
    "Visszaállítod a játék eredeti zenéjét? (1 fájl)",
    "%1 fájl visszaállítva.",
    "1 fájl visszaállítva.",
    "Ebben a mappában nincs a játék zenefájljai közül egy sem: %1. Mégis oda másoljam a zenét?",
    "OK",
    "&Igen",
    "&Nem",
    "Zene",
    "%1, %2 kHz, %3, %4: a Csere MP3-má alakítja",
    "%1, %2 kHz, %3, %4: változatlanul kerül a helyére",
    "%1, %2 kHz: a játék saját fájlja ennél a helynél %3 kHz-es",
    "Nem olyan zene, amelyet a program be tud olvasni: %1",
    "monó",
    "sztereó",
    "%1 átalakítása MP3-má…",
    "&Mégse",
    "A Windows védi ezt a mappát. Elindítod a programot rendszergazdaként, hogy kicserélje a játék "
    "zenéjét?",
    "A játék a program által írt fájlok helyett %1 fájlt játszik le, amelyet a Windows itt őriz "
    "neki: %2. Áthelyezed őket az eredeti zenék mappájába?",
    "A játék eredetijének &visszaállítása",
    "&Kiürítés",
    "Megjelenítés a &mappában",
    "Készlet &mentése…",
    "Készlet mentése a &zenékkel…",
    "Készlet &betöltése…",
    "Minden választás &törlése",
    "Zenekészlet",
    "Lecseréled a kiválasztott zenéket a készletéire?",
    "A készlet ezen sorait a program kihagyta:\n%1",
    "%1 másolása…",
    "Hozzáférés megtagadva",
    "A fájl vagy a lemez csak olvasható",
    "Megtelt a lemez",
    "A fájl vagy a mappa nem létezik",
    "Egy másik program használja a fájlt",
};

constexpr TextTable english{
    false,
    "Open...",
    "&1st Page",
    "&2nd Page",
    "&Change",
    "&Default",
    "&About",
    "&Options",
    "&Exit",
    "&OK",
    "&Cancel",
    "Please set the Path of the VLDR3",
    "Language:",
    "Version ",
    "With this product of Zellerin Software Corporation 2000 you can change easily the MP3s "
    "of Valdrune 3. This version was write for VLDR3: Quorvath, but probably it is "
    "compatible with The Brennix and The Ostrelin. (Some soundfiles wasn't be in this "
    "versions)",
    "",
    "Created by: Hangmester /Elek Példa/",
    "The game's music folder",
    "Folders",
    "Drives",
    "Cannot write %1: %2",
    "the folder name has letters that the system code page cannot store",
    "the folder name has a double quote or a line break, or is too long, which the settings file "
    "cannot store",
    "the saved file cannot be read back",
    "Restore the game's original music? (%1 files)",
    "Restore the game's original music? (1 file)",
    "%1 files restored.",
    "1 file restored.",
    "This folder holds none of the game's music files: %1. Copy the music there anyway?",
    "OK",
    "&Yes",
    "&No",
    "Music",
    "%1, %2 kHz, %3, %4: converted to MP3 at Change",
    "%1, %2 kHz, %3, %4: copied as it is",
    "%1, %2 kHz: the game's own file of this slot is %3 kHz",
    "Not music this program can read: %1",
    "mono",
    "stereo",
    "Converting %1 to MP3…",
    "&Cancel",
    "Windows protects this folder. Start the program as administrator to change the game's music?",
    "The game will play %1 file(s) that Windows keeps for it in %2 instead of the files this "
    "program writes. Move them into the originals folder?",
    "Restore the game's &original",
    "C&lear",
    "Show in &folder",
    "&Save set…",
    "Save set &with its music…",
    "&Open set…",
    "Clear &all picks",
    "Music set",
    "Replace the current picks with the set's?",
    "These lines of the set were passed over:\n%1",
    "Copying %1…",
    "Access denied",
    "The file or the disk is read-only",
    "The disk is full",
    "The file or folder does not exist",
    "Another program is using the file",
};

} // namespace

const TextTable &TextTable::forLanguage(std::uint8_t code)
{
    return code == 1 ? hungarian : english;
}
