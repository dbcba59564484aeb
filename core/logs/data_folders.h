// The data folders where WSJT-X and JTDX write their decode logs, for a
// program started in a folder that holds none.
#ifndef LOGS_DATA_FOLDERS_H
#define LOGS_DATA_FOLDERS_H

#include <string>

// WSJT-X's data folder in `base`: base/WSJT-X; when there is none, the one
// folder of a rig's name (base/"WSJT-X - <rig>", as WSJT-X started with
// --rig-name keeps) when there is exactly one; "" otherwise.
std::string wsjtx_folder_in(const std::string& base);

// The data folders of WSJT-X and of JTDX in the user's data folder
// (user_folders.h), each "" when there is none.
struct DataFolders {
  std::string wsjtx;
  std::string jtdx;
};
DataFolders log_data_folders();

#endif  // LOGS_DATA_FOLDERS_H
