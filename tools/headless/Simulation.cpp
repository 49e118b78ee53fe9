// The headless engine of the simulator: loading levels and campaigns,
// the scheduled keys and driven balls, and the reports of a run.
#include "headless/Simulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cameras/View.h"
#include "core/Error.h"
#include "core/SettingsFile.h"
#include "game/Campaign.h"
#include "input/Input.h"
#include "level/Level.h"
#include "level/Registry.h"
#include "objects/Ball.h"
#include "objects/Controllers.h"
#include "objects/Flagpost.h"
#include "packages/Parse.h"
#include "platform/dinput/ScriptedInput.h"

namespace rdv {

namespace {

int32_t Round(float v) { return RoundHalfEven(v); }

std::string Fixed2(float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", static_cast<double>(v));
    std::string text = buffer;
    if (text == "-0.00") text = "0.00";
    return text;
}

} // namespace

Simulation::Simulation(const std::filesystem::path& programFolder) : rec_(MakeRecordingEngine(programFolder)) {
    Engine& e = rec_->engine;
    LoadSystemClasses(e);
    // Keys come from the schedule through a scripted keyboard, read with the
    // shipped bindings so that a solution means the same on every machine.
    keys_ = std::make_shared<ScriptedDirectInput>();
    e.platform.dinput = keys_;
    e.settings.bindings = ShippedSettings().bindings;
    e.input = std::make_shared<inpControl>(e);
    e.input->StartInput();

    campaign_ = std::make_unique<engCampaign>(e);
    campaign_->loadLevel = [this](const std::string& name) {
        Load(name);
        pending_.push_back(std::to_string(time_) + " level " + name);
    };
    campaign_->endLevel = [this](int32_t status) {
        // The game always has a level behind the menu; here, with none yet,
        // the campaign moves on at once.
        if (level_) level_->Endlevel(status);
        else campaign_->LoadNext(status);
    };
    campaign_->resetBalls = [this] {
        if (!level_) return;
        for (int32_t n = 1; n <= level_->MapObjects(); ++n) {
            if (level_->MapObjectName(n).find("System.Objects.Player.Ball") == std::string::npos) continue;
            if (LevelObject* o = level_->MapObject(n))
                if (IBall* b = o->AsBall()) b->ResetBall();
        }
    };
    for (int p = 0; p < 2; ++p) lastViews_[p] = ViewText(p);
}

Simulation::~Simulation() {
    // Balls point to the drivers: levels go first.
    level_.reset();
    retired_.reset();
    drivers_.clear();
    retiredDrivers_.clear();
    campaign_.reset();
    UnloadSystemClasses(rec_->engine);
}

void Simulation::Load(const std::string& name) {
    auto level = std::make_unique<engLevel>(rec_->engine);
    level->LoadLevel(name);
    engLevel* raw = level.get();
    level->loadNext = [this, raw] {
        // The level has cleared its reason before asking; the tick before
        // this one still saw it.
        const int32_t status = raw->EndReason() != 0 ? raw->EndReason() : lastReason_;
        pending_.push_back(std::to_string(time_) + " loadnext " + std::to_string(status));
        // The game reloads a finished campaign's last level; say it was the end.
        const bool done = status == 1 && campaign_->mode == engCampaign::Playing && campaign_->count > 0 &&
                          campaign_->current >= campaign_->count;
        campaign_->LoadNext(status);
        if (done) {
            pending_.push_back(std::to_string(time_) + " campaign done");
            campaignDone_ = true;
        }
    };
    // The old level may be the one whose Tick is asking for this load: it
    // and its drivers live until that Tick is over.
    retired_ = std::move(level_);
    retiredDrivers_ = std::move(drivers_);
    drivers_.clear();
    level_ = std::move(level);
    last_.clear();
    lastReason_ = 0;
    loadTime_ = time_;
    ReleaseKeys();
    schedule_.clear();
    nextKey_ = 0;
    // As the game does on every level change: both views start at the
    // level's start pose until a camera of the level moves them.
    for (int p = 0; p < 2; ++p)
        SetPlayerView(rec_->engine, engLevel::kStartEye, engLevel::kStartLookAt, engLevel::kStartUp, p);
    if (onLevelLoaded) onLevelLoaded(*this, name);
}

void Simulation::BootCampaign(const std::string& name, int32_t start) {
    campaignDone_ = false;
    campaign_->LoadCampaign(name);
    campaign_->Bootcampaign(start);
}

void Simulation::DriveBall(int32_t player, const std::string& cutsceneCommand) {
    if (player != 1 && player != 2) throw SimulationError("a ball to drive is player 1 or 2, not " + std::to_string(player));
    if (!level_) throw SimulationError("no level to drive a ball in");
    const int32_t n = FindPlayerBall(*level_, player - 1);
    auto* ball = n > 0 ? dynamic_cast<objBall*>(level_->MapObject(n)) : nullptr;
    if (!ball)
        throw SimulationError("level " + level_->Reference() + " has no ball for player " + std::to_string(player));
    auto driver = std::make_unique<objCutsceneController>();
    driver->AssignVar("command", cutsceneCommand);
    // The ball ticks it as it ticks its own key handler; the level never
    // sees it, so no object number of the level changes.
    ball->controller = driver.get();
    ball->ownsController = true;
    drivers_.push_back(std::move(driver));
}

void Simulation::ScheduleKey(int32_t timeMs, int scanCode, bool down) {
    if (scanCode < 0 || scanCode > 255)
        throw SimulationError("a scan code is 0 to 255, not " + std::to_string(scanCode));
    if (timeMs < 0) throw SimulationError("a key time is 0 ms or later, not " + std::to_string(timeMs));
    // Events of the same time keep the order they were given in.
    const auto from = schedule_.begin() + static_cast<std::ptrdiff_t>(nextKey_);
    const auto at = std::upper_bound(from, schedule_.end(), timeMs,
                                     [](int32_t t, const KeyEvent& e) { return t < e.time; });
    schedule_.insert(at, KeyEvent{timeMs, scanCode, down});
}

void Simulation::ApplyKeys(int64_t until) {
    while (nextKey_ < schedule_.size() && loadTime_ + schedule_[nextKey_].time <= until) {
        const KeyEvent& e = schedule_[nextKey_++];
        if (e.down) keys_->KeyDown(static_cast<uint8_t>(e.scanCode));
        else keys_->KeyUp(static_cast<uint8_t>(e.scanCode));
    }
}

void Simulation::ReleaseKeys() { keys_->ReleaseAll(); }

std::vector<Simulation::BallState> Simulation::Balls(std::vector<int32_t>* players) {
    std::vector<BallState> states;
    for (int32_t n = 1; n <= level_->MapObjects(); ++n) {
        if (level_->MapObjectName(n).rfind("System.Objects.Player", 0) != 0) continue;
        auto* ball = dynamic_cast<objBall*>(level_->MapObject(n));
        if (!ball) continue;
        BallState s;
        s.phase = ball->phase;
        const float p[3] = {ball->position.x, ball->position.y, ball->position.z};
        const float u[3] = {ball->up.x, ball->up.y, ball->up.z};
        for (int a = 0; a < 3; ++a) {
            s.cell[a] = Round(p[a] / 1.5f);
            s.up[a] = Round(u[a]);
        }
        states.push_back(s);
        if (players) players->push_back(ball->player);
    }
    return states;
}

void Simulation::ReportBalls(int64_t time, bool all, const std::function<void(const std::string&)>& emit) {
    std::vector<int32_t> players;
    const std::vector<BallState> now = Balls(&players);
    for (size_t i = 0; i < now.size(); ++i) {
        if (!all && i < last_.size() && now[i] == last_[i]) continue;
        const BallState& s = now[i];
        // Players as the level file and --drive number them, from 1.
        emit(std::to_string(time) + " ball " + std::to_string(players[i] + 1) + " phase " + std::to_string(s.phase) +
             " cell " + std::to_string(s.cell[0]) + " " + std::to_string(s.cell[1]) + " " +
             std::to_string(s.cell[2]) + " up " + std::to_string(s.up[0]) + " " + std::to_string(s.up[1]) + " " +
             std::to_string(s.up[2]));
    }
    last_ = now;
}

std::string Simulation::ViewText(int32_t player) const {
    const auto& v = rec_->engine.playerViews[static_cast<size_t>(player)];
    return "view " + std::to_string(player + 1) + " eye " + Fixed2(v.eye.x) + " " + Fixed2(v.eye.y) + " " +
           Fixed2(v.eye.z) + " at " + Fixed2(v.lookAt.x) + " " + Fixed2(v.lookAt.y) + " " + Fixed2(v.lookAt.z);
}

void Simulation::ReportViews(int64_t time, const std::function<void(const std::string&)>& emit) {
    // A change below the printed precision is no change: the lines would
    // read the same.
    for (int32_t p = 0; p < 2; ++p) {
        std::string now = ViewText(p);
        if (now == lastViews_[p]) continue;
        emit(std::to_string(time) + " " + now);
        lastViews_[p] = std::move(now);
    }
}

void Simulation::Run(int32_t step, int32_t total, const std::function<void(const std::string&)>& emit) {
    auto flush = [&] {
        std::vector<std::string> lines;
        lines.swap(pending_);
        for (const auto& l : lines) emit(l);
    };
    flush();
    if (!level_) return;
    if (step < 1) step = 1;
    ReportBalls(time_, true, emit);
    if (reportViews)
        for (int32_t p = 0; p < 2; ++p) {
            lastViews_[p] = ViewText(p);
            emit(std::to_string(time_) + " " + lastViews_[p]);
        }
    const int64_t end = time_ + std::max(total, 0);
    Engine& engine = rec_->engine;
    while (time_ < end) {
        const int32_t e = static_cast<int32_t>(std::min<int64_t>(step, end - time_));
        ApplyKeys(time_ + e);
        engine.input->PollInput();
        rec_->clock->Advance(static_cast<uint32_t>(e));
        time_ += e;
        int32_t elapsed = e;
        engLevel* running = level_.get();
        const int32_t before = running->EndReason();
        if (before != 0) lastReason_ = before;
        // The grid is drawn in the order player 0's view needs, as the game does.
        const auto& view = engine.playerViews[0];
        running->viewDirection = view.lookAt - view.eye;
        try {
            running->Tick(elapsed);
        } catch (...) {
            flush();
            throw;
        }
        // The recording device keeps every call; a long run needs none of them.
        if (RecordingDevice* device = rec_->device()) device->ClearCalls();
        const int32_t reason = running->EndReason();
        // An ending that began and ran out within this tick still shows.
        if (reason != 0 && reason != before) emit(std::to_string(time_) + " endlevel " + std::to_string(reason));
        if (reason != 0 && running == level_.get()) lastReason_ = reason;
        flush();
        retired_.reset();
        retiredDrivers_.clear();
        // The campaign's end is the run's last line.
        if (stopAtCampaignEnd && campaignDone_) break;
        ReportBalls(time_, false, emit);
        if (reportViews) ReportViews(time_, emit);
    }
}

} // namespace rdv
