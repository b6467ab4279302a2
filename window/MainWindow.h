#pragma once

#include <QMainWindow>
#include <QScopedPointer>

namespace Ui {
class MainWindow;
}

/// The reading window: frameless, placed and sized by the reader.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    QScopedPointer<Ui::MainWindow> ui;
};
