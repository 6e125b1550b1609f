# Thin wrapper over the CMake presets.
JOBS ?= 2

.PHONY: all run test test-clang clean

all:
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)

run: all
	./build/quelmar

test:
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --preset dev

test-clang:
	cmake --preset dev-clang >/dev/null
	cmake --build --preset dev-clang -j $(JOBS)
	ctest --preset dev-clang

clean:
	rm -rf build

.PHONY: sanitize fuzz fuzz-smoke bench install

sanitize:
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)
	ctest --preset sanitize

fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

fuzz-smoke: fuzz
	bash fuzz/smoke.sh build/fuzz

bench:
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
