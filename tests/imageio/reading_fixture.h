#pragma once
// A started workspace on the scripted host, with helpers to choose a preset and read a file
// through the Read button.

#include "dicom_writer.h"
#include "form_load.h"
#include "image_opening.h"
#include "workspace_fixture.h"

#include <string>
#include <vector>

class ReadingFixture : public WorkspaceFixture {
protected:
    /// Starts with a list whose entries are `presets` (after the header line).
    void start(const std::vector<std::string>& presets)
    {
        std::string list = "Detector Width Height Pitch Encoding Offset Header\n";
        for (const auto& p : presets) list += p + "\n";
        writeList(list);
        ASSERT_TRUE(vantry::Form_Load(k));
        k.form.Width = 1218;
        k.form.Height = 800;
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = (folder / name).string();
        vantry::samples::writeFile(path, bytes);
        return path;
    }
    /// Presses Read with entry `entry` chosen and `path` answered in the dialog.
    void readWith(int entry, const std::string& path)
    {
        vantry::CMB1_Click(k, entry);
        host.fileDialogAnswers.push_back(path);
        vantry::Command1_Click(k);
    }
    std::vector<int16_t> pixels(int view) const { return k.ws.IMG[view].pixels; }

    static std::vector<int16_t> ramp(int32_t w, int32_t h)
    {
        std::vector<int16_t> p(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<int16_t>((i * 37) % 4000);
        return p;
    }
    static vantry::samples::DicomImage dicom(int32_t w, int32_t h, vantry::samples::Syntax syntax)
    {
        vantry::samples::DicomImage d;
        d.columns = w;
        d.rows = h;
        d.pixels = ramp(w, h);
        d.syntax = syntax;
        return d;
    }
};
