#include "ReaderConfig.h"

#include "FileNameCodec.h"
#include "configSettings.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QUuid>

namespace {

const int kHistoryLength = 10;
const int kRememberedEncodings = 50;
const int kFewestAutoTurnSeconds = 2;
const int kMostAutoTurnSeconds = 120;
// Ranges beyond anything the preference dialog offers, and far from the
// sizes at which the page arithmetic would overflow.
const int kLargestSpacing = 200;
const int kLargestPointSize = 1000;

// Every value from the file is checked for type and range: a hand-edited or
// damaged file falls back to the defaults instead of breaking the reader.
class StoredValues
{
public:
    explicit StoredValues(QSettings *settings) : settings(settings) {}

    bool readInt(const char *key, int lowest, int highest, int *field) const
    {
        bool ok = false;
        const int value = get(key).toInt(&ok);
        if (!has(key) || !ok || value < lowest || value > highest)
            return false;
        *field = value;
        return true;
    }
    void readBool(const char *key, bool *field) const
    {
        const QVariant value = get(key);
        const QString text = value.toString().toLower();
        if (!has(key))
            return;
        if (value.type() == QVariant::Bool)
            *field = value.toBool();
        else if (text == QLatin1String("true") || text == QLatin1String("1"))
            *field = true;
        else if (text == QLatin1String("false") || text == QLatin1String("0"))
            *field = false;
    }
    void readColor(const char *key, QColor *field) const
    {
        const QVariant value = get(key);
        if (has(key) && value.type() == QVariant::Color && value.value<QColor>().isValid())
            *field = value.value<QColor>();
    }
    void readFont(const char *key, QFont *field) const
    {
        const QVariant value = get(key);
        if (!has(key) || value.type() != QVariant::Font)
            return;
        const QFont font = value.value<QFont>();
        const bool sized = (font.pointSize() > 0 && font.pointSize() <= kLargestPointSize) ||
                           (font.pointSize() <= 0 && font.pixelSize() > 0 && font.pixelSize() <= kLargestPointSize);
        if (sized && qAbs(font.letterSpacing()) <= kLargestSpacing)
            *field = font;
    }
    void readRect(const char *key, QRect *field) const
    {
        const QVariant value = get(key);
        if (has(key) && value.type() == QVariant::Rect)
            *field = value.toRect();
    }
    void readString(const char *key, QString *field) const
    {
        const QVariant value = get(key);
        if (has(key) && value.type() == QVariant::String)
            *field = value.toString();
    }
    void readPaths(const char *key, QStringList *field) const
    {
        const QVariant value = get(key);
        if (!has(key) || (value.type() != QVariant::StringList && value.type() != QVariant::String))
            return;
        QStringList paths;
        for (const QString &stored : value.toStringList()) {
            const QString path = FileNameCodec::fromStored(stored);
            if (!path.isEmpty() && !paths.contains(path) && paths.size() < kHistoryLength)
                paths << path;
        }
        *field = paths;
    }

private:
    bool has(const char *key) const { return settings->contains(QLatin1String(key)); }
    QVariant get(const char *key) const { return settings->value(QLatin1String(key)); }

    QSettings *settings;
};

// Paths as the settings file can keep them (see FileNameCodec).
QStringList storedPaths(const QStringList &paths)
{
    QStringList stored;
    for (const QString &path : paths)
        stored << FileNameCodec::toStored(path);
    return stored;
}

} // namespace

ReaderConfig::ReaderConfig() : QObject(nullptr)
{
    resetDefaults();
    load();
}

void ReaderConfig::resetDefaults()
{
    windowRect_ = QRect();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        const int w = available.width();
        const int h = available.height();
        windowRect_ = QRect(w / 3, h / 3, w / 3, h / 3);
    }
    resetFont(false);
    bgType_ = 0;
    translucent_ = 100;
    rememberWin_ = isTop_ = tray_ = false;
    clickNextPage_ = doubleClickHide_ = wheelTurnPage_ = false;
    openLastFile_ = false;
    checkUpdateAtStart_ = true;
    chapterRuleName_ = ChapterRule().name();
    chapterPattern_.clear();
    showProgress_ = false;
    punctuationRules_ = false;
    autoTurnSeconds_ = 15;
}

void ReaderConfig::resetFont(bool save)
{
    font_ = QApplication::font();
    textColor_ = QColor(Qt::gray);
    lineSpace_ = 2;
    letterSpace_ = 0;
    bgColor_ = QColor(Qt::white);
    if (!save)
        return;
    emit fontChanged();
    auto settings = configSettings();
    settings->setValue(QStringLiteral("font/font"), font_);
    settings->setValue(QStringLiteral("font/color"), textColor_);
    settings->setValue(QStringLiteral("font/linespace"), lineSpace_);
    settings->setValue(QStringLiteral("font/letterspace"), letterSpace_);
    settings->setValue(QStringLiteral("window/bgColor"), bgColor_);
}

void ReaderConfig::load()
{
    auto settings = configSettings();
    const StoredValues stored(settings.data());
    settings->beginGroup(QStringLiteral("window"));
    stored.readInt("bgType", 0, 1, &bgType_);
    stored.readInt("translucent", 0, 100, &translucent_);
    stored.readColor("bgColor", &bgColor_);
    stored.readBool("isTop", &isTop_);
    stored.readBool("rememberWin", &rememberWin_);
    stored.readBool("tray", &tray_);
    stored.readBool("openLastFile", &openLastFile_);
    if (rememberWin_)
        stored.readRect("rect", &windowRect_);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("shortcut"));
    stored.readBool("clickNextPage", &clickNextPage_);
    stored.readBool("doublceClickHide", &doubleClickHide_);
    stored.readBool("wheelTurnPage", &wheelTurnPage_);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("font"));
    stored.readFont("font", &font_);
    stored.readColor("color", &textColor_);
    stored.readInt("linespace", 0, kLargestSpacing, &lineSpace_);
    if (stored.readInt("letterspace", -kLargestSpacing, kLargestSpacing, &letterSpace_))
        font_.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace_);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("update"));
    stored.readBool("checkAtStart", &checkUpdateAtStart_);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("view"));
    stored.readBool("showProgress", &showProgress_);
    stored.readBool("punctuationRules", &punctuationRules_);
    stored.readInt("autoTurnSeconds", kFewestAutoTurnSeconds, kMostAutoTurnSeconds, &autoTurnSeconds_);
    settings->endGroup();

    settings->beginGroup(QStringLiteral("content"));
    stored.readString("chapterRule", &chapterRuleName_);
    stored.readString("chapterPattern", &chapterPattern_);
    chapterRuleName_ = ChapterRule::fromName(chapterRuleName_, chapterPattern_).name();
    if (settings->contains(QStringLiteral("encodings")))
        bookEncodings_ = settings->value(QStringLiteral("encodings")).toStringList().mid(0, kRememberedEncodings);
    settings->endGroup();

    stored.readPaths("fileHistory", &fileHistory_);
}

void ReaderConfig::write(const QString &key, const QVariant &value)
{
    configSettings()->setValue(key, value);
}

void ReaderConfig::setWindowRect(const QRect &rect)
{
    windowRect_ = rect;
    write(QStringLiteral("window/rect"), rect);
}

void ReaderConfig::setFont(const QFont &font)
{
    font_ = font;
    emit fontChanged();
    write(QStringLiteral("font/font"), font);
}

void ReaderConfig::setLineSpace(int space)
{
    lineSpace_ = space;
    emit fontChanged();
    write(QStringLiteral("font/linespace"), space);
}

void ReaderConfig::setLetterSpace(int space)
{
    font_.setLetterSpacing(QFont::AbsoluteSpacing, space);
    emit fontChanged();
    write(QStringLiteral("font/letterspace"), space);
}

void ReaderConfig::setTextColor(const QColor &color)
{
    textColor_ = color;
    emit fontChanged();
    write(QStringLiteral("font/color"), color);
}

void ReaderConfig::setBgType(int type)
{
    bgType_ = type;
    emit backgroundChanged();
    write(QStringLiteral("window/bgType"), type);
}

void ReaderConfig::setTranslucent(int percent)
{
    translucent_ = percent;
    emit backgroundChanged();
    write(QStringLiteral("window/translucent"), percent);
}

void ReaderConfig::setBgColor(const QColor &color)
{
    bgColor_ = color;
    emit backgroundChanged();
    write(QStringLiteral("window/bgColor"), color);
}

void ReaderConfig::setTop(bool top)
{
    isTop_ = top;
    emit topOnWindow(top);
    write(QStringLiteral("window/isTop"), top);
}

void ReaderConfig::setRememberWin(bool remember)
{
    rememberWin_ = remember;
    write(QStringLiteral("window/rememberWin"), remember);
}

void ReaderConfig::setTray(bool tray)
{
    tray_ = tray;
    write(QStringLiteral("window/tray"), tray);
}

void ReaderConfig::setOpenLastFile(bool open)
{
    openLastFile_ = open;
    write(QStringLiteral("window/openLastFile"), open);
}

void ReaderConfig::setClickNextPage(bool click)
{
    clickNextPage_ = click;
    write(QStringLiteral("shortcut/clickNextPage"), click);
}

void ReaderConfig::setDoubleClickHide(bool hide)
{
    doubleClickHide_ = hide;
    write(QStringLiteral("shortcut/doublceClickHide"), hide);
}

void ReaderConfig::setWheelTurnPage(bool wheel)
{
    wheelTurnPage_ = wheel;
    write(QStringLiteral("shortcut/wheelTurnPage"), wheel);
}

void ReaderConfig::setCheckUpdateAtStart(bool check)
{
    checkUpdateAtStart_ = check;
    write(QStringLiteral("update/checkAtStart"), check);
}

void ReaderConfig::setChapterRule(const QString &name, const QString &pattern)
{
    chapterRuleName_ = name;
    chapterPattern_ = pattern;
    emit chapterRuleChanged();
    auto settings = configSettings();
    settings->setValue(QStringLiteral("content/chapterRule"), name);
    settings->setValue(QStringLiteral("content/chapterPattern"), pattern);
}

void ReaderConfig::setShowProgress(bool show)
{
    showProgress_ = show;
    emit fontChanged(); // the page has another height
    write(QStringLiteral("view/showProgress"), show);
}

void ReaderConfig::setPunctuationRules(bool on)
{
    punctuationRules_ = on;
    emit fontChanged(); // lines break elsewhere
    write(QStringLiteral("view/punctuationRules"), on);
}

void ReaderConfig::setAutoTurnSeconds(int seconds)
{
    autoTurnSeconds_ = qBound(kFewestAutoTurnSeconds, seconds, kMostAutoTurnSeconds);
    write(QStringLiteral("view/autoTurnSeconds"), autoTurnSeconds_);
}

TextEncoding ReaderConfig::bookEncoding(const QString &path) const
{
    for (const QString &entry : bookEncodings_) {
        if (entry.section(QLatin1Char('|'), 1) == FileNameCodec::toStored(path))
            return textEncodingFromName(entry.section(QLatin1Char('|'), 0, 0));
    }
    return TextEncoding::Auto;
}

void ReaderConfig::setBookEncoding(const QString &path, TextEncoding encoding)
{
    QStringList kept;
    for (const QString &entry : qAsConst(bookEncodings_)) {
        if (entry.section(QLatin1Char('|'), 1) != FileNameCodec::toStored(path))
            kept << entry;
    }
    if (encoding != TextEncoding::Auto)
        kept.prepend(textEncodingName(encoding) + QLatin1Char('|') + FileNameCodec::toStored(path));
    bookEncodings_ = kept.mid(0, kRememberedEncodings);
    write(QStringLiteral("content/encodings"), bookEncodings_);
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

bool ReaderConfig::setPageRect(const QRect &rect)
{
    const bool same = rect == pageRect_;
    pageRect_ = rect;
    return same;
}

QString ReaderConfig::lastFile() const
{
    return fileHistory_.value(0);
}

void ReaderConfig::removeFileHistory(const QString &path)
{
    fileHistory_.removeAll(path);
    write(QStringLiteral("fileHistory"), storedPaths(fileHistory_));
}

void ReaderConfig::addFileHistory(const QString &path)
{
    fileHistory_.removeAll(path);
    fileHistory_.prepend(path);
    while (fileHistory_.size() > kHistoryLength)
        fileHistory_.removeAt(kHistoryLength);
    write(QStringLiteral("fileHistory"), storedPaths(fileHistory_));
}
