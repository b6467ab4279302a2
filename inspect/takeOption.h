#pragma once

#include <QStringList>

// Takes "--name VALUE" out of `args`. False when the option is given
// without a value or twice.
inline bool takeOption(QStringList &args, const QString &name, QString *value)
{
    const int at = args.indexOf(name);
    if (at < 0)
        return true;
    if (at + 1 >= args.size() || args.lastIndexOf(name) != at)
        return false;
    *value = args.at(at + 1);
    args.erase(args.begin() + at, args.begin() + at + 2);
    return true;
}
