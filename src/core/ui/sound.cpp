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

// Whether the computer has an audio output, asked once: without one every
// effect only complains, so from then on the game stays silent.
std::optional<bool> audioOutput;

bool HaveAudioOutput() {
    if (!audioOutput) audioOutput = !QMediaDevices::audioOutputs().isEmpty();
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
    audioOutput = present;
}

}  // namespace jq
