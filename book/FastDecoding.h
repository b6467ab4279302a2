#pragma once

#include <QByteArray>
#include <QString>

// The decoders behind decodeText(): each gives exactly what Qt's codec of
// that name gives, only faster on a whole book.

/// The bytes through Qt's codec `codecName`, with a fresh converter state.
QString decodeWith(const char *codecName, const QByteArray &bytes);
/// Clean UTF-8, or a null string at the first sequence Qt counts as invalid.
QString decodeCleanUtf8(const QByteArray &bytes);
/// UTF-8 with at most one stray byte in 10,000 (each becomes U+FFFD), and
/// many more well-formed multi-byte sequences; a null string otherwise.
QString decodeMendedUtf8IfRare(const QByteArray &bytes);
/// UTF-8 however ill-formed, each bad sequence a U+FFFD.
QString decodeAnyUtf8(const QByteArray &bytes);
QString decodeGbk(const QByteArray &bytes);
/// GB18030 by the GBK table where it agrees, by Qt's codec where it does not.
QString decodeGb18030(const QByteArray &bytes);
bool isPrivateUse(char16_t c);
