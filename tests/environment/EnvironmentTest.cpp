// What the other tests take for granted on the machine: a program missing
// here is one step of scripts/install-deps left out or not run.
#include "support/Programs.h"

#include <gtest/gtest.h>

TEST(Environment, EveryExternalProgramIsInstalled) {
  ASSERT_FALSE(ExternalPrograms().empty()) << "the list of programs was not read";
  EXPECT_EQ(MissingPrograms(), std::vector<std::string>{}) << "run scripts/install-deps test";
}
