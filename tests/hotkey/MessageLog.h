#pragma once

#include <QStringList>
#include <QtGlobal>

/// Records the warnings written while it lives, instead of printing them;
/// other messages go on to the handler that was there before (QtTest's).
class MessageLog
{
public:
    MessageLog() : previous(qInstallMessageHandler(&MessageLog::handle)) { active() = this; }
    ~MessageLog()
    {
        qInstallMessageHandler(previous);
        active() = nullptr;
    }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    QStringList warnings;

private:
    static MessageLog *&active()
    {
        static MessageLog *log = nullptr;
        return log;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtWarningMsg)
            active()->warnings << message;
        else
            active()->previous(type, context, message);
    }

    QtMessageHandler previous;
};
