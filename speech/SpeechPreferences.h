#pragma once

#include "SpeechEngine.h"

#include <QScopedPointer>
#include <QWidget>

class ReaderConfig;

namespace Ui {
class SpeechPreferences;
}

/// The 朗读 page of the preferences: voice, rate, pitch, volume, the sentence
/// mark, resuming on show and the sleep timer. Every edit is stored at once.
/// The voices are asked of the speech service the first time the page shows.
class SpeechPreferences : public QWidget
{
    Q_OBJECT

public:
    SpeechPreferences(ReaderConfig *config, SpeechEngine *engine, QWidget *parent = nullptr);
    ~SpeechPreferences() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void load();
    void fillVoices(const QStringList &voices);
    void store(const char *key, const QVariant &value);

    ReaderConfig *config;
    SpeechEngine *engine;
    QScopedPointer<Ui::SpeechPreferences> ui;
};
