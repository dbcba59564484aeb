// Ordnance Survey National Grid references from latitude and longitude,
// by the Ordnance Survey transverse Mercator series on the Airy 1830
// ellipsoid. No datum shift: the position is taken as OSGB36 as it stands.
#ifndef REPORT_NATIONAL_GRID_H
#define REPORT_NATIONAL_GRID_H

#include <string>

struct GridPoint {
  double easting;   // metres
  double northing;  // metres
};

// Easting and northing of a position (no window or grid test).
GridPoint project_to_grid(double latitude, double longitude);

// The reference with `digits` digits per coordinate (4: 10 m, 3: 100 m),
// e.g. "SU52057822"; "" outside the latitude/longitude window; "Not valid"
// when the projection falls outside the grid.
std::string to_national_grid(double latitude, double longitude, int digits);

#endif  // REPORT_NATIONAL_GRID_H
