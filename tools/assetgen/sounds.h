// The ten sound effects, synthesised from sine tones, noise and envelopes:
// 16-bit PCM, mono, 22050 Hz.
#pragma once

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "common.h"

namespace assetgen {

constexpr int kRate = 22050;

using Samples = std::vector<double>;

inline Samples Silence(double seconds) {
    return Samples(static_cast<size_t>(std::lround(seconds * kRate)), 0.0);
}

// Adds `src` into `dst` starting at `at` seconds, growing `dst` as needed.
inline void MixIn(Samples& dst, const Samples& src, double at, double gain = 1.0) {
    size_t start = static_cast<size_t>(std::lround(at * kRate));
    if (dst.size() < start + src.size()) dst.resize(start + src.size(), 0.0);
    for (size_t i = 0; i < src.size(); ++i) dst[start + i] += src[i] * gain;
}

// A tone whose frequency glides from f0 to f1, with an attack and an
// exponential decay (`decay` is the time constant in seconds).
inline Samples Tone(double f0, double f1, double seconds, double attack, double decay,
                    double harmonics = 0.0) {
    Samples s = Silence(seconds);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = f0 + (f1 - f0) * (t / seconds);
        phase += 2 * M_PI * f / kRate;
        double env = (t < attack ? t / attack : 1.0) * std::exp(-(t - std::min(t, attack)) / decay);
        double v =
            std::sin(phase) + harmonics * 0.5 * std::sin(2 * phase) + harmonics * 0.25 * std::sin(3 * phase);
        s[i] = v * env;
    }
    return s;
}

// Noise through a one-pole low-pass (`smooth` 0..1, larger is duller), with
// an attack and a decay.
inline Samples Noise(uint32_t seed, double seconds, double smooth, double attack, double decay) {
    Lcg rng(seed);
    Samples s = Silence(seconds);
    double y = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        y = smooth * y + (1 - smooth) * rng.Signed();
        double env = (t < attack ? t / attack : 1.0) * std::exp(-(t - std::min(t, attack)) / decay);
        s[i] = y * env;
    }
    return s;
}

// Scales to the given peak and fades the last few milliseconds out, so
// nothing clicks at the end.
inline void Finish(Samples& s, double peak) {
    double m = 0;
    for (double v : s) m = std::max(m, std::fabs(v));
    if (m <= 0) return;
    const size_t fade = std::min<size_t>(s.size(), kRate / 200);  // 5 ms
    for (size_t i = 0; i < s.size(); ++i) {
        s[i] *= peak / m;
        size_t left = s.size() - i;
        if (left <= fade) s[i] *= static_cast<double>(left - 1) / fade;
    }
}

inline void PutLe(QByteArray& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The whole wave file: RIFF header, "fmt " chunk (PCM, mono, 16 bit) and
// the "data" chunk.
inline QByteArray WaveFile(const Samples& s) {
    QByteArray pcm;
    pcm.reserve(static_cast<int>(s.size() * 2));
    for (double v : s) {
        long q = std::lround(std::max(-1.0, std::min(1.0, v)) * 32767.0);
        PutLe(pcm, static_cast<uint32_t>(static_cast<int16_t>(q)) & 0xFFFF, 2);
    }
    QByteArray b;
    b.append("RIFF");
    PutLe(b, 36 + pcm.size(), 4);
    b.append("WAVE");
    b.append("fmt ");
    PutLe(b, 16, 4);
    PutLe(b, 1, 2);          // PCM
    PutLe(b, 1, 2);          // mono
    PutLe(b, kRate, 4);      // sample rate
    PutLe(b, kRate * 2, 4);  // byte rate
    PutLe(b, 2, 2);          // block align
    PutLe(b, 16, 2);         // bits per sample
    b.append("data");
    PutLe(b, pcm.size(), 4);
    b.append(pcm);
    return b;
}

// One named effect.
struct SoundDef {
    const char* file;
    std::function<Samples()> make;
};

inline std::vector<SoundDef> SoundDefs() {
    return {
        // A light wooden tap: one step of a piece along its path.
        {"move.wav",
         [] {
             Samples s = Noise(11, 0.07, 0.55, 0.001, 0.012);
             MixIn(s, Tone(720, 600, 0.07, 0.001, 0.018, 0.6), 0, 0.7);
             Finish(s, 0.8);
             return s;
         }},
        // A short rising blip: a piece picked up.
        {"select.wav",
         [] {
             Samples s = Tone(880, 1320, 0.09, 0.003, 0.04, 0.2);
             Finish(s, 0.7);
             return s;
         }},
        // A firm knock and a bright ring: an enemy piece taken.
        {"eat.wav",
         [] {
             Samples s = Noise(23, 0.06, 0.7, 0.001, 0.015);
             MixIn(s, Tone(180, 120, 0.12, 0.001, 0.04), 0, 0.9);
             MixIn(s, Tone(1046, 1046, 0.22, 0.002, 0.07, 0.3), 0.04, 0.55);
             MixIn(s, Tone(1568, 1568, 0.2, 0.002, 0.06), 0.06, 0.35);
             Finish(s, 0.85);
             return s;
         }},
        // A sagging tone: the own piece is taken.
        {"beeat.wav",
         [] {
             Samples s = Tone(520, 220, 0.32, 0.005, 0.13, 0.5);
             MixIn(s, Noise(37, 0.08, 0.8, 0.001, 0.03), 0, 0.5);
             Finish(s, 0.8);
             return s;
         }},
        // A heavy blast with a low rumble: a flag taken or a seat out.
        {"die.wav",
         [] {
             Samples s = Noise(41, 0.75, 0.93, 0.004, 0.22);
             MixIn(s, Tone(90, 45, 0.7, 0.003, 0.25), 0, 1.2);
             MixIn(s, Noise(43, 0.1, 0.3, 0.001, 0.03), 0, 0.6);
             Finish(s, 0.9);
             return s;
         }},
        // Two clashing tones at once: both pieces removed.
        {"Equal.wav",
         [] {
             Samples s = Noise(53, 0.05, 0.5, 0.001, 0.012);
             MixIn(s, Tone(440, 430, 0.3, 0.002, 0.1, 0.4), 0.005, 0.7);
             MixIn(s, Tone(466, 456, 0.3, 0.002, 0.1, 0.4), 0.005, 0.7);
             Finish(s, 0.8);
             return s;
         }},
        // A rising bugle call: a commander fell, his flag is shown.
        {"showflag.wav",
         [] {
             Samples s;
             const double notes[] = {523.25, 659.25, 783.99, 1046.5};
             for (int i = 0; i < 4; ++i)
                 MixIn(s, Tone(notes[i], notes[i], 0.26, 0.01, 0.12, 0.8), i * 0.11, 0.7);
             Finish(s, 0.8);
             return s;
         }},
        // A double low buzz: the move time ran out.
        {"nomove.wav",
         [] {
             Samples s;
             for (int i = 0; i < 2; ++i) {
                 Samples b = Tone(196, 196, 0.16, 0.005, 0.5, 1.6);
                 MixIn(s, b, i * 0.22, 0.8);
             }
             Finish(s, 0.75);
             return s;
         }},
        // Two rising chime notes: the deployment is done.
        {"ok.wav",
         [] {
             Samples s = Tone(659.25, 659.25, 0.3, 0.004, 0.12, 0.3);
             MixIn(s, Tone(987.77, 987.77, 0.4, 0.004, 0.16, 0.3), 0.13, 0.9);
             Finish(s, 0.75);
             return s;
         }},
        // A drum roll and a horn: the battle begins.
        {"attack.wav",
         [] {
             Samples s;
             for (int i = 0; i < 8; ++i) {
                 MixIn(s, Noise(60 + i, 0.1, 0.85, 0.001, 0.03), i * 0.06, 0.4 + i * 0.07);
                 MixIn(s, Tone(110, 90, 0.1, 0.001, 0.04), i * 0.06, 0.3 + i * 0.05);
             }
             MixIn(s, Tone(392, 392, 0.22, 0.02, 0.5, 1.0), 0.5, 0.6);
             MixIn(s, Tone(523.25, 523.25, 0.42, 0.02, 0.6, 1.0), 0.72, 0.7);
             Finish(s, 0.85);
             return s;
         }},
    };
}

}  // namespace assetgen
