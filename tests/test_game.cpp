// The game's rules in process (written next).
#include <gtest/gtest.h>
