// The track as a KML document that Google Earth opens: a path through every
// accepted position in order, a Start placemark at the first and an End
// placemark at the last. Written as a stream while the run goes on: the head
// at the first position, a coordinate line per position, the closing part
// when the run ends.
#ifndef OUTPUTS_KML_TRACK_H
#define OUTPUTS_KML_TRACK_H

#include <string>

#include "decode_record.h"
#include "output_file.h"

// "      +###.#####,+##.#####" with longitude, then latitude.
std::string kml_coordinate_line(double latitude, double longitude);

// The 27 head lines with the Start placemark at the position; ends inside
// the path's coordinate list.
void write_kml_head(OutputFile& out, double latitude, double longitude);
// One coordinate line of the path.
void write_kml_point(OutputFile& out, double latitude, double longitude);
// The 14 closing lines with the End placemark at the position.
void write_kml_tail(OutputFile& out, double latitude, double longitude);
// A whole document without any placemark, for a run that accepted no position.
void write_kml_empty(OutputFile& out);

// A track in the making, as both trackers keep it. Ended from outside
// (closing_texts.h), the program still writes its closing part, or the
// empty document when no position came.
struct KmlTrack {
  OutputFile out;
  bool track_started = false;
  Position last_position;
};

// A position with its coordinate line, as add_prepared_point writes it;
// prepared wherever it suits (another thread too: nothing is shared).
struct PreparedPoint {
  Position position;
  std::string coordinates;
};
PreparedPoint prepare_point(const Position& position);

// Creates the file (check track.out.file for success).
void open_track(KmlTrack& track, const std::string& name);
// Adds an accepted position: the head first if this is the first one.
void add_prepared_point(KmlTrack& track, const PreparedPoint& point);
inline void add_track_point(KmlTrack& track, const Position& position) {
  add_prepared_point(track, prepare_point(position));
}
// Writes the closing part (or the empty document) and closes the file.
void finish_track(KmlTrack& track);

#endif  // OUTPUTS_KML_TRACK_H
