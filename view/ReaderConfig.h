#pragma once

#include "ChapterRule.h"
#include "decodeText.h"

#include <QColor>
#include <QFont>
#include <QObject>
#include <QRect>
#include <QStringList>

/// The reader's settings: the look of the page, the window's behaviour and
/// the recent files. Loaded once at construction; every setter writes its own
/// key at once through configSettings().
class ReaderConfig : public QObject
{
    Q_OBJECT

public:
    ReaderConfig();

    QRect pageRect() const { return pageRect_; }
    QRect windowRect() const { return windowRect_; }
    QColor bgColor() const { return bgColor_; }
    int translucent() const { return translucent_; }
    int bgType() const { return bgType_; }
    bool rememberWin() const { return rememberWin_; }
    bool isTop() const { return isTop_; }
    bool tray() const { return tray_; }
    bool clickNextPage() const { return clickNextPage_; }
    bool doubleClickHide() const { return doubleClickHide_; }
    bool wheelTurnPage() const { return wheelTurnPage_; }
    bool openLastFile() const { return openLastFile_; }
    QFont font() const { return font_; }
    QColor textColor() const { return textColor_; }
    int lineSpace() const { return lineSpace_; }
    /// As loaded from the file; the spacing in effect is font().letterSpacing().
    int letterSpace() const { return letterSpace_; }
    QStringList fileHistory() const { return fileHistory_; }
    /// How chapter headings are found: "standard", "strict" or "custom" with a
    /// pattern (an invalid pattern reads as standard).
    ChapterRule chapterRule() const { return ChapterRule::fromName(chapterRuleName_, chapterPattern_); }
    QString chapterRuleName() const { return chapterRuleName_; }
    QString chapterPattern() const { return chapterPattern_; }
    /// A line at the foot of the page shows how far the book is read.
    bool showProgress() const { return showProgress_; }
    /// Lines neither start with closing punctuation nor end with opening
    /// punctuation (Chinese typesetting's 避头尾).
    bool punctuationRules() const { return punctuationRules_; }
    /// Seconds between two pages when they turn by themselves (2 to 120).
    int autoTurnSeconds() const { return autoTurnSeconds_; }
    /// The encoding the user chose for the book at `path` (Auto: none).
    TextEncoding bookEncoding(const QString &path) const;
    /// Ask the update service at start whether a newer version exists.
    bool checkUpdateAtStart() const { return checkUpdateAtStart_; }
    /// A random id of this installation for the update service, made and
    /// stored on first use; it says nothing about the machine.
    QString installId();

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

    /// Stores the text area; true when it did not change. Nothing is written.
    bool setPageRect(const QRect &rect);
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

private:
    void resetDefaults();
    void load();
    void write(const QString &key, const QVariant &value);

    QRect pageRect_;
    QRect windowRect_;
    QColor bgColor_;
    int translucent_ = 100;
    int bgType_ = 0;
    bool rememberWin_ = false;
    bool isTop_ = false;
    bool tray_ = false;
    bool clickNextPage_ = false;
    bool doubleClickHide_ = false;
    bool wheelTurnPage_ = false;
    bool openLastFile_ = false;
    QFont font_;
    QColor textColor_;
    int lineSpace_ = 2;
    int letterSpace_ = 0;
    QStringList fileHistory_;
    bool checkUpdateAtStart_ = true;
    bool showProgress_ = false;
    bool punctuationRules_ = false;
    int autoTurnSeconds_ = 15;
    QString chapterRuleName_;
    QString chapterPattern_;
    QStringList bookEncodings_; // "name|absolute path", the latest first
};
