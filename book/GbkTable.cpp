#include "GbkTable.h"

#include <QTextCodec>

const GbkTable &GbkTable::instance()
{
    static GbkTable table;
    return table;
}

GbkTable::GbkTable() : map(new char16_t[0x10000]())
{
    // Every pair, each on a line of its own, through the codec in one call:
    // one call per pair made building the table cost more than reading the
    // first page of a book. No GBK sequence takes in a line feed, so the
    // lines stay one per pair.
    QByteArray pairs;
    pairs.reserve((0xFE - 0x81 + 1) * (0xFE - 0x40 + 1) * 3);
    for (uint lead = 0x81; lead <= 0xFE; ++lead) {
        for (uint trail = 0x40; trail <= 0xFE; ++trail)
            pairs.append(char(lead)).append(char(trail)).append('\n');
    }
    const QString text = QTextCodec::codecForName("GBK")->toUnicode(pairs);
    const QVector<QStringRef> decoded = text.splitRef(QLatin1Char('\n'));
    int line = 0;
    for (uint lead = 0x81; lead <= 0xFE; ++lead) {
        for (uint trail = 0x40; trail <= 0xFE; ++trail, ++line) {
            const QStringRef character = decoded.value(line);
            if (character.size() == 1 && character.at(0) != QChar::ReplacementCharacter)
                map[(lead << 8) | trail] = character.at(0).unicode();
        }
    }
}
