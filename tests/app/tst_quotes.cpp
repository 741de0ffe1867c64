// Gustav's quote table, the random pick, and the tab row: only the user's selection
// of the About tab draws a fresh quote.
#include "app/QuoteStuff.h"
#include "app/ui/TabControl.h"
#include "support/WindowSupport.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace TestSupport;

class QuotesTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QuoteStuff::setRandomSource({}); }
    void everyEntryHasTheQuoteForm();
    void drawMapsOntoTheWholeTable();
    void clockSeededPicksReachEveryEntry();
    void tabRowAndTheAboutTab();
};

namespace {

QStringList quoteTable() {
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    return quotes;
}

} // namespace

void QuotesTest::everyEntryHasTheQuoteForm() {
    const QStringList quotes = quoteTable();
    QCOMPARE(quotes.size(), 19);
    QCOMPARE(QSet<QString>(quotes.begin(), quotes.end()).size(), 19);
    const QRegularExpression form("^(\r\n)?\"Hey kids! This is Gustav the Marmoset reminding you "
                                  "(that|to|not to) [^\"\r\n]+[.!]\"$");
    for (int i = 0; i < quotes.size(); ++i) {
        QVERIFY2(form.match(quotes[i]).hasMatch(), qPrintable(quotes[i]));
        QCOMPARE(quotes[i].startsWith("\r\n"), QList<int>({1, 4, 5, 7, 8, 14, 17}).contains(i));
    }
}

void QuotesTest::drawMapsOntoTheWholeTable() {
    const QStringList quotes = quoteTable();
    float r = 0.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    // Each nineteenth of [0, 1) picks its own entry, both at its start and its end.
    for (int k = 0; k < 19; ++k) {
        r = std::nextafter(float(k) / 19.0f, 1.0f);
        QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[k]);
        r = std::nextafter(float(k + 1) / 19.0f, 0.0f);
        QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[k]);
    }
    // 0 gives the first; a draw outside [0, 1) cannot read beyond the table.
    for (const auto& [draw, entry] : {std::pair{0.0f, 0}, {1.0f, 18}, {-0.25f, 0}}) {
        r = draw;
        QCOMPARE(QuoteStuff::GetRandomQuote(quotes), quotes[entry]);
    }
    // The number of entries is taken from the table itself.
    r = 0.5f;
    QCOMPARE(QuoteStuff::GetRandomQuote({"a", "b", "c", "d", "e"}), QStringLiteral("c"));
    QCOMPARE(QuoteStuff::GetRandomQuote(QStringList()), QString());
}

void QuotesTest::clockSeededPicksReachEveryEntry() {
    // Reseeding from the clock on every call must still spread the picks evenly, also
    // for calls microseconds apart. The bounds lie over five standard deviations from
    // the expected 200 per entry.
    const QStringList quotes = quoteTable();
    QHash<QString, int> counts;
    for (int i = 0; i < 19 * 200; ++i)
        ++counts[QuoteStuff::GetRandomQuote(quotes)];
    QCOMPARE(counts.size(), 19);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        QVERIFY2(it.value() > 120 && it.value() < 290,
                 qPrintable(QStringLiteral("%1 picks of %2").arg(it.value()).arg(it.key())));
}

void QuotesTest::tabRowAndTheAboutTab() {
    QTemporaryDir tmp;
    WindowFixture fixture(tmp.path());
    const QStringList quotes = quoteTable();
    float r = 3.5f / 19.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    fatalErrors().clear();
    Form1& w = fixture.createShown();
    TabControl* tabs = w.LauncherTabs;
    QSignalSpy clicks(tabs, &TabControl::Click);
    auto shown = [&] { return qMakePair(tabs->Tab(), int(quotes.indexOf(w.QuoteLabel->text()))); };
    // The start draws one, whichever tab the window opens on: here the Configuration
    // tab, as no game directory is known, and the user cannot reach the Launcher tab.
    QCOMPARE(shown(), qMakePair(1, 3));
    r = 14.5f / 19.0f;
    clickTab(tabs, 0);
    QCOMPARE(shown(), qMakePair(1, 3));
    QVERIFY(!tabs->page(0)->isVisible());
    QCOMPARE(clicks.count(), 0);

    // Only selecting the About tab draws, each time, and the same quote may come twice.
    clickTab(tabs, 2);
    QCOMPARE(shown(), qMakePair(2, 14));
    QVERIFY(tabs->page(2)->isVisible() && !tabs->page(1)->isVisible());
    r = 0.0f;
    clickTab(tabs, 1);
    QCOMPARE(shown(), qMakePair(1, 14));
    tabs->SetTabEnabled(0, true);
    clickTab(tabs, 0);
    QCOMPARE(shown(), qMakePair(0, 14));
    clickTab(tabs, 2);
    QCOMPARE(shown(), qMakePair(2, 0));
    clickTab(tabs, 1);
    clickTab(tabs, 2);
    QCOMPARE(shown(), qMakePair(2, 0));
    // Each user selection raised one click, passing the tab selected before.
    QCOMPARE(clicks.count(), 6);
    QCOMPARE(clicks.first().first().toInt(), 1);

    // The program's selections raise no click, also of a tab the user cannot select;
    // disabling the tab shown leaves it shown.
    r = 0.5f;
    tabs->SetTabEnabled(0, false);
    tabs->SetTab(0);
    QCOMPARE(shown(), qMakePair(0, 0));
    tabs->SetTab(2);
    tabs->SetTabEnabled(2, false);
    QCOMPARE(shown(), qMakePair(2, 0));
    QVERIFY(tabs->page(2)->isVisible());
    QCOMPARE(clicks.count(), 6);
    QVERIFY(fatalErrors().isEmpty());
}

QTEST_MAIN(QuotesTest)
#include "tst_quotes.moc"
