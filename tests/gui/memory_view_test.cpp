// SPDX-License-Identifier: GPL-3.0-or-later
// The memory map window on the sample project after real builds with the stand-in tool chain: its
// tree against the map file, a symbol opened at its definition, the change after main.c grew, and
// the Build panel's table leading to a range.
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "panels.h"
#include "sample_project.h"
#include "search/symbol_index.h"
#include "tool_output/memory_model.h"

using namespace halyard;

namespace {

struct MemoryMapGui : test::SampleProject {
    QWidget* view() const { return window.findChild<QWidget*>("MemoryMap"); }
    QTreeView* tree() const { return window.findChild<QTreeView*>("MemoryTree"); }
    QAbstractItemModel* rows() const { return tree()->model(); }
    QString cell(const QModelIndex& parent, int row, int column) const {
        return rows()->index(row, column, parent).data().toString();
    }
    QModelIndex child(const QModelIndex& parent, const QString& name) const {
        for (int r = 0; r < rows()->rowCount(parent); ++r)
            if (cell(parent, r, 0) == name) return rows()->index(r, 0, parent);
        return {};
    }
    QStringList names(const QModelIndex& parent) const {
        QStringList out;
        for (int r = 0; r < rows()->rowCount(parent); ++r)
            out << cell(parent, r, 0);
        return out;
    }
    QString change(const QModelIndex& index) const { return index.siblingAtColumn(4).data().toString(); }
    void openView() {
        window.findChild<QAction*>("MemoryMap1")->trigger();
        QApplication::processEvents();
    }
};

TEST_F(MemoryMapGui, TheTreeFollowsTheMapAndASymbolOpensAtItsDefinition) {
    build();
    openView();
    ASSERT_TRUE(view() && view()->isVisible());
    const MemoryModel map = ReadMemoryModel(dd.readLines("C:\\texassource\\demo.map"));
    QStringList ranges;
    for (const auto& r : map.ranges)
        ranges << QString::fromStdString(r.name);
    EXPECT_EQ(names({}), ranges);

    const QModelIndex rom = child({}, "ROM");
    ASSERT_TRUE(rom.isValid());
    EXPECT_EQ(names(rom), (QStringList{".text", ".const", ".cinit"}));
    const QModelIndex text = child(rom, ".text");
    QStringList inputs;
    for (const auto& in : map.inputs)
        if (map.sectionOf(in)->name == ".text") inputs << QString::fromStdString(in.origin());
    EXPECT_EQ(names(text), inputs);
    EXPECT_TRUE(inputs.contains("rts.lib : boot.obj"));
    const QModelIndex mainObj = child(text, "main.obj");
    const QModelIndex mainSymbol = child(mainObj, "_main");
    ASSERT_TRUE(mainSymbol.isValid()) << names(mainObj).join(",").toStdString();
    EXPECT_EQ(mainSymbol.siblingAtColumn(1).data().toString(), "2000h");
    // The share of a range is its use; the map says ROM holds 0130h of 5FECh.
    EXPECT_EQ(rom.siblingAtColumn(2).data().toString(), QString::number(0x130));
    EXPECT_EQ(rom.siblingAtColumn(3).data().toString(), "1.2 %");
    EXPECT_TRUE(change(text).isEmpty()) << "nothing to compare with after the first build";

    // Filtered by name, only the matches and the rows above them stay.
    window.findChild<QLineEdit*>("MemoryFilter")->setText("timer_i");
    EXPECT_EQ(names({}), QStringList{"ROM"});
    EXPECT_EQ(names(child(child(child({}, "ROM"), ".text"), "timer.obj")),
              (QStringList{"_timer_init", "_timer_isr"}));
    window.findChild<QLineEdit*>("MemoryFilter")->clear();
    if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
        view()->grab().save(QString(dir) + "/memory-map.png");

    if (SymbolIndex::FindCtags().empty()) GTEST_SKIP() << SymbolIndex::MissingCtagsText;
    const QModelIndex symbol = child(child(child(child({}, "ROM"), ".text"), "timer.obj"), "_timer_elapsed");
    ASSERT_TRUE(symbol.isValid());
    tree()->scrollTo(symbol);
    const QRect at = tree()->visualRect(symbol);
    // The index is made on a worker a moment after the project opened: until it knows the name, a
    // double-click says so and is made again.
    ASSERT_TRUE(until([&] {
        if (active() && active()->model() && active()->model()->caption() == "timer.c") return true;
        if (!gui::symbolIndexBusy(&window)) {
            // As a hand makes it: the press of the first click selects the row.
            QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, at.center());
            QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, at.center());
        }
        return false;
    })) << (ui.shown.empty() ? std::string() : ui.shown.back());
    EXPECT_EQ(active()->model()->lineOf(active()->model()->selStart()), 20u);
    EXPECT_EQ(active()->model()->selLength(), std::string("timer_elapsed").size());
}

TEST_F(MemoryMapGui, AGrownFunctionShowsAsAChangeAndTheBuildPanelLeadsToItsRange) {
    build();
    const std::string good = dd.readBytes(MainC);
    dd.writeBytes(MainC, good + "\nint extra_sum(int a, int b)\n{\n    return a + b + a * b;\n}\n");
    build();
    const std::string said = model.buildOutput.memoryChange();
    EXPECT_EQ(said.rfind("ROM +", 0), 0u) << said;
    EXPECT_NE(said.find(" bytes since the last build"), std::string::npos) << said;
    auto* note = window.findChild<QLabel*>("MemoryChangeNote");
    ASSERT_TRUE(note);
    EXPECT_EQ(note->text().toStdString(), said);

    // A click on ROM's row of the Build panel's table shows ROM in the map.
    auto* list = window.findChild<QListView*>("BuildOutputList");
    int romRow = -1;
    for (int r = 0; r < list->model()->rowCount(); ++r)
        if (list->model()->index(r, 0).data().toString().startsWith("ROM ")) romRow = r;
    ASSERT_GE(romRow, 0);
    list->scrollTo(list->model()->index(romRow, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(romRow, 0)).center());
    QApplication::processEvents();
    ASSERT_TRUE(view() && view()->isVisible());
    EXPECT_EQ(tree()->currentIndex().data().toString(), "ROM");

    const QModelIndex rom = child({}, "ROM"), text = child(rom, ".text");
    EXPECT_TRUE(change(rom).startsWith("+")) << change(rom).toStdString();
    EXPECT_TRUE(change(text).startsWith("+")) << change(text).toStdString();
    EXPECT_TRUE(change(child(text, "timer.obj")).isEmpty());
    const QModelIndex extra = child(child(text, "main.obj"), "_extra_sum");
    ASSERT_TRUE(extra.isValid());
    EXPECT_TRUE(change(extra).startsWith("new +")) << change(extra).toStdString();

    // Pinned, the next builds are compared with this one: a build that changes nothing says so.
    QTest::mouseClick(window.findChild<QPushButton*>("MemoryPin"), Qt::LeftButton);
    EXPECT_TRUE(dd.fileExists("C:\\texassource\\demo.memory.baseline.json"));
    dd.writeBytes(MainC, good);
    build();
    EXPECT_EQ(model.buildOutput.memoryChange().rfind("ROM -", 0), 0u) << model.buildOutput.memoryChange();
    EXPECT_NE(model.buildOutput.memoryChange().find("since the baseline"), std::string::npos);
    // The open window follows the build: the function is gone again.
    EXPECT_TRUE(change(child(child(child({}, "ROM"), ".text"), "main.obj")).startsWith("-"));
    EXPECT_FALSE(child(child(child(child({}, "ROM"), ".text"), "main.obj"), "_extra_sum").isValid());
    EXPECT_EQ(window.findChild<QPushButton*>("MemoryPin")->text(), "Unpin baseline");
    if (const char* dir = std::getenv("HALYARD_SCREENSHOTS"))
        view()->grab().save(QString(dir) + "/memory-change.png");

    // Any map file opens, with nothing to compare it with.
    dd.writeBytes("C:\\texassource\\other.map", dd.readBytes("C:\\texassource\\demo.map"));
    ui.files.push_back("C:\\texassource\\other.map");
    QTest::mouseClick(window.findChild<QPushButton*>("MemoryOpenMap"), Qt::LeftButton);
    EXPECT_TRUE(window.findChild<QLabel*>("MemoryMapFile")->text().startsWith("C:\\texassource\\other.map"));
    EXPECT_TRUE(change(child({}, "ROM")).isEmpty());
}

// A map of many symbols gets its symbol rows when an object is opened or the filter looks for a
// name: both must find every symbol all the same.
TEST_F(MemoryMapGui, AMapOfManySymbolsShowsThemWhenOpenedOrLookedFor) {
    std::string map = "MEMORY CONFIGURATION\n\n"
                      "         name      origin    length      used     attr    fill\n"
                      "PAGE 0:  ROM       00010000  00020000  00013880  RX\n\n"
                      "SECTION ALLOCATION MAP\n\n.text       0    00010000    00013880\n";
    std::string symbols =
        "\nGLOBAL SYMBOLS: SORTED ALPHABETICALLY BY Name\n\naddress   name\n--------  ----\n";
    char line[128];
    for (int o = 0; o < 2501; ++o) {
        std::snprintf(line, sizeof line, "                  %08x    00000020      m%d.obj (.text)\n",
                      0x10000 + o * 32, o);
        map += line;
        for (int k = 0; k < 8; ++k) {
            std::snprintf(line, sizeof line, "%08x  _f%d_%d\n", 0x10000 + o * 32 + k * 4, o, k);
            symbols += line;
        }
    }
    dd.writeBytes("C:\\texassource\\many.map", map + symbols);
    openView();
    ui.files.push_back("C:\\texassource\\many.map");
    QTest::mouseClick(window.findChild<QPushButton*>("MemoryOpenMap"), Qt::LeftButton);
    const QModelIndex text = child(child({}, "ROM"), ".text");
    ASSERT_EQ(rows()->rowCount(text), 2501) << "more symbols than are made at once";

    const QModelIndex object = child(text, "m1234.obj");
    tree()->expand(object);
    EXPECT_EQ(names(child(text, "m1234.obj")), (QStringList{"_f1234_0", "_f1234_1", "_f1234_2", "_f1234_3",
                                                            "_f1234_4", "_f1234_5", "_f1234_6", "_f1234_7"}));

    window.findChild<QLineEdit*>("MemoryFilter")->setText("_F2499_7");
    EXPECT_EQ(names(child(child({}, "ROM"), ".text")), QStringList{"m2499.obj"});
    EXPECT_EQ(names(child(child(child({}, "ROM"), ".text"), "m2499.obj")), QStringList{"_f2499_7"});
}

} // namespace
