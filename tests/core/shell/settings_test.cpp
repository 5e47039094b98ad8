// SPDX-License-Identifier: GPL-3.0-or-later
#include <fstream>

#include "base/text_file.h"
#include "shell/ini_settings.h"
#include "shell_fixture.h"

using namespace halyard;
using test::Shell;

TEST_F(Shell, AnEmptyStoreGivesTheDefaults) {
    create();
    e->LoadSettings();
    EXPECT_EQ(e->WorkDrive, "C:\\");
    EXPECT_EQ(e->CompSourceDir, "C:\\texassource");
    EXPECT_EQ(e->CompilerDir, "C:\\CL370");
    EXPECT_EQ(e->InstallDir, "C:\\Halyard");
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\default.prj");
    EXPECT_EQ(e->HeadersDir, "C:\\Texassource");
    EXPECT_TRUE(e->lib.Overwrite.checked());
    EXPECT_TRUE(e->opts.SpecObjLoc.checked());
    EXPECT_FALSE(e->lib.SmallMem.checked()); // checked in the window, unchecked by the settings
    EXPECT_FALSE(e->opts.EL.checked());
    EXPECT_EQ(e->lib.Source.text(), "rts.src");
}

TEST_F(Shell, ClosingWritesEveryValueInItsOrderWithBooleansAsDigits) {
    create();
    e->LoadSettings();
    e->tools.addProgTool("Burner", "C:\\burn.exe");
    e->tools.addUserTool("Term", "C:\\term.exe", "-x");
    e->SaveSettings();
    const std::vector<std::string> order = {"Drive",
                                            "Comp Source",
                                            "Program Dir",
                                            "Install Dir",
                                            "Project",
                                            "Headers",
                                            "PTCount",
                                            "UTCount",
                                            "Programming Tool",
                                            "Lib Source",
                                            "Lib Dest",
                                            "No Heads",
                                            "Usesource",
                                            "Extract",
                                            "Overwrite",
                                            "SuppressHeads",
                                            "Debug",
                                            "C8",
                                            "KR",
                                            "SuppressWarns",
                                            "TriGraph",
                                            "Small",
                                            "ObjLoc",
                                            "Last",
                                            "Include",
                                            "Clear",
                                            "Redirect",
                                            "Onend",
                                            "Keep Editors",
                                            "Line Numbers",
                                            "Current Line",
                                            "Match Brackets",
                                            "Keep Indent",
                                            "Message Marks",
                                            "Complete Names",
                                            "PTools0",
                                            "PTNames0",
                                            "UTools0",
                                            "UTNames0",
                                            "UTParams0"};
    EXPECT_EQ(settings.writes, order);
    EXPECT_EQ(settings.values["Overwrite"].text, "1");
    EXPECT_EQ(settings.values["Small"].text, "0");
    EXPECT_EQ(settings.values["PTNames0"].text, "C:\\burn.exe");
    EXPECT_EQ(settings.values.count("Error log"), 0u);
}

TEST_F(Shell, NumbersAndBooleansFollowTheirReadingRules) {
    settings.put("Overwrite", "no"); // not a number: its default
    settings.put("Debug", "2");      // any non-zero number is true
    settings.put("ObjLoc", "0");
    settings.put("Error log", "-1");
    settings.put("UTCount", "x1"); // not a number: no tools
    settings.put("Small", "0x1");  // numbers are decimal only
    settings.put("Last", "$1");
    create();
    e->LoadSettings();
    EXPECT_FALSE(e->lib.SmallMem.checked());
    EXPECT_FALSE(e->opts.Lastproject.checked());
    EXPECT_TRUE(e->lib.Overwrite.checked());
    EXPECT_TRUE(e->lib.Debug.checked());
    EXPECT_FALSE(e->opts.SpecObjLoc.checked());
    EXPECT_TRUE(e->opts.EL.checked());
    EXPECT_EQ(e->tools.UserToolsList.count(), 0);
}

TEST_F(Shell, AValueOfAnotherTypeCostsThatValueAloneAndClosingKeepsTheRest) {
    settings.put("Drive", "D:\\");
    settings.put("Comp Source", "C:\\src");
    settings.values["Program Dir"] = {true, false, ""};
    settings.put("Headers", "C:\\inc");
    settings.values["KR"] = {true, false, ""};
    settings.put("Onend", "1");
    settings.put("PTCount", "1");
    settings.put("PTools0", "Burner");
    settings.put("PTNames0", "C:\\burn.exe");
    drives.dd.createDir("C:\\src");
    drives.dd.createDir("C:\\CL370");
    start();
    EXPECT_EQ(ui.errors, (std::vector<std::string>{"Failed to get data for 'Program Dir'\r"
                                                   "Failed to get data for 'KR'"}));
    EXPECT_EQ(e->CompilerDir, "C:\\CL370");
    EXPECT_EQ(e->HeadersDir, "C:\\inc");
    EXPECT_TRUE(e->opts.ShowOnEnd.checked());
    EXPECT_EQ(e->tools.ProgToolPaths, (std::vector<std::string>{"C:\\burn.exe"}));
    EXPECT_EQ(e->StatusBar.panel(0).text, "NO PROJECT LOADED");

    const auto before = settings.values;
    e->FormClose();
    for (const auto& [name, value] : before) {
        if (value.isString) {
            EXPECT_EQ(settings.values[name].text, value.text) << name;
        }
    }
    EXPECT_EQ(settings.values["Program Dir"].text, "C:\\CL370");
}

TEST_F(Shell, ARefusedWriteStopsTheSaveWithItsMessage) {
    settings.refuse = {"Headers"};
    create();
    EXPECT_FALSE(e->run([&] { e->SaveSettings(); }));
    EXPECT_EQ(ui.errors, (std::vector<std::string>{"Failed to set data for 'Headers'"}));
    EXPECT_EQ(settings.writes.back(), "Project");
}

TEST_F(Shell, ToolPairsStayOneToolPerIndexEvenWhenTheStoredListsAreBroken) {
    settings.put("PTCount", "4");
    settings.put("PTools0", "Zeta");
    settings.put("PTNames0", "C:\\a.exe");
    settings.put("PTools1", "Alpha");
    settings.put("PTNames1", "C:\\b.exe");
    settings.put("PTools2", "Copy");
    settings.put("PTNames2", "c:\\A.EXE"); // the same tool again
    settings.put("Programming Tool", "C:\\B.exe");
    create();
    e->LoadSettings();
    EXPECT_EQ(e->tools.ProgToolsList.items(), (std::vector<std::string>{"Alpha", "Zeta"}));
    EXPECT_EQ(e->tools.ProgToolPaths, (std::vector<std::string>{"C:\\b.exe", "C:\\a.exe"}));
    EXPECT_EQ(e->menu.Prgm.caption(), "Alpha");
    EXPECT_TRUE(e->menu.Prgm.enabled());
    e->SaveSettings();
    EXPECT_EQ(settings.values["PTCount"].text, "2");
    EXPECT_EQ(settings.values["PTNames1"].text, "C:\\a.exe");
}

TEST_F(Shell, ADamagedToolCountReadsOnlyTheToolsThatAreStored) {
    settings.put("PTCount", "2000000000");
    settings.put("PTools0", "Burner");
    settings.put("PTNames0", "C:\\burn.exe");
    settings.put("UTCount", "2147483647");
    settings.put("UTools0", "Term");
    settings.put("UTNames0", "C:\\term.exe");
    settings.put("UTParams1", "-x"); // a tool of its own, though only one of its values is left
    create();
    e->LoadSettings();
    EXPECT_EQ(e->tools.ProgToolsList.items(), (std::vector<std::string>{"Burner"}));
    EXPECT_EQ(e->tools.UserToolsList.items(), (std::vector<std::string>{"Term", ""}));
    EXPECT_EQ(e->tools.UserToolParams, (std::vector<std::string>{"", "-x"}));
}

TEST_F(Shell, AProgrammingToolThatIsNotRegisteredIsForgottenByTheStartUp) {
    createToolFolders();
    settings.put("PTCount", "1");
    settings.put("PTools0", "Burner");
    settings.put("PTNames0", "C:\\burn.exe");
    settings.put("Programming Tool", "C:\\gone.exe");
    create();
    e->FormCreate();
    EXPECT_EQ(e->ProgToolPath, "C:\\gone.exe"); // reading alone keeps it
    EXPECT_EQ(e->menu.Prgm.caption(), "(None)");
    EXPECT_FALSE(e->menu.Prgm.enabled());
    e->starttimer.tick();
    EXPECT_EQ(e->ProgToolPath, "");
    EXPECT_FALSE(e->menu.Prgm.enabled());
    EXPECT_FALSE(e->toolBar.ProgramDevice.enabled());
    e->FormClose();
    EXPECT_EQ(settings.values["Programming Tool"].text, "");
}

TEST(IniSettings, ReadsAndWritesTheSameTextsAsTheGuiSettingsFile) {
    test::TempDrives t;
    const auto file = t.dir / "Orlin" / "Halyard.conf";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file)
        << "[General]\nComp%20Source=C:\\\\texassource\nCmd=\"C:\\\\TexasSource\\\\lnk.cmd \"\n"
           "List=a, b\nNum=5\nV=@Variant(\\0\\0\\0\\x2)\nAt=\"@@a b \"\nMail=@home\n"
           "Ctl=a\\x1\\x62 \\101\\x7f\\xe9\\v\\13\\x63\n";
    IniSettings ini(file);
    EXPECT_EQ(ini.read("Comp Source").text, "C:\\texassource");
    EXPECT_EQ(ini.read("Cmd").text, "C:\\TexasSource\\lnk.cmd ");
    EXPECT_FALSE(ini.read("List").isString);
    EXPECT_FALSE(ini.read("V").isString);
    EXPECT_EQ(ini.read("At").text, "@a b "); // a leading "@" is doubled, also inside quotes
    EXPECT_EQ(ini.read("Mail").text, "@home");
    EXPECT_EQ(ini.read("Num").text, "5");
    EXPECT_EQ(ini.read("Ctl").text, "a\x01"
                                    "b A\x7f\xc3\xa9\v\x0b"
                                    "c");
    EXPECT_FALSE(ini.read("Missing").exists);
    for (const std::string v : {"C:\\x y\\", " lead", "a, b", "say \"hi\";x=y", "@at", "@a, b", ""}) {
        ASSERT_TRUE(ini.write("Key " + v, v));
        EXPECT_EQ(ini.read("Key " + v).text, v);
        EXPECT_TRUE(ini.read("Key " + v).isString);
    }
    EXPECT_EQ(ini.read("Comp Source").text, "C:\\texassource");
    std::string bytes;
    ASSERT_TRUE(ReadHostFile(file, bytes));
    EXPECT_NE(bytes.find("Key%20%40a%2C%20b=\"@@a, b\"\n"), std::string::npos);

    // A damaged line (a NUL byte) neither hides nor loses the values after it.
    ASSERT_TRUE(WriteHostFileAtomic(file, std::string("[General]\nA=1\n\0junk\r\nB=2", 24)));
    ASSERT_TRUE(ini.write("C", "3"));
    EXPECT_EQ(ini.read("B").text, "2");
    EXPECT_EQ(ini.read("C").text, "3");
}

TEST(IniSettings, AFileChangedByAnotherWriterIsReadAfresh) {
    test::TempDrives t;
    const auto file = t.dir / "Halyard.conf";
    std::ofstream(file) << "[General]\nA=1\nA=ignored\n[Other]\nB=no\n";
    IniSettings reader(file), writer(file);
    EXPECT_EQ(reader.read("A").text, "1");
    EXPECT_FALSE(reader.read("B").exists);
    ASSERT_TRUE(writer.write("A", "2")); // replaced by a rename
    EXPECT_EQ(reader.read("A").text, "2");
    std::ofstream(file, std::ios::trunc) << "[General]\nA=345\n"; // rewritten in place
    EXPECT_EQ(reader.read("A").text, "345");
    std::filesystem::remove(file);
    EXPECT_FALSE(reader.read("A").exists);
}

TEST(ToolLists, AddingManyAtOnceEqualsAddingThemOneByOne) {
    const std::vector<std::pair<std::string, std::string>> tools = {
        {"b", "C:\\p1"}, {"a", "c:\\P1"}, {"a", "C:\\p2"},  {"x", ""},      {"B", "C:\\p3"},
        {"A", "C:\\p4"}, {"b", "C:\\p5"}, {"m", "C:\\PRE"}, {"", "C:\\p6"}, {"a", "C:\\p7"}};
    ToolLists one, many;
    one.addProgTool("m", "C:\\pre");
    many.addProgTool("m", "C:\\pre");
    for (const auto& [name, path] : tools)
        one.addProgTool(name, path);
    many.addProgTools(tools);
    EXPECT_EQ(many.ProgToolsList.items(), one.ProgToolsList.items());
    EXPECT_EQ(many.ProgToolPaths, one.ProgToolPaths);
}
