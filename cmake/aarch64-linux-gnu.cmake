# Cross build for 64-bit ARM Linux with Debian's cross compiler, against the
# arm64 libraries multiarch installs beside the host's (the :arm64 -dev
# packages): headers under /usr/include/aarch64-linux-gnu, libraries under
# /usr/lib/aarch64-linux-gnu, both found from the host's own root.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# pkg-config's cross wrapper reads only the arm64 .pc files, never the host's.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for the arm64 libraries")
# Programs the build runs, code generators such as wayland-scanner, are the
# build machine's own, whatever root the libraries are later looked up in.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Tests run under user-mode QEMU. The multiarch libc6:arm64 puts the arm64
# loader at /lib/ld-linux-aarch64.so.1 on the host itself, and that loader
# searches the multiarch folders, so the host's root is the prefix: a prefix
# of the cross compiler's own runtime (/usr/aarch64-linux-gnu) would pair its
# loader with the multiarch libraries of another build of the same libc.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)
