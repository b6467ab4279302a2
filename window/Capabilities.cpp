#include "Capabilities.h"

#include "AutoTurner.h"
#include "CleanPreferences.h"
#include "CleanText.h"
#include "CommandDispatcher.h"
#include "PageNote.h"
#include "PlaceSync.h"
#include "PreferenceDialog.h"
#include "Prompter.h"
#include "ReadAloud.h"
#include "Reader.h"
#include "ReaderConfig.h"
#include "RulesDialog.h"
#include "SpeechPreferences.h"
#include "SyncPreferences.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include <QEvent>
#include <QWidget>

Capabilities::Capabilities(Reader *reader, CommandDispatcher *dispatcher, QWidget *window)
    : QObject(window), reader(reader), window(window),
      autoTurner_(new AutoTurner(reader->session(), reader->config(), window)), readAloud_(new ReadAloud(reader, this)),
      cleanText_(new CleanText(reader->session(), reader->config(), this)),
      placeSync_(new PlaceSync(reader->session(), reader->config(), this))
{
    // Gone with this object, before the reader and its settings.
    autoTurner_->setParent(this);
    autoTurner_->addTo(dispatcher);
    readAloud_->addTo(dispatcher);
    dispatcher->add(Command::CleanRules, [this] { showRules(this->window); });
    dispatcher->add(Command::SaveCleanText, [this] { saveCleanText(); });
    connect(cleanText_, &CleanText::message, window,
            [window](const QString &text) { Prompter::current()->information(window, text); });
    dispatcher->add(Command::UndoSync, [this] { placeSync_->undo(); });
    connect(placeSync_, &PlaceSync::changed, window, QOverload<>::of(&QWidget::update));
    connect(placeSync_, &PlaceSync::message, this, &Capabilities::showNote);
    connect(placeSync_, &PlaceSync::passwordWanted, this, [this] {
        const QString user = this->reader->config()->value(QStringLiteral("sync/user")).toString();
        const QString password =
            Prompter::current()->password(this->window, tr("同步"), tr("%1 在 WebDAV 上的密码：").arg(user));
        if (!password.isEmpty()) // cancelled: no sync with this server this run
            placeSync_->account()->setPassword(password);
    });
    // What changed goes out before the reader ends, waiting a moment at most.
    connect(qApp, &QCoreApplication::aboutToQuit, placeSync_, [this] { placeSync_->flushNow(2000); });
    noteTimer.setSingleShot(true);
    connect(&noteTimer, &QTimer::timeout, this, [this] { showNote(QString()); });
    connect(autoTurner_, &AutoTurner::changed, window, QOverload<>::of(&QWidget::update));
    connect(readAloud_, &ReadAloud::changed, window, QOverload<>::of(&QWidget::update));
    connect(readAloud_, &ReadAloud::message, window,
            [window](const QString &text) { Prompter::current()->information(window, text); });
    window->installEventFilter(this);
}

void Capabilities::paint(QPainter *painter, const QRect &page) const
{
    if (autoTurner_->isTurning())
        autoTurner_->paintMark(painter, page);
    readAloud_->paintNote(painter, page);
    placeSync_->paintNotice(painter, page);
    PageNote::paint(painter, reader->config(), page, Qt::AlignBottom | Qt::AlignRight, note);
}

void Capabilities::showNote(const QString &text)
{
    note = text;
    if (!text.isEmpty())
        noteTimer.start(10000);
    window->update();
}

void Capabilities::addPreferencePages(PreferenceDialog *dialog)
{
    dialog->addPage(new SpeechPreferences(reader->config(), readAloud_->engine()), tr("朗读"));
    auto *clean = new CleanPreferences(cleanText_, reader->session(), reader->config());
    connect(clean, &CleanPreferences::rulesRequested, this, [this, dialog] { showRules(dialog); });
    dialog->addPage(clean, tr("净化"));
    auto *sync = new SyncPreferences(reader->config(), placeSync_);
    sync->setFolderChooser([](QWidget *parent, const QString &caption, const QString &start) {
        return Prompter::current()->folderName(parent, caption, start);
    });
    dialog->addPage(sync, tr("同步"));
}

void Capabilities::showRules(QWidget *parent)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<RulesDialog *>(widget); open && open->isVisible()) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    RulesDialog dialog(cleanText_, reader->book(), parent);
    dialog.exec();
}

// The book as shown, in a new file the user names; the book itself is never
// changed.
void Capabilities::saveCleanText()
{
    const Book *book = reader->book();
    if (!book->hasText()) {
        Prompter::current()->information(window, tr("请先打开一本书"));
        return;
    }
    const QFileInfo info(book->path());
    const QString suggested = info.dir().filePath(info.completeBaseName() + tr("（净化）.txt"));
    const QString target =
        Prompter::current()->saveFileName(window, tr("另存为净化文本"), suggested, tr("文本文件 (*.txt)"));
    if (target.isEmpty())
        return;
    QString error;
    if (QFileInfo(target).absoluteFilePath() == info.absoluteFilePath())
        error = tr("不能覆盖书本身");
    else if (cleanText_->saveShownText(target, &error))
        return;
    Prompter::current()->warning(window, tr("无法保存：%1").arg(error));
}

// Hiding the window (a key, a double click, a command from outside) stops
// pages turning and silences the voice at once.
bool Capabilities::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window && event->type() == QEvent::Hide) {
        autoTurner_->stop();
        readAloud_->silence();
        placeSync_->windowHidden();
    } else if (watched == window && event->type() == QEvent::MouseButtonPress && placeSync_->canUndo() &&
               placeSync_->noticeArea(reader->pageRect()).contains(static_cast<QMouseEvent *>(event)->pos())) {
        // A click on the notice goes back, and turns no page.
        placeSync_->undo();
        return true;
    } else if (watched == window && event->type() == QEvent::Show) {
        readAloud_->windowShown();
    }
    return false;
}
