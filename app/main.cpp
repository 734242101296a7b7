#include "app/Kestrix.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    Kestrix::init();
    return 0;
}
