#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

/// Where the machines' records meet: a WebDAV server or a folder that
/// another program syncs. Every call returns at once and answers through
/// its callback later, on the thread that called (never after the store is
/// gone). Each book has a folder of its own, each machine one file in it.
class SyncStore : public QObject
{
    Q_OBJECT

public:
    /// What went wrong, as far as the user can do something about it.
    enum Problem { NoProblem, NotSet, Insecure, Address, Credentials, Certificate, Quota, Timeout, Server, Folder };
    Q_ENUM(Problem)

    /// One file of a book's folder. `unchanged`: its tag is the one asked
    /// about, and the bytes were not fetched again; `tooLarge`: not fetched.
    struct File
    {
        QString name;
        QByteArray tag;
        QByteArray bytes;
        bool unchanged = false;
        bool tooLarge = false;
    };
    struct Listing
    {
        Problem problem = NoProblem;
        QString detail;
        QList<File> files;
    };
    using Listed = std::function<void(const Listing &)>;
    using Done = std::function<void(Problem, const QString &detail)>;

    explicit SyncStore(QObject *parent = nullptr) : QObject(parent) {}

    /// The records in the folder of `book`, all but `ownName`; a file whose
    /// tag is in `known` comes back unchanged. A book without a folder yet
    /// has no records (no problem).
    virtual void list(const QString &book, const QString &ownName, const QHash<QString, QByteArray> &known,
                      const Listed &done) = 0;
    /// Writes `bytes` as `name` in the folder of `book`, making the folder.
    virtual void put(const QString &book, const QString &name, const QByteArray &bytes, const Done &done) = 0;
    /// Whether the store can be reached and the credentials are right.
    virtual void probe(const Done &done) = 0;

    /// A line for the user on `problem`; `detail` is what the system said.
    static QString problemText(Problem problem, const QString &detail = QString());
};
