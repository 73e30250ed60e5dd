# The two commands a new user needs: `make run` and `make test`.
# Both install what is missing, configure and build first.

JOBS    ?= $(shell nproc)
# Warnings are errors where CI runs; a developer's build only shows them.
WERROR  ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS = -G Ninja -DKESTRUNE_WERROR=$(WERROR)

.PHONY: run test check deps build build-asan bench package clean

run: build
	./build/src/app/kestrune

# The sanitizer build runs first so that ctest's summary of the plain build
# is the last thing printed.
test: build-asan build
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The quick tests of the plain build (labels unit and gui) while working;
# `make test` runs every label in both builds.
check: build
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -L "unit|gui"

deps:
	scripts/install-deps

build: deps
	cmake -S . -B build $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j$(JOBS)

build-asan: deps
	cmake -S . -B build-asan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)

bench: build
	bench/run

# A Debian package in build/: kestrune_<version>_<arch>.deb.
package: build
	cmake --build build --target package

clean:
	rm -rf build build-asan
