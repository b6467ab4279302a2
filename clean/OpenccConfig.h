#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

namespace opencc {
class Converter;
class Dict;
} // namespace opencc

/// Loads OpenCC configs and dictionaries so that nothing escapes: OpenCC
/// 1.1 looks for configs and every .ocd2 in the working directory first,
/// and throws opencc::Exception (not a std::exception), marisa::Exception
/// and std::ios_base::failure. Every failure here is a null result plus a
/// message. Internal to this library (the header names OpenCC types).
class OpenccConfig
{
public:
    /// `name` is a config of `dir` such as "s2t" (reads dir/s2t.json).
    static std::shared_ptr<opencc::Converter> load(const QString &name, const QString &dir, QString *error);
    /// A config given as JSON text; its dictionary files must be plain
    /// names of readable files in `dir`, and are opened there only.
    static std::shared_ptr<opencc::Converter> fromJson(const QByteArray &json, const QString &dir, QString *error);
    /// One .ocd2 dictionary by absolute path.
    static std::shared_ptr<opencc::Dict> dictionary(const QString &path, QString *error);
};
