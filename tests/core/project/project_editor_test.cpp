// SPDX-License-Identifier: GPL-3.0-or-later
#include "project_fixture.h"

using namespace halyard;
using test::ProjectTest;

namespace {
struct Editor : ProjectTest {
    void SetUp() override {
        ProjectTest::SetUp();
        drives.put("C:\\work\\main.c", "");
        drives.put("C:\\work\\io.h", "");
        drives.put("C:\\work\\notes.txt", "");
        drives.dd.createDir("C:\\work\\lib");
        e->ProjectPath = "C:\\Halyard\\demo.prj";
    }
    ProjectEditor& pe() { return e->projEdit; }
    void select(const std::string& name) {
        const auto& items = pe().SourceListBox.items();
        const auto at = std::find(items.begin(), items.end(), name);
        ASSERT_NE(at, items.end()) << name;
        pe().SourceListBox.setItemIndex(static_cast<int>(at - items.begin()));
        pe().SourceListBox.onClick();
    }
};
} // namespace

TEST_F(Editor, FileListShowsSourcesHeadersAndBracketedFolders) {
    pe().setDirectory("c:\\WORK\\");
    EXPECT_EQ(pe().DirBox.directory(), "C:\\WORK");
    EXPECT_EQ(pe().SourceListBox.items(), (std::vector<std::string>{"[lib]", "io.h", "main.c"}));
    EXPECT_EQ(pe().Trans.text(), "*.c;*.h");
    EXPECT_EQ(pe().ScrDir.caption(), "C:\\WORK");
    EXPECT_EQ(pe().DriveComboBox1.text(), "C:");
}

TEST_F(Editor, AddTakesTheSelectedNameWithTheFolderAndRefusesDuplicatesWhateverTheirCase) {
    pe().setDirectory("C:\\work");
    pe().AddClick(); // nothing selected yet: the mask goes in
    select("main.c");
    pe().AddClick();
    e->ProjectListBox.add("C:\\WORK\\IO.H");
    select("io.h");
    pe().AddClick();
    EXPECT_EQ(ui.shown, std::vector<std::string>{"File Exits in Project"});
    EXPECT_EQ(e->ProjectListBox.items(),
              (std::vector<std::string>{"C:\\work\\*.c;*.h", "C:\\work\\main.c", "C:\\WORK\\IO.H"}));
}

TEST_F(Editor, AddAllRemoveAndClearWorkOnTheSourceList) {
    pe().setDirectory("C:\\work");
    pe().SpeedButton3Click();
    pe().SpeedButton3Click(); // no duplicate check
    EXPECT_EQ(e->ProjectListBox.items(),
              (std::vector<std::string>{"[lib]", "io.h", "main.c", "[lib]", "io.h", "main.c"}));
    pe().RemoveClick(); // no selection: nothing
    e->ProjectListBox.setItemIndex(1);
    pe().RemoveClick();
    pe().RemoveClick();
    EXPECT_EQ(e->ProjectListBox.count(), 5);
    e->ProjEditPan.setVisible(true);
    pe().Button4Click(); // "Cancel" keeps the changes
    EXPECT_FALSE(e->ProjEditPan.visible());
    EXPECT_EQ(e->ProjectListBox.count(), 5);
    pe().SpeedButton4Click();
    EXPECT_EQ(e->ProjectListBox.count(), 0);
}

TEST_F(Editor, EditProjectMovesToTheFirstSourcesFolderOrFallsBackToTheCompilerFolder) {
    struct Case {
        std::vector<std::string> sources;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{"C:\\work\\main.c"}, "C:\\work"},
        {{"C:\\gone\\main.c"}, "C:\\texassource"},
        {{}, "C:\\texassource"},
        {{"main.c"}, "C:\\CL370"}, // a bare name names no folder: the list stays
    };
    for (const auto& c : cases) {
        pe().setDirectory("C:\\CL370");
        e->ProjectListBox.setItems(c.sources);
        e->menu.EditProject.click();
        EXPECT_TRUE(e->ProjEditPan.visible());
        EXPECT_EQ(pe().DirBox.directory(), c.expected);
    }
}

TEST_F(Editor, EditProjectWithoutAProjectOffersToOpenOrStartOne) {
    e->ProjectPath = NoProjectLoaded;
    ui.answers = {Answer::Ok, Answer::Yes, Answer::Cancel};
    e->toolBar.EditProjectBtn.click();
    EXPECT_EQ(ui.shown.back(),
              "No Project is loaded\rClick OK Open Existing Project\rClick YES to Start a New Project");
    ASSERT_EQ(ui.fileDialogs.size(), 1u); // OK: "&Open Project"
    EXPECT_EQ(ui.fileDialogs[0].title, "Load Project");
    e->toolBar.EditProjectBtn.click();
    EXPECT_EQ(ui.dialogsRun, std::vector<std::string>{"TNewProjPan"}); // Yes: "New &Project"
    e->toolBar.EditProjectBtn.click();                                 // Cancel: nothing
    EXPECT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.dialogsRun.size(), 1u);
    EXPECT_FALSE(e->ProjEditPan.visible());
}

TEST_F(Editor, ChoosingADriveMovesTheDirectoryListToItsRoot) {
    pe().setDirectory("C:\\work");
    const auto& drivesShown = pe().DriveComboBox1.items();
    EXPECT_EQ(drivesShown, (std::vector<std::string>{"C:", "Z:"}));
    pe().DriveComboBox1.userSelect(0);
    EXPECT_EQ(pe().DirBox.directory(), "C:\\");
}

TEST_F(ProjectTest, SummaryTitlesEveryProjectLineThenTheSources) {
    auto rowsFor = [this](size_t sources) {
        std::vector<std::string> names;
        for (size_t i = 0; i < sources; ++i)
            names.push_back("C:\\w\\f" + std::to_string(i) + ".c");
        e->ProjectListBox.setItems(names);
        e->project.BuildProjectLines();
        e->summary.DisplayProjectListClick();
        return e->summary.Memo2.lines();
    };
    auto none = rowsFor(0);
    ASSERT_EQ(none.size(), 66u);
    EXPECT_TRUE(e->DisplayPanel.visible());
    EXPECT_TRUE(e->menu.DisplayProjectList.checked());
    EXPECT_EQ(none[0], "          Use project name:   0");
    EXPECT_EQ(none[8], "Include  Debuging Info:   1");
    EXPECT_EQ(none[35], "           Processor Type:    0");
    EXPECT_EQ(none[39], std::string(29, ' ') + "IFS:   0");
    EXPECT_EQ(none[52], "Fill Value.....................   0000h ");
    EXPECT_EQ(none[65], ".Object File   ");

    auto one = rowsFor(1);
    EXPECT_FALSE(e->DisplayPanel.visible()); // the command toggles the panel
    ASSERT_EQ(one.size(), 69u);
    EXPECT_EQ(one[66], "SOURCE FILES.........");
    EXPECT_EQ(one[67], ".   C:\\w\\f0.c");
    EXPECT_EQ(one[68], "C:\\w\\f0.c");

    auto many = rowsFor(25);
    ASSERT_EQ(many.size(), 66u + 1u + 25u + 25u);
    for (size_t k = 0; k < 25; ++k)
        EXPECT_EQ(many[67 + k], std::string(k < 19 ? "." : "") + "   C:\\w\\f" + std::to_string(k) + ".c")
            << k;
    EXPECT_EQ(many.back(), "C:\\w\\f24.c");
}
