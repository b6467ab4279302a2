#pragma once

#include "SentenceSplitter.h"
#include "SpeechEngine.h"

#include <QObject>
#include <QTimer>

class CommandDispatcher;
class QPainter;
class QRect;
class Reader;
class ReaderConfig;
class ReadingSession;

/// The book read aloud (朗读), one sentence at a time from the first one that
/// begins on the page. The page turns when the voice passes its end, so the
/// automatic bookmark follows the voice; a move by hand starts the voice at
/// the new page. Hiding the window silences it at once; a sleep timer ends it.
class ReadAloud : public QObject
{
    Q_OBJECT

public:
    enum State { Stopped, Reading, Paused };
    Q_ENUM(State)

    explicit ReadAloud(Reader *reader, QObject *parent = nullptr);
    ~ReadAloud() override;

    /// Registers read-aloud and stop-reading; pages turning by themselves stop it.
    void addTo(CommandDispatcher *dispatcher);
    State state() const { return state_; }
    SpeechEngine *engine() { return &engine_; }
    /// The sentence being read (or where a pause left off).
    Sentence sentence() const { return current; }
    /// Starts reading, or pauses, or resumes where the pause left off.
    void toggle();
    void stop();
    /// The window was hidden: silent at once, paused.
    void silence();
    /// The window is shown again: resumes when the user asked for that.
    void windowShown();
    /// Why reading ended by itself (the sleep timer, the book's end), shown
    /// on the page until the next command or move; empty otherwise.
    QString note() const { return note_; }
    void paintNote(QPainter *painter, const QRect &page) const;
    /// The length of a minute of the sleep timer, in ms (tests shorten it).
    void setMinuteLength(int ms) { minuteLength = ms; }

signals:
    /// The state, the sentence or the note changed: the page may look different.
    void changed();
    /// A sentence was handed to the speech service.
    void sentenceStarted(int start, int end);
    /// Something the user must be told (in a message box).
    void message(const QString &text);

private:
    void start();
    void resume();
    void speakFrom(int from);
    Sentence nextSpeakable(int from, QString *spoken);
    void followPage(const Sentence &sentence);
    void onSpoken(int id);
    void onFailed(SpeechEngine::Problem problem);
    void onPageChanged();
    void onSettingChanged(const QString &key);
    void configureEngine();
    void startSleepTimer();
    void finish(const QString &note);
    void setState(State state);
    void showMark();
    int pageStart() const;

    Reader *reader;
    ReadingSession *session;
    ReaderConfig *config;
    SpeechEngine engine_;
    State state_ = Stopped;
    Sentence current;
    int sentenceId = 0;
    int lastPosition = -1;
    int chapterEnd = -1; // with the timer set to the chapter's end
    bool turning = false;
    bool pausedByHiding = false;
    QTimer sleepTimer;
    int minuteLength = 60000;
    QString note_;
};
