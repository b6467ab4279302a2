#pragma once

#include "Chapter.h"
#include "ChapterRule.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

/// Fills a book's chapter list on a worker thread. Every change to the list
/// is made under the book's lock.
class ParseContentThread : public QThread
{
    Q_OBJECT

public:
    ParseContentThread(const QString &text, QList<Chapter> *chapters, QMutex *lock,
                       const ChapterRule &rule = ChapterRule());
    ~ParseContentThread() override;

    /// Stops a running parse, empties the list and parses `text` by `rule`.
    void restart(const QString &text, const ChapterRule &rule);
    /// Stops a running parse and waits for it; nothing is appended after.
    void stop();
    /// Stops, then forgets the text and empties the list.
    void clear();
    /// A scan by a user's pattern stops after `budget` ms (a pattern that
    /// backtracks on every line would take minutes); the chapters found so
    /// far stay.
    void setCustomRuleBudget(int budget) { customBudget = budget; }
    /// The last scan ran out of its budget.
    bool ranOutOfTime() const { return outOfTime; }

protected:
    void run() override;

private:
    QString text; // text and rule are written only while the thread is not running
    ChapterRule rule;
    QList<Chapter> *chapters;
    QMutex *lock;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> outOfTime{false};
    std::atomic<int> customBudget{10000};
};
