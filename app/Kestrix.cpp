#include "app/Kestrix.h"

#include "app/Utils.h"

namespace {
Utils utilsInstance;
}

void Kestrix::init()
{
    utils = &utilsInstance;
    name = "KESTRIX";
    prodtitle = name;
    Utils::OutLine(prodtitle);
    Utils::OutLine("Featuring:  RS422 Linear Editing");
}
