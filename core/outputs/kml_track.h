// The track as a KML document that Google Earth opens: a path through every
// accepted position in order, a Start placemark at the first and an End
// placemark at the last.
//
// The file is a whole document at every moment of a run, so that a viewer
// may open it (and refresh it) while the run goes on, and any end leaves it
// whole: from its creation it holds the empty document; each accepted
// position then goes in with one write at the place where the closing part
// began, its coordinate line followed by the new closing part with the End
// placemark at that position. When the run ends, nothing is left to write.
#ifndef OUTPUTS_KML_TRACK_H
#define OUTPUTS_KML_TRACK_H

#include <cstdint>
#include <string>

#include "outputs/output_file.h"
#include "report/decode_record.h"

// "      +###.#####,+##.#####" with longitude, then latitude.
std::string kml_coordinate_line(double latitude, double longitude);

// A track in the making, as both trackers keep it.
struct KmlTrack {
  OutputFile out;
  bool track_started = false;
  std::uint64_t tail_offset = 0;  // where the closing part in the file begins
  std::string tail;               // that closing part
  std::string next_tail;          // room for the next one
  std::string text;               // room for the next write
};

// A position with its coordinate line, as add_prepared_point writes it;
// prepared wherever it suits (another thread too: nothing is shared).
struct PreparedPoint {
  std::string coordinates;
};
PreparedPoint prepare_point(const Position& position);

// Opens the file for a track (see open_output: an existing file is taken
// only when it is a track these programs wrote), without changing it yet.
void open_track(KmlTrack& track, const std::string& name);
// Puts the empty document in place of what the file held.
void start_track(KmlTrack& track);
// Adds an accepted position: the Start placemark first if this is the first
// one; the End placemark moves to it.
void add_prepared_point(KmlTrack& track, const PreparedPoint& point);
inline void add_track_point(KmlTrack& track, const Position& position) {
  add_prepared_point(track, prepare_point(position));
}
// Closes the file, which is already whole.
void finish_track(KmlTrack& track);

#endif  // OUTPUTS_KML_TRACK_H
