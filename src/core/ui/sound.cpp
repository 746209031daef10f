#include "core/ui/sound.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <optional>

namespace jq {

namespace {

// The one sound effect of the program, owned by the application object so
// it goes away with it. Main thread only.
QPointer<QSoundEffect> current;

// The system's list of audio outputs. Made at the first sound, so that a
// game with sound off never wakes the audio system.
class SystemAudioOutputs : public AudioOutputs {
public:
    explicit SystemAudioOutputs(QObject* parent) : AudioOutputs(parent) {
        auto* devices = new QMediaDevices(this);
        connect(devices, &QMediaDevices::audioOutputsChanged, this, &AudioOutputs::changed);
    }
    bool Any() override { return !QMediaDevices::audioOutputs().isEmpty(); }
};

QPointer<AudioOutputs> chosenOutputs;  // put in place by UseAudioOutputs
QPointer<AudioOutputs> systemOutputs;
QPointer<AudioOutputs> watchedOutputs;  // the list whose changes clear the answer
QMetaObject::Connection watching;

// Whether the computer has an audio output: without one every effect only
// complains, so the game stays silent. A "yes" holds until the list reports
// a change. A "no" is asked again at every sound: asking makes no effect and
// costs little, and the list does not always report an output that comes
// (the toolkit's sound-server list updates itself without saying so).
std::optional<bool> audioOutput;
std::optional<bool> assumedAudioOutput;

AudioOutputs* CurrentOutputs() {
    if (chosenOutputs) return chosenOutputs;
    if (!systemOutputs) systemOutputs = new SystemAudioOutputs(QCoreApplication::instance());
    return systemOutputs;
}

bool HaveAudioOutput() {
    if (assumedAudioOutput) return *assumedAudioOutput;
    AudioOutputs* outputs = CurrentOutputs();
    if (watchedOutputs != outputs) {
        QObject::disconnect(watching);
        watching = QObject::connect(outputs, &AudioOutputs::changed, outputs, [] { audioOutput.reset(); });
        watchedOutputs = outputs;
        audioOutput.reset();
    }
    if (!audioOutput.value_or(false)) audioOutput = outputs->Any();
    return *audioOutput;
}

void DropCurrent() {
    if (current) {
        current->stop();
        current->deleteLater();
        current = nullptr;
    }
}

void WaitForEnd(QSoundEffect& effect) {
    if (effect.status() == QSoundEffect::Error || !effect.isPlaying()) {
        return;
    }
    QEventLoop loop;
    QObject::connect(&effect, &QSoundEffect::playingChanged, &loop, [&loop, &effect] {
        if (!effect.isPlaying()) {
            loop.quit();
        }
    });
    QObject::connect(&effect, &QSoundEffect::statusChanged, &loop, [&loop, &effect] {
        if (effect.status() == QSoundEffect::Error) {
            loop.quit();
        }
    });
    QObject::connect(&effect, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(kSyncSoundLimitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

void PlayGameSound(const std::string& folder, const std::string& fileName, bool async,
                   int soundOn, int clickStepCount) {
    if (clickStepCount != 1 || soundOn == 0) {
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() != app->thread()) {
        return;
    }
    DropCurrent();
    if (!HaveAudioOutput()) {
        return;
    }

    const std::filesystem::path path = std::filesystem::path(folder) / fileName;
    const QString file = QFile::decodeName(QByteArray::fromStdString(path.string()));
    if (fileName.empty() || !QFileInfo(file).isFile()) {
        return;  // no default sound to fall back on: stay silent
    }

    auto* effect = new QSoundEffect(app);
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error && current == effect) {
            DropCurrent();  // not a sound we can play
        }
    });
    effect->setSource(QUrl::fromLocalFile(file));
    current = effect;
    effect->play();
    if (!async) {
        WaitForEnd(*effect);
    }
}

QString CurrentGameSound() {
    if (current && current->isPlaying()) {
        return current->source().toLocalFile();
    }
    return QString();
}

void StopGameSound() {
    DropCurrent();
}

void AssumeAudioOutput(std::optional<bool> present) {
    assumedAudioOutput = present;
    audioOutput.reset();
}

void UseAudioOutputs(AudioOutputs* outputs) {
    chosenOutputs = outputs;
}

}  // namespace jq
