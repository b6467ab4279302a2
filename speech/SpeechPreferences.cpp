#include "SpeechPreferences.h"
#include "ui_SpeechPreferences.h"

#include "ReaderConfig.h"

namespace {
// The sleep timer's choices: minutes, or -1 for the end of the chapter.
const int kSleepChoices[] = {0, 15, 30, 60, 90, -1};
} // namespace

SpeechPreferences::SpeechPreferences(ReaderConfig *config, SpeechEngine *engine, QWidget *parent)
    : QWidget(parent), config(config), engine(engine), ui(new Ui::SpeechPreferences)
{
    ui->setupUi(this);
    for (int minutes : kSleepChoices) {
        ui->cbb_sleep->addItem(minutes == 0  ? tr("关闭")
                               : minutes < 0 ? tr("本章读完时")
                                             : tr("%1 分钟后").arg(minutes),
                               minutes);
    }
    load();
    connect(ui->cbb_voice, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { store("speech/voice", ui->cbb_voice->itemData(index)); });
    connect(ui->hs_rate, &QSlider::valueChanged, this, [this](int value) { store("speech/rate", value); });
    connect(ui->hs_pitch, &QSlider::valueChanged, this, [this](int value) { store("speech/pitch", value); });
    connect(ui->hs_volume, &QSlider::valueChanged, this, [this](int value) { store("speech/volume", value); });
    connect(ui->cbb_sleep, QOverload<int>::of(&QComboBox::activated), this,
            [this](int index) { store("speech/sleep", ui->cbb_sleep->itemData(index)); });
    connect(ui->cb_sentence_mark, &QCheckBox::toggled, this, [this](bool on) { store("speech/mark", on); });
    connect(ui->cb_resume_on_show, &QCheckBox::toggled, this, [this](bool on) { store("speech/resumeOnShow", on); });
    connect(engine, &SpeechEngine::voicesKnown, this, &SpeechPreferences::fillVoices);
    connect(engine, &SpeechEngine::failed, this, [this](SpeechEngine::Problem problem) {
        ui->lb_speech_state->setText(SpeechEngine::problemText(problem));
    });
}

SpeechPreferences::~SpeechPreferences() = default;

void SpeechPreferences::load()
{
    const auto value = [this](const char *key) { return config->value(QLatin1String(key)); };
    ui->hs_rate->setValue(value("speech/rate").toInt());
    ui->hs_pitch->setValue(value("speech/pitch").toInt());
    ui->hs_volume->setValue(value("speech/volume").toInt());
    ui->cb_sentence_mark->setChecked(value("speech/mark").toBool());
    ui->cb_resume_on_show->setChecked(value("speech/resumeOnShow").toBool());
    ui->cbb_sleep->setCurrentIndex(qMax(0, ui->cbb_sleep->findData(value("speech/sleep").toInt())));
    fillVoices(engine->voices());
}

void SpeechPreferences::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The service starts only when someone wants to hear or choose a voice.
    if (!engine->isRunning()) {
        ui->lb_speech_state->setText(tr("正在连接语音服务…"));
        engine->start();
    }
}

void SpeechPreferences::fillVoices(const QStringList &voices)
{
    const QString chosen = config->value(QStringLiteral("speech/voice")).toString();
    ui->cbb_voice->clear();
    ui->cbb_voice->addItem(tr("自动（普通话优先）"), QString());
    for (const QString &voice : voices)
        ui->cbb_voice->addItem(voice, voice);
    // A voice chosen once stays chosen while its service is away.
    if (!chosen.isEmpty() && !voices.contains(chosen))
        ui->cbb_voice->addItem(chosen, chosen);
    ui->cbb_voice->setCurrentIndex(qMax(0, ui->cbb_voice->findData(chosen)));
    if (!voices.isEmpty())
        ui->lb_speech_state->clear();
}

void SpeechPreferences::store(const char *key, const QVariant &value)
{
    config->setValue(QLatin1String(key), value);
}
