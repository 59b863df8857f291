// The exe's strtod and vsnprintf are those of the system's C runtime. MinGW gives C++ code its
// own C99 versions whatever the program asks for, and they bring 40 KB of conversion and
// formatting code. Their one caller here is the JSON lexer: the value of a number, which the
// program never reads, and the "<U+001F>" of a parse error's text.
#include <cstdarg>
#include <cstddef>

extern "C" {

// Declared here: the C++ headers' inline versions lead back to MinGW's.
double __cdecl strtod(const char* text, char** end);
int __cdecl _vsnprintf(char* buffer, size_t size, const char* format, va_list arguments);
int __cdecl _vscprintf(const char* format, va_list arguments);

double __cdecl __mingw_strtod(const char* text, char** end) { return strtod(text, end); }

// C99's contract on top of the system's: a cut text is still terminated, and the length of the
// whole is returned.
int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list arguments) {
  va_list again;
  va_copy(again, arguments);
  int length = size == 0 ? -1 : _vsnprintf(buffer, size, format, arguments);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    if (size != 0) buffer[size - 1] = '\0';
    length = _vscprintf(format, again);
  }
  va_end(again);
  return length;
}

}  // extern "C"
