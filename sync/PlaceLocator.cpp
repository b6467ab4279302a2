#include "PlaceLocator.h"

#include <QStringView>

#include <climits>

namespace {

// How far from the expected spot the words are looked for: a copy with
// another preface or a few paragraphs more, not another book.
int searchReach(int length)
{
    return qMax(20000, length / 50);
}

int atPercent(const QString &text, double percent)
{
    return qBound(0, int(qRound64(text.size() * percent / 100.0)), text.size());
}

} // namespace

SyncPlace PlaceLocator::describe(const QString &text, int offset, qint64 time)
{
    SyncPlace place;
    place.offset = qBound(0, offset, text.size());
    place.percent = text.isEmpty() ? 0 : qRound(1000.0 * place.offset / text.size()) / 10.0;
    place.context = text.mid(place.offset, SyncRecord::ContextLength);
    place.changedAt = time;
    return place;
}

int PlaceLocator::locate(const QString &text, const SyncPlace &place)
{
    const QStringView words(place.context);
    if (place.offset <= text.size() && QStringView(text).mid(place.offset, words.size()) == words)
        return place.offset;
    const int byPercent = atPercent(text, place.percent);
    if (words.isEmpty())
        return byPercent;
    const int reach = searchReach(text.size());
    const int near = qMin(place.offset, text.size());
    const int from = qMax(0, qMin(near, byPercent) - reach);
    const int to = qMin(text.size(), qMax(near, byPercent) + reach);
    const QStringView stretch = QStringView(text).mid(from, qMin(text.size(), to + int(words.size())) - from);
    int best = -1;
    int bestDistance = INT_MAX;
    for (qsizetype at = stretch.indexOf(words); at >= 0; at = stretch.indexOf(words, at + 1)) {
        const int found = from + int(at);
        const int distance = qMin(qAbs(found - near), qAbs(found - byPercent));
        if (distance < bestDistance) {
            best = found;
            bestDistance = distance;
        }
    }
    return best >= 0 ? best : byPercent;
}
