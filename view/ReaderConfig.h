#pragma once

#include "ChapterRule.h"
#include "decodeText.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QObject>
#include <QRect>
#include <QStringList>
#include <QVariant>

/// The reader's settings: the look of the page, the window's behaviour and
/// the recent files, from one table of keys (key, type, default, range) that
/// reading, writing and checking all use. Loaded once at construction; every
/// setter writes its own key at once through configSettings().
///
/// A capability with settings of its own adds rows to the table and reads
/// and writes them by key with value() and setValue().
class ReaderConfig : public QObject
{
    Q_OBJECT

public:
    ReaderConfig();

    QRect windowRect() const { return get("window/rect").toRect(); }
    QColor bgColor() const { return get("window/bgColor").value<QColor>(); }
    int translucent() const { return get("window/translucent").toInt(); }
    int bgType() const { return get("window/bgType").toInt(); }
    bool rememberWin() const { return get("window/rememberWin").toBool(); }
    bool isTop() const { return get("window/isTop").toBool(); }
    bool tray() const { return get("window/tray").toBool(); }
    bool clickNextPage() const { return get("shortcut/clickNextPage").toBool(); }
    bool doubleClickHide() const { return get("shortcut/doublceClickHide").toBool(); }
    bool wheelTurnPage() const { return get("shortcut/wheelTurnPage").toBool(); }
    bool openLastFile() const { return get("window/openLastFile").toBool(); }
    /// Carries the letter spacing in effect.
    QFont font() const { return font_; }
    QColor textColor() const { return get("font/color").value<QColor>(); }
    int lineSpace() const { return get("font/linespace").toInt(); }
    /// As loaded from the file; the spacing in effect is font().letterSpacing().
    int letterSpace() const { return get("font/letterspace").toInt(); }
    QStringList fileHistory() const { return history; }
    /// How chapter headings are found: "standard", "strict" or "custom" with a
    /// pattern (an invalid pattern reads as standard).
    ChapterRule chapterRule() const { return ChapterRule::fromName(chapterRuleName(), chapterPattern()); }
    QString chapterRuleName() const;
    QString chapterPattern() const { return get("content/chapterPattern").toString(); }
    /// A line at the foot of the page shows how far the book is read.
    bool showProgress() const { return get("view/showProgress").toBool(); }
    /// Lines neither start with closing punctuation nor end with opening
    /// punctuation (Chinese typesetting's 避头尾).
    bool punctuationRules() const { return get("view/punctuationRules").toBool(); }
    /// Seconds between two pages when they turn by themselves (2 to 120).
    int autoTurnSeconds() const { return get("view/autoTurnSeconds").toInt(); }
    /// The encoding the user chose for the book at `path` (Auto: none).
    TextEncoding bookEncoding(const QString &path) const;
    /// Ask the update service at start whether a newer version exists.
    bool checkUpdateAtStart() const { return get("update/checkAtStart").toBool(); }
    /// A random id of this installation for the update service, made and
    /// stored on first use; it says nothing about the machine.
    QString installId();

    /// A setting by its key, as the table defines it (its default when the
    /// file has none, or one of the wrong type or out of range).
    QVariant value(const QString &key) const { return get(key.toLatin1().constData()); }
    /// Stores a setting of the table: checked against its type and range
    /// (false, and nothing changes, for a value that does not fit), written
    /// at once, then settingChanged() and the setting's own signal.
    bool setValue(const QString &key, const QVariant &value);

    void setWindowRect(const QRect &rect);
    void setFont(const QFont &font);
    void setLineSpace(int space);
    /// Sets the font's absolute letter spacing in pixels.
    void setLetterSpace(int space);
    void setTextColor(const QColor &color);
    void setBgType(int type);
    void setTranslucent(int percent);
    void setBgColor(const QColor &color);
    void setTop(bool top);
    void setRememberWin(bool remember);
    void setTray(bool tray);
    void setOpenLastFile(bool open);
    void setClickNextPage(bool click);
    void setDoubleClickHide(bool hide);
    void setWheelTurnPage(bool wheel);
    void setCheckUpdateAtStart(bool check);
    void setChapterRule(const QString &name, const QString &pattern);
    void setShowProgress(bool show);
    void setPunctuationRules(bool on);
    void setAutoTurnSeconds(int seconds);
    /// Remembers the encoding chosen for the book at `path` (Auto forgets it).
    void setBookEncoding(const QString &path, TextEncoding encoding);

    /// Whether the notice `notice` was given for the book at `path`, in this
    /// or an earlier session; and remembering that it was.
    bool wasTold(const QString &notice, const QString &path) const;
    void rememberTold(const QString &notice, const QString &path);

    /// The most recent file, or an empty string.
    QString lastFile() const;
    /// Puts `path` first in the history (at most ten, no duplicates).
    void addFileHistory(const QString &path);
    void removeFileHistory(const QString &path);
    /// Font, colours and spacing back to their defaults; written when `save`.
    void resetFont(bool save);

signals:
    void fontChanged();
    void backgroundChanged();
    void topOnWindow(bool isTop);
    void chapterRuleChanged();
    /// Any setting of the table changed (its key).
    void settingChanged(const QString &key);

private:
    QVariant get(const char *key) const;
    void store(const char *key, const QVariant &value);
    void load();

    QHash<QString, QVariant> values; // only what differs from the table's defaults
    QFont font_;
    QStringList history;
    QStringList bookEncodings; // "name|absolute path", the latest first
};
