#include "FaultyFileSystem.h"

namespace TestSupport {

bool FaultPlan::next(Kind kind, const QString& what) {
    if (!(kinds & kind))
        return false;
    ++operations;
    if (mode == Mode::CrashAfter && operations > n) {
        faulted = true;
        log.append(what + QStringLiteral(" CRASH"));
        throw SimulatedCrash{};
    }
    const bool fail =
        (mode == Mode::FailOnce && operations == n) || (mode == Mode::FailFrom && operations >= n);
    faulted = faulted || fail;
    log.append(fail ? what + QStringLiteral(" FAILED") : what);
    return fail;
}

void FaultySettingsStore::SaveSettings(const QString& section,
                                       const QList<QPair<QString, QString>>& keysAndValues) {
    QStringList what;
    for (const auto& [key, value] : keysAndValues)
        what << section + QLatin1Char('/') + key + QLatin1Char('=') + value;
    if (m_plan.next(FaultPlan::SettingsWrite, QStringLiteral("write ") + what.join(' ')))
        throw SettingsError(QStringLiteral("Injected settings failure: ") + section);
    m_inner.SaveSettings(section, keysAndValues);
}

} // namespace TestSupport
