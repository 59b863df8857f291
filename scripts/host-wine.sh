# Sourced: finds out how this host runs 32-bit x86 code and sets VAQ_HOST_RUNS_32BIT:
#   yes   natively;
#   qemu  through qemu's i386 user mode, inside scripts/i386-route.sh;
#   no    not at all: the kernel runs 64-bit user code only ("32-bit emulation disabled", or the
#         boot option ia32_emulation=off), so every i386 program fails with "Exec format error".
# It finds out by running the i386 Wine loader. A caller may force "no" on a host that runs
# both, to try that road (and the qemu route from it). Where 32-bit code is not native, wine is
# made to mean 64-bit Wine: Debian's wrapper picks the i386 loader whenever it is installed, and
# in a WoW64 prefix the 64-bit loader starts the 32-bit side itself.
if [ -z "${VAQ_HOST_RUNS_32BIT:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then VAQ_HOST_RUNS_32BIT=yes; else VAQ_HOST_RUNS_32BIT=no; fi
fi
export VAQ_HOST_RUNS_32BIT
if [ "$VAQ_HOST_RUNS_32BIT" = no ] && [ -z "${VAQ_NO_32BIT_WHY:-}" ]; then
  export VAQ_NO_32BIT_WHY="this host runs no 32-bit code (the i386 Wine loader gives \"Exec format error\")"
fi
if [ "$VAQ_HOST_RUNS_32BIT" != yes ]; then
  wine64_only=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only
  case ":$PATH:" in
    *":$wine64_only:"*) ;;
    *) export PATH=$wine64_only:$PATH ;;
  esac
fi

# Runs the calling script again through the qemu route where 32-bit code runs only that way:
#   through_i386_route "$0" "$@"
# Returns where the route is not needed, or does not work here; then VAQ_NO_32BIT_WHY says why
# the host runs no 32-bit code at all.
through_i386_route() {
  local route why
  [ "$VAQ_HOST_RUNS_32BIT" = no ] || return 0
  route=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/i386-route.sh
  if why=$("$route" --check 2>&1); then
    exec "$route" "$@"
  fi
  export VAQ_NO_32BIT_WHY="$VAQ_NO_32BIT_WHY, and $why"
}
