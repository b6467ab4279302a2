#include "Big5Detection.h"

#include "GbkTable.h"

#include <QTextCodec>
#include <QVector>

#include <bitset>

namespace {

// About 500 of the most frequent hanzi, with the traditional forms of those
// that have one: most of any Chinese prose, simplified or traditional, is
// made of them, while text read in the wrong encoding meets them only by
// chance.
const char16_t kCommonHanzi[] =
    u"的一是不了在人有我他这个们中来上大为和国地到以说时要就出会可也你对生能而子那得于着下自之年过发后作里"
    u"用道行所然家种事成方多经么去法学如都同现当没动面起看定天分还进好小部其些主样理心她本前开但因只从想实"
    u"日军者意无力它与长把机十民第公此已工使情明性知全三又关点正业外将两高间由问很最重并物手应战向头文体政"
    u"美相见被利什二等产或新己制身果加西月话合回特代内信表化老给世位次度门任常先海通教儿原东声提立及比员解"
    u"水名真论处走义各入几口认条平系气题活更别打女变四神总何电数安少报才结反受目太量再感建务做接必场件计管"
    u"期市直德资命山金指克许统区保至队形社便空决治展马科司五基眼书非则听白却界达光放强即像难且权思王象完设"
    u"式色路记南品住告类求据程北边死张该交规万取拉格望觉术领共确传师观清今切院让识候带导争运笑飞风步改收根"
    u"干造言联持组每济车亲极林服快办议往元英士证近失转夫令准布始怎呢存未远叫台单影具罗字爱击流备兵连调深商"
    u"算质团集百需价花党华城石级整府离况请技际约示复病息究线似官火断精满支视消越器容照须九增研写称八功吗包"
    u"片史委乎查轻易早曾除农找装广显吧李标谈吃图念六引历首医局突专费号尽另周较注语仅考落青随选列武红响虽推"
    u"势参希古众构房半节土投某案黑這個們來為國說時會對發過後裡裏麼動經現當沒還進實樣機點業將兩間問應戰頭體"
    u"見產製話門長與無開學種從關軍東聲員總電數報結場計資區隊馬書則聽達難權設記覺領傳師觀讓識導運飛風車親極"
    u"辦議遠愛邊張請給認義處條變萬帶錢臉誰嗎著氣題別紅響雖勢參眾構節聯組濟轉準單羅擊備連調質團價華級離況際"
    u"約複線視滿須稱輕農裝廣顯標談圖歷醫專費號盡較語僅隨選餘";

class CommonHanzi
{
public:
    static bool contains(char16_t c) { return set().test(c); }

private:
    static const std::bitset<0x10000> &set()
    {
        static const std::bitset<0x10000> common = [] {
            std::bitset<0x10000> bits;
            for (const char16_t *c = kCommonHanzi; *c; ++c)
                bits.set(*c);
            return bits;
        }();
        return common;
    }
};

// How many characters of a reading are common hanzi.
struct Reading
{
    int common = 0;
    int characters = 0;
};

void readAsGbk(const uchar *p, const uchar *end, Reading *reading)
{
    const GbkTable &table = GbkTable::instance();
    while (end - p >= 2) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        ++reading->characters;
        reading->common += CommonHanzi::contains(table.at((uint(p[0]) << 8) | p[1]));
        p += 2;
    }
}

void readAsBig5(QTextCodec *big5, const char *data, int length, Reading *reading)
{
    for (QChar c : big5->toUnicode(data, length)) {
        if (c.unicode() >= 0x80) {
            ++reading->characters;
            reading->common += CommonHanzi::contains(c.unicode());
        }
    }
}

// The stretches of a book worth reading both ways: its start and three
// windows further in, each from its first line feed (never part of a
// double-byte character in either encoding) so both readings stay aligned.
QVector<QPair<int, int>> samplesOf(const QByteArray &bytes)
{
    const int head = 64 * 1024;
    const int window = 16 * 1024;
    const int size = bytes.size();
    QVector<QPair<int, int>> samples{{0, qMin(size, head)}};
    if (size <= head + 3 * window)
        return samples;
    for (int quarter = 1; quarter <= 3; ++quarter) {
        const int start = int(qint64(size) * quarter / 4);
        const int lineFeed = bytes.indexOf('\n', start);
        if (lineFeed >= 0 && lineFeed < start + window / 2)
            samples.append({lineFeed + 1, qMin(window, size - lineFeed - 1)});
    }
    return samples;
}

} // namespace

// Big5 and GBK share their byte ranges, so nearly every Big5 book passes
// looksLikeGbk(). Read as the wrong one, either gives scattered characters;
// read as the right one, common hanzi. Big5 must win by far and on enough
// evidence, so GBK books, traditional ones among them, stay GBK.
bool looksLikeBig5(const QByteArray &bytes)
{
    QTextCodec *big5 = QTextCodec::codecForName("Big5");
    if (!big5)
        return false;
    Reading asBig5;
    Reading asGbk;
    for (const auto &sample : samplesOf(bytes)) {
        const uchar *from = reinterpret_cast<const uchar *>(bytes.constData()) + sample.first;
        readAsGbk(from, from + sample.second, &asGbk);
        readAsBig5(big5, bytes.constData() + sample.first, sample.second, &asBig5);
    }
    return asBig5.common >= 20 && asBig5.common > 4 * asGbk.common;
}
