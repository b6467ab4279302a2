#pragma once

#include <QObject>
#include <QTimer>

class AutoTurner;
class CleanText;
class CommandDispatcher;
class PlaceSync;
class PreferenceDialog;
class QPainter;
class QRect;
class QWidget;
class ReadAloud;
class Reader;

/// What the reader can do beside showing pages: pages that turn by
/// themselves, the book read aloud, clean text, the place synced between
/// machines. Each registers its commands, paints its
/// sign on the page, hears of the window hiding and showing, and brings its
/// own page of preferences; the window only creates this and paints it.
class Capabilities : public QObject
{
    Q_OBJECT

public:
    Capabilities(Reader *reader, CommandDispatcher *dispatcher, QWidget *window);

    AutoTurner *autoTurner() const { return autoTurner_; }
    ReadAloud *readAloud() const { return readAloud_; }
    CleanText *cleanText() const { return cleanText_; }
    PlaceSync *placeSync() const { return placeSync_; }
    /// Their signs on the page.
    void paint(QPainter *painter, const QRect &page) const;
    /// Their pages of preferences.
    void addPreferencePages(PreferenceDialog *dialog);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRules(QWidget *parent);
    void saveCleanText();
    /// A quiet line at the foot of the page for a while (the sync's troubles).
    void showNote(const QString &text);

    Reader *reader;
    QWidget *window;
    AutoTurner *autoTurner_;
    ReadAloud *readAloud_;
    CleanText *cleanText_;
    PlaceSync *placeSync_;
    QString note;
    QTimer noteTimer;
};
