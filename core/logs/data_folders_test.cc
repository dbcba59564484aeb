#include "logs/data_folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

// WSJT-X's folder among those of a user's data folder: the plain one first,
// a rig's only when it is the one of its kind; a file of that name or
// another program's folder is none.
TEST(DataFolders, WsjtxFolderIsThePlainOneOrTheOnlyRigs) {
  const fs::path base = fs::temp_directory_path() / "data_folders_test";
  fs::remove_all(base);
  fs::create_directories(base / "WSJT-X - FT-991");
  fs::create_directories(base / "JTDX");
  std::ofstream(base / "WSJT-X") << "a file";
  EXPECT_EQ(wsjtx_folder_in(base.string()), (base / "WSJT-X - FT-991").string());
  fs::create_directories(base / "WSJT-X - IC-7300");
  EXPECT_EQ(wsjtx_folder_in(base.string()), "");  // which rig is not known
  fs::remove(base / "WSJT-X");
  fs::create_directories(base / "WSJT-X");
  EXPECT_EQ(wsjtx_folder_in(base.string()), (base / "WSJT-X").string());
  fs::remove_all(base / "WSJT-X");
  fs::remove_all(base / "WSJT-X - IC-7300");
  EXPECT_EQ(wsjtx_folder_in(base.string()), (base / "WSJT-X - FT-991").string());
  fs::remove_all(base);
}

}  // namespace
