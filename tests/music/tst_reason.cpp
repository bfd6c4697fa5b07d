// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReasonTexts.h"
#include "music/Reason.h"

#include <QTest>

using core::Reason;

class TestReason : public QObject
{
    Q_OBJECT

  private slots:
    void eachCodeHasWordsOfItsOwnInEachLanguage_data();
    void eachCodeHasWordsOfItsOwnInEachLanguage();
};

void TestReason::eachCodeHasWordsOfItsOwnInEachLanguage_data()
{
    QTest::addColumn<int>("code");
    for (const Reason::Code code : reasontexts::allCodes())
        QTest::newRow(qPrintable(reasontexts::words(code, 2))) << int(code);
}

void TestReason::eachCodeHasWordsOfItsOwnInEachLanguage()
{
    QFETCH(int, code);
    const QString hungarian = reasontexts::words(Reason::Code(code), 1);
    QVERIFY(!hungarian.isEmpty());
    QCOMPARE(reasontexts::englishReasonIn(hungarian), QString());
    for (const Reason::Code other : reasontexts::allCodes()) {
        if (int(other) != code) {
            QVERIFY(reasontexts::words(other, 1) != hungarian);
            QVERIFY(reasontexts::words(other, 2) != reasontexts::words(Reason::Code(code), 2));
        }
    }
    // Every code other than 1 is English; a library's own words follow in brackets.
    const Reason withDetail{Reason::Code(code), "Invalid data found when processing input"};
    QCOMPARE(QString::fromStdString(withDetail.text(255)),
             reasontexts::words(Reason::Code(code), 2) +
                 " (Invalid data found when processing input)");
    QCOMPARE(QString::fromStdString(withDetail.text(1)),
             hungarian + " (Invalid data found when processing input)");
}

QTEST_APPLESS_MAIN(TestReason)
#include "tst_reason.moc"
