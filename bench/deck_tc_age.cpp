// Age of the displayed time code and the polling rate, on a direct port and behind a USB
// serial adapter: while the virtual player plays, how many frames the time code shown on the
// deck panel lags the deck's true position, and how many time code requests the deck gets.
//
//   deck_tc_age [seconds]      (default 10, per profile)

#include "deck/VCR.h"
#include "tools/decksim/TimeCode.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/VCRPanel.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

namespace {

using decksim::Role;

// Often enough to see every frame of a 30 fps time code several times.
constexpr int sampleIntervalMs = 5;
// Lets the deck reach play speed and the polling settle before anything is counted.
constexpr int settleMs = 1000;
constexpr int usbAdapterLatencyMs = 16;
const std::vector<std::uint8_t> timeCodeRequest{0x61, 0x0C, 0x03, 0x70};

struct Profile {
    std::string name;
    decksim::Options options;
};

struct Figures {
    // Read from the panel's line edit: what the operator sees.
    std::vector<int> shownAges;
    // Read from the deck controller as soon as the link decoded it, before the GUI thread
    // has it: set against shownAges, tells the display path from the polling.
    std::vector<int> decodedAges;
    double pollsPerSecond = 0;
    // Between successive time code requests: how stale a shown time code can grow before
    // the next one replaces it.
    std::vector<double> pollIntervalsMs;
};

std::vector<Profile> profiles()
{
    decksim::Options usbAdapter;
    usbAdapter.adapterLatencyMs = usbAdapterLatencyMs;
    return {{"direct port", decksim::Options{}},
            {"USB adapter (" + std::to_string(usbAdapterLatencyMs) + " ms latency)", usbAdapter}};
}

void noteAge(std::vector<int>& ages, const std::string& text, int truePosition, decksim::TimeBase base)
{
    if (const auto frame = decksim::TimeCode::parse(text, base))
        ages.push_back(truePosition - *frame);
}

// When the deck received each time code request, in microseconds.
std::vector<std::int64_t> timeCodeRequestsTo(Role role, const std::vector<decksim::TraceEntry>& trace)
{
    std::vector<std::int64_t> times;
    for (const decksim::TraceEntry& entry : trace)
        if (entry.deck == role && entry.received && entry.bytes == timeCodeRequest)
            times.push_back(entry.micros);
    return times;
}

std::vector<double> intervalsMs(const std::vector<std::int64_t>& micros)
{
    std::vector<double> intervals;
    for (std::size_t i = 1; i < micros.size(); ++i)
        intervals.push_back(static_cast<double>(micros[i] - micros[i - 1]) / 1000.0);
    return intervals;
}

// Runs the GUI thread's event loop for that long, so that the panel gets its time code.
void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

Figures measure(const Profile& profile, int seconds)
{
    decksim::VirtualDecks decks(profile.options);
    VCR player(decks.path(Role::Player), false, false);
    VCRPanel::attachTo(player);
    player.GetTC();
    player.play();
    runEventsFor(settleMs);

    Figures figures;
    const auto* shown = static_cast<QLineEdit*>(VCRPanel::of(player).tcfield.qwidget());
    const decksim::TimeBase base = profile.options.timeBase;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    sampler.setInterval(sampleIntervalMs);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::string onScreen = shown->text().toStdString();
        const std::string decoded = player.timecode();
        const int truePosition = decks.positionFrames(Role::Player);
        noteAge(figures.shownAges, onScreen, truePosition, base);
        noteAge(figures.decodedAges, decoded, truePosition, base);
    });

    decks.clearTrace();
    const auto start = std::chrono::steady_clock::now();
    sampler.start();
    runEventsFor(seconds * 1000);
    sampler.stop();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const std::vector<std::int64_t> requests = timeCodeRequestsTo(Role::Player, decks.trace());
    figures.pollsPerSecond = static_cast<double>(requests.size()) / elapsed.count();
    figures.pollIntervalsMs = intervalsMs(requests);
    return figures;
}

// The nearest-rank percentile of sorted values.
template <typename Value>
Value percentile(const std::vector<Value>& sorted, double fraction)
{
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

void printAges(const char* label, std::vector<int> ages)
{
    std::cout << "  " << label << " (frames): ";
    if (ages.empty()) {
        std::cout << "no samples\n";
        return;
    }
    std::sort(ages.begin(), ages.end());
    std::cout << "median " << percentile(ages, 0.5) << "  p95 " << percentile(ages, 0.95) << "  worst " << ages.back()
              << "   (" << ages.size() << " samples)\n";
}

void printIntervals(std::vector<double> intervals)
{
    std::cout << "  time code request interval (ms): ";
    if (intervals.empty()) {
        std::cout << "fewer than two requests\n";
        return;
    }
    std::sort(intervals.begin(), intervals.end());
    std::cout << "median " << percentile(intervals, 0.5) << "  p95 " << percentile(intervals, 0.95) << "  worst "
              << intervals.back() << '\n';
}

void print(const Profile& profile, const Figures& figures)
{
    std::cout << "profile: " << profile.name << '\n'
              << "  polls per second: " << std::fixed << std::setprecision(1) << figures.pollsPerSecond << '\n';
    printIntervals(figures.pollIntervalsMs);
    printAges("time code age", figures.shownAges);
    printAges("age as decoded, before the GUI thread", figures.decodedAges);
}

}

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    bool sampled = true;
    for (const Profile& profile : profiles()) {
        const Figures figures = measure(profile, seconds);
        print(profile, figures);
        sampled = sampled && !figures.shownAges.empty();
    }
    return sampled ? 0 : 1;
}
