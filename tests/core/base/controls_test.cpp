// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "base/controls.h"

using namespace halyard;

TEST(Controls, CheckBoxRunsItsClickHandlerOnEveryChangeButNotOnAnUnchangedSet) {
    CheckBox box;
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.setChecked(true); // from code
    box.setChecked(true); // no change
    box.click();          // from the user
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(box.checked());
}

TEST(Controls, ComboIndexFromCodeRunsNoHandlerButAUserSelectionDoes) {
    ComboBox combo;
    combo.setItems({"ROM", "RAM", "NONE"});
    int changes = 0;
    combo.onChange = [&] { ++changes; };
    combo.setItemIndex(1);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(combo.text(), "RAM");
    combo.userSelect(2);
    EXPECT_EQ(changes, 1);
    EXPECT_THROW(combo.setItemIndex(3), std::exception);
}

TEST(Controls, RadioGroupRunsItsHandlerWhenTheIndexChanges) {
    RadioGroup group;
    group.items = {"Small", "Large"};
    int clicks = 0;
    group.onClick = [&] { ++clicks; };
    group.setItemIndex(0);
    group.setItemIndex(0);
    group.setItemIndex(1);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(group.selectedText(), "Large");
}

TEST(Controls, MaskEditKeepsItsLiteralCharacters) {
    EXPECT_EQ(MaskEdit::applyMask("0000h", "0200"), "0200h");
    EXPECT_EQ(MaskEdit::applyMask("0000h", "0200h"), "0200h");
    EXPECT_EQ(MaskEdit::applyMask("0000h ", "0000"), "0000h ");
    EXPECT_EQ(MaskEdit::applyMask("0000h", "02"), "02  h");
    EXPECT_EQ(MaskEdit::applyMask("", "free text"), "free text");
    MaskEdit edit("0000h");
    edit.setText("0020");
    EXPECT_EQ(edit.text(), "0020h");
}

TEST(Controls, UpDownPositionDrivesItsEditAndItsChangeHandler) {
    Edit edit;
    UpDown updown(0, 3);
    updown.associate(&edit);
    std::vector<std::string> seen;
    edit.onChange = [&] { seen.push_back(edit.text()); };
    updown.setPosition(2);
    updown.setPosition(9); // clamped to the maximum
    EXPECT_EQ(updown.position(), 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"2", "3"}));
}

TEST(Controls, ObserversHearEveryVisibleChange) {
    CheckBox box;
    int notes = 0;
    box.observe([&] { ++notes; });
    box.setEnabled(false);
    box.setVisible(false);
    box.setChecked(true);
    box.setEnabled(false);
    EXPECT_EQ(notes, 3);
}
