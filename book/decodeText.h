#pragma once

#include <QByteArray>
#include <QString>

/// The whole of a book file's bytes as text. The encoding comes from a
/// byte-order mark, else clean UTF-8, else GBK, UTF-16LE, UTF-16BE or
/// GB18030 by byte tests. Bad sequences become U+FFFD. Only input larger
/// than any string could hold (MaxDecodableSize) gives a null string.
QString decodeText(const QByteArray &bytes);

/// The most bytes decodeText() takes: every byte may become a character, and
/// a QString holds at most about 2^30 of them.
constexpr int MaxDecodableSize = (2147483647 - 64) / 2 - 1;

/// True when the bytes read as GBK double-byte pairs (and ASCII) throughout
/// and hold at least one pair. A 00 byte or a pair outside 8140..FEFE says no.
bool looksLikeGbk(const char *data, int length);
