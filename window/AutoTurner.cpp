#include "AutoTurner.h"

#include "CommandDispatcher.h"
#include "PageNote.h"
#include "Prompter.h"
#include "ReaderConfig.h"
#include "ReadingSession.h"

#include <QPainter>
#include <QWidget>

AutoTurner::AutoTurner(ReadingSession *session, ReaderConfig *config, QWidget *window)
    : QObject(window), session(session), config(config), window(window)
{
    connect(&timer, &QTimer::timeout, this, &AutoTurner::turn);
}

void AutoTurner::addTo(CommandDispatcher *dispatcher)
{
    dispatcher->add(Command::AutoTurn, [this] { toggle(); });
    connect(dispatcher, &CommandDispatcher::aboutToRun, this, [this](Command command) {
        if (command != Command::AutoTurn)
            stop();
    });
}

void AutoTurner::toggle()
{
    if (timer.isActive()) {
        stop();
        return;
    }
    if (!session->book()->hasText()) {
        Prompter::current()->information(window, tr("请先打开一本书"));
        return;
    }
    timer.start(config->autoTurnSeconds() * 1000);
    emit changed();
}

void AutoTurner::stop()
{
    if (!timer.isActive())
        return;
    timer.stop();
    emit changed();
}

void AutoTurner::turn()
{
    // The end of the book ends it too.
    if (!session->nextPage())
        stop();
}

void AutoTurner::paintMark(QPainter *painter, const QRect &page) const
{
    PageNote::paint(painter, config, page, Qt::AlignTop | Qt::AlignRight, tr("▶ 自动"));
}
