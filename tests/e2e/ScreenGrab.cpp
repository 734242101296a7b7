// Saves what the X display shows to a PNG file: the README's picture of Kestrix is taken with
// it under a virtual X server.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: screen_grab FILE.png [WIDTH HEIGHT]\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    const int width = argc > 3 ? std::atoi(argv[2]) : -1;
    const int height = argc > 3 ? std::atoi(argv[3]) : -1;
    const QPixmap picture = screen->grabWindow(0, 0, 0, width, height);
    return picture.save(argv[1]) ? 0 : 1;
}
