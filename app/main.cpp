#include "app/CommandLine.h"
#include "app/Kestrix.h"
#include "deck/LongWaits.h"

#include <QApplication>

#include <iostream>

int main(int argc, char* argv[])
{
    if (const auto status = CommandLine::run(argc, argv, std::cout))
        return *status;
    Kestrix::listpath = CommandLine::listFile(argc, argv);
    // Qt never sees the command line: an argument such as -platform or -style must not
    // change how the controller starts.
    static int qtArgc = 1;
    static char programName[] = "kestrix";
    static char* qtArgv[] = {programName, nullptr};
    QApplication application(qtArgc, qtArgv);
    // The program ends only through the main window's closing handler; a settings dialog
    // closing while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Only the test build may shorten the waits an operator and a deck rely on.
    if constexpr (KESTRIX_SPEEDUP_ALLOWED)
        LongWaits::speedUpFromEnvironment();
    Kestrix::init(CommandLine::assembly(argc, argv));
    return QApplication::exec();
}
