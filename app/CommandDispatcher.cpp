#include "CommandDispatcher.h"

CommandDispatcher::CommandDispatcher(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<Command>("Command");
}

void CommandDispatcher::add(Command command, std::function<void()> handler)
{
    handlers.insert(command, std::move(handler));
}

void CommandDispatcher::run(Command command)
{
    const auto handler = handlers.constFind(command);
    if (handler == handlers.constEnd())
        return;
    emit aboutToRun(command);
    // A copy: the handler may replace itself (or run a dialog that does).
    const std::function<void()> work = handler.value();
    work();
}
