#include "ReaderConfig.h"

#include "FileNameCodec.h"
#include "configSettings.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QUuid>

namespace {

const int kHistoryLength = 10;
const int kRememberedEncodings = 50;
const int kRememberedNotices = 100;
// Ranges beyond anything the preference dialog offers, and far from the
// sizes at which the page arithmetic would overflow.
const int kLargestSpacing = 200;
const int kLargestPointSize = 1000;

enum class Kind { Bool, Int, Color, Font, Rect, String };
// What a change of the setting tells the rest of the reader.
enum class Tells { Nothing, Font, Background, Top, ChapterRule };

struct Setting
{
    const char *key;
    Kind kind;
    QVariant (*byDefault)();
    int lowest;
    int highest;
    Tells tells;
};

QRect defaultWindowRect()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect();
    const QRect available = screen->availableGeometry();
    return QRect(available.width() / 3, available.height() / 3, available.width() / 3, available.height() / 3);
}

// clang-format off
const Setting kSettings[] = {
    {"window/rect",               Kind::Rect,   [] { return QVariant(defaultWindowRect()); },     0, 0,   Tells::Nothing},
    {"window/bgColor",            Kind::Color,  [] { return QVariant(QColor(Qt::white)); },       0, 0,   Tells::Background},
    {"window/translucent",        Kind::Int,    [] { return QVariant(100); },                     0, 100, Tells::Background},
    {"window/bgType",             Kind::Int,    [] { return QVariant(0); },                       0, 1,   Tells::Background},
    {"window/rememberWin",        Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"window/isTop",              Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Top},
    {"window/tray",               Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"window/openLastFile",       Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"shortcut/clickNextPage",    Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"shortcut/doublceClickHide", Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"shortcut/wheelTurnPage",    Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"font/font",                 Kind::Font,   [] { return QVariant(QApplication::font()); },    0, 0,   Tells::Font},
    {"font/color",                Kind::Color,  [] { return QVariant(QColor(Qt::gray)); },        0, 0,   Tells::Font},
    {"font/linespace",            Kind::Int,    [] { return QVariant(2); },                       0, kLargestSpacing, Tells::Font},
    {"font/letterspace",          Kind::Int,    [] { return QVariant(0); },    -kLargestSpacing, kLargestSpacing, Tells::Font},
    {"update/checkAtStart",       Kind::Bool,   [] { return QVariant(true); },                    0, 0,   Tells::Nothing},
    // The page has another height, lines break elsewhere: both lay it out anew.
    {"view/showProgress",         Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Font},
    {"view/punctuationRules",     Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Font},
    {"view/autoTurnSeconds",      Kind::Int,    [] { return QVariant(15); },                      2, 120, Tells::Nothing},
    {"content/chapterRule",       Kind::String, [] { return QVariant(QStringLiteral("standard")); }, 0, 0, Tells::ChapterRule},
    {"content/chapterPattern",    Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::ChapterRule},
    // Reading aloud: an empty voice is the best Mandarin one; rate and pitch
    // in tenths of the engine's range; sleep in minutes, -1: the chapter's end.
    {"speech/voice",              Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::Nothing},
    {"speech/rate",               Kind::Int,    [] { return QVariant(0); },                     -10, 10,  Tells::Nothing},
    {"speech/pitch",              Kind::Int,    [] { return QVariant(0); },                     -10, 10,  Tells::Nothing},
    {"speech/volume",             Kind::Int,    [] { return QVariant(80); },                      0, 100, Tells::Nothing},
    {"speech/mark",               Kind::Bool,   [] { return QVariant(true); },                    0, 0,   Tells::Nothing},
    {"speech/resumeOnShow",       Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    // Clean text: the script for all books (0 as in the file, 1 simplified,
    // 2 traditional, 3 Taiwan, 4 Hong Kong) and the tidying of paragraphs.
    {"clean/script",              Kind::Int,    [] { return QVariant(0); },                       0, 4,   Tells::Nothing},
    {"clean/foldBlank",           Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"clean/indent",              Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"clean/join",                Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"speech/sleep",              Kind::Int,    [] { return QVariant(0); },                      -1, 90,  Tells::Nothing},
    // Syncing the place and the bookmarks: over WebDAV at url (user, folder
    // under it), or through a folder another program syncs when localFolder
    // is set. Plain http only to this machine unless allowInsecure. The
    // device id (made once) names this machine's records; the password is
    // never here (the system's keychain).
    {"sync/enabled",              Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"sync/url",                  Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::Nothing},
    {"sync/user",                 Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::Nothing},
    {"sync/folder",               Kind::String, [] { return QVariant(QStringLiteral("tavril/")); }, 0, 0, Tells::Nothing},
    {"sync/allowInsecure",        Kind::Bool,   [] { return QVariant(false); },                   0, 0,   Tells::Nothing},
    {"sync/localFolder",          Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::Nothing},
    {"sync/deviceId",             Kind::String, [] { return QVariant(QString()); },               0, 0,   Tells::Nothing},
    {"sync/deviceName",           Kind::String, [] { return QVariant(QSysInfo::machineHostName()); }, 0, 0, Tells::Nothing},
};
// clang-format on

const Setting *settingOf(const QString &key)
{
    for (const Setting &setting : kSettings) {
        if (key == QLatin1String(setting.key))
            return &setting;
    }
    return nullptr;
}

bool isSizedFont(const QFont &font)
{
    const bool sized = (font.pointSize() > 0 && font.pointSize() <= kLargestPointSize) ||
                       (font.pointSize() <= 0 && font.pixelSize() > 0 && font.pixelSize() <= kLargestPointSize);
    return sized && qAbs(font.letterSpacing()) <= kLargestSpacing;
}

// Every value from the file or a caller is checked for type and range: a
// hand-edited or damaged file falls back to the defaults instead of
// breaking the reader. An invalid value gives a null variant.
QVariant checked(const Setting &setting, const QVariant &value)
{
    switch (setting.kind) {
    case Kind::Bool: {
        if (value.type() == QVariant::Bool)
            return value;
        const QString text = value.toString().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return QVariant();
    }
    case Kind::Int: {
        bool ok = false;
        const int number = value.toInt(&ok);
        return ok && number >= setting.lowest && number <= setting.highest ? QVariant(number) : QVariant();
    }
    case Kind::Color:
        return value.type() == QVariant::Color && value.value<QColor>().isValid() ? value : QVariant();
    case Kind::Font:
        return value.type() == QVariant::Font && isSizedFont(value.value<QFont>()) ? value : QVariant();
    case Kind::Rect:
        return value.type() == QVariant::Rect ? value : QVariant();
    case Kind::String:
        return value.type() == QVariant::String ? value : QVariant();
    }
    return QVariant();
}

// Paths as the settings file can keep them (see FileNameCodec).
QStringList storedPaths(const QStringList &paths)
{
    QStringList stored;
    for (const QString &path : paths)
        stored << FileNameCodec::toStored(path);
    return stored;
}

QStringList readPaths(const QVariant &value)
{
    QStringList paths;
    if (value.type() != QVariant::StringList && value.type() != QVariant::String)
        return paths;
    for (const QString &stored : value.toStringList()) {
        const QString path = FileNameCodec::fromStored(stored);
        if (!path.isEmpty() && !paths.contains(path) && paths.size() < kHistoryLength)
            paths << path;
    }
    return paths;
}

} // namespace

ReaderConfig::ReaderConfig() : QObject(nullptr)
{
    resetFont(false);
    load();
}

QVariant ReaderConfig::get(const char *key) const
{
    const auto found = values.constFind(QLatin1String(key));
    if (found != values.constEnd())
        return found.value();
    const Setting *setting = settingOf(QLatin1String(key));
    return setting ? setting->byDefault() : QVariant();
}

void ReaderConfig::store(const char *key, const QVariant &value)
{
    values.insert(QLatin1String(key), value);
    configSettings()->setValue(QLatin1String(key), value);
    emit settingChanged(QLatin1String(key));
}

bool ReaderConfig::setValue(const QString &key, const QVariant &value)
{
    const Setting *setting = settingOf(key);
    const QVariant fit = setting ? checked(*setting, value) : QVariant();
    if (fit.isNull())
        return false;
    if (setting->kind == Kind::Font)
        font_ = fit.value<QFont>();
    else if (key == QLatin1String("font/letterspace"))
        font_.setLetterSpacing(QFont::AbsoluteSpacing, fit.toInt());
    values.insert(key, fit);
    switch (setting->tells) {
    case Tells::Font:
        emit fontChanged();
        break;
    case Tells::Background:
        emit backgroundChanged();
        break;
    case Tells::Top:
        emit topOnWindow(fit.toBool());
        break;
    case Tells::ChapterRule:
        emit chapterRuleChanged();
        break;
    case Tells::Nothing:
        break;
    }
    configSettings()->setValue(key, fit);
    emit settingChanged(key);
    return true;
}

void ReaderConfig::resetFont(bool save)
{
    font_ = QApplication::font();
    for (const char *key : {"font/font", "font/color", "font/linespace", "font/letterspace", "window/bgColor"})
        values.remove(QLatin1String(key));
    if (!save)
        return;
    // Written in this order, with one signal, although the background changed too.
    emit fontChanged();
    auto settings = configSettings();
    for (const char *key : {"font/font", "font/color", "font/linespace", "font/letterspace", "window/bgColor"})
        settings->setValue(QLatin1String(key), get(key));
}

void ReaderConfig::load()
{
    auto settings = configSettings();
    for (const Setting &setting : kSettings) {
        const QString key = QLatin1String(setting.key);
        const QVariant fit = settings->contains(key) ? checked(setting, settings->value(key)) : QVariant();
        if (fit.isNull())
            continue;
        values.insert(key, fit);
        if (setting.kind == Kind::Font)
            font_ = fit.value<QFont>();
    }
    // The stored rectangle is used only when the window remembers it.
    if (!rememberWin())
        values.remove(QStringLiteral("window/rect"));
    // The stored spacing wins over the one the stored font carries.
    if (values.contains(QStringLiteral("font/letterspace")))
        font_.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace());
    if (settings->contains(QStringLiteral("content/encodings")))
        bookEncodings =
            settings->value(QStringLiteral("content/encodings")).toStringList().mid(0, kRememberedEncodings);
    history = readPaths(settings->value(QStringLiteral("fileHistory")));
}

QString ReaderConfig::chapterRuleName() const
{
    return ChapterRule::fromName(get("content/chapterRule").toString(), chapterPattern()).name();
}

void ReaderConfig::setWindowRect(const QRect &rect)
{
    store("window/rect", rect);
}

void ReaderConfig::setFont(const QFont &font)
{
    setValue(QStringLiteral("font/font"), font);
}

void ReaderConfig::setLineSpace(int space)
{
    setValue(QStringLiteral("font/linespace"), space);
}

void ReaderConfig::setLetterSpace(int space)
{
    setValue(QStringLiteral("font/letterspace"), space);
}

void ReaderConfig::setTextColor(const QColor &color)
{
    setValue(QStringLiteral("font/color"), color);
}

void ReaderConfig::setBgType(int type)
{
    setValue(QStringLiteral("window/bgType"), type);
}

void ReaderConfig::setTranslucent(int percent)
{
    setValue(QStringLiteral("window/translucent"), percent);
}

void ReaderConfig::setBgColor(const QColor &color)
{
    setValue(QStringLiteral("window/bgColor"), color);
}

void ReaderConfig::setTop(bool top)
{
    setValue(QStringLiteral("window/isTop"), top);
}

void ReaderConfig::setRememberWin(bool remember)
{
    setValue(QStringLiteral("window/rememberWin"), remember);
}

void ReaderConfig::setTray(bool tray)
{
    setValue(QStringLiteral("window/tray"), tray);
}

void ReaderConfig::setOpenLastFile(bool open)
{
    setValue(QStringLiteral("window/openLastFile"), open);
}

void ReaderConfig::setClickNextPage(bool click)
{
    setValue(QStringLiteral("shortcut/clickNextPage"), click);
}

void ReaderConfig::setDoubleClickHide(bool hide)
{
    setValue(QStringLiteral("shortcut/doublceClickHide"), hide);
}

void ReaderConfig::setWheelTurnPage(bool wheel)
{
    setValue(QStringLiteral("shortcut/wheelTurnPage"), wheel);
}

void ReaderConfig::setCheckUpdateAtStart(bool check)
{
    setValue(QStringLiteral("update/checkAtStart"), check);
}

void ReaderConfig::setChapterRule(const QString &name, const QString &pattern)
{
    values.insert(QStringLiteral("content/chapterRule"), name);
    values.insert(QStringLiteral("content/chapterPattern"), pattern);
    emit chapterRuleChanged();
    auto settings = configSettings();
    settings->setValue(QStringLiteral("content/chapterRule"), name);
    settings->setValue(QStringLiteral("content/chapterPattern"), pattern);
}

void ReaderConfig::setShowProgress(bool show)
{
    setValue(QStringLiteral("view/showProgress"), show);
}

void ReaderConfig::setPunctuationRules(bool on)
{
    setValue(QStringLiteral("view/punctuationRules"), on);
}

void ReaderConfig::setAutoTurnSeconds(int seconds)
{
    const Setting *setting = settingOf(QStringLiteral("view/autoTurnSeconds"));
    setValue(QStringLiteral("view/autoTurnSeconds"), qBound(setting->lowest, seconds, setting->highest));
}

TextEncoding ReaderConfig::bookEncoding(const QString &path) const
{
    for (const QString &entry : bookEncodings) {
        if (entry.section(QLatin1Char('|'), 1) == FileNameCodec::toStored(path))
            return textEncodingFromName(entry.section(QLatin1Char('|'), 0, 0));
    }
    return TextEncoding::Auto;
}

void ReaderConfig::setBookEncoding(const QString &path, TextEncoding encoding)
{
    QStringList kept;
    for (const QString &entry : qAsConst(bookEncodings)) {
        if (entry.section(QLatin1Char('|'), 1) != FileNameCodec::toStored(path))
            kept << entry;
    }
    if (encoding != TextEncoding::Auto)
        kept.prepend(textEncodingName(encoding) + QLatin1Char('|') + FileNameCodec::toStored(path));
    bookEncodings = kept.mid(0, kRememberedEncodings);
    configSettings()->setValue(QStringLiteral("content/encodings"), bookEncodings);
}

QString ReaderConfig::installId()
{
    auto settings = configSettings();
    const QString key = QStringLiteral("update/installId");
    const QString stored = settings->value(key).toString();
    if (QUuid(stored).isNull()) {
        const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
        settings->setValue(key, made);
        return made;
    }
    return stored;
}

bool ReaderConfig::wasTold(const QString &notice, const QString &path) const
{
    return configSettings()
        ->value(QStringLiteral("notices/") + notice)
        .toStringList()
        .contains(FileNameCodec::toStored(path));
}

void ReaderConfig::rememberTold(const QString &notice, const QString &path)
{
    const QString key = QStringLiteral("notices/") + notice;
    auto settings = configSettings();
    QStringList told = settings->value(key).toStringList();
    told.removeAll(FileNameCodec::toStored(path));
    told.prepend(FileNameCodec::toStored(path));
    settings->setValue(key, QStringList(told.mid(0, kRememberedNotices)));
}

QString ReaderConfig::lastFile() const
{
    return history.value(0);
}

void ReaderConfig::removeFileHistory(const QString &path)
{
    history.removeAll(path);
    configSettings()->setValue(QStringLiteral("fileHistory"), storedPaths(history));
}

void ReaderConfig::addFileHistory(const QString &path)
{
    history.removeAll(path);
    history.prepend(path);
    while (history.size() > kHistoryLength)
        history.removeAt(kHistoryLength);
    configSettings()->setValue(QStringLiteral("fileHistory"), storedPaths(history));
}
