// SPDX-License-Identifier: GPL-3.0-or-later
// The command-file builder: the exact lines it makes, its dialogs' kept state, its button states,
// and the file it assembles and saves.
#include <gtest/gtest.h>

#include "base/text_file.h"
#include "linkcmd/cmd_check.h"
#include "shell/embedded.h"
#include "support/model_ports.h"

namespace halyard::test {
namespace {

struct Rig : ModelPorts {
    TEmbedded e{ports()};
    LinkCmdControls& c = e.linkCmd;
    CmdBuilder& b = e.cmdBuild;

    void memory(const char* name, const char* attrs, const char* origin, const char* length,
                const char* fill = "0000000") {
        c.NameBox.setText(name);
        for (CheckBox* box : {&c.R, &c.W, &c.X, &c.I})
            box->setChecked(std::string(attrs).find(box->caption()) != std::string::npos);
        c.Origin.setText(origin);
        c.MemLength.setText(length);
        c.FillBox.setText(fill);
        b.AddMemClick();
    }
    // Scripts the placement dialog: the settings are made as the user makes them, then Apply, OK.
    void place(int type, const char* where, int align, const char* value, int page, bool apply = true) {
        ui.dialogs.push_back([=](ModalDialog& d) {
            auto& s = dynamic_cast<TSectionsEdit&>(d);
            s.MemoryType.userSelect(type);
            if (type == TSectionsEdit::Bound) s.BoundMemory.setText(where);
            if (type == TSectionsEdit::Named) s.Memory.setText(where);
            s.Alignment.userSelect(align);
            s.Value.setText(value);
            s.PageUD.setPosition(page);
            if (apply) s.Button47Click();
            return Answer::Ok;
        });
    }
};

TEST(CmdBuilder, MemoryLinesKeepTheFieldsBlanksAndFillRule) {
    struct Case {
        const char *name, *attrs, *origin, *length, *fill, *line, *region;
    } cases[] = {
        {"RAM", "", "0000", "0000", "0000000", "    RAM     :  origin = 0000h length = 0000h ", "RAM"},
        {"ROM", "RX", "8000", "7FE0", "0000000", "    ROM     :  (RX)  origin = 8000h length = 7FE0h ",
         "ROM"},
        {"RAM", "RW", "0100", "0F00", "0000010",
         "    RAM     :  (RW)  origin = 0100h length = 0F00h fill = 0000010h", "RAM"},
        {"RAMEXT", "RWXI", "1000", "0800", "0000000", "    RAMEXT  :  (RWXI)  origin = 1000h length = 0800h ",
         "RAMEXT"},
        // Hexadecimal constants the linker reads as numbers: one that begins with a letter gets a 0.
        {"ROM", "RX", "F000", "1000", "0000000", "    ROM     :  (RX)  origin = 0F000h length = 1000h ",
         "ROM"},
        {"ALL", "", "0000", "10000", "0000000", "    ALL     :  origin = 0000h length = 10000h ", "ALL"},
        {"HI", "", "A000", "F000", "00000FF",
         "    HI      :  origin = 0A000h length = 0F000h fill = 00000FFh", "HI"},
        {"A", "", "0000", "0000", "     FF", "    A       :  origin = 0000h length = 0000h fill =      0FFh",
         "A"},
        {"A", "", "0000", "0000", "10     ", "    A       :  origin = 0000h length = 0000h ", "A"},
        {"A", "", "0000", "0000", "     10", "    A       :  origin = 0000h length = 0000h fill =      10h",
         "A"},
        {"", "", "0000", "0000", "0000000", "            :  origin = 0000h length = 0000h ", ""},
    };
    Rig r;
    for (const auto& k : cases) {
        r.memory(k.name, k.attrs, k.origin, k.length, k.fill);
        EXPECT_EQ(r.c.MemList.items().back(), k.line);
        EXPECT_EQ(r.b.SectionsEdit.Memory.items().back(), k.region);
    }
}

// The linker reads "F000h" as a symbol: every hexadecimal field the builder writes that begins with
// a letter gets a leading 0, and a fill written in hexadecimal digits is kept.
TEST(CmdBuilder, PlacementAndSectionFillFromA000hUpAreWrittenAsNumbers) {
    Rig r;
    r.memory("HI", "R", "A000", "6000");
    r.c.SectionNames.setText("text");
    r.b.SpeedButton5Click();
    r.place(TSectionsEdit::Bound, "F000", TSectionsEdit::NoAlign, "0000", 0);
    r.b.SetuploadClick();
    r.place(TSectionsEdit::Named, "HI", TSectionsEdit::Blocking, "C000", 0);
    r.b.SetUpRunParsClick();
    r.c.SectionFill.setText("000000FF");
    r.b.AddFillClick();
    EXPECT_EQ(r.c.ParamLine.text(), ".text:  > 0F000h run =  > HI block(0C000h), fill =000000FFh");
    r.c.SectionFill.setText("      EE");
    r.b.AddFillClick();
    EXPECT_EQ(r.c.ParamLine.text().substr(r.c.ParamLine.text().rfind(',')), ", fill =      0EEh");
    // A symbol typed into a field stays a symbol; a fill that is not a number adds nothing.
    EXPECT_EQ(LinkerHex("STARTh"), "STARTh");
    r.c.SectionFill.setText("0000 0FF");
    r.b.AddFillClick();
    EXPECT_EQ(r.c.ParamLine.text().substr(r.c.ParamLine.text().rfind(',')), ", fill =      0EEh");
}

TEST(CmdBuilder, LibraryLinesCarryThePathOnlyWhenAsked) {
    Rig r;
    r.ui.files = {"C:\\lib\\rts.lib", std::nullopt, "C:\\lib\\rts.lib", "C:\\my libs\\rts.lib"};
    r.b.AddLibClick();
    r.b.AddLibClick();
    r.c.CheckBox6.setChecked(true);
    r.b.AddLibClick();
    // A name with a blank is quoted, as the linker reads one.
    r.b.AddLibClick();
    EXPECT_EQ(r.c.ObjectLibs.items(),
              (std::vector<std::string>{"-l rts.lib", "-l C:\\lib\\rts.lib", "-l \"C:\\my libs\\rts.lib\""}));
}

TEST(CmdBuilder, ComposesAnOutputSectionStepByStep) {
    Rig r;
    r.memory("RAM", "RW", "0100", "0F00");
    r.c.SectionNames.setText("text");
    r.b.SpeedButton5Click();
    EXPECT_EQ(r.c.ParamLine.text(), ".text: ");
    r.place(TSectionsEdit::Named, "RAM", TSectionsEdit::Allignment, "0010", 0);
    r.b.SetuploadClick();
    EXPECT_EQ(r.c.ParamLine.text(), ".text:   > RAM align(0010h)");
    r.place(TSectionsEdit::Bound, "8000", TSectionsEdit::NoAlign, "0010", 0);
    r.b.SetUpRunParsClick();
    r.c.SectionType.userSelect(1);
    r.b.AddTypeClick();
    r.c.SectionFill.setText("00000010");
    r.b.AddFillClick();
    const std::string line = ".text:   > RAM align(0010h) run = > 8000h, type = COPY, fill =00000010h";
    EXPECT_EQ(r.c.ParamLine.text(), line);
    r.b.Addsec();
    EXPECT_EQ(r.c.SectionList.items(), std::vector<std::string>{"    " + line});
    EXPECT_EQ(r.ui.dialogsRun, (std::vector<std::string>{"TSectionsEdit", "TSectionsEdit"}));
    EXPECT_TRUE(r.ui.shown.empty()) << r.ui.shown.front();

    // The same name again is refused; with an entry selected Add does nothing at all.
    r.b.Addsec();
    r.c.SectionNames.setText("bss");
    r.c.SectionList.setItemIndex(0);
    r.b.Addsec();
    r.b.EditPLineClick();
    r.b.ReplaceBtnClick();
    EXPECT_EQ(r.c.SectionList.items(), std::vector<std::string>{"        " + line});
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"A section with this name already exists"});
}

TEST(CmdBuilder, PlacementDialogTextsAndKeptState) {
    struct Case {
        int type;
        const char* where;
        int align;
        int page;
        const char* output;
    } cases[] = {
        {TSectionsEdit::Named, "ROM", TSectionsEdit::NoAlign, 1, " > ROM PAGE1"},
        {TSectionsEdit::Bound, "7000", TSectionsEdit::NoAlign, 2, "> 7000h PAGE2"},
        {TSectionsEdit::None, "", TSectionsEdit::NoAlign, 3, " PAGE3"},
        {TSectionsEdit::Named, "ROM", TSectionsEdit::Blocking, 0, " > ROM block(0040h)"},
    };
    Rig r;
    r.memory("ROM", "RX", "8000", "7FE0");
    TSectionsEdit& s = r.b.SectionsEdit;
    for (const auto& k : cases) {
        s.MemoryType.userSelect(k.type);
        if (k.type == TSectionsEdit::Bound) s.BoundMemory.setText(k.where);
        if (k.type == TSectionsEdit::Named) s.Memory.setText(k.where);
        s.Alignment.userSelect(k.align);
        s.Value.setText("0040");
        s.PageUD.setPosition(k.page);
        s.Button47Click();
        EXPECT_EQ(s.output.text(), k.output);
    }
    // Load Pars then OK alone takes what the dialog kept; the caller resets only type and alignment.
    r.c.SectionNames.setText("const");
    r.b.SpeedButton5Click();
    r.ui.dialogs.push_back([](ModalDialog&) { return Answer::Ok; });
    r.b.SetuploadClick();
    EXPECT_EQ(r.c.ParamLine.text(), ".const:   > ROM block(0040h)");
    EXPECT_EQ(s.MemoryType.itemIndex(), TSectionsEdit::None);
    EXPECT_FALSE(s.NamedMemoryPan.visible());
    EXPECT_EQ(s.Memory.text(), "ROM");

    // Named with no region selected, then with none defined.
    s.MemoryType.userSelect(TSectionsEdit::Named);
    s.Memory.setItemIndex(-1);
    s.PageUD.setPosition(0);
    s.Button47Click();
    r.b.SectionsEdit.Memory.clear();
    s.Button47Click();
    EXPECT_EQ(r.ui.shown,
              (std::vector<std::string>{"No memory region selected", "No memory regions sre defined"}));
    EXPECT_EQ(s.output.text(), "");
}

TEST(CmdBuilder, ChecksTheSectionNameBeforeEachStep) {
    struct Case {
        const char* name;
        const char* param;
        void (CmdBuilder::*op)();
        std::vector<std::string> shown;
        bool emptied;
    } cases[] = {
        {"UNION", ".UNION: ", &CmdBuilder::SetuploadClick, {"UNION Is a Reserved Word"}, true},
        {" Fill ", ". Fill : ", &CmdBuilder::AddTypeClick, {"Fill Is a Reserved Word"}, true},
        {"Fill", ".Fill: ", &CmdBuilder::AddFillClick, {"Fill Is a Reserved Word"}, true},
        {"text", ".data: ", &CmdBuilder::SetUpRunParsClick, {"No Section Name defined"}, false},
        {"", ".data: ", &CmdBuilder::CreateIPSecClick, {"No Section Name defined"}, false},
        {"run", ".run: ", &CmdBuilder::Addsec, {}, false},
    };
    for (const auto& k : cases) {
        Rig r;
        r.c.SectionNames.setText(k.name);
        r.c.ParamLine.setText(k.param);
        (r.b.*k.op)();
        EXPECT_EQ(r.ui.shown, k.shown) << k.name;
        EXPECT_EQ(r.c.SectionNames.items().empty(), k.emptied) << k.name;
        EXPECT_TRUE(r.ui.dialogsRun.empty()) << k.name;
    }
}

TEST(CmdBuilder, InputSectionBlocksAndTheButtonStates) {
    Rig r;
    auto states = [&r] {
        std::string s;
        for (const MenuItem* m : {&r.c.addBtn, &r.c.SelectFiles, &r.c.AbortIpsection, &r.c.AddIPSection})
            s += m->enabled() ? '1' : '0';
        return s;
    };
    EXPECT_EQ(states(), "1000");
    r.c.SectionNames.setText("text");
    r.c.ParamLine.setText(".text:   > RAM");
    r.b.CreateIPSecClick();
    EXPECT_EQ(states(), "0110");
    EXPECT_EQ(r.c.InputSections.text(), ".text:   > RAM\r\n{\r\n\r\n}\r\n");

    r.ui.files = {"C:\\proj\\main.obj", "C:\\proj\\io.obj"};
    r.ui.answers = {Answer::Yes, Answer::No};
    r.ui.dialogs.push_back([&r](ModalDialog& d) {
        auto& names = dynamic_cast<TIPSectionName&>(d);
        names.Clist.addItem("stale");
        names.FormActivate();
        for (const char* n : {".text", ".cinit", ".TEXT"}) {
            names.Clist.setText(n);
            names.Button3Click();
        }
        return Answer::Ok;
    });
    r.b.SelectFilesClick();
    EXPECT_EQ(states(), "0111");
    EXPECT_EQ(r.ui.shown, (std::vector<std::string>{"Do you want to specify a section within this file",
                                                    "This section name is already in the list"}));
    r.b.AddIPSectionClick();
    EXPECT_EQ(states(), "1110");
    EXPECT_EQ(r.c.SectionList.items(),
              (std::vector<std::string>{".text:   > RAM", "{", "    C:\\proj\\main.obj(.text,.cinit)", "}"}));
    // A second Select Files names the block's file again; No gives an empty list.
    r.b.SelectFilesClick();
    EXPECT_EQ(r.c.InputSections.text(), ".text:   > RAM\r\n{\r\n    C:\\proj\\io.obj()\r\n}\r\n");

    r.b.AbortIpsectionClick();
    EXPECT_EQ(states(), "1010");
    EXPECT_EQ(r.c.InputSections.text(), "");
    r.e.CompSourceDir = "C:\\texassource";
    r.b.Button30Click();
    EXPECT_EQ(states(), "0011");
    EXPECT_EQ(r.c.InputSections.text(),
              "\r\n.intvecs : load = 07FECh  /*Interrupt Vectors*/\r\n  {\r\n"
              "   C:\\texassource\\intvecs.obj(.intvecs)\r\n   endvec =.; \r\n  }\r\n");
    // A text cut below two lines gets the file line appended.
    r.c.InputSections.setText("{\r\n");
    r.ui.files = {"C:\\a.obj"};
    r.ui.answers = {Answer::No};
    r.b.SelectFilesClick();
    EXPECT_EQ(r.c.InputSections.text(), "{\r\n    C:\\a.obj()\r\n");
}

const char* kWorkedExample = "/*********** Halyard Linker Commnad file ******/\r\n"
                             "-l mylib.lib\r\n"
                             "\r\n"
                             "-q \r\n"
                             "-c \r\n"
                             "-m test.map \r\n"
                             "\r\n\r\n\r\n"
                             "MEMORY\r\n"
                             "{\r\n"
                             "    ROM     :  (RX)  origin = 8000h length = 7FE0h \r\n"
                             "    RAM     :  (RW)  origin = 0100h length = 0F00h \r\n"
                             "\r\n"
                             "}\r\n"
                             "\r\n\r\n\r\n"
                             "SECTIONS\r\n"
                             "{\r\n"
                             "    .text:   > ROM\r\n"
                             "    .bss:   > RAM\r\n"
                             "\r\n"
                             "}\r\n";

void workedExample(Rig& r) {
    r.ui.files = {"C:\\lib\\mylib.lib"};
    r.b.AddLibClick();
    r.memory("ROM", "RX", "8000", "7FE0");
    r.memory("RAM", "RW", "0100", "0F00");
    for (const char* name : {"text", "bss"}) {
        r.c.SectionNames.setText(name);
        r.b.SpeedButton5Click();
        r.place(TSectionsEdit::Named, name[0] == 't' ? "ROM" : "RAM", TSectionsEdit::NoAlign, "0000", 0);
        r.b.SetuploadClick();
        r.b.Addsec();
    }
    r.e.opts.AOP.setChecked(false);
    r.e.opts.Quiet.setChecked(true);
    r.e.opts.Init.setItemIndex(0);
    r.e.opts.GM.setChecked(true);
    r.e.opts.MapFile.setText("test.map");
    r.c.Include.setChecked(true);
}

TEST(CmdBuilder, BuildsTheWholeFileByteForByte) {
    Rig r;
    EXPECT_FALSE(r.c.ClearCLine.enabled());
    r.b.BuildCommandClick();
    EXPECT_EQ(r.c.Command.text(), "/*********** Halyard Linker Commnad file ******/\r\n\r\n\r\n\r\n\r\n");
    workedExample(r);
    EXPECT_TRUE(r.c.ClearCLine.enabled());
    r.b.BuildCommandClick();
    EXPECT_EQ(r.c.Command.text(), kWorkedExample);
    EXPECT_EQ(SplitTextLines(r.c.Command.text()).size(), 24u);
    EXPECT_TRUE(r.ui.shown.empty());
    EXPECT_TRUE(linkcmd::CheckCommandFile(r.c.Command.text(), "x", r.drives.dd, "C:\\").empty());
}

TEST(CmdBuilder, ClearSwitchesTheLinkerOptionsOffOnceWritten) {
    Rig r;
    workedExample(r);
    r.e.opts.EL.setChecked(false); // the switch lines do not depend on the linker being on
    r.e.opts.DHS.setChecked(true);
    r.c.ClearCLine.setChecked(true);
    r.b.BuildCommandClick();
    EXPECT_NE(r.c.Command.text().find("-q \r\n -heap 0200h \r\n-c \r\n-m test.map \r\n"), std::string::npos)
        << r.c.Command.text();
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Linker command line parameters have been cleared"});
    EXPECT_EQ(r.e.linker.BuildLinkerSwitches("").text, "");
    r.b.BuildCommandClick();
    EXPECT_EQ(r.c.Command.text().find("-q"), std::string::npos);

    // Unchecking Include disables Clear: Build then clears nothing and says nothing.
    r.c.Include.setChecked(false);
    EXPECT_FALSE(r.c.ClearCLine.enabled());
    r.e.opts.Quiet.setChecked(true);
    r.b.BuildCommandClick();
    EXPECT_TRUE(r.e.opts.Quiet.checked());
    EXPECT_EQ(r.ui.shown.size(), 2u);
}

TEST(CmdBuilder, SaveWritesTheTextAndAppliesTheSaveOption) {
    struct Case {
        int option;
        std::string path, mode, caption;
    } cases[] = {
        {-1, "C:\\TexasSource\\lnk.cmd ", "Default", "&Edit"},
        {1, "C:\\work\\out.cmd", "Default", "&Edit"},
        {2, "C:\\work\\out.cmd", "User Defined", "&Edit out.cmd"},
    };
    for (const auto& k : cases) {
        Rig r;
        r.drives.dd.createDirs("C:\\work");
        r.e.cmdFile.DefaultCmdClick();
        r.c.Command.setText("edited\r\nlast");
        r.c.SaveOptions.setItemIndex(k.option);
        r.ui.files = {"C:\\work\\out.cmd", "C:\\nowhere\\x.cmd"};
        r.b.saveCMDClick();
        EXPECT_EQ(r.drives.dd.readBytes("C:\\work\\out.cmd"), "edited\r\nlast");
        EXPECT_EQ(r.e.CmdFilePath, k.path);
        EXPECT_TRUE(r.e.menu.UserDef.checked() == (k.mode == "User Defined")) << k.option;
        EXPECT_EQ(r.e.menu.OpenCommand.caption(), k.caption);
        // A file that cannot be written changes nothing.
        EXPECT_FALSE(r.e.run([&r] { r.b.saveCMDClick(); }));
        EXPECT_EQ(r.ui.errors, std::vector<std::string>{"Cannot create file C:\\nowhere\\x.cmd"});
        EXPECT_EQ(r.e.CmdFilePath, k.path);
    }
}

TEST(CmdBuilder, RemoveTakesTheSelectedLineAndItsRegion) {
    Rig r;
    for (const char* name : {"A", "B", "C"})
        r.memory(name, "", "0000", "0000");
    r.b.SectionsEdit.Memory.setText("C");
    r.c.MemList.setItemIndex(1);
    r.b.RemoveMem();
    EXPECT_EQ(r.c.MemList.count(), 2);
    EXPECT_EQ(r.b.SectionsEdit.Memory.items(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(r.b.SectionsEdit.Memory.text(), "C");
    r.b.RemoveLib();
    EXPECT_EQ(r.ui.shown, std::vector<std::string>{"Nothing selected"});
}

} // namespace
} // namespace halyard::test
