// Reading aloud against a private speech-dispatcher (its generic module
// writes each sentence to a file and sleeps):
//  - from the read-aloud command to the first sentence handed to the speech
//    engine, and to the sentence reaching the service, on a 2 MB and an 80 MB
//    novel from the middle of the book (goal: at most 150 ms, and 80 MB at
//    most 1.2x 2 MB);
//  - the reader's CPU time while the voice reads: during one long sentence
//    against an idle event loop of the same length (goal: no polling, under
//    1 % of a core), and per sentence over a run of 150 with their page turns.
// Usage: tavril-bench-speech [small MB] [large MB]

#include "BenchSupport.h"
#include "PrivateSpeech.h"
#include "ReadAloud.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "configSettings.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

const int kRuns = 15;
const int kSentences = 150;

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Figures
{
    double handed = 0;
    double arrived = 0;
};

Figures startReading(const QString &book, PrivateSpeech *speech)
{
    ReaderConfig config;
    config.setFont(QFont(QStringLiteral("Noto Sans CJK SC"), 14));
    Reader reader(&config);
    reader.setPageRect(QRect(0, 0, 600, 400));
    reader.session()->openBook(book);
    reader.book()->waitForText();
    reader.session()->jumpTo(reader.book()->length() / 2);
    ReadAloud readAloud(&reader);
    readAloud.engine()->start();
    QSignalSpy started(readAloud.engine(), &SpeechEngine::voicesKnown);
    started.wait(20000);
    QVector<double> handed, arrived;
    for (int run = 0; run < kRuns; ++run) {
        speech->clearSpoken();
        QElapsedTimer clock;
        clock.start();
        readAloud.toggle();
        handed << clock.nsecsElapsed() / 1e6;
        while (speech->spoken().isEmpty() && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        arrived << clock.nsecsElapsed() / 1e6;
        readAloud.stop();
        QTest::qWait(50);
    }
    return {bench::percentile(handed, 50), bench::percentile(arrived, 50)};
}

// CPU share of one core over `ms` of waiting in the event loop.
double cpuShareWhile(int ms, const std::function<void()> &before = {})
{
    if (before)
        before();
    const double cpu = cpuMs();
    QEventLoop loop; // sleeps in the event loop, unlike QTest::qWait
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuMs() - cpu) / ms * 100.0;
}

void cpuWhileReading(const QString &book, PrivateSpeech *speech)
{
    ReaderConfig config;
    Reader reader(&config);
    reader.setPageRect(QRect(0, 0, 600, 400));
    reader.session()->openBook(book);
    reader.book()->waitForText();
    ReadAloud readAloud(&reader);
    readAloud.engine()->start();
    QSignalSpy started(readAloud.engine(), &SpeechEngine::voicesKnown);
    started.wait(20000);

    const double idle = cpuShareWhile(5000);
    speech->setSpeakSeconds(6);
    const double speaking = cpuShareWhile(5000, [&] {
        readAloud.toggle();
        QTest::qWait(200); // the sentence is handed over; now only the voice works
    });
    readAloud.stop();
    std::printf("CPU while one sentence is spoken: %.2f %% of a core; idle event loop: %.2f %%; ratio %.2f\n", speaking,
                idle, idle > 0 ? speaking / idle : 0.0);

    speech->setSpeakSeconds(0.02);
    speech->clearSpoken();
    int turns = 0;
    int place = reader.session()->position();
    QObject::connect(reader.session(), &ReadingSession::changed, [&] {
        turns += reader.session()->position() != place;
        place = reader.session()->position();
    });
    const double cpu = cpuMs();
    QElapsedTimer clock;
    clock.start();
    readAloud.toggle();
    while (speech->spoken().size() < kSentences && clock.elapsed() < 60000)
        QTest::qWait(20);
    const double used = cpuMs() - cpu;
    readAloud.stop();
    std::printf("%d sentences, %d page turns: %.2f ms CPU per sentence with its share of the turns, "
                "%.3f %% of a core at 3 s per spoken sentence\n",
                kSentences, turns, used / kSentences, used / kSentences / 3000.0 * 100.0);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const qint64 small = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 2) << 20;
    const qint64 large = (argc > 2 ? QByteArray(argv[2]).toLongLong() : 80) << 20;
    QTemporaryDir dir;
    overrideSettingsFile(dir.filePath(QStringLiteral("tavrilconfig.ini")));
    PrivateSpeech speech;
    const QString problem = speech.start();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    speech.setSpeakSeconds(0.05);
    Figures figures[2];
    int i = 0;
    for (qint64 size : {small, large}) {
        const QString path = dir.filePath(QStringLiteral("book%1.txt").arg(i));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bench::generateNovel(size).toUtf8()) < 0)
            return 1;
        file.close();
        figures[i] = startReading(path, &speech);
        std::printf("%5lld MB: command to first sentence handed %.2f ms, heard by the service %.2f ms (median of %d)\n",
                    size >> 20, figures[i].handed, figures[i].arrived, kRuns);
        ++i;
    }
    std::printf("ratio %lld MB / %lld MB: handed %.2f, heard %.2f\n", large >> 20, small >> 20,
                figures[1].handed / figures[0].handed, figures[1].arrived / figures[0].arrived);
    cpuWhileReading(dir.filePath(QStringLiteral("book0.txt")), &speech);
    return 0;
}
