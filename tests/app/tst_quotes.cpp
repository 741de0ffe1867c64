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
    void cleanup() { QuoteStuff::setRandomSource({}); }
    void everyEntryHasTheQuoteForm();
    void drawMapsOntoTheWholeTable();
    void clockSeededPicksReachEveryEntry();
    void onlyTheAboutTabDrawsAFreshQuote();
};

namespace {

QStringList quoteTable() {
    QStringList quotes;
    QuoteStuff::InitQuotes(quotes);
    return quotes;
}

} // namespace

void QuotesTest::everyEntryHasTheQuoteForm() {
    const QString greeting = "\"Hey kids! This is Gustav the Marmoset reminding you ";
    const QStringList quotes = quoteTable();
    QCOMPARE(quotes.size(), 19);
    QCOMPARE(QSet<QString>(quotes.begin(), quotes.end()).size(), 19);
    QMap<QString, int> forms;
    for (int i = 0; i < quotes.size(); ++i) {
        QString entry = quotes[i];
        const bool broken = entry.startsWith("\r\n");
        QVERIFY2(broken == QList<int>({1, 4, 5, 7, 8, 14, 17}).contains(i), qPrintable(entry));
        if (broken)
            entry.remove(0, 2);
        QVERIFY2(!entry.contains('\r') && !entry.contains('\n'), qPrintable(entry));
        QVERIFY2(entry.startsWith(greeting) && entry.count('"') == 2, qPrintable(entry));
        QVERIFY2(entry.endsWith(".\"") || entry.endsWith("!\""), qPrintable(entry));
        // The entries with the line break are the seven shortest.
        QVERIFY2(broken ? entry.size() >= 90 && entry.size() <= 122
                        : entry.size() >= 124 && entry.size() <= 168,
                 qPrintable(entry));
        const QString advice = entry.mid(greeting.size());
        const QString form = advice.startsWith("that ")     ? "that"
                             : advice.startsWith("to ")     ? "to"
                             : advice.startsWith("not to ") ? "not to"
                                                            : advice;
        ++forms[form];
    }
    QCOMPARE(forms, (QMap<QString, int>{{"that", 11}, {"to", 4}, {"not to", 4}}));
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
    for (int i = 0; i < 1000; ++i) {
        const float r = QuoteStuff::clockSeededDraw();
        QVERIFY(r >= 0.0f && r < 1.0f);
    }
}

void QuotesTest::onlyTheAboutTabDrawsAFreshQuote() {
    QTemporaryDir tmp;
    QCOMPARE(InstallationBuilder::build(tmp.path() + "/Korvath II/"), QString());
    WindowFixture fixture(tmp.path());
    fixture.presetSetting("KVDir", tmp.path() + "/Korvath II/");
    const QStringList quotes = quoteTable();
    float r = 3.5f / 19.0f;
    QuoteStuff::setRandomSource([&r] { return r; });
    fatalErrors().clear();
    Form1& window = fixture.create();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TabControl* tabs = window.LauncherTabs;
    // Clicks tab, then returns the tab shown and the quote's index.
    auto select = [&](int tab) {
        QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                          tabs->tabBar()->tabRect(tab).center());
        return QPair<int, int>(tabs->Tab(), quotes.indexOf(window.QuoteLabel->text()));
    };
    // The start draws one, whichever tab the window opens on.
    QCOMPARE(tabs->Tab(), 0);
    QCOMPARE(window.QuoteLabel->text(), quotes[3]);
    r = 14.5f / 19.0f;
    QCOMPARE(select(1), qMakePair(1, 3));
    QCOMPARE(select(2), qMakePair(2, 14));
    r = 0.0f;
    QCOMPARE(select(0), qMakePair(0, 14));
    // Coming back draws again, and the same quote may come up twice in a row.
    QCOMPARE(select(2), qMakePair(2, 0));
    select(1);
    QCOMPARE(select(2), qMakePair(2, 0));
    QVERIFY(fatalErrors().isEmpty());
}

QTEST_MAIN(QuotesTest)
#include "tst_quotes.moc"
