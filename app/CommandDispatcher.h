#pragma once

#include "CommandTable.h"

#include <QHash>
#include <QObject>

#include <functional>

/// Runs commands by their Command: each has one handler, registered by the
/// part of the reader that carries it out (the window, the reading commands,
/// a capability). The keys, the menu and requests from outside all end here.
class CommandDispatcher : public QObject
{
    Q_OBJECT

public:
    explicit CommandDispatcher(QObject *parent = nullptr);

    /// Makes `handler` carry out `command`, in place of any earlier one.
    void add(Command command, std::function<void()> handler);
    bool handles(Command command) const { return handlers.contains(command); }

public slots:
    /// Carries out `command`; one without a handler does nothing.
    void run(Command command);

signals:
    /// Just before a command runs: pages that turn by themselves stop at
    /// whatever the reader does next.
    void aboutToRun(Command command);

private:
    QHash<Command, std::function<void()>> handlers;
};
