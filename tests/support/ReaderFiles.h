#pragma once

// Books, bookmark files and programs, as the reader's tests use them.

#include "TestFiles.h"

// `chapters` short chapters in `codec`.
inline bool writeChapters(const QString &path, int chapters, const char *codec = "UTF-8")
{
    QString text;
    for (int i = 1; i <= chapters; ++i)
        text += QStringLiteral("第%1章 开端\n\u3000\u3000天色将晚，江上起了风。老渔夫收起网，回头望了一眼远处的山影。\n").arg(i);
    return !writeFile(path, QTextCodec::codecForName(codec)->fromUnicode(text)).isEmpty();
}

// The automatic bookmark's offset, read apart from the reader's own code; -1 without one.
inline int storedOffset(const QString &bmk)
{
    QDataStream in(readFile(bmk));
    qint32 count = 0, offset = -1;
    in >> count >> offset;
    return count > 0 ? offset : -1;
}

inline void stopReader(QProcess &reader)
{
    reader.terminate();
    reader.waitForFinished(5000);
}

// Runs `program` to its end: its exit code, or -1; what it printed goes to `output`.
inline int runToEnd(const QString &program, const QStringList &arguments,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                    QString *output = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return process.exitCode();
}
