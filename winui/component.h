// Objects, components and messages: the ground every window and control of the layer stands on.
// Ownership (Owner frees its Components) is kept apart from parenthood (a control's Parent window),
// because styling walks and layouts reach controls through their owner, not their window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <type_traits>
#include <string>
#include <utility>
#include <vector>

class TObject {
public:
  virtual ~TObject() = default;
  // The exact class name; every class of the layer (and every form) overrides it.
  virtual const char* ClassName() const { return "TObject"; }
};

// One message on its way through a control: identifier, parameters and the answer.
struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

// A replaceable window procedure: a code pointer and the object it runs on. Two values compare
// equal when both parts match, so a styling component can tell whether it already sits on a control.
class TWndMethod {
public:
  using Code = void (*)(void* object, TMessage& message);
  TWndMethod() = default;
  TWndMethod(Code code, void* object) : code_(code), object_(object) {}

  // TWndMethod::Of<&TMyClass::MyWndProc>(this)
  template <auto Method, class T>
  static TWndMethod Of(T* object) {
    return TWndMethod(&Trampoline<T, Method>, object);
  }
  // The code part of a method without an object, for "is it this procedure" tests.
  template <auto Method, class T>
  static Code CodeOf() {
    return &Trampoline<T, Method>;
  }

  void operator()(TMessage& message) const { code_(object_, message); }
  explicit operator bool() const { return code_ != nullptr; }
  bool operator==(const TWndMethod&) const = default;
  Code code() const { return code_; }
  void* object() const { return object_; }

private:
  template <class T, auto Method>
  static void Trampoline(void* object, TMessage& message) {
    (static_cast<T*>(object)->*Method)(message);
  }
  Code code_ = nullptr;
  void* object_ = nullptr;
};

// An event that can hold a bound member function and tell whether it holds a given one (the
// styling component asks "is my handler installed here"), or any other callable.
template <class... A>
class TMethodEvent {
public:
  using Code = void (*)(void* object, A... args);
  TMethodEvent() = default;
  TMethodEvent(std::nullptr_t) {}
  template <class F,
            class = std::enable_if_t<std::is_invocable_v<F&, A...> && !std::is_same_v<std::decay_t<F>, TMethodEvent>>>
  TMethodEvent(F f) : function_(std::move(f)) {}
  // TMethodEvent<...>::Of<&TMyClass::Handler>(this)
  template <auto Method, class T>
  static TMethodEvent Of(T* object) {
    TMethodEvent e;
    e.code_ = &Trampoline<T, Method>;
    e.object_ = object;
    return e;
  }
  void operator()(A... args) const {
    if (code_)
      code_(object_, std::forward<A>(args)...);
    else if (function_)
      function_(std::forward<A>(args)...);
  }
  explicit operator bool() const { return code_ || function_; }
  // Equal only when both hold the same member function of the same object.
  bool operator==(const TMethodEvent& other) const { return code_ && code_ == other.code_ && object_ == other.object_; }

private:
  template <class T, auto Method>
  static void Trampoline(void* object, A... args) {
    (static_cast<T*>(object)->*Method)(std::forward<A>(args)...);
  }
  Code code_ = nullptr;
  void* object_ = nullptr;
  std::function<void(A...)> function_;
};

class TComponent;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Binds a member handler to an event: Button1->OnClick = Handler(this, &TForm1::Button1Click).
template <class T, class R, class... A>
std::function<R(A...)> Handler(T* object, R (T::*method)(A...)) {
  return [object, method](A... args) { return (object->*method)(std::forward<A>(args)...); };
}

enum TOperation { opInsert, opRemove };

// Announces the components made since the last call to their owners (see Notification).
void DeliverInsertionNotices();
// Called whenever an announcement becomes due; the application uses it to wake its loop.
extern void (*InsertionNoticesDue)();

// Component state flags.
enum : unsigned { csLoading = 1u, csDestroying = 2u };

class TComponent : public TObject {
public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  const char* ClassName() const override { return "TComponent"; }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }
  unsigned ComponentState() const { return state_; }

  // Owned components in creation order.
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;                   // throws Exception when out of range
  int ComponentIndex() const;                                // place in the owner's list, -1 without owner
  TComponent* FindComponent(const std::string& name) const;  // case-insensitive, nullptr if none

  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();  // frees every owned component, last first

  // Told about every component inserted into or removed from the owner; the default passes
  // the news on to every owned component. A component made with an owner is announced once its
  // construction is over (when the message loop next runs, or at DeliverInsertionNotices), so
  // that those told see what class it is.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Asks to be told (Notification opRemove) when another component goes, whoever owns it.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Layout building: csLoading on this component and all it owns until EndLoading, which
  // then calls Loaded on each of them (owned components first).
  void BeginLoading();
  void EndLoading();
  virtual void Loaded() {}

protected:
  void SetComponentStateFlag(unsigned flag, bool on) { state_ = on ? (state_ | flag) : (state_ & ~flag); }

private:
  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};

// Component messages: sent through a control's window procedure property, never to user32.
enum : UINT {
  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0,
  CM_DEACTIVATE = CM_BASE + 1,
  CM_FOCUSCHANGED = CM_BASE + 7,  // LParam = the control that now has the focus
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_HITTEST = CM_BASE + 10,
  CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = CM_BASE + 12,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_CURSORCHANGED = CM_BASE + 15,
  CM_CTL3DCHANGED = CM_BASE + 16,
  CM_PARENTCTL3DCHANGED = CM_BASE + 17,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_SHOWINGCHANGED = CM_BASE + 29,
  CM_SYSCOLORCHANGE = CM_BASE + 36,
  CM_INVALIDATE = CM_BASE + 52,
};

// Notifications a parent hands back to the child control they are about (CN_COMMAND etc.).
enum : UINT {
  CN_BASE = 0xBC00,
  CN_COMMAND = CN_BASE + WM_COMMAND,
  CN_NOTIFY = CN_BASE + WM_NOTIFY,
  CN_DRAWITEM = CN_BASE + WM_DRAWITEM,
  CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
  CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
  CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN,
  CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
  CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
};
