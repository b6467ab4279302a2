#pragma once

#include <QStringList>

/// Records the warnings written while it lives; other messages go on to the previous (QtTest's) handler.
class MessageLog
{
public:
    MessageLog()
    {
        active = this;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (type == QtWarningMsg)
                active->warnings << text;
            else
                active->previous(type, context, text);
        });
    }
    ~MessageLog() { qInstallMessageHandler(previous); }

    QStringList warnings;

private:
    static inline MessageLog *active = nullptr;
    QtMessageHandler previous;
};
