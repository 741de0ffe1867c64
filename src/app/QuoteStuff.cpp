#include "app/QuoteStuff.h"

namespace QuoteStuff {
void InitQuotes(QStringList& quotes) {
    quotes.clear();
}
QString GetRandomQuote(const QStringList& quotes) {
    return quotes.isEmpty() ? QString() : quotes.first();
}
} // namespace QuoteStuff
