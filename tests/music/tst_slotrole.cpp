// SPDX-License-Identifier: GPL-3.0-or-later
#include "music/SlotRole.h"

#include <QTest>

// A slot's role from the length of the game's own music.
class TestSlotRole : public QObject
{
    Q_OBJECT

  private slots:
    void shortMusicIsAJingle_data();
    void shortMusicIsAJingle();
};

void TestSlotRole::shortMusicIsAJingle_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("jingle");
    QTest::newRow("just under half a minute") << 29.9 << true;
    QTest::newRow("half a minute") << 30.0 << false;
}

void TestSlotRole::shortMusicIsAJingle()
{
    QFETCH(double, seconds);
    QFETCH(bool, jingle);
    QCOMPARE(core::SlotRole::forSeconds(seconds).kind == core::SlotRole::Kind::Jingle, jingle);
}

QTEST_APPLESS_MAIN(TestSlotRole)
#include "tst_slotrole.moc"
