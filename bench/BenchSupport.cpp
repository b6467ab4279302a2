#include "BenchSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>

namespace bench {

namespace {

const char16_t kHanzi[] = u"的一是了我不人在他有这个上们来到时大地为子中你说生国年着就那和要她出也得里后自以会家可下"
                          u"而过天去能对小多然于心学么之都好看起发当没成只如事把还用第样道想作种开美总从无情己面最女但"
                          u"现前些所同日手又行意动方期它头经长儿回位分爱老因很给名法间斯知世什两次使身者被高已亲其进此"
                          u"话常与活正感风云山水剑客江湖月夜";
const char16_t kPunct[] = u"，。！？“”：；、…";
const char kAscii[] = "abcxyz ,.!?0123456789";

qint64 procStatus(const char *field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key(field);
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

} // namespace

QString generateNovel(qint64 utf8Bytes, int linesPerChapter)
{
    QRandomGenerator random(20261206);
    const int hanziCount = int(sizeof(kHanzi) / sizeof(char16_t)) - 1;
    const int punctCount = int(sizeof(kPunct) / sizeof(char16_t)) - 1;
    const int asciiCount = int(sizeof(kAscii)) - 1;
    QString text;
    text.reserve(int(utf8Bytes / 3 + 1024));
    qint64 size = 0;
    int line = 0;
    int chapter = 1;
    while (size < utf8Bytes) {
        if (line++ % linesPerChapter == 0) {
            const QString heading = QStringLiteral("第%1章 ").arg(chapter++);
            text += heading;
            size += heading.toUtf8().size();
            for (int i = 0, n = 2 + random.bounded(6); i < n; ++i, size += 3)
                text += QChar(kHanzi[random.bounded(hanziCount)]);
        } else {
            text += QChar(0x3000);
            text += QChar(0x3000);
            size += 6;
            for (int i = 0, n = 20 + random.bounded(280); i < n; ++i) {
                const int pick = random.bounded(100);
                if (pick < 88) {
                    text += QChar(kHanzi[random.bounded(hanziCount)]);
                    size += 3;
                } else if (pick < 97) {
                    text += QChar(kPunct[random.bounded(punctCount)]);
                    size += 3;
                } else {
                    text += QLatin1Char(kAscii[random.bounded(asciiCount)]);
                    size += 1;
                }
            }
        }
        text += QLatin1Char('\n');
        size += 1;
    }
    return text;
}

double timeMs(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

double medianMs(int runs, const std::function<void()> &work)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i)
        times << timeMs(work);
    return percentile(times, 50);
}

double percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const int index = std::min(int(values.size()) - 1, int(p / 100.0 * values.size()));
    return values.at(index);
}

void resetPeakMemory()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

qint64 residentBytes()
{
    return procStatus("VmRSS:");
}

qint64 peakResidentBytes()
{
    return procStatus("VmHWM:");
}

} // namespace bench
