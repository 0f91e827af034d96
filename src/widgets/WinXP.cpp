#include "widgets/WinXP.h"

TWinXP::TWinXP(TComponent* Owner) : TComponent(Owner) {
  if (!Owner) return;
  int count = 0;
  for (int i = 0; i < Owner->ComponentCount(); ++i)
    if (dynamic_cast<TWinXP*>(Owner->Components(i))) ++count;
  // Throwing here runs ~TComponent, which takes this one off the owner's list.
  if (count >= 2) throw EComponentError("Only one instance of TWinXP allowed on form");
}
