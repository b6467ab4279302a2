#pragma once

#include <QByteArray>
#include <QString>

/// The encodings a book can be read in. Auto lets decodeText() choose.
/// Gb18030 covers GBK, its subset; Utf32 reads big-endian only after a
/// big-endian byte-order mark.
///
/// Auto reads a book that passes looksLikeGbk() as GBK, as it always has,
/// and detectEncoding() calls that Gb18030. An explicit Gb18030 reads the
/// same text except for about 80 pairs where GBK has only private-use
/// characters and GB18030 real ones (A2E3, the euro sign, for one).
enum class TextEncoding { Auto, Utf8, Gb18030, Big5, Utf16Le, Utf16Be, Utf32 };

/// The stable name stored for a choice: "auto", "utf-8", "gb18030", "big5",
/// "utf-16le", "utf-16be" or "utf-32".
QString textEncodingName(TextEncoding encoding);
/// The encoding of that name (ASCII case ignored). An unknown name gives Auto
/// and sets *ok to false.
TextEncoding textEncodingFromName(const QString &name, bool *ok = nullptr);

/// The whole of a book file's bytes as text. The encoding comes from a
/// byte-order mark, else clean UTF-8, else UTF-8 with a rare stray byte, else
/// Big5 or GBK, UTF-16LE, UTF-16BE or GB18030 by byte tests. Bad sequences
/// become U+FFFD. Only input larger than any string could hold
/// (MaxDecodableSize) gives a null string.
QString decodeText(const QByteArray &bytes);
/// Which decoder a text was read with: finer than TextEncoding, so that a
/// stretch of the same bytes can later be read exactly as the whole was.
enum class TextReading : quint8 { Utf8, Gbk, Gb18030, Gb18030Table, Big5, Utf16Le, Utf16Be, Utf32Le, Utf32Be };

/// The bytes read in `encoding`; Auto is decodeText(bytes). A byte-order mark
/// of the chosen encoding is dropped. *used, when given, gets the encoding
/// read in: `encoding`, or the one Auto chose; *reading the decoder.
QString decodeText(const QByteArray &bytes, TextEncoding encoding, TextEncoding *used = nullptr,
                   TextReading *reading = nullptr);
/// The encoding a book read with `reading` is in: its choice in the encoding menu.
TextEncoding encodingOf(TextReading reading);
/// The bytes read with `reading`, as decodeText() reads a whole book with it.
QString decodeReading(const QByteArray &bytes, TextReading reading);
/// The encoding decodeText(bytes) reads the bytes in; never Auto.
TextEncoding detectEncoding(const QByteArray &bytes);

/// Makes every line end one line feed: CR LF and a lone CR (old Mac files)
/// both become LF. One pass; a text without CR is left untouched.
void normalizeLineEnds(QString &text);

/// The most bytes decodeText() takes: every byte may become a character, and
/// a QString holds at most about 2^30 of them.
constexpr int MaxDecodableSize = (2147483647 - 64) / 2 - 1;

/// True when the bytes read as GBK double-byte pairs (and ASCII) throughout
/// and hold at least one pair. A 00 byte or a pair outside 8140..FEFE says no.
bool looksLikeGbk(const char *data, int length);
