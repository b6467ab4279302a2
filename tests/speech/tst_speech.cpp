#include "CommandTable.h"
#include "MainWindow.h"
#include "PrivateSpeech.h"
#include "Prompter.h"
#include "ReadAloud.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "SentenceSplitter.h"
#include "SpeechPreferences.h"
#include "TestFiles.h"

#include <QtTest>
#include <QtWidgets>

namespace {

struct AnsweringPrompter : Prompter
{
    void information(QWidget *, const QString &text) override { told << text; }
    QStringList told;
};

// A paragraph of five sentences: a full stop, a dialogue line that ends in
// its quote, an ellipsis, a semicolon.
QString paragraph(int n)
{
    return QStringLiteral("\u3000\u3000第%1段开头。他说：“走吧！”她没有回答……风很大；雨也来了。\n").arg(n);
}

QString chapters(int count, int paragraphs)
{
    QString text;
    for (int c = 1; c <= count; ++c) {
        text += QStringLiteral("第%1章 风起\n").arg(c);
        for (int p = 1; p <= paragraphs; ++p)
            text += paragraph(p);
    }
    return text;
}

// As speech-dispatcher hands it on: NFKC (，→, ！→! ；→;).
QStringList asSpoken(const QStringList &sentences)
{
    QStringList out;
    for (const QString &sentence : sentences)
        out << sentence.normalized(QString::NormalizationForm_KC);
    return out;
}

void run(MainWindow *window, const char *name)
{
    window->onHotkeyPressed(CommandTable::byName(QLatin1String(name))->command);
}

} // namespace

class TestSpeech : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    PrivateSpeech speech;
    AnsweringPrompter *prompter = nullptr;
    int books = 0;

    std::unique_ptr<MainWindow> makeWindow(const QString &text)
    {
        // A book of its own each time: no place kept from the last test.
        const QString path = writeFile(dir.filePath(QStringLiteral("book%1.txt").arg(++books)), text.toUtf8());
        std::unique_ptr<MainWindow> window(new MainWindow);
        window->setPrompter(prompter = new AnsweringPrompter);
        window->resize(300, 200);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        window->openFile(path);
        window->repaint();
        window->refreshAndPaint();
        return window;
    }
    static ReadAloud *readAloud(MainWindow *window) { return window->findChild<ReadAloud *>(); }
    // Reads aloud from the page until `count` sentences were spoken.
    bool readUntil(MainWindow *window, int count)
    {
        if (readAloud(window)->state() != ReadAloud::Reading)
            run(window, "read-aloud");
        return QTest::qWaitFor([&] { return speech.spoken().size() >= count; }, 10000);
    }

private slots:
    void initTestCase()
    {
        const QString problem = speech.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
    void init()
    {
        QFile::remove(iniPath());
        speech.clearSpoken();
        speech.setSpeakSeconds(0.05);
    }
    void cleanupTestCase() { QFile::remove(iniPath()); }

    void sentences_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // the sentences, between "|"
        QTest::newRow("stops and line ends") << "天色将晚。江上起了风！\n\n\u3000\u3000真的吗？是的"
                                             << "天色将晚。|江上起了风！|真的吗？|是的";
        QTest::newRow("quotes stay with their sentence") << "他说：“走吧！”她没有回答。「好。」『真的？』（完）"
                                                         << "他说：“走吧！”|她没有回答。|「好。」|『真的？』|（完）";
        QTest::newRow("ellipses and runs of marks") << "我……我不知道……。真的？！那好吧…"
                                                    << "我……|我不知道……。|真的？！|那好吧…";
        QTest::newRow("a dialogue line") << "“你来了？”“来了。”他笑了；她也笑了。"
                                         << "“你来了？”|“来了。”|他笑了；|她也笑了。";
        QTest::newRow("ascii") << "Hello world. Pi is 3.14! www.example.org is fine?"
                               << "Hello world.|Pi is 3.14!|www.example.org is fine?";
        QTest::newRow("crlf and blanks only") << "一句。\r\n\r\n   \r\n二句"
                                              << "一句。|二句";
        const QString clause = QStringLiteral("江水东流去，");
        QTest::newRow("a long sentence is cut after a comma")
            << clause.repeated(25) + QStringLiteral("完。")
            << QStringList(QStringList() << clause.repeated(20)).join(QString()) + "|" + clause.repeated(5) + "完。";
        const QString run = QStringLiteral("无标点的长句").repeated(30);
        QTest::newRow("a long sentence without commas") << run << run.left(120) + "|" + run.mid(120);
    }
    void sentences()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QStringList found;
        for (Sentence s = SentenceSplitter::next(text, 0, text.size()); s.isValid();
             s = SentenceSplitter::next(text, s.end, text.size()))
            found << text.mid(s.start, s.end - s.start);
        QCOMPARE(found.join('|'), expected);
    }

    void firstSentenceOnAPage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("expected");
        const QString text = QStringLiteral("甲乙丙。丁戊己”庚。\n辛壬癸");
        QTest::newRow("the page starts one") << text << 4 << 11 << 4;
        QTest::newRow("after a closing quote") << "他说：“好。”她笑" << 7 << 9 << 7;
        QTest::newRow("mid-sentence skips to the next") << text << 5 << 14 << 11;
        QTest::newRow("after a line end") << text << 11 << 14 << 11;
        QTest::newRow("none begins: the page's start") << text << 1 << 3 << 1;
    }
    void firstSentenceOnAPage()
    {
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, expected);
        QCOMPARE(SentenceSplitter::firstStartIn(text, from, to), expected);
    }

    void mandarinVoicesComeFirst()
    {
        const QLocale c = QLocale::c();
        const QList<QPair<QString, QLocale>> voices = {
            {"English (America)", QLocale(QLocale::English, QLocale::UnitedStates)},
            {"Chinese (Cantonese)", c},
            {"Chinese (Mandarin, latin as English)", c},
            {"tavril-zh", QLocale(QLocale::Chinese, QLocale::China)},
            {"Chinese (Mandarin, latin as Pinyin)", c},
            {"Sindarin", c}};
        QCOMPARE(SpeechWorker::orderedVoices(voices).join('|'),
                 QStringLiteral("Chinese (Mandarin, latin as Pinyin)|Chinese (Mandarin, latin as English)|tavril-zh|"
                                "Chinese (Cantonese)"));
    }

    // From the first sentence that begins on the page, one at a time, in
    // order; the sentence read is marked on the page.
    void readsFromThePagesFirstSentence()
    {
        const QString text = chapters(3, 30);
        auto window = makeWindow(text);
        window->readerObject()->session()->jumpTo(text.indexOf(QStringLiteral("开头")));
        const QImage unmarked = window->grab().toImage();
        QVERIFY(readUntil(window.get(), 5));
        QCOMPARE(speech.spoken().mid(0, 5),
                 asSpoken({"他说：“走吧！”", "她没有回答……", "风很大；", "雨也来了。", "第2段开头。"}));
        QCOMPARE(readAloud(window.get())->engine()->voices(), QStringList{"tavril-zh"});
        // The underline comes and goes with the preference.
        run(window.get(), "read-aloud");
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Paused);
        QVERIFY(window->grab().toImage() != unmarked);
        window->configObject()->setValue(QStringLiteral("speech/mark"), false);
        QCOMPARE(window->grab().toImage(), unmarked);
    }

    // The page turns as the voice passes its end; the automatic bookmark follows.
    void thePageFollowsTheVoice()
    {
        auto window = makeWindow(chapters(3, 30));
        ReadingSession *session = window->readerObject()->session();
        const int firstPageEnd = session->pageEnd();
        QVERIFY(readUntil(window.get(), 1));
        QVERIFY(QTest::qWaitFor([&] { return session->position() > 0; }, 20000));
        const Sentence read = readAloud(window.get())->sentence();
        QCOMPARE(session->position(), firstPageEnd);
        QVERIFY(read.start >= session->position() && read.start < session->pageEnd());
        run(window.get(), "stop-reading");
        window->readerObject()->book()->flushBookmarks();
        QCOMPARE(window->readerObject()->book()->lastReadOffset(), session->position());
    }

    // Hiding silences the voice within 100 ms, and nothing more is said;
    // showing resumes only when asked to, at the sentence cut short.
    void hidingSilencesAtOnce()
    {
        auto window = makeWindow(chapters(2, 10));
        speech.setSpeakSeconds(5);
        QVERIFY(readUntil(window.get(), 2)); // the heading, then a long sentence
        QVERIFY(QTest::qWaitFor([&] { return PrivateSpeech::runs(speech.speakingPid()); }, 2000));
        const qint64 speaking = speech.speakingPid();
        QElapsedTimer clock;
        clock.start();
        window->hide();
        while (PrivateSpeech::runs(speaking) && clock.elapsed() < 2000)
            QThread::msleep(2);
        QVERIFY2(clock.elapsed() <= 100, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(500);
        window->show();
        QTest::qWait(500);
        QCOMPARE(speech.spoken().size(), 2);
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Paused);

        window->configObject()->setValue(QStringLiteral("speech/resumeOnShow"), true);
        window->hide();
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Paused);
        window->show();
        QVERIFY(QTest::qWaitFor([&] { return speech.spoken().size() == 3; }, 5000));
        QCOMPARE(speech.spoken().at(2), speech.spoken().at(1));
        run(window.get(), "stop-reading");
        QVERIFY(QTest::qWaitFor([&] { return !PrivateSpeech::runs(speech.speakingPid()); }, 1000));
    }

    // A move by hand starts the voice at the new page.
    void aMoveByHandRestartsTheVoice()
    {
        auto window = makeWindow(chapters(3, 30));
        speech.setSpeakSeconds(1);
        QVERIFY(readUntil(window.get(), 1));
        run(window.get(), "next-chapter");
        QVERIFY(QTest::qWaitFor([&] { return speech.spoken().size() >= 2; }, 5000));
        QCOMPARE(speech.spoken().at(1), QStringLiteral("第2章 风起"));
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Reading);
        run(window.get(), "stop-reading");
    }

    // Pages turning by themselves and the voice exclude each other.
    void autoTurnStopsTheVoiceAndTheOtherWay()
    {
        auto window = makeWindow(chapters(1, 30));
        speech.setSpeakSeconds(1);
        QVERIFY(readUntil(window.get(), 1));
        run(window.get(), "auto-turn");
        QVERIFY(window->isTurningPages());
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Stopped);
        run(window.get(), "read-aloud");
        QVERIFY(!window->isTurningPages());
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Reading);
        run(window.get(), "stop-reading");
    }

    void theSleepTimerStops_data()
    {
        QTest::addColumn<int>("sleep");
        QTest::addColumn<QString>("lastSpoken");
        QTest::addColumn<QString>("note");
        QTest::newRow("after 15 minutes") << 15 << QString() << "定时结束，朗读已停止";
        QTest::newRow("at the chapter's end") << -1 << "雨也来了。"
                                              << "本章已读完，朗读已停止";
    }
    void theSleepTimerStops()
    {
        QFETCH(int, sleep);
        QFETCH(QString, lastSpoken);
        QFETCH(QString, note);
        auto window = makeWindow(chapters(2, 2));
        window->configObject()->setValue(QStringLiteral("speech/sleep"), sleep);
        readAloud(window.get())->setMinuteLength(20); // 15 "minutes": 300 ms
        speech.setSpeakSeconds(sleep > 0 ? 0.2 : 0.01);
        run(window.get(), "read-aloud");
        QVERIFY(QTest::qWaitFor([&] { return readAloud(window.get())->state() == ReadAloud::Stopped; }, 10000));
        QCOMPARE(readAloud(window.get())->note(), note);
        if (!lastSpoken.isEmpty())
            QCOMPARE(speech.spoken().join('|'),
                     asSpoken({"第1章 风起", "第1段开头。", "他说：“走吧！”", "她没有回答……", "风很大；", "雨也来了。",
                               "第2段开头。", "他说：“走吧！”", "她没有回答……", "风很大；", "雨也来了。"})
                         .join('|'));
        else
            QVERIFY(speech.spoken().size() < 4);
    }

    // The voices are asked for when the page first shows; a choice is stored.
    void thePreferencesListTheVoices()
    {
        auto window = makeWindow(chapters(1, 1));
        run(window.get(), "preferences");
        auto *page = window->findChild<SpeechPreferences *>();
        QVERIFY(page);
        auto *tabs = page->parentWidget()->parentWidget();
        static_cast<QTabWidget *>(tabs)->setCurrentWidget(page);
        auto *voices = page->findChild<QComboBox *>(QStringLiteral("cbb_voice"));
        QTRY_COMPARE(voices->count(), 2);
        QCOMPARE(voices->itemText(1), QStringLiteral("tavril-zh"));
        voices->setCurrentIndex(1);
        emit voices->activated(1);
        QCOMPARE(iniValue(QStringLiteral("speech/voice")).toString(), QStringLiteral("tavril-zh"));
    }

    // A service that is not there, or dies while reading: one message, no hang, the place kept.
    void withoutAServiceOneMessage()
    {
        PrivateSpeech::useServer(dir.filePath(QStringLiteral("no-such.sock")));
        {
            auto window = makeWindow(chapters(1, 5));
            run(window.get(), "read-aloud");
            QTRY_COMPARE(prompter->told.size(), 1);
            QCOMPARE(prompter->told.at(0), SpeechEngine::problemText(SpeechWorker::NotInstalled));
            QVERIFY(prompter->told.at(0).contains(QStringLiteral("speech-dispatcher-espeak-ng")));
            QCOMPARE(readAloud(window.get())->state(), ReadAloud::Stopped);
        }
        PrivateSpeech::useServer(speech.socket());
        auto window = makeWindow(chapters(3, 30));
        readAloud(window.get())->engine()->setAnswerLimit(1500, 0);
        speech.setSpeakSeconds(0.5);
        QVERIFY(readUntil(window.get(), 2));
        const int place = window->readerObject()->session()->position();
        speech.crash();
        QTRY_COMPARE_WITH_TIMEOUT(prompter->told.size(), 1, 5000);
        QCOMPARE(prompter->told.at(0), SpeechEngine::problemText(SpeechWorker::NoAnswer));
        QCOMPARE(readAloud(window.get())->state(), ReadAloud::Stopped);
        QTest::qWait(500);
        QCOMPARE(prompter->told.size(), 1);
        QCOMPARE(window->readerObject()->session()->position(), place);
    }

    // espeak-ng's Mandarin voice, which the set-up installs, makes sound.
    void espeakSpeaksMandarin()
    {
        const QString wav = dir.filePath(QStringLiteral("voice.wav"));
        QProcess espeak;
        espeak.start(QStringLiteral("espeak-ng"), {"-v", "cmn-latn-pinyin", "-w", wav, QStringLiteral("你好，世界")});
        QVERIFY2(espeak.waitForFinished(20000) && espeak.exitCode() == 0, qPrintable(espeak.errorString()));
        const QByteArray audio = readFile(wav);
        QVERIFY(audio.startsWith("RIFF") && audio.size() > 10000);
        QVERIFY(audio.mid(44).count('\0') < audio.size() - 44); // not silence
    }
};

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
