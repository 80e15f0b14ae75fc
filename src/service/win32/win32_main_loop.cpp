#include "service/win32/win32_main_loop.h"

#include <algorithm>
#include <utility>

namespace orvik::service {
namespace {

constexpr wchar_t kWindowClass[] = L"OrvikMainLoopWindow";

// The loop window's own messages.
constexpr UINT kPostedWorkMessage = WM_APP + 1;     // the posted queue has work
constexpr UINT kQuitMessage = WM_APP + 2;           // Quit from another thread
constexpr UINT kSocketMessage = WM_APP + 3;         // WSAAsyncSelect: wparam socket, lparam event
constexpr UINT kWritableCheckMessage = WM_APP + 4;  // wparam socket: report it if writable

constexpr long kReadEvents = FD_READ | FD_ACCEPT | FD_CLOSE;

// Whether `socket` can take bytes now, without waiting.
bool CanWrite(SOCKET socket) {
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(socket, &writable);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(socket, &failed);
  timeval no_wait{0, 0};
  // A failed socket counts as writable: the write then tells the failure.
  return ::select(0, nullptr, &writable, &failed, &no_wait) > 0;
}

// Runs a copy of the work: the work may destroy what holds it.
void RunHeld(const std::shared_ptr<std::function<void()>>& work) {
  const std::shared_ptr<std::function<void()>> held = work;
  if (held && *held) (*held)();
}

}  // namespace

struct Win32MainLoop::TimerEntry {
  std::shared_ptr<std::function<void()>> work;
  UINT_PTR id = 0;  // 0: not running
  bool single_shot = false;
};

struct Win32MainLoop::WatchEntry {
  std::shared_ptr<std::function<void()>> on_readable;
  std::shared_ptr<std::function<void()>> on_writable;
  bool want_writable = false;
};

namespace {

class Win32LoopTimer : public LoopTimer {
 public:
  Win32LoopTimer(Win32MainLoop& loop, std::function<void()> work) : loop_(loop) {
    entry_.work = std::make_shared<std::function<void()>>(std::move(work));
  }
  ~Win32LoopTimer() override { Stop(); }

  void Start(std::chrono::milliseconds interval) override { Arm(interval, false); }
  void StartOnce(std::chrono::milliseconds delay) override { Arm(delay, true); }
  void Stop() override {
    if (entry_.id == 0) return;
    ::KillTimer(loop_.window(), entry_.id);
    loop_.UnregisterTimer(entry_.id);
    entry_.id = 0;
  }
  bool IsActive() const override { return entry_.id != 0; }

 private:
  void Arm(std::chrono::milliseconds interval, bool single_shot) {
    Stop();
    // A new id for every start: a WM_TIMER of the previous run still in the
    // queue then finds no timer and is ignored.
    entry_.single_shot = single_shot;
    entry_.id = loop_.RegisterTimer(&entry_);
    const auto ms = static_cast<UINT>(std::max<std::int64_t>(interval.count(), 1));
    ::SetTimer(loop_.window(), entry_.id, ms, nullptr);
  }

  Win32MainLoop& loop_;
  Win32MainLoop::TimerEntry entry_;
};

class Win32SocketWatch : public SocketWatch {
 public:
  Win32SocketWatch(Win32MainLoop& loop, SOCKET socket, std::function<void()> on_readable,
                   std::function<void()> on_writable)
      : loop_(loop), socket_(socket) {
    entry_.on_readable = std::make_shared<std::function<void()>>(std::move(on_readable));
    entry_.on_writable = std::make_shared<std::function<void()>>(std::move(on_writable));
    loop_.RegisterWatch(socket_, &entry_);
    Select();
  }
  ~Win32SocketWatch() override {
    ::WSAAsyncSelect(socket_, loop_.window(), 0, 0);
    loop_.UnregisterWatch(socket_);
  }

  void WatchWritable(bool on) override {
    if (entry_.want_writable == on) return;
    entry_.want_writable = on;
    Select();
    if (on) loop_.PostWritableCheck(socket_);
  }

 private:
  void Select() {
    ::WSAAsyncSelect(socket_, loop_.window(), kSocketMessage,
                     kReadEvents | (entry_.want_writable ? FD_WRITE : 0));
  }

  Win32MainLoop& loop_;
  const SOCKET socket_;
  Win32MainLoop::WatchEntry entry_;
};

}  // namespace

Win32MainLoop::Win32MainLoop() : main_thread_(::GetCurrentThreadId()) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &Win32MainLoop::WindowProcedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWindowClass;
  ::RegisterClassExW(&window_class);  // fails harmlessly when a loop registered it before
  window_ = ::CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                              nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32MainLoop::~Win32MainLoop() {
  std::deque<std::function<void()>> dropped;
  {
    const std::lock_guard lock(posted_mutex_);
    dropped.swap(posted_);
  }
  dropped.clear();  // outside the lock: waiters of their hand-overs are released
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  ::DestroyWindow(window_);
}

bool Win32MainLoop::InMainThread() const { return ::GetCurrentThreadId() == main_thread_; }

void Win32MainLoop::Post(std::function<void()> work) {
  const std::lock_guard lock(posted_mutex_);
  posted_.push_back(std::move(work));
  if (wake_pending_) return;
  wake_pending_ = ::PostMessageW(window_, kPostedWorkMessage, 0, 0) != 0;
}

// One piece of work per message, so posted work takes turns with the other
// messages and Quit ends the loop after the piece that called it.
void Win32MainLoop::RunOnePosted() {
  std::function<void()> work;
  {
    const std::lock_guard lock(posted_mutex_);
    wake_pending_ = false;
    if (posted_.empty()) return;
    work = std::move(posted_.front());
    posted_.pop_front();
    if (!posted_.empty()) {
      wake_pending_ = ::PostMessageW(window_, kPostedWorkMessage, 0, 0) != 0;
    }
  }
  work();
}

std::unique_ptr<LoopTimer> Win32MainLoop::MakeTimer(std::function<void()> work) {
  return std::make_unique<Win32LoopTimer>(*this, std::move(work));
}

std::unique_ptr<SocketWatch> Win32MainLoop::WatchSocket(NativeSocket socket,
                                                        std::function<void()> on_readable,
                                                        std::function<void()> on_writable) {
  return std::make_unique<Win32SocketWatch>(*this, static_cast<SOCKET>(socket),
                                            std::move(on_readable), std::move(on_writable));
}

void Win32MainLoop::Run() {
  quit_requested_ = false;
  MSG message;
  while (!quit_requested_) {
    if (::GetMessageW(&message, nullptr, 0, 0) <= 0) {
      // WM_QUIT from a PostQuitMessage of the program's own: leave it for
      // an enclosing loop too.
      if (message.message == WM_QUIT) ::PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    const bool dialog_message = std::any_of(dialogs_.begin(), dialogs_.end(), [&](HWND dialog) {
      return ::IsDialogMessageW(dialog, &message) != 0;
    });
    if (dialog_message) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  quit_requested_ = false;
}

void Win32MainLoop::Quit() {
  if (InMainThread()) {
    quit_requested_ = true;
    // Wakes GetMessage when Quit ran outside a message (it normally runs
    // inside one, and the loop then checks the flag right after).
    ::PostMessageW(window_, WM_NULL, 0, 0);
    return;
  }
  ::PostMessageW(window_, kQuitMessage, 0, 0);
}

void Win32MainLoop::AddDialog(HWND dialog) { dialogs_.push_back(dialog); }

void Win32MainLoop::RemoveDialog(HWND dialog) {
  dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
}

UINT_PTR Win32MainLoop::RegisterTimer(TimerEntry* timer) {
  const UINT_PTR id = next_timer_id_++;
  timers_[id] = timer;
  return id;
}

void Win32MainLoop::UnregisterTimer(UINT_PTR id) { timers_.erase(id); }

void Win32MainLoop::RegisterWatch(SOCKET socket, WatchEntry* watch) { watches_[socket] = watch; }

void Win32MainLoop::UnregisterWatch(SOCKET socket) { watches_.erase(socket); }

void Win32MainLoop::PostWritableCheck(SOCKET socket) {
  ::PostMessageW(window_, kWritableCheckMessage, static_cast<WPARAM>(socket), 0);
}

void Win32MainLoop::OnTimer(UINT_PTR id) {
  const auto found = timers_.find(id);
  if (found == timers_.end()) {
    ::KillTimer(window_, id);  // left over from a timer stopped meanwhile
    return;
  }
  TimerEntry& timer = *found->second;
  if (timer.single_shot) {
    ::KillTimer(window_, id);
    timers_.erase(found);
    timer.id = 0;
  }
  RunHeld(timer.work);
}

void Win32MainLoop::OnSocketEvent(SOCKET socket, WORD event) {
  const auto found = watches_.find(socket);
  if (found == watches_.end()) return;
  if ((event & kReadEvents) != 0) {
    RunHeld(found->second->on_readable);
  } else if ((event & FD_WRITE) != 0) {
    OnWritableCheck(socket);
  }
}

// FD_WRITE comes only once the socket turns writable again after a send was
// refused, so "writable" is checked and reported here as long as the watch
// asks for it and the socket can take bytes.
void Win32MainLoop::OnWritableCheck(SOCKET socket) {
  auto found = watches_.find(socket);
  if (found == watches_.end() || !found->second->want_writable || !CanWrite(socket)) return;
  RunHeld(found->second->on_writable);
  found = watches_.find(socket);  // the work may have ended the watch
  if (found != watches_.end() && found->second->want_writable) PostWritableCheck(socket);
}

LRESULT Win32MainLoop::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kPostedWorkMessage:
      RunOnePosted();
      return 0;
    case kQuitMessage:
      quit_requested_ = true;
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case kSocketMessage:
      OnSocketEvent(static_cast<SOCKET>(wparam), WSAGETSELECTEVENT(lparam));
      return 0;
    case kWritableCheckMessage:
      OnWritableCheck(static_cast<SOCKET>(wparam));
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wparam, lparam);
  }
}

LRESULT CALLBACK Win32MainLoop::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
  auto* loop = reinterpret_cast<Win32MainLoop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (loop == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  return loop->Handle(message, wparam, lparam);
}

}  // namespace orvik::service
