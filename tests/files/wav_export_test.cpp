// WAV export: placeholder replaced below.
#include <gtest/gtest.h>
