#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

/// What the update service answered.
struct UpdateAnswer
{
    bool newer = false;
    /// The newer version must be installed before the reader may go on.
    bool force = false;
    QString versionName;
    QString notes;
    QString url; // the download page
};

/// Asks the update service whether a newer version exists: one GET (query
/// app, version, machine), an answer of at most LargestAnswer bytes of JSON
/// such as {"versionCode": 7, "versionName": "2.0.5", "notes": "...",
/// "url": "https://...", "force": false}, and a time-out. Shows nothing.
class UpdateChecker : public QObject
{
    Q_OBJECT

public:
    enum Problem { NoProblem, NoNetwork, TimedOut, ServerError, TooLarge, BadAnswer };
    Q_ENUM(Problem)

    UpdateChecker(const QString &appId, int versionCode, const QString &installId, QObject *parent = nullptr);
    ~UpdateChecker() override;

    /// Starts a check; an earlier one still running is given up.
    void check(const QString &address);
    /// How long a check may take before it counts as failed (10 s).
    void setTimeout(int milliseconds) { timeout = milliseconds; }

    /// Answers larger than this are not read (also a body that would inflate).
    static constexpr qint64 LargestAnswer = 64 * 1024;

signals:
    void answered(const UpdateAnswer &answer);
    /// The check failed: what kind of failure, and what Qt said of it.
    void failed(UpdateChecker::Problem problem, const QString &detail);

private:
    void onReadyRead();
    void onFinished();

    QNetworkAccessManager *network = nullptr; // made on the first check
    QPointer<QNetworkReply> reply;
    const QString appId;
    const int versionCode;
    const QString installId;
    int timeout = 10000;
    bool tooLarge = false;
};
