#pragma once

#include <QStringList>

namespace QuoteStuff {

// Fills the quote table, entry 0 to 18.
void InitQuotes(QStringList& quotes);
// A copy of an entry picked uniformly at random; the generator is seeded from the
// clock on every call.
QString GetRandomQuote(const QStringList& quotes);

} // namespace QuoteStuff
