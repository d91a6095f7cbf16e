#include "winui/component.h"

#include <algorithm>

#include "base/exception.h"

namespace {
// Component names are identifiers, so plain ASCII folding is enough.
bool SameTextNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto low = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
           return low(x) == low(y);
         });
}
// Components made with an owner whose insertion has not been announced yet.
std::vector<std::pair<TComponent*, TComponent*>> g_unannounced;  // owner, component

void ForgetUnannounced(TComponent* c) {
  g_unannounced.erase(std::remove_if(g_unannounced.begin(), g_unannounced.end(),
                                     [c](const auto& e) { return e.first == c || e.second == c; }),
                      g_unannounced.end());
}
}  // namespace

void (*InsertionNoticesDue)() = nullptr;

void DeliverInsertionNotices() {
  while (!g_unannounced.empty()) {
    const auto [owner, component] = g_unannounced.front();
    g_unannounced.erase(g_unannounced.begin());
    if (component->Owner() == owner) owner->Notification(component, opInsert);
  }
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) {
    if (AOwner->ComponentState() & csLoading) state_ |= csLoading;
    // Inserted now, announced after construction: here the object is no more than a TComponent.
    AOwner->components_.push_back(this);
    owner_ = AOwner;
    if (g_unannounced.empty() && InsertionNoticesDue) InsertionNoticesDue();
    g_unannounced.emplace_back(AOwner, this);
  }
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  ForgetUnannounced(this);
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    RemoveFreeNotification(other);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end())
    freeNotifies_.push_back(AComponent);
  if (std::find(AComponent->freeNotifies_.begin(), AComponent->freeNotifies_.end(), this) ==
      AComponent->freeNotifies_.end())
    AComponent->freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  auto drop = [](std::vector<TComponent*>& v, TComponent* c) { v.erase(std::remove(v.begin(), v.end(), c), v.end()); };
  drop(freeNotifies_, AComponent);
  drop(AComponent->freeNotifies_, this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw Exception("List index out of bounds (" + std::to_string(index) + ")");
  return components_[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!owner_) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameTextNoCase(c->name_, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  Notification(component, opRemove);
  // The notification may have changed the list; look again.
  it = std::find(components_.begin(), components_.end(), component);
  if (it != components_.end()) components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* last = components_.back();
    RemoveComponent(last);
    delete last;
  }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  // Index loop: a component may drop out of the list while it is told.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i >= components_.size()) continue;
    TComponent* c = components_[i];
    if (c != AComponent || Operation == opInsert) c->Notification(AComponent, Operation);
  }
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  for (size_t i = 0; i < components_.size(); ++i) components_[i]->EndLoading();
  if (state_ & csLoading) {
    state_ &= ~csLoading;
    Loaded();
  }
}
