#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

/// A message box would wait for a person: closes any that opens, and says so.
class MessageBoxCloser : public QTimer
{
public:
    MessageBoxCloser()
    {
        connect(this, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                std::printf("  unexpected message: %s\n", qPrintable(box->text()));
                box->reject();
            }
        });
        start(20);
    }
};
