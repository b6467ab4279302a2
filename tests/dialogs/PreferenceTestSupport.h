#pragma once

// Helpers shared by the preference dialog's tests: answering modal dialogs,
// catching the addresses handed to the browser, and reading the ini file back.

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include <functional>

/// What a modal dialog looked like when it came up.
struct SeenModal
{
    QString className;
    QString title;
    QString text; // message boxes only
    QMessageBox::StandardButtons buttons;
    QObject *parent = nullptr;
};

/// Answers the modal dialogs that the code under test runs, in the order in
/// which they come, so that no test waits for a person. A dialog that no
/// answer was queued for is rejected and recorded as unexpected, so a test can
/// also tell that nothing was opened.
class ModalAnswerer : public QObject
{
public:
    using Answer = std::function<void(QWidget *modal)>;

    ModalAnswerer()
    {
        connect(&timer, &QTimer::timeout, this, &ModalAnswerer::poll);
        timer.start(5);
    }

    void expect(const Answer &answer) { answers.enqueue(answer); }
    /// Clicks @p button of the message box that comes next.
    void expectMessageBox(QMessageBox::StandardButton button)
    {
        expect([button](QWidget *modal) {
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                box->button(button)->click();
            else
                closeModal(modal);
        });
    }
    void expectReject()
    {
        expect([](QWidget *modal) { closeModal(modal); });
    }

    int pending() const { return answers.size(); }
    QList<SeenModal> seen;
    QStringList unexpected;

    static void closeModal(QWidget *modal)
    {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
        else
            modal->close();
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        // A stack dialog of the next call may come back at the same address,
        // hence the guarded pointer: it is cleared when the dialog is destroyed.
        if (busy || !modal || modal == handled)
            return;
        handled = modal;
        busy = true;
        SeenModal view{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), QString(),
                       QMessageBox::NoButton, modal->parent()};
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            view.text = box->text();
            view.buttons = box->standardButtons();
        }
        seen.append(view);
        if (answers.isEmpty()) {
            unexpected.append(view.className);
            closeModal(modal);
        } else {
            answers.dequeue()(modal);
        }
        busy = false;
    }

    QTimer timer;
    QQueue<Answer> answers;
    QPointer<QWidget> handled;
    bool busy = false;
};

/// Stands in for the desktop's browser (and mail program) while it lives.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    UrlCatcher()
    {
        for (const char *scheme : kSchemes)
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~UrlCatcher() override
    {
        for (const char *scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }

private:
    static constexpr const char *kSchemes[] = {"http", "https", "mailto", "ftp", "file", "tel"};
};

inline QString testIniPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tavrilconfig.ini");
}

/// A value as the ini file holds it now, read through a settings object of our own.
inline QVariant iniValue(const QString &key)
{
    QSettings settings(testIniPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF8");
    return settings.value(key);
}

inline bool iniContains(const QString &key)
{
    QSettings settings(testIniPath(), QSettings::IniFormat);
    settings.setIniCodec("UTF8");
    return settings.contains(key);
}
