#include "ContextMenu.h"

#include "CommandDispatcher.h"
#include "FileNameCodec.h"
#include "HotKeyManager.h"
#include "ReaderConfig.h"
#include "ReadingCommands.h"
#include "ReadingSession.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

namespace {

const struct
{
    TextEncoding encoding;
    const char *text;
} kEncodings[] = {
    {TextEncoding::Auto, QT_TRANSLATE_NOOP("ContextMenu", "自动")},
    {TextEncoding::Utf8, "UTF-8"},
    {TextEncoding::Gb18030, "GBK/GB18030"},
    {TextEncoding::Big5, "Big5"},
    {TextEncoding::Utf16Le, "UTF-16LE"},
    {TextEncoding::Utf16Be, "UTF-16BE"},
    {TextEncoding::Utf32, "UTF-32"},
};

// How 自动 names what it chose.
QString readingName(TextReading reading)
{
    switch (reading) {
    case TextReading::Utf8:
        return QStringLiteral("UTF-8");
    case TextReading::Gbk:
        return QStringLiteral("GBK");
    case TextReading::Gb18030:
    case TextReading::Gb18030Table:
        return QStringLiteral("GB18030");
    case TextReading::Big5:
        return QStringLiteral("Big5");
    case TextReading::Utf16Le:
        return QStringLiteral("UTF-16LE");
    case TextReading::Utf16Be:
        return QStringLiteral("UTF-16BE");
    default:
        return QStringLiteral("UTF-32");
    }
}

} // namespace

ContextMenu::ContextMenu(CommandDispatcher *dispatcher, ReadingCommands *commands, ReadingSession *session,
                         ReaderConfig *config, HotKeyManager *keys, QWidget *window)
    : QObject(window), dispatcher(dispatcher), commands(commands), session(session), config(config), keys(keys),
      window(window)
{
}

ContextMenu::~ContextMenu()
{
    delete menu_;
}

QMenu *ContextMenu::menu()
{
    if (!menu_)
        build();
    return menu_;
}

void ContextMenu::exec(const QPoint &at)
{
    menu()->exec(at);
}

void ContextMenu::build()
{
    menu_ = new QMenu(window);
    QList<bool> separatorBefore;
    const QList<Command> inMenu = CommandTable::menuCommands(&separatorBefore);
    for (int i = 0; i < inMenu.size(); ++i) {
        const Command command = inMenu.at(i);
        if (separatorBefore.at(i))
            menu_->addSeparator();
        QAction *action = menu_->addAction(CommandTable::menuText(command));
        action->setData(QVariant::fromValue(command));
        // The key shows in the menu; it works there too, as it does in the window.
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, dispatcher, [this, command] { dispatcher->run(command); });
        if (command == Command::Open)
            menu_->addMenu(buildRecentMenu());
        if (command == Command::Close)
            menu_->addMenu(buildEncodingMenu());
    }
    connect(menu_, &QMenu::aboutToShow, this, &ContextMenu::showKeys);
}

// The keys as they are now: the user may have changed them since.
void ContextMenu::showKeys()
{
    for (QAction *action : menu_->actions()) {
        if (action->data().canConvert<Command>())
            action->setShortcut(QKeySequence(keys->hotKey(action->data().value<Command>(), KeyScope::InApp),
                                             QKeySequence::PortableText));
    }
}

// Reading a book in another encoding than the one it looks like; the choice
// is remembered for that book.
QMenu *ContextMenu::buildEncodingMenu()
{
    auto *encodings = new QMenu(tr("编码"), menu_);
    auto *choices = new QActionGroup(encodings);
    for (const auto &entry : kEncodings) {
        QAction *action = encodings->addAction(tr(entry.text));
        action->setCheckable(true);
        action->setData(int(entry.encoding));
        choices->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, encoding = entry.encoding] { commands->chooseEncoding(encoding); });
    }
    // The choice for the book open now is ticked whenever the menu opens,
    // and 自动 says what it chose.
    connect(encodings, &QMenu::aboutToShow, this, [this, choices] {
        const Book *book = session->book();
        const TextEncoding chosen = config->bookEncoding(book->path());
        for (QAction *action : choices->actions()) {
            action->setEnabled(book->isOpen());
            action->setChecked(action->data().toInt() == int(chosen));
        }
        choices->actions().first()->setText(book->isOpen() && chosen == TextEncoding::Auto
                                                ? tr("自动（%1）").arg(readingName(book->textReading()))
                                                : tr("自动"));
    });
    return encodings;
}

// The history, newest first; a book no longer there is greyed out, and
// taken off the list when chosen.
QMenu *ContextMenu::buildRecentMenu()
{
    recentMenu = new QMenu(tr("最近打开"), menu_);
    recentMenu->setToolTipsVisible(true);
    connect(recentMenu, &QMenu::aboutToShow, this, [this] {
        recentMenu->clear();
        for (const QString &path : config->fileHistory()) {
            const QFileInfo info(path);
            // The whole name: volumes such as 斗罗大陆.第一部 and .第二部 must not look alike.
            QString name = info.fileName();
            if (name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
                name.chop(4);
            QAction *action = recentMenu->addAction(FileNameCodec::displayed(name));
            action->setCheckable(true);
            action->setChecked(session->book()->isOpen() && session->book()->path() == path);
            action->setToolTip(QDir::toNativeSeparators(FileNameCodec::displayed(info.absolutePath())));
            action->setData(path);
            action->setEnabled(info.exists());
            connect(action, &QAction::triggered, this, [this, path] { commands->openRecent(path); });
        }
        if (recentMenu->isEmpty())
            recentMenu->addAction(tr("（无）"))->setEnabled(false);
    });
    // A greyed-out entry takes no click of its own: the menu passes it on.
    recentMenu->installEventFilter(this);
    return recentMenu;
}

bool ContextMenu::eventFilter(QObject *watched, QEvent *event)
{
    // A click on a greyed-out book of the history: take it off the list.
    if (watched == recentMenu && event->type() == QEvent::MouseButtonRelease) {
        QAction *action = recentMenu->actionAt(static_cast<QMouseEvent *>(event)->pos());
        if (action && !action->isEnabled() && !action->data().toString().isEmpty()) {
            const QString path = action->data().toString();
            menu_->close();
            QTimer::singleShot(0, this, [this, path] { commands->openRecent(path); });
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
