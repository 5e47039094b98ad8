// SPDX-License-Identifier: GPL-3.0-or-later
#include "project/project_lines.h"
#include "project_fixture.h"

using namespace halyard;
using test::ProjectTest;

namespace {

// Every option away from its window default, the strings with their trailing blanks, and sources.
void nonDefaultProject(TEmbedded& e) {
    auto& o = e.opts;
    for (CheckBox* b : {&o.UN,        &o.GS,    &o.RO,    &o.SS,     &o.QM,   &o.KA,   &o.IL,    &o.CO,
                        &o.GM,        &o.KR,    &o.PPL,   &o.PPO,    &o.SW,   &o.RPC,  &o.RPCC,  &o.AAV,
                        &o.SEROS,     &o.PRASS, &o.PTOHS, &o.SIXBIT, &o.PEO,  &o.LRV,  &o.SSCP,  &o.NO8BIT,
                        &o.SIXBITINT, &o.AALD,  &o.ALL,   &o.OSAS,   &o.KLAS, &o.ICRI, &o.Quiet, &o.IFS,
                        &o.IUS,       &o.DEP,   &o.SSS,   &o.HSS,    &o.DHS,  &o.SF,   &o.FRL,   &o.SetOpt})
        b->setChecked(true);
    for (CheckBox* b : {&o.AOP, &o.EL, &o.DB, &o.Allowinline})
        b->setChecked(false);
    o.Init.setItemIndex(1);
    o.ProcType.userSelect(1);
    o.FormatBox.setItemIndex(1);
    o.NonRe.setChecked(true);
    e.menu.UseintVectors.setChecked(true);
    o.UnResolvedSym.setText("_missing");
    o.EntryPoint.setText("_start");
    o.SoftStack.setText("0100");
    o.HardStack.setText("0040");
    o.Heap.setText("0A00");
    o.Fill.setText("FFFF");
    o.OLevel.setPosition(3);
    o.EnableL3Osize.setChecked(true);
    o.L3OSize.setText("12");
    o.UFlo.setChecked(true);
    o.FilelevelOpto.userSelect(1);
    o.DoOptoInfo.setChecked(true);
    o.OptoInfo.userSelect(2);
    e.CompilerCmdLine = "-c8 -o3 ";
    e.LinkerCmdLine = " -a -cr  ";
    e.CmdFilePath = "C:\\TexasSource\\lnk.cmd ";
    e.ObjectFile = "C:\\texassource\\demo.out ";
    e.ProjectListBox.setItems({"C:\\work\\main.c", "C:\\work\\io.h", "util.C"});
}

std::vector<std::string> lines(size_t n, const std::string& fill = "0") {
    return std::vector<std::string>(n, fill);
}

} // namespace

TEST_F(ProjectTest, ProjectWrittenAndReadBackGivesTheSameLinesByteForByte) {
    nonDefaultProject(*e);
    e->project.BuildProjectLines();
    ASSERT_EQ(e->ProList.size(), 69u);
    const std::vector<std::string> written = e->ProList;
    e->ProjectPath = "C:\\Halyard\\demo.prj";
    e->project.SaveProjectClick();
    const std::string file = bytes("C:\\Halyard\\demo.prj");
    EXPECT_EQ(file.substr(0, 6), "1\r\n0\r\n");
    EXPECT_EQ(file.substr(file.size() - 8), "util.C\r\n");

    // Read back into a window that holds a different project, so nothing survives by accident.
    SetUp();
    e->linker.setLinkerDefs();
    e->compiler.SetDefsClick();
    e->ProjectListBox.setItems({"C:\\other\\x.c"});
    e->ProList = drives.dd.readLines("C:\\Halyard\\demo.prj");
    e->project.SetUpProject();
    e->project.BuildProjectLines();
    EXPECT_EQ(e->ProList, written);
    e->ProjectPath = "C:\\Halyard\\demo.prj";
    e->project.SaveProjectClick();
    EXPECT_EQ(bytes("C:\\Halyard\\demo.prj"), file);
    EXPECT_EQ(e->CmdFilePath, "C:\\TexasSource\\lnk.cmd ");
    EXPECT_EQ(e->LinkerCmdLine, " -a -cr  ");
    EXPECT_EQ(e->opts.OutputFile.text(), "C:\\texassource\\demo.out ");
    EXPECT_TRUE(e->opts.L3OSize.visible());
    EXPECT_TRUE(e->opts.NonRe.enabled());
}

TEST_F(ProjectTest, FreshWindowWritesItsWindowDefaults) {
    e->project.BuildProjectLines();
    ASSERT_EQ(e->ProList.size(), 66u);
    EXPECT_EQ(e->ProList[5], "-1");
    EXPECT_EQ(e->ProList[41], "UnResolvedSym");
    EXPECT_EQ(e->ProList[43], "EntryPoint");
    EXPECT_EQ(e->ProList[52], "0000h ");
    EXPECT_EQ(e->ProList[58], "2");
    EXPECT_EQ(e->ProList[62], "-v0 -ms -g");
    EXPECT_EQ(e->ProList[63], "-o unnamed.out -a -c -m unnamed.map");
    EXPECT_EQ(e->ProList[64], "C:\\TexasSource\\lnk.cmd ");
}

TEST_F(ProjectTest, LoadingKeepsOnlySourceAndHeaderLinesAndReadsFlagsLeniently) {
    e->project.BuildProjectLines();
    auto file = e->ProList;
    file[7] = "10"; // QM: contains a "1"
    file[8] = "2";  // DB: no "1"
    file.insert(file.end(),
                {"C:\\src\\boot.asm", "C:\\src\\main.c", "C:\\src\\DEFS.H", "[sub]", "notes.txt"});
    write("C:\\Halyard\\p.prj", file);
    drives.put("C:\\src\\main.c", "int main;\n");
    drives.put("C:\\src\\DEFS.H", "#define X\n");
    ASSERT_TRUE(open("C:\\Halyard\\p.prj"));
    EXPECT_EQ(e->ProjectListBox.items(), (std::vector<std::string>{"C:\\src\\main.c", "C:\\src\\DEFS.H"}));
    EXPECT_TRUE(e->opts.QM.checked());
    EXPECT_FALSE(e->opts.DB.checked());
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\p.prj");
    EXPECT_EQ(e->StatusBar.panel(0).text, "C:\\Halyard\\p.prj");
    EXPECT_EQ(e->dd.currentDirectory(), "C:\\texassource");
    EXPECT_EQ(e->Intbatch,
              (std::vector<std::string>{"C:\\texassource\\asm370 C:\\texassource\\intvecs.asm "}));
    EXPECT_EQ(e->menu.OpenCommand.caption(), "&Edit lnk.cmd ");
    EXPECT_TRUE(e->ProjectLoaded());
}

TEST_F(ProjectTest, FailedLoadReportsTheLineAndLeavesThePreviousProjectIntact) {
    nonDefaultProject(*e);
    e->project.BuildProjectLines();
    write("C:\\Halyard\\good.prj", e->ProList);
    drives.put("C:\\work\\io.h", "");
    ASSERT_TRUE(open("C:\\Halyard\\good.prj"));
    const auto before = e->ProList;
    const auto sources = e->ProjectListBox.items();
    const auto strings =
        std::vector<std::string>{e->CompilerCmdLine, e->LinkerCmdLine, e->CmdFilePath, e->ObjectFile};

    auto withLine = [](size_t i, const std::string& text) {
        auto l = lines(66);
        l[i] = text;
        return l;
    };
    struct Case {
        std::vector<std::string> file;
        std::string message;
    };
    // The system's text first, then where in which file.
    const std::string in = " of C:\\Halyard\\bad.prj";
    const std::vector<Case> cases = {
        {lines(30), "List index out of bounds (30)\rLine 31" + in + " is missing"},
        {lines(1), "List index out of bounds (1)\rLine 2" + in + " is missing"},
        {lines(63), "List index out of bounds (63)\rLine 64" + in + " is missing"},
        {withLine(35, "world"), "'world' is not a valid integer value\rLine 36" + in},
        {withLine(58, "2.5"), "'2.5' is not a valid integer value\rLine 59" + in},
        {withLine(5, "7"), "List index out of bounds (7)\rLine 6" + in},
        {withLine(60, ""), "'' is not a valid integer value\rLine 61" + in},
    };
    for (const auto& c : cases) {
        ui.shown.clear();
        write("C:\\Halyard\\bad.prj", c.file);
        EXPECT_FALSE(open("C:\\Halyard\\bad.prj"));
        EXPECT_EQ(ui.errors.back(), c.message);
        EXPECT_EQ(ui.shown, std::vector<std::string>{c.message});
        EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\good.prj");
        EXPECT_EQ(e->ProList, before);
        EXPECT_EQ(e->ProjectListBox.items(), sources);
        EXPECT_EQ(strings, (std::vector<std::string>{e->CompilerCmdLine, e->LinkerCmdLine, e->CmdFilePath,
                                                     e->ObjectFile}));
        e->project.BuildProjectLines();
        EXPECT_EQ(e->ProList, before) << c.message; // every control kept its state
    }
}

TEST_F(ProjectTest, UnreadableProjectReportsCannotOpenFile) {
    EXPECT_FALSE(open("C:\\Halyard\\missing.prj"));
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Cannot open file C:\\Halyard\\missing.prj"});
    EXPECT_EQ(e->ProjectPath, NoProjectLoaded);
    EXPECT_TRUE(e->ProjEditPan.visible());
}

TEST_F(ProjectTest, EmptyProjectFileIsResetAndRewrittenAsDefaultPrj) {
    e->opts.QM.setChecked(true);
    e->opts.SF.setChecked(true); // kept by the defaults
    e->ProjectListBox.setItems({"C:\\work\\main.c"});
    drives.put("C:\\work\\empty.prj", "");
    ASSERT_TRUE(open("C:\\work\\empty.prj"));
    EXPECT_EQ(ui.shown.front(), "Project file invalid setting defaults");
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\default.prj");
    EXPECT_TRUE(e->ProjectLoaded());
    const auto written = drives.dd.readLines("C:\\Halyard\\default.prj");
    ASSERT_EQ(written.size(), 67u);
    const auto rows = projectLines(*e);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].reset) {
            EXPECT_EQ(written[i], rows[i].reset) << "line " << i;
        }
    EXPECT_EQ(written[50], "1");
    EXPECT_EQ(written[66], "C:\\work\\main.c");
}

TEST_F(ProjectTest, ProjectWithoutSourcesSaysSoAndAMissingSourceFolderDoesNotStopTheSetUp) {
    e->project.BuildProjectLines();
    auto file = e->ProList;
    file[63] = "-z  -a -c ";
    write("C:\\Halyard\\none.prj", file);
    e->LinkSwitch = "";
    ASSERT_TRUE(open("C:\\Halyard\\none.prj"));
    ASSERT_FALSE(ui.shown.empty());
    EXPECT_EQ(ui.shown.front(), "No source files in project");
    EXPECT_EQ(e->LinkSwitch, "-z ");

    drives.dd.createDir("C:\\work");
    e->projEdit.setDirectory("C:\\work");
    file.push_back("C:\\gone\\main.c");
    write("C:\\Halyard\\gone.prj", file);
    e->LinkSwitch = "";
    e->dd.setCurrentDirectory("C:\\");
    ui.shown.clear();
    ASSERT_TRUE(open("C:\\Halyard\\gone.prj"));
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(e->projEdit.DirBox.directory(), "C:\\work");
    EXPECT_EQ(e->LinkSwitch, "-z ");
    EXPECT_EQ(e->dd.currentDirectory(), "C:\\texassource");
    EXPECT_EQ(e->Intbatch.size(), 1u);
}

TEST_F(ProjectTest, SavingNeedsALoadedProjectAndNeverLeavesAHalfWrittenFile) {
    e->project.SaveProjectClick();
    EXPECT_EQ(ui.shown.back(), "No Project loaded");

    e->project.BuildProjectLines();
    write("C:\\Halyard\\keep.prj", e->ProList);
    ASSERT_TRUE(open("C:\\Halyard\\keep.prj"));
    const std::string before = bytes("C:\\Halyard\\keep.prj");
    e->ProjectPath = "C:\\nowhere\\keep.prj";
    e->project.SaveProjectClick();
    EXPECT_EQ(ui.shown.back(), "Project save error, No files in project?");
    EXPECT_EQ(bytes("C:\\Halyard\\keep.prj"), before);
}

TEST_F(ProjectTest, SaveAsWritesTheChosenFileButLaterSavesGoToTheOldPath) {
    e->project.BuildProjectLines();
    write("C:\\Halyard\\a.prj", e->ProList);
    ASSERT_TRUE(open("C:\\Halyard\\a.prj"));
    ui.files = {std::string("C:\\Halyard\\b.prj")};
    e->menu.SaveProjectAs1.click();
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].fileName, "C:\\Halyard\\a.prj");
    EXPECT_EQ(ui.fileDialogs[0].initialDir, "C:\\texassource");
    EXPECT_EQ(ui.fileDialogs[0].filter, "*.prj");
    EXPECT_EQ(bytes("C:\\Halyard\\b.prj"), bytes("C:\\Halyard\\a.prj"));
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\a.prj");
}

TEST_F(ProjectTest, OpenProjectAsksWithTheLoadProjectDialogInTheInstallFolder) {
    e->menu.OpenProject.click();
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].title, "Load Project");
    EXPECT_EQ(ui.fileDialogs[0].filter, "Project|*.prj");
    EXPECT_EQ(ui.fileDialogs[0].initialDir, "C:\\Halyard");
    EXPECT_EQ(e->ProjectPath, NoProjectLoaded);
}

TEST_F(ProjectTest, NewProjectNamesAFileInTheInstallFolderAndStoresItAtOnce) {
    ui.dialogs = {[](ModalDialog& d) {
        auto& dialog = dynamic_cast<TNewProjPan&>(d);
        EXPECT_EQ(dialog.projname.text(), NoProjectLoaded);
        dialog.projname.setText("demo.prj");
        return Answer::Ok;
    }};
    e->toolBar.NewProjectBtn.click();
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\demo.prj");
    EXPECT_EQ(e->StatusBar.panel(0).text, "C:\\Halyard\\demo.prj");
    EXPECT_EQ(e->projEdit.Label50.caption(), "demo");
    EXPECT_EQ(settings.values["Project"].text, "C:\\Halyard\\demo.prj");
    EXPECT_TRUE(e->ProjEditPan.visible());
    EXPECT_FALSE(drives.dd.fileExists("C:\\Halyard\\demo.prj"));

    e->menu.NewProject.click(); // cancelled
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\demo.prj");

    // Nothing has built the project's lines yet: saving writes the window's project, not an empty
    // file that the next open would reset to the defaults.
    ASSERT_TRUE(e->ProList.empty());
    e->opts.QM.setChecked(true);
    e->ProjectListBox.setItems({"C:\\work\\main.c"});
    e->menu.SaveProject.click();
    const auto saved = drives.dd.readLines("C:\\Halyard\\demo.prj");
    ASSERT_EQ(saved.size(), 67u);
    EXPECT_EQ(saved[7], "1");
    EXPECT_EQ(saved[66], "C:\\work\\main.c");
    e->ProList.clear();
    ui.files = {std::string("C:\\Halyard\\copy.prj")};
    e->menu.SaveProjectAs1.click();
    EXPECT_EQ(drives.dd.readLines("C:\\Halyard\\copy.prj"), saved);
}

TEST_F(ProjectTest, NewProjectTakesAFullPathAsItIsAndGivesABareNameItsFolderAndExtension) {
    const struct {
        const char *typed, *path, *label;
    } cases[] = {
        {"C:\\Halyard\\demo\\blink.prj", "C:\\Halyard\\demo\\blink.prj", "blink"}, // the box's own proposal
        {"d:/work/blink.prj", "d:/work/blink.prj", "blink"},
        {"\\\\server\\share\\blink", "\\\\server\\share\\blink.prj", "blink"},
        {"blink", "C:\\Halyard\\blink.prj", "blink"},
        {"sub\\blink.prj", "C:\\Halyard\\sub\\blink.prj", "blink"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ui.dialogs = {[&](ModalDialog& d) {
            dynamic_cast<TNewProjPan&>(d).projname.setText(c.typed);
            return Answer::Ok;
        }};
        e->menu.NewProject.click();
        EXPECT_EQ(e->ProjectPath, c.path);
        EXPECT_EQ(settings.values["Project"].text, c.path);
        EXPECT_EQ(e->projEdit.Label50.caption(), c.label);
    }
}

TEST_F(ProjectTest, StartUpReloadsTheLastProjectWhenAsked) {
    nonDefaultProject(*e);
    e->project.BuildProjectLines();
    write("C:\\Halyard\\last.prj", e->ProList);
    drives.put("C:\\work\\io.h", "");
    settings.put("Project", "C:\\Halyard\\last.prj");
    settings.put("Last", "1");
    e = std::make_unique<TEmbedded>(ports());
    e->FormCreate();
    e->starttimer.tick();
    EXPECT_TRUE(e->ProjectLoaded());
    EXPECT_EQ(e->ProjectPath, "C:\\Halyard\\last.prj");
    EXPECT_EQ(e->projEdit.Label50.caption(), "last");
    EXPECT_EQ(e->ProjectListBox.count(), 3);
    EXPECT_TRUE(e->opts.SSCP.checked());
    EXPECT_EQ(e->opts.FilelevelOpto.itemIndex(), 1);
    EXPECT_EQ(e->projEdit.DirBox.directory(), "C:\\work");
}
