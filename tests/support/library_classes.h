// The library's window classes for tests that make its windows in-process
// without running the entry point. Needs the library's internals
// (mavlib_for_tests).
#pragma once

#include <gtest/gtest.h>

#include "shell/library_classes.h"

namespace testsupport {

// Registers the image, text, input box and button box classes unless they
// are registered already; safe to call before every test.
inline void register_library_window_classes() { ASSERT_TRUE(mav::register_library_classes()); }

}  // namespace testsupport
