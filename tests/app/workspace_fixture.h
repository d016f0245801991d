#pragma once
// A fresh workspace window context on the scripted host, with the real kernel libraries of the
// output folder and a detector list in a folder of its own.

#include "kernel_binding.h"
#include "korvelf.h"
#include "scripted_host.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class WorkspaceFixture : public testing::Test {
protected:
    WorkspaceFixture()
    {
        folder = std::filesystem::temp_directory_path() /
                 ("vantry-test-" + std::to_string(::getpid()) + "-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        k.ws.programFolder = folder;
    }
    ~WorkspaceFixture() override { std::filesystem::remove_all(folder); }

    void writeList(const std::string& content)
    {
        std::ofstream(folder / "VYLIST.TXT", std::ios::binary) << content;
    }

    std::filesystem::path folder;
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{VANTRY_BIN_DIR};
    vantry::Korvelf k{host, kernels};
};
