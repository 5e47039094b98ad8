// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window model on a throw-away drive mapping with the default folders, a loaded project and
// a clock the test sets.
#include <gtest/gtest.h>

#include "shell/embedded.h"
#include "support/fakes.h"

namespace halyard::test {

class TestClock : public Clock {
public:
    std::filesystem::file_time_type time = std::filesystem::file_time_type::clock::now();
    std::filesystem::file_time_type now() const override { return time; }
};

struct BuildRig {
    FakeUi ui;
    MemorySettings store;
    RecordingLauncher launcher;
    TempDrives t;
    TestClock clock;
    TEmbedded e{{ui, store, launcher, t.dd, clock}};

    BuildRig() {
        t.dd.createDirs("C:\\texassource");
        t.dd.createDirs("C:\\CL370");
        e.CompilerOutputFile = "C:\\Outputfile.txt";
        e.ProjectPath = "C:\\work\\demo.prj";
        e.startupDone = true;
        // The options every build turns into "-g -ms " and "-z  -a -c ".
        e.compiler.SetDefsClick();
        e.linker.setLinkerDefs();
        e.opts.EL.setChecked(true);
        e.opts.OutputFile.setText("C:\\texassource\\demo.out");
        e.ObjectFile = "C:\\texassource\\demo.out ";
        t.put("C:\\work\\main.c", "int main(void) { return 0; }\n");
        t.put("C:\\work\\io.h", "#define PORT 1\n");
        e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\io.h"});
    }

    std::string batch() const {
        return t.dd.fileExists("C:\\texassource\\ide.bat") ? t.dd.readBytes("C:\\texassource\\ide.bat")
                                                           : "<none>";
    }
};

} // namespace halyard::test
