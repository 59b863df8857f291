# Cross-compiles the 64-bit Windows build: the same sources for Windows without WOW64 and for
# hosts whose kernel runs no 32-bit code. Its programs run under 64-bit Wine.
set(VAQ_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
