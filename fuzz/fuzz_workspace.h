#pragma once
// A started workspace on the scripted host for the fuzz targets, made once per process. Each
// input is written to a file in memory-backed storage and read as the Read button reads it.

#include "form_load.h"
#include "image_opening.h"
#include "kernel_binding.h"
#include "korvelf.h"
#include "program_folder.h"
#include "scripted_host.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

struct FuzzWorkspace {
    vantry::ScriptedHost host;
    vantry::KernelBinding kernels{vantry::programFolder()};
    vantry::Korvelf k{host, kernels};
    std::string folder;

    FuzzWorkspace()
    {
        char pattern[] = "/dev/shm/vantry-fuzz-XXXXXX";
        const char* made = mkdtemp(pattern);
        folder = made != nullptr ? made : "/tmp";
        const std::string list = folder + "/VYLIST.TXT";
        FILE* f = std::fopen(list.c_str(), "w");
        std::fputs("header\nDICOM 1 1 0.1 1 0 0\nFUZZ.BMP 1 1 0.1 1 0 0\n", f);
        std::fclose(f);
        k.ws.programFolder = folder;
        if (!vantry::Form_Load(k)) std::abort();
    }

    /// Writes the bytes to a file named `name` and reads it with list entry `entry`.
    void read(const uint8_t* data, size_t size, const std::string& name, int entry)
    {
        const std::string path = folder + "/" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        if (size > 0) std::fwrite(data, 1, size, f);
        std::fclose(f);
        // The scripted host records every call; a long run must not keep them all.
        host.messages.clear();
        host.fileDialogFilters.clear();
        vantry::CMB1_Click(k, entry);
        host.fileDialogAnswers.push_back(path);
        vantry::Command1_Click(k);
    }
};
