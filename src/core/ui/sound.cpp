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
#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace jq {

namespace {

// The one sound effect of the program that may be playing, and the effects
// stopped before it, still to be deleted. Main thread only. An effect is
// deleted only while no effect's sound is being loaded: the toolkit's
// sample cache waits for its loading thread when a sound is let go, and
// that thread may be waiting for the main thread (at the exit above all),
// so the program would hang. Effects have no parent: what is left at the
// exit goes with the process.
QPointer<QSoundEffect> current;
std::vector<QPointer<QSoundEffect>> retired;

bool AnyLoading() {
    const auto loading = [](const QPointer<QSoundEffect>& e) { return e && e->status() == QSoundEffect::Loading; };
    return loading(current) || std::any_of(retired.begin(), retired.end(), loading);
}

void DeleteRetired() {
    if (AnyLoading()) return;
    std::vector<QPointer<QSoundEffect>> going;
    going.swap(retired);
    for (const QPointer<QSoundEffect>& e : going) delete e.data();
}

// From the event loop, never inside an effect's own signal.
void DeleteRetiredLater() {
    if (QCoreApplication* app = QCoreApplication::instance()) QTimer::singleShot(0, app, DeleteRetired);
}

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
        retired.push_back(current);
        current = nullptr;
    }
    DeleteRetiredLater();
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

    auto* effect = new QSoundEffect;
    QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Error && current == effect) {
            DropCurrent();  // not a sound we can play
        }
        // A sound loaded (or not): the effects stopped meanwhile may go.
        if (effect->status() != QSoundEffect::Loading && !retired.empty()) DeleteRetiredLater();
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
