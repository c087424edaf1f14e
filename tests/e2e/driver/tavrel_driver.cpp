// The end-to-end test driver: a small console program that runs beside
// A_Tavrel.exe under Wine, finds its windows and acts on them the way a
// user or a screen reader would. One command per run; results go to
// standard output, one fact per line; exit code 0 on success, 1 when the
// window, control or message box is not there (in time), 2 on bad usage.
//
//   wait-window [class] [timeout-ms]  until the main window is visible
//   text <id>                          window text of a control
//   title <id>                         the same, read without asking the
//                                      program (works while it is busy)
//   visible <id> / enabled <id>        1 or 0
//   check <id>                         check state: 0, 1 or 2
//   click <id>                         the control's click notification
//   settext <id> <text>                types a text into a text box
//   select <id> <index>                picks an item of a drop-down list
//   list                               every control: id, class, visible, text
//   msgbox [timeout-ms]                title, place and text of a shown message box
//   press <button-text> [timeout-ms]   presses a button of that message box
//   close                              asks the main window to close
//   endsession                         tells the main window Windows ends
//   exstyle                            the main window's extended style, hex
//   drag <id> <x> <y> <dx> <dy>        the mouse presses at x, y of a control
//                                      and drags by dx, dy (pixels)
//   wait-gone [timeout-ms]             until the program's process has ended
//   pid                                the program's process ID
//   tray-notify <mouse-message>        the shell's callback for the tray icon
//                                      (WM_MOUSEMOVE, lParam the message on it)
//   tray-taskbar-created               what a restarted Explorer tells windows
//   tray-window                        1 while the tray form's window exists
//   tray-icons                         the icons Wine's notification area shows
//   tray-key <virtual-key>             a key press for the tray form's thread
//                                      (the open tray menu reads it)
//   popup                              left, top, width, height of the open
//                                      popup menu
//   close-hidden                       asks the main window to close, also
//                                      while it is hidden (as Windows does at
//                                      shutdown)
//   toplevel                           every top-level window: class, visible,
//                                      left, top, width, height, title
//   resources                          the program's GDI and USER objects,
//                                      handles, private bytes and working set
//   run <pid-file> <exe>               starts the program in its own folder,
//                                      writes its process ID to pid-file, waits
//                                      for it and ends with its exit code
//   run-ordinary-user <pid-file> <exe> the same with this process's token less
//                                      the right to change the system time, as
//                                      an ordinary user's on NT
//
// Every wait (a timeout given or the driver's own) lasts TAVREL_WAIT_SCALE
// times longer when that variable is set: the test runner sets it where the
// program runs on an emulated machine, several times slower than the host.
//
// The main window is the visible top-level window of the form class whose
// title is "FrmMain"; TAVREL_WINDOW names another form. With TAVREL_PID set
// (the process ID that run wrote), only that process's windows count: a
// second copy of the program, or one left over by another test, is never
// taken for the program under test.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/WindowClasses.h"

namespace {

constexpr DWORD kPollMs = 100;

std::string FormTitle() {
  const char* title = std::getenv("TAVREL_WINDOW");
  return title && *title ? title : "FrmMain";
}

// A wait of ms milliseconds as this machine needs it (TAVREL_WAIT_SCALE).
DWORD Scaled(DWORD ms) {
  static const DWORD scale = [] {
    char value[16] = "";
    const DWORD length = GetEnvironmentVariableA("TAVREL_WAIT_SCALE", value, sizeof value);
    const unsigned long parsed = length > 0 && length < sizeof value ? std::strtoul(value, nullptr, 10) : 0;
    return parsed > 0 ? static_cast<DWORD>(parsed) : DWORD{1};
  }();
  return ms * scale;
}

std::string TextOf(HWND hwnd) {
  char buffer[4096] = {};
  // WM_GETTEXT rather than GetWindowTextA: the latter does not ask windows
  // of other processes for their text.
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      Scaled(5000), nullptr);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[256] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

// Line breaks inside a text would split one fact over several lines.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

// The program under test, 0 when the harness did not say which it is.
DWORD ProgramUnderTest() {
  const char* pid = std::getenv("TAVREL_PID");
  return pid && *pid ? static_cast<DWORD>(std::strtoul(pid, nullptr, 10)) : 0;
}

struct FormSearch {
  const char* className;
  const char* title;
  DWORD process;
  bool visibleOnly;
  HWND found;
};

BOOL CALLBACK FindFormOf(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<FormSearch*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != search->process || ClassOf(hwnd) != search->className) return TRUE;
  if (search->title && TextOf(hwnd) != search->title) return TRUE;
  if (search->visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

// A top-level window of the class (and title, unless null): of the program
// under test when the harness named it, else the first one there is.
HWND FindForm(const char* className, const char* title, bool visibleOnly) {
  if (const DWORD process = ProgramUnderTest()) {
    FormSearch search{className, title, process, visibleOnly, nullptr};
    EnumWindows(FindFormOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }
  HWND hwnd = FindWindowA(className, title);
  return hwnd && (!visibleOnly || IsWindowVisible(hwnd)) ? hwnd : nullptr;
}

HWND FindMain(const char* className) { return FindForm(className, FormTitle().c_str(), true); }

HWND WaitMain(const char* className, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (HWND hwnd = FindMain(className)) return hwnd;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

BOOL CALLBACK PrintProgramWindow(HWND hwnd, LPARAM process) {
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == static_cast<DWORD>(process))
    std::printf("  the program has: %s, %s, \"%s\"\n", ClassOf(hwnd).c_str(),
                IsWindowVisible(hwnd) ? "visible" : "hidden", OneLine(TextOf(hwnd)).c_str());
  return TRUE;
}

HWND MainOrFail() {
  HWND hwnd = WaitMain(tavrel::kFormWindowClass, Scaled(2000));
  if (!hwnd) {
    std::printf("no window of class %s titled %s\n", tavrel::kFormWindowClass, FormTitle().c_str());
    if (const DWORD process = ProgramUnderTest()) EnumWindows(PrintProgramWindow, process);
    std::exit(1);
  }
  return hwnd;
}

// The program makes the windows of the controls outside its first view
// just after the window shows: a control is waited for a moment.
HWND ControlOrFail(const char* idText) {
  HWND main = MainOrFail();
  HWND control = nullptr;
  for (const DWORD start = GetTickCount(); !(control = GetDlgItem(main, std::atoi(idText)));) {
    if (GetTickCount() - start >= Scaled(2000)) break;
    Sleep(kPollMs / 4);
  }
  if (!control) {
    std::printf("no control with ID %s\n", idText);
    std::exit(1);
  }
  return control;
}

// Message boxes are dialog windows of their own; the one of interest
// belongs to the program's process.
struct BoxSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<BoxSearch*>(lParam);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && (!search->process || process == search->process)) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

DWORD ProgramProcess() {
  if (const DWORD process = ProgramUnderTest()) return process;
  HWND main = FindWindowA(tavrel::kFormWindowClass, nullptr);
  DWORD process = 0;
  if (main) GetWindowThreadProcessId(main, &process);
  return process;
}

HWND WaitBox(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    // Before the program's first window exists (a start-up message), any
    // message box will do.
    BoxSearch search{ProgramProcess(), nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

std::string WithoutAmpersand(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

struct Children {
  std::vector<HWND> list;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<Children*>(lParam)->list.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  Children children;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children.list;
}

DWORD Timeout(int argc, char** argv, int index, DWORD fallback) {
  return Scaled(argc > index ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : fallback);
}

// The notification-area form's window: never visible, so found by its
// title alone.
HWND TrayWindow() { return FindForm(tavrel::kFormWindowClass, "Sys Tray Interface", false); }

HWND TrayOrFail() {
  HWND tray = TrayWindow();
  if (!tray) {
    std::printf("no tray window\n");
    std::exit(1);
  }
  return tray;
}

BOOL CALLBACK PrintTopLevel(HWND hwnd, LPARAM) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  std::printf("%s\t%d\t%ld\t%ld\t%ld\t%ld\t%s\n", ClassOf(hwnd).c_str(), IsWindowVisible(hwnd) ? 1 : 0, r.left,
              r.top, r.right - r.left, r.bottom - r.top, OneLine(TextOf(hwnd)).c_str());
  return TRUE;
}

// Wine shows each notification-area icon as a window of its own (a class
// named "..._tray_icon"), docked in its stand-alone tray window.
struct IconCount {
  int count;
};

BOOL CALLBACK CountIcon(HWND hwnd, LPARAM lParam) {
  if (ClassOf(hwnd).find("tray_icon") != std::string::npos && IsWindowVisible(hwnd))
    ++reinterpret_cast<IconCount*>(lParam)->count;
  return TRUE;
}

BOOL CALLBACK CountIconsOf(HWND hwnd, LPARAM lParam) {
  CountIcon(hwnd, lParam);
  EnumChildWindows(hwnd, CountIcon, lParam);
  return TRUE;
}

// The harness starts the program through this command, so it knows the
// process ID Windows gave it and still waits for the program's end.
// This process's token without the right to change the system time; null
// when the system cannot make one.
HANDLE OrdinaryUserToken() {
  HANDLE own = nullptr;
  HANDLE restricted = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own)) return nullptr;
  LUID_AND_ATTRIBUTES right{};
  if (LookupPrivilegeValueA(nullptr, SE_SYSTEMTIME_NAME, &right.Luid))
    CreateRestrictedToken(own, 0, 0, nullptr, 1, &right, 0, nullptr, &restricted);
  CloseHandle(own);
  return restricted;
}

int RunProgram(const char* pidFile, const char* exe, bool ordinaryUser) {
  std::string folder = exe;
  const std::string::size_type slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? "." : folder.substr(0, slash);
  std::string commandLine = std::string("\"") + exe + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  HANDLE token = ordinaryUser ? OrdinaryUserToken() : nullptr;
  if (ordinaryUser && !token) {
    std::printf("no token without the system-time right: error %lu\n", static_cast<unsigned long>(GetLastError()));
    return 126;
  }
  const BOOL made = token ? CreateProcessAsUserA(token, exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                                 folder.c_str(), &startup, &started)
                          : CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                           folder.c_str(), &startup, &started);
  if (token) CloseHandle(token);
  if (!made) {
    std::printf("cannot start %s: error %lu\n", exe, static_cast<unsigned long>(GetLastError()));
    return 126;
  }
  CloseHandle(started.hThread);
  // Written to a new name and renamed, so a reader never sees half a number.
  const std::string partial = std::string(pidFile) + ".part";
  if (FILE* f = std::fopen(partial.c_str(), "w")) {
    std::fprintf(f, "%lu\n", static_cast<unsigned long>(started.dwProcessId));
    std::fclose(f);
    MoveFileExA(partial.c_str(), pidFile, MOVEFILE_REPLACE_EXISTING);
  }
  std::printf("started %lu\n", static_cast<unsigned long>(started.dwProcessId));
  std::fflush(stdout);
  WaitForSingleObject(started.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(started.hProcess, &code);
  CloseHandle(started.hProcess);
  return static_cast<int>(code);
}

int Usage() {
  std::printf("usage: tavrel_driver wait-window|text|visible|enabled|check|click|settext|select|list|"
              "msgbox|press|close|wait-gone|pid|tray-notify|tray-taskbar-created|tray-window|tray-icons|tray-key|popup|close-hidden|toplevel|run|run-ordinary-user ...\n");
  return 2;
}

// ---------------------------------------------------------------------------
// Stand-ins for the rest of the desktop, self-contained:
//   foreground                      class and title of the foreground window
//   refusing-taskbar <ms>           a task bar that is not ready: for <ms>
//                                   from the first icon request (however
//                                   slowly the program starts) a window of
//                                   the shell's tray class answers every
//                                   icon request with "refused"; then
//                                   it goes, and "TaskbarCreated" is sent to
//                                   every top-level window, as a starting
//                                   Explorer does. Wine's shell sends icon
//                                   requests to the first window of that
//                                   class it finds, which is this one.
//                                   Each request is printed as the shell
//                                   got it: "request <NIM_> flags <hex>
//                                   callback <hex> tip <text>".
namespace standin {

// When the first icon request was refused; 0 before.
DWORD g_firstRefusal = 0;

// The start of what Wine's shell sends its task bar for an icon request,
// the same on every processor.
struct ShellIconRequest {
  LONG hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  WCHAR szTip[128];
};

void PrintRequest(const COPYDATASTRUCT& data) {
  if (data.cbData < sizeof(ShellIconRequest) || !data.lpData) return;
  ShellIconRequest request;
  std::memcpy(&request, data.lpData, sizeof request);
  request.szTip[127] = 0;
  char tip[256] = {};
  WideCharToMultiByte(CP_ACP, 0, request.szTip, -1, tip, sizeof tip, nullptr, nullptr);
  std::printf("request %lu flags %x callback %x tip %s\n", static_cast<unsigned long>(data.dwData), request.uFlags,
              request.uCallbackMessage, tip);
  std::fflush(stdout);
}

LRESULT CALLBACK RefusingTrayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    if (!g_firstRefusal) g_firstRefusal = GetTickCount() | 1;
    PrintRequest(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    return FALSE;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int RefusingTaskbar(DWORD ms) {
  WNDCLASSA tray{};
  tray.lpfnWndProc = RefusingTrayProc;
  tray.hInstance = GetModuleHandleA(nullptr);
  tray.lpszClassName = "Shell_TrayWnd";
  RegisterClassA(&tray);
  HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, tray.hInstance, nullptr);
  if (!hwnd) {
    std::printf("no stand-in task bar\n");
    return 1;
  }
  std::printf("refusing\n");
  std::fflush(stdout);
  // Without any request the stand-in still goes, two minutes later.
  const DWORD start = GetTickCount();
  while (g_firstRefusal ? GetTickCount() - g_firstRefusal < ms : GetTickCount() - start < ms + 120000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  DestroyWindow(hwnd);
  PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  std::printf("gone\n");
  return 0;
}

}  // namespace standin

// -1: not a stand-in command.
int RunStandInCommand(const std::string& command, int argc, char** argv) {
  if (command == "foreground") {
    HWND hwnd = GetForegroundWindow();
    char cls[128] = {}, title[256] = {};
    if (hwnd) {
      GetClassNameA(hwnd, cls, sizeof cls);
      GetWindowTextA(hwnd, title, sizeof title);
    }
    std::printf("%s\t%s\n", cls, title);
    return 0;
  }
  if (command == "refusing-taskbar" && argc > 2) return standin::RefusingTaskbar(std::strtoul(argv[2], nullptr, 10));
  return -1;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];

  if (command == "wait-window") {
    const char* className = argc > 2 ? argv[2] : tavrel::kFormWindowClass;
    HWND hwnd = WaitMain(className, Timeout(argc, argv, 3, 20000));
    if (!hwnd) {
      std::printf("timeout: no visible window of class %s titled %s\n", className, FormTitle().c_str());
      return 1;
    }
    RECT r;
    GetWindowRect(hwnd, &r);
    std::printf("window %lu %ld %ld %ld %ld\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)),
                r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (command == "text" && argc > 2) {
    std::printf("%s\n", OneLine(TextOf(ControlOrFail(argv[2]))).c_str());
    return 0;
  }
  if (command == "title" && argc > 2) {
    char buffer[4096] = {};
    GetWindowTextA(ControlOrFail(argv[2]), buffer, sizeof buffer);
    std::printf("%s\n", OneLine(buffer).c_str());
    return 0;
  }
  if (command == "visible" && argc > 2) {
    std::printf("%d\n", IsWindowVisible(ControlOrFail(argv[2])) ? 1 : 0);
    return 0;
  }
  if (command == "enabled" && argc > 2) {
    std::printf("%d\n", IsWindowEnabled(ControlOrFail(argv[2])) ? 1 : 0);
    return 0;
  }
  if (command == "check" && argc > 2) {
    std::printf("%ld\n", static_cast<long>(SendMessageA(ControlOrFail(argv[2]), BM_GETCHECK, 0, 0)));
    return 0;
  }
  if (command == "click" && argc > 2) {
    HWND control = ControlOrFail(argv[2]);
    // Posted, not sent: a click may open a modal message box, and the
    // driver must not wait for it to close.
    PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    std::printf("clicked %s\n", argv[2]);
    return 0;
  }
  if (command == "settext" && argc > 3) {
    SendMessageA(ControlOrFail(argv[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
    std::printf("set %s\n", argv[2]);
    return 0;
  }
  if (command == "select" && argc > 3) {
    HWND control = ControlOrFail(argv[2]);
    SendMessageA(control, CB_SETCURSEL, std::strtoul(argv[3], nullptr, 10), 0);
    PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
    std::printf("selected %s\n", argv[3]);
    return 0;
  }
  if (command == "list") {
    for (HWND child : ChildrenOf(MainOrFail()))
      std::printf("%d\t%s\t%d\t%s\n", GetDlgCtrlID(child), ClassOf(child).c_str(), IsWindowVisible(child) ? 1 : 0,
                  OneLine(TextOf(child)).c_str());
    return 0;
  }
  if (command == "msgbox") {
    HWND box = WaitBox(Timeout(argc, argv, 2, 5000));
    if (!box) {
      std::printf("no message box\n");
      return 1;
    }
    std::printf("title: %s\n", OneLine(TextOf(box)).c_str());
    RECT r;
    GetWindowRect(box, &r);
    std::printf("rect: %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    // The message is the static text with the ID the system gives it. A
    // box found the moment it shows may not have its text yet: once in a
    // while a read came back empty.
    std::string text;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < Scaled(2000); Sleep(kPollMs / 4)) {
      HWND message = GetDlgItem(box, 0xFFFF);
      if (message && !(text = TextOf(message)).empty()) break;
    }
    std::printf("text: %s\n", OneLine(text).c_str());
    for (HWND child : ChildrenOf(box))
      if (ClassOf(child) == "Button") std::printf("button: %s\n", WithoutAmpersand(TextOf(child)).c_str());
    return 0;
  }
  if (command == "press" && argc > 2) {
    HWND box = WaitBox(Timeout(argc, argv, 3, 5000));
    if (!box) {
      std::printf("no message box\n");
      return 1;
    }
    const std::string wanted = WithoutAmpersand(argv[2]);
    for (HWND child : ChildrenOf(box)) {
      if (ClassOf(child) != "Button" || WithoutAmpersand(TextOf(child)) != wanted) continue;
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), BN_CLICKED), reinterpret_cast<LPARAM>(child));
      std::printf("pressed %s\n", wanted.c_str());
      return 0;
    }
    std::printf("no button %s\n", wanted.c_str());
    return 1;
  }
  if (command == "close") {
    PostMessageA(MainOrFail(), WM_CLOSE, 0, 0);
    std::printf("close requested\n");
    return 0;
  }
  if (command == "endsession") {
    HWND main = MainOrFail();
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, Scaled(5000), &answer);
    PostMessageA(main, WM_ENDSESSION, TRUE, 0);
    std::printf("end of session sent, answer %lu\n", static_cast<unsigned long>(answer));
    return 0;
  }
  if (command == "exstyle") {
    std::printf("%08lx\n", static_cast<unsigned long>(GetWindowLongA(MainOrFail(), GWL_EXSTYLE)));
    return 0;
  }
  if (command == "drag" && argc > 6) {
    // Real input: the press starts the system's move loop in the program.
    RECT r;
    GetWindowRect(ControlOrFail(argv[2]), &r);
    const int x = r.left + std::atoi(argv[3]), y = r.top + std::atoi(argv[4]);
    const int dx = std::atoi(argv[5]), dy = std::atoi(argv[6]);
    SetCursorPos(x, y);
    Sleep(200);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    Sleep(300);
    for (int step = 1; step <= 10; ++step) {
      SetCursorPos(x + dx * step / 10, y + dy * step / 10);
      Sleep(50);
    }
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    Sleep(300);
    std::printf("dragged by %d %d\n", dx, dy);
    return 0;
  }
  if (command == "wait-gone") {
    const DWORD timeoutMs = Timeout(argc, argv, 2, 10000);
    const DWORD process = ProgramProcess();
    if (!process) {
      std::printf("gone\n");
      return 0;
    }
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (handle) {
      const DWORD wait = WaitForSingleObject(handle, timeoutMs);
      CloseHandle(handle);
      if (wait != WAIT_OBJECT_0) {
        std::printf("still running\n");
        return 1;
      }
    } else {
      const DWORD start = GetTickCount();
      while (FindForm(tavrel::kFormWindowClass, nullptr, false)) {
        if (GetTickCount() - start >= timeoutMs) {
          std::printf("still running\n");
          return 1;
        }
        Sleep(kPollMs);
      }
    }
    std::printf("gone\n");
    return 0;
  }
  if (command == "pid") {
    const DWORD process = ProgramProcess();
    std::printf("%lu\n", static_cast<unsigned long>(process));
    return process ? 0 : 1;
  }
  // Posted: a right button opens the tray menu, which is modal.
  if (command == "tray-notify" && argc > 2) {
    const LPARAM message = static_cast<LPARAM>(std::strtoul(argv[2], nullptr, 0));
    PostMessageA(TrayOrFail(), WM_MOUSEMOVE, 0, message);
    std::printf("notified 0x%lx\n", static_cast<unsigned long>(message));
    return 0;
  }
  if (command == "tray-taskbar-created") {
    PostMessageA(TrayOrFail(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    std::printf("taskbar created\n");
    return 0;
  }
  if (command == "tray-window") {
    std::printf("%d\n", TrayWindow() ? 1 : 0);
    return 0;
  }
  if (command == "tray-icons") {
    IconCount icons{0};
    EnumWindows(CountIconsOf, reinterpret_cast<LPARAM>(&icons));
    std::printf("%d\n", icons.count);
    return 0;
  }
  if (command == "tray-key" && argc > 2) {
    const WPARAM key = static_cast<WPARAM>(std::strtoul(argv[2], nullptr, 0));
    HWND tray = TrayOrFail();
    PostMessageA(tray, WM_KEYDOWN, key, 1);
    PostMessageA(tray, WM_KEYUP, key, 0xC0000001);
    std::printf("key 0x%lx\n", static_cast<unsigned long>(key));
    return 0;
  }
  if (command == "popup") {
    const DWORD start = GetTickCount();
    for (;;) {
      HWND menu = FindWindowA("#32768", nullptr);
      if (menu && IsWindowVisible(menu)) {
        RECT r;
        GetWindowRect(menu, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
      }
      if (GetTickCount() - start >= Timeout(argc, argv, 2, 5000)) break;
      Sleep(kPollMs);
    }
    std::printf("no popup menu\n");
    return 1;
  }
  if (command == "close-hidden") {
    HWND main = FindForm(tavrel::kFormWindowClass, FormTitle().c_str(), false);
    if (!main) {
      std::printf("no window titled %s\n", FormTitle().c_str());
      return 1;
    }
    PostMessageA(main, WM_CLOSE, 0, 0);
    std::printf("close requested\n");
    return 0;
  }
  if (command == "toplevel") {
    EnumWindows(PrintTopLevel, 0);
    return 0;
  }
  if (int code = RunStandInCommand(command, argc, argv); code >= 0) return code;
  if (command == "run" && argc > 3) return RunProgram(argv[2], argv[3], false);
  if (command == "run-ordinary-user" && argc > 3) return RunProgram(argv[2], argv[3], true);
  if (command == "resources") {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ProgramProcess());
    if (!process) {
      std::printf("no program process\n");
      return 1;
    }
    DWORD handles = 0;
    typedef BOOL(WINAPI * HandleCount)(HANDLE, PDWORD);
    if (auto count = reinterpret_cast<HandleCount>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount"))))
      count(process, &handles);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    typedef BOOL(WINAPI * MemoryInfo)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
    HMODULE psapi = LoadLibraryA("psapi.dll");
    if (auto info = psapi ? reinterpret_cast<MemoryInfo>(reinterpret_cast<void*>(
                                GetProcAddress(psapi, "GetProcessMemoryInfo")))
                          : nullptr)
      info(process, reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&memory), sizeof memory);
    std::printf("gdi %lu\nuser %lu\nhandles %lu\nprivate %lu\nworkingset %lu\n",
                static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
                static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
                static_cast<unsigned long>(handles), static_cast<unsigned long>(memory.PrivateUsage),
                static_cast<unsigned long>(memory.WorkingSetSize));
    CloseHandle(process);
    return 0;
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  const int code = Run(argc, argv);
  std::fflush(stdout);
  return code;
}
