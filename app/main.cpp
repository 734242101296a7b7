#include "app/Kestrix.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The program ends only through the main window's closing handler; a settings dialog
    // closing while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Kestrix::init();
    return QApplication::exec();
}
