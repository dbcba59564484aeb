#include "report/national_grid.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

// Airy 1830 ellipsoid and the National Grid projection (Ordnance Survey,
// "A guide to coordinate systems in Great Britain", annex C). The semi-minor
// axis is 6356256.91, not 6356256.909, and pi has twelve decimals: the
// references our users compare against were computed with these.
constexpr double kSemiMajor = 6377563.396;   // a, metres
constexpr double kSemiMinor = 6356256.91;    // b, metres
constexpr double kScale = 0.9996012717;      // F0, on the central meridian
constexpr double kOriginLatitude = 49;       // phi0, degrees north
constexpr double kOriginLongitude = -2;      // lambda0, degrees east
constexpr double kOriginEasting = 400000;    // E0, metres
constexpr double kOriginNorthing = -100000;  // N0, metres
constexpr double kPi = 3.141592653589;
constexpr double kDegreesPerRadian = 180 / kPi;

// The window in which a reference is attempted at all. The eastern bound is
// 1.8 as a single-precision number, so 1.8 itself lies outside.
constexpr double kSouthLimit = 49, kNorthLimit = 61;
constexpr double kWestLimit = -8;
constexpr double kEastLimit = 1.7999999523162842;

// The grid: false eastings and northings of the letter squares.
constexpr double kGridWidth = 700000, kGridHeight = 1400000;
constexpr double kSquare = 100000;

// The letters of a reference, as the Ordnance Survey gives them: a 500 km
// square and a 100 km square in it, each lettered as a block of 5 by 5 is,
// A to Z without I, row by row from the north-west corner. The false origin
// is the south-west corner of 500 km square S, two squares east and one
// north of the south-west corner of their block.
constexpr char kSquareLetters[] = "ABCDEFGHJKLMNOPQRSTUVWXYZ";
constexpr long kBlockSide = 5;  // squares a side
constexpr long kOriginSquareEast = 2, kOriginSquareNorth = 1;

constexpr double kAF0 = kSemiMajor * kScale;
constexpr double kBF0 = kSemiMinor * kScale;
constexpr double kN = (kAF0 - kBF0) / (kAF0 + kBF0);
constexpr double kE2 = (kAF0 * kAF0 - kBF0 * kBF0) / (kAF0 * kAF0);

// The letter of the square `east` squares east and `north` north of the
// south-west corner of a block.
char square_letter(long east, long north) {
  return kSquareLetters[(kBlockSide - 1 - north) * kBlockSide + east];
}

// The decimal text of `value` with zeros put before it up to `digits`
// characters, written at `out`; returns the end.
char* put_padded_digits(char* out, long value, int digits) {
  char text[24];
  const char* const end = std::to_chars(text, text + sizeof text, value).ptr;
  const long length = end - text;
  if (length < digits) out = std::fill_n(out, digits - length, '0');
  return std::copy(static_cast<const char*>(text), end, out);
}

}  // namespace

GridPoint project_to_grid(double latitude, double longitude) {
  const double diff = (latitude - kOriginLatitude) / kDegreesPerRadian;
  const double sum = (latitude + kOriginLatitude) / kDegreesPerRadian;
  const double phi = latitude / kDegreesPerRadian;
  const double n = kN, n2 = n * n, n3 = n2 * n;

  const double ma = (1 + n + 5.0 / 4 * n2 + 5.0 / 4 * n3) * diff;
  const double mb = (3 * n + 3 * n2 + 21.0 / 8 * n3) * std::sin(diff) * std::cos(sum);
  const double mc = (15.0 / 8 * n2 + 15.0 / 8 * n3) * std::sin(2 * diff) * std::cos(2 * sum);
  const double md = 35.0 / 24 * n3 * std::sin(3 * diff) * std::cos(3 * sum);
  const double m = (ma - mb + mc - md) * kBF0;

  const double sin_phi = std::sin(phi), cos_phi = std::cos(phi), tan_phi = std::tan(phi);
  const double tan2 = tan_phi * tan_phi, tan4 = tan2 * tan2;
  const double cos3 = cos_phi * cos_phi * cos_phi, cos5 = cos3 * cos_phi * cos_phi;
  const double nu = kAF0 / std::sqrt(1 - kE2 * sin_phi * sin_phi);
  const double rho = nu * (1 - kE2) / (1 - kE2 * sin_phi * sin_phi);
  const double eta2 = nu / rho - 1;
  const double dl = (longitude - kOriginLongitude) / kDegreesPerRadian;

  const double i = m + kOriginNorthing;
  const double ii = nu / 2 * sin_phi * cos_phi;
  const double iii = nu / 24 * sin_phi * cos3 * (5 - tan2 + 9 * eta2);
  const double iiia = nu / 720 * sin_phi * cos5 * (61 - 58 * tan2 + tan4);
  const double iv = nu * cos_phi;
  const double v = nu / 6 * cos3 * (nu / rho - tan2);
  const double vi = nu / 120 * cos5 * (5 - 18 * tan2 + tan4 + 14 * eta2 - 58 * tan2 * eta2);

  const double dl2 = dl * dl;
  return {kOriginEasting + iv * dl + v * dl2 * dl + vi * dl2 * dl2 * dl,
          i + ii * dl2 + iii * dl2 * dl2 + iiia * dl2 * dl2 * dl2};
}

std::string to_national_grid(double latitude, double longitude, int digits) {
  // Written so that a NaN fails every test and falls outside the window.
  if (!(latitude >= kSouthLimit && latitude <= kNorthLimit && longitude >= kWestLimit &&
        longitude <= kEastLimit))
    return "";
  const GridPoint p = project_to_grid(latitude, longitude);
  const double e = p.easting, n = p.northing;
  if (!(e > 0 && e <= kGridWidth && n > 0 && n <= kGridHeight)) return "Not valid";

  // The square comes from the rounded coordinate, the digits from the exact one.
  const long sq_e = static_cast<long>(std::nearbyint(e) / kSquare);
  const long sq_n = static_cast<long>(std::nearbyint(n) / kSquare);
  const char first =
      square_letter(sq_e / kBlockSide + kOriginSquareEast, sq_n / kBlockSide + kOriginSquareNorth);
  const char second = square_letter(sq_e % kBlockSide, sq_n % kBlockSide);

  const double resolution = digits == 3 ? 100 : 10;
  const long east = std::lround(std::nearbyint((e - kSquare * sq_e) / resolution));
  const long north = std::lround(std::nearbyint((n - kSquare * sq_n) / resolution));
  char reference[64] = {first, second};
  char* end = put_padded_digits(reference + 2, east, digits);
  end = put_padded_digits(end, north, digits);
  return std::string(reference, end);
}
