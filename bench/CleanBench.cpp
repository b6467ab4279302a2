// Times the display pipeline on a generated web novel of about 27 M
// characters (about 54 MB in GBK, 78 MB in UTF-8) with the junk that pirate
// sites put in, 20 typical replacement rules, a script conversion and
// tidying; then the same on a book open in the reader, in the background,
// against reading the book's file whole, with the longest stall of the event
// loop meanwhile. Goals: at most 2 s, no stall over 50 ms.
// usage: tavril-bench-clean [characters] [form: t2s|s2t|s2twp|s2hk]
#include "Book.h"
#include "BookText.h"
#include "PipelineTransform.h"
#include "RuleTransform.h"
#include "ScriptConverter.h"
#include "TextPipeline.h"
#include "Tidy.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextCodec>
#include <QThread>

#include <cstdio>
#include <random>

namespace {

const char *const Paragraphs[] = {
    "天色渐渐暗了下来，山脚下的小镇亮起了点点灯火。李明背着旧书包走进客栈，掌柜抬头看了他一眼，问他要住几天。",
    "窗外下着小雨，雨水顺着屋檐滴在石板路上。她坐在台灯下翻看那本发黄的日记，里面记着十年前的许多往事。",
    "老王把鼠标往旁边一推，叹了口气说这台计算机又死机了。公司新买的软件和旧系统不兼容，打印机也连不上网络。",
    "第二天早上，太阳从东边升起来，照在湖面上，波光粼粼。渔夫们划着小船出发了，他们要到对岸去收网。",
    "“你为什么不早点告诉我？”张华站起身，脸色发白。“我以为你会明白的，”她低声说，“有些事情说出来反而更复杂。”",
    "这座城市的历史可以追溯到两千多年前。古代的皇帝曾在这里修建宫殿，后来经过多次战乱，许多建筑都被毁坏了。",
    "师父说，练武之人首先要修心，心不静则气不顺，气不顺则力不足。弟子们听了连连点头，可是真正能做到的又有几个呢？",
    "他们在山洞里发现了一张古老的地图，上面画着一条弯弯曲曲的河流和几座高山。队长决定明天一早出发。",
    "技术员说要重新安装操作系统，还得把内存条换掉，硬盘里的数据先用U盘拷出来，程序和文件都要备份。",
    "她在博客上发表了一篇关于旅行的文章，视频发布以后，点击量很快就超过了十万，很多网友在下面留言。",
    "Version 2.0 发布于 2023 年 12 月 8 日，修复了 15 个问题。请访问官方网站下载最新的程序。",
    "出租车停在酒店门口，无线网络的密码写在房卡背面，游泳池和健身房在顶层，早餐在二楼的餐厅。",
};
// What pirate sites add, one in about 30 lines.
const char *const Junk[] = {
    "请记住本站域名：www.xxx.com",
    "天才一秒记住本站地址：笔趣阁 最新章节无弹窗免费阅读！",
    "手机用户请浏览m.xxx.com阅读，更优质的阅读体验。",
    "（本章完）",
    "本章未完，点击下一页继续阅读",
    "求月票！求推荐票！",
    "-------------",
    "ps：今天两更，晚上还有一章。",
};

QString makeNovel(int characters)
{
    std::mt19937 rng(20240611);
    QString text;
    text.reserve(characters + 4096);
    int chapter = 1;
    while (text.size() < characters) {
        if (rng() % 100 == 0)
            text += QStringLiteral("\n第%1章 风起\n\n").arg(chapter++);
        if (rng() % 30 == 0)
            text += QString::fromUtf8(Junk[rng() % 8]) + QLatin1Char('\n');
        text += QStringLiteral("\u3000\u3000");
        for (int k = 2 + int(rng() % 5); k > 0; --k)
            text += QString::fromUtf8(Paragraphs[rng() % 12]);
        text += QLatin1Char('\n');
    }
    return text;
}

ReplaceRule rule(const char *pattern, bool regex, ReplaceRule::Scope scope = ReplaceRule::Both,
                 const char *replacement = "")
{
    ReplaceRule r;
    r.name = QString::fromUtf8(pattern);
    r.pattern = QString::fromUtf8(pattern);
    r.replacement = QString::fromUtf8(replacement);
    r.isRegex = regex;
    r.scope = scope;
    return r;
}

QList<ReplaceRule> typicalRules()
{
    return {
        rule("请记住本站域名", false),
        rule("www.xxx.com", false),
        rule("m.xxx.com", false),
        rule("天才一秒记住本站地址", false),
        rule("手机用户请浏览", false),
        rule("更优质的阅读体验。", false),
        rule("本章未完，点击下一页继续阅读", false),
        rule("求月票！", false),
        rule("求推荐票！", false),
        rule("&nbsp;", false),
        rule("顶点小说", false),
        rule("笔趣阁.*?最新章节", true),
        rule("\\s*[（(]?本章完[)）]?", true),
        rule("[wW]{3}\\.[a-zA-Z0-9]+\\.(?:com|net|org)", true),
        rule("^\\s*[-=*]{3,}\\s*$", true),
        rule("^\\s*ps[:：].*$", true),
        rule("(?:上一章|下一章|返回目录|加入书签)", true),
        rule("无弹窗免费阅读[！!]?", true),
        rule("^(第\\d+章)\\s+", true, ReplaceRule::HeadingsOnly, "$1　"),
        rule("[【\\[]\\s*(?:看书|阅读)网\\s*[】\\]]", true),
    };
}

QVector<TextRange> headingsOf(const QString &text)
{
    QVector<TextRange> out;
    for (int at = 0; at < text.size();) {
        int end = text.indexOf(QLatin1Char('\n'), at);
        if (end < 0)
            end = text.size();
        if (end - at < 40 && text.midRef(at, 1) == QStringLiteral("第"))
            out.append(TextRange{at, end});
        at = end + 1;
    }
    return out;
}

template <typename F> qint64 bestOf(int runs, F f)
{
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        const qint64 ms = t.elapsed();
        best = best < 0 ? ms : std::min(best, ms);
    }
    return best;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2)
                                       : QStringLiteral("?");
}

// The book open in the reader: its whole text shaped again in the background
// (the rules or the script just changed), while the event loop keeps beating.
bool inTheReader(const QString &novel, const TextPipeline::Settings &settings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("novel.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QTextCodec::codecForName("GBK")->fromUnicode(novel)) < 0)
        return false;
    file.close();
    QElapsedTimer clock;
    clock.start();
    const BookText whole = BookText::read(path, TextEncoding::Auto);
    const double readMs = clock.nsecsElapsed() / 1e6;

    auto transform = std::make_shared<PipelineTransform>();
    QString error;
    transform->setSettings(settings, &error);
    Book book;
    bool on = false;
    book.setTransformSource([&](const QString &) { return on ? transform : nullptr; });
    book.open(path);
    book.waitForText();
    on = true;
    qint64 worstGap = 0;
    QElapsedTimer beat;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { worstGap = qMax(worstGap, beat.restart()); });
    QSignalSpy completed(&book, &Book::textCompleted);
    clock.restart();
    heartbeat.start(5);
    beat.start();
    book.reshape();
    completed.wait(60000);
    const double shapeMs = clock.nsecsElapsed() / 1e6;
    worstGap = qMax(worstGap, beat.elapsed());
    std::printf("in the reader: whole book shaped in the background in %.0f ms, reading its file whole %.0f ms "
                "(ratio %.2f); longest event-loop stall %lld ms (goal 50 ms); shown %d characters of %d\n",
                shapeMs, readMs, shapeMs / readMs, (long long)worstGap, book.length(), whole.text.size());
    return shapeMs <= 2000 && worstGap <= 50;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int characters = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 27000000;
    const QString formName = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("s2twp");
    std::printf("load average before: %s, %d cores\n", qPrintable(loadAverage()), QThread::idealThreadCount());

    const QString novel = makeNovel(characters);
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    std::printf("novel: %d characters, %d MB as GBK, %d MB as UTF-8\n", novel.size(),
                gbk ? int(gbk->fromUnicode(novel).size() >> 20) : -1, int(novel.toUtf8().size() >> 20));
    const QVector<TextRange> headings = headingsOf(novel);

    ScriptConverter::Form form = ScriptConverter::Taiwan;
    for (int f = ScriptConverter::Simplified; f <= ScriptConverter::HongKong; ++f)
        if (ScriptConverter::configName(ScriptConverter::Form(f)) == formName)
            form = ScriptConverter::Form(f);
    TextPipeline pipeline;
    TextPipeline::Settings settings;
    settings.rules = typicalRules();
    settings.form = form;
    settings.tidy = Tidy::Options{true, true, true};
    QString error;
    QElapsedTimer loadTimer;
    loadTimer.start();
    if (!pipeline.setSettings(settings, &error)) {
        std::printf("settings: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("rules compiled and %s loaded: %lld ms\n", qPrintable(ScriptConverter::configName(form)),
                (long long)loadTimer.elapsed());
    ScriptConverter converter;
    converter.load(form, &error);

    for (int threads : {1, 2}) {
        RunLimits limits;
        limits.threads = threads;
        QString text;
        OffsetMap map;
        QStringList runaway;
        const RuleTransform rules(settings.rules);
        const qint64 tRules = bestOf(3, [&] { rules.apply(novel, headings, limits, &text, &map, &runaway, &error); });
        const int removed = novel.size() - text.size();
        QString converted;
        OffsetMap scriptMap;
        const qint64 tScript =
            bestOf(3, [&] { converter.convert(text, 0, text.size(), limits, &converted, &scriptMap, &error); });
        QString tidied;
        OffsetMap tidyMap;
        const qint64 tTidy =
            bestOf(3, [&] { Tidy::apply(converted, headings, settings.tidy, limits, &tidied, &tidyMap); });
        TextPipeline::Result result;
        const qint64 tAll = bestOf(3, [&] { pipeline.run(novel, headings, limits, &result, &error); });
        std::printf("%d thread(s): rules %lld ms (%d units removed, map %d pieces%s), script %lld ms (map %d pieces), "
                    "tidy %lld ms; whole pipeline %lld ms (best of 3), shown %d units, map %d pieces (%d KB)\n",
                    threads, (long long)tRules, removed, map.pieceCount(),
                    runaway.isEmpty() ? "" : qPrintable(QStringLiteral(", runaway: ") + runaway.join(QLatin1Char(','))),
                    (long long)tScript, scriptMap.pieceCount(), (long long)tTidy, (long long)tAll, result.text.size(),
                    result.map.pieceCount(), result.map.pieceCount() * 8 / 1024);
    }
    const int middle = novel.indexOf(QLatin1Char('\n'), novel.size() / 2) + 1;
    TextPipeline::Result part;
    QElapsedTimer t;
    t.start();
    pipeline.applyToStretch(novel, middle, middle + 20000, headings, RunLimits(), &part, &error);
    std::printf("visible stretch of 20 000 characters first: %lld us\n", (long long)(t.nsecsElapsed() / 1000));
    t.restart();
    const QString folded = ScriptConverter::folded(novel);
    std::printf("search fold of the whole novel: %lld ms (table built on first use)\n", (long long)t.elapsed());
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    return folded.size() == novel.size() && inTheReader(novel, settings) ? 0 : 1;
}
