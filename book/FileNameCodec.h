#pragma once

#include <QString>

/// File names that are not UTF-8 (a GBK name unpacked from a zip archive)
/// in a UTF-8 locale. Qt reads file names and arguments through the locale's
/// codec, which turns each stray byte into U+FFFD: such a file could not be
/// opened at all. Installed, this codec keeps every stray byte as a lone
/// surrogate U+DC80..U+DCFF and writes it back as the same byte, so a name
/// survives the round trip through QString; valid UTF-8 reads as before.
namespace FileNameCodec {

/// Makes the codec the locale's, when the locale is UTF-8. Before anything
/// reads the process arguments.
void install();

/// Whether `path` holds bytes that are not UTF-8.
bool hasStrayBytes(const QString &path);
/// The name as well as it can be shown: stray bytes read as GB18030 (the
/// usual origin of such names), or shown as U+FFFD.
QString displayed(const QString &path);
/// A form of `path` that a settings file keeps intact (it holds UTF-8 only),
/// and back. Paths without stray bytes are stored as they are.
QString toStored(const QString &path);
QString fromStored(const QString &stored);

} // namespace FileNameCodec
