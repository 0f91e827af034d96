// A component with an owner: the owner lists what it owns and frees it when it
// goes, as a form does with everything placed on it. An owned component is
// made with new; its owner deletes it.
#pragma once

#include <stdexcept>
#include <vector>

class EComponentError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TComponent {
public:
  // Registered with Owner (which may be null) before a derived constructor runs,
  // so that constructor may count its owner's components, itself included.
  explicit TComponent(TComponent* Owner = nullptr);
  // Frees the owned components, last first, and leaves the owner's list.
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  int ComponentCount() const { return int(FComponents.size()); }
  TComponent* Components(int Index) const { return FComponents.at(std::size_t(Index)); }

private:
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};
