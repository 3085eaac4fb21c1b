# The two commands a new user needs: `make demo` and `make test`.
# Everything else is plain CMake presets (see CMakePresets.json).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps linux win32 win64 arm64 arm64-full sanitize test unit package demo bench fuzz clean

all: linux win32 win64

deps:
	@scripts/install-deps

linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS)

win32: deps linux
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

win64: deps linux
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS)

# The portable core and the scorvane tool for 64-bit ARM, tested under
# qemu-user against the native tree (scripts/test-arm64).
arm64: deps linux
	cmake --preset arm64 >/dev/null
	cmake --build --preset arm64 -j $(JOBS)

sanitize: deps
	cmake --preset linux-sanitize >/dev/null
	cmake --build --preset linux-sanitize -j $(JOBS)

# Native unit, integration and package tiers, the first two again under ASan
# and UBSan (fuzz/lsan.supp names the system libraries whose leaks are not
# ours; its tally stays out of the stderr that tests read), then the Windows
# tier under Wine, its archive among it, at the width this machine runs
# (scripts/wine-width). GCC 12's sanitizer runtime sometimes
# takes a thread-local block of a loaded library (libcurl's, in the tests
# that download) for one of an old glibc and reads a bogus range from in
# front of it, which crashes the leak check at exit: its __tls_get_addr
# interceptor stays off.
test: linux win32 win64 sanitize
	ctest --preset linux -j $(JOBS)
	ASAN_OPTIONS=intercept_tls_get_addr=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/fuzz/lsan.supp:print_suppressions=0 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --preset linux-sanitize -L 'unit|integration' -j $(JOBS)
	scripts/test-arm64 -j $(JOBS)
	scripts/test-windows -j $(JOBS)

# Everything the Debian packages hold, cross-built for 64-bit ARM: the saver,
# its settings program and scorvane (the arm64-full preset, build/arm64-full).
arm64-full: deps
	@command -v aarch64-linux-gnu-g++ >/dev/null || { echo "arm64-full: no arm64 cross compiler;" \
	  "scripts/install-deps installs it with the arm64 libraries when the mirror allows" >&2; exit 1; }
	cmake --preset arm64-full >/dev/null
	cmake --build --preset arm64-full -j $(JOBS)

# The Debian packages vemo and scorvane, and the Windows setup program and
# archive with the savers of both widths, all in build/packages. With
# ARCH=arm64, the two Debian packages for 64-bit ARM instead.
ifeq ($(ARCH),arm64)
package: arm64-full
	cd build/arm64-full && cpack
else ifneq ($(filter-out $(shell dpkg --print-architecture 2>/dev/null),$(ARCH)),)
package:
	@echo "make package: no packages for ARCH=$(ARCH); ARCH=arm64, or none for this machine's" >&2; exit 1
else
package: linux win32 win64
	cd build/linux && cpack
	cd build/win32 && cpack
	cmake --build build/win32 --target vemo_setup
endif

unit: linux
	ctest --preset linux -L unit -j $(JOBS)

demo: linux
	scripts/demo

bench: linux
	scripts/bench

# Every fuzz target for FUZZ_SECONDS (default 60) each; fails on any finding
# and keeps it under tests/fixtures/fuzz for the unit tests to replay.
fuzz: deps
	scripts/fuzz

clean:
	rm -rf build
