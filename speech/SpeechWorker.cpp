#include "SpeechWorker.h"

#include <QTextToSpeech>
#include <QVoice>

#include <algorithm>

namespace {

// 0: Mandarin read as pinyin (espeak-ng's good Mandarin voice), 1: other
// Mandarin, 2: other Chinese (Cantonese, Hakka), 3: not Chinese.
int rank(const QString &name, const QLocale &locale)
{
    const bool mandarin = name.contains(QLatin1String("Mandarin"), Qt::CaseInsensitive) ||
                          name.contains(QStringLiteral("普通话")) ||
                          (locale.language() == QLocale::Chinese &&
                           (locale.country() == QLocale::China || locale.country() == QLocale::Taiwan ||
                            locale.country() == QLocale::Singapore));
    if (mandarin && name.contains(QLatin1String("Pinyin"), Qt::CaseInsensitive))
        return 0;
    if (mandarin)
        return 1;
    // Qt 5 knows no locale for "cmn" or "yue" codes: such voices sit under C.
    const bool chinese = locale.language() == QLocale::Chinese || locale.language() == QLocale::Cantonese ||
                         name.contains(QLatin1String("Chinese"), Qt::CaseInsensitive) ||
                         name.contains(QLatin1String("Cantonese"), Qt::CaseInsensitive) ||
                         name.contains(QStringLiteral("中文"));
    return chinese ? 2 : 3;
}

} // namespace

SpeechWorker::SpeechWorker() : QObject(nullptr)
{
    qRegisterMetaType<SpeechWorker::Problem>();
}

SpeechWorker::~SpeechWorker()
{
    delete engine;
}

QStringList SpeechWorker::orderedVoices(const QList<QPair<QString, QLocale>> &voices)
{
    QList<QPair<QString, QLocale>> chinese;
    for (const auto &voice : voices) {
        if (rank(voice.first, voice.second) < 3)
            chinese << voice;
    }
    std::stable_sort(chinese.begin(), chinese.end(),
                     [](const auto &a, const auto &b) { return rank(a.first, a.second) < rank(b.first, b.second); });
    QStringList names;
    for (const auto &voice : chinese) {
        if (!names.contains(voice.first))
            names << voice.first;
    }
    return names;
}

void SpeechWorker::start()
{
    if (engine) {
        emit started(voiceNames);
        return;
    }
    if (QTextToSpeech::availableEngines().isEmpty()) {
        emit failed(NotInstalled);
        return;
    }
    engine = new QTextToSpeech(this);
    if (engine->state() == QTextToSpeech::BackendError) {
        delete engine;
        engine = nullptr;
        emit failed(NotInstalled);
        return;
    }
    QList<QPair<QString, QLocale>> voices;
    for (const QLocale &locale : engine->availableLocales()) {
        engine->setLocale(locale);
        for (const QVoice &voice : engine->availableVoices()) {
            voices << qMakePair(voice.name(), locale);
            voiceLocales.insert(voice.name(), locale);
        }
    }
    voiceNames = orderedVoices(voices);
    if (voiceNames.isEmpty()) {
        delete engine;
        engine = nullptr;
        emit failed(NoVoice);
        return;
    }
    connect(engine, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) { onStateChanged(state); });
    configure(QString(), 0, 0, 1);
    emit started(voiceNames);
}

void SpeechWorker::configure(const QString &voice, double rate, double pitch, double volume)
{
    if (!engine)
        return;
    const QString name = voiceNames.contains(voice) ? voice : voiceNames.value(0);
    // A voice is chosen within its locale; the service is told the language.
    engine->setLocale(voiceLocales.value(name));
    for (const QVoice &candidate : engine->availableVoices()) {
        if (candidate.name() == name) {
            engine->setVoice(candidate);
            break;
        }
    }
    engine->setRate(qBound(-1.0, rate, 1.0));
    engine->setPitch(qBound(-1.0, pitch, 1.0));
    engine->setVolume(qBound(0.0, volume, 1.0));
}

void SpeechWorker::say(const QString &text, int id)
{
    if (!engine)
        return;
    current = id;
    sawSpeaking = false;
    engine->say(text);
}

void SpeechWorker::stop()
{
    // The Ready that follows looks like a sentence's end: it is not one.
    current = -1;
    if (engine)
        engine->stop();
}

void SpeechWorker::onStateChanged(int state)
{
    if (state == QTextToSpeech::Speaking) {
        sawSpeaking = true;
    } else if (state == QTextToSpeech::Ready && sawSpeaking && current >= 0) {
        const int id = current;
        current = -1;
        emit spoken(id);
    } else if (state == QTextToSpeech::BackendError) {
        current = -1;
        emit failed(NoAnswer);
    }
}
