#pragma once

#include <QStringList>
#include <functional>

// Gustav the Marmoset's advice, shown on the About tab.
namespace QuoteStuff {

// Fills the quote table, entry 0 to 18.
void InitQuotes(QStringList& quotes);

// A copy of an entry picked uniformly at random; the generator is seeded from the
// clock on every call. An empty table gives "".
QString GetRandomQuote(const QStringList& quotes);

// The draw behind GetRandomQuote: a number in [0, 1). Tests put their own draw in
// place to pick a known entry; an empty function brings back the clock-seeded one.
using RandomSource = std::function<float()>;
void setRandomSource(RandomSource source);

// The clock-seeded draw that GetRandomQuote uses unless a test replaced it.
float clockSeededDraw();

} // namespace QuoteStuff
