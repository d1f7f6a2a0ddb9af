// What the main window remembers: written and read back whole, whatever the names hold; a file
// that cannot be read says where and leaves the window as it first opens.
#include <gtest/gtest.h>

#include <fstream>

#include "host/ui/WindowState.h"
#include "tests/support/TestSupport.h"

namespace {

using ui::WindowState;

TEST(WindowState, WhatTheWindowRemembersRoundTrips) {
  testing_support::TempDir dir;
  WindowState state;
  WindowState read;
  std::string error;
  ASSERT_TRUE(WindowState::Load(dir.path(), read, error)) << "no file yet: " << error;
  EXPECT_EQ(read, WindowState{});
  state.geometry = {-20, 30, 1100, 860};
  state.chartSplit = {420, 660};
  state.tab = "Messages";
  state.charted = {"Vehicle speed", "Ambient air temperature, \"outside\" (CAN 2)", "Drehzahl ü"};
  state.messages = {{0, 0x7E8, "VehicleSpeed"}, {3, 0x98FEF100, "Line\nbreak"}};
  ASSERT_TRUE(state.Save(dir.path(), error)) << error;
  ASSERT_TRUE(WindowState::Load(dir.path(), read, error)) << error;
  EXPECT_EQ(read, state);
}

TEST(WindowState, AFileThatCannotBeReadSaysWhereAndRemembersNothing) {
  testing_support::TempDir dir;
  std::ofstream(dir / WindowState::kFileName) << "list \"Charted signals\"\nline \"Speed\n";
  WindowState read;
  read.tab = "Signals";
  std::string error;
  EXPECT_FALSE(WindowState::Load(dir.path(), read, error));
  EXPECT_NE(error.find(std::string(WindowState::kFileName) + ":2:"), std::string::npos) << error;
  EXPECT_EQ(read, WindowState{});
  // Numbers that are no numbers are left out, the rest is kept.
  std::ofstream(dir / WindowState::kFileName, std::ios::trunc)
      << "entry \"Geometry\" = \"1\", \"x\", \"3\", \"4\"\n"
         "list \"Charted messages\"\nline \"0\", \"7G8\", \"A\"\nline \"1\", \"7E8\", \"B\"\n";
  ASSERT_TRUE(WindowState::Load(dir.path(), read, error)) << error;
  EXPECT_TRUE(read.geometry.empty());
  ASSERT_EQ(read.messages.size(), 1U);
  EXPECT_EQ(read.messages[0], (WindowState::Message{1, 0x7E8, "B"}));
}

}  // namespace
