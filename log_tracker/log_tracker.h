// log_tracker: turns a decode log into a KML track in one pass, or follows
// WSJT-X until Esc: the newest decode in DECODED.TXT once a minute when that
// file is there, otherwise every line that WSJT-X adds to ALL.TXT.
#ifndef LOG_TRACKER_LOG_TRACKER_H
#define LOG_TRACKER_LOG_TRACKER_H

// The whole run; returns the exit status. Needs console_init first.
int run_log_tracker();

#endif  // LOG_TRACKER_LOG_TRACKER_H
