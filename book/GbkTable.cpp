#include "GbkTable.h"

#include <QTextCodec>

const GbkTable &GbkTable::instance()
{
    static GbkTable table;
    return table;
}

GbkTable::GbkTable() : map(new char16_t[0x10000]())
{
    QTextCodec *codec = QTextCodec::codecForName("GBK");
    char pair[2];
    for (uint lead = 0x81; lead <= 0xFE; ++lead) {
        for (uint trail = 0x40; trail <= 0xFE; ++trail) {
            pair[0] = char(lead);
            pair[1] = char(trail);
            const QString decoded = codec->toUnicode(pair, 2);
            if (decoded.size() == 1 && decoded.at(0) != QChar::ReplacementCharacter)
                map[(lead << 8) | trail] = decoded.at(0).unicode();
        }
    }
}
