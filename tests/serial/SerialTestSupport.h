#pragma once

#include "serial/Platform.h"
#include "serial/SerialPortLocal.h"
#include "serial/backend/SerialBackend.h"
#include "tests/serial/FakeSerialBackend.h"

#include <gtest/gtest.h>

#include <exception>
#include <memory>
#include <string>

// The text of the error that action raises, or "<no error>".
template <typename Action>
std::string errorText(Action action)
{
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "<no error>";
}

// Runs each test with a fresh fake backend installed, and puts the built-in backend and
// the operating-system name back afterwards.
class FakeBackendTest : public ::testing::Test {
protected:
    void SetUp() override { serial::SerialBackend::install(fake); }
    void TearDown() override
    {
        serial::SerialBackend::install(nullptr);
        serial::Platform::setOsName("Linux");
    }

    // A port opened on "COM1" as the deck link opens it, on the given system.
    std::unique_ptr<serial::SerialPortLocal> openPort(const std::string& osName = "Linux")
    {
        serial::Platform::setOsName(osName);
        config = std::make_shared<serial::SerialConfig>("COM1");
        return std::make_unique<serial::SerialPortLocal>(config);
    }

    std::shared_ptr<FakeSerialBackend> fake = std::make_shared<FakeSerialBackend>();
    std::shared_ptr<serial::SerialConfig> config;
};
