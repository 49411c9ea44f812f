#include "app/free_form_writer.hpp"

#include <gtest/gtest.h>

TEST(Placeholder, Builds) { EXPECT_EQ(velmora::format_free_real(1.0f), "1."); }
