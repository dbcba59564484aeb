// The process-wide error number: failing operations set it and return an
// empty or zero result; the caller goes on and may look at it.
#ifndef SYSTEM_ERROR_STATE_H
#define SYSTEM_ERROR_STATE_H

// Nonzero while an error is outstanding.
int last_error();
void clear_error();
// Records a failure (a platform error number; 0 is taken as a generic one).
void set_error(int code);

// A failed read of a file is also remembered on its own, so that a pass
// over a file can tell a read that failed from the end of the file.
void set_read_error(int code);  // sets the error number too
bool read_error_seen();
void clear_read_error();

#endif  // SYSTEM_ERROR_STATE_H
