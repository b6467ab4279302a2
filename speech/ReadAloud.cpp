#include "ReadAloud.h"

#include "CommandDispatcher.h"
#include "PageNote.h"
#include "Reader.h"
#include "ReaderConfig.h"

#include <QPainter>

#include <climits>

namespace {
// The sleep timer's "until the end of the chapter".
const int kChapterEnd = -1;
} // namespace

ReadAloud::ReadAloud(Reader *reader, QObject *parent)
    : QObject(parent), reader(reader), session(reader->session()), config(reader->config())
{
    sleepTimer.setSingleShot(true);
    connect(&sleepTimer, &QTimer::timeout, this, [this] { finish(tr("定时结束，朗读已停止")); });
    connect(&engine_, &SpeechEngine::spoken, this, &ReadAloud::onSpoken);
    connect(&engine_, &SpeechEngine::failed, this, &ReadAloud::onFailed);
    connect(session, &ReadingSession::changed, this, &ReadAloud::onPageChanged);
    connect(session->book(), &Book::replaced, this, &ReadAloud::stop);
    connect(config, &ReaderConfig::settingChanged, this, &ReadAloud::onSettingChanged);
    configureEngine();
}

// The reader may be gone: the window deletes it before its children.
ReadAloud::~ReadAloud()
{
    engine_.stop();
}

void ReadAloud::addTo(CommandDispatcher *dispatcher)
{
    dispatcher->add(Command::ReadAloud, [this] { toggle(); });
    dispatcher->add(Command::StopReading, [this] { stop(); });
    connect(dispatcher, &CommandDispatcher::aboutToRun, this, [this](Command command) {
        if (!note_.isEmpty()) {
            note_.clear();
            emit changed();
        }
        // Pages turning by themselves and the voice turning them exclude each other.
        if (command == Command::AutoTurn)
            stop();
    });
}

void ReadAloud::toggle()
{
    pausedByHiding = false;
    if (state_ == Reading) {
        engine_.stop();
        sleepTimer.stop();
        setState(Paused);
    } else if (state_ == Paused) {
        resume();
    } else {
        start();
    }
}

void ReadAloud::start()
{
    if (!session->book()->hasText()) {
        emit message(tr("请先打开一本书"));
        return;
    }
    note_.clear();
    current = Sentence();
    startSleepTimer();
    speakFrom(SentenceSplitter::firstStartIn(session->book()->text(), pageStart(), session->pageEnd()));
}

void ReadAloud::resume()
{
    // Where the pause left off, unless the page has moved away from it since.
    const bool onPage = current.isValid() && current.start >= pageStart() && current.start < session->pageEnd();
    if (!onPage) {
        setState(Stopped);
        start();
        return;
    }
    startSleepTimer();
    speakFrom(current.start);
}

void ReadAloud::stop()
{
    pausedByHiding = false;
    sleepTimer.stop();
    engine_.stop();
    current = Sentence();
    setState(Stopped);
}

void ReadAloud::silence()
{
    if (state_ != Reading)
        return;
    engine_.stop();
    sleepTimer.stop();
    pausedByHiding = true;
    setState(Paused);
}

void ReadAloud::windowShown()
{
    if (state_ == Paused && pausedByHiding && config->value(QStringLiteral("speech/resumeOnShow")).toBool()) {
        pausedByHiding = false;
        resume();
    }
}

int ReadAloud::pageStart() const
{
    return session->position();
}

// The next sentence from `from` with something to say; the book's end or the
// chapter's (with the timer set to it) give none.
Sentence ReadAloud::nextSpeakable(int from, QString *spoken)
{
    Book *book = session->book();
    book->waitForText(); // the voice may run past the stretch read first
    const QString &text = book->text();
    Sentence sentence = SentenceSplitter::next(text, from, text.size());
    while (sentence.isValid()) {
        if (chapterEnd >= 0 && sentence.start >= chapterEnd)
            return Sentence();
        *spoken = SentenceSplitter::speakable(text.midRef(sentence.start, sentence.end - sentence.start));
        if (!spoken->isEmpty())
            return sentence;
        sentence = SentenceSplitter::next(text, sentence.end, text.size());
    }
    return sentence;
}

void ReadAloud::speakFrom(int from)
{
    QString spoken;
    const Sentence sentence = nextSpeakable(from, &spoken);
    if (!sentence.isValid()) {
        finish(chapterEnd >= 0 ? tr("本章已读完，朗读已停止") : tr("全书已读完"));
        return;
    }
    followPage(sentence);
    current = sentence;
    engine_.say(spoken, ++sentenceId);
    setState(Reading);
    showMark();
    emit sentenceStarted(sentence.start, sentence.end);
}

// Turns the page while the sentence begins past its end: the page, and the
// automatic bookmark with it, follow the voice.
void ReadAloud::followPage(const Sentence &sentence)
{
    turning = true;
    while (sentence.start >= session->pageEnd() && session->nextPage()) {
    }
    turning = false;
    lastPosition = pageStart();
}

void ReadAloud::onSpoken(int id)
{
    if (state_ == Reading && id == sentenceId)
        speakFrom(current.end);
}

void ReadAloud::onFailed(SpeechEngine::Problem problem)
{
    if (state_ == Stopped)
        return; // the preferences asked for the voices: they tell it themselves
    stop();
    emit message(SpeechEngine::problemText(problem));
}

// A move by hand (a page, a chapter, a jump, a bookmark) while reading starts
// the voice at the new page; while paused, the pause is forgotten.
void ReadAloud::onPageChanged()
{
    if (turning || pageStart() == lastPosition)
        return;
    lastPosition = pageStart();
    if (!note_.isEmpty()) {
        note_.clear();
        emit changed();
    }
    if (state_ == Reading && session->book()->hasText()) {
        engine_.stop();
        current = Sentence();
        if (chapterEnd >= 0)
            startSleepTimer(); // the end of the chapter now read
        speakFrom(SentenceSplitter::firstStartIn(session->book()->text(), pageStart(), session->pageEnd()));
    } else if (state_ == Paused) {
        current = Sentence();
    }
}

void ReadAloud::onSettingChanged(const QString &key)
{
    if (!key.startsWith(QLatin1String("speech/")))
        return;
    if (key == QLatin1String("speech/mark"))
        showMark();
    else if (key == QLatin1String("speech/sleep") && state_ == Reading)
        startSleepTimer();
    else
        configureEngine();
}

void ReadAloud::configureEngine()
{
    engine_.configure(config->value(QStringLiteral("speech/voice")).toString(),
                      config->value(QStringLiteral("speech/rate")).toInt() / 10.0,
                      config->value(QStringLiteral("speech/pitch")).toInt() / 10.0,
                      config->value(QStringLiteral("speech/volume")).toInt() / 100.0);
}

void ReadAloud::startSleepTimer()
{
    sleepTimer.stop();
    chapterEnd = -1;
    const int minutes = config->value(QStringLiteral("speech/sleep")).toInt();
    if (minutes > 0) {
        sleepTimer.start(minutes * minuteLength);
    } else if (minutes == kChapterEnd) {
        const Book *book = session->book();
        const Chapter next = book->chapter(book->chapterIndexAt(current.isValid() ? current.start : pageStart()) + 1);
        chapterEnd = next.valid ? next.offset : INT_MAX;
    }
}

void ReadAloud::finish(const QString &note)
{
    stop();
    note_ = note;
    emit changed();
}

void ReadAloud::setState(State state)
{
    if (state != Paused)
        pausedByHiding = false;
    if (state == Stopped)
        chapterEnd = -1;
    state_ = state;
    showMark();
    emit changed();
}

void ReadAloud::showMark()
{
    const bool shown = state_ != Stopped && current.isValid() && config->value(QStringLiteral("speech/mark")).toBool();
    reader->setMark(shown ? current.start : -1, shown ? current.end : -1);
}

void ReadAloud::paintNote(QPainter *painter, const QRect &page) const
{
    PageNote::paint(painter, config, page, Qt::AlignTop | Qt::AlignRight, note_);
}
