// Tests of the clean-text library. Expected texts are written out by hand
// (script conversions checked once against the opencc command); expected
// offset maps are written as edit scripts ("k3 r2:0 k1": keep 3, replace 2
// source units by 0, keep 1) and turned into per-position tables by a naive
// procedure in this file that shares nothing with OffsetMap.
#include "OffsetMap.h"
#include "OffsetMapBuilder.h"
#include "RuleFile.h"
#include "RuleTransform.h"
#include "ScriptConverter.h"
#include "TextPipeline.h"
#include "Tidy.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include <random>

namespace {

struct Op
{
    bool keep;
    int source;
    int shown;
};

QVector<Op> parseOps(const QString &script)
{
    QVector<Op> ops;
    for (const QString &word : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word.startsWith(QLatin1Char('k'))) {
            const int n = word.mid(1).toInt();
            ops.append(Op{true, n, n});
        } else {
            const QStringList sides = word.mid(1).split(QLatin1Char(':'));
            ops.append(Op{false, sides.value(0).toInt(), sides.value(1).toInt()});
        }
    }
    return ops;
}

OffsetMap buildMap(const QVector<Op> &ops)
{
    OffsetMapBuilder b;
    for (const Op &op : ops)
        op.keep ? b.keep(op.source) : b.replace(op.source, op.shown);
    return b.finish();
}

// The meaning of a map, position by position: a kept unit maps to itself; a
// position inside a replaced stretch (or the one position of an empty one)
// maps to the start of the other side; the earliest stretch claims a
// position.
struct Table
{
    QVector<int> forward, backward;
};

Table naiveTable(const QVector<Op> &input)
{
    QVector<Op> ops;
    for (const Op &op : input) {
        if (op.source == 0 && op.shown == 0)
            continue;
        if (op.keep && !ops.isEmpty() && ops.last().keep) {
            ops.last().source += op.source;
            ops.last().shown += op.shown;
        } else {
            ops.append(op);
        }
    }
    int S = 0, D = 0;
    for (const Op &op : ops) {
        S += op.source;
        D += op.shown;
    }
    Table t{QVector<int>(S + 1, -1), QVector<int>(D + 1, -1)};
    auto claim = [](QVector<int> &v, int i, int x) {
        if (v[i] < 0)
            v[i] = x;
    };
    int s = 0, d = 0;
    for (const Op &op : ops) {
        for (int i = 0; i < std::max(op.source, 1); ++i)
            if (op.source > 0 || i == 0)
                claim(t.forward, s + i, op.keep ? d + i : d);
        for (int j = 0; j < std::max(op.shown, 1); ++j)
            if (op.shown > 0 || j == 0)
                claim(t.backward, d + j, op.keep ? s + j : s);
        s += op.source;
        d += op.shown;
    }
    claim(t.forward, S, D);
    claim(t.backward, D, S);
    return t;
}

// Every position, both ways, plus the round-trip guarantees.
void compareMap(const OffsetMap &map, const Table &t)
{
    QCOMPARE(map.sourceLength(), t.forward.size() - 1);
    QCOMPARE(map.shownLength(), t.backward.size() - 1);
    for (int p = 0; p < t.forward.size(); ++p) {
        QCOMPARE(map.toShown(p), t.forward[p]);
        QVERIFY(map.toSource(map.toShown(p)) <= p);
        QVERIFY(p == 0 || map.toShown(p) >= map.toShown(p - 1));
    }
    for (int q = 0; q < t.backward.size(); ++q) {
        QCOMPARE(map.toSource(q), t.backward[q]);
        QVERIFY(map.toShown(map.toSource(q)) <= q);
    }
}

QVector<Op> randomOps(std::mt19937 &rng, int sourceLength = -1)
{
    QVector<Op> ops;
    for (int s = 0, n = 1 + int(rng() % 25); sourceLength < 0 ? int(ops.size()) < n : s < sourceLength;) {
        Op op = rng() % 2 ? Op{true, int(rng() % 5), 0} : Op{false, int(rng() % 4), int(rng() % 4)};
        if (sourceLength >= 0)
            op.source = std::min(op.source, sourceLength - s);
        if (op.keep)
            op.shown = op.source;
        s += op.source;
        ops.append(op);
    }
    return ops;
}

QString u(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

ReplaceRule rule(const QString &name, const QString &pattern, const QString &replacement, bool regex = false,
                 int order = 0, ReplaceRule::Scope scope = ReplaceRule::Both)
{
    ReplaceRule r;
    r.name = name;
    r.pattern = pattern;
    r.replacement = replacement;
    r.isRegex = regex;
    r.order = order;
    r.scope = scope;
    return r;
}

const ScriptConverter &converter(ScriptConverter::Form form)
{
    static QMap<int, ScriptConverter> loaded;
    if (!loaded.contains(form)) {
        QString error;
        ScriptConverter c;
        if (!c.load(form, &error))
            qWarning("cannot load form %d: %s", int(form), qPrintable(error));
        loaded.insert(form, c);
    }
    return loaded[form];
}

} // namespace

Q_DECLARE_METATYPE(QVector<TextRange>)
Q_DECLARE_METATYPE(QList<ReplaceRule>)
Q_DECLARE_METATYPE(ScriptConverter::Form)

class TestClean : public QObject
{
    Q_OBJECT

private slots:
    void offsetMap_data();
    void offsetMap();
    void offsetMapRandom();
    void ruleFileRead_data();
    void ruleFileRead();
    void ruleFileRoundTrip();
    void rules_data();
    void rules();
    void runaway_data();
    void runaway();
    void preview();
    void script_data();
    void script();
    void scriptStretchesAndThreads();
    void scriptCustom_data();
    void scriptCustom();
    void scriptLoadFailures_data();
    void scriptLoadFailures();
    void fold_data();
    void fold();
    void tidy_data();
    void tidy();
    void pipeline();
    void pipelineStretch();
    void badInput();
};

void TestClean::offsetMap_data()
{
    QTest::addColumn<QString>("ops");
    QTest::addColumn<bool>("identity");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("unchanged") << "k7" << true;
    QTest::newRow("same length replaced is not identity") << "k2 r2:2 k1" << false;
    QTest::newRow("removal inside") << "k3 r2:0 k4" << false;
    QTest::newRow("removal at start") << "r3:0 k2" << false;
    QTest::newRow("removal at end") << "k2 r3:0" << false;
    QTest::newRow("insertion inside") << "k2 r0:3 k2" << false;
    QTest::newRow("insertion at start") << "r0:2 k3" << false;
    QTest::newRow("insertion at end") << "k3 r0:2" << false;
    QTest::newRow("longer") << "k1 r2:5 k1" << false;
    QTest::newRow("shorter") << "k1 r5:2 k1" << false;
    QTest::newRow("replaces in a row stay apart") << "k1 r2:3 r1:1 r2:0 k2" << false;
    QTest::newRow("removal then replace") << "k1 r2:0 r1:3 k1" << false;
    QTest::newRow("removal then insertion") << "k1 r2:0 r0:3 k1" << false;
    QTest::newRow("insertion then removal") << "k1 r0:2 r3:0 k1" << false;
    QTest::newRow("everything removed") << "r5:0" << false;
    QTest::newRow("everything inserted") << "r0:4" << false;
    QTest::newRow("zero keeps ignored") << "k0 k2 k0 r1:0 k0 k1" << false;
}

void TestClean::offsetMap()
{
    QFETCH(QString, ops);
    QFETCH(bool, identity);
    const OffsetMap map = buildMap(parseOps(ops));
    QCOMPARE(map.isIdentity(), identity);
    compareMap(map, naiveTable(parseOps(ops)));
    if (identity)
        QCOMPARE(map.pieceCount(), 0);
    // Out-of-range positions are clamped, not trusted.
    QCOMPARE(map.toShown(-5), map.toShown(0));
    QCOMPARE(map.toShown(map.sourceLength() + 9), map.toShown(map.sourceLength()));
}

void TestClean::offsetMapRandom()
{
    // An unchanged stretch costs nothing, also when cut out of a changed map.
    QVERIFY(buildMap(parseOps("k3 r2:0 k4")).slice(5, 9).isIdentity());
    std::mt19937 rng(20240611);
    for (int round = 0; round < 400; ++round) {
        const QVector<Op> a = randomOps(rng);
        const OffsetMap ma = buildMap(a);
        const Table ta = naiveTable(a);
        compareMap(ma, ta);
        // Composition equals the two lookups in turn, both ways.
        const QVector<Op> b = randomOps(rng, ma.shownLength());
        const OffsetMap mb = buildMap(b);
        const Table tb = naiveTable(b);
        QCOMPARE(mb.sourceLength(), ma.shownLength());
        const OffsetMap ab = ma.then(mb);
        QCOMPARE(ab.sourceLength(), ma.sourceLength());
        QCOMPARE(ab.shownLength(), mb.shownLength());
        for (int p = 0; p <= ab.sourceLength(); ++p)
            QCOMPARE(ab.toShown(p), tb.forward[ta.forward[p]]);
        for (int q = 0; q <= ab.shownLength(); ++q)
            QCOMPARE(ab.toSource(q), ta.backward[tb.backward[q]]);
        // A slice is the same function, shifted; shown positions whose
        // source lies before the slice give its start.
        const int from = int(rng() % (ma.sourceLength() + 1));
        const int to = from + int(rng() % (ma.sourceLength() - from + 1));
        const OffsetMap slice = ma.slice(from, to);
        const int shownFrom = ta.forward[from];
        QCOMPARE(slice.sourceLength(), to - from);
        QCOMPARE(slice.shownLength(), ta.forward[to] - shownFrom);
        for (int x = 0; x <= to - from; ++x)
            QCOMPARE(slice.toShown(x), ta.forward[from + x] - shownFrom);
        for (int y = 0; y <= slice.shownLength(); ++y)
            QCOMPARE(slice.toSource(y), std::clamp(ta.backward[shownFrom + y], from, to) - from);
        // Appending maps concatenates the functions; the earlier one keeps the junction.
        OffsetMapBuilder joined;
        joined.append(ma);
        joined.append(mb);
        const OffsetMap j = joined.finish();
        const int S = ma.sourceLength(), D = ma.shownLength();
        for (int p = 0; p <= j.sourceLength(); ++p)
            QCOMPARE(j.toShown(p), p <= S ? ta.forward[p] : D + tb.forward[p - S]);
        for (int q = 0; q <= j.shownLength(); ++q)
            QCOMPARE(j.toSource(q), q <= D ? ta.backward[q] : S + tb.backward[q - D]);
    }
}

void TestClean::ruleFileRead_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("problems"); // each must appear, in order
    QTest::newRow("not JSON") << QByteArray("[{\"pattern\": ") << false << 0 << QStringList{u("不是有效的规则文件")};
    QTest::newRow("JSON number") << QByteArray("42") << false << 0 << QStringList{u("不是有效的规则文件")};
    QTest::newRow("empty array") << QByteArray("[]") << true << 0 << QStringList();
    QTest::newRow("single object") << QByteArray("{\"pattern\":\"x\"}") << true << 1 << QStringList();
    QTest::newRow("malformed entries")
        << u("[1, {\"name\":\"空\",\"pattern\":\"\"}, {\"pattern\":\"(\",\"isRegex\":true}, {\"pattern\":\"x\","
             "\"order\":\"5\"}, {\"pattern\":\"y\"}, {\"pattern\":\"z\",\"isEnabled\":\"yes\"}, {\"pattern\":\"w\","
             "\"order\":1.5}, {\"pattern\":\"v\",\"scopeTitle\":false,\"scopeContent\":false}, "
             "{\"replacement\":\"a\"}]")
               .toUtf8()
        << true << 1
        << QStringList{u("第 1 条：不是一个对象"),
                       u("第 2 条（空）：缺少"),
                       u("第 3 条：正则表达式有误"),
                       u("第 4 条：order 的类型不对"),
                       u("第 6 条：isEnabled 的类型不对"),
                       u("第 7 条：order"),
                       u("第 8 条：既不作用于标题也不作用于正文"),
                       u("第 9 条：缺少")};
}

void TestClean::ruleFileRead()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(int, count);
    QFETCH(QStringList, problems);
    QList<ReplaceRule> rules;
    QStringList messages;
    QCOMPARE(RuleFile::read(json, &rules, &messages), ok);
    QCOMPARE(rules.size(), count);
    QCOMPARE(messages.size(), problems.size());
    for (int i = 0; i < problems.size(); ++i)
        QVERIFY2(messages[i].contains(problems[i]), qPrintable(messages[i]));
}

void TestClean::ruleFileRoundTrip()
{
    const QByteArray json = u(R"([
        {"id": 1700000000001, "name": "广告", "group": "通用", "pattern": "请记住本站域名", "replacement": "",
         "isRegex": false, "isEnabled": true, "order": 3, "scope": "某书源", "timeoutMillisecond": 3000},
        {"name": "章末", "pattern": "\\s*[（(]?本章完[)）]?", "replacement": "$1", "isRegex": true,
         "isEnabled": false, "order": -2, "scopeTitle": true, "scopeContent": true, "extra": {"a": [1, 2]}},
        {"name": "标题", "pattern": "第", "isRegex": false, "scopeTitle": true, "scopeContent": false, "group": null}
    ])")
                                .toUtf8();
    QList<ReplaceRule> rules;
    QStringList problems;
    QVERIFY(RuleFile::read(json, &rules, &problems));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QCOMPARE(rules.size(), 3);
    QCOMPARE(rules[0].name, u("广告"));
    QCOMPARE(rules[0].group, u("通用"));
    QCOMPARE(rules[0].order, 3);
    QCOMPARE(rules[0].scope, ReplaceRule::BodyOnly); // scopeTitle missing: false; scopeContent missing: true
    QCOMPARE(rules[0].unknownFields().value(QStringLiteral("scope")).toString(), u("某书源"));
    QCOMPARE(rules[1].pattern, u("\\s*[（(]?本章完[)）]?"));
    QVERIFY(rules[1].isRegex && !rules[1].enabled);
    QCOMPARE(rules[1].order, -2);
    QCOMPARE(rules[1].scope, ReplaceRule::Both);
    QCOMPARE(rules[2].scope, ReplaceRule::HeadingsOnly);
    QVERIFY(rules[2].enabled && !rules[2].isRegex && rules[2].replacement.isEmpty() && rules[2].group.isEmpty());

    const QByteArray written = RuleFile::write(rules);
    QVERIFY(written.contains(u("请记住本站域名").toUtf8())); // UTF-8, not \u escapes
    QVERIFY(written.contains("\"timeoutMillisecond\":3000"));
    QCOMPARE(written.count('\n'), rules.size() + 2); // one rule per line between [ and ]
    QList<ReplaceRule> back;
    QVERIFY(RuleFile::read(written, &back, &problems));
    QVERIFY(problems.isEmpty());
    QCOMPARE(back, rules);
    QCOMPARE(back[1].unknownFields().value(QStringLiteral("extra")).toObject(),
             QJsonDocument::fromJson("{\"a\":[1,2]}").object());
    // A changed rule must not compare equal (operator== is what the round trip relies on).
    back[2].scope = ReplaceRule::Both;
    QVERIFY(back != rules);
}

void TestClean::rules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<ReplaceRule>>("rules");
    QTest::addColumn<QVector<TextRange>>("headings");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("ops");
    const QVector<TextRange> none;
    QTest::newRow("plain removal") << u("甲请记住本站域名乙请记住本站域名")
                                   << QList<ReplaceRule>{rule("a", u("请记住本站域名"), "")} << none << u("甲乙")
                                   << "k1 r7:0 k1 r7:0";
    QTest::newRow("plain is literal") << u("a.b axb") << QList<ReplaceRule>{rule("a", "a.b", "$1")} << none
                                      << u("$1 axb") << "r3:2 k4";
    QTest::newRow("regex groups") << u("第12楼和3楼") << QList<ReplaceRule>{rule("a", "(\\d+)楼", "$1层$0", true)}
                                  << none << u("第12层12楼和3层3楼") << "k1 r3:6 k1 r2:4";
    QTest::newRow("named group and escapes")
        << u("价99元") << QList<ReplaceRule>{rule("a", "(?<n>\\d+)元", "\\$${n}\\\\", true)} << none << u("价$99\\")
        << "k1 r3:4";
    QTest::newRow("absent group inserts nothing")
        << u("ab") << QList<ReplaceRule>{rule("a", "a(x)?", "[$1$7]", true)} << none << u("[]b") << "r1:2 k1";
    QTest::newRow("multi-line anchors") << u("广告一\n正文\n广告二")
                                        << QList<ReplaceRule>{rule("a", "^广告.*$", "", true)} << none << u("\n正文\n")
                                        << "r3:0 k4 r3:0";
    QTest::newRow("empty matches change nothing")
        << u("abc") << QList<ReplaceRule>{rule("a", "x*", "y", true)} << none << u("abc") << "k3";
    QTest::newRow("sorted by order, stable")
        << u("aab")
        << QList<ReplaceRule>{rule("A", "a", "x", false, 2), rule("B", "ab", "", false, 1),
                              rule("C", "x", "yy", false, 2)}
        << none << u("yy") << "r1:2 r2:0";
    QList<ReplaceRule> chain; // a→b, b→c, … s→t: only list order turns a into t
    for (char c = 'a'; c < 't'; ++c)
        chain.append(rule(QString(QLatin1Char(c)), QString(QLatin1Char(c)), QString(QLatin1Char(c + 1))));
    QTest::newRow("many rules of one order keep list order") << u("a") << chain << none << u("t") << "r1:1";
    QList<ReplaceRule> disabled{rule("a", "b", "c")};
    disabled[0].enabled = false;
    QTest::newRow("disabled rule") << u("abc") << disabled << none << u("abc") << "k3";
    const QVector<TextRange> heading{TextRange{0, 4}};
    QTest::newRow("headings only") << u("第一章完\n正文完")
                                   << QList<ReplaceRule>{rule("a", "完", "", false, 0, ReplaceRule::HeadingsOnly)}
                                   << heading << u("第一章\n正文完") << "k3 r1:0 k4";
    QTest::newRow("body only") << u("第一章完\n正文完")
                               << QList<ReplaceRule>{rule("a", "完", "", false, 0, ReplaceRule::BodyOnly)} << heading
                               << u("第一章完\n正文") << "k7 r1:0";
    QTest::newRow("headings follow earlier rules")
        << u("广告广告\n第一章完\n正文完")
        << QList<ReplaceRule>{rule("a", u("广告"), "", false, 0),
                              rule("b", "完", "!", false, 1, ReplaceRule::HeadingsOnly)}
        << QVector<TextRange>{TextRange{5, 9}} << u("\n第一章!\n正文完") << "r4:0 k4 r1:1 k4";
}

void TestClean::rules()
{
    QFETCH(QString, text);
    QFETCH(QList<ReplaceRule>, rules);
    QFETCH(QVector<TextRange>, headings);
    QFETCH(QString, expected);
    QFETCH(QString, ops);
    const RuleTransform transform(rules);
    QVERIFY(transform.problems().isEmpty());
    QString out, error;
    OffsetMap map;
    QStringList runaway;
    QVERIFY(transform.apply(text, headings, RunLimits(), &out, &map, &runaway, &error));
    QCOMPARE(out, expected);
    QVERIFY(runaway.isEmpty());
    compareMap(map, naiveTable(parseOps(ops)));
}

void TestClean::runaway_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("budget");
    QTest::addColumn<int>("lines");
    const QString aaab = QString(4000, QLatin1Char('a')) + QStringLiteral("b");
    QTest::newRow("(a|aa)+$") << aaab << "(a|aa)+$" << 500 << 300;
    QTest::newRow("(.*)*第") << u("　　第二天早上，太阳从东边升起来。他完成了任务，说完就走了。") << u("(.*)*第") << 500
                             << 300;
    // 12 M matches take seconds: the deadline, not PCRE2, stops this one.
    QTest::newRow("deadline") << aaab << "[ab]" << 300 << 3000;
}

// A runaway rule is left out entirely and named; the rules around it apply.
void TestClean::runaway()
{
    QFETCH(QString, line);
    QFETCH(QString, pattern);
    QFETCH(int, budget);
    QFETCH(int, lines);
    QString text;
    for (int i = 0; i < lines; ++i)
        text += line + u("广告\n");
    const QList<ReplaceRule> rules{rule(u("去广告"), u("广告"), "", false, 1), rule(u("失控"), pattern, "X", true, 2),
                                   rule(u("句号"), u("。"), ".", false, 3)};
    RunLimits limits;
    limits.msPerRule = budget;
    QString out, error;
    OffsetMap map;
    QStringList runaway;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(RuleTransform(rules).apply(text, {}, limits, &out, &map, &runaway, &error));
    QVERIFY2(timer.elapsed() < 2 * budget + 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(runaway, QStringList{u("失控")});
    QString expected = text;
    expected.remove(u("广告")).replace(u("。"), QStringLiteral("."));
    QCOMPARE(out, expected);
    QCOMPARE(map.shownLength(), expected.size());

    // Cancelled: false with a message, at once.
    std::atomic<bool> cancel{true};
    limits.cancel = &cancel;
    QVERIFY(!RuleTransform(rules).apply(text, {}, limits, &out, &map, &runaway, &error));
    QVERIFY(!error.isEmpty());
}

void TestClean::preview()
{
    const QString text = u("第一章 笔趣阁最新章节\n正文笔趣阁abc最新章节末尾\n笔趣阁");
    const ReplaceRule r = rule("a", u("笔趣阁.*?最新章节"), "[$0]", true);
    const RulePreview p = RuleTransform::preview(text, {}, r, 1, RunLimits());
    QCOMPARE(p.count, 2);
    QCOMPARE(p.examples.size(), 1);
    QCOMPARE(p.examples[0].position, 4);
    QCOMPARE(p.examples[0].before, u("第一章 "));
    QCOMPARE(p.examples[0].matched, u("笔趣阁最新章节"));
    QCOMPARE(p.examples[0].after, u("\n正文笔趣阁abc最"));
    QCOMPARE(p.examples[0].replacement, u("[笔趣阁最新章节]"));
    const RulePreview bad = RuleTransform::preview(text, {}, rule("b", "(", "", true), 3, RunLimits());
    QVERIFY(!bad.problem.isEmpty());
    QCOMPARE(bad.count, 0);
}

void TestClean::script_data()
{
    QTest::addColumn<ScriptConverter::Form>("form");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("ops");
    QTest::newRow("Taiwan 鼠标") << ScriptConverter::Taiwan << u("鼠标") << u("滑鼠") << "k2";
    QTest::newRow("Taiwan 软件") << ScriptConverter::Taiwan << u("软件和头发") << u("軟體和頭髮") << "k5";
    QTest::newRow("Taiwan length change") << ScriptConverter::Taiwan << u("用U盘拷") << u("用隨身碟拷") << "k1 r2:3 k1";
    QTest::newRow("traditional 头发") << ScriptConverter::Traditional << u("头发很长") << u("頭髮很長") << "k4";
    QTest::newRow("traditional 软件") << ScriptConverter::Traditional << u("软件") << u("軟件") << "k2";
    QTest::newRow("Hong Kong 说话") << ScriptConverter::HongKong << u("说话") << u("説話") << "k2";
    QTest::newRow("simplified 電腦") << ScriptConverter::Simplified << u("電腦裏面") << u("电脑里面") << "k4";
    QTest::newRow("simplified leaves simplified") << ScriptConverter::Simplified << u("抬头") << u("抬头") << "k2";
    QTest::newRow("to non-BMP") << ScriptConverter::Simplified << u("a䂎b") << u("a𥎝b") << "k1 r1:2 k1";
    QTest::newRow("none") << ScriptConverter::None << u("頭髮") << u("頭髮") << "k2";
    QString odd = u("头");
    odd += QChar(0xD800);
    odd += QChar(0);
    odd += u("发\n");
    odd += QChar(0xDC00);
    QString oddOut = u("頭");
    oddOut += QChar(0xD800);
    oddOut += QChar(0);
    oddOut += u("發\n");
    oddOut += QChar(0xDC00);
    QTest::newRow("NUL and lone surrogates kept") << ScriptConverter::Traditional << odd << oddOut << "k6";
}

void TestClean::script()
{
    QFETCH(ScriptConverter::Form, form);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, ops);
    const ScriptConverter &c = converter(form);
    QCOMPARE(c.isActive(), form != ScriptConverter::None);
    OffsetMap map;
    QCOMPARE(c.convert(text, &map), expected);
    compareMap(map, naiveTable(parseOps(ops)));
}

// Line-aligned stretches convert to exactly their part of the whole, and
// two threads give what one gives.
void TestClean::scriptStretchesAndThreads()
{
    const ScriptConverter &c = converter(ScriptConverter::Taiwan);
    const QStringList lines{u("用U盘拷软件"), u(""), u("鼠标和头发"), u("𠀀计算机a䂎"), u("　　里面着急，U盘。")};
    const QString text = lines.join(QLatin1Char('\n'));
    OffsetMap whole;
    const QString all = c.convert(text, &whole);
    QVector<int> starts{0};
    for (int i = 0; i < text.size(); ++i)
        if (text[i] == QLatin1Char('\n'))
            starts.append(i + 1);
    starts.append(text.size());
    for (int a : starts)
        for (int b : starts) {
            if (b < a)
                continue;
            QString part, error;
            OffsetMap map;
            QVERIFY(c.convert(text, a, b, RunLimits(), &part, &map, &error));
            QCOMPARE(part, all.mid(whole.toShown(a), whole.toShown(b) - whole.toShown(a)));
            for (int p = a; p <= b; ++p)
                QCOMPARE(map.toShown(p - a), whole.toShown(p) - whole.toShown(a));
        }
    QString big;
    while (big.size() < (3 << 20))
        big += text + QLatin1Char('\n');
    RunLimits one, two;
    one.threads = 1;
    QString out1, out2, error;
    OffsetMap map1, map2;
    QVERIFY(c.convert(big, 0, big.size(), one, &out1, &map1, &error));
    QVERIFY(c.convert(big, 0, big.size(), two, &out2, &map2, &error));
    QCOMPARE(out2, out1);
    for (int p = 0; p <= big.size(); p += 7)
        QCOMPARE(map2.toShown(p), map1.toShown(p));
    for (int q = 0; q <= out1.size(); q += 7)
        QCOMPARE(map2.toSource(q), map1.toSource(q));
}

// What the Debian dictionaries cannot show: tiny text dictionaries for the
// matching rules (cases and expectations from the OpenCC notes, where each
// was checked against OpenCC itself).
void TestClean::scriptCustom_data()
{
    QTest::addColumn<QStringList>("files"); // name, contents, name, contents…
    QTest::addColumn<QString>("segmentation");
    QTest::addColumn<QString>("chain"); // stages: dictionaries separated by ',', a group by '+'
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("ops");
    const QStringList group{"C.txt", u("头\t頭\n发\t發\n"), "P.txt", u("头发\t頭髮\n")};
    QTest::newRow("a group takes its first member that matches") << group << "P.txt"
                                                                 << "C.txt+P.txt" << u("头发") << u("頭發") << "k2";
    QTest::newRow("group in the other order") << group << "P.txt"
                                              << "P.txt+C.txt" << u("头发") << u("頭髮") << "k2";
    const QStringList cut{"S.txt", u("甲乙\t甲乙\n"), "C.txt", u("乙丙\t丁\n")};
    QTest::newRow("no match across a segment end") << cut << "S.txt"
                                                   << "C.txt" << u("甲乙丙") << u("甲乙丙") << "k3";
    QTest::newRow("length change maps as a block") << cut << "S.txt"
                                                   << "C.txt" << u("乙丙甲") << u("丁甲") << "r2:1 k1";
    QTest::newRow("same length, other surrogate layout") << QStringList{"C.txt", u("甲𠀀\t𠀀甲\n")} << "C.txt"
                                                         << "C.txt" << u("甲𠀀") << u("𠀀甲") << "r1:2 r2:1";
    QTest::newRow("a later stage joins two tokens of a segment")
        << QStringList{"Z.txt", u("子\t子\n"), "C.txt", u("甲\t乙\n"), "D.txt", u("乙乙\t丙\n")} << "Z.txt"
        << "C.txt,D.txt" << u("丁甲甲丁") << u("丁丙丁") << "k1 r2:1 k1";
}

void TestClean::scriptCustom()
{
    QFETCH(QStringList, files);
    QFETCH(QString, segmentation);
    QFETCH(QString, chain);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(QString, ops);
    QTemporaryDir dir;
    for (int i = 0; i + 1 < files.size(); i += 2) {
        QFile f(dir.filePath(files[i]));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(files[i + 1].toUtf8()) > 0);
    }
    auto dict = [](const QString &file) { return QStringLiteral("{\"type\":\"text\",\"file\":\"%1\"}").arg(file); };
    QStringList stages;
    for (const QString &stage : chain.split(QLatin1Char(','))) {
        QStringList members;
        for (const QString &file : stage.split(QLatin1Char('+')))
            members.append(dict(file));
        stages.append(
            QStringLiteral("{\"dict\":%1}")
                .arg(members.size() == 1
                         ? members[0]
                         : QStringLiteral("{\"type\":\"group\",\"dicts\":[%1]}").arg(members.join(QLatin1Char(',')))));
    }
    const QString json = QStringLiteral("{\"segmentation\":{\"type\":\"mmseg\",\"dict\":%1},\"conversion_chain\":[%2]}")
                             .arg(dict(segmentation), stages.join(QLatin1Char(',')));
    ScriptConverter c;
    QString error;
    QVERIFY2(c.loadConfig(json.toUtf8(), dir.path(), &error), qPrintable(error));
    OffsetMap map;
    QCOMPARE(c.convert(text, &map), expected);
    compareMap(map, naiveTable(parseOps(ops)));
}

void TestClean::scriptLoadFailures_data()
{
    QTest::addColumn<QString>("config");     // s2t.json in the temporary folder; empty: none
    QTest::addColumn<QByteArray>("phrases"); // STPhrases.ocd2; empty: none
    const QByteArray s2t =
        R"({"name":"x","segmentation":{"type":"mmseg","dict":{"type":"ocd2","file":"STPhrases.ocd2"}},
        "conversion_chain":[{"dict":{"type":"ocd2","file":"STPhrases.ocd2"}}]})";
    QTest::newRow("no config") << QString() << QByteArray();
    QTest::newRow("config not JSON") << QStringLiteral("{\"name\":") << QByteArray();
    QTest::newRow("dictionary missing") << QString::fromLatin1(s2t) << QByteArray();
    QTest::newRow("dictionary garbage") << QString::fromLatin1(s2t) << QByteArray(5000, '\x5a');
    QTest::newRow("dictionary path escapes")
        << QStringLiteral(R"({"segmentation":{"type":"mmseg","dict":{"type":"ocd2","file":"../x.ocd2"}}})")
        << QByteArray("x");
}

void TestClean::scriptLoadFailures()
{
    QFETCH(QString, config);
    QFETCH(QByteArray, phrases);
    QTemporaryDir dir;
    auto put = [&](const QString &name, const QByteArray &data) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    };
    if (!config.isEmpty())
        put(QStringLiteral("s2t.json"), config.toUtf8());
    if (!phrases.isEmpty())
        put(QStringLiteral("STPhrases.ocd2"), phrases);
    ScriptConverter c;
    QString error;
    QVERIFY(!c.load(ScriptConverter::Traditional, dir.path(), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!c.isActive());
    OffsetMap map;
    QCOMPARE(c.convert(u("头发"), &map), u("头发")); // converts nothing rather than fail
    QVERIFY(map.isIdentity());
    QString again;
    QVERIFY(!c.load(ScriptConverter::Traditional, dir.path(), &again));
    QCOMPARE(again, error); // remembered, not tried again
}

void TestClean::fold_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("头发/頭髮") << u("头发与发展") << u("頭髮與發展") << true;
    QTest::newRow("里面/裡面") << u("里面") << u("裡面") << true;
    QTest::newRow("里面/裏面") << u("里面") << u("裏面") << true;
    QTest::newRow("着急/著急") << u("着急") << u("著急") << true;
    QTest::newRow("干净/乾淨") << u("干净") << u("乾淨") << true;
    QTest::newRow("台湾/臺灣") << u("台湾") << u("臺灣") << true;
    QTest::newRow("vocabulary is not folded") << u("鼠标") << u("滑鼠") << false;
    QTest::newRow("different characters stay apart") << u("天") << u("地") << false;
}

void TestClean::fold()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    const QString fa = ScriptConverter::folded(a);
    QCOMPARE(fa.size(), a.size());
    QCOMPARE(fa == ScriptConverter::folded(b), same);
    for (int i = 0; i < a.size(); ++i)
        QCOMPARE(ScriptConverter::fold(a[i]), fa[i]);
    // A folded text is found where the keyword occurs, in either script.
    if (same)
        QCOMPARE(ScriptConverter::folded(u("从前") + b).indexOf(fa), 2);
    QCOMPARE(ScriptConverter::fold(QChar(0xD800)), QChar(0xD800));
}

void TestClean::tidy_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("options"); // F fold, I indent, J join
    QTest::addColumn<QVector<TextRange>>("headings");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("ops");
    const QVector<TextRange> none;
    QTest::newRow("nothing") << u("a\n\n\nb") << "" << none << u("a\n\n\nb") << "k5";
    QTest::newRow("fold") << u("a\n\n \u3000\n\t\nb\n\n") << "F" << none << u("a\n\nb\n\n") << "k3 r5:0 k3";
    QTest::newRow("fold at start") << u("\n\nb") << "F" << none << u("\nb") << "k1 r1:0 k1";
    QTest::newRow("indent") << u("a\n  b\n\u3000\u3000c\n\u3000d\n\n") << "I" << none
                            << u("\u3000\u3000a\n\u3000\u3000b\n\u3000\u3000c\n\u3000\u3000d\n\n")
                            << "r0:2 k2 r2:2 k6 r1:2 k3";
    QTest::newRow("join") << u("他说\n明天见。\n好的，\n\u3000\u3000再会") << "J" << none
                          << u("他说明天见。\n好的，\n\u3000\u3000再会") << "k2 r1:0 k13";
    QTest::newRow("join drops trailing blanks")
        << u("他说 \u3000\n明天") << "J" << none << u("他说明天") << "k2 r3:0 k2";
    QTest::newRow("join Latin with a space")
        << u("hello\nworld.\nok") << "J" << none << u("hello world.\nok") << "k5 r1:1 k9";
    QTest::newRow("headings are not joined")
        << u("第一章\n正文\n续") << "J" << QVector<TextRange>{TextRange{0, 3}} << u("第一章\n正文续") << "k6 r1:0 k1";
    QTest::newRow("headings are not indented") << u("第一章\n正文") << "I" << QVector<TextRange>{TextRange{0, 3}}
                                               << u("第一章\n\u3000\u3000正文") << "k4 r0:2 k2";
    QTest::newRow("all three") << u("第一章\n\n\n他说\n明天见。\n\n\n  好") << "FIJ"
                               << QVector<TextRange>{TextRange{0, 3}}
                               << u("第一章\n\n\u3000\u3000他说明天见。\n\n\u3000\u3000好")
                               << "k5 r1:0 r0:2 k2 r1:0 k6 r1:0 r2:2 k1";
}

void TestClean::tidy()
{
    QFETCH(QString, text);
    QFETCH(QString, options);
    QFETCH(QVector<TextRange>, headings);
    QFETCH(QString, expected);
    QFETCH(QString, ops);
    Tidy::Options o;
    o.foldBlankLines = options.contains(QLatin1Char('F'));
    o.indentParagraphs = options.contains(QLatin1Char('I'));
    o.joinWrappedLines = options.contains(QLatin1Char('J'));
    QString out;
    OffsetMap map;
    QVERIFY(Tidy::apply(text, headings, o, RunLimits(), &out, &map));
    QCOMPARE(out, expected);
    compareMap(map, naiveTable(parseOps(ops)));
}

void TestClean::pipeline()
{
    TextPipeline pipeline;
    QString error;
    QVERIFY(pipeline.setSettings(TextPipeline::Settings(), &error));
    QVERIFY(pipeline.isIdentity());
    const QString decoded = u("第一章\n正文");
    TextPipeline::Result result;
    QVERIFY(pipeline.run(decoded, {}, RunLimits(), &result, &error));
    QCOMPARE(result.text.constData(), decoded.constData()); // no copy
    QVERIFY(result.map.isIdentity());

    // rules → script → tidy: the rule sees the decoded text, tidy the converted one.
    TextPipeline::Settings s;
    s.rules = {rule("a", u("广告"), ""), rule("b", u("U盘"), u("优盘"), false, 0, ReplaceRule::HeadingsOnly)};
    s.form = ScriptConverter::Taiwan;
    s.tidy.joinWrappedLines = true;
    s.tidy.indentParagraphs = true;
    QVERIFY(pipeline.setSettings(s, &error));
    const QString text = u("第一章U盘\n用广告U盘\n拷软件。");
    QVERIFY(pipeline.run(text, {TextRange{0, 5}}, RunLimits(), &result, &error));
    QCOMPARE(result.text, u("第一章優盤\n\u3000\u3000用隨身碟拷軟體。"));
    // After the rules, where 广告 was removed and U盘 starts is one position,
    // which the removal claims: going back, 广告U盘 is one stretch.
    compareMap(result.map, naiveTable(parseOps("k3 r2:2 k1 r0:2 k1 r4:3 r1:0 k4")));
}

// The visible stretch first: exactly its part of the whole run.
void TestClean::pipelineStretch()
{
    TextPipeline pipeline;
    TextPipeline::Settings s;
    s.rules = {rule("a", u("\\s*（本章完）"), "", true),
               rule("b", u("第(\\d+)章"), u("第$1回"), true, 0, ReplaceRule::HeadingsOnly)};
    s.form = ScriptConverter::Traditional;
    s.tidy = Tidy::Options{true, true, true};
    QString error;
    QVERIFY(pipeline.setSettings(s, &error));
    const QStringList lines{u("第1章 头发"), u(""),       u(""),           u("他说"), u("明天见。（本章完）"),
                            u(""),           u("  软件"), u("第2章 里面"), u("续行"), u(""),
                            u(""),           u(""),       u("a\u3000"),    u("b"),    u("")};
    const QString text = lines.join(QLatin1Char('\n'));
    QVector<TextRange> headings;
    QVector<int> starts;
    for (int i = 0, at = 0; i < lines.size(); at += lines[i++].size() + 1) {
        starts.append(at);
        if (lines[i].startsWith(u("第")))
            headings.append(TextRange{at, at + lines[i].size()});
    }
    TextPipeline::Result whole, part;
    QVERIFY(pipeline.run(text, headings, RunLimits(), &whole, &error));
    for (int a : starts)
        for (int b : starts) {
            if (b < a)
                continue;
            QVERIFY(pipeline.applyToStretch(text, a, b, headings, RunLimits(), &part, &error));
            const int from = whole.map.toShown(a);
            QCOMPARE(part.text, whole.text.mid(from, whole.map.toShown(b) - from));
            for (int p = a; p <= b; ++p)
                QCOMPARE(part.map.toShown(p - a), whole.map.toShown(p) - from);
        }
}

// Odd input never crashes and loses nothing it should keep.
void TestClean::badInput()
{
    TextPipeline pipeline;
    TextPipeline::Settings s;
    s.rules = {rule("bad", "(", "", true), rule("x", "x", "", false), rule("empty", "", "")};
    s.form = ScriptConverter::Traditional;
    s.tidy = Tidy::Options{true, true, true};
    QString error;
    QVERIFY(!pipeline.setSettings(s, &error)); // two rules cannot run
    QVERIFY(error.contains(u("「bad」")) && error.contains(u("「empty」")));
    QString odd = u("头x");
    odd += QChar(0);
    odd += QChar(0xDC00);
    odd += u("发\n𠀀");
    odd += QChar(0xD800);
    for (const QString &text : {QString(), odd, QString(QChar(0)), u("\n\n\n")}) {
        TextPipeline::Result result;
        QVERIFY(pipeline.run(text, {TextRange{-5, 99}, TextRange{3, 1}}, RunLimits(), &result, &error));
        QCOMPARE(result.map.sourceLength(), text.size());
        QCOMPARE(result.map.shownLength(), result.text.size());
        QCOMPARE(result.text.count(QChar(0)), text.count(QChar(0)));
        QVERIFY(pipeline.applyToStretch(text, -3, 1000, {}, RunLimits(), &result, &error));
    }
    TextPipeline::Result result;
    QVERIFY(pipeline.run(odd, {}, RunLimits(), &result, &error));
    QString expected = u("\u3000\u3000頭");
    expected += QChar(0);
    expected += QChar(0xDC00);
    expected += u("發𠀀");
    expected += QChar(0xD800);
    QCOMPARE(result.text, expected); // x removed, lines joined, surrogates and NUL kept
    // A rule that leaves a lone surrogate behind: the next regex still sees
    // one character there.
    QString out;
    OffsetMap map;
    QStringList runaway;
    QVERIFY(RuleTransform({rule("1", "x", QString(QChar(0xD800)), false, 1), rule("2", "a.b", "Y", true, 2)})
                .apply(u("axb"), {}, RunLimits(), &out, &map, &runaway, &error));
    QCOMPARE(out, u("Y"));
    // A regex over text with lone surrogates still matches around them.
    const RulePreview p = RuleTransform::preview(odd, {}, rule("r", u("发\\s"), "", true), 1, RunLimits());
    QCOMPARE(p.count, 1);
    OffsetMap empty = OffsetMap().then(OffsetMap());
    QCOMPARE(empty.toShown(3), 0);
}

QTEST_GUILESS_MAIN(TestClean)
#include "tst_clean.moc"
