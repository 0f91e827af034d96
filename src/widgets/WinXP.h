// The marker a form carries to say its controls are drawn in the desktop's
// style. It draws nothing and has no properties; a form holds at most one.
// (On Windows the themed look comes from the manifest in resources/; on Linux
// the desktop's Qt style draws the controls.)
#pragma once

#include "widgets/Component.h"

class TWinXP : public TComponent {
public:
  // Throws EComponentError "Only one instance of TWinXP allowed on form" when
  // Owner holds one already; the refused instance does not stay on Owner.
  explicit TWinXP(TComponent* Owner);
};
