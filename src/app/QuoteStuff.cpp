#include "app/QuoteStuff.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>

namespace QuoteStuff {

namespace {

RandomSource& randomSource() {
    static RandomSource source;
    return source;
}

// Every entry opens with Gustav's greeting and closes with a quotation mark. The
// seven shortest start with a line break, which moves them one line lower in the
// speech bubble.
const QString kGreeting = QStringLiteral("\"Hey kids! This is Gustav the Marmoset reminding you ");
const QString kLineBreak = QStringLiteral("\r\n");

QString quote(const char* advice) {
    return kGreeting + QString::fromUtf8(advice) + QLatin1Char('"');
}

QString shortQuote(const char* advice) {
    return kLineBreak + quote(advice);
}

} // namespace

void InitQuotes(QStringList& quotes) {
    quotes = {
        quote("that a sword is not a toy. It is a very sharp toy, and it belongs to the nice "
              "man in the shiny armour."),
        shortQuote("not to feed the dragons after midnight."),
        quote("to always say please and thank you to the dungeon boss before you take all "
              "of his treasure."),
        quote("that eating your vegetables gives you +2 Constitution, and eating your "
              "sister's vegetables gives you -5 Charisma!"),
        shortQuote("that wizards are people too, just pointier."),
        shortQuote("to floss. Trolls never do, and look at them!"),
        quote("not to trust any treasure chest that has teeth. Real chests do not smile, and "
              "they never say 'come closer'."),
        shortQuote("that a tidy backpack is a happy backpack!"),
        shortQuote("not to lick the glowing mushrooms. They lick back!"),
        quote("that the Necromancer's tower is not a playground, no matter how many "
              "skeletons ask you to play tag."),
        quote("that homework is just a side quest, and side quests give the best "
              "experience points!"),
        quote("not to poke a sleeping ogre with a stick. Use a much, much longer stick."),
        quote("that if you hear spooky organ music coming from the cellar, it is probably "
              "just Grandma. Probably."),
        quote("to share your healing potions with the whole party, even the bard. "
              "Especially the bard. He needs them."),
        shortQuote("that goblins cannot read, so label your traps anyway."),
        quote("that a map is only as good as the one holding it, which is why marmosets are "
              "not allowed to hold the map."),
        quote("that the only real difference between a hero and a villain is the hat. "
              "Choose your hat wisely!"),
        shortQuote("to save often. Ghosts get no second tries!"),
        quote("that the goblins next door are very friendly, and that is exactly why you "
              "should count your gold coins twice."),
    };
}

float clockSeededDraw() {
    // Seeded afresh on every draw, from the clock at its finest resolution, so two
    // draws within the same second still differ.
    const auto ticks =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    std::seed_seq seed{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
    std::mt19937 generator(seed);
    // 24 random bits give every float in [0, 1) on a 2^-24 grid with equal chance;
    // the result can never round up to 1.
    return static_cast<float>(generator() >> 8) / 16777216.0f;
}

QString GetRandomQuote(const QStringList& quotes) {
    const float r = randomSource() ? randomSource()() : clockSeededDraw();
    const int n = quotes.size();
    const double i = std::floor(static_cast<double>(r) * n);
    // A draw outside [0, 1) cannot pick beyond the table; it takes the nearest end.
    if (n == 0)
        return QString();
    if (!(i >= 0))
        return quotes.first();
    if (i >= n)
        return quotes.last();
    return quotes.at(static_cast<int>(i));
}

void setRandomSource(RandomSource source) {
    randomSource() = std::move(source);
}

} // namespace QuoteStuff
