# Sourced: the two Windows flavours and where each is built, the one place scripts learn them.
#   i686    the 32-bit installer that ships by default: every Windows from 7 on, 32- or 64-bit
#   x86_64  the 64-bit one: Windows without WOW64 (Server Core without it, Windows PE)
# Also sources host-wine.sh, so VAQ_HOST_RUNS_32BIT is set and wine is the one that runs here.
source "$(dirname "${BASH_SOURCE[0]}")/host-wine.sh"

FLAVOURS=(i686 x86_64)

flavour_toolchain() { echo "cmake/mingw-$1.cmake"; }

flavour_build_dir() {
  case $1 in
    i686) echo build/win ;;
    x86_64) echo build/win64 ;;
    *) echo "unknown flavour $1 (i686 or x86_64)" >&2; return 2 ;;
  esac
}

# The kinds of Wine prefix a flavour's programs run in on this host: the 32-bit exe in a 32-bit
# prefix and under WOW64 in a 64-bit one (only the latter through qemu); the 64-bit exe in a
# 64-bit one. None where the host cannot run the flavour.
flavour_prefixes() {
  case $1/$VAQ_HOST_RUNS_32BIT in
    i686/yes) echo win32 win64 ;;
    i686/qemu | x86_64/*) echo win64 ;;
  esac
}
# Why a flavour does not run in a kind of prefix here (empty where it does).
flavour_cannot_run() {
  case $1/$2/$VAQ_HOST_RUNS_32BIT in
    i686/*/no) echo "$VAQ_NO_32BIT_WHY" ;;
    i686/win32/qemu) echo "a 32-bit Wine prefix is not usable through qemu (it boots in about 100 s with crashing helpers); the 32-bit exe runs in a WoW64 prefix" ;;
  esac
}

# The flavour the demo and other single-flavour tools run on this host, and its prefix: the
# 32-bit exe that ships wherever the host runs it, natively or through qemu.
host_flavour() { [ "$VAQ_HOST_RUNS_32BIT" = no ] && echo x86_64 || echo i686; }
host_prefix() { [ "$VAQ_HOST_RUNS_32BIT" = yes ] && echo win32 || echo win64; }

# Configures and builds a flavour (extra arguments: cmake --build options such as --target).
build_flavour() {
  local flavour=$1 dir
  shift
  dir=$(flavour_build_dir "$flavour")
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$(flavour_toolchain "$flavour")" >/dev/null
  cmake --build "$dir" "$@"
}
