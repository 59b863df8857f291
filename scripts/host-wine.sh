# Sourced: finds out whether this host runs 32-bit x86 code, by running the i386 Wine loader,
# and sets VAQ_HOST_RUNS_32BIT to yes or no. Some kernels run 64-bit user code only ("32-bit
# emulation disabled", or the boot option ia32_emulation=off); there every i386 program fails
# with "Exec format error", and wine is made to mean 64-bit Wine. A caller may force the answer
# (VAQ_HOST_RUNS_32BIT=no on a host that runs both, to try this road).
if [ -z "${VAQ_HOST_RUNS_32BIT:-}" ]; then
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then VAQ_HOST_RUNS_32BIT=yes; else VAQ_HOST_RUNS_32BIT=no; fi
fi
export VAQ_HOST_RUNS_32BIT
if [ "$VAQ_HOST_RUNS_32BIT" = no ]; then
  wine64_only=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only
  case ":$PATH:" in
    *":$wine64_only:"*) ;;
    *) export PATH=$wine64_only:$PATH ;;
  esac
fi
