# Shared by scripts/run and scripts/test: the source folder and ccache settings
# that let a build in a fresh clone reuse earlier compilations.
VEXTAL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export CCACHE_SLOPPINESS=time_macros
export CCACHE_NOHASHDIR=1
export CCACHE_BASEDIR="$VEXTAL_ROOT"
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-5G}"
VEXTAL_JOBS="$(nproc 2>/dev/null || echo 2)"
