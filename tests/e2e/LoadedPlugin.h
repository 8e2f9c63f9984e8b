#pragma once
// Loads the built plug-in file through the host harness, as a host would.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/PluginHost.h"

inline std::string pluginPath()
{
    const char* path = std::getenv("KORVALEX_PLUGIN");
    return path ? path : "korvalex.so";
}

inline std::unique_ptr<PluginHost> loadPlugin(const std::string& entry = "VSTPluginMain")
{
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(pluginPath(), error, entry);
    EXPECT_TRUE(host) << error;
    return host;
}

class LoadedPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = loadPlugin();
        ASSERT_TRUE(host);
    }
    std::unique_ptr<PluginHost> host;
};
