// desktop_driver.exe: works another program's window as a person would, so that the e2e roads
// run on a Windows desktop (and under Wine) without X11 tools.
//   find <title> <timeout_ms>   waits for a visible top-level window titled exactly so; prints its HWND
//   geometry <hwnd>             prints "<width> <height>" of its window rectangle
//   dpi <hwnd>                  prints the DPI the window is laid out at
//   key <hwnd> <key>...         Escape, Return, Tab or v, each optionally after shift+ or ctrl+
//   type <hwnd> <text>          each UTF-16 unit as a Unicode key press
//   click <hwnd> <x> <y>        left click at x,y from the window's top-left corner
//   clipboard-get <file>        the clipboard's text into the file as UTF-8 (exit 1 when it holds none)
//   clipboard-set <file>        the file's UTF-8 text onto the clipboard
//   clipboard-save <file>       every format the clipboard holds in memory blocks, into the file
//   clipboard-restore <file>    the clipboard as clipboard-save found it (empty when it was)
//   screenshot <file.png>       the whole virtual screen
// Exit code 0 when done, 1 when it failed, 2 for bad arguments, 3 when the window is not there;
// the reason goes to stderr. Windows silently drops input sent to an elevated window by a less
// privileged process, so drive an elevated installer from an elevated prompt.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
namespace Gdiplus {
// GDI+'s headers use min and max, which NOMINMAX keeps out of windows.h.
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "base/handles_win.h"
#include "tools/common/file_bytes_win.h"
#include "tools/common/machine_gate_win.h"
#include "tools/common/utf8_text_win.h"

namespace {

using vaq::tools::Utf8;

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadArguments = 2;
constexpr int kNoWindow = 3;

// The pause between keys and characters, as the X11 roads type.
constexpr DWORD kKeyPauseMs = 80;
constexpr DWORD kPollMs = 20;
constexpr DWORD kForegroundWaitMs = 2000;
constexpr DWORD kClipboardWaitMs = 2000;

int Fail(int code, const wchar_t* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::vfwprintf(stderr, format, arguments);
  va_end(arguments);
  std::fputwc(L'\n', stderr);
  return code;
}

// Coordinates and sizes in physical pixels, as the installer (per-monitor aware) lays itself
// out; an unaware driver would be given scaled ones.
void MakeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto setContext = reinterpret_cast<SetContextFn>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (setContext != nullptr && (setContext(reinterpret_cast<HANDLE>(-4)) || setContext(reinterpret_cast<HANDLE>(-3)))) {
    return;
  }
  SetProcessDPIAware();
}

bool ParseNumber(const wchar_t* text, unsigned long long* value) {
  wchar_t* end = nullptr;
  errno = 0;
  *value = std::wcstoull(text, &end, 10);
  return end != text && *end == L'\0' && errno == 0 && text[0] != L'-';
}

bool ParseInt(const wchar_t* text, int* value) {
  wchar_t* end = nullptr;
  errno = 0;
  const long parsed = std::wcstol(text, &end, 10);
  *value = static_cast<int>(parsed);
  return end != text && *end == L'\0' && errno == 0 && parsed == *value;
}

bool FromUtf8(const std::string& bytes, std::wstring* text) {
  text->clear();
  if (bytes.empty()) return true;
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                       nullptr, 0);
  if (size == 0) return false;
  text->resize(static_cast<size_t>(size));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &(*text)[0],
                             size) == size;
}

// --- windows ------------------------------------------------------------------------------

struct Search {
  const wchar_t* title;
  HWND found;
};

// GetWindowText reads another process's caption without sending it a message, so a hung
// window cannot stop the search; one unit more than the title tells a longer caption apart.
BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (!IsWindowVisible(window)) return TRUE;
  const std::wstring wanted = search->title;
  std::wstring title(wanted.size() + 2, L'\0');
  title.resize(static_cast<size_t>(GetWindowTextW(window, &title[0], static_cast<int>(title.size()))));
  if (title != wanted) return TRUE;
  search->found = window;
  return FALSE;
}

bool ParseWindow(const wchar_t* text, HWND* window) {
  unsigned long long value = 0;
  if (!ParseNumber(text, &value)) return false;
  *window = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
  return true;
}

// A window that has gone is the caller's answer, not a failure of the driver.
int NoWindow(const wchar_t* text) { return Fail(kNoWindow, L"no window %ls", text); }

// Windows gives the foreground only to the process that made the last input; an empty mouse
// input makes this process that one without pressing or moving anything.
bool BringToForeground(HWND window) {
  INPUT nothing = {};
  nothing.type = INPUT_MOUSE;
  SendInput(1, &nothing, sizeof(INPUT));
  SetForegroundWindow(window);
  for (DWORD waited = 0; waited < kForegroundWaitMs; waited += kPollMs) {
    if (GetForegroundWindow() == window) return true;
    Sleep(kPollMs);
  }
  return false;
}

int SendInputs(std::vector<INPUT>& inputs) {
  if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
    return Fail(kFailed, L"SendInput failed (error %lu)", GetLastError());
  }
  return kDone;
}

INPUT Key(WORD key, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = flags;
  return input;
}

INPUT UnicodeKey(wchar_t unit, DWORD flags) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wScan = static_cast<WORD>(unit);
  input.ki.dwFlags = KEYEVENTF_UNICODE | flags;
  return input;
}

struct KeyName {
  const wchar_t* name;
  WORD key;
};
// The xdotool names the roads use.
constexpr KeyName kModifiers[] = {{L"shift", VK_SHIFT}, {L"ctrl", VK_CONTROL}};
constexpr KeyName kKeys[] = {{L"Escape", VK_ESCAPE}, {L"Return", VK_RETURN}, {L"Tab", VK_TAB}, {L"v", 'V'}};

template <size_t N>
bool Lookup(const KeyName (&table)[N], const std::wstring& name, WORD* key) {
  for (const KeyName& entry : table) {
    if (name == entry.name) {
      *key = entry.key;
      return true;
    }
  }
  return false;
}

// "shift+Tab" as presses and releases, the modifiers around the key.
bool Chord(const std::wstring& name, std::vector<INPUT>* inputs) {
  std::vector<WORD> modifiers;
  size_t start = 0;
  for (size_t plus = name.find(L'+'); plus != std::wstring::npos; plus = name.find(L'+', start)) {
    WORD modifier = 0;
    if (!Lookup(kModifiers, name.substr(start, plus - start), &modifier)) return false;
    modifiers.push_back(modifier);
    start = plus + 1;
  }
  WORD key = 0;
  if (!Lookup(kKeys, name.substr(start), &key)) return false;
  for (WORD modifier : modifiers) inputs->push_back(Key(modifier, 0));
  inputs->push_back(Key(key, 0));
  inputs->push_back(Key(key, KEYEVENTF_KEYUP));
  for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
    inputs->push_back(Key(*modifier, KEYEVENTF_KEYUP));
  }
  return true;
}

// --- commands -----------------------------------------------------------------------------

int Find(wchar_t** arguments) {
  unsigned long long timeout = 0;
  if (!ParseNumber(arguments[1], &timeout)) return Fail(kBadArguments, L"bad timeout %ls", arguments[1]);
  const ULONGLONG deadline = GetTickCount64() + timeout;
  for (;;) {
    Search search = {arguments[0], nullptr};
    EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(search.found)));
      return kDone;
    }
    if (GetTickCount64() >= deadline) return Fail(kNoWindow, L"no visible window titled %ls", arguments[0]);
    Sleep(kPollMs);
  }
}

int Geometry(wchar_t** arguments) {
  HWND window = nullptr;
  if (!ParseWindow(arguments[0], &window)) return Fail(kBadArguments, L"bad window %ls", arguments[0]);
  RECT rect = {};
  if (!IsWindow(window) || !GetWindowRect(window, &rect)) return NoWindow(arguments[0]);
  std::printf("%ld %ld\n", rect.right - rect.left, rect.bottom - rect.top);
  return kDone;
}

// The DPI the window is laid out at: its own where Windows tracks it per window (10 1607 on),
// else the system's, which a DPI-aware program lays out at. Wine 8 answers 96 for another
// process's window whatever its LogPixels, and lays every window out at that one setting.
int Dpi(wchar_t** arguments) {
  HWND window = nullptr;
  if (!ParseWindow(arguments[0], &window)) return Fail(kBadArguments, L"bad window %ls", arguments[0]);
  if (!IsWindow(window)) return NoWindow(arguments[0]);
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto forWindow = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  UINT dpi = forWindow != nullptr && !vaq::tools::WineRuns() ? forWindow(window) : 0;
  if (dpi == 0) {
    const HDC screen = GetDC(nullptr);
    dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
  }
  std::printf("%u\n", dpi);
  return kDone;
}

// Checks the window and brings it to the foreground, where the input goes.
int Front(const wchar_t* text, HWND* window) {
  if (!ParseWindow(text, window)) return Fail(kBadArguments, L"bad window %ls", text);
  if (!IsWindow(*window)) return NoWindow(text);
  if (!BringToForeground(*window)) return Fail(kFailed, L"window %ls did not come to the foreground", text);
  return kDone;
}

int Keys(wchar_t** arguments, int count) {
  std::vector<std::vector<INPUT>> chords(static_cast<size_t>(count - 1));
  for (int i = 1; i < count; ++i) {
    if (!Chord(arguments[i], &chords[static_cast<size_t>(i - 1)])) {
      return Fail(kBadArguments, L"unknown key %ls", arguments[i]);
    }
  }
  HWND window = nullptr;
  if (const int front = Front(arguments[0], &window); front != kDone) return front;
  for (size_t i = 0; i < chords.size(); ++i) {
    if (i > 0) Sleep(kKeyPauseMs);
    if (const int sent = SendInputs(chords[i]); sent != kDone) return sent;
  }
  return kDone;
}

int Type(wchar_t** arguments) {
  HWND window = nullptr;
  if (const int front = Front(arguments[0], &window); front != kDone) return front;
  for (const wchar_t* unit = arguments[1]; *unit != L'\0'; ++unit) {
    if (unit != arguments[1]) Sleep(kKeyPauseMs);
    std::vector<INPUT> press = {UnicodeKey(*unit, 0), UnicodeKey(*unit, KEYEVENTF_KEYUP)};
    if (const int sent = SendInputs(press); sent != kDone) return sent;
  }
  return kDone;
}

// One coordinate in SendInput's absolute units, 0 to 65535 across the virtual screen, aimed at
// the middle of the pixel so that rounding either way lands on it.
LONG Absolute(int pixel, int origin, int extent) {
  const long long scaled = ((static_cast<long long>(pixel) - origin) * 65536 + extent / 2) / extent;
  return static_cast<LONG>(std::min<long long>(std::max<long long>(scaled, 0), 65535));
}

int Click(wchar_t** arguments) {
  int x = 0;
  int y = 0;
  if (!ParseInt(arguments[1], &x) || !ParseInt(arguments[2], &y)) {
    return Fail(kBadArguments, L"bad point %ls %ls", arguments[1], arguments[2]);
  }
  HWND window = nullptr;
  if (const int front = Front(arguments[0], &window); front != kDone) return front;
  RECT rect = {};
  if (!GetWindowRect(window, &rect)) return NoWindow(arguments[0]);
  INPUT point = {};
  point.type = INPUT_MOUSE;
  point.mi.dx = Absolute(rect.left + x, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN));
  point.mi.dy = Absolute(rect.top + y, GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  point.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  // SendInput names physical buttons: with the buttons swapped the primary one is the right.
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  std::vector<INPUT> click = {point, point, point};
  click[1].mi.dwFlags |= swapped ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  click[2].mi.dwFlags |= swapped ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  return SendInputs(click);
}

void DestroyOwnWindow(HWND window) { DestroyWindow(window); }
using UniqueWindow = vaq::UniqueHandle<vaq::HandleTraits<HWND, DestroyOwnWindow>>;

// Another program may hold the clipboard open for a moment; work waits for it.
template <typename Work>
int WithClipboard(HWND owner, Work work) {
  for (DWORD waited = 0;; waited += kPollMs) {
    const vaq::ClipboardSession clipboard(owner);
    if (clipboard) return work();
    if (waited >= kClipboardWaitMs) return Fail(kFailed, L"cannot open the clipboard (error %lu)", GetLastError());
    Sleep(kPollMs);
  }
}

int ClipboardGet(wchar_t** arguments) {
  std::wstring text;
  const int read = WithClipboard(nullptr, [&text] {
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const vaq::GlobalLockGuard locked(data);
    if (!locked) return Fail(kFailed, L"the clipboard holds no text");
    const auto* units = static_cast<const wchar_t*>(locked.Data());
    text.assign(units, wcsnlen(units, GlobalSize(data) / sizeof(wchar_t)));
    return kDone;
  });
  if (read != kDone) return read;
  if (!vaq::tools::WriteBinaryFile(arguments[0], Utf8(text))) return Fail(kFailed, L"cannot write %ls", arguments[0]);
  return kDone;
}

// Formats whose data is a GDI or private handle rather than a memory block; Windows makes the
// common ones (a bitmap from a DIB) again from what is saved.
bool HandleFormat(UINT format) {
  return format == CF_BITMAP || format == CF_METAFILEPICT || format == CF_PALETTE || format == CF_ENHMETAFILE ||
         format == CF_OWNERDISPLAY || format == CF_DSPBITMAP || format == CF_DSPMETAFILEPICT ||
         format == CF_DSPENHMETAFILE || (format >= CF_PRIVATEFIRST && format <= CF_GDIOBJLAST);
}

void PutNumber(std::string* out, uint32_t value) { out->append(reinterpret_cast<const char*>(&value), 4); }

bool TakeNumber(const std::string& in, size_t* at, uint32_t* value) {
  if (in.size() - *at < 4) return false;
  std::memcpy(value, in.data() + *at, 4);
  *at += 4;
  return true;
}

bool TakeBytes(const std::string& in, size_t* at, std::string* bytes) {
  uint32_t size = 0;
  if (!TakeNumber(in, at, &size) || in.size() - *at < size) return false;
  bytes->assign(in, *at, size);
  *at += size;
  return true;
}

// Records of format number, registered name (empty for a standard format) and bytes.
int ClipboardSave(wchar_t** arguments) {
  std::string saved;
  const int read = WithClipboard(nullptr, [&saved] {
    for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
      if (HandleFormat(format)) continue;
      const HANDLE data = GetClipboardData(format);
      const vaq::GlobalLockGuard locked(data);
      if (!locked) continue;
      wchar_t name[256] = {};
      const int length = format >= 0xC000 ? GetClipboardFormatNameW(format, name, 256) : 0;
      const std::string utf8 = Utf8(std::wstring(name, static_cast<size_t>(length)));
      PutNumber(&saved, format);
      PutNumber(&saved, static_cast<uint32_t>(utf8.size()));
      saved += utf8;
      PutNumber(&saved, static_cast<uint32_t>(GlobalSize(data)));
      saved.append(static_cast<const char*>(locked.Data()), GlobalSize(data));
    }
    return kDone;
  });
  if (read != kDone) return read;
  if (!vaq::tools::WriteBinaryFile(arguments[0], saved)) return Fail(kFailed, L"cannot write %ls", arguments[0]);
  return kDone;
}

int ClipboardRestore(wchar_t** arguments) {
  const std::string saved = vaq::tools::ReadBinaryFile(arguments[0]);
  if (saved.empty() && GetFileAttributesW(arguments[0]) == INVALID_FILE_ATTRIBUTES) {
    return Fail(kFailed, L"cannot read %ls", arguments[0]);
  }
  const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!owner) return Fail(kFailed, L"cannot create a window (error %lu)", GetLastError());
  return WithClipboard(owner.Get(), [&saved, &arguments] {
    if (!EmptyClipboard()) return Fail(kFailed, L"cannot empty the clipboard (error %lu)", GetLastError());
    for (size_t at = 0; at < saved.size();) {
      uint32_t format = 0;
      std::string name, bytes;
      if (!TakeNumber(saved, &at, &format) || !TakeBytes(saved, &at, &name) || !TakeBytes(saved, &at, &bytes)) {
        return Fail(kFailed, L"%ls is not a saved clipboard", arguments[0]);
      }
      std::wstring wideName;
      if (!name.empty() && FromUtf8(name, &wideName)) format = RegisterClipboardFormatW(wideName.c_str());
      vaq::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(bytes.size(), 1)));
      {
        const vaq::GlobalLockGuard locked(block.Get());
        if (!locked) return Fail(kFailed, L"out of memory");
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(locked.Data()));
      }
      if (format != 0 && SetClipboardData(format, block.Get()) != nullptr) (void)block.Take();
    }
    return kDone;
  });
}

int ClipboardSet(wchar_t** arguments) {
  const std::string bytes = vaq::tools::ReadBinaryFile(arguments[0]);
  if (bytes.empty() && GetFileAttributesW(arguments[0]) == INVALID_FILE_ATTRIBUTES) {
    return Fail(kFailed, L"cannot read %ls", arguments[0]);
  }
  std::wstring text;
  if (!FromUtf8(bytes, &text)) return Fail(kFailed, L"%ls is not UTF-8 text", arguments[0]);
  vaq::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  {
    const vaq::GlobalLockGuard locked(block.Get());
    if (!locked) return Fail(kFailed, L"out of memory");
    std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<wchar_t*>(locked.Data()));
  }
  // Emptied without an owner window, the clipboard takes no data.
  const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!owner) return Fail(kFailed, L"cannot create a window (error %lu)", GetLastError());
  return WithClipboard(owner.Get(), [&block] {
    if (!EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr) {
      return Fail(kFailed, L"cannot set the clipboard (error %lu)", GetLastError());
    }
    (void)block.Take();  // the clipboard owns it now
    return kDone;
  });
}

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr) SelectObject(dc_, previous_);
  }
  explicit operator bool() const { return previous_ != nullptr; }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

class GdiplusSession {
 public:
  GdiplusSession() {
    const Gdiplus::GdiplusStartupInput input;
    started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  ~GdiplusSession() {
    if (started_) Gdiplus::GdiplusShutdown(token_);
  }
  explicit operator bool() const { return started_; }

 private:
  ULONG_PTR token_ = 0;
  bool started_ = false;
};

bool PngEncoder(CLSID* encoder) {
  UINT count = 0;
  UINT bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *encoder = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

// The screen's pixels, top row first, 32 bits each.
bool CaptureScreen(int* width, int* height, std::vector<BYTE>* pixels) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  *width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  *height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const ScreenDc screen;
  const vaq::UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  const vaq::UniqueGdiObject bitmap(CreateCompatibleBitmap(screen.Get(), *width, *height));
  if (screen.Get() == nullptr || !memory || !bitmap) return false;
  {
    const Selection selected(memory.Get(), bitmap.Get());
    // CAPTUREBLT takes layered windows along, which the installer's is.
    if (!selected || !BitBlt(memory.Get(), 0, 0, *width, *height, screen.Get(), left, top, SRCCOPY | CAPTUREBLT)) {
      return false;
    }
  }
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = *width;
  format.bmiHeader.biHeight = -*height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  pixels->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height) * 4);
  return GetDIBits(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), 0, static_cast<UINT>(*height), pixels->data(),
                   &format, DIB_RGB_COLORS) == *height;
}

int Screenshot(wchar_t** arguments) {
  int width = 0;
  int height = 0;
  std::vector<BYTE> pixels;
  if (!CaptureScreen(&width, &height, &pixels)) return Fail(kFailed, L"cannot capture the screen");
  const GdiplusSession gdiplus;
  if (!gdiplus) return Fail(kFailed, L"GDI+ did not start");
  CLSID png = {};
  if (!PngEncoder(&png)) return Fail(kFailed, L"GDI+ has no PNG encoder");
  Gdiplus::Bitmap image(width, height, width * 4, PixelFormat32bppRGB, pixels.data());
  if (image.Save(arguments[0], &png, nullptr) != Gdiplus::Ok) return Fail(kFailed, L"cannot write %ls", arguments[0]);
  return kDone;
}

struct Command {
  const wchar_t* name;
  const wchar_t* arguments;
  int count;  // the arguments it takes; negative: at least that many
  int (*run)(wchar_t** arguments, int count);
};

const Command kCommands[] = {
    {L"find", L"<title> <timeout_ms>", 2, [](wchar_t** a, int) { return Find(a); }},
    {L"geometry", L"<hwnd>", 1, [](wchar_t** a, int) { return Geometry(a); }},
    {L"key", L"<hwnd> <key>...", -2, Keys},
    {L"dpi", L"<hwnd>", 1, [](wchar_t** a, int) { return Dpi(a); }},
    {L"type", L"<hwnd> <text>", 2, [](wchar_t** a, int) { return Type(a); }},
    {L"click", L"<hwnd> <x> <y>", 3, [](wchar_t** a, int) { return Click(a); }},
    {L"clipboard-get", L"<file>", 1, [](wchar_t** a, int) { return ClipboardGet(a); }},
    {L"clipboard-set", L"<file>", 1, [](wchar_t** a, int) { return ClipboardSet(a); }},
    {L"clipboard-save", L"<file>", 1, [](wchar_t** a, int) { return ClipboardSave(a); }},
    {L"clipboard-restore", L"<file>", 1, [](wchar_t** a, int) { return ClipboardRestore(a); }},
    {L"screenshot", L"<file.png>", 1, [](wchar_t** a, int) { return Screenshot(a); }},
};

int Usage() {
  for (const Command& command : kCommands) {
    std::fwprintf(stderr, L"usage: desktop_driver.exe %ls %ls\n", command.name, command.arguments);
  }
  return kBadArguments;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  for (const Command& command : kCommands) {
    if (std::wcscmp(argv[1], command.name) != 0) continue;
    const int given = argc - 2;
    if (command.count >= 0 ? given != command.count : given < -command.count) return Usage();
    MakeDpiAware();
    return command.run(argv + 2, given);
  }
  return Usage();
}
