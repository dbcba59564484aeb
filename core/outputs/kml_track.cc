#include "kml_track.h"

#include "closing_texts.h"
#include "mask_format.h"
#include "thread_signals.h"

namespace {

constexpr const char* kCoordinateMask = "      +###.#####,+##.#####";

// Lines 1 to 11 of the head: the document and its line style.
constexpr const char* kDocumentHead[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\">",
    " <Document>",
    "      <name>Paths</name>",
    "      <description>Path</description>",
    "      <Style id=\"yellowLineGreenPoly\">",
    "        <LineStyle>",
    "          <color>ffff00ff</color>",
    "          <width>6</width>",
    "        </LineStyle>",
    "       </Style>",
};
constexpr const char* kStartPlacemark[] = {
    "  <Placemark>",
    "      <name>Start</name>",
    "      <description>Start</description>",
    "      <Point>",
    "      <coordinates>",
};
// After the Start point: its closing lines and the opening of the path.
constexpr const char* kPathHead[] = {
    "      </coordinates>",
    "      </Point>",
    "  </Placemark>",
    "  <Placemark>",
    "    <name>",
    "    </name>",
    "    <styleUrl>#yellowLineGreenPoly</styleUrl>",
    "    <LineString>",
    "    <altitudeMode>clampToGround</altitudeMode>",
    "     <coordinates>",
};
constexpr const char* kPathTail[] = {
    "        </coordinates>",
    "     </LineString>",
    "   </Placemark>",
    "  <Placemark>",
    "      <name>End</name>",
    "      <description>End</description>",
    "      <Point>",
    "      <coordinates>",
};
constexpr const char* kEndPlacemarkTail[] = {
    "      </coordinates>",
    "      </Point>",
    "  </Placemark>",
};
constexpr const char* kDocumentTail[] = {
    "   </Document>",
    "   </kml>",
};

template <std::size_t N>
void write_lines(OutputFile& out, const char* const (&lines)[N]) {
  for (const char* line : lines) write_line(out, line);
}

template <std::size_t N>
void append_lines(std::string& text, const char* const (&lines)[N]) {
  for (const char* line : lines) text.append(line).append("\r\n");
}

// The lines that write_kml_tail writes, as one text in `text`: the same
// around the End placemark's coordinates every time.
void build_tail_text(std::string& text, std::string_view end_coordinates) {
  static const std::string before = [] {
    std::string text;
    append_lines(text, kPathTail);
    return text;
  }();
  static const std::string after = [] {
    std::string text = "\r\n";
    append_lines(text, kEndPlacemarkTail);
    append_lines(text, kDocumentTail);
    return text;
  }();
  text.assign(before).append(end_coordinates).append(after);
}

// The lines that write_kml_empty writes, as one text.
std::string empty_document_text() {
  std::string text;
  append_lines(text, kDocumentHead);
  append_lines(text, kDocumentTail);
  return text;
}

}  // namespace

std::string kml_coordinate_line(double latitude, double longitude) {
  return format_mask(kCoordinateMask, {longitude, latitude});
}

void write_kml_head(OutputFile& out, double latitude, double longitude) {
  write_lines(out, kDocumentHead);
  write_lines(out, kStartPlacemark);
  write_line(out, kml_coordinate_line(latitude, longitude));
  write_lines(out, kPathHead);
}

void write_kml_point(OutputFile& out, double latitude, double longitude) {
  write_line(out, kml_coordinate_line(latitude, longitude));
}

void write_kml_tail(OutputFile& out, double latitude, double longitude) {
  write_lines(out, kPathTail);
  write_line(out, kml_coordinate_line(latitude, longitude));
  write_lines(out, kEndPlacemarkTail);
  write_lines(out, kDocumentTail);
}

void write_kml_empty(OutputFile& out) {
  write_lines(out, kDocumentHead);
  write_lines(out, kDocumentTail);
}

void open_track(KmlTrack& track, const std::string& name) {
  const EndSignalsHeld held;
  track.out = create_output(name);
  if (track.out.file) set_closing_text(track.out.file, empty_document_text());
}

PreparedPoint prepare_point(const Position& p) {
  return {p, kml_coordinate_line(p.latitude, p.longitude)};
}

void add_prepared_point(KmlTrack& track, const PreparedPoint& point) {
  const EndSignalsHeld held;
  const Position& p = point.position;
  track.last_position = p;
  if (!track.track_started) {
    write_kml_head(track.out, p.latitude, p.longitude);
    track.track_started = true;
  }
  write_line(track.out, point.coordinates);
  if (track.out.file) {
    thread_local std::string tail;  // its room kept from point to point
    build_tail_text(tail, point.coordinates);
    set_closing_text(track.out.file, tail);
  }
}

void finish_track(KmlTrack& track) {
  const EndSignalsHeld held;
  clear_closing_text(track.out.file);
  if (track.track_started)
    write_kml_tail(track.out, track.last_position.latitude, track.last_position.longitude);
  else
    write_kml_empty(track.out);
  close_output(track.out);
}
