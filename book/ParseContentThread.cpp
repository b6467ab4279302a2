#include "ParseContentThread.h"

#include "ChapterScanner.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

ParseContentThread::ParseContentThread(const QString &text, QList<Chapter> *chapters, QMutex *lock,
                                       const ChapterRule &rule)
    : QThread(nullptr), text(text), rule(rule), chapters(chapters), lock(lock)
{
}

ParseContentThread::~ParseContentThread()
{
    stop();
}

void ParseContentThread::stop()
{
    stopRequested = true;
    wait();
    stopRequested = false;
}

void ParseContentThread::clear()
{
    stop();
    text.clear();
    if (chapters) {
        QMutexLocker locker(lock);
        chapters->clear();
    }
}

void ParseContentThread::restart(const QString &newText, const ChapterRule &newRule)
{
    clear();
    text = newText;
    rule = newRule;
    start(QThread::InheritPriority);
}

void ParseContentThread::run()
{
    outOfTime = false;
    if (text.isEmpty())
        return;
    ChapterScanner scanner(rule);
    const QDeadlineTimer budget(rule.isValid() && rule.kind() == ChapterRule::Custom
                                    ? QDeadlineTimer(customBudget)
                                    : QDeadlineTimer(QDeadlineTimer::Forever));
    const bool finished = scanner.scan(
        text,
        [this](const Chapter &chapter) {
            if (!chapters)
                return;
            QMutexLocker locker(lock);
            chapters->append(chapter);
        },
        [this, &budget](int) { return !stopRequested.load(std::memory_order_relaxed) && !budget.hasExpired(); });
    outOfTime = !finished && !stopRequested;
}
