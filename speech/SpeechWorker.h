#pragma once

#include <QHash>
#include <QLocale>
#include <QObject>
#include <QStringList>

class QTextToSpeech;

/// The one text-to-speech engine of the reader, on a thread of its own: a
/// speech service may take seconds to answer (espeak-ng lists its voices on
/// connect) or none at all (a hung service blocks every call), and the page
/// must not wait for it. Speaks one sentence at a time; SpeechEngine drives it
/// with queued calls.
class SpeechWorker : public QObject
{
    Q_OBJECT

public:
    enum Problem { NoProblem, NotInstalled, NoVoice, NoAnswer };
    Q_ENUM(Problem)

    SpeechWorker();
    ~SpeechWorker() override;

    /// The Chinese voices of `voices` (name, locale), Mandarin first.
    static QStringList orderedVoices(const QList<QPair<QString, QLocale>> &voices);

public slots:
    /// Connects to the speech service and lists its voices: started() or failed().
    void start();
    void say(const QString &text, int id);
    void stop();
    /// An empty voice: the first of the list. Rate and pitch -1..1, volume 0..1.
    void configure(const QString &voice, double rate, double pitch, double volume);

signals:
    void started(const QStringList &voices);
    void failed(SpeechWorker::Problem problem);
    /// The sentence `id` was spoken to its end (not stopped).
    void spoken(int id);

private:
    void onStateChanged(int state);

    QTextToSpeech *engine = nullptr;
    QStringList voiceNames;
    QHash<QString, QLocale> voiceLocales;
    int current = -1;         // the sentence in the service, -1 when none or stopped
    bool sawSpeaking = false; // a Ready ends a sentence only after its Speaking
};
