#include "OpenccConfig.h"

#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>
#include <opencc/MarisaDict.hpp>
#include <opencc/SerializableDict.hpp>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <exception>

namespace {

// Messages of InvalidUTF8 carry the whole rest of the text.
void setError(QString *error, const QString &message)
{
    *error = message.left(300);
}

bool absolutise(QJsonValue *v, const QString &dir, QString *error)
{
    if (v->isArray()) {
        QJsonArray a = v->toArray();
        for (int i = 0; i < a.size(); ++i) {
            QJsonValue e = a.at(i);
            if (!absolutise(&e, dir, error))
                return false;
            a.replace(i, e);
        }
        *v = a;
    } else if (v->isObject()) {
        QJsonObject o = v->toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            QJsonValue e = it.value();
            if (it.key() == QLatin1String("file")) {
                const QString name = e.toString();
                if (name.isEmpty() || name.contains(QLatin1Char('/'))) {
                    setError(error, QStringLiteral("OpenCC 配置中的词典文件名不对：%1").arg(name));
                    return false;
                }
                const QFileInfo info(dir + QLatin1Char('/') + name);
                if (!info.isFile() || !info.isReadable()) {
                    setError(error, QStringLiteral("找不到 OpenCC 词典：%1").arg(info.filePath()));
                    return false;
                }
                e = info.filePath();
            } else if (!absolutise(&e, dir, error)) {
                return false;
            }
            it.value() = e;
        }
        *v = o;
    }
    return true;
}

} // namespace

std::shared_ptr<opencc::Converter> OpenccConfig::fromJson(const QByteArray &json, const QString &dir, QString *error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError || !doc.isObject()) {
        setError(error, QStringLiteral("OpenCC 配置不是有效的 JSON：%1").arg(pe.errorString()));
        return nullptr;
    }
    QJsonValue root = doc.object();
    if (!absolutise(&root, dir, error))
        return nullptr;
    const QByteArray text = QJsonDocument(root.toObject()).toJson(QJsonDocument::Compact);
    try {
        opencc::Config config;
        opencc::ConverterPtr converter = config.NewFromString(text.toStdString(), dir.toStdString() + "/");
        if (!converter)
            setError(error, QStringLiteral("OpenCC 没有给出转换器"));
        return converter;
    } catch (const opencc::Exception &e) {
        setError(error, QStringLiteral("OpenCC：%1").arg(QString::fromUtf8(e.what())));
    } catch (const std::exception &e) {
        setError(error, QStringLiteral("OpenCC：%1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        setError(error, QStringLiteral("OpenCC 载入配置时出错"));
    }
    return nullptr;
}

std::shared_ptr<opencc::Converter> OpenccConfig::load(const QString &name, const QString &dir, QString *error)
{
    QFile file(dir + QLatin1Char('/') + name + QStringLiteral(".json"));
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("无法打开 OpenCC 配置 %1：%2").arg(file.fileName(), file.errorString()));
        return nullptr;
    }
    if (file.size() > (1 << 20)) {
        setError(error, QStringLiteral("OpenCC 配置 %1 太大").arg(file.fileName()));
        return nullptr;
    }
    return fromJson(file.readAll(), dir, error);
}

std::shared_ptr<opencc::Dict> OpenccConfig::dictionary(const QString &path, QString *error)
{
    if (!QFileInfo(path).isFile()) {
        setError(error, QStringLiteral("找不到 OpenCC 词典：%1").arg(path));
        return nullptr;
    }
    try {
        return opencc::SerializableDict::NewFromFile<opencc::MarisaDict>(path.toStdString());
    } catch (const opencc::Exception &e) {
        setError(error, QStringLiteral("OpenCC：%1").arg(QString::fromUtf8(e.what())));
    } catch (const std::exception &e) {
        setError(error, QStringLiteral("OpenCC：%1").arg(QString::fromUtf8(e.what())));
    } catch (...) {
        setError(error, QStringLiteral("OpenCC 载入词典时出错"));
    }
    return nullptr;
}
