// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SlotTable.h"

#include <QSet>
#include <QTest>

using core::SlotTable;

class TestSlotTable : public QObject
{
    Q_OBJECT

  private slots:
    void entries_data();
    void entries();
    void placeFollowsIndex_data();
    void placeFollowsIndex();
    void wholeTableIsConsistent();
    void indexOutsideTableIsRefused();
};

void TestSlotTable::entries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("target");

    QTest::newRow("first") << 0 << "Castle"
                           << "Castle Town's sound"
                           << "CstleTown.mp3";
    QTest::newRow("lower-case start") << 4 << "Necropolis"
                                      << "Necropolis Town's sound"
                                      << "necroTown.mp3";
    QTest::newRow("two blanks kept") << 5 << "Fortress"
                                     << "Fortress  Town's sound"
                                     << "FortressTown.mp3";
    QTest::newRow("conflux") << 8 << "Conflux"
                             << "Conflux Town's sound only when BX was installed"
                             << "ElemTown.mp3";
    QTest::newRow("spelling kept") << 16 << "Underground"
                                   << "Undergrond's sound"
                                   << "UnderGround.mp3";
    QTest::newRow("first without tooltip") << 21 << "Secret Theme"
                                           << ""
                                           << "SecretTheme.mp3";
    QTest::newRow("last of page 1") << 23 << "Combat 2"
                                    << ""
                                    << "Combat02.mp3";
    QTest::newRow("first of page 2") << 24 << "Combat 3"
                                     << ""
                                     << "Combat03.mp3";
    QTest::newRow("blank in name") << 27 << "Defend Castle"
                                   << ""
                                   << "Defend Castle.mp3";
    QTest::newRow("misspelt name kept") << 28 << "Lose Campain"
                                        << ""
                                        << "Lose Campain.mp3";
    QTest::newRow("label differs") << 29 << "Lose Castle"
                                   << ""
                                   << "LoseCastle.mp3";
    QTest::newRow("capitals differ") << 36 << "Aitheme0"
                                     << ""
                                     << "AITheme0.mp3";
    QTest::newRow("all lower case") << 37 << "Aitheme1"
                                    << ""
                                    << "aitheme1.mp3";
    QTest::newRow("last") << 39 << "Ultimate Lose"
                          << ""
                          << "UltimateLose.mp3";
}

void TestSlotTable::entries()
{
    QFETCH(int, index);
    QFETCH(QString, label);
    QFETCH(QString, tooltip);
    QFETCH(QString, target);

    const SlotTable table;
    QCOMPARE(QString::fromStdString(std::string(SlotTable::slot(index).label)), label);
    QCOMPARE(QString::fromStdString(std::string(SlotTable::slot(index).tooltip)), tooltip);
    QCOMPARE(QString::fromStdString(table.targetFileName(index)), target);
}

void TestSlotTable::placeFollowsIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");

    QTest::newRow("0") << 0 << 1 << 0 << 0;
    QTest::newRow("7") << 7 << 1 << 0 << 7;
    QTest::newRow("8") << 8 << 1 << 1 << 0;
    QTest::newRow("16") << 16 << 1 << 2 << 0;
    QTest::newRow("23") << 23 << 1 << 2 << 7;
    QTest::newRow("24") << 24 << 2 << 0 << 0;
    QTest::newRow("31") << 31 << 2 << 0 << 7;
    QTest::newRow("32") << 32 << 2 << 1 << 0;
    QTest::newRow("39") << 39 << 2 << 1 << 7;
}

void TestSlotTable::placeFollowsIndex()
{
    QFETCH(int, index);
    QFETCH(int, page);
    QFETCH(int, column);
    QFETCH(int, row);

    const core::SlotPlace place = SlotTable::place(index);
    QCOMPARE(place.page, page);
    QCOMPARE(place.column, column);
    QCOMPARE(place.row, row);
}

void TestSlotTable::wholeTableIsConsistent()
{
    const SlotTable table;
    QSet<QString> targets;
    QSet<QString> labels;
    for (int i = 0; i < core::slotCount; ++i) {
        const QString target = QString::fromStdString(table.targetFileName(i));
        QVERIFY2(target.endsWith(".mp3"), qPrintable(target));
        targets.insert(target);
        labels.insert(QString::fromStdString(std::string(SlotTable::slot(i).label)));
        QCOMPARE(SlotTable::slot(i).tooltip.empty(), i >= 21);
        QCOMPARE(SlotTable::place(i).page, i < 24 ? 1 : 2);
    }
    QCOMPARE(targets.size(), core::slotCount);
    QCOMPARE(labels.size(), core::slotCount);
}

void TestSlotTable::indexOutsideTableIsRefused()
{
    const SlotTable table;
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, table.targetFileName(40));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, table.targetFileName(-1));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, SlotTable::slot(40));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, SlotTable::place(-1));
}

QTEST_APPLESS_MAIN(TestSlotTable)
#include "tst_slottable.moc"
