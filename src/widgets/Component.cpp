#include "widgets/Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* Owner) : FOwner(Owner) {
  if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
  // Each one removes itself from FComponents as it goes.
  while (!FComponents.empty())
    delete FComponents.back();
  if (FOwner) std::erase(FOwner->FComponents, this);
}
