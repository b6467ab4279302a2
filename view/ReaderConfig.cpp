#include "ReaderConfig.h"

#include "configSettings.h"

#include <QApplication>
#include <QScreen>

namespace {

const int kHistoryLength = 10;

QColor toColor(const QVariant &value)
{
    return value.canConvert<QColor>() ? value.value<QColor>() : QColor();
}

QFont toFont(const QVariant &value)
{
    return value.canConvert<QFont>() ? value.value<QFont>() : QFont();
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
    settings->beginGroup(QStringLiteral("window"));
    auto has = [&](const char *key) { return settings->contains(QLatin1String(key)); };
    auto get = [&](const char *key) { return settings->value(QLatin1String(key)); };
    if (has("bgType"))
        bgType_ = get("bgType").toInt();
    if (has("translucent"))
        translucent_ = get("translucent").toInt();
    if (has("bgColor"))
        bgColor_ = toColor(get("bgColor"));
    if (has("isTop"))
        isTop_ = get("isTop").toBool();
    if (has("rememberWin"))
        rememberWin_ = get("rememberWin").toBool();
    if (has("tray"))
        tray_ = get("tray").toBool();
    if (has("openLastFile"))
        openLastFile_ = get("openLastFile").toBool();
    if (rememberWin_ && has("rect"))
        windowRect_ = get("rect").toRect();
    settings->endGroup();

    settings->beginGroup(QStringLiteral("shortcut"));
    if (has("clickNextPage"))
        clickNextPage_ = get("clickNextPage").toBool();
    if (has("doublceClickHide"))
        doubleClickHide_ = get("doublceClickHide").toBool();
    if (has("wheelTurnPage"))
        wheelTurnPage_ = get("wheelTurnPage").toBool();
    settings->endGroup();

    settings->beginGroup(QStringLiteral("font"));
    if (has("font"))
        font_ = toFont(get("font"));
    if (has("color"))
        textColor_ = toColor(get("color"));
    if (has("linespace"))
        lineSpace_ = get("linespace").toInt();
    if (has("letterspace")) {
        letterSpace_ = get("letterspace").toInt();
        font_.setLetterSpacing(QFont::AbsoluteSpacing, letterSpace_);
    }
    settings->endGroup();

    if (has("fileHistory"))
        fileHistory_ = get("fileHistory").toStringList();
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

void ReaderConfig::addFileHistory(const QString &path)
{
    fileHistory_.removeAll(path);
    fileHistory_.prepend(path);
    while (fileHistory_.size() > kHistoryLength)
        fileHistory_.removeAt(kHistoryLength);
    write(QStringLiteral("fileHistory"), fileHistory_);
}
