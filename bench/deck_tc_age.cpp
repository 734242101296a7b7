// Age of the displayed time code: while the virtual player plays, how many frames the time
// code shown on the deck panel lags the deck's true position.
//
//   deck_tc_age [seconds]      (default 10)

#include "deck/VCR.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/VCRPanel.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

int framesOf(const QString& tc)
{
    const QStringList parts = tc.split(':');
    if (parts.size() != 4)
        return -1;
    return ((parts[0].toInt() * 60 + parts[1].toInt()) * 60 + parts[2].toInt()) * 30 + parts[3].toInt();
}

}

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    decksim::VirtualDecks decks;
    VCR player(decks.path(decksim::Role::Player), false, false);
    player.GetTC();
    player.play();
    auto* shown = static_cast<QLineEdit*>(player.panel().tcfield.qwidget());

    std::vector<int> ages;
    QTimer sampler;
    // Samples at a period that shares no rhythm with the 45 ms polling cycle.
    sampler.setInterval(13);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const int displayed = framesOf(shown->text());
        if (displayed >= 0)
            ages.push_back(decks.positionFrames(decksim::Role::Player) - displayed);
    });
    // The first second lets the deck reach play speed.
    QTimer::singleShot(1000, [&] { sampler.start(); });
    QTimer::singleShot(1000 + seconds * 1000, &application, &QApplication::quit);
    application.exec();

    if (ages.empty()) {
        std::cerr << "no samples\n";
        return 1;
    }
    std::sort(ages.begin(), ages.end());
    std::cout << ages.size() << " samples over " << seconds << " s of play: displayed time code age median "
              << ages[ages.size() / 2] << " frames, worst " << ages.back() << " frames, best " << ages.front()
              << " frames\n";
    return 0;
}
