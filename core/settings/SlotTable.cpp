// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SlotTable.h"

#include <stdexcept>

namespace core {

namespace {

constexpr int firstSlotOfPage2 = 24;
constexpr int rowsPerColumn = 8;

constexpr std::array<MusicSlot, slotCount> musicSlots{{
    {"Castle", "Castle Town's sound", "CstleTown.mp3"},
    {"Inferno", "Inferno Town's sound", "InfernoTown.mp3"},
    {"Rampart", "Rampart Town's sound", "Rampart.mp3"},
    {"Stronghold", "Stronghold Town's sound", "StrongHold.mp3"},
    {"Necropolis", "Necropolis Town's sound", "necroTown.mp3"},
    {"Fortress", "Fortress  Town's sound", "FortressTown.mp3"},
    {"Dungeon", "Dungeon Town's sound", "Dungeon.mp3"},
    {"Tower", "Tower Town's sound", "TowerTown.mp3"},
    {"Conflux", "Conflux Town's sound only when BX was installed", "ElemTown.mp3"},
    {"Dirt", "Dirt type terrain sound", "Dirt.mp3"},
    {"Grass", "Grass type terrain sound", "Grass.mp3"},
    {"Lava", "Lava type terrain sound", "Lava.mp3"},
    {"Rough", "Rough type terrain sound", "Rough.mp3"},
    {"Sand", "Sand type terrain sound", "Sand.mp3"},
    {"Snow", "Snow type terrain sound", "Snow.mp3"},
    {"Swamp", "Swamp type terrain sound", "Swamp.mp3"},
    {"Underground", "Undergrond's sound", "UnderGround.mp3"},
    {"Water", "Water's sound", "Water.mp3"},
    {"Good Theme", "Theme of the Castle, Rampart and Tower Towns", "GoodTheme.mp3"},
    {"Neutral Theme", "Theme of the Stronghold and Fortress Towns", "NeutralTheme.mp3"},
    {"Evil Theme", "Theme of the Inferno, Necropolis and Dungeon Towns", "EvilTheme.mp3"},
    {"Secret Theme", "", "SecretTheme.mp3"},
    {"Combat 1", "", "Combat01.mp3"},
    {"Combat 2", "", "Combat02.mp3"},
    {"Combat 3", "", "Combat03.mp3"},
    {"Combat 4", "", "Combat04.mp3"},
    {"Looplepr", "", "Looplepr.mp3"},
    {"Defend Castle", "", "Defend Castle.mp3"},
    {"Lose Campain", "", "Lose Campain.mp3"},
    {"Lose Castle", "", "LoseCastle.mp3"},
    {"Lose Combat", "", "LoseCombat.mp3"},
    {"Retreat Battle", "", "Retreat Battle.mp3"},
    {"Surrender Battle", "", "Surrender Battle.mp3"},
    {"Win Battle", "", "Win Battle.mp3"},
    {"Win Scenario", "", "Win Scenario.mp3"},
    {"Main Menu", "", "MainMenu.mp3"},
    {"Aitheme0", "", "AITheme0.mp3"},
    {"Aitheme1", "", "aitheme1.mp3"},
    {"Aitheme2", "", "aitheme2.mp3"},
    {"Ultimate Lose", "", "UltimateLose.mp3"},
}};

void checkIndex(int index)
{
    if (index < 0 || index >= slotCount)
        throw std::out_of_range("music slot index " + std::to_string(index) + " is not 0..39");
}

} // namespace

SlotTable::SlotTable()
{
    for (int i = 0; i < slotCount; ++i)
        targetFileNames_[i] = std::string(musicSlots[i].targetFileName);
}

const std::string &SlotTable::targetFileName(int index) const
{
    checkIndex(index);
    return targetFileNames_[index];
}

const MusicSlot &SlotTable::slot(int index)
{
    checkIndex(index);
    return musicSlots[index];
}

SlotPlace SlotTable::place(int index)
{
    checkIndex(index);
    const bool onPage2 = index >= firstSlotOfPage2;
    const int j = onPage2 ? index - firstSlotOfPage2 : index;
    return {onPage2 ? 2 : 1, j / rowsPerColumn, j % rowsPerColumn};
}

} // namespace core
