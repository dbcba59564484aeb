// live_tracker: follows position reports as WSJT-X decodes them, from the
// Decode datagrams it sends to UDP port 16004, into a KML track and a CSV
// table, until Esc.
#ifndef LIVE_TRACKER_LIVE_TRACKER_H
#define LIVE_TRACKER_LIVE_TRACKER_H

#include <string>
#include <string_view>

#include "dialogue/destination.h"

// The whole run; returns the exit status. Needs console_init first.
int run_live_tracker();

// The CSV file beside a KML file: the KML name up to the first "." of its
// file name, then ".CSV"; its folder stays as it is.
std::string csv_name_for(const std::string& kml_name, std::string_view separators = kFolderSeparators);

#endif  // LIVE_TRACKER_LIVE_TRACKER_H
