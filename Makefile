# Two commands for players and developers: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps build run test test-asan bench install package clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/game && ./rondovar -w

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 300

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# clang, with the fuzz targets' coverage hooks: scripts/fuzz builds its
# targets in this same folder, so one sanitizer build serves both.
# Leak checking is off here: Mesa's llvmpipe driver, which every program
# that opens an offscreen GL context loads, is unloaded at exit before
# LeakSanitizer runs, so its one allocation per context shows with no module
# name and no suppression can match it. Memory growth is covered by the soak
# test and leaks in the loaders by scripts/fuzz, which runs with leak
# checking on (scripts/lsan.supp).
ASAN_ENV = ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

test-asan: deps
	@test -f build-asan/build.ninja || CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja \
	  -DRDV_SANITIZE=ON -DRDV_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug
	$(ASAN_ENV) cmake --build build-asan -j $(JOBS)
	cd build-asan && $(ASAN_ENV) ctest --output-on-failure -j $(JOBS) --timeout 600

# The game, its tools and data, desktop entry, icon, AppStream data and man
# page under PREFIX (DESTDIR in front, for staging).
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package of the same tree under /usr: build/rondovar_*.deb.
package: build
	cmake --build $(BUILD) --target package

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) build-asan
