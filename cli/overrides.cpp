#include "cli/overrides.h"

#include "presets/presetfile.h"

namespace orovista::cli {

QString applyOverrides(NoiseSettings &settings, const QStringList &overrides)
{
    for (const QString &line : overrides) {
        const int equals = int(line.indexOf(QLatin1Char('=')));
        if (equals <= 0 || line.contains(QLatin1Char('\n')))
            return QStringLiteral("--set needs KEY=VALUE, not \"%1\"").arg(line);
        const QString problem = presets::setKey(settings, line.left(equals), line.mid(equals + 1), {});
        if (!problem.isEmpty())
            return QStringLiteral("--set %1: %2").arg(line, problem);
    }
    return {};
}

void setAllSeeds(NoiseSettings &settings, int n)
{
    const int seed = ((n % 17) + 17) % 17;
    settings.input[0].seed = seed;
    settings.input[1].seed = seed;
    settings.combiner.control.seed = seed;
    settings.final.turbulenceSeed = seed;
    settings.final.sedimentSeed = seed;
}

}   // namespace orovista::cli
