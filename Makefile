# Thin wrapper over the CMake presets.
JOBS ?= 2
PREFIX ?= /usr/local
# cmake --build runs make again; inside this make it would print every
# directory it enters and leaves.
MAKEFLAGS += --no-print-directory

.PHONY: all run test test-clang clean

all:
	bash scripts/configure.sh release
	cmake --build --preset release -j $(JOBS)

# The tool's only exit status is 1; anything else (a signal too) is a failure.
run: all
	@status=0; ./build/release/quelmar || status=$$?; \
	if [ $$status -ne 1 ]; then echo "quelmar ended with status $$status, not 1" >&2; exit 1; fi

test:
	bash scripts/configure.sh dev
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev

test-clang:
	bash scripts/configure.sh dev-clang
	cmake --build --preset dev-clang -j $(JOBS)
	ctest --preset dev-clang

clean:
	rm -rf build

.PHONY: sanitize fuzz fuzz-smoke bench install cross-check

sanitize:
	bash scripts/configure.sh sanitize
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize

fuzz:
	bash scripts/configure.sh fuzz
	cmake --build --preset fuzz -j $(JOBS)

fuzz-smoke: fuzz
	bash fuzz/smoke.sh build/fuzz

bench:
	bash scripts/configure.sh bench
	cmake --build --preset bench -j $(JOBS)

# Builds for i686 and aarch64 and runs the whole-run tests against them.
cross-check:
	bash scripts/cross_check.sh

# DESTDIR, when set, is honoured by cmake --install.
install: all
	cmake --install build/release --prefix $(PREFIX) --strip
