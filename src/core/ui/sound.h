// The game's sound effects: short wave files of the working folder.
#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

namespace jq {

// Plays `fileName` (a plain name such as "move.wav") of `folder`, but only
// when sound is on (`soundOn` not 0) and steps are carried out one at a time
// (`clickStepCount` 1). A new sound cuts off the one still playing.
// Asynchronous play returns at once; otherwise the call waits for the
// sound's end, at most kSyncSoundLimitMs, handling timers and sockets but
// no user input meanwhile. Without an audio output every sound is silent:
// the list of outputs is asked at each sound until it has one (a headset
// plugged in later is heard), and then again once it reports a change.
// A missing or unreadable file is silent. Main thread only; called from
// another thread it plays nothing.
void PlayGameSound(const std::string& folder, const std::string& fileName, bool async,
                   int soundOn, int clickStepCount);

constexpr int kSyncSoundLimitMs = 10000;

// The path of the sound now playing (or loading to play); empty when none
// is.
QString CurrentGameSound();

// Stops the sound that is playing, if any.
void StopGameSound();

// Takes `present` as the answer to whether there is an audio output instead
// of asking the system; nullopt asks again at the next sound. For tests.
void AssumeAudioOutput(std::optional<bool> present);

// The list of audio outputs as the sounds see it: whether there is one, and
// a signal when the list changes. The system's list unless another is put
// in place.
class AudioOutputs : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool Any() = 0;

signals:
    void changed();
};

// Asks `outputs` from the next sound on, instead of the system's list
// (nullptr: the system's again). The caller keeps ownership; a list that
// goes away counts as nullptr. For tests.
void UseAudioOutputs(AudioOutputs* outputs);

}  // namespace jq
