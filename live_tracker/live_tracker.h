// live_tracker: follows position reports as WSJT-X decodes them, from the
// Decode datagrams it sends to UDP port 16004, into a KML track and a CSV
// table, until Esc.
#ifndef LIVE_TRACKER_LIVE_TRACKER_H
#define LIVE_TRACKER_LIVE_TRACKER_H

#include <string>
#include <string_view>

#include "decode_record.h"
#include "destination.h"
#include "kml_track.h"
#include "output_file.h"

// The whole run; returns the exit status. Needs console_init first.
int run_live_tracker();

// The CSV file beside a KML file: the KML name up to the first "." of its
// file name, then ".CSV"; its folder stays as it is.
std::string csv_name_for(const std::string& kml_name,
                         std::string_view separators = kFolderSeparators);

// One CSV line: time text, latitude, longitude.
std::string csv_line(const DecodeRecord& record);

struct LiveOutputs {
  KmlTrack track;
  OutputFile csv;
};

// A decoded message: a position message is passed to record_position; a
// plain one, or one that record_position rejects, is shown in cyan.
void handle_decode(DecodeRecord& record, LiveOutputs& outputs);
// A position message: decoded, reported, added to the track and the CSV
// file; false, with nothing done, when its position is rejected.
bool record_position(DecodeRecord& record, LiveOutputs& outputs);

#endif  // LIVE_TRACKER_LIVE_TRACKER_H
