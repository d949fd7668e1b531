// One line per call appended to the file MAV_TEST_LOG names (nothing when it
// is unset): how the test programs tell the tests what the library did.
#pragma once

void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
