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
        QVERIFY2(form.match(label).hasMatch(), qPrintable(label));
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
