#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QPainter;
class QRect;
class ReaderConfig;

/// The line on the page that says the place moved to another machine's,
/// offering to go back for a few seconds.
class SyncNotice : public QObject
{
    Q_OBJECT

public:
    explicit SyncNotice(ReaderConfig *config, QObject *parent = nullptr);

    /// Shows the notice for `ms`; `previous` is the place it left (decoded).
    void show(int previous, int ms);
    void hide();
    bool isShown() const { return !text_.isEmpty(); }
    QString text() const { return text_; }
    int previous() const { return previous_; }
    void paint(QPainter *painter, const QRect &page) const;
    /// Where on `page` the notice stands: a click there goes back.
    QRect area(const QRect &page) const;

signals:
    void changed();

private:
    ReaderConfig *config;
    QString text_;
    int previous_ = -1;
    QTimer timer;
};
