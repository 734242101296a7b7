#include "app/Kestrix.h"

#include "app/SettingsError.h"
#include "app/SettingsFile.h"
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
    GetProps();
}

void Kestrix::GetProps()
{
    SettingsFile file(settingsFileName);
    if (!file.exists()) {
        Utils::OutLine("No configuration file found!");
        Utils::DelayT(5000);
        Utils::ExitProcess(1);
    }
    try {
        file.load();
    } catch (const SettingsError& error) {
        Utils::OutLine(error.what());
        Utils::ExitProcess(1);
    }
}

void Kestrix::SaveProps()
{
    SettingsFile file(settingsFileName);
    if (!file.exists()) {
        Utils::OutLine("No configuration file can be saved!");
        Utils::DelayT(5000);
        return;
    }
    try {
        file.save();
    } catch (const SettingsError& error) {
        Utils::OutLine(error.what());
    }
}
