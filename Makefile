# The two commands a new user needs: `make run` and `make test`.
# Both install what is missing, configure and build first.

JOBS    ?= $(shell nproc)
# Warnings are errors where CI runs; a developer's build only shows them.
WERROR  ?= $(if $(CI),ON,OFF)
CMAKE_FLAGS = -G Ninja -DKESTRUNE_WERROR=$(WERROR)

.PHONY: run test check deps test-deps build build-asan bench package clean

run: build
	./build/src/app/kestrune

# The sanitizer build runs first so that ctest's summary of the plain build
# is the last thing printed.
test: test-deps build-asan build
	cd build-asan && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The quick tests of the plain build while working: the labels unit and gui,
# the command line and the quick subset of the independent readers (label
# quick); `make test` runs every label in both builds.
check: test-deps build
	cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS) -L "unit|gui|quick"

# What building and running need; test-deps adds what the tests need.
deps:
	scripts/install-deps

test-deps:
	scripts/install-deps --test

build: deps
	cmake -S . -B build $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j$(JOBS)

build-asan: deps
	cmake -S . -B build-asan $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DKESTRUNE_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)

bench: build
	bench/run

# A Debian package in build-package/: kestrune_<version>_<arch>.deb, from a
# build of its own without the tests.
package: deps
	cmake -S . -B build-package $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF
	cmake --build build-package -j$(JOBS) --target package

clean:
	rm -rf build build-asan build-package
