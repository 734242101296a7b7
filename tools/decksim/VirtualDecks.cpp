#include "tools/decksim/VirtualDecks.h"

#include "tools/decksim/Report.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <unistd.h>

namespace decksim {

namespace {

constexpr std::int64_t idleWakeMicros = 50'000;
constexpr int maxReplyDelayMs = 8;
constexpr int maxSampleDelayMs = 9;

Options sane(Options options)
{
    options.replyDelayMs = std::clamp(options.replyDelayMs, 0, maxReplyDelayMs);
    options.editDelayFrames = std::max(options.editDelayFrames, 0);
    options.lockFrames = std::max(options.lockFrames, 0);
    for (auto* ownLock : {&options.playerLockFrames, &options.recorderLockFrames}) {
        if (*ownLock) {
            **ownLock = std::max(**ownLock, 0);
        }
    }
    options.adapterLatencyMs = std::max(options.adapterLatencyMs, 0);
    options.nakEvery = std::max(options.nakEvery, 0);
    options.garbleEvery = std::max(options.garbleEvery, 0);
    options.sampleDelayMs = std::clamp(options.sampleDelayMs, 0, maxSampleDelayMs);
    options.lateEvery = std::max(options.lateEvery, 0);
    options.lateMs = std::max(options.lateMs, 0);
    options.dfFlagDropoutEvery = std::max(options.dfFlagDropoutEvery, 0);
    if (!(options.seekSpeed > 0.0)) {
        options.seekSpeed = Options{}.seekSpeed;
    }
    return options;
}

}  // namespace

VirtualDecks::VirtualDecks(Options options)
    : options_(sane(options)), startMicros_(clock_.nowMicros()), pair_(options_, clock_)
{
    stations_[0] = std::make_unique<Station>(Role::Player, pair_, options_);
    stations_[1] = std::make_unique<Station>(Role::Recorder, pair_, options_);
    makeLinks();
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    thread_ = std::thread([this] { run(); });
}

VirtualDecks::~VirtualDecks()
{
    stopping_ = true;
    wakeUp();
    thread_.join();
    {
        std::lock_guard lock(reportMutex_);
        reportWriter_.reset();
    }
    ::close(wakeRead_);
    ::close(wakeWrite_);
    removeLinks();
}

namespace {

// Points link at target, replacing what was there in one step.
void pointLink(const std::string& link, const std::string& target)
{
    const std::string fresh = link + ".new";
    std::filesystem::remove(fresh);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, link);
}

}  // namespace

void VirtualDecks::makeLinks()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-decks-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    linkDir_ = pattern;
    for (auto& station : stations_) {
        station->linkPath = (std::filesystem::path(linkDir_) / roleName(station->role)).string();
        pointLink(station->linkPath, station->port->slavePath());
    }
}

void VirtualDecks::removeLinks()
{
    std::error_code ignored;
    std::filesystem::remove_all(linkDir_, ignored);
}

const std::string& VirtualDecks::path(Role role) const { return station(role).linkPath; }

void VirtualDecks::unplug(Role role) { changeLine(role, LineChange::Kind::Unplug); }

void VirtualDecks::plugBack(Role role) { changeLine(role, LineChange::Kind::Plug); }

void VirtualDecks::powerCycle(Role role) { changeLine(role, LineChange::Kind::PowerCycle); }

void VirtualDecks::changeLine(Role role, LineChange::Kind kind)
{
    std::unique_lock lock(lineMutex_);
    lineChanges_.push_back({role, kind});
    const std::uint64_t ticket = ++lineChangesAsked_;
    wakeUp();
    lineChanged_.wait(lock, [&] { return lineChangesDone_ >= ticket; });
    if (lineFailure_) {
        std::rethrow_exception(std::exchange(lineFailure_, nullptr));
    }
}

void VirtualDecks::serveLineChanges()
{
    std::lock_guard lock(lineMutex_);
    drainWakeUps();
    for (; !lineChanges_.empty(); lineChanges_.pop_front()) {
        try {
            applyLineChange(lineChanges_.front());
        } catch (const std::exception&) {
            lineFailure_ = std::current_exception();
        }
        ++lineChangesDone_;
    }
    lineChanged_.notify_all();
}

void VirtualDecks::applyLineChange(const LineChange& change)
{
    Station& changed = station(change.role);
    switch (change.kind) {
    case LineChange::Kind::Plug:
        if (!changed.port) {
            changed.port = std::make_unique<DeckPort>();
            pointLink(changed.linkPath, changed.port->slavePath());
        }
        break;
    case LineChange::Kind::Unplug:
        unplugStation(changed);
        break;
    case LineChange::Kind::PowerCycle:
        powerCycleStation(changed);
        break;
    }
}

void VirtualDecks::unplugStation(Station& station)
{
    if (!station.port) {
        return;
    }
    std::filesystem::remove(station.linkPath);
    station.port.reset();
    // What was on the wire goes with it.
    station.replies.clear();
    station.adapter.takeDue(INT64_MAX);
}

void VirtualDecks::powerCycleStation(Station& station)
{
    {
        std::lock_guard lock(modelMutex_);
        const std::int64_t now = pair_.advanceToNow();
        pair_.deck(station.role).powerCycle(now);
        station.engine.powerCycle();
    }
    // Replies the deck had not sent die with it; what the adapter already holds is past it.
    station.replies.clear();
}

void VirtualDecks::wakeUp()
{
    const char wake = 'w';
    [[maybe_unused]] const auto written = ::write(wakeWrite_, &wake, 1);
}

void VirtualDecks::drainWakeUps()
{
    char buffer[64];
    while (::read(wakeRead_, buffer, sizeof buffer) > 0) {
    }
}

std::vector<TraceEntry> VirtualDecks::trace() const { return trace_.entries(); }

void VirtualDecks::clearTrace() { trace_.clear(); }

std::vector<std::string> VirtualDecks::reportLines() const
{
    std::lock_guard lock(modelMutex_);
    pair_.advanceToNow();
    return Report::lines(pair_.recorderTape(), pair_.reelNames(), options_.timeBase);
}

std::vector<Report::Segment> VirtualDecks::segments() const
{
    std::lock_guard lock(modelMutex_);
    pair_.advanceToNow();
    return Report::segments(pair_.recorderTape(), pair_.reelNames());
}

void VirtualDecks::setMuted(Role role, bool muted) { station(role).muted = muted; }

void VirtualDecks::setNoCue(Role role, bool noCue)
{
    std::lock_guard lock(modelMutex_);
    pair_.deck(role).setNoCue(noCue);
}

void VirtualDecks::refuse(Role role, DeckCommand command, std::optional<int> times)
{
    std::lock_guard lock(modelMutex_);
    station(role).engine.refuse(command, times);
}

void VirtualDecks::allow(Role role, DeckCommand command)
{
    std::lock_guard lock(modelMutex_);
    station(role).engine.allow(command);
}

void VirtualDecks::setLocal(Role role, bool local)
{
    std::lock_guard lock(modelMutex_);
    pair_.deck(role).setLocal(local);
}

void VirtualDecks::setRecordInhibit(Role role, bool inhibit)
{
    std::lock_guard lock(modelMutex_);
    pair_.advanceToNow();
    pair_.deck(role).setRecordInhibit(inhibit);
}

void VirtualDecks::mount(const std::string& reel)
{
    std::lock_guard lock(modelMutex_);
    const auto index = pair_.reelIndex(reel);
    if (!index) {
        throw std::invalid_argument("the player has no reel \"" + reel + "\"");
    }
    pair_.deck(Role::Player).mount(pair_.advanceToNow(), *index);
}

std::string VirtualDecks::mountedReel() const
{
    std::lock_guard lock(modelMutex_);
    return pair_.reelNames().at(static_cast<std::size_t>(pair_.deck(Role::Player).reel()));
}

int VirtualDecks::positionFrames(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).positionFrameAt(pair_.advanceToNow());
}

std::array<std::uint8_t, 10> VirtualDecks::statusBytes(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).statusAt(pair_.advanceToNow()).bytes();
}

std::uint8_t VirtualDecks::editPreset(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).editPreset();
}

int VirtualDecks::prerollFrames(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).prerollFrames();
}

int VirtualDecks::inPoint(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).inPoint().value_or(-1);
}

int VirtualDecks::outPoint(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return pair_.deck(role).outPoint().value_or(-1);
}

std::vector<std::vector<std::uint8_t>> VirtualDecks::reconPackets(Role role) const
{
    std::lock_guard lock(modelMutex_);
    return station(role).engine.reconPackets();
}

bool VirtualDecks::writeTraceTo(const std::string& path) { return trace_.writeTo(path); }

bool VirtualDecks::writeReportTo(const std::string& path)
{
    auto writer = std::make_unique<ReportWriter>(path, [this] { return reportLines(); });
    const bool written = writer->writeNow();
    std::lock_guard lock(reportMutex_);
    reportWriter_ = std::move(writer);
    return written;
}

// The serving thread ---------------------------------------------------------------------

void VirtualDecks::run()
{
    while (!stopping_) {
        const std::int64_t before = clock_.nowMicros();
        const std::int64_t wait = std::max<std::int64_t>(nextWakeUp(before) - before, 0);
        const timespec timeout{static_cast<time_t>(wait / 1'000'000), static_cast<long>(wait % 1'000'000 * 1000)};
        // An unplugged deck's entry is ignored by poll.
        const auto fdOf = [](const Station& station) { return station.port ? station.port->masterFd() : -1; };
        pollfd fds[3] = {{wakeRead_, POLLIN, 0}, {fdOf(*stations_[0]), POLLIN, 0}, {fdOf(*stations_[1]), POLLIN, 0}};
        ::ppoll(fds, 3, &timeout, nullptr);
        if (fds[0].revents & POLLIN) {
            serveLineChanges();
        }
        const std::int64_t now = clock_.nowMicros();
        for (int index = 0; index < 2; ++index) {
            if ((fds[index + 1].revents & POLLIN) && stations_[index]->port) {
                serveInput(*stations_[index], now);
            }
        }
        for (auto& station : stations_) {
            expireStraggling(*station, now);
            sendDueReplies(*station, clock_.nowMicros());
            deliverToController(*station, clock_.nowMicros());
        }
        advanceModel(clock_.nowMicros());
    }
}

void VirtualDecks::serveInput(Station& station, std::int64_t now)
{
    std::uint8_t buffer[512];
    for (std::size_t count; (count = station.port->readAvailable(buffer, sizeof buffer)) > 0;) {
        std::vector<ProtocolEngine::Exchange> exchanges;
        {
            std::lock_guard lock(modelMutex_);
            exchanges = station.engine.receive(buffer, count, now);
        }
        for (auto& exchange : exchanges) {
            takeExchange(station, std::move(exchange), now);
        }
    }
}

void VirtualDecks::expireStraggling(Station& station, std::int64_t now)
{
    std::optional<ProtocolEngine::Exchange> exchange;
    {
        std::lock_guard lock(modelMutex_);
        exchange = station.engine.expire(now);
    }
    if (exchange) {
        takeExchange(station, std::move(*exchange), now);
    }
}

void VirtualDecks::takeExchange(Station& station, ProtocolEngine::Exchange exchange, std::int64_t now)
{
    record(station.role, true, exchange.received, now);
    // A two-wire converter echoes what the controller sends, whether the deck answers or not.
    if (options_.echo) {
        station.adapter.carry(exchange.received, now);
        deliverToController(station, now);
    }
    if (!station.muted) {
        station.replies.push_back({exchange.sendAt, std::move(exchange.reply)});
    }
}

void VirtualDecks::sendDueReplies(Station& station, std::int64_t now)
{
    while (!station.replies.empty() && station.replies.front().due <= now) {
        station.adapter.carry(station.replies.front().bytes, now);
        deliverToController(station, now);
        record(station.role, false, station.replies.front().bytes, now);
        station.replies.pop_front();
    }
}

void VirtualDecks::deliverToController(Station& station, std::int64_t now)
{
    for (const Bytes& piece : station.adapter.takeDue(now)) {
        if (station.port) {
            station.port->write(piece);
        }
    }
}

void VirtualDecks::advanceModel(std::int64_t now)
{
    std::uint64_t version;
    {
        std::lock_guard lock(modelMutex_);
        pair_.advanceTo(now);
        version = pair_.recorderTape().version();
    }
    if (version == reportedVersion_) {
        return;
    }
    reportedVersion_ = version;
    std::lock_guard lock(reportMutex_);
    if (reportWriter_) {
        reportWriter_->changed();
    }
}

std::int64_t VirtualDecks::nextWakeUp(std::int64_t now) const
{
    std::int64_t wakeUp = now + idleWakeMicros;
    std::lock_guard lock(modelMutex_);
    wakeUp = std::min(wakeUp, pair_.nextEventTime());
    for (const auto& station : stations_) {
        if (!station->replies.empty()) {
            wakeUp = std::min(wakeUp, station->replies.front().due);
        }
        if (const auto due = station->adapter.nextDue()) {
            wakeUp = std::min(wakeUp, *due);
        }
        if (const auto deadline = station->engine.deadline()) {
            wakeUp = std::min(wakeUp, *deadline);
        }
    }
    return wakeUp;
}

void VirtualDecks::record(Role role, bool received, const Bytes& bytes, std::int64_t now)
{
    trace_.add(TraceEntry{now - startMicros_, role, received, bytes});
}

}  // namespace decksim
