#pragma once

#include "Prompter.h"

#include <QStringList>

// Answers for the window instead of a person, and remembers what was asked.
class AnsweringPrompter : public Prompter
{
public:
    void information(QWidget *, const QString &text) override { messages << text; }
    bool question(QWidget *, const QString &text) override
    {
        questions << text;
        return agree;
    }
    QString text(QWidget *, const QString &, const QString &) override { return typed; }
    QString openFileName(QWidget *, const QString &caption, const QString &start, const QString &filter) override
    {
        asked << caption << start << filter;
        return answer;
    }
    void openUrl(const QUrl &url) override { urls << url.toString(); }

    QStringList messages;
    QStringList questions;
    bool agree = true;
    QString typed; // what text() answers; null: cancelled
    QStringList asked;
    QStringList urls;
    QString answer;
};
