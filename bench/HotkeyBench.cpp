// What the reader's start pays for its global hot keys: the hot-key table's
// construction, which binds the 16 global defaults (four X grabs each) and
// then the stored keys. Budget: 20 ms on Xvfb, for the first construction in
// the process (the one a start pays) and for the median of later ones.
//
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/tavril-bench-hotkey

#include "BenchSupport.h"
#include "HotKeyManager.h"
#include "QxtGlobalShortcut.h"

#include <QGuiApplication>
#include <QVector>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

const double kBudgetMs = 20.0;
const int kRuns = 25;

// The shortcuts alone, without the table and the settings file around them.
double bindDefaultsMs(int *bound)
{
    std::vector<std::unique_ptr<QxtGlobalShortcut>> shortcuts;
    const double ms = bench::timeMs([&] {
        for (const KeyBinding &binding : HotKeyManager::bindings()) {
            if (binding.scope != KeyScope::Global)
                continue;
            shortcuts.emplace_back(new QxtGlobalShortcut);
            shortcuts.back()->setTag(int(binding.command));
            *bound +=
                shortcuts.back()->setShortcut(QKeySequence(CommandTable::defaultKey(binding.command, binding.scope)))
                    ? 1
                    : 0;
        }
    });
    return ms;
}

bool report(const char *label, double ms)
{
    std::printf("%-44s %7.2f ms  ratio %.2f of the %.0f ms budget %s\n", label, ms, ms / kBudgetMs, kBudgetMs,
                ms <= kBudgetMs ? "ok" : "OVER");
    return ms <= kBudgetMs;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "needs an X server (platform is %s); run it under xvfb-run\n",
                     qPrintable(QGuiApplication::platformName()));
        return 2;
    }

    const double first = bench::timeMs([] { HotKeyManager manager; });
    QVector<double> later;
    for (int i = 0; i < kRuns; ++i)
        later << bench::timeMs([] { HotKeyManager manager; });

    int bound = 0;
    QVector<double> bindOnly;
    for (int i = 0; i < kRuns; ++i) {
        bound = 0;
        bindOnly << bindDefaultsMs(&bound);
    }

    std::printf("global defaults bound: %d of 16\n", bound);
    bool ok = report("HotKeyManager, first construction", first);
    ok = report("HotKeyManager, median of later ones", bench::percentile(later, 50)) && ok;
    std::printf("%-44s %7.2f ms\n", "HotKeyManager, slowest later one", bench::percentile(later, 100));
    std::printf("%-44s %7.2f ms\n", "16 QxtGlobalShortcut::setShortcut, median", bench::percentile(bindOnly, 50));
    ok = ok && bound == 16;
    std::printf("%s\n", ok ? "budget met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
