// Decoding a ~50 MB novel, side by side with iconv on the same bytes.
// Budgets: GBK at most 2.0x iconv, UTF-8 at most 1.5x; added peak memory
// under 4 N + 32 MiB for a file of N bytes. The tests Auto added for GBK
// books (the Big5 check, the stray-byte UTF-8 attempt) at most 5% of
// decoding one. Big5 decoding and line ends are shown without a budget.

#include "BenchSupport.h"
#include "Big5Detection.h"
#include "decodeText.h"

#include <QCoreApplication>
#include <QTextCodec>

#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const int kRuns = 5;

// iconv(3) into a buffer of the worst-case size, as a decoder into UTF-16
// would have to.
size_t iconvToUtf16(const char *from, const QByteArray &bytes)
{
    iconv_t cd = iconv_open("UTF-16LE", from);
    if (cd == iconv_t(-1))
        return 0;
    std::unique_ptr<char[]> out(new char[size_t(bytes.size()) * 2 + 16]);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *o = out.get();
    size_t outLeft = size_t(bytes.size()) * 2 + 16;
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    return size_t(o - out.get());
}

double floorMs(int chars)
{
    return bench::medianMs(kRuns, [chars] {
        std::unique_ptr<char16_t[]> buffer(new char16_t[size_t(chars)]);
        std::memset(buffer.get(), 0x20, size_t(chars) * 2);
        asm volatile("" : : "r"(buffer.get()) : "memory");
    });
}

bool measure(const char *label, const char *iconvName, const QByteArray &bytes, double budget)
{
    int chars = 0;
    const double ours = bench::medianMs(kRuns, [&] { chars = decodeText(bytes).size(); });
    const double reference = bench::medianMs(kRuns, [&] { iconvToUtf16(iconvName, bytes); });

    bench::resetPeakMemory();
    const qint64 before = bench::residentBytes();
    {
        const QString text = decodeText(bytes);
        chars = text.size();
    }
    const qint64 added = bench::peakResidentBytes() - before;
    const qint64 memoryBudget = 4 * qint64(bytes.size()) + 32 * 1024 * 1024;

    const double mb = bytes.size() / 1e6;
    const double ratio = ours / reference;
    std::printf("%-6s %6.1f MB  decodeText %7.1f ms (%6.1f MB/s)  iconv %7.1f ms (%6.1f MB/s)  ratio %.2fx "
                "(budget %.1fx) %s\n",
                label, mb, ours, mb / ours * 1000, reference, mb / reference * 1000, ratio, budget,
                ratio <= budget ? "ok" : "OVER");
    std::printf("       floor (allocate and write the result once) %.1f ms\n", floorMs(chars));
    std::printf("       peak memory added %.1f MiB (budget %.1f MiB) %s\n", added / 1048576.0, memoryBudget / 1048576.0,
                added <= memoryBudget ? "ok" : "OVER");
    return ratio <= budget && added <= memoryBudget;
}

// What Auto spends on a GBK book before decoding it, beyond the tests it
// always made (clean UTF-8, looksLikeGbk): detectEncoding() less
// looksLikeGbk(), and never less than the Big5 check alone, since medians of
// the two larger times are noisier than the difference.
bool measureDetection(const QByteArray &gbk)
{
    const int runs = 3 * kRuns;
    const double decode = bench::medianMs(runs, [&] { decodeText(gbk); });
    const double detect = bench::medianMs(runs, [&] { detectEncoding(gbk); });
    const double gbkTest = bench::medianMs(runs, [&] { looksLikeGbk(gbk.constData(), gbk.size()); });
    const double big5 = bench::medianMs(runs, [&] { looksLikeBig5(gbk); });
    const double added = qMax(big5, detect - gbkTest);
    const double share = added / decode * 100;
    std::printf("GBK    detectEncoding %.1f ms, looksLikeGbk %.1f ms, Big5 check %.2f ms\n", detect, gbkTest, big5);
    std::printf("       detection added %.2f ms = %.1f%% of decoding %.1f ms (budget 5%%) %s\n", added, share, decode,
                share <= 5 ? "ok" : "OVER");
    return share <= 5;
}

void showBig5AndLineEnds(const QString &novel)
{
    const QByteArray big5 = QTextCodec::codecForName("Big5")->fromUnicode(novel);
    const double ours = bench::medianMs(kRuns, [&] { decodeText(big5); });
    const double reference = bench::medianMs(kRuns, [&] { iconvToUtf16("BIG5", big5); });
    std::printf("Big5   %6.1f MB  detected as %s, decodeText %7.1f ms  iconv %7.1f ms\n", big5.size() / 1e6,
                qPrintable(textEncodingName(detectEncoding(big5))), ours, reference);
    QString crlf = novel;
    crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const double lineEnds = bench::medianMs(kRuns, [&] {
        QString text = crlf;
        normalizeLineEnds(text);
    });
    std::printf("CR LF  %6.1f M characters: normalizeLineEnds %.1f ms\n", crlf.size() / 1e6, lineEnds);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 size = argc > 1 ? QByteArray(argv[1]).toLongLong() * 1000 * 1000 : 50 * 1000 * 1000;
    std::printf("generating a %.0f MB novel...\n", size / 1e6);
    QByteArray utf8;
    QByteArray gbk;
    {
        const QString novel = bench::generateNovel(size);
        utf8 = novel.toUtf8();
        gbk = QTextCodec::codecForName("GBK")->fromUnicode(novel);
        showBig5AndLineEnds(novel);
    }
    bool ok = measure("UTF-8", "UTF-8", utf8, 1.5);
    ok = measure("GBK", "GBK", gbk, 2.0) && ok;
    ok = measureDetection(gbk) && ok;
    std::printf("%s\n", ok ? "all budgets met" : "BUDGET MISSED");
    return ok ? 0 : 1;
}
