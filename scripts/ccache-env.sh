# Sourced by the build scripts: with ccache on the machine, compiles go
# through it, with paths taken relative to the checkout so that several
# checkouts (and the sanitizer trees) share one cache.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
