#include "core/options.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <fstream>

#include "core/datafiles.h"
#include "core/qipan.h"
#include "core/text.h"

namespace jq {
namespace {

constexpr const char* kOptionsFileName = "oprec";

class Writer {
public:
    explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
    void I32(int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out_.insert(out_.end(), b, b + n);
    }

private:
    std::vector<uint8_t>& out_;
};

// Reads from a zero-padded image of exactly kOptionsBytes.
class Reader {
public:
    explicit Reader(const uint8_t* image) : p_(image) {}
    int32_t I32() {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return static_cast<int32_t>(u);
    }
    void Bytes(void* dst, size_t n) {
        std::memcpy(dst, p_ + pos_, n);
        pos_ += n;
    }
    size_t Pos() const { return pos_; }

private:
    const uint8_t* p_;
    size_t pos_ = 0;
};

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

}  // namespace

OptionsRec DefaultOptions() { return OptionsRec{}; }

std::vector<uint8_t> EncodeOptions(const OptionsRec& r) {
    std::vector<uint8_t> out;
    out.reserve(kOptionsBytes);
    Writer w(out);
    w.I32(r.soundOn);
    w.Bytes(r.playerNames, sizeof r.playerNames);
    w.I32(r.boardBackground);
    w.I32(r.aiLevel);
    for (const auto& level : r.winRecord)
        for (int32_t v : level) w.I32(v);
    w.I32(r.styleAttack);
    w.I32(r.styleCaution);
    w.I32(r.styleDefence);
    w.I32(r.autoPlayInterval);
    w.I32(r.turnDirectionOption);
    w.I32(r.netMinMoveIntervalOption);
    w.Bytes(r.reserved, sizeof r.reserved);
    w.I32(r.netMoveTimeOption);
    w.I32(r.netDeployTimeOption);
    w.I32(r.netDisconnectTimeOption);
    w.I32(r.recordLatestFormations);
    w.Bytes(r.recentFiles, sizeof r.recentFiles);
    w.Bytes(r.lastNetName, sizeof r.lastNetName);
    w.Bytes(r.lastHostAddress, sizeof r.lastHostAddress);
    assert(out.size() == static_cast<size_t>(kOptionsBytes));
    return out;
}

OptionsRec DecodeOptions(const uint8_t* data, size_t size) {
    uint8_t image[kOptionsBytes] = {};
    if (data != nullptr) std::memcpy(image, data, std::min<size_t>(size, kOptionsBytes));
    Reader rd(image);
    OptionsRec r;
    r.soundOn = rd.I32();
    for (auto& name : r.playerNames) rd.Bytes(name, sizeof name);
    r.boardBackground = rd.I32();
    r.aiLevel = rd.I32();
    for (auto& level : r.winRecord)
        for (int32_t& v : level) v = rd.I32();
    r.styleAttack = rd.I32();
    r.styleCaution = rd.I32();
    r.styleDefence = rd.I32();
    r.autoPlayInterval = rd.I32();
    r.turnDirectionOption = rd.I32();
    r.netMinMoveIntervalOption = rd.I32();
    rd.Bytes(r.reserved, sizeof r.reserved);
    r.netMoveTimeOption = rd.I32();
    r.netDeployTimeOption = rd.I32();
    r.netDisconnectTimeOption = rd.I32();
    r.recordLatestFormations = rd.I32();
    for (auto& file : r.recentFiles) rd.Bytes(file, sizeof file);
    rd.Bytes(r.lastNetName, sizeof r.lastNetName);
    rd.Bytes(r.lastHostAddress, sizeof r.lastHostAddress);
    assert(rd.Pos() == static_cast<size_t>(kOptionsBytes));
    return r;
}

OptionsRec DecodeOptions(const std::vector<uint8_t>& bytes) { return DecodeOptions(bytes.data(), bytes.size()); }

std::string PlayerName(const OptionsRec& rec, int seat) {
    if (seat < 0 || seat >= 4) return {};
    return BoundedText(rec.playerNames[seat], sizeof rec.playerNames[seat]);
}

std::string RecentFile(const OptionsRec& rec, int index) {
    if (index < 0 || index >= kRecentFileCount) return {};
    return BoundedText(rec.recentFiles[index], sizeof rec.recentFiles[index]);
}

std::string LastNetName(const OptionsRec& rec) { return BoundedText(rec.lastNetName, sizeof rec.lastNetName); }

std::string LastHostAddress(const OptionsRec& rec) {
    return BoundedText(rec.lastHostAddress, sizeof rec.lastHostAddress);
}

namespace {

int32_t SanitizedTime(int32_t seconds, int32_t fallback, int32_t most) {
    return seconds <= 0 ? fallback : std::min(seconds, most);
}

}  // namespace

LanTimes SanitizedLanTimes(const OptionsRec& rec) {
    return LanTimes{SanitizedTime(rec.netMoveTimeOption, kDefaultNetMoveTime, kNetMoveTimeMax),
                    SanitizedTime(rec.netDeployTimeOption, kDefaultNetDeployTime, kNetDeployTimeMax),
                    SanitizedTime(rec.netDisconnectTimeOption, kDefaultNetDisconnectTime, kNetDisconnectTimeMax)};
}

void SanitizeRunningOptions(GameState& g) {
    if (g.turnDirection != 1 && g.turnDirection != -1) g.turnDirection = kDefaultTurnDirection;
    if (g.netMinMoveInterval < 0) g.netMinMoveInterval = kDefaultNetMinMoveInterval;
    g.netMinMoveInterval = std::min(g.netMinMoveInterval, kNetMinMoveIntervalMax);
    g.netMoveTime = SanitizedTime(g.netMoveTime, kDefaultNetMoveTime, kNetMoveTimeMax);
    g.netDeployTime = SanitizedTime(g.netDeployTime, kDefaultNetDeployTime, kNetDeployTimeMax);
    g.netDisconnectTime = SanitizedTime(g.netDisconnectTime, kDefaultNetDisconnectTime, kNetDisconnectTimeMax);
}

void CopyBattleOptions(GameState& g) {
    const OptionsRec& o = g.optionsRecord;
    g.netMinMoveInterval = o.netMinMoveIntervalOption;
    g.turnDirection = o.turnDirectionOption;
    g.netMoveTime = o.netMoveTimeOption;
    g.netDeployTime = o.netDeployTimeOption;
    g.netDisconnectTime = o.netDisconnectTimeOption;
    SanitizeRunningOptions(g);
}

void SetNeutralStyleCoefficients(GameState& g) {
    g.styleCoefAttack = 0.618;
    g.styleCoefCaution = 0.8;
    g.styleCoefDefence = 0.382;
}

// The sliders run 0..10; a value from a damaged file counts as the nearest end.
void SetStartupStyleCoefficients(GameState& g) {
    const OptionsRec& o = g.optionsRecord;
    const double s1 = Clamp(o.styleAttack, 0, kStyleSliderMax);
    const double s2 = Clamp(o.styleCaution, 0, kStyleSliderMax);
    const double s3 = Clamp(o.styleDefence, 0, kStyleSliderMax);
    g.styleCoefAttack = (s1 - 5) * 0.2 * 0.382 + 0.618;
    g.styleCoefCaution = (s2 - 5) * 0.2 * 0.3 + 0.7;
    g.styleCoefDefence = 0.382 - (s3 - 5) * 0.2 * 0.382;
}

void SetDialogStyleCoefficients(GameState& g) {
    const OptionsRec& o = g.optionsRecord;
    const double s1 = Clamp(o.styleAttack, 0, kStyleSliderMax);
    const double s2 = Clamp(o.styleCaution, 0, kStyleSliderMax);
    const double s3 = Clamp(o.styleDefence, 0, kStyleSliderMax);
    g.styleCoefAttack = (s1 - 5) * 0.1 * 0.382 + 0.618;
    g.styleCoefCaution = (s2 - 5) * 0.1 * 0.2 + 0.8;
    g.styleCoefDefence = 0.382 - (s3 - 5) * 0.1 * 0.382;
}

std::string OptionsFilePath(const GameState& g) { return g.appFolder + kOptionsFileName; }

void LoadOptionsAtStartup(GameState& g) {
    SetNeutralStyleCoefficients(g);
    const std::string path = OptionsFilePath(g);
    struct stat st {};
    std::ifstream in;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) in.open(path, std::ios::binary);
    if (in.is_open()) {
        std::vector<uint8_t> bytes(kOptionsBytes);
        in.read(reinterpret_cast<char*>(bytes.data()), kOptionsBytes);
        bytes.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        g.optionsRecord = DecodeOptions(bytes);
        SetStartupStyleCoefficients(g);
    } else {
        g.optionsRecord = DefaultOptions();
    }
    CopyBattleOptions(g);
}

namespace {

bool WriteOptionsFile(const GameState& g) {
    const std::string path = OptionsFilePath(g);
    // An existing file that may not be written stays as it is.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0) return false;
    }
    return ReplaceFile(path, EncodeOptions(g.optionsRecord));
}

}  // namespace

bool SaveOptions(GameState& g) {
    if (WriteOptionsFile(g)) return true;
    g.ui->ShowStandardBoxWhenFree(Gb("保存结果文件不成功！！！"), Gb("警告"));
    return false;
}

std::string LevelStatusText(int32_t aiLevel) {
    if (aiLevel == 0) return Gb("级别：初级");
    if (aiLevel == 1) return Gb("级别：中级");
    return Gb("级别：高级");
}

void FinishOptionsDialog(GameState& g) {
    g.ui->SetStatusText(1, LevelStatusText(g.optionsRecord.aiLevel));
    SetDialogStyleCoefficients(g);
    SaveOptions(g);
}

}  // namespace jq
