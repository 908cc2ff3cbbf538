// End-to-end tests of the real program (written next).
#include <gtest/gtest.h>
