#pragma once

#include <QScopedPointer>
#include <QWidget>

class CleanText;
class ReaderConfig;
class ReadingSession;

namespace Ui {
class CleanPreferences;
}

/// The 净化 page of the preferences: the script for all books and for the
/// open one, the tidying of paragraphs, and the way to the rules. Every
/// edit is stored at once and shows at once.
class CleanPreferences : public QWidget
{
    Q_OBJECT

public:
    CleanPreferences(CleanText *clean, ReadingSession *session, ReaderConfig *config, QWidget *parent = nullptr);
    ~CleanPreferences() override;

signals:
    /// 净化规则… was pressed.
    void rulesRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void load();

    CleanText *clean;
    ReadingSession *session;
    ReaderConfig *config;
    QScopedPointer<Ui::CleanPreferences> ui;
};
