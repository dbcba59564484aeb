#include "report/national_grid.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct Reference {
  double latitude, longitude;
  double easting, northing;  // metres
  const char* grid_ref;      // four digits per coordinate
};

// Eastings and northings from an independent exact transverse Mercator:
//   cs2cs -f %.4f +proj=latlong +ellps=airy +to +proj=tmerc +lat_0=49
//     +lon_0=-2 +k=0.9996012717 +x_0=400000 +y_0=-100000 +ellps=airy
// (Debian proj-bin), input "longitude latitude" per line.
const Reference kReferences[] = {
    {51.5, -1.25, 452054.2251, 178216.1495, "SU52057822"},
    {52.65757030555556, 1.7179215833333334, 651409.9029, 313177.2703, "TG51411318"},
    {53, -2, 400000.0000, 344776.3399, "SK00004478"},
    {60.5, -1, 454927.0743, 1179945.2427, "HU54937995"},
    {60.5, 0.9, 559257.6538, 1183037.0162, "JQ59268304"},
    {53, 1.5, 634823.4640, 350507.4570, "TG34825051"},
    {50.5, 1, 612724.3237, 71054.3892, "TW12727105"},
    {57.5, -5.5, 190317.5210, 850911.1719, "NG90325091"},
    {54.5, -3, 335245.7929, 512105.4157, "NY35251211"},
    {51, -4.5, 224604.3549, 125324.6728, "SS24602532"},
    {58.5, -3.2, 330069.5206, 957454.5517, "ND30075745"},
    {55.95, -3.2, 325071.3271, 673641.6856, "NT25077364"},
    {50.1, -5.6, 142588.6296, 28490.6883, "SW42592849"},
    {59.9, -1.3, 439157.8423, 1112918.4538, "HU39161292"},
    {57.3, -7.5, 68824.2136, 836637.0113, "NF68823664"},
    {51.3, 1.75, 661369.7445, 162388.6790, "TR61376239"},
};

// The series and the exact projection agree to well under a centimetre
// inside Great Britain.
constexpr double kToleranceMetres = 0.005;

void expect_matches(const Reference& r) {
  const GridPoint p = project_to_grid(r.latitude, r.longitude);
  EXPECT_NEAR(p.easting, r.easting, kToleranceMetres) << r.grid_ref;
  EXPECT_NEAR(p.northing, r.northing, kToleranceMetres) << r.grid_ref;
  EXPECT_EQ(to_national_grid(r.latitude, r.longitude, 4), r.grid_ref);
}

TEST(NationalGrid, MatchesIndependentProjection) {
  for (const Reference& r : kReferences) expect_matches(r);
}

// The second letters on both sides of the missing "I": H in its own place,
// then J where the letter grid would have I, and letters further on, in
// the S, N and T squares. Eastings and northings from cs2cs as above.
TEST(NationalGrid, SecondLettersSkipI) {
  const Reference squares[] = {
      {53.07, -4.08, 260658.2066, 354584.8193, "SH60665458"},
      {52.65, -2.5, 366177.4649, 305963.6030, "SJ66180596"},
      {57.48, -4.22, 266907.7355, 845455.3906, "NH66914546"},
      {57.15, -2.1, 393950.2630, 806552.6588, "NJ93950655"},
      {56.5, -3.2, 326137.0107, 734846.8420, "NO26143485"},
      {52.25, 0.5, 570638.7269, 264301.9834, "TL70646430"},
  };
  for (const Reference& r : squares) expect_matches(r);
}

TEST(NationalGrid, ThreeDigitReferences) {
  EXPECT_EQ(to_national_grid(51.5, -1.25, 3), "SU521782");
  EXPECT_EQ(to_national_grid(53, -2, 3), "SK000448");
}

// The latitude/longitude window gives "", the grid "Not valid".
TEST(NationalGrid, WindowAndGridLimits) {
  EXPECT_EQ(to_national_grid(48.99999, -2, 4), "");
  EXPECT_EQ(to_national_grid(61.00001, -2, 4), "");
  EXPECT_EQ(to_national_grid(55, -8.00001, 4), "");
  EXPECT_EQ(to_national_grid(55, 1.8, 4), "");
  EXPECT_EQ(to_national_grid(0, 0, 4), "");
  EXPECT_EQ(to_national_grid(49, -2, 4), "Not valid");  // inside the window, negative northing
  EXPECT_EQ(to_national_grid(49.5, -2, 4), "Not valid");
  EXPECT_EQ(to_national_grid(49.2, -7.9, 4), "Not valid");  // negative easting
  EXPECT_NE(to_national_grid(61, -1, 4), "");
  EXPECT_EQ(to_national_grid(55, -8, 4).size(), 10u);
  EXPECT_EQ(to_national_grid(52.5, 1.7999983, 4).size(), 10u);  // largest decodable below 1.8
}

// A coordinate that is no number, or infinite, lies outside the window: it
// never reaches the conversion to a square number.
TEST(NationalGrid, NotANumberIsOutsideTheWindow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(to_national_grid(nan, -2, 4), "");
  EXPECT_EQ(to_national_grid(55, nan, 4), "");
  EXPECT_EQ(to_national_grid(inf, -2, 3), "");
  EXPECT_EQ(to_national_grid(55, -inf, 3), "");
}

// Near the top of a 100 km square, the digits roll over to 10000 while the
// square letters stay; once the coordinate itself rounds up, the next square.
TEST(NationalGrid, SquareEdgeRounding) {
  // On the central meridian the easting is exactly 400000: northing decides.
  // Find latitudes whose northing lies just below 300000 m.
  auto latitude_for_northing = [](double target) {
    double lo = 50, hi = 54;
    for (int i = 0; i < 200; ++i) {
      const double mid = (lo + hi) / 2;
      (project_to_grid(mid, -2).northing < target ? lo : hi) = mid;
    }
    return lo;
  };
  // 299996 m: remainder 99996 rounds to 10000 (four digits), square stays SP.
  EXPECT_EQ(to_national_grid(latitude_for_northing(299996), -2, 4), "SP000010000");
  // 299960 m with three digits: 999.6 rounds to 1000.
  EXPECT_EQ(to_national_grid(latitude_for_northing(299960), -2, 3), "SP0001000");
  // 299999.7 m rounds to 300000: next square up, all digits zero.
  EXPECT_EQ(to_national_grid(latitude_for_northing(299999.7), -2, 4), "SK00000000");
  // 299999.3 m does not round up: SP with the carried digits.
  EXPECT_EQ(to_national_grid(latitude_for_northing(299999.3), -2, 4), "SP000010000");
}

// First letter code 73 ("I") in the western squares above 1000 km is "H".
TEST(NationalGrid, NorthWesternSquaresUseH) {
  EXPECT_EQ(to_national_grid(60.2, -2.5, 4).substr(0, 2), "HT");
  const std::string west = to_national_grid(59.5, -4, 4);  // easting below 500 km
  EXPECT_EQ(west[0], 'H');
}

}  // namespace
