// Backup labels: registry-form GUIDs, upper case with braces, never repeated.
#include "worlds/GUIDStuff.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

class GuidTest : public QObject {
    Q_OBJECT
private slots:
    void labelsHaveTheRegistryFormAndAreFresh();
};

void GuidTest::labelsHaveTheRegistryFormAndAreFresh() {
    const QRegularExpression form(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    QSet<QString> seen;
    QSet<QChar> digits;
    for (int i = 0; i < 2000; ++i) {
        const QString label = GUIDStuff::NewGuidString();
        QCOMPARE(label.size(), 38);
        QVERIFY2(form.match(label).hasMatch(), qPrintable(label));
        // "-" at character positions 10, 15, 20 and 25, counted from 1.
        for (int position : {10, 15, 20, 25})
            QCOMPARE(label.at(position - 1), QLatin1Char('-'));
        QVERIFY2(!seen.contains(label), qPrintable(label));
        seen.insert(label);
        for (QChar c : label)
            digits.insert(c);
    }
    // Random labels use every hexadecimal digit, letters in upper case only.
    for (QChar c : QStringLiteral("0123456789ABCDEF"))
        QVERIFY2(digits.contains(c), qPrintable(QString(c)));
}

QTEST_GUILESS_MAIN(GuidTest)
#include "tst_guid.moc"
