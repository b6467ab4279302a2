#include "SpeechEngine.h"

#include <QCoreApplication>
#include <QThread>

namespace {
// Connecting lists every voice: seconds with espeak-ng on a busy machine.
const int kStartLimit = 20000;
// How long the reader waits for the thread of a stopped service when it ends.
const int kJoinLimit = 500;
} // namespace

SpeechEngine::SpeechEngine(QObject *parent) : QObject(parent)
{
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [this] { fail(SpeechWorker::NoAnswer); });
}

SpeechEngine::~SpeechEngine()
{
    if (!thread)
        return;
    QMetaObject::invokeMethod(worker, &SpeechWorker::stop);
    thread->quit();
    if (thread->wait(kJoinLimit))
        delete thread;
    // else the thread hangs in the service: the process ends around it.
}

void SpeechEngine::start()
{
    if (state != Idle)
        return;
    state = Starting;
    thread = new QThread;
    thread->setObjectName(QStringLiteral("speech"));
    worker = new SpeechWorker;
    worker->moveToThread(thread);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &SpeechWorker::started, this, &SpeechEngine::onStarted);
    connect(worker, &SpeechWorker::failed, this, &SpeechEngine::onFailed);
    connect(worker, &SpeechWorker::spoken, this, &SpeechEngine::onSpoken);
    thread->start();
    QMetaObject::invokeMethod(worker, &SpeechWorker::start);
    watchdog.start(kStartLimit);
}

void SpeechEngine::onStarted(const QStringList &voices)
{
    if (sender() != worker)
        return; // a worker given up on that answered at last
    watchdog.stop();
    state = Running;
    voices_ = voices;
    sendConfiguration();
    emit voicesKnown(voices_);
    if (pendingId >= 0) {
        const QString text = pendingText;
        const int id = pendingId;
        pendingId = -1;
        say(text, id);
    }
}

void SpeechEngine::onFailed(Problem problem)
{
    if (sender() == worker)
        fail(problem);
}

void SpeechEngine::fail(Problem problem)
{
    watchdog.stop();
    pendingId = -1;
    speakingId = -1;
    abandonWorker();
    emit failed(problem);
}

void SpeechEngine::abandonWorker()
{
    state = Idle;
    voices_.clear();
    if (!thread)
        return;
    if (worker)
        disconnect(worker, nullptr, this, nullptr);
    // The thread deletes itself once the worker is gone; a hung one never.
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->quit();
    thread = nullptr;
    worker = nullptr;
}

void SpeechEngine::say(const QString &text, int id)
{
    if (state != Running) {
        pendingText = text;
        pendingId = id;
        start();
        return;
    }
    speakingId = id;
    QMetaObject::invokeMethod(worker, [w = worker.data(), text, id] { w->say(text, id); });
    watchdog.start(answerBase + answerPerCharacter * text.size());
}

void SpeechEngine::onSpoken(int id)
{
    if (sender() != worker || id != speakingId)
        return;
    watchdog.stop();
    speakingId = -1;
    emit spoken(id);
}

void SpeechEngine::stop()
{
    pendingId = -1;
    speakingId = -1;
    if (state == Running) {
        watchdog.stop();
        QMetaObject::invokeMethod(worker, &SpeechWorker::stop);
    }
}

void SpeechEngine::configure(const QString &voice, double rate, double pitch, double volume)
{
    this->voice = voice;
    this->rate = rate;
    this->pitch = pitch;
    this->volume = volume;
    if (state == Running)
        sendConfiguration();
}

void SpeechEngine::sendConfiguration()
{
    QMetaObject::invokeMethod(
        worker, [w = worker.data(), v = voice, r = rate, p = pitch, l = volume] { w->configure(v, r, p, l); });
}

void SpeechEngine::setAnswerLimit(int base, int perCharacter)
{
    answerBase = base;
    answerPerCharacter = perCharacter;
}

QString SpeechEngine::problemText(Problem problem)
{
    switch (problem) {
    case SpeechWorker::NotInstalled:
        return tr("朗读需要语音服务 speech-dispatcher，但没有找到它。\n"
                  "请安装 Debian 软件包：speech-dispatcher、speech-dispatcher-espeak-ng 和 "
                  "qtspeech5-speechd-plugin。");
    case SpeechWorker::NoVoice:
        return tr("语音服务中没有中文语音。\n请安装 Debian 软件包 speech-dispatcher-espeak-ng，"
                  "或在 speech-dispatcher 中配置其他中文语音。");
    case SpeechWorker::NoAnswer:
        return tr("语音服务没有响应，朗读已停止。");
    case SpeechWorker::NoProblem:
        break;
    }
    return QString();
}
