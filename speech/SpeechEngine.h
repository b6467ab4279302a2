#pragma once

#include "SpeechWorker.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QThread;

/// The GUI thread's handle on the speech service: starts the SpeechWorker
/// on first use (never at start of the reader), hands it one sentence at a
/// time and watches that it answers. A service that does not answer in time
/// (it died, or hangs) is given up, and the next use starts a fresh one.
class SpeechEngine : public QObject
{
    Q_OBJECT

public:
    using Problem = SpeechWorker::Problem;

    explicit SpeechEngine(QObject *parent = nullptr);
    ~SpeechEngine() override;

    /// Starts the service unless it runs or is starting: voicesKnown() or failed().
    void start();
    bool isRunning() const { return state == Running; }
    /// The Chinese voices, Mandarin first; empty until started.
    QStringList voices() const { return voices_; }
    /// Speaks `text`, starting the service first where needed; spoken(`id`)
    /// when it has been said to its end. Replaces a sentence not yet said.
    void say(const QString &text, int id);
    /// Silences the voice at once; nothing said so far is reported spoken.
    void stop();
    /// An empty voice: the first of voices(). Rate and pitch -1..1, volume 0..1.
    void configure(const QString &voice, double rate, double pitch, double volume);
    /// How long a sentence may take before the service counts as dead:
    /// `base` plus `perCharacter` for each character (ms).
    void setAnswerLimit(int base, int perCharacter);
    /// What to tell the user of `problem`.
    static QString problemText(Problem problem);

signals:
    void voicesKnown(const QStringList &voices);
    void spoken(int id);
    void failed(SpeechWorker::Problem problem);

private:
    enum State { Idle, Starting, Running };
    void onStarted(const QStringList &voices);
    void onFailed(Problem problem);
    void fail(Problem problem);
    void onSpoken(int id);
    void sendConfiguration();
    /// Leaves the worker and its thread to end by themselves: a thread stuck
    /// in a hung service cannot be joined.
    void abandonWorker();

    State state = Idle;
    QThread *thread = nullptr;
    QPointer<SpeechWorker> worker;
    QStringList voices_;
    QTimer watchdog;
    QString pendingText;
    int pendingId = -1;
    int speakingId = -1;
    int answerBase = 8000;
    int answerPerCharacter = 600;
    QString voice;
    double rate = 0;
    double pitch = 0;
    double volume = 1;
};
