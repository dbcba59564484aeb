// log_lister: lists the position reports of a decode log.
#ifndef LOG_LISTER_LOG_LISTER_H
#define LOG_LISTER_LOG_LISTER_H

// The whole run; returns the exit status. Needs console_init first.
int run_log_lister();

#endif  // LOG_LISTER_LOG_LISTER_H
