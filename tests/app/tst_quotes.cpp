// Gustav's quote table, the random pick, and the About tab showing a fresh quote.
#include "InstallationBuilder.h"
#include "app/QuoteStuff.h"
#include "app/ui/TabControl.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace TestSupport;

class QuotesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void everyEntryHasTheQuoteForm();
    void drawMapsOntoTheWholeTable();
    void clockSeededPicksReachEveryEntry();
    void onlyTheAboutTabDrawsAFreshQuote();
};

namespace {

const QString kGreeting = QStringLiteral("\"Hey kids! This is Gustav the Marmoset reminding you ");

QStringList quoteTable() {
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    return quotes;
}

void clickTab(TabControl* tabs, int index) {
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(index).center());
}

} // namespace

void QuotesTest::cleanup() {
    QuoteStuff::setRandomSource({});
}

void QuotesTest::everyEntryHasTheQuoteForm() {
    const QStringList quotes = quoteTable();
    QCOMPARE(quotes.size(), 19);
    const QList<int> withLineBreak = {1, 4, 5, 7, 8, 14, 17};
    int that = 0, to = 0, notTo = 0;
    int longestShort = 0, shortestLong = 1000;
    for (int i = 0; i < quotes.size(); ++i) {
        QString entry = quotes[i];
        const bool broken = entry.startsWith(QLatin1String("\r\n"));
        QVERIFY2(broken == withLineBreak.contains(i), qPrintable(QString::number(i)));
        if (broken)
            entry.remove(0, 2);
        QVERIFY2(!entry.contains(QLatin1Char('\r')) && !entry.contains(QLatin1Char('\n')),
                 qPrintable(entry));
        QVERIFY2(entry.startsWith(kGreeting), qPrintable(entry));
        QVERIFY2(entry.endsWith(QLatin1String(".\"")) || entry.endsWith(QLatin1String("!\"")),
                 qPrintable(entry));
        QCOMPARE(entry.count(QLatin1Char('"')), 2);
        QVERIFY2(entry.size() >= 90 && entry.size() <= 168, qPrintable(entry));
        if (broken) {
            QVERIFY2(entry.size() <= 122, qPrintable(entry));
            longestShort = qMax(longestShort, int(entry.size()));
        } else {
            QVERIFY2(entry.size() >= 124, qPrintable(entry));
            shortestLong = qMin(shortestLong, int(entry.size()));
        }
        const QString advice = entry.mid(kGreeting.size());
        if (advice.startsWith(QLatin1String("that ")))
            ++that;
        else if (advice.startsWith(QLatin1String("to ")))
            ++to;
        else if (advice.startsWith(QLatin1String("not to ")))
            ++notTo;
        else
            QFAIL(qPrintable("advice of unknown form: " + entry));
    }
    QCOMPARE(that, 11);
    QCOMPARE(to, 4);
    QCOMPARE(notTo, 4);
    // The entries with the line break are the seven shortest.
    QVERIFY(longestShort < shortestLong);
    // Nineteen different pieces of advice.
    QCOMPARE(QSet<QString>(quotes.begin(), quotes.end()).size(), 19);
}

void QuotesTest::drawMapsOntoTheWholeTable() {
    const QStringList quotes = quoteTable();
    float r = 0.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[0]);
    r = std::nextafter(1.0f, 0.0f);
    QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[18]);
    // Each nineteenth of [0, 1) picks its own entry, both at its start and its end.
    for (int k = 0; k < 19; ++k) {
        r = std::nextafter(float(k) / 19.0f, 1.0f);
        QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[k]);
        r = std::nextafter(float(k + 1) / 19.0f, 0.0f);
        QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[k]);
    }
    // The number of entries is taken from the table itself.
    const QStringList five = {"a", "b", "c", "d", "e"};
    QCOMPARE(QuoteStuff::GetRandomQuote(five), QStringLiteral("e"));
    r = 0.5f;
    QCOMPARE(QuoteStuff::GetRandomQuote(five), QStringLiteral("c"));
    // A draw outside [0, 1) or an empty table cannot read beyond the table.
    r = 1.0f;
    QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[18]);
    r = -0.25f;
    QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[0]);
    QCOMPARE(QuoteStuff::GetRandomQuote(QStringList()), QString());
}

void QuotesTest::clockSeededPicksReachEveryEntry() {
    // Reseeding from the clock on every call must still spread the picks evenly, also
    // for calls that follow each other within microseconds. The bounds lie more than
    // five standard deviations from the expected 200 per entry.
    const QStringList quotes = quoteTable();
    QHash<QString, int> counts;
    for (int i = 0; i < 19 * 200; ++i)
        ++counts[QuoteStuff::GetRandomQuote(quotes)];
    QCOMPARE(counts.size(), 19);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QVERIFY2(it.value() > 120 && it.value() < 290,
                 qPrintable(QStringLiteral("%1 picks of %2").arg(it.value()).arg(it.key())));
    for (int i = 0; i < 1000; ++i) {
        const float r = QuoteStuff::clockSeededDraw();
        QVERIFY(r >= 0.0f && r < 1.0f);
    }
}

void QuotesTest::onlyTheAboutTabDrawsAFreshQuote() {
    QTemporaryDir tmp;
    const QString gameDir = tmp.path() + "/Korvath II/";
    QCOMPARE(InstallationBuilder::build(gameDir), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", gameDir);
    const QStringList quotes = quoteTable();
    float r = 3.5f / 19.0f;
    QuoteStuff::setRandomSource([&r] { return r; });

    Form1& window = fixture.create();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The start draws one, whichever tab the window opens on.
    QCOMPARE(window.QuoteLabel->text(), quotes[3]);
    QCOMPARE(window.LauncherTabs->Tab(), 0);

    r = 14.5f / 19.0f;
    clickTab(window.LauncherTabs, 1);
    QCOMPARE(window.LauncherTabs->Tab(), 1);
    QCOMPARE(window.QuoteLabel->text(), quotes[3]);
    clickTab(window.LauncherTabs, 2);
    QCOMPARE(window.LauncherTabs->Tab(), 2);
    QCOMPARE(window.QuoteLabel->text(), quotes[14]);
    r = 0.0f;
    clickTab(window.LauncherTabs, 0);
    QCOMPARE(window.LauncherTabs->Tab(), 0);
    QCOMPARE(window.QuoteLabel->text(), quotes[14]);
    // Coming back draws again, and the same quote may come up twice in a row.
    clickTab(window.LauncherTabs, 2);
    QCOMPARE(window.QuoteLabel->text(), quotes[0]);
    clickTab(window.LauncherTabs, 1);
    clickTab(window.LauncherTabs, 2);
    QCOMPARE(window.QuoteLabel->text(), quotes[0]);
    QVERIFY(fatalErrors().isEmpty());
}

QTEST_MAIN(QuotesTest)
#include "tst_quotes.moc"
