#include "outputs/kml_track.h"

#include "report/mask_format.h"

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
    "  <Placemark>", "      <name>Start</name>", "      <description>Start</description>",
    "      <Point>", "      <coordinates>",
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
    "        </coordinates>", "     </LineString>",     "   </Placemark>",
    "  <Placemark>",          "      <name>End</name>", "      <description>End</description>",
    "      <Point>",          "      <coordinates>",
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
void append_lines(std::string& text, const char* const (&lines)[N]) {
  for (const char* line : lines) text.append(line).append("\r\n");
}

template <std::size_t N>
std::string text_of(const char* const (&lines)[N]) {
  std::string text;
  append_lines(text, lines);
  return text;
}

// The parts of the document as texts, made once.
struct DocumentTexts {
  std::string document_head = text_of(kDocumentHead);
  std::string start_placemark = text_of(kStartPlacemark);
  std::string path_head = text_of(kPathHead);
  std::string path_tail = text_of(kPathTail);
  // After the End placemark's coordinates.
  std::string end_placemark_tail = "\r\n" + text_of(kEndPlacemarkTail) + text_of(kDocumentTail);
  std::string document_tail = text_of(kDocumentTail);
  // The empty document: the head of the document and its closing lines.
  std::string empty_document = document_head + document_tail;
};

const DocumentTexts& texts() {
  static const DocumentTexts made;
  return made;
}

// The closing part with the End placemark at `end_coordinates`, in `text`
// (its room kept).
void build_closing_part(std::string& text, std::string_view end_coordinates) {
  text.assign(texts().path_tail).append(end_coordinates).append(texts().end_placemark_tail);
}

}  // namespace

std::string kml_coordinate_line(double latitude, double longitude) {
  // KML parts the points of a path by blanks and allows none inside one: a
  // latitude of one whole digit goes without the blank that pads it.
  std::string line = format_mask(kCoordinateMask, {longitude, latitude});
  const std::size_t latitude_at = line.find(',') + 1;
  line.erase(latitude_at, line.find_first_not_of(' ', latitude_at) - latitude_at);
  return line;
}

PreparedPoint prepare_point(const Position& p) { return {kml_coordinate_line(p.latitude, p.longitude)}; }

void open_track(KmlTrack& track, const std::string& name) {
  // Every document of ours begins with the same head.
  track.out = open_output(name, texts().document_head, texts().empty_document);
}

void start_track(KmlTrack& track) {
  start_output(track.out, texts().empty_document);
  if (!track.out.lost_lines) {
    track.tail_offset = texts().document_head.size();
    track.tail = texts().document_tail;
  }
}

void queue_point(KmlTrack& track, const PreparedPoint& point) {
  std::string& text = track.text;
  if (!track.track_started && text.empty()) {
    // The Start placemark and the opening of the path.
    text.append(texts().start_placemark).append(point.coordinates).append("\r\n");
    text.append(texts().path_head);
  }
  track.last_point_at = text.size();
  text.append(point.coordinates).append("\r\n");
}

void write_queued_points(KmlTrack& track) {
  std::string& text = track.text;
  if (text.empty()) return;
  const std::size_t points_end = text.size();
  build_closing_part(track.next_tail, std::string_view(text).substr(track.last_point_at,
                                                                    points_end - 2 - track.last_point_at));
  text.append(track.next_tail);
  const bool written = replace_rest(track.out, track.tail_offset, text, track.tail);
  text.clear();
  if (!written) return;
  track.track_started = true;
  track.tail_offset += points_end;
  track.tail.swap(track.next_tail);
}

void finish_track(KmlTrack& track) { close_output(track.out); }
