// The process-wide error number: failing operations set it and return an
// empty or zero result; the caller goes on and may look at it.
#ifndef CORE_ERROR_STATE_H
#define CORE_ERROR_STATE_H

// Nonzero while an error is outstanding.
int last_error();
void clear_error();
// Records a failure (a platform error number; 0 is taken as a generic one).
void set_error(int code);

#endif  // CORE_ERROR_STATE_H
