// The track as a KML document that Google Earth opens: a path through every
// accepted position in order, a Start placemark at the first and an End
// placemark at the last.
//
// The file is a whole document at every moment of a run, so that a viewer
// may open it (and refresh it) while the run goes on, and any end leaves it
// whole: from its creation it holds the empty document; each accepted
// position, or each batch of them that a fast pass queues, then goes in
// with one write at the place where the closing part began, the coordinate
// lines followed by the new closing part with the End placemark at the last
// position. When the run ends, nothing is left to write.
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
  std::string text;               // the next write: the points queued
  std::size_t last_point_at = 0;  // where in it the last one's coordinates begin
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
// Queues an accepted position, not yet in the file: the Start placemark
// first if this is the first one.
void queue_point(KmlTrack& track, const PreparedPoint& point);
// Adds the positions queued, in one write; the End placemark moves to the
// last of them. Nothing when none is queued.
void write_queued_points(KmlTrack& track);
// Adds an accepted position at once.
inline void add_prepared_point(KmlTrack& track, const PreparedPoint& point) {
  queue_point(track, point);
  write_queued_points(track);
}
inline void add_track_point(KmlTrack& track, const Position& position) {
  add_prepared_point(track, prepare_point(position));
}
// Closes the file, which is already whole.
void finish_track(KmlTrack& track);

#endif  // OUTPUTS_KML_TRACK_H
