#include "widgets/WinXP.h"

#include <gtest/gtest.h>

namespace {

int CountWinXP(const TComponent& Form) {
  int n = 0;
  for (int i = 0; i < Form.ComponentCount(); ++i)
    if (dynamic_cast<TWinXP*>(Form.Components(i))) ++n;
  return n;
}

TEST(WinXP, OneOnAFormLoadsAmongOtherComponents) {
  TComponent form;
  new TComponent(&form);
  auto* marker = new TWinXP(&form);
  new TComponent(&form);
  EXPECT_EQ(marker->Owner(), &form);
  EXPECT_EQ(form.ComponentCount(), 3);
  EXPECT_EQ(CountWinXP(form), 1);
}

TEST(WinXP, ASecondOnTheSameFormIsRefusedAndDoesNotStay) {
  TComponent form;
  new TWinXP(&form);
  new TComponent(&form);
  try {
    new TWinXP(&form);
    FAIL() << "a second TWinXP was accepted";
  } catch (const EComponentError& e) {
    EXPECT_STREQ(e.what(), "Only one instance of TWinXP allowed on form");
  }
  EXPECT_EQ(form.ComponentCount(), 2);
  EXPECT_EQ(CountWinXP(form), 1);
}

TEST(WinXP, FormsCountOnlyTheirOwn) {
  TComponent a, b;
  new TWinXP(&a);
  EXPECT_NO_THROW(new TWinXP(&b));
  TWinXP loose(nullptr);
  EXPECT_EQ(loose.Owner(), nullptr);
}

TEST(WinXP, AFreedMarkerMakesRoomForANewOne) {
  TComponent form;
  delete new TWinXP(&form);
  EXPECT_EQ(form.ComponentCount(), 0);
  EXPECT_NO_THROW(new TWinXP(&form));
  EXPECT_EQ(CountWinXP(form), 1);
}

} // namespace
